#pragma once
// The window's controls as tables, one row per control: id, name, kind,
// parent, position, size, caption, font, appearance and the preview view a
// paint box shows. buildControls() turns rows into widgets; the window and
// the pages hold nothing but their table and their handlers, and reach a
// control through its id, an enumerator of their own.

#include "preview/hit_test.h"

#include <QPixmap>
#include <QWidget>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kastra {

enum class Kind {
    PaintBox, ImageView, Label, Button, PictureButton, CheckBox, Radio,
    Edit, Memo, Group, Panel, Progress, Tabs,
};

// Appearance flags of a row.
enum Flag : std::uint32_t {
    Plain = 0,
    HandCursor = 1u << 0,
    Hidden = 1u << 2,
    Disabled = 1u << 3,
    NoTabStop = 1u << 4,
    Bold = 1u << 5,
    Underline = 1u << 6,
    ButtonFace = 1u << 7,     // background in the button face colour
    WindowBack = 1u << 8,     // background in the window (edit) colour
    Flat = 1u << 9,
    Centred = 1u << 10,       // text centred
    Screen1 = 1u << 11,       // settings page, first screen
    Screen2 = 1u << 12,       // settings page, second screen
    ImageArrow = 1u << 13,    // image view: image-list image 0
    ImageChevron = 1u << 14,  // image view: image-list image 1
};

// The parent of a row placed on the page (or the window) itself.
inline constexpr int Top = -1;

// A paint box that shows a preview view names it; a right click on it opens
// the editor pop-up menu. Other rows show none.
inline constexpr std::optional<PreviewView> NoView = std::nullopt;

struct ControlSpec {
    int id;                      // the table's enumerator, the row's index
    const char* name;            // the widget's objectName
    Kind kind;
    int parent;                  // id of a row above; Top: the page itself
    int x, y;
    int width, height;           // 0 x 0: sized to fit the caption
    const char16_t* caption;
    const char* fontFamily;      // nullptr: the parent's face
    int fontHeight;              // cell height; -1 the parent's, 0 default
    std::uint32_t flags;
    std::uint32_t textColour;    // 0xRRGGBB with bit 24 set; 0 for none
    std::optional<PreviewView> view;
};

// Every row's id is its index, so a parent comes before its children.
constexpr bool inIdOrder(std::span<const ControlSpec> rows)
{
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].id != static_cast<int>(i) || rows[i].parent >= rows[i].id)
            return false;
    }
    return true;
}

inline constexpr std::uint32_t rgbText(unsigned r, unsigned g, unsigned b)
{
    return (1u << 24) | (r << 16) | (g << 8) | b;
}

// The widgets of a table, in row order.
class ControlWidgets {
public:
    ControlWidgets() = default;
    explicit ControlWidgets(std::vector<QWidget*> widgets) : m_widgets(std::move(widgets)) {}
    QWidget* at(int id) const { return m_widgets.at(static_cast<std::size_t>(id)); }
    std::size_t size() const { return m_widgets.size(); }

private:
    std::vector<QWidget*> m_widgets;
};

// The widgets of one table by its own ids, for the handlers: an id of
// another table does not compile.
template <class Id> class Controls {
public:
    Controls() = default;
    explicit Controls(ControlWidgets widgets) : m_widgets(std::move(widgets)) {}
    template <class T = QWidget> T* get(Id id) const { return qobject_cast<T*>(m_widgets.at(static_cast<int>(id))); }
    const ControlWidgets& widgets() const { return m_widgets; }

private:
    ControlWidgets m_widgets;
};

struct ImageList {
    QPixmap arrow;     // image 0, circular arrow
    QPixmap chevron;   // image 1, double chevron pointing right
};

// Creates the rows' widgets on page, in table order, each with its
// objectName, geometry, caption, font, colours, cursor, visibility and
// enabled state.
ControlWidgets buildControls(QWidget* page, std::span<const ControlSpec> rows, const ImageList& images);


// Every page resets its font to "MS Sans Serif" at the default height, so
// its controls use that unless their row says otherwise.
QFont PageFont();

// The font a row asks for, given the font its parent has.
QFont rowFont(const ControlSpec& row, const QFont& parentFont);

} // namespace kastra

#pragma once
// The window's controls as tables, one row per control: name, kind,
// parent, position, size, caption, font and appearance, the way the layout
// of the Windows program was written down. buildControls() turns rows into
// widgets; the pages hold nothing but their table and their handlers.

#include <QHash>
#include <QPixmap>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <span>

namespace kastra {

enum class Kind {
    PaintBox, ImageView, Label, Button, PictureButton, CheckBox, Radio,
    Edit, Memo, Group, Panel, Progress,
};

// Appearance flags of a row.
enum Flag : std::uint32_t {
    Plain = 0,
    HandCursor = 1u << 0,
    EditorMenu = 1u << 1,     // the editor pop-up menu opens on a right click
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

struct ControlSpec {
    const char* name;
    Kind kind;
    const char* parent;          // nullptr: the page itself
    int x, y;
    int width, height;           // 0 x 0: sized to fit the caption
    const char16_t* caption;
    const char* fontFamily;      // nullptr: the parent's face
    int fontHeight;              // cell height; -1 the parent's, 0 default
    std::uint32_t flags;
    std::uint32_t textColour;    // 0xRRGGBB with bit 24 set; 0 for none
};

inline constexpr std::uint32_t rgbText(unsigned r, unsigned g, unsigned b)
{
    return (1u << 24) | (r << 16) | (g << 8) | b;
}

// The widgets of a page by name, for the handlers.
class Controls {
public:
    QWidget* operator[](const QString& name) const { return m_byName.value(name); }
    template <class T> T* get(const char* name) const
    {
        return qobject_cast<T*>(m_byName.value(QString::fromLatin1(name)));
    }
    void add(const QString& name, QWidget* w) { m_byName.insert(name, w); }
    const QHash<QString, QWidget*>& all() const { return m_byName; }

private:
    QHash<QString, QWidget*> m_byName;
};

struct ImageList {
    QPixmap arrow;     // image 0, circular arrow
    QPixmap chevron;   // image 1, double chevron pointing right
};

// Creates the rows' widgets on page, in table order, each with its
// objectName, geometry, caption, font, colours, cursor, visibility and
// enabled state.
void buildControls(QWidget* page, std::span<const ControlSpec> rows, const ImageList& images, Controls& out);

// Every page resets its font to "MS Sans Serif" at the default height, so
// its controls use that unless their row says otherwise.
QFont PageFont();

// The font a row asks for, given the font its parent has.
QFont rowFont(const ControlSpec& row, const QFont& parentFont);

} // namespace kastra

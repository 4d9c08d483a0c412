#pragma once
// The few control kinds Qt has no ready widget for: the paint box that shows
// a surface 1:1, the image view of the image list, the owner-drawn picture
// button, and the style that gives check and radio indicators the size the
// fixed controls allow.

#include "preview/surface.h"

#include <QAbstractButton>
#include <QImage>
#include <QLabel>
#include <QProxyStyle>
#include <QTimer>
#include <QWidget>

namespace kastra {

// A plain drawing surface. What the painters drew stays in its surface
// until they draw again; the widget only copies it, unscaled. Opaque, so
// painting it never makes Qt repaint the window behind it (whose paint
// requests the previews: a loop).
class PaintBox final : public QWidget {
    Q_OBJECT
public:
    PaintBox(const QSize& size, QWidget* parent);
    Surface& surface() { return m_surface; }
    const QImage& image() const { return m_surface.image(); }

signals:
    void pressed(Qt::MouseButton button, QPoint position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    Surface m_surface;
};

// Shows one image of the image list; reports clicks.
class ImageView final : public QWidget {
    Q_OBJECT
public:
    ImageView(const QPixmap& image, QWidget* parent);

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPixmap m_image;
};

// A push button whose face the program draws: caption centred, moved one
// pixel right and down while pressed. A flat one draws its edge only while
// the pointer is over it.
class PictureButton final : public QAbstractButton {
    Q_OBJECT
public:
    PictureButton(const QString& caption, QWidget* parent);
    void setFlat(bool flat) { m_flat = flat; update(); }
    void setCaptionColour(const QColor& c) { m_captionColour = c; update(); }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    bool m_flat = false;
    bool m_hover = false;
    QColor m_captionColour;
};

// Text fields take dragged text, and take a dragged file as text too: its
// path or URL would land in the field (and a name field's filter would
// leave a mangle of it). A drag that carries a local file passes the field
// by and goes on to the window, which loads the file; other drags reach
// the field as before. For a multi-line field pass its viewport as well,
// which is where the drag events arrive.
void PassFileDragsOn(QWidget* field);

// A short note shown just below a field, over whatever lies there, for a
// few seconds: what a field refused and why. Unlike a tool tip it outlives
// the next key release and does not depend on where the pointer is. It
// takes no clicks and no focus.
class FieldHint final : public QLabel {
    Q_OBJECT
public:
    static constexpr int ShownMs = 8000;
    explicit FieldHint(QWidget* page);
    // Shows text below field (a control of the page); empty text hides it.
    void showBelow(QWidget* field, const QString& text);

private:
    QTimer m_timer;
};

// The wait cursor over the program's windows for as long as it lives: the
// converter, an import and a build hold the one thread, and the window
// cannot answer meanwhile. The window's waiting repaints are made first, so
// that it shows as it is rather than frozen mid-click. The cursor before
// comes back when it goes, also when the work fails.
class BusyCursor final {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// The program's style, Fusion with two Windows habits the fixed layout
// relies on. Fusion draws 14-pixel check and radio indicators; the window's
// radio buttons are 12 pixels high, as Windows drew them with 13-pixel
// marks. Fusion puts a group box's caption above its frame; Windows sets it
// into the frame's top line, half a text line down, and the controls inside
// the groups are placed for that.
class KastraStyle final : public QProxyStyle {
public:
    KastraStyle();
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override;
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                         const QWidget* widget) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const override;
};

} // namespace kastra

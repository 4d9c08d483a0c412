#pragma once
// A preview view's drawing surface: a fixed-size RGB32 image that keeps what
// was drawn on it until something draws over it, as a window's device context
// did. The window's paint boxes only copy the image, 1:1 and unsmoothed.
//
// Besides the pixel access that Bitmap paints through, a surface offers the
// few device-context operations the painters use: a current pen and brush,
// a filled rectangle, a one-pixel line and text on the brush colour. This is
// the only file of the painters that touches Qt's drawing.

#include "picture/bitmap.h"

#include <QImage>

class QFont;
class QString;

namespace kastra {

class Surface final : public Canvas {
public:
    // A surface of that size filled with background, the colour of the
    // control it sits on, which erasing the surface brings back.
    Surface(int width, int height, Colour background);

    int width() const override { return m_image.width(); }
    int height() const override { return m_image.height(); }
    Colour pixel(int x, int y) const override;
    void setPixel(int x, int y, Colour c) override;

    // The pixels as the paint box shows them (Format_RGB32).
    const QImage& image() const { return m_image; }

    void setPen(Colour c) { m_pen = c; }
    void setBrush(Colour c) { m_brush = c; }
    Colour pen() const { return m_pen; }
    Colour brush() const { return m_brush; }

    // Every pixel of the surface.
    void fill(Colour c);
    // The background it was made with.
    Colour background() const { return m_background; }

    // The rectangle (right and bottom exclusive) filled with the brush, its
    // one-pixel outline in the pen colour. Clipped to the surface.
    void rectangle(const Rect& r);

    // A one-pixel line in the pen colour from (x0, y0) towards (x1, y1); the
    // end point itself is not drawn, so lines can be chained without
    // overdrawing and a line of one point draws nothing. Clipped.
    void line(int x0, int y0, int x1, int y1);

    // Text whose character cell has its top-left corner at (x, y): the cell
    // (the text's advance by the font's line height) is first filled with
    // the brush colour, then the text is drawn in black.
    void text(int x, int y, const QString& text, const QFont& font);

private:
    QImage m_image;
    Colour m_background;
    Colour m_pen = 0;               // black, as a fresh device context
    Colour m_brush = rgb(255, 255, 255);
};

// Colour values and Qt's QRgb, both ways.
QRgb toQRgb(Colour c);
Colour fromQRgb(QRgb c);

} // namespace kastra

#pragma once
// The canvas the default pictures are drawn on: plain RGB pixels, integer
// rectangles and rows, and shapes given in fractional pixels that are
// decided per pixel at its centre (hard edges, no blending), so that every
// shape can carry a 1-bit mask without fringes. Everything is plain integer
// and double arithmetic without library maths, so the same source always
// gives the same pixels.

#include "picture/bitmap.h"
#include "mbm/mbm.h"

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace kastra::art {

using kastra::Colour;
using kastra::rgb;

Colour mix(Colour a, Colour b, int numerator, int denominator);   // a + (b - a) * n / d
Colour lighter(Colour c, int percent);
Colour darker(Colour c, int percent);

// A fill: one colour, or a vertical or horizontal gradient between two
// colours over [from, to] (in pixels of the picture).
struct Paint {
    Colour first = 0;
    Colour second = 0;
    double from = 0;
    double to = 0;
    enum class Kind { Solid, Vertical, Horizontal } kind = Kind::Solid;

    static Paint solid(Colour c) { return {c, c, 0, 0, Kind::Solid}; }
    static Paint vertical(Colour top, Colour bottom, double y0, double y1) { return {top, bottom, y0, y1, Kind::Vertical}; }
    static Paint horizontal(Colour left, Colour right, double x0, double x1)
    {
        return {left, right, x0, x1, Kind::Horizontal};
    }
    Colour at(int x, int y) const;
};

struct Pt {
    double x = 0;
    double y = 0;
};

// A set of pixels, built from shapes; pictures are painted through it.
class Shape {
public:
    Shape(int width, int height);
    int width() const { return m_w; }
    int height() const { return m_h; }
    bool has(int x, int y) const;

    Shape& rect(double x0, double y0, double x1, double y1, bool add = true);
    Shape& roundRect(double x0, double y0, double x1, double y1, double radius, bool add = true);
    Shape& ellipse(double cx, double cy, double rx, double ry, bool add = true);
    Shape& ring(double cx, double cy, double rOuter, double rInner, bool add = true);
    Shape& polygon(std::span<const Pt> points, bool add = true);
    // A segment of the given width with round ends.
    Shape& stroke(double x0, double y0, double x1, double y1, double width, bool add = true);
    Shape& pixel(int x, int y, bool add = true);
    Shape& unite(const Shape& other);
    Shape& subtract(const Shape& other);
    Shape& intersect(const Shape& other);

    // The pixels next to the shape (sharing an edge, or also a corner).
    Shape border(bool diagonal) const;
    // The pixels of the shape that touch its outside (sharing an edge).
    Shape edge() const;

private:
    template <class Inside>
    Shape& apply(double x0, double y0, double x1, double y1, bool add, Inside inside);
    int m_w;
    int m_h;
    std::vector<std::uint8_t> m_in;
};

class Picture {
public:
    Picture() = default;
    Picture(int width, int height, Colour fill);
    int width() const { return m_w; }
    int height() const { return m_h; }
    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < m_w && y < m_h; }
    Colour at(int x, int y) const { return m_px[index(x, y)]; }
    void set(int x, int y, Colour c)
    {
        if (inside(x, y))
            m_px[index(x, y)] = c;
    }
    Shape shape() const { return Shape(m_w, m_h); }

    void fill(Colour c);
    void fillRect(int x, int y, int w, int h, const Paint& paint);
    void frame(int x, int y, int w, int h, Colour c);
    void hline(int x0, int x1, int y, Colour c);    // x0..x1 inclusive
    void vline(int x, int y0, int y1, Colour c);
    void paint(const Shape& s, const Paint& p);
    // Fill with an outline of its own: ink on the shape's outside border.
    void paint(const Shape& s, const Paint& p, Colour outline, bool diagonal = false);
    // Text in the pixel font with its top-left cell corner at (x, y); scale
    // enlarges every font pixel to scale x scale.
    void text(int x, int y, std::u16string_view text, Colour c, int scale = 1);
    // Text with a one-pixel border of another colour around every stroke.
    void outlinedText(int x, int y, std::u16string_view text, Colour c, Colour border, int scale = 1);

    // Pixels that differ from the colour at (0, 0): the opaque part of a
    // picture whose corner holds its transparent colour.
    Shape opaque() const;

    std::vector<mbm::Rgb> rgbPixels() const;
    static Picture fromMbm(const mbm::MbmBitmap& b);
    friend bool operator==(const Picture&, const Picture&) = default;

private:
    std::size_t index(int x, int y) const
    {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(m_w) + static_cast<std::size_t>(x);
    }
    int m_w = 0;
    int m_h = 0;
    std::vector<Colour> m_px;
};

// The picture as the handset stores it at a display mode (colours reduced as
// bmconv reduces them) and back as RGB.
Result<mbm::MbmBitmap> toMbm(const Picture& p, mbm::Mode mode);
Picture quantised(const Picture& p, mbm::Mode mode);

// The 1-bit mask of a picture: white (transparent) where a pixel has the
// colour of pixel (0, 0), black elsewhere.
mbm::MbmBitmap cornerMask(const Picture& p);

// Bitmap (24-bit BMP writer of the imaging library) from a picture.
Bitmap toBitmap(const Picture& p);

} // namespace kastra::art

#include "mkdefaults/picture.h"

#include "mkdefaults/pixelfont.h"

#include <algorithm>
#include <cmath>

namespace kastra::art {

namespace {

int channel(Colour c, int shift)
{
    return static_cast<int>((c >> shift) & 0xFFu);
}

Colour fromChannels(int r, int g, int b)
{
    auto clamp = [](int v) { return static_cast<unsigned>(std::clamp(v, 0, 255)); };
    return rgb(clamp(r), clamp(g), clamp(b));
}

int floorInt(double v)
{
    return static_cast<int>(std::floor(v));
}

} // namespace

Colour mix(Colour a, Colour b, int n, int d)
{
    if (d == 0)
        return a;
    auto m = [&](int shift) {
        const int ca = channel(a, shift);
        const int cb = channel(b, shift);
        return ca + (cb - ca) * n / d;
    };
    return fromChannels(m(0), m(8), m(16));
}

Colour lighter(Colour c, int percent)
{
    return mix(c, rgb(255, 255, 255), percent, 100);
}

Colour darker(Colour c, int percent)
{
    return mix(c, rgb(0, 0, 0), percent, 100);
}

Colour Paint::at(int x, int y) const
{
    if (kind == Kind::Solid || to <= from)
        return first;
    const double pos = (kind == Kind::Vertical ? y + 0.5 : x + 0.5);
    const double t = std::clamp((pos - from) / (to - from), 0.0, 1.0);
    return mix(first, second, static_cast<int>(t * 1000.0 + 0.5), 1000);
}

Shape::Shape(int width, int height)
    : m_w(std::max(width, 0)), m_h(std::max(height, 0)),
      m_in(static_cast<std::size_t>(m_w) * static_cast<std::size_t>(m_h), 0)
{
}

bool Shape::has(int x, int y) const
{
    return x >= 0 && y >= 0 && x < m_w && y < m_h && m_in[static_cast<std::size_t>(y * m_w + x)] != 0;
}

template <class Inside>
Shape& Shape::apply(double x0, double y0, double x1, double y1, bool add, Inside inside)
{
    const int ix0 = std::max(0, floorInt(std::min(x0, x1)) - 1);
    const int iy0 = std::max(0, floorInt(std::min(y0, y1)) - 1);
    const int ix1 = std::min(m_w - 1, floorInt(std::max(x0, x1)) + 1);
    const int iy1 = std::min(m_h - 1, floorInt(std::max(y0, y1)) + 1);
    for (int y = iy0; y <= iy1; ++y)
        for (int x = ix0; x <= ix1; ++x)
            if (inside(x + 0.5, y + 0.5))
                m_in[static_cast<std::size_t>(y * m_w + x)] = add ? 1 : 0;
    return *this;
}

Shape& Shape::rect(double x0, double y0, double x1, double y1, bool add)
{
    return apply(x0, y0, x1, y1, add,
                 [=](double px, double py) { return px >= x0 && px < x1 && py >= y0 && py < y1; });
}

Shape& Shape::roundRect(double x0, double y0, double x1, double y1, double r, bool add)
{
    return apply(x0, y0, x1, y1, add, [=](double px, double py) {
        if (px < x0 || px >= x1 || py < y0 || py >= y1)
            return false;
        const double cx = std::clamp(px, x0 + r, x1 - r);
        const double cy = std::clamp(py, y0 + r, y1 - r);
        const double dx = px - cx;
        const double dy = py - cy;
        return dx * dx + dy * dy <= r * r;
    });
}

Shape& Shape::ellipse(double cx, double cy, double rx, double ry, bool add)
{
    return apply(cx - rx, cy - ry, cx + rx, cy + ry, add, [=](double px, double py) {
        const double dx = (px - cx) / rx;
        const double dy = (py - cy) / ry;
        return dx * dx + dy * dy <= 1.0;
    });
}

Shape& Shape::ring(double cx, double cy, double ro, double ri, bool add)
{
    return apply(cx - ro, cy - ro, cx + ro, cy + ro, add, [=](double px, double py) {
        const double d = (px - cx) * (px - cx) + (py - cy) * (py - cy);
        return d <= ro * ro && d > ri * ri;
    });
}

Shape& Shape::polygon(std::span<const Pt> pts, bool add)
{
    if (pts.size() < 3)
        return *this;
    double x0 = pts[0].x;
    double x1 = x0;
    double y0 = pts[0].y;
    double y1 = y0;
    for (const Pt& p : pts) {
        x0 = std::min(x0, p.x);
        x1 = std::max(x1, p.x);
        y0 = std::min(y0, p.y);
        y1 = std::max(y1, p.y);
    }
    return apply(x0, y0, x1, y1, add, [&](double px, double py) {
        bool in = false;
        for (std::size_t i = 0, j = pts.size() - 1; i < pts.size(); j = i++) {
            const Pt& a = pts[i];
            const Pt& b = pts[j];
            if ((a.y > py) != (b.y > py) && px < (b.x - a.x) * (py - a.y) / (b.y - a.y) + a.x)
                in = !in;
        }
        return in;
    });
}

Shape& Shape::stroke(double x0, double y0, double x1, double y1, double width, bool add)
{
    const double r = width / 2;
    const double dx = x1 - x0;
    const double dy = y1 - y0;
    const double len2 = dx * dx + dy * dy;
    return apply(std::min(x0, x1) - r, std::min(y0, y1) - r, std::max(x0, x1) + r, std::max(y0, y1) + r, add,
                 [=](double px, double py) {
                     double t = len2 > 0 ? ((px - x0) * dx + (py - y0) * dy) / len2 : 0;
                     t = std::clamp(t, 0.0, 1.0);
                     const double qx = x0 + t * dx - px;
                     const double qy = y0 + t * dy - py;
                     return qx * qx + qy * qy <= r * r;
                 });
}

Shape& Shape::pixel(int x, int y, bool add)
{
    if (x >= 0 && y >= 0 && x < m_w && y < m_h)
        m_in[static_cast<std::size_t>(y * m_w + x)] = add ? 1 : 0;
    return *this;
}

Shape& Shape::unite(const Shape& o)
{
    for (int y = 0; y < m_h; ++y)
        for (int x = 0; x < m_w; ++x)
            if (o.has(x, y))
                pixel(x, y);
    return *this;
}

Shape& Shape::subtract(const Shape& o)
{
    for (int y = 0; y < m_h; ++y)
        for (int x = 0; x < m_w; ++x)
            if (o.has(x, y))
                pixel(x, y, false);
    return *this;
}

Shape& Shape::intersect(const Shape& o)
{
    for (int y = 0; y < m_h; ++y)
        for (int x = 0; x < m_w; ++x)
            if (!o.has(x, y))
                pixel(x, y, false);
    return *this;
}

Shape Shape::border(bool diagonal) const
{
    Shape out(m_w, m_h);
    for (int y = 0; y < m_h; ++y)
        for (int x = 0; x < m_w; ++x) {
            if (has(x, y))
                continue;
            bool near = has(x - 1, y) || has(x + 1, y) || has(x, y - 1) || has(x, y + 1);
            if (diagonal)
                near = near || has(x - 1, y - 1) || has(x + 1, y - 1) || has(x - 1, y + 1) || has(x + 1, y + 1);
            if (near)
                out.pixel(x, y);
        }
    return out;
}

Shape Shape::edge() const
{
    Shape out(m_w, m_h);
    for (int y = 0; y < m_h; ++y)
        for (int x = 0; x < m_w; ++x)
            if (has(x, y) && (!has(x - 1, y) || !has(x + 1, y) || !has(x, y - 1) || !has(x, y + 1)))
                out.pixel(x, y);
    return out;
}

Picture::Picture(int width, int height, Colour fill)
    : m_w(std::max(width, 0)), m_h(std::max(height, 0)),
      m_px(static_cast<std::size_t>(m_w) * static_cast<std::size_t>(m_h), fill)
{
}

void Picture::fill(Colour c)
{
    std::fill(m_px.begin(), m_px.end(), c);
}

void Picture::fillRect(int x, int y, int w, int h, const Paint& paint)
{
    for (int yy = std::max(y, 0); yy < std::min(y + h, m_h); ++yy)
        for (int xx = std::max(x, 0); xx < std::min(x + w, m_w); ++xx)
            m_px[index(xx, yy)] = paint.at(xx, yy);
}

void Picture::frame(int x, int y, int w, int h, Colour c)
{
    if (w <= 0 || h <= 0)
        return;
    hline(x, x + w - 1, y, c);
    hline(x, x + w - 1, y + h - 1, c);
    vline(x, y, y + h - 1, c);
    vline(x + w - 1, y, y + h - 1, c);
}

void Picture::hline(int x0, int x1, int y, Colour c)
{
    for (int x = std::min(x0, x1); x <= std::max(x0, x1); ++x)
        set(x, y, c);
}

void Picture::vline(int x, int y0, int y1, Colour c)
{
    for (int y = std::min(y0, y1); y <= std::max(y0, y1); ++y)
        set(x, y, c);
}

void Picture::paint(const Shape& s, const Paint& p)
{
    for (int y = 0; y < m_h; ++y)
        for (int x = 0; x < m_w; ++x)
            if (s.has(x, y))
                m_px[index(x, y)] = p.at(x, y);
}

void Picture::paint(const Shape& s, const Paint& p, Colour outline, bool diagonal)
{
    paint(s, p);
    paint(s.border(diagonal), Paint::solid(outline));
}

void Picture::text(int x, int y, std::u16string_view s, Colour c, int scale)
{
    const PixelFont& font = PixelFont::standard();
    int pen = x;
    for (const char16_t ch : s) {
        const FontGlyph& g = font.glyph(ch);
        for (int row = 0; row < PixelFont::Height; ++row)
            for (int col = 0; col < g.width; ++col)
                if ((g.rows[row] >> col) & 1u)
                    fillRect(pen + col * scale, y + row * scale, scale, scale, Paint::solid(c));
        pen += (g.width + 1) * scale;
    }
}

void Picture::outlinedText(int x, int y, std::u16string_view s, Colour c, Colour borderColour, int scale)
{
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (dx != 0 || dy != 0)
                text(x + dx, y + dy, s, borderColour, scale);
    text(x, y, s, c, scale);
}

Shape Picture::opaque() const
{
    Shape s(m_w, m_h);
    if (m_px.empty())
        return s;
    const Colour key = m_px.front();
    for (int y = 0; y < m_h; ++y)
        for (int x = 0; x < m_w; ++x)
            if (at(x, y) != key)
                s.pixel(x, y);
    return s;
}

std::vector<mbm::Rgb> Picture::rgbPixels() const
{
    std::vector<mbm::Rgb> out;
    out.reserve(m_px.size());
    for (const Colour c : m_px)
        out.push_back({static_cast<std::uint8_t>(redOf(c)), static_cast<std::uint8_t>(greenOf(c)),
                       static_cast<std::uint8_t>(blueOf(c))});
    return out;
}

Picture Picture::fromMbm(const mbm::MbmBitmap& b)
{
    Picture p(b.header.width, b.header.height, 0);
    for (int y = 0; y < p.m_h; ++y)
        for (int x = 0; x < p.m_w; ++x) {
            const mbm::Rgb c = b.pixel(x, y);
            p.set(x, y, rgb(c.r, c.g, c.b));
        }
    return p;
}

Result<mbm::MbmBitmap> toMbm(const Picture& p, mbm::Mode mode)
{
    return mbm::makeBitmap(mode, p.width(), p.height(), p.rgbPixels(), 0, 0);
}

Picture quantised(const Picture& p, mbm::Mode mode)
{
    auto b = toMbm(p, mode);
    return b ? Picture::fromMbm(*b) : p;
}

mbm::MbmBitmap cornerMask(const Picture& p)
{
    Picture m(p.width(), p.height(), rgb(0, 0, 0));
    const Shape solid = p.opaque();
    for (int y = 0; y < p.height(); ++y)
        for (int x = 0; x < p.width(); ++x)
            if (!solid.has(x, y))
                m.set(x, y, rgb(255, 255, 255));
    // A 1-bit grey bitmap of a valid size cannot fail.
    return *toMbm(m, mbm::Mode{1, false});
}

Bitmap toBitmap(const Picture& p)
{
    Bitmap b(p.width(), p.height());
    for (int y = 0; y < p.height(); ++y)
        for (int x = 0; x < p.width(); ++x)
            b.setPixel(x, y, p.at(x, y));
    return b;
}

} // namespace kastra::art

#include "picture/bitmap.h"

#include <algorithm>
#include <vector>

namespace kastra {

// ---------------------------------------------------------------------------
// RgbImage

RgbImage::RgbImage(int width, int height, Colour fill)
    : m_width(std::max(width, 0)), m_height(std::max(height, 0)),
      m_pixels(static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_height), fill)
{
}

// ---------------------------------------------------------------------------
// Copying and painting

void Bitmap::stretchCopy(const Rect& dst, const Bitmap& src, const Rect& srcRect)
{
    if (empty() || src.empty())
        return;
    const int dw = dst.width(), dh = dst.height();
    const int sw = srcRect.width(), sh = srcRect.height();
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0)
        return;

    // Read the whole source rectangle first, so that a copy of a picture onto
    // itself sees only the original pixels.
    std::vector<Colour> source(static_cast<std::size_t>(sw) * static_cast<std::size_t>(sh));
    for (int y = 0; y < sh; ++y)
        for (int x = 0; x < sw; ++x)
            source[static_cast<std::size_t>(y) * static_cast<std::size_t>(sw) + static_cast<std::size_t>(x)] =
                src.getPixel(srcRect.left + x, srcRect.top + y);

    // Destination pixel i takes source floor(i * sw / dw): columns in
    // increasing order, every one used at least once when the axis grows.
    for (int j = 0; j < dh; ++j) {
        const int ty = dst.top + j;
        if (ty < 0 || ty >= m_height)
            continue;
        const auto sy = static_cast<std::size_t>(std::int64_t{j} * sh / dh);
        for (int i = 0; i < dw; ++i) {
            const int tx = dst.left + i;
            if (tx < 0 || tx >= m_width)
                continue;
            const auto sx = static_cast<std::size_t>(std::int64_t{i} * sw / dw);
            const Colour c = source[sy * static_cast<std::size_t>(sw) + sx];
            if (c != NoColour)   // source area outside the source picture
                setPixel(tx, ty, c);
        }
    }
}

void Bitmap::draw(Canvas& canvas, int x, int y) const
{
    drawKeyed(canvas, x, y, NoColour);
}

void Bitmap::drawKeyed(Canvas& canvas, int x, int y, Colour key) const
{
    if (empty())
        return;
    const int x0 = std::max(0, -x), y0 = std::max(0, -y);
    const int x1 = std::min(m_width, canvas.width() - x), y1 = std::min(m_height, canvas.height() - y);
    for (int j = y0; j < y1; ++j)
        for (int i = x0; i < x1; ++i) {
            const Colour c = getPixel(i, j);
            if (c != key)
                canvas.setPixel(x + i, y + j, c);
        }
}

void Bitmap::drawMasked(Canvas& canvas, int x, int y, const Bitmap& mask) const
{
    if (empty())
        return;
    const int x0 = std::max(0, -x), y0 = std::max(0, -y);
    const int x1 = std::min(m_width, canvas.width() - x), y1 = std::min(m_height, canvas.height() - y);
    for (int j = y0; j < y1; ++j)
        for (int i = x0; i < x1; ++i) {
            // Each bit comes from the surface where the mask bit is set and
            // from the picture where it is clear. Outside a smaller mask the
            // surface shows.
            const Colour m = mask.getPixel(i, j) & 0xFFFFFFu;
            const Colour s = canvas.pixel(x + i, y + j);
            const Colour p = getPixel(i, j);
            canvas.setPixel(x + i, y + j, ((s & m) | (p & ~m)) & 0xFFFFFFu);
        }
}

} // namespace kastra

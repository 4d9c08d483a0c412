#include "picture/bitmap.h"

#include "picture/bmp_format.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace kastra {

using namespace bmp;

// ---------------------------------------------------------------------------
// Construction

Bitmap::Bitmap(int width, int height)
{
    if (width > 0 && height > 0)
        *this = create(width, height, 24);
}

Bitmap Bitmap::create(int width, int height, int depth)
{
    Bitmap b;
    if (width <= 0 || height <= 0 || !validDepth(depth) || width > MaxDimension || height > MaxDimension
        || std::int64_t{width} * height > MaxPixels)
        return b;
    b.m_width = width;
    b.m_height = height;
    b.m_depth = depth;
    if (depth <= 8)
        b.m_palette = greyRamp(depth);
    if (depth == 32)
        b.m_info.masks = k888;
    b.m_bits.assign(b.byteSize(), 0);
    // Blank means white, whatever the depth; row padding stays zero.
    if (depth == 24 || depth == 32) {
        const std::size_t bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(depth / 8);
        for (int y = 0; y < height; ++y) {
            std::uint8_t* row = b.rowPtr(y);
            std::fill(row, row + bytes, std::uint8_t{0xFF});
            if (depth == 32)
                for (int x = 0; x < width; ++x)
                    row[4 * x + 3] = 0;
        }
    } else {
        if (depth == 16)
            b.m_info.masks = k555;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                b.setPixel(x, y, rgb(255, 255, 255));
    }
    return b;
}

void Bitmap::setPalette(std::vector<Colour> palette)
{
    if (m_depth > 8)
        return;
    palette.resize(std::size_t{1} << m_depth, rgb(0, 0, 0));
    m_palette = std::move(palette);
}

void Bitmap::clear()
{
    m_width = 0;
    m_height = 0;
    m_bits.clear();
    m_bits.shrink_to_fit();
}

// ---------------------------------------------------------------------------
// Pixels

std::uint8_t* Bitmap::rowPtr(int y)
{
    return m_bits.data() + static_cast<std::size_t>(m_height - 1 - y) * static_cast<std::size_t>(stride());
}

const std::uint8_t* Bitmap::rowPtr(int y) const
{
    return m_bits.data() + static_cast<std::size_t>(m_height - 1 - y) * static_cast<std::size_t>(stride());
}

Colour Bitmap::paletteColour(unsigned index) const
{
    return index < m_palette.size() ? m_palette[index] : rgb(0, 0, 0);
}

unsigned Bitmap::nearestIndex(Colour c) const
{
    unsigned best = 0;
    unsigned bestDistance = std::numeric_limits<unsigned>::max();
    for (unsigned i = 0; i < m_palette.size(); ++i) {
        const Colour p = m_palette[i];
        const auto diff = [](unsigned a, unsigned b) { return a > b ? a - b : b - a; };
        const unsigned d = diff(redOf(p), redOf(c)) + diff(greenOf(p), greenOf(c)) + diff(blueOf(p), blueOf(c));
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
            if (d == 0)
                break;
        }
    }
    return best;
}

Colour Bitmap::getPixel(int x, int y) const
{
    if (empty() || x < 0 || y < 0 || x >= m_width || y >= m_height)
        return NoColour;
    const std::uint8_t* row = rowPtr(y);
    const auto ux = static_cast<unsigned>(x);
    switch (m_depth) {
    case 1:
        return paletteColour((row[ux >> 3] >> (7 - (ux & 7))) & 1u);
    case 4:
        return paletteColour((row[ux >> 1] >> ((ux & 1) ? 0 : 4)) & 0xFu);
    case 8:
        return paletteColour(row[ux]);
    case 16: {
        const std::uint32_t v = le16(row + 2 * ux);
        return rgb(channel(v, m_info.masks[0]), channel(v, m_info.masks[1]), channel(v, m_info.masks[2]));
    }
    case 24:
        return rgb(row[3 * ux + 2], row[3 * ux + 1], row[3 * ux]);
    case 32: {
        const std::uint32_t v = le32(row + 4 * ux);
        return rgb(channel(v, m_info.masks[0]), channel(v, m_info.masks[1]), channel(v, m_info.masks[2]));
    }
    default:
        return NoColour;
    }
}

void Bitmap::setPixel(int x, int y, Colour c)
{
    if (empty() || x < 0 || y < 0 || x >= m_width || y >= m_height)
        return;
    std::uint8_t* row = rowPtr(y);
    const auto ux = static_cast<unsigned>(x);
    switch (m_depth) {
    case 1: {
        const auto bit = static_cast<std::uint8_t>(0x80u >> (ux & 7));
        if (nearestIndex(c) & 1u)
            row[ux >> 3] = static_cast<std::uint8_t>(row[ux >> 3] | bit);
        else
            row[ux >> 3] = static_cast<std::uint8_t>(row[ux >> 3] & ~bit);
        break;
    }
    case 4: {
        const unsigned idx = nearestIndex(c) & 0xFu;
        std::uint8_t& b = row[ux >> 1];
        b = (ux & 1) ? static_cast<std::uint8_t>((b & 0xF0u) | idx) : static_cast<std::uint8_t>((b & 0x0Fu) | (idx << 4));
        break;
    }
    case 8:
        row[ux] = static_cast<std::uint8_t>(nearestIndex(c));
        break;
    case 16: {
        const std::uint32_t v = encodeChannel(redOf(c), m_info.masks[0]) | encodeChannel(greenOf(c), m_info.masks[1])
            | encodeChannel(blueOf(c), m_info.masks[2]);
        row[2 * ux] = static_cast<std::uint8_t>(v);
        row[2 * ux + 1] = static_cast<std::uint8_t>(v >> 8);
        break;
    }
    case 24:
        row[3 * ux] = static_cast<std::uint8_t>(blueOf(c));
        row[3 * ux + 1] = static_cast<std::uint8_t>(greenOf(c));
        row[3 * ux + 2] = static_cast<std::uint8_t>(redOf(c));
        break;
    case 32: {
        std::uint32_t v = encodeChannel(redOf(c), m_info.masks[0]) | encodeChannel(greenOf(c), m_info.masks[1])
            | encodeChannel(blueOf(c), m_info.masks[2]);
        v |= le32(row + 4 * ux) & ~(m_info.masks[0] | m_info.masks[1] | m_info.masks[2]);
        for (unsigned i = 0; i < 4; ++i)
            row[4 * ux + i] = static_cast<std::uint8_t>(v >> (8 * i));
        break;
    }
    default:
        break;
    }
}

// ---------------------------------------------------------------------------
// Size and depth changes

void Bitmap::setWidth(int width)
{
    if (width == m_width || empty() || width <= 0) {
        if (width <= 0)
            clear();
        return;
    }
    Bitmap grown = create(width, m_height, m_depth);
    if (grown.empty())
        return;
    grown.m_palette = m_palette;
    grown.m_info = m_info;
    grown.m_fromFile = m_fromFile;
    // Keep the new area white in the picture's own palette.
    for (int y = 0; y < m_height; ++y)
        for (int x = 0; x < width; ++x)
            grown.setPixel(x, y, x < m_width ? getPixel(x, y) : rgb(255, 255, 255));
    *this = std::move(grown);
}

void Bitmap::setHeight(int height)
{
    if (height == m_height || empty() || height <= 0) {
        if (height <= 0)
            clear();
        return;
    }
    const std::size_t rowBytes = static_cast<std::size_t>(stride());
    std::vector<std::uint8_t> bits(rowBytes * static_cast<std::size_t>(height));
    const int oldHeight = m_height;
    std::vector<std::uint8_t> old = std::move(m_bits);
    m_bits = std::move(bits);
    m_height = height;
    // Rows keep their place counted from the top.
    for (int y = 0; y < height; ++y) {
        std::uint8_t* dst = rowPtr(y);
        if (y < oldHeight)
            std::memcpy(dst, old.data() + static_cast<std::size_t>(oldHeight - 1 - y) * rowBytes, rowBytes);
        else
            for (int x = 0; x < m_width; ++x)
                setPixel(x, y, rgb(255, 255, 255));
    }
}

void Bitmap::toRgb24()
{
    if (empty() || m_depth == 24)
        return;
    Bitmap out = create(m_width, m_height, 24);
    if (out.empty())
        return;
    for (int y = 0; y < m_height; ++y) {
        std::uint8_t* row = out.rowPtr(y);
        for (int x = 0; x < m_width; ++x) {
            const Colour c = getPixel(x, y);
            row[3 * x] = static_cast<std::uint8_t>(blueOf(c));
            row[3 * x + 1] = static_cast<std::uint8_t>(greenOf(c));
            row[3 * x + 2] = static_cast<std::uint8_t>(redOf(c));
        }
    }
    out.m_info.xPelsPerMeter = m_info.xPelsPerMeter;
    out.m_info.yPelsPerMeter = m_info.yPelsPerMeter;
    out.m_fromFile = m_fromFile;
    *this = std::move(out);
}

void Bitmap::makeMask(Colour key)
{
    if (empty())
        return;
    Bitmap mask = create(m_width, m_height, 1);
    for (int y = 0; y < m_height; ++y) {
        std::uint8_t* row = mask.rowPtr(y);
        std::fill(row, row + mask.stride(), std::uint8_t{0});
        for (int x = 0; x < m_width; ++x)
            if (getPixel(x, y) == key)
                row[x >> 3] = static_cast<std::uint8_t>(row[x >> 3] | (0x80u >> (x & 7)));
    }
    *this = std::move(mask);
}

} // namespace kastra

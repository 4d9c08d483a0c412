#include "picture/bitmap.h"

#include "base/fileio.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace kastra {

namespace {

constexpr std::uint32_t kBitFields = 3;

// BMP file header (14 bytes) and the two information headers we accept:
// BITMAPINFOHEADER (40 bytes) and the OS/2 BITMAPCOREHEADER (12 bytes).
constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kCoreHeaderSize = 12;

int bitWidth(std::uint32_t mask)
{
    int n = 0;
    while (mask) {
        n += static_cast<int>(mask & 1u);
        mask >>= 1;
    }
    return n;
}

int lowestBit(std::uint32_t mask)
{
    if (mask == 0)
        return 0;
    int n = 0;
    while (!(mask & 1u)) {
        mask >>= 1;
        ++n;
    }
    return n;
}

// Extracts a channel through a bit-field mask and widens it to 8 bits by bit
// replication, so that full scale maps to 255 and zero to 0.
unsigned channel(std::uint32_t value, std::uint32_t mask)
{
    const int width = bitWidth(mask);
    if (width == 0)
        return 0;
    std::uint32_t v = (value & mask) >> lowestBit(mask);
    if (width >= 8)
        return (v >> (width - 8)) & 0xFFu;
    std::uint32_t out = 0;
    int filled = 0;
    while (filled < 8) {
        const int shift = 8 - filled - width;
        out |= shift >= 0 ? v << shift : v >> -shift;
        filled += width;
    }
    return out & 0xFFu;
}

std::uint32_t encodeChannel(unsigned c8, std::uint32_t mask)
{
    const int width = bitWidth(mask);
    if (width == 0)
        return 0;
    const std::uint32_t v = width >= 8 ? (static_cast<std::uint32_t>(c8) << (width - 8)) : (c8 >> (8 - width));
    return (v << lowestBit(mask)) & mask;
}

// The standard 5-5-5 layout of 16-bit BMP files without bit fields.
constexpr std::array<std::uint32_t, 3> k555 = {0x7C00, 0x03E0, 0x001F};
constexpr std::array<std::uint32_t, 3> k888 = {0xFF0000, 0x00FF00, 0x0000FF};

std::vector<Colour> greyRamp(int depth)
{
    if (depth == 1)
        return {rgb(0, 0, 0), rgb(255, 255, 255)};
    const unsigned n = 1u << depth;
    std::vector<Colour> p(n);
    for (unsigned i = 0; i < n; ++i) {
        const unsigned v = i * 255u / (n - 1);
        p[i] = rgb(v, v, v);
    }
    return p;
}

bool validDepth(int depth)
{
    return depth == 1 || depth == 4 || depth == 8 || depth == 16 || depth == 24 || depth == 32;
}

} // namespace

// ---------------------------------------------------------------------------
// RgbImage

RgbImage::RgbImage(int width, int height, Colour fill)
    : m_width(std::max(width, 0)), m_height(std::max(height, 0)),
      m_pixels(static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_height), fill)
{
}

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
// Reading

void Bitmap::readBmp(const std::filesystem::path& path)
{
    clear();
    m_palette.clear();
    m_info = {};
    m_fromFile = false;
    m_depth = 24;
    // A BMP larger than the biggest picture we accept cannot be ours to read.
    constexpr std::uintmax_t kMaxFile = static_cast<std::uintmax_t>(MaxPixels) * 4 + 65536;
    auto data = readFile(path, kMaxFile);
    if (!data) {
        m_lastError = data.error();
        return;
    }
    if (auto r = loadBmp(*data); !r)
        m_lastError = path.string() + ": " + r.error();
}

Result<void> Bitmap::loadBmp(ByteSpan file)
{
    clear();
    m_palette.clear();
    m_info = {};
    m_fromFile = false;
    m_depth = 24;
    m_lastError.clear();

    auto refuse = [this](std::string why) -> Result<void> {
        clear();
        m_palette.clear();
        m_depth = 24;
        m_lastError = why;
        return fail(std::move(why));
    };

    ByteReader in(file);
    std::uint8_t b0 = 0, b1 = 0;
    std::uint32_t fileSize = 0, reserved = 0, dataOffset = 0, headerSize = 0;
    if (!in.u8(b0) || !in.u8(b1) || b0 != 'B' || b1 != 'M')
        return refuse("Not a BMP file");
    if (!in.u32(fileSize) || !in.u32(reserved) || !in.u32(dataOffset) || !in.u32(headerSize))
        return refuse("Bitmap file is truncated");

    std::int64_t width = 0, height = 0;
    std::uint16_t planes = 0, bpp = 0;
    BmpInfo info;
    std::size_t paletteEntrySize = 4;
    if (headerSize == kInfoHeaderSize) {
        std::int32_t w = 0, h = 0;
        std::uint32_t xppm = 0, yppm = 0;
        if (!in.i32(w) || !in.i32(h) || !in.u16(planes) || !in.u16(bpp) || !in.u32(info.compression)
            || !in.u32(info.imageSize) || !in.u32(xppm) || !in.u32(yppm) || !in.u32(info.coloursUsed)
            || !in.u32(info.coloursImportant))
            return refuse("Bitmap file is truncated");
        width = w;
        height = h;
        info.xPelsPerMeter = static_cast<std::int32_t>(xppm);
        info.yPelsPerMeter = static_cast<std::int32_t>(yppm);
    } else if (headerSize == kCoreHeaderSize) {
        std::uint16_t w = 0, h = 0;
        if (!in.u16(w) || !in.u16(h) || !in.u16(planes) || !in.u16(bpp))
            return refuse("Bitmap file is truncated");
        width = w;
        height = h;
        paletteEntrySize = 3;
    } else {
        // The 108- and 124-byte headers (and anything else) are not ours.
        return refuse("Unsupported bitmap header size " + std::to_string(headerSize));
    }

    if (width <= 0)
        return refuse("Bitmap width must be > 0");
    if (height == 0)
        return refuse("Bitmap height must be > 0");
    const bool topDown = height < 0;
    if (topDown)
        height = -height;
    if (width > MaxDimension || height > MaxDimension || width * height > MaxPixels)
        return refuse("Bitmap is too large");
    const int depth = bpp;
    if (!validDepth(depth))
        return refuse("Unsupported bitmap format");
    if (info.compression == kBitFields) {
        if (depth != 16 && depth != 32)
            return refuse("Unsupported bitmap format");
        // The three masks follow the 40-byte header.
        if (!in.u32(info.masks[0]) || !in.u32(info.masks[1]) || !in.u32(info.masks[2]))
            return refuse("Bitmap file is truncated");
    } else if (info.compression != 0) {
        return refuse("Unsupported bitmap format");
    }

    std::vector<Colour> palette;
    if (depth <= 8) {
        const std::uint32_t full = 1u << depth;
        std::uint32_t count = info.coloursUsed == 0 || info.coloursUsed > full ? full : info.coloursUsed;
        if (headerSize == kCoreHeaderSize)
            count = full;
        palette.reserve(full);
        for (std::uint32_t i = 0; i < count; ++i) {
            ByteSpan e;
            if (!in.bytes(paletteEntrySize, e))
                return refuse("Bitmap file is truncated");
            palette.push_back(rgb(e[2], e[1], e[0]));
        }
        palette.resize(full, rgb(0, 0, 0));
    }

    const std::size_t rowBytes = static_cast<std::size_t>(stride(static_cast<int>(width), depth));
    const std::size_t total = rowBytes * static_cast<std::size_t>(height);
    if (dataOffset > file.size() || file.size() - dataOffset < total)
        return refuse("Bitmap file is truncated");

    m_width = static_cast<int>(width);
    m_height = static_cast<int>(height);
    m_depth = depth;
    m_palette = std::move(palette);
    m_info = info;
    m_fromFile = true;
    try {
        m_bits.resize(total);
    } catch (const std::bad_alloc&) {
        return refuse("No memory");
    }
    const std::uint8_t* src = file.data() + dataOffset;
    if (!topDown) {
        std::memcpy(m_bits.data(), src, total);
    } else {
        // Stored rows are bottom-up; a top-down file is flipped on the way in.
        for (int y = 0; y < m_height; ++y)
            std::memcpy(rowPtr(y), src + static_cast<std::size_t>(y) * rowBytes, rowBytes);
    }
    if (m_depth == 16 && m_info.compression != kBitFields)
        m_info.masks = k555;
    if (m_depth == 32 && m_info.compression != kBitFields)
        m_info.masks = k888;
    return {};
}

// ---------------------------------------------------------------------------
// Writing

Bytes Bitmap::encodeBmp() const
{
    Bytes out;
    if (empty())
        return out;
    const bool bitFields = m_fromFile && m_info.compression == kBitFields && (m_depth == 16 || m_depth == 32);
    const std::size_t paletteBytes = m_depth <= 8 ? (std::size_t{4} << m_depth) : 0;
    const std::size_t offset = kFileHeaderSize + kInfoHeaderSize + (bitFields ? 12 : 0) + paletteBytes;
    const std::size_t size = offset + byteSize();
    out.reserve(size);
    ByteWriter w(out);
    w.u8('B');
    w.u8('M');
    w.u32(static_cast<std::uint32_t>(size));
    w.u32(0);
    w.u32(static_cast<std::uint32_t>(offset));
    w.u32(kInfoHeaderSize);
    w.i32(m_width);
    w.i32(m_height);
    w.u16(1);
    w.u16(static_cast<std::uint16_t>(m_depth));
    w.u32(bitFields ? kBitFields : 0);
    if (m_fromFile) {
        // A picture that was read keeps what its header said; the image size
        // follows the picture if it was given at all.
        w.u32(m_info.imageSize ? static_cast<std::uint32_t>(byteSize()) : 0);
        w.i32(m_info.xPelsPerMeter);
        w.i32(m_info.yPelsPerMeter);
        w.u32(m_info.coloursUsed);
        w.u32(m_info.coloursImportant);
    } else {
        w.fill(20, 0);
    }
    if (bitFields) {
        w.u32(m_info.masks[0]);
        w.u32(m_info.masks[1]);
        w.u32(m_info.masks[2]);
    }
    if (m_depth <= 8) {
        for (std::size_t i = 0; i < (std::size_t{1} << m_depth); ++i) {
            const Colour c = i < m_palette.size() ? m_palette[i] : 0;
            w.u8(static_cast<std::uint8_t>(blueOf(c)));
            w.u8(static_cast<std::uint8_t>(greenOf(c)));
            w.u8(static_cast<std::uint8_t>(redOf(c)));
            w.u8(0);
        }
    }
    w.bytes(m_bits);
    return out;
}

Result<void> Bitmap::writeBmpChecked(const std::filesystem::path& path) const
{
    if (empty())
        return fail("empty picture: nothing written");
    const Bytes bytes = encodeBmp();
    return writeFileAtomic(path, bytes);
}

void Bitmap::writeBmp(const std::filesystem::path& path) const
{
    (void)writeBmpChecked(path);
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

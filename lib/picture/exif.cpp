#include "picture/exif.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace kastra {

namespace {

// A TIFF block in either byte order ("II" little-endian, "MM" big-endian).
// Reads are checked against the block and give 0 past its end; callers
// check offsets before they rely on what they read.
class TiffReader {
public:
    explicit TiffReader(ByteSpan data, bool bigEndian) : m_data(data), m_big(bigEndian) {}

    bool has(std::size_t offset, std::size_t count) const
    {
        return offset <= m_data.size() && m_data.size() - offset >= count;
    }
    std::uint16_t u16(std::size_t offset) const
    {
        if (!has(offset, 2))
            return 0;
        const std::uint8_t* p = m_data.data() + offset;
        return static_cast<std::uint16_t>(m_big ? (p[0] << 8) | p[1] : (p[1] << 8) | p[0]);
    }
    std::uint32_t u32(std::size_t offset) const
    {
        if (!has(offset, 4))
            return 0;
        const std::uint32_t hi = u16(offset + (m_big ? 0 : 2));
        const std::uint32_t lo = u16(offset + (m_big ? 2 : 0));
        return (hi << 16) | lo;
    }

private:
    ByteSpan m_data;
    bool m_big;
};

constexpr std::uint16_t OrientationTag = 0x0112;
constexpr std::uint16_t TypeShort = 3;
constexpr std::uint16_t TypeLong = 4;
constexpr std::size_t EntrySize = 12;

// Picture dimensions are at most Bitmap::MaxDimension, so the tile loops
// below never overflow an int.
constexpr int Tile = 64;

// Copies pixel by pixel with rows and columns swapped: the pixel at (u, v) of
// out is the pixel at (v, u) of source, each axis read backwards where asked.
// Done in square tiles, so that the column walk through source stays in the
// cache.
void transposeInto(const Bitmap& source, Bitmap& out, int bytes, bool backwardsX, bool backwardsY)
{
    const int w = source.width(), h = source.height();
    std::vector<const std::uint8_t*> rows(static_cast<std::size_t>(h));
    for (int y = 0; y < h; ++y)
        rows[static_cast<std::size_t>(y)] = source.rowPtr(backwardsY ? h - 1 - y : y);
    for (int v0 = 0; v0 < w; v0 += Tile) {
        const int v1 = std::min(w, v0 + Tile);
        for (int u0 = 0; u0 < h; u0 += Tile) {
            const int u1 = std::min(h, u0 + Tile);
            for (int v = v0; v < v1; ++v) {
                const std::size_t column = static_cast<std::size_t>(backwardsX ? w - 1 - v : v)
                    * static_cast<std::size_t>(bytes);
                std::uint8_t* to = out.rowPtr(v) + static_cast<std::size_t>(u0) * static_cast<std::size_t>(bytes);
                for (int u = u0; u < u1; ++u, to += bytes)
                    std::memcpy(to, rows[static_cast<std::size_t>(u)] + column, static_cast<std::size_t>(bytes));
            }
        }
    }
}

void mirrorRows(Bitmap& picture, int bytes)
{
    const auto n = static_cast<std::size_t>(bytes);
    for (int y = 0; y < picture.height(); ++y) {
        std::uint8_t* left = picture.rowPtr(y);
        std::uint8_t* right = left + static_cast<std::size_t>(picture.width() - 1) * n;
        for (; left < right; left += n, right -= n)
            std::swap_ranges(left, left + n, right);
    }
}

void flipRows(Bitmap& picture)
{
    const auto n = static_cast<std::size_t>(picture.stride());
    for (int top = 0, bottom = picture.height() - 1; top < bottom; ++top, --bottom)
        std::swap_ranges(picture.rowPtr(top), picture.rowPtr(top) + n, picture.rowPtr(bottom));
}

constexpr std::uint8_t ExifPrefix[] = {'E', 'x', 'i', 'f', 0, 0};

bool startsWithExif(ByteSpan data)
{
    return data.size() >= sizeof ExifPrefix && std::equal(std::begin(ExifPrefix), std::end(ExifPrefix), data.begin());
}

} // namespace

ByteSpan jpegExif(ByteSpan jpeg)
{
    constexpr std::uint8_t App1 = 0xE1, StartOfScan = 0xDA, EndOfImage = 0xD9;
    if (jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8)
        return {};
    std::size_t pos = 2;
    // Every turn moves past at least one byte, so the walk ends within the
    // file whatever the lengths say.
    while (jpeg.size() - pos >= 4) {
        if (jpeg[pos] != 0xFF)
            return {};
        const std::uint8_t marker = jpeg[pos + 1];
        if (marker == 0xFF) {   // fill byte before a marker
            ++pos;
            continue;
        }
        if (marker == StartOfScan || marker == EndOfImage)
            return {};
        if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {   // markers without a length
            pos += 2;
            continue;
        }
        const std::size_t length = (std::size_t{jpeg[pos + 2]} << 8) | jpeg[pos + 3];
        if (length < 2 || jpeg.size() - pos - 2 < length)
            return {};
        const ByteSpan payload = jpeg.subspan(pos + 4, length - 2);
        if (marker == App1 && startsWithExif(payload))
            return payload;
        pos += 2 + length;
    }
    return {};
}

ByteSpan pngExif(ByteSpan png)
{
    constexpr std::size_t Signature = 8, ChunkFrame = 12;   // length, type, then the CRC after the data
    if (png.size() < Signature)
        return {};
    std::size_t pos = Signature;
    while (png.size() - pos >= ChunkFrame) {
        const std::size_t length = (std::size_t{png[pos]} << 24) | (std::size_t{png[pos + 1]} << 16)
            | (std::size_t{png[pos + 2]} << 8) | png[pos + 3];
        if (png.size() - pos - ChunkFrame < length)
            return {};
        const ByteSpan type = png.subspan(pos + 4, 4);
        const auto is = [&type](const char* name) { return std::memcmp(type.data(), name, 4) == 0; };
        if (is("eXIf"))
            return png.subspan(pos + 8, length);
        if (is("IEND"))
            return {};
        pos += ChunkFrame + length;
    }
    return {};
}

Orientation exifOrientation(ByteSpan exif)
{
    if (startsWithExif(exif))
        exif = exif.subspan(sizeof ExifPrefix);
    if (exif.size() < 8)
        return Orientation::Normal;
    bool big = false;
    if (exif[0] == 'M' && exif[1] == 'M')
        big = true;
    else if (exif[0] != 'I' || exif[1] != 'I')
        return Orientation::Normal;
    const TiffReader tiff(exif, big);
    if (tiff.u16(2) != 42)
        return Orientation::Normal;
    const std::size_t ifd = tiff.u32(4);
    if (ifd < 8 || !tiff.has(ifd, 2))
        return Orientation::Normal;
    // A count larger than the block can hold is cut to what is there.
    const std::size_t fits = (exif.size() - ifd - 2) / EntrySize;
    const std::size_t count = std::min<std::size_t>(tiff.u16(ifd), fits);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = ifd + 2 + i * EntrySize;
        if (tiff.u16(entry) != OrientationTag)
            continue;
        // One value, stored in the entry itself (it fits in four bytes).
        const std::uint16_t type = tiff.u16(entry + 2);
        if (tiff.u32(entry + 4) < 1)
            return Orientation::Normal;
        const std::uint32_t value = type == TypeShort ? tiff.u16(entry + 8)
            : type == TypeLong                        ? tiff.u32(entry + 8)
                                                      : 0;
        return value >= 1 && value <= 8 ? static_cast<Orientation>(value) : Orientation::Normal;
    }
    return Orientation::Normal;
}

bool orientUpright(Bitmap& picture, Orientation orientation)
{
    if (orientation == Orientation::Normal || picture.empty())
        return true;
    // Pixels of whole bytes are moved as they are; a depth of packed pixels
    // or of bit fields the blank picture would not share is made 24-bit
    // first, so the turned copy reads exactly as the original.
    const int depth = picture.depth();
    const bool plainFields = Bitmap::create(1, 1, depth).bmpInfo().masks == picture.bmpInfo().masks;
    if (depth % 8 != 0 || ((depth == 16 || depth == 32) && !plainFields))
        picture.toRgb24();
    const int bytes = picture.depth() / 8;

    switch (orientation) {
    case Orientation::Normal:
        return true;
    case Orientation::MirrorHorizontal:
        mirrorRows(picture, bytes);
        return true;
    case Orientation::Rotate180:
        mirrorRows(picture, bytes);
        flipRows(picture);
        return true;
    case Orientation::MirrorVertical:
        flipRows(picture);
        return true;
    case Orientation::Transpose:
    case Orientation::Rotate90:
    case Orientation::Transverse:
    case Orientation::Rotate270: {
        Bitmap turned = Bitmap::create(picture.height(), picture.width(), picture.depth());
        if (turned.empty())
            return false;
        if (!picture.palette().empty())
            turned.setPalette(picture.palette());
        // Orientation 6 keeps the stored columns as rows read top-down and
        // the stored rows as columns read from the bottom; 8 the opposite; 7
        // reads both backwards, 5 neither.
        const bool backwardsX = orientation == Orientation::Transverse || orientation == Orientation::Rotate270;
        const bool backwardsY = orientation == Orientation::Rotate90 || orientation == Orientation::Transverse;
        transposeInto(picture, turned, bytes, backwardsX, backwardsY);
        picture = std::move(turned);
        return true;
    }
    }
    return true;
}

} // namespace kastra

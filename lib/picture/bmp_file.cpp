#include "picture/bitmap.h"

#include "base/fileio.h"
#include "picture/bmp_format.h"
#include "picture/errors.h"

#include <cstring>

namespace kastra {

using namespace bmp;

// ---------------------------------------------------------------------------
// Reading

Result<Bitmap> readBmp(const std::filesystem::path& path)
{
    // A BMP larger than the biggest picture we accept cannot be ours to read.
    constexpr std::uintmax_t kMaxFile = static_cast<std::uintmax_t>(Bitmap::MaxPixels) * 4 + 65536;
    auto data = readFile(path, kMaxFile);
    if (!data)
        return fail(data.code(), data.error());
    Bitmap picture;
    if (auto r = picture.loadBmp(*data); !r)
        return fail(r.code(), path.string() + ": " + r.error());
    return picture;
}

Bitmap readBmpOrEmpty(const std::filesystem::path& path)
{
    auto picture = readBmp(path);
    return picture ? std::move(*picture) : Bitmap();
}

namespace {

// A BMP file taken apart: what its headers say, its palette and where its
// pixel rows lie. Every size is checked against the file before anything is
// allocated for it.
struct ParsedBmp {
    int width = 0;
    int height = 0;
    bool topDown = false;
    int depth = 0;
    BmpInfo info;
    std::vector<Colour> palette;
    ByteSpan rows;
};

// The file header and one of the two information headers, then the masks of
// a bit-field file. Leaves `in` at the palette.
Result<void> readHeaders(ByteReader& in, ParsedBmp& out, std::uint32_t& dataOffset, bool& coreHeader)
{
    std::uint8_t b0 = 0, b1 = 0;
    std::uint32_t fileSize = 0, reserved = 0, headerSize = 0;
    if (!in.u8(b0) || !in.u8(b1) || b0 != 'B' || b1 != 'M')
        return fail(PictureError::WrongFormat, "Not a BMP file");
    if (!in.u32(fileSize) || !in.u32(reserved) || !in.u32(dataOffset) || !in.u32(headerSize))
        return fail(PictureError::Truncated, "Bitmap file is truncated");

    std::int64_t width = 0, height = 0;
    std::uint16_t planes = 0, bpp = 0;
    BmpInfo& info = out.info;
    if (headerSize == kInfoHeaderSize) {
        std::int32_t w = 0, h = 0;
        std::uint32_t xppm = 0, yppm = 0;
        if (!in.i32(w) || !in.i32(h) || !in.u16(planes) || !in.u16(bpp) || !in.u32(info.compression)
            || !in.u32(info.imageSize) || !in.u32(xppm) || !in.u32(yppm) || !in.u32(info.coloursUsed)
            || !in.u32(info.coloursImportant))
            return fail(PictureError::Truncated, "Bitmap file is truncated");
        width = w;
        height = h;
        info.xPelsPerMeter = static_cast<std::int32_t>(xppm);
        info.yPelsPerMeter = static_cast<std::int32_t>(yppm);
    } else if (headerSize == kCoreHeaderSize) {
        std::uint16_t w = 0, h = 0;
        if (!in.u16(w) || !in.u16(h) || !in.u16(planes) || !in.u16(bpp))
            return fail(PictureError::Truncated, "Bitmap file is truncated");
        width = w;
        height = h;
    } else {
        // The 108- and 124-byte headers (and anything else) are not ours.
        return fail(PictureError::Unsupported, "Unsupported bitmap header size " + std::to_string(headerSize));
    }
    coreHeader = headerSize == kCoreHeaderSize;

    if (width <= 0)
        return fail(PictureError::Damaged, "Bitmap width must be > 0");
    if (height == 0)
        return fail(PictureError::Damaged, "Bitmap height must be > 0");
    out.topDown = height < 0;
    if (out.topDown)
        height = -height;
    if (width > Bitmap::MaxDimension || height > Bitmap::MaxDimension || width * height > Bitmap::MaxPixels)
        return fail(PictureError::TooLarge, "Bitmap is too large");
    out.width = static_cast<int>(width);
    out.height = static_cast<int>(height);
    out.depth = bpp;
    if (!validDepth(out.depth))
        return fail(PictureError::Unsupported, "Unsupported bitmap format");
    if (info.compression == kBitFields) {
        if (out.depth != 16 && out.depth != 32)
            return fail(PictureError::Unsupported, "Unsupported bitmap format");
        // The three masks follow the 40-byte header.
        if (!in.u32(info.masks[0]) || !in.u32(info.masks[1]) || !in.u32(info.masks[2]))
            return fail(PictureError::Truncated, "Bitmap file is truncated");
    } else if (info.compression != 0) {
        return fail(PictureError::Unsupported, "Unsupported bitmap format");
    }
    return {};
}

// The colour table of a paletted file: as many entries as the header says
// (all of them for the 12-byte header), padded with black to the full size.
Result<void> readPalette(ByteReader& in, ParsedBmp& out, bool coreHeader)
{
    if (out.depth > 8)
        return {};
    const std::uint32_t full = 1u << out.depth;
    const std::uint32_t used = out.info.coloursUsed;
    const std::uint32_t count = coreHeader || used == 0 || used > full ? full : used;
    const std::size_t entrySize = coreHeader ? 3 : 4;
    out.palette.reserve(full);
    for (std::uint32_t i = 0; i < count; ++i) {
        ByteSpan e;
        if (!in.bytes(entrySize, e))
            return fail(PictureError::Truncated, "Bitmap file is truncated");
        out.palette.push_back(rgb(e[2], e[1], e[0]));
    }
    out.palette.resize(full, rgb(0, 0, 0));
    return {};
}

Result<ParsedBmp> parseBmp(ByteSpan file)
{
    ParsedBmp out;
    ByteReader in(file);
    std::uint32_t dataOffset = 0;
    bool coreHeader = false;
    if (auto r = readHeaders(in, out, dataOffset, coreHeader); !r)
        return fail(r.code(), r.error());
    if (auto r = readPalette(in, out, coreHeader); !r)
        return fail(r.code(), r.error());
    const std::size_t total = static_cast<std::size_t>(Bitmap::stride(out.width, out.depth))
        * static_cast<std::size_t>(out.height);
    if (dataOffset > file.size() || file.size() - dataOffset < total)
        return fail(PictureError::Truncated, "Bitmap file is truncated");
    out.rows = file.subspan(dataOffset, total);
    return out;
}

} // namespace

Result<void> Bitmap::loadBmp(ByteSpan file)
{
    clear();
    m_palette.clear();
    m_info = {};
    m_fromFile = false;
    m_depth = 24;

    auto refuse = [this](ErrorCode code, std::string why) -> Result<void> {
        clear();
        m_palette.clear();
        m_depth = 24;
        return fail(code, std::move(why));
    };

    auto parsed = parseBmp(file);
    if (!parsed)
        return refuse(parsed.code(), parsed.error());
    ParsedBmp& p = *parsed;
    m_width = p.width;
    m_height = p.height;
    m_depth = p.depth;
    m_palette = std::move(p.palette);
    m_info = p.info;
    m_fromFile = true;
    try {
        m_bits.resize(p.rows.size());
    } catch (const std::bad_alloc&) {
        return refuse(PictureError::TooLarge, "No memory");
    }
    if (!p.topDown) {
        std::memcpy(m_bits.data(), p.rows.data(), p.rows.size());
    } else {
        // Stored rows are bottom-up; a top-down file is flipped on the way in.
        const std::size_t rowBytes = static_cast<std::size_t>(stride());
        for (int y = 0; y < m_height; ++y)
            std::memcpy(rowPtr(y), p.rows.data() + static_cast<std::size_t>(y) * rowBytes, rowBytes);
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

Result<void> Bitmap::writeBmp(const std::filesystem::path& path) const
{
    if (empty())
        return fail(PictureError::BadArgument, "empty picture: nothing written");
    const Bytes bytes = encodeBmp();
    return writeFileAtomic(path, bytes);
}

void writeBmpQuietly(const Bitmap& picture, const std::filesystem::path& path)
{
    (void)picture.writeBmp(path);
}

} // namespace kastra

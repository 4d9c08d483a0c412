// Reading BMP files: every kind a paint program writes, each size and offset
// checked against the file before it is used.

#include "picture/bitmap.h"

#include "base/fileio.h"
#include "picture/bmp_format.h"
#include "picture/errors.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace kastra {

using namespace bmp;

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

// A BMP file taken apart: what its headers say, its palette and the bytes of
// its pixels (the rows, or the RLE stream). Every size is checked against the
// file before anything is allocated for it.
struct ParsedBmp {
    int width = 0;
    int height = 0;
    bool topDown = false;
    int depth = 0;
    std::uint32_t compression = kRgb;
    BmpInfo info;
    std::vector<Colour> palette;
    ByteSpan pixels;
};

std::string hex(std::uint32_t v)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out = "0x";
    bool started = false;
    for (int shift = 28; shift >= 0; shift -= 4) {
        const unsigned d = (v >> shift) & 0xFu;
        if (d || started || shift == 0) {
            out += digits[d];
            started = true;
        }
    }
    return out;
}

bool knownHeaderSize(std::uint32_t size)
{
    return std::find(std::begin(kHeaderSizes), std::end(kHeaderSizes), size) != std::end(kHeaderSizes);
}

// Masks must each be one run of bits inside the pixel, and must not overlap;
// a zero mask is a channel the file leaves out (alpha, mostly).
Result<void> checkMasks(const std::array<std::uint32_t, 4>& masks, int depth)
{
    static const char* const names[] = {"red", "green", "blue", "alpha"};
    const std::uint32_t inside = depth == 32 ? 0xFFFFFFFFu : (1u << depth) - 1u;
    std::uint32_t seen = 0;
    for (std::size_t i = 0; i < masks.size(); ++i) {
        const std::uint32_t m = masks[i];
        if (m == 0)
            continue;
        const std::string what = std::string("The ") + names[i] + " bit-field mask " + hex(m);
        if (m & ~inside)
            return fail(PictureError::Damaged, what + " does not fit a " + std::to_string(depth) + "-bit pixel");
        const std::uint32_t run = m >> lowestBit(m);
        if (run & (run + 1u))
            return fail(PictureError::Damaged, what + " is not one run of bits");
        if (m & seen)
            return fail(PictureError::Damaged, what + " overlaps another channel's mask");
        seen |= m;
    }
    return {};
}

Result<void> checkCompression(const ParsedBmp& p)
{
    const std::string bits = std::to_string(p.depth) + "-bit";
    switch (p.compression) {
    case kRgb:
        return {};
    case kRle8:
    case kRle4: {
        const int wanted = p.compression == kRle8 ? 8 : 4;
        const std::string name = p.compression == kRle8 ? "RLE8" : "RLE4";
        if (p.depth != wanted)
            return fail(PictureError::Damaged, name + " compression in a " + bits + " picture");
        if (p.topDown)
            return fail(PictureError::Damaged, name + " compression in a top-down picture");
        return {};
    }
    case kBitFields:
    case kAlphaBitFields:
        if (p.depth != 16 && p.depth != 32)
            return fail(PictureError::Unsupported, "Bit-field masks in a " + bits + " picture");
        return {};
    case kJpeg:
    case kPng:
        return fail(PictureError::Unsupported, "A JPEG or PNG picture inside a BMP file is not supported");
    default:
        return fail(PictureError::Unsupported, "Unknown bitmap compression " + std::to_string(p.compression));
    }
}

// The file header and the information header, then the masks that follow a
// 40-byte header. Leaves `in` where the palette starts.
Result<void> readHeaders(ByteReader& in, ParsedBmp& out, std::uint32_t& dataOffset, bool& coreHeader)
{
    std::uint8_t b0 = 0, b1 = 0;
    std::uint32_t fileSize = 0, reserved = 0, headerSize = 0;
    if (!in.u8(b0) || !in.u8(b1) || b0 != 'B' || b1 != 'M')
        return fail(PictureError::WrongFormat, "Not a BMP file");
    if (!in.u32(fileSize) || !in.u32(reserved) || !in.u32(dataOffset) || !in.u32(headerSize))
        return fail(PictureError::Truncated, "Bitmap file is truncated: it ends inside the file header");
    if (!knownHeaderSize(headerSize))
        return fail(PictureError::Unsupported, "Unsupported bitmap header size " + std::to_string(headerSize)
                        + " (headers of 12, 40, 52, 56, 108 and 124 bytes are read)");
    if (in.remaining() < headerSize - 4)
        return fail(PictureError::Truncated, "Bitmap file is truncated: it ends inside its "
                        + std::to_string(headerSize) + "-byte information header");
    coreHeader = headerSize == kCoreHeaderSize;

    std::int64_t width = 0, height = 0;
    std::uint16_t planes = 0, bpp = 0;
    BmpInfo& info = out.info;
    std::array<std::uint32_t, 4> masks{0, 0, 0, 0};
    if (coreHeader) {
        std::uint16_t w = 0, h = 0;
        in.u16(w);
        in.u16(h);
        in.u16(planes);
        in.u16(bpp);
        width = w;
        height = h;
    } else {
        std::int32_t w = 0, h = 0;
        std::uint32_t xppm = 0, yppm = 0;
        in.i32(w);
        in.i32(h);
        in.u16(planes);
        in.u16(bpp);
        in.u32(out.compression);
        in.u32(info.imageSize);
        in.u32(xppm);
        in.u32(yppm);
        in.u32(info.coloursUsed);
        in.u32(info.coloursImportant);
        // Larger headers carry the masks themselves; the colour-space
        // fields after them are read past.
        for (std::size_t i = 0; i < 4 && 40 + 4 * (i + 1) <= headerSize; ++i)
            in.u32(masks[i]);
        width = w;
        height = h;
        info.xPelsPerMeter = static_cast<std::int32_t>(xppm);
        info.yPelsPerMeter = static_cast<std::int32_t>(yppm);
    }
    in.seek(kFileHeaderSize + headerSize);

    if (width <= 0)
        return fail(PictureError::Damaged, "Bitmap width must be > 0");
    if (height == 0)
        return fail(PictureError::Damaged, "Bitmap height must be > 0");
    out.topDown = height < 0;
    if (out.topDown)
        height = -height;
    if (width > Bitmap::MaxDimension || height > Bitmap::MaxDimension || width * height > Bitmap::MaxPixels)
        return fail(PictureError::TooLarge, "Bitmap is too large (" + std::to_string(width) + " x "
                        + std::to_string(height) + " pixels)");
    out.width = static_cast<int>(width);
    out.height = static_cast<int>(height);
    out.depth = bpp;
    if (!validDepth(out.depth))
        return fail(PictureError::Unsupported, "Unsupported bitmap depth of " + std::to_string(bpp) + " bits");
    if (auto r = checkCompression(out); !r)
        return r;

    if (out.compression == kBitFields || out.compression == kAlphaBitFields) {
        if (headerSize == kInfoHeaderSize) {
            const std::size_t count = out.compression == kAlphaBitFields ? 4 : 3;
            if (in.remaining() < 4 * count)
                return fail(PictureError::Truncated, "Bitmap file is truncated: its bit-field masks lie outside the file");
            for (std::size_t i = 0; i < count; ++i)
                in.u32(masks[i]);
        }
        if (auto r = checkMasks(masks, out.depth); !r)
            return r;
        std::copy_n(masks.begin(), 3, info.masks.begin());
    }
    return {};
}

// The colour table of a paletted file: as many entries as the header says
// (all of them for the 12-byte header), but none that the pixels start
// inside; padded with black to the full size, so that an index past a short
// palette reads as black.
Result<void> readPalette(ByteReader& in, ParsedBmp& out, bool coreHeader, std::uint32_t dataOffset)
{
    if (out.depth > 8)
        return {};
    const std::uint32_t full = 1u << out.depth;
    const std::uint32_t used = out.info.coloursUsed;
    std::uint32_t count = coreHeader || used == 0 || used > full ? full : used;
    const std::size_t entrySize = coreHeader ? 3 : 4;
    if (dataOffset >= in.pos())
        count = static_cast<std::uint32_t>(std::min<std::size_t>(count, (dataOffset - in.pos()) / entrySize));
    ByteSpan table;
    if (!in.bytes(count * entrySize, table))
        return fail(PictureError::Truncated, "Bitmap file is truncated: its palette of " + std::to_string(count)
                        + " colours lies outside the file");
    out.palette.reserve(full);
    for (std::size_t at = 0; at < table.size(); at += entrySize)
        out.palette.push_back(rgb(table[at + 2], table[at + 1], table[at]));
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
    if (dataOffset < in.pos())
        return fail(PictureError::Damaged, "Bitmap pixel data start at offset " + std::to_string(dataOffset)
                        + ", inside the headers");
    if (dataOffset > file.size())
        return fail(PictureError::Truncated, "Bitmap file is truncated: its pixel data start at offset "
                        + std::to_string(dataOffset) + ", past its end (" + std::to_string(file.size())
                        + " bytes)");
    if (auto r = readPalette(in, out, coreHeader, dataOffset); !r)
        return fail(r.code(), r.error());
    ByteSpan rest = file.subspan(dataOffset);
    if (out.compression == kRle8 || out.compression == kRle4) {
        // The stream is as long as the header says, or runs to the end.
        if (out.info.imageSize > rest.size())
            return fail(PictureError::Truncated, "Bitmap file is truncated: its RLE data of "
                            + std::to_string(out.info.imageSize) + " bytes run past its end");
        out.pixels = out.info.imageSize ? rest.first(out.info.imageSize) : rest;
        return out;
    }
    const std::size_t total = static_cast<std::size_t>(Bitmap::stride(out.width, out.depth))
        * static_cast<std::size_t>(out.height);
    if (rest.size() < total)
        return fail(PictureError::Truncated, "Bitmap file is truncated: its pixel rows need " + std::to_string(total)
                        + " bytes from offset " + std::to_string(dataOffset) + ", the file holds "
                        + std::to_string(rest.size()));
    out.pixels = rest.first(total);
    return out;
}

// Expands an RLE8 or RLE4 stream into bottom-up rows that start out at
// palette index 0, which is what a delta leaves behind it. Runs past the
// right edge are cut there; a stream that ends without its end-of-bitmap
// code leaves the rest of the picture at index 0 too.
Result<void> expandRle(ByteSpan s, int depth, int width, int height, std::uint8_t* bits, std::size_t stride)
{
    std::int64_t x = 0, row = 0;
    std::size_t pos = 0;
    // Writes n pixels from x on, pixel i being index(i); those past the edge
    // are dropped.
    auto put = [&](std::int64_t n, auto index) {
        const std::int64_t visible = row < height ? std::clamp<std::int64_t>(width - x, 0, n) : 0;
        std::uint8_t* line = bits + static_cast<std::size_t>(row) * stride;
        for (std::int64_t i = 0; i < visible; ++i) {
            const auto at = static_cast<std::size_t>(x + i);
            const unsigned v = index(static_cast<std::size_t>(i));
            if (depth == 8) {
                line[at] = static_cast<std::uint8_t>(v);
            } else {
                std::uint8_t& b = line[at >> 1];
                b = (at & 1) ? static_cast<std::uint8_t>((b & 0xF0u) | (v & 0x0Fu))
                             : static_cast<std::uint8_t>((b & 0x0Fu) | ((v & 0x0Fu) << 4));
            }
        }
        x += n;
    };
    while (row < height) {
        if (pos == s.size())
            return {};
        if (s.size() - pos < 2)
            return fail(PictureError::Truncated, "Bitmap RLE data end inside a code");
        const unsigned count = s[pos], value = s[pos + 1];
        pos += 2;
        if (count > 0) {
            // An encoded run: one index repeated, or at 4 bits two alternating.
            put(count, [&](std::size_t i) { return depth == 8 ? value : (i & 1) ? value & 0x0Fu : value >> 4; });
            continue;
        }
        switch (value) {
        case 0: // end of line
            x = 0;
            ++row;
            break;
        case 1: // end of bitmap
            return {};
        case 2: // delta: right and up
            if (s.size() - pos < 2)
                return fail(PictureError::Truncated, "Bitmap RLE data end inside a delta code");
            x += s[pos];
            row += s[pos + 1];
            pos += 2;
            break;
        default: { // an absolute run of `value` indices, padded to an even byte count
            const std::size_t bytes = depth == 8 ? value : (value + 1) / 2;
            if (s.size() - pos < bytes)
                return fail(PictureError::Truncated, "Bitmap RLE data end inside an absolute run of "
                                + std::to_string(value) + " pixels");
            const std::uint8_t* run = s.data() + pos;
            put(value, [&](std::size_t i) {
                return depth == 8 ? run[i] : (i & 1) ? run[i / 2] & 0x0Fu : unsigned{run[i / 2]} >> 4;
            });
            pos += std::min(bytes + (bytes & 1), s.size() - pos);
            break;
        }
        }
    }
    return {};
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
        m_info = {};
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
    const std::size_t rowBytes = static_cast<std::size_t>(stride());
    try {
        m_bits.assign(rowBytes * static_cast<std::size_t>(m_height), 0);
    } catch (const std::bad_alloc&) {
        return refuse(PictureError::TooLarge, "No memory");
    }
    if (p.compression == kRle8 || p.compression == kRle4) {
        if (auto r = expandRle(p.pixels, m_depth, m_width, m_height, m_bits.data(), rowBytes); !r)
            return refuse(r.code(), r.error());
    } else if (!p.topDown) {
        std::memcpy(m_bits.data(), p.pixels.data(), p.pixels.size());
    } else {
        // Stored rows are bottom-up; a top-down file is flipped on the way in.
        for (int y = 0; y < m_height; ++y)
            std::memcpy(rowPtr(y), p.pixels.data() + static_cast<std::size_t>(y) * rowBytes, rowBytes);
    }
    // What the picture is from now on: uncompressed rows, bit fields kept as
    // three masks (an alpha channel is carried along but never read, as the
    // handset's pictures have none).
    const bool bitFields = p.compression == kBitFields || p.compression == kAlphaBitFields;
    m_info.compression = bitFields ? kBitFields : kRgb;
    if (m_depth == 16 && !bitFields)
        m_info.masks = k555;
    if (m_depth == 32 && !bitFields)
        m_info.masks = k888;
    return {};
}

} // namespace kastra

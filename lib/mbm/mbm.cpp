#include "mbm/mbm.h"

#include "mbm/errors.h"
#include "mbm/mbm_rle.h"

#include <algorithm>
#include <array>
#include <limits>

namespace kastra::mbm {

namespace {

// How many bytes of picture one byte of compressed data can describe at
// most: a 2-byte run of 128 bytes, a 2-byte word of 16 pixels, a 3-byte run of
// 128 16-bit pixels, a 4-byte run of 128 24-bit pixels or 128 32-bit pixels.
// A header claiming more is refused before its buffer is allocated.
std::uint64_t maxExpansion(Compression c)
{
    switch (c) {
    case Compression::ByteRle:
        return 64;
    case Compression::TwelveBitRle:
        return 16;
    case Compression::SixteenBitRle:
        return 86;
    case Compression::TwentyFourBitRle:
        return 96;
    case Compression::ThirtyTwoBitRle:
        return 128;
    case Compression::None:
        break;
    }
    return 1;
}

std::string depthText(std::int32_t bpp)
{
    return std::to_string(bpp) + " bits per pixel";
}

void put24(std::uint8_t* at, Rgb c)
{
    at[0] = c.b;
    at[1] = c.g;
    at[2] = c.r;
}

} // namespace

bool isValidMode(Mode m)
{
    if (m.colour)
        return m.bpp == 4 || m.bpp == 8 || m.bpp == 12 || m.bpp == 16 || m.bpp == 24 || m.bpp == 32;
    return m.bpp == 1 || m.bpp == 2 || m.bpp == 4 || m.bpp == 8;
}

std::string modeName(Mode m)
{
    return (m.colour ? "/c" : "/") + std::to_string(m.bpp);
}

Compression compressionFor(int bpp)
{
    if (bpp <= 8)
        return Compression::ByteRle;
    switch (bpp) {
    case 12:
        return Compression::TwelveBitRle;
    case 16:
        return Compression::SixteenBitRle;
    case 24:
        return Compression::TwentyFourBitRle;
    default:
        return Compression::None;
    }
}

std::uint32_t byteWidth(std::int32_t width, std::int32_t bpp)
{
    if (width < 1)
        return 0;
    const auto w = static_cast<std::uint32_t>(width);
    switch (bpp) {
    case 1:
        return (w + 31) / 32 * 4;
    case 2:
        return (w + 15) / 16 * 4;
    case 4:
        return (w + 7) / 8 * 4;
    case 8:
        return (w + 3) / 4 * 4;
    case 12:
    case 16:
        return (w + 1) / 2 * 4;
    case 24:
        return (3 * w + 11) / 12 * 12;
    case 32:
        return 4 * w;
    default:
        return 0;
    }
}

std::int32_t twipsFromPelsPerMetre(std::int32_t pixels, std::int32_t pelsPerMetre)
{
    if (pelsPerMetre <= 0)
        return 0;
    // 64-bit: bmconv's 32-bit product overflows beyond 1491 pixels.
    const std::int64_t twips = std::int64_t{pixels} * 1440000 / 254 / pelsPerMetre;
    if (twips > std::numeric_limits<std::int32_t>::max() || twips < std::numeric_limits<std::int32_t>::min())
        return 0;
    return static_cast<std::int32_t>(twips);
}

Rgb MbmBitmap::pixel(int x, int y) const
{
    const std::uint8_t* row = data.data() + static_cast<std::size_t>(y) * stride();
    const auto ux = static_cast<std::size_t>(x);
    // Only colour flag 1 selects the colour palettes, as in bmconv.
    const bool colourPalette = header.colour == 1;
    switch (header.bpp) {
    case 1: {
        const auto v = static_cast<std::uint8_t>(((row[ux >> 3] >> (ux & 7)) & 1) * 255);
        return Rgb{v, v, v};
    }
    case 2: {
        const auto v = static_cast<std::uint8_t>(((row[ux >> 2] >> (2 * (ux & 3))) & 3) * 85);
        return Rgb{v, v, v};
    }
    case 4: {
        const unsigned index = (row[ux >> 1] >> (4 * (ux & 1))) & 0xF;
        if (colourPalette)
            return colour16Palette()[index];
        const auto v = static_cast<std::uint8_t>(index * 17);
        return Rgb{v, v, v};
    }
    case 8: {
        const std::uint8_t index = row[ux];
        if (colourPalette)
            return colour256Palette()[index];
        return Rgb{index, index, index};
    }
    case 12:
        return fromColour4K(le16(row + 2 * ux));
    case 16:
        return fromColour64K(le16(row + 2 * ux));
    case 24:
        return Rgb{row[3 * ux + 2], row[3 * ux + 1], row[3 * ux]};
    case 32:
        return Rgb{row[4 * ux + 2], row[4 * ux + 1], row[4 * ux]};
    default:
        return Rgb{};
    }
}

void MbmBitmap::rowToBgr(int y, std::uint8_t* out) const
{
    const std::uint8_t* row = data.data() + static_cast<std::size_t>(y) * stride();
    const auto w = static_cast<std::size_t>(std::max(header.width, 0));
    auto fromTable = [&](unsigned bits, const auto& table) {
        const unsigned perByte = 8 / bits;
        const unsigned mask = (1u << bits) - 1;
        for (std::size_t x = 0; x < w; ++x, out += 3)
            put24(out, table[(row[x / perByte] >> ((x % perByte) * bits)) & mask]);
    };
    auto greys = [](unsigned levels) {
        std::array<Rgb, 256> t{};
        for (unsigned i = 0; i < levels; ++i) {
            const auto v = static_cast<std::uint8_t>(i * 255 / (levels - 1));
            t[i] = Rgb{v, v, v};
        }
        return t;
    };
    const bool colourPalette = header.colour == 1;
    switch (header.bpp) {
    case 1: {
        static const auto table = greys(2);
        fromTable(1, table);
        return;
    }
    case 2: {
        static const auto table = greys(4);
        fromTable(2, table);
        return;
    }
    case 4: {
        static const auto table = greys(16);
        if (colourPalette)
            fromTable(4, colour16Palette());
        else
            fromTable(4, table);
        return;
    }
    case 8: {
        static const auto table = greys(256);
        if (colourPalette)
            fromTable(8, colour256Palette());
        else
            fromTable(8, table);
        return;
    }
    case 12:
        for (std::size_t x = 0; x < w; ++x, out += 3)
            put24(out, fromColour4K(le16(row + 2 * x)));
        return;
    case 16:
        for (std::size_t x = 0; x < w; ++x, out += 3)
            put24(out, fromColour64K(le16(row + 2 * x)));
        return;
    case 24:
        // Stored as B, G, R: the BMP order already.
        std::copy(row, row + 3 * w, out);
        return;
    case 32:
        for (std::size_t x = 0; x < w; ++x, out += 3)
            std::copy(row + 4 * x, row + 4 * x + 3, out);
        return;
    default:
        for (std::size_t x = 0; x < w; ++x, out += 3)
            put24(out, Rgb{});
        return;
    }
}

Result<std::vector<std::uint32_t>> readIndex(ByteSpan file, const ReadLimits& limits)
{
    ByteReader r(file);
    std::uint32_t uid1 = 0;
    std::uint32_t uid2 = 0;
    std::uint32_t uid3 = 0;
    std::uint32_t checksum = 0;
    std::uint32_t trailer = 0;
    if (!r.u32(uid1))
        return fail(MbmError::Truncated, "too short to be an MBM file");
    if (uid1 == MultiBitmapRomUid)
        return fail(MbmError::Unsupported, "a ROM image MBM, which only a ROM build can use");
    if (!r.u32(uid2) || !r.u32(uid3) || !r.u32(checksum) || !r.u32(trailer))
        return fail(MbmError::Truncated, "too short to be an MBM file");
    if (uid1 != DirectFileStoreUid || uid2 != MultiBitmapFileUid)
        return fail(MbmError::WrongFormat, "not an MBM file (wrong UIDs)");
    if (checksum != uidChecksum(uid1, uid2, uid3))
        return fail(MbmError::Damaged, "the UID checksum does not match the UIDs");

    std::uint32_t count = 0;
    if (!r.seek(trailer) || !r.u32(count))
        return fail(MbmError::Damaged,
                    "the bitmap table lies outside the file (offset " + std::to_string(trailer) + ")");
    if (count > limits.maxBitmaps)
        return fail(MbmError::TooLarge,
                    "the file claims " + std::to_string(count) + " bitmaps, more than the "
                        + std::to_string(limits.maxBitmaps) + " allowed");
    if (r.remaining() / 4 < count)
        return fail(MbmError::Truncated,
                    "the bitmap table claims " + std::to_string(count) + " bitmaps but the file ends first");
    std::vector<std::uint32_t> offsets(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        r.u32(offsets[i]);
        if (file.size() < HeaderSize || offsets[i] > file.size() - HeaderSize)
            return fail(MbmError::Damaged,
                        "bitmap " + std::to_string(i) + " starts outside the file (offset " + std::to_string(offsets[i])
                            + ")");
    }
    return offsets;
}

Result<MbmBitmap> readBitmap(ByteSpan file, std::uint32_t offset, const ReadLimits& limits)
{
    ByteReader r(file);
    MbmBitmap bm;
    BitmapHeader& h = bm.header;
    if (!r.seek(offset) || r.remaining() < HeaderSize)
        return fail(MbmError::Damaged, "the bitmap header lies outside the file");
    r.i32(h.bitmapSize);
    r.i32(h.structSize);
    r.i32(h.width);
    r.i32(h.height);
    r.i32(h.twipsWidth);
    r.i32(h.twipsHeight);
    r.i32(h.bpp);
    r.i32(h.colour);
    r.i32(h.paletteEntries);
    r.u32(h.compression);

    // The header size doubles as the offset of the data (as bmconv reads it).
    if (h.structSize < static_cast<std::int32_t>(HeaderSize) || h.bitmapSize < h.structSize)
        return fail(MbmError::Damaged,
                    "bad bitmap header (sizes " + std::to_string(h.bitmapSize) + ", " + std::to_string(h.structSize)
                        + ")");
    if (static_cast<std::uint32_t>(h.bitmapSize) > file.size() - offset)
        return fail(MbmError::Truncated, "the bitmap data run past the end of the file");
    if (h.width < 0 || h.height < 0 || h.width > limits.maxDimension || h.height > limits.maxDimension
        || std::int64_t{h.width} * h.height > limits.maxPixels)
        return fail(h.width < 0 || h.height < 0 ? MbmError::Damaged : MbmError::TooLarge,
                    "unsupported bitmap size " + std::to_string(h.width) + " x " + std::to_string(h.height));
    if (byteWidth(1, h.bpp) == 0)
        return fail(MbmError::Unsupported, "unsupported depth of " + depthText(h.bpp));
    if (h.paletteEntries != 0)
        return fail(MbmError::Unsupported, "bitmaps with a palette are not supported");

    const std::uint64_t rawSize = std::uint64_t{byteWidth(h.width, h.bpp)} * static_cast<std::uint64_t>(h.height);
    ByteSpan stored = file.subspan(offset + static_cast<std::uint32_t>(h.structSize),
                                   static_cast<std::size_t>(h.bitmapSize - h.structSize));
    const auto compression = static_cast<Compression>(h.compression);
    if (h.compression > 5)
        return fail(MbmError::Unsupported, "unknown compression " + std::to_string(h.compression));
    if (compression == Compression::ThirtyTwoBitRle && h.bpp != 32)
        return fail(MbmError::Damaged, "compression 5 used at " + depthText(h.bpp));
    if (compression == Compression::None) {
        if (stored.size() < rawSize)
            return fail(MbmError::Truncated, "the bitmap data are shorter than the picture");
        bm.data.assign(stored.begin(), stored.begin() + static_cast<std::ptrdiff_t>(rawSize));
        return bm;
    }
    if (rawSize / maxExpansion(compression) > stored.size())
        return fail(MbmError::Truncated, "the compressed data are too short for the picture");

    bm.data.assign(static_cast<std::size_t>(rawSize), 0xFF);
    Result<void> expanded;
    switch (compression) {
    case Compression::ByteRle:
        expanded = expandByteRle(stored, bm.data);
        break;
    case Compression::TwelveBitRle:
        expanded = expandTwelveBitRle(stored, bm.data);
        break;
    case Compression::SixteenBitRle:
        expanded = expandSixteenBitRle(stored, bm.data);
        break;
    case Compression::TwentyFourBitRle:
        expanded = expandTwentyFourBitRle(stored, bm.data);
        break;
    case Compression::ThirtyTwoBitRle:
        expanded = expandThirtyTwoBitRle(stored, bm.data);
        break;
    case Compression::None:
        break;
    }
    if (!expanded)
        return fail(expanded.code(), expanded.error());
    return bm;
}

Result<std::vector<MbmBitmap>> readMbm(ByteSpan file, const ReadLimits& limits)
{
    auto index = readIndex(file, limits);
    if (!index)
        return fail(index.code(), index.error());
    std::vector<MbmBitmap> bitmaps;
    bitmaps.reserve(index->size());
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < index->size(); ++i) {
        auto bm = readBitmap(file, (*index)[i], limits);
        if (!bm)
            return fail(bm.code(), "bitmap " + std::to_string(i) + ": " + bm.error());
        total += bm->data.size();
        if (total > limits.maxTotalBytes)
            return fail(MbmError::TooLarge,
                        "the bitmaps hold more than " + std::to_string(limits.maxTotalBytes) + " bytes of pixels");
        bitmaps.push_back(std::move(bm.value()));
    }
    return bitmaps;
}

Bytes encodeBitmap(const MbmBitmap& bitmap, Store store)
{
    const BitmapHeader& h = bitmap.header;
    Compression compression = Compression::None;
    std::optional<Bytes> packed;
    if (store == Store::Compressed) {
        compression = compressionFor(h.bpp);
        switch (compression) {
        case Compression::ByteRle:
            packed = compressByteRle(bitmap.data);
            break;
        case Compression::TwelveBitRle:
            packed = compressTwelveBitRle(bitmap.data);
            break;
        case Compression::SixteenBitRle:
            packed = compressSixteenBitRle(bitmap.data);
            break;
        case Compression::TwentyFourBitRle:
            packed = compressTwentyFourBitRle(bitmap.data);
            break;
        case Compression::ThirtyTwoBitRle:
        case Compression::None:
            break;
        }
        if (!packed)
            compression = Compression::None; // the encoder gave up: stored raw
    }
    const Bytes& body = packed ? *packed : bitmap.data;
    Bytes out;
    out.reserve(HeaderSize + body.size());
    ByteWriter w(out);
    w.u32(static_cast<std::uint32_t>(HeaderSize + body.size()));
    w.u32(HeaderSize);
    w.i32(h.width);
    w.i32(h.height);
    w.i32(h.twipsWidth);
    w.i32(h.twipsHeight);
    w.i32(h.bpp);
    w.i32(h.colour);
    w.u32(0); // no palette
    w.u32(static_cast<std::uint32_t>(compression));
    w.bytes(body);
    return out;
}

Result<Bytes> writeMbm(const std::vector<MbmBitmap>& bitmaps, Store store)
{
    constexpr std::uint64_t maxFile = std::numeric_limits<std::int32_t>::max();
    Bytes out;
    ByteWriter w(out);
    w.u32(DirectFileStoreUid);
    w.u32(MultiBitmapFileUid);
    w.u32(0);
    w.u32(uidChecksum(DirectFileStoreUid, MultiBitmapFileUid, 0));
    w.u32(0); // trailer offset, patched below
    std::vector<std::uint32_t> offsets;
    offsets.reserve(bitmaps.size());
    for (std::size_t i = 0; i < bitmaps.size(); ++i) {
        const MbmBitmap& bm = bitmaps[i];
        if (!isValidMode(bm.mode()))
            return fail(MbmError::BadArgument,
                        "bitmap " + std::to_string(i) + ": unsupported mode " + modeName(bm.mode()));
        const std::uint64_t rawSize = std::uint64_t{bm.stride()} * static_cast<std::uint64_t>(std::max(bm.header.height, 0));
        if (bm.header.width < 0 || bm.header.height < 0 || bm.data.size() != rawSize)
            return fail(MbmError::BadArgument, "bitmap " + std::to_string(i) + ": data do not match its size");
        offsets.push_back(static_cast<std::uint32_t>(out.size()));
        w.bytes(encodeBitmap(bm, store));
        if (out.size() + 4 + 4 * bitmaps.size() > maxFile)
            return fail(MbmError::TooLarge, "the bitmaps are too large for one MBM file");
    }
    w.patch32(16, static_cast<std::uint32_t>(out.size()));
    w.u32(static_cast<std::uint32_t>(bitmaps.size()));
    for (std::uint32_t offset : offsets)
        w.u32(offset);
    return out;
}

Result<MbmBitmap> makeBitmap(Mode mode, std::int32_t width, std::int32_t height, const std::vector<Rgb>& pixels,
                             std::int32_t twipsWidth, std::int32_t twipsHeight, const ReduceOptions& options)
{
    if (!isValidMode(mode))
        return fail(MbmError::BadArgument, "invalid bitmap mode " + modeName(mode));
    const ReadLimits limits;
    if (width < 0 || height < 0 || width > limits.maxDimension || height > limits.maxDimension
        || std::int64_t{width} * height > limits.maxPixels)
        return fail(width < 0 || height < 0 ? MbmError::BadArgument : MbmError::TooLarge,
                    "unsupported bitmap size " + std::to_string(width) + " x " + std::to_string(height));
    const auto w = static_cast<std::size_t>(width);
    const auto h = static_cast<std::size_t>(height);
    if (pixels.size() != w * h)
        return fail(MbmError::BadArgument, "pixel count does not match the size");

    MbmBitmap bm;
    bm.header.width = width;
    bm.header.height = height;
    bm.header.twipsWidth = twipsWidth;
    bm.header.twipsHeight = twipsHeight;
    bm.header.bpp = mode.bpp;
    bm.header.colour = mode.colour ? 1 : 0;
    const std::size_t stride = bm.stride();
    bm.data.assign(stride * h, 0xFF);
    bm.header.bitmapSize = static_cast<std::int32_t>(HeaderSize + bm.data.size());

    const Inverse256& inverse = options.inverse256 ? *options.inverse256 : defaultInverse256();
    const auto& inverse16 = colour16Inverse();
    // One pass per mode, the per-pixel work inlined.
    auto each = [&](auto&& put) {
        for (std::size_t y = 0; y < h; ++y) {
            std::uint8_t* row = bm.data.data() + y * stride;
            const Rgb* src = pixels.data() + y * w;
            for (std::size_t x = 0; x < w; ++x)
                put(row, x, options.sdkGreys ? sdkGreySubstitution(src[x]) : src[x]);
        }
    };
    // Sub-byte pixels: pixel x sits at bit (x % perByte) * bits of byte
    // x / perByte, least significant first.
    auto packed = [&](unsigned bits, auto&& value) {
        const unsigned perByte = 8 / bits;
        const unsigned mask = (1u << bits) - 1;
        each([&](std::uint8_t* row, std::size_t x, Rgb c) {
            const unsigned shift = static_cast<unsigned>(x % perByte) * bits;
            std::uint8_t& byte = row[x / perByte];
            byte = static_cast<std::uint8_t>((byte & ~(mask << shift)) | (value(c) << shift));
        });
    };
    auto word = [&](auto&& value) {
        each([&](std::uint8_t* row, std::size_t x, Rgb c) {
            const std::uint16_t v = value(c);
            row[2 * x] = static_cast<std::uint8_t>(v);
            row[2 * x + 1] = static_cast<std::uint8_t>(v >> 8);
        });
    };
    switch (mode.bpp) {
    case 1:
        packed(1, [](Rgb c) { return gray2(c); });
        break;
    case 2:
        packed(2, [](Rgb c) { return gray4(c); });
        break;
    case 4:
        if (mode.colour)
            packed(4, [&](Rgb c) { return colour16Index(c, inverse16); });
        else
            packed(4, [](Rgb c) { return gray16(c); });
        break;
    case 8:
        if (mode.colour)
            each([&](std::uint8_t* row, std::size_t x, Rgb c) { row[x] = static_cast<std::uint8_t>(colour256Index(c, inverse)); });
        else
            each([](std::uint8_t* row, std::size_t x, Rgb c) { row[x] = static_cast<std::uint8_t>(gray256(c)); });
        break;
    case 12:
        word([](Rgb c) { return colour4K(c); });
        break;
    case 16:
        word([](Rgb c) { return colour64K(c); });
        break;
    case 24:
        each([](std::uint8_t* row, std::size_t x, Rgb c) { put24(row + 3 * x, c); });
        break;
    case 32:
        each([](std::uint8_t* row, std::size_t x, Rgb c) {
            put24(row + 4 * x, c);
            row[4 * x + 3] = 0;
        });
        break;
    default:
        break;
    }
    return bm;
}

Bytes encodeUnpackedBmp(const MbmBitmap& bitmap)
{
    const auto w = static_cast<std::size_t>(std::max(bitmap.header.width, 0));
    const auto h = static_cast<std::size_t>(std::max(bitmap.header.height, 0));
    const std::size_t rowBytes = (3 * w + 3) & ~std::size_t{3};
    Bytes out;
    out.reserve(54 + rowBytes * h);
    ByteWriter wr(out);
    wr.u8('B');
    wr.u8('M');
    wr.u32(static_cast<std::uint32_t>(54 + rowBytes * h));
    wr.u16(0);
    wr.u16(0);
    wr.u32(54);
    wr.u32(40);
    wr.i32(bitmap.header.width);
    wr.i32(bitmap.header.height);
    wr.u16(1);
    wr.u16(24);
    wr.u32(0); // no compression
    wr.u32(0); // image size left 0, as bmconv does
    wr.i32(0); // pels per metre
    wr.i32(0);
    wr.u32(0); // colours used
    wr.u32(0);
    // Row padding is zero, as the program's own BMP files have it, so a
    // slot packed and unpacked again comes back byte for byte.
    out.resize(54 + rowBytes * h, 0);
    for (std::size_t y = 0; y < h; ++y)
        bitmap.rowToBgr(static_cast<int>(y), out.data() + 54 + (h - 1 - y) * rowBytes);
    return out;
}

} // namespace kastra::mbm

#include "mbm/mbm_rle.h"

#include "mbm/errors.h"

#include <algorithm>
#include <cstring>

namespace kastra::mbm {

namespace {

// Chunk writers shared by the byte, 16-bit and 24-bit schemes. A run longer
// than 128 becomes 128-runs (marker 127) followed by the remainder (len - 1);
// a literal longer than 128 becomes 128-literals (marker -128) followed by
// marker -len.
void emitRun(Bytes& out, const std::uint8_t* pixel, std::size_t pixelBytes, std::size_t count)
{
    while (count > 128) {
        out.push_back(127);
        out.insert(out.end(), pixel, pixel + pixelBytes);
        count -= 128;
    }
    out.push_back(static_cast<std::uint8_t>(count - 1));
    out.insert(out.end(), pixel, pixel + pixelBytes);
}

void emitLiteral(Bytes& out, const std::uint8_t* data, std::size_t pixelBytes, std::size_t count)
{
    while (count > 128) {
        out.push_back(0x80);
        out.insert(out.end(), data, data + 128 * pixelBytes);
        data += 128 * pixelBytes;
        count -= 128;
    }
    out.push_back(static_cast<std::uint8_t>(256 - count));
    out.insert(out.end(), data, data + count * pixelBytes);
}

bool samePixel(const std::uint8_t* a, const std::uint8_t* b, std::size_t pixelBytes)
{
    return std::memcmp(a, b, pixelBytes) == 0;
}

// The 16-bit scan: a run starts at two equal pixels; a literal extends until
// a pixel equals the one after it; the main loop stops one pixel before the
// end and the pixel left over becomes a literal of its own.
std::optional<Bytes> compressPixelsStrict(ByteSpan raw, std::size_t pixelBytes)
{
    const std::size_t n = raw.size() / pixelBytes;
    const std::size_t limit = raw.size() * 7 / 8;
    const std::uint8_t* px = raw.data();
    auto at = [&](std::size_t i) { return px + i * pixelBytes; };
    Bytes out;
    out.reserve(limit + 2 * pixelBytes + 2);
    std::size_t i = 0;
    while (i + 1 < n) {
        const std::size_t start = i++;
        if (samePixel(at(i), at(start), pixelBytes)) {
            do
                ++i;
            while (i < n && samePixel(at(i), at(start), pixelBytes));
            emitRun(out, at(start), pixelBytes, i - start);
        } else {
            while (i + 1 < n && !samePixel(at(i + 1), at(i), pixelBytes))
                ++i;
            emitLiteral(out, at(start), pixelBytes, i - start);
        }
        if (out.size() > limit)
            return std::nullopt;
    }
    if (i < n)
        emitLiteral(out, at(i), pixelBytes, n - i);
    if (out.size() > limit)
        return std::nullopt;
    return out;
}

// Reads a chunk marker and checks that its pixels fit in what is left of the
// output; shared by the 16-, 24- and 32-bit decoders.
struct Chunk {
    bool run = false;
    std::size_t count = 0;
};

Result<Chunk> readMarker(ByteReader& in, std::size_t pixelsLeft, std::size_t pixelBytes)
{
    std::uint8_t marker = 0;
    if (!in.u8(marker))
        return fail(MbmError::Truncated, "compressed data ends before the picture is complete");
    Chunk c;
    c.run = marker < 0x80;
    c.count = c.run ? std::size_t{marker} + 1 : 256 - std::size_t{marker};
    if (c.count > pixelsLeft)
        return fail(MbmError::Damaged, "a run of the compressed data goes past the end of the picture");
    const std::size_t needed = c.run ? pixelBytes : c.count * pixelBytes;
    if (in.remaining() < needed)
        return fail(MbmError::Truncated, "compressed data ends in the middle of a run");
    return c;
}

Result<void> expandPixels(ByteSpan input, std::span<std::uint8_t> out, std::size_t inPixelBytes,
                          std::size_t outPixelBytes)
{
    if (out.size() % outPixelBytes != 0)
        return fail(MbmError::Damaged, "the compression does not fit the depth of the picture");
    ByteReader in(input);
    const std::size_t total = out.size() / outPixelBytes;
    std::size_t done = 0;
    while (done < total) {
        auto chunk = readMarker(in, total - done, inPixelBytes);
        if (!chunk)
            return fail(chunk.code(), chunk.error());
        ByteSpan src;
        in.bytes(chunk->run ? inPixelBytes : chunk->count * inPixelBytes, src);
        for (std::size_t k = 0; k < chunk->count; ++k) {
            const std::uint8_t* from = src.data() + (chunk->run ? 0 : k * inPixelBytes);
            std::copy(from, from + inPixelBytes, out.begin() + static_cast<std::ptrdiff_t>((done + k) * outPixelBytes));
        }
        done += chunk->count;
    }
    return {};
}

} // namespace

std::optional<Bytes> compressByteRle(ByteSpan raw)
{
    const std::size_t size = raw.size();
    // bmconv leaves the last max(size/64, 4) bytes out of its main loop and
    // writes them as one literal at the end.
    const std::size_t margin = std::max<std::size_t>(size >> 6, 4);
    const std::size_t cutoff = (size >> 1) + (size >> 2);
    const std::uint8_t* p = raw.data();
    Bytes out;
    out.reserve(cutoff + 130);
    std::size_t pos = 0;
    // "pos < size - margin", kept in a form that cannot wrap below zero.
    auto inMainPart = [&](std::size_t at) { return at + margin < size; };
    while (inMainPart(pos)) {
        std::uint8_t value = p[pos];
        const std::size_t start = pos;
        if (p[pos + 1] == value && p[pos + 2] == value) {
            pos += 3;
            while (p[pos] == value && inMainPart(pos))
                ++pos;
            emitRun(out, &value, 1, pos - start);
        } else {
            while (inMainPart(pos) && (p[pos + 1] != value || p[pos + 2] != value))
                value = p[++pos];
            emitLiteral(out, p + start, 1, pos - start);
        }
        if (out.size() > cutoff)
            return std::nullopt;
    }
    const std::size_t remaining = size - pos;
    if (remaining > 0) {
        // bmconv tests the tail against the cut-off before adding its
        // markers, so the result may end a few bytes above it.
        if (out.size() + remaining > cutoff)
            return std::nullopt;
        emitLiteral(out, p + pos, 1, remaining);
    }
    return out;
}

Result<void> expandByteRle(ByteSpan in, std::span<std::uint8_t> out)
{
    return expandPixels(in, out, 1, 1);
}

Bytes compressTwelveBitRle(ByteSpan raw)
{
    // Plain maximal runs of equal words (the full word is compared, so the
    // 0xFFFF row padding never joins a 0x0FFF pixel), split into runs of 16.
    // The value is masked to 12 bits, which turns padding into 0x0FFF.
    const std::size_t n = raw.size() / 2;
    Bytes out;
    out.reserve(raw.size());
    ByteWriter w(out);
    std::size_t i = 0;
    while (i < n) {
        const std::uint16_t value = le16(raw.data() + 2 * i);
        const std::size_t start = i;
        do
            ++i;
        while (i < n && le16(raw.data() + 2 * i) == value);
        std::size_t count = i - start;
        const auto data = static_cast<std::uint16_t>(value & 0x0FFF);
        for (; count > 16; count -= 16)
            w.u16(static_cast<std::uint16_t>(data | 0xF000));
        w.u16(static_cast<std::uint16_t>(data | ((count - 1) << 12)));
    }
    return out;
}

Result<void> expandTwelveBitRle(ByteSpan input, std::span<std::uint8_t> out)
{
    if (out.size() % 2 != 0)
        return fail(MbmError::Damaged, "the compression does not fit the depth of the picture");
    ByteReader in(input);
    const std::size_t total = out.size() / 2;
    std::size_t done = 0;
    while (done < total) {
        std::uint16_t word = 0;
        if (!in.u16(word))
            return fail(MbmError::Truncated, "compressed data ends before the picture is complete");
        const std::size_t count = (word >> 12) + 1u;
        if (count > total - done)
            return fail(MbmError::Damaged, "a run of the compressed data goes past the end of the picture");
        const auto lo = static_cast<std::uint8_t>(word & 0xFF);
        const auto hi = static_cast<std::uint8_t>((word >> 8) & 0x0F);
        for (std::size_t k = 0; k < count; ++k, ++done) {
            out[2 * done] = lo;
            out[2 * done + 1] = hi;
        }
    }
    return {};
}

std::optional<Bytes> compressSixteenBitRle(ByteSpan raw)
{
    return compressPixelsStrict(raw, 2);
}

Result<void> expandSixteenBitRle(ByteSpan in, std::span<std::uint8_t> out)
{
    return expandPixels(in, out, 2, 2);
}

std::optional<Bytes> compressTwentyFourBitRle(ByteSpan raw)
{
    // As the 16-bit scan, except for bmconv's off-by-one in literal mode: the
    // first test compares pixel i+3 with pixel i+1, so two equal pixels at
    // i+1, i+2 are swallowed into the literal.
    const std::size_t n = raw.size() / 3;
    const std::size_t limit = raw.size() * 7 / 8;
    const std::uint8_t* px = raw.data();
    auto at = [&](std::size_t i) { return px + i * 3; };
    Bytes out;
    out.reserve(limit + 8);
    std::size_t i = 0;
    while (i + 1 < n) {
        const std::size_t start = i++;
        if (samePixel(at(i), at(start), 3)) {
            do
                ++i;
            while (i < n && samePixel(at(i), at(start), 3));
            emitRun(out, at(start), 3, i - start);
        } else {
            std::size_t compared = i++;
            while (i + 1 < n && !samePixel(at(i + 1), at(compared), 3))
                compared = ++i;
            emitLiteral(out, at(start), 3, i - start);
        }
        if (out.size() > limit)
            return std::nullopt;
    }
    if (i < n)
        emitLiteral(out, at(i), 3, n - i);
    if (out.size() > limit)
        return std::nullopt;
    return out;
}

Result<void> expandTwentyFourBitRle(ByteSpan in, std::span<std::uint8_t> out)
{
    return expandPixels(in, out, 3, 3);
}

Result<void> expandThirtyTwoBitRle(ByteSpan in, std::span<std::uint8_t> out)
{
    return expandPixels(in, out, 3, 4);
}

} // namespace kastra::mbm

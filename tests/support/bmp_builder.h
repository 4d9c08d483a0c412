#pragma once
// Builds BMP file bytes field by field, so tests can make every kind of file
// (and every kind of broken file) without committed binaries.

#include "base/bytes.h"

#include <cstdint>
#include <vector>

namespace kastra::test {

struct BmpSpec {
    std::uint32_t headerSize = 40;     // 40, 12, 108, 124
    std::int32_t width = 1;
    std::int32_t height = 1;           // negative: top-down rows
    std::uint16_t bpp = 24;
    std::uint32_t compression = 0;
    std::vector<std::uint32_t> masks;  // after a 40-byte header, inside a larger one
    std::vector<std::uint32_t> palette;   // 0x00RRGGBB as stored: blue, green, red, 0
    std::uint32_t coloursUsed = 0;
    std::int32_t xppm = 0;
    std::int32_t yppm = 0;
    std::uint32_t gap = 0;             // extra bytes between palette and pixels
    Bytes pixels;                      // rows exactly as stored in the file
};

inline Bytes makeBmp(const BmpSpec& s)
{
    Bytes out;
    ByteWriter w(out);
    const std::uint32_t paletteEntry = s.headerSize == 12 ? 3 : 4;
    const bool masksInside = s.headerSize > 40;
    const auto offset = static_cast<std::uint32_t>(14 + s.headerSize + (masksInside ? 0 : 4 * s.masks.size())
                                                   + paletteEntry * s.palette.size() + s.gap);
    w.u8('B');
    w.u8('M');
    w.u32(offset + static_cast<std::uint32_t>(s.pixels.size()));
    w.u32(0);
    w.u32(offset);
    w.u32(s.headerSize);
    if (s.headerSize == 12) {
        w.u16(static_cast<std::uint16_t>(s.width));
        w.u16(static_cast<std::uint16_t>(s.height));
        w.u16(1);
        w.u16(s.bpp);
    } else {
        w.i32(s.width);
        w.i32(s.height);
        w.u16(1);
        w.u16(s.bpp);
        w.u32(s.compression);
        w.u32(0);
        w.i32(s.xppm);
        w.i32(s.yppm);
        // A short palette is announced through the colours-used field.
        const bool shortPalette = s.bpp <= 8 && !s.palette.empty() && s.palette.size() < (std::size_t{1} << s.bpp);
        w.u32(s.coloursUsed ? s.coloursUsed : shortPalette ? static_cast<std::uint32_t>(s.palette.size()) : 0);
        w.u32(0);
        if (masksInside) {
            for (std::uint32_t m : s.masks)
                w.u32(m);
            w.fill(s.headerSize - 40 - 4 * static_cast<std::uint32_t>(s.masks.size()), 0);
        }
    }
    if (!masksInside)
        for (std::uint32_t m : s.masks)
            w.u32(m);
    for (std::uint32_t c : s.palette) {
        w.u8(static_cast<std::uint8_t>(c));
        w.u8(static_cast<std::uint8_t>(c >> 8));
        w.u8(static_cast<std::uint8_t>(c >> 16));
        if (paletteEntry == 4)
            w.u8(0);
    }
    w.fill(s.gap, 0xEE);
    w.bytes(s.pixels);
    return out;
}

} // namespace kastra::test

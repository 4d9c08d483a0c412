#pragma once
// What the BMP reader and writer share with the pixel access of Bitmap: the
// header sizes, the bit-field masks and the conversion of a channel through a
// mask. Internal to the picture library.

#include "picture/bitmap.h"

#include <array>
#include <cstdint>
#include <vector>

namespace kastra::bmp {

// The compression field's values.
inline constexpr std::uint32_t kRgb = 0;
inline constexpr std::uint32_t kRle8 = 1;
inline constexpr std::uint32_t kRle4 = 2;
inline constexpr std::uint32_t kBitFields = 3;
inline constexpr std::uint32_t kJpeg = 4;
inline constexpr std::uint32_t kPng = 5;
inline constexpr std::uint32_t kAlphaBitFields = 6;

// The BMP file header (14 bytes) and the information headers paint programs
// write: the OS/2 BITMAPCOREHEADER (12 bytes), BITMAPINFOHEADER (40), the
// two that add the bit-field masks to it (52: red, green, blue; 56: and
// alpha), BITMAPV4HEADER (108) and BITMAPV5HEADER (124). The last two add
// colour-space fields, which a handset picture has no use for.
inline constexpr std::size_t kFileHeaderSize = 14;
inline constexpr std::uint32_t kInfoHeaderSize = 40;
inline constexpr std::uint32_t kCoreHeaderSize = 12;
inline constexpr std::uint32_t kHeaderSizes[] = {12, 40, 52, 56, 108, 124};

inline int bitWidth(std::uint32_t mask)
{
    int n = 0;
    while (mask) {
        n += static_cast<int>(mask & 1u);
        mask >>= 1;
    }
    return n;
}

inline int lowestBit(std::uint32_t mask)
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
inline unsigned channel(std::uint32_t value, std::uint32_t mask)
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

inline std::uint32_t encodeChannel(unsigned c8, std::uint32_t mask)
{
    const int width = bitWidth(mask);
    if (width == 0)
        return 0;
    const std::uint32_t v = width >= 8 ? (static_cast<std::uint32_t>(c8) << (width - 8)) : (c8 >> (8 - width));
    return (v << lowestBit(mask)) & mask;
}

// The standard 5-5-5 layout of 16-bit BMP files without bit fields.
inline constexpr std::array<std::uint32_t, 3> k555 = {0x7C00, 0x03E0, 0x001F};
inline constexpr std::array<std::uint32_t, 3> k888 = {0xFF0000, 0x00FF00, 0x0000FF};

inline std::vector<Colour> greyRamp(int depth)
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

inline bool validDepth(int depth)
{
    return depth == 1 || depth == 4 || depth == 8 || depth == 16 || depth == 24 || depth == 32;
}

} // namespace kastra::bmp

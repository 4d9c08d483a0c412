#pragma once
// Colours of the handset's display modes: the fixed 16- and 256-colour
// palettes, grey levels, 4K and 64K colour words, and the reductions bmconv
// applies when it stores a picture at a lower depth. There is no dithering
// anywhere: every pixel is reduced on its own.

#include <array>
#include <cstdint>

namespace kastra::mbm {

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    friend bool operator==(Rgb, Rgb) = default;
};

// EColor16: the phone's fixed 16-colour palette, index order as stored.
const std::array<Rgb, 16>& colour16Palette();
// EColor256: the phone's default 256-colour palette (the 6x6x6 cube split
// around 40 extra greys and primaries, see palette.cpp).
const std::array<Rgb, 256>& colour256Palette();

// For each 12-bit colour (red in the low nibble, then green, then blue) the
// index of the nearest entry of a 256-colour palette.
using Inverse256 = std::array<std::uint8_t, 4096>;
// The table for the default palette (built once).
const Inverse256& defaultInverse256();
// The table for any palette, by the rule bmconv uses for its /p palettes:
// each nibble n stands for n * 17; the entry with the smallest sum of absolute
// differences wins, the lowest index on a tie, except that an exact match
// at index 1 or later ends the search at once.
Inverse256 makeInverse256(const std::array<Rgb, 256>& palette);

// bmconv's hard-wired substitution: exactly (128,128,128) becomes
// (127,127,127) and exactly (192,192,192) becomes (187,187,187); every other
// colour is returned unchanged.
inline Rgb sdkGreySubstitution(Rgb c)
{
    if (c.r == c.g && c.g == c.b) {
        if (c.r == 128)
            return Rgb{127, 127, 127};
        if (c.r == 192)
            return Rgb{187, 187, 187};
    }
    return c;
}

// Grey levels, integer arithmetic as on the phone: Gray256 is
// floor((2R + 5G + B) / 8), the coarser levels divide it further.
inline unsigned gray256(Rgb c) { return (2u * c.r + 5u * c.g + c.b) / 8u; }
inline unsigned gray16(Rgb c) { return gray256(c) / 16; }
inline unsigned gray4(Rgb c) { return gray256(c) / 64; }
inline unsigned gray2(Rgb c) { return gray256(c) / 128; }

// For each of 512 cells (the top 3 bits of red, green and blue, red lowest)
// the nearest colour16Palette() entry to the cell's representative colour,
// level n standing for n * 255 / 7; the lowest index wins a tie.
const std::array<std::uint8_t, 512>& colour16Inverse();

// Index into colour16Palette() through the 512-cell table.
inline unsigned colour16Index(Rgb c, const std::array<std::uint8_t, 512>& inverse = colour16Inverse())
{
    return inverse[(c.r >> 5) | ((c.g >> 5) << 3) | ((c.b >> 5) << 6)];
}
// Index into a 256-colour palette through its inverse table (top 4 bits of
// each channel).
inline unsigned colour256Index(Rgb c, const Inverse256& inverse)
{
    return inverse[(c.r >> 4) | ((c.g >> 4) << 4) | ((c.b >> 4) << 8)];
}

// EColor4K word 0x0RGB and EColor64K word RGB 5-6-5: plain truncation.
inline std::uint16_t colour4K(Rgb c)
{
    return static_cast<std::uint16_t>(((c.r & 0xF0) << 4) | (c.g & 0xF0) | (c.b >> 4));
}
inline std::uint16_t colour64K(Rgb c)
{
    return static_cast<std::uint16_t>(((c.r & 0xF8) << 8) | ((c.g & 0xFC) << 3) | (c.b >> 3));
}

// The colours bmconv writes back when it unpacks: nibbles times 17, 5- and
// 6-bit values scaled by 255/31 and 255/63 with integer division.
inline Rgb fromColour4K(std::uint16_t word)
{
    return Rgb{static_cast<std::uint8_t>(((word >> 8) & 0xF) * 17), static_cast<std::uint8_t>(((word >> 4) & 0xF) * 17),
               static_cast<std::uint8_t>((word & 0xF) * 17)};
}
inline Rgb fromColour64K(std::uint16_t word)
{
    return Rgb{static_cast<std::uint8_t>(((word >> 11) & 0x1F) * 255 / 31),
               static_cast<std::uint8_t>(((word >> 5) & 0x3F) * 255 / 63),
               static_cast<std::uint8_t>((word & 0x1F) * 255 / 31)};
}

} // namespace kastra::mbm

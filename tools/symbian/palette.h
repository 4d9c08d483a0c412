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
Rgb sdkGreySubstitution(Rgb c);

// Grey levels, integer arithmetic as on the phone: Gray256 is
// floor((2R + 5G + B) / 8), the coarser levels divide it further.
unsigned gray256(Rgb c);
inline unsigned gray16(Rgb c) { return gray256(c) / 16; }
inline unsigned gray4(Rgb c) { return gray256(c) / 64; }
inline unsigned gray2(Rgb c) { return gray256(c) / 128; }

// Index into colour16Palette(): the top 3 bits of each channel select one of
// 512 cells, and each cell maps to the palette entry nearest to its
// representative colour (level n stands for n * 255 / 7).
unsigned colour16Index(Rgb c);
// Index into a 256-colour palette through its inverse table (top 4 bits of
// each channel).
unsigned colour256Index(Rgb c, const Inverse256& inverse);

// EColor4K word 0x0RGB and EColor64K word RGB 5-6-5: plain truncation.
std::uint16_t colour4K(Rgb c);
std::uint16_t colour64K(Rgb c);

// The colours bmconv writes back when it unpacks: nibbles times 17, 5- and
// 6-bit values scaled by 255/31 and 255/63 with integer division.
Rgb fromColour4K(std::uint16_t word);
Rgb fromColour64K(std::uint16_t word);

} // namespace kastra::mbm

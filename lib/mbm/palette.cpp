#include "mbm/palette.h"

#include <cstdlib>

namespace kastra::mbm {

namespace {

constexpr Rgb hex(std::uint32_t rrggbb)
{
    return Rgb{static_cast<std::uint8_t>(rrggbb >> 16), static_cast<std::uint8_t>(rrggbb >> 8),
               static_cast<std::uint8_t>(rrggbb)};
}

unsigned difference(Rgb a, Rgb b)
{
    return static_cast<unsigned>(std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b));
}

std::array<Rgb, 256> buildColour256()
{
    // Indices 0-107 and 148-255 are the 6x6x6 cube of the levels 00, 33, 66,
    // 99, CC, FF (red varying fastest, then green, then blue); blue levels
    // 00-66 come first, 99-FF last. The 40 entries between add in-between
    // greys, reds, greens and blues that the cube cannot show.
    static constexpr std::uint8_t cube[6] = {0x00, 0x33, 0x66, 0x99, 0xCC, 0xFF};
    static constexpr std::uint8_t low[5] = {0x11, 0x22, 0x44, 0x55, 0x77};
    static constexpr std::uint8_t high[5] = {0x88, 0xAA, 0xBB, 0xDD, 0xEE};
    std::array<Rgb, 256> p{};
    std::size_t i = 0;
    auto cubePart = [&](int blueFrom, int blueTo) {
        for (int b = blueFrom; b < blueTo; ++b)
            for (int g = 0; g < 6; ++g)
                for (int r = 0; r < 6; ++r)
                    p[i++] = Rgb{cube[r], cube[g], cube[b]};
    };
    cubePart(0, 3);
    for (std::uint8_t v : low)
        p[i++] = Rgb{v, v, v};
    for (std::uint8_t v : low)
        p[i++] = Rgb{v, 0, 0};
    for (std::uint8_t v : low)
        p[i++] = Rgb{0, v, 0};
    for (std::uint8_t v : low)
        p[i++] = Rgb{0, 0, v};
    for (std::uint8_t v : high)
        p[i++] = Rgb{0, 0, v};
    for (std::uint8_t v : high)
        p[i++] = Rgb{0, v, 0};
    for (std::uint8_t v : high)
        p[i++] = Rgb{v, 0, 0};
    for (std::uint8_t v : high)
        p[i++] = Rgb{v, v, v};
    cubePart(3, 6);
    return p;
}

std::array<std::uint8_t, 512> buildInverse16()
{
    const auto& pal = colour16Palette();
    std::array<std::uint8_t, 512> inv{};
    for (unsigned cell = 0; cell < 512; ++cell) {
        const Rgb c{static_cast<std::uint8_t>((cell & 7) * 255 / 7), static_cast<std::uint8_t>(((cell >> 3) & 7) * 255 / 7),
                    static_cast<std::uint8_t>(((cell >> 6) & 7) * 255 / 7)};
        unsigned best = 0;
        unsigned bestDistance = difference(pal[0], c);
        for (unsigned i = 1; i < pal.size(); ++i) {
            const unsigned d = difference(pal[i], c);
            if (d < bestDistance) {
                best = i;
                bestDistance = d;
            }
        }
        inv[cell] = static_cast<std::uint8_t>(best);
    }
    return inv;
}

} // namespace

const std::array<Rgb, 16>& colour16Palette()
{
    static constexpr std::array<Rgb, 16> palette = {
        hex(0x000000), hex(0x555555), hex(0x800000), hex(0x808000), hex(0x008000), hex(0xFF0000),
        hex(0xFFFF00), hex(0x00FF00), hex(0xFF00FF), hex(0x0000FF), hex(0x00FFFF), hex(0x800080),
        hex(0x000080), hex(0x008080), hex(0xAAAAAA), hex(0xFFFFFF),
    };
    return palette;
}

const std::array<Rgb, 256>& colour256Palette()
{
    static const std::array<Rgb, 256> palette = buildColour256();
    return palette;
}

Inverse256 makeInverse256(const std::array<Rgb, 256>& palette)
{
    Inverse256 inv{};
    for (unsigned cell = 0; cell < 4096; ++cell) {
        const Rgb c{static_cast<std::uint8_t>((cell & 0xF) * 17), static_cast<std::uint8_t>(((cell >> 4) & 0xF) * 17),
                    static_cast<std::uint8_t>(((cell >> 8) & 0xF) * 17)};
        unsigned best = 0;
        unsigned bestDistance = difference(palette[0], c);
        for (unsigned i = 1; i < palette.size(); ++i) {
            if (palette[i] == c) {
                best = i;
                break;
            }
            const unsigned d = difference(palette[i], c);
            if (d < bestDistance) {
                best = i;
                bestDistance = d;
            }
        }
        inv[cell] = static_cast<std::uint8_t>(best);
    }
    return inv;
}

const Inverse256& defaultInverse256()
{
    static const Inverse256 inv = makeInverse256(colour256Palette());
    return inv;
}

const std::array<std::uint8_t, 512>& colour16Inverse()
{
    static const std::array<std::uint8_t, 512> inverse = buildInverse16();
    return inverse;
}

} // namespace kastra::mbm

#include "picture/screen_colours.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

namespace kastra {

namespace {

// Per channel and value: what the screen shows for it (its top bits), and
// the screen value nearest to it, which the error diffusion picks.
struct ChannelTable {
    std::array<std::uint8_t, 256> shown{};
    std::array<std::uint8_t, 256> nearest{};
};

ChannelTable makeTable(int bits)
{
    ChannelTable t;
    const int top = (1 << bits) - 1;
    for (int v = 0; v < 256; ++v)
        t.shown[static_cast<std::size_t>(v)] = static_cast<std::uint8_t>((v >> (8 - bits)) * 255 / top);
    for (int v = 0; v < 256; ++v) {
        int best = 0;
        for (int n = 0; n <= top; ++n) {
            const int level = n * 255 / top;
            if (std::abs(level - v) < std::abs(best - v))
                best = level;
        }
        t.nearest[static_cast<std::size_t>(v)] = static_cast<std::uint8_t>(best);
    }
    return t;
}

struct ScreenTables {
    ChannelTable red, green, blue;
};

const ScreenTables& tablesFor(ScreenColours screen)
{
    static const ScreenTables c4096{makeTable(4), makeTable(4), makeTable(4)};
    static const ScreenTables c65536{makeTable(5), makeTable(6), makeTable(5)};
    return screen == ScreenColours::Colours65536 ? c65536 : c4096;
}

Colour shown(const ScreenTables& t, unsigned r, unsigned g, unsigned b)
{
    return rgb(t.red.shown[r], t.green.shown[g], t.blue.shown[b]);
}

} // namespace

ScreenColours screenColoursFrom(int count)
{
    return count == 65536 ? ScreenColours::Colours65536 : ScreenColours::Colours4096;
}

Colour screenColour(Colour c, ScreenColours screen)
{
    return shown(tablesFor(screen), redOf(c), greenOf(c), blueOf(c));
}

void reduceToScreen(Bitmap& picture, ScreenColours screen)
{
    picture.toRgb24();
    const ScreenTables& t = tablesFor(screen);
    for (int y = 0; y < picture.height(); ++y) {
        // 24-bit rows are B, G, R bytes.
        std::uint8_t* p = picture.rowPtr(y);
        for (int x = 0; x < picture.width(); ++x, p += 3) {
            p[0] = t.blue.shown[p[0]];
            p[1] = t.green.shown[p[1]];
            p[2] = t.red.shown[p[2]];
        }
    }
}

void diffuseToScreen(Bitmap& picture, ScreenColours screen)
{
    picture.toRgb24();
    const ScreenTables& t = tablesFor(screen);
    const std::array<const ChannelTable*, 3> channel{&t.blue, &t.green, &t.red};   // row byte order
    const int w = picture.width();
    if (w <= 0)
        return;
    // The error carried to this row and the next, in 256ths of a colour
    // value, with a pixel of room on either side so the spread needs no edge
    // checks.
    const std::size_t rowLength = static_cast<std::size_t>(w + 2) * 3;
    std::vector<int> here(rowLength, 0), below(rowLength, 0);
    for (int y = 0; y < picture.height(); ++y) {
        std::uint8_t* row = picture.rowPtr(y);
        const bool forward = y % 2 == 0;
        const int step = forward ? 3 : -3;
        for (int i = 0; i < w; ++i) {
            const int x = forward ? i : w - 1 - i;
            const int e = (x + 1) * 3;
            for (int c = 0; c < 3; ++c) {
                std::uint8_t& value = row[static_cast<std::size_t>(x * 3 + c)];
                const int wanted = value * 256 + here[static_cast<std::size_t>(e + c)];
                const int got = channel[static_cast<std::size_t>(c)]->nearest[static_cast<std::size_t>(
                    std::clamp((wanted + 128) / 256, 0, 255))];
                value = static_cast<std::uint8_t>(got);
                // 7/16 ahead, 3/16 below behind, 5/16 below, 1/16 below ahead.
                const int error = wanted - got * 256;
                here[static_cast<std::size_t>(e + step + c)] += error * 7 / 16;
                below[static_cast<std::size_t>(e - step + c)] += error * 3 / 16;
                below[static_cast<std::size_t>(e + c)] += error * 5 / 16;
                below[static_cast<std::size_t>(e + step + c)] += error / 16;
            }
        }
        std::swap(here, below);
        std::fill(below.begin(), below.end(), 0);
    }
}

} // namespace kastra

// The screen's colours: truncation as the MBM code unpacks 12- and 16-bit
// bitmaps, and the error diffusion that keeps a gradient's local mean.
#include "mbm/palette.h"
#include "picture/screen_colours.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace kastra;

namespace {

struct Screen {
    ScreenColours screen;
    int level;   // the largest step between two neighbouring screen values
    mbm::Rgb (*unpacked)(mbm::Rgb);
};

const Screen kScreens[] = {
    {ScreenColours::Colours4096, 17, [](mbm::Rgb c) { return mbm::fromColour4K(mbm::colour4K(c)); }},
    {ScreenColours::Colours65536, 9, [](mbm::Rgb c) { return mbm::fromColour64K(mbm::colour64K(c)); }},
};

TEST(ScreenColours, TruncationIsWhatAPackedBitmapUnpacksTo)
{
    for (const Screen& s : kScreens)
        for (unsigned v = 0; v < 256 * 256 * 256; v += 251) {
            const mbm::Rgb c{static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                             static_cast<std::uint8_t>(v >> 16)};
            const mbm::Rgb want = s.unpacked(c);
            ASSERT_EQ(screenColour(rgb(c.r, c.g, c.b), s.screen), rgb(want.r, want.g, want.b)) << v;
        }
}

TEST(ScreenColours, DiffusionKeepsEveryBlocksMeanWithinOneLevel)
{
    // A slow diagonal gradient, the banding case, and a busier pattern.
    const auto gradient = [](int x, int y) { return rgb(x * 255 / 175, y * 200 / 131 + 20, (x + y) * 255 / 306); };
    const auto busy = [](int x, int y) { return rgb((x * 37 + y * 11) % 256, (x ^ y) * 2 % 256, (y * 5) % 256); };
    for (const Screen& s : kScreens)
        for (const auto& draw : {+gradient, +busy}) {
            Bitmap original(176, 132);
            for (int y = 0; y < 132; ++y)
                for (int x = 0; x < 176; ++x)
                    original.setPixel(x, y, draw(x, y));
            Bitmap smoothed = original;
            diffuseToScreen(smoothed, s.screen);
            for (int y = 0; y < 132; ++y)
                for (int x = 0; x < 176; ++x)
                    ASSERT_EQ(screenColour(smoothed.getPixel(x, y), s.screen), smoothed.getPixel(x, y)) << x << ' ' << y;
            for (int by = 0; by + 8 <= 132; by += 4)
                for (int bx = 0; bx + 8 <= 176; bx += 4)
                    for (const auto channel : {redOf, greenOf, blueOf}) {
                        int was = 0, now = 0;
                        for (int y = by; y < by + 8; ++y)
                            for (int x = bx; x < bx + 8; ++x) {
                                was += static_cast<int>(channel(original.getPixel(x, y)));
                                now += static_cast<int>(channel(smoothed.getPixel(x, y)));
                            }
                        ASSERT_LE(std::abs(was - now), 64 * s.level) << bx << ' ' << by;
                    }
        }
}

} // namespace

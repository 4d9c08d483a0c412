// Colour reduction as bmconv does it: palettes, inverse tables, grey levels,
// truncation and the two substituted greys.
#include "mbm/mbm.h"
#include "mbm/palette.h"

#include <gtest/gtest.h>

using namespace kastra;
using namespace kastra::mbm;

namespace {

constexpr Rgb grey128{128, 128, 128};
constexpr Rgb silver{192, 192, 192};

Rgb rgbHex(std::uint32_t rrggbb)
{
    return Rgb{static_cast<std::uint8_t>(rrggbb >> 16), static_cast<std::uint8_t>(rrggbb >> 8),
               static_cast<std::uint8_t>(rrggbb)};
}

// One pixel through a pack and back out, as an unpack shows it.
Rgb throughMode(Mode mode, Rgb c, bool sdkGreys)
{
    ReduceOptions options;
    options.sdkGreys = sdkGreys;
    auto bm = makeBitmap(mode, 1, 1, {c}, 0, 0, options);
    EXPECT_TRUE(bm.ok());
    auto file = writeMbm({*bm}, Store::Compressed);
    auto back = readMbm(*file);
    EXPECT_TRUE(back.ok());
    return (*back)[0].pixel(0, 0);
}

} // namespace

TEST(MbmColour, PalettesHoldTheirDocumentedEntries)
{
    const auto& p16 = colour16Palette();
    const std::uint32_t want16[16] = {0x000000, 0x555555, 0x800000, 0x808000, 0x008000, 0xFF0000, 0xFFFF00, 0x00FF00,
                                      0xFF00FF, 0x0000FF, 0x00FFFF, 0x800080, 0x000080, 0x008080, 0xAAAAAA, 0xFFFFFF};
    for (std::size_t i = 0; i < 16; ++i)
        EXPECT_EQ(p16[i], rgbHex(want16[i])) << i;

    const auto& p256 = colour256Palette();
    struct Entry {
        std::size_t index;
        std::uint32_t rrggbb;
    } entries[] = {
        {0, 0x000000},   {1, 0x330000},   {6, 0x003300},   {36, 0x000033}, {107, 0xFFFF66}, {108, 0x111111},
        {112, 0x777777}, {113, 0x110000}, {118, 0x001100}, {123, 0x000011}, {128, 0x000088}, {133, 0x008800},
        {138, 0x880000}, {143, 0x888888}, {147, 0xEEEEEE}, {148, 0x000099}, {255, 0xFFFFFF},
    };
    for (const auto& e : entries)
        EXPECT_EQ(p256[e.index], rgbHex(e.rrggbb)) << e.index;
}

TEST(MbmColour, InverseTablesMatchBmconvs)
{
    // Cells of bmconv's own 512- and 4096-entry tables, among them ties
    // that the lowest index wins (cell 17 of the 256 table: grey 11, red 11
    // and green 11 are all 17 away).
    const std::uint8_t first256[18] = {0x00, 0x71, 0x72, 0x01, 0x73, 0x74, 0x02, 0x75, 0x8a,
                                       0x03, 0x8b, 0x8c, 0x04, 0x8d, 0x8e, 0x05, 0x76, 0x6c};
    const std::uint8_t last256[16] = {0xfa, 0xfa, 0xfb, 0xfb, 0xfb, 0xfc, 0xfc, 0xfc,
                                      0xfd, 0xfd, 0xfd, 0xfe, 0xfe, 0xfe, 0xff, 0xff};
    const auto& inv = defaultInverse256();
    for (std::size_t i = 0; i < 18; ++i)
        EXPECT_EQ(inv[i], first256[i]) << i;
    for (std::size_t i = 0; i < 16; ++i)
        EXPECT_EQ(inv[4080 + i], last256[i]) << 4080 + i;

    // 16-colour cells 16-23 and 72-79 (red level varying).
    const unsigned cells16[][8] = {{4, 4, 1, 3, 3, 3, 5, 5}, {0, 0, 1, 2, 2, 2, 5, 5}};
    const unsigned rowStart[] = {16, 72};
    for (int row = 0; row < 2; ++row)
        for (unsigned r = 0; r < 8; ++r) {
            const unsigned cell = rowStart[row] + r;
            const Rgb c{static_cast<std::uint8_t>((cell & 7) << 5), static_cast<std::uint8_t>(((cell >> 3) & 7) << 5),
                        static_cast<std::uint8_t>(((cell >> 6) & 7) << 5)};
            EXPECT_EQ(colour16Index(c), cells16[row][r]) << "cell " << cell;
        }
}

TEST(MbmColour, EveryPaletteEntryRoundTrips)
{
    for (std::size_t i = 0; i < 16; ++i) {
        auto bm = makeBitmap({4, true}, 1, 1, {colour16Palette()[i]}, 0, 0);
        ASSERT_TRUE(bm.ok());
        EXPECT_EQ(bm->data[0] & 0xF, static_cast<int>(i));
        EXPECT_EQ(throughMode({4, true}, colour16Palette()[i], true), colour16Palette()[i]) << i;
    }
    for (std::size_t i = 0; i < 256; ++i) {
        auto bm = makeBitmap({8, true}, 1, 1, {colour256Palette()[i]}, 0, 0);
        ASSERT_TRUE(bm.ok());
        EXPECT_EQ(bm->data[0], i);
        EXPECT_EQ(throughMode({8, true}, colour256Palette()[i], true), colour256Palette()[i]) << i;
    }
}

TEST(MbmColour, GreySubstitutionOnlyWithTheSdkSwitch)
{
    struct Case {
        Mode mode;
        Rgb in;
        Rgb sdk;   // with the substitution (/g)
        Rgb plain; // colours as drawn
    } cases[] = {
        {{4, true}, grey128, rgbHex(0x555555), rgbHex(0xAAAAAA)},
        {{4, true}, silver, rgbHex(0xAAAAAA), rgbHex(0xFFFFFF)},
        {{24, true}, silver, rgbHex(0xBBBBBB), silver},
        {{24, true}, grey128, rgbHex(0x7F7F7F), grey128},
        {{32, true}, silver, rgbHex(0xBBBBBB), silver},
        {{12, true}, grey128, rgbHex(0x777777), rgbHex(0x888888)},
        {{16, true}, grey128, Rgb{123, 125, 123}, Rgb{131, 129, 131}},
        {{8, true}, silver, rgbHex(0xBBBBBB), rgbHex(0xCCCCCC)},
        {{8, false}, grey128, rgbHex(0x7F7F7F), grey128},
        {{4, false}, silver, rgbHex(0xBBBBBB), rgbHex(0xCCCCCC)},
        {{2, false}, grey128, rgbHex(0x555555), rgbHex(0xAAAAAA)},
        {{1, false}, grey128, rgbHex(0x000000), rgbHex(0xFFFFFF)},
        // Near misses are never substituted.
        {{24, true}, Rgb{128, 128, 129}, Rgb{128, 128, 129}, Rgb{128, 128, 129}},
        {{24, true}, Rgb{192, 191, 192}, Rgb{192, 191, 192}, Rgb{192, 191, 192}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(throughMode(c.mode, c.in, true), c.sdk) << modeName(c.mode);
        EXPECT_EQ(throughMode(c.mode, c.in, false), c.plain) << modeName(c.mode);
    }
}

TEST(MbmColour, GreyLevelsAndTruncation)
{
    EXPECT_EQ(gray256(Rgb{255, 255, 255}), 255u);
    EXPECT_EQ(gray256(Rgb{255, 0, 0}), 63u);
    EXPECT_EQ(gray256(Rgb{0, 255, 0}), 159u);
    EXPECT_EQ(gray256(Rgb{0, 0, 255}), 31u);
    EXPECT_EQ(gray2(Rgb{0, 204, 0}), 0u); // white needs 2R + 5G + B >= 1024
    EXPECT_EQ(gray2(Rgb{0, 204, 4}), 1u);
    EXPECT_EQ(colour64K(Rgb{255, 255, 255}), 0xFFFF);
    EXPECT_EQ(colour64K(Rgb{15, 7, 15}), 0x0821);
    EXPECT_EQ(fromColour64K(0x0821), (Rgb{8, 4, 8}));
    EXPECT_EQ(colour4K(Rgb{0x1F, 0xEF, 0xFF}), 0x01EF);
    EXPECT_EQ(fromColour4K(0xF1EF), (Rgb{0x11, 0xEE, 0xFF}));
}

TEST(MbmColour, CustomPaletteFollowsBmconvsSearch)
{
    // An exact match at index 1 or later ends the search, even when an
    // earlier entry was as close; otherwise the lowest index wins ties.
    std::array<Rgb, 256> palette{};
    palette.fill(Rgb{255, 255, 255});
    palette[0] = Rgb{17, 0, 0};
    palette[9] = Rgb{17, 0, 0};
    palette[3] = Rgb{0, 0, 34};
    palette[4] = Rgb{0, 34, 0};
    const Inverse256 inv = makeInverse256(palette);
    EXPECT_EQ(inv[0x001], 9);   // (17, 0, 0): exact at 9
    EXPECT_EQ(inv[0x000], 0);   // black: 17 from index 0 and 9, 34 from 3 and 4
    EXPECT_EQ(inv[0x110], 3);   // (0, 17, 17): 34 from 3 and 4, the lower wins
    auto bm = makeBitmap({8, true}, 1, 1, {Rgb{16, 0, 0}}, 0, 0, ReduceOptions{false, &inv});
    ASSERT_TRUE(bm.ok());
    EXPECT_EQ(bm->data[0], 9);
}

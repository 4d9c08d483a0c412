#include "picture/resample.h"
#include "bitmap_fixture.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace kastra;

namespace {

using test::uniformBitmap;

Bitmap noise(int w, int h, unsigned seed)
{
    std::mt19937 rng(seed);
    Bitmap b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.setPixel(x, y, rng() & 0xFFFFFFu);
    return b;
}

// The procedure written out pixel by pixel with getPixel and setPixel, as a
// second opinion on the row-based implementation.
Bitmap literalFit(const Bitmap& src, int dw, int dh)
{
    const int sw = src.width(), sh = src.height();
    const float sx = static_cast<float>(static_cast<double>(sw) / dw);
    const float sy = static_cast<float>(static_cast<double>(sh) / dh);
    auto bound = [](int k, float s) { return static_cast<int>(std::floor(static_cast<double>(k) * static_cast<double>(s))); };
    Bitmap out(dw, dh);
    for (int j = 0; j < dh; ++j)
        for (int i = 0; i < dw; ++i) {
            unsigned sum[3] = {0, 0, 0};
            int n = 0;
            for (int y = bound(j, sy); y < bound(j + 1, sy); ++y)
                for (int x = bound(i, sx); x < bound(i + 1, sx); ++x, ++n) {
                    const Colour c = src.getPixel(x, y);
                    sum[0] += redOf(c);
                    sum[1] += greenOf(c);
                    sum[2] += blueOf(c);
                }
            const unsigned f = 65535u / static_cast<unsigned>(n);
            out.setPixel(i, j, rgb((sum[0] * f) >> 16, (sum[1] * f) >> 16, (sum[2] * f) >> 16));
        }
    if (dh >= 3)
        for (int y = 1; y <= dh - 2; ++y)
            for (int x = 1; x <= dw - 2; ++x) {
                const Colour m = out.getPixel(x, y);
                const Colour d[4] = {out.getPixel(x - 1, y - 1), out.getPixel(x + 1, y - 1), out.getPixel(x - 1, y + 1),
                                     out.getPixel(x + 1, y + 1)};
                unsigned v[3];
                for (int ch = 0; ch < 3; ++ch) {
                    auto get = [ch](Colour c) { return static_cast<int>((c >> (8 * ch)) & 0xFF); };
                    const int s = get(d[0]) + get(d[1]) + get(d[2]) + get(d[3]);
                    const int r = (12 * get(m) - s) / 8;
                    v[ch] = static_cast<unsigned>(r < 0 ? 0 : r > 255 ? 255 : r);
                }
                out.setPixel(x, y, rgb(v[0], v[1], v[2]));
            }
    return out;
}

void expectSame(const Bitmap& a, const Bitmap& b)
{
    ASSERT_EQ(a.width(), b.width());
    ASSERT_EQ(a.height(), b.height());
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            ASSERT_EQ(a.getPixel(x, y), b.getPixel(x, y)) << "at " << x << "," << y;
}

} // namespace

TEST(FitPicture, OneToOneLowersEveryChannelByOneThenSharpens)
{
    Bitmap src = uniformBitmap(176, 200, rgb(255, 1, 0));
    Bitmap dst(176, 200);
    ASSERT_TRUE(fitPicture(src, dst));
    // Uniform stays uniform through sharpening: 12m - 4m = 8m.
    for (int y = 0; y < 200; y += 7)
        for (int x = 0; x < 176; x += 5)
            ASSERT_EQ(dst.getPixel(x, y), rgb(254, 0, 0));
}

TEST(FitPicture, HalvingAveragesTwoByTwoBlocks)
{
    Bitmap src = uniformBitmap(352, 400, rgb(255, 255, 255));
    Bitmap dst(176, 200);
    ASSERT_TRUE(fitPicture(src, dst));
    // (1020 * 16383) >> 16 = 254.
    EXPECT_EQ(dst.getPixel(0, 0), rgb(254, 254, 254));
    EXPECT_EQ(dst.getPixel(100, 100), rgb(254, 254, 254));
}

TEST(FitPicture, FractionalFactorsGiveUnequalBlocks)
{
    // 640 / 176 as a float: columns 0-2, 3-6, 7-9, 10-13 ... One white column
    // (3) lands in destination column 1, averaged over 4 x 240 pixels.
    Bitmap src = uniformBitmap(640, 480, 0);
    for (int y = 0; y < 480; ++y)
        src.setPixel(3, y, rgb(255, 255, 255));
    Bitmap dst(176, 2);   // only two rows: no sharpening
    ASSERT_TRUE(fitPicture(src, dst));
    const unsigned expected = (255u * 240u * (65535u / 960u)) >> 16;   // 63
    EXPECT_EQ(dst.getPixel(0, 0), 0u);
    EXPECT_EQ(dst.getPixel(1, 0), rgb(expected, expected, expected));
    EXPECT_EQ(dst.getPixel(2, 1), 0u);

    // 480 / 200 = 2.4: rows 0-1, 2-3, 4-6, 7-8, 9-11 ...
    Bitmap tall = uniformBitmap(2, 480, 0);
    tall.setPixel(0, 2, rgb(255, 0, 0));
    tall.setPixel(0, 4, rgb(255, 0, 0));
    Bitmap out(2, 200);   // two columns: the sharpening pass visits nothing
    ASSERT_TRUE(fitPicture(tall, out));
    EXPECT_EQ(out.getPixel(0, 0), 0u);
    EXPECT_EQ(out.getPixel(0, 1), rgb((255u * 32767u) >> 16, 0, 0));   // n = 2
    EXPECT_EQ(out.getPixel(0, 2), rgb((255u * 21845u) >> 16, 0, 0));   // n = 3
}

TEST(FitPicture, SharpeningReadsTheRowAboveAsAlreadySharpened)
{
    // One-to-one 3 x 3: a single sharpened pixel, checked by hand.
    Bitmap src = uniformBitmap(3, 3, rgb(11, 1, 255));
    src.setPixel(1, 1, rgb(101, 1, 255));
    Bitmap dst(3, 3);
    ASSERT_TRUE(fitPicture(src, dst));
    // red: (12 * 100 - 4 * 10) / 8 = 145; green 0; blue (12 * 254 - 4 * 254) / 8 = 254.
    EXPECT_EQ(dst.getPixel(1, 1), rgb(145, 0, 254));
    EXPECT_EQ(dst.getPixel(0, 0), rgb(10, 0, 254));

    // Clamping at both ends.
    Bitmap dark = uniformBitmap(3, 3, rgb(201, 1, 0));
    dark.setPixel(1, 1, rgb(1, 255, 0));
    Bitmap d2(3, 3);
    ASSERT_TRUE(fitPicture(dark, d2));
    EXPECT_EQ(d2.getPixel(1, 1), rgb(0, 255, 0));

    // Larger noisy pictures against the pixel-by-pixel procedure, so the
    // in-place order (row above already sharpened) is pinned down.
    for (auto [sw, sh, dw, dh] : {std::array{176, 200, 176, 200}, std::array{640, 480, 176, 200},
                                   std::array{353, 401, 176, 200}, std::array{1000, 1000, 176, 200},
                                   std::array{9, 7, 5, 4}}) {
        Bitmap s = noise(sw, sh, static_cast<unsigned>(sw * sh));
        Bitmap d(dw, dh);
        ASSERT_TRUE(fitPicture(s, d));
        expectSame(d, literalFit(s, dw, dh));
    }
}

TEST(FitPicture, RefusesSmallerSourcesAndLeavesBothAlone)
{
    for (auto [w, h] : {std::pair{175, 1000}, std::pair{1000, 199}, std::pair{175, 200}, std::pair{176, 199}}) {
        Bitmap src = uniformBitmap(w, h, rgb(1, 2, 3));
        Bitmap dst(176, 200);
        EXPECT_FALSE(fitPicture(src, dst)) << w << "x" << h;
        EXPECT_EQ(dst.getPixel(0, 0), rgb(255, 255, 255));
        EXPECT_EQ(src.getPixel(0, 0), rgb(1, 2, 3));
    }
    Bitmap empty;
    Bitmap dst(176, 200);
    EXPECT_FALSE(fitPicture(empty, dst));
    Bitmap exact = uniformBitmap(176, 200, 0);
    EXPECT_TRUE(fitPicture(exact, dst));
}

TEST(FitPicture, PlainThirtyTwoBitIsAveragedAsItIsWithItsFourthByteIgnored)
{
    const Bitmap colours = noise(640, 480, 7);
    Bitmap wide = Bitmap::create(640, 480, 32);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            wide.setPixel(x, y, colours.getPixel(x, y));
            wide.rowPtr(y)[4 * x + 3] = static_cast<std::uint8_t>(x * 13 + y);   // alpha, or nothing
        }
    Bitmap copy = colours;
    Bitmap expected(176, 200), out(176, 200);
    ASSERT_TRUE(fitPicture(copy, expected));
    ASSERT_TRUE(fitPicture(wide, out));
    EXPECT_EQ(wide.depth(), 32);
    expectSame(out, expected);
}

TEST(FitPicture, BothPicturesBecomeTwentyFourBit)
{
    Bitmap src = Bitmap::create(200, 220, 8);
    Bitmap dst = Bitmap::create(176, 200, 4);
    ASSERT_TRUE(fitPicture(src, dst));
    EXPECT_EQ(src.depth(), 24);
    EXPECT_EQ(dst.depth(), 24);
    EXPECT_EQ(dst.getPixel(50, 50), rgb(254, 254, 254));
}


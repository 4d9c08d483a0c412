#include "picture/errors.h"
#include "picture/jpeg.h"
#include "jpeg_encoder.h"
#include "photo_fixture.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace kastra;
using kastra::test::encodeJpeg;

namespace {

int distance(Colour a, Colour b)
{
    return std::abs(static_cast<int>(redOf(a)) - static_cast<int>(redOf(b)))
        + std::abs(static_cast<int>(greenOf(a)) - static_cast<int>(greenOf(b)))
        + std::abs(static_cast<int>(blueOf(a)) - static_cast<int>(blueOf(b)));
}

// Four flat 16 x 16 quadrants, so a lossless-enough JPEG keeps each colour.
std::vector<std::uint8_t> quadrants(int components, const std::vector<std::vector<std::uint8_t>>& colours)
{
    std::vector<std::uint8_t> px;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const auto& c = colours[static_cast<std::size_t>((y / 16) * 2 + x / 16)];
            px.insert(px.end(), c.begin(), c.begin() + components);
        }
    return px;
}

} // namespace

TEST(Jpeg, ColourGivesTwentyFourBits)
{
    const Bytes jpg = encodeJpeg(32, 32, 3, quadrants(3, {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {250, 250, 250}}));
    auto r = decodeJpeg(jpg);
    ASSERT_TRUE(r.ok()) << r.error();
    EXPECT_EQ(r->depth(), 24);
    EXPECT_EQ(r->width(), 32);
    EXPECT_LE(distance(r->getPixel(4, 4), rgb(255, 0, 0)), 12);
    EXPECT_LE(distance(r->getPixel(27, 4), rgb(0, 255, 0)), 12);
    EXPECT_LE(distance(r->getPixel(4, 27), rgb(0, 0, 255)), 12);
    EXPECT_LE(distance(r->getPixel(27, 27), rgb(250, 250, 250)), 12);
}

TEST(Jpeg, GreyscaleGivesEightBitsWithAGreyPalette)
{
    const Bytes jpg = encodeJpeg(32, 32, 1, quadrants(1, {{0}, {80}, {160}, {240}}));
    auto r = decodeJpeg(jpg);
    ASSERT_TRUE(r.ok()) << r.error();
    EXPECT_EQ(r->depth(), 8);
    EXPECT_LE(distance(r->getPixel(27, 4), rgb(80, 80, 80)), 6);
    EXPECT_LE(distance(r->getPixel(27, 27), rgb(240, 240, 240)), 6);
}

TEST(Jpeg, CmykGivesThirtyTwoBitsInRgb)
{
    // Adobe CMYK is stored inverted: 255 means no ink.
    const Bytes jpg = encodeJpeg(32, 32, 4,
                                 quadrants(4, {{255, 255, 255, 255}, {0, 255, 255, 255}, {255, 255, 0, 255},
                                               {255, 255, 255, 0}}));
    auto r = decodeJpeg(jpg);
    ASSERT_TRUE(r.ok()) << r.error();
    EXPECT_EQ(r->depth(), 32);
    EXPECT_LE(distance(r->getPixel(4, 4), rgb(255, 255, 255)), 12);    // no ink: white
    EXPECT_LE(distance(r->getPixel(27, 4), rgb(0, 255, 255)), 12);     // full cyan
    EXPECT_LE(distance(r->getPixel(4, 27), rgb(255, 255, 0)), 12);     // full yellow
    EXPECT_LE(distance(r->getPixel(27, 27), rgb(0, 0, 0)), 12);        // full black
    Bitmap copy = *r;
    copy.toRgb24();
    EXPECT_EQ(copy.getPixel(27, 4), r->getPixel(27, 4));
}

TEST(Jpeg, ProgressiveDecodes)
{
    const Bytes jpg = encodeJpeg(32, 32, 3, quadrants(3, {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}, {1, 2, 3}}), 95, true);
    auto r = decodeJpeg(jpg);
    ASSERT_TRUE(r.ok()) << r.error();
    EXPECT_LE(distance(r->getPixel(27, 27), rgb(1, 2, 3)), 12);
}

TEST(Jpeg, DamagedFilesGiveAReasonNotACrash)
{
    std::vector<std::uint8_t> noise(48 * 40 * 3);
    for (std::size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<std::uint8_t>(i * 131 + (i >> 7));
    const Bytes jpg = encodeJpeg(48, 40, 3, noise, 90);

    EXPECT_FALSE(decodeJpeg(Bytes{}).ok());
    EXPECT_FALSE(decodeJpeg(Bytes{0xFF, 0xD8}).ok());
    EXPECT_FALSE(decodeJpeg(Bytes(100, 0x42)).ok());
    // Cut anywhere: the header cuts are errors, the data cuts are "truncated".
    for (std::size_t cut : {std::size_t{3}, std::size_t{20}, jpg.size() / 3, jpg.size() / 2, jpg.size() - 10}) {
        const Bytes part(jpg.begin(), jpg.begin() + static_cast<std::ptrdiff_t>(cut));
        EXPECT_FALSE(decodeJpeg(part).ok()) << "cut at " << cut;
    }
    // Flipped bytes in the entropy-coded data must not crash; either outcome is fine.
    for (std::size_t at = jpg.size() / 2; at < jpg.size() - 2; at += 37) {
        Bytes bad = jpg;
        bad[at] ^= 0x5A;
        (void)decodeJpeg(bad);
    }
}

// A declared size past the limits is refused before decoding: huge both
// ways, and a narrow picture taller than the longest side by one row. At
// exactly the longest side the size passes (the 16 x 16 data then falls
// short, which is another failure).
TEST(Jpeg, HugeDeclaredSizeIsRefusedBeforeDecoding)
{
    struct Case {
        int width, height;
        bool tooLarge;
    };
    const int side = static_cast<int>(Bitmap::MaxDimension);
    for (const Case c : {Case{60000, 60000, true}, Case{16, side + 1, true}, Case{16, side, false}}) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        Bytes jpg = encodeJpeg(16, 16, 3, std::vector<std::uint8_t>(16 * 16 * 3, 128));
        // The SOF0 marker: height, then width, big-endian.
        for (std::size_t i = 0; i + 9 < jpg.size(); ++i) {
            if (jpg[i] == 0xFF && jpg[i + 1] == 0xC0) {
                jpg[i + 5] = static_cast<std::uint8_t>(c.height >> 8);
                jpg[i + 6] = static_cast<std::uint8_t>(c.height);
                jpg[i + 7] = static_cast<std::uint8_t>(c.width >> 8);
                jpg[i + 8] = static_cast<std::uint8_t>(c.width);
                break;
            }
        }
        auto r = decodeJpeg(jpg);
        EXPECT_EQ(!r.ok() && r.code() == PictureError::TooLarge, c.tooLarge) << (r.ok() ? "" : r.error());
    }
}

TEST(Jpeg, FileThatDoesNotExistNamesIt)
{
    TempDir dir;
    auto r = decodeJpeg(dir.path() / "holiday.jpg");
    ASSERT_FALSE(r.ok());
    EXPECT_NE(r.error().find("holiday.jpg"), std::string::npos);
}

TEST(Jpeg, HostileFilesFromTheCrashersFolder)
{
    const auto files = crasherFiles("jpeg");
    EXPECT_FALSE(files.empty());
    for (const auto& f : files)
        (void)decodeJpeg(f);
}

TEST(Jpeg, CameraOrientationIsTurnedUpright)
{
    // Flat 8 x 8 blocks at quality 100 decode to the same pixels however the
    // picture is stored, so each turned photo equals the upright one exactly.
    auto upright = decodeJpeg(test::photosDir() / "upright.jpg");
    ASSERT_TRUE(upright.ok()) << upright.error();
    ASSERT_EQ(upright->width(), test::PhotoWidth);
    for (int y = 8; y < test::PhotoHeight; y += 16)
        for (int x = 8; x < test::PhotoWidth; x += 16)
            ASSERT_LE(distance(upright->getPixel(x, y), test::photoColour(x, y)), 3) << x << "," << y;
    for (const char* name : {"o1.jpg", "o2.jpg", "o3.jpg", "o4.jpg", "o5.jpg", "o6.jpg", "o7.jpg", "o8.jpg"}) {
        SCOPED_TRACE(name);
        auto r = decodeJpeg(test::photosDir() / name);
        ASSERT_TRUE(r.ok()) << r.error();
        ASSERT_EQ(r->width(), upright->width());
        ASSERT_EQ(r->height(), upright->height());
        EXPECT_EQ(r->encodeBmp(), upright->encodeBmp());
    }
    // Without the tag the stored picture comes back as stored.
    auto sideways = decodeJpeg(test::photosDir() / "sideways.jpg");
    ASSERT_TRUE(sideways.ok());
    EXPECT_EQ(sideways->width(), test::PhotoHeight);
}

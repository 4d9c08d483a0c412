// PNG files as ImageMagick writes them, each kind read to exactly the
// picture it holds, and files cut short or claiming too much.
#include "picture/errors.h"
#include "picture/png.h"
#include "photo_fixture.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <zlib.h>

using namespace kastra;
using namespace kastra::test;

namespace {

void expectPhoto(const Bitmap& b, Colour (*colour)(int, int))
{
    ASSERT_EQ(b.width(), PhotoWidth);
    ASSERT_EQ(b.height(), PhotoHeight);
    EXPECT_EQ(b.depth(), 24);
    for (int y = 0; y < PhotoHeight; ++y)
        for (int x = 0; x < PhotoWidth; ++x)
            ASSERT_EQ(b.getPixel(x, y), colour(x, y)) << x << "," << y;
}

} // namespace

TEST(Png, EveryKindReadsToThePixelsItHolds)
{
    const std::pair<const char*, Colour (*)(int, int)> cases[] = {
        {"rgb8.png", photoColour},       {"rgb16.png", photoColour},  {"rgba.png", photoColour},
        {"palette.png", photoColour},    {"interlaced.png", photoColour}, {"o6.png", photoColour},
        {"grey8.png", photoGrey},        {"grey16.png", photoGrey},   {"greyalpha.png", photoGrey},
    };
    for (const auto& [name, colour] : cases) {
        SCOPED_TRACE(name);
        const Bytes file = readBytes(photosDir() / name);
        ASSERT_TRUE(isPng(file));
        auto r = decodePng(file);
        ASSERT_TRUE(r.ok()) << r.error();
        expectPhoto(*r, colour);
    }
}

TEST(Png, DamagedOrOversizedFilesAreRefusedWithTheirReason)
{
    const Bytes good = readBytes(photosDir() / "rgb8.png");
    EXPECT_EQ(decodePng(Bytes{}).code(), PictureError::Truncated);
    EXPECT_EQ(decodePng(readBytes(photosDir() / "upright.jpg")).code(), PictureError::WrongFormat);
    for (std::size_t cut = 8; cut < good.size(); cut += 37) {
        const Bytes part(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut));
        EXPECT_FALSE(decodePng(part).ok()) << "cut at " << cut;
    }
    Bytes flipped = good;
    flipped[good.size() / 2] ^= 0x55;   // inside the picture data: its checksum no longer holds
    EXPECT_FALSE(decodePng(flipped).ok());

    // The header's width or height over the limits, with a checksum that
    // holds, is refused for its size before anything is decoded.
    for (const auto& [w, h] : {std::pair{40000u, 10u}, std::pair{10000u, 7000u}}) {
        Bytes big = good;
        for (int i = 0; i < 4; ++i) {
            big[16 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(w >> (24 - 8 * i));
            big[20 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(h >> (24 - 8 * i));
        }
        const auto crc = static_cast<std::uint32_t>(crc32(0, big.data() + 12, 17));
        for (int i = 0; i < 4; ++i)
            big[29 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
        OversizedPicture size;
        auto r = decodePng(big, &size);
        EXPECT_EQ(r.code(), PictureError::TooLarge) << w;
        EXPECT_EQ(size.width, w);
        EXPECT_EQ(size.height, h);
    }
}

// Application information files: the layout the writer produces, round
// trips with icons, and the reader on hostile input.
#include "handset/aif.h"
#include "base/crc16.h"
#include "handset/e32des.h"
#include "handset/e32uid.h"
#include "handset/errors.h"
#include "mbm/errors.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace kastra;
using namespace kastra::aif;
namespace fs = std::filesystem;

namespace {

mbm::MbmBitmap picture(int w, int h, std::uint8_t shade)
{
    std::vector<mbm::Rgb> px(static_cast<std::size_t>(w * h));
    for (std::size_t i = 0; i < px.size(); ++i)
        px[i] = {static_cast<std::uint8_t>(shade + i * 16), 0x40, static_cast<std::uint8_t>(0xFF - i)};
    return *mbm::makeBitmap({12, true}, w, h, px, 0, 0);
}

mbm::MbmBitmap mask(int w, int h)
{
    std::vector<mbm::Rgb> px(static_cast<std::size_t>(w * h), mbm::Rgb{0, 0, 0});
    px[0] = {255, 255, 255};
    return *mbm::makeBitmap({1, false}, w, h, px, 0, 0);
}

AppInfo sample()
{
    AppInfo info;
    info.appUid = 0x0A15C001;
    info.captions = {{1, u"Menu"}, {3, u"Menü"}, {16, u"Меню"}};
    info.icons.push_back({picture(3, 2, 0x10), mask(3, 2)});
    info.icons.push_back({picture(4, 4, 0x20), mask(4, 4)});
    return info;
}

Bytes mustWrite(const AppInfo& info)
{
    auto r = writeAif(info);
    EXPECT_TRUE(r.ok()) << r.error();
    return r.ok() ? *r : Bytes{};
}

} // namespace

TEST(Aif, LayoutOfIconsCaptionsAndRoot)
{
    const AppInfo info = sample();
    const Bytes pic0 = mbm::encodeBitmap(info.icons[0].picture, mbm::Store::Compressed);
    const Bytes mask0 = mbm::encodeBitmap(info.icons[0].mask, mbm::Store::Compressed);
    const Bytes pic1 = mbm::encodeBitmap(info.icons[1].picture, mbm::Store::Compressed);
    const Bytes mask1 = mbm::encodeBitmap(info.icons[1].mask, mbm::Store::Compressed);

    Bytes expected;
    ByteWriter w(expected);
    e32::writeCheckedUids(w, {0x10000037, 0x10003A38, 0x0A15C001});
    const std::uint32_t icon0 = 20;
    const std::uint32_t icon1 = icon0 + static_cast<std::uint32_t>(pic0.size() + mask0.size());
    const std::uint32_t caption0 = icon1 + static_cast<std::uint32_t>(pic1.size() + mask1.size());
    const std::uint32_t caption1 = caption0 + 5;        // length byte and 4 ASCII bytes
    const std::uint32_t caption2 = caption1 + 1 + 9;    // SCU and 4 units
    const std::uint32_t root = caption2 + 1 + 9;
    w.u32(root);
    w.bytes(pic0);
    w.bytes(mask0);
    w.bytes(pic1);
    w.bytes(mask1);
    for (const auto& c : info.captions)
        ASSERT_TRUE(e32::writeDes16(w, c.text).ok());
    w.u8(6);                    // three captions
    w.u32(caption0);
    w.u16(1);
    w.u32(caption1);
    w.u16(3);
    w.u32(caption2);
    w.u16(16);
    w.u8(4);                    // two icons
    w.u32(icon0);
    w.u16(3);
    w.u32(icon1);
    w.u16(4);
    w.u32(1);                   // capability version
    w.u32(0);
    w.u32(0);
    w.u32(0);
    EXPECT_EQ(mustWrite(info), expected);
}

TEST(Aif, RoundTrip)
{
    AppInfo info = sample();
    info.capabilities.hidden = 1;
    info.capabilities.supportsNewFile = 1;
    auto back = readAif(mustWrite(info));
    ASSERT_TRUE(back.ok()) << back.error();
    EXPECT_EQ(back->appUid, info.appUid);
    EXPECT_EQ(back->captions, info.captions);
    EXPECT_EQ(back->capabilities, info.capabilities);
    ASSERT_EQ(back->icons.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        const auto& got = back->icons[i];
        const auto& sent = info.icons[i];
        EXPECT_EQ(got.picture.header.bpp, 12);
        EXPECT_EQ(got.mask.header.bpp, 1);
        // Pixels, not raw rows: the padding of a row is not part of the picture.
        for (int y = 0; y < sent.picture.header.height; ++y)
            for (int x = 0; x < sent.picture.header.width; ++x) {
                EXPECT_EQ(got.picture.pixel(x, y), sent.picture.pixel(x, y));
                EXPECT_EQ(got.mask.pixel(x, y), sent.mask.pixel(x, y));
            }
    }
}

TEST(Aif, WriterRefusesMismatchedMasksAndLongCaptions)
{
    AppInfo info = sample();
    info.icons[0].mask = mask(2, 2);
    EXPECT_FALSE(writeAif(info).ok());
    info = sample();
    info.captions[0].text = std::u16string(257, u'x');
    EXPECT_FALSE(writeAif(info).ok());
}

TEST(Aif, ReadsTheOlderEightBitUid)
{
    Bytes b = mustWrite(sample());
    ByteWriter w(b);
    w.patch32(4, 0x1000006A);
    w.patch32(12, uidChecksum(0x10000037, 0x1000006A, 0x0A15C001));
    EXPECT_TRUE(readAif(b).ok());
}

TEST(Aif, HostileFiles)
{
    const Bytes good = mustWrite(sample());
    const std::uint32_t root = le32(good.data() + 16);
    const std::uint32_t icon1 = le32(good.data() + root + 1 + 18 + 1 + 6);
    struct Case {
        const char* what;
        std::size_t offset;
        std::uint32_t value;
        int width;
        ErrorCode code;
    };
    const Case cases[] = {
        {"root outside the file", 16, 100000, 4, HandsetError::Damaged},
        {"root in the header", 16, 3, 4, HandsetError::Damaged},
        {"caption count", root, 0xFE, 1, HandsetError::Damaged},
        {"caption outside the file", root + 1, 100000, 4, HandsetError::Damaged},
        {"icon count", root + 19, 0xFE, 1, HandsetError::Damaged},
        {"icon outside the file", root + 20, 100000, 4, MbmError::Damaged},
        {"listed width", root + 24, 9, 1, HandsetError::Damaged},
        {"mask of another size", icon1 + le32(good.data() + icon1) + 8, 5, 4, HandsetError::Damaged},
        {"picture record size past the end", icon1, 0x7FFFFFFF, 4, MbmError::Truncated},
    };
    for (const Case& c : cases) {
        Bytes b = good;
        // Bounds-checked writes: GCC's Release build cannot see that every
        // offset lies inside the file and warns about patch32 here.
        if (c.width == 4)
            for (std::size_t i = 0; i < 4; ++i)
                b.at(c.offset + i) = static_cast<std::uint8_t>(c.value >> (8 * i));
        else
            b[c.offset] = static_cast<std::uint8_t>(c.value);
        auto r = readAif(b);
        ASSERT_FALSE(r.ok()) << c.what;
        EXPECT_EQ(r.code(), c.code) << c.what << ": " << r.error();
    }
    Bytes wrongType = good;
    for (std::size_t i = 0; i < 4; ++i) {
        wrongType.at(4 + i) = static_cast<std::uint8_t>(0x10000042u >> (8 * i));
        wrongType.at(12 + i) = static_cast<std::uint8_t>(uidChecksum(0x10000037, 0x10000042, 0x0A15C001) >> (8 * i));
    }
    EXPECT_FALSE(readAif(wrongType).ok());
    for (std::size_t n = 0; n < good.size(); ++n)
        EXPECT_FALSE(readAif(ByteSpan(good).first(n)).ok()) << n;
}

TEST(Aif, CrashersFailCleanly)
{
    const auto files = crasherFiles("aif");
    EXPECT_FALSE(files.empty());
    for (const fs::path& f : files)
        EXPECT_FALSE(readAif(readBytes(f)).ok()) << f;
}

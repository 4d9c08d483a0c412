// The MBM codec: golden bytes from the format's own rules, bmconv's encoder
// quirks and give-up rules, round trips at every depth, and hostile files.
#include "mbm/errors.h"
#include "mbm/mbm.h"
#include "mbm/mbm_rle.h"

#include <gtest/gtest.h>

#include <random>

using namespace kastra;
using namespace kastra::mbm;

namespace {

Bytes hexBytes(std::initializer_list<int> values)
{
    Bytes out;
    for (int v : values)
        out.push_back(static_cast<std::uint8_t>(v));
    return out;
}

// A bitmap record written by hand: the ten header words, then data.
Bytes record(std::int32_t width, std::int32_t height, std::int32_t bpp, std::int32_t colour, std::uint32_t compression,
             const Bytes& data, std::int32_t structSize = 40, std::int32_t sizeDelta = 0, std::int32_t palette = 0)
{
    Bytes out;
    ByteWriter w(out);
    w.i32(static_cast<std::int32_t>(40 + data.size()) + sizeDelta);
    w.i32(structSize);
    w.i32(width);
    w.i32(height);
    w.i32(0);
    w.i32(0);
    w.i32(bpp);
    w.i32(colour);
    w.i32(palette);
    w.u32(compression);
    w.bytes(data);
    return out;
}

// A file store around records, with the offsets they get.
Bytes fileOf(const std::vector<Bytes>& records)
{
    Bytes out;
    ByteWriter w(out);
    w.u32(DirectFileStoreUid);
    w.u32(MultiBitmapFileUid);
    w.u32(0);
    w.u32(0x47396439);
    w.u32(0);
    std::vector<std::uint32_t> offsets;
    for (const Bytes& r : records) {
        offsets.push_back(static_cast<std::uint32_t>(out.size()));
        w.bytes(r);
    }
    w.patch32(16, static_cast<std::uint32_t>(out.size()));
    w.u32(static_cast<std::uint32_t>(records.size()));
    for (auto o : offsets)
        w.u32(o);
    return out;
}

std::vector<Rgb> randomPicture(std::mt19937& rng, int w, int h, bool flatAreas)
{
    std::vector<Rgb> px(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> len(1, 40);
    Rgb c{};
    int left = 0;
    for (auto& p : px) {
        if (!flatAreas || left-- <= 0) {
            c = Rgb{static_cast<std::uint8_t>(byte(rng)), static_cast<std::uint8_t>(byte(rng)),
                    static_cast<std::uint8_t>(byte(rng))};
            left = len(rng);
        }
        p = c;
    }
    return px;
}

unsigned manhattan(Rgb a, Rgb b)
{
    return static_cast<unsigned>(std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b));
}

template <std::size_t N>
Rgb nearestOf(const std::array<Rgb, N>& palette, Rgb target)
{
    std::size_t best = 0;
    for (std::size_t i = 1; i < N; ++i)
        if (manhattan(palette[i], target) < manhattan(palette[best], target))
            best = i;
    return palette[best];
}

// What a pixel must look like after a pack and an unpack, worked out from
// the format's rules directly rather than through the codec's tables.
Rgb expectedAfterRoundTrip(Mode mode, Rgb c)
{
    const unsigned grey = (2u * c.r + 5u * c.g + c.b) / 8u;
    auto g = [](unsigned v) { return Rgb{static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v)}; };
    auto u8 = [](unsigned v) { return static_cast<std::uint8_t>(v); };
    switch (mode.colour ? mode.bpp + 100 : mode.bpp) {
    case 1:
        return g(grey / 128 * 255);
    case 2:
        return g(grey / 64 * 85);
    case 4:
        return g(grey / 16 * 17);
    case 8:
        return g(grey);
    case 104:
        return nearestOf(colour16Palette(),
                         Rgb{u8((c.r >> 5) * 255 / 7), u8((c.g >> 5) * 255 / 7), u8((c.b >> 5) * 255 / 7)});
    case 108:
        return nearestOf(colour256Palette(), Rgb{u8((c.r >> 4) * 17), u8((c.g >> 4) * 17), u8((c.b >> 4) * 17)});
    case 112:
        return Rgb{u8((c.r >> 4) * 17), u8((c.g >> 4) * 17), u8((c.b >> 4) * 17)};
    case 116:
        return Rgb{u8((c.r >> 3) * 255 / 31), u8((c.g >> 2) * 255 / 63), u8((c.b >> 3) * 255 / 31)};
    default:
        return c;
    }
}

const Mode allModes[] = {{1, false}, {2, false}, {4, false}, {8, false}, {4, true},
                         {8, true},  {12, true}, {16, true}, {24, true}, {32, true}};

} // namespace

TEST(Mbm, UidChecksumOfTheMultiBitmapFile)
{
    EXPECT_EQ(uidChecksum(0x10000037, 0x10000042, 0), 0x47396439u);
}

TEST(Mbm, RowStridesPerDepth)
{
    struct Case {
        int bpp;
        int width;
        std::uint32_t stride;
    } cases[] = {
        {1, 1, 4},   {1, 32, 4},   {1, 33, 8},  {2, 16, 4},  {2, 17, 8},   {4, 8, 4},    {4, 9, 8},
        {8, 4, 4},   {8, 5, 8},    {12, 2, 4},  {12, 3, 8},  {16, 1, 4},   {16, 176, 352},
        {24, 1, 12}, {24, 4, 12},  {24, 5, 24}, {24, 176, 528}, {32, 3, 12}, {3, 10, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(byteWidth(c.width, c.bpp), c.stride) << c.bpp << " bpp, width " << c.width;
}

TEST(Mbm, TwipsFromTheSourceResolution)
{
    EXPECT_EQ(twipsFromPelsPerMetre(48, 3779), 72);
    EXPECT_EQ(twipsFromPelsPerMetre(48, 0), 0);
    EXPECT_EQ(twipsFromPelsPerMetre(48, -5), 0);
    // Beyond 1491 pixels a 32-bit product would overflow.
    EXPECT_EQ(twipsFromPelsPerMetre(2000, 2835), 2000 * 1440000LL / 254 / 2835);
}

TEST(MbmRle, ByteRunsLiteralsAndTheTailMargin)
{
    // The last max(size/64, 4) bytes always go out as one literal.
    const Bytes raw = hexBytes({5, 5, 5, 5, 5, 0xff, 0xff, 0xff, 5, 5, 5, 5, 5, 0xff, 0xff, 0xff});
    const auto packed = compressByteRle(raw);
    ASSERT_TRUE(packed);
    EXPECT_EQ(*packed, hexBytes({0x04, 0x05, 0x02, 0xff, 0x03, 0x05, 0xfc, 0x05, 0xff, 0xff, 0xff}));
    Bytes back(raw.size());
    ASSERT_TRUE(expandByteRle(*packed, back).ok());
    EXPECT_EQ(back, raw);
}

TEST(MbmRle, ByteGiveUpRuleCountsTheTailWithoutItsMarker)
{
    struct Case {
        Bytes raw;
        std::optional<Bytes> packed;
    } cases[] = {
        // Main part 8 bytes + 4 tail bytes = the cut-off of 12: kept, even
        // though the marker takes the result to 13.
        {hexBytes({1, 1, 1, 2, 3, 4, 9, 9, 9, 9, 9, 9, 0xa, 0xb, 0xc, 0xd}),
         hexBytes({0x02, 1, 0xfd, 2, 3, 4, 0x05, 9, 0xfc, 0xa, 0xb, 0xc, 0xd})},
        // One more literal byte: 9 + 4 > 12, stored raw.
        {hexBytes({1, 1, 1, 2, 3, 4, 5, 9, 9, 9, 9, 9, 0xa, 0xb, 0xc, 0xd}), std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(compressByteRle(c.raw), c.packed);
}

TEST(MbmRle, LongRunsAndLiteralsAreSplitAt128)
{
    Bytes raw(300, 0x42);
    for (int i = 0; i < 4; ++i)
        raw.push_back(static_cast<std::uint8_t>(i)); // tail literal
    const auto packed = compressByteRle(raw);
    ASSERT_TRUE(packed);
    // Margin is max(304/64, 4) = 4: run 300 = 128 + 128 + 44.
    EXPECT_EQ(*packed, hexBytes({0x7f, 0x42, 0x7f, 0x42, 0x2b, 0x42, 0xfc, 0, 1, 2, 3}));

    // 16-bit literal of 130 pixels: a 128-chunk (0x80) then -2.
    Bytes words;
    ByteWriter w(words);
    for (int i = 0; i < 130; ++i)
        w.u16(static_cast<std::uint16_t>(i));
    for (int i = 0; i < 200; ++i)
        w.u16(7); // so the whole does not give up
    const auto packed16 = compressSixteenBitRle(words);
    ASSERT_TRUE(packed16);
    ASSERT_EQ(packed16->size(), 1 + 256 + 1 + 4 + 3 + 3);
    EXPECT_EQ((*packed16)[0], 0x80);
    EXPECT_EQ((*packed16)[257], 0xfe);
    Bytes back(words.size());
    ASSERT_TRUE(expandSixteenBitRle(*packed16, back).ok());
    EXPECT_EQ(back, words);
}

TEST(MbmRle, RunsOfExactlyOneAndTwoMarkersLength)
{
    // 128 is the longest run one marker holds (0x7f): exactly 128 equal bytes
    // take one marker and exactly 256 two, with no empty third.
    struct Case {
        std::size_t run;
        Bytes packed;
    } cases[] = {
        {128, hexBytes({0x7f, 0x42, 0xfc, 0, 1, 2, 3})},
        {256, hexBytes({0x7f, 0x42, 0x7f, 0x42, 0xfc, 0, 1, 2, 3})},
    };
    for (const auto& c : cases) {
        Bytes raw(c.run, 0x42);
        for (int i = 0; i < 4; ++i)
            raw.push_back(static_cast<std::uint8_t>(i)); // the tail literal
        const auto packed = compressByteRle(raw);
        ASSERT_TRUE(packed) << c.run;
        EXPECT_EQ(*packed, c.packed) << c.run;
        Bytes back(raw.size());
        ASSERT_TRUE(expandByteRle(*packed, back).ok()) << c.run;
        EXPECT_EQ(back, raw) << c.run;
    }
}

TEST(MbmRle, TwentyFourBitLiteralSwallowsAPairAndSixteenBitDoesNot)
{
    // Pixels A B C C D E x 43: bmconv's 24-bit scan compares pixel i+3 with
    // i+1 first, so C C stays inside a literal of 5.
    const Rgb a{1, 2, 3}, b{4, 5, 6}, c{7, 8, 9}, d{10, 11, 12}, e{13, 14, 15};
    std::vector<Rgb> px = {a, b, c, c, d};
    px.resize(48, e);
    Bytes raw24;
    for (Rgb p : px)
        raw24.insert(raw24.end(), {p.b, p.g, p.r});
    const auto packed24 = compressTwentyFourBitRle(raw24);
    ASSERT_TRUE(packed24);
    Bytes want24 = {0xfb};
    want24.insert(want24.end(), raw24.begin(), raw24.begin() + 15);
    want24.insert(want24.end(), {0x2a, e.b, e.g, e.r});
    EXPECT_EQ(*packed24, want24);

    Bytes raw16;
    for (Rgb p : px)
        raw16.insert(raw16.end(), {p.r, p.g});
    const auto packed16 = compressSixteenBitRle(raw16);
    ASSERT_TRUE(packed16);
    EXPECT_EQ(*packed16, hexBytes({0xfe, a.r, a.g, b.r, b.g, 0x01, c.r, c.g, 0xff, d.r, d.g, 0x2a, e.r, e.g}));
}

TEST(MbmRle, TwelveBitWordsAndRunsOfSixteen)
{
    EXPECT_EQ(colour4K(Rgb{100, 150, 200}), 0x069C);
    Bytes raw;
    ByteWriter w(raw);
    for (int i = 0; i < 40; ++i)
        w.u16(0x069C);
    w.u16(0xFFFF); // row padding: compared in full, masked when written
    const Bytes packed = compressTwelveBitRle(raw);
    EXPECT_EQ(packed, hexBytes({0x9c, 0xf6, 0x9c, 0xf6, 0x9c, 0x76, 0xff, 0x0f}));
    Bytes back(raw.size());
    ASSERT_TRUE(expandTwelveBitRle(packed, back).ok());
    raw[raw.size() - 1] = 0x0F; // the padding comes back as 0x0FFF
    EXPECT_EQ(back, raw);
}

TEST(MbmRle, IncompressibleDeepPicturesAreStoredRaw)
{
    // bmconv's 16- and 24-bit encoders write past their buffer on pictures
    // like this; ours gives up as their 7/8 rule intends.
    std::mt19937 rng(7);
    for (Mode mode : {Mode{16, true}, Mode{24, true}, Mode{8, true}, Mode{12, true}}) {
        const auto px = randomPicture(rng, 176, 208, false);
        auto bm = makeBitmap(mode, 176, 208, px, 0, 0);
        ASSERT_TRUE(bm.ok());
        const Bytes stored = encodeBitmap(*bm, Store::Compressed);
        const std::uint32_t compression = le32(stored.data() + 36);
        if (mode.bpp == 12) {
            EXPECT_EQ(compression, 2u) << "12-bit RLE never gives up";
            continue;
        }
        EXPECT_EQ(compression, 0u) << modeName(mode);
        EXPECT_EQ(stored.size(), 40 + bm->data.size());
        EXPECT_TRUE(std::equal(bm->data.begin(), bm->data.end(), stored.begin() + 40));
    }
}

TEST(Mbm, FileLayoutOffsetsAndHeaders)
{
    // A 1 x 1 /c24, a 5 x 3 /1 and a 1 x 1 /c12 bitmap. Compressed, the
    // second one is odd-sized and the third follows it with no padding.
    std::vector<MbmBitmap> bms;
    bms.push_back(*makeBitmap({24, true}, 1, 1, {Rgb{1, 2, 3}}, 15, 15));
    bms.push_back(*makeBitmap({1, false}, 5, 3, std::vector<Rgb>(15, Rgb{255, 255, 255}), 0, 0));
    bms.push_back(*makeBitmap({12, true}, 1, 1, {Rgb{100, 150, 200}}, 0, 0));

    auto raw = writeMbm(bms, Store::Uncompressed);
    ASSERT_TRUE(raw.ok());
    ASSERT_EQ(raw->size(), 20u + 52 + 52 + 44 + 4 + 12);
    EXPECT_EQ(le32(raw->data() + 16), 20u + 52 + 52 + 44);
    EXPECT_EQ(le32(raw->data() + 168), 3u);
    EXPECT_EQ(le32(raw->data() + 172), 20u);
    EXPECT_EQ(le32(raw->data() + 176), 72u);
    EXPECT_EQ(le32(raw->data() + 180), 124u);
    // Header of bitmap 0: size, 40, 1, 1, twips 15, 15, 24 bpp, colour, 0, 0;
    // data B G R then 0xFF padding to 12 bytes.
    const Bytes head0(raw->begin() + 20, raw->begin() + 72);
    EXPECT_EQ(head0, hexBytes({52, 0, 0, 0, 40, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 15, 0, 0, 0, 15, 0, 0, 0, 24, 0, 0, 0,
                               1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 2, 1, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
                               0xff, 0xff}));

    auto packed = writeMbm(bms, Store::Compressed);
    ASSERT_TRUE(packed.ok());
    // 24-bit: the pixel and the 3 padding pixels code as a literal of 2 and
    // a run of 2, 11 bytes, above 7/8 of 12: stored raw.
    EXPECT_EQ(le32(packed->data() + 20), 52u);
    EXPECT_EQ(le32(packed->data() + 20 + 36), 0u);
    // 1-bit: 12 bytes of 0xFF with a margin of 4: a run of 8 and a literal
    // of 4, 7 bytes, so the bitmap is 47 bytes long.
    EXPECT_EQ(le32(packed->data() + 72), 47u);
    EXPECT_EQ(le32(packed->data() + 72 + 36), 1u);
    EXPECT_EQ(Bytes(packed->begin() + 112, packed->begin() + 119), hexBytes({0x07, 0xff, 0xfc, 0xff, 0xff, 0xff, 0xff}));
    // 12-bit: 0x069C and the padding word, masked to 0x0FFF.
    EXPECT_EQ(le32(packed->data() + 119), 44u);
    EXPECT_EQ(le32(packed->data() + 119 + 36), 2u);
    EXPECT_EQ(Bytes(packed->begin() + 159, packed->begin() + 163), hexBytes({0x9c, 0x06, 0xff, 0x0f}));
    EXPECT_EQ(le32(packed->data() + 16), 163u);
    ASSERT_EQ(packed->size(), 163u + 4 + 12);
    EXPECT_EQ(le32(packed->data() + 163 + 12), 119u);
}

TEST(Mbm, SubBytePackingIsLeastSignificantFirst)
{
    auto c4 = makeBitmap({4, true}, 2, 1, {colour16Palette()[1], colour16Palette()[14]}, 0, 0);
    ASSERT_TRUE(c4.ok());
    EXPECT_EQ(c4->data, hexBytes({0xE1, 0xff, 0xff, 0xff}));
    const Rgb k{0, 0, 0}, w{255, 255, 255};
    auto mono = makeBitmap({1, false}, 10, 1, {w, k, k, w, k, k, k, k, k, w}, 0, 0);
    ASSERT_TRUE(mono.ok());
    EXPECT_EQ(mono->data, hexBytes({0x09, 0xfe, 0xff, 0xff}));
    auto grey4 = makeBitmap({2, false}, 3, 1, {w, k, Rgb{128, 128, 128}}, 0, 0);
    ASSERT_TRUE(grey4.ok());
    // Levels 3, 0, 2 at bits 0, 2, 4; the unused pixel stays 3.
    EXPECT_EQ(grey4->data, hexBytes({0xE3, 0xff, 0xff, 0xff}));
}

TEST(Mbm, RoundTripAtEveryDepth)
{
    std::mt19937 rng(2024);
    const int sizes[][2] = {{1, 1}, {3, 2}, {17, 5}, {33, 9}, {44, 44}, {176, 12}};
    for (Mode mode : allModes) {
        for (const auto& size : sizes) {
            for (bool flat : {false, true}) {
                const int w = size[0], h = size[1];
                const auto px = randomPicture(rng, w, h, flat);
                auto bm = makeBitmap(mode, w, h, px, 0, 0);
                ASSERT_TRUE(bm.ok()) << bm.error();
                for (Store store : {Store::Compressed, Store::Uncompressed}) {
                    auto file = writeMbm({*bm, *bm}, store);
                    ASSERT_TRUE(file.ok());
                    auto back = readMbm(*file);
                    ASSERT_TRUE(back.ok()) << back.error();
                    ASSERT_EQ(back->size(), 2u);
                    const MbmBitmap& got = (*back)[1];
                    Bytes want = bm->data;
                    if (mode.bpp == 12 && store == Store::Compressed)
                        for (std::size_t i = 1; i < want.size(); i += 2)
                            want[i] &= 0x0F; // 12-bit RLE keeps 12 bits of the padding words
                    EXPECT_EQ(got.data, want) << modeName(mode) << ' ' << w << 'x' << h;
                    EXPECT_EQ(got.mode(), mode);
                    std::vector<std::uint8_t> bgr(static_cast<std::size_t>(w) * 3);
                    for (int y = 0; y < h; ++y) {
                        got.rowToBgr(y, bgr.data());
                        for (int x = 0; x < w; ++x) {
                            const Rgb expected = expectedAfterRoundTrip(mode, px[static_cast<std::size_t>(y * w + x)]);
                            ASSERT_EQ(got.pixel(x, y), expected) << modeName(mode) << " at " << x << ',' << y;
                            const auto ux = static_cast<std::size_t>(x);
                            ASSERT_EQ((Rgb{bgr[3 * ux + 2], bgr[3 * ux + 1], bgr[3 * ux]}), expected) << modeName(mode);
                        }
                    }
                }
            }
        }
    }
}

TEST(Mbm, UnpackedBmpIsTwentyFourBitBottomUpWithZeroPadding)
{
    auto bm = makeBitmap({8, false}, 1, 2, {Rgb{255, 255, 255}, Rgb{0, 0, 0}}, 99, 99);
    ASSERT_TRUE(bm.ok());
    const Bytes bmp = encodeUnpackedBmp(*bm);
    const Bytes want = hexBytes({'B', 'M', 62, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,
                                 40, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                 0, 0, 0, 0, 255, 255, 255, 0});
    EXPECT_EQ(bmp, want);
}

TEST(Mbm, TrailingCompressedBytesAreIgnored)
{
    // Runs that end exactly at the picture, then junk: the phone stops at
    // the end of the picture and so do we.
    const Bytes data = hexBytes({0x03, 0x11, 0x55, 0x66});
    auto got = readMbm(fileOf({record(4, 1, 8, 0, 1, data)}));
    ASSERT_TRUE(got.ok()) << got.error();
    EXPECT_EQ((*got)[0].data, hexBytes({0x11, 0x11, 0x11, 0x11}));
}

TEST(Mbm, OneBitmapNamedManyTimesIsBoundedInTotal)
{
    // 2000 offsets to one 4 MB bitmap of a few hundred bytes.
    const Bytes runs = [] {
        Bytes r;
        for (int i = 0; i < 4 * 1024 * 1024 / 128; ++i)
            r.insert(r.end(), {0x7f, 0x00});
        return r;
    }();
    Bytes file = fileOf({record(2048, 2048, 8, 0, 1, runs)});
    file.resize(file.size() - 8);
    ByteWriter w(file);
    w.u32(2000);
    for (int i = 0; i < 2000; ++i)
        w.u32(20);
    ReadLimits limits;
    limits.maxTotalBytes = 64u << 20;
    auto got = readMbm(file, limits);
    ASSERT_FALSE(got.ok());
    EXPECT_EQ(got.code(), MbmError::TooLarge) << got.error();
}

TEST(Mbm, HostileFilesEndWithAClearMessage)
{
    const Bytes good = fileOf({record(4, 1, 8, 0, 0, Bytes(4, 1))});
    auto patched = [&](std::size_t at, std::uint32_t value) {
        Bytes f = good;
        ByteWriter(f).patch32(at, value);
        return f;
    };
    auto one = [](Bytes rec) { return fileOf({std::move(rec)}); };
    struct Case {
        const char* name;
        Bytes file;
        MbmError code;
    } cases[] = {
        {"empty", {}, MbmError::Truncated},
        {"cut in the UIDs", Bytes(good.begin(), good.begin() + 10), MbmError::Truncated},
        {"ROM image", patched(0, MultiBitmapRomUid), MbmError::Unsupported},
        {"wrong UID2", patched(4, 0x10000043), MbmError::WrongFormat},
        {"wrong checksum", patched(12, 0x47396438), MbmError::Damaged},
        {"UID3 not matching the checksum", patched(8, 5), MbmError::Damaged},
        {"trailer outside", patched(16, 0x7fffffff), MbmError::Damaged},
        {"trailer at the last bytes", patched(16, static_cast<std::uint32_t>(good.size() - 2)), MbmError::Damaged},
        {"huge count", patched(good.size() - 8, 0xffffffff), MbmError::TooLarge},
        {"count beyond the file", patched(good.size() - 8, 1000), MbmError::Truncated},
        {"offset outside", patched(good.size() - 4, 0x7ffffff0), MbmError::Damaged},
        {"offset leaving no header", patched(good.size() - 4, static_cast<std::uint32_t>(good.size() - 39)),
         MbmError::Damaged},
        {"bitmap size below 40", patched(20, 39), MbmError::Damaged},
        {"bitmap size past the end", patched(20, 400), MbmError::Truncated},
        {"negative bitmap size", patched(20, 0x80000000), MbmError::Damaged},
        {"struct size 39", patched(24, 39), MbmError::Damaged},
        {"struct size beyond bitmap", patched(24, 45), MbmError::Damaged},
        {"negative width", patched(28, 0xffffffff), MbmError::Damaged},
        {"huge height", patched(32, 40000), MbmError::TooLarge},
        {"too many pixels", one(record(20000, 20000, 1, 0, 1, Bytes(8, 0x7f))), MbmError::TooLarge},
        {"depth 3", patched(44, 3), MbmError::Unsupported},
        {"depth 0", patched(44, 0), MbmError::Unsupported},
        {"palette", patched(52, 16), MbmError::Unsupported},
        {"unknown compression", patched(56, 9), MbmError::Unsupported},
        {"compression 5 at 8 bits", patched(56, 5), MbmError::Damaged},
        {"raw data short", one(record(8, 1, 8, 0, 0, Bytes(4, 1))), MbmError::Truncated},
        {"byte run past the end", one(record(4, 1, 8, 0, 1, hexBytes({0x7f, 1}))), MbmError::Damaged},
        {"byte literal past the end",
         one(record(4, 1, 8, 0, 1, hexBytes({0xf0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}))),
         MbmError::Damaged},
        {"byte literal cut short", one(record(4, 1, 8, 0, 1, hexBytes({0xfc, 1, 2}))), MbmError::Truncated},
        {"byte data ending early", one(record(8, 1, 8, 0, 1, hexBytes({0x03, 1}))), MbmError::Truncated},
        {"12-bit run past the end", one(record(2, 1, 12, 1, 2, hexBytes({0x00, 0x20}))), MbmError::Damaged},
        {"16-bit run past the end", one(record(2, 1, 16, 1, 3, hexBytes({0x05, 0, 0}))), MbmError::Damaged},
        {"24-bit run past the end", one(record(4, 1, 24, 1, 4, hexBytes({0x04, 0, 0, 0}))), MbmError::Damaged},
        {"24-bit coding of an 8-bit picture", one(record(4, 1, 8, 0, 4, hexBytes({0x00, 0, 0, 0, 0x00, 0, 0, 0}))),
         MbmError::Damaged},
        {"32-bit run past the end", one(record(2, 1, 32, 1, 5, hexBytes({0x02, 0, 0, 0}))), MbmError::Damaged},
        {"tiny data for a huge picture", one(record(30000, 3000, 24, 1, 4, hexBytes({0x7f, 0, 0, 0}))),
         MbmError::Truncated},
    };
    for (const auto& c : cases) {
        auto got = readMbm(c.file);
        ASSERT_FALSE(got.ok()) << c.name;
        EXPECT_EQ(got.code(), c.code) << c.name << ": " << got.error();
    }
}

// Font store files: the exact bytes of a small font, the glyph bit stream,
// round trips, and the reader on hostile input.
#include "handset/e32uid.h"
#include "handset/errors.h"
#include "handset/gdr.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <random>

using namespace kastra;
using namespace kastra::gdr;
namespace fs = std::filesystem;

namespace {

Glyph solidGlyph(std::uint16_t code, int width, int height, std::int8_t ascent)
{
    Glyph g;
    g.code = code;
    g.ascent = ascent;
    g.leftAdjust = 0;
    g.rightAdjust = 2;
    g.move = static_cast<std::int8_t>(width + 2);
    g.height = height;
    g.pixels.assign(static_cast<std::size_t>(width * height), 1);
    return g;
}

FontStore oneGlyphStore()
{
    FontStore s;
    s.version = 41;
    s.collectionUid = 0x11223344;
    FontBitmap f;
    f.uid = 0x0A0B0C0D;
    f.cellHeight = 16;
    f.ascent = 14;
    f.maxCharWidth = 10;
    f.maxNormalCharWidth = 10;
    f.glyphs.push_back(solidGlyph(0x41, 8, 16, 14));
    s.fontBitmaps.push_back(f);
    s.typefaces.push_back({u"T", 1, {{0x0A0B0C0D, 1, 1}}});
    return s;
}

Bytes mustWrite(const FontStore& s)
{
    auto r = writeFontStore(s);
    EXPECT_TRUE(r.ok()) << r.error();
    return r.ok() ? *r : Bytes{};
}

Glyph randomGlyph(std::mt19937& rng, std::uint16_t code)
{
    Glyph g;
    g.code = code;
    const int w = static_cast<int>(rng() % 9);
    g.height = static_cast<int>(rng() % 14);
    g.ascent = static_cast<std::int8_t>(rng() % 12);
    g.leftAdjust = static_cast<std::int8_t>(rng() % 2);
    g.rightAdjust = static_cast<std::int8_t>(rng() % 3);
    g.move = static_cast<std::int8_t>(w + g.leftAdjust + g.rightAdjust);
    // Rows repeat often in real glyphs; make runs likely.
    std::vector<std::uint8_t> row(static_cast<std::size_t>(w));
    for (int y = 0; y < g.height; ++y) {
        if (rng() % 3 != 0)
            for (auto& v : row)
                v = static_cast<std::uint8_t>(rng() & 1u);
        g.pixels.insert(g.pixels.end(), row.begin(), row.end());
    }
    return g;
}

} // namespace

TEST(Gdr, SmallFontExactBytes)
{
    Bytes expected;
    ByteWriter w(expected);
    e32::writeCheckedUids(w, {0x10000037, 0x10000039, 0});
    w.u32(20);                     // root stream id
    w.i32(41);
    w.u32(0x11223344);
    w.i32(1000);
    w.u32(64);                     // data stream id
    w.u32(0);                      // no copyright notes
    // 40: metrics
    w.i32(1);
    for (const std::uint8_t v : {14, 16, 0, 10, 2})
        w.u8(v);
    // 49: offsets of section 0x41-0x41
    w.i32(1);
    w.u16(0);
    // 55: bitmap: metric index 0, fifteen equal rows as one block, then one
    // distinct row; 8 ones each.
    w.i32(5);
    for (const std::uint8_t v : {0x00, 0xFE, 0x7F, 0xFC, 0x03})
        w.u8(v);
    // 64: data
    w.u32(1);
    w.u32(0x0A0B0C0D);
    for (const std::uint8_t v : {0, 0, 1, 16, 14, 10, 10})
        w.u8(v);
    w.i32(0);
    w.u32(40);
    w.i32(1);
    w.i32(1);
    w.u16(0x41);
    w.u16(0x41);
    w.u32(49);
    w.u32(55);
    w.u32(1);
    w.u8(0x04);                    // "T": length 1, 16-bit
    w.u8('T');
    w.u8(1);
    w.u32(1);
    w.u32(0x0A0B0C0D);
    w.u8(1);
    w.u8(1);

    EXPECT_EQ(mustWrite(oneGlyphStore()), expected);
}

TEST(Gdr, RoundTripWithGapsSectionsAndManyMetrics)
{
    std::mt19937 rng(42);
    FontStore s;
    s.version = KFnttran7650Version;
    s.copyright = {u"one", u"два"};
    FontBitmap f;
    f.uid = 7;
    // Dense codes, a small gap (filled), a large gap (new section), and
    // enough different metrics that indices need two bytes.
    std::vector<std::uint16_t> codes;
    for (std::uint16_t c = 0x20; c < 0x7F; ++c)
        codes.push_back(c);
    for (std::uint16_t c = 0x82; c < 0x90; ++c)
        codes.push_back(c);
    for (std::uint16_t c = 0x410; c < 0x450; ++c)
        codes.push_back(c);
    codes.push_back(0xF6DB);
    for (const std::uint16_t c : codes)
        f.glyphs.push_back(randomGlyph(rng, c));
    s.fontBitmaps.push_back(f);
    s.typefaces.push_back({u"Random", 3, {{7, 1, 2}}});
    const Bytes b = mustWrite(s);
    auto back = readFontStore(b);
    ASSERT_TRUE(back.ok()) << back.error();
    EXPECT_EQ(back->version, 39);
    EXPECT_EQ(back->copyright, s.copyright);
    ASSERT_EQ(back->fontBitmaps.size(), 1u);
    ASSERT_EQ(back->fontBitmaps[0].glyphs.size(), f.glyphs.size());
    for (std::size_t i = 0; i < f.glyphs.size(); ++i)
        EXPECT_EQ(back->fontBitmaps[0].glyphs[i], f.glyphs[i]) << "glyph " << f.glyphs[i].code;
    EXPECT_EQ(back->typefaces[0].name, u"Random");
    EXPECT_EQ(back->typefaces[0].attributes, 3);
    EXPECT_EQ(back->typefaces[0].sizes[0].heightFactor, 2);
    EXPECT_NE(findGlyph(back->fontBitmaps[0], 0x41), nullptr);
    EXPECT_EQ(findGlyph(back->fontBitmaps[0], 0x80), nullptr);
}

TEST(Gdr, Version42CarriesTheExtraMetrics)
{
    FontStore s = oneGlyphStore();
    s.version = 42;
    s.fontBitmaps[0].capitalAscent = 11;
    s.fontBitmaps[0].lineGap = 19;
    const Bytes b = mustWrite(s);
    EXPECT_EQ(b.size(), mustWrite(oneGlyphStore()).size() + 5);
    auto back = readFontStore(b);
    ASSERT_TRUE(back.ok()) << back.error();
    EXPECT_EQ(back->fontBitmaps[0].capitalAscent, 11);
    EXPECT_EQ(back->fontBitmaps[0].lineGap, 19);
}

TEST(Gdr, WriterRefusesInconsistentFonts)
{
    FontStore s = oneGlyphStore();
    s.version = 40;
    EXPECT_FALSE(writeFontStore(s).ok());
    s = oneGlyphStore();
    s.fontBitmaps[0].glyphs[0].pixels.pop_back();
    EXPECT_FALSE(writeFontStore(s).ok());
    s = oneGlyphStore();
    s.fontBitmaps[0].glyphs.push_back(solidGlyph(0x40, 2, 2, 2));
    EXPECT_FALSE(writeFontStore(s).ok());
}

TEST(Gdr, HostileFontStores)
{
    const Bytes good = mustWrite(oneGlyphStore());
    ASSERT_TRUE(readFontStore(good).ok());
    struct Case {
        const char* what;
        std::size_t offset;
        std::uint32_t value;
        int width;   // 1 or 4 bytes patched
        HandsetError code;
    };
    const Case cases[] = {
        {"UID checksum", 12, 0, 4, HandsetError::Damaged},
        {"root outside the file", 16, 5000, 4, HandsetError::Damaged},
        {"root inside the header", 16, 4, 4, HandsetError::Damaged},
        {"version 40", 20, 40, 4, HandsetError::Unsupported},
        {"data outside the file", 32, 5000, 4, HandsetError::Damaged},
        {"copyright count", 36, 1000, 4, HandsetError::Damaged},
        {"font bitmap count", 64, 100000, 4, HandsetError::Damaged},
        {"metrics outside the file", 64 + 4 + 4 + 7 + 4, 5000, 4, HandsetError::Damaged},
        {"metrics count", 64 + 4 + 4 + 7 + 8, 1000, 4, HandsetError::Damaged},
        {"section count", 64 + 4 + 4 + 7 + 12, 1000, 4, HandsetError::Damaged},
        {"section last before first", 64 + 4 + 4 + 7 + 18, 0x40, 1, HandsetError::Damaged},
        {"offsets stream outside", 64 + 4 + 4 + 7 + 20, 5000, 4, HandsetError::Damaged},
        {"bitmap stream outside", 64 + 4 + 4 + 7 + 24, 5000, 4, HandsetError::Damaged},
        {"offsets count mismatch", 49, 2, 4, HandsetError::Damaged},
        {"glyph offset outside its bitmap", 53, 9, 1, HandsetError::Damaged},
        {"bitmap length past the end", 55, 100, 4, HandsetError::Damaged},
        {"metric index out of range", 59, 0x04, 1, HandsetError::Damaged},
        {"zero row count", 60, 0x00, 1, HandsetError::Damaged},
        {"block past the glyph", 61, 0xFF, 1, HandsetError::Damaged},
        {"bitmap encoding", 64 + 4 + 4 + 7, 1, 4, HandsetError::Unsupported},
        {"typeface count", 107, 1000, 4, HandsetError::Damaged},
        {"negative height", 45, 0x80, 1, HandsetError::Damaged},
    };
    for (const Case& c : cases) {
        Bytes b = good;
        if (c.width == 4)
            ByteWriter(b).patch32(c.offset, c.value);
        else
            b[c.offset] = static_cast<std::uint8_t>(c.value);
        auto r = readFontStore(b);
        ASSERT_FALSE(r.ok()) << c.what;
        EXPECT_EQ(r.code(), c.code) << c.what << ": " << r.error();
    }
    for (std::size_t n = 0; n < good.size(); ++n)
        EXPECT_FALSE(readFontStore(ByteSpan(good).first(n)).ok()) << n;
}

TEST(Gdr, CrashersFailCleanly)
{
    const auto files = crasherFiles("gdr");
    EXPECT_FALSE(files.empty());
    for (const fs::path& f : files)
        EXPECT_FALSE(readFontStore(readBytes(f)).ok()) << f;
}

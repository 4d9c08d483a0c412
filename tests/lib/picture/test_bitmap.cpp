#include "picture/bitmap.h"
#include "picture/errors.h"
#include "bmp_builder.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <set>

using namespace kastra;
using kastra::test::BmpSpec;
using kastra::test::makeBmp;

namespace {

Bitmap load(const Bytes& file)
{
    Bitmap b;
    const auto r = b.loadBmp(file);
    EXPECT_TRUE(r) << r.error();
    return b;
}

// A 24-bit picture whose every pixel has a different colour.
Bitmap gradient(int w, int h)
{
    Bitmap b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.setPixel(x, y, rgb(static_cast<unsigned>(x * 7), static_cast<unsigned>(y * 11), static_cast<unsigned>(x + y)));
    return b;
}

} // namespace

// ---------------------------------------------------------------------------
// Files written

TEST(BitmapWrite, TwentyFourBitFileIsByteExact)
{
    Bitmap b(3, 2);
    b.setPixel(0, 0, rgb(1, 2, 3));
    b.setPixel(1, 0, rgb(4, 5, 6));
    b.setPixel(2, 0, rgb(7, 8, 9));
    b.setPixel(0, 1, rgb(10, 11, 12));
    b.setPixel(1, 1, rgb(13, 14, 15));
    b.setPixel(2, 1, rgb(16, 17, 18));
    const Bytes expected = {
        'B', 'M', 78, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,             // file header: 54 + 12 * 2
        40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0,            // size, width, height, planes, bpp
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        12, 11, 10, 15, 14, 13, 18, 17, 16, 0, 0, 0,                 // bottom row first, padded with zeros
        3, 2, 1, 6, 5, 4, 9, 8, 7, 0, 0, 0,
    };
    EXPECT_EQ(b.encodeBmp(), expected);
}

TEST(BitmapWrite, MaskFileHasTwoEntryPaletteAndOffset62)
{
    Bitmap b(10, 2);
    b.setPixel(0, 0, rgb(9, 9, 9));
    b.setPixel(9, 1, rgb(9, 9, 9));
    b.makeMask(rgb(255, 255, 255));
    const Bytes expected = {
        'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 62, 0, 0, 0,
        40, 0, 0, 0, 10, 0, 0, 0, 2, 0, 0, 0, 1, 0, 1, 0,
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 255, 255, 255, 0,                                 // black, white
        0xFF, 0x80, 0, 0,                                             // bottom row: pixel 9 black
        0x7F, 0xC0, 0, 0,                                             // top row: pixel 0 black
    };
    EXPECT_EQ(b.encodeBmp(), expected);
}

TEST(BitmapWrite, PictureReadKeepsDepthPaletteAndHeaderValues)
{
    BmpSpec s;
    s.width = 3;
    s.height = 4;
    s.bpp = 8;
    s.coloursUsed = 3;
    s.xppm = 2835;
    s.yppm = 3779;
    s.palette = {0x102030, 0x405060, 0x708090};
    s.pixels = {0, 1, 2, 0, 2, 1, 0, 0, 1, 1, 1, 0, 2, 2, 2, 0};
    Bitmap b = load(makeBmp(s));
    b.setHeight(2);   // cut, as the desktop top strip is cut from its banner
    const Bytes out = b.encodeBmp();
    Bitmap again = load(out);
    EXPECT_EQ(again.depth(), 8);
    EXPECT_EQ(again.bmpInfo().xPelsPerMeter, 2835);
    EXPECT_EQ(again.bmpInfo().yPelsPerMeter, 3779);
    EXPECT_EQ(again.bmpInfo().coloursUsed, 3u);
    EXPECT_EQ(again.palette()[2], rgb(0x70, 0x80, 0x90));
    EXPECT_EQ(out.size(), 54u + 1024u + 8u);   // the full 256-entry palette is written
    // The top two rows of the original (stored last in the file) survive.
    EXPECT_EQ(again.getPixel(0, 0), rgb(0x70, 0x80, 0x90));
    EXPECT_EQ(again.getPixel(0, 1), rgb(0x40, 0x50, 0x60));
}

TEST(BitmapWrite, EmptyPictureWritesNothingAndKeepsTheOldFile)
{
    TempDir dir;
    EXPECT_EQ(readBmp(dir.path() / "missing.bmp").code(), BaseError::Io);
    const Bitmap b = readBmpOrEmpty(dir.path() / "missing.bmp");
    EXPECT_TRUE(b.empty());
    EXPECT_EQ(b.writeBmp(dir.path() / "missing.bmp").code(), PictureError::BadArgument);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "missing.bmp"));
    writeBytes(dir.path() / "old.bmp", Bytes{1, 2, 3});
    writeBmpQuietly(b, dir.path() / "old.bmp");
    EXPECT_EQ(readBytes(dir.path() / "old.bmp"), (Bytes{1, 2, 3}));
}

TEST(BitmapWrite, FileRoundTripThroughDisk)
{
    TempDir dir;
    const Bitmap b = gradient(17, 5);
    ASSERT_TRUE(b.writeBmp(dir.path() / "g.bmp"));
    const Bitmap r = readBmpOrEmpty(dir.path() / "g.bmp");
    ASSERT_EQ(r.width(), 17);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 17; ++x)
            EXPECT_EQ(r.getPixel(x, y), b.getPixel(x, y));
}

// ---------------------------------------------------------------------------
// Files read

struct ReadCase {
    const char* name;
    BmpSpec spec;
    std::vector<Colour> expected;   // row by row from the top
};
void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

class BitmapRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(BitmapRead, GivesTheColoursOfTheFile)
{
    const ReadCase& c = GetParam();
    Bitmap b = load(makeBmp(c.spec));
    ASSERT_EQ(b.width(), c.spec.width);
    ASSERT_EQ(b.height(), std::abs(c.spec.height));
    EXPECT_EQ(b.depth(), c.spec.bpp);
    std::size_t i = 0;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x, ++i)
            EXPECT_EQ(b.getPixel(x, y), c.expected[i]) << "at " << x << "," << y;
    // Converting to 24 bits keeps every colour.
    b.toRgb24();
    EXPECT_EQ(b.depth(), 24);
    i = 0;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x, ++i)
            EXPECT_EQ(b.getPixel(x, y), c.expected[i]);
}

namespace {

BmpSpec spec(std::uint32_t header, std::int32_t w, std::int32_t h, std::uint16_t bpp, Bytes pixels,
             std::vector<std::uint32_t> palette = {}, std::uint32_t compression = 0,
             std::vector<std::uint32_t> masks = {}, std::uint32_t gap = 0)
{
    BmpSpec s;
    s.headerSize = header;
    s.width = w;
    s.height = h;
    s.bpp = bpp;
    s.pixels = std::move(pixels);
    s.palette = std::move(palette);
    s.compression = compression;
    s.masks = std::move(masks);
    s.gap = gap;
    return s;
}

const Colour R = rgb(255, 0, 0), G = rgb(0, 255, 0), B = rgb(0, 0, 255), W = rgb(255, 255, 255), K = 0;

} // namespace

INSTANTIATE_TEST_SUITE_P(
    AllDepthsAndHeaders, BitmapRead,
    ::testing::Values(
        ReadCase{"mono", spec(40, 3, 2, 1, {0xA0, 0, 0, 0, 0x40, 0, 0, 0}, {0x000000, 0xFFFFFF}), {K, W, K, W, K, W}},
        ReadCase{"mono_core", spec(12, 3, 2, 1, {0xA0, 0, 0, 0, 0x40, 0, 0, 0}, {0x000000, 0xFFFFFF}),
                 {K, W, K, W, K, W}},
        ReadCase{"four", spec(40, 3, 1, 4, {0x12, 0x00, 0, 0}, {0, 0xFF0000, 0x00FF00}), {R, G, K}},
        ReadCase{"eight_topdown", spec(40, 2, -2, 8, {1, 2, 0, 0, 2, 1, 0, 0}, {0, 0xFF0000, 0x0000FF}),
                 {R, B, B, R}},
        ReadCase{"eight_core_topdown_is_impossible_so_bottom_up",
                 spec(12, 2, 2, 8, {1, 2, 0, 0, 2, 1, 0, 0}, std::vector<std::uint32_t>(256, 0x00FF00)),
                 {G, G, G, G}},
        ReadCase{"rgb555", spec(40, 2, 1, 16, {0x00, 0x7C, 0x1F, 0x00}), {R, B}},
        ReadCase{"rgb565_bitfields", spec(40, 2, 1, 16, {0xE0, 0x07, 0x00, 0xF8}, {}, 3, {0xF800, 0x07E0, 0x001F}),
                 {G, R}},
        ReadCase{"bgr24_with_gap", spec(40, 1, 2, 24, {0xFF, 0, 0, 0, 0, 0, 0xFF, 0}, {}, 0, {}, 10), {R, B}},
        ReadCase{"bgr24_topdown", spec(40, 1, -2, 24, {0xFF, 0, 0, 0, 0, 0, 0xFF, 0}), {B, R}},
        ReadCase{"bgrx32", spec(40, 2, 1, 32, {0, 0, 0xFF, 0x55, 0, 0xFF, 0, 0x55}), {R, G}},
        ReadCase{"rgbx32_bitfields", spec(40, 1, 1, 32, {0xFF, 0, 0, 0}, {}, 3, {0xFF, 0xFF00, 0xFF0000}), {R}},
        ReadCase{"header52_rgb565", spec(52, 2, 1, 16, {0xE0, 0x07, 0x00, 0xF8}, {}, 3, {0xF800, 0x07E0, 0x001F}),
                 {G, R}},
        ReadCase{"header40_alphabitfields_4444",
                 spec(40, 2, 1, 16, {0x00, 0xFF, 0xF0, 0x30}, {}, 6, {0x0F00, 0x00F0, 0x000F, 0xF000}), {R, G}},
        ReadCase{"header56_argb32_alpha_ignored",
                 spec(56, 1, 1, 32, {0xFF, 0, 0, 0x12}, {}, 3, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}), {B}},
        ReadCase{"header108_bgr24", spec(108, 1, 2, 24, {0xFF, 0, 0, 0, 0, 0, 0xFF, 0}), {R, B}},
        ReadCase{"header124_topdown_bitfields",
                 spec(124, 2, -1, 32, {0, 0, 0xFF, 0, 0, 0xFF, 0, 0}, {}, 3, {0xFF0000, 0xFF00, 0xFF, 0}), {R, G}},
        ReadCase{"short_palette_past_it_black", spec(40, 3, 1, 8, {0, 1, 5, 0}, {0xFF0000, 0x00FF00}), {R, G, K}},
        // RLE8: an encoded run, an odd absolute run with its pad byte, end of
        // line, a delta over a row and a half (left at index 0), end of bitmap.
        ReadCase{"rle8_every_escape",
                 spec(40, 5, 3, 8, {2, 1, 0, 3, 2, 1, 2, 0, 0, 0, 0, 2, 2, 1, 3, 1, 0, 1},
                      {0xFFFFFF, 0xFF0000, 0x00FF00}, 1),
                 {W, W, R, R, R, W, W, W, W, W, R, R, G, R, G}},
        // RLE4: an encoded run of alternating indices, an absolute run of five
        // (three bytes, padded to four), and a stream without end of bitmap.
        ReadCase{"rle4_runs_and_padding",
                 spec(40, 5, 2, 4, {5, 0x12, 0, 0, 0, 5, 0x21, 0x21, 0x20, 0}, {0xFFFFFF, 0xFF0000, 0x00FF00}, 2),
                 {G, R, G, R, G, R, G, R, G, R}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(BitmapRead, StridesArePaddedToFourBytes)
{
    EXPECT_EQ(Bitmap::stride(176, 24), 528);
    EXPECT_EQ(Bitmap::stride(175, 24), 528);
    EXPECT_EQ(Bitmap::stride(42, 1), 8);
    EXPECT_EQ(Bitmap::stride(1, 4), 4);
    EXPECT_EQ(Bitmap(176, 68).stride(), 528);
}

TEST(BitmapRead, PicturesOfEveryHeaderWriteBackAsTheSamePixels)
{
    for (const std::uint32_t header : {12u, 40u, 52u, 56u, 108u, 124u}) {
        BmpSpec s = spec(header, 2, 2, 24, {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0}, {}, 0, {}, 2);
        const Bitmap b = load(makeBmp(s));
        const Bitmap again = load(b.encodeBmp());
        EXPECT_EQ(b.getPixel(1, 0), rgb(12, 11, 10)) << header;
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(again.getPixel(i % 2, i / 2), b.getPixel(i % 2, i / 2)) << header;
    }
}

struct HostileCase {
    const char* name;
    Bytes file;
    PictureError code;
};
void PrintTo(const HostileCase& c, std::ostream* os) { *os << c.name; }

class BitmapHostile : public ::testing::TestWithParam<HostileCase> {};

TEST_P(BitmapHostile, GivesAnEmptyPictureAndAReason)
{
    Bitmap b = gradient(4, 4);
    const auto r = b.loadBmp(GetParam().file);
    EXPECT_FALSE(r.ok());
    EXPECT_TRUE(b.empty());
    EXPECT_EQ(b.getPixel(0, 0), NoColour);
    EXPECT_EQ(r.code(), GetParam().code);
}

namespace {

Bytes truncated(Bytes b, std::size_t n)
{
    b.resize(n);
    return b;
}

Bytes withOffset(Bytes b, std::uint32_t offset)
{
    b[10] = static_cast<std::uint8_t>(offset);
    b[11] = static_cast<std::uint8_t>(offset >> 8);
    b[12] = static_cast<std::uint8_t>(offset >> 16);
    b[13] = static_cast<std::uint8_t>(offset >> 24);
    return b;
}

Bytes withImageSize(Bytes b, std::uint32_t size)
{
    for (int i = 0; i < 4; ++i)
        b[34 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(size >> (8 * i));
    return b;
}

const Bytes kGood = makeBmp(spec(40, 2, 2, 24, Bytes(16, 1)));

} // namespace

INSTANTIATE_TEST_SUITE_P(
    Table, BitmapHostile,
    ::testing::Values(
        HostileCase{"empty_file", {}, PictureError::WrongFormat},
        HostileCase{"not_bm", {'M', 'B', 0, 0}, PictureError::WrongFormat},
        HostileCase{"file_header_only", truncated(kGood, 14), PictureError::Truncated},
        HostileCase{"info_header_cut", truncated(kGood, 30), PictureError::Truncated},
        HostileCase{"pixels_cut", truncated(kGood, kGood.size() - 1), PictureError::Truncated},
        HostileCase{"zero_width", makeBmp(spec(40, 0, 2, 24, {})), PictureError::Damaged},
        HostileCase{"negative_width", makeBmp(spec(40, -5, 2, 24, {})), PictureError::Damaged},
        HostileCase{"zero_height", makeBmp(spec(40, 2, 0, 24, {})), PictureError::Damaged},
        HostileCase{"most_negative_height", makeBmp(spec(40, 2, INT32_MIN, 24, {})), PictureError::TooLarge},
        HostileCase{"huge_dimensions", makeBmp(spec(40, 30000, 30000, 24, Bytes(64, 0))), PictureError::TooLarge},
        HostileCase{"huge_width_tiny_file", makeBmp(spec(40, INT32_MAX, 1, 32, Bytes(64, 0))), PictureError::TooLarge},
        HostileCase{"offset_past_end", withOffset(kGood, 0xFFFFFFF0u), PictureError::Truncated},
        HostileCase{"offset_just_too_far", withOffset(kGood, static_cast<std::uint32_t>(kGood.size() - 15)),
                    PictureError::Truncated},
        HostileCase{"header_64", makeBmp(spec(64, 2, 2, 24, Bytes(16, 0))), PictureError::Unsupported},
        HostileCase{"header_zero", makeBmp(spec(0, 2, 2, 24, Bytes(16, 0))), PictureError::Unsupported},
        HostileCase{"header_124_cut", truncated(makeBmp(spec(124, 2, 2, 24, Bytes(16, 0))), 120),
                    PictureError::Truncated},
        HostileCase{"offset_inside_header", withOffset(kGood, 40), PictureError::Damaged},
        HostileCase{"jpeg_inside", makeBmp(spec(40, 2, 2, 24, Bytes(16, 0), {}, 4)), PictureError::Unsupported},
        HostileCase{"depth_2", makeBmp(spec(40, 2, 2, 2, Bytes(8, 0))), PictureError::Unsupported},
        HostileCase{"depth_0", makeBmp(spec(40, 2, 2, 0, Bytes(8, 0))), PictureError::Unsupported},
        HostileCase{"sixteen_bit_rle", makeBmp(spec(40, 2, 2, 16, Bytes(8, 0), {}, 1)), PictureError::Damaged},
        HostileCase{"rle4_on_8_bits", makeBmp(spec(40, 2, 2, 8, {0, 1}, {0, 0}, 2)), PictureError::Damaged},
        HostileCase{"rle8_top_down", makeBmp(spec(40, 2, -2, 8, {0, 1}, {0, 0}, 1)), PictureError::Damaged},
        HostileCase{"rle_size_past_end", withImageSize(makeBmp(spec(40, 2, 2, 8, {0, 1}, {0, 0}, 1)), 4000),
                    PictureError::Truncated},
        HostileCase{"rle_code_cut", makeBmp(spec(40, 2, 2, 8, {2, 1, 0}, {0, 0}, 1)), PictureError::Truncated},
        HostileCase{"rle_delta_cut", makeBmp(spec(40, 2, 2, 8, {0, 2, 1}, {0, 0}, 1)), PictureError::Truncated},
        HostileCase{"rle_absolute_past_end", makeBmp(spec(40, 8, 2, 8, {0, 6, 1, 1, 1}, {0, 0}, 1)),
                    PictureError::Truncated},
        HostileCase{"mask_not_contiguous", makeBmp(spec(40, 1, 1, 16, {0, 0, 0, 0}, {}, 3, {0xF00F, 0x00F0, 0x0F00})),
                    PictureError::Damaged},
        HostileCase{"masks_overlap", makeBmp(spec(40, 1, 1, 16, {0, 0, 0, 0}, {}, 3, {0xFF00, 0x0FF0, 0x000F})),
                    PictureError::Damaged},
        HostileCase{"mask_wider_than_pixel", makeBmp(spec(52, 1, 1, 16, {0, 0, 0, 0}, {}, 3, {0xF0000, 0xF0, 0xF})),
                    PictureError::Damaged},
        HostileCase{"alpha_mask_cut", truncated(makeBmp(spec(40, 1, 1, 32, {}, {}, 6, {1, 2, 4, 8})), 66),
                    PictureError::Truncated},
        HostileCase{"bitfields_on_24", makeBmp(spec(40, 2, 2, 24, Bytes(16, 0), {}, 3, {1, 2, 3})),
                    PictureError::Unsupported},
        HostileCase{"bitfield_masks_cut", truncated(makeBmp(spec(40, 1, 1, 16, {}, {}, 3, {1})), 56),
                    PictureError::Truncated},
        HostileCase{"palette_cut", truncated(makeBmp(spec(40, 1, 1, 8, {}, std::vector<std::uint32_t>(256, 1))), 200),
                    PictureError::Truncated}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(BitmapRead, HostileFilesFromTheCrashersFolder)
{
    // Files that once broke a reader stay here as named cases.
    const auto files = crasherFiles("bmp");
    EXPECT_FALSE(files.empty());
    for (const auto& f : files) {
        Bitmap b;
        b.loadBmp(readBytes(f));
    }
}

// ---------------------------------------------------------------------------
// Operations

TEST(BitmapOps, SetWidthAndHeightAnchorTopLeft)
{
    Bitmap b = gradient(176, 68);
    const Bitmap original = b;
    b.setHeight(12);
    ASSERT_EQ(b.height(), 12);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 176; x += 13)
            EXPECT_EQ(b.getPixel(x, y), original.getPixel(x, y));
    b.setWidth(100);
    EXPECT_EQ(b.getPixel(99, 11), original.getPixel(99, 11));
    b.setWidth(120);
    EXPECT_EQ(b.getPixel(50, 5), original.getPixel(50, 5));
    EXPECT_EQ(b.getPixel(110, 5), rgb(255, 255, 255));
    b.setHeight(20);
    EXPECT_EQ(b.getPixel(50, 5), original.getPixel(50, 5));
    EXPECT_EQ(b.getPixel(50, 15), rgb(255, 255, 255));
}

TEST(BitmapOps, SetPixelAndGetPixelClipSilently)
{
    Bitmap b(4, 4);
    b.setPixel(-1, 0, 0);
    b.setPixel(4, 0, 0);
    b.setPixel(0, 4, 0);
    EXPECT_EQ(b.getPixel(-1, 0), NoColour);
    EXPECT_EQ(b.getPixel(0, 4), NoColour);
    Bitmap empty;
    empty.setPixel(0, 0, 0);
    EXPECT_EQ(empty.getPixel(0, 0), NoColour);
}

TEST(BitmapOps, RowPtrStepsDownwardsThroughBottomUpRows)
{
    Bitmap b = gradient(5, 3);
    EXPECT_EQ(b.rowPtr(1) - b.rowPtr(0), b.rowStep());
    EXPECT_EQ(b.rowPtr(2)[0], blueOf(b.getPixel(0, 2)));
    EXPECT_EQ(b.rowPtr(2)[2], redOf(b.getPixel(0, 2)));
}

TEST(BitmapStretch, GrowingByOneRepeatsExactlyOneColumn)
{
    const Bitmap src = gradient(176, 68);
    Bitmap dst(176, 68);
    dst.stretchCopy({0, 0, 176, 68}, src, {1, 0, 176, 68});
    std::vector<Colour> row;
    for (int x = 0; x < 176; ++x)
        row.push_back(dst.getPixel(x, 10));
    // Columns 1..175 in increasing order, exactly one of them twice.
    std::set<Colour> distinct(row.begin(), row.end());
    EXPECT_EQ(distinct.size(), 175u);
    EXPECT_EQ(row.front(), src.getPixel(1, 10));
    EXPECT_EQ(row.back(), src.getPixel(175, 10));
    for (int x = 1; x < 176; ++x)
        EXPECT_TRUE(row[static_cast<std::size_t>(x)] == row[static_cast<std::size_t>(x - 1)]
                    || row[static_cast<std::size_t>(x)] != src.getPixel(0, 10));
}

TEST(BitmapStretch, GrowingBothAxesRepeatsOneColumnAndOneRow)
{
    const Bitmap src = gradient(27, 4);
    Bitmap dst(28, 5);
    dst.stretchCopy({0, 0, 28, 5}, src, {0, 0, 27, 4});
    std::set<Colour> firstRow, firstColumn;
    for (int x = 0; x < 28; ++x)
        firstRow.insert(dst.getPixel(x, 0));
    for (int y = 0; y < 5; ++y)
        firstColumn.insert(dst.getPixel(0, y));
    EXPECT_EQ(firstRow.size(), 27u);
    EXPECT_EQ(firstColumn.size(), 4u);
}

TEST(BitmapStretch, ShrinkingTakesColumnsInIncreasingOrder)
{
    const Bitmap src = gradient(40, 8);
    Bitmap dst(10, 2);
    dst.stretchCopy({0, 0, 10, 2}, src, {0, 0, 40, 8});
    for (int x = 0; x < 10; ++x)
        EXPECT_EQ(dst.getPixel(x, 1), src.getPixel(4 * x, 4));
}

TEST(BitmapStretch, OverlappingCopyOntoItselfShiftsLeft)
{
    Bitmap b = gradient(10, 3);
    const Bitmap original = b;
    b.stretchCopy({0, 0, 9, 3}, b, {1, 0, 10, 3});
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 9; ++x)
            EXPECT_EQ(b.getPixel(x, y), original.getPixel(x + 1, y));
        EXPECT_EQ(b.getPixel(9, y), original.getPixel(9, y));
    }
    // And to the right, where a naive forward copy would smear one column.
    Bitmap c = original;
    c.stretchCopy({1, 0, 10, 3}, c, {0, 0, 9, 3});
    for (int x = 1; x < 10; ++x)
        EXPECT_EQ(c.getPixel(x, 1), original.getPixel(x - 1, 1));
}

TEST(BitmapStretch, DestinationOutsideThePictureIsDropped)
{
    const Bitmap src = gradient(4, 4);
    Bitmap dst(4, 4);
    dst.stretchCopy({-2, -2, 2, 2}, src, {0, 0, 4, 4});
    EXPECT_EQ(dst.getPixel(0, 0), src.getPixel(2, 2));
    EXPECT_EQ(dst.getPixel(2, 2), rgb(255, 255, 255));
    Bitmap empty;
    dst.stretchCopy({0, 0, 4, 4}, empty, {0, 0, 4, 4});
    EXPECT_EQ(dst.getPixel(0, 0), src.getPixel(2, 2));
}

TEST(BitmapPaint, MaskedDrawEqualsKeyedDraw)
{
    Bitmap picture = gradient(12, 9);
    const Colour key = picture.getPixel(0, 0);
    picture.setPixel(5, 5, key);
    picture.setPixel(11, 8, key);
    Bitmap mask = picture;
    mask.makeMask(key);
    EXPECT_EQ(mask.depth(), 1);
    EXPECT_EQ(mask.getPixel(0, 0), rgb(255, 255, 255));
    EXPECT_EQ(mask.getPixel(5, 5), rgb(255, 255, 255));
    EXPECT_EQ(mask.getPixel(1, 0), rgb(0, 0, 0));

    RgbImage keyed(20, 20, rgb(1, 2, 3)), masked(20, 20, rgb(1, 2, 3));
    picture.drawKeyed(keyed, 3, -2, key);
    picture.drawMasked(masked, 3, -2, mask);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(keyed.pixel(x, y), masked.pixel(x, y)) << x << "," << y;
    EXPECT_EQ(keyed.pixel(3 + 5, 5 - 2), rgb(1, 2, 3));
    EXPECT_EQ(keyed.pixel(3 + 1, 0), picture.getPixel(1, 2));
}

TEST(BitmapPaint, MaskBitsMixSurfaceAndPicture)
{
    Bitmap picture(1, 1);
    picture.setPixel(0, 0, rgb(0xF0, 0x0F, 0xAA));
    Bitmap mask(1, 1);
    mask.setPixel(0, 0, rgb(0xFF, 0x00, 0x0F));
    RgbImage surface(1, 1, rgb(0x11, 0x22, 0x33));
    picture.drawMasked(surface, 0, 0, mask);
    EXPECT_EQ(surface.pixel(0, 0), rgb(0x11, 0x0F, 0xA3));
}

TEST(BitmapPaint, EmptyPictureAndNoColourKey)
{
    Bitmap empty;
    RgbImage s(4, 4, rgb(5, 5, 5));
    empty.drawKeyed(s, 0, 0, empty.getPixel(0, 0));
    empty.draw(s, 0, 0);
    EXPECT_EQ(s.pixel(0, 0), rgb(5, 5, 5));
    Bitmap one(2, 2);
    one.setPixel(0, 0, rgb(255, 255, 255));
    one.drawKeyed(s, 0, 0, NoColour);   // a plain draw
    EXPECT_EQ(s.pixel(0, 0), rgb(255, 255, 255));
}

TEST(BitmapOps, MakeMaskOfOneColourIsAllWhiteAndOfAUniqueCornerIsOneWhitePixel)
{
    Bitmap plain(7, 3);
    plain.makeMask(plain.getPixel(0, 0));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 7; ++x)
            EXPECT_EQ(plain.getPixel(x, y), rgb(255, 255, 255));
    Bitmap g = gradient(7, 3);
    g.makeMask(g.getPixel(0, 0));
    int white = 0;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 7; ++x)
            white += g.getPixel(x, y) == rgb(255, 255, 255);
    EXPECT_EQ(white, 1);
    EXPECT_EQ(g.getPixel(0, 0), rgb(255, 255, 255));
}


// The bmconv program, run as the theme builder runs it: in its working
// folder, on a command file, with backslash slot names.
#include "picture/bitmap.h"
#include "avkon_depths.h"
#include "mbm/mbm.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>

using namespace kastra;
namespace fs = std::filesystem;

namespace {

struct RunResult {
    int code = -1;
    std::string out;
    std::string err;
};

std::string text(const fs::path& p)
{
    const auto b = readBytes(p);
    return std::string(b.begin(), b.end());
}

void writeText(const fs::path& p, const std::string& s)
{
    writeBytes(p, Bytes(s.begin(), s.end()));
}

// Runs the real executable with dir as its current directory. args go to a
// shell, so tests quote what needs it.
RunResult bmconv(const fs::path& dir, const std::string& args)
{
    const fs::path out = dir / ".stdout";
    const fs::path err = dir / ".stderr";
    const std::string cmd = "cd '" + dir.string() + "' && '" KASTRA_BIN_DIR "/bmconv' " + args + " >'" + out.string()
                            + "' 2>'" + err.string() + "'";
    const int status = std::system(cmd.c_str());
    RunResult r;
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = text(out);
    r.err = text(err);
    fs::remove(out);
    fs::remove(err);
    return r;
}

// A 24-bit BMP written by hand, so that its header is under the test's
// control: pels per metre, top-down rows, a gap before the pixels.
Bytes bmp24(int w, int h, const std::vector<mbm::Rgb>& px, std::int32_t ppm = 0, bool topDown = false,
            std::uint32_t gap = 0)
{
    const std::size_t row = (static_cast<std::size_t>(w) * 3 + 3) & ~std::size_t{3};
    Bytes out;
    ByteWriter wr(out);
    wr.u8('B');
    wr.u8('M');
    wr.u32(static_cast<std::uint32_t>(54 + gap + row * static_cast<std::size_t>(h)));
    wr.u32(0);
    wr.u32(54 + gap);
    wr.u32(40);
    wr.i32(w);
    wr.i32(topDown ? -h : h);
    wr.u16(1);
    wr.u16(24);
    wr.u32(0);
    wr.u32(0);
    wr.i32(ppm);
    wr.i32(ppm);
    wr.u32(0);
    wr.u32(0);
    wr.fill(gap, 0xAB);
    for (int fileRow = 0; fileRow < h; ++fileRow) {
        const int y = topDown ? fileRow : h - 1 - fileRow;
        for (int x = 0; x < w; ++x) {
            const mbm::Rgb c = px[static_cast<std::size_t>(y * w + x)];
            wr.u8(c.b);
            wr.u8(c.g);
            wr.u8(c.r);
        }
        wr.fill(row - static_cast<std::size_t>(w) * 3, 0);
    }
    return out;
}

std::vector<mbm::Rgb> icon(std::mt19937& rng, int w, int h)
{
    // Flat areas with some noise, like a drawn icon.
    std::vector<mbm::Rgb> px(static_cast<std::size_t>(w * h));
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> len(1, 12);
    mbm::Rgb c{};
    int left = 0;
    for (auto& p : px) {
        if (left-- <= 0) {
            c = {static_cast<std::uint8_t>(byte(rng)), static_cast<std::uint8_t>(byte(rng)),
                 static_cast<std::uint8_t>(byte(rng))};
            left = len(rng);
        }
        p = c;
    }
    return px;
}

std::vector<mbm::Rgb> pixelsOf(const fs::path& bmpFile)
{
    Bitmap b;
    const auto bytes = readBytes(bmpFile);
    EXPECT_TRUE(b.loadBmp(bytes).ok()) << bmpFile;
    std::vector<mbm::Rgb> px;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) {
            const Colour c = b.getPixel(x, y);
            px.push_back({static_cast<std::uint8_t>(redOf(c)), static_cast<std::uint8_t>(greenOf(c)),
                          static_cast<std::uint8_t>(blueOf(c))});
        }
    return px;
}

// The pixels an unpack must give back for a picture packed at a mode.
std::vector<mbm::Rgb> reduced(mbm::Mode mode, int w, int h, const std::vector<mbm::Rgb>& px)
{
    auto bm = mbm::makeBitmap(mode, w, h, px, 0, 0);
    EXPECT_TRUE(bm.ok());
    std::vector<mbm::Rgb> out;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            out.push_back(bm->pixel(x, y));
    return out;
}

std::string slot(const char* folder, int i)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s\\%03d.bmp", folder, i);
    return buf;
}

fs::path slotPath(const fs::path& dir, const char* folder, int i)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%03d.bmp", i);
    return dir / folder / buf;
}

using kastra::test::avkonDepths;

mbm::Mode avkonMode(int i)
{
    const char d = avkonDepths()[static_cast<std::size_t>(i)];
    return d == 'c' ? mbm::Mode{8, true} : d == 'm' ? mbm::Mode{1, false} : mbm::Mode{12, true};
}

} // namespace

TEST(Bmconv, AvkonPackListAndUnpackListsInBothLayouts)
{
    TempDir dir;
    fs::create_directories(dir.path() / "Avkon");
    fs::create_directories(dir.path() / "SIS");
    std::mt19937 rng(508);
    std::vector<std::vector<mbm::Rgb>> pictures;
    std::vector<mbm::MbmBitmap> expected;
    std::string packList = "SIS\\Avkon.mbm\r\n";
    for (int i = 0; i < 508; ++i) {
        const int w = 8 + i % 37, h = 6 + i % 29;
        pictures.push_back(icon(rng, w, h));
        writeBytes(slotPath(dir.path(), "Avkon", i), bmp24(w, h, pictures.back(), 2835));
        const mbm::Mode mode = avkonMode(i);
        packList += mbm::modeName(mode) + slot("Avkon", i) + "\r\n";
        expected.push_back(*mbm::makeBitmap(mode, w, h, pictures.back(), mbm::twipsFromPelsPerMetre(w, 2835),
                                            mbm::twipsFromPelsPerMetre(h, 2835)));
    }
    writeText(dir.path() / "com.txt", packList);
    const RunResult pack = bmconv(dir.path(), "com.txt");
    ASSERT_EQ(pack.code, 0) << pack.err;
    EXPECT_EQ(pack.err, "");
    EXPECT_EQ(readBytes(dir.path() / "SIS" / "Avkon.mbm"), *mbm::writeMbm(expected, mbm::Store::Compressed));

    // Unpack, one name per line, into fresh slots.
    fs::copy_file(dir.path() / "SIS" / "Avkon.mbm", dir.path() / "Avkon.mbm");
    fs::remove_all(dir.path() / "Avkon");
    fs::create_directories(dir.path() / "Avkon");
    std::string unpackList = "/u Avkon.mbm\r\n";
    for (int i = 0; i < 508; ++i)
        unpackList += slot("Avkon", i) + "\r\n";
    writeText(dir.path() / "com.txt", unpackList);
    const RunResult unpack = bmconv(dir.path(), "com.txt");
    ASSERT_EQ(unpack.code, 0) << unpack.err;
    for (int i = 0; i < 508; ++i) {
        const fs::path p = slotPath(dir.path(), "Avkon", i);
        EXPECT_EQ(readBytes(p), mbm::encodeUnpackedBmp(expected[static_cast<std::size_t>(i)])) << i;
        const int w = 8 + i % 37, h = 6 + i % 29;
        ASSERT_EQ(pixelsOf(p), reduced(avkonMode(i), w, h, pictures[static_cast<std::size_t>(i)])) << i;
    }

    // All names on one line, as for the banners.
    writeText(dir.path() / "com.txt", "/u Avkon.mbm\r\nOne.bmp Two.bmp Three.bmp\r\n");
    const RunResult oneLine = bmconv(dir.path(), "com.txt");
    ASSERT_EQ(oneLine.code, 0) << oneLine.err;
    EXPECT_EQ(readBytes(dir.path() / "Three.bmp"), readBytes(slotPath(dir.path(), "Avkon", 2)));
}

TEST(Bmconv, SignalAndBannerPackLists)
{
    TempDir dir;
    fs::create_directories(dir.path() / "Signal");
    fs::create_directories(dir.path() / "SIS");
    std::mt19937 rng(12);
    // AvkonEx.mbm: twelve lines, /c4 for 000, /c12 for 001-005, /1 after.
    std::vector<mbm::MbmBitmap> signal;
    std::string list = "SIS\\AvkonEx.mbm\r\n";
    for (int i = 0; i < 12; ++i) {
        const auto px = icon(rng, 16 + i, 12);
        writeBytes(slotPath(dir.path(), "Signal", i), bmp24(16 + i, 12, px));
        const mbm::Mode mode = i == 0 ? mbm::Mode{4, true} : i <= 5 ? mbm::Mode{12, true} : mbm::Mode{1, false};
        list += mbm::modeName(mode) + slot("Signal", i) + "\r\n";
        signal.push_back(*mbm::makeBitmap(mode, 16 + i, 12, px, 0, 0));
    }
    writeText(dir.path() / "com.txt", list);
    const RunResult ex = bmconv(dir.path(), "com.txt");
    ASSERT_EQ(ex.code, 0) << ex.err;
    EXPECT_EQ(readBytes(dir.path() / "SIS" / "AvkonEx.mbm"), *mbm::writeMbm(signal, mbm::Store::Compressed));

    // EidPic.mbm: five /c24 entries on one line, unpacked again onto one line.
    const char* banners[] = {"SplashTop.bmp", "Top1.bmp", "Top2.bmp", "Top3.bmp", "Top4.bmp"};
    std::vector<std::vector<mbm::Rgb>> pictures;
    list = "SIS\\EidPic.mbm\r\n";
    std::string names;
    for (const char* name : banners) {
        pictures.push_back(icon(rng, 176, 44));
        writeBytes(dir.path() / name, bmp24(176, 44, pictures.back()));
        list += std::string(name == banners[0] ? "" : " ") + "/c24" + name;
        names += std::string(name == banners[0] ? "" : " ") + name;
    }
    writeText(dir.path() / "com.txt", list + "\r\n");
    const RunResult eid = bmconv(dir.path(), "com.txt");
    ASSERT_EQ(eid.code, 0) << eid.err;
    for (const char* name : banners)
        fs::remove(dir.path() / name);
    writeText(dir.path() / "com.txt", "/u SIS\\EidPic.mbm\r\n" + names + "\r\n");
    const RunResult back = bmconv(dir.path(), "com.txt");
    ASSERT_EQ(back.code, 0) << back.err;
    for (std::size_t i = 0; i < 5; ++i)
        EXPECT_EQ(pixelsOf(dir.path() / banners[i]), pictures[i]) << banners[i];
}

TEST(Bmconv, CommandLineFormsAndTwips)
{
    TempDir dir;
    const std::vector<mbm::Rgb> px = {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}, {100, 110, 120}};
    writeBytes(dir.path() / "a.bmp", bmp24(2, 2, px, 3779));
    writeBytes(dir.path() / "b.bmp", bmp24(2, 2, px));
    const RunResult pack = bmconv(dir.path(), "out.mbm /c24a.bmp b.bmp");
    ASSERT_EQ(pack.code, 0) << pack.err;
    auto file = mbm::readMbm(readBytes(dir.path() / "out.mbm"));
    ASSERT_TRUE(file.ok()) << file.error();
    ASSERT_EQ(file->size(), 2u);
    // 2 px at 3779 pixels per metre: 2 * 1440000 / 254 / 3779 = 3 twips.
    EXPECT_EQ((*file)[0].header.twipsWidth, 3);
    EXPECT_EQ((*file)[0].mode(), (mbm::Mode{24, true}));
    EXPECT_EQ((*file)[1].mode(), (mbm::Mode{2, false})) << "no prefix means /2";
    EXPECT_EQ((*file)[1].header.twipsWidth, 0);

    const RunResult unpack = bmconv(dir.path(), "/u out.mbm x.bmp y.bmp");
    ASSERT_EQ(unpack.code, 0) << unpack.err;
    EXPECT_EQ(pixelsOf(dir.path() / "x.bmp"), px);
    EXPECT_EQ(pixelsOf(dir.path() / "y.bmp"), reduced({2, false}, 2, 2, px));

    const RunResult info = bmconv(dir.path(), "/v out.mbm");
    ASSERT_EQ(info.code, 0) << info.err;
    EXPECT_NE(info.out.find("containing 2 bitmaps"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("24 Bpp Colour"), std::string::npos) << info.out;

    const RunResult raw = bmconv(dir.path(), "/n raw.mbm /c24a.bmp");
    ASSERT_EQ(raw.code, 0) << raw.err;
    auto rawFile = readBytes(dir.path() / "raw.mbm");
    EXPECT_EQ(le32(rawFile.data() + 20 + 36), 0u) << "/n stores uncompressed";
}

TEST(Bmconv, GreySwitchOnAndOff)
{
    TempDir dir;
    const std::vector<mbm::Rgb> px = {{128, 128, 128}, {192, 192, 192}, {128, 128, 128}, {192, 192, 192}};
    writeBytes(dir.path() / "g.bmp", bmp24(2, 2, px));
    struct Case {
        const char* commandFile;
        const char* output;
        mbm::Rgb grey;
        mbm::Rgb silver;
    } cases[] = {
        {"plain.mbm\r\n/c4g.bmp\r\n", "plain.mbm", {0xAA, 0xAA, 0xAA}, {0xFF, 0xFF, 0xFF}},
        {"/g sdk.mbm\r\n/c4g.bmp\r\n", "sdk.mbm", {0x55, 0x55, 0x55}, {0xAA, 0xAA, 0xAA}},
        {"/g\r\nsdk24.mbm /c24g.bmp\r\n", "sdk24.mbm", {127, 127, 127}, {187, 187, 187}},
        {"plain24.mbm /c24g.bmp\r\n", "plain24.mbm", {128, 128, 128}, {192, 192, 192}},
    };
    for (const auto& c : cases) {
        writeText(dir.path() / "com.txt", c.commandFile);
        const RunResult pack = bmconv(dir.path(), "com.txt");
        ASSERT_EQ(pack.code, 0) << pack.err;
        auto file = mbm::readMbm(readBytes(dir.path() / c.output));
        ASSERT_TRUE(file.ok()) << c.output;
        EXPECT_EQ((*file)[0].pixel(0, 0), c.grey) << c.commandFile;
        EXPECT_EQ((*file)[0].pixel(1, 0), c.silver) << c.commandFile;
    }
    // With /g the file equals what the SDK tool writes: the library's
    // substitution, byte for byte.
    mbm::ReduceOptions sdk;
    sdk.sdkGreys = true;
    EXPECT_EQ(readBytes(dir.path() / "sdk.mbm"),
              *mbm::writeMbm({*mbm::makeBitmap({4, true}, 2, 2, px, 0, 0, sdk)}, mbm::Store::Compressed));
}

TEST(Bmconv, ReadsEveryKindOfBmpThePictureLibraryReads)
{
    TempDir dir;
    std::mt19937 rng(16);
    const int w = 13, h = 7;
    const auto px = icon(rng, w, h);
    std::vector<std::pair<std::string, Bytes>> files = {
        {"top-down.bmp", bmp24(w, h, px, 0, true)},
        {"gap.bmp", bmp24(w, h, px, 0, false, 36)},
    };
    for (int depth : {1, 4, 8, 16, 32}) {
        Bitmap b = Bitmap::create(w, h, depth);
        if (depth <= 8) {
            std::vector<Colour> palette;
            for (int i = 0; i < (1 << depth); ++i)
                palette.push_back(rgb(static_cast<unsigned>(i * 37), static_cast<unsigned>(255 - i), static_cast<unsigned>(i * 11)));
            b.setPalette(palette);
        }
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const mbm::Rgb c = px[static_cast<std::size_t>(y * w + x)];
                b.setPixel(x, y, depth <= 8 ? b.palette()[static_cast<std::size_t>(c.r) % b.palette().size()] : rgb(c.r, c.g, c.b));
            }
        files.emplace_back("depth" + std::to_string(depth) + ".bmp", b.encodeBmp());
    }
    std::string list = "all.mbm\r\n";
    for (const auto& [name, bytes] : files) {
        writeBytes(dir.path() / name, bytes);
        list += "/c24" + name + "\r\n";
    }
    writeText(dir.path() / "com.txt", list);
    const RunResult pack = bmconv(dir.path(), "com.txt");
    ASSERT_EQ(pack.code, 0) << pack.err;
    auto file = mbm::readMbm(readBytes(dir.path() / "all.mbm"));
    ASSERT_TRUE(file.ok());
    ASSERT_EQ(file->size(), files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        const auto want = pixelsOf(dir.path() / files[i].first);
        std::vector<mbm::Rgb> got;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                got.push_back((*file)[i].pixel(x, y));
        EXPECT_EQ(got, want) << files[i].first;
        if (i < 2) {
            EXPECT_EQ(got, px) << files[i].first;
        }
    }
}

TEST(Bmconv, LastCommandFileEntryWithoutLineBreakIsKept)
{
    TempDir dir;
    writeBytes(dir.path() / "a.bmp", bmp24(1, 1, {{1, 2, 3}}));
    writeText(dir.path() / "com.txt", "out.mbm\r\n/c24a.bmp\r\n/c12a.bmp");
    const RunResult r = bmconv(dir.path(), "com.txt");
    ASSERT_EQ(r.code, 0) << r.err;
    auto file = mbm::readMbm(readBytes(dir.path() / "out.mbm"));
    ASSERT_TRUE(file.ok());
    EXPECT_EQ(file->size(), 2u);
}

TEST(Bmconv, FailuresNameTheFileAndKeepTheOutput)
{
    TempDir dir;
    fs::create_directories(dir.path() / "SIS");
    writeBytes(dir.path() / "a.bmp", bmp24(1, 1, {{1, 2, 3}}));
    writeText(dir.path() / "not-a-bmp.bmp", "hello");
    const Bytes previous = {1, 2, 3, 4};
    writeBytes(dir.path() / "SIS" / "out.mbm", previous);

    struct Case {
        const char* commandFile;
        const char* message;
    } cases[] = {
        {"SIS\\out.mbm\r\n/c24a.bmp\r\n/c24missing.bmp\r\n", "missing.bmp"},
        {"SIS\\out.mbm\r\n/c24a.bmp /c8not-a-bmp.bmp\r\n", "not-a-bmp.bmp"},
        {"SIS\\out.mbm\r\n/c7a.bmp\r\n", "invalid bitmap mode in /c7a.bmp"},
        {"/x SIS\\out.mbm\r\n/c24a.bmp\r\n", "unknown option /x"},
        {"SIS\\out.mbm /g /c24a.bmp\r\n", "/g"},
        {"/hSIS\\out.h SIS\\out.mbm\r\n/c24a.bmp\r\n/1gone.bmp\r\n", "gone.bmp"},
    };
    for (const auto& c : cases) {
        writeText(dir.path() / "com.txt", c.commandFile);
        const RunResult r = bmconv(dir.path(), "com.txt");
        EXPECT_NE(r.code, 0) << c.commandFile;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(readBytes(dir.path() / "SIS" / "out.mbm"), previous) << c.commandFile;
        EXPECT_FALSE(fs::exists(dir.path() / "SIS" / "out.h"));
    }
    const RunResult noFile = bmconv(dir.path(), "absent.txt");
    EXPECT_NE(noFile.code, 0);
    EXPECT_NE(noFile.err.find("absent.txt"), std::string::npos) << noFile.err;

    // Nothing but the temporary-free output is left behind.
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path() / "SIS"))
        ++entries;
    EXPECT_EQ(entries, 1);
}

TEST(Bmconv, UnpackFailures)
{
    TempDir dir;
    writeBytes(dir.path() / "a.bmp", bmp24(2, 1, {{1, 2, 3}, {4, 5, 6}}));
    ASSERT_EQ(bmconv(dir.path(), "two.mbm /c24a.bmp /c8a.bmp").code, 0);

    // Fewer bitmaps than names: the two are written, the shortfall reported.
    writeText(dir.path() / "com.txt", "/u two.mbm\r\nx.bmp y.bmp z.bmp\r\n");
    const RunResult shortfall = bmconv(dir.path(), "com.txt");
    EXPECT_NE(shortfall.code, 0);
    EXPECT_TRUE(fs::exists(dir.path() / "x.bmp"));
    EXPECT_TRUE(fs::exists(dir.path() / "y.bmp"));
    EXPECT_FALSE(fs::exists(dir.path() / "z.bmp"));
    EXPECT_NE(shortfall.err.find("holds 2 bitmaps"), std::string::npos) << shortfall.err;
    EXPECT_NE(shortfall.err.find("z.bmp"), std::string::npos) << shortfall.err;

    // An unreadable MBM: one line naming it, nothing written.
    writeText(dir.path() / "junk.mbm", "this is not a multi-bitmap file");
    const RunResult junk = bmconv(dir.path(), "/u junk.mbm j.bmp");
    EXPECT_NE(junk.code, 0);
    EXPECT_NE(junk.err.find("junk.mbm"), std::string::npos) << junk.err;
    EXPECT_FALSE(fs::exists(dir.path() / "j.bmp"));
    const RunResult missing = bmconv(dir.path(), "/u nowhere.mbm j.bmp");
    EXPECT_NE(missing.code, 0);
    EXPECT_NE(missing.err.find("nowhere.mbm"), std::string::npos) << missing.err;

    // A damaged bitmap in the middle: the others are still written.
    Bytes two = readBytes(dir.path() / "two.mbm");
    ByteWriter(two).patch32(20 + 36, 9); // unknown compression for bitmap 0
    writeBytes(dir.path() / "damaged.mbm", two);
    const RunResult damaged = bmconv(dir.path(), "/u damaged.mbm d0.bmp d1.bmp");
    EXPECT_NE(damaged.code, 0);
    EXPECT_NE(damaged.err.find("bitmap 0"), std::string::npos) << damaged.err;
    EXPECT_FALSE(fs::exists(dir.path() / "d0.bmp"));
    EXPECT_EQ(readBytes(dir.path() / "d1.bmp"), readBytes(dir.path() / "y.bmp"));
}

// An unpack over slots that already hold its pictures leaves those files
// alone (same inode, same time) and replaces everything else under a name.
TEST(Bmconv, UnpackRewritesOnlyWhatDiffers)
{
    TempDir dir;
    const fs::path d = dir.path();
    std::mt19937 rng(7);
    std::string pack = "six.mbm\r\n", unpack = "/u six.mbm\r\n";
    for (int i = 0; i < 6; ++i) {
        const std::string name = "s" + std::to_string(i) + ".bmp";
        writeBytes(d / name, bmp24(5 + i, 4, icon(rng, 5 + i, 4)));
        pack += "/c12" + name + "\r\n";
        unpack += name + "\r\n";
    }
    writeText(d / "pack.txt", pack);
    writeText(d / "unpack.txt", unpack);
    ASSERT_EQ(bmconv(d, "pack.txt").code, 0);
    ASSERT_EQ(bmconv(d, "unpack.txt").code, 0);
    std::vector<Bytes> expected;
    for (int i = 0; i < 6; ++i)
        expected.push_back(readBytes(d / ("s" + std::to_string(i) + ".bmp")));
    writeBytes(d / "outside.bmp", expected[3]);

    enum class Kind { Same, OtherBytes, Truncated, LinkToSame, Fifo, Missing };
    const struct {
        Kind kind;
        bool kept;
    } cases[] = {{Kind::Same, true},        {Kind::OtherBytes, false}, {Kind::Truncated, false},
                 {Kind::LinkToSame, false}, {Kind::Fifo, false},       {Kind::Missing, false}};
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(48);
    std::vector<ino_t> inodes;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const fs::path p = d / ("s" + std::to_string(i) + ".bmp");
        fs::remove(p);
        switch (cases[i].kind) {
        case Kind::Same: writeBytes(p, expected[i]); break;
        case Kind::OtherBytes: writeBytes(p, Bytes(expected[i].size(), 0x5A)); break;
        case Kind::Truncated: writeBytes(p, Bytes(expected[i].begin(), expected[i].end() - 1)); break;
        case Kind::LinkToSame: fs::create_symlink(d / "outside.bmp", p); break;
        case Kind::Fifo: ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); break;
        case Kind::Missing: break;
        }
        if (fs::is_regular_file(fs::symlink_status(p)))
            fs::last_write_time(p, old);
        struct stat st{};
        inodes.push_back(::lstat(p.c_str(), &st) == 0 ? st.st_ino : 0);
    }
    const RunResult again = bmconv(d, "unpack.txt");
    ASSERT_EQ(again.code, 0) << again.err;
    EXPECT_NE(again.out.find("unpacked 6 of 6 bitmaps, 5 files written"), std::string::npos) << again.out;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const fs::path p = d / ("s" + std::to_string(i) + ".bmp");
        struct stat st{};
        ASSERT_EQ(::lstat(p.c_str(), &st), 0) << i;
        EXPECT_TRUE(S_ISREG(st.st_mode)) << i;
        EXPECT_EQ(readBytes(p), expected[i]) << i;
        EXPECT_EQ(st.st_ino == inodes[i], cases[i].kept) << i;
        EXPECT_EQ(fs::last_write_time(p) == old, cases[i].kept) << i;
    }
    EXPECT_EQ(readBytes(d / "outside.bmp"), expected[3]);
}

TEST(Bmconv, HeaderAndPaletteOptions)
{
    TempDir dir;
    writeBytes(dir.path() / "Icon.bmp", bmp24(1, 1, {{250, 10, 10}}));
    std::string palette;
    for (int i = 0; i < 256; ++i)
        palette += i == 77 ? "0x000000F0\n" : "0x00FFFFFF\n";
    writeText(dir.path() / "pal.txt", palette);
    const RunResult r = bmconv(dir.path(), "/q /hOut.mbg /ppal.txt out.mbm /c8Icon.bmp");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "") << "/q";
    EXPECT_NE(text(dir.path() / "Out.mbg").find("EMbmOutIcon"), std::string::npos);
    auto file = mbm::readMbm(readBytes(dir.path() / "out.mbm"));
    ASSERT_TRUE(file.ok());
    EXPECT_EQ((*file)[0].data[0], 77) << "the nearest colour of the custom palette";
}

// The converter bridge: com.txt byte for byte, the theme-file operations
// through the real bmconv, the corner masks and the fatal I/O errors.
#include "avkon_depths.h"
#include "converter/converter.h"
#include "workspace/payloads.h"
#include "workspace_fixture.h"
#include "converter/setup.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <set>

using namespace kastra;
using namespace kastra::test;

namespace {

// "Avkon\007.bmp" written out with printf, independently of slotName.
std::string numbered(const char* folder, int i)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s\\%03d.bmp", folder, i);
    return buf;
}

std::string perLine(const char* folder, int count)
{
    std::string out;
    for (int i = 0; i < count; ++i)
        out += numbered(folder, i) + "\r\n";
    return out;
}

std::string text(const QByteArray& bytes)
{
    return bytes.toStdString();
}

// ---------------------------------------------------------------------------
// Command files

struct UnpackCase {
    const char* mbm;
    QStringList names;
    UnpackLayout layout;
    std::string expected;
};

void PrintTo(const UnpackCase& c, std::ostream* os)
{
    *os << c.mbm << (c.layout == UnpackLayout::OneLine ? " one line" : " one per line");
}

class UnpackLists : public ::testing::TestWithParam<UnpackCase> {};

TEST_P(UnpackLists, AreByteForByte)
{
    EXPECT_EQ(text(UnpackCommandFile(GetParam().mbm, GetParam().names, GetParam().layout)), GetParam().expected);
}

const std::string kBanners = "SplashTop.bmp Top1.bmp Top2.bmp Top3.bmp Top4.bmp\r\n";
const std::string kBackground = "Back.bmp About.bmp\r\n";

INSTANTIATE_TEST_SUITE_P(
    EveryUse, UnpackLists,
    ::testing::Values(
        UnpackCase{"Avkon.mbm", slotNames(SlotFolder::Avkon), UnpackLayout::OnePerLine,
                   "/u Avkon.mbm\r\n" + perLine("Avkon", 508)},
        UnpackCase{"AvkonEx.mbm", slotNames(SlotFolder::Signal), UnpackLayout::OnePerLine,
                   "/u AvkonEx.mbm\r\n" + perLine("Signal", 12)},
        UnpackCase{"menu_folders.mbm", slotNames(SlotFolder::Menu), UnpackLayout::OnePerLine,
                   "/u menu_folders.mbm\r\n" + perLine("Menu", 24)},
        UnpackCase{"EidPic.mbm", bannerSlotNames(), UnpackLayout::OneLine, "/u EidPic.mbm\r\n" + kBanners},
        UnpackCase{"backgroundimage.mbm", backgroundSlotNames(), UnpackLayout::OneLine,
                   "/u backgroundimage.mbm\r\n" + kBackground},
        UnpackCase{"Eid.mbm", bannerSlotNames(), UnpackLayout::OneLine, "/u Eid.mbm\r\n" + kBanners},
        UnpackCase{"Avk.mbm", slotNames(SlotFolder::Avkon), UnpackLayout::OnePerLine,
                   "/u Avk.mbm\r\n" + perLine("Avkon", 508)},
        UnpackCase{"AvkEx.mbm", slotNames(SlotFolder::Signal), UnpackLayout::OnePerLine,
                   "/u AvkEx.mbm\r\n" + perLine("Signal", 12)},
        UnpackCase{"Back.mbm", backgroundSlotNames(), UnpackLayout::OneLine, "/u Back.mbm\r\n" + kBackground}));

TEST(UnpackList, FirstStartIsTheAvkonListExactly)
{
    const QByteArray bytes = UnpackCommandFile("Avkon.mbm", slotNames(SlotFolder::Avkon), UnpackLayout::OnePerLine);
    EXPECT_TRUE(bytes.startsWith("/u Avkon.mbm\r\nAvkon\\000.bmp\r\nAvkon\\001.bmp\r\n"));
    EXPECT_TRUE(bytes.endsWith("\r\nAvkon\\507.bmp\r\n"));
    EXPECT_EQ(bytes.count("\r\n"), 509);
    EXPECT_EQ(bytes.count('\n'), 509);   // no bare line feeds
}

std::string signalPackList()
{
    std::string s = "SIS\\AvkonEx.mbm\r\n";
    for (int i = 0; i < 12; ++i)
        s += std::string(i == 0 ? "/c4" : i <= 5 ? "/c12" : "/1") + numbered("Signal", i) + "\r\n";
    return s;
}

std::string menuPackList()
{
    std::string s = "SIS\\menu_folders.mbm\r\n";
    for (int i = 0; i < 24; ++i)
        s += std::string(i % 2 ? "/1" : "/c12") + numbered("Menu", i) + "\r\n";
    return s;
}

std::string avkonPackList()
{
    const std::string& depths = avkonDepths();
    std::string s = "SIS\\Avkon.mbm\r\n";
    for (int i = 0; i < 508; ++i)
        s += std::string(depths[static_cast<std::size_t>(i)] == 'c'   ? "/c8"
                         : depths[static_cast<std::size_t>(i)] == 'm' ? "/1"
                                                                       : "/c12")
             + numbered("Avkon", i) + "\r\n";
    return s;
}

struct PackCase {
    ThemeFileOpCode code;
    std::string expected;
    int lines;
};

void PrintTo(const PackCase& c, std::ostream* os)
{
    *os << "code " << static_cast<int>(c.code);
}

class PackLists : public ::testing::TestWithParam<PackCase> {};

TEST_P(PackLists, AreByteForByte)
{
    const QByteArray bytes = PackCommandFile(GetParam().code);
    EXPECT_EQ(text(bytes), GetParam().expected);
    EXPECT_EQ(bytes.count("\r\n"), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, PackLists,
    ::testing::Values(
        PackCase{ThemeFileOpCode::PackEidPic,
                 "SIS\\EidPic.mbm\r\n/c24SplashTop.bmp /c24Top1.bmp /c24Top2.bmp /c24Top3.bmp /c24Top4.bmp\r\n", 2},
        PackCase{ThemeFileOpCode::PackBackground, "SIS\\backgroundimage.mbm\r\n/c24Back.bmp /c24About.bmp\r\n", 2},
        PackCase{ThemeFileOpCode::PackAvkon, avkonPackList(), 509},
        PackCase{ThemeFileOpCode::PackAvkonEx, signalPackList(), 13},
        PackCase{ThemeFileOpCode::PackMenuFolders, menuPackList(), 25},
        PackCase{ThemeFileOpCode::WriteConverter, "", 0}, PackCase{ThemeFileOpCode::WriteNoImageBanner, "", 0}));

TEST(PackList, AvkonListIsThe8917BytePayload)
{
    EXPECT_EQ(PackCommandFile(ThemeFileOpCode::PackAvkon).size(), 8917);
}

// ---------------------------------------------------------------------------
// Theme-file operations on a prepared workspace

class Operations : public WorkspaceTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(PrepareWorkspace(ws, false, false));
    }
};

struct WrittenCommandCase {
    ThemeFileOpCode code;
    const char* packed;
};

void PrintTo(const WrittenCommandCase& c, std::ostream* os)
{
    *os << c.packed;
}

class WrittenCommands : public Operations, public ::testing::WithParamInterface<WrittenCommandCase> {};

TEST_P(WrittenCommands, ComTxtIsThePackListAndTheFileIsPacked)
{
    // Give EidPic and the background their slots, which a plain start lacks.
    for (QChar n : {u'1', u'2', u'3', u'4'})
        ThemeFileOp(ws, ThemeFileOpCode::WriteNoImageBanner, n);
    writePicture(root() / "Back.bmp", picture(176, 132, [](int x, int y) { return rgb(x, y, 0); }));

    EXPECT_TRUE(*ThemeFileOp(ws, GetParam().code));
    EXPECT_EQ(readBytes(root() / "com.txt"), bytesOf(PackCommandFile(GetParam().code)));
    EXPECT_TRUE(fs::is_regular_file(root() / "SIS" / GetParam().packed));
}

INSTANTIATE_TEST_SUITE_P(Codes, WrittenCommands,
                         ::testing::Values(WrittenCommandCase{ThemeFileOpCode::PackEidPic, "EidPic.mbm"},
                                           WrittenCommandCase{ThemeFileOpCode::PackBackground,
                                                              "backgroundimage.mbm"},
                                           WrittenCommandCase{ThemeFileOpCode::PackAvkon, "Avkon.mbm"},
                                           WrittenCommandCase{ThemeFileOpCode::PackAvkonEx, "AvkonEx.mbm"},
                                           WrittenCommandCase{ThemeFileOpCode::PackMenuFolders,
                                                              "menu_folders.mbm"}));

TEST_F(Operations, AvkonExDerivesTheSignalMasksButNotTheNoSignalMask)
{
    // The user's 'No Signal' mask and an edited signal picture.
    const Bitmap noSignalMask = picture(32, 12, [](int x, int) { return x < 16 ? rgb(0, 0, 0) : rgb(255, 255, 255); });
    writePicture(slot(SlotFolder::Signal, 6), noSignalMask);
    const Bitmap edited = picture(32, 12, [](int x, int y) { return x == y ? rgb(255, 0, 0) : rgb(0, 0, 255); });
    writePicture(slot(SlotFolder::Signal, 3), edited);

    ASSERT_TRUE(*ThemeFileOp(ws, ThemeFileOpCode::PackAvkonEx));

    const Bitmap mask = readPicture(slot(SlotFolder::Signal, 9));
    ASSERT_EQ(mask.depth(), 1);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 32; ++x)
            ASSERT_EQ(mask.getPixel(x, y), x == y ? rgb(255, 255, 255) : rgb(0, 0, 0)) << x << "," << y;

    const auto packed = readMbmFile(root() / "SIS" / "AvkonEx.mbm");
    ASSERT_EQ(packed.size(), 12u);
    const mbm::Mode expected[] = {{4, true},  {12, true}, {12, true}, {12, true}, {12, true}, {12, true},
                                  {1, false}, {1, false}, {1, false}, {1, false}, {1, false}, {1, false}};
    for (std::size_t i = 0; i < 12; ++i)
        EXPECT_EQ(packed[i].mode(), expected[i]) << i;
    // 006 went in as the user drew it; 009 is the new mask.
    EXPECT_EQ(packed[6].pixel(0, 0), (mbm::Rgb{0, 0, 0}));
    EXPECT_EQ(packed[6].pixel(20, 0), (mbm::Rgb{255, 255, 255}));
    // The corner's red runs down the diagonal.
    EXPECT_EQ(packed[9].pixel(4, 4), (mbm::Rgb{255, 255, 255}));
    EXPECT_EQ(packed[9].pixel(5, 4), (mbm::Rgb{0, 0, 0}));
}

TEST_F(Operations, MenuFoldersDeriveEveryOddSlot)
{
    for (int i = 0; i < 24; i += 2)
        writePicture(slot(SlotFolder::Menu, i),
                     picture(6, 5, [i](int x, int y) { return x + y == i % 7 ? rgb(1, 2, 3) : rgb(200, 100, 50); }));
    ASSERT_TRUE(*ThemeFileOp(ws, ThemeFileOpCode::PackMenuFolders));
    const auto packed = readMbmFile(root() / "SIS" / "menu_folders.mbm");
    ASSERT_EQ(packed.size(), 24u);
    for (int i = 1; i < 24; i += 2) {
        const Bitmap colour = readPicture(slot(SlotFolder::Menu, i - 1));
        const auto& m = packed[static_cast<std::size_t>(i)];
        ASSERT_EQ(m.mode(), (mbm::Mode{1, false})) << i;
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 6; ++x) {
                const bool key = colour.getPixel(x, y) == colour.getPixel(0, 0);
                EXPECT_EQ(m.pixel(x, y).r, key ? 255 : 0) << i << ": " << x << "," << y;
            }
    }
}

TEST_F(Operations, FailedPackLeavesNoStaleFileBehind)
{
    // An earlier pack (or package build) left SIS\EidPic.mbm; now Top3.bmp
    // is missing, so bmconv fails and the old file must not pass for new.
    for (QChar n : {u'1', u'2', u'3', u'4'})
        ThemeFileOp(ws, ThemeFileOpCode::WriteNoImageBanner, n);
    ASSERT_TRUE(*ThemeFileOp(ws, ThemeFileOpCode::PackEidPic));
    fs::remove(root() / "Top3.bmp");
    EXPECT_FALSE(*ThemeFileOp(ws, ThemeFileOpCode::PackEidPic));
    EXPECT_FALSE(fs::exists(root() / "SIS" / "EidPic.mbm"));
}

TEST_F(Operations, AvkonPackListThatCannotBeWrittenRunsNothing)
{
    ASSERT_TRUE(*ThemeFileOp(ws, ThemeFileOpCode::PackAvkon));
    const Bytes menuSlot = readBytes(slot(SlotFolder::Menu, 0));
    const Bytes packed = readBytes(root() / "SIS" / "Avkon.mbm");
    // A folder where com.txt should be: the pack list cannot replace it.
    fs::remove(root() / "com.txt");
    fs::create_directories(root() / "com.txt" / "x");
    EXPECT_FALSE(ThemeFileOp(ws, ThemeFileOpCode::PackAvkon));
    EXPECT_EQ(readBytes(root() / "SIS" / "Avkon.mbm"), packed);
    EXPECT_EQ(readBytes(slot(SlotFolder::Menu, 0)), menuSlot);
}

TEST_F(Operations, BackgroundPackAlwaysCarriesTheAboutPicture)
{
    writePicture(root() / "Back.bmp", picture(176, 132, [](int, int) { return rgb(1, 1, 1); }));
    writePicture(root() / "About.bmp", picture(3, 3, [](int, int) { return rgb(2, 2, 2); }));
    ASSERT_TRUE(*ThemeFileOp(ws, ThemeFileOpCode::PackBackground));
    EXPECT_EQ(bytesOf(*payloadBytes(Payload::About, {})), readBytes(root() / "About.bmp"));
    const auto packed = readMbmFile(root() / "SIS" / "backgroundimage.mbm");
    ASSERT_EQ(packed.size(), 2u);
    EXPECT_EQ(packed[1].header.width, 143);
    EXPECT_EQ(packed[1].header.height, 101);
}

TEST_F(Operations, NoImageBannerWritesOnlyTheSchemesBanner)
{
    std::set<fs::path> before;
    for (const auto& e : fs::recursive_directory_iterator(root()))
        before.insert(e.path());
    EXPECT_TRUE(*ThemeFileOp(ws, ThemeFileOpCode::WriteNoImageBanner, u'2'));
    std::set<fs::path> after;
    for (const auto& e : fs::recursive_directory_iterator(root()))
        after.insert(e.path());
    before.insert(root() / "Top2.bmp");
    EXPECT_EQ(after, before);
    EXPECT_EQ(readBytes(root() / "Top2.bmp"), bytesOf(*payloadBytes(Payload::NoImage, {})));
}

TEST_F(Operations, ConverterThatIsNotThereFails)
{
    fs::remove(root() / "bmconv.exe");
    ASSERT_TRUE(WriteCommandFile(ws, UnpackCommandFile("AvkonEx.mbm", slotNames(SlotFolder::Signal), UnpackLayout::OnePerLine)));
    EXPECT_FALSE(RunConverter(ws));
    ThemeFileOp(ws, ThemeFileOpCode::WriteConverter);
    EXPECT_TRUE(RunConverter(ws));
}

// ---------------------------------------------------------------------------
// Corner masks

using CornerMask = WorkspaceTest;

struct MaskCase {
    const char* what;
    Colour (*colourAt)(int x, int y);
    Colour (*expected)(int x, int y);
};

void PrintTo(const MaskCase& c, std::ostream* os)
{
    *os << c.what;
}

class CornerMasks : public WorkspaceTest, public ::testing::WithParamInterface<MaskCase> {};

TEST_P(CornerMasks, FollowTheCornerColour)
{
    fs::create_directories(root());
    writePicture(root() / "c.bmp", picture(9, 7, GetParam().colourAt));
    MakeCornerMask(ws, "c.bmp", "m.bmp");
    const Bitmap mask = readPicture(root() / "m.bmp");
    ASSERT_EQ(mask.depth(), 1);
    ASSERT_EQ(mask.width(), 9);
    ASSERT_EQ(mask.height(), 7);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x)
            EXPECT_EQ(mask.getPixel(x, y), GetParam().expected(x, y)) << GetParam().what << " " << x << "," << y;
}

constexpr Colour kWhite = 0x00FFFFFF;
constexpr Colour kBlack = 0;

INSTANTIATE_TEST_SUITE_P(
    Pictures, CornerMasks,
    ::testing::Values(
        MaskCase{"one colour", [](int, int) { return rgb(12, 34, 56); }, [](int, int) { return kWhite; }},
        MaskCase{"unique corner", [](int x, int y) { return x == 0 && y == 0 ? rgb(1, 0, 0) : rgb(0, 0, 0); },
                 [](int x, int y) { return x == 0 && y == 0 ? kWhite : kBlack; }},
        MaskCase{"near colours differ",
                 [](int x, int) { return x % 2 ? rgb(100, 100, 101) : rgb(100, 100, 100); },
                 [](int x, int) { return x % 2 ? kBlack : kWhite; }}));

TEST_F(CornerMask, UnreadableColourSlotLeavesTheMask)
{
    fs::create_directories(root());
    writePicture(root() / "m.bmp", picture(4, 4, [](int x, int) { return x ? kWhite : kBlack; }));
    const Bytes mask = readBytes(root() / "m.bmp");
    writeBytes(root() / "broken.bmp", Bytes{'B', 'M', 1, 2, 3});
    MakeCornerMask(ws, "broken.bmp", "m.bmp");
    MakeCornerMask(ws, "missing.bmp", "m.bmp");
    EXPECT_EQ(readBytes(root() / "m.bmp"), mask);
}

TEST_F(CornerMask, SlotNamesUseBackslashes)
{
    fs::create_directories(root() / "Avkon");
    writePicture(slot(SlotFolder::Avkon, 445), picture(44, 12, [](int, int) { return rgb(5, 5, 5); }));
    MakeCornerMask(ws, "Avkon\\445.bmp", "Avkon\\446.bmp");
    EXPECT_EQ(readPicture(root() / "Avkon" / "446.bmp").getPixel(43, 11), kWhite);
}

// ---------------------------------------------------------------------------
// A command file that cannot be written

// A full disk in life; a folder in com.txt's place here. The operation that
// needed the command file fails with the reason, the converter does not
// run (it would carry out whatever com.txt held before), nothing of the
// workspace changes, and the next operation works once com.txt can be
// written again.
TEST_F(Operations, CommandFileThatCannotBeWrittenFailsOnlyItsOperation)
{
    ASSERT_TRUE(*ThemeFileOp(ws, ThemeFileOpCode::PackMenuFolders));
    const Bytes packed = readBytes(root() / "SIS" / "menu_folders.mbm");
    const Bytes icon = readBytes(slot(SlotFolder::Menu, 0));
    const Bytes mask = readBytes(slot(SlotFolder::Menu, 1));
    writePicture(slot(SlotFolder::Menu, 0), picture(42, 29, [](int x, int y) { return rgb(x, y, 3); }));
    const Bytes edited = readBytes(slot(SlotFolder::Menu, 0));
    fs::remove(root() / "com.txt");
    fs::create_directory(root() / "com.txt");

    const Result<bool> unpacked = Unpack(ws, "menu_folders.mbm", slotNames(SlotFolder::Menu), UnpackLayout::OnePerLine);
    ASSERT_FALSE(unpacked);
    EXPECT_NE(unpacked.error().find("com.txt"), std::string::npos) << unpacked.error();
    EXPECT_EQ(readBytes(slot(SlotFolder::Menu, 0)), edited);
    const Result<bool> pack = ThemeFileOp(ws, ThemeFileOpCode::PackMenuFolders);
    EXPECT_FALSE(pack);
    EXPECT_EQ(readBytes(root() / "SIS" / "menu_folders.mbm"), packed);
    EXPECT_EQ(readBytes(slot(SlotFolder::Menu, 1)), mask);
    EXPECT_TRUE(CommandFileRefused(Error{pack.error()}).text.contains(QStringLiteral("com.txt")));

    fs::remove(root() / "com.txt");
    EXPECT_TRUE(*Unpack(ws, "menu_folders.mbm", slotNames(SlotFolder::Menu), UnpackLayout::OnePerLine));
    EXPECT_EQ(readBytes(slot(SlotFolder::Menu, 0)), icon);
}

// A root that is not there any more fails the operation: nothing is made in
// its place below a path that now names something else.
TEST_F(WorkspaceTest, RootThatIsGoneFailsTheOperation)
{
    EXPECT_FALSE(Unpack(ws, "Avkon.mbm", {}, UnpackLayout::OnePerLine));
    EXPECT_FALSE(ThemeFileOp(ws, ThemeFileOpCode::PackEidPic));
    EXPECT_FALSE(fs::exists(root()));
}

} // namespace

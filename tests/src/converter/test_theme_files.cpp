// Loading and saving the five theme files between the program folder and the
// workspace, through the real bmconv, and what happens when they are missing
// or broken.
#include "avkon_depths.h"
#include "converter/converter.h"
#include "converter/theme_files.h"
#include "workspace_fixture.h"
#include "converter/setup.h"
#include "converter/slot_backup.h"
#include "workspace/payloads.h"

#include <gtest/gtest.h>

#include <ostream>
#include <sys/stat.h>
#include <tuple>

namespace kastra {
void PrintTo(ThemeFile f, std::ostream* os)
{
    *os << themeFileName(f).toStdString();
}
} // namespace kastra

using namespace kastra;
using namespace kastra::test;

namespace {

mbm::Mode menuMode(std::size_t i)
{
    return i % 2 == 0 ? mbm::Mode{12, true} : mbm::Mode{1, false};
}

// The depths of the Avkon pack list.
mbm::Mode avkonMode(std::size_t i)
{
    const char letter = avkonDepths()[i];
    return letter == 'c' ? mbm::Mode{8, true} : letter == 't' ? mbm::Mode{12, true} : mbm::Mode{1, false};
}

// 508 pictures of one colour: the slots the program shows at their fixed
// sizes, all others size x size.
std::vector<Bitmap> avkonOf(int size, Colour colour)
{
    std::vector<Bitmap> out;
    for (int i = 0; i < 508; ++i) {
        int w = size, h = size;
        for (const auto& [index, fw, fh] : {std::tuple{136, 42, 29}, {138, 44, 44}, {202, 30, 40}, {445, 44, 12}})
            if (i == index || i == index + 1)
                w = fw, h = fh;
        out.push_back(picture(w, h, [colour](int, int) { return colour; }));
    }
    return out;
}

// The file's inode: the same file, not merely the same bytes.
std::uintmax_t fileId(const fs::path& p)
{
    struct stat st{};
    return ::lstat(p.c_str(), &st) == 0 ? static_cast<std::uintmax_t>(st.st_ino) : 0;
}

class ThemeFiles : public WorkspaceTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(PrepareWorkspace(ws, false, false));
        // What a plain start lacks: banners and a background.
        for (QChar n : {u'1', u'2', u'3', u'4'})
            ThemeFileOp(ws, ThemeFileOpCode::WriteNoImageBanner, n);
        writePicture(root() / "Back.bmp", picture(176, 132, [](int x, int y) { return rgb(x, y, 0); }));
    }

    // Every workspace file a load of this theme file may change.
    std::vector<fs::path> loadTargets(ThemeFile file) const
    {
        QStringList names;
        switch (file) {
        case ThemeFile::EidPic:
            names = bannerSlotNames();
            names << "Temp1.bmp" << "Temp2.bmp" << "Temp3.bmp" << "Temp4.bmp";
            break;
        case ThemeFile::Background: names = backgroundSlotNames(); break;
        case ThemeFile::Avkon: names = slotNames(SlotFolder::Avkon) << "Avkon.mbm"; break;
        case ThemeFile::AvkonEx: names = slotNames(SlotFolder::Signal) << "AvkonEx.mbm"; break;
        case ThemeFile::MenuFolders: names = slotNames(SlotFolder::Menu) << "menu_folders.mbm"; break;
        }
        std::vector<fs::path> out;
        for (const QString& n : names)
            out.push_back(slot(n));
        return out;
    }
};

const ThemeFile kAllFiles[] = {ThemeFile::EidPic, ThemeFile::Background, ThemeFile::Avkon, ThemeFile::AvkonEx,
                               ThemeFile::MenuFolders};

std::string fileLabel(const ::testing::TestParamInfo<ThemeFile>& info)
{
    const char* names[] = {"EidPic", "Background", "Avkon", "AvkonEx", "MenuFolders"};
    return names[static_cast<int>(info.param)];
}

class EveryThemeFile : public ThemeFiles, public ::testing::WithParamInterface<ThemeFile> {};

// ---------------------------------------------------------------------------
// Missing files

TEST_P(EveryThemeFile, MissingFileAsksForItAndChangesNothing)
{
    const auto targets = loadTargets(GetParam());
    const auto before = snapshot(targets);
    const Outcome out = LoadThemeFile(ws, GetParam());
    EXPECT_EQ(out.icon, MessageIcon::Information);
    // The second line names the folder the program uses, which is not always
    // the executable's.
    EXPECT_EQ(out.text, "Поместите файл " + themeFileName(GetParam()) + " в директорию с программой !\nПапка программы: "
                               + QString::fromStdString(program().parent_path().string()));
    EXPECT_EQ(snapshot(targets), before);
}

// ---------------------------------------------------------------------------
// Round trips: save, change the slots, load, and the slots are back

TEST_P(EveryThemeFile, SaveThenLoadGivesTheSlotsBack)
{
    const Outcome saved = SaveThemeFile(ws, GetParam());
    ASSERT_TRUE(saved.ok) << saved.text.toStdString();
    EXPECT_TRUE(saved.text.isEmpty());
    const fs::path file = program() / themeFileName(GetParam()).toStdString();
    ASSERT_TRUE(fs::is_regular_file(file));
    EXPECT_EQ(readBytes(file), readBytes(root() / "SIS" / file.filename()));

    // Packing reduced the colours; what the load gives back is the packed
    // picture, so compare against a first load.
    ASSERT_TRUE(LoadThemeFile(ws, GetParam()).ok);
    const auto targets = loadTargets(GetParam());
    const auto loaded = snapshot(targets);
    const Bitmap scribble = picture(3, 3, [](int, int) { return rgb(1, 2, 3); });
    for (const fs::path& p : targets)
        if (p.extension() == ".bmp")
            writePicture(p, scribble);
    ASSERT_TRUE(LoadThemeFile(ws, GetParam()).ok);
    EXPECT_EQ(snapshot(targets), loaded);
    EXPECT_FALSE(fs::exists(root() / "LoadBackup"));
}

// ---------------------------------------------------------------------------
// Failures keep what was there

TEST_P(EveryThemeFile, FailedSaveKeepsTheProgramFolderFile)
{
    const fs::path file = program() / themeFileName(GetParam()).toStdString();
    const Bytes old = {'o', 'l', 'd'};
    writeBytes(file, old);
    // A first pack leaves SIS\<file>, which a failed second one must not
    // pass off as its result.
    ASSERT_TRUE(*ThemeFileOp(ws, [] (ThemeFile f) {
        const ThemeFileOpCode codes[] = {ThemeFileOpCode::PackEidPic, ThemeFileOpCode::PackBackground,
                                         ThemeFileOpCode::PackAvkon, ThemeFileOpCode::PackAvkonEx,
                                         ThemeFileOpCode::PackMenuFolders};
        return codes[static_cast<int>(f)];
    }(GetParam())));
    // A slot bmconv cannot read: bytes that are no picture.
    const QString broken = GetParam() == ThemeFile::EidPic       ? QStringLiteral("Top1.bmp")
                           : GetParam() == ThemeFile::Background ? QStringLiteral("Back.bmp")
                           : GetParam() == ThemeFile::Avkon      ? slotName(SlotFolder::Avkon, 100)
                           : GetParam() == ThemeFile::AvkonEx    ? slotName(SlotFolder::Signal, 0)
                                                                 : slotName(SlotFolder::Menu, 2);
    writeBytes(slot(broken), {'n', 'o', ' ', 'p', 'i', 'c'});

    const Outcome out = SaveThemeFile(ws, GetParam());

    EXPECT_FALSE(out.ok);
    EXPECT_EQ(out.text, "Не удалось сохранить файл " + themeFileName(GetParam()) + ".");
    EXPECT_EQ(readBytes(file), old);
}

struct Damage {
    const char* what;
    // The bytes of the damaged file, from a good one.
    Bytes (*make)(const Bytes& good);
};

void PrintTo(const Damage& d, std::ostream* os)
{
    *os << d.what;
}

class DamagedLoads : public ThemeFiles, public ::testing::WithParamInterface<std::tuple<ThemeFile, Damage>> {};

TEST_P(DamagedLoads, LeaveTheWorkspaceAsItWas)
{
    const auto [file, damage] = GetParam();
    ASSERT_TRUE(SaveThemeFile(ws, file).ok);
    const fs::path programFile = program() / themeFileName(file).toStdString();
    writeBytes(programFile, damage.make(readBytes(programFile)));
    // The workspace differs from the saved file, so a half-done load would
    // show.
    const Bitmap scribble = picture(3, 3, [](int, int) { return rgb(1, 2, 3); });
    const auto targets = loadTargets(file);
    for (const fs::path& p : targets)
        if (p.extension() == ".bmp")
            writePicture(p, scribble);
    fs::remove(root() / "Top4.bmp");   // a slot that did not exist stays away
    const auto before = snapshot(targets);

    const Outcome out = LoadThemeFile(ws, file);

    EXPECT_FALSE(out.ok) << damage.what;
    EXPECT_TRUE(out.text.startsWith("Не удалось загрузить файл " + themeFileName(file) + ".\n"))
        << out.text.toStdString();
    EXPECT_EQ(snapshot(targets), before) << damage.what;
    EXPECT_FALSE(fs::exists(root() / "Top4.bmp"));
    EXPECT_FALSE(fs::exists(root() / "LoadBackup"));
}

// A valid file that holds one bitmap fewer than the unpack names: bmconv
// writes all the others before it fails.
Bytes dropLastBitmap(const Bytes& good)
{
    auto bitmaps = mbm::readMbm(good);
    if (!bitmaps || bitmaps->empty())
        return {};
    bitmaps->pop_back();
    auto bytes = mbm::writeMbm(*bitmaps, mbm::Store::Compressed);
    return bytes ? *bytes : Bytes{};
}

Bytes truncateHalf(const Bytes& good)
{
    return Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(good.size() / 2));
}

Bytes notAnMbm(const Bytes&)
{
    return Bytes(64, 0x5A);
}

INSTANTIATE_TEST_SUITE_P(Files, DamagedLoads,
                         ::testing::Combine(::testing::ValuesIn(kAllFiles),
                                            ::testing::Values(Damage{"one bitmap short", dropLastBitmap},
                                                              Damage{"cut in half", truncateHalf},
                                                              Damage{"not an MBM", notAnMbm})));

INSTANTIATE_TEST_SUITE_P(Files, EveryThemeFile, ::testing::ValuesIn(kAllFiles), fileLabel);

// A valid MBM of the wrong kind behind a load button, or one whose sizes or
// depths do not fit, is refused with the reason; no slot changes. The
// default Avkon.mbm, whose depths differ from the pack list at five indices,
// is taken.
TEST_F(ThemeFiles, WrongKindOfMbmIsRefusedOnEveryButton)
{
    const auto payload = [](Payload which) {
        const auto bytes = payloadBytes(which, {});
        return Bytes(bytes->begin(), bytes->end());
    };
    const fs::path scratchFile = dir.path() / "scratch.mbm";
    writeMbmOf(scratchFile, std::vector<Bitmap>(12, picture(42, 29, [](int, int) { return rgb(1, 2, 3); })),
               [](std::size_t i) { return i == 0 ? mbm::Mode{4, true} : i <= 5 ? mbm::Mode{12, true} : mbm::Mode{1, false}; });
    const Bytes signalsOfMenuSize = readBytes(scratchFile);
    writeMbmOf(scratchFile, {picture(176, 12, [](int, int) { return rgb(1, 2, 3); })});
    const struct {
        ThemeFile file;
        Bytes bytes;
        const char* reason;
    } cases[] = {
        {ThemeFile::EidPic, payload(Payload::AvkonEx), "Картинок в файле: 12, а должно быть 5."},
        {ThemeFile::Background, payload(Payload::MenuFolders), "Картинок в файле: 24, а должно быть 2."},
        {ThemeFile::Avkon, payload(Payload::MenuFolders), "Картинок в файле: 24, а должно быть 508."},
        {ThemeFile::AvkonEx, payload(Payload::MenuFolders), "Картинок в файле: 24, а должно быть 12."},
        {ThemeFile::MenuFolders, payload(Payload::AvkonEx), "Картинок в файле: 12, а должно быть 24."},
        {ThemeFile::AvkonEx, signalsOfMenuSize, "Картинка №0 (Signal\\000.bmp) размером 42 × 29, а должна быть 32 × 12."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        writeBytes(program() / themeFileName(c.file).toStdString(), c.bytes);
        const auto targets = loadTargets(c.file);
        const auto before = snapshot(targets);
        const Outcome out = LoadThemeFile(ws, c.file);
        EXPECT_FALSE(out.ok);
        EXPECT_EQ(out.text, "Не удалось загрузить файл " + themeFileName(c.file) + ".\n" + QString::fromUtf8(c.reason));
        EXPECT_EQ(snapshot(targets), before);
    }
    writeBytes(program() / "Avkon.mbm", payload(Payload::Avkon));
    EXPECT_TRUE(LoadThemeFile(ws, ThemeFile::Avkon).ok);
    // A background 175 pixels wide, as the picture import makes it with the
    // side strips at the bottom, fits "BackGr".
    writeMbmOf(program() / "backgroundimage.mbm", {picture(175, 132, [](int x, int) { return rgb(x, 9, 9); }),
                                                     picture(143, 101, [](int, int) { return rgb(1, 2, 3); })});
    const Outcome narrow = LoadThemeFile(ws, ThemeFile::Background);
    EXPECT_TRUE(narrow.ok) << narrow.text.toStdString();
    EXPECT_EQ(readPicture(root() / "Back.bmp").width(), 175);
}

// A picture the save packs but the workspace lacks stops the save with its
// name: the user's file stays as it was. Signal\006.bmp, the 'No Signal'
// mask, is the one mask the pack does not derive.
TEST_F(ThemeFiles, SaveWithAPictureMissingNamesItAndKeepsTheFile)
{
    const struct {
        ThemeFile file;
        const char* slot;
        const char* what;
    } cases[] = {
        {ThemeFile::AvkonEx, "Signal/006.bmp", "маски для 'No Signal' (Signal\\006.bmp)"},
        {ThemeFile::EidPic, "SplashTop.bmp", "верхушки загрузки (SplashTop.bmp)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.slot);
        const fs::path file = program() / themeFileName(c.file).toStdString();
        writeBytes(file, {'o', 'l', 'd'});
        fs::remove(root() / c.slot);
        const Outcome out = SaveThemeFile(ws, c.file);
        EXPECT_FALSE(out.ok);
        EXPECT_TRUE(out.text.contains(QStringLiteral("Нет картинки ") + QString::fromUtf8(c.what)))
            << out.text.toStdString();
        EXPECT_EQ(readBytes(file), Bytes({'o', 'l', 'd'}));
    }
}

// ---------------------------------------------------------------------------
// Particular files

TEST_F(ThemeFiles, SavingAvkonRightAfterStartRecomputesTheFourMasks)
{
    // Masks that no longer fit their pictures, as after an edit.
    const std::pair<int, int> pairs[] = {{136, 137}, {138, 139}, {202, 203}, {445, 446}};
    for (auto [colour, mask] : pairs) {
        const Bitmap c = readPicture(slot(SlotFolder::Avkon, colour));
        writePicture(slot(SlotFolder::Avkon, mask), picture(c.width(), c.height(), [](int, int) { return kastra::Colour{0}; }));
    }

    ASSERT_TRUE(SaveThemeFile(ws, ThemeFile::Avkon).ok);

    const auto packed = readMbmFile(program() / "Avkon.mbm");
    ASSERT_EQ(packed.size(), 508u);
    const std::string& depths = avkonDepths();
    for (std::size_t i = 0; i < 508; ++i) {
        const mbm::Mode want = depths[i] == 'c' ? mbm::Mode{8, true} : depths[i] == 'm' ? mbm::Mode{1, false}
                                                                                         : mbm::Mode{12, true};
        ASSERT_EQ(packed[i].mode(), want) << i;
    }
    for (auto [colour, mask] : pairs) {
        Bitmap expected = readPicture(slot(SlotFolder::Avkon, colour));
        expected.makeMask(expected.getPixel(0, 0));
        const auto& m = packed[static_cast<std::size_t>(mask)];
        ASSERT_EQ(m.header.width, expected.width());
        ASSERT_EQ(m.header.height, expected.height());
        int white = 0;
        for (int y = 0; y < expected.height(); ++y)
            for (int x = 0; x < expected.width(); ++x) {
                const bool isWhite = expected.getPixel(x, y) == 0x00FFFFFFu;
                white += isWhite;
                ASSERT_EQ(m.pixel(x, y).r, isWhite ? 255 : 0) << mask << ": " << x << "," << y;
            }
        EXPECT_GT(white, 0) << mask;   // the corner at least
    }
}

TEST_F(ThemeFiles, LoadThenSaveMenuFolders)
{
    // 24 bitmaps whose odd ones are nothing like masks.
    std::vector<Bitmap> icons;
    for (int i = 0; i < 24; ++i)
        icons.push_back(picture(i % 4 < 2 ? 42 : 44, i % 4 < 2 ? 29 : 44, [i](int x, int y) {
            return (x * y) % (i + 3) == 0 ? rgb(255, 255, 255) : rgb(16 * (i % 16), 0, 240);
        }));
    writeMbmOf(program() / "menu_folders.mbm", icons, menuMode);
    const Bytes mine = readBytes(program() / "menu_folders.mbm");

    ASSERT_TRUE(LoadThemeFile(ws, ThemeFile::MenuFolders).ok);
    EXPECT_EQ(readBytes(root() / "menu_folders.mbm"), mine);
    ASSERT_TRUE(SaveThemeFile(ws, ThemeFile::MenuFolders).ok);

    const auto packed = readMbmFile(program() / "menu_folders.mbm");
    ASSERT_EQ(packed.size(), 24u);
    for (std::size_t i = 0; i < 24; i += 2) {
        const auto& colour = packed[i];
        const auto& mask = packed[i + 1];
        ASSERT_EQ(colour.mode(), (mbm::Mode{12, true})) << i;
        ASSERT_EQ(mask.mode(), (mbm::Mode{1, false})) << i;
        ASSERT_EQ(mask.header.width, colour.header.width);
        for (int y = 0; y < colour.header.height; ++y)
            for (int x = 0; x < colour.header.width; ++x) {
                const bool key = colour.pixel(x, y) == colour.pixel(0, 0);
                ASSERT_EQ(mask.pixel(x, y).r, key ? 255 : 0) << i << ": " << x << "," << y;
            }
    }
}

TEST_F(ThemeFiles, LoadingEidPicCutsTheTopStrips)
{
    std::vector<Bitmap> banners = {picture(176, 12, [](int x, int) { return rgb(x, 0, 0); })};
    for (int n = 1; n <= 4; ++n)
        banners.push_back(picture(176, 68, [n](int x, int y) { return rgb(x, y * 3, 60 * n); }));
    writeMbmOf(program() / "EidPic.mbm", banners);
    writePicture(root() / "Temp2.bmp", picture(5, 5, [](int, int) { return rgb(1, 1, 1); }));

    ASSERT_TRUE(LoadThemeFile(ws, ThemeFile::EidPic).ok);

    for (QChar n : {u'1', u'2', u'3', u'4'}) {
        const Bitmap top = readPicture(slot(topSlot(n)));
        const Bitmap strip = readPicture(slot(tempSlot(n)));
        ASSERT_EQ(top.width(), 176);
        ASSERT_EQ(top.height(), 68);
        ASSERT_EQ(strip.width(), 176);
        ASSERT_EQ(strip.height(), 12);
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 176; ++x)
                ASSERT_EQ(strip.getPixel(x, y), top.getPixel(x, y)) << n.toLatin1() << ": " << x << "," << y;
        EXPECT_EQ(top.getPixel(7, 20), rgb(7, 60, 60 * (n.unicode() - '0')));
    }
}

// A theme file another tool wrote: the background at 16 bits, the about
// picture at 32 bits with alpha and of its own size. It loads as the
// pictures it holds.
TEST_F(ThemeFiles, BackgroundFileAtSixteenAndThirtyTwoBitsLoads)
{
    const auto make = [](mbm::Mode mode, int w, int h) {
        std::vector<mbm::Rgb> pixels;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                pixels.push_back(mbm::Rgb{static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(3 * y),
                                          static_cast<std::uint8_t>(x + y)});
        return *mbm::makeBitmap(mode, w, h, pixels, 0, 0);
    };
    std::vector<mbm::MbmBitmap> bitmaps = {make({16, true}, 176, 132), make({32, true}, 120, 90)};
    bitmaps[1].header.colour = 2;
    writeBytes(program() / "backgroundimage.mbm", *mbm::writeMbm(bitmaps, mbm::Store::Compressed));

    const Outcome out = LoadThemeFile(ws, ThemeFile::Background);
    ASSERT_TRUE(out.ok) << out.text.toStdString();
    for (std::size_t i = 0; i < 2; ++i) {
        const Bitmap got = readPicture(slot(i == 0 ? "Back.bmp" : "About.bmp"));
        ASSERT_EQ(got.width(), bitmaps[i].header.width);
        ASSERT_EQ(got.height(), bitmaps[i].header.height);
        for (int y = 0; y < got.height(); ++y)
            for (int x = 0; x < got.width(); ++x) {
                const mbm::Rgb p = bitmaps[i].pixel(x, y);
                ASSERT_EQ(got.getPixel(x, y), rgb(p.r, p.g, p.b)) << i << ": " << x << "," << y;
            }
    }
}

TEST_F(ThemeFiles, LoadingAvkonTwiceKeepsTheWorkspacesOwnAvkon)
{
    const Bytes ownAvkon = readBytes(root() / "Avkon.mbm");
    writeMbmOf(program() / "Avkon.mbm", avkonOf(2, rgb(8, 8, 8)), avkonMode);
    ASSERT_TRUE(LoadThemeFile(ws, ThemeFile::Avkon).ok);
    writeMbmOf(program() / "Avkon.mbm", avkonOf(3, rgb(9, 9, 9)), avkonMode);
    ASSERT_TRUE(LoadThemeFile(ws, ThemeFile::Avkon).ok);

    EXPECT_EQ(readBytes(root() / "Avk.mbm"), readBytes(program() / "Avkon.mbm"));
    EXPECT_EQ(readBytes(root() / "Avkon.mbm"), ownAvkon);
    EXPECT_EQ(readPicture(slot(SlotFolder::Avkon, 0)).width(), 3);
    EXPECT_EQ(readPicture(slot(SlotFolder::Avkon, 507)).width(), 3);
}

// A load whose converter fails after it has replaced some slots gives every
// slot back byte for byte, however the slots were kept aside: under second
// names for our bmconv (here stopped half way by a folder standing where
// slot 300 belongs), as copies for a converter from the program folder,
// which may write into the slot files themselves (here every one, before it
// fails).
TEST_F(ThemeFiles, ConverterFailingHalfWayGivesEverySlotBack)
{
    writeMbmOf(program() / "Avkon.mbm", avkonOf(2, rgb(8, 8, 8)), avkonMode);
    const auto targets = loadTargets(ThemeFile::Avkon);
    int n = 0;
    for (const fs::path& p : targets)
        if (p.extension() == ".bmp") {
            ++n;
            writePicture(p, picture(3, 3, [n](int, int) { return rgb(n & 0xFF, n >> 8, 1); }));
        }
    fs::remove(slot(SlotFolder::Avkon, 300));
    fs::create_directory(slot(SlotFolder::Avkon, 300));
    std::vector<fs::path> files = targets;
    std::erase(files, slot(SlotFolder::Avkon, 300));
    const auto before = snapshot(files);

    EXPECT_FALSE(LoadThemeFile(ws, ThemeFile::Avkon).ok);
    EXPECT_EQ(snapshot(files), before);
    EXPECT_TRUE(fs::is_directory(slot(SlotFolder::Avkon, 300)));
    EXPECT_FALSE(fs::exists(root() / "LoadBackup"));

    fs::remove(slot(SlotFolder::Avkon, 300));
    writePicture(slot(SlotFolder::Avkon, 300), picture(3, 3, [](int, int) { return rgb(3, 0, 0); }));
    const auto second = snapshot(targets);
    const fs::path ownConverter = program() / "payloads" / "EXTPROGS" / "BMC";
    fs::create_directories(ownConverter.parent_path());
    const std::string script = "#!/bin/sh\nfor f in Avkon/*.bmp; do printf torn > \"$f\"; done\nexit 1\n";
    writeBytes(ownConverter, Bytes(script.begin(), script.end()));

    EXPECT_FALSE(LoadThemeFile(ws, ThemeFile::Avkon).ok);
    EXPECT_EQ(snapshot(targets), second);
    EXPECT_FALSE(fs::exists(root() / "LoadBackup"));
}

// A load that changes a few pictures keeps aside, replaces and reports only
// those; a failed one still gives every slot back, and the slots it never
// touched stay the same files.
TEST_F(ThemeFiles, LoadKeepsAsideAndReportsOnlyTheSlotsThatChange)
{
    std::vector<Bitmap> pictures = avkonOf(2, rgb(8, 8, 8));
    writeMbmOf(program() / "Avkon.mbm", pictures, avkonMode);
    ASSERT_TRUE(LoadThemeFile(ws, ThemeFile::Avkon).ok);
    for (const int i : {5, 100, 301, 507})
        pictures[static_cast<std::size_t>(i)] = picture(2, 2, [](int, int) { return rgb(255, 255, 255); });
    writeMbmOf(program() / "Avkon.mbm", pictures, avkonMode);
    const Bytes mbm = readBytes(program() / "Avkon.mbm");
    const QStringList changing = {slotName(SlotFolder::Avkon, 5), slotName(SlotFolder::Avkon, 100),
                                  slotName(SlotFolder::Avkon, 301), slotName(SlotFolder::Avkon, 507)};
    EXPECT_EQ(SlotsUnpackChanges(ws, mbm, slotNames(SlotFolder::Avkon)), changing);

    const auto inodes = [this] {
        std::vector<std::uintmax_t> out;
        for (int i = 0; i < AvkonSlotCount; ++i)
            out.push_back(fileId(slot(SlotFolder::Avkon, i)));
        return out;
    };
    // bmconv fails on slot 300, a folder, after it has replaced 5 and 100.
    std::vector<fs::path> files;
    for (int i = 0; i < AvkonSlotCount; ++i)
        if (i != 300)
            files.push_back(slot(SlotFolder::Avkon, i));
    fs::remove(slot(SlotFolder::Avkon, 300));
    fs::create_directory(slot(SlotFolder::Avkon, 300));
    const auto before = snapshot(files);
    const auto ids = inodes();
    EXPECT_FALSE(LoadThemeFile(ws, ThemeFile::Avkon).ok);
    EXPECT_EQ(snapshot(files), before);
    EXPECT_EQ(inodes(), ids);
    EXPECT_FALSE(fs::exists(root() / "LoadBackup"));

    fs::remove(slot(SlotFolder::Avkon, 300));
    (void)ws.journal().take();
    const Outcome out = LoadThemeFile(ws, ThemeFile::Avkon);
    ASSERT_TRUE(out.ok);
    // The journal names the slots the load changed, and no other slot.
    QStringList written = ws.journal().take();
    written.removeIf([](const QString& p) { return !p.contains(QStringLiteral("/Avkon/")); });
    EXPECT_EQ(written, slotPaths(ws.root(), QStringList{changing[0], changing[1], slotName(SlotFolder::Avkon, 300),
                                                      changing[2], changing[3]}));
    const auto after = inodes();
    for (int i = 0; i < AvkonSlotCount; ++i)
        EXPECT_EQ(after[static_cast<std::size_t>(i)] == ids[static_cast<std::size_t>(i)],
                  i != 300 && !changing.contains(slotName(SlotFolder::Avkon, i)))
            << i;
}

TEST_F(ThemeFiles, LetterCaseVariantsAreFoundAndReplaced)
{
    ASSERT_TRUE(SaveThemeFile(ws, ThemeFile::AvkonEx).ok);
    fs::rename(program() / "AvkonEx.mbm", program() / "AVKONEX.MBM");
    writeBytes(program() / "AVKONEX.MBM", readBytes(program() / "AVKONEX.MBM"));
    EXPECT_TRUE(LoadThemeFile(ws, ThemeFile::AvkonEx).ok);

    writeBytes(program() / "AVKONEX.MBM", Bytes{'o', 'l', 'd'});
    ASSERT_TRUE(SaveThemeFile(ws, ThemeFile::AvkonEx).ok);
    EXPECT_FALSE(fs::exists(program() / "AvkonEx.mbm"));
    EXPECT_EQ(readBytes(program() / "AVKONEX.MBM"), readBytes(root() / "SIS" / "AvkonEx.mbm"));
    EXPECT_EQ(filesIn(program()), 1u);
}

TEST_F(ThemeFiles, SaveIntoAFolderItCannotWriteFails)
{
    // A folder in the place of the program folder's file: the replace fails.
    fs::create_directory(program() / "backgroundimage.mbm");
    const Outcome out = SaveThemeFile(ws, ThemeFile::Background);
    EXPECT_FALSE(out.ok);
    EXPECT_EQ(out.text, QStringLiteral("Не удалось сохранить файл backgroundimage.mbm."));
    EXPECT_TRUE(fs::is_directory(program() / "backgroundimage.mbm"));
}

} // namespace

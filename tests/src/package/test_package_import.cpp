// Theme import through SISTool and the three loaders: what a package gives
// back, and that a package that cannot be taken over (damaged, foreign, too
// slow) or a file that is not what it claims changes nothing.
#include "package/build.h"
#include "package/import.h"
#include "package/loaders.h"
#include "package_fixture.h"

#include "handset/aif.h"
#include "handset/gdr.h"
#include "platform/fileops.h"
#include "workspace/payloads.h"
#include "workspace/slots.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

using namespace kastra;
using namespace kastra::test;
namespace fs = std::filesystem;

namespace {

// Every slot file of a workspace (the numbered folders and the root's
// pictures) with its bytes.
std::map<std::string, Bytes> slotFiles(const fs::path& root)
{
    std::map<std::string, Bytes> out;
    for (const char* folder : {"Avkon", "Signal", "Menu"})
        for (const auto& e : fs::directory_iterator(root / folder))
            out[std::string(folder) + "/" + e.path().filename().string()] = readBytes(e.path());
    for (const char* name : {"SplashTop.bmp", "Top1.bmp", "Top2.bmp", "Top3.bmp", "Top4.bmp", "Back.bmp", "About.bmp"})
        if (fs::exists(root / name))
            out[name] = readBytes(root / name);
    return out;
}

// Builds the package into *delivered. A failed build stops the calling test
// (call it through ASSERT_NO_FATAL_FAILURE): everything after it would work
// on a package that is not there.
void buildPackage(ThemeWorkspace& t, fs::path* delivered, const char* file = "Built")
{
    BuildInputs in;
    in.themeName = QStringLiteral("Round trip");
    in.fileName = QString::fromLatin1(file);
    in.fontNumber = 7;
    const BuildResult r = BuildPackage(t.ws, in);
    ASSERT_TRUE(r.outcome.ok) << r.outcome.text.toStdString();
    *delivered = fs::path(r.deliveredPath.toStdString());
    ASSERT_TRUE(fs::is_regular_file(*delivered));
}

void writeExecutable(const fs::path& p, const std::string& body)
{
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << "#!/bin/sh\n" << body << "\n";
    out.close();
    fs::permissions(p, fs::perms::owner_all, fs::perm_options::add);
}

// A picture in colours that 12-bit packing keeps as they are, so that the
// masks derived from it before and after a trip through a package agree.
Bitmap twelveBitPicture(int width, int height, unsigned seed)
{
    Bitmap b = patternPicture(width, height, seed);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const Colour c = b.getPixel(x, y);
            b.setPixel(x, y, rgb((redOf(c) >> 4) * 17, (greenOf(c) >> 4) * 17, (blueOf(c) >> 4) * 17));
        }
    return b;
}

// Marks a few slots as edited by the user.
void editSlots(const ThemeWorkspace& t)
{
    EXPECT_TRUE(patternPicture(176, 68, 99).writeBmp(t.root() / "Top1.bmp"));
    EXPECT_TRUE(twelveBitPicture(42, 29, 98).writeBmp(t.root() / "Avkon" / "136.bmp"));
    EXPECT_TRUE(twelveBitPicture(32, 12, 97).writeBmp(t.root() / "Signal" / "003.bmp"));
}

QString tool(const ThemeWorkspace& t)
{
    return FindSisTool(t.ws.programFolder());
}

// Imports that must succeed give the tool far more than its 300 ms: a
// sanitizer build on a busy machine may need them, and the limit is not
// what these tests are about.
constexpr int kGenerousMs = 30000;

} // namespace

TEST(PackageImport, BuiltPackageComesBackSlotForSlot)
{
    // A theme built, imported into a fresh workspace, built again and
    // imported into a third: the second and third hold the same bytes in
    // every slot, and the first's pictures survive the trip.
    ThemeWorkspace a;
    editSlots(a);
    fs::path first;
    ASSERT_NO_FATAL_FAILURE(buildPackage(a, &first));

    ThemeWorkspace b;
    const ImportResult ib = ImportTheme(b.ws, tool(b), q(first), kGenerousMs);
    ASSERT_TRUE(ib.outcome.ok) << ib.outcome.text.toStdString();
    EXPECT_FALSE(ib.outcome.hasMessage());
    EXPECT_FALSE(ib.backgroundNarrow);
    EXPECT_FALSE(fs::exists(b.programFolder() / "TEMP"));
    for (const char* slot : {"Top1.bmp", "Top4.bmp", "Back.bmp"}) {
        const Bitmap want = readBmpOrEmpty(a.root() / slot);
        const Bitmap got = readBmpOrEmpty(b.root() / slot);
        ASSERT_EQ(got.width(), want.width()) << slot;
        for (int y = 0; y < want.height(); ++y)
            for (int x = 0; x < want.width(); ++x)
                ASSERT_EQ(got.getPixel(x, y), want.getPixel(x, y)) << slot << " " << x << "," << y;
    }
    // The imported .aif files are the package's.
    EXPECT_EQ(readBytes(b.sis() / "veZozi.aif"), readBytes(a.sis() / "veZozi.aif"));

    const auto sb = slotFiles(b.root());
    fs::path second;
    ASSERT_NO_FATAL_FAILURE(buildPackage(b, &second, "Again"));
    ThemeWorkspace c;
    ASSERT_TRUE(ImportTheme(c.ws, tool(c), q(second), kGenerousMs).outcome.ok);
    const auto sc = slotFiles(c.root());
    EXPECT_EQ(sb.size(), 544u + 7u);
    ASSERT_EQ(sb.size(), sc.size());
    for (const auto& [name, bytes] : sb)
        EXPECT_TRUE(sc.at(name) == bytes) << name;
}

TEST(PackageImport, NarrowBackgroundTicksStripBottom)
{
    ThemeWorkspace a(true, 174);
    fs::path package;
    ASSERT_NO_FATAL_FAILURE(buildPackage(a, &package));
    ThemeWorkspace b;
    const ImportResult r = ImportTheme(b.ws, tool(b), q(package), kGenerousMs);
    ASSERT_TRUE(r.outcome.ok);
    EXPECT_TRUE(r.backgroundNarrow);
}

TEST(PackageImport, PathWithBlanksAndQuotesReachesTheToolWhole)
{
    ThemeWorkspace a;
    fs::path package;
    ASSERT_NO_FATAL_FAILURE(buildPackage(a, &package));
    const fs::path odd = a.base() / "my \"best\" theme 'v2'.sis";
    fs::copy_file(package, odd);
    ThemeWorkspace b;
    EXPECT_TRUE(ImportTheme(b.ws, tool(b), q(odd), kGenerousMs).outcome.ok);
}

// Whatever goes wrong, nothing is taken over: the edited slots and the
// workspace's theme files stay, a warning titled with the caption says so,
// and the import folder is gone.
TEST(PackageImport, PackagesThatCannotBeTakenOverChangeNothing)
{
    ThemeWorkspace source;
    fs::path built;
    ASSERT_NO_FATAL_FAILURE(buildPackage(source, &built));
    const Bytes good = readBytes(built);

    struct Case {
        const char* what;
        std::function<void(const ThemeWorkspace&, const fs::path&)> prepare;  // writes the package
        const char* fakeTool;   // replaces SISTool.exe when set
    };
    const Case cases[] = {
        {"truncated", [&](const ThemeWorkspace&, const fs::path& p) { writeBytes(p, Bytes(good.begin(), good.begin() + 3000)); }, nullptr},
        {"bytes flipped in the data",
         [&](const ThemeWorkspace&, const fs::path& p) {
             Bytes b = good;
             for (std::size_t i = b.size() / 2; i < b.size() / 2 + 64; ++i)
                 b[i] ^= 0x5A;
             writeBytes(p, b);
         },
         nullptr},
        {"not a package", [](const ThemeWorkspace&, const fs::path& p) { writeBytes(p, Bytes(5000, 0x42)); }, nullptr},
        {"a package without a theme",
         [](const ThemeWorkspace& t, const fs::path& p) {
             std::ofstream(t.base() / "readme.txt") << "hello";
             std::ofstream(t.base() / "foreign.pkg")
                 << "&EN\r\n#{\"Foreign\"},(0x10001234),1,0,0\r\n\"readme.txt\"-\"c:\\readme.txt\"\r\n";
             const std::string cmd = "cd '" + t.base().string() + "' && '" + (binDir() / "makesis").string()
                                     + "' foreign.pkg '" + p.string() + "' >/dev/null 2>&1";
             ASSERT_EQ(std::system(cmd.c_str()), 0);
         },
         nullptr},
        {"the tool takes too long",
         [&](const ThemeWorkspace&, const fs::path& p) { writeBytes(p, good); },
         "mkdir -p TEMP && cp \"$0.mbm\" TEMP/Avkon.mbm; exec sleep 5"},
        {"the tool fails after writing",
         [&](const ThemeWorkspace&, const fs::path& p) { writeBytes(p, good); },
         "mkdir -p TEMP && cp \"$0.mbm\" TEMP/Avkon.mbm; echo 'TEMP/x: no space left' >&2; exit 3"},
        {"a theme file that is no MBM",
         [&](const ThemeWorkspace&, const fs::path& p) { writeBytes(p, good); },
         "mkdir -p TEMP && echo garbage > TEMP/avkon.MBM; exit 0"},
        // A sound Avkon.mbm beside an AvkonEx.mbm whose index reads but whose
        // first bitmap claims a size no picture of it has.
        {"one sound and one damaged theme file",
         [&](const ThemeWorkspace& t, const fs::path& p) {
             writeBytes(p, good);
             Bytes bad = readBytes(t.root() / "AvkonEx.mbm");
             bad[20 + 8] = 0xFF;
             bad[20 + 9] = 0x7F;
             writeBytes(t.programFolder() / "SISTool.exe.bad", bad);
         },
         "mkdir -p TEMP && cp \"$0.mbm\" TEMP/Avkon.mbm && cp \"$0.bad\" TEMP/AvkonEx.mbm; exit 0"},
        {"only veZozi.aif",
         [&](const ThemeWorkspace& t, const fs::path& p) {
             writeBytes(p, good);
             const auto aif = payloadBytes(Payload::MenuAif, {});
             ASSERT_TRUE(aif);
             writeBytes(t.programFolder() / "SISTool.exe.aif", Bytes(aif->begin(), aif->end()));
         },
         "mkdir -p TEMP && cp \"$0.aif\" TEMP/veZozi.aif; exit 0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ThemeWorkspace t;
        editSlots(t);
        const fs::path package = t.base() / "input.sis";
        c.prepare(t, package);
        if (c.fakeTool) {
            const fs::path fake = t.programFolder() / "SISTool.exe";
            writeExecutable(fake, c.fakeTool);
            fs::copy_file(t.root() / "Avkon.mbm", fs::path(fake.string() + ".mbm"));
        }
        // Leftovers of an earlier run must not pass for the package's files.
        fs::create_directories(t.programFolder() / "TEMP");
        fs::copy_file(source.sis() / "EidPic.mbm", t.programFolder() / "TEMP" / "EidPic.mbm");

        const auto slotsBefore = slotFiles(t.root());
        const Bytes avkonBefore = readBytes(t.root() / "Avkon.mbm");
        const Bytes aifBefore = readBytes(t.sis() / "veZozi.aif");
        const ImportResult r = ImportTheme(t.ws, tool(t), q(package));
        EXPECT_FALSE(r.outcome.ok);
        EXPECT_EQ(r.outcome.title, QString::fromUtf16(WindowCaption));
        EXPECT_EQ(r.outcome.icon, MessageIcon::Warning);
        EXPECT_TRUE(r.outcome.text.endsWith(QStringLiteral("Тема не загружена."))) << r.outcome.text.toStdString();
        EXPECT_TRUE(slotFiles(t.root()) == slotsBefore);
        EXPECT_EQ(readBytes(t.root() / "Avkon.mbm"), avkonBefore);
        EXPECT_FALSE(fs::exists(t.root() / "EidPic.mbm"));
        EXPECT_EQ(readBytes(t.sis() / "veZozi.aif"), aifBefore);
        EXPECT_FALSE(fs::exists(t.programFolder() / "TEMP"));
        // The command line passes the tool's own reason on.
        if (std::string(c.what) == "the tool fails after writing") {
            EXPECT_TRUE(r.outcome.note.endsWith(QStringLiteral("(exit code 3): TEMP/x: no space left")))
                << r.outcome.note.toStdString();
        }
    }
}

// All or nothing: a folder in the way of any one of the seven targets (the
// five theme files and the two .aif files) leaves every target and every
// slot as it was.
TEST(PackageImport, AFolderInTheWayOfAnyTargetChangesNoFile)
{
    ThemeWorkspace source;
    editSlots(source);
    fs::path package;
    ASSERT_NO_FATAL_FAILURE(buildPackage(source, &package));
    for (const TakeOverRow& blocked : takeOverRows()) {
        SCOPED_TRACE(blocked.name);
        ThemeWorkspace t;
        std::map<std::string, Bytes> before;
        for (const TakeOverRow& row : takeOverRows()) {
            const fs::path target = slotPath(t.ws.root(), QString::fromLatin1(row.target)).toStdString();
            if (&row == &blocked) {
                fs::remove(target);
                fs::create_directories(target / "inside");
                continue;
            }
            if (!fs::exists(target))
                writeBytes(target, Bytes{1, 2, 3});
            before[row.target] = readBytes(target);
        }
        const auto slotsBefore = slotFiles(t.root());

        const ImportResult r = ImportTheme(t.ws, tool(t), q(package), kGenerousMs);

        EXPECT_FALSE(r.outcome.ok);
        EXPECT_TRUE(r.outcome.text.startsWith(QStringLiteral("Не удалось скопировать файлы темы.")))
            << r.outcome.text.toStdString();
        for (const auto& [target, bytes] : before)
            EXPECT_EQ(readBytes(slotPath(t.ws.root(), QString::fromLatin1(target.c_str())).toStdString()), bytes)
                << target;
        EXPECT_TRUE(slotFiles(t.root()) == slotsBefore);
        EXPECT_FALSE(fs::exists(t.programFolder() / "TEMP"));
    }
}

// Links planted by someone who can write into the program folder or the
// workspace: a TEMP that points at the user's folder is removed as a name
// and the import goes on; nothing is written through a link under a fixed
// temporary name beside a target.
TEST(PackageImport, PlantedLinksAreNeitherEmptiedNorWrittenThrough)
{
    ThemeWorkspace source;
    fs::path package;
    ASSERT_NO_FATAL_FAILURE(buildPackage(source, &package));
    ThemeWorkspace t;
    const fs::path mine = t.base() / "mine";
    fs::create_directories(mine / "album");
    writeBytes(mine / "photo.jpg", Bytes{7, 7});
    fs::create_directory_symlink(mine, t.programFolder() / "TEMP");
    writeBytes(t.base() / "victim", Bytes{5});
    for (const char* name : {"Avkon.mbm.import-tmp", "Avkon.mbm.copy-tmp", "SIS/veZozi.aif.import-tmp"})
        fs::create_symlink(t.base() / "victim", t.root() / name);

    const ImportResult r = ImportTheme(t.ws, tool(t), q(package), kGenerousMs);

    EXPECT_TRUE(r.outcome.ok) << r.outcome.text.toStdString();
    EXPECT_EQ(readBytes(mine / "photo.jpg"), (Bytes{7, 7}));
    EXPECT_TRUE(fs::is_directory(mine / "album"));
    EXPECT_EQ(readBytes(t.base() / "victim"), Bytes{5});
    EXPECT_FALSE(fs::is_symlink(t.root() / "Avkon.mbm"));
    EXPECT_EQ(readBytes(t.root() / "Avkon.mbm"), readBytes(source.sis() / "Avkon.mbm"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(t.programFolder() / "TEMP")));
}

TEST(PackageImport, MissingToolIsReportedAndTheButtonFollowsTheFile)
{
    ThemeWorkspace t(false);
    EXPECT_FALSE(SisToolPresent(t.ws.programFolder()));
    const ImportResult r = ImportTheme(t.ws, tool(t), QStringLiteral("/nowhere.sis"));
    EXPECT_FALSE(r.outcome.ok);
    EXPECT_EQ(r.outcome.text, QStringLiteral("Поместите файл SISTool.exe в директорию с программой"));
    EXPECT_EQ(r.outcome.title, QString::fromUtf16(WindowCaption));

    fs::create_directory(t.programFolder() / "SISTool.exe");   // a folder does not count
    EXPECT_FALSE(SisToolPresent(t.ws.programFolder()));
    fs::remove(t.programFolder() / "SISTool.exe");
    fs::copy_file(binDir() / "SISTool.exe", t.programFolder() / "sistool.EXE");
    EXPECT_TRUE(SisToolPresent(t.ws.programFolder()));
    fs::remove(t.programFolder() / "sistool.EXE");
    EXPECT_FALSE(SisToolPresent(t.ws.programFolder()));
}

TEST(PackageLoaders, RefuseFilesThatAreNotWhatTheyClaimAndKeepTheOldOne)
{
    ThemeWorkspace t;
    gdr::FontStore store;
    gdr::FontBitmap font;
    font.uid = 0x10001111;
    font.cellHeight = 1;
    font.ascent = 1;
    font.maxCharWidth = 1;
    font.maxNormalCharWidth = 1;
    gdr::Glyph g;
    g.code = 'x';
    g.ascent = 1;
    g.move = 1;
    g.height = 1;
    g.pixels = {1};
    font.glyphs.push_back(g);
    store.fontBitmaps.push_back(font);
    const auto fontBytes = gdr::writeFontStore(store);
    ASSERT_TRUE(fontBytes);
    // Each .aif carries the UID of the application its button loads.
    const auto appAif = [](Payload appPayload) {
        const auto image = payloadBytes(appPayload, {});
        aif::AppInfo info;
        info.appUid = image ? aif::applicationUid(byteSpan(*image)).value() : 0;
        info.captions.push_back({16, u"Меню"});
        return aif::writeAif(info);
    };
    const auto aifBytes = appAif(Payload::MenuApp);
    const auto appAifBytes = appAif(Payload::AppApp);
    ASSERT_TRUE(aifBytes && appAifBytes);

    const fs::path goodFont = t.base() / "good.gdr";
    const fs::path goodAif = t.base() / "good.aif";
    writeBytes(goodFont, *fontBytes);
    writeBytes(goodAif, *aifBytes);
    writeBytes(t.base() / "good_app.aif", *appAifBytes);
    Bytes badUid = *aifBytes;
    badUid[12] ^= 1;   // the UID checksum no longer fits
    Bytes cutFont(fontBytes->begin(), fontBytes->begin() + static_cast<std::ptrdiff_t>(fontBytes->size() / 2));
    writeBytes(t.base() / "bad_uid.aif", badUid);
    writeBytes(t.base() / "cut.gdr", cutFont);
    EXPECT_TRUE(patternPicture(4, 4, 1).writeBmp(t.base() / "picture.gdr"));

    struct Case {
        LoadedFile kind;
        fs::path file;
        bool accepted;
    };
    const Case cases[] = {
        {LoadedFile::Font, goodFont, true},
        {LoadedFile::Font, t.base() / "cut.gdr", false},
        {LoadedFile::Font, t.base() / "picture.gdr", false},
        {LoadedFile::Font, goodAif, false},
        {LoadedFile::Font, t.base() / "missing.gdr", false},
        {LoadedFile::MenuAif, goodAif, true},
        {LoadedFile::MenuAif, t.base() / "bad_uid.aif", false},
        {LoadedFile::MenuAif, goodFont, false},
        {LoadedFile::AppAif, t.base() / "good_app.aif", true},
        {LoadedFile::AppAif, t.base() / "picture.gdr", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.filename().string());
        const fs::path target = t.sis() / loadedFileName(c.kind).toStdString();
        const Bytes before = readBytes(target);
        const Outcome o = LoadPackageFile(t.ws, c.kind, q(c.file));
        EXPECT_EQ(o.ok, c.accepted);
        if (c.accepted) {
            EXPECT_FALSE(o.hasMessage());
            EXPECT_EQ(readBytes(target), readBytes(c.file));
        } else {
            EXPECT_EQ(o.icon, MessageIcon::Warning);
            EXPECT_EQ(o.title, QString::fromUtf16(WindowCaption));
            EXPECT_EQ(readBytes(target), before);
        }
    }
}

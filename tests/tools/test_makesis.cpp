// The makesis executable: the theme script the program writes, file lookup,
// language blocks, and that a failed build leaves no package behind. Each
// package is then unpacked by SISTool and compared byte for byte.

#include "base/cp1251.h"
#include "sis/pkg_text.h"
#include "sis/sis_reader.h"
#include "test_support.h"
#include "tool_runner.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

using namespace kastra;
using namespace kastra::sis;
namespace fs = std::filesystem;
using kastra::test::runTool;
using kastra::test::ToolRun;

namespace {


Bytes pattern(std::size_t size, unsigned seed)
{
    // Bitmap-like bytes: runs and gradients with some noise, so zlib has work.
    Bytes b(size);
    unsigned x = seed * 2654435761u + 1;
    for (std::size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        b[i] = static_cast<std::uint8_t>((i / 64 + seed) * 3 + ((x >> 16) % 4 == 0 ? (x >> 24) % 8 : 0));
    }
    return b;
}

Bytes asBytes(std::string_view s)
{
    return Bytes(s.begin(), s.end());
}

// The files the theme script names, as the program leaves them in its package
// folder (letter case of the folder, not of the script), with their sizes.
struct ThemeFile {
    const char* onDisk;
    std::size_t size;
    const char* unpackedAs; // the file part of the destination; the font with font number 0
};
const ThemeFile kThemeFiles[] = {
    {"restorez_Avkon.exe", 1608, "restorez_Avkon.exe"},
    {"del_logo.exe", 924, "del_logo.exe"},
    {"Avkon.mbm", 61234, "Avkon.mbm"},
    {"del_fonts.EXE", 1136, "del_fonts.exe"},
    {"restorez.EXE", 1948, "restorez.exe"},
    {"kde.gdr", 52443, "0.gdr"},
    {"AvkonEx.mbm", 23456, "AvkonEx.mbm"},
    {"menu_folders.mbm", 34567, "menu_folders.mbm"},
    {"EidPic.mbm", 12345, "EidPic.mbm"},
    {"backgroundimage.mbm", 98765, "backgroundimage.mbm"},
    {"veZorCtrl.aif", 3279, "veZorCtrl.aif"},
    {"veZorCtrl.APP", 6472, "veZorCtrl.app"},
    {"veZorCtrl.r01", 928, "veZorCtrl.r01"},
    {"veZorCtrl.r03", 955, "veZorCtrl.r03"},
    {"veZorCtrl.r16", 1001, "veZorCtrl.r16"},
    {"xxAppctrl_caption.r01", 39, "xxAppctrl_caption.r01"},
    {"xxappctrl_caption.r03", 39, "xxAppctrl_caption.r03"},
    {"xxappctrl_caption.r16", 42, "xxAppctrl_caption.r16"},
    {"veZozi.aif", 1487, "veZozi.aif"},
    {"veZozi.APP", 5332, "veZozi.app"},
    {"vezozi.r01", 1485, "veZozi.r01"},
    {"vezozi.r03", 1550, "veZozi.r03"},
    {"vezozi.r16", 1560, "veZozi.r16"},
    {"veZozi_caption.r01", 19, "veZozi_caption.r01"},
    {"vezozi_caption.r03", 19, "veZozi_caption.r03"},
    {"vezozi_caption.r16", 19, "veZozi_caption.r16"},
};

// The 62-line script, CR LF, in Windows-1251.
std::string themeScript(const std::string& themeNameUtf8, unsigned fontNumber)
{
    std::vector<std::string> lines = {
        ";Themes for Halvorn Kastra!!!",
        ";Made with Kastra",
        ";E-mail: themes@example.org",
        "",
        "&RU",
        "",
        "#{\"" + themeNameUtf8 + "\"},(01000000),2,2,1",
        "(0x101F6F88), 0, 0, 0, {\"Series60ProduktID\"}",
        "",
    };
    const std::vector<std::string> files = {
        "\"Hello.txt\"-\"\",FT,TA",
        "\"restorez_Avkon.exe\"-\"c:\\system\\apps\\theme\\restorez_Avkon.exe\",FR,RR,RW",
        "\"del_logo.exe\"-\"c:\\system\\apps\\theme\\del_logo.exe\",FR,RI,RW",
        "\"Avkon.mbm\"-\"c:\\system\\data\\Avkon.mbm\"",
        "\"del_fonts.exe\"-\"c:\\system\\apps\\theme\\del_fonts.exe\",FR,RR,RW",
        "\"restorez.exe\"-\"c:\\system\\apps\\theme\\restorez.exe\",FR,RR,RW",
        "\"kde.gdr\"-\"c:\\system\\fonts\\" + std::to_string(fontNumber) + ".gdr\"",
        "\"AvkonEx.mbm\"-\"c:\\system\\data\\AvkonEx.mbm\"",
        "\"menu_folders.mbm\"-\"c:\\system\\data\\menu_folders.mbm\"",
        "\"EidPic.mbm\"-\"c:\\system\\data\\EidPic.mbm\"",
        "\"backgroundimage.mbm\"-\"c:\\system\\data\\backgroundimage.mbm\"",
        "\"veZorCtrl.aif\"-\"c:\\system\\apps\\veZorCtrl\\veZorCtrl.aif\"",
        "\"veZorCtrl.app\"-\"c:\\system\\apps\\veZorCtrl\\veZorCtrl.app\"",
        "\"veZorCtrl.r01\"-\"c:\\system\\apps\\veZorCtrl\\veZorCtrl.r01\"",
        "\"veZorCtrl.r03\"-\"c:\\system\\apps\\veZorCtrl\\veZorCtrl.r03\"",
        "\"veZorCtrl.r16\"-\"c:\\system\\apps\\veZorCtrl\\veZorCtrl.r16\"",
        "\"xxAppctrl_caption.r01\"-\"c:\\system\\apps\\veZorCtrl\\xxAppctrl_caption.r01\"",
        "\"xxAppctrl_caption.r03\"-\"c:\\system\\apps\\veZorCtrl\\xxAppctrl_caption.r03\"",
        "\"xxAppctrl_caption.r16\"-\"c:\\system\\apps\\veZorCtrl\\xxAppctrl_caption.r16\"",
        "\"veZozi.aif\"-\"c:\\system\\apps\\veZozi\\veZozi.aif\"",
        "\"veZozi.app\"-\"c:\\system\\apps\\veZozi\\veZozi.app\"",
        "\"veZozi.r01\"-\"c:\\system\\apps\\veZozi\\veZozi.r01\"",
        "\"veZozi.r03\"-\"c:\\system\\apps\\veZozi\\veZozi.r03\"",
        "\"veZozi.r16\"-\"c:\\system\\apps\\veZozi\\veZozi.r16\"",
        "\"veZozi_caption.r01\"-\"c:\\system\\apps\\veZozi\\veZozi_caption.r01\"",
        "\"veZozi_caption.r03\"-\"c:\\system\\apps\\veZozi\\veZozi_caption.r03\"",
        "\"veZozi_caption.r16\"-\"c:\\system\\apps\\veZozi\\veZozi_caption.r16\"",
    };
    for (std::size_t k = 0; k < files.size(); ++k) {
        lines.push_back(files[k]);
        if (k + 1 < files.size())
            lines.push_back("");
    }
    std::string out;
    for (const auto& l : lines)
        out += l + "\r\n";
    return cp1251::fromUtf8(out);
}

const std::string kThemeName = "Зимняя тема";
const std::string kGreeting = "Добро пожаловать!\r\nТема для телефона";

// Lays out a package folder holding the theme files and its script.
void writeTheme(const fs::path& dir, unsigned fontNumber)
{
    unsigned seed = 1;
    for (const ThemeFile& f : kThemeFiles)
        writeBytes(dir / f.onDisk, pattern(f.size, seed++));
    writeBytes(dir / "Hello.txt", asBytes(cp1251::fromUtf8(kGreeting)));
    writeBytes(dir / "theme.pkg", asBytes(themeScript(kThemeName, fontNumber)));
}

} // namespace

TEST(Makesis, ThemeScriptBuildsWithTheRightHeader)
{
    TempDir dir;
    writeTheme(dir.path(), 4242);
    const std::string script = themeScript(kThemeName, 4242);
    ASSERT_EQ(std::count(script.begin(), script.end(), '\n'), 62);

    const ToolRun run = runTool("makesis", dir.path(), "theme.pkg");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const Bytes sis = readBytes(dir.path() / "theme.SIS");
    auto pkg = readSis(sis);
    ASSERT_TRUE(pkg.ok()) << pkg.error();
    EXPECT_TRUE(pkg->problems.empty());
    EXPECT_TRUE(pkg->checksumOk);
    EXPECT_TRUE(pkg->uidChecksumOk);
    // "(01000000)" is decimal, as the SDK's makesis reads it: a theme built
    // here replaces one built with the SDK tools.
    EXPECT_EQ(pkg->uid1, 0x000F4240u);
    EXPECT_EQ(pkg->uid2, 0x10003A12u);
    EXPECT_EQ(pkg->uid3, 0x10000419u);
    EXPECT_EQ(pkg->major, 2);
    EXPECT_EQ(pkg->minor, 2);
    EXPECT_EQ(pkg->variant, 1u);
    EXPECT_EQ(pkg->languages, std::vector<std::uint16_t>{16});
    EXPECT_EQ(pkg->componentNames, std::vector<std::u16string>{utf8ToUtf16(kThemeName)});
    EXPECT_EQ(pkg->options, kOptionUnicode);
    EXPECT_EQ(pkg->installerVersion, 200u);
    EXPECT_EQ(pkg->installationDrive, u'c');
    EXPECT_EQ(pkg->certificatesPointer, 0u);
    EXPECT_EQ(pkg->signaturePointer, 0u);
    ASSERT_EQ(pkg->requisites.size(), 1u);
    EXPECT_EQ(pkg->requisites[0].uid, 0x101F6F88u);
    EXPECT_EQ(pkg->requisites[0].major, 0);
    EXPECT_EQ(pkg->requisites[0].names, std::vector<std::u16string>{u"Series60ProduktID"});

    ASSERT_EQ(pkg->records.size(), 27u);
    EXPECT_EQ(pkg->records[0].fileType, kFileText);
    EXPECT_EQ(pkg->records[0].details, kTextAbort);
    EXPECT_EQ(pkg->records[0].destination, u"");
    EXPECT_EQ(pkg->records[1].fileType, kFileRun);
    EXPECT_EQ(pkg->records[1].details, kRunRemove | kRunWaitEnd);
    EXPECT_EQ(pkg->records[2].details, kRunInstall | kRunWaitEnd);
    EXPECT_EQ(pkg->records[6].destination, u"c:\\system\\fonts\\4242.gdr");
    // Stored last to first.
    EXPECT_EQ(pkg->records.back().offset, pkg->filesPointer);
    // The strings follow the component name record without a gap, and the
    // file data follows the strings.
    std::size_t stringBytes = 2 * utf8ToUtf16(kThemeName).size() + 2 * pkg->requisites[0].names[0].size();
    std::uint32_t firstData = 0xFFFFFFFF;
    for (const SisRecord& r : pkg->records) {
        stringBytes += 2 * (r.source.size() + r.destination.size() + r.mime.size());
        firstData = std::min(firstData, r.blocks.at(0).pointer);
    }
    EXPECT_EQ(firstData, pkg->componentNamePointer + 8 + stringBytes);

    // The text is stored as UTF-16LE without a byte-order mark; the maximum
    // installed space counts every installed file, not the text.
    const Bytes hello = *readData(sis, *pkg, pkg->records[0].blocks[0]);
    EXPECT_EQ(hello, utf16LeBytes(utf8ToUtf16(kGreeting)));
    std::uint32_t installed = 0;
    for (const ThemeFile& f : kThemeFiles)
        installed += static_cast<std::uint32_t>(f.size);
    EXPECT_EQ(pkg->maximumInstalledSpace, installed);
}

TEST(Makesis, ThemeRoundTripsThroughSisTool)
{
    TempDir dir;
    writeTheme(dir.path(), 0);
    ASSERT_EQ(runTool("makesis", dir.path(), "theme.pkg").exitCode, 0);
    TempDir out;
    fs::copy_file(dir.path() / "theme.SIS", out.path() / "theme.sis");
    const ToolRun run = runTool("SISTool.exe", out.path(), "\"theme.sis\"");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    unsigned seed = 1;
    for (const ThemeFile& f : kThemeFiles)
        EXPECT_EQ(readBytes(out.path() / "TEMP" / f.unpackedAs), pattern(f.size, seed++)) << f.unpackedAs;
    EXPECT_EQ(readBytes(out.path() / "TEMP" / "Hello.txt"), utf16LeBytes(utf8ToUtf16(kGreeting)));
    int count = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(out.path() / "TEMP"))
        ++count;
    EXPECT_EQ(count, 27);
}

TEST(Makesis, FindsFilesInScriptFolderAndSearchDirectory)
{
    TempDir dir;
    fs::create_directories(dir.path() / "scripts");
    fs::create_directories(dir.path() / "extra" / "Sub");
    fs::create_directories(dir.path() / "cwd");
    writeBytes(dir.path() / "scripts" / "Beside.TXT", asBytes("beside"));
    writeBytes(dir.path() / "extra" / "Sub" / "Deep.bin", asBytes("deep"));
    writeBytes(dir.path() / "cwd" / "here.dat", asBytes("here"));
    // Also in the script folder, but the current directory wins.
    writeBytes(dir.path() / "scripts" / "HERE.DAT", asBytes("shadowed"));
    writeBytes(dir.path() / "scripts" / "p.pkg", asBytes("#{\"n\"},(1),1,0,0\n"
                                                         "\"beside.txt\"-\"c:\\beside.txt\"\n"
                                                         "\"sub\\deep.BIN\"-\"c:\\deep.bin\"\n"
                                                         "\"here.dat\"-\"c:\\here.dat\"\n"));
    const ToolRun run = runTool("makesis", dir.path() / "cwd", "-d ../extra ../scripts/p.pkg out.sis");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const Bytes sis = readBytes(dir.path() / "cwd" / "out.sis");
    auto pkg = readSis(sis);
    ASSERT_TRUE(pkg.ok());
    ASSERT_EQ(pkg->records.size(), 3u);
    EXPECT_EQ(*readData(sis, *pkg, pkg->records[0].blocks[0]), asBytes("beside"));
    EXPECT_EQ(*readData(sis, *pkg, pkg->records[1].blocks[0]), asBytes("deep"));
    EXPECT_EQ(*readData(sis, *pkg, pkg->records[2].blocks[0]), asBytes("here"));
    EXPECT_FALSE(fs::exists(dir.path() / "cwd" / "p.SIS"));
}

TEST(Makesis, TwoLanguagesWithALanguageBlock)
{
    TempDir dir;
    writeBytes(dir.path() / "hello.en", asBytes("Hello"));
    writeBytes(dir.path() / "hello.ru", asBytes(cp1251::fromUtf8("Привет")));
    writeBytes(dir.path() / "app.rsc.en", asBytes("english resource"));
    writeBytes(dir.path() / "app.rsc.ru", asBytes("russian resource"));
    writeBytes(dir.path() / "two.pkg",
               asBytes(cp1251::fromUtf8("&EN,RU\r\n#{\"Two\",\"Два\"},(0x10203040),1,5,0\r\n"
                                        "{\"hello.en\" \"hello.ru\"}-\"\",FT,TC\r\n"
                                        "{\"app.rsc.en\"\r\n \"app.rsc.ru\"}-\"!:\\system\\apps\\two\\two.rsc\"\r\n")));
    ASSERT_EQ(runTool("makesis", dir.path(), "two.pkg").exitCode, 0);
    const Bytes sis = readBytes(dir.path() / "two.SIS");
    auto pkg = readSis(sis);
    ASSERT_TRUE(pkg.ok());
    EXPECT_EQ(pkg->languages, (std::vector<std::uint16_t>{1, 16}));
    EXPECT_EQ(pkg->componentNames, (std::vector<std::u16string>{u"Two", u"Два"}));
    ASSERT_EQ(pkg->records.size(), 2u);
    EXPECT_EQ(pkg->records[0].type, kRecordMultiLanguage);
    EXPECT_EQ(*readData(sis, *pkg, pkg->records[0].blocks[1]), utf16LeBytes(u"Привет"));
    EXPECT_EQ(*readData(sis, *pkg, pkg->records[1].blocks[1]), asBytes("russian resource"));
    EXPECT_EQ(pkg->installationDrive, u'!');
    // Every language's file counts; the text does not.
    EXPECT_EQ(pkg->maximumInstalledSpace, 32u);

    // SISTool writes every language's file: the first under the record's
    // name, the others numbered.
    const ToolRun run = runTool("SISTool.exe", dir.path(), "two.SIS");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(readBytes(dir.path() / "TEMP" / "two.rsc"), asBytes("english resource"));
    EXPECT_EQ(readBytes(dir.path() / "TEMP" / "two(2).rsc"), asBytes("russian resource"));
    EXPECT_EQ(readBytes(dir.path() / "TEMP" / "hello.en"), utf16LeBytes(u"Hello"));
    EXPECT_EQ(readBytes(dir.path() / "TEMP" / "hello(2).en"), utf16LeBytes(u"Привет"));
    EXPECT_NE(run.output.find("\"two.rsc\" (language RU) is written as \"two(2).rsc\""), std::string::npos)
        << run.output;
    int count = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path() / "TEMP"))
        ++count;
    EXPECT_EQ(count, 4);
}

TEST(Makesis, FailuresLeaveNoPackage)
{
    struct Case {
        const char* script;
        const char* message;
    };
    const Case cases[] = {
        {"#{\"n\"},(1),1,0,0\n\"missing.txt\"-\"c:\\m.txt\"\n", "line 2: cannot find the file \"missing.txt\""},
        {"#{\"n\"},(1),1,0,0\n\n\"a.txt\"-\"c:\\a.txt\",QQ\n", "line 3: unknown file option 'QQ'"},
        {"#{\"n\"},(1),1,0,0\n@\"a.txt\",(1)\n", "line 2: \""},
        {"#{\"n\"},(1),1,0,0\n@\"comp.sis\",(2)\n", "line 2: the UID of the embedded package"},
        {"#{\"n\"},(1),1,0,0\n\"a.txt\"-\"c:\\a\"\n\"A.TXT\"-\"c:\\b\"\n\"B.TXT\"-\"c:\\b\"\n",
         "line 4: both"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        writeBytes(dir.path() / "a.txt", asBytes("a"));
        writeBytes(dir.path() / "comp.sis", asBytes("#{\"n\"},(1),1,0,0\n"));
        ASSERT_EQ(runTool("makesis", dir.path(), "comp.sis built.sis").exitCode, 0);
        fs::rename(dir.path() / "built.sis", dir.path() / "comp.sis");
        writeBytes(dir.path() / "b.txt", asBytes("b1"));
        writeBytes(dir.path() / "B.txt", asBytes("b2"));
        writeBytes(dir.path() / "bad.pkg", asBytes(c.script));
        writeBytes(dir.path() / "bad.SIS", asBytes("previous package"));
        const ToolRun run = runTool("makesis", dir.path(), "bad.pkg");
        EXPECT_NE(run.exitCode, 0) << c.script;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << run.output;
        // The old package is untouched and no temporary file is left.
        EXPECT_EQ(readBytes(dir.path() / "bad.SIS"), asBytes("previous package"));
        for (const auto& e : fs::directory_iterator(dir.path()))
            EXPECT_EQ(e.path().string().find(".tmp"), std::string::npos) << e.path();
    }
}

// The package's limit, at exactly the limit and one past it, and a script
// naming one large file forty times: the sizes are read first, so an
// oversized package is refused before any file is read (a component that is
// no package, named first, would fail once read).
TEST(Makesis, PackageOverTheLimitIsRefusedBeforeAnyFileIsRead)
{
    constexpr std::uintmax_t kLimit = 64u * 1024 * 1024;
    struct Case {
        std::uintmax_t bigSize;
        int lines;
        bool builds;
    };
    for (const Case c : {Case{kLimit - 1, 1, true}, Case{kLimit, 1, false}, Case{200u * 1024 * 1024, 40, false}}) {
        SCOPED_TRACE(c.bigSize);
        TempDir dir;
        writeBytes(dir.path() / "a.txt", asBytes("a"));
        // Sparse: no disk space taken for the zeros.
        writeBytes(dir.path() / "big.bin", {});
        fs::resize_file(dir.path() / "big.bin", c.bigSize);
        std::string script = "#{\"n\"},(1),1,0,0\n\"a.txt\"-\"c:\\a.txt\"\n";
        if (!c.builds)
            script += "@\"a.txt\",(1)\n";
        for (int i = 0; i < c.lines; ++i)
            script += "\"big.bin\"-\"c:\\big" + std::to_string(i) + ".bin\"\n";
        writeBytes(dir.path() / "p.pkg", asBytes(script));
        const ToolRun run = runTool("makesis", dir.path(), "p.pkg");
        EXPECT_EQ(run.exitCode, c.builds ? 0 : 1) << run.output;
        if (!c.builds) {
            EXPECT_NE(run.output.find("add up to more than 64 MiB"), std::string::npos) << run.output;
            EXPECT_FALSE(fs::exists(dir.path() / "p.SIS"));
        }
    }
}

TEST(Makesis, EmbeddedPackageComesBackWhole)
{
    TempDir dir;
    writeBytes(dir.path() / "inner.txt", asBytes("inner file"));
    writeBytes(dir.path() / "inner.pkg", asBytes("#{\"inner\"},(0x10000AAA),1,0,0\n\"inner.txt\"-\"c:\\inner.txt\"\n"));
    ASSERT_EQ(runTool("makesis", dir.path(), "inner.pkg").exitCode, 0);
    writeBytes(dir.path() / "outer.pkg", asBytes("#{\"outer\"},(0x10000BBB),1,0,0\n@\"inner.SIS\",(0x10000AAA)\n"));
    ASSERT_EQ(runTool("makesis", dir.path(), "outer.pkg").exitCode, 0);
    auto pkg = readSis(readBytes(dir.path() / "outer.SIS"));
    ASSERT_TRUE(pkg.ok());
    EXPECT_EQ(pkg->records.at(0).fileType, kFileComponent);
    EXPECT_EQ(pkg->records.at(0).details, 0x10000AAAu);
    EXPECT_EQ(pkg->maximumInstalledSpace, 10u); // the inner package's own figure
    ASSERT_EQ(runTool("SISTool.exe", dir.path(), "outer.SIS").exitCode, 0);
    EXPECT_EQ(readBytes(dir.path() / "TEMP" / "inner.SIS"), readBytes(dir.path() / "inner.SIS"));
}

TEST(Makesis, ScriptsAndTextsWithoutAMarkAreWindows1251)
{
    // D0 B8 is "Рё" in Windows-1251 and "и" in UTF-8: without a mark only
    // --utf8 makes it UTF-8; a mark decides for itself.
    struct Case {
        const char* args;
        Bytes text; // the FT file
        std::u16string name, shown;
    };
    const Case cases[] = {
        {"p.pkg", {0xD0, 0xB8}, u"Рё", u"Рё"},
        {"--utf8 p.pkg", {0xD0, 0xB8}, u"и", u"и"},
        {"p.pkg", {0xEF, 0xBB, 0xBF, 0xD0, 0xB8}, u"Рё", u"и"},
        {"--utf8 p.pkg", {0xFF, 0xFE, 0x38, 0x04}, u"и", u"и"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        Bytes script = asBytes("#{\"");
        script.insert(script.end(), {0xD0, 0xB8});
        const Bytes rest = asBytes("\"},(1),1,0,0\r\n\"t.txt\"-\"\",FT,TC\r\n");
        script.insert(script.end(), rest.begin(), rest.end());
        writeBytes(dir.path() / "p.pkg", script);
        writeBytes(dir.path() / "t.txt", c.text);
        const ToolRun run = runTool("makesis", dir.path(), c.args);
        ASSERT_EQ(run.exitCode, 0) << c.args << "\n" << run.output;
        const Bytes sis = readBytes(dir.path() / "p.SIS");
        auto pkg = readSis(sis);
        ASSERT_TRUE(pkg.ok());
        EXPECT_EQ(pkg->componentNames, std::vector<std::u16string>{c.name}) << c.args;
        EXPECT_EQ(*readData(sis, *pkg, pkg->records.at(0).blocks.at(0)), utf16LeBytes(c.shown)) << c.args;
    }
    // --utf8 on bytes that are not UTF-8 is an error that names the line.
    TempDir dir;
    writeBytes(dir.path() / "p.pkg", asBytes("#{\"n\"},(1),1,0,0\n\"\xC0\"-\"c:\\a\"\n"));
    const ToolRun run = runTool("makesis", dir.path(), "--utf8 p.pkg");
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.output.find("line 2: the file is read as UTF-8 (--utf8)"), std::string::npos) << run.output;
}

TEST(Makesis, NeverWritesOverTheScriptOrItsFiles)
{
    struct Case {
        const char* args;
        bool builds;
        const char* message;
    };
    const Case cases[] = {
        {"p.pkg p.pkg", false, "does not end in .sis"},
        {"p.pkg out.txt", false, "does not end in .sis"},
        {"p.pkg out", false, "does not end in .sis"},
        {"p.pkg data.sis", false, "which the script packs"},
        {"p.pkg link.sis", false, "would replace the script itself"},
        {"p.pkg out.SiS", true, "Created"},
        {"p.pkg", true, "Created"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const Bytes script = asBytes("#{\"n\"},(1),1,0,0\n\"data.sis\"-\"c:\\data.sis\"\n");
        writeBytes(dir.path() / "p.pkg", script);
        writeBytes(dir.path() / "data.sis", asBytes("payload"));
        fs::create_symlink("p.pkg", dir.path() / "link.sis");
        const ToolRun run = runTool("makesis", dir.path(), c.args);
        EXPECT_EQ(run.exitCode == 0, c.builds) << c.args << "\n" << run.output;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << c.args << "\n" << run.output;
        EXPECT_EQ(run.output.find("Created") != std::string::npos, c.builds) << run.output;
        // Inputs are untouched, whatever happened.
        EXPECT_EQ(readBytes(dir.path() / "p.pkg"), script) << c.args;
        EXPECT_EQ(readBytes(dir.path() / "data.sis"), asBytes("payload")) << c.args;
        EXPECT_TRUE(fs::is_symlink(dir.path() / "link.sis"));
    }
}

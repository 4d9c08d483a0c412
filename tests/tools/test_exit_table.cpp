// kastra-theme's exit statuses and messages as one table over its commands
// and the inputs a user gets wrong: the same input gives the same status from
// every command that takes it, the message says what happened in English,
// and nothing is written and no Qt warning shows.
#include "package/build.h"
#include "package_fixture.h"
#include "tool_runner.h"

#include "mbm/mbm.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <sys/stat.h>

using namespace kastra;
using namespace kastra::test;
namespace fs = std::filesystem;

namespace {

const char* const kThemeFiles[] = {"EidPic.mbm", "backgroundimage.mbm", "Avkon.mbm", "AvkonEx.mbm", "menu_folders.mbm"};

void copyTheme(const fs::path& from, const fs::path& to)
{
    fs::create_directories(to);
    for (const char* f : kThemeFiles)
        fs::copy_file(from / f, to / f);
}

// An MBM whose index is sound but whose first bitmap claims more bytes than
// the file holds: readable as a list, not as pictures.
Bytes brokenBitmaps(Bytes mbm)
{
    for (int i = 0; i < 4; ++i)
        mbm[20 + static_cast<std::size_t>(i)] = 0xF0;
    return mbm;
}

// An MBM of one tiny bitmap whose table names it 100,000 times.
Bytes claimingBitmaps(std::uint32_t count)
{
    const auto one = mbm::makeBitmap(mbm::Mode{24, true}, 1, 1, std::vector<mbm::Rgb>{{1, 2, 3}}, 0, 0);
    Bytes file = *mbm::writeMbm({*one}, mbm::Store::Uncompressed);
    const auto le32 = [&file](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            file[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    const std::uint32_t trailer = file[16] | file[17] << 8 | file[18] << 16 | static_cast<std::uint32_t>(file[19]) << 24;
    file.resize(trailer + 4 + std::size_t{4} * count);
    le32(trailer, count);
    for (std::uint32_t i = 0; i < count; ++i)
        le32(trailer + 4 + 4 * i, 20);
    return file;
}

// A package of the theme files in folder, made with our makesis.
void packTheme(const fs::path& base, const fs::path& folder, const std::string& sis)
{
    std::ofstream pkg(base / (sis + ".pkg"));
    pkg << "&EN\r\n#{\"T\"},(0x10001234),1,0,0\r\n";
    for (const char* f : kThemeFiles)
        if (fs::exists(folder / f))
            pkg << '"' << (folder / f).string() << "\"-\"c:\\system\\data\\" << f << "\"\r\n";
    pkg.close();
    ASSERT_EQ(runTool("makesis", base, sis + ".pkg " + sis + ".sis").exitCode, 0) << sis;
}

bool hasCyrillic(const std::string& s)
{
    for (const char c : s)
        if (static_cast<unsigned char>(c) == 0xD0 || static_cast<unsigned char>(c) == 0xD1)
            return true;
    return false;
}

} // namespace

TEST(ExitTable, EveryCommandGivesTheSameStatusForTheSameInput)
{
    ThemeWorkspace t;
    BuildInputs in;
    in.themeName = QStringLiteral("Table");
    in.fileName = QStringLiteral("Table");
    ASSERT_TRUE(BuildPackage(t.ws, in).outcome.ok);
    const fs::path b = t.base();
    copyTheme(t.sis(), b / "theme");
    fs::copy_file(t.programFolder() / "Table.sis", b / "good.sis");

    // Theme folders and packages that no load button takes.
    copyTheme(b / "theme", b / "broken");
    writeBytes(b / "broken" / "Avkon.mbm", brokenBitmaps(readBytes(b / "theme" / "Avkon.mbm")));
    copyTheme(b / "theme", b / "many");
    writeBytes(b / "many" / "Avkon.mbm", claimingBitmaps(100000));
    copyTheme(b / "theme", b / "lacking");
    fs::remove(b / "lacking" / "backgroundimage.mbm");
    for (const char* name : {"broken", "many", "lacking"})
        packTheme(b, b / name, name);
    std::ofstream(b / "aif.pkg") << "&EN\r\n#{\"T\"},(0x10001234),1,0,0\r\n\"" << (t.sis() / "veZozi.aif").string()
                                 << "\"-\"c:\\system\\apps\\veZozi\\veZozi.aif\"\r\n";
    ASSERT_EQ(runTool("makesis", b, "aif.pkg aif.sis").exitCode, 0);
    Bytes damaged = readBytes(b / "good.sis");
    damaged[damaged.size() - 40] ^= 0xFF;
    writeBytes(b / "damaged.sis", damaged);
    writeBytes(b / "empty.sis", {});
    writeBytes(b / "junk.sis", Bytes(100, 7));
    // FIFOs nobody writes to: a reader that opened one would wait forever.
    copyTheme(b / "theme", b / "fifo");
    fs::remove(b / "fifo" / "Avkon.mbm");
    for (const fs::path& p : {b / "fifo" / "Avkon.mbm", b / "fifo.sis", b / "fifo.bmp", b / "fifo.txt"})
        ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0);
    // Pictures for new.
    ASSERT_TRUE(patternPicture(200, 230, 4).writeBmp(b / "photo.bmp"));
    ASSERT_TRUE(patternPicture(100, 100, 4).writeBmp(b / "small.bmp"));
    writeBytes(b / "junk.bmp", Bytes(300, 'B'));
    // Names that are not UTF-8 (Latin-1 "é"), and names too long.
    copyTheme(b / "theme", b / "th\xE9me");
    fs::copy_file(b / "good.sis", b / "p\xE9.sis");
    fs::copy_file(b / "photo.bmp", b / "ph\xE9to.bmp");
    const std::string latin1Theme = "\"$(printf 'th\\351me')\"";
    const std::string latin1Sis = "\"$(printf 'p\\351.sis')\"";
    const std::string latin1Picture = "\"$(printf 'ph\\351to.bmp')\"";
    const std::string longName = std::string(300, 'n');
    std::string longPath;
    while (longPath.size() < 5000)
        longPath += "deeper/";
    longPath += "x.sis";
    // Outputs something stands in the way of: a folder under the name.
    fs::create_directories(b / "out" / "Ob.sis");
    fs::create_directories(b / "blocked.png");
    fs::create_directories(b / "blocked-theme" / "Avkon.mbm");
    // A copy of the program without SISTool.exe beside it.
    fs::create_directories(b / "bare");
    fs::copy_file(fs::path(KASTRA_BIN_DIR) / "kastra-theme", b / "bare" / "kastra-theme");
    // A copy whose program folder holds a converter that always fails.
    fs::create_directories(b / "failing" / "payloads" / "EXTPROGS");
    fs::copy_file(fs::path(KASTRA_BIN_DIR) / "kastra-theme", b / "failing" / "kastra-theme");
    const std::string fails = "#!/bin/sh\nexit 1\n";
    writeBytes(b / "failing" / "payloads" / "EXTPROGS" / "BMC", Bytes(fails.begin(), fails.end()));
    const std::string failing = (b / "failing" / "kastra-theme").string();
    // A current folder deeper than the system's path limit, made one step
    // at a time (a shell's cd refuses such a path) by perl, which then runs
    // the program there.
    const std::string deep = "perl -e 'mkdir \"deep\"; chdir \"deep\"; for (1..24) { mkdir \"d\" x 200; "
                             "chdir \"d\" x 200 or die } exec @ARGV' ";

    const std::string preview = "preview --out out/d.png ";
    struct Row {
        std::string args;
        int status;
        std::string says;
        std::string before = {};   // shell words before the environment and the program
        std::string tool = KASTRA_BIN_DIR "/kastra-theme";
    };
    const Row rows[] = {
        // A missing input.
        {"build nowhere --name x --file Mi", 2, "nowhere does not exist"},
        {"import nowhere.sis --out imported", 2, "nowhere.sis does not exist"},
        {"check nowhere.sis", 2, "nowhere.sis does not exist"},
        {preview + "nowhere", 2, "nowhere does not exist"},
        {"new newtheme --picture nowhere.bmp", 2, "nowhere.bmp does not exist"},
        {"diff theme nowhere", 2, "nowhere does not exist"},
        {"preview theme --out nowhere/d.png", 2, "nowhere does not exist"},
        // A FIFO where a file is wanted, a folder where a picture is.
        {"build fifo --name x --file Ff", 2, "Avkon.mbm is a FIFO"},
        {"build theme --name x --file Ff --greeting fifo.txt", 2, "fifo.txt is a FIFO"},
        {"import fifo.sis --out imported", 2, "fifo.sis is a FIFO"},
        {"check fifo.sis", 2, "fifo.sis is a FIFO"},
        {preview + "fifo.sis", 2, "fifo.sis is a FIFO"},
        {preview + "fifo", 2, "Avkon.mbm is a FIFO"},
        {"new newtheme --picture fifo.bmp", 2, "fifo.bmp is a FIFO"},
        {"new newtheme --picture theme", 2, "theme is a folder, not a file"},
        {"diff fifo theme", 2, "Avkon.mbm is a FIFO"},
        // A theme file whose bitmaps cannot be read.
        {"build broken --name x --file Br", 2, "not a theme file the theme creator takes"},
        {"import broken.sis --out imported", 2, "Avkon.mbm in"},
        {"check broken.sis", 2, "Avkon.mbm: not readable"},
        {preview + "broken", 2, "not a theme file the theme creator takes"},
        {preview + "broken.sis", 2, "not a theme file the theme creator takes"},
        {"diff theme broken", 2, "not a theme file the theme creator takes"},
        // An Avkon.mbm claiming 100,000 bitmaps.
        {"build many --name x --file Mn", 2, "100000 bitmaps, the theme needs 508"},
        {"import many.sis --out imported", 2, "100000 bitmaps, the theme needs 508"},
        {"check many.sis", 2, "100000 bitmaps, the theme needs 508"},
        {preview + "many", 2, "100000 bitmaps, the theme needs 508"},
        {"diff many.sis theme", 2, "100000 bitmaps, the theme needs 508"},
        // A theme without one of its files.
        {"build lacking --name x --file La", 2, "has no backgroundimage.mbm"},
        {"check lacking.sis", 2, "backgroundimage.mbm"},
        {"import aif.sis --out imported", 2, "holds none of the five theme files"},
        {preview + "lacking.sis", 2, "holds no backgroundimage.mbm"},
        {"diff lacking theme", 2, "has no backgroundimage.mbm"},
        // A damaged, empty or non-package .sis.
        {"import damaged.sis --out imported", 2, "not a sound installation package"},
        {"import empty.sis --out imported", 2, "not a sound installation package"},
        {"check damaged.sis", 2, "damaged.sis is damaged"},
        {"check junk.sis", 2, "not an installation package"},
        {preview + "junk.sis", 2, "not a sound installation package"},
        {"diff theme damaged.sis", 2, "not a sound installation package"},
        // A picture new cannot import.
        {"new newtheme --picture junk.bmp", 2, "not a picture the program reads"},
        {"new newtheme --picture small.bmp", 2, "at least 176 x 200"},
        // A name that is not UTF-8.
        {"build " + latin1Theme + " --name x --file Ut", 2, "\"th\\xe9me\" is not valid UTF-8"},
        {"import " + latin1Sis + " --out imported", 2, "is not valid UTF-8"},
        {"check " + latin1Sis, 2, "is not valid UTF-8"},
        {preview + latin1Theme, 2, "is not valid UTF-8"},
        {"new newtheme --picture " + latin1Picture, 2, "is not valid UTF-8"},
        {"diff theme " + latin1Theme, 2, "is not valid UTF-8"},
        // A name or a path too long, and a current folder too deep.
        {"build " + longName + " --name x --file Lo", 2, "a name in the path"},
        {"import " + longPath + " --out imported", 2, "is too long: it has"},
        {"check " + longName + ".sis", 2, "a name in the path"},
        {preview + longPath, 2, "is too long: it has"},
        {"new newtheme --picture " + longName + ".bmp", 2, "a name in the path"},
        {"new " + longPath + " --picture photo.bmp", 2, "is too deep"},
        {"diff theme " + longPath, 2, "is too long: it has"},
        {"diff theme theme --sheet " + longPath + ".png", 2, "is too long: it has"},
        {"build '" + (b / "theme").string() + "' --name x --file Dp --out .", 2, "is too deep", deep},
        // A failure while working: an output that cannot be written, a tool
        // that is not there.
        {"build theme --name x --file Ob --out out", 1, "the build failed"},
        {"new newtheme --picture photo.bmp", 1, "File too large", "ulimit -f 1 && "},
        {"new newtheme --picture photo.bmp", 1, "cannot save EidPic.mbm: bmconv did not pack it", "ulimit -f 64 && "},
        {"preview theme --out blocked.png", 1, "cannot write"},
        {"new blocked-theme --picture photo.bmp", 1, "nothing written"},
        {"build theme --name x --file Bf --out out", 1, "bmconv did not unpack", {}, failing},
        {preview + "theme", 1, "bmconv did not unpack", {}, failing},
        {"new newtheme --picture photo.bmp", 1, "bmconv did not pack it", {}, failing},
        {"import good.sis --out imported", 1, "SISTool.exe is not beside kastra-theme", {},
         (b / "bare" / "kastra-theme").string()},
    };
    const fs::path tmp = b / "tmp";
    fs::create_directories(tmp);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args.substr(0, 200));
        // Qt warns of a missing runtime folder; the user's locale may be
        // another than English.
        const ToolRun r = runShell("cd '" + b.string() + "' && " + row.before + "env -u XDG_RUNTIME_DIR TMPDIR='"
                                   + tmp.string() + "' LANG=ru_RU.UTF-8 '" + row.tool + "' " + row.args);
        if (!row.before.empty())
            runShell("cd '" + b.string() + "' && rm -rf deep");
        EXPECT_EQ(r.exitCode, row.status) << r.output.substr(0, 6000);
        EXPECT_NE(r.output.find(row.says), std::string::npos) << row.says << '\n' << r.output.substr(0, 6000);
        EXPECT_FALSE(hasCyrillic(r.output)) << r.output;
        for (const char* foreign : {"QStandardPaths", "Runtime error", "qt."})
            EXPECT_EQ(r.output.find(foreign), std::string::npos) << r.output;
    }
    // Nothing was made for an input refused, and no workspace is left.
    for (const char* made : {"imported", "newtheme", "deep"})
        EXPECT_FALSE(fs::exists(b / made)) << made;
    // Qt makes a runtime folder of its own there when XDG_RUNTIME_DIR is unset.
    for (const auto& e : fs::directory_iterator(tmp))
        EXPECT_EQ(e.path().filename().string().rfind("runtime-", 0), 0u) << e.path();
    EXPECT_FALSE(fs::exists(b / "out" / "Ob.sis" / "Ob.sis"));
    EXPECT_TRUE(fs::is_empty(b / "blocked-theme" / "Avkon.mbm"));
}

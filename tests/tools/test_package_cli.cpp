// kastra-theme, run as a user runs it: build, import and check, with the
// packages read back by our own readers.
#include "package/build.h"
#include "package/package_check.h"
#include "package_fixture.h"
#include "tool_runner.h"

#include "mbm/mbm.h"
#include "sis/sis_reader.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>


using namespace kastra;
using namespace kastra::test;
namespace fs = std::filesystem;

namespace {

const char* const kThemeFiles[] = {"EidPic.mbm", "backgroundimage.mbm", "Avkon.mbm", "AvkonEx.mbm", "menu_folders.mbm"};

// A theme folder as the save buttons leave it: the five packed files.
class ThemeFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        BuildInputs in;
        in.themeName = QStringLiteral("Source");
        in.fileName = QStringLiteral("Source");
        ASSERT_TRUE(BuildPackage(t.ws, in).outcome.ok);
        fs::create_directories(theme());
        for (const char* f : kThemeFiles)
            fs::copy_file(t.sis() / f, theme() / f);
        fs::create_directories(out());
    }
    fs::path theme() const { return t.base() / "my theme"; }
    fs::path out() const { return t.base() / "out"; }

    ThemeWorkspace t;
};

// What kastra-theme left in a temporary folder, one path a line (Qt may put
// its own runtime folder there when XDG_RUNTIME_DIR is unset).
std::string workspacesLeftIn(const fs::path& tmp)
{
    std::string left;
    for (const auto& e : fs::recursive_directory_iterator(tmp))
        if (fs::relative(e.path(), tmp).string().rfind("kastra-theme-", 0) == 0)
            left += fs::relative(e.path(), tmp).string() + '\n';
    return left;
}

} // namespace

TEST_F(ThemeFolder, BuildGivesThePackageTheWindowGives)
{
    std::ofstream(t.base() / "greeting.txt") << "Привет,\nмир";
    const ToolRun r = runTool("kastra-theme", t.base(),
                              "build 'my theme' --name 'Моя тема' --file Cli_1 --greeting greeting.txt --out out "
                              "--font-number 4242");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const Bytes sis = readBytes(out() / "Cli_1.sis");
    const auto package = sis::readSis(sis);
    ASSERT_TRUE(package);
    EXPECT_EQ(package->records.size(), 27u);
    ASSERT_EQ(package->componentNames.size(), 1u);
    EXPECT_EQ(package->componentNames[0], u"Моя тема");
    EXPECT_EQ(package->records[6].destination, u"c:\\system\\fonts\\4242.gdr");
    const auto check = CheckPackage(sis);
    ASSERT_TRUE(check);
    EXPECT_TRUE(check->problems.isEmpty()) << check->problems.join(u'\n').toStdString();
    // The theme files went through the slots and came back the same.
    for (const char* f : kThemeFiles)
        EXPECT_EQ(packageFileData(sis, QString::fromLatin1(f)), readBytes(theme() / f)) << f;
}

TEST_F(ThemeFolder, ReproducibleBuildsAreByteIdentical)
{
    // Fixed by the environment: the same seed, the same font number, the
    // same bytes; by --font-number likewise.
    ::setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
    const ToolRun a = runTool("kastra-theme", t.base(), "build 'my theme' --name Same --file Same --out out");
    fs::rename(out() / "Same.sis", t.base() / "first.sis");
    const ToolRun b = runTool("kastra-theme", t.base(), "build 'my theme' --name Same --file Same --out out");
    ::unsetenv("SOURCE_DATE_EPOCH");
    ASSERT_EQ(a.exitCode, 0) << a.output;
    ASSERT_EQ(b.exitCode, 0) << b.output;
    EXPECT_EQ(readBytes(t.base() / "first.sis"), readBytes(out() / "Same.sis"));

    // Options with their value after '=' or as the next word, before or
    // after the theme folder: the same command.
    const ToolRun c = runTool("kastra-theme", t.base(), "build --name=Same --file=N1 --out=out 'my theme' --font-number=9");
    const ToolRun d = runTool("kastra-theme", t.base(), "build 'my theme' --name Same --file N1 --out . --font-number 9");
    ASSERT_EQ(c.exitCode, 0) << c.output;
    ASSERT_EQ(d.exitCode, 0) << d.output;
    EXPECT_EQ(readBytes(out() / "N1.sis"), readBytes(t.base() / "N1.sis"));
}

TEST_F(ThemeFolder, BuildRefusesBadInputWithAMessage)
{
    struct Case {
        const char* args;
        const char* says;
    };
    const Case cases[] = {
        {"build 'my theme' --name 'say \"hi\"' --file ab", "double quote"},
        {"build 'my theme' --name '' --file ab", "must not be empty"},
        {"build 'my theme' --name x --file a", "at least two"},
        {"build 'my theme' --name x --file ../ab", "Latin letters"},
        {"build 'my theme' --name x --file ab --font-number 65535", "--font-number"},
        {"build 'my theme' --name x --file ab --font 'my theme/Avkon.mbm'", "not a font store"},
        {"build out --name x --file ab", "EidPic.mbm"},
        {"build 'my theme' --name x", "--file"},
        {"build 'my theme' --name=x --file=ab --colour=red", "unknown option --colour"},
        {"build 'my theme' --name x --file ab -q", "unknown option -q"},
        {"build 'my theme' --name x --file ab --name y", "--name is given twice"},
        {"build 'my theme' --file ab --name", "Missing value after '--name'"},
        {"frobnicate", "unknown command"},
    };
    for (const Case& c : cases) {
        const ToolRun r = runTool("kastra-theme", t.base(), c.args);
        EXPECT_EQ(r.exitCode, 2) << c.args;
        EXPECT_NE(r.output.find(c.says), std::string::npos) << c.args << "\n" << r.output;
    }
    EXPECT_TRUE(fs::is_empty(out()));
    const ToolRun help = runTool("kastra-theme", t.base(), "--help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.output.find("kastra-theme build THEME_DIR"), std::string::npos);
}

TEST_F(ThemeFolder, ImportWritesTheTakeOverFiles)
{
    ASSERT_EQ(runTool("kastra-theme", t.base(), "build 'my theme' --name x --file Pk --out out").exitCode, 0);
    const ToolRun r = runTool("kastra-theme", t.base(), "import out/Pk.sis --out imported");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    for (const char* f : kThemeFiles)
        EXPECT_EQ(readBytes(t.base() / "imported" / f), readBytes(theme() / f)) << f;
    for (const char* f : {"veZozi.aif", "veZorCtrl.aif"})
        EXPECT_EQ(readBytes(t.base() / "imported" / f), readBytes(t.sis() / f)) << f;
    EXPECT_FALSE(fs::exists(t.base() / "imported" / "Hello.txt"));

    // A file of another letter case is replaced, not joined by a second.
    writeBytes(t.base() / "imported" / "Avkon.mbm", {1});
    fs::rename(t.base() / "imported" / "Avkon.mbm", t.base() / "imported" / "AVKON.MBM");
    ASSERT_EQ(runTool("kastra-theme", t.base(), "import out/Pk.sis --out imported").exitCode, 0);
    EXPECT_EQ(readBytes(t.base() / "imported" / "AVKON.MBM"), readBytes(theme() / "Avkon.mbm"));
    EXPECT_FALSE(fs::exists(t.base() / "imported" / "Avkon.mbm"));
}

TEST_F(ThemeFolder, OptionPathsAreTakenFromTheCurrentFolder)
{
    // Whatever the command does with its own current folder.
    fs::create_directories(t.base() / "fonts");
    fs::copy_file(t.sis() / "kde.gdr", t.base() / "fonts" / "my.gdr");
    const ToolRun font = runTool("kastra-theme", t.base(), "build 'my theme' --name x --file Fn --out out --font fonts/my.gdr");
    EXPECT_EQ(font.exitCode, 0) << font.output;
}

TEST_F(ThemeFolder, SignalsAndAFileSizeLimitLeaveNoWorkspaceBehind)
{
    const fs::path tmp = t.base() / "tmp";
    fs::create_directories(tmp);
    const std::string args = " build 'my theme' --name x --file Sg --out out";
    const std::string build = "TMPDIR='" + tmp.string() + "' '" + KASTRA_BIN_DIR + "/kastra-theme'" + args;
    // Ended while it works, blocked in a wait for bmconv. A copy of the
    // program whose program folder holds a converter that only sleeps keeps
    // it there however fast a real build has become.
    const fs::path prog = t.base() / "prog";
    fs::create_directories(prog / "payloads" / "EXTPROGS");
    fs::copy_file(fs::path(KASTRA_BIN_DIR) / "kastra-theme", prog / "kastra-theme");
    writeBytes(prog / "payloads" / "EXTPROGS" / "BMC", Bytes{'#', '!', '/', 'b', 'i', 'n', '/', 's', 'h', '\n',
                                                             's', 'l', 'e', 'e', 'p', ' ', '5', '\n'});
    const std::string blocked = "TMPDIR='" + tmp.string() + "' '" + (prog / "kastra-theme").string() + "'" + args;
    for (const char* sig : {"INT", "TERM", "HUP"}) {
        const ToolRun r = runShell("cd '" + t.base().string() + "' && { " + blocked + " & pid=$!; "
                                   + "while [ -z \"$(ls '" + tmp.string() + "')\" ]; do sleep 0.01; done; sleep 0.2; "
                                   + "kill -" + sig + " $pid; wait $pid; echo \"status $?\"; }");
        const int signalNumber = std::string(sig) == "INT" ? SIGINT : std::string(sig) == "TERM" ? SIGTERM : SIGHUP;
        EXPECT_NE(r.output.find("status " + std::to_string(128 + signalNumber)), std::string::npos) << sig << r.output;
        EXPECT_EQ(workspacesLeftIn(tmp), "") << sig;
    }
    // A file-size limit is a write error with a message, not a silent death.
    const ToolRun limited = runShell("cd '" + t.base().string() + "' && ulimit -f 64 && " + build);
    EXPECT_EQ(limited.exitCode, 1) << limited.output;
    EXPECT_NE(limited.output.find("kastra-theme: "), std::string::npos) << limited.output;
    EXPECT_EQ(workspacesLeftIn(tmp), "");
    EXPECT_TRUE(fs::is_empty(out()));
}

TEST_F(ThemeFolder, LinksPlantedUnderTheNamesUsedAreNeverWrittenThrough)
{
    const Bytes victim = {'k', 'e', 'e', 'p'};
    writeBytes(t.base() / "victim", victim);
    const auto plant = [this](const fs::path& at) { fs::create_symlink(t.base() / "victim", at); };

    // build: a link under the delivered name and under the name the copy
    // once used beside it.
    plant(out() / "Ln.sis");
    plant(out() / "Ln.sis.copy-tmp");
    const ToolRun built = runTool("kastra-theme", t.base(), "build 'my theme' --name x --file Ln --out out");
    EXPECT_EQ(built.exitCode, 0) << built.output;
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(out() / "Ln.sis")));
    EXPECT_TRUE(CheckPackage(readBytes(out() / "Ln.sis")));
    EXPECT_EQ(readBytes(t.base() / "victim"), victim);

    // import: links under the names the staging once used are left alone...
    fs::create_directories(t.base() / "imported");
    for (const char* f : kThemeFiles)
        plant(t.base() / "imported" / (std::string(f) + ".import-tmp"));
    const ToolRun imported = runTool("kastra-theme", t.base(), "import out/Ln.sis --out imported");
    EXPECT_EQ(imported.exitCode, 0) << imported.output;
    for (const char* f : kThemeFiles)
        EXPECT_EQ(readBytes(t.base() / "imported" / f), readBytes(theme() / f)) << f;
    // ...and a link under a target's name stops the import before anything
    // is written.
    fs::remove(t.base() / "imported" / "AvkonEx.mbm");
    plant(t.base() / "imported" / "AvkonEx.mbm");
    writeBytes(t.base() / "imported" / "Avkon.mbm", victim);
    const ToolRun refused = runTool("kastra-theme", t.base(), "import out/Ln.sis --out imported");
    EXPECT_EQ(refused.exitCode, 1) << refused.output;
    EXPECT_TRUE(fs::is_symlink(t.base() / "imported" / "AvkonEx.mbm"));
    EXPECT_EQ(readBytes(t.base() / "imported" / "Avkon.mbm"), victim);
    EXPECT_EQ(readBytes(t.base() / "victim"), victim);
}

TEST_F(ThemeFolder, ImportBlockedAtAnyFileChangesNoFile)
{
    ASSERT_EQ(runTool("kastra-theme", t.base(), "build 'my theme' --name x --file Pk --out out").exitCode, 0);
    const char* const written[] = {"EidPic.mbm", "backgroundimage.mbm", "Avkon.mbm", "AvkonEx.mbm",
                                   "menu_folders.mbm", "veZozi.aif", "veZorCtrl.aif"};
    for (const char* blocked : kThemeFiles) {
        const fs::path dir = t.base() / (std::string("into-") + blocked);
        fs::create_directories(dir / blocked);   // a folder in the way
        writeBytes(dir / blocked / "inside", {1});
        for (const char* f : written)
            if (std::string(f) != blocked)
                writeBytes(dir / f, Bytes(f, f + std::strlen(f)));
        const ToolRun r = runTool("kastra-theme", t.base(), "import out/Pk.sis --out '" + dir.string() + "'");
        EXPECT_EQ(r.exitCode, 1) << blocked << "\n" << r.output;
        EXPECT_NE(r.output.find("nothing imported"), std::string::npos) << r.output;
        std::size_t entries = 0;
        for (const auto& e : fs::directory_iterator(dir)) {
            ++entries;
            const std::string name = e.path().filename().string();
            if (name != blocked) {
                EXPECT_EQ(readBytes(e.path()), Bytes(name.begin(), name.end())) << blocked << ": " << name;
            }
        }
        EXPECT_EQ(entries, std::size(written)) << blocked;
    }
}

TEST_F(ThemeFolder, CheckPassesASoundPackageAndNamesWhatIsWrong)
{
    ASSERT_EQ(runTool("kastra-theme", t.base(), "build 'my theme' --name x --file Ok --out out").exitCode, 0);
    const ToolRun ok = runTool("kastra-theme", t.base(), "check out/Ok.sis");
    EXPECT_EQ(ok.exitCode, 0) << ok.output;
    EXPECT_NE(ok.output.find("27 files"), std::string::npos) << ok.output;
    EXPECT_NE(ok.output.find("c:\\system\\data\\Avkon.mbm"), std::string::npos);

    // A package whose theme files are swapped and one missing: each
    // difference from the catalogue is named (counts and sizes; depths are
    // no difference).
    for (const char* f : {"EidPic.mbm", "AvkonEx.mbm", "menu_folders.mbm"})
        fs::copy_file(theme() / f, t.base() / f);
    fs::copy_file(theme() / "backgroundimage.mbm", t.base() / "Avkon.mbm");
    std::ofstream(t.base() / "odd.pkg") << "&EN\r\n#{\"Odd\"},(0x10001234),1,0,0\r\n"
                                           "\"EidPic.mbm\"-\"c:\\system\\data\\AvkonEx.mbm\"\r\n"
                                           "\"AvkonEx.mbm\"-\"c:\\system\\data\\EidPic.mbm\"\r\n"
                                           "\"menu_folders.mbm\"-\"c:\\system\\data\\menu_folders.mbm\"\r\n"
                                           "\"Avkon.mbm\"-\"c:\\system\\data\\Avkon.mbm\"\r\n";
    ASSERT_EQ(runTool("makesis", t.base(), "odd.pkg odd.sis").exitCode, 0);
    const ToolRun odd = runTool("kastra-theme", t.base(), "check odd.sis");
    EXPECT_EQ(odd.exitCode, 2);
    for (const char* says : {"AvkonEx.mbm: 5 bitmaps, the theme needs 12", "EidPic.mbm: 12 bitmaps, the theme needs 5",
                             "Avkon.mbm: 2 bitmaps, the theme needs 508", "no readable backgroundimage.mbm",
                             "EidPic.mbm #0 (SplashTop.bmp): 32 x 12, the slot is 176 x 12"})
        EXPECT_NE(odd.output.find(says), std::string::npos) << says << "\n" << odd.output;

    const ToolRun notSis = runTool("kastra-theme", t.base(), "check odd.pkg");
    EXPECT_EQ(notSis.exitCode, 2);
}

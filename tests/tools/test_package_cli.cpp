// kastra-theme, run as a user runs it: build, import and check, with the
// packages read back by our own readers.
#include "package/build.h"
#include "package/package_check.h"
#include "package_fixture.h"
#include "tool_runner.h"

#include "mbm/mbm.h"
#include "sis/sis_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <cstdlib>
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

    writeBytes(t.base() / "junk.sis", Bytes(100, 7));
    const ToolRun junk = runTool("kastra-theme", t.base(), "import junk.sis --out junk");
    EXPECT_NE(junk.exitCode, 0);
    EXPECT_TRUE(!fs::exists(t.base() / "junk") || fs::is_empty(t.base() / "junk"));
}

TEST_F(ThemeFolder, CheckPassesASoundPackageAndNamesWhatIsWrong)
{
    ASSERT_EQ(runTool("kastra-theme", t.base(), "build 'my theme' --name x --file Ok --out out").exitCode, 0);
    const ToolRun ok = runTool("kastra-theme", t.base(), "check out/Ok.sis");
    EXPECT_EQ(ok.exitCode, 0) << ok.output;
    EXPECT_NE(ok.output.find("27 files"), std::string::npos) << ok.output;
    EXPECT_NE(ok.output.find("c:\\system\\data\\Avkon.mbm"), std::string::npos);

    // One byte changed inside a stored file: the checksum no longer fits or
    // the data no longer inflates.
    Bytes damaged = readBytes(out() / "Ok.sis");
    damaged[damaged.size() - 40] ^= 0xFF;
    writeBytes(t.base() / "damaged.sis", damaged);
    const ToolRun bad = runTool("kastra-theme", t.base(), "check damaged.sis");
    EXPECT_EQ(bad.exitCode, 1) << bad.output;
    EXPECT_NE(bad.output.find("problems"), std::string::npos) << bad.output;

    // A package whose theme files are swapped and one missing: each
    // difference from the catalogue is named.
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
    EXPECT_EQ(odd.exitCode, 1);
    for (const char* says : {"AvkonEx.mbm: 5 bitmaps, the theme needs 12", "EidPic.mbm: 12 bitmaps, the theme needs 5",
                             "Avkon.mbm: 2 bitmaps, the theme needs 508", "no readable backgroundimage.mbm",
                             "EidPic.mbm #0 (SplashTop.bmp): 32 x 12, the slot is 176 x 12",
                             "stored as /c4, the slot is packed as /c24"})
        EXPECT_NE(odd.output.find(says), std::string::npos) << says << "\n" << odd.output;

    const ToolRun notSis = runTool("kastra-theme", t.base(), "check odd.pkg");
    EXPECT_EQ(notSis.exitCode, 2);
}

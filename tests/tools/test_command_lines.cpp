// The five executables' --version and --help, as a packager and a shell user
// try them: exit 0, the version, no display needed and no file written, not
// even the settings or the workspace of the window program.
#include "base/version.h"
#include "test_support.h"
#include "tool_runner.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace kastra;
using namespace kastra::test;
namespace fs = std::filesystem;

namespace {

std::set<std::string> entries(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        names.insert(fs::relative(e.path(), folder).string());
    return names;
}

} // namespace

TEST(CommandLines, EveryExecutableAnswersVersionAndHelpWithoutTouchingAFile)
{
    struct Case {
        const char* tool;
        const char* args;
        int exitCode;
        std::string says;
    };
    const std::string version = std::string(" ") + kastra::Version + "\n";
    const Case cases[] = {
        {"kastra-theme-creator", "--version", 0, "kastra-theme-creator (Kastra Theme Creator)" + version},
        {"kastra-theme-creator", "-platform offscreen --help", 0, "usage: kastra-theme-creator"},
        {"kastra-theme-creator", "-h", 0, "usage: kastra-theme-creator"},
        {"kastra-theme-creator", "--platform=offscreen a.sis b.sis", 2, "takes one file at most: b.sis"},
        {"kastra-theme-creator", "-- -a.bmp -b.bmp", 2, "takes one file at most: -b.bmp"},
        {"kastra-theme-creator", "--frobnicate", 2, "unknown option --frobnicate"},
        {"kastra-theme", "--version", 0, "kastra-theme (Kastra Theme Creator)" + version},
        {"kastra-theme", "--help", 0, "usage: kastra-theme COMMAND"},
        {"kastra-theme", "preview -h", 0, "usage: kastra-theme COMMAND"},
        {"bmconv", "--version", 0, "bmconv (Kastra Theme Creator)" + version},
        {"bmconv", "-h", 0, "usage:\n  bmconv"},
        {"makesis", "--version", 0, "makesis (Kastra Theme Creator)" + version},
        {"makesis", "--help", 0, "usage: makesis"},
        {"SISTool.exe", "--version", 0, "SISTool.exe (Kastra Theme Creator)" + version},
        {"SISTool.exe", "-h", 0, "usage: SISTool"},
    };
    const std::set<std::string> binBefore = entries(KASTRA_BIN_DIR);
    for (const Case& c : cases) {
        TempDir home;
        for (const char* folder : {"cwd", "runtime", "data", "config", "cache"})
            fs::create_directory(home.path() / folder);
        fs::permissions(home.path() / "runtime", fs::perms::owner_all, fs::perm_options::replace);
        const std::set<std::string> before = entries(home.path());
        // An X11 platform without a display: any application object would
        // abort the run.
        const std::string env = "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb HOME='" + home.path().string()
            + "' XDG_RUNTIME_DIR='" + (home.path() / "runtime").string() + "' XDG_DATA_HOME='"
            + (home.path() / "data").string() + "' XDG_CONFIG_HOME='" + (home.path() / "config").string()
            + "' XDG_CACHE_HOME='" + (home.path() / "cache").string() + "' ";
        const ToolRun r = runShell("cd '" + (home.path() / "cwd").string() + "' && " + env + "'" + KASTRA_BIN_DIR + "/"
                                   + c.tool + "' " + c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.tool << ' ' << c.args << '\n' << r.output;
        EXPECT_NE(r.output.find(c.says), std::string::npos) << c.tool << ' ' << c.args << '\n' << r.output;
        EXPECT_EQ(entries(home.path()), before) << c.tool << ' ' << c.args;
    }
    EXPECT_EQ(entries(KASTRA_BIN_DIR), binBefore);
}

// The Debian package as a user gets it: built by cpack from this build,
// unpacked with dpkg-deb as dpkg would install it, then its files, its
// control data and its metadata checked, and its programs run from where the
// package puts them. Linux only.
#include "package/build.h"
#include "package_fixture.h"
#include "test_support.h"
#include "tool_runner.h"

#include <gtest/gtest.h>

#include <QString>

#include <array>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <thread>

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kastra;
using namespace kastra::test;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const char* const kBinaries[] = {"kastra-theme-creator", "kastra-theme", "bmconv", "makesis", "SISTool.exe"};
const char* const kThemeFiles[] = {"EidPic.mbm", "backgroundimage.mbm", "Avkon.mbm", "AvkonEx.mbm", "menu_folders.mbm"};
const std::string kDesktopFile = "share/applications/kastra-theme-creator.desktop";
const std::string kIconFile = "share/icons/hicolor/scalable/apps/kastra-theme-creator.svg";
const std::string kMimeFile = "share/mime/packages/kastra-theme-creator.xml";
const std::string kMetainfoFile = std::string("share/metainfo/") + KASTRA_APP_ID + ".metainfo.xml";
const std::string kCompletionFile = "share/bash-completion/completions/kastra-theme";
const std::string kCopyrightFile = "share/doc/kastra-theme-creator/copyright";
const std::string kChangelogFile = "share/doc/kastra-theme-creator/changelog.gz";

// The user nobody, who may not write to an installed program's folder.
constexpr uid_t kNobody = 65534;

using Ran = test::ToolRun;

std::string quoted(const std::string& word)
{
    std::string q = "'";
    for (char c : word)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string quoted(const fs::path& p)
{
    return quoted(p.string());
}

Ran run(const std::string& command)
{
    return test::runShell(command);
}

bool onPath(const char* program)
{
    return run(std::string("command -v ") + program + " >/dev/null").exitCode == 0;
}

std::string readText(const fs::path& p)
{
    const Bytes bytes = readBytes(p);
    return {bytes.begin(), bytes.end()};
}

// "Key: value" lines with indented continuation lines, as dpkg-deb -f and
// the [Desktop Entry] group ("Key=value") both give them.
std::map<std::string, std::string> fields(const std::string& text, char separator)
{
    std::map<std::string, std::string> out;
    std::istringstream in(text);
    std::string line;
    std::string last;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] == ' ' && !last.empty()) {
            out[last] += '\n' + line.substr(1);
            continue;
        }
        const auto at = line.find(separator);
        if (at == std::string::npos || line.empty() || line[0] == '#' || line[0] == '[')
            continue;
        last = line.substr(0, at);
        std::string value = line.substr(at + 1);
        if (separator == ':' && !value.empty() && value[0] == ' ')
            value.erase(0, 1);
        out[last] = value;
    }
    return out;
}

// Package names in a Depends-style field, versions and alternatives aside.
std::vector<std::string> packageNames(const std::string& field)
{
    std::vector<std::string> names;
    static const std::regex name(R"((^|[,|])\s*([a-z0-9][a-z0-9+.-]+))");
    for (auto it = std::sregex_iterator(field.begin(), field.end(), name); it != std::sregex_iterator(); ++it)
        names.push_back((*it)[2]);
    return names;
}

bool contains(const std::vector<std::string>& list, const std::string& item)
{
    return std::find(list.begin(), list.end(), item) != list.end();
}

class DebianPackage : public ::testing::Test {
protected:
    // One package for all cases: cpack takes a while.
    static void SetUpTestSuite()
    {
        s_scratch = std::make_unique<TempDir>();
        // nobody has to reach the unpacked programs and his own folders.
        fs::permissions(scratch(), fs::perms(0755));
        const Ran packed = run(quoted(std::string(KASTRA_CPACK_COMMAND)) + " -G DEB --config " +
                               quoted(std::string(KASTRA_DEB_CONFIG)) + " -B " + quoted(scratch() / "cpack"));
        for (const auto& entry : fs::directory_iterator(scratch() / "cpack", s_ec))
            if (entry.path().extension() == ".deb")
                s_deb = entry.path();
        if (packed.exitCode != 0 || s_deb.empty()) {
            s_setUpError = "cpack failed:\n" + packed.output;
            return;
        }
        const Ran unpacked = run("dpkg-deb -x " + quoted(s_deb) + " " + quoted(root()));
        if (unpacked.exitCode != 0) {
            s_setUpError = "dpkg-deb -x failed:\n" + unpacked.output;
            return;
        }
        const Ran control = run("dpkg-deb -f " + quoted(s_deb));
        if (control.exitCode != 0) {
            s_setUpError = "dpkg-deb -f failed:\n" + control.output;
            return;
        }
        s_control = fields(control.output, ':');
    }

    static void TearDownTestSuite() { s_scratch.reset(); }

    void SetUp() override
    {
        if (!s_setUpError.empty())
            FAIL() << s_setUpError;
    }

    static fs::path scratch() { return s_scratch->path(); }
    static fs::path root() { return scratch() / "root"; }
    static fs::path usr() { return root() / "usr"; }
    static fs::path bin() { return usr() / "bin"; }

    static inline std::unique_ptr<TempDir> s_scratch;
    static inline std::error_code s_ec;
    static inline fs::path s_deb;
    static inline std::string s_setUpError;
    static inline std::map<std::string, std::string> s_control;
};

} // namespace

TEST_F(DebianPackage, FilesLieWhereTheSystemLooksForThem)
{
    for (const char* name : kBinaries) {
        const fs::path p = bin() / name;
        ASSERT_TRUE(fs::is_regular_file(p)) << p;
        EXPECT_EQ(fs::status(p).permissions() & fs::perms::all, fs::perms(0755)) << p;
        // Stripped: debugging data stays out of the package.
        EXPECT_EQ(readText(p).find(".debug_info"), std::string::npos) << p;
    }
    std::vector<std::string> shared = {kDesktopFile, kIconFile, kMimeFile, kMetainfoFile, kCompletionFile, kCopyrightFile,
                                       kChangelogFile};
    for (const char* name : kBinaries)
        shared.push_back(std::string("share/man/man1/") + name + ".1.gz");
    for (const std::string& name : shared) {
        EXPECT_TRUE(fs::is_regular_file(usr() / name)) << name;
        EXPECT_EQ(fs::status(usr() / name).permissions() & fs::perms::all, fs::perms(0644)) << name;
    }
    // The companion's page names every command, what its exit statuses mean
    // and the variable that makes builds reproducible.
    const Ran page = run("zcat " + quoted(usr() / "share/man/man1/kastra-theme.1.gz"));
    for (const char* says : {".B kastra\\-theme build", ".B kastra\\-theme import", ".B kastra\\-theme check",
                             ".B kastra\\-theme preview", ".SH EXIT STATUS", ".B SOURCE_DATE_EPOCH"})
        EXPECT_NE(page.output.find(says), std::string::npos) << says;
    // The build's own helpers are not installed, and nothing lands outside
    // /usr (no /usr/local from the default install prefix).
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root()))
        if (!entry.is_directory())
            files.push_back(fs::relative(entry.path(), root()).string());
    EXPECT_EQ(files.size(), std::size(kBinaries) + shared.size()) << ::testing::PrintToString(files);
    for (const std::string& f : files)
        EXPECT_EQ(f.rfind("usr/bin/", 0) == 0 || f.rfind("usr/share/", 0) == 0, true) << f;
}

TEST_F(DebianPackage, LintianFindsNothing)
{
    if (!onPath("lintian"))
        GTEST_SKIP() << "lintian is not installed (scripts/install-deps installs it)";
    const Ran checked = run("lintian --fail-on error,warning " + quoted(s_deb));
    // As root lintian says so before anything else; that is about this run,
    // not about the package.
    std::string said = checked.output;
    const std::string asRoot = "running with root privileges is not recommended!\n";
    if (said.rfind(asRoot, 0) == 0)
        said.erase(0, asRoot.size());
    EXPECT_EQ(checked.exitCode, 0) << checked.output;
    EXPECT_EQ(said, "");
}

TEST_F(DebianPackage, ControlDataNamesTheDependencies)
{
    EXPECT_EQ(s_control["Package"], "kastra-theme-creator");
    EXPECT_EQ(s_control["Version"], KASTRA_VERSION);
    EXPECT_EQ(s_control["Section"], "graphics");
    const Ran arch = run("dpkg --print-architecture");
    ASSERT_EQ(arch.exitCode, 0);
    EXPECT_EQ(s_control["Architecture"] + "\n", arch.output);
    EXPECT_TRUE(std::regex_match(s_control["Maintainer"], std::regex(R"(.+ <[^<>@ ]+@[^<>@ ]+>)")))
        << s_control["Maintainer"];
    const auto description = s_control["Description"];
    EXPECT_NE(description.find('\n'), std::string::npos) << "a summary and a long description: " << description;

    // From dpkg-shlibdeps: what the binaries link. From us: the fonts the
    // program substitutes by name.
    const auto depends = packageNames(s_control["Depends"]);
    for (const char* p : {"libc6", "libstdc++6", "libqt6core6", "libqt6gui6", "libqt6widgets6", "libjpeg62-turbo",
                          "zlib1g", "fonts-liberation", "fonts-dejavu-core", "fonts-comic-neue"})
        EXPECT_TRUE(contains(depends, p)) << p << " missing from Depends: " << s_control["Depends"];
    const auto recommends = packageNames(s_control["Recommends"]);
    EXPECT_TRUE(contains(recommends, "qt6-translations-l10n")) << s_control["Recommends"];
    // Every name is a real one (no unexpanded ${shlibs:Depends}).
    EXPECT_EQ(s_control["Depends"].find('$'), std::string::npos) << s_control["Depends"];
}

TEST_F(DebianPackage, MenuEntryIconAndMetadataAgree)
{
    const fs::path metainfo = usr() / kMetainfoFile;
    const fs::path desktop = usr() / kDesktopFile;
    ASSERT_TRUE(onPath("appstreamcli")) << "appstreamcli is missing (Debian package appstream)";
    const Ran validated = run("appstreamcli validate --no-net " + quoted(metainfo));
    EXPECT_EQ(validated.exitCode, 0) << validated.output;
    // desktop-file-utils is not needed to build or run the program; when it
    // is there, its validator has the last word on the menu entry.
    if (onPath("desktop-file-validate")) {
        const Ran checked = run("desktop-file-validate " + quoted(desktop));
        EXPECT_EQ(checked.exitCode, 0) << checked.output;
        EXPECT_EQ(checked.output, "");
    }

    const std::string entryText = readText(desktop);
    ASSERT_EQ(entryText.rfind("[Desktop Entry]\n", 0), 0u);
    EXPECT_EQ(QString::fromUtf8(entryText).toUtf8().toStdString(), entryText) << "not UTF-8";
    auto entry = fields(entryText, '=');
    EXPECT_EQ(entry["Type"], "Application");
    for (const char* key : {"Name", "Name[ru]", "Comment", "Comment[ru]"})
        EXPECT_FALSE(entry[key].empty()) << key;
    EXPECT_EQ(entry["Name[ru]"], "Конструктор тем Kastra");
    // The menu starts a program the package holds and shows its icon.
    const std::string exec = entry["Exec"].substr(0, entry["Exec"].find(' '));
    EXPECT_TRUE(fs::is_regular_file(bin() / exec)) << exec;
    EXPECT_TRUE(fs::is_regular_file(usr() / "share/icons/hicolor/scalable/apps" / (entry["Icon"] + ".svg")))
        << entry["Icon"];
    EXPECT_NE((";" + entry["Categories"]).find(";Graphics;"), std::string::npos) << entry["Categories"];
    // "Open with" hands over one file, of the kinds the window takes, and the
    // package type is declared for systems that lack it.
    EXPECT_EQ(entry["Exec"], exec + " %f");
    for (const char* type : {"image/bmp", "image/jpeg", "image/png", "application/vnd.symbian.install"})
        EXPECT_NE((";" + entry["MimeType"]).find(std::string(";") + type + ";"), std::string::npos) << type;
    const std::string mime = readText(usr() / kMimeFile);
    EXPECT_NE(mime.find("<mime-type type=\"application/vnd.symbian.install\">"), std::string::npos) << mime;
    EXPECT_NE(mime.find("<glob pattern=\"*.sis\"/>"), std::string::npos) << mime;

    // The metadata names that menu entry, its own file name and this version.
    const std::string meta = readText(metainfo);
    EXPECT_NE(meta.find(std::string("<id>") + KASTRA_APP_ID + "</id>"), std::string::npos);
    EXPECT_NE(meta.find("<launchable type=\"desktop-id\">" + desktop.filename().string() + "</launchable>"),
              std::string::npos);
    EXPECT_NE(meta.find(std::string("<release version=\"") + KASTRA_VERSION + "\""), std::string::npos);
    EXPECT_NE(meta.find("<content_rating type=\"oars-1.1\""), std::string::npos);
    const std::string icon = readText(usr() / kIconFile);
    EXPECT_NE(icon.find("<svg"), std::string::npos);
    EXPECT_NE(icon.find("viewBox="), std::string::npos);
}

TEST_F(DebianPackage, CommandLineCompanionRunsFromTheUnpackedTree)
{
    const std::string kastraTheme = quoted(bin() / "kastra-theme");
    const Ran help = run(kastraTheme + " --help");
    EXPECT_EQ(help.exitCode, 0) << help.output;
    EXPECT_NE(help.output.find("kastra-theme build THEME_DIR"), std::string::npos) << help.output;

    // A theme folder as the save buttons leave it, from a package built
    // in-process the way the window builds it.
    ThemeWorkspace t;
    BuildInputs in;
    in.themeName = QStringLiteral("Source");
    in.fileName = QStringLiteral("Source");
    ASSERT_TRUE(BuildPackage(t.ws, in).outcome.ok);
    const fs::path work = scratch() / "cli";
    fs::create_directories(work / "theme");
    fs::create_directories(work / "out");
    for (const char* f : kThemeFiles)
        fs::copy_file(t.sis() / f, work / "theme" / f);

    const std::string cd = "cd " + quoted(work) + " && ";
    const Ran built = run(cd + kastraTheme + " build theme --name 'Тема из пакета' --file Deb_1 --out out");
    ASSERT_EQ(built.exitCode, 0) << built.output;
    const Ran checked = run(cd + kastraTheme + " check out/Deb_1.sis");
    EXPECT_EQ(checked.exitCode, 0) << checked.output;
    EXPECT_NE(checked.output.find("27 files"), std::string::npos) << checked.output;
    // import needs SISTool.exe, which the package puts beside kastra-theme.
    const Ran imported = run(cd + kastraTheme + " import out/Deb_1.sis --out imported");
    ASSERT_EQ(imported.exitCode, 0) << imported.output;
    for (const char* f : kThemeFiles)
        EXPECT_EQ(readBytes(work / "imported" / f), readBytes(work / "theme" / f)) << f;
}

TEST_F(DebianPackage, InstalledProgramKeepsItsProgramFolderInTheUserDataFolder)
{
    // Run as a user who may not write to usr/bin: nobody when we are root
    // (whom no permission stops), else ourselves with usr/bin read-only.
    const bool asRoot = ::geteuid() == 0;
    const uid_t user = asRoot ? kNobody : ::geteuid();
    const gid_t group = asRoot ? kNobody : ::getegid();
    const fs::path home = scratch() / "home";
    const fs::path runtime = scratch() / "runtime";
    fs::create_directories(home);
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms(0700));
    ASSERT_EQ(::chown(home.c_str(), user, group), 0);
    ASSERT_EQ(::chown(runtime.c_str(), user, group), 0);
    if (!asRoot)
        fs::permissions(bin(), fs::perms(0555));

    const std::string program = (bin() / "kastra-theme-creator").string();
    std::vector<std::string> env = {"HOME=" + home.string(), "XDG_RUNTIME_DIR=" + runtime.string(),
                                    "QT_QPA_PLATFORM=offscreen", "PATH=/usr/bin:/bin", "LANG=C.UTF-8"};
    for (const char* passed : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
        if (const char* value = std::getenv(passed))
            env.push_back(std::string(passed) + "=" + value);
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::array<char*, 2> argv = {const_cast<char*>(program.c_str()), nullptr};
    const std::string workDir = home.string();

    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // Only async-signal-safe calls between fork and exec.
        if (asRoot && (::setgroups(0, nullptr) != 0 || ::setgid(group) != 0 || ::setuid(user) != 0))
            ::_exit(126);
        if (::chdir(workDir.c_str()) != 0)
            ::_exit(126);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }

    // The program turns SIGTERM, SIGINT and SIGHUP into a normal close once
    // its window stands; /proc tells when the handlers are in place. Ctrl+C
    // in the terminal that started it is the one sent here.
    auto catchesTerm = [pid] {
        std::ifstream status("/proc/" + std::to_string(pid) + "/status");
        std::string line;
        while (std::getline(status, line))
            if (line.rfind("SigCgt:", 0) == 0) {
                const auto caught = std::stoull(line.substr(7), nullptr, 16);
                bool all = true;
                for (const int s : {SIGTERM, SIGINT, SIGHUP})
                    all = all && (caught >> (s - 1) & 1) != 0;
                return all;
            }
        return false;
    };
    int status = 0;
    bool exited = false;
    for (auto waited = 0ms; waited < 60s && !catchesTerm(); waited += 50ms) {
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            exited = true;
            break;
        }
        std::this_thread::sleep_for(50ms);
    }
    if (!exited) {
        ::kill(pid, SIGINT);
        for (auto waited = 0ms; waited < 60s && !exited; waited += 50ms) {
            exited = ::waitpid(pid, &status, WNOHANG) == pid;
            if (!exited)
                std::this_thread::sleep_for(50ms);
        }
        if (!exited) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
        }
    }
    if (!asRoot)
        fs::permissions(bin(), fs::perms(0755));

    ASSERT_TRUE(exited) << "the program did not close on SIGINT";
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    // The close saved the settings into the user's data folder, and nothing
    // was written beside the installed programs.
    const fs::path programFolder = home / ".local" / "share" / "kastra-theme";
    EXPECT_TRUE(fs::is_regular_file(programFolder / "Settings.ini")) << programFolder;
    std::vector<std::string> inBin;
    for (const auto& entry : fs::directory_iterator(bin()))
        inBin.push_back(entry.path().filename().string());
    EXPECT_EQ(inBin.size(), std::size(kBinaries)) << ::testing::PrintToString(inBin);
    // The workspace went away with the window.
    EXPECT_FALSE(fs::exists(runtime / "Temp" / "WorkDir"));
}

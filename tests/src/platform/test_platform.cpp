#include "platform/fileops.h"
#include "platform/folders.h"
#include "platform/process.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <sys/stat.h>
#include <unistd.h>

using namespace kastra;
namespace fs = std::filesystem;

namespace {

QString q(const fs::path& p) { return QString::fromStdString(p.string()); }

} // namespace

// ---------------------------------------------------------------------------
// Processes

TEST(Process, RunsHiddenAndWaitsForTheExitCode)
{
    const ProcessOutcome ok = RunHidden("/bin/sh -c \"exit 3\"", {});
    EXPECT_TRUE(ok.started);
    EXPECT_TRUE(ok.finished);
    EXPECT_EQ(ok.exitCode, 3);
    const ProcessOutcome missing = RunHidden("/nonexistent/tool.exe com.txt", {});
    EXPECT_FALSE(missing.started);
    EXPECT_FALSE(RunHidden("", {}).started);
}

TEST(Process, ProgramIsFoundInTheWorkingDirectoryFirst)
{
    TempDir d;
    fs::copy_file("/bin/sh", d.path() / "tool.exe");
    fs::permissions(d.path() / "tool.exe", fs::perms::owner_all);
    writeBytes(d.path() / "com.txt", Bytes{'e', 'x', 'i', 't', ' ', '7', '\n'});
    // "tool.exe com.txt" as the command line, resolved against the working directory.
    const ProcessOutcome r = RunHidden("tool.exe com.txt", q(d.path()));
    EXPECT_TRUE(r.started);
    EXPECT_EQ(r.exitCode, 7);
}

// The converter runs in the workspace folder held open: a folder swapped in
// under the workspace's path meanwhile receives nothing.
TEST(Process, ChildStartsInTheFolderHeldOpenNotInWhatItsPathNamesLater)
{
    TempDir d;
    fs::create_directory(d.path() / "work");
    fs::copy_file("/bin/sh", d.path() / "work" / "tool.exe");
    fs::permissions(d.path() / "work" / "tool.exe", fs::perms::owner_all);
    const std::string script = "echo here > where.txt\n";
    writeBytes(d.path() / "work" / "com.txt", Bytes(script.begin(), script.end()));
    auto folder = Folder::openOwn(d.path() / "work");
    ASSERT_TRUE(folder);
    fs::rename(d.path() / "work", d.path() / "moved");
    fs::create_directory(d.path() / "work");
    const ProcessOutcome r = RunHiddenIn(*folder, "tool.exe com.txt");
    EXPECT_TRUE(r.started);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(fs::exists(d.path() / "moved" / "where.txt"));
    EXPECT_FALSE(fs::exists(d.path() / "work" / "where.txt"));
}

TEST(Process, TimeLimitEndsTheChild)
{
    QElapsedTimer t;
    t.start();
    const ProcessOutcome r = RunHidden("/bin/sleep 20", {}, 300);
    EXPECT_TRUE(r.started);
    EXPECT_FALSE(r.finished);
    EXPECT_LT(t.elapsed(), 10000);
}

// Error output is read while the child runs: one that writes megabytes
// neither blocks on a full pipe nor fills memory, and a child kept past the
// limit is ended with what it said so far.
TEST(Process, ErrorOutputIsKeptUpToItsBoundWhileTheChildRuns)
{
    const ProcessOutcome loud = RunHidden("/bin/sh", {"-c", "head -c 5000000 /dev/zero >&2; exit 4"}, {}, 20000, 100);
    EXPECT_TRUE(loud.finished);
    EXPECT_EQ(loud.exitCode, 4);
    EXPECT_EQ(loud.errorOutput, QByteArray(100, '\0'));
    EXPECT_TRUE(loud.errorOutputCut);

    const ProcessOutcome slow = RunHidden("/bin/sh", {"-c", "echo stuck >&2; exec sleep 20"}, {}, 500, 100);
    EXPECT_TRUE(slow.started);
    EXPECT_FALSE(slow.finished);
    EXPECT_EQ(slow.errorOutput, QByteArray("stuck\n"));
    EXPECT_FALSE(slow.errorOutputCut);
}

TEST(Process, DetachedStartNeedsNoShellAndKeepsQuotedWords)
{
    TempDir d;
    const fs::path target = d.path() / "a folder" / "made by child";
    fs::create_directory(d.path() / "a folder");
    ASSERT_TRUE(StartDetached("/usr/bin/touch \"" + q(target) + "\""));
    for (int i = 0; i < 100 && !fs::exists(target); ++i)
        QThread::msleep(50);
    EXPECT_TRUE(fs::exists(target));
    EXPECT_FALSE(StartDetached("/nonexistent/editor file.bmp"));
    EXPECT_EQ(SplitCommandLine("a \"b c\" d"), (QStringList{"a", "b c", "d"}));
}

// ---------------------------------------------------------------------------
// Folders

// The runtime folder is used only when it is the user's own and private;
// otherwise the fixed fallback, and when that name is taken, a fresh one. No
// folder the program did not make changes its mode.
TEST(Folders, WorkspaceBaseIsAPrivateFolderOfTheUsersOwn)
{
    struct Case {
        const char* name;
        mode_t runtimeMode;        // 0: no runtime folder
        bool runtimeIsLink;
        bool fixedIsLink;
        bool otherOwner;           // the runtime folder belongs to another user
        const char* expected;      // "runtime", "fixed" or "fresh"
    };
    const Case cases[] = {
        {"private runtime folder", 0700, false, false, false, "runtime"},
        {"runtime folder open to all", 0777, false, false, false, "fixed"},
        {"runtime folder open to the group", 0770, false, false, false, "fixed"},
        {"runtime folder is a link", 0700, true, false, false, "fixed"},
        {"no runtime folder, the fixed name is a link", 0, false, true, false, "fresh"},
        {"runtime folder of another user", 0700, false, false, true, "fixed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.otherOwner && ::geteuid() != 0)
            continue;   // only root can give a folder away
        TempDir d;
        const fs::path runtime = d.path() / "run";
        const fs::path temp = d.path() / "tmp";
        fs::create_directories(temp);
        fs::create_directories(d.path() / "elsewhere");
        if (c.runtimeMode) {
            fs::create_directory(c.runtimeIsLink ? d.path() / "real" : runtime);
            ::chmod((c.runtimeIsLink ? d.path() / "real" : runtime).c_str(), c.runtimeMode);
            if (c.runtimeIsLink)
                fs::create_directory_symlink(d.path() / "real", runtime);
            if (c.otherOwner) {
                ASSERT_EQ(::chown(runtime.c_str(), 12345, 12345), 0);
            }
        }
        const std::string fixedName = "kastra-theme-" + std::to_string(::getuid());
        if (c.fixedIsLink)
            fs::create_directory_symlink(d.path() / "elsewhere", temp / fixedName);

        const auto r = ChooseWorkspaceBase(c.runtimeMode ? q(runtime) : QString(), q(temp));
        ASSERT_TRUE(r.ok()) << r.error();
        const fs::path chosen = fs::path(r->base.toStdString()).parent_path();
        const std::string expected = c.expected;
        if (expected == "runtime")
            EXPECT_EQ(chosen, runtime);
        else if (expected == "fixed")
            EXPECT_EQ(chosen, temp / fixedName);
        else
            EXPECT_EQ(chosen.parent_path(), temp);
        EXPECT_EQ(r->madeForThisRun, expected == "fresh");
        struct stat st {};
        ASSERT_EQ(::lstat(chosen.c_str(), &st), 0);
        EXPECT_TRUE(S_ISDIR(st.st_mode));
        EXPECT_EQ(st.st_mode & 077, 0u);
        if (c.runtimeMode && !c.runtimeIsLink) {
            ASSERT_EQ(::stat(runtime.c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 0777, c.runtimeMode);   // never changed
        }
        EXPECT_TRUE(fs::is_empty(d.path() / "elsewhere"));
    }
}

// A link at Temp or WorkDir is refused before anything is written, with a
// sentence naming the path.
TEST(Folders, LinkOnTheWayToTheRootIsRefused)
{
    for (const char* linked : {"Temp", "Temp/WorkDir"}) {
        SCOPED_TRACE(linked);
        TempDir d;
        const fs::path base = d.path() / "base";
        const fs::path mine = d.path() / "mine";
        fs::create_directories(base / "Temp");
        fs::create_directories(mine);
        fs::remove(base / linked);
        fs::create_directory_symlink(mine, base / linked);
        const auto r = PrepareWorkspaceRoot(q(base));
        ASSERT_FALSE(r.ok());
        EXPECT_NE(r.error().find((base / linked).string()), std::string::npos) << r.error();
        EXPECT_NE(QString::fromStdString(r.error()).indexOf(QStringLiteral("ссылкой")), -1) << r.error();
        EXPECT_TRUE(fs::is_empty(mine));
    }
    TempDir d;
    const auto r = PrepareWorkspaceRoot(q(d.path()));
    ASSERT_TRUE(r.ok()) << r.error();
    EXPECT_EQ(*r, q(d.path()) + "/Temp/WorkDir/");
    EXPECT_TRUE(fs::is_directory(d.path() / "Temp" / "WorkDir"));
}

TEST(Folders, ProgramFolderEndsWithASeparator)
{
    EXPECT_TRUE(ProgramFolder().endsWith('/'));
}

// ---------------------------------------------------------------------------
// File operations

TEST(FileOps, CopyOverwritesAndAFailedCopyKeepsTheTarget)
{
    TempDir d;
    writeBytes(d.path() / "a", Bytes{1, 2, 3});
    writeBytes(d.path() / "b", Bytes(100, 9));
    EXPECT_TRUE(CopyFileOver(q(d.path() / "a"), q(d.path() / "b")));
    EXPECT_EQ(readBytes(d.path() / "b"), (Bytes{1, 2, 3}));
    EXPECT_FALSE(CopyFileOver(q(d.path() / "missing"), q(d.path() / "b")));
    EXPECT_FALSE(CopyFileOver(q(d.path()), q(d.path() / "b")));
    EXPECT_EQ(readBytes(d.path() / "b"), (Bytes{1, 2, 3}));
}

TEST(FileOps, DeleteMatchingTakesPlainFilesOfOneFolderOnly)
{
    TempDir d;
    fs::create_directory(d.path() / "sub");
    writeBytes(d.path() / "sub" / "inner.bmp", Bytes{1});
    for (const char* n : {"000.bmp", "001.BMP", "com.txt", "x.bmpx"})
        writeBytes(d.path() / n, Bytes{1});
    EXPECT_TRUE(DeleteMatching(q(d.path()), "*.bmp"));
    EXPECT_FALSE(fs::exists(d.path() / "000.bmp"));
    EXPECT_FALSE(fs::exists(d.path() / "001.BMP"));
    EXPECT_TRUE(fs::exists(d.path() / "com.txt"));
    EXPECT_TRUE(fs::exists(d.path() / "x.bmpx"));
    EXPECT_TRUE(DeleteMatching(q(d.path()), "*"));
    EXPECT_FALSE(fs::exists(d.path() / "com.txt"));
    EXPECT_TRUE(fs::exists(d.path() / "sub" / "inner.bmp"));
    EXPECT_FALSE(RemoveEmptyFolder(q(d.path() / "sub")));
    EXPECT_TRUE(DeleteMatching(q(d.path() / "sub"), "*"));
    EXPECT_TRUE(RemoveEmptyFolder(q(d.path() / "sub")));
    EXPECT_FALSE(RemoveEmptyFolder(q(d.path() / "sub")));
    EXPECT_FALSE(DeleteMatching(q(d.path() / "gone"), "*"));
}

TEST(FileOps, WildcardsMatchLikeWindows)
{
    EXPECT_TRUE(WildcardMatch(u"*", u"anything"));
    EXPECT_TRUE(WildcardMatch(u"T?p*.bmp", u"top1.BMP"));
    EXPECT_FALSE(WildcardMatch(u"T?p*.bmp", u"Tp1.bmp"));
    EXPECT_TRUE(WildcardMatch(u"*a*b*c", u"xxaxxbxxbxc"));
    EXPECT_FALSE(WildcardMatch(u"*.txt", u"a.txt.bak"));
}

TEST(FileOps, CreateFolderAndIsFile)
{
    TempDir d;
    EXPECT_FALSE(CreateFolder(q(d.path() / "a" / "b"), false));
    EXPECT_TRUE(CreateFolder(q(d.path() / "a" / "b"), true));
    EXPECT_TRUE(CreateFolder(q(d.path() / "a"), false));   // existing is fine
    EXPECT_FALSE(IsFile(q(d.path() / "a")));
    writeBytes(d.path() / "f", Bytes{1});
    EXPECT_TRUE(IsFile(q(d.path() / "f")));
    EXPECT_FALSE(IsFile(q(d.path() / "none")));
}

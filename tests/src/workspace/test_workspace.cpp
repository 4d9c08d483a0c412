// The program folder and the lock that keeps a second instance out, on real
// folders.
#include "workspace/workspace.h"
#include "workspace_fixture.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <cerrno>
#include <ostream>
#include <csignal>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kastra;
using namespace kastra::test;

namespace {

// ---------------------------------------------------------------------------
// Program folder

using ProgramFolder = WorkspaceTest;

struct CaseVariant {
    std::vector<const char*> present;   // files in the folder
    const char* asked;
    const char* found;                  // the name FindInFolder gives
};

void PrintTo(const CaseVariant& c, std::ostream* os)
{
    *os << c.asked << " among " << c.present.size() << " files";
}

class FindInFolderCases : public WorkspaceTest, public ::testing::WithParamInterface<CaseVariant> {};

TEST_P(FindInFolderCases, FindsTheFileWhateverItsLetterCase)
{
    for (const char* name : GetParam().present)
        writeBytes(program() / name, Bytes{1});
    EXPECT_EQ(FindInFolder(ws.programFolder(), QString::fromUtf8(GetParam().asked)),
              ws.programFolder() + QString::fromUtf8(GetParam().found));
}

INSTANTIATE_TEST_SUITE_P(
    Names, FindInFolderCases,
    ::testing::Values(CaseVariant{{"Avkon.mbm"}, "Avkon.mbm", "Avkon.mbm"},
                      CaseVariant{{"avkon.MBM"}, "Avkon.mbm", "avkon.MBM"},
                      CaseVariant{{"AVKON.MBM", "avkon.mbm", "Avkon.mbm"}, "Avkon.mbm", "Avkon.mbm"},
                      CaseVariant{{"SETTINGS.INI"}, "Settings.ini", "SETTINGS.INI"},
                      CaseVariant{{"AvkonEx.mbm"}, "Avkon.mbm", "Avkon.mbm"},   // not there: the program's name
                      CaseVariant{{}, "SISTool.exe", "SISTool.exe"}));

TEST_F(ProgramFolder, FolderOfTheSameNameIsNotAFile)
{
    fs::create_directories(program() / "avkon.mbm");
    EXPECT_EQ(FindInFolder(ws.programFolder(), "Avkon.mbm"), ws.programFolder() + "Avkon.mbm");
}

TEST_F(ProgramFolder, ToolBesideTheExecutableComesFirst)
{
    fs::create_directories(dir.path() / "bin");
    const QString bin = qpath(dir.path() / "bin") + u'/';
    writeBytes(program() / "SISTool.exe", Bytes{1});
    EXPECT_EQ(FindBesideProgram(bin, ws.programFolder(), "SISTool.exe"), ws.programFolder() + "SISTool.exe");
    writeBytes(dir.path() / "bin" / "sistool.exe", Bytes{2});
    EXPECT_EQ(FindBesideProgram(bin, ws.programFolder(), "SISTool.exe"), bin + "sistool.exe");
}

TEST_F(ProgramFolder, WritableExecutableFolderIsTheProgramFolder)
{
    const QString exe = qpath(dir.path() / "bin");
    fs::create_directories(dir.path() / "bin");
    EXPECT_EQ(ResolveProgramFolder(exe), exe + u'/');
    EXPECT_TRUE(fs::is_empty(dir.path() / "bin"));   // the write probe is gone
}

TEST_F(ProgramFolder, ReadOnlyExecutableFolderGivesTheUserDataFolder)
{
    // A folder this user cannot create files in: a read-only one, or for
    // root, whom permissions do not stop, /proc.
    fs::path readOnly = dir.path() / "installed";
    fs::create_directories(readOnly);
    ::chmod(readOnly.c_str(), 0555);
    if (::geteuid() == 0)
        readOnly = "/proc";
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(qpath(dir.path() / "data")));

    const QString folder = ResolveProgramFolder(qpath(readOnly));

    if (saved.isNull())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", saved);
    ::chmod((dir.path() / "installed").c_str(), 0755);
    EXPECT_EQ(folder, qpath(dir.path() / "data" / "kastra-theme") + u'/');
    EXPECT_TRUE(fs::is_directory(dir.path() / "data" / "kastra-theme"));
}

// ---------------------------------------------------------------------------
// Lock

using InstanceLock = WorkspaceTest;

TEST_F(InstanceLock, SecondAcquireFailsWhileHeldAndSucceedsAfterRelease)
{
    fs::create_directories(dir.path() / "runtime");
    fs::create_directories(dir.path() / "program");
    const QString base = qpath(dir.path() / "runtime");
    const QString programFolder = qpath(dir.path() / "program");
    auto first = WorkspaceLock::acquire({base, programFolder});
    ASSERT_TRUE(first);
    QString why;
    // Either folder keeps a second window out: two windows on one program
    // folder would overwrite each other's settings and theme files even with
    // their workspaces apart.
    for (const QStringList& second : {QStringList{base}, QStringList{qpath(dir.path()), programFolder}}) {
        EXPECT_FALSE(WorkspaceLock::acquire(second, &why));
        EXPECT_EQ(why, QStringLiteral("Программа уже запущена."));
    }
    first.reset();
    EXPECT_TRUE(WorkspaceLock::acquire({base, programFolder}));
    // One folder named twice is locked once.
    EXPECT_TRUE(WorkspaceLock::acquire({base, base + u'/'}));
}

// Nothing is created or written in the folders: a user's document linked
// under the old lock files' names keeps its bytes, and no file there can be
// deleted to let a second window in.
TEST_F(InstanceLock, LocksTheFoldersThemselvesAndWritesNothing)
{
    writeBytes(dir.path() / "document.txt", Bytes{1, 2, 3});
    fs::create_hard_link(dir.path() / "document.txt", dir.path() / "kastra-theme.lock");
    fs::create_hard_link(dir.path() / "document.txt", dir.path() / ".kastra-theme.lock");
    auto lock = WorkspaceLock::acquire({qpath(dir.path())});
    ASSERT_TRUE(lock);
    EXPECT_EQ(readBytes(dir.path() / "document.txt"), (Bytes{1, 2, 3}));
    fs::remove(dir.path() / "kastra-theme.lock");
    fs::remove(dir.path() / ".kastra-theme.lock");
    EXPECT_FALSE(WorkspaceLock::acquire({qpath(dir.path())}));
    EXPECT_EQ(filesIn(dir.path()), 1u);   // the document alone
}

TEST_F(InstanceLock, DescriptorIsNotInheritedByStartedPrograms)
{
    auto lock = WorkspaceLock::acquire({qpath(dir.path())});
    ASSERT_TRUE(lock);
    const fs::path locked = fs::canonical(dir.path());
    int found = 0;
    for (const auto& e : fs::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        if (fs::read_symlink(e.path(), ec) != locked)
            continue;
        ++found;
        const int fd = std::stoi(e.path().filename().string());
        EXPECT_TRUE(::fcntl(fd, F_GETFD) & FD_CLOEXEC);
    }
    EXPECT_EQ(found, 1);
}

TEST_F(InstanceLock, LockOfAKilledInstanceIsTakenOver)
{
    const QString base = qpath(dir.path());
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto held = WorkspaceLock::acquire({base});
        const char c = held ? 'y' : 'n';
        if (::write(ready[1], &c, 1) != 1)
            ::_exit(2);
        for (;;)
            ::pause();
    }
    ::close(ready[1]);
    char answer = 0;
    ASSERT_EQ(::read(ready[0], &answer, 1), 1);
    ::close(ready[0]);
    ASSERT_EQ(answer, 'y');

    EXPECT_FALSE(WorkspaceLock::acquire({base}));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_TRUE(WorkspaceLock::acquire({base}));
}

TEST_F(InstanceLock, MissingFolderIsReported)
{
    QString why;
    EXPECT_FALSE(WorkspaceLock::acquire({qpath(dir.path() / "nowhere")}, &why));
    EXPECT_TRUE(why.startsWith(QStringLiteral("Не удалось открыть папку"))) << why.toStdString();
}

} // namespace

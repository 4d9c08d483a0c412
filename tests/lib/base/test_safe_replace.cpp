// Replacements killed half way and recovered by a later run, hostile
// journals, the sweep of stray temporaries, and target folders swapped for a
// link or open to others.
#include "base/safe_file.h"
#include "test_support.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <chrono>
#include <csignal>
#include <thread>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kastra;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> namesIn(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

int g_killAt = -1;
// A name the journal has to escape.
const char* const kB = "b %1\n.mbm";

// The old theme: a, b and c; the new one: a and b changed, c gone, d added.
void writeOld(const fs::path& d)
{
    writeBytes(d / "a", Bytes{1});
    writeBytes(d / kB, Bytes{2});
    writeBytes(d / "c", Bytes{3});
}

bool holdsOld(const fs::path& d)
{
    return namesIn(d) == std::vector<std::string>{"a", kB, "c"} && readBytes(d / "a") == Bytes{1}
           && readBytes(d / kB) == Bytes{2} && readBytes(d / "c") == Bytes{3};
}

bool holdsNew(const fs::path& d)
{
    return namesIn(d) == std::vector<std::string>{"a", kB, "d"} && readBytes(d / "a") == Bytes{11}
           && readBytes(d / kB) == Bytes{12} && readBytes(d / "d") == Bytes{14};
}

} // namespace

// A child replaces the files and is killed (SIGKILL, nothing of ours runs)
// at one step; a second run in that folder then finds all old files or all
// new ones, and nothing else.
TEST(SafeReplace, KilledAtEveryStepLeavesAllOldOrAllNew)
{
    struct KillPoint {
        const char* when;
        bool expectNew;
    };
    const KillPoint points[] = {
        {"temporaries written, no journal yet", false},
        {"journal written, nothing renamed", false},
        {"a replaced", false},
        {"a and b replaced", false},
        {"a and b replaced, c removed", false},
        {"every rename done, journal still there", false},
        {"journal removed, kept-aside files not yet", true},
        {"not killed", true},
    };
    for (const Durability durability : {Durability::AcrossCrash, Durability::WhileRunning}) {
        for (int k = 0; k < static_cast<int>(std::size(points)); ++k) {
            SCOPED_TRACE(std::string(points[k].when) + (durability == Durability::WhileRunning ? ", quick" : ""));
            TempDir dir;
            const fs::path d = dir.path() / "theme";
            fs::create_directory(d);
            writeOld(d);
            const pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                g_killAt = k;
                g_replaceStepHook = [](int step) {
                    if (step == g_killAt)
                        ::raise(SIGKILL);
                };
                const NewFile files[] = {
                    {d / "a", Bytes{11}}, {d / kB, Bytes{12}}, {d / "c", std::nullopt}, {d / "d", Bytes{14}}};
                ::_exit(replaceFilesTogether(files, durability).ok() ? 0 : 1);
            }
            int status = 0;
            ASSERT_EQ(::waitpid(child, &status, 0), child);
            if (std::string(points[k].when) == "not killed")
                EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
            else
                EXPECT_TRUE(WIFSIGNALED(status));

            EXPECT_TRUE(recoverInterruptedWrites(d).ok());
            if (points[k].expectNew)
                EXPECT_TRUE(holdsNew(d)) << ::testing::PrintToString(namesIn(d));
            else
                EXPECT_TRUE(holdsOld(d)) << ::testing::PrintToString(namesIn(d));
        }
    }
}

// What recovery and the sweep leave alone: a journal that is not ours, or
// whose replacement still runs, files that only look like temporaries, a
// temporary in use, and a target changed since the kill.
TEST(SafeReplace, RecoveryTouchesOnlyWhatIsOurs)
{
    TempDir dir;
    const fs::path d = dir.path();
    writeBytes(dir.path() / "outside", Bytes{7});
    const std::string journal = ".kastra-replace.0123456789abcdef.journal";
    const Bytes hostile = [] {
        const std::string text = "kastra-replace 1\n../outside - - - -\nend\n";
        return Bytes(text.begin(), text.end());
    }();
    fs::create_directory(d / "a");
    writeBytes(d / "a" / journal, hostile);
    auto refused = recoverInterruptedWrites(d / "a");
    EXPECT_FALSE(refused.ok());
    EXPECT_NE(refused.error().find("not a replacement journal"), std::string::npos) << refused.error();
    EXPECT_EQ(readBytes(d / "outside"), Bytes{7});
    EXPECT_TRUE(fs::exists(d / "a" / journal));

    // A journal with a second name (someone's document linked in its place).
    fs::create_directory(d / "b");
    const std::string linked = "kastra-replace 1\nx - - - -\nend\n";
    writeBytes(d / "document", Bytes(linked.begin(), linked.end()));
    fs::create_hard_link(d / "document", d / "b" / journal);
    writeBytes(d / "b" / ".x.0123456789abcdef.tmp", Bytes{1});
    EXPECT_FALSE(recoverInterruptedWrites(d / "b").ok());
    EXPECT_TRUE(fs::exists(d / "b" / ".x.0123456789abcdef.tmp"));   // the journal might name it

    // The sweep: only our pattern, only files not in use.
    fs::create_directory(d / "c");
    for (const char* n : {".x.0123456789abcdef.tmp", ".x.tmp", ".x.0123456789ABCDEF.tmp", "x.0123456789abcdef.tmp",
                          ".x.0123456789abcdef.tmp~"})
        writeBytes(d / "c" / n, Bytes{1});
    fs::create_symlink(d / "outside", d / "c" / ".y.0123456789abcdef.tmp");
    auto inUse = TempFile::beside(d / "c" / "z");
    ASSERT_TRUE(inUse.ok());
    EXPECT_TRUE(recoverInterruptedWrites(d / "c").ok());
    EXPECT_EQ(namesIn(d / "c"),
              (std::vector<std::string>{".x.0123456789ABCDEF.tmp", ".x.0123456789abcdef.tmp~", ".x.tmp",
                                        ".y.0123456789abcdef.tmp", inUse->path().filename().string(),
                                        "x.0123456789abcdef.tmp"}));
    EXPECT_EQ(readBytes(d / "outside"), Bytes{7});
}

TEST(SafeReplace, TargetFolderIsHeldByItsDescriptor)
{
    TempDir dir;
    const fs::path d = dir.path();
    fs::create_directory(d / "out");
    fs::create_directory(d / "victim");
    writeBytes(d / "victim" / "EidPic.mbm", Bytes{5});
    auto folder = Folder::openOwn(d / "out");
    ASSERT_TRUE(folder.ok());
    // Swapped for a link after the check: the files still go where the
    // folder was opened.
    fs::rename(d / "out", d / "moved");
    fs::create_directory_symlink(d / "victim", d / "out");
    const NewFile files[] = {{d / "out" / "EidPic.mbm", Bytes{1}}, {"Avkon.mbm", Bytes{2}}};
    ASSERT_TRUE(replaceFilesTogether(*folder, files).ok());
    EXPECT_EQ(readBytes(d / "moved" / "EidPic.mbm"), Bytes{1});
    EXPECT_EQ(readBytes(d / "moved" / "Avkon.mbm"), Bytes{2});
    EXPECT_EQ(namesIn(d / "victim"), std::vector<std::string>{"EidPic.mbm"});
    EXPECT_EQ(readBytes(d / "victim" / "EidPic.mbm"), Bytes{5});
    const NewFile elsewhere[] = {{d / "victim" / "EidPic.mbm", Bytes{1}}};
    EXPECT_FALSE(replaceFilesTogether(*folder, elsewhere).ok());

    struct Refusal {
        const char* name;
        const char* says;
    };
    fs::create_directory(d / "shared");
    ::chmod((d / "shared").c_str(), 0777);
    // "out/", with its closing separator, is the link all the same.
    for (const Refusal& r : {Refusal{"out", "is a symbolic link"}, Refusal{"out/", "is a symbolic link"},
                             Refusal{"shared", "written by other users"},
                             Refusal{"victim/EidPic.mbm", "is not a folder"}}) {
        const auto opened = Folder::openOwn(d / r.name);
        ASSERT_FALSE(opened.ok()) << r.name;
        EXPECT_NE(opened.error().find(r.says), std::string::npos) << opened.error();
    }
    const NewFile one[] = {{"x", Bytes{1}}};
    EXPECT_FALSE(replaceFilesIn(d / "shared", one).ok());
    EXPECT_TRUE(fs::is_empty(d / "shared"));
}

// The thread that ends the process on a signal waits for a replacement in
// progress: it asks once the renames began, ends the process as soon as it
// may, and the files are all new, not put back by a later run.
TEST(SafeReplace, EndingOnASignalWaitsForTheReplacement)
{
    TempDir dir;
    const fs::path d = dir.path();
    writeOld(d);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        g_replaceStepHook = [](int step) {
            if (step != 2)
                return;
            std::thread([] {
                endAfterUninterruptedSections();
                ::_exit(3);
            }).detach();
            // Time for the ending thread to get ahead, were it not held.
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        };
        const NewFile files[] = {{d / "a", Bytes{11}}, {d / kB, Bytes{12}}, {d / "c", std::nullopt}, {d / "d", Bytes{14}}};
        (void)replaceFilesTogether(files);
        for (;;)
            ::pause();
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3);
    EXPECT_TRUE(recoverInterruptedWrites(d).ok());
    EXPECT_TRUE(holdsNew(d)) << ::testing::PrintToString(namesIn(d));
}

#endif

#include "base/fileio.h"
#include "base/safe_file.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <fstream>

#ifndef _WIN32
#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace kastra;
namespace fs = std::filesystem;

TEST(FileIo, AtomicWriteReplacesAndLeavesNoTemporaries)
{
    TempDir dir;
    const fs::path target = dir.path() / "out.bin";
    writeBytes(target, Bytes(1000, 7));
    const Bytes fresh = {1, 2, 3};
    ASSERT_TRUE(writeFileAtomic(target, fresh).ok());
    EXPECT_EQ(readBytes(target), fresh);
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path()))
        ++entries;
    EXPECT_EQ(entries, 1);
}

TEST(FileIo, FailedAtomicWriteKeepsTheOldFile)
{
    TempDir dir;
    const fs::path target = dir.path() / "missing-folder" / "out.bin";
    EXPECT_FALSE(writeFileAtomic(target, Bytes{1}).ok());
    // A folder in the way of the rename: the write fails, the folder stays.
    const fs::path folder = dir.path() / "folder";
    fs::create_directory(folder);
    writeBytes(folder / "inner", Bytes{9});
    EXPECT_FALSE(writeFileAtomic(folder, Bytes{1}).ok());
    EXPECT_EQ(readBytes(folder / "inner"), Bytes{9});
}

TEST(FileIo, ReadIsBoundedAndNamesTheFile)
{
    TempDir dir;
    const fs::path f = dir.path() / "big.bin";
    writeBytes(f, Bytes(100, 1));
    EXPECT_TRUE(readFile(f, 100).ok());
    const auto tooBig = readFile(f, 99);
    ASSERT_FALSE(tooBig.ok());
    EXPECT_EQ(tooBig.code(), BaseError::TooLarge);
    EXPECT_NE(tooBig.error().find("big.bin"), std::string::npos);
    EXPECT_EQ(readFile(dir.path() / "nope", 100).code(), BaseError::Io);
    EXPECT_EQ(readFile(dir.path(), 100).code(), BaseError::NotAFile);
}

TEST(FileIo, NativePathTurnsBackslashes)
{
#ifndef _WIN32
    EXPECT_EQ(nativePath("Avkon\\445.bmp"), fs::path("Avkon/445.bmp"));
#endif
    EXPECT_EQ(nativePath("plain.bmp"), fs::path("plain.bmp"));
}

#ifndef _WIN32
namespace {

int entriesIn(const fs::path& folder)
{
    int n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(folder))
        ++n;
    return n;
}

} // namespace

// Every primitive against what someone who can write into the folder could
// plant there. Each case checks that the planted thing's target is untouched.
TEST(SafeFile, PlantedLinksFifosAndFoldersInTheWay)
{
    struct Case {
        const char* name;
        std::function<void(const fs::path& dir)> run;
    };
    const Bytes kept{5, 5};
    const std::vector<Case> cases = {
        {"link under the target name is replaced, not written through",
         [&](const fs::path& d) {
             writeBytes(d / "victim", kept);
             fs::create_symlink(d / "victim", d / "out.bin");
             ASSERT_TRUE(writeFileAtomic(d / "out.bin", Bytes{1, 2}).ok());
             EXPECT_FALSE(fs::is_symlink(d / "out.bin"));
             EXPECT_EQ(readBytes(d / "out.bin"), (Bytes{1, 2}));
             EXPECT_EQ(readBytes(d / "victim"), kept);
         }},
        {"the quick replace takes a link's place as the rename does, and refuses a folder",
         [&](const fs::path& d) {
             writeBytes(d / "victim", kept);
             fs::create_symlink(d / "victim", d / "out.bin");
             ASSERT_TRUE(writeFileAtomic(d / "out.bin", Bytes{1, 2}, Durability::WhileRunning).ok());
             EXPECT_FALSE(fs::is_symlink(d / "out.bin"));
             EXPECT_EQ(readBytes(d / "out.bin"), (Bytes{1, 2}));
             ASSERT_TRUE(writeFileAtomic(d / "out.bin", Bytes{3}, Durability::WhileRunning).ok());
             ASSERT_TRUE(writeFileAtomic(d / "new.bin", Bytes{4}, Durability::WhileRunning).ok());
             EXPECT_EQ(readBytes(d / "out.bin"), Bytes{3});
             EXPECT_EQ(readBytes(d / "new.bin"), Bytes{4});
             EXPECT_EQ(readBytes(d / "victim"), kept);
             fs::create_directory(d / "folder");
             writeBytes(d / "folder" / "inner", kept);
             EXPECT_FALSE(writeFileAtomic(d / "folder", Bytes{1}, Durability::WhileRunning).ok());
             EXPECT_EQ(readBytes(d / "folder" / "inner"), kept);
             EXPECT_EQ(entriesIn(d), 4);   // victim, out.bin, new.bin, folder: no temporary left
         }},
        {"a file is the same only as a regular file with the same bytes",
         [&](const fs::path& d) {
             writeBytes(d / "f", kept);
             EXPECT_TRUE(holdsExactly(d / "f", kept));
             EXPECT_FALSE(holdsExactly(d / "f", Bytes{5}));
             EXPECT_FALSE(holdsExactly(d / "f", Bytes{5, 5, 5}));
             EXPECT_FALSE(holdsExactly(d / "f", Bytes{5, 6}));
             EXPECT_FALSE(holdsExactly(d / "f", kept, true));
             fs::permissions(d / "f", fs::perms::owner_exec, fs::perm_options::add);
             EXPECT_TRUE(holdsExactly(d / "f", kept, true));
             fs::create_symlink(d / "f", d / "link");
             EXPECT_FALSE(holdsExactly(d / "link", kept));
             ASSERT_EQ(::mkfifo((d / "fifo").c_str(), 0600), 0);
             EXPECT_FALSE(holdsExactly(d / "fifo", Bytes{}));
             EXPECT_FALSE(holdsExactly(d / "missing", Bytes{}));
         }},
        {"a second name keeps the old bytes through a replace, and only a file gets one",
         [&](const fs::path& d) {
             writeBytes(d / "slot", kept);
             ASSERT_TRUE(linkFile(d / "slot", d / "kept").ok());
             ASSERT_TRUE(writeFileAtomic(d / "slot", Bytes{1}, Durability::WhileRunning).ok());
             EXPECT_EQ(readBytes(d / "kept"), kept);
             EXPECT_FALSE(linkFile(d / "slot", d / "kept").ok());   // never over an existing name
             EXPECT_EQ(readBytes(d / "kept"), kept);
             writeBytes(d / "victim", kept);
             fs::create_symlink(d / "victim", d / "link");
             EXPECT_FALSE(linkFile(d / "link", d / "second").ok());
             EXPECT_FALSE(fs::exists(fs::symlink_status(d / "second")));
             fs::create_directory(d / "folder");
             EXPECT_FALSE(linkFile(d / "folder", d / "second").ok());
         }},
        {"links under the old fixed temporary names are not followed",
         [&](const fs::path& d) {
             writeBytes(d / "victim", kept);
             writeBytes(d / "source", Bytes{7});
             for (const char* planted : {"out.bin.copy-tmp", "out.bin.import-tmp", ".out.bin.tmp"})
                 fs::create_symlink(d / "victim", d / planted);
             ASSERT_TRUE(copyFileAtomic(d / "source", d / "out.bin", 100).ok());
             EXPECT_EQ(readBytes(d / "out.bin"), Bytes{7});
             EXPECT_EQ(readBytes(d / "victim"), kept);
             EXPECT_EQ(entriesIn(d), 6);   // no temporary left
         }},
        {"a link as a folder to empty is removed as a name",
         [&](const fs::path& d) {
             fs::create_directory(d / "mine");
             writeBytes(d / "mine" / "photo.jpg", kept);
             fs::create_directory(d / "mine" / "album");
             fs::create_directory_symlink(d / "mine", d / "TEMP");
             ASSERT_TRUE(clearFolder(d / "TEMP").ok());
             EXPECT_FALSE(fs::exists(fs::symlink_status(d / "TEMP")));
             EXPECT_EQ(readBytes(d / "mine" / "photo.jpg"), kept);
             EXPECT_TRUE(fs::is_directory(d / "mine" / "album"));
         }},
        {"a link as a sub-folder of a folder being cleared is removed as a name",
         [&](const fs::path& d) {
             fs::create_directory(d / "mine");
             writeBytes(d / "mine" / "photo.jpg", kept);
             fs::create_directory(d / "root");
             writeBytes(d / "root" / "com.txt", Bytes{1});
             fs::create_directory_symlink(d / "mine", d / "root" / "Avkon");
             const std::string subs[] = {"Avkon"};
             ASSERT_TRUE(clearFolder(d / "root/", subs).ok());
             EXPECT_FALSE(fs::exists(d / "root"));
             EXPECT_EQ(readBytes(d / "mine" / "photo.jpg"), kept);
         }},
        {"a foreign sub-folder keeps the folder",
         [&](const fs::path& d) {
             fs::create_directories(d / "root" / "Foreign");
             writeBytes(d / "root" / "Foreign" / "f", kept);
             writeBytes(d / "root" / "mine", Bytes{1});
             EXPECT_FALSE(clearFolder(d / "root").ok());
             EXPECT_FALSE(fs::exists(d / "root" / "mine"));
             EXPECT_EQ(readBytes(d / "root" / "Foreign" / "f"), kept);
         }},
        {"a FIFO is refused at once by every reader",
         [&](const fs::path& d) {
             ASSERT_EQ(::mkfifo((d / "fifo").c_str(), 0600), 0);
             EXPECT_EQ(readFile(d / "fifo", 100).code(), BaseError::NotAFile);
             EXPECT_FALSE(copyFileAtomic(d / "fifo", d / "out", 100).ok());
             EXPECT_FALSE(fs::exists(d / "out"));
         }},
        {"a folder in the way of one file of several changes none",
         [&](const fs::path& d) {
             for (int blocked = 0; blocked < 3; ++blocked) {
                 std::vector<NewFile> files;
                 for (const char* name : {"f0", "f1", "f2"}) {
                     const int i = name[1] - '0';
                     const fs::path t = d / name;
                     fs::remove_all(t);
                     if (i == blocked)
                         fs::create_directory(t);
                     else
                         writeBytes(t, kept);
                     files.push_back({t, Bytes{9}});
                 }
                 EXPECT_FALSE(replaceFilesTogether(files).ok()) << blocked;
                 for (int i = 0; i < 3; ++i) {
                     if (i != blocked) {
                         EXPECT_EQ(readBytes(files[static_cast<std::size_t>(i)].target), kept) << blocked;
                     }
                 }
                 EXPECT_EQ(entriesIn(d), 3) << blocked;
             }
             fs::remove_all(d / "f1");
             const NewFile all[] = {{d / "f0", Bytes{1}}, {d / "f1", Bytes{2}}};
             ASSERT_TRUE(replaceFilesTogether(all).ok());
             EXPECT_EQ(readBytes(d / "f0"), Bytes{1});
             EXPECT_EQ(readBytes(d / "f1"), Bytes{2});
         }},
        {"a rename failing after others were done gives those their old bytes back",
         [&](const fs::path& d) {
             // f2 is new; a folder appears under its name just before its
             // rename, after f0 and f1 were replaced.
             static fs::path blocked;
             blocked = d / "f2";
             g_replaceStepHook = [](int step) {
                 if (step == 3)
                     fs::create_directory(blocked);
             };
             writeBytes(d / "f0", Bytes{0});
             writeBytes(d / "f1", Bytes{1});
             writeBytes(d / "f3", Bytes{3});
             const NewFile files[] = {{d / "f0", Bytes{9}}, {d / "f1", Bytes{9}}, {d / "f2", Bytes{9}},
                                      {d / "f3", std::nullopt}};
             EXPECT_FALSE(replaceFilesTogether(files).ok());
             g_replaceStepHook = nullptr;
             EXPECT_EQ(readBytes(d / "f0"), Bytes{0});
             EXPECT_EQ(readBytes(d / "f1"), Bytes{1});
             EXPECT_EQ(readBytes(d / "f3"), Bytes{3});
             EXPECT_EQ(entriesIn(d), 4);   // no temporary, no journal
         }},
        {"a dangling link and a link to a folder are removed as names",
         [&](const fs::path& d) {
             fs::create_directory(d / "album");
             writeBytes(d / "album" / "photo.jpg", kept);
             fs::create_directory_symlink(d / "album", d / "to-folder");
             fs::create_symlink(d / "gone", d / "dangling");
             EXPECT_TRUE(removeName(d / "to-folder").ok());
             EXPECT_TRUE(removeName(d / "dangling").ok());
             EXPECT_FALSE(fs::exists(fs::symlink_status(d / "to-folder")));
             EXPECT_FALSE(fs::exists(fs::symlink_status(d / "dangling")));
             EXPECT_EQ(readBytes(d / "album" / "photo.jpg"), kept);
             EXPECT_EQ(entriesIn(d), 1);
         }},
        {"a copy of exactly the limit is made, one byte more is refused",
         [&](const fs::path& d) {
             writeBytes(d / "limit", Bytes(100, 1));
             writeBytes(d / "over", Bytes(101, 2));
             ASSERT_TRUE(copyFileAtomic(d / "limit", d / "out", 100).ok());
             EXPECT_EQ(readBytes(d / "out"), Bytes(100, 1));
             const auto refused = copyFileAtomic(d / "over", d / "out", 100);
             EXPECT_EQ(refused.code(), BaseError::TooLarge);
             EXPECT_EQ(readBytes(d / "out"), Bytes(100, 1));
             EXPECT_EQ(entriesIn(d), 3);
         }},
        {"a link or a shared folder is not the user's own, and keeps its mode",
         [&](const fs::path& d) {
             fs::create_directory(d / "shared");
             ::chmod((d / "shared").c_str(), 0777);
             fs::create_directory_symlink(d / "shared", d / "link");
             EXPECT_EQ(checkOwnFolder(d / "link", false), FolderCheck::Link);
             EXPECT_EQ(makeOwnFolder(d / "link", false), FolderCheck::Link);
             EXPECT_EQ(checkOwnFolder(d / "shared", true), FolderCheck::OpenToOthers);
             EXPECT_EQ(checkOwnFolder(d / "shared", false), FolderCheck::Ok);
             EXPECT_EQ(fs::status(d / "shared").permissions(), fs::perms::all);
             EXPECT_EQ(makeOwnFolder(d / "new", true), FolderCheck::Ok);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        c.run(dir.path());
    }
}

// A write cut short (a full disk; here a file-size limit) fails, removes its
// temporary and leaves the old file. Run in a child, whose limit cannot
// reach the test runner.
TEST(SafeFile, ShortWriteFailsAndKeepsTheOldFile)
{
    TempDir dir;
    const fs::path target = dir.path() / "Settings.ini";
    writeBytes(target, Bytes(10, 3));
    const fs::path large = dir.path() / "large";
    writeBytes(large, Bytes(10000, 2));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const bool failed = !writeFileAtomic(target, Bytes(10000, 1)).ok();
        const bool copyFailed = !copyFileAtomic(large, target, 1u << 20).ok();
        ::_exit(failed && copyFailed ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(readBytes(target), Bytes(10, 3));
    EXPECT_EQ(entriesIn(dir.path()), 2);
}
#endif

#include "base/fileio.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <fstream>

#ifndef _WIN32
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
    EXPECT_NE(tooBig.error().find("big.bin"), std::string::npos);
    EXPECT_FALSE(readFile(dir.path() / "nope", 100).ok());
    EXPECT_FALSE(readFile(dir.path(), 100).ok());
}

TEST(FileIo, NativePathTurnsBackslashes)
{
#ifndef _WIN32
    EXPECT_EQ(nativePath("Avkon\\445.bmp"), fs::path("Avkon/445.bmp"));
#endif
    EXPECT_EQ(nativePath("plain.bmp"), fs::path("plain.bmp"));
}

#ifndef _WIN32
TEST(FileIo, PlantedLinkUnderATemporaryNameIsNotFollowed)
{
    TempDir dir;
    const fs::path victim = dir.path() / "victim";
    writeBytes(victim, Bytes{5, 5});
    // Plant links under many of the names the writer could pick next.
    for (int i = 0; i < 200; ++i) {
        fs::path link = dir.path() / "out.bin";
        link += ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(i);
        fs::create_symlink(victim, link);
    }
    ASSERT_TRUE(writeFileAtomic(dir.path() / "out.bin", Bytes{1, 2}).ok());
    EXPECT_EQ(readBytes(dir.path() / "out.bin"), (Bytes{1, 2}));
    EXPECT_EQ(readBytes(victim), (Bytes{5, 5}));
}
#endif

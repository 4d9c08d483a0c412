// The workspace set-up and tear-down, on real folders and with the real bmconv.
#include "converter/converter.h"
#include "converter/setup.h"
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

using WorkspaceSetUp = WorkspaceTest;

// ---------------------------------------------------------------------------
// Set-up

TEST_F(WorkspaceSetUp, StartOnAnEmptyDiskUnpacksTheDefaults)
{
    ASSERT_FALSE(fs::exists(root()));
    EXPECT_FALSE(*PrepareWorkspace(ws, false, false));

    EXPECT_EQ(filesIn(root() / "Avkon"), 508u);
    EXPECT_EQ(filesIn(root() / "Signal"), 12u);
    EXPECT_EQ(filesIn(root() / "Menu"), 24u);
    ASSERT_TRUE(fs::is_directory(root() / "SIS"));
    EXPECT_TRUE(fs::is_empty(root() / "SIS"));
    for (const char* name : {"bmconv.exe", "Avkon.mbm", "AvkonEx.mbm", "menu_folders.mbm", "SplashTop.bmp"})
        EXPECT_TRUE(fs::is_regular_file(root() / name)) << name;
    for (const char* name : {"Top1.bmp", "Temp1.bmp", "Back.bmp", "About.bmp"})
        EXPECT_FALSE(fs::exists(root() / name)) << name;

    // The slots are the default files' bitmaps: Avkon\445.bmp is the 44 x 12
    // status picture, the signal pictures 32 x 12.
    EXPECT_EQ(readPicture(slot(SlotFolder::Avkon, 445)).width(), 44);
    EXPECT_EQ(readPicture(slot(SlotFolder::Avkon, 445)).height(), 12);
    EXPECT_EQ(readPicture(slot(SlotFolder::Signal, 11)).width(), 32);
    // The last unpack's command file is left behind, byte for byte.
    EXPECT_EQ(readBytes(root() / "com.txt"),
              bytesOf(UnpackCommandFile("menu_folders.mbm", slotNames(SlotFolder::Menu), UnpackLayout::OnePerLine)));
}

TEST_F(WorkspaceSetUp, StaleWorkspaceKeepsWhatTheUnpackDoesNotWrite)
{
    ASSERT_TRUE(PrepareWorkspace(ws, false, false));
    const Bitmap back = picture(176, 132, [](int x, int y) { return rgb(x, y, 7); });
    writePicture(root() / "Back.bmp", back);
    const Bytes backBytes = readBytes(root() / "Back.bmp");
    // The user's edit of an unpacked slot is overwritten by the default.
    const Bytes defaultSlot = readBytes(slot(SlotFolder::Avkon, 10));
    writePicture(slot(SlotFolder::Avkon, 10), picture(3, 3, [](int, int) { return rgb(1, 2, 3); }));
    fs::remove(root() / "bmconv.exe");

    ASSERT_TRUE(PrepareWorkspace(ws, false, false));

    EXPECT_EQ(readBytes(root() / "Back.bmp"), backBytes);
    EXPECT_EQ(readBytes(slot(SlotFolder::Avkon, 10)), defaultSlot);
    EXPECT_TRUE(fs::is_regular_file(root() / "bmconv.exe"));
}

TEST_F(WorkspaceSetUp, MenuOnlyLeavesEverythingButTheMenuAlone)
{
    ASSERT_TRUE(PrepareWorkspace(ws, false, false));
    const Bitmap mark = picture(5, 5, [](int, int) { return rgb(9, 9, 9); });
    const std::vector<fs::path> untouched = {slot(SlotFolder::Avkon, 0), slot(SlotFolder::Avkon, 507),
                                             slot(SlotFolder::Signal, 3), root() / "SplashTop.bmp",
                                             root() / "Top2.bmp", root() / "Temp2.bmp"};
    for (const fs::path& p : untouched)
        writePicture(p, mark);
    const auto before = snapshot(untouched);
    // A different menu_folders.mbm: 24 bitmaps of one colour each.
    std::vector<Bitmap> icons;
    for (int i = 0; i < 24; ++i)
        icons.push_back(picture(4, 4, [i](int, int) { return rgb(10 * i, 0, 0); }));
    writeMbmOf(root() / "menu_folders.mbm", icons);

    EXPECT_FALSE(*PrepareWorkspace(ws, true, false));

    EXPECT_EQ(snapshot(untouched), before);
    for (int i = 0; i < 24; ++i)
        EXPECT_EQ(readPicture(slot(SlotFolder::Menu, i)).getPixel(1, 1), rgb(10 * i, 0, 0)) << i;
}

struct NarrowCase {
    int backWidth;
    bool narrow;
};

void PrintTo(const NarrowCase& c, std::ostream* os)
{
    *os << c.backWidth << " pixels";
}

class FromWorkspaceFiles : public WorkspaceTest, public ::testing::WithParamInterface<NarrowCase> {};

TEST_P(FromWorkspaceFiles, UnpacksTheImportedThemeAndMeasuresTheBackground)
{
    ASSERT_TRUE(PrepareWorkspace(ws, false, false));
    // An imported theme: the five files lie in the root under their names.
    auto fill = [](Colour c) { return [c](int, int) { return c; }; };
    writeMbmOf(root() / "EidPic.mbm",
               {picture(176, 12, fill(rgb(1, 1, 1))), picture(176, 68, fill(rgb(2, 2, 2))),
                picture(176, 68, fill(rgb(3, 3, 3))), picture(176, 68, fill(rgb(4, 4, 4))),
                picture(176, 68, fill(rgb(5, 5, 5)))});
    writeMbmOf(root() / "backgroundimage.mbm",
               {picture(GetParam().backWidth, 132, fill(rgb(6, 6, 6))), picture(143, 101, fill(rgb(7, 7, 7)))});
    std::vector<Bitmap> avkon(508, picture(2, 2, fill(rgb(8, 8, 8))));
    writeMbmOf(root() / "Avkon.mbm", avkon);
    writeMbmOf(root() / "AvkonEx.mbm", std::vector<Bitmap>(12, picture(32, 12, fill(rgb(9, 9, 9)))));
    writeMbmOf(root() / "menu_folders.mbm", std::vector<Bitmap>(24, picture(4, 4, fill(rgb(11, 11, 11)))));

    EXPECT_EQ(*PrepareWorkspace(ws, false, true), GetParam().narrow);

    EXPECT_EQ(readPicture(root() / "Top4.bmp").getPixel(0, 0), rgb(5, 5, 5));
    EXPECT_EQ(readPicture(root() / "SplashTop.bmp").getPixel(0, 0), rgb(1, 1, 1));
    EXPECT_EQ(readPicture(root() / "About.bmp").getPixel(0, 0), rgb(7, 7, 7));
    EXPECT_EQ(readPicture(slot(SlotFolder::Avkon, 300)).getPixel(1, 1), rgb(8, 8, 8));
    EXPECT_EQ(readPicture(slot(SlotFolder::Signal, 11)).getPixel(1, 1), rgb(9, 9, 9));
    EXPECT_EQ(readPicture(slot(SlotFolder::Menu, 23)).getPixel(1, 1), rgb(11, 11, 11));
    // Nothing default was written over the imported files.
    EXPECT_EQ(readMbmFile(root() / "Avkon.mbm").at(0).header.width, 2);
}

INSTANTIATE_TEST_SUITE_P(BackgroundWidths, FromWorkspaceFiles,
                         ::testing::Values(NarrowCase{174, true}, NarrowCase{175, true}, NarrowCase{176, false}));

TEST_F(WorkspaceSetUp, UnreadableBackgroundCountsAsNarrow)
{
    ASSERT_TRUE(PrepareWorkspace(ws, false, false));
    // No EidPic.mbm or backgroundimage.mbm at all: the unpacks fail quietly.
    EXPECT_TRUE(*PrepareWorkspace(ws, false, true));
}

// ---------------------------------------------------------------------------
// Tear-down

using WorkspaceTearDown = WorkspaceTest;

TEST_F(WorkspaceTearDown, RemovesTheWholeWorkspace)
{
    ASSERT_TRUE(PrepareWorkspace(ws, false, false));
    ThemeFileOp(ws, ThemeFileOpCode::PackMenuFolders);
    ASSERT_TRUE(fs::exists(root() / "SIS" / "menu_folders.mbm"));
    TearDownWorkspace(ws);
    EXPECT_FALSE(fs::exists(root()));
    EXPECT_TRUE(fs::is_directory(root().parent_path().parent_path()));   // Temp\ stays
}

TEST_F(WorkspaceTearDown, FolderTheProgramDidNotCreateKeepsTheRoot)
{
    ASSERT_TRUE(PrepareWorkspace(ws, false, false));
    fs::create_directories(root() / "Signal" / "mine");
    fs::create_directories(root() / "Other");

    TearDownWorkspace(ws);

    for (const char* gone : {"Avkon", "SIS", "Menu", "bmconv.exe", "com.txt", "Avkon.mbm"})
        EXPECT_FALSE(fs::exists(root() / gone)) << gone;
    // Signal\ lost its files but keeps the sub-folder, so it and the root stay.
    EXPECT_EQ(filesIn(root() / "Signal"), 0u);
    EXPECT_TRUE(fs::is_directory(root() / "Signal" / "mine"));
    EXPECT_TRUE(fs::is_directory(root() / "Other"));
}

// What a load cut short leaves, and links planted by someone who can write
// into the base: the program's files go, the root with them, and nothing a
// link points to is touched.
TEST_F(WorkspaceTearDown, LeftoversGoAndPlantedLinksAreRemovedAsNames)
{
    struct Case {
        const char* name;
        const char* linkAt;   // relative to the root; "" for the root itself; nullptr: no link
    };
    const Case cases[] = {
        {"LoadBackup, DefaultSlot and History left by a run cut short", nullptr},
        {"the root is a link to the user's folder", ""},
        {"Avkon is a link to the user's folder", "Avkon"},
        {"LoadBackup is a link to the user's folder", "LoadBackup"},
    };
    const fs::path rootName = root().parent_path();   // no trailing separator
    const fs::path mine = dir.path() / "mine";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(rootName);
        fs::remove_all(mine);
        fs::create_directories(rootName.parent_path());
        fs::create_directories(mine / "album");
        writeBytes(mine / "photo.jpg", Bytes{1, 2, 3});
        if (c.linkAt && !*c.linkAt) {
            fs::create_directory_symlink(mine, rootName);
        } else {
            fs::create_directories(root() / "Signal");
            writeBytes(root() / "Signal" / "004.bmp", Bytes{4});
            writeBytes(root() / "com.txt", Bytes{5});
            if (c.linkAt) {
                fs::create_directory_symlink(mine, root() / c.linkAt);
            } else {
                fs::create_directories(root() / "LoadBackup");
                writeBytes(root() / "LoadBackup" / "Avkon_445.bmp", Bytes{6});
                fs::create_directories(root() / "DefaultSlot");
                writeBytes(root() / "DefaultSlot" / "Avkon_000.bmp", Bytes{7});
                fs::create_directories(root() / "History");
                writeBytes(root() / "History" / "step-00000001.khs", Bytes{8});
            }
        }

        TearDownWorkspace(ws);

        EXPECT_FALSE(fs::exists(fs::symlink_status(rootName)));
        EXPECT_EQ(readBytes(mine / "photo.jpg"), (Bytes{1, 2, 3}));
        EXPECT_TRUE(fs::is_directory(mine / "album"));
    }
}

// Makes one file impossible to delete: a read-only folder for a plain user;
// for root, whom permissions do not stop, the immutable attribute.
class Undeletable {
public:
    explicit Undeletable(const fs::path& file) : m_file(file), m_folder(file.parent_path())
    {
        if (::geteuid() != 0) {
            m_readOnlyFolder = ::chmod(m_folder.c_str(), 0555) == 0;
            return;
        }
        const int fd = ::open(m_file.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return;
        int flags = 0;
        if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags |= FS_IMMUTABLE_FL;
            m_immutable = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        ::close(fd);
    }
    ~Undeletable()
    {
        if (m_readOnlyFolder)
            ::chmod(m_folder.c_str(), 0755);
        if (m_immutable) {
            const int fd = ::open(m_file.c_str(), O_RDONLY | O_CLOEXEC);
            int flags = 0;
            if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
                flags &= ~FS_IMMUTABLE_FL;
                ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
            }
            if (fd >= 0)
                ::close(fd);
        }
    }
    Undeletable(const Undeletable&) = delete;
    Undeletable& operator=(const Undeletable&) = delete;
    bool active() const { return m_readOnlyFolder || m_immutable; }

private:
    fs::path m_file;
    fs::path m_folder;
    bool m_readOnlyFolder = false;
    bool m_immutable = false;
};

TEST_F(WorkspaceTearDown, FileThatCannotBeDeletedKeepsItsFolderAndTheRoot)
{
    ASSERT_TRUE(PrepareWorkspace(ws, false, false));
    Undeletable held(slot(SlotFolder::Signal, 4));
    if (!held.active())
        GTEST_SKIP() << "this file system lets every file be deleted";

    TearDownWorkspace(ws);

    for (const char* gone : {"Avkon", "SIS", "Menu", "bmconv.exe", "com.txt"})
        EXPECT_FALSE(fs::exists(root() / gone)) << gone;
    EXPECT_TRUE(fs::exists(slot(SlotFolder::Signal, 4)));
    EXPECT_TRUE(fs::is_directory(root()));
}

} // namespace

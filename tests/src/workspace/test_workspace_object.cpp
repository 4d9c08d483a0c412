// The workspace object: every slot read and written relative to the root it
// holds open, a folder below it that is a link refused rather than followed,
// and the journal of its own writes.
#include "workspace/workspace.h"
#include "workspace_fixture.h"

#include <gtest/gtest.h>

#include <map>

using namespace kastra;
using namespace kastra::test;

namespace {

using Tree = std::map<fs::path, Bytes>;

Tree treeOf(const fs::path& folder)
{
    Tree t;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        if (e.is_regular_file())
            t[fs::relative(e.path(), folder)] = readBytes(e.path());
    return t;
}

class WorkspaceObject : public WorkspaceTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ws.open());
        ASSERT_TRUE(ws.makeFolder("Avkon"));
        ASSERT_TRUE(ws.write("Avkon\\000.bmp", Bytes{1}));
        // A folder of the user's, with a file of the user's in it.
        fs::create_directories(dir.path() / "mine");
        writeBytes(dir.path() / "mine" / "000.bmp", Bytes{7, 7});
        writeBytes(dir.path() / "mine" / "photo.jpg", Bytes{8});
    }
    // Avkon\ swapped for a link to the user's folder.
    void linkAvkon()
    {
        fs::remove_all(root() / "Avkon");
        fs::create_directory_symlink(dir.path() / "mine", root() / "Avkon");
    }
    Tree mine() const { return treeOf(dir.path() / "mine"); }
};

// Whatever is asked of a slot in a linked folder is refused, and the
// user's folder behind the link is left exactly as it was.
TEST_F(WorkspaceObject, FolderSwappedForALinkIsRefusedNotFollowed)
{
    linkAvkon();
    const Tree before = mine();
    const std::vector<NewFile> together = {{"Avkon\\000.bmp", Bytes{2}}, {"Top1.bmp", Bytes{3}}};
    struct Case {
        const char* what;
        Result<void> result;
    };
    const Case cases[] = {
        {"write", ws.write("Avkon\\000.bmp", Bytes{9})},
        {"picture", ws.writePicture("Avkon\\001.bmp", Bitmap::create(2, 2, 24))},
        {"remove", ws.remove("Avkon\\000.bmp")},
        {"rename", ws.rename("Avkon\\000.bmp", "Avkon\\002.bmp")},
        {"into", ws.rename("Top9.bmp", "Avkon\\003.bmp")},
        {"together", ws.replaceTogether(together)},
        {"folder", ws.makeFolder("Avkon")},
    };
    for (const Case& c : cases)
        EXPECT_FALSE(c.result) << c.what;
    EXPECT_FALSE(ws.read("Avkon\\000.bmp", 100));
    EXPECT_TRUE(ws.picture("Avkon\\000.bmp").empty());
    EXPECT_FALSE(ws.hasFile("Avkon\\000.bmp"));
    // The converter, which goes by paths, is not started to write there.
    EXPECT_FALSE(ws.run("/bin/true", {"Avkon\\000.bmp"}).started);
    EXPECT_TRUE(ws.run("/bin/true", {"Top1.bmp"}).started);
    EXPECT_TRUE(mine() == before);
    EXPECT_FALSE(fs::exists(root() / "Top1.bmp"));
}

// The root is held open: once opened, its path may name another folder
// (here a link to the user's) without a slot write landing there.
TEST_F(WorkspaceObject, RootHeldOpenWhateverItsPathNamesLater)
{
    const Tree before = mine();
    const fs::path rootName = root().parent_path();   // without the separator
    fs::rename(rootName, dir.path() / "moved");
    fs::create_directory_symlink(dir.path() / "mine", rootName);
    ASSERT_TRUE(ws.write("Back.bmp", Bytes{4}));
    ASSERT_TRUE(ws.write("Avkon\\000.bmp", Bytes{5}));
    EXPECT_EQ(readBytes(dir.path() / "moved" / "Back.bmp"), Bytes{4});
    EXPECT_EQ(readBytes(dir.path() / "moved" / "Avkon" / "000.bmp"), Bytes{5});
    EXPECT_TRUE(mine() == before);
    // Opened afresh, a link in the root's place is refused.
    ws.close();
    EXPECT_FALSE(ws.write("Back.bmp", Bytes{6}));
    EXPECT_TRUE(mine() == before);
}

// Names that would leave the workspace are no slots.
TEST_F(WorkspaceObject, NamesThatLeaveTheWorkspaceAreRefused)
{
    for (const char* name : {"..\\mine\\000.bmp", "Avkon\\..\\..\\x", "a\\b\\c.bmp", "", "Avkon\\", "\\x", "."}) {
        EXPECT_FALSE(ws.write(name, Bytes{1})) << name;
        EXPECT_FALSE(ws.read(name, 10)) << name;
    }
    EXPECT_EQ(readBytes(dir.path() / "mine" / "000.bmp"), (Bytes{7, 7}));
}

// Every write is noted, failed ones too (a failed write may still have
// changed the name), each file once until taken, in the order written.
TEST_F(WorkspaceObject, JournalHoldsEveryWriteOnceUntilTaken)
{
    (void)ws.journal().take();
    QStringList heard;
    ws.journal().setListener([&heard](const QStringList& paths) { heard << paths; });
    ASSERT_TRUE(ws.write("Top1.bmp", Bytes{1}));
    ASSERT_TRUE(ws.write("Avkon\\000.bmp", Bytes{2}));
    ASSERT_TRUE(ws.write("Top1.bmp", Bytes{3}));
    fs::create_directory(root() / "Top2.bmp");
    EXPECT_FALSE(ws.write("Top2.bmp", Bytes{4}));
    ASSERT_TRUE(ws.remove("Avkon\\000.bmp"));
    EXPECT_TRUE(ws.holds("Top1.bmp", Bytes{3}));
    (void)ws.picture("Top1.bmp");   // reading is no write

    const QStringList expected = ws.paths({"Top1.bmp", "Avkon\\000.bmp", "Top2.bmp"});
    EXPECT_EQ(ws.journal().take(), expected);
    EXPECT_TRUE(ws.journal().take().isEmpty());
    EXPECT_EQ(heard, ws.paths({"Top1.bmp", "Avkon\\000.bmp", "Top1.bmp", "Top2.bmp", "Avkon\\000.bmp"}));
    EXPECT_EQ(ws.slotOf(expected[1]), QStringLiteral("Avkon\\000.bmp"));
    EXPECT_TRUE(ws.slotOf(qpath(dir.path() / "mine" / "000.bmp")).isEmpty());
}

} // namespace

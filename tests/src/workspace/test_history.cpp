// The undo history on a real folder tree: files come back byte for byte,
// created and deleted ones included; outside saves are undone; the size
// bound drops the oldest steps; a damaged step file is refused cleanly.
#include "workspace/history.h"
#include "workspace_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

using namespace kastra;
using namespace kastra::test;

namespace {

// Every file of the workspace but the history's own, by relative path.
using Tree = std::map<std::string, Bytes>;

struct HistoryTest : WorkspaceTest {
    HistoryTest()
    {
        for (const char* folder : {"Avkon", "Signal", "Menu", "SIS"})
            fs::create_directories(root() / folder);
        put("SplashTop.bmp", 1, 300);
        put("Top1.bmp", 2, 3000);
        put("Avkon/010.bmp", 3, 200);
        put("Avkon/445.bmp", 4, 200);
        put("Signal/006.bmp", 5, 100);
        put("Menu/004.bmp", 6, 500);
        put("SIS/kde.gdr", 7, 4000);
        put("com.txt", 8, 10);   // not a slot: never tracked
    }

    void put(const std::string& relative, std::uint8_t fill, std::size_t size)
    {
        writeBytes(root() / relative, Bytes(size, fill));
    }
    QString full(const std::string& relative) const { return ws.root() + QString::fromStdString(relative); }

    Tree tree() const
    {
        Tree t;
        for (auto it = fs::recursive_directory_iterator(root()); it != fs::recursive_directory_iterator(); ++it) {
            const std::string relative = fs::relative(it->path(), root()).generic_string();
            if (relative.rfind("History", 0) == 0)
                continue;
            if (it->is_regular_file())
                t[relative] = readBytes(it->path());
        }
        return t;
    }
    std::size_t stepFilesOnDisk() const
    {
        return fs::exists(root() / "History") ? filesIn(root() / "History") : 0;
    }
    std::uintmax_t stepBytesOnDisk() const
    {
        std::uintmax_t sum = 0;
        if (fs::exists(root() / "History"))
            for (const auto& e : fs::directory_iterator(root() / "History"))
                sum += e.file_size();
        return sum;
    }

    History history{ws};
};

const HistoryFlags kStart{u'1', false, false, false};
const HistoryFlags kImported{u'1', false, true, false};
// "strip edited" set: it comes back with the undo and redo of the step.
const HistoryFlags kScheme3{u'3', true, true, true, true};

// An import that changes the banner, creates the background and deletes a
// slot; then a scheme choice that creates a banner, changes the first again
// and deletes the font. Two undos give the start byte for byte, two redos the
// end; the flags come back with them.
TEST_F(HistoryTest, TwoStepsUndoneAndRedoneByteForByte)
{
    history.start();
    const Tree atStart = tree();

    put("Top1.bmp", 20, 3000);
    put("Back.bmp", 21, 5000);
    fs::remove(root() / "Avkon/010.bmp");
    ASSERT_TRUE(history.record({full("Top1.bmp"), full("Back.bmp"), full("Avkon/010.bmp"), full("SplashTop.bmp")},
                               kStart, kImported));
    const Tree afterImport = tree();

    put("Top3.bmp", 30, 3000);
    put("Top1.bmp", 31, 2999);
    fs::remove(root() / "SIS/kde.gdr");
    ASSERT_TRUE(history.record({full("Top3.bmp"), full("Top1.bmp"), full("SIS/kde.gdr"), full("com.txt")},
                               kImported, kScheme3));
    const Tree atEnd = tree();
    EXPECT_EQ(history.stepCount(), 2);
    EXPECT_EQ(stepFilesOnDisk(), 2u);

    struct Move {
        bool undo;
        const Tree* expected;
        HistoryFlags flags;
        int written;
    };
    const Move moves[] = {
        {true, &afterImport, kImported, 3},
        {true, &atStart, kStart, 3},
        {false, &afterImport, kImported, 3},
        {false, &atEnd, kScheme3, 3},
    };
    for (const Move& m : moves) {
        (void)ws.journal().take();
        auto applied = m.undo ? history.undo() : history.redo();
        ASSERT_TRUE(applied.ok()) << applied.error();
        EXPECT_TRUE(*m.expected == tree());
        EXPECT_EQ(applied->flags, m.flags);
        // The files put back are in the workspace's journal, for the watcher.
        EXPECT_EQ(ws.journal().take().size(), m.written);
    }
    EXPECT_FALSE(history.canRedo());
    EXPECT_FALSE(history.redo().ok());

    // A new change after an undo drops the step that could be redone.
    ASSERT_TRUE(history.undo().ok());
    put("Menu/004.bmp", 40, 500);
    ASSERT_TRUE(history.record({full("Menu/004.bmp")}, kImported, kImported));
    EXPECT_FALSE(history.canRedo());
    EXPECT_EQ(history.stepCount(), 2);
    EXPECT_EQ(stepFilesOnDisk(), 2u);
    // Nothing differs from what the history knows: no step.
    EXPECT_FALSE(history.record({full("Menu/004.bmp"), full("Top1.bmp")}, kImported, kImported));
    EXPECT_EQ(history.stepCount(), 2);
}

// An editor's save, found by comparing every tracked file with what the
// history knew, and one it was not told about before an undo: each is undone
// on its own; the painters' writes it absorbed are not steps.
TEST_F(HistoryTest, OutsideChangesAreUndone)
{
    history.start();
    const Tree atStart = tree();
    put("Temp1.bmp", 9, 600);   // a painter's strip
    history.absorb({full("Temp1.bmp")});
    const Tree painted = tree();

    put("Signal/006.bmp", 50, 100);
    put("Menu/new.bmp", 51, 10);
    fs::remove(root() / "Top1.bmp");
    ASSERT_TRUE(history.recordOutside(kStart));
    EXPECT_FALSE(history.recordOutside(kStart));
    const Tree saved = tree();

    put("Avkon/445.bmp", 52, 200);   // not reported yet
    auto applied = history.undo();
    ASSERT_TRUE(applied.ok()) << applied.error();
    EXPECT_TRUE(tree() == saved);
    ASSERT_TRUE(history.undo().ok());
    EXPECT_TRUE(tree() == painted);
    EXPECT_FALSE(tree() == atStart);
    EXPECT_FALSE(history.canUndo());
}

// The step files never take more than the limit, at exactly the limit and one
// byte below it: the oldest go first, before the new step is written, and the
// steps kept still lead back exactly to the state before them. A step larger
// than the limit by itself is not kept: the history is emptied and says so.
TEST_F(HistoryTest, SizeBoundDropsTheOldestSteps)
{
    // The bytes of one step: 2 x 10000 bytes of banner and the framing.
    qint64 step = 0;
    put("Top2.bmp", 98, 10000);
    {
        History probe(ws);
        probe.start();
        put("Top2.bmp", 99, 10000);
        ASSERT_TRUE(probe.record({full("Top2.bmp")}, kStart, kStart));
        step = probe.storedBytes();
        probe.start();
    }
    struct Case {
        qint64 limit;
        int kept;
    };
    for (const Case c : {Case{3 * step, 3}, Case{3 * step - 1, 2}, Case{step, 1}, Case{step - 1, 0}}) {
        SCOPED_TRACE(c.limit);
        History bounded(ws, c.limit);
        bounded.start();
        std::vector<Tree> states{tree()};
        for (std::uint8_t i = 1; i <= 6; ++i) {
            put("Top2.bmp", i, 10000);
            EXPECT_EQ(bounded.record({full("Top2.bmp")}, kStart, kStart), c.kept > 0);
            states.push_back(tree());
        }
        EXPECT_EQ(bounded.stepCount(), c.kept);
        EXPECT_EQ(stepFilesOnDisk(), static_cast<std::size_t>(c.kept));
        EXPECT_EQ(bounded.storedBytes(), c.kept * step);
        EXPECT_EQ(bounded.error().isEmpty(), c.kept > 0);
        for (int i = 0; i < c.kept; ++i)
            ASSERT_TRUE(bounded.undo().ok());
        EXPECT_FALSE(bounded.canUndo());
        EXPECT_TRUE(tree() == states[static_cast<std::size_t>(6 - c.kept)]);
    }
}

// What the history tracks, at exactly each bound and one past it: a picture
// against the size a slot can have, the font against its loader's limit, and
// the baseline's memory against its bound. A file past a bound is left alone:
// the baseline does not take it.
TEST_F(HistoryTest, FilesPastTheBoundsAreNotTracked)
{
    constexpr qint64 kEntry = History::BaselineEntryBytes;
    struct Case {
        const char* what;
        // Writes the files; returns what the baseline grows by when it takes
        // them all.
        std::function<qint64(qint64 over)> place;
    };
    const Case cases[] = {
        {"a slot picture",
         [this](qint64 over) {
             put("Back.bmp", 1, static_cast<std::size_t>(History::MaxSlotBytes + over));
             return History::MaxSlotBytes + over + kEntry;
         }},
        {"the font",
         [this](qint64 over) {
             put("SIS/kde.gdr", 1, static_cast<std::size_t>(History::MaxPackageFileBytes + over));
             return History::MaxPackageFileBytes + over - 4000;
         }},
        {"the baseline's memory",
         [this](qint64 over) {
             // Slot-sized pictures up to the bound exactly, or one byte past.
             const qint64 room = History::MaxBaselineBytes - history.baselineBytes() + over;
             for (qint64 left = room, i = 0; left > 0; ++i) {
                 // Halved near the end, so that no piece is too small for a file.
                 const qint64 cost = left > 2 * History::MaxSlotBytes ? History::MaxSlotBytes
                     : left > History::MaxSlotBytes                  ? left / 2
                                                                     : left;
                 put("Menu/f" + std::to_string(i) + ".bmp", 1, static_cast<std::size_t>(cost - kEntry));
                 left -= cost;
             }
             return room;
         }},
    };
    for (const Case& c : cases) {
        for (const qint64 over : {0, 1}) {
            SCOPED_TRACE(std::string(c.what) + (over ? ", one past" : ", at the limit"));
            for (const auto& e : fs::directory_iterator(root() / "Menu"))
                if (e.path().filename().string()[0] == 'f')
                    fs::remove(e.path());
            fs::remove(root() / "Back.bmp");
            put("SIS/kde.gdr", 7, 4000);
            history.start();
            const qint64 before = history.baselineBytes();
            const qint64 growth = c.place(over);
            history.recordOutside(kStart);
            EXPECT_EQ(history.baselineBytes() == before + growth, over == 0);
            EXPECT_LE(history.baselineBytes(), History::MaxBaselineBytes);
            EXPECT_LE(history.storedBytes(), History::DefaultLimitBytes);
        }
    }
}

// Files the painters derive join the step just recorded: its file is
// rewritten, and the byte count follows it.
TEST_F(HistoryTest, AmendKeepsTheByteCountOfTheStepFiles)
{
    history.start();
    put("Top1.bmp", 80, 3000);
    ASSERT_TRUE(history.record({full("Top1.bmp")}, kStart, kImported));
    put("Temp1.bmp", 81, 600);
    put("Avkon/445.bmp", 82, 5000);
    history.amend({full("Temp1.bmp"), full("Avkon/445.bmp")});
    EXPECT_EQ(history.stepCount(), 1);
    EXPECT_EQ(static_cast<std::uintmax_t>(history.storedBytes()), stepBytesOnDisk());
    ASSERT_TRUE(history.undo().ok());
    EXPECT_EQ(readBytes(root() / "Avkon/445.bmp"), Bytes(200, 4));
    EXPECT_FALSE(fs::exists(root() / "Temp1.bmp"));
}

// 64-bit FNV-1a, the step file's checksum, to forge a file that passes it.
void resum(Bytes& file)
{
    std::uint64_t h = 0xcbf29ce484222325ULL;
    for (std::size_t i = 0; i + 8 < file.size(); ++i) {
        h ^= file[i];
        h *= 0x100000001b3ULL;
    }
    for (int i = 0; i < 8; ++i)
        file[file.size() - 8 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(h >> (8 * i));
}

// A damaged step file is refused with a message; nothing is written, inside
// the workspace or out of it, and the step is gone.
TEST_F(HistoryTest, DamagedStepFileIsRefusedCleanly)
{
    struct Case {
        const char* what;
        void (*damage)(Bytes&);
    };
    const Case cases[] = {
        {"truncated", [](Bytes& b) { b.resize(b.size() / 2); }},
        {"empty", [](Bytes& b) { b.clear(); }},
        {"a byte changed", [](Bytes& b) { b[b.size() / 2] ^= 0x40; }},
        {"a length beyond the end, checksum right",
         [](Bytes& b) {
             // The high byte of the length of the first change's bytes
             // before: after the header (15 bytes), the path ("Top1.bmp"
             // and its length) and the byte that says they are present.
             b[15 + 2 + 8 + 1 + 3] = 0x7f;
             resum(b);
         }},
        {"a path out of the workspace, checksum right",
         [](Bytes& b) {
             const std::string from = "Top1.bmp", to = "../x.bmp";
             auto at = std::search(b.begin(), b.end(), from.begin(), from.end());
             ASSERT_NE(at, b.end());
             std::copy(to.begin(), to.end(), at);
             resum(b);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        put("Top1.bmp", 2, 3000);
        history.start();
        put("Top1.bmp", 60, 3000);
        ASSERT_TRUE(history.record({full("Top1.bmp")}, kStart, kImported));
        const Tree before = tree();
        const fs::path stepFile(history.stepFilePath(0).toStdString());
        Bytes bytes = readBytes(stepFile);
        c.damage(bytes);
        writeBytes(stepFile, bytes);

        auto applied = history.undo();
        EXPECT_FALSE(applied.ok());
        EXPECT_FALSE(applied.ok() ? true : applied.error().empty());
        EXPECT_TRUE(tree() == before);
        EXPECT_FALSE(fs::exists(root().parent_path().parent_path() / "x.bmp"));
        EXPECT_FALSE(history.canUndo());
        EXPECT_EQ(history.storedBytes(), 0);
    }
}

// A file that cannot be put back (a folder now stands in its place) fails the
// whole undo: the other file of the step keeps its bytes, the step stays and
// can be undone once the way is clear.
TEST_F(HistoryTest, FailedUndoChangesNothing)
{
    history.start();
    put("Top1.bmp", 70, 3000);
    fs::remove(root() / "Avkon/010.bmp");
    ASSERT_TRUE(history.record({full("Top1.bmp"), full("Avkon/010.bmp")}, kStart, kImported));
    fs::create_directory(root() / "Avkon/010.bmp");
    history.absorb({full("Avkon/010.bmp")});
    const Tree blocked = tree();

    auto applied = history.undo();
    EXPECT_FALSE(applied.ok());
    EXPECT_TRUE(tree() == blocked);
    EXPECT_TRUE(history.canUndo());

    fs::remove(root() / "Avkon/010.bmp");
    ASSERT_TRUE(history.undo().ok());
    EXPECT_EQ(readBytes(root() / "Avkon/010.bmp"), Bytes(200, 3));
    EXPECT_EQ(readBytes(root() / "Top1.bmp"), Bytes(3000, 2));
}

} // namespace

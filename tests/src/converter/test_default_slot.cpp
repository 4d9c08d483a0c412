// "Вернуть исходную": one slot back as a freshly prepared workspace has it,
// with the real bmconv, and nothing else touched.
#include "converter/default_slot.h"
#include "converter/setup.h"
#include "workspace/payloads.h"
#include "workspace_fixture.h"

#include <QDir>

#include <gtest/gtest.h>

#include <map>

using namespace kastra;
using namespace kastra::test;

namespace {

using DefaultSlot = WorkspaceTest;
using Tree = std::map<fs::path, Bytes>;

// Every file of the workspace but the unpacked defaults kept for the run.
Tree treeOf(const fs::path& root)
{
    Tree t;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        const fs::path relative = fs::relative(it->path(), root);
        if (it->is_regular_file() && *relative.begin() != DefaultSlotFolder)
            t[relative] = readBytes(it->path());
    }
    return t;
}

Bytes payload(Payload payload, const QString& programFolder)
{
    const auto bytes = payloadBytes(payload, programFolder);
    return bytes ? bytesOf(*bytes) : Bytes{};
}

TEST_F(DefaultSlot, RestoredSlotsHoldTheBytesOfAFreshWorkspace)
{
    ASSERT_TRUE(PrepareWorkspace(ws, false, false));
    const Tree fresh = treeOf(root());
    Bitmap strip;
    const Bytes banner = payload(Payload::NoImage, ws.programFolder());
    ASSERT_TRUE(strip.loadBmp(banner).ok());
    strip.setHeight(12);

    struct Case {
        const char* slot;
        Bytes expected;   // empty: the freshly prepared workspace's file
    };
    const Case cases[] = {
        {"Avkon\\000.bmp", {}},
        {"Avkon\\445.bmp", {}},
        {"Signal\\006.bmp", {}},
        {"Menu\\023.bmp", {}},
        {"SplashTop.bmp", {}},
        {"Top2.bmp", banner},   // missing before: created
        {"Temp3.bmp", strip.encodeBmp()},
        {"About.bmp", payload(Payload::About, ws.programFolder())},
    };
    Tree expected = fresh;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.slot);
        const QString name = QString::fromLatin1(c.slot);
        if (fs::exists(slot(name)))
            writeBytes(slot(name), Bytes{1, 2, 3});
        ASSERT_TRUE(SlotHasDefault(ws, slotPath(ws.root(), name)));
        const QString cwd = QDir::currentPath();
        (void)ws.journal().take();

        const Outcome restored = RestoreDefaultSlot(ws, slotPath(ws.root(), name));

        ASSERT_TRUE(restored.ok) << restored.text.toStdString();
        EXPECT_FALSE(restored.hasMessage());
        EXPECT_EQ(ws.journal().take(), QStringList{slotPath(ws.root(), name)});
        const fs::path relative = fs::relative(slot(name), root());
        if (!c.expected.empty())
            expected[relative] = c.expected;
        EXPECT_EQ(readBytes(slot(name)), expected[relative]);
        EXPECT_EQ(QDir::currentPath(), cwd);
    }
    // Every other file as the set-up left it.
    EXPECT_TRUE(treeOf(root()) == expected);
}

// No default, or a default that cannot be had: a message, and the slot and
// the workspace as they were.
TEST_F(DefaultSlot, RefusedWithoutTouchingAnything)
{
    ASSERT_TRUE(PrepareWorkspace(ws, false, false));
    writeBytes(root() / "Back.bmp", Bytes{4, 5, 6});
    writeBytes(slot(QStringLiteral("Signal\\006.bmp")), Bytes{7});
    // An override AvkonEx.mbm with two bitmaps has none for Signal\006.
    fs::create_directories(program() / "payloads" / "PKG");
    writeMbmOf(program() / "payloads" / "PKG" / "AVKONEX",
               {picture(32, 12, [](int, int) { return rgb(1, 1, 1); }),
                picture(32, 12, [](int, int) { return rgb(2, 2, 2); })});
    const Tree before = treeOf(root());
    (void)ws.journal().take();

    struct Case {
        QString path;
        bool hasDefault;
    };
    const Case cases[] = {
        {slotPath(ws.root(), QStringLiteral("Back.bmp")), false},
        {slotPath(ws.root(), QStringLiteral("Avkon\\508.bmp")), false},
        {slotPath(ws.root(), QStringLiteral("SIS\\kde.gdr")), false},
        {slotPath(ws.root(), QStringLiteral("Avkon\\..\\Top1.bmp")), false},
        {qpath(dir.path() / "Top1.bmp"), false},
        {slotPath(ws.root(), QStringLiteral("Signal\\006.bmp")), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        EXPECT_EQ(SlotHasDefault(ws, c.path), c.hasDefault);
        const Outcome restored = RestoreDefaultSlot(ws, c.path);
        EXPECT_FALSE(restored.ok);
        EXPECT_EQ(restored.icon, MessageIcon::Warning);
        EXPECT_TRUE(restored.hasMessage());
        EXPECT_TRUE(ws.journal().take().isEmpty());
        EXPECT_TRUE(treeOf(root()) == before);
    }
}

// The override folder's default theme file wins, as it does at start-up, also
// over the built-in file's pictures kept from an earlier restore.
TEST_F(DefaultSlot, OverrideFolderWins)
{
    ASSERT_TRUE(PrepareWorkspace(ws, false, false));
    ASSERT_TRUE(RestoreDefaultSlot(ws, slotPath(ws.root(), QStringLiteral("Signal\\003.bmp"))).ok);

    fs::create_directories(program() / "payloads" / "PKG");
    std::vector<Bitmap> pictures;
    for (int i = 0; i < 12; ++i)
        pictures.push_back(picture(32, 12, [i](int x, int) { return rgb(10 * i, x, 200); }));
    writeMbmOf(program() / "payloads" / "PKG" / "AVKONEX", pictures);
    writePicture(program() / "payloads" / "PKG" / "SPLT", picture(176, 12, [](int x, int y) { return rgb(x, y, 9); }));
    ASSERT_TRUE(PrepareWorkspace(ws, false, false));
    const Tree fresh = treeOf(root());

    for (const char* name : {"Signal\\003.bmp", "SplashTop.bmp"}) {
        SCOPED_TRACE(name);
        const fs::path file = slot(QString::fromLatin1(name));
        writeBytes(file, Bytes{1});
        ASSERT_TRUE(RestoreDefaultSlot(ws, slotPath(ws.root(), QString::fromLatin1(name))).ok);
        EXPECT_EQ(readBytes(file), fresh.at(fs::relative(file, root())));
    }
    EXPECT_EQ(readPicture(slot(QStringLiteral("Signal\\003.bmp"))).getPixel(5, 0), rgb(30, 5, 200));
}

} // namespace

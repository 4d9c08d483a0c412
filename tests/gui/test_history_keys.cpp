// Undo and redo as a person uses them: the keys on the window, the files
// coming back byte for byte with the controls that show the flags, an
// editor's save taken back, and one slot put back to its default from the
// editor menu.

#include "picture/bitmap.h"
#include "bitmap_fixture.h"
#include "gui_support.h"
#include "app/widgets.h"
#include "platform/fileops.h"
#include "preview/slot_watcher.h"
#include "workspace/slots.h"

#include <QLineEdit>
#include <QMap>
#include <QMenu>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>

#include <gtest/gtest.h>

namespace kastra {
namespace {

using Files = QMap<QString, QByteArray>;

// The names whose bytes differ, or that are on one side only: what a
// failure prints instead of two workspaces.
QStringList differing(const Files& a, const Files& b)
{
    QStringList names;
    for (auto it = a.cbegin(); it != a.cend(); ++it) {
        if (b.value(it.key(), QByteArray("\xff-absent")) != it.value())
            names << it.key();
    }
    for (auto it = b.cbegin(); it != b.cend(); ++it) {
        if (!a.contains(it.key()))
            names << it.key();
    }
    return names;
}

using test::uniformBitmap;

class HistoryKeys : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(startShown(run)); }
    void settle() { kastra::settle(*run.form); }
    void key(Qt::Key k, Qt::KeyboardModifiers mods = Qt::ControlModifier)
    {
        QTest::keyClick(run.form.get(), k, mods);
        settle();
    }
    QString slot(const QString& name) const { return slotPath(run.root, name); }
    void importPicture()
    {
        const QString picture = run.programFolder + QStringLiteral("p.bmp");
        ASSERT_TRUE(uniformBitmap(352, 400, rgb(200, 40, 60)).writeBmp(fsPath(picture)));
        run.dialogs.answers.push_back(picture);
        QTest::mouseClick(run.find<QAbstractButton>("LoadPictureButton"), Qt::LeftButton);
        settle();
    }
    QColor previewAt(int x, int y) const { return run.find<PaintBox>("PreviewBox")->image().pixelColor(x, y); }
    AppRun run;
};

TEST_F(HistoryKeys, ImportAndSchemeAreUndoneAndRedoneByteForByte)
{
    const Files start = workspaceFiles(run.root);
    importPicture();
    const Files imported = workspaceFiles(run.root);
    const QColor shown = previewAt(88, 120);
    QTest::mouseClick(run.find<QRadioButton>("CityRadio"), Qt::LeftButton);
    settle();
    const Files chosen = workspaceFiles(run.root);
    ASSERT_NE(start, imported);
    ASSERT_NE(imported, chosen);

    key(Qt::Key_Z);
    EXPECT_EQ(differing(workspaceFiles(run.root), imported), QStringList());
    EXPECT_FALSE(run.find<QRadioButton>("CityRadio")->isChecked());
    EXPECT_EQ(run.form->state().scheme, u'1');
    key(Qt::Key_Z);
    EXPECT_EQ(differing(workspaceFiles(run.root), start), QStringList());
    EXPECT_NE(previewAt(88, 120), shown);
    key(Qt::Key_Z);   // nothing left: no box, no change
    EXPECT_EQ(differing(workspaceFiles(run.root), start), QStringList());

    key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(differing(workspaceFiles(run.root), imported), QStringList());
    EXPECT_EQ(previewAt(88, 120), shown);
    key(Qt::Key_Y);
    EXPECT_EQ(differing(workspaceFiles(run.root), chosen), QStringList());
    EXPECT_TRUE(run.find<QRadioButton>("CityRadio")->isChecked());
    EXPECT_TRUE(run.dialogs.messages.empty());

    // In an edit field the keys are the field's own.
    auto* name = run.find<QLineEdit>("ThemeNameEdit");
    run.form->pageTabs()->setCurrentIndex(2);
    name->setFocus();
    QTest::keyClicks(name, QStringLiteral("abc"));
    key(Qt::Key_Z);
    EXPECT_TRUE(name->text().isEmpty());
    EXPECT_EQ(differing(workspaceFiles(run.root), chosen), QStringList());
}

// Ticking "Снизу" is no step: undoing the import before it leaves the tick
// as it is. The preview shows the strips of the tick at once.
TEST_F(HistoryKeys, ATickBetweenStepsOutlivesTheirUndo)
{
    ASSERT_TRUE(run.form->state().pictures.stripBottom);
    importPicture();
    EXPECT_EQ(previewAt(0, 100), QColor(Qt::white));
    run.form->pageTabs()->setCurrentIndex(3);
    QTest::mouseClick(run.find<QAbstractButton>("MoreButton"), Qt::LeftButton);
    auto* bottom = run.find<QAbstractButton>("StripBottomCheck");
    QTest::mouseClick(bottom, Qt::LeftButton);
    ASSERT_FALSE(bottom->isChecked());
    settle();
    EXPECT_NE(previewAt(0, 100), QColor(Qt::white));
    EXPECT_EQ(previewAt(174, 100), QColor(Qt::white));

    key(Qt::Key_Z);
    EXPECT_FALSE(QFile::exists(slot(QStringLiteral("Back.bmp"))));
    EXPECT_FALSE(run.form->state().pictures.stripBottom);
    EXPECT_FALSE(bottom->isChecked());
    key(Qt::Key_Y);
    EXPECT_FALSE(bottom->isChecked());
}

TEST_F(HistoryKeys, AnEditorsSaveIsOneStep)
{
    importPicture();
    const QByteArray imported = fileBytes(slot(QStringLiteral("Back.bmp")));
    const QColor shown = previewAt(88, 120);
    writeBmpQuietly(uniformBitmap(176, 132, rgb(0, 0, 255)), fsPath(slot(QStringLiteral("Back.bmp"))));
    ASSERT_TRUE(waitFor([&] { return previewAt(88, 120) == QColor(0, 0, 255); }));
    key(Qt::Key_Z);
    EXPECT_EQ(fileBytes(slot(QStringLiteral("Back.bmp"))), imported);
    EXPECT_EQ(previewAt(88, 120), shown);

    // A save the watcher has not reported yet when the next change comes is
    // still a step of its own: the change's undo brings the save back.
    writeBmpQuietly(uniformBitmap(176, 132, rgb(0, 0, 255)), fsPath(slot(QStringLiteral("Back.bmp"))));
    const QByteArray saved = fileBytes(slot(QStringLiteral("Back.bmp")));
    importPicture();
    key(Qt::Key_Z);
    EXPECT_EQ(fileBytes(slot(QStringLiteral("Back.bmp"))), saved);
}

// The window learns its own writes from the workspace's journal: an import,
// a save (which packs, writing masks and the about picture) and the
// repaints (strips, masks) are never reported by the live refresh as an
// outside change; an editor's save always is.
TEST_F(HistoryKeys, OwnWritesAreNeverOutsideChangesAnEditorsSaveAlwaysIs)
{
    auto* watcher = run.form->findChild<SlotWatcher*>();
    ASSERT_NE(watcher, nullptr);
    QSignalSpy outside(watcher, &SlotWatcher::slotsChanged);
    importPicture();
    QTest::mouseClick(run.find<QAbstractButton>("SaveBackGrButton"), Qt::LeftButton);
    settle();
    run.form->pageTabs()->setCurrentIndex(1);
    settle();
    QTest::qWait(500);
    EXPECT_FALSE(watcher->checkNow());
    EXPECT_EQ(outside.count(), 0);

    const QString icon = slot(QStringLiteral("Menu\\000.bmp"));
    writeBmpQuietly(uniformBitmap(42, 29, rgb(1, 2, 3)), fsPath(icon));
    ASSERT_TRUE(waitFor([&] { return outside.count() > 0; }));
    EXPECT_TRUE(outside.front().front().toStringList().contains(icon));
}

// A save packs and writes files of the workspace on the way (the about
// picture, the masks): none of that is a step, so Ctrl+Z after a save takes
// back the change before it.
TEST_F(HistoryKeys, ASaveIsNoStep)
{
    importPicture();
    QTest::mouseClick(run.find<QAbstractButton>("SaveBackGrButton"), Qt::LeftButton);
    settle();
    ASSERT_TRUE(run.dialogs.messages.empty());
    ASSERT_TRUE(QFile::exists(slot(QStringLiteral("About.bmp"))));
    key(Qt::Key_Z);
    EXPECT_FALSE(QFile::exists(slot(QStringLiteral("Back.bmp"))));
    EXPECT_TRUE(QFile::exists(slot(QStringLiteral("About.bmp"))));
}

TEST_F(HistoryKeys, BackToTheDefaultFromTheEditorMenu)
{
    const QString signal = slot(slotName(SlotFolder::Signal, 0));
    const QByteArray original = fileBytes(signal);
    writeBmpQuietly(uniformBitmap(32, 12, rgb(0, 255, 0)), fsPath(signal));
    const QByteArray edited = fileBytes(signal);
    // The editor's save is seen (and kept as a step) before the menu opens.
    QTest::qWait(400);
    settle();
    const auto item = [&](const char* view, QPoint at) {
        QTest::mouseClick(run.find<PaintBox>(view), Qt::RightButton, {}, at);
        QMenu* menu = run.form->editorMenu();
        EXPECT_TRUE(waitFor([&] { return menu->isVisible(); }));
        const QList<QAction*> items = menu->actions();
        // Three editors, a separator, the default, then the handset view's items.
        EXPECT_GE(items.size(), 5);
        return items.at(4);
    };
    QAction* restore = item("SignalStripBox", QPoint(5, 5));
    EXPECT_EQ(restore->text(), QStringLiteral("Вернуть исходную"));
    ASSERT_TRUE(restore->isEnabled());
    restore->trigger();
    run.form->editorMenu()->hide();
    run.form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(run.form.get()));
    settle();
    EXPECT_EQ(fileBytes(signal), original);
    key(Qt::Key_Z);
    EXPECT_EQ(fileBytes(signal), edited);

    importPicture();
    // The background has no default.
    EXPECT_FALSE(item("PreviewBox", QPoint(88, 150))->isEnabled());
    run.form->editorMenu()->hide();
}

} // namespace
} // namespace kastra

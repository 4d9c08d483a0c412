// Presses on the preview views start the default editor or remember the
// slot for the editor menu, band by band, with exactly the arguments a user
// would see.
#include "gui_support.h"

#include "workspace/slots.h"
#include "app/widgets.h"

#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QTabWidget>

#include <gtest/gtest.h>

namespace kastra {
namespace {

class Openers : public ::testing::Test {
protected:
    void SetUp() override
    {
        // An editor path with a space, as a browse would give it.
        const QString folder = run.programFolder + QStringLiteral("My Editors/");
        QDir().mkpath(folder);
        record = run.programFolder + QStringLiteral("args.txt");
        editor = makeRecordingEditor(folder, QStringLiteral("paint it"), record);
        writeFile(run.programFolder + QStringLiteral("Settings.ini"),
                  "[General]\r\nEditor1=" + editor.toUtf8() + "\r\nEditor2=" + editor.toUtf8()
                      + " --two\r\nDefaultEditor=1\r\n");
        run.start();
        run.form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(run.form.get()));
    }

    QStringList press(const char* view, QPoint at, Qt::MouseButton button = Qt::LeftButton)
    {
        QFile::remove(record);
        auto* w = run.find<QWidget>(view);
        QTest::mousePress(w, button, {}, at);
        QTest::mouseRelease(w, button, {}, at);
        if (button == Qt::RightButton) {
            run.find<QMenu>("EditorMenu")->hide();
            return recordedArguments(record, 300);
        }
        return recordedArguments(record);
    }

    QString slot(const QString& name) const { return QDir::toNativeSeparators(slotPath(run.root, name)); }
    QString bracketed(const QString& name) const { return u'[' + slot(name) + u']'; }

    AppRun run;
    QString record;
    QString editor;
};

TEST_F(Openers, SignalStripBandsFollowThe32PixelCells)
{
    EXPECT_EQ(press("SignalStripBox", {31, 5}), QStringList{bracketed(QStringLiteral("Signal\\000.bmp"))});
    EXPECT_EQ(press("SignalStripBox", {32, 5}), QStringList{bracketed(QStringLiteral("Signal\\001.bmp"))});
    EXPECT_EQ(press("SignalStripBox", {191, 5}), QStringList{bracketed(QStringLiteral("Signal\\005.bmp"))});
    EXPECT_EQ(press("SignalStripBox", {100, 5}, Qt::MiddleButton),
              QStringList{bracketed(QStringLiteral("Signal\\003.bmp"))});
}

TEST_F(Openers, PreviewRowsPickStripBannerAndBackground)
{
    // Only files that exist open from the preview.
    for (const char* name : {"Temp1.bmp", "Top1.bmp", "Back.bmp"})
        writeFile(slotPath(run.root, QString::fromLatin1(name)), "BM");
    EXPECT_EQ(press("PreviewBox", {5, 11}), QStringList{bracketed(QStringLiteral("Temp1.bmp"))});
    EXPECT_EQ(press("PreviewBox", {5, 12}), QStringList{bracketed(QStringLiteral("Top1.bmp"))});
    EXPECT_EQ(press("PreviewBox", {5, 68}), QStringList{bracketed(QStringLiteral("Top1.bmp"))});
    EXPECT_EQ(press("PreviewBox", {5, 69}), QStringList{bracketed(QStringLiteral("Back.bmp"))});
}

TEST_F(Openers, OpeningTheStripFromThePreviewMarksItEdited)
{
    writeFile(slotPath(run.root, QStringLiteral("Temp1.bmp")), "BM");
    EXPECT_FALSE(run.form->state().stripEdited);
    press("PreviewBox", {5, 20});
    EXPECT_FALSE(run.form->state().stripEdited);
    press("PreviewBox", {5, 3});
    EXPECT_TRUE(run.form->state().stripEdited);
}

TEST_F(Openers, AMissingFileOnThePreviewStartsNothing)
{
    QFile::remove(slotPath(run.root, QStringLiteral("Back.bmp")));
    EXPECT_TRUE(press("PreviewBox", {5, 100}).isEmpty());   // waits out the editor that never comes
}

// A right click on each view over a slot whose file is missing, then the
// menu's first editor: it gets that slot, which it reports missing itself.
// Only the desktop preview tests the file and hands an empty argument.
TEST_F(Openers, EveryViewHandsTheMenuItsSlotEvenWhenTheFileIsMissing)
{
    struct Case {
        const char* view;
        int page;
        QPoint at;
        const char* slot;
        bool emptied;
    };
    const Case cases[] = {
        {"PreviewBox", 0, {5, 100}, "Back.bmp", true},
        {"DesktopStripBox", 0, {3, 3}, "Temp1.bmp", false},
        {"BootStripBox", 0, {3, 3}, "SplashTop.bmp", false},
        {"NoSignalBox", 0, {3, 3}, "Signal\\006.bmp", false},
        {"SignalStripBox", 0, {40, 3}, "Signal\\001.bmp", false},
        {"Avkon445Box", 0, {3, 3}, "Avkon\\445.bmp", false},
        {"SmallFoldersBox", 1, {50, 3}, "Menu\\004.bmp", false},
        {"LargeFoldersBox", 1, {50, 3}, "Menu\\006.bmp", false},
        {"Avkon136Box", 1, {3, 3}, "Avkon\\136.bmp", false},
        {"Avkon138Box", 1, {3, 3}, "Avkon\\138.bmp", false},
        {"Avkon202Box", 1, {3, 3}, "Avkon\\202.bmp", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.view);
        run.find<QTabWidget>("PageTabs")->setCurrentIndex(c.page);
        const QString name = QString::fromLatin1(c.slot);
        QFile::remove(slotPath(run.root, name));
        run.form->state().popupSlotPath = QStringLiteral("/left/over");
        press(c.view, c.at, Qt::RightButton);
        QFile::remove(record);
        run.find<QMenu>("EditorMenu")->actions().at(0)->trigger();
        EXPECT_EQ(recordedArguments(record), QStringList{c.emptied ? QStringLiteral("[]") : bracketed(name)});
    }
}

TEST_F(Openers, DesktopStripMarksTheStripEditedAndRemembersAMissingOne)
{
    QFile::remove(slotPath(run.root, QStringLiteral("Temp1.bmp")));
    run.form->state().stripEdited = false;
    EXPECT_TRUE(press("DesktopStripBox", {3, 3}).isEmpty());
    EXPECT_TRUE(run.form->state().stripEdited);
    EXPECT_EQ(run.form->state().popupSlotPath, slot(QStringLiteral("Temp1.bmp")));
}

TEST_F(Openers, IconViewsRememberTheirSlotForEveryButton)
{
    run.find<QTabWidget>("PageTabs")->setCurrentIndex(1);
    EXPECT_EQ(press("SmallFoldersBox", {42, 3}), QStringList{bracketed(QStringLiteral("Menu\\004.bmp"))});
    EXPECT_EQ(run.form->state().popupSlotPath, slot(QStringLiteral("Menu\\004.bmp")));
    EXPECT_EQ(press("LargeFoldersBox", {263, 3}), QStringList{bracketed(QStringLiteral("Menu\\022.bmp"))});
    EXPECT_EQ(press("Avkon138Box", {1, 1}), QStringList{bracketed(QStringLiteral("Avkon\\138.bmp"))});
    EXPECT_EQ(press("Avkon202Box", {1, 1}), QStringList{bracketed(QStringLiteral("Avkon\\202.bmp"))});
    EXPECT_EQ(run.form->state().popupSlotPath, slot(QStringLiteral("Avkon\\202.bmp")));
}

TEST_F(Openers, TheMenuUsesTheEditorTextAsItIsNow)
{
    press("BootStripBox", {3, 3}, Qt::RightButton);
    auto* edit = run.find<QLineEdit>("Editor1Edit");
    edit->setText(editor + QStringLiteral(" -x"));
    QFile::remove(record);
    run.find<QMenu>("EditorMenu")->actions().at(0)->trigger();
    EXPECT_EQ(recordedArguments(record), (QStringList{QStringLiteral("[-x]"), bracketed(QStringLiteral("SplashTop.bmp"))}));
    // ... while a left click still starts the default path chosen before.
    EXPECT_EQ(press("BootStripBox", {3, 3}), QStringList{bracketed(QStringLiteral("SplashTop.bmp"))});
}

// An editor that cannot be started is said, with where to choose another:
// the default one of a left click, and an empty one of the menu.
TEST_F(Openers, AnEditorThatCannotStartIsSaid)
{
    run.form->state().defaultEditorPath = run.programFolder + QStringLiteral("no-such-paint");
    QTest::mouseClick(run.find<QWidget>("BootStripBox"), Qt::LeftButton, {}, QPoint(3, 3));
    ASSERT_EQ(run.dialogs.messages.size(), 1u);
    EXPECT_EQ(run.dialogs.messages[0].text, QStringLiteral("Не удалось запустить редактор ") + run.programFolder
                                                + QStringLiteral("no-such-paint.\nДругой редактор можно выбрать на "
                                                                 "странице «Настройки»."));
    EXPECT_EQ(run.dialogs.messages[0].icon, MessageIcon::Warning);

    press("BootStripBox", {3, 3}, Qt::RightButton);
    run.find<QMenu>("EditorMenu")->actions().at(2)->trigger();
    ASSERT_EQ(run.dialogs.messages.size(), 2u);
    EXPECT_TRUE(run.dialogs.messages[1].text.endsWith(QStringLiteral("на странице «Настройки».")));
}

} // namespace
} // namespace kastra

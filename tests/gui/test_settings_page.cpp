// The settings page in the window: first start, the default editor, browse,
// save, and the save at close.
#include "gui_support.h"

#include "app/settings.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include <gtest/gtest.h>

namespace kastra {
namespace {

QString iniOf(const AppRun& run) { return run.programFolder + QStringLiteral("Settings.ini"); }

TEST(SettingsPage, FirstStartShowsAndStoresTheFirstRunValues)
{
    AppRun run;
    run.start();
    EXPECT_EQ(run.find<QLineEdit>("Editor1Edit")->text(), FirstRunEditor());
    EXPECT_TRUE(run.find<QRadioButton>("Default1Radio")->isChecked());
    EXPECT_EQ(run.form->state().defaultEditorPath, FirstRunEditor());
    EXPECT_EQ(run.find<QLineEdit>("Label3Edit")->text(), QStringLiteral("Редактор №3"));
    EXPECT_TRUE(QFile::exists(iniOf(run)));
}

TEST(SettingsPage, DefaultEditorFourOrMissingSelectsNoneAndLeftClicksStartNothing)
{
    for (const QByteArray& general : {QByteArray("DefaultEditor=4\r\n"), QByteArray()}) {
        AppRun run;
        const QString record = run.programFolder + QStringLiteral("args.txt");
        const QString editor = makeRecordingEditor(run.programFolder, QStringLiteral("ed"), record);
        writeFile(iniOf(run), "[General]\r\nEditor1=" + editor.toUtf8() + "\r\n" + general);
        run.start();
        for (const char* r : {"Default1Radio", "Default2Radio", "Default3Radio"})
            EXPECT_FALSE(run.find<QRadioButton>(r)->isChecked()) << r;
        EXPECT_TRUE(run.form->state().defaultEditorPath.isEmpty());
        run.form->show();
        QTest::mouseClick(run.find<QWidget>("BootStripBox"), Qt::LeftButton, {}, QPoint(5, 5));
        QTest::qWait(300);
        EXPECT_FALSE(QFile::exists(record));
        // Saving with none selected keeps the key as it was.
        QTest::mouseClick(run.find<QPushButton>("SaveSettingsButton"), Qt::LeftButton);
        EXPECT_EQ(fileBytes(iniOf(run)).contains("DefaultEditor=4"), !general.isEmpty());
    }
}

TEST(SettingsPage, SavingRenamesTheMenuItemsAtOnce)
{
    AppRun run;
    run.start();
    run.find<QLineEdit>("Label2Edit")->setText(QStringLiteral("GIMP"));
    QTest::mouseClick(run.find<QPushButton>("SaveSettingsButton"), Qt::LeftButton);
    const auto items = run.find<QMenu>("EditorMenu")->actions();
    EXPECT_EQ(items.at(1)->text(), QStringLiteral("GIMP"));
    EXPECT_TRUE(fileBytes(iniOf(run)).contains("Label2=GIMP\r\n"));
    EXPECT_TRUE(run.dialogs.messages.empty());
}

TEST(SettingsPage, ChangesAreSavedAtCloseAndReadBack)
{
    AppRun run;
    run.start();
    run.find<QLineEdit>("Editor3Edit")->setText(QStringLiteral("/usr/bin/pinta"));
    QTest::mouseClick(run.find<QRadioButton>("Default3Radio"), Qt::LeftButton);
    run.form->close();
    EXPECT_TRUE(fileBytes(iniOf(run)).contains("Editor3=/usr/bin/pinta\r\n"));
    EXPECT_TRUE(fileBytes(iniOf(run)).contains("DefaultEditor=3\r\n"));
    EXPECT_FALSE(QDir(run.root).exists());   // the workspace went first
    run.form.reset();
    run.start();
    EXPECT_EQ(run.find<QLineEdit>("Editor3Edit")->text(), QStringLiteral("/usr/bin/pinta"));
    EXPECT_TRUE(run.find<QRadioButton>("Default3Radio")->isChecked());
    EXPECT_EQ(run.form->state().defaultEditorPath, QStringLiteral("/usr/bin/pinta"));
}

// The picture options are the application state's: the file's values at
// start, the check boxes change them, and the save at close keeps them.
TEST(SettingsPage, PictureOptionsAreTheStateTheCheckBoxesShow)
{
    AppRun run;
    writeFile(iniOf(run), "[Other]\r\nTop=1\r\nBottom=0\r\nNCEiD=1\r\n");
    run.start();
    const PictureOptions& options = run.form->state().pictures;
    EXPECT_TRUE(options.stripTop);
    EXPECT_FALSE(options.stripBottom);
    EXPECT_TRUE(options.separateEidPic);
    EXPECT_TRUE(run.find<QCheckBox>("StripTopCheck")->isChecked());
    EXPECT_FALSE(run.find<QCheckBox>("StripBottomCheck")->isChecked());
    EXPECT_TRUE(run.find<QCheckBox>("SeparateEidPicCheck")->isChecked());
    run.form->show();
    run.find<QTabWidget>("PageTabs")->setCurrentIndex(3);
    QTest::mouseClick(run.find<QPushButton>("MoreButton"), Qt::LeftButton);
    QTest::mouseClick(run.find<QCheckBox>("StripTopCheck"), Qt::LeftButton);
    QTest::mouseClick(run.find<QCheckBox>("StripBottomCheck"), Qt::LeftButton);
    EXPECT_FALSE(options.stripTop);
    EXPECT_TRUE(options.stripBottom);
    run.form->close();
    run.form.reset();
    run.start();
    EXPECT_FALSE(run.form->state().pictures.stripTop);
    EXPECT_TRUE(run.form->state().pictures.stripBottom);
    EXPECT_TRUE(run.form->state().pictures.separateEidPic);
}

// A logout first asks the program to store its data and may still be
// cancelled: the window must go on working on its workspace.
TEST(SettingsPage, ASessionCommitSavesTheSettingsAndTearsNothingDown)
{
    AppRun run;
    run.start();
    run.form->show();
    run.find<QLineEdit>("Editor3Edit")->setText(QStringLiteral("/usr/bin/pinta"));
    run.form->commitData();
    EXPECT_TRUE(fileBytes(iniOf(run)).contains("Editor3=/usr/bin/pinta\r\n"));
    EXPECT_TRUE(run.form->previewTimer().isActive() || run.form->signalTimer().isActive());
    // The next converter run works on the workspace as before.
    QTest::mouseClick(run.find<QPushButton>("SaveAvkonButton"), Qt::LeftButton);
    EXPECT_TRUE(run.dialogs.messages.empty());
    EXPECT_TRUE(QFile::exists(run.programFolder + QStringLiteral("Avkon.mbm")));
    run.form->close();
    EXPECT_FALSE(QDir(run.root).exists());
}

TEST(SettingsPage, TheDefaultPathChangesOnlyWhenItsButtonIsClicked)
{
    AppRun run;
    run.start();
    const QString before = run.form->state().defaultEditorPath;
    run.find<QLineEdit>("Editor1Edit")->setText(QStringLiteral("/opt/other"));
    EXPECT_EQ(run.form->state().defaultEditorPath, before);
    QTest::mouseClick(run.find<QRadioButton>("Default1Radio"), Qt::LeftButton);
    EXPECT_EQ(run.form->state().defaultEditorPath, QStringLiteral("/opt/other"));
}

TEST(SettingsPage, BrowseTakesExecutablesAndAlwaysRepaintsThePreview)
{
    AppRun run;
    run.start();
    const QString folder = run.programFolder + QStringLiteral("Paint Programs/");
    QDir().mkpath(folder);
    const QString editor = makeRecordingEditor(folder, QStringLiteral("my paint"), folder + QStringLiteral("r"));
    auto* edit = run.find<QLineEdit>("Editor2Edit");
    edit->setText(QStringLiteral("old"));

    run.form->previewTimer().stop();
    QTest::mouseClick(run.find<QPushButton>("Browse2Button"), Qt::LeftButton);   // cancelled
    EXPECT_EQ(edit->text(), QStringLiteral("old"));
    EXPECT_TRUE(run.form->previewTimer().isActive());

    run.dialogs.answers.push_back(run.programFolder + QStringLiteral("Settings.ini"));
    QTest::mouseClick(run.find<QPushButton>("Browse2Button"), Qt::LeftButton);
    EXPECT_EQ(edit->text(), QStringLiteral("old"));
    ASSERT_EQ(run.dialogs.messages.size(), 1u);
    EXPECT_EQ(run.dialogs.messages[0].title, QString::fromUtf16(WindowCaption));

    run.dialogs.answers.push_back(editor);
    QTest::mouseClick(run.find<QPushButton>("Browse2Button"), Qt::LeftButton);
    EXPECT_EQ(edit->text(), editor);
}

// At close, a path the file cannot hold is named while the workspace is
// still there; it keeps the file's old value and the rest is stored.
TEST(SettingsPage, AtCloseAnUnstorableValueIsNamedAndTheRestStored)
{
    AppRun run;
    run.start();
    const QByteArray before = fileBytes(iniOf(run));
    run.find<QLineEdit>("Editor1Edit")->setText(QStringLiteral("/opt/peintré"));
    run.find<QLineEdit>("Label2Edit")->setText(QStringLiteral("GIMP"));
    bool workspaceThere = false;
    run.dialogs.whileShown = [&] { workspaceThere = QDir(run.root + QStringLiteral("Avkon")).exists(); };
    run.form->close();
    ASSERT_EQ(run.dialogs.messages.size(), 1u);
    EXPECT_TRUE(run.dialogs.messages[0].text.startsWith(QStringLiteral("Не сохранено: Editor1.")));
    EXPECT_TRUE(workspaceThere);
    QByteArray expected = before;
    expected.replace("Label2=\xD0\xE5\xE4\xE0\xEA\xF2\xEE\xF0 \xB9" "2", "Label2=GIMP");
    expected += "NCEiD=0\r\nScreenColours=4096\r\n";
    EXPECT_EQ(fileBytes(iniOf(run)), expected);
}

} // namespace
} // namespace kastra

// The ten load and save buttons as a user presses them: messages for a
// missing file, saved files in the program folder, and nothing lost when
// the converter fails.
#include "gui_support.h"

#include "mbm/mbm.h"
#include "workspace/slots.h"

#include <QCursor>
#include <QGuiApplication>
#include <QPushButton>
#include <QTabWidget>

#include <gtest/gtest.h>

namespace kastra {
namespace {

void click(AppRun& run, const char* button)
{
    QTest::mouseClick(run.find<QPushButton>(button), Qt::LeftButton);
}

TEST(ThemeFileButtons, EveryMissingFileHasItsMessage)
{
    AppRun run;
    run.start();
    run.form->show();
    const std::pair<const char*, const char*> cases[] = {
        {"LoadEidPicButton", "EidPic.mbm"},
        {"LoadBackGrButton", "backgroundimage.mbm"},
        {"LoadAvkonButton", "Avkon.mbm"},
        {"LoadAvkonExButton", "AvkonEx.mbm"},
    };
    for (const auto& [button, file] : cases) {
        run.dialogs.messages.clear();
        run.form->stripTimer().stop();
        run.form->state().stripEdited = true;
        click(run, button);
        ASSERT_EQ(run.dialogs.messages.size(), 1u) << button;
        EXPECT_EQ(run.dialogs.messages[0].title, QString::fromUtf16(WindowCaption));
        EXPECT_TRUE(run.dialogs.messages[0].text.startsWith(
            QStringLiteral("Поместите файл %1 в директорию с программой !\n").arg(QString::fromLatin1(file))));
        EXPECT_EQ(run.dialogs.messages[0].icon, MessageIcon::Information);
        EXPECT_TRUE(run.form->stripTimer().isActive()) << button;
        EXPECT_EQ(run.form->state().stripEdited, std::string(button) != "LoadEidPicButton") << button;
    }
    run.find<QTabWidget>("PageTabs")->setCurrentIndex(1);
    run.dialogs.messages.clear();
    run.form->menuPreviewTimer().stop();
    click(run, "LoadMenuFoldersButton");
    ASSERT_EQ(run.dialogs.messages.size(), 1u);
    EXPECT_TRUE(run.dialogs.messages[0].text.startsWith(
        QStringLiteral("Поместите файл menu_folders.mbm в директорию с программой !\n")));
    EXPECT_FALSE(run.form->menuPreviewTimer().isActive());
}

TEST(ThemeFileButtons, SaveAvkonRightAfterStartWritesTheProgramFolderFile)
{
    AppRun run;
    run.start();
    click(run, "SaveAvkonButton");
    EXPECT_TRUE(run.dialogs.messages.empty());
    const QByteArray bytes = fileBytes(run.programFolder + QStringLiteral("Avkon.mbm"));
    auto mbm = mbm::readMbm(ByteSpan(reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size())));
    ASSERT_TRUE(mbm.ok()) << mbm.error();
    EXPECT_EQ(mbm->size(), 508u);
}

// Counts the paints of a widget made while the wait cursor is up.
class PaintsUnderWaitCursor final : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && QGuiApplication::overrideCursor()
            && QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor)
            ++count;
        return false;
    }
    int count = 0;
};

// The load holds the one thread: a part of the window waiting to be
// painted (here all of it, as when it was just uncovered) is painted under
// the wait cursor before the load starts, not only after it.
TEST(ThemeFileButtons, TheWindowRepaintsUnderTheWaitCursorBeforeALoad)
{
    AppRun run;
    ASSERT_TRUE(startShown(run));
    click(run, "SaveAvkonButton");
    ASSERT_TRUE(run.dialogs.messages.empty());
    settle(*run.form);
    PaintsUnderWaitCursor paints;
    run.form->installEventFilter(&paints);
    run.form->update();
    run.find<QPushButton>("LoadAvkonButton")->click();
    EXPECT_TRUE(run.dialogs.messages.empty());
    EXPECT_GT(paints.count, 0);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(ThemeFileButtons, LoadThenSaveMenuFolders)
{
    AppRun run;
    run.start();
    run.find<QTabWidget>("PageTabs")->setCurrentIndex(1);
    click(run, "SaveMenuFoldersButton");
    const QString saved = run.programFolder + QStringLiteral("menu_folders.mbm");
    ASSERT_TRUE(QFile::exists(saved));
    run.form->menuPreviewTimer().stop();
    click(run, "LoadMenuFoldersButton");
    EXPECT_TRUE(run.dialogs.messages.empty());
    EXPECT_TRUE(run.form->menuPreviewTimer().isActive());
    const QByteArray before = fileBytes(saved);
    click(run, "SaveMenuFoldersButton");
    EXPECT_EQ(fileBytes(saved), before);
}

TEST(ThemeFileButtons, AFailingSaveKeepsTheOldFileAndSaysSo)
{
    AppRun run;
    run.start();
    const QString target = run.programFolder + QStringLiteral("AvkonEx.mbm");
    writeFile(target, "old theme file");
    // A slot the converter cannot read.
    writeFile(slotPath(run.root, QStringLiteral("Signal\\002.bmp")), "not a picture");
    click(run, "SaveAvkonExButton");
    EXPECT_EQ(fileBytes(target), QByteArray("old theme file"));
    ASSERT_EQ(run.dialogs.messages.size(), 1u);
    EXPECT_EQ(run.dialogs.messages[0].text, QStringLiteral("Не удалось сохранить файл AvkonEx.mbm."));
    EXPECT_EQ(run.dialogs.messages[0].title, QString::fromUtf16(WindowCaption));
}

TEST(ThemeFileButtons, ADamagedLoadLeavesTheSlotsAsTheyWere)
{
    AppRun run;
    run.start();
    const QString slot = slotPath(run.root, QStringLiteral("Signal\\003.bmp"));
    const QByteArray before = fileBytes(slot);
    ASSERT_FALSE(before.isEmpty());
    QByteArray damaged = fileBytes(run.root + QStringLiteral("AvkonEx.mbm"));
    damaged.truncate(damaged.size() / 2);
    writeFile(run.programFolder + QStringLiteral("AvkonEx.mbm"), damaged);
    click(run, "LoadAvkonExButton");
    EXPECT_EQ(fileBytes(slot), before);
    ASSERT_EQ(run.dialogs.messages.size(), 1u);
    EXPECT_EQ(run.dialogs.messages[0].text,
              QStringLiteral("Не удалось загрузить файл AvkonEx.mbm.\nФайл повреждён или не является файлом картинок MBM."));
}

} // namespace
} // namespace kastra

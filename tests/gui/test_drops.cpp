// Files dropped onto the window, delivered through Qt's drag and drop
// events as a file manager sends them (the file's URL, and its URL as text
// as well), and the two keys.
#include "gui_support.h"

#include "package/build.h"
#include "package_fixture.h"
#include "picture/bitmap.h"
#include "platform/fileops.h"
#include "workspace/payloads.h"
#include "workspace/slots.h"
#include "app/widgets.h"

#include <QDropEvent>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTabWidget>

#include <gtest/gtest.h>

#include <map>

namespace kastra {
namespace {

// Drags the file over the widget with Shift held, which proposes a move,
// and says whether the window takes it; if it does, drops it there and
// lets the load run. The window takes a copy: a move would have the file
// manager delete the file.
bool dropFile(QWidget* on, const QString& path)
{
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path)});
    mime.setText(QUrl::fromLocalFile(path).toString());
    const QPoint at = on->rect().center();
    const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(at, offered, &mime, Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(enter.proposedAction(), Qt::MoveAction);
    QCoreApplication::sendEvent(on, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(QPointF(at), offered, &mime, Qt::LeftButton, Qt::ShiftModifier);
    QCoreApplication::sendEvent(on, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(drop.dropAction(), Qt::CopyAction);
    QCoreApplication::processEvents();
    return true;
}

class WindowDrops : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(startShown(run));
        elsewhere = qpath(run.dir() / "elsewhere") + u'/';
        QDir().mkpath(elsewhere);
    }
    QWidget* page(int index)
    {
        auto* tabs = run.find<QTabWidget>("PageTabs");
        tabs->setCurrentIndex(index);
        return tabs->currentWidget();
    }
    QString slot(const char* name) const { return slotPath(run.root, QString::fromLatin1(name)); }
    AppRun run;
    QString elsewhere;   // neither the program folder nor the workspace
};

TEST(WindowStart, TakesTheFileOnItsCommandLineAsADrop)
{
    // A flat PNG of exactly the desktop's size: every slot pixel is the
    // colour one lower in each channel, as the one-to-one reduction makes it.
    TempDir given;
    QImage png(176, 200, QImage::Format_RGB32);
    png.fill(QColor(10, 200, 30));
    const QString picture = qpath(given.path() / "Phone photo.png");
    ASSERT_TRUE(png.save(picture, "PNG"));
    AppRun run;
    run.start(picture);
    run.form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(run.form.get()));
    const QString top = slotPath(run.root, QStringLiteral("Top1.bmp"));
    ASSERT_TRUE(waitFor([&] { return readBmpOrEmpty(fsPath(top)).getPixel(79, 37) == rgb(9, 199, 29); }))
        << "the picture was not imported";
    settle(*run.form);
    EXPECT_EQ(fromQRgb(run.find<PaintBox>("PreviewBox")->image().pixel(79, 37)) & 0xFFFFFF, rgb(9, 199, 29));
    EXPECT_TRUE(run.dialogs.filters.empty());
    EXPECT_TRUE(run.dialogs.messages.empty());
}

TEST_F(WindowDrops, EachKindLoadsAsItsButtonWould)
{
    // A picture, on the preview.
    const QString picture = elsewhere + QStringLiteral("Drop.BMP");
    ASSERT_TRUE(test::patternPicture(200, 230, 3).writeBmp(fsPath(picture)).ok());
    const QByteArray oldTop = fileBytes(slot("Top1.bmp"));
    ASSERT_TRUE(dropFile(run.find<QWidget>("PreviewBox"), picture));
    settle(*run.form);
    EXPECT_TRUE(run.dialogs.filters.empty());
    EXPECT_NE(fileBytes(slot("Top1.bmp")), oldTop);
    const Bitmap top = readBmpOrEmpty(fsPath(slot("Top1.bmp")));
    ASSERT_EQ(top.width(), 176);
    const QImage& shown = run.find<PaintBox>("PreviewBox")->image();
    for (int y = 30; y < 60; y += 7) {
        for (int x = 10; x < 170; x += 23)
            EXPECT_EQ(fromQRgb(shown.pixel(x, y)) & 0xFFFFFF, top.getPixel(x, y)) << x << "," << y;
    }
    // One step of the history, as the button's import is.
    const QByteArray newTop = fileBytes(slot("Top1.bmp"));
    run.form->undo();
    EXPECT_EQ(fileBytes(slot("Top1.bmp")), oldTop);
    run.form->redo();
    EXPECT_EQ(fileBytes(slot("Top1.bmp")), newTop);

    // Theme files from a folder that is not the program folder, each on its
    // own page: the slots come back from the file.
    struct ThemeDrop {
        const char* workspaceFile;
        const char* droppedAs;
        const char* slotName;
        int page;
    };
    const ThemeDrop themeDrops[] = {
        {"AvkonEx.mbm", "AVKONEX.MBM", "Signal\\003.bmp", 0},
        {"menu_folders.mbm", "Menu_Folders.mbm", "Menu\\004.bmp", 1},
    };
    for (const ThemeDrop& d : themeDrops) {
        SCOPED_TRACE(d.droppedAs);
        const QString dropped = elsewhere + QLatin1String(d.droppedAs);
        ASSERT_TRUE(QFile::copy(run.root + QLatin1String(d.workspaceFile), dropped));
        const QByteArray before = fileBytes(slot(d.slotName));
        ASSERT_TRUE(test::patternPicture(8, 8, 1).writeBmp(fsPath(slot(d.slotName))).ok());
        ASSERT_TRUE(dropFile(page(d.page), dropped));
        EXPECT_EQ(fileBytes(slot(d.slotName)), before);
        EXPECT_FALSE(QFile::exists(run.programFolder + QLatin1String(d.droppedAs)));
    }

    // Dragged text still lands in the theme name field; a font dropped
    // there goes past it: the field keeps its text, the font is loaded and
    // the label says so.
    page(2);
    auto* name = run.find<QLineEdit>("ThemeNameEdit");
    QMimeData text;
    text.setText(QStringLiteral("Закат"));
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(name, &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(name, &drop);
    EXPECT_EQ(name->text(), QStringLiteral("Закат"));
    const auto font = payloadBytes(Payload::Font, {});
    ASSERT_TRUE(font);
    writeFile(elsewhere + QStringLiteral("Mine.GDR"), *font);
    ASSERT_TRUE(dropFile(name, elsewhere + QStringLiteral("Mine.GDR")));
    EXPECT_EQ(name->text(), QStringLiteral("Закат"));
    EXPECT_EQ(run.find<QLabel>("FontStatusLabel")->text(), QStringLiteral("Шрифт загружен"));
    EXPECT_EQ(fileBytes(slot("SIS\\kde.gdr")), *font);

    // A package, on the greeting: the theme built from the picture comes
    // back over a changed banner.
    ASSERT_TRUE(QFile::copy(QStringLiteral(KASTRA_BIN_DIR "/SISTool.exe"), run.programFolder + QStringLiteral("SISTool.exe")));
    BuildInputs in;
    in.themeName = QStringLiteral("Drop");
    in.fileName = QStringLiteral("dropped");
    in.deliveryFolder = elsewhere;
    ASSERT_TRUE(BuildPackage(Workspace{run.root, run.programFolder}, in).outcome.ok);
    const QByteArray built = fileBytes(slot("Top1.bmp"));
    ASSERT_TRUE(test::patternPicture(176, 68, 9).writeBmp(fsPath(slot("Top1.bmp"))).ok());
    auto* memo = run.find<QPlainTextEdit>("GreetingMemo");
    const QString greeting = memo->toPlainText();
    ASSERT_TRUE(dropFile(memo->viewport(), elsewhere + QStringLiteral("dropped.sis")));
    EXPECT_EQ(fileBytes(slot("Top1.bmp")), built);
    EXPECT_EQ(memo->toPlainText(), greeting);
    EXPECT_TRUE(run.dialogs.messages.empty());
    EXPECT_TRUE(run.dialogs.filters.empty());
}

TEST_F(WindowDrops, RefusedDropsSayWhyAndChangeNothing)
{
    writeFile(elsewhere + QStringLiteral("veZozi.aif"), "an application file");
    writeFile(elsewhere + QStringLiteral("theme.sis"), "a package");
    ASSERT_TRUE(test::patternPicture(200, 230, 3).writeBmp(fsPath(elsewhere + QStringLiteral("gone.jpg"))).ok());
    QByteArray damaged = fileBytes(run.root + QStringLiteral("AvkonEx.mbm"));
    damaged.truncate(damaged.size() / 2);
    writeFile(elsewhere + QStringLiteral("AvkonEx.mbm"), damaged);
    struct Case {
        const char* file;
        bool dragTaken;   // the cursor says it would be taken
        bool goneAtDrop;  // removed between the drag and the drop
        const char* says;
    };
    const Case cases[] = {
        {"veZozi.aif", false, false, "«Загр. veZozi»"},
        // Without SISTool.exe, as the disabled "Загр. тему".
        {"theme.sis", false, false, "Поместите файл SISTool.exe в директорию с программой"},
        {"gone.jpg", true, true, "не найден"},
        // Taken, and refused by the load's own checks before anything is
        // unpacked.
        {"AvkonEx.mbm", true, false, "Не удалось загрузить файл AvkonEx.mbm."},
    };
    const QMap<QString, QByteArray> before = workspaceFiles(run.root);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const QString path = elsewhere + QLatin1String(c.file);
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(path)});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(run.form.get(), &enter);
        EXPECT_EQ(enter.isAccepted(), c.dragTaken);
        if (c.goneAtDrop)
            QFile::remove(path);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        if (c.dragTaken)
            QCoreApplication::sendEvent(run.form.get(), &drop);
        else   // Qt drops only where a drag was taken: straight to the window
            static_cast<QObject*>(run.form.get())->event(&drop);
        QCoreApplication::processEvents();
        ASSERT_EQ(run.dialogs.messages.size(), 1u);
        EXPECT_EQ(run.dialogs.messages[0].title, QString::fromUtf16(WindowCaption));
        EXPECT_TRUE(run.dialogs.messages[0].text.contains(QString::fromUtf8(c.says)))
            << run.dialogs.messages[0].text.toStdString();
        run.dialogs.messages.clear();
    }
    EXPECT_TRUE(run.dialogs.filters.empty());
    EXPECT_EQ(workspaceFiles(run.root), before);
}

TEST_F(WindowDrops, CtrlOImportsAPictureAndCtrlQCloses)
{
    run.form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(run.form.get()));
    // From a text field too.
    page(2);
    run.find<QLineEdit>("ThemeFileEdit")->setFocus();
    QTest::keyClick(run.form.get(), Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(run.dialogs.filters.size(), 1u);
    EXPECT_EQ(run.dialogs.filters[0], QStringLiteral("Pictures (*.bmp,*.jpg,*.jpeg,*.png)|*.bmp;*.jpg;*.jpeg;*.png"));
    EXPECT_TRUE(run.find<QLineEdit>("ThemeFileEdit")->text().isEmpty());

    QTest::keyClick(run.form.get(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(run.form->isVisible());
    // The close box's path: the workspace is gone and the settings saved.
    EXPECT_FALSE(QDir(run.root).exists());
    EXPECT_TRUE(QFile::exists(run.programFolder + QStringLiteral("Settings.ini")));
}

} // namespace
} // namespace kastra

// The handset view as a person uses it: switched on from the picture menu
// and off with Ctrl+H, the desktop then the very picture the command line's
// --as-handset draws; a slot smoothed for the screen and taken back with
// Ctrl+Z; a snapshot saved from the menu.

#include "converter/theme_files.h"
#include "gui_support.h"
#include "picture/screen_colours.h"
#include "platform/fileops.h"
#include "app/widgets.h"
#include "tool_runner.h"
#include "workspace/slots.h"

#include <QMenu>

#include <gtest/gtest.h>

namespace kastra {
namespace {

namespace fs = std::filesystem;

class HandsetView : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(startShown(run));
        // The animation would move the signal picture between the looks.
        run.form->signalTimer().stop();
    }
    QString slot(const QString& name) const { return slotPath(run.root, name); }
    void put(const QString& name, int w, int h, const std::function<Colour(int, int)>& f)
    {
        Bitmap b(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                b.setPixel(x, y, f(x, y));
        ASSERT_TRUE(b.writeBmp(fsPath(slot(name))));
    }
    // Opens the picture menu on a view and returns it.
    QMenu* menuOn(const char* view, QPoint at)
    {
        QTest::mouseClick(run.find<PaintBox>(view), Qt::RightButton, {}, at);
        QMenu* menu = run.form->editorMenu();
        EXPECT_TRUE(waitFor([&] { return menu->isVisible(); }));
        return menu;
    }
    void click(QMenu* menu, QAction* item)
    {
        ASSERT_TRUE(item->isVisible() && item->isEnabled());
        const QRect at = menu->actionGeometry(item);
        ASSERT_TRUE(at.isValid() && menu->rect().contains(at));
        QTest::mouseClick(menu, Qt::LeftButton, {}, at.center());
        EXPECT_TRUE(waitFor([&] { return !menu->isVisible(); }));
    }
    QImage desktop() const { return run.form->view(PreviewView::Preview)->surface().image(); }

    AppRun run;
};

TEST_F(HandsetView, DesktopIsTheCommandLinesHandsetPicture)
{
    // A gradient background (175 wide: strips at the bottom, as the window's
    // settings have them), a 24-bit picture in the 4-bit and the 12-bit
    // signal slots and the 12-bit status picture.
    put(QStringLiteral("Back.bmp"), 175, 132, [](int x, int y) { return rgb(x * 255 / 174, 40 + y, 200 - y); });
    put(slotName(SlotFolder::Signal, 0), 32, 12, [](int x, int y) { return x < 2 ? rgb(255, 0, 255) : rgb(x * 8, y * 20, 90); });
    for (int s = 1; s <= 5; ++s)
        put(slotName(SlotFolder::Signal, s), 32, 12, [s](int x, int y) { return rgb(x * 7 + s, 250 - y * 9, s * 40 + 3); });
    put(slotName(SlotFolder::Avkon, 445), 44, 12, [](int x, int y) { return rgb(x * 5 + 1, y * 13 + 2, 77); });
    QTest::qWait(400);
    settle(*run.form);
    run.form->state().animationStep = 0;
    run.form->requestPreview();
    settle(*run.form);
    const QImage before = desktop();

    // The theme files of the workspace, drawn by the command line.
    const fs::path theme = run.dir() / "theme";
    fs::create_directories(theme);
    for (const ThemeFile f : {ThemeFile::EidPic, ThemeFile::Background, ThemeFile::Avkon, ThemeFile::AvkonEx,
                              ThemeFile::MenuFolders})
        ASSERT_TRUE(SaveThemeFileInto(run.form->workspace(), f, QString::fromStdString(theme.string())).ok);
    const test::ToolRun r = test::runTool("kastra-theme", run.dir(), "preview theme --as-handset --screen-colours 4096 --out h.png");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const QImage handset = QImage(QString::fromStdString((run.dir() / "h.png").string())).convertToFormat(QImage::Format_RGB32);

    QMenu* menu = menuOn("PreviewBox", QPoint(88, 150));
    click(menu, run.find<QAction>("HandsetViewItem"));
    ASSERT_TRUE(run.form->handsetView());
    EXPECT_TRUE(run.form->windowTitle().contains(QStringLiteral("экран телефона")));
    const QImage shown = desktop();
    EXPECT_TRUE(shown == handset);
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x) {
            const QRgb c = shown.pixel(x, y);
            ASSERT_TRUE(qRed(c) % 17 == 0 && qGreen(c) % 17 == 0 && qBlue(c) % 17 == 0) << x << ' ' << y;
        }

    QTest::keyClick(run.form.get(), Qt::Key_H, Qt::ControlModifier);
    EXPECT_FALSE(run.form->handsetView());
    EXPECT_FALSE(run.form->windowTitle().contains(QStringLiteral("экран телефона")));
    EXPECT_TRUE(desktop() == before);
}

TEST_F(HandsetView, SmoothingIsOneStepOfScreenColours)
{
    put(QStringLiteral("Back.bmp"), 175, 132, [](int x, int y) { return rgb(x * 255 / 174, 30 + y / 2, 140); });
    QTest::qWait(400);
    settle(*run.form);
    const QString back = slot(QStringLiteral("Back.bmp"));
    const QByteArray original = fileBytes(back);

    QMenu* menu = menuOn("PreviewBox", QPoint(88, 150));
    QAction* smooth = run.find<QAction>("SmoothItem");
    ASSERT_TRUE(smooth->isEnabled());
    smooth->trigger();
    menu->hide();
    run.form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(run.form.get()));
    settle(*run.form);
    Bitmap smoothed = readBmpOrEmpty(fsPath(back));
    Bitmap expected = [&] {
        Bitmap b;
        EXPECT_TRUE(b.loadBmp(byteSpan(original)).ok());
        diffuseToScreen(b, ScreenColours::Colours4096);
        return b;
    }();
    EXPECT_EQ(smoothed.encodeBmp(), expected.encodeBmp());

    QTest::keyClick(run.form.get(), Qt::Key_Z, Qt::ControlModifier);
    settle(*run.form);
    EXPECT_EQ(fileBytes(back), original);

    // Not for a mask.
    menuOn("NoSignalBox", QPoint(5, 5));
    EXPECT_FALSE(smooth->isEnabled());
    menu->hide();
}

TEST_F(HandsetView, SnapshotFromTheMenuHoldsTheDesktop)
{
    const QString png = run.programFolder + QStringLiteral("shot");
    run.dialogs.answers.push_back(png);
    QMenu* menu = menuOn("PreviewBox", QPoint(88, 150));
    auto* snapshots = run.find<QMenu>("SnapshotMenu");
    ASSERT_NE(snapshots, nullptr);
    snapshots->actions().at(1)->trigger();   // 2:1
    menu->hide();
    ASSERT_TRUE(run.dialogs.messages.empty());
    const QImage saved = QImage(png + QStringLiteral(".png")).convertToFormat(QImage::Format_RGB32);
    const QImage shown = desktop();
    ASSERT_GE(saved.width(), 2 * shown.width());
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            ASSERT_EQ(saved.pixel(2 * x + 1, 2 * y + 1), shown.pixel(x, y)) << x << ' ' << y;
}

} // namespace
} // namespace kastra

// The window on a high-density screen (device pixel ratio 2, set before the
// application exists): exactly twice the size in device pixels, every
// control seen whole, and the previews pixel-doubled, never smoothed.
#include "gui_support.h"
#include "window_checks.h"

#include "app/widgets.h"
#include "preview/fonts.h"
#include "preview/hit_test.h"

#include <QApplication>
#include <QMenu>
#include <QMouseEvent>

#include <gtest/gtest.h>

namespace kastra {
namespace {

TEST(HighDensity, TheWindowIsDoubledAndThePreviewsPixelDoubled)
{
    AppRun run;
    MainForm& form = run.start();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    ASSERT_EQ(form.devicePixelRatio(), 2.0);
    ASSERT_TRUE(waitFor([&] { return !form.previewTimer().isActive() && !form.stripTimer().isActive(); }));

    const QImage shot = form.grab().toImage();
    EXPECT_EQ(shot.size(), QSize(2 * 529, 2 * 271));
    // Each surface pixel of the desktop preview and of the thumbnails is a
    // 2 x 2 block of that very colour.
    for (const char* name : {"PreviewBox", "DesktopStripBox", "SignalStripBox", "Avkon445Box"}) {
        SCOPED_TRACE(name);
        auto* box = run.find<PaintBox>(name);
        const QPoint at = box->mapTo(&form, QPoint(0, 0));
        const QImage& surface = box->image();
        int differing = 0;
        for (int y = 0; y < surface.height(); ++y) {
            for (int x = 0; x < surface.width(); ++x) {
                const QRgb want = surface.pixel(x, y) & 0xFFFFFF;
                for (int d = 0; d < 4; ++d) {
                    const QRgb got = shot.pixel(2 * (at.x() + x) + d % 2, 2 * (at.y() + y) + d / 2) & 0xFFFFFF;
                    differing += got != want ? 1 : 0;
                }
            }
        }
        EXPECT_EQ(differing, 0);
    }
    test::expectEveryPageAsLaidOut(form);
}

// Each logical row of the preview is two device rows; a press on either
// picks the slot of that row, also on both sides of the bands' edges (the
// strip ends after row 11, the banner after row 68).
TEST(HighDensity, BothDeviceRowsOfARowPickTheSameSlot)
{
    AppRun run;
    MainForm& form = run.start();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    auto* box = run.find<PaintBox>("PreviewBox");
    QString picked;
    QObject::connect(box, &PaintBox::pressed, box, [&](Qt::MouseButton, QPoint p) {
        picked = SlotUnder(PreviewView::Preview, p.x(), p.y(), u'1');
    });
    const struct {
        double y;
        const char* slot;
    } rows[] = {
        {11.0, "Temp1.bmp"}, {11.5, "Temp1.bmp"}, {12.0, "Top1.bmp"}, {12.5, "Top1.bmp"},
        {68.0, "Top1.bmp"},  {68.5, "Top1.bmp"},  {69.0, "Back.bmp"}, {69.5, "Back.bmp"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.y);
        const QPointF at(40.5, row.y);
        QMouseEvent press(QEvent::MouseButtonPress, at, box->mapToGlobal(at), Qt::RightButton, Qt::RightButton,
                          Qt::NoModifier);
        QApplication::sendEvent(box, &press);
        form.editorMenu()->hide();
        EXPECT_EQ(picked, QString::fromLatin1(row.slot));
    }
}

} // namespace
} // namespace kastra

int main(int argc, char** argv)
{
    // Read when the application object is made, not after.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    QApplication::setStyle(new kastra::KastraStyle);
    kastra::InstallFontSubstitutes();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

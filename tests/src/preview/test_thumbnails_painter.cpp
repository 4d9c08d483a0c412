// The slot thumbnails of the pictures page and the desktop top strip they
// derive from the banner.
#include "preview/desktop_painter.h"
#include "preview_fixture.h"
#include "preview/surface.h"
#include "preview/thumbnails_painter.h"

#include <gtest/gtest.h>

using namespace kastra;
using namespace kastra::test;

namespace {

constexpr Colour Face = rgb(212, 208, 200);

struct Views {
    Surface desktopStrip{176, 12, Face};
    Surface bootStrip{176, 12, Face};
    Surface noSignal{32, 12, Face};
    Surface signalStrip{192, 12, Face};
    Surface avkon445{44, 12, Face};
    Surface preview{176, 220, Face};
    ThumbnailSurfaces surfaces() { return {desktopStrip, bootStrip, noSignal, signalStrip, avkon445}; }
};

QImage expectedOf(const Bitmap& b, int w, int h)
{
    QImage img = blank(w, h, Face);
    blit(img, b, 0, 0);
    return img;
}

// The top 12 rows of a 24-bit banner as the strip file holds them.
Bytes stripBytesOf(const Bitmap& banner)
{
    return bmp24(banner.width(), 12, [&](int x, int y) { return banner.getPixel(x, y); });
}

TEST(ThumbnailsPainter, DrawsEverySlotAtItsOwnSize)
{
    PreviewWorkspace w;
    w.fill();
    w.state.scheme = u'2';
    Views v;
    bool bannerExists = false;
    const QStringList written =
        w.writtenBy([&] { bannerExists = PaintThumbnails(w.state, w.ws, v.surfaces(), v.preview); });
    EXPECT_TRUE(bannerExists);
    EXPECT_EQ(written, QStringList{w.full(tempSlot(u'2'))});

    EXPECT_TRUE(samePixels(v.desktopStrip.image(), expectedOf(w.read(topSlot(u'2')), 176, 12)));
    EXPECT_TRUE(samePixels(v.bootStrip.image(), expectedOf(w.read(QStringLiteral("SplashTop.bmp")), 176, 12)));
    EXPECT_TRUE(samePixels(v.noSignal.image(), expectedOf(w.read(slotName(SlotFolder::Signal, 6)), 32, 12)));
    EXPECT_TRUE(samePixels(v.avkon445.image(), expectedOf(w.read(slotName(SlotFolder::Avkon, 445)), 44, 12)));
    QImage signalRow = blank(192, 12, Face);
    for (int s = 0; s <= 5; ++s)
        blit(signalRow, w.read(slotName(SlotFolder::Signal, s)), 32 * s, 0);
    EXPECT_TRUE(samePixels(v.signalStrip.image(), signalRow));
    QImage preview = blank(176, 220, Face);
    blitKeyed(preview, w.read(slotName(SlotFolder::Avkon, 445)), 132, 0);
    EXPECT_TRUE(samePixels(v.preview.image(), preview));

    EXPECT_EQ(readBytes(w.file(tempSlot(u'2'))), stripBytesOf(w.read(topSlot(u'2'))));
    EXPECT_FALSE(w.exists(tempSlot(u'1')));
}

TEST(ThumbnailsPainter, EditedStripIsShownAndKept)
{
    PreviewWorkspace w;
    w.fill();
    const Bitmap edited = drawn(176, 12, [](int x, int y) { return rgb(x, 200, y); });
    w.write(tempSlot(u'1'), edited);
    const Bytes before = readBytes(w.file(tempSlot(u'1')));
    w.state.stripEdited = true;
    Views v;
    EXPECT_TRUE(w.writtenBy([&] { PaintThumbnails(w.state, w.ws, v.surfaces(), v.preview); }).isEmpty());
    EXPECT_EQ(readBytes(w.file(tempSlot(u'1'))), before);
    EXPECT_TRUE(samePixels(v.desktopStrip.image(), expectedOf(edited, 176, 12)));

    // Once the flag is cleared the strip follows the banner again.
    w.state.stripEdited = false;
    PaintThumbnails(w.state, w.ws, v.surfaces(), v.preview);
    EXPECT_EQ(readBytes(w.file(tempSlot(u'1'))), stripBytesOf(w.read(topSlot(u'1'))));
}

TEST(ThumbnailsPainter, StripKeepsAPalettedBannersDepth)
{
    PreviewWorkspace w;
    w.write(topSlot(u'1'), drawn(176, 68, [](int x, int y) { return (x + y) % 2 ? rgb(255, 255, 255) : 0; }, 1));
    Views v;
    PaintThumbnails(w.state, w.ws, v.surfaces(), v.preview);
    const Bitmap strip = w.read(tempSlot(u'1'));
    EXPECT_EQ(strip.depth(), 1);
    EXPECT_EQ(strip.width(), 176);
    EXPECT_EQ(strip.height(), 12);
    EXPECT_TRUE(samePixels(v.desktopStrip.image(), expectedOf(w.read(topSlot(u'1')), 176, 12)));
}

TEST(ThumbnailsPainter, MissingBannerKeepsTheTimerGoingAndWritesNothing)
{
    PreviewWorkspace w;
    Views v;
    bool bannerExists = true;
    EXPECT_TRUE(
        w.writtenBy([&] { bannerExists = PaintThumbnails(w.state, w.ws, v.surfaces(), v.preview); }).isEmpty());
    EXPECT_FALSE(bannerExists);
    EXPECT_FALSE(w.exists(tempSlot(u'1')));
    for (Surface* s : {&v.desktopStrip, &v.bootStrip, &v.noSignal, &v.signalStrip, &v.avkon445, &v.preview})
        EXPECT_TRUE(samePixels(s->image(), blank(s->width(), s->height(), Face)));
}

} // namespace

// The desktop preview, composed independently from the slot files and
// compared pixel for pixel; and the surface operations it draws with.
#include "preview/desktop_painter.h"
#include "preview/fonts.h"
#include "preview/hit_test.h"
#include "workspace/payloads.h"
#include "preview_fixture.h"
#include "preview/surface.h"

#include <QFontMetrics>
#include <QPainter>

#include <gtest/gtest.h>

using namespace kastra;
using namespace kastra::test;

namespace {

constexpr Colour Grey = rgb(90, 90, 90);
constexpr Colour White = rgb(255, 255, 255);

// ---------------------------------------------------------------------------
// Surface operations

TEST(Surface, LinesLeaveOutTheirEndPoint)
{
    struct Case {
        int x0, y0, x1, y1;
        std::vector<QPoint> drawn;
    };
    const Case cases[] = {
        {0, 0, 0, 3, {{0, 0}, {0, 1}, {0, 2}}},
        {1, 2, 4, 2, {{1, 2}, {2, 2}, {3, 2}}},
        {3, 3, 0, 0, {{3, 3}, {2, 2}, {1, 1}}},
        {2, 2, 2, 2, {}},
        {-2, 1, 2, 1, {{0, 1}, {1, 1}}},   // clipped at the left edge
    };
    for (const Case& c : cases) {
        Surface s(5, 5, Grey);
        s.setPen(White);
        s.line(c.x0, c.y0, c.x1, c.y1);
        QImage expected = blank(5, 5, Grey);
        for (QPoint p : c.drawn)
            put(expected, p.x(), p.y(), White);
        EXPECT_TRUE(samePixels(s.image(), expected)) << c.x0 << "," << c.y0 << " -> " << c.x1 << "," << c.y1;
    }
}

TEST(Surface, RectangleHasPenOutlineAndBrushInside)
{
    Surface s(6, 6, Grey);
    s.setPen(rgb(1, 2, 3));
    s.setBrush(rgb(9, 8, 7));
    s.rectangle({1, 1, 5, 4});   // right and bottom exclusive
    QImage expected = blank(6, 6, Grey);
    for (int y = 1; y < 4; ++y)
        for (int x = 1; x < 5; ++x)
            put(expected, x, y, (x == 1 || x == 4 || y == 1 || y == 3) ? rgb(1, 2, 3) : rgb(9, 8, 7));
    EXPECT_TRUE(samePixels(s.image(), expected));
}

TEST(Surface, TextCellTakesTheBrush)
{
    Surface s(60, 20, Grey);
    s.setBrush(rgb(32, 191, 68));
    const QFont font = PreviewFont();
    s.text(2, 3, QStringLiteral("MP3"), font);
    const QFontMetrics m(font);
    // Left of the cell and below it the surface is untouched; the cell's
    // corner shows the brush (no glyph reaches it).
    EXPECT_EQ(s.pixel(1, 5), Grey);
    EXPECT_EQ(s.pixel(2, 3), rgb(32, 191, 68));
    EXPECT_EQ(s.pixel(2, 3 + m.height()), Grey);
    bool dark = false;
    for (int y = 3; y < 3 + m.height(); ++y)
        for (int x = 2; x < 2 + m.horizontalAdvance(QStringLiteral("MP3")); ++x)
            dark |= qGray(s.image().pixel(x, y)) < 60;
    EXPECT_TRUE(dark) << "no glyph drawn";
}

// ---------------------------------------------------------------------------
// The desktop, composed the long way

QString sig(int s) { return slotName(SlotFolder::Signal, s); }

// The soft-key bar of each scheme, as the handset paints it.
Colour barColour(QChar scheme)
{
    switch (scheme.unicode()) {
    case u'2': return rgb(32, 191, 68);
    case u'3': return rgb(145, 146, 191);
    case u'4': return rgb(123, 121, 132);
    default: return rgb(172, 162, 191);
    }
}

void drawCaption(QImage& img, int x, int y, const QString& text, Colour background)
{
    QPainter p(&img);
    const QFont font = PreviewFont();
    p.setFont(font);
    p.setPen(QColor(Qt::black));
    p.setBackgroundMode(Qt::OpaqueMode);
    p.setBackground(QColor(q(background)));
    p.drawText(x, y + QFontMetrics(font).ascent(), text);
}

QImage expectedDesktop(const PreviewWorkspace& w, QChar scheme, bool stripBottom, int step, QImage img)
{
    const Bitmap banner = w.read(topSlot(scheme));
    blit(img, banner, 0, 0);
    blitKeyed(img, w.read(slotName(SlotFolder::Avkon, 445)), 132, 0);
    if (w.exists(QStringLiteral("Back.bmp"))) {
        const Colour bar = barColour(scheme);
        for (int y = 200; y < 220; ++y)
            for (int x = 0; x < 176; ++x)
                put(img, x, y, bar);
        drawCaption(img, 2, 200, QStringLiteral("Нов. сбщ"), bar);
        drawCaption(img, 108, 200, QStringLiteral("MP3 Play"), bar);
        const Bitmap back = w.read(QStringLiteral("Back.bmp"));
        if (stripBottom) {
            for (int y = 69; y < 200; ++y)
                put(img, 0, y, White);
            blit(img, back, 1, 69);
        } else {
            // Columns 1 ... 175 spread over 176 by nearest neighbour (the
            // first one doubled), of which 175 are shown.
            for (int y = 0; y < back.height(); ++y)
                for (int x = 0; x < 175; ++x) {
                    const int sx = 1 + x * 175 / 176;
                    const Colour c = back.getPixel(sx, y);
                    if (c != NoColour)
                        put(img, x, 69 + y, c);
                }
            for (int y = 69; y < 200; ++y)
                put(img, 174, y, White);
        }
        for (int y = 69; y < 200; ++y)
            put(img, 175, y, White);
    }
    const Bitmap signal = w.read(sig(step));
    if (step == 0)
        blitMasked(img, signal, w.read(sig(6)), 1, 0);
    else
        blitKeyed(img, signal, 1, 0);
    if (!banner.empty())
        for (int x = 0; x < 176; ++x)
            put(img, x, 68, rgb(64, 63, 86));
    return img;
}

struct DesktopCase {
    QChar scheme;
    bool stripBottom;
    int step;
};

class DesktopPainter : public ::testing::TestWithParam<DesktopCase> {};

TEST_P(DesktopPainter, MatchesTheComposedScreen)
{
    const DesktopCase c = GetParam();
    PreviewWorkspace w;
    w.fill();
    w.state.scheme = c.scheme;
    w.state.animationStep = static_cast<std::uint8_t>(c.step);
    Surface preview(176, 220, Grey);
    const QStringList written = w.writtenBy([&] { PaintDesktop(w.state, w.ws, c.stripBottom, preview); });
    EXPECT_TRUE(written.isEmpty());
    EXPECT_TRUE(samePixels(preview.image(), expectedDesktop(w, c.scheme, c.stripBottom, c.step, blank(176, 220, Grey))));
}

std::vector<DesktopCase> desktopCases()
{
    std::vector<DesktopCase> cases;
    for (QChar n : {u'1', u'2', u'3', u'4'})
        for (bool bottom : {true, false})
            cases.push_back({n, bottom, 0});
    for (int step = 1; step <= 8; ++step)
        cases.push_back({u'2', step % 2 == 0, step});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(SchemesStripsAndSteps, DesktopPainter, ::testing::ValuesIn(desktopCases()));

TEST(DesktopPainterFiles, NarrowBackgroundInEitherStripMode)
{
    // A background imported with the bottom strips is 175 columns wide.
    for (bool bottom : {true, false}) {
        PreviewWorkspace w;
        w.fill();
        w.write(QStringLiteral("Back.bmp"), drawn(175, 132, [](int x, int y) { return rgb(x, 255 - y, 9); }));
        Surface preview(176, 220, Grey);
        PaintDesktop(w.state, w.ws, bottom, preview);
        EXPECT_TRUE(samePixels(preview.image(), expectedDesktop(w, u'1', bottom, 0, blank(176, 220, Grey))))
            << "bottom strips " << bottom;
    }
}

TEST(DesktopPainterFiles, MissingBackgroundSkipsBarStripsAndBackground)
{
    PreviewWorkspace w;
    w.fill();
    w.remove(QStringLiteral("Back.bmp"));
    Surface preview(176, 220, Grey);
    PaintDesktop(w.state, w.ws, true, preview);
    const QImage expected = expectedDesktop(w, u'1', true, 0, blank(176, 220, Grey));
    EXPECT_TRUE(samePixels(preview.image(), expected));
    EXPECT_EQ(preview.pixel(100, 210), Grey);   // no soft-key bar
}

TEST(DesktopPainterFiles, MissingBannerIsRestoredFromTheDefault)
{
    PreviewWorkspace w;
    w.fill();
    w.state.scheme = u'3';
    w.remove(topSlot(u'3'));
    std::filesystem::remove_all(w.dir.path() / "WorkDir" / "SIS");
    Surface preview(176, 220, Grey);
    const QStringList written = w.writtenBy([&] { PaintDesktop(w.state, w.ws, true, preview); });
    EXPECT_EQ(written, QStringList{w.full(topSlot(u'3'))});
    const auto payload = payloadBytes(Payload::NoImage, QString());
    ASSERT_TRUE(payload.has_value());
    const Bytes onDisk = readBytes(w.file(topSlot(u'3')));
    EXPECT_EQ(onDisk, Bytes(payload->begin(), payload->end()));
    EXPECT_TRUE(std::filesystem::is_directory(w.dir.path() / "WorkDir" / "SIS"));
    EXPECT_TRUE(samePixels(preview.image(), expectedDesktop(w, u'3', true, 0, blank(176, 220, Grey))));
    // Other schemes' banners are not touched.
    for (QChar n : {u'1', u'2', u'4'})
        EXPECT_NE(readBytes(w.file(topSlot(n))), onDisk);
}

TEST(DesktopPainterFiles, MissingSlotsLeaveTheSurfaceAsItWas)
{
    PreviewWorkspace w;   // an empty workspace but for the restored banner
    Surface preview(176, 220, Grey);
    PaintDesktop(w.state, w.ws, true, preview);
    QImage expected = blank(176, 220, Grey);
    blit(expected, w.read(topSlot(u'1')), 0, 0);
    for (int x = 0; x < 176; ++x)
        put(expected, x, 68, rgb(64, 63, 86));
    EXPECT_TRUE(samePixels(preview.image(), expected));
}

TEST(DesktopHitTest, RowsPickTheStripTheBannerAndTheBackground)
{
    // The banner is drawn from row 0 with the strip over its top 12 rows and
    // the background from row 69: the edges of the three bands.
    struct Case {
        int y;
        const char* slot;
        bool setsStripEdited;
    };
    const Case cases[] = {
        {0, "Temp3.bmp", true},
        {11, "Temp3.bmp", true},
        {12, "Top3.bmp", false},
        {68, "Top3.bmp", false},
        {69, "Back.bmp", false},
        {219, "Back.bmp", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SlotUnder(PreviewView::Preview, 100, c.y, u'3'), QString::fromLatin1(c.slot)) << c.y;
        const PressRules rules = PressRulesFor(PreviewView::Preview, c.y);
        EXPECT_EQ(rules.setsStripEdited, c.setsStripEdited) << c.y;
        EXPECT_TRUE(rules.testsExistence) << c.y;
    }
}

} // namespace

// The icons page: icons through masks derived at every repaint, the mask
// slots they leave behind, and which slot a press picks.
#include "preview/hit_test.h"
#include "preview/menu_painter.h"
#include "preview/snapshot.h"
#include "preview_fixture.h"
#include "preview/surface.h"

#include <gtest/gtest.h>

using namespace kastra;
using namespace kastra::test;

namespace {

// The folder rows sit in a group of the button face, the standard folder
// icons on the page's blue: each view is erased to its own.
constexpr Colour Face = rgb(212, 208, 200);
constexpr Colour Page = IconsPageBackground;

// The icons page's surfaces, as the window and the snapshot make them.
using Views = MenuSurfaceSet;

// The icons of one view: (slot folder, index, x).
struct Placed {
    SlotFolder folder;
    int index;
    int x;
};

QImage expectedView(const PreviewWorkspace& w, int width, int height, Colour back, const std::vector<Placed>& icons)
{
    QImage img = blank(width, height, back);
    for (const Placed& p : icons) {
        const Bitmap icon = w.read(slotName(p.folder, p.index));
        const Colour key = icon.getPixel(0, 0);
        for (int y = 0; y < icon.height(); ++y)
            for (int x = 0; x < icon.width(); ++x)
                if (icon.getPixel(x, y) != key)
                    put(img, p.x + x, y, icon.getPixel(x, y));
    }
    return img;
}

std::vector<Placed> row(int first, int spacing)
{
    std::vector<Placed> r;
    for (int k = 0; k < 6; ++k)
        r.push_back({SlotFolder::Menu, first + 4 * k, spacing * k});
    return r;
}

// A 1-bit mask: white where the icon has its corner colour.
void expectMaskOf(const PreviewWorkspace& w, SlotFolder folder, int index)
{
    const Bitmap icon = w.read(slotName(folder, index));
    const Bitmap mask = w.read(slotName(folder, index + 1));
    ASSERT_EQ(mask.depth(), 1) << index;
    ASSERT_EQ(mask.width(), icon.width());
    ASSERT_EQ(mask.height(), icon.height());
    const Colour key = icon.getPixel(0, 0);
    for (int y = 0; y < icon.height(); ++y)
        for (int x = 0; x < icon.width(); ++x)
            ASSERT_EQ(mask.getPixel(x, y), icon.getPixel(x, y) == key ? rgb(255, 255, 255) : rgb(0, 0, 0))
                << index << " at " << x << "," << y;
}

void expectAllViews(const PreviewWorkspace& w, Views& v)
{
    EXPECT_TRUE(samePixels(v.smallFolders.image(), expectedView(w, 252, 29, Face, row(0, 42))));
    EXPECT_TRUE(samePixels(v.largeFolders.image(), expectedView(w, 264, 44, Face, row(2, 44))));
    EXPECT_TRUE(samePixels(v.avkon136.image(), expectedView(w, 42, 29, Page, {{SlotFolder::Avkon, 136, 0}})));
    EXPECT_TRUE(samePixels(v.avkon138.image(), expectedView(w, 44, 44, Page, {{SlotFolder::Avkon, 138, 0}})));
    EXPECT_TRUE(samePixels(v.avkon202.image(), expectedView(w, 30, 40, Page, {{SlotFolder::Avkon, 202, 0}})));
}

TEST(MenuPainter, IconsThroughTheirMasksOnTheFaceTheySitOn)
{
    PreviewWorkspace w;
    w.fill();
    Views v;
    const QStringList written = w.writtenBy([&] { PaintMenu(w.ws, v.views()); });
    expectAllViews(w, v);

    QStringList masks;
    for (int n = 1; n <= 23; n += 2)
        masks << w.full(slotName(SlotFolder::Menu, n));
    for (int n : {137, 139, 203})
        masks << w.full(slotName(SlotFolder::Avkon, n));
    EXPECT_EQ(written, masks);   // in painting order
    for (int n = 0; n <= 22; n += 2)
        expectMaskOf(w, SlotFolder::Menu, n);
    for (int n : {136, 138, 202})
        expectMaskOf(w, SlotFolder::Avkon, n);
}

TEST(MenuPainter, KeyColourInsideTheIconShowsThePage)
{
    PreviewWorkspace w;
    w.fill();
    Views v;
    PaintMenu(w.ws, v.views());
    // The hole in the middle of Avkon\138 has the corner colour.
    EXPECT_EQ(v.avkon138.pixel(23, 23), Page);
    EXPECT_EQ(w.read(slotName(SlotFolder::Avkon, 139)).getPixel(23, 23), rgb(255, 255, 255));
    EXPECT_NE(v.avkon138.pixel(10, 10), Page);
}

TEST(MenuPainter, MasksFollowAChangedCornerColour)
{
    PreviewWorkspace w;
    w.fill();
    Views v;
    PaintMenu(w.ws, v.views());
    const Bytes before = readBytes(w.file(slotName(SlotFolder::Menu, 7)));

    // The user repaints Menu\006 so its corner takes an inner colour.
    Bitmap icon = w.read(slotName(SlotFolder::Menu, 6));
    const Colour inner = icon.getPixel(10, 10);
    icon.setPixel(0, 0, inner);
    w.write(slotName(SlotFolder::Menu, 6), icon);
    PaintMenu(w.ws, v.views());

    EXPECT_NE(readBytes(w.file(slotName(SlotFolder::Menu, 7))), before);
    expectMaskOf(w, SlotFolder::Menu, 6);
    expectAllViews(w, v);
}

TEST(MenuPainter, StaleIconsDoNotLinger)
{
    PreviewWorkspace w;
    w.fill();
    Views v;
    PaintMenu(w.ws, v.views());
    const Bytes mask = readBytes(w.file(slotName(SlotFolder::Menu, 9)));
    w.remove(slotName(SlotFolder::Menu, 8));
    writeBytes(w.file(slotName(SlotFolder::Menu, 10)), {'B', 'M', 0, 0});   // unreadable
    PaintMenu(w.ws, v.views());
    // The missing and the unreadable icon leave the group's face and their
    // mask slots as they were.
    for (int x = 84; x < 126; ++x)
        EXPECT_EQ(v.smallFolders.pixel(x, 14), Face) << x;
    for (int x = 88; x < 132; ++x)
        EXPECT_EQ(v.largeFolders.pixel(x, 22), Face) << x;
    EXPECT_EQ(readBytes(w.file(slotName(SlotFolder::Menu, 9))), mask);
}

TEST(MenuHitTest, BandsOfTheIconViews)
{
    struct Case {
        PreviewView view;
        int x;
        const char* slot;
    };
    const Case cases[] = {
        {PreviewView::SmallFolders, 0, "Menu\\000.bmp"},
        {PreviewView::SmallFolders, 41, "Menu\\000.bmp"},
        {PreviewView::SmallFolders, 42, "Menu\\004.bmp"},
        {PreviewView::SmallFolders, 209, "Menu\\016.bmp"},
        {PreviewView::SmallFolders, 210, "Menu\\020.bmp"},
        {PreviewView::SmallFolders, 251, "Menu\\020.bmp"},
        {PreviewView::LargeFolders, 0, "Menu\\002.bmp"},
        {PreviewView::LargeFolders, 43, "Menu\\002.bmp"},
        {PreviewView::LargeFolders, 44, "Menu\\006.bmp"},
        {PreviewView::LargeFolders, 220, "Menu\\022.bmp"},
        {PreviewView::LargeFolders, 263, "Menu\\022.bmp"},
        {PreviewView::Avkon136, 30, "Avkon\\136.bmp"},
        {PreviewView::Avkon138, 0, "Avkon\\138.bmp"},
        {PreviewView::Avkon202, 29, "Avkon\\202.bmp"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SlotUnder(c.view, c.x, 5, u'1'), QString::fromLatin1(c.slot)) << c.x;
        EXPECT_TRUE(PressRulesFor(c.view, 5).remembersAlways);
        EXPECT_FALSE(PressRulesFor(c.view, 5).testsExistence);
    }
}

} // namespace

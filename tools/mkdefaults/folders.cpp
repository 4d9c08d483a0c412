#include "mkdefaults/art.h"
#include "mkdefaults/motifs.h"

namespace kastra::art {

namespace {

const Colour kFolderInk = rgb(0x66, 0x44, 0x11);
const Colour kFolderBack = rgb(0xDD, 0x99, 0x22);
const Colour kFolderBackDark = rgb(0xBB, 0x77, 0x11);
const Colour kFolderFrontTop = rgb(0xFF, 0xDD, 0x66);
const Colour kFolderFrontBottom = rgb(0xEE, 0xAA, 0x22);
const Colour kFolderEdgeLight = rgb(0xFF, 0xEE, 0xAA);
const Colour kPaper = rgb(0xEE, 0xEE, 0xEE);
const Colour kPaperShade = rgb(0xBB, 0xCC, 0xDD);

// A closed folder filling [x0, x1) x [y0, y1): the back with its tab, the
// front a little lower, one outline around both.
void drawFolder(Picture& p, double x0, double y0, double x1, double y1)
{
    const double h = y1 - y0;
    const double tabH = h * 0.18;
    Shape back = p.shape();
    back.roundRect(x0, y0 + tabH, x1, y1, 1.5).roundRect(x0, y0, x0 + (x1 - x0) * 0.42, y0 + tabH + 2, 1.5);
    Shape front = p.shape();
    const double fy = y0 + tabH + h * 0.14;
    front.roundRect(x0, fy, x1, y1, 1.5);
    p.paint(back, Paint::vertical(kFolderBack, kFolderBackDark, y0, y1));
    p.paint(front, Paint::vertical(kFolderFrontTop, kFolderFrontBottom, fy, y1));
    // A light top edge on the front and a dark seam above it.
    Shape top = p.shape();
    top.rect(x0 + 1, fy, x1 - 1, fy + 1);
    p.paint(top, Paint::solid(kFolderEdgeLight));
    Shape seam = p.shape();
    seam.rect(x0 + 1, fy - 1, x1 - 1, fy);
    p.paint(seam, Paint::solid(kFolderBackDark));
    Shape all = back;
    all.unite(front);
    p.paint(all.border(false), Paint::solid(kFolderInk));
}

void drawEmblem(Picture& p, Motif m, const Box& b)
{
    drawMotif(p, m, b, naturalTones(m));
}

Motif emblemOf(MenuFolder f)
{
    switch (f) {
    case MenuFolder::Camera: return Motif::Camera;
    case MenuFolder::Organiser: return Motif::Calendar;
    case MenuFolder::Music: return Motif::MusicNote;
    case MenuFolder::Games: return Motif::Gamepad;
    case MenuFolder::Other: return Motif::Box;
    case MenuFolder::Settings: return Motif::Wrench;
    }
    return Motif::Box;
}

} // namespace

Picture standardFolderSmall()
{
    Picture p(42, 29, Transparent);
    drawFolder(p, 5, 3, 37, 26);
    return p;
}

Picture standardFolderLarge()
{
    Picture p(44, 44, Transparent);
    drawFolder(p, 4, 7, 40, 38);
    return p;
}

Picture standardFolderTall()
{
    Picture p(30, 40, Transparent);
    // Two sheets of paper standing out of an open folder.
    Shape back = p.shape();
    back.roundRect(2, 14, 28, 38, 1.5).roundRect(2, 11, 13, 17, 1.5);
    p.paint(back, Paint::vertical(kFolderBack, kFolderBackDark, 11, 38));
    p.paint(back.border(false), Paint::solid(kFolderInk));
    Shape sheet1 = p.shape();
    sheet1.rect(6, 3, 23, 30);
    p.paint(sheet1, Paint::solid(kPaperShade), rgb(0x55, 0x66, 0x77));
    Shape sheet2 = p.shape();
    sheet2.rect(9, 6, 26, 32);
    p.paint(sheet2, Paint::solid(kPaper), rgb(0x55, 0x66, 0x77));
    for (int y = 10; y <= 22; y += 4)
        p.hline(12, 23, y, rgb(0x88, 0x99, 0xAA));
    // The front leans forward: a parallelogram, lighter at the top.
    Shape front = p.shape();
    const Pt pts[] = {{5, 20}, {29, 20}, {26, 39}, {1, 39}};
    front.polygon(pts);
    p.paint(front, Paint::vertical(kFolderFrontTop, kFolderFrontBottom, 20, 39));
    Shape edge = p.shape();
    edge.rect(5, 20, 29, 21);
    p.paint(edge, Paint::solid(kFolderEdgeLight));
    p.paint(front.border(false), Paint::solid(kFolderInk));
    return p;
}

Picture menuFolderIcon(MenuFolder folder, bool large)
{
    if (!large) {
        Picture p(42, 29, Transparent);
        drawFolder(p, 2, 3, 32, 26);
        drawEmblem(p, emblemOf(folder), {20, 7, 20, 20});
        return p;
    }
    Picture p(44, 44, Transparent);
    drawFolder(p, 2, 6, 36, 36);
    drawEmblem(p, emblemOf(folder), {18, 16, 24, 24});
    return p;
}

Picture appIcon(App app, bool large)
{
    const int w = large ? 44 : 42;
    const int h = large ? 44 : 29;
    Picture p(w, h, Transparent);
    // A rounded tile, then the pictogram on it.
    const double side = large ? 38 : 27;
    const double x0 = (w - side) / 2;
    const double y0 = (h - side) / 2;
    Shape tile = p.shape();
    tile.roundRect(x0, y0, x0 + side, y0 + side, side * 0.2);
    if (app == App::Menu) {
        p.paint(tile, Paint::vertical(rgb(0x44, 0x77, 0xCC), rgb(0x22, 0x33, 0x77), y0, y0 + side),
                rgb(0x11, 0x22, 0x44));
        // Nine coloured cells: the application grid.
        const Colour cells[9] = {rgb(0xEE, 0x55, 0x44), rgb(0xFF, 0xCC, 0x33), rgb(0x55, 0xCC, 0x55),
                                 rgb(0x55, 0xAA, 0xEE), rgb(0xEE, 0xEE, 0xDD), rgb(0xCC, 0x77, 0xDD),
                                 rgb(0xFF, 0x99, 0x33), rgb(0x66, 0xDD, 0xCC), rgb(0xDD, 0x55, 0x99)};
        const double cell = side * 0.22;
        const double gap = side * 0.07;
        const double start = x0 + (side - 3 * cell - 2 * gap) / 2;
        const double top = y0 + (side - 3 * cell - 2 * gap) / 2;
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) {
                Shape s = p.shape();
                s.rect(start + c * (cell + gap), top + r * (cell + gap), start + c * (cell + gap) + cell,
                       top + r * (cell + gap) + cell);
                p.paint(s, Paint::solid(cells[r * 3 + c]));
            }
    } else {
        p.paint(tile, Paint::vertical(rgb(0x99, 0x55, 0xCC), rgb(0x44, 0x22, 0x77), y0, y0 + side),
                rgb(0x22, 0x11, 0x44));
        // A painter's palette with a brush: the theme manager.
        const Box b{x0 + side * 0.1, y0 + side * 0.12, side * 0.8, side * 0.76};
        Shape pal = p.shape();
        pal.ellipse(b.X(0.45), b.Y(0.55), b.w * 0.45, b.h * 0.4)
            .ellipse(b.X(0.62), b.Y(0.75), b.S(0.1), b.S(0.1), false);
        p.paint(pal, Paint::solid(rgb(0xEE, 0xDD, 0xBB)), rgb(0x33, 0x22, 0x11));
        const Colour blobs[4] = {rgb(0xEE, 0x33, 0x33), rgb(0xFF, 0xCC, 0x00), rgb(0x33, 0xAA, 0x44),
                                 rgb(0x33, 0x66, 0xEE)};
        const Pt at[4] = {{0.22, 0.5}, {0.38, 0.34}, {0.58, 0.36}, {0.72, 0.52}};
        for (int i = 0; i < 4; ++i) {
            Shape s = p.shape();
            s.ellipse(b.X(at[i].x), b.Y(at[i].y), b.S(0.08) + 0.6, b.S(0.08) + 0.6);
            p.paint(s, Paint::solid(blobs[i]));
        }
        Shape brush = p.shape();
        brush.stroke(b.X(0.98), b.Y(0.0), b.X(0.55), b.Y(0.6), b.S(0.09) + 0.8);
        p.paint(brush, Paint::solid(rgb(0x99, 0x66, 0x33)), rgb(0x33, 0x22, 0x11));
    }
    return p;
}

} // namespace kastra::art

#include "mkdefaults/art.h"

namespace kastra::art {

namespace {

const Colour kInk = rgb(0x22, 0x22, 0x33);

// The antenna of the signal pictures: two arms meeting on a mast, one
// pixel wide, with an outline so it shows on any banner.
void drawAntenna(Picture& p, Colour mast, Colour ink)
{
    Shape s = p.shape();
    for (int i = 0; i < 3; ++i)
        s.pixel(2 + i, 2 + i).pixel(8 - i, 2 + i);
    s.rect(5, 4, 6, 11);
    p.paint(s, Paint::solid(mast));
    p.paint(s.border(false), Paint::solid(ink));
}

} // namespace

Picture statusPicture()
{
    Picture p(44, 12, Transparent);
    // Charging bolt.
    Shape bolt = p.shape();
    const Pt pts[] = {{5, 1}, {1.5, 6.5}, {4, 6.5}, {3, 11}, {7.5, 5}, {5, 5}, {6.5, 1}};
    bolt.polygon(pts);
    p.paint(bolt, Paint::vertical(rgb(0xFF, 0xEE, 0x55), rgb(0xEE, 0x99, 0x11), 1, 11), kInk);
    // Battery body: a dark frame around columns 10-39, rows 3-9, and the cap.
    p.fillRect(9, 2, 32, 9, Paint::solid(kInk));
    p.fillRect(10, 3, 30, 7, Paint::vertical(rgb(0x33, 0x44, 0x55), rgb(0x22, 0x33, 0x44), 3, 10));
    p.fillRect(41, 4, 2, 5, Paint::solid(kInk));
    p.vline(41, 5, 7, rgb(0x77, 0x88, 0x99));
    // Seven bars, three columns wide with one column between, filling up
    // from red on the left to green on the right.
    const Colour tops[7] = {rgb(0xFF, 0x77, 0x55), rgb(0xFF, 0xAA, 0x44), rgb(0xFF, 0xDD, 0x44),
                            rgb(0xDD, 0xEE, 0x55), rgb(0xAA, 0xEE, 0x55), rgb(0x77, 0xEE, 0x66),
                            rgb(0x55, 0xEE, 0x77)};
    for (int k = 0; k < 7; ++k) {
        const int x = 11 + 4 * k;
        p.fillRect(x, 4, 3, 5, Paint::vertical(tops[k], darker(tops[k], 35), 4, 9));
        p.hline(x, x + 2, 4, lighter(tops[k], 40));
    }
    return p;
}

Picture noSignalPicture()
{
    // Only colours of the 16-colour palette: black, dark grey, grey, red.
    const Colour black = rgb(0, 0, 0);
    const Colour grey = rgb(0xAA, 0xAA, 0xAA);
    const Colour dark = rgb(0x55, 0x55, 0x55);
    const Colour red = rgb(0xFF, 0, 0);
    Picture p(32, 12, Transparent);
    drawAntenna(p, grey, black);
    // Empty bar frames.
    for (int i = 0; i < 5; ++i) {
        const int x = 11 + 4 * i;
        const int h = 2 + 2 * i;
        p.frame(x, 11 - h, 3, h, dark);
    }
    // A red cross over the bars.
    Shape cross = p.shape();
    cross.stroke(14, 2.5, 26, 9.5, 2.2).stroke(26, 2.5, 14, 9.5, 2.2);
    p.paint(cross, Paint::solid(red), black);
    return p;
}

Picture signalPicture(int bars)
{
    Picture p(32, 12, Transparent);
    drawAntenna(p, rgb(0xCC, 0xDD, 0xEE), kInk);
    for (int i = 0; i < 5; ++i) {
        const int x = 11 + 4 * i;
        const int h = 2 + 2 * i;
        if (i < bars) {
            p.fillRect(x, 11 - h, 3, h, Paint::vertical(rgb(0xAA, 0xFF, 0x88), rgb(0x33, 0xAA, 0x33), 11.0 - h, 11));
            p.frame(x - 1, 10 - h, 5, h + 2, kInk);
        } else {
            // Unlit bars only show their foot, so the banner stays visible.
            p.fillRect(x, 10, 3, 1, Paint::solid(rgb(0x55, 0x66, 0x77)));
        }
    }
    return p;
}

} // namespace kastra::art

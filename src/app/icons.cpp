#include "app/icons.h"

#include <QBitmap>
#include <QPainter>
#include <QPixmap>

namespace kastra {

namespace {

// Pixel art, one string per row: '#' dark blue, '+' light blue, '.' white.
void drawArt(QImage& img, int x0, const char* const rows[14])
{
    for (int y = 0; y < 14; ++y) {
        for (int x = 0; x < 11; ++x) {
            const char c = rows[y][x];
            QRgb colour = qRgb(255, 255, 255);
            if (c == '#')
                colour = qRgb(0, 0, 128);
            else if (c == '+')
                colour = qRgb(64, 128, 224);
            img.setPixel(x0 + x, y, colour);
        }
    }
}

const char* const Arrow[14] = {
    "...........",
    "....###.#..",
    "..##...##..",
    ".#....###..",
    ".#.........",
    "#.........#",
    "#.........#",
    "#.........#",
    "#.........#",
    ".#.......#.",
    ".#.......#.",
    "..##...##..",
    "....###....",
    "...........",
};

const char* const Chevron[14] = {
    "...........",
    "...........",
    "#....#.....",
    "##...##....",
    ".##...##...",
    "..##...##..",
    "...##...##.",
    "...##...##.",
    "..##...##..",
    ".##...##...",
    "##...##....",
    "#....#.....",
    "...........",
    "...........",
};

QPixmap cut(const QImage& list, int x)
{
    QPixmap p = QPixmap::fromImage(list.copy(x, 0, 11, 14));
    p.setMask(p.createMaskFromColor(QColor(255, 255, 255)));
    return p;
}

QPixmap handset(int size)
{
    QPixmap p(size, size);
    p.fill(Qt::transparent);
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 16.0;
    g.setPen(QPen(QColor(20, 20, 40), s * 0.8));
    g.setBrush(QColor(60, 64, 80));
    g.drawRoundedRect(QRectF(3.5 * s, 0.5 * s, 9 * s, 15 * s), 1.8 * s, 1.8 * s);
    g.setPen(Qt::NoPen);
    g.setBrush(QColor(145, 146, 191));
    g.drawRect(QRectF(4.8 * s, 2.2 * s, 6.4 * s, 6.6 * s));
    g.setBrush(QColor(240, 200, 60));
    g.drawRect(QRectF(4.8 * s, 2.2 * s, 6.4 * s, 2.0 * s));
    g.setBrush(QColor(200, 200, 210));
    for (int row = 0; row < 2; ++row) {
        for (int col = 0; col < 3; ++col)
            g.drawEllipse(QRectF((5.0 + col * 2.2) * s, (10.0 + row * 2.2) * s, 1.4 * s, 1.4 * s));
    }
    return p;
}

} // namespace

QImage ImageListBitmap()
{
    QImage img(22, 14, QImage::Format_RGB888);
    drawArt(img, 0, Arrow);
    drawArt(img, 11, Chevron);
    return img;
}

ImageList LoadImageList()
{
    const QImage list = ImageListBitmap();
    return {cut(list, 0), cut(list, 11)};
}

QIcon WindowIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48})
        icon.addPixmap(handset(size));
    return icon;
}

} // namespace kastra

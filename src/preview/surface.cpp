#include "preview/surface.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QString>

#include <algorithm>
#include <cstdlib>

namespace kastra {

QRgb toQRgb(Colour c)
{
    return qRgb(static_cast<int>(redOf(c)), static_cast<int>(greenOf(c)), static_cast<int>(blueOf(c)));
}

Colour fromQRgb(QRgb c)
{
    return rgb(static_cast<unsigned>(qRed(c)), static_cast<unsigned>(qGreen(c)), static_cast<unsigned>(qBlue(c)));
}

Surface::Surface(int width, int height, Colour background)
    : m_image(width, height, QImage::Format_RGB32), m_background(background)
{
    fill(background);
}

Colour Surface::pixel(int x, int y) const
{
    return fromQRgb(reinterpret_cast<const QRgb*>(m_image.constScanLine(y))[x]);
}

void Surface::setPixel(int x, int y, Colour c)
{
    // scanLine() detaches, so a copy of image() someone kept never changes.
    reinterpret_cast<QRgb*>(m_image.scanLine(y))[x] = toQRgb(c);
}

void Surface::fill(Colour c)
{
    m_image.fill(toQRgb(c));
}

void Surface::rectangle(const Rect& r)
{
    if (r.width() <= 0 || r.height() <= 0)
        return;
    const int x0 = std::max(r.left, 0), x1 = std::min(r.right, width());
    const int y0 = std::max(r.top, 0), y1 = std::min(r.bottom, height());
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const bool edge = x == r.left || x == r.right - 1 || y == r.top || y == r.bottom - 1;
            setPixel(x, y, edge ? m_pen : m_brush);
        }
}

void Surface::line(int x0, int y0, int x1, int y1)
{
    // Bresenham, stepping until the end point and leaving it out.
    const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    int x = x0, y = y0;
    while (x != x1 || y != y1) {
        if (x >= 0 && y >= 0 && x < width() && y < height())
            setPixel(x, y, m_pen);
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

void Surface::text(int x, int y, const QString& text, const QFont& font)
{
    QPainter painter(&m_image);
    painter.setFont(font);
    painter.setPen(QColor(Qt::black));
    // The cell behind the text takes the brush, as text drawn in opaque
    // background mode does on Windows.
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(QColor(toQRgb(m_brush)));
    const QFontMetrics metrics(font);
    painter.drawText(x, y + metrics.ascent(), text);
}

} // namespace kastra

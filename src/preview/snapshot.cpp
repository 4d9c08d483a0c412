#include "preview/snapshot.h"

#include "base/safe_file.h"
#include "platform/fileops.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>

#include <algorithm>

namespace kastra {

namespace {

constexpr int Gap = 4;

} // namespace

QImage ComposeMenu(const MenuSurfaces& s)
{
    const int width = std::max({s.smallFolders.width(), s.largeFolders.width(),
                                s.avkon136.width() + s.avkon138.width() + s.avkon202.width() + 2 * Gap});
    const int height = s.smallFolders.height() + s.largeFolders.height() + s.avkon138.height() + 2 * Gap;
    QImage out(width, height, QImage::Format_RGB32);
    out.fill(toQRgb(IconsPageBackground));
    QPainter p(&out);
    int y = 0;
    p.drawImage(0, y, s.smallFolders.image());
    y += s.smallFolders.height() + Gap;
    p.drawImage(0, y, s.largeFolders.image());
    y += s.largeFolders.height() + Gap;
    int x = 0;
    for (const Surface* icon : {&s.avkon136, &s.avkon138, &s.avkon202}) {
        p.drawImage(x, y, icon->image());
        x += icon->width() + Gap;
    }
    p.end();
    return out;
}

QImage ComposeSnapshot(const QImage& desktop, const QImage& menu)
{
    QImage out(desktop.width() + Gap + menu.width(), std::max(desktop.height(), menu.height()), QImage::Format_RGB32);
    out.fill(toQRgb(SnapshotBackground));
    QPainter p(&out);
    p.drawImage(0, 0, desktop);
    p.drawImage(desktop.width() + Gap, 0, menu);
    p.end();
    return out;
}

QImage ScaledBy(const QImage& image, int factor)
{
    if (factor < MinSnapshotScale || factor > MaxSnapshotScale || image.isNull())
        return {};
    const QImage source = image.convertToFormat(QImage::Format_RGB32);
    QImage out(source.width() * factor, source.height() * factor, QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y) {
        const auto* from = reinterpret_cast<const QRgb*>(source.constScanLine(y / factor));
        auto* to = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            to[x] = from[x / factor];
    }
    return out;
}

Result<void> WritePng(const QImage& image, const QString& path)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image))
        return fail("cannot encode the picture as PNG: " + writer.errorString().toStdString());
    buffer.close();
    return writeFileAtomic(fsPath(path), byteSpan(png));
}

Outcome SaveSnapshot(const QImage& desktop, const MenuSurfaces& menu, int factor, QString path)
{
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".png");
    const auto written = WritePng(ScaledBy(ComposeSnapshot(desktop, ComposeMenu(menu)), factor), path);
    if (!written) {
        const QString reason = QString::fromStdString(written.error());
        return WarningOutcome(QStringLiteral("Не удалось сохранить снимок %1 (%2).").arg(path, reason),
                              QStringLiteral("cannot write ") + path + QStringLiteral(": ") + reason);
    }
    return Done();
}

} // namespace kastra

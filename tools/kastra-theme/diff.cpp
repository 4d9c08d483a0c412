// The diff command: two themes (folders or packages) compared bitmap by
// bitmap through the program's MBM reader, and, when asked, a sheet that
// shows each differing bitmap of the first beside the second.

#include "cli.h"

#include "base/safe_file.h"
#include "mbm/mbm.h"
#include "platform/fileops.h"

#include <QBuffer>
#include <QFileInfo>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <optional>
#include <vector>

namespace kastra::cli {

namespace {

// A theme's bitmaps are at most a few hundred, none larger than the screen;
// anything far beyond is not a theme and is refused before it is decoded.
mbm::ReadLimits themeLimits()
{
    mbm::ReadLimits limits;
    limits.maxBitmaps = 4096;
    limits.maxDimension = 4096;
    limits.maxPixels = 4 * 1024 * 1024;
    limits.maxTotalBytes = 256u * 1024 * 1024;
    return limits;
}

// The sheet: bitmaps scaled up by whole pixels to about this size, laid
// out in rows about this wide, and never more pixels than this in all.
constexpr int kSheetTarget = 96;
constexpr int kMaxScale = 8;
constexpr int kSheetWidth = 1024;
constexpr qint64 kMaxSheetPixels = 32 * 1024 * 1024;
constexpr int kGap = 8;

using ThemeBitmaps = std::array<std::vector<mbm::MbmBitmap>, std::size(ThemeFiles)>;

std::optional<Failure> readTheme(const QString& input, ThemeBitmaps& out)
{
    ThemeBytes files;
    std::optional<Failure> failed;
    if (QFileInfo(input).isDir()) {
        failed = readThemeFiles(input, files);
    } else {
        Bytes sis;
        failed = readPackage(input, sis);
        if (!failed)
            failed = readThemeFilesFromPackage(input, sis, files);
    }
    if (failed)
        return failed;
    for (std::size_t i = 0; i < files.size(); ++i) {
        auto bitmaps = mbm::readMbm(files[i], themeLimits());
        if (!bitmaps)
            return Failure{ExitUsage, input + QStringLiteral(": ") + QString::fromLatin1(ThemeFiles[i])
                                          + QStringLiteral(" cannot be read: ") + QString::fromStdString(bitmaps.error())};
        out[i] = std::move(*bitmaps);
    }
    return std::nullopt;
}

QString sizeText(const mbm::MbmBitmap& b)
{
    return QStringLiteral("%1x%2").arg(b.header.width).arg(b.header.height);
}

QString modeText(const mbm::MbmBitmap& b)
{
    return QStringLiteral("%1-bit %2").arg(b.header.bpp).arg(b.mode().colour ? QStringLiteral("colour")
                                                                               : QStringLiteral("grey"));
}

struct Difference {
    QString file;
    std::size_t index = 0;
    QString what;
    const mbm::MbmBitmap* a = nullptr;   // null: only in B
    const mbm::MbmBitmap* b = nullptr;   // null: only in A
};

// What differs between two bitmaps of the same place, or nothing. Pixels
// are compared as the handset shows them, so the same picture stored
// another way is no difference.
std::optional<QString> compare(const mbm::MbmBitmap& a, const mbm::MbmBitmap& b)
{
    if (a.header.width != b.header.width || a.header.height != b.header.height)
        return QStringLiteral("size %1 in A, %2 in B").arg(sizeText(a), sizeText(b));
    qint64 differing = 0;
    for (int y = 0; y < a.header.height; ++y)
        for (int x = 0; x < a.header.width; ++x)
            differing += a.pixel(x, y) == b.pixel(x, y) ? 0 : 1;
    const QString pixels = QStringLiteral("%1 pixels differ").arg(differing);
    if (a.mode() != b.mode())
        return QStringLiteral("depth %1 in A, %2 in B; %3").arg(modeText(a), modeText(b), pixels);
    if (differing != 0)
        return pixels;
    return std::nullopt;
}

std::vector<Difference> differences(const ThemeBitmaps& a, const ThemeBitmaps& b)
{
    std::vector<Difference> found;
    for (std::size_t f = 0; f < a.size(); ++f) {
        const QString file = QString::fromLatin1(ThemeFiles[f]);
        for (std::size_t i = 0; i < std::max(a[f].size(), b[f].size()); ++i) {
            const mbm::MbmBitmap* left = i < a[f].size() ? &a[f][i] : nullptr;
            const mbm::MbmBitmap* right = i < b[f].size() ? &b[f][i] : nullptr;
            if (!right)
                found.push_back({file, i, QStringLiteral("only in A"), left, nullptr});
            else if (!left)
                found.push_back({file, i, QStringLiteral("only in B"), nullptr, right});
            else if (const auto what = compare(*left, *right))
                found.push_back({file, i, *what, left, right});
        }
    }
    return found;
}

QImage toImage(const mbm::MbmBitmap& b, int scale)
{
    QImage image(b.header.width, b.header.height, QImage::Format_RGB32);
    for (int y = 0; y < b.header.height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < b.header.width; ++x) {
            const mbm::Rgb p = b.pixel(x, y);
            row[x] = qRgb(p.r, p.g, p.b);
        }
    }
    return image.scaled(image.width() * scale, image.height() * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

struct Cell {
    QString label;
    QImage a, b;   // a null image: the bitmap is not on that side
    QSize size;
};

// Each difference as its name over A and B side by side, in rows; the
// sheet's pixels are bounded before anything is drawn.
std::optional<QImage> drawSheet(const std::vector<Difference>& found)
{
    const QFont font;
    const QFontMetrics metrics(font);
    const int labelHeight = metrics.height();
    std::vector<Cell> cells;
    qint64 area = 0;
    for (const Difference& d : found) {
        int largest = 1;
        for (const mbm::MbmBitmap* m : {d.a, d.b})
            if (m)
                largest = std::max({largest, m->header.width, m->header.height});
        const int scale = std::clamp(kSheetTarget / largest, 1, kMaxScale);
        Cell c;
        c.label = QStringLiteral("%1 %2: %3").arg(d.file).arg(d.index).arg(d.what);
        int width = 0, height = 0;
        for (const mbm::MbmBitmap* m : {d.a, d.b}) {
            const int w = m ? m->header.width * scale : kSheetTarget / 2;
            const int h = m ? m->header.height * scale : 0;
            width += w + 2;
            height = std::max(height, h + 2);
        }
        width += kGap;
        width = std::max(width, metrics.horizontalAdvance(c.label));
        c.size = QSize(width, labelHeight + 2 + height);
        area += qint64(width + kGap) * (c.size.height() + kGap);
        if (area > kMaxSheetPixels)
            return std::nullopt;
        if (d.a)
            c.a = toImage(*d.a, scale);
        if (d.b)
            c.b = toImage(*d.b, scale);
        cells.push_back(std::move(c));
    }

    // Rows: cells left to right until the next would pass the width.
    int sheetWidth = kSheetWidth;
    for (const Cell& c : cells)
        sheetWidth = std::max(sheetWidth, c.size.width() + 2 * kGap);
    std::vector<QPoint> at;
    int x = kGap, y = kGap, rowHeight = 0;
    for (const Cell& c : cells) {
        if (x > kGap && x + c.size.width() + kGap > sheetWidth) {
            x = kGap;
            y += rowHeight + kGap;
            rowHeight = 0;
        }
        at.emplace_back(x, y);
        x += c.size.width() + kGap;
        rowHeight = std::max(rowHeight, c.size.height());
    }
    const int sheetHeight = y + rowHeight + kGap;
    if (qint64(sheetWidth) * sheetHeight > kMaxSheetPixels)
        return std::nullopt;

    QImage sheet(sheetWidth, sheetHeight, QImage::Format_RGB32);
    sheet.fill(QColor(192, 192, 192));
    QPainter p(&sheet);
    p.setFont(font);
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const Cell& c = cells[i];
        p.setPen(Qt::black);
        p.drawText(at[i].x(), at[i].y() + metrics.ascent(), c.label);
        int left = at[i].x();
        const int top = at[i].y() + labelHeight + 2;
        for (const QImage* image : {&c.a, &c.b}) {
            if (image->isNull()) {
                left += kSheetTarget / 2 + 2 + kGap;
                continue;
            }
            // A one-pixel frame, so that a picture's edge shows on any
            // background.
            p.setPen(Qt::darkGray);
            p.setBrush(Qt::NoBrush);
            p.drawRect(left, top, image->width() + 1, image->height() + 1);
            p.drawImage(left + 1, top + 1, *image);
            left += image->width() + 2 + kGap;
        }
    }
    p.end();
    return sheet;
}

std::optional<QString> writeSheet(const QImage& sheet, const QString& path)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!sheet.save(&buffer, "PNG"))
        return QStringLiteral("cannot encode the sheet");
    const auto written = writeFileAtomic(fsPath(path), byteSpan(png));
    if (!written)
        return QString::fromStdString(written.error());
    return std::nullopt;
}

} // namespace

int runDiff(const Args& args)
{
    if (args.positional.size() != 2) {
        printError(QStringLiteral("diff needs A and B, each a theme folder or a package (see --help)"));
        return ExitUsage;
    }
    if (const auto sheetPath = args.option(QStringLiteral("--sheet"))) {
        if (const auto problem = outputFileProblem(*sheetPath)) {
            printError(QStringLiteral("--sheet: ") + *problem);
            return ExitUsage;
        }
    }
    ThemeBitmaps a, b;
    for (auto [input, out] : {std::pair{args.positional[0], &a}, std::pair{args.positional[1], &b}}) {
        if (const auto failed = readTheme(absolutePath(input), *out)) {
            printError(failed->message);
            return failed->status;
        }
    }
    const std::vector<Difference> found = differences(a, b);
    for (const Difference& d : found)
        printOut(QStringLiteral("%1 %2: %3").arg(d.file).arg(d.index).arg(d.what));
    if (found.empty())
        return ExitOk;
    if (const auto sheetPath = args.option(QStringLiteral("--sheet"))) {
        const auto sheet = drawSheet(found);
        if (!sheet) {
            printError(QStringLiteral("the sheet would be too large; no sheet written"));
            return ExitFailed;
        }
        if (const auto error = writeSheet(*sheet, *sheetPath)) {
            printError(QStringLiteral("cannot write ") + *sheetPath + QStringLiteral(": ") + *error);
            return ExitFailed;
        }
    }
    return ExitFailed;
}

} // namespace kastra::cli

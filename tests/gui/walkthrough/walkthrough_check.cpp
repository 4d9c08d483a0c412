// Checks what the walk-through left, as a user would look at it: the
// delivered package parses with our reader, its EidPic.mbm holds the banner,
// and the preview in the screenshot shows that banner above a soft-key bar
// in the scheme's colour.
//   walkthrough_check PACKAGE.sis SCREENSHOT.png SCHEME
#include "mbm/mbm.h"
#include "sis/sis_reader.h"

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QString>

#include <cstdio>

using namespace kastra;

namespace {

int failed(const char* what)
{
    std::fprintf(stderr, "walkthrough_check: %s\n", what);
    return 1;
}

ByteSpan span(const QByteArray& b)
{
    return {reinterpret_cast<const std::uint8_t*>(b.constData()), static_cast<std::size_t>(b.size())};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 4)
        return failed("usage: walkthrough_check PACKAGE.sis SCREENSHOT.png SCHEME");
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly))
        return failed("the package was not delivered");
    const QByteArray bytes = file.readAll();
    const auto package = sis::readSis(span(bytes));
    if (!package.ok())
        return failed(("the package does not parse: " + package.error()).c_str());
    if (!package->checksumOk || !package->problems.empty())
        return failed("the package is damaged");

    // The banner of the chosen scheme, the 1 + N-th bitmap of EidPic.mbm.
    Bytes eidPic;
    for (const sis::SisRecord& r : package->records) {
        const std::u16string& d = r.destination;
        if (d.size() >= 10 && QString::fromStdU16String(d).endsWith(QStringLiteral("EidPic.mbm"), Qt::CaseInsensitive)
            && !r.blocks.empty()) {
            auto data = sis::readData(span(bytes), *package, r.blocks.front());
            if (!data.ok())
                return failed("EidPic.mbm cannot be read from the package");
            eidPic = std::move(*data);
        }
    }
    if (eidPic.empty())
        return failed("the package holds no EidPic.mbm");
    const auto bitmaps = mbm::readMbm(eidPic);
    if (!bitmaps.ok() || bitmaps->size() != 5)
        return failed("EidPic.mbm does not hold five bitmaps");
    const int scheme = std::atoi(argv[3]);
    if (scheme < 1 || scheme > 4)
        return failed("the scheme is 1 to 4");
    const mbm::MbmBitmap& banner = (*bitmaps)[static_cast<std::size_t>(scheme)];
    if (banner.header.width != 176 || banner.header.height != 68)
        return failed("the banner is not 176 x 68");

    const QImage shot(QString::fromLocal8Bit(argv[2]));
    if (shot.isNull())
        return failed("the screenshot cannot be read");
    // The preview sits at (344, 8) of the window; the banner's rows 20 to 59
    // are not covered by the status line.
    int compared = 0;
    for (int y = 20; y < 60; y += 3) {
        for (int x = 4; x < 172; x += 5) {
            const mbm::Rgb want = banner.pixel(x, y);
            const QRgb got = shot.pixel(344 + x, 8 + y);
            if (qRed(got) != want.r || qGreen(got) != want.g || qBlue(got) != want.b) {
                std::fprintf(stderr, "pixel %d,%d: preview %d,%d,%d, package %d,%d,%d\n", x, y, qRed(got), qGreen(got),
                             qBlue(got), want.r, want.g, want.b);
                return failed("the preview does not show the package's banner");
            }
            ++compared;
        }
    }
    // The soft-key bar, rows 201 to 219 of the preview (its first row is
    // under the background), between the two captions, in the colour of the
    // chosen scheme: a click on a scheme that did not count leaves another.
    const QRgb schemeColours[] = {qRgb(172, 162, 191), qRgb(32, 191, 68), qRgb(145, 146, 191), qRgb(123, 121, 132)};
    const QRgb want = schemeColours[scheme - 1];
    for (const int x : {80, 90, 100}) {
        const QRgb got = shot.pixel(344 + x, 8 + 217) & 0xFFFFFF;
        if (got != (want & 0xFFFFFF)) {
            std::fprintf(stderr, "soft-key bar at %d,217: %d,%d,%d, scheme %d has %d,%d,%d\n", x, qRed(got), qGreen(got),
                         qBlue(got), scheme, qRed(want), qGreen(want), qBlue(want));
            return failed("the preview's soft-key bar is not in the chosen scheme's colour");
        }
    }
    std::printf("walkthrough_check: %d files in the package, banner of scheme %d matches the preview at %d pixels\n",
                static_cast<int>(package->records.size()), scheme, compared);
    return 0;
}

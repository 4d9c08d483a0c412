#include "edit/picture_import.h"

#include "base/safe_file.h"
#include "platform/fileops.h"
#include "picture/jpeg.h"
#include "picture/resample.h"
#include "workspace/slots.h"

#include <QFileInfo>

#include <cstdlib>
#include <unistd.h>

namespace kastra {

namespace {

constexpr Colour White = rgb(255, 255, 255);
constexpr int ScreenWidth = 176;
constexpr int DesktopHeight = 200;
constexpr int BannerHeight = 68;
constexpr int BackgroundHeight = DesktopHeight - BannerHeight;

// The window's box, and the same reason in English for the command line.
Outcome refusal(const QString& text, const QString& note)
{
    return WarningOutcome(text, note);
}

// The size a BMP file's header gives when it is over the limits a picture is
// read with; nothing otherwise (a sound size, or no BMP header at all).
std::optional<OversizedPicture> oversizedBmp(const QString& path)
{
    auto file = openRegularFile(fsPath(path));
    if (!file)
        return std::nullopt;
    std::uint8_t header[26] = {};
    std::size_t got = 0;
    while (got < sizeof header) {
        const auto n = ::read(file->fd(), header + got, sizeof header - got);
        if (n <= 0)
            return std::nullopt;
        got += static_cast<std::size_t>(n);
    }
    if (header[0] != 'B' || header[1] != 'M' || le32(header + 14) < 40)
        return std::nullopt;
    const std::int64_t w = static_cast<std::int32_t>(le32(header + 18));
    const std::int64_t h = std::abs(static_cast<std::int64_t>(static_cast<std::int32_t>(le32(header + 22))));
    if (w <= 0 || h <= 0)
        return std::nullopt;
    if (w > Bitmap::MaxDimension || h > Bitmap::MaxDimension || w * h > Bitmap::MaxPixels)
        return OversizedPicture{w, h};
    return std::nullopt;
}

// The user's picture, or nothing when the file cannot be read as one; a
// picture refused for its size leaves that size in oversized.
std::optional<Bitmap> readPicture(const QString& path, std::optional<OversizedPicture>& oversized)
{
    if (path.endsWith(QStringLiteral(".bmp"), Qt::CaseInsensitive)) {
        Bitmap picture = readBmpOrEmpty(fsPath(path));
        if (picture.empty()) {
            oversized = oversizedBmp(path);
            return std::nullopt;
        }
        return picture;
    }
    OversizedPicture size;
    auto decoded = decodeJpeg(fsPath(path), &size);
    if (!decoded || decoded->empty()) {
        if (size.width > 0)
            oversized = size;
        return std::nullopt;
    }
    return std::move(*decoded);
}

Bitmap banner(const Bitmap& target, const ImportOptions& options)
{
    // With both strips at the right edge, column 0 is dropped and columns
    // 1-175 spread over the width, as the preview treats the background in
    // that layout, so banner and background stay in line.
    const int left = options.top && !options.bottom ? 1 : 0;
    Bitmap out(ScreenWidth, BannerHeight);
    out.stretchCopy({0, 0, ScreenWidth, BannerHeight}, target, {left, 0, ScreenWidth, BannerHeight});
    if (options.top) {
        const int strip = options.bottom ? 0 : ScreenWidth - 2;
        for (int y = 0; y < BannerHeight; ++y) {
            out.setPixel(strip, y, White);
            out.setPixel(ScreenWidth - 1, y, White);
        }
    }
    return out;
}

Bitmap background(const Bitmap& target, const ImportOptions& options)
{
    const int left = options.bottom ? 1 : 0;
    Bitmap out(options.bottom ? ScreenWidth - 1 : ScreenWidth, BackgroundHeight);
    out.stretchCopy({0, 0, ScreenWidth, BackgroundHeight}, target, {left, BannerHeight, ScreenWidth, DesktopHeight});
    return out;
}

} // namespace

QString TooSmallMessage()
{
    return QStringLiteral("Картинка должна быть больше, либо равна 176х200 !");
}

QString UnreadableMessage(const QString& picturePath)
{
    return QStringLiteral("Не удается прочитать картинку \"%1\": файл поврежден или это не BMP и не JPEG.")
        .arg(QFileInfo(picturePath).fileName());
}

QString TooLargeMessage(std::int64_t width, std::int64_t height, bool jpeg)
{
    const std::int64_t maxPixels = jpeg ? MaxJpegPixels : Bitmap::MaxPixels;
    return QStringLiteral("Картинка слишком большая: %1 × %2 точек. Программа открывает картинки не больше %3 точек "
                          "по каждой стороне и не больше %4 миллионов точек всего.")
        .arg(width)
        .arg(height)
        .arg(Bitmap::MaxDimension)
        .arg(maxPixels / 1000000);
}

Outcome ImportPicture(AppState& state, const Workspace& ws, const QString& picturePath,
                            const ImportOptions& options)
{
    std::optional<OversizedPicture> oversized;
    std::optional<Bitmap> picture = readPicture(picturePath, oversized);
    if (!picture && oversized) {
        const bool jpeg = !picturePath.endsWith(QStringLiteral(".bmp"), Qt::CaseInsensitive);
        return refusal(TooLargeMessage(oversized->width, oversized->height, jpeg),
                       QStringLiteral("the picture is too large: %1 x %2 pixels; pictures of at most %3 pixels a "
                                      "side and %4 million pixels in all are taken")
                           .arg(oversized->width)
                           .arg(oversized->height)
                           .arg(Bitmap::MaxDimension)
                           .arg((jpeg ? MaxJpegPixels : Bitmap::MaxPixels) / 1000000));
    }
    if (!picture)
        return refusal(UnreadableMessage(picturePath),
                       QStringLiteral("not a picture the program reads: damaged, or neither BMP nor JPEG"));
    Bitmap target(ScreenWidth, DesktopHeight);
    if (!fitPicture(*picture, target))
        return refusal(TooSmallMessage(), QStringLiteral("the picture is too small: it must be at least 176 x 200 pixels"));
    picture.reset();   // the user's picture can be large; it is done with

    Outcome outcome = Done();
    auto write = [&](const Bitmap& b, const QString& slot) {
        const QString path = slotPath(ws.root, slot);
        if (b.writeBmp(fsPath(path)))
            outcome.written << path;
    };

    const Bitmap top = banner(target, options);
    if (options.separate) {
        write(top, topSlot(state.scheme));
    } else {
        for (QChar n : {u'1', u'2', u'3', u'4'})
            write(top, topSlot(n));
    }
    write(background(target, options), QStringLiteral("Back.bmp"));

    // The strip of the current scheme only, from the banner file as written.
    Bitmap& strip = state.scratch.strip;
    strip = readBmpOrEmpty(fsPath(slotPath(ws.root, topSlot(state.scheme))));
    strip.setHeight(12);
    if (!strip.empty())
        write(strip, tempSlot(state.scheme));
    return outcome;
}

} // namespace kastra

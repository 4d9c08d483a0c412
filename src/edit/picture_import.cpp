#include "edit/picture_import.h"

#include "base/fileio.h"
#include "base/safe_file.h"
#include "platform/fileops.h"
#include "picture/jpeg.h"
#include "picture/png.h"
#include "picture/resample.h"
#include "workspace/slots.h"

#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <memory>
#include <unistd.h>

#ifndef _WIN32
#include <sys/mman.h>
#endif

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

// The size a BMP file's header gives when it is over the import's limits; nothing
// otherwise (a sound size, or no BMP header at all, which the reader then
// refuses on its own).
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
    if (header[0] != 'B' || header[1] != 'M')
        return std::nullopt;
    std::int64_t w = 0, h = 0;
    const std::uint32_t headerSize = le32(header + 14);
    if (headerSize == 12) {   // the core header: 16-bit sizes
        w = le16(header + 18);
        h = le16(header + 20);
    } else if (headerSize >= 40) {
        w = static_cast<std::int32_t>(le32(header + 18));
        h = std::abs(static_cast<std::int64_t>(static_cast<std::int32_t>(le32(header + 22))));
    }
    if (w <= 0 || h <= 0)
        return std::nullopt;
    if (w > Bitmap::MaxDimension || h > Bitmap::MaxDimension || w * h > MaxImportBmpPixels)
        return OversizedPicture{w, h};
    return std::nullopt;
}

// Reads a BMP file whole and hands it to the BMP reader. The bytes go into
// memory the kernel may back with huge pages: a photo's file is hundreds of
// megabytes, and faulting that in page by page costs more than reading it.
Bitmap readLargeBmp(const QString& path)
{
#ifdef _WIN32
    return readBmpOrEmpty(fsPath(path));
#else
    std::uintmax_t size = 0;
    auto file = openRegularFile(fsPath(path), &size);
    // No BMP of a picture the import takes is larger than this.
    constexpr std::uintmax_t MaxFile = static_cast<std::uintmax_t>(MaxImportBmpPixels) * 4 + 65536;
    if (!file || size == 0 || size > MaxFile)
        return {};
    const auto n = static_cast<std::size_t>(size);
    void* mapped = ::mmap(nullptr, n, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        return {};
    const std::unique_ptr<void, std::function<void(void*)>> unmap(mapped, [n](void* p) { ::munmap(p, n); });
    ::madvise(mapped, n, MADV_HUGEPAGE);   // only advice: without it the read is slower, not wrong
    auto* bytes = static_cast<std::uint8_t*>(mapped);
    std::size_t done = 0;
    while (done < n) {
        const auto got = ::read(file->fd(), bytes + done, n - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)   // an error, or the file shrank while it was read
            return {};
        done += static_cast<std::size_t>(got);
    }
    Bitmap picture;
    if (!picture.loadBmp(ByteSpan(bytes, n)))
        return {};
    return picture;
#endif
}

bool isBmpName(const QString& path)
{
    return path.endsWith(QStringLiteral(".bmp"), Qt::CaseInsensitive);
}

// The user's picture, upright, or nothing when the file cannot be read as
// one: a picture refused for its size leaves that size in oversized, a PNG
// (by its name or its signature) sets png. A name ending in .bmp is read as
// a BMP; any other file is told apart by its contents, a PNG by its
// signature and anything else decoded as a JPEG.
std::optional<Bitmap> readPicture(const QString& path, std::optional<OversizedPicture>& oversized, bool& png)
{
    if (isBmpName(path)) {
        // Checked before the reader takes the file in whole: a BMP is held
        // twice while it is read, file and picture.
        oversized = oversizedBmp(path);
        if (oversized)
            return std::nullopt;
        Bitmap picture = readLargeBmp(path);
        if (picture.empty())
            return std::nullopt;
        return picture;
    }
    png = path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive);
    // The largest JPEG or PNG worth reading is far below this; a bigger
    // file is refused without reading it.
    const auto data = readFile(fsPath(path), std::uintmax_t{512} * 1024 * 1024);
    if (!data)
        return std::nullopt;
    const bool pngData = isPng(*data);
    png = png || pngData;
    OversizedPicture size;
    auto decoded = pngData ? decodePng(*data, &size) : decodeJpeg(*data, &size);
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

QString UnreadablePngMessage(const QString& picturePath)
{
    return QStringLiteral("Не удается прочитать картинку \"%1\": файл PNG поврежден.")
        .arg(QFileInfo(picturePath).fileName());
}

QString TooLargeMessage(std::int64_t width, std::int64_t height, bool jpeg)
{
    const std::int64_t maxPixels = jpeg ? MaxJpegPixels : MaxImportBmpPixels;
    return QStringLiteral("Картинка слишком большая: %1 × %2 точек. Программа открывает картинки не больше %3 точек "
                          "по каждой стороне и не больше %4 миллионов точек всего.")
        .arg(width)
        .arg(height)
        .arg(Bitmap::MaxDimension)
        .arg(maxPixels / 1000000);
}

Outcome ImportPicture(const AppState& state, const Workspace& ws, const QString& picturePath,
                            const ImportOptions& options)
{
    std::optional<OversizedPicture> oversized;
    bool png = false;
    std::optional<Bitmap> picture = readPicture(picturePath, oversized, png);
    if (!picture && oversized) {
        const bool bmp = isBmpName(picturePath);
        return refusal(TooLargeMessage(oversized->width, oversized->height, !bmp),
                       QStringLiteral("the picture is too large: %1 x %2 pixels; pictures of at most %3 pixels a "
                                      "side and %4 million pixels in all are taken")
                           .arg(oversized->width)
                           .arg(oversized->height)
                           .arg(Bitmap::MaxDimension)
                           .arg((bmp ? MaxImportBmpPixels : MaxJpegPixels) / 1000000));
    }
    if (!picture)
        return refusal(png ? UnreadablePngMessage(picturePath) : UnreadableMessage(picturePath),
                       png ? QStringLiteral("the PNG file is damaged")
                           : QStringLiteral("not a picture the program reads: damaged, or neither BMP, JPEG nor PNG"));
    Bitmap target(ScreenWidth, DesktopHeight);
    if (!fitPicture(*picture, target))
        return refusal(TooSmallMessage(), QStringLiteral("the picture is too small: it must be at least 176 x 200 pixels"));
    picture.reset();   // the user's picture can be large; it is done with

    auto write = [&ws](const Bitmap& b, const QString& slot) { (void)ws.writePicture(slot, b); };

    const Bitmap top = banner(target, options);
    if (options.separate) {
        write(top, topSlot(state.scheme));
    } else {
        for (QChar n : {u'1', u'2', u'3', u'4'})
            write(top, topSlot(n));
    }
    write(background(target, options), BackgroundSlot);

    // The strip of the current scheme only, from the banner file as written.
    Bitmap strip = ws.picture(topSlot(state.scheme));
    strip.setHeight(12);
    if (!strip.empty())
        write(strip, tempSlot(state.scheme));
    return Done();
}

} // namespace kastra

// The preview command: the handset desktop and the menu icons painted by the
// window's own painters from a temporary workspace, saved as PNG files.

#include "cli.h"

#include "workspace/app_state.h"
#include "preview/desktop_painter.h"
#include "platform/fileops.h"
#include "mbm/mbm.h"
#include "preview/menu_painter.h"
#include "package/package_check.h"
#include "workspace/slots.h"
#include "preview/surface.h"
#include "converter/setup.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QSaveFile>

namespace kastra::cli {

namespace {

// The window's background (the button face), behind the desktop preview
// and the menu folder icons.
constexpr Colour kWindowBackground = rgb(212, 208, 200);
constexpr int kMenuGap = 4;

std::optional<mbm::Mode> modeOf(const QString& prefix)
{
    if (prefix == QLatin1String("/1"))
        return mbm::Mode{1, false};
    for (const int bpp : {4, 8, 12, 16, 24, 32})
        if (prefix == QStringLiteral("/c%1").arg(bpp))
            return mbm::Mode{bpp, true};
    return std::nullopt;
}

// Reduces one slot picture to a depth as bmconv packs it and the handset
// shows it, and writes it back at 24 bits.
bool reduceSlot(const QString& path, mbm::Mode mode)
{
    Bitmap picture = readBmpOrEmpty(fsPath(path));
    if (picture.empty())
        return true;   // nothing there to show either way
    std::vector<mbm::Rgb> pixels;
    pixels.reserve(static_cast<std::size_t>(picture.width()) * static_cast<std::size_t>(picture.height()));
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const Colour c = picture.getPixel(x, y);
            pixels.push_back({static_cast<std::uint8_t>(redOf(c)), static_cast<std::uint8_t>(greenOf(c)),
                              static_cast<std::uint8_t>(blueOf(c))});
        }
    const auto reduced = mbm::makeBitmap(mode, picture.width(), picture.height(), pixels, 0, 0);
    if (!reduced)
        return false;
    Bitmap out(picture.width(), picture.height());
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const mbm::Rgb p = reduced->pixel(x, y);
            out.setPixel(x, y, rgb(p.r, p.g, p.b));
        }
    return out.writeBmp(fsPath(path)).ok();
}

std::optional<QString> reduceToHandset(const Workspace& ws)
{
    for (const char* file : ThemeFiles)
        for (const SlotExpectation& e : themeFileCatalogue(QString::fromLatin1(file))) {
            const auto mode = modeOf(e.prefix);
            if (mode && !reduceSlot(slotPath(ws.root, e.slot), *mode))
                return QStringLiteral("cannot reduce ") + e.slot;
        }
    return std::nullopt;
}

bool savePng(const QImage& image, const QString& path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    return image.save(&file, "PNG") && file.commit();
}

// The icons page's three groups one under the other: the small folder icons,
// the large ones, and the three standard folder icons side by side.
QImage composeMenu(const MenuSurfaces& s)
{
    const int width = std::max({s.smallFolders.width(), s.largeFolders.width(),
                                s.avkon136.width() + s.avkon138.width() + s.avkon202.width() + 2 * kMenuGap});
    const int height = s.smallFolders.height() + s.largeFolders.height() + s.avkon138.height() + 2 * kMenuGap;
    QImage out(width, height, QImage::Format_RGB32);
    out.fill(toQRgb(IconsPageBackground));
    QPainter p(&out);
    int y = 0;
    p.drawImage(0, y, s.smallFolders.image());
    y += s.smallFolders.height() + kMenuGap;
    p.drawImage(0, y, s.largeFolders.image());
    y += s.largeFolders.height() + kMenuGap;
    int x = 0;
    for (const Surface* icon : {&s.avkon136, &s.avkon138, &s.avkon202}) {
        p.drawImage(x, y, icon->image());
        x += icon->width() + kMenuGap;
    }
    p.end();
    return out;
}

} // namespace

int runPreview(const Args& args)
{
    if (args.positional.size() != 1 || !args.option(QStringLiteral("--out"))) {
        printError(QStringLiteral("preview needs THEME_DIR or PACKAGE.sis and --out FILE.png (see --help)"));
        return ExitUsage;
    }
    const std::optional<QChar> chosen = schemeOption(args);
    if (!chosen)
        return ExitUsage;
    const QChar scheme = *chosen;
    const QString input = absolutePath(args.positional[0]);
    const QString desktopPng = *args.option(QStringLiteral("--out"));
    const std::optional<QString> menuPng = args.option(QStringLiteral("--menu"));
    for (const QString& png : {desktopPng, menuPng.value_or(desktopPng)}) {
        if (const auto problem = outputFileProblem(png)) {
            printError(*problem);
            return ExitUsage;
        }
    }

    ThemeBytes themeFiles;
    std::optional<Failure> failed;
    if (QFileInfo(input).isDir()) {
        failed = readThemeFiles(input, themeFiles);
    } else {
        Bytes sis;
        failed = readPackage(input, sis);
        if (!failed)
            failed = readThemeFilesFromPackage(input, sis, themeFiles);
    }
    if (failed) {
        printError(failed->message);
        return failed->status;
    }

    TempWorkspace temp;
    if (!temp.ready())
        return ExitFailed;
    const Workspace& ws = temp.workspace();
    if (const auto notWritten = writeThemeFiles(themeFiles, ws)) {
        printError(notWritten->message);
        return notWritten->status;
    }
    AppState state;
    state.workspaceRoot = ws.root;
    state.programFolder = ws.programFolder;
    state.scheme = scheme;
    // A narrow background gets its strip at the bottom, as the import sets
    // the window's option.
    const bool stripBottom = PrepareWorkspace(ws, false, true, state.scratch.desktop);
    if (const auto unpacked = checkUnpacked(ws)) {
        printError(unpacked->message);
        return unpacked->status;
    }
    if (args.flag(QStringLiteral("--as-handset"))) {
        if (const auto error = reduceToHandset(ws)) {
            printError(*error);
            return ExitFailed;
        }
    }

    Surface desktop(PreviewWidth, PreviewHeight, kWindowBackground);
    PaintDesktop(state, ws, stripBottom, desktop);
    if (!savePng(desktop.image(), desktopPng)) {
        printError(QStringLiteral("cannot write ") + desktopPng);
        return ExitFailed;
    }
    printOut(desktopPng);
    if (menuPng) {
        // As on the icons page: the folder rows on the face of their group,
        // the standard folder icons on the page's blue.
        Surface small(252, 29, kWindowBackground), large(264, 44, kWindowBackground),
            a136(42, 29, IconsPageBackground), a138(44, 44, IconsPageBackground), a202(30, 40, IconsPageBackground);
        const MenuSurfaces views{small, large, a136, a138, a202};
        PaintMenu(ws, views);
        if (!savePng(composeMenu(views), *menuPng)) {
            printError(QStringLiteral("cannot write ") + *menuPng);
            return ExitFailed;
        }
        printOut(*menuPng);
    }
    return ExitOk;
}

} // namespace kastra::cli

// The preview command: the handset desktop and the menu icons painted by the
// window's own painters from a temporary workspace, saved as PNG files, in
// the normal view or the handset view.

#include "cli.h"

#include "converter/setup.h"
#include "picture/screen_colours.h"
#include "preview/desktop_painter.h"
#include "preview/handset_view.h"
#include "preview/menu_painter.h"
#include "preview/snapshot.h"
#include "preview/surface.h"
#include "workspace/app_state.h"

#include <QFileInfo>
#include <QImage>

namespace kastra::cli {

namespace {

// --screen-colours: 4096 unless told otherwise; nothing, after saying why,
// for any other value.
std::optional<ScreenColours> screenOption(const Args& args)
{
    const QString given = args.option(QStringLiteral("--screen-colours")).value_or(QStringLiteral("4096"));
    if (given == QLatin1String("4096"))
        return ScreenColours::Colours4096;
    if (given == QLatin1String("65536"))
        return ScreenColours::Colours65536;
    printError(QStringLiteral("--screen-colours must be 4096 or 65536, not ") + given);
    return std::nullopt;
}

// --scale: a whole factor from 1 to 4, 1 unless told otherwise.
std::optional<int> scaleOption(const Args& args)
{
    const QString given = args.option(QStringLiteral("--scale")).value_or(QStringLiteral("1"));
    bool ok = false;
    const int factor = given.toInt(&ok);
    if (ok && factor >= MinSnapshotScale && factor <= MaxSnapshotScale)
        return factor;
    printError(QStringLiteral("--scale must be a whole number from 1 to 4, not ") + given);
    return std::nullopt;
}

bool savePng(const QImage& image, int scale, const QString& path)
{
    const auto written = WritePng(ScaledBy(image, scale), path);
    if (!written) {
        printError(QStringLiteral("cannot write ") + path + QStringLiteral(": ")
                   + QString::fromStdString(written.error()));
        return false;
    }
    printOut(path);
    return true;
}

} // namespace

int runPreview(const Args& args)
{
    const std::optional<QString> desktopPng = args.option(QStringLiteral("--out"));
    const std::optional<QString> menuPng = args.option(QStringLiteral("--menu"));
    const std::optional<QString> snapshotPng = args.option(QStringLiteral("--snapshot"));
    if (args.positional.size() != 1 || (!desktopPng && !snapshotPng)) {
        printError(QStringLiteral(
            "preview needs THEME_DIR or PACKAGE.sis and --out FILE.png or --snapshot FILE.png (see --help)"));
        return ExitUsage;
    }
    const std::optional<QChar> scheme = schemeOption(args);
    const std::optional<ScreenColours> screen = screenOption(args);
    const std::optional<int> scale = scaleOption(args);
    if (!scheme || !screen || !scale)
        return ExitUsage;
    const QString input = absolutePath(args.positional[0]);
    for (const auto& png : {desktopPng, menuPng, snapshotPng}) {
        if (!png)
            continue;
        if (const auto problem = outputFileProblem(*png)) {
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
    state.scheme = *scheme;
    // A narrow background gets its strip at the bottom, as the import sets
    // the window's option.
    bool stripBottom = false;
    if (const auto notPrepared = prepareFromThemeFiles(ws, &stripBottom)) {
        printError(notPrepared->message);
        return notPrepared->status;
    }
    // The window's handset view: the same reader, so the same pixels.
    SlotPictures pictures;
    pictures.setHandset(args.flag(QStringLiteral("--as-handset")));
    pictures.setScreenColours(*screen);

    Surface desktop(PreviewWidth, PreviewHeight, SnapshotBackground);
    PaintDesktop(state, ws, stripBottom, desktop, pictures);
    MenuSurfaceSet menu;
    if (menuPng || snapshotPng)
        PaintMenu(ws, menu.views(), pictures);

    if (desktopPng && !savePng(desktop.image(), *scale, *desktopPng))
        return ExitFailed;
    if (menuPng && !savePng(ComposeMenu(menu.views()), *scale, *menuPng))
        return ExitFailed;
    if (snapshotPng && !savePng(ComposeSnapshot(desktop.image(), ComposeMenu(menu.views())), *scale, *snapshotPng))
        return ExitFailed;
    return ExitOk;
}

} // namespace kastra::cli

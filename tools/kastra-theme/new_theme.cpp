// The new command: a whole theme from one picture, made by the steps the
// window takes from its start (the default theme, or the override folder's)
// to its five save buttons: the picture imported, the scheme chosen, the
// painters run after each step as the window repaints, the files packed.

#include "cli.h"

#include "base/fileio.h"
#include "base/safe_file.h"
#include "converter/setup.h"
#include "converter/theme_files.h"
#include "edit/picture_import.h"
#include "edit/schemes.h"
#include "platform/fileops.h"
#include "preview/desktop_painter.h"
#include "preview/menu_painter.h"
#include "preview/snapshot.h"
#include "preview/surface.h"
#include "preview/thumbnails_painter.h"
#include "workspace/app_state.h"

#include <QDir>
#include <QFileInfo>

#include <vector>

namespace kastra::cli {

namespace {

constexpr std::uintmax_t kMaxThemeFileBytes = 64u * 1024 * 1024;

// The window's views, which the painters draw into; what they draw is not
// kept, only the files they write.
struct Views {
    static constexpr Colour Face = SnapshotBackground;
    Surface preview{PreviewWidth, PreviewHeight, Face};
    Surface desktopStrip{176, 12, Face}, bootStrip{176, 12, Face}, noSignal{32, 12, Face},
        signalStrip{192, 12, Face}, avkon445{44, 12, Face};
    MenuSurfaceSet menu;
};

// The repaints the window makes after a step: the desktop preview, the
// thumbnails of the pictures page and, when asked, the icons page, whose
// painters write the default banner, Temp<N>.bmp and the menu masks.
void repaint(AppState& state, const Workspace& ws, const ImportOptions& options, Views& v, bool menu)
{
    PaintDesktop(state, ws, options.bottom, v.preview);
    PaintThumbnails(state, ws, ThumbnailSurfaces{v.desktopStrip, v.bootStrip, v.noSignal, v.signalStrip, v.avkon445},
                    v.preview);
    if (menu)
        PaintMenu(ws, v.menu.views());
}

} // namespace

int runNew(const Args& args)
{
    if (args.positional.size() != 1 || !args.option(QStringLiteral("--picture"))) {
        printError(QStringLiteral("new needs DIR and --picture FILE (see --help)"));
        return ExitUsage;
    }
    const std::optional<QChar> chosen = schemeOption(args);
    if (!chosen)
        return ExitUsage;
    const QChar scheme = *chosen;
    // The window's settings at its first run, changed by the options.
    ImportOptions options;
    options.separate = args.flag(QStringLiteral("--separate-banners"));
    options.top = args.flag(QStringLiteral("--top-strip"));
    options.bottom = !args.flag(QStringLiteral("--no-bottom-strip"));
    const QString picture = *args.option(QStringLiteral("--picture"));
    const QString out = absolutePath(args.positional[0]);
    if (const auto problem = inputProblem(picture, InputKind::File)) {
        printError(QStringLiteral("the picture: ") + *problem);
        return ExitUsage;
    }
    if (const auto problem = outputFolderProblem(out, true)) {
        printError(*problem);
        return ExitUsage;
    }

    TempWorkspace temp;
    if (!temp.ready())
        return ExitFailed;
    const Workspace& ws = temp.workspace();
    AppState state;
    Views views;

    // The start: the default theme unpacked, then the first repaints (the
    // icons page's too, as the window paints it when it comes to the front).
    if (const Result<bool> prepared = PrepareWorkspace(ws, false, false); !prepared) {
        printError(QStringLiteral("cannot set up the temporary workspace: ") + QString::fromStdString(prepared.error()));
        return ExitFailed;
    }
    repaint(state, ws, options, views, true);

    const Outcome imported = ImportPicture(state, ws, picture, options);
    if (!imported.ok) {
        printError(picture + QStringLiteral(": ") + imported.note);
        return ExitUsage;
    }
    repaint(state, ws, options, views, false);
    SelectScheme(state, ws, scheme, options.separate);
    repaint(state, ws, options, views, false);

    // The save buttons write into a folder of our own; the five files then
    // replace their namesakes in DIR all together or not at all.
    const QString staging = temp.scratchFolder();
    std::vector<NewFile> files;
    for (std::size_t i = 0; i < std::size(ThemeFiles); ++i) {
        const auto file = static_cast<ThemeFile>(i);
        const Outcome saved = SaveThemeFileInto(ws, file, staging);
        if (!saved.ok) {
            printError(saved.note);
            return ExitFailed;
        }
        auto bytes = readFile(fsPath(staging + themeFileName(file)), kMaxThemeFileBytes);
        if (!bytes) {
            printError(QString::fromStdString(bytes.error()));
            return ExitFailed;
        }
        files.push_back({fsPath(FindInFolder(out, themeFileName(file))), std::move(*bytes)});
    }
    if (!CreateFolder(out, true)) {
        printError(QStringLiteral("cannot create ") + out);
        return ExitFailed;
    }
    if (const auto replaced = replaceFilesIn(fsPath(out), files); !replaced) {
        printError(QStringLiteral("nothing written: ") + QString::fromStdString(replaced.error()));
        return ExitFailed;
    }
    for (const NewFile& f : files)
        printOut(QString::fromLocal8Bit(f.target.c_str()));
    return ExitOk;
}

} // namespace kastra::cli

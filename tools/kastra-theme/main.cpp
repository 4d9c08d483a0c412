// kastra-theme: the command-line companion of the theme creator. It builds,
// imports and checks theme packages with the same code the window runs,
// without a window or a display.

#include "cli.h"

#include "base/version.h"
#include "preview/fonts.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <QStringList>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <memory>
#include <span>

namespace {

const char kHelp[] =
    "usage: kastra-theme COMMAND ...\n"
    "       kastra-theme -h | --help | --version\n"
    "\n"
    "Makes, builds, imports, checks and compares Halvorn Kastra themes and\n"
    "theme packages (.sis) as the theme creator's window does. Options take their value as the next word or\n"
    "after '=' (--out=DIR); paths are relative to the current folder.\n"
    "\n"
    "  kastra-theme build THEME_DIR --name NAME --file FILE [--greeting TEXT_FILE]\n"
    "                     [--font FILE.gdr] [--menu-aif FILE] [--app-aif FILE]\n"
    "                     [--out DIR] [--font-number N]\n"
    "      Builds FILE.sis in DIR (default: the current directory) from the five\n"
    "      theme MBM files in THEME_DIR (EidPic.mbm, backgroundimage.mbm,\n"
    "      Avkon.mbm, AvkonEx.mbm, menu_folders.mbm), as the save buttons write\n"
    "      them. NAME is the theme's name on the handset; FILE holds Latin\n"
    "      letters, digits and '_' and is at least two characters long. The\n"
    "      welcome text (UTF-8 or Windows-1251) defaults to the window's. A font\n"
    "      or .aif file replaces the built-in one. The font number is drawn anew\n"
    "      for every build unless --font-number or SOURCE_DATE_EPOCH fixes it;\n"
    "      then two builds give the same bytes.\n"
    "\n"
    "  kastra-theme import PACKAGE.sis --out DIR\n"
    "      Writes the package's theme files (the five MBM files, veZozi.aif and\n"
    "      veZorCtrl.aif, whichever it holds) into DIR, all of them or, when one\n"
    "      cannot be written, none. Needs SISTool.exe beside kastra-theme.\n"
    "\n"
    "  kastra-theme check PACKAGE.sis\n"
    "      Lists the package's files, verifies its checksums, and compares every\n"
    "      bitmap of its five theme MBM files with the slot catalogue, naming\n"
    "      each difference (status 2 when there is one).\n"
    "\n"
    "  kastra-theme preview THEME_DIR|PACKAGE.sis [--out desktop.png] [--scheme N]\n"
    "                       [--menu menu.png] [--snapshot FILE.png] [--as-handset]\n"
    "                       [--screen-colours 4096|65536] [--scale N]\n"
    "      Renders the handset desktop (and the menu icons) as the window's\n"
    "      previews show them, as PNG files. --scheme picks the colour scheme's\n"
    "      banner (1 to 4, default 1); --snapshot writes the desktop and the menu\n"
    "      icons side by side in one picture; --as-handset shows every picture\n"
    "      as the handset does: packed at the depth its theme file stores it at,\n"
    "      then truncated to the screen's colours (--screen-colours, default\n"
    "      4096); --scale N (1 to 4, default 1) makes every pixel N x N.\n"
    "      Needs --out or --snapshot.\n"
    "\n"
    "  kastra-theme new DIR --picture FILE [--scheme N] [--separate-banners]\n"
    "                   [--top-strip] [--no-bottom-strip]\n"
    "      Writes the five theme MBM files into DIR (created when missing) as the\n"
    "      window's save buttons write them after its steps from the start: the\n"
    "      default theme (or the override folder's) with the picture (BMP, JPEG\n"
    "      or PNG, at least 176 x 200) imported and then the colour scheme N (1 to\n"
    "      4, default 1) chosen. The options are the window's settings, which\n"
    "      default to those of its first run: --separate-banners is \"Разные\n"
    "      картинки для EidPic\" (the picture goes to the current banner only),\n"
    "      --top-strip is \"Сверху\" (side strips in the banner too),\n"
    "      --no-bottom-strip clears \"Снизу\" (a full-width background). Then\n"
    "      'kastra-theme build DIR ...' makes the package.\n"
    "\n"
    "  kastra-theme diff A B [--sheet FILE.png]\n"
    "      Compares two themes, each a folder with the five theme files or a\n"
    "      package, bitmap by bitmap as the handset shows them. Prints one line\n"
    "      per bitmap that differs: the theme file, the bitmap's index, and the\n"
    "      number of differing pixels or what else differs (size, depth).\n"
    "      --sheet writes a PNG showing each differing bitmap\n"
    "      of A beside B, scaled up by whole pixels, under its name (none when the\n"
    "      themes are equal). Exit status 0 when they are equal, 1 when they\n"
    "      differ.\n"
    "\n"
    "Exit status, the same for every command and input: 0 on success; 1 when\n"
    "the work failed (a file could not be written, a tool failed) or diff found\n"
    "differences; 2 for a wrong command line, or an input that cannot be read\n"
    "or is not what the command takes (missing, a FIFO, a name that is not\n"
    "UTF-8, a path too long, a damaged package, a theme file the window's load\n"
    "buttons would refuse, a picture new cannot import). Inputs are checked\n"
    "before any work. See kastra-theme(1) for the table.\n";

using Command = int (*)(const kastra::cli::Args&);

struct CommandSpec {
    const char* name;
    std::span<const kastra::cli::OptionSpec> options;
    Command run;
    bool paints;   // needs a QGuiApplication
    // Needs one only when this option is given.
    const char* paintsWith = nullptr;
};

using kastra::cli::OptionKind;
constexpr kastra::cli::OptionSpec kBuildOptions[] = {
    {"name", OptionKind::Value},     {"file", OptionKind::Value},    {"greeting", OptionKind::Path},
    {"font", OptionKind::Path},      {"menu-aif", OptionKind::Path}, {"app-aif", OptionKind::Path},
    {"out", OptionKind::Path},       {"font-number", OptionKind::Value},
};
constexpr kastra::cli::OptionSpec kNewOptions[] = {
    {"picture", OptionKind::Path}, {"scheme", OptionKind::Value}, {"separate-banners", OptionKind::Flag},
    {"top-strip", OptionKind::Flag}, {"no-bottom-strip", OptionKind::Flag}};
constexpr kastra::cli::OptionSpec kDiffOptions[] = {{"sheet", OptionKind::Path}};
constexpr kastra::cli::OptionSpec kImportOptions[] = {{"out", OptionKind::Path}};
constexpr kastra::cli::OptionSpec kPreviewOptions[] = {
    {"out", OptionKind::Path},          {"scheme", OptionKind::Value}, {"menu", OptionKind::Path},
    {"as-handset", OptionKind::Flag},   {"snapshot", OptionKind::Path}, {"screen-colours", OptionKind::Value},
    {"scale", OptionKind::Value}};

const CommandSpec kCommands[] = {
    {"build", kBuildOptions, kastra::cli::runBuild, false},
    {"import", kImportOptions, kastra::cli::runImport, false},
    {"check", {}, kastra::cli::runCheck, false},
    {"preview", kPreviewOptions, kastra::cli::runPreview, true},
    {"new", kNewOptions, kastra::cli::runNew, true},
    {"diff", kDiffOptions, kastra::cli::runDiff, false, "--sheet"},
};

// Qt's own warnings (a runtime folder it would like, a font it misses) are
// not this program's messages and say nothing the user can act on; only a
// fatal one is shown before Qt ends the process.
void dropQtWarnings(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtFatalMsg)
        std::fputs((QStringLiteral("kastra-theme: ") + message + u'\n').toLocal8Bit().constData(), stderr);
}

} // namespace

int main(int argc, char** argv)
{
    qInstallMessageHandler(dropQtWarnings);
    if (const auto undecodable = kastra::cli::undecodableWord(argc, argv)) {
        kastra::cli::printError(*undecodable);
        return kastra::cli::ExitUsage;
    }
    QStringList words;
    for (int i = 1; i < argc; ++i)
        words << QString::fromLocal8Bit(argv[i]);
    if (words.isEmpty()) {
        std::fputs(kHelp, stderr);
        return kastra::cli::ExitUsage;
    }
    const QString command = words.takeFirst();
    if (command == QLatin1String("--help") || command == QLatin1String("-h") || command == QLatin1String("help")) {
        std::fputs(kHelp, stdout);
        return kastra::cli::ExitOk;
    }
    if (command == QLatin1String("--version")) {
        std::fputs(kastra::versionText("kastra-theme").c_str(), stdout);
        return kastra::cli::ExitOk;
    }
    const auto spec = std::find_if(std::begin(kCommands), std::end(kCommands),
                                   [&command](const CommandSpec& c) { return command == QLatin1String(c.name); });
    if (spec == std::end(kCommands)) {
        kastra::cli::printError(QStringLiteral("unknown command ") + command + QStringLiteral(" (see --help)"));
        return kastra::cli::ExitUsage;
    }

    // The command line is read before the application object exists, so
    // --help and a refused word start nothing and touch no file.
    kastra::cli::Args args;
    if (const auto error = kastra::cli::parseArgs(words, spec->options, args)) {
        kastra::cli::printError(*error);
        return kastra::cli::ExitUsage;
    }
    if (args.help) {
        std::fputs(kHelp, stdout);
        return kastra::cli::ExitOk;
    }

    // Only the painting commands draw text, and Qt's fonts need a GUI application; it
    // runs on the offscreen platform, so no display is needed.
    const bool paints = spec->paints || (spec->paintsWith && args.option(QString::fromLatin1(spec->paintsWith)));
    if (paints && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> app = paints ? std::make_unique<QGuiApplication>(argc, argv)
                                                   : std::make_unique<QCoreApplication>(argc, argv);
    // The application object took the user's locale; the C library's error
    // texts stay English, as every message here is.
    std::setlocale(LC_MESSAGES, "C");
    if (paints)
        kastra::InstallFontSubstitutes();
    kastra::cli::installSignalCleanup();
    return spec->run(args);
}

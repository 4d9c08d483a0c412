// kastra-theme: the command-line companion of the theme creator. It builds,
// imports and checks theme packages with the same code the window runs,
// without a window or a display.

#include "cli.h"

#include "preview/fonts.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdio>
#include <memory>
#include <string_view>

namespace {

const char kHelp[] =
    "usage: kastra-theme COMMAND ...\n"
    "\n"
    "Builds, imports and checks Halvorn Kastra theme packages (.sis) as the\n"
    "theme creator's window does.\n"
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
    "      veZorCtrl.aif, whichever it holds) into DIR. Needs SISTool.exe beside\n"
    "      kastra-theme.\n"
    "\n"
    "  kastra-theme check PACKAGE.sis\n"
    "      Lists the package's files, verifies its checksums, and compares every\n"
    "      bitmap of its five theme MBM files with the slot catalogue (count,\n"
    "      size, colour depth).\n"
    "\n"
    "  kastra-theme preview THEME_DIR|PACKAGE.sis --out desktop.png [--scheme N]\n"
    "                       [--menu menu.png] [--as-handset]\n"
    "      Renders the handset desktop (and the menu icons) as the window's\n"
    "      previews show them, as PNG files. --scheme picks the colour scheme's\n"
    "      banner (1 to 4, default 1); --as-handset first reduces every picture\n"
    "      to the depth its theme file packs it at.\n"
    "\n"
    "Exit status: 0 on success, 1 when the operation failed or check found\n"
    "problems, 2 for a wrong command line or unreadable input.\n";

} // namespace

int main(int argc, char** argv)
{
    // Only the preview draws text, and Qt's fonts need a GUI application; it
    // runs on the offscreen platform, so no display is needed.
    const bool preview = argc > 1 && std::string_view(argv[1]) == "preview";
    if (preview && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> app =
        preview ? std::make_unique<QGuiApplication>(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
    if (preview)
        kastra::InstallFontSubstitutes();
    QStringList words = QCoreApplication::arguments();
    words.removeFirst();
    if (words.isEmpty()) {
        std::fputs(kHelp, stderr);
        return kastra::cli::ExitUsage;
    }
    const QString command = words.takeFirst();
    if (command == QLatin1String("--help") || command == QLatin1String("-h") || command == QLatin1String("help")) {
        std::fputs(kHelp, stdout);
        return kastra::cli::ExitOk;
    }
    if (words.contains(QLatin1String("--help")) || words.contains(QLatin1String("-h"))) {
        std::fputs(kHelp, stdout);
        return kastra::cli::ExitOk;
    }
    if (command == QLatin1String("build"))
        return kastra::cli::runBuild(words);
    if (command == QLatin1String("import"))
        return kastra::cli::runImport(words);
    if (command == QLatin1String("check"))
        return kastra::cli::runCheck(words);
    if (command == QLatin1String("preview"))
        return kastra::cli::runPreview(words);
    kastra::cli::printError(QStringLiteral("unknown command ") + command + QStringLiteral(" (see --help)"));
    return kastra::cli::ExitUsage;
}

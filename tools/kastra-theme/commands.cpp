// The build, import and check commands.

#include "cli.h"

#include "package/build.h"
#include "platform/codepage.h"
#include "base/fileio.h"
#include "base/safe_file.h"
#include "handset/aif.h"
#include "handset/gdr.h"
#include "platform/fileops.h"
#include "package/import.h"
#include "package/loaders.h"
#include "mbm/mbm.h"
#include "package/package_check.h"
#include "package/package_script.h"
#include "converter/setup.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <cstdlib>

namespace kastra::cli {

namespace {

// A welcome text beyond this is not a greeting.
constexpr std::uintmax_t kMaxGreetingBytes = 64 * 1024;
// Fonts, application files and theme files are at most a few hundred KiB.
constexpr std::uintmax_t kMaxTakeOverBytes = 64u * 1024 * 1024;
// The command line is not a window: SISTool gets longer than 300 ms here.
constexpr int kImportTimeoutMs = 60000;

// UTF-8 when the bytes are valid UTF-8 (a byte-order mark is dropped), else
// Windows-1251, as the program's own text files are.
QString decodeText(const Bytes& bytes)
{
    const QByteArray raw(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(raw);
    if (!utf8.hasError())
        return text;
    return fromCp1251(raw);
}

std::optional<std::uint32_t> fontNumberFrom(const Args& args, QString& error)
{
    if (const auto given = args.option(QStringLiteral("--font-number"))) {
        bool ok = false;
        const uint n = given->toUInt(&ok, 10);
        if (!ok || n > MaxFontNumber) {
            error = QStringLiteral("--font-number must be a number from 0 to 65534");
            return std::nullopt;
        }
        return n;
    }
    if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"); epoch && *epoch) {
        bool ok = false;
        const qulonglong seed = QString::fromLatin1(epoch).toULongLong(&ok, 10);
        if (!ok) {
            error = QStringLiteral("SOURCE_DATE_EPOCH must be a decimal number");
            return std::nullopt;
        }
        return DrawFontNumber(seed);
    }
    return std::nullopt;
}

// Why a file given for --font, --menu-aif or --app-aif is not what the
// option takes, or nothing.
std::optional<QString> checkLoadedFile(LoadedFile kind, const QString& path)
{
    Bytes bytes;
    if (const auto failed = readInputFile(path, kMaxTakeOverBytes, bytes))
        return failed->message;
    if (kind == LoadedFile::Font) {
        if (const auto store = gdr::readFontStore(bytes); !store)
            return path + QStringLiteral(": not a font store: ") + QString::fromStdString(store.error());
    } else if (const auto info = aif::readAif(bytes); !info) {
        return path + QStringLiteral(": not an application information file: ") + QString::fromStdString(info.error());
    }
    return std::nullopt;
}

} // namespace

int runBuild(const Args& args)
{
    if (args.positional.size() != 1 || !args.option(QStringLiteral("--name")) || !args.option(QStringLiteral("--file"))) {
        printError(QStringLiteral("build needs THEME_DIR, --name NAME and --file FILE (see --help)"));
        return ExitUsage;
    }
    BuildInputs inputs;
    inputs.themeName = *args.option(QStringLiteral("--name"));
    inputs.fileName = *args.option(QStringLiteral("--file"));
    if (const auto refused = CheckBuildNames(inputs.themeName, inputs.fileName)) {
        printError(refused->note);
        return ExitUsage;
    }
    QString error;
    inputs.fontNumber = fontNumberFrom(args, error);
    if (!error.isEmpty()) {
        printError(error);
        return ExitUsage;
    }
    inputs.deliveryFolder = args.option(QStringLiteral("--out")).value_or(absolutePath(QStringLiteral(".")));
    if (const auto problem = outputFolderProblem(inputs.deliveryFolder, false)) {
        printError(QStringLiteral("the output folder: ") + *problem);
        return ExitUsage;
    }

    // Every input is read and checked before anything is made: what cannot
    // be read is the caller's to mend (status 2); what fails after is ours
    // (status 1).
    inputs.greeting = DefaultGreeting();
    if (const auto greeting = args.option(QStringLiteral("--greeting"))) {
        Bytes bytes;
        if (const auto failed = readInputFile(*greeting, kMaxGreetingBytes, bytes)) {
            printError(failed->message);
            return failed->status;
        }
        inputs.greeting = decodeText(bytes);
    }
    ThemeBytes themeFiles;
    if (const auto failed = readThemeFiles(absolutePath(args.positional[0]), themeFiles)) {
        printError(failed->message);
        return failed->status;
    }
    const std::pair<const char*, LoadedFile> loads[] = {
        {"--font", LoadedFile::Font}, {"--menu-aif", LoadedFile::MenuAif}, {"--app-aif", LoadedFile::AppAif}};
    for (const auto& [option, kind] : loads) {
        if (const auto path = args.option(QString::fromLatin1(option))) {
            if (const auto why = checkLoadedFile(kind, *path)) {
                printError(*why);
                return ExitUsage;
            }
        }
    }

    TempWorkspace temp;
    if (!temp.ready())
        return ExitFailed;
    const Workspace& ws = temp.workspace();
    if (const auto failed = writeThemeFiles(themeFiles, ws)) {
        printError(failed->message);
        return failed->status;
    }
    if (const auto failed = prepareFromThemeFiles(ws)) {
        printError(failed->message);
        return failed->status;
    }

    for (const auto& [option, kind] : loads) {
        if (const auto path = args.option(QString::fromLatin1(option))) {
            const Outcome loaded = LoadPackageFile(ws, kind, *path);
            if (!loaded.ok) {
                printError(loaded.note);
                return ExitFailed;
            }
        }
    }

    const BuildResult built = BuildPackage(ws, inputs);
    if (!built.outcome.ok) {
        printError(QStringLiteral("the build failed: ") + built.outcome.note);
        return ExitFailed;
    }
    printOut(QStringLiteral("%1 (font number %2)").arg(built.deliveredPath).arg(built.fontNumber));
    return ExitOk;
}

int runImport(const Args& args)
{
    if (args.positional.size() != 1 || !args.option(QStringLiteral("--out"))) {
        printError(QStringLiteral("import needs PACKAGE.sis and --out DIR (see --help)"));
        return ExitUsage;
    }
    const QString package = absolutePath(args.positional[0]);
    const QString out = *args.option(QStringLiteral("--out"));
    // Our own readers judge the package first, and the theme files in it as
    // the window's load buttons would, so that a damaged one is refused as
    // unreadable input, whatever SISTool would make of it.
    Bytes sis;
    ThemeBytes themeFiles;
    std::optional<Failure> failed = readPackage(package, sis);
    if (!failed)
        failed = readThemeFilesFromPackage(package, sis, themeFiles, true);
    if (!failed && std::all_of(themeFiles.begin(), themeFiles.end(), [](const Bytes& f) { return f.empty(); }))
        failed = Failure{ExitUsage, package + QStringLiteral(" holds none of the five theme files")};
    if (!failed) {
        if (const auto problem = outputFolderProblem(out, true))
            failed = Failure{ExitUsage, QStringLiteral("the output folder: ") + *problem};
    }
    if (failed) {
        printError(failed->message);
        return failed->status;
    }
    const QString sisTool = FindSisTool(executableFolder());
    if (sisTool.isEmpty()) {
        printError(QStringLiteral("SISTool.exe is not beside kastra-theme in ") + executableFolder());
        return ExitFailed;
    }
    TempWorkspace temp;
    if (!temp.valid()) {
        printError(QStringLiteral("cannot create a temporary folder in ") + QDir::tempPath());
        return ExitFailed;
    }
    const UnpackResult unpacked = UnpackPackage(sisTool, package, temp.scratchFolder(), kImportTimeoutMs);
    if (!unpacked.outcome.ok) {
        printError(QStringLiteral("nothing imported: ") + unpacked.outcome.note);
        return ExitFailed;
    }

    // The files replace their namesakes in DIR all together or not at all:
    // an import that stops half way must not leave a theme of two packages.
    std::vector<NewFile> files;
    const auto rows = takeOverRows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const QString& found = unpacked.found[static_cast<qsizetype>(i)];
        if (found.isEmpty())
            continue;
        auto bytes = readFile(fsPath(found), kMaxTakeOverBytes);
        if (!bytes) {
            printError(QStringLiteral("nothing imported: ") + QString::fromStdString(bytes.error()));
            return ExitFailed;
        }
        // An AVKON.MBM already there is replaced, not joined by Avkon.mbm.
        files.push_back({fsPath(FindInFolder(out, QString::fromLatin1(rows[i].name))), std::move(*bytes)});
    }
    if (!CreateFolder(out, true)) {
        printError(QStringLiteral("cannot create ") + out);
        return ExitFailed;
    }
    if (const auto replaced = replaceFilesIn(fsPath(out), files); !replaced) {
        printError(QStringLiteral("nothing imported: ") + QString::fromStdString(replaced.error()));
        return ExitFailed;
    }
    for (const NewFile& f : files)
        printOut(QString::fromLocal8Bit(f.target.c_str()));
    return ExitOk;
}

int runCheck(const Args& args)
{
    if (args.positional.size() != 1) {
        printError(QStringLiteral("check needs PACKAGE.sis (see --help)"));
        return ExitUsage;
    }
    Bytes bytes;
    if (const auto failed = readInputFile(absolutePath(args.positional[0]), MaxPackageBytes, bytes)) {
        printError(failed->message);
        return failed->status;
    }
    const auto check = CheckPackage(bytes);
    if (!check) {
        printError(args.positional[0] + QStringLiteral(" is not an installation package: ")
                   + QString::fromStdString(check.error()));
        return ExitUsage;
    }
    printOut(QStringLiteral("%1 files:").arg(check->files.size()));
    for (const QString& f : check->files)
        printOut(QStringLiteral("  ") + f);
    if (check->problems.isEmpty()) {
        printOut(QStringLiteral("checksums sound; the five theme files match the slot catalogue"));
        return ExitOk;
    }
    printOut(QStringLiteral("%1 problems:").arg(check->problems.size()));
    for (const QString& p : check->problems)
        printOut(QStringLiteral("  ") + p);
    // A damaged package, or one whose theme files the window's load buttons
    // would refuse, is input no other command takes either.
    if (const auto damage = packageDamage(bytes))
        printError(args.positional[0] + QStringLiteral(" is damaged: ") + *damage);
    else
        printError(args.positional[0] + QStringLiteral(" is not a theme package the theme creator takes"));
    return ExitUsage;
}

} // namespace kastra::cli

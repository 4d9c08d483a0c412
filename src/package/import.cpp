#include "package/import.h"

#include "handset/aif.h"
#include "base/fileio.h"
#include "platform/fileops.h"
#include "platform/process.h"
#include "mbm/mbm.h"
#include "workspace/slots.h"
#include "converter/converter.h"
#include "converter/setup.h"

#include <QDir>
#include <QFile>

#include <array>
#include <filesystem>
#include <utility>
#include <vector>

namespace kastra {

namespace {

constexpr std::array<TakeOverRow, 7> kRows = {{
    {"Avkon.mbm", "Avkon.mbm", true},
    {"AvkonEx.mbm", "AvkonEx.mbm", true},
    {"backgroundimage.mbm", "backgroundimage.mbm", true},
    {"EidPic.mbm", "EidPic.mbm", true},
    {"menu_folders.mbm", "menu_folders.mbm", true},
    {"veZozi.aif", "SIS\\veZozi.aif", false},
    {"veZorCtrl.aif", "SIS\\veZorCtrl.aif", false},
}};

// Theme files are a few hundred KiB; anything far larger is not one.
constexpr std::uintmax_t kMaxTakeOverBytes = 64u * 1024 * 1024;

const QString kNotImported = QStringLiteral("Тема не загружена.");

QString withSeparator(QString folder)
{
    if (!folder.endsWith(u'/') && !folder.endsWith(QDir::separator()))
        folder += u'/';
    return folder;
}

// The plain file in folder named name without regard to letter case, the
// exact name first; empty when there is none.
QString findNoCase(const QString& folder, const QString& name)
{
    const QDir dir(folder);
    const QFileInfo exact(dir, name);
    if (exact.isFile())
        return exact.absoluteFilePath();
    const QFileInfoList entries = dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QFileInfo& e : entries)
        if (e.fileName().compare(name, Qt::CaseInsensitive) == 0)
            return e.absoluteFilePath();
    return {};
}

// Why the file is not what its name says, or empty.
QString checkTakeOver(const TakeOverRow& row, const QString& path)
{
    const auto bytes = readFile(fsPath(path), kMaxTakeOverBytes);
    if (!bytes)
        return QString::fromStdString(bytes.error());
    // Every bitmap is read, not only the index: a file whose index reads but
    // whose bitmaps do not would be taken over and then fail to unpack, half
    // a theme.
    if (row.themeBitmapFile) {
        const auto bitmaps = mbm::readMbm(*bytes);
        return bitmaps ? QString() : QString::fromStdString(bitmaps.error());
    }
    const auto info = aif::readAif(*bytes);
    return info ? QString() : QString::fromStdString(info.error());
}

// Of the tool's error output, no more is kept than a message can show.
constexpr qsizetype kToolSaysBytes = 8000;

// What the tool wrote to its error output, as ": <its words>", at most a
// few lines of it; empty when it said nothing.
QString toolSays(const ProcessOutcome& tool)
{
    constexpr qsizetype maxChars = 2000;
    const QString said = QString::fromLocal8Bit(tool.errorOutput).trimmed();
    if (said.isEmpty())
        return {};
    if (said.size() > maxChars || tool.errorOutputCut)
        return QStringLiteral(": ") + said.left(maxChars) + QStringLiteral(" ...");
    return QStringLiteral(": ") + said;
}

UnpackResult refused(UnpackResult r, const QString& why, const QString& note)
{
    r.outcome = WarningOutcome(why + u'\n' + kNotImported, note);
    r.found.clear();
    return r;
}

} // namespace

QString FindSisTool(const QString& folder)
{
    return findNoCase(folder, QString::fromLatin1(SisToolName));
}

bool SisToolPresent(const QString& programFolder)
{
    return !FindSisTool(programFolder).isEmpty();
}

Outcome SisToolMissingOutcome()
{
    return WarningOutcome(QStringLiteral("Поместите файл SISTool.exe в директорию с программой"),
                          QStringLiteral("SISTool.exe is missing"));
}

std::span<const TakeOverRow> takeOverRows()
{
    return kRows;
}

void RemoveImportFolder(const QString& folder)
{
    // A link or a file planted as TEMP goes as a name; what a link points to
    // is never emptied.
    ClearFolder(withSeparator(folder) + QStringLiteral("TEMP"));
}

UnpackResult UnpackPackage(const QString& sisTool, const QString& packagePath, const QString& folder, int timeoutMs)
{
    UnpackResult r;
    r.importFolder = withSeparator(folder) + QStringLiteral("TEMP/");

    // Whatever an earlier import left must not pass for this package's files.
    RemoveImportFolder(folder);
    if (QFileInfo::exists(r.importFolder))
        return refused(r, QStringLiteral("Не удалось очистить папку TEMP в директории с программой."),
                       QStringLiteral("cannot empty the import folder ") + r.importFolder);

    // The package path is the tool's one argument as it is: no command line
    // is built and split again, so blanks and quotes in it are harmless.
    // Its error output is kept: the command line passes its reason on.
    const ProcessOutcome tool = RunHidden(sisTool, {packagePath}, folder, timeoutMs, kToolSaysBytes);
    if (!tool.started)
        return refused(r, QStringLiteral("Не удалось запустить SISTool.exe."),
                       QStringLiteral("cannot start ") + sisTool);
    if (!tool.finished)
        return refused(r, QStringLiteral("SISTool.exe не успел распаковать пакет."),
                       QStringLiteral("SISTool did not finish within %1 ms").arg(timeoutMs));
    if (tool.exitCode != 0)
        return refused(r,
                       QStringLiteral("SISTool.exe не смог распаковать пакет: файл повреждён или не является "
                                      "установочным пакетом."),
                       QStringLiteral("SISTool failed on the package (exit code %1)%2")
                           .arg(tool.exitCode)
                           .arg(toolSays(tool)));

    bool anyThemeFile = false;
    for (const TakeOverRow& row : kRows) {
        const QString path = findNoCase(r.importFolder, QString::fromLatin1(row.name));
        if (!path.isEmpty()) {
            if (const QString why = checkTakeOver(row, path); !why.isEmpty())
                return refused(r, QStringLiteral("Файл %1 в пакете повреждён.").arg(QString::fromLatin1(row.name)),
                               QString::fromLatin1(row.name) + QStringLiteral(" in the package is damaged: ") + why);
            anyThemeFile = anyThemeFile || row.themeBitmapFile;
        }
        r.found.push_back(path);
    }
    if (!anyThemeFile)
        return refused(r, QStringLiteral("В пакете нет файлов темы."),
                       QStringLiteral("the package holds none of the five theme MBM files"));
    r.outcome = Done();
    return r;
}

ImportResult ImportTheme(const Workspace& ws, const QString& sisTool, const QString& packagePath, int timeoutMs)
{
    ImportResult result;
    if (sisTool.isEmpty() || !IsFile(sisTool)) {
        result.outcome = SisToolMissingOutcome();
        return result;
    }
    UnpackResult unpacked = UnpackPackage(sisTool, packagePath, ws.programFolder(), timeoutMs);
    if (!unpacked.outcome.ok) {
        RemoveImportFolder(ws.programFolder());
        result.outcome = std::move(unpacked.outcome);
        return result;
    }

    // All or nothing: every file is written beside its target and renamed
    // only when all were written, the old ones kept until every rename
    // succeeded. A full disk or a folder in the way leaves the workspace
    // exactly as it was, not half a theme.
    (void)ws.makeFolder(QStringLiteral("SIS"));
    std::vector<NewFile> files;
    QString why;
    for (std::size_t i = 0; i < kRows.size() && why.isEmpty(); ++i) {
        const QString& found = unpacked.found[static_cast<qsizetype>(i)];
        if (found.isEmpty())
            continue;
        auto bytes = readFile(fsPath(found), kMaxTakeOverBytes);
        if (!bytes)
            why = QString::fromStdString(bytes.error());
        else {
            const QString target = QString::fromLatin1(kRows[i].target);
            files.push_back({fsPath(target), std::move(*bytes)});
        }
    }
    if (why.isEmpty()) {
        if (const auto replaced = ws.replaceTogether(files); !replaced)
            why = QString::fromStdString(replaced.error());
    }
    RemoveImportFolder(ws.programFolder());
    if (!why.isEmpty()) {
        result.outcome = WarningOutcome(QStringLiteral("Не удалось скопировать файлы темы.\n") + kNotImported,
                                        QStringLiteral("cannot copy the theme files into the workspace: ") + why);
        return result;
    }

    const Result<bool> prepared = PrepareWorkspace(ws, false, true);
    if (!prepared) {
        result.outcome = CommandFileRefused(Error{prepared.error(), prepared.code()});
        return result;
    }
    result.backgroundNarrow = *prepared;
    result.outcome = Done();
    result.outcome.note = QStringLiteral("theme taken over");
    return result;
}

} // namespace kastra

#include "workspace/workspace.h"

#include "platform/fileops.h"
#include "platform/folders.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

namespace kastra {

namespace {

// Whether this user can create files in the folder. Asked by creating one:
// permission bits say nothing for root, nor for a read-only mount.
bool canCreateFilesIn(const QString& folder)
{
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return false;
    QTemporaryFile probe(WithSeparator(folder) + QStringLiteral(".kastra-write-test-XXXXXX"));
    return probe.open();
}

// $XDG_DATA_HOME, or ~/.local/share when it is unset or not absolute (the
// base directory rules say to ignore a relative one).
QString dataHome()
{
    const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return xdg;
    return QDir::homePath() + QStringLiteral("/.local/share");
}

} // namespace

QString ResolveProgramFolder(const QString& executableFolder)
{
    if (canCreateFilesIn(executableFolder))
        return WithSeparator(executableFolder);
    // An installed program's folder belongs to the system; the user's theme
    // files, settings and packages go to the user's data folder instead.
    const QString folder = WithSeparator(dataHome()) + QStringLiteral("kastra-theme/");
    CreateFolder(folder, true);
    return folder;
}

QString FindInFolder(const QString& folder, const QString& name)
{
    const QString exact = WithSeparator(folder) + name;
    if (QFileInfo::exists(exact))
        return exact;
    // Sorted, so that of several case variants the same one is taken every
    // time.
    const QStringList entries = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString& entry : entries)
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return WithSeparator(folder) + entry;
    return exact;
}

QString FindBesideProgram(const QString& executableFolder, const QString& programFolder, const QString& name)
{
    const QString beside = FindInFolder(executableFolder, name);
    if (QFileInfo(beside).isFile())
        return beside;
    return FindInFolder(programFolder, name);
}

} // namespace kastra

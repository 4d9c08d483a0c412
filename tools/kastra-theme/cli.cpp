#include "cli.h"

#include "base/fileio.h"
#include "platform/fileops.h"
#include "mbm/mbm.h"
#include "package/package_check.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace kastra::cli {

std::optional<QString> Args::option(const QString& name) const
{
    const auto it = options.find(name);
    if (it == options.end())
        return std::nullopt;
    return it->second;
}

bool Args::flag(const QString& name) const
{
    return flags.count(name) != 0;
}

std::optional<QString> parseArgs(const QStringList& words, const QStringList& valueOptions,
                                 const QStringList& flagOptions, Args& out)
{
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString& w = words[i];
        if (!w.startsWith(QLatin1String("--")) || w == QLatin1String("--")) {
            out.positional << w;
            continue;
        }
        if (flagOptions.contains(w)) {
            out.flags[w] = true;
        } else if (valueOptions.contains(w)) {
            if (i + 1 >= words.size())
                return w + QStringLiteral(" needs a value");
            if (out.options.count(w))
                return w + QStringLiteral(" is given twice");
            out.options[w] = words[++i];
        } else {
            return QStringLiteral("unknown option ") + w;
        }
    }
    return std::nullopt;
}

void printOut(const QString& text)
{
    std::fputs((text + u'\n').toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

void printError(const QString& text)
{
    std::fputs((QStringLiteral("kastra-theme: ") + text + u'\n').toLocal8Bit().constData(), stderr);
}

QString absolutePath(const QString& path)
{
    return QFileInfo(path).absoluteFilePath();
}

QString executableFolder()
{
    QString folder = QCoreApplication::applicationDirPath();
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}

TempWorkspace::TempWorkspace() : m_dir(QDir::tempPath() + QStringLiteral("/kastra-theme-XXXXXX"))
{
    if (!m_dir.isValid())
        return;
    m_ws.root = m_dir.path() + QStringLiteral("/Temp/WorkDir/");
    m_ws.programFolder = executableFolder();
    m_valid = CreateFolder(m_ws.root, true) && CreateFolder(scratchFolder(), false);
    // The set-up from theme files expects the folders a start-up made; Menu
    // in particular is created only when the defaults are written.
    for (const char* folder : {"Avkon", "Signal", "Menu", "SIS"})
        m_valid = m_valid && CreateFolder(m_ws.root + QString::fromLatin1(folder), false);
}

TempWorkspace::~TempWorkspace()
{
    // The converter left the current directory inside the workspace; step
    // out before it is removed.
    QDir::setCurrent(QDir::tempPath());
}

std::optional<QString> copyThemeFiles(const QString& themeDir, const Workspace& ws)
{
    constexpr std::uintmax_t maxBytes = 64u * 1024 * 1024;
    for (const char* name : ThemeFiles) {
        const QString source = FindInFolder(themeDir, QString::fromLatin1(name));
        const auto bytes = readFile(fsPath(source), maxBytes);
        if (!bytes)
            return QStringLiteral("THEME_DIR has no readable ") + QString::fromLatin1(name) + QStringLiteral(": ")
                + QString::fromStdString(bytes.error());
        if (const auto index = mbm::readIndex(*bytes); !index)
            return source + QStringLiteral(" is not an MBM file: ") + QString::fromStdString(index.error());
        if (!CopyFileOver(source, ws.root + QString::fromLatin1(name)))
            return QStringLiteral("cannot copy ") + source + QStringLiteral(" into the workspace");
    }
    return std::nullopt;
}

std::optional<QString> copyThemeFilesFromPackage(const QString& package, const Workspace& ws)
{
    const auto sis = readFile(fsPath(package), MaxPackageBytes);
    if (!sis)
        return QString::fromStdString(sis.error());
    for (const char* name : ThemeFiles) {
        const auto data = packageFileData(*sis, QString::fromLatin1(name));
        if (!data)
            return package + QStringLiteral(" holds no readable ") + QString::fromLatin1(name);
        if (const auto index = mbm::readIndex(*data); !index)
            return QString::fromLatin1(name) + QStringLiteral(" in the package is not an MBM file: ")
                + QString::fromStdString(index.error());
        if (const auto written = writeFileAtomic(fsPath(ws.root + QString::fromLatin1(name)), *data); !written)
            return QString::fromStdString(written.error());
    }
    return std::nullopt;
}

QString TempWorkspace::scratchFolder() const
{
    return m_dir.path() + QStringLiteral("/import/");
}

} // namespace kastra::cli

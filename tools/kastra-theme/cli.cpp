#include "cli.h"

#include "fileops.h"

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

QString TempWorkspace::scratchFolder() const
{
    return m_dir.path() + QStringLiteral("/import/");
}

} // namespace kastra::cli

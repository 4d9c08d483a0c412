#include "cli.h"

#include "base/fileio.h"
#include "platform/fileops.h"
#include "mbm/mbm.h"
#include "package/package_check.h"

#include <QCommandLineParser>
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

std::optional<QString> parseArgs(const QStringList& words, std::span<const OptionSpec> options, Args& out)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    parser.addOption(help);
    for (const OptionSpec& spec : options) {
        QCommandLineOption option(QString::fromLatin1(spec.name));
        if (spec.kind != OptionKind::Flag)
            option.setValueName(QStringLiteral("value"));
        parser.addOption(option);
    }
    // The first word stands for the program's name, which the parser skips.
    if (!parser.parse(QStringList{QStringLiteral("kastra-theme")} + words)) {
        if (const QStringList unknown = parser.unknownOptionNames(); !unknown.isEmpty())
            return QStringLiteral("unknown option %1%2 (see --help)")
                .arg(unknown.first().size() == 1 ? QStringLiteral("-") : QStringLiteral("--"), unknown.first());
        return parser.errorText();
    }
    out.help = parser.isSet(help);
    out.positional = parser.positionalArguments();
    for (const OptionSpec& spec : options) {
        const QString name = QString::fromLatin1(spec.name);
        const QString key = QStringLiteral("--") + name;
        if (spec.kind == OptionKind::Flag) {
            if (parser.isSet(name))
                out.flags[key] = true;
            continue;
        }
        const QStringList values = parser.values(name);
        if (values.size() > 1)
            return key + QStringLiteral(" is given twice");
        if (values.size() == 1)
            out.options[key] = spec.kind == OptionKind::Path ? absolutePath(values.first()) : values.first();
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

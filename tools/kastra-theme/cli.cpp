#include "cli.h"

#include "base/fileio.h"
#include "base/safe_file.h"
#include "platform/fileops.h"
#include "mbm/mbm.h"
#include "package/package_check.h"
#include "platform/fatal.h"
#include "sis/sis_reader.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

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
        if (spec.kind == OptionKind::Path && values.size() == 1 && values.first().isEmpty())
            return key + QStringLiteral(" needs a path");
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

std::optional<QChar> schemeOption(const Args& args)
{
    const auto s = args.option(QStringLiteral("--scheme"));
    if (!s)
        return u'1';
    if (s->size() != 1 || (*s)[0] < u'1' || (*s)[0] > u'4') {
        printError(QStringLiteral("--scheme must be 1, 2, 3 or 4"));
        return std::nullopt;
    }
    return (*s)[0];
}

QString executableFolder()
{
    QString folder = QCoreApplication::applicationDirPath();
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}

namespace {

// The folder a signal must remove; guarded, since the signal thread and the
// main thread (creating or removing the workspace) both reach it.
std::mutex g_cleanupMutex;
std::string g_cleanupFolder;
int g_signalPipe[2] = {-1, -1};
// Set once a signal is being handled: the main thread's failures that
// follow from the removal are not reported.
std::atomic<bool> g_ending = false;

constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Removes the workspace folder: our own mkdtemp folder, mode 0700, where
// nobody else can have planted a link (remove_all removes links as names
// anyway). A converter still running renames and writes files in it
// meanwhile, so a pass can stop early, even without reporting it: passes go
// on until the folder is gone, for a while.
void removeWorkspaceFolder(const std::string& folder)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
        if (std::filesystem::symlink_status(folder, ec).type() == std::filesystem::file_type::not_found)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void onSignal(int sig)
{
    // Only async-signal-safe calls here: the thread does the work.
    const auto byte = static_cast<unsigned char>(sig);
    [[maybe_unused]] const auto n = ::write(g_signalPipe[1], &byte, 1);
}

void cleanupThread()
{
    unsigned char byte = 0;
    for (;;) {
        const auto n = ::read(g_signalPipe[0], &byte, 1);
        if (n == 1)
            break;
        if (n < 0 && errno == EINTR)
            continue;
        return;
    }
    const int sig = byte;
    g_ending = true;
    // Held until the end: the main thread must not create or remove the
    // workspace meanwhile.
    const std::lock_guard lock(g_cleanupMutex);
    if (!g_cleanupFolder.empty())
        removeWorkspaceFolder(g_cleanupFolder);
    // End by the signal itself, so that a shell or a parent sees what ended
    // us.
    ::signal(sig, SIG_DFL);
    ::raise(sig);
    ::_exit(128 + sig);
}

} // namespace

void installSignalCleanup()
{
    ::signal(SIGXFSZ, SIG_IGN);
    // The set-up's one fatal error (the workspace cannot be entered, the
    // converter's command file cannot be written) is an operation that
    // failed, and the workspace goes with it.
    SetFatalErrorPresenter([](const QString&, const QString& text) {
        if (!g_ending)
            printError(QStringLiteral("the temporary workspace failed: ") + text);
        const std::lock_guard lock(g_cleanupMutex);
        if (!g_cleanupFolder.empty()) {
            QDir::setCurrent(QDir::tempPath());
            removeWorkspaceFolder(g_cleanupFolder);
        }
        std::_Exit(ExitFailed);
    });
    if (::pipe2(g_signalPipe, O_CLOEXEC) != 0)
        return;
    std::thread(cleanupThread).detach();
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (const int s : kCleanupSignals)
        ::sigaction(s, &sa, nullptr);
}

TempWorkspace::TempWorkspace()
{
    // Made and made known under the lock, so that a signal arriving now
    // finds the folder, and no folder is made again after its removal.
    const std::lock_guard lock(g_cleanupMutex);
    m_dir.emplace(QDir::tempPath() + QStringLiteral("/kastra-theme-XXXXXX"));
    if (!m_dir->isValid())
        return;
    g_cleanupFolder = fsPath(m_dir->path()).string();
    m_ws.root = m_dir->path() + QStringLiteral("/Temp/WorkDir/");
    // The window's program folder, whose payload override folder the
    // commands honour as the window does: beside the executable when that
    // is writable, else the user's data folder.
    m_ws.programFolder = ResolveProgramFolder(executableFolder());
    m_valid = CreateFolder(m_ws.root, true) && CreateFolder(scratchFolder(), false);
    // The set-up from theme files expects the folders a start-up made; Menu
    // in particular is created only when the defaults are written.
    for (const char* folder : {"Avkon", "Signal", "Menu", "SIS"})
        m_valid = m_valid && CreateFolder(m_ws.root + QString::fromLatin1(folder), false);
}

bool TempWorkspace::ready() const
{
    if (!m_valid)
        printError(QStringLiteral("cannot create a temporary workspace in ") + QDir::tempPath());
    return m_valid;
}

TempWorkspace::~TempWorkspace()
{
    // The converter left the current directory inside the workspace; step
    // out before it is removed.
    QDir::setCurrent(QDir::tempPath());
    const std::lock_guard lock(g_cleanupMutex);
    m_dir.reset();
    g_cleanupFolder.clear();
}

QString TempWorkspace::scratchFolder() const
{
    return m_dir->path() + QStringLiteral("/import/");
}

std::optional<Failure> readThemeFiles(const QString& themeDir, ThemeBytes& out)
{
    constexpr std::uintmax_t maxBytes = 64u * 1024 * 1024;
    for (std::size_t i = 0; i < std::size(ThemeFiles); ++i) {
        const QString name = QString::fromLatin1(ThemeFiles[i]);
        const QString source = FindInFolder(themeDir, name);
        auto bytes = readFile(fsPath(source), maxBytes);
        if (!bytes)
            return Failure{ExitUsage, themeDir + QStringLiteral(" has no readable ") + name + QStringLiteral(": ")
                                          + QString::fromStdString(bytes.error())};
        if (const auto index = mbm::readIndex(*bytes); !index)
            return Failure{ExitUsage, source + QStringLiteral(" is not an MBM file: ")
                                          + QString::fromStdString(index.error())};
        out[i] = std::move(*bytes);
    }
    return std::nullopt;
}

std::optional<QString> packageDamage(ByteSpan sis)
{
    const auto package = sis::readSis(sis);
    if (!package)
        return QString::fromStdString(package.error());
    if (!package->uidChecksumOk)
        return QStringLiteral("the UID checksum (UID4) is wrong");
    if (!package->checksumOk)
        return QStringLiteral("the header checksum is wrong");
    if (!package->problems.empty())
        return QString::fromStdString(package->problems.front());
    sis::PackageData blocks(sis, *package);
    for (const sis::SisRecord& r : package->records) {
        if (!r.damage.empty())
            return QString::fromStdString(r.damage);
        for (const sis::DataBlock& block : r.blocks)
            if (const auto data = blocks.read(block); !data)
                return QString::fromStdString(data.error());
    }
    return std::nullopt;
}

std::optional<Failure> readPackage(const QString& path, Bytes& out)
{
    auto bytes = readFile(fsPath(path), MaxPackageBytes);
    if (!bytes)
        return Failure{ExitUsage, QString::fromStdString(bytes.error())};
    if (const auto damage = packageDamage(*bytes))
        return Failure{ExitUsage, path + QStringLiteral(" is not a sound installation package: ") + *damage};
    out = std::move(*bytes);
    return std::nullopt;
}

std::optional<Failure> readThemeFilesFromPackage(const QString& path, ByteSpan sis, ThemeBytes& out)
{
    for (std::size_t i = 0; i < std::size(ThemeFiles); ++i) {
        const QString name = QString::fromLatin1(ThemeFiles[i]);
        auto data = packageFileData(sis, name);
        if (!data)
            return Failure{ExitUsage, path + QStringLiteral(" holds no ") + name};
        if (const auto index = mbm::readIndex(*data); !index)
            return Failure{ExitUsage, name + QStringLiteral(" in the package is not an MBM file: ")
                                          + QString::fromStdString(index.error())};
        out[i] = std::move(*data);
    }
    return std::nullopt;
}

std::optional<Failure> writeThemeFiles(const ThemeBytes& files, const Workspace& ws)
{
    for (std::size_t i = 0; i < std::size(ThemeFiles); ++i) {
        const QString target = ws.root + QString::fromLatin1(ThemeFiles[i]);
        if (const auto written = writeFileAtomic(fsPath(target), files[i]); !written)
            return Failure{ExitFailed, QStringLiteral("cannot write into the temporary workspace: ")
                                           + QString::fromStdString(written.error())};
    }
    return std::nullopt;
}

} // namespace kastra::cli

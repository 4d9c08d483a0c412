#include "cli.h"

#include "base/fileio.h"
#include "base/safe_file.h"
#include "converter/setup.h"
#include "platform/fileops.h"
#include "package/package_check.h"
#include "sis/sis_reader.h"
#include "workspace/slots.h"
#include "workspace/theme_catalogue.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>

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

#include <climits>
#include <clocale>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
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
    if (QFileInfo(path).isAbsolute())
        return QDir::cleanPath(path);
    // Qt's current path is empty past PATH_MAX; the C library's has no limit.
    std::unique_ptr<char, decltype(&std::free)> cwd(::getcwd(nullptr, 0), &std::free);
    if (!cwd)
        return QFileInfo(path).absoluteFilePath();
    return QDir::cleanPath(QFile::decodeName(cwd.get()) + u'/' + path);
}

std::optional<QString> undecodableWord(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray word(argv[i]);
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = utf8(word);
        if (!utf8.hasError())
            continue;
        // The word as far as it reads, the rest as escaped bytes.
        QString shown;
        for (const char c : word) {
            const auto b = static_cast<unsigned char>(c);
            shown += b >= 0x20 && b < 0x7F ? QString(QChar(b)) : QStringLiteral("\\x%1").arg(b, 2, 16, QChar(u'0'));
        }
        return QStringLiteral("the name \"%1\" is not valid UTF-8, and no file of that name can be opened; "
                              "rename the file to a UTF-8 name")
            .arg(shown);
    }
    return std::nullopt;
}

QString systemErrorText(int error)
{
    // The reason as the C library says it in English: the user's locale may
    // be another, and every message of this program is English.
    static const locale_t c = ::newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    if (c)
        return QString::fromLocal8Bit(::strerror_l(error, c));
    return QString::fromLocal8Bit(std::strerror(error));
}

// A path the system cannot take at all: its own sentence, not the
// system's "File name too long" from whichever call meets it first.
static std::optional<QString> pathTooLong(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    if (native.size() < PATH_MAX)
        return std::nullopt;
    return QStringLiteral("the path %1 is too long: it has %2 bytes, and the system takes at most %3")
        .arg(path)
        .arg(native.size())
        .arg(PATH_MAX - 1);
}

std::optional<QString> inputProblem(const QString& path, InputKind kind)
{
    if (auto tooLong = pathTooLong(path))
        return tooLong;
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::stat(native.constData(), &st) != 0) {
        const int error = errno;
        switch (error) {
        case ENOENT:
            return path + QStringLiteral(" does not exist");
        case ENAMETOOLONG:
            return QStringLiteral("a name in the path %1 is too long: the system takes at most %2 bytes a name")
                .arg(path)
                .arg(NAME_MAX);
        case ENOTDIR:
            return QStringLiteral("a part of the path %1 is a file, not a folder").arg(path);
        case ELOOP:
            return path + QStringLiteral(" is a loop of symbolic links");
        case EACCES:
            return path + QStringLiteral(" cannot be reached: permission denied");
        default:
            return path + QStringLiteral(" cannot be read: ") + systemErrorText(error);
        }
    }
    if (kind == InputKind::Folder) {
        if (!S_ISDIR(st.st_mode))
            return path + QStringLiteral(" is not a folder");
    } else if (S_ISDIR(st.st_mode)) {
        return path + QStringLiteral(" is a folder, not a file");
    } else if (S_ISFIFO(st.st_mode)) {
        return path + QStringLiteral(" is a FIFO (a named pipe), not a file; it is not read, since reading it "
                                     "could wait forever");
    } else if (S_ISSOCK(st.st_mode)) {
        return path + QStringLiteral(" is a socket, not a file");
    } else if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) {
        return path + QStringLiteral(" is a device, not a file");
    } else if (!S_ISREG(st.st_mode)) {
        return path + QStringLiteral(" is not a regular file");
    }
    if (::access(native.constData(), kind == InputKind::Folder ? R_OK | X_OK : R_OK) != 0)
        return path + QStringLiteral(" cannot be read: permission denied");
    return std::nullopt;
}

std::optional<Failure> readInputFile(const QString& path, std::uintmax_t maxBytes, Bytes& out)
{
    if (const auto problem = inputProblem(path, InputKind::File))
        return Failure{ExitUsage, *problem};
    auto bytes = readFile(fsPath(path), maxBytes);
    if (!bytes)
        return Failure{ExitUsage, path + QStringLiteral(" cannot be read: ") + QString::fromStdString(bytes.error())};
    out = std::move(*bytes);
    return std::nullopt;
}

std::optional<QString> outputFolderProblem(const QString& path, bool mayBeMissing)
{
    const QByteArray native = QFile::encodeName(path);
    // Every file the command writes there has a longer path still.
    if (native.size() >= PATH_MAX - NAME_MAX)
        return QStringLiteral("%1 is too deep: its path has %2 bytes, and the system takes at most %3 for a "
                              "file's path; choose a folder with a shorter path")
            .arg(path)
            .arg(native.size())
            .arg(PATH_MAX - 1);
    const auto problem = inputProblem(path, InputKind::Folder);
    if (problem && mayBeMissing) {
        struct stat st {};
        if (::lstat(native.constData(), &st) != 0 && errno == ENOENT)
            return std::nullopt;
    }
    return problem;
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
    // A replacement of the user's files ends (or is put back) first.
    endAfterUninterruptedSections();
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
    // The window's program folder, whose payload override folder the
    // commands honour as the window does: beside the executable when that
    // is writable, else the user's data folder.
    m_ws = Workspace(m_dir->path() + QStringLiteral("/Temp/WorkDir/"), ResolveProgramFolder(executableFolder()));
    m_valid = m_ws.open().ok() && CreateFolder(scratchFolder(), false);
    // The set-up from theme files expects the folders a start-up made; Menu
    // in particular is created only when the defaults are written.
    for (const char* folder : {"Avkon", "Signal", "Menu", "SIS"})
        m_valid = m_valid && m_ws.makeFolder(QString::fromLatin1(folder)).ok();
}

bool TempWorkspace::ready() const
{
    if (!m_valid)
        printError(QStringLiteral("cannot create a temporary workspace in ") + QDir::tempPath());
    return m_valid;
}

TempWorkspace::~TempWorkspace()
{
    m_ws.close();
    const std::lock_guard lock(g_cleanupMutex);
    m_dir.reset();
    g_cleanupFolder.clear();
}

QString TempWorkspace::scratchFolder() const
{
    return m_dir->path() + QStringLiteral("/import/");
}

std::optional<QString> outputFileProblem(const QString& path)
{
    if (auto tooLong = pathTooLong(path))
        return tooLong;
    return inputProblem(QFileInfo(path).path(), InputKind::Folder);
}

std::optional<Failure> checkThemeBytes(const QString& where, std::size_t index, ByteSpan bytes)
{
    const QStringList differences = checkThemeFile(QString::fromLatin1(ThemeFiles[index]), bytes);
    if (differences.isEmpty())
        return std::nullopt;
    return Failure{ExitUsage, where + QStringLiteral(" is not a theme file the theme creator takes: ")
                                  + differences.first()};
}

std::optional<Failure> readThemeFiles(const QString& themeDir, ThemeBytes& out)
{
    constexpr std::uintmax_t maxBytes = 64u * 1024 * 1024;
    if (const auto problem = inputProblem(themeDir, InputKind::Folder))
        return Failure{ExitUsage, *problem};
    for (std::size_t i = 0; i < std::size(ThemeFiles); ++i) {
        const QString name = QString::fromLatin1(ThemeFiles[i]);
        const QString source = FindInFolder(themeDir, name);
        if (const QFileInfo found(source); !found.exists() && !found.isSymLink())
            return Failure{ExitUsage, themeDir + QStringLiteral(" has no ") + name};
        Bytes bytes;
        if (auto failed = readInputFile(source, maxBytes, bytes))
            return failed;
        if (auto failed = checkThemeBytes(source, i, bytes))
            return failed;
        out[i] = std::move(bytes);
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
    Bytes bytes;
    if (auto failed = readInputFile(path, MaxPackageBytes, bytes))
        return failed;
    if (const auto damage = packageDamage(bytes))
        return Failure{ExitUsage, path + QStringLiteral(" is not a sound installation package: ") + *damage};
    out = std::move(bytes);
    return std::nullopt;
}

std::optional<Failure> readThemeFilesFromPackage(const QString& path, ByteSpan sis, ThemeBytes& out, bool mayLack)
{
    for (std::size_t i = 0; i < std::size(ThemeFiles); ++i) {
        const QString name = QString::fromLatin1(ThemeFiles[i]);
        auto data = packageFileData(sis, name);
        if (!data) {
            if (mayLack)
                continue;
            return Failure{ExitUsage, path + QStringLiteral(" holds no ") + name};
        }
        if (auto failed = checkThemeBytes(name + QStringLiteral(" in ") + path, i, *data))
            return failed;
        out[i] = std::move(*data);
    }
    return std::nullopt;
}

std::optional<Failure> writeThemeFiles(const ThemeBytes& files, const Workspace& ws)
{
    for (std::size_t i = 0; i < std::size(ThemeFiles); ++i) {
        if (const auto written = ws.write(QString::fromLatin1(ThemeFiles[i]), files[i]); !written)
            return Failure{ExitFailed, QStringLiteral("cannot write into the temporary workspace: ")
                                           + QString::fromStdString(written.error())};
    }
    return std::nullopt;
}

std::optional<Failure> prepareFromThemeFiles(const Workspace& ws, bool* backgroundNarrow)
{
    const Result<bool> prepared = PrepareWorkspace(ws, false, true);
    if (!prepared)
        return Failure{ExitFailed, QStringLiteral("cannot set up the temporary workspace: ")
                                       + QString::fromStdString(prepared.error())};
    if (backgroundNarrow)
        *backgroundNarrow = *prepared;
    return checkUnpacked(ws);
}

std::optional<Failure> checkUnpacked(const Workspace& ws)
{
    QStringList names = bannerSlotNames();
    names << backgroundSlotNames() << slotNames(SlotFolder::Avkon) << slotNames(SlotFolder::Signal)
          << slotNames(SlotFolder::Menu);
    for (const QString& slot : names)
        if (!ws.hasFile(slot))
            return Failure{ExitFailed, QStringLiteral("bmconv did not unpack the theme files: ") + slot
                                           + QStringLiteral(" is missing")};
    return std::nullopt;
}

} // namespace kastra::cli

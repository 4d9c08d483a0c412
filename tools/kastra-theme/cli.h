#pragma once
// Shared pieces of the kastra-theme commands: the command line taken apart,
// messages, and the temporary workspace a command works in.

#include "base/bytes.h"
#include "workspace/workspace.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <array>
#include <cstdint>
#include <iterator>
#include <map>
#include <optional>
#include <span>

namespace kastra::cli {

// Exit codes, the same for every command: 0 success; 1 a failure while
// working (a file that cannot be written, a tool that fails, diff finding
// differences); 2 a wrong command line or an input that cannot be read or is
// not what the command takes, found before any work is done.
inline constexpr int ExitOk = 0;
inline constexpr int ExitFailed = 1;
inline constexpr int ExitUsage = 2;

// Why a command stops, and the exit status that goes with it.
struct Failure {
    int status;
    QString message;
};

// How a command's option is given: a flag, a value, or a path, which is
// made absolute against the current folder as soon as it is read (the
// commands change the current folder while the converter runs).
enum class OptionKind { Flag, Value, Path };

struct OptionSpec {
    const char* name;   // without the dashes: "out"
    OptionKind kind;
};

struct Args {
    QStringList positional;               // as given
    std::map<QString, QString> options;   // "--name" -> value (paths absolute)
    std::map<QString, bool> flags;        // "--as-handset"
    bool help = false;                    // -h or --help among the words

    std::optional<QString> option(const QString& name) const;
    bool flag(const QString& name) const;
};

// Takes apart the words after the command with QCommandLineParser:
// "--opt value" and "--opt=value", options before, between or after the
// positional words, "--" ending the options. An unknown option, a missing
// value or an option given twice is an error, returned as its message.
std::optional<QString> parseArgs(const QStringList& words, std::span<const OptionSpec> options, Args& out);

void printOut(const QString& text);
void printError(const QString& text);

// An absolute path for a path given on the command line; the commands change
// the current directory while the converter runs, so paths are fixed first.
// It is whole also in a current folder deeper than the system's path limit,
// so that the checks below can name that folder.
QString absolutePath(const QString& path);

// The words of the command line that are not valid UTF-8, which no file name
// the program opens can hold: a message naming the first, or nothing.
std::optional<QString> undecodableWord(int argc, char** argv);

// Why path is no input a command can read, in a sentence of its own for each
// case (missing, a path or name too long, a FIFO, a device, a folder where a
// file is wanted and the reverse, no permission), or nothing when it is one.
enum class InputKind { File, Folder };
std::optional<QString> inputProblem(const QString& path, InputKind kind);

// A file given on the command line read whole: inputProblem first, then the
// bounded read. Failures are ExitUsage.
std::optional<Failure> readInputFile(const QString& path, std::uintmax_t maxBytes, Bytes& out);

// Why a folder the command writes into cannot be one (a path too long, not a
// folder), or nothing; a missing folder is fine when the command makes it.
std::optional<QString> outputFolderProblem(const QString& path, bool mayBeMissing);

// The same for a file the command writes: its folder must be there.
std::optional<QString> outputFileProblem(const QString& path);

// The English sentence for an errno value, whatever the user's locale.
QString systemErrorText(int error);

// The colour scheme of --scheme (1 to 4, '1' when not given); nothing, after
// saying why, for any other value.
std::optional<QChar> schemeOption(const Args& args);

// The folder of this executable, with a trailing separator: SISTool.exe and
// payload overrides are looked for there.
QString executableFolder();

// Ignores SIGXFSZ (a file-size limit becomes a write error with a message,
// for this process and the tools it starts) and starts a thread that, on
// SIGINT, SIGTERM or SIGHUP, removes the temporary workspace and then ends
// the process by that signal. A thread, because the process spends its time
// blocked in waits for child processes, where a flag would go unseen. A
// fatal I/O error of the set-up likewise removes the workspace and exits 1.
void installSignalCleanup();

// A temporary theme workspace, removed when it goes out of scope or when a
// signal ends the process. Its program folder is the window's (its payload
// overrides apply): the executable's folder when it is writable, else the
// user's data folder.
class TempWorkspace {
public:
    TempWorkspace();
    ~TempWorkspace();
    TempWorkspace(const TempWorkspace&) = delete;
    TempWorkspace& operator=(const TempWorkspace&) = delete;

    bool valid() const { return m_valid; }
    // valid(), and when it is not, says so on standard error.
    bool ready() const;
    const Workspace& workspace() const { return m_ws; }
    // A scratch folder beside the workspace root, for the import folder.
    QString scratchFolder() const;

private:
    std::optional<QTemporaryDir> m_dir;
    Workspace m_ws{QString(), QString()};
    bool m_valid = false;
};

// The five theme MBM files, as the save buttons write them.
inline const char* const ThemeFiles[] = {"EidPic.mbm", "backgroundimage.mbm", "Avkon.mbm", "AvkonEx.mbm",
                                         "menu_folders.mbm"};
using ThemeBytes = std::array<Bytes, std::size(ThemeFiles)>;

// Largest package the commands read.
inline constexpr std::uintmax_t MaxPackageBytes = 512u * 1024 * 1024;


// Whether a theme file's bytes are what the window's load button takes: the
// catalogue check (a readable MBM file with the bitmap count and the sizes
// the theme needs). The reason, naming where, when they are not.
std::optional<Failure> checkThemeBytes(const QString& where, std::size_t index, ByteSpan bytes);

// The five theme files from themeDir (found regardless of letter case), each
// checked as checkThemeBytes does. Failures are ExitUsage: the input cannot
// be read or is not a theme.
std::optional<Failure> readThemeFiles(const QString& themeDir, ThemeBytes& out);

// What is wrong with a package as a package (its structure, checksums or the
// data of a file), or nothing when it is sound.
std::optional<QString> packageDamage(ByteSpan sis);

// A package read whole and checked to be a sound installation package: its
// structure, checksums and the data of every file. An unreadable, empty,
// damaged or non-package file is ExitUsage, with the reason.
std::optional<Failure> readPackage(const QString& path, Bytes& out);

// The five theme files of a package read by readPackage, each checked as
// checkThemeFile does; one missing (unless mayLack) or not fitting is
// ExitUsage. A file the package lacks is left empty in out.
std::optional<Failure> readThemeFilesFromPackage(const QString& path, ByteSpan sis, ThemeBytes& out,
                                                 bool mayLack = false);

// Writes the five theme files into the workspace root; a failed write is
// ExitFailed.
std::optional<Failure> writeThemeFiles(const ThemeBytes& files, const Workspace& ws);

// After PrepareWorkspace from the five theme files: a failure (ExitFailed)
// when bmconv did not unpack every slot, which would otherwise show as blank
// pictures or a build asking for a theme file the user gave.
std::optional<Failure> checkUnpacked(const Workspace& ws);

// PrepareWorkspace from the five theme files written into the root, then
// checkUnpacked; a set-up that fails (a command file that cannot be
// written) is ExitFailed with its reason. backgroundNarrow, when given,
// gets the set-up's answer.
std::optional<Failure> prepareFromThemeFiles(const Workspace& ws, bool* backgroundNarrow = nullptr);

// The commands, on their parsed command line; each returns the exit status.
int runBuild(const Args& args);
int runImport(const Args& args);
int runCheck(const Args& args);
int runPreview(const Args& args);
int runNew(const Args& args);
int runDiff(const Args& args);

} // namespace kastra::cli

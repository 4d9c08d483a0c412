#pragma once
// Shared pieces of the kastra-theme commands: the command line taken apart,
// messages, and the temporary workspace a command works in.

#include "workspace/workspace.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdint>
#include <map>
#include <optional>
#include <span>

namespace kastra::cli {

// Exit codes: 0 success, 1 the operation failed or found problems, 2 a wrong
// command line or an input that cannot be read.
inline constexpr int ExitOk = 0;
inline constexpr int ExitFailed = 1;
inline constexpr int ExitUsage = 2;

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
QString absolutePath(const QString& path);

// The folder of this executable, with a trailing separator: SISTool.exe and
// payload overrides are looked for there.
QString executableFolder();

// A temporary theme workspace, removed when it goes out of scope. Its
// program folder is the executable's (payload overrides apply).
class TempWorkspace {
public:
    TempWorkspace();
    ~TempWorkspace();
    TempWorkspace(const TempWorkspace&) = delete;
    TempWorkspace& operator=(const TempWorkspace&) = delete;

    bool valid() const { return m_valid; }
    const Workspace& workspace() const { return m_ws; }
    // A scratch folder beside the workspace root, for the import folder.
    QString scratchFolder() const;

private:
    QTemporaryDir m_dir;
    Workspace m_ws;
    bool m_valid = false;
};

// The five theme MBM files, as the save buttons write them.
inline const char* const ThemeFiles[] = {"EidPic.mbm", "backgroundimage.mbm", "Avkon.mbm", "AvkonEx.mbm",
                                         "menu_folders.mbm"};

// Largest package the commands read.
inline constexpr std::uintmax_t MaxPackageBytes = 512u * 1024 * 1024;

// Copies the five theme files from themeDir (found regardless of letter
// case, each checked to be an MBM file store) into the workspace root.
// Returns the error message, or nothing.
std::optional<QString> copyThemeFiles(const QString& themeDir, const Workspace& ws);

// The same from a package: its five theme files written into the root.
std::optional<QString> copyThemeFilesFromPackage(const QString& package, const Workspace& ws);

// The commands, on their parsed command line; each returns the exit status.
int runBuild(const Args& args);
int runImport(const Args& args);
int runCheck(const Args& args);
int runPreview(const Args& args);

} // namespace kastra::cli

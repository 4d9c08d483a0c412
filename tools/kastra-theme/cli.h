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

namespace kastra::cli {

// Exit codes: 0 success, 1 the operation failed or found problems, 2 a wrong
// command line or an input that cannot be read.
inline constexpr int ExitOk = 0;
inline constexpr int ExitFailed = 1;
inline constexpr int ExitUsage = 2;

struct Args {
    QStringList positional;
    std::map<QString, QString> options;   // "--name" -> value
    std::map<QString, bool> flags;        // "--as-handset"

    std::optional<QString> option(const QString& name) const;
    bool flag(const QString& name) const;
};

// Takes apart the words after the command. valueOptions take the next word
// as their value, flagOptions none; anything else starting with "--" is an
// error (returned as its message).
std::optional<QString> parseArgs(const QStringList& words, const QStringList& valueOptions,
                                 const QStringList& flagOptions, Args& out);

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

int runBuild(const QStringList& words);
int runImport(const QStringList& words);
int runCheck(const QStringList& words);
int runPreview(const QStringList& words);

} // namespace kastra::cli

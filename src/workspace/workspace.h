#pragma once
// The theme workspace: where a run keeps its files, the guard that keeps a
// second instance out of it, and the program folder.

#include "base/result.h"

#include <QString>

#include <memory>

namespace kastra {

// Where a run keeps its files: the workspace root and the program folder,
// both absolute and ending with a separator. Tests pass their own folders.
struct Workspace {
    QString root;
    QString programFolder;
};

// The folder below the root where a load keeps the slots it is about to
// overwrite until bmconv has succeeded. Removed after every load.
inline constexpr char LoadBackupFolder[] = "LoadBackup";

// The program folder: the executable's folder when it is writable, else
// $XDG_DATA_HOME/kastra-theme/ (created). Ends with a separator.
QString ResolveProgramFolder(const QString& executableFolder);

// The existing file in folder whose name matches name without regard to
// letter case, the exact name preferred; folder + name when there is none
// (so a save creates it under the name the program uses).
QString FindInFolder(const QString& folder, const QString& name);

// Looks for a tool that is installed beside the executable (SISTool.exe)
// there first, then in the program folder, each regardless of letter case.
// The program folder's path when it is in neither.
QString FindBesideProgram(const QString& executableFolder, const QString& programFolder, const QString& name);

// Keeps a second instance out of a folder. One lock lies in the workspace
// base, outside the root that the tear-down removes; another in the program
// folder, since two windows whose workspaces lie in different places (two
// logins sharing an unpacked copy) would otherwise overwrite each other's
// settings and theme files. A lock is not inherited by started programs and
// is taken over when its owner died. Taken at start before anything is
// written into the workspace, and held until after the tear-down.
class WorkspaceLock {
public:
    ~WorkspaceLock();
    // The lock file in the workspace base, and the one in the program folder
    // (hidden there, among the user's files).
    static constexpr char BaseLockName[] = "kastra-theme.lock";
    static constexpr char ProgramFolderLockName[] = ".kastra-theme.lock";
    // Empty when another living process holds the lock, or when the lock
    // file cannot be opened; why (when given) then says which, in words for
    // the user. folder must exist. A lock file another user made is opened
    // for reading only, which is enough to lock it.
    static std::unique_ptr<WorkspaceLock> acquire(const QString& folder, QString* why = nullptr,
                                                  const char* fileName = BaseLockName);

    WorkspaceLock(const WorkspaceLock&) = delete;
    WorkspaceLock& operator=(const WorkspaceLock&) = delete;

private:
    struct Impl;
    explicit WorkspaceLock(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

} // namespace kastra

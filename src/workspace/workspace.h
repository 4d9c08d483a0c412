#pragma once
// The theme workspace: where a run keeps its files, the guard that keeps a
// second instance out of it, and the program folder.

#include "base/result.h"

#include <QString>
#include <QStringList>

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

// Keeps a second instance out of a folder: the workspace base, outside the
// root that the tear-down removes, and the program folder, since two
// windows whose workspaces lie in different places (two logins sharing an
// unpacked copy) would otherwise overwrite each other's settings and theme
// files. The folder itself is locked (no lock file: nothing is created or
// written, so a file linked into its place is never touched and deleting a
// file cannot let a second window in). A lock is not inherited by started
// programs and is taken over when its owner died. Taken at start before
// anything is written into the workspace, and held until after the
// tear-down.
class WorkspaceLock {
public:
    ~WorkspaceLock();
    // Locks every folder (one named twice once). Empty when another living
    // process holds one of them, or when one cannot be opened; why (when
    // given) then says which, in words for the user. The folders must exist;
    // reading them is enough to lock them.
    static std::unique_ptr<WorkspaceLock> acquire(const QStringList& folders, QString* why = nullptr);

    WorkspaceLock(const WorkspaceLock&) = delete;
    WorkspaceLock& operator=(const WorkspaceLock&) = delete;

private:
    struct Impl;
    explicit WorkspaceLock(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

} // namespace kastra

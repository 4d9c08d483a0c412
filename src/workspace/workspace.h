#pragma once
// The theme workspace: the object every slot goes through, the guard that
// keeps a second instance out of it, and the program folder.

#include "base/result.h"
#include "base/safe_file.h"
#include "picture/bitmap.h"
#include "platform/process.h"
#include "workspace/payloads.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>

namespace kastra {

// The files the program itself wrote or removed in the workspace, as full
// paths: every write of the Workspace notes its file here, so nobody lists
// them by hand. The folder watcher learns from the listener, as each write
// happens, that the change is not an outside one; the window takes what a
// step wrote for the undo history. A file noted twice before a take is
// listed once, so what waits is bounded by the files of the workspace.
class WriteJournal {
public:
    using Listener = std::function<void(const QStringList& paths)>;
    // Called with the paths of every note as it is made. One listener;
    // setting another replaces it.
    void setListener(Listener listener) { m_listener = std::move(listener); }
    void note(const QStringList& paths);
    // Everything noted since the last take, each once, in the order noted.
    QStringList take();
    bool empty() const { return m_pending.isEmpty(); }

private:
    Listener m_listener;
    QStringList m_pending;
    QSet<QString> m_seen;
};

// The theme workspace: the folder a run keeps its files in, and the program
// folder its payload overrides and settings come from. Every slot is read,
// written, renamed and removed through this object, relative to the root
// folder held open: the root is checked once (a real folder of the user's,
// not a link) and opened; a folder below it (Avkon\, SIS\ ...) is opened
// from it without following a link, so a folder swapped for a link is
// refused rather than written through. Slots are named as the converter's
// command files name them ("Avkon\445.bmp", "Back.bmp"); '/' works as well.
//
// An object is a handle on the folder: its operations are const, since they
// change the folder rather than the handle, and the journal they fill is the
// handle's record of them. Used on one thread.
class Workspace {
public:
    // Nothing is opened yet: the root may not exist before the set-up.
    // Both end with a separator (added when missing).
    Workspace(QString root, QString programFolder);
    ~Workspace();
    Workspace(Workspace&&) noexcept;
    Workspace& operator=(Workspace&&) noexcept;
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    const QString& root() const { return m_root; }
    const QString& programFolder() const { return m_programFolder; }

    // Creates the root (with its parents) when it is missing and opens it.
    // Every operation opens it when it is not open yet, without creating it.
    Result<void> open() const;
    // Lets the descriptor go: after the tear-down, or for a root that is
    // to be looked at afresh.
    void close() const;

    // The full path of a slot (for messages, editors and the watcher), and
    // the slot a full path below the root names ("" for any other path).
    QString path(const QString& slot) const;
    QStringList paths(const QStringList& names) const;
    QString slotOf(const QString& path) const;

    // Reading. A slot that is missing or unreadable is an empty picture, as
    // the painters want it.
    Result<Bytes> read(const QString& slot, std::uintmax_t maxBytes) const;
    Bitmap picture(const QString& slot) const;
    bool hasFile(const QString& slot) const;
    bool holds(const QString& slot, ByteSpan bytes) const;

    // Writing: each replaces the slot as a whole (a temporary beside it,
    // renamed over) and notes it in the journal, whether or not it
    // succeeded, since a failed write may still have changed the name.
    Result<void> write(const QString& slot, ByteSpan bytes,
                       Durability durability = Durability::AcrossCrash) const;
    // An empty picture writes nothing and fails.
    Result<void> writePicture(const QString& slot, const Bitmap& picture) const;
    // The payload's bytes; a regular file that holds them already (and is
    // executable, for a program) is left as it is.
    Result<void> writePayload(Payload payload, const QString& slot) const;
    Result<void> remove(const QString& slot) const;
    Result<void> rename(const QString& from, const QString& to) const;
    // A second name for a slot's file (a hard link): its bytes stay under
    // to while from is replaced by a rename. Nothing is written.
    Result<void> link(const QString& from, const QString& to) const;
    // Several slots replaced or removed as one (see replaceFilesTogether):
    // all as asked, or all as they were. Each target is a slot name.
    Result<void> replaceTogether(std::span<const NewFile> files,
                                 Durability durability = Durability::AcrossCrash) const;
    // A folder below the root, made when missing (one level).
    Result<void> makeFolder(const QString& name) const;

    // Runs a command line hidden in the root, or in the folder below it
    // named by folder (the child starts in the folder held open, whatever
    // its path names by then), and waits without a limit. mayWrite: the
    // slots the program may have written, noted in the journal whatever it
    // did. Not started (started false) when the folder or a folder of those
    // slots is not a real folder of the workspace: a link there is not
    // followed by us, and the program, which goes by paths, must not either.
    ProcessOutcome run(const QString& commandLine, const QStringList& mayWrite, const QString& folder = {}) const;

    WriteJournal& journal() const { return *m_journal; }

private:
    // Where a slot lies: the folder it is a name in (the root, or a folder
    // below it) and its name there. A folder below the root is opened by its
    // name once and kept for reading, so the painters' reads cost no extra
    // open; every write, rename and removal asks with fresh, which opens it
    // anew, so what it changes is what the name is now: a link put there
    // since is refused.
    struct Place {
        const Folder* folder = nullptr;
        std::string leaf;
    };
    Result<void> place(const QString& slot, Place& out, bool fresh = false) const;
    Result<void> openRoot() const;
    // Both, each folder opened anew: for a rename or a second name.
    Result<void> placeBoth(const QString& from, const QString& to, Place& a, Place& b) const;
    struct Open {
        std::optional<Folder> root;
        std::map<QString, Folder> below;
    };
    void note(const QString& slot) const;

    QString m_root;
    QString m_programFolder;
    std::unique_ptr<Open> m_open;
    std::unique_ptr<WriteJournal> m_journal;
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

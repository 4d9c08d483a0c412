#pragma once
// File operations that stay safe in folders someone else can write into (a
// shared install, an unpacked archive carrying a link, a runtime folder):
// nothing is written or deleted through a planted link, nothing is replaced
// half way, and nothing blocks on a FIFO or a device.
//
// The rules every function here keeps:
// - A file is written under a temporary name beside its target, created
//   exclusively (O_EXCL | O_NOFOLLOW) under a name nobody can guess ahead,
//   and renamed over the target only once every byte was written. rename()
//   replaces a name; it never follows a link planted under the target.
// - A deletion removes a link as a name and never descends through it.
// - A file is opened for reading without blocking and only when it is a
//   regular file.
//
// On POSIX a failing function leaves errno as the failed call set it, for
// callers that report the system's error number.

#include "base/bytes.h"
#include "base/result.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>

namespace kastra {

// An open file descriptor, closed by the destructor.
class FileHandle {
public:
    FileHandle() = default;
    explicit FileHandle(int fd) : m_fd(fd) {}
    ~FileHandle();
    FileHandle(FileHandle&& other) noexcept : m_fd(other.release()) {}
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    int fd() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    int release();
    // Closes now; false when close() reported an error (a delayed write
    // error of some file systems shows only here).
    bool close();

private:
    int m_fd = -1;
};

// Opens a regular file for reading. A FIFO, a device, a socket or a folder is
// refused at once (the open does not block: O_NONBLOCK), as is a missing
// file. A link to a regular file is followed: the user may keep a theme file
// as a link. The size of the file is stored in *size when given.
Result<FileHandle> openRegularFile(const std::filesystem::path& path, std::uintmax_t* size = nullptr);

// Writes every byte to fd, going on after a short write; a write that makes no
// progress (a full disk, a file-size limit) is an error.
Result<void> writeAll(int fd, ByteSpan bytes);

// How a replaced file's new bytes are ordered against a crash of the whole
// system. While the system runs, either way, every reader finds under the
// name the old file or the new one, whole, and the name is never missing.
enum class Durability {
    // rename() over the old file. ext4 then writes the new bytes out before
    // the rename is committed (costly: about 0.5 ms per file on a quiet
    // disk, far more on a busy one), so after a power loss the name holds the
    // old bytes or the new ones. For the user's own files.
    AcrossCrash,
    // The new file and the old one swap names in one step (Linux's
    // renameat2 RENAME_EXCHANGE, which forces no write-out), then the old one
    // is removed. After a power loss the name may hold a file that is empty
    // or short. For scratch files rebuilt at every start, such as the
    // workspace's slots. Where the exchange is not available this is a
    // plain rename.
    WhileRunning,
};

// A temporary file beside a target, created exclusively under an
// unpredictable name (".<target name>.<random>.tmp") in the target's folder,
// so that nothing planted under a fixed name is followed or overwritten.
// Removed by the destructor unless it was renamed over its target.
class TempFile {
public:
    // Fails when the folder does not exist or no file can be created in it.
    static Result<TempFile> beside(const std::filesystem::path& target);
    // A second name (a hard link, see linkFile) for the regular file at
    // file, made beside it under an unpredictable name and removed by the
    // destructor: keeps the file's bytes while file is replaced by a rename,
    // and replace() puts them back. Nothing is open to write.
    static Result<TempFile> secondNameOf(const std::filesystem::path& file);

    ~TempFile();
    TempFile(TempFile&& other) noexcept;
    TempFile& operator=(TempFile&&) = delete;
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    int fd() const { return m_file.fd(); }

    // Writes bytes at the current position; a short write is an error.
    Result<void> write(ByteSpan bytes);
    // Copies what remains of an open file, checking every write.
    Result<void> copyFrom(int sourceFd);
    // Flushes and closes the file; it stays on disk until renamed or
    // destroyed.
    Result<void> close();
    // Closes the file (if still open) and renames it over target, which is
    // replaced as a whole (a link under that name is replaced, not
    // followed; a folder under it is refused). On failure the temporary is
    // removed and target is as it was.
    Result<void> replace(const std::filesystem::path& target, Durability durability = Durability::AcrossCrash);

private:
    TempFile(FileHandle file, std::filesystem::path path, FileHandle lock)
        : m_file(std::move(file)), m_lock(std::move(lock)), m_path(std::move(path))
    {
    }
    FileHandle m_file;
    FileHandle m_lock;   // tells a sweep in another process the file is in use
    std::filesystem::path m_path;
    bool m_gone = false;
};

// Writes bytes under a temporary name beside path, then renames it over
// path. Every write is checked; on any failure the temporary is removed and
// an existing file is left exactly as it was.
Result<void> writeFileAtomic(const std::filesystem::path& path, ByteSpan bytes,
                             Durability durability = Durability::AcrossCrash);

// Whether path is a regular file (not a link, a FIFO or a device; nothing is
// followed or blocked on) that holds exactly bytes, and, with executable,
// whose owner may run it. Reads at most bytes.size() + 1 bytes. A file
// that cannot be examined counts as different.
bool holdsExactly(const std::filesystem::path& path, ByteSpan bytes, bool executable = false);

// Gives the regular file at path a second name, newName, in the same file
// system (a hard link), so that the file's bytes stay reachable under
// newName when path is later replaced by rename. Only a regular file gets
// one: a link under path is refused, never followed, as is anything else.
// Fails when newName exists or the file system has no such links.
Result<void> linkFile(const std::filesystem::path& path, const std::filesystem::path& newName);

// Copies a regular file over a target the same way (refuses a FIFO or device
// as its source; the target is replaced by rename). maxBytes bounds what is
// copied.
Result<void> copyFileAtomic(const std::filesystem::path& from, const std::filesystem::path& to,
                            std::uintmax_t maxBytes);

// Several files replaced (or removed) as one: every target must be absent or
// a regular file (checked first, so a folder or link in the way changes
// nothing); all new bytes are written to temporaries, the old files are kept
// aside (under a second name, or copied where the file system has none),
// then all are renamed into place and the targets without bytes removed.
// When a step fails, the files already replaced or removed get their old
// content back, the ones that did not exist are removed, and every temporary
// is removed: afterwards either every target is as asked or every target is
// as it was. Fails with the reason and the target it concerns.
//
// A kill cannot stop halfway either: before the first rename a journal
// (".kastra-replace.<random>.journal") is written in each folder concerned,
// naming every temporary, target and kept-aside old file, and it is removed
// after the last; recoverInterruptedWrites, which every replacement runs
// first in its folders, finds the journal of a killed one and puts the old
// files back. The renames run as an UninterruptedSection.
struct NewFile {
    std::filesystem::path target;
    std::optional<Bytes> bytes;   // none: the target goes
};
Result<void> replaceFilesTogether(std::span<const NewFile> files, Durability durability = Durability::AcrossCrash);

// An open folder that files are written into by descriptor: opened once,
// without following a link under its own name, so that a folder swapped for
// a link after the check changes nothing (every later create, rename and
// removal is made relative to this descriptor).
class Folder {
public:
    // Opens path as a folder that belongs to the user and that no other
    // user can write into (neither others nor a group shared with other
    // users; the user's own private group may); fails with a sentence
    // saying why otherwise. A link under the name is refused.
    static Result<Folder> openOwn(const std::filesystem::path& path);

    int fd() const { return m_dir.fd(); }
    const std::filesystem::path& path() const { return m_path; }

    // The forms below take a plain name in this folder (no slash, not "."
    // or "..") and work relative to the descriptor, so the folder's path
    // may change or be replaced under it without redirecting them.

    // A folder in this one, opened by name without following a link: a link
    // or a file under the name is refused. With create, a missing one is
    // made first (mode 0755 less the umask).
    Result<Folder> sub(const std::string& name, bool create = false) const;
    // Opens a regular file for reading as openRegularFile does (a link to a
    // regular file is followed; a FIFO or a device is refused at once).
    Result<FileHandle> openFile(const std::string& name, std::uintmax_t* size = nullptr) const;
    // Its bytes; larger than maxBytes is refused.
    Result<Bytes> readFile(const std::string& name, std::uintmax_t maxBytes) const;
    // Whether a regular file (not followed through a link) holds exactly
    // bytes, and is executable when asked. Reads at most bytes.size() + 1.
    bool holdsExactly(const std::string& name, ByteSpan bytes, bool executable = false) const;
    // Replaces (or creates) a file as writeFileAtomic does: a temporary of
    // an unpredictable name, written whole, renamed over the name. With
    // executable, its mode lets the owner run it.
    Result<void> writeFile(const std::string& name, ByteSpan bytes, Durability durability,
                           bool executable = false) const;
    // Removes a name as removeName does: a link as a link, a folder refused,
    // a missing name counts as removed.
    Result<void> remove(const std::string& name) const;
    // Renames a file of this folder to toName in folder to, replacing
    // whatever file stood there.
    Result<void> rename(const std::string& name, const Folder& to, const std::string& toName) const;
    // Gives a regular file of this folder (not a link) a second name toName
    // in folder to, as linkFile does. Fails when toName exists.
    Result<void> link(const std::string& name, const Folder& to, const std::string& toName) const;
    // Whether a regular file of that name is there (a link is not one).
    bool hasFile(const std::string& name) const;

private:
    Folder(FileHandle dir, std::filesystem::path path) : m_dir(std::move(dir)), m_path(std::move(path)) {}
    FileHandle m_dir;
    std::filesystem::path m_path;
};

// replaceFilesTogether in one open folder: each target is a name in it
// (a path whose folder part is the folder's own path is taken by its name;
// anything else is refused, as is a name with a slash).
Result<void> replaceFilesTogether(const Folder& folder, std::span<const NewFile> files,
                                  Durability durability = Durability::AcrossCrash);

// replaceFilesTogether across open folders: each target a plain name in its
// folder, the folders' descriptors used throughout.
struct NewFileIn {
    const Folder* folder;
    std::string name;
    std::optional<Bytes> bytes;   // none: the target goes
};
Result<void> replaceFilesTogether(std::span<const NewFileIn> files, Durability durability = Durability::AcrossCrash);

// Opens folder (Folder::openOwn) and replaces files in it as above.
Result<void> replaceFilesIn(const std::filesystem::path& folder, std::span<const NewFile> files,
                            Durability durability = Durability::AcrossCrash);

// Finishes in folder what a killed process of ours left: each journal of a
// replacement whose process is gone is rolled back (the old files, kept
// aside, return under their names; where an old file was lost, the
// replacement is finished instead) and removed with the temporaries it
// names; then every leftover temporary of our own naming (".NAME.<16 hex
// digits>.tmp", a regular file of the user's that no running process holds)
// is removed. A file changed under a target name since the kill is left as
// it is. A journal that is not ours (foreign owner, several links, over-
// long, a name with a slash) is left alone, and so are the temporaries
// then; the error names it.
Result<void> recoverInterruptedWrites(const Folder& folder);
// The same for a folder given by path; a missing folder has nothing to
// recover.
Result<void> recoverInterruptedWrites(const std::filesystem::path& folder);

// A span of work that ending by a signal must wait for: the replacements
// hold one while they rename, so that a handler that cleans up and ends the
// process does so only once the user's files are all old or all new.
class UninterruptedSection {
public:
    // Blocks for ever once endAfterUninterruptedSections was called: the
    // process is ending.
    UninterruptedSection();
    ~UninterruptedSection();
    UninterruptedSection(const UninterruptedSection&) = delete;
    UninterruptedSection& operator=(const UninterruptedSection&) = delete;
};
// Called by the thread that ends the process on a signal: no section starts
// any more, and the call returns once every running one ended. Not from a
// signal handler itself.
void endAfterUninterruptedSections();

// For tests only: called with 0, 1, 2, ... at each step of a replacement
// after its temporaries exist (the journal written, each rename, the
// journal removed), so that a test can kill the process there.
extern void (*g_replaceStepHook)(int step);

// Removes a name: a file, or a link as a link (its target is never touched).
// A folder under the name is refused. A missing name counts as removed.
Result<void> removeName(const std::filesystem::path& path);

// Deletes every entry of folder that is not a folder and whose name match
// accepts (all when match is empty): files, and links as names. Sub-folders
// are not entered. Stops at the first entry that cannot be deleted. The
// folder itself is opened without following a link; a link under its name
// fails here (clearFolder removes it as a name).
Result<void> deleteFilesIn(const std::filesystem::path& folder,
                           const std::function<bool(const std::string&)>& match = {});

// Empties and removes a folder the program made: a link or a file in its place
// is removed as a name and never followed; otherwise the sub-folders named in
// subFolders are cleared the same way (relative to the folder already opened,
// so a link planted higher up cannot redirect them), then the folder's own
// files are deleted and the folder is removed. Any other sub-folder is left
// alone, and the folder stays then. A missing folder is no error. Within one
// folder the deletion stops at the first file that cannot be deleted.
Result<void> clearFolder(const std::filesystem::path& folder, std::span<const std::string> subFolders = {});

// Why a folder cannot be used as the user's own, or Ok.
enum class FolderCheck {
    Ok,
    Missing,
    Link,          // a symbolic link, whatever it points to
    NotAFolder,
    NotOwned,      // owned by another user
    OpenToOthers,  // group or others have access (only when private asked)
};

// Checks, without following a link, that path is a real folder owned by the
// user running the program; with mustBePrivate also that only its owner can
// enter it (mode 0700 or stricter). Never changes anything.
FolderCheck checkOwnFolder(const std::filesystem::path& path, bool mustBePrivate);

// Creates path with mode 0700 when it is missing (its parent must exist),
// then checks it as checkOwnFolder does. An existing folder's mode is never
// changed.
FolderCheck makeOwnFolder(const std::filesystem::path& path, bool mustBePrivate);

// The check's result in a few English words ("is a symbolic link").
std::string folderCheckText(FolderCheck check);

} // namespace kastra

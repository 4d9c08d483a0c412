// Several files replaced as one, by descriptor, with a journal that lets a
// later run undo what a killed one left half done; the sweep of temporaries
// a killed process left; the sections a signal waits for.

#include "base/safe_file.h"

#include "base/own_names.h"
#include "base/replace_journal.h"
#include "base/sys_file.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>   // renameat2
#include <mutex>
#include <vector>

#ifndef _WIN32
#include <dirent.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#endif

namespace kastra {

namespace fs = std::filesystem;
using namespace sysfile;
using namespace replacejournal;

void (*g_replaceStepHook)(int step) = nullptr;

// ---------------------------------------------------------------- sections

namespace {

std::mutex g_sectionMutex;
std::condition_variable g_sectionChanged;
int g_sections = 0;
bool g_ending = false;
// A section inside a section of the same thread must not wait for the end
// it holds up.
thread_local int t_depth = 0;

} // namespace

UninterruptedSection::UninterruptedSection()
{
    std::unique_lock<std::mutex> lock(g_sectionMutex);
    if (t_depth == 0)
        g_sectionChanged.wait(lock, [] { return !g_ending; });
    ++g_sections;
    ++t_depth;
}

UninterruptedSection::~UninterruptedSection()
{
    const std::lock_guard<std::mutex> lock(g_sectionMutex);
    --g_sections;
    --t_depth;
    g_sectionChanged.notify_all();
}

void endAfterUninterruptedSections()
{
    std::unique_lock<std::mutex> lock(g_sectionMutex);
    g_ending = true;
    g_sectionChanged.wait(lock, [] { return g_sections == 0; });
}


#ifdef _WIN32

// Windows: the folder is kept by path (no descriptor-relative calls), and a
// replacement is not journalled; links in the user's folders need an
// administrator there.

Result<Folder> Folder::openOwn(const fs::path& path)
{
    const FolderCheck check = checkOwnFolder(path, false);
    if (check != FolderCheck::Ok)
        return failure(path, folderCheckText(check), ENOTDIR, BaseError::NotAFile);
    return Folder(FileHandle(), path);
}

Result<void> recoverInterruptedWrites(const Folder&)
{
    return {};
}

Result<void> recoverInterruptedWrites(const fs::path&)
{
    return {};
}

Result<void> replaceFilesTogether(std::span<const NewFile> files, Durability durability)
{
    std::vector<bool> existed;
    for (const NewFile& f : files) {
        std::error_code ec;
        const fs::file_status st = fs::symlink_status(f.target, ec);
        if (fs::exists(st) && !fs::is_regular_file(st))
            return failure(f.target, "is not a regular file", EINVAL, BaseError::NotAFile);
        existed.push_back(fs::exists(st));
    }
    std::vector<std::optional<TempFile>> fresh(files.size()), aside(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (files[i].bytes) {
            auto temp = TempFile::beside(files[i].target);
            if (!temp)
                return Error{temp.error(), temp.code()};
            if (auto w = temp->write(*files[i].bytes); !w)
                return w;
            fresh[i].emplace(std::move(*temp));
        }
        if (existed[i]) {
            auto named = TempFile::secondNameOf(files[i].target);
            if (!named)
                return Error{named.error(), named.code()};
            aside[i].emplace(std::move(*named));
        }
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        Result<void> done = fresh[i] ? fresh[i]->replace(files[i].target, durability) : removeName(files[i].target);
        if (!done) {
            for (std::size_t j = 0; j < i; ++j) {
                if (aside[j])
                    (void)aside[j]->replace(files[j].target, durability);
                else
                    (void)removeName(files[j].target);
            }
            return done;
        }
    }
    return {};
}

Result<void> replaceFilesTogether(const Folder& folder, std::span<const NewFile> files, Durability durability)
{
    std::vector<NewFile> inFolder(files.begin(), files.end());
    for (NewFile& f : inFolder)
        f.target = folder.path() / f.target.filename();
    return replaceFilesTogether(inFolder, durability);
}

Result<void> replaceFilesTogether(std::span<const NewFileIn> files, Durability durability)
{
    std::vector<NewFile> byPath;
    for (const NewFileIn& f : files)
        byPath.push_back({f.folder->path() / f.name, f.bytes});
    return replaceFilesTogether(byPath, durability);
}

#else

// ---------------------------------------------------------------- folders

namespace {

// Whether a group other than the user's own private one (the group of the
// user's name with no further members) may write into the folder, or anyone
// at all.
bool writableByOthers(const struct stat& st)
{
    if (st.st_mode & S_IWOTH)
        return true;
    if (!(st.st_mode & S_IWGRP))
        return false;
    const group* g = ::getgrgid(st.st_gid);
    const passwd* user = ::getpwuid(::geteuid());
    if (!g || !user || st.st_gid != user->pw_gid || (g->gr_mem && g->gr_mem[0]))
        return true;
    return std::string(g->gr_name) != user->pw_name;
}

} // namespace

Result<Folder> Folder::openOwn(const fs::path& given)
{
    // "name/" would have the system resolve a link under name even with
    // O_NOFOLLOW: the closing separator goes first.
    fs::path path = given;
    while (!path.has_filename() && path.has_relative_path())
        path = path.parent_path();
    FileHandle dir(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!dir.valid()) {
        const int error = errno;
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
            return failure(path, "is a symbolic link; give the folder itself, so that nothing can redirect the files",
                           ELOOP, BaseError::NotAFile);
        if (error == ENOTDIR)
            return failure(path, "is not a folder", error, BaseError::NotAFile);
        return failure(path, "cannot open the folder", error);
    }
    struct stat st {};
    if (::fstat(dir.fd(), &st) != 0)
        return failure(path, "cannot examine the folder", errno);
    if (st.st_uid != ::geteuid())
        return failure(path, "belongs to another user; files are written only into a folder of your own", EPERM);
    if (writableByOthers(st))
        return failure(path,
                       "can be written by other users, who could swap or remove the files written there; "
                       "take their write access away (chmod go-w) or choose another folder",
                       EPERM);
    return Folder(std::move(dir), path);
}

// ---------------------------------------------------------------- replacing

namespace {

void step(int& counter)
{
    if (g_replaceStepHook)
        g_replaceStepHook(counter);
    ++counter;
}

struct Target {
    int dir;
    std::string leaf;
    fs::path shown;
    const std::optional<Bytes>* bytes;
    long long oldIno = 0;
    OwnName fresh, aside;
};

struct Journal {
    int dir;
    OwnName name;
};

Result<std::vector<Journal>> writeJournals(std::vector<Target>& targets, Durability durability)
{
    std::vector<int> dirs;
    for (const Target& t : targets)
        if (std::find(dirs.begin(), dirs.end(), t.dir) == dirs.end())
            dirs.push_back(t.dir);
    std::vector<Journal> journals;
    for (const int dir : dirs) {
        std::vector<JournalEntry> entries;
        const fs::path* shown = nullptr;
        for (const Target& t : targets) {
            if (t.dir != dir)
                continue;
            shown = &t.shown;
            entries.push_back({t.leaf, t.oldIno, t.fresh ? t.fresh.leaf() : std::string(), t.fresh.ino(),
                               t.aside ? t.aside.leaf() : std::string()});
        }
        const std::string text = journalText(entries);
        for (int attempt = 0;; ++attempt) {
            const std::string leaf = journalLeaf();
            FileHandle lock;
            FileHandle file = createLockedAt(dir, leaf, O_WRONLY, 0600, lock);
            if (!file.valid()) {
                if (errno == EEXIST && attempt < 16)
                    continue;
                return failure(*shown, "cannot write the replacement journal beside it", errno);
            }
            journals.push_back({dir, OwnName(dir, leaf, std::move(lock), inodeOf(file.fd()))});
            auto written = writeAll(file.fd(), ByteSpan(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
            // Across a crash the journal is on the disk before any rename.
            if (written && durability == Durability::AcrossCrash && (::fsync(file.fd()) != 0 || ::fsync(dir) != 0))
                written = fail(BaseError::Io, std::strerror(errno));
            if (!written || !file.close())
                return failure(*shown, "cannot write the replacement journal beside it", errno);
            break;
        }
    }
    return journals;
}

Result<void> replaceTargets(std::vector<Target>& targets, Durability durability)
{
    // 1. Every target absent or a regular file, before anything is written.
    for (Target& t : targets) {
        struct stat st {};
        if (::fstatat(t.dir, t.leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT)
                return failure(t.shown, "cannot examine file", errno);
            continue;
        }
        if (S_ISDIR(st.st_mode))
            return failure(t.shown, "a folder is in the way", EISDIR, BaseError::NotAFile);
        if (!S_ISREG(st.st_mode))
            return failure(t.shown, "is not a regular file", EINVAL, BaseError::NotAFile);
        t.oldIno = static_cast<long long>(st.st_ino);
    }

    // 2. The new bytes beside their targets, and the old files kept aside
    // until every rename succeeded.
    for (Target& t : targets) {
        if (*t.bytes) {
            const ByteSpan bytes(**t.bytes);
            auto temp = writeTemp(t.dir, t.leaf, t.shown, &bytes, -1);
            if (!temp)
                return Error{temp.error(), temp.code()};
            t.fresh = std::move(*temp);
        }
        if (t.oldIno != 0) {
            auto kept = keepAside(t.dir, t.leaf, t.shown);
            if (!kept)
                return Error{kept.error(), kept.code()};
            t.aside = std::move(*kept);
        }
    }

    // 3. The journals, then the renames, which a signal waits for.
    int steps = 0;
    step(steps);
    auto journals = writeJournals(targets, durability);
    if (!journals)
        return Error{journals.error(), journals.code()};
    const UninterruptedSection section;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        Target& t = targets[i];
        step(steps);
        const int rc = t.fresh ? renameInto(t.dir, t.fresh.leaf(), t.leaf, durability)
                               : ::unlinkat(t.dir, t.leaf.c_str(), 0);
        if (rc == 0 || (!t.fresh && errno == ENOENT)) {
            if (t.fresh)
                t.fresh.letGo();
            continue;
        }
        // 4. A failure puts back what was already done.
        Error failed = failure(t.shown, t.fresh ? "cannot replace file" : "cannot delete", errno);
        bool restored = true;
        for (std::size_t j = 0; j < i; ++j) {
            Target& d = targets[j];
            if (d.aside) {
                if (::renameat(d.dir, d.aside.leaf().c_str(), d.dir, d.leaf.c_str()) == 0)
                    d.aside.letGo();
                else
                    restored = false;
            } else if (inodeAt(d.dir, d.leaf) == d.fresh.ino() && ::unlinkat(d.dir, d.leaf.c_str(), 0) != 0) {
                restored = false;
            }
        }
        // What could not be put back stays with its journal for a later run.
        if (!restored) {
            for (Journal& j : *journals)
                j.name.letGo();
            for (Target& d : targets)
                d.aside.letGo();
        }
        const int error = errno;
        journals->clear();
        errno = error;
        return failed;
    }
    step(steps);
    journals->clear();
    step(steps);
    return {};
}

} // namespace

Result<void> recoverInterruptedWrites(const Folder& folder)
{
    return recoverAt(folder.fd(), folder.path());
}

Result<void> recoverInterruptedWrites(const fs::path& folder)
{
    // Only names of our own are touched in it, relative to the descriptor:
    // a link to the folder (the user's own path) may be followed.
    FileHandle dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.valid())
        return errno == ENOENT ? Result<void>() : failure(folder, "cannot open the folder", errno);
    return recoverAt(dir.fd(), folder);
}

Result<void> replaceFilesTogether(std::span<const NewFile> files, Durability durability)
{
    // Each folder opened once; what a killed replacement left there is
    // recovered first.
    std::vector<std::pair<fs::path, FileHandle>> folders;
    std::vector<Target> targets;
    for (const NewFile& f : files) {
        const fs::path parent = f.target.has_parent_path() ? f.target.parent_path() : fs::path(".");
        auto found = std::find_if(folders.begin(), folders.end(), [&](const auto& p) { return p.first == parent; });
        if (found == folders.end()) {
            FileHandle dir(::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            if (!dir.valid())
                return failure(f.target, "cannot open its folder", errno);
            (void)recoverAt(dir.fd(), parent);
            folders.emplace_back(parent, std::move(dir));
            found = folders.end() - 1;
        }
        const std::string leaf = name(f.target.filename());
        if (!plainName(leaf))
            return failure(f.target, "is not a file name", EINVAL, BaseError::NotAFile);
        targets.push_back({found->second.fd(), leaf, f.target, &f.bytes, 0, {}, {}});
    }
    return replaceTargets(targets, durability);
}

Result<void> replaceFilesTogether(const Folder& folder, std::span<const NewFile> files, Durability durability)
{
    const fs::path own = (folder.path() / "x").lexically_normal().parent_path();
    std::vector<Target> targets;
    for (const NewFile& f : files) {
        const std::string leaf = name(f.target.filename());
        const bool inFolder = !f.target.has_parent_path() || f.target.lexically_normal().parent_path() == own;
        if (!inFolder || !plainName(leaf))
            return failure(f.target, "is not a name in " + name(folder.path()), EINVAL, BaseError::NotAFile);
        targets.push_back({folder.fd(), leaf, folder.path() / leaf, &f.bytes, 0, {}, {}});
    }
    (void)recoverAt(folder.fd(), folder.path());
    return replaceTargets(targets, durability);
}

Result<void> replaceFilesTogether(std::span<const NewFileIn> files, Durability durability)
{
    std::vector<Target> targets;
    std::vector<int> recovered;
    for (const NewFileIn& f : files) {
        if (!plainName(f.name))
            return failure(f.folder->path() / f.name, "is not a name in " + name(f.folder->path()), EINVAL,
                           BaseError::NotAFile);
        targets.push_back({f.folder->fd(), f.name, f.folder->path() / f.name, &f.bytes, 0, {}, {}});
        if (std::find(recovered.begin(), recovered.end(), f.folder->fd()) == recovered.end()) {
            recovered.push_back(f.folder->fd());
            (void)recoverAt(f.folder->fd(), f.folder->path());
        }
    }
    return replaceTargets(targets, durability);
}

#endif

Result<void> replaceFilesIn(const fs::path& folder, std::span<const NewFile> files, Durability durability)
{
    auto opened = Folder::openOwn(folder);
    if (!opened)
        return Error{opened.error(), opened.code()};
    return replaceFilesTogether(*opened, files, durability);
}

} // namespace kastra

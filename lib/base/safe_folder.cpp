#include "base/safe_file.h"

#include "base/sys_file.h"

#include <algorithm>
#include <vector>

#ifndef _WIN32
#include <dirent.h>
#endif

namespace kastra {

namespace fs = std::filesystem;
using namespace sysfile;

// ---------------------------------------------------------------- removing

Result<void> removeName(const fs::path& path)
{
    std::error_code ec;
    const fs::file_status st = fs::symlink_status(path, ec);
    if (!fs::exists(st))
        return {};
    if (fs::is_directory(st))
        return failure(path, "is a folder", EISDIR, BaseError::NotAFile);
    // remove() on a link removes the link: it takes the name, not the target.
    if (!fs::remove(path, ec) && ec)
        return failure(path, "cannot delete", ec.value());
    return {};
}

#ifdef _WIN32

Result<void> deleteFilesIn(const fs::path& folder, const std::function<bool(const std::string&)>& match)
{
    std::error_code ec;
    if (!fs::is_directory(fs::symlink_status(folder, ec)))
        return failure(folder, "is not a folder", ENOTDIR, BaseError::NotAFile);
    for (const fs::directory_entry& e : fs::directory_iterator(folder, ec)) {
        if (fs::is_directory(e.symlink_status(ec)))
            continue;
        if (match && !match(name(e.path().filename())))
            continue;
        if (auto removed = removeName(e.path()); !removed)
            return removed;
    }
    return {};
}

Result<void> clearFolder(const fs::path& folder, std::span<const std::string> subFolders)
{
    std::error_code ec;
    const fs::file_status st = fs::symlink_status(folder, ec);
    if (!fs::exists(st))
        return {};
    if (!fs::is_directory(st))
        return removeName(folder);
    Result<void> result;
    for (const std::string& sub : subFolders)
        if (auto cleared = clearFolder(folder / sub); !cleared && result)
            result = cleared;
    if (auto deleted = deleteFilesIn(folder); !deleted)
        return deleted;
    if (!fs::remove(folder, ec) && result)
        return failure(folder, "cannot remove the folder", ec.value());
    return result;
}

FolderCheck checkOwnFolder(const fs::path& path, bool)
{
    std::error_code ec;
    const fs::file_status st = fs::symlink_status(path, ec);
    if (!fs::exists(st))
        return FolderCheck::Missing;
    if (fs::is_symlink(st))
        return FolderCheck::Link;
    return fs::is_directory(st) ? FolderCheck::Ok : FolderCheck::NotAFolder;
}

FolderCheck makeOwnFolder(const fs::path& path, bool mustBePrivate)
{
    std::error_code ec;
    fs::create_directory(path, ec);
    return checkOwnFolder(path, mustBePrivate);
}

#else

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// The non-folder entries of an open folder (sorted: the same file stops a
// deletion every time).
Result<std::vector<std::string>> filesAt(int dirFd, const fs::path& shown)
{
    const int own = ::dup(dirFd);
    if (own < 0)
        return failure(shown, "cannot read the folder", errno);
    DIR* dir = ::fdopendir(own);
    if (!dir) {
        const int error = errno;
        ::close(own);
        return failure(shown, "cannot read the folder", error);
    }
    ::rewinddir(dir);
    std::vector<std::string> names;
    while (const dirent* e = ::readdir(dir)) {
        const std::string n = e->d_name;
        if (n == "." || n == "..")
            continue;
        bool folder = e->d_type == DT_DIR;
        if (e->d_type == DT_UNKNOWN) {
            struct stat st {};
            folder = ::fstatat(dirFd, n.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
        }
        if (!folder)
            names.push_back(n);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

Result<void> deleteFilesAt(int dirFd, const fs::path& shown, const std::function<bool(const std::string&)>& match)
{
    auto names = filesAt(dirFd, shown);
    if (!names)
        return Error{names.error(), names.code()};
    for (const std::string& n : *names) {
        if (match && !match(n))
            continue;
        // unlinkat without AT_REMOVEDIR takes the name: a link goes, its
        // target stays.
        if (::unlinkat(dirFd, n.c_str(), 0) != 0 && errno != ENOENT)
            return failure(shown / n, "cannot delete", errno);
    }
    return {};
}

// Opens name in dirFd as a folder without following a link. A link or file
// under the name is removed as a name and gives an invalid handle, as does
// a missing name.
Result<FileHandle> openFolderAt(int dirFd, const char* entry, const fs::path& shown)
{
    FileHandle h(::openat(dirFd, entry, kFolderFlags));
    if (h.valid())
        return h;
    const int error = errno;
    struct stat st {};
    if (::fstatat(dirFd, entry, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT)
            return FileHandle();
        return failure(shown, "cannot open the folder", errno);
    }
    if (S_ISDIR(st.st_mode))
        return failure(shown, "cannot open the folder", error);
    if (::unlinkat(dirFd, entry, 0) != 0 && errno != ENOENT)
        return failure(shown, "cannot delete", errno);
    return FileHandle();
}

// Clears the open folder dirFd: the named sub-folders, then its own files.
// True when all went; the first failure is returned.
Result<void> clearAt(int dirFd, const fs::path& shown, std::span<const std::string> subFolders)
{
    Result<void> result;
    for (const std::string& sub : subFolders) {
        auto opened = openFolderAt(dirFd, sub.c_str(), shown / sub);
        if (!opened) {
            if (result)
                result = Error{opened.error(), opened.code()};
            continue;
        }
        if (!opened->valid())
            continue;
        auto cleared = deleteFilesAt(opened->fd(), shown / sub, {});
        if (cleared && ::unlinkat(dirFd, sub.c_str(), AT_REMOVEDIR) != 0)
            cleared = failure(shown / sub, "cannot remove the folder", errno);
        if (!cleared && result)
            result = cleared;
    }
    if (auto deleted = deleteFilesAt(dirFd, shown, {}); !deleted)
        return deleted;
    return result;
}

} // namespace

Result<void> deleteFilesIn(const fs::path& folder, const std::function<bool(const std::string&)>& match)
{
    FileHandle dir(::open(folder.c_str(), kFolderFlags));
    if (!dir.valid())
        return failure(folder, "cannot open the folder", errno);
    return deleteFilesAt(dir.fd(), folder, match);
}

Result<void> clearFolder(const fs::path& folder, std::span<const std::string> subFolders)
{
    const fs::path parent = folder.has_parent_path() ? folder.parent_path() : fs::path(".");
    fs::path leaf = folder.filename();
    if (leaf.empty())   // "a/b/": the folder is "a/b"
        return clearFolder(folder.parent_path(), subFolders);
    FileHandle up(::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!up.valid())
        return errno == ENOENT ? Result<void>() : failure(parent, "cannot open the folder", errno);
    auto opened = openFolderAt(up.fd(), leaf.c_str(), folder);
    if (!opened)
        return Error{opened.error(), opened.code()};
    if (!opened->valid())
        return {};
    if (auto cleared = clearAt(opened->fd(), folder, subFolders); !cleared)
        return cleared;
    if (::unlinkat(up.fd(), leaf.c_str(), AT_REMOVEDIR) != 0)
        return failure(folder, "cannot remove the folder", errno);
    return {};
}

FolderCheck checkOwnFolder(const fs::path& path, bool mustBePrivate)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return errno == ENOENT ? FolderCheck::Missing : FolderCheck::NotAFolder;
    if (S_ISLNK(st.st_mode))
        return FolderCheck::Link;
    if (!S_ISDIR(st.st_mode))
        return FolderCheck::NotAFolder;
    if (st.st_uid != ::geteuid())
        return FolderCheck::NotOwned;
    if (mustBePrivate && (st.st_mode & 077) != 0)
        return FolderCheck::OpenToOthers;
    return FolderCheck::Ok;
}

FolderCheck makeOwnFolder(const fs::path& path, bool mustBePrivate)
{
    // mkdir never follows a link under the name: it fails with EEXIST, and
    // the check below then sees the link.
    ::mkdir(path.c_str(), 0700);
    return checkOwnFolder(path, mustBePrivate);
}

#endif

std::string folderCheckText(FolderCheck check)
{
    switch (check) {
    case FolderCheck::Ok: return "is usable";
    case FolderCheck::Missing: return "does not exist";
    case FolderCheck::Link: return "is a symbolic link";
    case FolderCheck::NotAFolder: return "is not a folder";
    case FolderCheck::NotOwned: return "belongs to another user";
    case FolderCheck::OpenToOthers: return "is open to other users";
    }
    return {};
}

} // namespace kastra

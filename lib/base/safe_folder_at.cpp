// The descriptor-relative forms of the file operations: a Folder is opened
// once, and every name below it is created, read, renamed or removed
// relative to that descriptor. A folder swapped for a link after it was
// opened, or a sub-folder replaced by one, can then redirect nothing.

#include "base/safe_file.h"

#include "base/fileio.h"
#include "base/own_names.h"
#include "base/sys_file.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace kastra {

namespace fs = std::filesystem;
using namespace sysfile;

namespace {

// A name that stays in the folder: no separator, nothing that walks up.
bool plainLeaf(const std::string& leaf)
{
    return !leaf.empty() && leaf != "." && leaf != ".." && leaf.find('/') == std::string::npos
           && leaf.find('\0') == std::string::npos;
}

Error notPlain(const Folder& folder, const std::string& leaf)
{
    return failure(folder.path() / leaf, "is not a name in " + name(folder.path()), EINVAL, BaseError::NotAFile);
}

} // namespace

#ifdef _WIN32

// No descriptors of folders there: the forms go by path, with the same
// checks the path functions make.

Result<Folder> Folder::sub(const std::string& leaf, bool create) const
{
    if (!plainLeaf(leaf))
        return notPlain(*this, leaf);
    const fs::path p = m_path / leaf;
    std::error_code ec;
    if (create && !fs::exists(fs::symlink_status(p, ec)))
        fs::create_directory(p, ec);
    if (!fs::is_directory(fs::symlink_status(p, ec)))
        return failure(p, "is not a folder", ENOTDIR, BaseError::NotAFile);
    return Folder(FileHandle(), p);
}

Result<FileHandle> Folder::openFile(const std::string& leaf, std::uintmax_t* size) const
{
    if (!plainLeaf(leaf))
        return notPlain(*this, leaf);
    return openRegularFile(m_path / leaf, size);
}

bool Folder::holdsExactly(const std::string& leaf, ByteSpan bytes, bool executable) const
{
    return plainLeaf(leaf) && kastra::holdsExactly(m_path / leaf, bytes, executable);
}

Result<void> Folder::writeFile(const std::string& leaf, ByteSpan bytes, Durability durability, bool) const
{
    if (!plainLeaf(leaf))
        return notPlain(*this, leaf);
    return writeFileAtomic(m_path / leaf, bytes, durability);
}

Result<void> Folder::remove(const std::string& leaf) const
{
    if (!plainLeaf(leaf))
        return notPlain(*this, leaf);
    return removeName(m_path / leaf);
}

Result<void> Folder::rename(const std::string& leaf, const Folder& to, const std::string& toName) const
{
    if (!plainLeaf(leaf) || !plainLeaf(toName))
        return notPlain(*this, plainLeaf(leaf) ? toName : leaf);
    std::error_code ec;
    fs::rename(m_path / leaf, to.m_path / toName, ec);
    if (ec)
        return failure(to.m_path / toName, "cannot rename", ec.value());
    return {};
}

bool Folder::hasFile(const std::string& leaf) const
{
    std::error_code ec;
    return plainLeaf(leaf) && fs::is_regular_file(fs::symlink_status(m_path / leaf, ec));
}

#else

Result<Folder> Folder::sub(const std::string& leaf, bool create) const
{
    if (!plainLeaf(leaf))
        return notPlain(*this, leaf);
    const fs::path p = m_path / leaf;
    if (create && ::mkdirat(fd(), leaf.c_str(), 0755) != 0 && errno != EEXIST)
        return failure(p, "cannot create the folder", errno);
    FileHandle dir(::openat(fd(), leaf.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!dir.valid()) {
        const int error = errno;
        struct stat st {};
        if (::fstatat(fd(), leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
            return failure(p, "is a symbolic link, not a folder of the workspace; it is not followed", ELOOP,
                           BaseError::NotAFile);
        if (error == ENOTDIR)
            return failure(p, "is not a folder", error, BaseError::NotAFile);
        return failure(p, "cannot open the folder", error);
    }
    return Folder(std::move(dir), p);
}

Result<FileHandle> Folder::openFile(const std::string& leaf, std::uintmax_t* size) const
{
    if (!plainLeaf(leaf))
        return notPlain(*this, leaf);
    FileHandle file(::openat(fd(), leaf.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!file.valid())
        return failure(m_path / leaf, "cannot open file", errno);
    return regularFileOnly(std::move(file), m_path / leaf, size);
}

bool Folder::holdsExactly(const std::string& leaf, ByteSpan bytes, bool executable) const
{
    return plainLeaf(leaf)
           && holdsExactlyOpen(FileHandle(::openat(fd(), leaf.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)),
                               bytes, executable);
}

Result<void> Folder::writeFile(const std::string& leaf, ByteSpan bytes, Durability durability,
                               bool executable) const
{
    if (!plainLeaf(leaf))
        return notPlain(*this, leaf);
    const fs::path target = m_path / leaf;
    auto temp = writeTemp(fd(), leaf, target, &bytes, -1, executable ? 0755 : 0644);
    if (!temp)
        return Error{temp.error(), temp.code()};
    if (renameInto(fd(), temp->leaf(), leaf, durability) != 0)
        return failure(target, "cannot replace file", errno);
    temp->letGo();
    return {};
}

Result<void> Folder::remove(const std::string& leaf) const
{
    if (!plainLeaf(leaf))
        return notPlain(*this, leaf);
    struct stat st {};
    if (::fstatat(fd(), leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? Result<void>{} : Result<void>(failure(m_path / leaf, "cannot delete", errno));
    if (S_ISDIR(st.st_mode))
        return failure(m_path / leaf, "is a folder", EISDIR, BaseError::NotAFile);
    if (::unlinkat(fd(), leaf.c_str(), 0) != 0 && errno != ENOENT)
        return failure(m_path / leaf, "cannot delete", errno);
    return {};
}

Result<void> Folder::rename(const std::string& leaf, const Folder& to, const std::string& toName) const
{
    if (!plainLeaf(leaf) || !plainLeaf(toName))
        return notPlain(*this, plainLeaf(leaf) ? toName : leaf);
    struct stat st {};
    if (::fstatat(to.fd(), toName.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode))
        return failure(to.m_path / toName, "is a folder", EISDIR, BaseError::NotAFile);
    if (::renameat(fd(), leaf.c_str(), to.fd(), toName.c_str()) != 0)
        return failure(to.m_path / toName, "cannot rename " + leaf + " to it", errno);
    return {};
}

bool Folder::hasFile(const std::string& leaf) const
{
    struct stat st {};
    return plainLeaf(leaf) && ::fstatat(fd(), leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode);
}

#endif

Result<Bytes> Folder::readFile(const std::string& leaf, std::uintmax_t maxBytes) const
{
    std::uintmax_t size = 0;
    auto file = openFile(leaf, &size);
    if (!file)
        return Error{file.error(), file.code()};
    return readOpenFile(*file, size, maxBytes, m_path / leaf);
}

Result<void> Folder::link(const std::string& leaf, const Folder& to, const std::string& toName) const
{
    if (!plainLeaf(leaf) || !plainLeaf(toName))
        return notPlain(*this, plainLeaf(leaf) ? toName : leaf);
    if (!hasFile(leaf))
        return failure(m_path / leaf, "is not a regular file", EINVAL, BaseError::NotAFile);
#ifdef _WIN32
    return linkFile(m_path / leaf, to.m_path / toName);
#else
    // Without AT_SYMLINK_FOLLOW: a link swapped in since the check gets the
    // second name itself, its target is never reached.
    if (::linkat(fd(), leaf.c_str(), to.fd(), toName.c_str(), 0) != 0)
        return failure(to.m_path / toName, "cannot give " + leaf + " a second name", errno);
    return {};
#endif
}

} // namespace kastra

#include "base/safe_file.h"

#include "base/sys_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>   // renameat2
#include <cstring>
#include <mutex>
#include <optional>
#include <random>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#ifdef _WIN32
#include <io.h>
#else
#include <dirent.h>
#include <unistd.h>
#endif

namespace kastra {

namespace fs = std::filesystem;
using namespace sysfile;

namespace {

// 64 random bits as hex, so that a temporary's name cannot be guessed and a
// link planted ahead under it is never met.
std::string randomTag()
{
    static std::mutex lock;
    static std::random_device device;
    const std::lock_guard<std::mutex> guard(lock);
    static const char digits[] = "0123456789abcdef";
    std::string tag;
    for (int i = 0; i < 2; ++i) {
        std::uint32_t v = device();
        for (int k = 0; k < 8; ++k, v >>= 4)
            tag.push_back(digits[v & 15]);
    }
    return tag;
}

constexpr std::size_t kChunk = 64 * 1024;

enum class Swap { Done, Unavailable, Failed };

// Puts temp in target's place and removes the file that was there, without
// the write-out a rename over an existing file forces on ext4: the two names
// are exchanged in one step, so target never goes missing and never holds
// a mix. Unavailable when there is nothing to exchange with (target
// missing) or the system or file system cannot exchange; the caller renames
// then. A folder under target is put back and refused.
Swap exchangeInto(const fs::path& temp, const fs::path& target)
{
#if defined(__linux__) && defined(RENAME_EXCHANGE)
    // A folder under target is refused before anything moves, as rename()
    // refuses it; the check after the exchange catches one put there since.
    struct stat before {};
    if (::lstat(target.c_str(), &before) == 0 && S_ISDIR(before.st_mode)) {
        errno = EISDIR;
        return Swap::Failed;
    }
    if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) != 0)
        return errno == ENOENT || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP ? Swap::Unavailable
                                                                                           : Swap::Failed;
    // temp now names what stood under target.
    struct stat st {};
    if (::lstat(temp.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        ::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE);
        errno = EISDIR;
        return Swap::Failed;
    }
    // The old file (or a link, as a name) goes; should that fail, only a
    // hidden temporary name is left behind, and target is already new.
    ::unlink(temp.c_str());
    return Swap::Done;
#else
    (void)temp;
    (void)target;
    return Swap::Unavailable;
#endif
}

} // namespace

// ---------------------------------------------------------------- FileHandle

FileHandle::~FileHandle()
{
    close();
}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept
{
    if (this != &other) {
        close();
        m_fd = other.release();
    }
    return *this;
}

int FileHandle::release()
{
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

bool FileHandle::close()
{
    if (m_fd < 0)
        return true;
    const int fd = release();
    return sysClose(fd) == 0;
}

// ---------------------------------------------------------------- reading

Result<FileHandle> openRegularFile(const fs::path& path, std::uintmax_t* size)
{
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a
    // writer for ever. It is cleared again once the file is known to be a
    // regular one.
    FileHandle file(sysOpen(path, O_RDONLY | kNonBlock | kCloseOnExec | kBinary, 0));
    if (!file.valid())
        return failure(path, "cannot open file", errno);
    StatBuf st{};
    if (sysFstat(file.fd(), &st) != 0)
        return failure(path, "cannot examine file", errno);
    if ((st.st_mode & S_IFMT) == S_IFDIR)
        return failure(path, "is a folder, not a file", EISDIR, BaseError::NotAFile);
    if ((st.st_mode & S_IFMT) != S_IFREG)
        return failure(path, "is not a regular file", EINVAL, BaseError::NotAFile);
#ifndef _WIN32
    const int flags = ::fcntl(file.fd(), F_GETFL);
    if (flags < 0 || ::fcntl(file.fd(), F_SETFL, flags & ~O_NONBLOCK) != 0)
        return failure(path, "cannot read file", errno);
#endif
    if (size)
        *size = static_cast<std::uintmax_t>(st.st_size);
    return file;
}

Result<void> writeAll(int fd, ByteSpan bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const long n = sysWrite(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail(BaseError::Io, std::strerror(errno));
        if (n == 0) {
            errno = ENOSPC;
            return fail(BaseError::Io, "nothing could be written");
        }
        done += static_cast<std::size_t>(n);
    }
    return {};
}

// ---------------------------------------------------------------- TempFile

Result<TempFile> TempFile::beside(const fs::path& target)
{
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string base = ".";
    base.append(name(target.filename())).append(".");
    int error = EEXIST;
    for (int attempt = 0; attempt < 16 && error == EEXIST; ++attempt) {
        // Appended into one string: chains of operator+ on temporaries make
        // GCC report overlapping copies that cannot happen (-Wrestrict).
        std::string leaf = base;
        leaf.append(randomTag());
        leaf.append(".tmp");
        fs::path candidate = folder / leaf;
        const int fd = sysOpen(candidate, O_WRONLY | O_CREAT | O_EXCL | kNoFollow | kCloseOnExec | kBinary, 0644);
        if (fd >= 0)
            return TempFile(FileHandle(fd), std::move(candidate));
        error = errno;
    }
    return failure(target, "cannot create a temporary file beside it", error);
}

Result<TempFile> TempFile::secondNameOf(const fs::path& file)
{
    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    std::string base = ".";
    base.append(name(file.filename())).append(".");
    Error last = failure(file, "cannot give the file a second name", EEXIST);
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::string leaf = base;
        leaf.append(randomTag());
        leaf.append(".tmp");
        fs::path candidate = folder / leaf;
        // linkFile fails on any existing name and follows nothing planted
        // under it.
        auto linked = linkFile(file, candidate);
        if (linked)
            return TempFile(FileHandle(), std::move(candidate));
        last = Error{linked.error(), linked.code()};
        if (errno != EEXIST)
            break;
    }
    return last;
}

TempFile::TempFile(TempFile&& other) noexcept
    : m_file(std::move(other.m_file)), m_path(std::move(other.m_path)), m_gone(other.m_gone)
{
    other.m_gone = true;
}

TempFile::~TempFile()
{
    if (m_gone)
        return;
    const int saved = errno;
    m_file.close();
    std::error_code ec;
    fs::remove(m_path, ec);
    errno = saved;
}

Result<void> TempFile::write(ByteSpan bytes)
{
    if (auto written = writeAll(m_file.fd(), bytes); !written)
        return failure(m_path, "cannot write file", errno);
    return {};
}

Result<void> TempFile::copyFrom(int sourceFd)
{
    std::vector<std::uint8_t> buffer(kChunk);
    for (;;) {
        const long n = sysRead(sourceFd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return failure(m_path, "cannot read the source", errno);
        if (n == 0)
            return {};
        if (auto w = write(ByteSpan(buffer.data(), static_cast<std::size_t>(n))); !w)
            return w;
    }
}

Result<void> TempFile::close()
{
    if (m_file.valid() && !m_file.close())
        return failure(m_path, "cannot write file", errno);
    return {};
}

Result<void> TempFile::replace(const fs::path& target, Durability durability)
{
    if (auto closed = close(); !closed)
        return closed;
    if (durability == Durability::WhileRunning) {
        const Swap swap = exchangeInto(m_path, target);
        if (swap == Swap::Done) {
            m_gone = true;
            return {};
        }
        if (swap == Swap::Failed)
            return failure(target, "cannot replace file", errno);
    }
    std::error_code ec;
    fs::rename(m_path, target, ec);
    if (ec)
        return failure(target, "cannot replace file", ec.value());
    m_gone = true;
    return {};
}

// ---------------------------------------------------------------- writing

Result<void> writeFileAtomic(const fs::path& path, ByteSpan bytes, Durability durability)
{
    auto temp = TempFile::beside(path);
    if (!temp)
        return Error{temp.error(), temp.code()};
    if (auto w = temp->write(bytes); !w)
        return w;
    return temp->replace(path, durability);
}

bool holdsExactly(const fs::path& path, ByteSpan bytes, bool executable)
{
    FileHandle file(sysOpen(path, O_RDONLY | kNoFollow | kNonBlock | kCloseOnExec | kBinary, 0));
    if (!file.valid())
        return false;
    StatBuf st{};
    if (sysFstat(file.fd(), &st) != 0 || (st.st_mode & S_IFMT) != S_IFREG
        || static_cast<std::uintmax_t>(st.st_size) != bytes.size())
        return false;
#ifndef _WIN32
    if (executable && !(st.st_mode & S_IXUSR))
        return false;
#else
    (void)executable;
#endif
    // No larger than the file and the one byte that shows it grew: callers
    // compare hundreds of small slot files in a row.
    std::vector<std::uint8_t> buffer(std::min(kChunk, bytes.size() + 1));
    std::size_t done = 0;
    for (;;) {
        const long n = sysRead(file.fd(), buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n == 0 && done == bytes.size();
        const auto got = static_cast<std::size_t>(n);
        if (got > bytes.size() - done || std::memcmp(buffer.data(), bytes.data() + done, got) != 0)
            return false;
        done += got;
    }
}

Result<void> linkFile(const fs::path& path, const fs::path& newName)
{
    std::error_code ec;
    const fs::file_status st = fs::symlink_status(path, ec);
    if (ec)
        return failure(path, "cannot examine file", ec.value());
    if (!fs::is_regular_file(st))
        return failure(path, "is not a regular file", EINVAL);
#ifdef _WIN32
    fs::create_hard_link(path, newName, ec);
    if (ec)
        return failure(newName, "cannot give the file a second name", ec.value());
#else
    // Without AT_SYMLINK_FOLLOW the name itself is linked: a link that took
    // the file's place since the check would be linked as a link, its
    // target never reached. An existing newName is never followed either.
    if (::linkat(AT_FDCWD, path.c_str(), AT_FDCWD, newName.c_str(), 0) != 0)
        return failure(newName, "cannot give the file a second name", errno);
#endif
    return {};
}

Result<void> copyFileAtomic(const fs::path& from, const fs::path& to, std::uintmax_t maxBytes)
{
    std::uintmax_t size = 0;
    auto source = openRegularFile(from, &size);
    if (!source)
        return Error{source.error(), source.code()};
    if (size > maxBytes)
        return failure(from, "file is too large (" + std::to_string(size) + " bytes, at most "
                                 + std::to_string(maxBytes) + ")", EFBIG, BaseError::TooLarge);
    auto temp = TempFile::beside(to);
    if (!temp)
        return Error{temp.error(), temp.code()};
    if (auto copied = temp->copyFrom(source->fd()); !copied)
        return copied;
#ifndef _WIN32
    // The copy keeps whether the file can be run, nothing more: the temporary
    // was made 0644, and others never get write access from a source.
    StatBuf st{};
    if (::fstat(source->fd(), &st) == 0 && (st.st_mode & S_IXUSR))
        ::fchmod(temp->fd(), 0755);
#endif
    return temp->replace(to);
}

Result<void> replaceFilesTogether(std::span<const NewFile> files, Durability durability)
{
    // 1. Every target absent or a regular file, before anything is written.
    std::vector<bool> existed;
    for (const NewFile& f : files) {
        std::error_code ec;
        const fs::file_status st = fs::symlink_status(f.target, ec);
        if (ec && ec != std::errc::no_such_file_or_directory)
            return failure(f.target, "cannot examine file", ec.value());
        if (fs::exists(st) && !fs::is_regular_file(st))
            return failure(f.target, fs::is_directory(st) ? "a folder is in the way" : "is not a regular file",
                           fs::is_directory(st) ? EISDIR : EINVAL, BaseError::NotAFile);
        existed.push_back(fs::exists(st));
    }

    // 2. The new bytes beside their targets.
    std::vector<std::optional<TempFile>> fresh(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (!files[i].bytes)
            continue;
        auto temp = TempFile::beside(files[i].target);
        if (!temp)
            return Error{temp.error(), temp.code()};
        if (auto w = temp->write(*files[i].bytes); !w)
            return w;
        if (auto c = temp->close(); !c)
            return c;
        fresh[i].emplace(std::move(*temp));
    }

    // 3. The old files kept aside until every rename succeeded: under a
    // second name where the file system allows it (the rename below gives
    // the target a new file and leaves the old one whole), else as a copy.
    std::vector<std::optional<TempFile>> aside(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (!existed[i])
            continue;
        if (auto named = TempFile::secondNameOf(files[i].target)) {
            aside[i].emplace(std::move(*named));
            continue;
        }
        auto old = openRegularFile(files[i].target);
        if (!old)
            return Error{old.error(), old.code()};
        auto keep = TempFile::beside(files[i].target);
        if (!keep)
            return Error{keep.error(), keep.code()};
        if (auto c = keep->copyFrom(old->fd()); !c)
            return c;
        if (auto c = keep->close(); !c)
            return c;
        aside[i].emplace(std::move(*keep));
    }

    // 4. Renamed into place or removed; a failure puts back what was
    // already done.
    for (std::size_t i = 0; i < files.size(); ++i) {
        Result<void> done = fresh[i] ? fresh[i]->replace(files[i].target, durability) : removeName(files[i].target);
        if (!done) {
            const int error = errno;
            for (std::size_t j = 0; j < i; ++j) {
                if (aside[j])
                    (void)aside[j]->replace(files[j].target, durability);
                else
                    (void)removeName(files[j].target);
            }
            errno = error;
            return done;
        }
    }
    return {};
}

} // namespace kastra

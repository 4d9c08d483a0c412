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
#include <sys/file.h>
#include <unistd.h>
#endif

namespace kastra {

namespace fs = std::filesystem;
using namespace sysfile;

namespace sysfile {

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

#ifndef _WIN32
FileHandle createLockedAt(int dir, const std::string& leaf, int flags, int mode, FileHandle& lock)
{
    FileHandle file(::openat(dir, leaf.c_str(), flags | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    if (!file.valid())
        return file;
    // Blocking: only a sweep holds it, for a moment. Once held, the name must
    // still be this file: a sweep that got in first has removed it, and the
    // caller then tries another name. A file system without these locks
    // gets no lock (and no sweep either).
    int rc;
    do
        rc = ::flock(file.fd(), LOCK_EX);
    while (rc != 0 && errno == EINTR);
    if (rc != 0)
        return file;
    struct stat mine {}, named {};
    if (::fstat(file.fd(), &mine) != 0 || ::fstatat(dir, leaf.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0
        || mine.st_ino != named.st_ino || mine.st_dev != named.st_dev) {
        errno = EEXIST;
        return FileHandle();
    }
    // A descriptor of its own keeps the lock after the writing one closes.
    lock = FileHandle(::fcntl(file.fd(), F_DUPFD_CLOEXEC, 0));
    return file;
}

FileHandle lockNamed(int dir, const std::string& leaf)
{
    FileHandle held(::openat(dir, leaf.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    // The name is a second one of a user's file, which some other program
    // may hold locked: a sweep's moment is waited out, nothing longer.
    for (int attempt = 0; held.valid() && attempt < 50; ++attempt) {
        if (::flock(held.fd(), LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK)
            break;
        ::usleep(2000);
    }
    return held;
}
#endif

} // namespace sysfile

namespace {

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
    return regularFileOnly(std::move(file), path, size);
}

Result<FileHandle> sysfile::regularFileOnly(FileHandle file, const fs::path& path, std::uintmax_t* size)
{
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
#ifdef _WIN32
        FileHandle lock;
        FileHandle file(sysOpen(candidate, O_WRONLY | O_CREAT | O_EXCL | kBinary, 0644));
#else
        // Held while the temporary exists, so that recoverInterruptedWrites
        // in another process leaves it alone.
        FileHandle lock;
        FileHandle file = createLockedAt(AT_FDCWD, candidate.native(), O_WRONLY, 0644, lock);
#endif
        if (file.valid())
            return TempFile(std::move(file), std::move(candidate), std::move(lock));
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
        if (linked) {
#ifdef _WIN32
            FileHandle lock;
#else
            FileHandle lock = lockNamed(AT_FDCWD, candidate.native());
#endif
            return TempFile(FileHandle(), std::move(candidate), std::move(lock));
        }
        last = Error{linked.error(), linked.code()};
        if (errno != EEXIST)
            break;
    }
    return last;
}

TempFile::TempFile(TempFile&& other) noexcept
    : m_file(std::move(other.m_file)), m_lock(std::move(other.m_lock)), m_path(std::move(other.m_path)),
      m_gone(other.m_gone)
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
            m_lock.close();
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
    m_lock.close();
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
    return holdsExactlyOpen(FileHandle(sysOpen(path, O_RDONLY | kNoFollow | kNonBlock | kCloseOnExec | kBinary, 0)),
                            bytes, executable);
}

bool sysfile::holdsExactlyOpen(const FileHandle& file, ByteSpan bytes, bool executable)
{
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

} // namespace kastra

#pragma once
// The system calls behind the safe file operations and the one way they
// word a failure. Internal to the base library (safe_file.cpp and
// safe_folder.cpp).

#include "base/result.h"
#include "base/safe_file.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace kastra::sysfile {

namespace fs = std::filesystem;

#ifdef _WIN32
// Windows has no links in the folders the program uses unless an
// administrator makes them, no FIFOs and no descriptor inheritance to guard
// against; the flags that ask for it are left out there.
inline constexpr int kNoFollow = 0;
inline constexpr int kNonBlock = 0;
inline constexpr int kCloseOnExec = 0;
inline constexpr int kBinary = _O_BINARY;
using StatBuf = struct _stat64;
inline int sysOpen(const fs::path& p, int flags, int mode) { return ::_wopen(p.c_str(), flags, mode); }
inline int sysClose(int fd) { return ::_close(fd); }
inline long sysRead(int fd, void* b, std::size_t n) { return ::_read(fd, b, static_cast<unsigned>(n)); }
inline long sysWrite(int fd, const void* b, std::size_t n) { return ::_write(fd, b, static_cast<unsigned>(n)); }
inline int sysFstat(int fd, StatBuf* st) { return ::_fstat64(fd, st); }
#else
inline constexpr int kNoFollow = O_NOFOLLOW;
inline constexpr int kNonBlock = O_NONBLOCK;
inline constexpr int kCloseOnExec = O_CLOEXEC;
inline constexpr int kBinary = 0;
using StatBuf = struct stat;
inline int sysOpen(const fs::path& p, int flags, int mode) { return ::open(p.c_str(), flags, mode); }
inline int sysClose(int fd) { return ::close(fd); }
inline long sysRead(int fd, void* b, std::size_t n) { return ::read(fd, b, n); }
inline long sysWrite(int fd, const void* b, std::size_t n) { return ::write(fd, b, n); }
inline int sysFstat(int fd, StatBuf* st) { return ::fstat(fd, st); }
#endif

// 64 random bits as hex (16 digits), for names nobody can guess ahead.
std::string randomTag();

#ifndef _WIN32
// Creates leaf in dir exclusively (never following a link) and takes the
// lock that tells recoverInterruptedWrites a temporary is in use; lock gets
// a descriptor of its own that keeps it. Invalid with errno EEXIST when the
// name is taken, so the caller tries another.
FileHandle createLockedAt(int dir, const std::string& leaf, int flags, int mode, FileHandle& lock);
// The same lock on an existing name (a kept-aside old file).
FileHandle lockNamed(int dir, const std::string& leaf);
#endif

// The checks of openRegularFile on a file already opened for reading with
// O_NONBLOCK: a folder, a FIFO or a device is refused, and reads block
// again. shown names the file in the error.
Result<FileHandle> regularFileOnly(FileHandle file, const fs::path& shown, std::uintmax_t* size);

// The comparison of holdsExactly on a file already opened without following
// a link: a regular file of exactly bytes, executable when asked.
bool holdsExactlyOpen(const FileHandle& file, ByteSpan bytes, bool executable);

inline std::string name(const fs::path& p)
{
    return reinterpret_cast<const char*>(p.u8string().c_str());
}

// "<path>: <what> (<system reason>)", with errno kept for the caller.
inline Error failure(const fs::path& p, const std::string& what, int error, BaseError kind = BaseError::Io)
{
    std::string text = name(p);
    text.append(": ").append(what);
    if (error != 0)
        text.append(" (").append(std::strerror(error)).append(")");
    Error e = fail(kind, std::move(text));
    errno = error;
    return e;
}

} // namespace kastra::sysfile

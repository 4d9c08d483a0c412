#include "base/own_names.h"

#ifndef _WIN32

#include "base/replace_journal.h"
#include "base/sys_file.h"

#include <cstdio>   // renameat2
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>

namespace kastra::sysfile {

namespace fs = std::filesystem;
using replacejournal::inodeAt;

long long inodeOf(int fd)
{
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? static_cast<long long>(st.st_ino) : -1;
}

std::string tempLeaf(const std::string& target)
{
    std::string leaf = ".";
    leaf.append(target).append(".").append(randomTag()).append(".tmp");
    return leaf;
}

Result<OwnName> writeTemp(int dir, const std::string& target, const fs::path& shown, const ByteSpan* bytes, int source,
                          int mode)
{
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::string leaf = tempLeaf(target);
        FileHandle lock;
        FileHandle file = createLockedAt(dir, leaf, O_WRONLY, mode, lock);
        if (!file.valid()) {
            if (errno == EEXIST)
                continue;
            return failure(shown, "cannot create a temporary file beside it", errno);
        }
        OwnName name(dir, leaf, std::move(lock), inodeOf(file.fd()));
        if (bytes) {
            if (auto w = writeAll(file.fd(), *bytes); !w)
                return failure(shown, "cannot write file", errno);
        } else {
            std::vector<std::uint8_t> buffer(64 * 1024);
            for (;;) {
                const long n = ::read(source, buffer.data(), buffer.size());
                if (n < 0 && errno == EINTR)
                    continue;
                if (n < 0)
                    return failure(shown, "cannot keep the old file", errno);
                if (n == 0)
                    break;
                if (auto w = writeAll(file.fd(), ByteSpan(buffer.data(), static_cast<std::size_t>(n))); !w)
                    return failure(shown, "cannot keep the old file", errno);
            }
        }
        if (!file.close())
            return failure(shown, "cannot write file", errno);
        return name;
    }
    return failure(shown, "cannot create a temporary file beside it", EEXIST);
}

Result<OwnName> keepAside(int dir, const std::string& target, const fs::path& shown)
{
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::string leaf = tempLeaf(target);
        if (::linkat(dir, target.c_str(), dir, leaf.c_str(), 0) != 0) {
            if (errno == EEXIST)
                continue;
            break;
        }
        FileHandle lock = lockNamed(dir, leaf);
        // A sweep that came between the link and the lock took the name.
        if (!lock.valid() || inodeOf(lock.fd()) != inodeAt(dir, leaf))
            continue;
        return OwnName(dir, leaf, std::move(lock), inodeOf(lock.fd()));
    }
    FileHandle old(::openat(dir, target.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!old.valid())
        return failure(shown, "cannot keep the old file", errno);
    return writeTemp(dir, target, shown, nullptr, old.fd());
}

int renameInto(int dir, const std::string& from, const std::string& to, Durability durability)
{
#if defined(__linux__) && defined(RENAME_EXCHANGE)
    if (durability == Durability::WhileRunning) {
        struct stat st {};
        if (::fstatat(dir, to.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode)) {
            errno = EISDIR;
            return -1;
        }
        if (::renameat2(dir, from.c_str(), dir, to.c_str(), RENAME_EXCHANGE) == 0) {
            // from now names what stood under to: the old file goes (a
            // folder put there since is put back).
            if (::fstatat(dir, from.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode)) {
                ::renameat2(dir, from.c_str(), dir, to.c_str(), RENAME_EXCHANGE);
                errno = EISDIR;
                return -1;
            }
            ::unlinkat(dir, from.c_str(), 0);
            return 0;
        }
        if (errno != ENOENT && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
            return -1;
    }
#else
    (void)durability;
#endif
    return ::renameat(dir, from.c_str(), dir, to.c_str());
}

} // namespace kastra::sysfile

#endif

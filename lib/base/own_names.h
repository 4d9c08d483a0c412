#pragma once
// Names of our own in a folder given by descriptor: the temporaries a
// replacement writes, the old files it keeps aside, and the rename that
// puts a new file in place. Shared by the replacements of several files and
// the descriptor forms of Folder. Internal to the base library; POSIX only.

#include "base/bytes.h"
#include "base/result.h"
#include "base/safe_file.h"

#include <cerrno>
#include <filesystem>
#include <string>

#ifndef _WIN32
#include <unistd.h>

namespace kastra::sysfile {

// A name of our own in a folder (a temporary, a kept-aside old file, a
// journal) with the lock that keeps a sweep off it; removed by the
// destructor unless let go.
class OwnName {
public:
    OwnName() = default;
    OwnName(int dir, std::string leaf, FileHandle lock, long long ino)
        : m_dir(dir), m_leaf(std::move(leaf)), m_lock(std::move(lock)), m_ino(ino)
    {
    }
    OwnName(OwnName&& o) noexcept
        : m_dir(o.m_dir), m_leaf(std::move(o.m_leaf)), m_lock(std::move(o.m_lock)), m_ino(o.m_ino)
    {
        o.m_dir = -1;
    }
    OwnName& operator=(OwnName&& o) noexcept
    {
        if (this != &o) {
            drop();
            m_dir = o.m_dir;
            m_leaf = std::move(o.m_leaf);
            m_lock = std::move(o.m_lock);
            m_ino = o.m_ino;
            o.m_dir = -1;
        }
        return *this;
    }
    ~OwnName() { drop(); }

    explicit operator bool() const { return m_dir >= 0; }
    const std::string& leaf() const { return m_leaf; }
    long long ino() const { return m_ino; }
    // The name was renamed away (or is to stay for a later recovery).
    void letGo()
    {
        m_dir = -1;
        m_lock.close();
    }
    void drop()
    {
        if (m_dir >= 0) {
            const int saved = errno;
            ::unlinkat(m_dir, m_leaf.c_str(), 0);
            errno = saved;
        }
        letGo();
    }

private:
    int m_dir = -1;
    std::string m_leaf;
    FileHandle m_lock;
    long long m_ino = 0;
};

// ".<target>.<16 hex digits>.tmp"
std::string tempLeaf(const std::string& target);

// A new file of ours in dir holding bytes (or, with source, what remains of
// that open file), created with mode, closed and checked.
Result<OwnName> writeTemp(int dir, const std::string& target, const std::filesystem::path& shown,
                          const ByteSpan* bytes, int source, int mode = 0644);

// The old file at target kept under a second name of ours (a hard link), or
// as a copy where the file system has none.
Result<OwnName> keepAside(int dir, const std::string& target, const std::filesystem::path& shown);

// Puts the file named from in the place of to, both in dir (see
// Durability). A folder under to is refused. 0, or -1 with errno.
int renameInto(int dir, const std::string& from, const std::string& to, Durability durability);

// The inode of an open file, -1 when it cannot be examined.
long long inodeOf(int fd);

} // namespace kastra::sysfile

#endif

// Several files replaced as one, by descriptor, with a journal that lets a
// later run undo what a killed one left half done; the sweep of temporaries
// a killed process left; the sections a signal waits for.

#include "base/safe_file.h"

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

namespace {

// Whether n is a plain name in a folder: not empty, no slash, not "." or "..".
bool plainName(const std::string& n)
{
    return !n.empty() && n.size() <= 255 && n != "." && n != ".." && n.find('/') == std::string::npos
           && n.find('\0') == std::string::npos;
}

bool hexTag(const std::string& s, std::size_t at)
{
    if (s.size() < at + 16)
        return false;
    return std::all_of(s.begin() + static_cast<std::ptrdiff_t>(at), s.begin() + static_cast<std::ptrdiff_t>(at + 16),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// Whether n is one of our temporaries, ".<target>.<16 hex digits>.tmp";
// target gets the name it stands beside.
bool temporaryName(const std::string& n, std::string* target = nullptr)
{
    constexpr std::size_t tail = 1 + 16 + 4;   // ".<tag>.tmp"
    if (!plainName(n) || n.size() < 2 + tail || n[0] != '.' || n.compare(n.size() - 4, 4, ".tmp") != 0
        || n[n.size() - tail] != '.' || !hexTag(n, n.size() - tail + 1))
        return false;
    if (target)
        *target = n.substr(1, n.size() - tail - 1);
    return true;
}

const std::string kJournalPrefix = ".kastra-replace.";
const std::string kJournalSuffix = ".journal";

bool journalName(const std::string& n)
{
    return n.size() == kJournalPrefix.size() + 16 + kJournalSuffix.size() && n.starts_with(kJournalPrefix)
           && n.ends_with(kJournalSuffix) && hexTag(n, kJournalPrefix.size());
}

} // namespace

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

// The entries of an open folder that are not folders.
std::vector<std::string> namesIn(int dirFd)
{
    std::vector<std::string> names;
    const int own = ::fcntl(dirFd, F_DUPFD_CLOEXEC, 0);
    if (own < 0)
        return names;
    DIR* dir = ::fdopendir(own);
    if (!dir) {
        ::close(own);
        return names;
    }
    ::rewinddir(dir);
    while (const dirent* e = ::readdir(dir)) {
        if (e->d_type == DT_DIR)
            continue;
        const std::string n = e->d_name;
        if (n != "." && n != "..")
            names.push_back(n);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

// What stands under a name: 0 when nothing; -1 when it is not a regular file.
long long inodeAt(int dir, const std::string& leaf)
{
    struct stat st {};
    if (::fstatat(dir, leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? 0 : -1;
    return S_ISREG(st.st_mode) ? static_cast<long long>(st.st_ino) : -1;
}

long long inodeOf(int fd)
{
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? static_cast<long long>(st.st_ino) : -1;
}

} // namespace

Result<Folder> Folder::openOwn(const fs::path& path)
{
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

// ---------------------------------------------------------------- names

namespace {

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

std::string tempLeaf(const std::string& target)
{
    std::string leaf = ".";
    leaf.append(target).append(".").append(randomTag()).append(".tmp");
    return leaf;
}

// A new file of ours in dir holding bytes (or, with source, what remains of
// that open file), closed and checked.
Result<OwnName> writeTemp(int dir, const std::string& target, const fs::path& shown, const Bytes* bytes, int source)
{
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::string leaf = tempLeaf(target);
        FileHandle lock;
        FileHandle file = createLockedAt(dir, leaf, O_WRONLY, 0644, lock);
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

// The old file at target kept under a second name of ours (a hard link), or
// as a copy where the file system has none.
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

// Puts the file named from in the place of to, both in dir (see
// Durability). A folder under to is refused.
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

void step(int& counter)
{
    if (g_replaceStepHook)
        g_replaceStepHook(counter);
    ++counter;
}

// ---------------------------------------------------------------- journal

// One line per target: "<target> <old inode> <temporary> <its inode>
// <kept-aside name>", "-" for what is not there; names percent-escaped.
// First line "kastra-replace 1", last "end": a journal without it was cut
// short before any rename.
constexpr std::size_t kMaxJournalBytes = 256 * 1024;
constexpr std::size_t kMaxJournalEntries = 1024;
const std::string kJournalHead = "kastra-replace 1";

struct JournalEntry {
    std::string target;
    long long oldIno = 0;   // 0: there was no file
    std::string temp;       // empty: the target goes
    long long tempIno = 0;
    std::string aside;      // empty: nothing kept
};

std::string escaped(const std::string& n)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : n) {
        const auto c = static_cast<unsigned char>(ch);
        if (c <= 0x20 || c == 0x7f || c == '%') {
            out.push_back('%');
            out.push_back(digits[c >> 4]);
            out.push_back(digits[c & 15]);
        } else {
            out.push_back(ch);
        }
    }
    return out.empty() ? "-" : out;
}

std::optional<std::string> unescaped(const std::string& field)
{
    if (field == "-")
        return std::string();
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '%') {
            out.push_back(field[i]);
            continue;
        }
        if (i + 2 >= field.size())
            return std::nullopt;
        const auto hex = [](char c) {
            return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        };
        const int hi = hex(field[i + 1]), lo = hex(field[i + 2]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        out.push_back(static_cast<char>(hi * 16 + lo));
        i += 2;
    }
    return out;
}

std::optional<long long> number(const std::string& field)
{
    if (field == "-")
        return 0;
    if (field.empty() || field.size() > 18
        || !std::all_of(field.begin(), field.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return std::stoll(field);
}

std::string journalText(std::span<const JournalEntry> entries)
{
    std::string text = kJournalHead + "\n";
    for (const JournalEntry& e : entries) {
        text.append(escaped(e.target)).append(" ");
        text.append(e.oldIno ? std::to_string(e.oldIno) : "-").append(" ");
        text.append(escaped(e.temp)).append(" ");
        text.append(e.tempIno ? std::to_string(e.tempIno) : "-").append(" ");
        text.append(escaped(e.aside)).append("\n");
    }
    return text + "end\n";
}

// The entries of a journal; none with complete false when it was cut short;
// nullopt when it is not a journal of ours.
std::optional<std::vector<JournalEntry>> parseJournal(const std::string& text, bool& complete)
{
    complete = false;
    std::vector<std::string> lines;
    std::size_t from = 0;
    while (from < text.size()) {
        const std::size_t end = text.find('\n', from);
        if (end == std::string::npos)
            break;   // a last line without its end is cut short
        lines.push_back(text.substr(from, end - from));
        from = end + 1;
    }
    if (lines.empty())
        return std::vector<JournalEntry>();   // cut short before its first line
    if (lines[0] != kJournalHead || lines.size() > kMaxJournalEntries + 2)
        return std::nullopt;
    std::vector<JournalEntry> entries;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        if (lines[i] == "end") {
            if (i + 1 != lines.size())
                return std::nullopt;
            complete = true;
            return entries;
        }
        std::vector<std::string> fields;
        std::size_t at = 0;
        for (std::size_t space; (space = lines[i].find(' ', at)) != std::string::npos; at = space + 1)
            fields.push_back(lines[i].substr(at, space - at));
        fields.push_back(lines[i].substr(at));
        if (fields.size() != 5)
            return std::nullopt;
        const auto target = unescaped(fields[0]);
        const auto oldIno = number(fields[1]);
        const auto temp = unescaped(fields[2]);
        const auto tempIno = number(fields[3]);
        const auto aside = unescaped(fields[4]);
        if (!target || !oldIno || !temp || !tempIno || !aside || !plainName(*target))
            return std::nullopt;
        // Only our own temporaries beside this very target are ever touched
        // besides the target itself.
        std::string beside;
        for (const std::string* n : {&*temp, &*aside})
            if (!n->empty() && (!temporaryName(*n, &beside) || beside != *target))
                return std::nullopt;
        entries.push_back({*target, *oldIno, *temp, *tempIno, *aside});
    }
    return std::vector<JournalEntry>();   // no "end": cut short, nothing renamed yet
}

// Puts a folder back as the journal says: the old files return where every
// one was kept; otherwise the new ones are put in place. A target that is
// neither its old file nor our new one was changed since and stays.
void applyJournal(int dir, std::span<const JournalEntry> entries)
{
    const bool back = std::all_of(entries.begin(), entries.end(), [dir](const JournalEntry& e) {
        return e.oldIno == 0 || (!e.aside.empty() && inodeAt(dir, e.aside) > 0);
    });
    for (const JournalEntry& e : entries) {
        const long long now = inodeAt(dir, e.target);
        const bool ours = now == 0 || now == e.oldIno || (e.tempIno != 0 && now == e.tempIno);
        if (back) {
            if (e.oldIno != 0 && ours)
                ::renameat(dir, e.aside.c_str(), dir, e.target.c_str());
            else if (e.oldIno == 0 && e.tempIno != 0 && now == e.tempIno)
                ::unlinkat(dir, e.target.c_str(), 0);
        } else if (!e.temp.empty()) {
            if (ours && inodeAt(dir, e.temp) == e.tempIno)
                ::renameat(dir, e.temp.c_str(), dir, e.target.c_str());
        } else if (now != 0 && now == e.oldIno) {
            ::unlinkat(dir, e.target.c_str(), 0);
        }
        for (const std::string* n : {&e.temp, &e.aside})
            if (!n->empty() && inodeAt(dir, *n) > 0)
                ::unlinkat(dir, n->c_str(), 0);
    }
}

// Recovers one journal: false (with the reason) when it is not ours.
Result<void> recoverJournal(int dir, const std::string& leaf, const fs::path& shown)
{
    FileHandle file(::openat(dir, leaf.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!file.valid())
        return errno == ENOENT ? Result<void>() : failure(shown, "cannot open the replacement journal", errno);
    struct stat st {};
    if (::fstat(file.fd(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || st.st_nlink != 1
        || static_cast<std::uintmax_t>(st.st_size) > kMaxJournalBytes)
        return failure(shown, "is not a replacement journal of this program; left as it is", EINVAL,
                       BaseError::NotAFile);
    // Its writer holds it while the replacement runs.
    if (::flock(file.fd(), LOCK_EX | LOCK_NB) != 0)
        return {};
    std::string text(static_cast<std::size_t>(st.st_size) + 1, '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        const long n = ::read(file.fd(), text.data() + got, text.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    text.resize(got);
    bool complete = false;
    std::optional<std::vector<JournalEntry>> entries;
    if (got <= kMaxJournalBytes)
        entries = parseJournal(text, complete);
    if (!entries)
        return failure(shown, "is not a replacement journal of this program; left as it is", EINVAL,
                       BaseError::NotAFile);
    if (complete)
        applyJournal(dir, *entries);
    // A journal cut short was written before any rename: its temporaries
    // go with the sweep.
    ::unlinkat(dir, leaf.c_str(), 0);
    return {};
}

// Removes a temporary of ours that no running process holds.
void sweep(int dir, const std::string& leaf)
{
    FileHandle file(::openat(dir, leaf.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (!file.valid() || ::fstat(file.fd(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())
        return;
    if (::flock(file.fd(), LOCK_EX | LOCK_NB) != 0)
        return;
    if (inodeAt(dir, leaf) == static_cast<long long>(st.st_ino))
        ::unlinkat(dir, leaf.c_str(), 0);
}

Result<void> recoverAt(int dir, const fs::path& shown)
{
    const std::vector<std::string> names = namesIn(dir);
    Result<void> result;
    for (const std::string& n : names)
        if (journalName(n))
            if (auto done = recoverJournal(dir, n, shown / n); !done && result)
                result = done;
    // A journal that is not ours may name any of the temporaries: they stay
    // then.
    if (!result)
        return result;
    for (const std::string& n : names)
        if (temporaryName(n))
            sweep(dir, n);
    return result;
}

// ---------------------------------------------------------------- replacing

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
            const std::string leaf = kJournalPrefix + randomTag() + kJournalSuffix;
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
            auto temp = writeTemp(t.dir, t.leaf, t.shown, &**t.bytes, -1);
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

#endif

Result<void> replaceFilesIn(const fs::path& folder, std::span<const NewFile> files, Durability durability)
{
    auto opened = Folder::openOwn(folder);
    if (!opened)
        return Error{opened.error(), opened.code()};
    return replaceFilesTogether(*opened, files, durability);
}

} // namespace kastra

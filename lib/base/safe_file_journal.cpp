// The journal a replacement of several files leaves beside them while it
// renames, and the recovery that reads it: see recoverInterruptedWrites in
// base/safe_file.h. Internal to the base library (POSIX only).

#include "base/replace_journal.h"

#ifndef _WIN32

#include "base/sys_file.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <vector>

#include <dirent.h>
#include <sys/file.h>

namespace kastra::replacejournal {

namespace fs = std::filesystem;
using namespace sysfile;


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



// One line per target: "<target> <old inode> <temporary> <its inode>
// <kept-aside name>", "-" for what is not there; names percent-escaped.
// First line "kastra-replace 1", last "end": a journal without it was cut
// short before any rename.
constexpr std::size_t kMaxJournalBytes = 256 * 1024;
constexpr std::size_t kMaxJournalEntries = 1024;
const std::string kJournalHead = "kastra-replace 1";


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

std::string journalLeaf()
{
    return kJournalPrefix + randomTag() + kJournalSuffix;
}

} // namespace kastra::replacejournal

#endif

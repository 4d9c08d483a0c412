#pragma once
// The journal of a replacement of several files (see replaceFilesTogether
// and recoverInterruptedWrites in base/safe_file.h). Internal to the base
// library; POSIX only.

#include "base/result.h"

#include <filesystem>
#include <span>
#include <string>

namespace kastra::replacejournal {

// One target of a replacement as its journal names it.
struct JournalEntry {
    std::string target;
    long long oldIno = 0;   // 0: there was no file
    std::string temp;       // empty: the target goes
    long long tempIno = 0;
    std::string aside;      // empty: nothing kept
};

// Whether n is a plain name in a folder: not empty, no slash, not "." or "..".
bool plainName(const std::string& n);
// The regular file under a name: its inode, 0 when nothing is there, -1
// when something else is.
long long inodeAt(int dir, const std::string& leaf);
// A fresh journal name, ".kastra-replace.<16 hex digits>.journal".
std::string journalLeaf();
// The journal's text for the entries of one folder.
std::string journalText(std::span<const JournalEntry> entries);
// Recovers every journal in the open folder dir whose writer is gone, then
// sweeps our leftover temporaries (see recoverInterruptedWrites).
Result<void> recoverAt(int dir, const std::filesystem::path& shown);

} // namespace kastra::replacejournal

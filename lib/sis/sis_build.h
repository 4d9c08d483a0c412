#pragma once
// From a package script on disk to the bytes of its SIS file: parse the
// script, find and read every file it names, convert text files, check
// embedded packages, write.

#include "base/bytes.h"
#include "sis/pkg_text.h"
#include "sis/sis_format.h"
#include "base/result.h"

#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

namespace kastra::sis {

// Limits on what a build packs: one file, and all files together (as the
// package stores them), the most the reader inflates (see sis_format.h).
inline constexpr std::uintmax_t kMaxSourceFileBytes = kMaxPackageDataBytes;
inline constexpr std::uintmax_t kMaxTotalSourceBytes = kMaxPackageDataBytes;

struct BuildOptions {
    // Folders searched for the files a script names, in this order, after the
    // current directory and the script's own folder (makesis -d).
    std::vector<std::filesystem::path> searchDirectories;
    // How a script or text file without a byte-order mark is read:
    // Windows-1251, or UTF-8 (makesis --utf8).
    TextEncoding marklessAs = TextEncoding::Windows1251;
};

// Finds a file the way a script names it (backslashes allowed on every
// platform): below each base folder in turn, first under the exact name, then
// under a name that differs only in letter case (ASCII, Latin-1 and Cyrillic
// letters), so "veZorCtrl.app" finds "veZorCtrl.APP" on a case-sensitive file
// system. An absolute name is looked up once. Fails when no base holds the
// file, or when one folder holds two names that match without regard to case.
Result<std::filesystem::path> findSourceFile(std::u16string_view name, const std::vector<std::filesystem::path>& bases);

// A text file shown during installation, as the package stores it: UTF-16LE
// without a byte-order mark. Its encoding is decided as for scripts: a mark
// selects UTF-16 or UTF-8, a file without one is read as marklessAs.
Result<Bytes> textFileToUtf16(ByteSpan bytes, TextEncoding marklessAs = TextEncoding::Windows1251);

// Builds the package of a script. Relative file names are looked up in the
// current directory, then the script's folder, then options.searchDirectories.
// Every file is found and its size read before any is read: files over
// kMaxTotalSourceBytes together are refused before reading. Every error names
// the script line it concerns.
Result<Bytes> buildPackage(const std::filesystem::path& script, const BuildOptions& options = {});

// The same, and filesRead receives every file the build read (the script
// first), as found on disk, so that a caller can refuse to write the package
// over one of them.
Result<Bytes> buildPackage(const std::filesystem::path& script, const BuildOptions& options,
                           std::vector<std::filesystem::path>& filesRead);

} // namespace kastra::sis

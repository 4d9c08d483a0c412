#pragma once
// Writes an EPOC Release 6 installation package (SIS) as makesis 2.0 lays it
// out: the 100-byte header, the language records, the file records in the
// reverse of installation order, the requisites, the capabilities record,
// the component name record, every string, then the file data. No signature.

#include "base/bytes.h"
#include "base/result.h"
#include "sis/sis_package.h"

namespace kastra::sis {

// Builds the file from a complete description whose file records carry their
// contents (one block per source; none for FN). Unless the NC option is set,
// every block is stored as one zlib stream (zlib's compress()). The Unicode
// option is always set, so UID2 is 0x10003A12 and strings are UTF-16LE. Fails
// when the description is inconsistent (counts that do not match the number of
// languages, more than 65535 records) or the result would not fit the format's
// 32-bit offsets.
Result<Bytes> writeSis(const PackageSpec& spec);

// The installation-drive field: the drive letter every destination starts
// with ("c:\..." gives 'c'), or '!' when they differ, do not name a drive, or
// there is no destination at all. Empty destinations (text files, embedded
// packages) do not count.
std::uint16_t installationDrive(const PackageSpec& spec);

// The maximum-installed-space field, as the SDK's makesis computes it: the
// uncompressed size of every installed file, where an IF block counts only its
// largest branch (IF, each ELSEIF, ELSE), a language block every language's
// file, and an embedded package its own maximum. Text files (FT), files
// created later (FN) and files opened by their MIME handler (FM) do not count.
// Saturates at 0xFFFFFFFF.
std::uint32_t maximumInstalledSpace(const PackageSpec& spec);

} // namespace kastra::sis

#pragma once
// Compression of a package's file data, shared by the SIS writer's phases.
// Internal to the SIS library.

#include "base/bytes.h"
#include "base/result.h"
#include "sis/sis_package.h"

#include <string>
#include <vector>

namespace kastra::sis {

// "line 12: " for a record that came from a script line, else nothing: the
// prefix of every message about one record.
inline std::string at(const PackageRecord& r)
{
    return r.line > 0 ? "line " + std::to_string(r.line) + ": " : std::string();
}

// Compresses every block of every file record into packed[record][block]
// (packed[i] already sized to the blocks of order[i] that are compressed),
// each block one zlib stream as zlib's compress() makes it. Runs on several
// threads when there is enough data; the output does not depend on how many.
// Fails with the record's line when a block is too large for one stream or
// zlib fails.
Result<void> compressAll(const std::vector<const PackageRecord*>& order, std::vector<std::vector<Bytes>>& packed);

} // namespace kastra::sis

#pragma once
// Unpacking a package into a folder, as the SISTool command does: every file
// of the package under its own name, nothing outside the folder.

#include "base/bytes.h"
#include "sis/sis_reader.h"

#include <filesystem>
#include <functional>
#include <string>

namespace kastra::sis {

// The name a record's file is written under: the file part (after the last
// backslash or slash) of the destination for FF, FR and FM records that have a
// destination, else of the source. Not yet checked; see checkOutputName.
std::u16string outputName(const SisRecord& record);

// Whether a name may be created inside the output folder: not empty, not made
// of dots only, no slash or backslash, no drive colon, no control characters
// or characters Windows forbids in names, no reserved device name, no trailing
// dot or blank. Returns an empty string when the name is safe, else why not.
std::string checkOutputName(std::u16string_view name);

struct ExtractSummary {
    unsigned written = 0;  // files written
    unsigned skipped = 0;  // files not written (refused names, damage, write errors)
    bool damaged = false;  // the package is damaged somewhere
};

// Writes every file of the package into folder (which must exist), in
// installation order; FN records have no data and are not written. Of a
// language block every language's file is written: the first language's
// under the record's name, each other one that differs from the files
// written before under the next free numbered name ("name(2).ext"), with a
// message naming its language. Damage is reported through
// report() and skips that file only; files already written stay. Two files
// whose names are equal without regard to case are both kept: the later one is
// written as "name(2).ext" unless its contents are the same. A record whose
// data partly overlaps another record's data is damage (makesis never writes
// that); two records may share the very same block, which is inflated once.
// What is inflated and what is written are each capped at
// limits.maxTotalDataBytes: records that share one block under many names
// cannot multiply a small hostile package into an unbounded output.
ExtractSummary extractPackage(ByteSpan file, const SisPackage& package, const std::filesystem::path& folder,
                              const std::function<void(const std::string&)>& report,
                              const ReadLimits& limits = {});

// The whole SISTool command: reads the package (at most 512 MiB), creates the
// folder TEMP in workingDirectory and extracts into it. Messages go to
// report(). Returns the exit code: 0 when every file was written, 2 when the
// package cannot be read or is no package, or TEMP cannot be created, 3 when
// the package is damaged or some file was not written.
int runSisTool(const std::filesystem::path& package, const std::filesystem::path& workingDirectory,
               const std::function<void(const std::string&)>& report);

} // namespace kastra::sis

#pragma once
// Whole-file reading with a size limit, and replacing a file atomically.

#include "base/bytes.h"
#include "base/result.h"

#include <cstdint>
#include <filesystem>

namespace kastra {

// Reads the whole file. Fails with a message naming the file when it cannot be
// opened or read, or when it is larger than maxBytes (so a hostile or wrong
// file can never make us allocate without bound).
Result<Bytes> readFile(const std::filesystem::path& path, std::uintmax_t maxBytes);

// Writes bytes to a temporary file beside the target, flushes it, then renames
// it over the target. On any failure the temporary file is removed and an
// existing target is left exactly as it was.
Result<void> writeFileAtomic(const std::filesystem::path& path, ByteSpan bytes);

// Turns a path as the Windows-era tools write it ("Avkon\445.bmp") into a
// native one: backslashes become the native separator. Nothing else changes.
std::filesystem::path nativePath(std::string_view windowsStylePath);

} // namespace kastra

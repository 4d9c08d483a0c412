#pragma once
// Whole-file reading with a size limit, replacing a file atomically (see
// base/safe_file.h), and Windows-style relative paths.

#include "base/bytes.h"
#include "base/result.h"
#include "base/safe_file.h"

#include <cstdint>
#include <filesystem>

namespace kastra {

// Reads the whole file. Fails with a message naming the file when it cannot be
// opened or read, when it is anything but a regular file (a FIFO or a device
// is refused at once, never waited on), or when it is larger than maxBytes (so
// a hostile or wrong file can never make us allocate without bound).
Result<Bytes> readFile(const std::filesystem::path& path, std::uintmax_t maxBytes);

// The same for a regular file already open (openRegularFile, Folder::openFile)
// whose size is known; shown names it in a message.
Result<Bytes> readOpenFile(const FileHandle& file, std::uintmax_t size, std::uintmax_t maxBytes,
                           const std::filesystem::path& shown);

// Turns a path as the Windows-era tools write it ("Avkon\445.bmp") into a
// native one: backslashes become the native separator. Nothing else changes.
std::filesystem::path nativePath(std::string_view windowsStylePath);

} // namespace kastra

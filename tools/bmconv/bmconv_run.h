#pragma once
// The bmconv program as a function, so that the benchmark can drive it
// without starting a process. See mbm_command.h for the command language.

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace kastra::bmconv {

// Runs one bmconv command. args are the words after the program name; a
// single word names a command file. Relative paths, with backslashes or
// slashes, are resolved against baseDir (the current directory when empty).
// Progress goes to out, one line per error to err.
//
// Returns 0 on success, 1 when anything failed: a pack then leaves an
// existing output file untouched; an unpack writes every bitmap it can and
// reports the others (and names that have no bitmap).
int run(const std::vector<std::string>& args, const std::filesystem::path& baseDir, std::ostream& out,
        std::ostream& err);

} // namespace kastra::bmconv

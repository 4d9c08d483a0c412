// SISTool "<file.sis>"
//
// Unpacks a pre-Symbian-9 installation package: creates TEMP in the current
// directory and writes every file of the package there under its own name
// (the file part of its destination, else of its source). Names that would
// leave TEMP are refused. Exit code 0 when every file was written, 1 for a
// wrong command line, 2 when the package cannot be read, 3 when it is damaged
// or some file was not written; what was written before stays.

#include "sis/sis_extract.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

int run(const fs::path& package)
{
    std::error_code ec;
    const fs::path cwd = fs::current_path(ec);
    if (ec) {
        std::fprintf(stderr, "SISTool: cannot find the current directory\n");
        return 2;
    }
    return kastra::sis::runSisTool(package, cwd,
                                   [](const std::string& message) { std::fprintf(stderr, "%s\n", message.c_str()); });
}

} // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv)
#else
int main(int argc, char** argv)
#endif
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: SISTool \"<file.sis>\"\n"
                             "  Writes every file of the package into TEMP in the current directory.\n");
        return 1;
    }
    return run(fs::path(argv[1]));
}

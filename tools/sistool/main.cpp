// SISTool "<file.sis>"
// SISTool -h | --help | --version
//
// Unpacks a pre-Symbian-9 installation package: creates TEMP in the current
// directory and writes every file of the package there under its own name
// (the file part of its destination, else of its source). Names that would
// leave TEMP are refused. Exit code 0 when every file was written, 1 for a
// wrong command line, 2 when the package cannot be read, 3 when it is damaged
// or some file was not written; what was written before stays.

#include "base/version.h"
#include "sis/sis_extract.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace fs = std::filesystem;

namespace {

constexpr const char* kUsage =
    "usage: SISTool \"<file.sis>\"\n"
    "       SISTool -h | --help | --version\n"
    "  Writes every file of the package into TEMP in the current directory.\n"
    "  Exit status: 0 every file written, 1 wrong command line, 2 the package\n"
    "  cannot be read, 3 it is damaged or some file was not written.\n";

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
        std::fputs(kUsage, stderr);
        return 1;
    }
#ifdef _WIN32
    const std::wstring_view word = argv[1];
    const auto is = [&word](std::string_view s) { return word == std::wstring(s.begin(), s.end()); };
#else
    const std::string_view word = argv[1];
    const auto is = [&word](std::string_view s) { return word == s; };
#endif
    if (is("-h") || is("--help")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (is("--version")) {
        std::fputs(kastra::versionText("SISTool.exe").c_str(), stdout);
        return 0;
    }
    return run(fs::path(argv[1]));
}

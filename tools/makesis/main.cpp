// makesis [-d dir] [--utf8] file.pkg [out.sis]
//
// Builds a pre-Symbian-9 (EPOC Release 6) installation package from a package
// script. Without out.sis the package is written to the current directory
// under the script's base name with the extension .SIS. A script without a
// byte-order mark is Windows-1251 unless --utf8 is given. The package must be
// named *.sis and may not replace the script or any file the script names. On
// any error it prints a message, exits with a non-zero code and leaves no
// output file behind: the package is written to a temporary file and renamed
// into place.

#include "base/fileio.h"
#include "base/version.h"
#include "sis/sis_build.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr const char* kUsage =
    "usage: makesis [-h] [--version] [-d directory] [--utf8] pkgfile [sisfile]\n"
    "  Builds an EPOC Release 6 installation package (SIS) from a package script.\n"
    "  Files the script names are looked up in the current directory, then in the\n"
    "  script's folder, then in the -d directory, also under names that differ only\n"
    "  in letter case. Without sisfile the package is the script's base name + .SIS\n"
    "  in the current directory; sisfile must end in .sis.\n"
    "  A script or text file with a byte-order mark is read as UTF-16 or UTF-8;\n"
    "  without one as Windows-1251, or as UTF-8 with --utf8.\n";

std::string utf8(const fs::path& p)
{
    return reinterpret_cast<const char*>(p.u8string().c_str());
}

bool endsInSis(const fs::path& p)
{
    const std::string ext = utf8(p.extension());
    return ext.size() == 4 && ext[0] == '.' && (ext[1] == 's' || ext[1] == 'S') && (ext[2] == 'i' || ext[2] == 'I')
        && (ext[3] == 's' || ext[3] == 'S');
}

// Whether two paths name one file (the same file through another spelling,
// letter case on a case-insensitive disk, or a link). A file that does not
// exist is nobody's input.
bool sameFile(const fs::path& a, const fs::path& b)
{
    std::error_code ec;
    return fs::exists(a, ec) && fs::exists(b, ec) && fs::equivalent(a, b, ec);
}

// A path from the command line. Backslash paths are taken as Windows writes
// them unless a file of that very name exists.
fs::path argPath(const fs::path& raw)
{
    std::error_code ec;
    if (fs::exists(raw, ec))
        return raw;
    return kastra::nativePath(utf8(raw));
}

int run(const std::vector<fs::path>& args)
{
    kastra::sis::BuildOptions options;
    std::vector<fs::path> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string a = utf8(args[i]);
        if (a == "-h" || a == "-?" || a == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (a == "--version") {
            std::fputs(kastra::versionText("makesis").c_str(), stdout);
            return 0;
        }
        if (a == "--utf8" || a == "-utf8") {
            options.marklessAs = kastra::sis::TextEncoding::Utf8;
            continue;
        }
        if (a == "-d" || a == "-D") {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "makesis: -d needs a directory\n%s", kUsage);
                return 2;
            }
            options.searchDirectories.push_back(argPath(args[++i]));
        } else if (a.size() > 2 && (a.rfind("-d", 0) == 0 || a.rfind("-D", 0) == 0)) {
            options.searchDirectories.push_back(argPath(fs::path(args[i].u8string().substr(2))));
        } else if (a.size() > 1 && a[0] == '-') {
            std::fprintf(stderr, "makesis: unknown option %s (signing and stub files are not supported)\n%s",
                         a.c_str(), kUsage);
            return 2;
        } else {
            positional.push_back(argPath(args[i]));
        }
    }
    if (positional.empty() || positional.size() > 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const fs::path& script = positional[0];
    fs::path output;
    if (positional.size() == 2) {
        output = positional[1];
    } else {
        fs::path name = script.filename();
        name.replace_extension(".SIS");
        output = name;
    }

    // The package replaces whatever has its name, so the name must be a
    // package's, and never the script's or one of its files'.
    if (!endsInSis(output)) {
        std::fprintf(stderr, "makesis: the package name %s does not end in .sis; nothing was written\n",
                     utf8(output).c_str());
        return 1;
    }
    if (sameFile(output, script)) {
        std::fprintf(stderr, "makesis: the package %s would replace the script itself; nothing was written\n",
                     utf8(output).c_str());
        return 1;
    }

    std::vector<fs::path> filesRead;
    auto package = kastra::sis::buildPackage(script, options, filesRead);
    if (!package) {
        std::fprintf(stderr, "%s: %s\n", utf8(script).c_str(), package.error().c_str());
        return 1;
    }
    for (const fs::path& input : filesRead) {
        if (sameFile(output, input)) {
            std::fprintf(stderr,
                         "makesis: the package %s would replace %s, which the script packs; nothing was written\n",
                         utf8(output).c_str(), utf8(input).c_str());
            return 1;
        }
    }
    auto written = kastra::writeFileAtomic(output, *package);
    if (!written) {
        std::fprintf(stderr, "makesis: %s\n", written.error().c_str());
        return 1;
    }
    std::printf("Created %s\n", utf8(output).c_str());
    return 0;
}

} // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv)
#else
int main(int argc, char** argv)
#endif
{
    std::vector<fs::path> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    return run(args);
}

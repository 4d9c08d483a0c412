// mkdefaults OUTDIR AVKON-PACK-LIST
//
// Draws the default theme and writes every generated payload to
// OUTDIR/PKG/<NAME>. The same inputs always give the same bytes.
#include "base/fileio.h"
#include "mkdefaults/generate.h"

#include <cstdio>
#include <filesystem>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: mkdefaults OUTDIR AVKON-PACK-LIST\n");
        return 2;
    }
    const std::filesystem::path out(argv[1]);
    auto packList = kastra::readFile(argv[2], 1 << 20);
    if (!packList) {
        std::fprintf(stderr, "mkdefaults: %s\n", packList.error().c_str());
        return 1;
    }
    auto payloads = kastra::art::generateAll(*packList);
    if (!payloads) {
        std::fprintf(stderr, "mkdefaults: %s\n", payloads.error().c_str());
        return 1;
    }
    std::error_code ec;
    std::filesystem::create_directories(out / "PKG", ec);
    if (ec) {
        std::fprintf(stderr, "mkdefaults: cannot create %s: %s\n", (out / "PKG").string().c_str(), ec.message().c_str());
        return 1;
    }
    for (const auto& p : *payloads) {
        const auto written = kastra::writeFileAtomic(out / "PKG" / p.name, p.bytes);
        if (!written) {
            std::fprintf(stderr, "mkdefaults: %s\n", written.error().c_str());
            return 1;
        }
    }
    return 0;
}

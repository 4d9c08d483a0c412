// Fuzz harness for the package-script parser. A script that parses is also
// written as a package (with small made-up file contents) and read back; the
// reader must see the same languages, names and records.
#include "sis/pkg_parser.h"
#include "sis/sis_reader.h"
#include "sis/sis_writer.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace kastra::sis;
    auto spec = parsePackageScript(kastra::ByteSpan(data, size));
    if (!spec)
        return 0;
    for (PackageRecord& r : spec->records) {
        if ((r.type != kRecordFile && r.type != kRecordMultiLanguage) || r.fileType == kFileNull)
            continue;
        for (std::size_t i = 0; i < r.sources.size(); ++i)
            r.contents.push_back(kastra::Bytes(i + 3, static_cast<std::uint8_t>(r.line)));
    }
    auto sis = writeSis(*spec);
    if (!sis)
        return 0;
    auto back = readSis(*sis);
    if (!back || !back->checksumOk || !back->uidChecksumOk || !back->problems.empty()
        || back->records.size() != spec->records.size() || back->languages != spec->languages
        || back->capabilities != spec->capabilities)
        __builtin_trap();
    for (std::size_t i = 0; i < back->records.size(); ++i) {
        const SisRecord& got = back->records[i];
        const PackageRecord& want = spec->records[i];
        if (got.type != want.type || !got.damage.empty())
            __builtin_trap();
        if (want.type == kRecordFile || want.type == kRecordMultiLanguage) {
            if (got.destination != want.destination || got.details != want.details)
                __builtin_trap();
            for (std::size_t b = 0; b < want.contents.size(); ++b) {
                auto bytes = readData(*sis, *back, got.blocks.at(b));
                if (!bytes || *bytes != want.contents[b])
                    __builtin_trap();
            }
        }
    }
    return 0;
}

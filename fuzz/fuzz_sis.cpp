// Fuzz harness for the SIS reader: any bytes go through readSis, every data
// block through readData, every record through the output-name rules. Limits
// are small so that each input costs little.
#include "sis/sis_extract.h"
#include "sis/sis_reader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace kastra::sis;
    const kastra::ByteSpan file(data, size);
    ReadLimits limits;
    limits.maxFileBytes = 1024 * 1024;
    limits.maxTotalStringBytes = 1024 * 1024;
    auto pkg = readSis(file, limits);
    if (!pkg)
        return 0;
    std::uint64_t budget = 8u * 1024 * 1024;
    for (const SisRecord& r : pkg->records) {
        const std::u16string name = outputName(r);
        const std::string why = checkOutputName(name);
        if (why.empty() && (name.find(u'/') != std::u16string::npos || name.find(u'\\') != std::u16string::npos))
            __builtin_trap(); // a name with a slash must never be accepted
        if (!r.damage.empty())
            continue;
        for (const DataBlock& b : r.blocks) {
            if (budget < b.originalLength)
                return 0;
            budget -= b.originalLength;
            auto bytes = readData(file, *pkg, b, limits);
            if (bytes && pkg->compressed() && b.originalLength != 0 && bytes->size() != b.originalLength)
                __builtin_trap(); // an inflated block has exactly its declared size
        }
    }
    return 0;
}

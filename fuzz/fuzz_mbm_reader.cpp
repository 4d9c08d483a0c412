// Every byte sequence must give bitmaps or a reason, never a crash or a read
// outside the input. Bitmaps that were read must survive our own unpack and
// a compress-decompress round trip unchanged.
#include "mbm/mbm.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace kastra::mbm;
    // Smaller pictures than a real reader allows keep each run fast.
    ReadLimits limits;
    limits.maxPixels = 1 << 20;
    const kastra::ByteSpan file(data, size);
    auto index = readIndex(file, limits);
    if (!index) {
        if (index.error().empty())
            __builtin_trap();
        return 0;
    }
    for (std::uint32_t offset : *index) {
        auto bm = readBitmap(file, offset, limits);
        if (!bm) {
            if (bm.error().empty())
                __builtin_trap();
            continue;
        }
        if (bm->data.size() != std::size_t{bm->stride()} * static_cast<std::size_t>(bm->header.height))
            __builtin_trap();
        (void)encodeUnpackedBmp(*bm);
        if (!isValidMode(bm->mode()))
            continue;
        auto again = writeMbm({*bm}, Store::Compressed);
        if (!again)
            __builtin_trap();
        auto back = readMbm(*again, limits);
        // 12-bit RLE keeps only 12 bits of each word; every other coding is
        // lossless.
        if (!back || back->size() != 1 || (bm->header.bpp != 12 && (*back)[0].data != bm->data))
            __builtin_trap();
    }
    return 0;
}

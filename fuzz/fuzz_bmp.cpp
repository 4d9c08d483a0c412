// Every byte sequence must give a picture or an empty picture.
#include "picture/bitmap.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    kastra::Bitmap b;
    if (b.loadBmp(kastra::ByteSpan(data, size)).ok()) {
        // Exercise what the program does with a picture it read.
        (void)b.getPixel(b.width() - 1, b.height() - 1);
        const kastra::Bytes out = b.encodeBmp();
        kastra::Bitmap again;
        if (!again.loadBmp(out).ok())
            __builtin_trap();
        b.toRgb24();
    } else if (!b.empty()) {
        __builtin_trap();
    }
    return 0;
}

// Every byte sequence must give a picture or an empty picture, and a picture
// read must write out as a file that reads back to the same pixels.
#include "picture/bitmap.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    kastra::Bitmap b;
    if (b.loadBmp(kastra::ByteSpan(data, size)).ok()) {
        if (b.empty())
            __builtin_trap();
        // An RLE stream can describe a large picture in a few bytes; compare
        // the pixels of the pictures a fuzzer can get through in time.
        const bool small = static_cast<std::int64_t>(b.width()) * b.height() <= 1 << 16;
        (void)b.getPixel(b.width() - 1, b.height() - 1);
        const kastra::Bytes out = b.encodeBmp();
        kastra::Bitmap again;
        if (!again.loadBmp(out).ok() || again.width() != b.width() || again.height() != b.height()
            || again.depth() != b.depth())
            __builtin_trap();
        if (small) {
            for (int y = 0; y < b.height(); ++y)
                for (int x = 0; x < b.width(); ++x)
                    if (again.getPixel(x, y) != b.getPixel(x, y))
                        __builtin_trap();
            b.toRgb24();
        }
    } else if (!b.empty()) {
        __builtin_trap();
    }
    return 0;
}

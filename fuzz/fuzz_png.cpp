// Every byte sequence must decode as a PNG or give a reason, and the EXIF
// readers must answer for it as a PNG, a JPEG and a bare EXIF block alike,
// never reading outside it.
#include "picture/exif.h"
#include "picture/png.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const kastra::ByteSpan bytes(data, size);
    auto r = kastra::decodePng(bytes);
    if (r.ok() && r->empty())
        __builtin_trap();
    const int orientations = static_cast<int>(kastra::exifOrientation(bytes))
        + static_cast<int>(kastra::exifOrientation(kastra::pngExif(bytes)))
        + static_cast<int>(kastra::exifOrientation(kastra::jpegExif(bytes)));
    if (orientations < 3 || orientations > 24)
        __builtin_trap();
    return 0;
}

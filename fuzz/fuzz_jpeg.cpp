// Every byte sequence must decode or give a reason, never end the process.
#include "picture/jpeg.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto r = kastra::decodeJpeg(kastra::ByteSpan(data, size));
    if (r.ok() && r->empty())
        __builtin_trap();
    return 0;
}

// The readers of the handset files: each must give a value or a reason for
// any bytes. KASTRA_HANDSET_READER picks the reader, so every format gets a
// harness of its own from this one file.
#include "handset/aif.h"
#include "handset/e32image.h"
#include "handset/gdr.h"
#include "handset/rsc.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const kastra::ByteSpan bytes(data, size);
#if KASTRA_HANDSET_READER == 1
    (void)kastra::rsc::readResourceFile(bytes);
    (void)kastra::rsc::readCaptionFile(bytes);
#elif KASTRA_HANDSET_READER == 2
    (void)kastra::aif::readAif(bytes);
#elif KASTRA_HANDSET_READER == 3
    (void)kastra::gdr::readFontStore(bytes);
#elif KASTRA_HANDSET_READER == 4
    (void)kastra::e32::readImage(bytes);
#else
#error "KASTRA_HANDSET_READER must name a reader"
#endif
    return 0;
}

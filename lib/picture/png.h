#pragma once
// PNG decoding through libpng, at full size, into a 24-bit picture: palette,
// greyscale and 16-bit files are expanded or scaled to eight bits a channel
// (16-bit values rounded, v * 255 / 65535), and an alpha channel or a
// transparent colour is dropped, since the handset's pictures have none. A
// camera's EXIF orientation (the eXIf chunk) is applied, as for a JPEG.

#include "picture/bitmap.h"
#include "picture/jpeg.h"
#include "base/result.h"

#include <filesystem>

namespace kastra {

// Pictures with more pixels than a JPEG may have are refused likewise,
// before any memory is taken for them.
inline constexpr std::int64_t MaxPngPixels = MaxJpegPixels;

// Whether the bytes start with the PNG signature.
bool isPng(ByteSpan data);

// Decodes a PNG held in memory. On failure returns the reason (libpng's
// errors never end the process); a picture refused for its size stores that
// size in oversized when it is given.
Result<Bitmap> decodePng(ByteSpan data, OversizedPicture* oversized = nullptr);

} // namespace kastra

#pragma once
// JPEG decoding through libjpeg(-turbo), at full size. Greyscale files give an
// 8-bit picture with a grey palette, colour files 24 bits, four-component
// (CMYK, YCCK) files 32 bits already turned into RGB.

#include "picture/bitmap.h"
#include "base/result.h"

#include <filesystem>

namespace kastra {

// Pictures with more pixels than this are refused before libjpeg allocates
// anything for them, so a hostile header cannot ask for gigabytes.
inline constexpr std::int64_t MaxJpegPixels = std::int64_t{64} * 1000 * 1000;

// Decodes a JPEG held in memory. On failure returns the reason; libjpeg's
// errors never end the process.
Result<Bitmap> decodeJpeg(ByteSpan data);

// Reads and decodes a file. A file that cannot be read or decoded gives the
// reason (and the caller keeps an empty picture).
Result<Bitmap> decodeJpeg(const std::filesystem::path& path);

} // namespace kastra

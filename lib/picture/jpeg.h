#pragma once
// JPEG decoding through libjpeg(-turbo), at full size. Greyscale files give an
// 8-bit picture with a grey palette, colour files 24 bits, four-component
// (CMYK, YCCK) files 32 bits already turned into RGB. A camera's EXIF
// orientation is applied, so a photo taken upright comes out upright.

#include "picture/bitmap.h"
#include "base/result.h"

#include <filesystem>

namespace kastra {

// Pictures with more pixels than this are refused before libjpeg allocates
// anything for them, so a hostile header cannot ask for gigabytes. A phone's
// 64-megapixel photo (9248 x 6936) is the largest a person imports; the
// picture and its turned copy then take about 385 MB.
inline constexpr std::int64_t MaxJpegPixels = std::int64_t{65} * 1000 * 1000;

// The size of a picture refused for being over the limits (a valid file the
// program will not decode), so that the user can be told so and not that
// the file is damaged.
struct OversizedPicture {
    std::int64_t width = 0;
    std::int64_t height = 0;
};

// Decodes a JPEG held in memory. On failure returns the reason; libjpeg's
// errors never end the process. When the picture is refused for its size and
// oversized is given, the size is stored there.
Result<Bitmap> decodeJpeg(ByteSpan data, OversizedPicture* oversized = nullptr);

// Reads and decodes a file. A file that cannot be read or decoded gives the
// reason (and the caller keeps an empty picture).
Result<Bitmap> decodeJpeg(const std::filesystem::path& path, OversizedPicture* oversized = nullptr);

} // namespace kastra

#pragma once
// Reducing a user picture to the desktop size, and the 'No Signal' mask.

#include "picture/bitmap.h"

#include <filesystem>

namespace kastra {

// Reduces source to exactly the size destination already has, by averaging
// whole blocks of source pixels, then sharpens the result in place. The
// destination becomes 24-bit, and so does the source unless it is 24-bit or
// plain 32-bit (blue, green, red and an unused byte), which is averaged as it
// is. Returns false, changing nothing else, when the source is narrower or
// lower than the destination (an empty source too).
bool fitPicture(Bitmap& source, Bitmap& destination);

} // namespace kastra

#pragma once
// EXIF orientation: where a camera says the top of the picture is. A phone
// held upright stores its photo sideways and says so in the Orientation tag
// (0x0112) of the first picture directory (IFD0) of the EXIF block; every
// photo viewer turns the picture by it, and so does the picture import.
//
// Only that one tag is read. The block is untrusted: every offset is checked
// against the block before it is followed, the entry count is bounded by the
// bytes that are there, and no chain of directories is walked, so a hostile
// block can only make the answer 1 (as stored).

#include "picture/bitmap.h"

namespace kastra {

// The eight values of the tag: which corner of the stored picture is the
// visible top-left one. 1 is the picture as stored.
enum class Orientation : int {
    Normal = 1,
    MirrorHorizontal = 2,
    Rotate180 = 3,
    MirrorVertical = 4,
    Transpose = 5,      // mirrored about the top-left to bottom-right diagonal
    Rotate90 = 6,       // turned a quarter clockwise to show upright
    Transverse = 7,     // mirrored about the other diagonal
    Rotate270 = 8,      // turned a quarter anticlockwise to show upright
};

// The orientation a TIFF-structured EXIF block gives (as a PNG's eXIf chunk
// holds it; a leading "Exif\0\0" is skipped too, as in a JPEG's APP1
// segment). A block without the tag, with a value outside 1-8 or that cannot
// be read gives Normal.
Orientation exifOrientation(ByteSpan exif);

// The EXIF block of a JPEG file: the payload of its first APP1 segment that
// starts with "Exif\0\0", found by walking the segments before the picture
// data. Empty when there is none or the segments do not hold together.
ByteSpan jpegExif(ByteSpan jpeg);

// The EXIF block of a PNG file: the data of its eXIf chunk, found by walking
// the chunks (before or after the picture data). Empty when there is none or
// the chunks do not hold together.
ByteSpan pngExif(ByteSpan png);

// Turns the picture so that it shows upright: a quarter turn swaps width and
// height. Works at every depth whose pixels are whole bytes (8, 16, 24, 32
// bits, the palette kept); other depths are first made 24-bit. Normal
// changes nothing. Needs a second picture's memory for the turn; when that
// cannot be had the picture is left as it was and false is returned.
bool orientUpright(Bitmap& picture, Orientation orientation);

} // namespace kastra

#pragma once
// Pictures the tests draw.

#include "picture/bitmap.h"

#include <filesystem>
#include <string>

namespace kastra::test {

// A picture of one colour.
inline Bitmap uniformBitmap(int width, int height, Colour c)
{
    Bitmap b(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            b.setPixel(x, y, c);
    return b;
}

// A 24-bit picture whose every pixel depends on x, y and seed, so that two
// slots or two themes never look alike by accident.
inline Bitmap patternPicture(int width, int height, unsigned seed)
{
    Bitmap b(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            b.setPixel(x, y, rgb(x * 7 + seed, y * 5 + seed * 3, (x ^ y) + seed * 11));
    return b;
}

// What importing a picture leaves in the workspace root: the four banners
// and the background, each its own pattern.
inline void writeImportedPictures(const std::filesystem::path& root, unsigned seed, int backWidth = 176)
{
    for (int n = 1; n <= 4; ++n)
        writeBmpQuietly(patternPicture(176, 68, seed * 10 + static_cast<unsigned>(n)),
                        root / ("Top" + std::to_string(n) + ".bmp"));
    writeBmpQuietly(patternPicture(backWidth, 132, seed * 10 + 5), root / "Back.bmp");
}

} // namespace kastra::test

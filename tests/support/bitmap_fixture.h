#pragma once
// Pictures the tests draw.

#include "picture/bitmap.h"

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

} // namespace kastra::test

#pragma once
// The picture of tests/data/photos (scripts/make-photo-fixtures), computed
// from the rule the script draws it by: 208 x 240, four flat colours and a
// white mark near the top-left corner.
#include "picture/bitmap.h"

#include <filesystem>

namespace kastra::test {

inline std::filesystem::path photosDir()
{
    return KASTRA_PHOTOS_DIR;
}

inline constexpr int PhotoWidth = 208;
inline constexpr int PhotoHeight = 240;

inline Colour photoColour(int x, int y)
{
    if (x >= 16 && x < 32 && y >= 16 && y < 32)
        return rgb(255, 255, 255);
    if (y < 112)
        return x < 96 ? rgb(200, 30, 40) : rgb(40, 180, 60);
    return x < 144 ? rgb(30, 60, 200) : rgb(230, 210, 40);
}

inline Colour photoGrey(int x, int y)
{
    const Colour c = photoColour(x, y);
    const unsigned g = (2 * redOf(c) + 5 * greenOf(c) + blueOf(c)) / 8;
    return rgb(g, g, g);
}

inline Bitmap photoPicture()
{
    Bitmap b(PhotoWidth, PhotoHeight);
    for (int y = 0; y < PhotoHeight; ++y)
        for (int x = 0; x < PhotoWidth; ++x)
            b.setPixel(x, y, photoColour(x, y));
    return b;
}

} // namespace kastra::test

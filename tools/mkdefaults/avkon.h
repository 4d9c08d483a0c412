#pragma once
// The 508 pictures of the default system bitmap library (Avkon.mbm): which
// picture sits at which index, at which size, and how it is drawn.

#include "mkdefaults/picture.h"

#include <string>
#include <vector>

namespace kastra::art {

// One picture of the library. A picture with hasMask is followed in the file
// by its 1-bit mask (white where the picture shows its corner colour).
struct AvkonPicture {
    int index = 0;           // position of the picture in the file
    std::string what;        // a short description, for the reader of this code and the tests
    Picture picture;
    bool hasMask = false;
    bool mono = false;       // a 1-bit picture of its own (black ink on white)
};

// Every picture in index order; masks are not listed (they take the index
// after their picture).
std::vector<AvkonPicture> avkonPictures();

} // namespace kastra::art

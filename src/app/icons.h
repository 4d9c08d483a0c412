#pragma once
// The window's own pictures, drawn by the program: the two 11 x 14 images of
// the image list and the window icon.

#include "app/control_table.h"

#include <QIcon>
#include <QImage>

namespace kastra {

// The image list's bitmap as it would be stored: 22 x 14, 24-bit, the
// circular arrow at x 0-10 and the double chevron at x 11-21, on white.
QImage ImageListBitmap();

// The two images with white made transparent.
ImageList LoadImageList();

// A handset with a coloured screen, at 16, 32 and 48 pixels.
QIcon WindowIcon();

} // namespace kastra

#pragma once
// The colours of the handset's screen and the two ways a picture is brought
// to them: plain truncation, as the screen itself shows every pixel, and
// error diffusion, which the user may apply beforehand so that a smooth
// gradient does not fall into hard bands.
//
// A 4096-colour screen keeps the top 4 bits of each primary and shows level n
// as n * 17; a 65,536-colour screen keeps 5 bits of red and blue and 6 of
// green and shows them as n * 255 / 31 and n * 255 / 63 (integer division).
// These are the colours the MBM code gives back when it unpacks a 12- or
// 16-bit bitmap, so a picture packed at either depth is already on the
// screen's colours.

#include "picture/bitmap.h"

namespace kastra {

enum class ScreenColours { Colours4096 = 4096, Colours65536 = 65536 };

// The setting as stored: 65536 gives 65,536 colours, anything else 4096.
ScreenColours screenColoursFrom(int count);

// The colour the screen shows for c.
Colour screenColour(Colour c, ScreenColours screen);

// Every pixel brought to the screen's colours by truncation, no dithering.
// The picture becomes 24 bits deep.
void reduceToScreen(Bitmap& picture, ScreenColours screen);

// Floyd-Steinberg error diffusion to the screen's colours, serpentine (even
// rows left to right, odd rows right to left, the error's spread mirrored),
// the error kept per channel in sixteenths. Afterwards every pixel is a
// screen colour and the picture is 24 bits deep.
void diffuseToScreen(Bitmap& picture, ScreenColours screen);

} // namespace kastra

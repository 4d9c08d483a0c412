#pragma once
// The default theme's pictures. Every function draws one picture from
// scratch; corners hold the transparent colour (white) wherever the picture
// is drawn through a mask or a key colour, and nothing inside is pure white.

#include "mkdefaults/picture.h"

namespace kastra::art {

inline constexpr Colour Transparent = 0x00FFFFFFu;

// The three standard folder icons of the system library.
Picture standardFolderSmall();   // 42 x 29
Picture standardFolderLarge();   // 44 x 44
Picture standardFolderTall();    // 30 x 40, an open folder with papers

// The status picture: a battery with seven indicator bars in columns 11-38,
// rows 4-8, which the desktop's status animation uncovers bar by bar.
Picture statusPicture();         // 44 x 12

// Signal pictures, 32 x 12: the 'No Signal' picture (only colours of the
// 16-colour palette) and the pictures with 1 to 5 bars.
Picture noSignalPicture();
Picture signalPicture(int bars);

enum class MenuFolder { Camera, Organiser, Music, Games, Other, Settings };
inline constexpr MenuFolder MenuFolders[] = {MenuFolder::Camera, MenuFolder::Organiser, MenuFolder::Music,
                                             MenuFolder::Games, MenuFolder::Other, MenuFolder::Settings};
// 42 x 29 (small) or 44 x 44 (large).
Picture menuFolderIcon(MenuFolder folder, bool large);

enum class App { Menu, Manager };
// The applications' own icons, 42 x 29 or 44 x 44.
Picture appIcon(App app, bool large);

// 24-bit pictures without transparency.
Picture splashTop();             // 176 x 12: top strip of the boot screen
Picture noImageBanner();         // 176 x 68: desktop banner asking for a picture
Picture aboutPicture();          // 143 x 101

} // namespace kastra::art

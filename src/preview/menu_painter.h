#pragma once
// The icons page: the six menu folder icons in their small and large forms
// and the three standard folder icons, drawn with transparency. Every
// repaint also derives each drawn icon's mask slot from the icon, so the
// masks always follow what the user edits.

#include "preview/handset_view.h"
#include "preview/surface.h"
#include "workspace/workspace.h"

#include <QStringList>

namespace kastra {

// The icons page's own background, which shows through the transparent
// pixels of the three standard folder icons.
inline constexpr Colour IconsPageBackground = rgb(166, 202, 240);

struct MenuSurfaces {
    Surface& smallFolders;   // SmallFoldersBox, 252 x 29: Menu\000, 004 ... 020, 42 apart
    Surface& largeFolders;   // LargeFoldersBox, 264 x 44: Menu\002, 006 ... 022, 44 apart
    Surface& avkon136;       // Avkon136Box, 42 x 29
    Surface& avkon138;       // Avkon138Box, 44 x 44
    Surface& avkon202;       // Avkon202Box, 30 x 40
};

// Erases the five surfaces to their own backgrounds, the face of the
// control each sits on (the window erases them whenever the page is shown,
// so icons drawn earlier must not linger): the button face of the folder
// group for the two folder rows, the page's blue for the three standard
// folder icons. Then for
// Menu\000, 002, 004 ... 022 in that order and then Avkon\136, 138, 202:
// reads the icon, makes its mask from the colour of its top-left pixel
// (white where a pixel has that colour), writes the mask to the slot after
// the icon's (Menu\001 ... 023, Avkon\137, 139, 203) and draws the icon
// through it. A missing or unreadable icon draws nothing and keeps its mask
// slot. The mask files written go into the workspace's journal.
//
// The masks are derived from the icons' files as they are; what is drawn
// (icon and mask) comes through pictures.
void PaintMenu(const Workspace& ws, const MenuSurfaces& views, const SlotPictures& pictures = PlainPictures());

} // namespace kastra

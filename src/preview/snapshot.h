#pragma once
// Pictures of the previews to share: the menu icons as the icons page
// groups them, the desktop and the menu side by side in one snapshot,
// scaled up by a whole factor, and a PNG file written the way every file of
// the program is written (base/safe_file: a temporary beside the target,
// renamed over it; a link under the name is replaced, never followed).

#include "base/result.h"
#include "preview/menu_painter.h"
#include "preview/surface.h"
#include "workspace/outcome.h"

#include <QImage>
#include <QString>

namespace kastra {

// The window's background (the button face), behind the desktop preview and
// the menu folder rows.
inline constexpr Colour SnapshotBackground = rgb(212, 208, 200);

// The five surfaces of the icons page at the page's sizes and on their
// backgrounds: the folder rows on the face of their group, the standard
// folder icons on the page's blue.
struct MenuSurfaceSet {
    Surface smallFolders{252, 29, SnapshotBackground};
    Surface largeFolders{264, 44, SnapshotBackground};
    Surface avkon136{42, 29, IconsPageBackground};
    Surface avkon138{44, 44, IconsPageBackground};
    Surface avkon202{30, 40, IconsPageBackground};
    MenuSurfaces views() { return {smallFolders, largeFolders, avkon136, avkon138, avkon202}; }
};

// The icons page's three groups one under the other, 4 pixels apart: the
// small folder icons, the large ones, and the three standard folder icons
// side by side.
QImage ComposeMenu(const MenuSurfaces& s);

// The desktop on the left and the menu on its right, 4 pixels apart, both at
// the top, on the window's background.
QImage ComposeSnapshot(const QImage& desktop, const QImage& menu);

// Every pixel made a factor x factor block, no smoothing. factor 1 to 4;
// anything else gives a null image.
QImage ScaledBy(const QImage& image, int factor);

inline constexpr int MinSnapshotScale = 1;
inline constexpr int MaxSnapshotScale = 4;

// Encodes the image as PNG in memory and replaces the file at path with it
// atomically. Fails with the reason.
Result<void> WritePng(const QImage& image, const QString& path);

// The window's "Сохранить снимок": ComposeSnapshot of the desktop and the
// menu surfaces, scaled by factor, written to path (".png" added to a name
// without an extension). A failure comes back as a message naming the file
// and the reason; success has none.
Outcome SaveSnapshot(const QImage& desktop, const MenuSurfaces& menu, int factor, QString path);

} // namespace kastra

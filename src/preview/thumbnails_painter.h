#pragma once
// The slot thumbnails of the pictures page: single slots at their own size,
// unscaled and cut off at the surface's edges.

#include "workspace/app_state.h"
#include "preview/handset_view.h"
#include "preview/surface.h"
#include "workspace/workspace.h"

#include <QStringList>

namespace kastra {

// The five thumbnail views and their sizes.
struct ThumbnailSurfaces {
    Surface& desktopStrip;   // DesktopStripBox, 176 x 12: Temp<N>.bmp
    Surface& bootStrip;      // BootStripBox, 176 x 12: SplashTop.bmp
    Surface& noSignal;       // NoSignalBox, 32 x 12: Signal\006.bmp
    Surface& signalStrip;    // SignalStripBox, 192 x 12: Signal\000-005.bmp
    Surface& avkon445;       // Avkon445Box, 44 x 12: Avkon\445.bmp
};

// Paints the thumbnails. While the strip-edited flag is clear the desktop top
// strip Temp<N>.bmp is first re-derived from the top 12 rows of Top<N>.bmp
// (keeping the banner's depth); while it is set the strip is shown as the
// user left it. Also redraws the status picture keyed onto the desktop
// preview at (132, 0). Missing files draw nothing. Returns whether the
// desktop banner of the current scheme existed when the painter began;
// until it does, the window keeps StripTimer running.
// Pictures are drawn as pictures gives them; the strip is derived from the
// banner's file as it is.
bool PaintThumbnails(const AppState& state, const Workspace& ws, const ThumbnailSurfaces& views, Surface& preview,
                     const SlotPictures& pictures = PlainPictures());

} // namespace kastra

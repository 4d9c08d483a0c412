#include "preview/thumbnails_painter.h"

#include "workspace/slots.h"

namespace kastra {

bool PaintThumbnails(const AppState& state, const Workspace& ws, const ThumbnailSurfaces& views, Surface& preview,
                     const SlotPictures& pictures)
{
    const QString banner = topSlot(state.scheme);
    const QString temp = tempSlot(state.scheme);
    const bool bannerExists = ws.hasFile(banner);
    Bitmap strip;
    if (!state.stripEdited) {
        strip = ws.picture(banner);
        strip.setHeight(12);
        WriteDerivedSlot(ws, strip, temp);
        strip = pictures.shown(strip, temp);
    } else {
        strip = pictures.read(ws, temp);
    }
    strip.draw(views.desktopStrip, 0, 0);
    pictures.read(ws, SplashTopSlot).draw(views.bootStrip, 0, 0);
    for (int s = 0; s <= 5; ++s)
        pictures.read(ws, slotName(SlotFolder::Signal, s)).draw(views.signalStrip, 32 * s, 0);
    const Bitmap status = pictures.read(ws, StatusSlot);
    status.draw(views.avkon445, 0, 0);
    status.drawKeyed(preview, 132, 0, status.getPixel(0, 0));
    pictures.toScreen(preview);
    pictures.read(ws, NoSignalMaskSlot).draw(views.noSignal, 0, 0);
    return bannerExists;
}

} // namespace kastra

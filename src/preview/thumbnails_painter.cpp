#include "preview/thumbnails_painter.h"

#include "platform/fileops.h"
#include "workspace/slots.h"

namespace kastra {

ThumbnailsPainted PaintThumbnails(AppState& state, const Workspace& ws, const ThumbnailSurfaces& views,
                                  Surface& preview, const SlotPictures& pictures)
{
    ThumbnailsPainted result;
    Bitmap& strip = state.scratch.strip;
    const QString banner = slotPath(ws.root, topSlot(state.scheme));
    const QString temp = slotPath(ws.root, tempSlot(state.scheme));
    result.bannerExists = IsFile(banner);

    if (!state.stripEdited) {
        strip = readBmpOrEmpty(fsPath(banner));
        strip.setHeight(12);
        if (WriteDerivedSlot(strip, temp))
            result.written << temp;
        strip = pictures.shown(strip, temp);
    } else {
        strip = pictures.read(temp);
    }
    strip.draw(views.desktopStrip, 0, 0);

    strip = pictures.read(slotPath(ws.root, QStringLiteral("SplashTop.bmp")));
    strip.draw(views.bootStrip, 0, 0);

    for (int s = 0; s <= 5; ++s) {
        strip = pictures.read(slotPath(ws.root, slotName(SlotFolder::Signal, s)));
        strip.draw(views.signalStrip, 32 * s, 0);
    }

    strip = pictures.read(slotPath(ws.root, slotName(SlotFolder::Avkon, 445)));
    strip.draw(views.avkon445, 0, 0);

    const Bitmap& status = state.scratch.status;
    status.drawKeyed(preview, 132, 0, status.getPixel(0, 0));
    pictures.toScreen(preview);

    strip = pictures.read(slotPath(ws.root, slotName(SlotFolder::Signal, 6)));
    strip.draw(views.noSignal, 0, 0);
    return result;
}

} // namespace kastra

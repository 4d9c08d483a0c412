#include "preview/menu_painter.h"

#include "workspace/slots.h"

namespace kastra {

namespace {

// Draws one icon through the mask derived from it, writing the mask slot.
void paintIcon(const Workspace& ws, const SlotPictures& pictures, SlotFolder folder, int index, Surface& surface, int x)
{
    const QString iconSlot = slotName(folder, index);
    Bitmap icon = ws.picture(iconSlot);
    if (icon.empty())
        return;
    Bitmap mask = icon;
    mask.makeMask(mask.getPixel(0, 0));
    const QString maskSlot = slotName(folder, index + 1);
    WriteDerivedSlot(ws, mask, maskSlot);
    if (pictures.handset())
        pictures.read(ws, iconSlot).drawMasked(surface, x, 0, pictures.shown(mask, maskSlot));
    else
        icon.drawMasked(surface, x, 0, mask);
}

} // namespace

void PaintMenu(const Workspace& ws, const MenuSurfaces& views, const SlotPictures& pictures)
{
    for (Surface* s : {&views.smallFolders, &views.largeFolders, &views.avkon136, &views.avkon138, &views.avkon202})
        s->fill(s->background());

    // Twelve icons alternating between the rows: small ones at indices 4k,
    // large ones at 4k + 2.
    for (int n = 0; n <= 22; n += 2) {
        if (n % 4 == 0)
            paintIcon(ws, pictures, SlotFolder::Menu, n, views.smallFolders, 42 * (n / 4));
        else
            paintIcon(ws, pictures, SlotFolder::Menu, n, views.largeFolders, 44 * ((n - 2) / 4));
    }
    paintIcon(ws, pictures, SlotFolder::Avkon, 136, views.avkon136, 0);
    paintIcon(ws, pictures, SlotFolder::Avkon, 138, views.avkon138, 0);
    paintIcon(ws, pictures, SlotFolder::Avkon, 202, views.avkon202, 0);
}

} // namespace kastra

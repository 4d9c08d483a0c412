#include "preview/status_animation.h"

#include "platform/fileops.h"
#include "workspace/slots.h"

namespace kastra {

void AnimateStatus(AppState& state, const Workspace& ws, Surface& preview, const SlotPictures& pictures)
{
    const QString banner = slotPath(ws.root, topSlot(state.scheme));
    if (!IsFile(banner))
        return;
    ScratchBitmaps& scratch = state.scratch;
    int s = state.animationStep;

    // A is 4s columns wide, B one more: the copy stretches by a column, and
    // B's left part falls off the buffer at s = 8.
    const Rect a{39 - 4 * s, 4, 39, 9};
    const Rect b{28 - 4 * s, 0, 29, 5};
    scratch.animation = pictures.read(slotPath(ws.root, slotName(SlotFolder::Avkon, 445)));
    scratch.indicator.stretchCopy(b, scratch.animation, a);

    scratch.animation = pictures.read(banner);
    scratch.animation.draw(preview, 0, 0);
    scratch.status.drawKeyed(preview, 132, 0, scratch.status.getPixel(0, 0));

    if (s >= 8 || s == 0) {
        s = 0;
        scratch.indicator.stretchCopy({0, 0, 28, 5}, scratch.animation, {143, 4, 170, 8});
    }
    scratch.indicator.draw(preview, 143, 4);

    scratch.animation = pictures.read(slotPath(ws.root, slotName(SlotFolder::Signal, s == 7 ? 0 : s)));
    if (s == 0 || s == 6)
        scratch.animation.clear();
    if (s == 7)
        scratch.animation.drawMasked(preview, 1, 0, scratch.maskHolder);
    else
        scratch.animation.drawKeyed(preview, 1, 0, scratch.animation.getPixel(0, 0));

    pictures.toScreen(preview);
    state.animationStep = static_cast<std::uint8_t>(s + 1);
}

} // namespace kastra

#include "preview/status_animation.h"

#include "workspace/slots.h"

namespace kastra {

void StatusAnimation::tick(AppState& state, const Workspace& ws, Surface& preview, const SlotPictures& pictures)
{
    const QString banner = topSlot(state.scheme);
    if (!ws.hasFile(banner))
        return;
    int s = state.animationStep;
    // A is 4s columns wide, B one more: the copy stretches by a column, and
    // B's left part falls off the buffer at s = 8.
    const Rect a{39 - 4 * s, 4, 39, 9};
    const Rect b{28 - 4 * s, 0, 29, 5};
    const Bitmap status = pictures.read(ws, StatusSlot);
    m_indicator.stretchCopy(b, status, a);
    const Bitmap bannerPicture = pictures.read(ws, banner);
    bannerPicture.draw(preview, 0, 0);
    status.drawKeyed(preview, 132, 0, status.getPixel(0, 0));
    if (s >= 8 || s == 0) {
        s = 0;
        m_indicator.stretchCopy({0, 0, 28, 5}, bannerPicture, {143, 4, 170, 8});
    }
    m_indicator.draw(preview, 143, 4);
    Bitmap signal = pictures.read(ws, slotName(SlotFolder::Signal, s == 7 ? 0 : s));
    if (s == 0 || s == 6)
        signal.clear();
    if (s == 7)
        signal.drawMasked(preview, 1, 0, pictures.read(ws, NoSignalMaskSlot));
    else
        signal.drawKeyed(preview, 1, 0, signal.getPixel(0, 0));
    pictures.toScreen(preview);
    state.animationStep = static_cast<std::uint8_t>(s + 1);
}

} // namespace kastra

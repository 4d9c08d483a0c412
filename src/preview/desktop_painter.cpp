#include "preview/desktop_painter.h"

#include "preview/fonts.h"
#include "workspace/payloads.h"
#include "workspace/slots.h"

namespace kastra {

namespace {

constexpr Colour White = rgb(255, 255, 255);
constexpr Colour SeparatorColour = rgb(64, 63, 86);

// The default banner in place of a missing one. The workspace's package
// folder SIS is made first, as every theme-file operation does.
void writeDefaultBanner(const Workspace& ws, const QString& banner)
{
    (void)ws.makeFolder(QStringLiteral("SIS"));
    (void)ws.writePayload(Payload::NoImage, banner);
}

} // namespace

Colour SchemeColour(QChar scheme)
{
    switch (scheme.unicode()) {
    case u'2': return rgb(32, 191, 68);
    case u'3': return rgb(145, 146, 191);
    case u'4': return rgb(123, 121, 132);
    default: return rgb(172, 162, 191);
    }
}

void PaintDesktop(const AppState& state, const Workspace& ws, bool stripBottom, Surface& preview,
                  const SlotPictures& pictures)
{
    const QString banner = topSlot(state.scheme);
    preview.setPen(SchemeColour(state.scheme));
    preview.setBrush(SchemeColour(state.scheme));
    if (!ws.hasFile(banner))
        writeDefaultBanner(ws, banner);
    pictures.read(ws, banner).draw(preview, 0, 0);
    const Bitmap status = pictures.read(ws, StatusSlot);
    status.drawKeyed(preview, 132, 0, status.getPixel(0, 0));
    if (ws.hasFile(BackgroundSlot)) {
        Bitmap back = pictures.read(ws, BackgroundSlot);
        preview.rectangle({0, 200, 176, 220});
        const QFont font = PreviewFont();
        preview.text(2, 200, QStringLiteral("Нов. сбщ"), font);
        preview.text(108, 200, QStringLiteral("MP3 Play"), font);
        preview.setPen(White);
        // The bar goes first: a 132-row background covers its top row.
        if (stripBottom) {
            preview.line(0, 69, 0, 200);
            back.draw(preview, 1, 69);
        } else {
            // Drop column 0 and spread columns 1-175 over the width, leaving
            // the last two columns to the white strip.
            back.stretchCopy({0, 0, 176, 132}, back, {1, 0, 176, 132});
            back.setWidth(175);
            back.draw(preview, 0, 69);
            preview.line(174, 69, 174, 200);
        }
        preview.line(175, 69, 175, 200);
    }
    // Between two animation ticks the step is one ahead of the picture the
    // last tick drew; steps 6 to 8 read the masks that follow the pictures
    // and draw them keyed like any picture, until the next tick repaints.
    const int step = state.animationStep;
    const Bitmap signal = pictures.read(ws, slotName(SlotFolder::Signal, step));
    if (step == 0)
        signal.drawMasked(preview, 1, 0, pictures.read(ws, NoSignalMaskSlot));
    else
        signal.drawKeyed(preview, 1, 0, signal.getPixel(0, 0));
    if (ws.hasFile(banner)) {
        preview.setPen(SeparatorColour);
        preview.line(0, 68, 176, 68);
    }
    pictures.toScreen(preview);
}

} // namespace kastra

#include "preview/hit_test.h"

#include "workspace/slots.h"

#include <algorithm>
#include <cmath>

namespace kastra {

namespace {

// Column band k of width w, the last band reaching to the right edge.
int band(int x, int width, int last)
{
    return std::clamp(x / width, 0, last);
}

} // namespace

QPoint PixelAt(QPointF position)
{
    return {static_cast<int>(std::floor(position.x())), static_cast<int>(std::floor(position.y()))};
}

QString SlotUnder(PreviewView view, int x, int y, QChar scheme)
{
    switch (view) {
    case PreviewView::Preview:
        if (y < 12)
            return tempSlot(scheme);
        if (y < 69)
            return topSlot(scheme);
        return QStringLiteral("Back.bmp");
    case PreviewView::DesktopStrip: return tempSlot(scheme);
    case PreviewView::BootStrip: return QStringLiteral("SplashTop.bmp");
    case PreviewView::NoSignal: return NoSignalMaskSlot;
    case PreviewView::SignalStrip: return slotName(SlotFolder::Signal, band(x, 32, 5));
    case PreviewView::Avkon445: return StatusSlot;
    case PreviewView::SmallFolders: return slotName(SlotFolder::Menu, 4 * band(x, 42, 5));
    case PreviewView::LargeFolders: return slotName(SlotFolder::Menu, 4 * band(x, 44, 5) + 2);
    case PreviewView::Avkon136: return slotName(SlotFolder::Avkon, 136);
    case PreviewView::Avkon138: return slotName(SlotFolder::Avkon, 138);
    case PreviewView::Avkon202: return slotName(SlotFolder::Avkon, 202);
    }
    return {};
}

PressRules PressRulesFor(PreviewView view, int y)
{
    PressRules r;
    switch (view) {
    case PreviewView::Preview:
        r.testsExistence = true;
        // Opening the strip from the preview must keep the thumbnails
        // painter from rewriting it from the banner under the editor's feet.
        r.setsStripEdited = y < 12;
        break;
    case PreviewView::DesktopStrip:
        r.testsExistence = true;
        r.setsStripEdited = true;
        break;
    case PreviewView::SmallFolders:
    case PreviewView::LargeFolders:
    case PreviewView::Avkon136:
    case PreviewView::Avkon138:
    case PreviewView::Avkon202:
        r.remembersAlways = true;
        break;
    default:
        break;
    }
    return r;
}

} // namespace kastra

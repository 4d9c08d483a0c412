#pragma once
// Which slot a mouse press on a preview surface picks: the bands follow the
// painters' layout (the banner drawn from row 0 with its top 12 rows being
// the desktop top strip, signal pictures 32 pixels apart, small folder icons
// 42 and large ones 44 pixels apart). Bands are half-open.

#include <QChar>
#include <QPoint>
#include <QPointF>
#include <QString>

namespace kastra {

enum class PreviewView {
    Preview,        // PreviewBox
    DesktopStrip,   // DesktopStripBox
    BootStrip,      // BootStripBox
    NoSignal,       // NoSignalBox
    SignalStrip,    // SignalStripBox
    Avkon445,       // Avkon445Box
    SmallFolders,   // SmallFoldersBox
    LargeFolders,   // LargeFoldersBox
    Avkon136,       // Avkon136Box
    Avkon138,       // Avkon138Box
    Avkon202,       // Avkon202Box
};

// The surface pixel under a pointer position given in the view's logical
// coordinates. On a scaled screen a position falls inside a logical pixel
// (y + 0.5 for the second device row of row y at factor 2): the pixel is the
// one whose square holds the position, never the nearest, so every device
// pixel of a logical one picks the same slot.
QPoint PixelAt(QPointF position);

// The slot name (relative, backslash text) under (x, y) of the view, for the
// scheme number scheme.
QString SlotUnder(PreviewView view, int x, int y, QChar scheme);

// How a press on the view treats its slot.
struct PressRules {
    bool testsExistence = false;   // PreviewBox, DesktopStripBox
    bool setsStripEdited = false;  // every press on DesktopStripBox, and the
                                   // PreviewBox's strip band (y < 12)
    bool remembersAlways = false;  // the icons page's views remember the slot
                                   // for every button, not only the right one
};
PressRules PressRulesFor(PreviewView view, int y);

} // namespace kastra

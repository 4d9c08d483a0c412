#pragma once
// What each of the five theme MBM files holds: the count and size of every
// bitmap, in MBM order, and the depth the program packs it with. The load
// buttons check a theme file's count and sizes against it before bmconv
// unpacks it into the slots, and the command line's "check" checks a built
// package with it; the depths are not checked (every pack re-encodes a slot
// at its own depth, so a file stored at other depths loads as its pictures).

#include "base/bytes.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace kastra {

// What one bitmap of a theme file must be.
struct SlotExpectation {
    QString slot;       // "Avkon\445.bmp"
    int width = 0;      // 0 where the catalogue leaves the size open (the about picture)
    int height = 0;
    int altWidth = 0;   // another width that fits too (the background: 175 or 176)
    QString prefix;     // the depth it is packed with: "/c24", "/c12", "/c8", "/c4" or "/1"
    // Another depth the default files store: the default Avkon.mbm holds
    // indices 186, 194, 266, 268 and 406 at 8-bit colour although the pack
    // list packs them at "/c12" and "/1".
    QString altPrefix;
};

// The catalogue of one theme file, in MBM order: "EidPic.mbm" (5),
// "backgroundimage.mbm" (2), "Avkon.mbm" (508, depths from the Avkon pack
// list), "AvkonEx.mbm" (12), "menu_folders.mbm" (24). Empty for other names.
std::vector<SlotExpectation> themeFileCatalogue(const QString& themeFile);

// The differences of one MBM file from its catalogue, one line each (in
// English); empty when it fits. A file that cannot be read gives one line
// saying why.
QStringList checkThemeFile(const QString& themeFile, ByteSpan mbm);

// The same for the user: the first difference, in Russian, as the second
// line of a message ("В файле 12 картинок, а должно быть 5."); empty when the
// file fits.
QString themeFileMismatch(const QString& themeFile, ByteSpan mbm);

} // namespace kastra

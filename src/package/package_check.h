#pragma once
// Checking a built theme package against the slot catalogue: every file it
// holds, its checksums, and the count, size and colour depth of every bitmap
// of its five theme MBM files. The command line's "check" runs this.

#include "base/bytes.h"
#include "base/result.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace kastra {

// What one bitmap of a theme file must be: its size (0 where the catalogue
// leaves it open) and the depth prefix it is packed with.
struct SlotExpectation {
    QString slot;       // "Avkon\445.bmp"
    int width = 0;
    int height = 0;
    QString prefix;     // "/c24", "/c12", "/c8", "/c4" or "/1"
};

// The catalogue of one theme file, in MBM order: "EidPic.mbm" (5),
// "backgroundimage.mbm" (2), "Avkon.mbm" (508, depths from the Avkon pack
// list), "AvkonEx.mbm" (12), "menu_folders.mbm" (24). Empty for other names.
std::vector<SlotExpectation> themeFileCatalogue(const QString& themeFile);

// The differences of one MBM file from its catalogue, one line each; empty
// when it matches. A file that cannot be read gives one line saying why.
QStringList checkThemeFile(const QString& themeFile, ByteSpan mbm);

struct PackageCheck {
    QStringList files;     // "source -> destination (N bytes)" per file
    QStringList problems;  // everything wrong; empty for a sound package
};

// Reads the package (bytes of a .sis file) and checks it. Fails only when the
// bytes are no installation package at all.
Result<PackageCheck> CheckPackage(ByteSpan sis);

// The data of the package's file whose output name (as SISTool writes it)
// equals name without regard to letter case; nothing when there is none or
// it cannot be read.
std::optional<Bytes> packageFileData(ByteSpan sis, const QString& name);

} // namespace kastra

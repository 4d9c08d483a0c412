#pragma once
// Checking a built theme package against the slot catalogue
// (workspace/theme_catalogue.h): every file it holds, its checksums, and the
// count, size and colour depth of every bitmap of its five theme MBM files.
// The command line's "check" runs this.

#include "base/bytes.h"
#include "base/result.h"
#include "workspace/theme_catalogue.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace kastra {

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

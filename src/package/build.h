#pragma once
// Building the theme package: what the "Build" button of the SIS page does,
// as a plain function of the workspace and the three inputs of the page.

#include "workspace/outcome.h"
#include "workspace/payloads.h"
#include "workspace/workspace.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <span>

namespace kastra {

struct BuildInputs {
    QString themeName;   // ThemeNameEdit
    QString fileName;    // ThemeFileEdit: the package's name without extension
    QString greeting;    // GreetingMemo, any line breaks
    // The font number of the script; drawn from a clock-seeded generator
    // when not given (the command line fixes it for reproducible builds).
    std::optional<std::uint32_t> fontNumber;
    // Where the package is delivered as fileName + ".sis"; the program folder
    // when empty.
    QString deliveryFolder;
};

// One payload the build writes: resource, file below the workspace root
// (backslashes), the progress value after it, and whether it is written
// only when the file is missing (a font or .aif file the user loaded stays).
struct PayloadRow {
    int progress;
    Payload payload;
    const char* file;
    bool ifMissing;
};

// The 22 rows written before the menu folders are packed, in order.
std::span<const PayloadRow> buildPayloadRows();

// The checks of the two names, before anything is written: empty names,
// a file name shorter than two characters, a file name with other characters
// than Latin letters, digits and '_' (it becomes a file name), a theme name
// with a double quote or a line break. Returns the warning, or nothing.
std::optional<Outcome> CheckBuildNames(const QString& themeName, const QString& fileName);

// progress receives the values of the progress bar (1 to 100) as the steps
// end; it is not called when a name or a slot is refused. Setting the bar
// back to 0 is the caller's, after it has shown the outcome.
using ProgressCallback = std::function<void(int)>;

struct BuildResult {
    Outcome outcome;        // "Готово" / "Ошибка" box, or a name warning
    QString deliveredPath;  // the package, when outcome.ok
    std::uint32_t fontNumber = 0;
};

// The whole build: the name checks, the package folder, the payloads, the
// menu folders packed, makesis.exe, Hello.txt, the package script, the other
// four theme files packed, makesis run in the package folder, and the
// package copied to the delivery folder. Each pack and the package are
// removed before they are made again, and every step is checked, so a build
// never reports what an earlier one left. A failed build leaves a package
// delivered earlier as it was. A slot the user has to provide that is
// missing (Back.bmp until a picture is imported) is refused with the name
// checks, before anything is written; a banner Top<N>.bmp never shown is
// written from the default picture before EidPic.mbm is packed.
BuildResult BuildPackage(const Workspace& ws, const BuildInputs& inputs, const ProgressCallback& progress = {});

} // namespace kastra

#pragma once
// Taking over the theme of an installation package: what the "Загр. тему"
// button does once a package was chosen. SISTool unpacks the package into
// the import folder TEMP of the program folder; the five theme MBM files
// and the two .aif files are taken over and the slots unpacked from them.

#include "picture/bitmap.h"
#include "workspace/outcome.h"
#include "workspace/workspace.h"

#include <QString>
#include <QStringList>

#include <span>

namespace kastra {

// SISTool gets this long before it is ended.
inline constexpr int SisToolTimeoutMs = 300;

// The tool's file name, as the user places it beside the program.
inline constexpr char SisToolName[] = "SISTool.exe";

// SISTool.exe in the folder, found regardless of letter case; empty when
// there is none (a folder of that name does not count).
QString FindSisTool(const QString& folder);

// Whether the import button is enabled: SISTool.exe lies in the program
// folder.
bool SisToolPresent(const QString& programFolder);

// The warning when SISTool.exe is missing: "Поместите файл SISTool.exe в
// директорию с программой", titled with the window caption. The import
// button shows it before its dialog.
Outcome SisToolMissingOutcome();

// One file taken over from a package: its name in the import folder (found
// regardless of letter case) and where it goes, below the workspace root
// (backslashes), under the exact name the workspace uses.
struct TakeOverRow {
    const char* name;
    const char* target;
    bool themeBitmapFile;   // one of the five theme MBM files
};

// The seven rows, in order.
std::span<const TakeOverRow> takeOverRows();

struct UnpackResult {
    Outcome outcome;       // ok, or the warning why nothing can be taken over
    QString importFolder;  // folder + "TEMP/"
    // Per row of takeOverRows(): the file in the import folder, or empty.
    QStringList found;
};

// Empties folder + TEMP, runs the tool on packagePath (one argument, never
// split) with folder as working directory, ends it after timeoutMs, and
// checks what it left: the tool must have finished with exit code 0 (else
// the outcome's note passes on what it wrote to its error output), at
// least one theme MBM file must be there, and every file to take over must
// be what its name says (an MBM file store, an application information
// file). The import folder is left for the caller to remove.
UnpackResult UnpackPackage(const QString& sisTool, const QString& packagePath, const QString& folder,
                           int timeoutMs = SisToolTimeoutMs);

// Removes the files of folder + TEMP and the folder.
void RemoveImportFolder(const QString& folder);

struct ImportResult {
    // A warning box when nothing was taken over; else ok. The files taken
    // over and every slot unpacked from them are in the workspace's journal.
    Outcome outcome;
    bool backgroundNarrow = false; // for StripBottomCheck, when taken over
};

// The whole import. Without the tool: the message "Поместите файл
// SISTool.exe в директорию с программой". When the package cannot be taken
// over the workspace is left exactly as it was and a warning says why.
// Otherwise the found files replace their targets, PrepareWorkspace unpacks
// the five theme files into the slots and its backgroundNarrow is returned. The import folder is removed in every case.
ImportResult ImportTheme(const Workspace& ws, const QString& sisTool, const QString& packagePath,
                         int timeoutMs = SisToolTimeoutMs);

} // namespace kastra

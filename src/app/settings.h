#pragma once
// Settings.ini in the program folder: the three external editors, their
// labels, the default editor and the three picture options. Read at start,
// written by the settings page's save button and at every close.

#include "base/result.h"

#include <QString>
#include <QStringList>

#include <array>

namespace kastra {

struct Settings {
    std::array<QString, 3> editors;   // "Editor1" ... "Editor3"
    std::array<QString, 3> labels;    // "Label1" ... "Label3"
    int defaultEditor = 0;            // 1-3, anything else: none
    bool top = false;                 // "Other"/"Top": side strip at the top
    bool bottom = true;               // "Other"/"Bottom"
    bool separateEidPic = false;      // "Other"/"NCEiD"
    int screenColours = 4096;         // "Other"/"ScreenColours": 4096 or 65536
};

// The editor a first start offers: on Windows "mspaint.exe"; elsewhere the
// first common paint program found on PATH, else xdg-open.
QString FirstRunEditor();

// Writes the first-run values when the file is missing or empty, then reads
// it. A key that is missing reads as its default (empty, 0, Top 0,
// Bottom 1, NCEiD 0, ScreenColours 4096; any value but 65536 is 4096).
Settings LoadSettings(const QString& iniPath);

// Writes Editor1-3, Label1-3, DefaultEditor (only when 1-3: none selected
// leaves the key as it is), Top, Bottom, NCEiD and ScreenColours, keeping every other line
// of the file, and replaces the file atomically.
//
// An INI line cannot hold a line break, and the file is Windows-1251: a value
// with CR, LF or NUL, or a character the code page lacks, is not written (its
// key keeps the line the file had), and every other key is. Returns the keys
// left out, in file order, for the caller to say; an error when the file
// cannot be written.
Result<QStringList> SaveSettings(const QString& iniPath, const Settings& s);

// The labels as the file holds them now (the EditorMenu captions).
std::array<QString, 3> ReadLabels(const QString& iniPath);

// The keys whose text the file cannot carry ("Editor2", "Label1", ...).
QStringList UnstorableSettingsKeys(const Settings& s);

} // namespace kastra

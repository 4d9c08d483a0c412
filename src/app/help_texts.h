#pragma once
// The two fixed texts of the Help page.

#include <QString>

namespace kastra {

// Fourteen lines, separated by line feeds, no line feed after the last.
QString HelpText();

// Nine empty lines (room for the "Created by" caption), then nine lines of
// ASCII art drawn with "$", "\\", "/", "_", "|" and spaces only.
QString AboutBanner();

} // namespace kastra

#pragma once
// Fonts as the window's controls and the desktop preview use them. Heights
// are character-cell heights in pixels, as the Windows program gave them;
// missing Windows faces are replaced by named Debian fonts.

#include <QFont>
#include <QString>

namespace kastra {

// Maps the Windows faces the program names to the fonts installed with it
// (Liberation Serif for "Times New Roman", Liberation Sans for "MS Sans
// Serif", DejaVu Sans for "Verdana", DejaVu Sans Mono for "Lucida Console",
// Comic Neue for "Comic Sans MS"). Call once, after the application object
// exists; repeated calls change nothing.
void InstallFontSubstitutes();

// The cell height a height of 0 ("default") stands for.
inline constexpr int DefaultCellHeight = 13;

// The face at the largest pixel size whose line height (QFontMetrics::
// height) is at most cellHeight; 0 means the default cell. A plain
// setPixelSize(cellHeight) draws about a sixth too large and clips captions
// of fixed-size controls.
QFont CellFont(const QString& family, int cellHeight, bool bold = false);

// The desktop preview's text font: "Times New Roman", bold, default size.
QFont PreviewFont();

} // namespace kastra

#pragma once
// What a file dropped onto the window is for. The window takes one local
// file at a time and gives it to the button that loads that kind of file:
// a picture to "Загрузить картинку", a package to "Загр. тему", a font to
// "Загр. шрифт", a theme MBM file to its own load button (read from where
// it was dropped). Everything else is refused with a message saying why.

#include "converter/theme_files.h"

#include <QList>
#include <QString>
#include <QUrl>

namespace kastra {

enum class DropKind { Picture, Theme, Font, ThemeFile, Refused };

struct DropTarget {
    DropKind kind = DropKind::Refused;
    ThemeFile themeFile = ThemeFile::EidPic;   // which one, for DropKind::ThemeFile
    QString path;       // the local file; empty when there is none to name
    QString refusal;    // for Refused: the message text, else empty
};

// One local path. A regular file (a link to one counts) named *.bmp, *.jpg,
// *.jpeg or *.png is a Picture, *.sis a Theme, *.gdr a Font, and one of the five
// theme file names (EidPic.mbm, backgroundimage.mbm, Avkon.mbm, AvkonEx.mbm,
// menu_folders.mbm) a ThemeFile; letter case does not matter. An .aif
// (which of its two buttons would be a guess), any other name, a folder and
// a path that is no file are Refused.
DropTarget ClassifyDrop(const QString& path);

// A drag's URLs: exactly one local file, classified as above. None, several
// or a URL that is not a local file are Refused.
DropTarget ClassifyDrop(const QList<QUrl>& urls);

} // namespace kastra

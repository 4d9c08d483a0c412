#pragma once
// Loading the five theme MBM files from the program folder into the slots,
// and saving them back, as the ten load and save buttons do; a theme file
// dropped onto the window is loaded the same way from where it lies. The
// handlers around these calls make the repaint requests and show the
// messages.

#include "workspace/app_state.h"
#include "workspace/outcome.h"
#include "workspace/workspace.h"

#include <QString>

namespace kastra {

enum class ThemeFile { EidPic, Background, Avkon, AvkonEx, MenuFolders };

// "EidPic.mbm", "backgroundimage.mbm", "Avkon.mbm", "AvkonEx.mbm",
// "menu_folders.mbm".
QString themeFileName(ThemeFile file);

// Loads the theme file from the program folder (found regardless of letter
// case). A file that is not there is an information box: "Поместите файл ...
// в директорию с программой !" and a second line naming the program folder;
// a failure a warning, "Не удалось загрузить файл ..." with the reason on a
// second line; a command file that cannot be written refuses the load with
// its reason. The workspace's journal gets the slots the unpack replaces.
// The file is read (a regular file only) and checked against its catalogue
// first: a wrong bitmap count, size or depth refuses it and no slot
// changes. The load copy is removed first; the slots the unpack replaces
// are kept aside and put back when bmconv fails, so the workspace is never
// half old and half new. EidPic also rewrites Temp1.bmp ... Temp4.bmp from the
// banners' top rows. MenuFolders runs
// PrepareWorkspace(menuOnly). Flags and repaints are the caller's.
Outcome LoadThemeFile(const Workspace& ws, ThemeFile file);

// LoadThemeFile from a file anywhere (one dropped onto the window), with the
// same checks and steps. A path that is no readable regular file is the
// warning with the reason, never the program-folder message; nothing
// changes then.
Outcome LoadThemeFileFrom(const Workspace& ws, ThemeFile file, const QString& path);

// Refuses with a warning, "Не удалось сохранить файл ...", a missing picture
// adding a line saying which one and how to get it.
// It refuses before anything is written when a slot the file packs is
// missing (MissingPackSource); EidPic first writes banners never shown from
// the default picture. Then packs the slots (ThemeFileOp with the file's
// pack code) and, only when bmconv wrote a fresh file, replaces the program
// folder's file atomically (an existing case variant of its name is
// replaced, not doubled).
Outcome SaveThemeFile(const Workspace& ws, ThemeFile file);

// SaveThemeFile with another target folder than the program folder (which
// still supplies the payloads): the same bytes, replaced the same way.
Outcome SaveThemeFileInto(const Workspace& ws, ThemeFile file, const QString& folder);

} // namespace kastra

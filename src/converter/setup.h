#pragma once
// Set-up and tear-down of the theme workspace. They live on the converter's
// side because the set-up unpacks the default theme files with bmconv.

#include "picture/bitmap.h"
#include "workspace/workspace.h"

namespace kastra {

// Writes the converter and the default theme files and unpacks them into the
// 544 numbered slots (menuOnly: only menu_folders.mbm into Menu\;
// fromWorkspaceFiles: the five theme MBM files already lying in the root are
// unpacked instead of the defaults, and Back.bmp is loaded into desktop).
// Returns backgroundNarrow: with fromWorkspaceFiles, whether Back.bmp is at
// most 175 pixels wide (an unreadable one counts as width 0); else false.
// A first start finds no root: it is created with its parents. Failing to
// enter the root or to write com.txt is fatal (FatalIoError); a converter
// that fails leaves the slots it did not write as they were.
bool PrepareWorkspace(const Workspace& ws, bool menuOnly, bool fromWorkspaceFiles, Bitmap& desktop);

// Full paths of every slot PrepareWorkspace with fromWorkspaceFiles may
// write: the banners, the background, Avkon\, Signal\ and Menu\.
QStringList PreparedSlotPaths(const Workspace& ws);

// The menuOnly part of PrepareWorkspace: writes the converter and unpacks
// the root's menu_folders.mbm into Menu\000.bmp ... Menu\023.bmp. Returns
// whether bmconv succeeded.
bool UnpackMenuFolders(const Workspace& ws);

// Deletes the plain files of Avkon\, Signal\, SIS\, Menu\ and then of the
// root, removing each folder; a folder stops at its first file that cannot be
// deleted. Nothing is reported. A LoadBackup folder left by a load that was
// cut short, a DefaultSlot folder left by a restore cut short and the History
// folder of the undo steps are cleared the same way before the root. A link in the place of
// the root or of one of these folders is removed as a name and never
// followed; any other sub-folder of the root is left alone, and the root
// with it.
void TearDownWorkspace(const Workspace& ws);

} // namespace kastra

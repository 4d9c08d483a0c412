#pragma once
// Set-up and tear-down of the theme workspace. They live on the converter's
// side because the set-up unpacks the default theme files with bmconv.

#include "base/result.h"
#include "picture/bitmap.h"
#include "workspace/workspace.h"

namespace kastra {

// Writes the converter and the default theme files and unpacks them into the
// 544 numbered slots (menuOnly: only menu_folders.mbm into Menu\;
// fromWorkspaceFiles: the five theme MBM files already lying in the root are
// unpacked instead of the defaults).
// Returns backgroundNarrow: with fromWorkspaceFiles, whether Back.bmp is at
// most 175 pixels wide (an unreadable one counts as width 0); else false.
// A first start finds no root: it is created with its parents and opened.
// Fails when the root cannot be made or opened, or a command file cannot be
// written (the set-up stops there); a converter that fails leaves the slots
// it did not write as they were.
Result<bool> PrepareWorkspace(const Workspace& ws, bool menuOnly, bool fromWorkspaceFiles);

// The menuOnly part of PrepareWorkspace: writes the converter and unpacks
// the root's menu_folders.mbm into Menu\000.bmp ... Menu\023.bmp. Returns
// whether bmconv succeeded, or why com.txt could not be written.
Result<bool> UnpackMenuFolders(const Workspace& ws);

// Lets the workspace's descriptor go, then deletes the plain files of
// Avkon\, Signal\, SIS\, Menu\ and then of the root, removing each folder; a folder stops at its first file that cannot be
// deleted. Nothing is reported. A LoadBackup folder left by a load that was
// cut short, a DefaultSlot folder left by a restore cut short and the History
// folder of the undo steps are cleared the same way before the root. A link in the place of
// the root or of one of these folders is removed as a name and never
// followed; any other sub-folder of the root is left alone, and the root
// with it.
void TearDownWorkspace(const Workspace& ws);

} // namespace kastra

#pragma once
// The bridge to bmconv: the command file com.txt, the converter run, the
// seven theme-file operations and the corner masks. The program never packs
// or unpacks MBM itself; it writes com.txt and runs bmconv.exe in the
// workspace root. It reads a theme file only before a load: to check that it
// fits (workspace/theme_catalogue.h) and to find the slots the unpack will
// change, which the load keeps aside (converter/slot_backup.h).
//
// Failing to enter the workspace root or to create or write com.txt is the
// one fatal I/O error (FatalIoError with the Windows error number).

#include "workspace/workspace.h"

#include <QByteArray>
#include <QChar>
#include <QString>
#include <QStringList>

namespace kastra {

enum class ThemeFileOpCode {
    WriteConverter = 0,
    PackEidPic = 1,
    PackBackground = 2,
    PackAvkon = 3,
    PackAvkonEx = 4,
    PackMenuFolders = 5,
    WriteNoImageBanner = 6,
};

// One line per name, or all names on one line separated by spaces.
enum class UnpackLayout { OnePerLine, OneLine };

// The bytes of com.txt for an unpack list: "/u " + mbm, CR LF, then the
// names; every line ends with CR LF. Windows-1251.
QByteArray UnpackCommandFile(const QString& mbm, const QStringList& names, UnpackLayout layout);

// The bytes of com.txt for codes 1, 2, 4 and 5 (3 is the AVCOM payload).
QByteArray PackCommandFile(ThemeFileOpCode code);

// The name of the file a pack code writes below SIS\ ("EidPic.mbm" ...
// "menu_folders.mbm"); empty for codes 0 and 6.
QString packedFileName(ThemeFileOpCode code);

// Makes the workspace root the current directory. A failure is fatal:
// FatalIoError with the Windows error number (2 when the root is missing).
void EnterWorkspaceRoot(const Workspace& ws);

// Replaces root/com.txt with bytes (atomically); a regular file that holds
// exactly these bytes already is left as it is. A failure to create,
// write or close it is fatal (5 access denied, 101 disk full, ...).
void WriteCommandFile(const Workspace& ws, const QByteArray& bytes);

// Enters the root, writes com.txt, runs the converter. Returns whether
// bmconv ran and exited 0 (callers of the original ignore it).
bool Unpack(const Workspace& ws, const QString& mbm, const QStringList& names, UnpackLayout layout);

// Runs "bmconv.exe com.txt" hidden in the root and waits without a limit.
// Returns whether it started and exited 0.
bool RunConverter(const Workspace& ws);

// Derives a 1-bit mask slot from a colour slot: white where a pixel equals
// the colour of pixel (0, 0), black elsewhere. An unreadable colour slot
// leaves the mask slot as it was. Slot names are relative to the root.
void MakeCornerMask(const Workspace& ws, const QString& colourSlot, const QString& maskSlot);

// Full paths of the slot files a pack rewrites before bmconv reads them:
// the masks derived from their colour pictures and, for
// backgroundimage.mbm, About.bmp.
QStringList PackRewrites(const Workspace& ws, ThemeFileOpCode code);

// Codes 0-6. scheme names Top<N>.bmp for code 6. For the pack codes the
// result is true only when bmconv exited 0 and wrote a fresh SIS\<file>
// (the old one is deleted before packing); codes 0 and 6 return whether the
// payload was written. Code 3 does not run bmconv when its pack list
// payload cannot be written over com.txt, so that a stale command file is
// never carried out.
bool ThemeFileOp(const Workspace& ws, ThemeFileOpCode code, QChar scheme = u'1');

} // namespace kastra

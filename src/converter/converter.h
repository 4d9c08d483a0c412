#pragma once
// The bridge to bmconv: the command file com.txt, the converter run, the
// seven theme-file operations and the corner masks. The program never packs
// or unpacks MBM itself; it writes com.txt and runs bmconv.exe in the
// workspace root. It reads a theme file only before a load: to check that it
// fits (workspace/theme_catalogue.h) and to find the slots the unpack will
// change, which the load keeps aside (converter/slot_backup.h).
//
// A com.txt that cannot be written fails the operation that needed it, with
// the reason; nothing of the workspace has changed then, since every
// operation writes its command file before bmconv touches a slot.

#include "base/result.h"
#include "workspace/outcome.h"
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

// Replaces root/com.txt with bytes (atomically); a regular file that holds
// exactly these bytes already is left as it is. Fails with the reason (a
// full disk, a folder that may not be written).
Result<void> WriteCommandFile(const Workspace& ws, const QByteArray& bytes);

// The message for a command file that could not be written: the operation
// is refused, the workspace is as it was.
Outcome CommandFileRefused(const Error& why);

// Writes com.txt and runs the converter, which may write the named slots.
// Fails when com.txt could not be written (bmconv is not run then); else
// whether bmconv ran and exited 0 (callers of the original ignore it).
Result<bool> Unpack(const Workspace& ws, const QString& mbm, const QStringList& names, UnpackLayout layout);
// The same when only the slots of mayWrite can change: a load whose plan
// knows which of the names our converter will replace journals only those.
Result<bool> Unpack(const Workspace& ws, const QString& mbm, const QStringList& names, UnpackLayout layout,
                    const QStringList& mayWrite);

// Runs "bmconv.exe com.txt" hidden in the root and waits without a limit;
// mayWrite names the slots it may write. Returns whether it started and
// exited 0.
bool RunConverter(const Workspace& ws, const QStringList& mayWrite = {});

// Derives a 1-bit mask slot from a colour slot: white where a pixel equals
// the colour of pixel (0, 0), black elsewhere. An unreadable colour slot
// leaves the mask slot as it was. Slot names are relative to the root.
void MakeCornerMask(const Workspace& ws, const QString& colourSlot, const QString& maskSlot);

// Codes 0-6. scheme names Top<N>.bmp for code 6. For the pack codes the
// result is true only when bmconv exited 0 and wrote a fresh SIS\<file>
// (the old one is deleted before packing); codes 0 and 6 return whether the
// payload was written. A pack whose com.txt (for code 3 the pack list
// payload) cannot be written fails with the reason, without running bmconv,
// so that a stale command file is never carried out.
Result<bool> ThemeFileOp(const Workspace& ws, ThemeFileOpCode code, QChar scheme = u'1');

} // namespace kastra

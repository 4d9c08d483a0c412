#pragma once
// "Вернуть исходную": one slot put back as a freshly prepared workspace has
// it, from the default theme the program carries (or the override folder's
// file that takes its place, see workspace/payloads.h).
//
// Which slots have a default:
// - Avkon\000-507, Signal\000-011, Menu\000-023: the bitmap at that index of
//   the default Avkon.mbm, AvkonEx.mbm or menu_folders.mbm, unpacked with
//   bmconv exactly as the set-up unpacks it;
// - SplashTop.bmp: the default boot-screen banner, as the set-up writes it;
// - Top1.bmp ... Top4.bmp: the default banner picture, which the desktop
//   preview writes for a missing banner;
// - Temp1.bmp ... Temp4.bmp: the top 12 rows of that banner, as the
//   thumbnails painter derives a strip from it;
// - About.bmp: the about picture, which every pack of backgroundimage.mbm
//   writes there anyway.
// Back.bmp has none: a fresh workspace has no background until the user
// imports or loads one, and deleting the user's picture is not "back to the
// default". Nor has anything else (SIS\ files, names outside the catalogue).

#include "workspace/outcome.h"
#include "workspace/workspace.h"

#include <QString>
#include <QStringList>

namespace kastra {

// The private folder below the root where the default theme files are
// unpacked. Kept for the run, so that only the first restore from each file
// waits for bmconv; the tear-down removes it with the root.
inline constexpr char DefaultSlotFolder[] = "DefaultSlot";

// Whether the slot at slotPath (a full path below ws.root, as a view's
// pop-up menu holds it) has a default by the rules above.
bool SlotHasDefault(const Workspace& ws, const QString& slotPath);

// Writes the default bytes over the slot (atomically: beside it, then renamed
// into place), creating it when it is missing; no other slot is touched.
// Done with the slot's full path as written. Refused with a warning box when
// the slot has no default, when the default theme file cannot be written or
// unpacked (an override file with fewer bitmaps than the slot's index, say)
// or when the slot cannot be written; the slot is then as it was and
// nothing is listed as written.
Outcome RestoreDefaultSlot(const Workspace& ws, const QString& slotPath);

} // namespace kastra

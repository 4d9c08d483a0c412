#pragma once
// What a pack needs before bmconv runs: the slot files it reads that have
// no default. After a plain start the background is missing until a
// picture is imported, and a banner is missing until its scheme is shown;
// bmconv would fail on either with nothing to tell the user why. The
// banners have a default picture and are written from it; anything else
// missing stops the save or the build before a file is written, with a
// text that says which picture it is and how to get it.

#include "converter/converter.h"
#include "workspace/workspace.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <span>

namespace kastra {

// The slots a pack code reads that the user has to provide: every slot its
// command file names, apart from what the pack writes itself (About.bmp,
// the masks derived from their colour slots) and the banners Top1.bmp ...
// Top4.bmp, which WriteMissingBanners supplies. Empty for codes 0 and 6.
QStringList PackSources(ThemeFileOpCode code);

// The first of the pack sources of the codes, in their order, that is not
// a file in the workspace; nothing when every one is there.
std::optional<QString> MissingPackSource(const Workspace& ws, std::span<const ThemeFileOpCode> codes);

// Writes each Top<N>.bmp that does not exist from the default banner
// picture, exactly as showing scheme N does (code 6). A banner that cannot
// be written shows later, when bmconv fails.
void WriteMissingBanners(const Workspace& ws);

// For the user: which picture the slot is, in the window's words, and what
// to do to get it, on two lines, e.g. for "Back.bmp" "Нет картинки фона
// рабочего стола (Back.bmp)." and "Загрузите её кнопкой «Загрузить
// картинку» ...". MissingSlotNote says the same in English for the command
// line.
QString MissingSlotText(const QString& slot);
QString MissingSlotNote(const QString& slot);

} // namespace kastra

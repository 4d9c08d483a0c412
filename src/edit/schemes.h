#pragma once
// Colour schemes: the four desktop banners Top1.bmp ... Top4.bmp, one per
// scheme of the handset ("Blue Sky", "Beach", "City", "Magenta"), and the
// 12-row desktop top strip Temp<N>.bmp edited on its own and applied back.

#include "workspace/app_state.h"
#include "workspace/outcome.h"
#include "workspace/workspace.h"

#include <QChar>
#include <QStringList>

#include <array>

namespace kastra {

// The banners the scheme's banner is copied over, in the order the copies
// are made: '1' -> 2, 3, 4; '2' -> 1, 3, 4; '3' -> 2, 1, 4; '4' -> 2, 3, 1.
// Empty for a character that is no scheme.
std::array<QChar, 3> SchemeCopyOrder(QChar scheme);

// Selecting scheme '1' to '4' (also the one already current): clears the
// strip-edited flag, makes scheme current and, unless separateBanners ("Разные
// картинки для EidPic"), copies Top<scheme>.bmp byte for byte over the other
// three banners in SchemeCopyOrder, each copy replacing its target
// atomically. A missing banner copies nothing. Any other character changes
// nothing. Never refused: the outcome lists the files written.
//
// The window then requests a thumbnails repaint and a desktop repaint, in
// that order; the thumbnails painter derives Temp<N>.bmp afresh.
Outcome SelectScheme(AppState& state, const Workspace& ws, QChar scheme, bool separateBanners);

// Applying the edited strip (StripRefreshImage): the whole of Temp<N>.bmp is
// stretched into rows 0-11 of Top<N>.bmp, which is written back; rows 12 and
// below stay. A strip resized in an editor is fitted to the 176 x 12 band;
// a 176 x 12 strip is copied pixel for pixel. A missing banner, or a strip
// that cannot be read, leaves the banner file alone. The outcome lists
// the file written. The window then requests a desktop repaint.
Outcome ApplyStrip(AppState& state, const Workspace& ws);

} // namespace kastra

#pragma once
// The desktop preview (PreviewBox, 176 x 220): the handset desktop composed
// from the slot files, which are read afresh at every repaint so an outside
// editor's changes show at the next one.

#include "workspace/app_state.h"
#include "preview/handset_view.h"
#include "preview/surface.h"
#include "workspace/workspace.h"

#include <QChar>
#include <QStringList>

namespace kastra {

inline constexpr int PreviewWidth = 176;
inline constexpr int PreviewHeight = 220;

// The soft-key bar colour of a colour scheme ('1' Blue Sky, '2' Beach,
// '3' City, '4' Magenta); any other character gives Blue Sky's.
Colour SchemeColour(QChar scheme);

// Paints the desktop preview, in this order: the banner Top<N>.bmp (first
// written from the default banner picture when it is missing), the status
// picture Avkon\445.bmp keyed by its corner colour at (132, 0); when Back.bmp
// exists, the soft-key bar in the scheme colour with its two captions, the
// background and the white side strips (stripBottom: the "Снизу" option,
// strips at columns 0 and 175, else at 174 and 175); the signal picture of
// the animation step at (1, 0) (through the 'No Signal' mask at step 0, keyed
// otherwise); the separator line under the banner.
//
// Draws only from the slot files, so it may run before or after any other
// painter. Missing slot files draw nothing and leave the surface as it was.
// The default banner it writes goes into the workspace's journal.
//
// Every slot picture comes through pictures (the handset view, or the files
// as they are); in the handset view the finished surface is brought to the
// screen's colours.
void PaintDesktop(const AppState& state, const Workspace& ws, bool stripBottom, Surface& preview,
                  const SlotPictures& pictures = PlainPictures());

} // namespace kastra

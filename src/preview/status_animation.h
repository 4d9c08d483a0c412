#pragma once
// The status animation of the desktop preview, one tick a second
// (SignalTimer): the indicator bars at the top right are hidden behind the
// banner's own pixels and uncovered from the right, four columns a tick,
// while the signal picture steps through the five signal pictures and the
// 'No Signal' picture. One cycle is eight ticks.

#include "workspace/app_state.h"
#include "preview/handset_view.h"
#include "preview/surface.h"
#include "workspace/workspace.h"

namespace kastra {

// The animation and its indicator buffer (28 x 5), which one tick leaves
// for the next. The window keeps one for the run.
class StatusAnimation {
public:
    // One tick. Nothing happens (the step does not advance) while Top<N>.bmp
    // is missing. Otherwise, with s the animation step on entry:
    //  - the indicator buffer takes the status picture's columns
    //    39 - 4s .. 38, rows 4-8, stretched one column wider into its
    //    rightmost columns;
    //  - the banner, the status picture (keyed) and the indicator buffer at
    //    (143, 4) are drawn;
    //  - at s = 0 or 8 the step restarts at 0 and the buffer is first reset
    //    to the banner's own pixels under it;
    //  - the signal picture Signal\00<s>.bmp is drawn keyed at (1, 0); at
    //    s = 7 Signal\000.bmp through the 'No Signal' mask; nothing at s = 0
    //    and 6;
    //  - the step advances by one.
    // Every picture is read from its slot, through pictures, as the desktop
    // painter's are; no other painter need have run first.
    void tick(AppState& state, const Workspace& ws, Surface& preview, const SlotPictures& pictures = PlainPictures());

private:
    Bitmap m_indicator{28, 5};
};

} // namespace kastra

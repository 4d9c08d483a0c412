#pragma once
// The picture menu's smoothing step: a slot picture error-diffused to the
// colours of the handset's screen, so a gradient the screen would show in
// hard bands shows as a fine grain instead.

#include "picture/screen_colours.h"
#include "workspace/outcome.h"
#include "workspace/workspace.h"

#include <QString>

namespace kastra {

// Replaces the slot file at path (a full path inside ws.root) with its
// Floyd-Steinberg serpentine diffusion to the screen's colours, written at
// 24 bits. Only for slots packed at 24 or 12 bits (SmoothingOffered);
// another slot, a missing or unreadable picture or a failed write is
// refused with a message and leaves the file as it was. The outcome lists
// the file when it was written.
Outcome SmoothSlot(const Workspace& ws, const QString& path, ScreenColours screen);

} // namespace kastra

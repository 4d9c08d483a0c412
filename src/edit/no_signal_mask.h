#pragma once
// The 'No Signal' mask button (MaskImage, beside "Маска для 'No Signal'").

#include "workspace/outcome.h"
#include "workspace/workspace.h"



namespace kastra {

// Rebuilds Signal\006.bmp as the 1-bit mask of Signal\000.bmp in the
// workspace (white where a pixel has the colour of the top-left one), the
// process's current folder playing no part. A missing or unreadable picture
// leaves the mask as it was. No repaint is requested: the new mask shows at
// the next repaint. Never refused: the outcome lists the file written.
Outcome MakeNoSignalMaskSlot(const Workspace& ws);

} // namespace kastra

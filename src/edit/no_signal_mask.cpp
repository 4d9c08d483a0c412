#include "edit/no_signal_mask.h"

#include "workspace/slots.h"

namespace kastra {

Outcome MakeNoSignalMaskSlot(const Workspace& ws)
{
    // White where a pixel has the colour of the top-left one; a picture that
    // cannot be read leaves the mask as it was.
    Bitmap mask = ws.picture(NoSignalSlot);
    if (mask.empty())
        return Done();
    mask.makeMask(mask.getPixel(0, 0));
    (void)ws.writePicture(NoSignalMaskSlot, mask);
    return Done();
}

} // namespace kastra

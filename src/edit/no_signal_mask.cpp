#include "edit/no_signal_mask.h"

#include "platform/fileops.h"
#include "picture/resample.h"
#include "workspace/slots.h"

namespace kastra {

Outcome MakeNoSignalMaskSlot(const Workspace& ws)
{
    const QString picture = slotPath(ws.root, slotName(SlotFolder::Signal, 0));
    const QString mask = slotPath(ws.root, slotName(SlotFolder::Signal, 6));
    // Whether the mask will be rewritten: only a readable picture makes one.
    Bitmap probe = readBmpOrEmpty(fsPath(picture));
    MakeNoSignalMask(fsPath(ws.root));
    if (probe.empty() || !IsFile(mask))
        return Done();
    return Done({mask});
}

} // namespace kastra

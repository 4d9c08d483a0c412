#include "edit/smoothing.h"

#include "platform/fileops.h"
#include "workspace/slot_depth.h"

namespace kastra {

Outcome SmoothSlot(const Workspace& ws, const QString& path, ScreenColours screen)
{
    const QString slot = ws.slotOf(path);
    if (!SmoothingOffered(slot))
        return WarningOutcome(QStringLiteral("Эту картинку сглаживать не нужно: телефон хранит её не в 24 и не в 12 "
                                             "битах."),
                              QStringLiteral("only pictures packed at 24 or 12 bits are smoothed"));
    Bitmap picture = ws.picture(slot);
    if (picture.empty())
        return WarningOutcome(QStringLiteral("Не удалось прочитать картинку %1.").arg(path),
                              QStringLiteral("%1: not a picture the program reads").arg(path));
    diffuseToScreen(picture, screen);
    if (const auto written = ws.writePicture(slot, picture); !written)
        return WarningOutcome(QStringLiteral("Не удалось записать картинку %1.").arg(path),
                              QString::fromStdString(written.error()));
    return Done();
}

} // namespace kastra

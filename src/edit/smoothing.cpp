#include "edit/smoothing.h"

#include "platform/fileops.h"
#include "workspace/slot_depth.h"

namespace kastra {

Outcome SmoothSlot(const Workspace& ws, const QString& path, ScreenColours screen)
{
    if (!SmoothingOffered(ws.root, path))
        return WarningOutcome(QStringLiteral("Эту картинку сглаживать не нужно: телефон хранит её не в 24 и не в 12 "
                                             "битах."),
                              QStringLiteral("only pictures packed at 24 or 12 bits are smoothed"));
    auto picture = readBmp(fsPath(path));
    if (!picture)
        return WarningOutcome(QStringLiteral("Не удалось прочитать картинку %1.").arg(path),
                              QString::fromStdString(picture.error()));
    diffuseToScreen(*picture, screen);
    if (const auto written = picture->writeBmp(fsPath(path)); !written)
        return WarningOutcome(QStringLiteral("Не удалось записать картинку %1.").arg(path),
                              QString::fromStdString(written.error()));
    return Done({path});
}

} // namespace kastra

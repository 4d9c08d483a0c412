#include "edit/schemes.h"

#include "platform/fileops.h"
#include "workspace/slots.h"

namespace kastra {

std::array<QChar, 3> SchemeCopyOrder(QChar scheme)
{
    switch (scheme.unicode()) {
    case u'1': return {u'2', u'3', u'4'};
    case u'2': return {u'1', u'3', u'4'};
    case u'3': return {u'2', u'1', u'4'};
    case u'4': return {u'2', u'3', u'1'};
    default: return {};
    }
}

Outcome SelectScheme(AppState& state, const Workspace& ws, QChar scheme, bool separateBanners)
{
    QStringList written;
    const std::array<QChar, 3> order = SchemeCopyOrder(scheme);
    if (order[0].isNull())
        return Done();
    state.stripEdited = false;
    state.scheme = scheme;
    state.schemeChosen = true;
    if (separateBanners)
        return Done();
    const QString source = slotPath(ws.root, topSlot(scheme));
    for (QChar target : order) {
        const QString path = slotPath(ws.root, topSlot(target));
        if (CopyFileOver(source, path))
            written << path;
    }
    return Done(written);
}

Outcome ApplyStrip(AppState& state, const Workspace& ws)
{
    const QString bannerPath = slotPath(ws.root, topSlot(state.scheme));
    Bitmap banner = readBmpOrEmpty(fsPath(bannerPath));
    const Bitmap strip = readBmpOrEmpty(fsPath(slotPath(ws.root, tempSlot(state.scheme))));
    if (banner.empty() || strip.empty())
        return Done();
    // The whole strip, whatever size the editor left it, into the band.
    banner.stretchCopy({0, 0, 176, 12}, strip, {0, 0, strip.width(), strip.height()});
    if (!banner.writeBmp(fsPath(bannerPath)))
        return Done();
    return Done({bannerPath});
}

} // namespace kastra

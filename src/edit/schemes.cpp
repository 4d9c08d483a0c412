#include "edit/schemes.h"

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
    const std::array<QChar, 3> order = SchemeCopyOrder(scheme);
    if (order[0].isNull())
        return Done();
    state.stripEdited = false;
    state.scheme = scheme;
    state.schemeChosen = true;
    if (separateBanners)
        return Done();
    // The banner is read once and written under the three other names, each
    // replaced as a whole; a banner that cannot be read is copied nowhere.
    constexpr std::uintmax_t kMaxBannerBytes = 16u * 1024 * 1024;
    const auto banner = ws.read(topSlot(scheme), kMaxBannerBytes);
    if (!banner)
        return Done();
    for (QChar target : order)
        (void)ws.write(topSlot(target), *banner);
    return Done();
}

Outcome ApplyStrip(AppState& state, const Workspace& ws)
{
    Bitmap banner = ws.picture(topSlot(state.scheme));
    const Bitmap strip = ws.picture(tempSlot(state.scheme));
    if (banner.empty() || strip.empty())
        return Done();
    // The whole strip, whatever size the editor left it, into the band.
    banner.stretchCopy({0, 0, 176, 12}, strip, {0, 0, strip.width(), strip.height()});
    (void)ws.writePicture(topSlot(state.scheme), banner);
    return Done();
}

} // namespace kastra

#include "workspace/slot_depth.h"

#include "workspace/theme_catalogue.h"

#include <QDir>
#include <QHash>

namespace kastra {

namespace {

// "/1", "/2" ... grey, "/c4" ... "/c32" colour.
std::optional<mbm::Mode> modeOf(const QString& prefix)
{
    const bool colour = prefix.startsWith(QLatin1String("/c"));
    bool ok = false;
    const int bpp = prefix.mid(colour ? 2 : 1).toInt(&ok);
    const mbm::Mode mode{bpp, colour};
    if (!prefix.startsWith(u'/') || !ok || !mbm::isValidMode(mode))
        return std::nullopt;
    return mode;
}

const QHash<QString, mbm::Mode>& modes()
{
    static const QHash<QString, mbm::Mode> table = [] {
        QHash<QString, mbm::Mode> t;
        for (const char* file : {"EidPic.mbm", "backgroundimage.mbm", "Avkon.mbm", "AvkonEx.mbm", "menu_folders.mbm"})
            for (const SlotExpectation& e : themeFileCatalogue(QString::fromLatin1(file)))
                if (const auto mode = modeOf(e.prefix))
                    t.insert(e.slot, *mode);
        return t;
    }();
    return table;
}

} // namespace

std::optional<mbm::Mode> PackedMode(const QString& slot)
{
    const auto it = modes().constFind(slot);
    if (it == modes().cend())
        return std::nullopt;
    return *it;
}

bool SmoothingOffered(const QString& slot)
{
    const auto mode = PackedMode(slot);
    return mode && mode->colour && (mode->bpp == 24 || mode->bpp == 12);
}

} // namespace kastra

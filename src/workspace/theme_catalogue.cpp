#include "workspace/theme_catalogue.h"

#include "mbm/mbm.h"
#include "workspace/payloads.h"
#include "workspace/slots.h"

#include <algorithm>
#include <optional>
#include <tuple>

namespace kastra {

namespace {

// Depth prefixes of the Avkon slots, from the pack list the program packs
// Avkon.mbm with: line i + 2 is the prefix of index i followed by its slot.
std::vector<QString> avkonPrefixes()
{
    std::vector<QString> prefixes(AvkonSlotCount);
    const auto list = payloadBytes(Payload::AvkonPackList, {});
    if (!list)
        return prefixes;
    const QList<QByteArray> lines = list->split('\n');
    for (int i = 0; i < AvkonSlotCount && i + 1 < lines.size(); ++i) {
        const QByteArray line = lines[i + 1].trimmed();
        const qsizetype at = line.indexOf("Avkon");
        if (at > 0)
            prefixes[static_cast<std::size_t>(i)] = QString::fromLatin1(line.left(at));
    }
    return prefixes;
}

// One difference of a bitmap from its catalogue entry, in English and for
// the user; empty when it fits.
struct Difference {
    QString english;
    QString russian;
};

// Only the size counts. The depth does not: a pack re-encodes every slot at
// its own depth whatever the file stored, so a file another tool wrote at
// 16 or 32 bits (with alpha, which is read past) loads as the pictures it
// holds.
std::optional<Difference> compare(const QString& themeFile, std::size_t i, const mbm::MbmBitmap& b,
                                  const SlotExpectation& e)
{
    const int w = b.header.width, h = b.header.height;
    const bool widthFits = !e.width || w == e.width || (e.altWidth && w == e.altWidth);
    const bool heightFits = !e.height || h == e.height;
    if (widthFits && heightFits)
        return std::nullopt;
    const QString where = QStringLiteral("%1 #%2 (%3)").arg(themeFile).arg(i).arg(e.slot);
    const QString wanted = e.altWidth ? QStringLiteral("%1 или %2").arg(e.altWidth).arg(e.width)
                                      : QString::number(e.width);
    return Difference{QStringLiteral("%1: %2 x %3, the slot is %4 x %5")
                          .arg(where)
                          .arg(w)
                          .arg(h)
                          .arg(e.altWidth ? QStringLiteral("%1 or %2").arg(e.altWidth).arg(e.width)
                                          : QString::number(e.width))
                          .arg(e.height),
                      QStringLiteral("Картинка №%1 (%2) размером %3 × %4, а должна быть %5 × %6.")
                          .arg(i)
                          .arg(e.slot)
                          .arg(w)
                          .arg(h)
                          .arg(wanted)
                          .arg(e.height)};
}

// Every difference, or only the first when firstOnly.
std::vector<Difference> differences(const QString& themeFile, ByteSpan bytes, bool firstOnly)
{
    const auto bitmaps = mbm::readMbm(bytes);
    if (!bitmaps)
        return {{themeFile + QStringLiteral(": not readable: ") + QString::fromStdString(bitmaps.error()),
                 QStringLiteral("Файл повреждён или не является файлом картинок MBM.")}};
    const std::vector<SlotExpectation> catalogue = themeFileCatalogue(themeFile);
    std::vector<Difference> out;
    if (bitmaps->size() != catalogue.size()) {
        out.push_back({QStringLiteral("%1: %2 bitmaps, the theme needs %3")
                           .arg(themeFile)
                           .arg(bitmaps->size())
                           .arg(catalogue.size()),
                       QStringLiteral("Картинок в файле: %1, а должно быть %2.")
                           .arg(bitmaps->size())
                           .arg(catalogue.size())});
        if (firstOnly)
            return out;
    }
    const std::size_t n = std::min(bitmaps->size(), catalogue.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (auto d = compare(themeFile, i, (*bitmaps)[i], catalogue[i])) {
            out.push_back(std::move(*d));
            if (firstOnly)
                return out;
        }
    }
    return out;
}

} // namespace

std::vector<SlotExpectation> themeFileCatalogue(const QString& themeFile)
{
    const QString c24 = QStringLiteral("/c24"), c12 = QStringLiteral("/c12"), mask = QStringLiteral("/1");
    std::vector<SlotExpectation> c;
    if (themeFile == QLatin1String("EidPic.mbm")) {
        c.push_back({QStringLiteral("SplashTop.bmp"), 176, 12, 0, c24, {}});
        for (const QChar scheme : {u'1', u'2', u'3', u'4'})
            c.push_back({topSlot(scheme), 176, 68, 0, c24, {}});
    } else if (themeFile == QLatin1String("backgroundimage.mbm")) {
        // The picture import makes the background 175 columns wide when the
        // side strips go to the bottom.
        c.push_back({QStringLiteral("Back.bmp"), 176, 132, 175, c24, {}});
        // Every pack replaces the about picture, so its size is left open.
        c.push_back({QStringLiteral("About.bmp"), 0, 0, 0, c24, {}});
    } else if (themeFile == QLatin1String("Avkon.mbm")) {
        const std::vector<QString> prefixes = avkonPrefixes();
        for (int i = 0; i < AvkonSlotCount; ++i)
            c.push_back({slotName(SlotFolder::Avkon, i), 0, 0, 0, prefixes[static_cast<std::size_t>(i)], {}});
        for (const int i : {186, 194, 266, 268, 406})
            c[static_cast<std::size_t>(i)].altPrefix = QStringLiteral("/c8");
        // The slots the program shows and edits by number, with their masks.
        for (const auto& [index, w, h] : {std::tuple{136, 42, 29}, {138, 44, 44}, {202, 30, 40}, {445, 44, 12}}) {
            for (const int k : {index, index + 1}) {
                c[static_cast<std::size_t>(k)].width = w;
                c[static_cast<std::size_t>(k)].height = h;
            }
        }
    } else if (themeFile == QLatin1String("AvkonEx.mbm")) {
        for (int i = 0; i < SignalSlotCount; ++i)
            c.push_back({slotName(SlotFolder::Signal, i), 32, 12, 0,
                         i == 0 ? QStringLiteral("/c4") : i <= 5 ? c12 : mask, {}});
    } else if (themeFile == QLatin1String("menu_folders.mbm")) {
        for (int i = 0; i < MenuSlotCount; ++i) {
            const bool large = i % 4 >= 2;
            c.push_back({slotName(SlotFolder::Menu, i), large ? 44 : 42, large ? 44 : 29, 0, i % 2 == 0 ? c12 : mask,
                         {}});
        }
    }
    return c;
}

QStringList checkThemeFile(const QString& themeFile, ByteSpan mbm)
{
    QStringList out;
    for (const Difference& d : differences(themeFile, mbm, false))
        out << d.english;
    return out;
}

QString themeFileMismatch(const QString& themeFile, ByteSpan mbm)
{
    const std::vector<Difference> d = differences(themeFile, mbm, true);
    return d.empty() ? QString() : d.front().russian;
}

} // namespace kastra

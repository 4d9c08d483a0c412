#include "package/package_check.h"

#include "mbm/mbm.h"
#include "workspace/payloads.h"
#include "sis/sis_extract.h"
#include "sis/sis_reader.h"
#include "workspace/slots.h"

#include <algorithm>
#include <iterator>
#include <tuple>

namespace kastra {

namespace {

const QString kThemeFiles[] = {QStringLiteral("EidPic.mbm"), QStringLiteral("backgroundimage.mbm"),
                               QStringLiteral("Avkon.mbm"), QStringLiteral("AvkonEx.mbm"),
                               QStringLiteral("menu_folders.mbm")};

QString prefixOf(const mbm::Mode& mode)
{
    if (mode.bpp == 1 && !mode.colour)
        return QStringLiteral("/1");
    return QString::fromStdString(mbm::modeName(mode));
}

// Depth prefixes of the Avkon slots, from the pack list the program packs
// Avkon.mbm with: line i + 2 is the prefix of index i followed by its slot.
std::vector<QString> avkonPrefixes()
{
    std::vector<QString> prefixes(AvkonSlotCount);
    const auto list = payloadBytes(QStringLiteral("PKG"), QStringLiteral("AVCOM"), {});
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

QString text(const std::u16string& s)
{
    return QString::fromStdU16String(s);
}

} // namespace

std::vector<SlotExpectation> themeFileCatalogue(const QString& themeFile)
{
    std::vector<SlotExpectation> c;
    if (themeFile == QLatin1String("EidPic.mbm")) {
        c.push_back({QStringLiteral("SplashTop.bmp"), 176, 12, QStringLiteral("/c24")});
        for (const QChar scheme : {u'1', u'2', u'3', u'4'})
            c.push_back({topSlot(scheme), 176, 68, QStringLiteral("/c24")});
    } else if (themeFile == QLatin1String("backgroundimage.mbm")) {
        // The background's size is the picture's; narrower ones are drawn
        // with side strips.
        c.push_back({QStringLiteral("Back.bmp"), 0, 0, QStringLiteral("/c24")});
        c.push_back({QStringLiteral("About.bmp"), 143, 101, QStringLiteral("/c24")});
    } else if (themeFile == QLatin1String("Avkon.mbm")) {
        const std::vector<QString> prefixes = avkonPrefixes();
        for (int i = 0; i < AvkonSlotCount; ++i)
            c.push_back({slotName(SlotFolder::Avkon, i), 0, 0, prefixes[static_cast<std::size_t>(i)]});
        const auto size = [&c](int index, int w, int h) {
            c[static_cast<std::size_t>(index)].width = w;
            c[static_cast<std::size_t>(index)].height = h;
        };
        for (const auto& [index, w, h] : {std::tuple{136, 42, 29}, {138, 44, 44}, {202, 30, 40}, {445, 44, 12}}) {
            size(index, w, h);
            size(index + 1, w, h);
        }
    } else if (themeFile == QLatin1String("AvkonEx.mbm")) {
        for (int i = 0; i < SignalSlotCount; ++i)
            c.push_back({slotName(SlotFolder::Signal, i), 32, 12,
                         i == 0 ? QStringLiteral("/c4") : i <= 5 ? QStringLiteral("/c12") : QStringLiteral("/1")});
    } else if (themeFile == QLatin1String("menu_folders.mbm")) {
        for (int i = 0; i < MenuSlotCount; ++i) {
            const bool large = i % 4 >= 2;
            c.push_back({slotName(SlotFolder::Menu, i), large ? 44 : 42, large ? 44 : 29,
                         i % 2 == 0 ? QStringLiteral("/c12") : QStringLiteral("/1")});
        }
    }
    return c;
}

QStringList checkThemeFile(const QString& themeFile, ByteSpan bytes)
{
    QStringList out;
    const auto bitmaps = mbm::readMbm(bytes);
    if (!bitmaps)
        return {themeFile + QStringLiteral(": not readable: ") + QString::fromStdString(bitmaps.error())};
    const std::vector<SlotExpectation> catalogue = themeFileCatalogue(themeFile);
    if (bitmaps->size() != catalogue.size())
        out << QStringLiteral("%1: %2 bitmaps, the theme needs %3")
                   .arg(themeFile)
                   .arg(bitmaps->size())
                   .arg(catalogue.size());
    const std::size_t n = std::min(bitmaps->size(), catalogue.size());
    for (std::size_t i = 0; i < n; ++i) {
        const mbm::MbmBitmap& b = (*bitmaps)[i];
        const SlotExpectation& e = catalogue[i];
        const QString where = QStringLiteral("%1 #%2 (%3)").arg(themeFile).arg(i).arg(e.slot);
        if ((e.width && b.header.width != e.width) || (e.height && b.header.height != e.height))
            out << QStringLiteral("%1: %2 x %3, the slot is %4 x %5")
                       .arg(where)
                       .arg(b.header.width)
                       .arg(b.header.height)
                       .arg(e.width)
                       .arg(e.height);
        if (!e.prefix.isEmpty() && prefixOf(b.mode()) != e.prefix)
            out << QStringLiteral("%1: stored as %2, the slot is packed as %3").arg(where, prefixOf(b.mode()), e.prefix);
    }
    return out;
}

Result<PackageCheck> CheckPackage(ByteSpan sis)
{
    auto read = sis::readSis(sis);
    if (!read)
        return fail(read.error());
    const sis::SisPackage& package = *read;
    PackageCheck check;
    if (!package.uidChecksumOk)
        check.problems << QStringLiteral("the UID checksum (UID4) is wrong");
    if (!package.checksumOk)
        check.problems << QStringLiteral("the header checksum is wrong (stored 0x%1, computed 0x%2)")
                              .arg(package.checksum, 4, 16, QLatin1Char('0'))
                              .arg(package.computedChecksum, 4, 16, QLatin1Char('0'));
    for (const std::string& p : package.problems)
        check.problems << QString::fromStdString(p);

    std::vector<std::optional<Bytes>> themeData(std::size(kThemeFiles));
    for (const sis::SisRecord& r : package.records) {
        if (r.type != sis::kRecordFile && r.type != sis::kRecordMultiLanguage)
            continue;
        const QString name = text(sis::outputName(r));
        if (!r.damage.empty()) {
            check.files << QStringLiteral("%1 -> %2 (damaged)").arg(text(r.source), text(r.destination));
            check.problems << name + QStringLiteral(": ") + QString::fromStdString(r.damage);
            continue;
        }
        std::optional<Bytes> first;
        std::size_t size = 0;
        for (const sis::DataBlock& block : r.blocks) {
            auto data = sis::readData(sis, package, block);
            if (!data) {
                check.problems << name + QStringLiteral(": ") + QString::fromStdString(data.error());
                continue;
            }
            size = data->size();
            if (!first)
                first = std::move(*data);
        }
        check.files << QStringLiteral("%1 -> %2 (%3 bytes)")
                           .arg(text(r.source), r.destination.empty() ? QStringLiteral("(shown)") : text(r.destination))
                           .arg(size);
        for (std::size_t t = 0; t < std::size(kThemeFiles); ++t)
            if (name.compare(kThemeFiles[t], Qt::CaseInsensitive) == 0 && first && !themeData[t])
                themeData[t] = first;
    }
    for (std::size_t t = 0; t < std::size(kThemeFiles); ++t) {
        if (!themeData[t]) {
            check.problems << QStringLiteral("the package holds no readable ") + kThemeFiles[t];
            continue;
        }
        check.problems << checkThemeFile(kThemeFiles[t], *themeData[t]);
    }
    return check;
}

std::optional<Bytes> packageFileData(ByteSpan sis, const QString& name)
{
    auto read = sis::readSis(sis);
    if (!read)
        return std::nullopt;
    for (const sis::SisRecord& r : read->records) {
        if ((r.type != sis::kRecordFile && r.type != sis::kRecordMultiLanguage) || r.blocks.empty() || !r.damage.empty())
            continue;
        if (text(sis::outputName(r)).compare(name, Qt::CaseInsensitive) != 0)
            continue;
        auto data = sis::readData(sis, *read, r.blocks.front());
        if (data)
            return std::move(*data);
    }
    return std::nullopt;
}

} // namespace kastra

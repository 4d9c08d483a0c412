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

QString text(const std::u16string& s)
{
    return QString::fromStdU16String(s);
}

} // namespace

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
    // Records may share a block: it is inflated once, and the package's
    // blocks together no further than the reader's cap.
    sis::PackageData blocks(sis, package);
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
            auto data = blocks.read(block);
            if (!data) {
                check.problems << name + QStringLiteral(": ") + QString::fromStdString(data.error());
                continue;
            }
            size = data->size();
            if (!first)
                first = Bytes(data->begin(), data->end());
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

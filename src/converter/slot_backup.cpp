#include "converter/slot_backup.h"

#include "base/safe_file.h"
#include "mbm/mbm.h"
#include "platform/fileops.h"
#include "workspace/slots.h"

#include <algorithm>

namespace kastra {

QStringList SlotsUnpackChanges(const Workspace& ws, ByteSpan mbm, const QStringList& names)
{
    const auto index = mbm::readIndex(mbm);
    if (!index)
        return names;
    QStringList changing;
    const qsizetype count = std::min<qsizetype>(names.size(), static_cast<qsizetype>(index->size()));
    for (qsizetype i = 0; i < count; ++i) {
        const auto bitmap = mbm::readBitmap(mbm, (*index)[static_cast<std::size_t>(i)]);
        if (!bitmap || !ws.holds(names[i], mbm::encodeUnpackedBmp(*bitmap)))
            changing << names[i];
    }
    return changing;
}

SlotBackup::SlotBackup(const Workspace& ws, QStringList names, Keep keep) : m_ws(ws), m_keep(keep)
{
    m_entries.reserve(static_cast<std::size_t>(names.size()));
    for (const QString& name : names) {
        // "Avkon\445.bmp" is kept as "LoadBackup\Avkon_445.bmp": one flat
        // folder.
        QString flat = name;
        flat.replace(u'\\', u'_');
        m_entries.push_back({name, QLatin1String(LoadBackupFolder) + u'\\' + flat, false});
    }
}

SlotBackup::~SlotBackup()
{
    if (!m_done)
        discard();
}

bool SlotBackup::save()
{
    // Copies left by a load that was cut short are of no use any more; a
    // link planted under the folder's name goes as a name.
    clearFolder();
    // A load that changes no slot keeps nothing, and needs no folder.
    if (m_entries.empty())
        return true;
    if (!m_ws.makeFolder(QLatin1String(LoadBackupFolder)))
        return false;
    // No slot is larger than the screen; far above any picture of one.
    constexpr std::uintmax_t kMaxSlotBytes = 16u * 1024 * 1024;
    for (Entry& e : m_entries) {
        e.existed = m_ws.hasFile(e.slot);
        if (!e.existed)
            continue;
        if (m_keep == Keep::SecondNames && m_ws.link(e.slot, e.copy))
            continue;
        const auto bytes = m_ws.read(e.slot, kMaxSlotBytes);
        if (!bytes || !m_ws.write(e.copy, *bytes)) {
            discard();
            return false;
        }
    }
    return true;
}

void SlotBackup::restore()
{
    for (const Entry& e : m_entries) {
        // Atomic: old content or new, never a mix. A slot the converter did
        // not replace is still the kept file itself under a second name; the
        // rename leaves both names then, and discard() drops the kept one.
        if (e.existed)
            (void)m_ws.rename(e.copy, e.slot);
        else if (m_ws.hasFile(e.slot))
            (void)m_ws.remove(e.slot);
    }
    discard();
}

void SlotBackup::discard()
{
    m_done = true;
    clearFolder();
}

void SlotBackup::clearFolder()
{
    ClearFolder(m_ws.root() + QLatin1String(LoadBackupFolder) + u'/');
}

} // namespace kastra

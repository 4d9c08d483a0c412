#include "converter/slot_backup.h"

#include "base/safe_file.h"
#include "mbm/mbm.h"
#include "platform/fileops.h"
#include "workspace/slots.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace kastra {

namespace fs = std::filesystem;

namespace {

// A plain file, not followed through a link.
bool isPlainFile(const fs::path& p)
{
    std::error_code ec;
    return fs::is_regular_file(fs::symlink_status(p, ec));
}

} // namespace

QStringList SlotsUnpackChanges(const Workspace& ws, ByteSpan mbm, const QStringList& names)
{
    const auto index = mbm::readIndex(mbm);
    if (!index)
        return names;
    QStringList changing;
    const qsizetype count = std::min<qsizetype>(names.size(), static_cast<qsizetype>(index->size()));
    for (qsizetype i = 0; i < count; ++i) {
        const auto bitmap = mbm::readBitmap(mbm, (*index)[static_cast<std::size_t>(i)]);
        if (!bitmap || !holdsExactly(fsPath(slotPath(ws.root, names[i])), mbm::encodeUnpackedBmp(*bitmap)))
            changing << names[i];
    }
    return changing;
}

SlotBackup::SlotBackup(const Workspace& ws, QStringList names, Keep keep)
    : m_folder(ws.root + QLatin1String(LoadBackupFolder) + u'/'), m_keep(keep)
{
    m_entries.reserve(static_cast<std::size_t>(names.size()));
    for (const QString& name : names) {
        // "Avkon\445.bmp" is kept as "Avkon_445.bmp": one flat folder.
        QString flat = name;
        flat.replace(u'\\', u'_');
        m_entries.push_back({slotPath(ws.root, name), m_folder + flat, false});
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
    ClearFolder(m_folder);
    // A load that changes no slot keeps nothing, and needs no folder.
    if (m_entries.empty())
        return true;
    if (!CreateFolder(m_folder, false))
        return false;
    for (Entry& e : m_entries) {
        const fs::path slot = fsPath(e.slot);
        e.existed = isPlainFile(slot);
        if (!e.existed)
            continue;
        if (m_keep == Keep::SecondNames && linkFile(slot, fsPath(e.copy)))
            continue;
        if (!CopyFileOver(e.slot, e.copy)) {
            discard();
            return false;
        }
    }
    return true;
}

void SlotBackup::restore()
{
    for (const Entry& e : m_entries) {
        std::error_code ec;
        // Atomic: old content or new, never a mix. A slot the converter did
        // not replace is still the kept file itself under a second name; the
        // rename leaves both names then, and discard() drops the kept one.
        if (e.existed)
            fs::rename(fsPath(e.copy), fsPath(e.slot), ec);
        else if (isPlainFile(fsPath(e.slot)))
            fs::remove(fsPath(e.slot), ec);
    }
    discard();
}

void SlotBackup::discard()
{
    m_done = true;
    ClearFolder(m_folder);
}

} // namespace kastra

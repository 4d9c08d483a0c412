#include "preview/slot_watcher.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <filesystem>
#include <utility>

namespace kastra {

namespace {

// FNV-1a, 64 bits, fed in chunks so no file is ever held whole.
class Fnv1a {
public:
    void add(const char* data, qint64 size)
    {
        for (qint64 i = 0; i < size; ++i) {
            m_h ^= static_cast<unsigned char>(data[i]);
            m_h *= 0x100000001b3ull;
        }
    }
    std::uint64_t value() const { return m_h; }

private:
    std::uint64_t m_h = 0xcbf29ce484222325ull;
};

QString folderOf(const QString& path)
{
    return path.left(path.lastIndexOf(u'/'));
}

} // namespace

SlotWatcher::SlotWatcher(const QString& root, int debounceMs, QObject* parent)
    : QObject(parent), m_debounceMs(debounceMs)
{
    m_root = QDir::cleanPath(root);
    m_folders << m_root << m_root + QStringLiteral("/Avkon") << m_root + QStringLiteral("/Signal")
              << m_root + QStringLiteral("/Menu");
    m_debounce.setSingleShot(true);
    m_debounce.setInterval(debounceMs);
    connect(&m_debounce, &QTimer::timeout, this, [this] { checkNow(); });
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &SlotWatcher::onPathChanged);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &SlotWatcher::onPathChanged);
}

void SlotWatcher::start()
{
    stop();
    m_active = true;
    watchFolders();
    for (const QString& folder : std::as_const(m_folders))
        for (const QString& file : slotFilesIn(folder)) {
            Fingerprint f;
            if (fingerprint(file, nullptr, true, f))
                m_known.insert(file, f);
            rewatch(file);
        }
}

void SlotWatcher::stop()
{
    m_active = false;
    m_debounce.stop();
    if (!m_watcher.files().isEmpty())
        m_watcher.removePaths(m_watcher.files());
    if (!m_watcher.directories().isEmpty())
        m_watcher.removePaths(m_watcher.directories());
    m_known.clear();
    m_pendingFiles.clear();
    m_pendingFolders.clear();
}

void SlotWatcher::absorb(const QStringList& paths)
{
    if (!m_active)
        return;
    for (const QString& p : paths) {
        const QString path = QDir::cleanPath(p);
        if (!isSlotFile(path))
            continue;
        refresh(path, true);
        m_pendingFiles.remove(path);
        rewatch(path);
    }
}

void SlotWatcher::onPathChanged(const QString& path)
{
    if (!m_active)
        return;
    const QString clean = QDir::cleanPath(path);
    if (isWatchedFolder(clean))
        m_pendingFolders.insert(clean);
    else if (isSlotFile(clean))
        m_pendingFiles.insert(clean);
    else
        return;
    // Restart the wait with every notification of a burst, but not forever.
    if (!m_debounce.isActive())
        m_firstPending.start();
    if (!m_debounce.isActive() || m_firstPending.elapsed() < 10 * m_debounceMs)
        m_debounce.start();
}

bool SlotWatcher::checkNow()
{
    m_debounce.stop();
    if (!m_active)
        return false;
    QStringList changed;

    QSet<QString> folders = std::exchange(m_pendingFolders, {});
    const QSet<QString> files = std::exchange(m_pendingFiles, {});
    // A slot folder made after start: its files are new to the record.
    if (folders.contains(m_root))
        for (const QString& folder : watchFolders())
            folders.insert(folder);

    // A changed folder: files added, removed or renamed over. Its files are
    // compared by size and time first; only those that differ are read.
    for (const QString& folder : folders) {
        QSet<QString> candidates;
        for (const QString& file : slotFilesIn(folder))
            candidates.insert(file);
        for (auto it = m_known.cbegin(); it != m_known.cend(); ++it)
            if (folderOf(it.key()) == folder)
                candidates.insert(it.key());
        for (const QString& file : std::as_const(candidates)) {
            if (files.contains(file))
                continue;
            const Outcome o = refresh(file, false);
            if (o.changed)
                changed << file;
            if (o.touched)
                rewatch(file);
        }
    }
    // A changed file is read whatever its time says: two saves within one
    // tick of the file system's clock can leave the time as it was.
    for (const QString& file : files) {
        if (refresh(file, true).changed)
            changed << file;
        rewatch(file);
    }

    if (!changed.isEmpty())
        emit slotsChanged(changed);
    return !changed.isEmpty();
}

bool SlotWatcher::isSlotFile(const QString& path) const
{
    return path.endsWith(QStringLiteral(".bmp"), Qt::CaseInsensitive) && isWatchedFolder(folderOf(path));
}

bool SlotWatcher::isWatchedFolder(const QString& folder) const
{
    return m_folders.contains(folder);
}

QStringList SlotWatcher::slotFilesIn(const QString& folder) const
{
    QStringList files;
    const QDir dir(folder);
    if (!dir.exists())
        return files;
    // Letter case of the extension is free, as on Windows.
    const QStringList all = dir.entryList(QDir::Files);
    for (const QString& name : all)
        if (name.endsWith(QStringLiteral(".bmp"), Qt::CaseInsensitive))
            files << folder + u'/' + name;
    return files;
}

bool SlotWatcher::fingerprint(const QString& path, const Fingerprint* known, bool forceHash, Fingerprint& out) const
{
    std::error_code ec;
    const std::filesystem::path p(QFile::encodeName(path).toStdString());
    const auto size = std::filesystem::file_size(p, ec);
    if (ec)
        return false;
    const auto time = std::filesystem::last_write_time(p, ec);
    if (ec)
        return false;
    out.size = static_cast<std::int64_t>(size);
    out.mtimeNs = std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
    if (!forceHash && known && known->size == out.size && known->mtimeNs == out.mtimeNs) {
        out.hash = known->hash;
        return true;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    Fnv1a h;
    char buffer[65536];
    qint64 total = 0;
    for (qint64 n; (n = file.read(buffer, sizeof buffer)) > 0;) {
        h.add(buffer, n);
        total += n;
    }
    // The size read wins over the size seen, should the file be mid-write.
    out.size = total;
    out.hash = h.value();
    return true;
}

SlotWatcher::Outcome SlotWatcher::refresh(const QString& path, bool forceHash)
{
    const auto it = m_known.constFind(path);
    const Fingerprint* known = it == m_known.cend() ? nullptr : &*it;
    Fingerprint now;
    if (!fingerprint(path, known, forceHash, now)) {
        // Gone (or unreadable): a change only if it was there before.
        const bool was = m_known.remove(path) > 0;
        return {was, was};
    }
    Outcome o;
    o.changed = !known || known->size != now.size || known->hash != now.hash;
    o.touched = !known || known->size != now.size || known->mtimeNs != now.mtimeNs;
    m_known.insert(path, now);
    return o;
}

void SlotWatcher::rewatch(const QString& path)
{
    // A file replaced by a rename is a new file: the watch on the old one
    // is gone or going, so it is set again on what the name holds now.
    m_watcher.removePath(path);
    if (QFileInfo::exists(path))
        m_watcher.addPath(path);
}

QStringList SlotWatcher::watchFolders()
{
    QStringList added;
    const QStringList watched = m_watcher.directories();
    for (const QString& folder : std::as_const(m_folders))
        if (!watched.contains(folder) && QFileInfo(folder).isDir() && m_watcher.addPath(folder))
            added << folder;
    return added;
}

} // namespace kastra

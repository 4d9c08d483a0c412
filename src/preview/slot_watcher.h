#pragma once
// Live refresh: tells the window when an outside program changed a slot
// file, so the previews follow an editor's save without waiting for the
// window to be repainted.
//
// The workspace root and its Avkon\, Signal\ and Menu\ folders are watched,
// and every slot file (*.bmp) in them. An editor that saves by writing a new
// file and renaming it over the old one replaces the watched file; the
// folder's change catches that, and the new file is watched again.
//
// Notifications only say that something happened, so each is checked
// against a record of every slot file (size, modification time and a hash of
// its bytes): a file rewritten with the bytes it already had is no change.
// The program's own writes are handed to absorb(), which records them
// without a signal. Together these keep the watcher quiet when nothing
// changed, so the painters, which rewrite slot files themselves, cannot
// drive a loop of refreshes.

#include <QElapsedTimer>
#include <QFileSystemWatcher>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <cstdint>

namespace kastra {

class SlotWatcher final : public QObject {
    Q_OBJECT
public:
    // root: the workspace root, ending with a separator. debounceMs: how long
    // a burst of notifications is collected before the files are checked
    // (an editor's save is several file operations); checks are never put
    // off by more than ten times that under a steady stream.
    explicit SlotWatcher(const QString& root, int debounceMs = 150, QObject* parent = nullptr);

    // Records the slot files as they are now and starts watching. Call when
    // the workspace has been prepared; calling again starts afresh.
    void start();
    // Stops watching and forgets the record. Call before the workspace is
    // torn down, or its removal is reported as a change of every slot.
    void stop();
    bool active() const { return m_active; }

    // The program wrote (or may have written) these files itself: record
    // them as they are now, without a signal. Full paths; files outside the
    // watched folders are ignored.
    void absorb(const QStringList& paths);

    // Checks the pending notifications now instead of after the debounce.
    // Returns whether a change was found (slotsChanged was then emitted).
    bool checkNow();

signals:
    // A slot file was created, changed or removed by someone else. One
    // signal for any number of files changed in one burst; changed lists
    // them (full paths).
    void slotsChanged(const QStringList& changed);

private:
    struct Fingerprint {
        std::int64_t size = -1;
        std::int64_t mtimeNs = 0;
        std::uint64_t hash = 0;
    };

    void onPathChanged(const QString& path);
    bool isSlotFile(const QString& path) const;
    bool isWatchedFolder(const QString& folder) const;
    QStringList slotFilesIn(const QString& folder) const;
    // Current fingerprint; hashed only when size or time differ from known
    // (or always, with forceHash). Nothing for a file that is not there.
    bool fingerprint(const QString& path, const Fingerprint* known, bool forceHash, Fingerprint& out) const;
    struct Outcome {
        bool changed = false;   // bytes differ from the record, or it came or went
        bool touched = false;   // size or time differ: possibly a new file under the name
    };
    // Compares one file with the record and updates the record.
    Outcome refresh(const QString& path, bool forceHash);
    void rewatch(const QString& path);
    // Starts watching the folders that exist and are not watched yet;
    // returns those.
    QStringList watchFolders();

    QString m_root;
    QStringList m_folders;                 // root and the three slot folders, with separators
    QFileSystemWatcher m_watcher;
    QTimer m_debounce;
    QElapsedTimer m_firstPending;
    int m_debounceMs;
    bool m_active = false;
    QHash<QString, Fingerprint> m_known;   // by full path
    QSet<QString> m_pendingFiles;
    QSet<QString> m_pendingFolders;
};

} // namespace kastra

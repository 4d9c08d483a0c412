#pragma once
// Undo and redo for the theme workspace.
//
// The theme exists only as files, so a step is a set of files before and
// after a change. The history keeps the last bytes it knows of every tracked
// file (the baseline, about 4 MB for a whole workspace) in memory: an outside
// editor's save is only noticed after it happened, and without the bytes the
// file had before there would be nothing to undo it to. The steps themselves
// are kept on disk, one file per step, so that a long session of picture
// imports costs disk rather than memory. They lie in History/ below the
// workspace root, outside the folders the slot watcher watches (the root's own
// *.bmp, Avkon/, Signal/, Menu/), so writing a step is never reported as a
// change of the theme; the tear-down removes the folder with the workspace.
//
// Tracked files: every *.bmp directly in the root, in Avkon/, Signal/ and
// Menu/, and the font and .aif files in SIS/ (userPackageFiles: a loaded one
// comes back with an undo too; the rest of SIS/ is the build's own work).
// Names starting with a dot (the temporaries of an atomic write), pictures
// over MaxSlotBytes, font and .aif files over MaxPackageFileBytes, and any file
// that would take the baseline over MaxBaselineBytes are not tracked: an
// outside program may write any number of files of any size into the
// workspace, and the history's memory and its step files stay bounded.
//
// Bounds: the baseline holds at most MaxBaselineBytes; a step holds the
// bytes before and after of files the baseline held, so it is never larger
// than twice that, which is less than the 64 MB the step files may take on
// disk together. The oldest steps go first when a new one would pass it.
//
// Used on the GUI thread only. No call throws; failures come back as values.

#include "base/result.h"
#include "workspace/workspace.h"

#include <QByteArray>
#include <QChar>
#include <QHash>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

namespace kastra {

// What goes with the files of a step and comes back with an undo: the scheme
// number and whether its radio button is checked, the strip-edited flag,
// "Снизу" and whether a font is loaded (its label). Opaque to the history, but for the scheme, which must be '1' to '4'
// (a step file that says otherwise is damaged).
struct HistoryFlags {
    QChar scheme = u'1';
    bool stripEdited = false;
    bool stripBottom = false;
    bool fontLoaded = false;
    bool schemeChosen = false;   // a scheme's radio button is checked

    friend bool operator==(const HistoryFlags&, const HistoryFlags&) = default;
};

// What an undo or redo did: the flags on either side of the step. The files
// it wrote or deleted are in the workspace's journal.
struct HistoryApplied {
    HistoryFlags flags;   // the side the step now reached
    HistoryFlags left;    // the side it left
    // The flags to set, from those of now: only a flag the step changed
    // takes the step's value; one changed between steps (a tick that is no
    // step of its own) stays as it is.
    HistoryFlags restore(const HistoryFlags& now) const;
};

struct StepChange;
struct StepContents;

class History {
public:
    static constexpr qint64 DefaultLimitBytes = 64LL * 1024 * 1024;
    // The largest picture a slot can hold: no slot is larger than the screen,
    // 176 x 220, and a paint program saves that at most at 32 bits per pixel
    // with a V5 header and colour masks, 155 018 bytes. A larger *.bmp is no
    // slot picture and is left out.
    static constexpr qint64 MaxSlotBytes = 256LL * 1024;
    // The font and .aif files: as much as their loaders take.
    static constexpr qint64 MaxPackageFileBytes = 16LL * 1024 * 1024;
    // What the baseline holds in memory, each file counted with
    // BaselineEntryBytes more for its name and a step's framing of it. A whole
    // workspace is about 4 MB, with the largest font the loader takes 20 MB;
    // twice this (a step's before and after) stays under DefaultLimitBytes.
    static constexpr qint64 MaxBaselineBytes = 31LL * 1024 * 1024;
    static constexpr qint64 BaselineEntryBytes = 1024;
    // The most a tracked file of this name may hold (relative, with '/').
    static qint64 maxBytesOf(const QString& relative);
    // The folder below the root that holds the step files.
    static constexpr char FolderName[] = "History";

    // Every file is read and written through ws, which must outlive the
    // history. limitBytes bounds the sum of the step files on disk.
    explicit History(const Workspace& ws, qint64 limitBytes = DefaultLimitBytes);

    // Takes every tracked file as it is now as the baseline and empties the
    // history (its folder included). Call when the workspace is prepared.
    void start();

    // The program wrote these files itself and they are not a step: the
    // baseline takes them as they are now. Full paths; untracked ones are
    // ignored.
    void absorb(const QStringList& paths);
    // The painters wrote these (masks, strips, default banners): derived
    // from the step just recorded, they join it, so that its undo leaves the
    // workspace byte for byte as before (a strip derived for a scheme just
    // chosen goes with the choice). After an undo or redo they are only
    // absorbed.
    void amend(const QStringList& paths);

    // One step for the listed files (full paths) whose bytes differ from the
    // baseline, created and deleted ones included, with the flags before and
    // after. No step when no file differs and the flags are equal. Drops the
    // steps that could be redone, and the oldest ones while the step files
    // would pass the limit. Returns whether a step was recorded; false also
    // when the step could not be written or is larger than the limit by itself
    // (error() says why): the change stands, the history is emptied then,
    // since steps before a missing one would restore the wrong bytes.
    bool record(const QStringList& paths, const HistoryFlags& before, const HistoryFlags& after);

    // The same for whatever an outside program changed, created or deleted:
    // every tracked file is compared with the baseline. Flags do not change.
    bool recordOutside(const HistoryFlags& flags);

    bool canUndo() const { return m_cursor > 0; }
    bool canRedo() const { return m_cursor < m_steps.size(); }

    // Puts the files of the last step back as they were before it (or, redo,
    // after it), byte for byte; every file is written beside its target and
    // renamed into place only when all were written, so a failure leaves the
    // workspace as it was and the step where it was. An outside change not yet
    // recorded is recorded first, so undo takes it back rather than losing it
    // (and it drops the redo steps, as any new change does).
    // Fails when there is nothing to undo (redo), when a step file is damaged
    // (that step and those beyond it are dropped: they cannot be reached any
    // more) or when a file cannot be written.
    Result<HistoryApplied> undo();
    Result<HistoryApplied> redo();

    // The bytes of all step files, and their number.
    qint64 storedBytes() const { return m_storedBytes; }
    // What the baseline holds, as counted against MaxBaselineBytes.
    qint64 baselineBytes() const { return m_baselineBytes; }
    int stepCount() const { return static_cast<int>(m_steps.size()); }
    // Why the last record() failed; empty after one that did not.
    const QString& error() const { return m_error; }
    // The step file of step i (0 = oldest), for tests that damage one.
    QString stepFilePath(int i) const;

private:
    struct StepFile {
        QString name;       // below the history folder
        qint64 bytes = 0;
    };

    bool tracked(const QString& relative) const;
    QString relativeOf(const QString& fullPath) const;
    // The tracked ones of the full paths, relative.
    QStringList relativesOf(const QStringList& paths) const;
    QStringList trackedOnDisk() const;
    // Every tracked file there is, and every one the baseline knows.
    QStringList everyTracked() const;
    bool recordRelative(const QStringList& relative, const HistoryFlags& before, const HistoryFlags& after);
    std::vector<StepChange> collect(const QStringList& relative);
    // Writes the step's file under file.name (not among m_steps) and counts
    // its bytes, first dropping the oldest steps while the files would pass
    // the limit; on failure, or for a step larger than the limit, sets m_error
    // and empties the history.
    bool writeStep(StepFile& file, const StepContents& step);
    std::optional<StepContents> readStep(const StepFile& file) const;
    // Sets the baseline's bytes of relative; false, changing nothing, when
    // they would take it over MaxBaselineBytes, unless evenOverBound.
    bool keep(const QString& relative, const std::optional<QByteArray>& bytes, bool evenOverBound = false);
    Result<HistoryApplied> apply(bool undo);
    void dropRedo();
    void dropOldest();
    void clearSteps();
    void removeStepFile(const StepFile& step);

    const Workspace& m_ws;
    QString m_root;
    QString m_folder;   // m_root + "History/"
    qint64 m_limit;
    // Last known bytes of every tracked file that exists, by relative path
    // with '/' ("Avkon/445.bmp").
    QHash<QString, QByteArray> m_baseline;
    qint64 m_baselineBytes = 0;
    std::vector<StepFile> m_steps;
    std::size_t m_cursor = 0;   // steps before it are done, from it on undone
    // The last step was just recorded: what the painters derive from it
    // joins it (see amend).
    bool m_open = false;
    qint64 m_storedBytes = 0;
    quint64 m_serial = 0;
    QString m_error;
};

} // namespace kastra

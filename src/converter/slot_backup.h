#pragma once
// Keeps workspace files aside while a load unpacks over them, so that a
// converter that fails half way can be undone: the workspace ends up either
// wholly new or wholly as it was.

#include "base/bytes.h"
#include "workspace/workspace.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace kastra {

// The slots of names (relative to the root, in the MBM's order, as an unpack
// list gives them) that our bmconv replaces when it unpacks mbm: those whose
// file is not a regular file holding exactly the picture it writes. It
// leaves the others as they are, so a load need keep only these aside. A
// bitmap that cannot be read counts as changing, as do all names when the
// file's index cannot be read; names past the last bitmap are not written.
QStringList SlotsUnpackChanges(const Workspace& ws, ByteSpan mbm, const QStringList& names);

class SlotBackup {
public:
    // How the files are kept aside. A second name (a hard link) costs no
    // copy, but keeps the old bytes only while whatever runs meanwhile
    // replaces each file by a new one (our bmconv, which renames a new file
    // over each name) and never writes into the old one: a converter that
    // rewrites files in place would change the kept file with the slot.
    // Where the file system has no second names, a copy is made.
    enum class Keep { Copies, SecondNames };

    // names are relative to the root, as slot names ("Avkon\445.bmp").
    SlotBackup(const Workspace& ws, QStringList names, Keep keep = Keep::Copies);
    // Deletes the copies (see discard) unless restore() ran.
    ~SlotBackup();
    SlotBackup(const SlotBackup&) = delete;
    SlotBackup& operator=(const SlotBackup&) = delete;

    // Keeps every name that exists in root/LoadBackup/ and notes the ones
    // that do not. False when a copy could not be made; nothing in the
    // workspace has changed then.
    bool save();
    // Puts every saved file back and deletes the files that did not exist
    // before, then deletes the copies.
    void restore();
    // Deletes the copies and the backup folder.
    void discard();

private:
    struct Entry {
        QString slot;      // the workspace file
        QString copy;      // its copy in the backup folder, as a slot name
        bool existed = false;
    };
    void clearFolder();

    const Workspace& m_ws;
    std::vector<Entry> m_entries;
    Keep m_keep;
    bool m_done = false;
};

} // namespace kastra

#pragma once
// The file and folder operations the program needs, each a plain call that
// reports success and never throws. They go through base/safe_file.h: no
// write, copy or deletion here follows a link planted in a folder.

#include "base/bytes.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <filesystem>

namespace kastra {

// A QString path as a filesystem path in the local 8-bit file name encoding.
std::filesystem::path fsPath(const QString& path);

// Qt's bytes as the readers and writers of lib/ take them, and back.
inline ByteSpan byteSpan(const QByteArray& bytes)
{
    return ByteSpan(reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size()));
}
inline QByteArray toByteArray(ByteSpan bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

// Copies a regular file over the target through an exclusive temporary
// beside it and a rename: a failed copy leaves an existing target as it was,
// and a link under the target's name is replaced, not written through. A
// FIFO or device as the source is refused.
bool CopyFileOver(const QString& from, const QString& to);

// Puts back what a killed replacement of several files left half done in
// folder, and removes the temporaries of our own naming that a killed
// process left there (see recoverInterruptedWrites in base/safe_file.h).
// False when something there could not be recovered (a journal that is not
// ours is left alone).
bool RecoverInterruptedWrites(const QString& folder);

// Whether name matches a wildcard pattern of '*' and '?', letter case ignored.
bool WildcardMatch(QStringView pattern, QStringView name);

// Deletes every entry of folder that is not a folder and whose name matches
// the wildcard pattern ('*' and '?', letter case ignored as Windows does); a
// link is deleted as a name. Sub-folders are not entered, and a link in the
// folder's own place is not followed (nothing is deleted then). Stops at the
// first file that cannot be deleted; returns whether every match was deleted.
bool DeleteMatching(const QString& folder, const QString& pattern);

// Deletes the files of the named sub-folders and removes them, then deletes
// the folder's own files and removes it (see clearFolder in
// base/safe_file.h): a link or a file in the place of the folder or of a
// sub-folder is removed as a name and never followed; another sub-folder is
// left alone and keeps the folder. True when the folder is gone.
bool ClearFolder(const QString& folder, const QStringList& subFolders = {});

// Removes a file, or a link as a link; a folder under the name is refused.
// True when nothing of that name remains.
bool RemoveName(const QString& path);

// Removes a folder that is empty; false if it is not, or is missing.
bool RemoveEmptyFolder(const QString& folder);

// Creates a folder, with its missing parents when asked. An existing folder
// counts as success.
bool CreateFolder(const QString& folder, bool withParents);

// True for an existing plain file, false for a folder or nothing.
bool IsFile(const QString& path);

} // namespace kastra

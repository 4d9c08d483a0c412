#pragma once
// The file and folder operations the program needs, each a plain call that
// reports success and never throws.

#include <QString>

#include <filesystem>

namespace kastra {

// A QString path as a filesystem path in the local 8-bit file name encoding.
std::filesystem::path fsPath(const QString& path);

// Copies a file over the target (replaced atomically: a failed copy leaves an
// existing target as it was).
bool CopyFileOver(const QString& from, const QString& to);

// Whether name matches a wildcard pattern of '*' and '?', letter case ignored.
bool WildcardMatch(QStringView pattern, QStringView name);

// Deletes every plain file in folder whose name matches the wildcard pattern
// ('*' and '?', letter case ignored as Windows does); sub-folders are not
// entered. Stops at the first file that cannot be deleted; returns whether
// every match was deleted.
bool DeleteMatching(const QString& folder, const QString& pattern);

// Removes a folder that is empty; false if it is not, or is missing.
bool RemoveEmptyFolder(const QString& folder);

// Creates a folder, with its missing parents when asked. An existing folder
// counts as success.
bool CreateFolder(const QString& folder, bool withParents);

// True for an existing plain file, false for a folder or nothing.
bool IsFile(const QString& path);

} // namespace kastra

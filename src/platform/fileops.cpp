#include "platform/fileops.h"

#include "base/fileio.h"

#include <QFile>

#include <string>
#include <system_error>
#include <vector>

namespace kastra {

namespace fs = std::filesystem;

fs::path fsPath(const QString& path)
{
#ifdef _WIN32
    return fs::path(path.toStdWString());
#else
    return fs::path(QFile::encodeName(path).toStdString());
#endif
}

bool CopyFileOver(const QString& from, const QString& to)
{
    // Theme files, fonts and packages are at most a few MiB.
    constexpr std::uintmax_t kMaxCopyBytes = std::uintmax_t{1} << 30;
    return copyFileAtomic(fsPath(from), fsPath(to), kMaxCopyBytes).ok();
}

bool RecoverInterruptedWrites(const QString& folder)
{
    return recoverInterruptedWrites(fsPath(folder)).ok();
}

bool WildcardMatch(QStringView pattern, QStringView name)
{
    // Iterative matching with one back-tracking point for the last '*'.
    qsizetype p = 0, n = 0, star = -1, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            star = p++;
            resume = n;
        } else if (p < pattern.size()
                   && (pattern[p] == u'?' || pattern[p].toCaseFolded() == name[n].toCaseFolded())) {
            ++p;
            ++n;
        } else if (star >= 0) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

bool DeleteMatching(const QString& folder, const QString& pattern)
{
    return deleteFilesIn(fsPath(folder), [&pattern](const std::string& name) {
               return WildcardMatch(pattern, QFile::decodeName(QByteArray::fromStdString(name)));
           }).ok();
}

bool ClearFolder(const QString& folder, const QStringList& subFolders)
{
    std::vector<std::string> subs;
    for (const QString& sub : subFolders)
        subs.push_back(fsPath(sub).string());
    return clearFolder(fsPath(folder), subs).ok();
}

bool RemoveName(const QString& path)
{
    return removeName(fsPath(path)).ok();
}

bool RemoveEmptyFolder(const QString& folder)
{
    std::error_code ec;
    const fs::path p = fsPath(folder);
    if (!fs::is_directory(p, ec) || !fs::is_empty(p, ec))
        return false;
    return fs::remove(p, ec) && !ec;
}

bool CreateFolder(const QString& folder, bool withParents)
{
    std::error_code ec;
    const fs::path p = fsPath(folder);
    if (withParents)
        fs::create_directories(p, ec);
    else
        fs::create_directory(p, ec);
    // A link under the name is no folder of ours, wherever it points.
    return !ec && fs::is_directory(fs::symlink_status(p, ec));
}

bool IsFile(const QString& path)
{
    std::error_code ec;
    return fs::is_regular_file(fsPath(path), ec);
}

} // namespace kastra

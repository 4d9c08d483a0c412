#include "platform/fileops.h"

#include "base/fileio.h"

#include <QFile>

#include <system_error>

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
    std::error_code ec;
    const fs::path src = fsPath(from);
    if (!fs::is_regular_file(src, ec))
        return false;
    // Copy to a temporary name beside the target, then rename over it.
    fs::path tmp = fsPath(to);
    tmp += ".copy-tmp";
    fs::copy_file(src, tmp, fs::copy_options::overwrite_existing, ec);
    if (ec) {
        fs::remove(tmp, ec);
        return false;
    }
    fs::rename(tmp, fsPath(to), ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(tmp, ignored);
        return false;
    }
    return true;
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
    std::error_code ec;
    fs::directory_iterator it(fsPath(folder), ec);
    if (ec)
        return false;
    for (const fs::directory_entry& e : it) {
        std::error_code kindError;
        if (!e.is_regular_file(kindError) || e.is_symlink(kindError))
            continue;
        const QString name = QFile::decodeName(QByteArray::fromStdString(e.path().filename().string()));
        if (!WildcardMatch(pattern, name))
            continue;
        if (!fs::remove(e.path(), ec) || ec)
            return false;
    }
    return true;
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
    return !ec && fs::is_directory(p, ec);
}

bool IsFile(const QString& path)
{
    std::error_code ec;
    return fs::is_regular_file(fsPath(path), ec);
}

} // namespace kastra

#include "platform/folders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kastra {

QString WithSeparator(QString folder)
{
    if (!folder.endsWith(u'/') && !folder.endsWith(u'\\'))
        folder += u'/';
    return folder;
}

QString ProgramFolder()
{
    return WithSeparator(QCoreApplication::applicationDirPath());
}

QString WorkspaceRootFor(const QString& base)
{
    return WithSeparator(base) + QStringLiteral("Temp/WorkDir/");
}

Result<QString> PrepareWorkspaceBase(const QString& folder)
{
#ifdef _WIN32
    QDir().mkpath(folder);
    return WithSeparator(folder);
#else
    const QByteArray path = QFile::encodeName(folder);
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return fail("Cannot create " + folder.toStdString() + ": " + std::strerror(errno));
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0)
        return fail("Cannot examine " + folder.toStdString() + ": " + std::strerror(errno));
    if (!S_ISDIR(st.st_mode))
        return fail(folder.toStdString() + " is not a folder");
    if (st.st_uid != ::getuid())
        return fail(folder.toStdString() + " belongs to another user");
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0 && ::chmod(path.constData(), 0700) != 0)
        return fail(folder.toStdString() + " is writable by other users");
    return WithSeparator(folder);
#endif
}

Result<QString> WorkspaceBase()
{
#ifdef _WIN32
    wchar_t buffer[MAX_PATH];
    const UINT n = GetWindowsDirectoryW(buffer, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return fail("Cannot find the Windows folder");
    return WithSeparator(QString::fromWCharArray(buffer, static_cast<qsizetype>(n)));
#else
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(QFile::decodeName(runtime)))
        return PrepareWorkspaceBase(QFile::decodeName(runtime));
    return PrepareWorkspaceBase(QDir::tempPath() + QStringLiteral("/kastra-theme-") + QString::number(::getuid()));
#endif
}

} // namespace kastra

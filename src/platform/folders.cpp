#include "platform/folders.h"

#include "base/safe_file.h"
#include "platform/fileops.h"

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

namespace {

std::string utf8(const QString& s)
{
    return s.toStdString();
}

QString withoutSeparator(QString folder)
{
    while (folder.size() > 1 && (folder.endsWith(u'/') || folder.endsWith(u'\\')))
        folder.chop(1);
    return folder;
}

// Why a folder on the way to the workspace cannot be used, in words for the
// user; empty when it can.
QString refusal(FolderCheck check, const QString& folder)
{
    switch (check) {
    case FolderCheck::Ok:
        return {};
    case FolderCheck::Missing:
        return QStringLiteral("Не удалось создать папку %1.").arg(folder);
    case FolderCheck::Link:
        return QStringLiteral("Папка %1 является символической ссылкой. Рабочие файлы программы не записываются "
                              "по ссылке: удалите её и запустите программу снова.")
            .arg(folder);
    case FolderCheck::NotAFolder:
        return QStringLiteral("%1 не является папкой. Удалите этот файл и запустите программу снова.").arg(folder);
    case FolderCheck::NotOwned:
        return QStringLiteral("Папка %1 принадлежит другому пользователю, программа не будет записывать в неё "
                              "свои файлы.")
            .arg(folder);
    case FolderCheck::OpenToOthers:
        return QStringLiteral("Папка %1 доступна другим пользователям, программа не будет записывать в неё "
                              "свои файлы.")
            .arg(folder);
    }
    return {};
}

} // namespace

Result<WorkspaceBaseChoice> ChooseWorkspaceBase(const QString& runtimeFolder, const QString& tempFolder)
{
#ifdef _WIN32
    Q_UNUSED(tempFolder);
    QDir().mkpath(runtimeFolder);
    return WorkspaceBaseChoice{WithSeparator(runtimeFolder), false};
#else
    if (!runtimeFolder.isEmpty() && checkOwnFolder(fsPath(runtimeFolder), true) == FolderCheck::Ok)
        return WorkspaceBaseChoice{WithSeparator(runtimeFolder), false};
    const QString fixed = WithSeparator(tempFolder) + QStringLiteral("kastra-theme-") + QString::number(::getuid());
    if (makeOwnFolder(fsPath(fixed), true) == FolderCheck::Ok)
        return WorkspaceBaseChoice{WithSeparator(fixed), false};
    // The fixed name is someone else's (or a link, or open to others): a
    // fresh name of our own, which nobody can have taken ahead.
    QByteArray pattern = QFile::encodeName(fixed + QStringLiteral("-XXXXXX"));
    if (::mkdtemp(pattern.data()) == nullptr)
        return fail(utf8(QStringLiteral("Не удалось создать рабочую папку программы в %1: %2.")
                             .arg(tempFolder, QString::fromLocal8Bit(std::strerror(errno)))));
    return WorkspaceBaseChoice{WithSeparator(QFile::decodeName(pattern)), true};
#endif
}

Result<WorkspaceBaseChoice> WorkspaceBase()
{
#ifdef _WIN32
    wchar_t buffer[MAX_PATH];
    const UINT n = GetWindowsDirectoryW(buffer, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return fail("Cannot find the Windows folder");
    return ChooseWorkspaceBase(QString::fromWCharArray(buffer, static_cast<qsizetype>(n)), {});
#else
    QString runtime = QFile::decodeName(qgetenv("XDG_RUNTIME_DIR"));
    if (!QDir::isAbsolutePath(runtime))
        runtime.clear();
    return ChooseWorkspaceBase(withoutSeparator(runtime), withoutSeparator(QDir::tempPath()));
#endif
}

Result<QString> PrepareWorkspaceRoot(const QString& base)
{
    QString folder = WithSeparator(base);
    for (const QString& step : {QStringLiteral("Temp"), QStringLiteral("WorkDir")}) {
        folder += step;
        if (const QString why = refusal(makeOwnFolder(fsPath(folder), false), folder); !why.isEmpty())
            return fail(utf8(why));
        folder += u'/';
    }
    return folder;
}

} // namespace kastra

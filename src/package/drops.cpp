#include "package/drops.h"

#include <QDir>
#include <QFileInfo>

namespace kastra {

namespace {

// What may be dropped, as the second line of every refusal.
QString whatFits()
{
    return QStringLiteral("Перетащите в окно картинку (BMP, JPEG или PNG), тему (.sis), шрифт (.gdr) или файл темы: "
                          "EidPic.mbm, backgroundimage.mbm, Avkon.mbm, AvkonEx.mbm, menu_folders.mbm.");
}

DropTarget refused(const QString& path, const QString& text)
{
    return {DropKind::Refused, ThemeFile::EidPic, path, text};
}

DropTarget accepted(DropKind kind, const QString& path, ThemeFile file = ThemeFile::EidPic)
{
    return {kind, file, path, {}};
}

} // namespace

DropTarget ClassifyDrop(const QString& path)
{
    const QFileInfo info(path);
    const QString shown = QDir::toNativeSeparators(path);
    if (path.isEmpty())
        return refused(path, QStringLiteral("Перетащите в окно один файл с этого компьютера.\n") + whatFits());
    if (info.isDir())
        return refused(path, QStringLiteral("%1 — папка, а не файл.\n").arg(shown) + whatFits());
    if (!info.isFile())
        return refused(path, QStringLiteral("Файл %1 не найден.").arg(shown));

    const QString name = info.fileName();
    const auto endsWith = [&name](const char* suffix) {
        return name.endsWith(QLatin1String(suffix), Qt::CaseInsensitive);
    };
    if (endsWith(".bmp") || endsWith(".jpg") || endsWith(".jpeg") || endsWith(".png"))
        return accepted(DropKind::Picture, path);
    if (endsWith(".sis"))
        return accepted(DropKind::Theme, path);
    if (endsWith(".gdr"))
        return accepted(DropKind::Font, path);
    for (ThemeFile file :
         {ThemeFile::EidPic, ThemeFile::Background, ThemeFile::Avkon, ThemeFile::AvkonEx, ThemeFile::MenuFolders}) {
        if (name.compare(themeFileName(file), Qt::CaseInsensitive) == 0)
            return accepted(DropKind::ThemeFile, path, file);
    }
    if (endsWith(".aif"))
        return refused(path, QStringLiteral("Файл %1 нельзя загрузить перетаскиванием.\n"
                                            "Файлы .aif загружаются кнопками «Загр. veZozi» и «Загр. veZor» на "
                                            "странице «SIS».")
                                 .arg(shown));
    return refused(path, QStringLiteral("Файл %1 нельзя загрузить в программу.\n").arg(shown) + whatFits());
}

DropTarget ClassifyDrop(const QList<QUrl>& urls)
{
    if (urls.size() > 1)
        return refused({}, QStringLiteral("Перетащите в окно только один файл.\n") + whatFits());
    if (urls.isEmpty() || !urls.front().isLocalFile())
        return ClassifyDrop(QString());
    return ClassifyDrop(urls.front().toLocalFile());
}

} // namespace kastra

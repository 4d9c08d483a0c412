#include "package/loaders.h"

#include "handset/aif.h"
#include "base/fileio.h"
#include "platform/fileops.h"
#include "handset/gdr.h"
#include "workspace/slots.h"

namespace kastra {

namespace {

// Handset fonts and application files are tens of KiB; a file far larger is
// refused before it is read.
constexpr std::uintmax_t kMaxLoadedBytes = 16u * 1024 * 1024;

} // namespace

QString loadedFileName(LoadedFile kind)
{
    switch (kind) {
    case LoadedFile::Font:
        return QStringLiteral("kde.gdr");
    case LoadedFile::MenuAif:
        return QStringLiteral("veZozi.aif");
    case LoadedFile::AppAif:
        return QStringLiteral("veZorCtrl.aif");
    }
    return {};
}

Outcome LoadPackageFile(const Workspace& ws, LoadedFile kind, const QString& chosenPath)
{
    const bool font = kind == LoadedFile::Font;
    const auto bytes = readFile(fsPath(chosenPath), kMaxLoadedBytes);
    QString why;
    if (!bytes) {
        why = QString::fromStdString(bytes.error());
    } else if (font) {
        if (const auto store = gdr::readFontStore(*bytes); !store)
            why = QString::fromStdString(store.error());
    } else if (const auto info = aif::readAif(*bytes); !info) {
        why = QString::fromStdString(info.error());
    }
    if (!why.isEmpty()) {
        const QString text = font ? QStringLiteral("Файл не является шрифтом (.gdr):\n%1\nШрифт не загружен.")
                                  : QStringLiteral("Файл не является файлом приложения (.aif):\n%1\nФайл не загружен.");
        return WarningOutcome(text.arg(chosenPath), chosenPath + QStringLiteral(" is not ")
                                                        + (font ? QStringLiteral("a font store") : QStringLiteral("an application information file"))
                                                        + QStringLiteral(": ") + why);
    }

    const QString packageFolder = slotPath(ws.root, QStringLiteral("SIS"));
    const QString target = slotPath(ws.root, QStringLiteral("SIS\\") + loadedFileName(kind));
    // The bytes that were checked are the ones written: the chosen file may
    // change meanwhile.
    if (!CreateFolder(packageFolder, false) || !writeFileAtomic(fsPath(target), *bytes)) {
        const QString text = font ? QStringLiteral("Не удалось скопировать шрифт в папку пакета.\nШрифт не загружен.")
                                  : QStringLiteral("Не удалось скопировать файл в папку пакета.\nФайл не загружен.");
        return WarningOutcome(text, QStringLiteral("cannot copy ") + chosenPath + QStringLiteral(" to ") + target);
    }
    Outcome out = Done({target});
    out.note = chosenPath + QStringLiteral(" loaded as ") + loadedFileName(kind);
    return out;
}

} // namespace kastra

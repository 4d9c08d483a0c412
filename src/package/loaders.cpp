#include "package/loaders.h"

#include "handset/aif.h"
#include "base/fileio.h"
#include "platform/fileops.h"
#include "handset/gdr.h"
#include "workspace/payloads.h"
#include "workspace/slots.h"

#include <optional>

namespace kastra {

namespace {

// Handset fonts and application files are tens of KiB; a file far larger is
// refused before it is read.
constexpr std::uintmax_t kMaxLoadedBytes = 16u * 1024 * 1024;

// The application each .aif belongs to, by the payload of its image and the
// name the person knows it by.
struct AifOwner {
    Payload appPayload;
    const char* name;
    const char* button;
};
AifOwner ownerOf(LoadedFile kind)
{
    return kind == LoadedFile::MenuAif ? AifOwner{Payload::MenuApp, "veZozi", "Загр. veZozi"}
                                       : AifOwner{Payload::AppApp, "veZorCtrl", "Загр. veZor"};
}

QString hexUid(std::uint32_t uid)
{
    return QStringLiteral("0x") + QStringLiteral("%1").arg(uid, 8, 16, QLatin1Char('0')).toUpper();
}

// The refusal of an .aif of application uid that is not the one kind's
// button loads, or nothing when it is. The package installs the application
// images the build writes (an override in the program folder included), so
// their UIDs are the ones expected; an image that cannot be read leaves
// nothing to check.
std::optional<Outcome> wrongApplication(const Workspace& ws, LoadedFile kind, std::uint32_t uid,
                                        const QString& chosenPath)
{
    const auto uidOf = [&](LoadedFile k) -> std::optional<std::uint32_t> {
        const auto image = payloadBytes(ownerOf(k).appPayload, ws.programFolder());
        if (!image)
            return std::nullopt;
        const auto found = aif::applicationUid(byteSpan(*image));
        return found ? std::optional<std::uint32_t>(*found) : std::nullopt;
    };
    const std::optional<std::uint32_t> expected = uidOf(kind);
    if (!expected || *expected == uid)
        return std::nullopt;
    const AifOwner want = ownerOf(kind);
    const LoadedFile otherKind = kind == LoadedFile::MenuAif ? LoadedFile::AppAif : LoadedFile::MenuAif;
    const AifOwner other = ownerOf(otherKind);
    const bool others = uidOf(otherKind) == uid;
    const QString owner = others ? QString::fromLatin1(other.name) : QStringLiteral("another application");
    const QString note = QStringLiteral("%1 belongs to %2 (UID %3), not to %4 (UID %5)")
                             .arg(chosenPath, owner, hexUid(uid), QString::fromLatin1(want.name), hexUid(*expected));
    if (others) {
        return WarningOutcome(
            QStringLiteral("Файл %1 относится к приложению %2 (UID %3), а кнопка «%4» загружает файл приложения "
                           "%5 (UID %6). Файлы приложения %2 загружает кнопка «%7».\nФайл не загружен.")
                .arg(chosenPath, QString::fromLatin1(other.name), hexUid(uid), QString::fromUtf8(want.button),
                     QString::fromLatin1(want.name), hexUid(*expected), QString::fromUtf8(other.button)),
            note);
    }
    return WarningOutcome(
        QStringLiteral("Файл %1 относится к другому приложению (UID %2), а кнопка «%3» загружает файл приложения "
                       "%4 (UID %5).\nФайл не загружен.")
            .arg(chosenPath, hexUid(uid), QString::fromUtf8(want.button), QString::fromLatin1(want.name),
                 hexUid(*expected)),
        note);
}

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
    } else if (auto wrong = wrongApplication(ws, kind, info->appUid, chosenPath)) {
        return std::move(*wrong);
    }
    if (!why.isEmpty()) {
        const QString text = font ? QStringLiteral("Файл не является шрифтом (.gdr):\n%1\nШрифт не загружен.")
                                  : QStringLiteral("Файл не является файлом приложения (.aif):\n%1\nФайл не загружен.");
        return WarningOutcome(text.arg(chosenPath), chosenPath + QStringLiteral(" is not ")
                                                        + (font ? QStringLiteral("a font store") : QStringLiteral("an application information file"))
                                                        + QStringLiteral(": ") + why);
    }

    const QString target = QStringLiteral("SIS\\") + loadedFileName(kind);
    // The bytes that were checked are the ones written: the chosen file may
    // change meanwhile.
    if (!ws.makeFolder(QStringLiteral("SIS")) || !ws.write(target, *bytes)) {
        const QString text = font ? QStringLiteral("Не удалось скопировать шрифт в папку пакета.\nШрифт не загружен.")
                                  : QStringLiteral("Не удалось скопировать файл в папку пакета.\nФайл не загружен.");
        return WarningOutcome(text, QStringLiteral("cannot copy ") + chosenPath + QStringLiteral(" to ") + ws.path(target));
    }
    Outcome out = Done();
    out.note = chosenPath + QStringLiteral(" loaded as ") + loadedFileName(kind);
    return out;
}

} // namespace kastra

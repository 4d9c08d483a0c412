#include "converter/default_slot.h"

#include "base/fileio.h"
#include "base/result.h"
#include "base/safe_file.h"
#include "converter/converter.h"
#include "picture/bitmap.h"
#include "platform/fileops.h"
#include "workspace/payloads.h"
#include "workspace/slots.h"

#include <filesystem>
#include <optional>

namespace kastra {

namespace fs = std::filesystem;

namespace {

// The height of the desktop top strip a banner's top rows make.
constexpr int kStripHeight = 12;
// Far above any default bitmap (the largest, the about picture, is 43 kB).
constexpr std::uintmax_t kMaxSlotBytes = 4 * 1024 * 1024;

// Where a slot's default comes from.
struct DefaultSource {
    enum Kind { None, Unpacked, Copied, BannerStrip } kind = None;
    Payload payload = Payload::NoImage;
    const char* mbmFile = nullptr;   // for Unpacked: the file as the set-up names it
    SlotFolder folder = SlotFolder::Avkon;
    int index = 0;
    QString slot;                    // the slot name ("Avkon\445.bmp")
};

DefaultSource sourceOf(const Workspace& ws, const QString& path)
{
    const QString slot = ws.slotOf(path);
    if (slot.isEmpty())
        return {};
    DefaultSource s;
    s.slot = slot;
    const struct {
        SlotFolder folder;
        Payload payload;
        const char* mbmFile;
    } unpacked[] = {
        {SlotFolder::Avkon, Payload::Avkon, "Avkon.mbm"},
        {SlotFolder::Signal, Payload::AvkonEx, "AvkonEx.mbm"},
        {SlotFolder::Menu, Payload::MenuFolders, "menu_folders.mbm"},
    };
    for (const auto& u : unpacked) {
        const int index = static_cast<int>(slotNames(u.folder).indexOf(slot));
        if (index >= 0) {
            s.kind = DefaultSource::Unpacked;
            s.payload = u.payload;
            s.mbmFile = u.mbmFile;
            s.folder = u.folder;
            s.index = index;
            return s;
        }
    }
    if (slot == SplashTopSlot) {
        s.kind = DefaultSource::Copied;
        s.payload = Payload::SplashTop;
    } else if (slot == AboutSlot) {
        s.kind = DefaultSource::Copied;
        s.payload = Payload::About;
    }
    for (QChar n : {u'1', u'2', u'3', u'4'}) {
        if (slot == topSlot(n)) {
            s.kind = DefaultSource::Copied;
            s.payload = Payload::NoImage;
        } else if (slot == tempSlot(n)) {
            s.kind = DefaultSource::BannerStrip;
            s.payload = Payload::NoImage;
        }
    }
    return s;
}

Error failure(const QString& text)
{
    return fail(text.toStdString());
}

// The slot's default from the default theme file, unpacked in a private
// folder below the root the way the set-up unpacks it (the converter,
// com.txt and the file written there, bmconv run there). The whole file is
// unpacked and kept for the run: unpacking Avkon.mbm writes 508 pictures,
// too slow to wait for at every click, while a copy of one is not. The
// pictures kept are those of the file's bytes now: when the override folder
// gives other bytes, they are unpacked afresh.
Result<Bytes> unpackedDefault(const Workspace& ws, const DefaultSource& s)
{
    // A workspace of its own below the root, opened without following a
    // link: a link or a file planted under the name goes as a name first.
    const Workspace scratch(ws.root() + QLatin1String(DefaultSlotFolder) + u'/', ws.programFolder());
    if (makeOwnFolder(fsPath(scratch.root()), false) != FolderCheck::Ok)
        ClearFolder(scratch.root());
    if (makeOwnFolder(fsPath(scratch.root()), false) != FolderCheck::Ok || !scratch.open())
        return failure(QStringLiteral("Не удалось создать временную папку %1.").arg(scratch.root()));
    const std::optional<QByteArray> mbm = payloadBytes(s.payload, ws.programFolder());
    if (!mbm)
        return failure(QStringLiteral("Исходный файл %1 недоступен.").arg(QLatin1String(s.mbmFile)));

    // One flat folder: "Avkon\445.bmp" is unpacked as "Avkon_445.bmp".
    QStringList names = slotNames(s.folder);
    names.replaceInStrings(QStringLiteral("\\"), QStringLiteral("_"));
    const QString pattern = folderName(s.folder) + QStringLiteral("_*");
    const QString mbmFile = QLatin1String(s.mbmFile);
    const QString& kept = names[s.index];
    if (!scratch.holds(mbmFile, byteSpan(*mbm))) {
        DeleteMatching(scratch.root(), pattern);
        if (!scratch.write(mbmFile, byteSpan(*mbm), Durability::WhileRunning))
            return failure(QStringLiteral("Не удалось записать исходный файл %1.").arg(mbmFile));
    }
    if (!scratch.hasFile(kept)) {
        (void)scratch.writePayload(Payload::Bmconv, QStringLiteral("bmconv.exe"));
        if (const auto unpacked = Unpack(scratch, mbmFile, names, UnpackLayout::OnePerLine); !unpacked)
            return failure(QString::fromStdString(unpacked.error()));
    }
    auto bytes = scratch.read(kept, kMaxSlotBytes);
    if (!bytes) {
        // Whatever a failed unpack wrote is not kept: the next restore tries
        // again.
        DeleteMatching(scratch.root(), pattern);
        return failure(QStringLiteral("В исходном файле %1 нет картинки для %2.").arg(mbmFile, s.slot));
    }
    return bytes;
}

Result<Bytes> defaultBytes(const Workspace& ws, const DefaultSource& s)
{
    if (s.kind == DefaultSource::Unpacked)
        return unpackedDefault(ws, s);
    const std::optional<QByteArray> payload = payloadBytes(s.payload, ws.programFolder());
    if (!payload)
        return failure(QStringLiteral("Исходная картинка для %1 недоступна.").arg(s.slot));
    if (s.kind == DefaultSource::Copied)
        return Bytes(payload->begin(), payload->end());
    // The strip the thumbnails painter derives from the default banner.
    Bitmap strip;
    if (!strip.loadBmp(byteSpan(*payload)))
        return failure(QStringLiteral("Исходная картинка для %1 не читается.").arg(s.slot));
    strip.setHeight(kStripHeight);
    return strip.encodeBmp();
}

} // namespace

bool SlotHasDefault(const Workspace& ws, const QString& path)
{
    return sourceOf(ws, path).kind != DefaultSource::None;
}

Outcome RestoreDefaultSlot(const Workspace& ws, const QString& path)
{
    const DefaultSource s = sourceOf(ws, path);
    const auto refused = [&](const QString& why) {
        const QString slot = s.slot.isEmpty() ? path : s.slot;
        return WarningOutcome(QStringLiteral("Не удалось вернуть исходную картинку %1.").arg(slot) + u'\n' + why,
                              QStringLiteral("%1: the default picture could not be restored").arg(slot));
    };
    if (s.kind == DefaultSource::None)
        return refused(QStringLiteral("У этой картинки нет исходной."));
    auto bytes = defaultBytes(ws, s);
    if (!bytes)
        return refused(QString::fromStdString(bytes.error()));
    // A working copy like every slot: no write-out forced (see Durability).
    if (auto written = ws.write(s.slot, *bytes, Durability::WhileRunning); !written)
        return refused(QString::fromStdString(written.error()));
    return Done();
}

} // namespace kastra

#include "converter/theme_files.h"

#include "converter/converter.h"
#include "converter/pack_sources.h"
#include "platform/fileops.h"
#include "converter/slot_backup.h"
#include "workspace/slots.h"
#include "converter/setup.h"
#include "base/fileio.h"
#include "base/safe_file.h"
#include "workspace/payloads.h"
#include "workspace/theme_catalogue.h"

#include <QDir>


namespace kastra {

namespace {

struct ThemeFileInfo {
    const char* name;        // in the program folder and in SIS\ after a pack
    const char* loadCopy;    // what the file is copied to in the root before unpacking
    ThemeFileOpCode packCode;
};

const ThemeFileInfo& info(ThemeFile file)
{
    static const ThemeFileInfo kInfo[] = {
        {"EidPic.mbm", "Eid.mbm", ThemeFileOpCode::PackEidPic},
        {"backgroundimage.mbm", "Back.mbm", ThemeFileOpCode::PackBackground},
        {"Avkon.mbm", "Avk.mbm", ThemeFileOpCode::PackAvkon},
        {"AvkonEx.mbm", "AvkEx.mbm", ThemeFileOpCode::PackAvkonEx},
        // Loading the menu folders replaces the workspace's own file.
        {"menu_folders.mbm", "menu_folders.mbm", ThemeFileOpCode::PackMenuFolders},
    };
    return kInfo[static_cast<int>(file)];
}

// The slots the file's unpack writes, in MBM order, and how the unpack list
// lays them out.
QStringList unpackTargets(ThemeFile file)
{
    switch (file) {
    case ThemeFile::EidPic: return bannerSlotNames();
    case ThemeFile::Background: return backgroundSlotNames();
    case ThemeFile::Avkon: return slotNames(SlotFolder::Avkon);
    case ThemeFile::AvkonEx: return slotNames(SlotFolder::Signal);
    case ThemeFile::MenuFolders: return slotNames(SlotFolder::Menu);
    }
    return {};
}

UnpackLayout unpackLayout(ThemeFile file)
{
    return file == ThemeFile::EidPic || file == ThemeFile::Background ? UnpackLayout::OneLine
                                                                      : UnpackLayout::OnePerLine;
}

// Theme files are a few hundred KiB; anything far larger is not one.
constexpr std::uintmax_t kMaxThemeFileBytes = 64u * 1024 * 1024;

Outcome missing(const Workspace& ws, ThemeFile file)
{
    // An installed program keeps its files in the user's data folder, not
    // beside the executable: the second line says which folder is meant.
    QString folder = ws.programFolder();
    while (folder.size() > 1 && (folder.endsWith(u'/') || folder.endsWith(u'\\')))
        folder.chop(1);
    return MessageOutcome(MessageIcon::Information,
                          QStringLiteral("Поместите файл %1 в директорию с программой !").arg(themeFileName(file))
                              + u'\n' + QStringLiteral("Папка программы: %1").arg(QDir::toNativeSeparators(folder)));
}

enum class Action { Load, Save };

// "Не удалось загрузить файл ..." or "Не удалось сохранить файл ...", the
// reason on a second line when there is one; the note says the same in
// English, with whyNote when there is one.
Outcome failed(Action action, ThemeFile file, const QString& why = {}, const QString& whyNote = {})
{
    QString text = (action == Action::Load ? QStringLiteral("Не удалось загрузить файл %1.")
                                           : QStringLiteral("Не удалось сохранить файл %1."))
                       .arg(themeFileName(file));
    if (!why.isEmpty())
        text += u'\n' + why;
    QString note = (action == Action::Load ? QStringLiteral("cannot load ") : QStringLiteral("cannot save "))
                   + themeFileName(file);
    if (!whyNote.isEmpty())
        note += QStringLiteral(": ") + whyNote;
    return WarningOutcome(text, note);
}

Outcome loadFailed(ThemeFile file, const QString& why = {})
{
    return failed(Action::Load, file, why);
}

Outcome saveFailed(ThemeFile file, const QString& why = {}, const QString& whyNote = {})
{
    return failed(Action::Save, file, why, whyNote);
}

// The theme file's bytes when they fit the file's catalogue (bitmap count,
// sizes, depths), else the reason for the user. A valid MBM of the wrong kind
// behind a button would otherwise turn every slot into a wrong-sized picture
// without a word.
Result<QByteArray> readFittingThemeFile(ThemeFile file, const QString& path)
{
    const auto bytes = readFile(fsPath(path), kMaxThemeFileBytes);
    if (!bytes)
        return fail(QStringLiteral("Файл не удалось прочитать: это не обычный файл, он слишком велик или недоступен.")
                        .toStdString());
    if (const QString why = themeFileMismatch(themeFileName(file), *bytes); !why.isEmpty())
        return fail(why.toStdString());
    return toByteArray(*bytes);
}

// Writes the checked bytes as the load copy, so that what bmconv unpacks is
// what was checked, whatever happens to the user's file meanwhile. A copy
// that holds exactly these bytes already (the same file loaded again) is
// kept; anything else goes first, so that an old copy is never unpacked in
// place of the file the user asked for, even when the write fails.
bool writeLoadCopy(const Workspace& ws, const QString& name, const QByteArray& bytes)
{
    if (ws.holds(name, byteSpan(bytes)))
        return true;
    (void)ws.remove(name);
    return ws.write(name, byteSpan(bytes)).ok();
}

// The slots an unpack changes and how the load keeps them aside. Our own
// converter replaces, by a rename, only the slots whose bytes change: those
// alone are kept, under second names, and reported as written (a load that
// changes a few pictures then costs little more than reading the slots). A
// converter put in its place in the program folder may rewrite every slot,
// and in place: every slot is copied and counts as written.
struct UnpackPlan {
    QStringList changing;
    SlotBackup::Keep keep = SlotBackup::Keep::Copies;
};

UnpackPlan planUnpack(const Workspace& ws, const QByteArray& mbm, const QStringList& targets)
{
    if (payloadOverridden(Payload::Bmconv, ws.programFolder()))
        return {targets, SlotBackup::Keep::Copies};
    return {SlotsUnpackChanges(ws, byteSpan(mbm), targets), SlotBackup::Keep::SecondNames};
}

// The desktop top strips Temp1.bmp ... Temp4.bmp are the top 12 rows of the
// banners. A banner that cannot be read leaves its strip as it was.
void cutTopStrips(const Workspace& ws)
{
    constexpr int kStripHeight = 12;
    for (QChar scheme : {u'1', u'2', u'3', u'4'}) {
        Bitmap strip = ws.picture(topSlot(scheme));
        if (strip.empty())
            continue;
        strip.setHeight(kStripHeight);
        (void)ws.writePicture(tempSlot(scheme), strip);
    }
}

// The converter's run after its command file: a command file that could not
// be written is refused with its reason, a failed run with the file's name.
Outcome unpackFailed(ThemeFile file, const Result<bool>& unpacked)
{
    return unpacked ? loadFailed(file) : CommandFileRefused(Error{unpacked.error(), unpacked.code()});
}

Outcome loadMenuFolders(const Workspace& ws, const QByteArray& bytes)
{
    const QString own = QStringLiteral("menu_folders.mbm");
    const QStringList targets = unpackTargets(ThemeFile::MenuFolders);
    const UnpackPlan plan = planUnpack(ws, bytes, targets);
    QStringList kept = plan.changing;
    kept << own;
    SlotBackup backup(ws, kept, plan.keep);
    if (!backup.save())
        return loadFailed(ThemeFile::MenuFolders);
    if (!writeLoadCopy(ws, own, bytes)) {
        backup.restore();
        return loadFailed(ThemeFile::MenuFolders);
    }
    (void)ws.makeFolder(folderName(SlotFolder::Menu));
    ThemeFileOp(ws, ThemeFileOpCode::WriteConverter);
    // Only the slots the plan says change go into the journal: our converter
    // leaves the others as they are, and the history need not read every
    // slot after a load that changed three.
    if (const Result<bool> unpacked = Unpack(ws, own, targets, UnpackLayout::OnePerLine, plan.changing);
        !unpacked || !*unpacked) {
        backup.restore();
        return unpackFailed(ThemeFile::MenuFolders, unpacked);
    }
    return Done();
}

} // namespace

QString themeFileName(ThemeFile file)
{
    return QLatin1String(info(file).name);
}

Outcome LoadThemeFile(const Workspace& ws, ThemeFile file)
{
    const QString source = FindInFolder(ws.programFolder(), themeFileName(file));
    if (!IsFile(source))
        return missing(ws, file);
    return LoadThemeFileFrom(ws, file, source);
}

Outcome LoadThemeFileFrom(const Workspace& ws, ThemeFile file, const QString& path)
{
    const auto bytes = readFittingThemeFile(file, path);
    if (!bytes)
        return loadFailed(file, QString::fromStdString(bytes.error()));
    if (file == ThemeFile::MenuFolders)
        return loadMenuFolders(ws, *bytes);

    if (file == ThemeFile::Avkon)
        (void)ws.makeFolder(folderName(SlotFolder::Avkon));
    else if (file == ThemeFile::AvkonEx)
        (void)ws.makeFolder(folderName(SlotFolder::Signal));
    ThemeFileOp(ws, ThemeFileOpCode::WriteConverter);

    // A copy that fails stops the load.
    const QString loadCopy = QLatin1String(info(file).loadCopy);
    if (!writeLoadCopy(ws, loadCopy, *bytes))
        return loadFailed(file);

    const QStringList targets = unpackTargets(file);
    const UnpackPlan plan = planUnpack(ws, *bytes, targets);
    SlotBackup backup(ws, plan.changing, plan.keep);
    if (!backup.save())
        return loadFailed(file);
    if (const Result<bool> unpacked = Unpack(ws, loadCopy, targets, unpackLayout(file), plan.changing);
        !unpacked || !*unpacked) {
        backup.restore();
        return unpackFailed(file, unpacked);
    }
    backup.discard();

    if (file == ThemeFile::EidPic)
        cutTopStrips(ws);
    return Done();
}

Outcome SaveThemeFile(const Workspace& ws, ThemeFile file)
{
    return SaveThemeFileInto(ws, file, ws.programFolder());
}

Outcome SaveThemeFileInto(const Workspace& ws, ThemeFile file, const QString& folder)
{
    // A picture the user still has to provide stops the save before bmconv
    // runs; banners never shown are written from the default first.
    const ThemeFileOpCode code = info(file).packCode;
    if (const auto missing = MissingPackSource(ws, std::span(&code, 1)))
        return saveFailed(file, MissingSlotText(*missing), MissingSlotNote(*missing));
    if (file == ThemeFile::EidPic)
        WriteMissingBanners(ws);
    // ThemeFileOp deletes SIS\<file> before packing and says whether bmconv
    // wrote it afresh; only then may it replace the user's file.
    const Result<bool> packed = ThemeFileOp(ws, code);
    if (!packed)
        return CommandFileRefused(Error{packed.error(), packed.code()});
    if (!*packed)
        return saveFailed(file, {}, QStringLiteral("bmconv did not pack it"));
    // A file the user named "avkon.mbm" is replaced, not joined by a second.
    const QString target = FindInFolder(folder, themeFileName(file));
    if (!CopyFileOver(ws.path(QStringLiteral("SIS\\") + themeFileName(file)), target))
        return saveFailed(file, {}, QStringLiteral("cannot write ") + target);
    return Done();
}

} // namespace kastra

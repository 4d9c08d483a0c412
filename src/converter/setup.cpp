#include "converter/setup.h"

#include "converter/converter.h"
#include "converter/default_slot.h"
#include "platform/fileops.h"
#include "workspace/history.h"
#include "workspace/payloads.h"
#include "workspace/slots.h"

namespace kastra {

namespace {

// The width of the handset's screen: a background narrower than this leaves
// a strip the import fills at the bottom.
constexpr int kScreenWidth = 176;

void writeDefault(const Workspace& ws, const char* name, const char* file)
{
    WritePayload(QStringLiteral("PKG"), QLatin1String(name), ws.root + QLatin1String(file), ws.programFolder);
}

void createSlotFolder(const Workspace& ws, SlotFolder folder)
{
    CreateFolder(ws.root + folderName(folder), false);
}

} // namespace

bool UnpackMenuFolders(const Workspace& ws)
{
    ThemeFileOp(ws, ThemeFileOpCode::WriteConverter);
    return Unpack(ws, QStringLiteral("menu_folders.mbm"), slotNames(SlotFolder::Menu), UnpackLayout::OnePerLine);
}

bool PrepareWorkspace(const Workspace& ws, bool menuOnly, bool fromWorkspaceFiles, Bitmap& desktop)
{
    if (menuOnly) {
        UnpackMenuFolders(ws);
        return false;
    }

    // On a first start nothing of the workspace exists yet. A root that
    // cannot be made is noticed when the first unpack enters it.
    CreateFolder(ws.root, true);
    ThemeFileOp(ws, ThemeFileOpCode::WriteConverter);

    if (!fromWorkspaceFiles)
        writeDefault(ws, "AVKON", "Avkon.mbm");
    createSlotFolder(ws, SlotFolder::Avkon);
    ThemeFileOp(ws, ThemeFileOpCode::WriteConverter);
    Unpack(ws, QStringLiteral("Avkon.mbm"), slotNames(SlotFolder::Avkon), UnpackLayout::OnePerLine);

    if (!fromWorkspaceFiles)
        writeDefault(ws, "AVKONEX", "AvkonEx.mbm");
    createSlotFolder(ws, SlotFolder::Signal);
    Unpack(ws, QStringLiteral("AvkonEx.mbm"), slotNames(SlotFolder::Signal), UnpackLayout::OnePerLine);

    if (!fromWorkspaceFiles) {
        writeDefault(ws, "SPLT", "SplashTop.bmp");
        createSlotFolder(ws, SlotFolder::Menu);
        writeDefault(ws, "MENUF", "menu_folders.mbm");
    }
    Unpack(ws, QStringLiteral("menu_folders.mbm"), slotNames(SlotFolder::Menu), UnpackLayout::OnePerLine);

    if (!fromWorkspaceFiles)
        return false;
    Unpack(ws, QStringLiteral("EidPic.mbm"), bannerSlotNames(), UnpackLayout::OneLine);
    Unpack(ws, QStringLiteral("backgroundimage.mbm"), backgroundSlotNames(), UnpackLayout::OneLine);
    // An unreadable background leaves desktop empty, width 0: narrow.
    desktop = readBmpOrEmpty(fsPath(slotPath(ws.root, QStringLiteral("Back.bmp"))));
    return desktop.width() < kScreenWidth;
}

QStringList PreparedSlotPaths(const Workspace& ws)
{
    QStringList names = bannerSlotNames();
    names << backgroundSlotNames() << slotNames(SlotFolder::Avkon) << slotNames(SlotFolder::Signal)
          << slotNames(SlotFolder::Menu);
    return slotPaths(ws.root, names);
}

void TearDownWorkspace(const Workspace& ws)
{
    // Opened once and never followed through a link: a link planted at the
    // root or at one of its folders is removed as a name, and whatever it
    // points to is left alone. LoadBackup is there only when a load was cut
    // short, DefaultSlot only when a restore of one slot was; History holds
    // the undo steps of the run.
    ClearFolder(ws.root, {folderName(SlotFolder::Avkon), folderName(SlotFolder::Signal), QStringLiteral("SIS"),
                          folderName(SlotFolder::Menu), QLatin1String(LoadBackupFolder),
                          QLatin1String(DefaultSlotFolder), QLatin1String(History::FolderName)});
}

} // namespace kastra

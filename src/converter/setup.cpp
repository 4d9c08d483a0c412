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

void writeDefault(const Workspace& ws, Payload payload, QLatin1String file)
{
    (void)ws.writePayload(payload, file);
}

void createSlotFolder(const Workspace& ws, SlotFolder folder)
{
    (void)ws.makeFolder(folderName(folder));
}

} // namespace

Result<bool> UnpackMenuFolders(const Workspace& ws)
{
    ThemeFileOp(ws, ThemeFileOpCode::WriteConverter);
    return Unpack(ws, QStringLiteral("menu_folders.mbm"), slotNames(SlotFolder::Menu), UnpackLayout::OnePerLine);
}

Result<bool> PrepareWorkspace(const Workspace& ws, bool menuOnly, bool fromWorkspaceFiles)
{
    if (menuOnly) {
        if (auto unpacked = UnpackMenuFolders(ws); !unpacked)
            return unpacked;
        return false;
    }

    // On a first start nothing of the workspace exists yet: the root is
    // made with its parents, checked and opened here, once.
    if (auto opened = ws.open(); !opened)
        return Error{opened.error(), opened.code()};
    ThemeFileOp(ws, ThemeFileOpCode::WriteConverter);

    // Each unpack writes its command file before bmconv touches a slot: a
    // command file that cannot be written stops the set-up there.
    const auto unpack = [&ws](const char* mbm, const QStringList& names, UnpackLayout layout) {
        return Unpack(ws, QLatin1String(mbm), names, layout);
    };
    if (!fromWorkspaceFiles)
        writeDefault(ws, Payload::Avkon, QLatin1String("Avkon.mbm"));
    createSlotFolder(ws, SlotFolder::Avkon);
    ThemeFileOp(ws, ThemeFileOpCode::WriteConverter);
    if (auto done = unpack("Avkon.mbm", slotNames(SlotFolder::Avkon), UnpackLayout::OnePerLine); !done)
        return done;

    if (!fromWorkspaceFiles)
        writeDefault(ws, Payload::AvkonEx, QLatin1String("AvkonEx.mbm"));
    createSlotFolder(ws, SlotFolder::Signal);
    if (auto done = unpack("AvkonEx.mbm", slotNames(SlotFolder::Signal), UnpackLayout::OnePerLine); !done)
        return done;

    if (!fromWorkspaceFiles) {
        writeDefault(ws, Payload::SplashTop, SplashTopSlot);
        createSlotFolder(ws, SlotFolder::Menu);
        writeDefault(ws, Payload::MenuFolders, QLatin1String("menu_folders.mbm"));
    }
    if (auto done = unpack("menu_folders.mbm", slotNames(SlotFolder::Menu), UnpackLayout::OnePerLine); !done)
        return done;

    if (!fromWorkspaceFiles)
        return false;
    if (auto done = unpack("EidPic.mbm", bannerSlotNames(), UnpackLayout::OneLine); !done)
        return done;
    if (auto done = unpack("backgroundimage.mbm", backgroundSlotNames(), UnpackLayout::OneLine); !done)
        return done;
    // An unreadable background is empty, width 0: narrow.
    return ws.picture(BackgroundSlot).width() < kScreenWidth;
}

void TearDownWorkspace(const Workspace& ws)
{
    // Removed by path, once the descriptor is let go: a link planted at the
    // root or at one of its folders is removed as a name, and whatever it
    // points to is left alone. LoadBackup is there only when a load was cut
    // short, DefaultSlot only when a restore of one slot was; History holds
    // the undo steps of the run.
    ws.close();
    ClearFolder(ws.root(), {folderName(SlotFolder::Avkon), folderName(SlotFolder::Signal), QStringLiteral("SIS"),
                            folderName(SlotFolder::Menu), QLatin1String(LoadBackupFolder),
                            QLatin1String(DefaultSlotFolder), QLatin1String(History::FolderName)});
}

} // namespace kastra

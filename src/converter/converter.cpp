#include "converter/converter.h"

#include "base/safe_file.h"
#include "picture/bitmap.h"
#include "platform/codepage.h"
#include "platform/fatal.h"
#include "platform/fileops.h"
#include "platform/io_error.h"
#include "workspace/payloads.h"
#include "platform/process.h"
#include "workspace/slots.h"

#include <vector>

#include <QDir>

#include <cerrno>

namespace kastra {

namespace {

const QByteArray kCrLf = QByteArrayLiteral("\r\n");

QString sisFolder(const Workspace& ws)
{
    return ws.root + QStringLiteral("SIS");
}

// Every theme-file operation first makes sure SIS\ exists (one level); a
// failure shows later, when bmconv cannot write there.
void ensureSisFolder(const Workspace& ws)
{
    CreateFolder(sisFolder(ws), false);
}

// "/c12Signal\001.bmp": the depth prefix glued to the slot name.
QString entry(const char* prefix, const QString& slot)
{
    return QLatin1String(prefix) + slot;
}

// The depth prefix of Signal\ index i: the 'No Signal' picture at 4 bits,
// the five signal pictures at 12 bits, the six masks at 1 bit.
const char* signalPrefix(int i)
{
    return i == 0 ? "/c4" : i <= 5 ? "/c12" : "/1";
}

// Menu\: icons at 12 bits, each followed by its 1-bit mask.
const char* menuPrefix(int i)
{
    return i % 2 == 0 ? "/c12" : "/1";
}

QByteArray lines(const QStringList& list)
{
    QByteArray out;
    for (const QString& line : list)
        out += toCp1251(line) + kCrLf;
    return out;
}

struct MaskPair {
    QString colour;
    QString mask;
};

// The masks bmconv packs from the colour slots, recomputed before every pack
// so that the user only ever edits the colour picture.
std::vector<MaskPair> derivedMasks(ThemeFileOpCode code)
{
    std::vector<MaskPair> pairs;
    const auto add = [&pairs](SlotFolder folder, int colour, int mask) {
        pairs.push_back({slotName(folder, colour), slotName(folder, mask)});
    };
    switch (code) {
    case ThemeFileOpCode::PackAvkon:
        for (const int colour : {136, 138, 202, 445})
            add(SlotFolder::Avkon, colour, colour + 1);
        break;
    case ThemeFileOpCode::PackAvkonEx:
        // 001 ... 005 give 007 ... 011; 006, the mask of 'No Signal', is the
        // user's own and is packed as it is.
        for (int i = 1; i <= 5; ++i)
            add(SlotFolder::Signal, i, i + 6);
        break;
    case ThemeFileOpCode::PackMenuFolders:
        for (int i = 1; i < MenuSlotCount; i += 2)
            add(SlotFolder::Menu, i - 1, i);
        break;
    default: break;
    }
    return pairs;
}

void deriveMasks(const Workspace& ws, ThemeFileOpCode code)
{
    for (const MaskPair& pair : derivedMasks(code))
        MakeCornerMask(ws, pair.colour, pair.mask);
}

// Packs into SIS\<file>. The old packed file goes first, so that a failed
// run can never pass off an earlier pack (or an earlier package build's
// file) as its own result; only an exit code of 0 together with a file that
// is there again counts.
bool pack(const Workspace& ws, ThemeFileOpCode code, bool commandWritten = true)
{
    const QString target = slotPath(ws.root, QStringLiteral("SIS\\") + packedFileName(code));
    const bool cleared = RemoveName(target);
    if (!commandWritten)
        return false;
    const bool ran = RunConverter(ws);
    return cleared && ran && IsFile(target);
}

} // namespace

QString packedFileName(ThemeFileOpCode code)
{
    switch (code) {
    case ThemeFileOpCode::PackEidPic: return QStringLiteral("EidPic.mbm");
    case ThemeFileOpCode::PackBackground: return QStringLiteral("backgroundimage.mbm");
    case ThemeFileOpCode::PackAvkon: return QStringLiteral("Avkon.mbm");
    case ThemeFileOpCode::PackAvkonEx: return QStringLiteral("AvkonEx.mbm");
    case ThemeFileOpCode::PackMenuFolders: return QStringLiteral("menu_folders.mbm");
    case ThemeFileOpCode::WriteConverter:
    case ThemeFileOpCode::WriteNoImageBanner: break;
    }
    return {};
}

QByteArray UnpackCommandFile(const QString& mbm, const QStringList& names, UnpackLayout layout)
{
    QByteArray out = toCp1251(QStringLiteral("/u ") + mbm) + kCrLf;
    if (names.isEmpty())
        return out;
    if (layout == UnpackLayout::OneLine)
        return out + toCp1251(names.join(u' ')) + kCrLf;
    return out + lines(names);
}

QByteArray PackCommandFile(ThemeFileOpCode code)
{
    QStringList list;
    switch (code) {
    case ThemeFileOpCode::PackEidPic:
        list << QStringLiteral("SIS\\EidPic.mbm")
             << QStringLiteral("/c24SplashTop.bmp /c24Top1.bmp /c24Top2.bmp /c24Top3.bmp /c24Top4.bmp");
        break;
    case ThemeFileOpCode::PackBackground:
        list << QStringLiteral("SIS\\backgroundimage.mbm") << QStringLiteral("/c24Back.bmp /c24About.bmp");
        break;
    case ThemeFileOpCode::PackAvkon:
        // The Avkon pack list is a fixed payload, written as it is.
        return payloadBytes(QStringLiteral("PKG"), QStringLiteral("AVCOM"), {}).value_or(QByteArray());
    case ThemeFileOpCode::PackAvkonEx:
        list << QStringLiteral("SIS\\AvkonEx.mbm");
        for (int i = 0; i < SignalSlotCount; ++i)
            list << entry(signalPrefix(i), slotName(SlotFolder::Signal, i));
        break;
    case ThemeFileOpCode::PackMenuFolders:
        list << QStringLiteral("SIS\\menu_folders.mbm");
        for (int i = 0; i < MenuSlotCount; ++i)
            list << entry(menuPrefix(i), slotName(SlotFolder::Menu, i));
        break;
    case ThemeFileOpCode::WriteConverter:
    case ThemeFileOpCode::WriteNoImageBanner:
        return {};
    }
    return lines(list);
}

void EnterWorkspaceRoot(const Workspace& ws)
{
    errno = 0;
    if (!QDir::setCurrent(ws.root)) {
        const int e = errno;
        const int cause = e != 0 ? e : ENOENT;
        FatalIoError(WindowsIoError(cause), cause);
    }
}

void WriteCommandFile(const Workspace& ws, const QByteArray& bytes)
{
    // Written beside and renamed over, like every file the program writes:
    // a link planted as com.txt is replaced, not written through.
    // A command file that already holds these bytes (the same load again)
    // is left as it is. It is read once, right after, so a crash of the
    // whole system need not find it whole: no write-out is forced.
    const ByteSpan span = byteSpan(bytes);
    const std::filesystem::path path = fsPath(ws.root + QStringLiteral("com.txt"));
    if (holdsExactly(path, span))
        return;
    errno = 0;
    if (!writeFileAtomic(path, span, Durability::WhileRunning)) {
        const int cause = errno != 0 ? errno : EIO;
        FatalIoError(WindowsIoError(cause), cause);
    }
}

bool Unpack(const Workspace& ws, const QString& mbm, const QStringList& names, UnpackLayout layout)
{
    EnterWorkspaceRoot(ws);
    WriteCommandFile(ws, UnpackCommandFile(mbm, names, layout));
    return RunConverter(ws);
}

bool RunConverter(const Workspace& ws)
{
    // The command line stays as the converter has always been called; it is
    // split into program and argument only to start it.
    const ProcessOutcome run = RunHidden(QStringLiteral("bmconv.exe com.txt"), ws.root);
    return run.started && run.finished && run.exitCode == 0;
}

void MakeCornerMask(const Workspace& ws, const QString& colourSlot, const QString& maskSlot)
{
    Bitmap picture = readBmpOrEmpty(fsPath(slotPath(ws.root, colourSlot)));
    if (picture.empty())
        return;
    picture.makeMask(picture.getPixel(0, 0));
    writeBmpQuietly(picture, fsPath(slotPath(ws.root, maskSlot)));
}

QStringList PackRewrites(const Workspace& ws, ThemeFileOpCode code)
{
    QStringList names;
    for (const MaskPair& pair : derivedMasks(code))
        names << pair.mask;
    if (code == ThemeFileOpCode::PackBackground)
        names << QStringLiteral("About.bmp");
    return slotPaths(ws.root, names);
}

bool ThemeFileOp(const Workspace& ws, ThemeFileOpCode code, QChar scheme)
{
    ensureSisFolder(ws);
    switch (code) {
    case ThemeFileOpCode::WriteConverter:
        return WritePayload(QStringLiteral("EXTPROGS"), QStringLiteral("BMC"), ws.root + QStringLiteral("bmconv.exe"),
                            ws.programFolder);
    case ThemeFileOpCode::PackEidPic:
        EnterWorkspaceRoot(ws);
        WriteCommandFile(ws, PackCommandFile(code));
        return pack(ws, code);
    case ThemeFileOpCode::PackBackground:
        // What is packed as the second picture is always the program's own
        // about picture, whatever the slot held.
        WritePayload(QStringLiteral("PKG"), QStringLiteral("ABOUT"), ws.root + QStringLiteral("About.bmp"),
                     ws.programFolder);
        EnterWorkspaceRoot(ws);
        WriteCommandFile(ws, PackCommandFile(code));
        return pack(ws, code);
    case ThemeFileOpCode::PackAvkon: {
        // The pack list payload is the whole command file. When it cannot be
        // written the run is left out: bmconv would otherwise carry out
        // whatever com.txt held before, an unpack over the slots, say.
        const bool listed = WritePayload(QStringLiteral("PKG"), QStringLiteral("AVCOM"),
                                         ws.root + QStringLiteral("com.txt"), ws.programFolder);
        EnterWorkspaceRoot(ws);
        deriveMasks(ws, code);
        return pack(ws, code, listed);
    }
    case ThemeFileOpCode::PackAvkonEx:
        EnterWorkspaceRoot(ws);
        deriveMasks(ws, code);
        WriteCommandFile(ws, PackCommandFile(code));
        return pack(ws, code);
    case ThemeFileOpCode::PackMenuFolders:
        EnterWorkspaceRoot(ws);
        deriveMasks(ws, code);
        WriteCommandFile(ws, PackCommandFile(code));
        return pack(ws, code);
    case ThemeFileOpCode::WriteNoImageBanner:
        return WritePayload(QStringLiteral("PKG"), QStringLiteral("NIMG"), slotPath(ws.root, topSlot(scheme)),
                            ws.programFolder);
    }
    return false;
}

} // namespace kastra

#include "converter/converter.h"

#include "base/safe_file.h"
#include "picture/bitmap.h"
#include "platform/codepage.h"
#include "platform/fileops.h"
#include "workspace/payloads.h"
#include "workspace/slots.h"

#include <vector>

namespace kastra {

namespace {

const QByteArray kCrLf = QByteArrayLiteral("\r\n");

const QString kCommandFile = QStringLiteral("com.txt");

// Every theme-file operation first makes sure SIS\ exists (one level); a
// failure shows later, when bmconv cannot write there.
void ensureSisFolder(const Workspace& ws)
{
    (void)ws.makeFolder(QStringLiteral("SIS"));
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
// A command file that could not be written fails the pack before anything
// of the workspace changed. The masks bmconv packs are derived after it.
Result<bool> pack(const Workspace& ws, ThemeFileOpCode code, const Result<void>& commandWritten)
{
    if (!commandWritten)
        return Error{commandWritten.error(), commandWritten.code()};
    deriveMasks(ws, code);
    const QString target = QStringLiteral("SIS\\") + packedFileName(code);
    const bool cleared = ws.remove(target).ok();
    const bool ran = RunConverter(ws, {target});
    return cleared && ran && ws.hasFile(target);
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
        return payloadBytes(Payload::AvkonPackList, {}).value_or(QByteArray());
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

Result<void> WriteCommandFile(const Workspace& ws, const QByteArray& bytes)
{
    // Written beside and renamed over, like every file the program writes:
    // a link planted as com.txt is replaced, not written through.
    // A command file that already holds these bytes (the same load again)
    // is left as it is. It is read once, right after, so a crash of the
    // whole system need not find it whole: no write-out is forced.
    const ByteSpan span = byteSpan(bytes);
    if (ws.holds(kCommandFile, span))
        return {};
    return ws.write(kCommandFile, span, Durability::WhileRunning);
}

Outcome CommandFileRefused(const Error& why)
{
    const QString reason = QString::fromStdString(why.message);
    return MessageOutcome(MessageIcon::Error,
                          QStringLiteral("Не удалось записать файл com.txt, нужный конвертеру.\n") + reason,
                          QStringLiteral("cannot write the converter's command file: ") + reason);
}

Result<bool> Unpack(const Workspace& ws, const QString& mbm, const QStringList& names, UnpackLayout layout)
{
    return Unpack(ws, mbm, names, layout, names);
}

Result<bool> Unpack(const Workspace& ws, const QString& mbm, const QStringList& names, UnpackLayout layout,
                    const QStringList& mayWrite)
{
    if (auto written = WriteCommandFile(ws, UnpackCommandFile(mbm, names, layout)); !written)
        return Error{written.error(), written.code()};
    return RunConverter(ws, mayWrite);
}

bool RunConverter(const Workspace& ws, const QStringList& mayWrite)
{
    // The command line stays as the converter has always been called; it is
    // split into program and argument only to start it.
    const ProcessOutcome run = ws.run(QStringLiteral("bmconv.exe com.txt"), mayWrite);
    return run.started && run.finished && run.exitCode == 0;
}

void MakeCornerMask(const Workspace& ws, const QString& colourSlot, const QString& maskSlot)
{
    Bitmap picture = ws.picture(colourSlot);
    if (picture.empty())
        return;
    picture.makeMask(picture.getPixel(0, 0));
    (void)ws.writePicture(maskSlot, picture);
}

Result<bool> ThemeFileOp(const Workspace& ws, ThemeFileOpCode code, QChar scheme)
{
    ensureSisFolder(ws);
    switch (code) {
    case ThemeFileOpCode::WriteConverter:
        return ws.writePayload(Payload::Bmconv, QStringLiteral("bmconv.exe")).ok();
    case ThemeFileOpCode::PackEidPic:
        return pack(ws, code, WriteCommandFile(ws, PackCommandFile(code)));
    case ThemeFileOpCode::PackBackground:
        // What is packed as the second picture is always the program's own
        // about picture, whatever the slot held.
        (void)ws.writePayload(Payload::About, AboutSlot);
        return pack(ws, code, WriteCommandFile(ws, PackCommandFile(code)));
    case ThemeFileOpCode::PackAvkon: {
        // The pack list payload is the whole command file. When it cannot be
        // written the run is left out: bmconv would otherwise carry out
        // whatever com.txt held before, an unpack over the slots, say.
        return pack(ws, code, ws.writePayload(Payload::AvkonPackList, kCommandFile));
    }
    case ThemeFileOpCode::PackAvkonEx:
    case ThemeFileOpCode::PackMenuFolders:
        return pack(ws, code, WriteCommandFile(ws, PackCommandFile(code)));
    case ThemeFileOpCode::WriteNoImageBanner:
        return ws.writePayload(Payload::NoImage, topSlot(scheme)).ok();
    }
    return false;
}

} // namespace kastra

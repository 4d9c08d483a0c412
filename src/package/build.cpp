#include "package/build.h"

#include "converter/converter.h"
#include "converter/pack_sources.h"
#include "platform/fileops.h"
#include "package/package_script.h"
#include "workspace/payloads.h"
#include "platform/process.h"
#include "workspace/slots.h"

#include <QDir>
#include <QFile>

#include <array>

namespace kastra {

namespace {

// The veZorCtrl resource files are written under the names the script
// gives them (veZorCtrl.r01 ...); makesis finds every other file whatever
// its letter case.
constexpr std::array<PayloadRow, 22> kRows = {{
    {1, Payload::DeleteFonts, "SIS\\del_fonts.EXE", false},
    {2, Payload::About, "About.bmp", false},
    {3, Payload::DeleteLogo, "SIS\\del_logo.exe", false},
    {4, Payload::Font, "SIS\\kde.gdr", true},
    {5, Payload::Restore, "SIS\\restorez.EXE", false},
    {6, Payload::RestoreAvkon, "SIS\\restorez_Avkon.exe", false},
    {7, Payload::AppAif, "SIS\\veZorCtrl.aif", true},
    {8, Payload::AppApp, "SIS\\veZorCtrl.APP", false},
    {9, Payload::AppR1, "SIS\\veZorCtrl.r01", false},
    {10, Payload::AppR3, "SIS\\veZorCtrl.r03", false},
    {11, Payload::AppR16, "SIS\\veZorCtrl.r16", false},
    {12, Payload::AppCaptionR1, "SIS\\xxAppctrl_caption.r01", false},
    {13, Payload::AppCaptionR3, "SIS\\xxappctrl_caption.r03", false},
    {14, Payload::AppCaptionR16, "SIS\\xxappctrl_caption.r16", false},
    {15, Payload::MenuAif, "SIS\\veZozi.aif", true},
    {16, Payload::MenuApp, "SIS\\veZozi.APP", false},
    {17, Payload::MenuR1, "SIS\\vezozi.r01", false},
    {18, Payload::MenuR3, "SIS\\vezozi.r03", false},
    {19, Payload::MenuR16, "SIS\\vezozi.r16", false},
    {20, Payload::MenuCaptionR1, "SIS\\veZozi_caption.r01", false},
    {21, Payload::MenuCaptionR3, "SIS\\vezozi_caption.r03", false},
    {22, Payload::MenuCaptionR16, "SIS\\vezozi_caption.r16", false},
}};

const QString kErrorText = QStringLiteral("Во время создания SIS файла произошла ошибка");

Outcome failure(const QString& why, const QString& note)
{
    return Outcome{false, QStringLiteral("Ошибка"), kErrorText + u'\n' + why, MessageIcon::Error, note};
}

bool plainFileName(const QString& name)
{
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        const bool ok = (u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') || u == u'_';
        if (!ok)
            return false;
    }
    return true;
}

// Removes a file that a step is about to make again, so that what is there
// afterwards is this build's. A file that cannot be removed stops the build.
bool removeStale(const Workspace& ws, const QString& slot)
{
    return ws.remove(slot).ok();
}

// Each phase of the build returns the failure that stops it, or nothing.
using Failure = std::optional<Outcome>;

// The handset files the script names, each row's progress mark after it.
Failure writePayloads(const Workspace& ws, const std::function<void(int)>& step)
{
    for (const PayloadRow& row : kRows) {
        const QString target = QString::fromLatin1(row.file);
        if (!(row.ifMissing && ws.hasFile(target)) && !ws.writePayload(row.payload, target))
            return failure(QStringLiteral("Не удалось записать файл ") + target,
                           QStringLiteral("cannot write ") + ws.path(target));
        step(row.progress);
    }
    return std::nullopt;
}

// Packs one theme file into SIS\ afresh: the old one goes first, so that
// what is there afterwards is bmconv's work of this build.
Failure pack(const Workspace& ws, ThemeFileOpCode code, const char* file)
{
    const QString target = QStringLiteral("SIS\\") + QString::fromLatin1(file);
    if (!removeStale(ws, target))
        return failure(QStringLiteral("bmconv не смог упаковать ") + QString::fromLatin1(file),
                       QStringLiteral("bmconv failed to pack ") + QString::fromLatin1(file));
    const Result<bool> packed = ThemeFileOp(ws, code);
    if (!packed)
        return CommandFileRefused(Error{packed.error(), packed.code()});
    if (!*packed || !ws.hasFile(target))
        return failure(QStringLiteral("bmconv не смог упаковать ") + QString::fromLatin1(file),
                       QStringLiteral("bmconv failed to pack ") + QString::fromLatin1(file));
    return std::nullopt;
}

// makesis, Hello.txt and the package script, with the font number drawn for
// this build (or the one asked for).
Failure writeScriptFiles(const Workspace& ws, const BuildInputs& in, BuildResult& result,
                         const std::function<void(int)>& step)
{
    const QString makesis = QStringLiteral("SIS\\makesis.exe");
    if (!ws.writePayload(Payload::Makesis, makesis))
        return failure(QStringLiteral("Не удалось записать файл SIS\\makesis.exe"),
                       QStringLiteral("cannot write ") + ws.path(makesis));
    step(25);

    const QByteArray hello = HelloText(in.greeting);
    if (const auto written = ws.write(QStringLiteral("SIS\\Hello.txt"), byteSpan(hello)); !written)
        return failure(QStringLiteral("Не удалось записать файл SIS\\Hello.txt"), QString::fromStdString(written.error()));
    step(35);

    result.fontNumber = in.fontNumber ? *in.fontNumber : DrawFontNumber(ClockSeed());
    const auto script = PackageScript(in.themeName, result.fontNumber);
    const QString scriptName = in.fileName + QStringLiteral(".pkg");
    if (!script)
        return failure(QStringLiteral("Не удалось составить сценарий пакета"), QString::fromStdString(script.error()));
    if (const auto written = ws.write(QStringLiteral("SIS\\") + scriptName, byteSpan(*script)); !written)
        return failure(QStringLiteral("Не удалось записать файл SIS\\") + scriptName,
                       QString::fromStdString(written.error()));
    // The script is written whole, then renamed into place; the two marks
    // the bar passes while it is written come together.
    step(45);
    step(55);
    return std::nullopt;
}

// The four theme files the script takes from SIS\ (menu_folders.mbm was
// packed first), banners never shown written from the default before.
Failure packThemeFiles(const Workspace& ws, const std::function<void(int)>& step)
{
    if (const Result<bool> written = ThemeFileOp(ws, ThemeFileOpCode::WriteConverter); !written || !*written)
        return failure(QStringLiteral("Не удалось записать файл bmconv.exe"),
                       QStringLiteral("cannot write the converter into ") + ws.root());
    WriteMissingBanners(ws);
    if (auto f = pack(ws, ThemeFileOpCode::PackEidPic, "EidPic.mbm"))
        return f;
    step(60);
    if (auto f = pack(ws, ThemeFileOpCode::PackBackground, "backgroundimage.mbm"))
        return f;
    step(70);
    if (auto f = pack(ws, ThemeFileOpCode::PackAvkon, "Avkon.mbm"))
        return f;
    if (auto f = pack(ws, ThemeFileOpCode::PackAvkonEx, "AvkonEx.mbm"))
        return f;
    step(85);
    return std::nullopt;
}

// makesis names its output after the script. It runs in the package folder,
// held open as the workspace holds it.
Failure runMakesis(const Workspace& ws, const BuildInputs& in, const QString& built)
{
    if (!removeStale(ws, built))
        return failure(QStringLiteral("Не удалось удалить старый файл SIS\\") + in.fileName + QStringLiteral(".SIS"),
                       QStringLiteral("cannot remove the old ") + ws.path(built));
    const ProcessOutcome run = ws.run(QStringLiteral("makesis.exe ") + in.fileName + QStringLiteral(".pkg"), {built},
                                      QStringLiteral("SIS"));
    if (!run.started || !run.finished || run.exitCode != 0 || !ws.hasFile(built)) {
        const QString why = !run.started ? QStringLiteral("makesis не запустился")
                                         : QStringLiteral("makesis не смог собрать пакет");
        const QString note = !run.started ? QStringLiteral("makesis could not be started")
                                          : QStringLiteral("makesis failed (exit code %1)").arg(run.exitCode);
        return failure(why, note);
    }
    return std::nullopt;
}

// Runs the build after the name checks; progress values as they come.
BuildResult runBuild(const Workspace& ws, const BuildInputs& in, const std::function<void(int)>& step)
{
    BuildResult result;
    const auto stop = [&result](Outcome why) {
        result.outcome = std::move(why);
        return result;
    };
    const QString packageFolder = ws.path(QStringLiteral("SIS"));
    if (!ws.makeFolder(QStringLiteral("SIS")))
        return stop(failure(QStringLiteral("Не удалось создать папку ") + packageFolder,
                            QStringLiteral("cannot create the package folder ") + packageFolder));
    if (auto f = writePayloads(ws, step))
        return stop(*f);
    if (auto f = pack(ws, ThemeFileOpCode::PackMenuFolders, "menu_folders.mbm"))
        return stop(*f);
    step(23);
    if (auto f = writeScriptFiles(ws, in, result, step))
        return stop(*f);
    if (auto f = packThemeFiles(ws, step))
        return stop(*f);
    const QString built = QStringLiteral("SIS\\") + in.fileName + QStringLiteral(".SIS");
    if (auto f = runMakesis(ws, in, built))
        return stop(*f);

    QString delivery = in.deliveryFolder.isEmpty() ? ws.programFolder() : in.deliveryFolder;
    if (!delivery.endsWith(u'/') && !delivery.endsWith(QDir::separator()))
        delivery += u'/';
    const QString delivered = delivery + in.fileName + QStringLiteral(".sis");
    // A build killed while delivering left its temporary there.
    RecoverInterruptedWrites(delivery);
    if (!CopyFileOver(ws.path(built), delivered))
        return stop(failure(QStringLiteral("Не удалось скопировать пакет в ") + delivered,
                            QStringLiteral("cannot copy the package to ") + delivered));
    step(100);
    result.deliveredPath = delivered;
    result.outcome = Outcome{true, QStringLiteral("Готово"), QStringLiteral("SIS файл создан"), MessageIcon::Information,
                             QStringLiteral("package written to ") + delivered};
    return result;
}

} // namespace

std::span<const PayloadRow> buildPayloadRows()
{
    return kRows;
}

std::optional<Outcome> CheckBuildNames(const QString& themeName, const QString& fileName)
{
    if (themeName.isEmpty() || fileName.isEmpty())
        return WarningOutcome(QStringLiteral("Не введено название либо имя файла"),
                              QStringLiteral("the theme name and the file name must not be empty"));
    if (fileName.size() < 2)
        return WarningOutcome(QStringLiteral("Имя файла должно быть минимум два символа"),
                              QStringLiteral("the file name must be at least two characters long"));
    // The window's filter lets nothing else into the box; other callers must
    // not smuggle a path or a blank into names the tools take apart.
    if (!plainFileName(fileName))
        return WarningOutcome(
            QStringLiteral("Имя файла может содержать только латинские буквы, цифры и знак подчёркивания"),
            QStringLiteral("the file name may hold only Latin letters, digits and '_'"));
    if (themeNameProblem(themeName))
        return WarningOutcome(QStringLiteral("Название темы не должно содержать кавычек и переводов строки"),
                              *themeNameProblem(themeName));
    return std::nullopt;
}

BuildResult BuildPackage(const Workspace& ws, const BuildInputs& inputs, const ProgressCallback& progress)
{
    if (auto refused = CheckBuildNames(inputs.themeName, inputs.fileName)) {
        BuildResult r;
        r.outcome = std::move(*refused);
        return r;
    }
    // A picture only the user can provide (the background, say) is missing:
    // say which one before anything is written and the bar moves.
    static constexpr ThemeFileOpCode kPacked[] = {ThemeFileOpCode::PackMenuFolders, ThemeFileOpCode::PackEidPic,
                                                  ThemeFileOpCode::PackBackground, ThemeFileOpCode::PackAvkon,
                                                  ThemeFileOpCode::PackAvkonEx};
    if (const auto missing = MissingPackSource(ws, kPacked)) {
        BuildResult r;
        r.outcome = failure(MissingSlotText(*missing), MissingSlotNote(*missing));
        return r;
    }
    const auto step = [&progress](int value) {
        if (progress)
            progress(value);
    };
    return runBuild(ws, inputs, step);
}

} // namespace kastra

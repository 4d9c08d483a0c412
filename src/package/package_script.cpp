#include "package/package_script.h"

#include "platform/codepage.h"
#include "base/fileio.h"
#include "platform/fileops.h"

#include <array>
#include <chrono>
#include <random>

namespace kastra {

namespace {

constexpr std::array<ScriptFile, PackageScriptFiles> kFiles = {{
    {"Hello.txt", "", ",FT,TA"},
    {"restorez_Avkon.exe", "c:\\system\\apps\\theme\\restorez_Avkon.exe", ",FR,RR,RW"},
    {"del_logo.exe", "c:\\system\\apps\\theme\\del_logo.exe", ",FR,RI,RW"},
    {"Avkon.mbm", "c:\\system\\data\\Avkon.mbm", ""},
    {"del_fonts.exe", "c:\\system\\apps\\theme\\del_fonts.exe", ",FR,RR,RW"},
    {"restorez.exe", "c:\\system\\apps\\theme\\restorez.exe", ",FR,RR,RW"},
    {"kde.gdr", "c:\\system\\fonts\\", ""},
    {"AvkonEx.mbm", "c:\\system\\data\\AvkonEx.mbm", ""},
    {"menu_folders.mbm", "c:\\system\\data\\menu_folders.mbm", ""},
    {"EidPic.mbm", "c:\\system\\data\\EidPic.mbm", ""},
    {"backgroundimage.mbm", "c:\\system\\data\\backgroundimage.mbm", ""},
    {"veZorCtrl.aif", "c:\\system\\apps\\veZorCtrl\\veZorCtrl.aif", ""},
    {"veZorCtrl.app", "c:\\system\\apps\\veZorCtrl\\veZorCtrl.app", ""},
    {"veZorCtrl.r01", "c:\\system\\apps\\veZorCtrl\\veZorCtrl.r01", ""},
    {"veZorCtrl.r03", "c:\\system\\apps\\veZorCtrl\\veZorCtrl.r03", ""},
    {"veZorCtrl.r16", "c:\\system\\apps\\veZorCtrl\\veZorCtrl.r16", ""},
    {"xxAppctrl_caption.r01", "c:\\system\\apps\\veZorCtrl\\xxAppctrl_caption.r01", ""},
    {"xxAppctrl_caption.r03", "c:\\system\\apps\\veZorCtrl\\xxAppctrl_caption.r03", ""},
    {"xxAppctrl_caption.r16", "c:\\system\\apps\\veZorCtrl\\xxAppctrl_caption.r16", ""},
    {"veZozi.aif", "c:\\system\\apps\\veZozi\\veZozi.aif", ""},
    {"veZozi.app", "c:\\system\\apps\\veZozi\\veZozi.app", ""},
    {"veZozi.r01", "c:\\system\\apps\\veZozi\\veZozi.r01", ""},
    {"veZozi.r03", "c:\\system\\apps\\veZozi\\veZozi.r03", ""},
    {"veZozi.r16", "c:\\system\\apps\\veZozi\\veZozi.r16", ""},
    {"veZozi_caption.r01", "c:\\system\\apps\\veZozi\\veZozi_caption.r01", ""},
    {"veZozi_caption.r03", "c:\\system\\apps\\veZozi\\veZozi_caption.r03", ""},
    {"veZozi_caption.r16", "c:\\system\\apps\\veZozi\\veZozi_caption.r16", ""},
}};

// The font's file line: the destination gets the number and ".gdr".
constexpr std::size_t kFontLine = 6;

// The author's signature and contact lines of the header.
constexpr const char* kSignature = ";Built by Kastra Theme Creator";
constexpr const char* kEmail = ";E-mail: themes@kastra-theme.example";

bool isLineBreakOrControl(char16_t c)
{
    return c < 0x20 || c == 0x7F || c == 0x85 || c == 0x2028 || c == 0x2029;
}

} // namespace

std::span<const ScriptFile> packageScriptFiles()
{
    return kFiles;
}

std::optional<QString> themeNameProblem(const QString& themeName)
{
    for (const QChar c : themeName) {
        if (c == u'"')
            return QStringLiteral("the theme name contains a double quote");
        if (isLineBreakOrControl(c.unicode()))
            return QStringLiteral("the theme name contains a line break or another control character");
    }
    return std::nullopt;
}

Result<QByteArray> PackageScript(const QString& themeName, std::uint32_t fontNumber)
{
    if (const auto problem = themeNameProblem(themeName))
        return fail(problem->toStdString());
    if (fontNumber > MaxFontNumber)
        return fail("font number " + std::to_string(fontNumber) + " is above 65534");

    QByteArray out;
    out.reserve(3000);
    const auto line = [&out](const QByteArray& text) {
        out += text;
        out += "\r\n";
    };
    line(";Themes for Halvorn Kastra!!!");
    line(kSignature);
    line(kEmail);
    line({});
    line("&RU");
    line({});
    line("#{\"" + toCp1251(themeName) + "\"},(01000000),2,2,1");
    line("(0x101F6F88), 0, 0, 0, {\"Series60ProduktID\"}");
    line({});
    for (std::size_t k = 0; k < kFiles.size(); ++k) {
        QByteArray destination = kFiles[k].destination;
        if (k == kFontLine)
            destination += QByteArray::number(fontNumber) + ".gdr";
        line('"' + QByteArray(kFiles[k].source) + "\"-\"" + destination + '"' + kFiles[k].options);
        if (k + 1 < kFiles.size())
            line({});
    }
    return out;
}

std::uint32_t DrawFontNumber(std::uint64_t seed)
{
    // Rejection sampling on the raw 32-bit output rather than
    // std::uniform_int_distribution, whose algorithm differs between
    // standard libraries: a fixed seed must give one number everywhere.
    std::mt19937 gen(static_cast<std::mt19937::result_type>(seed ^ (seed >> 32)));
    constexpr std::uint64_t range = MaxFontNumber + 1;
    constexpr std::uint64_t limit = (std::uint64_t{1} << 32) / range * range;
    for (;;) {
        const std::uint64_t v = gen();
        if (v < limit)
            return static_cast<std::uint32_t>(v % range);
    }
}

std::uint64_t ClockSeed()
{
    const auto wall = std::chrono::system_clock::now().time_since_epoch().count();
    const auto mono = std::chrono::steady_clock::now().time_since_epoch().count();
    return static_cast<std::uint64_t>(wall) ^ (static_cast<std::uint64_t>(mono) << 17);
}

QByteArray HelloText(const QString& greeting)
{
    QString text;
    text.reserve(greeting.size() + 16);
    for (qsizetype i = 0; i < greeting.size(); ++i) {
        const char16_t c = greeting[i].unicode();
        if (c == u'\r') {
            if (i + 1 < greeting.size() && greeting[i + 1] == u'\n')
                ++i;
            text += QStringLiteral("\r\n");
        } else if (c == u'\n' || c == 0x2028 || c == 0x2029) {
            text += QStringLiteral("\r\n");
        } else {
            text += QChar(c);
        }
    }
    return toCp1251(text);
}

QString DefaultGreeting()
{
    return QStringLiteral("Theme created with:\r\n"
                          "Program: Kastra Theme Creator\r\n"
                          "Theme creator: -\r\n")
        + QString(32, u'-')
        + QStringLiteral("\r\n"
                         "!!! After installing restart !!!\r\n"
                         "!!!         your phone          !!!\r\n");
}

} // namespace kastra

// The package script and the welcome text, byte for byte as makesis reads
// them, and the names a script cannot carry.
#include "package/package_script.h"

#include "sis/pkg_parser.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace kastra;

namespace {

// The script written out by hand, one entry per line, CR LF added below.
const char* const kExpectedLines[] = {
    ";Themes for Halvorn Kastra!!!",
    ";Built by Kastra Theme Creator",
    ";E-mail: themes@kastra-theme.example",
    "",
    "&RU",
    "",
    "#{\"NAME\"},(01000000),2,2,1",
    "(0x101F6F88), 0, 0, 0, {\"Series60ProduktID\"}",
    "",
    "\"Hello.txt\"-\"\",FT,TA",
    "",
    "\"restorez_Avkon.exe\"-\"c:\\system\\apps\\theme\\restorez_Avkon.exe\",FR,RR,RW",
    "",
    "\"del_logo.exe\"-\"c:\\system\\apps\\theme\\del_logo.exe\",FR,RI,RW",
    "",
    "\"Avkon.mbm\"-\"c:\\system\\data\\Avkon.mbm\"",
    "",
    "\"del_fonts.exe\"-\"c:\\system\\apps\\theme\\del_fonts.exe\",FR,RR,RW",
    "",
    "\"restorez.exe\"-\"c:\\system\\apps\\theme\\restorez.exe\",FR,RR,RW",
    "",
    "\"kde.gdr\"-\"c:\\system\\fonts\\FONT.gdr\"",
    "",
    "\"AvkonEx.mbm\"-\"c:\\system\\data\\AvkonEx.mbm\"",
    "",
    "\"menu_folders.mbm\"-\"c:\\system\\data\\menu_folders.mbm\"",
    "",
    "\"EidPic.mbm\"-\"c:\\system\\data\\EidPic.mbm\"",
    "",
    "\"backgroundimage.mbm\"-\"c:\\system\\data\\backgroundimage.mbm\"",
    "",
    "\"veZorCtrl.aif\"-\"c:\\system\\apps\\veZorCtrl\\veZorCtrl.aif\"",
    "",
    "\"veZorCtrl.app\"-\"c:\\system\\apps\\veZorCtrl\\veZorCtrl.app\"",
    "",
    "\"veZorCtrl.r01\"-\"c:\\system\\apps\\veZorCtrl\\veZorCtrl.r01\"",
    "",
    "\"veZorCtrl.r03\"-\"c:\\system\\apps\\veZorCtrl\\veZorCtrl.r03\"",
    "",
    "\"veZorCtrl.r16\"-\"c:\\system\\apps\\veZorCtrl\\veZorCtrl.r16\"",
    "",
    "\"xxAppctrl_caption.r01\"-\"c:\\system\\apps\\veZorCtrl\\xxAppctrl_caption.r01\"",
    "",
    "\"xxAppctrl_caption.r03\"-\"c:\\system\\apps\\veZorCtrl\\xxAppctrl_caption.r03\"",
    "",
    "\"xxAppctrl_caption.r16\"-\"c:\\system\\apps\\veZorCtrl\\xxAppctrl_caption.r16\"",
    "",
    "\"veZozi.aif\"-\"c:\\system\\apps\\veZozi\\veZozi.aif\"",
    "",
    "\"veZozi.app\"-\"c:\\system\\apps\\veZozi\\veZozi.app\"",
    "",
    "\"veZozi.r01\"-\"c:\\system\\apps\\veZozi\\veZozi.r01\"",
    "",
    "\"veZozi.r03\"-\"c:\\system\\apps\\veZozi\\veZozi.r03\"",
    "",
    "\"veZozi.r16\"-\"c:\\system\\apps\\veZozi\\veZozi.r16\"",
    "",
    "\"veZozi_caption.r01\"-\"c:\\system\\apps\\veZozi\\veZozi_caption.r01\"",
    "",
    "\"veZozi_caption.r03\"-\"c:\\system\\apps\\veZozi\\veZozi_caption.r03\"",
    "",
    "\"veZozi_caption.r16\"-\"c:\\system\\apps\\veZozi\\veZozi_caption.r16\"",
};

QByteArray expectedScript(const QByteArray& name, const QByteArray& font)
{
    QByteArray out;
    for (const char* line : kExpectedLines) {
        QByteArray l(line);
        l.replace("NAME", name);
        l.replace("FONT", font);
        out += l + "\r\n";
    }
    return out;
}

} // namespace

TEST(PackageScript, IsByteExactWithTheNameInWindows1251)
{
    static_assert(std::size(kExpectedLines) == PackageScriptLines);
    struct Case {
        QString name;
        QByteArray nameBytes;
        std::uint32_t font;
    };
    const Case cases[] = {
        {QStringLiteral("Sunset"), "Sunset", 0},
        {QStringLiteral("Тема №1"), "\xD2\xE5\xEC\xE0 \xB9\x31", 65534},
        {QStringLiteral("a,b;c{d}(e)"), "a,b;c{d}(e)", 4711},
    };
    for (const Case& c : cases) {
        const auto script = PackageScript(c.name, c.font);
        ASSERT_TRUE(script) << script.error();
        EXPECT_EQ(*script, expectedScript(c.nameBytes, QByteArray::number(c.font))) << c.name.toStdString();
        EXPECT_EQ(script->count("\r\n"), PackageScriptLines);
        EXPECT_EQ(script->count('\n'), PackageScriptLines);
    }
}

TEST(PackageScript, ParsesIntoTheTwentySevenFiles)
{
    const auto script = PackageScript(QStringLiteral("Тема"), 77);
    ASSERT_TRUE(script);
    const auto spec = sis::parsePackageScript(ByteSpan(reinterpret_cast<const std::uint8_t*>(script->constData()),
                                                       static_cast<std::size_t>(script->size())));
    ASSERT_TRUE(spec) << spec.error();
    EXPECT_EQ(spec->uid, 1000000u); // decimal, as the SDK's makesis reads it
    EXPECT_EQ(spec->major, 2);
    EXPECT_EQ(spec->minor, 2);
    ASSERT_EQ(spec->records.size(), std::size_t{PackageScriptFiles});
    ASSERT_EQ(spec->names.size(), 1u);
    EXPECT_EQ(spec->names[0], u"Тема");
    EXPECT_EQ(spec->records[6].destination, u"c:\\system\\fonts\\77.gdr");
}

TEST(PackageScript, RefusesNamesThatWouldBreakTheScript)
{
    const QString refused[] = {
        QStringLiteral("say \"hi\""),
        QStringLiteral("two\r\n\"x.txt\"-\"c:\\x.txt\""),
        QStringLiteral("line\nbreak"),
        QStringLiteral("cr\ronly"),
        QStringLiteral("tab\there"),
        QString::fromUtf16(u"para\u2029graph"),
    };
    for (const QString& name : refused) {
        EXPECT_TRUE(themeNameProblem(name).has_value()) << name.toStdString();
        EXPECT_FALSE(PackageScript(name, 1).ok()) << name.toStdString();
    }
    EXPECT_FALSE(themeNameProblem(QStringLiteral("Тема 'в кавычках' (1)")).has_value());
    EXPECT_FALSE(PackageScript(QStringLiteral("x"), MaxFontNumber + 1).ok());
}

TEST(PackageScript, FontNumbersAreInRangeAndFixedBySeed)
{
    std::set<std::uint32_t> seen;
    for (std::uint64_t seed = 0; seed < 2000; ++seed) {
        const std::uint32_t n = DrawFontNumber(seed);
        EXPECT_LE(n, MaxFontNumber);
        EXPECT_EQ(n, DrawFontNumber(seed));
        seen.insert(n);
    }
    EXPECT_GT(seen.size(), 1900u);
}

TEST(PackageScript, HelloTextHasCrLfBreaksAndNoneAdded)
{
    struct Case {
        QString greeting;
        QByteArray bytes;
    };
    const Case cases[] = {
        {QString(), QByteArray()},
        {QStringLiteral("one"), "one"},
        {QStringLiteral("a\nb\n"), "a\r\nb\r\n"},
        {QStringLiteral("a\r\nb"), "a\r\nb"},
        {QStringLiteral("a\rb\n\nc"), "a\r\nb\r\n\r\nc"},
        {QString::fromUtf16(u"a\u2029b"), "a\r\nb"},
        {QStringLiteral("Привет"), "\xCF\xF0\xE8\xE2\xE5\xF2"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HelloText(c.greeting), c.bytes) << c.greeting.toStdString();
}

TEST(PackageScript, DefaultGreetingIsTheSixLines)
{
    const QString text = DefaultGreeting();
    EXPECT_EQ(text.count(QStringLiteral("\r\n")), 6);
    EXPECT_TRUE(text.endsWith(QStringLiteral("!!!         your phone          !!!\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\r\n--------------------------------\r\n")));
}

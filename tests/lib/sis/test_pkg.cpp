// The package-script parser: encodings, the statement syntax, and that every
// error names its line and what is wrong.

#include "base/cp1251.h"
#include "sis/errors.h"
#include "sis/pkg_parser.h"
#include "sis/pkg_text.h"

#include <gtest/gtest.h>

#include <string>

using namespace kastra;
using namespace kastra::sis;

namespace {

Result<PackageSpec> parseText(std::string_view script)
{
    return parsePackageScript(ByteSpan(reinterpret_cast<const std::uint8_t*>(script.data()), script.size()));
}

Bytes utf16(std::u16string_view s, bool bigEndian)
{
    Bytes b = bigEndian ? Bytes{0xFE, 0xFF} : Bytes{0xFF, 0xFE};
    for (const char16_t u : s) {
        const auto lo = static_cast<std::uint8_t>(u & 0xFF);
        const auto hi = static_cast<std::uint8_t>(u >> 8);
        b.push_back(bigEndian ? hi : lo);
        b.push_back(bigEndian ? lo : hi);
    }
    return b;
}

} // namespace

TEST(PkgParser, EveryEncodingGivesTheSameText)
{
    // A byte-order mark decides; without one the script is Windows-1251
    // unless the caller asks for UTF-8 (makesis --utf8).
    const std::string utf8 = "&RU\r\n#{\"Тема Зима\"},(0x01000000),2,2,1\r\n";
    const std::u16string u16 = utf8ToUtf16(utf8);
    const std::string cp = cp1251::fromUtf8(utf8);
    ASSERT_NE(cp, utf8);
    const std::string bom8 = "\xEF\xBB\xBF" + utf8;
    struct Case {
        Bytes input;
        TextEncoding marklessAs;
        TextEncoding decodedAs;
    };
    const Case cases[] = {
        {Bytes(utf8.begin(), utf8.end()), TextEncoding::Utf8, TextEncoding::Utf8},
        {Bytes(bom8.begin(), bom8.end()), TextEncoding::Windows1251, TextEncoding::Utf8WithBom},
        {Bytes(bom8.begin(), bom8.end()), TextEncoding::Utf8, TextEncoding::Utf8WithBom},
        {Bytes(cp.begin(), cp.end()), TextEncoding::Windows1251, TextEncoding::Windows1251},
        {utf16(u16, false), TextEncoding::Windows1251, TextEncoding::Utf16LE},
        {utf16(u16, true), TextEncoding::Utf8, TextEncoding::Utf16BE},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        EXPECT_EQ(decodeText(c.input, c.marklessAs)->encoding, c.decodedAs) << i;
        auto spec = parsePackageScript(c.input, c.marklessAs);
        ASSERT_TRUE(spec.ok()) << i << ": " << spec.error();
        EXPECT_EQ(spec->names, std::vector<std::u16string>{u"Тема Зима"}) << i;
        EXPECT_EQ(spec->languages, std::vector<std::uint16_t>{16});
    }
}

TEST(PkgParser, MarklessTextIsWindows1251EvenWhenItLooksLikeUtf8)
{
    // "Рё" in Windows-1251 is D0 B8, which is also UTF-8 for "и". Guessing
    // from the bytes would rename the theme.
    struct Case {
        Bytes input;
        TextEncoding marklessAs;
        std::u32string text; // or empty when decoding fails
    };
    const Case cases[] = {
        {{0xD0, 0xB8}, TextEncoding::Windows1251, U"Рё"},
        {{0xD0, 0xB8}, TextEncoding::Utf8, U"и"},
        {{0xEF, 0xBB, 0xBF, 0xD0, 0xB8}, TextEncoding::Windows1251, U"и"},
        {{0xFF, 0xFE, 0x38, 0x04}, TextEncoding::Windows1251, U"и"},
        {{0xC0, 0xE1}, TextEncoding::Windows1251, U"Аб"},
        {{0xC0, 0xE1}, TextEncoding::Utf8, U""},
    };
    for (const Case& c : cases) {
        auto text = decodeText(c.input, c.marklessAs);
        if (c.text.empty()) {
            ASSERT_FALSE(text.ok());
            EXPECT_EQ(text.error(), "line 1: the file is read as UTF-8 (--utf8) but holds bytes that are not UTF-8");
            continue;
        }
        ASSERT_TRUE(text.ok()) << text.error();
        EXPECT_EQ(text->text, c.text);
    }
}

TEST(PkgParser, HeaderNumbersOptionsAndRequisites)
{
    auto spec = parseText("; comment line\n"
                          "&en , Ru\n"
                          "#{\"A\"<0x99>\"B\",\n"
                          "  \"R\"<153>},   ; names may span lines\n"
                          "  (01000000), 0x2, 010, 0xFFFFFFFF, nc, IUNICODE, TYPE=SISPATCH\n"
                          "(0x101F6F88), 0, 0, 0, {\"Series60ProduktID\" , \"x\"}\n"
                          "(1000000), 1, 0, 0, {\"Patched\", \"x\"}\n");
    ASSERT_TRUE(spec.ok()) << spec.error();
    EXPECT_EQ(spec->languages, (std::vector<std::uint16_t>{1, 16}));
    EXPECT_EQ(spec->names, (std::vector<std::u16string>{u"A\u0099B", u"R\u0099"}));
    EXPECT_EQ(spec->uid, 1000000u); // decimal without 0x, leading zeros and all
    EXPECT_EQ(spec->major, 2);
    EXPECT_EQ(spec->minor, 10);
    EXPECT_EQ(spec->build, 0xFFFFFFFFu);
    EXPECT_EQ(spec->options, kOptionUnicode | kOptionNoCompress);
    EXPECT_EQ(spec->type, kTypePatch);
    EXPECT_EQ(spec->headerLine, 3);
    ASSERT_EQ(spec->requisites.size(), 2u);
    EXPECT_EQ(spec->requisites[0].uid, 0x101F6F88u);
    EXPECT_EQ(spec->requisites[0].names[0], u"Series60ProduktID");
    EXPECT_EQ(spec->requisites[0].line, 6);
}

TEST(PkgParser, FileLinesAndTheirDetails)
{
    struct Case {
        const char* line;
        FileType type;
        std::uint32_t details;
    };
    const Case cases[] = {
        {"\"a\"-\"c:\\a\"", kFileStandard, 0},
        {"\"a\"-\"c:\\a\",FF", kFileStandard, 0},
        {"\"a\"-\"\",FT", kFileText, kTextContinue},
        {"\"a\"-\"\",FILETEXT,TEXTSKIP", kFileText, kTextSkip},
        {"\"a\"-\"\",FT,TA", kFileText, kTextAbort},
        {"\"a\"-\"\",TE,FT", kFileText, kTextExit},
        {"\"a\"-\"c:\\a\",FR", kFileRun, kRunInstall},
        {"\"a\"-\"c:\\a\",FR,RI,RW", kFileRun, kRunInstall | kRunWaitEnd},
        {"\"a\"-\"c:\\a\",FR,RR,RW", kFileRun, kRunRemove | kRunWaitEnd},
        {"\"a\"-\"c:\\a\",FILERUN,RUNBOTH,RUNWAITEND,RUNSENDEND", kFileRun, kRunBoth | kRunWaitEnd | kRunSendEnd},
        {"\"\"-\"c:\\a\",FN", kFileNull, 0},
        {"\"a\"-\"c:\\a\",FM,\"image/gif\",RS", kFileMime, kRunSendEnd},
    };
    for (const Case& c : cases) {
        auto spec = parseText(std::string("#{\"n\"},(1),1,0,0\n") + c.line + "\n");
        ASSERT_TRUE(spec.ok()) << c.line << ": " << spec.error();
        ASSERT_EQ(spec->records.size(), 1u);
        EXPECT_EQ(spec->records[0].type, kRecordFile) << c.line;
        EXPECT_EQ(spec->records[0].fileType, c.type) << c.line;
        EXPECT_EQ(spec->records[0].details, c.details) << c.line;
        EXPECT_EQ(spec->records[0].line, 2);
    }
}

TEST(PkgParser, BlocksComponentsAndConditions)
{
    auto spec = parseText("&EN,FR\n#{\"n\",\"m\"},(1),1,0,0\n"
                          "{\"en.txt\"\n \"fr.txt\"}-\"!:\\t.txt\",FT,TA\n"
                          "@\"sub.sis\",(0x10001111)\n"
                          "{@\"a.sis\" @\"b.sis\"},(0x2222)\n"
                          "if not (Language = 2) or exists(\"c:\\f\")\n"
                          "elseif Manufacturer<>-1\n"
                          "else\n"
                          "endif\n");
    ASSERT_TRUE(spec.ok()) << spec.error();
    const auto& r = spec->records;
    ASSERT_EQ(r.size(), 7u);
    EXPECT_EQ(r[0].type, kRecordMultiLanguage);
    EXPECT_EQ(r[0].sources, (std::vector<std::u16string>{u"en.txt", u"fr.txt"}));
    EXPECT_EQ(r[0].details, kTextAbort);
    EXPECT_EQ(r[1].fileType, kFileComponent);
    EXPECT_EQ(r[1].details, 0x10001111u);
    EXPECT_EQ(r[2].type, kRecordMultiLanguage);
    EXPECT_EQ(r[2].fileType, kFileComponent);
    EXPECT_EQ(r[2].details, 0x2222u);
    // NOT binds tighter than OR.
    const Expression& c = r[3].condition;
    ASSERT_EQ(c.type, kExprOr);
    EXPECT_EQ(c.operands[0].type, kExprNot);
    EXPECT_EQ(c.operands[0].operands[0].type, kExprEqual);
    EXPECT_EQ(c.operands[0].operands[0].operands[0].value, 0x1000u);
    EXPECT_EQ(c.operands[0].operands[0].operands[1].value, 2u);
    EXPECT_EQ(c.operands[1].type, kExprExists);
    EXPECT_EQ(c.operands[1].operands[0].text, u"c:\\f");
    EXPECT_EQ(r[4].condition.type, kExprNotEqual);
    EXPECT_EQ(r[4].condition.operands[1].value, 0xFFFFFFFFu);
    EXPECT_EQ(r[5].type, kRecordElse);
}

TEST(PkgParser, ErrorsNameTheLineAndTheProblem)
{
    struct Case {
        std::string script;
        const char* message;
    };
    const Case cases[] = {
        {"\"a\"-\"c:\\a\"\n", "line 1: the installation header"},
        {"&EN\n", "line 1: the installation header"},
        {"&XX\n#{\"n\"},(1),1,0,0\n", "line 1: unknown language code 'XX'"},
        {"&EN,1x\n", "line 1: expected a language number (a number from 0 to 1000"},
        {"#{\"n\"},(1),1,0,0\n&EN\n", "line 2: the languages must be defined before"},
        {"&EN,RU\n#{\"n\"},(1),1,0,0\n", "line 2: 1 component name is given for 2 languages"},
        {"#{\"n\"},(1),1,0,0\n#{\"n\"},(1),1,0,0\n", "line 2: the installation header has already been defined"},
        {"#{\"n\"},(0x123456789),1,0,0\n", "line 1: expected a UID (a number from 0 to 4294967295: decimal up to"},
        {"#{\"n\"},(2147483648),1,0,0\n", "line 1: expected a UID (a number from 0 to 4294967295: decimal up to"},
        {"#{\"n\"},(0x),1,0,0\n", "line 1: expected a UID"},
        {"#{\"n\"},(1),0xFFFF0,0,0\n", "line 1: expected the major version (a number from 0 to 65535, decimal"},
        {"#{\"n\"},(1),65536,0,0\n", "line 1: expected the major version"},
        {"#{\"n\"},(1),1,0,0,XY\n", "line 1: unknown header option 'XY'"},
        {"#{\"n\"},(1),1,0,0,TYPE=QQ\n", "line 1: unknown package type"},
        {"\n#{\"n\"},(1),1,0,0,TYPE=SU\n(2),1,0,0,{\"other\"}\n", "line 2: a TYPE=SC, SP or SU package needs"},
        {"#{\"n},(1),1,0,0\n", "line 1: the string is not closed"},
        {"#{\"n\"<70000>},(1),1,0,0\n", "line 1: the character code <70000>"},
        {"#{\"n\"},(1),1,0,0\n\n\"a\"-\"b\",FT,RI\n", "line 3: RI applies to FR and FM files only"},
        {"#{\"n\"},(1),1,0,0\n\"a\"-\"b\",TA\n", "line 2: TA applies to FT text files only"},
        {"#{\"n\"},(1),1,0,0\n\"a\"-\"b\",FR,RR\n", "line 2: RW (RUNWAITEND) is required"},
        {"#{\"n\"},(1),1,0,0\n\"a\"-\"b\",FR,FT\n", "line 2: a file has one type"},
        {"#{\"n\"},(1),1,0,0\n\"a\"-\"b\",FM\n", "line 2: an FM file needs its MIME type"},
        {"#{\"n\"},(1),1,0,0\n\"a\"-\"b\",FM,\"text/\xC0\"\n", "line 2: the string \"text/"},
        {"#{\"n\"},(1),1,0,0\n\"a\"-\"\"\n", "line 2: the destination file name is empty"},
        {"#{\"n\"},(1),1,0,0\n\"\"-\"c:\\a\"\n", "line 2: the source file name is empty"},
        {"#{\"n\"},(1),1,0,0\n\"a\"-\"b\",ZZ\n", "line 2: unknown file option 'ZZ'"},
        {"#{\"n\"},(1),1,0,0\n\"a\"-\"c:\\x\",FM,\"" + std::string(513, 'm') + "\"\n",
         "line 2: the string is longer than 512 characters"},
        {"#{\"n\"},(1),1,0,0\n\"a\"\"b\"\n", "line 2: expected '-' between source and destination"},
        {"&EN,RU\n#{\"n\",\"m\"},(1),1,0,0\n{\"a\"}-\"b\"\n", "line 3: the language block holds 1 file for 2"},
        {"#{\"n\"},(1),1,0,0\n{\"a\" @\"b\"}-\"c\"\n", "line 2: the language block holds more files"},
        {"#{\"n\"},(1),1,0,0\n@\"a.sis\"\n", "line 2: expected ',' and the component UID"},
        {"#{\"n\"},(1),1,0,0\n(0x12),1,0,0\n", "line 2: expected ',' after the build number"},
        {"#{\"n\"},(1),1,0,0\nIF Colour=1\nENDIF\n", "line 2: unknown condition variable 'Colour'"},
        {"#{\"n\"},(1),1,0,0\nIF Language =\n", "line 2: expected a condition, found the end of the script"},
        {"#{\"n\"},(1),1,0,0\nIF Language = 1 AND\nENDIF\n", "line 3: unknown condition variable 'ENDIF'"},
        {"#{\"n\"},(1),1,0,0\nIF appcap(1)\nENDIF\n", "line 2: expected ',' between the UID"},
        {"#{\"n\"},(1),1,0,0\nIF devcap(\"x\")\nENDIF\n", "line 2: expected a capability number"},
        {"#{\"n\"},(1),1,0,0\n+(1)\n", "line 2: expected '=' after the capability number"},
        {"#{\"n\"},(1),1,0,0\n+(1=2\n", "line 2: expected ')' at the end of the capability line"},
        {"+(1=2)\n", "line 1: the installation header"},
        {"#{\"n\"},(1),1,0,0\n\"a\"-\":\\a\"\n", "line 2: the destination \":\\a\" starts with ':'"},
        {"#{\"n\"},(1),1,0,0\n\"a\"-\"c:a\"\n", "line 2: the destination \"c:a\" has a drive but no backslash"},
        {"#{\"n\"},(1),1,0,0\n\"a\"-\"c:/a\"\n", "line 2: the destination \"c:/a\" has a drive but no backslash"},
        {"#{\"n\"},(1),1,0,0\n{\"a\"}-\"x:\\n\",FN\n", "line 2: a language block cannot hold FN files"},
        {"&1001\n", "line 1: expected a language number (a number from 0 to 1000"},
        {"#{\"n\"},(1),1,0,0\n\"a\"-\"x\n\"\n", "line 2: the string is not closed before the end of the line"},
        {"#{\"n\"},(1),1,0,0\nIF Language=1\n\"a\"-\"c:\\a\"\n", "line 2: IF has no matching ENDIF"},
        {"#{\"n\"},(1),1,0,0\nENDIF\n", "line 2: ENDIF without IF"},
        {"#{\"n\"},(1),1,0,0\nIF Language=1\nELSE\nELSEIF Language=2\n", "line 4: ELSEIF after ELSE"},
        {"#{\"n\"},(1),1,0,0\nIF Language=1\nELSE\nELSE\n", "line 4: a second ELSE"},
        {"#{\"n\"},(1),1,0,0\n*key.key,cert.cer\n", "line 2: signed packages are not supported"},
        {"#{\"n\"},(1),1,0,0\n%{\"vendor\"}\n", "line 2: unexpected '%'"},
        {"#{\"n\"},(1),1,0,0\n\"a\"-\"c:\\a\" ~\n", "line 2: unexpected character '~'"},
        {"\xEF\xBB\xBF#{\"n\"},(1),1,0,0\n\"\xC0\"-\"b\"\n", "line 2: the file starts with a UTF-8 byte-order mark"},
    };
    for (const Case& c : cases) {
        auto spec = parseText(c.script);
        ASSERT_FALSE(spec.ok()) << c.script;
        EXPECT_EQ(spec.error().rfind(c.message, 0), 0u) << "got: " << spec.error() << "\nwant: " << c.message;
    }
}

TEST(PkgParser, HostileScriptsAreBounded)
{
    // Deep nesting, long chains and odd UTF-16 stop with a message, not a crash.
    const std::string header = "#{\"n\"},(1),1,0,0\n";
    EXPECT_FALSE(parseText(header + "IF " + std::string(100000, '(') + "Language=1\n").ok());
    EXPECT_FALSE(parseText(header + "IF " + [] {
                     std::string s = "Language=1";
                     for (int i = 0; i < 5000; ++i)
                         s += " AND Language=1";
                     return s;
                 }() + "\nENDIF\n")
                     .ok());
    std::string nots = header + "IF ";
    for (int i = 0; i < 100000; ++i)
        nots += "NOT ";
    EXPECT_FALSE(parseText(nots + "Language=1\nENDIF\n").ok());
    const Bytes odd = {0xFF, 0xFE, '#', 0, '\n', 0, '{'};
    auto r = parsePackageScript(odd);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error(), "line 2: the file ends in the middle of a UTF-16 character");
    EXPECT_EQ(parsePackageScript(Bytes(kMaxScriptBytes + 1, ' ')).code(), SisError::TooLarge);
}

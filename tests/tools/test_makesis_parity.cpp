// Scripts written for the SDK's makesis build the packages the SDK builds:
// how numbers, conditions, destinations, the installed space, capability
// lines and language lists are read and stored. Each case gives a script, the
// header fields and the record words the SDK's rules give for it, and reads
// the package back with our reader. The expectations were checked once
// against packages built by the SDK's published makesis 2.0 sources; they
// differ from its output only where that build has flaws of its own (unset
// words in condition nodes, temporary paths as source names, lists written
// backwards) or where noted in the cases.

#include "sis/pkg_parser.h"
#include "sis/sis_reader.h"
#include "sis/sis_writer.h"

#include <gtest/gtest.h>

#include <charconv>
#include <functional>
#include <optional>
#include <string>

using namespace kastra;
using namespace kastra::sis;

namespace {

// A word the case does not fix: a pointer into the string or data block.
constexpr std::uint32_t kAny = 0xA5A5A5A5;

// Every case starts from one language and NC, so that stored and original
// sizes are the same.
const std::string kHead = "&EN\n#{\"n\"},(1),1,0,0,NC\n";

struct RecordWant {
    std::vector<std::uint32_t> words; // the record as stored
    std::optional<std::u16string> source, destination;
};

// A simple file record with source and destination of the given lengths in
// characters and a file of size bytes.
RecordWant file(FileType type, std::uint32_t details, std::u16string source, std::u16string destination,
                std::uint32_t size)
{
    const auto src = static_cast<std::uint32_t>(2 * source.size());
    const auto dst = static_cast<std::uint32_t>(2 * destination.size());
    return {{kRecordFile, type, details, src, kAny, dst, kAny, size, kAny, size, 0, kAny},
            std::move(source), std::move(destination)};
}

// An IF or ELSEIF record around the expression words.
RecordWant condition(RecordType type, std::vector<std::uint32_t> expression)
{
    std::vector<std::uint32_t> words = {type, static_cast<std::uint32_t>(4 * expression.size())};
    words.insert(words.end(), expression.begin(), expression.end());
    return {words, std::nullopt, std::nullopt};
}

RecordWant marker(RecordType type)
{
    return {{type}, std::nullopt, std::nullopt};
}

// Expression nodes as the format stores them.
constexpr std::uint32_t kEq = kExprEqual, kAnd = kExprAnd, kOr = kExprOr, kNot = kExprNot, kStr = kExprString,
                        kAttr = kExprAttribute, kNum = kExprNumber, kLanguage = 0x1000;

struct Case {
    const char* what;
    std::string script;
    std::uint32_t uid1 = 1;
    std::vector<std::uint16_t> languages = {1};
    char16_t drive = u'!';
    std::uint32_t maximumInstalledSpace = 0;
    std::vector<Capability> capabilities = {};
    std::vector<RecordWant> records = {}; // in installation order
    std::function<void(const SisPackage&, const Bytes&)> more = {};
};

// The files a case packs hold as many bytes as their name's leading number
// ("10.a" is 10 bytes), or their name's own bytes.
Bytes contentsOf(std::u16string_view source)
{
    std::string name;
    for (const char16_t c : source)
        name += static_cast<char>(c);
    std::size_t size = 0;
    const auto [end, ec] = std::from_chars(name.data(), name.data() + name.size(), size);
    if (ec == std::errc() && end != name.data())
        return Bytes(size, 'd');
    return Bytes(name.begin(), name.end());
}

Result<Bytes> buildCase(const std::string& script)
{
    auto spec = parsePackageScript(ByteSpan(reinterpret_cast<const std::uint8_t*>(script.data()), script.size()));
    if (!spec)
        return fail(spec.error());
    for (PackageRecord& r : spec->records)
        if ((r.type == kRecordFile || r.type == kRecordMultiLanguage) && r.fileType != kFileNull)
            for (const auto& s : r.sources)
                r.contents.push_back(contentsOf(s));
    return writeSis(*spec);
}

std::u16string stringAt(const Bytes& sis, std::uint32_t length, std::uint32_t pointer)
{
    std::u16string s;
    for (std::uint32_t i = 0; i + 1 < length && pointer + i + 1 < sis.size(); i += 2)
        s += static_cast<char16_t>(sis[pointer + i] | (sis[pointer + i + 1] << 8));
    return s;
}

void checkCase(const Case& c)
{
    SCOPED_TRACE(std::string(c.what) + "\n" + c.script);
    auto sis = buildCase(c.script);
    ASSERT_TRUE(sis.ok()) << sis.error();
    const Bytes& b = *sis;
    // Header fields straight from the bytes.
    EXPECT_EQ(le32(b.data() + 0x00), c.uid1);
    EXPECT_EQ(le16(b.data() + 0x12), c.languages.size());
    EXPECT_EQ(le16(b.data() + 0x1C), c.drive);
    EXPECT_EQ(le16(b.data() + 0x1E), c.capabilities.size());
    EXPECT_EQ(le32(b.data() + 0x50), c.maximumInstalledSpace);

    // And back through the reader.
    auto pkg = readSis(b);
    ASSERT_TRUE(pkg.ok()) << pkg.error();
    EXPECT_TRUE(pkg->checksumOk);
    EXPECT_TRUE(pkg->uidChecksumOk);
    EXPECT_TRUE(pkg->problems.empty()) << pkg->problems.front();
    EXPECT_EQ(pkg->uid1, c.uid1);
    EXPECT_EQ(pkg->languages, c.languages);
    EXPECT_EQ(pkg->capabilities, c.capabilities);
    EXPECT_EQ(pkg->maximumInstalledSpace, c.maximumInstalledSpace);
    if (!c.records.empty()) {
        ASSERT_EQ(pkg->records.size(), c.records.size());
        for (std::size_t i = 0; i < c.records.size(); ++i) {
            SCOPED_TRACE("record " + std::to_string(i));
            const SisRecord& got = pkg->records[i];
            const RecordWant& want = c.records[i];
            EXPECT_TRUE(got.damage.empty()) << got.damage;
            ASSERT_LE(got.offset + 4 * want.words.size(), b.size());
            for (std::size_t w = 0; w < want.words.size(); ++w) {
                if (want.words[w] != kAny) {
                    EXPECT_EQ(le32(b.data() + got.offset + 4 * w), want.words[w]) << "word " << w;
                }
            }
            if (want.source) {
                EXPECT_EQ(got.source, *want.source);
            }
            if (want.destination) {
                EXPECT_EQ(got.destination, *want.destination);
            }
        }
    }
    if (c.more)
        c.more(*pkg, b);
}

} // namespace

TEST(MakesisParity, NumbersAreDecimalUnless0x)
{
    const Case cases[] = {
        {"a UID without 0x is decimal", "#{\"n\"},(01000000),2,2,1\n", 1000000, {1}},
        {"the theme's UID in hexadecimal", "#{\"n\"},(0x000F4240),2,2,1\n", 0x000F4240, {1}},
        {"a large decimal UID", "#{\"n\"},(268435457),1,0,0\n", 0x10000001, {1}},
        {"the largest decimal", "#{\"n\"},(2147483647),1,0,0\n", 0x7FFFFFFF, {1}},
        {"the largest UID, in hexadecimal", "#{\"n\"},(0xFFFFFFFF),1,0,0\n", 0xFFFFFFFF, {1}},
        {"versions and requisites", "#{\"n\"},(010),0x2,010,0x10\n(0101),02,0x0A,011,{\"r\"}\n", 10, {1}, u'!', 0,
         {}, {},
         [](const SisPackage& p, const Bytes&) {
             EXPECT_EQ(p.major, 2);
             EXPECT_EQ(p.minor, 10);
             EXPECT_EQ(p.variant, 16u);
             ASSERT_EQ(p.requisites.size(), 1u);
             EXPECT_EQ(p.requisites[0].uid, 101u);
             EXPECT_EQ(p.requisites[0].major, 2);
             EXPECT_EQ(p.requisites[0].minor, 10);
             EXPECT_EQ(p.requisites[0].variant, 11u);
         }},
    };
    for (const Case& c : cases)
        checkCase(c);
}

TEST(MakesisParity, ConditionsGroupFromTheLeft)
{
    const auto attr = [](std::uint32_t id) { return std::vector<std::uint32_t>{kAttr, id, 0}; };
    const auto num = [](std::uint32_t v) { return std::vector<std::uint32_t>{kNum, v, 0}; };
    const auto cat = [](std::initializer_list<std::vector<std::uint32_t>> parts) {
        std::vector<std::uint32_t> all;
        for (const auto& p : parts)
            all.insert(all.end(), p.begin(), p.end());
        return all;
    };
    const RecordWant endIf = marker(kRecordEndIf);
    const Case cases[] = {
        {"OR then AND: (A OR B) AND C",
         kHead + "IF Language=1 OR Language=2 AND MachineUid=0x101F4FC3\nENDIF\n", 1, {1}, u'!', 0, {},
         {condition(kRecordIf, cat({{kAnd, kOr, kEq}, attr(kLanguage), num(1), {kEq}, attr(kLanguage), num(2), {kEq},
                                    attr(5), num(0x101F4FC3)})),
          endIf}},
        {"AND then OR: (A AND B) OR C", kHead + "IF Language=1 AND Language=2 OR Language=3\nENDIF\n", 1, {1}, u'!',
         0, {},
         {condition(kRecordIf, cat({{kOr, kAnd, kEq}, attr(kLanguage), num(1), {kEq}, attr(kLanguage), num(2), {kEq},
                                    attr(kLanguage), num(3)})),
          endIf}},
        {"parentheses still group", kHead + "IF Language=1 OR (Language=2 AND Language=3)\nENDIF\n", 1, {1}, u'!', 0,
         {},
         {condition(kRecordIf, cat({{kOr, kEq}, attr(kLanguage), num(1), {kAnd, kEq}, attr(kLanguage), num(2), {kEq},
                                    attr(kLanguage), num(3)})),
          endIf}},
        {"NOT takes the operand after it", kHead + "IF NOT Language = 1\nENDIF\n", 1, {1}, u'!', 0, {},
         {condition(kRecordIf, cat({{kEq, kNot}, attr(kLanguage), num(1)})), endIf}},
        {"NOT of a parenthesised comparison", kHead + "IF NOT (Language = 1)\nENDIF\n", 1, {1}, u'!', 0, {},
         {condition(kRecordIf, cat({{kNot, kEq}, attr(kLanguage), num(1)})), endIf}},
        {"a bare option", kHead + "IF option1\nENDIF\n", 1, {1}, u'!', 0, {},
         {condition(kRecordIf, attr(0x2001)), endIf}},
        {"a number on the left", kHead + "IF 1 = Language\nENDIF\n", 1, {1}, u'!', 0, {},
         {condition(kRecordIf, cat({{kEq}, num(1), attr(kLanguage)})), endIf}},
        {"a negative number", kHead + "IF Manufacturer <> -1\nENDIF\n", 1, {1}, u'!', 0, {},
         {condition(kRecordIf, cat({{kExprNotEqual}, attr(0), num(0xFFFFFFFF)})), endIf}},
        {"devcap and appcap", kHead + "IF devcap(5) AND appcap(0x10000001, 3)\nENDIF\n", 1, {1}, u'!', 0, {},
         {condition(kRecordIf, cat({{kAnd, kExprDevCap}, num(5), {kExprAppCap}, num(0x10000001), num(3)})),
          endIf}},
        {"a string comparison", kHead + "IF Manufacturer = \"Nokia\"\nELSEIF exists(\"c:\\f\")\nENDIF\n", 1, {1},
         u'!', 0, {},
         // Records are stored last to first (ENDIF, ELSEIF, IF: 64 bytes from
         // 0x66), the strings follow the component name record at 0xA6 in
         // record order: "c:\f" at 0xAE, "Nokia" at 0xB6.
         {condition(kRecordIf, {kEq, kAttr, 0, 0, kStr, 10, 0xB6}),
          condition(kRecordElseIf, {kExprExists, kStr, 8, 0xAE}), endIf},
         [](const SisPackage& p, const Bytes& b) {
             // The string nodes point at their text.
             const std::uint32_t at = p.records[0].offset + 8;
             EXPECT_EQ(stringAt(b, le32(b.data() + at + 20), le32(b.data() + at + 24)), u"Nokia");
             const std::uint32_t at2 = p.records[1].offset + 8;
             EXPECT_EQ(stringAt(b, le32(b.data() + at2 + 8), le32(b.data() + at2 + 12)), u"c:\\f");
         }},
    };
    for (const Case& c : cases)
        checkCase(c);
}

TEST(MakesisParity, DestinationsAndTheInstallationDrive)
{
    const Case cases[] = {
        {"no drive: c:\\ in front", kHead + "\"1.a\"-\"system\\apps\\a.app\"\n", 1, {1}, u'c', 1, {},
         {file(kFileStandard, 0, u"1.a", u"c:\\system\\apps\\a.app", 1)}},
        // The SDK's makesis would store "c:\\system\a" (two backslashes), a
        // name no handset takes; only the drive is put in front.
        {"a leading backslash: c: in front", kHead + "\"1.a\"-\"\\system\\a\"\n", 1, {1}, u'c', 1, {},
         {file(kFileStandard, 0, u"1.a", u"c:\\system\\a", 1)}},
        {"the user's drive and C: differ", kHead + "\"1.a\"-\"!:\\a\"\n\"2.b\"-\"b\"\n", 1, {1}, u'!', 3, {},
         {file(kFileStandard, 0, u"1.a", u"!:\\a", 1), file(kFileStandard, 0, u"2.b", u"c:\\b", 2)}},
        // The SDK's makesis compares the letters as they are and would write '!'.
        {"mixed-case letters are one drive", kHead + "\"1.a\"-\"E:\\a\"\n\"2.b\"-\"e:\\b\"\n", 1, {1}, u'E', 3, {},
         {file(kFileStandard, 0, u"1.a", u"E:\\a", 1), file(kFileStandard, 0, u"2.b", u"e:\\b", 2)}},
        {"a shown text has no destination and no drive",
         kHead + "\"10.t\"-\"c:\\readme.txt\",FT,TA\n\"3.b\"-\"e:\\b\"\n", 1, {1}, u'e', 3, {},
         {file(kFileText, kTextAbort, u"10.t", u"", 10), file(kFileStandard, 0, u"3.b", u"e:\\b", 3)}},
        {"a shown text without TC, TS, TA or TE goes to c:\\", kHead + "\"10.t\"-\"\",FT\n\"3.b\"-\"e:\\b\"\n", 1,
         {1}, u'!', 3, {},
         {file(kFileText, kTextContinue, u"10.t", u"c:\\", 10), file(kFileStandard, 0, u"3.b", u"e:\\b", 3)}},
        {"a language block of texts keeps its destination",
         "&EN,RU\n#{\"n\",\"m\"},(1),1,0,0,NC\n{\"1.a\" \"2.b\"}-\"e:\\x.txt\",FT,TA\n", 1, {1, 16}, u'e', 0, {},
         {{{kRecordMultiLanguage, kFileText, kTextAbort, 6, kAny, 16, kAny, 1, 2, kAny, kAny, 1, 2, 0, kAny}, u"1.a",
           u"e:\\x.txt"}}},
        {"FN carries no source name", kHead + "\"ghost.ini\"-\"c:\\ghost.ini\",FN\n", 1, {1}, u'c', 0, {},
         {{{kRecordFile, kFileNull, 0, 0, kAny, 24, kAny, 0, kAny, 0, 0, kAny}, u"", u"c:\\ghost.ini"}}},
        {"a language block's destination", "&EN,RU\n#{\"n\",\"m\"},(1),1,0,0,NC\n{\"1.a\" \"2.b\"}-\"x.rsc\"\n", 1,
         {1, 16}, u'c', 3, {},
         {{{kRecordMultiLanguage, kFileStandard, 0, 6, kAny, 16, kAny, 1, 2, kAny, kAny, 1, 2, 0, kAny}, u"1.a",
           u"c:\\x.rsc"}}},
    };
    for (const Case& c : cases)
        checkCase(c);
}

TEST(MakesisParity, MaximumInstalledSpace)
{
    const Case cases[] = {
        {"an IF block counts its largest branch",
         kHead + "IF Language=1\n\"10.a\"-\"c:\\a\"\n\"20.b\"-\"c:\\b\"\nELSEIF Language=2\n\"50.c\"-\"c:\\c\"\n"
                 "ELSE\n\"5.d\"-\"c:\\d\"\nENDIF\n\"7.e\"-\"c:\\e\"\n",
         1, {1}, u'c', 57},
        {"nested blocks", kHead + "IF Language=1\n\"10.a\"-\"c:\\a\"\nIF Language=2\n\"40.b\"-\"c:\\b\"\nELSE\n"
                                  "\"5.c\"-\"c:\\c\"\nENDIF\nELSE\n\"45.d\"-\"c:\\d\"\nENDIF\n",
         1, {1}, u'c', 50},
        {"an IF without ELSE", kHead + "IF Language=1\n\"10.a\"-\"c:\\a\"\nENDIF\n\"3.b\"-\"c:\\b\"\n", 1, {1}, u'c',
         13},
        {"a language block counts every language's file",
         "&EN,RU\n#{\"n\",\"m\"},(1),1,0,0,NC\n{\"10.a\" \"20.b\"}-\"c:\\x\"\n", 1, {1, 16}, u'c', 30},
        {"FM, FT and FN files do not count",
         kHead + "\"10.a\"-\"c:\\a\",FM,\"text/plain\"\n\"20.t\"-\"\",FT\n\"\"-\"c:\\n\",FN\n\"3.b\"-\"c:\\b\"\n", 1,
         {1}, u'c', 3},
    };
    for (const Case& c : cases)
        checkCase(c);
}

TEST(MakesisParity, LinesTheSdkAccepts)
{
    const Case cases[] = {
        {"numeric language codes", "&1,16\n#{\"e\",\"r\"},(1),1,0,0\n", 1, {1, 16}},
        {"numbers and letters mixed", "&EN,0x10,RU\n#{\"e\",\"r\",\"s\"},(1),1,0,0\n", 1, {1, 16, 16}},
        {"a repeated language", "&EN,EN\n#{\"a\",\"b\"},(1),1,0,0\n", 1, {1, 1}},
        {"the SDK's abbreviations: SF, SW and SH", "&SF,sw,SH,1000\n#{\"a\",\"b\",\"c\",\"d\"},(1),1,0,0\n", 1,
         {11, 6, 84, 1000}},
        {"a capability line", kHead + "+(1=2)\n", 1, {1}, u'!', 0, {{1, 2}}},
        {"an FM file's MIME type is 8-bit text", kHead + "\"10.a\"-\"c:\\a\",FM,\"text/plain\",RW\n", 1, {1}, u'c',
         0, {},
         {{{kRecordFile, kFileMime, kRunWaitEnd, 8, kAny, 8, kAny, 10, kAny, 10, 10, kAny}, u"10.a", u"c:\\a"}},
         [](const SisPackage& p, const Bytes& b) {
             EXPECT_EQ(p.records[0].mime, u"text/plain");
             const std::uint32_t at = le32(b.data() + p.records[0].offset + 0x2C);
             EXPECT_EQ(std::string(b.begin() + at, b.begin() + at + 10), "text/plain");
         }},
        {"several capabilities, one negative", kHead + "+(0=1, 0x10=2)\n+(3=-1)\n", 1, {1}, u'!', 0,
         {{0, 1}, {16, 2}, {3, 0xFFFFFFFF}}, {},
         [](const SisPackage& p, const Bytes&) {
             // Between the requisites and the component name, 8 bytes each.
             EXPECT_EQ(p.capabilitiesPointer, p.requisitesPointer);
             EXPECT_EQ(p.componentNamePointer, p.capabilitiesPointer + 24);
             EXPECT_EQ(p.componentNames, std::vector<std::u16string>{u"n"});
         }},
    };
    for (const Case& c : cases)
        checkCase(c);
}

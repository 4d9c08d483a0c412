// SIS writing and reading: checksums, the exact bytes of a known package,
// round trips of every record kind, Release 5 input, and hostile packages.

#include "base/crc16.h"
#include "sis/errors.h"
#include "sis/pkg_parser.h"
#include "sis/pkg_text.h"
#include "sis/sis_extract.h"
#include "sis/sis_reader.h"
#include "sis/sis_writer.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

using namespace kastra;
using namespace kastra::sis;

namespace {

Bytes asBytes(std::string_view s)
{
    return Bytes(s.begin(), s.end());
}

PackageSpec parse(std::string_view script)
{
    auto spec = parsePackageScript(ByteSpan(reinterpret_cast<const std::uint8_t*>(script.data()), script.size()));
    EXPECT_TRUE(spec.ok()) << (spec.ok() ? "" : spec.error());
    return spec.ok() ? std::move(*spec) : PackageSpec{};
}

// Gives every file record the contents {name of its first source}, repeated.
void fillContents(PackageSpec& spec, std::size_t repeat = 1)
{
    for (PackageRecord& r : spec.records) {
        if ((r.type != kRecordFile && r.type != kRecordMultiLanguage) || r.fileType == kFileNull)
            continue;
        for (const auto& s : r.sources) {
            std::string text;
            for (std::size_t i = 0; i < repeat; ++i)
                text += toUtf8(s) + ";";
            r.contents.push_back(asBytes(text));
        }
    }
}

Bytes build(std::string_view script, std::size_t repeat = 1)
{
    PackageSpec spec = parse(script);
    fillContents(spec, repeat);
    auto sis = writeSis(spec);
    EXPECT_TRUE(sis.ok()) << (sis.ok() ? "" : sis.error());
    return sis.ok() ? std::move(*sis) : Bytes{};
}

void put32(Bytes& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

void fixChecksum(Bytes& b)
{
    const std::uint16_t crc = crc16(ByteSpan(b).subspan(18), crc16(ByteSpan(b).first(16)));
    b[16] = static_cast<std::uint8_t>(crc);
    b[17] = static_cast<std::uint8_t>(crc >> 8);
}

// The minimal package worked out by hand from the format's rules: one
// language, one 7-byte file, NC; strings in the SDK's makesis order (the
// record's names, then the component name).
const Bytes kWorkedExample = {
    0x01, 0x00, 0x00, 0x10, 0x12, 0x3a, 0x00, 0x10, 0x19, 0x04, 0x00, 0x10, 0x84, 0x0a, 0x8e, 0xdd, 0xf9, 0x84,
    0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x21, 0x00, 0x00, 0x00, 0xc8, 0x00, 0x00, 0x00,
    0x09, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x64, 0x00, 0x00, 0x00, 0x66, 0x00,
    0x00, 0x00, 0x96, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x96, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x96, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0a, 0x00, 0x00, 0x00, 0x9e, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00,
    0xa8, 0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00, 0xc0, 0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0xb8, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0xb8, 0x00, 0x00, 0x00, 0x61, 0x00, 0x2e, 0x00,
    0x74, 0x00, 0x78, 0x00, 0x74, 0x00, 0x21, 0x00, 0x3a, 0x00, 0x5c, 0x00, 0x61, 0x00, 0x2e, 0x00, 0x74, 0x00,
    0x78, 0x00, 0x74, 0x00, 0x54, 0x00, 0x65, 0x00, 0x73, 0x00, 0x74, 0x00, 0x48, 0x65, 0x6c, 0x6c, 0x6f, 0x0d,
    0x0a,
};

constexpr std::string_view kWorkedScript = "&EN\r\n#{\"Test\"},(0x10000001),1,0,0,NC\r\n\"a.txt\"-\"!:\\a.txt\"\r\n";

Bytes workedExample(std::string_view script)
{
    PackageSpec spec = parse(script);
    spec.records.at(0).contents.push_back(asBytes("Hello\r\n"));
    auto sis = writeSis(spec);
    EXPECT_TRUE(sis.ok());
    return sis.ok() ? *sis : Bytes{};
}

} // namespace

TEST(SisChecksum, Crc16AndUid4MatchTheFormat)
{
    EXPECT_EQ(crc16(asBytes("123456789")), 0x31C3);
    EXPECT_EQ(crc16(Bytes{}), 0);
    // Fed in pieces, the CRC is the same.
    EXPECT_EQ(crc16(asBytes("6789"), crc16(asBytes("12345"))), 0x31C3);
    EXPECT_EQ(uidChecksum(0x10000001, 0x10003A12, 0x10000419), 0xDD8E0A84u);
}

TEST(SisWriter, WorkedExampleIsByteExact)
{
    ASSERT_EQ(kWorkedExample.size(), 199u);
    EXPECT_EQ(workedExample(kWorkedScript), kWorkedExample);
}

TEST(SisWriter, CompressedWorkedExampleDiffersOnlyInDataAndSizes)
{
    const std::string script = "&EN\r\n#{\"Test\"},(0x10000001),1,0,0\r\n\"a.txt\"-\"!:\\a.txt\"\r\n";
    const Bytes sis = workedExample(script);
    const Bytes hello = asBytes("Hello\r\n");
    Bytes z(compressBound(7));
    uLongf zlen = static_cast<uLongf>(z.size());
    ASSERT_EQ(compress(z.data(), &zlen, hello.data(), 7), Z_OK);
    z.resize(zlen);

    ASSERT_EQ(sis.size(), 0xC0 + z.size());
    EXPECT_EQ(le16(sis.data() + 0x24), 0x0001); // IU only
    EXPECT_EQ(le32(sis.data() + 0x66 + 0x1C), z.size()); // stored length
    EXPECT_EQ(le32(sis.data() + 0x66 + 0x24), 7u);       // original length
    EXPECT_EQ(Bytes(sis.begin() + 0xC0, sis.end()), z);
    EXPECT_EQ(le16(sis.data() + 0x10), crc16(ByteSpan(sis).subspan(18), crc16(ByteSpan(sis).first(16))));
    // Everything before the data except checksum and options is unchanged.
    for (std::size_t i = 0; i < 0xC0; ++i) {
        if (i != 0x10 && i != 0x11 && i != 0x24 && i != 0x66 + 0x1C) {
            EXPECT_EQ(sis[i], kWorkedExample[i]) << "offset " << i;
        }
    }
}

TEST(SisReader, ReadsTheWorkedExample)
{
    auto pkg = readSis(kWorkedExample);
    ASSERT_TRUE(pkg.ok()) << pkg.error();
    EXPECT_TRUE(pkg->release6);
    EXPECT_TRUE(pkg->uidChecksumOk);
    EXPECT_TRUE(pkg->checksumOk);
    EXPECT_TRUE(pkg->problems.empty());
    EXPECT_EQ(pkg->uid1, 0x10000001u);
    EXPECT_EQ(pkg->languages, std::vector<std::uint16_t>{1});
    EXPECT_EQ(pkg->componentNames, std::vector<std::u16string>{u"Test"});
    EXPECT_EQ(pkg->installationDrive, u'!');
    EXPECT_EQ(pkg->maximumInstalledSpace, 7u);
    ASSERT_EQ(pkg->records.size(), 1u);
    const SisRecord& r = pkg->records[0];
    EXPECT_EQ(r.source, u"a.txt");
    EXPECT_EQ(r.destination, u"!:\\a.txt");
    auto data = readData(kWorkedExample, *pkg, r.blocks.at(0));
    ASSERT_TRUE(data.ok());
    EXPECT_EQ(*data, asBytes("Hello\r\n"));
}

TEST(SisReader, ChecksumMismatchIsReportedNotFatal)
{
    Bytes sis = kWorkedExample;
    sis[0xC0] = 'J'; // "Jello"
    auto pkg = readSis(sis);
    ASSERT_TRUE(pkg.ok());
    EXPECT_FALSE(pkg->checksumOk);
    EXPECT_TRUE(pkg->uidChecksumOk);
    EXPECT_EQ(readData(sis, *pkg, pkg->records[0].blocks[0])->at(0), 'J');
    sis[12] ^= 1;
    pkg = readSis(sis);
    ASSERT_TRUE(pkg.ok());
    EXPECT_FALSE(pkg->uidChecksumOk);
}

TEST(SisWriter, EveryRecordKindRoundTrips)
{
    const std::string script =
        "&EN,RU\n"
        "#{\"Demo\",\"Demo-RU\"},(0x10005555),3,14,7,TYPE=SY,SH\n"
        "(0x101F6F88),1,2,3,{\"Platform\",\"Platform-RU\"}\n"
        "\"license.txt\"-\"\",FT,TS\n"
        "!({\"Extra\",\"Extra-RU\"},{\"More\",\"More-RU\"})\n"
        "IF (MachineUid=0x101F466A) AND NOT(EXISTS \"c:\\flag\")\n"
        "  {\"en.rsc\" \"ru.rsc\"}-\"!:\\system\\apps\\demo\\demo.rsc\"\n"
        "ELSEIF Option1=1\n"
        "  \"run.exe\"-\"!:\\system\\apps\\demo\\run.exe\",FR,RB,RW,RS\n"
        "ELSE\n"
        "  \"page.html\"-\"!:\\page.html\",FM,\"text/html\",RW\n"
        "ENDIF\n"
        "\"\"-\"!:\\system\\data\\demo.ini\",FN\n";
    const Bytes sis = build(script, 50);
    auto pkg = readSis(sis);
    ASSERT_TRUE(pkg.ok()) << pkg.error();
    EXPECT_TRUE(pkg->checksumOk);
    EXPECT_TRUE(pkg->problems.empty());
    EXPECT_EQ(pkg->languages, (std::vector<std::uint16_t>{1, 16}));
    EXPECT_EQ(pkg->componentNames, (std::vector<std::u16string>{u"Demo", u"Demo-RU"}));
    EXPECT_EQ(pkg->options, kOptionUnicode | kOptionShutdownApps);
    EXPECT_EQ(pkg->type, kTypeSystem);
    EXPECT_EQ(pkg->major, 3);
    EXPECT_EQ(pkg->minor, 14);
    EXPECT_EQ(pkg->variant, 7u);
    ASSERT_EQ(pkg->requisites.size(), 1u);
    EXPECT_EQ(pkg->requisites[0].uid, 0x101F6F88u);
    EXPECT_EQ(pkg->requisites[0].names, (std::vector<std::u16string>{u"Platform", u"Platform-RU"}));

    const std::vector<RecordType> types = {kRecordFile, kRecordOptions, kRecordIf,  kRecordMultiLanguage,
                                           kRecordElseIf, kRecordFile,  kRecordElse, kRecordFile,
                                           kRecordEndIf, kRecordFile};
    ASSERT_EQ(pkg->records.size(), types.size());
    for (std::size_t i = 0; i < types.size(); ++i)
        EXPECT_EQ(pkg->records[i].type, types[i]) << "record " << i;
    // Stored in reverse: the last record of the script comes first.
    EXPECT_EQ(pkg->records.back().offset, pkg->filesPointer);

    EXPECT_EQ(pkg->records[0].fileType, kFileText);
    EXPECT_EQ(pkg->records[0].details, kTextSkip);
    EXPECT_EQ(pkg->records[1].optionCount, 2u);
    // (attr = num) AND NOT(EXISTS str): 4 + (4+12+12) + (4 + (4+12)).
    EXPECT_EQ(pkg->records[2].expressionSize, 52u);
    const SisRecord& block = pkg->records[3];
    ASSERT_EQ(block.blocks.size(), 2u);
    std::string en, ru;
    for (int i = 0; i < 50; ++i) {
        en += "en.rsc;";
        ru += "ru.rsc;";
    }
    EXPECT_EQ(*readData(sis, *pkg, block.blocks[0]), asBytes(en));
    EXPECT_EQ(*readData(sis, *pkg, block.blocks[1]), asBytes(ru));
    EXPECT_EQ(pkg->records[5].details, kRunBoth | kRunWaitEnd | kRunSendEnd);
    EXPECT_EQ(pkg->records[7].fileType, kFileMime);
    EXPECT_EQ(pkg->records[7].mime, u"text/html");
    EXPECT_EQ(pkg->records[7].details, kRunWaitEnd);
    EXPECT_EQ(pkg->records[9].fileType, kFileNull);
    EXPECT_EQ(pkg->records[9].blocks.at(0).storedLength, 0u);
    // Text, FN and FM files do not count; of the IF block only its largest
    // branch does: the language block with both languages' files.
    EXPECT_EQ(pkg->maximumInstalledSpace, en.size() + ru.size());
}

TEST(SisWriter, InstallationDriveRule)
{
    struct Case {
        std::vector<std::u16string> destinations;
        char16_t drive;
    };
    const Case cases[] = {
        {{u"c:\\a", u"c:\\b", u""}, u'c'},
        {{u"C:\\a", u"c:\\b"}, u'C'},
        {{u"c:\\a", u"e:\\b"}, u'!'},
        {{u"!:\\a", u"!:\\b"}, u'!'},
        {{u"\\system\\a"}, u'!'},
        {{u""}, u'!'},
        {{}, u'!'},
    };
    for (const Case& c : cases) {
        PackageSpec spec;
        for (const auto& d : c.destinations) {
            PackageRecord r;
            r.destination = d;
            r.fileType = d.empty() ? kFileText : kFileStandard;
            spec.records.push_back(r);
        }
        EXPECT_EQ(installationDrive(spec), c.drive);
    }
}

TEST(SisWriter, RefusesInconsistentDescriptions)
{
    PackageSpec spec = parse("&EN,RU\n#{\"a\",\"b\"},(1),1,0,0\n\"x\"-\"c:\\x\"\n");
    auto missing = writeSis(spec); // no contents
    EXPECT_EQ(missing.code(), SisError::BadArgument);
    spec.records[0].contents.push_back(Bytes{1});
    EXPECT_TRUE(writeSis(spec).ok());
    spec.names.pop_back();
    EXPECT_EQ(writeSis(spec).code(), SisError::BadArgument);
}

TEST(SisReader, ReadsRelease5Packages)
{
    // ER5: 0x44-byte header, 8-bit names, records without original lengths,
    // data never compressed.
    Bytes b(0x44, 0);
    put32(b, 0, 0x10001234);
    put32(b, 4, kUid2Er5);
    put32(b, 8, kUid3);
    put32(b, 12, uidChecksum(0x10001234, kUid2Er5, kUid3));
    b[0x12] = 1; // languages
    b[0x14] = 1; // files
    put32(b, 0x30, 0x44);
    put32(b, 0x34, 0x46);
    b.push_back(1); // EN
    b.push_back(0);
    // Record at 0x46, 36 bytes: type, file type, details, src, dst, len, ptr.
    const std::size_t rec = b.size();
    b.resize(rec + 36, 0);
    const std::size_t names = b.size();
    const std::string src = "caf\xE9.txt"; // é in Windows-1252
    const std::string dst = "C:\\caf\xE9.txt";
    b.insert(b.end(), src.begin(), src.end());
    b.insert(b.end(), dst.begin(), dst.end());
    const std::size_t data = b.size();
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    put32(b, rec + 12, static_cast<std::uint32_t>(src.size()));
    put32(b, rec + 16, static_cast<std::uint32_t>(names));
    put32(b, rec + 20, static_cast<std::uint32_t>(dst.size()));
    put32(b, rec + 24, static_cast<std::uint32_t>(names + src.size()));
    put32(b, rec + 28, 4);
    put32(b, rec + 32, static_cast<std::uint32_t>(data));
    put32(b, 0x38, static_cast<std::uint32_t>(names)); // no requisites
    put32(b, 0x40, static_cast<std::uint32_t>(b.size()));
    b.resize(b.size() + 8, 0); // empty component name
    fixChecksum(b);

    auto pkg = readSis(b);
    ASSERT_TRUE(pkg.ok()) << pkg.error();
    EXPECT_FALSE(pkg->release6);
    EXPECT_TRUE(pkg->checksumOk);
    EXPECT_TRUE(pkg->problems.empty()) << pkg->problems.front();
    ASSERT_EQ(pkg->records.size(), 1u);
    EXPECT_EQ(pkg->records[0].source, u"caf\u00E9.txt");
    EXPECT_EQ(pkg->records[0].destination, u"C:\\caf\u00E9.txt");
    EXPECT_EQ(*readData(b, *pkg, pkg->records[0].blocks[0]), asBytes("data"));
}

TEST(SisReader, HostilePackagesFailCleanly)
{
    const Bytes good = build("&EN\n#{\"T\"},(1),1,0,0\n\"a.txt\"-\"c:\\a.txt\"\n\"b.txt\"-\"c:\\b.txt\"\n", 100);
    auto goodPkg = readSis(good);
    ASSERT_TRUE(goodPkg.ok());
    const std::size_t rec0 = goodPkg->filesPointer;           // b.txt (stored first)
    const std::size_t rec1 = goodPkg->filesPointer + 48;      // a.txt

    struct Case {
        const char* name;
        std::function<void(Bytes&)> mutate;
        bool readable;        // readSis succeeds
        const char* damage;   // expected in some record's damage, problem or readData error
    };
    const Case cases[] = {
        {"not a sis", [](Bytes& b) { b[8] = 0; }, false, ""},
        {"unknown release", [](Bytes& b) { put32(b, 4, 0x12345678); }, false, ""},
        {"header cut off", [](Bytes& b) { b.resize(0x50); }, false, ""},
        {"files pointer past the end", [](Bytes& b) { put32(b, 0x34, 0xFFFFFFF0); }, true, "outside"},
        {"huge file count", [](Bytes& b) { b[0x14] = 0xFF; b[0x15] = 0xFF; }, true, "record"},
        {"huge language count", [](Bytes& b) { b[0x12] = 0xFF; b[0x13] = 0xFF; }, true, "outside"},
        {"name pointer past the end", [&](Bytes& b) { put32(b, rec0 + 0x10, 0xFFFFFFFE); }, true, "outside"},
        {"name longer than any name", [&](Bytes& b) { put32(b, rec0 + 0x0C, 0x7FFFFFFF); }, true, "longer"},
        {"data length past the end", [&](Bytes& b) { put32(b, rec1 + 0x1C, 0xFFFFFFFF); }, true, "outside"},
        {"data pointer wraps", [&](Bytes& b) { put32(b, rec1 + 0x20, 0xFFFFFFFF); }, true, "outside"},
        {"declares 4 GiB", [&](Bytes& b) { put32(b, rec1 + 0x24, 0xFFFFFFFF); }, true, "declares"},
        {"declares more than zlib can make", [&](Bytes& b) { put32(b, rec1 + 0x24, 1024 * 1024); }, true,
         "more than zlib"},
        {"inflates beyond its length", [&](Bytes& b) { put32(b, rec1 + 0x24, 10); }, true, "more than its declared"},
        {"inflates short", [&](Bytes& b) { put32(b, rec1 + 0x24, 5000); }, true, "fewer"},
        {"broken stream",
         [&](Bytes& b) {
             const std::uint32_t at = le32(b.data() + rec1 + 0x20);
             for (std::uint32_t i = 2; i < 12; ++i)
                 b[at + i] = 0xFF;
         },
         true, "damaged"},
        {"unknown record type", [&](Bytes& b) { put32(b, rec0, 99); }, true, "unknown type"},
        {"expression past the end", [&](Bytes& b) { put32(b, rec0, kRecordIf); put32(b, rec0 + 4, 0x7FFFFFFF); },
         true, "cut off"},
        {"options past the end", [&](Bytes& b) { put32(b, rec0, kRecordOptions); put32(b, rec0 + 4, 0xFFFFFFFF); },
         true, "cut off"},
        {"requisites outside", [](Bytes& b) { b[0x16] = 5; put32(b, 0x38, 0xFFFFFF00); }, true, "requisites"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes b = good;
        c.mutate(b);
        auto pkg = readSis(b);
        ASSERT_EQ(pkg.ok(), c.readable) << (pkg.ok() ? "" : pkg.error());
        if (!pkg.ok())
            continue;
        std::string all;
        for (const auto& p : pkg->problems)
            all += p + "\n";
        for (const SisRecord& r : pkg->records) {
            all += r.damage + "\n";
            if (r.damage.empty())
                for (const DataBlock& blk : r.blocks) {
                    auto d = readData(b, *pkg, blk);
                    if (!d)
                        all += d.error() + "\n";
                }
        }
        EXPECT_NE(all.find(c.damage), std::string::npos) << all;
    }
}

TEST(SisReader, EveryTruncationIsHandled)
{
    const Bytes good = build("&EN,RU\n#{\"T\",\"R\"},(1),1,0,0\n(0x1234),1,0,0,{\"q\",\"r\"}\n"
                             "IF Language=16\n{\"a\" \"b\"}-\"c:\\a\"\nENDIF\n\"c\"-\"c:\\c\",FR,RI\n",
                             20);
    for (std::size_t size = 0; size < good.size(); ++size) {
        const ByteSpan cut = ByteSpan(good).first(size);
        auto pkg = readSis(cut);
        if (!pkg)
            continue;
        bool anyDamage = !pkg->problems.empty() || !pkg->checksumOk;
        for (const SisRecord& r : pkg->records)
            for (const DataBlock& blk : r.blocks)
                if (r.damage.empty() && !readData(cut, *pkg, blk).ok())
                    anyDamage = true;
        EXPECT_TRUE(anyDamage) << "cut at " << size;
    }
}

TEST(SisExtract, OutputNamesAndRefusals)
{
    struct Case {
        std::uint32_t fileType;
        std::u16string source, destination;
        std::u16string name;
        bool safe;
    };
    const Case cases[] = {
        {kFileStandard, u"kde.gdr", u"c:\\system\\fonts\\4242.gdr", u"4242.gdr", true},
        {kFileText, u"Hello.txt", u"", u"Hello.txt", true},
        {kFileRun, u"x\\run.exe", u"c:\\apps\\r.exe", u"r.exe", true},
        {kFileMime, u"a/page.htm", u"", u"page.htm", true},
        {kFileComponent, u"sub\\part.sis", u"", u"part.sis", true},
        {kFileStandard, u"a", u"c:\\dir\\", u"", false},
        {kFileStandard, u"a", u"c:\\..", u"..", false},
        {kFileStandard, u"a", u"c:.", u"c:.", false},
        {kFileStandard, u"a", u"c:evil", u"c:evil", false},
        {kFileStandard, u"a", u"...", u"...", false},
        {kFileStandard, u"a", u"con.txt", u"con.txt", false},
        {kFileStandard, u"a", u"c:\\x\\LPT1", u"LPT1", false},
        {kFileStandard, u"a", u"c:\\x\\a\u0001b", u"a\u0001b", false},
        {kFileStandard, u"a", u"c:\\x\\trailing.", u"trailing.", false},
        {kFileStandard, u"a", u"c:\\x\\what?", u"what?", false},
        {kFileStandard, u"a", u"c:\\x\\\u0444\u0430\u0439\u043B", u"\u0444\u0430\u0439\u043B", true},
    };
    for (const Case& c : cases) {
        SisRecord r;
        r.fileType = c.fileType;
        r.source = c.source;
        r.destination = c.destination;
        EXPECT_EQ(outputName(r), c.name) << toUtf8(c.destination);
        EXPECT_EQ(checkOutputName(c.name).empty(), c.safe) << toUtf8(c.name);
    }
}

TEST(SisExtract, DuplicateNamesKeepEveryFile)
{
    PackageSpec spec = parse("&EN\n#{\"T\"},(1),1,0,0\n\"a\"-\"c:\\x\\same.txt\"\n\"b\"-\"c:\\y\\SAME.txt\"\n"
                             "\"c\"-\"c:\\z\\same.txt\"\n");
    spec.records[0].contents.push_back(asBytes("one"));
    spec.records[1].contents.push_back(asBytes("two"));
    spec.records[2].contents.push_back(asBytes("one"));
    auto sis = writeSis(spec);
    ASSERT_TRUE(sis.ok());
    auto pkg = readSis(*sis);
    ASSERT_TRUE(pkg.ok());
    TempDir dir;
    std::vector<std::string> messages;
    const ExtractSummary s =
        extractPackage(*sis, *pkg, dir.path(), [&](const std::string& m) { messages.push_back(m); });
    EXPECT_EQ(s.written, 2u);
    EXPECT_EQ(s.skipped, 0u);
    EXPECT_EQ(readBytes(dir.path() / "same.txt"), asBytes("one"));
    EXPECT_EQ(readBytes(dir.path() / "SAME(2).txt"), asBytes("two"));
    ASSERT_EQ(messages.size(), 1u);
}

namespace {

// A package of count files of `size` zero bytes each, every record's data
// then pointed at the first record's block when shared (as a hostile packer
// may: makesis never does); NC when stored.
Bytes zeroFiles(int count, std::size_t size, bool shared, bool stored = false)
{
    std::string script = std::string("&EN\n#{\"T\"},(1),1,0,0") + (stored ? ",NC" : "") + "\n";
    for (int i = 0; i < count; ++i)
        script += "\"f" + std::to_string(i) + "\"-\"c:\\f" + std::to_string(i) + "\"\n";
    PackageSpec spec = parse(script);
    for (PackageRecord& r : spec.records)
        r.contents.push_back(Bytes(size, 0));
    Bytes b = *writeSis(spec);
    const std::size_t files = le32(b.data() + 0x34);
    for (int i = 1; shared && i < count; ++i)
        for (std::size_t field : {0x1C, 0x20, 0x24})
            put32(b, files + 48 * static_cast<std::size_t>(i) + field, le32(b.data() + files + field));
    fixChecksum(b);
    return b;
}

} // namespace

// The bounds of the reader at exactly the limit and one past it: the language
// list and a data block against the end of the file, one file's size and all
// files together against the limits. A block shared by many records is
// inflated once and counted once.
TEST(SisReader, BoundsHoldAtTheLimitAndOnePast)
{
    constexpr std::uint32_t kFile = 4096;
    // over: 0 at the limit, 1 one past it.
    using Edit = std::function<void(Bytes&, ReadLimits&, std::uint32_t over)>;
    const auto fileLimit = [](Bytes&, ReadLimits& l, std::uint32_t over) { l.maxFileBytes = kFile - over; };
    const auto totalLimit = [](std::uint64_t total) {
        return [total](Bytes&, ReadLimits& l, std::uint32_t over) { l.maxTotalDataBytes = total - over; };
    };
    struct Case {
        const char* what;
        Bytes package;
        Edit edit;
        const char* refusal;  // in a problem, a record's damage or a read's error, one past the limit
    };
    const Case cases[] = {
        {"language list against the end", zeroFiles(1, 16, false),
         [](Bytes& b, ReadLimits&, std::uint32_t over) {
             b.resize(b.size() + 2, 0);
             put32(b, 0x30, static_cast<std::uint32_t>(b.size() - 2 + over));
         },
         "language list"},
        {"data block against the end", zeroFiles(1, 16, false, true),
         [](Bytes& b, ReadLimits&, std::uint32_t over) {
             const std::size_t rec = le32(b.data() + 0x34);
             put32(b, rec + 0x1C, static_cast<std::uint32_t>(b.size() - le32(b.data() + rec + 0x20) + over));
         },
         "outside the package"},
        {"one stored file against maxFileBytes", zeroFiles(1, kFile, false, true), fileLimit, "larger than"},
        {"one compressed file against maxFileBytes", zeroFiles(1, kFile, false), fileLimit, "declares"},
        {"three files against the total", zeroFiles(3, kFile, false), totalLimit(3 * kFile), "add up to more than"},
        {"thirty records sharing one block", zeroFiles(30, kFile, true), totalLimit(kFile), "add up to more than"},
    };
    for (const Case& c : cases) {
        for (const std::uint32_t over : {0u, 1u}) {
            SCOPED_TRACE(std::string(c.what) + (over ? ", one past" : ", at the limit"));
            Bytes b = c.package;
            ReadLimits limits;
            c.edit(b, limits, over);
            fixChecksum(b);
            auto pkg = readSis(b, limits);
            ASSERT_TRUE(pkg.ok()) << pkg.error();
            std::string all;
            for (const auto& p : pkg->problems)
                all += p + "\n";
            PackageData data(b, *pkg, limits);
            for (const SisRecord& r : pkg->records) {
                all += r.damage;
                for (const DataBlock& blk : r.blocks)
                    if (auto d = data.read(blk); !d)
                        all += d.error() + "\n";
            }
            if (over) {
                EXPECT_NE(all.find(c.refusal), std::string::npos) << all;
            } else {
                EXPECT_EQ(all, "");
                EXPECT_LE(data.inflatedBytes(), limits.maxTotalDataBytes);
            }
        }
    }
}

// A small package whose records all share one block that declares the
// reader's whole cap and more: refused by its declared size, before anything
// is inflated, and once only.
TEST(SisReader, SharedBlockOverTheCapIsNeverInflated)
{
    Bytes b = zeroFiles(30, 64 * 1024, true);
    auto pkg = readSis(b);
    ASSERT_TRUE(pkg.ok());
    const std::size_t rec = pkg->filesPointer;
    for (std::size_t i = 0; i < 30; ++i)
        put32(b, rec + 48 * i + 0x24, static_cast<std::uint32_t>(kMaxPackageDataBytes + 1));
    pkg = readSis(b);
    ASSERT_TRUE(pkg.ok());
    PackageData data(b, *pkg);
    for (const SisRecord& r : pkg->records) {
        const auto d = data.read(r.blocks.at(0));
        ASSERT_FALSE(d.ok());
        EXPECT_EQ(d.code(), SisError::TooLarge);
    }
    EXPECT_EQ(data.inflatedBytes(), 0u);
}

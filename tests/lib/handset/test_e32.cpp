// Checked UIDs, stream counts and compressed 16-bit text, and E32Image
// executables: exact header fields, checksums, and the reader on hostile
// input.
#include "base/crc16.h"
#include "handset/e32des.h"
#include "handset/e32image.h"
#include "handset/e32uid.h"
#include "handset/errors.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace kastra;
using namespace kastra::e32;
namespace fs = std::filesystem;

TEST(E32Uid, ChecksumsOfKnownFiles)
{
    struct Case {
        Uids uids;
        std::uint32_t checksum;
    };
    const Case cases[] = {
        {{0x10000037, 0x10000042, 0}, 0x47396439},            // every MBM file
        {{0x10000037, 0x10000039, 0}, 0x47393853},            // a font store
        {{0x10000079, 0x100039CE, 0x10005B91}, 0x58D3375A},   // an application
    };
    for (const Case& c : cases) {
        Bytes b;
        ByteWriter w(b);
        writeCheckedUids(w, c.uids);
        ASSERT_EQ(b.size(), 16u);
        EXPECT_EQ(le32(b.data() + 12), c.checksum);
        ByteReader r(b);
        auto back = readCheckedUids(r);
        ASSERT_TRUE(back.ok());
        EXPECT_EQ(*back, c.uids);
    }
}

TEST(E32Uid, MismatchAndShortHeaderAreReported)
{
    Bytes b;
    ByteWriter w(b);
    writeCheckedUids(w, {1, 2, 3});
    b[12] ^= 1;
    ByteReader r(b);
    auto bad = readCheckedUids(r);
    ASSERT_FALSE(bad.ok());
    EXPECT_EQ(bad.code(), HandsetError::Damaged);
    const Bytes shortHeader(15, 0);
    ByteReader s(shortHeader);
    EXPECT_FALSE(readCheckedUids(s).ok());
}

TEST(E32Des, CardinalityEncodings)
{
    struct Case {
        std::uint32_t value;
        Bytes bytes;
    };
    const Case cases[] = {
        {0, {0x00}},
        {28, {0x38}},
        {127, {0xFE}},
        {128, {0x01, 0x02}},
        {16383, {0xFD, 0xFF}},
        {16384, {0x03, 0x00, 0x02, 0x00}},
        {KMaxCardinality, {0xFB, 0xFF, 0xFF, 0xFF}},
    };
    for (const Case& c : cases) {
        Bytes b;
        ByteWriter w(b);
        writeCardinality(w, c.value);
        EXPECT_EQ(b, c.bytes) << c.value;
        ByteReader r(b);
        auto back = readCardinality(r);
        ASSERT_TRUE(back.ok());
        EXPECT_EQ(*back, c.value);
        EXPECT_EQ(r.remaining(), 0u);
        for (std::size_t cut = 0; cut < b.size(); ++cut) {
            ByteReader shortReader(ByteSpan(b).first(cut));
            EXPECT_FALSE(readCardinality(shortReader).ok());
        }
    }
}

TEST(E32Des, EncodesAsciiAsBytesAndTheRestInUnicodeMode)
{
    struct Case {
        std::u16string text;
        Bytes bytes;
    };
    const Case cases[] = {
        {u"Menu", {'M', 'e', 'n', 'u'}},
        {u"", {}},
        {u"Меню", {0x0F, 0x04, 0x1C, 0x04, 0x35, 0x04, 0x3D, 0x04, 0x4E}},
        {u"Menü", {0x0F, 0x00, 'M', 0x00, 'e', 0x00, 'n', 0x00, 0xFC}},
        // Units whose high byte would read as a tag are quoted.
        {u"\uE000\uF2FF\uF300", {0x0F, 0xF0, 0xE0, 0x00, 0xF0, 0xF2, 0xFF, 0xF3, 0x00}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(scsuEncode(c.text), c.bytes) << toUtf8(c.text);
        ByteReader r(c.bytes);
        auto back = scsuDecode(r, c.text.size());
        ASSERT_TRUE(back.ok()) << back.error();
        EXPECT_EQ(*back, c.text);
    }
}

TEST(E32Des, DecodesWindowsQuotesAndDefinitions)
{
    struct Case {
        const char* what;
        Bytes bytes;
        std::u16string text;
    };
    const Case cases[] = {
        {"default window 0 is Latin-1", {'M', 'e', 'n', 0xFC}, u"Menü"},
        {"SC2 selects the Cyrillic window", {0x12, 0x9C, 0xB5, 0xBD, 0xCE}, u"Меню"},
        {"SQ0 quotes from static window 0", {0x01, 0x05, 'a'}, u"\u0005a"},
        {"SQ2 quotes from dynamic window 2", {0x03, 0x9C, 'a'}, u"Мa"},
        {"SD1 defines a window at 0x3000 (0x60 * 0x80)", {0x19, 0x60, 0x81}, u"\u3001"},
        {"SQU quotes one unit", {0x0E, 0x20, 0xAC}, u"\u20AC"},
        {"UC0 goes back to single bytes", {0x0F, 0x04, 0x1C, 0xE0, 'a'}, u"Мa"},
        {"UD2 defines and selects a window", {0x0F, 0xEA, 0x08, 0x9C}, u"М"},
        {"SDX reaches supplementary planes", {0x0B, 0x00, 0x00, 0x80}, u"\U00010000"},
    };
    for (const Case& c : cases) {
        ByteReader r(c.bytes);
        auto back = scsuDecode(r, c.text.size());
        ASSERT_TRUE(back.ok()) << c.what << ": " << back.error();
        EXPECT_EQ(*back, c.text) << c.what;
    }
}

TEST(E32Des, HostileCompressedText)
{
    struct Case {
        const char* what;
        Bytes bytes;
        std::size_t units;
    };
    const Case cases[] = {
        {"input ends before the units", {'a', 'b'}, 3},
        {"reserved tag 0x0C", {0x0C}, 1},
        {"reserved tag 0xF2 in Unicode mode", {0x0F, 0xF2}, 1},
        {"reserved window definition", {0x18, 0x00, 'a'}, 1},
        {"unit cut in half", {0x0F, 0x04}, 1},
        {"quote without its byte", {0x01}, 1},
        {"supplementary character overshoots", {0x0B, 0x00, 0x00, 0x80}, 1},
    };
    for (const Case& c : cases) {
        ByteReader r(c.bytes);
        EXPECT_FALSE(scsuDecode(r, c.units).ok()) << c.what;
    }
}

TEST(E32Des, DescriptorsRoundTripAndAreBounded)
{
    for (const std::u16string& text : {std::u16string(u"Kastra"), std::u16string(u"Менеджер"), std::u16string()}) {
        Bytes b;
        ByteWriter w(b);
        ASSERT_TRUE(writeDes16(w, text).ok());
        EXPECT_EQ(b[0], static_cast<std::uint8_t>(text.size() * 4));
        ByteReader r(b);
        auto back = readDes16(r, 100);
        ASSERT_TRUE(back.ok());
        EXPECT_EQ(*back, text);
    }
    // Narrow text: the flag bit set, bytes as Latin-1.
    const Bytes narrow = {0x0A, 'a', 0xFC};
    ByteReader n(narrow);
    EXPECT_EQ(*readDes16(n, 10), u"aü");
    // A length beyond the limit is refused before anything is built, and so
    // is one beyond the bytes that remain.
    const Bytes huge = {0x03, 0xFF, 0xFF, 0x0F};
    ByteReader h(huge);
    EXPECT_FALSE(readDes16(h, 1000).ok());
    const Bytes tooLong = {0x50, 'a'};
    ByteReader t(tooLong);
    EXPECT_FALSE(readDes16(t, 1000).ok());
    ByteReader limit(tooLong);
    EXPECT_FALSE(readDes16(limit, 5).ok());
}

TEST(E32Des, Utf8Conversions)
{
    EXPECT_EQ(toUtf8(u"Меню ü \U0001F600"), "Меню ü \U0001F600");
    EXPECT_EQ(fromUtf8("Меню ü \U0001F600"), u"Меню ü \U0001F600");
    EXPECT_EQ(fromUtf8("\xFF"), u"\uFFFD");
    EXPECT_EQ(toUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

namespace {

ImageSpec appSpec()
{
    ImageSpec s;
    s.uids = {KDynamicLibraryUid, KUidApp, 0x0A15C001};
    s.text = {0x00, 0x00, 0xA0, 0xE3, 0x0E, 0xF0, 0xA0, 0xE1, 0x00, 0x00, 0xA0, 0xE3, 0x0E, 0xF0, 0xA0, 0xE1};
    s.constData = {'h', 'i', 0};
    s.exports = {8};
    s.time = imageTime(2004, 6, 1);
    return s;
}

Bytes mustWrite(const ImageSpec& s)
{
    auto r = writeImage(s);
    EXPECT_TRUE(r.ok()) << r.error();
    return r.ok() ? *r : Bytes{};
}

std::uint32_t at32(const Bytes& b, std::size_t off)
{
    return le32(b.data() + off);
}

} // namespace

TEST(E32Image, ImageTimeCountsFromYearZero)
{
    EXPECT_EQ(imageTime(2000, 1, 1), std::int64_t{730497} * 86400 * 1000000);
    EXPECT_EQ(imageTime(2000, 3, 1) - imageTime(2000, 2, 1), std::int64_t{29} * 86400 * 1000000);
    EXPECT_EQ(imageTime(2004, 6, 1) - imageTime(2004, 1, 1), std::int64_t{152} * 86400 * 1000000);
}

TEST(E32Image, ApplicationHeaderFieldsAreExact)
{
    const Bytes b = mustWrite(appSpec());
    // Header, 16 bytes of text, 4 of constant data (3 padded), 4 of exports.
    ASSERT_EQ(b.size(), 0x7Cu + 16 + 4 + 4);
    EXPECT_EQ(at32(b, 0x00), KDynamicLibraryUid);
    EXPECT_EQ(at32(b, 0x04), KUidApp);
    EXPECT_EQ(at32(b, 0x08), 0x0A15C001u);
    EXPECT_EQ(at32(b, 0x0C), uidChecksum(KDynamicLibraryUid, KUidApp, 0x0A15C001));
    EXPECT_EQ(std::string(b.begin() + 0x10, b.begin() + 0x14), "EPOC");
    EXPECT_EQ(at32(b, 0x14), KCpuArm);
    // Code: the words of text, constant data and export directory.
    const std::uint32_t sum = 0xE3A00000u + 0xE1A0F00Eu + 0xE3A00000u + 0xE1A0F00Eu + 0x00006968u + 8u;
    EXPECT_EQ(at32(b, 0x18), sum);
    EXPECT_EQ(at32(b, 0x1C), 0u);
    EXPECT_EQ(b[0x20], 1);
    EXPECT_EQ(b[0x21], 0);
    EXPECT_EQ(le16(b.data() + 0x22), 175);
    const std::uint64_t time = at32(b, 0x24) | (std::uint64_t{at32(b, 0x28)} << 32);
    EXPECT_EQ(static_cast<std::int64_t>(time), imageTime(2004, 6, 1));
    EXPECT_EQ(at32(b, 0x2C), KImageDll);
    EXPECT_EQ(at32(b, 0x30), 24u);          // code size
    EXPECT_EQ(at32(b, 0x34), 0u);           // data size
    EXPECT_EQ(at32(b, 0x48), 0u);           // entry point
    EXPECT_EQ(at32(b, 0x4C), 0x10000000u);  // code base
    EXPECT_EQ(at32(b, 0x54), 0u);           // no imports
    EXPECT_EQ(at32(b, 0x58), 0x7Cu + 20);   // export directory
    EXPECT_EQ(at32(b, 0x5C), 1u);
    EXPECT_EQ(at32(b, 0x60), 16u);          // text size
    EXPECT_EQ(at32(b, 0x64), 0x7Cu);        // code offset
    EXPECT_EQ(at32(b, 0x68), 0u);
    EXPECT_EQ(at32(b, 0x6C), 0u);
    EXPECT_EQ(at32(b, 0x70), 0u);
    EXPECT_EQ(at32(b, 0x74), 0u);
    EXPECT_EQ(at32(b, 0x78), 350u);
    EXPECT_EQ(at32(b, 0x7C + 20), 8u);      // ordinal 1

    auto img = readImage(b);
    ASSERT_TRUE(img.ok()) << img.error();
    EXPECT_TRUE(img->isDll());
    EXPECT_EQ(img->exports, std::vector<std::uint32_t>{8});
    EXPECT_EQ(img->header.uids, (Uids{KDynamicLibraryUid, KUidApp, 0x0A15C001}));
    EXPECT_EQ(img->code.size(), 24u);
}

TEST(E32Image, ExecutableHasNoDllFlagAndNoExports)
{
    ImageSpec s;
    s.uids = {KExecutableImageUid, 0, 0};
    s.text = Bytes(8, 0x11);
    const Bytes b = mustWrite(s);
    EXPECT_EQ(at32(b, 0x2C), 0u);
    EXPECT_EQ(at32(b, 0x58), 0u);
    EXPECT_EQ(at32(b, 0x5C), 0u);
    auto img = readImage(b);
    ASSERT_TRUE(img.ok());
    EXPECT_FALSE(img->isDll());
    EXPECT_TRUE(img->exports.empty());
}

TEST(E32Image, WriterRefusesEntryOrExportsOutsideTheCode)
{
    ImageSpec s = appSpec();
    s.entryPoint = 16;
    EXPECT_FALSE(writeImage(s).ok());
    s = appSpec();
    s.exports = {20};
    EXPECT_FALSE(writeImage(s).ok());
}

namespace {

// An image with data, one import block and code and data relocations, laid
// out by hand as the SDK's translator would.
Bytes fullImage()
{
    Bytes code(16, 0);
    code[0] = 0x01;
    const Bytes data = {1, 0, 0, 0, 2, 0, 0, 0};
    Bytes imports;
    {
        ByteWriter w(imports);
        w.i32(0);        // size, patched below
        w.u32(20);       // name offset: after the block
        w.i32(2);        // two ordinals
        w.u32(5);
        w.u32(9);
        for (const char c : std::string("EUSER.DLL"))
            w.u8(static_cast<std::uint8_t>(c));
        w.u8(0);
        while (imports.size() % 4)
            w.u8(0);
        w.patch32(0, static_cast<std::uint32_t>(imports.size()));
    }
    Bytes relocs;
    {
        ByteWriter w(relocs);
        w.i32(12);       // block bytes after this header
        w.i32(1);        // one relocation
        w.u32(0);        // page
        w.u32(12);       // block size: 8 + two entries
        w.u16(0x3004);
        w.u16(0);        // padding entry
    }
    Bytes out;
    ByteWriter w(out);
    writeCheckedUids(w, {KExecutableImageUid, 0, 0});
    const std::uint32_t codeOff = 0x7C;
    const std::uint32_t dataOff = codeOff + 16;
    const std::uint32_t importOff = dataOff + 8;
    const std::uint32_t codeRelocOff = importOff + static_cast<std::uint32_t>(imports.size());
    const std::uint32_t dataRelocOff = codeRelocOff + static_cast<std::uint32_t>(relocs.size());
    w.u32(KImageSignature);
    w.u32(KCpuArm);
    w.u32(wordSum(code));
    w.u32(wordSum(data));
    w.u32(0);
    w.u32(0);
    w.u32(0);
    w.u32(0);                  // flags
    w.i32(16);
    w.i32(8);
    w.i32(0x1000);
    w.i32(0x100000);
    w.i32(0x2000);
    w.i32(4);                  // bss
    w.u32(0);
    w.u32(0x10000000);
    w.u32(0x00400000);
    w.i32(1);                  // one imported DLL
    w.u32(0);
    w.i32(0);
    w.i32(8);                  // text size
    w.u32(codeOff);
    w.u32(dataOff);
    w.u32(importOff);
    w.u32(codeRelocOff);
    w.u32(dataRelocOff);
    w.i32(350);
    w.bytes(code);
    w.bytes(data);
    w.bytes(imports);
    w.bytes(relocs);
    w.bytes(relocs);
    return out;
}

} // namespace

TEST(E32Image, ReadsImportsDataAndRelocations)
{
    const Bytes b = fullImage();
    auto img = readImage(b);
    ASSERT_TRUE(img.ok()) << img.error();
    ASSERT_EQ(img->imports.size(), 1u);
    EXPECT_EQ(img->imports[0].dllName, "EUSER.DLL");
    EXPECT_EQ(img->imports[0].ordinals, (std::vector<std::uint32_t>{5, 9}));
    EXPECT_EQ(img->data, (Bytes{1, 0, 0, 0, 2, 0, 0, 0}));
    EXPECT_EQ(img->codeRelocations, 1u);
    EXPECT_EQ(img->dataRelocations, 1u);
}

TEST(E32Image, HostileImages)
{
    const Bytes good = fullImage();
    ASSERT_TRUE(readImage(good).ok());
    struct Case {
        const char* what;
        std::size_t offset;
        std::uint32_t value;
        HandsetError code;
    };
    const std::uint32_t importOff = 0x7C + 24;
    const std::uint32_t relocOff = importOff + 32;
    const Case cases[] = {
        {"UID checksum", 0x0C, 0, HandsetError::Damaged},
        {"signature", 0x10, 0x12345678, HandsetError::WrongFormat},
        {"code checksum", 0x18, 2, HandsetError::Damaged},
        {"data checksum", 0x1C, 1, HandsetError::Damaged},
        {"deflated", 0x2C, KImageDeflated, HandsetError::Unsupported},
        {"negative code size", 0x30, 0xFFFFFFF0, HandsetError::Damaged},
        {"code past the end", 0x30, 0x10000, HandsetError::Damaged},
        {"code inside the header", 0x64, 0x10, HandsetError::Damaged},
        {"data past the end", 0x34, 0x1000, HandsetError::Damaged},
        {"entry point outside the code", 0x48, 16, HandsetError::Damaged},
        {"text larger than code", 0x60, 20, HandsetError::Damaged},
        {"export directory outside the code", 0x5C, 3, HandsetError::Damaged},
        {"import section past the end", 0x6C, 0x7FFFFFF0, HandsetError::Damaged},
        {"imported DLLs without a section", 0x6C, 0, HandsetError::Damaged},
        {"too many imported DLLs", 0x54, 1000, HandsetError::Damaged},
        {"import size past the end", importOff, 0x1000, HandsetError::Damaged},
        {"ordinal count past the section", importOff + 8, 100, HandsetError::Damaged},
        {"DLL name outside the section", importOff + 4, 500, HandsetError::Damaged},
        {"relocation section past the end", relocOff, 0x1000, HandsetError::Damaged},
        {"relocation count wrong", relocOff + 4, 2, HandsetError::Damaged},
        {"relocation block too small", relocOff + 12, 4, HandsetError::Damaged},
    };
    for (const Case& c : cases) {
        Bytes b = good;
        ByteWriter(b).patch32(c.offset, c.value);
        auto r = readImage(b);
        ASSERT_FALSE(r.ok()) << c.what;
        EXPECT_EQ(r.code(), c.code) << c.what << ": " << r.error();
    }
    // A DLL name without a terminator.
    Bytes unterminated = good;
    const std::size_t nameAt = importOff + 20;
    for (std::size_t i = nameAt; i < importOff + 32; ++i)
        unterminated[i] = 'X';
    EXPECT_FALSE(readImage(unterminated).ok());
    // Every truncation fails cleanly.
    for (std::size_t n = 0; n < good.size(); ++n)
        EXPECT_FALSE(readImage(ByteSpan(good).first(n)).ok()) << n;
}

TEST(E32Image, CrashersFailCleanly)
{
    const auto files = crasherFiles("e32");
    EXPECT_FALSE(files.empty());
    for (const fs::path& f : files)
        EXPECT_FALSE(readImage(readBytes(f)).ok()) << f;
}

// Compiled resource files in the Symbian 6 layout: the writer's exact bytes,
// the field alignment rules, the caption files, and the reader on hostile
// input.
#include "handset/e32des.h"
#include "handset/errors.h"
#include "handset/rsc.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <random>

using namespace kastra;
using namespace kastra::rsc;
namespace fs = std::filesystem;

namespace {

Bytes mustWrite(const Caption& c)
{
    auto r = writeCaptionFile(c);
    EXPECT_TRUE(r.ok()) << r.error();
    return r.ok() ? *r : Bytes{};
}

} // namespace

TEST(Rsc, CaptionFileWorkedExample)
{
    // Caption "Hi", short caption "Hi": the resource starts at file offset
    // 4, so within the resource each count byte sits at an even offset and
    // is followed by one padding byte.
    const Bytes expected = {0x10, 0x00, 0x05, 0x00,                   // index at 16, length 2 * 2 + 1
                            0x02, 0xAB, 'H',  0x00, 'i', 0x00,        // caption
                            0x02, 0xAB, 'H',  0x00, 'i', 0x00,        // short caption
                            0x04, 0x00, 0x10, 0x00};                  // the index
    EXPECT_EQ(mustWrite({u"Hi", u"Hi"}), expected);
}

TEST(Rsc, CaptionFileSizes)
{
    struct Case {
        Caption caption;
        std::size_t size;
    };
    const Case cases[] = {
        {{u"Menu", u""}, 19},
        {{u"Menü", u""}, 19},
        {{u"Меню", u""}, 19},
        {{u"Менеджер", u"Менедж."}, 42},
        {{u"", u""}, 10},
        {{u"A", u"B"}, 16},
    };
    for (const Case& c : cases) {
        const Bytes b = mustWrite(c.caption);
        EXPECT_EQ(b.size(), c.size) << e32::toUtf8(c.caption.caption);
        auto back = readCaptionFile(b);
        ASSERT_TRUE(back.ok()) << back.error();
        EXPECT_EQ(*back, c.caption);
    }
}

TEST(Rsc, RussianManagerCaptionBytes)
{
    const Bytes b = mustWrite({u"Менеджер", u"Менедж."});
    // Header: index at 38, index length 5.
    EXPECT_EQ(le16(b.data()), 38);
    EXPECT_EQ(le16(b.data() + 2), 5);
    // Caption: 8 units after one padding byte; short caption: count byte at
    // resource offset 18 (even), padding, 7 units.
    EXPECT_EQ(b[4], 8);
    EXPECT_EQ(b[5], KPaddingByte);
    EXPECT_EQ(le16(b.data() + 6), 0x041C);   // М
    EXPECT_EQ(b[22], 7);
    EXPECT_EQ(b[23], KPaddingByte);
    EXPECT_EQ(le16(b.data() + 24), 0x041C);
    EXPECT_EQ(le16(b.data() + 36), u'.');
    EXPECT_EQ(le16(b.data() + 38), 4);
    EXPECT_EQ(le16(b.data() + 40), 38);
}

TEST(Rsc, FieldAlignmentIsRelativeToTheResource)
{
    struct Case {
        const char* what;
        void (*build)(ResourceBuilder&);
        Bytes expected;
    };
    const Case cases[] = {
        {"LTEXT at an even offset pads after the count", [](ResourceBuilder& r) { r.ltext(u"A"); },
         {1, 0xAB, 'A', 0}},
        {"LTEXT at an odd offset needs no padding",
         [](ResourceBuilder& r) {
             r.byte(7);
             r.ltext(u"A");
         },
         {7, 1, 'A', 0}},
        {"empty LTEXT is one byte and never padded",
         [](ResourceBuilder& r) {
             r.ltext(u"");
             r.ltext(u"");
         },
         {0, 0}},
        {"TEXT pads to even and ends with a zero unit",
         [](ResourceBuilder& r) {
             r.byte(1);
             r.text(u"Ab");
         },
         {1, 0xAB, 'A', 0, 'b', 0, 0, 0}},
        {"BUF pads to even and has no length",
         [](ResourceBuilder& r) {
             r.byte(1);
             r.buf(u"Z");
         },
         {1, 0xAB, 'Z', 0}},
        {"WORD and LONG are little-endian and unaligned",
         [](ResourceBuilder& r) {
             r.byte(1);
             r.word(0x0302);
             r.dword(0x07060504);
         },
         {1, 2, 3, 4, 5, 6, 7}},
    };
    for (const Case& c : cases) {
        ResourceBuilder r;
        c.build(r);
        auto bytes = r.finish();
        ASSERT_TRUE(bytes.ok()) << c.what;
        EXPECT_EQ(*bytes, c.expected) << c.what;
    }
}

TEST(Rsc, FieldReaderReadsWhatTheBuilderWrote)
{
    ResourceBuilder r;
    r.byte(9);
    r.ltext(u"Привет");
    r.word(0xBEEF);
    r.text(u"text");
    r.dword(0x12345678);
    r.ltext(u"");
    r.buf(u"tail");
    auto bytes = r.finish();
    ASSERT_TRUE(bytes.ok());
    FieldReader f(*bytes);
    EXPECT_EQ(*f.byte(), 9);
    EXPECT_EQ(*f.ltext(), u"Привет");
    EXPECT_EQ(*f.word(), 0xBEEF);
    EXPECT_EQ(*f.text(), u"text");
    EXPECT_EQ(*f.dword(), 0x12345678u);
    EXPECT_EQ(*f.ltext(), u"");
    EXPECT_EQ(*f.bufToEnd(), u"tail");
    EXPECT_TRUE(f.atEnd());
    EXPECT_FALSE(f.byte().ok());
}

TEST(Rsc, WriterRefusesWhatTheFormatCannotHold)
{
    ResourceBuilder r;
    r.ltext(std::u16string(256, u'x'));
    const auto tooLong = r.finish();
    ASSERT_FALSE(tooLong.ok());
    EXPECT_EQ(tooLong.code(), HandsetError::TooLarge);

    ResourceBuilder ok;
    ok.ltext(std::u16string(255, u'x'));
    EXPECT_TRUE(ok.finish().ok());

    // 16-bit offsets: the resources may reach offset 0xFFFF, not beyond.
    EXPECT_TRUE(writeResourceFile({Bytes(0xFFFF - 4, 1)}).ok());
    EXPECT_FALSE(writeResourceFile({Bytes(0xFFFF - 3, 1)}).ok());
    EXPECT_FALSE(writeCaptionFile({std::u16string(300, u'x'), u""}).ok());
}

TEST(Rsc, ResourceFileRoundTrip)
{
    std::mt19937 rng(7);
    for (int round = 0; round < 50; ++round) {
        std::vector<Bytes> resources(rng() % 12);
        for (Bytes& r : resources) {
            r.resize(rng() % 40);
            for (auto& b : r)
                b = static_cast<std::uint8_t>(rng());
        }
        auto file = writeResourceFile(resources);
        ASSERT_TRUE(file.ok());
        auto back = readResourceFile(*file);
        ASSERT_TRUE(back.ok()) << back.error();
        ASSERT_EQ(back->size(), resources.size());
        for (std::size_t i = 0; i < resources.size(); ++i)
            EXPECT_EQ(Bytes(back->at(i).begin(), back->at(i).end()), resources[i]);
    }
}

TEST(Rsc, ReaderAcceptsTheExactIndexLengthOfOlderFiles)
{
    Bytes file = *writeResourceFile({Bytes{1, 2, 3}});
    file[2] = 4;   // 2 * (N + 1) without the + 1 of the 16-bit layout
    auto back = readResourceFile(file);
    ASSERT_TRUE(back.ok()) << back.error();
    EXPECT_EQ(back->size(), 1u);
}

TEST(Rsc, HostileResourceFiles)
{
    const Bytes good = *writeResourceFile({Bytes{1, 2, 3}, Bytes{4}});   // index at 8: 4, 7, 8
    struct Case {
        const char* what;
        Bytes file;
        HandsetError code;
    };
    auto patched = [&](std::size_t at, std::uint8_t v) {
        Bytes b = good;
        b[at] = v;
        return b;
    };
    Bytes truncated = good;
    truncated.pop_back();
    Bytes longer = good;
    longer.push_back(0);
    const Case cases[] = {
        {"empty", {}, HandsetError::Truncated},
        {"three bytes", {8, 0, 7}, HandsetError::Truncated},
        {"length word 1", {4, 0, 1, 0}, HandsetError::Damaged},
        {"index inside the header", patched(0, 2), HandsetError::Damaged},
        {"index past the end", patched(0, 200), HandsetError::Damaged},
        {"truncated index", truncated, HandsetError::Damaged},
        {"bytes after the index", longer, HandsetError::Damaged},
        {"first resource not at 4", patched(8, 5), HandsetError::Damaged},
        {"last entry not the index offset", patched(12, 7), HandsetError::Damaged},
        {"offsets running backwards", patched(10, 3), HandsetError::Damaged},
    };
    for (const Case& c : cases) {
        auto r = readResourceFile(c.file);
        ASSERT_FALSE(r.ok()) << c.what;
        EXPECT_EQ(r.code(), c.code) << c.what << ": " << r.error();
    }
}

TEST(Rsc, HostileCaptionFiles)
{
    struct Case {
        const char* what;
        Bytes file;
        HandsetError code;
    };
    Bytes badPad = mustWrite({u"Hi", u""});
    badPad[5] = 0x00;
    Bytes longCount = mustWrite({u"Hi", u""});
    longCount[4] = 200;
    const Case cases[] = {
        {"two resources", *writeResourceFile({Bytes{0, 0}, Bytes{0, 0}}), HandsetError::WrongFormat},
        {"no resources", *writeResourceFile({}), HandsetError::WrongFormat},
        {"trailing bytes", *writeResourceFile({Bytes{0, 0, 0}}), HandsetError::Damaged},
        {"missing short caption", *writeResourceFile({Bytes{0}}), HandsetError::Truncated},
        {"padding byte is not 0xAB", badPad, HandsetError::Damaged},
        {"count runs past the resource", longCount, HandsetError::Truncated},
    };
    for (const Case& c : cases) {
        auto r = readCaptionFile(c.file);
        ASSERT_FALSE(r.ok()) << c.what;
        EXPECT_EQ(r.code(), c.code) << c.what << ": " << r.error();
    }
}

TEST(Rsc, FieldReaderStopsAtTheEnd)
{
    const Bytes noTerminator = {'a', 0, 'b', 0};
    EXPECT_FALSE(FieldReader(noTerminator).text().ok());
    const Bytes oddBuf = {'a', 0, 'b'};
    EXPECT_FALSE(FieldReader(oddBuf).bufToEnd().ok());
    const Bytes shortWord = {1};
    EXPECT_FALSE(FieldReader(shortWord).word().ok());
    EXPECT_FALSE(FieldReader(shortWord).dword().ok());
    const Bytes padOnly = {0x05};
    EXPECT_FALSE(FieldReader(padOnly).ltext().ok());
}

TEST(Rsc, CrashersFailCleanly)
{
    // Every file here once took a careless reader past its buffer; each must
    // now be refused as a caption file with a message, and reading its
    // resources field by field must stop at their ends.
    const auto files = crasherFiles("rsc");
    EXPECT_FALSE(files.empty());
    for (const fs::path& file : files) {
        const Bytes b = readBytes(file);
        auto caption = readCaptionFile(b);
        EXPECT_FALSE(caption.ok()) << file;
        if (!caption.ok()) {
            EXPECT_FALSE(caption.error().empty()) << file;
        }
        if (auto resources = readResourceFile(b); resources.ok()) {
            for (const ByteSpan r : *resources) {
                FieldReader f(r);
                while (f.ltext().ok()) {
                }
            }
        }
    }
}

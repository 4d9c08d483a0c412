// bmconv's command language: command-file words, depth prefixes, options,
// and the command files the theme builder writes.
#include "mbm/errors.h"
#include "mbm/mbm_command.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace kastra;
using namespace kastra::mbm;

namespace {

using namespace std::literals;
using Words = std::vector<std::string>;

Words split(std::string_view text)
{
    return splitCommandFile(ByteSpan(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

} // namespace

TEST(MbmCommand, CommandFileWords)
{
    struct Case {
        std::string_view text;
        Words words;
    } cases[] = {
        {"a b\r\nc\nd\re\x1a" "f\r\n", {"a", "b", "c", "d", "e", "f"}},
        {"  leading   and trailing  ", {"leading", "and", "trailing"}},
        // bmconv drops the last word when no separator follows it; we keep it.
        {"out.mbm\r\n/c8a.bmp", {"out.mbm", "/c8a.bmp"}},
        {"tab\tinside word\r\n", {"tab\tinside", "word"}},
        {"// a comment line\r\nout.mbm // trailing comment /n\r\n/1x.bmp\r\n", {"out.mbm", "/1x.bmp"}},
        {"glued//comment\nnext", {"glued", "next"}},
        {"//only a comment", {}},
        {"/c12Signal\\001.bmp", {"/c12Signal\\001.bmp"}},
        {"nul\0sep"sv, {"nul", "sep"}},
        {"", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(split(c.text), c.words) << c.text;
}

TEST(MbmCommand, DepthPrefixes)
{
    struct Case {
        std::string_view word;
        bool ok;
        Mode mode;
        std::string_view path;
    } cases[] = {
        {"plain.bmp", true, {2, false}, "plain.bmp"},
        {"/1Avkon\\001.bmp", true, {1, false}, "Avkon\\001.bmp"},
        {"/2a.bmp", true, {2, false}, "a.bmp"},
        {"/4a.bmp", true, {4, false}, "a.bmp"},
        {"/8a.bmp", true, {8, false}, "a.bmp"},
        {"/c4Signal\\000.bmp", true, {4, true}, "Signal\\000.bmp"},
        {"/c8Avkon\\000.bmp", true, {8, true}, "Avkon\\000.bmp"},
        {"/c12Menu\\000.bmp", true, {12, true}, "Menu\\000.bmp"},
        {"/c16a.bmp", true, {16, true}, "a.bmp"},
        {"/c24SplashTop.bmp", true, {24, true}, "SplashTop.bmp"},
        {"/c32a.bmp", true, {32, true}, "a.bmp"},
        // bmconv's arithmetic on the characters: "/0" then "4" is 4.
        {"/04a.bmp", true, {4, false}, "a.bmp"},
        // A name starting with 2, 4 or 6 joins the prefix.
        {"/c42.bmp", false, {}, ""},
        {"/12a.bmp", false, {}, ""},
        {"/c2a.bmp", false, {}, ""},
        {"/3a.bmp", false, {}, ""},
        {"/C8a.bmp", false, {}, ""},
        {"/xa.bmp", false, {}, ""},
        {"/c", false, {}, ""},
        {"/", false, {}, ""},
        {"/c8", false, {}, ""},
    };
    for (const auto& c : cases) {
        auto got = parseSource(c.word);
        ASSERT_EQ(got.ok(), c.ok) << c.word;
        if (c.ok) {
            EXPECT_EQ(got->mode, c.mode) << c.word;
            EXPECT_EQ(got->path, c.path) << c.word;
        } else {
            EXPECT_EQ(got.code(), MbmError::BadArgument) << got.error();
        }
    }
}

TEST(MbmCommand, CommandsAndOptions)
{
    auto pack = parseCommand({"/n", "/Q", "/g", "/hout.h", "/ppal.txt", "out.mbm", "a.bmp", "/c24b.bmp"});
    ASSERT_TRUE(pack.ok()) << pack.error();
    EXPECT_EQ(pack->kind, Command::Kind::Pack);
    EXPECT_TRUE(pack->uncompressed && pack->quiet && pack->sdkGreys);
    EXPECT_EQ(pack->headerFile, "out.h");
    EXPECT_EQ(pack->paletteFile, "pal.txt");
    EXPECT_EQ(pack->mbm, "out.mbm");
    ASSERT_EQ(pack->sources.size(), 2u);
    EXPECT_EQ(pack->sources[1].mode, (Mode{24, true}));

    auto plain = parseCommand({"out.mbm", "a.bmp"});
    ASSERT_TRUE(plain.ok());
    EXPECT_FALSE(plain->uncompressed || plain->sdkGreys || plain->quiet);

    auto unpack = parseCommand({"/u", "in.mbm", "a.bmp", "b.bmp"});
    ASSERT_TRUE(unpack.ok());
    EXPECT_EQ(unpack->kind, Command::Kind::Unpack);
    EXPECT_EQ(unpack->mbm, "in.mbm");
    EXPECT_EQ(unpack->targets, (Words{"a.bmp", "b.bmp"}));

    auto info = parseCommand({"/V", "in.mbm"});
    ASSERT_TRUE(info.ok());
    EXPECT_EQ(info->kind, Command::Kind::Info);

    auto repack = parseCommand({"/n", "out.mbm", "/min.mbm"});
    ASSERT_TRUE(repack.ok());
    EXPECT_EQ(repack->mbmSource, "in.mbm");

    auto usage = parseCommand({});
    ASSERT_TRUE(usage.ok());
    EXPECT_EQ(usage->kind, Command::Kind::Usage);

    struct Bad {
        Words words;
        MbmError code;
    } bad[] = {
        {{"/x", "out.mbm", "a.bmp"}, MbmError::BadArgument},
        {{"/r", "out.mbm", "a.bmp"}, MbmError::Unsupported},
        {{"/s", "out.mbm", "a.bmp"}, MbmError::Unsupported},
        {{"/h", "out.mbm", "a.bmp"}, MbmError::BadArgument},
        {{"/p", "out.mbm", "a.bmp"}, MbmError::BadArgument},
        {{"/n"}, MbmError::BadArgument},
        {{"out.mbm"}, MbmError::BadArgument},
        {{"out.mbm", "/n", "a.bmp"}, MbmError::BadArgument},
        {{"out.mbm", "a.bmp", "/c9b.bmp"}, MbmError::BadArgument},
        {{"/hx.h", "out.mbm", "/min.mbm"}, MbmError::BadArgument},
        {{"out.mbm", "/m"}, MbmError::BadArgument},
        {{"/u"}, MbmError::BadArgument},
        {{"/u", "in.mbm"}, MbmError::BadArgument},
        {{"/v"}, MbmError::BadArgument},
    };
    for (const auto& b : bad) {
        auto got = parseCommand(b.words);
        ASSERT_FALSE(got.ok()) << b.words[0];
        EXPECT_EQ(got.code(), b.code) << got.error();
    }
}

TEST(MbmCommand, PaletteFile)
{
    std::string text = "// custom palette\n";
    for (int i = 0; i < 256; ++i) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "0x00%02X%02x%02X,\n", 255 - i, i, i / 2);
        text += buf;
    }
    auto pal = parsePaletteFile(ByteSpan(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    ASSERT_TRUE(pal.ok()) << pal.error();
    EXPECT_EQ((*pal)[0], (Rgb{0, 0, 255}));
    EXPECT_EQ((*pal)[200], (Rgb{100, 200, 55}));

    const std::string shortText = text.substr(0, 18 + 128 * 12);
    auto bad = parsePaletteFile(ByteSpan(reinterpret_cast<const std::uint8_t*>(shortText.data()), shortText.size()));
    ASSERT_FALSE(bad.ok());
    EXPECT_EQ(bad.code(), MbmError::Truncated) << bad.error();
}

TEST(MbmCommand, HeaderFile)
{
    EXPECT_EQ(headerFileText("inc\\AVKON.MBG", {"Avkon\\qgn_IND.bmp", "c:/x/second.file.BMP", "noext"}),
              "// AVKON.MBG\r\n// Generated by bmconv\r\n//\r\n\r\nenum TMbmAvkon\r\n\t{\r\n"
              "\tEMbmAvkonQgn_ind,\r\n\tEMbmAvkonSecond.file,\r\n\tEMbmAvkonNoext\r\n\t};\r\n");
}

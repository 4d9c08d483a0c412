#include "base/cp1251.h"

#include <gtest/gtest.h>

using namespace kastra;

TEST(Cp1251, EveryByteRoundTripsThroughUnicode)
{
    for (int b = 0; b < 256; ++b) {
        bool ok = false;
        const unsigned char back = cp1251::fromUnicode(cp1251::toUnicode(static_cast<unsigned char>(b)), ok);
        EXPECT_TRUE(ok) << b;
        EXPECT_EQ(back, b);
    }
}

TEST(Cp1251, CyrillicTextBothWays)
{
    const std::string utf8 = "Редактор №2";
    const std::string bytes = cp1251::fromUtf8(utf8);
    EXPECT_EQ(bytes, std::string("\xD0\xE5\xE4\xE0\xEA\xF2\xEE\xF0 \xB9\x32"));
    EXPECT_EQ(cp1251::toUtf8(bytes), utf8);
    EXPECT_EQ(cp1251::toUtf16(bytes), u"Редактор №2");
}

TEST(Cp1251, UnmappableAndMalformedBecomeQuestionMarks)
{
    EXPECT_EQ(cp1251::fromUtf8("a\xE4\xB8\xAD" "b"), "a?b");   // a CJK letter
    EXPECT_EQ(cp1251::fromUtf8("a\xFF" "b"), "a?b");           // not UTF-8 at all
    EXPECT_EQ(cp1251::fromUtf8("\xD0"), "?");                  // cut sequence
}

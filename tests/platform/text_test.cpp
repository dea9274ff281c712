#include "platform/text.h"

#include <gtest/gtest.h>

using namespace plat;

TEST(CodePage1251, CyrillicRoundTripsThroughUtf16AndUtf8)
{
    // "Привет, Ёжик №1" in code page 1251.
    const std::string cp = "\xCF\xF0\xE8\xE2\xE5\xF2, \xA8\xE6\xE8\xEA \xB9" "1";
    EXPECT_EQ(Cp1251ToUtf16(cp), u"Привет, Ёжик №1");
    EXPECT_EQ(Cp1251ToUtf8(cp), "Привет, Ёжик №1");
    EXPECT_EQ(Utf8ToCp1251("Привет, Ёжик №1"), cp);
    EXPECT_EQ(Utf16ToCp1251(u"Привет, Ёжик №1"), cp);
}

TEST(CodePage1251, UnmappableCharactersBecomeQuestionMarks)
{
    EXPECT_EQ(Utf16ToCp1251(u"a\u4E2Db"), "a?b");
    // 0x98 is the one byte without a character.
    EXPECT_EQ(Cp1251ToUtf16("\x98"), u"\uFFFD");
}

TEST(Utf8, InvalidSequencesAreReplacedAndDetected)
{
    EXPECT_TRUE(IsValidUtf8("plain"));
    EXPECT_TRUE(IsValidUtf8("Привет"));
    EXPECT_FALSE(IsValidUtf8("\xCF\xF0\xE8")); // code page 1251 Cyrillic
    EXPECT_FALSE(IsValidUtf8("\xC0\x80"));     // overlong
    EXPECT_EQ(Utf8ToUtf16("a\xFF" "b"), u"a\uFFFDb");
    EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98\x80"), u"\U0001F600");
    EXPECT_EQ(Utf16ToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

TEST(WideText, CompareWithoutCaseCoversLatinAndCyrillic)
{
    struct Case {
        std::u16string a, b;
        int sign;
    } cases[] = {
        {u"Hello", u"hELLO", 0}, {u"ПРИВЕТ", u"привет", 0}, {u"Ёж", u"ёЖ", 0},
        {u"abc", u"abd", -1},    {u"abc", u"ab", 1},         {u"", u"", 0},
    };
    for (const auto& c : cases) {
        const int r = CompareNoCaseW(c.a, c.b);
        EXPECT_EQ((r > 0) - (r < 0), c.sign) << Utf16ToUtf8(c.a) << " vs " << Utf16ToUtf8(c.b);
    }
    EXPECT_EQ(CompareNoCase("\xCF\xD0\xC8", "\xEF\xF0\xE8"), 0); // "ПРИ" vs "при"
}

TEST(WideText, BoundedCopyCutsAndTerminates)
{
    char16_t buf[4];
    EXPECT_EQ(CopyW(buf, 4, u"abcdef"), 3u);
    EXPECT_EQ(std::u16string(buf), u"abc");
    EXPECT_EQ(CopyW(buf, 1, u"abc"), 0u);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(CopyW(buf, 0, u"abc"), 0u);
    char a[3];
    EXPECT_EQ(CopyA(a, 3, "xyz"), 2u);
    EXPECT_STREQ(a, "xy");
    EXPECT_EQ(StrLenW(u"hello", 3), 3u);
}

TEST(WideText, FormatterConversions)
{
    EXPECT_EQ(FormatW(u"%d|%5d|%-3d|%03d", -12, 7, 4, 9), u"-12|    7|4  |009");
    EXPECT_EQ(FormatW(u"%u %x %X %lld", 3000000000u, 255u, 255u, -5ll), u"3000000000 ff FF -5");
    EXPECT_EQ(FormatW(u"%s=%hs %S", u"имя", "\xE8\xEC\xFF", "x"), u"имя=имя x");
    EXPECT_EQ(FormatW(u"%c%c 100%%", u'Ж', u'a'), u"Жa 100%");
    EXPECT_EQ(FormatW(u"%.2f %5s|%-4s|", 1.005, u"ab", u"c"), u"1.00    ab|c   |");
    EXPECT_EQ(FormatW(u"%*d", 4, 1), u"   1");
    char16_t small[5];
    EXPECT_EQ(FormatWTo(small, 5, u"%d", 123456), 4u);
    EXPECT_EQ(std::u16string(small), u"1234");
}

#include "core/string_table.h"

#include <gtest/gtest.h>

#include <climits>
#include <thread>

#include "game_folder_fixture.h"
#include "platform/bytes.h"
#include "platform/text.h"
#include "sample_strings.h"

namespace {

// A raw record, lengths as given (they may lie).
void Record(std::vector<std::uint8_t>& out, std::int32_t keyLength, std::u16string_view key, std::int32_t textLength,
            std::u16string_view text)
{
    auto put32 = [&](std::int32_t v) {
        std::uint8_t b[4];
        plat::WriteI32LE(b, v);
        out.insert(out.end(), b, b + 4);
    };
    auto putUnits = [&](std::u16string_view s) {
        for (char16_t c : s) {
            out.push_back(static_cast<std::uint8_t>(c));
            out.push_back(static_cast<std::uint8_t>(c >> 8));
        }
    };
    put32(keyLength);
    putUnits(key);
    put32(textLength);
    putUnits(text);
}

void Record(std::vector<std::uint8_t>& out, std::u16string_view key, std::u16string_view text)
{
    Record(out, static_cast<std::int32_t>(key.size()), key, static_cast<std::int32_t>(text.size()), text);
}

std::u16string Text(const TResStrings& t, std::u16string_view id)
{
    const std::u16string* s = t.Find(id);
    return s ? *s : u"<absent>";
}

class StringTable : public GameFolderTest {
protected:
    void TearDown() override
    {
        g_ResStrings.Clear();
        GameFolderTest::TearDown();
    }
};

} // namespace

TEST_F(StringTable, LastOfDuplicateRecordsWinsAndIsListed)
{
    std::vector<std::uint8_t> file;
    Record(file, u"IDS_WIN", u"first");
    Record(file, u"IDS_LOSE", u"lost");
    Record(file, u"IDS_WIN", u"second");
    TResStrings table;
    std::vector<std::u16string> errors;
    EXPECT_EQ(table.LoadFromBuffer(file, "Data\\korvela_res.grf", &errors), 1);
    EXPECT_EQ(Text(table, u"IDS_WIN"), u"second");
    EXPECT_EQ(Text(table, u"IDS_LOSE"), u"lost");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], u"IDS_WIN in file Data\\korvela_res.grf");
    EXPECT_EQ(table.LoadFromBuffer(file, "x", nullptr), 0);
}

TEST_F(StringTable, RecordsEndAtANonPositiveLengthOrACut)
{
    struct Case {
        const char* what;
        std::vector<std::uint8_t> tail; // after a good "IDS_A" record
    };
    auto tail = [](auto build) {
        std::vector<std::uint8_t> v;
        build(v);
        return v;
    };
    const Case cases[] = {
        {"key length 0", tail([](auto& v) { Record(v, 0, u"", 4, u"text"), Record(v, u"IDS_B", u"b"); })},
        {"negative key length", tail([](auto& v) { Record(v, -3, u"", 1, u"x"), Record(v, u"IDS_B", u"b"); })},
        {"text length 0", tail([](auto& v) { Record(v, 5, u"IDS_B", 0, u""), Record(v, u"IDS_C", u"c"); })},
        {"cut inside the key", tail([](auto& v) { Record(v, 9, u"IDS_B", 1, u""); })},
        {"cut inside the text", tail([](auto& v) { Record(v, 5, u"IDS_B", 100, u"short"); })},
        {"cut inside a length", std::vector<std::uint8_t>{5, 0}},
        {"text length near 2^31", tail([](auto& v) { Record(v, 5, u"IDS_B", INT_MAX, u"b"); })},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::uint8_t> file;
        Record(file, u"IDS_A", u"a");
        file.insert(file.end(), c.tail.begin(), c.tail.end());
        TResStrings table;
        table.LoadFromBuffer(file, "t.grf");
        EXPECT_EQ(table.Count(), 1u);
        EXPECT_EQ(Text(table, u"IDS_A"), u"a");
    }
}

TEST_F(StringTable, OverlongRecordsAreSkippedOnceReportedAndReadingGoesOn)
{
    std::vector<std::uint8_t> file;
    Record(file, u"IDS_A", u"a");
    Record(file, std::u16string(RES_MAX_KEY + 1, u'K'), u"x");
    Record(file, u"IDS_B", u"b");
    Record(file, u"IDS_LONG", std::u16string(RES_MAX_TEXT + 1, u't'));
    Record(file, u"IDS_C", u"c");
    TResStrings table;
    table.LoadFromBuffer(file, "t.grf");
    EXPECT_EQ(table.Count(), 3u);
    EXPECT_EQ(Text(table, u"IDS_B"), u"b");
    EXPECT_EQ(Text(table, u"IDS_C"), u"c");
    EXPECT_EQ(Text(table, u"IDS_LONG"), u"<absent>");
    EXPECT_TRUE(Logged("String table key too long in t.grf"));
    EXPECT_FALSE(Logged("String table text too long in t.grf"));
}

TEST_F(StringTable, GetStringReportsAbsentAndTooLong)
{
    TResStrings table;
    table.SetString(u"IDS_X", u"four");
    char16_t buffer[5] = u"zzzz";
    EXPECT_EQ(table.GetString(u"IDS_Y", buffer, 5), -2);
    EXPECT_EQ(table.GetString(u"ids_x", buffer, 5), -2); // ids compare exactly
    EXPECT_EQ(table.GetString(u"IDS_X", buffer, 4), -3);
    EXPECT_EQ(std::u16string(buffer), u"zzzz");
    EXPECT_EQ(table.GetString(u"IDS_X", buffer, 5), 4);
    EXPECT_EQ(std::u16string(buffer), u"four");
}

TEST_F(StringTable, SaveWritesKeyOrderOnlyWhenChangedAndLoadsBack)
{
    TResStrings table;
    table.SetString(u"MP_LEVEL0", u"Лёгкий");
    table.SetString(u"IDS_WIN", u"Victory");
    std::filesystem::create_directory(dir / "Data");
    ASSERT_TRUE(table.Save("Data\\t.grf"));
    EXPECT_FALSE(table.Changed());
    std::vector<std::uint8_t> expected;
    Record(expected, u"IDS_WIN", u"Victory");
    Record(expected, u"MP_LEVEL0", u"Лёгкий");
    EXPECT_EQ(testsupport::ReadAll(dir / "Data/t.grf"), expected);

    TResStrings back("data\\T.GRF");
    EXPECT_EQ(Text(back, u"MP_LEVEL0"), u"Лёгкий");
    EXPECT_FALSE(back.Changed());
    std::filesystem::remove(dir / "Data/t.grf");
    EXPECT_TRUE(back.Save("Data\\t.grf")); // unchanged: nothing is written
    EXPECT_FALSE(std::filesystem::exists(dir / "Data/t.grf"));

    TResStrings missing("Data\\none.grf");
    EXPECT_EQ(missing.Count(), 0u);
}

TEST_F(StringTable, GetResStringRotatesTwentyBuffersAndRefusesLongTexts)
{
    g_ResStrings.Clear();
    g_ResStrings.SetString(u"IDS_A", u"alpha");
    g_ResStrings.SetString(u"IDS_1999", std::u16string(1999, u'x'));
    g_ResStrings.SetString(u"IDS_2000", std::u16string(2000, u'x'));
    EXPECT_EQ(plat::StrLenW(GetResString(u"IDS_1999")), 1999u);
    EXPECT_EQ(std::u16string(GetResString(u"IDS_2000")), u"");
    EXPECT_EQ(std::u16string(GetResString(u"IDS_NONE")), u"");

    const char16_t* first = GetResString(u"IDS_A");
    for (int i = 0; i < RES_RESULT_BUFFERS - 1; ++i)
        EXPECT_NE(GetResString(u"IDS_NONE"), first);
    EXPECT_EQ(std::u16string(first), u"alpha"); // still valid after 19 further calls
    EXPECT_EQ(GetResString(u"IDS_A"), first);  // the 21st call reuses it
}

TEST_F(StringTable, ResultsOfOneThreadSurviveLookupsOfAnother)
{
    g_ResStrings.Clear();
    g_ResStrings.SetString(u"IDS_MAIN", u"main thread text");
    g_ResStrings.SetString(u"IDS_NET", u"network thread text");
    const char16_t* mine = GetResString(u"IDS_MAIN");
    std::atomic<int> wrong{0};
    std::thread net([&] {
        for (int i = 0; i < 1000; ++i)
            if (std::u16string(GetResString(u"IDS_NET")) != u"network thread text")
                ++wrong;
    });
    for (int round = 0; round < 100 && wrong == 0; ++round) {
        // Up to 19 further lookups of this thread keep the result; the other thread's never touch it.
        mine = GetResString(u"IDS_MAIN");
        for (int i = 0; i < RES_RESULT_BUFFERS - 1; ++i) {
            char16_t buffer[100];
            if (My_LoadStringW(u"IDS_NET", buffer, 100) != 19)
                ++wrong;
        }
        if (std::u16string(mine) != u"main thread text")
            ++wrong;
    }
    net.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST_F(StringTable, MyLoadStringWCopiesOnlyWhatFits)
{
    g_ResStrings.Clear();
    g_ResStrings.SetString(u"IDS_UPHELP", u"0123456789");
    char16_t buffer[20] = u"old";
    EXPECT_EQ(My_LoadStringW(u"IDS_UPHELP", buffer, 11), 10);
    EXPECT_EQ(std::u16string(buffer), u"0123456789");
    EXPECT_EQ(My_LoadStringW(u"IDS_UPHELP", buffer, 10), 0);
    EXPECT_EQ(std::u16string(buffer), u"");
    EXPECT_TRUE(Logged(" - too long string in My_LoadStringW10"));
}

TEST(IntToWStr, DecimalTextOfAnyInt)
{
    const std::pair<std::int32_t, std::u16string> cases[] = {
        {-42, u"-42"}, {0, u"0"}, {7, u"7"}, {INT_MAX, u"2147483647"}, {INT_MIN, u"-2147483648"}};
    for (const auto& [value, text] : cases) {
        char16_t buffer[12];
        EXPECT_EQ(IntToWStr(value, buffer), buffer);
        EXPECT_EQ(std::u16string(buffer), text);
    }
}

TEST_F(StringTable, SampleTableAnswersEveryIdTheCodeUses)
{
    ASSERT_TRUE(sampledata::WriteStringTable(dir.Path()));
    EXPECT_EQ(LoadResStrings(), sampledata::SampleStrings().size());
    for (const auto& s : sampledata::SampleStrings())
        EXPECT_EQ(std::u16string(GetResString(s.id)), plat::Utf8ToUtf16(s.text));
    EXPECT_EQ(std::u16string(GetResString(u"IDS_COMP3")), u"Computer 3");
}

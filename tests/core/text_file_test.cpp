#include "core/text_file.h"

#include <gtest/gtest.h>

#include "core/memory_stream.h"
#include "core/string_table.h"
#include "core_files.h"
#include "game_folder_fixture.h"
#include "sample_data.h"
#include "sample_strings.h"

namespace {

std::vector<std::uint8_t> Units(std::u16string_view s)
{
    std::vector<std::uint8_t> v;
    for (char16_t c : s) {
        v.push_back(static_cast<std::uint8_t>(c));
        v.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    return v;
}

std::vector<std::u16string> AllLines(const std::vector<std::uint8_t>& bytes, int capacity)
{
    TIfStreamMemory in(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    std::vector<std::u16string> lines;
    std::vector<char16_t> buffer(static_cast<std::size_t>(capacity));
    while (!in.AtEnd()) {
        const int n = GetLine(in, buffer.data(), capacity);
        lines.emplace_back(buffer.data(), static_cast<std::size_t>(n));
    }
    return lines;
}

using Lines = std::vector<std::u16string>;

} // namespace

class TextFile : public GameFolderTest {};

TEST_F(TextFile, GetLineSplitsAtCrLfCrOrLf)
{
    struct Case {
        std::u16string text;
        int capacity;
        Lines expected;
    };
    const Case cases[] = {
        {u"ab\r\ncd", 100, {u"ab", u"cd"}},
        {u"ab\ncd\n", 100, {u"ab", u"cd"}},
        {u"\r\n\r\nx", 100, {u"", u"", u"x"}},
        {u"Привет\r\nмир", 100, {u"Привет", u"мир"}},
        {u"abcdef\r\ngh", 4, {u"abc", u"gh"}},
        {u"x", 1, {u""}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AllLines(Units(c.text), c.capacity), c.expected);
    }
    EXPECT_TRUE(Logged("Too long string in GetLine"));

    auto odd = Units(u"ab");
    odd.push_back(0x41); // a lone last byte ends the stream
    EXPECT_EQ(AllLines(odd, 10), (Lines{u"ab"}));
}

TEST_F(TextFile, GetLinesToStringStopsBeforeTheStopLine)
{
    const auto bytes = Units(u"first   \r\nsecond\r\n#####\r\nafter\r\n");
    TIfStreamMemory in(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    char16_t out[100];
    EXPECT_EQ(GetLinesToString(in, out, 100, u"#####", true), 15);
    EXPECT_EQ(std::u16string(out), u"first\r\nsecond\r\n");
    char16_t line[20];
    GetLine(in, line, 20);
    EXPECT_EQ(std::u16string(line), u"#####");

    EXPECT_EQ(GetLinesToString(in, out, 100, u"#####", false), 5);
    EXPECT_EQ(std::u16string(out), u"after");
    EXPECT_TRUE(in.AtEnd());

    TIfStreamMemory again(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    EXPECT_EQ(GetLinesToString(again, out, 4, u"#####", false), 3); // cut to the capacity
    EXPECT_EQ(std::u16string(out), u"fir");
}

TEST_F(TextFile, GetLinesToStringDropsWhatPassesItsBuffer)
{
    std::u16string text;
    for (int i = 0; i < 30; ++i)
        text += std::u16string(999, static_cast<char16_t>(u'a' + i % 26)) + u"\r\n";
    const auto bytes = Units(text);
    TIfStreamMemory in(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    std::vector<char16_t> out(40000);
    EXPECT_EQ(GetLinesToString(in, out.data(), 40000, u"#####", true), GETLINES_CAPACITY);
    EXPECT_TRUE(in.AtEnd());
    EXPECT_TRUE(Logged("GetLinesToString length>=20000"));
}

TEST_F(TextFile, PlayerNamesMapListedNamesToReplacements)
{
    const auto bytes = sampledata::BuildUtf16Lines({u"Kaiser # Wilhelm II", u"no hash here", u"#lead",
                                                    u"Ab #B", u"x", u"Long # " + std::u16string(25, u'R')});
    TChangePlayerName table;
    ASSERT_TRUE(table.LoadFromBuffer(bytes));
    EXPECT_EQ(table.Names(), (Lines{u"Kaiser", u"Ab", u"Long"}));
    EXPECT_EQ(table.NewNames(), (Lines{u"Wilhelm II", u"B", std::u16string(25, u'R')}));
    EXPECT_TRUE(Logged("TChangePlayerName::MakeNamesFromString cant find #"));
    EXPECT_TRUE(Logged("TChangePlayerName::MakeNamesFromString num==0"));

    struct Case {
        std::u16string name;
        bool changed;
        std::u16string result;
    };
    const Case cases[] = {
        {u"Kaiser", true, u"Wilhelm II"},
        {u"kaiser", false, u"kaiser"}, // exact comparison
        {u"Ab", true, u"B"},
        {u"Long", true, std::u16string(19, u'R')},
        {u"Nobody", false, u"Nobody"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name.begin(), c.name.end()));
        char16_t name[PLAYER_NAME_CAPACITY] = {};
        std::copy(c.name.begin(), c.name.end(), name);
        EXPECT_EQ(table.ChangePlayerName(name, PLAYER_NAME_CAPACITY), c.changed);
        EXPECT_EQ(std::u16string(name), c.result);
    }
    EXPECT_TRUE(Logged("TChangePlayerName::TChangePlayerNameChangePlayerName maxleng too small"));
}

TEST_F(TextFile, PlayerNamesFileNeedsItsSignAndBoundedLines)
{
    struct Case {
        std::vector<std::uint8_t> bytes;
        bool loads;
        std::size_t entries;
        const char* log;
    };
    auto withSign = [](std::u16string_view text) {
        auto v = Units(text);
        v.insert(v.begin(), {0xFF, 0xFE});
        return v;
    };
    const Case cases[] = {
        {{0xFF, 0xFF, 'a', 0}, false, 0, "TChangePlayerName Sign!=254"},
        {{0xFE, 0xFF}, false, 0, "TChangePlayerName Sign!=255"},
        {{}, false, 0, "TChangePlayerName Sign!=255"},
        {{0xFF}, false, 0, "TChangePlayerName Sign!=254"},
        {withSign(u"A # B\r\n" + std::u16string(2000, u'x')), false, 1, "TChangePlayerName (Length>1999)"},
        {withSign(u"A # B\r\nC # D"), true, 2, nullptr},
        {withSign(u""), true, 0, nullptr},
    };
    for (const Case& c : cases) {
        TChangePlayerName table;
        EXPECT_EQ(table.LoadFromBuffer(c.bytes), c.loads);
        EXPECT_EQ(table.Names().size(), c.entries);
        if (c.log)
            EXPECT_TRUE(Logged(c.log)) << c.log;
    }
    TChangePlayerName missing("Maps\\PlayerNames.txt");
    EXPECT_TRUE(missing.Names().empty());
    EXPECT_TRUE(Logged("Maps\\PlayerNames.txt in TChangePlayerName "));
}

TEST_F(TextFile, MapPlayersGetTheirListedNameOrTheComputerName)
{
    ASSERT_TRUE(sampledata::WriteFolderTree(dir.Path()));
    ASSERT_TRUE(sampledata::WritePlayerNames(dir.Path()));
    ASSERT_TRUE(sampledata::WriteStringTable(dir.Path()));
    LoadResStrings();
    EXPECT_EQ(MakeMapPlayerName(u"Kaiser", 0), u"Wilhelm II");
    EXPECT_EQ(MakeMapPlayerName(u"Unlisted", 0), u"Unlisted");
    EXPECT_EQ(MakeMapPlayerName(std::u16string(30, u'n'), 0), std::u16string(19, u'n'));
    EXPECT_EQ(MakeMapPlayerName(u"", 0), u"Computer 1");
    EXPECT_EQ(MakeMapPlayerName(u"", 7), u"Computer 8");
    g_ResStrings.Clear();
}

namespace {

// Every character 10 pixels wide, except wide 'W' (30); lines 16 pixels high.
class FakeMeasurer : public TTextMeasurer {
public:
    TTextExtent Measure(std::u16string_view text) const override
    {
        ++calls;
        int cx = 0;
        for (char16_t c : text)
            cx += c == u'W' ? 30 : 10;
        return {cx, 16};
    }
    mutable int calls = 0;
};

} // namespace

TEST(WrapText, BreaksAfterBlanksOrInsideLongWords)
{
    struct Case {
        std::u16string text;
        int width;
        int height;
        Lines expected;
    };
    const Case cases[] = {
        {u"hello world foo", 200, 100, {u"hello world foo"}},
        {u"hello world foo", 75, 100, {u"hello ", u"world ", u"foo"}},
        {u"hello world foo", 150, 100, {u"hello world ", u"foo"}},
        {u"abcdefghij", 45, 100, {u"abcd", u"efgh", u"ij"}},
        {u"end.Next sentence. More", 100, 100, {u"end.Next ", u"sentence.", u" More"}},
        {u"一二\u3001三四五六", 45, 100, {u"一二\u3001", u"三四五六"}},
        {u"W", 25, 100, {}},
        {u"WW", 35, 100, {}},
        {u"Wab", 35, 100, {}},
        {u"hello world foo barbaz", 75, 40, {u"hello ", u"world "}},
        {u"hello world foo", 75, 40, {u"hello ", u"world ", u"foo"}},
        {u"hello", 75, 15, {u"hello"}},
        {u"hello world", 75, 15, {}},
        {u"", 75, 100, {}},
        {u"hello", 0, 100, {}},
        {u" leading blank", 60, 100, {u" lead", u"ing ", u"blank"}},
    };
    FakeMeasurer measurer;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text.begin(), c.text.end()) + " / " + std::to_string(c.width));
        EXPECT_EQ(WrapTextToWidth(c.text, c.width, c.height, &measurer), c.expected);
    }
    EXPECT_TRUE(WrapTextToWidth(u"hello", 100, 100, nullptr).empty());
}

TEST(WrapText, LongTextsAreCutAndMeasuredSparingly)
{
    std::u16string text;
    while (text.size() < 30000)
        text += u"word ";
    FakeMeasurer measurer;
    const Lines lines = WrapTextToWidth(text, 400, 1 << 30, &measurer);
    std::size_t total = 0;
    for (const auto& l : lines) {
        EXPECT_LT(measurer.Measure(l).cx, 400);
        total += l.size();
    }
    EXPECT_EQ(total, static_cast<std::size_t>(WRAP_MAX_TEXT));
    EXPECT_LT(measurer.calls, 40 * static_cast<int>(lines.size()));
}

#include "core/settings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/commented_reader.h"
#include "core/memory_stream.h"
#include "core_files.h"
#include "devices/display.h"
#include "game_folder_fixture.h"
#include "platform/text.h"
#include "players/strateg.h"

namespace {

// Every setting in the order of the file (the advisor row of the local player as 40 values).
struct Settings {
    std::uint8_t items[13];
    std::uint8_t advisor[ADVISOR_OPTIONS];
    std::uint8_t war[ADVISOR_OPTIONS];
    bool operator==(const Settings&) const = default;
};

std::uint8_t* const kItems[13] = {&g_bMusicOn,        &g_MusicVolume,    &g_bSoundOn,   &g_SoundVolume,
                                  &g_ScreenMode,      &g_GameSpeed,      &g_bFogOfWar,  &g_bShowHints,
                                  &g_MouseScrollSpeed, &g_KeyScrollSpeed, &g_bLandFilter, &g_bReducedAnimation,
                                  &g_bWaterReflections};
const std::uint8_t kStart[13] = {1, 0, 1, 0, 0, 53, 1, 0, 50, 50, 1, 0, 1};

Settings Current()
{
    Settings s{};
    for (int i = 0; i < 13; ++i)
        s.items[i] = *kItems[i];
    const int row = MyPlayer < ADVISOR_PLAYERS ? MyPlayer : 0;
    std::memcpy(s.advisor, g_AdvisorOptions[row], ADVISOR_OPTIONS);
    std::memcpy(s.war, g_WarAdvisorOptions[row], ADVISOR_OPTIONS);
    return s;
}

void Set(const std::uint8_t (&values)[13])
{
    for (int i = 0; i < 13; ++i)
        *kItems[i] = values[i];
}

class SettingsFile : public GameFolderTest {
protected:
    void SetUp() override
    {
        GameFolderTest::SetUp();
        MyPlayer = 0;
        Set(kStart);
        std::memset(g_AdvisorOptions, 1, sizeof g_AdvisorOptions);
        std::memset(g_WarAdvisorOptions, 1, sizeof g_WarAdvisorOptions);
    }
    void TearDown() override
    {
        MyPlayer = 0;
        Set(kStart);
        GameFolderTest::TearDown();
    }
};

std::string Cp(const char* utf8)
{
    return plat::Utf8ToCp1251(utf8);
}

} // namespace

TEST_F(SettingsFile, WritesTheExactLayoutAndReadsItBack)
{
    const std::uint8_t values[13] = {0, 77, 1, 42, 2, 61, 1, 1, 30, 90, 0, 1, 0};
    Set(values);
    for (int i = 0; i < ADVISOR_OPTIONS; ++i) {
        g_AdvisorOptions[0][i] = i % 2;
        g_WarAdvisorOptions[0][i] = i % 3 == 0;
    }
    std::filesystem::create_directory(dir / "Data");
    SaveGameInfo();
    const std::string file = testsupport::ReadText(dir / "Data/GameInf.txt");

    std::string advisor;
    for (int i = 0; i < ADVISOR_OPTIONS; ++i)
        advisor += std::to_string(i % 2) + " " + std::to_string(i % 3 == 0 ? 1 : 0) + " ";
    const std::string expected =
        Cp("{Фоновая музыка 1-да 0-нет}") + std::string(13, '\t') + "0\r\n" +
        Cp("{Громкость фоновой музыки(0-100)}") + std::string(12, '\t') + "77\r\n" +
        Cp("{Звук в игре 1-да 0-нет}") + std::string(14, '\t') + "1\r\n" +
        Cp("{Громкость звука(0-100)}") + std::string(14, '\t') + "42\r\n" +
        Cp("{Разрешение экрана (1024х768-0 1152х864-1 1280х960-2 1280х1024-3)}") + "\t2\r\n" +
        Cp("{Скорость игры(0-6) 0-минимальная, 3-средняя, 6-максимальная}") + std::string(5, '\t') + "61\r\n" +
        Cp("{Туман войны (0-нет, 1-да)}") + std::string(13, '\t') + "1\r\n" +
        Cp("{показывать подсказки ?(0-нет, 1-да)}") + std::string(11, '\t') + "1\r\n" +
        Cp("{Скорость скроллинга мышью(0-100)}") + std::string(12, '\t') + "30\r\n" +
        Cp("{Скорость скроллинга клавиатурой(0-100)}") + std::string(10, '\t') + "90\r\n" +
        Cp("{Ландшафтный фильтр (0-нет, 1-да)}") + std::string(11, '\t') + "0\r\n" + advisor +
        Cp("{Усеченная анимация юнитов (0-нет, 1-да)}") + std::string(10, '\t') + "1\r\n" +
        Cp("{Отражения в воде (0-нет, 1-да)}") + std::string(12, '\t') + "0\r\n";
    EXPECT_EQ(file, expected);

    const Settings saved = Current();
    Set(kStart);
    std::memset(g_AdvisorOptions, 0, sizeof g_AdvisorOptions);
    LoadGameInfo();
    EXPECT_EQ(Current(), saved);
    EXPECT_EQ(g_StartGameSpeed, 61);
    SaveGameInfo();
    EXPECT_EQ(testsupport::ReadText(dir / "Data/GameInf.txt"), file);
}

TEST_F(SettingsFile, ClipsOutOfRangeValuesOnLoad)
{
    struct Case {
        int item;
        std::uint8_t written;
        std::uint8_t loaded;
    };
    const Case cases[] = {
        {1, 101, 100}, {1, 100, 100}, {3, 200, 200}, {4, 4, 0},    {4, 3, 3},    {5, 150, 99}, {5, 100, 99},
        {5, 99, 99},   {5, 0, 0},     {6, 0, 1},     {8, 0, 1},    {8, 250, 100}, {9, 0, 1},   {9, 101, 100},
        {7, 5, 1},     {10, 7, 1},    {11, 2, 1},    {12, 255, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("item " + std::to_string(c.item) + " = " + std::to_string(c.written));
        Set(kStart);
        *kItems[c.item] = c.written;
        const std::string text = MakeGameInfoText();
        Set(kStart);
        ParseGameInfo(text.data(), text.size());
        EXPECT_EQ(*kItems[c.item], c.loaded);
        if (c.item == 5)
            EXPECT_EQ(g_StartGameSpeed, c.loaded);
    }
}

TEST_F(SettingsFile, TheResolutionCommentNamesEachModeByTheValueThatSelectsIt)
{
    const std::string text = MakeGameInfoText();
    const std::string comment = text.substr(0, text.find('}', text.find(Cp("{Разрешение экрана"))) + 1);
    for (int mode = 0; mode < SCREEN_MODE_COUNT; ++mode) {
        const std::string named = std::to_string(g_ScreenModes[mode].width) + Cp("х") +
                                  std::to_string(g_ScreenModes[mode].height) + "-" + std::to_string(mode);
        EXPECT_NE(comment.find(named), std::string::npos) << named;
    }
    EXPECT_EQ(comment.find("800"), std::string::npos) << "no mode of 800 x 600 exists";
}

TEST_F(SettingsFile, FogOfWarIsAlwaysOnAndResetsTheCounters)
{
    g_bFogOfWar = 0;
    const std::string text = MakeGameInfoText();
    g_GameStateCounters[0] = 5;
    g_GameStateCounters[3] = -2;
    ParseGameInfo(text.data(), text.size());
    EXPECT_EQ(g_bFogOfWar, 1);
    for (std::int32_t c : g_GameStateCounters)
        EXPECT_EQ(c, 0);
}

TEST_F(SettingsFile, NumbersKeepTheirLowEightBits)
{
    const std::string text = Cp("{Фоновая музыка}") + " 300 {x} 44";
    ParseGameInfo(text.data(), text.size());
    EXPECT_EQ(g_bMusicOn, 44);
    EXPECT_EQ(g_MusicVolume, 44);
}

TEST_F(SettingsFile, ACutFileKeepsEveryValueItCouldNotRead)
{
    const std::uint8_t values[13] = {0, 70, 0, 60, 1, 33, 1, 1, 20, 80, 0, 1, 0};
    Set(values);
    for (int i = 0; i < ADVISOR_OPTIONS; ++i)
        g_AdvisorOptions[0][i] = g_WarAdvisorOptions[0][i] = 0;
    const Settings full = Current();
    const std::string text = MakeGameInfoText();
    Set(kStart);
    std::memset(g_AdvisorOptions, 1, sizeof g_AdvisorOptions);
    std::memset(g_WarAdvisorOptions, 1, sizeof g_WarAdvisorOptions);
    const Settings start = Current();

    for (std::size_t cut = 0; cut <= text.size(); ++cut) {
        Set(kStart);
        std::memset(g_AdvisorOptions, 1, sizeof g_AdvisorOptions);
        std::memset(g_WarAdvisorOptions, 1, sizeof g_WarAdvisorOptions);
        ParseGameInfo(text.data(), cut);
        const Settings got = Current();
        for (int i = 0; i < 13; ++i) {
            // A number cut inside its digits reads as a shorter number; only whole-file values or
            // start values may stand, except for that one item.
            const bool known = got.items[i] == full.items[i] || got.items[i] == start.items[i];
            const bool cutInDigits = cut < text.size() && std::isdigit(static_cast<unsigned char>(text[cut])) &&
                                     cut > 0 && std::isdigit(static_cast<unsigned char>(text[cut - 1]));
            EXPECT_TRUE(known || cutInDigits) << "cut " << cut << " item " << i;
        }
        EXPECT_NE(g_GameSpeed, 0) << "cut " << cut;
    }
    ParseGameInfo(text.data(), text.size());
    EXPECT_EQ(Current(), full);
}

TEST_F(SettingsFile, MissingFileKeepsValuesAndLogsOnce)
{
    g_GameSpeed = 70;
    g_AdvisorOptions[2][5] = 0;
    LoadGameInfo();
    EXPECT_EQ(g_GameSpeed, 70);
    EXPECT_EQ(g_AdvisorOptions[2][5], 1); // the tables are reset before the file is opened
    EXPECT_TRUE(Logged("File not open in LoadGameInfo()"));
}

TEST_F(SettingsFile, SaveToAnUnwritablePlaceLogsAndKeepsTheOldFile)
{
    testsupport::WriteText(dir / "Data/GameInf.txt/blocker", "x"); // a folder where the file should be
    SaveGameInfo();
    EXPECT_TRUE(Logged("Cannot open file Data\\GameInf.txt for writing (may be its read only)"));
}

TEST_F(SettingsFile, AdvisorValuesGoToTheLocalPlayersRow)
{
    MyPlayer = 3;
    for (int i = 0; i < ADVISOR_OPTIONS; ++i) {
        g_AdvisorOptions[3][i] = 0;
        g_WarAdvisorOptions[3][i] = i == 7 ? 0 : 1;
    }
    std::string text = MakeGameInfoText();
    std::memset(g_AdvisorOptions, 7, sizeof g_AdvisorOptions);
    std::memset(g_WarAdvisorOptions, 7, sizeof g_WarAdvisorOptions);
    testsupport::WriteText(dir / "Data/GameInf.txt", text);
    LoadGameInfo();
    EXPECT_EQ(g_AdvisorOptions[3][0], 0);
    EXPECT_EQ(g_WarAdvisorOptions[3][7], 0);
    EXPECT_EQ(g_WarAdvisorOptions[3][8], 1);
    EXPECT_EQ(g_AdvisorOptions[2][0], 1);
    EXPECT_EQ(g_AdvisorOptions[0][0], 1);

    // A comment between the advisor values stops the reading there.
    MyPlayer = 0;
    const std::size_t at = text.find(" 1 ", text.find("\r\n0 0 ") + 4);
    text.insert(at + 1, "{note} ");
    std::memset(g_AdvisorOptions, 1, sizeof g_AdvisorOptions);
    g_bReducedAnimation = 9;
    ParseGameInfo(text.data(), text.size());
    EXPECT_EQ(g_bReducedAnimation, 9);
}

TEST_F(SettingsFile, SampleFolderHoldsTheGamesOwnSettingsFile)
{
    ASSERT_TRUE(sampledata::WriteGameInfo(dir.Path())); // creates Data itself
    EXPECT_EQ(testsupport::ReadText(dir / "Data/GameInf.txt"), MakeGameInfoText());
}

TEST(CommentedReader, SkipsCommentsBeforeTheValue)
{
    struct Case {
        const char* text;
        bool found;
        const char* value;
    };
    const Case cases[] = {
        {"42", true, "42"},
        {"  \r\n\t 42 next", true, "42"},
        {"{one} 42", true, "42"},
        {"{one-word}\t\t42", true, "42"},
        {"{split over\r\nseveral words} 42", true, "42"},
        {"{first} {second comment} 42", true, "42"},
        {"{open {nested} 42", true, "42"},
        {"{closed by } word 42", true, "word"},
        {"{a }b 42", false, ""},
        {"{a }b} 42", true, "42"},
        {"{never closed 42", false, ""},
        {"{closed}", false, ""},
        {"", false, ""},
        {"   ", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        TIfStreamMemory in(c.text, static_cast<std::int32_t>(std::strlen(c.text)));
        char buffer[COMMENTED_WORD_BUFFER] = "untouched";
        EXPECT_EQ(ReadCommentedString(in, buffer), c.found);
        if (c.found)
            EXPECT_STREQ(buffer, c.value);
    }
}

TEST(CommentedReader, ConvertsByTheReadersType)
{
    const char text[] = "{a} 70000 {b} -1 {c} 513 {d} 0 {e} 3.25 {f} 12abc {g} -7 {h} 4294967296";
    TIfStreamMemory in(text, sizeof text - 1);
    std::uint16_t w = 0;
    std::int32_t i = 0;
    std::uint8_t b = 0;
    std::uint8_t flag = 5;
    float f = 0;
    std::uint32_t d = 0;
    EXPECT_TRUE(ReadCommentedWord(in, w));
    EXPECT_EQ(w, static_cast<std::uint16_t>(70000));
    EXPECT_TRUE(ReadCommentedInt(in, i));
    EXPECT_EQ(i, -1);
    EXPECT_TRUE(ReadCommentedValue(in, b));
    EXPECT_EQ(b, 1); // 513 & 0xFF
    EXPECT_TRUE(ReadCommentedValueB(in, flag));
    EXPECT_EQ(flag, 0);
    EXPECT_TRUE(ReadCommentedLong(in, f));
    EXPECT_FLOAT_EQ(f, 3.25f);
    EXPECT_TRUE(ReadCommentedValue(in, i));
    EXPECT_EQ(i, 12);
    EXPECT_TRUE(ReadCommentedDword(in, d));
    EXPECT_EQ(d, static_cast<std::uint32_t>(-7));
    EXPECT_TRUE(ReadCommentedInt(in, i));
    EXPECT_EQ(i, 2147483647); // saturated, never overflowing
    EXPECT_FALSE(ReadCommentedInt(in, i));
    EXPECT_EQ(i, 2147483647);
}

TEST(CommentedReader, LongWordsAreCutAndTheirClosingBraceStillSeen)
{
    const std::string comment = "{" + std::string(600, 'x') + "}";
    const std::string text = comment + " " + std::string(400, 'v') + " 9";
    TIfStreamMemory in(text.data(), static_cast<std::int32_t>(text.size()));
    char buffer[COMMENTED_WORD_BUFFER];
    ASSERT_TRUE(ReadCommentedString(in, buffer));
    EXPECT_EQ(std::string(buffer), std::string(COMMENTED_WORD_BUFFER - 1, 'v'));
    std::uint8_t v = 0;
    EXPECT_TRUE(ReadCommentedValue(in, v));
    EXPECT_EQ(v, 9);
}

TEST(CommentedReader, AllocTurnsUnderscoresIntoBlanksUnlessTheValueStartsWithZero)
{
    const char text[] = "{name} Battle_of_the_Marne {none} 0_ignored {other} x";
    TIfStreamMemory in(text, sizeof text - 1);
    char* value = nullptr;
    EXPECT_TRUE(ReadCommentedAlloc(in, value));
    EXPECT_STREQ(value, "Battle of the Marne");
    EXPECT_FALSE(ReadCommentedAlloc(in, value));
    EXPECT_EQ(value, nullptr);
    EXPECT_TRUE(ReadCommentedAlloc(in, value));
    EXPECT_STREQ(value, "x");
    EXPECT_FALSE(ReadCommentedAlloc(in, value));
    EXPECT_EQ(value, nullptr);
}

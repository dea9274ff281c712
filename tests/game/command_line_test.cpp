#include "game/command_line.h"
#include "map/static_layer.h"
#include "map/trench_pieces.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/app_state.h"

namespace {

std::vector<std::string> g_Boxes;
void RecordBox(const char* title, const char* text)
{
    g_Boxes.push_back(std::string(title) + "|" + text);
}

class CommandLine : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetCommandLine();
        g_Boxes.clear();
        SetCommandLineMessageBox(RecordBox);
    }
    void TearDown() override
    {
        ResetCommandLine();
        SetCommandLineMessageBox(nullptr);
    }
};

const std::string kUsageBox =
    "Error|Unknown format command line. Use: Korvela.exe +param_type1 param1 +param_type2_param2";

} // namespace

TEST_F(CommandLine, EmptyLineIsAccepted)
{
    EXPECT_TRUE(ParseCommandLine(nullptr));
    EXPECT_TRUE(ParseCommandLine(""));
    EXPECT_TRUE(g_Boxes.empty());
}

TEST_F(CommandLine, FlagsAndTheirValues)
{
    ASSERT_TRUE(ParseCommandLine("+editor 1 +video 0"));
    EXPECT_EQ(g_bEditorMenu, 1);
    EXPECT_EQ(g_bPlayVideo, 0);

    struct Case {
        const char* line;
        std::uint8_t* flag;
        std::uint8_t value;
    } cases[] = {
        {"+VIDEO 0", &g_bPlayVideo, 0},       {"+video off", &g_bPlayVideo, 1}, {"+hardlevel 2", &g_HardLevel, 2},
        {"+hardlevel 4", &g_HardLevel, 0},    {"+hardlevel 01", &g_HardLevel, 0}, {"+radeon 1", &g_bRadeon, 1},
        {"+radeon 2", &g_bRadeon, 0},         {"+zbufclear yes", &g_bZBufClear, 1}, {"+trench 0", &g_bTrench, 0},
        {"+museumload x +trench 1", &g_bTrench, 1}, {"+video 0 +video 1", &g_bPlayVideo, 0},
    };
    for (const auto& c : cases) {
        ResetCommandLine();
        ASSERT_TRUE(ParseCommandLine(c.line)) << c.line;
        EXPECT_EQ(*c.flag, c.value) << c.line;
    }
    EXPECT_TRUE(g_Boxes.empty());
}

TEST_F(CommandLine, FormatErrors)
{
    const std::string longName = "+" + std::string(200, 'n') + " 1";
    const std::string longValue = "+video " + std::string(200, 'v');
    const std::string okLength = "+video " + std::string(199, 'v');
    for (const std::string& bad : {std::string("+editor"), std::string("editor 1"), longName, longValue}) {
        g_Boxes.clear();
        EXPECT_FALSE(ParseCommandLine(bad.c_str())) << bad;
        ASSERT_EQ(g_Boxes.size(), 1u) << bad;
        EXPECT_EQ(g_Boxes[0], kUsageBox);
    }
    EXPECT_TRUE(ParseCommandLine(okLength.c_str()));
}

TEST_F(CommandLine, TwentyFirstPairIsIgnored)
{
    std::string line;
    for (int i = 0; i < 20; ++i)
        line += "+x" + std::to_string(i) + " 1 ";
    line += "+video 0";
    EXPECT_TRUE(ParseCommandLine(line.c_str()));
    EXPECT_EQ(g_bPlayVideo, 1);
    EXPECT_TRUE(g_Boxes.empty());
}

TEST_F(CommandLine, NetworkStart)
{
    ASSERT_TRUE(ParseCommandLine("+join 10.0.0.5 +name Bob"));
    ASSERT_NE(g_pNetStart, nullptr);
    EXPECT_EQ(g_pNetStart->mode, 1u);
    EXPECT_EQ(std::u16string(g_pNetStart->address), u"10.0.0.5");
    EXPECT_EQ(g_pNetStart->port, 20005);
    EXPECT_EQ(g_pNetStart->name, u"Bob");
    EXPECT_EQ(g_bNetStart, 1);
    EXPECT_EQ(g_bPlayVideo, 0);

    ResetCommandLine();
    ASSERT_TRUE(ParseCommandLine("+connect a +join b +name c"));
    EXPECT_EQ(std::u16string(g_pNetStart->address), u"a");

    ResetCommandLine();
    ASSERT_TRUE(ParseCommandLine("+host x +name \xC8\xE2\xE0\xED +port 3000"));
    EXPECT_EQ(g_pNetStart->mode, 0u);
    EXPECT_EQ(g_pNetStart->port, 3000);
    EXPECT_EQ(g_pNetStart->name, u"Иван");
    EXPECT_EQ(g_pNetStart->address[0], 0);

    for (const char* badPort : {"+host x +name a +port 70000", "+host x +name a +port 12ab", "+host x +name a +port 0"}) {
        ResetCommandLine();
        ASSERT_TRUE(ParseCommandLine(badPort)) << badPort;
        EXPECT_EQ(g_pNetStart->port, DEFAULT_NET_PORT) << badPort;
    }
}

TEST_F(CommandLine, IniWinsOverTheNetworkOptions)
{
    ASSERT_TRUE(ParseCommandLine("+ini anything +host x"));
    EXPECT_EQ(g_pNetStart, nullptr);
    EXPECT_EQ(g_bNetStart, 1);
    EXPECT_EQ(g_bPlayVideo, 0);
}

TEST_F(CommandLine, MissingNameMessages)
{
    struct Case {
        const char* line;
        const char* box;
    } cases[] = {
        {"+host x +port 3000", "Error|Missing parametr name for host in command line"},
        {"+join x", "Error|Missing parametr name in command line for join"},
        {"+connect x", "Error|Missing parametr name in command line for connect"},
        {"+connect x +host y", "Error|Missing parametr name for host in command line"},
    };
    for (const auto& c : cases) {
        ResetCommandLine();
        g_Boxes.clear();
        EXPECT_FALSE(ParseCommandLine(c.line)) << c.line;
        ASSERT_EQ(g_Boxes.size(), 1u);
        EXPECT_EQ(g_Boxes[0], c.box);
        EXPECT_EQ(g_pNetStart, nullptr);
    }
}

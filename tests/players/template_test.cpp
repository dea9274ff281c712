// Build templates: both readers, the writer, and the malformed files they refuse.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/game_folder_fixture.h"
#include "parameters.h"
#include "players/template.h"
#include "sample_types.h"
#include "templates.h"
#include "units/house_types.h"

namespace {

class TemplateTest : public GameFolderTest {
protected:
    static void Put16(std::vector<std::uint8_t>& b, std::uint16_t v)
    {
        b.push_back(static_cast<std::uint8_t>(v));
        b.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    // "tmpl", the level count, then the levels' raw bytes.
    static std::vector<std::uint8_t> File(std::uint8_t levels, const std::vector<std::uint8_t>& body)
    {
        std::vector<std::uint8_t> b = {'t', 'm', 'p', 'l', levels};
        b.insert(b.end(), body.begin(), body.end());
        return b;
    }
    static std::vector<std::uint8_t> OneEntryLevel(std::uint16_t kind, std::uint16_t type, std::uint16_t count)
    {
        std::vector<std::uint8_t> b;
        Put16(b, 1);
        Put16(b, kind);
        Put16(b, type);
        Put16(b, count);
        Put16(b, 0);
        return b;
    }
    void WriteFile(const std::string& name, const std::vector<std::uint8_t>& bytes)
    {
        testsupport::WriteText(dir / name, std::string(bytes.begin(), bytes.end()));
    }
};

const char* const kText = R"({A sample template} 2
{level one} first level MUST
  create_unit 0 3 {workers}
  CREATE_BUILDING 4 1
  May
  CREATE_UPGRADE 0 17
NEW_LEVEL
second mUsT
  CREATE_UNIT 5 2
MAYBE
NEW_LEVEL
)";

TEST_F(TemplateTest, TextAndBinaryFormsRoundTrip)
{
    testsupport::WriteText(dir / "t.txt", kText);
    TTemplate t;
    ASSERT_TRUE(t.LoadTemplateFromFile("t.txt"));
    ASSERT_EQ(t.LevelCount, 2);
    const std::vector<TTemplateEntry> must0 = {{1, 0, 3}, {2, 4, 1}};
    const std::vector<TTemplateEntry> may0 = {{3, 0, 17}};
    EXPECT_EQ(t.MustList(0), must0);
    EXPECT_EQ(t.MayList(0), may0);
    EXPECT_EQ(t.MustList(1), (std::vector<TTemplateEntry>{{1, 5, 2}}));
    EXPECT_EQ(t.MayCount(1), 0);
    EXPECT_EQ(t.CurrentLevel, 0);
    EXPECT_EQ(t.Cursor, 0);

    std::filesystem::create_directories(dir / "Data");
    ASSERT_TRUE(t.SaveTemplateToFile("Data\\Template4.tpl"));
    const auto bytes = testsupport::ReadAll(dir / "Data/Template4.tpl");
    // magic + count, level 0: 2 + 12 + 2 + 6, level 1: 2 + 6 + 2.
    EXPECT_EQ(bytes.size(), 5u + 22u + 10u);
    TTemplate back;
    back.CurrentLevel = 7;
    back.Cursor = 3;
    ASSERT_TRUE(back.LoadTemplateFromBinaryFile(TEMPLATE_FILE_NAME));
    ASSERT_EQ(back.LevelCount, 2);
    for (int level = 0; level < 2; ++level) {
        EXPECT_EQ(back.MustList(level), t.MustList(level));
        EXPECT_EQ(back.MayList(level), t.MayList(level));
    }
    EXPECT_EQ(back.CurrentLevel, 0);
    EXPECT_EQ(back.Cursor, 0);
    EXPECT_EQ(back.ToBinary(), bytes);

    back.ReleaseTemplateLists();
    EXPECT_EQ(back.LevelCount, 2);
    EXPECT_EQ(back.MustCount(0), 0);
    back.FreeTemplate();
    EXPECT_EQ(back.LevelCount, 0);
}

TEST_F(TemplateTest, EmptyTemplatesAndEmptyLevels)
{
    TTemplate t;
    WriteFile("none.tpl", File(0, {}));
    EXPECT_TRUE(t.LoadTemplateFromBinaryFile("none.tpl"));
    EXPECT_EQ(t.LevelCount, 0);

    // Two empty levels: four bytes each.
    WriteFile("empty.tpl", File(2, {0, 0, 0, 0, 0, 0, 0, 0}));
    ASSERT_TRUE(t.LoadTemplateFromBinaryFile("empty.tpl"));
    EXPECT_EQ(t.LevelCount, 2);
    EXPECT_EQ(t.ToBinary().size(), 5u + 8u);
    EXPECT_FALSE(Logged("Bad template"));
}

TEST_F(TemplateTest, WrongMagicIsRefusedQuietly)
{
    TTemplate t;
    WriteFile("good.tpl", File(1, OneEntryLevel(1, 0, 1)));
    ASSERT_TRUE(t.LoadTemplateFromBinaryFile("good.tpl"));
    auto bytes = File(1, OneEntryLevel(1, 0, 1));
    bytes[0] = 'T';
    WriteFile("magic.tpl", bytes);
    EXPECT_FALSE(t.LoadTemplateFromBinaryFile("magic.tpl"));
    EXPECT_EQ(t.LevelCount, 0);
    EXPECT_EQ(t.MustCount(0), 0);
    EXPECT_EQ(Log(), "");
}

TEST_F(TemplateTest, MissingFilesAreLogged)
{
    TTemplate t;
    EXPECT_FALSE(t.LoadTemplateFromBinaryFile("absent.tpl"));
    EXPECT_TRUE(Logged("Cant open file in LoadTemplateFromBinaryFile"));
    EXPECT_FALSE(t.LoadTemplateFromFile("absent.txt"));
    EXPECT_TRUE(Logged("Cant open file in LoadTemplateFromFile"));
}

TEST_F(TemplateTest, MalformedBinaryFilesAreRefused)
{
    std::vector<std::uint8_t> many;
    for (int i = 0; i < 101; ++i)
        many.insert(many.end(), {0, 0, 0, 0});
    auto cut = File(1, OneEntryLevel(1, 0, 1));
    cut.resize(cut.size() - 3);
    const struct {
        const char* what;
        std::vector<std::uint8_t> bytes;
    } cases[] = {
        {"101 levels", File(101, many)},
        {"short file", cut},
        {"count promises more levels", File(2, OneEntryLevel(1, 0, 1))},
        {"unit type 40", File(1, OneEntryLevel(1, 40, 1))},
        {"building type 30", File(1, OneEntryLevel(2, 30, 1))},
        {"building type 25", File(1, OneEntryLevel(2, 25, 1))},
        {"unknown kind", File(1, OneEntryLevel(4, 0, 1))},
        {"kind 0", File(1, OneEntryLevel(0, 0, 1))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TTemplate t;
        WriteFile("bad.tpl", c.bytes);
        EXPECT_FALSE(t.LoadTemplateFromBinaryFile("bad.tpl"));
        EXPECT_EQ(t.LevelCount, 0);
        EXPECT_TRUE(Logged("Bad template file in LoadTemplateFromBinaryFile"));
    }
    // The last legal types load.
    TTemplate t;
    WriteFile("edge.tpl", File(2, [] {
                  auto b = OneEntryLevel(1, 39, 1);
                  auto c = OneEntryLevel(2, 24, 1);
                  b.insert(b.end(), c.begin(), c.end());
                  return b;
              }()));
    EXPECT_TRUE(t.LoadTemplateFromBinaryFile("edge.tpl"));
}

TEST_F(TemplateTest, MalformedTextIsRefused)
{
    const struct {
        const char* what;
        const char* text;
    } cases[] = {
        {"101 levels", "101 MUST NEW_LEVEL"},
        {"no MUST", "1 CREATE_UNIT 1 1 NEW_LEVEL"},
        {"no NEW_LEVEL", "1 MUST CREATE_UNIT 1 1 MAY"},
        {"missing number", "1 MUST CREATE_UNIT 1 MAY NEW_LEVEL"},
        {"unit type 40", "1 MUST CREATE_UNIT 40 1 NEW_LEVEL"},
        {"building type 30", "1 MUST CREATE_BUILDING 30 1 NEW_LEVEL"},
        {"unknown keyword", "1 MUST CREATE_SHIP 1 1 NEW_LEVEL"},
        {"count above 16 bits", "1 MUST CREATE_UNIT 1 70000 NEW_LEVEL"},
        {"negative count", "1 MUST CREATE_UNIT 1 -1 NEW_LEVEL"},
        {"no level count", "MUST"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TTemplate t;
        EXPECT_FALSE(t.LoadTemplateFromText(c.text, std::string(c.text).size()));
        EXPECT_EQ(t.LevelCount, 0);
    }
    EXPECT_TRUE(Logged("Bad template file in LoadTemplateFromFile"));
}

TEST_F(TemplateTest, LongTextListsStayWhole)
{
    std::string text = "1 MUST";
    for (int i = 0; i < 1000; ++i)
        text += " CREATE_UNIT 1 " + std::to_string(i);
    text += " MAY NEW_LEVEL";
    TTemplate t;
    ASSERT_TRUE(t.LoadTemplateFromText(text.data(), text.size()));
    ASSERT_EQ(t.MustCount(0), 1000);
    EXPECT_EQ(t.MustList(0)[999].Count, 999);
}

// The sample template, as the game loads it, asks at every step only for what the buildings of
// the steps before it make possible, for every sample nation, from a town hall alone.
TEST_F(TemplateTest, SampleTemplateBuildsOnWhatCameBefore)
{
    ASSERT_TRUE(sampledata::WriteTemplates(dir.Path()));
    TTemplate t;
    ASSERT_TRUE(t.LoadTemplateFromBinaryFile(TEMPLATE_FILE_NAME));
    ASSERT_GE(t.LevelCount, 3);
    for (int nation = 0; nation < sampledata::kSampleNations; ++nation) {
        SCOPED_TRACE(nation);
        bool have[HOUSE_TYPES_PER_SIDE] = {};
        have[6] = true; // the town hall every player starts with
        auto needs = [&](std::uint16_t type) {
            const THouseType h = sampledata::SampleHouseRecord(nation, sampledata::kSampleHouseTypes[type]);
            for (std::uint16_t r : h.m_RequiredHouses)
                if (r != HOUSE_LIST_END && !have[r])
                    return false;
            return true;
        };
        auto trained = [&](std::uint16_t unit) {
            for (int type = 0; type < HOUSE_TYPES_PER_SIDE; ++type) {
                const THouseType h = sampledata::SampleHouseRecord(nation, sampledata::kSampleHouseTypes[type]);
                for (std::uint16_t u : h.m_Units)
                    if (have[type] && u == unit)
                        return true;
            }
            return false;
        };
        bool extractor = false;
        bool soldiers = false;
        for (int level = 0; level < t.LevelCount; ++level) {
            for (const auto* list : {&t.MustList(level), &t.MayList(level)}) {
                for (const TTemplateEntry& e : *list) {
                    SCOPED_TRACE(testing::Message() << "level " << level << " kind " << e.Kind << " type " << e.Type);
                    if (e.Kind == TEMPLATE_HOUSE) {
                        EXPECT_TRUE(needs(e.Type));
                        if (list == &t.MustList(level))
                            have[e.Type] = true;
                        extractor |= e.Type == 10 || e.Type == 11 || e.Type == 12;
                    } else if (e.Kind == TEMPLATE_UNIT) {
                        EXPECT_TRUE(trained(e.Type));
                        soldiers |= e.Type != 0;
                    } else {
                        EXPECT_TRUE(have[2] || have[5]); // research needs an academy
                    }
                }
                // What a MAY list adds is there by the next level.
                if (list == &t.MayList(level))
                    for (const TTemplateEntry& e : *list)
                        if (e.Kind == TEMPLATE_HOUSE)
                            have[e.Type] = true;
            }
        }
        EXPECT_TRUE(extractor);
        EXPECT_TRUE(soldiers);
    }
    // The first level asks for workers and a farm before anything else.
    EXPECT_EQ(t.MustList(0)[0], (TTemplateEntry{TEMPLATE_UNIT, 0, 4}));
    EXPECT_EQ(t.MustList(0)[1], (TTemplateEntry{TEMPLATE_HOUSE, 15, 1}));
}

} // namespace

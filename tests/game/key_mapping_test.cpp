#include "game/key_mapping.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "game/game_keys.h"
#include "core_files.h"
#include "map/map_fixture.h"
#include "platform/paths.h"
#include "test_support.h"

namespace {

std::vector<std::uint8_t> Bytes(const std::string& text)
{
    return {text.begin(), text.end()};
}

struct ParseCase {
    const char* name;
    std::string file;
    bool ok;
    std::size_t entries;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> lookups; // key -> expected
};

class KeyMappingTable : public ::testing::TestWithParam<ParseCase> {};

TEST_P(KeyMappingTable, ParsesEntriesAndLooksUpTheFirstMatch)
{
    const ParseCase& c = GetParam();
    maptest::LogWatch log;
    KeyMapping mapping;
    EXPECT_EQ(mapping.Parse(Bytes(c.file)), c.ok);
    EXPECT_TRUE(mapping.IsLoaded());
    EXPECT_EQ(mapping.Size(), c.entries);
    for (const auto& [key, expected] : c.lookups)
        EXPECT_EQ(mapping.Find(key), expected) << "key " << key;
    EXPECT_EQ(log.Count("KeyMapping: entry without a replacement"), c.ok ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    Files, KeyMappingTable,
    ::testing::Values(
        ParseCase{"Empty", "", true, 0, {{'A', 'A'}, {0x60, 0x60}}},
        ParseCase{"OneEntry", "a b\r\n", true, 1, {{'a', 'b'}, {'b', 'b'}, {'c', 'c'}}},
        // Anything between the code and the blank is a comment of the entry.
        ParseCase{"TextBeforeTheBlank", "Qwerty Z\r\nW W\r\n", true, 2, {{'Q', 'Z'}, {'W', 'W'}}},
        ParseCase{"FirstEntryWins", "a b\r\na c\r\n", true, 2, {{'a', 'b'}}},
        ParseCase{"LastLineWithoutItsEnd", "a b\r\nc d", true, 2, {{'c', 'd'}}},
        // Codes are bytes: a key above 255 never matches.
        ParseCase{"WideKeysPassUnchanged", "a b\r\n", true, 1, {{0x161, 0x161}}},
        ParseCase{"EntryWithoutBlankIsRefused", "a b\r\nxyz", false, 1, {{'a', 'b'}, {'x', 'x'}}},
        ParseCase{"EntryWithoutReplacementIsRefused", "a b\r\nc ", false, 1, {{'c', 'c'}}}),
    [](const ::testing::TestParamInfo<ParseCase>& info) { return info.param.name; });

class KeyMappingFile : public ::testing::Test {
protected:
    void SetUp() override { plat::SetGameRoot(dir.Path()); }
    void TearDown() override
    {
        plat::SetGameRoot(".");
        g_KeyMapping = KeyMapping();
    }
    testsupport::TempDir dir;
};

TEST_F(KeyMappingFile, MissingFileLeavesEveryKeyUnchanged)
{
    const KeyMapping mapping("Data\\KeyMapping.txt");
    EXPECT_FALSE(mapping.IsLoaded());
    EXPECT_EQ(mapping.Find(0x60), 0x60u);
}

TEST_F(KeyMappingFile, SampleFileMapsTheKeypadDigitsForEveryKeyMessage)
{
    ASSERT_TRUE(sampledata::WriteKeyMapping(dir.Path()));
    LoadKeyMapping();
    EXPECT_TRUE(g_KeyMapping.IsLoaded());
    for (std::uint32_t digit = 0; digit < 10; ++digit)
        EXPECT_EQ(MapGameKey(0x60 + digit), '0' + digit);
    EXPECT_EQ(MapGameKey(0x6B), 0x6Bu); // numpad + keeps its own meaning
    EXPECT_EQ(MapGameKey('A'), static_cast<std::uint32_t>('A'));
}

TEST_F(KeyMappingFile, EmptyFileIsLoadedAndChangesNothing)
{
    testsupport::WriteText(dir / "Data/KeyMapping.txt", "");
    const KeyMapping mapping("Data\\KeyMapping.txt");
    EXPECT_TRUE(mapping.IsLoaded());
    EXPECT_EQ(mapping.Find('A'), static_cast<std::uint32_t>('A'));
}

} // namespace

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "archives.h"
#include "core/game_folder_fixture.h"
#include "core/memory_stream.h"
#include "map/map_file.h"
#include "map/map_grid.h"
#include "maps.h"
#include "platform/bytes.h"
#include "sample_data.h"

namespace {

using sampledata::BuildMapFile;
using sampledata::BuildMapImage;

// A small map with two players, one house and two units each, and every optional block.
sampledata::SampleMap SmallMap()
{
    sampledata::SampleMap m = sampledata::MakeTestMap();
    return m;
}

bool Parse(const std::vector<std::uint8_t>& file, TMapFileData& out)
{
    bool compressed = false;
    const std::vector<std::uint8_t> content = UnpackMapFile(file, "Maps\\t.dat", &compressed);
    if (content.empty())
        return false;
    TIfStreamMemory in(content.data(), static_cast<std::int32_t>(content.size()));
    return ParseMapHead(in, compressed, out);
}

class MapFileTest : public GameFolderTest {};

TEST_F(MapFileTest, BothFormsGiveTheSameWorld)
{
    const sampledata::SampleMap m = SmallMap();
    TMapFileData plain, packed;
    ASSERT_TRUE(Parse(BuildMapFile(m.data, m.tail, false), plain));
    ASSERT_TRUE(Parse(BuildMapFile(m.data, m.tail, true), packed));
    EXPECT_FALSE(plain.compressed);
    EXPECT_TRUE(packed.compressed);
    ASSERT_EQ(plain.width, m.data.width);
    ASSERT_EQ(plain.cells.size(), packed.cells.size());
    for (std::size_t i = 0; i < plain.cells.size(); ++i) {
        const TMapFileCell& a = plain.cells[i];
        const TMapFileCell& b = m.data.cells[i];
        ASSERT_EQ(0, std::memcmp(&a, &packed.cells[i], sizeof a)) << i;
        ASSERT_EQ(a.base, b.base);
        ASSERT_EQ(a.object, b.object);
        ASSERT_EQ(a.height, b.height);
    }
    ASSERT_EQ(plain.players.size(), 2u);
    for (int p = 0; p < 2; ++p) {
        EXPECT_EQ(std::u16string(plain.players[p].name), std::u16string(m.data.players[p].name));
        ASSERT_EQ(plain.houses[p].size(), packed.houses[p].size());
        EXPECT_EQ(plain.houses[p][0].x, packed.houses[p][0].x);
        EXPECT_EQ(plain.houses[p][0].y, packed.houses[p][0].y);
        EXPECT_TRUE(plain.houses[p][0].oldForm);
        ASSERT_EQ(plain.units[p].size(), packed.units[p].size());
        for (std::size_t u = 0; u < plain.units[p].size(); ++u) {
            EXPECT_EQ(plain.units[p][u].x, packed.units[p][u].x);
            EXPECT_EQ(plain.units[p][u].type, packed.units[p][u].type);
            EXPECT_EQ(plain.units[p][u].orient, packed.units[p][u].orient);
        }
    }
    EXPECT_TRUE(Logged("ERROR!!!Houses failed on old map"));
}

TEST_F(MapFileTest, PlainFormMagicIgnoresItsFourthByte)
{
    const sampledata::SampleMap m = SmallMap();
    for (std::uint8_t fourth : {std::uint8_t{'p'}, std::uint8_t{0}, std::uint8_t{0xFF}}) {
        std::vector<std::uint8_t> file = BuildMapFile(m.data, m.tail, false);
        file[3] = fourth;
        TMapFileData out;
        EXPECT_TRUE(Parse(file, out)) << int(fourth);
    }
    std::vector<std::uint8_t> image = BuildMapImage(m.data, m.tail);
    image[1] = 'B';
    TMapFileData out;
    EXPECT_FALSE(Parse(sampledata::BuildCompressedFile(image), out));
    EXPECT_TRUE(Logged("Wrong map file!"));
}

// Refusals of the head: each case edits a valid map and names the line it logs.
TEST_F(MapFileTest, MalformedHeadsAreRefusedWithTheirMessages)
{
    struct Case {
        const char* name;
        bool compressed;
        std::function<void(sampledata::SampleMap&)> edit;
        const char* logged;
    };
    const Case cases[] = {
        {"nine players", true,
         [](sampledata::SampleMap& m) { m.data.players.resize(9); },
         "Map player count above 8"},
        {"house type 25", true, [](sampledata::SampleMap& m) { m.data.houses[1][0].type = 25; },
         "Map house type out of range"},
        {"old house type 21", false, [](sampledata::SampleMap& m) { m.data.houses[0][0].type = 21; }, "AAAAAAAAA"},
        // The plain form's type is 16 bits wide: its high byte counts.
        {"old house type 256", false, [](sampledata::SampleMap& m) { m.data.houses[0][0].type = 256; }, "AAAAAAAAA"},
        {"no columns", true, [](sampledata::SampleMap& m) { m.data.width = 0; m.data.cells.clear(); },
         "Map size out of range"},
    };
    for (const Case& c : cases) {
        sampledata::SampleMap m = SmallMap();
        c.edit(m);
        testsupport::WriteText("ReportError.log", "");
        TMapFileData out;
        EXPECT_FALSE(Parse(BuildMapFile(m.data, m.tail, c.compressed), out)) << c.name;
        EXPECT_TRUE(Logged(c.logged)) << c.name;
    }
    // Sizes past the limits are refused from the head alone, before the cells are looked for.
    const std::pair<std::uint16_t, std::uint16_t> sizes[] = {{32768, 1}, {65535, 65535}, {1024, 2049}};
    for (const auto& [w, h] : sizes) {
        std::vector<std::uint8_t> head{'~', 'A', 'M', 'p', 0, 0, 0, 0};
        plat::WriteU16LE(head.data() + 4, w);
        plat::WriteU16LE(head.data() + 6, h);
        testsupport::WriteText("ReportError.log", "");
        TMapFileData out;
        EXPECT_FALSE(Parse(head, out)) << w << "x" << h;
        EXPECT_TRUE(Logged("Map size out of range")) << w << "x" << h;
    }
    EXPECT_TRUE(MapSizeAllowed(32767, 64));
    EXPECT_TRUE(MapSizeAllowed(1024, 2048));
    // A house type of 24 is the last one a file may name.
    sampledata::SampleMap m = SmallMap();
    m.data.houses[1][0].type = 24;
    TMapFileData out;
    EXPECT_TRUE(Parse(BuildMapFile(m.data, m.tail, true), out));
}

TEST_F(MapFileTest, ImagesCutInTheHeadAreRefused)
{
    const sampledata::SampleMap m = SmallMap();
    const std::vector<std::uint8_t> image = BuildMapImage(m.data, m.tail);
    const std::size_t cells = 8 + 25u * m.data.cells.size();
    for (std::size_t cut : {std::size_t{6}, cells - 1, cells + 1, cells + 2 + 44, cells + 2 + 88 + 16 + 10}) {
        std::vector<std::uint8_t> part(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(cut));
        TMapFileData out;
        EXPECT_FALSE(Parse(part, out)) << cut;
    }
}

TEST_F(MapFileTest, MapKindFollowsTheName)
{
    const struct {
        const char* name;
        std::uint32_t kind;
    } cases[] = {{"winter.dat", 3}, {"Woods.dat", 3}, {"random2r.dat", 3}, {"random1r.dat", 3},
                 {"random2R.dat", 1}, {"Coast.dat", 1}, {"", 1}};
    for (const auto& c : cases)
        EXPECT_EQ(MapKindOfName(c.name), c.kind) << c.name;
}

TEST_F(MapFileTest, PlayerCountComesFromEitherForm)
{
    const sampledata::SampleMap m = sampledata::MakeCoastMap();
    const std::vector<std::uint8_t> packed = BuildMapFile(m.data, m.tail, true);
    const std::vector<std::uint8_t> plain = BuildMapFile(m.data, m.tail, false);
    ASSERT_TRUE(sampledata::WriteFileBytes(dir.Path(), "Maps/a.dat", packed.data(), packed.size()));
    ASSERT_TRUE(sampledata::WriteFileBytes(dir.Path(), "Maps/b.dat", plain.data(), plain.size()));
    EXPECT_EQ(GetMapPlayerCount("a.dat"), 8);
    EXPECT_EQ(GetMapPlayerCount("b.dat"), 8);
    EXPECT_EQ(GetMapPlayerCount("none.dat"), 0);
    EXPECT_TRUE(Logged("none.dat Load failed!!!"));
    const std::uint8_t junk[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    ASSERT_TRUE(sampledata::WriteFileBytes(dir.Path(), "Maps/junk.dat", junk, sizeof junk));
    EXPECT_EQ(GetMapPlayerCount("junk.dat"), 0);
    EXPECT_TRUE(Logged(" Load_Pack_File failed "));
}

TEST_F(MapFileTest, BuildPhaseByStateSteps)
{
    // Four phases over a build total of 400: q = 100.
    const struct {
        std::uint16_t state;
        std::uint8_t phase;
    } cases[] = {{0, 0}, {1, 3}, {100, 3}, {101, 2}, {200, 2}, {300, 1}, {400, 0}, {401, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(HouseBuildPhase(c.state, 4, 400), c.phase) << c.state;
    // Two phases: k - 3 and k - 4 would wrap and become 0.
    EXPECT_EQ(HouseBuildPhase(250, 2, 200), 0);
    EXPECT_EQ(HouseBuildPhase(5, 0, 200), 0);
}

TEST_F(MapFileTest, WaterBlockIsPassedOverExactly)
{
    const sampledata::SampleMap m = sampledata::MakeCoastMap();
    std::vector<std::uint8_t> block = m.tail.water;
    block.push_back(0xAB);
    TIfStreamMemory in(block.data(), static_cast<std::int32_t>(block.size()));
    ASSERT_TRUE(SkipWaterBlock(in, m.data.width, m.data.height));
    EXPECT_EQ(in.Remaining(), 1);
    TIfStreamMemory cut(block.data(), static_cast<std::int32_t>(block.size() - 10));
    EXPECT_FALSE(SkipWaterBlock(cut, m.data.width, m.data.height));
}

} // namespace

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <vector>

#include "archives.h"
#include "core/archive.h"
#include "core/app_state.h"
#include "devices/cursor_state.h"
#include "map/map_grid.h"
#include "map/map_objects.h"
#include "map/map_view.h"
#include "players/strateg.h"
#include "map_device_fixture.h"
#include "map_fixture.h"
#include "objects.h"
#include "platform/bytes.h"
#include "platform/texture.h"

namespace {

class MapObjectsTest : public MapDeviceTest {
protected:
    void TearDown() override
    {
        FreeObjects();
        MapDeviceTest::TearDown();
    }
    void WriteArchive(std::vector<int> kinds)
    {
        std::vector<sampledata::LesSource> entries;
        for (int k : kinds)
            entries.push_back({"kind" + std::to_string(k), static_cast<std::uint16_t>(k), sampledata::BuildSampleObjectKind(k)});
        ASSERT_TRUE(sampledata::WriteLesArchive(dir.Path(), "Data/Objects/Objects.les", entries));
    }
};

TEST_F(MapObjectsTest, GeneratedArchiveLoadsRecordsAndTextures)
{
    WriteArchive({0, 1, 2});
    ASSERT_TRUE(LoadObjects());
    EXPECT_EQ(g_ObjCount[OBJ_TREES], sampledata::kSampleTreeCount);
    EXPECT_EQ(g_ObjCount[OBJ_STONES], sampledata::kSampleStoneCount);
    EXPECT_EQ(g_ObjCount[OBJ_MISC], sampledata::kSampleMiscCount);
    EXPECT_EQ(g_ObjTextureCount[OBJ_TREES], 2);
    ASSERT_EQ(g_ObjTextures[OBJ_TREES].size(), 2u);
    // Every row of the texture holds the entry's row, whatever the texture's pitch.
    const std::vector<std::uint8_t> entry = sampledata::BuildSampleObjectKind(0);
    const std::uint8_t* pixels = entry.data() + 2 + 56 * sampledata::kSampleTreeCount + 1;
    const plat::PixelBuffer& px = g_ObjTextures[OBJ_TREES][0]->Pixels();
    for (int y = 0; y < 256; y += 17)
        for (int x = 0; x < 256; x += 13)
            ASSERT_EQ(plat::ReadU16LE(px.Row(y) + 2 * x), plat::ReadU16LE(pixels + 512 * y + 2 * x));
    const TMapObjectRecord& tree = g_ObjRecords[OBJ_TREES][5];
    EXPECT_EQ(tree.texture, 0);
    EXPECT_EQ(tree.width, 64);
    EXPECT_EQ(tree.height, 128);
    EXPECT_EQ(tree.shadowTexture, 1);
    EXPECT_EQ(g_ObjRecords[OBJ_MISC][1].shadowTexture, MAP_OBJECT_NO_PICTURE);
    // The slot was given back.
    EXPECT_EQ(GetLesEntryCount(LES_SLOT_OBJECTS), 0u);
}

TEST_F(MapObjectsTest, MissingEntryFailsAfterTheFirstKindAndLeavesTheSlotFree)
{
    WriteArchive({0, 2});
    ClearLog();
    EXPECT_FALSE(LoadObjects());
    EXPECT_TRUE(Logged("LoadObjects() FAILED"));
    EXPECT_EQ(g_ObjCount[OBJ_TREES], sampledata::kSampleTreeCount);
    EXPECT_EQ(g_ObjCount[OBJ_STONES], 0);
    // A later load of a complete archive succeeds.
    WriteArchive({0, 1, 2});
    EXPECT_TRUE(LoadObjects());
    EXPECT_EQ(g_ObjCount[OBJ_STONES], sampledata::kSampleStoneCount);
}

TEST_F(MapObjectsTest, MissingArchiveIsReported)
{
    ClearLog();
    EXPECT_FALSE(LoadObjects());
    EXPECT_TRUE(Logged("Load_LesHeader() FAILED"));
}

TEST(MapObjectBlock, EntriesWhoseCountsDoNotFitAreRefused)
{
    std::vector<std::uint8_t> entry = sampledata::BuildSampleObjectKind(1);
    std::vector<TMapObjectRecord> records;
    std::uint8_t textures = 0;
    std::span<const std::uint8_t> pixels;
    ASSERT_TRUE(ParseObjectBlock(entry, records, textures, pixels));
    EXPECT_EQ(pixels.size(), 2u * MAP_OBJECT_TEXTURE_BYTES);
    std::vector<std::uint8_t> cut(entry.begin(), entry.end() - 1);
    EXPECT_FALSE(ParseObjectBlock(cut, records, textures, pixels));
    std::vector<std::uint8_t> tooMany = entry;
    plat::WriteU16LE(tooMany.data(), 60000);
    EXPECT_FALSE(ParseObjectBlock(tooMany, records, textures, pixels));
    EXPECT_FALSE(ParseObjectBlock(std::span<const std::uint8_t>(entry.data(), 1), records, textures, pixels));
}

TEST(MapObjectRecord, FieldsSurviveAWriteAndARead)
{
    TMapObjectRecord r;
    r.raw[30] = 0x5A; // an unlisted byte is carried
    r.classByte = 1;
    r.listWidth = 30;
    r.texture = 2;
    r.u1 = 0.25f;
    r.v1 = 0.5f;
    r.width = 64;
    r.xOffset = -32;
    r.shadowTexture = 1;
    r.shadowV1 = 0.125f;
    r.shadowX = -7;
    r.shadowY = -20;
    std::uint8_t bytes[56];
    WriteMapObjectRecord(bytes, r);
    const TMapObjectRecord back = ReadMapObjectRecord(bytes);
    EXPECT_EQ(back.raw[30], 0x5A);
    EXPECT_EQ(back.classByte, 1);
    EXPECT_EQ(back.listWidth, 30);
    EXPECT_EQ(back.texture, 2);
    EXPECT_EQ(back.u1, 0.25f);
    EXPECT_EQ(back.v1, 0.5f);
    EXPECT_EQ(back.width, 64);
    EXPECT_EQ(back.xOffset, -32);
    EXPECT_EQ(back.shadowTexture, 1);
    EXPECT_EQ(back.shadowV1, 0.125f);
    EXPECT_EQ(back.shadowX, -7);
    EXPECT_EQ(back.shadowY, -20);
}

TEST(PlacementPreview, GhostPulsesBetween100And200)
{
    g_PlacementAlpha = 100;
    g_PlacementAlphaStep = 1;
    std::vector<int> seen;
    for (int i = 0; i < 44; ++i)
        seen.push_back(StepPlacementPulse());
    EXPECT_EQ(seen[0], 105);
    EXPECT_EQ(seen[19], 200);
    EXPECT_EQ(seen[20], 195);
    EXPECT_EQ(seen[39], 100);
    EXPECT_EQ(seen[40], 105);
    for (int a : seen) {
        EXPECT_GE(a, 100);
        EXPECT_LE(a, 200);
    }
}

TEST(PlacementPreview, WorkRingCoversTheFootprintGrownBySix)
{
    // Footprint 1 x 1: a 7 x 7 block of cells around the building.
    const std::vector<TCellXY> cells = WorkRingCells({20, 40}, 1, 1);
    ASSERT_EQ(cells.size(), 49u);
    // Start: 6 rows down (20, 46), six steps north-west, seven north-east, one south-west.
    EXPECT_EQ(cells[0].x, 20);
    EXPECT_EQ(cells[0].y, 34);
    EXPECT_EQ(cells[1].x, 19);  // south-west of an even row
    EXPECT_EQ(cells[1].y, 35);
    EXPECT_EQ(cells[7].x, 20);  // the second row starts south-east of the first
    EXPECT_EQ(cells[7].y, 35);
    EXPECT_EQ(cells[48].x, 20);
    EXPECT_EQ(cells[48].y, 46);
    // The cursor cell is among them.
    bool found = false;
    for (const TCellXY& c : cells)
        found |= c.x == 20 && c.y == 40;
    EXPECT_TRUE(found);
}


// The preview with its neighbours replaced by recorders: the graphic's load state, the rules, and
// what is drawn.
class DrawObjectsTest : public MapDeviceTest {
protected:
    void SetUp() override
    {
        MapDeviceTest::SetUp();
        saved = PlacementServices();
        map = std::make_unique<maptest::TestMap>(40, 80);
        ASSERT_TRUE(map->ok);
        MyPlayer = 0;
        g_bEditorMode = 0;
        g_ViewX = 1;
        g_ViewY = 2;
        g_ViewCols = 30;
        g_ViewRows = 40;
        g_ViewPixelX = 96;
        g_ViewPixelY = 48;
        SetCursor(10, 20);
        TPlacementServices& s = PlacementServices();
        s.PhaseGraphicState = [this](int, int) {
            ++stateCalls;
            if (!states.empty()) {
                const int st = states.front();
                if (states.size() > 1)
                    states.erase(states.begin());
                return st;
            }
            return 1;
        };
        s.MakePlacementTexture = [this](int, int) {
            ++texturesMade;
            return CreateTexture(64, 32, g_TexFormat4444);
        };
        s.Geometry = [](int, int, TPlacementGeometry& g) {
            g = {64, 32, 48, 48, 1, 1};
            return true;
        };
        s.Sleep = [this](std::uint32_t ms) { slept += ms; };
        s.IsOnWater = [this](TCellXY) { return water; };
        s.CanBuildHouseAt = [this](int, TCellXY, int, int) { return canBuild; };
        s.CanAffordHouse = [this](int, int) { return canAfford; };
        s.DrawRingCell = [this](int, float, float) { ++ringCells; };
        s.DrawGhost = [this](plat::Texture* t, float x, float y, float w, float h, std::uint32_t c) {
            ghosts.push_back({t, x, y, w, h, c});
        };
        s.HasLineStart = [this](int) { return lineStart; };
        s.DrawTrenchPathPreview = [this](int) {
            ++linePreviews;
            zWriteDuringLine = g_pD3DDevice->GetRenderState(D3DState::ZWriteEnable);
        };
    }
    void TearDown() override
    {
        EndPlacementPreview();
        PlacementServices() = saved;
        g_bEditorMode = 0;
        map.reset();
        MapDeviceTest::TearDown();
    }
    static void SetCursor(std::uint16_t x, std::uint16_t y)
    {
        std::lock_guard lock(g_InputLock);
        g_CursorCellX = x;
        g_CursorCellY = y;
    }
    struct Ghost {
        plat::Texture* texture;
        float x, y, w, h;
        std::uint32_t colour;
    };
    TPlacementServices saved;
    std::unique_ptr<maptest::TestMap> map;
    std::vector<int> states;
    int stateCalls = 0;
    int texturesMade = 0;
    std::uint32_t slept = 0;
    bool water = false;
    bool canBuild = true;
    bool canAfford = true;
    bool lineStart = false;
    int ringCells = 0;
    int linePreviews = 0;
    std::uint32_t zWriteDuringLine = 1;
    std::vector<Ghost> ghosts;
};

TEST_F(DrawObjectsTest, TheGraphicIsAskedForAndWaitedForBriefly)
{
    const struct {
        const char* name;
        std::vector<int> states;
        bool drawn;
        std::uint32_t slept;
    } cases[] = {
        {"not loaded: asked for", {0}, false, 0},
        {"loading for longer than the wait", {2}, false, 500},
        {"loaded during the wait", {2, 2, 1}, true, 200},
        {"loaded", {1}, true, 0},
    };
    for (const auto& c : cases) {
        EndPlacementPreview();
        states = c.states;
        slept = 0;
        ghosts.clear();
        EXPECT_EQ(DrawObjects(5, 0), c.drawn) << c.name;
        EXPECT_EQ(slept, c.slept) << c.name;
        EXPECT_EQ(ghosts.size(), c.drawn ? 1u : 0u) << c.name;
        EXPECT_EQ(g_pPlacementTexture != nullptr, c.drawn) << c.name;
    }
}

TEST_F(DrawObjectsTest, TheGhostIsWhiteWhereTheBuildingMayStandAndRedElsewhere)
{
    const struct {
        const char* name;
        bool canBuild, canAfford, editor;
        std::uint32_t rgb;
    } cases[] = {
        {"allowed", true, true, false, 0xFFFFFF},
        {"site refused", false, true, false, 0xFF0000},
        {"too dear", true, false, false, 0xFF0000},
        {"the editor does not look at the cost", true, false, true, 0xFFFFFF},
    };
    for (const auto& c : cases) {
        canBuild = c.canBuild;
        canAfford = c.canAfford;
        g_bEditorMode = c.editor ? 1 : 0;
        g_PlacementAlpha = 150;
        g_PlacementAlphaStep = 1;
        ghosts.clear();
        ASSERT_TRUE(DrawObjects(5, 0)) << c.name;
        ASSERT_EQ(ghosts.size(), 1u) << c.name;
        EXPECT_EQ(ghosts[0].colour, (155u << 24) | c.rgb) << c.name;
        EXPECT_EQ(ghosts[0].texture, g_pPlacementTexture) << c.name;
    }
    // Even cursor row, picture offsets (48, 48), the cell's height lifts the ghost.
    const std::int32_t height = GetHeightFromMap(plat::Point{10, 20});
    EXPECT_EQ(ghosts[0].x, (10 - 1) * 96 - 48);
    EXPECT_EQ(ghosts[0].y, static_cast<float>((20 - 2 - 1) * 24 - height));
    EXPECT_EQ(ghosts[0].w, 64.0f);
    EXPECT_EQ(ghosts[0].h, 32.0f);
    // The device is left without blending and with the depth test on.
    EXPECT_EQ(g_pD3DDevice->GetRenderState(D3DState::AlphaBlendEnable), 0u);
    EXPECT_EQ(g_pD3DDevice->GetRenderState(D3DState::ZEnable), 1u);
}

TEST_F(DrawObjectsTest, AnotherBuildingTakesItsOwnGhostAndRebuildsTheView)
{
    g_bMapViewDirty = 0;
    ASSERT_TRUE(DrawObjects(5, 0));
    EXPECT_EQ(g_bMapViewDirty, 1);
    g_bMapViewDirty = 0;
    ASSERT_TRUE(DrawObjects(5, 0));
    EXPECT_EQ(g_bMapViewDirty, 0);
    EXPECT_EQ(texturesMade, 1);
    ASSERT_TRUE(DrawObjects(6, 0));
    EXPECT_EQ(g_bMapViewDirty, 1);
    EXPECT_EQ(texturesMade, 2);
    g_bMapViewDirty = 0;
    EndPlacementPreview();
    EXPECT_EQ(g_bMapViewDirty, 1);
    EXPECT_EQ(g_pPlacementTexture, nullptr);
    g_bMapViewDirty = 0;
    EndPlacementPreview();
    EXPECT_EQ(g_bMapViewDirty, 0);
}

TEST_F(DrawObjectsTest, OnlyTheBarnShowsItsRingAndNotOnWaterOrBuiltCells)
{
    ASSERT_TRUE(DrawObjects(5, 0));
    EXPECT_EQ(ringCells, 0);
    ASSERT_TRUE(DrawObjects(PLACEMENT_RING_TYPE, 0));
    EXPECT_EQ(ringCells, 49);
    // Cells holding a building, an apron or a resource site are left out.
    const std::vector<TCellXY> cells = WorkRingCells({10, 20}, 1, 1);
    const std::uint16_t codes[] = {1000, 99, 100, 9601};
    for (int i = 0; i < 4; ++i)
        SetObjectMap(static_cast<std::uint16_t>(cells[i].x), static_cast<std::uint16_t>(cells[i].y), codes[i]);
    ringCells = 0;
    ASSERT_TRUE(DrawObjects(PLACEMENT_RING_TYPE, 0));
    EXPECT_EQ(ringCells, 45);
    water = true;
    ringCells = 0;
    ASSERT_TRUE(DrawObjects(PLACEMENT_RING_TYPE, 0));
    EXPECT_EQ(ringCells, 0);
}

TEST_F(DrawObjectsTest, LinePreviewsNeedAStartPoint)
{
    EXPECT_FALSE(DrawObjects(-3, 0));
    EXPECT_FALSE(DrawObjects(-2, 0));
    EXPECT_EQ(linePreviews, 0);
    lineStart = true;
    EXPECT_TRUE(DrawObjects(-3, 0));
    EXPECT_EQ(linePreviews, 0);
    EXPECT_TRUE(DrawObjects(-2, 0));
    EXPECT_EQ(linePreviews, 1);
    EXPECT_EQ(zWriteDuringLine, 0u);
    EXPECT_EQ(g_pD3DDevice->GetRenderState(D3DState::ZWriteEnable), 1u);
    EXPECT_TRUE(ghosts.empty());
    // Going from a building to a line gives the building's ghost back.
    ASSERT_TRUE(DrawObjects(5, 0));
    ASSERT_NE(g_pPlacementTexture, nullptr);
    g_bMapViewDirty = 0;
    EXPECT_TRUE(DrawObjects(-2, 0));
    EXPECT_EQ(g_pPlacementTexture, nullptr);
    EXPECT_EQ(g_bMapViewDirty, 1);
}

TEST(PlacementPreview, NationGroupsOfTheRingPicture)
{
    const int groups[] = {0, 1, 0, 2, 2};
    for (int n = 0; n < 5; ++n)
        EXPECT_EQ(RingNationGroup(n), groups[n]) << n;
}

} // namespace

#include <gtest/gtest.h>

#include "archives.h"
#include "core/archive.h"
#include "map/map_objects.h"
#include "map_device_fixture.h"
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

} // namespace

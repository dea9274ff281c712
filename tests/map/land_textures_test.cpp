#include <gtest/gtest.h>

#include <cmath>

#include "land_textures.h"
#include "map/land_textures.h"
#include "map_device_fixture.h"
#include "map_fixture.h"
#include "map/map_grid.h"
#include "platform/bytes.h"
#include "platform/texture.h"
#include "sample_data.h"

namespace {

struct Cell {
    std::uint16_t base = 1;
    std::uint16_t overlay[9] = {};
};

std::vector<TLandCellTextures> Words(std::vector<Cell>& cells)
{
    std::vector<TLandCellTextures> out;
    for (Cell& c : cells)
        out.push_back({&c.base, c.overlay});
    return out;
}

std::vector<int> KeptEntries(const std::vector<bool>& kept)
{
    std::vector<int> out;
    for (std::size_t i = 0; i < kept.size(); ++i)
        if (kept[i])
            out.push_back(static_cast<int>(i));
    return out;
}

TEST(LandTextureKeepSet, KeepsWhatTheMapUsesAndTheTwoBuildingGrounds)
{
    std::vector<Cell> cells(3);
    cells[0].base = 3;
    cells[1].base = 3;
    cells[2].base = 65535;
    auto words = Words(cells);
    EXPECT_EQ(KeptEntries(ChooseKeptLandTextures(words, 136, false)), (std::vector<int>{2, 51, 135}));
    EXPECT_EQ(KeptEntries(ChooseKeptLandTextures(words, 136, true)).size(), 136u);
}

TEST(LandTextureKeepSet, CellsWithoutLandscapeKeepNothing)
{
    std::vector<Cell> cells(2);
    cells[0].base = 65535;
    cells[1].base = 65535;
    cells[1].overlay[0] = 9;
    auto words = Words(cells);
    EXPECT_EQ(KeptEntries(ChooseKeptLandTextures(words, 40, false)), std::vector<int>{});
}

TEST(LandTextureKeepSet, OverlaysCountOnlyWithBit15)
{
    std::vector<Cell> cells(2);
    cells[0].base = 0x8000 | 4;
    cells[0].overlay[2] = 7;
    cells[1].base = 5;
    cells[1].overlay[0] = 9; // ignored: bit 15 clear
    auto words = Words(cells);
    EXPECT_EQ(KeptEntries(ChooseKeptLandTextures(words, 60, false)), (std::vector<int>{3, 4, 6, 51}));
}

TEST(LandTextureKeepSet, OutOfRangeNumbersBecomeTextureOneWhoseEntryIsKept)
{
    std::vector<Cell> cells(3);
    cells[0].base = 0x8000 | 200;
    cells[0].overlay[4] = 300;
    cells[0].overlay[5] = 10;
    cells[0].overlay[6] = 0x8005; // bit 15 is no flag of an overlay word
    cells[1].base = 0; // texture number 0 names no entry either
    cells[2].base = 137;
    auto words = Words(cells);
    EXPECT_EQ(KeptEntries(ChooseKeptLandTextures(words, 136, false)), (std::vector<int>{0, 9, 51, 135}));
    EXPECT_EQ(cells[0].base, 0x8001); // the overlays stay in use
    EXPECT_EQ(cells[0].overlay[4], 1);
    EXPECT_EQ(cells[0].overlay[5], 10);
    EXPECT_EQ(cells[0].overlay[6], 1);
    EXPECT_EQ(cells[1].base, 1);
    EXPECT_EQ(cells[2].base, 1);
}

TEST(LandTextureFile, HeadsAreCheckedAgainstTheSlotsAndTheSize)
{
    std::vector<std::uint8_t> file = sampledata::BuildLandTexturesDat(3);
    std::uint16_t n = 0;
    std::vector<TLandColor> colors;
    ASSERT_TRUE(ParseLandTexturesHead(file, n, colors));
    EXPECT_EQ(n, 3);
    EXPECT_EQ(colors.size(), 3u);
    file.pop_back();
    EXPECT_FALSE(ParseLandTexturesHead(file, n, colors));
    std::vector<std::uint8_t> many(2 + 513 * (3 + LAND_TEXTURE_BYTES));
    plat::WriteU16LE(many.data(), 513);
    EXPECT_FALSE(ParseLandTexturesHead(many, n, colors));
    EXPECT_EQ(n, 0);
}

class LandTextureTest : public MapDeviceTest {
protected:
    void TearDown() override
    {
        FreeLandTextures();
        MapDeviceTest::TearDown();
    }
    void WriteFiles(int count, bool mask = true)
    {
        const auto dat = sampledata::BuildLandTexturesDat(count);
        ASSERT_TRUE(sampledata::WriteFileBytes(dir.Path(), "Data/LandTextures/LandTextures.dat", dat.data(), dat.size()));
        if (mask) {
            const auto bmp = sampledata::MakeLandMaskBmp();
            ASSERT_TRUE(sampledata::WriteFileBytes(dir.Path(), "Data/LandTextures/m44.bmp", bmp.data(), bmp.size()));
        }
    }
    static std::uint16_t Pixel(plat::Texture* t, int x, int y)
    {
        const plat::PixelBuffer& px = t->Pixels();
        return plat::ReadU16LE(px.Row(y) + 2 * x);
    }
};

TEST_F(LandTextureTest, MaskGoesIntoTheAlphaNibblesOfEachSlot)
{
    WriteFiles(3);
    std::vector<Cell> cells(1);
    cells[0].base = 2;
    auto words = Words(cells);
    ASSERT_TRUE(CreateLandscapeTextures(words, false));
    EXPECT_EQ(g_LandTex64[0], nullptr);
    ASSERT_NE(g_LandTex64[1], nullptr);
    ASSERT_NE(g_LandTex128[1], nullptr);
    const std::vector<std::uint16_t> source = sampledata::LandTexturePixels(1);
    // The colour bits are the picture's, four times over.
    for (int y = 0; y < 128; y += 5)
        for (int x = 0; x < 128; x += 3)
            ASSERT_EQ(Pixel(g_LandTex128[1], x, y) & 0x0FFF, source[(y % 64) * 64 + x % 64] & 0x0FFF);
    // Slot 0's region below the shared column and row holds its own mask.
    for (int my = 0; my < 42; my += 5)
        for (int mx = 0; mx < 42; mx += 5)
            EXPECT_EQ(Pixel(g_LandTex128[1], mx, my) >> 12, sampledata::LandMaskValue(mx, my) >> 4);
    // Slot 8 writes last: its region holds its mask everywhere.
    for (int my = 0; my < 43; my += 6)
        for (int mx = 0; mx < 43; mx += 6)
            EXPECT_EQ(Pixel(g_LandTex128[1], 85 + mx, 85 + my) >> 12, sampledata::LandMaskValue(mx, my) >> 4);
    // The 64-pixel texture is the file's picture.
    EXPECT_EQ(Pixel(g_LandTex64[1], 10, 20), source[20 * 64 + 10]);
    EXPECT_EQ(g_LandColors.size(), 3u);
}

TEST_F(LandTextureTest, WithoutAMaskOverlaysAreOpaqueAndTheLatticeIsSet)
{
    WriteFiles(2, false);
    std::vector<Cell> cells(1);
    cells[0].base = 1;
    auto words = Words(cells);
    ClearLog();
    ASSERT_TRUE(CreateLandscapeTextures(words, false));
    EXPECT_TRUE(Logged("LoadMaska() FAILED"));
    ASSERT_NE(g_LandTex128[0], nullptr);
    for (int y = 0; y < 128; y += 9)
        for (int x = 0; x < 128; x += 7)
            EXPECT_EQ(Pixel(g_LandTex128[0], x, y) >> 12, 15);
    const struct {
        int i;
        float x, y, u, v;
    } points[] = {{0, 0, 24, 0.5f, 0}, {3, 48, 0, 1, 0}, {4, 0, 40, 1 / 3.0f, 1 / 6.0f}, {15, 48, 48, 0.5f, 0.5f},
                  {18, 96, 24, 1, 0.5f}, {22, 96, 40, 5 / 6.0f, 2 / 3.0f}};
    for (const auto& p : points) {
        EXPECT_EQ(g_SubTileLattice[p.i].x, p.x) << p.i;
        EXPECT_EQ(g_SubTileLattice[p.i].y, p.y) << p.i;
        EXPECT_FLOAT_EQ(g_SubTileLattice[p.i].u, p.u) << p.i;
        EXPECT_FLOAT_EQ(g_SubTileLattice[p.i].v, p.v) << p.i;
    }
}

TEST_F(LandTextureTest, AMissingFileFailsTheLoad)
{
    std::vector<Cell> cells(1);
    auto words = Words(cells);
    ClearLog();
    EXPECT_FALSE(CreateLandscapeTextures(words, false));
    EXPECT_TRUE(Logged("LandTextures.dat opening ERROR"));
}

} // namespace

namespace {

TEST(TileMesh, CornersEdgesAndInnerPointsFollowTheVertices)
{
    maptest::TestMap map(10, 20);
    ASSERT_TRUE(map.ok);
    for (std::uint32_t i = 0; i < g_MapCellCount; ++i)
        g_pCellInfo[i] = TMapCell{10, 51, 0, {}};
    // Cell (4, 6), even row: NE (4, 5), E (5, 6), SE (4, 7).
    map.SetHeight(4, 6, 30);
    map.SetHeight(4, 5, 60);
    map.SetHeight(5, 6, 90);
    map.SetHeight(4, 7, 0);
    g_pCellInfo[6 * 10 + 4].shade = 255;
    g_pCellInfo[6 * 10 + 4].overlay[4] = 77;
    g_pCellInfo[5 * 10 + 4].overlay[0] = 55; // NE neighbour's slot 0 is lattice entry 8
    g_pCellInfo[7 * 10 + 4].overlay[2] = 66; // SE neighbour's slot 2 is lattice entry 22
    TTileMesh mesh;
    BuildTileMesh(4, 6, 0, mesh);
    EXPECT_FLOAT_EQ(mesh.height[0], 30);
    EXPECT_FLOAT_EQ(mesh.height[3], 60);
    EXPECT_FLOAT_EQ(mesh.height[18], 90);
    EXPECT_FLOAT_EQ(mesh.height[15], 0);
    EXPECT_FLOAT_EQ(mesh.height[1], 40);  // a third of the way to the top corner
    EXPECT_FLOAT_EQ(mesh.height[10], 10); // two thirds of the way to the bottom corner
    EXPECT_FLOAT_EQ(mesh.height[6], (mesh.height[2] + mesh.height[10]) / 2);
    EXPECT_FLOAT_EQ(mesh.shade[0], 1.0f);
    EXPECT_FLOAT_EQ(mesh.shade[3], 0.2f);
    EXPECT_EQ(mesh.slotTexture[11], 77);
    EXPECT_EQ(mesh.slotTexture[8], 55);
    EXPECT_EQ(mesh.slotTexture[22], 66);
    EXPECT_EQ(mesh.slotTexture[5], 0);
}

TEST(TileMesh, NeighboursOutsideTheMapStandInWithTheCell)
{
    maptest::TestMap map(6, 12);
    ASSERT_TRUE(map.ok);
    for (std::uint32_t i = 0; i < g_MapCellCount; ++i)
        g_pCellInfo[i] = TMapCell{10, 100, 0, {}};
    map.SetHeight(5, 1, 40); // the last column of an odd row: its NE and E lie outside
    TTileMesh mesh;
    BuildTileMesh(5, 1, 1, mesh);
    EXPECT_FLOAT_EQ(mesh.height[3], 40);
    EXPECT_FLOAT_EQ(mesh.height[18], 40);
    EXPECT_FLOAT_EQ(mesh.height[2], 40);
}

} // namespace

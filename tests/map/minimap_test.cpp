#include "map/minimap.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "animations.h"
#include "core/app_state.h"
#include "core/memory_stream.h"
#include "core/settings.h"
#include "devices/animation.h"
#include "devices/cursor_state.h"
#include "devices/device_fixture.h"
#include "map/map_view.h"
#include "map_fixture.h"
#include "maps.h"
#include "platform/bytes.h"
#include "platform/paths.h"
#include "platform/texture.h"
#include "players/strateg.h"
#include "units/house.h"
#include "units/parameter_files.h"

namespace {

// Keeps the channels apart so the formula's truncations show: red in the low byte, green above.
std::uint16_t RedGreen(std::uint8_t r, std::uint8_t g, std::uint8_t)
{
    return static_cast<std::uint16_t>(r | (g << 8));
}

struct CellCase {
    const char* name;
    std::uint16_t base;
    std::array<std::uint16_t, 9> overlay;
    std::uint8_t height;
    std::uint16_t object;
    std::uint16_t expected;
};

// One cell of a one-cell map seen through a source with three land colours.
class OneCell {
public:
    OneCell()
    {
        source.width = 1;
        source.height = 1;
        source.scaleX = 0.005f;
        source.scaleY = 0.005f;
        source.cells = &cell;
        source.objects = &object;
        source.heights = &height;
        source.landColors = colors;
        source.neutralColor = 0x1111;
        source.waterColor = 0x2222;
        source.makeColor = RedGreen;
    }
    std::uint16_t Color()
    {
        std::uint16_t c = 0xDEAD;
        EXPECT_TRUE(MiniMapPixelColor(source, 0, 0, c));
        return c;
    }
    std::array<TLandColor, 3> colors{{{200, 100, 0}, {100, 50, 0}, {40, 0, 0}}};
    TMapCell cell{};
    std::uint16_t object = 0;
    std::uint8_t height = 0;
    TMiniMapSource source;
};

} // namespace

TEST(MiniMapColor, TerrainIsTheMeanOfItsColoursShadedByHeight)
{
    const std::array<std::uint16_t, 9> none{};
    const CellCase cases[] = {
        {"base 1, height 0: half brightness", 1, none, 0, 0, RedGreen(100, 50, 0)},
        {"base 1, height 255: full brightness", 1, none, 255, 0, RedGreen(200, 100, 0)},
        {"overlay bit ignored in the base", 0x8001, none, 0, 0, RedGreen(100, 50, 0)},
        {"one overlay in slot 1", 1, {0, 2, 0, 0, 0, 0, 0, 0, 0}, 0, 0, RedGreen(75, 37, 0)},
        {"overlays in slots 5 to 9 change nothing", 1, {0, 0, 0, 0, 2, 3, 3, 2, 3}, 0, 0, RedGreen(100, 50, 0)},
        {"four overlays", 1, {2, 2, 3, 3, 0, 0, 0, 0, 0}, 255, 0, RedGreen(96, 40, 0)},
        // Words without a colour add nothing, whatever their number.
        {"no landscape", 65535, none, 255, 0, RedGreen(0, 0, 0)},
        {"base 0", 0, none, 255, 0, RedGreen(0, 0, 0)},
        {"bare overlay bit with an overlay", 0x8000, {3, 0, 0, 0, 0, 0, 0, 0, 0}, 255, 0, RedGreen(40, 0, 0)},
        {"base beyond the colours", 4, none, 255, 0, RedGreen(0, 0, 0)},
        {"overlay beyond the colours", 1, {999, 0, 0, 0, 0, 0, 0, 0, 0}, 0, 0, RedGreen(100, 50, 0)},
        {"neutral house", 1, none, 0, 150, 0x1111},
        {"player house in the preview is terrain", 1, none, 0, 1005, RedGreen(100, 50, 0)},
        {"tree is terrain", 1, none, 0, 9001, RedGreen(100, 50, 0)},
    };
    for (const CellCase& c : cases) {
        SCOPED_TRACE(c.name);
        OneCell one;
        one.cell.base = c.base;
        for (int i = 0; i < 9; ++i)
            one.cell.overlay[i] = c.overlay[static_cast<std::size_t>(i)];
        one.height = c.height;
        one.object = c.object;
        EXPECT_EQ(one.Color(), c.expected);
    }
}

TEST(MiniMapColor, HousesAndWaterComeBeforeTerrain)
{
    OneCell one;
    one.cell.base = 1;
    one.object = 2003;
    std::uint16_t askedFor = 0;
    bool shown = true;
    one.source.playerHouseColor = [&](std::uint16_t code, std::uint16_t& color) {
        askedFor = code;
        color = 0x3333;
        return shown;
    };
    EXPECT_EQ(one.Color(), 0x3333);
    EXPECT_EQ(askedFor, 2003);
    shown = false; // its second-state byte is set
    EXPECT_EQ(one.Color(), RedGreen(100, 50, 0));
    one.source.isWater = [](std::int32_t, std::int32_t) { return true; };
    EXPECT_EQ(one.Color(), 0x2222);
    one.object = 500;
    EXPECT_EQ(one.Color(), 0x1111);
}

TEST(MiniMapColor, PixelsPickCellsByTheMapsScale)
{
    // Map row r has base texture r + 1, whose colour's red channel is r.
    for (int rows : {100, 200, 37}) {
        SCOPED_TRACE(rows);
        std::vector<TMapCell> cells(static_cast<std::size_t>(rows) * 2);
        std::vector<TLandColor> colors(static_cast<std::size_t>(rows));
        std::vector<std::uint8_t> heights(cells.size(), 255);
        for (int r = 0; r < rows; ++r) {
            colors[static_cast<std::size_t>(r)] = {static_cast<std::uint8_t>(r), 0, 0};
            for (int c = 0; c < 2; ++c)
                cells[static_cast<std::size_t>(r * 2 + c)].base = static_cast<std::uint16_t>(r + 1);
        }
        TMiniMapSource s;
        s.width = 2;
        s.height = static_cast<std::uint16_t>(rows);
        s.scaleX = 2 * 0.005f;
        s.scaleY = static_cast<float>(rows) * 0.005f;
        s.cells = cells.data();
        s.heights = heights.data();
        s.landColors = colors;
        s.makeColor = RedGreen;
        for (int py = 0; py < MINIMAP_SIZE; ++py) {
            std::uint16_t c = 0;
            ASSERT_TRUE(MiniMapPixelColor(s, 0, py, c));
            ASSERT_EQ(c, static_cast<int>(static_cast<float>(py) * s.scaleY)) << "pixel row " << py;
        }
        // 100 rows: each map row fills two minimap rows; 200: one each.
        std::uint16_t c = 0;
        MiniMapPixelColor(s, 0, 199, c);
        EXPECT_EQ(c, rows == 100 ? 99 : rows == 200 ? 199 : 36);
    }
}

TEST(MiniMapColor, RangesCoverEveryPixelOfTheirCells)
{
    // 160 columns: 160 / 0.8f rounds below 200, yet the map's last cell owns the last pixel.
    for (int size : {160, 100, 200, 7, 480}) {
        SCOPED_TRACE(size);
        const float scale = static_cast<float>(size) * 0.005f;
        EXPECT_EQ(MiniMapPixelFrom(0, scale), 0);
        EXPECT_EQ(MiniMapPixelFrom(size, scale), MINIMAP_SIZE);
        for (int cell = 0; cell < size; ++cell) {
            const int from = MiniMapPixelFrom(cell, scale);
            if (from < MINIMAP_SIZE)
                EXPECT_GE(static_cast<int>(static_cast<float>(from) * scale), cell);
            if (from > 0)
                EXPECT_LT(static_cast<int>(static_cast<float>(from - 1) * scale), cell);
        }
    }
}

// ---- the picture on a loaded map ---------------------------------------------------------------

namespace {

class MiniMapTest : public DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        plat::SetGameRoot(dir.Path());
        saved = {g_ViewX, g_ViewY, g_ViewCols, g_ViewRows, MyPlayer, g_FrameCounter, g_bEditorMode, g_bFogOfWar,
                 g_bMiniMapShown, g_MapKind};
        g_LandColors = {{200, 100, 50}, {60, 160, 60}, {90, 90, 90}};
        g_bMiniMapShown = 1;
        g_bEditorMode = 0;
        g_bFogOfWar = 0;
        MyPlayer = 0;
        g_FrameCounter = 0;
        g_MapKind = 1;
        for (int p = 0; p < PLAYER_COLORS; ++p)
            g_PlayerColors16[p] = MakeColor16(static_cast<std::uint8_t>(30 * p), 255, 0);
        TMiniMapServices& s = MiniMapServices();
        s.PlayerActive = [this](std::uint8_t p) { return !units[p].empty(); };
        s.ForEachUnit = [this](std::uint8_t p, const std::function<void(const TMiniMapUnit&)>& f) {
            for (const TMiniMapUnit& u : units[p])
                f(u);
        };
        s.LocalSelectedHouse = [this](TMiniMapHouse& out) {
            out = house;
            return haveHouse;
        };
        renders.clear();
        MapViewServices().RenderMapView = [this](std::uint8_t d) { renders.push_back(d); };
    }
    void TearDown() override
    {
        FreeMiniMap();
        map.reset();
        ResetMiniMapServices();
        MapViewServices() = DefaultMapViewServices();
        g_LandColors.clear();
        g_ViewX = saved.viewX;
        g_ViewY = saved.viewY;
        g_ViewCols = saved.cols;
        g_ViewRows = saved.rows;
        MyPlayer = saved.myPlayer;
        g_FrameCounter = saved.frame;
        g_bEditorMode = saved.editor;
        g_bFogOfWar = saved.fog;
        g_bMiniMapShown = saved.shown;
        g_MapKind = saved.kind;
        plat::SetGameRoot(".");
        DeviceTest::TearDown();
    }

    // A W x H map whose cells vary in texture, overlays and height, with a minimap made for it.
    void MakeMap(std::uint16_t w, std::uint16_t h)
    {
        map.reset();
        map = std::make_unique<maptest::TestMap>(w, h);
        ASSERT_TRUE(map->ok);
        for (std::uint32_t i = 0; i < g_MapCellCount; ++i) {
            TMapCell& c = g_pCellInfo[i];
            c = TMapCell{};
            c.base = static_cast<std::uint16_t>(1 + i % 3);
            if (i % 5 == 0)
                c.overlay[i % 4] = static_cast<std::uint16_t>(1 + (i / 5) % 3);
            g_pHeightMap[i] = static_cast<std::uint8_t>((i * 37) % 256);
            g_pObjectMap[i] = 0;
        }
        ASSERT_TRUE(MiniMapInit());
    }
    static std::vector<std::uint16_t> Picture()
    {
        std::vector<std::uint16_t> p;
        for (int y = 0; y < MINIMAP_SIZE; ++y)
            for (int x = 0; x < MINIMAP_SIZE; ++x)
                p.push_back(g_pMiniMapSurface->Pixels().Row16(y)[x]);
        return p;
    }
    static std::uint16_t Screen(int x, int y) { return g_pDDSBack->Pixels().Row16(y)[x]; }
    // The back buffer's pixel at the minimap point of a cell.
    static std::uint16_t ScreenAtCell(int cx, int cy)
    {
        return Screen(g_MiniMapLeft + static_cast<int>(cx / g_MiniMapScaleX),
                      g_MiniMapTop + static_cast<int>(cy / g_MiniMapScaleY));
    }

    std::unique_ptr<maptest::TestMap> map;
    std::array<std::vector<TMiniMapUnit>, 8> units;
    TMiniMapHouse house;
    bool haveHouse = false;
    std::vector<std::uint8_t> renders;
    struct Saved {
        std::uint16_t viewX, viewY, cols, rows;
        std::uint8_t myPlayer;
        std::uint32_t frame;
        std::uint8_t editor, fog, shown;
        std::uint32_t kind;
    } saved{};
};

} // namespace

TEST_F(MiniMapTest, InitSetsTheGeometryAndRefusesASecondPicture)
{
    MakeMap(40, 100);
    EXPECT_EQ(g_MiniMapLeft, g_ScreenWidth - 213);
    EXPECT_EQ(g_MiniMapTop, g_ScreenHeight - 213);
    EXPECT_FLOAT_EQ(g_MiniMapScaleX, 0.2f);
    EXPECT_FLOAT_EQ(g_MiniMapScaleY, 0.5f);
    EXPECT_FLOAT_EQ(g_MiniMapPixelScaleY, 200.0f / 2400.0f);
    EXPECT_NE(LoggedBy([] { EXPECT_FALSE(MiniMapInit()); }).find("MiniMapInit() FAILED"), std::string::npos);

    HideMiniMap();
    EXPECT_EQ(g_bMiniMapShown, 0);
    EXPECT_EQ(g_MiniMapTop, g_ScreenHeight - 13);
    SetMiniMapGeometry();
    EXPECT_EQ(g_MiniMapTop, g_ScreenHeight - 13) << "a hidden minimap keeps its tab at the bottom";
    ShowMiniMap();
    EXPECT_EQ(g_bMiniMapShown, 1);
}

TEST_F(MiniMapTest, RedrawOfARectangleEqualsAFullRedrawInsideIt)
{
    for (auto size : {std::pair<std::uint16_t, std::uint16_t>{160, 480}, {40, 100}, {9, 7}}) {
        SCOPED_TRACE(std::to_string(size.first) + " x " + std::to_string(size.second));
        FreeMiniMap();
        MakeMap(size.first, size.second);
        RedrawMiniMap(nullptr);
        const std::vector<std::uint16_t> before = Picture();
        for (std::uint32_t i = 0; i < g_MapCellCount; ++i)
            g_pHeightMap[i] = static_cast<std::uint8_t>(g_pHeightMap[i] + 101);
        const TMiniMapRect rects[] = {
            {2, 3, 5, 6},
            {-10, -10, 3, 4},
            {size.first - 3, size.second - 6, size.first + 50, size.second + 50},
            {0, 0, size.first, size.second},
        };
        for (const TMiniMapRect& r : rects) {
            FillSurface(g_pMiniMapSurface, 0);
            RedrawMiniMap(nullptr);
            const std::vector<std::uint16_t> after = Picture();
            // Back to the old picture, then only the rectangle.
            for (int y = 0; y < MINIMAP_SIZE; ++y)
                for (int x = 0; x < MINIMAP_SIZE; ++x)
                    g_pMiniMapSurface->Pixels().Row16(y)[x] = before[static_cast<std::size_t>(y * MINIMAP_SIZE + x)];
            RedrawMiniMap(&r);
            const std::vector<std::uint16_t> partial = Picture();
            int inside = 0;
            for (int y = 0; y < MINIMAP_SIZE; ++y)
                for (int x = 0; x < MINIMAP_SIZE; ++x) {
                    const int cx = static_cast<int>(static_cast<float>(x) * g_MiniMapScaleX);
                    const int cy = static_cast<int>(static_cast<float>(y) * g_MiniMapScaleY);
                    const bool in = cx >= r.x0 && cx < r.x1 && cy >= r.y0 && cy < r.y1;
                    const std::size_t i = static_cast<std::size_t>(y * MINIMAP_SIZE + x);
                    inside += in;
                    ASSERT_EQ(partial[i], in ? after[i] : before[i])
                        << "pixel " << x << "," << y << " rect " << r.x0 << "," << r.y0 << "," << r.x1 << "," << r.y1;
                }
            EXPECT_GT(inside, 0);
        }
    }
}

TEST_F(MiniMapTest, RedrawDoesNothingOutsideTheMapOrWhileHidden)
{
    MakeMap(40, 100);
    FillSurface(g_pMiniMapSurface, 0x1234);
    const TMiniMapRect outside[] = {{41, 0, 50, 10}, {-9, 0, -1, 10}, {0, 101, 10, 110}, {0, -20, 10, -1}};
    for (const TMiniMapRect& r : outside)
        RedrawMiniMap(&r);
    g_bMiniMapShown = 0;
    RedrawMiniMap(nullptr);
    for (std::uint16_t p : Picture())
        ASSERT_EQ(p, 0x1234);
}

TEST_F(MiniMapTest, SpecialPointsAreWhiteAndHousesTakeTheirOwnersColours)
{
    MakeMap(40, 100);
    g_SpecialPointCount = 1;
    g_SpecialPoints[0] = {10, 30};
    g_pHouse[1] = NewHouseArray(10);
    NumHouse[1] = 10;
    HouseAt(g_pHouse[1], 4)->Destroyed = 1;
    g_pObjectMap[CellIndex(20, 50)] = PlayerHouseCode(1, 3);
    g_pObjectMap[CellIndex(20, 60)] = PlayerHouseCode(1, 4); // second-state byte set
    g_pObjectMap[CellIndex(20, 70)] = PlayerHouseCode(6, 0); // no such player
    g_pObjectMap[CellIndex(20, 80)] = 300;                   // neutral
    RedrawMiniMap(nullptr);
    // The first pixel showing a cell.
    auto at = [](int cx, int cy) {
        return g_pMiniMapSurface->Pixels().Row16(MiniMapPixelFrom(cy, g_MiniMapScaleY))[MiniMapPixelFrom(cx, g_MiniMapScaleX)];
    };
    auto terrain = [](int cx, int cy) {
        TMiniMapSource s = TMiniMapSource::FromLoadedMap(false);
        std::uint16_t c = 0;
        MiniMapPixelColor(s, MiniMapPixelFrom(cx, g_MiniMapScaleX), MiniMapPixelFrom(cy, g_MiniMapScaleY), c);
        return c;
    };
    // A special point stands at (trunc(x / scale x), trunc(y / scale y)).
    EXPECT_EQ(g_pMiniMapSurface->Pixels().Row16(static_cast<int>(30 / static_cast<double>(g_MiniMapScaleY)))[static_cast<int>(
                  10 / static_cast<double>(g_MiniMapScaleX))],
              MakeColor16(255, 255, 255));
    EXPECT_EQ(at(20, 50), g_PlayerColors16[1]);
    EXPECT_EQ(at(20, 60), terrain(20, 60));
    EXPECT_EQ(at(20, 70), terrain(20, 70));
    EXPECT_EQ(at(20, 80), g_NeutralColor16);
    g_SpecialPointCount = 0;

    // The preview keeps the neutral house and shows the player's house as terrain.
    TOfStreamMemory out;
    ASSERT_TRUE(WriteMiniMapImage(out));
    ASSERT_EQ(out.Size(), MINIMAP_IMAGE_BYTES);
    auto previewAt = [&](int cx, int cy) {
        const int i = MiniMapPixelFrom(cy, g_MiniMapScaleY) * MINIMAP_SIZE + MiniMapPixelFrom(cx, g_MiniMapScaleX);
        return plat::ReadU16LE(out.Data() + 2 * i);
    };
    EXPECT_EQ(previewAt(20, 80), g_NeutralColor16);
    EXPECT_EQ(previewAt(20, 50), terrain(20, 50));
}

TEST_F(MiniMapTest, UnitDotsAndTheSelectedHouseOnTheBackBuffer)
{
    MakeMap(100, 200); // one minimap pixel per two columns, one per row
    FillSurface(g_pDDSBack, 0);
    g_ViewX = 0;
    g_ViewY = 0;
    g_ViewCols = 10;
    g_ViewRows = 30;
    units[0] = {{40, 100, 0, 1, 1}, {44, 100, 0, 1, 0}, {48, 100, 1, 1, 1}, {52, 100, 0, 0, 1}};
    units[3] = {{60, 120, 0, 1, 1}};
    haveHouse = true;
    house = {70, 150, 80, 160, 2, 3};
    const std::uint16_t special = MakeColor16(140, 140, 140);
    DrawMiniMap();
    EXPECT_EQ(ScreenAtCell(40, 100), special) << "the local player's selected unit";
    EXPECT_EQ(ScreenAtCell(44, 100), g_PlayerColors16[0]);
    EXPECT_EQ(ScreenAtCell(48, 100), 0) << "a dead unit";
    EXPECT_EQ(ScreenAtCell(52, 100), 0) << "a unit off the map";
    EXPECT_EQ(ScreenAtCell(60, 120), g_PlayerColors16[3]) << "another player's selected unit";
    for (const plat::Point& c : FootprintCells({70, 150}, 2, 3))
        EXPECT_EQ(ScreenAtCell(c.x, c.y), special);
    for (const plat::Point& c : {plat::Point{80, 160}, {80, 158}, {79, 160}, {80, 162}, {81, 160}})
        EXPECT_EQ(ScreenAtCell(c.x, c.y), special) << c.x << "," << c.y;
    // The view's frame: red, its top-left corner two pixels left of and two below the origin.
    EXPECT_EQ(Screen(g_MiniMapLeft - 2, g_MiniMapTop + 2), MakeColor16(255, 0, 0));

    // The cross blinks with a period of six frames and keeps off the left edge.
    for (std::uint32_t frame : {3u, 4u, 5u}) {
        FillSurface(g_pDDSBack, 0);
        g_FrameCounter = frame;
        DrawMiniMap();
        EXPECT_EQ(ScreenAtCell(80, 158), 0) << "frame " << frame;
    }
    g_FrameCounter = 6;
    g_MapKind = 3;
    house.rallyX = 2;
    house.rallyY = 100;
    FillSurface(g_pDDSBack, 0);
    DrawMiniMap();
    EXPECT_EQ(ScreenAtCell(2, 98), 0);
    EXPECT_EQ(ScreenAtCell(40, 100), MakeColor16(255, 128, 0)) << "the special maps' selection colour";
}

TEST_F(MiniMapTest, HiddenMapShowsOnlyItsTab)
{
    MakeMap(40, 100);
    units[0] = {{20, 50, 0, 1, 0}};
    HideMiniMap();
    FillSurface(g_pDDSBack, 0);
    DrawMiniMap();
    for (int y = 0; y < g_pDDSBack->Height(); ++y)
        for (int x = 0; x < g_pDDSBack->Width(); ++x)
            ASSERT_EQ(Screen(x, y), 0) << x << "," << y;
}

TEST_F(MiniMapTest, PointTestsAreStrict)
{
    MakeMap(40, 100);
    const int l = g_MiniMapLeft, t = g_MiniMapTop, w = g_ScreenWidth, h = g_ScreenHeight;
    EXPECT_TRUE(IsPointInMiniMap(l + 1, t + 1));
    EXPECT_TRUE(IsPointInMiniMap(w - 1, h - 1));
    EXPECT_FALSE(IsPointInMiniMap(l, t + 1));
    EXPECT_FALSE(IsPointInMiniMap(l + 1, t));
    EXPECT_FALSE(IsPointInMiniMap(w, t + 5));
    EXPECT_FALSE(IsPointInMiniMap(l + 5, h));
}

TEST_F(MiniMapTest, ClickMapsToAViewOriginInsideTheMap)
{
    MakeMap(100, 400); // scales 0.5 and 2
    g_ViewCols = 10;
    g_ViewRows = 30;
    const int l = g_MiniMapLeft, t = g_MiniMapTop;
    struct Case {
        int mx, my;
        plat::Point origin;
    } cases[] = {
        // column = (mx - left - 10) * 0.5, row = (my - top - 7.5) * 2
        {l + 60, t + 50, {25, 85}},
        {l + 1, t + 1, {2, 2}},   // near the edges: 2, never 0 or 1
        {l + 14, t + 8, {2, 2}},  // 2 and 1 would come out: still 2
        {l + 16, t + 9, {3, 3}},
        {l + 199, t + 199, {88, 360}}, // clamped to W - cols - 2 and H - rows - 10
    };
    for (const Case& c : cases) {
        const plat::Point o = MiniMapClickOrigin(c.mx, c.my);
        EXPECT_EQ(o.x, c.origin.x) << c.mx - l << "," << c.my - t;
        EXPECT_EQ(o.y, c.origin.y) << c.mx - l << "," << c.my - t;
    }
    // A map smaller than the view: the bounds fall below zero, the origin stays at 0.
    FreeMiniMap();
    MakeMap(8, 20);
    const plat::Point small = MiniMapClickOrigin(g_MiniMapLeft + 150, g_MiniMapTop + 150);
    EXPECT_EQ(small.x, 0);
    EXPECT_EQ(small.y, 0);
}

TEST_F(MiniMapTest, ClickMovesTheViewAndRebuildsItWhole)
{
    MakeMap(100, 400);
    g_ViewCols = 10;
    g_ViewRows = 30;
    g_MiniMapClick = 0;
    ProcessMiniMap(0);
    EXPECT_EQ(g_MiniMapClick, 1);
    EXPECT_TRUE(renders.empty());
    g_MiniMapClick = 0;
    {
        std::lock_guard lock(g_InputLock);
        g_MouseX = g_MiniMapLeft + 60;
        g_MouseY = g_MiniMapTop + 50;
    }
    g_ViewDepthBase = 96;
    ProcessMiniMap(1);
    EXPECT_EQ(g_ViewX, 25);
    EXPECT_EQ(g_ViewY, 85);
    EXPECT_EQ(g_ViewPixelX, (g_ViewColumnScale + 1) * 25 * 48);
    EXPECT_EQ(g_ViewPixelY, 85 * 24);
    EXPECT_EQ(g_ViewDepthBase, 0);
    EXPECT_EQ(renders, std::vector<std::uint8_t>{0});
}

TEST_F(MiniMapTest, PreviewFileRoundTripsAndRefusesBadFiles)
{
    MakeMap(60, 150);
    ASSERT_TRUE(plat::MakeDirectories(dir / "Maps"));
    EXPECT_EQ(MiniMapPreviewPath("Maps\\Hills.dat"), "Maps\\Hills_m.min");
    EXPECT_EQ(MiniMapPreviewPath("abc"), "");
    ASSERT_TRUE(SaveMiniMapPreview("Maps\\Hills.dat"));
    const std::vector<std::uint8_t> expected = MiniMapImageBytes(TMiniMapSource::FromLoadedMap(false));
    plat::Texture* t = LoadMiniMapPreview("Maps\\Hills_m.min");
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(t->Width(), MINIMAP_SIZE);
    for (int y = 0; y < MINIMAP_SIZE; ++y)
        for (int x = 0; x < MINIMAP_SIZE; ++x)
            ASSERT_EQ(t->Pixels().Row16(y)[x], plat::ReadU16LE(expected.data() + 2 * (y * MINIMAP_SIZE + x)));
    t->Release();

    // The same bytes one short, one over, and not compressed at all.
    for (int delta : {-2, 2}) {
        std::vector<std::uint8_t> raw(expected);
        raw.resize(raw.size() + delta);
        TOfStreamMemory out;
        out.Write(raw.data(), static_cast<std::int32_t>(raw.size()));
        ASSERT_TRUE(out.SaveCompressed("Maps\\Bad_m.min"));
        const std::string log = LoggedBy([] { EXPECT_EQ(LoadMiniMapPreview("Maps\\Bad_m.min"), nullptr); });
        EXPECT_NE(log.find("not a minimap picture"), std::string::npos) << delta;
    }
    const std::vector<std::uint8_t> garbage(100, 0xAB);
    EXPECT_EQ(ReadMiniMapPreview(garbage, "garbage"), nullptr);
    EXPECT_EQ(LoadMiniMapPreview("Maps\\None_m.min"), nullptr);

    // A stream cut short, as a save game's chunk might be.
    TIfStreamMemory in(expected.data(), MINIMAP_IMAGE_BYTES - 1);
    EXPECT_NE(LoggedBy([&] { EXPECT_EQ(CreateMiniMap(in), nullptr); }).find("CreateMiniMap() FAILED"),
              std::string::npos);
}

TEST_F(MiniMapTest, IndicatorsPlayAndRetire)
{
    ASSERT_TRUE(sampledata::WriteAnimations(dir.Path()));
    MakeMap(100, 200);
    ASSERT_NE(g_pMiniMapIndicatorBank, nullptr);
    ASSERT_TRUE(AddMiniMapIndicator(0, 50, 100, 1));
    EXPECT_FALSE(AddMiniMapIndicator(200, 50, 100, 1));
    ASSERT_EQ(g_MiniMapIndicators.size(), 1u);
    EXPECT_FLOAT_EQ(g_MiniMapIndicators[0]->m_X, 100.0f);
    EXPECT_FLOAT_EQ(g_MiniMapIndicators[0]->m_Y, 100.0f);
    FillSurface(g_pDDSBack, 0);
    DrawMiniMap();
    bool drawn = false;
    for (int y = g_MiniMapTop + 80; y < g_MiniMapTop + 120; ++y)
        for (int x = g_MiniMapLeft + 80; x < g_MiniMapLeft + 120; ++x)
            drawn = drawn || Screen(x, y) != 0;
    EXPECT_TRUE(drawn);
    for (int frame = 0; frame < 1000 && !g_MiniMapIndicators.empty(); ++frame)
        DrawMiniMap();
    EXPECT_TRUE(g_MiniMapIndicators.empty());
}

TEST_F(MiniMapTest, SampleMapPreviewsShowTheirRiver)
{
    const std::vector<std::uint8_t> file = sampledata::BuildMiniMapPreview(sampledata::MakeTestMap());
    plat::Texture* t = ReadMiniMapPreview(file, "Test_m.min");
    ASSERT_NE(t, nullptr);
    int water = 0;
    for (int y = 0; y < MINIMAP_SIZE; ++y)
        for (int x = 0; x < MINIMAP_SIZE; ++x)
            water += t->Pixels().Row16(y)[x] == MakeColor16(38, 71, 88);
    t->Release();
    // The river runs the map's length, a few pixels wide.
    EXPECT_GT(water, 3 * MINIMAP_SIZE);
    EXPECT_LT(water, MINIMAP_PIXELS / 3);
}

#include "units/unit_drawing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "combat/tower.h"
#include "map/trench_pieces.h"
#include "core/game_folder_fixture.h"
#include "core/app_state.h"
#include "devices/animation.h"
#include "devices/d3d_device.h"
#include "devices/display.h"
#include "devices/picture.h"
#include "images.h"
#include "parameters.h"
#include "map/map_grid.h"
#include "map/map_view.h"
#include "platform/texture.h"
#include "players/strateg.h"
#include "sample_data.h"
#include "unit_graphics.h" // the sample-data writer
#include "units/unit_entries_fixture.h"
#include "units/house.h"
#include "units/house_types.h"
#include "units/parameter_files.h"
#include "units/unit.h"
#include "units/unit_graphics.h"
#include "units/unit_types.h"

namespace {

constexpr int kBoxWidth = 8;
constexpr int kBoxHeight = 12;
constexpr int kFrameWidth = 6;

// Frames whose every pixel names its layer, facing and frame, so a drawn texel says where it came
// from: 0xF000 | layer << 8 | facing << 4 | frame.
sampledata::UnitWorkImages NamedFrames(int frameCount, bool shadow, bool overlay)
{
    sampledata::UnitWorkImages w;
    w.frameCount = frameCount;
    for (int layer = 0; layer < 3; ++layer) {
        if ((layer == 1 && !shadow) || (layer == 2 && !overlay))
            continue;
        for (int orient = 0; orient < 5; ++orient)
            for (int f = 0; f < frameCount; ++f) {
                sampledata::UnitFrameImage img{0, 1, kFrameWidth, kBoxHeight - 1, {}};
                img.pixels.assign(static_cast<std::size_t>(img.width) * img.height,
                                  static_cast<std::uint16_t>(0xF000 | layer << 8 | orient << 4 | f));
                w.layers[layer].push_back(std::move(img));
            }
    }
    return w;
}

struct RecordedQuad {
    plat::Texture* texture = nullptr;
    TScreenQuad quad{};
    bool diffuseAlpha = false;
};

class UnitDrawTest : public GameFolderTest {
protected:
    void SetUp() override
    {
        GameFolderTest::SetUp();
        FreeUnitTypes();
        FreeUnitDrawTextures();
        g_UnitIdCounter = 0;
        TUnitGraphicServices g;
        g.request = [](TBasicUnit*, std::uint32_t) {};
        g.createTexture = [](std::uint16_t w, std::uint16_t h) {
            return plat::Texture::Create(w, h, plat::PixelFormat::ARGB4444);
        };
        g.waitLoaderIdle = [] {};
        g.readEntry = [this](std::uint32_t slot, std::uint16_t id, std::uint32_t* size) {
            return CopyUnitEntry(entries, slot, id, size);
        };
        SetUnitGraphicServices(std::move(g));
        TUnitDrawServices d;
        d.drawQuad = [this](plat::Texture* t, const TScreenQuad& q, bool alpha) {
            events.push_back("quad");
            quads.push_back({t, q, alpha});
        };
        d.setLinearFilter = [this](bool linear) { events.push_back(linear ? "linear" : "point"); };
        d.drawNumber = [this](float, float, float, long long v) {
            events.push_back("number");
            numbers.push_back(v);
        };
        SetUnitDrawServices(std::move(d));
        g_ViewPixelX = g_ViewPixelY = 0;
        g_ViewDepthBase = 0;
        MyPlayer = 0;
        g_bTrench = 0;
        g_bEditorMode = 0;
        g_DebugUnitMarks = {};
        savedLight = g_SpriteQuadTemplate;
        for (TScreenVertex& v : g_SpriteQuadTemplate)
            v.diffuse = 0xFFFFFFFFu;
    }
    void TearDown() override
    {
        g_SpriteQuadTemplate = savedLight;
        FreeUnitTypes();
        FreeUnitDrawTextures();
        SetUnitGraphicServices(TUnitGraphicServices::Default());
        SetUnitDrawServices(TUnitDrawServices::Default());
        g_bTrench = 0;
        g_DebugUnitMarks = {};
        if (m_Device) {
            Direct3DFree();
            DirectDrawFree();
        }
        GameFolderTest::TearDown();
    }

    // The display and 3-D device, for what makes textures from files; freed by TearDown.
    void OpenDevice()
    {
        ASSERT_TRUE(DirectDrawInit(nullptr, 0));
        ASSERT_TRUE(Direct3DInit());
        m_Device = true;
    }
    // The sign and wreck pictures of the sample data in the game folder.
    void WriteSignPictures()
    {
        for (const sampledata::SampleFile& f : sampledata::MakeUnitDrawPictures())
            ASSERT_TRUE(sampledata::WriteFileBytes(dir.Path(), f.path, f.bytes.data(), f.bytes.size()));
    }

    // A type of nation 0 with the given works loaded (work, frame count).
    TBasicUnit* MakeType(int typeNo, std::uint8_t kind, bool air, std::vector<std::pair<int, int>> works,
                         bool shadow = false, bool overlay = false)
    {
        auto* t = new TBasicUnit;
        g_UnitTypes[typeNo] = t;
        t->m_Kind = kind;
        t->m_bAir = air ? 1 : 0;
        t->m_SpriteWidth = kBoxWidth;
        t->m_SpriteHeight = kBoxHeight;
        t->m_CentreX = 4.0f;
        t->m_CentreY = 10.0f;
        t->m_pGraphic = new CUnitGraphic;
        t->m_pGraphic->m_ArchiveSlot = static_cast<std::uint32_t>(typeNo);
        for (auto [work, frames] : works) {
            t->AnimationSize[work] = static_cast<std::uint8_t>(frames);
            entries[{static_cast<std::uint32_t>(typeNo), static_cast<std::uint16_t>(work)}] =
                sampledata::BuildUnitWorkEntry(NamedFrames(frames, shadow, overlay));
            EXPECT_TRUE(LoadUnitPhases(t, static_cast<std::uint32_t>(work)));
        }
        return t;
    }

    std::unique_ptr<TUnit> MakeUnit(int typeNo, int orient, int work, float frame)
    {
        auto u = std::make_unique<TUnit>(static_cast<std::uint16_t>(typeNo), 0);
        u->X = 100.0f;
        u->Y = 200.0f;
        u->Height = 0.0f;
        u->GroundHeight = 10.0f;
        u->Orient = static_cast<std::int8_t>(orient);
        u->Heading = 3.0f; // facing the viewer
        u->NumWork = static_cast<std::uint8_t>(work);
        u->NumSprite = frame;
        u->Work = 255;
        u->Player = 0;
        return u;
    }

    static plat::Texture* Texture(const TBasicUnit* t, int work, int layer, int orient)
    {
        return t->m_pGraphic->m_Works[work].textures[layer][orient][0];
    }
    static const TUnitFrame& Frame(const TBasicUnit* t, int work, int layer, int orient, int frame)
    {
        return t->m_pGraphic->m_Works[work].frames[layer][orient][frame];
    }
    void Reset()
    {
        events.clear();
        quads.clear();
        numbers.clear();
    }

    TUnitEntries entries;
    std::vector<std::string> events;
    std::vector<RecordedQuad> quads;
    std::vector<long long> numbers;
    TScreenQuad savedLight{};

private:
    bool m_Device = false;
};

TEST(UnitDepth, FormulaClampAndSlantedTopRow)
{
    const std::int16_t savedBase = g_ViewDepthBase;
    const struct {
        std::int16_t base;
        float y, height, extra, expected;
    } cases[] = {
        {0, 0.0f, 0.0f, 0.0f, 0.99999f - 1024.0f / 4096.0f},
        {48, 200.0f, 10.0f, 0.0f, 0.99999f - (48 + 1024 + 200 + 20) / 4096.0f},
        {0, 100.0f, 5.0f, -30.0f, 0.99999f - (1024 + 100 + 10 - 30) / 4096.0f},
        {0, 5000.0f, 0.0f, 0.0f, 0.0f},            // in front of everything: clamped to 0
        {-2000, -100.0f, 0.0f, 0.0f, 0.99999f},    // behind everything: clamped to the far value
        {0, std::nanf(""), 0.0f, 0.0f, 0.99999f}, // not a number lands far, not through
    };
    for (const auto& c : cases) {
        g_ViewDepthBase = c.base;
        EXPECT_NEAR(UnitDepth(c.y, c.height, c.extra), c.expected, 1e-6f) << c.y << " " << c.base;
    }
    g_ViewDepthBase = 0;
    const TUnitQuadDepth d = UnitQuadDepth(300.0f, 40.0f, 10.0f);
    EXPECT_FLOAT_EQ(d.bottom, UnitDepth(300.0f, 10.0f));
    EXPECT_FLOAT_EQ(d.top, UnitDepth(340.0f, 10.0f)) << "the top row stands as if 40 rows lower";
    EXPECT_LT(d.top, d.bottom) << "upright sprites lean toward the viewer";
    g_ViewDepthBase = savedBase;
}

TEST(UnitOrient, MappingTable)
{
    const struct {
        int orient, work;
        bool air;
        int frame, count;
        bool ok;
        int stored;
        bool mirrored;
        int outFrame;
    } cases[] = {
        {0, 0, false, 1, 4, true, 0, false, 1},
        {4, 0, false, 3, 4, true, 4, false, 3},
        {5, 0, false, 1, 4, true, 3, true, 1},
        {6, 0, false, 2, 4, true, 2, true, 2},
        {7, 0, false, 0, 4, true, 1, true, 0},
        {6, 5, false, 0, 4, true, 1, true, 3}, // turning: one facing further, frames backwards
        {5, 5, false, 3, 4, true, 2, true, 0},
        {7, 5, false, 1, 4, true, 0, true, 2},
        {3, 5, false, 1, 4, true, 3, false, 1},
        {6, 0, true, 0, 2, true, 1, true, 1},  // flying aircraft as turning
        {6, 6, true, 0, 2, true, 2, true, 0},  // other works of aircraft as usual
        {8, 0, false, 0, 4, false, 0, false, 0},
        {-1, 0, false, 0, 4, false, 0, false, 0},
        {2, 0, false, 4, 4, false, 0, false, 0},  // frame at the animation size
        {6, 5, false, 4, 4, false, 0, false, 0},  // would reverse to -1
        {6, 5, false, -1, 4, false, 0, false, 0}, // would reverse to 4
        {1, 0, false, 0, 0, false, 0, false, 0},  // a work without frames
    };
    for (const auto& c : cases) {
        TUnitOrient o;
        o.stored = 99;
        EXPECT_EQ(MapUnitOrient(c.orient, c.work, c.air, c.frame, c.count, o), c.ok)
            << c.orient << " work " << c.work << " frame " << c.frame;
        EXPECT_EQ(o.stored, c.stored) << c.orient << " work " << c.work;
        EXPECT_EQ(o.mirrored, c.mirrored) << c.orient << " work " << c.work;
        EXPECT_EQ(o.frame, c.outFrame) << c.orient << " work " << c.work;
    }
}

TEST_F(UnitDrawTest, EnteringShareCoversZeroDistanceAndOvershoot)
{
    MakeType(2, 2, false, {{0, 2}});
    auto u = MakeUnit(2, 0, 0, 0);
    const struct {
        int work;
        float x, startX, goalX;
        float expected;
    } cases[] = {
        {2, 75.0f, 100.0f, 0.0f, 0.25f},   // a quarter of the way in
        {6, 0.0f, 100.0f, 0.0f, 1.0f},     // at the door
        {9, 75.0f, 100.0f, 0.0f, 0.75f},   // leaving: still three quarters inside
        {5, 0.0f, 100.0f, 0.0f, 0.0f},     // leaving: out
        {2, 40.0f, 40.0f, 40.0f, 1.0f},    // no distance: fully inside when entering
        {9, 40.0f, 40.0f, 40.0f, 0.0f},    // ... fully outside when leaving
        {2, 150.0f, 100.0f, 0.0f, 0.0f},   // pushed back beyond the start
    };
    for (const auto& c : cases) {
        u->Work = static_cast<std::uint8_t>(c.work);
        u->X = c.x;
        u->StartX = c.startX;
        u->GoalX = c.goalX;
        u->Y = u->StartY = u->GoalY = 0.0f;
        EXPECT_FLOAT_EQ(EnteringShare(*u), c.expected) << c.work << " at " << c.x;
    }
}

TEST_F(UnitDrawTest, BodyQuadPlacementTextureAndDepth)
{
    const TBasicUnit* t = MakeType(2, 2, false, {{0, 2}});
    auto u = MakeUnit(2, 2, 0, 1.7f);
    u->Basic->Draw(u.get());
    ASSERT_EQ(quads.size(), 1u);
    const RecordedQuad& q = quads[0];
    EXPECT_EQ(q.texture, Texture(t, 0, 0, 2));
    // Foot at (100, 190): the box's origin (4, 10) lands there, the frame sits 1 row down in it.
    EXPECT_FLOAT_EQ(q.quad[0].x, 96.0f);
    EXPECT_FLOAT_EQ(q.quad[0].y, 181.0f);
    EXPECT_FLOAT_EQ(q.quad[3].x, 102.0f);
    EXPECT_FLOAT_EQ(q.quad[3].y, 192.0f);
    const TUnitFrame& f = Frame(t, 0, 0, 2, 1);
    EXPECT_FLOAT_EQ(q.quad[0].u, f.left) << "frame 1 of the atlas";
    EXPECT_FLOAT_EQ(q.quad[1].u, f.right);
    EXPECT_FLOAT_EQ(q.quad[2].z, UnitDepth(192.0f, 10.0f));
    EXPECT_FLOAT_EQ(q.quad[0].z, UnitDepth(192.0f + 11.0f, 10.0f));
}

TEST_F(UnitDrawTest, FacingSixDrawsStoredTwoMirroredAndTurningOneReversed)
{
    const TBasicUnit* t = MakeType(2, 2, false, {{0, 2}, {5, 4}});
    auto u = MakeUnit(2, 6, 0, 0.0f);
    u->Basic->Draw(u.get());
    ASSERT_EQ(quads.size(), 1u);
    EXPECT_EQ(quads[0].texture, Texture(t, 0, 0, 2));
    EXPECT_GT(quads[0].quad[0].u, quads[0].quad[1].u) << "mirrored";
    EXPECT_FLOAT_EQ(quads[0].quad[0].x, 98.0f) << "the frame moves to the other side of the box";

    Reset();
    u->NumWork = 5;
    u->NumSprite = 0.0f;
    u->Basic->Draw(u.get());
    ASSERT_EQ(quads.size(), 1u);
    EXPECT_EQ(quads[0].texture, Texture(t, 5, 0, 1));
    EXPECT_FLOAT_EQ(quads[0].quad[1].u, Frame(t, 5, 0, 1, 3).left) << "the last frame, mirrored";
}

TEST_F(UnitDrawTest, BadFrameIsLoggedAndDrawnAsFirstFrameOfFacingZero)
{
    const TBasicUnit* t = MakeType(2, 2, false, {{0, 2}});
    auto u = MakeUnit(2, 3, 0, 2.0f);
    u->Basic->Draw(u.get());
    EXPECT_TRUE(Logged("if (Orient>7 || u->NumWork>=UNIT_COUNT_WORK || Sprite >= BUnit->AnimationSize[u->NumWork]) "
                       "in TBasicUnit::Draw"));
    EXPECT_TRUE(Logged("3 =Orient"));
    EXPECT_TRUE(Logged("0 =u->NumWork"));
    EXPECT_TRUE(Logged("2 =Sprite"));
    EXPECT_TRUE(Logged("2 =AnimSize"));
    ASSERT_EQ(quads.size(), 1u);
    EXPECT_EQ(quads[0].texture, Texture(t, 0, 0, 0));
    EXPECT_FLOAT_EQ(quads[0].quad[0].u, Frame(t, 0, 0, 0, 0).left);
}

TEST_F(UnitDrawTest, WorkBeyondTheTableIsSkippedWhole)
{
    MakeType(2, 2, false, {{0, 2}});
    auto u = MakeUnit(2, 0, 30, 0.0f);
    u->Selected = 1;
    u->Basic->Draw(u.get());
    EXPECT_TRUE(events.empty());
    EXPECT_TRUE(Logged("30 =u->NumWork"));
}

TEST_F(UnitDrawTest, HiddenUnitsDrawNothing)
{
    MakeType(2, 2, false, {{0, 2}});
    auto u = MakeUnit(2, 0, 0, 0.0f);
    u->Selected = 1;
    u->m_StoredGroup = 3;
    for (int work : {3, 20}) {
        u->Work = static_cast<std::uint8_t>(work);
        u->Basic->Draw(u.get());
        EXPECT_TRUE(events.empty()) << "work " << work;
    }
    u->Work = 255;
    u->m_bShown = 0;
    u->Basic->Draw(u.get());
    EXPECT_TRUE(events.empty());
    EXPECT_FALSE(Logged("TBasicUnit::Draw"));
}

TEST_F(UnitDrawTest, UnloadedWorkDrawsNoBody)
{
    MakeType(2, 2, false, {{0, 2}});
    auto u = MakeUnit(2, 0, 0, 0.0f);
    u->Basic->AnimationSize[8] = 3; // the type has it; the archive does not
    u->NumWork = 8;
    u->Basic->Draw(u.get());
    EXPECT_TRUE(quads.empty());
    EXPECT_FALSE(Logged("TBasicUnit::Draw"));
    // More frames in the type's table than in the archive.
    u->Basic->AnimationSize[0] = 5;
    u->NumWork = 0;
    u->NumSprite = 4.0f;
    u->Basic->Draw(u.get());
    EXPECT_TRUE(quads.empty());
}

TEST_F(UnitDrawTest, TrenchPieceSinksUnitByFortyWhileTheOptionIsOn)
{
    g_MapWidth = 16;
    g_MapHeight = 16;
    ASSERT_TRUE(SetMapGeometry());
    SetObjectMap(plat::Point{5, 6}, 11000);
    MakeType(2, 2, false, {{0, 2}});
    auto u = MakeUnit(2, 0, 0, 0.0f);
    u->MapX = 5;
    u->MapY = 6;
    u->Basic->Draw(u.get());
    g_bTrench = 1;
    u->Basic->Draw(u.get());
    SetObjectMap(plat::Point{5, 6}, 9000);
    u->Basic->Draw(u.get());
    DestroyMap();
    ASSERT_EQ(quads.size(), 3u);
    EXPECT_FLOAT_EQ(quads[1].quad[0].y, quads[0].quad[0].y + 40.0f);
    EXPECT_FLOAT_EQ(quads[1].quad[2].z, UnitDepth(quads[1].quad[2].y, 10.0f - 40.0f));
    EXPECT_FLOAT_EQ(quads[2].quad[0].y, quads[0].quad[0].y) << "a tree cell is no trench";
}

TEST_F(UnitDrawTest, AircraftShadowFirstWithLinearFilterThenBodyAndOverlay)
{
    const TBasicUnit* t = MakeType(11, 1, true, {{0, 2}}, true, true);
    g_PlayerColorsD3D[2] = 0xFF20C040u;
    auto u = MakeUnit(11, 1, 0, 0.0f);
    u->Player = 2;
    u->Height = 100.0f;
    u->Basic->Draw(u.get());
    const std::vector<std::string> expected = {"linear", "quad", "point", "quad", "quad"};
    EXPECT_EQ(events, expected);
    ASSERT_EQ(quads.size(), 3u);
    EXPECT_EQ(quads[0].texture, t->m_pGraphic->m_Works[0].textures[1][1][0]);
    EXPECT_FLOAT_EQ(quads[0].quad[0].y, 200.0f - 10.0f - 9.0f) << "the shadow lies at the ground point";
    EXPECT_FLOAT_EQ(quads[1].quad[0].y, 200.0f - 110.0f - 9.0f);
    EXPECT_EQ(quads[2].texture, Texture(t, 0, 2, 1));
    EXPECT_EQ(quads[2].quad[0].diffuse, 0xFF20C040u) << "the overlay in the owner's colour";
    EXPECT_EQ(quads[1].quad[0].diffuse, 0xFFFFFFFFu);

    Reset();
    u->Basic->m_bAir = 0; // ground units cast no drawn shadow
    u->Basic->Draw(u.get());
    EXPECT_EQ(events, (std::vector<std::string>{"quad", "quad"}));
}

TEST_F(UnitDrawTest, EnteringUnitPassesBehindTheBuilding)
{
    MakeType(2, 2, false, {{0, 2}});
    THouseType houseType;
    houseType.m_DoorY = 36;
    THouse* house = NewHouseArray(1);
    house->TypeRecord = &houseType;
    auto u = MakeUnit(2, 0, 0, 0.0f);
    u->Basic->Draw(u.get());
    const float plain = quads[0].quad[2].z;
    const float bottomY = quads[0].quad[2].y;

    u->EnteringHouse = 1;
    u->House = house;
    u->StartX = u->GoalX = u->X;
    u->StartY = u->GoalY = u->Y;
    u->Work = 2; // entering, no distance to go: fully inside
    u->Basic->Draw(u.get());
    EXPECT_FLOAT_EQ(quads[1].quad[2].z, UnitDepth(bottomY, 10.0f, -36.0f));
    EXPECT_GT(quads[1].quad[2].z, plain);
    u->Work = 9; // leaving, no distance: fully outside
    u->Basic->Draw(u.get());
    EXPECT_FLOAT_EQ(quads[2].quad[2].z, plain);
    u->Work = 7; // attacking: no building term
    u->Basic->Draw(u.get());
    EXPECT_FLOAT_EQ(quads[3].quad[2].z, plain);
    u->House = nullptr;
    DeleteHouseArray(house);
}

TEST_F(UnitDrawTest, CarryingWorkerLooksLikeTypeOneOfItsNation)
{
    MakeType(0, 6, false, {{0, 2}});
    const TBasicUnit* carrier = MakeType(1, 2, false, {{0, 2}});
    TStrateg owner;
    owner.Nation = 0;
    g_Strateg[0] = &owner;
    auto u = MakeUnit(0, 0, 0, 0.0f);
    u->Work = 11;
    u->Basic->Draw(u.get());
    g_Strateg[0] = nullptr;
    ASSERT_EQ(quads.size(), 1u);
    EXPECT_EQ(quads[0].texture, Texture(carrier, 0, 0, 0));
}

TEST_F(UnitDrawTest, SelectionSignsGroupNumberAndDebugMarks)
{
    OpenDevice();
    WriteSignPictures();
    MakeType(2, 2, false, {{0, 2}});
    g_PlayerColorsD3D[0] = 0xFFC02020u;
    auto u = MakeUnit(2, 0, 0, 0.0f);
    u->Selected = 1;
    u->m_StoredGroup = 4;
    u->Basic->Draw(u.get());
    ASSERT_EQ(quads.size(), 2u);
    EXPECT_EQ(quads[1].texture, UnitSelectSignTexture());
    ASSERT_NE(quads[1].texture, nullptr);
    EXPECT_EQ(quads[1].quad[0].diffuse, 0xFFC02020u);
    EXPECT_LT(quads[1].quad[3].y, quads[0].quad[0].y) << "above the sprite";
    EXPECT_EQ(numbers, std::vector<long long>{4});

    Reset();
    MyPlayer = 1; // another player's selected unit shows nothing
    u->Basic->Draw(u.get());
    EXPECT_EQ(quads.size(), 1u);
    EXPECT_TRUE(numbers.empty());
    g_bEditorMode = 1; // ... except in the editor
    u->Basic->Draw(u.get());
    EXPECT_EQ(quads.size(), 3u);
    g_bEditorMode = 0;
    MyPlayer = 0;

    Reset();
    g_DebugUnitMarks.selectedSign = 1;
    g_DebugUnitMarks.pointQuads = 1;
    u->Basic->Draw(u.get());
    ASSERT_EQ(quads.size(), 4u);
    EXPECT_EQ(quads[2].texture, UnitMarkSignTexture());
    EXPECT_FLOAT_EQ(quads[3].quad[3].x - quads[3].quad[0].x, 4.0f) << "the 4 x 4 point quad";
    EXPECT_FLOAT_EQ(quads[3].quad[0].x, 98.0f);
}

TEST_F(UnitDrawTest, MissingSignFilesAreLoggedOnce)
{
    MakeType(2, 2, false, {{0, 2}});
    auto u = MakeUnit(2, 0, 0, 0.0f);
    u->Selected = 1;
    u->Basic->Draw(u.get());
    u->Basic->Draw(u.get());
    const std::string log = Log();
    const std::string line = "Unit drawing: cannot load Data\\Misc\\UnitSelect.444";
    const std::size_t first = log.find(line);
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(log.find(line, first + 1), std::string::npos);
    EXPECT_EQ(quads.size(), 2u) << "the body, twice";
}

TEST_F(UnitDrawTest, DeadAircraftShowTheirWreckAtHalfAlphaFirst)
{
    OpenDevice();
    WriteSignPictures();
    const TBasicUnit* t = MakeType(11, 1, true, {{15, 4}});
    auto u = MakeUnit(11, 6, 15, 3.0f);
    u->Dead = 1;
    u->Basic->DrawDead(u.get());
    ASSERT_EQ(quads.size(), 2u);
    EXPECT_EQ(quads[0].texture, UnitWreckTexture(11, 6 % 4));
    ASSERT_NE(quads[0].texture, nullptr);
    EXPECT_TRUE(quads[0].diffuseAlpha);
    EXPECT_EQ(quads[0].quad[0].diffuse >> 24, 128u);
    EXPECT_EQ(quads[1].texture, Texture(t, 15, 0, 2));
    EXPECT_FALSE(quads[1].diffuseAlpha);

    Reset();
    u->Work = 3;
    u->Basic->DrawDead(u.get());
    EXPECT_TRUE(quads.empty());
    EXPECT_TRUE(Logged("DrawDead if(u->Work == STAY_IN_HOUSE)"));
}

TEST_F(UnitDrawTest, DeadGroundUnitHasNoWreckAndBadFrameDrawsNothing)
{
    const TBasicUnit* t = MakeType(2, 2, false, {{15, 3}});
    auto u = MakeUnit(2, 1, 15, 2.0f);
    u->Dead = 1;
    u->Basic->DrawDead(u.get());
    ASSERT_EQ(quads.size(), 1u);
    EXPECT_EQ(quads[0].texture, Texture(t, 15, 0, 1));
    Reset();
    u->NumSprite = 7.0f;
    u->Basic->DrawDead(u.get());
    EXPECT_TRUE(Logged("DrawDead: bad orientation, work or frame"));
    EXPECT_TRUE(quads.empty());
}

TEST_F(UnitDrawTest, ReducedAnimationShowsIdleAsStandPose)
{
    const TBasicUnit* t = MakeType(2, 2, false, {{3, 1}, {4, 6}});
    t->m_pGraphic->m_bReduced = 1;
    auto u = MakeUnit(2, 0, 4, 3.0f);
    u->Basic->Draw(u.get());
    ASSERT_EQ(quads.size(), 1u);
    EXPECT_EQ(quads[0].texture, Texture(t, 3, 0, 0));
    EXPECT_FALSE(Logged("TBasicUnit::Draw"));
}

TEST_F(UnitDrawTest, AttachedAnimationsFollowTheUnitAndItsFacing)
{
    TBasicUnit* t = MakeType(2, 2, false, {{0, 2}, {5, 4}});
    t->m_AnimCount = 1;
    t->m_StartVectors = new TUnitVector[1]{{10.0f, 0.0f, 0.0f}};
    t->m_EndVectors = new TUnitVector[1]{{20.0f, 0.0f, 5.0f}};
    auto u = MakeUnit(2, 0, 0, 0.0f);
    ASSERT_EQ(u->m_AnimationCount, 1) << "made with the unit";
    u->Heading = 0.0f;
    PlaceAttachedAnimation(u.get(), 0);
    // (20, 0, 5) projected: x = 20 * 0.866 + 100, y = 200 - 10 - (10 + 5).
    EXPECT_NEAR(u->m_pAnimations[0]->m_X, 117.3205f, 1e-3f);
    EXPECT_NEAR(u->m_pAnimations[0]->m_Y, 175.0f, 1e-3f);
    // A heading just short of a step snaps down: 4 steps per eighth of a turn.
    u->Heading = 0.19f;
    PlaceAttachedAnimation(u.get(), 0);
    EXPECT_NEAR(u->m_pAnimations[0]->m_X, 117.3205f, 1e-3f);
    u->Heading = 0.7853982f * 2.0f + 0.0001f; // a quarter turn
    PlaceAttachedAnimation(u.get(), 0);
    EXPECT_NEAR(u->m_pAnimations[0]->m_X, 100.0f - 20.0f * 0.866025f, 1e-2f);
    PlaceAttachedAnimation(u.get(), 1); // beyond the count: nothing
}

TEST_F(UnitDrawTest, PartsWithoutPicturesStillEndTheirFlashes)
{
    TBasicUnit* t = MakeType(14, 3, false, {{0, 2}});
    t->m_PartCount = 1;
    t->m_Parts = new TPartRecord[1];
    t->m_Parts[0].mode = 1;
    CTower tower;
    tower.m_pPart = &t->m_Parts[0];
    tower.m_BarrelCount = 2;
    tower.m_Firing[1] = 1;
    DrawUnitPart(&t->m_Parts[0], &tower, 10.0f, 10.0f, 1.0f);
    EXPECT_EQ(tower.m_Firing[1], 0) << "no effects to play: finished";
    DrawUnitPart(nullptr, &tower, 0.0f, 0.0f, 0.0f);
    DrawUnitPart(&t->m_Parts[0], nullptr, 0.0f, 0.0f, 0.0f);
}

TEST(AddAngles, WrapRule)
{
    EXPECT_EQ(AddAngles(6.0f, 0.2831855f), 0.0f);
    EXPECT_EQ(AddAngles(6.2825f, 0.0f), 0.0f);
    EXPECT_NEAR(AddAngles(-0.0005f, 0.0f), 6.2826855f, 1e-5f);
    EXPECT_NEAR(AddAngles(4.0f, 3.0f), 7.0f - 6.2831855f, 1e-5f);
    EXPECT_NEAR(AddAngles(1.0f, 2.0f), 3.0f, 1e-6f);
}

// --- the real device ---

class UnitDeviceDrawTest : public UnitDrawTest {
protected:
    void SetUp() override
    {
        UnitDrawTest::SetUp();
        OpenDevice();
        SetUnitDrawServices(TUnitDrawServices::Default());
        FillSurface(g_pDDSBack, 0);
        g_pD3DDevice->SetRenderState(D3DState::ZEnable, 0);
        g_pD3DDevice->SetRenderState(D3DState::AlphaBlendEnable, 1);
        g_pD3DDevice->SetRenderState(D3DState::SrcBlend, static_cast<std::uint32_t>(plat::BlendFactor::SrcAlpha));
        g_pD3DDevice->SetRenderState(D3DState::DestBlend, static_cast<std::uint32_t>(plat::BlendFactor::InvSrcAlpha));
    }
    struct Rgb {
        int r, g, b;
    };
    static Rgb At(int x, int y)
    {
        const std::uint16_t p = g_pDDSBack->Pixels().Row16(y)[x];
        if (g_pDDSBack->Format() == plat::PixelFormat::RGB565)
            return {(p >> 11) << 3, ((p >> 5) & 63) << 2, (p & 31) << 3};
        return {((p >> 10) & 31) << 3, ((p >> 5) & 31) << 3, (p & 31) << 3};
    }
    // Pixels drawn inside and outside a rectangle, and those whose colour leans to one channel.
    struct Count {
        int inside = 0, outside = 0, reddish = 0, bluish = 0;
    };
    static Count CountPixels(int left, int top, int right, int bottom)
    {
        Count c;
        for (int y = 0; y < 300; ++y)
            for (int x = 0; x < 400; ++x) {
                const Rgb p = At(x, y);
                if (p.r == 0 && p.g == 0 && p.b == 0)
                    continue;
                const bool in = x >= left && x < right && y >= top && y < bottom;
                (in ? c.inside : c.outside)++;
                // Far enough from the browns of wood and leather.
                c.reddish += in && p.r > p.g + 80 && p.r > p.b + 80;
                c.bluish += in && p.b > p.r + 80 && p.b > p.g + 80;
            }
        return c;
    }

    // A sample rifleman of nation 0 with the works it needs loaded.
    TBasicUnit* SampleRifleman()
    {
        const sampledata::SampleUnitType& s = sampledata::kSampleUnitTypes[2];
        EXPECT_TRUE(CreateUnitTypeFromParams(0, s.type, sampledata::SampleUnitRecord(0, s)));
        TBasicUnit* t = GetUnitType(0, s.type);
        t->m_pGraphic = new CUnitGraphic;
        t->m_pGraphic->m_ArchiveSlot = s.type;
        for (const sampledata::LesSource& e : sampledata::MakeSampleUnitArchive(s))
            entries[{s.type, e.id}] = e.data;
        for (int work : {0, 15})
            EXPECT_TRUE(LoadUnitPhases(t, static_cast<std::uint32_t>(work)));
        return t;
    }
};

TEST_F(UnitDeviceDrawTest, SampleSoldierShowsItsOwnersColourInsideItsBox)
{
    TBasicUnit* t = SampleRifleman();
    g_PlayerColorsD3D[0] = 0xFFE02020u;
    g_PlayerColorsD3D[1] = 0xFF2040E0u;
    auto red = MakeUnit(2, 1, 0, 0.0f);
    red->X = 100.0f;
    red->Y = 150.0f;
    red->GroundHeight = 0.0f;
    auto blue = MakeUnit(2, 6, 0, 3.0f);
    blue->X = 300.0f;
    blue->Y = 150.0f;
    blue->GroundHeight = 0.0f;
    blue->Player = 1;

    // Boxes: the sprite box around each foot point.
    const int w = t->m_SpriteWidth, h = t->m_SpriteHeight;
    t->Draw(red.get());
    Count c = CountPixels(100 - w / 2, 150 - h / 2, 100 + w / 2, 150 + h / 2);
    EXPECT_GT(c.inside, 40) << "a figure, not a dot";
    EXPECT_EQ(c.outside, 0);
    EXPECT_GT(c.reddish, 15) << "the uniform in the owner's red";
    EXPECT_EQ(c.bluish, 0);

    FillSurface(g_pDDSBack, 0);
    t->Draw(blue.get());
    c = CountPixels(300 - w / 2, 150 - h / 2, 300 + w / 2, 150 + h / 2);
    EXPECT_GT(c.inside, 40);
    EXPECT_EQ(c.outside, 0);
    EXPECT_GT(c.bluish, 15);
    EXPECT_EQ(c.reddish, 0);

    FillSurface(g_pDDSBack, 0);
    for (int work : {3, 20}) {
        red->Work = static_cast<std::uint8_t>(work);
        t->Draw(red.get());
    }
    red->Work = 255;
    red->m_bShown = 0;
    t->Draw(red.get());
    EXPECT_EQ(CountPixels(0, 0, 0, 0).outside, 0) << "hidden units leave the screen untouched";

    red->m_bShown = 1;
    red->Dead = 1;
    red->NumWork = 15;
    red->NumSprite = 5.0f;
    t->DrawDead(red.get());
    c = CountPixels(100 - w / 2, 150 - h / 2, 100 + w / 2, 150 + h / 2);
    EXPECT_GT(c.inside, 10) << "the corpse lies there";
    EXPECT_EQ(c.outside, 0);
}

TEST_F(UnitDeviceDrawTest, SpriteListReadsEightHeadingsAndRefusesBrokenEntries)
{
    auto picture = [](std::uint16_t colour) {
        sampledata::FrameSpec tile{0, 0, 4, 4, 3, 2, std::vector<std::uint16_t>(6, colour)};
        return sampledata::MakePictureBlock(std::span<const sampledata::FrameSpec>(&tile, 1));
    };
    auto entry = [&](int count, int pictures) {
        std::vector<std::uint8_t> e{static_cast<std::uint8_t>(count)};
        for (int i = 0; i < pictures; ++i) {
            const auto p = picture(static_cast<std::uint16_t>(0xF000 | i));
            e.insert(e.end(), p.begin(), p.end());
        }
        return e;
    };
    TSpriteList list;
    ASSERT_TRUE(list.LoadFromMemory(entry(2, 16)));
    EXPECT_TRUE(list.IsLoaded());
    EXPECT_EQ(list.Count(), 2);
    ASSERT_NE(list.Picture(15), nullptr);
    EXPECT_EQ(list.Picture(15)->Count(), 1);
    EXPECT_EQ(list.Picture(16), nullptr);
    EXPECT_EQ(list.Picture(-1), nullptr);

    const struct {
        const char* what;
        std::vector<std::uint8_t> bytes;
    } broken[] = {
        {"empty", {}},
        {"one heading only", entry(2, 2)},
        {"bytes left over", entry(1, 9)},
    };
    for (const auto& b : broken) {
        EXPECT_FALSE(list.LoadFromMemory(b.bytes)) << b.what;
        EXPECT_FALSE(list.IsLoaded()) << b.what;
        EXPECT_EQ(list.Count(), 0) << b.what;
        EXPECT_EQ(list.Picture(0), nullptr) << b.what;
    }
    EXPECT_TRUE(list.LoadFromMemory(entry(0, 0))) << "a list without pictures";
    list.Clear();
    EXPECT_FALSE(list.IsLoaded());
    EXPECT_FALSE(list.Load(999, 0)) << "no archive in the slot";
    EXPECT_FALSE(list.Load(0, 0xFFFFu)) << "no entry id that far";
}

TEST_F(UnitDeviceDrawTest, PartPictureFollowsTurretAndUnitAngle)
{
    std::vector<std::uint8_t> e{2};
    for (int i = 0; i < 16; ++i) {
        sampledata::FrameSpec tile{0, 0, 4, 4, 3, 2, std::vector<std::uint16_t>(6, 0xFFFF)};
        const auto p = sampledata::MakePictureBlock(std::span<const sampledata::FrameSpec>(&tile, 1));
        e.insert(e.end(), p.begin(), p.end());
    }
    TSpriteList pictures;
    ASSERT_TRUE(pictures.LoadFromMemory(e));
    TPartFrameEntry frames{&pictures, 2};
    TPartRecord part;
    part.mode = 1;
    part.frameEntry = &frames;
    CTower tower;
    tower.m_pPart = &part;
    const struct {
        float towerAngle, unitAngle;
        int picture;
    } cases[] = {
        {0.0f, 0.0f, 0},
        {0.5f, 0.0f, 1},     // half a step into the first eighth rounds up
        {0.0f, 0.8f, 2},     // the unit's angle counts too
        {6.2f, 0.0f, 0},     // the last step of the last eighth wraps to the first picture
        {5.6f, 0.0f, 14},
    };
    for (const auto& c : cases) {
        tower.m_Angle = c.towerAngle;
        g_pD3DDevice->SetTexture(0, nullptr);
        DrawUnitPart(&part, &tower, 50.0f, 50.0f, c.unitAngle);
        EXPECT_EQ(g_pD3DDevice->GetTexture(), pictures.Picture(c.picture)->Tiles()[0].texture)
            << c.towerAngle << " + " << c.unitAngle;
    }
}

} // namespace

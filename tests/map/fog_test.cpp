#include "map/fog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/memory_stream.h"
#include "fog_fixture.h"
#include "platform/surface.h"

namespace {

// A mask as rows of '#' (set, magenta) and '.' (clear, black).
std::vector<std::string> MaskRows(const plat::Surface* mask)
{
    std::vector<std::string> rows;
    for (int y = 0; y < mask->Height(); ++y) {
        std::string row;
        for (int x = 0; x < mask->Width(); ++x) {
            const std::uint16_t p = mask->Pixels().Row16(y)[x];
            row += p == MakeColor16(255, 0, 255) ? '#' : p == 0 ? '.' : '?';
        }
        rows.push_back(row);
    }
    return rows;
}

// Writes a hand-made picture into the grid's interior: '#' unseen, '.' seen; the rest stays frame.
void SetGrid(const std::vector<std::string>& rows)
{
    const int w = static_cast<int>(rows[0].size()), h = static_cast<int>(rows.size());
    g_FogGridWidth = w + 2;
    g_FogGridHeight = h + 2;
    g_FogGrid.assign(static_cast<std::size_t>(w + 2) * (h + 2), FOG_FRAME);
    g_FogCellWidth = 10.0f;
    g_FogCellHeight = 10.0f;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            SetFogGridCell(x + 1, y + 1, rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] == '#' ? FOG_UNSEEN
                                                                                                                : FOG_SEEN);
}

// The interior as characters: cell values 0..9 as digits, 255 as '+', others as '?'.
std::vector<std::string> GridRows()
{
    std::vector<std::string> rows;
    for (int y = 1; y < g_FogGridHeight - 1; ++y) {
        std::string row;
        for (int x = 1; x < g_FogGridWidth - 1; ++x) {
            const int v = FogGridCell(x, y);
            row += v == FOG_FRAME ? '+' : v <= 9 ? static_cast<char>('0' + v) : '?';
        }
        rows.push_back(row);
    }
    return rows;
}

} // namespace

TEST_F(FogTest, MasksFollowTheCircleAndEllipseRulesForSmallRadii)
{
    ASSERT_TRUE(BuildFogMasks(3, 1));
    const std::vector<std::vector<std::string>> circles = {
        {"###", "###", "###"},
        {".###.", "#####", "#####", "#####", ".###."},
        {"..###..", ".#####.", "#######", "#######", "#######", ".#####.", "..###.."},
    };
    // The ellipse's centre lies one row below the mask's middle row: the top row stays empty.
    const std::vector<std::vector<std::string>> ellipses = {
        {"...", "###", "###", "###", "###"},
        {".....", ".###.", ".###.", "#####", "#####", "#####", "#####", "#####", ".###."},
        {".......", "..###..", ".#####.", ".#####.", "#######", "#######", "#######", "#######", "#######",
         "#######", "#######", ".#####.", ".#####."},
    };
    for (int r = 1; r <= 3; ++r) {
        SCOPED_TRACE("radius " + std::to_string(r));
        EXPECT_EQ(MaskRows(g_FogCircleMasks[static_cast<std::size_t>(r - 1)]), circles[static_cast<std::size_t>(r - 1)]);
        EXPECT_EQ(MaskRows(g_FogEllipseMasks[static_cast<std::size_t>(r - 1)]), ellipses[static_cast<std::size_t>(r - 1)]);
    }
    EXPECT_EQ(g_FogCircleMasks[0]->ColorKey(), 0u);
    EXPECT_FALSE(BuildFogMasks(40, 1)) << "the tables exist already";
    EXPECT_EQ(g_FogCircleMasks.size(), 3u);
}

TEST_F(FogTest, InitMakesEverythingOnceAndFailsCleanlyWithoutTheTexture)
{
    ASSERT_TRUE(InitSuperFog());
    EXPECT_EQ(g_FogMiniSurface->Width(), 200);
    EXPECT_EQ(g_FogViewSurface->Width(), 21);
    EXPECT_EQ(g_FogViewSurface->Height(), 54);
    EXPECT_EQ(g_FogPolySurface->Width(), 22);
    EXPECT_EQ(g_FogPolySurface->Height(), 34);
    EXPECT_EQ(g_FogGridWidth, 44);
    EXPECT_EQ(g_FogGridHeight, 56);
    EXPECT_EQ(g_FogCircleMasks.size(), 40u);
    EXPECT_FLOAT_EQ(g_FogCellWidth, 1024.0f / 22.0f);
    EXPECT_FALSE(InitSuperFog()) << "a second init while the fog exists";
    FreeSuperFog();
    EXPECT_EQ(g_FogMiniSurface, nullptr);
    EXPECT_TRUE(g_FogCircleMasks.empty());

    std::remove((dir / "Data/Misc/Fog/SuperFog.tga").c_str());
    const std::string log = LoggedBy([] { EXPECT_FALSE(InitSuperFog()); });
    EXPECT_NE(log.find("FAILED: Data\\Misc\\Fog\\SuperFog.tga"), std::string::npos) << log;
    EXPECT_EQ(g_FogMiniSurface, nullptr);

    g_bEditorMode = 1;
    EXPECT_TRUE(InitSuperFog()) << "the editor makes no fog";
    EXPECT_EQ(g_FogMiniSurface, nullptr);
}

TEST_F(FogTest, SourcesRevealByTheirSightAndState)
{
    struct Case {
        const char* what;
        int sight;
        std::uint8_t dead;
        std::uint16_t counter;
        int seenInRow; // seen cells of the unit's own row: 2r + 1, or 0
    } cases[] = {
        {"living, sight 3", 3, 0, 0, 7},
        {"sight 0", 0, 0, 0, 0},
        {"sight 41 has no mask", 41, 0, 0, 0},
        {"just died", 4, 1, 65535, 9},
        {"dead half-way", 4, 1, 65535 - 2250, 5},
        {"dead, counter at the end", 4, 1, 61035, 0},
        {"dead, counter below the end", 4, 1, 61034, 0},
    };
    ASSERT_TRUE(InitSuperFog());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        units[0].clear();
        TFogUnitSight& u = AddUnit(0, 25, 55, c.sight);
        u.dead = c.dead;
        u.deathCounter = c.counter;
        FullPass();
        EXPECT_EQ(ViewSeenInRow(55), c.seenInRow);
        EXPECT_EQ(MiniSeenPixels() > 0, c.seenInRow > 1);
    }

    units[0].clear();
    houses[0] = {{1, 5, 25, 55}};
    FullPass();
    EXPECT_EQ(ViewSeenInRow(55), 0) << "a house with its status flag set";
    houses[0] = {{0, 5, 25, 55}};
    FullPass();
    EXPECT_EQ(ViewSeenInRow(55), 11);
    EXPECT_EQ(MiniSeenInRow(static_cast<int>((55 * 24) * g_MiniMapPixelScaleY)), 11) << "minimap radius = sight";
}

TEST_F(FogTest, AlliesShareSightOnlyInRandomMapAndNetworkGames)
{
    struct Case {
        const char* what;
        std::uint8_t toward, back;
        bool localDefeated, otherDefeated, randomMap, net;
        std::uint8_t myPlayer;
        bool shared;
    } cases[] = {
        {"allies in a random-map game", 1, 1, false, false, true, false, 0, true},
        {"allies in a network game", 2, 2, false, false, false, true, 0, true},
        {"allies in a mission", 1, 1, false, false, false, false, 0, false},
        {"one-sided relation", 1, 0, false, false, true, false, 0, false},
        {"no relation", 0, 0, false, false, true, true, 0, false},
        {"the local player is defeated", 0, 0, true, false, true, false, 0, true},
        {"the other player is defeated", 0, 0, false, true, false, true, 0, true},
        {"no local player", 1, 1, false, false, true, true, 255, false},
    };
    ASSERT_TRUE(InitSuperFog());
    numPlayers = 2;
    AddUnit(1, 25, 55, 3);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        relation[0][1] = c.toward;
        relation[1][0] = c.back;
        defeated = {};
        defeated[0] = c.localDefeated;
        defeated[1] = c.otherDefeated;
        randomMap = c.randomMap;
        netGame = c.net;
        MyPlayer = c.myPlayer;
        FullPass();
        EXPECT_EQ(ViewSeenInRow(55) > 0, c.shared);
    }
}

TEST_F(FogTest, MinimapCirclesShrinkToTwoThirdsOnMapsThreeHundredWide)
{
    ASSERT_TRUE(InitSuperFog());
    for (const auto& [width, circle] : {std::pair{300, 9}, std::pair{200, 13}}) {
        SCOPED_TRACE(width);
        SetMap(width, 400);
        units[0].clear();
        AddUnit(0, 25, 55, 7); // minimap radius trunc((7 - 1) * s): 4 or 6
        FullPass();
        const TFogUnitSight& u = units[0][0];
        EXPECT_EQ(MiniSeenInRow(static_cast<int>(u.y * g_MiniMapPixelScaleY)), circle);
    }
}

TEST_F(FogTest, RevealPointsTakeTenSlotsAndHoldTheirRadiusToTheMasks)
{
    TFogRevealRecord& rec = g_FogRevealPoints;
    EXPECT_EQ(AddFogRevealPoint(rec, 25, 55, 200), 0);
    EXPECT_EQ(rec.radius[0], 40);
    EXPECT_EQ(AddFogRevealPoint(rec, 1, 2, 0), 1);
    EXPECT_EQ(rec.radius[1], 1);
    for (int i = 2; i < FOG_REVEAL_SLOTS; ++i)
        EXPECT_EQ(AddFogRevealPoint(rec, i, i, 5), i);
    EXPECT_EQ(AddFogRevealPoint(rec, 99, 99, 5), FOG_NO_SLOT);
    for (int i = 0; i < FOG_REVEAL_SLOTS; ++i)
        EXPECT_NE(rec.point[i].x, 99);

    ASSERT_TRUE(InitSuperFog());
    ClearFogRecord(rec);
    AddFogRevealPoint(rec, 25, 55, 200);
    FullPass();
    EXPECT_EQ(ViewSeenInRow(55), g_FogViewSurface->Width()) << "radius 40 is drawn";

    FreeSuperFog();
    ASSERT_TRUE(BuildFogMasks(10, 1));
    ClearFogRecord(rec);
    AddFogRevealPoint(rec, 0, 0, 30);
    EXPECT_EQ(rec.radius[0], 10) << "lowered to the largest radius that has a mask";
}

TEST_F(FogTest, TheRevealRecordIsNinetyBytesAndACutRecordIsRefused)
{
    TFogRevealRecord rec{};
    ClearFogRecord(rec);
    AddFogRevealPoint(rec, -7, 300000, 12);
    AddFogRevealPoint(rec, 5, 6, 3);
    TOfStreamMemory out;
    ASSERT_TRUE(SaveFogState(rec, out));
    ASSERT_EQ(out.Size(), FOG_RECORD_BYTES);
    EXPECT_EQ(out.Data()[80], 12);

    TFogRevealRecord back{};
    TIfStreamMemory in(out.Data(), out.Size());
    ASSERT_TRUE(LoadFogState(back, in));
    EXPECT_EQ(back.point[0].x, -7);
    EXPECT_EQ(back.point[0].y, 300000);
    EXPECT_EQ(back.radius[1], 3);

    TIfStreamMemory cut(out.Data(), FOG_RECORD_BYTES - 1);
    const std::string log = LoggedBy([&] { EXPECT_FALSE(LoadFogState(back, cut)); });
    EXPECT_NE(log.find("LoadFogState"), std::string::npos);
    EXPECT_EQ(back.radius[0], 0) << "nothing half-read stays";
}

TEST_F(FogTest, TestTileAnswersFromTheMinimapPictureAndOnlyWhileTheFogIsOn)
{
    ASSERT_TRUE(InitSuperFog());
    AddUnit(0, 25, 55, 5);
    FullPass();
    EXPECT_FALSE(FogTestTile(25, 55));
    EXPECT_TRUE(FogTestTile(150, 300));
    EXPECT_NE(g_FogLockedBits, nullptr) << "held locked until the next pass";
    // The display keeps working on other surfaces, and the minimap still blits the picture.
    plat::Surface other(200, 200, g_FogMiniSurface->Format());
    EXPECT_TRUE(BltSurface(&other, g_FogMiniSurface, nullptr, 0, 0, true));
    EXPECT_FALSE(FogTestTile(65535, 65535)) << "beyond the picture";
    g_MiniMapScaleX = 0.0f;
    EXPECT_FALSE(FogTestTile(150, 300)) << "no map loaded";
    SetMap(200, 400);

    g_FrameCounter = 1;
    UpdateFog();
    EXPECT_EQ(g_FogLockedBits, nullptr);
    g_bFogOfWar = 0;
    EXPECT_FALSE(FogTestTile(150, 300));
    g_bFogOfWar = 1;
    g_bEditorMode = 1;
    EXPECT_FALSE(FogTestTile(150, 300));
}

TEST_F(FogTest, FullPassesComeEveryThirtiethFrameAndScrollingRedrawsOnlyTheView)
{
    ASSERT_TRUE(InitSuperFog());
    AddUnit(0, 25, 55, 5);
    g_FrameCounter = 7;
    UpdateFog(); // the first pass after making the fog is full
    const int mini = MiniSeenPixels();
    EXPECT_GT(mini, 0);

    units[0][0].mapX = 27;
    units[0][0].x += 96 * 20;
    g_FrameCounter = 8;
    UpdateFog();
    EXPECT_TRUE(ViewSeen(25, 55)) << "no pass without scrolling";

    g_ScrollFlag = 1;
    UpdateFog();
    EXPECT_FALSE(ViewSeen(21, 55));
    EXPECT_TRUE(ViewSeen(32, 55));
    EXPECT_EQ(MiniSeenPixels(), mini);
    EXPECT_EQ(g_FogSeen[static_cast<int>(units[0][0].x * g_MiniMapPixelScaleX)][static_cast<int>(units[0][0].y * g_MiniMapPixelScaleY)], 0)
        << "the minimap picture keeps the last full pass";

    g_ScrollFlag = 0;
    g_FrameCounter = 30;
    UpdateFog();
    EXPECT_EQ(g_FogSeen[static_cast<int>(units[0][0].x * g_MiniMapPixelScaleX)][static_cast<int>(units[0][0].y * g_MiniMapPixelScaleY)], 4);
}

TEST_F(FogTest, ClassificationMarksEdgesAndPruningKeepsPointsBesideEdges)
{
    // A seen block under fog: of the points along its top only those diagonal to an edge cell stay.
    SetGrid({
        "##########",
        "##......##",
        "##......##",
        "##......##",
    });
    const std::size_t n = FindFogContours();
    EXPECT_EQ(GridRows(), (std::vector<std::string>{
                              "2111111112",
                              "1102002011",
                              "1120000211",
                              "2122222212",
                          }));
    EXPECT_EQ(n, 2u + 2u + 6u + 4u);
    EXPECT_EQ(g_FogContours[0].gx, 4);
    EXPECT_EQ(g_FogContours[0].border, 0);
    EXPECT_EQ(g_FogContours[4].border, 1) << "the bottom row touches the frame";
    EXPECT_EQ(g_FogContours.back().gx, 1);
    EXPECT_EQ(g_FogContours.back().gy, 4);
}

TEST_F(FogTest, TracingClosesCurvesAndAnIslandGetsTheHoleFlag)
{
    // After classification: a ring of contour points around an island of fog, in a seen area.
    SetGrid({
        "........",
        "........",
        "........",
        "........",
        "........",
        "........",
        "........",
    });
    const char* ring[] = {"..2222..", ".2####2.", ".2####2.", ".2####2.", "..2222.."};
    g_FogContours.clear();
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 8; ++x) {
            const char c = ring[y][x];
            if (c == '2')
                g_FogContours.push_back({static_cast<std::uint8_t>(x + 1), static_cast<std::uint8_t>(y + 2), 0});
            SetFogGridCell(x + 1, y + 2, c == '2' ? FOG_CONTOUR : c == '#' ? FOG_UNSEEN : FOG_SEEN);
        }
    TraceFogCurves();
    ASSERT_EQ(g_FogCurves.size(), 1u);
    const TFogCurve& c = g_FogCurves[0];
    EXPECT_EQ(c.count, 15) << "14 ring points and the closing copy";
    EXPECT_EQ(c.pt[0].x, c.pt[14].x);
    EXPECT_EQ(c.pt[0].y, c.pt[14].y);
    EXPECT_EQ(c.hole, 1);
    // The walk goes round an island counter-clockwise: down its left side first.
    EXPECT_EQ(c.pt[1].x, 2.0f);
    EXPECT_EQ(c.pt[1].y, 3.0f);
    EXPECT_TRUE(g_FogContours.empty());

    // A fully seen grid traces one curve along its frame, clockwise, without the hole flag.
    SetGrid(std::vector<std::string>(8, std::string(10, '.')));
    FindFogContours();
    TraceFogCurves();
    ASSERT_EQ(g_FogCurves.size(), 1u);
    EXPECT_EQ(g_FogCurves[0].hole, 0);
    EXPECT_EQ(g_FogCurves[0].pt[1].x, g_FogCurves[0].pt[0].x + 1) << "rightwards along the top first";
}

// The display and the 3-D device made again in another mode, as a display change does.
void SwitchDisplay(int mode)
{
    Direct3DFree();
    DirectDrawFree();
    ASSERT_TRUE(DirectDrawInit(nullptr, mode));
    ASSERT_TRUE(Direct3DInit());
}

TEST_F(FogTest, ADisplayChangeMakesTheFogAgainForTheNewView)
{
    ASSERT_TRUE(InitSuperFog());
    AddUnit(0, 25, 55, 6);
    FullPass();
    for (const auto& [mode, cols, rows] : {std::tuple{3, 14, 44}, std::tuple{0, 11, 34}, std::tuple{3, 14, 44}}) {
        SCOPED_TRACE(mode);
        SwitchDisplay(mode);
        SetViewSizeByScreen();
        ASSERT_EQ(g_ViewCols, cols);
        ASSERT_EQ(g_ViewRows, rows);
        ASSERT_TRUE(RecreateSuperFog());
        EXPECT_EQ(g_FogGridWidth, 2 * (cols + 10) + 2);
        EXPECT_EQ(g_FogViewSurface->Height(), rows + 20);
        EXPECT_FLOAT_EQ(g_FogCellHeight, static_cast<float>(g_ScreenHeight) / static_cast<float>(rows));
        g_FrameCounter = 5;
        UpdateFog(); // the new fog's first pass is full
        EXPECT_TRUE(ViewSeen(25, 55));
        EXPECT_FALSE(FogTestTile(25, 55));
        DrawSuperFog();
    }
    // A frame that forgot the call still gets fog of the right size.
    SwitchDisplay(0);
    SetViewSizeByScreen();
    g_FrameCounter = 0;
    UpdateFog();
    EXPECT_EQ(g_FogGridHeight, 34 + 22);
    DrawSuperFog();
}

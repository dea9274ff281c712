#pragma once
// The fog on a 1024 x 768 display with the map's view at (20, 40), 11 x 34 cells, on a 200 x 400
// map, fed by hand-made sight sources; everything it changes is put back after each test.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "core/app_state.h"
#include "core/settings.h"
#include "devices/device_fixture.h"
#include "fog_pictures.h"
#include "map/fog.h"
#include "map/fog_edges.h"
#include "map/map_view.h"
#include "map/minimap.h"
#include "platform/paths.h"
#include "platform/surface.h"
#include "players/strateg.h"
#include "sample_data.h"

class FogTest : public DeviceTest {
protected:
    static constexpr int kViewX = 20;
    static constexpr int kViewY = 40;

    void SetUp() override
    {
        DeviceTest::SetUp();
        ASSERT_TRUE(sampledata::WriteFogPictures(dir.Path()));
        plat::SetGameRoot(dir.Path());
        saved = {g_ViewX, g_ViewY, g_ViewCols, g_ViewRows, g_MapWidth, g_MapHeight, MyPlayer, g_FrameCounter,
                 g_ScrollFlag, g_bEditorMode, g_bFogOfWar};
        SetMap(200, 400);
        g_ViewX = kViewX;
        g_ViewY = kViewY;
        g_ViewCols = 11;
        g_ViewRows = 34;
        MyPlayer = 0;
        g_FrameCounter = 0;
        g_ScrollFlag = 0;
        g_bEditorMode = 0;
        g_bFogOfWar = 1;
        ClearFogRecord(g_FogRevealPoints);
        TFogServices& s = FogServices();
        s.NumPlayers = [this] { return numPlayers; };
        s.IsDefeated = [this](std::uint8_t p) { return defeated[p] != 0; };
        s.Relation = [this](std::uint8_t from, std::uint8_t to) { return relation[from][to]; };
        s.IsRandomMapGame = [this] { return randomMap; };
        s.IsNetGame = [this] { return netGame; };
        s.ForEachUnit = [this](std::uint8_t p, const std::function<void(const TFogUnitSight&)>& f) {
            for (const TFogUnitSight& u : units[p])
                f(u);
        };
        s.ForEachHouse = [this](std::uint8_t p, const std::function<void(const TFogHouseSight&)>& f) {
            for (const TFogHouseSight& h : houses[p])
                f(h);
        };
    }
    void TearDown() override
    {
        FreeSuperFog();
        ResetFogServices();
        ClearFogRecord(g_FogRevealPoints);
        g_ViewX = saved.viewX;
        g_ViewY = saved.viewY;
        g_ViewCols = saved.cols;
        g_ViewRows = saved.rows;
        g_MapWidth = saved.mapW;
        g_MapHeight = saved.mapH;
        MyPlayer = saved.myPlayer;
        g_FrameCounter = saved.frame;
        g_ScrollFlag = saved.scroll;
        g_bEditorMode = saved.editor;
        g_bFogOfWar = saved.fog;
        plat::SetGameRoot(".");
        DeviceTest::TearDown();
    }

    static void SetMap(int width, int height)
    {
        g_MapWidth = width;
        g_MapHeight = height;
        g_MiniMapScaleX = static_cast<float>(width) * 0.005f;
        g_MiniMapScaleY = static_cast<float>(height) * 0.005f;
        g_MiniMapPixelScaleX = 200.0f / (static_cast<float>(width) * 96.0f);
        g_MiniMapPixelScaleY = 200.0f / (static_cast<float>(height) * 24.0f);
    }

    // A living unit of player p at a cell, with its pixel position at the cell's centre.
    TFogUnitSight& AddUnit(int p, int x, int y, int sight)
    {
        TFogUnitSight u;
        u.sight = static_cast<std::uint8_t>(sight);
        u.mapX = static_cast<std::uint16_t>(x);
        u.mapY = static_cast<std::uint16_t>(y);
        u.x = static_cast<float>((2 * x - (y % 2 == 0 ? 1 : 0)) * 48 + 48);
        u.y = static_cast<float>(y * 24 + 24);
        units[p].push_back(u);
        return units[p].back();
    }

    // A full pass (the frame counter at 0) on freshly made fog.
    void FullPass()
    {
        g_FrameCounter = 0;
        UpdateFog();
    }

    // The view picture at a map cell: true when seen.
    static bool ViewSeen(int x, int y)
    {
        const int i = x - (g_ViewX - 5), j = y - (g_ViewY - 5);
        if (i < 0 || j < 0 || i >= g_FogViewSurface->Width() || j >= g_FogViewSurface->Height())
            return false;
        return g_FogViewSurface->Pixels().Row16(j)[i] != 0;
    }
    // Seen cells of one map row of the view picture.
    static int ViewSeenInRow(int y)
    {
        int n = 0;
        for (int x = g_ViewX - 5; x < g_ViewX - 5 + g_FogViewSurface->Width(); ++x)
            n += ViewSeen(x, y);
        return n;
    }
    static int MiniSeenPixels()
    {
        int n = 0;
        for (int y = 0; y < FOG_MINI_SIZE; ++y)
            for (int x = 0; x < FOG_MINI_SIZE; ++x)
                n += g_FogMiniSurface->Pixels().Row16(y)[x] != 0;
        return n;
    }
    static int MiniSeenInRow(int y)
    {
        int n = 0;
        for (int x = 0; x < FOG_MINI_SIZE; ++x)
            n += g_FogMiniSurface->Pixels().Row16(y)[x] != 0;
        return n;
    }

    std::uint16_t numPlayers = 1;
    std::array<std::uint8_t, 8> defeated{};
    std::uint8_t relation[8][8] = {};
    bool randomMap = false;
    bool netGame = false;
    std::array<std::vector<TFogUnitSight>, 8> units;
    std::array<std::vector<TFogHouseSight>, 8> houses;

    struct Saved {
        std::uint16_t viewX, viewY;
        std::int32_t cols, rows, mapW, mapH;
        std::uint8_t myPlayer;
        std::uint32_t frame;
        std::uint8_t scroll, editor, fog;
    } saved{};
};

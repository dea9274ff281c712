#pragma once
// The 8-player sample mission loaded as the game loads it, at one screen mode, with the view on the
// local player's base by the sea and 1,000 units of all eight players in view (the local player's
// clear the fog around them). Each benchmark makes its own and frees it: nothing of one run is
// left for the next.
#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>

#include "bench_display.h"
#include "game/game_load.h"
#include "game/game_main.h"
#include "core/loader_thread.h"
#include "map/map_grid.h"
#include "map/map_scene.h"
#include "map/map_view.h"
#include "map/water.h"
#include "platform/paths.h"
#include "players/strateg.h"
#include "sample_data.h"
#include "units/house.h"
#include "units/unit.h"
#include "units/unit_lists.h"

class GameFrameWorld {
public:
    static constexpr int kUnits = 1000;

    explicit GameFrameWorld(int mode)
    {
        if (!sampledata::WriteWorldFiles(m_Dir))
            return;
        plat::SetGameRoot(m_Dir);
        m_Display = std::make_unique<BenchDisplay>(mode);
        if (!m_Display->Ok())
            return;
        SetViewSizeByScreen();
        g_GameType = 0;
        MyPlayer = 0;
        if (!LoadGame("Data\\Campaigns\\Sample\\Coast.mis", false, nullptr))
            return;
        m_Loaded = true;
        if (!ViewOnBase() || !AddUnits())
            return;
        g_bMapViewDirty = 1;
        m_Ok = true;
    }
    ~GameFrameWorld()
    {
        g_UnitsDrawSorted.clear();
        if (m_Loaded)
            FreeGame();
        g_Loader.WaitUntilIdleFor(10000);
        m_Display.reset();
        plat::SetGameRoot(".");
        std::error_code ec;
        std::filesystem::remove_all(m_Dir, ec);
    }
    GameFrameWorld(const GameFrameWorld&) = delete;
    GameFrameWorld& operator=(const GameFrameWorld&) = delete;

    bool Ok() const { return m_Ok; }
    int WaterCellsInView() const { return m_WaterCells; }

private:
    // The view centred on the local player's first building, moved toward the sea until water is
    // in view.
    bool ViewOnBase()
    {
        if (!g_pHouse[MyPlayer] || NumHouse[MyPlayer] == 0 || !g_pWater)
            return false;
        const THouse& base = g_pHouse[MyPlayer][0];
        const int maxX = std::max(0, g_MapWidth - g_ViewCols - 2), maxY = std::max(0, g_MapHeight - g_ViewRows - 10);
        for (int shift = 0; shift < g_MapWidth; shift += 2)
            for (int side : {-1, 1}) {
                const int x = std::clamp(base.X - g_ViewCols / 2 + side * shift, 0, maxX);
                const int y = std::clamp((base.Y - g_ViewRows / 2) & ~1, 0, maxY);
                g_ViewX = static_cast<std::uint16_t>(x);
                g_ViewY = static_cast<std::uint16_t>(y);
                m_WaterCells = CountWaterCells();
                // A third of the view's water cells or more: the sea and the base both show.
                if (m_WaterCells * 6 >= g_pWater->m_VisibleCols * g_pWater->m_VisibleRows) {
                    ScrollMap(0, 0);
                    return true;
                }
            }
        return false;
    }
    int CountWaterCells() const
    {
        int n = 0;
        for (int r = 0; r < g_pWater->m_VisibleRows; ++r)
            for (int c = 0; c < g_pWater->m_VisibleCols; ++c)
            {
                const int column = 2 * g_ViewX + c, row = g_ViewY + r;
                if (column < g_pWater->m_Width && row < g_pWater->m_Height && g_pWater->Cell(column, row) != 0)
                    ++n;
            }
        return n;
    }
    // Riflemen, machine gunners, field guns, tanks and fighters of every player, spread over the
    // view's land in screen order, as the unit walk hands them to the scene.
    bool AddUnits()
    {
        static constexpr std::uint16_t kTypes[] = {2, 2, 2, 6, 5, 14, 14, 11};
        const std::int32_t left = g_ViewX * 96, top = g_ViewY * 24;
        std::uint32_t seed = 4242;
        int made = 0;
        for (int i = 0; made < kUnits && i < 50 * kUnits; ++i) {
            seed = seed * 1664525u + 1013904223u;
            const float x = static_cast<float>(left + 32 + (seed >> 8) % static_cast<std::uint32_t>(g_ScreenWidth - 64));
            seed = seed * 1664525u + 1013904223u;
            const float y = static_cast<float>(top + 48 + (seed >> 8) % static_cast<std::uint32_t>(g_ScreenHeight - 64));
            const std::uint16_t type = kTypes[i % 8];
            if (type != 11 && g_pWater->GetWaterKind(static_cast<std::int32_t>(x) / 96, static_cast<std::int32_t>(y) / 24) != 0)
                continue;
            const auto player = static_cast<std::uint8_t>(made % g_wNumPlayer);
            // Placed as a map file's units are, without the stay test: the crowd is for drawing,
            // and the passability maps of a loaded game are made by its first cycle.
            TUnit* u = CreateUnit(x, y, type, g_Strateg[player]->Nation);
            if (u == nullptr || AddUnitToPlayer(player, u) == UNIT_NO_INDEX)
                continue;
            ++made;
        }
        if (!g_Loader.WaitUntilIdleFor(60000))
            return false;
        for (int p = 0; p < g_wNumPlayer; ++p)
            for (TUnit* u = g_Strateg[p]->FirstUnit; u != nullptr; u = u->m_pNext)
                g_UnitsDrawSorted.push_back({u, 0, 0});
        std::sort(g_UnitsDrawSorted.begin(), g_UnitsDrawSorted.end(), [](const TUnitDrawRecord& a, const TUnitDrawRecord& b) {
            return a.unit->Y < b.unit->Y || (a.unit->Y == b.unit->Y && a.unit->X < b.unit->X);
        });
        return made == kUnits;
    }

    std::string m_Dir = (std::filesystem::temp_directory_path() / "korvela-bench-frame").string();
    std::unique_ptr<BenchDisplay> m_Display;
    bool m_Loaded = false;
    bool m_Ok = false;
    int m_WaterCells = 0;
};

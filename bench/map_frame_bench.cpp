// The map frame on the 8-player sample map, one core: a full static-layer rebuild, a one-step
// scroll, and the map scene with water, the fog and 500 units in view, at 1024 x 768 and
// 1280 x 1024.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "game/game_main.h"
#include "core/memory_stream.h"
#include "core/settings.h"
#include "devices/d3d_device.h"
#include "devices/display.h"
#include "fog_pictures.h"
#include "land_textures.h"
#include "map/fog.h"
#include "map/landscape.h"
#include "map/map_file.h"
#include "map/map_objects.h"
#include "map/map_scene.h"
#include "map/map_view.h"
#include "map/minimap.h"
#include "map/static_layer.h"
#include "map/water.h"
#include "maps.h"
#include "objects.h"
#include "parameters.h"
#include "platform/paths.h"
#include "players/strateg.h"
#include "sample_data.h"
#include "units/anim_slots.h"
#include "units/unit.h"
#include "water.h"

namespace {

constexpr int kUnits = 500;

class MapFrameWorld {
public:
    bool Open(int mode)
    {
        if (m_Mode == mode)
            return m_Ok;
        Close();
        m_Mode = mode;
        if (!m_Written) {
            const sampledata::SampleMap map = sampledata::MakeCoastMap();
            const auto file = sampledata::BuildMapFile(map.data, map.tail, true);
            m_Written = sampledata::WriteFolderTree(m_Dir) && sampledata::WriteLandTextures(m_Dir)
                        && sampledata::WriteMapResources(m_Dir) && sampledata::WriteObjects(m_Dir)
                        && sampledata::WriteWaterFiles(m_Dir) && sampledata::WriteAnimationSlots(m_Dir)
                        && sampledata::WriteFogPictures(m_Dir)
                        && sampledata::WriteFileBytes(m_Dir, "Maps/Coast.dat", file.data(), file.size());
        }
        plat::SetGameRoot(m_Dir);
        m_Ok = m_Written && DirectDrawInit(nullptr, mode) && Direct3DInit();
        if (!m_Ok)
            return false;
        g_pWater = new TWaterMap();
        MapServices().LoadWater = [](TIfStreamMemory& in) { return g_pWater->LoadWater(in); };
        m_Ok = LoadObjects() && LoadAnimationList() && LoadMap("Coast.dat", true, nullptr);
        if (!m_Ok)
            return false;
        g_pWater->SetWaterScreenParams();
        SetViewSizeByScreen();
        g_ViewX = 60;
        g_ViewY = 200;
        g_ViewPixelX = g_ViewX * 96;
        g_ViewPixelY = g_ViewY * 24;
        g_MiniMapScaleX = g_MapWidth * 0.005f;
        g_MiniMapScaleY = g_MapHeight * 0.005f;
        g_MiniMapPixelScaleX = 200.0f / (g_MapWidth * 96.0f);
        g_MiniMapPixelScaleY = 200.0f / (g_MapHeight * 24.0f);
        g_bFogOfWar = 1;
        m_Ok = InitSuperFog();
        m_Units.clear();
        g_UnitsDrawSorted.clear();
        for (int i = 0; i < kUnits; ++i) {
            auto u = std::make_unique<TUnit>(0, 0);
            u->X = static_cast<float>(g_ViewPixelX + (i * 37) % g_ScreenWidth);
            u->Y = static_cast<float>(g_ViewPixelY + (i * 53) % g_ScreenHeight);
            g_UnitsDrawSorted.push_back({u.get(), 0, 0});
            m_Units.push_back(std::move(u));
        }
        RenderMapView(0);
        return m_Ok;
    }
    void Close()
    {
        if (m_Mode < 0)
            return;
        g_UnitsDrawSorted.clear();
        m_Units.clear();
        FreeSuperFog();
        g_bFogOfWar = 0;
        FreeMapResources();
        FreeAnimations();
        FreeObjects();
        delete g_pWater;
        g_pWater = nullptr;
        Direct3DFree();
        DirectDrawFree();
        m_Mode = -1;
    }
    ~MapFrameWorld()
    {
        Close();
        plat::SetGameRoot(".");
        std::error_code ec;
        std::filesystem::remove_all(m_Dir, ec);
    }

private:
    std::string m_Dir = (std::filesystem::temp_directory_path() / "korvela-bench-map-frame").string();
    std::vector<std::unique_ptr<TUnit>> m_Units;
    int m_Mode = -1;
    bool m_Ok = false;
    bool m_Written = false;
};

MapFrameWorld& World()
{
    static MapFrameWorld world;
    return world;
}

void BM_RenderMapViewFull(benchmark::State& state)
{
    if (!World().Open(static_cast<int>(state.range(0)))) {
        state.SkipWithError("setup failed");
        return;
    }
    for (auto _ : state)
        RenderMapView(0);
    state.counters["tiles"] = g_Landscape.tileCount;
}

void BM_RenderMapViewScrollStep(benchmark::State& state)
{
    if (!World().Open(static_cast<int>(state.range(0)))) {
        state.SkipWithError("setup failed");
        return;
    }
    RenderMapView(0);
    bool right = true;
    for (auto _ : state) {
        // One column right, then back left: every rebuild is a one-step scroll.
        g_ViewX = static_cast<std::uint16_t>(g_ViewX + (right ? 1 : -1));
        g_ViewPixelX = g_ViewX * 96;
        RenderMapView(right ? 2 : 1);
        right = !right;
    }
}

void BM_DrawMapScene(benchmark::State& state)
{
    if (!World().Open(static_cast<int>(state.range(0)))) {
        state.SkipWithError("setup failed");
        return;
    }
    RenderMapView(0);
    for (auto _ : state) {
        ++g_FrameCounter;
        DrawMapScene();
    }
    state.counters["units"] = static_cast<double>(g_UnitsDrawSorted.size());
}

BENCHMARK(BM_RenderMapViewFull)->Arg(0)->Arg(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderMapViewScrollStep)->Arg(0)->Arg(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawMapScene)->Arg(0)->Arg(3)->Unit(benchmark::kMillisecond);

} // namespace

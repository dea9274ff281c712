// One frame of the game screen, and the display changes that rebuild what depends on the screen.
#include "game/frame_drawing.h"

#include <memory>
#include <mutex>

#include "combat/ground_effects.h"
#include "core/error_log.h"
#include "game/developer_panel.h"
#include "game/game_main.h"
#include "core/loader_thread.h"
#include "devices/cursor_state.h"
#include "devices/d3d_device.h"
#include "devices/display.h"
#include "devices/mouse.h"
#include "devices/sound.h"
#include "map/fog.h"
#include "map/map_objects.h"
#include "map/map_scene.h"
#include "map/map_view.h"
#include "map/static_layer.h"
#include "map/water.h"
#include "net/net_events.h"
#include "players/economy.h"
#include "combat/effects.h"
#include "map/minimap.h"
#include "players/strateg.h"
#include "ui/menus.h"
#include "ui/panel.h"
#include "ui/windows.h"
#include "units/house.h"
#include "units/unit_types.h"

std::uint8_t g_bNetStall = 0;
std::uint8_t g_NetStallFrames = 0;
std::uint16_t g_MouseCellX = 0;
std::uint16_t g_MouseCellY = 0;
std::uint8_t g_bDebugPanel = 0;
std::uint8_t g_bUnitDebug = 0;

// The modules that exist are bound; what is left empty draws nothing until its subsystem is built.
TFrameServices DefaultFrameServices()
{
    TFrameServices s;
    s.UpdateInterfacePanel = ::UpdateInterfacePanel;
    s.DrawAllWindows = ::DrawAllWindows;
    s.DrawMiniMap = ::DrawMiniMap;
    s.DrawResourceBar = ::DrawResourceBar;
    s.DrawSelectedHouseRing = ::DrawSelectedHouseRing;
    s.DrawShipSelectionRings = ::DrawShipSelectionRings;
    s.AddHouseFires = ::AddDamagedHouseFires;
    s.DrawDeveloperPanel = ::DrawDeveloperPanel;
    s.DrawUnitDebugLines = ::DrawUnitDebugLines;
    s.UpdateExplosions = ::UpdateExplosions;
    s.ParticlesFree = ::ParticlesFree;
    s.ParticlesInit = ::ParticlesInit;
    s.FreeHouseSelTexture = ::FreeHouseSelTexture;
    s.LoadHouseSelTexture = ::LoadHouseSelTexture;
    s.UnitInit = ::UnitInit;
    s.CloseAllWindows = ::CloseAllWindows;
    s.MakeMainMenu = [] {
        InitWindows();
        AppServices().MakeMainMenu();
    };
    return s;
}

TFrameServices& FrameServices()
{
    static TFrameServices services = DefaultFrameServices();
    return services;
}

namespace {

void Call(const std::function<void()>& f)
{
    if (f)
        f();
}

bool MenuOpen()
{
    return g_MainMenuWindow != nullptr;
}

// The view's pixel rectangle from its cell origin, and the cell under the mouse.
void UpdateViewPixels()
{
    std::int32_t mx = 0, my = 0;
    {
        std::lock_guard lock(g_InputLock);
        g_ViewPixelX = static_cast<std::int32_t>(g_ViewX) * 96;
        g_ViewPixelY = static_cast<std::int32_t>(g_ViewY) * 24;
        g_ViewPixelRight = g_ViewPixelX + g_ScreenWidth;
        g_ViewPixelBottom = g_ViewPixelY + g_ScreenHeight;
        mx = g_MouseX;
        my = g_MouseY;
    }
    if (g_pHeightMap == nullptr)
        return;
    plat::Point cell;
    GetCellFromPoint(static_cast<float>(mx + g_ViewPixelX), static_cast<float>(my + g_ViewPixelY), cell);
    g_MouseCellX = static_cast<std::uint16_t>(cell.x);
    g_MouseCellY = static_cast<std::uint16_t>(cell.y);
}

// The building or line the local player is placing follows the cursor over the map.
void DrawPlacementPreview()
{
    std::int16_t placing = -1;
    {
        std::lock_guard lock(g_InputLock);
        placing = g_PlacingHouseType;
    }
    if (placing == -1 || MyStrateg == nullptr) {
        EndPlacementPreview();
        return;
    }
    DrawObjects(placing, MyStrateg->Nation);
}

} // namespace

bool StepNetStall(bool netGame)
{
    if (!netGame) {
        g_bNetStall = 0;
        g_NetStallFrames = 0;
        return false;
    }
    if (g_bNetStall == 1 && ++g_NetStallFrames > 4) {
        g_bNetStall = 0;
        g_NetStallFrames = 0;
    }
    return g_bNetStall == 1;
}

void RenderFrame()
{
    TFrameServices& s = FrameServices();
    const bool skipped = StepNetStall(IsNetGame());
    const bool paused = g_bPaused.load() != 0;
    const bool menu = MenuOpen();
    if (!menu) {
        if ((s.PanelWantsUpdate && s.PanelWantsUpdate()) || g_FrameCounter % 20 == 5)
            if (s.UpdateInterfacePanel)
                s.UpdateInterfacePanel(1);
        UpdateViewPixels();
        if (!skipped) {
            if (!paused)
                Call(s.AddHouseFires);
            Call(s.UpdateExplosions);
        }
    }
    if (!g_bEditorMode && !menu) {
        PollLoaderResult();
        if (!skipped) {
            if (g_bMapViewDirty) {
                g_bMapViewDirty = 0;
                RenderMapView(0);
            }
            DrawMapScene();
            Call(s.DrawSelectedHouseRing);
            Call(s.DrawShipSelectionRings);
            DrawPlacementPreview();
        }
        if (!paused) {
            if (!skipped)
                Call(s.DrawUnitFires);
            Call(s.DrawSelection);
        }
        Call(s.DrawTextEntries);
        if (!skipped)
            Call(s.DrawMiniMap);
        Call(s.DrawButtonBar);
        Call(s.DrawResourceBar);
    }
    UpdateSounds();
    Call(s.DrawAllWindows);
    if (g_bDebugPanel)
        Call(s.DrawDeveloperPanel);
    if (g_bUnitDebug && !menu)
        Call(s.DrawUnitDebugLines);
    PresentFrame();
}

bool ChangeScreenMode(std::uint8_t mode)
{
    TFrameServices& s = FrameServices();
    if (mode >= SCREEN_MODE_COUNT || !g_ModeAvailable[mode])
        mode = 0;
    if (g_DisplayMode == mode)
        return true;
    DirectInputFree();
    Direct3DFree();
    Call(s.FreeMiniMapFrame);
    ReleaseScreenSurfaces();
    bool ok = SetScreenMode(mode) && CreateBackBuffer();
    if (!ok)
        ReportError("ChangeScreenMode: the screen surfaces FAILED");
    SetViewSizeByScreen();
    if (g_pWater)
        g_pWater->SetWaterScreenParams();
    // Both devices are checked: a frame drawn without either would crash or ignore the mouse.
    const bool d3d = s.Direct3DInit ? s.Direct3DInit() : Direct3DInit();
    if (!d3d) {
        ReportError("Direct3DInit() FAILED");
        ok = false;
    }
    const bool input = s.DirectInputInit ? s.DirectInputInit() : DirectInputInit(g_pDD ? g_pDD->window : nullptr);
    if (!input) {
        ReportError("DirectInputInit() FAILED");
        ok = false;
    }
    const bool menu = MenuOpen();
    if (!menu) {
        Call(s.HideShowGroupWindow);
        SetMiniMapGeometry();
        Call(s.LoadMiniMapFrame);
        if (g_bEditorMode)
            Call(s.PlaceEditorToolbar);
        RecreateSuperFog();
    }
    Call(s.CentreGameMenu);
    if (!menu && d3d)
        RenderMapView(0);
    SetSoundDistances();
    return ok;
}

bool RestoreAllSurfaces()
{
    plat::Surface* surfaces[3] = {g_pDDSPrimary, g_pDDSBack, g_pDDSBuffer};
    for (plat::Surface* surface : surfaces)
        if (surface == nullptr)
            return true;
    for (plat::Surface* surface : surfaces)
        if (surface->IsLost())
            surface->Restore();
    RestoreCursorSurfaces();
    if (!MenuOpen()) {
        // The surfaces of this display come back at once; a surface that stays lost would only
        // repeat the wait, so it is not waited for.
        RenderMapView(0);
        RenderFrame();
        RenderMapView(0);
    }
    return true;
}

bool RecreateDevices(std::uint8_t presentationMode)
{
    TFrameServices& s = FrameServices();
    if (s.CloseAllWindows)
        s.CloseAllWindows();
    Call(s.ParticlesFree);
    Call(s.FreeHouseSelTexture);
    DirectInputFree();
    Direct3DFree();
    plat::Window* window = g_pDD ? g_pDD->window : nullptr;
    // The screen keeps showing the film's last picture until the next frame is drawn.
    std::unique_ptr<plat::Surface> shown;
    if (g_pDDSBack) {
        shown = std::make_unique<plat::Surface>(g_pDDSBack->Width(), g_pDDSBack->Height(), g_pDDSBack->Format());
        shown->BltFast(0, 0, *g_pDDSBack, nullptr, false);
    }
    DirectDrawFree();
    g_bWindowed = presentationMode;
    if (!DirectDrawInit(window, g_DisplayMode)) {
        ReportError("DirectDrawInit() FAILED");
        return false;
    }
    if (shown && g_pDDSBack && shown->Width() == g_pDDSBack->Width() && shown->Height() == g_pDDSBack->Height())
        g_pDDSBack->BltFast(0, 0, *shown, nullptr, false);
    if (!(s.Direct3DInit ? s.Direct3DInit() : Direct3DInit())) {
        ReportError("Direct3DInit() FAILED");
        return false;
    }
    Call(s.MakeMainMenu);
    if (s.UnitInit && !s.UnitInit()) {
        ReportError("UnitInit() FAILED");
        return false;
    }
    if (s.ParticlesInit && !s.ParticlesInit()) {
        ReportError("ParticlesInit() FAILED");
        return false;
    }
    Call(s.LoadHouseSelTexture);
    if (!(s.DirectInputInit ? s.DirectInputInit() : DirectInputInit(window))) {
        ReportError("DirectInputInit() FAILED");
        return false;
    }
    // The static layer lived in the surfaces just replaced: a game's next frame builds it anew.
    g_bMapViewDirty = 1;
    return true;
}

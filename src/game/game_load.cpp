#include "game/game_load.h"

#include <cstring>
#include <mutex>

#include "combat/game_state.h"
#include "core/archive.h"
#include "game/command_line.h"
#include "core/error_log.h"
#include "game/frame_drawing.h"
#include "game/game_keys.h"
#include "game/game_main.h"
#include "game/loader_services.h"
#include "game/save_game.h"
#include "core/loader_thread.h"
#include "game/mission.h"
#include "core/random_table.h"
#include "core/settings.h"
#include "devices/d3d_device.h"
#include "devices/display.h"
#include "devices/image_files.h"
#include "devices/mouse.h"
#include "devices/quads.h"
#include "devices/music.h"
#include "devices/sound.h"
#include "editor/editor.h"
#include "map/fog.h"
#include "map/landscape.h"
#include "map/map_file.h"
#include "map/map_grid.h"
#include "map/map_objects.h"
#include "map/map_view.h"
#include "map/minimap.h"
#include "map/static_layer.h"
#include "map/trench_pieces.h"
#include "map/water.h"
#include "movement/passability.h"
#include "net/network.h"
#include "platform/texture.h"
#include "players/defeat.h"
#include "players/placement.h"
#include "players/selection.h"
#include "players/strateg.h"
#include "ui/setup_screen.h"
#include "ui/windows.h"
#include "units/anim_slots.h"
#include "units/house.h"
#include "units/house_types.h"
#include "units/house_behaviour.h"
#include "units/parameter_files.h"
#include "units/unit_lists.h"
#include "units/upgrades.h"
#include "units/unit.h"
#include "units/unit_types.h"

std::uint8_t g_GameType = 0;
std::string g_MissionPath;
std::uint8_t g_CampaignMode = 0;
std::uint32_t g_GameResult = GAME_RESULT_UNDECIDED;
std::string g_CampaignName;
std::uint8_t g_UnitProducer[5][40];
std::uint8_t g_bGameLoaded = 0;

plat::Texture* g_pWhite4x4Texture = nullptr;
plat::Texture* g_pButtonShadowTexture = nullptr;
plat::Texture* g_pUnitFireTexture = nullptr;

namespace {

constexpr std::uint32_t kInterfaceArchiveSlot = 305;
constexpr const char* kInterfaceArchivePath = "Data\\Interface\\Interface.les";
constexpr std::int32_t kHomeFallbackX = 20;
constexpr std::int32_t kHomeFallbackY = 40;

void Release(plat::Texture*& texture)
{
    if (texture)
        texture->Release();
    texture = nullptr;
}

// The loader is polled as the frame polls it; a loader that never finishes ends in a logged
// failure after the limit instead of a hung game.
bool WaitForLoader(std::uint32_t limitMs)
{
    for (std::uint32_t waited = 0;; waited += 200) {
        if (g_Loader.IsIdle())
            return true;
        if (waited >= limitMs)
            return false;
        g_Loader.WaitUntilIdleFor(200);
    }
}

// The table a nation's unit type is produced from; the list of ten ends early at 65535.
bool ProducesUnit(const THouseType& type, std::uint16_t unit)
{
    for (std::uint16_t entry : type.m_Units) {
        if (entry == HOUSE_LIST_END)
            return false;
        if (entry == unit)
            return true;
    }
    return false;
}

void Progress(int value)
{
    GameLoadServices().DrawLoadingBar(value);
}

bool Fail(const char* message)
{
    ReportError(message);
    return false;
}

void SetAdvisorRowsForGame()
{
    for (auto* table : {&g_AdvisorOptions, &g_WarAdvisorOptions}) {
        std::uint8_t saved[ADVISOR_OPTIONS];
        std::memcpy(saved, (*table)[0], ADVISOR_OPTIONS);
        std::memset(*table, 1, sizeof *table);
        std::memcpy((*table)[MyPlayer < ADVISOR_PLAYERS ? MyPlayer : 0], saved, ADVISOR_OPTIONS);
    }
}

} // namespace

void BuildUnitProducer()
{
    for (int n = 0; n < 5; ++n) {
        const int units = std::min<int>(g_NationUnitTypeCount[n], 40);
        for (int u = 0; u < units; ++u) {
            g_UnitProducer[n][u] = UNIT_PRODUCER_NONE;
            for (int t = 0; t < g_NationHouseTypeCount[n] && t < HOUSE_TYPES_PER_SIDE; ++t)
                if (ProducesUnit(HouseType(n, t), static_cast<std::uint16_t>(u))) {
                    g_UnitProducer[n][u] = static_cast<std::uint8_t>(t);
                    break;
                }
        }
    }
}

bool LocalPlayerStart(plat::Point& cell)
{
    const TStrateg* local = MyPlayer < 8 ? g_Strateg[MyPlayer] : nullptr;
    if (local == nullptr)
        return false;
    const THouse* houses = g_pHouse[MyPlayer];
    for (std::uint16_t i = 0; houses != nullptr && i < NumHouse[MyPlayer]; ++i)
        if (houses[i].TypeRecord != nullptr && houses[i].Destroyed == 0) {
            cell = {houses[i].X, houses[i].Y};
            return true;
        }
    for (const TUnit* u = local->FirstUnit; u != nullptr; u = u->m_pNext)
        if (u->Dead == 0) {
            cell = {u->MapX, u->MapY};
            return true;
        }
    return false;
}

void SetPlayersHomePoints()
{
    for (std::uint16_t p = 0; p < g_wNumPlayer && p < 8; ++p) {
        TStrateg* player = g_Strateg[p];
        if (player == nullptr)
            continue;
        const THouse* houses = g_pHouse[p];
        const std::uint16_t count = houses ? NumHouse[p] : 0;
        plat::Point home{kHomeFallbackX, kHomeFallbackY};
        bool found = false;
        for (std::uint16_t i = 0; i < count && !found; ++i)
            if (houses[i].TypeRecord && houses[i].HouseType == HOUSE_WORKER_BUILDING) {
                home = {houses[i].X, houses[i].Y};
                found = true;
            }
        if (!found) {
            double sumX = 0.0, sumY = 0.0;
            int workers = 0;
            ForEachPlayerUnit(static_cast<std::uint8_t>(p), [&](const TUnit& unit) {
                if (unit.Basic && unit.Basic->m_Kind == UNIT_KIND_WORKER) {
                    sumX += unit.X;
                    sumY += unit.Y;
                    ++workers;
                }
            });
            if (workers > 0) {
                GetCellFromPoint(static_cast<float>(sumX / workers), static_cast<float>(sumY / workers), home);
                found = true;
            }
        }
        if (!found && count > 0)
            home = {houses[0].X, houses[0].Y};
        TStrategAI* planner = player->Planner.get();
        if (planner && planner->TargetX == STRATEG_AI_UNSET) {
            planner->HomeX = planner->TargetX = home.x;
            planner->HomeY = planner->TargetY = home.y;
            UpdateAIArmy(planner);
            ComputeShorePoints(static_cast<std::uint8_t>(p));
        }
    }
}

void ApplyPlayerColours(TGameSetup& setup)
{
    const std::uint32_t d3d[PLAYER_COLORS] = {g_PlayerColorsD3D[0], g_PlayerColorsD3D[1], g_PlayerColorsD3D[2],
                                              g_PlayerColorsD3D[3], g_PlayerColorsD3D[4], g_PlayerColorsD3D[5],
                                              g_PlayerColorsD3D[6], g_PlayerColorsD3D[7]};
    std::uint16_t c16[PLAYER_COLORS];
    std::uint32_t gdi[PLAYER_COLORS];
    std::memcpy(c16, g_PlayerColors16, sizeof c16);
    std::memcpy(gdi, g_PlayerColorsGdi, sizeof gdi);
    for (std::uint16_t i = 0; i < g_wNumPlayer && i < PLAYER_COLORS; ++i) {
        std::uint8_t& c = setup.Colour(i);
        if (c > 7)
            c = 0;
        g_PlayerColorsD3D[i] = d3d[c];
        g_PlayerColors16[i] = c16[c];
        g_PlayerColorsGdi[i] = gdi[c];
    }
}

bool LoadGame(const char* path, bool fromSave, TGameSetup* netSetup)
{
    TGameLoadServices& s = GameLoadServices();
    InstallGameLoaderServices();
    MapServices().LoadGameData = LoadGameData;
    // A game's map gets its pass maps when its objects and buildings stand; the map tools load
    // maps without them.
    MapServices().MakeBasicMap = [] { MakeBasicMap(); };
    g_bGameLoaded = 1;
    // 1
    if (s.IsNetGame())
        g_CampaignMode = 0;
    g_bMiniMapShown = 1;
    g_bFogOfWar = 1;
    ClearFogRecord(g_FogRevealPoints);
    {
        std::lock_guard lock(g_InputLock);
        g_ViewX = 3;
        g_ViewY = 3;
    }
    g_GameResult = GAME_RESULT_UNDECIDED;
    DefeatServices().setGameResult = [](std::uint32_t result) { g_GameResult = result; };
    s.ResetInterfaceGameState();
    // 2
    Release(g_pWhite4x4Texture);
    g_pWhite4x4Texture = CreateTexture(4, 4, g_TexFormat4444);
    if (g_pWhite4x4Texture)
        g_pWhite4x4Texture->Fill(0xFFFFFFFFu);
    // 3, 4
    s.ResumeLoaderThread();
    s.InitRandomTable();
    g_FrameCounter = 0;
    const bool netSetUp = g_NetMode != 0;
    // 5
    s.ResetPlayerSlots();
    s.InitSelection();
    s.InitUnitsAndHouses();
    s.InitGroups();
    s.CreateCraters();
    // 6 - 9
    if (!s.LoadObjects())
        return Fail("ObjectsInit() FAILED");
    Progress(2);
    s.LoadInterfaceGraphics();
    s.InitUpgrades();
    if (!s.InitResourceMultipliers())
        return Fail("ResourcesInit() FAILED");
    Progress(5);
    s.ResetDiplomacyMatrix();
    Progress(7);
    if (!s.LoadBasicParametrs())
        return Fail("LoadBasicParametrs() FAILED");
    Progress(65);
    // 10 - 14
    s.LoadGameTextures();
    // Without the list no building or map animation can be drawn; the game does not start so.
    if (!s.LoadAnimationList())
        return Fail("LoadAnimationList() FAILED");
    if (!s.InitPathFinding())
        return Fail("PathInit() FAILED");
    Progress(70);
    if (!s.CreateWater())
        return Fail("Water initialization FAILED");
    if (!s.ShotsInit())
        return Fail("Load_SNARIAD_problems");
    if (!s.CreateTimedSignList())
        return Fail("GasInit() FAILED");
    // 15
    if (fromSave) {
        if (!s.LoadSavedGame(path))
            return Fail("Load game FAILED");
    } else if (g_GameType == GAME_TYPE_RANDOM_MAP) {
        if (!s.LoadRandomMap())
            return Fail("Load Rand map FAILED");
    } else if (!s.LoadMission(path, netSetup)) {
        return Fail("Load mission FAILED");
    }
    // 16, 17
    if (g_bTrench)
        s.TrenchesInit();
    s.ResetGlobalRecordGrid();
    if (!s.MiniMapInit())
        return Fail("MiniMapInit() FAILED");
    if (!s.InitSuperFog())
        return Fail("FogInit() FAILED");
    s.ShipListInit();
    if (!s.MakeShipTable())
        return Fail("ShipInit() FAILED");
    Progress(75);
    // 18 - 20
    BuildUnitProducer();
    s.SetViewPixelLimits();
    if (!fromSave) {
        SetAdvisorRowsForGame();
        s.LoadColors();
        s.ResetNetPlayerList();
        if (netSetUp && netSetup != nullptr) {
            ApplyPlayerColours(*netSetup);
        } else if (g_GameType == GAME_TYPE_RANDOM_MAP) {
            TGameSetup screen;
            for (int i = 0; i < 8; ++i)
                screen.Colour(i) = g_SetupPlayers[i].colour;
            ApplyPlayerColours(screen);
            for (int i = 0; i < 8; ++i)
                g_SetupPlayers[i].colour = screen.Colour(i);
        }
    }
    // 21 - 25
    if (!s.LoadMinimapFrame())
        return Fail("InterfaceGPInit() FAILED");
    s.RenderMapView();
    s.RedrawMiniMap();
    g_bPaused = 0;
    Progress(100);
    SetPlayersHomePoints();
    s.BuildWaterFromMap();
    s.ShowGroupWindow();
    s.LoadDigitsTexture();
    // 26, 27
    if (!s.WaitLoaderIdle(LOADER_IDLE_LIMIT_MS))
        return Fail("LoadGame: the loader thread did not finish its work");
    s.ScrollToOrigin();
    s.RenderFrame();
    return true;
}

bool FreeGame()
{
    TGameLoadServices& s = GameLoadServices();
    ForgetSavedLocalName();
    // 1
    const int local = MyPlayer < ADVISOR_PLAYERS ? MyPlayer : 0;
    std::memmove(g_AdvisorOptions[0], g_AdvisorOptions[local], ADVISOR_OPTIONS);
    std::memmove(g_WarAdvisorOptions[0], g_WarAdvisorOptions[local], ADVISOR_OPTIONS);
    // 2, 3
    s.ReleaseDigitsTexture();
    if (g_bTrench)
        s.TrenchesFree();
    s.FreeShipTables();
    s.ReleaseWhiteTexture();
    {
        // Under the lock the mouse thread's order builders test it, so none runs on freed players.
        std::lock_guard lock(g_InputLock);
        g_bTearingDown = 1;
    }
    g_bPaused = 0;
    s.StopAllSounds();
    // 4, 5
    if (!s.WaitLoaderIdle(LOADER_IDLE_LIMIT_MS))
        ReportError("FreeGame: the loader thread did not finish its work; its queue is dropped");
    s.StopLoader();
    s.SaveGameInfo();
    // 6
    s.FreeCraters();
    s.ShipListFree();
    s.FreeMinimapFrame();
    s.FreeMiniMap();
    s.FreeSpecialPoints();
    s.DestroyTimedSignList();
    s.ShotsFree();
    s.FreeSelection();
    s.DoneUnitsAndHouses();
    // The renderer's list of visible buildings points into the house arrays just freed; a frame
    // drawn before the next game's first rebuild must not read it.
    g_VisibleHouses.clear();
    s.FreeGroups();
    s.ClearPanelIcons();
    s.FreeUpgrades();
    s.FreeObjects();
    s.FreeFogTexture();
    s.DeleteWater();
    // 7, 8
    if (!s.FreeAnimations())
        ReportError("DeleteAnimation failed");
    s.ReleaseGameTextures();
    // 9
    s.FreeHousesAndUnitsMap();
    s.FreeUnitAndHouseTypes();
    s.FreeMapResources();
    s.FreeMessageQueue();
    s.ResetGlobalRecordLists();
    s.FreeTimedEffects();
    s.FreePathBuffers();
    s.FreeInterfaceSlots();
    s.CloseNetwork();
    // 10, 11
    if (!s.WaitLoaderIdle(LOADER_IDLE_LIMIT_MS))
        ReportError("FreeGame: the loader thread did not finish its work");
    {
        std::lock_guard lock(g_InputLock);
        MyPlayer = 0;
        g_bTearingDown = 0;
    }
    g_FrameCounter = 0;
    g_bGameLoaded = 0;
    return true;
}

bool SplitMissionPath(const std::string& path, std::string& campaign, std::string& mission)
{
    const std::size_t last = path.rfind('\\');
    if (last == std::string::npos) {
        ReportError("Miss==NULL");
        return false;
    }
    const std::size_t before = last == 0 ? std::string::npos : path.rfind('\\', last - 1);
    if (before == std::string::npos) {
        ReportError("Camp==NULL");
        return false;
    }
    mission = path.substr(last + 1);
    campaign = path.substr(before + 1, last - before - 1);
    return true;
}

bool ExitToMenu()
{
    TGameLoadServices& s = GameLoadServices();
    s.PlayMusic(0);
    if (g_NetMode != 0 && !s.NetCheckEnoughPlayers())
        s.CloseNetwork();
    if (g_GameResult == GAME_RESULT_WON && !g_MissionPath.empty()) {
        std::string campaign;
        std::string mission;
        if (SplitMissionPath(g_MissionPath, campaign, mission)) {
            g_CampaignName = campaign;
            const std::u16string name = s.LocalPlayerName();
            if (!name.empty())
                s.SaveCampaignProgress(name, mission);
        }
    }
    s.CloseGameWindows();
    s.OpenInterfaceArchive();
    if (g_bEditorMode)
        s.EditorFree();
    else
        FreeGame();
    s.FreeTextRendererEntries();
    if (g_CampaignMode)
        s.LoadCampaignList();
    else
        s.MakeMainMenu();
    return s.ChangeScreenMode(0);
}

TGameLoadServices& GameLoadServices()
{
    static TGameLoadServices services = DefaultGameLoadServices();
    return services;
}

TGameLoadServices DefaultGameLoadServices()
{
    TGameLoadServices s;
    s.IsNetGame = ::IsNetGame;
    s.ResetInterfaceGameState = ::ResetInterfaceGameState;
    s.ResumeLoaderThread = ::ResumeLoaderThread;
    s.InitRandomTable = ::InitRandomTable;
    s.ResetPlayerSlots = ::ResetPlayerSlots;
    s.InitSelection = [] {
        // Centring on a stored group is the game's view, above the selection's floor.
        SelectionServices().centerViewOnUnit = CenterViewOnUnit;
        ::InitSelection();
    };
    s.InitUnitsAndHouses = ::InitUnitsAndHouses;
    s.InitGroups = ::InitGroups;
    s.CreateCraters = ::CreateCraters;
    s.LoadObjects = ::LoadObjects;
    s.LoadInterfaceGraphics = ::LoadInterfaceGraphics;
    s.InitUpgrades = ::InitUpgrades;
    s.InitResourceMultipliers = ::InitResourceMultipliers;
    s.ResetDiplomacyMatrix = ::ResetDiplomacyMatrix;
    s.LoadBasicParametrs = ::LoadBasicParametrs;
    s.LoadGameTextures = [] {
        Release(g_pButtonShadowTexture);
        std::uint32_t size = 0;
        if (std::uint8_t* entry = LoadLesEntry(kInterfaceArchiveSlot, "shadowforbutton.bmp", 0, &size)) {
            g_pButtonShadowTexture = CreateTextureFromBmpMemory({entry, size});
            FreeLesEntry(entry);
        }
        Release(g_pUnitFireTexture);
        g_pUnitFireTexture = LoadTextureFromFile("Data\\Misc\\UnitFire2.bmp");
    };
    s.LoadAnimationList = ::LoadAnimationList;
    s.InitPathFinding = ::InitPathFinding;
    s.CreateWater = [] {
        delete g_pWater;
        g_pWater = new TWaterMap;
        return g_pWater != nullptr;
    };
    s.ShotsInit = ::ShotsInit;
    s.CreateTimedSignList = ::CreateTimedSignList;
    s.LoadSavedGame = [](const char* path) { return ::LoadMap(path, false, nullptr); };
    s.LoadRandomMap = ::LoadRandomMap;
    s.LoadMission = [](const char* path, TGameSetup* setup) { return ::LoadMission(path, g_MissionHeader, setup); };
    s.TrenchesInit = ::TrenchesInit;
    s.ResetGlobalRecordGrid = ::ResetGlobalRecordGrid;
    s.MiniMapInit = ::MiniMapInit;
    s.InitSuperFog = ::InitSuperFog;
    s.ShipListInit = ::ShipListInit;
    s.MakeShipTable = ::MakeShipTable;
    s.SetViewPixelLimits = [] {
        std::lock_guard lock(g_InputLock);
        g_ViewPixelX = (g_ViewColumnScale + 1) * g_ViewX * 48;
        g_ViewPixelY = g_ViewY * 24;
        g_ViewPixelRight = g_ViewPixelX + g_ScreenWidth;
        g_ViewPixelBottom = g_ViewPixelY + g_ScreenHeight;
    };
    s.LoadColors = ::LoadColors;
    s.ResetNetPlayerList = ::ResetNetPlayerList;
    s.LoadMinimapFrame = ::LoadMinimapFrame;
    s.RenderMapView = [] { ::RenderMapView(0); };
    s.RedrawMiniMap = [] { ::RedrawMiniMap(nullptr); };
    s.BuildWaterFromMap = [] {
        if (!g_pWater)
            return;
        if (g_pD3DDevice)
            g_pD3DDevice->BeginScene();
        g_pWater->BuildWaterFromMap(0);
        if (g_pD3DDevice)
            g_pD3DDevice->EndScene();
    };
    s.ShowGroupWindow = ::ShowGroupWindow;
    s.LoadDigitsTexture = [] {
        Release(g_pDigitsTexture);
        g_pDigitsTexture = LoadTextureFromFile("Data\\Misc\\Numbers2.bmp");
    };
    s.WaitLoaderIdle = WaitForLoader;
    s.ScrollToOrigin = [] {
        plat::Point start;
        if (LocalPlayerStart(start))
            CenterViewOnCell(start.x, start.y);
        else
            ::ScrollMap(0, 0);
    };
    s.RenderFrame = ::RenderFrame;
    s.DrawLoadingBar = ::DrawLoadingBar;

    s.ReleaseDigitsTexture = [] { Release(g_pDigitsTexture); };
    s.TrenchesFree = ::TrenchesFree;
    s.FreeShipTables = ::FreeShipTables;
    s.ReleaseWhiteTexture = [] { Release(g_pWhite4x4Texture); };
    s.StopAllSounds = ::StopAllSounds;
    s.StopLoader = ::StopLoader;
    s.SaveGameInfo = ::SaveGameInfo;
    s.FreeCraters = ::FreeCraters;
    s.ShipListFree = ::ShipListFree;
    s.FreeMinimapFrame = ::FreeMinimapFrame;
    s.FreeMiniMap = ::FreeMiniMap;
    s.FreeSpecialPoints = [] { g_SpecialPointCount = 0; };
    s.DestroyTimedSignList = ::DestroyTimedSignList;
    s.ShotsFree = ::ShotsFree;
    s.FreeSelection = ::FreeSelection;
    s.DoneUnitsAndHouses = ::DoneUnitsAndHouses;
    s.FreeGroups = ::FreeGroups;
    s.ClearPanelIcons = ::ClearPanelIcons;
    s.FreeUpgrades = ::FreeUpgrades;
    s.FreeObjects = ::FreeObjects;
    s.FreeFogTexture = [] { ::FreeSuperFog(); };
    s.DeleteWater = [] {
        delete g_pWater;
        g_pWater = nullptr;
    };
    s.FreeAnimations = ::FreeAnimations;
    s.ReleaseGameTextures = [] {
        Release(g_pUnitFireTexture);
        Release(g_pButtonShadowTexture);
    };
    s.FreeHousesAndUnitsMap = ::FreeHousesAndUnitsMap;
    s.FreeUnitAndHouseTypes = ::FreeUnitAndHouseTypes;
    s.FreeMapResources = ::FreeMapResources;
    s.FreeMessageQueue = ::FreeMessageQueue;
    s.ResetGlobalRecordLists = ::ResetGlobalRecordLists;
    s.FreeTimedEffects = ::FreeTimedEffects;
    s.FreePathBuffers = ::FreePathBuffers;
    s.FreeInterfaceSlots = ::FreeInterfaceSlots;
    s.CloseNetwork = ::CloseNetwork;

    s.PlayMusic = [](int track) { ::PlayMusic(static_cast<std::uint8_t>(track)); };
    s.NetCheckEnoughPlayers = [] { return ::NetCheckEnoughPlayers() != 0; };
    s.SaveCampaignProgress = ::SaveCampaignProgress;
    s.LocalPlayerName = [] {
        const TStrateg* local = MyPlayer < 8 ? g_Strateg[MyPlayer] : nullptr;
        return local ? local->Name : std::u16string();
    };
    s.CloseGameWindows = [] {
        CloseInGameMenuWindow();
        CloseShadeWindow();
        CloseAllWindows();
    };
    s.OpenInterfaceArchive = [] {
        CloseLes(kInterfaceArchiveSlot);
        Load_LesHeader(kInterfaceArchiveSlot, kInterfaceArchivePath);
    };
    s.EditorFree = ::EditorFree;
    s.FreeTextRendererEntries = ::FreeTextRendererEntries;
    s.LoadCampaignList = [] { ::LoadCampaignList(0, 0, 0); };
    s.MakeMainMenu = [] {
        std::lock_guard lock(g_InputLock);
        ::MakeMenu(0, &g_MainMenuWindow);
    };
    s.ChangeScreenMode = ::ChangeScreenMode;
    return s;
}

#pragma once
// A game's load and teardown: LoadGame initialises every module in a fixed order and takes the map
// and players from a save, a mission or a random map; FreeGame releases all of it in its own order
// and is safe after a load that stopped part-way; ExitToMenu leaves a game for the menus.
//
// Threads: all of it runs on the main thread. The loader thread may still be loading graphics the
// load asked for; the load and the teardown wait for it to go idle before they go on.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/types.h"

#include "core/game_setup.h"

namespace plat {
class Texture;
}

// The kind of game chosen in the menus; 6 a random map.
constexpr std::uint8_t GAME_TYPE_RANDOM_MAP = 6;
extern std::uint8_t g_GameType;
// The mission being played (8-bit path), kept for a restart and for campaign progress.
extern std::string g_MissionPath;
// Non-zero when the game came from the campaign screen.
extern std::uint8_t g_CampaignMode;
// 3 while undecided, 0 the local player won, 1 lost.
constexpr std::uint32_t GAME_RESULT_WON = 0;
constexpr std::uint32_t GAME_RESULT_UNDECIDED = 3;
extern std::uint32_t g_GameResult;
// The current campaign's name, set when a won mission's progress is saved.
extern std::string g_CampaignName;

// [nation][unit type]: the first building type of the nation that produces the unit type, 255
// when none does.
constexpr std::uint8_t UNIT_PRODUCER_NONE = 255;
extern std::uint8_t g_UnitProducer[5][40];
void BuildUnitProducer();

// The textures a running game owns.
extern plat::Texture* g_pWhite4x4Texture;
extern plat::Texture* g_pButtonShadowTexture;
extern plat::Texture* g_pUnitFireTexture;

// The home cells of the computer players' planners.
void SetPlayersHomePoints();
// Where the view of a loaded game starts: the cell of the local player's first standing building,
// else of its first living unit; false when it has neither.
bool LocalPlayerStart(plat::Point& cell);
// The player colours of a game whose players were chosen: entry c of the loaded tables for each
// player, c from the setup's colour byte (above 7 becomes 0, written back).
void ApplyPlayerColours(TGameSetup& setup);
// The campaign and mission file of a mission path: the text between the last two backslashes and
// the text after the last one. False (logged "Miss==NULL" or "Camp==NULL") when they are missing.
bool SplitMissionPath(const std::string& path, std::string& campaign, std::string& mission);

// Set when a load starts, cleared by FreeGame: a game (perhaps partly loaded) is there to free.
extern std::uint8_t g_bGameLoaded;

bool LoadGame(const char* path, bool fromSave, TGameSetup* netSetup);
bool FreeGame();
bool ExitToMenu();

// The longest wait for the loader thread to go idle before the load gives up (or the teardown goes
// on without it).
constexpr std::uint32_t LOADER_IDLE_LIMIT_MS = 60000;

// Every service of another module that the load, the teardown and the exit call, in their order.
// The default table binds the real modules (least bodies where a module is not built yet); tests
// put recording stand-ins in its place.
struct TGameLoadServices {
    // Load.
    std::function<bool()> IsNetGame;
    std::function<void()> ResetInterfaceGameState;
    std::function<void()> ResumeLoaderThread;
    std::function<void()> InitRandomTable;
    std::function<void()> ResetPlayerSlots;
    std::function<void()> InitSelection;
    std::function<void()> InitUnitsAndHouses;
    std::function<void()> InitGroups;
    std::function<void()> CreateCraters;
    std::function<bool()> LoadObjects;
    std::function<void()> LoadInterfaceGraphics;
    std::function<void()> InitUpgrades;
    std::function<bool()> InitResourceMultipliers;
    std::function<void()> ResetDiplomacyMatrix;
    std::function<bool()> LoadBasicParametrs;
    std::function<void()> LoadGameTextures; // button shadow and unit fire
    std::function<bool()> LoadAnimationList;
    std::function<bool()> InitPathFinding;
    std::function<bool()> CreateWater;
    std::function<bool()> ShotsInit;
    std::function<bool()> CreateTimedSignList;
    std::function<bool(const char* path)> LoadSavedGame;
    std::function<bool()> LoadRandomMap;
    std::function<bool(const char* path, TGameSetup* setup)> LoadMission;
    std::function<void()> TrenchesInit;
    std::function<void()> ResetGlobalRecordGrid;
    std::function<bool()> MiniMapInit;
    std::function<bool()> InitSuperFog;
    std::function<void()> ShipListInit;
    std::function<bool()> MakeShipTable;
    std::function<void()> SetViewPixelLimits;
    std::function<bool()> LoadColors;
    std::function<void()> ResetNetPlayerList;
    std::function<bool()> LoadMinimapFrame;
    std::function<void()> RenderMapView;
    std::function<void()> RedrawMiniMap;
    std::function<void()> BuildWaterFromMap;
    std::function<void()> ShowGroupWindow;
    std::function<void()> LoadDigitsTexture;
    std::function<bool(std::uint32_t timeoutMs)> WaitLoaderIdle; // false when the time ran out
    std::function<void()> ScrollToOrigin;
    std::function<void()> RenderFrame;
    std::function<void(int value)> DrawLoadingBar;

    // Teardown.
    std::function<void()> ReleaseDigitsTexture;
    std::function<void()> TrenchesFree;
    std::function<void()> FreeShipTables;
    std::function<void()> ReleaseWhiteTexture;
    std::function<void()> StopAllSounds;
    std::function<void()> StopLoader;
    std::function<void()> SaveGameInfo;
    std::function<void()> FreeCraters;
    std::function<void()> ShipListFree;
    std::function<void()> FreeMinimapFrame;
    std::function<void()> FreeMiniMap;
    std::function<void()> FreeSpecialPoints;
    std::function<void()> DestroyTimedSignList;
    std::function<void()> ShotsFree;
    std::function<void()> FreeSelection;
    std::function<void()> DoneUnitsAndHouses;
    std::function<void()> FreeGroups;
    std::function<void()> ClearPanelIcons;
    std::function<void()> FreeUpgrades;
    std::function<void()> FreeObjects;
    std::function<void()> FreeFogTexture;
    std::function<void()> DeleteWater;
    std::function<bool()> FreeAnimations;
    std::function<void()> ReleaseGameTextures; // unit fire and button shadow
    std::function<void()> FreeHousesAndUnitsMap;
    std::function<void()> FreeUnitAndHouseTypes;
    std::function<void()> FreeMapResources;
    std::function<void()> FreeMessageQueue;
    std::function<void()> ResetGlobalRecordLists;
    std::function<void()> FreeTimedEffects;
    std::function<void()> FreePathBuffers;
    std::function<void()> FreeInterfaceSlots;
    std::function<void()> CloseNetwork;

    // Exit to the menus.
    std::function<void(int track)> PlayMusic;
    std::function<bool()> NetCheckEnoughPlayers;
    std::function<void(const std::u16string& player, const std::string& mission)> SaveCampaignProgress;
    std::function<std::u16string()> LocalPlayerName;
    std::function<void()> CloseGameWindows; // in-game menu, shade window, every window
    std::function<void()> OpenInterfaceArchive;
    std::function<void()> EditorFree;
    std::function<void()> FreeTextRendererEntries;
    std::function<void()> LoadCampaignList;
    std::function<void()> MakeMainMenu;
    std::function<bool(std::uint8_t mode)> ChangeScreenMode;
};
TGameLoadServices& GameLoadServices();
TGameLoadServices DefaultGameLoadServices();

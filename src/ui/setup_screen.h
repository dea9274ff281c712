#pragma once
// What the game-setup screens and the in-game interface keep for the game's load and end.
#include <cstdint>
#include <string>

#include "core/game_setup.h"

// One player row of the setup screen (104 bytes in save games: the name first, nation at 84,
// colour at 85, team at 86, level at 92).
struct TSetupPlayer {
    char16_t name[42] = {};
    std::uint8_t nation = 0;
    std::uint8_t colour = 0;
    std::uint8_t team = 0;  // 1-based, 0 none
    std::uint8_t level = 0; // 0 closed, 1..3 a computer, 4 the player at this machine
};
extern TSetupPlayer g_SetupPlayers[8];
extern std::uint8_t g_SetupPlayerCount;
// File name of the random map chosen (under Maps\).
extern char g_RandomMapName[256];
// The start resources chosen: 0, 1 or 2.
extern std::uint8_t g_StartResources;
// The game's mode chosen on the setup screen (saved in "GameStat"); mode 3 gives extra oil.
constexpr std::uint32_t GAME_MODE_EXTRA_OIL = 3;
extern std::uint32_t g_GameMode;
// 1 once a random-map game's task screen has been built; allies then share sight.
extern std::uint8_t g_bRandomMapGame;

// The setup screen's preparation of the record before a random map or a network mission loads.
void PrepareMissionPath(TGameSetup& setup);
// Records the mission as completed in the player's campaign progress.
void SaveCampaignProgress(const std::u16string& player, const std::string& mission);
// Opens the campaign list.
void LoadCampaignList(int, int, int);
// Shows the mission briefing in the briefing view.
void ShowBriefingText(const std::u16string& text);

// The in-game interface's share of a game's load and teardown.
void ResetInterfaceGameState();
void LoadInterfaceGraphics();
bool LoadMinimapFrame();
void FreeMinimapFrame();
void ClearPanelIcons();
void FreeMessageQueue();
void FreeInterfaceSlots();
void CloseInGameMenuWindow();
void CloseShadeWindow();
void FreeTextRendererEntries();
// Shows the loading gauge at the value when the gauge window exists.
void DrawLoadingBar(int value);

// Least bodies of interface services that built modules call before their own module exists.
// The module that builds the real service deletes its entry here.
#include "movement/group_orders.h"
#include "ui/menus.h"
#include "ui/window_stack.h"
#include "ui/windows.h"

std::uint8_t g_InputToGame = 0;

bool IsCursorOverInterface()
{
    return false;
}

TContainer* g_MainMenuWindow = nullptr;

void InitWindows() {}
void ReadMenuTxt() {}
void FreeMenuTxt() {}
void MakeMenu(int, TContainer** slot)
{
    if (slot)
        *slot = nullptr;
}
void CloseWindow(TContainer*) {}
bool CloseAllWindows()
{
    return true;
}
void WindowsHandleInput() {}
void DrawAllWindows() {}

#include "ui/panel.h"

// The command panel is not built yet.
void UpdateInterfacePanel(std::uint8_t) {}
// No bottom panel yet: its top lies below every screen, so no point is inside it.
std::uint16_t g_PanelTop = 0xFFFF;
void LayoutBottomPanel() {}


// The setup screens and the in-game interface are not built yet: the setup holds no players, and
// the game's interface has nothing to load, show or free.
#include "ui/setup_screen.h"

TSetupPlayer g_SetupPlayers[8];
std::uint8_t g_SetupPlayerCount = 0;
char g_RandomMapName[256] = {};
std::uint8_t g_StartResources = 1;
std::uint32_t g_GameMode = 0;
std::uint8_t g_bRandomMapGame = 0;

void PrepareMissionPath(TGameSetup&) {}
void SaveCampaignProgress(const std::u16string&, const std::string&) {}
void LoadCampaignList(int, int, int) {}
void ShowBriefingText(const std::u16string&) {}
void ResetInterfaceGameState() {}
void LoadInterfaceGraphics() {}
bool LoadMinimapFrame()
{
    return true;
}
void FreeMinimapFrame() {}
void ClearPanelIcons() {}
void FreeMessageQueue() {}
void FreeInterfaceSlots() {}
void CloseInGameMenuWindow() {}
void CloseShadeWindow() {}
void FreeTextRendererEntries() {}
void DrawLoadingBar(int) {}


// The in-game windows are not built: no window opens, no file is loaded, and messages are dropped.
TContainer* g_InGameMenuWindow = nullptr;
TContainer* g_PanelWindow = nullptr;
TContainer* g_PauseWindow = nullptr;
std::uint8_t g_PendingKey = 0;
std::uint32_t g_PendingKeyCode = 0;
std::uint8_t g_PanelDirty = 0;
std::uint8_t g_PanelHover = 0;
void ShowMissionInfo() {}
void ShowConfirmBox(int, int, const char16_t*, void (*)(TContainer*), void (*)(TContainer*)) {}
void CloseParentWindow(TContainer*) {}
bool LoadGameFile(const char*)
{
    return false;
}
void ShowMessageLine(const char16_t*, std::uint32_t) {}
void QueueText(int, int, const char16_t*, int, std::uint32_t, int) {}
void ReloadInterface(int) {}
void ResetMarketPanel(int, int, int) {}
void LocalOrNetPlayerAction(int, int, int) {}

// No mission goals, market or unit panel exist yet.
#include "ui/player_services.h"

bool MissionTimerDialog(std::uint8_t)
{
    return false;
}
void MarketTick(std::uint8_t) {}

// The market page's rate table and totals come with the page: the rates are its fixed table, no
// totals are kept and nothing is shown.
#include "players/computer_player.h"

float MarketRate(int given, int received)
{
    static const float rates[6][6] = {
        {1.0f, 1.0f / 3, 1.0f / 9, 1.0f / 21, 1.0f / 9, 1.0f / 99},
        {3.0f, 1.0f, 1.0f / 3, 1.0f / 7, 1.0f / 3, 1.0f / 33},
        {7.5f, 2.5f, 1.0f, 0.4f, 0.9f, 0.075f},
        {15.0f, 5.0f, 2.0f, 1.0f, 2.0f, 0.15f},
        {7.5f, 2.5f, 0.9f, 0.4f, 1.0f, 0.075f},
        {90.0f, 30.0f, 12.0f, 6.0f, 12.0f, 1.0f},
    };
    return given >= 0 && given < 6 && received >= 0 && received < 6 ? rates[given][received] : 0.0f;
}
void AddMarketTotals(std::uint8_t, int, float, int, float) {}
void RefreshMarketPage() {}
void ForgetPanelUnit(TUnit*) {}
void ResetPlayerMission(std::uint8_t) {}

// The command panel's buttons, the academies, the market and the diplomacy window are not built
// yet: the commands they send change nothing.
#include "ui/command_handlers.h"

void SelectedUnitsCommandD(std::uint8_t) {}
void SelectedUnitsStop(std::uint8_t) {}
void SelectedUnitsForbidFire(std::uint8_t) {}
void SelectedUnitsAllowFire(std::uint8_t) {}
void SelectedUnitsCommandF(std::uint8_t) {}
void SelectedUnitsFormGroup(std::uint8_t) {}
void SelectedUnitsDisbandGroup(std::uint8_t) {}
void SelectedUnitsUnload(std::uint8_t) {}
void SetSelectedUnitsOption(std::uint8_t, std::int32_t) {}
void SetPlayerOption(std::uint8_t, std::int32_t) {}
void SetHouseOption(std::uint8_t, std::int32_t) {}
void GroupCommandOn(THouse*) {}
void GroupCommandOff(THouse*) {}
void CreateUnitsInHouse(std::uint8_t, std::uint16_t, std::uint16_t, std::uint16_t) {}
void AddUnitsToQueue(std::uint8_t, std::uint16_t, std::uint16_t, std::uint16_t) {}
void HouseCommandA(THouse*, TUnit*) {}
void HouseCommandB(THouse*, TUnit*) {}
void AcademyFinishWarUpgrade(THouse*, const std::uint32_t*) {}
void AcademyFinishScienceUpgrade(THouse*, const std::uint32_t*) {}
void HouseTransferResources(THouse*, const std::uint32_t*) {}
void FinishHouseUpgrade(THouse*) {}
void ToggleHouseFireMode(THouse*) {}
void PlaceStructureAndPay(THouse*) {}
void MarketSell(std::uint8_t, float, float, float, float, float, std::int32_t, float) {}
void MarketExchange(std::uint8_t, std::int32_t, float, float, float, float, float) {}
void SetDiplomacy(std::uint8_t, const std::uint8_t*) {}
// No message windows or screen-text queue exist yet: the texts are not shown.
void DrawCenteredText(const char16_t*, int) {}
void QueueScreenText(int, int, const char16_t*, std::uint32_t, std::uint32_t, int) {}

// The group window and the map's alarm list come with the interface: nothing is shown yet.
void ToggleGroupWindow() {}
void AnnounceGroupUnderAttack(std::int32_t, std::int32_t) {}

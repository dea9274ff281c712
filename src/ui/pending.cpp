// Least bodies of interface services that built modules call before their own module exists.
// The module that builds the real service deletes its entry here.
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

#include "ui/panel.h"

// The command panel is not built yet.
void UpdateInterfacePanel(std::uint8_t) {}

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
void ReloadInterface(int) {}
void ResetMarketPanel(int, int, int) {}
void LocalOrNetPlayerAction(int, int, int) {}

#pragma once
// The window stack and the front-end menus.
class TWindow;

// The front-menu window; null when none is open.
extern TWindow* g_MainMenuWindow;

void InitWindows();
void ReadMenuTxt();
void FreeMenuTxt();
// Builds front-end menu number `menu` (0 = main menu) into *slot.
void MakeMenu(int menu, TWindow** slot);
void CloseWindow(TWindow* window);
// false when a window could not be released.
bool CloseAllWindows();
// The frame's interface input step.
void WindowsHandleInput();

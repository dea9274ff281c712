#pragma once
// The front-end menus.
class TContainer;

// The front menu window; null when no front menu is open. Main thread writes under g_InputLock
// (the mouse thread tests it).
extern TContainer* g_MainMenuWindow;

// The in-game menu, the in-game panel window and the pause window; null while closed. Main thread
// only.
extern TContainer* g_InGameMenuWindow;
extern TContainer* g_PanelWindow;
extern TContainer* g_PauseWindow;

#pragma once
// The front-end menus.
class TContainer;

// The front menu window; null when no front menu is open. Main thread writes under g_InputLock
// (the mouse thread tests it).
extern TContainer* g_MainMenuWindow;

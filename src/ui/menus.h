#pragma once
// The front-end menus.
class TContainer;

// The front menu window; null when no front menu is open.
extern TContainer* g_MainMenuWindow;

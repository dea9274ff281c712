// Least bodies of interface services that built modules call before their own module exists.
// The module that builds the real service deletes its entry here.
#include "ui/menus.h"

TContainer* g_MainMenuWindow = nullptr;

// Least bodies of interface services that built modules call before their own module exists.
// The module that builds the real service deletes its entry here.
#include "ui/menus.h"
#include "ui/message_dialogs.h"
#include "ui/window_stack.h"

std::uint8_t g_InputToGame = 0;

bool IsCursorOverInterface()
{
    return false;
}

TContainer* g_MainMenuWindow = nullptr;

std::uint8_t g_bPaused = 0;

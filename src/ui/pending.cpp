// Least bodies of interface services that built modules call before their own module exists.
// The module that builds the real service deletes its entry here.
#include "ui/windows.h"

TWindow* g_MainMenuWindow = nullptr;

void InitWindows() {}
void ReadMenuTxt() {}
void FreeMenuTxt() {}
void MakeMenu(int, TWindow** slot)
{
    if (slot)
        *slot = nullptr;
}
void CloseWindow(TWindow*) {}
bool CloseAllWindows()
{
    return true;
}
void WindowsHandleInput() {}

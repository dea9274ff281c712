#pragma once
// The window stack and the front-end menus.
#include "ui/menus.h"

void InitWindows();
void ReadMenuTxt();
void FreeMenuTxt();
// Builds front-end menu number `menu` (0 = main menu) into *slot.
void MakeMenu(int menu, TContainer** slot);
void CloseWindow(TContainer* window);
// false when a window could not be released.
bool CloseAllWindows();
// The frame's interface input step.
void WindowsHandleInput();
// Draws every open window onto the back buffer.
void DrawAllWindows();

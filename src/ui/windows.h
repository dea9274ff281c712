#pragma once
// The window stack and the front-end menus.
#include <cstdint>

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


class TContainer;

// The interface's pending key: set by the game's character handler, taken by the window input.
// Main thread only.
extern std::uint8_t g_PendingKey;
extern std::uint32_t g_PendingKeyCode;
// The interface-rebuild and hover flags that every general key clears. Main thread only.
extern std::uint8_t g_PanelDirty;
extern std::uint8_t g_PanelHover;

// Pauses single play and opens the mission-goal window.
void ShowMissionInfo();
// A modal confirmation box at (x, y), centred for (-1, -1); pauses single play.
void ShowConfirmBox(int x, int y, const char16_t* text, void (*yes)(TContainer* button),
                    void (*no)(TContainer* button));
// Closes the window that holds the button.
void CloseParentWindow(TContainer* button);
// Loads a save game or map (quick load).
bool LoadGameFile(const char* path);
// A message line of the text renderer (colour 0x00BBGGRR).
void ShowMessageLine(const char16_t* text, std::uint32_t colour);
// A text shown at a screen point for a number of frames.
void QueueText(int x, int y, const char16_t* text, int frames, std::uint32_t colour, int flag);
// 1: pauses the game, closes every window, reopens the interface archive and opens the group and
// pause windows.
void ReloadInterface(int pause);
void ResetMarketPanel(int, int, int);
void LocalOrNetPlayerAction(int, int, int);

#pragma once
// Drawing the game's frame and changing the display: the screen mode, lost surfaces, and rebuilding
// every display and input device around the films.
#include <cstdint>

// Draws and presents one frame of the game screen.
void RenderFrame();
// Brings back lost surfaces and redraws. Always true.
bool RestoreAllSurfaces();
// Rebuilds the display, 3-D and input devices; presentationMode 1 copies the finished back buffer
// to the screen, any other value flips. false after logging the failing step.
bool RecreateDevices(std::uint8_t presentationMode);
// Switches the display to the menus' mode (0) or the game's; the result of the change.
bool ChangeScreenMode(std::uint8_t mode);

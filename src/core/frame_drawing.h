#pragma once
// Drawing the game's frame and changing the display: the screen mode, lost surfaces, and rebuilding
// every display and input device around the films.
#include <cstdint>

// Rebuilds the display, 3-D and input devices; presentationMode 1 copies the finished back buffer
// to the screen, any other value flips. false after logging the failing step.
bool RecreateDevices(std::uint8_t presentationMode);

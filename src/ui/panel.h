#pragma once
// The local player's command panel.
#include <cstdint>

// Rebuilds the panel for the selection (dropWindowFirst: close the open drop-down first).
void UpdateInterfacePanel(std::uint8_t dropWindowFirst);

// The bottom panel's top edge: main thread writes under g_InputLock (the mouse thread reads it).
extern std::uint16_t g_PanelTop;
// Recomputes the bottom panel's buttons from the screen size and the minimap's edges.
void LayoutBottomPanel();

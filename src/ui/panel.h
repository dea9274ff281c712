#pragma once
// The local player's command panel.
#include <cstdint>

// Rebuilds the panel for the selection (dropWindowFirst: close the open drop-down first).
void UpdateInterfacePanel(std::uint8_t dropWindowFirst);

#pragma once
// The developer's diagnostics drawn over the game frame: the developer panel (players' resources,
// the command queues, the local player, the machine's memory, the network players' state and lines
// to the selected units' targets) and the unit-debug lines (unit counts, the first unit's animation
// state, the units in the cell under the mouse). Their texts are built apart from the drawing so
// that they can be read back.
//
// Threads: main thread only; the command-queue counts are read under g_HeapLock.
#include <string>
#include <vector>

std::vector<std::u16string> DeveloperPanelLines();
std::vector<std::u16string> UnitDebugLines();

// Draws them on the back buffer, left-aligned from a fixed point of the screen.
void DrawDeveloperPanel();
void DrawUnitDebugLines();

#pragma once
// The map editor as the frame driver sees it.
#include <cstdint>

#include "platform/types.h"

// true passes the message on to default processing.
bool EditorHandleMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
void EditorBuildUnitDrawLists();
void EditorFrame();

// The editor's state the water overlay reads: whether the local player's water tool erases, the
// current map point (pixels) and the current tile under the mouse.
bool EditorWaterEraseOn();
plat::Point EditorCurrentMapPoint();
plat::Point EditorCurrentTile();

// The editor's brush outline over the map scene.
void DrawEditorBrush();

// Frees the map editor (interface, animations, graphics) when the game leaves it.
void EditorFree();

// The map's own buildings at the end of the "GameMap" block of a save, in the map file's neutral
// block: u16 n, n house records, u16 m, m unit records.
class TOfStreamMemory;
void SaveEditorHouses(TOfStreamMemory& out);

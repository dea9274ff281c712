#pragma once
// The map editor as the frame driver sees it.
#include <cstdint>

// true passes the message on to default processing.
bool EditorHandleMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
void EditorBuildUnitDrawLists();
void EditorFrame();

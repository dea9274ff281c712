// Least bodies of editor services that built modules call before their own module exists.
// The module that builds the real service deletes its entry here.
#include "editor/editor.h"

bool EditorHandleMessage(std::uint32_t, std::uintptr_t, std::intptr_t)
{
    return true;
}
void EditorBuildUnitDrawLists() {}
void EditorFrame() {}

bool EditorWaterEraseOn()
{
    return false;
}
plat::Point EditorCurrentMapPoint()
{
    return {};
}
plat::Point EditorCurrentTile()
{
    return {};
}

void DrawEditorBrush() {}

void EditorFree() {}

// The editor's writer of the map's own buildings is not built: the block says there are none.
#include "core/memory_stream.h"

void SaveEditorHouses(TOfStreamMemory& out)
{
    out.WriteU16(0);
    out.WriteU16(0);
}

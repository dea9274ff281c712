#pragma once
// Drawing one frame of the game screen and bringing back lost surfaces.

void RenderFrame();
// Always true.
bool RestoreAllSurfaces();

#pragma once
// The static layer of the map: terrain, objects and houses drawn once into the back buffer and
// the Z-buffer and kept, rebuilt in full or by one scroll step.
//
// Threads: main thread only (inside the frame or a loading step).
#include <cstdint>

#include "platform/types.h"

// direction 0: full rebuild; 1..8: one scroll step (1 left, 2 right, 3 up, 4 down, 5 left and up,
// 6 left and down, 7 right and up, 8 right and down); other values do nothing.
void RenderMapView(std::uint8_t direction);

// The developer switch that writes house depths only on a checkerboard (toggling it asks for a
// full redraw).
extern std::uint8_t g_bDepthWriterDebug;
// Set from the command line ("+zbufclear", "+radeon"): the map scene clears the Z-buffer between
// its layers; the display-card workaround of the map scene.
extern std::uint8_t g_bZBufClear;
extern std::uint8_t g_bRadeon;

// How a scroll step keeps the layer: the part of the Z-buffer and of the picture that moves, where
// it goes, and the one or two strips that are drawn anew. False for direction 0 and unknown ones.
struct TLayerShift {
    plat::Rect source;
    std::int32_t x = 0;
    std::int32_t y = 0;
    plat::Rect strips[2];
    int stripCount = 0;
};
bool StaticLayerShift(std::uint8_t direction, std::int32_t width, std::int32_t height, TLayerShift& out);

// Draws the visible houses in software into the locked back buffer and Z-buffer, each pixel with
// its own depth, only inside the rebuild's strips; adds the house animations to g_MapAnimList.
void RenderHouses(std::uint8_t direction);

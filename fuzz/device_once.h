#pragma once
// Display and 3-D device opened once per fuzz run, so loaders can make real surfaces and textures.
#include "devices/d3d_device.h"
#include "devices/display.h"

inline bool OpenDeviceOnce()
{
    static const bool ok = DirectDrawInit(nullptr, 0) && Direct3DInit();
    return ok;
}

// Textures of this size or more are legal but only slow the fuzzer down.
constexpr int kFuzzMaxTextureSide = 1024;

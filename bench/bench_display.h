#pragma once
// One display and 3-D device for every benchmark of the process: starting a second one would
// free the first under the benchmarks that still use it.
#include "devices/d3d_device.h"
#include "devices/display.h"

inline bool BenchDisplay()
{
    static const bool ok = DirectDrawInit(nullptr, 0) && Direct3DInit();
    return ok;
}

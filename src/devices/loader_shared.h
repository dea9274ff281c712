#pragma once
// Device values that the loader thread reads while it makes textures (the texture formats, the
// display's colour shifts). They change only while the loader is idle, and only when they really
// change: re-creating the display or the 3-D device with the same formats writes nothing, so a
// loader at work never sees a half-written or zeroed value.
#include <cstring>
#include <type_traits>

#include "core/loader_thread.h"

template <class T>
void PublishLoaderShared(T& shared, const T& value)
{
    static_assert(std::is_trivially_copyable_v<T>);
    if (std::memcmp(&shared, &value, sizeof(T)) == 0)
        return;
    WaitLoaderIdle();
    shared = value;
}

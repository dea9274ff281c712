// Feeds arbitrary bytes to the readers of animation data: a pack's "Info.txt" hot spot, a bank's
// list, and the saved instance record, which is then played for a few updates.
#include <cstddef>
#include <cstdint>

#include "core/memory_stream.h"
#include "devices/animation.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto n = static_cast<std::int32_t>(size);
    std::int16_t hotX = 0, hotY = 0;
    const std::uint16_t width = size > 0 ? data[0] : 0;
    ReadAnimationHotSpot(data, n, width, 48, hotX, hotY);

    TIfStreamMemory in(data, n);
    TAnimationStruct a;
    if (a.Load(in)) {
        TAnimationSprites set; // no textures: the frame index must still stay inside the set
        set.m_Count = size > 80 ? data[80] : 3;
        set.m_Width = 16;
        set.m_Height = 16;
        a.SetSprites(&set, false);
        for (int i = 0; i < 8; ++i) {
            a.Update();
            const int frame = a.CurrentFrame();
            if (set.m_Count > 0 && (frame < 0 || frame >= set.m_Count))
                __builtin_trap();
        }
        a.SetCoord(a.m_X, a.m_Y);
        a.IsVisible();
        a.IsInRect({-100, -100, 100, 100});
        a.m_pSprites = nullptr;
    }
    return 0;
}

// Feeds arbitrary bytes to the reader of Data\Animation.anf.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "units/anim_slots.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ParseAnimationList({data, size});
    for (const TAnimationSlot& slot : g_Animations)
        if (::strnlen(slot.m_Name, sizeof slot.m_Name) == sizeof slot.m_Name)
            std::abort();
    return 0;
}

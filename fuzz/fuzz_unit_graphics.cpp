// Feeds arbitrary bytes as the archive entry of one work of a unit type: the entry is parsed and
// its frames built into textures (and the stand pose derived), then everything is freed again.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "units/unit_graphics.h"
#include "units/unit_types.h"

namespace {

const std::uint8_t* g_Data = nullptr;
std::size_t g_Size = 0;

TBasicUnit& FuzzType()
{
    static TBasicUnit* type = [] {
        TUnitGraphicServices services = TUnitGraphicServices::Default();
        services.request = [](TBasicUnit*, std::uint32_t) {};
        services.waitLoaderIdle = [] {};
        services.readEntry = [](std::uint32_t, std::uint16_t, std::uint32_t* size) -> std::uint8_t* {
            auto* copy = new std::uint8_t[g_Size > 0 ? g_Size : 1];
            if (g_Size > 0)
                std::memcpy(copy, g_Data, g_Size);
            *size = static_cast<std::uint32_t>(g_Size);
            return copy;
        };
        SetUnitGraphicServices(services);
        auto* t = new TBasicUnit;
        t->m_Kind = 2;
        t->m_pGraphic = new CUnitGraphic;
        t->m_pGraphic->m_ArchiveSlot = 1;
        return t;
    }();
    return *type;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TBasicUnit& type = FuzzType();
    g_Data = data;
    g_Size = size;
    // The first byte picks the work and the type's flags, so the aircraft and kind 4 paths run too.
    const std::uint8_t pick = size > 0 ? data[size - 1] : 0;
    type.m_bAir = pick & 0x80 ? 1 : 0;
    type.m_Kind = pick & 0x40 ? 4 : 2;
    LoadUnitPhases(&type, pick % UNIT_COUNT_WORK);
    type.m_pGraphic->FreeAll();
    return 0;
}

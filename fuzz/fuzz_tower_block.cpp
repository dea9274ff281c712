// Feeds arbitrary bytes as a saved gun-tower block, read over a tower of a unit whose type has one
// turning part with two barrels; the angles must come back inside one turn.
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "combat/tower.h"
#include "core/memory_stream.h"
#include "units/unit.h"
#include "units/unit_types.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static TBasicUnit* type = [] {
        auto* t = new TBasicUnit;
        t->m_PartCount = 1;
        t->m_Parts = new TPartRecord[1];
        t->m_Parts[0].mode = 1;
        t->m_Parts[0].barrelCount = 2;
        g_UnitTypes[UNIT_TYPE_TRANSPORT_SHIP] = t;
        return t;
    }();
    (void)type;
    TUnit unit(UNIT_TYPE_TRANSPORT_SHIP, 0);
    TIfStreamMemory in(data, static_cast<std::int32_t>(size));
    CTower tower;
    if (tower.Load(in, &unit)) {
        if (!(tower.m_Angle >= 0.0f && tower.m_Angle < 6.2831855f) || !(tower.m_WantedAngle >= 0.0f && tower.m_WantedAngle < 6.2831855f))
            __builtin_trap();
        if (tower.PlayerHouseAttack != 255 && tower.m_pTargetHouse == nullptr)
            __builtin_trap();
        TOfStreamMemory out;
        tower.Save(out);
    }
    return 0;
}

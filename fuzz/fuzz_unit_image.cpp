// Feeds arbitrary bytes as the stored image of a unit: it is read over a fresh transport-ship unit
// (the type with the largest owned arrays), written back, and the owned arrays are checked.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "units/unit.h"
#include "units/unit_types.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static TBasicUnit* type = [] {
        auto* t = new TBasicUnit;
        g_UnitTypes[UNIT_TYPE_TRANSPORT_SHIP] = t;
        return t;
    }();
    (void)type;
    std::array<std::uint8_t, UNIT_RECORD_SIZE> image{};
    std::memcpy(image.data(), data, size < image.size() ? size : image.size());
    TUnit unit(UNIT_TYPE_TRANSPORT_SHIP, 0);
    TUnit** passengers = unit.m_pPassengers;
    TUnitLinks links;
    if (!ReadUnitImage(image, &unit, links))
        __builtin_trap();
    if (unit.m_pPassengers != passengers || unit.m_PassengerCount > unit.PassengerCapacity() || unit.Towers != nullptr ||
        unit.TowerCount != 0 || unit.Type != UNIT_TYPE_TRANSPORT_SHIP)
        __builtin_trap();
    std::array<std::uint8_t, UNIT_RECORD_SIZE> again{};
    WriteUnitImage(unit, again);
    return 0;
}

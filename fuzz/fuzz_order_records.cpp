// Feeds arbitrary bytes as received order messages and as saved command records: each message is
// turned into a record and every record is resolved against two players with a few units and
// houses, then written back; the bytes must survive the round trip and no reference may point
// outside what exists.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "players/command.h"
#include "players/strateg.h"
#include "units/house.h"
#include "units/unit.h"

namespace {

struct World {
    World()
    {
        for (int p = 0; p < 2; ++p) {
            g_Strateg[p] = new TStrateg;
            g_Strateg[p]->Number = static_cast<std::uint8_t>(p);
            g_pHouse[p] = NewHouseArray(HOUSE_PLAYER_CAPACITY);
            NumHouse[p] = 2;
            for (auto& u : units[p]) {
                u.Player = static_cast<std::uint8_t>(p);
                g_Strateg[p]->AddUnit(&u);
            }
        }
        g_wNumPlayer = 2;
        units[1][1].Dead = 1;
        g_Strateg[0]->RemoveUnit(2);
    }
    TUnit units[2][3] = {{TUnit(0, 0), TUnit(0, 0), TUnit(0, 0)}, {TUnit(0, 0), TUnit(0, 0), TUnit(0, 0)}};
};

void CheckResolved(const THeapItem& item)
{
    for (const TUnit* u : {item.unit, item.secondUnit})
        if (u != nullptr && (u->Dead != 0 || u->Player >= 2))
            __builtin_trap();
    if (item.house != nullptr && (item.housePlayer >= 2 || item.houseIndex >= NumHouse[item.housePlayer]))
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static World* world = new World;
    (void)world;
    const std::span<const std::uint8_t> bytes(data, size);
    for (std::size_t at = 0; at + NET_DATA_WIRE_SIZE <= size; at += NET_DATA_WIRE_SIZE) {
        TNetData message;
        if (!ReadNetData(bytes.subspan(at), message))
            __builtin_trap();
        std::array<std::uint8_t, NET_DATA_WIRE_SIZE> again{};
        WriteNetData(message, again);
        if (!std::equal(again.begin(), again.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at)))
            __builtin_trap();
        THeapItem* item = NetDataToHeapItem(message);
        ResolveHeapItemRefs(*item);
        CheckResolved(*item);
        FreeHeapItem(item);
    }
    THeapItem record;
    if (ReadHeapItem(bytes, record) != (size >= HEAP_ITEM_SIZE))
        __builtin_trap();
    ResolveHeapItemRefs(record);
    CheckResolved(record);
    std::array<std::uint8_t, HEAP_ITEM_SIZE> stored{};
    WriteHeapItem(record, stored);
    return 0;
}

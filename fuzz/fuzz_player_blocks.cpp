// Feeds arbitrary bytes to the players' save readers: a player's state block, then on the same
// stream its units block, group manager with its groups and pending group orders, the link pass and
// the units' link entries; and, apart, one group's block. What is accepted must hold a difficulty of
// 0..3 and a player record in the slot.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/memory_stream.h"
#include "movement/group.h"
#include "movement/passability.h"
#include "players/group_manager.h"
#include "players/player_saves.h"
#include "players/strateg.h"
#include "units/house.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto n = static_cast<std::int32_t>(size);
    {
        g_wNumPlayer = 1;
        TIfStreamMemory in(data, n);
        if (LoadStrategAI(0, in)) {
            TStrateg* p = g_Strateg[0];
            if (p == nullptr || !p->GroupManager)
                std::abort();
            if (LoadStrateg(0, in) && p->GroupManager->Load(in)) {
                if (p->GroupManager->HardLevel > 3)
                    std::abort();
                p->LoadSpecialHeap(in);
            }
            RelinkLoadedPlayers();
            ReadUnitLinkEntries(0, in, [](std::uint8_t, std::uint16_t) -> TUnit* { return nullptr; });
        }
        ForgetLoadedUnitLinks();
        FreeGroups();
        ClearGlobalHeap();
        FreePlayerHouses(0);
    }
    {
        g_wNumPlayer = 1;
        g_Strateg[0] = new TStrateg;
        TGroup group(0);
        TIfStreamMemory in(data, n);
        if (LoadGroup(group, in) && group.SlotCount > group.Capacity)
            std::abort();
        ClearGlobalHeap();
    }
    return 0;
}

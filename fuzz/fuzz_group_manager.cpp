// Feeds arbitrary bytes to the group manager's readers: its save block and its extra block. What
// is accepted must hold a difficulty of 0..3, a war template of 0..5 and a planned delay of 0..9.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/memory_stream.h"
#include "movement/group.h"
#include "movement/passability.h"
#include "players/group_manager.h"
#include "players/strateg.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto n = static_cast<std::int32_t>(size);
    {
        TGroupManager m(0, 0);
        TIfStreamMemory in(data, n);
        if (m.Load(in) && (m.HardLevel > 3 || m.WarTemplate > 5))
            std::abort();
        FreeGroups();
    }
    {
        TGroupManager m(0, 0);
        TIfStreamMemory in(data, n);
        if (m.LoadExtra(in) && (m.PlannedDelay > 9 || m.AttackPlanned > 1))
            std::abort();
    }
    return 0;
}

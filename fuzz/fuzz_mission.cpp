// Feeds arbitrary bytes to the mission file's reader. An accepted file must hold its header, its
// player block and every condition record it counts; the texts the reader gives back are always
// terminated inside their fields.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "game/mission.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TMissionFile file;
    if (!ParseMissionFile(std::span<const std::uint8_t>(data, size), file, "fuzz.mis"))
        return 0;
    std::size_t records = 0;
    for (int i = 0; i < 8; ++i) {
        if (file.conditions[i].size() != std::size_t{file.players.conditionCount[i]} * MISSION_CONDITION_RECORD_SIZE)
            std::abort();
        records += file.conditions[i].size();
    }
    if (size < MISSION_CONDITIONS_OFFSET + records)
        std::abort();
    if (file.header.Title().size() >= MISSION_TITLE_CHARS || file.header.Briefing().size() >= MISSION_BRIEFING_CHARS
        || file.header.MapName().size() >= MISSION_MAP_NAME_SIZE)
        std::abort();
    return 0;
}

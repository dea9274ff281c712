#include "missions.h"

#include <algorithm>
#include <cstring>

#include "players/economy.h"
#include "put_bytes.h"
#include "sample_data.h"

namespace sampledata {

namespace {

void PutWide(std::vector<std::uint8_t>& out, std::size_t offset, const std::u16string& text, std::size_t chars)
{
    for (std::size_t c = 0; c + 1 < chars && c < text.size(); ++c) {
        out[offset + 2 * c] = static_cast<std::uint8_t>(text[c] & 0xFF);
        out[offset + 2 * c + 1] = static_cast<std::uint8_t>(text[c] >> 8);
    }
}

void PutF32At(std::vector<std::uint8_t>& out, std::size_t offset, float v)
{
    std::uint32_t bits = 0;
    std::memcpy(&bits, &v, 4);
    for (int i = 0; i < 4; ++i)
        out[offset + i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

struct SampleMission {
    const char* path;
    const char16_t* title;
    const char16_t* briefing;
    const char* map;
    int players;
    int conditionsOfFirst;
    float resources; // every slot of every player
};

const SampleMission kMissions[] = {
    {"Data\\Campaigns\\Sample\\Test.mis", u"Crossing at the mill",
     u"Hold the crossing and build up the village before the enemy arrives.", "Test.dat", 2, 0, 8000.0f},
    {"Data\\Campaigns\\Sample\\Hills.mis", u"The hill country",
     u"Take the heights. The enemy has dug in along the ridge.", "Hills.dat", 2, 1, 8000.0f},
    {"Data\\Campaigns\\Sample\\Coast.mis", u"Eight flags on the coast",
     u"Eight powers meet on the coast. Secure the harbours.", "Coast.dat", 8, 2, 8000.0f},
    {"Data\\Campaigns\\multiplay\\Hills.mis", u"Hills (two players)", u"Network game on the hill map.",
     "Hills.dat", 2, 0, 10000.0f},
    {"Data\\Campaigns\\multiplay\\Coast.mis", u"Coast (eight players)", u"Network game on the coast map.",
     "Coast.dat", 8, 0, 10000.0f},
};

// Food and gold are the bulk goods: every soldier and worker eats food and is paid in gold, and the
// first research at the academy asks for twice its price in hand, so a player starts with a
// granary and a treasury that carry it through its first research while its farms, gatherers and
// gold mine get going.
constexpr float kStartFood = 40000.0f;
constexpr float kStartGold = 20000.0f;

MissionRecord MakeMission(const SampleMission& m)
{
    MissionRecord mission;
    mission.title = m.title;
    mission.briefing = m.briefing;
    mission.mapName = m.map;
    for (int i = 0; i < 8; ++i) {
        mission.players.warTemplate[i] = static_cast<std::uint8_t>(i == 0 ? 0 : 2 + i % 3);
        mission.players.team[i] = 255;
        for (int k = 0; k < 5; ++k)
            mission.players.resources[k][i] =
                i >= m.players           ? 0.0f
                : k == RESOURCE_FOOD ? kStartFood
                : k == RESOURCE_GOLD ? kStartGold
                                     : m.resources * (1.0f + 0.25f * k);
    }
    for (int c = 0; c < m.conditionsOfFirst; ++c)
        mission.conditions[0].push_back(SampleConditionRecord(static_cast<std::uint8_t>(1 + c)));
    return mission;
}

} // namespace

std::vector<std::uint8_t> SampleConditionRecord(std::uint8_t stage)
{
    std::vector<std::uint8_t> record(MISSION_CONDITION_RECORD_SIZE, 0);
    record[0] = 1; // done: the loader clears it
    record[1] = stage;
    for (int i = 0; i < 4; ++i)
        record[MISSION_CONDITION_COUNTER_OFFSET + i] = 0x5A; // a running counter, cleared too
    return record;
}

std::vector<std::uint8_t> BuildMissionFile(const MissionRecord& mission)
{
    std::vector<std::uint8_t> out(MISSION_CONDITIONS_OFFSET, 0);
    PutWide(out, MISSION_TITLE_OFFSET, mission.title, MISSION_TITLE_CHARS);
    PutWide(out, MISSION_BRIEFING_OFFSET, mission.briefing, MISSION_BRIEFING_CHARS);
    std::memcpy(out.data() + MISSION_MAP_NAME_OFFSET, mission.mapName.data(),
                std::min(mission.mapName.size(), MISSION_MAP_NAME_SIZE - 1));
    const std::size_t block = MISSION_HEADER_SIZE;
    for (int i = 0; i < 8; ++i) {
        const auto count = static_cast<std::uint16_t>(mission.conditions[i].size());
        out[block + MISSION_BLOCK_CONDITION_COUNTS + 2 * i] = static_cast<std::uint8_t>(count);
        out[block + MISSION_BLOCK_CONDITION_COUNTS + 2 * i + 1] = static_cast<std::uint8_t>(count >> 8);
        out[block + MISSION_BLOCK_WAR_TEMPLATES + i] = mission.players.warTemplate[i];
        for (int a = 0; a < 5; ++a)
            PutF32At(out, block + MISSION_BLOCK_RESOURCES + 32 * a + 4 * i,
                     mission.players.resources[MISSION_RESOURCE_SLOTS[a]][i]);
        out[block + MISSION_BLOCK_TEAMS + i] = mission.players.team[i];
    }
    for (const auto& records : mission.conditions)
        for (const auto& record : records) {
            std::vector<std::uint8_t> r = record;
            r.resize(MISSION_CONDITION_RECORD_SIZE, 0);
            out.insert(out.end(), r.begin(), r.end());
        }
    return out;
}

std::vector<std::string> SampleMissionPaths()
{
    std::vector<std::string> paths;
    for (const SampleMission& m : kMissions)
        paths.push_back(m.path);
    return paths;
}

bool WriteMissions(const std::string& outDir)
{
    for (const SampleMission& m : kMissions) {
        const std::vector<std::uint8_t> file = BuildMissionFile(MakeMission(m));
        if (!WriteFileBytes(outDir, m.path, file.data(), file.size()))
            return false;
    }
    return true;
}

} // namespace sampledata

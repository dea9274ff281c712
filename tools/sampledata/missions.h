#pragma once
// Mission files (.mis): the writer of the format and the sample campaign and network missions.
#include <cstdint>
#include <string>
#include <vector>

#include "game/mission.h"

namespace sampledata {

struct MissionRecord {
    std::u16string title;
    std::u16string briefing;
    std::string mapName; // under Maps\ (as the map loader takes it)
    TMissionPlayerBlock players;
    // Per player, its condition records (each MISSION_CONDITION_RECORD_SIZE bytes); the counts of
    // the player block are taken from here.
    std::vector<std::vector<std::uint8_t>> conditions[8];
};

// The whole file. Texts longer than their fields are cut; the fields the game does not read are
// zeros.
std::vector<std::uint8_t> BuildMissionFile(const MissionRecord& mission);
// A condition record with its done flag and running counter set, as a played mission leaves them.
std::vector<std::uint8_t> SampleConditionRecord(std::uint8_t stage);

// The sample missions: one per sample map in the campaign "Data\Campaigns\Sample\", and the
// network missions of "Data\Campaigns\multiplay\".
std::vector<std::string> SampleMissionPaths();
bool WriteMissions(const std::string& outDir);

} // namespace sampledata

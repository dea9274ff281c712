#pragma once
// The target searches: of units through the target grid, of ships through the ship list, and of
// aircraft of kind 11, tanks' machine guns and defensive buildings through the map's per-cell unit
// lists. Each keeps the few nearest hostile candidates and picks one by the shared random table.
//
// Threads: main thread only (the game cycle).
#include <cstddef>
#include <cstdint>
#include <vector>

class THouse;
class TUnit;

// Looks for a target for the unit and takes it; false when it found none.
bool UnitSearchTarget(TUnit* unit);
bool ShipSearchTarget(TUnit* ship);
bool AirKind11SearchTarget(TUnit* unit);
// Chooses a tank's GunTarget (cleared when nothing is near); returns the candidates found.
std::uint32_t UnitScanAround(TUnit* unit);

// The k nearest candidates found so far, in the order the search keeps them: while there is room
// a candidate closer than the limit is appended; once full, it takes the first place whose entry
// is farther, the rest move down, the last drops out and the limit becomes the last one's distance.
class TCandidateList {
public:
    TCandidateList(std::size_t capacity, float limit) : m_Capacity(capacity), m_Limit(limit) {}
    void Offer(TUnit* unit, float distance);
    // The list becomes this one unit.
    void Only(TUnit* unit, float distance);
    float Limit() const { return m_Limit; }
    std::size_t Count() const { return m_Units.size(); }
    bool Empty() const { return m_Units.empty(); }
    TUnit* At(std::size_t i) const { return m_Units[i]; }
    const std::vector<TUnit*>& Units() const { return m_Units; }

private:
    std::size_t m_Capacity;
    float m_Limit;
    std::vector<TUnit*> m_Units;
    std::vector<float> m_Distances;
};

// How many candidates the main search keeps for a total population.
std::size_t SearchListSize(std::uint32_t population);

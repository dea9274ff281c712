#pragma once
// The coarse index every target search reads: the units and the standing buildings filed in
// cells of 480 x 240 pixels, so that a unit's range covers few cells. The unit grid is refilled
// every 33 cycles, so a unit that moved since is found in its old cell; the building grid gets
// every standing building each cycle and is emptied every 62.
//
// Threads: main thread only (the game cycle).
#include <cstdint>
#include <vector>

class THouse;
class TUnit;

class TTargetGrid {
public:
    TTargetGrid() = default;
    virtual ~TTargetGrid() = default;
    TTargetGrid(const TTargetGrid&) = delete;
    TTargetGrid& operator=(const TTargetGrid&) = delete;

    // Sizes the grids for the current map (columns x rows + 200 empty cells each).
    void Reset();
    void ClearUnits();
    void ClearHouses();
    void ClearBoth();
    // The cell of a pixel point, or -1 outside the grid.
    std::int64_t CellOf(float x, float y) const;
    // Cells in a row and rows.
    std::int32_t Columns() const { return m_Columns; }
    std::int32_t Rows() const { return m_Rows; }
    void AddUnit(TUnit* unit);
    void AddHouse(THouse* house);
    // Takes every entry of a unit out: a deleted unit must not be found in the cycles its entry
    // would otherwise live.
    void RemoveUnit(const TUnit* unit);
    // Appends an entry to a cell as filed before (a loaded game's grid); false outside the grid.
    bool PutUnit(std::size_t cell, TUnit* unit);
    bool PutHouse(std::size_t cell, THouse* house);
    const std::vector<TUnit*>& UnitsAt(std::size_t cell) const { return m_Units[cell]; }
    const std::vector<THouse*>& HousesAt(std::size_t cell) const { return m_Houses[cell]; }
    std::size_t CellCount() const { return m_Units.size(); }

    static constexpr std::int32_t kCellWidth = 480;
    static constexpr std::int32_t kCellHeight = 240;
    static constexpr float kInverseWidth = 1.0f / 480.0f;
    static constexpr float kInverseHeight = 1.0f / 240.0f;

private:
    std::int32_t m_Columns = 0;
    std::int32_t m_Rows = 0;
    std::vector<std::vector<TUnit*>> m_Units;
    std::vector<std::vector<THouse*>> m_Houses;
};

extern TTargetGrid g_TargetGrid;
// Relations of the eight players as the game started: 1 on the diagonal, 0 elsewhere.
extern std::uint8_t g_DiplomacyMatrix[8][8];

// The live units of every player still in the game.
std::uint32_t CountAllUnits();
// Files a unit (its point inside the map) or a building in its cell of the grid.
void AddUnitToTargetGrid(TUnit* unit);
void AddHouseToTargetGrid(THouse* house);
// Sizes and empties both grids for the map just loaded.
void ResetTargetGrid();

class TOfStreamMemory;
class TIfStreamMemory;
// The grid's entries as a save holds them: the cell, the owner's slot (8: the neutral ones) and
// the unit's place in its owner's list or the building's index in its owner's array. The unit
// grid keeps where each unit stood at the last refill, so it cannot be filed again from the units.
struct TTargetGridEntry {
    std::uint32_t cell = 0;
    std::uint8_t slot = 0;
    std::uint32_t index = 0;
};
struct TTargetGridImage {
    std::vector<TTargetGridEntry> units;
    std::vector<TTargetGridEntry> houses;
};
void SaveTargetGrid(TOfStreamMemory& out);
// False (logged) when the entries are cut short or their counts run past the data.
bool ReadTargetGrid(TIfStreamMemory& in, TTargetGridImage& image);
// Files the entries again once the units and buildings are in; an entry naming nothing is
// reported and left out (false).
bool RestoreTargetGrid(const TTargetGridImage& image);
// Without a saved grid: every unit and standing building filed where it stands now.
void RefillTargetGrid();

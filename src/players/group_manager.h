#pragma once
// A player's group manager: the player's unit groups (their store is movement/group.h's per-player
// list, which this manager fills through CreateGroup and empties through Update) and, for a
// computer player or a human with the war assistant on, the army: when to attack, whom, with which
// units, and the guard buildings of economic buildings that stand without cover.
//
// Threads: main thread only, inside the player's turn; every choice draws from the shared table.
#include <cstdint>
#include <vector>

class TGroup;
class THouse;
class TUnit;
class TOfStreamMemory;
class TIfStreamMemory;

constexpr std::uint8_t GROUP_MANAGER_MAX_HARD_LEVEL = 3;
// The army's targets and modes.
constexpr std::uint8_t ARMY_MODE_DEFENCE = 0;
constexpr std::uint8_t ARMY_MODE_LAND = 1;
constexpr std::uint8_t ARMY_MODE_AIR = 2;
constexpr std::uint8_t ARMY_MODE_NAVAL = 3;
// At most this many units go into one attack group.
constexpr std::uint16_t ARMY_GROUP_LIMIT = 125;

// The army delays of the last ArmyThink (calls between acts).
extern std::uint16_t g_ArmyShortDelay;
extern std::uint16_t g_ArmyLongDelay;
// The delays for a difficulty.
std::uint16_t ArmyShortDelay(std::uint8_t hardLevel);
std::uint16_t ArmyLongDelay(std::uint8_t hardLevel);


class TGroupManager {
public:
    explicit TGroupManager(std::uint8_t player = 0, std::uint8_t nation = 0);
    virtual ~TGroupManager();
    TGroupManager(const TGroupManager&) = delete;
    TGroupManager& operator=(const TGroupManager&) = delete;

    virtual void Update();
    virtual void FormAttackGroup(TUnit* const* units, std::uint16_t count, std::int32_t x, std::int32_t y);
    virtual void Save(TOfStreamMemory& out) const;
    virtual bool Load(TIfStreamMemory& in);
    virtual void SaveExtra(TOfStreamMemory& out) const;
    virtual bool LoadExtra(TIfStreamMemory& in);

    // True when the army acted (the counter reached its delay).
    bool ArmyThink();
    TGroup* CreateGroup();
    TGroup* FindGroupById(std::uint32_t id) const;
    std::uint8_t ChooseEnemy();
    bool AttackNearestUnit(TGroup* group, std::uint8_t enemy, std::int32_t x, std::int32_t y);
    void GarrisonBuildings();
    bool IsHouseUnprotected(const THouse* house) const;
    void GuardHouse(THouse* house);
    void OnHouseAttacked(THouse* house);
    // The attackers of a mode; each unit at most once.
    void PickLandArmy(std::vector<TUnit*>& out);
    void PickAircraft(std::vector<TUnit*>& out);
    void PickWarships(std::vector<TUnit*>& out);
    // The target point (pixels) against an enemy; false when there is none in the building area.
    bool TargetPoint(std::uint8_t enemy, std::int32_t& x, std::int32_t& y) const;
    const std::vector<TGroup*>& Groups() const;

    std::uint8_t Player = 0;
    std::uint8_t Nation = 0;
    std::uint8_t WarTemplate = 1;
    std::uint8_t HardLevel = 2;
    std::uint32_t ArmyCounter = 0;
    std::uint32_t NextGroupId = 0;
    std::uint8_t AttackPlanned = 0;
    std::uint32_t PlannedDelay = 0;

private:
    void RetreatBrokenGroups();
    // A group whose order is done and whose members stand idle.
    bool GroupIdle(const TGroup* g) const;
    // A group with an attack order whose march is done short of its target, none of it fighting.
    bool GroupStalled(const TGroup* g) const;
    // Idle groups attack on (the enemy's building nearest to them) or, too small, are dissolved.
    void ReorderIdleGroups();
    bool AtPeace(std::uint8_t other) const;
};

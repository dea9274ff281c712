#include "players/sim_checksum.h"

#include <cstdio>
#include <mutex>

#include "combat/unit_orders.h"
#include "combat/explosions.h"
#include "combat/tower.h"
#include "combat/shots.h"
#include "combat/workers.h"
#include "combat/timed_effects.h"
#include "combat/timed_signs.h"
#include "combat/target_grid.h"
#include "core/app_state.h"
#include "core/random_table.h"
#include "devices/mouse.h"
#include "map/map_grid.h"
#include "movement/group.h"
#include "movement/path_cache.h"
#include "movement/path_search.h"
#include "net/net_events.h"
#include "players/command.h"
#include "players/game_cycle.h"
#include "players/map_mouse.h"
#include "players/selection.h"
#include "players/strateg.h"
#include "units/house.h"
#include "units/house_behaviour.h"
#include "units/unit.h"
#include "units/unit_lists.h"
#include "units/upgrades.h"

namespace {

// Bytes of the stored unit image that drawing writes: the screen rectangle and on-screen flag.
constexpr std::size_t kUnitDrawFirst = 8;
constexpr std::size_t kUnitDrawEnd = 25;
// The ship parts a ship holds (three arrays of 8 flags): they follow which pictures the loader has
// finished on this machine, so they stay out like the drawing bytes.
constexpr std::size_t kShipPartsFirst = 289;
constexpr std::size_t kShipPartsEnd = 313;

void HashUnit(TSimHash& h, const TUnit& u)
{
    std::uint8_t image[UNIT_RECORD_SIZE];
    WriteUnitImage(u, std::span<std::uint8_t, UNIT_RECORD_SIZE>(image));
    std::fill(image + kUnitDrawFirst, image + kUnitDrawEnd, std::uint8_t{0});
    std::fill(image + kShipPartsFirst, image + kShipPartsEnd, std::uint8_t{0});
    h.Bytes(image);
    if (u.Path != nullptr)
        h.Bytes({u.Path, u.PathLength});
    // The towers' turning, targets and reload; their firing flags follow the view and stay out.
    for (std::uint8_t i = 0; u.Towers != nullptr && i < u.TowerCount; ++i) {
        const CTower& t = u.Towers[i];
        h.Value(t.m_Angle);
        h.Value(t.m_WantedAngle);
        h.Value(t.m_TargetPlayer);
        h.Value(t.m_TargetIndex);
        h.Value(t.PlayerHouseAttack);
        h.Value(t.m_TargetHouseIndex);
        h.Value(t.m_Reload);
        h.Value(t.m_Value);
    }
}

void HashUnitList(TSimHash& h, const TUnit* first)
{
    std::uint32_t count = 0;
    for (const TUnit* u = first; u != nullptr; u = u->m_pNext, ++count)
        HashUnit(h, *u);
    h.Value(count);
}

void HashHouses(TSimHash& h, const THouse* houses, std::uint16_t count)
{
    h.Value(count);
    std::uint8_t record[HOUSE_RECORD_SIZE];
    for (std::uint16_t i = 0; i < count && houses != nullptr; ++i) {
        WriteHouseRecord(houses[i], record);
        h.Bytes(record);
    }
}

void HashQueue(TSimHash& h, const THeapItem* item)
{
    std::uint8_t bytes[HEAP_ITEM_SIZE];
    std::uint32_t count = 0;
    for (; item != nullptr; item = item->next, ++count) {
        WriteHeapItem(*item, std::span<std::uint8_t, HEAP_ITEM_SIZE>(bytes));
        h.Bytes(bytes);
    }
    h.Value(count);
}

void HashPlayer(TSimHash& h, const TStrateg& p)
{
    h.Value(p.Number);
    h.Value(p.Kind);
    h.Value(p.Dead);
    h.Value(p.OutOfGame);
    h.Value(p.NotPlaying);
    h.Value(p.Nation);
    h.Value(p.SetupByte);
    h.Value(p.WarTemplate);
    h.Value(p.Team);
    h.Bytes(p.Relations);
    for (const TResourcePair& pair : p.Res) {
        h.Value(pair.recorded);
        h.Value(pair.spendable);
    }
    h.Value(p.StatIndex);
    for (const auto& ring : p.History)
        for (double v : ring)
            h.Value(v);
    h.Value(p.LiveUnits);
    h.Value(p.UnitsLost);
    h.Value(p.UnitsKilled);
    h.Value(p.PopulationCap);
    h.Value(p.MissionStage);
    h.Value(p.ConditionCount);
    h.Bytes(p.Conditions);
    h.Bytes(p.BlockA);
    h.Bytes(p.BlockB);
    h.Value(p.StatFlag);
    h.Value(p.NumSelectedUnits);
    h.Bytes(p.SelectionFlags);
    h.Value(p.SelectedHouseFlag);
    h.Value(p.g_wNumSelectedHouse);
    // The selection in its order and the stored groups' members, by index.
    for (const TSelectionNode* n = p.SelectionHead; n != nullptr; n = n->next)
        h.Value(n->unit != nullptr ? n->unit->m_Index : std::uint16_t{0xFFFF});
    for (const auto& group : p.Group) {
        h.Value(static_cast<std::uint32_t>(group.size()));
        for (const TStoredGroupEntry& e : group) {
            h.Value(e.kind);
            if (e.kind == GROUP_ENTRY_UNIT && e.object != nullptr)
                h.Value(static_cast<const TUnit*>(e.object)->m_Index);
            else if (e.object != nullptr)
                h.Value(static_cast<const THouse*>(e.object)->Index);
        }
    }
    h.Value(p.GridWidth);
    h.Bytes(p.Grid);
    h.Value(p.NextUnitIndex);
    h.Value(static_cast<std::uint32_t>(p.FreeIndexes.size()));
    for (std::uint16_t index : p.FreeIndexes)
        h.Value(index);
    if (p.GroupManager) {
        h.Value(p.GroupManager->WarTemplate);
        h.Value(p.GroupManager->HardLevel);
        h.Value(p.GroupManager->ArmyCounter);
        h.Value(p.GroupManager->NextGroupId);
        h.Value(p.GroupManager->AttackPlanned);
        h.Value(p.GroupManager->PlannedDelay);
    }
    if (p.Planner) {
        h.Value(p.Planner->HomeX);
        h.Value(p.Planner->HomeY);
        h.Value(p.Planner->TargetX);
        h.Value(p.Planner->TargetY);
        h.Value(p.Planner->SiteHalfSize);
        h.Value(p.Planner->FailedSites);
        h.Value(p.Planner->FarWorkers);
        for (std::uint16_t wanted : p.Planner->WantedHouses)
            h.Value(wanted);
        for (std::uint16_t wanted : p.Planner->WantedUnits)
            h.Value(wanted);
        h.Value(p.Planner->Template.LevelCount);
        h.Value(p.Planner->Template.CurrentLevel);
        h.Value(p.Planner->Template.Cursor);
        if (const auto* ai = dynamic_cast<const TComputerStrategAI*>(p.Planner.get())) {
            h.Value(ai->FirstBarracks);
            h.Value(ai->SecondBarracks);
            h.Value(ai->SkipCounter);
        }
        h.Value(static_cast<std::uint32_t>(p.Planner->ShoreX.size()));
        for (std::size_t i = 0; i < p.Planner->ShoreX.size(); ++i) {
            h.Value(p.Planner->ShoreX[i]);
            h.Value(p.Planner->ShoreY[i]);
        }
    }
    {
        std::lock_guard lock(g_HeapLock);
        HashQueue(h, p.HeapHead);
    }
    HashUnitList(h, p.FirstUnit);
}

// The whistle and the drawn height depend on the local frame rate and drawing; they are left out.
// The target grid decides whom a search finds: how many units and buildings each cell holds.
// Entries are counted, not read: the grid may still name a unit freed since its last refill.
void HashTargetGrid(TSimHash& h)
{
    const TTargetGrid& g = g_TargetGrid;
    h.Value(g.Columns());
    h.Value(g.Rows());
    for (std::size_t c = 0; c < g.CellCount(); ++c) {
        const auto units = static_cast<std::uint32_t>(g.UnitsAt(c).size());
        const auto houses = static_cast<std::uint32_t>(g.HousesAt(c).size());
        if (units == 0 && houses == 0)
            continue;
        h.Value(static_cast<std::uint32_t>(c));
        h.Value(units);
        h.Value(houses);
    }
    for (const auto& row : g_DiplomacyMatrix)
        for (std::uint8_t v : row)
            h.Value(v);
}

void HashShots(TSimHash& h)
{
    std::uint32_t count = 0;
    std::uint8_t record[SHOT_RECORD_SIZE];
    for (const TShot* s = g_ShotList; s != nullptr; s = s->next, ++count) {
        WriteShotRecord(*s, record);
        std::fill(record + 56, record + 64, std::uint8_t{0});
        std::fill(record + 176, record + 180, std::uint8_t{0});
        std::fill(record + 188, record + 196, std::uint8_t{0});
        std::fill(record + 252, record + 256, std::uint8_t{0});
        h.Bytes(record);
        h.Value(s->source.player);
        h.Value(s->source.index);
        h.Value(s->source.uniqueId);
    }
    h.Value(count);
}

// The delayed hits; the shooter by owner and table index.
void HashTimedEffects(TSimHash& h)
{
    for (const TTimedEffect& hit : g_TimedEffects) {
        h.Value(hit.X);
        h.Value(hit.Y);
        h.Value(hit.Height);
        h.Value(hit.Delay);
        h.Value(static_cast<std::uint8_t>(hit.Shooter != nullptr ? hit.Shooter->Player : 255));
        h.Value(static_cast<std::uint16_t>(hit.Shooter != nullptr ? hit.Shooter->m_Index : 65535));
    }
    h.Value(static_cast<std::uint32_t>(g_TimedEffects.size()));
}

void HashTimedSigns(TSimHash& h)
{
    const std::vector<TTimedSign*>* signs = TTimedSignList::Signs();
    const std::uint32_t count = signs != nullptr ? static_cast<std::uint32_t>(signs->size()) : 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        const TTimedSign& s = *(*signs)[i];
        h.Value(s.m_Desc.kind);
        h.Value(s.m_Desc.x);
        h.Value(s.m_Desc.y);
        h.Value(s.m_Desc.lifetime);
        h.Value(s.m_Desc.radius);
        h.Value(s.m_Desc.growth);
        h.Value(s.m_Desc.density);
        h.Value(s.m_Desc.damage);
        h.Value(s.m_Desc.damageRadius);
        h.Value(s.m_ExplosionType);
        h.Value(s.m_Radius);
    }
    h.Value(count);
}

// The unit groups: their members by index, slots, path, order and counters.
void HashGroups(TSimHash& h)
{
    h.Value(GroupAlarmCountdown());
    for (std::uint8_t p = 0; p < 8; ++p) {
        const std::vector<TGroup*>& groups = PlayerGroups(p);
        h.Value(static_cast<std::uint32_t>(groups.size()));
        for (const TGroup* g : groups) {
            h.Value(g->Id);
            for (std::uint16_t i = 0; i < g->SlotCount; ++i) {
                h.Value(static_cast<std::uint16_t>(g->Slots[i] != nullptr ? g->Slots[i]->m_Index : 65535));
                h.Value(g->SlotX[i]);
                h.Value(g->SlotY[i]);
            }
            for (std::size_t i = 0; i < g->PathX.size(); ++i) {
                h.Value(g->PathX[i]);
                h.Value(g->PathY[i]);
                h.Value(g->PathOrient[i]);
            }
            h.Value(g->PathIndex);
            h.Value(g->Capacity);
            h.Value(g->LiveCount);
            h.Value(g->HalfCount);
            h.Value(g->FormationKind);
            h.Value(g->SpacingFactor);
            h.Value(g->Columns);
            h.Value(g->HeadPoz);
            h.Value(g->TargetX);
            h.Value(g->TargetY);
            h.Value(g->SlowedCounter);
            h.Value(g->WantedOrient);
            h.Value(g->FormationWidth);
            h.Value(g->StepCountdown);
            h.Value(g->Busy);
            h.Value(static_cast<std::uint32_t>(g->OrderQueue.size()));
            for (const TGroupOrderNode& n : g->OrderQueue) {
                h.Value(n.kind);
                h.Value(n.x);
                h.Value(n.y);
                h.Value(n.a);
                h.Value(n.b);
            }
            h.Value(g->FormationMode);
            h.Value(g->AlarmCountdown);
            h.Value(g->VehicleGroup);
            h.Value(g->GatherRetries);
            h.Value(g->ReactionCounter);
            h.Value(g->OrderKind);
            h.Value(g->OrderA);
            h.Value(g->OrderB);
            h.Value(g->OrderX);
            h.Value(g->OrderY);
            h.Value(g->FormationActive);
            h.Value(g->Counter);
            h.Value(g->Disbanded);
            h.Value(g->Speed);
            h.Value(g->SpeedFactor);
            h.Value(g->FormationOrient);
        }
    }
}

} // namespace

void TSimHash::Bytes(std::span<const std::uint8_t> bytes)
{
    for (std::uint8_t b : bytes) {
        m_State ^= b;
        m_State *= 1099511628211ull;
    }
}

std::uint64_t SimulationChecksum()
{
    TSimHash h;
    h.Value(g_FrameCounter);
    h.Value(kadr_now);
    h.Value(g_RandSeed);
    h.Value(g_RandIndex);
    // The cycle's own state.
    h.Value(g_PathBudget);
    h.Value(g_GroupOrderBudget);
    h.Value(g_GroupOrdersUsed);
    h.Value(g_PathMoveCount);
    h.Value(g_CompPathMoveCount);
    h.Value(g_SyncSnapshot);
    // The path searches' work this cycle and the cache of recent paths.
    h.Value(g_PathWorkCounter);
    h.Value(static_cast<std::uint32_t>(g_PathHelper.Size()));
    for (std::size_t i = 0; i < g_PathHelper.Size(); ++i) {
        const TPathDesc& d = g_PathHelper.Desc(i);
        h.Value(d.startX);
        h.Value(d.startY);
        h.Value(d.goalX);
        h.Value(d.goalY);
        h.Value(d.frame);
        h.Bytes(g_PathHelper.Path(i));
    }
    h.Bytes(g_ShiftDown);
    h.Bytes(g_CtrlDown);
    h.Value(g_StartStateSent);
    h.Bytes(g_PointFireDevice);
    for (int p = 0; p < 8; ++p) {
        h.Value(g_PlayerClickX[p]);
        h.Value(g_PlayerClickY[p]);
        h.Value(g_PlayerPrevClickX[p]);
        h.Value(g_PlayerPrevClickY[p]);
        h.Value(g_bNetDragging[p]);
    }
    ForEachGlobalHeapItem([&h](const THeapItem& item) {
        std::uint8_t bytes[HEAP_ITEM_SIZE];
        WriteHeapItem(item, std::span<std::uint8_t, HEAP_ITEM_SIZE>(bytes));
        h.Bytes(bytes);
    });
    // Players, their units and buildings.
    h.Value(g_wNumPlayer);
    for (std::uint16_t p = 0; p < g_wNumPlayer && p < 8; ++p) {
        h.Value(static_cast<std::uint8_t>(g_Strateg[p] != nullptr));
        if (g_Strateg[p] != nullptr)
            HashPlayer(h, *g_Strateg[p]);
        h.Value(NumUnits[p]);
        for (std::uint16_t count : g_UnitTypeCount[p])
            h.Value(count);
        for (std::uint16_t count : g_HouseTypeCount[p])
            h.Value(count);
        h.Value(g_HouseCounters[p].placed);
        h.Value(g_HouseCounters[p].lost);
        h.Value(g_HouseCounters[p].destroyed);
        HashHouses(h, g_pHouse[p], g_pHouse[p] != nullptr ? NumHouse[p] : 0);
    }
    HashHouses(h, g_pHouse[kNeutralHouseSlot], g_pHouse[kNeutralHouseSlot] != nullptr ? g_NeutralHouseCount : 0);
    // The players' economic factors: power, yields, gathering and building armour.
    for (const float* factor : {g_PowerSupply, g_PowerDemand, g_PowerSupplyScale, g_PowerDemandScale, g_OilFactor,
                                g_WoodFactor, g_MetalFactor, g_GatherFactor, g_HouseArmourFactor})
        for (int p = 0; p < 8; ++p)
            h.Value(factor[p]);
    // The shot accuracy the bombers' lead is divided by.
    for (int p = 0; p < 8; ++p)
        h.Value(g_ShotAccuracyFactor[p]);
    // The switch that finishes constructions at the first labour loop.
    h.Value(static_cast<std::uint8_t>(g_InstantBuild ? 1 : 0));
    h.Value(g_NeutralUnitCount);
    HashUnitList(h, g_NeutralUnitList);
    h.Value(g_UnitIdCounter);
    // The advanced-path cells the unit walk settles, and what still waits for it.
    for (const auto* queue : {&g_AdvancedPathReleaseQueue, &g_AdvancedPathUnpathQueue}) {
        h.Value(static_cast<std::uint32_t>(queue->size()));
        for (const TCellPair& c : *queue) {
            h.Value(c.x);
            h.Value(c.y);
        }
    }
    if (g_pCellFlags != nullptr)
        h.Bytes({g_pCellFlags, g_MapCellCount});
    // Shots in flight, and the explosions the cycles made (the live explosions advance with
    // drawing, so only what the cycles made is compared).
    HashShots(h);
    HashTimedEffects(h);
    HashTimedSigns(h);
    HashTargetGrid(h);
    h.Value(g_ExplosionsMade);
    h.Value(g_ExplosionTrail);
    // The object map: buildings, trees, trenches and resources change it.
    if (g_pObjectMap != nullptr)
        for (std::uint16_t y = 0; y < g_MapHeight; ++y)
            for (std::uint16_t x = 0; x < g_MapWidth; ++x)
                h.Value(GetObjectFromMap(x, y));
    HashGroups(h);
    return h.Result();
}

void FormatChecksumLine(char (&line)[40], std::uint32_t frame, std::uint64_t checksum)
{
    std::snprintf(line, sizeof line, "%u %016llx\n", frame, static_cast<unsigned long long>(checksum));
}

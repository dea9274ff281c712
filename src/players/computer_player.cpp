// The computer player's economy: the build template worked off level by level, the rule cascade,
// production orders, research and trading.
#include "players/computer_player.h"

#include <algorithm>

#include "core/app_state.h"
#include "core/error_log.h"
#include "core/memory_stream.h"
#include "core/random_table.h"
#include "combat/work_states.h"
#include "core/settings.h"
#include "map/map_grid.h"
#include "map/site_queries.h"
#include "players/economy.h"
#include "players/house_orders.h"
#include "players/placement.h"
#include "players/strateg.h"
#include "units/house.h"
#include "units/house_behaviour.h"
#include "units/house_queue.h"
#include "units/house_types.h"
#include "units/parameter_files.h"
#include "units/unit.h"
#include "units/unit_lists.h"
#include "units/unit_types.h"
#include "units/upgrades.h"

namespace {

// The workers' labour animation: a worker in it is building or mending the building it names.
constexpr std::uint8_t kAnimLabour = 11;

constexpr std::uint32_t kWinter = 3;
// Resource indexes of the player's pairs -> goods of the market's rate table.
constexpr int kGoodOf[5] = {3, 1, 2, 4, 0};
// A shore point list longer than this is not a stored planner.
constexpr std::uint32_t kMaxStoredPoints = 1000;

// Building types the rules name.
constexpr std::uint16_t kPowerPlant = 0;
constexpr std::uint16_t kAcademy = 2;
constexpr std::uint16_t kBarracks = 4;
constexpr std::uint16_t kTownHall = 6;
constexpr std::uint16_t kMarket = 8;
constexpr std::uint16_t kDwelling = 9;
constexpr std::uint16_t kFarm = 15;

TStrateg* Record(std::uint8_t player)
{
    return player < 8 && player < g_wNumPlayer ? g_Strateg[player] : nullptr;
}

bool Chance(std::int32_t c)
{
    return static_cast<std::int32_t>(RandomDraw()) < c;
}

bool Winter()
{
    return g_MapSeason == kWinter;
}

bool Advisor(std::uint8_t player, int byte)
{
    return player < ADVISOR_PLAYERS && g_AdvisorOptions[player][byte] != 0;
}

double Have(std::uint8_t player, std::uint8_t resource)
{
    return GetSpendableResource(player, resource);
}

std::uint32_t Houses(std::uint8_t player, std::uint16_t type)
{
    return player < 8 && type < kHouseTypeCountTypes ? g_HouseTypeCount[player][type] : 0;
}

std::uint32_t Units(std::uint8_t player, std::uint16_t type)
{
    return player < UNIT_PLAYERS && type < UNIT_TYPES_PER_NATION ? g_UnitTypeCount[player][type] : 0;
}

std::uint8_t Nation(std::uint8_t player)
{
    const TStrateg* p = Record(player);
    return p != nullptr && p->Nation < 5 ? p->Nation : 0;
}

std::uint16_t NationUnitTypes(std::uint8_t player)
{
    return std::min<std::uint16_t>(g_NationUnitTypeCount[Nation(player)], AI_UNIT_TYPES);
}

std::uint16_t NationHouseTypes(std::uint8_t player)
{
    return std::min<std::uint16_t>(g_NationHouseTypeCount[Nation(player)], kHouseTypeCountTypes);
}

// The player's standing building records in ascending order.
template <class F>
void ForEachHouse(std::uint8_t player, F&& f)
{
    if (player >= 8 || g_pHouse[player] == nullptr)
        return;
    for (std::uint16_t i = 0; i < NumHouse[player]; ++i) {
        THouse& h = g_pHouse[player][i];
        if (h.TypeRecord != nullptr && h.Destroyed == 0 && !f(h, i))
            return;
    }
}

// The wanted counts are met by every standing building of the type, building sites included, so
// a site under way is not ordered again.
std::uint32_t Standing(std::uint8_t player, std::uint16_t type)
{
    std::uint32_t n = 0;
    ForEachHouse(player, [&](THouse& h, std::uint16_t) {
        n += h.HouseType == type ? 1 : 0;
        return true;
    });
    return n;
}

bool IsIdle(const THouse& h)
{
    return h.IsFinished() && h.QueueCount == 0;
}

bool HasIdle(std::uint8_t player, std::uint16_t type)
{
    bool found = false;
    ForEachHouse(player, [&](THouse& h, std::uint16_t) {
        found = h.HouseType == type && IsIdle(h);
        return !found;
    });
    return found;
}

bool HasFinished(std::uint8_t player, std::uint16_t type)
{
    bool found = false;
    ForEachHouse(player, [&](THouse& h, std::uint16_t) {
        found = h.HouseType == type && h.IsFinished();
        return !found;
    });
    return found;
}

bool UnderConstruction(std::uint8_t player, std::uint16_t type)
{
    bool found = false;
    ForEachHouse(player, [&](THouse& h, std::uint16_t) {
        found = h.HouseType == type && !h.IsFinished();
        return !found;
    });
    return found;
}

bool Produces(const THouseType& t, std::uint16_t unitType)
{
    for (std::uint16_t produced : t.m_Units) {
        if (produced == HOUSE_LIST_END)
            return false;
        if (produced == unitType)
            return true;
    }
    return false;
}

bool Produces(const THouse& h, std::uint16_t unitType)
{
    return Produces(h.Type(), unitType);
}

// The building type that produces a unit type: the first of the nation's types that lists it;
// -1 when none does.
std::int32_t ProducerType(std::uint8_t player, std::uint16_t unitType)
{
    for (std::uint16_t t = 0; t < NationHouseTypes(player); ++t)
        if (Produces(HouseType(Nation(player), t), unitType))
            return t;
    return -1;
}

// Whether the recorded value of a resource went up (or down) between the last two statistics
// samples; with fewer than two samples neither holds.
bool Grew(std::uint8_t player, std::uint8_t resource)
{
    return ResourceGrewSinceSample(player, resource);
}
bool Fell(std::uint8_t player, std::uint8_t resource)
{
    return ResourceFellSinceSample(player, resource);
}

bool DemandExceedsSupply(std::uint8_t p)
{
    const float scale = g_PowerDemandScale[p] != 0.0f ? g_PowerDemandScale[p] : 1.0f;
    return g_PowerSupply[p] * g_PowerSupplyScale[p] < g_PowerDemand[p] / scale;
}

// The base point moves once the old area is worked out: a step aside first, else elsewhere.
void MoveBase(std::uint8_t player)
{
    if (!ChooseNewBase(player, 0))
        ChooseNewBase(player, 1);
}

// Pays one unit and makes it the building's endless production.
void QueueEndless(std::uint8_t player, std::uint16_t index, std::uint16_t type)
{
    THouse* h = HouseAt(g_pHouse[player], index);
    if (h == nullptr || !Produces(*h, type) || !PayForUnit(player, type))
        return;
    if (!AddUnitToHouseQueue(player, index, type, 1))
        RefundUnit(player, type);
}

} // namespace

std::uint8_t ClampHardLevel(int level)
{
    return static_cast<std::uint8_t>(std::clamp(level, 0, static_cast<int>(AI_MAX_HARD_LEVEL)));
}

std::int32_t RuleChance(std::int32_t base, int hardLevel)
{
    return static_cast<std::int32_t>(base / (4 - ClampHardLevel(hardLevel)));
}

// ---- the base planner --------------------------------------------------------------------------

TStrategAI::TStrategAI(std::uint8_t setupByte) : SetupByte(setupByte) {}

bool TStrategAI::LoadTemplate(const char* name)
{
    const bool ok = Template.LoadTemplateFromBinaryFile(name);
    std::fill(std::begin(WantedUnits), std::end(WantedUnits), 0);
    std::fill(std::begin(WantedHouses), std::end(WantedHouses), 0);
    AccumulateLevelNeeds();
    while (Template.CurrentLevel < Template.LevelCount && TryAdvanceLevel()) {
    }
    return ok;
}

void TStrategAI::AccumulateLevelNeeds()
{
    const int level = Template.CurrentLevel;
    auto add = [this](const std::vector<TTemplateEntry>& list, bool overwrite) {
        for (const TTemplateEntry& e : list) {
            std::uint16_t* slot = nullptr;
            if ((e.Kind & 0xFF) == TEMPLATE_UNIT && e.Type < AI_UNIT_TYPES)
                slot = &WantedUnits[e.Type];
            else if ((e.Kind & 0xFF) == TEMPLATE_HOUSE && e.Type < AI_HOUSE_TYPES)
                slot = &WantedHouses[e.Type];
            if (slot != nullptr)
                *slot = overwrite ? e.Count : static_cast<std::uint16_t>(std::min(65535, *slot + e.Count));
        }
    };
    if (level == 0) {
        if (Template.LevelCount > 0)
            add(Template.MustList(0), true);
        return;
    }
    if (level - 1 < Template.LevelCount)
        add(Template.MayList(level - 1), false);
    if (level < Template.LevelCount)
        add(Template.MustList(level), false);
}

bool TStrategAI::IsEntryPending(const TTemplateEntry& e) const
{
    const std::uint8_t p = PlayerIndex();
    switch (e.Kind & 0xFF) {
    case TEMPLATE_UNIT:
        return e.Type < AI_UNIT_TYPES && CanAffordUnit(p, e.Type) && Units(p, e.Type) < WantedUnits[e.Type];
    case TEMPLATE_HOUSE:
        return e.Type < AI_HOUSE_TYPES && CanAffordHouse(p, e.Type) && Standing(p, e.Type) < WantedHouses[e.Type];
    case TEMPLATE_UPGRADE:
        return e.Type == 0 && e.Count != 0 && e.Count < SCIENCE_UPGRADES && AcademyCanUpgrade(p, e.Count);
    default:
        return false;
    }
}

bool TStrategAI::TryAdvanceLevel()
{
    if (Template.CurrentLevel >= Template.LevelCount)
        return false;
    const std::uint8_t p = PlayerIndex();
    for (const TTemplateEntry& e : Template.MustList(Template.CurrentLevel)) {
        if ((e.Kind & 0xFF) == TEMPLATE_UNIT && e.Type < AI_UNIT_TYPES && Units(p, e.Type) < WantedUnits[e.Type])
            return false;
        if ((e.Kind & 0xFF) == TEMPLATE_HOUSE && e.Type < AI_HOUSE_TYPES && Standing(p, e.Type) < WantedHouses[e.Type])
            return false;
    }
    Template.Cursor = 0;
    ++Template.CurrentLevel;
    AccumulateLevelNeeds();
    return true;
}

void TStrategAI::WorkCurrentLevel()
{
    if (Template.CurrentLevel >= Template.LevelCount)
        return;
    const std::vector<TTemplateEntry>& must = Template.MustList(Template.CurrentLevel);
    // A level without MUST entries has nothing to work on; the advance test passes it.
    if (must.empty())
        return;
    const std::uint8_t p = PlayerIndex();
    if (Template.Cursor >= must.size())
        Template.Cursor = 0;
    const TTemplateEntry e = must[Template.Cursor];
    if (IsEntryPending(e)) {
        if ((e.Kind & 0xFF) == TEMPLATE_UNIT) {
            const bool stocked = Have(p, RESOURCE_FOOD) >= 1000.0 && Have(p, RESOURCE_GOLD) >= 100.0 &&
                                 Have(p, RESOURCE_IRON) >= 100.0;
            if (e.Type == 0 || stocked) {
                if (Units(p, e.Type) < static_cast<std::uint32_t>(WantedUnits[e.Type]) + 5)
                    OrderUnitBatch5(e.Type, 10);
                else
                    OrderUnit(e.Type, 10);
            }
        } else if ((e.Kind & 0xFF) == TEMPLATE_HOUSE) {
            if (Winter())
                WantedHouses[kFarm] = 0;
            if (Standing(p, e.Type) < WantedHouses[e.Type])
                BuildHouse(p, e.Type);
        }
    }
    const std::uint16_t start = Template.Cursor;
    do {
        Template.Cursor = static_cast<std::uint16_t>((Template.Cursor + 1) % must.size());
    } while (Template.Cursor != start && !IsEntryPending(must[Template.Cursor]));
}

void TStrategAI::FillShortfalls()
{
    const std::uint8_t p = PlayerIndex();
    for (std::uint16_t t = 0; t < NationUnitTypes(p); ++t)
        if (Units(p, t) < WantedUnits[t] && CanAffordUnit(p, t)) {
            OrderUnit(t, 10);
            break;
        }
    auto want = [&](std::uint16_t t) {
        return Standing(p, t) < WantedHouses[t] && CanAffordHouse(p, t) && BuildHouse(p, t);
    };
    if (!want(kTownHall) && !want(kDwelling))
        for (std::uint16_t t = 0; t < NationHouseTypes(p); ++t)
            if (want(t))
                break;
    ResearchStep();
    Think();
}

void TStrategAI::AIStep()
{
    const std::uint8_t p = PlayerIndex();
    const TStrateg* record = Record(p);
    if (record == nullptr)
        return;
    if (record->GroupManager && record->GroupManager->WarTemplate == 5) {
        const std::uint32_t ports = Houses(p, 22);
        if ((RandomDraw() % 10 == 1 || ports == 0) && ports < 3)
            BuildHouse(p, 22);
    }
    if (Template.CurrentLevel < Template.LevelCount) {
        WorkCurrentLevel();
        TryAdvanceLevel();
    }
    FillShortfalls();
    DefendHouses();
    TendSites();
}

// A site whose worker never took the order (it was still leaving a building) or dropped it stays
// a site for good: no idle worker looks for building work by itself. Each step the first site
// nobody walks to or works on gets the nearest free worker. No draw is taken.
void TStrategAI::TendSites()
{
    const std::uint8_t p = PlayerIndex();
    const TStrateg* record = Record(p);
    if (record == nullptr || !Advisor(p, 0))
        return;
    ForEachHouse(p, [&](THouse& h, std::uint16_t i) {
        if (h.IsFinished())
            return true;
        for (const TUnit* u = record->FirstUnit; u != nullptr; u = u->m_pNext)
            if (u->Dead == 0 && u->Basic != nullptr && u->Basic->m_Kind == UNIT_KIND_WORKER && (u->WorkObject == i || u->WorkObject == PlayerHouseCode(p, i)) &&
                (u->Work == WORK_GO_TO_OBJECT || u->NumWork == kAnimLabour))
                return true;
        if (TUnit* worker = FindNearestWorker(h.X, h.Y, p))
            OrderWorkerToBuild(worker, i);
        return false;
    });
}

void TStrategAI::DefendHouses()
{
    const std::uint8_t p = PlayerIndex();
    const TStrateg* record = Record(p);
    if (RandomDraw() > 6000 || record == nullptr || !record->GroupManager || g_pHouse[p] == nullptr)
        return;
    const std::uint16_t count = NumHouse[p];
    std::uint16_t start = 0;
    if (count > 5) {
        start = static_cast<std::uint16_t>(RandomDraw() % count);
        if (start >= 5)
            start = static_cast<std::uint16_t>(start - 5);
    }
    THouse* found[5] = {};
    int n = 0;
    for (std::uint16_t i = start; i < count && n < 5; ++i) {
        THouse& h = g_pHouse[p][i];
        if (h.TypeRecord != nullptr && h.Destroyed == 0 && IsHouseUnprotected(&h))
            found[n++] = &h;
    }
    if (n > 0)
        GuardHouse(found[RandomDraw() % n]);
}

THouse* TStrategAI::ShortestQueue(std::uint16_t type, std::uint16_t limit) const
{
    const std::uint8_t p = PlayerIndex();
    const std::int32_t producer = Record(p) != nullptr && type < NationUnitTypes(p) ? ProducerType(p, type) : -1;
    if (producer < 0)
        return nullptr;
    THouse* best = nullptr;
    ForEachHouse(p, [&](THouse& h, std::uint16_t) {
        if (h.HouseType == producer && h.IsFinished() && h.QueueCount < limit &&
            (best == nullptr || h.QueueCount < best->QueueCount))
            best = &h;
        return true;
    });
    return best;
}

bool TStrategAI::OrderBatch(std::uint16_t type, std::uint16_t limit, int batch)
{
    const std::uint8_t p = PlayerIndex();
    if (!Advisor(p, type == 0 ? 1 : 2))
        return false;
    THouse* h = ShortestQueue(type, limit);
    if (h == nullptr)
        return false;
    if (batch == 5 && !CanAffordUnitsBatch5(p, type))
        return false;
    if (batch == 50 && !CanAffordUnitsBatch50(p, type))
        return false;
    int paid = 0;
    while (paid < batch && PayForUnit(p, type))
        ++paid;
    const std::uint16_t index = static_cast<std::uint16_t>(h - g_pHouse[p]);
    int queued = 0;
    for (; queued < paid; ++queued)
        if (!AddUnitToHouseQueue(p, index, type, 0))
            break;
    for (int k = queued; k < paid; ++k)
        RefundUnit(p, type);
    return queued > 0;
}

bool TStrategAI::OrderUnit(std::uint16_t type, std::uint16_t limit)
{
    return OrderBatch(type, limit, 1);
}

bool TStrategAI::OrderUnitBatch5(std::uint16_t type, std::uint16_t limit)
{
    return OrderBatch(type, limit, 5);
}

bool TStrategAI::OrderUnitBatch50(std::uint16_t type, std::uint16_t limit)
{
    return OrderBatch(type, limit, 50);
}

int TStrategAI::OrderUnitsAt(THouse* house, std::uint16_t type, int n)
{
    const std::uint8_t p = PlayerIndex();
    if (house == nullptr || g_pHouse[p] == nullptr || house->Owner != p || !Produces(*house, type))
        return 0;
    const std::uint16_t index = static_cast<std::uint16_t>(house - g_pHouse[p]);
    int ordered = 0;
    for (; ordered < n; ++ordered) {
        if (!PayForUnit(p, type))
            break;
        if (!AddUnitToHouseQueue(p, index, type, 0)) {
            RefundUnit(p, type);
            break;
        }
    }
    return ordered;
}

void TStrategAI::FarmsAndWorkers(std::int32_t a, std::int32_t b)
{
    const std::uint8_t p = PlayerIndex();
    if (!Winter() && Chance(a) && Houses(p, kFarm) <= static_cast<std::uint32_t>(std::max(0, GetPopulation(p)) / 200))
        BuildHouse(p, kFarm);
    if (!Winter() && Fell(p, RESOURCE_FOOD) && g_FrameCounter > 3000 && Chance(a))
        BuildHouse(p, kFarm);
    if (Chance(b) && !Winter())
        OrderUnit(0, 10);
}

void TStrategAI::Housing(int, std::int32_t a, std::int32_t b)
{
    const std::uint8_t p = PlayerIndex();
    if (g_FrameCounter < 5000)
        return;
    auto build = [&] {
        if (Chance(a))
            BuildHouse(p, kDwelling);
        else if (Chance(b))
            BuildHouse(p, kTownHall);
    };
    if (GetPopulationCap(p) <= GetPopulation(p) + 1000)
        build();
    if (Chance(20000) && Houses(p, kBarracks) > Houses(p, kDwelling) / 2 + 2 * Houses(p, kTownHall))
        build();
}

void TStrategAI::BuildExtractors()
{
    const std::uint8_t p = PlayerIndex();
    if (!Advisor(p, 0))
        return;
    if (Chance(7000))
        BuildHouse(p, 11);
    else if (Chance(7000))
        BuildHouse(p, 10);
    else if (Chance(7000))
        BuildHouse(p, 13);
    else if (Chance(10000))
        BuildHouse(p, 12);
}

bool TStrategAI::BuildWithPrerequisites(std::uint16_t type)
{
    const std::uint8_t p = PlayerIndex();
    if (Record(p) == nullptr || type >= NationHouseTypes(p))
        return false;
    if (CanAffordHouse(p, type)) {
        BuildHouse(p, type);
        return true;
    }
    const THouseType& t = HouseType(Nation(p), type);
    for (std::uint16_t required : t.m_RequiredHouses) {
        if (required == HOUSE_LIST_END)
            break;
        if (required < kHouseTypeCountTypes && Houses(p, required) == 0) {
            if (!HasFinished(p, required))
                BuildHouse(p, required);
            return false;
        }
    }
    // Costs run food, wood, iron, gold, oil; the trade minimums food, gold, iron, wood, oil.
    TradeResources(p, t.m_Costs[0], t.m_Costs[3], t.m_Costs[2], t.m_Costs[1], t.m_Costs[4]);
    return CanAffordHouse(p, type) && BuildHouse(p, type);
}

void TStrategAI::FillBarracks(int hardLevel)
{
    const std::uint8_t p = PlayerIndex();
    const TStrateg* record = Record(p);
    if ((hardLevel != 2 && hardLevel != 3) || record == nullptr || !Advisor(p, 2))
        return;
    if (!(Have(p, RESOURCE_WOOD) >= 5000.0 && Have(p, RESOURCE_FOOD) >= 5000.0) && !Chance(12768))
        return;
    const bool computer = record->Kind == PLAYER_KIND_COMPUTER;
    for (std::uint16_t i = 0; i < NumHouse[p]; ++i) {
        THouse& h = g_pHouse[p][i];
        if (h.TypeRecord == nullptr || h.Destroyed != 0 || h.HouseType != kBarracks || !h.IsFinished())
            continue;
        if (h.QueueCount != 0 && !(computer && Chance(4000)))
            continue;
        std::int32_t type = -1;
        if (hardLevel == 2) {
            type = Have(p, RESOURCE_GOLD) > 3000.0 && Chance(3000) ? 5 : 2;
        } else if (Grew(p, RESOURCE_GOLD)) {
            type = Chance(3000) ? 5 : Chance(3000) ? 3 : Chance(3000) ? 6 : -1;
        } else if (Grew(p, RESOURCE_IRON)) {
            type = 2;
        }
        if (type < 0)
            continue;
        if (computer)
            QueueEndless(p, i, static_cast<std::uint16_t>(type));
        else
            OrderUnitsAt(&h, static_cast<std::uint16_t>(type), type == 2 ? 6 : 1);
    }
}

void TStrategAI::ResearchStep()
{
    const std::uint8_t p = PlayerIndex();
    if (Record(p) == nullptr || !Advisor(p, 3))
        return;
    THouse* academy = nullptr;
    ForEachHouse(p, [&](THouse& h, std::uint16_t) {
        if (h.HouseType == kAcademy && h.IsFinished() && h.UpgradeInProgress == 0)
            academy = &h;
        return academy == nullptr;
    });
    if (academy == nullptr)
        return;
    auto first = [&](std::initializer_list<int> indices) {
        for (int index : indices)
            if (AcademyCanUpgrade(p, index)) {
                AcademyStartUpgrade(academy, index);
                return;
            }
    };
    if (Chance(3000) && Fell(p, RESOURCE_FOOD))
        first({0, 1, 2, 6, 7});
    if (Chance(3000) && Fell(p, RESOURCE_GOLD))
        first({10, 11});
    if (Chance(3000) && Fell(p, RESOURCE_IRON))
        first({10, 11});
    if (Chance(50))
        first({4, 5, 6});
}

// ---- the state blocks --------------------------------------------------------------------------

namespace {

bool Refuse(const char* what)
{
    ReportError2("Computer player: the stored state is refused: ", what);
    return false;
}

} // namespace

void TStrategAI::SaveState(TOfStreamMemory& out) const
{
    for (std::uint16_t w : WantedUnits)
        out.WriteU16(w);
    for (std::uint16_t w : WantedHouses)
        out.WriteU16(w);
    out.WriteU8(Template.LevelCount);
    out.WriteU8(Template.CurrentLevel);
    out.WriteU16(Template.Cursor);
    for (int l = 0; l < Template.LevelCount; ++l) {
        WriteTemplateList(out, Template.MustList(l));
        WriteTemplateList(out, Template.MayList(l));
    }
    out.WriteI32(TargetX);
    out.WriteI32(TargetY);
    out.WriteU32(SiteHalfSize);
    out.WriteU32(FailedSites);
    out.WriteU32(static_cast<std::uint32_t>(ShoreX.size()));
    for (std::size_t i = 0; i < ShoreX.size(); ++i) {
        out.WriteI32(ShoreX[i]);
        out.WriteI32(ShoreY[i]);
    }
}

bool TStrategAI::LoadState(TIfStreamMemory& in)
{
    std::uint16_t units[AI_UNIT_TYPES] = {};
    std::uint16_t houses[AI_HOUSE_TYPES] = {};
    for (std::uint16_t& w : units)
        in.ReadU16(w);
    for (std::uint16_t& w : houses)
        in.ReadU16(w);
    auto templ = std::make_unique<TTemplate>();
    in.ReadU8(templ->LevelCount);
    in.ReadU8(templ->CurrentLevel);
    in.ReadU16(templ->Cursor);
    if (in.Failed())
        return Refuse("cut short");
    if (templ->LevelCount > TEMPLATE_MAX_LEVELS || templ->CurrentLevel > templ->LevelCount)
        return Refuse("level out of range");
    for (int l = 0; l < templ->LevelCount; ++l)
        if (!ReadTemplateList(in, templ->Level(l).Must) || !ReadTemplateList(in, templ->Level(l).May))
            return Refuse("template entries");
    const std::size_t mustCount =
        templ->CurrentLevel < templ->LevelCount ? templ->MustList(templ->CurrentLevel).size() : 0;
    if (templ->Cursor != 0 && templ->Cursor >= mustCount)
        return Refuse("cursor out of range");
    std::int32_t x = 0, y = 0;
    std::uint32_t half = 0, failed = 0, points = 0;
    in.ReadI32(x);
    in.ReadI32(y);
    in.ReadU32(half);
    in.ReadU32(failed);
    in.ReadU32(points);
    if (in.Failed())
        return Refuse("cut short");
    if (x != STRATEG_AI_UNSET && (x < 0 || x > static_cast<std::int32_t>(MAP_MAX_WIDTH) || y < 0 ||
                                  y > static_cast<std::int32_t>(MAP_MAX_CELLS)))
        return Refuse("base point out of range");
    if (half > MAP_MAX_WIDTH)
        return Refuse("site search out of range");
    if (points > kMaxStoredPoints || static_cast<std::int64_t>(points) * 8 > in.Remaining())
        return Refuse("shore points");
    std::vector<std::int32_t> sx(points), sy(points);
    for (std::uint32_t i = 0; i < points; ++i) {
        in.ReadI32(sx[i]);
        in.ReadI32(sy[i]);
    }
    if (in.Failed())
        return Refuse("cut short");
    std::copy(std::begin(units), std::end(units), std::begin(WantedUnits));
    std::copy(std::begin(houses), std::end(houses), std::begin(WantedHouses));
    Template = std::move(*templ);
    TargetX = x;
    TargetY = y;
    SiteHalfSize = half;
    FailedSites = failed;
    ShoreX = std::move(sx);
    ShoreY = std::move(sy);
    return true;
}

void TStrategAI::SaveBasePoints(TOfStreamMemory& out) const
{
    out.WriteI32(HomeX);
    out.WriteI32(HomeY);
    out.WriteU32(FarWorkers);
    const std::uint8_t zeros[AI_BASE_POINTS_RESERVED] = {};
    out.Write(zeros, AI_BASE_POINTS_RESERVED);
}

bool TStrategAI::LoadBasePoints(TIfStreamMemory& in)
{
    std::int32_t x = 0, y = 0;
    std::uint32_t far = 0;
    in.ReadI32(x);
    in.ReadI32(y);
    in.ReadU32(far);
    if (in.Failed() || in.Remaining() < AI_BASE_POINTS_RESERVED)
        return Refuse("base points cut short");
    in.Seek(in.Pos() + AI_BASE_POINTS_RESERVED);
    HomeX = x;
    HomeY = y;
    FarWorkers = far;
    return true;
}

void TComputerStrategAI::SaveState(TOfStreamMemory& out) const
{
    TStrategAI::SaveState(out);
    out.WriteI32(FirstBarracks);
    out.WriteI32(SecondBarracks);
}

bool TComputerStrategAI::LoadState(TIfStreamMemory& in)
{
    // The base block is taken only with the derived words behind it, so a refused block leaves
    // the planner whole.
    TComputerStrategAI probe;
    probe.Player = Player;
    if (!probe.TStrategAI::LoadState(in))
        return false;
    std::int32_t first = -1, second = -1;
    in.ReadI32(first);
    in.ReadI32(second);
    if (in.Failed())
        return Refuse("barracks cut short");
    if (first < -1 || second < -1)
        return Refuse("barracks index");
    std::copy(std::begin(probe.WantedUnits), std::end(probe.WantedUnits), std::begin(WantedUnits));
    std::copy(std::begin(probe.WantedHouses), std::end(probe.WantedHouses), std::begin(WantedHouses));
    Template = std::move(probe.Template);
    TargetX = probe.TargetX;
    TargetY = probe.TargetY;
    SiteHalfSize = probe.SiteHalfSize;
    FailedSites = probe.FailedSites;
    ShoreX = std::move(probe.ShoreX);
    ShoreY = std::move(probe.ShoreY);
    FirstBarracks = first;
    SecondBarracks = second;
    SkipCounter = 0;
    return true;
}

// ---- the rule cascade --------------------------------------------------------------------------

void TComputerStrategAI::Think()
{
    if (SkipCounter != 0) {
        --SkipCounter;
        return;
    }
    const std::uint8_t p = PlayerIndex();
    const TStrateg* record = Record(p);
    if (record == nullptr || !record->GroupManager)
        return;
    const std::uint8_t war = record->GroupManager->WarTemplate;
    const int h = ClampHardLevel(record->GroupManager->HardLevel);
    const double gold = Have(p, RESOURCE_GOLD);
    auto c = [h](std::int32_t base) { return RuleChance(base, h); };

    if (Have(p, RESOURCE_WOOD) < 1000.0 && Houses(p, 10) == 0) {
        if (Houses(p, 12) == 0)
            BuildHouse(p, 12);
        BuildHouse(p, 10);
        if (Houses(p, kMarket) == 0)
            BuildHouse(p, kMarket);
    }
    if (war == 4) {
        ThinkTemplate4(h);
        return;
    }
    if (war == 5) {
        ThinkTemplate5(h);
        return;
    }
    const std::int32_t population = std::max(0, GetPopulation(p));

    if (Houses(p, kBarracks) < 5 && Chance(c(6553)))
        BuildHouse(p, kBarracks);
    if (Units(p, 2) < 100)
        OrderUnitBatch5(2, 20);
    {
        const std::int32_t per = h == 3 ? (g_FrameCounter < 6000 ? 50 : 100) : 150;
        if (!HasIdle(p, kBarracks) && Houses(p, kBarracks) <= static_cast<std::uint32_t>(population / per) &&
            Chance(c(10922)) && !UnderConstruction(p, kBarracks))
            BuildHouse(p, kBarracks);
    }
    FarmsAndWorkers(c(819), c(10922));
    if (Chance(c(819)) && Houses(p, 23) <= 2)
        BuildHouse(p, 23);
    if (!Winter() && Chance(c(3276)))
        OrderUnit(0, 10);
    Housing(h, c(6553), c(3276));
    if (Chance(c(10922)))
        OrderUnitBatch5(2, 10);
    if (gold > 6000.0 && Chance(c(6553)))
        OrderUnit(5, 10);
    if (gold > 5000.0 && Houses(p, 16) > 0 && Chance(c(3276)))
        OrderUnitBatch5(14, 10);
    if (gold > 3000.0 && Houses(p, 16) > 0 && Chance(c(1638)))
        OrderUnit(6, 5);
    if (gold > 5000.0 && Chance(c(3276)))
        OrderUnit(3, 10);
    if (Chance(c(3276)))
        OrderUnitBatch5(4, 10);
    if (gold > 6000.0 && Chance(c(3276)))
        OrderUnit(16, 10);
    OrderByChance(h, {{819, 10, 2}, {819, 9, 2}, {819, 8, 2}, {819, 7, 2}, {205, 11, 1}, {205, 12, 1}, {410, 13, 1}});
    if (Have(p, RESOURCE_GOLD) > 120000.0 && Have(p, RESOURCE_FOOD) > 200000.0) {
        if (!HasIdle(p, kBarracks) && Chance(c(1638)))
            BuildHouse(p, kBarracks);
        if (Chance(c(205)))
            BuildHouse(p, 24);
        if (Chance(c(3276)))
            BuildHouse(p, kDwelling);
        if (Chance(c(410)))
            BuildHouse(p, kTownHall);
        if (Chance(c(819)))
            BuildHouse(p, 23);
        if (Chance(c(205)))
            BuildHouse(p, 16);
        if (Chance(c(10922)))
            OrderUnitBatch50(2, 10);
        if (Chance(c(10922)))
            OrderUnitBatch5(14, 10);
        for (std::uint16_t t : {5, 6, 22, 21})
            if (Chance(c(3276)))
                OrderUnitBatch5(t, 10);
        if (Chance(c(6553)))
            OrderUnitBatch5(4, 51);
        if (Chance(c(6553)))
            OrderUnitBatch5(16, 51);
        OrderByChance(h, {{819, 11, 2}, {819, 12, 2}, {1638, 13, 2}});
        const std::uint32_t planes = Units(p, 11) + Units(p, 12) + Units(p, 13) + Units(p, 24);
        if (Houses(p, 19) < 5 && Houses(p, 19) < planes / 5 + 1)
            BuildHouse(p, 19);
        OrderByChance(h, {{1638, 10, 2}, {3276, 9, 2}, {3276, 8, 2}, {1638, 7, 2}});
        const std::uint32_t foot = Units(p, 7) + Units(p, 8) + Units(p, 9) + Units(p, 10);
        if (Houses(p, 20) < 5 && Houses(p, 20) < foot / 5 + 1)
            BuildHouse(p, 20);
    }
    TradePolicy(p, h);
    if (2.0f * g_PowerSupply[p] * g_PowerSupplyScale[p] <
            g_PowerDemand[p] / (g_PowerDemandScale[p] != 0.0f ? g_PowerDemandScale[p] : 1.0f) &&
        Chance(3000))
        BuildHouse(p, kPowerPlant);
    if (Chance(c(8192)))
        BuildExtractors();
    ThinkExpert(h);
    FillBarracks(h);
}

void TComputerStrategAI::OrderByChance(int hardLevel, std::initializer_list<TChanceOrder> orders)
{
    for (const TChanceOrder& o : orders)
        if (Chance(RuleChance(o.base, hardLevel)))
            OrderUnit(o.type, o.limit);
}

void TComputerStrategAI::KeepPace()
{
    if (g_FrameCounter < 5000 || !Chance(2001))
        return;
    for (std::uint8_t q = 0; q < g_wNumPlayer && q < 8; ++q) {
        const TStrateg* other = g_Strateg[q];
        if (other == nullptr || other->Dead != 0 || other->Kind == PLAYER_KIND_COMPUTER)
            continue;
        auto atLeast = [&](std::uint16_t type, std::uint32_t value) {
            WantedHouses[type] = static_cast<std::uint16_t>(std::max<std::uint32_t>(WantedHouses[type], std::min(value, 65535u)));
        };
        atLeast(kBarracks, Houses(q, kBarracks) + 4);
        atLeast(16, Houses(q, 16) + 1);
        atLeast(20, Houses(q, 20) + 1);
    }
}

void TComputerStrategAI::KeepBarracksBusy()
{
    const std::uint8_t p = PlayerIndex();
    // The remembered barracks stay while they stand; a lost one is replaced by the next standing.
    auto valid = [p](std::int32_t index) {
        THouse* h = index >= 0 ? HouseAt(g_pHouse[p], static_cast<std::uint32_t>(index)) : nullptr;
        return h != nullptr && index < NumHouse[p] && h->TypeRecord != nullptr && h->Destroyed == 0 &&
               h->HouseType == kBarracks && h->IsFinished();
    };
    if (!valid(FirstBarracks) || !valid(SecondBarracks) || FirstBarracks == SecondBarracks) {
        std::int32_t found[2] = {-1, -1};
        int n = 0;
        ForEachHouse(p, [&](THouse& h, std::uint16_t i) {
            if (h.HouseType == kBarracks && h.IsFinished())
                found[n++] = i;
            return n < 2;
        });
        FirstBarracks = found[0];
        SecondBarracks = found[1];
    }
    if (valid(FirstBarracks) && g_pHouse[p][FirstBarracks].QueueCount < 1000)
        QueueEndless(p, static_cast<std::uint16_t>(FirstBarracks), 2);
    if (valid(SecondBarracks) && g_pHouse[p][SecondBarracks].QueueCount < 25 && Have(p, RESOURCE_GOLD) > 3000.0)
        QueueEndless(p, static_cast<std::uint16_t>(SecondBarracks), 5);
    if (!Winter()) {
        std::int32_t halls[2] = {-1, -1};
        int n = 0;
        ForEachHouse(p, [&](THouse& h, std::uint16_t i) {
            if (h.HouseType == kTownHall && h.IsFinished())
                halls[n++] = i;
            return n < 2;
        });
        if (n > 0) {
            const std::int32_t pick = halls[RandomDraw() % n];
            if (g_pHouse[p][pick].QueueCount == 0)
                QueueEndless(p, static_cast<std::uint16_t>(pick), 0);
        }
    }
}

void TComputerStrategAI::ThinkExpert(int h)
{
    const std::uint8_t p = PlayerIndex();
    if (h == 2) {
        // Before the base moves on, the area it leaves gets a watchtower and a bunker.
        if (g_FrameCounter >= 25000 && Chance(50)) {
            BuildHouse(p, 21);
            BuildHouse(p, 7);
            MoveBase(p);
        }
        return;
    }
    if (h != 3)
        return;
    if (RandomDraw() % 20 == 1) {
        SkipCounter = 5;
        return;
    }
    KeepPace();
    KeepBarracksBusy();
    OrderUnitBatch5(2, 20);
    OrderUnitBatch5(2, 20);
    if (g_FrameCounter >= 25000 && Chance(100))
        MoveBase(p);
    if (Chance(10000))
        BuildWithPrerequisites(RandomDraw() % 2 == 0 ? kAcademy : 5);
    if (Chance(3000))
        BuildWithPrerequisites(16);
    if (Chance(3000))
        BuildWithPrerequisites(24);
    if (Chance(8000))
        BuildWithPrerequisites(7);
    FarmsAndWorkers(10000, 30000);
    if (!Winter() && Houses(p, kFarm) < 3)
        BuildWithPrerequisites(kFarm);
    if (Chance(2000))
        BuildWithPrerequisites(11);
    if (Chance(2000))
        BuildWithPrerequisites(10);
    if (Houses(p, 14) == 0)
        BuildWithPrerequisites(14);
    if (DemandExceedsSupply(p))
        BuildWithPrerequisites(kPowerPlant);
    for (std::uint16_t t : {16, 19, 20})
        if (Houses(p, t) == 0)
            BuildWithPrerequisites(t);
    if (Houses(p, 16) > 0 && Have(p, RESOURCE_GOLD) > 5000.0)
        for (std::uint16_t t : {22, 21})
            if (Chance(10000))
                OrderUnit(t, 3);
    if (Houses(p, 19) > 0)
        for (std::uint16_t t : {13, 12, 11})
            if (Chance(10000))
                OrderUnit(t, 1);
    if (Houses(p, 20) > 0)
        for (std::uint16_t t : {8, 9, 10})
            if (Chance(10000))
                OrderUnit(t, 1);
    int idle = 0;
    if (const TStrateg* record = Record(p))
        for (const TUnit* u = record->FirstUnit; u != nullptr && idle < 10; u = u->m_pNext)
            if (u->Dead == 0 && u->Basic != nullptr && u->Basic->m_Kind == UNIT_KIND_WORKER && u->Work == UNIT_NO_WORK &&
                u->m_pGroup == nullptr && u->Basic->Speed > 0.5f)
                ++idle;
    if (idle < 10)
        OrderUnit(0, 20);
    Housing(20, 25000, 20000);
    BuildExtractors();
    if (Chance(16384))
        BuildExtractors();
}

void TComputerStrategAI::ThinkTemplate4(int h)
{
    const std::uint8_t p = PlayerIndex();
    auto c = [h](std::int32_t base) { return RuleChance(base, h); };
    if (Units(p, 13) < 10 && Chance(c(1638)))
        OrderUnit(13, 2);
    const std::uint32_t foot = Units(p, 7) + Units(p, 8) + Units(p, 9) + Units(p, 10);
    if (Houses(p, 20) < 4 || (Houses(p, 20) < 8 && Houses(p, 20) < foot / 5 + 1))
        BuildHouse(p, 20);
    FarmsAndWorkers(c(819), c(10922));
    Housing(h, c(6553), c(3276));
    for (std::uint16_t t : {10, 9, 8})
        if (Chance(c(3276)))
            OrderUnit(t, 2);
    if (Units(p, 7) == 0 && Chance(c(3276)))
        OrderUnit(7, 1);
    TradePolicy(p, h);
    FillBarracks(h);
    if (Houses(p, 19) < 2)
        BuildHouse(p, 19);
    if (Units(p, 2) == 0 && Chance(c(6553)))
        OrderUnitBatch5(2, 10);
    if (Chance(c(8192)))
        BuildExtractors();
}

void TComputerStrategAI::ThinkTemplate5(int h)
{
    const std::uint8_t p = PlayerIndex();
    auto c = [h](std::int32_t base) { return RuleChance(base, h); };
    const std::uint32_t foot = Units(p, 7) + Units(p, 8) + Units(p, 9) + Units(p, 10);
    if (Houses(p, 20) < 3 || (Houses(p, 20) < 5 && Houses(p, 20) < foot / 5 + 1))
        BuildHouse(p, 20);
    FarmsAndWorkers(c(819), c(10922));
    Housing(h, c(6553), c(3276));
    for (std::uint16_t t : {10, 9, 8})
        if (Chance(c(3276)))
            OrderUnit(t, 2);
    if (Units(p, 7) == 0 && Chance(c(3276)))
        OrderUnit(7, 2);
    if (Units(p, 17) < 3 && Chance(c(1638)))
        OrderUnit(17, 1);
    OrderUnit(19, 1);
    if (Chance(c(1638)))
        OrderUnit(20, 2);
    OrderUnitBatch5(2, 10);
    if (Units(p, 17) > 0) {
        for (std::uint16_t t : {2, 5, 6})
            if (Chance(c(3276)))
                OrderUnitBatch5(t, 10);
        if (Chance(c(3276)))
            OrderUnit(3, 10);
        if (Chance(c(3276)))
            OrderUnitBatch5(14, 10);
    }
    TradePolicy(p, 18);
    if (g_FrameCounter >= 15000 && Have(p, RESOURCE_WOOD) < 50000.0)
        TradeResources(p, 50000, 10000, 80000, 60000, 0);
    if (Houses(p, 19) == 0 || (Houses(p, 19) < 2 && g_FrameCounter > 25000))
        BuildHouse(p, 19);
    if (Units(p, 13) < 7 && Chance(c(1638)))
        OrderUnit(13, 1);
    if (Units(p, 2) == 0 && Chance(c(6553)))
        OrderUnitBatch5(2, 10);
    BuildExtractors();
}

// ---- trading -----------------------------------------------------------------------------------

void TradePolicy(std::uint8_t player, int mode)
{
    if (Record(player) == nullptr || Houses(player, kMarket) == 0)
        return;
    switch (mode) {
    case 1:
        TradeResources(player, 5000, 1200, 500, 1000, 300);
        break;
    case 2:
        TradeResources(player, 30000, 5000, 5000, 5000, 1000);
        break;
    case 3:
        if (g_FrameCounter < 5000)
            TradeResources(player, 3000, 5500, 5500, 5500, 1000);
        else if (g_FrameCounter >= 20000)
            TradeResources(player, 100000, 15000, 15000, 10000, 1000);
        else
            TradeResources(player, 30000, 5500, 5500, 5500, 1000);
        break;
    default:
        TradeResources(player, 100000, 10000, 10000, 5000, 1000);
        break;
    }
}

bool TradeResources(std::uint8_t player, double mf, double mg, double mi, double mw, double mo)
{
    if (Record(player) == nullptr || Houses(player, kMarket) == 0)
        return false;
    // In buying order; a resource bought keeps the ones before it above their minimum plus a lot.
    constexpr std::uint8_t order[5] = {RESOURCE_FOOD, RESOURCE_GOLD, RESOURCE_IRON, RESOURCE_WOOD, RESOURCE_OIL};
    constexpr double lot[5] = {50000, 1000, 2000, 5000, 2000}; // by position in order
    const double minimum[5] = {mf, mg, mi, mw, mo};
    constexpr double never = 1e300;
    // Surplus and growth levels of each source (by position in order) for each bought resource.
    struct Source {
        int from;
        double surplus;
        double growth;
    };
    static const Source sources[5][4] = {
        {{1, 30000, 5000}, {2, 50000, 5000}, {3, 50000, 10000}, {4, 40000, 5000}},
        {{0, 200000, 100000}, {2, 50000, 5000}, {3, 50000, 10000}, {4, 40000, 5000}},
        {{0, 200000, 100000}, {1, 30000, 5000}, {3, 30000, 10000}, {4, 50000, 5000}},
        {{0, 200000, 100000}, {1, 30000, 5000}, {2, never, 5000}, {4, 40000, 5000}},
        {{0, 200000, 100000}, {1, 30000, 5000}, {2, 40000, 5000}, {3, 30000, 10000}},
    };
    for (int b = 0; b < 5; ++b) {
        if (Have(player, order[b]) >= minimum[b])
            continue;
        for (const Source& s : sources[b]) {
            const std::uint8_t r = order[s.from];
            const double value = Have(player, r);
            const double floor = s.from < b ? minimum[s.from] + lot[s.from] : 0.0;
            if (value > floor && (value > s.surplus || (value > s.growth && Grew(player, r)))) {
                ExchangeResources(player, r, order[b], lot[s.from]);
                return true;
            }
        }
        return false;
    }
    return false;
}

double ExchangeResources(std::uint8_t player, std::uint8_t sold, std::uint8_t bought, double lot)
{
    if (Record(player) == nullptr || sold >= 5 || bought >= 5)
        return 0.0;
    const double gain = lot * MarketRate(kGoodOf[sold], kGoodOf[bought]);
    AddResourceAmount(player, bought, gain);
    AddResourceAmount(player, sold, -lot);
    AddMarketTotals(player, kGoodOf[sold], static_cast<float>(lot), kGoodOf[bought], static_cast<float>(gain));
    if (player == MyPlayer)
        RefreshMarketPage();
    return gain;
}

// ---- the players' planners ---------------------------------------------------------------------

std::unique_ptr<TStrategAI> MakeStrategAI(std::uint8_t player)
{
    // Nothing reads the creator's byte; the game passes 0.
    auto ai = std::make_unique<TComputerStrategAI>(0);
    ai->Player = player;
    ai->LoadTemplate(COMPUTER_TEMPLATE_FILE);
    return ai;
}

bool IsComputerPlayer(std::uint8_t player)
{
    const TStrateg* p = Record(player);
    return p != nullptr && p->Kind == PLAYER_KIND_COMPUTER;
}

bool AdvisorWorkersOption(std::uint8_t player)
{
    return Advisor(player, 1);
}

void ComputerPlayerStep(TStrateg* player)
{
    if (player != nullptr && player->Planner)
        player->Planner->AIStep();
}

void SaveComputerPlayers(TOfStreamMemory& out)
{
    for (std::uint8_t p = 0; p < g_wNumPlayer && p < 8; ++p) {
        const TStrateg* record = g_Strateg[p];
        const bool manager = record != nullptr && record->GroupManager;
        out.WriteU8(manager ? 1 : 0);
        if (manager)
            SaveGroupManagerExtra(p, out);
        const bool planner = record != nullptr && IsPlayerInGame(p) && record->Planner;
        out.WriteU8(planner ? 1 : 0);
        if (planner)
            record->Planner->SaveBasePoints(out);
    }
}

bool LoadComputerPlayers(TIfStreamMemory& in)
{
    // A block for a player who has no such object is passed over whole.
    auto skip = [&in](std::int32_t bytes) {
        if (in.Remaining() < bytes)
            return false;
        in.Seek(in.Pos() + bytes);
        return true;
    };
    for (std::uint8_t p = 0; p < g_wNumPlayer && p < 8; ++p) {
        TStrateg* record = g_Strateg[p];
        std::uint8_t flag = 0;
        if (!in.ReadU8(flag) || flag > 1)
            return Refuse("computer players block");
        if (flag == 1) {
            const bool ok = record != nullptr && record->GroupManager ? LoadGroupManagerExtra(p, in) : skip(5);
            if (!ok)
                return Refuse("group manager block");
        }
        if (!in.ReadU8(flag) || flag > 1)
            return Refuse("computer players block");
        if (flag == 1) {
            const bool ok = record != nullptr && IsPlayerInGame(p) && record->Planner
                                ? record->Planner->LoadBasePoints(in)
                                : skip(AI_BASE_POINTS_BYTES);
            if (!ok)
                return Refuse("planner block");
        }
    }
    return true;
}

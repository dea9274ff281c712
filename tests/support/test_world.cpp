#include "support/test_world.h"

#include <algorithm>
#include <cstring>

#include "combat/target_grid.h"
#include "core/app_state.h"
#include "core/memory_stream.h"
#include "core/random_table.h"
#include "map/map_grid.h"
#include "map/map_objects.h"
#include "map/trenches.h"
#include "movement/passability.h"
#include "parameters.h"
#include "players/strateg.h"
#include "sample_types.h"
#include "units/house.h"
#include "units/parameter_files.h"
#include "units/unit.h"
#include "units/unit_types.h"

namespace testworld {

namespace {

constexpr std::uint8_t kFlatHeight = 50;

void PutU16(std::vector<std::uint8_t>& out, std::uint16_t v)
{
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutF32(std::vector<std::uint8_t>& out, float v)
{
    std::uint32_t bits = 0;
    std::memcpy(&bits, &v, 4);
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
}

int ObjectKindOf(std::uint16_t code, std::uint16_t& first)
{
    if (code >= kObjectTreeFirst && code <= kObjectTreeLast) {
        first = kObjectTreeFirst;
        return OBJ_TREES;
    }
    if (code >= kObjectStoneFirst && code <= kObjectStoneLast) {
        first = kObjectStoneFirst;
        return OBJ_STONES;
    }
    first = kObjectMiscFirst;
    return OBJ_MISC;
}

} // namespace

TPixel CellCentre(std::int32_t x, std::int32_t y)
{
    return {static_cast<float>(x * kCellWidth + ((y & 1) != 0 ? kCellWidth / 2 : 0)), static_cast<float>(y * kRowStep)};
}

TestWorld::TestWorld(std::uint16_t width, std::uint16_t height, const std::vector<TPlayerSetup>& players)
{
    m_SavedMovement = MovementMapServices();
    m_SavedBattle = BattleServices();
    m_SavedUnits = UnitServices();
    m_SavedRandIndex = g_RandIndex;
    m_SavedRandTable.assign(g_RandTable, g_RandTable + kRandTableSize);
    m_SavedMyPlayer = MyPlayer;

    DestroyMap();
    g_MapWidth = width;
    g_MapHeight = height;
    SetMapGeometry();
    FillHeights(kFlatHeight);
    g_TrenchList.Clear();
    for (auto& records : g_ObjRecords)
        records.clear();

    FreeUnitTypes();
    ResetUnitCounters();
    g_UnitIdCounter = 0;
    std::set<std::uint8_t> nations;
    for (const TPlayerSetup& p : players)
        nations.insert(p.nation);
    for (std::uint8_t nation : nations)
        for (const auto& t : sampledata::kSampleUnitTypes)
            CreateUnitTypeFromParams(nation, t.type, sampledata::SampleUnitRecord(nation, t));

    m_Players = static_cast<std::uint8_t>(std::min<std::size_t>(players.size(), 8));
    for (std::uint8_t p = 0; p < m_Players; ++p) {
        auto* s = new TStrateg;
        s->Number = p;
        s->Nation = players[p].nation;
        s->SetTeam(players[p].team == 0 ? 255 : static_cast<std::uint8_t>(players[p].team - 1));
        g_Strateg[p] = s;
        g_pHouse[p] = NewHouseArray(HOUSE_PLAYER_CAPACITY);
        s->Houses = g_pHouse[p];
        NumHouse[p] = 0;
    }
    // Relations are set toward the players of the game, so the count comes first.
    g_wNumPlayer = m_Players;
    for (std::uint8_t p = 0; p < m_Players; ++p)
        g_Strateg[p]->SetRelationsFromTeams();
    MyPlayer = 0;

    MovementMapServices().isWater = [this](std::int32_t x, std::int32_t y) { return m_Water.count({x, y}) != 0; };
    TBattleServices& b = BattleServices();
    b.playSound = [this](std::uint8_t category, const void* object, std::uint8_t subKind, std::uint8_t priority) {
        sounds.push_back({category, object, subKind, priority});
    };
    b.showMessage = [this](const char16_t* text, std::uint32_t) { messages.emplace_back(text != nullptr ? text : u""); };
    b.refreshPanel = [this] { ++panelRefreshes; };
    // What units ask elsewhere that the world does not model: nothing to draw, nobody selected.
    TUnitServices& u = UnitServices();
    u.getObjectAt = [](TUnit*) {};
    u.deselect = [](std::uint8_t, TUnit*) {};
    u.refreshPanel = [this] { ++panelRefreshes; };
    BuildPassMaps();
}

TestWorld::~TestWorld()
{
    // The units go without DeleteUnit: nothing filed may outlive them.
    g_TargetGrid.ClearBoth();
    for (std::uint8_t p = 0; p < 8; ++p) {
        if (g_Strateg[p] == nullptr)
            continue;
        for (TUnit* u = g_Strateg[p]->FirstUnit; u != nullptr;) {
            TUnit* next = u->m_pNext;
            UnregisterShip(u);
            delete u;
            u = next;
        }
        g_Strateg[p]->FirstUnit = nullptr;
        FreePlayerHouses(p);
        delete g_Strateg[p];
        g_Strateg[p] = nullptr;
    }
    FreeUnitsMap();
    ResetUnitCounters();
    g_wNumPlayer = 0;
    DestroyMap();
    FreePathBuffers();
    g_TrenchList.Clear();
    for (auto& records : g_ObjRecords)
        records.clear();
    FreeUnitTypes();
    MovementMapServices() = m_SavedMovement;
    BattleServices() = m_SavedBattle;
    UnitServices() = m_SavedUnits;
    std::copy(m_SavedRandTable.begin(), m_SavedRandTable.end(), g_RandTable);
    g_RandIndex = m_SavedRandIndex;
    MyPlayer = m_SavedMyPlayer;
}

void TestWorld::SetHeight(std::int32_t x, std::int32_t y, std::uint8_t h)
{
    g_pHeightMap[CellIndex(x, y)] = h;
}

void TestWorld::FillHeights(std::uint8_t h)
{
    std::fill(g_pHeightMap, g_pHeightMap + g_MapCellCount, h);
}

void TestWorld::SetObject(std::int32_t x, std::int32_t y, std::uint16_t code)
{
    g_pObjectMap[CellIndex(x, y)] = code;
}

void TestWorld::SetObjectClass(std::uint16_t code, std::uint8_t blockingClass)
{
    std::uint16_t first = 0;
    const int kind = ObjectKindOf(code, first);
    auto& records = g_ObjRecords[kind];
    if (records.size() <= static_cast<std::size_t>(code - first))
        records.resize(code - first + 1);
    records[code - first].classByte = blockingClass;
}

void TestWorld::SetWater(std::int32_t x, std::int32_t y, bool water)
{
    if (water)
        m_Water.insert({x, y});
    else
        m_Water.erase({x, y});
}

void TestWorld::SetAdvancedPath(std::int32_t x, std::int32_t y, std::uint8_t value)
{
    g_pCellFlags[CellIndex(x, y)] = value;
}

std::uint16_t TestWorld::AddTrench(std::int32_t x, std::int32_t y, bool finished, std::uint8_t kind)
{
    std::vector<std::uint8_t> entry;
    entry.push_back(kind);
    PutU16(entry, static_cast<std::uint16_t>(x));
    PutU16(entry, static_cast<std::uint16_t>(y));
    PutF32(entry, finished ? -1.0f : kTrenchNewCountdown);
    PutF32(entry, kTrenchNewStrength);
    entry.push_back(1);
    m_TrenchBlock.push_back(entry);
    ReloadTrenches();
    const auto index = static_cast<std::uint16_t>(m_TrenchBlock.size() - 1);
    SetObject(x, y, static_cast<std::uint16_t>(kObjectTrenchListFirst + index));
    return index;
}

void TestWorld::ReloadTrenches()
{
    std::vector<std::uint8_t> block;
    PutU16(block, static_cast<std::uint16_t>(std::max<std::size_t>(kTrenchListGrowth, m_TrenchBlock.size())));
    PutU16(block, static_cast<std::uint16_t>(m_TrenchBlock.size()));
    for (const auto& e : m_TrenchBlock)
        block.insert(block.end(), e.begin(), e.end());
    TIfStreamMemory in(block.data(), static_cast<std::int32_t>(block.size()));
    g_TrenchList.LoadTrenchList(in);
}

std::uint16_t TestWorld::AddNeutralHouse(std::int32_t x, std::int32_t y, std::uint16_t type)
{
    const std::uint16_t index = g_NeutralHouseCount++;
    THouse& h = g_pHouse[kNeutralHouseSlot][index];
    h.X = x;
    h.Y = y;
    h.HouseType = type;
    h.Owner = HOUSE_NO_OWNER;
    h.Index = index;
    SetObject(x, y, NeutralHouseCode(index));
    return index;
}

THouse* TestWorld::AddPlayerHouse(std::uint8_t player, std::int32_t x, std::int32_t y, THouseType* type)
{
    const std::uint16_t index = NumHouse[player]++;
    THouse* h = HouseAt(g_pHouse[player], index);
    h->X = x;
    h->Y = y;
    h->Index = index;
    h->Owner = player;
    h->TypeRecord = type;
    SetObject(x, y, PlayerHouseCode(player, index));
    return h;
}

void TestWorld::BuildPassMaps()
{
    MakeBasicMap();
}

TStrateg* TestWorld::Player(std::uint8_t p) const
{
    return p < 8 ? g_Strateg[p] : nullptr;
}

void TestWorld::SetAllies(std::uint8_t a, std::uint8_t b, bool allies)
{
    g_Strateg[a]->Relations[b] = allies ? 1 : 0;
    g_Strateg[b]->Relations[a] = allies ? 1 : 0;
}

TUnit* TestWorld::AddUnit(std::uint8_t player, std::uint16_t type, std::int32_t x, std::int32_t y)
{
    if (player >= m_Players || GetUnitType(g_Strateg[player]->Nation, type) == nullptr)
        return nullptr;
    const TPixel at = CellCentre(x, y);
    TUnit* u = CreateUnit(at.x, at.y, type, g_Strateg[player]->Nation);
    if (AddUnitToPlayer(player, u) == UNIT_NO_INDEX) {
        UnregisterShip(u);
        delete u;
        return nullptr;
    }
    return u;
}

std::vector<TUnit*> TestWorld::UnitsIn(std::int32_t x, std::int32_t y)
{
    std::vector<TUnit*> out;
    TUnit** list = g_pUnitsMap[CellIndex(x, y)];
    for (int i = 0; list != nullptr && i < kCellUnitCapacity && list[i] != nullptr; ++i)
        out.push_back(list[i]);
    return out;
}

void TestWorld::SetRandomIndex(std::uint16_t index)
{
    g_RandIndex = index;
}

void TestWorld::SetNextRandomValues(const std::vector<std::uint16_t>& values)
{
    std::uint16_t at = g_RandIndex;
    for (std::uint16_t v : values)
        g_RandTable[at++] = v;
}

} // namespace testworld

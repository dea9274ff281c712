#include "units/house.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <unordered_map>

#include "combat/house_events.h"
#include "core/error_log.h"
#include "core/random_table.h"
#include "core/string_table.h"
#include "devices/sound.h"
#include "map/map_file.h"
#include "map/map_grid.h"
#include "map/map_view.h"
#include "map/site_queries.h"
#include "movement/house_moves.h"
#include "movement/passability.h"
#include "players/house_orders.h"
#include "players/strateg.h"
#include "ui/panel.h"
#include "units/anim_slots.h"
#include "units/build_site.h"
#include "units/building_graphics.h"
#include "units/house_behaviour.h"
#include "units/house_links.h"
#include "units/house_queue.h"
#include "units/house_types.h"
#include "units/record_io.h"
#include "units/unit.h"
#include "units/unit_lists.h"

THouse* g_pHouse[kHouseSlots] = {};
std::uint16_t NumHouse[8] = {};
THouseCounters g_HouseCounters[8] = {};

namespace {

// Capacities of the arrays NewHouseArray made, so that placing never writes past one.
std::unordered_map<const THouse*, std::uint32_t>& ArrayCapacities()
{
    static std::unordered_map<const THouse*, std::uint32_t> capacities;
    return capacities;
}

std::uint32_t ArrayCapacity(const THouse* houses)
{
    const auto it = ArrayCapacities().find(houses);
    return it == ArrayCapacities().end() ? 0 : it->second;
}

plat::Point Step(plat::Point p, std::uint8_t direction, int times)
{
    for (int i = 0; i < times; ++i)
        p = GetNeighbourPoint(p, direction);
    return p;
}

constexpr std::uint8_t kNE = 1;
constexpr std::uint8_t kSE = 2;
constexpr std::uint8_t kNW = 4;
constexpr std::uint8_t kS = 6;

void RedrawAround(std::int32_t x, std::int32_t y)
{
    HouseServices().redrawMiniMap(x - 5, y - 10, x + 5, y + 10);
    if (IsCellNearView(x, y))
        g_bMapViewDirty = 1;
}

std::uint8_t NationOf(std::uint8_t player)
{
    return HouseServices().nation(player);
}

// The per-type extras of AddHouse and PlaceLoadedHouse: aprons and airfields.
void WriteApron(const THouse& h, const char* message)
{
    const THouseType& t = h.Type();
    const int rows = h.HouseType == HOUSE_TANK_FACTORY ? 2 : 6;
    const std::uint16_t code = h.HouseType == HOUSE_TANK_FACTORY ? OBJECT_TANK_APRON : OBJECT_AIRFIELD;
    const std::uint16_t height = GetHeightFromMap(plat::Point{h.X, h.Y});
    for (const plat::Point& p : ApronCells({h.X, h.Y}, t.m_FootprintRows, rows)) {
        if (!CellPointInMap(p)) {
            ReportError(message);
            continue;
        }
        SetObjectMap(p, code);
        SetHeightMap(static_cast<std::uint16_t>(p.x), static_cast<std::uint16_t>(p.y), height);
    }
}

void ClearApron(const THouse& h)
{
    const THouseType& t = h.Type();
    const int rows = h.HouseType == HOUSE_TANK_FACTORY ? 2 : 6;
    const std::uint16_t code = h.HouseType == HOUSE_TANK_FACTORY ? OBJECT_TANK_APRON : OBJECT_AIRFIELD;
    for (const plat::Point& p : ApronCells({h.X, h.Y}, t.m_FootprintRows, rows))
        if (CellPointInMap(p) && GetObjectFromMap(p) == code)
            SetObjectMap(p, kObjectFree);
}

// A computer player's new building may have covered the rally cells of its other buildings.
void CheckComputerRallyPoints()
{
    for (std::uint8_t p = 0; p < 8; ++p) {
        if (g_Strateg[p] == nullptr || !HouseServices().isComputerPlayer(p) || g_pHouse[p] == nullptr)
            continue;
        for (std::uint16_t i = 0; i < NumHouse[p]; ++i) {
            THouse& h = g_pHouse[p][i];
            if (h.Destroyed != 0 || !h.IsFinished() || h.TypeRecord == nullptr)
                continue;
            if (h.HouseType == HOUSE_PORT) {
                HouseServices().clampRallyIntoShipGrid(&h);
                continue;
            }
            const plat::Point rally = PixelToFlatCell(h.RallyX, h.RallyY);
            if (HouseServices().isCellFreeForUnit(rally.x, rally.y))
                continue;
            // The nearest free cell, searched in growing squares.
            bool moved = false;
            for (int r = 1; r < 20 && !moved; ++r)
                for (int dy = -r; dy <= r && !moved; ++dy)
                    for (int dx = -r; dx <= r && !moved; ++dx) {
                        if (std::max(std::abs(dx), std::abs(dy)) != r)
                            continue;
                        const plat::Point c{rally.x + dx, rally.y + dy};
                        if (CellPointInMap(c) && HouseServices().isCellFreeForUnit(c.x, c.y)) {
                            const TFloatPoint px = HouseReferencePixel(c.x, c.y);
                            h.RallyX = px.x;
                            h.RallyY = px.y;
                            moved = true;
                        }
                    }
        }
    }
}

// Bounds and flattening shared by SetOnMap's first pass.
void WriteFootprintCell(const THouse& h, const plat::Point& p, std::uint16_t code, std::uint16_t h0)
{
    SetObjectMap(p, code);
    const auto x = static_cast<std::uint16_t>(p.x);
    const auto y = static_cast<std::uint16_t>(p.y);
    if (h.HouseType == HOUSE_PORT) {
        if (!HouseServices().isWater(p.x, p.y))
            SetHeightMap(x, y, 90);
    } else {
        SetHeightMap(x, y, h0);
    }
}

} // namespace

std::vector<plat::Point> BarnFieldCells(const THouse& h)
{
    const THouseType& t = h.Type();
    return AreaCells({h.X, h.Y + 6}, t.m_FootprintCells + 6, t.m_FootprintRows + 6);
}

// ---- services ---------------------------------------------------------------------------------

THouseServices THouseServices::Default()
{
    THouseServices s;
    s.isWater = [](std::int32_t x, std::int32_t y) { return IsTileOnWater(x, y); };
    s.redrawMiniMap = [](std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) {
        RedrawMiniMapCells(x0, y0, x1, y1);
    };
    s.rebuildShipGrid = [](std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) {
        RebuildShipGrid(x0, y0, x1, y1);
    };
    s.clearCellPassability = [](std::int32_t x, std::int32_t y) { ClearCellPassability(x, y); };
    s.shipPassValue = [](std::int32_t x, std::int32_t y) { return GetShipPassValue(x, y); };
    s.advancedPathByte = [](std::int32_t x, std::int32_t y) { return GetAdvancedPathByte(x, y); };
    s.mapObjectClass = [](std::uint16_t code) { return GetMapObjectClass(code); };
    s.mapSeason = [] { return g_MapSeason; };
    s.recomputePassability = [](std::int32_t x, std::int32_t y, std::int32_t r) { RecalcPassabilityAround(x, y, r); };
    s.isCellFreeForUnit = [](std::int32_t x, std::int32_t y) {
        plat::Point cell{x, y};
        return IsCellFreeForUnit(cell, nullptr);
    };
    s.clampRallyIntoShipGrid = [](THouse* h) { ClampPointIntoShipGrid(h->RallyX, h->RallyY); };
    s.freePointsAroundHouse = [](const THouse* h) { return GetFreePointsAroundHouse(h); };
    s.removeUnitFromGame = [](TUnit* u) { RemoveUnitFromGame(u, HOUSE_NO_DESTROYER); };
    s.mayPushUnit = [](const TUnit* u) { return MayPushUnit(u); };
    s.pushUnitOut = [](TUnit* u, const THouse* h, TFloatPoint p) { PushUnitOutOfHouse(u, h, p.x, p.y); };
    s.getUnitOutOfHouse = [](THouse* h, TUnit* u) { GetUnitOutOfHouse(h, u); };
    s.leaveHouse = [](TUnit* u) { LeaveHouse(u); };
    s.explosion = [](float x, float y, float lift, std::uint32_t delay) { StartHouseExplosion(x, y, lift, delay); };
    s.houseLeaveHandler = [](THouse* h) {
        if (h->Owner == HOUSE_NO_OWNER)
            NeutralHouseLeaveHandler(h);
        else
            HouseLeaveHandler(h);
    };
    s.leaveGroups = [](THouse* h) { RemoveHouseFromGroups(h); };
    s.playDestructionSound = [](THouse* h) { PlaySoundEvent(SOUND_BUILDING, h, 0, 0); };
    s.refreshPanel = [] { UpdateInterfacePanel(0); };
    s.takeEmplacementUnitGraphic = [](THouse* h) { TakeEmplacementUnitGraphic(h); };
    s.releaseEmplacementUnitGraphic = [](THouse* h) { ReleaseEmplacementUnitGraphic(h); };
    s.canAfford = [](std::uint8_t p, std::uint16_t t) { return CanAffordHouse(p, t); };
    s.pay = [](std::uint8_t p, std::uint16_t index) { PayForHouse(p, index); };
    s.sendWorkers = [](std::uint8_t p, THouse* h) { SendSelectedWorkersToHouse(p, h); };
    s.isComputerPlayer = [](std::uint8_t p) { return IsComputerPlayer(p); };
    s.advisorWorkers = [](std::uint8_t p) { return AdvisorWorkersOption(p); };
    s.nation = [](std::uint8_t p) -> std::uint8_t {
        return p < 8 && g_Strateg[p] != nullptr && g_Strateg[p]->Nation < HOUSE_NEUTRAL_SIDE ? g_Strateg[p]->Nation : 0;
    };
    s.lowerPowerDemand = [](std::uint8_t p, float need) {
        if (p < 8)
            g_PowerDemand[p] -= need;
    };
    s.raisePowerDemand = [](std::uint8_t p, float need) {
        if (p < 8)
            g_PowerDemand[p] += need;
    };
    s.houseComeHandler = [](THouse* h) { HouseComeHandler(h); };
    s.tellGroupManager = [](THouse* h) { return TellGroupManagerHouseAttacked(h); };
    s.showRangeRing = [](const THouse* h, float range) { ShowHouseRangeRing(h, range); };
    return s;
}

THouseServices& HouseServices()
{
    static THouseServices services = THouseServices::Default();
    return services;
}

// ---- the record -------------------------------------------------------------------------------

THouse::~THouse()
{
    FreeGraphicBuffers();
}

void THouse::TakeFrom(THouse& source)
{
    FreeGraphicBuffers();
    static_cast<THouseRecord&>(*this) = static_cast<const THouseRecord&>(source);
    source.Inside = nullptr;
    source.InsideCount = 0;
    source.Queue = nullptr;
    source.QueueCount = 0;
    source.Animations = nullptr;
    source.AnimationCount = 0;
}

namespace {

// One table for both directions of the stored record.
template <class IO, class H>
void MapHouseRecord(const IO& io, H& h)
{
    io.Field(4, h.Index);
    io.Field(8, h.X);
    io.Field(12, h.Y);
    io.Field(16, h.DoorX);
    io.Field(20, h.DoorY);
    io.Field(24, h.ExitX);
    io.Field(28, h.ExitY);
    io.Field(32, h.BuildWork);
    io.Field(34, h.HouseType);
    io.Field(36, h.HitPoints);
    io.Field(40, h.Destroyed);
    io.Field(42, h.InsideCount);
    io.Field(48, h.KeepInside);
    io.Field(52, h.RallyX);
    io.Field(56, h.RallyY);
    io.Field(60, h.QueueCount);
    io.Field(68, h.ProductionTimer);
    io.Field(72, h.Selected);
    io.Field(73, h.Owner);
    io.Field(74, h.EndlessUnpaid);
    io.Field(80, h.AnimationCount);
    io.Array(81, h.HandlerBytes);
    io.Field(92, h.UpgradeRunning);
    io.Field(96, h.UpgradeCountdown);
    io.Field(100, h.UpgradeInProgress);
    io.Field(101, h.UpgradeLevel);
    io.Field(102, h.Capacity);
    io.Field(104, h.MaxHitPoints);
    io.Field(106, h.UpgradeFlag);
    io.Field(112, h.Output);
    io.Field(116, h.Shots);
    io.Field(120, h.ReloadA);
    io.Field(124, h.ReloadB);
    io.Field(128, h.Range);
    io.Field(132, h.TargetPlayer);
    io.Field(140, h.FireValue);
    io.Field(141, h.PhaseState);
    io.Field(142, h.PhaseVariant);
    io.Field(143, h.PrevPhaseState);
    io.Field(144, h.PrevPhaseVariant);
    io.Field(168, h.AlarmCountdown);
    io.Field(172, h.m_ShipSideForPort);
    io.Field(180, h.TakeOffCountdown);
    io.Field(184, h.UnitMode);
    io.Field(185, h.FinishedHeld);
    io.Array(186, h.ConstructionHeld);
    io.Array(190, h.RuinHeld);
}

} // namespace

void WriteHouseRecord(const THouse& house, std::uint8_t* out)
{
    std::memset(out, 0, HOUSE_RECORD_SIZE);
    const TRecordWriter io(out);
    const std::uint32_t typeIndex =
        house.TypeRecord != nullptr ? static_cast<std::uint32_t>(house.TypeRecord - g_HouseTypes) : 0xFFFFFFFFu;
    io.Field(0, typeIndex);
    MapHouseRecord(io, house);
    // The link block carries the ship itself; the slot only says that it does.
    io.Field(HOUSE_RECORD_SHIP_SLOT, std::uint32_t{house.ShipUnderConstruction != nullptr ? 1u : 0u});
}

bool ReadHouseRecord(std::span<const std::uint8_t> bytes, THouse& house)
{
    if (bytes.size() < static_cast<std::size_t>(HOUSE_RECORD_SIZE)) {
        ReportError("ReadHouseRecord: the building record is cut short");
        return false;
    }
    const TRecordReader io(bytes.data());
    std::uint32_t typeIndex = 0;
    io.Field(0, typeIndex);
    THouseRecord r;
    MapHouseRecord(io, r);
    if (typeIndex >= static_cast<std::uint32_t>(HOUSE_TYPE_COUNT) || r.HouseType >= HOUSE_TYPES_PER_SIDE ||
        r.PhaseState > HOUSE_STATE_RUIN || r.PrevPhaseState > HOUSE_STATE_RUIN ||
        HousePhaseCode(r.PhaseState, r.PhaseVariant) < 0 || HousePhaseCode(r.PrevPhaseState, r.PrevPhaseVariant) < 0 ||
        r.m_ShipSideForPort > PORT_SIDE_FIRST_CELL) {
        ReportErrorInt("ReadHouseRecord: a building record with a bad type or state, type index ", typeIndex);
        return false;
    }
    // The handlers turn some of these into integers (the output into population room).
    const float values[] = {r.DoorX, r.DoorY, r.ExitX, r.ExitY, r.HitPoints, r.RallyX, r.RallyY, r.ProductionTimer,
                            r.UpgradeCountdown, r.Output, r.ReloadA, r.ReloadB, r.Range};
    if (!std::all_of(std::begin(values), std::end(values), [](float v) { return std::isfinite(v); })) {
        ReportErrorInt("ReadHouseRecord: a building record with a value that is not a number, type index ", typeIndex);
        return false;
    }
    r.OffMap = r.HitPoints <= HOUSE_HP_OFF_MAP ? 1 : 0;
    house.FreeGraphicBuffers();
    static_cast<THouseRecord&>(house) = r;
    house.TypeRecord = &g_HouseTypes[typeIndex];
    // The arrays are rebuilt by their owners' blocks; the stored counts only describe them.
    house.Inside = nullptr;
    house.InsideCount = 0;
    house.Queue = nullptr;
    house.QueueCount = 0;
    house.Animations = nullptr;
    house.AnimationCount = 0;
    return true;
}

// ---- the arrays -------------------------------------------------------------------------------

THouse* NewHouseArray(std::uint32_t count)
{
    if (count == 0)
        return nullptr;
    THouse* houses = new THouse[count];
    ArrayCapacities()[houses] = count;
    return houses;
}

void DeleteHouseArray(THouse* houses)
{
    if (houses == nullptr)
        return;
    for (std::uint32_t i = 0, n = ArrayCapacity(houses); i < n; ++i)
        houses[i].ReleaseAllPhases();
    ArrayCapacities().erase(houses);
    delete[] houses;
}

THouse* HouseAt(THouse* houses, std::uint32_t index)
{
    if (houses == nullptr || index >= ArrayCapacity(houses))
        return nullptr;
    return &houses[index];
}

THouse* HouseFromObjectCode(std::uint16_t code)
{
    if (code >= kObjectNeutralHouseFirst && code <= kObjectNeutralHouseLast) {
        const std::uint32_t i = code - kObjectNeutralHouseFirst;
        return i < g_NeutralHouseCount ? HouseAt(g_pHouse[kNeutralHouseSlot], i) : nullptr;
    }
    if (code >= kObjectPlayerHouseFirst && code <= kObjectPlayerHouseLast) {
        const std::uint32_t p = HouseCodePlayer(code);
        const std::uint32_t i = HouseCodeIndex(code);
        return i < NumHouse[p] ? HouseAt(g_pHouse[p], i) : nullptr;
    }
    return nullptr;
}

bool GetHouseMapFields(const THouse* house, THouseMapFields& out)
{
    if (house == nullptr || house->TypeRecord == nullptr)
        return false;
    out.type = house->HouseType;
    out.state = house->BuildWork;
    out.strength = house->HitPoints;
    out.maxStrength = house->MaxHitPoints;
    out.buildTotal = house->TypeRecord->m_BuildWork;
    out.owner = house->Owner;
    out.secondState = house->Destroyed;
    out.rallyX = house->RallyX;
    out.rallyY = house->RallyY;
    return true;
}

bool GetHouseSoundFields(const THouse* house, THouseSoundFields& out)
{
    if (house == nullptr || house->TypeRecord == nullptr)
        return false;
    const THouseType& t = *house->TypeRecord;
    const TFloatPoint ref = HouseReferencePixel(house->X, house->Y);
    out.x = ref.x;
    out.y = ref.y;
    out.buildWork = house->BuildWork;
    out.houseType = static_cast<std::int16_t>(house->HouseType);
    out.owner = house->Owner;
    out.number = static_cast<std::int16_t>(house->Index);
    out.typeWidth = t.m_SpriteWidth;
    out.typeHeight = t.m_SpriteHeight;
    out.typeOffsetX = static_cast<std::int16_t>(t.m_AnchorX);
    out.typeOffsetY = static_cast<std::int16_t>(t.m_AnchorY);
    out.typeFireY = 0;
    return true;
}

std::uint32_t HouseLinkSlot(const THouse* house)
{
    if (house == nullptr)
        return 0xFFFFFFFFu;
    return (static_cast<std::uint32_t>(house->Owner) << 16) | house->Index;
}

// ---- geometry ---------------------------------------------------------------------------------

namespace {

// Rows of cells: each row steps `along`, each next row starts one step `across` from the last.
std::vector<plat::Point> WalkRows(const plat::Point& start, int rows, int perRow, std::uint8_t along,
                                  std::uint8_t across)
{
    std::vector<plat::Point> out;
    if (rows <= 0 || perRow <= 0)
        return out;
    out.reserve(static_cast<std::size_t>(rows) * perRow);
    plat::Point rowStart = start;
    for (int r = 0; r < rows; ++r, rowStart = GetNeighbourPoint(rowStart, across)) {
        plat::Point p = rowStart;
        for (int c = 0; c < perRow; ++c, p = GetNeighbourPoint(p, along))
            out.push_back(p);
    }
    return out;
}

} // namespace

std::vector<plat::Point> AreaCells(const plat::Point& start, int rows, int cellsPerRow)
{
    return WalkRows(start, rows, cellsPerRow, kNE, kNW);
}

std::vector<plat::Point> FootprintCells(const plat::Point& reference, int rows, int cells)
{
    return WalkRows(reference, rows, cells, kNW, kNE);
}

std::vector<plat::Point> ApronCells(const plat::Point& reference, int rowsLong, int rowCount)
{
    return AreaCells(Step(reference, kSE, rowCount == 2 ? 2 : 6), rowCount, rowsLong);
}

TFloatPoint HouseReferencePixel(std::int32_t x, std::int32_t y)
{
    return {static_cast<float>(96 * x + ((y & 1) != 0 ? 48 : 0)), static_cast<float>(24 * y + 24)};
}

bool IsCellNearView(std::int32_t x, std::int32_t y)
{
    return x >= g_ViewX - 6 && x < g_ViewX + g_ViewCols + 6 && y >= g_ViewY - 30 && y < g_ViewY + g_ViewRows + 30;
}

// ---- creating the record ----------------------------------------------------------------------

void AttachTypeAnimations(THouse& h)
{
    delete[] h.Animations;
    h.Animations = nullptr;
    h.AnimationCount = 0;
    if (h.TypeRecord == nullptr)
        return;
    const THouseType& t = h.Type();
    const int animations = std::min<int>(t.m_AnimationCount, HOUSE_LIST_SIZE);
    if (animations <= 0)
        return;
    h.Animations = new THouseAnimation[animations];
    h.AnimationCount = static_cast<std::uint8_t>(animations);
    for (int i = 0; i < animations; ++i) {
        const std::uint16_t slot = t.m_AnimationSlots[i];
        h.Animations[i].slot = slot < ANIMATION_SLOT_COUNT ? &g_Animations[slot] : nullptr;
        h.Animations[i].x = t.m_AnimationX[i];
        h.Animations[i].y = t.m_AnimationY[i];
    }
}

THouse* CreateHouseRecord(std::int32_t x, std::int32_t y, std::uint16_t type, std::uint8_t nation)
{
    if (type >= HOUSE_TYPES_PER_SIDE || nation >= HOUSE_SIDES) {
        ReportErrorInt("CreateHouseRecord: no building type ", type);
        return nullptr;
    }
    THouseType& t = HouseType(nation, type);
    auto* h = new THouse;
    h->InitGraphicState();
    h->TypeRecord = &t;
    h->X = x;
    h->Y = y;
    h->HouseType = type;
    h->HitPoints = t.m_HitPoints;
    h->MaxHitPoints = t.m_HitPoints;
    h->Capacity = t.m_Capacity;
    h->BuildWork = t.m_BuildWork;
    h->Output = t.m_Output;
    h->KeepInside = 1;
    h->Shots = 1;
    h->ReloadA = 20.0f;
    h->ReloadB = 20.0f;
    h->Range = type == HOUSE_PORT ? 1000.0f : type == HOUSE_AIR_HANGAR ? 1500.0f : 700.0f;
    h->TargetPlayer = 255;
    h->FireValue = type == HOUSE_WATCHTOWER ? 18 : 13;

    AttachTypeAnimations(*h);

    const TFloatPoint ref = HouseReferencePixel(x, y);
    h->DoorX = ref.x - t.m_AnchorX + t.m_DoorX;
    h->DoorY = ref.y - t.m_AnchorY + t.m_DoorY;
    h->ExitX = h->DoorX + static_cast<float>(t.m_ExitX - t.m_DoorX);
    h->ExitY = h->DoorY + static_cast<float>(t.m_ExitY - t.m_DoorY);
    const float dx = h->ExitX - h->DoorX;
    const float dy = h->ExitY - h->DoorY;
    const float length = std::sqrt(dx * dx + dy * dy);
    h->RallyX = h->ExitX;
    h->RallyY = h->ExitY;
    if (length > 0.0f) {
        h->RallyX += 100.0f * dx / length;
        h->RallyY += 100.0f * dy / length;
    }
    return h;
}

// ---- the footprint ----------------------------------------------------------------------------

void THouse::SetOnMap(std::uint16_t code)
{
    const THouseType& t = Type();
    const std::uint16_t h0 = GetHeightFromMap(plat::Point{X, Y});
    if (HouseType == HOUSE_PORT)
        m_ShipSideForPort = GetPortWaterSide({X, Y}, t);
    const std::vector<plat::Point> cells = FootprintCells({X, Y}, t.m_FootprintRows, t.m_FootprintCells);
    for (const plat::Point& p : cells) {
        if (!CellPointInMap(p)) {
            ReportError("void THouse::SetOnMap() end of map");
            continue;
        }
        WriteFootprintCell(*this, p, code, h0);
    }
    for (const plat::Point& p : cells)
        if (CellPointInMap(p))
            ClearUnitsUnderHouse(this, p.x, p.y);
}

void THouse::DelOnMap()
{
    const THouseType& t = Type();
    for (const plat::Point& p : FootprintCells({X, Y}, t.m_FootprintRows, t.m_FootprintCells)) {
        if (!CellPointInMap(p)) {
            ReportError("void THouse::DelOnMap() end of map");
            continue;
        }
        SetObjectMap(p, kObjectFree);
        HouseServices().clearCellPassability(p.x, p.y);
        if (HouseType == HOUSE_PORT && !HouseServices().isWater(p.x, p.y))
            SetHeightMap(static_cast<std::uint16_t>(p.x), static_cast<std::uint16_t>(p.y), 60);
    }
}

std::uint32_t GetPortWaterSide(const plat::Point& cell, const THouseType& t)
{
    const int rows = t.m_FootprintRows;
    const int cells = t.m_FootprintCells;
    if (rows <= 0 || cells <= 0)
        return PORT_SIDE_NONE;
    bool firstRow = true, lastRow = true, firstCell = true, lastCell = true;
    auto water = [](const plat::Point& p) {
        const plat::Point east = GetNeighbourPoint(p, 7);
        return HouseServices().isWater(p.x, p.y) && HouseServices().isWater(east.x, east.y);
    };
    // A side faces the water only when every one of its cells does; a land cell clears every side
    // it lies on (a corner lies on two).
    const std::vector<plat::Point> foot = FootprintCells(cell, rows, cells);
    for (std::size_t i = 0; i < foot.size(); ++i) {
        const int r = static_cast<int>(i) / cells;
        const int c = static_cast<int>(i) % cells;
        const bool border = r == 0 || r == rows - 1 || c == 0 || c == cells - 1;
        if (!border || water(foot[i]))
            continue;
        firstRow = firstRow && r != 0;
        lastRow = lastRow && r != rows - 1;
        firstCell = firstCell && c != 0;
        lastCell = lastCell && c != cells - 1;
    }
    if (firstRow)
        return PORT_SIDE_FIRST_ROW;
    if (lastRow)
        return PORT_SIDE_LAST_ROW;
    if (firstCell)
        return PORT_SIDE_FIRST_CELL;
    if (lastCell)
        return PORT_SIDE_LAST_CELL;
    return PORT_SIDE_NONE;
}

void SetPortExitPoint(THouse* h)
{
    if (h == nullptr || h->TypeRecord == nullptr || h->m_ShipSideForPort == PORT_SIDE_NONE)
        return;
    const float r = h->Type().m_FootprintRows;
    const float c = h->Type().m_FootprintCells;
    const float px = static_cast<float>(48 * ((h->Y & 1) == 0 ? 2 * h->X - 1 : 2 * h->X));
    const float py = static_cast<float>(24 * h->Y);
    float ox = 0, oy = 0, dx = 0, dy = 0;
    switch (h->m_ShipSideForPort) {
    case PORT_SIDE_FIRST_ROW:
        ox = -24 * c - 150;
        oy = 123 - 12 * c;
        dx = -5;
        dy = 10;
        break;
    case PORT_SIDE_LAST_ROW:
        ox = 48 * r - 24 * c + 246;
        oy = -24 * r - 12 * c - 75;
        dx = 5;
        dy = -10;
        break;
    case PORT_SIDE_LAST_CELL:
        ox = 24 * r - 48 * c - 150;
        oy = -24 * c - 12 * r - 75;
        dx = -5;
        dy = -10;
        break;
    case PORT_SIDE_FIRST_CELL:
        ox = 24 * r + 246;
        oy = 123 - 12 * r;
        dx = 5;
        dy = 10;
        break;
    default:
        return;
    }
    h->ExitX = px + ox;
    h->ExitY = py + oy;
    const float length = std::sqrt(dx * dx + dy * dy);
    h->RallyX = h->ExitX + 1000.0f * dx / length;
    h->RallyY = h->ExitY + 1000.0f * dy / length;
}

TFloatPoint GetNearPointFromPoints(std::span<const TFloatPoint> points, float x, float y)
{
    if (points.empty()) {
        ReportError("GetNearPointFromPoints");
        return {0.0f, 0.0f};
    }
    float best = std::numeric_limits<float>::infinity();
    TFloatPoint result = points.front();
    for (const TFloatPoint& p : points) {
        const float dx = p.x - x;
        const float dy = p.y - y;
        const float value = dx * dx + 4.0f * dy * dy;
        if (value < best) {
            best = value;
            result = p;
        }
    }
    return result;
}

void ClearUnitsUnderHouse(THouse* h, std::int32_t x, std::int32_t y)
{
    if (h == nullptr || g_pUnitsMap == nullptr || !CellPointInMap({x, y}))
        return;
    TUnit** list = g_pUnitsMap[y * g_MapWidth + x];
    if (list == nullptr)
        return;
    std::vector<TUnit*> units;
    for (int i = 0; i < kCellUnitCapacity && list[i] != nullptr; ++i)
        units.push_back(list[i]);
    if (units.empty())
        return;
    const std::vector<TFloatPoint> free = HouseServices().freePointsAroundHouse(h);
    if (free.empty()) {
        ReportError("ClearUnitsUnderHouse - no free point near");
        for (TUnit* u : units)
            HouseServices().removeUnitFromGame(u);
        return;
    }
    for (TUnit* u : units) {
        // Only living units outside buildings move; whether the type may be pushed is movement's.
        if (u->Dead != 0 || u->Work == STAY_IN_HOUSE || !HouseServices().mayPushUnit(u))
            continue;
        HouseServices().pushUnitOut(u, h, GetNearPointFromPoints(free, u->X, u->Y));
    }
}

void SetPodlozka(THouse* h, std::uint16_t podl)
{
    if (h == nullptr || h->TypeRecord == nullptr || g_pCellInfo == nullptr)
        return;
    const int rows = h->Type().m_FootprintRows + 2;
    const int cells = h->Type().m_FootprintCells + 2;
    const plat::Point start = GetNeighbourPoint({h->X, h->Y}, kS);
    // A texture number as the cells hold it (from 1): 52 and 136 are the last entries a land
    // texture set of 136 has, so a loaded game, which maps numbers beyond the set to 1, draws
    // the ground the saving game drew.
    const std::uint16_t texture = podl;
    // The footprint's walk, one cell wider on every side.
    const std::vector<plat::Point> area = FootprintCells(start, rows, cells);
    for (std::size_t i = 0; i < area.size(); ++i) {
        const plat::Point& p = area[i];
        const int r = static_cast<int>(i) / cells;
        const int c = static_cast<int>(i) % cells;
        if (!CellPointInMap(p)) {
            ReportError("Вышли за пределы карты SetPodlozka(THouse *h,WORD podl)");
            continue;
        }
        TMapCell& cell = g_pCellInfo[p.y * g_MapWidth + p.x];
        const bool edgeRow = r == 0 || r == rows - 1;
        const bool edgeCell = c == 0 || c == cells - 1;
        if (!edgeRow && !edgeCell) {
            cell.base = static_cast<std::uint16_t>(texture | 0x8000);
            std::fill(std::begin(cell.overlay), std::end(cell.overlay), 0);
            continue;
        }
        // Corners of the ring blend only sometimes, so the patch does not look cut out.
        if (edgeRow && edgeCell) {
            const int chance = (r == 0) == (c == 0) ? 2 : 5;
            if (VisualRand() % chance != 0)
                continue;
        }
        cell.base = static_cast<std::uint16_t>(cell.base | 0x8000);
        if (std::find(std::begin(cell.overlay), std::end(cell.overlay), texture) != std::end(cell.overlay))
            continue;
        const auto empty = std::find(std::begin(cell.overlay), std::end(cell.overlay), 0);
        if (empty != std::end(cell.overlay))
            *empty = texture;
    }
}

void ThinTreesAroundHouse(const THouse* h)
{
    if (h == nullptr)
        return;
    const std::int32_t x0 = std::max(h->X - 5, 4);
    const std::int32_t x1 = std::min(h->X + 5, g_MapWidth - 4);
    const std::int32_t y0 = std::max(h->Y - 10, 10);
    const std::int32_t y1 = std::min(h->Y + 10, g_MapHeight - 10);
    for (std::int32_t y = y0; y <= y1; ++y)
        for (std::int32_t x = x0; x <= x1; ++x) {
            const std::uint16_t value = RandomDraw();
            const std::uint16_t code = GetObjectFromMap(plat::Point{x, y});
            if (value < 16000 && code >= kObjectTreeFirst && code <= kObjectTreeLast)
                SetObjectMap(plat::Point{x, y}, kObjectFree);
        }
}

// ---- placing ----------------------------------------------------------------------------------

namespace {

// The common first steps of AddHouse and PlaceLoadedHouse; HOUSE_NONE when the player has no room.
// A building already taken off the map keeps its index but leaves the map alone.
THouse* StoreHouse(std::uint8_t player, THouse* templ, std::uint16_t& index)
{
    index = HOUSE_NONE;
    if (player >= 8 || templ == nullptr || templ->TypeRecord == nullptr || g_pHouse[player] == nullptr) {
        ReportError("AddHouse: no building array for the player");
        return nullptr;
    }
    const std::uint16_t next = NumHouse[player];
    if (next > HOUSE_LAST_INDEX || next >= ArrayCapacity(g_pHouse[player])) {
        ReportErrorInt("AddHouse: the player has no room for another building, player ", player);
        return nullptr;
    }
    index = next;
    templ->Index = next;
    templ->Owner = player;
    if (templ->OffMap == 0)
        SetObjectMap(plat::Point{templ->X, templ->Y}, PlayerHouseCode(player, next));
    return &g_pHouse[player][next];
}

// StoreHouse, then the slot takes over the template's record and arrays and counts as in use.
THouse* TakeIntoArray(std::uint8_t player, THouse* templ, std::uint16_t& index)
{
    THouse* slot = StoreHouse(player, templ, index);
    if (slot == nullptr)
        return nullptr;
    slot->TakeFrom(*templ);
    ++NumHouse[player];
    return slot;
}

} // namespace

std::uint16_t AddHouse(std::uint8_t player, THouse* templ)
{
    std::uint16_t index = HOUSE_NONE;
    THouse* slot = StoreHouse(player, templ, index);
    if (slot == nullptr)
        return HOUSE_NONE;
    const std::uint16_t type = templ->HouseType;
    static constexpr std::uint16_t kNoGround[] = {1, 7, 10, 11, 13, 18, 21, 22, 24};
    if (std::find(std::begin(kNoGround), std::end(kNoGround), type) == std::end(kNoGround))
        SetPodlozka(templ, templ->Type().m_GroundFlag != 0 ? 136 : 52);
    slot->TakeFrom(*templ);
    ++NumHouse[player];
    THouse& h = *slot;
    h.SetOnMap(PlayerHouseCode(player, index));
    HouseServices().takeEmplacementUnitGraphic(&h);
    const THouseType& t = h.Type();
    switch (type) {
    case HOUSE_LUMBER_MILL:
        ThinTreesAroundHouse(&h);
        break;
    case HOUSE_BARN:
        for (const plat::Point& p : BarnFieldCells(h))
            if (IsInPlayableBorder(p.x, p.y)) {
                const std::uint16_t code = GetObjectFromMap(p);
                if (code >= OBJECT_CROP_FIRST && code <= OBJECT_CROP_LAST)
                    SetObjectMap(p, OBJECT_AIRFIELD);
            }
        break;
    case HOUSE_TANK_FACTORY:
    case HOUSE_AIR_HANGAR:
        WriteApron(h, "Вышли за пределы карты при добавлении авиаангара");
        break;
    case HOUSE_PORT:
        SetPortExitPoint(&h);
        break;
    default:
        break;
    }
    const int rows = t.m_FootprintRows;
    const int cells = t.m_FootprintCells;
    HouseServices().recomputePassability(h.X, h.Y, rows + cells);
    HouseServices().rebuildShipGrid(h.X - rows - 4, h.Y - cells - 12, h.X + rows + 4, h.Y + cells + 12);
    RedrawAround(h.X, h.Y);
    if (HouseServices().isComputerPlayer(player)) {
        CheckComputerRallyPoints();
        if (type == HOUSE_BARN)
            SetNearestHouseRallyPoint(player, HOUSE_WORKER_BUILDING, h.ExitX + 40.0f, h.ExitY + 40.0f, false);
    }
    ++g_HouseCounters[player].placed;
    return index;
}

std::uint16_t PlaceLoadedHouse(std::uint8_t player, THouse* templ)
{
    std::uint16_t index = HOUSE_NONE;
    THouse* slot = TakeIntoArray(player, templ, index);
    if (slot == nullptr)
        return HOUSE_NONE;
    THouse& h = *slot;
    ++g_HouseCounters[player].placed;
    if (h.OffMap != 0)
        return index;
    h.SetOnMap(PlayerHouseCode(player, index));
    HouseServices().takeEmplacementUnitGraphic(&h);
    if (h.HouseType == HOUSE_TANK_FACTORY)
        WriteApron(h, "Вышли за пределы карты при добавлении танкового завода");
    else if (h.HouseType == HOUSE_AIR_HANGAR)
        WriteApron(h, "Вышли за пределы карты при добавлении авиаангара");
    return index;
}

std::uint16_t PlaceSavedHouse(std::uint8_t player, THouse* templ)
{
    if (templ == nullptr || templ->TypeRecord == nullptr || !CellPointInMap({templ->X, templ->Y})) {
        ReportErrorInt("PlaceSavedHouse: a building whose cell lies outside the map, player ", player);
        return HOUSE_NONE;
    }
    const std::uint16_t codeBefore = GetObjectFromMap(plat::Point{templ->X, templ->Y});
    std::uint16_t index = HOUSE_NONE;
    THouse* slot = TakeIntoArray(player, templ, index);
    if (slot == nullptr)
        return HOUSE_NONE;
    THouse& h = *slot;
    // The saved layers hold the footprint's heights, the aprons and what was built over a removed
    // building's cells; flattening or writing them again would change the map the save holds.
    if (h.HitPoints > HOUSE_HP_OFF_MAP) {
        const std::uint16_t code = PlayerHouseCode(player, index);
        for (const plat::Point& p : FootprintCells({h.X, h.Y}, h.Type().m_FootprintRows, h.Type().m_FootprintCells))
            if (CellPointInMap(p))
                SetObjectMap(p, code);
    } else {
        // StoreHouse marked the reference cell; a building taken off the map owns no cell.
        SetObjectMap(plat::Point{h.X, h.Y}, codeBefore);
    }
    ++g_HouseCounters[player].placed;
    return index;
}

std::uint16_t AddHouseToPoint(std::uint8_t player, float x, float y, std::uint16_t type)
{
    if (player >= 8)
        return HOUSE_NONE;
    plat::Point cell{};
    GetCellFromPoint(x + 2.0f, y, cell);
    const std::uint8_t nation = NationOf(player);
    if (!CanBuildHouseAt(player, cell.x, cell.y, type, nation))
        return HOUSE_NONE;
    THouse* templ = CreateHouseRecord(cell.x, cell.y, type, nation);
    if (templ == nullptr)
        return HOUSE_NONE;
    const std::uint16_t index = AddHouse(player, templ);
    delete templ;
    if (index != HOUSE_NONE && index >= HOUSE_MANY_WARNING)
        ReportError("Много домов");
    return index;
}

std::uint16_t AddHouseToPointFull(std::uint8_t player, float x, float y, std::uint16_t addedHouse)
{
    if (addedHouse > 65000) {
        ReportError("AddedHouse>65000 in WORD AddHouseToPointFull(BYTE Player, float X,float Y,WORD AddedHouse)");
        return HOUSE_NONE;
    }
    if (!HouseServices().canAfford(player, addedHouse)) {
        SetCantBuildReason(u"IDS_CANTBUILD_NO_MANY");
        return HOUSE_NONE;
    }
    const std::uint16_t index = AddHouseToPoint(player, x, y, addedHouse);
    if (index == HOUSE_NONE)
        return HOUSE_NONE;
    HouseServices().pay(player, index);
    HouseServices().sendWorkers(player, &g_pHouse[player][index]);
    return index;
}

std::uint16_t AddHouseFromMapData(std::uint8_t player, float x, float y, std::uint16_t type)
{
    if (player >= 8)
        return HOUSE_NONE;
    plat::Point cell{};
    GetCellFromPoint(x + 2.0f, y, cell);
    THouse* templ = CreateHouseRecord(cell.x, cell.y, type, NationOf(player));
    if (templ == nullptr)
        return HOUSE_NONE;
    const std::uint16_t index = PlaceLoadedHouse(player, templ);
    delete templ;
    return index;
}

std::uint16_t PlaceNeutralHouse(THouse* templ)
{
    THouse* array = g_pHouse[kNeutralHouseSlot];
    const std::uint16_t index = g_NeutralHouseCount;
    if (templ == nullptr || templ->TypeRecord == nullptr || array == nullptr || index >= ArrayCapacity(array) ||
        index + kObjectNeutralHouseFirst > kObjectNeutralHouseLast) {
        ReportErrorInt("PlaceNeutralHouse: no room for another map building, count ", index);
        return HOUSE_NONE;
    }
    templ->Index = index;
    templ->Owner = HOUSE_NO_OWNER;
    const auto code = static_cast<std::uint16_t>(index + kObjectNeutralHouseFirst);
    THouse& h = array[index];
    h.TakeFrom(*templ);
    for (const plat::Point& p : FootprintCells({h.X, h.Y}, h.Type().m_FootprintRows, h.Type().m_FootprintCells)) {
        if (!CellPointInMap(p)) {
            ReportError("void THouse::SetOnMap() end of map");
            continue;
        }
        SetObjectMap(p, code);
    }
    SetObjectMap(plat::Point{h.X, h.Y}, code);
    ++g_NeutralHouseCount;
    HouseServices().recomputePassability(h.X, h.Y, 10);
    return index;
}

std::uint16_t AddNeutralHouseAt(std::int32_t x, std::int32_t y, std::uint16_t type, bool check)
{
    if (!CellPointInMap({x, y}))
        return HOUSE_NONE;
    if (check) {
        const std::uint16_t code = GetObjectFromMap(plat::Point{x, y});
        if (type <= 1) {
            const THouse* there = HouseFromObjectCode(code);
            if (code >= kObjectPlayerHouseFirst && code <= kObjectPlayerHouseLast)
                return HOUSE_NONE;
            if (there != nullptr && there->Owner == HOUSE_NO_OWNER && there->X == x && there->Y == y)
                return HOUSE_NONE;
        } else if (code >= kObjectNeutralHouseFirst && code <= kObjectPlayerHouseLast) {
            return HOUSE_NONE;
        }
    }
    THouse* templ = CreateHouseRecord(x, y, type, HOUSE_NEUTRAL_SIDE);
    if (templ == nullptr)
        return HOUSE_NONE;
    const std::uint16_t index = PlaceNeutralHouse(templ);
    delete templ;
    if (index != HOUSE_NONE)
        HouseServices().rebuildShipGrid(x - 5, y - 10, x + 5, y + 10);
    return index;
}

void SetNearestHouseRallyPoint(std::uint8_t player, std::uint16_t type, float x, float y, bool pick)
{
    if (player >= 8 || g_pHouse[player] == nullptr || !HouseServices().advisorWorkers(player))
        return;
    const std::uint16_t count = NumHouse[player];
    std::uint16_t start = 0;
    if (pick && count > 10)
        start = static_cast<std::uint16_t>(RandomDraw() % count);
    THouse* best = nullptr;
    double bestDistance = std::numeric_limits<double>::infinity();
    for (std::uint16_t n = 0; n < count; ++n) {
        THouse& h = g_pHouse[player][(start + n) % count];
        if (h.HouseType != type || h.Destroyed != 0 || !h.IsFinished())
            continue;
        const double d = PointDistance(h.DoorX, h.DoorY, x, y);
        if (d < bestDistance) {
            bestDistance = d;
            best = &h;
        }
    }
    if (best != nullptr) {
        best->RallyX = x;
        best->RallyY = y;
    }
}

// ---- destruction ------------------------------------------------------------------------------

void DestroyHouse(THouse* h, std::uint8_t by)
{
    if (h == nullptr || h->TypeRecord == nullptr)
        return;
    // Once off the map a building is gone: a second removal would clear cells that may belong to
    // a building standing there now.
    if (h->OffMap != 0)
        return;
    const THouseType& t = h->Type();
    THouseServices& s = HouseServices();
    const bool owned = h->Owner < 8;

    // A ruin was lost once already: hit again, it only waits for the unit walk to lower it to the
    // second stage.
    if (h->Destroyed != 0 && h->HitPoints > HOUSE_HP_STAGE_TWO)
        return;
    if (h->Destroyed == 0) {
        const bool wasFinished = h->IsFinished();
        s.leaveGroups(h);
        s.playDestructionSound(h);
        h->Destroyed = 1;
        h->HitPoints = HOUSE_HP_RUIN_START;
        // Nothing more is produced here: the unit in production stops counting toward the power
        // demand and the paid queue goes back to the owner.
        ReleaseHouseQueue(h);
        const int points = std::min<int>(t.m_DestructionCount, HOUSE_LIST_SIZE);
        const TFloatPoint ref = HouseReferencePixel(h->X, h->Y);
        const float cellHeight = GetHeightFromMap(plat::Point{h->X, h->Y});
        static constexpr float kLifts[3] = {4.0f, 18.0f, 20.0f};
        for (int i = 0; i < points; ++i) {
            const float lift = kLifts[RandomDraw() % 3];
            const float px = ref.x - t.m_AnchorX + t.m_DoorX + t.m_DestructionX[i];
            const float py = ref.y - t.m_AnchorY + t.m_DoorY + t.m_DestructionY[i] - cellHeight;
            s.explosion(px, py, lift, static_cast<std::uint32_t>(3 * i));
        }
        // Leaving changes the inside array, so work from a copy.
        const std::vector<TUnit*> inside(h->Inside, h->Inside + (h->Inside != nullptr ? h->InsideCount : 0));
        for (TUnit* u : inside) {
            s.getUnitOutOfHouse(h, u);
            if (u != nullptr && u->Basic != nullptr && u->Basic->m_bAir != 0)
                s.leaveHouse(u);
        }
        if (h->UpgradeFlagPointer != nullptr)
            *h->UpgradeFlagPointer = 0;
        h->UpgradeFlagPointer = nullptr;
        if (h->Selected != 0) {
            h->Selected = 0;
            s.refreshPanel();
        }
        // Losing a finished building costs its owner the type's count, handler and power need,
        // whether or not a ruin stays behind.
        if (wasFinished) {
            if (owned) {
                if (h->HouseType < kHouseTypeCountTypes && g_HouseTypeCount[h->Owner][h->HouseType] > 0)
                    --g_HouseTypeCount[h->Owner][h->HouseType];
                s.houseLeaveHandler(h);
                s.lowerPowerDemand(h->Owner, t.m_PowerNeed);
            } else {
                s.houseLeaveHandler(h);
            }
        }
        if (t.m_RuinPhaseCount < 2 || !wasFinished) {
            h->HitPoints = HOUSE_HP_REMOVE;
            DestroyHouse(h, HOUSE_NO_DESTROYER);
        } else {
            h->AcquirePhaseGraphic(HOUSE_STATE_RUIN, 0);
        }
        h->BuildWork = 0;
        s.redrawMiniMap(h->X - 5, h->Y - 10, h->X + 5, h->Y + 10);
        if (by < 8)
            ++g_HouseCounters[by].destroyed;
        if (owned)
            ++g_HouseCounters[h->Owner].lost;
        return;
    }

    if (h->HouseType == HOUSE_UNIT_EMPLACEMENT)
        s.releaseEmplacementUnitGraphic(h);
    if (h->Selected != 0) {
        h->Selected = 0;
        s.refreshPanel();
    }
    h->HitPoints = HOUSE_HP_OFF_MAP;
    h->OffMap = 1;
    h->DelOnMap();
    s.recomputePassability(h->X, h->Y - t.m_FootprintCells, t.m_FootprintCells + 3);
    if (owned) {
        const plat::Point ref{h->X, h->Y};
        switch (h->HouseType) {
        case HOUSE_IRON_MAKER:
            SetObjectMap(ref, OBJECT_IRON_POINT);
            break;
        case HOUSE_GOLD_MAKER:
            SetObjectMap(ref, OBJECT_GOLD_POINT);
            break;
        case HOUSE_OIL_MAKER:
            SetObjectMap(ref, OBJECT_OIL_POINT);
            break;
        case HOUSE_BARN:
            for (const plat::Point& p : BarnFieldCells(*h))
                if (CellPointInMap(p) && GetObjectFromMap(p) == OBJECT_AIRFIELD)
                    SetObjectMap(p, kObjectFree);
            break;
        case HOUSE_TANK_FACTORY:
        case HOUSE_AIR_HANGAR:
            ClearApron(*h);
            break;
        default:
            break;
        }
    }
    RedrawAround(h->X, h->Y);
}

void HouseArrives(THouse* h)
{
    if (h == nullptr || h->TypeRecord == nullptr || h->Owner >= 8 || h->Destroyed != 0)
        return;
    if (h->HouseType < kHouseTypeCountTypes)
        ++g_HouseTypeCount[h->Owner][h->HouseType];
    HouseServices().houseComeHandler(h);
    HouseServices().raisePowerDemand(h->Owner, h->Type().m_PowerNeed);
}

// ---- per-frame and release --------------------------------------------------------------------

void THouse::OnAttacked()
{
    if (AlarmCountdown < 1 && Destroyed == 0 && HouseServices().tellGroupManager(this))
        return;
    --AlarmCountdown;
}

void DrawSelectedHouseRing()
{
    if (MyPlayer >= 8 || g_pHouse[MyPlayer] == nullptr)
        return;
    static constexpr std::uint16_t kRingTypes[] = {1, 7, 17, 18, 19, 20, 21, 22};
    for (std::uint16_t i = 0; i < NumHouse[MyPlayer]; ++i) {
        const THouse& h = g_pHouse[MyPlayer][i];
        if (h.Selected == 0 || h.Destroyed != 0)
            continue;
        if (std::find(std::begin(kRingTypes), std::end(kRingTypes), h.HouseType) != std::end(kRingTypes))
            HouseServices().showRangeRing(&h, h.Range);
        return;
    }
}

void FreePlayerHouses(std::uint8_t player)
{
    if (player >= kHouseSlots)
        return;
    // A defeated player's buildings go while the game runs on: nobody may keep pointing at them.
    ClearHouseReferences(g_pHouse[player], ArrayCapacity(g_pHouse[player]));
    if (g_pHouse[player] != nullptr)
        RefreshTargetGridHouses();
    DeleteHouseArray(g_pHouse[player]);
    g_pHouse[player] = nullptr;
    if (player < 8)
        NumHouse[player] = 0;
    else
        g_NeutralHouseCount = 0;
}

void FreeHousesAndUnitsMap()
{
    for (std::uint8_t p = 0; p < kHouseSlots; ++p)
        FreePlayerHouses(p);
    // Units first: they give back their types' references, and the players' lists hold them.
    FreeUnitsMap();
    ClearGlobalHeap();
}

// ---- houses of a map file ---------------------------------------------------------------------

void AcquireMapHousePhase(THouse& house)
{
    if (house.TypeRecord == nullptr)
        return;
    const THouseType& t = house.Type();
    if (house.BuildWork != 0) {
        house.AcquirePhaseGraphic(HOUSE_STATE_CONSTRUCTION,
                                  HouseBuildPhase(house.BuildWork, t.m_ConstructionPhaseCount, t.m_BuildWork));
    } else if (house.Destroyed != 0) {
        const std::uint8_t variant = t.m_RuinPhaseCount >= 2 && house.HitPoints < -500.0f ? 1 : 0;
        house.AcquirePhaseGraphic(HOUSE_STATE_RUIN, variant);
    } else {
        house.AcquirePhaseGraphic(HOUSE_STATE_FINISHED, 0);
    }
}

bool AddMapHouse(int player, std::int32_t px, std::int32_t py, const TMapHouseRecord& record)
{
    if (player < 0 || player >= 8)
        return false;
    const auto p = static_cast<std::uint8_t>(player);
    const std::uint16_t index =
        AddHouseFromMapData(p, static_cast<float>(px), static_cast<float>(py), record.type);
    if (index == HOUSE_NONE)
        return false;
    THouse& h = g_pHouse[p][index];
    h.ResetPhaseFlags();
    // The plain form keeps no state: its buildings start as a new site of their type.
    h.BuildWork = record.oldForm ? h.Type().m_BuildWork : record.state;
    h.HitPoints = static_cast<float>(h.Type().m_HitPoints);
    if (h.HouseType == HOUSE_PORT) {
        h.m_ShipSideForPort = record.portSide;
        SetPortExitPoint(&h);
    }
    AcquireMapHousePhase(h);
    if (h.IsFinished())
        HouseArrives(&h);
    return true;
}

void ClearNeutralObjects()
{
    FreeUnitList(g_NeutralUnitList);
    g_NeutralUnitCount = 0;
}

void ReserveNeutralHouses(std::uint16_t count)
{
    DeleteHouseArray(g_pHouse[kNeutralHouseSlot]);
    g_pHouse[kNeutralHouseSlot] = NewHouseArray(std::min<std::uint32_t>(count, HOUSE_NEUTRAL_CAPACITY));
    g_NeutralHouseCount = 0;
}

bool AddNeutralMapHouse(const TMapHouseRecord& record)
{
    const std::uint16_t index = AddNeutralHouseAt(record.x, record.y, record.type, false);
    if (index == HOUSE_NONE)
        return false;
    THouse& h = g_pHouse[kNeutralHouseSlot][index];
    h.ResetPhaseFlags();
    h.BuildWork = record.state;
    h.HitPoints = record.strength;
    AcquireMapHousePhase(h);
    return true;
}

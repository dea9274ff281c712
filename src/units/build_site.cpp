#include "units/build_site.h"

#include <algorithm>

#include "core/error_log.h"
#include "core/string_table.h"
#include "map/map_grid.h"
#include "units/house.h"
#include "units/house_types.h"
#include "units/unit.h"

char16_t g_CantBuildReason[CANT_BUILD_REASON_SIZE] = {};

namespace {

constexpr std::uint8_t kS = 6;

bool Refuse(std::u16string_view id)
{
    SetCantBuildReason(id);
    return false;
}

bool IsResourcePoint(std::uint16_t code)
{
    return code >= OBJECT_OIL_POINT && code <= OBJECT_IRON_POINT;
}

bool IsTree(std::uint16_t code)
{
    return code >= kObjectTreeFirst && code <= kObjectTreeLast;
}

bool IsPlayerHouse(std::uint16_t code)
{
    return code >= kObjectPlayerHouseFirst && code <= kObjectPlayerHouseLast;
}

bool IsMaker(std::uint16_t type)
{
    return type == HOUSE_IRON_MAKER || type == HOUSE_GOLD_MAKER || type == HOUSE_OIL_MAKER;
}

bool IsBlockingObject(std::uint16_t code)
{
    if (IsTree(code))
        return HouseServices().mapObjectClass(code) == 1;
    if (code >= kObjectStoneFirst && code <= kObjectMiscLast)
        return HouseServices().mapObjectClass(code) == 0;
    return code >= OBJECT_CROP_FIRST && code <= OBJECT_CROP_LAST;
}

// A resource point or animated object the type may not take.
bool ResourceRefused(std::uint16_t code, std::uint16_t type)
{
    switch (code) {
    case OBJECT_OIL_POINT:
        return type != HOUSE_OIL_MAKER;
    case OBJECT_GOLD_POINT:
        return type != HOUSE_GOLD_MAKER;
    case OBJECT_IRON_POINT:
        return type != HOUSE_IRON_MAKER;
    default:
        return code >= OBJECT_CROP_FIRST && code <= OBJECT_CROP_LAST && !IsMaker(type) && type != HOUSE_BARN;
    }
}

std::uint16_t CellCode(const plat::Point& p)
{
    return CellPointInMap(p) ? g_pObjectMap[p.y * g_MapWidth + p.x] : 0;
}

std::uint8_t CellHeight(const plat::Point& p)
{
    return CellPointInMap(p) ? g_pHeightMap[p.y * g_MapWidth + p.x] : 0;
}

TUnit* const* CellUnits(const plat::Point& p)
{
    if (g_pUnitsMap == nullptr || !CellPointInMap(p))
        return nullptr;
    return g_pUnitsMap[p.y * g_MapWidth + p.x];
}

bool HasAnyUnit(const plat::Point& p)
{
    TUnit* const* list = CellUnits(p);
    return list != nullptr && list[0] != nullptr;
}

plat::Point Step(plat::Point p, std::uint8_t direction, int times)
{
    for (int i = 0; i < times; ++i)
        p = GetNeighbourPoint(p, direction);
    return p;
}

bool HouseOfTypeAt(const plat::Point& p, std::uint16_t type)
{
    const std::uint16_t code = CellCode(p);
    if (!IsPlayerHouse(code))
        return false;
    const THouse* h = HouseFromObjectCode(code);
    return h != nullptr && h->HouseType == type;
}

bool ApronRule(std::uint16_t type, std::int32_t x, std::int32_t y, std::uint8_t nation)
{
    const THouseType& t = HouseType(nation, type);
    for (const plat::Point& p : ApronCells({x, y}, t.m_FootprintRows, 2)) {
        if (!CellPointInMap(p) || (type == HOUSE_TANK_FACTORY && !IsInPlayableBorder(p.x, p.y)))
            return false;
        if (HasAnyUnit(p))
            return Refuse(u"IDS_CANTBUILD_HAVE_UNIT_NEAR");
        const std::uint16_t code = CellCode(p);
        if (HouseServices().shipPassValue(p.x, p.y) != 0 || IsTree(code))
            return Refuse(u"IDS_CANTBUILD_CLOSE_TANK");
        if (IsPlayerHouse(code))
            return Refuse(u"IDS_CANTBUILD_HAVE_HOUSE_NEAR");
    }
    return true;
}

bool AirfieldRule(std::int32_t x, std::int32_t y, std::uint8_t nation)
{
    const THouseType& t = HouseType(nation, HOUSE_AIR_HANGAR);
    for (const plat::Point& p : ApronCells({x, y}, t.m_FootprintRows, 6)) {
        if (!CellPointInMap(p))
            return false;
        const std::uint16_t code = CellCode(p);
        if (IsTree(code))
            return Refuse(u"IDS_CANTBUILD_CLOSE_AIR");
        if (IsPlayerHouse(code))
            return Refuse(u"IDS_CANTBUILD_HAVE_HOUSE_NEAR");
    }
    return true;
}

bool LumberRule(std::int32_t x, std::int32_t y)
{
    const std::int32_t x0 = std::max(x - 5, 4);
    const std::int32_t x1 = std::min(x + 5, g_MapWidth - 4);
    const std::int32_t y0 = std::max(y - 10, 10);
    const std::int32_t y1 = std::min(y + 10, g_MapHeight - 10);
    int trees = 0;
    for (std::int32_t cy = y0; cy <= y1; ++cy)
        for (std::int32_t cx = x0; cx <= x1; ++cx) {
            const plat::Point p{cx, cy};
            if (HouseOfTypeAt(p, HOUSE_LUMBER_MILL))
                return Refuse(u"IDS_ALREADY_HAVE_LUMER_NEAR");
            trees += IsTree(CellCode(p)) ? 1 : 0;
        }
    return trees < 15 ? Refuse(u"IDS_CANTBUILD_TREE_DEMAND") : true;
}

bool BarnRule(std::int32_t x, std::int32_t y, std::uint8_t nation)
{
    if (HouseServices().mapSeason() == 3)
        return Refuse(u"IDS_CANTBUILD_BARN_WINTER");
    const THouseType& t = HouseType(nation, HOUSE_BARN);
    const plat::Point start{x, y + 8};
    if (!IsInPlayableBorder(start.x, start.y))
        return false;
    const std::uint8_t h0 = CellHeight({x, y});
    for (const plat::Point& p : AreaCells(start, t.m_FootprintCells + 10, t.m_FootprintRows + 8)) {
        if (!IsInPlayableBorder(p.x, p.y))
            continue;
        const std::uint16_t code = CellCode(p);
        if (IsPlayerHouse(code))
            return Refuse(u"IDS_CANTBUILD_HAVE_HOUSE_NEAR");
        if (IsResourcePoint(code))
            return Refuse(u"IDS_CANTBUILD_HAVE_RESOURCE_NEAR");
        if (std::abs(static_cast<int>(CellHeight(p)) - h0) > 10)
            return Refuse(u"IDS_CANTBUILD_HEIGHT");
        for (std::uint8_t d = 1; d <= 8; ++d)
            if (IsResourcePoint(CellCode(GetNeighbourPoint(p, d))))
                return Refuse(u"IDS_CANTBUILD_HAVE_RESOURCE_NEAR");
    }
    return true;
}

bool PortRule(std::int32_t x, std::int32_t y, std::uint8_t nation)
{
    const std::int32_t yc = y - HouseType(nation, HOUSE_PORT).m_FootprintCells / 2;
    for (std::int32_t cy = yc - 18; cy <= yc + 17; ++cy)
        for (std::int32_t cx = x - 9; cx <= x + 9; ++cx)
            if (HouseOfTypeAt({cx, cy}, HOUSE_PORT))
                return Refuse(u"IDS_CANTBUILD_HAVE_HOUSE_NEAR");
    return true;
}

bool CanBuildHouseTypeRule(std::uint8_t nation, std::uint16_t type, std::int32_t x, std::int32_t y)
{
    if (!IsInPlayableBorder(x, y)) {
        ReportError("Как я вам построю дом за пределами карты?");
        return false;
    }
    switch (type) {
    case HOUSE_IRON_MAKER:
        return CellCode({x, y}) == OBJECT_IRON_POINT || Refuse(u"IDS_CANTBUILD_RESOURCE_DEMAND");
    case HOUSE_GOLD_MAKER:
        return CellCode({x, y}) == OBJECT_GOLD_POINT || Refuse(u"IDS_CANTBUILD_RESOURCE_DEMAND");
    case HOUSE_OIL_MAKER:
        return CellCode({x, y}) == OBJECT_OIL_POINT || Refuse(u"IDS_CANTBUILD_RESOURCE_DEMAND");
    case HOUSE_LUMBER_MILL:
        return LumberRule(x, y);
    case HOUSE_BARN:
        return BarnRule(x, y, nation);
    case 16:
    case HOUSE_TANK_FACTORY:
        return ApronRule(type, x, y, nation);
    case HOUSE_AIR_HANGAR:
        return AirfieldRule(x, y, nation);
    case HOUSE_PORT:
        return PortRule(x, y, nation);
    default:
        return true;
    }
}

} // namespace

void SetCantBuildReason(std::u16string_view id)
{
    const char16_t* text = GetResString(id);
    std::size_t n = 0;
    if (text != nullptr)
        for (; n + 1 < CANT_BUILD_REASON_SIZE && text[n] != 0; ++n)
            g_CantBuildReason[n] = text[n];
    g_CantBuildReason[n] = 0;
}

bool IsInPlayableBorder(std::int32_t x, std::int32_t y)
{
    return x >= 4 && y > 9 && x < g_MapWidth - 3 && y < g_MapHeight - 9;
}

bool CanBuildHouse(std::uint8_t player, std::int32_t x, std::int32_t y, std::uint16_t type, std::uint8_t nation)
{
    if (type >= HOUSE_TYPES_PER_SIDE || nation >= HOUSE_SIDES || g_pObjectMap == nullptr)
        return false;
    if (!IsInPlayableBorder(x, y))
        return false;
    g_CantBuildReason[0] = 0;
    const THouseType& t = HouseType(nation, type);
    const int rows = t.m_FootprintRows;
    const int cells = t.m_FootprintCells;
    const bool maker = IsMaker(type);
    int hmin = CellHeight({x, y});
    int hmax = hmin;
    int blocking = 0;
    int water = 0;
    int land = 0;
    const plat::Point origin{x, y};

    for (const plat::Point& p : AreaCells(Step(origin, kS, 1), cells + 2, rows + 2)) {
        if (!IsInPlayableBorder(p.x, p.y))
            return Refuse(u"IDS_CANTBUILD_CORNER_NEAR");
        const std::uint16_t code = CellCode(p);
        if ((code == OBJECT_TANK_APRON || code == OBJECT_AIRFIELD) && !maker)
            return Refuse(u"IDS_CANTBUILD_HAVE_HOUSE_NEAR");
        if (IsPlayerHouse(code))
            return Refuse(u"IDS_CANTBUILD_HAVE_HOUSE_NEAR");
        blocking += IsBlockingObject(code) ? 1 : 0;
        if (ResourceRefused(code, type))
            return Refuse(u"IDS_CANTBUILD_HAVE_RESOURCE_NEAR");
        if (!maker && HouseServices().advancedPathByte(p.x, p.y) == 1)
            return Refuse(u"IDS_CANTBUILD");
        if (HouseServices().isWater(p.x, p.y)) {
            if (type != HOUSE_PORT)
                return Refuse(u"IDS_CANTBUILD_ONWATER");
            ++water;
        } else {
            ++land;
        }
        if (TUnit* const* list = CellUnits(p)) {
            for (int i = 0; i < kCellUnitCapacity && list[i] != nullptr; ++i) {
                const TUnit* u = list[i];
                if (u->Dead != 0 || u->HitPoints <= 0.0f || u->Height >= 1.0f)
                    continue;
                if (u->Player != player || !HouseServices().mayPushUnit(u))
                    return Refuse(u"IDS_CANTBUILD_HAVE_UNIT_NEAR");
            }
        }
        const int h = CellHeight(p);
        hmin = std::min(hmin, h);
        hmax = std::max(hmax, h);
    }

    if (type == HOUSE_PORT && (land < 20 || water < 50 || GetPortWaterSide(origin, t) == PORT_SIDE_NONE))
        return Refuse(u"IDS_CANT_BUILD_PORT");

    for (const plat::Point& p : AreaCells(Step(origin, kS, 3), cells + 6, rows + 6)) {
        if (!IsInPlayableBorder(p.x, p.y))
            return Refuse(u"IDS_CANTBUILD_CORNER_NEAR");
        if (ResourceRefused(CellCode(p), type))
            return Refuse(u"IDS_CANTBUILD_HAVE_RESOURCE_NEAR");
    }

    if (type == HOUSE_PORT) {
        if (hmax - hmin > 50)
            return Refuse(u"IDS_CANTBUILD_HEIGHT");
        if (blocking > 5)
            return Refuse(u"IDS_CANTBUILD_TREE_MANY");
    } else {
        bool refused = false;
        if (hmax - hmin >= 21 && !maker) {
            SetCantBuildReason(u"IDS_CANTBUILD_HEIGHT");
            refused = true;
        }
        if (blocking > 5 && !maker && type != HOUSE_LUMBER_MILL) {
            SetCantBuildReason(u"IDS_CANTBUILD_TREE_MANY");
            refused = true;
        }
        if (refused)
            return false;
    }
    return CanBuildHouseTypeRule(nation, type, x, y);
}

bool CanBuildHouseAt(std::uint8_t player, std::int32_t x, std::int32_t y, std::uint16_t type, std::uint8_t nation)
{
    return CanBuildHouse(player, x, y, type, nation);
}

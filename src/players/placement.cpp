// Where the computer players and the economy advisor put their buildings.
#include "players/placement.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "combat/house_events.h"
#include "combat/unit_events.h"
#include "combat/unit_orders.h"
#include "core/app_state.h"
#include "core/error_log.h"
#include "core/random_table.h"
#include "core/settings.h"
#include "map/map_file.h"
#include "map/map_grid.h"
#include "movement/movement_services.h"
#include "movement/directions.h"
#include "movement/passability.h"
#include "movement/path_follow.h"
#include "players/house_orders.h"
#include "players/selection.h"
#include "players/strateg.h"
#include "units/build_site.h"
#include "units/building_graphics.h"
#include "units/house.h"
#include "units/house_types.h"
#include "units/unit.h"
#include "units/unit_lists.h"
#include "units/unit_types.h"

namespace {

constexpr std::uint16_t kNoHouse = 65535;
// Placements are refused before this frame moves the base.
constexpr std::uint32_t kBaseMoveFrame = 10000;
// dy^2 + 4 dx^2 from this on: the worker is too far to start building.
constexpr std::int32_t kFarWorker = 500;
constexpr std::uint32_t kFarWorkerLimit = 40;
constexpr std::uint32_t kShorePoints = 20;
constexpr std::uint8_t kWorkFetchFood = 11;
constexpr std::uint8_t kWorkOwnWay = 10;
constexpr std::uint8_t kWorkAttack = 7;
constexpr std::uint8_t kWorkEnterHouse = 2;

TStrategAI* Planner(std::uint8_t player)
{
    return player < 8 && g_Strateg[player] ? g_Strateg[player]->Planner.get() : nullptr;
}

std::int32_t Manhattan(std::int32_t ax, std::int32_t ay, std::int32_t bx, std::int32_t by)
{
    return std::abs(ax - bx) + std::abs(ay - by);
}

plat::Point UnitCell(const TUnit* unit)
{
    return PixelToFlatCell(unit->X, unit->Y);
}

// The range [lo, lo + size] placed inside [min, max], slid where it sticks out.
void Slide(std::int32_t& lo, std::int32_t& hi, std::int32_t min, std::int32_t max)
{
    const std::int32_t size = hi - lo;
    if (lo < min) {
        lo = min;
        hi = min + size;
    }
    if (hi > max) {
        hi = max;
        lo = max - size;
    }
    lo = std::max(lo, min);
}

std::uint8_t NationOfPlayer(std::uint8_t player)
{
    return g_Strateg[player] ? g_Strateg[player]->Nation : 0;
}

// The special-point code each extraction building stands on.
std::uint16_t SpecialCodeFor(std::uint16_t type)
{
    switch (type) {
    case 10: return 9603;
    case 11: return 9602;
    case 13: return 9601;
    default: return 0;
    }
}

// The first site of the list, nearest the base first (the earlier on a tie), that the build-site
// rule accepts.
bool FirstBuildable(std::vector<plat::Point> sites, plat::Point& out, std::uint8_t player, std::uint8_t nation,
                    std::int32_t bx, std::int32_t by)
{
    std::stable_sort(sites.begin(), sites.end(), [&](const plat::Point& a, const plat::Point& b) {
        return Manhattan(a.x, a.y, bx, by) < Manhattan(b.x, b.y, bx, by);
    });
    for (const plat::Point& p : sites)
        if (InBuildingArea(p.x, p.y) && CanBuildHouse(player, p.x, p.y, HOUSE_PORT, nation)) {
            out = p;
            return true;
        }
    return false;
}

// Ports stand on the map's berths. A map without berths, or whose berths are all taken or
// refused, gives the coast round the base instead: the land cells of the search square with a
// water cell beside them.
bool ChoosePortSite(plat::Point& out, std::uint8_t player, std::uint8_t nation, std::int32_t bx, std::int32_t by,
                    std::int32_t half)
{
    std::vector<plat::Point> berths;
    for (const TPortPoint& p : g_PortPoints)
        berths.push_back({p.x, p.y});
    if (FirstBuildable(std::move(berths), out, player, nation, bx, by))
        return true;
    const TSiteSquare sq = SiteSearchSquare(bx, by, half);
    std::vector<plat::Point> coast;
    for (std::int32_t y = sq.y0; y <= sq.y1; ++y)
        for (std::int32_t x = sq.x0; x <= sq.x1; ++x) {
            if (MovementMapServices().isWater(x, y))
                continue;
            for (std::uint8_t k = 1; k <= 8; ++k) {
                const plat::Point n = GetNeighbourPoint({x, y}, k);
                if (CellPointInMap(n) && MovementMapServices().isWater(n.x, n.y)) {
                    coast.push_back({x, y});
                    break;
                }
            }
        }
    return FirstBuildable(std::move(coast), out, player, nation, bx, by);
}

} // namespace

bool InBuildingArea(std::int32_t x, std::int32_t y)
{
    return x >= 4 && x <= g_MapWidth - 4 && y >= 10 && y <= g_MapHeight - 10;
}

plat::Point CellPixel(std::int32_t x, std::int32_t y)
{
    return {(2 * x - (y % 2 == 0 ? 1 : 0)) * 48, y * 24};
}

TSiteSquare SiteSearchSquare(std::int32_t x, std::int32_t y, std::int32_t h)
{
    TSiteSquare s{x - h, y - 2 * h, x + h, y + 2 * h};
    Slide(s.x0, s.x1, 4, g_MapWidth - 4);
    Slide(s.y0, s.y1, 10, g_MapHeight - 10);
    return s;
}

TUnit* FindNearestWorker(std::int32_t x, std::int32_t y, std::uint8_t player)
{
    if (player >= 8 || !g_Strateg[player])
        return nullptr;
    TUnit* idle = nullptr;
    TUnit* busy = nullptr;
    std::int32_t idleBest = 15000;
    std::int32_t busyBest = 15000;
    for (TUnit* u = g_Strateg[player]->FirstUnit; u; u = u->m_pNext) {
        if (u->Dead || !u->Basic || u->Basic->m_Kind != UNIT_KIND_WORKER)
            continue;
        const plat::Point c = UnitCell(u);
        const std::int32_t d = std::abs(c.y - y) + 2 * std::abs(c.x - x);
        if (u->Work == UNIT_NO_WORK) {
            if (d < idleBest) {
                idleBest = d;
                idle = u;
            }
        } else if (u->Work == kWorkFetchFood || u->Work == kWorkOwnWay || u->Work == kWorkAttack) {
            if (d < busyBest) {
                busyBest = d;
                busy = u;
            }
        }
    }
    return idle ? idle : busy;
}

void SendWorkerTowards(TUnit* worker, const plat::Point& site)
{
    if (!worker)
        return;
    const plat::Point c = UnitCell(worker);
    const double dx = site.x - c.x;
    const double dy = site.y - c.y;
    const double d = std::sqrt(dx * dx + dy * dy);
    if (d - 7.0 < 1.0)
        return;
    plat::Point target{c.x + static_cast<std::int32_t>((d - 7.0) * dx / d),
                       c.y + static_cast<std::int32_t>((d - 7.0) * dy / d)};
    if (!InBuildingArea(target.x, target.y) || !IsLandCellFree(static_cast<std::uint32_t>(CellIndex(target.x, target.y))))
        target = FindFreeCellNear(target.x, target.y);
    const plat::Point p = CellPixel(target.x, target.y);
    GoToPoint(worker, static_cast<float>(p.x), static_cast<float>(p.y), 1);
}

void OrderWorkerToBuild(TUnit* worker, std::uint16_t houseIndex)
{
    if (worker)
        GoToObject(worker, worker, houseIndex, 0);
}

std::uint16_t PlaceHouse(std::uint8_t player, std::int32_t x, std::int32_t y, std::uint16_t type)
{
    if (player >= 8 || !g_Strateg[player] || !CanAffordHouse(player, type))
        return kNoHouse;
    THouse* templ = CreateHouseRecord(x, y, type, NationOfPlayer(player));
    if (!templ)
        return kNoHouse;
    const std::uint16_t index = AddHouse(player, templ);
    delete templ;
    if (index == kNoHouse)
        return kNoHouse;
    if (index >= 901)
        ReportError("Too much houses");
    PayForHouse(player, index);
    if (THouse* h = HouseAt(g_pHouse[player], index))
        h->AcquirePhaseGraphic(HOUSE_STATE_CONSTRUCTION, 0);
    return index;
}

namespace {

// The cells of the square a worker walks to from the base without crossing water, as a mask over
// the square: a site beyond a river takes the money and never sees a worker. A base outside the
// square or on water leaves every cell open.
std::vector<std::uint8_t> LandReach(const TSiteSquare& s, std::int32_t bx, std::int32_t by)
{
    const std::int32_t w = s.x1 - s.x0 + 1;
    const std::int32_t h = s.y1 - s.y0 + 1;
    if (w <= 0 || h <= 0)
        return {};
    const auto at = [&](std::int32_t x, std::int32_t y) { return static_cast<std::size_t>(y - s.y0) * w + (x - s.x0); };
    const auto inside = [&](std::int32_t x, std::int32_t y) { return x >= s.x0 && x <= s.x1 && y >= s.y0 && y <= s.y1; };
    if (!inside(bx, by) || MovementMapServices().isWater(bx, by))
        return std::vector<std::uint8_t>(static_cast<std::size_t>(w) * h, 1);
    std::vector<std::uint8_t> reach(static_cast<std::size_t>(w) * h, 0);
    std::vector<plat::Point> todo{{bx, by}};
    reach[at(bx, by)] = 1;
    while (!todo.empty()) {
        const plat::Point c = todo.back();
        todo.pop_back();
        // The neighbours of a cell of the staggered grid: the rows above and below, shifted by the
        // row's parity, the cells two rows away and the cells beside it.
        const std::int32_t side = (c.y & 1) != 0 ? 1 : -1;
        const plat::Point next[8] = {{c.x, c.y - 1}, {c.x + side, c.y - 1}, {c.x, c.y + 1}, {c.x + side, c.y + 1},
                                     {c.x, c.y - 2}, {c.x, c.y + 2},        {c.x - 1, c.y}, {c.x + 1, c.y}};
        for (const plat::Point& n : next)
            if (inside(n.x, n.y) && reach[at(n.x, n.y)] == 0 && !MovementMapServices().isWater(n.x, n.y)) {
                reach[at(n.x, n.y)] = 1;
                todo.push_back(n);
            }
    }
    return reach;
}

} // namespace

bool ChooseSite(plat::Point& out, std::uint8_t player, std::uint16_t type)
{
    TStrategAI* ai = Planner(player);
    if (!ai || ai->TargetX == STRATEG_AI_UNSET)
        return false;
    const std::uint8_t nation = NationOfPlayer(player);
    const std::int32_t bx = ai->TargetX;
    const std::int32_t by = ai->TargetY;
    if (const std::uint16_t code = SpecialCodeFor(type)) {
        std::int32_t best = -1;
        for (int i = 0; i < g_SpecialPointCount; ++i) {
            const TMapPoint& p = g_SpecialPoints[i];
            if (GetObjectFromMap(plat::Point{p.x, p.y}) != code || !CanBuildHouse(player, p.x, p.y, type, nation))
                continue;
            const std::int32_t d = Manhattan(p.x, p.y, bx, by);
            if (best < 0 || d < best) {
                best = d;
                out = {p.x, p.y};
            }
        }
        return best >= 0;
    }
    if (type == HOUSE_PORT)
        return ChoosePortSite(out, player, nation, bx, by, static_cast<std::int32_t>(ai->SiteHalfSize));
    const bool tower = type == 21;
    const std::int32_t step = tower ? 3 : 1;
    const TSiteSquare s = SiteSearchSquare(bx, by, static_cast<std::int32_t>(ai->SiteHalfSize));
    const std::vector<std::uint8_t> reach = LandReach(s, bx, by);
    const auto reached = [&](std::int32_t x, std::int32_t y) {
        return reach[static_cast<std::size_t>(y - s.y0) * (s.x1 - s.x0 + 1) + (x - s.x0)] != 0;
    };
    std::int32_t best = -1;
    if (tower) {
        // Towers spread out to the farthest cell of the grid (the later on a tie).
        for (std::int32_t x = s.x0; x <= s.x1; x += step)
            for (std::int32_t y = s.y0; y <= s.y1; y += step) {
                const std::int32_t d = Manhattan(x, y, bx, by);
                if ((best >= 0 && d < best) || !reached(x, y) || !CanBuildHouse(player, x, y, type, nation))
                    continue;
                best = d;
                out = {x, y};
            }
    } else {
        // The rest keep close: the nearest buildable cell, the first in column-then-row order on a
        // tie. Rings of growing distance, each walked in that order, find it without testing the
        // farther cells (the build-site test is the costly part of a computer player's step).
        const std::int32_t far = std::max(std::abs(s.x0 - bx), std::abs(s.x1 - bx)) +
                                 std::max(std::abs(s.y0 - by), std::abs(s.y1 - by));
        for (std::int32_t d = 0; d <= far && best < 0; ++d)
            for (std::int32_t x = s.x0; x <= s.x1 && best < 0; ++x) {
                const std::int32_t r = d - std::abs(x - bx);
                if (r < 0)
                    continue;
                for (int side = 0; side < (r > 0 ? 2 : 1); ++side) {
                    const std::int32_t y = side == 0 ? by - r : by + r;
                    if (y < s.y0 || y > s.y1 || !reached(x, y) || !CanBuildHouse(player, x, y, type, nation))
                        continue;
                    best = d;
                    out = {x, y};
                    break;
                }
            }
    }
    if (best >= 0)
        return true;
    ++ai->FailedSites;
    if (ai->FailedSites >= (tower ? 13u : 9u)) {
        ChooseNewBase(player, 1);
        ai->FailedSites = 0;
    } else if (ai->FailedSites % 3 == 0) {
        ChooseNewBase(player, 0);
    }
    return false;
}

bool BuildHouse(std::uint8_t player, std::uint16_t type)
{
    TStrategAI* ai = Planner(player);
    if (!ai || !g_AdvisorOptions[player][0] || !CanAffordHouse(player, type))
        return false;
    plat::Point site{};
    if (!ChooseSite(site, player, type))
        return false;
    TUnit* worker = FindNearestWorker(site.x, site.y, player);
    if (!worker)
        return false;
    const plat::Point c = UnitCell(worker);
    const std::int32_t dx = site.x - c.x;
    const std::int32_t dy = site.y - c.y;
    if (dy * dy + 4 * dx * dx >= kFarWorker) {
        if (worker->Work != UNIT_WORK_LEAVE_HOUSE)
            SendWorkerTowards(worker, site);
        const std::uint8_t work = worker->Work;
        worker->Work = kWorkEnterHouse; // out of the next search
        TUnit* second = FindNearestWorker(site.x, site.y, player);
        if (second && second->Work != UNIT_WORK_LEAVE_HOUSE)
            SendWorkerTowards(second, site);
        worker->Work = work;
        if (++ai->FarWorkers > kFarWorkerLimit && !ChooseNewBase(player, 0))
            ChooseNewBase(player, 1);
        return false;
    }
    const std::uint16_t index = PlaceHouse(player, site.x, site.y, type);
    ai->FarWorkers = 0;
    if (index == kNoHouse)
        return false;
    if (worker->Work != UNIT_WORK_LEAVE_HOUSE && worker->Work != kWorkEnterHouse)
        OrderWorkerToBuild(worker, index);
    return true;
}

bool AdvisorBuildHouse(std::uint8_t player, std::uint16_t type)
{
    if (!Planner(player) || !CanAffordHouse(player, type))
        return false;
    plat::Point site{};
    if (!ChooseSite(site, player, type))
        return false;
    const std::uint16_t index = PlaceHouse(player, site.x, site.y, type);
    if (index == kNoHouse)
        return false;
    for (TSelectionNode* n = g_Strateg[player]->SelectionHead; n; n = n->next) {
        TUnit* u = n->unit;
        if (u && u->Type == 0 && u->Work != UNIT_WORK_LEAVE_HOUSE && u->Work != kWorkEnterHouse)
            OrderWorkerToBuild(u, index);
    }
    return true;
}

bool ChooseNewBase(std::uint8_t player, int mode)
{
    TStrategAI* ai = Planner(player);
    if (!ai || g_FrameCounter < kBaseMoveFrame || ai->TargetX == STRATEG_AI_UNSET)
        return false;
    const std::int32_t W = g_MapWidth;
    const std::int32_t H = g_MapHeight;
    auto inMap = [&](std::int32_t x, std::int32_t y) { return x >= 0 && x < W && y >= 0 && y < H; };
    if ((ai->HomeX != ai->TargetX || ai->HomeY != ai->TargetY) && inMap(ai->HomeX, ai->HomeY) &&
        RandomDraw() < 16000) {
        ai->TargetX = ai->HomeX;
        ai->TargetY = ai->HomeY;
        ai->FarWorkers = 0;
        return true;
    }
    std::vector<plat::Point> kept;
    for (int i = 0; i < 8; ++i) {
        const TDirStep step = g_DirPixelStep[(RandomDraw() & 7) + 1];
        const plat::Point c{ai->TargetX + step.dx / 24 * 20, ai->TargetY + step.dy / 24 * 20};
        if (inMap(c.x, c.y))
            kept.push_back(c);
    }
    if (kept.empty())
        return false;
    if (mode == 0) {
        const plat::Point c = kept[RandomDraw() % kept.size()];
        ai->TargetX = c.x;
        ai->TargetY = c.y;
    } else {
        // The random cells lie 20 cells inside every border; a map too small for that has none.
        if (W <= 41 || H <= 41)
            return false;
        const plat::Point base{ai->TargetX, ai->TargetY};
        std::vector<std::pair<std::int32_t, plat::Point>> cells;
        for (int i = 0; i < 100; ++i) {
            const std::int32_t x = RandomDraw() % (W - 40) + 20;
            const std::int32_t y = RandomDraw() % (H - 40) + 20;
            const std::int32_t d = Manhattan(x, y, base.x, base.y);
            auto at = std::find_if(cells.begin(), cells.end(), [d](const auto& e) { return e.first > d; });
            cells.insert(at, {d, {x, y}});
        }
        std::int32_t best = 0;
        plat::Point chosen{};
        for (std::size_t i = 0; i < 20; ++i) {
            const std::int32_t score = EnemyPresence(player, cells[i].second, base, 0);
            if (i == 0 || score < best) {
                best = score;
                chosen = cells[i].second;
            }
        }
        ai->TargetX = chosen.x;
        ai->TargetY = chosen.y;
    }
    ai->WantedHouses[6] = static_cast<std::uint16_t>(ai->WantedHouses[6] + 2);
    ai->FarWorkers = 0;
    return true;
}

std::int32_t EnemyPresence(std::uint8_t player, const plat::Point& cell, const plat::Point& base, int depth)
{
    std::int32_t score = 0;
    const std::int32_t x0 = std::max(cell.x - 20, 4), x1 = std::min(cell.x + 20, g_MapWidth - 4);
    const std::int32_t y0 = std::max(cell.y - 40, 10), y1 = std::min(cell.y + 40, g_MapHeight - 10);
    for (std::int32_t y = y0; y <= y1; ++y)
        for (std::int32_t x = x0; x <= x1; ++x) {
            if (!CellPointInMap({x, y})) {
                ReportMapOverrun(kMsgGetObjectPoz);
                continue;
            }
            const std::uint16_t code = GetObjectFromMap(plat::Point{x, y});
            if (code >= kObjectPlayerHouseFirst && code <= kObjectPlayerHouseLast) {
                const std::uint32_t owner = HouseCodePlayer(code);
                const std::uint32_t index = HouseCodeIndex(code);
                if (owner < 8 && g_pHouse[owner] && index < NumHouse[owner] &&
                    IsEnemy(player, static_cast<std::uint8_t>(owner))) {
                    const THouse* h = HouseAt(g_pHouse[owner], index);
                    if (h && !h->Destroyed) {
                        switch (h->HouseType) {
                        case 1: case 4: case 7: case 16: case 19: case 21: case 23: score += 100; break;
                        default: score += 10; break;
                        }
                    }
                }
            }
            TUnit** list = g_pUnitsMap ? g_pUnitsMap[CellIndex(x, y)] : nullptr;
            for (int i = 0; list && i < kCellUnitCapacity && list[i]; ++i)
                if (!list[i]->Dead && IsEnemy(player, list[i]->Player))
                    ++score;
        }
    if (depth <= 1) {
        const plat::Point mid{(cell.x + base.x) / 2, (cell.y + base.y) / 2};
        score += EnemyPresence(player, mid, base, depth + 1);
    }
    return score;
}

void ComputeShorePoints(std::uint8_t player)
{
    TStrategAI* ai = Planner(player);
    if (!ai)
        return;
    ai->ShoreX.clear();
    ai->ShoreY.clear();
    if (ai->TargetX == STRATEG_AI_UNSET)
        return;
    const plat::Point start = CellPixel(ai->TargetX, ai->TargetY);
    const double sx = start.x + 48.0;
    const double sy = start.y;
    for (std::uint32_t i = 0; i < kShorePoints; ++i) {
        const double a = i * 3.14159265358979 / 10.0;
        const double stepX = 100.0 * std::cos(a);
        const double stepY = 100.0 * std::sin(a);
        for (int k = 1;; ++k) {
            const float px = static_cast<float>(sx + k * stepX);
            const float py = static_cast<float>(sy + k * stepY);
            const plat::Point c = PixelToFlatCell(px, py);
            if (!InBuildingArea(c.x, c.y))
                break;
            if (MovementMapServices().isWater(c.x, c.y)) {
                ai->ShoreX.push_back(static_cast<std::int32_t>(px));
                ai->ShoreY.push_back(static_cast<std::int32_t>(py));
                break;
            }
        }
    }
}

void NearShorePoint(std::uint8_t player, plat::Point& out, std::int32_t x, std::int32_t y, std::uint32_t n)
{
    TStrategAI* ai = Planner(player);
    if (!ai)
        return;
    if (ai->ShoreX.empty() || n == 0) {
        out = CellPixel(ai->TargetX, ai->TargetY);
        return;
    }
    std::vector<std::pair<std::int64_t, std::size_t>> byDistance;
    for (std::size_t i = 0; i < ai->ShoreX.size(); ++i) {
        const std::int64_t dx = ai->ShoreX[i] - x;
        const std::int64_t dy = ai->ShoreY[i] - y;
        byDistance.push_back({dx * dx + dy * dy, i});
    }
    std::stable_sort(byDistance.begin(), byDistance.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    const std::size_t pick = RandomDraw() % std::min<std::size_t>(n, byDistance.size());
    out = {ai->ShoreX[byDistance[pick].second], ai->ShoreY[byDistance[pick].second]};
}

#include "combat/ship_movement.h"

#include <algorithm>
#include <cmath>

#include "combat/ship_geometry.h"
#include "combat/ship_graphics.h"
#include "combat/ship_waves.h"
#include "combat/ships.h"
#include "combat/unit_behaviour.h"
#include "combat/unit_events.h"
#include "combat/unit_orders.h"
#include "combat/unit_queries.h"
#include "core/app_state.h"
#include "core/random_table.h"
#include "map/map_grid.h"
#include "map/ship_grid.h"
#include "map/water.h"
#include "movement/path_follow.h"
#include "units/house.h"
#include "units/unit.h"
#include "units/unit_lists.h"

namespace {

constexpr float kPi = 3.14159265f;
constexpr float kTwoPi = 6.2831855f;
constexpr float kAngleSnap = 6.2821856f;
constexpr float kOrientFactor = 1.2732395f; // 4 / pi
constexpr std::uint8_t kWorkShip = 14;
constexpr std::uint8_t kFreeWaterKind = 1;
constexpr std::uint8_t kCellClosed = 10;
constexpr std::uint8_t kCellShip = 15;
constexpr std::uint8_t kCellPassable = 9;
constexpr std::uint16_t kRetryWait = 40;
constexpr std::uint8_t kMaxRetries = 10;

TShipGrid* Grid()
{
    return g_pWater != nullptr ? g_pWater->m_pShipGrid.get() : nullptr;
}

bool Alive(const TUnit* u)
{
    return u != nullptr && u->Dead == 0 && u->Basic != nullptr;
}

float Dist(const TUnit* a, const TUnit* b)
{
    return PixelDistance(a->X, a->Y, b->X, b->Y);
}

void WavesIdle(TUnit* u)
{
    u->StartShipWaves();
}

void WavesMoving(TUnit* u)
{
    u->ResetShipWaves();
}

void ClearPath(TUnit* u)
{
    DropPath(u);
    u->PathLength = 0;
    u->PathIndex = -1;
}

// The end of a move: the ship lies still where it is and its move event runs.
void EndMove(TUnit* u, bool stopUnit)
{
    ClearPath(u);
    u->StepX = u->GoalX = u->X;
    u->StepY = u->GoalY = u->Y;
    u->VX = u->VY = 0.0f;
    WavesIdle(u);
    u->Work = UNIT_NO_WORK;
    if (u->m_ShipContact != 0) {
        u->Upright = SHIP_MODE_BACKING;
        if (stopUnit) {
            if (!g_bEditorMode)
                StopUnit(u, 1);
        } else {
            ShipSetUnderway(u);
        }
    } else {
        u->Upright = SHIP_MODE_FORWARD;
        EventUnitEndMove(u);
    }
    u->m_ShipContact = 0;
}

// The angle from a to b, both in the plane with y up, in [0, 2 pi).
float AngleBetween(float ax, float ay, float bx, float by)
{
    float a = std::atan2(by, bx) - std::atan2(ay, ax);
    while (a < 0.0f)
        a += kTwoPi;
    while (a >= kTwoPi)
        a -= kTwoPi;
    return a;
}

const TShipGrid::TShipEntry* OwnEntry(const TShipGrid& grid, const TUnit* ship)
{
    for (const TShipGrid::TShipEntry& e : grid.m_Ships)
        if (e.ship == ship)
            return &e;
    return nullptr;
}

bool PointCell(const TShipGrid& grid, float x, float y, std::int32_t& c, std::int32_t& r)
{
    if (!(x >= 0.0f) || !(y >= 0.0f))
        return false;
    const double fc = std::trunc(static_cast<double>(x * grid.m_FactorX));
    const double fr = std::trunc(static_cast<double>(y * grid.m_FactorY));
    if (fc >= grid.m_Width || fr >= grid.m_Height)
        return false;
    c = static_cast<std::int32_t>(fc);
    r = static_cast<std::int32_t>(fr);
    return true;
}

// The cells a ship has claimed on the grid, less those another ship claims too: lifting them lets
// the ship test its own way without lifting a neighbour's.
struct TOwnCells {
    bool valid = false;
    TShipCellRect own;
    std::vector<TShipCellRect> others;
    static bool Inside(const TShipCellRect& rc, std::int32_t c, std::int32_t r)
    {
        return c >= rc.c0 && c <= rc.c1 && r >= rc.r0 && r <= rc.r1;
    }
    bool Lifted(std::int32_t c, std::int32_t r) const
    {
        if (!valid || !Inside(own, c, r))
            return false;
        for (const TShipCellRect& o : others)
            if (Inside(o, c, r))
                return false;
        return true;
    }
};

TOwnCells OwnCells(const TShipGrid& grid, const TUnit* ship)
{
    TOwnCells out;
    const TShipGrid::TShipEntry* e = ship != nullptr ? OwnEntry(grid, ship) : nullptr;
    TShipGridFields f;
    if (e == nullptr || !GetShipGridFields(ship, f))
        return out;
    out.valid = true;
    out.own = grid.ClaimRect(e->column, e->row, f.type, TShipGrid::HeadingSector(f.heading));
    for (const TShipGrid::TShipEntry& o : grid.m_Ships) {
        TShipGridFields of;
        if (o.ship == ship || !GetShipGridFields(o.ship, of) || of.dead)
            continue;
        const TShipCellRect rc = grid.ClaimRect(o.column, o.row, of.type, TShipGrid::HeadingSector(of.heading));
        if (rc.c0 <= out.own.c1 && rc.c1 >= out.own.c0 && rc.r0 <= out.own.r1 && rc.r1 >= out.own.r0)
            out.others.push_back(rc);
    }
    return out;
}

// The next-point test with the ship's own cells lifted.
bool NextPointFree(const TOwnCells& own, const TShipGrid& grid, float x, float y, std::uint8_t& value)
{
    std::int32_t c = 0, r = 0;
    if (!PointCell(grid, x, y, c, r)) {
        value = kCellClosed;
        return false;
    }
    value = grid.CellValue(c, r);
    if (value == kCellShip && own.Lifted(c, r))
        value = 0;
    return value == 0 || value == SHIP_CELL_SHORE;
}

} // namespace

float ShipWrapAngle(float a)
{
    if (!std::isfinite(a))
        return 0.0f;
    a = std::fmod(a, kTwoPi);
    if (a < 0.0f)
        a += kTwoPi;
    return a >= kAngleSnap ? 0.0f : a;
}

float ShipVelocityHeading(float vx, float vy)
{
    return ShipWrapAngle(std::atan2(vy, -vx) + kPi / 2.0f);
}

// --- geometry ---

TShipVec3 ShipTurn(const TShipVec3& p, float angle)
{
    const float c = std::cos(angle), s = std::sin(angle);
    return {p.x * c - p.y * s, p.x * s + p.y * c, p.z};
}

float ShipDrawingAngle(const TShipData* data, const TUnit* ship)
{
    std::uint8_t frames = data != nullptr ? data->hullFrames : 0;
    if (frames == 0 && ship->Basic != nullptr)
        frames = ship->Basic->TurnSteps();
    if (frames == 0)
        frames = 1;
    const float step = kPi / 4.0f / static_cast<float>(frames);
    return std::floor(ship->Heading / step) * step;
}

namespace {

void KeelOf(const TShipData* data, TShipVec3& k0, TShipVec3& k1)
{
    if (data != nullptr && data->keel.size() >= 2) {
        k0 = data->keel[0];
        k1 = data->keel[1];
    } else {
        // A type without ship data gets a keel of a middling hull.
        k0 = {0.0f, -80.0f, 0.0f};
        k1 = {0.0f, 80.0f, 0.0f};
    }
}

TShipVec3 PlaceOnMap(const TUnit* ship, const TShipVec3& local, float angle, float lower)
{
    const TShipVec3 p = ShipProject(ShipTurn(local, angle));
    return {ship->X + p.x, ship->Y - ship->GroundHeight + p.y + lower, 0.0f};
}

float Cross(const TShipVec3& o, const TShipVec3& a, const TShipVec3& b)
{
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

bool SeparatedOnAxes(const TShipQuad& a, const TShipQuad& b)
{
    for (int i = 0; i < 4; ++i) {
        const TShipVec3& p = a[i];
        const TShipVec3& q = a[(i + 1) % 4];
        const float nx = -(q.y - p.y), ny = q.x - p.x;
        float amin = 1e30f, amax = -1e30f, bmin = 1e30f, bmax = -1e30f;
        for (const TShipVec3& v : a) {
            const float d = v.x * nx + v.y * ny;
            amin = std::min(amin, d);
            amax = std::max(amax, d);
        }
        for (const TShipVec3& v : b) {
            const float d = v.x * nx + v.y * ny;
            bmin = std::min(bmin, d);
            bmax = std::max(bmax, d);
        }
        if (amax < bmin || bmax < amin)
            return true;
    }
    return false;
}

} // namespace

TShipQuad ShipHullOutline(const TShipData* data, const TUnit* ship)
{
    TShipVec3 k0, k1;
    KeelOf(data, k0, k1);
    float ax = -(k1.y - k0.y), ay = k1.x - k0.x;
    const float len = std::sqrt(ax * ax + ay * ay);
    if (len > 0.0f) {
        ax = ax / len * 40.0f;
        ay = ay / len * 40.0f;
    }
    const TShipVec3 across{ax, ay, 0.0f};
    const float angle = ShipDrawingAngle(data, ship);
    return {PlaceOnMap(ship, ShipVecAdd(k0, across), angle, 55.0f), PlaceOnMap(ship, ShipVecAdd(k1, across), angle, 55.0f),
            PlaceOnMap(ship, ShipVecSub(k1, across), angle, 55.0f), PlaceOnMap(ship, ShipVecSub(k0, across), angle, 55.0f)};
}

TShipVec3 ShipNearestKeelPoint(const TShipData* data, const TUnit* ship, float x, float y)
{
    TShipVec3 k0, k1;
    KeelOf(data, k0, k1);
    const float angle = ShipDrawingAngle(data, ship);
    const TShipVec3 a = ShipProject(ShipTurn(k0, angle));
    const TShipVec3 b = ShipProject(ShipTurn(k1, angle));
    TShipVec3 best{};
    float bestD = 1e30f;
    for (int i = 0; i < 20; ++i) {
        const float t = static_cast<float>(i) * 0.05f;
        const TShipVec3 p{ship->X + a.x + (b.x - a.x) * t, ship->Y + a.y + (b.y - a.y) * t,
                          k0.z + (k1.z - k0.z) * t};
        const float d = (p.x - x) * (p.x - x) + (p.y - y) * (p.y - y);
        if (d < bestD) {
            bestD = d;
            best = p;
        }
    }
    return best;
}

bool ShipQuadContains(const TShipQuad& q, float x, float y)
{
    const TShipVec3 p{x, y, 0.0f};
    bool neg = false, pos = false;
    for (int i = 0; i < 4; ++i) {
        const float c = Cross(q[i], q[(i + 1) % 4], p);
        neg = neg || c < 0.0f;
        pos = pos || c > 0.0f;
    }
    return !(neg && pos);
}

bool ShipQuadsIntersect(const TShipQuad& a, const TShipQuad& b)
{
    return !SeparatedOnAxes(a, b) && !SeparatedOnAxes(b, a);
}

// --- look-ups ---

bool FindShipTooClose(const TUnit* ship)
{
    if (!Alive(ship) || !ship->Basic->IsShipUnit())
        return false;
    for (const TUnit* o : g_ShipUnits)
        if (o != ship && Alive(o) && Dist(ship, o) < 100.0f)
            return true;
    const TShipQuad own = ShipHullOutline(ShipDataOf(ship), ship);
    for (auto it = g_ShipUnits.rbegin(); it != g_ShipUnits.rend(); ++it) {
        const TUnit* o = *it;
        if (o == ship || !Alive(o) || Dist(ship, o) >= 1000.0f)
            continue;
        if (ShipQuadsIntersect(own, ShipHullOutline(ShipDataOf(o), o)))
            return true;
    }
    return false;
}

TUnit* FindShipAtPoint(float x, float y, std::uint8_t player)
{
    for (auto it = g_ShipUnits.rbegin(); it != g_ShipUnits.rend(); ++it) {
        TUnit* o = *it;
        if (!Alive(o) || PixelDistance(o->X, o->Y, x, y) >= 600.0f)
            continue;
        if (player < UNIT_NO_PLAYER && !IsEnemy(player, o->Player))
            continue;
        if (ShipQuadContains(ShipHullOutline(ShipDataOf(o), o), x, y))
            return o;
    }
    return nullptr;
}

const TUnit* ShipQuery(float x, float y, std::uint8_t player)
{
    return FindShipAtPoint(x, y, player);
}

// --- the planner ---

bool MakeShipPlanGrid(const TUnit* ship, TShipPlanGrid& out)
{
    const TShipGrid* grid = Grid();
    if (grid == nullptr || grid->m_Width == 0 || grid->m_Height == 0)
        return false;
    out.width = static_cast<std::int32_t>(grid->m_Width);
    out.height = static_cast<std::int32_t>(grid->m_Height);
    out.cells = grid->m_Cells;
    if (ship == nullptr || ship->Basic == nullptr)
        return true;
    const TOwnCells own = OwnCells(*grid, ship);
    if (!own.valid)
        return true;
    for (std::int32_t r = std::max(own.own.r0, 0); r <= own.own.r1 && r < out.height; ++r)
        for (std::int32_t c = std::max(own.own.c0, 0); c <= own.own.c1 && c < out.width; ++c) {
            std::uint8_t& v = out.cells[static_cast<std::size_t>(r) * out.width + c];
            if (v == kCellShip && own.Lifted(c, r))
                v = 0;
        }
    return true;
}

bool ShipLineClear(const TShipPlanGrid& grid, std::int32_t c0, std::int32_t r0, std::int32_t c1, std::int32_t r1)
{
    const std::int32_t dx = std::abs(c1 - c0), dy = -std::abs(r1 - r0);
    const std::int32_t sx = c0 < c1 ? 1 : -1, sy = r0 < r1 ? 1 : -1;
    std::int32_t err = dx + dy;
    std::int32_t c = c0, r = r0;
    for (int step = 0; c != c1 || r != r1; ) {
        const std::int32_t e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            c += sx;
        }
        if (e2 <= dx) {
            err += dx;
            r += sy;
        }
        ++step;
        const std::uint8_t v = grid.At(c, r);
        if (v <= kCellPassable)
            continue;
        if (v == kCellShip && (step <= 2 || step >= 15))
            continue;
        return false;
    }
    return true;
}

bool ShipPlan(const TShipPlanGrid& grid, std::int32_t sc, std::int32_t sr, std::int32_t gc, std::int32_t gr,
              std::int32_t& outC, std::int32_t& outR)
{
    outC = gc;
    outR = gr;
    if ((sc == gc && sr == gr) || ShipLineClear(grid, sc, sr, gc, gr))
        return true;
    static constexpr std::int32_t kDc[8] = {0, 1, 1, 1, 0, -1, -1, -1};
    static constexpr std::int32_t kDr[8] = {-1, -1, 0, 1, 1, 1, 0, -1};
    const std::size_t count = static_cast<std::size_t>(grid.width) * grid.height;
    if (gc < 0 || gr < 0 || gc >= grid.width || gr >= grid.height || sc < 0 || sr < 0 || sc >= grid.width || sr >= grid.height)
        return false;
    // Each cell enters the queue at most once, so a queue of the grid's size never overflows.
    std::vector<std::uint8_t> from(count, 0); // 1..8: the step that reached the cell, 9 the goal
    std::vector<std::int32_t> queue(count);
    std::size_t head = 0, tail = 0;
    const auto index = [&](std::int32_t c, std::int32_t r) { return static_cast<std::size_t>(r) * grid.width + c; };
    const auto passable = [&](std::int32_t c, std::int32_t r) {
        const std::uint8_t v = grid.At(c, r);
        if (v == 0)
            return true;
        if (v != kCellShip)
            return false;
        const std::int32_t ac = std::abs(c - sc), ar = std::abs(r - sr);
        return (ac <= 1 && ar <= 1) || ac > 15 || ar > 15 || ac + ar > 15;
    };
    from[index(gc, gr)] = 9;
    queue[tail++] = static_cast<std::int32_t>(index(gc, gr));
    bool reached = false;
    while (head < tail && !reached) {
        const std::int32_t cell = queue[head++];
        const std::int32_t c = cell % grid.width, r = cell / grid.width;
        for (int d = 0; d < 8; ++d) {
            const std::int32_t nc = c + kDc[d], nr = r + kDr[d];
            if (nc < 0 || nr < 0 || nc >= grid.width || nr >= grid.height || from[index(nc, nr)] != 0)
                continue;
            const bool isStart = nc == sc && nr == sr;
            if (!isStart && !passable(nc, nr))
                continue;
            from[index(nc, nr)] = static_cast<std::uint8_t>(d + 1);
            if (isStart) {
                reached = true;
                break;
            }
            queue[tail++] = static_cast<std::int32_t>(index(nc, nr));
        }
    }
    if (!reached)
        return false;
    // Follow the chain from the start toward the goal; keep the farthest cell still in sight.
    std::int32_t lastC = sc, lastR = sr, c = sc, r = sr;
    for (std::size_t guard = 0; guard < count; ++guard) {
        const std::uint8_t step = from[index(c, r)];
        if (step == 9)
            break;
        c -= kDc[step - 1];
        r -= kDr[step - 1];
        if (ShipLineClear(grid, sc, sr, c, r)) {
            lastC = c;
            lastR = r;
            continue;
        }
        const std::int32_t mc = (lastC + c) / 2, mr = (lastR + r) / 2;
        if (ShipLineClear(grid, sc, sr, mc, mr)) {
            lastC = mc;
            lastR = mr;
        }
        break;
    }
    outC = lastC;
    outR = lastR;
    return true;
}

bool FreeShipPointToward(TUnit* ship, float* x, float* y)
{
    const TShipGrid* grid = Grid();
    TShipPlanGrid plan;
    if (ship == nullptr || x == nullptr || y == nullptr || grid == nullptr || !MakeShipPlanGrid(ship, plan))
        return false;
    std::int32_t sc = 0, sr = 0, gc = 0, gr = 0;
    if (!PointCell(*grid, ship->X, ship->Y, sc, sr) || !PointCell(*grid, *x, *y, gc, gr))
        return false;
    std::int32_t c = 0, r = 0;
    if (!ShipPlan(plan, sc, sr, gc, gr, c, r))
        return false;
    if (c < 3 || r < 3 || c >= plan.width - 3 || r >= plan.height - 3)
        return false;
    if (c != sc || r != sr) {
        *x = static_cast<float>(c * static_cast<std::int32_t>(grid->m_CellWidth) + static_cast<std::int32_t>(grid->m_CellWidth) / 2);
        *y = static_cast<float>(r * static_cast<std::int32_t>(grid->m_CellHeight) + static_cast<std::int32_t>(grid->m_CellHeight) / 2);
    }
    return true;
}

bool FreeShipPointToward(TUnit* ship)
{
    if (ship == nullptr)
        return false;
    float x = ship->GoalX, y = ship->GoalY;
    if (!FreeShipPointToward(ship, &x, &y))
        return false;
    ship->StepX = x;
    ship->StepY = y;
    return true;
}

// --- turning and yielding ---

bool ShipTurnStep(TUnit* ship)
{
    if (std::fabs(ship->VX) < 0.01f && std::fabs(ship->VY) < 0.01f)
        return false;
    const float step = ship->Basic->TurnStep;
    const float wanted = ShipVelocityHeading(ship->VX, ship->VY);
    float diff = wanted - ship->Heading;
    while (diff > kPi)
        diff -= kTwoPi;
    while (diff < -kPi)
        diff += kTwoPi;
    if (std::fabs(diff) < step || step <= 0.0f)
        return false;
    const float angle = ShipWrapAngle(ship->Heading + (diff >= 0.0f || diff == -kPi ? step : -step));
    const std::int8_t old = ship->Orient;
    const std::uint8_t orient = static_cast<std::uint8_t>(static_cast<int>(angle * kOrientFactor) % UNIT_ORIENTS);
    // The picture is asked for; the simulation never waits for pictures to load.
    if (ship->m_ShipParts0[orient] == 0) {
        GetShipPart(ship->Basic, SHIP_PART_HULL, orient);
        ship->m_ShipParts0[orient] = 1;
    }
    const std::uint8_t frames = std::max<std::uint8_t>(ship->Basic->TurnSteps(), 1);
    ship->NumSprite = static_cast<float>(static_cast<int>(
        static_cast<float>(frames) * (angle - static_cast<float>(orient) * kPi / 4.0f) * kOrientFactor));
    ship->m_OrientTag = static_cast<std::uint8_t>(old);
    ship->Heading = angle;
    ship->Orient = static_cast<std::int8_t>(orient);
    for (std::uint8_t o = 0; o < UNIT_ORIENTS; ++o) {
        if (o == orient || o == static_cast<std::uint8_t>(old) || ship->m_ShipParts0[o] == 0)
            continue;
        ReturnShipPart(ship->Basic, SHIP_PART_HULL, o);
        ship->m_ShipParts0[o] = 0;
    }
    return true;
}

bool ShipBlocksWay(TUnit* ship, TUnit* other)
{
    if (other->Work == kWorkShip && (other->Basic == nullptr || !other->Basic->IsShipUnit()))
        return false;
    const float vx = ship->VX, vy = -ship->VY;
    const float rx = other->X - ship->X, ry = -(other->Y - ship->Y);
    const float toOther = AngleBetween(vx, vy, rx, ry);
    if (toOther >= kPi / 3.0f && toOther <= 5.759587f)
        return false;
    const float d = Dist(ship, other);
    if (d < 250.0f)
        return true;
    if (toOther < kPi / 4.0f || toOther > 5.4977875f) {
        if (other->Work == kWorkShip ? d < 400.0f : d < 700.0f)
            return true;
    }
    if ((ship->Type >= 19 || other->Type >= 20) && d < 400.0f)
        return true;
    const float wx = 100.0f * std::cos(other->Heading + kPi / 2.0f);
    const float wy = 100.0f * std::sin(other->Heading + kPi / 2.0f);
    const float a = AngleBetween(vx, vy, wx, wy);
    if (a < 0.3926991f)
        return false;
    if (a <= 2.7488937f)
        return true;
    if (a < 3.5342917f)
        return false;
    return a <= 5.105088f;
}

bool IsShipBlocked(TUnit* ship)
{
    if (g_ShipUnits.size() < 2)
        return false;
    for (TUnit* o : g_ShipUnits) {
        if (o == ship || !Alive(o))
            continue;
        const float d = Dist(ship, o);
        if (d >= 900.0f)
            continue;
        const float near = ship->Type == 18 && o->Type == 18 ? 500.0f : 600.0f;
        if (!(ship->Type >= 19 || o->Type >= 19 || d < near))
            continue;
        if (ShipBlocksWay(ship, o))
            return true;
    }
    return false;
}

// --- stopping and starting ---

void ShipStop(TUnit* ship)
{
    if (ship == nullptr)
        return;
    WavesIdle(ship);
    ship->Work = UNIT_NO_WORK;
    if (ship->m_ShipContact == 0) {
        ship->Upright = SHIP_MODE_FORWARD;
        EventUnitEndMove(ship);
    } else {
        ship->Upright = SHIP_MODE_BACKING;
        if (!g_bEditorMode) {
            if (std::fabs(ship->VX) + std::fabs(ship->VY) >= 1.0f) {
                ship->Work = UNIT_NO_WORK;
                ship->WorkObject = SHIP_RAMP_CYCLES;
            } else {
                StopUnit(ship, 1);
            }
        }
    }
    ship->m_ShipContact = 0;
}

void ShipSetUnderway(TUnit* ship)
{
    if (ship == nullptr || g_bEditorMode)
        return;
    if (std::fabs(ship->VX) + std::fabs(ship->VY) < 1.0f) {
        ship->m_ShipContact = 0;
        StopUnit(ship, 1);
        return;
    }
    if (ship->Work == SHIP_WORK_STARTING)
        return;
    if (ship->Upright != SHIP_MODE_BACKING)
        WavesMoving(ship);
    ship->WorkObject = SHIP_RAMP_CYCLES;
    ship->Work = UNIT_NO_WORK;
}

void ShipFireAt(TUnit* ship, float x, float y, std::uint8_t arrived, std::uint8_t atBuilding)
{
    if (arrived == 0) {
        if (ship->Type == 18 && atBuilding == 0 && PixelDistance(ship->X, ship->Y, x, y) > 900.0f)
            return;
        EndMove(ship, false);
    }
    const float dx = x - ship->X, dy = y - ship->Y;
    const float heading = ShipVelocityHeading(dx, dy);
    float diff = std::fabs(heading - ship->Heading);
    diff = std::min(diff, kTwoPi - diff);
    if (diff > 0.23561947f) {
        // A velocity along the target heading: the turn steps turn the ship; being arrived, it
        // does not move.
        const float len = std::sqrt(dx * dx + dy * dy);
        ship->VX = len > 0.0f ? 10.0f * dx / len : 0.0f;
        ship->VY = len > 0.0f ? 10.0f * dy / len : 0.0f;
    } else {
        ship->VX = ship->VY = 0.0f;
    }
}

// --- orders' ship steps ---

void StepTowardTarget(TUnit* ship)
{
    if (ship == nullptr || ship->Basic == nullptr)
        return;
    if (ship->m_bHold == 0 && !FreeShipPointToward(ship)) {
        if (PixelDistance(ship->StepX, ship->StepY, ship->GoalX, ship->GoalY) > 1.0f) {
            GoToPoint(ship, ship->GoalX, ship->GoalY, 1);
            return;
        }
        if (ship->m_PathRetries < kMaxRetries) {
            ++ship->m_PathRetries;
            SetVelocityToWaypoint(ship);
            ship->WaitCount = kRetryWait;
            return;
        }
        // The goal stays out of reach: the ship gives up and its move ends with its event.
        ship->m_PathRetries = 0;
        ClearPath(ship);
        ship->StepX = ship->GoalX = ship->X;
        ship->StepY = ship->GoalY = ship->Y;
        ship->VX = ship->VY = 0.0f;
        ShipStop(ship);
        return;
    }
    ship->m_PathRetries = 0;
    SetVelocityToWaypoint(ship);
    ShipSetUnderway(ship);
    ship->StopAtEnd = 0;
}

void ShipMoveStep(TUnit* ship)
{
    StepTowardTarget(ship);
}

namespace {
void StopHere(TUnit* ship)
{
    ClearPath(ship);
    ship->StepX = ship->GoalX = ship->X;
    ship->StepY = ship->GoalY = ship->Y;
    ship->VX = ship->VY = 0.0f;
}
} // namespace

void FreePixelCoordForShip(TUnit* ship)
{
    const TShipGrid* grid = Grid();
    if (ship == nullptr || grid == nullptr)
        return;
    if (grid->TestPixelForShip(kFreeWaterKind, ship->GoalX, ship->GoalY))
        return;
    const float dx = ship->X - ship->GoalX, dy = ship->Y - ship->GoalY;
    const float d = std::sqrt(dx * dx + dy * dy) * (ship->Type == UNIT_TYPE_TRANSPORT_SHIP ? 0.2f : 0.01f);
    const bool transport = ship->Type == UNIT_TYPE_TRANSPORT_SHIP;
    if (d < 2.0f) {
        StopHere(ship);
        if (transport) {
            ship->m_ShipGoalX = ship->X + dx * 0.1f;
            ship->m_ShipGoalY = ship->Y + dy * 0.1f;
        }
        return;
    }
    const float len = std::sqrt(dx * dx + dy * dy);
    const float ux = dx / len, uy = dy / len;
    float x = ship->GoalX, y = ship->GoalY;
    const int steps = static_cast<int>(d);
    for (int i = 0; i < steps; ++i) {
        x += ux;
        y += uy;
        const std::uint8_t v = grid->IsPixelFreeForShip(kFreeWaterKind, x, y) ? 0 : grid->GetPixelCellForShip(x, y);
        if (v == 0 || (v == kCellShip && PixelDistance(ship->X, ship->Y, x, y) < 200.0f)) {
            ship->StepX = ship->GoalX = x;
            ship->StepY = ship->GoalY = y;
            if (transport) {
                ship->m_ShipGoalX = x - ux;
                ship->m_ShipGoalY = y - uy;
            }
            return;
        }
    }
    StopHere(ship);
}

bool ShipGoalIsFreeWater(const TUnit* ship)
{
    const TShipGrid* grid = Grid();
    return ship != nullptr && grid != nullptr && grid->IsPixelFreeForShip(10, ship->GoalX, ship->GoalY);
}

bool ShipRoomAt(float x, float y, std::int32_t radius)
{
    const TShipGrid* grid = Grid();
    std::int32_t c = 0, r = 0;
    // Without water nothing of the ships' grid stands in the way.
    if (grid == nullptr)
        return true;
    if (!PointCell(*grid, x, y, c, r))
        return false;
    radius = std::clamp(radius, 0, 64);
    for (std::int32_t j = r - radius; j <= r + radius; ++j)
        for (std::int32_t i = c - radius; i <= c + radius; ++i)
            if (grid->CellValue(i, j) != SHIP_CELL_FREE)
                return false;
    return true;
}

// --- the per-cycle handler ---

namespace {

void PlanNextLeg(TUnit* ship)
{
    ship->StepX = ship->GoalX;
    ship->StepY = ship->GoalY;
    StepTowardTarget(ship);
}

void Advance(TUnit* ship, float sx, float sy)
{
    ship->X += sx;
    ship->Y += sy;
}

// Whether the step would bring the ship's hull onto another ship's hull while closing on it. The
// grid's tags and the yield test leave a ship free to sail into a neighbour that crosses its bow
// from the side; this keeps hulls apart. A ship moving away from another is never held.
bool StepMeetsHull(TUnit* ship, float sx, float sy)
{
    const float nx = ship->X + sx, ny = ship->Y + sy;
    TShipQuad next{};
    bool made = false;
    for (const TUnit* o : g_ShipUnits) {
        if (o == ship || !Alive(o))
            continue;
        const float now = Dist(ship, o);
        if (now > 600.0f || PixelDistance(nx, ny, o->X, o->Y) >= now)
            continue;
        if (!made) {
            const float x = ship->X, y = ship->Y;
            ship->X = nx;
            ship->Y = ny;
            next = ShipHullOutline(ShipDataOf(ship), ship);
            ship->X = x;
            ship->Y = y;
            made = true;
        }
        if (ShipQuadsIntersect(next, ShipHullOutline(ShipDataOf(o), o)))
            return true;
    }
    return false;
}

void Targets(TUnit* ship, bool arrived)
{
    const std::uint8_t owner = ship->Player < UNIT_PLAYERS ? ship->Player : 0;
    const float range = static_cast<float>(ship->Basic->Range[owner]);
    if (TUnit* t = ship->AttackUnit) {
        if (t->Dead == 0) {
            if (PixelDistance(ship->X, ship->Y, t->X, t->Y) <= range)
                ShipFireAt(ship, t->X, t->Y, arrived ? 1 : 0, 0);
            else
                OrderAttackUnit(ship, t, 1);
        } else {
            CancelOrderAndStop(ship);
        }
    } else if (THouse* h = ship->HouseAttack) {
        if (h->Destroyed == 0) {
            const TFloatPoint c = HouseCentre(h);
            if (PixelDistance(ship->X, ship->Y, c.x, c.y) <= range)
                ShipFireAt(ship, c.x, c.y, arrived ? 1 : 0, 1);
            else
                AttackHouse(ship, ship, h, 0, 0);
        } else {
            CancelOrderAndStop(ship);
        }
    }
}

void RefreshPlace(TUnit* ship)
{
    const plat::Point cell = PixelToFlatCell(ship->X, ship->Y);
    if (cell.x >= 0 && cell.y >= 0 && (cell.x != ship->MapX || cell.y != ship->MapY))
        MoveUnitToCell(cell.x, cell.y, ship);
    GetObjectAt(ship);
}

// Steps 4 to 6 of a cycle: the hold, the blocking tests and the move itself.
void Sail(TUnit* ship, bool arrived, float sx, float sy)
{
    const float speed = UnitSpeed(ship);
    const bool backing = ship->Upright == SHIP_MODE_BACKING || ship->m_ShipContact != 0;
    if (ship->m_bHold != 0) {
        if (IsShipBlocked(ship))
            return;
        if (!StepMeetsHull(ship, sx, sy))
            Advance(ship, sx, sy);
        if (PixelDistance(ship->X, ship->Y, ship->StepX, ship->StepY) <= speed)
            ship->m_bHold = 0;
        return;
    }
    if (!arrived) {
        const TShipGrid* grid = Grid();
        std::uint8_t value = 0;
        const TOwnCells own = grid != nullptr ? OwnCells(*grid, ship) : TOwnCells{};
        if (grid != nullptr && !NextPointFree(own, *grid, ship->X + sx, ship->Y + sy, value)) {
            const float wanted = ShipVelocityHeading(ship->VX, ship->VY);
            const float left = ShipWrapAngle(wanted - ship->Heading);
            if (left < ship->Basic->TurnStep) {
                if (value == kCellClosed) {
                    PlanNextLeg(ship);
                    return;
                }
                if (IsShipBlocked(ship)) {
                    std::uint8_t ahead = 0;
                    if (!NextPointFree(own, *grid, ship->X + sx * 10.0f, ship->Y + sy * 10.0f, ahead)) {
                        if (RandomDraw() > 4999) {
                            WavesIdle(ship);
                            ship->m_pContactUnit = nullptr;
                        } else {
                            PlanNextLeg(ship);
                        }
                        return;
                    }
                }
            }
        }
    }
    if (ship->Type == UNIT_TYPE_TRANSPORT_SHIP && ship->m_PassengerCount > 0 && ship->m_pPassengers != nullptr
        && RandomDraw() % 5 == 1) {
        for (std::uint16_t i = 0; i < ship->m_PassengerCount && i < ship->PassengerCapacity(); ++i)
            if (TUnit* p = ship->m_pPassengers[i])
                MoveUnitToCell(ship->MapX, ship->MapY, p);
    }
    if (arrived) {
        ShipTurnStep(ship);
        WavesIdle(ship);
        return;
    }
    const float toGoal = PixelDistance(ship->X, ship->Y, ship->StepX, ship->StepY);
    if (toGoal > 2.0f * speed) {
        if (backing) {
            if (!StepMeetsHull(ship, sx, sy))
                Advance(ship, sx, sy);
        } else if (!ShipTurnStep(ship) && !StepMeetsHull(ship, sx, sy)) {
            Advance(ship, sx, sy);
        }
        return;
    }
    if (PixelDistance(ship->StepX, ship->StepY, ship->GoalX, ship->GoalY) > 100.0f) {
        PlanNextLeg(ship);
        return;
    }
    EndMove(ship, true);
}

} // namespace

void MakeMoveShip(TUnit* ship)
{
    if (ship == nullptr || ship->Basic == nullptr)
        return;
    if (ship->Work != kWorkShip) {
        ship->UpdateTowers();
        if (ship->WaitCount != 0) {
            if (--ship->WaitCount == 0) {
                WavesMoving(ship);
                if (ship->m_PathRetries != 0)
                    StepTowardTarget(ship);
            }
        } else {
            const bool arrived = PixelDistance(ship->X, ship->Y, ship->GoalX, ship->GoalY) < 1.0f;
            float sx = ship->VX, sy = ship->VY;
            if (ship->Upright == SHIP_MODE_BACKING) {
                sx = -sx;
                sy = -sy;
                ship->m_ShipContact = 0;
            }
            if (ship->Work == SHIP_WORK_STOPPING) {
                if (ship->WorkObject > 0)
                    --ship->WorkObject;
                if (ship->WorkObject == 0) {
                    ship->Work = UNIT_NO_WORK;
                    if (ship->m_ShipContact != 0) {
                        ship->Upright = SHIP_MODE_BACKING;
                        ShipSetUnderway(ship);
                    } else {
                        ship->Upright = SHIP_MODE_FORWARD;
                        EventUnitEndMove(ship);
                    }
                    ship->m_ShipContact = 0;
                } else {
                    sx *= static_cast<float>(ship->WorkObject) * 0.05f;
                    sy *= static_cast<float>(ship->WorkObject) * 0.05f;
                }
            } else if (ship->Work == SHIP_WORK_STARTING) {
                if (ship->WorkObject > 0)
                    --ship->WorkObject;
                if (ship->WorkObject == 0) {
                    ship->Work = UNIT_NO_WORK;
                } else {
                    const float f = static_cast<float>(SHIP_RAMP_CYCLES - ship->WorkObject) * 0.05f;
                    sx *= f;
                    sy *= f;
                }
            } else {
                ship->m_ShipContact = 0;
            }
            Sail(ship, arrived, sx, sy);
        }
    }
    if (ship->Dead == 0)
        Targets(ship, PixelDistance(ship->X, ship->Y, ship->GoalX, ship->GoalY) < 1.0f);
    RefreshPlace(ship);
}

// --- the ship list ---

void ShipListInit()
{
    g_ShipUnits.clear();
}

void ShipListFree()
{
    g_ShipUnits.clear();
    ShipWaveDone();
}

#include "movement/path_search.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/error_log.h"
#include "map/map_grid.h"
#include "movement/directions.h"
#include "movement/passability.h"
#include "movement/path_cache.h"
#include "players/game_cycle.h"
#include "units/unit.h"
#include "units/unit_lists.h"

std::int32_t g_PathWorkCounter = 0;

namespace {

constexpr std::uint16_t kGoalMark = 65534;
constexpr std::uint8_t kForbiddenCost = 255;
constexpr float kStraightLineReach = 120.0f;
// Half-size of the window round's copy: every cell the round can read (the start, the two cells
// of its column beside it, their neighbours, and a goal's neighbours for the trace) lies inside.
constexpr std::int32_t kWindowColumns = 2;
constexpr std::int32_t kWindowRows = 6;

const char* const kMsgLimit = "Путь не найден Now>8000";
const char* const kMsgOverflowFindPath = "Переполнение массива в FindPath";
const char* const kMsgOverflowPointToPoint = "Переполнение массива в FindPathFromPointToPoint";

// A front entry: the cell index, its label and its row parity, so that a value step reads the
// front in order without touching the work map for the entries it only carries.
constexpr std::uint64_t Pack(std::size_t poz, std::uint32_t label, std::uint32_t parity)
{
    return static_cast<std::uint64_t>(poz) | (static_cast<std::uint64_t>(label) << 32)
        | (static_cast<std::uint64_t>(parity) << 48);
}
constexpr std::size_t EntryCell(std::uint64_t e) { return static_cast<std::size_t>(e & 0xFFFFFFFFu); }
constexpr std::uint32_t EntryLabel(std::uint64_t e) { return static_cast<std::uint32_t>((e >> 32) & 0xFFFFu); }
constexpr std::uint32_t EntryParity(std::uint64_t e) { return static_cast<std::uint32_t>(e >> 48); }

// Neighbour index offsets per row parity and direction, for the current map width.
struct TNeighbourOffsets {
    std::ptrdiff_t offset[2][kDirectionCount];
    std::uint32_t parity[2][kDirectionCount]; // the neighbour's row parity
    TNeighbourOffsets()
    {
        for (int p = 0; p < 2; ++p)
            for (int k = 0; k < kDirectionCount; ++k) {
                offset[p][k] = static_cast<std::ptrdiff_t>(g_DirDx[p][k].dy) * g_MapWidth + g_DirDx[p][k].dx;
                parity[p][k] = static_cast<std::uint32_t>((p + g_DirDx[p][k].dy) & 1);
            }
    }
};

struct TWave {
    plat::Point start;
    plat::Point goal;
    const std::uint8_t* cost = g_DirWaveCost;
    const std::uint8_t* penalty = nullptr; // per cell, added to the cost of entering it
    bool ex = false;                       // directions of cost 255 neither label nor reach the goal
    bool window = false;                   // stop once the wave leaves the start's column
    bool reportLimit = true;
};

enum class TWaveEnd { Found, Failed, LeftWindow };

std::uint16_t* PrepareWorkMap()
{
    std::vector<std::uint16_t>& work = PathBuffers().work;
    if (work.size() != g_MapCellCount)
        work.assign(g_MapCellCount, PASS_BLOCKED);
    return work.data();
}

// The work map takes the pass map's values (anything but 0 counting as blocked) on rows
// [r0, r1) and columns [c0, c1).
void CopyPassMap(std::uint16_t* work, const std::uint16_t* pass, std::int32_t c0, std::int32_t c1, std::int32_t r0,
                 std::int32_t r1)
{
    for (std::int32_t r = r0; r < r1; ++r) {
        const std::size_t row = CellIndex(c0, r);
        for (std::int32_t c = 0; c < c1 - c0; ++c)
            work[row + c] = pass[row + c] == 0 ? 0 : PASS_BLOCKED;
    }
}

// The whole pass map, with the map's outer ring blocked whatever the pass map holds there, so
// that no wave reaches a cell whose neighbours lie outside the map.
void CopyWholeMap(std::uint16_t* work, const std::uint16_t* pass)
{
    CopyPassMap(work, pass, 0, g_MapWidth, 0, g_MapHeight);
    const std::int32_t w = g_MapWidth;
    const std::int32_t h = g_MapHeight;
    for (std::int32_t r : {0, 1, h - 2, h - 1})
        if (r >= 0 && r < h)
            std::fill_n(work + CellIndex(0, r), w, PASS_BLOCKED);
    for (std::int32_t r = 0; r < h; ++r) {
        work[CellIndex(0, r)] = PASS_BLOCKED;
        work[CellIndex(w - 1, r)] = PASS_BLOCKED;
    }
}

void CopyWindow(std::uint16_t* work, const std::uint16_t* pass, const plat::Point& start)
{
    const std::int32_t c0 = std::max(0, start.x - kWindowColumns);
    const std::int32_t c1 = std::min<std::int32_t>(g_MapWidth, start.x + kWindowColumns + 1);
    const std::int32_t r0 = std::max(0, start.y - kWindowRows);
    const std::int32_t r1 = std::min<std::int32_t>(g_MapHeight, start.y + kWindowRows + 1);
    CopyPassMap(work, pass, c0, c1, r0, r1);
}

bool InWindow(const plat::Point& start, const plat::Point& p)
{
    return std::abs(p.x - start.x) <= kWindowColumns && std::abs(p.y - start.y) <= kWindowRows;
}

// A vehicle may leave the cells reserved around itself, unless another vehicle stands beside them.
void VehiclePrePass(std::uint16_t* work, const TUnit* unit, const plat::Point& start)
{
    if (g_pCellFlags == nullptr)
        return;
    for (std::uint8_t k = 0; k < kDirectionCount; ++k) {
        const plat::Point c = GetNeighbourPoint(start, k);
        if (!CellPointInMap(c))
            continue;
        const std::size_t poz = CellIndex(c.x, c.y);
        if (g_pCellFlags[poz] != ADVANCED_PATH_UNIT_BIT)
            continue;
        const bool crowded = AnyUnitAround(c, [unit](const TUnit& u) { return &u != unit && IsVehicleUnit(&u); });
        work[poz] = crowded ? PASS_BLOCKED : 0;
    }
}

// Labels grow from the start (1) in value steps; the front is kept in the order the cells were
// reached, and an entry whose label is not yet due is carried to the next front unchanged.
TWaveEnd RunWave(std::uint16_t* work, const TWave& w)
{
    const TNeighbourOffsets nb;
    TPathBuffers& buffers = PathBuffers();
    std::vector<std::uint64_t>* cur = &buffers.frontA;
    std::vector<std::uint64_t>* next = &buffers.frontB;
    cur->clear();
    const std::size_t startPoz = CellIndex(w.start.x, w.start.y);
    work[startPoz] = 1;
    cur->push_back(Pack(startPoz, 1, static_cast<std::uint32_t>(w.start.y & 1)));
    std::uint32_t value = 1;
    bool found = false;
    bool left = false;
    for (;;) {
        next->clear();
        for (std::size_t i = 0; i < cur->size() && !found; ++i) {
            const std::uint64_t e = (*cur)[i];
            if (EntryLabel(e) != value) {
                next->push_back(e);
                continue;
            }
            const std::size_t poz = EntryCell(e);
            const std::uint32_t par = EntryParity(e);
            for (std::uint8_t k = 1; k < kDirectionCount; ++k) {
                const std::size_t n = poz + nb.offset[par][k];
                std::uint16_t& cell = work[n];
                if (cell != 0 && cell != kGoalMark)
                    continue;
                if (w.ex && w.cost[k] == kForbiddenCost)
                    continue;
                if (cell == kGoalMark) {
                    cell = static_cast<std::uint16_t>(value + 1);
                    found = true;
                    break;
                }
                const std::uint32_t label = value + w.cost[k] + (w.penalty != nullptr ? w.penalty[n] : 0u);
                cell = static_cast<std::uint16_t>(label);
                next->push_back(Pack(n, label, nb.parity[par][k]));
                if (w.window && !left) {
                    const std::int32_t r = static_cast<std::int32_t>(n / g_MapWidth);
                    const std::int32_t c = static_cast<std::int32_t>(n % g_MapWidth);
                    left = std::max(std::abs(c - w.start.x), std::abs(r - w.start.y) / 2) > 0;
                }
            }
        }
        ++value;
        if (value > kMaxWaveValue) {
            if (w.reportLimit)
                ReportError(kMsgLimit);
            return TWaveEnd::Failed;
        }
        if (found)
            return TWaveEnd::Found;
        if (left)
            return TWaveEnd::LeftWindow;
        if (next->empty())
            return TWaveEnd::Failed;
        std::swap(cur, next);
    }
}

// Reads the path back from the goal: each step goes to the neighbour of smallest label not above
// the running bound (ties to the lowest direction code). With matching set, a neighbour is taken
// only when its label plus the cost of the step from it is the current label (the goal's finder
// differs by 1), and only over a direction whose cost is below 255. The path comes out start to
// goal; false when it would be longer than kMaxPathSteps or does not end on the start.
bool TraceBack(const std::uint16_t* work, const TWave& w, std::uint32_t goalLabel, bool matching,
               const char* overflowMessage, std::vector<std::uint8_t>& path)
{
    const TNeighbourOffsets nb;
    std::vector<std::uint8_t>& trace = PathBuffers().trace;
    trace.clear();
    std::size_t at = CellIndex(w.goal.x, w.goal.y);
    std::uint32_t par = static_cast<std::uint32_t>(w.goal.y & 1);
    std::uint32_t bound = goalLabel - 1;
    std::uint32_t label = goalLabel;
    bool first = true;
    while (bound > 0) {
        std::uint32_t best = 0;
        std::uint8_t bestK = 0;
        for (std::uint8_t k = kDirectionCount - 1; k >= 1; --k) {
            const std::uint32_t v = work[at + nb.offset[par][k]];
            if (v == 0 || v > bound || (bestK != 0 && v > best))
                continue;
            if (matching) {
                const std::uint8_t stepCost = w.cost[g_ReverseDirection[k]];
                if (stepCost >= kForbiddenCost || v + (first ? 1u : stepCost) != label)
                    continue;
            }
            best = v;
            bestK = k;
        }
        if (bestK != 0) {
            bound = best;
            label = best;
            at += nb.offset[par][bestK];
            par = nb.parity[par][bestK];
            trace.push_back(bestK);
            first = false;
            if (trace.size() > kMaxPathSteps) {
                ReportError(overflowMessage);
                return false;
            }
            if (best == 1)
                break;
        } else if (matching) {
            break;
        }
        --bound;
    }
    if (at != CellIndex(w.start.x, w.start.y))
        return false;
    path.resize(trace.size());
    for (std::size_t i = 0; i < trace.size(); ++i)
        path[i] = g_ReverseDirection[trace[trace.size() - 1 - i]];
    return true;
}

void StorePath(TUnit* unit, const std::vector<std::uint8_t>& path)
{
    delete[] unit->Path;
    unit->Path = new std::uint8_t[path.size()];
    std::copy(path.begin(), path.end(), unit->Path);
    unit->PathLength = static_cast<std::uint16_t>(path.size());
    unit->PathIndex = 0;
}

bool PathFromCache(TUnit* unit, const plat::Point& start, const plat::Point& goal)
{
    std::vector<std::uint8_t> path;
    TPathDesc desc;
    if (!g_PathHelper.Lookup(start, goal, path, desc))
        return false;
    if (!CPathHelper::Stitch(start, {desc.startX, desc.startY}, path, 0)
        || !CPathHelper::Stitch({desc.goalX, desc.goalY}, goal, path, 1) || path.empty()
        || path.size() > kMaxPathSteps)
        return false;
    StorePath(unit, path);
    g_PathWorkCounter += 2;
    return true;
}

// A goal with no open neighbour in the real pass map can never be reached: it is blocked there,
// so later requests for it fail at once.
void BlockEnclosedGoal(std::uint16_t* pass, const plat::Point& goal)
{
    for (std::uint8_t k = 1; k < kDirectionCount; ++k) {
        const plat::Point n = GetNeighbourPoint(goal, k);
        if (CellPointInMap(n) && pass[CellIndex(n.x, n.y)] < PASS_BLOCKED)
            return;
    }
    pass[CellIndex(goal.x, goal.y)] = PASS_BLOCKED;
}

bool PassMapsReady(const std::uint16_t* pass)
{
    return pass != nullptr && g_MapCellCount != 0;
}

// The point-to-point searches share everything after their checks.
std::int8_t SearchBetweenCells(const std::uint16_t* passMap, TWave& w, const char* overflowMessage,
                               std::vector<std::uint8_t>& path)
{
    std::uint16_t* work = PrepareWorkMap();
    CopyWholeMap(work, passMap);
    work[CellIndex(w.goal.x, w.goal.y)] = kGoalMark;
    if (RunWave(work, w) != TWaveEnd::Found)
        return 0;
    const std::size_t goalPoz = CellIndex(w.goal.x, w.goal.y);
    const std::uint32_t goalLabel = work[goalPoz];
    work[goalPoz] = PASS_BLOCKED;
    if (!TraceBack(work, w, goalLabel, w.ex, overflowMessage, path)) {
        path.clear();
        return 0;
    }
    return 1;
}

} // namespace

bool StraightLineFree(const TUnit* unit, const std::uint16_t* pass)
{
    const float dx = unit->GoalX - unit->X;
    const float dy = unit->GoalY - unit->Y;
    if (std::sqrt(dx * dx + dy * dy) >= kStraightLineReach)
        return false;
    for (int i = 0; i < 4; ++i) {
        const float q = static_cast<float>(i) / 4.0f;
        const plat::Point c = PixelToFlatCell(unit->X + dx * q, unit->Y + dy * q);
        if (!CellPointInMap(c) || pass[CellIndex(c.x, c.y)] != 0)
            return false;
    }
    return true;
}

std::int8_t FindPathChecked(TUnit* unit, std::int32_t x, std::int32_t y)
{
    if (unit == nullptr)
        return 0;
    if (!CellPointInMap({x, y})) {
        ReportError("FindPath");
        return 0;
    }
    const std::size_t poz = CellIndex(x, y);
    const bool usable = IsCellUsableByUnit(unit, static_cast<std::uint32_t>(poz))
        || (IsVehicleUnit(unit) && g_pCellFlags != nullptr && g_pCellFlags[poz] == ADVANCED_PATH_UNIT_BIT);
    if (!usable || !IsCellInPlayableArea(x, y)) {
        ++unit->m_PathRetries;
        return 0;
    }
    delete[] unit->Path;
    unit->Path = nullptr;
    unit->PathLength = 0;
    unit->PathIndex = 0;
    unit->VX = 0.0f;
    unit->VY = 0.0f;
    if (x == unit->MapX && y == unit->MapY)
        return -1;
    return FindPath(unit, x, y);
}

std::int8_t FindPath(TUnit* unit, std::int32_t x, std::int32_t y)
{
    if (unit == nullptr)
        return 0;
    const bool vehicle = IsVehicleUnit(unit);
    std::uint16_t* pass = vehicle ? g_pVehiclePassMap : g_pLandPassMap;
    if (!PassMapsReady(pass)) {
        ReportError("FindPath: no pass maps");
        return 0;
    }
    const plat::Point start{unit->MapX, unit->MapY};
    const plat::Point goal{x, y};
    if (!IsCellInPlayableArea(start.x, start.y) || !IsCellInPlayableArea(goal.x, goal.y)) {
        ReportError("FindPath: start or goal outside the playable area");
        ++unit->m_PathRetries;
        return 0;
    }
    if (start.x == goal.x && start.y == goal.y)
        return -1;
    if (!vehicle && StraightLineFree(unit, pass))
        return -1;
    if (!vehicle && PathFromCache(unit, start, goal))
        return 1;

    TWave w;
    w.start = start;
    w.goal = goal;
    const std::int32_t d = std::abs(goal.x - start.x) + std::abs(goal.y - start.y) / 2;
    std::uint16_t* work = PrepareWorkMap();
    TWaveEnd end = TWaveEnd::LeftWindow;
    // A goal next to the start is found on a copy of the cells around the start alone.
    if (d < g_MapWidth / 15) {
        CopyWindow(work, pass, start);
        if (vehicle)
            VehiclePrePass(work, unit, start);
        if (InWindow(start, goal))
            work[CellIndex(goal.x, goal.y)] = kGoalMark;
        w.window = true;
        end = RunWave(work, w);
    }
    if (end == TWaveEnd::LeftWindow) {
        g_PathWorkCounter += d;
        CopyWholeMap(work, pass);
        if (vehicle)
            VehiclePrePass(work, unit, start);
        work[CellIndex(goal.x, goal.y)] = kGoalMark;
        w.window = false;
        end = RunWave(work, w);
    }
    std::vector<std::uint8_t> path;
    if (end == TWaveEnd::Found && TraceBack(work, w, work[CellIndex(goal.x, goal.y)], false, kMsgOverflowFindPath, path)) {
        StorePath(unit, path);
        if (!vehicle)
            g_PathHelper.Add(start, goal, path);
        return 1;
    }
    BlockEnclosedGoal(pass, goal);
    ++unit->m_PathRetries;
    return 0;
}

std::int8_t FindPathFromPointToPoint(const std::uint16_t* passMap, std::int32_t x0, std::int32_t y0, std::int32_t x1,
                                     std::int32_t y1, std::vector<std::uint8_t>& path)
{
    path.clear();
    if (!PassMapsReady(passMap)) {
        ReportError("FindPathFromPointToPoint: no pass map");
        return 0;
    }
    TWave w;
    w.start = PixelToFlatCell(static_cast<float>(x0), static_cast<float>(y0));
    w.goal = PixelToFlatCell(static_cast<float>(x1), static_cast<float>(y1));
    if (w.start.x == w.goal.x && w.start.y == w.goal.y)
        return -1;
    if (!IsCellInPlayableArea(w.start.x, w.start.y) || !IsCellInPlayableArea(w.goal.x, w.goal.y))
        return 0;
    g_PathWorkCounter += g_PathBudget;
    w.penalty = g_pLandPenalty;
    return SearchBetweenCells(passMap, w, kMsgOverflowPointToPoint, path);
}

std::int8_t FindPathFromPointToPointEx(const std::uint16_t* passMap, std::int32_t c0, std::int32_t r0,
                                       std::int32_t c1, std::int32_t r1, const std::uint8_t cost[9],
                                       std::vector<std::uint8_t>& path)
{
    path.clear();
    if (!PassMapsReady(passMap) || cost == nullptr) {
        ReportError("FindPathFromPointToPointEx: no pass map or costs");
        return 0;
    }
    // A step of cost 0 would leave a label where it is, and the front would never move on.
    for (std::uint8_t k = 1; k < kDirectionCount; ++k)
        if (cost[k] == 0) {
            ReportError("FindPathFromPointToPointEx: a direction costs 0");
            return 0;
        }
    TWave w;
    w.start = {c0, r0};
    w.goal = {c1, r1};
    if (c0 == c1 && r0 == r1)
        return -1;
    if (!IsCellInPlayableArea(c0, r0) || !IsCellInPlayableArea(c1, r1))
        return 0;
    w.cost = cost;
    w.ex = true;
    w.reportLimit = false;
    return SearchBetweenCells(passMap, w, kMsgOverflowPointToPoint, path);
}

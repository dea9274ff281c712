#include "movement/path_cache.h"

#include <algorithm>
#include <cstdlib>

#include "core/app_state.h"
#include "core/error_log.h"
#include "core/memory_stream.h"
#include "map/map_grid.h"
#include "movement/passability.h"
#include "units/unit_lists.h"

CPathHelper g_PathHelper;

namespace {

constexpr std::int32_t kNoScore = 10000;

int Sign(std::int32_t v)
{
    return (v > 0) - (v < 0);
}

std::int32_t Score(const TPathDesc& d, const plat::Point& s, const plat::Point& g)
{
    if (s.x == d.startX && s.y == d.startY && g.x == d.goalX && g.y == d.goalY)
        return 0;
    if (std::abs(s.x - d.startX) >= 2 || std::abs(s.y - d.startY) >= 4)
        return kNoScore;
    // A nearby start only helps when the cached path heads the way the request does.
    if (s.x != d.startX) {
        if (Sign(d.goalX - d.startX) != Sign(g.x - s.x))
            return kNoScore;
    } else if (s.y != d.startY) {
        if (Sign(d.goalY - d.startY) != Sign(g.y - s.y))
            return kNoScore;
    }
    return 2 * std::abs(g.x - d.goalX) + std::abs(g.y - d.goalY);
}

} // namespace

bool CPathHelper::Lookup(const plat::Point& s, const plat::Point& g, std::vector<std::uint8_t>& path,
                         TPathDesc& desc) const
{
    std::int32_t best = kNoScore + 1;
    std::size_t chosen = m_LastPathDesc.size();
    for (std::size_t i = 0; i < m_LastPathDesc.size(); ++i) {
        const std::int32_t score = Score(m_LastPathDesc[i], s, g);
        if (score < best) {
            best = score;
            chosen = i;
            if (score == 0)
                break;
        }
    }
    if (chosen == m_LastPathDesc.size() || best > kAcceptThreshold)
        return false;
    path = m_LastPath[chosen];
    desc = m_LastPathDesc[chosen];
    return true;
}

bool CPathHelper::Add(const plat::Point& s, const plat::Point& g, std::span<const std::uint8_t> path)
{
    for (const TPathDesc& d : m_LastPathDesc) {
        if (d.startX != s.x || d.startY != s.y)
            break;
        if (d.goalX == g.x && d.goalY == g.y)
            return false;
    }
    if (m_LastPath.size() >= static_cast<std::size_t>(kCapacity)) {
        m_LastPath.erase(m_LastPath.begin());
        m_LastPathDesc.erase(m_LastPathDesc.begin());
    }
    m_LastPathDesc.push_back({s.x, s.y, g.x, g.y, g_FrameCounter});
    m_LastPath.emplace_back(path.begin(), path.end());
    return true;
}

std::size_t CPathHelper::Refresh()
{
    if (m_LastPathDesc.size() != m_LastPath.size()) {
        ReportError("if (m_LastPathDesc.size()!=m_LastPath.size()) in CPathHelper::Refresh()");
        return m_LastPath.size();
    }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < m_LastPath.size(); ++i) {
        // Unsigned, so an entry from before a counter reset counts as very old.
        if (g_FrameCounter - m_LastPathDesc[i].frame > static_cast<std::uint32_t>(kKeepTime))
            continue;
        if (kept != i) {
            m_LastPath[kept] = std::move(m_LastPath[i]);
            m_LastPathDesc[kept] = m_LastPathDesc[i];
        }
        ++kept;
    }
    m_LastPath.resize(kept);
    m_LastPathDesc.resize(kept);
    return kept;
}

void CPathHelper::Clear()
{
    m_LastPath.clear();
    m_LastPath.shrink_to_fit();
    m_LastPathDesc.clear();
}

void CPathHelper::Save(TOfStreamMemory& out) const
{
    const std::size_t count = std::min(m_LastPath.size(), m_LastPathDesc.size());
    out.WriteU16(static_cast<std::uint16_t>(count));
    for (std::size_t i = 0; i < count; ++i) {
        const TPathDesc& d = m_LastPathDesc[i];
        out.WriteI32(d.startX);
        out.WriteI32(d.startY);
        out.WriteI32(d.goalX);
        out.WriteI32(d.goalY);
        out.WriteU32(d.frame);
        const std::size_t length = std::min<std::size_t>(m_LastPath[i].size(), 0xFFFF);
        out.WriteU16(static_cast<std::uint16_t>(length));
        out.Write(m_LastPath[i].data(), static_cast<std::int32_t>(length));
    }
}

bool CPathHelper::Load(TIfStreamMemory& in)
{
    std::uint16_t count = 0;
    if (!in.ReadU16(count) || count > kCapacity) {
        ReportError("Path cache: the block is cut short or holds too many paths");
        return false;
    }
    std::vector<std::vector<std::uint8_t>> paths(count);
    std::vector<TPathDesc> descs(count);
    for (std::uint16_t i = 0; i < count; ++i) {
        TPathDesc& d = descs[i];
        std::uint16_t length = 0;
        if (!in.ReadI32(d.startX) || !in.ReadI32(d.startY) || !in.ReadI32(d.goalX) || !in.ReadI32(d.goalY) ||
            !in.ReadU32(d.frame) || !in.ReadU16(length) || length > in.Remaining()) {
            ReportError("Path cache: a path is cut short");
            return false;
        }
        paths[i].resize(length);
        in.Read(paths[i].data(), length);
        for (std::uint8_t step : paths[i])
            if (step < 1 || step > 8) {
                ReportError("Path cache: a path holds a step that is no direction");
                return false;
            }
    }
    m_LastPath = std::move(paths);
    m_LastPathDesc = std::move(descs);
    return true;
}

std::uint8_t CPathHelper::StraightStep(const plat::Point& a, const plat::Point& b)
{
    const bool even = (a.y & 1) == 0;
    if (b.x == a.x) {
        if (b.y == a.y + 1)
            return even ? 2 : 3;
        if (b.y > a.y)
            return 6;
        if (b.y == a.y - 1)
            return even ? 1 : 4;
        return 5;
    }
    if (b.x < a.x)
        return b.y < a.y ? 4 : b.y > a.y ? 3 : 8;
    return b.y < a.y ? 1 : b.y > a.y ? 2 : 7;
}

bool CPathHelper::Stitch(const plat::Point& a, const plat::Point& b, std::vector<std::uint8_t>& path, int side)
{
    std::vector<std::uint8_t> steps;
    steps.reserve(200);
    plat::Point at = a;
    while (at.x != b.x || at.y != b.y) {
        const std::uint8_t k = StraightStep(at, b);
        at = GetNeighbourPoint(at, k);
        if (!CellPointInMap(at) || !IsLandCellFree(static_cast<std::uint32_t>(CellIndex(at.x, at.y))))
            return false;
        steps.push_back(k);
    }
    if (side == 0)
        path.insert(path.begin(), steps.begin(), steps.end());
    else
        path.insert(path.end(), steps.begin(), steps.end());
    return true;
}

void RefreshPathCacheTick()
{
    if (g_FrameCounter % 100 == 2)
        g_PathHelper.Refresh();
}

bool InitPathFinding()
{
    g_PathHelper.Clear();
    g_AdvancedPathReleaseQueue.clear();
    g_AdvancedPathUnpathQueue.clear();
    return true;
}

void FreePathFinding()
{
    g_PathHelper.Clear();
}

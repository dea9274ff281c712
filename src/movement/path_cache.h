#pragma once
// The cache of recent land paths. Players send many land units between the same areas; a new
// request is answered from a cached path whose start lies within a cell or two of the unit and
// whose goal lies near the requested goal, with the small gaps at both ends joined by straight
// steps. Vehicles never use it: their reserved cells change too often.
//
// Threads: main thread only (the game cycle and the map loaders).
#include <cstdint>
#include <span>
#include <vector>

#include "platform/types.h"

struct TPathDesc {
    std::int32_t startX = 0;
    std::int32_t startY = 0;
    std::int32_t goalX = 0;
    std::int32_t goalY = 0;
    std::uint32_t frame = 0; // g_FrameCounter when the path was added
};

class TOfStreamMemory;
class TIfStreamMemory;

class CPathHelper {
public:
    static constexpr std::int32_t kCapacity = 80;
    static constexpr std::int32_t kKeepTime = 160;      // frames
    static constexpr std::int32_t kAcceptThreshold = 10; // the largest score taken

    CPathHelper() = default;
    virtual ~CPathHelper() = default;

    // The best cached path for a request from cell s to cell g: the path and its descriptor are
    // copied out. Scores are compared oldest first; the lowest wins, the earliest on ties.
    bool Lookup(const plat::Point& s, const plat::Point& g, std::vector<std::uint8_t>& path, TPathDesc& desc) const;
    // Keeps a path found from s to g, dropping the oldest when full. false when the pair is
    // already known among the leading entries that start at s.
    bool Add(const plat::Point& s, const plat::Point& g, std::span<const std::uint8_t> path);
    // Drops the entries older than the keep time; the number left.
    std::size_t Refresh();
    void Clear();
    // The cache in a save game: u16 count, then per path i32 start x, y, goal x, y, u32 frame, u16
    // length and the steps (1..8). Load keeps nothing of a block it refuses (logged).
    void Save(TOfStreamMemory& out) const;
    bool Load(TIfStreamMemory& in);

    // The straight steps from cell a to cell b, put in front of the path (side 0) or behind it
    // (side 1). false, with the path unchanged, when a step lands on a cell that is blocked in
    // the land map or lies outside the map.
    static bool Stitch(const plat::Point& a, const plat::Point& b, std::vector<std::uint8_t>& path, int side);

    // The one straight step from cell a toward cell b (a != b): the stitching rule.
    static std::uint8_t StraightStep(const plat::Point& a, const plat::Point& b);

    std::size_t Size() const { return m_LastPath.size(); }
    const TPathDesc& Desc(std::size_t i) const { return m_LastPathDesc[i]; }
    std::span<const std::uint8_t> Path(std::size_t i) const { return m_LastPath[i]; }

private:
    std::vector<std::vector<std::uint8_t>> m_LastPath; // oldest first
    std::vector<TPathDesc> m_LastPathDesc;             // one per path, same order
};

extern CPathHelper g_PathHelper;

// Once per game cycle: the cache drops its old entries when g_FrameCounter % 100 is 2.
void RefreshPathCacheTick();
// Empties the cache.
void FreePathFinding();

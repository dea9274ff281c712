#include "map/fog_edges.h"

#include <algorithm>
#include <cmath>

#include "core/error_log.h"
#include "core/geometry.h"
#include "devices/d3d_device.h"
#include "devices/display.h"
#include "platform/draw.h"
#include "platform/surface.h"
#include "platform/texture.h"

std::vector<TFogCurve> g_FogInnerCurves;
std::vector<TFogCurve> g_FogOuterCurves;
std::vector<TScreenVertex> g_FogTriangles;
std::uint16_t g_FogTriangleCount = 0;
std::vector<TScreenVertex> g_FogQuads;
std::uint16_t g_FogQuadCount = 0;
std::vector<TFogRect> g_FogSpanRects;
plat::Surface* g_FogPolySurface = nullptr;
plat::Texture* g_FogBodyTexture = nullptr;
plat::Texture* g_SuperFogTexture = nullptr;

namespace {

// The grid column and row of the screen's top-left corner.
constexpr int kOrigin = 11;
constexpr int kMaxCandidates = 5000;
// A value this close above a whole number counts as one: the point is moved off the grid line.
constexpr float kWholeEpsilon = 0.000005f;
constexpr float kHalfPi = 1.5707964f;
constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kMagenta = 0xFF00FF;

// Number of triangles the corner stage may make: the point count of all aligned curves.
std::uint32_t s_TriangleBudget = 0;

struct TGridPoint {
    int x = 0;
    int y = 0;
    bool operator==(const TGridPoint&) const = default;
};

// Grid pixels to the nearest grid node.
TGridPoint NearestNode(const TFogPoint& p)
{
    return {static_cast<int>(p.x / g_FogCellWidth + 0.5f), static_cast<int>(p.y / g_FogCellHeight + 0.5f)};
}

float OffWholeNumber(float value, float offset)
{
    return value - std::trunc(value) < kWholeEpsilon ? value + offset : value;
}

void TagSmoothed(int x, int y)
{
    if (FogGridCell(x, y) != FOG_FRAME)
        SetFogGridCell(x, y, FOG_SMOOTHED);
}

// The cubic through the midpoints beside points i and i + 1, sampled six times; each sample snaps
// to a grid node, at most one per grid cell over all curves.
void SmoothCurvedPart(const TFogCurve& c, int i, TFogCurve& out)
{
    const float cw = g_FogCellWidth, ch = g_FogCellHeight;
    const TFogPoint& pm = c.pt[static_cast<std::size_t>(i) - 1];
    const TFogPoint& p1 = c.pt[static_cast<std::size_t>(i)];
    const TFogPoint& p2 = c.pt[static_cast<std::size_t>(i) + 1];
    const TFogPoint& pp = c.pt[static_cast<std::size_t>(i) + 2];
    const float p0x = (pm.x + p1.x) / 2.0f, p0y = (pm.y + p1.y) / 2.0f;
    const float p3x = (p2.x + pp.x) / 2.0f, p3y = (p2.y + pp.y) / 2.0f;
    const float k1x = 3.0f * (p1.x - p0x), k1y = 3.0f * (p1.y - p0y);
    const float k2x = 3.0f * (p2.x - p1.x) - k1x, k2y = 3.0f * (p2.y - p1.y) - k1y;
    const float k3x = p3x - p0x - k1x - k2x, k3y = p3y - p0y - k1y - k2y;
    float t = 0.0f;
    for (int s = 0; s < 6; ++s) {
        t += 0.16666667f;
        const float X = k3x * t * t * t + k2x * t * t + k1x * t + p0x;
        const float Y = k3y * t * t * t + k2y * t * t + k1y * t + p0y;
        const int cellX = static_cast<int>(X), cellY = static_cast<int>(Y);
        if (FogGridCell(cellX, cellY) == FOG_SMOOTHED)
            continue;
        const float sx = X * cw, sy = Y * ch;
        const int x0 = static_cast<int>(static_cast<float>(static_cast<int>(sx / cw + 0.5f)) * cw);
        const int y0 = static_cast<int>(static_cast<float>(static_cast<int>(sy / ch + 0.5f)) * ch);
        const int x1 = static_cast<int>(static_cast<float>(x0) + cw);
        const int y1 = static_cast<int>(static_cast<float>(y0) + ch);
        const int nodes[4][2] = {{x0, y0}, {x1, y0}, {x0, y1}, {x1, y1}};
        int best = 1000, bx = x0, by = y0;
        for (const auto& n : nodes) {
            const int d = std::abs(static_cast<int>(static_cast<float>(n[1]) - sy)) +
                          std::abs(static_cast<int>(static_cast<float>(n[0]) - sx));
            if (d < best)
                best = d, bx = n[0], by = n[1];
        }
        AppendFogPoint(out, 1,
                       {OffWholeNumber(static_cast<float>(bx), 2.0f), OffWholeNumber(static_cast<float>(by), 2.0f), 0});
        TagSmoothed(cellX, cellY);
    }
}

void SmoothCurve(TFogCurve& c, TFogCurve& out)
{
    // Drop the closing point, and pad with copies from the start so that the parts pair up.
    const int n = c.count - 1;
    if (c.pt.size() < static_cast<std::size_t>(n) + 3)
        c.pt.resize(static_cast<std::size_t>(n) + 3);
    int end = n;
    if (n % 2 == 0) {
        c.pt[static_cast<std::size_t>(n) + 1] = c.pt[1];
        c.pt[static_cast<std::size_t>(n) + 2] = c.pt[2];
    } else {
        c.pt[static_cast<std::size_t>(n) + 1] = c.pt[0];
        c.pt[static_cast<std::size_t>(n) + 2] = c.pt[1];
        end = n + 1;
    }
    for (int i = 1; i < end;) {
        const TFogPoint& p = c.pt[static_cast<std::size_t>(i)];
        if (p.flag == 1 || c.pt[static_cast<std::size_t>(i) + 1].flag == 1) {
            const int cellX = static_cast<int>(p.x), cellY = static_cast<int>(p.y);
            if (FogGridCell(cellX, cellY) != FOG_SMOOTHED) {
                AppendFogPoint(out, 1,
                               {OffWholeNumber(p.x * g_FogCellWidth, 1.0f), OffWholeNumber(p.y * g_FogCellHeight, 1.0f),
                                1});
                TagSmoothed(cellX, cellY);
            }
            i += 1;
        } else {
            SmoothCurvedPart(c, i, out);
            i += 2;
        }
    }
}

int InsertedNodes(int dx, int dy)
{
    if (dx == 0 && dy == 0)
        return 0;
    if (dy == 0)
        return dx - 1;
    if (dx == 0)
        return dy - 1;
    if (dx == dy || dx == 1)
        return dy - 1;
    if (dy == 1)
        return dx - 1;
    return dx + dy - 3;
}

struct TCandidate {
    int x = 0;
    int y = 0;
    double line = 0.0;
    double start = 0.0;
};
std::vector<TCandidate> s_Candidates;
std::vector<std::size_t> s_Picked;

} // namespace

void FillFogSegment(const TFogPoint& p, const TFogPoint& q, TFogCurve& out)
{
    const float cw = g_FogCellWidth, ch = g_FogCellHeight;
    const int w2 = g_FogGridWidth, h2 = g_FogGridHeight;
    const int ax = static_cast<int>(p.x), ay = static_cast<int>(p.y);
    const int bx = static_cast<int>(q.x), by = static_cast<int>(q.y);
    const TGridPoint ga{static_cast<int>(p.x / cw), static_cast<int>(p.y / ch)};
    const TGridPoint gb{static_cast<int>(q.x / cw), static_cast<int>(q.y / ch)};
    // Steps wholly outside the visible part keep their shape.
    if (!((ga.x >= kOrigin || gb.x >= kOrigin) && (ga.y >= kOrigin || gb.y >= kOrigin) &&
          (ga.x <= w2 - kOrigin || gb.x <= w2 - kOrigin) && (ga.y <= h2 - kOrigin || gb.y <= h2 - kOrigin)))
        return;
    const int n = InsertedNodes(std::abs(ga.x - gb.x), std::abs(ga.y - gb.y));
    if (n <= 0)
        return;
    s_Candidates.clear();
    for (int gy = std::min(ga.y, gb.y); gy <= std::max(ga.y, gb.y); ++gy)
        for (int gx = std::min(ga.x, gb.x); gx <= std::max(ga.x, gb.x); ++gx) {
            if (TGridPoint{gx, gy} == ga || TGridPoint{gx, gy} == gb)
                continue;
            if (s_Candidates.size() + 1 >= kMaxCandidates) {
                ReportError("WarFog: AlignCurve() !!!");
                gy = std::max(ga.y, gb.y) + 1;
                break;
            }
            TCandidate c;
            c.x = static_cast<int>(static_cast<float>(gx) * cw);
            c.y = static_cast<int>(static_cast<float>(gy) * ch);
            c.line = std::abs(PointLineDistance(c.x, c.y, ax, ay, bx, by));
            c.start = std::sqrt(static_cast<double>(c.x - ax) * (c.x - ax) + static_cast<double>(c.y - ay) * (c.y - ay));
            s_Candidates.push_back(c);
        }
    // The n nodes nearest the line; one lying exactly on it is never taken.
    s_Picked.clear();
    for (int k = 0; k < n; ++k) {
        std::size_t best = s_Candidates.size();
        double bestLine = 1000.0;
        for (std::size_t i = 0; i < s_Candidates.size(); ++i) {
            const double d = s_Candidates[i].line;
            if (d != 0.0 && d < bestLine)
                bestLine = d, best = i;
        }
        if (best == s_Candidates.size())
            break;
        s_Picked.push_back(best);
        s_Candidates[best].line = 0.0;
    }
    std::stable_sort(s_Picked.begin(), s_Picked.end(),
                     [](std::size_t a, std::size_t b) { return s_Candidates[a].start < s_Candidates[b].start; });
    for (const std::size_t i : s_Picked)
        AppendFogPoint(out, 1, {static_cast<float>(s_Candidates[i].x), static_cast<float>(s_Candidates[i].y), p.flag});
}

namespace {

// Index k of a curve numbered 1..count, taken round the closed curve.
std::size_t Around(const TFogCurve& c, int k)
{
    const int n = c.count;
    return static_cast<std::size_t>(((k - 1) % n + n) % n + 1);
}

// Removes one-node detours: a point whose neighbours are neighbouring nodes themselves, and
// sideways jogs between two points of one column.
void RemoveSpikes(TFogCurve& c)
{
    const float cw = g_FogCellWidth;
    const int w2 = g_FogGridWidth, h2 = g_FogGridHeight;
    // Each step back follows a change, but a pathological curve must still end.
    long long guard = 8LL * (c.count + 8);
    for (int j = 1; j <= c.count && c.count >= 3 && guard-- > 0; ++j) {
        const TGridPoint a = NearestNode(c.pt[Around(c, j - 1)]);
        const TGridPoint b = NearestNode(c.pt[static_cast<std::size_t>(j)]);
        const TGridPoint n = NearestNode(c.pt[Around(c, j + 1)]);
        if (b.x < kOrigin || b.x > w2 - kOrigin || b.y < kOrigin || b.y > h2 - kOrigin)
            continue;
        const double ac = std::sqrt(static_cast<double>(a.x - n.x) * (a.x - n.x) + static_cast<double>(a.y - n.y) * (a.y - n.y));
        if (static_cast<int>(ac) == 1) {
            c.pt.erase(c.pt.begin() + j);
            --c.count;
            if (j > 1)
                j -= 2;
            if (c.count < 3)
                break;
        }
        if (a.x == n.x && a.x != b.x) {
            c.pt[Around(c, j + 1)].x = static_cast<float>(b.x) * cw;
            if (j > 1)
                j -= 2;
        }
    }
}

void TagSeenSide(int x, int y)
{
    const std::uint8_t v = FogGridCell(x, y);
    if (v != FOG_UNDER_TRIANGLE && v != FOG_FOG_SIDE)
        SetFogGridCell(x, y, FOG_SEEN_SIDE);
}

void TagFogSide(int x, int y)
{
    const std::uint8_t v = FogGridCell(x, y);
    if (v != FOG_UNDER_TRIANGLE && v != FOG_SEEN_SIDE)
        SetFogGridCell(x, y, FOG_FOG_SIDE);
}

TScreenVertex TemplateVertex(int k, float x, float y)
{
    TScreenVertex v = g_SpriteQuadTemplate[static_cast<std::size_t>(k)];
    v.x = x;
    v.y = y;
    v.z = 0.0f;
    return v;
}

void CornerStep(const TGridPoint& a, const TGridPoint& b)
{
    const float cw = g_FogCellWidth, ch = g_FogCellHeight;
    if (a.x == b.x) {
        if (b.y < a.y)
            SetFogGridCell(a.x - 1, b.y, FOG_FOG_SIDE), SetFogGridCell(b.x, b.y, FOG_SEEN_SIDE);
        else
            SetFogGridCell(a.x, a.y, FOG_FOG_SIDE), SetFogGridCell(a.x - 1, a.y, FOG_SEEN_SIDE);
        return;
    }
    if (a.y == b.y) {
        if (b.x > a.x)
            for (int x = a.x; x < b.x; ++x)
                SetFogGridCell(x, a.y - 1, FOG_FOG_SIDE), SetFogGridCell(x, a.y, FOG_SEEN_SIDE);
        else
            for (int x = b.x; x < a.x; ++x)
                SetFogGridCell(x, a.y, FOG_FOG_SIDE), SetFogGridCell(x, a.y - 1, FOG_SEEN_SIDE);
        return;
    }
    const bool up = b.y < a.y, left = b.x < a.x;
    if (g_FogTriangleCount < s_TriangleBudget) {
        const float x0 = static_cast<float>(b.x - kOrigin) * cw, y0 = static_cast<float>(b.y - kOrigin) * ch;
        const float x1 = static_cast<float>(a.x - kOrigin) * cw, y1 = static_cast<float>(a.y - kOrigin) * ch;
        // The corner on the fog side of the diagonal.
        const bool sameSlope = up == left;
        g_FogTriangles.push_back(TemplateVertex(0, x0, y0));
        g_FogTriangles.push_back(TemplateVertex(1, x1, y1));
        g_FogTriangles.push_back(TemplateVertex(2, sameSlope ? x0 : x1, sameSlope ? y1 : y0));
        ++g_FogTriangleCount;
    }
    struct TTags {
        TGridPoint under;
        TGridPoint seen[3];
        TGridPoint fog[3];
    };
    TTags t;
    if (up && left)
        t = {{b.x, b.y}, {{a.x, b.y}, {a.x, b.y - 1}, {b.x, b.y - 1}}, {{b.x, a.y}, {b.x - 1, a.y}, {b.x - 1, b.y}}};
    else if (up)
        t = {{a.x, b.y}, {{b.x, b.y}, {b.x, a.y}, {a.x, a.y}}, {{a.x - 1, b.y}, {a.x - 1, b.y - 1}, {a.x, b.y - 1}}};
    else if (left)
        t = {{b.x, a.y}, {{b.x - 1, a.y}, {b.x - 1, a.y - 1}, {b.x, a.y - 1}}, {{a.x, a.y}, {a.x, b.y}, {b.x, b.y}}};
    else
        t = {{a.x, a.y}, {{a.x, b.y}, {a.x - 1, b.y}, {a.x - 1, a.y}}, {{a.x, a.y - 1}, {b.x, a.y - 1}, {b.x, a.y}}};
    SetFogGridCell(t.under.x, t.under.y, FOG_UNDER_TRIANGLE);
    for (const TGridPoint& s : t.seen)
        TagSeenSide(s.x, s.y);
    for (const TGridPoint& f : t.fog)
        TagFogSide(f.x, f.y);
}

void AppendSpanQuad(const TFogRect& r)
{
    g_FogQuads.push_back(TemplateVertex(0, r.x1, r.y1));
    g_FogQuads.push_back(TemplateVertex(1, r.x2, r.y1));
    g_FogQuads.push_back(TemplateVertex(2, r.x1, r.y2));
    g_FogQuads.push_back(TemplateVertex(2, r.x1, r.y2));
    g_FogQuads.push_back(TemplateVertex(1, r.x2, r.y1));
    g_FogQuads.push_back(TemplateVertex(3, r.x2, r.y2));
}

// Grid pixels to the screen, snapped to the nearest cell corner.
TFogPoint SnapToScreen(const TFogPoint& p)
{
    const float cw = g_FogCellWidth, ch = g_FogCellHeight;
    return {static_cast<float>(static_cast<int>((p.x - kOrigin * cw) / cw + 0.5f)) * cw,
            static_cast<float>(static_cast<int>((p.y - kOrigin * ch) / ch + 0.5f)) * ch, 0};
}

void DrawStrip(const TFogPoint& v0, const TFogPoint& v1, const TFogPoint& v2, const TFogPoint& v3)
{
    const TScreenVertex strip[4] = {TemplateVertex(0, v0.x, v0.y), TemplateVertex(1, v1.x, v1.y),
                                    TemplateVertex(2, v2.x, v2.y), TemplateVertex(3, v3.x, v3.y)};
    g_pD3DDevice->DrawPrimitive(plat::PrimitiveType::TriangleStrip, strip, 4, kDrawWait);
}

// Points 1 .. last of a band pass; a curve at the size limit lost points, which is reported.
int BandPoints(const TFogCurve& c, int wanted)
{
    if (c.count >= FOG_CURVE_MAX_POINTS)
        ReportErrorInt("Ошибка в DrawSuperFog. bf->Count=", c.count);
    // Point last + 1 must exist.
    return std::min<int>(wanted, static_cast<int>(c.pt.size()) - 2);
}

} // namespace

void FreeFogBody()
{
    g_FogTriangles.clear();
    g_FogTriangles.shrink_to_fit();
    g_FogTriangleCount = 0;
    g_FogQuads.clear();
    g_FogQuads.shrink_to_fit();
    g_FogQuadCount = 0;
}

void SmoothFogCurves()
{
    std::vector<TFogCurve> smoothed;
    smoothed.reserve(g_FogCurves.size());
    for (TFogCurve& c : g_FogCurves) {
        TFogCurve out;
        out.hole = c.hole;
        // Five points or fewer enclose too little to be kept.
        if (c.count > 5)
            SmoothCurve(c, out);
        CloseFogCurve(out);
        smoothed.push_back(std::move(out));
    }
    g_FogCurves = std::move(smoothed);
}

void AlignCurve()
{
    std::vector<TFogCurve> aligned;
    aligned.reserve(g_FogCurves.size());
    std::uint32_t budget = 0;
    for (const TFogCurve& c : g_FogCurves) {
        TFogCurve out;
        out.hole = c.hole;
        for (int i = 0; i < c.count; ++i) {
            AppendFogPoint(out, 1, c.pt[static_cast<std::size_t>(i)]);
            FillFogSegment(c.pt[static_cast<std::size_t>(i)], c.pt[static_cast<std::size_t>(i) + 1], out);
        }
        if (out.count > 0)
            RemoveSpikes(out);
        budget += out.count;
        CloseFogCurve(out);
        aligned.push_back(std::move(out));
    }
    s_TriangleBudget = std::min<std::uint32_t>(budget, 65535);
    g_FogCurves = std::move(aligned);
}

void BuildFogCornerTriangles()
{
    std::fill(g_FogGrid.begin(), g_FogGrid.end(), FOG_FRAME);
    g_FogTriangles.clear();
    g_FogTriangleCount = 0;
    g_FogTriangles.reserve(static_cast<std::size_t>(s_TriangleBudget) * 3);
    const int w2 = g_FogGridWidth, h2 = g_FogGridHeight;
    for (const TFogCurve& c : g_FogCurves)
        for (int j = 0; j < c.count; ++j) {
            const TGridPoint a = NearestNode(c.pt[static_cast<std::size_t>(j)]);
            const TGridPoint b = NearestNode(c.pt[static_cast<std::size_t>(j) + 1]);
            if (a.x < 0 || a.y < 0 || b.x < 0 || b.y < 0 || a.x >= w2 || b.x >= w2 || a.y >= h2 || b.y >= h2)
                continue;
            if (!((a.x >= kOrigin - 1 || b.x >= kOrigin - 1) && (a.y >= kOrigin - 1 || b.y >= kOrigin - 1) &&
                  (a.x <= w2 - kOrigin || b.x <= w2 - kOrigin) && (a.y <= h2 - kOrigin || b.y <= h2 - kOrigin)))
                continue;
            if (a == b)
                continue;
            CornerStep(a, b);
        }
}

void BuildFogSpans()
{
    g_FogSpanRects.clear();
    g_FogQuads.clear();
    g_FogQuadCount = 0;
    plat::Surface* poly = g_FogPolySurface;
    if (!poly)
        return;
    const float cw = g_FogCellWidth, ch = g_FogCellHeight;
    FillSurface(poly, 0);
    {
        plat::DrawContext dc(poly);
        if (dc) {
            dc.SelectPen({plat::kPenSolid, 0, kBlack});
            std::vector<plat::Point> points;
            for (const TFogCurve& c : g_FogCurves) {
                // Islands of fog are painted black over the seen areas around them.
                dc.SelectBrush({false, c.hole ? kBlack : kMagenta});
                points.clear();
                for (int k = 0; k < c.count; ++k) {
                    const TGridPoint n = NearestNode(c.pt[static_cast<std::size_t>(k)]);
                    points.push_back({n.x - kOrigin, n.y - kOrigin});
                }
                if (c.count > 2)
                    dc.Polygon(points.data(), points.size());
            }
        }
    }
    plat::LockedArea area;
    const bool locked = poly->Lock(nullptr, area);
    for (int r = 0; r < poly->Height(); ++r) {
        const auto* row =
            locked ? reinterpret_cast<const std::uint16_t*>(area.bits + static_cast<std::size_t>(r) * area.pitch) : nullptr;
        int run = 0;
        const auto endRun = [&](int c) {
            if (run > 0)
                g_FogSpanRects.push_back({static_cast<float>(c - run) * cw, static_cast<float>(r) * ch,
                                          static_cast<float>(c) * cw, static_cast<float>(r + 1) * ch});
            run = 0;
        };
        for (int c = 0; c < poly->Width(); ++c) {
            const std::uint8_t cell = FogGridCell(c + kOrigin, r + kOrigin);
            if (cell == FOG_UNDER_TRIANGLE) {
                endRun(c);
            } else if ((row && row[c] != 0) || cell == FOG_SEEN_SIDE) {
                SetFogGridCell(c + kOrigin, r + kOrigin, FOG_SEEN);
                endRun(c);
            } else {
                SetFogGridCell(c + kOrigin, r + kOrigin, FOG_UNSEEN);
                ++run;
            }
        }
        endRun(poly->Width());
    }
    if (locked)
        poly->Unlock();
    g_FogQuads.reserve(g_FogSpanRects.size() * 6);
    for (const TFogRect& rect : g_FogSpanRects) {
        if (g_FogQuadCount == 65535)
            break;
        AppendSpanQuad(rect);
        ++g_FogQuadCount;
    }
    g_FogSpanRects.clear();
}

void BuildSoftFogBands()
{
    g_FogInnerCurves.clear();
    g_FogOuterCurves.clear();
    const float left = kOrigin * g_FogCellWidth, top = kOrigin * g_FogCellHeight;
    for (const TFogCurve& c : g_FogCurves) {
        TFogCurve inner, outer;
        inner.hole = outer.hole = c.hole;
        for (int k = 1; k <= c.count + 1 && c.count > 0; ++k) {
            const TFogPoint& p0 = c.pt[static_cast<std::size_t>(k) - 1];
            const TFogPoint& p1 = c.pt[static_cast<std::size_t>(k)];
            const TFogPoint& p2 = c.pt[static_cast<std::size_t>(k) + 1];
            const float a1 = std::atan2(p1.y - p0.y, p1.x - p0.x) + kHalfPi;
            const float a2 = std::atan2(p2.y - p1.y, p2.x - p1.x) + kHalfPi;
            // The sum of the two unit normals: longer on straight runs, shorter at corners.
            const float nx = std::cos(a1) + std::cos(a2), ny = std::sin(a1) + std::sin(a2);
            AppendFogPoint(inner, 1, {p1.x + FOG_INNER_OFFSET * nx - left, p1.y + FOG_INNER_OFFSET * ny - top, 0});
            AppendFogPoint(outer, 1, {p1.x + FOG_OUTER_OFFSET * nx - left, p1.y + FOG_OUTER_OFFSET * ny - top, 0});
        }
        // Point count + 1 repeats point 1, so the last strip reaches the first point.
        for (TFogCurve* band : {&inner, &outer}) {
            CloseFogCurve(*band);
            if (band->count > 0)
                --band->count;
        }
        g_FogInnerCurves.push_back(std::move(inner));
        g_FogOuterCurves.push_back(std::move(outer));
    }
    for (int pass = 0; pass < 3; ++pass)
        for (std::vector<TFogCurve>* list : {&g_FogInnerCurves, &g_FogOuterCurves})
            for (TFogCurve& b : *list)
                for (int k = 2; k <= b.count - 1; ++k) {
                    TFogPoint& p = b.pt[static_cast<std::size_t>(k)];
                    const TFogPoint& before = b.pt[static_cast<std::size_t>(k) - 1];
                    const TFogPoint& after = b.pt[static_cast<std::size_t>(k) + 1];
                    p.x = (before.x + p.x + after.x) * 0.33333334f;
                    p.y = (before.y + p.y + after.y) * 0.33333334f;
                }
}

void FogBodyArea(THiddenArea& area, int screenHeight)
{
    area.Reset(screenHeight);
    const std::size_t n = std::min<std::size_t>(6u * g_FogQuadCount, g_FogQuads.size());
    for (std::size_t q = 0; q + 6 <= n; q += 6) {
        float left = g_FogQuads[q].x, right = left, top = g_FogQuads[q].y, bottom = top;
        for (std::size_t k = q; k < q + 6; ++k) {
            left = std::min(left, g_FogQuads[k].x);
            right = std::max(right, g_FogQuads[k].x);
            top = std::min(top, g_FogQuads[k].y);
            bottom = std::max(bottom, g_FogQuads[k].y);
        }
        area.AddRect(left, top, right, bottom);
    }
}

void DrawSuperFog()
{
    TD3DDevice* dev = g_pD3DDevice;
    if (!dev)
        return;
    dev->SetRenderState(D3DState::ZEnable, 0);
    dev->SetRenderState(D3DState::AlphaTestEnable, 0);
    dev->SetRenderState(D3DState::ColorKeyEnable, 0);
    // The fog's colours are its textures' own, whatever light the map is drawn in.
    dev->SetTextureStageState(0, D3DStageState::ColorOp, static_cast<std::uint32_t>(plat::TextureOp::SelectArg1));
    dev->SetTextureStageState(0, D3DStageState::ColorArg1, static_cast<std::uint32_t>(plat::TextureArg::Texture));
    dev->SetTextureStageState(0, D3DStageState::AlphaOp, static_cast<std::uint32_t>(plat::TextureOp::SelectArg1));
    dev->SetTextureStageState(0, D3DStageState::AlphaArg1, static_cast<std::uint32_t>(plat::TextureArg::Texture));

    dev->SetTexture(0, g_FogBodyTexture);
    dev->SetRenderState(D3DState::AlphaBlendEnable, 0);
    if (g_FogTriangleCount > 0)
        dev->DrawPrimitive(plat::PrimitiveType::TriangleList, g_FogTriangles.data(),
                           std::min<std::uint32_t>(3u * g_FogTriangleCount, static_cast<std::uint32_t>(g_FogTriangles.size())),
                           kDrawWait);
    if (g_FogQuadCount > 0)
        dev->DrawPrimitive(plat::PrimitiveType::TriangleList, g_FogQuads.data(),
                           std::min<std::uint32_t>(6u * g_FogQuadCount, static_cast<std::uint32_t>(g_FogQuads.size())),
                           kDrawWait);

    dev->SetRenderState(D3DState::AlphaBlendEnable, 1);
    dev->SetRenderState(D3DState::SrcBlend, static_cast<std::uint32_t>(plat::BlendFactor::SrcAlpha));
    dev->SetRenderState(D3DState::DestBlend, static_cast<std::uint32_t>(plat::BlendFactor::InvSrcAlpha));
    dev->SetTexture(0, g_FogBodyTexture);
    const std::size_t innerPairs = std::min(g_FogCurves.size(), g_FogInnerCurves.size());
    for (std::size_t k = 0; k < innerPairs; ++k) {
        const TFogCurve& c = g_FogCurves[k];
        const TFogCurve& in = g_FogInnerCurves[k];
        const int last = std::min(BandPoints(c, c.count), BandPoints(in, c.count));
        for (int i = 1; i <= last; ++i)
            DrawStrip(in.pt[static_cast<std::size_t>(i) + 1], in.pt[static_cast<std::size_t>(i)],
                      SnapToScreen(c.pt[static_cast<std::size_t>(i) + 1]), SnapToScreen(c.pt[static_cast<std::size_t>(i)]));
    }

    dev->SetTexture(0, g_SuperFogTexture);
    const std::size_t outerPairs = std::min(g_FogInnerCurves.size(), g_FogOuterCurves.size());
    for (std::size_t k = 0; k < outerPairs; ++k) {
        const TFogCurve& in = g_FogInnerCurves[k];
        const TFogCurve& out = g_FogOuterCurves[k];
        const int last = std::min(BandPoints(in, in.count), BandPoints(out, out.count));
        for (int i = 1; i <= last; ++i)
            DrawStrip(out.pt[static_cast<std::size_t>(i) + 1], out.pt[static_cast<std::size_t>(i)],
                      in.pt[static_cast<std::size_t>(i) + 1], in.pt[static_cast<std::size_t>(i)]);
    }
}

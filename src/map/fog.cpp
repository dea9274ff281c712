#include "map/fog.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/error_log.h"
#include "core/app_state.h"
#include "core/memory_stream.h"
#include "devices/d3d_device.h"
#include "devices/display.h"
#include "core/settings.h"
#include "devices/image_files.h"
#include "map/fog_edges.h"
#include "map/map_view.h"
#include "map/minimap.h"
#include "platform/surface.h"
#include "platform/texture.h"
#include "players/strateg.h"

TFogRevealRecord g_FogRevealPoints{};

std::uint8_t g_FogMaskFirstRadius = 0;
std::uint8_t g_FogMaskCount = 0;
std::vector<plat::Surface*> g_FogCircleMasks;
std::vector<plat::Surface*> g_FogEllipseMasks;

plat::Surface* g_FogMiniSurface = nullptr;
std::uint8_t g_FogSeen[FOG_MINI_SIZE][FOG_MINI_SIZE] = {};
plat::Surface* g_FogViewSurface = nullptr;
const std::uint8_t* g_FogLockedBits = nullptr;

std::vector<std::uint8_t> g_FogGrid;
std::int32_t g_FogGridWidth = 0;
std::int32_t g_FogGridHeight = 0;
float g_FogCellWidth = 0.0f;
float g_FogCellHeight = 0.0f;

std::vector<TFogContourPoint> g_FogContours;
std::vector<TFogCurve> g_FogCurves;

namespace {

constexpr int kMaskCount = 40;
constexpr int kMaskFirstRadius = 1;
constexpr int kFullPassFrames = 30;
// A dead unit reveals while its counter falls from 65535 to this, with a shrinking radius.
constexpr std::uint16_t kDeadSightEnd = 61035;
constexpr int kDeadSightSpan = 4500;
// The view's margins in the view picture and the grid's offset of the screen's first cell.
constexpr int kViewMarginCols = 5;
constexpr int kViewMarginRows = 5;

// Pitch of the locked minimap picture, beside g_FogLockedBits.
int s_FogLockedPitch = 0;
// What the resources were made for; a pass on another view or screen makes them again.
struct TFogSize {
    std::int32_t cols = 0;
    std::int32_t rows = 0;
    std::int32_t screenWidth = 0;
    std::int32_t screenHeight = 0;
    bool operator==(const TFogSize&) const = default;
};
TFogSize s_FogMadeFor;
// Freshly made pictures are black: the first pass after InitSuperFog is a full one.
bool s_FullPassDue = false;

TFogServices s_Services = DefaultFogServices();

TFogSize CurrentFogSize()
{
    return {g_ViewCols, g_ViewRows, g_ScreenWidth, g_ScreenHeight};
}

std::uint16_t Magenta16()
{
    return MakeColor16(255, 0, 255);
}

// Float to int toward zero, held inside a range that every later sum stays inside of.
std::int32_t TruncClamped(double v)
{
    if (!(v > -1.0e9))
        return v != v ? 0 : -1000000000;
    if (v > 1.0e9)
        return 1000000000;
    return static_cast<std::int32_t>(v);
}

plat::Surface* MaskOf(const std::vector<plat::Surface*>& table, int radius)
{
    const int i = radius - g_FogMaskFirstRadius;
    if (i < 0 || i >= static_cast<int>(table.size()))
        return nullptr;
    return table[static_cast<std::size_t>(i)];
}

// Writes a mask: pixel (i, j) is magenta where inside(i - r, j - centreRow) holds.
template <class Inside>
void FillMask(plat::Surface* mask, int centreRow, int r, Inside inside)
{
    plat::LockedArea area;
    if (!mask || !mask->Lock(nullptr, area))
        return;
    const std::uint16_t magenta = Magenta16();
    for (int j = 0; j < area.height; ++j) {
        auto* row = reinterpret_cast<std::uint16_t*>(area.bits + static_cast<std::size_t>(j) * area.pitch);
        for (int i = 0; i < area.width; ++i)
            row[i] = inside(i - r, j - centreRow) ? magenta : 0;
    }
    mask->Unlock();
}

void ReleaseMasks()
{
    for (plat::Surface*& s : g_FogCircleMasks)
        plat::ReleaseSurface(s);
    for (plat::Surface*& s : g_FogEllipseMasks)
        plat::ReleaseSurface(s);
    g_FogCircleMasks.clear();
    g_FogEllipseMasks.clear();
    g_FogCircleMasks.shrink_to_fit();
    g_FogEllipseMasks.shrink_to_fit();
}

void ReleaseFogTexture(plat::Texture*& texture)
{
    if (texture)
        texture->Release();
    texture = nullptr;
}

void UnlockMiniSurface()
{
    if (g_FogLockedBits && g_FogMiniSurface)
        g_FogMiniSurface->Unlock();
    g_FogLockedBits = nullptr;
}

// Everything of InitSuperFog after the texture, in its order.
bool MakeFogResources()
{
    const std::uint16_t magenta = Magenta16();
    g_FogMiniSurface = CreateOffscreenSurface(FOG_MINI_SIZE, FOG_MINI_SIZE, magenta, true);
    if (!g_FogMiniSurface)
        return false;
    g_FogViewSurface = CreateOffscreenSurface(g_ViewCols + 2 * kViewMarginCols, g_ViewRows + 20, magenta, true);
    if (!g_FogViewSurface)
        return false;
    if (!BuildFogMasks(kMaskCount, kMaskFirstRadius))
        return false;
    g_FogPolySurface = CreateOffscreenSurface(2 * g_ViewCols, g_ViewRows, magenta, true);
    if (!g_FogPolySurface)
        return false;
    if (!SetFogGridSize(g_ViewCols, g_ViewRows, g_ScreenWidth, g_ScreenHeight))
        return false;
    g_FogBodyTexture = CreateTextureWithAlpha(4, 4, g_TexFormat4444, ColorKeyForFormat(g_TexFormat4444));
    if (!g_FogBodyTexture) {
        ReportError("pDDSFogTexture FAILED");
        return false;
    }
    g_FogBodyTexture->Fill(0xF000);
    return true;
}

// Whether player p's sight counts for the local player.
bool SharesSight(std::uint8_t p)
{
    if (p == MyPlayer)
        return true;
    if (MyPlayer == 255)
        return false;
    const TFogServices& s = s_Services;
    const std::uint8_t toward = s.Relation(MyPlayer, p);
    const bool allied = s.IsDefeated(MyPlayer) || s.IsDefeated(p) || (toward != 0 && toward == s.Relation(p, MyPlayer));
    return allied && (s.IsRandomMapGame() || s.IsNetGame());
}

// One source of radius r at cell (x, y): its circle of radius rm at minimap pixel (mx, my) on a
// full pass, and its ellipse on the view picture when it lies within reach q of the view.
void DrawFogSource(bool fullPass, int r, std::int32_t x, std::int32_t y, std::int32_t mx, std::int32_t my, int rm,
                   int q)
{
    plat::Surface* ellipse = MaskOf(g_FogEllipseMasks, r);
    if (r < 1 || !ellipse)
        return;
    if (fullPass && rm > 0) {
        const bool onPicture = mx >= 0 && mx < FOG_MINI_SIZE && my >= 0 && my < FOG_MINI_SIZE;
        plat::Surface* circle = MaskOf(g_FogCircleMasks, rm);
        if (circle && !(onPicture && g_FogSeen[mx][my] >= rm)) {
            const plat::Rect src{0, 0, 2 * rm + 1, 2 * rm + 1};
            BltSurfaceClipped(g_FogMiniSurface, circle, FOG_MINI_SIZE, FOG_MINI_SIZE, &src, mx - rm, my - rm, true);
            if (onPicture)
                g_FogSeen[mx][my] = static_cast<std::uint8_t>(rm);
        }
    }
    const std::int64_t vx = g_ViewX, vy = g_ViewY;
    if (vx - q <= x && x < vx + g_ViewCols + q && vy - 2 * q <= y && y < vy + g_ViewRows + 2 * q) {
        const plat::Rect src{0, 0, 2 * r + 1, 4 * r + 1};
        BltSurfaceClipped(g_FogViewSurface, ellipse, g_FogViewSurface->Width(), g_FogViewSurface->Height(), &src,
                          static_cast<int>(x - (vx - kViewMarginCols) - r),
                          static_cast<int>(y - (vy - kViewMarginRows) - 2 * r), true);
    }
}

void DrawFogSources(bool fullPass)
{
    const float s = g_MapWidth == 300 ? 2.0f / 3.0f : 1.0f;
    const TFogServices& sv = s_Services;
    const int players = std::min<int>(sv.NumPlayers(), 8);
    for (int p = 0; p < players; ++p) {
        const auto player = static_cast<std::uint8_t>(p);
        if (!SharesSight(player))
            continue;
        sv.ForEachUnit(player, [&](const TFogUnitSight& u) {
            int r = u.sight;
            if (u.dead) {
                if (u.deathCounter < kDeadSightEnd)
                    return;
                r = u.sight - ((65535 - u.deathCounter) * u.sight) / kDeadSightSpan;
            }
            const std::int32_t mx = TruncClamped(static_cast<double>(u.x) * g_MiniMapPixelScaleX);
            const std::int32_t my = TruncClamped(static_cast<double>(u.y) * g_MiniMapPixelScaleY);
            DrawFogSource(fullPass, r, u.mapX, u.mapY, mx, my, static_cast<int>(static_cast<float>(r - 1) * s),
                          u.sight);
        });
        sv.ForEachHouse(player, [&](const TFogHouseSight& h) {
            if (h.status != 0)
                return;
            const double px = (2.0 * h.x - (h.y % 2 == 0 ? 1 : 0)) * 48.0;
            const double py = h.y * 24.0;
            DrawFogSource(fullPass, h.sight, h.x, h.y, TruncClamped(px * g_MiniMapPixelScaleX),
                          TruncClamped(py * g_MiniMapPixelScaleY), static_cast<int>(h.sight * s), h.sight);
        });
    }
    for (int slot = 0; slot < FOG_REVEAL_SLOTS; ++slot) {
        const int r = g_FogRevealPoints.radius[slot];
        const TFogRevealPoint& pt = g_FogRevealPoints.point[slot];
        const double px = (2.0 * pt.x - (pt.y % 2 == 0 ? 1 : 0)) * 48.0;
        const double py = pt.y * 24.0;
        DrawFogSource(fullPass, r, pt.x, pt.y, TruncClamped(px * g_MiniMapPixelScaleX),
                      TruncClamped(py * g_MiniMapPixelScaleY), static_cast<int>(static_cast<float>(r) * s), r);
    }
}

std::int32_t InteriorWidth()
{
    return g_FogGridWidth - 2;
}
std::int32_t InteriorHeight()
{
    return g_FogGridHeight - 2;
}

bool AnyDiagonal(int x, int y, std::uint8_t value)
{
    return FogGridCell(x - 1, y - 1) == value || FogGridCell(x + 1, y - 1) == value ||
           FogGridCell(x - 1, y + 1) == value || FogGridCell(x + 1, y + 1) == value;
}

// ---- Tracing ----

// Looks for the cell in the contour list; appends it to the curve and takes it off the list. A
// cell that is no contour point is a wall: true. Meeting the start again ends the walk: false.
bool AddContourPoint(int x, int y, TFogCurve& curve)
{
    const std::uint8_t cell = FogGridCell(x, y);
    if (cell != FOG_CONTOUR && cell != FOG_START)
        return true;
    const auto it = std::find_if(g_FogContours.begin(), g_FogContours.end(),
                                 [&](const TFogContourPoint& c) { return c.gx == x && c.gy == y; });
    if (it != g_FogContours.end()) {
        AppendFogPoint(curve, 0, {static_cast<float>(x), static_cast<float>(y), it->border});
        g_FogContours.erase(it);
    }
    if (cell == FOG_CONTOUR) {
        SetFogGridCell(x, y, FOG_TAKEN);
        return true;
    }
    return curve.count == 0;
}

struct TWalker {
    int x = 0;
    int y = 0;
    int dx = 0;
    int dy = 0;
    void TurnRight() // up, right, down, left, up
    {
        const int ndx = -dy, ndy = dx;
        dx = ndx, dy = ndy;
    }
    void TurnLeft()
    {
        const int ndx = dy, ndy = -dx;
        dx = ndx, dy = ndy;
    }
};

// Walks the seen cells with the wall on the left from beside the start point, collecting the
// contour points met on the way, until the start is met again.
void WalkContour(int x0, int y0, TFogCurve& curve)
{
    const int wg = InteriorWidth(), hg = InteriorHeight();
    TWalker w;
    if (x0 + 1 < wg && FogGridCell(x0 + 1, y0) == FOG_SEEN)
        w = {x0 + 1, y0, 0, -1};
    else if (x0 - 1 >= 0 && FogGridCell(x0 - 1, y0) == FOG_SEEN)
        w = {x0 - 1, y0, 0, 1};
    else if (y0 + 1 <= hg && FogGridCell(x0, y0 + 1) == FOG_SEEN)
        w = {x0, y0 + 1, 1, 0};
    else if (FogGridCell(x0, y0 - 1) == FOG_SEEN)
        w = {x0, y0 - 1, -1, 0};
    else {
        // An isolated point: it leaves the curve and becomes a wall, so that no later walk
        // mistakes it for its own start.
        if (curve.count > 0)
            --curve.count;
        SetFogGridCell(x0, y0, FOG_UNSEEN);
        return;
    }
    // A wall-follower on a finite grid closes its loop within four visits of each cell; the bound
    // only guards against a walk that never meets its start.
    const long long limit = 4LL * g_FogGridWidth * g_FogGridHeight + 16;
    for (long long step = 0;; ++step) {
        if (step > limit) {
            ReportError("WarFog: contour walk did not close");
            return;
        }
        const int ax = w.x + w.dx, ay = w.y + w.dy;
        const std::uint8_t ahead = FogGridCell(ax, ay);
        if (ahead == FOG_START)
            return;
        if (ahead != FOG_SEEN) {
            if (!AddContourPoint(ax, ay, curve))
                return;
            w.TurnRight();
            continue;
        }
        w.x = ax, w.y = ay;
        // The cell on the left: facing up x - 1, left y + 1, down x + 1, right y - 1.
        const int lx = w.x + w.dy, ly = w.y - w.dx;
        if (FogGridCell(lx, ly) == FOG_SEEN)
            w.TurnLeft();
        else if (!AddContourPoint(lx, ly, curve))
            return;
    }
}

// Even-odd test of (qx, qy) against the curve's edges (i, i + 1), i < count - 1.
bool InsideTracedCurve(const TFogCurve& c, float qx, float qy)
{
    bool inside = false;
    for (int i = 0; i + 1 < c.count; ++i) {
        const TFogPoint& a = c.pt[static_cast<std::size_t>(i)];
        const TFogPoint& b = c.pt[static_cast<std::size_t>(i) + 1];
        if ((qy > a.y) == (qy <= b.y) && qx - a.x < (b.x - a.x) * (qy - a.y) / (b.y - a.y))
            inside = !inside;
    }
    return inside;
}

// A curve whose inside, sampled beside its first points, is unseen surrounds an island of fog.
void TestForHole(TFogCurve& c)
{
    static constexpr int kNeighbours[8][2] = {{1, 1}, {1, -1}, {-1, -1}, {-1, 1}, {0, -1}, {-1, 0}, {1, 0}, {0, 1}};
    int unseen = 0;
    const int samples = std::min<int>(5, c.count);
    for (int k = 0; k < samples; ++k) {
        const int px = static_cast<int>(c.pt[static_cast<std::size_t>(k)].x);
        const int py = static_cast<int>(c.pt[static_cast<std::size_t>(k)].y);
        for (const auto& n : kNeighbours) {
            const int qx = px + n[0], qy = py + n[1];
            if (!InsideTracedCurve(c, static_cast<float>(qx), static_cast<float>(qy)))
                continue;
            if (FogGridCell(qx, qy) == FOG_UNSEEN)
                ++unseen;
            break;
        }
    }
    c.hole = unseen > 1 ? 1 : 0;
}

} // namespace

// ---- Reveal points ----

void ClearFogRecord(TFogRevealRecord& record)
{
    record = TFogRevealRecord{};
    std::fill(std::begin(record.radius), std::end(record.radius), 0);
}

std::uint16_t AddFogRevealPoint(TFogRevealRecord& record, std::int32_t x, std::int32_t y, std::uint8_t radius)
{
    int slot = 0;
    while (slot < FOG_REVEAL_SLOTS && record.radius[slot] != 0)
        ++slot;
    if (slot == FOG_REVEAL_SLOTS)
        return FOG_NO_SLOT;
    int r = radius == 0 ? 1 : radius;
    const int end = kMaskFirstRadius + kMaskCount;
    if (r >= end)
        r = end - 1;
    // Only radii that have a mask are ever drawn: take the largest one below that has.
    if (!MaskOf(g_FogEllipseMasks, r)) {
        for (int lower = r - 1; lower >= 1; --lower)
            if (MaskOf(g_FogEllipseMasks, lower)) {
                r = lower;
                break;
            }
    }
    record.point[slot] = {x, y};
    record.radius[slot] = static_cast<std::uint8_t>(r);
    return static_cast<std::uint16_t>(slot);
}

bool SaveFogState(const TFogRevealRecord& record, TOfStreamMemory& out)
{
    for (const TFogRevealPoint& p : record.point) {
        out.WriteI32(p.x);
        out.WriteI32(p.y);
    }
    for (std::uint8_t r : record.radius)
        out.WriteU8(r);
    return out.Ok();
}

bool LoadFogState(TFogRevealRecord& record, TIfStreamMemory& in)
{
    TFogRevealRecord read{};
    bool ok = true;
    for (TFogRevealPoint& p : read.point) {
        ok = in.ReadI32(p.x) && ok;
        ok = in.ReadI32(p.y) && ok;
    }
    for (std::uint8_t& r : read.radius)
        ok = in.ReadU8(r) && ok;
    if (!ok) {
        ReportError("LoadFogState: the fog record is cut short");
        ClearFogRecord(record);
        return false;
    }
    record = read;
    return true;
}

// ---- Services ----

TFogServices& FogServices()
{
    return s_Services;
}

void ResetFogServices()
{
    s_Services = DefaultFogServices();
}

// ---- Curves ----

bool AppendFogPoint(TFogCurve& curve, int base, TFogPoint point)
{
    if (curve.count >= FOG_CURVE_MAX_POINTS)
        return false;
    const std::size_t at = static_cast<std::size_t>(base) + curve.count;
    // Room for the closing copies after the last point.
    if (curve.pt.size() < at + 4)
        curve.pt.resize(std::max<std::size_t>(at + 4, curve.pt.size() * 2));
    curve.pt[at] = point;
    ++curve.count;
    return true;
}

void CloseFogCurve(TFogCurve& curve)
{
    const std::size_t n = curve.count;
    if (n == 0)
        return;
    if (curve.pt.size() < n + 3)
        curve.pt.resize(n + 3);
    curve.pt[0] = curve.pt[n];
    curve.pt[n + 1] = curve.pt[1];
    curve.pt[n + 2] = curve.pt[n >= 2 ? 2 : 1];
}

// ---- Resources ----

bool SetFogGridSize(std::int32_t viewCols, std::int32_t viewRows, float screenWidth, float screenHeight)
{
    // Grid coordinates are kept in bytes.
    const std::int32_t w2 = 2 * (viewCols + 2 * kViewMarginCols) + 2;
    const std::int32_t h2 = viewRows + 20 + 2;
    if (viewCols < 1 || viewRows < 1 || w2 > 255 || h2 > 255 || !(screenWidth > 0.0f) || !(screenHeight > 0.0f)) {
        ReportError("SuperFog: the view does not fit the fog grid");
        return false;
    }
    g_FogGridWidth = w2;
    g_FogGridHeight = h2;
    g_FogGrid.assign(static_cast<std::size_t>(w2) * h2, FOG_FRAME);
    g_FogCellWidth = screenWidth / static_cast<float>(2 * viewCols);
    g_FogCellHeight = screenHeight / static_cast<float>(viewRows);
    return true;
}

bool BuildFogMasks(std::uint8_t count, std::uint8_t firstRadius)
{
    if (!g_FogCircleMasks.empty() || !g_FogEllipseMasks.empty())
        return false;
    g_FogMaskCount = count;
    g_FogMaskFirstRadius = firstRadius;
    for (int r = firstRadius; r < firstRadius + count; ++r) {
        // Integer forms of (i - r)² + (j - r)² < (r + 0.5)² and (i - r)² + (j - 2r - 1)²/4 < (r + 0.5)².
        const int limit = r * r + r;
        plat::Surface* circle = CreateOffscreenSurface(2 * r + 1, 2 * r + 1, 0, true);
        FillMask(circle, r, r, [&](int dx, int dy) { return dx * dx + dy * dy <= limit; });
        plat::Surface* ellipse = CreateOffscreenSurface(2 * r + 1, 4 * r + 1, 0, true);
        FillMask(ellipse, 2 * r + 1, r, [&](int dx, int dy) { return 4 * dx * dx + dy * dy <= 4 * limit; });
        g_FogCircleMasks.push_back(circle);
        g_FogEllipseMasks.push_back(ellipse);
    }
    return true;
}

bool InitSuperFog()
{
    if (g_bEditorMode) {
        g_FogLockedBits = nullptr;
        FreeFogBody();
        return true;
    }
    if (g_FogMiniSurface)
        return false;
    g_SuperFogTexture = LoadTextureTga(SUPER_FOG_TEXTURE);
    if (!g_SuperFogTexture) {
        ReportError("FAILED: Data\\Misc\\Fog\\SuperFog.tga");
        return false;
    }
    // Half-made resources would make every later attempt refuse: release them all.
    if (!MakeFogResources()) {
        FreeSuperFog();
        return false;
    }
    s_FogMadeFor = CurrentFogSize();
    s_FullPassDue = true;
    return true;
}

bool FreeSuperFog()
{
    UnlockMiniSurface();
    ReleaseFogTexture(g_SuperFogTexture);
    ReleaseFogTexture(g_FogBodyTexture);
    plat::ReleaseSurface(g_FogMiniSurface);
    plat::ReleaseSurface(g_FogViewSurface);
    plat::ReleaseSurface(g_FogPolySurface);
    ReleaseMasks();
    g_FogGrid.clear();
    g_FogGrid.shrink_to_fit();
    g_FogGridWidth = g_FogGridHeight = 0;
    g_FogContours.clear();
    g_FogCurves.clear();
    g_FogInnerCurves.clear();
    g_FogOuterCurves.clear();
    g_FogSpanRects.clear();
    FreeFogBody();
    s_FogMadeFor = {};
    return true;
}

bool RecreateSuperFog()
{
    if (!g_FogMiniSurface)
        return true;
    FreeSuperFog();
    return InitSuperFog();
}

// ---- The pass ----

void FogGridFromView()
{
    std::fill(g_FogGrid.begin(), g_FogGrid.end(), FOG_FRAME);
    const int wg = InteriorWidth(), hg = InteriorHeight();
    plat::LockedArea area;
    if (!g_FogViewSurface || !g_FogViewSurface->Lock(nullptr, area)) {
        // Without the picture nothing counts as seen.
        for (int y = 1; y <= hg; ++y)
            for (int x = 1; x <= wg; ++x)
                SetFogGridCell(x, y, FOG_UNSEEN);
        return;
    }
    const int rows = std::min(hg, area.height), cols = std::min(wg / 2, area.width);
    for (int j = 0; j < rows; ++j) {
        const auto* row = reinterpret_cast<const std::uint16_t*>(area.bits + static_cast<std::size_t>(j) * area.pitch);
        for (int i = 0; i < cols; ++i) {
            const std::uint8_t v = row[i] == 0 ? FOG_UNSEEN : FOG_SEEN;
            SetFogGridCell(2 * i + 1, j + 1, v);
            SetFogGridCell(2 * i + 2, j + 1, v);
        }
    }
    g_FogViewSurface->Unlock();
}

std::size_t FindFogContours()
{
    g_FogContours.clear();
    const int wg = InteriorWidth(), hg = InteriorHeight();
    for (int gy = 1; gy <= hg; ++gy)
        for (int gx = 1; gx <= wg; ++gx) {
            if (FogGridCell(gx, gy) != FOG_SEEN)
                continue;
            int unseen = 0;
            bool border = false;
            for (const int d : {0, 1, 2, 3}) {
                const std::uint8_t v = FogGridCell(gx + (d & 1 ? 1 : -1), gy + (d & 2 ? 1 : -1));
                unseen += v == FOG_UNSEEN;
                border = border || v == FOG_FRAME;
            }
            if (unseen == 0 && !border)
                continue;
            SetFogGridCell(gx, gy, FOG_EDGE);
            if (unseen >= 2 || border)
                g_FogContours.push_back(
                    {static_cast<std::uint8_t>(gx), static_cast<std::uint8_t>(gy), static_cast<std::uint8_t>(border)});
        }
    // Pruning in list order: points kept earlier no longer read as edges for the later ones.
    std::size_t kept = 0;
    for (const TFogContourPoint c : g_FogContours) {
        if (c.border || AnyDiagonal(c.gx, c.gy, FOG_EDGE)) {
            SetFogGridCell(c.gx, c.gy, FOG_CONTOUR);
            g_FogContours[kept++] = c;
        } else {
            SetFogGridCell(c.gx, c.gy, FOG_SEEN);
        }
    }
    g_FogContours.resize(kept);
    const int corners[4][2] = {{1, 1}, {wg, 1}, {wg, hg}, {1, hg}};
    for (const auto& c : corners) {
        g_FogContours.push_back({static_cast<std::uint8_t>(c[0]), static_cast<std::uint8_t>(c[1]), 1});
        SetFogGridCell(c[0], c[1], FOG_CONTOUR);
    }
    return g_FogContours.size();
}

void TraceFogCurves()
{
    g_FogCurves.clear();
    g_FogCurves.emplace_back();
    while (!g_FogContours.empty()) {
        TFogCurve& curve = g_FogCurves.back();
        const int x0 = g_FogContours.front().gx, y0 = g_FogContours.front().gy;
        SetFogGridCell(x0, y0, FOG_START);
        AddContourPoint(x0, y0, curve);
        WalkContour(x0, y0, curve);
        if (curve.count == 0)
            continue;
        for (int i = 0; i < curve.count; ++i) {
            const TFogPoint& p = curve.pt[static_cast<std::size_t>(i)];
            SetFogGridCell(static_cast<int>(p.x), static_cast<int>(p.y), FOG_UNSEEN);
        }
        if (curve.count == 1) {
            curve.count = 0;
            continue;
        }
        const TFogPoint first = curve.pt[0];
        AppendFogPoint(curve, 0, first);
        if (!g_FogContours.empty())
            g_FogCurves.emplace_back();
    }
    if (g_FogCurves.back().count == 0)
        g_FogCurves.pop_back();
    for (TFogCurve& c : g_FogCurves) {
        // The closing sentinel after the last point.
        if (c.pt.size() < static_cast<std::size_t>(c.count) + 1)
            c.pt.resize(static_cast<std::size_t>(c.count) + 1);
        c.pt[c.count] = c.pt[0];
        TestForHole(c);
    }
}

void RequestFullFogPass()
{
    s_FullPassDue = true;
}

void UpdateFog()
{
    UnlockMiniSurface();
    if (!g_FogMiniSurface)
        return;
    if (!(s_FogMadeFor == CurrentFogSize()) && !RecreateSuperFog())
        return;
    const bool fullPass = g_FrameCounter % kFullPassFrames == 0 || s_FullPassDue;
    if (!fullPass && g_ScrollFlag == 0)
        return;
    if (fullPass) {
        s_FullPassDue = false;
        FillSurface(g_FogMiniSurface, 0);
        std::memset(g_FogSeen, 0, sizeof g_FogSeen);
    }
    FillSurface(g_FogViewSurface, 0);
    DrawFogSources(fullPass);

    FreeFogBody();
    FogGridFromView();
    const std::size_t contours = FindFogContours();
    g_FogCurves.clear();
    if (contours <= 10) {
        BuildFogSpans();
        return;
    }
    TraceFogCurves();
    SmoothFogCurves();
    AlignCurve();
    BuildFogCornerTriangles();
    BuildFogSpans();
    BuildSoftFogBands();
}

bool FogTestTile(std::uint16_t x, std::uint16_t y)
{
    if (!g_bFogOfWar || g_bEditorMode || !g_FogMiniSurface)
        return false;
    if (!(g_MiniMapScaleX > 0.0f) || !(g_MiniMapScaleY > 0.0f))
        return false;
    const double col = std::trunc(x / static_cast<double>(g_MiniMapScaleX));
    const double row = std::trunc(y / static_cast<double>(g_MiniMapScaleY));
    if (col < 0 || row < 0 || col >= FOG_MINI_SIZE || row >= FOG_MINI_SIZE)
        return false;
    if (!g_FogLockedBits) {
        plat::LockedArea area;
        if (!g_FogMiniSurface->Lock(nullptr, area))
            return false;
        g_FogLockedBits = area.bits;
        s_FogLockedPitch = area.pitch;
    }
    const auto* rowBits =
        reinterpret_cast<const std::uint16_t*>(g_FogLockedBits + static_cast<std::size_t>(row) * s_FogLockedPitch);
    return rowBits[static_cast<std::size_t>(col)] == 0;
}

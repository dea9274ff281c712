#include "devices/display.h"

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <string>

#include "core/app_state.h"
#include "core/error_log.h"
#include "devices/cursor_state.h"
#include "devices/loader_shared.h"

const TScreenModeInfo g_ScreenModes[SCREEN_MODE_COUNT] = {
    {1024, 768, 1024u * 768u * 8u},
    {1152, 864, 1152u * 864u * 8u},
    {1280, 960, 1280u * 960u * 8u},
    {1280, 1024, 1280u * 1024u * 8u},
};

TDisplayDevice* g_pDD = nullptr;
plat::Surface* g_pDDSPrimary = nullptr;
plat::Surface* g_pDDSBack = nullptr;
plat::Surface* g_pDDSBuffer = nullptr;
std::uint8_t g_bWindowed = 0;
std::uint16_t g_ScreenWidth = 0;
std::uint16_t g_ScreenHeight = 0;
std::uint8_t g_DisplayMode = 0;
std::uint8_t g_ModeAvailable[SCREEN_MODE_COUNT] = {};
plat::PixelMasks g_DisplayPixelFormat;
std::uint8_t g_RedShift = 0, g_GreenShift = 0, g_BlueShift = 0;
std::uint8_t g_RedBits = 0, g_GreenBits = 0, g_BlueBits = 0;
const plat::Font* g_TextFont = nullptr;
std::uint32_t g_TextColor = 0xFFFFFF;

namespace {

// Largest side of an off-screen surface; keeps a corrupt size from asking for gigabytes.
constexpr int kMaxSurfaceSide = 16384;

// Shift = zero bits below the mask; bits = the run of one bits that follows.
void MaskShiftAndBits(std::uint32_t mask, std::uint8_t& shift, std::uint8_t& bits)
{
    shift = 0;
    bits = 0;
    bool seenOne = false;
    for (int i = 0; i < 32; ++i) {
        const bool one = (mask >> i) & 1;
        if (one) {
            seenOne = true;
            ++bits;
        } else if (seenOne) {
            break;
        } else {
            ++shift;
        }
    }
}

// The back buffer is the primary's own in full screen and goes with it; windowed it is separate.
void ReleaseSurfacesOnly()
{
    if (g_pDDSPrimary && g_pDDSBack == g_pDDSPrimary->BackBuffer())
        g_pDDSBack = nullptr;
    plat::ReleaseSurface(g_pDDSBack);
    plat::ReleaseSurface(g_pDDSPrimary);
    plat::ReleaseSurface(g_pDDSBuffer);
}

struct TChannelLayout {
    std::uint8_t shift[3];
    std::uint8_t bits[3];
};

// MakeColor16 runs on the loader thread too: each value is written only when it changes.
void PublishChannelLayout(const TChannelLayout& layout)
{
    PublishLoaderShared(g_RedShift, layout.shift[0]);
    PublishLoaderShared(g_GreenShift, layout.shift[1]);
    PublishLoaderShared(g_BlueShift, layout.shift[2]);
    PublishLoaderShared(g_RedBits, layout.bits[0]);
    PublishLoaderShared(g_GreenBits, layout.bits[1]);
    PublishLoaderShared(g_BlueBits, layout.bits[2]);
}

void SetScreenSize(int mode)
{
    std::lock_guard<plat::CriticalSection> lock(g_InputLock);
    g_ScreenWidth = g_ScreenModes[mode].width;
    g_ScreenHeight = g_ScreenModes[mode].height;
}

bool ApplyDisplayMode(int mode)
{
    if (g_pDD && g_pDD->window && g_pDD->fullScreen)
        return g_pDD->window->SetPresentation(true, g_ScreenModes[mode].width, g_ScreenModes[mode].height);
    return true;
}

std::uint8_t Divisor(std::uint8_t bits)
{
    if (bits == 0 || bits > 8)
        return 0;
    return static_cast<std::uint8_t>(256u >> bits);
}

} // namespace

bool DirectDrawInit(plat::Window* window, int mode)
{
    if (g_pDD)
        DirectDrawFree();
    g_pDD = new TDisplayDevice{window, g_bWindowed == 0};

    if (window && !window->SetPresentation(g_pDD->fullScreen, window->ImageWidth(), window->ImageHeight())) {
        ReportError("DirectDraw SetCooperativeLevel() FAILED");
        return false;
    }
    if (mode < 0 || mode >= SCREEN_MODE_COUNT) {
        ReportError("Wrong ScreenMode!!!");
        ReportError("DDSetVideoMode() FAILED");
        return false;
    }
    SetScreenSize(mode);
    if (g_pDD->fullScreen && !ApplyDisplayMode(mode)) {
        g_bAppActive = 0;
        plat::ShowMessageBox("FatalError", "Cannot set display mode. Set 16 bit color mode and try again.");
        g_bAppActive = 1;
        ReportError("SetDisplayMode() FAILED");
        ReportError("DDSetVideoMode() FAILED");
        return false;
    }
    if (!g_pDD->fullScreen && window)
        window->SetPresentation(false, g_ScreenWidth, g_ScreenHeight);
    g_DisplayMode = static_cast<std::uint8_t>(mode);

    const std::uint64_t videoMemory = plat::VideoMemoryBytes();
    if (videoMemory == 0) {
        ReportError("g_pDD->GetAvailableVidMem() FAILED");
        return false;
    }
    for (int i = 0; i < SCREEN_MODE_COUNT; ++i)
        g_ModeAvailable[i] = videoMemory > g_ScreenModes[i].videoMemoryThreshold ? 1 : 0;

    if (!CreateBackBuffer()) {
        ReportError("DDCreateBasicSurface() FAILED");
        return false;
    }

    // Without the channel masks every colour made by MakeColor16 would be wrong, so a display whose
    // format cannot be read is not usable; the old channel layout must not outlive it either.
    TChannelLayout layout{};
    if (!plat::GetPixelMasks(g_pDDSBack->Format(), g_DisplayPixelFormat) || !g_DisplayPixelFormat.red ||
        !g_DisplayPixelFormat.green || !g_DisplayPixelFormat.blue) {
        PublishChannelLayout(layout);
        plat::DrawContext dc(g_pDDSPrimary);
        if (dc) {
            dc.SelectFont(g_TextFont);
            dc.SetBkMode(plat::kBkOpaque);
            dc.SetBkColor(0);
            dc.SetTextColor(g_TextColor);
            dc.TextOut(10, 10, u"Error reading of pixel format!");
        }
        ReportError("Error reading of pixel format!");
        return false;
    }
    MaskShiftAndBits(g_DisplayPixelFormat.red, layout.shift[0], layout.bits[0]);
    MaskShiftAndBits(g_DisplayPixelFormat.green, layout.shift[1], layout.bits[1]);
    MaskShiftAndBits(g_DisplayPixelFormat.blue, layout.shift[2], layout.bits[2]);
    PublishChannelLayout(layout);
    return true;
}

void DirectDrawFree()
{
    if (!g_pDD)
        return;
    // The loader makes textures for this display; it must not be at work while the display goes.
    WaitLoaderIdle();
    ReleaseSurfacesOnly();
    if (g_pDD->window && g_pDD->fullScreen)
        g_pDD->window->SetPresentation(false, g_pDD->window->ImageWidth(), g_pDD->window->ImageHeight());
    delete g_pDD;
    g_pDD = nullptr;
}

bool SetScreenMode(int mode)
{
    if (mode < 0 || mode >= SCREEN_MODE_COUNT) {
        ReportError("Wrong ScreenMode!!!");
        return false;
    }
    SetScreenSize(mode);
    if (g_pDD && g_pDD->fullScreen && !ApplyDisplayMode(mode)) {
        ReportError("SetDisplayMode() FAILED");
        return false;
    }
    g_DisplayMode = static_cast<std::uint8_t>(mode);
    return true;
}

bool CreateBackBuffer()
{
    if (g_pDDSPrimary || g_pDDSBack || g_pDDSBuffer)
        return false;
    const int w = g_ScreenWidth, h = g_ScreenHeight;
    if (w <= 0 || h <= 0) {
        ReportError("CreatePrimarySurface FAILED");
        return false;
    }
    const plat::PixelFormat format = plat::DisplayFormat();
    g_pDDSPrimary = new plat::Surface(w, h, format);
    if (g_pDD && !g_pDD->fullScreen) {
        g_pDDSBack = new plat::Surface(w, h, format);
    } else {
        g_pDDSBack = g_pDDSPrimary->CreateBackBuffer();
        if (!g_pDDSBack) {
            ReportError("GetAttachedBackSurface FAILED");
            return false;
        }
    }
    g_pDDSBuffer = new plat::Surface(w, h, format);
    return true;
}

void ReleaseScreenSurfaces()
{
    ReleaseSurfacesOnly();
}

std::uint16_t MakeColor16(std::uint8_t red, std::uint8_t green, std::uint8_t blue)
{
    const std::uint8_t dr = Divisor(g_RedBits), dg = Divisor(g_GreenBits), db = Divisor(g_BlueBits);
    const unsigned r = dr ? (red / dr) << g_RedShift : 0;
    const unsigned g = dg ? (green / dg) << g_GreenShift : 0;
    const unsigned b = db ? (blue / db) << g_BlueShift : 0;
    return static_cast<std::uint16_t>(r | g | b);
}

plat::Surface* CreateOffscreenSurface(int width, int height, std::uint16_t colorKey, bool /*systemMemory*/)
{
    if (width <= 0 || height <= 0 || width > kMaxSurfaceSide || height > kMaxSurfaceSide) {
        ReportError2("CreateOffscreenSurface: bad surface size ", std::to_string(width) + " x " + std::to_string(height));
        return nullptr;
    }
    const plat::PixelFormat format = g_pDDSBack ? g_pDDSBack->Format() : plat::DisplayFormat();
    auto* surface = new plat::Surface(width, height, format);
    surface->SetColorKey(colorKey);
    return surface;
}

void FillSurface(plat::Surface* surface, std::uint16_t color)
{
    if (surface)
        surface->ColorFill(nullptr, color);
}

namespace {

bool ClipAndBlt(plat::Surface* dest, plat::Surface* src, int W, int H, const plat::Rect* srcRect, int x, int y,
                bool keyed, bool sizeFirst)
{
    // 64-bit arithmetic: a caller's rectangle may hold any values, and a wrapped sum must not turn
    // into a rectangle that looks valid.
    const plat::Rect given = srcRect ? *srcRect : src->Bounds();
    std::int64_t left = given.left, top = given.top, right = given.right, bottom = given.bottom;
    const auto nothingToDraw = [&] {
        return static_cast<std::int64_t>(static_cast<std::uint16_t>(right - left)) + x <= 0 ||
               static_cast<std::int64_t>(static_cast<std::uint16_t>(bottom - top)) + y <= 0;
    };
    if (sizeFirst) {
        if (x >= W || y >= H)
            return true;
        if (nothingToDraw())
            return true;
    } else {
        if (nothingToDraw())
            return true;
        if (x >= W || y >= H)
            return true;
    }
    if ((right - left) + x >= W)
        right = static_cast<std::int64_t>(W) - x + left;
    if ((bottom - top) + y >= H)
        bottom = static_cast<std::int64_t>(H) - y + top;
    std::int64_t dx = x, dy = y;
    if (dx < 0) {
        left -= dx;
        dx = 0;
    }
    if (dy < 0) {
        top -= dy;
        dy = 0;
    }
    const auto fits = [](std::int64_t v) { return v >= INT32_MIN && v <= INT32_MAX; };
    if (!fits(left) || !fits(top) || !fits(right) || !fits(bottom))
        return false;
    const plat::Rect r{static_cast<std::int32_t>(left), static_cast<std::int32_t>(top), static_cast<std::int32_t>(right),
                       static_cast<std::int32_t>(bottom)};
    return dest->BltFast(static_cast<int>(dx), static_cast<int>(dy), *src, &r, keyed);
}

} // namespace

bool BltSurface(plat::Surface* dest, plat::Surface* src, const plat::Rect* srcRect, int x, int y, bool keyed)
{
    if (!dest || !src)
        return false;
    return ClipAndBlt(dest, src, dest->Width(), dest->Height(), srcRect, x, y, keyed, false);
}

bool BltSurfaceClipped(plat::Surface* dest, plat::Surface* src, int destWidth, int destHeight,
                       const plat::Rect* srcRect, int x, int y, bool keyed)
{
    if (!dest || !src)
        return false;
    return ClipAndBlt(dest, src, destWidth, destHeight, srcRect, x, y, keyed, true);
}

bool SetSurfaceTextFont(const plat::Font* font, std::uint32_t color)
{
    if (!font)
        return false;
    g_TextFont = font;
    g_TextColor = color;
    return true;
}

namespace {

void SurfaceText(plat::Surface* surface, int x, int y, std::u16string_view text, bool transparent, bool setAlign)
{
    plat::DrawContext dc(surface);
    if (!dc)
        return;
    dc.SelectFont(g_TextFont);
    dc.SetBkMode(transparent ? plat::kBkTransparent : plat::kBkOpaque);
    dc.SetBkColor(0);
    dc.SetTextColor(g_TextColor);
    if (setAlign)
        dc.SetTextAlign(plat::kTextAlignLeft | plat::kTextAlignTop);
    dc.TextOut(x, y, text);
}

} // namespace

void DrawSurfaceText(plat::Surface* surface, int x, int y, std::u16string_view text)
{
    SurfaceText(surface, x, y, text, false, true);
}

void DrawTextWithBackground(plat::Surface* surface, int x, int y, std::u16string_view text, bool transparent)
{
    SurfaceText(surface, x, y, text, transparent, true);
}

void DrawTextAWithBackground(plat::Surface* surface, int x, int y, std::string_view text, bool transparent)
{
    plat::DrawContext dc(surface);
    if (!dc)
        return;
    dc.SelectFont(g_TextFont);
    dc.SetBkMode(transparent ? plat::kBkTransparent : plat::kBkOpaque);
    dc.SetBkColor(0);
    dc.SetTextColor(g_TextColor);
    dc.TextOutA(x, y, text);
}

void DrawShadowedText(plat::DrawContext& dc, int x, int y, std::u16string_view text, std::uint32_t shadowColor)
{
    if (!dc)
        return;
    dc.SetTextAlign(plat::kTextAlignLeft | plat::kTextAlignTop);
    g_TextColor = dc.SetTextColor(shadowColor);
    dc.TextOut(x + 2, y + 1, text);
    dc.SetTextColor(g_TextColor);
    dc.TextOut(x, y, text);
}

bool PresentFrame()
{
    std::lock_guard<plat::CriticalSection> lock(g_InputLock);
    if (!g_pDDSPrimary || !g_pDDSBack)
        return false;
    if (g_bCursorVisible) {
        const plat::Rect under{g_MouseX, g_MouseY, std::min<int>(g_MouseX + g_CursorWidth, g_ScreenWidth),
                               std::min<int>(g_MouseY + g_CursorHeight, g_ScreenHeight)};
        if (g_pSurfUnderCursor)
            g_pSurfUnderCursor->BltFast(0, 0, *g_pDDSBack, &under, false);
        if (g_CursorIndex < CURSOR_COUNT)
            BltSurface(g_pDDSBack, g_pCursorSurf[g_CursorIndex], &g_CursorRect, g_MouseX, g_MouseY, true);
    }
    bool shown;
    if (g_pDDSBack == g_pDDSPrimary->BackBuffer())
        shown = g_pDDSPrimary->Flip();
    else
        shown = g_pDDSPrimary->BltFast(0, 0, *g_pDDSBack, nullptr, false);
    if (shown && g_pDD && g_pDD->window)
        shown = g_pDD->window->Present(*g_pDDSPrimary);
    return shown;
}

bool PresentFront()
{
    std::lock_guard<plat::CriticalSection> lock(g_InputLock);
    if (!g_pDDSPrimary || !g_pDD || !g_pDD->window)
        return false;
    return g_pDD->window->Present(*g_pDDSPrimary);
}

bool PresentFrontIfChanged()
{
    if (!g_pDD || !g_pDD->window || !g_pDD->window->TakeFrontChanged())
        return false;
    return PresentFront();
}

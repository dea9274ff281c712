#pragma once
// The full-screen 16-bit display: its screen modes, the primary surface with its back buffer, the
// static layer's off-screen copy, 16-bit colours made from 8-bit channels, clipped blits, fills,
// text on surfaces, and the present sequence that draws the cursor and flips.
#include <cstdint>
#include <string_view>

#include "platform/draw.h"
#include "platform/font.h"
#include "platform/surface.h"
#include "platform/types.h"
#include "platform/window.h"

// The display object: the window it presents to (null: nothing is shown, the surfaces still work)
// and the arrangement it was opened with.
struct TDisplayDevice {
    plat::Window* window = nullptr;
    bool fullScreen = false;
};

constexpr int SCREEN_MODE_COUNT = 4;
struct TScreenModeInfo {
    std::uint16_t width;
    std::uint16_t height;
    std::uint32_t videoMemoryThreshold;  // four 16-bit screens
};
extern const TScreenModeInfo g_ScreenModes[SCREEN_MODE_COUNT];

extern TDisplayDevice* g_pDD;
extern plat::Surface* g_pDDSPrimary;
extern plat::Surface* g_pDDSBack;
extern plat::Surface* g_pDDSBuffer;
extern std::uint8_t g_bWindowed;
// Main thread writes under g_InputLock (the mouse thread clamps the cursor to them).
extern std::uint16_t g_ScreenWidth;
extern std::uint16_t g_ScreenHeight;
// The mode the display is in (g_ScreenMode is the player's setting).
extern std::uint8_t g_DisplayMode;
extern std::uint8_t g_ModeAvailable[SCREEN_MODE_COUNT];
extern plat::PixelMasks g_DisplayPixelFormat;
extern std::uint8_t g_RedShift, g_GreenShift, g_BlueShift;
extern std::uint8_t g_RedBits, g_GreenBits, g_BlueBits;
extern const plat::Font* g_TextFont;
extern std::uint32_t g_TextColor;

// window: where frames are shown (null for none). mode: 0..3.
bool DirectDrawInit(plat::Window* window, int mode);
void DirectDrawFree();
bool SetScreenMode(int mode);
bool CreateBackBuffer();
void ReleaseScreenSurfaces();

std::uint16_t MakeColor16(std::uint8_t red, std::uint8_t green, std::uint8_t blue);
plat::Surface* CreateOffscreenSurface(int width, int height, std::uint16_t colorKey, bool systemMemory);
void FillSurface(plat::Surface* surface, std::uint16_t color);
bool BltSurface(plat::Surface* dest, plat::Surface* src, const plat::Rect* srcRect, int x, int y, bool keyed);
bool BltSurfaceClipped(plat::Surface* dest, plat::Surface* src, int destWidth, int destHeight,
                       const plat::Rect* srcRect, int x, int y, bool keyed);

bool SetSurfaceTextFont(const plat::Font* font, std::uint32_t color);
void DrawSurfaceText(plat::Surface* surface, int x, int y, std::u16string_view text);
void DrawTextWithBackground(plat::Surface* surface, int x, int y, std::u16string_view text, bool transparent);
void DrawTextAWithBackground(plat::Surface* surface, int x, int y, std::string_view text, bool transparent);
void DrawShadowedText(plat::DrawContext& dc, int x, int y, std::u16string_view text, std::uint32_t shadowColor);

// The end of every frame: under g_InputLock saves the back buffer under the cursor and draws the
// cursor (when visible), brings the frame to the front and shows it.
bool PresentFrame();
// Shows the front surface again (after the mouse thread moved the cursor on it). Takes g_InputLock.
bool PresentFront();
// The main loop's part of the cursor moving between frames: presents the front surface again when
// another thread marked it changed (plat::Window::MarkFrontChanged). True when it presented.
bool PresentFrontIfChanged();

// The program's entry. Until the application core's start-up and message loop take it over, the
// program opens the display, shows a test picture for a few frames and can write what the screen
// shows to a BMP file (KORVELA_SCREENSHOT=path; KORVELA_DISPLAY_FRAMES=n frames, default 120;
// KORVELA_WINDOWED=1 for a normal window).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "devices/cursor_state.h"
#include "devices/display.h"
#include "platform/clock.h"
#include "platform/paths.h"

namespace {

void DrawTestPicture(int frame)
{
    FillSurface(g_pDDSBack, MakeColor16(24, 32, 40));
    const int barWidth = g_ScreenWidth / 8;
    const std::uint8_t bars[8][3] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                                     {255, 0, 255},   {255, 0, 0},   {0, 0, 255},   {0, 0, 0}};
    for (int i = 0; i < 8; ++i) {
        const plat::Rect r{i * barWidth, 0, (i + 1) * barWidth, g_ScreenHeight / 3};
        g_pDDSBack->ColorFill(&r, MakeColor16(bars[i][0], bars[i][1], bars[i][2]));
    }
    plat::DrawContext dc(g_pDDSBack);
    if (!dc)
        return;
    dc.SelectPen({plat::kPenSolid, 2, 0x2828C8});
    dc.SelectBrush({false, 0x3C8CB4});
    const int cx = g_ScreenWidth / 2 + (frame % 200) - 100, cy = g_ScreenHeight * 2 / 3;
    const plat::Point star[] = {{cx, cy - 120}, {cx + 70, cy + 95}, {cx - 115, cy - 40}, {cx + 115, cy - 40}, {cx - 70, cy + 95}};
    dc.Polygon(star, 5);
    DrawTextWithBackground(g_pDDSBack, 40, g_ScreenHeight / 3 + 20, u"Korvela — Корвела, 1914–1918", true);
}

} // namespace

int main()
{
    const char* framesText = std::getenv("KORVELA_DISPLAY_FRAMES");
    const int frames = framesText ? std::atoi(framesText) : 120;
    const bool windowed = std::getenv("KORVELA_WINDOWED") != nullptr;

    plat::Window* window = plat::CreateMainWindow("Korvela", 1024, 768, !windowed);
    if (!window)
        return 1;
    g_bWindowed = windowed ? 1 : 0;
    if (!DirectDrawInit(window, 0)) {
        plat::DestroyMainWindow();
        return 1;
    }
    plat::Font* font = plat::CreateFont({"Times New Roman", 28, 700, 204, false});
    SetSurfaceTextFont(font, 0x99F7FF);
    g_bCursorVisible = 0;
    for (int frame = 0; frame < frames; ++frame) {
        DrawTestPicture(frame);
        PresentFrame();
        plat::SleepMs(16);
    }
    int result = 0;
    if (const char* shot = std::getenv("KORVELA_SCREENSHOT")) {
        if (!plat::WriteSurfaceBmp(*g_pDDSPrimary, plat::ResolvePath(shot)))
            result = 1;
    }
    g_TextFont = nullptr;
    plat::ReleaseFont(font);
    DirectDrawFree();
    plat::DestroyMainWindow();
    return result;
}

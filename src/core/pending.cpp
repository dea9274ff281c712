// Least bodies of core services that built modules call before their own module exists.
// The module that builds the real service deletes its entry here.

#include "core/frame_drawing.h"
#include "core/game_load.h"
#include "devices/display.h"
#include "devices/mouse.h"
#include "devices/sound.h"
#include "core/game_main.h"

// Until games are loaded, the frame counter stays at the load value.
std::uint32_t g_FrameCounter = 0;

// Until the game screen is drawn, a frame is an empty screen with the cursor.
void RenderFrame()
{
    UpdateSounds();
    if (g_pDDSBack)
        FillSurface(g_pDDSBack, 0);
    PresentFrame();
}

bool RestoreAllSurfaces()
{
    for (plat::Surface* s : {g_pDDSPrimary, g_pDDSBack, g_pDDSBuffer})
        if (s)
            s->Restore();
    RestoreCursorSurfaces();
    return true;
}

// Missions are not loaded yet: no mission path or title.
char g_MissionPath[260] = {};
char16_t g_MissionTitle[80] = {};

// The films only need the call to succeed; the display keeps working as it is.
bool RecreateDevices(std::uint8_t)
{
    return true;
}


// Least bodies of core services that built modules call before their own module exists.
// The module that builds the real service deletes its entry here.

#include "core/frame_drawing.h"
#include "core/game_keys.h"
#include "core/player_color.h"
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

std::uint32_t MapGameKey(std::uint32_t key)
{
    return key;
}

bool GameKeyMessage(std::uint32_t, std::uintptr_t, std::intptr_t)
{
    return true;
}

// The films only need the call to succeed; the display keeps working as it is.
bool RecreateDevices(std::uint8_t)
{
    return true;
}

// Until the colour tables are read: eight distinct opaque colours.
std::uint32_t GetPlayerColorD3D(std::uint8_t player)
{
    static const std::uint32_t colors[8] = {0xFFE02020, 0xFF2040E0, 0xFF20B020, 0xFFE0E020,
                                            0xFFB020B0, 0xFF20C0C0, 0xFFE08020, 0xFF808080};
    return player < 8 ? colors[player] : 0xFFFFFFFF;
}

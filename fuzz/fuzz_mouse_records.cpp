// Feeds arbitrary record streams to the mouse thread's record handler in every play mode, in
// batches that end with the clamp and the cursor redraw on a small in-memory screen.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>

#include "devices/display.h"
#include "devices/mouse.h"
#include "map/map_objects.h"
#include "map/map_view.h"
#include "net/net_events.h"
#include "players/command.h"
#include "players/map_mouse.h"
#include "players/strateg.h"

namespace {

constexpr int kW = 64;
constexpr int kH = 48;

struct Screen {
    Screen()
    {
        front = std::make_unique<plat::Surface>(kW, kH, plat::PixelFormat::RGB565);
        cursor = std::make_unique<plat::Surface>(12, 10, plat::PixelFormat::RGB565);
        cursor->SetColorKey(0xF81F);
        under = std::make_unique<plat::Surface>(12, 10, plat::PixelFormat::RGB565);
        unionSurf = std::make_unique<plat::Surface>(24, 20, plat::PixelFormat::RGB565);
    }
    std::unique_ptr<plat::Surface> front, cursor, under, unionSurf;
};

TStrateg s_Strateg;

const TMouseServices kQuiet = {
    [] { return g_NetMode >= 2 && g_NetMode <= 4; },
    [] { return false; },
    [](std::int32_t, std::int32_t) { return true; },
    [](std::uint8_t) {},
    [](std::uint16_t) {},
    [] {},
    [] {},
    [] {},
    [] {},
    [](float, float, float, float) -> std::uint8_t { return 3; },
    [](TStrateg*, THeapItem* item) { delete item; },
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Screen screen;
    if (size < 4)
        return 0;
    g_MouseServices = kQuiet;
    g_pDDSPrimary = screen.front.get();
    g_ScreenWidth = kW;
    g_ScreenHeight = kH;
    g_pCursorSurf[0] = screen.cursor.get();
    g_pSurfUnderCursor = screen.under.get();
    g_pCursorUnionSurf = screen.unionSurf.get();
    g_CursorWidth = 12;
    g_CursorHeight = 10;
    g_CursorRect = {0, 0, 12, 10};
    g_MouseX = g_MouseY = 20;
    g_bCursorVisible = 1;

    g_NetMode = data[0] % 5;
    g_PlacingHouseType = static_cast<std::int16_t>(static_cast<std::int8_t>(data[1]) % 4 - 2);
    MyPlayer = data[2] % 10; // 8 and 9: no player
    g_CursorIndex = data[3] % 12;
    s_Strateg.NumSelectedUnits = data[3] & 1;
    MyStrateg = (data[3] & 2) ? &s_Strateg : nullptr;
    g_bNetDragging[MyPlayer % 8] = (data[3] >> 2) & 1;
    g_PlayerPrevClickX[MyPlayer % 8] = (data[3] & 8) ? NO_LINE_START : 0;
    g_ViewX = data[1];
    g_ViewY = data[2];

    std::size_t pos = 4;
    while (pos + 17 <= size) {
        const bool endBatch = data[pos] & 1;
        plat::MouseRecord r;
        std::memcpy(&r.offset, data + pos + 1, 4);
        std::memcpy(&r.data, data + pos + 5, 4);
        std::memcpy(&r.timeStamp, data + pos + 9, 4);
        std::memcpy(&r.sequence, data + pos + 13, 4);
        r.offset %= 20; // mostly the offsets the handler knows
        pos += 17;
        {
            std::lock_guard lock(g_InputLock);
            HandleMouseRecord(r);
        }
        if (endBatch) {
            MouseThreadBatch(); // no device: only the clamp and the redraw
            if (g_MouseX < 0 || g_MouseX > kW - 4 || g_MouseY < 0 || g_MouseY > kH - 4)
                __builtin_trap();
        }
    }
    MouseThreadBatch();
    return 0;
}

#include "players/hot_keys.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "core/app_state.h"
#include "core/error_log.h"
#include "devices/cursor_state.h"
#include "net/net_events.h"
#include "platform/paths.h"
#include "players/command.h"
#include "players/game_cycle.h"
#include "players/selection.h"
#include "players/strateg.h"
#include "ui/menus.h"
#include "units/house.h"

namespace {

constexpr std::uint32_t kStoredGroups = 10;

// Calls of WriteDebugData in this game; the first starts the file afresh.
std::uint32_t g_DebugDataCalls = 0;

bool GroupInRange(std::uint16_t id, std::uint32_t group)
{
    if (group < kStoredGroups)
        return true;
    ReportErrorInt("ExecuteHotKeyCommand: no such stored group, ", static_cast<std::int32_t>(group));
    (void)id;
    return false;
}

} // namespace

void PostHotKeyCommand(std::uint16_t id, std::uint32_t x, std::uint32_t y, const std::uint32_t* params)
{
    THotKeyServices& s = HotKeyServices();
    if (s.blocked() || (s.textInput && s.textInput()))
        return;
    if (!s.isNetGame()) {
        ExecuteHotKeyCommand(MyPlayer, id, x, y, nullptr);
        return;
    }
    TNetData* message = NewNetData(COMMAND_CLASS_GAME, id);
    message->PlayerSend = MyPlayer;
    message->x = static_cast<std::int32_t>(x);
    message->y = static_cast<std::int32_t>(y);
    if (params != nullptr)
        std::copy(params, params + 6, message->params);
    SendCommand(message);
}

void ExecuteHotKeyCommand(std::uint8_t player, std::uint16_t id, std::uint32_t x, std::uint32_t,
                          const std::uint32_t* params)
{
    THotKeyServices& s = HotKeyServices();
    if (player >= STRATEG_MAX_PLAYERS) {
        ReportErrorInt("ExecuteHotKeyCommand: no such player, ", player);
        return;
    }
    switch (id) {
    case HOT_KEY_SHIFT:
        g_ShiftDown[player] = g_ShiftDown[player] ? 0 : 1;
        break;
    case HOT_KEY_CTRL:
        g_CtrlDown[player] = g_CtrlDown[player] ? 0 : 1;
        break;
    case 37:
        s.selectAll(player);
        break;
    case 38:
        s.selectUnitsInRect(player, params);
        break;
    case 39:
        s.selectSameTypes(player);
        break;
    case 40:
        s.selectSameTypesInRect(player, params);
        break;
    case 42:
        if (GroupInRange(id, x))
            s.selectUnitsFromGroup(player, x);
        break;
    case 43:
        if (GroupInRange(id, x))
            s.storeGroup(player, x);
        break;
    case 44:
        s.selectWorkersInRect(player, params);
        break;
    case HOT_KEY_DEBUG_DUMP:
        s.writeDebugData();
        break;
    default:
        ReportErrorInt("Unknown Hot Key. _CommandID = ", id);
        break;
    }
}

std::string DebugDataFileName(std::uint8_t player)
{
    return "DebugData" + std::to_string(player) + ".log";
}

void ResetDebugData()
{
    g_DebugDataCalls = 0;
}

void WriteDebugData()
{
    const std::string path = plat::ResolvePath(DebugDataFileName(MyPlayer));
    std::error_code ignored;
    if (g_DebugDataCalls++ == 0)
        std::filesystem::remove(path, ignored);
    std::ofstream out(path, std::ios::binary | std::ios::app);
    if (!out)
        return;
    // The stored form of each record: pointer-free, the same bytes on every machine.
    std::uint8_t record[HOUSE_RECORD_SIZE];
    for (std::uint16_t p = 0; p < g_wNumPlayer && p < STRATEG_MAX_PLAYERS; ++p) {
        const TStrateg* player = g_Strateg[p];
        if (player == nullptr || player->Dead != 0)
            continue;
        const std::uint16_t count = NumHouse[p] < DEBUG_DATA_HOUSES ? NumHouse[p] : DEBUG_DATA_HOUSES;
        for (std::uint16_t i = 0; i < count; ++i) {
            const THouse* house = HouseAt(g_pHouse[p], i);
            if (house == nullptr)
                break;
            WriteHouseRecord(*house, record);
            out.write(reinterpret_cast<const char*>(record), HOUSE_SYNC_BYTES);
        }
    }
}

THotKeyServices THotKeyServices::Default()
{
    THotKeyServices s;
    s.isNetGame = IsNetGame;
    s.blocked = [] {
        std::lock_guard lock(g_InputLock);
        return g_bPaused != 0 || g_MainMenuWindow != nullptr || g_bTearingDown != 0;
    };
    s.selectAll = SelectAll;
    // A record without a rectangle means the visible map area.
    s.selectUnitsInRect = [](std::uint8_t p, const std::uint32_t* rect) {
        const TMapRect r = MapRectFromParams(rect);
        SelectUnitsInRect(p, rect != nullptr ? &r : nullptr);
    };
    s.selectSameTypes = SelectSameTypes;
    s.selectSameTypesInRect = [](std::uint8_t p, const std::uint32_t* rect) {
        const TMapRect r = MapRectFromParams(rect);
        SelectSameTypesInRect(p, rect != nullptr ? &r : nullptr);
    };
    s.selectUnitsFromGroup = [](std::uint8_t p, std::uint32_t g) { SelectUnitsFromGroup(p, static_cast<std::uint8_t>(g)); };
    s.storeGroup = [](std::uint8_t p, std::uint32_t g) { StoreGroup(p, static_cast<std::uint8_t>(g)); };
    s.selectWorkersInRect = [](std::uint8_t p, const std::uint32_t* rect) {
        const TMapRect r = MapRectFromParams(rect);
        SelectWorkersInRect(p, rect != nullptr ? &r : nullptr);
    };
    s.writeDebugData = WriteDebugData;
    return s;
}

THotKeyServices& HotKeyServices()
{
    static THotKeyServices services = THotKeyServices::Default();
    return services;
}

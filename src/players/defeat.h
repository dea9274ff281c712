#pragma once
// A player leaves the game (StrategDead): its defeat, the local player's defeat or victory, and
// the world forgetting what it owned. Buildings and units change hands wholesale through
// TStrateg::SendMyHousesToPLayer and TStrateg::SendMyUnitsToPLayer (strateg.h). Main thread only,
// inside the game cycle or the mission code.
#include <cstdint>
#include <functional>

class TStrateg;
class TUnit;
struct THeapItem;

// How long the defeat waits for the loader thread to go idle before it frees graphics anyway.
constexpr std::uint32_t DEFEAT_LOADER_WAIT_MS = 60000;
// The pause before a defeated local player's network game is closed.
constexpr std::uint32_t DEFEAT_NET_CLOSE_PAUSE_MS = 2000;
// Game results.
constexpr std::uint32_t DEFEAT_RESULT_WON = 0;
constexpr std::uint32_t DEFEAT_RESULT_LOST = 1;
// The message type of the global heap's id-72 record that puts a departed network player out of
// the game; the network layer's own message types stay far below it.
constexpr std::uint32_t NET_MESSAGE_PLAYER_LEFT = 0x7F000001u;

// Marks the player dead (final) and frees what it owns; the local player's defeat or victory.
// A player already dead is only logged.
void StrategDead(TStrateg* player);

// A player that left a network game becomes a record of the global heap executed on the agreed
// cycle, so that every machine puts it out of the game in the same cycle and turn order.
THeapItem* MakePlayerLeftRecord(std::uint8_t player, std::uint32_t cycle);
void PostPlayerLeft(std::uint8_t player, std::uint32_t cycle);
// Runs a departure record (StrategDead of a player still alive); false for any other record.
bool RunPlayerLeftRecord(const THeapItem& item);

// What the defeat calls in subsystems built elsewhere. The default table binds the modules that
// exist; tests put recording stand-ins here.
struct TDefeatServices {
    // The loader thread went idle within the time (false: it did not).
    std::function<bool(std::uint32_t timeoutMs)> waitLoaderIdle;
    std::function<bool()> isNetGame;
    // A defeated local player's network game: the pause, then the session closed unless enough
    // players remain.
    std::function<void()> closeNetGame;
    std::function<void(const char16_t* text)> showCenteredText;
    std::function<void(std::uint8_t event)> playSound;
    // The game's result flag (DEFEAT_RESULT_WON or DEFEAT_RESULT_LOST); installed by the game.
    std::function<void(std::uint32_t result)> setGameResult;
    std::function<void()> refreshPanel;
    std::function<void()> refreshTargetUnits;
    std::function<void()> refreshTargetHouses;
    std::function<void()> redrawMiniMap;
    std::function<void()> rebuildPassability;
    std::function<void()> redrawMapView;
    // A unit changing hands leaves its formation group and has its orders reset.
    std::function<void(TUnit*)> leaveFormationGroup;
    std::function<void(TUnit*)> resetOrders;

    static TDefeatServices Default();
};
TDefeatServices& DefeatServices();

// Least bodies of network services that built modules call before their own module exists.
// The module that builds the real service deletes its entry here.
#include "core/error_log.h"
#include "net/net_events.h"
#include "net/network.h"

std::atomic<std::uint8_t> g_NetMode{0};
std::uint32_t kadr_now = 0;

bool IsNetGame()
{
    return g_NetMode >= 2 && g_NetMode <= 4;
}

bool HostGameFromCommandLine(const std::u16string&, std::uint16_t, int)
{
    ReportError("HostGameFromCommandLine: network play is not available yet");
    return false;
}

bool JoinGameFromCommandLine(const std::u16string&, const std::u16string&, std::uint16_t, int)
{
    ReportError("JoinGameFromCommandLine: network play is not available yet");
    return false;
}

std::uint32_t NetCheckEnoughPlayers()
{
    return 0;
}

void NetSendPlayerValue(std::uintptr_t, std::intptr_t) {}
void HandleNetMessage(std::uintptr_t, std::intptr_t) {}

// No profiles and no connection exist yet.
std::u16string NetProfileName()
{
    return {};
}
void ResetNetPlayerList() {}
void CloseNetwork() {}

void NetSendState14() {}
void ToggleSendMessageWindow() {}

// Single play: every frame has a cycle, nothing is sent and nothing arrives.
bool IsNetConnected()
{
    return false;
}
bool NetCycleGate()
{
    return true;
}
void NetSendCommand(TNetData*) {}
void ResetNetSendCount() {}
TNetData* TakeReceivedMessages()
{
    return nullptr;
}

#pragma once
// Network play as the rest of the game sees it.
#include <cstdint>
#include <string>

#include "net/net_events.h"

bool HostGameFromCommandLine(const std::u16string& name, std::uint16_t port, int maxPlayersHint);
bool JoinGameFromCommandLine(const std::u16string& name, const std::u16string& address, std::uint16_t port,
                             int flags);
// Non-zero refuses a close request.
std::uint32_t NetCheckEnoughPlayers();
void NetSendPlayerValue(std::uintptr_t wParam, std::intptr_t lParam);
void HandleNetMessage(std::uintptr_t wParam, std::intptr_t lParam);

// The player-profile name of this machine (empty when none was chosen).
std::u16string NetProfileName();
// Empties the network player list at a game's start.
void ResetNetPlayerList();
// Shuts the network connection down and frees its player list, when one exists.
void CloseNetwork();

// The Pause key while a network game is being started.
void NetSendState14();
// Opens or closes the chat window.
void ToggleSendMessageWindow();

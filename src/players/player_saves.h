#pragma once
// The players' blocks of a save game beyond the four in strateg.h: the pending group orders of a
// player's queue, the units' entries of the link blocks and the pass that re-links every reference
// once all players' units exist.
//
// Threads: main thread only (saving and loading a game).
#include <cstdint>
#include <functional>

class TOfStreamMemory;
class TIfStreamMemory;
class TUnit;

// The 28-byte head of a stored group order (commands 45 and 47).
constexpr std::int32_t GROUP_ORDER_RECORD_BYTES = 28;
// Most units a stored forming may list.
constexpr std::uint16_t GROUP_ORDER_MAX_UNITS = 65000;

// For each queued record of commands 45 and 47, in queue order: a presence byte and, when 1, the
// group order it carries. Read back by TStrateg::LoadSpecialHeap.
void SaveSpecialHeap(std::uint8_t player, TOfStreamMemory& out);

// The units' entries of the "Units" link block: per unit of each player still in the game, in
// list order, the references its set links hold, those of its passengers, then "#".
void WriteUnitLinkEntries(std::uint8_t player, TOfStreamMemory& out);
// Reads them back into the units the units block made; false (logged) for an entry cut short or
// without its separator. findUnit names a unit of a player's table (null when there is none).
bool ReadUnitLinkEntries(std::uint8_t player, TIfStreamMemory& in,
                         const std::function<TUnit*(std::uint8_t, std::uint16_t)>& findUnit);

// After every player's units, groups and queue were read: queued records point at the objects
// their player and index fields name now, group orders at their group and units, towers at their
// targets, units at their pending path moves. Nothing keeps a pointer of the saving process.
void RelinkLoadedPlayers();
// Forgets what a load kept for the link blocks (the game is freed or a load ended).
void ForgetLoadedUnitLinks();

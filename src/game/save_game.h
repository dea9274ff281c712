#pragma once
// Save games: the whole state of a running single-player game as a sequence of chunks, each
// written and read by the module that owns its state, assembled in memory and written as one
// compressed file.
//
// Threads: main thread only.
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

class TIfStreamMemory;
class TOfStreamMemory;
class TUnit;
namespace plat {
class Texture;
}

constexpr std::uint16_t SAVE_CHUNK_INFO = 0;
constexpr std::uint16_t SAVE_CHUNK_GAME_MAP = 1;
constexpr std::uint16_t SAVE_CHUNK_EFFECTS = 2;
constexpr std::uint16_t SAVE_CHUNK_LINKS = 3;
constexpr std::uint16_t SAVE_CHUNK_GAME_STAT = 4;
constexpr std::uint16_t SAVE_CHUNK_MINIMAP = 5;
constexpr std::uint16_t SAVE_CHUNK_TRENCHES = 6;
constexpr std::uint16_t SAVE_CHUNK_ADVISORS = 7;
constexpr std::uint16_t SAVE_CHUNK_FRAME = 8;
constexpr std::uint16_t SAVE_CHUNK_PLAYERS = 9;
// The chunk header: u16 id, u32 length of the data that follows.
constexpr std::int32_t SAVE_CHUNK_HEADER = 6;
// Written in the length field until the chunk's data is complete.
constexpr std::uint32_t SAVE_CHUNK_PLACEHOLDER = 99999;
constexpr std::int32_t SAVE_MINIMAP_BYTES = 200 * 200 * 2;
constexpr std::int32_t SAVE_TITLE_CHARS = 80;
constexpr char SAVE_QUICK_PATH[] = "Save\\QuickSave.svg";

// Writes the chunk id and the placeholder length; returns the position of the length field.
std::int32_t BeginSaveChunk(TOfStreamMemory& out, std::uint16_t id);
// Patches the length field with the number of bytes written after it.
void EndSaveChunk(TOfStreamMemory& out, std::int32_t lengthPosition);

struct TSaveChunk {
    std::uint16_t id = 0;
    std::span<const std::uint8_t> data;
};
// Splits a save's raw content into its chunks. A header cut short or a length beyond the bytes
// that remain is logged and ends the split with false; the chunks before it are in out.
bool SplitSaveChunks(std::span<const std::uint8_t> raw, std::vector<TSaveChunk>& out);

// Builds the raw content of a save (the chunk sequence) of the running game.
bool BuildSaveImage(TOfStreamMemory& out);
// Applies the raw content of a save to the freshly initialised modules: every chunk is read even
// after one failed; false when any failed, an id is unknown, the framing is broken, the map or the
// statistics chunk is missing or the local player is not among the players. The link blocks and
// the trench list are applied only after a map chunk was read.
bool ApplySaveImage(std::span<const std::uint8_t> raw);
// What can be told of a save without touching the running game: the framing and the chunk ids,
// then every block of every chunk read as the loader reads it but kept nowhere (the players'
// blocks too), the map and statistics chunks present, the local player among the players. False
// (logged) when the load would refuse the save.
bool CheckSaveImage(std::span<const std::uint8_t> raw);
bool CheckSaveGameFile(const char* path);
// The quick load's way into a save: the file is checked first, and the running game is freed only
// for a save that passes. False when the file is refused (the running game stays) or the load
// failed ("LoadGame FAILED", nothing is loaded).
bool ReplaceGameFromSave(const char* path);

// Builds and writes the save; the previous file at the path stays whole unless the new one was
// written completely.
bool SaveGameData(const char* path);
// Reads a save into the freshly initialised modules (called by the map loader within LoadGame).
bool LoadGameData(const char* path);
// A game loaded from a save keeps the local player's name of its save information for its next
// save (the players' own blocks do not hold names yet); freeing the game forgets it.
void ForgetSavedLocalName();
// The save list's information: the local player's name (cut to capacity - 1 characters), the
// mission header's title and the map title (80 characters each; a random map's empty title
// becomes IDS_RANDOM_MAP). false, with "Cant load game info" logged, when the file cannot be read
// or holds no chunk 0.
bool ReadSaveGameInfo(const char* path, char16_t* name, std::int32_t capacity, char16_t* title,
                      char16_t* mapTitle);
// The save's 200 x 200 minimap picture; null when the save holds none.
plat::Texture* LoadSaveMiniMap(const char* path);

// What the save calls in subsystems built elsewhere. The default table binds their functions;
// tests put recording stand-ins in its place.
struct TSaveServices {
    // Players: the local player's name, the state block of every slot, the units block (units,
    // groups and pending group orders) of every player still in the game.
    std::function<std::u16string(std::uint8_t player)> playerName;
    std::function<bool(std::uint8_t player)> isPlayerInGame;
    std::function<void(std::uint8_t player, TOfStreamMemory&)> saveStrateg;
    std::function<bool(std::uint8_t player, TIfStreamMemory&)> loadStrateg;
    std::function<void(std::uint8_t player, TOfStreamMemory&)> saveStrategUnits;
    std::function<bool(std::uint8_t player, TIfStreamMemory&)> loadStrategUnits;
    // The same two blocks read without touching the game; the state block tells whether the
    // player is still in the game. Without a units-block check the walk of the map chunk stops
    // at the first units block and leaves the rest of the chunk to the load.
    std::function<bool(std::uint8_t player, TIfStreamMemory&, bool& inGame)> checkStrateg;
    std::function<bool(std::uint8_t player, TIfStreamMemory&)> checkStrategUnits;
    // The unit of a player's table that a link names; null when the player is not in the game or
    // has no such unit.
    std::function<TUnit*(std::uint8_t player, std::uint16_t index)> findUnit;
    // Craters inside the "GameMap" block.
    std::function<void(TOfStreamMemory&)> saveCraters;
    std::function<bool(TIfStreamMemory&)> loadCraters;
    // The map's own buildings: the neutral block of the map file.
    std::function<void(TOfStreamMemory&)> saveEditorHouses;
    // The minimap picture (80,000 bytes) and the texture the save list shows.
    std::function<bool(TOfStreamMemory&)> writeMiniMapImage;
    std::function<plat::Texture*(TIfStreamMemory&)> createMiniMap;
    // Chunk 2: the timed effects, then the shots in flight; the result is the shots reader's.
    std::function<void(TOfStreamMemory&)> saveEffects;
    std::function<bool(TIfStreamMemory&)> loadEffects;
    std::function<bool(TIfStreamMemory&)> checkEffects;
    // Trenches and pontoons.
    std::function<bool(TOfStreamMemory&)> saveTrenchList;
    std::function<bool(TIfStreamMemory&)> loadTrenchList;
    // After a successful load: the loader thread finishes the graphics the load asked for (false
    // when it did not within the load's limit), then the panel is rebuilt.
    std::function<bool()> waitLoaderIdle;
    std::function<void(std::uint8_t)> updateInterfacePanel;

    static TSaveServices Default();
};
TSaveServices& SaveServices();

#pragma once
// Shells, grenades, bombs, torpedoes and shell fragments in flight. A shot solves its ballistic
// arc once, then takes one step per game cycle, sampling the ground, houses, trees and ships
// under it until it lands or reaches its aim. Shots are game state: they step in the lock-step
// cycle, draw only from the shared random table and are written into save games.
//
// Threads: main thread only.
#include <cstdint>
#include <span>

class TUnit;
class CTower;
class TAnimationSprites;
class TIfStreamMemory;
class TOfStreamMemory;

constexpr int SHOT_TYPE_COUNT = 13;
constexpr int SHOT_SPRITE_COUNT = 9;
constexpr int SHOT_RECORD_SIZE = 272;
constexpr std::uint8_t SHOT_GRENADE = 6;
constexpr std::uint8_t SHOT_BOMB = 7;
constexpr std::uint8_t SHOT_ANTI_AIRCRAFT = 8;
constexpr std::uint8_t SHOT_TORPEDO = 9;
constexpr std::uint8_t SHOT_FIRST_FRAGMENT = 10;
constexpr std::uint8_t SHOT_NO_OWNER = 255;
// Source kinds of AddShot.
constexpr std::uint8_t SHOT_SOURCE_TOWER = 1;
constexpr std::uint8_t SHOT_SOURCE_GRENADE = 4;
constexpr std::uint8_t SHOT_SOURCE_BOMB = 5;
// Results of AddShot.
constexpr std::uint32_t SHOT_FIRED = 0;
constexpr std::uint32_t SHOT_NO_SOLUTION = 3;
constexpr std::uint32_t SHOT_NO_MEMORY = 4;

struct TShotType {
    std::uint8_t HighArc = 0;
    double MuzzleSpeed = 0.0;
    std::uint32_t Damage = 0;
    std::uint32_t BlastRadius = 0;
    float SubStepScale = 0.0f;
    std::uint8_t Sprite = 0;
    std::uint8_t Fragments = 0;
    float DrawHeightScale = 0.0f;
    float TimeScale = 0.0f;
};
extern TShotType g_ShotTypes[SHOT_TYPE_COUNT];
// Per set: a count, then that many shot types.
extern std::uint8_t g_FragmentSets[2][13];

// What AddShot or the fragment scatter hands to a new shot.
struct TShotParams {
    float startX = 0.0f, startY = 0.0f, startZ = 0.0f;
    float aimX = 0.0f, aimY = 0.0f, aimZ = 0.0f;
    std::uint8_t owner = SHOT_NO_OWNER;
    TUnit* source = nullptr;
    std::uint8_t type = 0;
    std::uint32_t damage = 0; // 0: the type's
    float speed = 0.0f;       // 0: the type's
    float maxRange = 0.0f;
    std::uint8_t gas = 0;
};

// A unit a shot came from, held as (player, index, unique id) and looked up on use, so a shell
// that outlives its firer (a torpedo of a sunk ship) never reaches a freed unit.
struct TShotSource {
    std::uint8_t player = SHOT_NO_OWNER;
    std::uint16_t index = 0;
    std::uint32_t uniqueId = 0;
    bool Empty() const { return player == SHOT_NO_OWNER; }
    // The live unit, or null when it left the game.
    TUnit* Get() const;
    static TShotSource Of(const TUnit* unit);
};

class TShot {
public:
    double A = 0.0, B = 0.0, C = 0.0, g = 0.0;
    double advX = 0.0, advY = 0.0;
    double drawnHeightChange = 0.0;
    double D = 0.0, V = 0.0, disc = 0.0, T = 0.0, L = 0.0;
    double hSpeed = 0.0, vSpeed = 0.0, pitch = 0.0;
    std::uint8_t HighArc = 0;
    float subStep = 0.0f;
    float maxRange = 0.0f;
    float TimeScale = 0.0f;
    float DrawHeightScale = 0.0f;
    std::uint8_t noSolution = 0;
    std::uint8_t owner = SHOT_NO_OWNER;
    TShotSource source;
    std::uint8_t gas = 0;
    std::uint8_t silent = 0;
    std::uint32_t BlastRadius = 0;
    std::uint32_t whistleKind = 0;
    std::int32_t whistleStep = 0;
    std::uint32_t damage = 0;
    std::uint16_t delay = 0;
    std::uint8_t type = 0;
    std::uint8_t Sprite = 0;
    std::uint8_t Fragments = 0;
    std::int32_t steps = 0;
    std::int32_t step = 0;
    float startX = 0.0f, aimX = 0.0f, startY = 0.0f, aimY = 0.0f, startZ = 0.0f, aimZ = 0.0f;
    float x = 0.0f, y = 0.0f, z = 0.0f;
    float drawnHeight = 0.0f;
    double dz = 0.0;
    TShot* next = nullptr;
    TShot* prev = nullptr;
};

// The shots in flight, newest first.
extern TShot* g_ShotList;

// Fills the shot types and fragment sets; loads the nine shell sprite sets (false when one fails,
// the tables filled all the same); empties the list.
bool ini_tshot();
// ini_tshot, ini_explo and the "Data\Misc\Shots\" bank; true.
bool ShotsInit();
// The explosions, the shell sprites, every shot and the bank.
void ShotsFree();

// Builds the record from the parameters: aim pulled back to the range, the arc solved, the whistle
// chosen. false (noSolution set) when the aim is out of reach.
bool BuildShot(const TShotParams& params, TShot& shot);
// object: the CTower for source kind 1, the TUnit for kinds 4 and 5 and any other kind; launch:
// its first two bytes are the launch delay in cycles, or null. out receives 0.
std::uint32_t AddShot(std::uint8_t sourceKind, void* object, std::uint8_t* out, const std::uint8_t* launch);
// One cycle of one shot; true when it ends.
bool ShotStep(TShot& shot);
// One cycle of every shot, in list order.
void UpdateShots();
// The fragments of set 1 or 2 scattered from the shot's impact point, put at the list head.
void ScatterFragments(const TShot& shot, std::uint8_t set);
// The explosion type of a landing shell; draws from the shared table as its row says.
std::uint32_t ShotExplosionType(std::uint8_t type);
void DrawShots();
std::int16_t CountShotsNear(float x, float y, float r);
double ShotHeightAt(const TShot* shot, float t);

// The 272-byte record; the source slot is 1 when a source follows the record, else 0.
void WriteShotRecord(const TShot& shot, std::span<std::uint8_t, SHOT_RECORD_SIZE> out);
void ReadShotRecord(std::span<const std::uint8_t, SHOT_RECORD_SIZE> in, TShot& shot, bool& hasSource);
// u32 count, then per shot from the head: the record and, with a source, u8 player and u16 index.
void SaveShots(TOfStreamMemory& out);
bool LoadShots(TIfStreamMemory& in);
// Reads the block without keeping anything: false (logged) when LoadShots would refuse it.
bool CheckShots(TIfStreamMemory& in);
// Frees every shot in flight.
void FreeShotList();

// What a gun tower gives its shot. The tower's gun owns these values.
struct TTowerGunShot {
    float muzzleX = 0.0f, muzzleY = 0.0f, muzzleZ = 0.0f;
    std::uint16_t damage = 0;
    float range = 0.0f;
    std::uint8_t shellKind = 0; // 0 fires nothing
    std::uint8_t variant = 0;
    TUnit* carrier = nullptr;   // the ship that carries the tower
    // The aim: the tower's or the ship's target, and a unit target to lead for anti-aircraft fire.
    float aimX = 0.0f, aimY = 0.0f;
    TUnit* aimUnit = nullptr;
    // The carrier's order to fire gas; read and cleared by the shot.
    std::uint8_t* gasOrder = nullptr;
};
// false when the tower has nothing to fire.
bool GetTowerGunShot(CTower* tower, TTowerGunShot& out);
// Set index of the "Data\Misc\Shots\" bank, loaded on first use; null without the bank or set.
TAnimationSprites* ShotBankSet(std::uint8_t index);

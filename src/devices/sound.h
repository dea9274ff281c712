#pragma once
// Sound effects: short mono WAV files under "media\" played in 3-D around the centre of the view.
// Game code asks for a sound with PlaySoundEvent; this module decides whether it is heard (sound
// on, distance, how many like sounds already play), picks one of 16 slots, builds the file name,
// loads or shares the wave data and plays it. Main thread only.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/audio.h"
#include "platform/wav.h"

class THouse;
class TUnit;
struct THouseSoundFields;
struct TUnitSoundFields;
struct TUnitSoundEntry;

constexpr int g_SoundSlotCount = 16;
constexpr int SOUND_FILE_NAME_SIZE = 256;

// Categories of PlaySoundEvent.
enum : std::uint8_t {
    SOUND_INTERFACE = 1,
    SOUND_BUILDING = 2,
    SOUND_UNIT = 3,
    SOUND_LEADIN = 4,
    SOUND_NONE = 5,
    SOUND_BLAST = 6,
    SOUND_FIRE = 7,
    SOUND_AMBIENCE = 8,
    SOUND_ANNOUNCE = 9,
};

// The object of the lead-in and blast categories: a map point in pixels.
struct TSoundPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
};

// A wave file read whole into memory; invalid when it could not be read.
class TWaveFile {
public:
    explicit TWaveFile(const std::string& hostPath);
    std::uint32_t m_DataSize = 0;
    std::uint32_t m_bValid = 0;
    std::vector<std::uint8_t> m_Data;
    plat::WaveFormat m_Format;
};

class TSoundManager {
public:
    explicit TSoundManager(void* hWnd);
    ~TSoundManager();
    TSoundManager(const TSoundManager&) = delete;
    TSoundManager& operator=(const TSoundManager&) = delete;

    // Opens the output and places the listener; false when no output can be opened.
    bool Init();
    bool LoadSound(const char* fileName, int slot);
    bool FillBuffer(int slot);
    void Update();
    void ReleaseSlot(int slot);

    bool m_bDeviceOpen = false;
    void* m_hWnd = nullptr;
    std::unique_ptr<plat::AudioBuffer> m_pBuffers[g_SoundSlotCount];
    // The 3-D side of each buffer, taken when the sound starts (null before).
    plat::AudioBuffer* m_p3DBuffers[g_SoundSlotCount] = {};
    std::uint32_t m_BufferSizes[g_SoundSlotCount] = {};
    // Null for a slot whose buffer shares another slot's data.
    std::unique_ptr<TWaveFile> m_pWaveFiles[g_SoundSlotCount];

private:
    // Frees the slot's buffer and reader, leaving its table entry alone.
    void ReleaseBuffer(int slot);
};

extern TSoundManager* g_pSoundManager;

// One playback slot. priority 0 = free.
struct TSoundSlot {
    std::uint8_t priority = 0;
    std::uint8_t category = 0;
    std::uint8_t subKind = 0;
    std::uint16_t id = 0;
    std::uint8_t loop = 0; // 0 one-shot; looping: 1 when (re)requested, counted up each update
    std::int32_t distance = 0;
    char fileName[SOUND_FILE_NAME_SIZE] = {};
};
extern TSoundSlot g_SoundSlots[g_SoundSlotCount];

// The place of the sound being started (x, y, z); y is always 0.
extern float g_SoundPosition[3];
extern float g_SoundMinDistance;
extern float g_SoundMaxDistance;
// Millisecond tick of the last ambience start, and the update counter.
extern std::uint32_t g_AmbienceTime;
extern std::uint32_t g_SoundFrameCounter;
// This system has no wave-out mixer: no device is counted and no volume is saved.
extern std::uint32_t g_WaveOutDevices;
extern std::uint32_t g_SavedWaveVolume;

// Start-up: false leaves sound off for this run (the player's setting is not written).
bool IniDirectSound(void* hWnd);
// Shutdown: releases every slot, the listener, the output and the manager.
void RestoreWaveVolume();
// object: null, a THouse, a TUnit or a TSoundPoint by category.
void PlaySoundEvent(std::uint8_t category, const void* object, std::uint8_t subKind, std::uint8_t priority);
void UpdateSounds();
void SetSoundDistances();
void StopAllSounds();

// Results of StartSound.
enum : std::uint8_t {
    SOUND_STARTED = 0, // played, renewed or skipped by the rules
    SOUND_NO_SLOT = 1,
    SOUND_STOP_REFUSED = 3,
    SOUND_LOAD_FAILED = 4,
    SOUND_NO_3D = 5,
    SOUND_3D_REFUSED = 6,
    SOUND_PLAY_REFUSED = 7,
};
std::uint8_t StartSound(std::uint8_t category, std::uint16_t id, std::uint8_t subKind, std::uint8_t priority,
                        std::uint8_t loop, const TUnitSoundEntry* entry, std::int32_t distance);

enum class TSoundVerdict : std::uint8_t { Free, Crowded, Renew, Skip };
// slot: the slot of the same category, sub-kind and id that is farthest away, or -1.
TSoundVerdict CheckSoundSlots(std::uint8_t category, std::uint16_t id, std::uint8_t subKind, int& slot);

// Names relative to "media\".
std::string GetSoundFileName(int slot, const TUnitSoundEntry* entry);
std::string GetBuildingSoundName(std::uint16_t id, std::uint8_t subKind);

// Every name GetSoundFileName can give without a unit entry (every variant), for the sample data.
std::vector<std::string> ListFixedSoundNames();

// Tests replace the tick source of the ambience timer and the readers of building and unit
// records (null restores the default).
void SetSoundClock(std::uint32_t (*clock)());
void SetSoundObjectReaders(bool (*house)(const THouse*, THouseSoundFields&),
                           bool (*unit)(const TUnit*, TUnitSoundFields&));

#include "devices/sound.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/error_log.h"
#include "core/settings.h"
#include "devices/display.h"
#include "map/map_file.h"
#include "map/map_view.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "players/strateg.h"
#include "ui/menus.h"
#include "units/house.h"
#include "units/unit.h"

TSoundManager* g_pSoundManager = nullptr;
TSoundSlot g_SoundSlots[g_SoundSlotCount];
float g_SoundPosition[3] = {};
float g_SoundMinDistance = 0.0f;
float g_SoundMaxDistance = 0.0f;
std::uint32_t g_AmbienceTime = 0;
std::uint32_t g_SoundFrameCounter = 0;
std::uint32_t g_WaveOutDevices = 0;
std::uint32_t g_SavedWaveVolume = 0;

namespace {

// The listener stands still at the origin; sounds are placed relative to it.
constexpr float kRollOffFactor = 5.0f;
constexpr float kDistanceFactor = 1.0f;
constexpr std::uint32_t kAmbienceInterval = 50000;
// The first ambience comes 20 s after start.
constexpr std::uint32_t kAmbienceStartOffset = 30000;
constexpr std::uint8_t kLoopAgeLimit = 11;
// A like sound beyond the third plays only this much nearer than the farthest one.
constexpr std::int32_t kCrowdMargin = 300;

std::uint32_t (*g_SoundClock)() = &plat::GetTickCountMs;
bool (*g_ReadHouse)(const THouse*, THouseSoundFields&) = &GetHouseSoundFields;
bool (*g_ReadUnit)(const TUnit*, TUnitSoundFields&) = &GetUnitSoundFields;

bool FrontMenuOpen() { return g_MainMenuWindow != nullptr; }

void ClearSlotTable()
{
    for (TSoundSlot& s : g_SoundSlots)
        s = TSoundSlot{};
}

std::string Variant(const char* base, int n)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "_%d.wav", n);
    return std::string(base) + buf;
}

// Building types whose sound is shared by every nation (key 250 + type).
constexpr bool kCommonBuildingSound[28] = {
    true,  true,  true,  false, false, false, false, true,  true,  true,  true,  true,  true,  true,
    false, true,  false, true,  true,  false, true,  true,  true,  true,  false, true,  false, false,
};

struct TBuildingSoundRow {
    int key;
    std::string name;
};

// The table is searched in this order; the first row with the key wins.
const std::vector<TBuildingSoundRow>& BuildingSoundTable()
{
    static const std::vector<TBuildingSoundRow> table = [] {
        std::vector<TBuildingSoundRow> rows = {
            {250, "common\\Electro_Station\\Electro"},     {270, "common\\air_hangar\\AHangar"},
            {265, "common\\barn\\barn"},                   {261, "common\\gold_mine\\gold_mine"},
            {271, "common\\guard_tower\\gtower"},          {272, "common\\harbour\\harbour"},
            {267, "common\\hospital\\hospital"},           {262, "common\\lesopilka\\lesopilka"},
            {258, "common\\market\\Market"},               {263, "common\\oil_pump\\oil_pump"},
            {260, "common\\ore_mine\\ore_mine"},           {257, "common\\pillbox\\pillbox"},
            {273, "common\\stables\\stables"},             {268, "common\\Medic_Spot\\Medic_Spot"},
            {259, "common\\House\\House"},                 {252, "common\\Sci_Acad\\Sci_Acad"},
        };
        const char* const nations[5] = {"russia", "england", "france", "germany", "austria"};
        const struct {
            int type;
            const char* path;
        } perNation[7] = {
            {6, "city_center\\city_center"}, {4, "Quarters\\Quarters"},     {16, "Artillery_Depot\\Arti_Depot"},
            {14, "Mint\\Mint"},              {19, "Tank_Plant\\Tank_Plant"}, {3, "Build_Acad\\Build_Acad"},
            {5, "War_Acad\\War_Acad"},
        };
        for (int n = 0; n < 5; ++n)
            for (const auto& row : perNation)
                rows.push_back({25 * n + row.type, std::string(nations[n]) + "\\" + row.path});
        rows.push_back({251, "common\\constructing_buildings\\const_buildings"});
        return rows;
    }();
    return table;
}

void CopyName(char (&dst)[SOUND_FILE_NAME_SIZE], const std::string& src)
{
    const std::size_t n = std::min(src.size(), sizeof dst - 1);
    std::memcpy(dst, src.data(), n);
    dst[n] = 0;
}

plat::Sound3DParams CurrentSoundParams()
{
    plat::Sound3DParams p;
    p.x = g_SoundPosition[0];
    p.y = g_SoundPosition[1];
    p.z = g_SoundPosition[2];
    p.minDistance = g_SoundMinDistance;
    p.maxDistance = g_SoundMaxDistance;
    p.mode = plat::Sound3DMode::HeadRelative;
    return p;
}

} // namespace

// ---------------------------------------------------------------- TWaveFile

TWaveFile::TWaveFile(const std::string& hostPath)
{
    plat::WaveData wave;
    if (!plat::ReadWaveFile(hostPath, wave))
        return;
    m_Format = wave.format;
    m_Data = std::move(wave.samples);
    m_DataSize = static_cast<std::uint32_t>(m_Data.size());
    m_bValid = 1;
}

// ---------------------------------------------------------------- TSoundManager

TSoundManager::TSoundManager(void* hWnd) : m_hWnd(hWnd) {}

TSoundManager::~TSoundManager()
{
    for (int i = 0; i < g_SoundSlotCount; ++i)
        ReleaseBuffer(i);
    if (m_bDeviceOpen)
        plat::AudioClose();
}

bool TSoundManager::Init()
{
    // The mix runs as the primary buffer was set up: stereo, 16-bit, 22050 Hz.
    if (!plat::AudioOpen(22050)) {
        ReportError("TSoundManager::Init: the audio output cannot be opened");
        return false;
    }
    m_bDeviceOpen = true;
    plat::ListenerParams listener;
    listener.distanceFactor = kDistanceFactor;
    listener.rollOffFactor = kRollOffFactor;
    plat::SetAudioListener(listener);
    return true;
}

void TSoundManager::ReleaseBuffer(int slot)
{
    m_pWaveFiles[slot].reset();
    m_p3DBuffers[slot] = nullptr;
    m_pBuffers[slot].reset();
    m_BufferSizes[slot] = 0;
}

void TSoundManager::ReleaseSlot(int slot)
{
    if (slot < 0 || slot >= g_SoundSlotCount)
        return;
    ReleaseBuffer(slot);
    TSoundSlot& s = g_SoundSlots[slot];
    s.priority = 0;
    s.category = 0;
    s.subKind = 0;
    s.id = 0;
    s.loop = 0;
}

bool TSoundManager::LoadSound(const char* fileName, int slot)
{
    if (m_BufferSizes[slot] != 0 && m_pBuffers[slot]) {
        // The table entry was just filled for the new sound: only the old buffer goes.
        if (m_pBuffers[slot]->Stop())
            ReleaseBuffer(slot);
    }
    for (int i = 0; i < g_SoundSlotCount; ++i) {
        if (i == slot || !m_pWaveFiles[i] || !m_pBuffers[i] || std::strcmp(g_SoundSlots[i].fileName, fileName) != 0)
            continue;
        m_pBuffers[slot] = m_pBuffers[i]->Duplicate();
        if (!m_pBuffers[slot])
            return false;
        m_BufferSizes[slot] = m_BufferSizes[i];
        return true;
    }
    auto wave = std::make_unique<TWaveFile>(plat::ResolvePath(std::string("media\\") + fileName));
    if (!wave->m_bValid || wave->m_Format.formatTag != plat::kWaveFormatPcm || wave->m_Format.channels >= 2)
        return false;
    plat::PcmFormat format;
    format.sampleRate = wave->m_Format.samplesPerSec;
    format.channels = wave->m_Format.channels;
    format.bitsPerSample = wave->m_Format.bitsPerSample;
    m_pBuffers[slot] = plat::AudioBuffer::Create(format, wave->m_DataSize, true);
    if (!m_pBuffers[slot])
        return false;
    m_BufferSizes[slot] = wave->m_DataSize;
    m_pWaveFiles[slot] = std::move(wave);
    return FillBuffer(slot);
}

bool TSoundManager::FillBuffer(int slot)
{
    if (!m_pBuffers[slot] || !m_pWaveFiles[slot])
        return false;
    const auto& data = m_pWaveFiles[slot]->m_Data;
    // The buffer holds whole frames; a trailing partial frame of the file is left out.
    const std::size_t n = std::min<std::size_t>(data.size(), m_pBuffers[slot]->Size());
    return m_pBuffers[slot]->Write(0, std::span<const std::uint8_t>(data.data(), n));
}

void TSoundManager::Update()
{
    const bool menu = FrontMenuOpen();
    for (int i = 0; i < g_SoundSlotCount; ++i) {
        if (!m_pBuffers[i])
            continue;
        const bool playing = (m_pBuffers[i]->GetStatus() & plat::kAudioStatusPlaying) != 0;
        if (menu || !playing) {
            ReleaseSlot(i);
            continue;
        }
        std::uint8_t& loop = g_SoundSlots[i].loop;
        if (loop != 0) {
            if (loop < kLoopAgeLimit)
                ++loop;
            else
                ReleaseSlot(i);
        }
    }
    if (!menu) {
        const std::uint32_t now = g_SoundClock();
        if (now - g_AmbienceTime > kAmbienceInterval && g_bMusicOn == 0) {
            PlaySoundEvent(SOUND_AMBIENCE, nullptr, 0, 0);
            g_AmbienceTime = now;
        }
    }
}

// ---------------------------------------------------------------- module functions

void SetSoundDistances()
{
    g_SoundMinDistance = static_cast<float>(0.4 * g_ScreenHeight);
    g_SoundMaxDistance = static_cast<float>(1.2 * g_ScreenHeight);
}

bool IniDirectSound(void* hWnd)
{
    // Without a sound manager nothing plays for this run; the player's setting (g_bSoundOn) is
    // left as it is, so a machine without audio this time does not lose it when the settings are
    // saved later.
    ClearSlotTable();
    delete g_pSoundManager;
    g_pSoundManager = new TSoundManager(hWnd);
    SetSoundDistances();
    if (!g_pSoundManager->Init()) {
        delete g_pSoundManager;
        g_pSoundManager = nullptr;
        return false;
    }
    g_SoundFrameCounter = 0;
    g_AmbienceTime = g_SoundClock() - kAmbienceStartOffset;
    return true;
}

void RestoreWaveVolume()
{
    if (!g_pSoundManager)
        return;
    for (int i = 0; i < g_SoundSlotCount; ++i)
        g_pSoundManager->ReleaseSlot(i);
    delete g_pSoundManager;
    g_pSoundManager = nullptr;
}

void StopAllSounds()
{
    if (!g_pSoundManager)
        return;
    for (int i = 0; i < g_SoundSlotCount; ++i) {
        auto& buffer = g_pSoundManager->m_pBuffers[i];
        if (buffer && buffer->Stop())
            g_pSoundManager->ReleaseSlot(i);
    }
}

void UpdateSounds()
{
    if (g_pSoundManager)
        g_pSoundManager->Update();
    ++g_SoundFrameCounter;
}

TSoundVerdict CheckSoundSlots(std::uint8_t category, std::uint16_t id, std::uint8_t subKind, int& slot)
{
    int c1 = 0, c2 = 0, c3 = 0;
    slot = -1;
    for (int i = 0; i < g_SoundSlotCount; ++i) {
        const TSoundSlot& s = g_SoundSlots[i];
        if (s.priority == 0 || s.category != category)
            continue;
        ++c1;
        if (s.subKind != subKind)
            continue;
        ++c2;
        if (s.id != id)
            continue;
        ++c3;
        if (slot < 0 || s.distance >= g_SoundSlots[slot].distance)
            slot = i;
    }
    const bool crowded = c1 >= 3 && c2 >= 3;
    if (id == 0)
        return crowded ? TSoundVerdict::Crowded : TSoundVerdict::Free;
    if (c1 == 0 || c2 == 0)
        return TSoundVerdict::Free;
    if (c3 > 0)
        return g_SoundSlots[slot].loop != 0 ? TSoundVerdict::Renew : TSoundVerdict::Skip;
    return crowded ? TSoundVerdict::Skip : TSoundVerdict::Free;
}

std::string GetBuildingSoundName(std::uint16_t id, std::uint8_t subKind)
{
    const int t = id % 100;
    const int n = id / 100;
    std::string name;
    int variant = 0;
    switch (subKind) {
    case 3:
        name = "common\\constructing_buildings\\const_buildings";
        variant = std::rand() % 3 + 1;
        break;
    case 4:
        name = "common\\dead_building\\dead_building";
        variant = std::rand() % 3 + 1;
        break;
    case 5:
        name = "common\\Anounces\\UpgComplete";
        break;
    case 6:
        return "units\\weapons\\machinegun2\\machinegun_1.wav";
    default: {
        // Types beyond the flag table have no common sound.
        const bool common = t < static_cast<int>(std::size(kCommonBuildingSound)) && kCommonBuildingSound[t];
        const int key = common ? 250 + t : t + 25 * n;
        name = "nosound";
        for (const auto& row : BuildingSoundTable()) {
            if (row.key == key) {
                name = row.name;
                variant = std::rand() % 3 + 1;
                break;
            }
        }
        break;
    }
    }
    return "Buildings\\" + (variant == 0 ? name + ".wav" : Variant(name.c_str(), variant));
}

std::string GetSoundFileName(int slot, const TUnitSoundEntry* entry)
{
    const TSoundSlot& s = g_SoundSlots[slot];
    switch (s.category) {
    case SOUND_INTERFACE:
        if (s.subKind == 1)
            return "Clicks\\Button_YES.wav";
        if (s.subKind == 2)
            return "Clicks\\Button_NO.wav";
        return "Clicks\\Button.wav";
    case SOUND_BUILDING:
        return GetBuildingSoundName(s.id, s.subKind);
    case SOUND_UNIT: {
        if (!entry || !entry->name)
            return "Units\\";
        std::string name = entry->name;
        // The variant replaces "_1.wav"; a name too short to hold it is used as it stands.
        if (entry->variants >= 2 && name.size() >= 6)
            name = Variant(name.substr(0, name.size() - 6).c_str(), std::rand() % entry->variants + 1);
        return "Units\\" + name;
    }
    case SOUND_LEADIN:
        if (s.subKind == 1)
            return Variant("Misc\\LeadIns\\LeadIn", std::rand() % 6 + 1);
        return Variant("Misc\\LeadIns\\LeadIn", std::rand() % 3 + 7);
    case SOUND_BLAST:
        switch (s.subKind) {
        case 0:
            return Variant("Misc\\Blasts\\Small", std::rand() % 3 + 1);
        case 1:
            return Variant("Misc\\Blasts\\Medium", std::rand() % 3 + 1);
        case 3:
            return Variant("Misc\\Blasts\\Water_Big", (std::rand() & 1) + 1);
        case 4:
            return Variant("Misc\\Blasts\\Water_Medium", (std::rand() & 1) + 1);
        case 5:
            return Variant("Misc\\Blasts\\Water_Small", (std::rand() & 1) + 1);
        default:
            return Variant("Misc\\Blasts\\Big", std::rand() % 3 + 1);
        }
    case SOUND_FIRE:
        return "Misc\\Fire\\Fire.wav";
    case SOUND_AMBIENCE:
        return s.subKind == 3 ? "Misc\\Ambience\\Winter.wav" : "Misc\\Ambience\\Country.wav";
    case SOUND_ANNOUNCE:
        switch (s.subKind) {
        case 1:
            return "Misc\\Horns\\You_Win.wav";
        case 2:
            return "Misc\\Horns\\You_Lose.wav";
        case 3:
            return "Misc\\Anounces\\AirRaid.wav";
        case 4:
            return Variant("Misc\\Anounces\\Attack", std::rand() % 3 + 1);
        default:
            return "Clicks\\Button.wav";
        }
    default:
        return "Clicks\\Button.wav";
    }
}

std::vector<std::string> ListFixedSoundNames()
{
    std::vector<std::string> names = {
        "Clicks\\Button.wav",          "Clicks\\Button_YES.wav",       "Clicks\\Button_NO.wav",
        "Misc\\Fire\\Fire.wav",        "Misc\\Ambience\\Winter.wav",   "Misc\\Ambience\\Country.wav",
        "Misc\\Horns\\You_Win.wav",    "Misc\\Horns\\You_Lose.wav",    "Misc\\Anounces\\AirRaid.wav",
        "Buildings\\common\\Anounces\\UpgComplete.wav", "units\\weapons\\machinegun2\\machinegun_1.wav",
    };
    auto variants = [&](const std::string& base, int first, int last) {
        for (int n = first; n <= last; ++n)
            names.push_back(Variant(base.c_str(), n));
    };
    variants("Misc\\LeadIns\\LeadIn", 1, 9);
    for (const char* b : {"Small", "Medium", "Big"})
        variants(std::string("Misc\\Blasts\\") + b, 1, 3);
    for (const char* b : {"Water_Big", "Water_Medium", "Water_Small"})
        variants(std::string("Misc\\Blasts\\") + b, 1, 2);
    variants("Misc\\Anounces\\Attack", 1, 3);
    variants("Buildings\\common\\constructing_buildings\\const_buildings", 1, 3);
    variants("Buildings\\common\\dead_building\\dead_building", 1, 3);
    for (const auto& row : BuildingSoundTable()) {
        const std::string base = "Buildings\\" + row.name;
        if (row.key != 251) // already listed above
            variants(base, 1, 3);
    }
    return names;
}

std::uint8_t StartSound(std::uint8_t category, std::uint16_t id, std::uint8_t subKind, std::uint8_t priority,
                        std::uint8_t loop, const TUnitSoundEntry* entry, std::int32_t distance)
{
    TSoundManager* m = g_pSoundManager;
    if (!m)
        return SOUND_NO_SLOT;
    int like = -1;
    switch (CheckSoundSlots(category, id, subKind, like)) {
    case TSoundVerdict::Skip:
        return SOUND_STARTED;
    case TSoundVerdict::Renew:
        // The looping sound plays on from where it is; only its place and age change.
        if (plat::AudioBuffer* b3d = m->m_p3DBuffers[like])
            b3d->Set3DParams(CurrentSoundParams());
        g_SoundSlots[like].loop = 1;
        return SOUND_STARTED;
    case TSoundVerdict::Crowded:
        if (like < 0 || distance + kCrowdMargin > g_SoundSlots[like].distance)
            return SOUND_STARTED;
        break;
    case TSoundVerdict::Free:
        break;
    }

    int slot = -1;
    for (int i = 0; i < g_SoundSlotCount; ++i) {
        if (g_SoundSlots[i].priority == 0) {
            slot = i;
            break;
        }
    }
    if (slot < 0) {
        slot = 0;
        for (int i = 1; i < g_SoundSlotCount; ++i)
            if (g_SoundSlots[i].priority < g_SoundSlots[slot].priority)
                slot = i;
        if (g_SoundSlots[slot].priority > priority)
            return SOUND_NO_SLOT;
    }
    if (g_SoundSlots[slot].priority != 0 || m->m_pBuffers[slot]) {
        if (m->m_pBuffers[slot] && !m->m_pBuffers[slot]->Stop())
            return SOUND_STOP_REFUSED;
        m->ReleaseSlot(slot);
    }

    TSoundSlot& s = g_SoundSlots[slot];
    s.priority = priority;
    s.category = category;
    s.subKind = subKind;
    s.id = id;
    s.loop = loop;
    s.distance = distance;
    CopyName(s.fileName, GetSoundFileName(slot, entry));

    if (!m->LoadSound(s.fileName, slot)) {
        m->ReleaseSlot(slot);
        return SOUND_LOAD_FAILED;
    }
    plat::AudioBuffer* buffer = m->m_pBuffers[slot].get();
    if (!buffer || !buffer->Has3D()) {
        m->ReleaseSlot(slot);
        return SOUND_NO_3D;
    }
    m->m_p3DBuffers[slot] = buffer;
    if (!buffer->Set3DParams(CurrentSoundParams())) {
        m->ReleaseSlot(slot);
        return SOUND_3D_REFUSED;
    }
    if (!buffer->SetVolume((static_cast<std::int32_t>(g_SoundVolume) - 100) * 20) || !buffer->SetCurrentPosition(0) ||
        !buffer->Play(loop != 0)) {
        m->ReleaseSlot(slot);
        return SOUND_PLAY_REFUSED;
    }
    return SOUND_STARTED;
}

void PlaySoundEvent(std::uint8_t category, const void* object, std::uint8_t subKind, std::uint8_t priority)
{
    if (g_bSoundOn != 1 || !g_pSoundManager)
        return;
    if (priority == 0)
        priority = 1;
    else if (priority > 8)
        priority = 8;
    const std::int32_t cx = g_ViewPixelX + g_ScreenWidth / 2;
    const std::int32_t cy = g_ViewPixelY + g_ScreenHeight / 2;

    // Places the sound; false when it lies beyond the maximum distance.
    std::int32_t distance = 0;
    auto place = [&](float x, float z) {
        g_SoundPosition[0] = x;
        g_SoundPosition[1] = 0.0f;
        g_SoundPosition[2] = z;
        const float d = std::sqrt(x * x + z * z);
        if (!(d <= g_SoundMaxDistance))
            return false;
        distance = static_cast<std::int32_t>(d);
        return true;
    };
    auto unplaced = [&] {
        g_SoundPosition[0] = g_SoundPosition[1] = g_SoundPosition[2] = 0.0f;
        distance = 0;
    };

    switch (category) {
    case SOUND_INTERFACE:
        unplaced();
        StartSound(SOUND_INTERFACE, 0, subKind, priority, 0, nullptr, distance);
        break;
    case SOUND_BUILDING: {
        THouseSoundFields h;
        if (!object || !g_ReadHouse(static_cast<const THouse*>(object), h))
            return;
        const std::uint8_t nation = h.owner < 8 && g_Strateg[h.owner] ? g_Strateg[h.owner]->Nation : 0;
        const std::uint16_t id = static_cast<std::uint16_t>(nation * 100 + h.houseType);
        if (subKind == 1 || subKind == 2 || subKind == 5) {
            unplaced();
            priority = 6;
        } else {
            const float x = h.x - static_cast<float>(cx) + static_cast<float>(h.typeWidth / 2 - h.typeOffsetX);
            const float z = h.y - static_cast<float>(cy) - static_cast<float>(h.typeHeight / 2 - h.typeOffsetY);
            if (!place(x, z))
                return;
            if (h.buildWork != 0 && subKind != 6)
                subKind = 3;
        }
        StartSound(SOUND_BUILDING, id, subKind, priority, 0, nullptr, distance);
        break;
    }
    case SOUND_UNIT: {
        if (subKind >= 10) {
            ReportError("??? sobit>=10");
            return;
        }
        TUnitSoundFields u;
        if (!object || !g_ReadUnit(static_cast<const TUnit*>(object), u) || !u.sounds)
            return;
        const TUnitSoundEntry& e = u.sounds[subKind];
        if (!e.name || !e.name[0] || e.variants == 0)
            return;
        if (!e.positioned)
            unplaced();
        else if (!place(u.x - static_cast<float>(cx), u.y - static_cast<float>(cy) - u.height - u.lift))
            return;
        StartSound(SOUND_UNIT, static_cast<std::uint16_t>(u.number + 1), subKind, priority, e.loop, &e, distance);
        break;
    }
    case SOUND_LEADIN:
    case SOUND_BLAST: {
        if (!object)
            return;
        const auto* p = static_cast<const TSoundPoint*>(object);
        if (!place(static_cast<float>(p->x - cx), static_cast<float>(p->y - cy)))
            return;
        StartSound(category, 0, subKind, priority, 0, nullptr, distance);
        break;
    }
    case SOUND_FIRE: {
        THouseSoundFields h;
        if (!object || !g_ReadHouse(static_cast<const THouse*>(object), h))
            return;
        const float x = h.x - static_cast<float>(cx);
        const float z = h.y - static_cast<float>(h.typeOffsetY) - static_cast<float>(cy) + static_cast<float>(h.typeFireY);
        if (!place(x, z))
            return;
        StartSound(SOUND_FIRE, static_cast<std::uint16_t>(h.number + 1), 0, priority, 1, nullptr, distance);
        break;
    }
    case SOUND_AMBIENCE:
        unplaced();
        StartSound(SOUND_AMBIENCE, 0, static_cast<std::uint8_t>(g_MapKind), priority, 0, nullptr, distance);
        break;
    case SOUND_ANNOUNCE:
        unplaced();
        StartSound(SOUND_ANNOUNCE, 0, subKind, priority, 0, nullptr, distance);
        break;
    default:
        break; // category 5 and unknown categories play nothing
    }
}

void SetSoundClock(std::uint32_t (*clock)()) { g_SoundClock = clock ? clock : &plat::GetTickCountMs; }

void SetSoundObjectReaders(bool (*house)(const THouse*, THouseSoundFields&), bool (*unit)(const TUnit*, TUnitSoundFields&))
{
    g_ReadHouse = house ? house : &GetHouseSoundFields;
    g_ReadUnit = unit ? unit : &GetUnitSoundFields;
}

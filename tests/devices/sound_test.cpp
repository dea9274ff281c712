#include "devices/sound.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <regex>

#include "core/error_log.h"
#include "core/settings.h"
#include "platform/text.h"
#include "devices/display.h"
#include "map/map_file.h"
#include "map/map_view.h"
#include "platform/audio.h"
#include "platform/paths.h"
#include "platform/wav.h"
#include "players/strateg.h"
#include "sounds.h"
#include "test_support.h"
#include "ui/menus.h"
#include "units/house.h"
#include "units/unit.h"

namespace {

struct FakeHouse {
    THouseSoundFields fields;
};
struct FakeUnit {
    TUnitSoundFields fields;
};

bool ReadFakeHouse(const THouse* h, THouseSoundFields& out)
{
    if (!h)
        return false;
    out = reinterpret_cast<const FakeHouse*>(h)->fields;
    return true;
}

bool ReadFakeUnit(const TUnit* u, TUnitSoundFields& out)
{
    if (!u)
        return false;
    out = reinterpret_cast<const FakeUnit*>(u)->fields;
    return true;
}

const THouse* AsHouse(const FakeHouse& h) { return reinterpret_cast<const THouse*>(&h); }
const TUnit* AsUnit(const FakeUnit& u) { return reinterpret_cast<const TUnit*>(&u); }

std::uint32_t g_FakeNow = 100000;
std::uint32_t FakeClock() { return g_FakeNow; }

int BusySlots()
{
    int n = 0;
    for (const auto& s : g_SoundSlots)
        n += s.priority != 0 ? 1 : 0;
    return n;
}

int SlotOf(std::uint8_t category, std::uint16_t id)
{
    for (int i = 0; i < g_SoundSlotCount; ++i)
        if (g_SoundSlots[i].priority != 0 && g_SoundSlots[i].category == category && g_SoundSlots[i].id == id)
            return i;
    return -1;
}

// Unit voices: sub-kind 0 a one-shot with three variants, 1 a looping engine, 2 unplaced, 3 absent.
TUnitSoundEntry g_UnitSounds[UNIT_SOUND_ENTRIES] = {
    {"Inf\\Voice_1.wav", 0, 1, 3, 0},
    {"Tank\\Engine.wav", 1, 1, 1, 0},
    {"Inf\\Voice_1.wav", 0, 0, 1, 0},
    {nullptr, 0, 1, 1, 0},
};

class SoundEvents : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_Dir = new testsupport::TempDir();
        // Only the sounds these tests play: synthesising the whole set is slow under the sanitizers.
        std::vector<std::string> names = {"Units\\Inf\\Voice_1.wav", "Units\\Inf\\Voice_2.wav",
                                          "Units\\Inf\\Voice_3.wav", "Units\\Tank\\Engine.wav"};
        for (const std::string& name : ListFixedSoundNames())
            for (const char* used : {"Clicks", "Misc\\Blasts\\Small", "Misc\\Blasts\\Medium", "Misc\\Fire",
                                     "Misc\\Ambience", "Buildings\\germany\\city", "Buildings\\common\\const"})
                if (name.rfind(used, 0) == 0)
                    names.push_back(name);
        for (const std::string& name : names) {
            const auto wave = sampledata::SynthesizeSoundWave(name);
            testsupport::WriteText(*s_Dir / ("Media/" + plat::NormalizeSeparators(name)),
                                   std::string(wave.begin(), wave.end()));
        }
    }
    static void TearDownTestSuite()
    {
        delete s_Dir;
        s_Dir = nullptr;
    }

    void SetUp() override
    {
        plat::SetGameRoot(s_Dir->Path());
        plat::InvalidatePathCache();
        plat::SetAudioBackend(plat::AudioBackend::Capture);
        g_ScreenWidth = 800;
        g_ScreenHeight = 600;
        g_ViewPixelX = 0;
        g_ViewPixelY = 0;
        g_bSoundOn = 1;
        g_SoundVolume = 100;
        g_bMusicOn = 1;
        g_MapKind = 1;
        g_MainMenuWindow = nullptr;
        g_FakeNow = 100000;
        SetSoundClock(&FakeClock);
        SetSoundObjectReaders(&ReadFakeHouse, &ReadFakeUnit);
        ASSERT_TRUE(IniDirectSound(nullptr));
    }
    void TearDown() override
    {
        RestoreWaveVolume();
        EXPECT_FALSE(plat::AudioIsOpen());
        SetSoundClock(nullptr);
        SetSoundObjectReaders(nullptr, nullptr);
        plat::SetAudioBackend(plat::AudioBackend::Device);
        plat::SetGameRoot(".");
        g_MainMenuWindow = nullptr;
    }

    static void Blast(std::int32_t dx, std::int32_t dy, std::uint8_t subKind = 0, std::uint8_t priority = 3)
    {
        const TSoundPoint p{400 + dx, 300 + dy}; // the view centre is (400, 300)
        PlaySoundEvent(SOUND_BLAST, &p, subKind, priority);
    }

    static FakeUnit Unit(std::int16_t number, float x = 400, float y = 300)
    {
        FakeUnit u;
        u.fields.x = x;
        u.fields.y = y;
        u.fields.number = number;
        u.fields.sounds = g_UnitSounds;
        return u;
    }

    static testsupport::TempDir* s_Dir;
};

testsupport::TempDir* SoundEvents::s_Dir = nullptr;

TEST_F(SoundEvents, HeardUpToOnePointTwoScreenHeightsFromTheViewCentre)
{
    EXPECT_FLOAT_EQ(g_SoundMaxDistance, 720.0f);
    EXPECT_FLOAT_EQ(g_SoundMinDistance, 240.0f);
    struct Case {
        std::int32_t dx, dy;
        bool heard;
    } cases[] = {
        {720, 0, true}, {721, 0, false}, {432, 576, true}, {0, -721, false}, {-720, 0, true}, {0, 0, true},
    };
    for (const auto& c : cases) {
        Blast(c.dx, c.dy);
        EXPECT_EQ(BusySlots(), c.heard ? 1 : 0) << c.dx << "," << c.dy;
        if (c.heard)
            EXPECT_EQ(g_SoundSlots[SlotOf(SOUND_BLAST, 0)].distance,
                      static_cast<std::int32_t>(std::sqrt(static_cast<double>(c.dx * c.dx + c.dy * c.dy))));
        StopAllSounds();
        EXPECT_EQ(BusySlots(), 0);
    }
    // The view moves the centre.
    g_ViewPixelX = 1000;
    Blast(0, 0);
    EXPECT_EQ(BusySlots(), 0);
}

TEST_F(SoundEvents, LowerPriorityIsDroppedAndEqualPriorityReplacesTheFirstSlot)
{
    for (std::uint8_t k = 0; k < g_SoundSlotCount; ++k)
        PlaySoundEvent(SOUND_INTERFACE, nullptr, k, 5);
    ASSERT_EQ(BusySlots(), g_SoundSlotCount);
    EXPECT_EQ(plat::AudioPlayingVoiceCount(), g_SoundSlotCount);

    PlaySoundEvent(SOUND_INTERFACE, nullptr, 16, 4);
    for (int i = 0; i < g_SoundSlotCount; ++i)
        EXPECT_EQ(g_SoundSlots[i].subKind, i);

    PlaySoundEvent(SOUND_INTERFACE, nullptr, 16, 5);
    EXPECT_EQ(g_SoundSlots[0].subKind, 16);
    for (int i = 1; i < g_SoundSlotCount; ++i)
        EXPECT_EQ(g_SoundSlots[i].subKind, i);
    EXPECT_EQ(plat::AudioPlayingVoiceCount(), g_SoundSlotCount);

    // Priorities are clamped to 1..8.
    StopAllSounds();
    PlaySoundEvent(SOUND_INTERFACE, nullptr, 0, 0);
    PlaySoundEvent(SOUND_INTERFACE, nullptr, 1, 200);
    EXPECT_EQ(g_SoundSlots[0].priority, 1);
    EXPECT_EQ(g_SoundSlots[1].priority, 8);
}

TEST_F(SoundEvents, SlotsPlayingOneFileShareItsData)
{
    PlaySoundEvent(SOUND_INTERFACE, nullptr, 0, 3);  // Button.wav
    PlaySoundEvent(SOUND_INTERFACE, nullptr, 1, 3);  // Button_YES.wav
    PlaySoundEvent(SOUND_INTERFACE, nullptr, 7, 3);  // Button.wav again
    PlaySoundEvent(SOUND_ANNOUNCE, nullptr, 9, 3);   // Button.wav from another category
    TSoundManager& m = *g_pSoundManager;
    ASSERT_TRUE(m.m_pBuffers[0] && m.m_pBuffers[2] && m.m_pBuffers[3]);
    EXPECT_TRUE(m.m_pWaveFiles[0]);
    EXPECT_TRUE(m.m_pWaveFiles[1]);
    EXPECT_FALSE(m.m_pWaveFiles[2]);
    EXPECT_FALSE(m.m_pWaveFiles[3]);
    EXPECT_EQ(m.m_pBuffers[2]->DataIdentity(), m.m_pBuffers[0]->DataIdentity());
    EXPECT_EQ(m.m_pBuffers[3]->DataIdentity(), m.m_pBuffers[0]->DataIdentity());
    EXPECT_NE(m.m_pBuffers[1]->DataIdentity(), m.m_pBuffers[0]->DataIdentity());
    EXPECT_EQ(m.m_BufferSizes[2], m.m_BufferSizes[0]);
    // The owner going first does not take the data from the duplicates.
    m.ReleaseSlot(0);
    EXPECT_TRUE(m.m_pBuffers[2]->GetStatus() & plat::kAudioStatusPlaying);
}

TEST_F(SoundEvents, AFourthLikeSoundPlaysOnlyWhenThreeHundredPixelsNearer)
{
    struct Case {
        std::int32_t distance;
        bool plays;
    } cases[] = {{400, true}, {401, false}, {0, true}, {700, false}};
    for (const auto& c : cases) {
        Blast(700, 0);
        Blast(650, 0);
        Blast(600, 0);
        ASSERT_EQ(BusySlots(), 3);
        Blast(c.distance, 0);
        EXPECT_EQ(BusySlots(), c.plays ? 4 : 3) << c.distance;
        StopAllSounds();
    }
    // Blasts of another size are not counted with them.
    Blast(700, 0);
    Blast(650, 0);
    Blast(600, 0);
    Blast(690, 0, 1);
    EXPECT_EQ(BusySlots(), 4);
}

TEST_F(SoundEvents, LoopingFireRenewsWithoutRestartAndAgesOutAtTheEleventhUpdate)
{
    FakeHouse house;
    house.fields.x = 500;
    house.fields.y = 300;
    house.fields.number = 4;
    house.fields.typeOffsetY = 10;
    house.fields.typeFireY = 30;
    PlaySoundEvent(SOUND_FIRE, AsHouse(house), 0, 3);
    const int slot = SlotOf(SOUND_FIRE, 5);
    ASSERT_GE(slot, 0);
    EXPECT_STREQ(g_SoundSlots[slot].fileName, "Misc\\Fire\\Fire.wav");
    EXPECT_FLOAT_EQ(g_SoundPosition[0], 100.0f);
    EXPECT_FLOAT_EQ(g_SoundPosition[2], 20.0f);
    plat::AudioBuffer* buffer = g_pSoundManager->m_pBuffers[slot].get();
    EXPECT_EQ(buffer->GetStatus(), plat::kAudioStatusPlaying | plat::kAudioStatusLooping);

    std::uint32_t lastPosition = 0;
    for (int frame = 0; frame < 30; ++frame) {
        plat::AudioCaptureMix(500);
        house.fields.x = 500.0f + static_cast<float>(frame);
        PlaySoundEvent(SOUND_FIRE, AsHouse(house), 0, 3);
        UpdateSounds();
        ASSERT_EQ(g_pSoundManager->m_pBuffers[slot].get(), buffer) << frame;
        EXPECT_EQ(BusySlots(), 1);
        const std::uint32_t pos = buffer->GetCurrentPosition();
        EXPECT_NE(pos, lastPosition) << "the loop restarted at frame " << frame;
        lastPosition = pos;
    }
    // The renewal moved the sound.
    plat::Sound3DParams p;
    ASSERT_TRUE(buffer->Get3DParams(p));
    EXPECT_FLOAT_EQ(p.x, 129.0f);
    EXPECT_EQ(p.mode, plat::Sound3DMode::HeadRelative);

    // The requests stop: ten more updates keep it, the eleventh after the last request frees it.
    for (int update = 2; update <= 11; ++update) {
        UpdateSounds();
        EXPECT_EQ(BusySlots(), update <= 10 ? 1 : 0) << update;
    }
    EXPECT_EQ(plat::AudioPlayingVoiceCount(), 0);
}

TEST_F(SoundEvents, ARepeatedOneShotVoiceOfTheSameUnitIsIgnored)
{
    const FakeUnit a = Unit(7), b = Unit(8);
    PlaySoundEvent(SOUND_UNIT, AsUnit(a), 0, 3);
    PlaySoundEvent(SOUND_UNIT, AsUnit(a), 0, 3);
    EXPECT_EQ(BusySlots(), 1);
    ASSERT_GE(SlotOf(SOUND_UNIT, 8), 0);
    const std::string name = g_SoundSlots[SlotOf(SOUND_UNIT, 8)].fileName;
    EXPECT_TRUE(std::regex_match(name, std::regex(R"(Units\\Inf\\Voice_[123]\.wav)"))) << name;
    PlaySoundEvent(SOUND_UNIT, AsUnit(b), 0, 3);
    EXPECT_EQ(BusySlots(), 2);
    // An absent entry is silent; a sub-kind beyond the table is logged and silent.
    PlaySoundEvent(SOUND_UNIT, AsUnit(a), 3, 3);
    const std::string before = testsupport::ReadText(g_ErrorLog.FileName());
    PlaySoundEvent(SOUND_UNIT, AsUnit(a), 10, 3);
    const std::string after = testsupport::ReadText(g_ErrorLog.FileName());
    EXPECT_EQ(BusySlots(), 2);
    EXPECT_NE(after.find("??? sobit>=10", before.size() > 0 ? before.size() - 1 : 0), std::string::npos);
    // An unplaced voice sits at the listener whatever the unit's place.
    const FakeUnit far = Unit(9, 5000, 5000);
    PlaySoundEvent(SOUND_UNIT, AsUnit(far), 2, 3);
    ASSERT_GE(SlotOf(SOUND_UNIT, 10), 0);
    EXPECT_EQ(g_SoundSlots[SlotOf(SOUND_UNIT, 10)].distance, 0);
    PlaySoundEvent(SOUND_UNIT, AsUnit(far), 0, 3);
    EXPECT_EQ(BusySlots(), 3);
}

TEST_F(SoundEvents, UpdatesReleaseFinishedSoundsAndEverythingUnderAFrontMenu)
{
    PlaySoundEvent(SOUND_INTERFACE, nullptr, 0, 3); // a 50 ms click
    Blast(100, 0);
    UpdateSounds();
    EXPECT_EQ(BusySlots(), 2);
    plat::AudioCaptureMix(3000);
    UpdateSounds();
    EXPECT_EQ(BusySlots(), 1);

    FakeHouse house;
    PlaySoundEvent(SOUND_FIRE, AsHouse(house), 0, 3);
    EXPECT_EQ(BusySlots(), 2);
    TContainer* menu = reinterpret_cast<TContainer*>(&house);
    g_MainMenuWindow = menu;
    UpdateSounds();
    EXPECT_EQ(BusySlots(), 0);
    EXPECT_EQ(plat::AudioPlayingVoiceCount(), 0);
}

TEST_F(SoundEvents, AmbienceEveryFiftySecondsWhileTheMusicIsOff)
{
    g_bMusicOn = 0;
    g_FakeNow = 120000; // the first ambience is due 20 s after the start
    UpdateSounds();
    EXPECT_EQ(BusySlots(), 0);
    g_FakeNow = 120001;
    UpdateSounds();
    ASSERT_GE(SlotOf(SOUND_AMBIENCE, 0), 0);
    EXPECT_STREQ(g_SoundSlots[SlotOf(SOUND_AMBIENCE, 0)].fileName, "Misc\\Ambience\\Country.wav");
    StopAllSounds();

    g_MapKind = 3;
    g_FakeNow += 50001;
    g_bMusicOn = 1;
    UpdateSounds();
    EXPECT_EQ(BusySlots(), 0);
    g_bMusicOn = 0;
    UpdateSounds();
    ASSERT_GE(SlotOf(SOUND_AMBIENCE, 0), 0);
    EXPECT_STREQ(g_SoundSlots[SlotOf(SOUND_AMBIENCE, 0)].fileName, "Misc\\Ambience\\Winter.wav");
}

TEST_F(SoundEvents, BuildingSoundsPlaceAtThePictureCentreAndTurnIntoConstruction)
{
    TStrateg germany;
    germany.Nation = 3;
    g_Strateg[2] = &germany;
    FakeHouse house;
    house.fields.x = 300;
    house.fields.y = 400;
    house.fields.owner = 2;
    house.fields.houseType = 6;
    house.fields.typeWidth = 101;
    house.fields.typeHeight = 80;
    house.fields.typeOffsetX = 20;
    house.fields.typeOffsetY = 10;
    PlaySoundEvent(SOUND_BUILDING, AsHouse(house), 0, 3);
    int slot = SlotOf(SOUND_BUILDING, 306);
    ASSERT_GE(slot, 0);
    EXPECT_FLOAT_EQ(g_SoundPosition[0], -100.0f + 30.0f);
    EXPECT_FLOAT_EQ(g_SoundPosition[2], 100.0f - 30.0f);
    EXPECT_TRUE(std::regex_match(std::string(g_SoundSlots[slot].fileName),
                                 std::regex(R"(Buildings\\germany\\city_center\\city_center_[123]\.wav)")));
    StopAllSounds();

    house.fields.buildWork = 5;
    PlaySoundEvent(SOUND_BUILDING, AsHouse(house), 0, 3);
    slot = SlotOf(SOUND_BUILDING, 306);
    ASSERT_GE(slot, 0);
    EXPECT_EQ(g_SoundSlots[slot].subKind, 3);
    PlaySoundEvent(SOUND_BUILDING, AsHouse(house), 1, 2); // a selection: unplaced, priority 6
    int selected = -1;
    for (int i = 0; i < g_SoundSlotCount; ++i)
        if (g_SoundSlots[i].priority == 6)
            selected = i;
    ASSERT_GE(selected, 0);
    EXPECT_EQ(g_SoundSlots[selected].subKind, 1);
    EXPECT_EQ(g_SoundSlots[selected].distance, 0);
    g_Strateg[2] = nullptr;
}

TEST_F(SoundEvents, PlacedSoundsArePannedInTheMix)
{
    Blast(-200, 0);
    const auto out = plat::AudioCaptureMix(2000);
    long long left = 0, right = 0;
    for (std::size_t i = 0; i < out.size(); i += 2) {
        left += std::abs(out[i]);
        right += std::abs(out[i + 1]);
    }
    EXPECT_GT(left, 0);
    EXPECT_EQ(right, 0);
}

namespace {

// Sum of the magnitudes of the next frames of the mix, both channels.
long long MixLoudness(std::size_t frames)
{
    long long sum = 0;
    for (std::int16_t v : plat::AudioCaptureMix(frames))
        sum += std::abs(v);
    return sum;
}

} // namespace

TEST_F(SoundEvents, TheVolumeSettingIsAHundredthOfADecibelPerTwentiethOfAPercent)
{
    // 100 plays at full volume; 50 at -10 dB (a third of the amplitude); 0 at -20 dB. The same
    // variant of the sound plays each time.
    std::srand(7);
    Blast(0, 0);
    const long long full = MixLoudness(2000);
    ASSERT_GT(full, 0);
    for (const auto& [volume, ratio] : {std::pair{50, 0.316}, std::pair{0, 0.1}}) {
        SCOPED_TRACE(volume);
        StopAllSounds();
        MixLoudness(4000);
        g_SoundVolume = static_cast<std::uint8_t>(volume);
        std::srand(7);
        Blast(0, 0);
        const double measured = static_cast<double>(MixLoudness(2000)) / static_cast<double>(full);
        EXPECT_NEAR(measured, ratio, ratio * 0.15);
    }
}

TEST_F(SoundEvents, StereoSoundFilesAreNotPlayed)
{
    std::vector<std::string> blasts;
    for (const std::string& name : ListFixedSoundNames())
        if (name.rfind("Misc\\Blasts\\Small", 0) == 0)
            blasts.push_back(name);
    ASSERT_FALSE(blasts.empty());
    const std::vector<std::uint8_t> samples(4000, 0x40);
    const auto stereo = plat::BuildWaveImage(2, 22050, 16, samples);
    auto put = [](const std::string& name, const std::vector<std::uint8_t>& wave) {
        testsupport::WriteText(*s_Dir / ("Media/" + plat::NormalizeSeparators(name)), std::string(wave.begin(), wave.end()));
    };
    for (const std::string& name : blasts)
        put(name, stereo);
    Blast(0, 0);
    EXPECT_EQ(plat::AudioPlayingVoiceCount(), 0);
    EXPECT_EQ(MixLoudness(2000), 0);
    for (const std::string& name : blasts)
        put(name, sampledata::SynthesizeSoundWave(name));
}

TEST(SoundNames, BuildingTable)
{
    struct Case {
        std::uint16_t id;
        std::uint8_t subKind;
        const char* pattern;
    } cases[] = {
        {0, 0, R"(Buildings\\common\\Electro_Station\\Electro_[123]\.wav)"},
        {401, 0, R"(Buildings\\common\\constructing_buildings\\const_buildings_[123]\.wav)"},
        {104, 0, R"(Buildings\\england\\Quarters\\Quarters_[123]\.wav)"},
        {219, 7, R"(Buildings\\france\\Tank_Plant\\Tank_Plant_[123]\.wav)"},
        {405, 0, R"(Buildings\\austria\\War_Acad\\War_Acad_[123]\.wav)"},
        {325, 0, R"(Buildings\\nosound\.wav)"},  // common flag, but no row for key 275
        {24, 0, R"(Buildings\\nosound\.wav)"},
        {99, 0, R"(Buildings\\nosound\.wav)"},   // beyond the flag table
        {7, 3, R"(Buildings\\common\\constructing_buildings\\const_buildings_[123]\.wav)"},
        {7, 4, R"(Buildings\\common\\dead_building\\dead_building_[123]\.wav)"},
        {7, 5, R"(Buildings\\common\\Anounces\\UpgComplete\.wav)"},
        {7, 6, R"(units\\weapons\\machinegun2\\machinegun_1\.wav)"},
    };
    for (const auto& c : cases)
        for (int i = 0; i < 10; ++i) {
            const std::string name = GetBuildingSoundName(c.id, c.subKind);
            EXPECT_TRUE(std::regex_match(name, std::regex(c.pattern))) << c.id << "/" << int(c.subKind) << ": " << name;
        }
}

TEST(SoundNames, EveryTableNameIsAmongTheSampleSounds)
{
    const auto all = ListFixedSoundNames();
    struct Case {
        std::uint8_t category, subKind;
    } cases[] = {{1, 0}, {1, 1}, {1, 2}, {4, 1}, {4, 0}, {6, 0}, {6, 1}, {6, 2}, {6, 3}, {6, 4},
                 {6, 5}, {6, 9}, {7, 0}, {8, 3}, {8, 1}, {9, 1}, {9, 2}, {9, 3}, {9, 4}, {9, 7}};
    for (const auto& c : cases) {
        g_SoundSlots[0].category = c.category;
        g_SoundSlots[0].subKind = c.subKind;
        for (int i = 0; i < 20; ++i) {
            const std::string name = GetSoundFileName(0, nullptr);
            EXPECT_NE(std::find(all.begin(), all.end(), name), all.end()) << name;
        }
    }
    // A unit entry too short to hold its variant suffix is used as it stands.
    const TUnitSoundEntry shortName{"a", 0, 1, 3, 0};
    g_SoundSlots[0].category = SOUND_UNIT;
    EXPECT_EQ(GetSoundFileName(0, &shortName), "Units\\a");
    g_SoundSlots[0] = TSoundSlot{};
}

TEST(SoundStart, AFailedStartLeavesSoundOffForThisRunOnly)
{
    testsupport::TempDir dir;
    plat::SetGameRoot(dir.Path());
    plat::SetAudioBackend(plat::AudioBackend::Unavailable);
    g_bSoundOn = 1;
    EXPECT_FALSE(IniDirectSound(nullptr));
    EXPECT_EQ(g_pSoundManager, nullptr);
    const TSoundPoint p{0, 0};
    PlaySoundEvent(SOUND_BLAST, &p, 0, 3);
    UpdateSounds();
    StopAllSounds();
    RestoreWaveVolume();
    // Nothing was written into the game folder, and a later save keeps the player's choice.
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
    EXPECT_EQ(g_bSoundOn, 1);
    const std::string settings = MakeGameInfoText();
    const std::string item = plat::Utf8ToCp1251("{Звук в игре 1-да 0-нет}") + std::string(14, '\t');
    const std::size_t at = settings.find(item);
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(settings.substr(at + item.size(), 3), "1\r\n");
    plat::SetAudioBackend(plat::AudioBackend::Device);
    plat::SetGameRoot(".");
    g_bSoundOn = 1;
}

} // namespace

#include "core/settings.h"

#include <cstring>
#include <vector>

#include "core/commented_reader.h"
#include "core/error_log.h"
#include "core/file_bytes.h"
#include "core/memory_stream.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "core/app_state.h"

std::uint8_t g_bMusicOn = 1;
std::uint8_t g_MusicVolume = 0;
std::uint8_t g_bSoundOn = 1;
std::uint8_t g_SoundVolume = 0;
std::uint8_t g_ScreenMode = 0;
std::uint8_t g_GameSpeed = 53;
std::uint8_t g_StartGameSpeed = 53;
std::uint8_t g_bFogOfWar = 1;
std::uint8_t g_bShowHints = 0;
std::uint8_t g_MouseScrollSpeed = 50;
std::uint8_t g_KeyScrollSpeed = 50;
std::uint8_t g_bLandFilter = 1;
std::uint8_t g_AdvisorOptions[ADVISOR_PLAYERS][ADVISOR_OPTIONS];
std::uint8_t g_WarAdvisorOptions[ADVISOR_PLAYERS][ADVISOR_OPTIONS];
std::uint8_t g_bReducedAnimation = 0;
std::uint8_t g_bWaterReflections = 1;

namespace {
// Every advisor option starts switched on.
const bool g_AdvisorStart = [] {
    std::memset(g_AdvisorOptions, 1, sizeof g_AdvisorOptions);
    std::memset(g_WarAdvisorOptions, 1, sizeof g_WarAdvisorOptions);
    return true;
}();
} // namespace

std::int32_t g_GameStateCounters[4] = {};

namespace {

struct TGameInfoComment {
    const char* text; // UTF-8 here, code page 1251 in the file
    int tabs;
};

// Items 1 to 11, then 13 and 14; item 12 (the advisor options) has no comment.
const TGameInfoComment kComments[13] = {
    {"{Фоновая музыка 1-да 0-нет}", 13},
    {"{Громкость фоновой музыки(0-100)}", 12},
    {"{Звук в игре 1-да 0-нет}", 14},
    {"{Громкость звука(0-100)}", 14},
    {"{Разрешение экрана (1024х768-0 1152х864-1 1280х960-2 1280х1024-3)}", 1},
    {"{Скорость игры(0-6) 0-минимальная, 3-средняя, 6-максимальная}", 5},
    {"{Туман войны (0-нет, 1-да)}", 13},
    {"{показывать подсказки ?(0-нет, 1-да)}", 11},
    {"{Скорость скроллинга мышью(0-100)}", 12},
    {"{Скорость скроллинга клавиатурой(0-100)}", 10},
    {"{Ландшафтный фильтр (0-нет, 1-да)}", 11},
    {"{Усеченная анимация юнитов (0-нет, 1-да)}", 10},
    {"{Отражения в воде (0-нет, 1-да)}", 12},
};

int LocalAdvisorRow()
{
    return MyPlayer < ADVISOR_PLAYERS ? MyPlayer : 0;
}

void AppendItem(std::string& out, int commentIndex, unsigned value)
{
    out += plat::Utf8ToCp1251(kComments[commentIndex].text);
    out.append(static_cast<std::size_t>(kComments[commentIndex].tabs), '\t');
    out += std::to_string(value);
    out += "\r\n";
}

} // namespace

std::string MakeGameInfoText()
{
    const std::uint8_t items[11] = {g_bMusicOn,        g_MusicVolume,    g_bSoundOn, g_SoundVolume,
                                    g_ScreenMode,      g_GameSpeed,      g_bFogOfWar, g_bShowHints,
                                    g_MouseScrollSpeed, g_KeyScrollSpeed, g_bLandFilter};
    std::string out;
    for (int i = 0; i < 11; ++i)
        AppendItem(out, i, items[i]);
    const int row = LocalAdvisorRow();
    for (int i = 0; i < ADVISOR_OPTIONS; ++i) {
        out += std::to_string(g_AdvisorOptions[row][i]);
        out += ' ';
        out += std::to_string(g_WarAdvisorOptions[row][i]);
        out += ' ';
    }
    AppendItem(out, 11, g_bReducedAnimation);
    AppendItem(out, 12, g_bWaterReflections);
    return out;
}

void ParseGameInfo(const char* data, std::size_t size)
{
    if (size > 0x7FFFFFFF)
        size = 0x7FFFFFFF;
    TIfStreamMemory in(data, static_cast<std::int32_t>(size));
    std::uint8_t v = 0;
    // Each item is stored only when it was read, so a cut file keeps the values that stood before.
    auto number = [&](std::uint8_t& target) {
        if (!ReadCommentedValue(in, v))
            return false;
        target = v;
        return true;
    };
    auto flag = [&](std::uint8_t& target) {
        if (!ReadCommentedValueB(in, v))
            return false;
        target = v;
        return true;
    };
    auto scroll = [&](std::uint8_t& target) {
        if (!number(target))
            return false;
        if (target == 0)
            target = 1;
        else if (target > 100)
            target = 100;
        return true;
    };
    if (!number(g_bMusicOn))
        return;
    if (!number(g_MusicVolume))
        return;
    if (g_MusicVolume > 100)
        g_MusicVolume = 100;
    if (!number(g_bSoundOn) || !number(g_SoundVolume) || !number(g_ScreenMode))
        return;
    if (g_ScreenMode > 3)
        g_ScreenMode = 0;
    if (!number(g_GameSpeed))
        return;
    if (g_GameSpeed >= 100)
        g_GameSpeed = 99;
    g_StartGameSpeed = g_GameSpeed;
    // The fog setting is kept in the file for older versions; fog of war is always on.
    if (!ReadCommentedValueB(in, v))
        return;
    g_bFogOfWar = 1;
    std::memset(g_GameStateCounters, 0, sizeof g_GameStateCounters);
    if (!flag(g_bShowHints) || !scroll(g_MouseScrollSpeed) || !scroll(g_KeyScrollSpeed) || !flag(g_bLandFilter))
        return;
    const int row = LocalAdvisorRow();
    char word[COMMENTED_WORD_BUFFER];
    for (int i = 0; i < ADVISOR_OPTIONS; ++i) {
        std::int32_t economy = 0;
        std::int32_t war = 0;
        if (!ReadTextWord(in, word, sizeof word) || !ParseDecimalWord(word, economy))
            return;
        g_AdvisorOptions[row][i] = economy != 0 ? 1 : 0;
        if (!ReadTextWord(in, word, sizeof word) || !ParseDecimalWord(word, war))
            return;
        g_WarAdvisorOptions[row][i] = war != 0 ? 1 : 0;
    }
    if (!flag(g_bReducedAnimation))
        return;
    flag(g_bWaterReflections);
}

bool LoadGameInfoFrom(const char* path)
{
    std::memset(g_AdvisorOptions, 1, sizeof g_AdvisorOptions);
    std::memset(g_WarAdvisorOptions, 1, sizeof g_WarAdvisorOptions);
    std::vector<std::uint8_t> bytes;
    if (!ReadGameFile(path, bytes, 1u << 20)) {
        ReportError("File not open in LoadGameInfo()");
        return false;
    }
    ParseGameInfo(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return true;
}

bool SaveGameInfoAs(const char* path)
{
    const std::string text = MakeGameInfoText();
    if (!path || !plat::WriteFileAtomic(plat::ResolvePath(path), text.data(), text.size())) {
        ReportError("Cannot open file Data\\GameInf.txt for writing (may be its read only)");
        return false;
    }
    return true;
}

void LoadGameInfo()
{
    LoadGameInfoFrom(GAME_INFO_FILE);
}

void SaveGameInfo()
{
    SaveGameInfoAs(GAME_INFO_FILE);
}

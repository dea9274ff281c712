#include "core_files.h"

#include "core/settings.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "sample_data.h"
#include "sample_strings.h"

namespace sampledata {

namespace {

// Names maps give their players, and what the game shows instead.
const char* const kPlayerNames[][2] = {
    {"Kaiser", "Wilhelm II"},
    {"Tsar", "Nicholas II"},
    {"Marshal", "Joseph Joffre"},
    {"General", "Douglas Haig"},
    {"Archduke", "Franz Conrad"},
};

} // namespace

std::vector<std::uint8_t> BuildUtf16Lines(const std::vector<std::u16string>& lines)
{
    std::vector<std::uint8_t> out = {0xFF, 0xFE};
    auto put = [&out](char16_t c) {
        out.push_back(static_cast<std::uint8_t>(c));
        out.push_back(static_cast<std::uint8_t>(c >> 8));
    };
    for (const std::u16string& line : lines) {
        for (char16_t c : line)
            put(c);
        put(u'\r');
        put(u'\n');
    }
    return out;
}

std::string SampleFontList()
{
    // height, charset (204: Cyrillic), face; fonts 2 and 3 are made bold by the display code.
    return "14 204 DejaVu Sans\r\n"
           "12 204 DejaVu Sans\r\n"
           "16 204 DejaVu Serif\r\n"
           "20 204 DejaVu Serif\r\n";
}

bool WriteGameInfo(const std::string& outDir)
{
    return plat::MakeDirectories(outDir + "/Data") && SaveGameInfoAs((outDir + "/Data/GameInf.txt").c_str());
}

bool WriteFontList(const std::string& outDir)
{
    const std::string text = SampleFontList();
    return WriteFileBytes(outDir, "Data/korvela_font.fnt", text.data(), text.size());
}

bool WritePlayerNames(const std::string& outDir)
{
    std::vector<std::u16string> lines;
    for (const auto& pair : kPlayerNames)
        lines.push_back(plat::Utf8ToUtf16(pair[0]) + u" # " + plat::Utf8ToUtf16(pair[1]));
    const std::vector<std::uint8_t> bytes = BuildUtf16Lines(lines);
    return WriteFileBytes(outDir, "Maps/PlayerNames.txt", bytes.data(), bytes.size());
}

std::vector<std::uint8_t> BuildKeyMapping()
{
    std::vector<std::uint8_t> bytes;
    constexpr std::uint8_t kNumpad0 = 0x60;
    for (std::uint8_t digit = 0; digit < 10; ++digit)
        bytes.insert(bytes.end(), {static_cast<std::uint8_t>(kNumpad0 + digit), ' ',
                                   static_cast<std::uint8_t>('0' + digit), '\r', '\n'});
    return bytes;
}

bool WriteKeyMapping(const std::string& outDir)
{
    const std::vector<std::uint8_t> bytes = BuildKeyMapping();
    return WriteFileBytes(outDir, "Data/KeyMapping.txt", bytes.data(), bytes.size());
}

bool WriteCoreFiles(const std::string& outDir)
{
    return WriteGameInfo(outDir) && WriteFontList(outDir) && WritePlayerNames(outDir) && WriteStringTable(outDir)
        && WriteKeyMapping(outDir);
}

} // namespace sampledata

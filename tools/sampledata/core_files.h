#pragma once
// The core's text files of the sample game: settings, font list, player names and string table.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sampledata {

// A UTF-16LE file image: FF FE, then the lines, each ended by CR LF.
std::vector<std::uint8_t> BuildUtf16Lines(const std::vector<std::u16string>& lines);

// The faces fontconfig finds on a Debian system with fonts-dejavu-core.
std::string SampleFontList();

bool WriteGameInfo(const std::string& outDir);
bool WriteFontList(const std::string& outDir);
bool WritePlayerNames(const std::string& outDir);
// Data\KeyMapping.txt: the numeric keypad's digits act as the digit keys.
std::vector<std::uint8_t> BuildKeyMapping();
bool WriteKeyMapping(const std::string& outDir);
// All of the above and the string table.
bool WriteCoreFiles(const std::string& outDir);

} // namespace sampledata

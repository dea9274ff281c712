#pragma once
// The string table of the sample game: every text id the code looks up.
#include <span>
#include <string>
#include <vector>

#include "core/string_table.h"

namespace sampledata {

struct SampleString {
    const char16_t* id;
    const char* text; // UTF-8
};

// One table for the whole game; each module that looks a text up adds its ids here.
std::span<const SampleString> SampleStrings();
// The table filled from SampleStrings().
void FillStringTable(TResStrings& table);
// Writes Data\korvela_res.grf.
bool WriteStringTable(const std::string& outDir);

} // namespace sampledata

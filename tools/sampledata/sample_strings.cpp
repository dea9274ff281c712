#include "sample_strings.h"

#include "platform/text.h"
#include "sample_data.h"

namespace sampledata {

namespace {

const SampleString kStrings[] = {
    // Names of computer players whose map record has no name.
    {u"IDS_COMP1", "Computer 1"},
    {u"IDS_COMP2", "Computer 2"},
    {u"IDS_COMP3", "Computer 3"},
    {u"IDS_COMP4", "Computer 4"},
    {u"IDS_COMP5", "Computer 5"},
    {u"IDS_COMP6", "Computer 6"},
    {u"IDS_COMP7", "Computer 7"},
    {u"IDS_COMP8", "Computer 8"},
};

} // namespace

std::span<const SampleString> SampleStrings()
{
    return kStrings;
}

void FillStringTable(TResStrings& table)
{
    for (const SampleString& s : SampleStrings())
        table.SetString(s.id, plat::Utf8ToUtf16(s.text));
}

bool WriteStringTable(const std::string& outDir)
{
    TResStrings table;
    FillStringTable(table);
    const std::vector<std::uint8_t> bytes = table.Serialize();
    return WriteFileBytes(outDir, "Data/korvela_res.grf", bytes.data(), bytes.size());
}

} // namespace sampledata

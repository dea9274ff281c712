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
    // Why a building cannot stand where the cursor is.
    {u"IDS_CANTBUILD", "Cannot build here"},
    {u"IDS_CANTBUILD_CORNER_NEAR", "Too close to the edge of the map"},
    {u"IDS_CANTBUILD_HAVE_HOUSE_NEAR", "Another building is in the way"},
    {u"IDS_CANTBUILD_HAVE_RESOURCE_NEAR", "Too close to a resource"},
    {u"IDS_CANTBUILD_HAVE_UNIT_NEAR", "Units are in the way"},
    {u"IDS_CANTBUILD_HEIGHT", "The ground is too uneven"},
    {u"IDS_CANTBUILD_ONWATER", "Cannot build on water"},
    {u"IDS_CANTBUILD_TREE_MANY", "Too many trees or rocks"},
    {u"IDS_CANT_BUILD_PORT", "A port needs open water on one side"},
    {u"IDS_CANTBUILD_RESOURCE_DEMAND", "Must be built on its resource"},
    {u"IDS_CANTBUILD_TREE_DEMAND", "Not enough trees nearby"},
    {u"IDS_ALREADY_HAVE_LUMER_NEAR", "A lumber mill already stands nearby"},
    {u"IDS_CANTBUILD_BARN_WINTER", "Farms cannot be built in winter"},
    {u"IDS_CANTBUILD_CLOSE_AIR", "Trees block the airfield"},
    {u"IDS_CANTBUILD_CLOSE_TANK", "The factory yard is blocked"},
    {u"IDS_CANTBUILD_NO_MANY", "Not enough resources"},
    // Quick save and quick load, and the save list's title of a random map.
    {u"IDS_QUICKSAVE_SUCCESS", "Game saved"},
    {u"IDS_QUICKSAVE_FAILED", "The game could not be saved"},
    {u"IDS_QUICKLOAD_SUCCESS", "Game loaded"},
    {u"IDS_QUICKLOAD_FAILED", "The quick save could not be loaded"},
    {u"IDS_CONFIRM_QUICK_LOAD", "Load the quick save? The current game will be lost."},
    {u"IDS_RANDOM_MAP", "Random map"},
    // The end of a game, and the resource bar's warning.
    {u"IDS_YOU_DEAD", "You have been defeated"},
    {u"IDS_PLAYER", "Player "},
    {u"IDS_WIN", " is victorious"},
    {u"IDS_DEMANDHOUSE", "Build more dwellings: the population has reached its limit"},
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

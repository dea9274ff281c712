#include "core/inf_file.h"

#include <gtest/gtest.h>

#include "game_folder_fixture.h"

namespace {

std::vector<std::string> Parse(const std::string& text)
{
    TInfFile list;
    list.Parse({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    return list.Lines();
}

} // namespace

TEST(InfFile, KeepsNonBlankLinesWithoutTheirLineEnds)
{
    struct Case {
        std::string text;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"None\r\nVelm.ogm\r\nIntroRussian.ogm\r\n", {"None", "Velm.ogm", "IntroRussian.ogm"}},
        {"a\nb", {"a", "b"}},
        {"  \r\n\r\n\n   \n", {}},
        {"\t\n", {"\t"}},
        {" x  \r\n", {" x  "}},
        {"a\r\r\nb", {"a\r", "b"}},
        {std::string(12000, 'L') + "\nnext", {std::string(TInfFile::kMaxLine, 'L'), "next"}},
        {"", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 30));
        EXPECT_EQ(Parse(c.text), c.expected);
    }
}

TEST(InfFile, EntriesOutsideTheListReadAsError)
{
    TInfFile list;
    EXPECT_EQ(list.Add("first"), 1);
    EXPECT_EQ(list.Add("second"), 2);
    EXPECT_EQ(list.GetEntry(1), "second");
    EXPECT_EQ(list.GetEntry(2), "Error");
    EXPECT_EQ(list.GetEntry(-1), "Error");
}

class InfFileOnDisk : public GameFolderTest {};

TEST_F(InfFileOnDisk, ReadsThroughTheGamePathAndMissingGivesNothing)
{
    testsupport::WriteText(dir / "Media/Video.inf", "None\r\nVelm.ogm\r\n");
    EXPECT_EQ(TInfFile("media\\VIDEO.INF").Lines(), (std::vector<std::string>{"None", "Velm.ogm"}));
    EXPECT_EQ(TInfFile("Media\\Credits.inf").Count(), 0);
    EXPECT_EQ(TInfFile(nullptr).Count(), 0);
    EXPECT_EQ(TInfFile("").Count(), 0);
}

#include "core/font_list.h"

#include <gtest/gtest.h>

#include "core_files.h"
#include "game_folder_fixture.h"

namespace {

std::vector<TFontEntry> Parse(const std::string& text)
{
    TFontList list;
    list.Parse({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    return list.Entries();
}

} // namespace

TEST(FontList, ReadsHeightCharsetAndTheRestOfTheLineAsFace)
{
    struct Case {
        std::string text;
        std::vector<TFontEntry> expected;
    };
    const std::string longName(120, 'N');
    const Case cases[] = {
        {"14 204 Arial\n12 0 Times New Roman\n", {{14, 204, "Arial"}, {12, 0, "Times New Roman"}}},
        {"14 204 DejaVu Sans\r\n-12\t1 Face\r\n", {{14, 204, "DejaVu Sans"}, {-12, 1, "Face"}}},
        {"\n\n  16\n204 Split Lines", {{16, 204, "Split Lines"}}},
        {"10 1 " + longName + "\n8 1 B", {{10, 1, std::string(99, 'N')}, {8, 1, "B"}}},
        {"10 1\n11 2 Next", {{10, 1, ""}, {11, 2, "Next"}}},
        {"10 1  two blanks", {{10, 1, " two blanks"}}},
        {"abc 1 Face", {}},
        {"10 x Face", {}},
        {"99999999999 1 Face", {}},
        {"14 204 Arial\n12", {{14, 204, "Arial"}}},
        {"", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 40));
        EXPECT_EQ(Parse(c.text), c.expected);
    }
}

TEST(FontList, MissingEntriesGiveTheDefaults)
{
    TFontList list;
    list.Parse({reinterpret_cast<const std::uint8_t*>("14 204 A\n12 204 B\n"), 18});
    EXPECT_EQ(list.GetFirst(1), 12);
    EXPECT_EQ(list.GetName(1), "B");
    for (int i : {2, 3, -1}) {
        EXPECT_EQ(list.GetFirst(i), 10);
        EXPECT_EQ(list.GetSecond(i), 1);
        EXPECT_EQ(list.GetName(i), "");
    }
    EXPECT_TRUE(TFontList(nullptr).Entries().empty());
}

class FontListFile : public GameFolderTest {};

TEST_F(FontListFile, SampleFolderNamesFourFaces)
{
    ASSERT_TRUE(sampledata::WriteFontList(dir.Path()));
    TFontList list(FONT_LIST_FILE);
    ASSERT_EQ(list.Entries().size(), 4u);
    EXPECT_EQ(list.GetName(0), "DejaVu Sans");
    EXPECT_EQ(list.GetSecond(3), 204);
    EXPECT_TRUE(TFontList("Data\\missing.fnt").Entries().empty());
}

#include "platform/paths.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "test_support.h"

using namespace plat;

class PathResolver : public ::testing::Test {
protected:
    void SetUp() override
    {
        testsupport::WriteText(dir / "Data/Misc/Numbers2.bmp", "x");
        testsupport::WriteText(dir / "Data/GameInf.txt", "x");
        testsupport::WriteText(dir / "save/one.svg", "x");
        testsupport::WriteText(dir / "Twin/Name.TXT", "upper");
        testsupport::WriteText(dir / "Twin/name.txt", "lower");
        SetGameRoot(dir.Path());
    }
    void TearDown() override { SetGameRoot("."); }
    testsupport::TempDir dir;
};

TEST_F(PathResolver, MatchesComponentsWithoutCaseAndFixesSeparators)
{
    const std::string root = dir.Path();
    struct Case {
        const char* in;
        std::string out;
    } cases[] = {
        {"data\\misc\\NUMBERS2.BMP", root + "/Data/Misc/Numbers2.bmp"},
        {"DATA/gameinf.txt", root + "/Data/GameInf.txt"},
        {"save//one.svg", root + "/save/one.svg"},
        {"Save\\\\ONE.svg", root + "/save/one.svg"},
        {".\\Data\\GameInf.txt", root + "/Data/GameInf.txt"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ResolvePath(c.in), c.out) << c.in;
}

TEST_F(PathResolver, KeepsMissingComponentsAsWritten)
{
    EXPECT_EQ(ResolvePath("data\\NewFolder\\File.txt"), dir.Path() + "/Data/NewFolder/File.txt");
    EXPECT_EQ(ResolvePath("Nothing"), dir.Path() + "/Nothing");
}

TEST_F(PathResolver, PrefersExactSpellingAmongCaseTwins)
{
    EXPECT_EQ(ResolvePath("twin/name.txt"), dir.Path() + "/Twin/name.txt");
    EXPECT_EQ(ResolvePath("twin/Name.TXT"), dir.Path() + "/Twin/Name.TXT");
    // No exact match: the lexicographically first of the two wins, every time.
    EXPECT_EQ(ResolvePath("twin/NAME.txt"), dir.Path() + "/Twin/Name.TXT");
}

TEST_F(PathResolver, SeesFilesCreatedAfterTheFolderWasCached)
{
    EXPECT_EQ(ResolvePath("data/late.txt"), dir.Path() + "/Data/late.txt");
    testsupport::WriteText(dir / "Data/LATE.txt", "x");
    EXPECT_EQ(ResolvePath("data/late.txt"), dir.Path() + "/Data/LATE.txt");
}

TEST_F(PathResolver, AtomicWriteReplacesOnlyWhenComplete)
{
    const std::string target = dir / "save/one.svg";
    ASSERT_TRUE(WriteFileAtomic(target, "new", 3));
    EXPECT_EQ(testsupport::ReadText(target), "new");
    // A folder that does not exist: the write fails and nothing is left behind.
    EXPECT_FALSE(WriteFileAtomic(dir / "missing/x.bin", "y", 1));
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

// Runs the real program in a sample game folder and checks its exit codes and its log.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <vector>
#include <string>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "missions.h"
#include "platform/single_instance.h"
#include "sample_data.h"
#include "test_support.h"

namespace {

class Program : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(sampledata::WriteGameFolder(game.Path())); }

    int Run(const std::string& args, const std::string& env = "")
    {
        const std::string cmd = "cd '" + game.Path() + "' && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy KORVELA_HEADLESS=1 XDG_RUNTIME_DIR='" +
                                game.Path() + "' " +
                                env + " '" + std::string(KORVELA_BINARY_DIR) + "/korvela' " + args + " >/dev/null 2>&1";
        const int status = std::system(cmd.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string Log() { return testsupport::ReadText(game / "ReportError.log"); }

    testsupport::TempDir game;
};

} // namespace

TEST_F(Program, BadCommandLineEndsWithCode2)
{
    EXPECT_EQ(Run("+editor"), 2);
}

TEST_F(Program, SecondCopyEndsWithCode1)
{
    // The lock lives in the runtime folder; each test has its own, so tests may run side by side.
    setenv("XDG_RUNTIME_DIR", game.Path().c_str(), 1);
    ASSERT_TRUE(plat::AcquireSingleInstance("Dorvane", "Dorvane "));
    EXPECT_EQ(Run(""), 1);
    plat::ReleaseSingleInstance();
}

namespace {

// Holds one port, for both TCP and UDP, until it goes out of scope.
class TakenPort {
public:
    TakenPort()
    {
        for (int attempt = 0; attempt < 20 && port == 0; ++attempt) {
            tcp = Bind(SOCK_STREAM, 0);
            if (tcp < 0)
                continue;
            sockaddr_in a{};
            socklen_t len = sizeof a;
            getsockname(tcp, reinterpret_cast<sockaddr*>(&a), &len);
            const int p = ntohs(a.sin_port);
            udp = Bind(SOCK_DGRAM, p);
            if (udp >= 0) {
                listen(tcp, 1);
                port = p;
            } else {
                close(tcp);
            }
        }
    }
    ~TakenPort()
    {
        if (port) {
            close(tcp);
            close(udp);
        }
    }
    int port = 0;

private:
    static int Bind(int type, int port)
    {
        const int fd = socket(AF_INET, type, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<std::uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_ANY);
        if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0)
            return fd;
        if (fd >= 0)
            close(fd);
        return -1;
    }
    int tcp = -1;
    int udp = -1;
};

} // namespace

TEST_F(Program, HostingOnATakenPortEndsWithCode3)
{
    const TakenPort taken;
    ASSERT_NE(taken.port, 0);
    // The frame limit ends the program should the start ever get as far as the loop.
    EXPECT_EQ(Run("+host x +name me +port " + std::to_string(taken.port), "KORVELA_TEST_FRAMES=20"), 3);
}

TEST_F(Program, RunsFramesAndQuitsCleanly)
{
    EXPECT_EQ(Run("+video 0", "KORVELA_TEST_FRAMES=20"), 0);
    EXPECT_EQ(Log().find("FAILED"), std::string::npos) << Log();
}

namespace {

// A 24-bit BMP the program wrote, as rows from the top of the screen.
struct TShot {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels; // 0xRRGGBB, top row first
};

bool ReadShot(const std::vector<std::uint8_t>& bmp, TShot& shot)
{
    if (bmp.size() < 54 || bmp[0] != 'B' || bmp[1] != 'M' || bmp[28] != 24)
        return false;
    shot.width = bmp[18] | bmp[19] << 8;
    shot.height = bmp[22] | bmp[23] << 8;
    const std::size_t row = (static_cast<std::size_t>(shot.width) * 3 + 3) & ~std::size_t{3};
    if (shot.width <= 0 || shot.height <= 0 || bmp.size() < 54 + row * shot.height)
        return false;
    shot.pixels.resize(static_cast<std::size_t>(shot.width) * shot.height);
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x) {
            const std::uint8_t* p = &bmp[54 + (shot.height - 1 - y) * row + 3 * x];
            shot.pixels[static_cast<std::size_t>(y) * shot.width + x] = p[0] | p[1] << 8 | p[2] << 16;
        }
    return true;
}

// Pixels of the resource bar's text colour, RGB (255, 247, 153) as a 16-bit screen shows it, in
// the box of one of the bar's six numbers (laid out for a screen 1024 pixels wide) at its top.
int ResourceBarPixels(const TShot& shot, int layoutX)
{
    const int x0 = layoutX * shot.width / 1024;
    int count = 0;
    for (int y = 0; y < 30 && y < shot.height; ++y)
        for (int x = x0; x < x0 + 60 && x < shot.width; ++x) {
            const std::uint32_t c = shot.pixels[static_cast<std::size_t>(y) * shot.width + x];
            const unsigned r = c >> 16 & 0xFF, g = c >> 8 & 0xFF, b = c & 0xFF;
            if (r >= 240 && g >= 235 && b >= 140 && b <= 170)
                ++count;
        }
    return count;
}

// What the map shows in the band of the screen above the interface: how many pixels are not
// black, and how many colours they take. The cursor is a few hundred pixels of a few colours, so a
// frame whose map is not drawn cannot reach the limits below with it.
struct TMapBand {
    std::size_t lit = 0;
    std::size_t colours = 0;
    std::size_t pixels = 0;
};

TMapBand MapBand(const TShot& shot)
{
    TMapBand band;
    std::vector<bool> seen(1u << 24);
    for (int y = shot.height / 10; y < shot.height * 6 / 10; ++y)
        for (int x = 0; x < shot.width; ++x) {
            const std::uint32_t c = shot.pixels[static_cast<std::size_t>(y) * shot.width + x];
            ++band.pixels;
            if (c == 0)
                continue;
            ++band.lit;
            if (!seen[c]) {
                seen[c] = true;
                ++band.colours;
            }
        }
    return band;
}

std::vector<std::string> SampleGames()
{
    std::vector<std::string> games = sampledata::SampleMissionPaths();
    games.push_back("Maps\\Hills.dat");
    return games;
}

// One game a case, so that each stays short.
class PlayedGame : public Program, public ::testing::WithParamInterface<std::string> {};

} // namespace

TEST_P(PlayedGame, ShowsTheMapInItsLastFrame)
{
    const std::string& played = GetParam();
    const std::string env = "KORVELA_TEST_MISSION='" + played + "' KORVELA_TEST_FRAMES=120 KORVELA_TEST_SHOT=shot.bmp";
    EXPECT_EQ(Run("+video 0", env), 0) << played;
    EXPECT_EQ(Log().find("FAILED"), std::string::npos) << played << ": " << Log();
    TShot shot;
    ASSERT_TRUE(ReadShot(testsupport::ReadAll(game / "shot.bmp"), shot)) << played;
    const TMapBand band = MapBand(shot);
    EXPECT_GT(band.lit, band.pixels / 4) << played << ": the map is not drawn";
    EXPECT_GT(band.colours, 64u) << played << ": the map is a few flat colours";
    // The local player's gold, food, wood, iron and oil, then the population.
    for (int x : {109, 242, 384, 670, 807, 940})
        EXPECT_GT(ResourceBarPixels(shot, x), 0) << played << ": no resource number at " << x;
}

INSTANTIATE_TEST_SUITE_P(SampleGames, PlayedGame, ::testing::ValuesIn(SampleGames()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name;
                             for (char c : info.param)
                                 if (std::isalnum(static_cast<unsigned char>(c)))
                                     name += c;
                             return name;
                         });

namespace {

// Pixels of the map band in the colours of a shell crater's bowl: very dark, reddish brown. The
// fog's rim darkens the ground to such colours too, so a count means something only against a
// picture of the same view.
std::size_t CraterPixels(const TShot& shot)
{
    std::size_t n = 0;
    for (int y = shot.height / 10; y < shot.height * 6 / 10; ++y)
        for (int x = 0; x < shot.width; ++x) {
            const std::uint32_t c = shot.pixels[static_cast<std::size_t>(y) * shot.width + x];
            const unsigned r = c >> 16 & 0xFF, g = c >> 8 & 0xFF, b = c & 0xFF;
            if (c != 0 && r < 48 && g < 32 && b < 32 && r > b)
                ++n;
        }
    return n;
}

} // namespace

// Two batteries of mortars in reach of each other: the shells they trade burst and leave craters
// in the opening view. The same view before the first volley is the measure.
TEST_F(Program, ASampleBattleLeavesCratersInItsPicture)
{
    const std::string battle = "KORVELA_TEST_MISSION='Maps\\Battle.dat' KORVELA_TEST_SEED=1 ";
    ASSERT_EQ(Run("+video 0", battle + "KORVELA_TEST_FRAMES=100 KORVELA_TEST_SHOT=before.bmp"), 0) << Log();
    // The first volley comes a little after frame 370 when the mortars' pictures load at once,
    // later on a busy machine: 600 frames leave room for at least one.
    ASSERT_EQ(Run("+video 0", battle + "KORVELA_TEST_FRAMES=600 KORVELA_TEST_SHOT=after.bmp"), 0) << Log();
    EXPECT_EQ(Log().find("FAILED"), std::string::npos) << Log();
    TShot before, after;
    ASSERT_TRUE(ReadShot(testsupport::ReadAll(game / "before.bmp"), before));
    ASSERT_TRUE(ReadShot(testsupport::ReadAll(game / "after.bmp"), after));
    const std::size_t quiet = CraterPixels(before), shelled = CraterPixels(after);
    // A crater's dark bowl is some tens of such pixels; one volley leaves several in view.
    EXPECT_GT(shelled, quiet + 100) << "before the volleys " << quiet << ", after " << shelled;
}

TEST_F(Program, TheUnitsFileListsWhereThePlayersUnitsStand)
{
    const std::string env = "KORVELA_TEST_MISSION='Data\\Campaigns\\Sample\\Coast.mis' KORVELA_TEST_FRAMES=20 "
                            "KORVELA_TEST_UNITS=units.txt";
    ASSERT_EQ(Run("+video 0", env), 0) << Log();
    const std::string text = testsupport::ReadText(game / "units.txt");
    // Eight players of five workers each: player, unique id, x and y.
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 40) << text;
    unsigned player = 9;
    unsigned id = 0;
    double x = 0.0;
    double y = 0.0;
    ASSERT_EQ(std::sscanf(text.c_str(), "%u %u %lf %lf", &player, &id, &x, &y), 4) << text;
    EXPECT_EQ(player, 0u);
    EXPECT_GT(x, 0.0);
    EXPECT_GT(y, 0.0);
}

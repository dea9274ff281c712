#include "cursors.h"

#include <cmath>
#include <cstdlib>

#include "devices/mouse.h"
#include "images.h"
#include "sample_data.h"

namespace sampledata {


namespace {

constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kRed = 0xE02020;
constexpr std::uint32_t kGold = 0xE0C040;
constexpr std::uint32_t kGreen = 0x40C040;

class Canvas {
public:
    Canvas(int w, int h) : m_W(w), m_H(h), m_Px(static_cast<std::size_t>(w) * h, kKeyMagenta) {}
    void Set(int x, int y, std::uint32_t c)
    {
        if (x >= 0 && y >= 0 && x < m_W && y < m_H)
            m_Px[static_cast<std::size_t>(y) * m_W + x] = c;
    }
    void Rect(int x0, int y0, int x1, int y1, std::uint32_t c)
    {
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                Set(x, y, c);
    }
    void Ring(int cx, int cy, double r0, double r1, std::uint32_t c)
    {
        for (int y = 0; y < m_H; ++y)
            for (int x = 0; x < m_W; ++x) {
                const double d = std::hypot(x - cx, y - cy);
                if (d >= r0 && d <= r1)
                    Set(x, y, c);
            }
    }
    std::vector<std::uint32_t> Take() { return std::move(m_Px); }

private:
    int m_W;
    int m_H;
    std::vector<std::uint32_t> m_Px;
};

// The pointer every cursor starts from: its tip is the hot spot at the top-left corner. A head
// and a slanted stem, filled, with a black outline.
void Arrow(Canvas& c, int size, std::uint32_t fill)
{
    const auto inside = [size](int x, int y) {
        if (x < 0 || y < 0 || y >= size)
            return false;
        const int head = size * 3 / 4;
        if (y < head && x <= y * 5 / 8)
            return true;
        const int stemLeft = size / 5 + (y - head / 2) / 2;
        return y >= head - 2 && x >= stemLeft && x <= stemLeft + size / 6;
    };
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            if (!inside(x, y))
                continue;
            const bool edge = !inside(x - 1, y) || !inside(x + 1, y) || !inside(x, y - 1) || !inside(x, y + 1);
            c.Set(x, y, edge ? kBlack : fill);
        }
}

void Crosshair(Canvas& c, std::uint32_t colour, bool dot)
{
    c.Ring(16, 16, 8, 10, colour);
    c.Rect(15, 4, 17, 12, colour);
    c.Rect(15, 20, 17, 28, colour);
    c.Rect(4, 15, 12, 17, colour);
    c.Rect(20, 15, 28, 17, colour);
    if (dot)
        c.Rect(15, 15, 17, 17, kWhite);
}

} // namespace

std::vector<std::uint32_t> CursorPixels(int index)
{
    Canvas c(kCursorSize, kCursorSize);
    switch (index) {
    case 0: Arrow(c, 20, kWhite); break;
    case 1: // patrol: pointer and a ring
        c.Ring(21, 21, 6, 8, kGreen);
        Arrow(c, 14, kWhite);
        break;
    case 2: // build: pointer and a hammer
        c.Rect(14, 14, 28, 18, kGold);
        c.Rect(19, 18, 22, 30, kBlack);
        Arrow(c, 14, kWhite);
        break;
    case 3: // waypoint: a small flag on a staff
        c.Rect(0, 0, 1, 30, kBlack);
        c.Rect(2, 1, 16, 9, kRed);
        break;
    case 4: Crosshair(c, kRed, false); break;
    case 5: Crosshair(c, kRed, true); break;
    case 6: // food: pointer and a sickle
        c.Ring(22, 20, 6, 9, kGold);
        c.Rect(14, 20, 22, 31, kKeyMagenta);
        c.Rect(19, 26, 21, 31, kBlack);
        Arrow(c, 14, kWhite);
        break;
    default: // go into a house: pointer and a house
        c.Rect(14, 20, 28, 30, kGold);
        for (int i = 0; i < 8; ++i)
            c.Rect(14 + i, 20 - i, 28 - i, 20 - i, kRed);
        c.Rect(19, 24, 23, 30, kBlack);
        Arrow(c, 14, kWhite);
        break;
    }
    return c.Take();
}

std::string FlagClothFile(int frame)
{
    return "Data\\Misc\\Cursors\\Polotnishe\\0" + std::to_string(frame) + ".bmp";
}

std::string FlagStaffFile(int frame)
{
    return "Data\\Misc\\Cursors\\Flagshtok\\0" + std::to_string(frame) + ".bmp";
}

namespace {

// The cloth is drawn white so that the player colour tints it; it waves over the eight frames.
std::vector<std::uint32_t> FlagCloth(int frame)
{
    Canvas c(kFlagFrameSize, kFlagFrameSize);
    const double phase = frame * 3.14159265358979 / 4.0;
    for (int x = 0; x < 18; ++x) {
        const int wave = static_cast<int>(std::lround(2.0 * std::sin(phase + x * 0.45) * x / 18.0));
        for (int y = 3; y <= 13; ++y)
            c.Set(14 + x, y + wave, (x + y) % 7 == 0 ? 0xC0C0C0 : kWhite);
    }
    return c.Take();
}

std::vector<std::uint32_t> FlagStaff(int)
{
    Canvas c(kFlagFrameSize, kFlagFrameSize);
    c.Rect(12, 1, 13, 31, 0x6A4A2A);
    c.Rect(11, 0, 14, 1, kGold);
    return c.Take();
}

} // namespace

bool WriteCursors(const std::string& outDir)
{
    for (int i = 0; i < kCursorPictureCount; ++i) {
        const auto bmp = MakeBmp24(kCursorSize, kCursorSize, CursorPixels(i));
        // The game's own table names the files, so the two can never drift apart.
        if (!WriteFileBytes(outDir, g_CursorPaths[i], bmp.data(), bmp.size()))
            return false;
    }
    for (int n = 1; n <= kFlagFrameCount; ++n) {
        const auto cloth = MakeBmp24(kFlagFrameSize, kFlagFrameSize, FlagCloth(n - 1));
        const auto staff = MakeBmp24(kFlagFrameSize, kFlagFrameSize, FlagStaff(n - 1));
        if (!WriteFileBytes(outDir, FlagClothFile(n), cloth.data(), cloth.size())
            || !WriteFileBytes(outDir, FlagStaffFile(n), staff.data(), staff.size()))
            return false;
    }
    return true;
}

} // namespace sampledata

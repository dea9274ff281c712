#include "game/frame_rules.h"

#include <gtest/gtest.h>

namespace {
// A 100 x 100 map with a 10 x 20 view: left limit 1, up 2, right 88, down 70.
TScrollLimits View(std::int32_t x, std::int32_t y)
{
    return {x, y, 10, 20, 100, 100};
}
} // namespace

TEST(EdgeScroll, CornersEdgesAndLimits)
{
    constexpr int W = 800, H = 600;
    struct Case {
        const char* what;
        std::int32_t mx, my, vx, vy, dx, dy;
    } cases[] = {
        {"top-left corner blocked upwards does not fall back to the left", 0, 0, 5, 2, 0, 0},
        {"top-left corner moves diagonally", 0, 0, 5, 3, -1, -1},
        {"bottom-left corner", -3, H - 4, 5, 5, -1, 1},
        {"top-right corner", W - 4, 0, 5, 5, 1, -1},
        {"bottom-right corner", W, H, 5, 5, 1, 1},
        {"left edge", 0, 300, 5, 5, -1, 0},
        {"left edge at its limit", 0, 300, 1, 5, 0, 0},
        {"top edge", 300, 0, 5, 5, 0, -1},
        {"right edge starts 4 pixels early", W - 4, 300, 5, 5, 1, 0},
        {"right edge 5 pixels off does nothing", W - 5, 300, 5, 5, 0, 0},
        {"right edge at its limit", W - 3, 300, 88, 5, 0, 0},
        {"bottom edge", 300, H - 4, 5, 69, 0, 1},
        {"bottom edge at its limit", 300, H - 4, 5, 70, 0, 0},
        {"middle", 400, 300, 5, 5, 0, 0},
    };
    for (const auto& c : cases) {
        const TScrollStep s = EdgeScrollStep(c.mx, c.my, W, H, View(c.vx, c.vy));
        EXPECT_EQ(s.dx, c.dx) << c.what;
        EXPECT_EQ(s.dy, c.dy) << c.what;
    }
}

TEST(Pacing, BudgetAndScrollSpeeds)
{
    struct Case {
        std::int32_t remaining;
        std::uint8_t flag, mouse, key;
        std::uint32_t sleep;
    } cases[] = {
        {53 - 50, 0, 50, 50, 0},  // a 50 ms frame at speed 53: 3 ms left, no sleep
        {53 - 20, 0, 50, 50, 33}, // a 20 ms frame sleeps 33 ms
        {9, 0, 50, 50, 0},        {10, 0, 50, 50, 10}, {199, 0, 50, 50, 199}, {200, 0, 50, 50, 0},
        {-5, 0, 50, 50, 0},       {30, 1, 1, 50, 100}, {30, 1, 2, 50, 40},   {30, 1, 5, 50, 20},
        {30, 1, 6, 50, 0},        {30, 2, 50, 3, 20},  {30, 10, 1, 1, 0},
    };
    for (const auto& c : cases) {
        std::uint8_t mouse = c.mouse, key = c.key;
        EXPECT_EQ(PacingSleepMs(c.remaining, c.flag, mouse, key), c.sleep)
            << "remaining " << c.remaining << " flag " << int(c.flag);
    }
    std::uint8_t mouse = 0, key = 7;
    EXPECT_EQ(PacingSleepMs(0, 1, mouse, key), 100u);
    EXPECT_EQ(mouse, 1); // raised and stored back
}

TEST(FpsMeter, MeanOverTwentySamples)
{
    TFpsMeter meter;
    std::uint32_t t = 1000;
    for (int i = 0; i < 19; ++i, t += 40)
        EXPECT_EQ(meter.Sample(t + 40, t), 0.0f);
    EXPECT_FLOAT_EQ(meter.Sample(t + 40, t), 25.0f); // 1000 / 40 each time
    t += 40;
    EXPECT_FLOAT_EQ(meter.Sample(t, t), 25.0f);      // no time passed: no sample
    for (int i = 0; i < 20; ++i, t += 30)
        meter.Sample(t + 30, t);
    EXPECT_FLOAT_EQ(meter.Sample(t, t), 33.0f);      // 1000 / 30 truncates to 33
}

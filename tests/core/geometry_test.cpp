#include "core/geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

constexpr double kPi = std::numbers::pi;

struct SegmentCase {
    const char* name;
    plat::Point p1, p2, p3, p4;
    bool meets;
    plat::Point at;
};

const SegmentCase kSegmentCases[] = {
    {"crossing", {0, 0}, {2, 0}, {1, -1}, {1, 1}, true, {1, 0}},
    {"parallel", {0, 0}, {2, 0}, {0, 1}, {2, 1}, false, {}},
    {"collinear overlap", {0, 0}, {4, 0}, {2, 0}, {6, 0}, false, {}},
    {"degenerate point", {1, 1}, {1, 1}, {0, 0}, {2, 2}, false, {}},
    {"touch at end points", {0, 0}, {2, 2}, {2, 2}, {4, 0}, true, {2, 2}},
    {"end on the other's middle", {0, 0}, {4, 0}, {2, 0}, {2, 5}, true, {2, 0}},
    {"lines cross beyond the segments", {0, 0}, {1, 0}, {3, -1}, {3, 1}, false, {}},
    {"truncates toward zero", {0, 0}, {-4, -1}, {-2, -5}, {-2, 5}, true, {-2, 0}},
    {"map-sized coordinates", {0, 0}, {100000, 100000}, {0, 100000}, {100000, 0}, true, {50000, 50000}},
};

TEST(SegmentsIntersect, Cases)
{
    for (const auto& c : kSegmentCases) {
        plat::Point out{-7, -7};
        EXPECT_EQ(SegmentsIntersect(c.p1, c.p2, c.p3, c.p4, out), c.meets) << c.name;
        if (c.meets) {
            EXPECT_EQ(out.x, c.at.x) << c.name;
            EXPECT_EQ(out.y, c.at.y) << c.name;
        }
    }
}

TEST(PointInQuad, SquareDiamondAndLargeOutlines)
{
    const plat::Point square[5] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}};
    const plat::Point diamond[5] = {{0, 5}, {5, 0}, {10, 5}, {5, 10}, {0, 5}};
    const plat::Point large[5] = {{0, 0}, {100000, 0}, {100000, 100000}, {0, 100000}, {0, 0}};
    struct Case {
        const char* name;
        const plat::Point* outline;
        std::int32_t x, y;
        bool inside;
    };
    const Case cases[] = {
        {"centre", square, 5, 5, true},
        {"right of it", square, 15, 5, false},
        {"below it", square, 5, -1, false},
        {"on the lower edge", square, 5, 0, true},
        {"on the upper edge", square, 5, 10, true},
        {"on the right vertical edge", square, 10, 5, false},
        {"on the left vertical edge", square, 0, 5, true},
        {"diamond centre", diamond, 5, 5, true},
        {"on a slanted edge", diamond, 2, 3, true},
        {"outside a slanted edge", diamond, 1, 1, false},
        {"large outline", large, 50000, 50000, true},
        {"beyond the large outline", large, 150000, 50000, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PointInQuad(std::span<const plat::Point, 5>(c.outline, 5), c.x, c.y), c.inside) << c.name;
}

TEST(PointLineDistance, SignMagnitudeAndDegenerateLine)
{
    EXPECT_DOUBLE_EQ(PointLineDistance(0, 5, 0, 0, 10, 0), 5.0);
    EXPECT_DOUBLE_EQ(PointLineDistance(0, -5, 0, 0, 10, 0), -5.0);
    EXPECT_DOUBLE_EQ(PointLineDistance(0, -5, 10, 0, 0, 0), 5.0); // the other direction flips the sign
    EXPECT_DOUBLE_EQ(PointLineDistance(3, 4, 0, 0, 3, 4), 0.0);
    EXPECT_DOUBLE_EQ(PointLineDistance(7, 9, 2, 2, 2, 2), 0.0);
    EXPECT_DOUBLE_EQ(PointLineDistance(0, 100000, 0, 0, 100000, 0), 100000.0);
}

TEST(PointInQuadF, InsideOutsideEdgesAndCorners)
{
    const TQuadF square{{{0, 0}, {10, 0}, {10, 10}, {0, 10}}};
    EXPECT_TRUE(PointInQuadF(square, {5, 5}));
    EXPECT_TRUE(PointInQuadF(square, {5, 0}));   // on an edge
    EXPECT_TRUE(PointInQuadF(square, {10, 10})); // exactly on a corner
    EXPECT_TRUE(PointInQuadF(square, {0, 0}));
    EXPECT_FALSE(PointInQuadF(square, {15, 5}));
    EXPECT_FALSE(PointInQuadF(square, {-30, -30}));
}

TEST(PointInQuadF, PointOnTheLineOfAnEdgeButOutsideIsOutside)
{
    // Two corners in line with the point: rounding takes their cosine a hair above 1, which must
    // count as an angle of 0, not as an undefined sum.
    const TPointF u{0.37f, 2.75f};
    const TPointF v{u.x * 2.5f, u.y * 2.5f};
    const TQuadF quad{{u, v, {v.x + 5.0f, v.y}, {u.x + 5.0f, u.y}}};
    EXPECT_FALSE(PointInQuadF(quad, {0.0f, 0.0f}));
}

TEST(QuadsOverlap, CornerInsideEitherWayButNotACrossing)
{
    const TQuadF a{{{0, 0}, {10, 0}, {10, 10}, {0, 10}}};
    const TQuadF shifted{{{8, 8}, {18, 8}, {18, 18}, {8, 18}}};
    const TQuadF far{{{30, 30}, {40, 30}, {40, 40}, {30, 40}}};
    const TQuadF inner{{{4, 4}, {6, 4}, {6, 6}, {4, 6}}};
    const TQuadF wide{{{-10, -1}, {10, -1}, {10, 1}, {-10, 1}}};
    const TQuadF tall{{{-1, -10}, {1, -10}, {1, 10}, {-1, 10}}};
    EXPECT_TRUE(QuadsOverlap(a, shifted));
    EXPECT_TRUE(QuadsOverlap(shifted, a));
    EXPECT_TRUE(QuadsOverlap(a, inner));
    EXPECT_TRUE(QuadsOverlap(inner, a));
    EXPECT_FALSE(QuadsOverlap(a, far));
    EXPECT_FALSE(QuadsOverlap(wide, tall));
}

TEST(Vectors, LengthAndRotationKeepHeight)
{
    EXPECT_DOUBLE_EQ(VectorLength({3, 4, 12}), 13.0);
    EXPECT_DOUBLE_EQ(VectorLength({}), 0.0);

    TVector3 v{1, 0, 7};
    RotateVectorZ(v, static_cast<float>(kPi / 2));
    EXPECT_NEAR(v.x, 0.0f, 1e-6f);
    EXPECT_NEAR(v.y, 1.0f, 1e-6f);
    EXPECT_EQ(v.z, 7.0f);

    // Both coordinates come from the vector before the turn.
    TVector3 w{1, 1, 0};
    RotateVectorZ(w, static_cast<float>(kPi / 2));
    EXPECT_NEAR(w.x, -1.0f, 1e-6f);
    EXPECT_NEAR(w.y, 1.0f, 1e-6f);

    const TVector3 source{2, 0, -3};
    TVector3 out{9, 9, 9};
    TVector3& result = RotatedVectorZ(source, out, static_cast<float>(kPi));
    EXPECT_EQ(&result, &out);
    EXPECT_NEAR(out.x, -2.0f, 1e-6f);
    EXPECT_NEAR(out.y, 0.0f, 1e-6f);
    EXPECT_EQ(out.z, -3.0f);
    EXPECT_EQ(source.x, 2.0f);
}

TEST(VectorHeading, QuadrantsHeightAndTheFullTurn)
{
    struct Case {
        TVector3 v;
        double heading;
    };
    const Case cases[] = {
        {{1, 0, 0}, 0.0},
        {{0, 1, 0}, kPi / 2},
        {{-1, 0, 0}, kPi},
        {{0, -1, 0}, 3 * kPi / 2},
        {{1, 0, 5}, std::acos(1.0 / std::sqrt(26.0))},
        {{0, 0, 0}, 0.0},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(VectorHeading(c.v), c.heading, 1e-6) << c.v.x << ", " << c.v.y << ", " << c.v.z;

    // Just below the x axis the heading is 0, never a full turn.
    EXPECT_EQ(VectorHeading({1, -1e-30f, 0}), 0.0);
    EXPECT_LT(VectorHeading({1, -1e-4f, 0}), kTwoPiF);
}

TEST(VectorAngle, MeasuresCounterClockwiseFromTheFirstVector)
{
    const TVector3 x{1, 0, 0};
    for (int degrees = 0; degrees < 360; degrees += 15) {
        const double a = degrees * kPi / 180;
        const TVector3 b{static_cast<float>(3 * std::cos(a)), static_cast<float>(3 * std::sin(a)), 0};
        const double angle = VectorAngle(x, b);
        EXPECT_NEAR(angle, a, 1e-5) << degrees;
        EXPECT_GE(angle, 0.0);
        EXPECT_LT(angle, kTwoPiF);
    }
    // Which side b lies on depends on the order: from +y to +x is three quarters of a turn.
    const TVector3 y{0, 1, 0};
    EXPECT_NEAR(VectorAngle(y, x), 3 * kPi / 2, 1e-6);
    EXPECT_NEAR(VectorAngle(x, y), kPi / 2, 1e-6);
    const TVector3 p{2, 5, 0};
    const TVector3 q{-4, 1, 0};
    EXPECT_NEAR(VectorAngle(p, q) + VectorAngle(q, p), kTwoPiF, 1e-6);
}

TEST(VectorAngle, ParallelAndZeroVectorsGiveDefinedAngles)
{
    EXPECT_EQ(VectorAngle({2, 2, 0}, {3, 3, 0}), 0.0);
    EXPECT_EQ(VectorAngle({0.37f, 2.75f, 0}, {0.37f * 2.5f, 2.75f * 2.5f, 0}), 0.0);
    EXPECT_NEAR(VectorAngle({1, 2, 0}, {-2, -4, 0}), kPi, 1e-6);
    EXPECT_EQ(VectorAngle({0, 0, 0}, {1, 0, 0}), 0.0);
    EXPECT_EQ(VectorAngle({1, 0, 0}, {0, 0, 0}), 0.0);
}

} // namespace

#include "core/geometry.h"

#include <cmath>

namespace {

// Map coordinates reach tens of thousands of pixels, so products of two differences overflow 32
// bits; the integer parts of these formulas are computed in 64 bits.
using Wide = std::int64_t;

// acos of a cosine that rounding may have pushed just outside [-1, 1]: parallel vectors must give
// 0 or π, never NaN. A NaN cosine (a zero-length vector) stays NaN.
double ClampedAcos(double cosine)
{
    if (cosine > 1.0)
        cosine = 1.0;
    else if (cosine < -1.0)
        cosine = -1.0;
    return std::acos(cosine);
}

// 2π − angle for the lower half-plane. An angle of exactly 0 stays 0, so the result is always
// below 2π.
double FullTurn(double angle, bool lowerHalf)
{
    if (!lowerHalf || angle == 0.0)
        return angle;
    return static_cast<double>(kTwoPiF) - angle;
}

} // namespace

bool SegmentsIntersect(plat::Point p1, plat::Point p2, plat::Point p3, plat::Point p4, plat::Point& out)
{
    const Wide x1 = p1.x, y1 = p1.y, x2 = p2.x, y2 = p2.y;
    const Wide x3 = p3.x, y3 = p3.y, x4 = p4.x, y4 = p4.y;
    const Wide d = (x3 - x4) * (y2 - y1) - (x2 - x1) * (y3 - y4);
    if (d == 0)
        return false;
    const double s = static_cast<double>((x3 - x1) * (y2 - y1) - (y3 - y1) * (x2 - x1)) / static_cast<double>(d);
    const double t = static_cast<double>((y3 - y1) * (x3 - x4) - (x3 - x1) * (y3 - y4)) / static_cast<double>(d);
    if (s < 0.0 || s > 1.0 || t < 0.0 || t > 1.0)
        return false;
    out.x = static_cast<std::int32_t>(static_cast<double>(x1) + static_cast<double>(x2 - x1) * t);
    out.y = static_cast<std::int32_t>(static_cast<double>(y1) + static_cast<double>(y2 - y1) * t);
    return true;
}

bool PointInQuad(std::span<const plat::Point, 5> outline, std::int32_t x, std::int32_t y)
{
    bool inside = false;
    for (std::size_t i = 0; i < 4; ++i) {
        const Wide xi = outline[i].x, yi = outline[i].y;
        const Wide xj = outline[i + 1].x, yj = outline[i + 1].y;
        if (xi != xj) {
            const double r = static_cast<double>(x - xj) / static_cast<double>(xi - xj);
            if (r >= 0.0 && r <= 1.0
                && static_cast<double>(y) == (1.0 - r) * static_cast<double>(yj) + r * static_cast<double>(yi))
                return true;
        }
        if ((y < yj) != (y < yi)) {
            const double crossing =
                static_cast<double>((xj - xi) * (y - yi)) / static_cast<double>(yj - yi);
            if (crossing > static_cast<double>(x - xi))
                inside = !inside;
        }
    }
    return inside;
}

double PointLineDistance(std::int32_t px, std::int32_t py, std::int32_t x1, std::int32_t y1, std::int32_t x2,
                         std::int32_t y2)
{
    const Wide dx = Wide{x1} - x2;
    const Wide dy = Wide{y2} - y1;
    const double length = std::sqrt(static_cast<double>(dx * dx + dy * dy));
    if (!(length > 0.0))
        return 0.0;
    const Wide numerator = Wide{px} * (Wide{y1} - y2) + Wide{py} * (Wide{x2} - x1) + Wide{x1} * y2 - Wide{x2} * y1;
    return static_cast<double>(numerator) / length;
}

bool PointInQuadF(const TQuadF& quad, TPointF point)
{
    double sum = 0.0;
    for (std::size_t i = 0; i < 4; ++i) {
        const TPointF& a = quad[i];
        const TPointF& b = quad[(i + 1) % 4];
        const TVector3 u{a.x - point.x, a.y - point.y, 0.0f};
        const TVector3 v{b.x - point.x, b.y - point.y, 0.0f};
        // On a corner one length is 0 and the sum becomes NaN, which the comparison below takes
        // as inside.
        sum += ClampedAcos(VectorDot(u, v) / (VectorLength(u) * VectorLength(v)));
    }
    return !(std::fabs(sum - static_cast<double>(kTwoPiF)) >= 1.0);
}

bool QuadsOverlap(const TQuadF& a, const TQuadF& b)
{
    for (const TPointF& corner : b)
        if (PointInQuadF(a, corner))
            return true;
    for (const TPointF& corner : a)
        if (PointInQuadF(b, corner))
            return true;
    return false;
}

double VectorDot(const TVector3& a, const TVector3& b)
{
    return static_cast<double>(a.x) * b.x + static_cast<double>(a.y) * b.y + static_cast<double>(a.z) * b.z;
}

double VectorLength(const TVector3& v)
{
    return std::sqrt(VectorDot(v, v));
}

void RotateVectorZ(TVector3& v, float angle)
{
    const TVector3 source = v;
    RotatedVectorZ(source, v, angle);
}

TVector3& RotatedVectorZ(const TVector3& v, TVector3& out, float angle)
{
    const double c = std::cos(static_cast<double>(angle));
    const double s = std::sin(static_cast<double>(angle));
    const double x = v.x;
    const double y = v.y;
    const float z = v.z;
    out.x = static_cast<float>(c * x - s * y);
    out.y = static_cast<float>(s * x + c * y);
    out.z = z;
    return out;
}

double VectorAngle(const TVector3& a, const TVector3& b)
{
    const double lengths = VectorLength(a) * VectorLength(b);
    if (!(lengths > 0.0))
        return 0.0;
    const double angle = ClampedAcos(VectorDot(a, b) / lengths);
    // The sign of the z component of a × b tells on which side of a the vector b lies.
    const double cross = static_cast<double>(a.x) * b.y - static_cast<double>(a.y) * b.x;
    return FullTurn(angle, cross < 0.0);
}

double VectorHeading(const TVector3& v)
{
    const double length = VectorLength(v);
    if (!(length > 0.0))
        return 0.0;
    const double angle = ClampedAcos(static_cast<double>(v.x) / length);
    return FullTurn(angle, v.y < 0.0f);
}

#include "devices/quads.h"

#include <cmath>
#include <cstdio>

#include "devices/d3d_device.h"
#include "map/map_view.h"

namespace {

constexpr float kUvEnd = 0.99999f;
constexpr float kDepthScale = 0.00024414063f; // 1 / 4096
constexpr float kDigitWidth = 5.0f;
constexpr float kDigitHeight = 7.0f;
constexpr float kDigitU = 0.078125f; // 5 / 64

// The map light the template starts with until the map sets its own.
constexpr std::uint32_t kDefaultDiffuse = 0xFFE5E5E5u;

TScreenQuad MakeDefaultTemplate()
{
    TScreenQuad q{};
    const float u[4] = {0.0f, kUvEnd, 0.0f, kUvEnd};
    const float v[4] = {0.0f, 0.0f, kUvEnd, kUvEnd};
    for (int i = 0; i < 4; ++i) {
        q[i].z = 0.0f;
        q[i].rhw = 1.0f;
        q[i].diffuse = kDefaultDiffuse;
        q[i].specular = 0xFFFFFFFFu;
        q[i].u = u[i];
        q[i].v = v[i];
    }
    return q;
}

bool DrawStrip(const TScreenQuad& quad, std::uint32_t flags)
{
    if (!g_pD3DDevice)
        return false;
    return g_pD3DDevice->DrawPrimitive(plat::PrimitiveType::TriangleStrip, quad.data(), 4, flags);
}

bool DrawTexturedStrip(plat::Texture* texture, const TScreenQuad& quad)
{
    if (!g_pD3DDevice)
        return false;
    g_pD3DDevice->SetTexture(0, texture);
    return DrawStrip(quad, 0);
}

// Positions of a width x height rectangle at (left, top) in screen pixels.
void PlaceRect(TScreenQuad& q, float left, float top, float width, float height)
{
    q[0].x = left;
    q[0].y = top;
    q[1].x = left + width;
    q[1].y = top;
    q[2].x = left;
    q[2].y = top + height;
    q[3].x = left + width;
    q[3].y = top + height;
}

float ScreenX(float mapX) { return mapX - static_cast<float>(g_ViewPixelX); }
float ScreenY(float mapY) { return mapY - static_cast<float>(g_ViewPixelY); }

// Corners in map pixels to screen vertices; upright quads test their top at the foot's depth.
TScreenQuad QuadFromCorners(const TSpriteCorners& c, const TSpriteFrame& frame, bool upright)
{
    TScreenQuad q = g_SpriteQuadTemplate;
    for (int i = 0; i < 4; ++i) {
        q[i].x = ScreenX(c[i].x);
        q[i].y = ScreenY(c[i].y);
        const float depthY = (upright && i < 2) ? q[i].y + frame.height : q[i].y;
        q[i].z = SpriteDepth(depthY, c[i].h);
    }
    return q;
}

} // namespace

TScreenQuad g_SpriteQuadTemplate = MakeDefaultTemplate();
plat::Texture* g_pDigitsTexture = nullptr;

float ClampedDepth(float value)
{
    const float z = kFarDepth - value * kDepthScale;
    // Written so that a NaN lands on the far value instead of passing through.
    if (!(z > 0.0f))
        return z == z ? 0.0f : kFarDepth;
    return z > kFarDepth ? kFarDepth : z;
}

float SpriteDepth(float y, float h)
{
    return ClampedDepth(y + 2.0f * h + static_cast<float>(g_ViewDepthBase) + 1024.0f);
}

bool DrawSpriteFrame(float x, float y, const TSpriteFrame& frame, int heightOffset)
{
    TScreenQuad q = g_SpriteQuadTemplate;
    const float left = ScreenX(x) - static_cast<float>(frame.width / 2);
    const float top = ScreenY(y) - static_cast<float>(frame.height / 2);
    PlaceRect(q, left, top, frame.width, frame.height);
    float h[4];
    if (heightOffset == kLandHeightOffset) {
        const float w = frame.width, hh = frame.height;
        h[0] = static_cast<float>(GetLandHeight(x, y));
        h[1] = static_cast<float>(GetLandHeight(x + w, y));
        h[2] = static_cast<float>(GetLandHeight(x, y + hh));
        h[3] = static_cast<float>(GetLandHeight(x + w, y + hh));
    } else {
        h[0] = h[1] = h[2] = h[3] = static_cast<float>(heightOffset);
    }
    for (int i = 0; i < 4; ++i)
        q[i].z = SpriteDepth(q[i].y, h[i]);
    return DrawTexturedStrip(frame.texture, q);
}

bool DrawUprightSprite(float x, float y, const TSpriteFrame& frame, std::uint32_t color, int heightOffset)
{
    TScreenQuad q = g_SpriteQuadTemplate;
    const float left = ScreenX(x) - static_cast<float>(frame.width / 2);
    const float top = ScreenY(y) - static_cast<float>(frame.height / 2);
    PlaceRect(q, left, top, frame.width, frame.height);
    const float bottomMapY = y - static_cast<float>(frame.height / 2) + frame.height;
    const float h = static_cast<float>(GetLandHeight(x, bottomMapY)) + static_cast<float>(heightOffset);
    const float z = SpriteDepth(q[2].y, h);
    for (TScreenVertex& v : q) {
        v.z = z;
        if (color)
            v.diffuse = color;
    }
    return DrawTexturedStrip(frame.texture, q);
}

bool DrawQuadPoints(const TSpriteCorners& corners, const TSpriteFrame& frame)
{
    return DrawTexturedStrip(frame.texture, QuadFromCorners(corners, frame, false));
}

bool DrawQuadPointsUpright(const TSpriteCorners& corners, const TSpriteFrame& frame)
{
    return DrawTexturedStrip(frame.texture, QuadFromCorners(corners, frame, true));
}

bool DrawQuadPointsRotated(const TSpriteCorners& corners, const TSpriteFrame& frame, float cx, float cy,
                           float angle)
{
    const float c = std::cos(angle), s = std::sin(angle);
    TSpriteCorners turned = corners;
    for (TCornerPoint& p : turned) {
        const float dx = p.x - cx, dy = p.y - cy;
        p.x = dx * c - dy * s + cx;
        p.y = dy * c + dx * s + cy;
    }
    return DrawTexturedStrip(frame.texture, QuadFromCorners(turned, frame, true));
}

bool DrawRotatedQuad(float cx, float cy, std::uint16_t width, std::uint16_t height, float angle,
                     std::int16_t heightOffset)
{
    TScreenQuad q = g_SpriteQuadTemplate;
    const float hw = width * 0.5f, hh = height * 0.5f;
    const float dxs[4] = {-hw, hw, -hw, hw};
    const float dys[4] = {-hh, -hh, hh, hh};
    for (int i = 0; i < 4; ++i) {
        const float r = std::sqrt(dxs[i] * dxs[i] + dys[i] * dys[i]);
        const float t = std::atan2(dys[i], dxs[i]);
        q[i].x = cx + r * std::sin(t + angle);
        q[i].y = cy + r * std::cos(t + angle);
        q[i].z = SpriteDepth(q[i].y, heightOffset);
    }
    return DrawStrip(q, kDrawWait);
}

bool DrawQuad2D(plat::Texture* texture, float x, float y, float width, float height)
{
    TScreenQuad q = g_SpriteQuadTemplate;
    PlaceRect(q, x, y, width, height);
    return DrawTexturedStrip(texture, q);
}

namespace {
// Corner coordinates are worked out in 64 bits so that centres anywhere in the int range cannot
// overflow; the result is only turned into floats.
struct CornerBox {
    std::int64_t left, top, right, bottom;
};
CornerBox BoxAround(int x, int y, const TSpriteFrame& frame)
{
    const std::int64_t left = static_cast<std::int64_t>(x) - frame.width / 2;
    const std::int64_t top = static_cast<std::int64_t>(y) - frame.height / 2;
    return {left, top, left + frame.width, top + frame.height};
}
} // namespace

void SetSpriteCorners(int x, int y, const TSpriteFrame& frame, TSpriteCorners& corners)
{
    const auto [left, top, right, bottom] = BoxAround(x, y, frame);
    const std::int64_t xs[4] = {left, right, left, right};
    const std::int64_t ys[4] = {top, top, bottom, bottom};
    for (int i = 0; i < 4; ++i) {
        corners[i].x = static_cast<float>(xs[i]);
        corners[i].y = static_cast<float>(ys[i]);
        corners[i].h = static_cast<float>(GetLandHeight(corners[i].x, corners[i].y)) + 5.0f;
    }
}

void SetSpriteCornersUpright(int x, int y, const TSpriteFrame& frame, TSpriteCorners& corners)
{
    const auto [left, top, right, bottom] = BoxAround(x, y, frame);
    const float hLeft = static_cast<float>(GetLandHeight(static_cast<float>(left), static_cast<float>(bottom)));
    const float hRight = static_cast<float>(GetLandHeight(static_cast<float>(right), static_cast<float>(bottom)));
    corners[0] = {static_cast<float>(left), static_cast<float>(top), hLeft};
    corners[1] = {static_cast<float>(right), static_cast<float>(top), hRight};
    corners[2] = {static_cast<float>(left), static_cast<float>(bottom), hLeft};
    corners[3] = {static_cast<float>(right), static_cast<float>(bottom), hRight};
}

void SetQuadTexCoordsFromFrame(TScreenVertex* quad, const TFrameSizes& sizes, bool mirror)
{
    // A texture without width or height cannot be sampled; its coordinates stay at 0.
    const float uRight = sizes.texWidth ? sizes.dataWidth * 0.999f / sizes.texWidth : 0.0f;
    const float vBottom = sizes.texHeight ? sizes.dataHeight * 0.999f / sizes.texHeight : 0.0f;
    SetQuadTexCoords(quad, {0.0f, uRight, vBottom}, mirror);
}

void SetQuadTexCoords(TScreenVertex* quad, const TQuadTexCoords& coords, bool mirror)
{
    const float left = mirror ? coords.uRight : coords.uLeft;
    const float right = mirror ? coords.uLeft : coords.uRight;
    quad[0].u = left;
    quad[0].v = 0.0f;
    quad[1].u = right;
    quad[1].v = 0.0f;
    quad[2].u = left;
    quad[2].v = coords.vBottom;
    quad[3].u = right;
    quad[3].v = coords.vBottom;
}

bool DrawLine2D(const TPointF& p0, const TPointF& p1, TScreenVertex* line)
{
    if (!g_pD3DDevice || !line)
        return false;
    line[0].x = p0.x;
    line[0].y = p0.y;
    line[1].x = p1.x;
    line[1].y = p1.y;
    return g_pD3DDevice->DrawPrimitive(plat::PrimitiveType::LineList, line, 2, kDrawWait);
}

bool DrawNumberTextured(float x, float y, float height, long long value)
{
    char digits[24];
    const unsigned long long magnitude =
        value < 0 ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
    const int count = std::snprintf(digits, sizeof digits, "%llu", magnitude);
    if (count <= 0 || !g_pD3DDevice)
        return false;
    TScreenQuad q = g_SpriteQuadTemplate;
    g_pD3DDevice->SetTexture(0, g_pDigitsTexture);
    PlaceRect(q, x, y - height, kDigitWidth, kDigitHeight);
    const float base = static_cast<float>(g_ViewDepthBase) + 1024.0f;
    const float topZ = ClampedDepth(y + height + base);
    const float bottomZ = ClampedDepth(y + height - 8.0f + base);
    q[0].z = q[1].z = topZ;
    q[2].z = q[3].z = bottomZ;
    bool result = false;
    for (int i = 0; i < count; ++i) {
        const float u = static_cast<float>(digits[i] - '0') * kDigitU;
        q[0].u = q[2].u = u;
        q[1].u = q[3].u = u + kDigitU;
        result = DrawStrip(q, kDrawWait);
        for (TScreenVertex& v : q)
            v.x += kDigitWidth;
    }
    return result;
}

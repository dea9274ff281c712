#include "devices/d3d_device.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/error_log.h"
#include "devices/display.h"
#include "devices/loader_shared.h"

TDirect3D* g_pD3D = nullptr;
TD3DDevice* g_pD3DDevice = nullptr;
plat::Surface* g_pZBuffer = nullptr;
TPixelFormatDesc g_TexFormat1555;
TPixelFormatDesc g_TexFormat4444;
TPixelFormatDesc g_TexFormat8888;
std::uint8_t g_bLinearMagFilter = 0;
std::uint8_t g_bTextureOpsSupported = 0;

namespace {

TD3DDeviceProfile& Profile()
{
    static TD3DDeviceProfile profile = SoftwareDeviceProfile();
    return profile;
}

bool IsBool(std::uint32_t v) { return v <= 1; }

} // namespace

// ---------------------------------------------------------------------------------------------
// Pixel formats and the device profile

bool PixelFormatFromDesc(const TPixelFormatDesc& d, plat::PixelFormat& format)
{
    if (d.flags & kPixelFlagZBuffer) {
        if (d.bitCount != 16)
            return false;
        format = plat::PixelFormat::Depth16;
        return true;
    }
    if (d.bitCount == 32 && d.alphaMask == 0xFF000000u && d.redMask == 0x00FF0000u && d.greenMask == 0x0000FF00u &&
        d.blueMask == 0x000000FFu) {
        format = plat::PixelFormat::ARGB8888;
        return true;
    }
    if (d.bitCount != 16)
        return false;
    struct Known {
        std::uint32_t a, r, g, b;
        plat::PixelFormat format;
    };
    static const Known kKnown[] = {
        {0xF000, 0x0F00, 0x00F0, 0x000F, plat::PixelFormat::ARGB4444},
        {0x8000, 0x7C00, 0x03E0, 0x001F, plat::PixelFormat::ARGB1555},
        {0, 0xF800, 0x07E0, 0x001F, plat::PixelFormat::RGB565},
        {0, 0x7C00, 0x03E0, 0x001F, plat::PixelFormat::RGB555},
    };
    for (const Known& k : kKnown)
        if (d.alphaMask == k.a && d.redMask == k.r && d.greenMask == k.g && d.blueMask == k.b) {
            format = k.format;
            return true;
        }
    return false;
}

TPixelFormatDesc DescFromPixelFormat(plat::PixelFormat format)
{
    switch (format) {
    case plat::PixelFormat::ARGB4444: return {kPixelFlagRgb | kPixelFlagAlpha, 16, 0x0F00, 0x00F0, 0x000F, 0xF000};
    case plat::PixelFormat::ARGB1555: return {kPixelFlagRgb | kPixelFlagAlpha, 16, 0x7C00, 0x03E0, 0x001F, 0x8000};
    case plat::PixelFormat::ARGB8888:
        return {kPixelFlagRgb | kPixelFlagAlpha, 32, 0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u};
    case plat::PixelFormat::RGB565: return {kPixelFlagRgb, 16, 0xF800, 0x07E0, 0x001F, 0};
    case plat::PixelFormat::RGB555: return {kPixelFlagRgb, 16, 0x7C00, 0x03E0, 0x001F, 0};
    case plat::PixelFormat::Depth16: return {kPixelFlagZBuffer, 16, 0xFFFF, 0, 0, 0};
    }
    return {};
}

TD3DDeviceProfile SoftwareDeviceProfile()
{
    TD3DDeviceProfile p;
    p.zBufferFormats = {DescFromPixelFormat(plat::PixelFormat::Depth16)};
    p.textureFormats = {
        DescFromPixelFormat(plat::PixelFormat::RGB565),   DescFromPixelFormat(plat::PixelFormat::RGB555),
        DescFromPixelFormat(plat::PixelFormat::ARGB1555), DescFromPixelFormat(plat::PixelFormat::ARGB4444),
        DescFromPixelFormat(plat::PixelFormat::ARGB8888),
    };
    p.magFilterLinear = true;
    p.textureOpCaps = kTexOpCapSelectArg1 | kTexOpCapSelectArg2 | kTexOpCapModulate | kTexOpCapAddSmooth;
    return p;
}

void SetD3DDeviceProfile(const TD3DDeviceProfile& profile)
{
    Profile() = profile;
}

bool TDirect3D::CanCreate(D3DDeviceKind kind) const
{
    switch (kind) {
    case D3DDeviceKind::Hal: return m_Profile.halDevice;
    case D3DDeviceKind::Mmx: return m_Profile.mmxDevice;
    case D3DDeviceKind::Rgb: return m_Profile.rgbDevice;
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// The device

TD3DDevice::TD3DDevice(plat::Surface* target, D3DDeviceKind kind) : m_Target(target), m_Kind(kind)
{
    if (target) {
        m_Viewport.width = static_cast<std::uint32_t>(target->Width());
        m_Viewport.height = static_cast<std::uint32_t>(target->Height());
    }
}

TD3DDevice::~TD3DDevice()
{
    if (m_Texture)
        m_Texture->Release();
}

bool TD3DDevice::BeginScene()
{
    if (m_InScene)
        return false;
    m_InScene = true;
    return true;
}

bool TD3DDevice::EndScene()
{
    if (!m_InScene)
        return false;
    m_InScene = false;
    return true;
}

bool TD3DDevice::SetViewport(const TViewport& vp)
{
    if (!m_Target || vp.width == 0 || vp.height == 0)
        return false;
    if (static_cast<std::uint64_t>(vp.x) + vp.width > static_cast<std::uint64_t>(m_Target->Width()) ||
        static_cast<std::uint64_t>(vp.y) + vp.height > static_cast<std::uint64_t>(m_Target->Height()))
        return false;
    if (!(vp.minZ >= 0.0f && vp.maxZ <= 1.0f && vp.minZ <= vp.maxZ))
        return false;
    m_Viewport = vp;
    return true;
}

bool TD3DDevice::SetRenderState(D3DState state, std::uint32_t v)
{
    plat::RasterState& s = m_State;
    switch (state) {
    case D3DState::ZEnable:
        if (v > 2)
            return false;
        s.zEnable = v != 0;
        return true;
    case D3DState::FillMode:
        if (v < 1 || v > 3)
            return false;
        s.fillMode = static_cast<plat::FillMode>(v);
        return true;
    case D3DState::ZWriteEnable:
        if (!IsBool(v))
            return false;
        s.zWrite = v != 0;
        return true;
    case D3DState::AlphaTestEnable:
        if (!IsBool(v))
            return false;
        s.alphaTest = v != 0;
        return true;
    case D3DState::SrcBlend:
    case D3DState::DestBlend:
        if (v < 1 || v > 10)
            return false;
        (state == D3DState::SrcBlend ? s.srcBlend : s.destBlend) = static_cast<plat::BlendFactor>(v);
        return true;
    case D3DState::ZFunc:
    case D3DState::AlphaFunc:
        if (v < 1 || v > 8)
            return false;
        (state == D3DState::ZFunc ? s.zFunc : s.alphaFunc) = static_cast<plat::CompareFunc>(v);
        return true;
    case D3DState::AlphaRef:
        s.alphaRef = v & 0xFF;
        return true;
    case D3DState::AlphaBlendEnable:
        if (!IsBool(v))
            return false;
        s.alphaBlend = v != 0;
        return true;
    case D3DState::ColorKeyEnable:
        if (!IsBool(v))
            return false;
        s.colorKey = v != 0;
        return true;
    case D3DState::ZBias:
        if (v > 16)
            return false;
        s.zBias = v;
        return true;
    case D3DState::TextureFactor:
        s.textureFactor = v;
        return true;
    case D3DState::Clipping:
        if (!IsBool(v))
            return false;
        m_Clipping = v != 0;
        return true;
    }
    return false;
}

std::uint32_t TD3DDevice::GetRenderState(D3DState state) const
{
    const plat::RasterState& s = m_State;
    switch (state) {
    case D3DState::ZEnable: return s.zEnable;
    case D3DState::FillMode: return static_cast<std::uint32_t>(s.fillMode);
    case D3DState::ZWriteEnable: return s.zWrite;
    case D3DState::AlphaTestEnable: return s.alphaTest;
    case D3DState::SrcBlend: return static_cast<std::uint32_t>(s.srcBlend);
    case D3DState::DestBlend: return static_cast<std::uint32_t>(s.destBlend);
    case D3DState::ZFunc: return static_cast<std::uint32_t>(s.zFunc);
    case D3DState::AlphaRef: return s.alphaRef;
    case D3DState::AlphaFunc: return static_cast<std::uint32_t>(s.alphaFunc);
    case D3DState::AlphaBlendEnable: return s.alphaBlend;
    case D3DState::ColorKeyEnable: return s.colorKey;
    case D3DState::ZBias: return s.zBias;
    case D3DState::TextureFactor: return s.textureFactor;
    case D3DState::Clipping: return m_Clipping;
    }
    return 0;
}

bool TD3DDevice::SetTexture(std::uint32_t stage, plat::Texture* texture)
{
    if (stage != 0)
        return texture == nullptr;
    if (texture == m_Texture)
        return true;
    if (texture)
        texture->AddRef();
    if (m_Texture)
        m_Texture->Release();
    m_Texture = texture;
    m_State.texture = texture;
    return true;
}

bool TD3DDevice::SetTextureStageState(std::uint32_t stage, D3DStageState state, std::uint32_t v)
{
    if (stage != 0)
        return false;
    plat::RasterState& s = m_State;
    auto validOp = [](std::uint32_t op) { return op >= 1 && op <= 11 && op != 9; };
    switch (state) {
    case D3DStageState::ColorOp:
    case D3DStageState::AlphaOp:
        if (!validOp(v))
            return false;
        (state == D3DStageState::ColorOp ? s.colorOp : s.alphaOp) = static_cast<plat::TextureOp>(v);
        return true;
    case D3DStageState::ColorArg1:
    case D3DStageState::ColorArg2:
    case D3DStageState::AlphaArg1:
    case D3DStageState::AlphaArg2: {
        if (v > 3)
            return false;
        const auto arg = static_cast<plat::TextureArg>(v);
        if (state == D3DStageState::ColorArg1)
            s.colorArg1 = arg;
        else if (state == D3DStageState::ColorArg2)
            s.colorArg2 = arg;
        else if (state == D3DStageState::AlphaArg1)
            s.alphaArg1 = arg;
        else
            s.alphaArg2 = arg;
        return true;
    }
    case D3DStageState::MagFilter:
        if (v < 1 || v > 2)
            return false;
        s.magFilter = static_cast<plat::TextureFilter>(v);
        return true;
    case D3DStageState::MinFilter:
        if (v < 1 || v > 2)
            return false;
        m_MinFilter = v;
        return true;
    }
    return false;
}

std::uint32_t TD3DDevice::GetTextureStageState(D3DStageState state) const
{
    const plat::RasterState& s = m_State;
    switch (state) {
    case D3DStageState::ColorOp: return static_cast<std::uint32_t>(s.colorOp);
    case D3DStageState::ColorArg1: return static_cast<std::uint32_t>(s.colorArg1);
    case D3DStageState::ColorArg2: return static_cast<std::uint32_t>(s.colorArg2);
    case D3DStageState::AlphaOp: return static_cast<std::uint32_t>(s.alphaOp);
    case D3DStageState::AlphaArg1: return static_cast<std::uint32_t>(s.alphaArg1);
    case D3DStageState::AlphaArg2: return static_cast<std::uint32_t>(s.alphaArg2);
    case D3DStageState::MagFilter: return static_cast<std::uint32_t>(s.magFilter);
    case D3DStageState::MinFilter: return m_MinFilter;
    }
    return 0;
}

plat::RenderTarget TD3DDevice::MakeTarget() const
{
    plat::RenderTarget t;
    if (!m_Target || m_Target->IsLost())
        return t;
    t.color = &m_Target->Pixels();
    plat::Surface* depth = m_Target->AttachedDepth();
    if (depth && !depth->IsLost())
        t.depth = &depth->Pixels();
    t.viewport = plat::Rect{static_cast<std::int32_t>(m_Viewport.x), static_cast<std::int32_t>(m_Viewport.y),
                            static_cast<std::int32_t>(m_Viewport.x + m_Viewport.width),
                            static_cast<std::int32_t>(m_Viewport.y + m_Viewport.height)};
    return t;
}

void THiddenArea::Reset(int height)
{
    rows.assign(static_cast<std::size_t>(std::max(0, height)), {});
}

void THiddenArea::AddRect(float left, float top, float right, float bottom)
{
    if (!(left < right && top < bottom) || !std::isfinite(left) || !std::isfinite(top) || !std::isfinite(right) ||
        !std::isfinite(bottom) || std::fabs(left) > 1.0e6f || std::fabs(right) > 1.0e6f || std::fabs(top) > 1.0e6f ||
        std::fabs(bottom) > 1.0e6f)
        return;
    // Centres c + 0.5 inside [low, high) are c = ceil(low - 0.5) .. ceil(high - 0.5) - 1; a pixel is
    // given up on each side for the rounding of vertex positions.
    const auto first = [](float low) { return static_cast<std::int32_t>(std::ceil(low - 0.5f)) + 1; };
    const auto last = [](float high) { return static_cast<std::int32_t>(std::ceil(high - 0.5f)) - 2; };
    const std::int32_t x0 = first(left), x1 = last(right);
    const std::int32_t y0 = std::max<std::int32_t>(first(top), 0);
    const std::int32_t y1 = std::min<std::int32_t>(last(bottom), static_cast<std::int32_t>(rows.size()) - 1);
    if (x0 > x1)
        return;
    for (std::int32_t y = y0; y <= y1; ++y) {
        auto& row = rows[static_cast<std::size_t>(y)];
        std::pair<std::int32_t, std::int32_t> add{x0, x1 + 1};
        // Merge with every interval it touches, keeping the row ascending.
        auto it = row.begin();
        while (it != row.end() && it->second < add.first)
            ++it;
        while (it != row.end() && it->first <= add.second) {
            add.first = std::min(add.first, it->first);
            add.second = std::max(add.second, it->second);
            it = row.erase(it);
        }
        row.insert(it, add);
    }
}

bool THiddenArea::HidesPixels(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) const
{
    if (y0 < 0 || y1 >= static_cast<std::int32_t>(rows.size()) || x0 > x1 || y0 > y1)
        return false;
    for (std::int32_t y = y0; y <= y1; ++y) {
        bool inside = false;
        for (const auto& span : rows[static_cast<std::size_t>(y)])
            if (span.first <= x0 && x1 < span.second) {
                inside = true;
                break;
            }
        if (!inside)
            return false;
    }
    return true;
}

bool TD3DDevice::Hidden(const plat::RasterVertex* vertices, std::uint32_t count)
{
    if (!m_Hidden || !vertices || count == 0 || (m_State.zEnable && m_State.zWrite))
        return false;
    float minX = vertices[0].x, maxX = minX, minY = vertices[0].y, maxY = minY;
    for (std::uint32_t i = 0; i < count; ++i) {
        const plat::RasterVertex& v = vertices[i];
        if (!(std::fabs(v.x) <= 1.0e6f && std::fabs(v.y) <= 1.0e6f))
            return false;
        minX = std::min(minX, v.x);
        maxX = std::max(maxX, v.x);
        minY = std::min(minY, v.y);
        maxY = std::max(maxY, v.y);
    }
    // Every pixel a primitive, line or point of these vertices can touch, with a pixel to spare.
    const auto lo = [](float v) { return static_cast<std::int32_t>(std::floor(v)) - 1; };
    const auto hi = [](float v) { return static_cast<std::int32_t>(std::ceil(v)) + 1; };
    if (!m_Hidden->HidesPixels(lo(minX), lo(minY), hi(maxX), hi(maxY)))
        return false;
    ++m_HiddenDraws;
    return true;
}

bool TD3DDevice::DrawPrimitive(plat::PrimitiveType type, const plat::RasterVertex* vertices, std::uint32_t count,
                               std::uint32_t /*flags*/)
{
    if (count >= 3 && Hidden(vertices, count))
        return true;
    return plat::DrawPrimitive(MakeTarget(), m_State, type, vertices, count);
}

bool TD3DDevice::DrawIndexedPrimitive(plat::PrimitiveType type, const plat::RasterVertex* vertices,
                                      std::uint32_t vertexCount, const std::uint16_t* indices,
                                      std::uint32_t indexCount, std::uint32_t /*flags*/)
{
    return plat::DrawIndexedPrimitive(MakeTarget(), m_State, type, vertices, vertexCount, indices, indexCount);
}

bool TD3DDevice::Clear(std::uint32_t rectCount, const plat::Rect* rects, std::uint32_t flags, std::uint32_t color,
                       float z, std::uint32_t /*stencil*/)
{
    const plat::RenderTarget t = MakeTarget();
    if (!t.color || (flags & (kClearTarget | kClearZBuffer)) == 0)
        return false;
    if ((flags & kClearZBuffer) && !t.depth)
        return false;
    if (rectCount > 0 && !rects)
        return false;
    const plat::Rect whole = t.viewport;
    const std::uint32_t n = rectCount == 0 ? 1 : rectCount;
    const std::uint32_t r = (color >> 16) & 0xFF, g = (color >> 8) & 0xFF, b = color & 0xFF;
    const std::uint16_t pixel = t.color->Format() == plat::PixelFormat::RGB565
                                    ? static_cast<std::uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3))
                                    : static_cast<std::uint16_t>((r >> 3) << 10 | (g >> 3) << 5 | (b >> 3));
    const std::uint16_t depth = plat::DepthFromZ(z);
    for (std::uint32_t i = 0; i < n; ++i) {
        plat::Rect rc = rectCount == 0 ? whole : rects[i];
        // Clears stay inside the viewport.
        rc.left = std::max(rc.left, whole.left);
        rc.top = std::max(rc.top, whole.top);
        rc.right = std::min(rc.right, whole.right);
        rc.bottom = std::min(rc.bottom, whole.bottom);
        if (rc.Empty())
            continue;
        if (flags & kClearTarget)
            plat::FillColor16(*t.color, rc, pixel);
        if (flags & kClearZBuffer)
            plat::FillDepth(*t.depth, rc, depth);
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Start-up and release

bool ZBufferFormatCallback(const TPixelFormatDesc& format, TPixelFormatDesc& found, bool& haveFound)
{
    if (format.flags == kPixelFlagZBuffer && format.bitCount == 16) {
        found = format;
        haveFound = true;
        return false;
    }
    return true;
}

bool TextureFormatCallback(const TPixelFormatDesc& f, TTextureFormatsFound& found)
{
    if (!(f.flags & kPixelFlagAlpha))
        return true;
    if (f.bitCount == 16 && (f.alphaMask == 0x8000 || f.alphaMask == 0x0001)) {
        found.format1555 = f;
        found.have1555 = true;
    } else if (f.bitCount == 16 && f.alphaMask == 0xF000) {
        found.format4444 = f;
        found.have4444 = true;
    } else if (f.bitCount == 32 && f.alphaMask == 0xFF000000u) {
        found.format8888 = f;
        found.have8888 = true;
    }
    return true;
}

bool Direct3DInit()
{
    // 1. The 3-D object of the display.
    if (!g_pDD || !g_pDDSBack) {
        ReportError("Direct3D QueryInterface() Failed");
        return false;
    }
    delete g_pD3D;
    g_pD3D = new TDirect3D(Profile());

    // 2. A plain 16-bit depth format.
    TPixelFormatDesc zFormat;
    bool haveZ = false;
    g_pD3D->EnumZBufferFormats([&](const TPixelFormatDesc& f) { return ZBufferFormatCallback(f, zFormat, haveZ); });
    if (!haveZ) {
        ReportError("EnumZBufferFormats() FAILED");
        return false;
    }

    // 3. The Z-buffer of screen size, attached to the back surface.
    plat::PixelFormat zPixel;
    if (!PixelFormatFromDesc(zFormat, zPixel) || g_ScreenWidth == 0 || g_ScreenHeight == 0 || g_pZBuffer) {
        ReportError("Creating Z-buffer FAILED");
        return false;
    }
    g_pZBuffer = new plat::Surface(g_ScreenWidth, g_ScreenHeight, zPixel);
    if (g_pDDSBack->AttachedDepth()) {
        ReportError("Attaching Z-buffer FAILED");
        return false;
    }
    g_pDDSBack->AttachDepth(g_pZBuffer);

    // 4. The device, falling back from the fastest kind.
    if (g_pD3D->CanCreate(D3DDeviceKind::Hal)) {
        g_pD3DDevice = new TD3DDevice(g_pDDSBack, D3DDeviceKind::Hal);
    } else {
        ReportError("Failed to create a HAL device, trying MMX.");
        if (g_pD3D->CanCreate(D3DDeviceKind::Mmx)) {
            g_pD3DDevice = new TD3DDevice(g_pDDSBack, D3DDeviceKind::Mmx);
        } else {
            ReportError("Failed to create an MMX device, trying RGB");
            if (!g_pD3D->CanCreate(D3DDeviceKind::Rgb)) {
                ReportError("Failed to create an RGB device.");
                ReportError("No Direct3D Devices are available");
                return false;
            }
            g_pD3DDevice = new TD3DDevice(g_pDDSBack, D3DDeviceKind::Rgb);
        }
    }

    // 5. The viewport covers the screen.
    TViewport vp;
    vp.width = g_ScreenWidth;
    vp.height = g_ScreenHeight;
    if (!g_pD3DDevice->SetViewport(vp)) {
        ReportError("SetViewport FAILED");
        return false;
    }

    // 6. The states every drawing pass assumes.
    g_pD3DDevice->SetRenderState(D3DState::ColorKeyEnable, 1);
    g_pD3DDevice->SetRenderState(D3DState::DestBlend, static_cast<std::uint32_t>(plat::BlendFactor::InvSrcAlpha));
    g_pD3DDevice->SetRenderState(D3DState::SrcBlend, static_cast<std::uint32_t>(plat::BlendFactor::SrcAlpha));
    g_pD3DDevice->SetRenderState(D3DState::AlphaRef, 0);
    g_pD3DDevice->SetRenderState(D3DState::AlphaFunc, static_cast<std::uint32_t>(plat::CompareFunc::NotEqual));

    // 7, 8. Texture formats: 1555 and 4444 are required, 8888 is optional.
    // The loader thread reads the formats while it makes textures: they are found into locals and
    // published once, so a device re-created with the same formats never passes through zero.
    TTextureFormatsFound found;
    if (!g_pD3D->Profile().textureFormats.empty())
        g_pD3D->EnumTextureFormats([&](const TPixelFormatDesc& f) { return TextureFormatCallback(f, found); });
    PublishLoaderShared(g_TexFormat1555, found.format1555);
    PublishLoaderShared(g_TexFormat4444, found.format4444);
    PublishLoaderShared(g_TexFormat8888, found.format8888);
    if (g_pD3D->Profile().textureFormats.empty())
        return false;
    if (!found.have1555) {
        ReportError("Pixel format 1555 not found!");
        return false;
    }
    if (!found.have4444) {
        ReportError("Pixel format 4444 not found!");
        return false;
    }

    // 9. Capabilities.
    const TD3DDeviceProfile& p = g_pD3D->Profile();
    g_bLinearMagFilter = p.magFilterLinear ? 1 : 0;
    g_bTextureOpsSupported =
        (p.textureOpCaps & (kTexOpCapSelectArg1 | kTexOpCapSelectArg2 | kTexOpCapModulate)) != 0 ? 1 : 0;

    // 10. Depth off until the map drawing asks for it.
    g_pD3DDevice->SetRenderState(D3DState::ZEnable, 0);
    g_pD3DDevice->SetRenderState(D3DState::ZWriteEnable, 0);
    g_pD3DDevice->SetRenderState(D3DState::Clipping, 0);

    // 11. Far depths everywhere.
    return g_pD3DDevice->Clear(0, nullptr, kClearZBuffer, 0, 1.0f, 0);
}

void Direct3DFree()
{
    // The loader makes textures for this device; it must not be at work while the device goes.
    WaitLoaderIdle();
    if (g_pZBuffer) {
        if (g_pDDSBack && g_pDDSBack->AttachedDepth() == g_pZBuffer)
            g_pDDSBack->AttachDepth(nullptr);
        delete g_pZBuffer;
        g_pZBuffer = nullptr;
    }
    if (g_pD3DDevice) {
        delete g_pD3DDevice;
        g_pD3DDevice = nullptr;
    }
    if (g_pD3D) {
        delete g_pD3D;
        g_pD3D = nullptr;
    }
}

// ---------------------------------------------------------------------------------------------
// Textures

std::uint32_t ColorKeyForFormat(const TPixelFormatDesc& format)
{
    if (format.alphaMask == 0x8000)
        return 0x7C1F;
    if (format.alphaMask == 0xF000)
        return 0x0F0F;
    return MakeColor16(255, 0, 255);
}

plat::Texture* CreateTextureWithAlpha(std::uint16_t width, std::uint16_t height, const TPixelFormatDesc& format,
                                      std::uint32_t colorKey)
{
    plat::PixelFormat pf;
    if (!g_pDD || !PixelFormatFromDesc(format, pf) || pf == plat::PixelFormat::Depth16)
        return nullptr;
    plat::Texture* t = plat::Texture::Create(width, height, pf);
    if (t)
        t->SetColorKey(colorKey);
    return t;
}

plat::Texture* CreateTexture(std::uint16_t width, std::uint16_t height, const TPixelFormatDesc& format)
{
    return CreateTextureWithAlpha(width, height, format, ColorKeyForFormat(format));
}

plat::Texture* CreateTextureSurface(std::uint16_t width, std::uint16_t height)
{
    const plat::PixelFormat display = g_pDDSBack ? g_pDDSBack->Format() : plat::PixelFormat::RGB565;
    return CreateTextureWithAlpha(width, height, DescFromPixelFormat(display), MakeColor16(255, 0, 255));
}

plat::Texture* CreateTexture4444(const void* pixels, std::uint16_t width, std::uint16_t height)
{
    plat::PixelFormat pf;
    if (!pixels || !g_pDD || !PixelFormatFromDesc(g_TexFormat4444, pf) || pf != plat::PixelFormat::ARGB4444)
        return nullptr;
    plat::Texture* t = plat::Texture::Create(width, height, pf);
    if (!t)
        return nullptr;
    plat::TextureLock lock;
    if (!t->Lock(lock)) {
        t->Release();
        return nullptr;
    }
    const auto* src = static_cast<const std::uint8_t*>(pixels);
    for (int y = 0; y < height; ++y)
        std::memcpy(lock.bits + static_cast<std::size_t>(y) * lock.pitch, src + static_cast<std::size_t>(y) * width * 2,
                    static_cast<std::size_t>(width) * 2);
    t->Unlock();
    return t;
}

void RoundUpToPowerOfTwo(std::uint16_t& width, std::uint16_t& height)
{
    auto round = [](std::uint16_t& v) {
        if (v > 512)
            return;
        std::uint16_t p = 2;
        while (p < v)
            p = static_cast<std::uint16_t>(p * 2);
        v = p;
    };
    round(width);
    round(height);
}

bool DepthFillSurface(plat::Surface* zbuffer, const plat::Rect* rect, std::uint32_t depth)
{
    if (!zbuffer || zbuffer->Format() != plat::PixelFormat::Depth16 || zbuffer->IsLost())
        return false;
    const plat::Rect whole{0, 0, zbuffer->Width(), zbuffer->Height()};
    plat::FillDepth(zbuffer->Pixels(), rect ? *rect : whole, static_cast<std::uint16_t>(depth & 0xFFFF));
    return true;
}

bool BltDepthSelf(plat::Surface* zbuffer, const plat::Rect& source, int x, int y)
{
    if (!zbuffer || zbuffer->Format() != plat::PixelFormat::Depth16 || zbuffer->IsLost())
        return false;
    plat::BlitSelf16(zbuffer->Pixels(), source, x, y);
    return true;
}

#pragma once
// The 3-D device on the back surface: its Z-buffer, the render states every drawing pass assumes, the
// three texture formats the game uses and the ways to create a texture. Drawing goes through
// g_pD3DDevice (render states, stage-0 texture, pre-transformed primitives, Z-buffer clears), which
// renders with the platform's software rasteriser.
#include <cstdint>
#include <utility>
#include <vector>

#include "platform/raster.h"
#include "platform/surface.h"
#include "platform/texture.h"
#include "platform/types.h"

// Render states by the numbers the drawing code uses ("render state 7" and so on).
enum class D3DState : std::uint32_t {
    ZEnable = 7,
    FillMode = 8,
    ZWriteEnable = 14,
    AlphaTestEnable = 15,
    SrcBlend = 19,
    DestBlend = 20,
    ZFunc = 23,
    AlphaRef = 24,
    AlphaFunc = 25,
    AlphaBlendEnable = 27,
    ColorKeyEnable = 41,
    ZBias = 47,
    TextureFactor = 60,
    Clipping = 136,
};

// Texture-stage states.
enum class D3DStageState : std::uint32_t {
    ColorOp = 1,
    ColorArg1 = 2,
    ColorArg2 = 3,
    AlphaOp = 4,
    AlphaArg1 = 5,
    AlphaArg2 = 6,
    MagFilter = 16,
    MinFilter = 17,
};

// Flags of Clear.
constexpr std::uint32_t kClearTarget = 0x1;
constexpr std::uint32_t kClearZBuffer = 0x2;
// Draw flag kept for the callers that pass it; every draw completes before it returns.
constexpr std::uint32_t kDrawWait = 0x1;

// A pixel format as the device describes it (flags, bits per pixel and channel masks).
constexpr std::uint32_t kPixelFlagAlpha = 0x1;      // has an alpha channel
constexpr std::uint32_t kPixelFlagRgb = 0x40;       // colour channels
constexpr std::uint32_t kPixelFlagZBuffer = 0x400;  // a depth format
constexpr std::uint32_t kPixelFlagStencil = 0x4000; // depth with stencil bits
struct TPixelFormatDesc {
    std::uint32_t flags = 0;
    std::uint32_t bitCount = 0;
    std::uint32_t redMask = 0;   // for depth formats: the depth mask
    std::uint32_t greenMask = 0; // for depth formats: the stencil mask
    std::uint32_t blueMask = 0;
    std::uint32_t alphaMask = 0;
};
// The platform format a description stands for; false when it is none the rasteriser draws.
bool PixelFormatFromDesc(const TPixelFormatDesc& desc, plat::PixelFormat& format);
TPixelFormatDesc DescFromPixelFormat(plat::PixelFormat format);

// What the device offers: its Z-buffer and texture formats in enumeration order, which of the three
// device kinds can be created, and its capabilities. The software rasteriser's own profile is the
// default; tests replace it to see the start-up refuse a device.
struct TD3DDeviceProfile {
    std::vector<TPixelFormatDesc> zBufferFormats;
    std::vector<TPixelFormatDesc> textureFormats;
    bool halDevice = true;
    bool mmxDevice = true;
    bool rgbDevice = true;
    bool magFilterLinear = true;         // linear magnification
    std::uint32_t textureOpCaps = 0;     // kTexOpCap* bits
};
constexpr std::uint32_t kTexOpCapSelectArg1 = 0x2;
constexpr std::uint32_t kTexOpCapSelectArg2 = 0x4;
constexpr std::uint32_t kTexOpCapModulate = 0x8;
constexpr std::uint32_t kTexOpCapAddSmooth = 0x400;

TD3DDeviceProfile SoftwareDeviceProfile();
void SetD3DDeviceProfile(const TD3DDeviceProfile& profile);

enum class D3DDeviceKind { Hal, Mmx, Rgb };

// The 3-D object of the display: format enumeration and device creation.
class TDirect3D {
public:
    explicit TDirect3D(const TD3DDeviceProfile& profile) : m_Profile(profile) {}
    // Calls back for each Z-buffer format until the callback returns false.
    template <class F> void EnumZBufferFormats(F&& callback) const
    {
        for (const TPixelFormatDesc& f : m_Profile.zBufferFormats)
            if (!callback(f))
                break;
    }
    template <class F> void EnumTextureFormats(F&& callback) const
    {
        for (const TPixelFormatDesc& f : m_Profile.textureFormats)
            if (!callback(f))
                break;
    }
    bool CanCreate(D3DDeviceKind kind) const;
    const TD3DDeviceProfile& Profile() const { return m_Profile; }

private:
    TD3DDeviceProfile m_Profile;
};

struct TViewport {
    std::uint32_t x = 0;
    std::uint32_t y = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    float minZ = 0.0f;
    float maxZ = 1.0f;
};

// Screen pixels that an opaque pass later in the scene covers whatever is drawn under them first
// (the fog's body): per screen row, pixel intervals [left, right), ascending and apart.
struct THiddenArea {
    std::vector<std::vector<std::pair<std::int32_t, std::int32_t>>> rows;

    void Reset(int height);
    // Adds the pixels whose centres lie inside the rectangle, less a pixel on each side.
    void AddRect(float left, float top, float right, float bottom);
    // Whether every pixel of the rectangle, both ends included, lies in the area.
    bool HidesPixels(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) const;
};

// The rendering device on a colour surface with the Z-buffer attached to it.
class TD3DDevice {
public:
    TD3DDevice(plat::Surface* target, D3DDeviceKind kind);
    ~TD3DDevice();
    TD3DDevice(const TD3DDevice&) = delete;
    TD3DDevice& operator=(const TD3DDevice&) = delete;

    D3DDeviceKind Kind() const { return m_Kind; }
    plat::Surface* Target() const { return m_Target; }

    // A scene brackets drawing; draws outside one are still carried out.
    bool BeginScene();
    bool EndScene();
    bool InScene() const { return m_InScene; }

    bool SetViewport(const TViewport& viewport);
    const TViewport& Viewport() const { return m_Viewport; }

    // false for a state the device does not know or a value out of its range (nothing changes).
    bool SetRenderState(D3DState state, std::uint32_t value);
    std::uint32_t GetRenderState(D3DState state) const;
    // Only stage 0 exists; other stages accept a null texture and refuse anything else.
    bool SetTexture(std::uint32_t stage, plat::Texture* texture);
    plat::Texture* GetTexture() const { return m_Texture; }
    bool SetTextureStageState(std::uint32_t stage, D3DStageState state, std::uint32_t value);
    std::uint32_t GetTextureStageState(D3DStageState state) const;

    bool DrawPrimitive(plat::PrimitiveType type, const plat::RasterVertex* vertices, std::uint32_t count,
                       std::uint32_t flags = 0);
    bool DrawIndexedPrimitive(plat::PrimitiveType type, const plat::RasterVertex* vertices,
                              std::uint32_t vertexCount, const std::uint16_t* indices,
                              std::uint32_t indexCount, std::uint32_t flags = 0);

    // Clears the whole viewport (rectCount 0) or the listed rectangles: the target to colour (ARGB,
    // converted to the target's format) and/or the Z-buffer to z.
    bool Clear(std::uint32_t rectCount, const plat::Rect* rects, std::uint32_t flags, std::uint32_t color,
               float z, std::uint32_t stencil);

    const plat::RasterState& State() const { return m_State; }

    // While an area is set, a draw that writes no depth and lies wholly inside it is left out (it
    // would be covered anyway) and counted. The caller keeps the area alive until it sets null.
    void SetHiddenArea(const THiddenArea* area) { m_Hidden = area; }
    std::uint64_t HiddenDraws() const { return m_HiddenDraws; }

private:
    bool Hidden(const plat::RasterVertex* vertices, std::uint32_t count);

    plat::RenderTarget MakeTarget() const;

    plat::Surface* m_Target;
    D3DDeviceKind m_Kind;
    TViewport m_Viewport{};
    plat::RasterState m_State{};
    plat::Texture* m_Texture = nullptr; // the device holds a reference
    bool m_Clipping = true;
    bool m_InScene = false;
    std::uint32_t m_MinFilter = 1;
    const THiddenArea* m_Hidden = nullptr;
    std::uint64_t m_HiddenDraws = 0;
};

extern TDirect3D* g_pD3D;
extern TD3DDevice* g_pD3DDevice;
extern plat::Surface* g_pZBuffer;
extern TPixelFormatDesc g_TexFormat1555;
extern TPixelFormatDesc g_TexFormat4444;
extern TPixelFormatDesc g_TexFormat8888;
extern std::uint8_t g_bLinearMagFilter;
extern std::uint8_t g_bTextureOpsSupported;

// Start-up of the device on g_pDDSBack (after the display), and its release (before the display's).
bool Direct3DInit();
void Direct3DFree();

// The enumeration callbacks of Direct3DInit, open for tests: the Z-buffer callback returns false
// (stop) once it has taken a format.
bool ZBufferFormatCallback(const TPixelFormatDesc& format, TPixelFormatDesc& found, bool& haveFound);
struct TTextureFormatsFound {
    TPixelFormatDesc format1555{};
    TPixelFormatDesc format4444{};
    TPixelFormatDesc format8888{};
    bool have1555 = false;
    bool have4444 = false;
    bool have8888 = false;
};
bool TextureFormatCallback(const TPixelFormatDesc& format, TTextureFormatsFound& found);

// Textures. Null when the size or format cannot be made.
plat::Texture* CreateTexture(std::uint16_t width, std::uint16_t height, const TPixelFormatDesc& format);
plat::Texture* CreateTextureWithAlpha(std::uint16_t width, std::uint16_t height, const TPixelFormatDesc& format,
                                      std::uint32_t colorKey);
plat::Texture* CreateTextureSurface(std::uint16_t width, std::uint16_t height);
// width x height little-endian ARGB 4444 pixels, rows without padding; no colour key.
plat::Texture* CreateTexture4444(const void* pixels, std::uint16_t width, std::uint16_t height);
// The colour key CreateTexture gives a texture of that format.
std::uint32_t ColorKeyForFormat(const TPixelFormatDesc& format);

void RoundUpToPowerOfTwo(std::uint16_t& width, std::uint16_t& height);

// Z-buffer blits of the static map layer: a depth fill (0xFFFFFFFF fills with the far value) and a
// copy of a rectangle onto another place of the same Z-buffer. false for a null or non-depth surface.
bool DepthFillSurface(plat::Surface* zbuffer, const plat::Rect* rect, std::uint32_t depth);
bool BltDepthSelf(plat::Surface* zbuffer, const plat::Rect& source, int x, int y);

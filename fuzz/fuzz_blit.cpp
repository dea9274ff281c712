// Drives the clipped and unclipped blits, fills, locks, polygons and text with arbitrary
// rectangles, positions and texts; every write must stay inside its surface.
#include <cstddef>
#include <cstdint>
#include <string>

#include "devices/display.h"
#include "platform/draw.h"
#include "platform/font.h"
#include "platform/surface.h"

namespace {

struct Reader {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos = 0;
    bool More() const { return pos < size; }
    std::uint8_t U8() { return pos < size ? data[pos++] : 0; }
    std::int16_t I16()
    {
        const std::uint16_t lo = U8();
        return static_cast<std::int16_t>(lo | (U8() << 8));
    }
    // Mostly small values; sometimes any 32-bit value, to reach the ends of the int range.
    std::int32_t Coord()
    {
        if ((U8() & 7) != 0)
            return I16();
        const std::uint32_t lo = static_cast<std::uint16_t>(I16());
        return static_cast<std::int32_t>(lo | (static_cast<std::uint32_t>(static_cast<std::uint16_t>(I16())) << 16));
    }
    plat::Rect Rect() { return {Coord(), Coord(), Coord(), Coord()}; }
};

const plat::Font* FuzzFont()
{
    static const plat::Font* font = plat::CreateFont({"Arial", 12, 400, 204, false});
    return font;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Reader in{data, size};
    const int sw = 1 + in.U8() % 48, sh = 1 + in.U8() % 48;
    const int dw = 1 + in.U8() % 64, dh = 1 + in.U8() % 64;
    plat::Surface src(sw, sh, plat::PixelFormat::RGB565);
    plat::Surface dst(dw, dh, plat::PixelFormat::RGB565, dw * 2 + (in.U8() % 8) * 2);
    for (int y = 0; y < sh; ++y)
        for (int x = 0; x < sw; ++x)
            src.Pixels().Row16(y)[x] = static_cast<std::uint16_t>(x * 31 + y);
    src.SetColorKey(0);

    int guard = 0;
    while (in.More() && guard++ < 200) {
        const std::uint8_t op = in.U8() % 9;
        plat::Rect r = in.Rect();
        const int x = in.Coord(), y = in.Coord();
        const bool keyed = in.U8() & 1;
        switch (op) {
        case 0: BltSurface(&dst, &src, (keyed ? &r : nullptr), x, y, keyed); break;
        case 1: BltSurfaceClipped(&dst, &src, in.Coord(), in.Coord(), &r, x, y, keyed); break;
        case 2: dst.BltFast(x, y, dst, &r, keyed); break;
        case 3: {
            const plat::Rect to = in.Rect();
            dst.Blt(&to, src, &r, keyed);
            dst.Blt(&r, dst, &to, keyed);
            break;
        }
        case 4: dst.ColorFill(&r, static_cast<std::uint16_t>(x)); break;
        case 5: {
            plat::LockedArea area;
            if (dst.Lock(&r, area)) {
                for (int row = 0; row < area.height; ++row)
                    area.bits[row * area.pitch + area.width * 2 - 1] = 0xFF;
                dst.Unlock();
            }
            break;
        }
        case 6: {
            plat::DrawContext dc(&dst);
            dc.SelectPen({plat::kPenSolid, in.U8() % 4, 0xFFFFFF});
            dc.SelectBrush({false, 0x00FF00});
            plat::Point pts[6];
            const std::size_t n = in.U8() % 7;
            for (std::size_t i = 0; i < n; ++i)
                pts[i] = {in.Coord(), in.Coord()};
            dc.Polygon(pts, n);
            break;
        }
        case 7: {
            plat::DrawContext dc(&dst);
            dc.SelectFont(FuzzFont());
            dc.SetBkMode(keyed ? plat::kBkOpaque : plat::kBkTransparent);
            dc.SetTextAlign(in.U8() & 31);
            std::u16string text;
            const std::size_t n = in.U8() % 12;
            for (std::size_t i = 0; i < n; ++i)
                text.push_back(static_cast<char16_t>(in.I16()));
            dc.TextOut(x, y, text);
            break;
        }
        default: dst.BltFast(x, y, src, &r, keyed); break;
        }
    }
    return 0;
}

#include "platform/font.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SIZES_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/log.h"
#include "platform/surface.h"
#include "platform/types.h"

namespace plat {

namespace {

constexpr int kRussianCharset = 204;
constexpr char kFallbackFamily[] = "DejaVu Sans";
constexpr char kFallbackFile[] = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// FreeType's library object is not thread-safe for face creation; glyph loading is serialised per
// face by each font's own lock.
std::mutex& LibraryMutex()
{
    static std::mutex m;
    return m;
}

FT_Library Library()
{
    static FT_Library lib = [] {
        FT_Library l = nullptr;
        if (FT_Init_FreeType(&l) != 0)
            l = nullptr;
        return l;
    }();
    return lib;
}

// One configuration for the process, loaded on first use; matching is serialised by LibraryMutex.
FcConfig* FontConfig()
{
    static FcConfig* config = [] {
        FcConfig* c = FcInitLoadConfigAndFonts();
        // fontconfig keeps caches of its own that only FcFini gives back.
        std::atexit([] {
            if (FontConfig())
                FcConfigDestroy(FontConfig());
            FcFini();
        });
        return c;
    }();
    return config;
}

struct Glyph {
    int advance = 0;
    int left = 0;   // from the pen position to the bitmap's first column
    int top = 0;    // from the baseline up to the bitmap's first row
    int width = 0;
    int rows = 0;
    std::vector<std::uint8_t> bits;  // one byte per pixel, 1 = set
};

// The font file fontconfig matches for the description; empty when it has none.
std::string MatchFontFile(const FontDesc& desc, const char* family, int& index)
{
    std::string path;
    FcConfig* config = FontConfig();
    if (!config)
        return path;
    FcPattern* pattern = FcPatternCreate();
    if (!pattern)
        return path;
    if (family && *family)
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(std::clamp(desc.weight, 1, 1000)));
    FcPatternAddInteger(pattern, FC_SLANT, desc.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    if (desc.charset == kRussianCharset)
        FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("ru"));
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    if (match) {
        FcChar8* file = nullptr;
        if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file)
            path = reinterpret_cast<const char*>(file);
        int idx = 0;
        if (FcPatternGetInteger(match, FC_INDEX, 0, &idx) == FcResultMatch)
            index = idx;
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return path;
}

char32_t NextCodePoint(std::u16string_view text, std::size_t& i)
{
    const char16_t c = text[i++];
    if (c >= 0xD800 && c <= 0xDBFF && i < text.size() && text[i] >= 0xDC00 && text[i] <= 0xDFFF) {
        const char16_t low = text[i++];
        return 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (low - 0xDC00);
    }
    if (c >= 0xD800 && c <= 0xDFFF)
        return 0xFFFD;
    return c;
}

} // namespace

struct Font::Impl {
    FT_Face face = nullptr;
    bool emboldenSynthetic = false;
    mutable std::mutex mutex;
    // Latin, Cyrillic and the punctuation the game's texts use sit in a flat table; the rest in a map.
    static constexpr char32_t kFlat = 0x500;
    mutable std::unique_ptr<Glyph> flat[kFlat];
    mutable std::unordered_map<char32_t, std::unique_ptr<Glyph>> others;

    ~Impl()
    {
        if (face) {
            std::lock_guard<std::mutex> lock(LibraryMutex());
            FT_Done_Face(face);
        }
    }

    std::unique_ptr<Glyph> Load(char32_t c) const
    {
        auto g = std::make_unique<Glyph>();
        if (FT_Load_Char(face, c, FT_LOAD_DEFAULT | FT_LOAD_TARGET_MONO) != 0)
            return g;
        FT_GlyphSlot slot = face->glyph;
        if (emboldenSynthetic)
            FT_GlyphSlot_Embolden(slot);
        g->advance = static_cast<int>((slot->advance.x + 32) >> 6);
        if (FT_Render_Glyph(slot, FT_RENDER_MODE_MONO) != 0)
            return g;
        const FT_Bitmap& bm = slot->bitmap;
        g->left = slot->bitmap_left;
        g->top = slot->bitmap_top;
        g->width = static_cast<int>(bm.width);
        g->rows = static_cast<int>(bm.rows);
        g->bits.assign(static_cast<std::size_t>(g->width) * g->rows, 0);
        for (int y = 0; y < g->rows; ++y) {
            const unsigned char* row = bm.buffer + static_cast<std::ptrdiff_t>(y) * bm.pitch;
            for (int x = 0; x < g->width; ++x) {
                const bool set = bm.pixel_mode == FT_PIXEL_MODE_MONO ? (row[x >> 3] >> (7 - (x & 7))) & 1 : row[x] >= 128;
                g->bits[static_cast<std::size_t>(y) * g->width + x] = set ? 1 : 0;
            }
        }
        return g;
    }

    const Glyph& Get(char32_t c) const
    {
        std::lock_guard<std::mutex> lock(mutex);
        std::unique_ptr<Glyph>& slot = c < kFlat ? flat[c] : others[c];
        if (!slot)
            slot = Load(c);
        return *slot;
    }
};

Font::~Font()
{
    delete m_Impl;
}

Font* CreateFont(const FontDesc& desc)
{
    // Heights come from a data file; beyond this a face would be sized to gigabytes of glyphs (and
    // the smallest int cannot even be negated).
    if (desc.height > kMaxFontHeight || desc.height < -kMaxFontHeight) {
        plat::LogError2("CreateFont: font height out of range for ", desc.face);
        return nullptr;
    }
    FT_Library lib = Library();
    if (!lib) {
        plat::LogError("CreateFont: FreeType cannot start");
        return nullptr;
    }
    std::unique_ptr<Font> font(new Font());
    font->m_Desc = desc;
    font->m_Impl = new Font::Impl();

    // The named face first, then the fallback family, then the fallback file itself.
    std::vector<std::pair<std::string, int>> candidates;
    int index = 0;
    std::string path = MatchFontFile(desc, desc.face.c_str(), index);
    if (!path.empty())
        candidates.emplace_back(path, index);
    index = 0;
    path = MatchFontFile(desc, kFallbackFamily, index);
    if (!path.empty())
        candidates.emplace_back(path, index);
    candidates.emplace_back(kFallbackFile, 0);

    FT_Face face = nullptr;
    {
        std::lock_guard<std::mutex> lock(LibraryMutex());
        for (const auto& [file, idx] : candidates) {
            if (FT_New_Face(lib, file.c_str(), idx, &face) == 0) {
                font->m_Path = file;
                break;
            }
            face = nullptr;
        }
    }
    if (!face) {
        plat::LogError2("CreateFont: no font file for ", desc.face);
        return nullptr;
    }
    font->m_Impl->face = face;

    FT_Size_RequestRec req{};
    if (desc.height > 0) {
        req.type = FT_SIZE_REQUEST_TYPE_REAL_DIM;
        req.height = static_cast<FT_Long>(desc.height) * 64;
    } else {
        req.type = FT_SIZE_REQUEST_TYPE_NOMINAL;
        req.height = static_cast<FT_Long>(desc.height < 0 ? -desc.height : 16) * 64;
    }
    if (FT_Request_Size(face, &req) != 0) {
        plat::LogError2("CreateFont: cannot size the face ", font->m_Path);
        return nullptr;
    }
    font->m_Impl->emboldenSynthetic = desc.weight >= 600 && !(face->style_flags & FT_STYLE_FLAG_BOLD);

    const FT_Size_Metrics& sm = face->size->metrics;
    FontMetrics& m = font->m_Metrics;
    m.ascent = static_cast<int>((sm.ascender + 32) >> 6);
    m.descent = static_cast<int>((-sm.descender + 32) >> 6);
    if (desc.height > 0 && m.ascent + m.descent != desc.height)
        m.descent = std::max(0, desc.height - m.ascent);
    m.height = m.ascent + m.descent;
    m.maxCharWidth = static_cast<int>((sm.max_advance + 32) >> 6);
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 && os2->xAvgCharWidth > 0)
        m.averageCharWidth = static_cast<int>((FT_MulFix(os2->xAvgCharWidth, sm.x_scale) + 32) >> 6);
    else
        m.averageCharWidth = font->CharWidth(U'x');
    return font.release();
}

void ReleaseFont(Font*& font)
{
    delete font;
    font = nullptr;
}

const Font* DefaultFont()
{
    static std::unique_ptr<Font> font(CreateFont(FontDesc{kFallbackFamily, 16, 400, 1, false}));
    return font.get();
}

int MeasureTextWidth(const Font* font, std::u16string_view text)
{
    if (!font)
        font = DefaultFont();
    return font ? font->TextWidth(text) : 0;
}

int Font::CharWidth(char32_t c) const
{
    return m_Impl->Get(c).advance;
}

int Font::TextWidth(std::u16string_view text) const
{
    int width = 0;
    for (std::size_t i = 0; i < text.size();)
        width += m_Impl->Get(NextCodePoint(text, i)).advance;
    return width;
}

int Font::Draw(PixelBuffer& target, int x, int y, std::u16string_view text, std::uint32_t pixel, const Rect& clip) const
{
    const int bpp = BytesPerPixel(target.Format());
    const std::int64_t cl = std::max(0, clip.left), ct = std::max(0, clip.top);
    const std::int64_t cr = std::min(target.Width(), clip.right), cb = std::min(target.Height(), clip.bottom);
    // 64-bit positions: a text placed near the ends of the int range must not overflow.
    const std::int64_t baseline = static_cast<std::int64_t>(y) + m_Metrics.ascent;
    std::int64_t pen = x;
    for (std::size_t i = 0; i < text.size();) {
        const Glyph& g = m_Impl->Get(NextCodePoint(text, i));
        const std::int64_t gx0 = pen + g.left, gy0 = baseline - g.top;
        const std::int64_t x0 = std::max(cl, gx0), x1 = std::min(cr, gx0 + g.width);
        const std::int64_t y0 = std::max(ct, gy0), y1 = std::min(cb, gy0 + g.rows);
        for (std::int64_t py = y0; py < y1; ++py) {
            const std::uint8_t* src = g.bits.data() + static_cast<std::size_t>(py - gy0) * g.width;
            if (bpp == 2) {
                std::uint16_t* row = target.Row16(static_cast<int>(py));
                for (std::int64_t px = x0; px < x1; ++px)
                    if (src[px - gx0])
                        row[px] = static_cast<std::uint16_t>(pixel);
            } else {
                std::uint32_t* row = target.Row32(static_cast<int>(py));
                for (std::int64_t px = x0; px < x1; ++px)
                    if (src[px - gx0])
                        row[px] = pixel;
            }
        }
        pen += g.advance;
    }
    return static_cast<int>(pen - x);
}

} // namespace plat

#include "span_images.h"

#include <algorithm>
#include <cstring>

#include "platform/bytes.h"
#include "sample_data.h"

namespace sampledata {

namespace {

void Put16(std::vector<std::uint8_t>& out, std::uint16_t v)
{
    std::uint8_t b[2];
    plat::WriteU16LE(b, v);
    out.insert(out.end(), b, b + 2);
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    std::uint8_t b[4];
    plat::WriteU32LE(b, v);
    out.insert(out.end(), b, b + 4);
}

// Writes the span table of every row; unitBytes is the size of one stored value (2 heights, 3 colours).
template <typename EmitValue>
std::vector<std::uint8_t> Encode(const SpanPicture& p, const char* magic, std::size_t magicLen, int unitBytes,
                                 EmitValue emit)
{
    std::vector<std::uint8_t> table, values;
    std::uint32_t count = 0;
    for (int r = 0; r < p.rows; ++r) {
        std::vector<std::pair<int, int>> spans;
        for (int c = 0; c < p.width;) {
            if (!p.opaque[r * p.width + c]) {
                ++c;
                continue;
            }
            const int start = c;
            while (c < p.width && p.opaque[r * p.width + c])
                ++c;
            spans.push_back({start, c - 1});
        }
        Put16(table, static_cast<std::uint16_t>(spans.size()));
        for (const auto& [x0, x1] : spans) {
            Put16(table, static_cast<std::uint16_t>(x0));
            Put16(table, static_cast<std::uint16_t>(x1));
            Put32(table, count * (unitBytes == 3 ? 3u : 1u));
            for (int c = x0; c <= x1; ++c, ++count)
                emit(values, r * p.width + c);
        }
    }
    std::vector<std::uint8_t> out(magic, magic + magicLen);
    Put16(out, static_cast<std::uint16_t>(p.width));
    Put16(out, static_cast<std::uint16_t>(p.rows));
    Put32(out, unitBytes == 3 ? count * 3 : count);
    out.insert(out.end(), table.begin(), table.end());
    out.insert(out.end(), values.begin(), values.end());
    return out;
}

} // namespace

std::vector<std::uint8_t> EncodeIMg(const SpanPicture& p)
{
    return Encode(p, "~cIMg", 5, 3, [&](std::vector<std::uint8_t>& v, int i) {
        v.insert(v.end(), &p.rgb[i * 3], &p.rgb[i * 3] + 3);
    });
}

std::vector<std::uint8_t> EncodeHMap(const SpanPicture& p)
{
    return Encode(p, "~cHMap", 6, 2, [&](std::vector<std::uint8_t>& v, int i) { Put16(v, p.heights[i]); });
}

SpanPicture MakeBlockPicture(int width, int rows, std::uint8_t red, std::uint8_t green, std::uint8_t blue)
{
    SpanPicture p;
    p.width = width;
    p.rows = rows;
    p.opaque.assign(static_cast<std::size_t>(width) * rows, 0);
    p.rgb.assign(static_cast<std::size_t>(width) * rows * 3, 0);
    p.heights.assign(static_cast<std::size_t>(width) * rows, 0);
    const int roof = rows / 3;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < width; ++c) {
            // A gabled outline: the roof narrows toward the top, so rows hold one span each but of
            // varying length, and the corners stay transparent.
            const int inset = r < roof ? (roof - r) * width / (2 * roof + 2) : 0;
            if (c < inset || c >= width - inset)
                continue;
            const int i = r * width + c;
            p.opaque[i] = 1;
            const int shade = c < width / 2 ? 100 : 70; // lit and shadowed sides
            p.rgb[i * 3 + 0] = static_cast<std::uint8_t>(red * shade / 100);
            p.rgb[i * 3 + 1] = static_cast<std::uint8_t>(green * shade / 100);
            p.rgb[i * 3 + 2] = static_cast<std::uint8_t>(blue * shade / 100);
            p.heights[i] = static_cast<std::uint16_t>(rows - 1 - r);
        }
    }
    return p;
}

SpanPicture MakePennantPicture(int width, int rows)
{
    SpanPicture p;
    p.width = width;
    p.rows = rows;
    p.opaque.assign(static_cast<std::size_t>(width) * rows, 0);
    p.rgb.assign(static_cast<std::size_t>(width) * rows * 3, 255);
    p.heights.assign(static_cast<std::size_t>(width) * rows, 0);
    const int pole = width / 2;
    const int top = 1, poleRows = std::max(rows / 4, 4);
    for (int r = top; r < top + poleRows && r < rows; ++r) {
        p.opaque[static_cast<std::size_t>(r) * width + pole] = 1;
        // The cloth narrows from the pole outward over the upper half of the pole.
        const int cloth = r - top < poleRows / 2 ? (poleRows / 2 - (r - top)) * 2 : 0;
        for (int c = pole + 1; c <= pole + cloth && c < width; ++c)
            p.opaque[static_cast<std::size_t>(r) * width + c] = 1;
    }
    for (std::size_t i = 0; i < p.heights.size(); ++i)
        p.heights[i] = static_cast<std::uint16_t>(rows - i / width);
    return p;
}

void AddHousePhase(std::vector<LesSource>& entries, std::uint16_t code, const SpanPicture& picture,
                   const SpanPicture& overlay)
{
    const std::string base = "phase" + std::to_string(code);
    entries.push_back({base + ".img", code, EncodeIMg(picture)});
    entries.push_back({base + ".hmap", static_cast<std::uint16_t>(code + 2), EncodeHMap(picture)});
    if (overlay.width > 0)
        entries.push_back({base + "_mask.img", static_cast<std::uint16_t>(code + 3), EncodeIMg(overlay)});
}

bool WriteSpanImages(const std::string& outDir)
{
    // Construction (0), standing (10) and ruin (50) phases of one house.
    std::vector<LesSource> entries;
    AddHousePhase(entries, 0, MakeBlockPicture(96, 48, 150, 140, 120), SpanPicture{});
    AddHousePhase(entries, 10, MakeBlockPicture(96, 96, 170, 90, 60), MakePennantPicture(96, 96));
    AddHousePhase(entries, 50, MakeBlockPicture(96, 32, 70, 60, 55), SpanPicture{});
    return WriteLesArchive(outDir, "Data\\Objects\\Houses\\SampleHouse.les", entries);
}

} // namespace sampledata

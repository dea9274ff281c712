// Feeds arbitrary bytes as the frame entries of an animation slot's archive: the slot is loaded
// (raw frames and BMP frames into textures) and released again. The first byte chooses how many
// entries the rest splits into; every few inputs the frames are made to look like raw frames of
// the size their first bytes claim, so that the raw path's size rules are reached often.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "archives.h"
#include "device_once.h"
#include "parameters.h"
#include "scratch_root.h"
#include "units/anim_slots.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2 || !OpenDeviceOnce())
        return 0;
    const std::string& root = ScratchGameRoot("animation-slot");
    const int count = 1 + data[0] % 4;
    const bool shapeAsRaw = (data[0] & 0x80) != 0;
    const std::size_t n = size - 1;
    std::vector<sampledata::LesSource> entries;
    for (int i = 0; i < count; ++i) {
        const std::size_t from = n * i / count;
        const std::size_t to = n * (i + 1) / count;
        std::vector<std::uint8_t> frame(data + 1 + from, data + 1 + to);
        if (shapeAsRaw && frame.size() >= 3) {
            // One of the two raw sizes for the width and height the entry names (kept small).
            frame[0] = static_cast<std::uint8_t>(1 + frame[0] % 16);
            frame[2] = static_cast<std::uint8_t>(1 + frame[2] % 16);
            const std::size_t pixels = std::size_t{frame[0]} * frame[2] * 2;
            frame.resize(pixels + ((frame[1] & 1) ? ANIMATION_RAW_FRAME_HEAD : 4), 0);
        }
        entries.push_back({"f" + std::to_string(i), static_cast<std::uint16_t>(i + 1), frame});
    }
    if (!sampledata::WriteLesArchive(root, "Data/Objects/Animation/Fuzz.les", entries))
        return 0;
    // One list per frame count, made once: the list writer's buffer is large to set up.
    static std::vector<std::vector<std::uint8_t>> lists = [] {
        std::vector<std::vector<std::uint8_t>> made;
        for (std::uint8_t frames = 0; frames <= 5; ++frames)
            made.push_back(sampledata::BuildAnimationList({{"Fuzz", 0, 1.0f, frames}}));
        return made;
    }();
    // Sometimes one frame more than the archive holds.
    if (!ParseAnimationList(lists[static_cast<std::size_t>(count + data[0] % 2)]))
        return 0;
    LoadAnimation(0);
    FreeAnimations();
    return 0;
}

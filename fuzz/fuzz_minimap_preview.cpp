// Feeds arbitrary bytes to the minimap preview's readers: as a preview file image (accepted only
// when it inflates to exactly the picture) and as the raw stream a save game hands to
// CreateMiniMap (accepted only when it holds the whole picture, whose pixels then stand in the
// texture unchanged).
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <vector>

#include "archives.h"
#include "core/memory_stream.h"
#include "device_once.h"
#include "map/minimap.h"
#include "platform/bytes.h"
#include "platform/texture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (!OpenDeviceOnce())
        return 0;
    plat::Texture* t = ReadMiniMapPreview({data, size}, "fuzz");
    if (t)
        t->Release();

    // Odd first bytes: a picture of the right size or near it, packed as a real file, so the
    // accepting path is reached too.
    if (size >= 3 && (data[0] & 1)) {
        std::vector<std::uint8_t> raw(static_cast<std::size_t>(MINIMAP_IMAGE_BYTES) + (data[1] % 5) - 2, data[2]);
        for (std::size_t i = 3; i < size && i - 3 < raw.size(); ++i)
            raw[i - 3] = data[i];
        const std::vector<std::uint8_t> file = sampledata::BuildCompressedFile(raw);
        t = ReadMiniMapPreview(file, "fuzz");
        if ((t != nullptr) != (raw.size() == static_cast<std::size_t>(MINIMAP_IMAGE_BYTES)))
            std::abort();
        if (t) {
            for (int y = 0; y < MINIMAP_SIZE; ++y)
                for (int x = 0; x < MINIMAP_SIZE; ++x)
                    if (t->Pixels().Row16(y)[x] != plat::ReadU16LE(raw.data() + 2 * (y * MINIMAP_SIZE + x)))
                        std::abort();
            t->Release();
        }
    }

    TIfStreamMemory in(data, static_cast<std::int32_t>(size));
    t = CreateMiniMap(in);
    if ((t != nullptr) != (size >= static_cast<std::size_t>(MINIMAP_IMAGE_BYTES)))
        std::abort();
    if (t)
        t->Release();
    return 0;
}

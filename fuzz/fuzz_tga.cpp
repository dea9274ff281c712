// Feeds arbitrary bytes to the TGA reader through a file, as the game loads it.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "device_once.h"
#include "devices/image_files.h"
#include "platform/texture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (!OpenDeviceOnce())
        return 0;
    TImageTga image;
    if (!ParseTga({data, size}, image) || image.width >= kFuzzMaxTextureSide || image.height >= kFuzzMaxTextureSide)
        return 0;
    static const std::string path = "fuzz_tga_" + std::to_string(getpid()) + ".tga";
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
        if (plat::Texture* t = LoadTextureTga(path.c_str()))
            t->Release();
        std::remove(path.c_str());
    }
    return 0;
}

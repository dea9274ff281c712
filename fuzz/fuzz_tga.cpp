// Feeds arbitrary bytes to the TGA reader through a file, as the game loads it. The first byte
// chooses which header fields are made plausible, so that the identification field, colour map
// and pixel handling are reached often and not only the refusals of other kinds of picture.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

#include "device_once.h"
#include "devices/image_files.h"
#include "platform/texture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (!OpenDeviceOnce() || size == 0)
        return 0;
    const std::uint8_t mode = data[0];
    std::vector<std::uint8_t> bytes(data + 1, data + size);
    if ((mode & 1) && bytes.size() >= kTgaHeaderSize) {
        bytes[2] = 2;   // uncompressed true colour
        bytes[16] = 32; // bits per pixel
    }
    if ((mode & 2) && bytes.size() >= kTgaHeaderSize) {
        bytes[0] %= 8;        // a short identification field
        bytes[1] = mode >> 7; // with or without a colour map
        bytes[6] = 0;         // of at most 255 entries
        // sizes that the remaining bytes can nearly hold
        bytes[12] = bytes[12] % 9, bytes[13] = 0;
        bytes[14] = bytes[14] % 5, bytes[15] = 0;
    }
    TImageTga image;
    if (!ParseTga(bytes, image) || image.width >= kFuzzMaxTextureSide || image.height >= kFuzzMaxTextureSide)
        return 0;
    static const std::string path = "fuzz_tga_" + std::to_string(getpid()) + ".tga";
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        if (plat::Texture* t = LoadTextureTga(path.c_str()))
            t->Release();
        std::remove(path.c_str());
    }
    return 0;
}

#include "core/file_bytes.h"

#include <cstdio>

#include "platform/paths.h"

bool ReadGameFile(const char* gamePath, std::vector<std::uint8_t>& out, std::size_t maxSize)
{
    out.clear();
    if (!gamePath || !*gamePath)
        return false;
    const std::string host = plat::ResolvePath(gamePath);
    if (plat::IsDirectory(host))
        return false;
    std::FILE* f = std::fopen(host.c_str(), "rb");
    if (!f)
        return false;
    bool ok = std::fseek(f, 0, SEEK_END) == 0;
    const long length = ok ? std::ftell(f) : -1;
    ok = ok && length >= 0 && static_cast<unsigned long>(length) <= maxSize && std::fseek(f, 0, SEEK_SET) == 0;
    if (ok) {
        out.resize(static_cast<std::size_t>(length));
        ok = length == 0 || std::fread(out.data(), 1, out.size(), f) == out.size();
    }
    std::fclose(f);
    if (!ok)
        out.clear();
    return ok;
}

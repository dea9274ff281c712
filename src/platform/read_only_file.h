#pragma once
// A file opened for reading only, read at explicit offsets. Several threads may read one open file
// at once: no read moves a shared file position.
#include <cstddef>
#include <cstdint>
#include <string>

namespace plat {

class ReadOnlyFile {
public:
    ReadOnlyFile() = default;
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    // Opens a host path (already resolved); false for a missing file or a folder. The size is
    // taken at opening.
    bool Open(const std::string& hostPath);
    void Close();
    bool IsOpen() const { return m_Fd >= 0; }
    std::uint64_t Size() const { return m_Size; }

    // Reads exactly size bytes at offset; false on an error or a short read.
    bool ReadAt(std::uint64_t offset, void* destination, std::size_t size) const;

private:
    int m_Fd = -1;
    std::uint64_t m_Size = 0;
};

} // namespace plat

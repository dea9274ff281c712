#include "platform/read_only_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace plat {

ReadOnlyFile::~ReadOnlyFile()
{
    Close();
}

bool ReadOnlyFile::Open(const std::string& hostPath)
{
    Close();
    const int fd = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    m_Fd = fd;
    m_Size = static_cast<std::uint64_t>(st.st_size);
    return true;
}

void ReadOnlyFile::Close()
{
    if (m_Fd >= 0)
        ::close(m_Fd);
    m_Fd = -1;
    m_Size = 0;
}

bool ReadOnlyFile::ReadAt(std::uint64_t offset, void* destination, std::size_t size) const
{
    if (m_Fd < 0)
        return false;
    auto* out = static_cast<std::uint8_t*>(destination);
    while (size > 0) {
        if (offset > static_cast<std::uint64_t>(INT64_MAX))
            return false;
        const ssize_t got = ::pread(m_Fd, out, size, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        out += got;
        offset += static_cast<std::uint64_t>(got);
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

} // namespace plat

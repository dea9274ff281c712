#include "platform/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace plat {

namespace {
int g_LockFd = -1;

std::string LockPath(const char* windowClass, const char* windowTitle)
{
    const char* dir = std::getenv("XDG_RUNTIME_DIR");
    std::string path = (dir && *dir) ? dir : "/tmp";
    std::string name = std::string(windowClass ? windowClass : "") + "-" + (windowTitle ? windowTitle : "");
    // The title ends in a blank; keep the name a plain file name.
    for (char& c : name)
        if (c == ' ' || c == '/')
            c = '_';
    return path + "/" + name + "-" + std::to_string(getuid()) + ".lock";
}
} // namespace

bool AcquireSingleInstance(const char* windowClass, const char* windowTitle)
{
    if (g_LockFd >= 0)
        return true;
    const std::string path = LockPath(windowClass, windowTitle);
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return true; // no runtime folder to lock in: do not refuse to run
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return false;
    }
    g_LockFd = fd;
    return true;
}

void ReleaseSingleInstance()
{
    if (g_LockFd >= 0) {
        close(g_LockFd);
        g_LockFd = -1;
    }
}

} // namespace plat

#pragma once
// A private game folder for a fuzz run, made the game root on first use and removed at exit.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/paths.h"

inline const std::string& ScratchGameRoot(const char* tag)
{
    // Never destroyed: the exit handler below still reads it.
    static const std::string& root = *new std::string([tag] {
        std::string r = std::string("/tmp/korvela-fuzz-") + tag + "-" + std::to_string(getpid());
        std::filesystem::create_directories(r);
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(ScratchGameRoot(""), ec);
        });
        plat::SetGameRoot(r);
        return r;
    }());
    return root;
}

// korvela-sampledata OUT_DIR: writes a complete sample game folder.
#include <cstdio>

#include "sample_data.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: korvela-sampledata OUT_DIR\n");
        return 2;
    }
    if (!sampledata::WriteGameFolder(argv[1])) {
        std::fprintf(stderr, "korvela-sampledata: failed, see ReportError.log\n");
        return 1;
    }
    std::printf("sample game folder written to %s\n", argv[1]);
    return 0;
}

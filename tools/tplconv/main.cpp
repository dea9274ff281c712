// korvela-tplconv TEXT TPL: reads an authored text template and writes its binary form. Paths are
// taken as they are (relative to the current folder); errors go to the error log and the exit
// status.
#include <cstdio>
#include <memory>

#include "platform/paths.h"
#include "players/template.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: korvela-tplconv TEXT TPL\n");
        return 2;
    }
    auto t = std::make_unique<TTemplate>();
    if (!t->LoadTemplateFromFile(argv[1])) {
        std::fprintf(stderr, "korvela-tplconv: cannot read the text template %s\n", argv[1]);
        return 1;
    }
    if (!t->SaveTemplateToFile(argv[2])) {
        std::fprintf(stderr, "korvela-tplconv: cannot write %s\n", argv[2]);
        return 1;
    }
    std::printf("%s: %d levels\n", argv[2], t->LevelCount);
    return 0;
}

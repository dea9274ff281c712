#include <string>

#include "game/game_main.h"

// The command line reaches the game as one text, the arguments joined by blanks.
int main(int argc, char** argv)
{
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            line += ' ';
        line += argv[i];
    }
    return KorvelaMain(line.c_str());
}

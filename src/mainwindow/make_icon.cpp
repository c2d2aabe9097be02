// SPDX-License-Identifier: Apache-2.0
// Build step: writes the program icon as a PNG of the given size, for the
// desktop's icon theme.
#include <cstdio>
#include <cstdlib>

#include "program_art.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_icon SIZE FILE.png\n");
        return 2;
    }
    return IconImage(std::atoi(argv[1])).save(QString::fromLocal8Bit(argv[2]), "PNG") ? 0 : 1;
}

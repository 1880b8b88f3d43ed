// Draws the program's icon into a PNG file for installation: corvane-make-icon FILE SIZE.

#include "ui/Pictures.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("Usage: corvane-make-icon FILE SIZE\n", stderr);
        return 2;
    }
    const int size = std::atoi(argv[2]);
    if (size < 16 || size > 1024) {
        std::fputs("corvane-make-icon: SIZE must be 16 to 1024\n", stderr);
        return 2;
    }
    if (!ProgramIconImage(size).save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "corvane-make-icon: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}

// corvane-bench-make FOLDER COLUMNS PAGES [ENCODING [markdown]]: writes a large project for
// benchmarks; ENCODING is the font dialog's name of its character set, UTF-8 when left out;
// "markdown" makes its texts Markdown.
#include "bench/BenchProject.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

int main(int argc, char** argv) {
    const bool markdown = argc == 6 && std::string(argv[5]) == "markdown";
    if ((argc != 4 && argc != 5 && argc != 6) || (argc == 6 && !markdown)) {
        std::fputs("Usage: corvane-bench-make FOLDER COLUMNS PAGES [ENCODING [markdown]]\n",
                   stderr);
        return 2;
    }
    int columns = std::atoi(argv[2]), pages = std::atoi(argv[3]);
    if (columns < 0 || columns > 100 || pages < 0 || pages > 1000) {
        std::fputs("corvane-bench-make: COLUMNS is 0 to 100, PAGES 0 to 1000\n", stderr);
        return 2;
    }
    try {
        MakeBenchProject(argv[1], columns, pages, argc >= 5 ? argv[4] : "UTF-8", markdown);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "corvane-bench-make: %s\n", e.what());
        return 1;
    }
    return 0;
}

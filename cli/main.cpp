#include "cli/Commands.h"

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

namespace {

void PrintUsage(std::FILE* to) {
    std::fputs("Usage: corvane-cli COMMAND ...\n"
               "\n"
               "  check PROJECT_FOLDER                   open a project and report what it holds\n"
               "  build PROJECT_FOLDER [--into FOLDER]   build the site (into HTML, or FOLDER)\n"
               "  publish PROJECT_FOLDER [--yes] [--no-build]\n"
               "                                         build and upload the site by FTP\n"
               "  --version                              print the program's version\n",
               to);
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        PrintUsage(stderr);
        return 2;
    }
    std::string command = args.front();
    args.erase(args.begin());
    try {
        if (command == "--version" || command == "version") {
            std::printf("Corvane %s\n", CORVANE_VERSION);
            return 0;
        }
        if (command == "--help" || command == "-h" || command == "help") {
            PrintUsage(stdout);
            return 0;
        }
        if (command == "check")
            return RunCheck(args);
        if (command == "build")
            return RunBuild(args);
        if (command == "publish")
            return RunPublish(args);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "corvane-cli: %s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "corvane-cli: unknown command \"%s\"\n\n", command.c_str());
    PrintUsage(stderr);
    return 2;
}

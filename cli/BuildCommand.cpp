// PLACEHOLDER: replaced by the real command.
#include "cli/Commands.h"

#include <cstdio>

int RunBuild(const std::vector<std::string>&) {
    std::fputs("corvane-cli: this command is not available yet\n", stderr);
    return 2;
}

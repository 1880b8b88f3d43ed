#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/Usage.h"

#include "platform/Text.h"

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return UsageError("no command given", ProgramUsage);
    std::string command = args.front();
    args.erase(args.begin());
    try {
        if (command == "--version" || command == "version") {
            if (!args.empty())
                return UsageError("unexpected argument \"" + args.front() + "\"", ProgramUsage);
            std::printf("Corvane %s\n", CORVANE_VERSION);
            return 0;
        }
        if (command == "--help" || command == "-h" || command == "help") {
            if (args.empty()) {
                std::fputs(ProgramUsage, stdout);
                return 0;
            }
            if (args.front() == "targets" && args.size() == 1) {
                std::fputs(PublishTargetsText().c_str(), stdout);
                return 0;
            }
            const char* usage = CommandUsage(args.front());
            if (!usage || args.size() > 1)
                return UsageError(usage ? "unexpected argument \"" + args[1] + "\""
                                        : "unknown command \"" + args.front() + "\"",
                                  ProgramUsage);
            std::fputs(usage, stdout);
            return 0;
        }
        if (command == "check")
            return RunCheck(args);
        if (command == "build")
            return RunBuild(args);
        if (command == "publish")
            return RunPublish(args);
        if (command == "connect")
            return RunConnect(args);
        if (command == "export")
            return RunExport(args);
        if (command == "import")
            return RunImport(args);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "corvane-cli: %s\n", ControlCharactersShown(e.what()).c_str());
        return 1;
    }
    if (command.size() > 1 && command[0] == '-')
        return UsageError("unknown option \"" + command + "\"", ProgramUsage);
    return UsageError("unknown command \"" + command + "\"", ProgramUsage);
}

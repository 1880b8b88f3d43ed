#include "cli/CommandLine.h"

#include <cstdio>

std::string TCommandLine::Value(const std::string& name) const {
    auto found = Options.find(name);
    return found == Options.end() ? std::string() : found->second;
}

int UsageError(const std::string& message, const char* usage) {
    std::fprintf(stderr, "corvane-cli: %s\n%s", message.c_str(), usage);
    return 2;
}

namespace {

const TKnownOption* FindOption(const std::vector<TKnownOption>& options, const std::string& name) {
    for (const TKnownOption& option : options)
        if (option.Name == name || (!option.Short.empty() && option.Short == name))
            return &option;
    return nullptr;
}

} // namespace

bool ParseCommandLine(const std::vector<std::string>& args,
                      const std::vector<TKnownOption>& options, std::size_t arguments,
                      const char* usage, TCommandLine& line, int& status) {
    return ParseCommandLine(args, options, std::vector<std::string>(arguments, "project folder"),
                            arguments, usage, line, status);
}

bool ParseCommandLine(const std::vector<std::string>& args,
                      const std::vector<TKnownOption>& options,
                      const std::vector<std::string>& names, std::size_t required,
                      const char* usage, TCommandLine& line, int& status) {
    const std::size_t arguments = names.size();
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            if (line.Arguments.size() == arguments) {
                status = UsageError("unexpected argument \"" + arg + "\"", usage);
                return false;
            }
            line.Arguments.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            std::fputs(usage, stdout);
            status = 0;
            return false;
        }
        const std::size_t equals = arg.rfind("--", 0) == 0 ? arg.find('=') : std::string::npos;
        const std::string name = arg.substr(0, equals);
        const TKnownOption* option = FindOption(options, name);
        if (!option || (equals != std::string::npos && !option->TakesValue)) {
            status = UsageError("unknown option \"" + arg + "\"", usage);
            return false;
        }
        if (line.Has(option->Name)) {
            status = UsageError("the option " + option->Name + " is given twice", usage);
            return false;
        }
        std::string value;
        if (option->TakesValue) {
            if (equals != std::string::npos)
                value = arg.substr(equals + 1);
            else if (i + 1 < args.size())
                value = args[++i];
            if (value.empty()) {
                status = UsageError("the option " + option->Name + " needs a value", usage);
                return false;
            }
        }
        line.Options[option->Name] = value;
    }
    if (line.Arguments.size() < required) {
        status = UsageError("the " + names[line.Arguments.size()] + " is missing", usage);
        return false;
    }
    return true;
}

const char* Plural(std::int64_t count) {
    return count == 1 ? "" : "s";
}

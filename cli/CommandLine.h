#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// How a sub-command's arguments are taken apart, the same way for every command: options
// ("--name", "--name=value", "--name value", or a one-letter "-n"), "--" after which
// everything is an argument, and the arguments (a lone "-" is one). "-h" and "--help" are
// known to every command.

struct TKnownOption {
    std::string Name;  // "--into"
    std::string Short; // "-y", or empty
    bool TakesValue = false;
};

struct TCommandLine {
    std::vector<std::string> Arguments;
    std::map<std::string, std::string> Options; // by Name; an option without a value holds ""
    bool Has(const std::string& name) const { return Options.count(name) != 0; }
    std::string Value(const std::string& name) const;
};

// Parses args for a command that takes exactly `arguments` arguments (every command takes
// one, the project folder, so that is what a missing one is called). Returns true when the
// command is to go on with `line`. Otherwise `status` is the exit status to end with: 0 after
// --help printed the usage on stdout, or 2 after a one-line error (an unknown option, an
// option given twice or without its value, a missing or an unexpected argument) and the usage
// on stderr.
bool ParseCommandLine(const std::vector<std::string>& args,
                      const std::vector<TKnownOption>& options, std::size_t arguments,
                      const char* usage, TCommandLine& line, int& status);

// The same for a command whose arguments are named by names (a missing one is called by its
// name): the first `required` of them must be given, the others may.
bool ParseCommandLine(const std::vector<std::string>& args,
                      const std::vector<TKnownOption>& options,
                      const std::vector<std::string>& names, std::size_t required,
                      const char* usage, TCommandLine& line, int& status);

// "s" after a count other than one: "3 file" + Plural(3).
const char* Plural(std::int64_t count);

// Prints "corvane-cli: " + message on one line, then the usage, on stderr; returns 2.
int UsageError(const std::string& message, const char* usage);

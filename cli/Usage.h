#pragma once

#include <string>

// The help texts of corvane-cli: the program's usage, listing every command and option, and
// each command's own (corvane-cli COMMAND --help). The manual page corvane-cli(1) says the
// same at more length.
extern const char* const ProgramUsage;
extern const char* const CheckUsage;
extern const char* const BuildUsage;
extern const char* const PublishUsage;
extern const char* const ConnectUsage;
extern const char* const ExportUsage;
extern const char* const ImportUsage;

// The publishing targets, one line each: the name PROTOCOL stores and what it reaches
// (corvane-cli help targets, the usages of publish and connect, the manual page).
std::string PublishTargetsText();

// The usage of the named command; null for a name that is not a command.
const char* CommandUsage(const std::string& command);

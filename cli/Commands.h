#pragma once

#include <string>
#include <vector>

// The sub-commands of corvane-cli. Each gets the arguments after its name and returns the
// process exit status.
int RunCheck(const std::vector<std::string>& args);
int RunBuild(const std::vector<std::string>& args);
int RunPublish(const std::vector<std::string>& args);
int RunConnect(const std::vector<std::string>& args);
int RunExport(const std::vector<std::string>& args);
int RunImport(const std::vector<std::string>& args);

#pragma once

#include <string>

// The folder as a full path without a closing separator.
std::string FullPath(const std::string& folder);

// Checks that the folder named on the command line holds a project, without making
// anything. On success folder is its full path and the result is true; otherwise the reason
// has been printed and the result is false.
bool FindProjectFolder(const std::string& given, std::string& folder);

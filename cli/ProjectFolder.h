#pragma once

#include "model/CProject.h"
#include "platform/XmlDocument.h"

#include <memory>
#include <string>

// The folder as a full path without a closing separator.
std::string FullPath(const std::string& folder);

// Checks that the folder named on the command line holds a project, without making
// anything. On success folder is its full path and the result is true; otherwise the reason
// has been printed and the result is false.
bool FindProjectFolder(const std::string& given, std::string& folder);

// Opens the project in the folder named on the command line; none, with the reason printed,
// when there is no project there or it cannot be read.
std::unique_ptr<TDProject> OpenProject(const std::string& given, TXmlDocument& document,
                                       TDProject::TOpening opening = TDProject::TOpening::Work);

#pragma once

// The build driver's entry for callers that want to choose the output folder freely and
// learn what a build wrote (corvane-cli's build command).

#include "model/CProject.h"

#include <cstdint>
#include <functional>
#include <string>

// What one build wrote: each file counted once, however often it was replaced during the
// build, with its final size (for a page, its bytes in the character set it declares).
struct TBuildStats {
    int Files = 0;
    std::int64_t Bytes = 0;
    int Columns = 0;   // column documents read
    int PageFiles = 0; // page files written, the homepage included
    // Full path of the homepage file, empty when the build wrote none (links only).
    std::string Homepage;
    // Pictures and downloads that are there but could not be written into the folder, and
    // the first of them ("name: reason").
    int CopyFailures = 0;
    std::string FirstCopyFailure;
};

// "N pictures or downloads could not be written, the first NAME: reason", or empty when
// every copy was written.
std::string CopyFailureText(const TBuildStats& stats);

// Called before each column is built with its number (from 1) and the number of columns.
using TBuildProgress = std::function<void(int column, int columns)>;

// Builds the whole site into folder, an existing folder given by its full path; deletes
// nothing. Build(project, name) is BuildInto(project, project.Folder + "/" + name).
void BuildInto(TDProject& project, const std::string& folder, TBuildStats* stats = nullptr,
               const TBuildProgress& progress = {});

#pragma once

// What lives as long as one build: the page skeleton, worked out once, and the files
// written so far. The build driver hangs it on TDProject::BuildState for the length of the
// build; outside a build there is none, and every page works out its skeleton afresh.

#include "generator/PageSkeleton.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>

struct TBuildState {
    // A file written into the output folder. Source is the picture or download it was
    // copied from, empty for page files.
    struct TWrittenFile {
        std::int64_t Size = 0;
        std::string Source;
    };

    TPageSkeleton Skeleton;
    // By name, so a file replaced during the build counts once.
    std::unordered_map<std::string, TWrittenFile> Files;

    // Pictures and downloads whose source is there but whose copy could not be written, and
    // the first of them with the reason.
    int CopyFailures = 0;
    std::string FirstCopyFailure;

    void Record(const std::string& name, std::int64_t size, std::string source) {
        TWrittenFile& file = Files[name];
        file.Size = size;
        file.Source = std::move(source);
    }
};

#pragma once

// What lives as long as one build: the page skeleton, worked out once, and the files
// written so far. The build driver hangs it on TDProject::BuildState for the length of the
// build; outside a build there is none, and every page works out its skeleton afresh.

#include "generator/PageSkeleton.h"
#include "platform/Locale.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

struct TBuildState {
    // A file written into the output folder. Source is the picture or download it was
    // copied from, empty for page files.
    struct TWrittenFile {
        std::int64_t Size = 0;
        std::string Source;
        // A JPEG written scaled down: its own size and the size it was written at.
        int SourceWidth = 0;
        int SourceHeight = 0;
        int Width = 0;
        int Height = 0;
    };

    // A page file for the sitemap, with the date of its newest page when that can be read.
    struct TSitePage {
        std::string File;
        std::optional<TDate> Date;
    };

    TPageSkeleton Skeleton;
    // By name, so a file replaced during the build counts once.
    std::unordered_map<std::string, TWrittenFile> Files;

    // Scaled copies of pictures that this build could not make (no source, a name taken, a
    // picture too small to scale), by their name and source's path, each asked once.
    std::unordered_set<std::string> UnmadeCopies;

    // Pictures and downloads whose source is there but whose copy could not be written, and
    // the first of them with the reason.
    int CopyFailures = 0;
    std::string FirstCopyFailure;

    // The page files in the order they were written, for the sitemap (only when it is wanted).
    std::vector<TSitePage> SitePages;
    // What the build has to tell its user, each said once ("No sitemap was written: ...").
    std::vector<std::string> Notes;
    // Links and pictures of Markdown texts that name nothing there (each also a note), and
    // the first of them.
    int TextProblems = 0;
    std::string FirstTextProblem;
    // The file of each page with an ID, read from the column documents when a text first
    // links to a page (TSiteTextTargets).
    std::unordered_map<std::string, std::string> PageFiles;
    bool PageFilesRead = false;
    // The hotspot's text as HTML, the same on every page, made once a build: a Markdown text
    // by the level of its first heading, one as typed (modern pages) under TypedHotspot.
    static constexpr int TypedHotspot = -1;
    std::map<int, std::string> HotspotHtml;

    // What the page writer of the build's design works out once for every page (the modern
    // design's menu and colours); none for the classic design, whose skeleton is above.
    std::shared_ptr<void> DesignShared;

    void Record(const std::string& name, std::int64_t size, std::string source) {
        TWrittenFile& file = Files[name];
        file = TWrittenFile();
        file.Size = size;
        file.Source = std::move(source);
    }
};

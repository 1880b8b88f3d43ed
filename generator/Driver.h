#pragma once

// The build driver's entry for callers that want to choose the output folder freely and
// learn what a build wrote (corvane-cli's build command).

#include "model/CProject.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

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
    // What the build has to tell its user, each once: why an option wrote nothing, a link
    // of a Markdown text to a page that was removed.
    std::vector<std::string> Notes;
    // The links and pictures of Markdown texts that name nothing there (among the notes),
    // and the first of them.
    int TextProblems = 0;
    std::string FirstTextProblem;
    // The build was stopped by its TBuildControl before it wrote every file.
    bool Cancelled = false;
};

// "N pictures or downloads could not be written, the first NAME: reason", or empty when
// every copy was written.
std::string CopyFailureText(const TBuildStats& stats);
// The first link or picture of a Markdown text that names nothing there, with how many
// there are when more ("... (3 links or pictures name nothing)"); empty when none.
std::string TextProblemText(const TBuildStats& stats);

// Called before each column is built with its number (from 1) and the number of columns.
using TBuildProgress = std::function<void(int column, int columns)>;

class TBuildControl;

// Builds the whole site into folder, an existing folder given by its full path; deletes
// nothing. Build(project, name) is BuildInto(project, project.Folder + "/" + name).
// With control, another thread can stop the build before any page file (stats then says
// Cancelled; the files written so far stay, the feeds and the sitemap are not written) and
// read how many page files it has written of how many.
void BuildInto(TDProject& project, const std::string& folder, TBuildStats* stats = nullptr,
               const TBuildProgress& progress = {}, TBuildControl* control = nullptr);

// Writes the one page file fileName ("Default.htm", "Page3.htm", "Page3_7.htm") into folder
// with exactly the bytes that BuildInto writes for it, and the pictures and downloads that
// the build writes before it and it shows; reads only the column documents of the homepage
// and of that page. False, writing nothing, when the whole build writes no such page file.
bool BuildPageInto(TDProject& project, const std::string& folder, const std::string& fileName);
// The homepage alone, as BuildPageInto of its name; false when the build writes none
// (a menu list of links only).
bool BuildHomepageInto(TDProject& project, const std::string& folder);

#pragma once

#include "generator/MarkdownTargets.h"
#include "model/CProject.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Whether the item's pages are files of their own; a listing that holds its pages' texts
// ("Contents", "Title list and contents") writes none.
bool WritesPageFiles(const TDMenuItem& item);

// What a Markdown text's references to this site stand for in a build: "page:ID" is the
// page's current file (or its column's listing when it has no file of its own), found by its
// ID however the pages were moved; "download:NAME" and "image:NAME" are files of the
// Downloads and Images folders, copied beside the pages as the pages' own are. A reference
// that names nothing there is told in Problems, in the words of the build summary and the
// check ("Page 'Spring tour' links to a page that was removed.").
class TSiteTextTargets : public TMarkdownTargets {
  public:
    // Copying off: only looks (the check).
    TSiteTextTargets(TDProject& project, bool copy);

    // Who the next texts belong to, as the problems name it: "Page 'Spring tour'", "The hotspot".
    void SetOwner(std::string owner) { FOwner = std::move(owner); }

    std::string SiteLink(std::string_view kind, std::string_view name) override;
    bool Picture(std::string_view name, std::string_view alt, std::string_view title,
                 std::string& html) override;
    bool PagePicture(std::string_view address, std::string_view alt, std::string& html) override;

    // The problems found so far, each once, in the order found.
    const std::vector<std::string>& Problems() const { return FProblems; }

    // The file (and anchor) of every page that has an ID, by its ID: read from every column
    // document of the project; a column that cannot be read gives none.
    static std::unordered_map<std::string, std::string> ReadPageFiles(const TDProject& project);

    // A file name as a text writes it after "download:" or "image:", and as an href or src
    // holds it: every byte but letters, digits and "-._~" as %XX ("My photo.jpg" is
    // "My%20photo.jpg"), so that "#", "?", "%" and blanks stay part of the name.
    static std::string EncodedName(std::string_view name);
    // The name such a text means: %XX read back; a "%" that starts no such pair, or one that
    // would give a control character, stays as written.
    static std::string DecodedName(std::string_view written);

  private:
    const std::unordered_map<std::string, std::string>& PageFiles();
    // The file of folder a text names (written encoded, or as it is in texts written before),
    // or empty.
    static std::string ExistingFile(const std::string& folder, std::string_view written);
    // Tells FOwner + what, and after a what that ends in ": " the name in quotes and a full stop.
    void Problem(std::string_view what, std::string_view name);
    // Appends the tag of the picture part of the Images folder.
    void AppendPicture(const std::string& part, std::string_view alt, std::string_view title,
                       std::string& html);

    TDProject& FProject;
    bool FCopy;
    std::string FOwner;
    std::vector<std::string> FProblems;
    // Outside a build, where the build state keeps none.
    std::unordered_map<std::string, std::string> FPageFiles;
    bool FPageFilesRead = false;
};

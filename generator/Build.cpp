// The build driver: which files a build writes, their names and order.

#include "generator/BuildControl.h"
#include "generator/BuildState.h"
#include "generator/Driver.h"
#include "generator/Generator.h"
#include "generator/PageSkeleton.h"
#include "generator/SiteTextTargets.h"
#include "generator/modern/ModernSite.h"

#include "model/ColumnInUse.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/XmlDocument.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_map>

namespace {

// A page copied by hand with its id shares the id with the page it came from: a link to the
// id leads to the first of them in menu order, and the build says so once. titles holds the
// first page of each id seen so far.
void NoteSharedIds(TBuildState& state, std::unordered_map<std::string, std::string>& titles,
                   const TDColumn& column) {
    for (int j = 0; j < column.PageCount; ++j) {
        const TDPage& page = column.Page(j);
        if (page.ID.empty())
            continue;
        const auto [first, added] = titles.emplace(page.ID, page.TITLE);
        if (added)
            continue;
        std::string note = "Pages '";
        note.append(first->second)
            .append("' and '")
            .append(page.TITLE)
            .append("' have the same ID: links to it lead to '")
            .append(first->second)
            .append("'.");
        if (std::find(state.Notes.begin(), state.Notes.end(), note) == state.Notes.end())
            state.Notes.push_back(std::move(note));
    }
}

// The build state, hung on the project for the length of the build and taken off again
// on the way out, also of a failed build.
class TBuildScope {
  public:
    TBuildScope(TDProject& project, TBuildState& state)
        : FProject(project), FPrevious(project.BuildState) {
        project.BuildState = &state;
    }
    ~TBuildScope() { FProject.BuildState = FPrevious; }
    TBuildScope(const TBuildScope&) = delete;
    TBuildScope& operator=(const TBuildScope&) = delete;

  private:
    TDProject& FProject;
    TBuildState* FPrevious;
};

// The pages of a build are written in the character set that their head declares; outside
// a build the output writes the texts' own bytes.
class TEncodingScope {
  public:
    TEncodingScope(TOutputFile& output, const std::string& encoding) : FOutput(output) {
        output.SetEncoding(encoding);
    }
    ~TEncodingScope() { FOutput.SetEncoding(std::string()); }
    TEncodingScope(const TEncodingScope&) = delete;
    TEncodingScope& operator=(const TEncodingScope&) = delete;

  private:
    TOutputFile& FOutput;
};

void CloseQuietly(TOutputFile& output) {
    try {
        output.Close();
    } catch (const TError&) {
        // The build already fails with the first error; this one adds nothing.
    }
}

// Writes the file baseName + ".htm" in the output folder with writer; the file is closed
// whatever happens, and an error names it.
void WriteOutputFile(TDProject& project, const std::string& baseName, void (*writer)(TDProject&)) {
    std::string fileName;
    fileName.reserve(project.OutputFolder.size() + baseName.size() + 5);
    fileName.append(project.OutputFolder).append("/").append(baseName).append(".htm");
    const std::uint64_t before = project.Output.TotalBytes();
    try {
        project.Output.Open(fileName);
        writer(project);
        project.Output.Close();
    } catch (const TError& e) {
        CloseQuietly(project.Output);
        throw e.InFile(fileName);
    } catch (...) {
        CloseQuietly(project.Output);
        throw;
    }
    if (project.BuildState)
        project.BuildState->Record(
            baseName + ".htm", static_cast<std::int64_t>(project.Output.TotalBytes() - before), {});
}

void WriteEmptyHomepageText(TDProject& project) {
    project.Output.WriteLine("<html>");
    project.Output.WriteLine("</html>");
}

// The homepage's name becomes a file name in the output folder; a hand-edited one that
// holds a path would write elsewhere, and an empty one, "." or ".." would name a hidden page.
void CheckHomepageName(const TDProject& project) {
    const std::string& name = project.FRAME.HOMEPAGE;
    if (!IsPlainFileName(name))
        throw TError("The homepage name \"" + name + "\" is not a plain file name",
                     project.ProjectFile());
}

// The page a build writes under a file name: the menu item and the page (-1 for the listing
// page), or the homepage alone.
struct TPageTarget {
    bool Homepage = false;
    int Item = -1;
    int Page = -1;
};

// Reads "Page%d.htm" or "Page%d_%d.htm" with numbers as the build writes them (decimal, no
// leading zeros, within the capacities).
bool ParsePageFileName(const std::string& fileName, int& item, int& page) {
    int i = -1;
    int j = -1;
    char tail = 0;
    char name[32];
    if (std::sscanf(fileName.c_str(), "Page%d_%d.ht%c", &i, &j, &tail) == 3 && tail == 'm') {
        std::snprintf(name, sizeof name, "Page%d_%d.htm", i, j);
    } else if (std::sscanf(fileName.c_str(), "Page%d.ht%c", &i, &tail) == 2 && tail == 'm') {
        j = -1;
        std::snprintf(name, sizeof name, "Page%d.htm", i);
    } else {
        return false;
    }
    if (fileName != name || i < 0 || i >= TDProject::Capacity || j < -1 || j >= TDColumn::Capacity)
        return false;
    item = i;
    page = j;
    return true;
}

// Page files a column gives without reading it as a document: its listing page and, in the
// styles with files of their own, one per PAGE element (at most a column's capacity). Only
// for the progress figures, which an odd document may make inexact.
int CountedPageFiles(const std::string& columnFile, bool ownFiles) {
    if (!ownFiles)
        return 1;
    std::string bytes;
    try {
        bytes = ReadDocumentFile(columnFile);
    } catch (const TError&) {
        return 1; // the build itself will say why it cannot be read
    }
    int pages = 0;
    for (std::size_t at = bytes.find("<PAGE");
         at != std::string::npos && pages < TDColumn::Capacity; at = bytes.find("<PAGE", at + 5)) {
        const char next = at + 5 < bytes.size() ? bytes[at + 5] : '\0';
        if (next == '>' || next == '/' || next == ' ' || next == '\t' || next == '\r' ||
            next == '\n')
            ++pages;
    }
    return 1 + pages;
}

// Reads every column document's bytes, which takes a while on a large site: a cancel that
// comes meanwhile ends the counting (0, the total unknown), so that the thread that cancels
// does not wait for it.
int CountedPageFiles(const TDProject& project, const TBuildControl& control) {
    if (project.MenuCount == 0)
        return 1;
    int total = 0;
    for (int i = 0; i < project.MenuCount; ++i) {
        if (control.Cancelled())
            return 0;
        const TDMenuItem& item = project.MenuItem(i);
        if (item.IsColumn())
            total += CountedPageFiles(project.ColumnFile(i), WritesPageFiles(item));
    }
    return total;
}

// The design's page writer: chosen once per build.
using TPageWriter = void (*)(TDProject&);

void WriteDiscarded(TDProject& project, TPageWriter writePage) {
    // Runs the page writers for what they bring beside the page (pictures and downloads) and
    // what they tell the build state; the page itself is thrown away.
    project.Output.Open(project.OutputFolder + "/" + project.PageName + ".htm");
    try {
        writePage(project);
    } catch (...) {
        project.Output.Abandon();
        throw;
    }
    project.Output.Abandon();
}

// The build: the whole site, or with target only the one page file it names, with what the
// build writes before that page and that page depends on (the homepage's and its column's
// pictures) done as the whole build does it.
void RunBuild(TDProject& project, const std::string& folder, TBuildStats* stats,
              const TBuildProgress& progress, TBuildControl* control, const TPageTarget* target) {
    CheckHomepageName(project);
    const bool modern = project.OPTIONS.IsModern();
    const TPageWriter writePage = modern ? WriteModernPage : WritePage;
    TBuildState state;
    if (!modern)
        state.Skeleton = MakePageSkeleton(project);
    TBuildScope scope(project, state);
    // Modern pages are always UTF-8.
    const TEncodingScope encoding(project.Output,
                                  modern ? std::string() : CharsetEncoding(project.FONT.ENCODING));
    project.OutputFolder = folder;
    if (modern)
        WriteModernSiteFiles(project, !target);
    if (control && !target)
        control->SetPagesTotal(CountedPageFiles(project, *control));

    int columns = 0;
    for (int i = 0; i < project.MenuCount; ++i)
        columns += project.MenuItem(i).IsColumn() ? 1 : 0;

    bool homepagePending = true;
    bool cancelled = false;
    std::unordered_map<std::string, std::string> idTitles;
    int pageFiles = 0;
    auto pageWritten = [&] {
        ++pageFiles;
        if (control)
            control->PageDone();
    };
    if (project.MenuCount == 0) {
        if (!target || target->Homepage) {
            if (modern) {
                project.PageName = project.FRAME.HOMEPAGE;
                WriteOutputFile(project, project.PageName, writePage);
            } else {
                WriteEmptyHomepage(project);
            }
            if (project.OPTIONS.SITEMAP && !target)
                state.SitePages.push_back({project.FRAME.HOMEPAGE + ".htm", std::nullopt});
            pageWritten();
        }
        homepagePending = false;
    }
    int column = 0;
    char name[32];
    for (int i = 0; i < project.MenuCount && !cancelled; ++i) {
        const TDMenuItem& item = project.MenuItem(i);
        if (!item.IsColumn())
            continue;
        ++column;
        const bool firstColumn = homepagePending;
        // A single page needs the first column (the homepage) and its own column only.
        if (target && !firstColumn && i != target->Item)
            continue;
        if (progress)
            progress(column, columns);
        // Nor is another column document read once the build is cancelled.
        if (control && control->Cancelled()) {
            cancelled = true;
            break;
        }
        TColumnInUse inUse(project.ColumnFile(i), *project.Document);
        TDColumn& current = *inUse;
        const bool ownFiles = WritesPageFiles(item);
        if (!target) {
            NoteSitePages(project, i, current, firstColumn, ownFiles);
            NoteSharedIds(state, idTitles, current);
        }
        for (int j = -1; j < current.PageCount; ++j) {
            const int length = j < 0 ? std::snprintf(name, sizeof name, "Page%d", i)
                                     : std::snprintf(name, sizeof name, "Page%d_%d", i, j);
            project.PageName.assign(name, static_cast<std::size_t>(length));
            const bool homepage = homepagePending;
            if (homepagePending) {
                project.PageName = project.FRAME.HOMEPAGE;
                homepagePending = false;
            }
            if (j != -1 && !ownFiles)
                continue;
            if (control && control->Cancelled()) {
                cancelled = true;
                break;
            }
            project.CurrentItem = i;
            current.CurrentPage = j;
            if (!target) {
                WriteOutputFile(project, project.PageName, writePage);
                pageWritten();
                continue;
            }
            const bool wanted =
                target->Homepage ? homepage : !homepage && i == target->Item && j == target->Page;
            if (wanted) {
                WriteOutputFile(project, project.PageName, writePage);
                pageWritten();
                break;
            }
            // The listing page before a page of its column, and the homepage before anything.
            if (j == -1)
                WriteDiscarded(project, writePage);
            if (i != target->Item)
                break;
        }
        if (target && (target->Homepage || i == target->Item))
            break;
        if (project.OPTIONS.FEEDS && !target && !cancelled)
            WriteFeed(project, i, current, firstColumn);
    }
    if (project.OPTIONS.SITEMAP && !target && !cancelled)
        WriteSitemap(project);

    if (stats) {
        stats->Files = static_cast<int>(state.Files.size());
        stats->Bytes = 0;
        for (const auto& [fileName, file] : state.Files)
            stats->Bytes += file.Size;
        stats->Columns = columns;
        stats->CopyFailures = state.CopyFailures;
        stats->FirstCopyFailure = state.FirstCopyFailure;
        stats->PageFiles = pageFiles;
        stats->Notes = state.Notes;
        stats->TextProblems = state.TextProblems;
        stats->FirstTextProblem = state.FirstTextProblem;
        stats->Cancelled = cancelled;
        stats->Homepage = homepagePending || target
                              ? std::string()
                              : folder + "/" + project.FRAME.HOMEPAGE + ".htm";
    }
}

} // namespace

void BuildInto(TDProject& project, const std::string& folder, TBuildStats* stats,
               const TBuildProgress& progress, TBuildControl* control) {
    RunBuild(project, folder, stats, progress, control, nullptr);
}

bool BuildPageInto(TDProject& project, const std::string& folder, const std::string& fileName) {
    TPageTarget target;
    if (!ParsePageFileName(fileName, target.Item, target.Page) ||
        target.Item >= project.MenuCount || !project.MenuItem(target.Item).IsColumn())
        target.Item = -1;
    // The homepage's name may be that of another page file; that page, written later, wins.
    target.Homepage = target.Item < 0 && fileName == project.FRAME.HOMEPAGE + ".htm";
    if (target.Item < 0 && !target.Homepage)
        return false;
    if (target.Item >= 0) {
        // The first column's listing page is the homepage, not a file of its own name; a
        // page beyond the column's end, or in a style without own files, is no file either.
        int first = -1;
        for (int i = 0; i < project.MenuCount && first < 0; ++i)
            if (project.MenuItem(i).IsColumn())
                first = i;
        const TDMenuItem& item = project.MenuItem(target.Item);
        bool written = target.Page >= 0 ? WritesPageFiles(item) : target.Item != first;
        if (written && target.Page >= 0) {
            TColumnInUse inUse(project.ColumnFile(target.Item), *project.Document);
            written = target.Page < inUse->PageCount;
        }
        if (!written) {
            if (fileName != project.FRAME.HOMEPAGE + ".htm")
                return false;
            target = TPageTarget{};
            target.Homepage = true;
        }
    }
    TBuildStats stats;
    RunBuild(project, folder, &stats, {}, nullptr, &target);
    return stats.PageFiles > 0;
}

bool BuildHomepageInto(TDProject& project, const std::string& folder) {
    CheckHomepageName(project);
    return BuildPageInto(project, folder, project.FRAME.HOMEPAGE + ".htm");
}

std::string CopyFailureText(const TBuildStats& stats) {
    if (stats.CopyFailures <= 0)
        return {};
    const char* const plural = stats.CopyFailures == 1 ? "" : "s";
    std::string text = std::to_string(stats.CopyFailures);
    text += " picture";
    text += plural;
    text += " or download";
    text += plural;
    text += " could not be written, the first ";
    text += stats.FirstCopyFailure;
    return text;
}

std::string TextProblemText(const TBuildStats& stats) {
    if (stats.TextProblems <= 0)
        return {};
    std::string text = stats.FirstTextProblem;
    if (stats.TextProblems > 1) {
        text += " (";
        text += std::to_string(stats.TextProblems);
        text += " links or pictures of the texts name nothing)";
    }
    return text;
}

void Build(TDProject& project, const std::string& folderName, TBuildStats* stats) {
    CheckRealFolder(project.Folder + "/" + folderName);
    BuildInto(project, project.Folder + "/" + folderName, stats);
}

void BuildPreview(TDProject& project) {
    Build(project, "Temp");
}

void WriteEmptyHomepage(TDProject& project) {
    WriteOutputFile(project, project.FRAME.HOMEPAGE, WriteEmptyHomepageText);
}

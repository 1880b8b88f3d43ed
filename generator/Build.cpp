// The build driver: which files a build writes, their names and order.

#include "generator/BuildState.h"
#include "generator/Driver.h"
#include "generator/Generator.h"
#include "generator/PageSkeleton.h"

#include "model/ColumnInUse.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

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

bool WritesPageFiles(const TDMenuItem& item) {
    return item.STYLE != "Title list and contents" && item.STYLE != "Contents";
}

} // namespace

void BuildInto(TDProject& project, const std::string& folder, TBuildStats* stats,
               const TBuildProgress& progress) {
    CheckHomepageName(project);
    TBuildState state;
    state.Skeleton = MakePageSkeleton(project);
    TBuildScope scope(project, state);
    const TEncodingScope encoding(project.Output, CharsetEncoding(project.FONT.ENCODING));
    project.OutputFolder = folder;

    int columns = 0;
    for (int i = 0; i < project.MenuCount; ++i)
        columns += project.MenuItem(i).IsColumn() ? 1 : 0;

    bool homepagePending = true;
    int pageFiles = 0;
    if (project.MenuCount == 0) {
        WriteEmptyHomepage(project);
        homepagePending = false;
        ++pageFiles;
    }
    int column = 0;
    char name[32];
    for (int i = 0; i < project.MenuCount; ++i) {
        const TDMenuItem& item = project.MenuItem(i);
        if (!item.IsColumn())
            continue;
        ++column;
        if (progress)
            progress(column, columns);
        TColumnInUse inUse(project.ColumnFile(i), *project.Document);
        TDColumn& current = *inUse;
        const bool ownFiles = WritesPageFiles(item);
        for (int j = -1; j < current.PageCount; ++j) {
            const int length = j < 0 ? std::snprintf(name, sizeof name, "Page%d", i)
                                     : std::snprintf(name, sizeof name, "Page%d_%d", i, j);
            project.PageName.assign(name, static_cast<std::size_t>(length));
            if (homepagePending) {
                project.PageName = project.FRAME.HOMEPAGE;
                homepagePending = false;
            }
            if (j == -1 || ownFiles) {
                project.CurrentItem = i;
                current.CurrentPage = j;
                WriteOutputFile(project, project.PageName, WritePage);
                ++pageFiles;
            }
        }
    }

    if (stats) {
        stats->Files = static_cast<int>(state.Files.size());
        stats->Bytes = 0;
        for (const auto& [fileName, file] : state.Files)
            stats->Bytes += file.Size;
        stats->Columns = columns;
        stats->CopyFailures = state.CopyFailures;
        stats->FirstCopyFailure = state.FirstCopyFailure;
        stats->PageFiles = pageFiles;
        stats->Homepage =
            homepagePending ? std::string() : folder + "/" + project.FRAME.HOMEPAGE + ".htm";
    }
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

// The build driver: which files a build writes, their names and order, and the small
// operations the page writers share.

#include "generator/Driver.h"
#include "generator/Generator.h"
#include "generator/PageSkeleton.h"

#include "platform/Error.h"
#include "platform/FileSystem.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>

namespace {

// A file written into the output folder during the build in progress. Source is the
// picture or download it was copied from, empty for page files.
struct TWrittenFile {
    std::int64_t Size = 0;
    std::string Source;
};

// What lives as long as one build: the page skeleton, worked out once, and the files
// written so far (by name, so a file replaced during the build counts once).
struct TBuildContext {
    TPageSkeleton Skeleton;
    std::unordered_map<std::string, TWrittenFile> Files;

    void Record(const std::string& name, std::int64_t size, std::string source) {
        TWrittenFile& file = Files[name];
        file.Size = size;
        file.Source = std::move(source);
    }
};

TBuildContext* ActiveBuild = nullptr;

class TBuildScope {
  public:
    explicit TBuildScope(TBuildContext& context) : FPrevious(ActiveBuild) {
        ActiveBuild = &context;
    }
    ~TBuildScope() { ActiveBuild = FPrevious; }
    TBuildScope(const TBuildScope&) = delete;
    TBuildScope& operator=(const TBuildScope&) = delete;

  private:
    TBuildContext* FPrevious;
};

// The column document being built, published as CurrentColumn while it is in use; the
// reference is cleared before the column goes, on the way out of a failed build too.
class TColumnInUse {
  public:
    explicit TColumnInUse(std::unique_ptr<TDColumn> column) : FColumn(std::move(column)) {
        CurrentColumn = FColumn.get();
    }
    ~TColumnInUse() { CurrentColumn = nullptr; }
    TColumnInUse(const TColumnInUse&) = delete;
    TColumnInUse& operator=(const TColumnInUse&) = delete;

    TDColumn& Column() { return *FColumn; }

  private:
    std::unique_ptr<TDColumn> FColumn;
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
    if (ActiveBuild)
        ActiveBuild->Record(baseName + ".htm",
                            static_cast<std::int64_t>(project.Output.TotalBytes() - before), {});
}

void WriteEmptyHomepageText(TDProject& project) {
    project.Output.WriteLine("<html>");
    project.Output.WriteLine("</html>");
}

// The homepage's name becomes a file name in the output folder; a hand-edited one that
// holds a path would write elsewhere.
void CheckHomepageName(const TDProject& project) {
    const std::string& name = project.FRAME.HOMEPAGE;
    if (name.find_first_of(std::string("/\\\0", 3)) != std::string::npos)
        throw TError("The homepage name \"" + name + "\" is not a plain file name",
                     project.ProjectFile());
}

bool WritesPageFiles(const TDMenuItem& item) {
    return item.STYLE != "Title list and contents" && item.STYLE != "Contents";
}

const TDPage& PageInUse(int pageIndex) {
    if (!CurrentColumn || pageIndex < 0 || pageIndex >= CurrentColumn->PageCount)
        throw TError("There is no page " + std::to_string(pageIndex) +
                     " in the column being written");
    return CurrentColumn->Page(pageIndex);
}

} // namespace

const TPageSkeleton* BuildSkeleton() {
    return ActiveBuild ? &ActiveBuild->Skeleton : nullptr;
}

void BuildInto(TDProject& project, const std::string& folder, TBuildStats* stats,
               const TBuildProgress& progress) {
    CheckHomepageName(project);
    TBuildContext context;
    context.Skeleton = MakePageSkeleton(project);
    TBuildScope scope(context);
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
        TColumnInUse inUse(std::make_unique<TDColumn>(project.ColumnFile(i), *project.Document));
        TDColumn& current = inUse.Column();
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
        stats->Files = static_cast<int>(context.Files.size());
        stats->Bytes = 0;
        for (const auto& [fileName, file] : context.Files)
            stats->Bytes += file.Size;
        stats->Columns = columns;
        stats->PageFiles = pageFiles;
        stats->Homepage =
            homepagePending ? std::string() : folder + "/" + project.FRAME.HOMEPAGE + ".htm";
    }
}

void Build(TDProject& project, const std::string& folderName) {
    BuildInto(project, project.Folder + "/" + folderName);
}

void BuildPreview(TDProject& project) {
    Build(project, "Temp");
}

void WriteEmptyHomepage(TDProject& project) {
    WriteOutputFile(project, project.FRAME.HOMEPAGE, WriteEmptyHomepageText);
}

std::string ReplaceAll(std::string s, const std::string& oldText, const std::string& newText) {
    if (oldText.empty())
        return s;
    // When the new text is not empty and none of its bytes occurs in the old one, a
    // replacement can never help to form a further occurrence (one would have to run through
    // the inserted text), so one pass from left to right gives the same result as searching
    // again from the start after each replacement. The callers' pairs (line breaks and their
    // stored mark, "<br>") are all of this kind. A new text that holds the old one would make
    // the search go on for ever; it too is replaced in one pass.
    if ((!newText.empty() && newText.find_first_of(oldText) == std::string::npos) ||
        newText.find(oldText) != std::string::npos) {
        std::size_t found = s.find(oldText);
        if (found == std::string::npos)
            return s;
        std::string out;
        out.reserve(s.size());
        std::size_t from = 0;
        while (found != std::string::npos) {
            out.append(s, from, found - from).append(newText);
            from = found + oldText.size();
            found = s.find(oldText, from);
        }
        out.append(s, from, std::string::npos);
        return out;
    }
    // Otherwise replace in place. The text before an occurrence held none, so the next one
    // cannot start earlier than old text's length - 1 before the inserted text.
    std::size_t from = 0;
    for (;;) {
        const std::size_t found = s.find(oldText, from);
        if (found == std::string::npos)
            return s;
        s.replace(found, oldText.size(), newText);
        from = found >= oldText.size() - 1 ? found - (oldText.size() - 1) : 0;
    }
}

std::string UniqueFileName(const std::string& folder, const std::string& extension) {
    for (unsigned n = 1;; ++n) {
        std::string path = folder + "File" + std::to_string(n) + extension;
        if (!FileExists(path) && !FolderExists(path))
            return path;
    }
}

std::string Translate(const TDProject& project, const std::string& key) {
    return project.LANGUAGE.Lookup(key);
}

std::int32_t FitWidth(std::int32_t maxWidth, int pageIndex) {
    const std::int32_t width = PageInUse(pageIndex).PICTURE_WIDTH;
    return maxWidth < width ? maxWidth : width;
}

std::int32_t FitHeight(std::int32_t maxWidth, int pageIndex) {
    const TDPage& page = PageInUse(pageIndex);
    const std::int32_t width = page.PICTURE_WIDTH, height = page.PICTURE_HEIGHT;
    if (!(maxWidth < width))
        return height;
    // Height x maximum width in 32 bits, wrapping around as the stored sizes may ask for.
    const auto product = static_cast<std::int32_t>(static_cast<std::uint32_t>(height) *
                                                   static_cast<std::uint32_t>(maxWidth));
    // Only a negative maximum width can stand below a width of 0 or -1.
    if (width == 0)
        return 0;
    if (width == -1)
        return static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(product));
    return product / width;
}

void CopyIntoOutput(TDProject& project, const std::string& folder, const std::string& name) {
    // Only the file-name part counts, so a name never reaches out of the Images or
    // Downloads folder, nor out of the output folder.
    std::string part = FileNamePart(name);
    if (part.empty() || part == "." || part == "..")
        return;
    std::string source = folder + part;
    if (ActiveBuild) {
        // A file copied once in this build from the same source is already in place.
        auto found = ActiveBuild->Files.find(part);
        if (found != ActiveBuild->Files.end() && found->second.Source == source)
            return;
    }
    const std::string target = project.OutputFolder + "/" + part;
    if (!CopyFileReplacing(source, target))
        return;
    if (ActiveBuild)
        ActiveBuild->Record(part, FileSize(target), std::move(source));
}

// The site's side of a Markdown text's links and pictures.

#include "generator/SiteTextTargets.h"

#include "generator/BuildState.h"
#include "generator/Generator.h"

#include "model/CColumn.h"
#include "model/PageId.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/PictureDecoder.h"
#include "platform/Text.h"
#include "platform/XmlDocument.h"

#include <algorithm>
#include <utility>

namespace {

// A file name from a text: its file-name part, or empty when that names no file.
std::string FilePart(std::string_view name) {
    std::string part = FileNamePart(std::string(name));
    if (part == "." || part == "..")
        part.clear();
    return part;
}

// The ids of a column document's pages by position, kept by the file's stamp: the preview
// writes the homepage after every change, and a hotspot that links to a page would otherwise
// read every column document each time.
const std::vector<std::pair<std::string, int>>& PageIds(const std::string& columnFile) {
    struct TKnownColumn {
        TFileStamp Stamp;
        std::vector<std::pair<std::string, int>> Ids;
    };
    thread_local std::unordered_map<std::string, TKnownColumn> known;
    TFileStamp stamp;
    const bool stamped = ReadFileStamp(columnFile, stamp);
    TKnownColumn& entry = known[columnFile];
    if (stamped && entry.Stamp == stamp)
        return entry.Ids;
    entry = TKnownColumn();
    // A document of its own: the shared one may be in use by the page being written.
    TXmlDocument document;
    try {
        const TDColumn column(columnFile, document);
        for (int j = 0; j < column.PageCount; ++j)
            if (!column.Page(j).ID.empty())
                entry.Ids.emplace_back(column.Page(j).ID, j);
    } catch (const TError&) {
        // The build itself says why the column cannot be read.
    }
    if (stamped)
        entry.Stamp = stamp;
    return entry.Ids;
}

} // namespace

TSiteTextTargets::TSiteTextTargets(TDProject& project, bool copy)
    : FProject(project), FCopy(copy) {}

std::unordered_map<std::string, std::string>
TSiteTextTargets::ReadPageFiles(const TDProject& project) {
    std::unordered_map<std::string, std::string> files;
    bool firstColumn = true;
    for (int i = 0; i < project.MenuCount; ++i) {
        const TDMenuItem& item = project.MenuItem(i);
        if (!item.IsColumn())
            continue;
        const bool first = firstColumn;
        firstColumn = false;
        const bool ownFiles = WritesPageFiles(item);
        const std::string listing = PageFileName(project, i, -1, first);
        for (const auto& [id, j] : PageIds(project.ColumnFile(i))) {
            // A page copied with its id: the first keeps it.
            std::string file = ownFiles ? PageFileName(project, i, j, first) : listing;
            if (item.STYLE == "Title list and contents")
                file.append(1, '#')
                    .append(std::to_string(i))
                    .append(1, '_')
                    .append(std::to_string(j));
            files.emplace(id, std::move(file));
        }
    }
    return files;
}

std::string TSiteTextTargets::EncodedName(std::string_view name) {
    return PercentEncoded(name);
}

std::string TSiteTextTargets::DecodedName(std::string_view written) {
    const auto digit = HexDigitValue;
    std::string out;
    out.reserve(written.size());
    for (std::size_t at = 0; at < written.size(); ++at) {
        if (written[at] == '%' && at + 2 < written.size() && digit(written[at + 1]) >= 0 &&
            digit(written[at + 2]) >= 0) {
            const int byte = digit(written[at + 1]) * 16 + digit(written[at + 2]);
            if (byte >= 0x20 && byte != 0x7F) {
                out += static_cast<char>(byte);
                at += 2;
                continue;
            }
        }
        out += written[at];
    }
    return out;
}

std::string TSiteTextTargets::ExistingFile(const std::string& folder, std::string_view written) {
    for (const std::string& name : {DecodedName(written), std::string(written)}) {
        std::string part = FilePart(name);
        if (!part.empty() && IsPlainFile(folder + part))
            return part;
    }
    return std::string();
}

const std::unordered_map<std::string, std::string>& TSiteTextTargets::PageFiles() {
    if (TBuildState* state = FProject.BuildState) {
        if (!state->PageFilesRead) {
            state->PageFiles = ReadPageFiles(FProject);
            state->PageFilesRead = true;
        }
        return state->PageFiles;
    }
    if (!FPageFilesRead) {
        FPageFiles = ReadPageFiles(FProject);
        FPageFilesRead = true;
    }
    return FPageFiles;
}

void TSiteTextTargets::Problem(std::string_view what, std::string_view name) {
    // Appended piece by piece: g++ 12 warns falsely of "literal" + string temporaries.
    std::string text = FOwner;
    text.append(what);
    if (what.ends_with(": "))
        text.append(1, '\'').append(name).append("'.");
    if (std::find(FProblems.begin(), FProblems.end(), text) == FProblems.end())
        FProblems.push_back(std::move(text));
}

std::string TSiteTextTargets::SiteLink(std::string_view kind, std::string_view name) {
    if (kind == "page") {
        const std::string id(name);
        if (IsPageId(id)) {
            const auto& files = PageFiles();
            const auto found = files.find(id);
            if (found != files.end())
                return found->second;
        }
        Problem(" links to a page that was removed.", {});
        return std::string();
    }
    const bool download = kind == "download";
    const std::string folder = download ? FProject.DownloadsPath() : FProject.ImagesPath();
    const std::string part = ExistingFile(folder, name);
    if (part.empty()) {
        Problem(download ? " links to a download that is missing: "
                         : " links to a picture that is missing: ",
                DecodedName(name));
        return std::string();
    }
    if (FCopy) {
        if (download)
            CopyIntoOutput(FProject, folder, part);
        else
            CopyPictureIntoOutput(FProject, part);
    }
    return EncodedName(download ? part : PictureOutputName(FProject, part));
}

bool TSiteTextTargets::Picture(std::string_view name, std::string_view alt, std::string_view title,
                               std::string& html) {
    const std::string part = ExistingFile(FProject.ImagesPath(), name);
    if (part.empty()) {
        Problem(" shows a picture that is missing: ", DecodedName(name));
        return false;
    }
    AppendPicture(part, alt, title, html);
    return true;
}

bool TSiteTextTargets::PagePicture(std::string_view address, std::string_view alt,
                                   std::string& html) {
    // A name of the pages' own folder, nothing before or after it.
    if (address.find_first_of("/\\?#:") != std::string_view::npos)
        return false;
    const std::string part = ExistingFile(FProject.ImagesPath(), address);
    if (part.empty() || !IsPictureFileName(part))
        return false;
    AppendPicture(part, alt, {}, html);
    return true;
}

void TSiteTextTargets::AppendPicture(const std::string& part, std::string_view alt,
                                     std::string_view title, std::string& html) {
    if (FCopy)
        CopyPictureIntoOutput(FProject, part);
    const TShownSize natural = PictureFileSize(FProject, part);
    TTextPicture picture;
    picture.Name = part;
    picture.File = PictureOutputName(FProject, part);
    picture.Alt = alt;
    picture.Title = title;
    picture.Natural = natural;
    picture.Size = ShownPictureSize(FProject, part, natural.Width, natural.Height);
    AppendTextPicture(FProject, picture, html);
}

bool WritesPageFiles(const TDMenuItem& item) {
    return item.STYLE != "Title list and contents" && item.STYLE != "Contents";
}

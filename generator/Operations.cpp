// The small operations that the page writers share: text replacement, translation,
// picture fitting, copying pictures and downloads beside the pages, and fresh file names for
// the dialogs.

#include "generator/BuildState.h"
#include "generator/Generator.h"

#include "platform/Error.h"
#include "platform/FileSystem.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

namespace {

const TDPage& PageInUse(int pageIndex) {
    if (!CurrentColumn || pageIndex < 0 || pageIndex >= CurrentColumn->PageCount)
        throw TError("There is no page " + std::to_string(pageIndex) +
                     " in the column being written");
    return CurrentColumn->Page(pageIndex);
}

} // namespace

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
    return FitWidthOf(maxWidth, PageInUse(pageIndex).PICTURE_WIDTH);
}

std::int32_t FitHeight(std::int32_t maxWidth, int pageIndex) {
    const TDPage& page = PageInUse(pageIndex);
    return FitHeightOf(maxWidth, page.PICTURE_WIDTH, page.PICTURE_HEIGHT);
}

std::int32_t FitWidthOf(std::int32_t maxWidth, std::int32_t width) {
    return maxWidth < width ? maxWidth : width;
}

std::int32_t FitHeightOf(std::int32_t maxWidth, std::int32_t width, std::int32_t height) {
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
    if (project.BuildState) {
        // A file copied once in this build from the same source is already in place.
        auto found = project.BuildState->Files.find(part);
        if (found != project.BuildState->Files.end() && found->second.Source == source)
            return;
    }
    const std::string target = project.OutputFolder + "/" + part;
    int error = 0;
    if (!CopyFileReplacing(source, target, &error)) {
        // A missing source is passed over without a word (check reports it); a source that
        // is there but could not be copied (a full disk, an I/O error) is counted.
        if (project.BuildState && IsPlainFile(source)) {
            if (project.BuildState->CopyFailures++ == 0)
                project.BuildState->FirstCopyFailure = part + ": " + std::strerror(error);
        }
        return;
    }
    if (project.BuildState)
        project.BuildState->Record(part, FileSize(target), std::move(source));
}

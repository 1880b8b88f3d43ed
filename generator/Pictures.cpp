// Pictures beside the pages: copied as they are, or, when the site limits their size, JPEGs
// larger than the limit written scaled down, with the tags giving the size written.

#include "generator/BuildState.h"
#include "generator/Generator.h"

#include "platform/FileSystem.h"

#include <cstdint>
#include <string>

void CopyPictureIntoOutput(TDProject& project, const std::string& name) {
    CopyIntoOutput(project, project.ImagesPath(), name);
}

TShownSize ShownPictureSize(const TDProject& project, const std::string& name, std::int32_t width,
                            std::int32_t height) {
    const TShownSize stored{width, height};
    if (!project.BuildState || project.OPTIONS.PICTURE_SIZE <= 0)
        return stored;
    const auto found = project.BuildState->Files.find(FileNamePart(name));
    if (found == project.BuildState->Files.end() || found->second.Width == 0)
        return stored;
    const TBuildState::TWrittenFile& file = found->second;
    if (width == file.SourceWidth && height == file.SourceHeight)
        return {file.Width, file.Height};
    // A stored size other than the picture's own: scaled by the same factor.
    const auto scale = [](std::int32_t value, int to, int from) {
        return static_cast<std::int32_t>((static_cast<std::int64_t>(value) * to + from / 2) / from);
    };
    return {scale(width, file.Width, file.SourceWidth),
            scale(height, file.Height, file.SourceHeight)};
}

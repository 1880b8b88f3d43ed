// Pictures beside the pages: copied as they are, or, when the site limits their size, JPEGs
// larger than the limit written scaled down, with the tags giving the size written.

#include "generator/BuildState.h"
#include "generator/Generator.h"

#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/PictureScaler.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace {

// The web-sized copies are kept in a hidden folder of the preview's folder, named by the
// content of their source and the size they were made for, so that a build re-encodes only
// pictures that are new or changed. Nothing publishes it: publishing takes the HTML folder.
std::string CacheFolder(const TDProject& project) {
    return project.Folder + "/Temp/.Pictures";
}

std::uint64_t ContentHash(std::string_view bytes) {
    std::uint64_t hash = 14695981039346656037ull; // 64-bit FNV-1a
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

std::string CacheName(std::string_view bytes, std::int32_t maxSide) {
    static constexpr char Hex[] = "0123456789abcdef";
    std::uint64_t hash = ContentHash(bytes);
    std::string name(16, '0');
    for (int i = 15; i >= 0; --i, hash >>= 4)
        name[static_cast<std::size_t>(i)] = Hex[hash & 15];
    return name + "-" + std::to_string(bytes.size()) + "-" + std::to_string(maxSide) + ".jpg";
}

bool IsJpegData(std::string_view bytes) {
    return bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
           static_cast<unsigned char>(bytes[1]) == 0xD8 &&
           static_cast<unsigned char>(bytes[2]) == 0xFF;
}

struct TWebCopy {
    std::string Bytes;
    int Width = 0;
    int Height = 0;
};

// The web-sized copy of a JPEG from the cache, made and kept there when it is not there yet;
// none when the picture cannot be decoded (it is then copied as it is).
std::optional<TWebCopy> WebCopy(const TDProject& project, const std::string& source,
                                std::string_view bytes, std::int32_t maxSide) {
    const std::string cached = CacheFolder(project) + "/" + CacheName(bytes, maxSide);
    if (IsPlainFile(cached)) {
        try {
            TWebCopy copy;
            copy.Bytes = ReadPictureBytes(cached);
            const TPictureSize size = DecodePictureSize(copy.Bytes, cached);
            copy.Width = size.Width;
            copy.Height = size.Height;
            if (std::max(copy.Width, copy.Height) <= maxSide)
                return copy;
        } catch (const TError&) {
            // A damaged copy is made again.
        }
    }
    TWebCopy copy;
    try {
        TScaledJpeg scaled = ScaleJpeg(bytes, maxSide, source);
        copy.Bytes = std::move(scaled.Bytes);
        copy.Width = scaled.Width;
        copy.Height = scaled.Height;
    } catch (const TError&) {
        return std::nullopt;
    }
    try {
        MakeFolder(CacheFolder(project));
        WriteFileAtomically(cached, copy.Bytes);
    } catch (const TError&) {
        // Without the cache the next build encodes the picture again; nothing else is lost.
    }
    return copy;
}

} // namespace

void CopyPictureIntoOutput(TDProject& project, const std::string& name) {
    const std::int32_t maxSide = project.OPTIONS.PICTURE_SIZE;
    const std::string part = FileNamePart(name);
    const std::string images = project.ImagesPath();
    if (maxSide <= 0 || !project.BuildState || part.empty() || part == "." || part == ".." ||
        !IsPlainFile(images + part)) {
        CopyIntoOutput(project, images, name);
        return;
    }
    const std::string source = images + part;
    TBuildState& state = *project.BuildState;
    const auto known = state.Files.find(part);
    if (known != state.Files.end() && known->second.Source == source)
        return; // written once in this build already

    std::string bytes;
    TPictureSize size;
    try {
        bytes = ReadPictureBytes(source);
        if (!IsJpegData(bytes))
            throw TError("not a JPEG picture", source);
        size = DecodePictureSize(bytes, source);
    } catch (const TError&) {
        CopyIntoOutput(project, images, name); // GIFs, and what cannot be read, as they are
        return;
    }
    const int orientation = JpegOrientation(bytes);
    const bool turned = orientation >= 5;
    const int shownWidth = turned ? size.Height : size.Width;
    const int shownHeight = turned ? size.Width : size.Height;
    if (std::max(shownWidth, shownHeight) <= maxSide) {
        CopyIntoOutput(project, images, name);
        return;
    }
    const std::optional<TWebCopy> copy = WebCopy(project, source, bytes, maxSide);
    if (!copy) {
        CopyIntoOutput(project, images, name);
        return;
    }
    const std::string target = project.OutputFolder + "/" + part;
    try {
        WriteFileAtomically(target, copy->Bytes);
    } catch (const TError& e) {
        if (state.CopyFailures++ == 0)
            state.FirstCopyFailure = part + ": " + e.Message();
        return;
    }
    state.Record(part, static_cast<std::int64_t>(copy->Bytes.size()), source);
    TBuildState::TWrittenFile& file = state.Files[part];
    file.SourceWidth = size.Width;
    file.SourceHeight = size.Height;
    file.Width = copy->Width;
    file.Height = copy->Height;
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
    // The stored size is the picture's own as the dialogs measure it, before its EXIF
    // orientation: the tag gives the size written, turned as the picture was.
    if (width == file.SourceWidth && height == file.SourceHeight)
        return {file.Width, file.Height};
    // A size of the user's own: smaller by as much as the picture's longer side.
    const std::int64_t from = std::max(file.SourceWidth, file.SourceHeight);
    const std::int64_t to = std::max(file.Width, file.Height);
    const auto scale = [&](std::int32_t value) {
        return static_cast<std::int32_t>((value * to + from / 2) / from);
    };
    return {scale(width), scale(height)};
}

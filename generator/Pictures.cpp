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
#include <unordered_map>

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

// What the builds learnt of a picture of the Images folder at one size, kept for the builds
// after them: the preview builds the whole site again after every change, and reading and
// hashing photos of several megabytes each time would slow every change down.
struct TKnownPicture {
    TFileStamp Stamp;
    bool Scaled = false; // a JPEG above the size, written from its web-sized copy
    std::string CacheName;
    int SourceWidth = 0, SourceHeight = 0; // as stored, before the EXIF orientation
    int Width = 0, Height = 0;             // as written
};
// The web-sized copy written to an output file, so that it is not written again while the
// file is as it was left.
struct TKnownTarget {
    TFileStamp Stamp;
    std::string CacheName;
};

std::unordered_map<std::string, TKnownPicture>& KnownPictures() {
    thread_local std::unordered_map<std::string, TKnownPicture> known;
    return known;
}
std::unordered_map<std::string, TKnownTarget>& KnownTargets() {
    thread_local std::unordered_map<std::string, TKnownTarget> known;
    return known;
}

// Learns what a picture is: whether it is a JPEG above the size, and then its web-sized copy
// (made now when the cache lacks it). False when it is to be copied as it is.
bool LearnPicture(const TDProject& project, const std::string& source, std::int32_t maxSide,
                  TKnownPicture& known, std::string& copyBytes) {
    std::string bytes;
    TPictureSize size;
    try {
        bytes = ReadPictureBytes(source);
        if (!IsJpegData(bytes))
            return false; // GIFs as they are
        size = DecodePictureSize(bytes, source);
    } catch (const TError&) {
        return false; // what cannot be read, as it is
    }
    if (std::max(size.Width, size.Height) <= maxSide)
        return false;
    std::optional<TWebCopy> copy = WebCopy(project, source, bytes, maxSide);
    if (!copy)
        return false;
    known.Scaled = true;
    known.CacheName = CacheName(bytes, maxSide);
    known.SourceWidth = size.Width;
    known.SourceHeight = size.Height;
    known.Width = copy->Width;
    known.Height = copy->Height;
    copyBytes = std::move(copy->Bytes);
    return true;
}

// The web-sized copy of a known picture from the cache, when it is still the picture it was.
bool ReadCachedCopy(const TDProject& project, const TKnownPicture& known, std::string& bytes) {
    try {
        bytes = ReadPictureBytes(CacheFolder(project) + "/" + known.CacheName);
        const TPictureSize size = DecodePictureSize(bytes, known.CacheName);
        return size.Width == known.Width && size.Height == known.Height;
    } catch (const TError&) {
        return false;
    }
}

} // namespace

void CopyPictureIntoOutput(TDProject& project, const std::string& name) {
    const std::int32_t maxSide = project.OPTIONS.PICTURE_SIZE;
    const std::string part = FileNamePart(name);
    const std::string images = project.ImagesPath();
    TFileStamp stamp;
    if (maxSide <= 0 || !project.BuildState || part.empty() || part == "." || part == ".." ||
        !ReadFileStamp(images + part, stamp)) {
        CopyIntoOutput(project, images, name);
        return;
    }
    const std::string source = images + part;
    TBuildState& state = *project.BuildState;
    const auto written = state.Files.find(part);
    if (written != state.Files.end() && written->second.Source == source)
        return; // written once in this build already

    // What is known of this version of the picture, or learnt now.
    const std::string key = source + "\n" + std::to_string(maxSide);
    TKnownPicture& known = KnownPictures()[key];
    std::string copyBytes;
    bool haveBytes = false;
    const std::string cached = CacheFolder(project) + "/" + known.CacheName;
    if (!(known.Stamp == stamp) || (known.Scaled && !IsPlainFile(cached))) {
        known = TKnownPicture();
        if (!LearnPicture(project, source, maxSide, known, copyBytes))
            known.Scaled = false;
        else
            haveBytes = true;
        known.Stamp = stamp;
    }
    if (!known.Scaled) {
        CopyIntoOutput(project, images, name);
        return;
    }

    // The web-sized copy beside the pages, unless it is there already from an earlier build.
    const std::string target = project.OutputFolder + "/" + part;
    TKnownTarget& knownTarget = KnownTargets()[target];
    TFileStamp targetStamp;
    const bool inPlace = !haveBytes && knownTarget.CacheName == known.CacheName &&
                         ReadFileStamp(target, targetStamp) && targetStamp == knownTarget.Stamp;
    std::int64_t size = targetStamp.Size;
    if (!inPlace) {
        if (!haveBytes && !ReadCachedCopy(project, known, copyBytes)) {
            // The copy in the cache is damaged or gone: made again.
            known = TKnownPicture();
            known.Stamp = stamp;
            if (!LearnPicture(project, source, maxSide, known, copyBytes)) {
                known.Scaled = false;
                CopyIntoOutput(project, images, name);
                return;
            }
        }
        try {
            WriteFileAtomically(target, copyBytes);
        } catch (const TError& e) {
            knownTarget = TKnownTarget();
            if (state.CopyFailures++ == 0)
                state.FirstCopyFailure = part + ": " + e.Message();
            return;
        }
        size = static_cast<std::int64_t>(copyBytes.size());
        if (ReadFileStamp(target, knownTarget.Stamp))
            knownTarget.CacheName = known.CacheName;
        else
            knownTarget = TKnownTarget();
    }
    state.Record(part, size, source);
    TBuildState::TWrittenFile& file = state.Files[part];
    file.SourceWidth = known.SourceWidth;
    file.SourceHeight = known.SourceHeight;
    file.Width = known.Width;
    file.Height = known.Height;
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

std::optional<TShownSize> WriteScaledPicture(TDProject& project, const std::string& name,
                                             std::int32_t maxSide, const std::string& targetName) {
    const std::string part = FileNamePart(name);
    TFileStamp stamp;
    if (!project.BuildState || maxSide <= 0 || part.empty() || part == "." || part == ".." ||
        !IsPlainFileName(targetName) || !ReadFileStamp(project.ImagesPath() + part, stamp))
        return std::nullopt;
    const std::string source = project.ImagesPath() + part;
    TBuildState& state = *project.BuildState;
    const auto written = state.Files.find(targetName);
    if (written != state.Files.end() && written->second.Source == source &&
        written->second.Width > 0)
        return TShownSize{written->second.Width, written->second.Height};

    TKnownPicture& known = KnownPictures()[source + "\n" + std::to_string(maxSide)];
    std::string bytes;
    bool haveBytes = false;
    if (!(known.Stamp == stamp) ||
        (known.Scaled && !IsPlainFile(CacheFolder(project) + "/" + known.CacheName))) {
        known = TKnownPicture();
        haveBytes = LearnPicture(project, source, maxSide, known, bytes);
        known.Scaled = haveBytes;
        known.Stamp = stamp;
    }
    if (!known.Scaled)
        return std::nullopt;
    const std::string target = project.OutputFolder + "/" + targetName;
    TKnownTarget& knownTarget = KnownTargets()[target];
    TFileStamp targetStamp;
    const bool inPlace = !haveBytes && knownTarget.CacheName == known.CacheName &&
                         ReadFileStamp(target, targetStamp) && targetStamp == knownTarget.Stamp;
    std::int64_t size = targetStamp.Size;
    if (!inPlace) {
        if (!haveBytes && !ReadCachedCopy(project, known, bytes)) {
            known = TKnownPicture(); // learnt again next time
            return std::nullopt;
        }
        try {
            WriteFileAtomically(target, bytes);
        } catch (const TError& e) {
            knownTarget = TKnownTarget();
            if (state.CopyFailures++ == 0)
                state.FirstCopyFailure = targetName + ": " + e.Message();
            return std::nullopt;
        }
        size = static_cast<std::int64_t>(bytes.size());
        if (ReadFileStamp(target, knownTarget.Stamp))
            knownTarget.CacheName = known.CacheName;
        else
            knownTarget = TKnownTarget();
    }
    state.Record(targetName, size, source);
    TBuildState::TWrittenFile& file = state.Files[targetName];
    file.SourceWidth = known.SourceWidth;
    file.SourceHeight = known.SourceHeight;
    file.Width = known.Width;
    file.Height = known.Height;
    return TShownSize{known.Width, known.Height};
}

// Pictures beside the pages: copied as they are, or, when the site limits their size, JPEGs,
// PNGs and WebPs larger than the limit written scaled down in their own format, with the tags
// giving the size written. A WebP on a site whose design is not Modern is written as PNG
// under a name of its own, so that every browser shows it.

#include "generator/BuildState.h"
#include "generator/Generator.h"

#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/PictureDecoder.h"
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

std::string CacheName(std::string_view bytes, std::int32_t maxSide, const std::string& extension) {
    static constexpr char Hex[] = "0123456789abcdef";
    std::uint64_t hash = ContentHash(bytes);
    std::string name(16, '0');
    for (int i = 15; i >= 0; --i, hash >>= 4)
        name[static_cast<std::size_t>(i)] = Hex[hash & 15];
    return name + "-" + std::to_string(bytes.size()) + "-" + std::to_string(maxSide) + extension;
}

// The extension of the copies the cache keeps in a format: ".jpg" for JPEG, as ever.
std::string CacheExtension(TPictureFormat format) {
    switch (format) {
    case TPictureFormat::Png:
        return ".png";
    case TPictureFormat::Webp:
        return ".webp";
    case TPictureFormat::Gif:
        return ".gif";
    case TPictureFormat::Jpeg:
        break;
    }
    return ".jpg";
}

// What a copy beside the pages is made as: the format it is written in, and whether it must
// be written even when it fits the size (a WebP turned into PNG).
struct TCopyKind {
    TPictureFormat Format = TPictureFormat::Jpeg;
    bool Converted = false;
};

bool IsWebpName(const std::string& part) {
    return IsPictureFileName(part) && PictureFormatOfName(part) == TPictureFormat::Webp;
}

struct TWebCopy {
    std::string Bytes;
    int Width = 0;
    int Height = 0;
};

// The web-sized copy of a picture from the cache, made and kept there when it is not there
// yet; none when the picture cannot be decoded (error tells why).
std::optional<TWebCopy> WebCopy(const TDProject& project, const std::string& source,
                                std::string_view bytes, std::int32_t maxSide, TCopyKind kind,
                                std::string& error) {
    const std::string cached =
        CacheFolder(project) + "/" + CacheName(bytes, maxSide, CacheExtension(kind.Format));
    if (IsPlainFile(cached)) {
        try {
            TWebCopy copy;
            copy.Bytes = ReadPictureBytes(cached);
            const TPictureSize size = DecodePictureSize(copy.Bytes, cached);
            copy.Width = size.Width;
            copy.Height = size.Height;
            if (maxSide <= 0 || std::max(copy.Width, copy.Height) <= maxSide)
                return copy;
        } catch (const TError&) {
            // A damaged copy is made again.
        }
    }
    TWebCopy copy;
    try {
        TScaledPicture scaled = ScalePicture(bytes, maxSide, kind.Format, source);
        copy.Bytes = std::move(scaled.Bytes);
        copy.Width = scaled.Width;
        copy.Height = scaled.Height;
    } catch (const TError& e) {
        error = e.Message();
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
    bool Scaled = false; // above the size or converted, written from its web-sized copy
    std::string CacheName;
    int SourceWidth = 0, SourceHeight = 0; // as stored, before the EXIF orientation
    int Width = 0, Height = 0;             // as written
    std::string Failure;                   // why a WebP to be converted could not be
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

// Learns what a picture is: whether it is a JPEG, PNG or WebP above the size (or one to be
// converted), and then its web-sized copy (made now when the cache lacks it). False when it
// is to be copied as it is; a picture to be converted that cannot be read or decoded leaves
// its reason in error.
bool LearnPicture(const TDProject& project, const std::string& source, std::int32_t maxSide,
                  TCopyKind kind, TKnownPicture& known, std::string& copyBytes,
                  std::string& error) {
    std::string bytes;
    TPictureSize size;
    try {
        bytes = ReadPictureBytes(source);
        size = DecodePictureSize(bytes, source);
    } catch (const TError& e) {
        if (kind.Converted)
            error = e.Message();
        return false; // what cannot be read, as it is
    }
    if (!kind.Converted) {
        // GIFs as they are, and any picture whose data is not of the format its name says.
        if (size.Format != kind.Format || size.Format == TPictureFormat::Gif)
            return false;
        if (maxSide <= 0 || std::max(size.Width, size.Height) <= maxSide)
            return false;
    }
    std::optional<TWebCopy> copy = WebCopy(project, source, bytes, maxSide, kind, error);
    if (!copy) {
        if (!kind.Converted)
            error.clear(); // copied as it is
        return false;
    }
    known.Scaled = true;
    known.CacheName = CacheName(bytes, maxSide, CacheExtension(kind.Format));
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

std::string PictureCacheFolder(const TDProject& project) {
    return CacheFolder(project);
}

std::string PictureOutputName(const TDProject& project, const std::string& name) {
    std::string part = FileNamePart(name);
    if (project.OPTIONS.IsModern() || !IsWebpName(part))
        return part;
    // "Photo.webp" becomes "Photo-webp.png": never the name of a PNG of the Images folder.
    return part.substr(0, part.size() - FileExtension(part).size()) + "-webp.png";
}

void CopyPictureIntoOutput(TDProject& project, const std::string& name) {
    CopyPictureIntoOutput(project, name, TPictureScaling::ToSiteSize);
}

void CopyPictureIntoOutput(TDProject& project, const std::string& name, TPictureScaling scaling) {
    const std::int32_t maxSide =
        scaling == TPictureScaling::ToSiteSize ? std::max(project.OPTIONS.PICTURE_SIZE, 0) : 0;
    const std::string part = FileNamePart(name);
    const std::string images = project.ImagesPath();
    const std::string outPart = PictureOutputName(project, name);
    TCopyKind kind;
    kind.Converted = outPart != part;
    TFileStamp stamp;
    if ((maxSide <= 0 && !kind.Converted) || part.empty() || part == "." || part == ".." ||
        !IsPictureFileName(outPart) || !ReadFileStamp(images + part, stamp)) {
        CopyIntoOutput(project, images, name);
        return;
    }
    kind.Format = PictureFormatOfName(outPart);
    const std::string source = images + part;
    if (!project.BuildState) {
        // Outside a build (a page on its own): no cache, the copy is made afresh.
        if (kind.Converted) {
            try {
                const TScaledPicture copy =
                    ScalePicture(ReadPictureBytes(source), maxSide, kind.Format, source);
                WriteFileAtomically(project.OutputFolder + "/" + outPart, copy.Bytes);
            } catch (const TError&) {
                // As a copy that fails outside a build: in silence.
            }
        } else {
            CopyIntoOutput(project, images, name);
        }
        return;
    }
    TBuildState& state = *project.BuildState;
    const auto written = state.Files.find(outPart);
    if (written != state.Files.end() && written->second.Source == source)
        return; // written once in this build already

    // What is known of this version of the picture, or learnt now.
    const std::string key =
        source + "\n" + std::to_string(maxSide) + (kind.Converted ? "\nconverted" : "");
    TKnownPicture& known = KnownPictures()[key];
    std::string copyBytes;
    bool haveBytes = false;
    const std::string cached = CacheFolder(project) + "/" + known.CacheName;
    if (!(known.Stamp == stamp) || (known.Scaled && !IsPlainFile(cached))) {
        known = TKnownPicture();
        if (!LearnPicture(project, source, maxSide, kind, known, copyBytes, known.Failure))
            known.Scaled = false;
        else
            haveBytes = true;
        known.Stamp = stamp;
    }
    if (!known.Scaled) {
        if (!kind.Converted) {
            CopyIntoOutput(project, images, name);
            return;
        }
        // A WebP that cannot be turned into PNG: the page links a picture that is not there,
        // which the build reports, as long as the file is as it was.
        if (state.CopyFailures++ == 0)
            state.FirstCopyFailure = part + ": " + known.Failure;
        return;
    }

    // The web-sized copy beside the pages, unless it is there already from an earlier build.
    const std::string target = project.OutputFolder + "/" + outPart;
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
            if (!LearnPicture(project, source, maxSide, kind, known, copyBytes, known.Failure)) {
                known.Scaled = false;
                if (kind.Converted) {
                    if (state.CopyFailures++ == 0)
                        state.FirstCopyFailure = part + ": " + known.Failure;
                } else {
                    CopyIntoOutput(project, images, name);
                }
                return;
            }
        }
        try {
            WriteFileAtomically(target, copyBytes);
        } catch (const TError& e) {
            knownTarget = TKnownTarget();
            if (state.CopyFailures++ == 0)
                state.FirstCopyFailure = outPart + ": " + e.Message();
            return;
        }
        size = static_cast<std::int64_t>(copyBytes.size());
        if (ReadFileStamp(target, knownTarget.Stamp))
            knownTarget.CacheName = known.CacheName;
        else
            knownTarget = TKnownTarget();
    }
    state.Record(outPart, size, source);
    TBuildState::TWrittenFile& file = state.Files[outPart];
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
    const auto found = project.BuildState->Files.find(PictureOutputName(project, name));
    if (found == project.BuildState->Files.end() || found->second.Width == 0)
        return stored;
    const TBuildState::TWrittenFile& file = found->second;
    // The stored size is the picture's own as the dialogs measure it: before its EXIF
    // orientation in projects of earlier versions, upright since (which the scaling below
    // turns into the same size). Either way the tag gives the size written.
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

TShownSize PictureFileSize(const TDProject& project, const std::string& name) {
    // Kept by the file's stamp: the preview builds every page again after each change.
    struct TKnownSize {
        TFileStamp Stamp;
        TShownSize Size;
    };
    thread_local std::unordered_map<std::string, TKnownSize> known;
    const std::string part = FileNamePart(name);
    const std::string source = project.ImagesPath() + part;
    TFileStamp stamp;
    if (part.empty() || part == "." || part == ".." || !ReadFileStamp(source, stamp))
        return {};
    TKnownSize& entry = known[source];
    if (entry.Stamp == stamp)
        return entry.Size;
    entry = TKnownSize();
    try {
        const TPictureSize size = DecodePictureSize(ReadPictureBytes(source), source);
        entry.Size = {size.Width, size.Height};
    } catch (const TError&) {
        // A picture that cannot be read gets a tag without a size.
    }
    entry.Stamp = stamp;
    return entry.Size;
}

std::optional<TShownSize> WriteScaledPicture(TDProject& project, const std::string& name,
                                             std::int32_t maxSide, const std::string& targetName) {
    const std::string part = FileNamePart(name);
    if (!project.BuildState || maxSide <= 0 || part.empty() || part == "." || part == ".." ||
        !IsPlainFileName(targetName) || !IsPictureFileName(targetName))
        return std::nullopt;
    const std::string source = project.ImagesPath() + part;
    TBuildState& state = *project.BuildState;
    // Every page that shows the picture asks again: what this build made, or could not make,
    // is answered without the file system.
    const auto written = state.Files.find(targetName);
    if (written != state.Files.end() && written->second.Source == source &&
        written->second.Width > 0)
        return TShownSize{written->second.Width, written->second.Height};
    std::string unmade = targetName;
    unmade.append("\n").append(source);
    if (state.UnmadeCopies.count(unmade))
        return std::nullopt;
    const auto none = [&] {
        state.UnmadeCopies.insert(std::move(unmade));
        return std::nullopt;
    };
    TFileStamp stamp;
    if (!ReadFileStamp(source, stamp))
        return none();
    // A name that is the user's own picture, or a file of this build from elsewhere, is never
    // written over: the page shows the original instead.
    if (written != state.Files.end() || IsPlainFile(project.ImagesPath() + targetName))
        return none();

    // The copy keeps the format its name says (the source's own, as PictureOutputName gives).
    TCopyKind kind;
    kind.Format = PictureFormatOfName(targetName);
    TKnownPicture& known =
        KnownPictures()[source + "\n" + std::to_string(maxSide) + "\nscaled copy"];
    std::string bytes;
    bool haveBytes = false;
    if (!(known.Stamp == stamp) ||
        (known.Scaled && !IsPlainFile(CacheFolder(project) + "/" + known.CacheName))) {
        known = TKnownPicture();
        haveBytes = LearnPicture(project, source, maxSide, kind, known, bytes, known.Failure);
        known.Scaled = haveBytes;
        known.Stamp = stamp;
    }
    if (!known.Scaled)
        return none();
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

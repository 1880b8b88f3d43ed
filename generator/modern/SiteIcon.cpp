// The letter icon of the modern sites.

#include "generator/modern/SiteIcon.h"

#include "generator/Generator.h"
#include "generator/TextPieces.h"
#include "generator/modern/ModernPalette.h"

#include "model/Contrast.h"
#include "platform/FileSystem.h"
#include "platform/PictureScaler.h"

#include <cctype>
#include <cstdint>
#include <string_view>

std::string SiteIconSvg(const TDProject& project) {
    const TModernPalette palette = TModernPalette::Light(project.COLOR);
    const std::string& caption =
        project.TOPIC.CAPTION.empty() ? project.TOPIC.TITLE : project.TOPIC.CAPTION;
    std::string letter;
    for (std::size_t at = 0; at < caption.size(); at += TextPieces::CharLength(caption, at)) {
        const auto c = static_cast<unsigned char>(caption[at]);
        // A character reference ("&quot;") the user typed is no letter of the caption.
        if (c == '&') {
            std::size_t end = at + 1;
            while (end < caption.size() && end - at <= 32 &&
                   (caption[end] == '#' || std::isalnum(static_cast<unsigned char>(caption[end]))))
                ++end;
            if (end < caption.size() && caption[end] == ';' && end > at + 1) {
                at = end; // the loop steps past the ";"
                continue;
            }
        }
        const bool wordCharacter =
            c >= 0x80 || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        if (wordCharacter) {
            letter = caption.substr(at, TextPieces::CharLength(caption, at));
            if (letter.size() == 1 && letter[0] >= 'a' && letter[0] <= 'z')
                letter[0] = static_cast<char>(letter[0] - 'a' + 'A');
            break;
        }
    }
    const TColor background = palette.TopicBg;
    const TColor ink = WithContrast(palette.TopicText, background, TextContrast);
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 64 64\">"
                      "<rect width=\"64\" height=\"64\" rx=\"12\" fill=\"" +
                      HtmlColor(background, false) + "\"/>";
    if (!letter.empty())
        svg += "<text x=\"32\" y=\"45\" font-family=\"system-ui, sans-serif\" font-size=\"40\" "
               "font-weight=\"bold\" text-anchor=\"middle\" fill=\"" +
               HtmlColor(ink, false) + "\">" + XmlEscaped(letter) + "</text>";
    svg += "</svg>\n";
    return svg;
}

namespace {

std::string LogoFile(const TDProject& project) {
    const std::string part = FileNamePart(project.TOPIC.LOGO);
    if (part.empty() || part == "." || part == ".." || !IsPictureFileName(part))
        return {};
    return project.ImagesPath() + part;
}

} // namespace

bool HasLogoIcons(const TDProject& project) {
    const std::string file = LogoFile(project);
    if (file.empty())
        return false;
    try {
        const TPictureSize size = ReadPictureSize(file);
        return size.Width > 0 && size.Height > 0;
    } catch (const TError&) {
        return false;
    }
}

namespace {

// The logo as a square PNG of side pixels, made from its bytes.
std::string MakeLogoIconPng(const std::string& file, int side) {
    const std::string bytes = ReadPictureBytes(file);
    TPicture logo = DecodePicture(bytes, file);
    if (logo.Format == TPictureFormat::Jpeg)
        logo = Oriented(logo, JpegOrientation(bytes));
    const TPicture scaled = ScaledToFit(logo, side);
    // Centred on a transparent square.
    TPicture icon;
    icon.Format = TPictureFormat::Png;
    icon.Width = icon.Height = side;
    icon.Pixels.assign(static_cast<std::size_t>(side) * static_cast<std::size_t>(side) * 4, 0);
    const int left = (side - scaled.Width) / 2;
    const int top = (side - scaled.Height) / 2;
    for (int y = 0; y < scaled.Height; ++y) {
        const auto from = scaled.Pixels.begin() + static_cast<std::ptrdiff_t>(y) * scaled.Width * 4;
        const auto to =
            icon.Pixels.begin() + (static_cast<std::ptrdiff_t>(top + y) * side + left) * 4;
        std::copy(from, from + static_cast<std::ptrdiff_t>(scaled.Width) * 4, to);
    }
    return EncodePng(icon, file);
}

// The name of an icon in the pictures' cache: by the logo's file, its stamp and the side.
std::string CachedIconName(const std::string& file, const TFileStamp& stamp, int side) {
    std::uint64_t hash = 14695981039346656037ull; // 64-bit FNV-1a
    const auto mix = [&](std::string_view bytes) {
        for (const char c : bytes) {
            hash ^= static_cast<unsigned char>(c);
            hash *= 1099511628211ull;
        }
    };
    mix(file);
    for (const std::int64_t value :
         {static_cast<std::int64_t>(stamp.Device), static_cast<std::int64_t>(stamp.Inode),
          stamp.Size, stamp.ModifiedSeconds,
          static_cast<std::int64_t>(stamp.ModifiedNanoseconds)}) {
        mix("\n");
        mix(std::to_string(value));
    }
    static constexpr char Hex[] = "0123456789abcdef";
    std::string name = "icon-";
    for (int shift = 60; shift >= 0; shift -= 4)
        name += Hex[(hash >> shift) & 15];
    name.append("-").append(std::to_string(side)).append(".png");
    return name;
}

} // namespace

std::string LogoIconPng(const TDProject& project, int side) {
    const std::string file = LogoFile(project);
    TFileStamp stamp;
    if (file.empty() || !ReadFileStamp(file, stamp))
        return MakeLogoIconPng(file, side); // names what is wrong
    // The preview builds the site again after every change: the icons are made once for each
    // logo and kept with the other pictures the builds made.
    const std::string cached =
        PictureCacheFolder(project) + "/" + CachedIconName(file, stamp, side);
    if (IsPlainFile(cached)) {
        try {
            std::string png = ReadPictureBytes(cached);
            const TPictureSize size = DecodePictureSize(png, cached);
            if (size.Width == side && size.Height == side)
                return png;
        } catch (const TError&) {
            // A damaged copy is made again.
        }
    }
    std::string png = MakeLogoIconPng(file, side);
    try {
        MakeFolder(PictureCacheFolder(project));
        WriteFileAtomically(cached, png);
    } catch (const TError&) {
        // Without the cache the next build makes the icon again; nothing else is lost.
    }
    return png;
}

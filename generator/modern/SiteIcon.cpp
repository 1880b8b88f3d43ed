// The letter icon of the modern sites.

#include "generator/modern/SiteIcon.h"

#include "generator/Generator.h"
#include "generator/TextPieces.h"
#include "generator/modern/ModernPalette.h"

#include "model/Contrast.h"
#include "platform/FileSystem.h"
#include "platform/PictureScaler.h"

#include <cctype>

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

std::string LogoIconPng(const TDProject& project, int side) {
    const std::string file = LogoFile(project);
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

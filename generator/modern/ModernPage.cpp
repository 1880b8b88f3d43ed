// One page of the modern design.

#include "generator/modern/ModernPage.h"

#include "generator/BuildState.h"
#include "generator/Generator.h"
#include "generator/TextPieces.h"
#include "generator/modern/ModernContent.h"
#include "generator/modern/ModernPalette.h"
#include "generator/modern/ModernStyleSheet.h"
#include "generator/modern/PlainSummary.h"
#include "generator/modern/SiteIcon.h"
#include "generator/modern/TypedHtml.h"

#include "model/SiteLanguage.h"
#include "platform/FileSystem.h"
#include "platform/Locale.h"
#include "platform/Text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>
#include <string>

using namespace TextPieces;

namespace {

// Languages written from right to left: by the script subtag where the tag has one
// ("ku-Arab", "pa-Arab", "az-Latn"), else by the language's usual script. Kurdish (ku) is
// mostly Kurmanji in Latin letters, Sorani has a code of its own (ckb); Hausa is written in
// Latin letters today.
bool IsRightToLeft(const std::string& tag) {
    const auto lower = [](std::string text) {
        for (char& c : text)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        return text;
    };
    for (std::size_t at = tag.find('-'); at != std::string::npos;) {
        const std::size_t end = tag.find('-', at + 1);
        const std::string subtag =
            lower(tag.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1));
        if (subtag.size() == 1)
            break; // extensions and private use ("-x-...") follow: no script among them
        if (subtag.size() == 4 && std::isalpha(static_cast<unsigned char>(subtag[0]))) {
            static constexpr const char* RightToLeftScripts[] = {
                "adlm", "arab", "hebr", "mand", "nkoo", "rohg", "samr", "syrc", "thaa"};
            for (const char* script : RightToLeftScripts)
                if (subtag == script)
                    return true;
            return false;
        }
        at = end;
    }
    const std::string language = lower(tag.substr(0, tag.find('-')));
    static constexpr const char* RightToLeft[] = {"ar", "arc", "ckb", "dv", "fa", "he", "iw",
                                                  "ks", "ps",  "sd",  "ug", "ur", "yi"};
    for (const char* entry : RightToLeft)
        if (language == entry)
            return true;
    return false;
}

// The site's language tag as the html element gives it, in its usual case: "en" when none
// was chosen or the stored one is no language tag (a hand-edited "pt_BR").
std::string LanguageTag(const std::string& tag) {
    return NormalizeLanguageTag(tag).value_or("en");
}

// The number for a tel: address: digits and a leading "+", without the "(0)" that a number
// written for callers at home and abroad holds.
std::string TelephoneHref(std::string number) {
    for (std::size_t at; (at = number.find("(0)")) != std::string::npos;)
        number.erase(at, 3);
    std::string out;
    for (const char c : number)
        if ((c >= '0' && c <= '9') || (c == '+' && out.empty()))
            out += c;
    return out;
}

// An address that names a file beside the page: no scheme ("https:", "mailto:"), no
// anchor, no path from the host's root.
bool IsRelativeAddress(const std::string& address) {
    if (address.empty() || address[0] == '/' || address[0] == '#' || address[0] == '?')
        return false;
    const std::size_t colon = address.find(':');
    return colon == std::string::npos || address.find_first_of("/?#") < colon;
}

} // namespace

TModernPage::TModernPage(TDProject& project, bool notFound)
    : FProject(project), FOut(project.Output), FColumn(notFound ? nullptr : CurrentColumn),
      FHomepage(!notFound && IsHomepage(project)), FNotFound(notFound) {
    for (int i = 0; i < project.MenuCount && FFirstColumn < 0; ++i)
        if (project.MenuItem(i).IsColumn())
            FFirstColumn = i;
    if (notFound)
        FRoot = Root(project);
    if (project.BuildState && !notFound) {
        std::shared_ptr<void>& slot = project.BuildState->DesignShared;
        if (!slot)
            slot = std::make_shared<TModernShared>(MakeShared(project, FFirstColumn, FRoot));
        FShared = static_cast<const TModernShared*>(slot.get());
    } else {
        FOwnShared = MakeShared(project, FFirstColumn, FRoot);
        FShared = &FOwnShared;
    }
    if (FColumn && project.CurrentItem >= 0 && project.CurrentItem < project.MenuCount) {
        FItem = &project.MenuItem(project.CurrentItem);
        FPage = FColumn->CurrentPage;
        if (FPage >= FColumn->PageCount)
            FPage = -1;
    } else {
        FColumn = nullptr;
    }
}

std::string TModernPage::Root(const TDProject& project) {
    // From the root of the host, whatever its name and scheme the visitor used (with or
    // without www, http or https): the site's address gives the folder the site is in
    // ("https://example.org/club/" gives "/club/"). Without an address the site is taken to
    // be at the root of its host: TDPublish.FOLDER names a folder on the FTP server, whose
    // root is seldom the web server's, and tells nothing of the path the visitors see.
    if (!IsSiteAddress(project.TOPIC.DOMAIN))
        return "/";
    const std::string address = SiteAddress(project);
    const std::size_t host = address.find("://") + 3;
    return ModernEscaped(address.substr(address.find('/', host)));
}

TModernShared TModernPage::MakeShared(const TDProject& project, int firstColumn,
                                      const std::string& root) {
    TModernShared shared;
    shared.ThemeColor = HtmlColor(TModernPalette::Light(project.COLOR).TopicBg, false);
    shared.LogoIcons = HasLogoIcons(project);
    shared.MenuLabel = ModernEscaped(Translate(project, "MENU"));
    for (int i = 0; i < project.MenuCount; ++i) {
        const TDMenuItem& item = project.MenuItem(i);
        // The homepage's name may hold blanks, quotes and more ("Start page").
        std::string href = item.IsColumn()
                               ? AddressPart(PageFileName(project, i, -1, i == firstColumn))
                               : LinkAddress(item.URL);
        if (!href.empty() && !root.empty() && IsRelativeAddress(href))
            href.insert(0, root);
        if (href.empty()) {
            // An entry that leads nowhere is left out (an empty slot keeps the numbering).
            shared.MenuOpen.emplace_back();
            shared.MenuRest.emplace_back();
            continue;
        }
        std::string open = "<li><a href=\"";
        open.append(href).append("\"");
        // An entry without a title shows where it leads, so that no link is nameless.
        std::string rest = ">";
        rest.append(item.TITLE.empty() ? href : ModernEscaped(item.TITLE)).append("</a></li>");
        shared.MenuOpen.push_back(std::move(open));
        shared.MenuRest.push_back(std::move(rest));
    }
    return shared;
}

std::string TModernPage::AddressPart(const std::string& name) {
    return PercentEncoded(name);
}

std::string TModernPage::TimeElement(const std::string& date) {
    TDate parsed;
    if (date.empty())
        return {};
    if (!ParseShortDate(date, parsed))
        return ModernEscaped(date);
    return "<time datetime=\"" + FormatIsoDate(parsed) + "\">" +
           ModernEscaped(FormatShortDate(parsed)) + "</time>";
}

std::string TModernPage::Byline(const TDPage& page, const TDMenuItem& item) {
    std::string out = item.SHOW_AUTHOR ? ModernEscaped(page.AUTHOR) : std::string();
    const std::string date = item.SHOW_DATE ? TimeElement(page.DATE) : std::string();
    if (!out.empty() && !date.empty())
        out += " \xC2\xB7 "; // a middle dot between them
    out += date;
    return out;
}

std::string TModernPage::Picture(TDProject& project, const std::string& name, std::int32_t width,
                                 std::int32_t height, const std::string& alt, std::int32_t maxWidth,
                                 bool lazy, const char* cssClass, const std::string& root) {
    const TShownSize written = ShownPictureSize(project, name, width, height);
    TShownSize shown = written;
    if (maxWidth > 0)
        shown = {FitWidthOf(maxWidth, written.Width),
                 FitHeightOf(maxWidth, written.Width, written.Height)};
    // The file beside the pages (a WebP of a Classic site is written as PNG), and its sized
    // copies in the same format.
    std::string source = PictureOutputName(project, name);
    std::string sharp;
    if (shown.Width > 0 && shown.Height > 0) {
        const std::string base = WithoutExtension(source);
        const std::string extension = source.substr(base.size());
        const std::int32_t side = std::max(shown.Width, shown.Height);
        // A picture shown smaller than it is written: a copy of the size shown.
        if (shown.Width < written.Width) {
            std::string small = base;
            small.append("-").append(std::to_string(shown.Width)).append(extension);
            if (WriteScaledPicture(project, name, side, small))
                source = small;
        }
        std::string twice = base;
        twice.append("-").append(std::to_string(2 * shown.Width)).append(extension);
        if (WriteScaledPicture(project, name, 2 * side, twice))
            sharp = twice;
    }
    std::string out = "<img src=\"";
    out.append(root).append(AddressPart(source)).append("\"");
    if (!sharp.empty())
        out.append(" srcset=\"")
            .append(root)
            .append(AddressPart(source))
            .append(" 1x, ")
            .append(root)
            .append(AddressPart(sharp))
            .append(" 2x\"");
    out.append(" alt=\"").append(alt).append("\"");
    if (shown.Width > 0 && shown.Height > 0)
        out.append(" width=\"")
            .append(std::to_string(shown.Width))
            .append("\" height=\"")
            .append(std::to_string(shown.Height))
            .append("\"");
    if (lazy)
        out += " loading=\"lazy\"";
    if (cssClass)
        out.append(" class=\"").append(cssClass).append("\"");
    out += '>';
    return out;
}

// The page's first-level heading as typed: the title of the page, the column's (the
// homepage's too), the site's on a homepage without columns.
std::string TModernPage::OwnTitle() const {
    if (FNotFound)
        return Translate(FProject, "PAGE_NOT_FOUND");
    if (!FColumn)
        return FProject.TOPIC.TITLE;
    if (FPage >= 0 && !FColumn->Page(FPage).TITLE.empty())
        return FColumn->Page(FPage).TITLE;
    return FItem->TITLE;
}

std::string TModernPage::Description() const {
    std::string description;
    if (FColumn && FPage >= 0)
        description = PageSummary(FColumn->Page(FPage));
    else if (FColumn && FColumn->PageCount > 0)
        description = PageSummary(FColumn->Page(0));
    if (description.empty())
        description = ModernEscaped(FProject.TOPIC.DESCRIPTION);
    if (description.empty())
        description = ModernEscaped(FProject.TOPIC.CAPTION);
    return description;
}

std::string TModernPage::FileName() const {
    if (FNotFound)
        return "404.html";
    if (!FColumn)
        return FProject.FRAME.HOMEPAGE + ".htm";
    return FProject.PageName + ".htm";
}

void TModernPage::Write() {
    const std::string tag = LanguageTag(FProject.OPTIONS.SITE_LANGUAGE);
    Line(FOut, "<!DOCTYPE html>");
    Line(FOut, "<html lang=\"", tag, "\"", IsRightToLeft(tag) ? " dir=\"rtl\"" : "", ">");
    WriteHead();
    Line(FOut, "<body>");
    Line(FOut, "<a class=\"skip\" href=\"#content\">",
         ModernEscaped(Translate(FProject, "SKIP_TO_CONTENT")), "</a>");
    Line(FOut, "<div class=\"site\">");
    WriteHeader();
    WriteMenu();
    WriteMain();
    // The hotspot's text links and shows files by addresses relative to the pages: the 404
    // page, shown at any depth, leaves it out.
    if (FProject.FRAME.HAS_HOTSPOT && !FNotFound)
        WriteHotspot();
    WriteFoot();
    Line(FOut, "</div>");
    Line(FOut, "</body>");
    Line(FOut, "</html>");
}

void TModernPage::WriteHead() {
    const TDTopic& topic = FProject.TOPIC;
    Line(FOut, "<head>");
    Line(FOut, "<meta charset=\"utf-8\">");
    Line(FOut, "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">");
    // Every page's title is its heading and the site's caption; a heading that is the
    // caption is not said twice.
    const std::string caption = ModernEscaped(topic.CAPTION);
    std::string own = ModernEscaped(OwnTitle());
    if (own == caption)
        own.clear();
    std::string title = own;
    if (!own.empty() && !caption.empty())
        title += " \xE2\x80\x93 "; // an en dash
    title += caption;
    if (title.empty())
        title = ModernEscaped(topic.TITLE);
    Line(FOut, "<title>", title, "</title>");
    const std::string description = Description();
    Line(FOut, "<meta name=\"description\" content=\"", description, "\">");
    if (!topic.KEYWORDS.empty())
        Line(FOut, "<meta name=\"keywords\" content=\"", ModernEscaped(topic.KEYWORDS), "\">");
    Line(FOut, "<meta name=\"generator\" content=\"Corvane " CORVANE_VERSION "\">");
    Line(FOut, "<meta name=\"theme-color\" content=\"", FShared->ThemeColor, "\">");
    if (FShared->LogoIcons) {
        Line(FOut, "<link rel=\"icon\" href=\"", FRoot, LogoIconName,
             "\" type=\"image/png\" sizes=\"", LogoIconSide, "x", LogoIconSide, "\">");
        Line(FOut, "<link rel=\"apple-touch-icon\" href=\"", FRoot, LogoTouchIconName, "\">");
    } else {
        Line(FOut, "<link rel=\"icon\" href=\"", FRoot, SiteIconName, "\" type=\"image/svg+xml\">");
    }
    Line(FOut, "<link rel=\"stylesheet\" href=\"", FRoot, ModernStyleSheetName, "\">");
    if (FProject.OPTIONS.FEEDS && FColumn && FPage < 0)
        Line(FOut, "<link rel=\"alternate\" type=\"application/rss+xml\" title=\"",
             ModernEscaped(FItem->TITLE), "\" href=\"", FeedFileName(FProject.CurrentItem), "\">");
    if (IsSiteAddress(topic.DOMAIN) && !FNotFound)
        WriteSocialTags(title, description);
    WriteStructuredData();
    Line(FOut, "</head>");
}

void TModernPage::WriteSocialTags(const std::string& title, const std::string& description) {
    const std::string site = ModernEscaped(SiteAddress(FProject));
    const std::string url = site + AddressPart(FileName());
    Line(FOut, "<link rel=\"canonical\" href=\"", url, "\">");
    const bool article = FColumn && FPage >= 0;
    Line(FOut, "<meta property=\"og:type\" content=\"", article ? "article" : "website", "\">");
    Line(FOut, "<meta property=\"og:url\" content=\"", url, "\">");
    Line(FOut, "<meta property=\"og:title\" content=\"", title, "\">");
    Line(FOut, "<meta property=\"og:description\" content=\"", description, "\">");
    Line(FOut, "<meta property=\"og:site_name\" content=\"", ModernEscaped(FProject.TOPIC.CAPTION),
         "\">");
    std::string picture;
    if (article)
        picture = FColumn->Page(FPage).PICTURE;
    else if (!FProject.TOPIC.LOGO.empty())
        picture = FProject.TOPIC.LOGO;
    if (!picture.empty())
        Line(FOut, "<meta property=\"og:image\" content=\"", site,
             AddressPart(FileNamePart(picture)), "\">");
    Line(FOut, "<meta name=\"twitter:card\" content=\"",
         article && !picture.empty() ? "summary_large_image" : "summary", "\">");
    Line(FOut, "<meta name=\"twitter:title\" content=\"", title, "\">");
    Line(FOut, "<meta name=\"twitter:description\" content=\"", description, "\">");
    if (!picture.empty())
        Line(FOut, "<meta name=\"twitter:image\" content=\"", site,
             AddressPart(FileNamePart(picture)), "\">");
}

void TModernPage::WriteStructuredData() {
    const TDTopic& topic = FProject.TOPIC;
    const bool address = IsSiteAddress(topic.DOMAIN);
    if (FColumn && FPage >= 0) {
        const TDPage& page = FColumn->Page(FPage);
        std::string data = "{\"@context\": \"https://schema.org\", \"@type\": \"Article\", "
                           "\"headline\": " +
                           JsonString(page.TITLE);
        if (!page.AUTHOR.empty())
            data +=
                ", \"author\": {\"@type\": \"Person\", \"name\": " + JsonString(page.AUTHOR) + "}";
        TDate date;
        if (ParseShortDate(page.DATE, date))
            data += ", \"datePublished\": \"" + FormatIsoDate(date) + "\"";
        if (address && !page.PICTURE.empty())
            data += ", \"image\": " +
                    JsonString(SiteAddress(FProject) + AddressPart(FileNamePart(page.PICTURE)));
        data += "}";
        Line(FOut, "<script type=\"application/ld+json\">", data, "</script>");
    } else if (FHomepage) {
        std::string data = "{\"@context\": \"https://schema.org\", \"@type\": \"WebSite\", "
                           "\"name\": " +
                           JsonString(topic.CAPTION);
        if (address)
            data += ", \"url\": " + JsonString(SiteAddress(FProject));
        data += "}";
        Line(FOut, "<script type=\"application/ld+json\">", data, "</script>");
    }
}

void TModernPage::CopySitePictures() {
    if (!FHomepage)
        return;
    if (!FProject.FRAME.BACKGROUND.empty())
        CopyIntoOutput(FProject, FProject.ImagesPath(), FProject.FRAME.BACKGROUND);
    if (!FProject.TOPIC.LOGO.empty())
        CopyPictureIntoOutput(FProject, FProject.TOPIC.LOGO);
    if (FProject.FRAME.HAS_HOTSPOT) {
        if (!FProject.HOTSPOT.PICTURE.empty())
            CopyPictureIntoOutput(FProject, FProject.HOTSPOT.PICTURE);
        if (FProject.HOTSPOT.KIND == "Download")
            CopyIntoOutput(FProject, FProject.DownloadsPath(), FProject.HOTSPOT.URL);
    }
}

void TModernPage::WriteHeader() {
    CopySitePictures();
    const TDTopic& topic = FProject.TOPIC;
    const std::string home = FProject.FRAME.HOMEPAGE + ".htm";
    Line(FOut, "<header class=\"topic\">");
    if (FProject.FRAME.HAS_WELCOME) {
        Text(FOut, "<div class=\"welcome\"><p>", ModernEscaped(Translate(FProject, "WELCOME")),
             "</p>");
        if (FProject.WELCOME.HAS_CONTACT && !FProject.FOOT.EMAIL.empty())
            Text(FOut, "<p><a href=\"mailto:", ModernEscaped(FProject.FOOT.EMAIL), "\">",
                 ModernEscaped(Translate(FProject, "CONTACTUS")), "</a></p>");
        Line(FOut, "</div>");
    }
    // One link home holds the logo and the site's title; the logo's alt text speaks only when
    // there is no title beside it.
    Line(FOut, "<div class=\"brand\">");
    const std::string title = ModernEscaped(topic.TITLE);
    if (!topic.LOGO.empty() || !title.empty()) {
        Text(FOut, "<a class=\"home\" href=\"", FRoot, AddressPart(home), "\">");
        if (!topic.LOGO.empty())
            Text(FOut, Picture(FProject, topic.LOGO, topic.LOGO_WIDTH, topic.LOGO_HEIGHT,
                               title.empty() ? ModernEscaped(topic.CAPTION) : std::string(), 0,
                               false, nullptr, FRoot));
        if (!title.empty())
            Text(FOut, "<span class=\"site-title\">", title, "</span>");
        Line(FOut, "</a>");
    }
    if (!topic.CAPTION.empty() && topic.CAPTION != topic.TITLE)
        Line(FOut, "<p class=\"caption\">", ModernEscaped(topic.CAPTION), "</p>");
    Line(FOut, "</div>");
    Line(FOut, "</header>");
}

void TModernPage::WriteMenu() {
    const bool any = std::any_of(FShared->MenuOpen.begin(), FShared->MenuOpen.end(),
                                 [](const std::string& open) { return !open.empty(); });
    if (!any)
        return; // no nav without a link in it
    Line(FOut, "<nav class=\"menu\" aria-label=\"", FShared->MenuLabel, "\">");
    Line(FOut, "<ul>");
    for (std::size_t i = 0; i < FShared->MenuOpen.size(); ++i) {
        if (FShared->MenuOpen[i].empty())
            continue;
        const char* current = "";
        if (FColumn && static_cast<int>(i) == FProject.CurrentItem)
            current = FPage < 0 ? " aria-current=\"page\"" : " aria-current=\"true\"";
        Line(FOut, FShared->MenuOpen[i], current, FShared->MenuRest[i]);
    }
    Line(FOut, "</ul>");
    Line(FOut, "</nav>");
}

void TModernPage::WriteMain() {
    Line(FOut, "<main id=\"content\">");
    if (FNotFound) {
        Line(FOut, "<h1>", ModernEscaped(Translate(FProject, "PAGE_NOT_FOUND")), "</h1>");
        Line(FOut, "<p><a href=\"", FRoot, AddressPart(FProject.FRAME.HOMEPAGE + ".htm"), "\">",
             ModernEscaped(Translate(FProject, "BACK_TO_HOMEPAGE")), "</a></p>");
    } else if (!FColumn) {
        Line(FOut, "<h1>",
             ModernEscaped(FProject.TOPIC.TITLE.empty() ? FProject.TOPIC.CAPTION
                                                        : FProject.TOPIC.TITLE),
             "</h1>");
    } else {
        TModernContent content(FProject, *FColumn, FProject.CurrentItem,
                               FProject.CurrentItem == FFirstColumn);
        if (FPage < 0) {
            // The listing page brings the pictures and downloads of the column's pages along.
            const std::string downloads = FProject.DownloadsPath();
            for (int j = 0; j < FColumn->PageCount; ++j) {
                const TDPage& page = FColumn->Page(j);
                if (!page.PICTURE.empty())
                    CopyPictureIntoOutput(FProject, page.PICTURE);
                if (page.KIND == "Download")
                    CopyIntoOutput(FProject, downloads, page.URL);
            }
            content.WriteListing();
        } else {
            content.WriteArticle(FPage);
        }
    }
    Line(FOut, "</main>");
}

void TModernPage::WriteHotspot() {
    const TDHotspot& hotspot = FProject.HOTSPOT;
    const std::string title = ModernEscaped(hotspot.TITLE);
    const bool titled = !title.empty() && (hotspot.POSITION == "Title On Top" ||
                                           hotspot.POSITION == "Picture On Top");
    Line(FOut, titled ? "<aside class=\"hotspot\" aria-labelledby=\"hotspot-title\">"
                      : "<aside class=\"hotspot\">");
    const auto heading = [&] { Line(FOut, "<h2 id=\"hotspot-title\">", title, "</h2>"); };
    if (titled && hotspot.POSITION == "Title On Top")
        heading();
    // Beside its heading the picture is decoration: an alt text would read the title twice.
    if (!hotspot.PICTURE.empty())
        Line(FOut, "<figure>",
             Picture(FProject, hotspot.PICTURE, hotspot.PICTURE_WIDTH, hotspot.PICTURE_HEIGHT,
                     titled          ? std::string()
                     : title.empty() ? ModernEscaped(FProject.TOPIC.CAPTION)
                                     : title,
                     0, false),
             "</figure>");
    if (titled && hotspot.POSITION == "Picture On Top")
        heading();
    if (!hotspot.TEXT.empty()) {
        Text(FOut, "<div class=\"text\">");
        WriteHotspotText(FProject, titled ? 3 : 2); // below the hotspot's h2, if it has one
        Line(FOut, "</div>");
    }
    if (!hotspot.LINK.empty()) {
        std::string href;
        if (hotspot.KIND == "Link")
            href = LinkAddress(hotspot.URL);
        else if (hotspot.KIND == "E-mail")
            href = "mailto:" + ModernEscaped(hotspot.URL);
        else if (hotspot.KIND == "Download")
            href = AddressPart(FileNamePart(hotspot.URL));
        if (!href.empty())
            Line(FOut, "<p class=\"actions\"><a class=\"button\" href=\"", href, "\"",
                 hotspot.KIND == "Download" ? " download" : "", ">", ModernEscaped(hotspot.LINK),
                 "</a></p>");
    }
    Line(FOut, "</aside>");
}

void TModernPage::WriteFoot() {
    const TDFoot& foot = FProject.FOOT;
    Line(FOut, "<footer class=\"foot\">");
    if (!foot.COPYRIGHT.empty())
        Line(FOut, "<p>", ModernEscaped(foot.COPYRIGHT), "</p>");
    if (!foot.ADDRESS.empty() || !foot.TEL.empty() || !foot.FAX.empty() || !foot.EMAIL.empty()) {
        Line(FOut, "<address>");
        const auto word = [&](const char* key) { return ModernEscaped(Translate(FProject, key)); };
        if (!foot.ADDRESS.empty())
            Line(FOut, "<p>", word("ADDRESS"), ": ", ModernEscaped(foot.ADDRESS), "</p>");
        if (!foot.TEL.empty()) {
            const std::string number = TelephoneHref(foot.TEL);
            if (number.empty())
                Line(FOut, "<p>", word("TEL"), ": ", ModernEscaped(foot.TEL), "</p>");
            else
                Line(FOut, "<p>", word("TEL"), ": <a href=\"tel:", number, "\">",
                     ModernEscaped(foot.TEL), "</a></p>");
        }
        if (!foot.FAX.empty())
            Line(FOut, "<p>", word("FAX"), ": ", ModernEscaped(foot.FAX), "</p>");
        if (!foot.EMAIL.empty())
            Line(FOut, "<p>", word("EMAIL"), ": <a href=\"mailto:", ModernEscaped(foot.EMAIL),
                 "\">", ModernEscaped(foot.EMAIL), "</a></p>");
        Line(FOut, "</address>");
    }
    Line(FOut, "</footer>");
}

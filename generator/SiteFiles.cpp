// The files that the site options add beside the pages: a news feed for each column
// (Page«ITEM».xml, RSS 2.0) and, when the site has an address of its own, sitemap.xml with
// robots.txt naming it. They are XML and plain text in UTF-8, whatever the pages' charset.

#include "generator/BuildState.h"
#include "generator/Generator.h"
#include "generator/TextPieces.h"

#include "platform/Error.h"
#include "platform/Locale.h"
#include "platform/OutputFile.h"
#include "platform/Text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

// A feed's description of a page holds this many characters of its text without markup.
constexpr std::size_t FeedDescriptionLength = 300;

bool StartsWithNoCase(const std::string& text, const char* prefix) {
    for (std::size_t i = 0; prefix[i] != '\0'; ++i)
        if (i >= text.size() || std::tolower(static_cast<unsigned char>(text[i])) !=
                                    static_cast<unsigned char>(prefix[i]))
            return false;
    return true;
}

std::optional<TDate> PageDate(const TDPage& page) {
    TDate date;
    if (!page.DATE.empty() && ParseShortDate(page.DATE, date))
        return date;
    return std::nullopt;
}

bool Before(const TDate& a, const TDate& b) {
    if (a.Year != b.Year)
        return a.Year < b.Year;
    if (a.Month != b.Month)
        return a.Month < b.Month;
    return a.Day < b.Day;
}

// Sat, 03 Feb 2001 00:00:00 GMT, the date form of RSS 2.0 (RFC 822 with a four-digit year).
std::string FeedDate(const TDate& date) {
    static constexpr const char* Days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* Months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    // The day of the week by Sakamoto's method.
    static constexpr int Offsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    const int year = date.Month < 3 ? date.Year - 1 : date.Year;
    const int weekday =
        (year + year / 4 - year / 100 + year / 400 + Offsets[date.Month - 1] + date.Day) % 7;
    char text[48];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d 00:00:00 GMT", Days[weekday], date.Day,
                  Months[date.Month - 1], date.Year);
    return text;
}

// A plain text for a title of the feed: without markup, escaped.
std::string FeedText(const std::string& text) {
    return XmlEscaped(PlainTextStart(text, text.size()));
}

void WriteSiteFile(TDProject& project, const std::string& name, const std::string& text) {
    TOutputFile file;
    const std::string fileName = project.OutputFolder + "/" + name;
    try {
        file.Open(fileName);
        file.Write(text);
        file.Close();
    } catch (const TError& e) {
        throw e.InFile(fileName);
    }
    if (project.BuildState)
        project.BuildState->Record(name, static_cast<std::int64_t>(text.size()), {});
}

void Line(std::string& out, const std::string& text) {
    out += text;
    out += "\r\n";
}

} // namespace

bool IsSiteAddress(const std::string& domain) {
    std::size_t host;
    if (StartsWithNoCase(domain, "http://"))
        host = 7;
    else if (StartsWithNoCase(domain, "https://"))
        host = 8;
    else
        return false;
    if (host >= domain.size() || domain[host] == '/')
        return false;
    for (const char ch : domain) {
        const auto c = static_cast<unsigned char>(ch);
        if (c <= ' ' || c == 0x7F || c == '"' || c == '<' || c == '>' || c == '\\' || c == '?' ||
            c == '#')
            return false;
    }
    return true;
}

std::string SiteAddress(const TDProject& project) {
    std::string address = project.TOPIC.DOMAIN;
    if (address.back() != '/')
        address += '/';
    return address;
}

std::string FeedFileName(int item) {
    return "Page" + std::to_string(item) + ".xml";
}

std::string PageFileName(const TDProject& project, int item, int page, bool firstColumn) {
    if (page < 0)
        return firstColumn ? project.FRAME.HOMEPAGE + ".htm"
                           : "Page" + std::to_string(item) + ".htm";
    return "Page" + std::to_string(item) + "_" + std::to_string(page) + ".htm";
}

void NoteSitePages(TDProject& project, int item, const TDColumn& column, bool firstColumn,
                   bool ownFiles) {
    if (!project.BuildState || !project.OPTIONS.SITEMAP)
        return;
    std::optional<TDate> newest;
    std::vector<TBuildState::TSitePage> pages;
    for (int j = 0; j < column.PageCount; ++j) {
        const std::optional<TDate> date = PageDate(column.Page(j));
        if (date && (!newest || Before(*newest, *date)))
            newest = date;
        if (ownFiles)
            pages.push_back({PageFileName(project, item, j, firstColumn), date});
    }
    auto& site = project.BuildState->SitePages;
    site.push_back({PageFileName(project, item, -1, firstColumn), newest});
    site.insert(site.end(), pages.begin(), pages.end());
}

void WriteFeed(TDProject& project, int item, const TDColumn& column, bool firstColumn) {
    const TDMenuItem& menuItem = project.MenuItem(item);
    const bool absolute = IsSiteAddress(project.TOPIC.DOMAIN);
    const std::string base = absolute ? SiteAddress(project) : std::string();
    const std::string listing = PageFileName(project, item, -1, firstColumn);
    const bool ownFiles =
        menuItem.STYLE != "Title list and contents" && menuItem.STYLE != "Contents";
    const bool anchors = menuItem.STYLE == "Title list and contents";

    // Newest first; pages without a date that can be read follow, in the column's order.
    std::vector<std::pair<int, std::optional<TDate>>> order;
    order.reserve(static_cast<std::size_t>(column.PageCount));
    for (int j = 0; j < column.PageCount; ++j)
        order.emplace_back(j, PageDate(column.Page(j)));
    std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) {
        if (!a.second || !b.second)
            return a.second.has_value() && !b.second.has_value();
        return Before(*b.second, *a.second);
    });

    std::string out;
    Line(out, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
    Line(out, "<rss version=\"2.0\">");
    Line(out, "<channel>");
    const std::string caption = project.TOPIC.CAPTION;
    Line(out, "<title>" + FeedText(menuItem.TITLE + " - " + caption) + "</title>");
    Line(out, "<link>" + XmlEscaped(base + PercentEncoded(listing)) + "</link>");
    const std::string& description =
        project.TOPIC.DESCRIPTION.empty() ? caption : project.TOPIC.DESCRIPTION;
    Line(out, "<description>" + FeedText(description) + "</description>");
    for (const auto& [j, date] : order) {
        const TDPage& page = column.Page(j);
        std::string link;
        if (ownFiles)
            link = PercentEncoded(PageFileName(project, item, j, firstColumn));
        else if (anchors)
            link = PercentEncoded(listing) + "#" + std::to_string(item) + "_" + std::to_string(j);
        else
            link = PercentEncoded(listing);
        link = XmlEscaped(base + link);
        Line(out, "<item>");
        Line(out, "<title>" + FeedText(page.TITLE) + "</title>");
        Line(out, "<link>" + link + "</link>");
        // Pages of a "Contents" column share one address: the guid tells them apart.
        const std::string guid = ownFiles || anchors ? link : link + "#" + std::to_string(j);
        Line(out, std::string("<guid isPermaLink=\"") +
                      (absolute && (ownFiles || anchors) ? "true" : "false") + "\">" + guid +
                      "</guid>");
        if (date)
            Line(out, "<pubDate>" + FeedDate(*date) + "</pubDate>");
        Line(out,
             "<description>" +
                 XmlEscaped(page.IsMarkdown() ? MarkdownPlainStart(page.TEXT, FeedDescriptionLength)
                                              : PlainTextStart(page.TEXT, FeedDescriptionLength)) +
                 "</description>");
        Line(out, "</item>");
    }
    Line(out, "</channel>");
    Line(out, "</rss>");
    WriteSiteFile(project, FeedFileName(item), out);
}

void WriteSitemap(TDProject& project) {
    if (!project.BuildState)
        return;
    if (!IsSiteAddress(project.TOPIC.DOMAIN)) {
        project.BuildState->Notes.push_back(
            "No sitemap was written: the domain \"" + project.TOPIC.DOMAIN +
            "\" (Page > Topic...) is not an absolute http:// or https:// address");
        return;
    }
    const std::string base = SiteAddress(project);
    std::string out;
    Line(out, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
    Line(out, "<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">");
    for (const TBuildState::TSitePage& page : project.BuildState->SitePages) {
        std::string entry = "<url><loc>" + XmlEscaped(base + PercentEncoded(page.File)) + "</loc>";
        if (page.Date)
            entry += "<lastmod>" + FormatIsoDate(*page.Date) + "</lastmod>";
        entry += "</url>";
        Line(out, entry);
    }
    Line(out, "</urlset>");
    WriteSiteFile(project, "sitemap.xml", out);

    std::string robots;
    Line(robots, "User-agent: *");
    Line(robots, "Disallow:");
    Line(robots, "Sitemap: " + base + "sitemap.xml");
    WriteSiteFile(project, "robots.txt", robots);
}

// The listings and the article view of the modern pages.

#include "generator/modern/ModernContent.h"

#include "generator/Generator.h"
#include "generator/TextPieces.h"
#include "generator/modern/ModernPage.h"
#include "generator/modern/PlainSummary.h"
#include "generator/modern/TypedHtml.h"

#include "platform/FileSystem.h"

#include <string>

using namespace TextPieces;

namespace {

// Pictures of the first rows are shown at once; those further down load as they come near.
constexpr int EagerPictures = 4;

// The longest a card's thumbnail is shown.
constexpr std::int32_t ThumbnailWidth = 240;

std::string FileHref(const TDPage& page) {
    if (page.KIND == "E-mail")
        return "mailto:" + ModernEscaped(page.URL);
    if (page.KIND == "Download")
        return TModernPage::AddressPart(FileNamePart(page.URL));
    return LinkAddress(page.URL);
}

} // namespace

TModernContent::TModernContent(TDProject& project, const TDColumn& column, int item,
                               bool firstColumn)
    : FProject(project), FColumn(column), FItem(project.MenuItem(item)), FItemIndex(item),
      FFirstColumn(firstColumn) {}

// A page's title, or where it has none the column's, so that no heading is empty.
std::string TModernContent::Title(const TDPage& page) const {
    return ModernEscaped(page.TITLE.empty() ? FItem.TITLE : page.TITLE);
}

std::string TModernContent::PageHref(int page) const {
    return PageFileName(FProject, FItemIndex, page, FFirstColumn);
}

void TModernContent::WriteListing() {
    TOutputFile& out = FProject.Output;
    Line(out, "<h1>", ModernEscaped(FItem.TITLE.empty() ? FProject.TOPIC.CAPTION : FItem.TITLE),
         "</h1>");
    const std::string& style = FItem.STYLE;
    if (style == "Only title list")
        WriteTitleList(false);
    else if (style == "Title list and contents") {
        WriteTitleList(true);
        WriteEntries();
    } else if (style == "Contents")
        WriteEntries();
    else if (style == "Pictures List (2 columns)")
        WriteGallery(2, 240);
    else if (style == "Pictures List (3 columns)")
        WriteGallery(3, 160);
    else if (style == "Pictures List (4 columns)")
        WriteGallery(4, 120);
    else
        WriteCards(); // "Title list with summary", and a style in no list
}

void TModernContent::WriteTitleList(bool anchors) {
    if (FColumn.PageCount == 0)
        return;
    TOutputFile& out = FProject.Output;
    Line(out, "<ul class=\"titles\">");
    for (int j = 0; j < FColumn.PageCount; ++j) {
        const TDPage& page = FColumn.Page(j);
        Text(out, "<li><a href=\"");
        if (anchors)
            Text(out, "#", FItemIndex, "_", j);
        else
            Text(out, PageHref(j));
        Text(out, "\">", Title(page), "</a>");
        const std::string byline = TModernPage::Byline(page, FItem);
        if (!byline.empty())
            Text(out, " <span class=\"byline\">", byline, "</span>");
        Line(out, "</li>");
    }
    Line(out, "</ul>");
}

void TModernContent::WriteCards() {
    if (FColumn.PageCount == 0)
        return;
    TOutputFile& out = FProject.Output;
    const std::string more = Translate(FProject, "READ_MORE");
    Line(out, "<ul class=\"cards\">");
    for (int j = 0; j < FColumn.PageCount; ++j) {
        const TDPage& page = FColumn.Page(j);
        const std::string title = Title(page);
        const std::string href = PageHref(j);
        Line(out, "<li class=\"card\">");
        Line(out, "<article>");
        Line(out, "<h2><a href=\"", href, "\">", title, "</a></h2>");
        const std::string byline = TModernPage::Byline(page, FItem);
        if (!byline.empty())
            Line(out, "<p class=\"byline\">", byline, "</p>");
        // The heading beside it names the card; the thumbnail is decoration.
        if (!page.PICTURE.empty())
            Line(out, TModernPage::Picture(FProject, page.PICTURE, page.PICTURE_WIDTH,
                                           page.PICTURE_HEIGHT, std::string(), ThumbnailWidth,
                                           j >= EagerPictures / 2, "thumb"));
        const std::string summary = PageSummary(page);
        if (!summary.empty())
            Line(out, "<p>", summary, "</p>");
        Line(out, "<p><a href=\"", href, "\">", ModernEscaped(more),
             "<span class=\"hidden\">: ", title, "</span></a></p>");
        Line(out, "</article>");
        Line(out, "</li>");
    }
    Line(out, "</ul>");
}

void TModernContent::WriteEntries() {
    for (int j = 0; j < FColumn.PageCount; ++j)
        WriteEntry(j, "h2");
}

void TModernContent::WriteLinkButton(const TDPage& page) {
    if (page.LINK.empty())
        return;
    if (page.KIND != "Link" && page.KIND != "E-mail" && page.KIND != "Download")
        return;
    const std::string href = FileHref(page);
    if (href.empty())
        return; // an address the page does not link
    Line(FProject.Output, "<p class=\"actions\"><a class=\"button\" href=\"", href, "\"",
         page.KIND == "Download" ? " download" : "", ">", ModernEscaped(page.LINK), "</a></p>");
}

// One page in full: in the listings an article with an anchor and a second-level heading,
// on its own page the article with the page's one first-level heading.
void TModernContent::WriteEntry(int j, const char* heading) {
    TOutputFile& out = FProject.Output;
    const TDPage& page = FColumn.Page(j);
    const bool own = heading[1] == '1';
    const std::string title = Title(page);
    if (own)
        Line(out, "<article class=\"page\">");
    else
        Line(out, "<article class=\"entry\" id=\"", FItemIndex, "_", j, "\">");
    Line(out, "<", heading, ">", title, "</", heading, ">");
    const std::string byline = TModernPage::Byline(page, FItem);
    if (!byline.empty())
        Line(out, "<p class=\"byline\">", byline, "</p>");
    if (!page.PICTURE.empty()) {
        Line(out, FItem.HAS_BORDER ? "<figure class=\"framed\">" : "<figure>");
        Line(out, TModernPage::Picture(FProject, page.PICTURE, page.PICTURE_WIDTH,
                                       page.PICTURE_HEIGHT, title, 0, !own && j > 0));
        Line(out, "</figure>");
    }
    Text(out, "<div class=\"text\">");
    // The text's headings come below the entry's title.
    WritePageText(FProject, page, heading[1] - '0' + 1);
    Line(out, "</div>");
    WriteLinkButton(page);
    Line(out, "</article>");
}

void TModernContent::WriteGallery(int perRow, int maxWidth) {
    if (FColumn.PageCount == 0)
        return;
    TOutputFile& out = FProject.Output;
    Line(out, "<ul class=\"gallery gallery-", perRow, "\">");
    for (int j = 0; j < FColumn.PageCount; ++j) {
        const TDPage& page = FColumn.Page(j);
        const std::string title = Title(page);
        Line(out, "<li><a href=\"", PageHref(j), "\"><figure",
             FItem.HAS_BORDER ? " class=\"framed\"" : "", ">");
        // The caption names the link; an alt text repeating it would be read twice.
        if (!page.PICTURE.empty())
            Line(out, TModernPage::Picture(FProject, page.PICTURE, page.PICTURE_WIDTH,
                                           page.PICTURE_HEIGHT, std::string(), maxWidth,
                                           j >= perRow * 2));
        Text(out, "<figcaption>", title);
        const std::string byline = TModernPage::Byline(page, FItem);
        if (!byline.empty())
            Text(out, "<br>", byline);
        Line(out, "</figcaption></figure></a></li>");
    }
    Line(out, "</ul>");
}

void TModernContent::WriteArticle(int page) {
    TOutputFile& out = FProject.Output;
    WriteEntry(page, "h1");
    const bool previous = page > 0;
    const bool next = page < FColumn.PageCount - 1;
    if (!previous && !next)
        return;
    const std::string previousWord = ModernEscaped(Translate(FProject, "PREVIOUS"));
    const std::string nextWord = ModernEscaped(Translate(FProject, "NEXT"));
    Line(out, "<nav class=\"pager\" aria-label=\"", previousWord, " / ", nextWord, "\">");
    Line(out, "<ul>");
    if (previous)
        Line(out, "<li><a href=\"", PageHref(page - 1), "\" rel=\"prev\">", previousWord,
             "<span class=\"hidden\">: ", Title(FColumn.Page(page - 1)), "</span></a></li>");
    if (next)
        Line(out, "<li class=\"next\"><a href=\"", PageHref(page + 1), "\" rel=\"next\">", nextWord,
             "<span class=\"hidden\">: ", Title(FColumn.Page(page + 1)), "</span></a></li>");
    Line(out, "</ul>");
    Line(out, "</nav>");
}

// The text area of every page and the listing of a column's pages in its seven styles.

#include "generator/Generator.h"
#include "generator/TextPieces.h"

#include "platform/FileSystem.h"

#include <array>
#include <string>
#include <string_view>
#include <utility>

using namespace TextPieces;

namespace {

// The summary of "Title list with summary" shows this many characters of the converted text
// (characters, not bytes: a letter written with two or more bytes counts once).
constexpr std::size_t SummaryLength = 200;

bool IsAsciiLetterOrDigit(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Whether the summary ends in what may be the start of a character reference: an "&" and up
// to ten letters, digits or "#" with no ";" yet. Reference names are ASCII, so a letter
// written with two or more bytes ends the run.
bool EndsInBrokenReference(std::string_view text, std::size_t& amp) {
    amp = text.rfind('&');
    if (amp == std::string_view::npos || text.size() - amp - 1 > 10)
        return false;
    for (std::size_t i = amp + 1; i < text.size(); ++i)
        if (!IsAsciiLetterOrDigit(text[i]) && text[i] != '#')
            return false;
    return true;
}

// The summary of a page: the first SummaryLength characters of the converted text. When that
// cuts the text short it must not leave a tag or a character reference open, which would
// swallow what follows it on the page: a "<" without a ">" after it ends the summary just
// before it (the first such "<", so none is left), and then a started reference ("&amp",
// "&#3") ends it just before its "&". A text that is not cut is shown whole, as it is.
std::string Summary(std::string_view storedText) {
    TConvertedStart start = ConvertedStart(storedText, SummaryLength);
    std::string summary = std::move(start.Text);
    if (!start.Cut)
        return summary;
    const std::size_t closed = summary.rfind('>');
    const std::size_t open = summary.find('<', closed == std::string::npos ? 0 : closed + 1);
    if (open != std::string::npos)
        summary.resize(open);
    std::size_t amp = 0;
    if (EndsInBrokenReference(summary, amp))
        summary.resize(amp);
    return summary;
}

// What every row of a listing needs to know.
struct TListing {
    TDProject& Project;
    TOutputFile& Out;
    const TDMenuItem& Item;
    const TDColumn& Column;
    int ItemIndex;
};

// " (author date)" after a title, or nothing.
void WriteByline(const TListing& listing, const TDPage& page) {
    const bool author = ShowsAuthor(listing.Item, page);
    const bool date = ShowsDate(listing.Item, page);
    if (!author && !date)
        return;
    Text(listing.Out, " (");
    if (author)
        Text(listing.Out, page.AUTHOR);
    if (author && date)
        Text(listing.Out, " ");
    if (date)
        Text(listing.Out, page.DATE);
    Text(listing.Out, ")");
}

void WriteLinkRow(const TListing& listing, const TDPage& page) {
    if (page.LINK.empty())
        return;
    Line(listing.Out, "<tr><td></td><td>[ ");
    WriteLinkAnchor(listing.Out, page.KIND, page.URL, page.LINK, "Text");
    Line(listing.Out, " ]</td></tr>");
}

// The whole text of a page, its picture floating to the left in its stored size.
void WritePageBody(const TListing& listing, const TDPage& page) {
    TOutputFile& out = listing.Out;
    Line(out, "<tr><td></td><td>");
    if (!page.PICTURE.empty()) {
        const TShownSize shown = ShownPictureSize(listing.Project, page.PICTURE, page.PICTURE_WIDTH,
                                                  page.PICTURE_HEIGHT);
        Line(out, "<img src=\"", PictureOutputName(listing.Project, page.PICTURE), "\"",
             AltAttribute(listing.Project, page.TITLE), " align=\"left\" border=\"",
             Border(listing.Item), "\" vspace=\"10\" hspace=\"10\" width=\"", shown.Width,
             "\" height=\"", shown.Height, "\">");
    }
    WritePageText(listing.Project, page);
    out.WriteLine();
    Line(out, "</td></tr>");
    WriteLinkRow(listing, page);
    Line(out, "<tr><td height=\"10\"></td></tr>");
}

// The opening of a title that links to the page's own file.
void WriteLinkedTitle(const TListing& listing, int j) {
    Text(listing.Out,
         "<tr><td align=\"right\" class=\"SmallTitle\">.</td><td width=\"100%\"><a href=\"Page",
         listing.ItemIndex, "_", j, ".htm\" class=\"SmallTitle\">", listing.Column.Page(j).TITLE);
}

void WriteOnlyTitleList(const TListing& listing) {
    for (int j = 0; j < listing.Column.PageCount; ++j) {
        WriteLinkedTitle(listing, j);
        WriteByline(listing, listing.Column.Page(j));
        Line(listing.Out, "</a></td></tr>");
    }
}

void WriteTitleListWithSummary(const TListing& listing) {
    TOutputFile& out = listing.Out;
    for (int j = 0; j < listing.Column.PageCount; ++j) {
        const TDPage& page = listing.Column.Page(j);
        WriteLinkedTitle(listing, j);
        WriteByline(listing, page);
        Line(out, "</a><br></td></tr>");
        if (page.IsMarkdown()) {
            const TTextSummary summary = MarkdownSummary(page.TEXT, SummaryLength);
            Line(out, "<tr><td></td><td>", summary.Html);
            if (summary.Cut)
                Line(out, "......");
        } else {
            Line(out, "<tr><td></td><td>", Summary(page.TEXT));
            // Whether the text goes on is told by the stored text, line break marks included.
            if (CharCount(page.TEXT) > SummaryLength)
                Line(out, "......");
        }
        Line(out, "</td></tr>");
        WriteLinkRow(listing, page);
        Line(out, "<tr><td height=\"10\"></td></tr>");
    }
}

void WriteTitleListAndContents(const TListing& listing) {
    TOutputFile& out = listing.Out;
    for (int j = 0; j < listing.Column.PageCount; ++j) {
        const TDPage& page = listing.Column.Page(j);
        Text(out, "<tr><td align=\"right\" class=\"SmallTitle\">.</td><td width=\"100%\"><a href=#",
             listing.ItemIndex, "_", j, " class=\"SmallTitle\">", page.TITLE);
        WriteByline(listing, page);
        Line(out, "</a></td></tr>");
    }
    Line(out, "<tr><td height=\"20\"></td><td></td></tr>");
    for (int j = 0; j < listing.Column.PageCount; ++j) {
        const TDPage& page = listing.Column.Page(j);
        Text(out,
             "<tr><td align=\"right\" class=\"SmallTitle\">.</td><td width=\"100%\" "
             "class=\"SmallTitle\"><a name=\"",
             listing.ItemIndex, "_", j, "\"></a>", page.TITLE);
        WriteByline(listing, page);
        Line(out, "</a><br></td></tr>");
        WritePageBody(listing, page);
    }
}

void WriteContents(const TListing& listing) {
    TOutputFile& out = listing.Out;
    for (int j = 0; j < listing.Column.PageCount; ++j) {
        const TDPage& page = listing.Column.Page(j);
        Text(out,
             "<tr><td align=\"right\" class=\"SmallTitle\">.</td><td width=\"100%\" "
             "class=\"SmallTitle\">",
             page.TITLE);
        WriteByline(listing, page);
        Line(out, "</a><br></td></tr>");
        WritePageBody(listing, page);
    }
}

// One of the picture grids: PerRow pages to a row, pictures scaled down to MaxWidth.
struct TGrid {
    int PerRow;
    std::int32_t MaxWidth;
    std::array<std::string_view, 4> Widths;
};

constexpr TGrid TwoColumns{2, 240, {"50%", "50%"}};
constexpr TGrid ThreeColumns{3, 160, {"33%", "34%", "33%"}};
constexpr TGrid FourColumns{4, 120, {"25%", "25%", "25%", "25%"}};

void WriteGridPicture(const TListing& listing, const TGrid& grid, int j) {
    const TDPage& page = listing.Column.Page(j);
    if (page.PICTURE.empty())
        return;
    const TShownSize shown =
        ShownPictureSize(listing.Project, page.PICTURE, page.PICTURE_WIDTH, page.PICTURE_HEIGHT);
    Text(listing.Out, "<img src=\"", PictureOutputName(listing.Project, page.PICTURE), "\"",
         AltAttribute(listing.Project, page.TITLE), " align=\"center\" border=\"",
         Border(listing.Item), "\" vspace=\"10\" hspace=\"10\" width=\"",
         FitWidthOf(grid.MaxWidth, shown.Width), "\" height=\"",
         FitHeightOf(grid.MaxWidth, shown.Width, shown.Height), "\">");
}

void WriteGridCaption(const TListing& listing, int j) {
    const TDPage& page = listing.Column.Page(j);
    Text(listing.Out, "<a href=\"Page", listing.ItemIndex, "_", j, ".htm\" class=\"SmallTitle\">",
         page.TITLE, "<br>");
    if (ShowsAuthor(listing.Item, page))
        Text(listing.Out, page.AUTHOR);
    if (ShowsDate(listing.Item, page))
        Text(listing.Out, " ", page.DATE);
    Line(listing.Out, "</a>");
}

void WritePictureGrid(const TListing& listing, const TGrid& grid) {
    TOutputFile& out = listing.Out;
    const int count = listing.Column.PageCount;
    for (int i = 0; i < count; i += grid.PerRow) {
        Text(out, "<tr><td width=\"", grid.Widths[0], "\" align=\"center\">");
        WriteGridPicture(listing, grid, i);
        for (int c = 1; c < grid.PerRow; ++c) {
            Line(out, "</td><td width=\"", grid.Widths[static_cast<std::size_t>(c)],
                 "\" align=\"center\">");
            if (i + c < count)
                WriteGridPicture(listing, grid, i + c);
        }
        Line(out, "</td></tr>");
        Text(out, "<tr><td align=\"center\" valign=\"top\" class=\"SmallTitle\">");
        WriteGridCaption(listing, i);
        for (int c = 1; c < grid.PerRow; ++c) {
            Text(out, "</td><td align=\"center\" valign=\"top\" class=\"SmallTitle\">");
            if (i + c < count)
                WriteGridCaption(listing, i + c);
        }
        Line(out, "</td></tr>");
        Line(out, "<tr><td height=\"10\"></td></tr>");
    }
}

} // namespace

void WriteTextArea(TDProject& project) {
    TDColumn& column = ColumnInUse("WriteTextArea");
    TOutputFile& out = project.Output;
    Line(out, "<table width=\"100%\" height=\"",
         static_cast<std::int64_t>(project.SIZE.TEXT_HEIGHT) + 20,
         "\" border=\"0\" cellpadding=\"0\" cellspacing=\"0\" class=\"Text\">");
    Line(out, "<tr><td width=\"100%\" height=\"100%\" valign=\"top\">");
    Line(out, "<table width=\"100%\" border=\"0\" cellpadding=\"10\" cellspacing=\"0\" "
              "class=\"Text\">");
    Line(out, "<tr><td valign=\"top\">");
    if (column.CurrentPage == -1) {
        // The listing page brings the pictures and downloads of the column's pages along.
        const std::string downloads = project.DownloadsPath();
        for (int j = 0; j < column.PageCount; ++j) {
            const TDPage& page = column.Page(j);
            if (!page.PICTURE.empty())
                CopyPictureIntoOutput(project, page.PICTURE);
            if (page.KIND == "Download")
                CopyIntoOutput(project, downloads, page.URL);
        }
        WriteColumnListing(project);
    } else {
        WriteSinglePage(project);
    }
    Line(out, "</td></tr></table></td>");
    if (project.FRAME.HAS_HOTSPOT) {
        Line(out, "<td width=\"", project.SIZE.HOTSPOT_WIDTH, "\" height=\"100%\" valign=\"top\">");
        Line(out, "<table width=\"100%\" height=\"100%\" border=\"0\" cellpadding=\"0\" "
                  "cellspacing=\"0\" class=\"Hotspot\">");
        Line(out, "<tr><td height=\"10\"></td></tr>");
        Line(out, "<tr><td height=\"100%\">");
        WriteHotspot(project);
        Line(out, "</td></tr>");
        Line(out, "<tr><td height=\"10\"></td></tr>");
        Line(out, "</table>");
        Line(out, "</td>");
    }
    Line(out, "</tr></table>");
}

void WriteColumnListing(TDProject& project) {
    const TListing listing{project, project.Output, ItemInUse(project, "WriteColumnListing"),
                           ColumnInUse("WriteColumnListing"), project.CurrentItem};
    const std::string& style = listing.Item.STYLE;
    Line(listing.Out, "<table width=\"100%\" border=\"0\" class=\"Text\">");
    if (style == "Only title list")
        WriteOnlyTitleList(listing);
    else if (style == "Title list with summary")
        WriteTitleListWithSummary(listing);
    else if (style == "Title list and contents")
        WriteTitleListAndContents(listing);
    else if (style == "Contents")
        WriteContents(listing);
    else if (style == "Pictures List (2 columns)")
        WritePictureGrid(listing, TwoColumns);
    else if (style == "Pictures List (3 columns)")
        WritePictureGrid(listing, ThreeColumns);
    else if (style == "Pictures List (4 columns)")
        WritePictureGrid(listing, FourColumns);
    Line(listing.Out, "</td></tr>");
    Line(listing.Out, "</table>");
}

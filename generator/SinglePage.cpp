// A page's own view, the hotspot side column and the foot of every page.

#include "generator/Generator.h"
#include "generator/TextPieces.h"

#include "platform/FileSystem.h"

using namespace TextPieces;

void WriteSinglePage(TDProject& project) {
    const TDColumn& column = ColumnInUse("WriteSinglePage");
    const TDMenuItem& item = ItemInUse(project, "WriteSinglePage");
    const int c = column.CurrentPage;
    if (c < 0 || c >= column.PageCount)
        throw TError("WriteSinglePage: page " + std::to_string(c) + " does not exist",
                     column.FileName);
    const TDPage& page = column.Page(c);
    const int itemIndex = project.CurrentItem;
    TOutputFile& out = project.Output;

    Line(out, "<table width=\"100%\" border=\"0\" class=\"Text\">");
    // Title row, byline row and the opening of the picture row stand on one line.
    Text(out, "<tr><td width=\"100%\" align=\"center\" class=\"Title\">", page.TITLE, "</td></tr>");
    const bool author = ShowsAuthor(item, page);
    const bool date = ShowsDate(item, page);
    if (author || date) {
        Text(out, "<tr><td width=\"100%\" align=\"center\" class=\"SmallTitle\">");
        if (author)
            Text(out, page.AUTHOR);
        if (date)
            Text(out, " ", page.DATE);
        Text(out, "</td></tr>");
    }
    Line(out, "<tr><td align=\"center\">");
    if (!page.PICTURE.empty()) {
        const TShownSize shown =
            ShownPictureSize(project, page.PICTURE, page.PICTURE_WIDTH, page.PICTURE_HEIGHT);
        Line(out, "<img src=\"", PictureOutputName(project, page.PICTURE), "\"",
             AltAttribute(project, page.TITLE), " align=\"center\" border=\"", Border(item),
             "\" vspace=\"10\" hspace=\"10\" width=\"", shown.Width, "\" height=\"", shown.Height,
             "\">");
    }
    Line(out, "</td></tr>");
    Line(out, "<tr><td>");
    WritePageText(project, page);
    out.WriteLine();
    Line(out, "</td></tr>");
    if (!page.LINK.empty()) {
        Line(out, "<tr><td>[ ");
        WriteLinkAnchor(out, page.KIND, page.URL, page.LINK, "Text");
        Line(out, " ]</td></tr>");
    }
    Line(out, "</td></tr>");

    // The strip to the previous and the next page of the column.
    Line(out, "<tr><td><table width=\"100%\" border=\"0\" class=\"SmallTitle\"><tr><td "
              "align=\"left\">");
    if (c > 0)
        Line(out, "- <a href=\"Page", itemIndex, "_", c - 1, ".htm\"  class=\"SmallTitle\">",
             Translate(project, "PREVIOUS"), "</a> -");
    Line(out, "</td><td align=\"right\">");
    if (c < column.PageCount - 1)
        Line(out, "- <a href=\"Page", itemIndex, "_", c + 1, ".htm\" class=\"SmallTitle\">",
             Translate(project, "NEXT"), "</a> -");
    Line(out, "</td></tr></table></td></tr>");
    Line(out, "</table>");
}

namespace {

void WriteHotspotTitle(TOutputFile& out, const TDHotspot& hotspot) {
    Line(out, "<tr><td align=\"center\" class=\"HotspotTitle\">");
    Line(out, hotspot.TITLE);
    Line(out, "</td></tr>");
}

} // namespace

void WriteHotspot(TDProject& project) {
    const TDHotspot& hotspot = project.HOTSPOT;
    TOutputFile& out = project.Output;
    // The hotspot is the same on every page: its files are copied with the homepage only.
    if (IsHomepage(project)) {
        if (!hotspot.PICTURE.empty())
            CopyPictureIntoOutput(project, hotspot.PICTURE);
        if (hotspot.KIND == "Download")
            CopyIntoOutput(project, project.DownloadsPath(), hotspot.URL);
    }
    Line(out, "<table width=\"", project.SIZE.HOTSPOT_WIDTH,
         "\" height=\"100%\" border=\"0\" cellpadding=\"10\" cellspacing=\"0\" "
         "class=\"Hotspot\">");
    Line(out, "<tr><td valign=\"top\" bgcolor=\"",
         HtmlColor(project.COLOR.HOTSPOT_BG, project.COLOR.HOTSPOT_TRANS), "\">");
    Line(out, "<table width=\"100%\" class=\"Hotspot\">");
    if (hotspot.POSITION == "Title On Top" && !hotspot.TITLE.empty())
        WriteHotspotTitle(out, hotspot);
    if (!hotspot.PICTURE.empty()) {
        Line(out, "<tr><td align=\"center\" class=\"Hotspot\">");
        const TShownSize shown = ShownPictureSize(project, hotspot.PICTURE, hotspot.PICTURE_WIDTH,
                                                  hotspot.PICTURE_HEIGHT);
        Line(out, "<img src=\"", PictureOutputName(project, hotspot.PICTURE), "\"",
             AltAttribute(project, hotspot.TITLE), " width=\"", shown.Width, "\" height=\"",
             shown.Height, "\">");
        Line(out, "</td></tr>");
    }
    if (hotspot.POSITION == "Picture On Top" && !hotspot.TITLE.empty())
        WriteHotspotTitle(out, hotspot);
    Line(out, "<tr><td align=\"left\">");
    WriteHotspotText(project);
    Line(out, "</td></tr>");
    out.WriteLine();
    if (!hotspot.LINK.empty()) {
        Line(out, "<tr><td align=\"center\">[ ");
        WriteLinkAnchor(out, hotspot.KIND, hotspot.URL, hotspot.LINK, "Hotspot");
        Line(out, " ]</td></tr>");
    }
    Line(out, "</table>");
    Line(out, "</td></tr>");
    Line(out, "</table>");
}

void WriteFoot(TDProject& project) {
    const TDFoot& foot = project.FOOT;
    TOutputFile& out = project.Output;
    Line(out, "<table width=\"100%\" height=\"", project.SIZE.FOOT_HEIGHT,
         "\" border=\"0\" class=\"Foot\">");
    // The first item follows the cell's opening on the same line.
    Text(out, "<tr><td align=\"", foot.POSITION, "\">");
    if (!foot.COPYRIGHT.empty())
        Line(out, foot.COPYRIGHT, "<br>");
    if (!foot.ADDRESS.empty())
        Line(out, Translate(project, "ADDRESS"), ": ", foot.ADDRESS, "<br>");
    // Telephone and fax share one line in the browser: no "<br>" after the telephone.
    if (!foot.TEL.empty())
        Line(out, Translate(project, "TEL"), ": ", foot.TEL);
    if (!foot.FAX.empty())
        Line(out, Translate(project, "FAX"), ": ", foot.FAX, "<br>");
    if (!foot.EMAIL.empty())
        Line(out, Translate(project, "EMAIL"), ": <a href=\"mailto:", foot.EMAIL,
             "\" class=\"Foot\">", foot.EMAIL, "</a>");
    Line(out, "</td></tr>");
    Line(out, "</table>");
}

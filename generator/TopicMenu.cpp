// The topic bar (logo and title) and the menu bar (one link per menu item, across the page
// when the menu is on top, down the page when it is on the left).
#include "generator/Generator.h"

#include "platform/FileSystem.h"

#include <string>

namespace {

std::string Num(std::int32_t value) {
    return std::to_string(value);
}

// The alignment attribute of the topic's cell, empty for a position we do not know.
const char* TopicAlign(const std::string& position) {
    if (position == "Left (Horizontal)" || position == "Left (Vertical)")
        return " align=\"left\"";
    if (position == "Center (Horizontal)" || position == "Center (Vertical)")
        return " align=\"center\"";
    if (position == "Right (Horizontal)" || position == "Right (Vertical)")
        return " align=\"right\"";
    return "";
}

bool IsHorizontal(const std::string& position) {
    return position == "Left (Horizontal)" || position == "Center (Horizontal)" ||
           position == "Right (Horizontal)";
}

bool MenuOnTop(const std::string& frame) {
    return frame == "Topic on top menu on top" || frame == "Topic and menu on top";
}

// The cell every menu item sits in: on the button picture when there is one.
void WriteButtonCell(TDProject& project) {
    const TDMenu& menu = project.MENU;
    if (!menu.BUTTON.empty())
        project.Output.WriteLine("<td align=\"center\" width=\"" + Num(menu.BUTTON_WIDTH) +
                                 "\" height=\"" + Num(menu.BUTTON_HEIGHT) + "\" background=\"" +
                                 PictureOutputName(project, menu.BUTTON) + "\">");
    else
        project.Output.WriteLine("<td>");
}

// The address an item links to: a link's URL, or the listing page of a column (the first
// column's listing page is the homepage).
std::string ItemHref(const TDProject& project, int index, bool& firstColumn) {
    const TDMenuItem& item = project.MenuItem(index);
    if (!item.IsColumn())
        return item.URL;
    if (firstColumn) {
        firstColumn = false;
        return project.FRAME.HOMEPAGE + ".htm";
    }
    return "Page" + std::to_string(index) + ".htm";
}

} // namespace

void WriteTopic(TDProject& project) {
    const TDTopic& topic = project.TOPIC;
    TOutputFile& out = project.Output;
    if (!topic.LOGO.empty() && IsHomepage(project))
        CopyPictureIntoOutput(project, topic.LOGO);
    out.WriteLine("<table width=\"100%\" height=\"" + Num(project.SIZE.TOPIC_HEIGHT) +
                  "\" border=\"0\" class=\"Topic\">");
    out.Write("<tr><td");
    out.Write(TopicAlign(topic.POSITION));
    out.WriteLine("><table class=\"Topic\">");
    const TShownSize shown =
        ShownPictureSize(project, topic.LOGO, topic.LOGO_WIDTH, topic.LOGO_HEIGHT);
    const std::string logo = "<img src=\"" + PictureOutputName(project, topic.LOGO) + "\"" +
                             AltAttribute(project, topic.CAPTION) + " width=\"" + Num(shown.Width) +
                             "\" height=\"" + Num(shown.Height) + "\"></td>";
    out.WriteLine("<tr>");
    if (IsHorizontal(topic.POSITION)) {
        // The logo to the left of the title.
        if (!topic.LOGO.empty())
            out.WriteLine("<td>" + logo);
        out.WriteLine("<td>");
    } else {
        // The logo above the title, both centred.
        if (!topic.LOGO.empty())
            out.WriteLine("<td align=\"center\">" + logo);
        out.WriteLine("</tr><tr><td align=\"center\">");
    }
    if (!topic.TITLE.empty())
        out.WriteLine(topic.TITLE);
    out.WriteLine("</td></tr></table>");
    out.WriteLine("</td></tr>");
    out.WriteLine("</table>");
}

void WriteMenuBar(TDProject& project) {
    const TDMenu& menu = project.MENU;
    TOutputFile& out = project.Output;
    if (!menu.BUTTON.empty() && IsHomepage(project))
        CopyPictureIntoOutput(project, menu.BUTTON, TPictureScaling::None);
    bool firstColumn = true;
    const std::string space = Num(menu.SPACE);
    if (MenuOnTop(project.FRAME.FRAME)) {
        out.WriteLine("<table width=\"100%\" height=\"" + Num(project.SIZE.MENU_HEIGHT) +
                      "\" border=\"0\" class=\"Menu\">");
        out.WriteLine("<tr><td align=\"" + menu.POSITION + "\">");
        if (project.MenuCount > 0)
            out.WriteLine(
                "<table border=\"0\" cellpadding=\"0\" cellspacing=\"0\" class=\"Menu\"><tr>");
        for (int i = 0; i < project.MenuCount; ++i) {
            if (i > 0) {
                if (menu.HAS_SEPARATOR)
                    out.WriteLine("<td align=\"center\" width=\"" + space +
                                  "\">&nbsp;|&nbsp;</td>");
                else
                    out.WriteLine("<td width=\"" + space + "\"></td>");
            }
            WriteButtonCell(project);
            out.WriteLine("<a href=\"" + ItemHref(project, i, firstColumn) + "\" class=\"Menu\">" +
                          project.MenuItem(i).TITLE + "</a></td>");
        }
        if (project.MenuCount > 0)
            out.WriteLine("</tr></table>");
        out.WriteLine("</td></tr>");
    } else {
        out.WriteLine("<table width=\"100%\" height=\"" + Num(project.SIZE.TEXT_HEIGHT) +
                      "\" border=\"0\" class=\"Menu\">");
        out.WriteLine("<tr><td align=\"" + menu.POSITION + "\" valign=\"top\">");
        out.WriteLine("<table border=\"0\" cellpadding=\"0\" cellspacing=\"0\" class=\"Menu\">");
        for (int i = 0; i < project.MenuCount; ++i) {
            out.WriteLine("<tr><td height=\"" + space + "\"></td></tr><tr>");
            WriteButtonCell(project);
            out.WriteLine("<a href=\"" + ItemHref(project, i, firstColumn) + "\" class=\"Menu\">" +
                          project.MenuItem(i).TITLE + "</a></td></tr>");
        }
        out.WriteLine("<tr><td height=\"" + space + "\"></td></tr>");
        out.WriteLine("</table>");
        out.WriteLine("</td></tr>");
    }
    out.WriteLine("</table>");
}

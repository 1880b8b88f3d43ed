// The page skeleton: head, body, outer table, optional welcome row and the rows of the six
// frame layouts, with the region writers called in the layout's order.

#include "generator/BuildState.h"
#include "generator/Generator.h"
#include "generator/PageSkeleton.h"
#include "platform/FileSystem.h"

#include <string>
#include <string_view>

namespace {

// Collects fixed texts, merging neighbours, and the writer calls between them.
class TSkeletonBuilder {
  public:
    TSkeletonBuilder& Text(std::string_view text) {
        if (FSkeleton.Steps.empty() || FSkeleton.Steps.back().Writer)
            FSkeleton.Steps.emplace_back();
        FSkeleton.Steps.back().Text += text;
        return *this;
    }
    TSkeletonBuilder& Line(std::string_view text) { return Text(text).Text("\r\n"); }
    TSkeletonBuilder& Call(void (*writer)(TDProject&)) {
        if (FSkeleton.Steps.empty() || FSkeleton.Steps.back().Writer)
            FSkeleton.Steps.emplace_back();
        FSkeleton.Steps.back().Writer = writer;
        return *this;
    }
    TPageSkeleton Take() { return std::move(FSkeleton); }

  private:
    TPageSkeleton FSkeleton;
};

// The homepage carries the background picture beside it.
void CopyBackground(TDProject& project) {
    if (IsHomepage(project))
        CopyPictureIntoOutput(project, project.FRAME.BACKGROUND, TPictureScaling::None);
}

// The title of the page: with the site options, the page's or the column's title before the
// caption, except on the homepage; an empty one of the two leaves the other alone.
void WritePageTitle(TDProject& project) {
    std::string own;
    if (!IsHomepage(project) && CurrentColumn && project.CurrentItem >= 0 &&
        project.CurrentItem < project.MenuCount) {
        const TDColumn& column = *CurrentColumn;
        const int page = column.CurrentPage;
        own = page >= 0 && page < column.PageCount ? column.Page(page).TITLE
                                                   : project.MenuItem(project.CurrentItem).TITLE;
    }
    const std::string& caption = project.TOPIC.CAPTION;
    TOutputFile& out = project.Output;
    out.Write("<title>");
    out.Write(HtmlEscaped(own));
    if (!own.empty() && !caption.empty())
        out.Write(" - ");
    out.Write(HtmlEscaped(caption));
    out.WriteLine("</title>");
}

// The listing page of a column names the column's feed.
void WriteFeedLink(TDProject& project) {
    if (!CurrentColumn || CurrentColumn->CurrentPage != -1 || project.CurrentItem < 0 ||
        project.CurrentItem >= project.MenuCount)
        return;
    TOutputFile& out = project.Output;
    out.Write("<link rel=\"alternate\" type=\"application/rss+xml\" title=\"");
    out.Write(HtmlEscaped(project.MenuItem(project.CurrentItem).TITLE));
    out.Write("\" href=\"");
    out.Write(FeedFileName(project.CurrentItem));
    out.WriteLine("\">");
}

struct TRegionColors {
    std::string Topic, Menu, Text, Foot, MenuWidth;
};

void TopicOnTopMenuOnTop(TSkeletonBuilder& b, const TRegionColors& c) {
    b.Line("<tr><td width=\"100%\" bgcolor=\"" + c.Topic + "\">").Call(WriteTopic);
    b.Line("</td></tr>");
    b.Line("<tr><td width=\"100%\" bgcolor=\"" + c.Menu + "\">").Call(WriteMenuBar);
    b.Line("</td></tr>");
    b.Line("<tr><td width=\"100%\" bgcolor=\"" + c.Text + "\">").Call(WriteTextArea);
    b.Line("</td></tr>");
    b.Line("<tr><td width=\"100%\" bgcolor=\"" + c.Foot + "\">").Call(WriteFoot);
    b.Line("</td></tr>");
}

void TopicAndMenuOnTop(TSkeletonBuilder& b, const TRegionColors& c) {
    b.Line("<tr><td width=\"100%\">");
    b.Line("<table width=\"100%\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\">");
    b.Line("<tr><td width=\"" + c.MenuWidth + "\" bgcolor=\"" + c.Topic + "\">").Call(WriteTopic);
    b.Line("</td>");
    b.Line("<td bgcolor=\"" + c.Menu + "\">").Call(WriteMenuBar);
    b.Line("</td></tr>");
    b.Line("</table>");
    b.Line("</td></tr>");
    b.Line("<tr><td width=\"100%\" bgcolor=\"" + c.Text + "\">").Call(WriteTextArea);
    b.Line("</td></tr>");
    b.Line("<tr><td width=\"100%\" bgcolor=\"" + c.Foot + "\">").Call(WriteFoot);
    b.Line("</td></tr>");
}

// The two "Menu on left" layouts share their first rows; footOnRight puts the foot under
// the text area beside an empty cell in the menu's colour.
void MenuOnLeft(TSkeletonBuilder& b, const TRegionColors& c, bool footOnRight) {
    b.Line("<tr><td width=\"100%\" bgcolor=\"" + c.Topic + "\">").Call(WriteTopic);
    b.Line("</td></tr>");
    b.Line(footOnRight ? "<tr><td>" : "<tr><td width=\"100%\">");
    b.Line("<table width=\"100%\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\">");
    b.Line("<tr><td width=\"" + c.MenuWidth + "\" bgcolor=\"" + c.Menu + "\" valign=\"top\">")
        .Call(WriteMenuBar);
    b.Line("</td>");
    b.Line("<td valign=\"top\" bgcolor=\"" + c.Text + "\">").Call(WriteTextArea);
    b.Line("</td></tr>");
    if (footOnRight) {
        b.Line("<tr><td bgcolor=\"" + c.Menu + "\"></td>");
        b.Line("<td bgcolor=\"" + c.Foot + "\">").Call(WriteFoot);
        b.Line("</td></tr>");
        b.Line("</table>");
        b.Line("</td></tr>");
    } else {
        b.Line("</table>");
        b.Line("</td></tr>");
        b.Line("<tr><td width=\"100%\" bgcolor=\"" + c.Foot + "\">").Call(WriteFoot);
        b.Line("</td></tr>");
    }
}

// The two "Topic on left" layouts: the topic above the menu in the left column.
void TopicOnLeft(TSkeletonBuilder& b, const TRegionColors& c, bool footOnRight) {
    b.Line("<tr><td>");
    b.Line("<table width=\"100%\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\">");
    b.Line("<tr><td width=\"" + c.MenuWidth + "\" bgcolor=\"" + c.Menu + "\" valign=\"top\">");
    b.Line("<table width=\"100%\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\">");
    b.Line("<tr><td width=\"" + c.MenuWidth + "\" bgcolor=\"" + c.Topic + "\">").Call(WriteTopic);
    b.Line("</td></tr>");
    b.Line("<tr><td bgcolor=\"" + c.Menu + "\" valign=\"top\">").Call(WriteMenuBar);
    b.Line("</td></tr>");
    b.Line("</table>");
    b.Line("</td>");
    b.Line("<td valign=\"top\" bgcolor=\"" + c.Text + "\">").Call(WriteTextArea);
    b.Line("</td></tr>");
    if (footOnRight) {
        b.Line("<tr><td bgcolor=\"" + c.Menu + "\">");
        b.Line("</td>");
        b.Line("<td bgcolor=\"" + c.Foot + "\">").Call(WriteFoot);
        b.Line("</td></tr>");
        b.Line("</table>");
        b.Line("</td></tr>");
    } else {
        b.Line("</table>");
        b.Line("</td></tr>");
        b.Line("<tr><td width=\"100%\" bgcolor=\"" + c.Foot + "\">").Call(WriteFoot);
        b.Line("</td></tr>");
    }
}

} // namespace

TPageSkeleton MakePageSkeleton(const TDProject& project) {
    const TDFrame& frame = project.FRAME;
    const TDColor& color = project.COLOR;
    TSkeletonBuilder b;

    b.Line("<html>");
    b.Line("<head>");
    const TDOptions& options = project.OPTIONS;
    if (options.PAGE_TITLES)
        b.Call(WritePageTitle);
    else
        b.Line("<title>" + project.TOPIC.CAPTION + "</title>");
    b.Line("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=" +
           CharsetName(project.FONT.ENCODING) + "\">");
    b.Line("<meta name=\"generator\" content=\"Corvane " CORVANE_VERSION "\">");
    b.Line("<meta name=\"description\" content=\"" + project.TOPIC.DESCRIPTION + "\">");
    b.Line("<meta name=\"keywords\" content=\"" + project.TOPIC.KEYWORDS + "\">");
    if (options.MOBILE)
        b.Line("<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">");
    if (options.FEEDS)
        b.Call(WriteFeedLink);
    b.Text(StyleSheetText(project));
    b.Line("</head>");
    b.Text("<body bgcolor=\"" + HtmlColor(color.BG, false) + "\" text=\"" +
           HtmlColor(color.TEXT, false) + "\"");
    if (frame.NO_MARGIN)
        b.Text(" leftmargin=\"0\" topmargin=\"0\"");
    if (!frame.BACKGROUND.empty()) {
        b.Call(CopyBackground);
        b.Text(" background=\"" + PictureOutputName(project, frame.BACKGROUND) + "\"");
    }
    b.Line(">");
    if (!frame.ON_LEFT)
        b.Line("<center>");
    b.Line("<table width=\"" + project.SIZE.SCREEN +
           "\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\">");
    if (frame.HAS_WELCOME) {
        b.Line("<tr><td width=\"100%\" bgcolor=\"" +
               HtmlColor(color.WELCOME_BG, color.WELCOME_TRANS) + "\">")
            .Call(WriteWelcomeBar);
        b.Line("</td></tr>");
    }

    const TRegionColors colors{
        HtmlColor(color.TOPIC_BG, color.TOPIC_TRANS), HtmlColor(color.MENU_BG, color.MENU_TRANS),
        HtmlColor(color.TEXT_BG, color.TEXT_TRANS), HtmlColor(color.FOOT_BG, color.FOOT_TRANS),
        std::to_string(project.SIZE.MENU_WIDTH)};
    const std::string& layout = frame.FRAME;
    if (layout == "Topic on top menu on top")
        TopicOnTopMenuOnTop(b, colors);
    else if (layout == "Topic and menu on top")
        TopicAndMenuOnTop(b, colors);
    else if (layout == "Menu on left foot on bottom")
        MenuOnLeft(b, colors, false);
    else if (layout == "Menu on left foot on right")
        MenuOnLeft(b, colors, true);
    else if (layout == "Topic on left foot on bottom")
        TopicOnLeft(b, colors, false);
    else if (layout == "Topic on left foot on right")
        TopicOnLeft(b, colors, true);
    // Any other name writes no regions.

    b.Line("</table>");
    b.Line("</body>");
    b.Line("</html>");
    return b.Take();
}

void WriteSkeleton(TDProject& project, const TPageSkeleton& skeleton) {
    for (const TPageStep& step : skeleton.Steps) {
        if (!step.Text.empty())
            project.Output.Write(step.Text);
        if (step.Writer)
            step.Writer(project);
    }
}

void WritePage(TDProject& project) {
    if (project.BuildState) {
        WriteSkeleton(project, project.BuildState->Skeleton);
        return;
    }
    WriteSkeleton(project, MakePageSkeleton(project));
}

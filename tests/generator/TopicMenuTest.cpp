// The topic bar (positions, logo) and the menu bar (on top and on the left, targets,
// separators, button picture).
#include "GeneratorFixture.h"

#include "model/CFrame.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// ---- Topic bar

class TopicTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TDTopic& topic = F.Project->TOPIC;
        topic.TITLE = "<font size=\"6\">Acme & Sons</font>";
        topic.LOGO_WIDTH = 100;
        topic.LOGO_HEIGHT = 50;
    }
    TGeneratorFixture F;
};

TEST_F(TopicTest, PositionsWithAndWithoutLogo) {
    enum TArrangement { Horizontal, Vertical };
    struct TCase {
        const char* Position;
        const char* CellLine;
        TArrangement Arrangement;
    };
    const TCase cases[] = {
        {"Left (Horizontal)", "<tr><td align=\"left\"><table class=\"Topic\">", Horizontal},
        {"Left (Vertical)", "<tr><td align=\"left\"><table class=\"Topic\">", Vertical},
        {"Center (Horizontal)", "<tr><td align=\"center\"><table class=\"Topic\">", Horizontal},
        {"Center (Vertical)", "<tr><td align=\"center\"><table class=\"Topic\">", Vertical},
        {"Right (Horizontal)", "<tr><td align=\"right\"><table class=\"Topic\">", Horizontal},
        {"Right (Vertical)", "<tr><td align=\"right\"><table class=\"Topic\">", Vertical},
        // Unknown positions (also other letters or a missing blank): no alignment, vertical.
        {"Middle", "<tr><td><table class=\"Topic\">", Vertical},
        {"left (horizontal)", "<tr><td><table class=\"Topic\">", Vertical},
        {"Right(Horizontal)", "<tr><td><table class=\"Topic\">", Vertical},
    };
    const std::string title = "<font size=\"6\">Acme & Sons</font>";
    for (const TCase& c : cases) {
        for (bool withLogo : {true, false}) {
            SCOPED_TRACE(std::string(c.Position) + (withLogo ? " with logo" : " without logo"));
            F.Project->TOPIC.POSITION = c.Position;
            F.Project->TOPIC.LOGO = withLogo ? "Logo.gif" : "";
            std::vector<std::string> lines = {
                "<table width=\"100%\" height=\"80\" border=\"0\" class=\"Topic\">", c.CellLine,
                "<tr>"};
            if (c.Arrangement == Horizontal) {
                if (withLogo)
                    lines.push_back("<td><img src=\"Logo.gif\" width=\"100\" "
                                    "height=\"50\"></td>");
                lines.push_back("<td>");
            } else {
                if (withLogo)
                    lines.push_back("<td align=\"center\"><img src=\"Logo.gif\" width=\"100\" "
                                    "height=\"50\"></td>");
                lines.push_back("</tr><tr><td align=\"center\">");
            }
            lines.insert(lines.end(), {title, "</td></tr></table>", "</td></tr>", "</table>"});
            EXPECT_EQ(F.Capture(WriteTopic), CrLfLines(lines));
        }
    }
}

TEST_F(TopicTest, CenterHorizontalIsNineLines) {
    TDTopic& topic = F.Project->TOPIC;
    topic.POSITION = "Center (Horizontal)";
    topic.LOGO = "Logo.gif";
    topic.TITLE = "Acme";
    F.Project->SIZE.TOPIC_HEIGHT = 64;
    EXPECT_EQ(F.Capture(WriteTopic),
              Lines({"<table width=\"100%\" height=\"64\" border=\"0\" class=\"Topic\">",
                     "<tr><td align=\"center\"><table class=\"Topic\">", "<tr>",
                     "<td><img src=\"Logo.gif\" width=\"100\" height=\"50\"></td>", "<td>", "Acme",
                     "</td></tr></table>", "</td></tr>", "</table>"}));
}

TEST_F(TopicTest, EmptyTitleAndLogoKeepTheNestedTable) {
    TDTopic& topic = F.Project->TOPIC;
    topic.TITLE = "";
    topic.LOGO = "";
    for (const char* position : {"Left (Horizontal)", "Right (Vertical)"}) {
        SCOPED_TRACE(position);
        topic.POSITION = position;
        const bool horizontal = std::string(position) == "Left (Horizontal)";
        EXPECT_EQ(F.Capture(WriteTopic),
                  Lines({"<table width=\"100%\" height=\"80\" border=\"0\" class=\"Topic\">",
                         horizontal ? "<tr><td align=\"left\"><table class=\"Topic\">"
                                    : "<tr><td align=\"right\"><table class=\"Topic\">",
                         "<tr>", horizontal ? "<td>" : "</tr><tr><td align=\"center\">",
                         "</td></tr></table>", "</td></tr>", "</table>"}));
    }
}

TEST_F(TopicTest, LogoIsCopiedOnlyOnTheHomepage) {
    TDProject& p = *F.Project;
    WriteFileBytes(p.ImagesPath() + "Logo.gif", "GIF89a-logo");
    p.TOPIC.LOGO = "Logo.gif";
    const std::string copy = p.OutputFolder + "/Logo.gif";

    p.PageName = "Page1";
    F.Capture(WriteTopic);
    EXPECT_FALSE(PathExists(copy));
    p.PageName = "Page0_0";
    F.Capture(WriteTopic);
    EXPECT_FALSE(PathExists(copy));

    p.PageName = p.FRAME.HOMEPAGE;
    F.Capture(WriteTopic);
    ASSERT_TRUE(PathExists(copy));
    EXPECT_EQ(ReadFileBytes(copy), "GIF89a-logo");
}

TEST_F(TopicTest, MissingLogoFileStillWritesTheBar) {
    TDProject& p = *F.Project;
    p.TOPIC.LOGO = "Missing.jpg";
    p.TOPIC.POSITION = "Left (Horizontal)";
    EXPECT_EQ(F.Capture(WriteTopic),
              Lines({"<table width=\"100%\" height=\"80\" border=\"0\" class=\"Topic\">",
                     "<tr><td align=\"left\"><table class=\"Topic\">", "<tr>",
                     "<td><img src=\"Missing.jpg\" width=\"100\" height=\"50\"></td>", "<td>",
                     "<font size=\"6\">Acme & Sons</font>", "</td></tr></table>", "</td></tr>",
                     "</table>"}));
    EXPECT_FALSE(PathExists(p.OutputFolder + "/Missing.jpg"));
}

// ---- Menu bar

class MenuBarTest : public ::testing::Test {
  protected:
    // A link titled title pointing at url.
    void AddLink(const std::string& title, const std::string& url) {
        TDMenuItem* item = F.Project->AddMenuItem(true);
        item->TITLE = title;
        item->URL = url;
    }
    void AddColumn(const std::string& title) {
        int index = F.AddColumn(0);
        F.Project->MenuItem(index).TITLE = title;
    }
    // Three items: a column, a link, a column.
    void ThreeItems() {
        AddColumn("Breads");
        AddLink("Mill", "http://mill.example/");
        AddColumn("Cakes");
    }
    TGeneratorFixture F;
};

const std::string TopTable = "<table width=\"100%\" height=\"16\" border=\"0\" class=\"Menu\">";
const std::string TopInner =
    "<table border=\"0\" cellpadding=\"0\" cellspacing=\"0\" class=\"Menu\"><tr>";
const std::string LeftTable = "<table width=\"100%\" height=\"320\" border=\"0\" class=\"Menu\">";
const std::string LeftInner = "<table border=\"0\" cellpadding=\"0\" cellspacing=\"0\" "
                              "class=\"Menu\">";
const std::string BreadsLink = "<a href=\"Default.htm\" class=\"Menu\">Breads</a>";
const std::string MillLink = "<a href=\"http://mill.example/\" class=\"Menu\">Mill</a>";
const std::string CakesLink = "<a href=\"Page2.htm\" class=\"Menu\">Cakes</a>";

TEST_F(MenuBarTest, OnTopSeparatorsAndSpacing) {
    ThreeItems();
    struct TCase {
        bool Separator;
        int Space;
        const char* Gap;
    };
    const TCase cases[] = {
        {true, 16, "<td align=\"center\" width=\"16\">&nbsp;|&nbsp;</td>"},
        {false, 16, "<td width=\"16\"></td>"},
        {true, 0, "<td align=\"center\" width=\"0\">&nbsp;|&nbsp;</td>"},
        {false, 40, "<td width=\"40\"></td>"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Gap);
        F.Project->MENU.HAS_SEPARATOR = c.Separator;
        F.Project->MENU.SPACE = c.Space;
        EXPECT_EQ(F.Capture(WriteMenuBar),
                  Lines({TopTable, "<tr><td align=\"Left\">", TopInner, "<td>",
                         BreadsLink + "</td>", c.Gap, "<td>", MillLink + "</td>", c.Gap, "<td>",
                         CakesLink + "</td>", "</tr></table>", "</td></tr>", "</table>"}));
    }
}

TEST_F(MenuBarTest, OnTheLeftSpacerRows) {
    AddColumn("Breads");
    AddLink("Mill", "http://mill.example/");
    F.Project->FRAME.FRAME = "Menu on left foot on bottom";
    F.Project->MENU.SPACE = 8;
    for (bool separator : {true, false}) {
        SCOPED_TRACE(separator);
        // The separator has no effect on the menu on the left.
        F.Project->MENU.HAS_SEPARATOR = separator;
        EXPECT_EQ(F.Capture(WriteMenuBar),
                  Lines({LeftTable, "<tr><td align=\"Left\" valign=\"top\">", LeftInner,
                         "<tr><td height=\"8\"></td></tr><tr>", "<td>", BreadsLink + "</td></tr>",
                         "<tr><td height=\"8\"></td></tr><tr>", "<td>", MillLink + "</td></tr>",
                         "<tr><td height=\"8\"></td></tr>", "</table>", "</td></tr>", "</table>"}));
    }
}

TEST_F(MenuBarTest, EmptyMenuList) {
    EXPECT_EQ(F.Capture(WriteMenuBar),
              Lines({TopTable, "<tr><td align=\"Left\">", "</td></tr>", "</table>"}));
    F.Project->FRAME.FRAME = "Topic on left foot on right";
    EXPECT_EQ(F.Capture(WriteMenuBar),
              Lines({LeftTable, "<tr><td align=\"Left\" valign=\"top\">", LeftInner,
                     "<tr><td height=\"16\"></td></tr>", "</table>", "</td></tr>", "</table>"}));
}

TEST_F(MenuBarTest, FrameLayoutChoosesTopOrLeft) {
    AddColumn("Breads");
    F.Project->SIZE.MENU_HEIGHT = 22;
    F.Project->SIZE.TEXT_HEIGHT = 400;
    const std::string top =
        Lines({"<table width=\"100%\" height=\"22\" border=\"0\" class=\"Menu\">",
               "<tr><td align=\"Left\">", TopInner, "<td>", BreadsLink + "</td>", "</tr></table>",
               "</td></tr>", "</table>"});
    const std::string left =
        Lines({"<table width=\"100%\" height=\"400\" border=\"0\" class=\"Menu\">",
               "<tr><td align=\"Left\" valign=\"top\">", LeftInner,
               "<tr><td height=\"16\"></td></tr><tr>", "<td>", BreadsLink + "</td></tr>",
               "<tr><td height=\"16\"></td></tr>", "</table>", "</td></tr>", "</table>"});
    struct TCase {
        const char* Frame;
        const std::string& Expected;
    };
    const TCase cases[] = {
        {"Topic on top menu on top", top},      {"Topic and menu on top", top},
        {"Menu on left foot on bottom", left},  {"Menu on left foot on right", left},
        {"Topic on left foot on bottom", left}, {"Topic on left foot on right", left},
        {"topic on top menu on top", left},     {"", left},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Frame);
        F.Project->FRAME.FRAME = c.Frame;
        EXPECT_EQ(F.Capture(WriteMenuBar), c.Expected);
    }
}

TEST_F(MenuBarTest, MenuPositionIsWrittenAsStored) {
    AddLink("Mill", "http://mill.example/");
    for (const char* position : {"Left", "Center", "Right"}) {
        SCOPED_TRACE(position);
        F.Project->MENU.POSITION = position;
        F.Project->FRAME.FRAME = "Topic and menu on top";
        EXPECT_EQ(F.Capture(WriteMenuBar),
                  Lines({TopTable, std::string("<tr><td align=\"") + position + "\">", TopInner,
                         "<td>", MillLink + "</td>", "</tr></table>", "</td></tr>", "</table>"}));
        F.Project->FRAME.FRAME = "Menu on left foot on right";
        EXPECT_EQ(
            F.Capture(WriteMenuBar),
            Lines({LeftTable, std::string("<tr><td align=\"") + position + "\" valign=\"top\">",
                   LeftInner, "<tr><td height=\"16\"></td></tr><tr>", "<td>",
                   MillLink + "</td></tr>", "<tr><td height=\"16\"></td></tr>", "</table>",
                   "</td></tr>", "</table>"}));
    }
}

TEST_F(MenuBarTest, TargetsCountLinksAndStartAtTheHomepage) {
    // [link, column, link, column, column]: the first column is the homepage, the others
    // are named by their place in the whole list.
    AddLink("Mill", "http://mill.example/");
    AddColumn("Breads");
    AddLink("Map", "map.htm");
    AddColumn("Cakes");
    AddColumn("Pies");
    F.Project->FRAME.HOMEPAGE = "Index";
    F.Project->MENU.HAS_SEPARATOR = false;
    F.Project->MENU.SPACE = 4;
    const std::string gap = "<td width=\"4\"></td>";
    EXPECT_EQ(F.Capture(WriteMenuBar),
              Lines({TopTable,
                     "<tr><td align=\"Left\">",
                     TopInner,
                     "<td>",
                     MillLink + "</td>",
                     gap,
                     "<td>",
                     "<a href=\"Index.htm\" class=\"Menu\">Breads</a></td>",
                     gap,
                     "<td>",
                     "<a href=\"map.htm\" class=\"Menu\">Map</a></td>",
                     gap,
                     "<td>",
                     "<a href=\"Page3.htm\" class=\"Menu\">Cakes</a></td>",
                     gap,
                     "<td>",
                     "<a href=\"Page4.htm\" class=\"Menu\">Pies</a></td>",
                     "</tr></table>",
                     "</td></tr>",
                     "</table>"}));
}

TEST_F(MenuBarTest, ButtonPictureOnEveryItem) {
    ThreeItems();
    TDProject& p = *F.Project;
    p.MENU.BUTTON = "Button.gif";
    p.MENU.BUTTON_WIDTH = 90;
    p.MENU.BUTTON_HEIGHT = 24;
    const std::string cell =
        "<td align=\"center\" width=\"90\" height=\"24\" background=\"Button.gif\">";
    const std::string gap = "<td align=\"center\" width=\"16\">&nbsp;|&nbsp;</td>";
    EXPECT_EQ(F.Capture(WriteMenuBar),
              Lines({TopTable, "<tr><td align=\"Left\">", TopInner, cell, BreadsLink + "</td>", gap,
                     cell, MillLink + "</td>", gap, cell, CakesLink + "</td>", "</tr></table>",
                     "</td></tr>", "</table>"}));
    p.FRAME.FRAME = "Topic on left foot on bottom";
    const std::string spacer = "<tr><td height=\"16\"></td></tr><tr>";
    EXPECT_EQ(F.Capture(WriteMenuBar),
              Lines({LeftTable, "<tr><td align=\"Left\" valign=\"top\">", LeftInner, spacer, cell,
                     BreadsLink + "</td></tr>", spacer, cell, MillLink + "</td></tr>", spacer, cell,
                     CakesLink + "</td></tr>", "<tr><td height=\"16\"></td></tr>", "</table>",
                     "</td></tr>", "</table>"}));
}

TEST_F(MenuBarTest, ButtonIsCopiedOnlyOnTheHomepage) {
    AddColumn("Breads");
    TDProject& p = *F.Project;
    WriteFileBytes(p.ImagesPath() + "Button.gif", "GIF89a-button");
    p.MENU.BUTTON = "Button.gif";
    const std::string copy = p.OutputFolder + "/Button.gif";
    for (const char* page : {"Page1", "Page0_3", "default"}) {
        p.PageName = page;
        F.Capture(WriteMenuBar);
        EXPECT_FALSE(PathExists(copy)) << page;
    }
    p.PageName = p.FRAME.HOMEPAGE;
    F.Capture(WriteMenuBar);
    ASSERT_TRUE(PathExists(copy));
    EXPECT_EQ(ReadFileBytes(copy), "GIF89a-button");
}

TEST_F(MenuBarTest, TitlesAndAddressesAsTheyStand) {
    AddLink("<b>Tom & Jerry's</b>", "mailto:a@b.example?subject=\"Hi\"");
    EXPECT_EQ(F.Capture(WriteMenuBar),
              Lines({TopTable, "<tr><td align=\"Left\">", TopInner, "<td>",
                     "<a href=\"mailto:a@b.example?subject=\"Hi\"\" class=\"Menu\"><b>Tom & "
                     "Jerry's</b></a></td>",
                     "</tr></table>", "</td></tr>", "</table>"}));
}

} // namespace

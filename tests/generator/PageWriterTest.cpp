// The page skeleton: head, body, outer table, welcome row and the six frame layouts.

#include "GeneratorFixture.h"
#include "generator/PageSkeleton.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct TRegion {
    void (*Writer)(TDProject&);
    const char* Marker;
};
const TRegion Regions[] = {
    {WriteWelcomeBar, "[WelcomeBar]"}, {WriteTopic, "[Topic]"}, {WriteMenuBar, "[MenuBar]"},
    {WriteTextArea, "[TextArea]"},     {WriteFoot, "[Foot]"},
};

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t from = 0;
    for (std::size_t end; (end = text.find("\r\n", from)) != std::string::npos; from = end + 2)
        lines.push_back(text.substr(from, end - from));
    if (from != text.size())
        lines.push_back("[unterminated]" + text.substr(from));
    return lines;
}

class PageWriterTest : public ::testing::Test, public TGeneratorFixture {
  protected:
    PageWriterTest() {
        TDColor& color = Project->COLOR;
        color.BG = RGBColor(0xFE, 0xDC, 0xBA);
        color.TEXT = RGBColor(0x01, 0x02, 0x03);
        color.WELCOME_BG = RGBColor(0x55, 0x00, 0x00);
        color.TOPIC_BG = RGBColor(0x11, 0x00, 0x00);
        color.MENU_BG = RGBColor(0x00, 0x22, 0x00);
        color.TEXT_BG = RGBColor(0x00, 0x00, 0x33);
        color.FOOT_BG = RGBColor(0x44, 0x00, 0x00);
        Project->SIZE.MENU_WIDTH = 150;
    }

    // The page as the skeleton writes it, each region writer shown by its marker on a line
    // of its own; other steps (the homepage's picture copy) run for real.
    std::string Skeleton() {
        std::string out;
        for (const TPageStep& step : MakePageSkeleton(*Project).Steps) {
            out += step.Text;
            if (!step.Writer)
                continue;
            const char* marker = nullptr;
            for (const TRegion& region : Regions)
                if (region.Writer == step.Writer)
                    marker = region.Marker;
            if (marker)
                out += std::string(marker) + "\r\n";
            else
                step.Writer(*Project);
        }
        return out;
    }

    // The head and body lines every page starts with, for the fixture's colours.
    std::vector<std::string> Head() {
        std::vector<std::string> head = {
            "<html>",
            "<head>",
            "<title>Welcome to our new web site!</title>",
            "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\">",
            "<meta name=\"generator\" content=\"Corvane 1.3.0\">",
            "<meta name=\"description\" content=\"\">",
            "<meta name=\"keywords\" content=\"\">",
        };
        for (const std::string& line : SplitLines(StyleSheetText(*Project)))
            head.push_back(line);
        head.push_back("</head>");
        head.push_back("<body bgcolor=\"#FEDCBA\" text=\"#010203\">");
        head.push_back("<center>");
        head.push_back("<table width=\"100%\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\">");
        head.push_back("<tr><td width=\"100%\" bgcolor=\"#550000\">");
        head.push_back("[WelcomeBar]");
        head.push_back("</td></tr>");
        return head;
    }
};

struct TLayoutCase {
    const char* Name;
    std::vector<std::string> Rows;
};

const TLayoutCase LayoutCases[] = {
    {"Topic on top menu on top",
     {
         "<tr><td width=\"100%\" bgcolor=\"#110000\">",
         "[Topic]",
         "</td></tr>",
         "<tr><td width=\"100%\" bgcolor=\"#002200\">",
         "[MenuBar]",
         "</td></tr>",
         "<tr><td width=\"100%\" bgcolor=\"#000033\">",
         "[TextArea]",
         "</td></tr>",
         "<tr><td width=\"100%\" bgcolor=\"#440000\">",
         "[Foot]",
         "</td></tr>",
     }},
    {"Topic and menu on top",
     {
         "<tr><td width=\"100%\">",
         "<table width=\"100%\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\">",
         "<tr><td width=\"150\" bgcolor=\"#110000\">",
         "[Topic]",
         "</td>",
         "<td bgcolor=\"#002200\">",
         "[MenuBar]",
         "</td></tr>",
         "</table>",
         "</td></tr>",
         "<tr><td width=\"100%\" bgcolor=\"#000033\">",
         "[TextArea]",
         "</td></tr>",
         "<tr><td width=\"100%\" bgcolor=\"#440000\">",
         "[Foot]",
         "</td></tr>",
     }},
    {"Menu on left foot on bottom",
     {
         "<tr><td width=\"100%\" bgcolor=\"#110000\">",
         "[Topic]",
         "</td></tr>",
         "<tr><td width=\"100%\">",
         "<table width=\"100%\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\">",
         "<tr><td width=\"150\" bgcolor=\"#002200\" valign=\"top\">",
         "[MenuBar]",
         "</td>",
         "<td valign=\"top\" bgcolor=\"#000033\">",
         "[TextArea]",
         "</td></tr>",
         "</table>",
         "</td></tr>",
         "<tr><td width=\"100%\" bgcolor=\"#440000\">",
         "[Foot]",
         "</td></tr>",
     }},
    {"Menu on left foot on right",
     {
         "<tr><td width=\"100%\" bgcolor=\"#110000\">",
         "[Topic]",
         "</td></tr>",
         "<tr><td>",
         "<table width=\"100%\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\">",
         "<tr><td width=\"150\" bgcolor=\"#002200\" valign=\"top\">",
         "[MenuBar]",
         "</td>",
         "<td valign=\"top\" bgcolor=\"#000033\">",
         "[TextArea]",
         "</td></tr>",
         "<tr><td bgcolor=\"#002200\"></td>",
         "<td bgcolor=\"#440000\">",
         "[Foot]",
         "</td></tr>",
         "</table>",
         "</td></tr>",
     }},
    {"Topic on left foot on bottom",
     {
         "<tr><td>",
         "<table width=\"100%\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\">",
         "<tr><td width=\"150\" bgcolor=\"#002200\" valign=\"top\">",
         "<table width=\"100%\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\">",
         "<tr><td width=\"150\" bgcolor=\"#110000\">",
         "[Topic]",
         "</td></tr>",
         "<tr><td bgcolor=\"#002200\" valign=\"top\">",
         "[MenuBar]",
         "</td></tr>",
         "</table>",
         "</td>",
         "<td valign=\"top\" bgcolor=\"#000033\">",
         "[TextArea]",
         "</td></tr>",
         "</table>",
         "</td></tr>",
         "<tr><td width=\"100%\" bgcolor=\"#440000\">",
         "[Foot]",
         "</td></tr>",
     }},
    {"Topic on left foot on right",
     {
         "<tr><td>",
         "<table width=\"100%\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\">",
         "<tr><td width=\"150\" bgcolor=\"#002200\" valign=\"top\">",
         "<table width=\"100%\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\">",
         "<tr><td width=\"150\" bgcolor=\"#110000\">",
         "[Topic]",
         "</td></tr>",
         "<tr><td bgcolor=\"#002200\" valign=\"top\">",
         "[MenuBar]",
         "</td></tr>",
         "</table>",
         "</td>",
         "<td valign=\"top\" bgcolor=\"#000033\">",
         "[TextArea]",
         "</td></tr>",
         "<tr><td bgcolor=\"#002200\">",
         "</td>",
         "<td bgcolor=\"#440000\">",
         "[Foot]",
         "</td></tr>",
         "</table>",
         "</td></tr>",
     }},
    // A name that is none of the six writes no regions; so does a near miss.
    {"Unknown layout", {}},
    {"topic on top menu on top", {}},
};

TEST_F(PageWriterTest, EveryLayoutWholePage) {
    for (const TLayoutCase& c : LayoutCases) {
        Project->FRAME.FRAME = c.Name;
        std::vector<std::string> expected = Head();
        expected.insert(expected.end(), c.Rows.begin(), c.Rows.end());
        for (const char* line : {"</table>", "</body>", "</html>"})
            expected.push_back(line);
        EXPECT_EQ(SplitLines(Skeleton()), expected) << c.Name;
    }
}

TEST_F(PageWriterTest, TransparentRegionsKeepAnEmptyBgcolor) {
    TDColor& color = Project->COLOR;
    color.WELCOME_TRANS = color.TOPIC_TRANS = color.MENU_TRANS = true;
    color.TEXT_TRANS = color.FOOT_TRANS = true;
    Project->FRAME.FRAME = "Menu on left foot on right";
    const std::vector<std::string> lines = SplitLines(Skeleton());
    const std::vector<std::string> rows(lines.end() - 23, lines.end() - 3);
    EXPECT_EQ(rows, (std::vector<std::string>{
                        "<tr><td width=\"100%\" bgcolor=\"\">",
                        "[WelcomeBar]",
                        "</td></tr>",
                        "<tr><td width=\"100%\" bgcolor=\"\">",
                        "[Topic]",
                        "</td></tr>",
                        "<tr><td>",
                        "<table width=\"100%\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\">",
                        "<tr><td width=\"150\" bgcolor=\"\" valign=\"top\">",
                        "[MenuBar]",
                        "</td>",
                        "<td valign=\"top\" bgcolor=\"\">",
                        "[TextArea]",
                        "</td></tr>",
                        "<tr><td bgcolor=\"\"></td>",
                        "<td bgcolor=\"\">",
                        "[Foot]",
                        "</td></tr>",
                        "</table>",
                        "</td></tr>",
                    }));
}

// The lines from the body's to the first row, for the body's variants.
TEST_F(PageWriterTest, BodyMarginsBackgroundCentringAndWelcomeRow) {
    struct TCase {
        bool NoMargin;
        const char* Background;
        bool OnLeft;
        bool HasWelcome;
        const char* Screen;
        std::vector<std::string> Lines;
    };
    const std::string table750 =
        "<table width=\"750\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\">";
    const std::string table100 =
        "<table width=\"100%\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\">";
    const TCase cases[] = {
        {false,
         "",
         false,
         true,
         "100%",
         {"<body bgcolor=\"#FEDCBA\" text=\"#010203\">", "<center>", table100,
          "<tr><td width=\"100%\" bgcolor=\"#550000\">"}},
        {true,
         "Background.jpg",
         false,
         true,
         "750",
         {"<body bgcolor=\"#FEDCBA\" text=\"#010203\" leftmargin=\"0\" topmargin=\"0\" "
          "background=\"Background.jpg\">",
          "<center>", table750, "<tr><td width=\"100%\" bgcolor=\"#550000\">"}},
        {true,
         "",
         true,
         false,
         "610",
         {"<body bgcolor=\"#FEDCBA\" text=\"#010203\" leftmargin=\"0\" topmargin=\"0\">",
          "<table width=\"610\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\">",
          "<tr><td width=\"100%\" bgcolor=\"#110000\">", "[Topic]"}},
        {false,
         "C:\\Pictures\\Sky.gif",
         true,
         true,
         "750",
         {"<body bgcolor=\"#FEDCBA\" text=\"#010203\" background=\"Sky.gif\">", table750,
          "<tr><td width=\"100%\" bgcolor=\"#550000\">", "[WelcomeBar]"}},
    };
    for (const TCase& c : cases) {
        Project->FRAME.NO_MARGIN = c.NoMargin;
        Project->FRAME.BACKGROUND = c.Background;
        Project->FRAME.ON_LEFT = c.OnLeft;
        Project->FRAME.HAS_WELCOME = c.HasWelcome;
        Project->SIZE.SCREEN = c.Screen;
        const std::vector<std::string> lines = SplitLines(Skeleton());
        // Seven head lines, 37 of the style sheet, "</head>", then the body.
        ASSERT_GT(lines.size(), 49u);
        ASSERT_EQ(lines[44], "</head>");
        EXPECT_EQ(std::vector<std::string>(lines.begin() + 45, lines.begin() + 49), c.Lines)
            << c.Background << " " << c.Screen;
    }
}

TEST_F(PageWriterTest, HeadCarriesTopicTextsAsStoredAndTheCharsetOfTheEncoding) {
    Project->TOPIC.CAPTION = "Caf\xE9 & <b>Bar</b>";
    Project->TOPIC.DESCRIPTION = "A \"quoted\" description";
    Project->TOPIC.KEYWORDS = "one, two";
    Project->FONT.ENCODING = "Japanese (Shift JIS)";
    std::vector<std::string> lines = SplitLines(Skeleton());
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 8),
              (std::vector<std::string>{
                  "<html>",
                  "<head>",
                  "<title>Caf\xE9 & <b>Bar</b></title>",
                  "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">",
                  "<meta name=\"generator\" content=\"Corvane 1.3.0\">",
                  "<meta name=\"description\" content=\"A \"quoted\" description\">",
                  "<meta name=\"keywords\" content=\"one, two\">",
                  "<style type=\"text/css\">",
              }));
    Project->FONT.ENCODING = "Other";
    Project->TOPIC.CAPTION = "";
    lines = SplitLines(Skeleton());
    EXPECT_EQ(lines[2], "<title></title>");
    // Written as UTF-8, and the tag says so.
    EXPECT_EQ(lines[3], "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\">");
}

TEST_F(PageWriterTest, OnlyTheHomepageCopiesTheBackground) {
    WriteFileBytes(Project->ImagesPath() + "Background.jpg", "picture bytes");
    Project->FRAME.BACKGROUND = "Background.jpg";
    const std::string copy = Project->OutputFolder + "/Background.jpg";

    Project->PageName = "Page1";
    Skeleton();
    EXPECT_FALSE(PathExists(copy));

    Project->PageName = Project->FRAME.HOMEPAGE;
    Skeleton();
    EXPECT_EQ(ReadFileBytes(copy), "picture bytes");

    // Without a background there is nothing to copy, even on the homepage.
    std::filesystem::remove(copy);
    Project->FRAME.BACKGROUND = "";
    Skeleton();
    EXPECT_FALSE(PathExists(copy));
}

TEST_F(PageWriterTest, AnUnknownLayoutCopiesNoLogoOrButton) {
    WriteFileBytes(Project->ImagesPath() + "Logo.gif", "logo");
    WriteFileBytes(Project->ImagesPath() + "Button.gif", "button");
    Project->TOPIC.LOGO = "Logo.gif";
    Project->MENU.BUTTON = "Button.gif";
    UseColumn(AddColumn(0), -1);
    Project->FRAME.FRAME = "No such layout";
    Capture(WritePage);
    EXPECT_FALSE(PathExists(Project->OutputFolder + "/Logo.gif"));
    EXPECT_FALSE(PathExists(Project->OutputFolder + "/Button.gif"));
    Project->FRAME.FRAME = "Topic on top menu on top";
    Capture(WritePage);
    EXPECT_TRUE(PathExists(Project->OutputFolder + "/Logo.gif"));
    EXPECT_TRUE(PathExists(Project->OutputFolder + "/Button.gif"));
}

} // namespace

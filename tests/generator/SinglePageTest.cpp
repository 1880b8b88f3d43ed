// A page's own view (byline, picture, link, previous/next strip), the hotspot column and
// the foot.
#include "ColumnSetup.h"
#include "GeneratorFixture.h"

#include "platform/Error.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// Sets the translation of key in the project's language table.
void SetTranslation(TDProject& project, const std::string& key, const std::string& value) {
    for (int i = 0; i < project.LANGUAGE.Count; ++i)
        if (project.LANGUAGE.Keys[static_cast<std::size_t>(i)] == key)
            project.LANGUAGE.Values[static_cast<std::size_t>(i)] = value;
}

// ---- Single page view

const std::string NavOpening =
    R"(<tr><td><table width="100%" border="0" class="SmallTitle"><tr><td align="left">)";

// The strip after the page's text: "" for a missing link.
std::string Navigation(const std::string& previous, const std::string& next) {
    std::string out = Lines({NavOpening});
    if (!previous.empty())
        out += Lines({previous});
    out += Lines({R"(</td><td align="right">)"});
    if (!next.empty())
        out += Lines({next});
    return out + Lines({"</td></tr></table></td></tr>", "</table>"});
}

TEST(SinglePageTest, PreviousAndNextAtEachPlace) {
    struct TCase {
        int Pages;
        int Current;
        std::string Previous;
        std::string Next;
    };
    const TCase cases[] = {
        {3, 0, "", R"(- <a href="Page1_1.htm" class="SmallTitle">Next</a> -)"},
        {3, 1, R"(- <a href="Page1_0.htm"  class="SmallTitle">Previous</a> -)",
         R"(- <a href="Page1_2.htm" class="SmallTitle">Next</a> -)"},
        {3, 2, R"(- <a href="Page1_1.htm"  class="SmallTitle">Previous</a> -)", ""},
        {1, 0, "", ""},
        {12, 10, R"(- <a href="Page1_9.htm"  class="SmallTitle">Previous</a> -)",
         R"(- <a href="Page1_11.htm" class="SmallTitle">Next</a> -)"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.Current) + " of " + std::to_string(c.Pages));
        TGeneratorFixture f;
        std::vector<TPageSetup> pages(static_cast<std::size_t>(c.Pages));
        pages[static_cast<std::size_t>(c.Current)].Title = "Here";
        pages[static_cast<std::size_t>(c.Current)].Text = "Body";
        MakeColumn(f, "Only title list", pages, c.Current);
        EXPECT_EQ(
            f.Capture(WriteSinglePage),
            Lines({
                R"(<table width="100%" border="0" class="Text">)",
                R"(<tr><td width="100%" align="center" class="Title">Here</td></tr><tr><td align="center">)",
                "</td></tr>",
                "<tr><td>",
                "Body",
                "</td></tr>",
                "</td></tr>",
            }) + Navigation(c.Previous, c.Next));
    }
}

TEST(SinglePageTest, TranslatedNavigationWords) {
    TGeneratorFixture f;
    SetTranslation(*f.Project, "PREVIOUS", "Zur&uuml;ck");
    SetTranslation(*f.Project, "NEXT", "");
    MakeColumn(f, "Only title list", {{"A"}, {"B"}, {"C"}}, 1);
    const std::string page = f.Capture(WriteSinglePage);
    EXPECT_NE(
        page.find("\r\n" +
                  Navigation(R"(- <a href="Page1_0.htm"  class="SmallTitle">Zur&uuml;ck</a> -)",
                             R"(- <a href="Page1_2.htm" class="SmallTitle"></a> -)")),
        std::string::npos);
}

TEST(SinglePageTest, BylinePictureAndLinks) {
    struct TCase {
        const char* Name;
        bool ShowAuthor;
        bool ShowDate;
        bool Border;
        TPageSetup Page;
        std::vector<std::string> Lines; // between the table's opening and the closing rows
    };
    const std::string pictureRow = R"(<tr><td align="center">)";
    const TCase cases[] = {
        {"author, date, picture, line breaks, link",
         true,
         true,
         true,
         {"Title", "Ann", "01/02/2024", "x.jpg", 400, 300, "a#$D#$Ab#$D#$A", "Site", "Link",
          "http://example.com/"},
         {R"(<tr><td width="100%" align="center" class="Title">Title</td></tr><tr><td width="100%" align="center" class="SmallTitle">Ann 01/02/2024</td></tr>)" +
              pictureRow,
          R"(<img src="x.jpg" align="center" border="1" vspace="10" hspace="10" width="400" height="300">)",
          "</td></tr>", "<tr><td>", "a<br>b<br>", "</td></tr>", "<tr><td>[ ",
          R"(<a href="http://example.com/" class="Text">Site</a>)", " ]</td></tr>"}},
        {"date only, e-mail link",
         true,
         true,
         true,
         {"T", "", "d", "", 0, 0, "", "Mail", "E-mail", "me@example.com"},
         {R"(<tr><td width="100%" align="center" class="Title">T</td></tr><tr><td width="100%" align="center" class="SmallTitle"> d</td></tr>)" +
              pictureRow,
          "</td></tr>", "<tr><td>", "", "</td></tr>", "<tr><td>[ ",
          R"(<a href="mailto:me@example.com" class="Text">Mail</a>)", " ]</td></tr>"}},
        {"author only, download link, picture without border",
         true,
         false,
         false,
         {"T", "Ann", "d", "Images\\y.gif", 20, 10, "x", "Get", "Download", "C:\\dl\\f.zip"},
         {R"(<tr><td width="100%" align="center" class="Title">T</td></tr><tr><td width="100%" align="center" class="SmallTitle">Ann</td></tr>)" +
              pictureRow,
          R"(<img src="y.gif" align="center" border="0" vspace="10" hspace="10" width="20" height="10">)",
          "</td></tr>", "<tr><td>", "x", "</td></tr>", "<tr><td>[ ",
          R"(<a href="f.zip" class="Text">Get</a>)", " ]</td></tr>"}},
        {"flags off, unknown link kind",
         false,
         false,
         true,
         {"T", "Ann", "d", "", 0, 0, "x", "Odd", "Fax", "1"},
         {R"(<tr><td width="100%" align="center" class="Title">T</td></tr>)" + pictureRow,
          "</td></tr>", "<tr><td>", "x", "</td></tr>", "<tr><td>[ ", " ]</td></tr>"}},
        {"no link text, no link row",
         true,
         true,
         true,
         {"<i>T</i>", "", "", "", 0, 0, "<p>x</p>", "", "Download", "f.zip"},
         {R"(<tr><td width="100%" align="center" class="Title"><i>T</i></td></tr>)" + pictureRow,
          "</td></tr>", "<tr><td>", "<p>x</p>", "</td></tr>"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TGeneratorFixture f;
        MakeColumn(f, "Title list with summary", {c.Page}, 0);
        ItemInUse(f).SHOW_AUTHOR = c.ShowAuthor;
        ItemInUse(f).SHOW_DATE = c.ShowDate;
        ItemInUse(f).HAS_BORDER = c.Border;
        std::string expected = Lines({R"(<table width="100%" border="0" class="Text">)"});
        for (const std::string& line : c.Lines)
            expected += line + "\r\n";
        expected += Lines({"</td></tr>"}) + Navigation("", "");
        EXPECT_EQ(f.Capture(WriteSinglePage), expected);
    }
}

TEST(SinglePageTest, MissingPageIsAnError) {
    TGeneratorFixture f;
    EXPECT_THROW(f.Capture(WriteSinglePage), TError);
    MakeColumn(f, "Only title list", {{"A"}}, 1);
    try {
        f.Capture(WriteSinglePage);
        FAIL() << "no error";
    } catch (const TError& e) {
        EXPECT_EQ(e.FileName(), f.Column->FileName);
    }
}

// ---- Hotspot column

TEST(HotspotTest, PositionsPicturesAndLinks) {
    struct TCase {
        const char* Name;
        std::string Position;
        std::string Title;
        std::string Picture;
        std::string Text;
        std::string Link;
        std::string Kind;
        std::string Url;
        TColor Background;
        bool Transparent;
        std::vector<std::string> Rows; // inside the inner table, after the text's empty line
    };
    const std::vector<std::string> titleRows = {R"(<tr><td align="center" class="HotspotTitle">)",
                                                "Hot <b>spot</b>", "</td></tr>"};
    const std::vector<std::string> pictureRows = {R"(<tr><td align="center" class="Hotspot">)",
                                                  R"(<img src="h.jpg" width="100" height="50">)",
                                                  "</td></tr>"};
    auto join = [](std::initializer_list<std::vector<std::string>> parts) {
        std::vector<std::string> all;
        for (const auto& part : parts)
            all.insert(all.end(), part.begin(), part.end());
        return all;
    };
    const std::vector<std::string> textRows = {R"(<tr><td align="left">)", "x<br>y</td></tr>", ""};
    const TCase cases[] = {
        {"title on top, link", "Title On Top", "Hot <b>spot</b>", "h.jpg", "x#$D#$Ay", "Go", "Link",
         "http://h/", RGBColor(0x12, 0x34, 0x56), false,
         join({titleRows,
               pictureRows,
               textRows,
               {R"(<tr><td align="center">[ )", R"(<a href="http://h/" class="Hotspot">Go</a>)",
                " ]</td></tr>"}})},
        {"picture on top, e-mail", "Picture On Top", "Hot <b>spot</b>", "Images\\h.jpg", "x#$D#$Ay",
         "Mail", "E-mail", "me@h", RGBColor(0x12, 0x34, 0x56), false,
         join({pictureRows,
               titleRows,
               textRows,
               {R"(<tr><td align="center">[ )", R"(<a href="mailto:me@h" class="Hotspot">Mail</a>)",
                " ]</td></tr>"}})},
        {"title without picture, download", "Picture On Top", "Hot <b>spot</b>", "", "x#$D#$Ay",
         "Get", "Download", "C:\\dl\\f.zip", RGBColor(0x12, 0x34, 0x56), true,
         join({titleRows,
               textRows,
               {R"(<tr><td align="center">[ )", R"(<a href="f.zip" class="Hotspot">Get</a>)",
                " ]</td></tr>"}})},
        {"picture without title, unknown kind", "Title On Top", "", "h.jpg", "x#$D#$Ay", "Odd",
         "Fax", "1", RGBColor(0x12, 0x34, 0x56), false,
         join({pictureRows, textRows, {R"(<tr><td align="center">[ )", " ]</td></tr>"}})},
        {"unknown position shows no title", "title on top", "Hot <b>spot</b>", "h.jpg", "x#$D#$Ay",
         "", "Link", "u", RGBColor(0x12, 0x34, 0x56), false, join({pictureRows, textRows})},
        {"nothing set",
         "Title On Top",
         "",
         "",
         "",
         "",
         "Link",
         "",
         RGBColor(0x12, 0x34, 0x56),
         false,
         {R"(<tr><td align="left">)", "</td></tr>", ""}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TGeneratorFixture f;
        TDHotspot& hotspot = f.Project->HOTSPOT;
        hotspot.POSITION = c.Position;
        hotspot.TITLE = c.Title;
        hotspot.PICTURE = c.Picture;
        hotspot.PICTURE_WIDTH = 100;
        hotspot.PICTURE_HEIGHT = 50;
        hotspot.TEXT = c.Text;
        hotspot.LINK = c.Link;
        hotspot.KIND = c.Kind;
        hotspot.URL = c.Url;
        f.Project->COLOR.HOTSPOT_BG = c.Background;
        f.Project->COLOR.HOTSPOT_TRANS = c.Transparent;
        f.Project->SIZE.HOTSPOT_WIDTH = 140;
        std::string expected = Lines({
            R"(<table width="140" height="100%" border="0" cellpadding="10" cellspacing="0" class="Hotspot">)",
            c.Transparent ? R"(<tr><td valign="top" bgcolor="">)"
                          : R"(<tr><td valign="top" bgcolor="#123456">)",
            R"(<table width="100%" class="Hotspot">)",
        });
        for (const std::string& row : c.Rows)
            expected += row + "\r\n";
        expected += Lines({"</table>", "</td></tr>", "</table>"});
        EXPECT_EQ(f.Capture(WriteHotspot), expected);
    }
}

TEST(HotspotTest, FilesAreCopiedWithTheHomepageOnly) {
    TGeneratorFixture f;
    TDProject& project = *f.Project;
    WriteFileBytes(project.ImagesPath() + "h.jpg", "hotspot picture");
    WriteFileBytes(project.DownloadsPath() + "f.zip", "hotspot download");
    project.HOTSPOT.PICTURE = "h.jpg";
    project.HOTSPOT.KIND = "Download";
    project.HOTSPOT.URL = "f.zip";
    project.HOTSPOT.LINK = ""; // copied also when no link shows it
    const std::string out = project.OutputFolder + "/";

    project.PageName = "Page1_0";
    f.Capture(WriteHotspot);
    EXPECT_FALSE(PathExists(out + "h.jpg"));
    EXPECT_FALSE(PathExists(out + "f.zip"));

    project.PageName = project.FRAME.HOMEPAGE;
    f.Capture(WriteHotspot);
    EXPECT_EQ(ReadFileBytes(out + "h.jpg"), "hotspot picture");
    EXPECT_EQ(ReadFileBytes(out + "f.zip"), "hotspot download");

    // Other kinds copy no download.
    std::remove((out + "f.zip").c_str());
    project.HOTSPOT.KIND = "Link";
    f.Capture(WriteHotspot);
    EXPECT_FALSE(PathExists(out + "f.zip"));
}

// With alt texts, every picture the generator writes has one: the hotspot's picture its
// title (escaped), the logo the caption, the pages' pictures their titles.
TEST(HotspotTest, AltTextsOnEveryPicture) {
    TGeneratorFixture f;
    TDProject& project = *f.Project;
    project.OPTIONS.ALT_TEXTS = true;
    project.HOTSPOT.PICTURE = "h.gif";
    project.HOTSPOT.PICTURE_WIDTH = 10;
    project.HOTSPOT.PICTURE_HEIGHT = 20;
    project.HOTSPOT.TITLE = "Join \"us\" <now>";
    EXPECT_NE(f.Capture(WriteHotspot)
                  .find("<img src=\"h.gif\" alt=\"Join &quot;us&quot; &lt;now&gt;\" width=\"10\" "
                        "height=\"20\">\r\n"),
              std::string::npos);
    project.HOTSPOT.TITLE.clear();
    EXPECT_NE(f.Capture(WriteHotspot).find("<img src=\"h.gif\" alt=\"\" width=\"10\""),
              std::string::npos);
    project.TOPIC.LOGO = "Logo.gif";
    project.TOPIC.CAPTION = "A & B";
    EXPECT_NE(f.Capture(WriteTopic).find("<img src=\"Logo.gif\" alt=\"A &amp; B\" width=\"0\""),
              std::string::npos);
    project.OPTIONS.ALT_TEXTS = false;
    EXPECT_NE(f.Capture(WriteTopic).find("<img src=\"Logo.gif\" width=\"0\""), std::string::npos);
}

// ---- Foot

TEST(FootTest, FieldsAndPositions) {
    struct TCase {
        const char* Name;
        std::string Position;
        std::string Copyright, Address, Tel, Fax, Email;
        bool Translated;
        std::vector<std::string> Lines; // from the cell's opening to its closing
    };
    const TCase cases[] = {
        {"nothing set",
         "Center",
         "",
         "",
         "",
         "",
         "",
         false,
         {R"(<tr><td align="Center"></td></tr>)"}},
        {"copyright only",
         "Left",
         "&copy; 2024 Acme",
         "",
         "",
         "",
         "",
         false,
         {R"(<tr><td align="Left">&copy; 2024 Acme<br>)", "</td></tr>"}},
        {"telephone and fax share a line",
         "Right",
         "",
         "",
         "123",
         "456",
         "",
         false,
         {R"(<tr><td align="Right">Tel: 123)", "Fax: 456<br>", "</td></tr>"}},
        {"everything",
         "Center",
         "(c) Acme",
         "1 Main St",
         "123",
         "456",
         "me@acme.test",
         false,
         {R"(<tr><td align="Center">(c) Acme<br>)", "Address: 1 Main St<br>", "Tel: 123",
          "Fax: 456<br>", R"(E-mail: <a href="mailto:me@acme.test" class="Foot">me@acme.test</a>)",
          "</td></tr>"}},
        {"translated words, address first",
         "Left",
         "",
         "Hauptstr. 1",
         "",
         "",
         "a@b",
         true,
         {R"(<tr><td align="Left">Adresse: Hauptstr. 1<br>)",
          R"(Mail: <a href="mailto:a@b" class="Foot">a@b</a>)", "</td></tr>"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TGeneratorFixture f;
        TDFoot& foot = f.Project->FOOT;
        foot.POSITION = c.Position;
        foot.COPYRIGHT = c.Copyright;
        foot.ADDRESS = c.Address;
        foot.TEL = c.Tel;
        foot.FAX = c.Fax;
        foot.EMAIL = c.Email;
        f.Project->SIZE.FOOT_HEIGHT = 60;
        if (c.Translated) {
            SetTranslation(*f.Project, "ADDRESS", "Adresse");
            SetTranslation(*f.Project, "EMAIL", "Mail");
        }
        std::string expected =
            Lines({R"(<table width="100%" height="60" border="0" class="Foot">)"});
        for (const std::string& line : c.Lines)
            expected += line + "\r\n";
        expected += Lines({"</table>"});
        EXPECT_EQ(f.Capture(WriteFoot), expected);
    }
}

} // namespace

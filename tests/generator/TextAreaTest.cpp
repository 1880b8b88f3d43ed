// The text area (frame, hotspot column, copies of the pages' files) and the column listing
// in its seven styles.
#include "ColumnSetup.h"
#include "GeneratorFixture.h"

#include "platform/Error.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

class TextAreaTest : public ::testing::Test {
  protected:
    TGeneratorFixture F;
};

// The table around the rows of every listing.
std::string Listing(const std::string& rows) {
    return Lines({R"(<table width="100%" border="0" class="Text">)"}) + rows +
           Lines({"</td></tr>", "</table>"});
}

const std::string Dot = R"(<tr><td align="right" class="SmallTitle">.</td>)";
const std::string Spacer = R"(<tr><td height="10"></td></tr>)";

std::string Repeat(const std::string& piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += piece;
    return out;
}

struct TListingCase {
    const char* Name;
    std::string Style;
    bool ShowAuthor;
    bool ShowDate;
    bool Border;
    std::vector<TPageSetup> Pages;
    std::string Expected;
};

TEST_F(TextAreaTest, ListingStyles) {
    const std::string a200(200, 'a');
    const std::string c96(96, 'c');
    const std::string g198(198, 'g');
    const TListingCase cases[] = {
        {"only titles, bylines of every shape",
         "Only title list",
         true,
         true,
         true,
         {{"Alpha", "Ann", "01/02/2024"},
          {"Beta", "Bob", ""},
          {"Gamma", "", "03/04/2024"},
          {"Delta", "", ""}},
         Listing(Lines({
             Dot +
                 R"(<td width="100%"><a href="Page1_0.htm" class="SmallTitle">Alpha (Ann 01/02/2024)</a></td></tr>)",
             Dot +
                 R"(<td width="100%"><a href="Page1_1.htm" class="SmallTitle">Beta (Bob)</a></td></tr>)",
             Dot +
                 R"(<td width="100%"><a href="Page1_2.htm" class="SmallTitle">Gamma (03/04/2024)</a></td></tr>)",
             Dot +
                 R"(<td width="100%"><a href="Page1_3.htm" class="SmallTitle">Delta</a></td></tr>)",
         }))},
        {"only titles, author flag only",
         "Only title list",
         true,
         false,
         true,
         {{"<b>Alpha</b> & co", "Ann", "01/02/2024"}},
         Listing(Lines({
             Dot +
                 R"(<td width="100%"><a href="Page1_0.htm" class="SmallTitle"><b>Alpha</b> & co (Ann)</a></td></tr>)",
         }))},
        {"only titles, flags off",
         "Only title list",
         false,
         false,
         true,
         {{"Alpha", "Ann", "01/02/2024"}},
         Listing(Lines({
             Dot +
                 R"(<td width="100%"><a href="Page1_0.htm" class="SmallTitle">Alpha</a></td></tr>)",
         }))},
        {"only titles, no pages", "Only title list", true, true, true, {}, Listing("")},
        {"summaries, cuts and links of each kind",
         "Title list with summary",
         true,
         false,
         true,
         {{"Short", "Ann", "d", "", 0, 0, "one#$D#$Atwo", "Site", "Link", "http://example.com/"},
          {"Long", "", "d", "", 0, 0, a200 + std::string(100, 'b'), "Write", "E-mail",
           "me@example.com"},
          {"Exact", "", "", "", 0, 0, a200, "Get", "Download", "C:\\files\\file.zip"},
          {"Breaks", "", "", "", 0, 0, c96 + "#$D#$A" + c96, "Odd", "Fax", "123"},
          {"Two breaks", "", "", "", 0, 0, c96 + "#$D#$A" + c96 + "#$D#$A", "", "Link", "x"},
          {"Cut break", "", "", "", 0, 0, g198 + "#$D#$Ah", "", "Link", ""}},
         Listing(Lines({
             Dot +
                 R"(<td width="100%"><a href="Page1_0.htm" class="SmallTitle">Short (Ann)</a><br></td></tr>)",
             "<tr><td></td><td>one<br>two",
             "</td></tr>",
             "<tr><td></td><td>[ ",
             R"(<a href="http://example.com/" class="Text">Site</a>)",
             " ]</td></tr>",
             Spacer,
             Dot +
                 R"(<td width="100%"><a href="Page1_1.htm" class="SmallTitle">Long</a><br></td></tr>)",
             "<tr><td></td><td>" + a200,
             "......",
             "</td></tr>",
             "<tr><td></td><td>[ ",
             R"(<a href="mailto:me@example.com" class="Text">Write</a>)",
             " ]</td></tr>",
             Spacer,
             Dot +
                 R"(<td width="100%"><a href="Page1_2.htm" class="SmallTitle">Exact</a><br></td></tr>)",
             "<tr><td></td><td>" + a200,
             "</td></tr>",
             "<tr><td></td><td>[ ",
             R"(<a href="file.zip" class="Text">Get</a>)",
             " ]</td></tr>",
             Spacer,
             Dot +
                 R"(<td width="100%"><a href="Page1_3.htm" class="SmallTitle">Breaks</a><br></td></tr>)",
             "<tr><td></td><td>" + c96 + "<br>" + c96,
             "</td></tr>",
             "<tr><td></td><td>[ ",
             " ]</td></tr>",
             Spacer,
             Dot +
                 R"(<td width="100%"><a href="Page1_4.htm" class="SmallTitle">Two breaks</a><br></td></tr>)",
             "<tr><td></td><td>" + c96 + "<br>" + c96 + "<br>",
             "......",
             "</td></tr>",
             Spacer,
             Dot +
                 R"(<td width="100%"><a href="Page1_5.htm" class="SmallTitle">Cut break</a><br></td></tr>)",
             // The cut leaves "<b" of the break: the summary ends before it.
             "<tr><td></td><td>" + g198,
             "......",
             "</td></tr>",
             Spacer,
         }))},
        {"summaries count characters, not bytes",
         "Title list with summary",
         false,
         false,
         true,
         {{"Umlauts", "", "", "", 0, 0, Repeat("\xC3\xA4", 200)},
          {"More", "", "", "", 0, 0, Repeat("\xC3\xA4", 201)},
          {"Euro", "", "", "", 0, 0, std::string(199, 'e') + "\xE2\x82\xAC" + "x"},
          {"Break", "", "", "", 0, 0, Repeat("\xC3\xB6", 195) + "#$D#$A\xC3\xBC"},
          {"Stray bytes", "", "", "", 0, 0, std::string(199, 's') + "\xC3(\xA4z"}},
         Listing(Lines({
             Dot +
                 R"(<td width="100%"><a href="Page1_0.htm" class="SmallTitle">Umlauts</a><br></td></tr>)",
             "<tr><td></td><td>" + Repeat("\xC3\xA4", 200),
             "</td></tr>",
             Spacer,
             Dot +
                 R"(<td width="100%"><a href="Page1_1.htm" class="SmallTitle">More</a><br></td></tr>)",
             "<tr><td></td><td>" + Repeat("\xC3\xA4", 200),
             "......",
             "</td></tr>",
             Spacer,
             Dot +
                 R"(<td width="100%"><a href="Page1_2.htm" class="SmallTitle">Euro</a><br></td></tr>)",
             "<tr><td></td><td>" + std::string(199, 'e') + "\xE2\x82\xAC",
             "......",
             "</td></tr>",
             Spacer,
             // 195 + 6 + 1 stored characters: "......"; 195 + 4 + 1 converted: all shown.
             Dot +
                 R"(<td width="100%"><a href="Page1_3.htm" class="SmallTitle">Break</a><br></td></tr>)",
             "<tr><td></td><td>" + Repeat("\xC3\xB6", 195) + "<br>\xC3\xBC",
             "......",
             "</td></tr>",
             Spacer,
             // A byte that starts no well-formed character counts as one of its own.
             Dot +
                 R"(<td width="100%"><a href="Page1_4.htm" class="SmallTitle">Stray bytes</a><br></td></tr>)",
             "<tr><td></td><td>" + std::string(199, 's') + "\xC3",
             "......",
             "</td></tr>",
             Spacer,
         }))},
        {"title list and contents",
         "Title list and contents",
         false,
         true,
         true,
         {{"One", "Ann", "d1", "pic.jpg", 400, 300, "body1"},
          {"Two", "", "", "", 0, 0, "", "L", "Link", "u"}},
         Listing(Lines({
             Dot + R"(<td width="100%"><a href=#1_0 class="SmallTitle">One (d1)</a></td></tr>)",
             Dot + R"(<td width="100%"><a href=#1_1 class="SmallTitle">Two</a></td></tr>)",
             R"(<tr><td height="20"></td><td></td></tr>)",
             Dot +
                 R"(<td width="100%" class="SmallTitle"><a name="1_0"></a>One (d1)</a><br></td></tr>)",
             "<tr><td></td><td>",
             R"(<img src="pic.jpg" align="left" border="1" vspace="10" hspace="10" width="400" height="300">)",
             "body1",
             "</td></tr>",
             Spacer,
             Dot + R"(<td width="100%" class="SmallTitle"><a name="1_1"></a>Two</a><br></td></tr>)",
             "<tr><td></td><td>",
             "",
             "</td></tr>",
             "<tr><td></td><td>[ ",
             R"(<a href="u" class="Text">L</a>)",
             " ]</td></tr>",
             Spacer,
         }))},
        {"title list and contents, no pages",
         "Title list and contents",
         true,
         true,
         true,
         {},
         Listing(Lines({R"(<tr><td height="20"></td><td></td></tr>)"}))},
        {"contents, picture in its stored size, no border",
         "Contents",
         true,
         true,
         false,
         {{"Solo", "Ann", "d", "Images\\big.jpg", 400, 300, "a#$D#$Ab"}},
         Listing(Lines({
             Dot + R"(<td width="100%" class="SmallTitle">Solo (Ann d)</a><br></td></tr>)",
             "<tr><td></td><td>",
             R"(<img src="big.jpg" align="left" border="0" vspace="10" hspace="10" width="400" height="300">)",
             "a<br>b",
             "</td></tr>",
             Spacer,
         }))},
        {"two to a row, last row padded",
         "Pictures List (2 columns)",
         true,
         true,
         true,
         {{"P0", "Ann", "d0", "a.jpg", 400, 300},
          {"P1", "", "d1", "b.gif", 200, 150},
          {"P2", "Cy", "", "", 0, 0}},
         Listing(Lines({
             R"(<tr><td width="50%" align="center"><img src="a.jpg" align="center" border="1" vspace="10" hspace="10" width="240" height="180"></td><td width="50%" align="center">)",
             R"(<img src="b.gif" align="center" border="1" vspace="10" hspace="10" width="200" height="150"></td></tr>)",
             R"(<tr><td align="center" valign="top" class="SmallTitle"><a href="Page1_0.htm" class="SmallTitle">P0<br>Ann d0</a>)",
             R"(</td><td align="center" valign="top" class="SmallTitle"><a href="Page1_1.htm" class="SmallTitle">P1<br> d1</a>)",
             "</td></tr>",
             Spacer,
             R"(<tr><td width="50%" align="center"></td><td width="50%" align="center">)",
             "</td></tr>",
             R"(<tr><td align="center" valign="top" class="SmallTitle"><a href="Page1_2.htm" class="SmallTitle">P2<br>Cy</a>)",
             R"(</td><td align="center" valign="top" class="SmallTitle"></td></tr>)",
             Spacer,
         }))},
        {"three to a row, four pages",
         "Pictures List (3 columns)",
         false,
         false,
         false,
         {{"Page 1", "Ann", "d", "a.jpg", 1000, 333},
          {"Page 2", "", "", "", 0, 0},
          {"Page 3", "", "", "c.jpg", 160, 90},
          {"Page 4", "", "", "d.jpg", 320, 240}},
         Listing(Lines({
             R"(<tr><td width="33%" align="center"><img src="a.jpg" align="center" border="0" vspace="10" hspace="10" width="160" height="53"></td><td width="34%" align="center">)",
             R"(</td><td width="33%" align="center">)",
             R"(<img src="c.jpg" align="center" border="0" vspace="10" hspace="10" width="160" height="90"></td></tr>)",
             R"(<tr><td align="center" valign="top" class="SmallTitle"><a href="Page1_0.htm" class="SmallTitle">Page 1<br></a>)",
             R"(</td><td align="center" valign="top" class="SmallTitle"><a href="Page1_1.htm" class="SmallTitle">Page 2<br></a>)",
             R"(</td><td align="center" valign="top" class="SmallTitle"><a href="Page1_2.htm" class="SmallTitle">Page 3<br></a>)",
             "</td></tr>",
             Spacer,
             R"(<tr><td width="33%" align="center"><img src="d.jpg" align="center" border="0" vspace="10" hspace="10" width="160" height="120"></td><td width="34%" align="center">)",
             R"(</td><td width="33%" align="center">)",
             "</td></tr>",
             R"(<tr><td align="center" valign="top" class="SmallTitle"><a href="Page1_3.htm" class="SmallTitle">Page 4<br></a>)",
             R"(</td><td align="center" valign="top" class="SmallTitle"></td><td align="center" valign="top" class="SmallTitle"></td></tr>)",
             Spacer,
         }))},
        {"four to a row, one full row",
         "Pictures List (4 columns)",
         false,
         true,
         true,
         {{"A", "", "d", "a.jpg", 120, 120},
          {"B", "", "", "b.jpg", 121, 100},
          {"C", "", "", "c.jpg", 1000, 333},
          {"D", "", "", "", 0, 0}},
         Listing(Lines({
             R"(<tr><td width="25%" align="center"><img src="a.jpg" align="center" border="1" vspace="10" hspace="10" width="120" height="120"></td><td width="25%" align="center">)",
             R"(<img src="b.jpg" align="center" border="1" vspace="10" hspace="10" width="120" height="99"></td><td width="25%" align="center">)",
             R"(<img src="c.jpg" align="center" border="1" vspace="10" hspace="10" width="120" height="39"></td><td width="25%" align="center">)",
             "</td></tr>",
             R"(<tr><td align="center" valign="top" class="SmallTitle"><a href="Page1_0.htm" class="SmallTitle">A<br> d</a>)",
             R"(</td><td align="center" valign="top" class="SmallTitle"><a href="Page1_1.htm" class="SmallTitle">B<br></a>)",
             R"(</td><td align="center" valign="top" class="SmallTitle"><a href="Page1_2.htm" class="SmallTitle">C<br></a>)",
             R"(</td><td align="center" valign="top" class="SmallTitle"><a href="Page1_3.htm" class="SmallTitle">D<br></a>)",
             "</td></tr>",
             Spacer,
         }))},
        {"unknown style writes no rows",
         "Title with summary",
         true,
         true,
         true,
         {{"Alpha", "Ann", "d", "a.jpg", 10, 10, "text"}},
         Listing("")},
        {"styles are compared case-sensitively",
         "contents",
         true,
         true,
         true,
         {{"Alpha", "Ann", "d", "a.jpg", 10, 10, "text"}},
         Listing("")},
    };
    for (const TListingCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TGeneratorFixture f;
        MakeColumn(f, c.Style, c.Pages);
        ItemInUse(f).SHOW_AUTHOR = c.ShowAuthor;
        ItemInUse(f).SHOW_DATE = c.ShowDate;
        ItemInUse(f).HAS_BORDER = c.Border;
        EXPECT_EQ(f.Capture(WriteColumnListing), c.Expected);
    }
}

// Where the summary of "Title list with summary" ends when the cut at 200 characters falls
// in or near markup.
TEST_F(TextAreaTest, SummaryNeverEndsInsideATagOrAReference) {
    struct TCutCase {
        const char* Name;
        std::string Text;    // stored
        std::string Summary; // the summary line after "<tr><td></td><td>"
        bool More;           // whether "......" follows
    };
    const auto p = [](std::size_t n) { return std::string(n, 'p'); };
    const std::string br = "#$D#$A";
    const TCutCase cases[] = {
        {"inside a tag", p(190) + R"(<a href="http://example.com/">link</a>)", p(190), true},
        {"right at the <", p(199) + "<b>bold</b>", p(199), true},
        {"just after a complete tag", p(197) + "<b>more", p(197) + "<b>", true},
        {"inside text after a complete tag", p(196) + "<b>xyz", p(196) + "<b>x", true},
        {"closed tag, then an open one", p(150) + "<i>" + p(40) + "<a href=x>y</a>",
         p(150) + "<i>" + p(40), true},
        // Every "<" after the last ">" goes, so none is left open.
        {"a lone < before the cut", "1 < 2 " + p(300), "1 ", true},
        {"a lone < before an open tag", p(100) + " a < b " + p(80) + "<span class=x>y</span>",
         p(100) + " a ", true},
        {"a > before the cut closes nothing open", p(100) + " a > b " + p(100),
         p(100) + " a > b " + p(93), true},
        {"inside a named reference", p(197) + "&amp;rest", p(197), true},
        {"inside a numeric reference", p(196) + "&#8364;", p(196), true},
        {"inside a hexadecimal reference", p(196) + "&#x20AC;", p(196), true},
        {"right after the &", p(199) + "&amp;", p(199), true},
        {"after a complete reference", p(195) + "&amp;zzz", p(195) + "&amp;", true},
        {"an & before a blank", p(190) + "fish & chips", p(190) + "fish & chi", true},
        {"an & that ends the cut like a reference", p(196) + "AT&T and more", p(196) + "AT", true},
        {"ten characters after the &", p(189) + "&abcdefghijklm", p(189), true},
        {"eleven characters after the &", p(188) + "&abcdefghijklm", p(188) + "&abcdefghijk", true},
        {"a reference inside a cut tag", p(180) + R"(<a href="?a=1&amp;b=2">x</a>)", p(180), true},
        {"a reference before a cut tag", p(194) + "&amp<br>", p(194), true},
        {"inside a converted line break", p(198) + br + "x", p(198), true},
        {"one character short of a line break", p(197) + br + "x", p(197), true},
        {"after a whole line break", p(196) + br + "xyz", p(196) + "<br>", true},
        {"multi-byte letters before a cut tag", Repeat("\xC3\xA4", 195) + "<a href=1>x</a>",
         Repeat("\xC3\xA4", 195), true},
        {"multi-byte letters before a cut reference", Repeat("\xE2\x82\xAC", 197) + "&amp;",
         Repeat("\xE2\x82\xAC", 197), true},
        // Reference names are ASCII: a letter of two bytes after the & is no reference.
        {"a multi-byte letter after the &", p(197) + "&\xC3\xA4" + "b" + p(10),
         p(197) + "&\xC3\xA4" + "b", true},
        // A text that is not cut is shown whole, whatever it ends with.
        {"short, ending open", "1 < 2 &amp", "1 < 2 &amp", false},
        {"exactly 200, ending open", p(198) + "<b", p(198) + "<b", false},
        {"200 converted, longer stored", p(190) + br + br + "<i", p(190) + "<br><br><i", true},
    };
    std::vector<TPageSetup> pages;
    std::vector<std::string> entries; // the rows of each case
    std::string rows;
    for (const TCutCase& c : cases) {
        const std::string j = std::to_string(pages.size());
        pages.push_back({c.Name, "", "", "", 0, 0, c.Text});
        std::string entry =
            Lines({Dot + R"(<td width="100%"><a href="Page1_)" + j +
                       R"(.htm" class="SmallTitle">)" + c.Name + "</a><br></td></tr>",
                   "<tr><td></td><td>" + c.Summary});
        if (c.More)
            entry += Lines({"......"});
        entry += Lines({"</td></tr>", Spacer});
        rows += entry;
        entries.push_back(entry);
    }
    MakeColumn(F, "Title list with summary", pages);
    ItemInUse(F).SHOW_AUTHOR = false;
    ItemInUse(F).SHOW_DATE = false;
    const std::string listing = F.Capture(WriteColumnListing);
    EXPECT_EQ(listing, Listing(rows));
    // The same, case by case, to name the one that differs.
    for (std::size_t k = 0; k < entries.size(); ++k)
        EXPECT_NE(listing.find(entries[k]), std::string::npos) << cases[k].Name;
}

const std::string AreaOpening = Lines({
    R"(<table width="100%" height="340" border="0" cellpadding="0" cellspacing="0" class="Text">)",
    R"(<tr><td width="100%" height="100%" valign="top">)",
    R"(<table width="100%" border="0" cellpadding="10" cellspacing="0" class="Text">)",
    R"(<tr><td valign="top">)",
});

TEST_F(TextAreaTest, ListingPageWithoutHotspot) {
    MakeColumn(F, "Only title list", {{"Alpha"}});
    EXPECT_EQ(F.Capture(WriteTextArea),
              AreaOpening +
                  Listing(Lines({Dot + R"(<td width="100%"><a href="Page1_0.htm" )"
                                       R"(class="SmallTitle">Alpha</a></td></tr>)"})) +
                  Lines({"</td></tr></table></td>", "</tr></table>"}));
}

TEST_F(TextAreaTest, OwnPageWithHotspotColumn) {
    F.Project->SIZE.TEXT_HEIGHT = 500;
    F.Project->SIZE.HOTSPOT_WIDTH = 150;
    F.Project->FRAME.HAS_HOTSPOT = true;
    F.Project->PageName = "Page1_1";
    MakeColumn(F, "Only title list", {{"Alpha"}, {"Beta", "", "", "", 0, 0, "Text"}}, 1);
    EXPECT_EQ(
        F.Capture(WriteTextArea),
        Lines({
            R"(<table width="100%" height="520" border="0" cellpadding="0" cellspacing="0" class="Text">)",
            R"(<tr><td width="100%" height="100%" valign="top">)",
            R"(<table width="100%" border="0" cellpadding="10" cellspacing="0" class="Text">)",
            R"(<tr><td valign="top">)",
            R"(<table width="100%" border="0" class="Text">)",
            R"(<tr><td width="100%" align="center" class="Title">Beta</td></tr><tr><td align="center">)",
            "</td></tr>",
            "<tr><td>",
            "Text",
            "</td></tr>",
            "</td></tr>",
            R"(<tr><td><table width="100%" border="0" class="SmallTitle"><tr><td align="left">)",
            R"(- <a href="Page1_0.htm"  class="SmallTitle">Previous</a> -)",
            R"(</td><td align="right">)",
            "</td></tr></table></td></tr>",
            "</table>",
            "</td></tr></table></td>",
            R"(<td width="150" height="100%" valign="top">)",
            R"(<table width="100%" height="100%" border="0" cellpadding="0" cellspacing="0" class="Hotspot">)",
            R"(<tr><td height="10"></td></tr>)",
            R"(<tr><td height="100%">)",
            R"(<table width="150" height="100%" border="0" cellpadding="10" cellspacing="0" class="Hotspot">)",
            R"(<tr><td valign="top" bgcolor="#FFFFFF">)",
            R"(<table width="100%" class="Hotspot">)",
            R"(<tr><td align="left">)",
            "</td></tr>",
            "",
            "</table>",
            "</td></tr>",
            "</table>",
            "</td></tr>",
            R"(<tr><td height="10"></td></tr>)",
            "</table>",
            "</td>",
            "</tr></table>",
        }));
}

TEST_F(TextAreaTest, ListingPageCopiesPicturesAndDownloads) {
    WriteFileBytes(F.Project->ImagesPath() + "a.jpg", "picture a");
    WriteFileBytes(F.Project->ImagesPath() + "unused.jpg", "not used");
    WriteFileBytes(F.Project->DownloadsPath() + "f.zip", "download f");
    WriteFileBytes(F.Project->DownloadsPath() + "b.zip", "only a link");
    WriteFileBytes(F.Project->DownloadsPath() + "g.zip", "download g");
    const std::vector<TPageSetup> pages = {
        // Downloads are copied also when the page shows no link to them.
        {"A", "", "", "a.jpg", 10, 10, "", "", "Download", "f.zip"},
        {"B", "", "", "", 0, 0, "", "Get", "Link", "b.zip"},
        {"C", "", "", "missing.jpg", 10, 10, "", "Get", "Download", "missing.zip"},
        {"D", "", "", "", 0, 0, "", "Get", "Download", "Downloads\\g.zip"},
    };
    const std::string out = F.Project->OutputFolder + "/";

    // An own page copies nothing.
    MakeColumn(F, "Title list with summary", pages, 0);
    F.Capture(WriteTextArea);
    for (const char* name : {"a.jpg", "f.zip", "g.zip"})
        EXPECT_FALSE(PathExists(out + name)) << name;

    // The listing page copies them, whatever the style; missing files pass in silence.
    for (const char* style : {"Title list with summary", "Contents", "Unknown"}) {
        SCOPED_TRACE(style);
        for (const char* name : {"a.jpg", "f.zip", "g.zip"})
            std::remove((out + name).c_str());
        F.Column->CurrentPage = -1;
        ItemInUse(F).STYLE = style;
        F.Capture(WriteTextArea);
        EXPECT_EQ(ReadFileBytes(out + "a.jpg"), "picture a");
        EXPECT_EQ(ReadFileBytes(out + "f.zip"), "download f");
        EXPECT_EQ(ReadFileBytes(out + "g.zip"), "download g");
        EXPECT_FALSE(PathExists(out + "b.zip"));
        EXPECT_FALSE(PathExists(out + "unused.jpg"));
        EXPECT_FALSE(PathExists(out + "missing.jpg"));
    }
}

TEST_F(TextAreaTest, MissingColumnOrItemIsAnError) {
    EXPECT_THROW(F.Capture(WriteTextArea), TError);
    EXPECT_THROW(F.Capture(WriteColumnListing), TError);
    MakeColumn(F, "Only title list", {{"Alpha"}});
    F.Project->CurrentItem = 7;
    try {
        F.Capture(WriteColumnListing);
        FAIL() << "no error";
    } catch (const TError& e) {
        EXPECT_EQ(e.FileName(), F.Project->ProjectFile());
        EXPECT_NE(e.Message().find("no item 7"), std::string::npos) << e.Message();
    }
}

} // namespace

// The modern design's own pieces: plain summaries, escaping, the colours that must read,
// the grid of each frame layout, and the seam that chooses the design per build.

#include "GeneratorFixture.h"
#include "PictureSupport.h"
#include "generator/BuildState.h"
#include "generator/Driver.h"
#include "generator/modern/ModernPalette.h"
#include "generator/modern/ModernStyleSheet.h"
#include "generator/modern/PlainSummary.h"
#include "generator/modern/SiteIcon.h"
#include "model/CPage.h"
#include "model/Contrast.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace {

TEST(PlainSummary, TagsDroppedReferencesWholeCutAtAWord) {
    struct TCase {
        const char* Stored;
        std::size_t Limit;
        const char* Summary;
    } const cases[] = {
        {"Short text.", 200, "Short text."},
        {"<b>Bold</b> and <i>it</i>alic", 200, "Bold and italic"},
        {"one#$D#$Atwo<br>three<p>four", 200, "one two three four"},
        {"alpha beta gamma", 12, "alpha beta\xE2\x80\xA6"},      // never inside a word
        {"alpha beta gamma", 10, "alpha beta\xE2\x80\xA6"},      // the limit at a word's end
        {"alpha beta gamma", 11, "alpha beta\xE2\x80\xA6"},      // the limit on the blank
        {"Fish &amp; chips today", 6, "Fish &amp;\xE2\x80\xA6"}, // a reference counts once
        {"verylongword and more", 5, "veryl\xE2\x80\xA6"},       // one long first word
        {"a & b \"c\" d>e", 200, "a &amp; b &quot;c&quot; d&gt;e"},
        {"text <a href=\"x\" open to the end", 200, "text"},
        {"  spaced    out  ", 200, "spaced out"},
        {"", 200, ""},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(PlainSummary(c.Stored, c.Limit), c.Summary) << c.Stored;
}

// A Markdown page's summary comes from its rendered text: Japanese, written without blanks,
// is cut at a character; a Latin word is never cut.
TEST(PlainSummary, MarkdownPagesCutAtAWordOrACharacter) {
    TDPage page;
    page.FORMAT = "Markdown";
    std::string kana;
    for (int i = 0; i < 250; ++i)
        kana += "\xE3\x81\x82"; // あ
    page.TEXT = "**" + kana + "**";
    EXPECT_EQ(PageSummary(page), kana.substr(0, 200 * 3) + "\xE2\x80\xA6");
    page.TEXT = std::string(250, 'x');
    EXPECT_EQ(PageSummary(page), "\xE2\x80\xA6");
    page.TEXT = "*Short* text.";
    EXPECT_EQ(PageSummary(page), "Short text.");
}

TEST(ModernEscaped, KeepsReferencesEscapesTheRest) {
    EXPECT_EQ(ModernEscaped("Fish &amp; chips & <peas> \"now\" &#233; &#xE9; &;"),
              "Fish &amp; chips &amp; &lt;peas&gt; &quot;now&quot; &#233; &#xE9; &amp;;");
    // The pages are UTF-8: a byte of a hand-edited record that starts no character is shown
    // as the replacement character.
    EXPECT_EQ(ModernEscaped("a\xFF\xC3"
                            "b \xC3\xA9"),
              "a\xEF\xBF\xBD\xEF\xBF\xBD"
              "b \xC3\xA9");
    EXPECT_EQ(PlainSummary("a\xFFz"), "a\xEF\xBF\xBDz");
    EXPECT_EQ(JsonString("a\"b\\c</script>\n"), "\"a\\\"b\\\\c\\u003c/script\\u003e\\u000a\"");
}

// Every text colour of both variants reads on its background, whatever the scheme.
TEST(ModernPalette, EveryPairReachesTheContrast) {
    TDColor poor; // light grey on white everywhere, yellow titles
    poor.TITLE = RGBColor(255, 255, 0);
    poor.TEXT = poor.WELCOME_TEXT = poor.TOPIC_TEXT = poor.MENU_TEXT = poor.HOTSPOT_TEXT =
        poor.FOOT_TEXT = RGBColor(200, 200, 200);
    poor.TOPIC_BG = RGBColor(0, 0, 128);
    poor.TOPIC_TEXT = RGBColor(0, 0, 255);
    poor.MENU_TRANS = true;
    poor.BG = clBlack;
    for (const TModernPalette& p :
         {TModernPalette::Light(poor), TModernPalette::Dark(poor), TModernPalette::Light(TDColor()),
          TModernPalette::Dark(TDColor())}) {
        const std::pair<TColor, TColor> pairs[] = {{p.Text, p.Main},
                                                   {p.Title, p.Main},
                                                   {p.Main, p.Title},
                                                   {p.WelcomeText, p.WelcomeBg},
                                                   {p.TopicText, p.TopicBg},
                                                   {p.MenuText, p.MenuBg},
                                                   {p.HotspotText, p.HotspotBg},
                                                   {p.FootText, p.FootBg}};
        for (const auto& [text, background] : pairs)
            EXPECT_GE(ContrastRatio(text, background), TextContrast)
                << std::hex << text << " on " << background;
    }
    // The transparent menu takes the page's colour; the stored scheme is not changed.
    EXPECT_EQ(TModernPalette::Light(poor).MenuBg, clBlack);
    EXPECT_EQ(poor.TEXT, RGBColor(200, 200, 200));
}

// The grid of each frame layout on wide screens, with and without the hotspot column.
TEST(ModernStyleSheet, EachLayoutPlacesTheRegions) {
    struct TCase {
        const char* Layout;
        bool Hotspot;
        const char* Areas;
    } const cases[] = {
        {"Topic on top menu on top", true,
         "\"header header\" \"nav nav\" \"main aside\" \"footer footer\""},
        {"Topic on top menu on top", false, "\"header\" \"nav\" \"main\" \"footer\""},
        {"Topic and menu on top", true,
         "\"header nav nav\" \"main main aside\" \"footer footer footer\""},
        {"Topic and menu on top", false, "\"header nav\" \"main main\" \"footer footer\""},
        {"Menu on left foot on bottom", true,
         "\"header header header\" \"nav main aside\" \"footer footer footer\""},
        {"Menu on left foot on right", false, "\"header header\" \"nav main\" \"nav footer\""},
        {"Topic on left foot on bottom", true,
         "\"header main aside\" \"nav main aside\" \"footer footer footer\""},
        {"Topic on left foot on right", true,
         "\"header main aside\" \"nav main aside\" \"nav footer footer\""},
        {"No such layout", false, "\"header\" \"nav\" \"main\" \"footer\""},
    };
    TGeneratorFixture f;
    for (const TCase& c : cases) {
        f.Project->FRAME.FRAME = c.Layout;
        f.Project->FRAME.HAS_HOTSPOT = c.Hotspot;
        const std::string rules = TModernStyleSheet(*f.Project).LayoutRules();
        EXPECT_NE(rules.find(std::string("grid-template-areas: ") + c.Areas + ";"),
                  std::string::npos)
            << c.Layout << " " << c.Hotspot << "\n"
            << rules;
    }
    // The stored points become rem, never below the floor (16 pixels for body text).
    EXPECT_EQ(PointsAsRem(9, 1.0), "1rem");
    EXPECT_EQ(PointsAsRem(24, 1.0), "2rem");
    // A hand-edited size: no overflow, no size beyond reason.
    f.Project->FONT.TITLE = std::numeric_limits<std::int32_t>::max();
    const std::string sheet = TModernStyleSheet(*f.Project).Text();
    EXPECT_NE(sheet.find("h1 {margin: 0.5rem 0 1rem; font-size: 83.33rem}"), std::string::npos);
    EXPECT_NE(sheet.find("h2 {margin: 1.5rem 0 0.5rem; font-size: 83.33rem}"), std::string::npos);
    // The background's name as an address: no quote ends the CSS string early.
    f.Project->FRAME.BACKGROUND = "Old \"paper\").gif";
    EXPECT_NE(TModernStyleSheet(*f.Project)
                  .Text()
                  .find("background-image: url(\"Old%20%22paper%22%29.gif\")}"),
              std::string::npos);
}

// The font list: the user's fonts, the systems' fonts each once, one generic family last.
TEST(ModernStyleSheet, FontListEndsInItsGenericFamily) {
    const std::string system = "system-ui, -apple-system, \"Segoe UI\", Roboto, \"Helvetica Neue\"";
    struct TCase {
        const char* Stored;
        std::string List;
    } const cases[] = {
        {"Arial,Helvetica,sans-serif", "Arial, Helvetica, " + system + ", sans-serif"},
        {"", system + ", Arial, sans-serif"},
        {"Verdana, Arial", "Verdana, Arial, " + system + ", sans-serif"},
        {"Times New Roman,Times,serif", "\"Times New Roman\", Times, serif"},
        {"Courier New, monospace, sans-serif", "\"Courier New\", monospace"},
        {"roboto, ROBOTO, Segoe UI", "roboto, \"Segoe UI\", system-ui, -apple-system, "
                                     "\"Helvetica Neue\", Arial, sans-serif"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(ModernFontList(c.Stored), c.List) << c.Stored;
}

// A page written from right to left mirrors: the sheet names no physical side but for the
// alignment a Markdown table's author chose, whatever side the records put things on.
TEST(ModernStyleSheet, NoPhysicalSidesSoRightToLeftMirrors) {
    TGeneratorFixture f;
    f.Project->FRAME.ON_LEFT = true;
    f.Project->FOOT.POSITION = "Right";
    f.Project->TOPIC.POSITION = "Right (Horizontal)";
    std::string sheet = TModernStyleSheet(*f.Project).Text();
    for (const char* chosen :
         {".align-left {text-align: left}", ".align-right {text-align: right}"})
        sheet.erase(sheet.find(chosen), std::string(chosen).size());
    for (const char* side : {"left", "right"})
        EXPECT_EQ(sheet.find(side), std::string::npos) << side << " in\n" << sheet;
    EXPECT_NE(sheet.find("text-align: end"), std::string::npos);
}

// The design is chosen per build: a modern project gets its style sheet, icon and 404 page,
// in UTF-8 whatever the encoding setting; the same project in the classic design none.
TEST(ModernBuild, TheDesignIsChosenPerBuild) {
    TGeneratorFixture f;
    f.AddColumn(2);
    f.Project->FONT.ENCODING = "Western (ISO-8859-1)";
    f.Project->TOPIC.CAPTION = "Caf\xC3\xA9";
    const std::string site = f.Project->Folder + "/Temp";
    BuildInto(*f.Project, site);
    EXPECT_FALSE(FileExists(site + "/corvane.css"));
    f.Project->OPTIONS.DESIGN = "Modern";
    BuildInto(*f.Project, site);
    EXPECT_TRUE(FileExists(site + "/corvane.css"));
    EXPECT_TRUE(FileExists(site + "/icon.svg"));
    EXPECT_TRUE(FileExists(site + "/404.html"));
    const std::string homepage = ReadFileBytes(site + "/Default.htm");
    EXPECT_EQ(homepage.rfind("<!DOCTYPE html>\r\n<html lang=\"en\">", 0), 0u);
    EXPECT_NE(homepage.find(" \xE2\x80\x93 Caf\xC3\xA9</title>"), std::string::npos);
    // A single page on its own, as the preview asks for it, has its style sheet beside it.
    const std::string preview = f.Project->Folder + "/Preview";
    MakeFolder(preview);
    ASSERT_TRUE(BuildPageInto(*f.Project, preview, "Page0_1.htm"));
    EXPECT_TRUE(FileExists(preview + "/corvane.css"));
    EXPECT_FALSE(FileExists(preview + "/404.html"));
    EXPECT_NE(ReadFileBytes(preview + "/Page0_1.htm").find("<h1>Page 2</h1>"), std::string::npos);
}

// No heading and no link of the menu is left empty by a record without a title.
TEST(ModernBuild, UntitledPagesAndEntriesBorrowATitle) {
    TGeneratorFixture f;
    f.AddColumn(1);
    f.Project->MenuItem(0).TITLE = "News";
    TDMenuItem* link = f.Project->AddMenuItem(true);
    link->URL = "https://example.org/";
    link->TITLE.clear();
    f.Project->OPTIONS.DESIGN = "Modern";
    {
        TDColumn column(f.Project->ColumnFile(0), f.Document);
        column.Page(0).TITLE.clear();
        column.Save();
    }
    const std::string site = f.Project->Folder + "/Temp";
    BuildInto(*f.Project, site);
    const std::string page = ReadFileBytes(site + "/Page0_0.htm");
    EXPECT_NE(page.find("<h1>News</h1>"), std::string::npos);
    EXPECT_NE(page.find("<a href=\"https://example.org/\">https://example.org/</a>"),
              std::string::npos);
}

void AnnInSpring(TDPage& page) {
    page.AUTHOR = "Ann";
    page.DATE = "spring";
}

void NewsOfTheClub(TDProject& project) {
    project.MenuItem(0).TITLE = "News";
    project.TOPIC.CAPTION = "Club";
}

void AddPicture(TDProject& project) {
    WriteFileBytes(project.ImagesPath() + "Card.png", EncodePng(MarkedPicture(8, 8), "Card.png"));
}

void ShowsCard(TDPage& page) {
    page.PICTURE = "Card.png";
    page.PICTURE_WIDTH = page.PICTURE_HEIGHT = 8;
}

// The records that reach the html element, the head and the foot, each as a change to a
// fresh project and a text the homepage or its first page must (or must not) hold.
TEST(ModernBuild, RecordsReachTheirPlaces) {
    struct TCase {
        const char* What;
        std::function<void(TDProject&)> Change;
        const char* File;
        const char* Text;
        bool Present;
        // Applied to the first page of the column (the homepage's).
        std::function<void(TDPage&)> FirstPage = {};
    } const cases[] = {
        {"no language chosen", [](TDProject&) {}, "Default.htm", "<html lang=\"en\">", true},
        {"right to left", [](TDProject& p) { p.OPTIONS.SITE_LANGUAGE = "he-IL"; }, "Default.htm",
         "<html lang=\"he-IL\" dir=\"rtl\">", true},
        {"a hostile tag", [](TDProject& p) { p.OPTIONS.SITE_LANGUAGE = "de\"><b>"; }, "Default.htm",
         "<html lang=\"en\">", true},
        {"a hand-edited tag", [](TDProject& p) { p.OPTIONS.SITE_LANGUAGE = "pt_BR"; },
         "Default.htm", "<html lang=\"pt-BR\">", true},
        {"no tag at all", [](TDProject& p) { p.OPTIONS.SITE_LANGUAGE = "x"; }, "Default.htm",
         "<html lang=\"en\">", true},
        {"a tag in another case", [](TDProject& p) { p.OPTIONS.SITE_LANGUAGE = "pt-br"; },
         "Default.htm", "<html lang=\"pt-BR\">", true},
        {"no address: no canonical link", [](TDProject&) {}, "Page0_0.htm", "rel=\"canonical\"",
         false},
        {"an address: canonical link", [](TDProject& p) { p.TOPIC.DOMAIN = "https://example.org"; },
         "Page0_0.htm", "<link rel=\"canonical\" href=\"https://example.org/Page0_0.htm\">", true},
        {"an address: the site's name",
         [](TDProject& p) { p.TOPIC.DOMAIN = "https://example.org"; }, "Default.htm",
         "\"@type\": \"WebSite\", \"name\": \"Welcome to our new web site!\", \"url\": "
         "\"https://example.org/\"",
         true},
        {"telephone for callers abroad", [](TDProject& p) { p.FOOT.TEL = "+44 (0)20 7946"; },
         "Default.htm", "<a href=\"tel:+44207946\">+44 (0)20 7946</a>", true},
        {"telephone without digits", [](TDProject& p) { p.FOOT.TEL = "ask us"; }, "Default.htm",
         "<p>Tel: ask us</p>", true},
        {"contact link",
         [](TDProject& p) {
             p.WELCOME.HAS_CONTACT = true;
             p.FOOT.EMAIL = "a@example.org";
         },
         "Default.htm", "<p><a href=\"mailto:a@example.org\">Contact us</a></p>", true},
        {"no welcome bar", [](TDProject& p) { p.FRAME.HAS_WELCOME = false; }, "Default.htm",
         "class=\"welcome\"", false},
        {"no date script, no homepage links", [](TDProject&) {}, "Default.htm", "<script>", false},
        // Languages by their script.
        {"Kurmanji: left to right", [](TDProject& p) { p.OPTIONS.SITE_LANGUAGE = "ku"; },
         "Default.htm", "<html lang=\"ku\">", true},
        {"Kurdish in Arabic letters", [](TDProject& p) { p.OPTIONS.SITE_LANGUAGE = "ku-Arab"; },
         "Default.htm", "<html lang=\"ku-Arab\" dir=\"rtl\">", true},
        {"Sorani", [](TDProject& p) { p.OPTIONS.SITE_LANGUAGE = "ckb"; }, "Default.htm",
         "<html lang=\"ckb\" dir=\"rtl\">", true},
        {"Hausa: left to right", [](TDProject& p) { p.OPTIONS.SITE_LANGUAGE = "ha"; },
         "Default.htm", "<html lang=\"ha\">", true},
        {"Punjabi in Arabic letters", [](TDProject& p) { p.OPTIONS.SITE_LANGUAGE = "pa-Arab"; },
         "Default.htm", "dir=\"rtl\"", true},
        // The byline: each part where the column asks for it.
        {"authors only", [](TDProject& p) { p.MenuItem(0).SHOW_AUTHOR = true; }, "Page0_0.htm",
         "<p class=\"byline\">Ann</p>", true, AnnInSpring},
        {"dates only", [](TDProject& p) { p.MenuItem(0).SHOW_DATE = true; }, "Default.htm",
         "<p class=\"byline\">spring</p>", true, AnnInSpring},
        {"neither: no byline", [](TDProject&) {}, "Default.htm", "byline", false, AnnInSpring},
        // The title: the page's heading and the caption.
        {"homepage title", NewsOfTheClub, "Default.htm", "<title>News \xE2\x80\x93 Club</title>",
         true},
        {"a page without title", NewsOfTheClub, "Page0_0.htm",
         "<title>News \xE2\x80\x93 Club</title>", true, [](TDPage& page) { page.TITLE.clear(); }},
        {"a column named as the site",
         [](TDProject& p) {
             p.MenuItem(0).TITLE = "Club";
             p.TOPIC.CAPTION = "Club";
         },
         "Default.htm", "<title>Club</title>", true},
        {"a page's title", NewsOfTheClub, "Page0_1.htm", "<title>Page 2 \xE2\x80\x93 Club</title>",
         true},
        {"the 404 page's title", NewsOfTheClub, "404.html",
         "<title>Page not found \xE2\x80\x93 Club</title>", true},
        // The 404 page is shown at any depth of the site.
        {"404 without address: from the root", [](TDProject&) {}, "404.html",
         "<link rel=\"stylesheet\" href=\"/corvane.css\">", true},
        {"404: the menu from the root", [](TDProject&) {}, "404.html",
         "<li><a href=\"/Default.htm\">", true},
        {"404: the way home from the root", [](TDProject&) {}, "404.html",
         "<p><a href=\"/Default.htm\">", true},
        {"404 with an address in a folder",
         [](TDProject& p) { p.TOPIC.DOMAIN = "https://example.org/club"; }, "404.html",
         "<link rel=\"icon\" href=\"/club/icon.svg\"", true},
        {"404: no hotspot", [](TDProject& p) { p.FRAME.HAS_HOTSPOT = true; }, "404.html",
         "class=\"hotspot\"", false},
        {"other pages: relative", [](TDProject&) {}, "Page0_0.htm",
         "<link rel=\"stylesheet\" href=\"corvane.css\">", true},
        // Social cards.
        {"twitter title", [](TDProject& p) { p.TOPIC.DOMAIN = "https://example.org"; },
         "Page0_1.htm", "<meta name=\"twitter:title\" content=\"Page 2 \xE2\x80\x93", true},
        {"twitter picture",
         [](TDProject& p) {
             p.TOPIC.DOMAIN = "https://example.org";
             AddPicture(p);
         },
         "Page0_0.htm", "<meta name=\"twitter:image\" content=\"https://example.org/Card.png\">",
         true, ShowsCard},
        // A text as typed carries only the markup the page can hold.
        {"a typed text", [](TDProject&) {}, "Page0_0.htm",
         "<div class=\"text\">Hi<br><b>there</b></div>", true,
         [](TDPage& page) { page.TEXT = "<center>Hi</center>#$D#$A<b onclick=x>there<script>"; }},
        {"a typed picture of the Images folder: its size, the page's title", AddPicture,
         "Page0_0.htm", "<img src=\"Card.png\" alt=\"Spring walk\" width=\"8\" height=\"8\"", true,
         [](TDPage& page) {
             page.TITLE = "Spring walk";
             page.TEXT = "<img src=\"Card.png\">";
         }},
        // Link addresses of the records: the web's schemes only, as in the texts.
        {"a script as a menu entry's address",
         [](TDProject& p) {
             TDMenuItem* link = p.AddMenuItem(true);
             link->TITLE = "Run";
             link->URL = "&#106;avascript:alert(1)";
         },
         "Default.htm", "alert(1)", false},
        {"a script as the hotspot's link",
         [](TDProject& p) {
             p.FRAME.HAS_HOTSPOT = true;
             p.HOTSPOT.LINK = "Go";
             p.HOTSPOT.KIND = "Link";
             p.HOTSPOT.URL = " JavaScript:alert(1)";
         },
         "Default.htm", "alert(1)", false},
        {"a script as a page's link", [](TDProject&) {}, "Page0_0.htm", "alert(1)", false,
         [](TDPage& page) {
             page.LINK = "Go";
             page.KIND = "Link";
             page.URL = "data:text/html,<script>alert(1)</script>";
         }},
        {"a page's link to the web", [](TDProject&) {}, "Page0_0.htm",
         "<a class=\"button\" href=\"https://example.org/?a=1&amp;b=2\">Go</a>", true,
         [](TDPage& page) {
             page.LINK = "Go";
             page.KIND = "Link";
             page.URL = "https://example.org/?a=1&b=2";
         }},
        {"a homepage name with a blank and a quote",
         [](TDProject& p) { p.FRAME.HOMEPAGE = "Start \" onclick=\"x"; }, "Page0_0.htm",
         "<li><a href=\"Start%20%22%20onclick%3D%22x.htm\"", true},
        // A picture beside a heading that names it is decoration.
        {"card thumbnail", AddPicture, "Default.htm", "<img src=\"Card.png\" alt=\"\"", true,
         ShowsCard},
        {"titled hotspot picture",
         [](TDProject& p) {
             AddPicture(p);
             p.FRAME.HAS_HOTSPOT = true;
             p.HOTSPOT.TITLE = "Offer";
             p.HOTSPOT.PICTURE = "Card.png";
         },
         "Default.htm", "<figure><img src=\"Card.png\" alt=\"\"", true},
    };
    for (const TCase& c : cases) {
        TGeneratorFixture f;
        f.AddColumn(2);
        f.Project->OPTIONS.DESIGN = "Modern";
        c.Change(*f.Project);
        if (c.FirstPage) {
            TDColumn column(f.Project->ColumnFile(0), f.Document);
            c.FirstPage(column.Page(0));
            column.Save();
        }
        const std::string site = f.Project->Folder + "/Temp";
        BuildInto(*f.Project, site);
        const std::string page = ReadFileBytes(site + "/" + c.File);
        EXPECT_EQ(page.find(c.Text) != std::string::npos, c.Present) << c.What;
    }
}

TEST(SiteIcon, TheCaptionsFirstLetterOnTheMainColour) {
    struct TCase {
        const char* Caption;
        const char* Letter; // empty: no text element
    } const cases[] = {
        {"riverside club", ">R</text>"},
        {"  \"&quot; 9 lives", ">9</text>"},
        {"\xC3\xA9"
         "cole",
         ">\xC3\xA9</text>"},
        {"& co", ">C</text>"},
        {"", ""},
    };
    TGeneratorFixture f;
    f.Project->COLOR.TOPIC_BG = RGBColor(0, 0, 128);
    f.Project->TOPIC.TITLE.clear();
    for (const TCase& c : cases) {
        f.Project->TOPIC.CAPTION = c.Caption;
        const std::string svg = SiteIconSvg(*f.Project);
        EXPECT_NE(svg.find("fill=\"#000080\""), std::string::npos) << c.Caption;
        if (*c.Letter)
            EXPECT_NE(svg.find(c.Letter), std::string::npos) << svg;
        else
            EXPECT_EQ(svg.find("<text"), std::string::npos) << svg;
    }
}

// With a logo the icons are PNGs made from it, square, the logo centred; a logo whose header
// reads but whose pixels do not fails as a copy, and the letter icon is still written.
TEST(SiteIcon, TheLogoGivesSquarePngIcons) {
    TGeneratorFixture f;
    f.Project->OPTIONS.DESIGN = "Modern";
    const std::string png = EncodePng(MarkedPicture(64, 32), "Wide.png");
    WriteFileBytes(f.Project->ImagesPath() + "Wide.png", png);
    f.Project->TOPIC.LOGO = "Wide.png";
    const std::string site = f.Project->Folder + "/Temp";
    TBuildStats stats;
    BuildInto(*f.Project, site, &stats);
    EXPECT_EQ(stats.CopyFailures, 0);
    for (const auto& [name, side] :
         {std::pair{"icon-32.png", 32}, std::pair{"icon-180.png", 180}}) {
        const TPicture icon = DecodePicture(ReadFileBytes(site + "/" + name), name);
        ASSERT_EQ(icon.Width, side) << name;
        ASSERT_EQ(icon.Height, side) << name;
        EXPECT_EQ(icon.PixelAt(0, 0).A, 0) << name; // above the logo: transparent
        EXPECT_EQ(icon.PixelAt(side / 2, side / 2).A, 255) << name;
    }
    const std::string homepage = ReadFileBytes(site + "/Default.htm");
    EXPECT_NE(homepage.find("<link rel=\"icon\" href=\"icon-32.png\" type=\"image/png\" "
                            "sizes=\"32x32\">\r\n<link rel=\"apple-touch-icon\" "
                            "href=\"icon-180.png\">"),
              std::string::npos);

    WriteFileBytes(f.Project->ImagesPath() + "Wide.png", png.substr(0, png.size() / 2));
    const std::string damaged = f.Project->Folder + "/Damaged";
    std::filesystem::create_directory(damaged);
    BuildInto(*f.Project, damaged, &stats);
    EXPECT_EQ(stats.CopyFailures, 2);
    EXPECT_EQ(stats.FirstCopyFailure.rfind("icon-32.png: ", 0), 0U) << stats.FirstCopyFailure;
    EXPECT_TRUE(FileExists(damaged + "/icon.svg"));
}

// The icons are made once for each logo and kept with the pictures the builds made: a build
// after another takes them from there, a changed logo gets its own.
TEST(SiteIcon, TheLogosIconsAreKeptForTheNextBuild) {
    TGeneratorFixture f;
    f.Project->OPTIONS.DESIGN = "Modern";
    const std::string logo = f.Project->ImagesPath() + "Logo.png";
    WriteFileBytes(logo, EncodePng(MarkedPicture(64, 32), "Logo.png"));
    f.Project->TOPIC.LOGO = "Logo.png";
    const auto build = [&](const std::string& name) {
        const std::string site = f.Project->Folder + "/" + name;
        std::filesystem::create_directory(site);
        BuildInto(*f.Project, site);
        return ReadFileBytes(site + "/icon-180.png");
    };
    const std::string made = build("First");
    std::vector<std::filesystem::path> kept;
    std::error_code error;
    for (const auto& entry :
         std::filesystem::directory_iterator(PictureCacheFolder(*f.Project), error))
        if (entry.path().filename().string().rfind("icon-", 0) == 0)
            kept.push_back(entry.path());
    ASSERT_EQ(kept.size(), 2U);
    // What the cache holds is what the next build writes.
    const std::string marker = EncodePng(MarkedPicture(180, 180), "Marker.png");
    for (const auto& path : kept)
        if (ReadFileBytes(path.string()) == made)
            WriteFileBytes(path.string(), marker);
    EXPECT_EQ(build("Second"), marker);
    // A damaged copy is made again.
    for (const auto& path : kept)
        WriteFileBytes(path.string(), "damaged");
    EXPECT_EQ(build("Third"), made);
    // Another logo: icons of its own.
    WriteFileBytes(logo, EncodePng(MarkedPicture(32, 64), "Logo.png"));
    EXPECT_NE(build("Fourth"), made);
}

// The scaled copies are written only for what the scaler can make: a JPEG larger than the size
// asked for, under a plain name, during a build.
TEST(WriteScaledPicture, WritesNothingItCannotMake) {
    TGeneratorFixture f;
    TBuildState state;
    f.Project->BuildState = &state;
    WriteFileBytes(f.Project->ImagesPath() + "Fake.jpg", "not a picture");
    EXPECT_FALSE(WriteScaledPicture(*f.Project, "Missing.jpg", 100, "Missing-100.jpg"));
    EXPECT_FALSE(WriteScaledPicture(*f.Project, "Fake.jpg", 100, "Fake-100.jpg"));
    EXPECT_FALSE(WriteScaledPicture(*f.Project, "Fake.jpg", 100, "../Fake-100.jpg"));
    EXPECT_FALSE(FileExists(f.Project->OutputFolder + "/Fake-100.jpg"));
    // A copy's name that is a picture of the user's own is never written over.
    WriteFileBytes(f.Project->ImagesPath() + "Big.jpg",
                   EncodeJpeg(MarkedPicture(400, 300), 85, "Big.jpg"));
    WriteFileBytes(f.Project->ImagesPath() + "Big-100.jpg", "the user's own");
    EXPECT_FALSE(WriteScaledPicture(*f.Project, "Big.jpg", 100, "Big-100.jpg"));
    EXPECT_FALSE(FileExists(f.Project->OutputFolder + "/Big-100.jpg"));
    EXPECT_TRUE(WriteScaledPicture(*f.Project, "Big.jpg", 100, "Big-80.jpg"));
    state.Files.clear();
    EXPECT_TRUE(state.Files.empty());
    f.Project->BuildState = nullptr;
}

// A modern site without columns still has a homepage in the site's frame.
TEST(ModernBuild, AnEmptyMenuListGivesAFramedHomepage) {
    TGeneratorFixture f;
    f.Project->OPTIONS.DESIGN = "Modern";
    const std::string site = f.Project->Folder + "/Temp";
    BuildInto(*f.Project, site);
    const std::string homepage = ReadFileBytes(site + "/Default.htm");
    EXPECT_NE(homepage.find("<main id=\"content\">\r\n<h1>Welcome</h1>"), std::string::npos);
}

} // namespace

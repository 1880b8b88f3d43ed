#include "RecordXml.h"
#include "model/CColor.h"
#include "model/CFont.h"
#include "model/CFoot.h"
#include "model/CFrame.h"
#include "model/CHotspot.h"
#include "model/CLanguage.h"
#include "model/CMenu.h"
#include "model/CMenuItem.h"
#include "model/CPage.h"
#include "model/CPublish.h"
#include "model/CSize.h"
#include "model/CTopic.h"
#include "model/CWelcome.h"
#include "platform/Error.h"

#include <gtest/gtest.h>

namespace {

// ---- Defaults as written: byte-exact child orders.
TEST(Records, DefaultsAreWrittenInTheFixedChildOrder) {
    EXPECT_EQ(SavedXml(TDFrame(), "FRAME"),
              "<FRAME><FRAME>Topic on top menu on top</FRAME><HOMEPAGE>Default</HOMEPAGE>"
              "<HAS_WELCOME/></FRAME>");
    EXPECT_EQ(SavedXml(TDSize(), "SIZE"),
              "<SIZE><SCREEN>100%</SCREEN><WELCOME_HEIGHT>16</WELCOME_HEIGHT>"
              "<TOPIC_HEIGHT>80</TOPIC_HEIGHT><MENU_HEIGHT>16</MENU_HEIGHT>"
              "<TEXT_HEIGHT>320</TEXT_HEIGHT><FOOT_HEIGHT>80</FOOT_HEIGHT>"
              "<MENU_WIDTH>120</MENU_WIDTH><HOTSPOT_WIDTH>120</HOTSPOT_WIDTH></SIZE>");
    EXPECT_EQ(SavedXml(TDColor(), "COLOR"),
              "<COLOR><BASE>clWhite</BASE><BG>clWhite</BG><TEXT_BG>clWhite</TEXT_BG>"
              "<TITLE>clBlack</TITLE><TEXT>clBlack</TEXT><WELCOME_BG>clWhite</WELCOME_BG>"
              "<WELCOME_TEXT>clBlack</WELCOME_TEXT><TOPIC_BG>clWhite</TOPIC_BG>"
              "<TOPIC_TEXT>clBlack</TOPIC_TEXT><MENU_BG>clWhite</MENU_BG>"
              "<MENU_TEXT>clBlack</MENU_TEXT><HOTSPOT_BG>clWhite</HOTSPOT_BG>"
              "<HOTSPOT_TEXT>clBlack</HOTSPOT_TEXT><FOOT_BG>clWhite</FOOT_BG>"
              "<FOOT_TEXT>clBlack</FOOT_TEXT></COLOR>");
    EXPECT_EQ(SavedXml(TDFont(), "FONT"),
              "<FONT><ENCODING>UTF-8</ENCODING><FAMILY>Default Font</FAMILY><TOPIC>24</TOPIC>"
              "<MENU>9</MENU><TITLE>14</TITLE><TEXT>9</TEXT><BOLD_TOPIC/><BOLD_TITLE/>"
              "<UNDERLINE_LINK/></FONT>");
    EXPECT_EQ(SavedXml(TDWelcome(), "WELCOME"),
              "<WELCOME><HAS_HOMEPAGE/><HAS_FAVORITE/><POSITION>Date On Left</POSITION></WELCOME>");
    EXPECT_EQ(SavedXml(TDTopic(), "TOPIC"),
              "<TOPIC><CAPTION>Welcome to our new web site!</CAPTION><DOMAIN>http://</DOMAIN>"
              "<DESCRIPTION/><KEYWORDS/><TITLE>Welcome</TITLE>"
              "<POSITION>Left (Horizontal)</POSITION></TOPIC>");
    EXPECT_EQ(SavedXml(TDMenuItem(), "MENUITEM"),
              "<MENUITEM><TITLE/><COLUMN/><STYLE>Title with summary</STYLE><URL/><HAS_BORDER/>"
              "</MENUITEM>");
    EXPECT_EQ(SavedXml(TDMenu(), "MENU"),
              "<MENU><HAS_SEPARATOR/><POSITION>Left</POSITION><SPACE>16</SPACE></MENU>");
    EXPECT_EQ(SavedXml(TDHotspot(), "HOTSPOT"),
              "<HOTSPOT><TITLE/><TEXT/><POSITION>Title On Top</POSITION></HOTSPOT>");
    EXPECT_EQ(SavedXml(TDFoot(), "FOOT"),
              "<FOOT><COPYRIGHT>Copyright</COPYRIGHT><ADDRESS/><TEL/><FAX/><EMAIL/>"
              "<POSITION>Center</POSITION></FOOT>");
    EXPECT_EQ(SavedXml(TDPublish(), "PUBLISH"),
              "<PUBLISH><FTP_SERVER/><FTP_PORT>0</FTP_PORT><USER_NAME/><PASSWORD/>"
              "<PROXY_SERVER/><PROXY_PORT>0</PROXY_PORT><FOLDER/></PUBLISH>");
    TDPage page;
    page.DATE = "12/09/2026";
    EXPECT_EQ(SavedXml(page, "PAGE"),
              "<PAGE><TITLE>New Page</TITLE><AUTHOR/><DATE>12/09/2026</DATE><TEXT/></PAGE>");
}

// ---- Every field changed survives Save and construction; optional groups in place.
TEST(Records, ChangedRecordsRoundTripWithTheirOptionalGroups) {
    TDFrame frame;
    frame.FRAME = "Menu on left foot on right";
    frame.HOMEPAGE = "Index";
    frame.NO_MARGIN = frame.ON_LEFT = frame.HAS_HOTSPOT = true;
    frame.HAS_WELCOME = false;
    frame.BACKGROUND = "Background.gif";
    EXPECT_EQ(
        SavedXml(frame, "FRAME"),
        "<FRAME><FRAME>Menu on left foot on right</FRAME><HOMEPAGE>Index</HOMEPAGE>"
        "<NO_MARGIN/><ON_LEFT/><HAS_HOTSPOT/><BACKGROUND>Background.gif</BACKGROUND></FRAME>");
    TDFrame f2 = RoundTrip(frame, "FRAME");
    EXPECT_EQ(f2.FRAME, frame.FRAME);
    EXPECT_TRUE(f2.NO_MARGIN && f2.ON_LEFT && f2.HAS_HOTSPOT && !f2.HAS_WELCOME);
    EXPECT_EQ(f2.BACKGROUND, "Background.gif");

    TDColor color;
    color.BASE = RGBColor(1, 2, 3);
    color.FOOT_TEXT = RGBColor(0, 128, 255);
    color.TEXT_TRANS = color.FOOT_TRANS = true;
    std::string colorXml = SavedXml(color, "COLOR");
    EXPECT_NE(colorXml.find("<BASE>$00030201</BASE>"), std::string::npos);
    EXPECT_NE(colorXml.find("<FOOT_TEXT>$00FF8000</FOOT_TEXT><TEXT_TRANS/><FOOT_TRANS/></COLOR>"),
              std::string::npos);
    TDColor c2 = RoundTrip(color, "COLOR");
    EXPECT_EQ(c2.BASE, color.BASE);
    EXPECT_EQ(c2.FOOT_TEXT, color.FOOT_TEXT);
    EXPECT_TRUE(c2.TEXT_TRANS && c2.FOOT_TRANS && !c2.MENU_TRANS);

    TDTopic topic;
    topic.LOGO = "Logo.jpg";
    topic.LOGO_WIDTH = 120;
    topic.LOGO_HEIGHT = -5;
    topic.DESCRIPTION = "a <b>bold</b> & \"quoted\" text";
    EXPECT_EQ(SavedXml(topic, "TOPIC").substr(SavedXml(topic, "TOPIC").find("<POSITION>")),
              "<POSITION>Left (Horizontal)</POSITION><LOGO>Logo.jpg</LOGO>"
              "<LOGO_WIDTH>120</LOGO_WIDTH><LOGO_HEIGHT>-5</LOGO_HEIGHT></TOPIC>");
    TDTopic t2 = RoundTrip(topic, "TOPIC");
    EXPECT_EQ(t2.DESCRIPTION, topic.DESCRIPTION);
    EXPECT_EQ(t2.LOGO_HEIGHT, -5);

    TDMenu menu;
    menu.HAS_SEPARATOR = false;
    menu.BUTTON = "Button.gif";
    menu.BUTTON_WIDTH = 80;
    menu.BUTTON_HEIGHT = 20;
    EXPECT_EQ(SavedXml(menu, "MENU"),
              "<MENU><BUTTON>Button.gif</BUTTON><BUTTON_WIDTH>80</BUTTON_WIDTH>"
              "<BUTTON_HEIGHT>20</BUTTON_HEIGHT><POSITION>Left</POSITION><SPACE>16</SPACE></MENU>");
    EXPECT_FALSE(RoundTrip(menu, "MENU").HAS_SEPARATOR);

    TDHotspot hot;
    hot.PICTURE = "Hotspot.gif";
    hot.PICTURE_WIDTH = 100;
    hot.PICTURE_HEIGHT = 50;
    hot.TEXT = "line one#$D#$Aline two";
    hot.LINK = "Get it";
    hot.KIND = "Download";
    hot.URL = "File1.zip";
    EXPECT_EQ(SavedXml(hot, "HOTSPOT"),
              "<HOTSPOT><TITLE/><PICTURE>Hotspot.gif</PICTURE><PICTURE_WIDTH>100</PICTURE_WIDTH>"
              "<PICTURE_HEIGHT>50</PICTURE_HEIGHT><TEXT>line one#$D#$Aline two</TEXT>"
              "<LINK>Get it</LINK><KIND>Download</KIND><URL>File1.zip</URL>"
              "<POSITION>Title On Top</POSITION></HOTSPOT>");
    TDHotspot h2 = RoundTrip(hot, "HOTSPOT");
    EXPECT_EQ(h2.TEXT, hot.TEXT);
    EXPECT_EQ(h2.KIND, "Download");
    EXPECT_EQ(h2.PICTURE_HEIGHT, 50);

    TDPublish pub;
    pub.USE_PROXY = true;
    pub.FTP_PORT = 21;
    pub.FOLDER = "/www";
    EXPECT_EQ(
        SavedXml(pub, "PUBLISH"),
        "<PUBLISH><FTP_SERVER/><FTP_PORT>21</FTP_PORT><USER_NAME/><PASSWORD/>"
        "<PROXY_SERVER/><PROXY_PORT>0</PROXY_PORT><USE_PROXY/><FOLDER>/www</FOLDER></PUBLISH>");
    EXPECT_TRUE(RoundTrip(pub, "PUBLISH").USE_PROXY);

    TDMenuItem item;
    item.SHOW_AUTHOR = item.SHOW_DATE = true;
    item.HAS_BORDER = false;
    EXPECT_EQ(SavedXml(item, "MENUITEM"),
              "<MENUITEM><TITLE/><COLUMN/><STYLE>Title with summary</STYLE><URL/><SHOW_AUTHOR/>"
              "<SHOW_DATE/></MENUITEM>");

    TDPage page;
    page.DATE = "d";
    page.PICTURE = "File1.jpg";
    page.PICTURE_WIDTH = 400;
    page.PICTURE_HEIGHT = 300;
    page.LINK = "Mail us";
    page.KIND = "E-mail";
    page.URL = "a@b.c";
    EXPECT_EQ(SavedXml(page, "PAGE"),
              "<PAGE><TITLE>New Page</TITLE><AUTHOR/><DATE>d</DATE><PICTURE>File1.jpg</PICTURE>"
              "<PICTURE_WIDTH>400</PICTURE_WIDTH><PICTURE_HEIGHT>300</PICTURE_HEIGHT><TEXT/>"
              "<LINK>Mail us</LINK><KIND>E-mail</KIND><URL>a@b.c</URL></PAGE>");
}

// ---- Flags: defaults only when the element is missing.
TEST(Records, FlagDefaultsHoldOnlyWithoutAnElement) {
    TFragment frame("<FRAME><FRAME>x</FRAME><HOMEPAGE>y</HOMEPAGE></FRAME>");
    TDFrame f(frame.Element());
    EXPECT_FALSE(f.HAS_WELCOME || f.NO_MARGIN || f.ON_LEFT || f.HAS_HOTSPOT);
    EXPECT_TRUE(TDFrame().HAS_WELCOME);

    TFragment welcome("<WELCOME><POSITION>Date On Right</POSITION></WELCOME>");
    TDWelcome w(welcome.Element());
    EXPECT_FALSE(w.HAS_HOMEPAGE || w.HAS_FAVORITE || w.HAS_CONTACT);
    EXPECT_TRUE(TDWelcome().HAS_HOMEPAGE && TDWelcome().HAS_FAVORITE);

    TFragment flagged("<FRAME><NO_MARGIN>0</NO_MARGIN><BACKGROUND/></FRAME>");
    TDFrame g(flagged.Element());
    EXPECT_TRUE(g.NO_MARGIN);
    EXPECT_EQ(g.BACKGROUND, "");
    EXPECT_EQ(g.FRAME, "Topic on top menu on top"); // a missing text keeps its default
    EXPECT_EQ(SavedXml(g, "FRAME"),
              "<FRAME><FRAME>Topic on top menu on top</FRAME><HOMEPAGE>Default</HOMEPAGE>"
              "<NO_MARGIN/></FRAME>");

    TFragment font("<FONT/>");
    TDFont n(font.Element());
    EXPECT_FALSE(n.BOLD_TOPIC || n.BOLD_TITLE || n.UNDERLINE_LINK);
    EXPECT_EQ(n.TOPIC, 24);
}

// ---- Dependent children are read only with their leading child.
TEST(Records, DependentChildrenNeedTheirLeadingChild) {
    TFragment noLogo("<TOPIC><LOGO_WIDTH>abc</LOGO_WIDTH><LOGO_HEIGHT>7</LOGO_HEIGHT></TOPIC>");
    TDTopic t(noLogo.Element());
    EXPECT_EQ(t.LOGO_WIDTH, 0);
    EXPECT_EQ(t.LOGO_HEIGHT, 0);

    TFragment emptyLogo("<TOPIC><LOGO/><LOGO_WIDTH>abc</LOGO_WIDTH></TOPIC>");
    try {
        TDTopic bad(emptyLogo.Element());
        FAIL();
    } catch (const TError& e) {
        EXPECT_EQ(e.Message(), "'abc' is not a valid integer value");
    }

    TFragment emptyLogoGood("<TOPIC><LOGO/><LOGO_WIDTH>120</LOGO_WIDTH></TOPIC>");
    TDTopic t2(emptyLogoGood.Element());
    EXPECT_EQ(t2.LOGO_WIDTH, 120);
    EXPECT_EQ(SavedXml(t2, "TOPIC").find("LOGO"), std::string::npos); // empty logo: no group
    EXPECT_EQ(RoundTrip(t2, "TOPIC").LOGO_WIDTH, 0);

    TFragment kindOnly("<HOTSPOT><KIND>Download</KIND><URL>x</URL></HOTSPOT>");
    TDHotspot h(kindOnly.Element());
    EXPECT_EQ(h.KIND, "Link");
    EXPECT_EQ(h.URL, "");

    TDHotspot written;
    written.KIND = "Download";
    written.URL = "File1.zip";
    EXPECT_EQ(SavedXml(written, "HOTSPOT"),
              "<HOTSPOT><TITLE/><TEXT/><POSITION>Title On Top</POSITION></HOTSPOT>");
    EXPECT_EQ(RoundTrip(written, "HOTSPOT").KIND, "Link");

    TFragment page("<PAGE><PICTURE_WIDTH>wide</PICTURE_WIDTH><KIND>E-mail</KIND></PAGE>");
    TDPage p(page.Element());
    EXPECT_EQ(p.PICTURE_WIDTH, 0);
    EXPECT_EQ(p.KIND, "Link");

    TFragment button("<MENU><BUTTON_WIDTH>9</BUTTON_WIDTH><SPACE>3</SPACE></MENU>");
    TDMenu m(button.Element());
    EXPECT_EQ(m.BUTTON_WIDTH, 0);
    EXPECT_EQ(m.SPACE, 3);
}

// ---- Reading rules: first of two children counts, unknown children dropped, bad values fail.
TEST(Records, ReadingRules) {
    TFragment twice("<SIZE><SCREEN>750</SCREEN><SCREEN>610</SCREEN><EXTRA>1</EXTRA>"
                    "<TEXT_HEIGHT> 42</TEXT_HEIGHT><FOOT_HEIGHT>$10</FOOT_HEIGHT></SIZE>");
    TDSize s(twice.Element());
    EXPECT_EQ(s.SCREEN, "750");
    EXPECT_EQ(s.TEXT_HEIGHT, 42);
    EXPECT_EQ(s.FOOT_HEIGHT, 16);
    EXPECT_EQ(SavedXml(s, "SIZE").find("EXTRA"), std::string::npos);

    struct Bad {
        const char* xml;
        const char* message;
    } bad[] = {
        {"<SIZE><TEXT_HEIGHT>42 </TEXT_HEIGHT></SIZE>", "'42 ' is not a valid integer value"},
        {"<SIZE><TEXT_HEIGHT/></SIZE>", "'' is not a valid integer value"},
        {"<SIZE><MENU_WIDTH>2147483648</MENU_WIDTH></SIZE>",
         "'2147483648' is not a valid integer value"},
    };
    for (const Bad& b : bad) {
        TFragment f(b.xml);
        try {
            TDSize size(f.Element());
            ADD_FAILURE() << b.xml;
        } catch (const TError& e) {
            EXPECT_EQ(e.Message(), b.message);
        }
    }
    TFragment badColor("<COLOR><BG>#FF8000</BG></COLOR>");
    EXPECT_THROW(TDColor c(badColor.Element()), TError);
    TFragment mixed("<FOOT><ADDRESS>a<b/>c</ADDRESS></FOOT>");
    EXPECT_THROW(TDFoot f(mixed.Element()), TError);

    TFragment colors("<COLOR><BG>clwhite</BG><TEXT>CLRED</TEXT><TITLE>16777215</TITLE>"
                     "<MENU_BG>$00030201</MENU_BG></COLOR>");
    TDColor c(colors.Element());
    std::string xml = SavedXml(c, "COLOR");
    for (const char* piece : {"<BG>clWhite</BG>", "<TEXT>clRed</TEXT>", "<TITLE>clWhite</TITLE>",
                              "<MENU_BG>$00030201</MENU_BG>"})
        EXPECT_NE(xml.find(piece), std::string::npos) << piece;

    TFragment item("<MENUITEM><TITLE>t</TITLE></MENUITEM>");
    EXPECT_EQ(TDMenuItem(item.Element()).STYLE, "Title with summary");
}

// ---- The language table.
TEST(Records, LanguageTable) {
    TDLanguage defaults;
    ASSERT_EQ(defaults.Count, 18);
    EXPECT_EQ(defaults.Keys[4], "WEDNESDAY");
    EXPECT_EQ(defaults.Values[4], "Wendesday");
    EXPECT_EQ(defaults.Keys[17], "NEXT");

    TFragment f("<LANGUAGE><MONDAY>Montag</MONDAY><TUESDAY2>x</TUESDAY2><FAX/></LANGUAGE>");
    TDLanguage lang(f.Element());
    EXPECT_EQ(lang.Values[2], "Montag");
    EXPECT_EQ(lang.Values[3], "Tuesday");
    EXPECT_EQ(lang.Values[14], "");
    EXPECT_EQ(lang.Lookup("MONDAY"), "Montag");
    EXPECT_EQ(lang.Lookup("FAX"), "");
    EXPECT_EQ(lang.Lookup("Welcome"), "Welcome");
    EXPECT_EQ(lang.Lookup("WELCOME"), "Welcome");
    EXPECT_EQ(lang.Lookup("previous"), "previous");

    std::string xml = SavedXml(lang, "LANGUAGE");
    EXPECT_EQ(xml,
              "<LANGUAGE><WELCOME>Welcome</WELCOME><TODAY_IS>Today is</TODAY_IS>"
              "<MONDAY>Montag</MONDAY><TUESDAY>Tuesday</TUESDAY><WEDNESDAY>Wendesday</WEDNESDAY>"
              "<THURSDAY>Thursday</THURSDAY><FRIDAY>Friday</FRIDAY><SATURDAY>Saturday</SATURDAY>"
              "<SUNDAY>Sunday</SUNDAY><SETASHOMEPAGE>Set as homepage</SETASHOMEPAGE>"
              "<ADDTOFAVORITE>Add to favorite</ADDTOFAVORITE><CONTACTUS>Contact us</CONTACTUS>"
              "<ADDRESS>Address</ADDRESS><TEL>Tel</TEL><FAX/><EMAIL>E-mail</EMAIL>"
              "<PREVIOUS>Previous</PREVIOUS><NEXT>Next</NEXT></LANGUAGE>");
}

// ---- Template forms.
TEST(Records, TemplateForms) {
    TDTopic topic;
    topic.POSITION = "Right (Vertical)";
    topic.LOGO = "Logo.gif";
    EXPECT_EQ(TemplateXml(topic, "TOPIC"), "<TOPIC><POSITION>Right (Vertical)</POSITION></TOPIC>");
    TFragment f(TemplateXml(topic, "TOPIC"));
    TDTopic back(f.Element());
    EXPECT_EQ(back.CAPTION, "Welcome to our new web site!");
    EXPECT_EQ(back.DOMAIN, "http://");
    EXPECT_EQ(back.TITLE, "Welcome");
    EXPECT_EQ(back.POSITION, "Right (Vertical)");

    TDHotspot hot;
    hot.TITLE = "t";
    EXPECT_EQ(TemplateXml(hot, "HOTSPOT"), "<HOTSPOT><POSITION>Title On Top</POSITION></HOTSPOT>");
    TDFoot foot;
    foot.EMAIL = "x";
    EXPECT_EQ(TemplateXml(foot, "FOOT"), "<FOOT><POSITION>Center</POSITION></FOOT>");
    TDMenu menu;
    EXPECT_EQ(TemplateXml(menu, "MENU"), SavedXml(menu, "MENU"));
    TDWelcome welcome;
    EXPECT_EQ(TemplateXml(welcome, "WELCOME"), SavedXml(welcome, "WELCOME"));
    EXPECT_EQ(TemplateXml(TDColor(), "COLOR"), SavedXml(TDColor(), "COLOR"));

    // Given no element, Save and SaveTemplate do nothing.
    TDFoot().Save(TXmlElement());
    TDTopic().SaveTemplate(TXmlElement());
}

} // namespace

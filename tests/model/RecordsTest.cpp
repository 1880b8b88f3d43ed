#include "RecordXml.h"
#include "model/CColor.h"
#include "model/CFont.h"
#include "model/CFoot.h"
#include "model/CFrame.h"
#include "model/CHotspot.h"
#include "model/CLanguage.h"
#include "model/CMenu.h"
#include "model/CMenuItem.h"
#include "model/COptions.h"
#include "model/CPage.h"
#include "model/CPublish.h"
#include "model/CSize.h"
#include "model/CTopic.h"
#include "model/CWelcome.h"
#include "model/PageId.h"
#include "platform/Error.h"

#include <cstddef>
#include <gtest/gtest.h>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <vector>

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
              "<PROXY_SERVER/><PROXY_PORT>0</PROXY_PORT><FOLDER/><PROTOCOL>FTP</PROTOCOL>"
              "<PASSIVE/><TRUSTED/><SYNC/><JOBS>4</JOBS></PUBLISH>");
    EXPECT_EQ(SavedXml(TDOptions(), "OPTIONS"),
              "<OPTIONS><PICTURE_SIZE>0</PICTURE_SIZE></OPTIONS>");
    EXPECT_EQ(SavedXml(TDOptions::ForNewProject("pt-BR"), "OPTIONS"),
              "<OPTIONS><MOBILE/><PAGE_TITLES/><SITEMAP/><FEEDS/><ALT_TEXTS/>"
              "<PICTURE_SIZE>1600</PICTURE_SIZE><DESIGN>Modern</DESIGN>"
              "<SITE_LANGUAGE>pt-BR</SITE_LANGUAGE></OPTIONS>");
    TDPage page;
    page.DATE = "12/09/2026";
    EXPECT_EQ(SavedXml(page, "PAGE"),
              "<PAGE><TITLE>New Page</TITLE><AUTHOR/><DATE>12/09/2026</DATE><TEXT/></PAGE>");
}

// ---- Whole records through Save (and SaveTemplate) and back.
//
// Each record is filled with a value other than its default in every field, and the values
// of fields of one type differ from each other, so that a field read or written under a
// wrong name, or two fields with their names swapped, leave the record read back unequal.

template <class R> struct TRecordCase;

template <> struct TRecordCase<TDFrame> {
    static constexpr const char* Element = "FRAME";
    static TDFrame Filled() {
        TDFrame r;
        r.FRAME = "Menu on left foot on right";
        r.HOMEPAGE = "Index";
        r.NO_MARGIN = true;
        r.ON_LEFT = true;
        r.HAS_WELCOME = false;
        r.HAS_HOTSPOT = true;
        r.BACKGROUND = "Background.gif";
        return r;
    }
    static TDFrame Template(const TDFrame& r) { return r; }
};

template <> struct TRecordCase<TDSize> {
    static constexpr const char* Element = "SIZE";
    static TDSize Filled() {
        TDSize r;
        r.SCREEN = "750";
        r.WELCOME_HEIGHT = 11;
        r.TOPIC_HEIGHT = 22;
        r.MENU_HEIGHT = 33;
        r.TEXT_HEIGHT = 444;
        r.FOOT_HEIGHT = 55;
        r.MENU_WIDTH = 66;
        r.HOTSPOT_WIDTH = -77;
        return r;
    }
    static TDSize Template(const TDSize& r) { return r; }
};

template <> struct TRecordCase<TDColor> {
    static constexpr const char* Element = "COLOR";
    static TDColor Filled() {
        TDColor r;
        r.BASE = RGBColor(1, 2, 3);
        r.BG = clSilver;
        r.TEXT_BG = RGBColor(0, 128, 255);
        r.TITLE = 0x1FFFFFFF;                     // clNone
        r.TEXT = static_cast<TColor>(0xFF00000F); // clBtnFace
        r.WELCOME_BG = RGBColor(4, 5, 6);
        r.WELCOME_TEXT = RGBColor(7, 8, 9);
        r.TOPIC_BG = RGBColor(10, 11, 12);
        r.TOPIC_TEXT = RGBColor(13, 14, 15);
        r.MENU_BG = RGBColor(16, 17, 18);
        r.MENU_TEXT = RGBColor(19, 20, 21);
        r.HOTSPOT_BG = RGBColor(22, 23, 24);
        r.HOTSPOT_TEXT = RGBColor(25, 26, 27);
        r.FOOT_BG = RGBColor(28, 29, 30);
        r.FOOT_TEXT = RGBColor(31, 32, 33);
        r.TEXT_TRANS = true;
        r.WELCOME_TRANS = true;
        r.TOPIC_TRANS = true;
        r.MENU_TRANS = true;
        r.HOTSPOT_TRANS = true;
        r.FOOT_TRANS = true;
        return r;
    }
    static TDColor Template(const TDColor& r) { return r; }
};

template <> struct TRecordCase<TDFont> {
    static constexpr const char* Element = "FONT";
    static TDFont Filled() {
        TDFont r;
        r.ENCODING = "Cyrillic (KOI8-R)";
        r.FAMILY = "Georgia, Times New Roman, Times, serif";
        r.TOPIC = 32;
        r.MENU = 10;
        r.TITLE = 18;
        r.TEXT = 11;
        r.BOLD_TOPIC = false;
        r.BOLD_TITLE = false;
        r.BOLD_LINK = true;
        r.UNDERLINE_LINK = false;
        return r;
    }
    static TDFont Template(const TDFont& r) { return r; }
};

template <> struct TRecordCase<TDWelcome> {
    static constexpr const char* Element = "WELCOME";
    static TDWelcome Filled() {
        TDWelcome r;
        r.HAS_HOMEPAGE = false;
        r.HAS_FAVORITE = false;
        r.HAS_CONTACT = true;
        r.POSITION = "Date On Right";
        return r;
    }
    static TDWelcome Template(const TDWelcome& r) { return r; }
};

template <> struct TRecordCase<TDTopic> {
    static constexpr const char* Element = "TOPIC";
    static TDTopic Filled() {
        TDTopic r;
        r.CAPTION = "Miller's Bakery";
        r.DOMAIN = "http://www.example.org/";
        r.DESCRIPTION = "a <b>bold</b> & \"quoted\" text";
        r.KEYWORDS = "bread, cakes";
        r.TITLE = "Fresh every day";
        r.LOGO = "Logo.gif";
        r.POSITION = "Center (Vertical)";
        r.LOGO_WIDTH = 200;
        r.LOGO_HEIGHT = -60;
        return r;
    }
    // A template keeps only the position.
    static TDTopic Template(const TDTopic& r) {
        TDTopic expected;
        expected.POSITION = r.POSITION;
        return expected;
    }
};

template <> struct TRecordCase<TDMenuItem> {
    static constexpr const char* Element = "MENUITEM";
    static TDMenuItem Filled() {
        TDMenuItem r;
        r.TITLE = "News";
        r.COLUMN = "Column7.Clm";
        r.STYLE = "Pictures List (3 columns)";
        r.URL = "http://www.example.org/news";
        r.SHOW_AUTHOR = true;
        r.SHOW_DATE = true;
        r.HAS_BORDER = false;
        return r;
    }
};

template <> struct TRecordCase<TDMenu> {
    static constexpr const char* Element = "MENU";
    static TDMenu Filled() {
        TDMenu r;
        r.HAS_SEPARATOR = false;
        r.BUTTON = "Button.jpg";
        r.POSITION = "Right";
        r.BUTTON_WIDTH = 90;
        r.BUTTON_HEIGHT = 24;
        r.SPACE = 5;
        return r;
    }
    static TDMenu Template(const TDMenu& r) { return r; }
};

template <> struct TRecordCase<TDHotspot> {
    static constexpr const char* Element = "HOTSPOT";
    static TDHotspot Filled() {
        TDHotspot r;
        r.TITLE = "Offers";
        r.PICTURE = "Hotspot.gif";
        r.TEXT = "line one#$D#$Aline two";
        r.LINK = "Price list";
        r.KIND = "Download";
        r.URL = "Prices.zip";
        r.POSITION = "Picture On Top";
        r.PICTURE_WIDTH = 150;
        r.PICTURE_HEIGHT = 75;
        r.FORMAT = "Markdown";
        return r;
    }
    // A template keeps only the position.
    static TDHotspot Template(const TDHotspot& r) {
        TDHotspot expected;
        expected.POSITION = r.POSITION;
        return expected;
    }
};

template <> struct TRecordCase<TDFoot> {
    static constexpr const char* Element = "FOOT";
    static TDFoot Filled() {
        TDFoot r;
        r.COPYRIGHT = "(c) 2026 Miller";
        r.ADDRESS = "1 Mill Lane";
        r.TEL = " 0123 ";
        r.FAX = "0124";
        r.EMAIL = "shop@example.org";
        r.POSITION = "Right";
        return r;
    }
    // A template keeps only the position.
    static TDFoot Template(const TDFoot& r) {
        TDFoot expected;
        expected.POSITION = r.POSITION;
        return expected;
    }
};

template <> struct TRecordCase<TDPublish> {
    static constexpr const char* Element = "PUBLISH";
    static TDPublish Filled() {
        TDPublish r;
        r.FTP_SERVER = "ftp.example.org";
        r.USER_NAME = "miller";
        r.PASSWORD = "p\"w<'";
        r.PROXY_SERVER = "proxy.example.org";
        r.FOLDER = "/www/site";
        r.FTP_PORT = 2121;
        r.PROXY_PORT = 8080;
        r.USE_PROXY = true;
        r.PROTOCOL = "SFTP";
        r.PASSIVE = false;
        r.TRUSTED = "0A:1B:2C";
        r.SYNC = false;
        r.JOBS = 7;
        r.PROJECT_ID = "0123456789abcdef";
        r.LAST_PUBLISHED = "2026-12-10T02:45:40Z SFTP://miller@ftp.example.org:2121//www/site\n"
                           "2026-11-01T10:00:00Z FTP://miller@ftp.example.org:21/";
        r.REPOSITORY = "git@example.org:miller/site.git";
        r.BRANCH = "pages";
        r.AUTHOR_NAME = "Ann Miller";
        r.AUTHOR_EMAIL = "ann@example.org";
        return r;
    }
};

template <> struct TRecordCase<TDOptions> {
    static constexpr const char* Element = "OPTIONS";
    static TDOptions Filled() {
        TDOptions r;
        r.MOBILE = r.PAGE_TITLES = r.SITEMAP = r.FEEDS = r.ALT_TEXTS = true;
        r.PICTURE_SIZE = 2048;
        r.DESIGN = "Modern";
        r.SITE_LANGUAGE = "pt-BR";
        return r;
    }
    static TDOptions Template(const TDOptions& r) { return r; }
};

template <> struct TRecordCase<TDPage> {
    static constexpr const char* Element = "PAGE";
    static TDPage Filled() {
        TDPage r;
        r.TITLE = "Opening day";
        r.AUTHOR = "Anna";
        r.DATE = "24/12/1999";
        r.PICTURE = "File1.jpg";
        r.TEXT = "l1#$D#$Al2#$D#$Al3";
        r.LINK = "Write to us";
        r.KIND = "E-mail";
        r.URL = "anna@example.org";
        r.PICTURE_WIDTH = 640;
        r.PICTURE_HEIGHT = 480;
        r.FORMAT = "Markdown";
        r.ID = "k3x9p2";
        return r;
    }
};

template <class R> constexpr bool HasTemplateForm = requires(const R& r) {
    r.SaveTemplate(TXmlElement());
};

// Calls f(field, defaultField) for each field of record and of a record with its defaults.
template <class R, class F> void ForEachFieldPair(R& record, F f) {
    R defaults;
    auto fields = Fields(record);
    auto defaultFields = Fields(defaults);
    [&]<std::size_t... I>(std::index_sequence<I...>) {
        (f(std::get<I>(fields), std::get<I>(defaultFields)), ...);
    }
    (std::make_index_sequence<std::tuple_size_v<decltype(fields)>>());
}

template <class T> std::string ValueText(const TField<T>& field) {
    std::ostringstream out;
    PrintValue(field.Value, field.IsColor, &out);
    return out.str();
}

// Flags have only two values, so one filled record cannot tell every flag from every other.
// Flag k (counted from 1) is set in variant b when bit b of k is set, and the complement of
// each variant is taken too: every flag is then set in one variant and clear in another, and
// any two flags differ in some variant.
template <class R> std::vector<R> FlagVariants(const R& filled) {
    constexpr int Bits = 4; // enough for 15 flags
    std::vector<R> variants{filled};
    for (int bit = 0; bit < Bits; ++bit)
        for (bool complement : {false, true}) {
            R variant = filled;
            int flag = 0;
            std::apply(
                [&](auto&&... field) {
                    auto set = [&](auto&& f) {
                        if constexpr (std::is_same_v<std::remove_cvref_t<decltype(f.Value)>,
                                                     bool>) {
                            ++flag;
                            f.Value = (((flag >> bit) & 1) != 0) != complement;
                        }
                    };
                    (set(field), ...);
                },
                Fields(variant));
            if (flag == 0)
                return variants; // no flags: the filled record alone
            EXPECT_LT(flag, 1 << Bits) << "too many flags for the variants to tell apart";
            variants.push_back(variant);
        }
    return variants;
}

template <class R> class WholeRecord : public ::testing::Test {};

using RecordTypes =
    ::testing::Types<TDFrame, TDSize, TDColor, TDFont, TDWelcome, TDTopic, TDMenuItem, TDMenu,
                     TDHotspot, TDFoot, TDPublish, TDOptions, TDPage>;
TYPED_TEST_SUITE(WholeRecord, RecordTypes);

TYPED_TEST(WholeRecord, TheFilledRecordDiffersFromTheDefaultsInEveryField) {
    TypeParam filled = TRecordCase<TypeParam>::Filled();
    std::set<std::string> seen;
    ForEachFieldPair(filled, [&](const auto& field, const auto& defaultField) {
        EXPECT_NE(field.Value, defaultField.Value) << field.Name << " keeps its default";
        using T = std::remove_cvref_t<decltype(field.Value)>;
        if constexpr (!std::is_same_v<T, bool>) {
            EXPECT_TRUE(seen.insert(typeid(T).name() + ValueText(field)).second)
                << field.Name << " repeats the value " << ValueText(field);
        }
    });
}

// A record with its defaults and only field I taken from the filled record.
template <class R, std::size_t I> void ExpectFieldIsCompared() {
    R filled = TRecordCase<R>::Filled();
    R changed;
    auto from = std::get<I>(Fields(filled));
    auto to = std::get<I>(Fields(changed));
    to.Value = from.Value;
    EXPECT_FALSE(changed == R()) << to.Name << " is not compared";
}

template <class R, std::size_t... I> void ExpectEveryFieldIsCompared(std::index_sequence<I...>) {
    (ExpectFieldIsCompared<R, I>(), ...);
}

TYPED_TEST(WholeRecord, EqualityLooksAtEveryField) {
    TypeParam filled = TRecordCase<TypeParam>::Filled();
    EXPECT_EQ(TypeParam(filled), filled);
    EXPECT_EQ(TypeParam(), TypeParam());
    EXPECT_FALSE(filled == TypeParam());
    constexpr std::size_t count = std::tuple_size_v<decltype(Fields(filled))>;
    ExpectEveryFieldIsCompared<TypeParam>(std::make_index_sequence<count>());
}

TYPED_TEST(WholeRecord, SaveAndReadBackGivesTheSameRecord) {
    const char* element = TRecordCase<TypeParam>::Element;
    for (const TypeParam& record : FlagVariants(TRecordCase<TypeParam>::Filled()))
        EXPECT_EQ(RoundTrip(record, element), record) << "written as " << SavedXml(record, element);
}

static_assert(HasTemplateForm<TDFrame> && HasTemplateForm<TDSize> && HasTemplateForm<TDColor> &&
              HasTemplateForm<TDFont> && HasTemplateForm<TDLanguage> &&
              HasTemplateForm<TDWelcome> && HasTemplateForm<TDTopic> && HasTemplateForm<TDMenu> &&
              HasTemplateForm<TDHotspot> && HasTemplateForm<TDFoot> && HasTemplateForm<TDOptions>);
static_assert(!HasTemplateForm<TDMenuItem> && !HasTemplateForm<TDPublish> &&
              !HasTemplateForm<TDPage>); // not part of a template

TYPED_TEST(WholeRecord, TheTemplateFormReadsBackAsExpected) {
    // Records without a template form have nothing to check here.
    if constexpr (HasTemplateForm<TypeParam>) {
        const char* element = TRecordCase<TypeParam>::Element;
        for (const TypeParam& record : FlagVariants(TRecordCase<TypeParam>::Filled()))
            EXPECT_EQ(TemplateRoundTrip(record, element), TRecordCase<TypeParam>::Template(record))
                << "written as " << TemplateXml(record, element);
    }
}

// The language table: its keys and count are fixed, so only the texts are filled.
TEST(WholeRecord, TheLanguageTableSurvivesSaveAndTemplate) {
    TDLanguage filled;
    for (int i = 0; i < filled.Count; ++i) {
        const auto slot = static_cast<std::size_t>(i);
        filled.Values[slot] = "text " + std::to_string(i) + " of " + filled.Keys[slot];
    }
    filled.Values[14] = ""; // an empty text is written as an empty child and read back empty
    EXPECT_FALSE(filled == TDLanguage());
    EXPECT_EQ(RoundTrip(filled, "LANGUAGE"), filled) << SavedXml(filled, "LANGUAGE");
    EXPECT_EQ(TemplateRoundTrip(filled, "LANGUAGE"), filled) << TemplateXml(filled, "LANGUAGE");
}

TEST(WholeRecord, LanguageEqualityLooksAtTheEntriesInUse) {
    const TDLanguage defaults;
    TDLanguage other;
    other.Keys[50] = "UNUSED";
    other.Values[100] = "unused";
    EXPECT_EQ(other, defaults); // slots beyond Count are not part of the table

    other = defaults;
    other.Keys[17] = "NEXT2";
    EXPECT_FALSE(other == defaults);
    other = defaults;
    other.Values[0] = "Willkommen";
    EXPECT_FALSE(other == defaults);
    other = defaults;
    other.Count = 17;
    EXPECT_FALSE(other == defaults);
}

// ---- Changed records as written: byte-exact optional groups.
TEST(Records, ChangedRecordsAreWrittenWithTheirOptionalGroups) {
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

    TDColor color;
    color.BASE = RGBColor(1, 2, 3);
    color.FOOT_TEXT = RGBColor(0, 128, 255);
    color.TEXT_TRANS = color.FOOT_TRANS = true;
    std::string colorXml = SavedXml(color, "COLOR");
    EXPECT_NE(colorXml.find("<BASE>$00030201</BASE>"), std::string::npos);
    EXPECT_NE(colorXml.find("<FOOT_TEXT>$00FF8000</FOOT_TEXT><TEXT_TRANS/><FOOT_TRANS/></COLOR>"),
              std::string::npos);

    TDTopic topic;
    topic.LOGO = "Logo.jpg";
    topic.LOGO_WIDTH = 120;
    topic.LOGO_HEIGHT = -5;
    topic.DESCRIPTION = "a <b>bold</b> & \"quoted\" text";
    EXPECT_EQ(SavedXml(topic, "TOPIC").substr(SavedXml(topic, "TOPIC").find("<POSITION>")),
              "<POSITION>Left (Horizontal)</POSITION><LOGO>Logo.jpg</LOGO>"
              "<LOGO_WIDTH>120</LOGO_WIDTH><LOGO_HEIGHT>-5</LOGO_HEIGHT></TOPIC>");

    TDMenu menu;
    menu.HAS_SEPARATOR = false;
    menu.BUTTON = "Button.gif";
    menu.BUTTON_WIDTH = 80;
    menu.BUTTON_HEIGHT = 20;
    EXPECT_EQ(SavedXml(menu, "MENU"),
              "<MENU><BUTTON>Button.gif</BUTTON><BUTTON_WIDTH>80</BUTTON_WIDTH>"
              "<BUTTON_HEIGHT>20</BUTTON_HEIGHT><POSITION>Left</POSITION><SPACE>16</SPACE></MENU>");

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

    TDPublish pub;
    pub.USE_PROXY = true;
    pub.FTP_PORT = 21;
    pub.FOLDER = "/www";
    pub.PASSIVE = false;
    pub.PROTOCOL = "FTPS";
    pub.TRUSTED = "ab:cd";
    EXPECT_EQ(SavedXml(pub, "PUBLISH"),
              "<PUBLISH><FTP_SERVER/><FTP_PORT>21</FTP_PORT><USER_NAME/><PASSWORD/>"
              "<PROXY_SERVER/><PROXY_PORT>0</PROXY_PORT><USE_PROXY/><FOLDER>/www</FOLDER>"
              "<PROTOCOL>FTPS</PROTOCOL><TRUSTED>ab:cd</TRUSTED><SYNC/><JOBS>4</JOBS></PUBLISH>");

    // Without SYNC the exchange of every ticked file, with the number of connections all
    // the same.
    pub.SYNC = false;
    pub.JOBS = 2;
    EXPECT_EQ(SavedXml(pub, "PUBLISH"),
              "<PUBLISH><FTP_SERVER/><FTP_PORT>21</FTP_PORT><USER_NAME/><PASSWORD/>"
              "<PROXY_SERVER/><PROXY_PORT>0</PROXY_PORT><USE_PROXY/><FOLDER>/www</FOLDER>"
              "<PROTOCOL>FTPS</PROTOCOL><TRUSTED>ab:cd</TRUSTED><JOBS>2</JOBS></PUBLISH>");

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

    // A project written before the protocol settings keeps the active plain FTP exchange;
    // a new one is passive.
    TFragment old("<PUBLISH><FTP_SERVER>ftp.example.org</FTP_SERVER><FTP_PORT>21</FTP_PORT>"
                  "<FOLDER>www</FOLDER></PUBLISH>");
    TDPublish p(old.Element());
    EXPECT_FALSE(p.PASSIVE);
    EXPECT_EQ(p.PROTOCOL, "FTP");
    EXPECT_EQ(p.TRUSTED, "");
    // Nor has it published with a manifest that names the copy: no id, no time.
    EXPECT_EQ(p.PROJECT_ID, "");
    EXPECT_EQ(p.LAST_PUBLISHED, "");
    // Nor has it a repository; its branch is the page hosts' usual one.
    EXPECT_EQ(p.REPOSITORY, "");
    EXPECT_EQ(p.BRANCH, "gh-pages");
    EXPECT_TRUE(TDPublish().PASSIVE);
    TFragment passive("<PUBLISH><PASSIVE>no</PASSIVE><PROTOCOL>FTPS</PROTOCOL></PUBLISH>");
    TDPublish q(passive.Element());
    EXPECT_TRUE(q.PASSIVE);
    EXPECT_EQ(q.PROTOCOL, "FTPS");

    // The same for synchronising: a new project synchronises with 4 connections, one written
    // before keeps sending every file.
    EXPECT_FALSE(p.SYNC);
    EXPECT_EQ(p.JOBS, 4);
    EXPECT_TRUE(TDPublish().SYNC);
    EXPECT_EQ(TDPublish().JOBS, 4);
}

TEST(Records, PublishJobsAreClampedToOneToEight) {
    struct TCase {
        const char* Xml;
        bool Sync;
        std::int32_t Jobs;
    };
    const TCase cases[] = {
        {"<PUBLISH><SYNC/></PUBLISH>", true, 4},
        {"<PUBLISH><SYNC>no</SYNC><JOBS>1</JOBS></PUBLISH>", true, 1},
        {"<PUBLISH><JOBS>8</JOBS></PUBLISH>", false, 8},
        {"<PUBLISH><JOBS>0</JOBS></PUBLISH>", false, 1},
        {"<PUBLISH><JOBS>-3</JOBS></PUBLISH>", false, 1},
        {"<PUBLISH><JOBS>9</JOBS></PUBLISH>", false, 8},
        {"<PUBLISH><JOBS>$7FFFFFFF</JOBS></PUBLISH>", false, 8},
        {"<PUBLISH><JOBS> 3</JOBS></PUBLISH>", false, 3},
    };
    for (const TCase& c : cases) {
        TFragment fragment(c.Xml);
        TDPublish p(fragment.Element());
        EXPECT_EQ(p.SYNC, c.Sync) << c.Xml;
        EXPECT_EQ(p.JOBS, c.Jobs) << c.Xml;
    }
    TFragment wrong("<PUBLISH><SYNC/><JOBS>four</JOBS></PUBLISH>");
    try {
        TDPublish p(wrong.Element());
        ADD_FAILURE() << "JOBS \"four\" was read";
    } catch (const TError& e) {
        EXPECT_EQ(e.Message(), "'four' is not a valid integer value");
    }
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
    TDTopic t2Back = t2;
    t2Back.LOGO_WIDTH = 0; // the width went with the empty logo
    EXPECT_EQ(RoundTrip(t2, "TOPIC"), t2Back);

    TFragment kindOnly("<HOTSPOT><KIND>Download</KIND><URL>x</URL></HOTSPOT>");
    TDHotspot h(kindOnly.Element());
    EXPECT_EQ(h.KIND, "Link");
    EXPECT_EQ(h.URL, "");

    TDHotspot written;
    written.KIND = "Download";
    written.URL = "File1.zip";
    EXPECT_EQ(SavedXml(written, "HOTSPOT"),
              "<HOTSPOT><TITLE/><TEXT/><POSITION>Title On Top</POSITION></HOTSPOT>");
    TDHotspot writtenBack = written;
    writtenBack.KIND = "Link"; // kind and address went with the empty link
    writtenBack.URL = "";
    EXPECT_EQ(RoundTrip(written, "HOTSPOT"), writtenBack);

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
    EXPECT_EQ(defaults.Values[4], "Wednesday");
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
              "<MONDAY>Montag</MONDAY><TUESDAY>Tuesday</TUESDAY><WEDNESDAY>Wednesday</WEDNESDAY>"
              "<THURSDAY>Thursday</THURSDAY><FRIDAY>Friday</FRIDAY><SATURDAY>Saturday</SATURDAY>"
              "<SUNDAY>Sunday</SUNDAY><SETASHOMEPAGE>Set as homepage</SETASHOMEPAGE>"
              "<ADDTOFAVORITE>Add to favorite</ADDTOFAVORITE><CONTACTUS>Contact us</CONTACTUS>"
              "<ADDRESS>Address</ADDRESS><TEL>Tel</TEL><FAX/><EMAIL>E-mail</EMAIL>"
              "<PREVIOUS>Previous</PREVIOUS><NEXT>Next</NEXT></LANGUAGE>");

    // Documents written with the old misspelt default keep it: a stored text is never
    // corrected, and it is written back as it was read.
    TFragment old("<LANGUAGE><WEDNESDAY>Wendesday</WEDNESDAY></LANGUAGE>");
    TDLanguage oldLang(old.Element());
    EXPECT_EQ(oldLang.Values[4], "Wendesday");
    EXPECT_EQ(oldLang.Lookup("WEDNESDAY"), "Wendesday");
    EXPECT_NE(SavedXml(oldLang, "LANGUAGE").find("<WEDNESDAY>Wendesday</WEDNESDAY>"),
              std::string::npos);
}

// The Modern pages' five words: after the 18, only in a table that has them, so a Classic
// table reads and writes as it always did.
TEST(Records, TheModernWordsFollowTheEighteen) {
    TDLanguage classic;
    EXPECT_FALSE(classic.HasModernEntries());
    // A table without them still answers their English text.
    EXPECT_EQ(classic.Lookup("READ_MORE"), "Read more");
    const std::string classicXml = SavedXml(classic, "LANGUAGE");
    classic.RemoveModernEntries(); // nothing to remove
    EXPECT_EQ(SavedXml(classic, "LANGUAGE"), classicXml);

    TDLanguage german;
    german.AddModernEntries("de-AT"); // the language's words when the region has none
    ASSERT_EQ(german.Count, 23);
    german.AddModernEntries("fr"); // only once
    ASSERT_EQ(german.Count, 23);
    const std::string xml = SavedXml(german, "LANGUAGE");
    EXPECT_EQ(xml.substr(classicXml.size() - std::string("</LANGUAGE>").size()),
              "<SKIP_TO_CONTENT>Zum Inhalt springen</SKIP_TO_CONTENT>"
              "<PAGE_NOT_FOUND>Seite nicht gefunden</PAGE_NOT_FOUND>"
              "<BACK_TO_HOMEPAGE>Zurück zur Startseite</BACK_TO_HOMEPAGE><MENU>Menü</MENU>"
              "<READ_MORE>Weiterlesen</READ_MORE></LANGUAGE>");
    EXPECT_EQ(RoundTrip(german, "LANGUAGE"), german);
    // Another language for the site: the words still German become French, one the user
    // wrote stays.
    german.Values[21] = "Navigation";
    TDLanguage french = german;
    french.ChangeModernLanguage("de", "fr");
    EXPECT_EQ(french.Lookup("READ_MORE"), "Lire la suite");
    EXPECT_EQ(french.Lookup("MENU"), "Navigation");
    german.RemoveModernEntries();
    EXPECT_EQ(SavedXml(german, "LANGUAGE"), classicXml);

    // One of the keys in a document brings all five, the others in English; a language
    // without words of its own gets English ones.
    TFragment one("<LANGUAGE><MENU>Menu principal</MENU></LANGUAGE>");
    const TDLanguage read(one.Element());
    ASSERT_TRUE(read.HasModernEntries());
    EXPECT_EQ(read.Lookup("MENU"), "Menu principal");
    EXPECT_EQ(read.Lookup("SKIP_TO_CONTENT"), "Skip to content");
    TDLanguage unknown;
    unknown.AddModernEntries("tlh");
    EXPECT_EQ(unknown.Lookup("PAGE_NOT_FOUND"), "Page not found");
}

// ---- Template forms.
TEST(Records, TemplateForms) {
    TDTopic topic;
    topic.POSITION = "Right (Vertical)";
    topic.LOGO = "Logo.gif";
    EXPECT_EQ(TemplateXml(topic, "TOPIC"), "<TOPIC><POSITION>Right (Vertical)</POSITION></TOPIC>");
    TDTopic back; // every other field has its default
    back.POSITION = "Right (Vertical)";
    EXPECT_EQ(TemplateRoundTrip(topic, "TOPIC"), back);

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

TEST(Records, PageIdsAreMadeOnceAndDiffer) {
    std::set<std::string> ids;
    for (int i = 0; i < 200; ++i) {
        const std::string id = NewPageId();
        EXPECT_TRUE(IsPageId(id)) << id;
        ids.insert(id);
    }
    EXPECT_EQ(ids.size(), 200U);
    for (const char* notAnId : {"", "abcdefg", "abcdefghj", "ABCDEFGH", "abcdefg0", "abcd efg"})
        EXPECT_FALSE(IsPageId(notAnId)) << notAnId;
    TDPage page;
    const std::string first = EnsurePageId(page);
    EXPECT_EQ(EnsurePageId(page), first);
    page.ID = "kept";
    EXPECT_EQ(EnsurePageId(page), "kept");
}

// The welcome bar: date script, links and their separators, and the two cells.
#include "GeneratorFixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The three links as the default translations and the test project below write them.
const std::string HomeLink =
    "<a href=\"http://www.example.com\" "
    "onClick=\"this.style.behavior='url(#default#homepage)';this.setHomePage('http://"
    "www.example.com');\" class=\"Welcome\">Set as homepage</a>";
const std::string FavoriteLink = "<a "
                                 "href=\"javascript:window.external.AddFavorite('http://"
                                 "www.example.com','Fresh Bread Daily')\" "
                                 "class=\"Welcome\">Add to favorite</a>";
const std::string ContactLink =
    "<a href=\"mailto:info@example.com\" class=\"Welcome\">Contact us</a>";

// The date script with the given weekdays (Sunday first) and greeting words.
std::string DateScript(const std::vector<std::string>& days, const std::string& welcome,
                       const std::string& todayIs) {
    return Lines(
        {"<script language=JavaScript>", "<!--", "var today = new Date();", "var day;", "var date;",
         "if(today.getDay() == 0) day = \"" + days[0] + "\";",
         "if(today.getDay() == 1) day = \"" + days[1] + "\";",
         "if(today.getDay() == 2) day = \"" + days[2] + "\";",
         "if(today.getDay() == 3) day = \"" + days[3] + "\";",
         "if(today.getDay() == 4) day = \"" + days[4] + "\";",
         "if(today.getDay() == 5) day = \"" + days[5] + "\";",
         "if(today.getDay() == 6) day = \"" + days[6] + "\";",
         "date = today.getFullYear() + \"-\" + (today.getMonth() + 1) + \"-\" + "
         "today.getDate();",
         "document.write(\"" + welcome + " " + todayIs + " [\" + date + \", \" + day + \"]\");",
         "-->", "</script>"});
}

const std::vector<std::string> DefaultDays = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                              "Thursday", "Friday", "Saturday"};

class WelcomeBarTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TDProject& p = *F.Project;
        p.TOPIC.DOMAIN = "http://www.example.com";
        p.TOPIC.CAPTION = "Fresh Bread Daily";
        p.FOOT.EMAIL = "info@example.com";
    }
    // Sets the translation of key, which must be in the table.
    void Translation(const std::string& key, const std::string& value) {
        TDLanguage& language = F.Project->LANGUAGE;
        for (int i = 0; i < language.Count; ++i)
            if (language.Keys[i] == key) {
                language.Values[i] = value;
                return;
            }
        FAIL() << "no key " << key;
    }
    void Links(bool homepage, bool favorite, bool contact) {
        F.Project->WELCOME.HAS_HOMEPAGE = homepage;
        F.Project->WELCOME.HAS_FAVORITE = favorite;
        F.Project->WELCOME.HAS_CONTACT = contact;
    }
    TGeneratorFixture F;
};

TEST_F(WelcomeBarTest, LinksAndSeparators) {
    struct TCase {
        bool Homepage, Favorite, Contact;
        std::vector<std::string> Expected;
    };
    const TCase cases[] = {
        {false, false, false, {}},
        {true, false, false, {HomeLink}},
        {false, true, false, {FavoriteLink}},
        {false, false, true, {ContactLink}},
        {true, true, false, {HomeLink, " | ", FavoriteLink}},
        {true, false, true, {HomeLink, " | ", ContactLink}},
        {false, true, true, {FavoriteLink, " | ", ContactLink}},
        {true, true, true, {HomeLink, " | ", FavoriteLink, " | ", ContactLink}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.Homepage) + std::to_string(c.Favorite) +
                     std::to_string(c.Contact));
        Links(c.Homepage, c.Favorite, c.Contact);
        EXPECT_EQ(F.Capture(WriteWelcomeLinks), CrLfLines(c.Expected));
    }
}

TEST_F(WelcomeBarTest, LinksTakeTheirWordsAndPlainValuesAsTheyStand) {
    Links(true, true, true);
    TDProject& p = *F.Project;
    p.TOPIC.DOMAIN = "http://b\xe4"
                     "ckerei.example/?a=1&b=2";
    p.TOPIC.CAPTION = "Tom's \"Bakery\"";
    p.FOOT.EMAIL = "";
    Translation("SETASHOMEPAGE", "Als Startseite");
    Translation("ADDTOFAVORITE", "<b>Favorit</b>");
    // Spelled in small letters the key no longer matches: the link shows the key itself.
    for (int i = 0; i < p.LANGUAGE.Count; ++i)
        if (p.LANGUAGE.Keys[i] == "CONTACTUS")
            p.LANGUAGE.Keys[i] = "contactus";
    EXPECT_EQ(F.Capture(WriteWelcomeLinks),
              Lines({"<a href=\"http://b\xe4"
                     "ckerei.example/?a=1&b=2\" "
                     "onClick=\"this.style.behavior='url(#default#homepage)';this.setHomePage('"
                     "http://b\xe4"
                     "ckerei.example/?a=1&b=2');\" class=\"Welcome\">Als "
                     "Startseite</a>",
                     " | ",
                     "<a href=\"javascript:window.external.AddFavorite('http://"
                     "b\xe4"
                     "ckerei.example/?a=1&b=2','Tom\\'s &quot;Bakery&quot;')\" "
                     "class=\"Welcome\"><b>Favorit</b></a>",
                     " | ", "<a href=\"mailto:\" class=\"Welcome\">CONTACTUS</a>"}));
}

// A value and what it becomes inside a string of the page's script code.
struct TEscapeCase {
    const char* Name;
    std::string Value;
    std::string Escaped;
};

TEST_F(WelcomeBarTest, DateScriptEscapesItsWords) {
    const TEscapeCase cases[] = {
        {"plain", "Heute ist", "Heute ist"},
        {"multi-byte letters",
         "Gr\xC3\xBC\xC3\x9F"
         "e",
         "Gr\xC3\xBC\xC3\x9F"
         "e"},
        {"apostrophe", "Joe's", "Joe's"},
        {"quote", "Say \"hi\"", "Say \\\"hi\\\""},
        {"backslash", "C:\\dir\\", "C:\\\\dir\\\\"},
        {"escaped quote", "\\\"", "\\\\\\\""},
        {"CR LF", "one\r\ntwo", "one\\r\\ntwo"},
        {"LF", "one\ntwo", "one\\ntwo"},
        {"CR", "one\rtwo", "one\\rtwo"},
        {"closing script tag", "</script><script>alert(1)</script>",
         "<\\/script><script>alert(1)<\\/script>"},
        {"markup", "<b>bold</b>", "<b>bold<\\/b>"},
        {"lone angle and slash", "a < b / c <", "a < b / c <"},
        {"entity", "&quot;", "&quot;"},
    };
    const char* const keys[9] = {"SUNDAY", "MONDAY",   "TUESDAY", "WEDNESDAY", "THURSDAY",
                                 "FRIDAY", "SATURDAY", "WELCOME", "TODAY_IS"};
    for (const TEscapeCase& c : cases) {
        SCOPED_TRACE(c.Name);
        for (const char* key : keys)
            Translation(key, c.Value);
        EXPECT_EQ(F.Capture(WriteDateScript),
                  DateScript(std::vector<std::string>(7, c.Escaped), c.Escaped, c.Escaped));
    }

    // Each word is escaped on its own; the script's own quotes around them stay.
    for (const char* key : keys)
        Translation(key, "Say \"hi\"");
    Translation("WELCOME", "\"");
    Translation("TODAY_IS", "\\");
    Translation("WEDNESDAY", "Mi'\"");
    std::vector<std::string> days(7, "Say \\\"hi\\\"");
    days[3] = "Mi'\\\"";
    EXPECT_EQ(F.Capture(WriteDateScript), DateScript(days, "\\\"", "\\\\"));
}

TEST_F(WelcomeBarTest, LinkCodeEscapesTheAddressAndCaption) {
    Links(true, true, false);
    const TEscapeCase cases[] = {
        {"plain", "Fresh Bread", "Fresh Bread"},
        {"multi-byte letters",
         "B\xC3\xA4"
         "ckerei",
         "B\xC3\xA4"
         "ckerei"},
        {"apostrophe", "Joe's Club", "Joe\\'s Club"},
        {"quote", "Say \"hi\"", "Say &quot;hi&quot;"},
        {"backslash", "C:\\dir\\", "C:\\\\dir\\\\"},
        {"escaped apostrophe", "\\'", "\\\\\\'"},
        {"CR LF", "one\r\ntwo", "one\\r\\ntwo"},
        {"LF", "one\ntwo", "one\\ntwo"},
        {"CR", "one\rtwo", "one\\rtwo"},
        // Inside an attribute a closing tag closes nothing: it stays.
        {"closing script tag", "</script>", "</script>"},
        {"entity", "&amp;", "&amp;"},
    };
    for (const TEscapeCase& c : cases) {
        SCOPED_TRACE(c.Name);
        F.Project->TOPIC.DOMAIN = "http://x/" + c.Value;
        F.Project->TOPIC.CAPTION = c.Value;
        Translation("SETASHOMEPAGE", c.Value);
        Translation("ADDTOFAVORITE", c.Value);
        // The plain href and the link texts take the values as they stand.
        EXPECT_EQ(F.Capture(WriteWelcomeLinks),
                  Lines({"<a href=\"http://x/" + c.Value +
                             "\" onClick=\"this.style.behavior='url(#default#homepage)';"
                             "this.setHomePage('http://x/" +
                             c.Escaped + "');\" class=\"Welcome\">" + c.Value + "</a>",
                         " | ",
                         "<a href=\"javascript:window.external.AddFavorite('http://x/" + c.Escaped +
                             "','" + c.Escaped + "')\" class=\"Welcome\">" + c.Value + "</a>"}));
    }

    // The address and the caption are escaped each on its own.
    F.Project->TOPIC.DOMAIN = "http://x/?q='";
    F.Project->TOPIC.CAPTION = "\"";
    Translation("ADDTOFAVORITE", "Add");
    Links(false, true, false);
    EXPECT_EQ(F.Capture(WriteWelcomeLinks),
              Lines({"<a href=\"javascript:window.external.AddFavorite('http://x/?q=\\'','&quot;')"
                     "\" class=\"Welcome\">Add</a>"}));
}

TEST_F(WelcomeBarTest, DateScriptTranslations) {
    EXPECT_EQ(F.Capture(WriteDateScript), DateScript(DefaultDays, "Welcome", "Today is"));

    // Each weekday goes to its own getDay() number.
    const std::vector<std::string> german = {"Sonntag",    "Montag",  "Dienstag", "Mittwoch",
                                             "Donnerstag", "Freitag", "Samstag"};
    const char* const keys[7] = {"SUNDAY",   "MONDAY", "TUESDAY", "WEDNESDAY",
                                 "THURSDAY", "FRIDAY", "SATURDAY"};
    for (int d = 0; d < 7; ++d)
        Translation(keys[d], german[static_cast<std::size_t>(d)]);
    Translation("WELCOME", "Willkommen!");
    Translation("TODAY_IS", "Heute ist");
    EXPECT_EQ(F.Capture(WriteDateScript), DateScript(german, "Willkommen!", "Heute ist"));

    // An empty translation is used as it stands, leaving the blanks around it.
    Translation("TODAY_IS", "");
    Translation("MONDAY", "");
    std::vector<std::string> days = german;
    days[1] = "";
    EXPECT_EQ(F.Capture(WriteDateScript), DateScript(days, "Willkommen!", ""));
}

TEST_F(WelcomeBarTest, DatePositionChoosesTheCells) {
    Links(true, false, true);
    const std::string links = Lines({HomeLink, " | ", ContactLink});
    const std::string date = DateScript(DefaultDays, "Welcome", "Today is");
    struct TCase {
        const char* Position;
        std::string Left, Right;
    };
    const TCase cases[] = {
        {"Date On Left", date, links},
        {"Date On Right", links, date},
        // Neither value, nor a spelling in other letters: the links go into both cells.
        {"date on left", links, links},
        {"", links, links},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Position);
        F.Project->WELCOME.POSITION = c.Position;
        EXPECT_EQ(F.Capture(WriteWelcomeBar),
                  Lines({"<table width=\"100%\" height=\"16\" border=\"0\" class=\"Welcome\">",
                         "<tr><td align=\"left\">"}) +
                      c.Left + Lines({"</td>", "<td align=\"right\">"}) + c.Right +
                      Lines({"</td></tr>", "</table>"}));
    }
}

TEST_F(WelcomeBarTest, EmptyCellAndHeight) {
    Links(false, false, false);
    for (int height : {0, 25, -3}) {
        SCOPED_TRACE(height);
        F.Project->SIZE.WELCOME_HEIGHT = height;
        EXPECT_EQ(F.Capture(WriteWelcomeBar),
                  Lines({"<table width=\"100%\" height=\"" + std::to_string(height) +
                             "\" border=\"0\" class=\"Welcome\">",
                         "<tr><td align=\"left\">"}) +
                      DateScript(DefaultDays, "Welcome", "Today is") +
                      Lines({"</td>", "<td align=\"right\">", "</td></tr>", "</table>"}));
    }
}

} // namespace

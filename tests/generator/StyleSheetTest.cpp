// The style sheet, HTML colours and charset names.

#include "GeneratorFixture.h"
#include "platform/CharsetEncoder.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <vector>

namespace {

struct TColorCase {
    std::uint32_t Value;
    const char* Html;
};

TEST(HtmlColor, WritesRedGreenBlueWithCapitalDigits) {
    const TColorCase cases[] = {
        {0x00FFFFFF, "#FFFFFF"}, {0x000000FF, "#FF0000"}, {0x00FF8000, "#0080FF"},
        {0x00123456, "#563412"}, {0x8000000F, "#0F0000"}, {0x00000000, "#000000"},
        {0xFF0A0B0C, "#0C0B0A"}, {0x00ABCDEF, "#EFCDAB"}, {0x7FFFFFFF, "#FFFFFF"},
    };
    for (const TColorCase& c : cases)
        EXPECT_EQ(HtmlColor(static_cast<TColor>(c.Value), false), c.Html) << std::hex << c.Value;
}

TEST(HtmlColor, TransparentGivesNothingWhateverTheColour) {
    for (std::uint32_t value : {0x00000000u, 0x00FFFFFFu, 0x80000005u, 0xFFFFFFFFu})
        EXPECT_EQ(HtmlColor(static_cast<TColor>(value), true), "");
}

struct TCharsetCase {
    const char* DisplayName;
    const char* Charset;  // in the Content-Type tag
    const char* Encoding; // iconv's name; empty: UTF-8, as held
};

TEST(CharsetName, MapsEveryDisplayNameToTheCharsetWrittenAndItsEncoding) {
    const TCharsetCase table[] = {
        {"Western (ISO-8859-1)", "ISO-8859-1", "ISO-8859-1"},
        {"Japanese (Shift JIS)", "Shift_JIS", "SHIFT_JIS"},
        {"Japanese (JIS)", "ISO-2022-JP", "ISO-2022-JP"},
        {"Japanese (EUC)", "EUC-JP", "EUC-JP"},
        {"Traditional Chinese (Big5)", "Big5", "BIG5"},
        {"Simplified Chinese (GB2312)", "GB2312", "GB2312"},
        {"Korean (EUC-KR)", "EUC-KR", "EUC-KR"},
        {"Central European (ISO-8859-2)", "ISO-8859-2", "ISO-8859-2"},
        {"Central European (Windows-1250)", "Windows-1250", "CP1250"},
        {"Cyrillic (ISO-8859-5)", "ISO-8859-5", "ISO-8859-5"},
        {"Cyrillic (KOI8-R)", "KOI8-R", "KOI8-R"},
        {"Cyrillic (MacCyrillic)", "x-mac-cyrillic", "MACCYRILLIC"},
        {"Cyrillic (Windows-1251)", "Windows-1251", "CP1251"},
        {"Greek (ISO-8859-7)", "ISO-8859-7", "ISO-8859-7"},
        {"Greek (Windows-1253)", "Windows-1253", "CP1253"},
        {"Windows 1252", "windows-1252", "CP1252"},
        {"UTF-8", "UTF-8", ""},
        // No browser reads MacCE or MacGreek: written as UTF-8, and the tag says so.
        {"Central European (MacCE)", "UTF-8", ""},
        {"Greek (MacGreek)", "UTF-8", ""},
        // So is anything else: the dialog's "Other", near misses, an empty name.
        {"Other", "UTF-8", ""},
        {"", "UTF-8", ""},
        {"utf-8", "UTF-8", ""},
        {"UTF-8 ", "UTF-8", ""},
        {"Windows-1252", "UTF-8", ""},
        {"ISO-8859-1", "UTF-8", ""},
        {"western (iso-8859-1)", "UTF-8", ""},
        {"Western (ISO-8859-1) ", "UTF-8", ""},
    };
    for (const TCharsetCase& c : table) {
        EXPECT_EQ(CharsetName(c.DisplayName), c.Charset) << c.DisplayName;
        EXPECT_EQ(CharsetEncoding(c.DisplayName), c.Encoding) << c.DisplayName;
    }
}

TEST(CharsetName, EveryEncodingTheFontDialogOffersHasACharsetTheSystemCanWrite) {
    for (const char* encoding : FontEncodings) {
        EXPECT_FALSE(CharsetName(encoding).empty()) << encoding;
        const std::string iconvName = CharsetEncoding(encoding);
        if (!iconvName.empty()) {
            EXPECT_NO_THROW(TCharsetEncoder{iconvName}) << encoding;
        }
    }
}

class StyleSheetTest : public ::testing::Test, public TGeneratorFixture {
  protected:
    std::vector<std::string> SheetLines() {
        std::string sheet = Capture(WriteStyleSheet);
        std::vector<std::string> lines;
        std::size_t from = 0;
        for (std::size_t end; (end = sheet.find("\r\n", from)) != std::string::npos; from = end + 2)
            lines.push_back(sheet.substr(from, end - from));
        EXPECT_EQ(from, sheet.size()) << "the sheet ends with CR LF";
        return lines;
    }
};

TEST_F(StyleSheetTest, DefaultsByteForByte) {
    EXPECT_EQ(
        Capture(WriteStyleSheet),
        Lines({
            "<style type=\"text/css\">",
            "A:link {COLOR: #000000; FONT-WEIGHT: normal; TEXT-DECORATION: underline}",
            "A:visited {COLOR: #000000; FONT-WEIGHT: normal; TEXT-DECORATION: underline}",
            "A:active {COLOR: #000000; FONT-WEIGHT: normal; TEXT-DECORATION: underline}",
            "A:hover {COLOR: #000000; FONT-WEIGHT: normal; TEXT-DECORATION: underline}",
            "A.SmallTitle:link {COLOR: #000000; FONT-WEIGHT: bold; TEXT-DECORATION: underline}",
            "A.SmallTitle:visited {COLOR: #000000; FONT-WEIGHT: bold; TEXT-DECORATION: underline}",
            "A.SmallTitle:active {COLOR: #000000; FONT-WEIGHT: bold; TEXT-DECORATION: underline}",
            "A.SmallTitle:hover {COLOR: #000000; FONT-WEIGHT: bold; TEXT-DECORATION: underline}",
            "A.Welcome:link {COLOR: #000000; FONT-WEIGHT: bold; TEXT-DECORATION: underline}",
            "A.Welcome:visited {COLOR: #000000; FONT-WEIGHT: bold; TEXT-DECORATION: underline}",
            "A.Welcome:active {COLOR: #000000; FONT-WEIGHT: bold; TEXT-DECORATION: underline}",
            "A.Welcome:hover {COLOR: #000000; FONT-WEIGHT: bold; TEXT-DECORATION: underline}",
            "A.Menu:link {COLOR: #000000; FONT-WEIGHT: bold; TEXT-DECORATION: underline}",
            "A.Menu:visited {COLOR: #000000; FONT-WEIGHT: bold; TEXT-DECORATION: underline}",
            "A.Menu:active {COLOR: #000000; FONT-WEIGHT: bold; TEXT-DECORATION: underline}",
            "A.Menu:hover {COLOR: #000000; FONT-WEIGHT: bold; TEXT-DECORATION: underline}",
            "A.Hotspot:link {COLOR: #000000; FONT-WEIGHT: normal; TEXT-DECORATION: underline}",
            "A.Hotspot:visited {COLOR: #000000; FONT-WEIGHT: normal; TEXT-DECORATION: underline}",
            "A.Hotspot:active {COLOR: #000000; FONT-WEIGHT: normal; TEXT-DECORATION: underline}",
            "A.Hotspot:hover {COLOR: #000000; FONT-WEIGHT: normal; TEXT-DECORATION: underline}",
            "A.Foot:link {COLOR: #000000; FONT-WEIGHT: bold; TEXT-DECORATION: underline}",
            "A.Foot:visited {COLOR: #000000; FONT-WEIGHT: bold; TEXT-DECORATION: underline}",
            "A.Foot:active {COLOR: #000000; FONT-WEIGHT: bold; TEXT-DECORATION: underline}",
            "A.Foot:hover {COLOR: #000000; FONT-WEIGHT: bold; TEXT-DECORATION: underline}",
            "<!--",
            ".Welcome {color:#000000; font-family: \"Default Font\"; font-size: 9pt; "
            "font-weight: bold}",
            ".Topic {color:#000000; font-family: \"Default Font\"; font-size: 24pt; "
            "font-weight: bold}",
            ".Menu {color:#000000; font-family: \"Default Font\"; font-size: 9pt; "
            "font-weight: bold}",
            ".HotspotTitle {color:#000000; font-family: \"Default Font\"; font-size: 9pt; "
            "font-weight: bold}",
            ".Hotspot {color:#000000; font-family: \"Default Font\"; font-size: 9pt; "
            "font-weight: normal}",
            ".Foot {color:#000000; font-family: \"Default Font\"; font-size: 9pt; "
            "font-weight: bold}",
            ".Title {color:#000000; font-family: \"Default Font\"; font-size: 14pt; "
            "font-weight: bold}",
            ".SmallTitle {color:#000000; font-family: \"Default Font\"; font-size: 9pt; "
            "font-weight: bold}",
            ".Text {color:#000000; font-family: \"Default Font\"; font-size: 9pt; "
            "font-weight: normal}",
            "-->",
            "</style>",
        }));
}

TEST_F(StyleSheetTest, ChangedColoursAndFontsByteForByte) {
    TDColor& color = Project->COLOR;
    color.TEXT = RGBColor(0x01, 0x02, 0x03);
    color.TITLE = RGBColor(0x00, 0x80, 0xFF);
    color.WELCOME_TEXT = RGBColor(0xAB, 0xCD, 0xEF);
    color.TOPIC_TEXT = RGBColor(0x10, 0x20, 0x30);
    color.MENU_TEXT = RGBColor(0xFF, 0x00, 0x00);
    color.HOTSPOT_TEXT = RGBColor(0x00, 0xFF, 0x00);
    color.FOOT_TEXT = static_cast<TColor>(0x800000FFu); // top byte ignored
    // Transparency and backgrounds play no part in the sheet.
    color.TEXT_TRANS = color.WELCOME_TRANS = color.MENU_TRANS = true;
    color.BG = color.TEXT_BG = RGBColor(9, 9, 9);
    TDFont& font = Project->FONT;
    font.FAMILY = "Arial, Helvetica, sans-serif";
    font.TOPIC = 30;
    font.MENU = 11;
    font.TITLE = 16;
    font.TEXT = 10;
    font.BOLD_TOPIC = false;
    font.BOLD_TITLE = false;
    font.BOLD_LINK = true;
    font.UNDERLINE_LINK = false;
    const std::string family = "font-family: Arial, Helvetica, sans-serif; ";
    EXPECT_EQ(
        Capture(WriteStyleSheet),
        Lines({
            "<style type=\"text/css\">",
            "A:link {COLOR: #010203; FONT-WEIGHT: bold; TEXT-DECORATION: none}",
            "A:visited {COLOR: #010203; FONT-WEIGHT: bold; TEXT-DECORATION: none}",
            "A:active {COLOR: #010203; FONT-WEIGHT: bold; TEXT-DECORATION: underline}",
            "A:hover {COLOR: #010203; FONT-WEIGHT: bold; TEXT-DECORATION: underline}",
            "A.SmallTitle:link {COLOR: #0080FF; FONT-WEIGHT: normal; TEXT-DECORATION: none}",
            "A.SmallTitle:visited {COLOR: #0080FF; FONT-WEIGHT: normal; "
            "TEXT-DECORATION: none}",
            "A.SmallTitle:active {COLOR: #0080FF; FONT-WEIGHT: normal; "
            "TEXT-DECORATION: underline}",
            "A.SmallTitle:hover {COLOR: #0080FF; FONT-WEIGHT: normal; "
            "TEXT-DECORATION: underline}",
            "A.Welcome:link {COLOR: #ABCDEF; FONT-WEIGHT: normal; TEXT-DECORATION: none}",
            "A.Welcome:visited {COLOR: #ABCDEF; FONT-WEIGHT: normal; TEXT-DECORATION: none}",
            "A.Welcome:active {COLOR: #ABCDEF; FONT-WEIGHT: normal; "
            "TEXT-DECORATION: underline}",
            "A.Welcome:hover {COLOR: #ABCDEF; FONT-WEIGHT: normal; "
            "TEXT-DECORATION: underline}",
            "A.Menu:link {COLOR: #FF0000; FONT-WEIGHT: normal; TEXT-DECORATION: none}",
            "A.Menu:visited {COLOR: #FF0000; FONT-WEIGHT: normal; TEXT-DECORATION: none}",
            "A.Menu:active {COLOR: #FF0000; FONT-WEIGHT: normal; TEXT-DECORATION: underline}",
            "A.Menu:hover {COLOR: #FF0000; FONT-WEIGHT: normal; TEXT-DECORATION: underline}",
            "A.Hotspot:link {COLOR: #00FF00; FONT-WEIGHT: bold; TEXT-DECORATION: none}",
            "A.Hotspot:visited {COLOR: #00FF00; FONT-WEIGHT: bold; TEXT-DECORATION: none}",
            "A.Hotspot:active {COLOR: #00FF00; FONT-WEIGHT: bold; "
            "TEXT-DECORATION: underline}",
            "A.Hotspot:hover {COLOR: #00FF00; FONT-WEIGHT: bold; TEXT-DECORATION: underline}",
            "A.Foot:link {COLOR: #FF0000; FONT-WEIGHT: normal; TEXT-DECORATION: none}",
            "A.Foot:visited {COLOR: #FF0000; FONT-WEIGHT: normal; TEXT-DECORATION: none}",
            "A.Foot:active {COLOR: #FF0000; FONT-WEIGHT: normal; TEXT-DECORATION: underline}",
            "A.Foot:hover {COLOR: #FF0000; FONT-WEIGHT: normal; TEXT-DECORATION: underline}",
            "<!--",
            ".Welcome {color:#ABCDEF; " + family + "font-size: 10pt; font-weight: normal}",
            ".Topic {color:#102030; " + family + "font-size: 30pt; font-weight: normal}",
            ".Menu {color:#FF0000; " + family + "font-size: 11pt; font-weight: normal}",
            ".HotspotTitle {color:#00FF00; " + family + "font-size: 10pt; font-weight: normal}",
            ".Hotspot {color:#00FF00; " + family + "font-size: 10pt; font-weight: normal}",
            ".Foot {color:#FF0000; " + family + "font-size: 10pt; font-weight: normal}",
            ".Title {color:#0080FF; " + family + "font-size: 16pt; font-weight: normal}",
            ".SmallTitle {color:#0080FF; " + family + "font-size: 10pt; font-weight: normal}",
            ".Text {color:#010203; " + family + "font-size: 10pt; font-weight: normal}",
            "-->",
            "</style>",
        }));
}

// Which rules each font flag makes bold, alone.
TEST_F(StyleSheetTest, EachBoldFlagAloneReachesItsRulesOnly) {
    struct TCase {
        const char* Flag;
        std::set<std::string> Bold; // selectors (link rules without their state)
    };
    const TCase cases[] = {
        {"none", {}},
        {"BOLD_LINK", {"A", "A.Hotspot"}},
        {"BOLD_TITLE",
         {"A.SmallTitle", "A.Welcome", "A.Menu", "A.Foot", ".Welcome", ".Menu", ".HotspotTitle",
          ".Foot", ".Title", ".SmallTitle"}},
        {"BOLD_TOPIC", {".Topic"}},
    };
    for (const TCase& c : cases) {
        TDFont& font = Project->FONT;
        const std::string flag = c.Flag;
        font.BOLD_LINK = flag == "BOLD_LINK";
        font.BOLD_TITLE = flag == "BOLD_TITLE";
        font.BOLD_TOPIC = flag == "BOLD_TOPIC";
        font.UNDERLINE_LINK = false;
        const std::vector<std::string> lines = SheetLines();
        ASSERT_EQ(lines.size(), 37u) << c.Flag;
        for (const std::string& line : lines) {
            if (line.find('{') == std::string::npos)
                continue;
            std::string selector = line.substr(0, line.find_first_of(" :"));
            bool bold = line.find("FONT-WEIGHT: bold") != std::string::npos ||
                        line.find("font-weight: bold") != std::string::npos;
            EXPECT_EQ(bold, c.Bold.count(selector) == 1) << c.Flag << ": " << line;
            // With UNDERLINE_LINK off only active and hover are underlined.
            if (line[0] == 'A') {
                bool active = line.find(":active ") != std::string::npos ||
                              line.find(":hover ") != std::string::npos;
                EXPECT_NE(
                    line.find(active ? "TEXT-DECORATION: underline}" : "TEXT-DECORATION: none}"),
                    std::string::npos)
                    << line;
            }
        }
    }
}

TEST(CssFontList, WritesTheStoredFamilyAsAFontList) {
    const std::pair<const char*, const char*> cases[] = {
        // The font dialog's families, as it stores them.
        {"Default Font", "\"Default Font\""},
        {"Arial, Helvetica, sans-serif", "Arial, Helvetica, sans-serif"},
        {"Times New Roman, Times, serif", "\"Times New Roman\", Times, serif"},
        {"Courier New, Courier, mono", "\"Courier New\", Courier, monospace"},
        {"Georgia, Times New Roman, Times, serif", "Georgia, \"Times New Roman\", Times, serif"},
        {"Verdana, Arial, Helvetica, sans-serif", "Verdana, Arial, Helvetica, sans-serif"},
        {"Geneva, Arial, Helvetica, san-serif", "Geneva, Arial, Helvetica, sans-serif"},
        // One name; the generic names bare, the two misspelt ones mended, also alone.
        {"Tahoma", "Tahoma"},
        {"Times New Roman", "\"Times New Roman\""},
        {"serif", "serif"},
        {"sans-serif", "sans-serif"},
        {"monospace", "monospace"},
        {"cursive", "cursive"},
        {"fantasy", "fantasy"},
        {"mono", "monospace"},
        {"san-serif", "sans-serif"},
        // Only those exact spellings are mended; other names are fonts of their own.
        {"Mono, monotype", "Mono, monotype"},
        {"San-Serif", "San-Serif"},
        // Blanks around names go, blanks inside a name stay and make it quoted.
        {"  Arial ,Helvetica,   sans-serif  ", "Arial, Helvetica, sans-serif"},
        {"\tCourier\t,\tmono\t", "Courier, monospace"},
        {"Times  New   Roman", "\"Times  New   Roman\""},
        {"Lucida\tConsole", "\"Lucida\tConsole\""},
        // Empty names are dropped, wherever they stand.
        {"Arial,,Helvetica", "Arial, Helvetica"},
        {",Arial,", "Arial"},
        {"Arial, , serif", "Arial, serif"},
        {"", ""},
        {" ", ""},
        {",", ""},
        {" , ,, ", ""},
    };
    for (const auto& [stored, list] : cases)
        EXPECT_EQ(CssFontList(stored), list) << "[" << stored << "]";
}

TEST_F(StyleSheetTest, ClassRulesWriteTheFontListAndKeepTheStoredFamily) {
    const std::pair<const char*, const char*> cases[] = {
        {"Courier New, Courier, mono", "\"Courier New\", Courier, monospace"},
        {"Geneva, Arial, Helvetica, san-serif", "Geneva, Arial, Helvetica, sans-serif"},
        {"Default Font", "\"Default Font\""},
    };
    for (const auto& [stored, list] : cases) {
        SCOPED_TRACE(stored);
        Project->FONT.FAMILY = stored;
        Project->FONT.TEXT = -3;
        const std::vector<std::string> lines = SheetLines();
        ASSERT_EQ(lines.size(), 37u);
        EXPECT_EQ(lines[34], std::string(".Text {color:#000000; font-family: ") + list +
                                 "; font-size: -3pt; font-weight: normal}");
        // Every class rule names the same list.
        for (std::size_t i = 26; i < 35; ++i)
            EXPECT_NE(lines[i].find(std::string("; font-family: ") + list + "; font-size: "),
                      std::string::npos)
                << lines[i];
        EXPECT_EQ(Project->FONT.FAMILY, stored);
    }
}

TEST_F(StyleSheetTest, FamilyWithoutNamesLeavesThePropertyOut) {
    for (const char* stored : {"", "  ", " , , "}) {
        SCOPED_TRACE(std::string("[") + stored + "]");
        Project->FONT.FAMILY = stored;
        const std::vector<std::string> lines = SheetLines();
        ASSERT_EQ(lines.size(), 37u);
        EXPECT_EQ(lines[26], ".Welcome {color:#000000; font-size: 9pt; font-weight: bold}");
        EXPECT_EQ(lines[34], ".Text {color:#000000; font-size: 9pt; font-weight: normal}");
        for (const std::string& line : lines)
            EXPECT_EQ(line.find("font-family"), std::string::npos) << line;
        EXPECT_EQ(Project->FONT.FAMILY, stored);
    }
}

} // namespace

// The style sheet every page carries in its head, and the two small formatting rules the
// page writers share: a project colour as an HTML colour, and the encoding's charset name.

#include "generator/Generator.h"
#include "generator/PageSkeleton.h"
#include "platform/Text.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace {

const char* Weight(bool bold) {
    return bold ? "bold" : "normal";
}

struct TCharset {
    std::string_view DisplayName;
    std::string_view Charset;  // in the Content-Type tag, as browsers know it
    std::string_view Encoding; // the same for iconv
};

// The font dialog's display names, the charset each one puts into the Content-Type tag and
// the encoding its pages are written in. Every other name, "UTF-8" and "Other" included, is
// written as UTF-8, the texts' own encoding, and says so; so are MacCE and MacGreek, which
// no browser reads.
constexpr TCharset Charsets[] = {
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
};

// Two generic names of the font dialog's list are misspelt in the stored family.
std::string_view MendedName(std::string_view name) {
    if (name == "mono")
        return "monospace";
    if (name == "san-serif")
        return "sans-serif";
    return name;
}

const TCharset* FindCharset(const std::string& displayName) {
    for (const TCharset& entry : Charsets)
        if (entry.DisplayName == displayName)
            return &entry;
    return nullptr;
}

// The pages on a phone: inside a media query, so that wider screens see exactly the rules
// above. The frame's tables (those without a class and the text area's) let their cells
// stand one below the other in the order of the page (topic, menu, text, hotspot, foot, in
// every layout), the outer table takes the screen's width, pictures shrink to it, menu
// entries wrap, no word is wider than the screen and no text is smaller than 14 pixels.
std::string NarrowScreenRules(const TDFont& font) {
    static constexpr std::string_view Frame =
        "table[cellspacing=\"0\"][cellpadding=\"0\"]:not([class])";
    static constexpr std::string_view TextArea = "table.Text[cellpadding=\"0\"]";
    static constexpr std::string_view Menu = "table.Menu[cellpadding=\"0\"]";
    std::string out;
    const auto line = [&](std::initializer_list<std::string_view> pieces) {
        for (std::string_view piece : pieces)
            out += piece;
        out += "\r\n";
    };
    line({"@media screen and (max-width: 640px) {"});
    line({"body {overflow-wrap: anywhere}"});
    line({"body > table, body > center > table {width: 100% !important}"});
    line({Frame, ", ", Frame, " > tbody, ", Frame, " > tbody > tr, ", Frame, " > tbody > tr > td, ",
          TextArea, ", ", TextArea, " > tbody, ", TextArea, " > tbody > tr, ", TextArea,
          " > tbody > tr > td, table.Welcome, table.Welcome > tbody, table.Welcome > tbody > tr, "
          "table.Welcome > tbody > tr > td {display: block; width: auto !important; height: "
          "auto !important}"});
    line({"table.Menu, table.Hotspot {width: 100% !important; height: auto !important}"});
    line({Menu, " {display: block}"});
    line({Menu, " > tbody, ", Menu, " > tbody > tr {display: contents}"});
    line({Menu,
          " > tbody > tr > td {display: inline-block; width: auto !important; padding: 4px 6px}"});
    line({Menu, " > tbody > tr > td:empty {display: none}"});
    line({Menu, " > tbody > tr > td[background] {background-size: 100% 100%}"});
    line({"img {max-width: 100%; height: auto}"});
    // The pictures of the pages keep 10 pixels on either side (hspace).
    line({"img[hspace] {max-width: calc(100% - 20px)}"});
    const std::string text = std::to_string(font.TEXT);
    const std::string menu = std::to_string(font.MENU);
    const std::string title = std::to_string(font.TITLE);
    const std::string topic = std::to_string(font.TOPIC);
    const auto size = [&](std::string_view selector, const std::string& points) {
        line({selector, " {font-size: max(14px, ", points, "pt)}"});
    };
    size(".Welcome", text);
    size(".Topic", topic);
    size(".Menu", menu);
    size(".HotspotTitle", text);
    size(".Hotspot", text);
    size(".Foot", text);
    size(".Title", title);
    size(".SmallTitle", text);
    size(".Text", text);
    line({"}"});
    return out;
}

} // namespace

std::string CssFontList(const std::string& family) {
    std::string list;
    std::string_view rest = family;
    while (true) {
        const std::size_t comma = rest.find(',');
        std::string_view name = rest.substr(0, comma);
        while (!name.empty() && IsAsciiBlank(name.front()))
            name.remove_prefix(1);
        while (!name.empty() && IsAsciiBlank(name.back()))
            name.remove_suffix(1);
        name = MendedName(name);
        if (!name.empty()) {
            if (!list.empty())
                list += ", ";
            // A name of several words goes between quotes: bare, each of its words would
            // have to be a valid identifier and none a keyword (the "Default" of "Default
            // Font"). The generic names (serif, sans-serif, monospace, cursive, fantasy)
            // hold no blank and stay bare, as they must: quoted they would name a font.
            const bool quoted = std::find_if(name.begin(), name.end(), IsAsciiBlank) != name.end();
            if (quoted)
                list += '"';
            list += name;
            if (quoted)
                list += '"';
        }
        if (comma == std::string_view::npos)
            break;
        rest.remove_prefix(comma + 1);
    }
    return list;
}

std::string HtmlColor(TColor color, bool transparent) {
    if (transparent)
        return std::string();
    static constexpr char Hex[] = "0123456789ABCDEF";
    const std::uint32_t c = static_cast<std::uint32_t>(color);
    const std::uint32_t red = c & 0xFFu, green = (c >> 8) & 0xFFu, blue = (c >> 16) & 0xFFu;
    const char text[7] = {'#',
                          Hex[red >> 4],
                          Hex[red & 15],
                          Hex[green >> 4],
                          Hex[green & 15],
                          Hex[blue >> 4],
                          Hex[blue & 15]};
    return std::string(text, sizeof text);
}

std::string CharsetName(const std::string& displayName) {
    const TCharset* charset = FindCharset(displayName);
    return charset ? std::string(charset->Charset) : std::string("UTF-8");
}

std::string CharsetEncoding(const std::string& displayName) {
    const TCharset* charset = FindCharset(displayName);
    return charset ? std::string(charset->Encoding) : std::string();
}

std::string StyleSheetText(const TDProject& project) {
    const TDColor& color = project.COLOR;
    const TDFont& font = project.FONT;
    const std::string text = HtmlColor(color.TEXT, false);
    const std::string title = HtmlColor(color.TITLE, false);
    const std::string welcome = HtmlColor(color.WELCOME_TEXT, false);
    const std::string topic = HtmlColor(color.TOPIC_TEXT, false);
    const std::string menu = HtmlColor(color.MENU_TEXT, false);
    const std::string hotspot = HtmlColor(color.HOTSPOT_TEXT, false);
    const std::string foot = HtmlColor(color.FOOT_TEXT, false);
    const char* topicWeight = Weight(font.BOLD_TOPIC);
    const char* titleWeight = Weight(font.BOLD_TITLE);
    const char* linkWeight = Weight(font.BOLD_LINK);
    const char* decoration = font.UNDERLINE_LINK ? "underline" : "none";
    const std::string topicSize = std::to_string(font.TOPIC);
    const std::string menuSize = std::to_string(font.MENU);
    const std::string titleSize = std::to_string(font.TITLE);
    const std::string textSize = std::to_string(font.TEXT);
    // A family without any name (empty, or blanks and commas only) leaves the property out of
    // the class rules: "font-family: ;" would be an invalid declaration and "" a font that
    // does not exist, while a rule without it shows the browser's own font, as an empty
    // family always did.
    const std::string families = CssFontList(font.FAMILY);

    std::string out;
    out.reserve(3072);
    out += "<style type=\"text/css\">\r\n";

    // Links: link and visited take the chosen decoration, active and hover are always
    // underlined.
    const auto links = [&](const char* prefix, const std::string& colour, const char* weight) {
        static constexpr const char* States[4] = {":link", ":visited", ":active", ":hover"};
        for (int state = 0; state < 4; ++state) {
            out += prefix;
            out += States[state];
            out += " {COLOR: ";
            out += colour;
            out += "; FONT-WEIGHT: ";
            out += weight;
            out += "; TEXT-DECORATION: ";
            out += state < 2 ? decoration : "underline";
            out += "}\r\n";
        }
    };
    links("A", text, linkWeight);
    links("A.SmallTitle", title, titleWeight);
    links("A.Welcome", welcome, titleWeight);
    links("A.Menu", menu, titleWeight);
    links("A.Hotspot", hotspot, linkWeight);
    links("A.Foot", foot, titleWeight);

    out += "<!--\r\n";
    const auto textClass = [&](const char* selector, const std::string& colour,
                               const std::string& size, const char* weight) {
        out += selector;
        out += " {color:";
        out += colour;
        if (!families.empty()) {
            out += "; font-family: ";
            out += families;
        }
        out += "; font-size: ";
        out += size;
        out += "pt; font-weight: ";
        out += weight;
        out += "}\r\n";
    };
    textClass(".Welcome", welcome, textSize, titleWeight);
    textClass(".Topic", topic, topicSize, topicWeight);
    textClass(".Menu", menu, menuSize, titleWeight);
    textClass(".HotspotTitle", hotspot, textSize, titleWeight);
    textClass(".Hotspot", hotspot, textSize, "normal");
    textClass(".Foot", foot, textSize, titleWeight);
    textClass(".Title", title, titleSize, titleWeight);
    textClass(".SmallTitle", title, textSize, titleWeight);
    textClass(".Text", text, textSize, "normal");
    if (project.OPTIONS.MOBILE)
        out += NarrowScreenRules(font);
    out += "-->\r\n";
    out += "</style>\r\n";
    return out;
}

void WriteStyleSheet(TDProject& project) {
    project.Output.Write(StyleSheetText(project));
}

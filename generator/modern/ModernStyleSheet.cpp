// corvane.css: the modern pages' style sheet.

#include "generator/modern/ModernStyleSheet.h"

#include "generator/Generator.h"
#include "generator/modern/ModernPage.h"
#include "generator/modern/ModernPalette.h"

#include "platform/FileSystem.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4g", value);
    return text;
}

void Rule(std::string& out, std::string_view text) {
    out.append(text).append("\r\n");
}

void Properties(std::string& out, const TModernPalette& p) {
    const auto property = [&](const char* name, TColor colour) {
        out.append("  --")
            .append(name)
            .append(": ")
            .append(HtmlColor(colour, false))
            .append(";\r\n");
    };
    property("page", p.Page);
    property("main-bg", p.Main);
    property("text", p.Text);
    property("title", p.Title);
    property("welcome-bg", p.WelcomeBg);
    property("welcome-text", p.WelcomeText);
    property("topic-bg", p.TopicBg);
    property("topic-text", p.TopicText);
    property("menu-bg", p.MenuBg);
    property("menu-text", p.MenuText);
    property("hotspot-bg", p.HotspotBg);
    property("hotspot-text", p.HotspotText);
    property("foot-bg", p.FootBg);
    property("foot-text", p.FootText);
}

std::string_view Alignment(const std::string& position) {
    if (position.rfind("Center", 0) == 0)
        return "center";
    if (position.rfind("Right", 0) == 0)
        return "flex-end";
    return "flex-start";
}

// Left and right of the records are the start and the end of a line: a page written from
// right to left mirrors them.
std::string_view TextAlignment(const std::string& position) {
    if (position == "Center")
        return "center";
    if (position == "Right")
        return "end";
    return "start";
}

// The site's widest width in pixels when TDSize.SCREEN gives one ("780"), else 0.
int ScreenPixels(const std::string& screen) {
    if (screen.empty() || screen.find('%') != std::string::npos)
        return 0;
    char* end = nullptr;
    const long value = std::strtol(screen.c_str(), &end, 10);
    return value > 0 && value < 100000 ? static_cast<int>(value) : 0;
}

// A font's name in lower case without its quotes, to compare with another.
std::string FontKey(std::string_view name) {
    if (name.size() >= 2 && name.front() == '"')
        name = name.substr(1, name.size() - 2);
    std::string key(name);
    for (char& c : key)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return key;
}

// A family that every browser has, which ends a list: none after it is ever used.
bool IsGenericFamily(std::string_view key) {
    for (const std::string_view generic :
         {"serif", "sans-serif", "monospace", "cursive", "fantasy", "math", "emoji", "fangsong"})
        if (key == generic)
            return true;
    return false;
}

} // namespace

std::string ModernFontList(const std::string& family) {
    // The user's fonts first; the generic family they end in, if any, last, as only the last
    // family of a list is ever reached once a generic one stands in it.
    std::vector<std::string> names;
    std::vector<std::string> keys;
    std::string generic;
    const auto add = [&](std::string_view name) {
        std::string key = FontKey(name);
        if (IsGenericFamily(key)) {
            if (generic.empty())
                generic = std::string(name);
            return;
        }
        if (std::find(keys.begin(), keys.end(), key) == keys.end()) {
            names.emplace_back(name);
            keys.push_back(std::move(key));
        }
    };
    const std::string stored = CssFontList(family);
    for (std::size_t at = 0; at < stored.size();) {
        const std::size_t comma = std::min(stored.find(", ", at), stored.size());
        add(std::string_view(stored).substr(at, comma - at));
        at = comma + 2;
    }
    // The fonts of the visitors' systems, between the user's and a sans-serif family: a
    // serif or monospace choice keeps its own fallback.
    if (generic.empty() || generic == "sans-serif")
        for (const std::string_view system : {"system-ui", "-apple-system", "\"Segoe UI\"",
                                              "Roboto", "\"Helvetica Neue\"", "Arial"})
            add(system);
    names.push_back(generic.empty() ? "sans-serif" : generic);
    std::string list;
    for (const std::string& name : names) {
        if (!list.empty())
            list += ", ";
        list += name;
    }
    return list;
}

std::string PointsAsRem(std::int64_t points, double minimum) {
    constexpr std::int64_t MostPoints = 1000;
    const double rem =
        std::max(minimum, static_cast<double>(std::min(points, MostPoints)) * 4.0 / 3.0 / 16.0);
    return Number(rem) + "rem";
}

std::string TModernStyleSheet::LayoutRules() const {
    const TDFrame& frame = FProject.FRAME;
    const TDSize& size = FProject.SIZE;
    const bool hotspot = frame.HAS_HOTSPOT;
    const std::string& layout = frame.FRAME;
    const int menu = std::clamp(size.MENU_WIDTH, 80, 600);
    const int aside = std::clamp(size.HOTSPOT_WIDTH, 80, 600);
    const int screen = ScreenPixels(size.SCREEN);
    // The text area takes what the screen leaves, and at least twice the side columns.
    const int main = std::max(screen - menu - (hotspot ? aside : 0), 2 * std::max(menu, aside));
    const auto fr = [](int share) { return "minmax(0, " + std::to_string(share) + "fr)"; };

    const bool menuOnLeft =
        layout == "Menu on left foot on bottom" || layout == "Menu on left foot on right" ||
        layout == "Topic on left foot on bottom" || layout == "Topic on left foot on right";
    const bool topicOnLeft =
        layout == "Topic on left foot on bottom" || layout == "Topic on left foot on right";
    const bool footOnRight =
        layout == "Menu on left foot on right" || layout == "Topic on left foot on right";
    const bool topicBesideMenu = layout == "Topic and menu on top";

    // Built by appending: g++ 12 warns falsely about literal + string temporaries.
    const auto join = [](std::initializer_list<std::string_view> pieces) {
        std::string text;
        for (std::string_view piece : pieces)
            text.append(piece);
        return text;
    };
    const std::string_view a = hotspot ? " aside" : "";
    const std::string_view f = hotspot ? " footer" : "";
    // The side columns are never so narrow that a word of ordinary length in a button or a
    // menu entry breaks: the hotspot's at least 12rem, the menu's 10rem. A header in the first
    // column is as wide as its longest word, up to 16rem (see below), so that the site's title
    // never runs under the menu beside it, nor squeezes the text area and the hotspot.
    const auto least = [&join](std::string_view floor, int share) {
        return join({"minmax(", floor, ", ", std::to_string(share), "fr)"});
    };
    const std::string side = hotspot ? join({" ", least("12rem", aside)}) : std::string();
    std::string columns;
    std::string rows;
    const std::string first = least(topicOnLeft || topicBesideMenu ? "min-content" : "10rem", menu);
    if (menuOnLeft || topicBesideMenu)
        columns = join({first, " ", fr(main), side});
    else
        columns = join({fr(main), side});
    if (menuOnLeft) {
        const std::string top = topicOnLeft
                                    ? join({"\"header main", a, "\""})
                                    : join({"\"header header", hotspot ? " header" : "", "\""});
        rows = join({top, " \"nav main", a, "\" ", footOnRight ? "\"nav footer" : "\"footer footer",
                     f, "\""});
    } else if (topicBesideMenu) {
        rows = join({"\"header nav", hotspot ? " nav" : "", "\" \"main main", a,
                     "\" \"footer footer", f, "\""});
    } else {
        const auto row = [&](std::string_view name) {
            return join({"\"", name, hotspot ? " " : "", hotspot ? name : "", "\""});
        };
        rows = join({row("header"), " ", row("nav"), " \"main", a, "\" ", row("footer")});
    }

    std::string out;
    Rule(out, "@media (min-width: 48em) {");
    std::string site = "  .site {grid-template-columns: " + columns +
                       "; grid-template-areas: " + rows + "; grid-template-rows: " +
                       (menuOnLeft || topicBesideMenu ? "auto 1fr auto" : "auto auto 1fr auto");
    if (screen > 0)
        site += "; max-width: " + Number(screen / 16.0) + "rem";
    site += "}";
    Rule(out, site);
    if (menuOnLeft) {
        Rule(out, "  .menu ul {flex-direction: column; align-items: stretch}");
        Rule(out, "  .menu {padding-top: 1rem}");
    }
    // The header's column is as wide as its longest word (see first): words break no more,
    // but for one longer than 16rem.
    if (topicOnLeft || topicBesideMenu)
        Rule(out, "  .site-title, .menu a {overflow-wrap: break-word; max-width: 16rem}");
    Rule(out, "}");
    return out;
}

std::string TModernStyleSheet::Text() const {
    const TDFont& font = FProject.FONT;
    const TDFrame& frame = FProject.FRAME;
    std::string out;
    out.reserve(8192);
    Rule(out, "/* Written by Corvane for this site: every page links to it. */");
    Rule(out, ":root {");
    Rule(out, "  color-scheme: light dark;");
    Properties(out, TModernPalette::Light(FProject.COLOR));
    Rule(out, "}");
    Rule(out, "@media (prefers-color-scheme: dark) {");
    Rule(out, ":root {");
    Properties(out, TModernPalette::Dark(FProject.COLOR));
    Rule(out, "}");
    Rule(out, "}");

    const std::string families = ModernFontList(font.FAMILY);
    const std::string_view bold = font.BOLD_TITLE ? "bold" : "normal";

    Rule(out, "*, *::before, *::after {box-sizing: border-box}");
    std::string html = "html {background-color: var(--page)";
    if (!frame.BACKGROUND.empty())
        html += "; background-image: url(\"" +
                TModernPage::AddressPart(FileNamePart(frame.BACKGROUND)) + "\")";
    Rule(out, html + "}");
    Rule(out, "body {margin: 0; font-family: " + families +
                  "; font-size: " + PointsAsRem(font.TEXT, 1.0) +
                  "; line-height: 1.5; color: var(--text); background-color: var(--page); "
                  "overflow-wrap: break-word}");
    Rule(out, std::string(".site {display: grid; grid-template-columns: minmax(0, 1fr); "
                          "grid-template-areas: \"header\" \"nav\" \"main\" \"aside\" "
                          "\"footer\"; min-height: 100vh; margin-block: 0; margin-inline: ") +
                  (frame.ON_LEFT ? "0 auto" : "auto") + "; background-color: var(--main-bg)}");
    Rule(out, "img {max-width: 100%; height: auto}");
    Rule(out, ":focus-visible {outline: 3px solid currentColor; outline-offset: 2px}");
    Rule(out,
         ".skip {position: absolute; inset-inline-start: 0.5rem; top: -10rem; z-index: 2; padding: "
         "0.75rem 1rem; color: var(--title); background-color: var(--main-bg)}");
    Rule(out, ".skip:focus {top: 0.5rem}");
    Rule(out, ".hidden {position: absolute; width: 1px; height: 1px; overflow: hidden; "
              "white-space: nowrap; clip-path: inset(50%)}");

    // The header: the welcome bar above the logo and the site's title.
    Rule(out, ".topic {grid-area: header; padding: 0 1rem 1rem; color: var(--topic-text); "
              "background-color: var(--topic-bg)}");
    Rule(out,
         std::string(".welcome {display: flex; flex-wrap: wrap; gap: 0 1rem; justify-content: ") +
             (FProject.WELCOME.POSITION == "Date On Right" ? "flex-end" : "flex-start") +
             "; margin: 0 -1rem; padding: 0.25rem 1rem; color: var(--welcome-text); "
             "background-color: var(--welcome-bg)}");
    Rule(out, ".welcome p {margin: 0}");
    Rule(out, ".welcome a {color: inherit; text-decoration: underline}");
    const bool vertical = FProject.TOPIC.POSITION.find("Vertical") != std::string::npos;
    Rule(out, std::string(".brand {display: flex; flex-direction: column; align-items: ") +
                  std::string(Alignment(FProject.TOPIC.POSITION)) + "; padding-top: 1rem}");
    Rule(out, std::string(".home {display: flex; flex-wrap: wrap; align-items: center; gap: "
                          "0.5rem 1rem; color: inherit; text-decoration: none") +
                  (vertical ? "; flex-direction: column" : "") + "}");
    Rule(out, ".home:hover .site-title {text-decoration: underline}");
    Rule(out, std::string(".site-title {font-size: ") + PointsAsRem(font.TOPIC, 1.25) +
                  "; line-height: 1.2; font-weight: " + (font.BOLD_TOPIC ? "bold" : "normal") +
                  "; overflow-wrap: anywhere}");
    Rule(out, ".caption {margin: 0.25rem 0 0}");

    // The menu: a wrapped row of links, each large enough for a finger. A title of one long
    // word ("Schützenbruderschaft"), here and in the header, breaks rather than widen a
    // phone's page.
    Rule(out, ".menu {grid-area: nav; background-color: var(--menu-bg)}");
    Rule(out, std::string(".menu ul {display: flex; flex-wrap: wrap; justify-content: ") +
                  std::string(Alignment(FProject.MENU.POSITION)) + "; gap: 0 " +
                  Number(std::clamp(FProject.MENU.SPACE, 0, 50) / 16.0) +
                  "rem; margin: 0; padding: 0.25rem 0.5rem; list-style: none}");
    Rule(out, std::string(".menu a {display: flex; align-items: center; min-height: 44px; "
                          "padding: 0.25rem 0.75rem; color: var(--menu-text); font-size: ") +
                  PointsAsRem(font.MENU, 1.0) + "; font-weight: " + std::string(bold) +
                  "; text-decoration: none; overflow-wrap: anywhere}");
    Rule(out, ".menu a:hover, .menu a[aria-current] {text-decoration: underline; "
              "text-decoration-thickness: 2px; text-underline-offset: 0.3em}");

    // The text area.
    Rule(out, "main {grid-area: main; min-width: 0; padding: 1rem 1rem 2rem}");
    Rule(out, "main a {color: var(--title); text-decoration: underline}");
    Rule(out, std::string("h1, h2 {color: var(--title); line-height: 1.25; font-weight: ") +
                  std::string(bold) + "}");
    Rule(out, "h1 {margin: 0.5rem 0 1rem; font-size: " +
                  PointsAsRem(std::int64_t{font.TITLE} * 5 / 4, 1.5) + "}");
    Rule(out, "h2 {margin: 1.5rem 0 0.5rem; font-size: " + PointsAsRem(font.TITLE, 1.125) + "}");
    Rule(out, "main p, main li, .text {max-width: 70ch}");
    // The tables of formatted texts, their cells aligned by class.
    // Wide tables scroll in their own box, long code lines wrap: the page never scrolls sideways.
    Rule(out, ".text table {display: block; max-width: 100%; overflow-x: auto; border-collapse: "
              "collapse; margin: 1rem 0}");
    Rule(out, ".text pre {white-space: pre-wrap; overflow-wrap: anywhere}");
    Rule(out, ".text th, .text td {border: 1px solid currentColor; padding: 0.25rem 0.5rem}");
    Rule(out, ".align-left {text-align: left}");
    Rule(out, ".align-center {text-align: center}");
    Rule(out, ".align-right {text-align: right}");
    Rule(out, ".byline {margin: 0 0 0.75rem}");
    Rule(out, ".titles {padding-inline-start: 1.25rem}");
    Rule(out, ".titles li {margin: 0.5rem 0}");
    // One column that may get narrower than a card's longest word, which then wraps.
    Rule(out, ".cards {display: grid; grid-template-columns: minmax(0, 1fr); gap: 1.5rem; "
              "margin: 0; padding: 0; list-style: none}");
    Rule(out, ".card {padding-bottom: 1.5rem; border-bottom: 1px solid currentColor}");
    Rule(out, ".card h2 {margin-top: 0}");
    Rule(out, ".thumb {float: inline-end; margin: 0 0 0.5rem; margin-inline-start: 1rem; "
              "max-width: 40%}");
    Rule(out, ".card p {margin: 0 0 0.5rem}");
    Rule(out, ".card::after {content: \"\"; display: block; clear: both}");
    Rule(out, ".entry {margin-bottom: 2rem}");
    Rule(out, "figure {margin: 1rem 0}");
    Rule(out, std::string(".framed img {border: 1px solid currentColor}"));
    Rule(out, ".gallery {display: grid; grid-template-columns: minmax(0, 1fr); gap: 1.5rem 1rem; "
              "margin: 0; padding: 0; list-style: none}");
    Rule(out, ".gallery figure {margin: 0; text-align: center}");
    Rule(out, ".gallery a {display: block; text-decoration: none}");
    Rule(out, ".gallery figcaption {margin-top: 0.25rem; text-decoration: underline}");
    // As many columns as the style asks for where the text area has room for them, fewer
    // where it has not: a column never narrower than 11rem, where a date or a caption's word
    // keeps whole (one column on a phone).
    for (int across = 2; across <= 4; ++across) {
        std::string rule = ".gallery-";
        rule.append(std::to_string(across))
            .append(" {grid-template-columns: repeat(auto-fill, minmax(max(11rem, (100% - ")
            .append(std::to_string(across - 1))
            .append("rem) / ")
            .append(std::to_string(across))
            .append("), 1fr))}");
        Rule(out, rule);
    }
    Rule(out, ".actions {margin: 1rem 0}");
    Rule(out, ".button {display: inline-flex; align-items: center; justify-content: center; "
              "min-width: 44px; min-height: 44px; max-width: 100%; padding: 0.5rem 1.25rem; "
              "border-radius: 0.375rem; color: var(--main-bg); background-color: var(--title); "
              "font-weight: bold; text-align: center; text-decoration: none; overflow-wrap: "
              "break-word}");
    Rule(out, "main .button {color: var(--main-bg)}");
    Rule(out, ".button:hover {text-decoration: underline}");
    Rule(out, ".button:focus-visible {outline-color: var(--title)}");
    Rule(out, ".pager ul {display: flex; flex-wrap: wrap; justify-content: space-between; gap: "
              "1rem; margin: 2rem 0 0; padding: 0; list-style: none}");
    Rule(out, ".pager a {display: inline-flex; align-items: center; min-height: 44px; "
              "padding: 0.25rem 0.5rem}");
    Rule(out, ".pager .next {margin-inline-start: auto}");

    // The hotspot column and the foot.
    Rule(out, ".hotspot {grid-area: aside; padding: 1rem; color: var(--hotspot-text); "
              "background-color: var(--hotspot-bg)}");
    Rule(out, ".hotspot h2 {margin-top: 0; color: inherit}");
    Rule(out, ".hotspot a {color: inherit; text-decoration: underline}");
    Rule(out, ".hotspot .button {padding-inline: 0.75rem; color: var(--hotspot-bg); "
              "background-color: var(--hotspot-text); text-decoration: none}");
    Rule(out, ".hotspot .button:focus-visible {outline-color: var(--hotspot-text)}");
    Rule(out, std::string(".foot {grid-area: footer; padding: 1rem; color: var(--foot-text); "
                          "background-color: var(--foot-bg); text-align: ") +
                  std::string(TextAlignment(FProject.FOOT.POSITION)) + "}");
    Rule(out, ".foot p, .foot address {margin: 0.25rem 0; font-style: normal}");
    Rule(out, ".foot a {color: inherit; text-decoration: underline}");
    out += LayoutRules();
    Rule(out, "@media print {");
    Rule(out, "  .menu, .hotspot, .skip, .pager {display: none}");
    Rule(out, "  .site {display: block}");
    Rule(out, "  html, body, .site, .topic, .welcome, .foot {color: #000000; background: none}");
    Rule(out, "}");
    return out;
}

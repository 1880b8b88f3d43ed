// Any text as a Markdown page: the HTML is well-formed (only the renderer's own tags and
// attributes, every element closed in order, every "&" one of the renderer's references),
// holds no script, and links and pictures lead only where the pages may. The input's first
// byte chooses how the page around the text wants it (the level of its first heading, table
// cells aligned by class as the Modern pages have them, or by attribute).
#include "generator/Generator.h"
#include "generator/MarkdownRenderer.h"
#include "generator/TextPieces.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

class TFuzzTargets : public TMarkdownTargets {
  public:
    std::string SiteLink(std::string_view kind, std::string_view name) override {
        if (kind == "page" && name == "abcdefgh")
            return "Page1_2.htm";
        if (kind == "download" && name == "a.pdf")
            return "a.pdf";
        return std::string();
    }
    bool Picture(std::string_view name, std::string_view alt, std::string_view title,
                 std::string& html) override {
        if (name != "p.gif")
            return false;
        html += "<img src=\"p.gif\" alt=\"";
        html += alt;
        html += "\" title=\"";
        html += title;
        html += "\" width=\"1\" height=\"1\">";
        return true;
    }
};

void Fail() {
    std::abort();
}

bool StartsWith(std::string_view text, std::string_view start) {
    return text.substr(0, start.size()) == start;
}

bool StartsWithNoCase(std::string_view text, std::string_view start) {
    if (text.size() < start.size())
        return false;
    for (std::size_t i = 0; i < start.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != start[i])
            return false;
    }
    return true;
}

// The references the renderer writes, and nothing else after an "&".
void CheckReferences(std::string_view text) {
    for (std::size_t at = text.find('&'); at != std::string_view::npos;
         at = text.find('&', at + 1)) {
        const std::string_view rest = text.substr(at);
        if (!StartsWith(rest, "&amp;") && !StartsWith(rest, "&lt;") && !StartsWith(rest, "&gt;") &&
            !StartsWith(rest, "&quot;"))
            Fail();
    }
}

std::string Unescaped(std::string_view value) {
    std::string out;
    for (std::size_t at = 0; at < value.size();) {
        if (StartsWith(value.substr(at), "&amp;")) {
            out += '&';
            at += 5;
        } else if (StartsWith(value.substr(at), "&quot;")) {
            out += '"';
            at += 6;
        } else if (StartsWith(value.substr(at), "&lt;")) {
            out += '<';
            at += 4;
        } else if (StartsWith(value.substr(at), "&gt;")) {
            out += '>';
            at += 4;
        } else {
            out += value[at++];
        }
    }
    return out;
}

// The layout of this input, which some attributes and the headings follow.
TMarkdownRenderer::TLayout Layout;

// A table cell's alignment: by class or by attribute, as the layout asks, one of three.
void CheckAlignment(std::string_view tag, std::string_view name, std::string_view value) {
    if (tag != "th" && tag != "td")
        return;
    if (name == "class") {
        if (!Layout.AlignByClass || !StartsWith(value, "align-"))
            Fail();
        value.remove_prefix(6);
    } else if (Layout.AlignByClass) {
        Fail();
    }
    if (value != "left" && value != "center" && value != "right")
        Fail();
}

// No heading above the layout's first level, none below h6.
void CheckHeading(std::string_view tag) {
    if (tag.size() != 2 || tag[0] != 'h' || tag[1] < '1' || tag[1] > '6')
        return;
    const int first = Layout.FirstHeading < 1   ? 1
                      : Layout.FirstHeading > 6 ? 6
                                                : Layout.FirstHeading;
    if (tag[1] - '0' < first)
        Fail();
}

void CheckAddress(std::string_view tag, std::string_view name, const std::string& value) {
    if (name != "href" && name != "src")
        return;
    for (const char c : value)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            Fail();
    if (tag == "img") {
        if (name == "src" && value != "p.gif")
            Fail();
        return;
    }
    if (value == "Page1_2.htm" || value == "a.pdf" || StartsWith(value, "#"))
        return;
    for (std::string_view scheme : {"http:", "https:", "mailto:", "tel:"})
        if (StartsWithNoCase(value, scheme))
            return;
    Fail();
}

struct TAllowed {
    std::string_view Tag;
    std::vector<std::string_view> Attributes;
    bool Void;
};

const TAllowed* FindTag(std::string_view tag) {
    static const std::vector<TAllowed> allowed = {
        {"p", {}, false},
        {"h1", {}, false},
        {"h2", {}, false},
        {"h3", {}, false},
        {"h4", {}, false},
        {"h5", {}, false},
        {"h6", {}, false},
        {"em", {}, false},
        {"strong", {}, false},
        {"code", {"class"}, false},
        {"del", {}, false},
        {"a", {"href", "title"}, false},
        {"ul", {}, false},
        {"ol", {"start"}, false},
        {"li", {}, false},
        {"blockquote", {}, false},
        {"pre", {}, false},
        {"table", {}, false},
        {"thead", {}, false},
        {"tbody", {}, false},
        {"tr", {}, false},
        {"th", {"align", "class"}, false},
        {"td", {"align", "class"}, false},
        {"br", {}, true},
        {"hr", {}, true},
        {"img", {"src", "alt", "title", "width", "height"}, true},
    };
    for (const TAllowed& entry : allowed)
        if (entry.Tag == tag)
            return &entry;
    return nullptr;
}

bool IsNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// Reads the tag that starts at html[at] ("<"), checks it and returns the position after it.
std::size_t CheckTag(std::string_view html, std::size_t at, std::vector<std::string>& open) {
    std::size_t i = at + 1;
    const bool closing = i < html.size() && html[i] == '/';
    if (closing)
        ++i;
    const std::size_t nameStart = i;
    while (i < html.size() && IsNameCharacter(html[i]))
        ++i;
    const std::string name(html.substr(nameStart, i - nameStart));
    const TAllowed* allowed = FindTag(name);
    if (!allowed)
        Fail();
    CheckHeading(name);
    if (closing) {
        if (i >= html.size() || html[i] != '>' || allowed->Void || open.empty() ||
            open.back() != name)
            Fail();
        open.pop_back();
        return i + 1;
    }
    // Attributes: name="value", one blank before each.
    while (i < html.size() && html[i] == ' ') {
        ++i;
        const std::size_t attributeStart = i;
        while (i < html.size() && IsNameCharacter(html[i]))
            ++i;
        const std::string_view attribute = html.substr(attributeStart, i - attributeStart);
        bool known = false;
        for (std::string_view entry : allowed->Attributes)
            known = known || entry == attribute;
        if (!known || i + 1 >= html.size() || html[i] != '=' || html[i + 1] != '"')
            Fail();
        i += 2;
        const std::size_t close = html.find('"', i);
        if (close == std::string_view::npos)
            Fail();
        const std::string_view value = html.substr(i, close - i);
        if (value.find('<') != std::string_view::npos || value.find('>') != std::string_view::npos)
            Fail();
        CheckReferences(value);
        CheckAddress(name, attribute, Unescaped(value));
        CheckAlignment(name, attribute, value);
        i = close + 1;
    }
    if (i >= html.size() || html[i] != '>')
        Fail();
    if (!allowed->Void)
        open.push_back(name);
    return i + 1;
}

// UTF-8 throughout, and no control character but tab, line feed and carriage return.
void CheckCharacters(std::string_view html) {
    for (std::size_t at = 0; at < html.size();) {
        const auto byte = static_cast<unsigned char>(html[at]);
        if ((byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') || byte == 0x7F)
            Fail();
        const std::size_t length = TextPieces::CharLength(html, at);
        if (length == 1 && byte >= 0x80)
            Fail();
        at += length;
    }
}

void CheckHtml(std::string_view html) {
    CheckCharacters(html);
    std::vector<std::string> open;
    std::size_t from = 0;
    while (from < html.size()) {
        const std::size_t tag = html.find('<', from);
        const std::string_view text =
            html.substr(from, tag == std::string_view::npos ? std::string_view::npos : tag - from);
        if (text.find('>') != std::string_view::npos)
            Fail();
        CheckReferences(text);
        if (tag == std::string_view::npos)
            break;
        from = CheckTag(html, tag, open);
    }
    if (!open.empty())
        Fail();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    // Levels 0 to 7: the renderer keeps the headings within h1 to h6 whatever it is given.
    const unsigned first = size > 0 ? data[0] : 0;
    Layout.FirstHeading = static_cast<int>(first & 7);
    Layout.AlignByClass = (first & 8) != 0;
    TFuzzTargets targets;
    CheckHtml(TMarkdownRenderer(targets, Layout).Html(text));
    const std::string plain = TMarkdownRenderer::PlainText(text);
    if (!plain.empty() && (plain.front() == ' ' || plain.back() == ' '))
        Fail();
    const TTextSummary summary = MarkdownSummary(text, 200);
    if (summary.Html.find('<') != std::string::npos)
        Fail();
    CheckReferences(summary.Html);
    TMarkdownRenderer::FirstRawHtml(text);
    return 0;
}

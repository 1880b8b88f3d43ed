// Texts typed as they are, made into markup the modern pages can carry.

#include "generator/modern/TypedHtml.h"

#include "generator/HtmlEntities.h"
#include "generator/TextPieces.h"
#include "generator/modern/PlainSummary.h"
#include "platform/Text.h"

#include <cstdint>
#include <vector>

namespace {

// Stands for a stored line break while the text is read: raw line ends are blanks before.
constexpr char Break = '\n';

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsTagSpace(char c) {
    return c == ' ' || c == '\t' || c == Break || c == '\f';
}

bool IsOneOf(std::string_view name, std::initializer_list<std::string_view> names) {
    for (const std::string_view entry : names)
        if (name == entry)
            return true;
    return false;
}

bool IsInline(std::string_view name) {
    return IsOneOf(name, {"b", "strong", "i", "em", "u", "a"});
}
bool IsList(std::string_view name) {
    return name == "ul" || name == "ol";
}
// The blocks that hold only a line's content: another block closes them.
bool IsTextBlock(std::string_view name) {
    return IsOneOf(name, {"p", "h2", "h3", "h4"});
}
// Elements whose content is code or a document of its own, left out with them.
bool IsCode(std::string_view name) {
    return IsOneOf(name, {"script", "style", "iframe", "noscript", "textarea", "title", "template",
                          "xmp", "object", "svg", "math", "noembed", "noframes"});
}

struct TTag {
    std::string Name; // in lower case
    bool End = false;
    std::vector<std::pair<std::string, std::string>> Attributes; // as typed, names in lower case
};

// Reads the tag that starts at text[at] ("<"); the index after its ">", or npos when what
// starts there is no tag (a "<" of the text).
std::size_t ReadTag(std::string_view text, std::size_t at, TTag& tag) {
    std::size_t i = at + 1;
    tag = TTag();
    if (i < text.size() && text[i] == '/') {
        tag.End = true;
        ++i;
    }
    if (i >= text.size() || !IsLetter(text[i]))
        return std::string_view::npos;
    for (; i < text.size() && !IsTagSpace(text[i]) && text[i] != '/' && text[i] != '>'; ++i)
        tag.Name += AsciiLower(text[i]);
    while (true) {
        while (i < text.size() && (IsTagSpace(text[i]) || text[i] == '/'))
            ++i;
        if (i >= text.size())
            return std::string_view::npos;
        if (text[i] == '>')
            return i + 1;
        std::string name;
        do
            name += AsciiLower(text[i++]);
        while (i < text.size() && !IsTagSpace(text[i]) && text[i] != '/' && text[i] != '>' &&
               text[i] != '=');
        while (i < text.size() && IsTagSpace(text[i]))
            ++i;
        std::string value;
        if (i < text.size() && text[i] == '=') {
            ++i;
            while (i < text.size() && IsTagSpace(text[i]))
                ++i;
            if (i < text.size() && (text[i] == '"' || text[i] == '\'')) {
                const std::size_t close = text.find(text[i], i + 1);
                if (close == std::string_view::npos)
                    return std::string_view::npos;
                value = text.substr(i + 1, close - i - 1);
                i = close + 1;
            } else {
                for (; i < text.size() && !IsTagSpace(text[i]) && text[i] != '>'; ++i)
                    value += text[i];
            }
        }
        tag.Attributes.emplace_back(std::move(name), std::move(value));
    }
}

// A character reference's code as the browser takes it: nothing, a surrogate or beyond
// Unicode is the replacement character.
void AppendCharacter(std::string& out, std::uint32_t code) {
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        code = 0xFFFD;
    AppendUtf8(out, code);
}

// An attribute's value as the browser reads it: its character references resolved (a
// number also without its ";", as browsers take it).
std::string Decoded(std::string_view value) {
    std::string out;
    for (std::size_t at = 0; at < value.size(); ++at) {
        if (value[at] != '&') {
            out += value[at];
            continue;
        }
        std::size_t i = at + 1;
        if (i < value.size() && value[i] == '#') {
            const bool hex = i + 1 < value.size() && AsciiLower(value[i + 1]) == 'x';
            i += hex ? 2 : 1;
            std::uint32_t code = 0;
            const std::size_t digits = i;
            for (; i < value.size(); ++i) {
                const char c = AsciiLower(value[i]);
                const bool digit = IsDigit(c);
                if (!digit && !(hex && c >= 'a' && c <= 'f'))
                    break;
                const std::uint32_t next =
                    code * (hex ? 16 : 10) +
                    static_cast<std::uint32_t>(digit ? c - '0' : c - 'a' + 10);
                code = next > 0x10FFFF ? 0x110000 : next;
            }
            if (i == digits) {
                out += '&';
                continue;
            }
            AppendCharacter(out, code);
            at = i < value.size() && value[i] == ';' ? i : i - 1;
            continue;
        }
        const std::size_t name = i;
        while (i < value.size() && i - name < 32 && (IsLetter(value[i]) || IsDigit(value[i])))
            ++i;
        const std::string_view text = i < value.size() && value[i] == ';'
                                          ? HtmlEntityText(value.substr(name, i - name))
                                          : std::string_view();
        if (text.empty()) {
            out += '&';
            continue;
        }
        out.append(text);
        at = i;
    }
    return out;
}

// A value for a double-quoted attribute; an address's blanks as %20.
void AppendAttribute(std::string& out, std::string_view value, bool address) {
    for (std::size_t at = 0; at < value.size();) {
        const std::size_t length = TextPieces::CharLength(value, at);
        const char c = value[at];
        if (length == 1 && static_cast<unsigned char>(c) >= 0x80)
            out += "\xEF\xBF\xBD"; // no UTF-8: the replacement character
        else if (c == '&')
            out += "&amp;";
        else if (c == '"')
            out += "&quot;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == ' ' && address)
            out += "%20";
        else
            out.append(value.substr(at, length));
        at += length;
    }
}

// The scheme of an address in lower case, or empty when it has none (relative, an anchor).
std::string AddressScheme(std::string_view address) {
    std::string scheme;
    for (const char c : address) {
        if (c == ':')
            return scheme;
        if (!IsLetter(c) && (scheme.empty() || (!IsDigit(c) && c != '+' && c != '-' && c != '.')))
            return {};
        scheme += AsciiLower(c);
    }
    return {};
}

// An address as the browser takes it from an attribute: references resolved, tabs and line
// ends dropped, blanks and control characters at either end trimmed.
std::string CleanAddress(std::string_view value) {
    std::string address;
    for (const char c : Decoded(value))
        if (c != '\t' && c != '\r' && c != Break)
            address += c;
    std::size_t from = 0, to = address.size();
    while (from < to && static_cast<unsigned char>(address[from]) <= 0x20)
        ++from;
    while (to > from && static_cast<unsigned char>(address[to - 1]) <= 0x20)
        --to;
    address = address.substr(from, to - from);
    for (const char c : address)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return {};
    return address;
}

std::string_view Attribute(const TTag& tag, std::string_view name, bool* present = nullptr) {
    for (const auto& [key, value] : tag.Attributes)
        if (key == name) {
            if (present)
                *present = true;
            return value;
        }
    return {};
}

// A width or height as a number of pixels, or empty.
std::string_view Pixels(std::string_view value) {
    if (value.empty() || value.size() > 5)
        return {};
    for (const char c : value)
        if (!IsDigit(c))
            return {};
    return value;
}

class TWriter {
  public:
    TWriter(TMarkdownTargets& targets, std::string_view title) : FTargets(targets), FTitle(title) {}

    std::string Html(std::string_view text) {
        FOut.reserve(text.size() + text.size() / 8);
        for (std::size_t at = 0; at < text.size();) {
            const char c = text[at];
            if (c == Break) {
                LineBreak();
                ++at;
            } else if (c == '<') {
                at = Markup(text, at);
            } else {
                std::size_t end = at + 1;
                while (end < text.size() && text[end] != '<' && text[end] != Break)
                    ++end;
                Text(text.substr(at, end - at));
                at = end;
            }
        }
        while (!FOpen.empty())
            CloseTop();
        return std::move(FOut);
    }

  private:
    struct TOpen {
        std::string Name;
        std::size_t Start;   // where its start tag begins in the output
        std::size_t Content; // where its content begins
    };

    bool InList() const { return !FOpen.empty() && IsList(FOpen.back().Name); }

    void Open(std::string_view name, std::string_view startTag) {
        FOpen.push_back({std::string(name), FOut.size(), FOut.size() + startTag.size()});
        FOut.append(startTag);
    }

    // Closes the innermost element; one left empty goes with its start tag.
    void CloseTop() {
        const TOpen element = FOpen.back();
        FOpen.pop_back();
        if (FOut.size() == element.Content)
            FOut.resize(element.Start);
        else
            FOut.append("</").append(element.Name).append(">");
    }

    // A block's tag: the line breaks beside it are the block's own.
    void BlockEdge() {
        FBreaks = 0;
        FAtBlockEdge = true;
    }

    void LineBreak() {
        if (!FAtBlockEdge)
            ++FBreaks;
    }

    // Before content of a line: in a list it starts an item; the waiting line breaks.
    void Phrasing() {
        if (InList()) {
            Open("li", "<li>");
            FBreaks = 0;
        }
        for (; FBreaks > 0; --FBreaks)
            FOut += "<br>";
        FAtBlockEdge = false;
    }

    void Text(std::string_view text) {
        if (text.find_first_not_of(' ') != std::string_view::npos)
            Phrasing();
        AppendModernEscaped(FOut, text);
    }

    // A block opens where the line's content and its inline tags end.
    void OpenBlock(std::string_view name) {
        BlockEdge();
        while (!FOpen.empty() && (IsInline(FOpen.back().Name) || IsTextBlock(FOpen.back().Name)))
            CloseTop();
        if (InList())
            Open("li", "<li>");
        std::string tag = "<";
        tag.append(name).append(">");
        Open(name, tag);
    }

    // Whatever starts at text[at] ("<"); the index after it.
    std::size_t Markup(std::string_view text, std::size_t at) {
        if (text.substr(at, 4) == "<!--") {
            const std::size_t end = text.find("-->", at + 4);
            return end == std::string_view::npos ? text.size() : end + 3;
        }
        if (at + 1 < text.size() && (text[at + 1] == '!' || text[at + 1] == '?')) {
            const std::size_t end = text.find('>', at);
            return end == std::string_view::npos ? text.size() : end + 1;
        }
        TTag tag;
        const std::size_t end = ReadTag(text, at, tag);
        if (end == std::string_view::npos) {
            Text("<");
            return at + 1;
        }
        if (tag.End)
            EndTag(tag.Name);
        else if (IsCode(tag.Name))
            return SkipCode(text, end, tag.Name);
        else
            StartTag(tag);
        return end;
    }

    // The index after the end tag of the code element name, or the end of the text.
    static std::size_t SkipCode(std::string_view text, std::size_t from, const std::string& name) {
        for (std::size_t at = text.find("</", from); at != std::string_view::npos;
             at = text.find("</", at + 2)) {
            TTag tag;
            const std::size_t end = ReadTag(text, at, tag);
            if (end != std::string_view::npos && tag.Name == name)
                return end;
        }
        return text.size();
    }

    void StartTag(const TTag& tag) {
        const std::string& name = tag.Name;
        if (name == "br") {
            LineBreak();
        } else if (name == "img") {
            Picture(tag);
        } else if (name == "a") {
            Link(tag);
        } else if (IsInline(name)) {
            Phrasing();
            std::string start = "<";
            start.append(name).append(">");
            Open(name, start);
        } else if (IsTextBlock(name) || IsList(name)) {
            OpenBlock(name);
        } else if (name == "li") {
            bool list = false;
            for (const TOpen& open : FOpen)
                list = list || IsList(open.Name);
            if (!list)
                return; // an item outside a list: its text alone
            BlockEdge();
            while (!InList())
                CloseTop();
            Open("li", "<li>");
        }
    }

    void EndTag(const std::string& name) {
        if (name == "br") {
            LineBreak();
            return;
        }
        std::size_t depth = FOpen.size();
        while (depth > 0 && FOpen[depth - 1].Name != name)
            --depth;
        if (depth == 0)
            return; // a tag left out, or one that closes nothing
        const bool block = !IsInline(name);
        if (block)
            BlockEdge();
        while (FOpen.size() >= depth)
            CloseTop();
        if (block)
            BlockEdge();
    }

    void Link(const TTag& tag) {
        const std::string address = CleanAddress(Attribute(tag, "href"));
        std::string href;
        if (!address.empty() && address.front() == '#') {
            href = address;
        } else if (!address.empty()) {
            const std::string scheme = AddressScheme(address);
            if (scheme.empty() || IsOneOf(scheme, {"http", "https", "mailto", "tel"}))
                href = address;
            else if (IsOneOf(scheme, {"page", "download", "image"}))
                href =
                    FTargets.SiteLink(scheme, std::string_view(address).substr(scheme.size() + 1));
        }
        if (href.empty())
            return; // its text alone
        // No link in a link: the open one ends here.
        for (std::size_t depth = FOpen.size(); depth > 0; --depth)
            if (FOpen[depth - 1].Name == "a") {
                while (FOpen.size() >= depth)
                    CloseTop();
                break;
            }
        Phrasing();
        std::string start = "<a href=\"";
        AppendAttribute(start, href, true);
        start += "\">";
        Open("a", start);
    }

    void Picture(const TTag& tag) {
        const std::string address = CleanAddress(Attribute(tag, "src"));
        // A picture says what it shows: the page's title where nothing was typed.
        std::string alt;
        const std::string_view typedAlt = Attribute(tag, "alt");
        AppendAttribute(alt, Decoded(typedAlt.empty() ? FTitle : typedAlt), false);
        const std::string scheme = AddressScheme(address);
        Phrasing();
        // A picture of the site's Images folder is sized and scaled as in a Markdown text.
        if (scheme.empty() && FTargets.PagePicture(address, alt, FOut))
            return;
        if (scheme == "image") {
            if (!FTargets.Picture(std::string_view(address).substr(6), alt, {}, FOut))
                FOut += alt; // no such picture: what it shows, in words
            return;
        }
        const bool allowed = !address.empty() && address.front() != '#' &&
                             (scheme.empty() || scheme == "http" || scheme == "https");
        if (!allowed) {
            FOut += alt;
            return;
        }
        FOut += "<img src=\"";
        AppendAttribute(FOut, address, true);
        FOut.append("\" alt=\"").append(alt).append("\"");
        const std::string_view width = Pixels(Attribute(tag, "width"));
        const std::string_view height = Pixels(Attribute(tag, "height"));
        if (!width.empty())
            FOut.append(" width=\"").append(width).append("\"");
        if (!height.empty())
            FOut.append(" height=\"").append(height).append("\"");
        FOut += '>';
    }

    TMarkdownTargets& FTargets;
    std::string_view FTitle;
    std::string FOut;
    std::vector<TOpen> FOpen;
    int FBreaks = 0;
    // At the start of the text, or just after a block's tag: a line break here is dropped.
    bool FAtBlockEdge = true;
};

} // namespace

std::string LinkAddress(std::string_view address) {
    const std::string clean = CleanAddress(address);
    if (clean.empty())
        return {};
    if (IsOneOf(AddressScheme(clean), {"javascript", "vbscript", "data"}))
        return {};
    return ModernEscaped(address);
}

std::string TTypedHtml::Html(std::string_view storedText) {
    // Raw line ends and control characters (a hand-edited project) are blanks; each stored
    // line break becomes one character the reading knows.
    // The bytes between are copied a run at a time.
    std::string text;
    text.reserve(storedText.size());
    std::size_t run = 0;
    for (std::size_t at = 0; at < storedText.size();) {
        const auto c = static_cast<unsigned char>(storedText[at]);
        if (c == '#' &&
            storedText.substr(at, TextPieces::StoredBreak.size()) == TextPieces::StoredBreak) {
            text.append(storedText.data() + run, at - run);
            text += Break;
            at += TextPieces::StoredBreak.size();
        } else if (c < 0x20 || c == 0x7F) {
            text.append(storedText.data() + run, at - run);
            text += ' ';
            ++at;
        } else {
            ++at;
            continue;
        }
        run = at;
    }
    text.append(storedText.data() + run, storedText.size() - run);
    return TWriter(FTargets, FTitle).Html(text);
}

// Texts written into the places the site options add (page titles, alt texts, the feeds and
// the sitemap) are escaped for where they stand, unlike the texts of the pages' own places,
// which may carry the user's markup.

#include "generator/Generator.h"
#include "generator/TextPieces.h"
#include "platform/Text.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace {

// Characters that XML 1.0 allows: tab, line feed, carriage return and everything from the
// blank on, apart from the surrogates and U+FFFE, U+FFFF.
bool AllowedInXml(std::uint32_t code) {
    if (code < 0x20)
        return code == 0x09 || code == 0x0A || code == 0x0D;
    return !(code >= 0xD800 && code <= 0xDFFF) && code != 0xFFFE && code != 0xFFFF &&
           code <= 0x10FFFF;
}

std::uint32_t DecodeUtf8(std::string_view text, std::size_t at, std::size_t length) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    switch (length) {
    case 2:
        return ((byte(0) & 0x1Fu) << 6) | (byte(1) & 0x3Fu);
    case 3:
        return ((byte(0) & 0x0Fu) << 12) | ((byte(1) & 0x3Fu) << 6) | (byte(2) & 0x3Fu);
    case 4:
        return ((byte(0) & 0x07u) << 18) | ((byte(1) & 0x3Fu) << 12) | ((byte(2) & 0x3Fu) << 6) |
               (byte(3) & 0x3Fu);
    default:
        return byte(0);
    }
}

// The character a reference names ("amp", "#233", "#xE9"), or 0 for one we do not know.
std::uint32_t ReferencedCharacter(std::string_view name) {
    if (name.size() >= 2 && name[0] == '#') {
        const bool hex = name[1] == 'x' || name[1] == 'X';
        std::uint32_t code = 0;
        const std::size_t from = hex ? 2 : 1;
        if (from >= name.size() || name.size() - from > 7)
            return 0;
        for (std::size_t i = from; i < name.size(); ++i) {
            const char c = name[i];
            int digit;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (hex && c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            else if (hex && c >= 'A' && c <= 'F')
                digit = c - 'A' + 10;
            else
                return 0;
            code = code * (hex ? 16u : 10u) + static_cast<std::uint32_t>(digit);
        }
        return code <= 0x10FFFF ? code : 0;
    }
    struct TNamed {
        std::string_view Name;
        std::uint32_t Code;
    };
    static constexpr TNamed Named[] = {{"amp", '&'},      {"lt", '<'},       {"gt", '>'},
                                       {"quot", '"'},     {"apos", '\''},    {"nbsp", 0xA0},
                                       {"copy", 0xA9},    {"reg", 0xAE},     {"euro", 0x20AC},
                                       {"ndash", 0x2013}, {"mdash", 0x2014}, {"hellip", 0x2026}};
    for (const TNamed& entry : Named)
        if (entry.Name == name)
            return entry.Code;
    return 0;
}

// Whether a tag ("<br>", "</p>", "<td width=1>") breaks the text where it stands, so that
// the words on either side must not run together; inline tags ("<b>", "</a>") do not.
bool BreaksText(std::string_view tag) {
    std::size_t from = 1;
    if (from < tag.size() && tag[from] == '/')
        ++from;
    std::size_t to = from;
    while (to < tag.size() &&
           ((tag[to] >= 'a' && tag[to] <= 'z') || (tag[to] >= 'A' && tag[to] <= 'Z') ||
            (tag[to] >= '0' && tag[to] <= '9')))
        ++to;
    std::string name;
    for (std::size_t i = from; i < to; ++i)
        name += static_cast<char>(tag[i] >= 'A' && tag[i] <= 'Z' ? tag[i] - 'A' + 'a' : tag[i]);
    static constexpr std::string_view Breaking[] = {"br", "p",  "div", "li",    "ul", "ol",
                                                    "tr", "td", "th",  "table", "h1", "h2",
                                                    "h3", "h4", "h5",  "h6",    "hr", "blockquote"};
    for (std::string_view entry : Breaking)
        if (entry == name)
            return true;
    return false;
}

} // namespace

std::string HtmlEscaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string XmlEscaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = TextPieces::CharLength(text, at);
        const auto lead = static_cast<unsigned char>(text[at]);
        if (length == 1 && lead >= 0x80) {
            AppendUtf8(out, 0xFFFD); // not UTF-8: the replacement character, as browsers show it
        } else {
            const std::uint32_t code = DecodeUtf8(text, at, length);
            if (AllowedInXml(code)) {
                switch (code) {
                case '&':
                    out += "&amp;";
                    break;
                case '<':
                    out += "&lt;";
                    break;
                case '>':
                    out += "&gt;";
                    break;
                case '"':
                    out += "&quot;";
                    break;
                case '\'':
                    out += "&apos;";
                    break;
                default:
                    out.append(text.substr(at, length));
                }
            }
        }
        at += length;
    }
    return out;
}

std::string PlainTextStart(std::string_view storedText, std::size_t limit) {
    // Line breaks and tags that break the text become blanks, other tags nothing, references the
    // characters they name; runs of blanks shrink to one.
    std::string plain;
    plain.reserve(storedText.size() < limit * 4 ? storedText.size() : limit * 4);
    std::size_t characters = 0;
    bool pendingBlank = false;
    const auto addBlank = [&] {
        if (!plain.empty())
            pendingBlank = true;
    };
    const auto add = [&](std::string_view character) {
        if (pendingBlank) {
            plain += ' ';
            ++characters;
            pendingBlank = false;
            if (characters >= limit)
                return;
        }
        plain.append(character);
        ++characters;
    };
    for (std::size_t at = 0; at < storedText.size() && characters < limit;) {
        const std::string_view rest = storedText.substr(at);
        if (rest.substr(0, TextPieces::StoredBreak.size()) == TextPieces::StoredBreak) {
            addBlank();
            at += TextPieces::StoredBreak.size();
            continue;
        }
        const char c = storedText[at];
        if (c == '<') {
            const std::size_t close = storedText.find('>', at);
            if (close == std::string_view::npos)
                break; // an open tag to the end: nothing of it is text
            if (BreaksText(storedText.substr(at, close - at)))
                addBlank();
            at = close + 1;
            continue;
        }
        if (c == '&') {
            const std::size_t semicolon = storedText.find(';', at);
            if (semicolon != std::string_view::npos && semicolon - at <= 10) {
                const std::uint32_t code =
                    ReferencedCharacter(storedText.substr(at + 1, semicolon - at - 1));
                if (code != 0) {
                    if (code == 0xA0 || code == ' ') {
                        addBlank();
                    } else {
                        std::string character;
                        AppendUtf8(character, code);
                        add(character);
                    }
                    at = semicolon + 1;
                    continue;
                }
            }
        }
        if (IsAsciiBlank(c)) {
            addBlank();
            ++at;
            continue;
        }
        const std::size_t length = TextPieces::CharLength(storedText, at);
        add(storedText.substr(at, length));
        at += length;
    }
    if (!plain.empty() && plain.back() == ' ')
        plain.pop_back(); // the limit fell just after a blank
    return plain;
}

std::string AltAttribute(const TDProject& project, std::string_view text) {
    if (!project.OPTIONS.ALT_TEXTS)
        return std::string();
    std::string attribute = " alt=\"";
    attribute += HtmlEscaped(text);
    attribute += '"';
    return attribute;
}

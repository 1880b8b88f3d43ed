// Plain summaries and the escaping of the modern pages.

#include "generator/modern/PlainSummary.h"

#include "generator/Generator.h"
#include "model/CPage.h"
#include "platform/Text.h"

#include "generator/TextPieces.h"

#include <cstdio>

namespace {

bool IsAsciiAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// The length of the character reference that starts at text[at] ("&amp;", "&#233;",
// "&#xE9;"), or 0 when the "&" starts none.
std::size_t ReferenceLength(std::string_view text, std::size_t at) {
    std::size_t i = at + 1;
    if (i < text.size() && text[i] == '#') {
        ++i;
        const bool hex = i < text.size() && (text[i] == 'x' || text[i] == 'X');
        if (hex)
            ++i;
        const std::size_t digits = i;
        while (
            i < text.size() && i - digits < 8 &&
            ((text[i] >= '0' && text[i] <= '9') ||
             (hex && ((text[i] >= 'a' && text[i] <= 'f') || (text[i] >= 'A' && text[i] <= 'F')))))
            ++i;
        if (i == digits)
            return 0;
    } else {
        const std::size_t name = i;
        while (i < text.size() && i - name < 32 && IsAsciiAlnum(text[i]))
            ++i;
        if (i == name)
            return 0;
    }
    return i < text.size() && text[i] == ';' ? i + 1 - at : 0;
}

// A byte that starts no well-formed UTF-8 character (a hand-edited project): the modern pages
// are UTF-8, so it is shown as the replacement character.
constexpr std::string_view Replacement = "\xEF\xBF\xBD";
bool IsIllFormed(std::string_view text, std::size_t at, std::size_t length) {
    return length == 1 && static_cast<unsigned char>(text[at]) >= 0x80;
}

// Whether a tag ("<b>", "</a>") runs inside a line of text; any other ("<br>", "<p>") parts
// the words on either side.
bool IsInlineTag(std::string_view tag) {
    std::size_t from = 1;
    if (from < tag.size() && tag[from] == '/')
        ++from;
    std::size_t to = from;
    std::string name;
    for (; to < tag.size() && IsAsciiAlnum(tag[to]); ++to)
        name += static_cast<char>(tag[to] >= 'A' && tag[to] <= 'Z' ? tag[to] - 'A' + 'a' : tag[to]);
    static constexpr std::string_view Inline[] = {"a",      "b",    "i",     "u",    "em",
                                                  "strong", "span", "small", "sub",  "sup",
                                                  "code",   "font", "mark",  "abbr", "s"};
    for (std::string_view entry : Inline)
        if (entry == name)
            return true;
    return false;
}

} // namespace

std::string PlainSummary(std::string_view storedText, std::size_t limit) {
    // The plain text as pieces of one character each (a reference is one), with the
    // positions in the result after each, so that a cut knows where the last blank stood.
    std::string out;
    std::size_t characters = 0;
    std::size_t lastBlank = std::string::npos; // length of out before the last blank
    bool pendingBlank = false;
    bool cut = false;
    bool wordEnd = false;
    const auto add = [&](std::string_view piece) {
        if (pendingBlank) {
            pendingBlank = false;
            if (characters == limit) {
                cut = true;
                wordEnd = true; // the limit fell just after a whole word
                return;
            }
            lastBlank = out.size();
            out += ' ';
            ++characters;
        }
        if (characters == limit) {
            cut = true;
            return;
        }
        out.append(piece);
        ++characters;
    };
    const std::string_view stored = TextPieces::StoredBreak;
    for (std::size_t at = 0; at < storedText.size() && !cut;) {
        if (storedText.substr(at, stored.size()) == stored) {
            pendingBlank = !out.empty();
            at += stored.size();
            continue;
        }
        const char c = storedText[at];
        if (c == '<') {
            const std::size_t close = storedText.find('>', at);
            if (close == std::string_view::npos)
                break; // a tag left open to the end holds no text
            if (!IsInlineTag(storedText.substr(at, close - at)))
                pendingBlank = !out.empty();
            at = close + 1;
            continue;
        }
        if (IsAsciiBlank(c)) {
            pendingBlank = !out.empty();
            ++at;
            continue;
        }
        if (c == '&') {
            const std::size_t length = ReferenceLength(storedText, at);
            add(length ? storedText.substr(at, length) : std::string_view("&amp;"));
            at += length ? length : 1;
            continue;
        }
        if (c == '"' || c == '>') {
            add(c == '"' ? "&quot;" : "&gt;");
            ++at;
            continue;
        }
        const std::size_t length = TextPieces::CharLength(storedText, at);
        add(IsIllFormed(storedText, at, length) ? Replacement : storedText.substr(at, length));
        at += length;
    }
    if (!cut)
        return out;
    if (!wordEnd && lastBlank != std::string::npos)
        out.resize(lastBlank);
    out += "\xE2\x80\xA6"; // …
    return out;
}

void AppendModernEscaped(std::string& out, std::string_view text) {
    // Runs of bytes taken as they are (ASCII but the four below, and well-formed UTF-8) are
    // copied at once: most of a text is such a run.
    std::size_t run = 0;
    for (std::size_t at = 0; at < text.size();) {
        const auto c = static_cast<unsigned char>(text[at]);
        if (c >= 0x80) {
            const std::size_t length = TextPieces::CharLength(text, at);
            if (length > 1) {
                at += length;
                continue;
            }
        } else if (c != '&' && c != '<' && c != '>' && c != '"') {
            ++at;
            continue;
        }
        out.append(text.data() + run, at - run);
        std::size_t next = at + 1;
        switch (c) {
        case '&': {
            const std::size_t length = ReferenceLength(text, at);
            if (length) {
                out.append(text.data() + at, length);
                next = at + length;
            } else {
                out += "&amp;";
            }
            break;
        }
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
            out += Replacement;
        }
        at = run = next;
    }
    out.append(text.data() + run, text.size() - run);
}

std::string ModernEscaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    AppendModernEscaped(out, text);
    return out;
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20 || c == '<' || c == '>' || c == '&') {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", u);
            out += escape;
        } else {
            out += c;
        }
    }
    out += '"';
    return out;
}

std::string PageSummary(const TDPage& page, std::size_t limit) {
    if (!page.IsMarkdown())
        return PlainSummary(page.TEXT, limit);
    TTextSummary summary = MarkdownSummary(page.TEXT, limit);
    if (summary.Cut)
        summary.Html += "\xE2\x80\xA6"; // …
    return summary.Html;
}

// Markdown texts as HTML through md4c's parser: the parser finds the structure, the callbacks
// here write every byte, so that nothing of the text reaches the page unescaped and no link
// leads anywhere but to the addresses we allow.

#include "generator/MarkdownRenderer.h"

#include "generator/HtmlEntities.h"
#include "generator/TextPieces.h"
#include "platform/Text.h"

#include <md4c.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view LineEnd = "\r\n";
// The parser's dialect: CommonMark with tables and strikethrough; raw HTML is text.
constexpr unsigned ParserFlags = MD_FLAG_TABLES | MD_FLAG_STRIKETHROUGH | MD_FLAG_NOHTML;

std::string_view View(const MD_CHAR* text, MD_SIZE size) {
    return {text, static_cast<std::size_t>(size)};
}

constexpr std::uint32_t ReplacementCharacter = 0xFFFD;

// The characters an entity the parser found ("&amp;", "&#233;", "&#xE9;") stands for, as
// CommonMark reads it: a number that names no character is U+FFFD, a name HTML does not
// know is the entity's own text.
void AppendEntity(std::string& out, std::string_view entity) {
    if (entity.size() < 3 || entity.front() != '&' || entity.back() != ';') {
        out.append(entity);
        return;
    }
    const std::string_view name = entity.substr(1, entity.size() - 2);
    if (name.front() == '#') {
        const bool hex = name.size() > 1 && (name[1] == 'x' || name[1] == 'X');
        std::uint32_t code = 0;
        for (std::size_t i = hex ? 2 : 1; i < name.size(); ++i) {
            const char c = name[i];
            std::uint32_t digit = 0;
            if (c >= '0' && c <= '9')
                digit = static_cast<std::uint32_t>(c - '0');
            else if (hex && c >= 'a' && c <= 'f')
                digit = static_cast<std::uint32_t>(c - 'a' + 10);
            else if (hex && c >= 'A' && c <= 'F')
                digit = static_cast<std::uint32_t>(c - 'A' + 10);
            if (code <= 0x10FFFF)
                code = code * (hex ? 16u : 10u) + digit;
        }
        if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            code = ReplacementCharacter;
        AppendUtf8(out, code);
        return;
    }
    const std::string_view text = HtmlEntityText(name);
    out.append(text.empty() ? entity : text);
}

// The bytes that stand for themselves in an element or an attribute: printable ASCII but
// & < > and ".
constexpr auto AsItIs = [] {
    std::array<bool, 256> table{};
    for (int byte = 0x20; byte < 0x7F; ++byte)
        table[std::size_t(byte)] = byte != '&' && byte != '<' && byte != '>' && byte != '"';
    return table;
}();

// Text for an element or a double-quoted attribute: & < > " as references; control
// characters (but tab, line feed and carriage return) and bytes that are not UTF-8 as U+FFFD,
// so that the page holds nothing a browser must guess at.
void AppendEscaped(std::string& out, std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        // Most of a text needs nothing: taken a run at a time.
        std::size_t plain = at;
        while (plain < text.size() && AsItIs[static_cast<unsigned char>(text[plain])])
            ++plain;
        out.append(text.substr(at, plain - at));
        at = plain;
        if (at == text.size())
            break;
        const char c = text[at];
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80) {
            const std::size_t length = TextPieces::CharLength(text, at);
            if (length == 1)
                AppendUtf8(out, ReplacementCharacter);
            else
                out.append(text.substr(at, length));
            at += length;
            continue;
        }
        ++at;
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
        case '\t':
        case '\n':
        case '\r':
            out += c;
            break;
        default:
            if (byte < 0x20 || byte == 0x7F)
                AppendUtf8(out, ReplacementCharacter);
            else
                out += c;
        }
    }
}

// An attribute of the parser (a link's address or title) as the characters it stands for.
std::string Decoded(const MD_ATTRIBUTE& attribute) {
    std::string out;
    if (attribute.size == 0)
        return out;
    for (unsigned i = 0; attribute.substr_offsets[i] < attribute.size; ++i) {
        const MD_OFFSET from = attribute.substr_offsets[i];
        const MD_OFFSET to = attribute.substr_offsets[i + 1];
        const std::string_view piece = View(attribute.text + from, to - from);
        switch (attribute.substr_types[i]) {
        case MD_TEXT_ENTITY:
            AppendEntity(out, piece);
            break;
        case MD_TEXT_NULLCHAR:
            AppendUtf8(out, ReplacementCharacter);
            break;
        default:
            out.append(piece);
        }
    }
    return out;
}

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The scheme of an address in lower case ("http", "page"), or empty when the address has
// none (a relative address, an anchor).
std::string SchemeOf(std::string_view address) {
    std::string scheme;
    for (const char c : address) {
        if (c == ':')
            return scheme;
        if (!IsAsciiLetter(c) && !(c >= '0' && c <= '9' && !scheme.empty()) && c != '+' &&
            c != '-' && c != '.')
            return std::string();
        scheme += AsciiLower(c);
    }
    return std::string();
}

// An address for an href or src attribute: blanks as %20, the rest escaped.
void AppendAddress(std::string& out, std::string_view address) {
    std::size_t from = 0;
    for (std::size_t blank; (blank = address.find(' ', from)) != std::string_view::npos;
         from = blank + 1) {
        AppendEscaped(out, address.substr(from, blank - from));
        out += "%20";
    }
    AppendEscaped(out, address.substr(from));
}

bool HasControlCharacter(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return true;
    return false;
}

// The HTML of one text, written as the parser reports its structure.
struct THtmlWriter {
    TMarkdownTargets& Targets;
    TMarkdownRenderer::TLayout Layout;
    std::string Out;
    // The open spans with the tag that closes each: none for a span inside a picture or a
    // link that is not allowed (its text only). The parser may leave a span open (an
    // emphasis whose closing mark it found inside a link's address), or close spans out of
    // order; the writer closes them itself, so that every element is closed in order.
    struct TOpenSpan {
        MD_SPANTYPE Type;
        std::string_view Close;
    };
    std::vector<TOpenSpan> Spans;
    // Inside a picture: its description is gathered as plain text for the alt attribute,
    // whatever spans it holds, pictures in it included.
    int PictureDepth = 0;
    std::string PictureAddress, PictureTitle, PictureAlt;

    // A heading's level on the page: the text's first level is the layout's, six at most.
    int HeadingLevel(const void* detail) const {
        const int level = static_cast<int>(static_cast<const MD_BLOCK_H_DETAIL*>(detail)->level);
        return std::min(6, level + std::max(Layout.FirstHeading, 1) - 1);
    }

    void Text(std::string_view text) {
        if (PictureDepth > 0)
            PictureAlt.append(text);
        else
            AppendEscaped(Out, text);
    }

    // Opens a span that writes tag and closes with close (outside pictures).
    void OpenSpan(MD_SPANTYPE type, std::string_view tag, std::string_view close) {
        if (PictureDepth > 0) {
            Spans.push_back({type, {}});
            return;
        }
        Out.append(tag);
        Spans.push_back({type, close});
    }

    // Closes the open spans down to the one at index (a picture's end writes the picture).
    void CloseSpansFrom(std::size_t index) {
        while (Spans.size() > index) {
            const TOpenSpan span = Spans.back();
            Spans.pop_back();
            if (span.Type == MD_SPAN_IMG)
                LeavePicture();
            else
                Out.append(span.Close);
        }
    }

    // The href of an address the pages may link to, or empty.
    std::string AllowedAddress(const std::string& address) {
        if (TMarkdownRenderer::IsOutsideAddress(address))
            return address;
        if (HasControlCharacter(address))
            return std::string();
        const std::string scheme = SchemeOf(address);
        if (scheme == "page" || scheme == "download" || scheme == "image")
            return Targets.SiteLink(scheme, std::string_view(address).substr(scheme.size() + 1));
        return std::string();
    }

    void EnterLink(const MD_SPAN_A_DETAIL& detail) {
        const std::string href =
            PictureDepth > 0 ? std::string() : AllowedAddress(Decoded(detail.href));
        if (href.empty()) {
            Spans.push_back({MD_SPAN_A, {}});
            return;
        }
        Spans.push_back({MD_SPAN_A, "</a>"});
        Out += "<a href=\"";
        AppendAddress(Out, href);
        Out += '"';
        const std::string title = Decoded(detail.title);
        if (!title.empty()) {
            Out += " title=\"";
            AppendEscaped(Out, title);
            Out += '"';
        }
        Out += '>';
    }

    void EnterPicture(const MD_SPAN_IMG_DETAIL& detail) {
        Spans.push_back({MD_SPAN_IMG, {}});
        if (PictureDepth++ > 0)
            return;
        PictureAddress = Decoded(detail.src);
        PictureTitle = Decoded(detail.title);
        PictureAlt.clear();
    }

    void LeavePicture() {
        if (PictureDepth == 0 || --PictureDepth > 0)
            return;
        const std::string& address = PictureAddress;
        if (!HasControlCharacter(address) && SchemeOf(address) == "image") {
            std::string alt, title;
            AppendEscaped(alt, PictureAlt);
            AppendEscaped(title, PictureTitle);
            if (Targets.Picture(std::string_view(address).substr(6), alt, title, Out))
                return;
        }
        AppendEscaped(Out, PictureAlt);
    }

    void EnterBlock(MD_BLOCKTYPE type, void* detail) {
        CloseSpansFrom(0);
        switch (type) {
        case MD_BLOCK_QUOTE:
            Out += "<blockquote>\r\n";
            break;
        case MD_BLOCK_UL:
            Out += "<ul>\r\n";
            break;
        case MD_BLOCK_OL: {
            const unsigned start = static_cast<const MD_BLOCK_OL_DETAIL*>(detail)->start;
            if (start == 1) {
                Out += "<ol>\r\n";
            } else {
                Out += "<ol start=\"";
                Out += std::to_string(start);
                Out += "\">\r\n";
            }
            break;
        }
        case MD_BLOCK_LI:
            Out += "<li>";
            break;
        case MD_BLOCK_HR:
            Out += "<hr>\r\n";
            break;
        case MD_BLOCK_H:
            Out += "<h";
            Out += std::to_string(HeadingLevel(detail));
            Out += '>';
            break;
        case MD_BLOCK_CODE: {
            const std::string language =
                Decoded(static_cast<const MD_BLOCK_CODE_DETAIL*>(detail)->lang);
            Out += "<pre><code";
            if (!language.empty()) {
                Out += " class=\"language-";
                AppendEscaped(Out, language);
                Out += '"';
            }
            Out += '>';
            break;
        }
        case MD_BLOCK_P:
            Out += "<p>";
            break;
        case MD_BLOCK_TABLE:
            Out += "<table>\r\n";
            break;
        case MD_BLOCK_THEAD:
            Out += "<thead>\r\n";
            break;
        case MD_BLOCK_TBODY:
            Out += "<tbody>\r\n";
            break;
        case MD_BLOCK_TR:
            Out += "<tr>\r\n";
            break;
        case MD_BLOCK_TH:
        case MD_BLOCK_TD: {
            Out += type == MD_BLOCK_TH ? "<th" : "<td";
            const char* const attribute = Layout.AlignByClass ? " class=\"align-" : " align=\"";
            switch (static_cast<const MD_BLOCK_TD_DETAIL*>(detail)->align) {
            case MD_ALIGN_LEFT:
                Out.append(attribute).append("left\"");
                break;
            case MD_ALIGN_CENTER:
                Out.append(attribute).append("center\"");
                break;
            case MD_ALIGN_RIGHT:
                Out.append(attribute).append("right\"");
                break;
            default:
                break;
            }
            Out += '>';
            break;
        }
        default: // the document; raw HTML blocks are not parsed
            break;
        }
    }

    void LeaveBlock(MD_BLOCKTYPE type, void* detail) {
        CloseSpansFrom(0);
        switch (type) {
        case MD_BLOCK_QUOTE:
            Out += "</blockquote>\r\n";
            break;
        case MD_BLOCK_UL:
            Out += "</ul>\r\n";
            break;
        case MD_BLOCK_OL:
            Out += "</ol>\r\n";
            break;
        case MD_BLOCK_LI:
            Out += "</li>\r\n";
            break;
        case MD_BLOCK_H:
            Out += "</h";
            Out += std::to_string(HeadingLevel(detail));
            Out += ">\r\n";
            break;
        case MD_BLOCK_CODE:
            Out += "</code></pre>\r\n";
            break;
        case MD_BLOCK_P:
            Out += "</p>\r\n";
            break;
        case MD_BLOCK_TABLE:
            Out += "</table>\r\n";
            break;
        case MD_BLOCK_THEAD:
            Out += "</thead>\r\n";
            break;
        case MD_BLOCK_TBODY:
            Out += "</tbody>\r\n";
            break;
        case MD_BLOCK_TR:
            Out += "</tr>\r\n";
            break;
        case MD_BLOCK_TH:
            Out += "</th>\r\n";
            break;
        case MD_BLOCK_TD:
            Out += "</td>\r\n";
            break;
        default:
            break;
        }
    }

    void EnterSpan(MD_SPANTYPE type, void* detail) {
        switch (type) {
        case MD_SPAN_EM:
            OpenSpan(type, "<em>", "</em>");
            break;
        case MD_SPAN_STRONG:
            OpenSpan(type, "<strong>", "</strong>");
            break;
        case MD_SPAN_A:
            EnterLink(*static_cast<const MD_SPAN_A_DETAIL*>(detail));
            break;
        case MD_SPAN_IMG:
            EnterPicture(*static_cast<const MD_SPAN_IMG_DETAIL*>(detail));
            break;
        case MD_SPAN_CODE:
            OpenSpan(type, "<code>", "</code>");
            break;
        case MD_SPAN_DEL:
            OpenSpan(type, "<del>", "</del>");
            break;
        default: // the extensions we do not ask for
            Spans.push_back({type, {}});
            break;
        }
    }

    // Closes the innermost open span of the type, and the spans opened inside it.
    void LeaveSpan(MD_SPANTYPE type) {
        for (std::size_t i = Spans.size(); i-- > 0;)
            if (Spans[i].Type == type) {
                CloseSpansFrom(i);
                return;
            }
    }

    void AddText(MD_TEXTTYPE type, std::string_view text) {
        switch (type) {
        case MD_TEXT_NULLCHAR: {
            std::string character;
            AppendUtf8(character, ReplacementCharacter);
            Text(character);
            break;
        }
        case MD_TEXT_BR:
            if (PictureDepth > 0)
                PictureAlt += ' ';
            else
                Out += "<br>\r\n";
            break;
        case MD_TEXT_SOFTBR:
            if (PictureDepth > 0)
                PictureAlt += ' ';
            else
                Out += LineEnd;
            break;
        case MD_TEXT_ENTITY: {
            std::string characters;
            AppendEntity(characters, text);
            Text(characters);
            break;
        }
        case MD_TEXT_CODE:
            // The lines of a code block end in a line feed; the pages' lines in CR LF.
            if (text == "\n" && PictureDepth == 0)
                Out += LineEnd;
            else
                Text(text);
            break;
        default: // normal text, and raw HTML, which the dialect leaves as text
            Text(text);
        }
    }
};

// What a reader sees of a text, gathered from the same parse.
struct TPlainWriter {
    std::string Out;
    bool PendingBlank = false;
    int PictureDepth = 0;
    std::size_t Enough = std::string::npos;

    // Non-zero, which stops the parser, once the text has enough.
    int Done() const { return Out.size() >= Enough ? 1 : 0; }

    void Blank() { PendingBlank = !Out.empty(); }

    void Text(std::string_view text) {
        if (PictureDepth > 0)
            return;
        for (std::size_t at = 0; at < text.size();) {
            // A word of ASCII at a time.
            std::size_t word = at;
            while (word < text.size() && static_cast<unsigned char>(text[word]) > 0x20 &&
                   static_cast<unsigned char>(text[word]) < 0x7F)
                ++word;
            if (word > at) {
                if (PendingBlank) {
                    Out += ' ';
                    PendingBlank = false;
                }
                Out.append(text.substr(at, word - at));
                at = word;
                continue;
            }
            const char c = text[at];
            const auto byte = static_cast<unsigned char>(c);
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f') {
                Blank();
                ++at;
                continue;
            }
            if (PendingBlank) {
                Out += ' ';
                PendingBlank = false;
            }
            // As the HTML shows them: control characters and bytes that are not UTF-8 as U+FFFD.
            const std::size_t length = TextPieces::CharLength(text, at);
            if ((length == 1 && byte >= 0x80) || byte < 0x20 || byte == 0x7F)
                AppendUtf8(Out, ReplacementCharacter);
            else
                Out.append(text.substr(at, length));
            at += length;
        }
    }
};

template <typename TWriter> TWriter& Writer(void* userdata) {
    return *static_cast<TWriter*>(userdata);
}

int HtmlEnterBlock(MD_BLOCKTYPE type, void* detail, void* userdata) {
    Writer<THtmlWriter>(userdata).EnterBlock(type, detail);
    return 0;
}
int HtmlLeaveBlock(MD_BLOCKTYPE type, void* detail, void* userdata) {
    Writer<THtmlWriter>(userdata).LeaveBlock(type, detail);
    return 0;
}
int HtmlEnterSpan(MD_SPANTYPE type, void* detail, void* userdata) {
    Writer<THtmlWriter>(userdata).EnterSpan(type, detail);
    return 0;
}
int HtmlLeaveSpan(MD_SPANTYPE type, void* /*detail*/, void* userdata) {
    Writer<THtmlWriter>(userdata).LeaveSpan(type);
    return 0;
}
int HtmlText(MD_TEXTTYPE type, const MD_CHAR* text, MD_SIZE size, void* userdata) {
    Writer<THtmlWriter>(userdata).AddText(type, View(text, size));
    return 0;
}

// Spans end with their block, whatever the parser reports.
int PlainEnterBlock(MD_BLOCKTYPE /*type*/, void* /*detail*/, void* userdata) {
    TPlainWriter& writer = Writer<TPlainWriter>(userdata);
    writer.Blank();
    writer.PictureDepth = 0;
    return writer.Done();
}
int PlainLeaveBlock(MD_BLOCKTYPE /*type*/, void* /*detail*/, void* userdata) {
    TPlainWriter& writer = Writer<TPlainWriter>(userdata);
    writer.Blank();
    writer.PictureDepth = 0;
    return 0;
}
int PlainEnterSpan(MD_SPANTYPE type, void* /*detail*/, void* userdata) {
    if (type == MD_SPAN_IMG)
        ++Writer<TPlainWriter>(userdata).PictureDepth;
    return 0;
}
int PlainLeaveSpan(MD_SPANTYPE type, void* /*detail*/, void* userdata) {
    if (type == MD_SPAN_IMG)
        if (Writer<TPlainWriter>(userdata).PictureDepth > 0)
            --Writer<TPlainWriter>(userdata).PictureDepth;
    return 0;
}
int PlainTextPiece(MD_TEXTTYPE type, const MD_CHAR* text, MD_SIZE size, void* userdata) {
    TPlainWriter& writer = Writer<TPlainWriter>(userdata);
    switch (type) {
    case MD_TEXT_BR:
    case MD_TEXT_SOFTBR:
        writer.Blank();
        break;
    case MD_TEXT_ENTITY: {
        std::string characters;
        AppendEntity(characters, View(text, size));
        writer.Text(characters);
        break;
    }
    case MD_TEXT_NULLCHAR: {
        std::string character;
        AppendUtf8(character, ReplacementCharacter);
        writer.Text(character);
        break;
    }
    default:
        writer.Text(View(text, size));
    }
    return writer.Done();
}

// Finds raw HTML with the dialect that reads it as HTML.
struct TRawHtmlFinder {
    std::string First;
};

int RawNothing(MD_BLOCKTYPE /*type*/, void* /*detail*/, void* /*userdata*/) {
    return 0;
}
int RawSpan(MD_SPANTYPE /*type*/, void* /*detail*/, void* /*userdata*/) {
    return 0;
}
// The parser stops only the block whose text callback said so, not the whole text: the later
// blocks' raw HTML must leave the first found as it is.
int RawText(MD_TEXTTYPE type, const MD_CHAR* text, MD_SIZE size, void* userdata) {
    if (type != MD_TEXT_HTML || !Writer<TRawHtmlFinder>(userdata).First.empty())
        return 0;
    std::string_view html = View(text, size);
    while (!html.empty() && (html.front() == ' ' || html.front() == '\t' || html.front() == '\n'))
        html.remove_prefix(1);
    while (!html.empty() && (html.back() == ' ' || html.back() == '\t' || html.back() == '\n'))
        html.remove_suffix(1);
    if (html.empty())
        return 0;
    // At most 40 characters, never half of one.
    std::size_t bytes = 0;
    for (int characters = 0; bytes < html.size() && characters < 40; ++characters) {
        ++bytes;
        while (bytes < html.size() && (static_cast<unsigned char>(html[bytes]) & 0xC0) == 0x80)
            ++bytes;
    }
    Writer<TRawHtmlFinder>(userdata).First.assign(html.substr(0, bytes));
    return 1;
}

// Finds the hard line breaks: md4c reports them between the text before and the text after,
// whose pieces point into the parsed text.
struct TBreakFinder {
    std::string_view Text;
    std::size_t LastEnd = 0;
    int Pending = 0;
    std::vector<std::pair<std::size_t, std::size_t>> Breaks;

    // The breaks that lie between from and to (a line may hold nothing but one): each with its
    // mark, the line feed and the next line's quote marks and indent.
    void Add(std::size_t from, std::size_t to) {
        for (; Pending > 0; --Pending) {
            const std::size_t feed = Text.find('\n', from);
            if (feed == std::string_view::npos || feed >= to || feed == 0)
                return;
            std::size_t start = feed;
            if (Text[feed - 1] == '\\') {
                start = feed - 1;
            } else {
                while (start > from && Text[start - 1] == ' ')
                    --start;
                if (feed - start < 2)
                    return;
            }
            std::size_t end = feed + 1;
            while (end < to && (Text[end] == ' ' || Text[end] == '>' || Text[end] == '\t'))
                ++end;
            Breaks.emplace_back(start, end);
            from = end;
        }
    }
};

int BreakBlock(MD_BLOCKTYPE /*type*/, void* /*detail*/, void* userdata) {
    Writer<TBreakFinder>(userdata).Pending = 0;
    return 0;
}
int BreakSpan(MD_SPANTYPE /*type*/, void* /*detail*/, void* /*userdata*/) {
    return 0;
}
int BreakText(MD_TEXTTYPE type, const MD_CHAR* text, MD_SIZE size, void* userdata) {
    TBreakFinder& finder = Writer<TBreakFinder>(userdata);
    if (type == MD_TEXT_BR) {
        ++finder.Pending;
        return 0;
    }
    // Pieces the parser makes up ("\n" of a code block, U+FFFD) are not in the text.
    const MD_CHAR* const begin = finder.Text.data();
    if (text < begin || text > begin + finder.Text.size())
        return 0;
    const auto at = static_cast<std::size_t>(text - begin);
    if (finder.Pending > 0 && at >= finder.LastEnd)
        finder.Add(finder.LastEnd, at);
    finder.Pending = 0;
    finder.LastEnd = at + size;
    return 0;
}

} // namespace

std::vector<std::pair<std::size_t, std::size_t>>
TMarkdownRenderer::HardBreaks(std::string_view text) {
    TBreakFinder finder;
    finder.Text = text;
    MD_PARSER parser{};
    parser.flags = ParserFlags;
    parser.enter_block = BreakBlock;
    parser.leave_block = BreakBlock;
    parser.enter_span = BreakSpan;
    parser.leave_span = BreakSpan;
    parser.text = BreakText;
    md_parse(text.data(), static_cast<MD_SIZE>(text.size()), &parser, &finder);
    return std::move(finder.Breaks);
}

bool TMarkdownRenderer::IsOutsideAddress(std::string_view address) {
    if (address.empty() || HasControlCharacter(address))
        return false;
    if (address.front() == '#')
        return true;
    const std::string scheme = SchemeOf(address);
    return scheme == "http" || scheme == "https" || scheme == "mailto" || scheme == "tel";
}

std::string TMarkdownRenderer::ParserText(std::string_view storedText) {
    std::string text;
    text.reserve(storedText.size());
    std::size_t from = 0;
    for (std::size_t at;
         (at = storedText.find(TextPieces::StoredBreak, from)) != std::string_view::npos;
         from = at + TextPieces::StoredBreak.size()) {
        text.append(storedText.substr(from, at - from));
        text += '\n';
    }
    text.append(storedText.substr(from));
    return text;
}

std::string TMarkdownRenderer::Html(std::string_view storedText) {
    const std::string text = ParserText(storedText);
    THtmlWriter writer{FTargets, FLayout, {}, {}, 0, {}, {}, {}};
    writer.Out.reserve(text.size() + text.size() / 4 + 16);
    MD_PARSER parser{};
    parser.flags = ParserFlags;
    parser.enter_block = HtmlEnterBlock;
    parser.leave_block = HtmlLeaveBlock;
    parser.enter_span = HtmlEnterSpan;
    parser.leave_span = HtmlLeaveSpan;
    parser.text = HtmlText;
    if (md_parse(text.data(), static_cast<MD_SIZE>(text.size()), &parser, &writer) != 0) {
        // Only a failed allocation stops the parser: the text as it stands, escaped.
        writer.Out.clear();
        AppendEscaped(writer.Out, text);
    }
    while (writer.Out.size() >= LineEnd.size() &&
           std::string_view(writer.Out).substr(writer.Out.size() - LineEnd.size()) == LineEnd)
        writer.Out.resize(writer.Out.size() - LineEnd.size());
    return std::move(writer.Out);
}

std::string TMarkdownRenderer::PlainText(std::string_view storedText, std::size_t enough) {
    const std::string text = ParserText(storedText);
    TPlainWriter writer;
    writer.Enough = enough;
    MD_PARSER parser{};
    parser.flags = ParserFlags;
    parser.enter_block = PlainEnterBlock;
    parser.leave_block = PlainLeaveBlock;
    parser.enter_span = PlainEnterSpan;
    parser.leave_span = PlainLeaveSpan;
    parser.text = PlainTextPiece;
    md_parse(text.data(), static_cast<MD_SIZE>(text.size()), &parser, &writer);
    return std::move(writer.Out);
}

std::string TMarkdownRenderer::FirstRawHtml(std::string_view storedText) {
    const std::string text = ParserText(storedText);
    TRawHtmlFinder finder;
    MD_PARSER parser{};
    parser.flags = MD_FLAG_TABLES | MD_FLAG_STRIKETHROUGH;
    parser.enter_block = RawNothing; // an HTML block's text follows as MD_TEXT_HTML
    parser.leave_block = RawNothing;
    parser.enter_span = RawSpan;
    parser.leave_span = RawSpan;
    parser.text = RawText;
    md_parse(text.data(), static_cast<MD_SIZE>(text.size()), &parser, &finder);
    return finder.First;
}

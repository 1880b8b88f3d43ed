#pragma once

// Small writing helpers shared by the text area, the single page view, the hotspot and the
// foot. Everything goes straight to the output in pieces, so long page texts are never
// copied into temporary strings.

#include "generator/Generator.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/OutputFile.h"

#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>

namespace TextPieces {

// The stored line break of multi-line texts and what the pages show for it.
constexpr std::string_view StoredBreak = "#$D#$A";
constexpr std::string_view HtmlBreak = "<br>";

inline void Put(TOutputFile& out, std::string_view text) {
    out.Write(text);
}
inline void Put(TOutputFile& out, std::int64_t number) {
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
    out.Write(std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)));
}

// Writes the pieces (texts and numbers) one after the other, without a line end.
template <typename... TPiece> void Text(TOutputFile& out, const TPiece&... pieces) {
    (Put(out, pieces), ...);
}
// The same, followed by CR LF.
template <typename... TPiece> void Line(TOutputFile& out, const TPiece&... pieces) {
    (Put(out, pieces), ...);
    out.WriteLine();
}

// The texts of the records are UTF-8. The length in bytes of the character that starts at
// text[at]: a well-formed UTF-8 sequence is one character, any other byte one of its own.
inline std::size_t CharLength(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned lead = byte(at);
    std::size_t length;
    unsigned low = 0x80, high = 0xBF; // the range of the first continuation byte
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else
        return 1;
    if (at + length > text.size() || byte(at + 1) < low || byte(at + 1) > high)
        return 1;
    for (std::size_t i = at + 2; i < at + length; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 1;
    return length;
}

// The number of characters of text.
inline std::size_t CharCount(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t at = 0; at < text.size(); at += CharLength(text, at))
        ++count;
    return count;
}

// Writes text with every stored line break turned into "<br>". The stored break cannot
// overlap itself and "<br>" shares no character with it, so one pass from left to right
// gives the same text as replacing the first remaining occurrence again and again.
inline void WriteWithBreaks(TOutputFile& out, std::string_view text) {
    std::size_t start = 0;
    for (std::size_t at; (at = text.find(StoredBreak, start)) != std::string_view::npos;
         start = at + StoredBreak.size()) {
        out.Write(text.substr(start, at - start));
        out.Write(HtmlBreak);
    }
    out.Write(text.substr(start));
}

// The first characters of a text converted as WriteWithBreaks writes it.
struct TConvertedStart {
    std::string Text; // at most the limit's number of characters
    bool Cut;         // whether the converted text goes on after them
};

// The first limit characters of text with every stored line break turned into "<br>", cut
// wherever the limit falls, also inside a "<br>", but never inside a character. Only as
// much of the text is converted as the limit needs.
inline TConvertedStart ConvertedStart(std::string_view text, std::size_t limit) {
    TConvertedStart start{std::string(), false};
    std::size_t count = 0; // characters taken
    // Takes the characters of piece up to the limit; false when the limit stopped it.
    auto take = [&](std::string_view piece) {
        std::size_t bytes = 0;
        while (bytes < piece.size()) {
            if (count == limit) {
                start.Cut = true;
                break;
            }
            bytes += CharLength(piece, bytes);
            ++count;
        }
        start.Text.append(piece.substr(0, bytes));
        return !start.Cut;
    };
    std::size_t from = 0;
    while (true) {
        const std::size_t at = text.find(StoredBreak, from);
        if (at == std::string_view::npos) {
            take(text.substr(from));
            break;
        }
        if (!take(text.substr(from, at - from)) || !take(HtmlBreak))
            break;
        from = at + StoredBreak.size();
    }
    return start;
}

// The anchor of a page's or the hotspot's link, by its kind; other kinds write nothing.
inline void WriteLinkAnchor(TOutputFile& out, const std::string& kind, const std::string& url,
                            const std::string& link, std::string_view cssClass) {
    if (kind == "Link")
        Line(out, "<a href=\"", url, "\" class=\"", cssClass, "\">", link, "</a>");
    else if (kind == "E-mail")
        Line(out, "<a href=\"mailto:", url, "\" class=\"", cssClass, "\">", link, "</a>");
    else if (kind == "Download")
        Line(out, "<a href=\"", FileNamePart(url), "\" class=\"", cssClass, "\">", link, "</a>");
}

// Whether the author and the date of a page are shown in a column.
inline bool ShowsAuthor(const TDMenuItem& item, const TDPage& page) {
    return item.SHOW_AUTHOR && !page.AUTHOR.empty();
}
inline bool ShowsDate(const TDMenuItem& item, const TDPage& page) {
    return item.SHOW_DATE && !page.DATE.empty();
}

inline std::string_view Border(const TDMenuItem& item) {
    return item.HAS_BORDER ? "1" : "0";
}

// The column in use, checked against the generation context.
inline TDColumn& ColumnInUse(const char* writer) {
    if (CurrentColumn == nullptr)
        throw TError(std::string(writer) + ": no column document is loaded");
    return *CurrentColumn;
}

// The menu item whose page is being written, checked against the menu list.
inline const TDMenuItem& ItemInUse(const TDProject& project, const char* writer) {
    if (project.CurrentItem < 0 || project.CurrentItem >= project.MenuCount)
        throw TError(std::string(writer) + ": the menu list has no item " +
                         std::to_string(project.CurrentItem),
                     project.ProjectFile());
    return project.MenuItem(project.CurrentItem);
}

} // namespace TextPieces

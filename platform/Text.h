#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The text without blanks and control characters (everything up to the space) at either end.
std::string TrimBlanks(const std::string& text);

// A text as it is shown in a message or on a terminal, where it may come from a server or a
// hand-edited project: its UTF-8 characters kept, each control character (C0 below the
// space, DEL, and C1 from U+0080 to U+009F) and each byte that is not part of a UTF-8
// character (a single byte of another charset among them) shown as "?", so that nothing
// reaches a terminal as an escape sequence; at most longest characters, then "...".
std::string ControlCharactersShown(const std::string& text,
                                   std::size_t longest = std::string::npos);
// The same for a text of several lines: each line shown as above, the line breaks (LF) kept.
std::string ControlCharactersShownByLine(const std::string& text);

// Appends the UTF-8 bytes of the character code (which the caller has checked: below
// U+110000, not a surrogate).
void AppendUtf8(std::string& out, std::uint32_t code);

// A name as part of an address: everything but the unreserved characters (letters, digits,
// "-", ".", "_", "~") written as "%XX" of its bytes.
std::string PercentEncoded(std::string_view name);

// The value of a hexadecimal digit, or -1.
int HexDigitValue(char c);

// "1 second", "5 seconds": a time limit in milliseconds as messages give it, whole seconds
// rounded up.
std::string SecondsText(std::int64_t milliseconds);

// The C library's text of an errno value ("Connection refused").
std::string ErrorText(int error);

// Letters A to Z as a to z; every other byte as it is.
inline char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Blank, tab, CR, LF or form feed.
inline bool IsAsciiBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

#pragma once

// The texts of the modern pages' own places: a stored text as a short plain summary (cards
// and the description meta tag) and record values made safe for HTML and JSON.

#include <cstddef>
#include <string>
#include <string_view>

// The summary of a stored text as typed (not rendered): tags dropped, stored line breaks and
// runs of blanks as one blank, character references kept whole and counted as one
// character. When more than limit characters remain it is cut at the last blank within the
// limit (inside a word only when the first word alone is longer) and "…" follows. The result
// is HTML text that is safe in an element and in a double-quoted attribute: a stray "&",
// ">" or quote is written as a reference.
std::string PlainSummary(std::string_view storedText, std::size_t limit = 200);

class TDPage;
// A page's summary as PlainSummary gives it, or for a Markdown page from its rendered text
// without markup, cut the same way.
std::string PageSummary(const TDPage& page, std::size_t limit = 200);

// A record value (a title, a name) as HTML text: "<", ">", quotes and every "&" that starts
// no character reference written as references; references the user typed are kept.
std::string ModernEscaped(std::string_view text);
// The same, appended to out.
void AppendModernEscaped(std::string& out, std::string_view text);

// A text as a JSON string with its quotes, safe inside a script element.
std::string JsonString(std::string_view text);

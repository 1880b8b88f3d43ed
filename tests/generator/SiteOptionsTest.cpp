// The pieces the site options write into new places: texts escaped for HTML and XML, a
// page's text without markup for the feeds, and what counts as the site's own address.

#include "generator/Generator.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(SiteOptions, HtmlEscapingTakesTheFourSpecialCharacters) {
    struct TCase {
        const char* Text;
        const char* Escaped;
    };
    const TCase cases[] = {
        {"", ""},
        {"Joe's Club", "Joe's Club"},
        {"A & B", "A &amp; B"},
        {"<b>bold</b>", "&lt;b&gt;bold&lt;/b&gt;"},
        {"say \"hi\"", "say &quot;hi&quot;"},
        {"&amp;", "&amp;amp;"},
        {"Gr\xC3\xBC\xC3\x9F"
         "e",
         "Gr\xC3\xBC\xC3\x9F"
         "e"}, // letters stay for the charset
    };
    for (const TCase& c : cases)
        EXPECT_EQ(HtmlEscaped(c.Text), c.Escaped) << c.Text;
}

TEST(SiteOptions, XmlEscapingKeepsTheFileWellFormed) {
    struct TCase {
        std::string Text;
        std::string Escaped;
    };
    const TCase cases[] = {
        {"Men's <eight> & \"four\"", "Men&apos;s &lt;eight&gt; &amp; &quot;four&quot;"},
        {"\xC5\x81\xC3\xB3"
         "d\xC5\xBA \xE2\x82\xAC \xF0\x9F\x9A\xA3", // Łódź € 🚣
         "\xC5\x81\xC3\xB3"
         "d\xC5\xBA \xE2\x82\xAC \xF0\x9F\x9A\xA3"},
        {"bad \xFF byte, cut \xC3", "bad \xEF\xBF\xBD byte, cut \xEF\xBF\xBD"},
        {std::string("bell\a, nul\0, tab\t, line\n", 24), "bell, nul, tab\t, line\n"},
        {"\xED\xA0\x80 surrogate", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD surrogate"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(XmlEscaped(c.Text), c.Escaped) << c.Text;
}

TEST(SiteOptions, PlainTextDropsMarkupAndCountsCharacters) {
    struct TCase {
        const char* Stored;
        std::size_t Limit;
        const char* Plain;
    };
    const TCase cases[] = {
        {"one#$D#$Atwo", 300, "one two"},
        {"<b>bold</b> and <a href=\"x\">linked</a>.", 300, "bold and linked."},
        {"line<br>break<p>para</p>end", 300, "line break para end"},
        {"  blanks \t and#$D#$A#$D#$A  breaks  ", 300, "blanks and breaks"},
        {"Fish &amp; chips &lt;3 &#233;t&#xE9; &euro;5&nbsp;now", 300,
         "Fish & chips <3 \xC3\xA9t\xC3\xA9 \xE2\x82\xAC"
         "5 now"},
        {"&unknown; & alone &#; &#99999999;", 300, "&unknown; & alone &#; &#99999999;"},
        {"cut <a href=\"never closed", 300, "cut"},
        {"abcdef", 3, "abc"},
        {"\xC5\x81\xC3\xB3"
         "d\xC5\xBA",
         3,
         "\xC5\x81\xC3\xB3"
         "d"}, // characters, not bytes
        {"ab cd", 3, "ab"},
        {"", 300, ""},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(PlainTextStart(c.Stored, c.Limit), c.Plain) << c.Stored;
}

TEST(SiteOptions, OnlyAnAbsoluteWebAddressIsTheSitesOwn) {
    struct TCase {
        const char* Domain;
        bool Usable;
    };
    const TCase cases[] = {
        {"http://www.example.org/", true},
        {"https://example.org", true},
        {"HTTP://Example.org/club/", true},
        {"http://", false},
        {"https://", false},
        {"", false},
        {"www.example.org", false},
        {"ftp://example.org/", false},
        {"http:///path", false},
        {"http://exa mple.org/", false},
        {"http://example.org/?page=1", false},
        {"http://example.org/\"><script>", false},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(IsSiteAddress(c.Domain), c.Usable) << c.Domain;
}

} // namespace

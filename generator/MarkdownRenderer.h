#pragma once

#include "generator/MarkdownTargets.h"

#include <string>
#include <string_view>

// Renders the CommonMark of a page's or the hotspot's text (line breaks stored as "#$D#$A")
// with md4c's parser and callbacks of our own, so that every byte of the HTML is ours:
// CommonMark with tables and strikethrough; raw HTML shown as text; links only to http:,
// https:, mailto:, tel:, #anchors and the site's own pages, downloads and pictures (asked of
// the targets), anything else written as its plain text; every attribute value escaped.
class TMarkdownRenderer {
  public:
    // How the page around the text wants it: the level of the text's first heading (the
    // classic pages: 1, as typed; a page whose title is h1: 2), and table cells aligned by a
    // class ("align-left", "align-center", "align-right") instead of the align attribute.
    struct TLayout {
        int FirstHeading = 1;
        bool AlignByClass = false;
    };

    explicit TMarkdownRenderer(TMarkdownTargets& targets) : FTargets(targets) {}
    TMarkdownRenderer(TMarkdownTargets& targets, TLayout layout)
        : FTargets(targets), FLayout(layout) {}

    // The HTML fragment: blocks one after the other with CR LF between them, none after the
    // last; an empty text gives an empty fragment.
    std::string Html(std::string_view storedText);

    // What a reader sees of the text, without markup and unescaped: blocks and line breaks as
    // one blank, runs of white space as one, pictures left out, nothing before or after. With
    // enough, only its start: the reading stops once that many bytes are there (a summary
    // needs no more than its first characters).
    static std::string PlainText(std::string_view storedText,
                                 std::size_t enough = std::string::npos);

    // The first raw HTML of the text (a tag, a comment, an HTML block), which the pages show
    // as text, cut to at most 40 characters; empty when there is none.
    static std::string FirstRawHtml(std::string_view storedText);

    // True for an address a link keeps as it is: http:, https:, mailto: or tel: (the scheme in
    // any case) or an anchor "#..." of the page, without control characters. Other addresses
    // are the site's own ("page:", "download:", "image:") or are written as plain text.
    static bool IsOutsideAddress(std::string_view address);

    // The text as md4c reads it: each stored line break as a line feed.
    static std::string ParserText(std::string_view storedText);

  private:
    TMarkdownTargets& FTargets;
    TLayout FLayout;
};

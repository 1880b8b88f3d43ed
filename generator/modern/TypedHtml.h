#pragma once

// A text typed for the pages as it is (no Markdown) made into markup the modern pages can
// carry: the classic pages write such a text raw, so a project of old may hold any markup,
// stray or hostile (<center>, a tag never closed, "</td></tr>", a script, onclick=, a
// javascript: link), that would break the page around it.
//
// Kept: b, strong, i, em, u, br, p, ul, ol, li, h2, h3, h4; a with its href and img with its
// src, alt, width and height (a picture of the site's Images folder sized as the file is, one
// without alt given the page's title), each address one the Markdown texts may use (http:, https:,
// mailto:, tel:, #anchors, page:, download: and image: of the site) or one relative to the
// pages, with which texts typed for the classic pages name the site's own files. Every other
// attribute, and every other tag, is left out, its text kept; a script's or style's content
// goes with it, comments too. A stray "<", ">" or "&" is escaped, character references the
// user typed are kept. Tags are closed in order (a block closes the open inline tags, a list
// item outside a list loses its tag, text directly in a list gets an item), and an element
// left empty is dropped. Stored line breaks become "<br>", but for those next to a block's
// tag, where the block itself breaks the line.

#include "generator/MarkdownTargets.h"

#include <string>
#include <string_view>

// A link's address from a record (a menu entry's, the hotspot's, a page's link) as the modern
// pages write it, escaped; empty when it would run code or a document of its own in the page
// (javascript:, vbscript:, data:), its scheme read as the browser reads the attribute
// ("&#106;avascript:", " java\tscript:").
std::string LinkAddress(std::string_view address);

class TTypedHtml {
  public:
    // title: the alt text of a picture typed without one (the page's title).
    explicit TTypedHtml(TMarkdownTargets& targets, std::string_view title = {})
        : FTargets(targets), FTitle(title) {}

    // The HTML fragment of a stored text (line breaks stored as "#$D#$A").
    std::string Html(std::string_view storedText);

  private:
    TMarkdownTargets& FTargets;
    std::string_view FTitle;
};

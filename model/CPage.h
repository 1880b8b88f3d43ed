#pragma once

#include "platform/XmlDocument.h"

#include <cstdint>
#include <string>

// One page (article) of a column (a "PAGE" element of the column document).
class TDPage {
  public:
    explicit TDPage(TXmlElement element = TXmlElement());
    void Save(TXmlElement element) const;
    bool operator==(const TDPage&) const = default;

    std::string TITLE = "New Page";
    std::string AUTHOR;
    std::string DATE; // today's date in the short date form by default
    std::string PICTURE;
    std::string TEXT; // line breaks held as "#$D#$A"
    std::string LINK;
    std::string KIND = "Link";
    std::string URL;
    std::int32_t PICTURE_WIDTH = 0;
    std::int32_t PICTURE_HEIGHT = 0;
    // "Markdown": TEXT holds CommonMark that the generator renders; empty: TEXT is written
    // as typed. Written only when set.
    std::string FORMAT;
    // A short id that never changes while the page lives, for links from other texts
    // ("page:ID"); empty until the page is made or first linked to. Written only when set.
    std::string ID;

    bool IsMarkdown() const { return FORMAT == "Markdown"; }
};

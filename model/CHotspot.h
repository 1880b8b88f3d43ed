#pragma once

#include "platform/XmlDocument.h"

#include <cstdint>
#include <string>

// The hotspot side column (element "HOTSPOT").
class TDHotspot {
  public:
    explicit TDHotspot(TXmlElement element = TXmlElement());
    void Save(TXmlElement element) const;
    // A template keeps only the position.
    void SaveTemplate(TXmlElement element) const;
    bool operator==(const TDHotspot&) const = default;

    std::string TITLE;
    std::string PICTURE;
    std::string TEXT;
    std::string LINK;
    std::string KIND = "Link";
    std::string URL;
    std::string POSITION = "Title On Top";
    std::int32_t PICTURE_WIDTH = 0;
    std::int32_t PICTURE_HEIGHT = 0;
    // "Markdown" or empty, as a page's FORMAT. Written only when set.
    std::string FORMAT;

    bool IsMarkdown() const { return FORMAT == "Markdown"; }
};

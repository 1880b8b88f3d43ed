#pragma once

#include "platform/XmlDocument.h"

#include <cstdint>
#include <string>

// The topic bar: caption, meta data, title and logo (element "TOPIC").
class TDTopic {
  public:
    explicit TDTopic(TXmlElement element = TXmlElement());
    void Save(TXmlElement element) const;
    // A template keeps only the position.
    void SaveTemplate(TXmlElement element) const;
    bool operator==(const TDTopic&) const = default;

    std::string CAPTION = "Welcome to our new web site!";
    std::string DOMAIN = "http://";
    std::string DESCRIPTION;
    std::string KEYWORDS;
    std::string TITLE = "Welcome";
    std::string LOGO;
    std::string POSITION = "Left (Horizontal)";
    std::int32_t LOGO_WIDTH = 0;
    std::int32_t LOGO_HEIGHT = 0;
};

#pragma once

#include "platform/XmlDocument.h"

#include <cstdint>
#include <string>

// Widths and heights of the page's parts (element "SIZE").
class TDSize {
  public:
    explicit TDSize(TXmlElement element = TXmlElement());
    void Save(TXmlElement element) const;
    void SaveTemplate(TXmlElement element) const;
    bool operator==(const TDSize&) const = default;

    std::string SCREEN = "100%";
    std::int32_t WELCOME_HEIGHT = 16;
    std::int32_t TOPIC_HEIGHT = 80;
    std::int32_t MENU_HEIGHT = 16;
    std::int32_t TEXT_HEIGHT = 320;
    std::int32_t FOOT_HEIGHT = 80;
    std::int32_t MENU_WIDTH = 120;
    std::int32_t HOTSPOT_WIDTH = 120;
};

#pragma once

#include "platform/XmlDocument.h"

#include <cstdint>
#include <string>

// The menu bar (element "MENU").
class TDMenu {
  public:
    explicit TDMenu(TXmlElement element = TXmlElement());
    void Save(TXmlElement element) const;
    void SaveTemplate(TXmlElement element) const;
    bool operator==(const TDMenu&) const = default;

    bool HAS_SEPARATOR = true;
    std::string BUTTON;
    std::string POSITION = "Left";
    std::int32_t BUTTON_WIDTH = 0;
    std::int32_t BUTTON_HEIGHT = 0;
    std::int32_t SPACE = 16;
};

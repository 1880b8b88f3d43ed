#pragma once

#include "platform/XmlDocument.h"

#include <cstdint>
#include <string>

// Character set, font family, sizes, bold and underline (element "FONT").
class TDFont {
  public:
    explicit TDFont(TXmlElement element = TXmlElement());
    void Save(TXmlElement element) const;
    void SaveTemplate(TXmlElement element) const;
    bool operator==(const TDFont&) const = default;

    std::string ENCODING = "UTF-8";
    std::string FAMILY = "Default Font";
    std::int32_t TOPIC = 24;
    std::int32_t MENU = 9;
    std::int32_t TITLE = 14;
    std::int32_t TEXT = 9;
    bool BOLD_TOPIC = true;
    bool BOLD_TITLE = true;
    bool BOLD_LINK = false;
    bool UNDERLINE_LINK = true;
};

// The encoding and family names, in the font dialog's order.
extern const char* const FontEncodings[20];
extern const char* const FontFamilies[7];

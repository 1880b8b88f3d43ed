#pragma once

#include "platform/XmlDocument.h"

#include <string>

// The welcome bar (element "WELCOME").
class TDWelcome {
  public:
    explicit TDWelcome(TXmlElement element = TXmlElement());
    void Save(TXmlElement element) const;
    void SaveTemplate(TXmlElement element) const;
    bool operator==(const TDWelcome&) const = default;

    bool HAS_HOMEPAGE = true;
    bool HAS_FAVORITE = true;
    bool HAS_CONTACT = false;
    std::string POSITION = "Date On Left";
};

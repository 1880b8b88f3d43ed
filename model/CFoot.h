#pragma once

#include "platform/XmlDocument.h"

#include <string>

// The foot (element "FOOT").
class TDFoot {
  public:
    explicit TDFoot(TXmlElement element = TXmlElement());
    void Save(TXmlElement element) const;
    // A template keeps only the position.
    void SaveTemplate(TXmlElement element) const;
    bool operator==(const TDFoot&) const = default;

    std::string COPYRIGHT = "Copyright";
    std::string ADDRESS;
    std::string TEL;
    std::string FAX;
    std::string EMAIL;
    std::string POSITION = "Center";
};

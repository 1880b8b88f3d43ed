#pragma once

#include "platform/XmlDocument.h"

#include <cstdint>
#include <string>

// The FTP publishing settings (element "PUBLISH").
class TDPublish {
  public:
    explicit TDPublish(TXmlElement element = TXmlElement());
    void Save(TXmlElement element) const;
    bool operator==(const TDPublish&) const = default;

    std::string FTP_SERVER;
    std::string USER_NAME;
    std::string PASSWORD;
    std::string PROXY_SERVER;
    std::string FOLDER;
    std::int32_t FTP_PORT = 0;
    std::int32_t PROXY_PORT = 0;
    bool USE_PROXY = false;
};

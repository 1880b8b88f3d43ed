#pragma once

#include "platform/XmlDocument.h"

#include <string>

// Page layout, homepage name and background picture (element "FRAME").
class TDFrame {
  public:
    explicit TDFrame(TXmlElement element = TXmlElement());
    void Save(TXmlElement element) const;
    void SaveTemplate(TXmlElement element) const;
    bool operator==(const TDFrame&) const = default;

    std::string FRAME = "Topic on top menu on top";
    std::string HOMEPAGE = "Default";
    bool NO_MARGIN = false;
    bool ON_LEFT = false;
    bool HAS_WELCOME = true;
    bool HAS_HOTSPOT = false;
    std::string BACKGROUND;
};

// The six layout names, in the frame dialog's order.
extern const char* const FrameLayouts[6];

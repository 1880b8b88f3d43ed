#pragma once

#include "model/Values.h"
#include "platform/XmlDocument.h"

// The colour scheme (element "COLOR").
class TDColor {
  public:
    explicit TDColor(TXmlElement element = TXmlElement());
    void Save(TXmlElement element) const;
    void SaveTemplate(TXmlElement element) const;
    bool operator==(const TDColor&) const = default;

    TColor BASE = clWhite;
    TColor BG = clWhite;
    TColor TEXT_BG = clWhite;
    TColor TITLE = clBlack;
    TColor TEXT = clBlack;
    TColor WELCOME_BG = clWhite;
    TColor WELCOME_TEXT = clBlack;
    TColor TOPIC_BG = clWhite;
    TColor TOPIC_TEXT = clBlack;
    TColor MENU_BG = clWhite;
    TColor MENU_TEXT = clBlack;
    TColor HOTSPOT_BG = clWhite;
    TColor HOTSPOT_TEXT = clBlack;
    TColor FOOT_BG = clWhite;
    TColor FOOT_TEXT = clBlack;
    bool TEXT_TRANS = false;
    bool WELCOME_TRANS = false;
    bool TOPIC_TRANS = false;
    bool MENU_TRANS = false;
    bool HOTSPOT_TRANS = false;
    bool FOOT_TRANS = false;
};

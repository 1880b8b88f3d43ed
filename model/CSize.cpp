#include "model/CSize.h"

#include "model/Values.h"

TDSize::TDSize(TXmlElement element) {
    if (!element)
        return;
    ReadText(element, "SCREEN", SCREEN);
    ReadInteger(element, "WELCOME_HEIGHT", WELCOME_HEIGHT);
    ReadInteger(element, "TOPIC_HEIGHT", TOPIC_HEIGHT);
    ReadInteger(element, "MENU_HEIGHT", MENU_HEIGHT);
    ReadInteger(element, "TEXT_HEIGHT", TEXT_HEIGHT);
    ReadInteger(element, "FOOT_HEIGHT", FOOT_HEIGHT);
    ReadInteger(element, "MENU_WIDTH", MENU_WIDTH);
    ReadInteger(element, "HOTSPOT_WIDTH", HOTSPOT_WIDTH);
}

void TDSize::Save(TXmlElement element) const {
    if (!element)
        return;
    RemoveAllChildren(element);
    WriteText(element, "SCREEN", SCREEN);
    WriteInteger(element, "WELCOME_HEIGHT", WELCOME_HEIGHT);
    WriteInteger(element, "TOPIC_HEIGHT", TOPIC_HEIGHT);
    WriteInteger(element, "MENU_HEIGHT", MENU_HEIGHT);
    WriteInteger(element, "TEXT_HEIGHT", TEXT_HEIGHT);
    WriteInteger(element, "FOOT_HEIGHT", FOOT_HEIGHT);
    WriteInteger(element, "MENU_WIDTH", MENU_WIDTH);
    WriteInteger(element, "HOTSPOT_WIDTH", HOTSPOT_WIDTH);
}

void TDSize::SaveTemplate(TXmlElement element) const {
    Save(element);
}

#include "model/CColor.h"

TDColor::TDColor(TXmlElement element) {
    if (!element)
        return;
    ReadColor(element, "BASE", BASE);
    ReadColor(element, "BG", BG);
    ReadColor(element, "TEXT_BG", TEXT_BG);
    ReadColor(element, "TITLE", TITLE);
    ReadColor(element, "TEXT", TEXT);
    ReadColor(element, "WELCOME_BG", WELCOME_BG);
    ReadColor(element, "WELCOME_TEXT", WELCOME_TEXT);
    ReadColor(element, "TOPIC_BG", TOPIC_BG);
    ReadColor(element, "TOPIC_TEXT", TOPIC_TEXT);
    ReadColor(element, "MENU_BG", MENU_BG);
    ReadColor(element, "MENU_TEXT", MENU_TEXT);
    ReadColor(element, "HOTSPOT_BG", HOTSPOT_BG);
    ReadColor(element, "HOTSPOT_TEXT", HOTSPOT_TEXT);
    ReadColor(element, "FOOT_BG", FOOT_BG);
    ReadColor(element, "FOOT_TEXT", FOOT_TEXT);
    ReadFlag(element, "TEXT_TRANS", TEXT_TRANS);
    ReadFlag(element, "WELCOME_TRANS", WELCOME_TRANS);
    ReadFlag(element, "TOPIC_TRANS", TOPIC_TRANS);
    ReadFlag(element, "MENU_TRANS", MENU_TRANS);
    ReadFlag(element, "HOTSPOT_TRANS", HOTSPOT_TRANS);
    ReadFlag(element, "FOOT_TRANS", FOOT_TRANS);
}

void TDColor::Save(TXmlElement element) const {
    if (!element)
        return;
    RemoveAllChildren(element);
    WriteColor(element, "BASE", BASE);
    WriteColor(element, "BG", BG);
    WriteColor(element, "TEXT_BG", TEXT_BG);
    WriteColor(element, "TITLE", TITLE);
    WriteColor(element, "TEXT", TEXT);
    WriteColor(element, "WELCOME_BG", WELCOME_BG);
    WriteColor(element, "WELCOME_TEXT", WELCOME_TEXT);
    WriteColor(element, "TOPIC_BG", TOPIC_BG);
    WriteColor(element, "TOPIC_TEXT", TOPIC_TEXT);
    WriteColor(element, "MENU_BG", MENU_BG);
    WriteColor(element, "MENU_TEXT", MENU_TEXT);
    WriteColor(element, "HOTSPOT_BG", HOTSPOT_BG);
    WriteColor(element, "HOTSPOT_TEXT", HOTSPOT_TEXT);
    WriteColor(element, "FOOT_BG", FOOT_BG);
    WriteColor(element, "FOOT_TEXT", FOOT_TEXT);
    WriteFlag(element, "TEXT_TRANS", TEXT_TRANS);
    WriteFlag(element, "WELCOME_TRANS", WELCOME_TRANS);
    WriteFlag(element, "TOPIC_TRANS", TOPIC_TRANS);
    WriteFlag(element, "MENU_TRANS", MENU_TRANS);
    WriteFlag(element, "HOTSPOT_TRANS", HOTSPOT_TRANS);
    WriteFlag(element, "FOOT_TRANS", FOOT_TRANS);
}

void TDColor::SaveTemplate(TXmlElement element) const {
    Save(element);
}

#include "model/CColor.h"

#define COLOR_FIELDS(X)                                                                            \
    X(BASE)                                                                                        \
    X(BG)                                                                                          \
    X(TEXT_BG) X(TITLE) X(TEXT) X(WELCOME_BG) X(WELCOME_TEXT) X(TOPIC_BG) X(TOPIC_TEXT) X(MENU_BG) \
        X(MENU_TEXT) X(HOTSPOT_BG) X(HOTSPOT_TEXT) X(FOOT_BG) X(FOOT_TEXT)
#define FLAG_FIELDS(X)                                                                             \
    X(TEXT_TRANS) X(WELCOME_TRANS) X(TOPIC_TRANS) X(MENU_TRANS) X(HOTSPOT_TRANS) X(FOOT_TRANS)

TDColor::TDColor(TXmlElement element) {
    if (!element)
        return;
#define READ_COLOR(F) ReadColor(element, #F, F);
#define READ_FLAG(F) ReadFlag(element, #F, F);
    COLOR_FIELDS(READ_COLOR)
    FLAG_FIELDS(READ_FLAG)
}

void TDColor::Save(TXmlElement element) const {
    if (!element)
        return;
    RemoveAllChildren(element);
#define WRITE_COLOR(F) WriteColor(element, #F, F);
#define WRITE_FLAG(F) WriteFlag(element, #F, F);
    COLOR_FIELDS(WRITE_COLOR)
    FLAG_FIELDS(WRITE_FLAG)
}

void TDColor::SaveTemplate(TXmlElement element) const {
    Save(element);
}

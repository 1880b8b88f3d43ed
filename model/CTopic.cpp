#include "model/CTopic.h"

#include "model/Values.h"

TDTopic::TDTopic(TXmlElement element) {
    if (!element)
        return;
    ReadText(element, "CAPTION", CAPTION);
    ReadText(element, "DOMAIN", DOMAIN);
    ReadText(element, "DESCRIPTION", DESCRIPTION);
    ReadText(element, "KEYWORDS", KEYWORDS);
    ReadText(element, "TITLE", TITLE);
    ReadText(element, "LOGO", LOGO);
    ReadText(element, "POSITION", POSITION);
    if (ChildByName(element, "LOGO")) {
        ReadInteger(element, "LOGO_WIDTH", LOGO_WIDTH);
        ReadInteger(element, "LOGO_HEIGHT", LOGO_HEIGHT);
    }
}

void TDTopic::Save(TXmlElement element) const {
    if (!element)
        return;
    RemoveAllChildren(element);
    WriteText(element, "CAPTION", CAPTION);
    WriteText(element, "DOMAIN", DOMAIN);
    WriteText(element, "DESCRIPTION", DESCRIPTION);
    WriteText(element, "KEYWORDS", KEYWORDS);
    WriteText(element, "TITLE", TITLE);
    WriteText(element, "POSITION", POSITION);
    if (!LOGO.empty()) {
        WriteText(element, "LOGO", LOGO);
        WriteInteger(element, "LOGO_WIDTH", LOGO_WIDTH);
        WriteInteger(element, "LOGO_HEIGHT", LOGO_HEIGHT);
    }
}

void TDTopic::SaveTemplate(TXmlElement element) const {
    if (!element)
        return;
    RemoveAllChildren(element);
    WriteText(element, "POSITION", POSITION);
}

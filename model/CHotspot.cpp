#include "model/CHotspot.h"

#include "model/Values.h"

TDHotspot::TDHotspot(TXmlElement element) {
    if (!element)
        return;
    bool hasPicture = static_cast<bool>(ChildByName(element, "PICTURE"));
    bool hasLink = static_cast<bool>(ChildByName(element, "LINK"));
    ReadText(element, "TITLE", TITLE);
    ReadText(element, "PICTURE", PICTURE);
    ReadText(element, "TEXT", TEXT);
    ReadText(element, "LINK", LINK);
    if (hasLink) {
        ReadText(element, "KIND", KIND);
        ReadText(element, "URL", URL);
    }
    ReadText(element, "POSITION", POSITION);
    if (hasPicture) {
        ReadInteger(element, "PICTURE_WIDTH", PICTURE_WIDTH);
        ReadInteger(element, "PICTURE_HEIGHT", PICTURE_HEIGHT);
    }
    ReadText(element, "FORMAT", FORMAT);
}

void TDHotspot::Save(TXmlElement element) const {
    if (!element)
        return;
    RemoveAllChildren(element);
    WriteText(element, "TITLE", TITLE);
    if (!PICTURE.empty()) {
        WriteText(element, "PICTURE", PICTURE);
        WriteInteger(element, "PICTURE_WIDTH", PICTURE_WIDTH);
        WriteInteger(element, "PICTURE_HEIGHT", PICTURE_HEIGHT);
    }
    WriteText(element, "TEXT", TEXT);
    if (!LINK.empty()) {
        WriteText(element, "LINK", LINK);
        WriteText(element, "KIND", KIND);
        WriteText(element, "URL", URL);
    }
    WriteText(element, "POSITION", POSITION);
    if (!FORMAT.empty())
        WriteText(element, "FORMAT", FORMAT);
}

void TDHotspot::SaveTemplate(TXmlElement element) const {
    if (!element)
        return;
    RemoveAllChildren(element);
    WriteText(element, "POSITION", POSITION);
}

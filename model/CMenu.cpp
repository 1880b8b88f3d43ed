#include "model/CMenu.h"

#include "model/Values.h"

TDMenu::TDMenu(TXmlElement element) {
    if (!element)
        return;
    ReadFlag(element, "HAS_SEPARATOR", HAS_SEPARATOR);
    ReadText(element, "BUTTON", BUTTON);
    ReadText(element, "POSITION", POSITION);
    if (ChildByName(element, "BUTTON")) {
        ReadInteger(element, "BUTTON_WIDTH", BUTTON_WIDTH);
        ReadInteger(element, "BUTTON_HEIGHT", BUTTON_HEIGHT);
    }
    ReadInteger(element, "SPACE", SPACE);
}

void TDMenu::Save(TXmlElement element) const {
    if (!element)
        return;
    RemoveAllChildren(element);
    WriteFlag(element, "HAS_SEPARATOR", HAS_SEPARATOR);
    if (!BUTTON.empty()) {
        WriteText(element, "BUTTON", BUTTON);
        WriteInteger(element, "BUTTON_WIDTH", BUTTON_WIDTH);
        WriteInteger(element, "BUTTON_HEIGHT", BUTTON_HEIGHT);
    }
    WriteText(element, "POSITION", POSITION);
    WriteInteger(element, "SPACE", SPACE);
}

void TDMenu::SaveTemplate(TXmlElement element) const {
    Save(element);
}

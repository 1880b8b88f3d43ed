#include "model/CPage.h"

#include "model/Values.h"
#include "platform/Locale.h"

TDPage::TDPage(TXmlElement element) {
    // Today's date is worked out only when the page has no date of its own.
    if (!element || !ChildByName(element, "DATE"))
        DATE = TodayShortDate();
    if (!element)
        return;
    bool hasPicture = static_cast<bool>(ChildByName(element, "PICTURE"));
    bool hasLink = static_cast<bool>(ChildByName(element, "LINK"));
    ReadText(element, "TITLE", TITLE);
    ReadText(element, "AUTHOR", AUTHOR);
    ReadText(element, "DATE", DATE);
    ReadText(element, "PICTURE", PICTURE);
    ReadText(element, "TEXT", TEXT);
    ReadText(element, "LINK", LINK);
    if (hasLink) {
        ReadText(element, "KIND", KIND);
        ReadText(element, "URL", URL);
    }
    if (hasPicture) {
        ReadInteger(element, "PICTURE_WIDTH", PICTURE_WIDTH);
        ReadInteger(element, "PICTURE_HEIGHT", PICTURE_HEIGHT);
    }
    ReadText(element, "FORMAT", FORMAT);
    ReadText(element, "ID", ID);
}

void TDPage::Save(TXmlElement element) const {
    if (!element)
        return;
    RemoveAllChildren(element);
    WriteText(element, "TITLE", TITLE);
    WriteText(element, "AUTHOR", AUTHOR);
    WriteText(element, "DATE", DATE);
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
    if (!FORMAT.empty())
        WriteText(element, "FORMAT", FORMAT);
    if (!ID.empty())
        WriteText(element, "ID", ID);
}

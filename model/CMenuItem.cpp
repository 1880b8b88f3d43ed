#include "model/CMenuItem.h"

#include "model/Values.h"

const char* const ListingStyles[7] = {
    "Only title list",           "Title list with summary",
    "Title list and contents",   "Contents",
    "Pictures List (2 columns)", "Pictures List (3 columns)",
    "Pictures List (4 columns)",
};

TDMenuItem::TDMenuItem(TXmlElement element) {
    if (!element)
        return;
    ReadText(element, "TITLE", TITLE);
    ReadText(element, "COLUMN", COLUMN);
    ReadText(element, "STYLE", STYLE);
    ReadText(element, "URL", URL);
    ReadFlag(element, "SHOW_AUTHOR", SHOW_AUTHOR);
    ReadFlag(element, "SHOW_DATE", SHOW_DATE);
    ReadFlag(element, "HAS_BORDER", HAS_BORDER);
}

void TDMenuItem::Save(TXmlElement element) const {
    if (!element)
        return;
    RemoveAllChildren(element);
    WriteText(element, "TITLE", TITLE);
    WriteText(element, "COLUMN", COLUMN);
    WriteText(element, "STYLE", STYLE);
    WriteText(element, "URL", URL);
    WriteFlag(element, "SHOW_AUTHOR", SHOW_AUTHOR);
    WriteFlag(element, "SHOW_DATE", SHOW_DATE);
    WriteFlag(element, "HAS_BORDER", HAS_BORDER);
}

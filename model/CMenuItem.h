#pragma once

#include "platform/XmlDocument.h"

#include <string>

// One entry of the menu list (a "MENUITEM" element): a column when COLUMN names its column
// document, a link otherwise.
class TDMenuItem {
  public:
    explicit TDMenuItem(TXmlElement element = TXmlElement());
    void Save(TXmlElement element) const;
    bool operator==(const TDMenuItem&) const = default;

    bool IsColumn() const { return !COLUMN.empty(); }

    std::string TITLE;
    std::string COLUMN;
    std::string STYLE = "Title with summary";
    std::string URL;
    bool SHOW_AUTHOR = false;
    bool SHOW_DATE = false;
    bool HAS_BORDER = true;
};

// The seven listing styles, in the column dialog's order.
extern const char* const ListingStyles[7];

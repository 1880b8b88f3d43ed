#include "model/CLanguage.h"

#include "model/Values.h"

namespace {
const char* const DefaultEntries[TDLanguage::EntryCount][2] = {
    {"WELCOME", "Welcome"},
    {"TODAY_IS", "Today is"},
    {"MONDAY", "Monday"},
    {"TUESDAY", "Tuesday"},
    {"WEDNESDAY", "Wendesday"},
    {"THURSDAY", "Thursday"},
    {"FRIDAY", "Friday"},
    {"SATURDAY", "Saturday"},
    {"SUNDAY", "Sunday"},
    {"SETASHOMEPAGE", "Set as homepage"},
    {"ADDTOFAVORITE", "Add to favorite"},
    {"CONTACTUS", "Contact us"},
    {"ADDRESS", "Address"},
    {"TEL", "Tel"},
    {"FAX", "Fax"},
    {"EMAIL", "E-mail"},
    {"PREVIOUS", "Previous"},
    {"NEXT", "Next"},
};
} // namespace

TDLanguage::TDLanguage(TXmlElement element) {
    for (int i = 0; i < EntryCount; ++i) {
        Keys[i] = DefaultEntries[i][0];
        Values[i] = DefaultEntries[i][1];
    }
    Count = EntryCount;
    if (!element)
        return;
    for (int i = 0; i < EntryCount; ++i)
        ReadText(element, Keys[i].c_str(), Values[i]);
}

void TDLanguage::Save(TXmlElement element) const {
    if (!element)
        return;
    RemoveAllChildren(element);
    for (int i = 0; i < Count; ++i)
        WriteText(element, Keys[i].c_str(), Values[i]);
}

void TDLanguage::SaveTemplate(TXmlElement element) const {
    Save(element);
}

std::string TDLanguage::Lookup(const std::string& key) const {
    for (int i = 0; i < Count; ++i)
        if (Keys[i] == key)
            return Values[i];
    return key;
}

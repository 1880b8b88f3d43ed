#include "model/CLanguage.h"

#include "model/Values.h"

#include <algorithm>

namespace {
const char* const DefaultEntries[TDLanguage::EntryCount][2] = {
    {"WELCOME", "Welcome"},
    {"TODAY_IS", "Today is"},
    {"MONDAY", "Monday"},
    {"TUESDAY", "Tuesday"},
    {"WEDNESDAY", "Wednesday"},
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

bool TDLanguage::operator==(const TDLanguage& other) const {
    if (Count != other.Count)
        return false;
    const int used = std::clamp(Count, 0, Capacity);
    for (int i = 0; i < used; ++i)
        if (Keys[i] != other.Keys[i] || Values[i] != other.Values[i])
            return false;
    return true;
}

std::string TDLanguage::Lookup(const std::string& key) const {
    for (int i = 0; i < Count; ++i)
        if (Keys[i] == key)
            return Values[i];
    return key;
}

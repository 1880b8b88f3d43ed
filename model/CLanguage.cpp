#include "model/CLanguage.h"

#include "model/SiteLanguage.h"
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

const char* const TDLanguage::ModernKeys[ModernEntryCount] = {
    "SKIP_TO_CONTENT", "PAGE_NOT_FOUND", "BACK_TO_HOMEPAGE", "MENU", "READ_MORE",
};

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
    for (const char* key : ModernKeys)
        if (ChildByName(element, key)) {
            AddModernEntries("en");
            for (int i = EntryCount; i < Count; ++i)
                ReadText(element, Keys[i].c_str(), Values[i]);
            break;
        }
}

bool TDLanguage::HasModernEntries() const {
    return Count == EntryCount + ModernEntryCount && Keys[EntryCount] == ModernKeys[0];
}

void TDLanguage::AddModernEntries(const std::string& siteLanguage) {
    if (HasModernEntries() || Count != EntryCount)
        return;
    const char* const* words = ModernWordsFor(siteLanguage);
    for (int i = 0; i < ModernEntryCount; ++i) {
        Keys[EntryCount + i] = ModernKeys[i];
        Values[EntryCount + i] = words[i];
    }
    Count = EntryCount + ModernEntryCount;
}

void TDLanguage::RemoveModernEntries() {
    if (!HasModernEntries())
        return;
    for (int i = EntryCount; i < Count; ++i) {
        Keys[i].clear();
        Values[i].clear();
    }
    Count = EntryCount;
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

void TDLanguage::FitDesign(bool modern, const std::string& siteLanguage) {
    if (modern)
        AddModernEntries(siteLanguage);
    else
        RemoveModernEntries();
}

void TDLanguage::ChangeModernLanguage(const std::string& from, const std::string& to) {
    if (!HasModernEntries())
        return;
    const char* const* before = ModernWordsFor(from);
    const char* const* after = ModernWordsFor(to);
    for (int i = 0; i < ModernEntryCount; ++i)
        if (Values[EntryCount + i] == before[i])
            Values[EntryCount + i] = after[i];
}

std::string TDLanguage::Lookup(const std::string& key) const {
    for (int i = 0; i < Count; ++i)
        if (Keys[i] == key)
            return Values[i];
    for (int i = 0; i < ModernEntryCount; ++i)
        if (key == ModernKeys[i])
            return ModernWordsFor("en")[i];
    return key;
}

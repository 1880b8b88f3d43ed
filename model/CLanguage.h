#pragma once

#include "platform/XmlDocument.h"

#include <array>
#include <string>

// The fixed words of the generated pages (element "LANGUAGE"): 18 key and text pairs in a
// table of 101 slots.
class TDLanguage {
  public:
    static constexpr int Capacity = 101;
    static constexpr int EntryCount = 18;

    explicit TDLanguage(TXmlElement element = TXmlElement());
    void Save(TXmlElement element) const;
    void SaveTemplate(TXmlElement element) const;
    // Two tables are equal when they hold the same entries: the same Count and the same keys
    // and texts in slots 0 to Count - 1. The slots beyond Count are not part of the table
    // (nothing reads or writes them), so whatever they hold is left out.
    bool operator==(const TDLanguage& other) const;

    // The text of the first entry whose key equals key exactly, else key itself.
    std::string Lookup(const std::string& key) const;

    std::array<std::string, Capacity> Keys;
    std::array<std::string, Capacity> Values;
    int Count = EntryCount;
};

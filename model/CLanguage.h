#pragma once

#include "platform/XmlDocument.h"

#include <array>
#include <string>

// The fixed words of the generated pages (element "LANGUAGE"): 18 key and text pairs in a
// table of 101 slots. A Modern project's table has five more after them, the words only the
// Modern pages show; a Classic project's table never holds them, so its file keeps its bytes.
class TDLanguage {
  public:
    static constexpr int Capacity = 101;
    static constexpr int EntryCount = 18;
    static constexpr int ModernEntryCount = 5;
    // The keys of the Modern pages' words, in the order they follow the 18.
    static const char* const ModernKeys[ModernEntryCount];

    explicit TDLanguage(TXmlElement element = TXmlElement());
    void Save(TXmlElement element) const;
    void SaveTemplate(TXmlElement element) const;
    // Two tables are equal when they hold the same entries: the same Count and the same keys
    // and texts in slots 0 to Count - 1. The slots beyond Count are not part of the table
    // (nothing reads or writes them), so whatever they hold is left out.
    bool operator==(const TDLanguage& other) const;

    // The text of the first entry whose key equals key exactly; for a Modern key the table
    // lacks, its English text; else key itself.
    std::string Lookup(const std::string& key) const;

    // Whether the table holds the Modern pages' words (a document with any of their keys
    // gives all five, the missing ones in English).
    bool HasModernEntries() const;
    // Appends the Modern pages' words in the site's language (ModernWordsFor) when the table
    // lacks them; RemoveModernEntries takes them away again, leaving the 18.
    void AddModernEntries(const std::string& siteLanguage);
    void RemoveModernEntries();
    // The first for a Modern design, the second for a Classic one.
    void FitDesign(bool modern, const std::string& siteLanguage);
    // The site's language changed from one to another: each of the Modern pages' words that
    // is still the old language's own becomes the new language's; a word the user wrote
    // stays.
    void ChangeModernLanguage(const std::string& from, const std::string& to);

    std::array<std::string, Capacity> Keys;
    std::array<std::string, Capacity> Values;
    int Count = EntryCount;
};

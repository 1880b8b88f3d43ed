#pragma once

#include <cstddef>
#include <optional>
#include <string>

// The language a site is written in, as a BCP 47 tag ("en", "de", "pt-BR"): the common
// languages the options dialog offers, the tag a new project takes from the user's locale,
// and the well-formedness of a tag typed by hand.

struct TSiteLanguage {
    const char* Tag;
    // The language's English name, as the dialog lists it.
    const char* Name;
};

// The common languages, English first, then by name. Each has the Modern pages' fixed words
// in its own language (ModernWordsFor).
extern const TSiteLanguage CommonSiteLanguages[24];

// The tag in its usual case ("PT-br" gives "pt-BR", "zh-hant-tw" gives "zh-Hant-TW"), with
// "_" read as "-" and blanks around it dropped; nullopt when it is not a well-formed BCP 47
// tag (RFC 5646: language, script, region, variants, extensions, private use).
std::optional<std::string> NormalizeLanguageTag(const std::string& text);

// The site language for a POSIX locale name ("de_DE.UTF-8" gives "de", "pt_BR" gives
// "pt-BR", "sr_RS@latin" gives "sr-Latn"): the language alone, with its region only where a
// common language is told apart by it. "C", "POSIX", an empty or unreadable name: "en".
std::string SiteLanguageOfLocale(const std::string& localeName);

// The index in CommonSiteLanguages of the entry for tag: its own, else the first of its
// language ("de-AT" gives German's, "zh-HK" Chinese (Simplified)'s), else English's (0).
std::size_t CommonLanguageIndex(const std::string& tag);

// The Modern pages' fixed words ("Skip to content", "Page not found", "Back to the homepage",
// "Menu", "Read more") in the language of tag: its own entry, else its language's, else
// English. In the order of TDLanguage's Modern keys.
const char* const* ModernWordsFor(const std::string& tag);

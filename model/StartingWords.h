#pragma once

#include "model/CLanguage.h"

#include <string>

class TDProject;

// The words a new blank project starts with in its site's language, so that it speaks one
// language throughout: the 18 fixed words of the pages, the topic's caption and the foot's
// copyright line. The title of the topic is the welcome word.
struct TStartingWords {
    const char* Tag;
    // In the order of TDLanguage's keys (WELCOME, TODAY_IS, MONDAY ... NEXT).
    const char* Entries[TDLanguage::EntryCount];
    const char* Caption;
    const char* Copyright;
};

// One entry for each common site language (CommonSiteLanguages), English first; the English
// entry holds the words every record starts with.
extern const TStartingWords StartingWords[24];

// The words in the language of tag: its own entry, else its language's ("de-AT" takes
// "de"), else English.
const TStartingWords& StartingWordsFor(const std::string& tag);

// Gives the project the words of its site language (OPTIONS.SITE_LANGUAGE): the fixed words of
// the language table, the topic's caption and title and the foot's copyright line. Only for a
// project that is being made; the table's Modern words are left to FitLanguageToDesign.
void StartInSiteLanguage(TDProject& project);

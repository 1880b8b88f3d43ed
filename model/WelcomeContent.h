#pragma once

#include <string>

class TDProject;

// What a new project holds from the start, so that its site is never blank: a first column
// with one welcome page that says in a few lines what to do next (add pages, pick a look,
// publish), in the site's language.

// The welcome's words in one language: the column's title, the page's title, the opening
// line and the three next steps, each "**Step**: what it means" in Markdown.
struct TWelcomeWords {
    const char* Tag;
    const char* ColumnTitle;
    const char* PageTitle;
    const char* Opening;
    const char* Steps[3];
};

// One entry for each common site language (CommonSiteLanguages), English first.
extern const TWelcomeWords WelcomeWords[24];

// The words in the language of tag: its own entry, else its language's ("de-AT" takes
// "de"), else English.
const TWelcomeWords& WelcomeWordsFor(const std::string& tag);

// The welcome page's text as TDPage.TEXT holds it: Markdown (the opening, a blank line, the
// steps as a list) when markdown is true, else plain lines without the Markdown marks.
std::string WelcomeText(const TWelcomeWords& words, bool markdown);

// Gives a project whose menu list is empty a first column, titled in the site's language,
// that shows its one welcome page in full; the page is Markdown when the design is Modern.
// Writes the column document and Default.Pro. A project that has menu items already, or
// whose list is full, is left as it is; returns whether the column was added.
bool AddWelcomeColumn(TDProject& project);

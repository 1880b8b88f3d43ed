#pragma once

// The pages of the open project as a formatted text links to them ("page:ID"): the columns
// of the menu list with their pages' titles and ids, for the link dialog to offer and for the
// editor to name a link's page. A page without an id gets one when a text first links to
// it: the editor makes the id at once and AssignPageIds writes it into the page's column
// document when the dialog's OK saves the text; so does a page whose id was edited by hand
// into something a link cannot name, and a page copied with the id of a page before it (the
// pages' links to that id lead to the first).

#include <string>
#include <vector>

class TDPage;
class TDProject;
class TXmlDocument;

struct TSitePage {
    int Item = -1;  // the menu item of its column
    int Index = -1; // its place in the column
    std::string Title;
    std::string Id; // empty when it has none yet
};

struct TSiteColumn {
    int Item = -1;
    std::string Title;
    std::vector<TSitePage> Pages;
};

// A page id made for a link, to be written into its page.
struct TPageIdToAssign {
    int Item = -1;
    int Index = -1;
    std::string Id;
    // The id the page shares with a page before it (a page copied with its id), which the new
    // one replaces; empty when the page had none a link can name.
    std::string Replaces;
    bool operator==(const TPageIdToAssign&) const = default;
};

class TSitePages {
  public:
    // Reads every column document of the project; the column in use (CurrentColumn) is taken
    // as it is in memory. A column that cannot be read is listed without pages.
    static TSitePages Read(const TDProject& project, TXmlDocument& document);

    // The page with this id, none when no page has it.
    const TSitePage* FindById(const std::string& id) const;
    const TSiteColumn* FindColumn(int item) const;

    std::vector<TSiteColumn> Columns;
};

// Writes each id into its page, unless the page has an id a link can name already (other than
// the one the new id replaces). A page of the
// column in use (CurrentColumn) is changed in memory only, for its caller to save; edited, when
// given, stands for the page being edited there (CurrentColumn->CurrentPage). Every other column
// document is read, changed and saved. Throws TError naming a document that cannot be
// written.
void AssignPageIds(const TDProject& project, TXmlDocument& document,
                   const std::vector<TPageIdToAssign>& ids, TDPage* edited);

#pragma once

#include "model/CMenuItem.h"
#include "model/CPage.h"
#include "model/CProject.h"
#include "platform/Error.h"

#include <exception>
#include <optional>
#include <string>
#include <vector>

// A place in the menu list: a menu item, or one page of a column item.
struct TMenuPlace {
    int Item = -1;
    int Page = -1; // -1 for the menu item itself
    bool IsPage() const { return Page >= 0; }
    bool operator==(const TMenuPlace&) const = default;
};

// A place that the project does not hold (any more): the caller's picture of the menu list
// is out of step with the files.
class TNoSuchPlace : public TError {
  public:
    using TError::TError;
};

// The structure commands on the open project and its column documents, as the desktop
// program and the command-line tool share them: add, move and remove menu items and pages,
// and empty the HTML folder before a build or a publish. Every change is written at once.
// The editor holds no state of its own; the project does.
class TProjectEditor {
  public:
    explicit TProjectEditor(TDProject& project) : FProject(project) {}

    // A new column ("New Column", with an empty column document) or link ("New Link") at the
    // end of the menu list; none when the list is full.
    const TDMenuItem* AddColumn();
    const TDMenuItem* AddLink();
    // Appends "New Page" with today's date to the column of menu item `item` and gives its
    // title; none when the column is full.
    std::optional<std::string> AddPage(int item);
    // A new page of the project: "New Page" with today's date and an id of its own, its text
    // Markdown when the project's design is Modern and as typed otherwise.
    static TDPage NewPage(const TDProject& project);

    // Moves a menu item or a page one place up or down among its siblings. False, with
    // nothing written, when it is already first (up) or last (down).
    bool MoveUp(const TMenuPlace& place);
    bool MoveDown(const TMenuPlace& place);
    // Removes a menu item (its column document stays on disk) or a page.
    void Remove(const TMenuPlace& place);

    // The titles of the pages of the column of menu item `item`, in page order.
    std::vector<std::string> PageTitles(int item) const;
    // The page titles of every menu item, in menu order (none for a link), as PageTitles
    // gives them; the columns are read on up to `threads` threads at once, each with a
    // document of its own. A column that cannot be read has its error in its place.
    struct TColumnTitles {
        std::vector<std::string> Titles;
        std::exception_ptr Error;
    };
    std::vector<TColumnTitles> AllPageTitles(unsigned threads) const;
    // The column document of menu item `item`; TNoSuchPlace when it is no column.
    std::string ColumnFile(int item) const;
    // Throws TNoSuchPlace unless the place is in the menu list (a page's column is not read).
    void CheckItem(int item) const;

    // Empties the HTML folder for Build and Publish: the ordinary files directly in it go, and
    // symbolic links as links (their targets untouched); sub-folders and their contents,
    // hidden files (".htaccess"), FIFOs and devices stay, and a file that cannot be deleted
    // stays without a word. Gives the number of entries deleted.
    int PrepareHTMLFolder() const;
    static int PrepareOutputFolder(const std::string& folder);

  private:
    bool Move(const TMenuPlace& place, bool up);

    TDProject& FProject;
};

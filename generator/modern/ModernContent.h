#pragma once

// The main region of the modern pages: a column's listing in its style, and a page's own
// view as an article with its previous and next links.

#include "model/CColumn.h"
#include "model/CProject.h"

class TModernContent {
  public:
    TModernContent(TDProject& project, const TDColumn& column, int item, bool firstColumn);
    // The column's heading and its pages as the menu item's style lays them out.
    void WriteListing();
    // Page number page of the column as an article.
    void WriteArticle(int page);

  private:
    void WriteTitleList(bool anchors);
    void WriteCards();
    void WriteEntries();
    void WriteGallery(int perRow, int maxWidth);
    void WriteEntry(int page, const char* heading);
    void WriteLinkButton(const TDPage& page);
    std::string PageHref(int page) const;
    std::string Title(const TDPage& page) const;

    TDProject& FProject;
    const TDColumn& FColumn;
    const TDMenuItem& FItem;
    int FItemIndex;
    bool FFirstColumn;
};

#pragma once

#include "model/CPage.h"
#include "platform/XmlDocument.h"

#include <array>
#include <memory>
#include <string>

// One column document in memory: the pages of a column. Short-lived: whoever needs a
// column's pages constructs one from its file, uses it and releases it. Every change is
// written to the file at once.
class TDColumn {
  public:
    static constexpr int Capacity = 1000;

    // Reads the column document (at most the first 1000 pages). Throws TError naming the file.
    TDColumn(const std::string& fileName, TXmlDocument& document);

    // Appends "New Page" with today's date and saves; none when the column is full.
    TDPage* AddPage();
    // The same with the page given.
    TDPage* AddPage(TDPage page);
    void RemovePage(int index);
    void MovePageUp(int index);
    void MovePageDown(int index);
    // Rewrites the column document from the pages; writes nothing when the file can no
    // longer be read.
    void Save();

    TDPage& Page(int index) { return *Pages[static_cast<std::size_t>(index)]; }
    const TDPage& Page(int index) const { return *Pages[static_cast<std::size_t>(index)]; }

    std::string FileName;
    TXmlDocument* Document;
    std::array<std::unique_ptr<TDPage>, Capacity> Pages;
    int PageCount = 0;
    int CurrentPage = -1;
};

// The one column document in use, one per thread (a build in the background has its own);
// none between uses.
extern thread_local TDColumn* CurrentColumn;

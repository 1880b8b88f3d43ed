#pragma once

// A column with pages of given contents, loaded as the column in use, for the tests of the
// text area and the single page view.

#include "GeneratorFixture.h"

#include <cstdint>
#include <string>
#include <vector>

struct TPageSetup {
    std::string Title = "";
    std::string Author = "";
    std::string Date = "";
    std::string Picture = "";
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::string Text = "";
    std::string Link = "";
    std::string Kind = "Link";
    std::string Url = "";
};

// Adds a link and then a column, so the column stands at menu index 1 and its files are
// Page1_j.htm; loads the column with the given pages as the column in use.
inline TDColumn& MakeColumn(TGeneratorFixture& f, const std::string& style,
                            const std::vector<TPageSetup>& pages, int currentPage = -1) {
    f.Project->AddMenuItem(true);
    const int index = f.AddColumn(static_cast<int>(pages.size()), style);
    TDColumn& column = f.UseColumn(index, currentPage);
    for (std::size_t j = 0; j < pages.size(); ++j) {
        TDPage& page = column.Page(static_cast<int>(j));
        const TPageSetup& s = pages[j];
        page.TITLE = s.Title;
        page.AUTHOR = s.Author;
        page.DATE = s.Date;
        page.PICTURE = s.Picture;
        page.PICTURE_WIDTH = s.Width;
        page.PICTURE_HEIGHT = s.Height;
        page.TEXT = s.Text;
        page.LINK = s.Link;
        page.KIND = s.Kind;
        page.URL = s.Url;
    }
    return column;
}

inline TDMenuItem& ItemInUse(TGeneratorFixture& f) {
    return f.Project->MenuItem(f.Project->CurrentItem);
}

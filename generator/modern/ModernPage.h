#pragma once

// One page of the modern design: the head, then the landmarks of the page (header, menu,
// main, aside, footer), written from the generation context as the classic page writer reads
// it (project.PageName, project.CurrentItem, CurrentColumn and its CurrentPage).

#include "model/CColumn.h"
#include "model/CProject.h"

#include <string>
#include <vector>

// What every page of a build shares: worked out once per build.
struct TModernShared {
    std::string ThemeColor;
    // Each menu entry's opening "<li><a href="..."" and the rest of its line after the
    // attributes (">Title</a></li>").
    std::vector<std::string> MenuOpen, MenuRest;
    std::string MenuLabel;
    // The topic's logo gives the icons (LogoIconName), else the letter icon does.
    bool LogoIcons = false;
};

class TModernPage {
  public:
    // The page the context names; notFound writes the "Page not found" page instead.
    TModernPage(TDProject& project, bool notFound);
    void Write();

    // The pieces that other writers of the design share.
    // A file name as part of an address, its reserved bytes escaped.
    static std::string AddressPart(const std::string& name);
    // The date of a page in one form with its machine-readable date, or the stored text.
    static std::string TimeElement(const std::string& date);
    // "Ann · <time ...>...</time>" or what of it is there: the author where the column shows
    // authors, the date where it shows dates; empty when neither is.
    static std::string Byline(const TDPage& page, const TDMenuItem& item);
    // An img element of a picture of the Images folder, shown at most maxWidth wide (0: its
    // stored size). A JPEG shown smaller than it is comes as a copy of the size shown, and
    // one of twice that size is offered to sharp screens when the picture has the pixels.
    // Its addresses come after root (the 404 page's, see Root).
    static std::string Picture(TDProject& project, const std::string& name, std::int32_t width,
                               std::int32_t height, const std::string& alt, std::int32_t maxWidth,
                               bool lazy, const char* cssClass = nullptr,
                               const std::string& root = std::string());
    // What the 404 page puts before the addresses of the site's own files, escaped: the
    // server shows it for a missing address at any depth, where a relative address would
    // miss.
    static std::string Root(const TDProject& project);

  private:
    void WriteHead();
    void WriteSocialTags(const std::string& title, const std::string& description);
    void WriteStructuredData();
    void WriteHeader();
    void WriteMenu();
    void WriteMain();
    void WriteHotspot();
    void WriteFoot();
    void CopySitePictures();
    std::string OwnTitle() const;
    std::string Description() const;
    std::string FileName() const;

    static TModernShared MakeShared(const TDProject& project, int firstColumn,
                                    const std::string& root);

    TDProject& FProject;
    TOutputFile& FOut;
    TModernShared FOwnShared; // outside a build
    const TModernShared* FShared = nullptr;
    const TDColumn* FColumn;
    const TDMenuItem* FItem = nullptr;
    int FPage = -1;
    bool FHomepage;
    bool FNotFound;
    int FFirstColumn = -1;
    // Before the addresses of the site's own files: empty but on the 404 page.
    std::string FRoot;
};

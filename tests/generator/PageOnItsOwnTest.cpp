// The preview's ways of building: one page on its own (BuildPageInto, BuildHomepageInto) and
// a whole build that another thread can stop and follow (TBuildControl). For random projects
// and each kind of change, what they leave is byte for byte what a fresh full build writes.

#include "PictureSupport.h"
#include "TestSupport.h"
#include "generator/BuildControl.h"
#include "generator/Driver.h"
#include "generator/Generator.h"
#include "model/CColumn.h"
#include "model/CProject.h"
#include "platform/FileSystem.h"
#include "platform/PictureScaler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

// A small deterministic generator, so that a failing seed can be run again.
class TRandom {
  public:
    explicit TRandom(std::uint32_t seed) : FState(seed * 2654435761u + 1u) {}
    std::uint32_t Next() {
        FState ^= FState << 13;
        FState ^= FState >> 17;
        FState ^= FState << 5;
        return FState;
    }
    int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint32_t>(n)); }
    bool OneIn(int n) { return Below(n) == 0; }

  private:
    std::uint32_t FState;
};

const char* const Styles[] = {"Only title list",           "Title list with summary",
                              "Title list and contents",   "Contents",
                              "Pictures List (2 columns)", "Pictures List (3 columns)",
                              "Pictures List (4 columns)"};

// Page ids: the last is never given to a page.
const std::string PageIds[] = {"aaaaaaaa", "bbbbbbbb", "cccccccc", "dddddddd", "eeeeeeee",
                               "ffffffff", "gggggggg", "hhhhhhhh", "kkkkkkkk"};

const char* const Frames[] = {"Topic on top menu on top",     "Topic and menu on top",
                              "Menu on left foot on bottom",  "Menu on left foot on right",
                              "Topic on left foot on bottom", "Topic on left foot on right"};

std::string Words(TRandom& random, int count) {
    static const char* const words[] = {"bread", "flour", "oven", "<b>market</b>", "&amp;",
                                        "river", "grüße", "€",    "path",          "#$D#$A"};
    std::string text;
    for (int i = 0; i < count; ++i)
        text += std::string(i ? " " : "") + words[random.Below(10)];
    return text;
}

// Every file directly in a folder with its bytes.
std::map<std::string, std::string> FilesIn(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const std::string& name : RegularFilesIn(folder))
        files[name] = ReadFileBytes(folder + "/" + name);
    return files;
}

// Equal bytes, or where they first differ, with a little of each around it.
::testing::AssertionResult SameBytes(const std::string& got, const std::string& wanted) {
    if (got == wanted)
        return ::testing::AssertionSuccess();
    std::size_t at = 0;
    while (at < got.size() && at < wanted.size() && got[at] == wanted[at])
        ++at;
    const std::size_t from = at > 40 ? at - 40 : 0;
    return ::testing::AssertionFailure()
           << "differ at byte " << at << " of " << got.size() << " / " << wanted.size()
           << ":\n  got    ..." << got.substr(from, 100) << "\n  wanted ..."
           << wanted.substr(from, 100);
}

class PageOnItsOwnTest : public ::testing::Test {
  protected:
    PageOnItsOwnTest() : Photo(EncodeJpeg(MarkedPicture(900, 600), 80, "Photo.jpg")) {
        StartSite();
    }

    // A new empty project in a new folder, with a picture, a logo and a download.
    void StartSite() {
        Project.reset();
        Dir = std::make_unique<TTempFolder>();
        MakeFolder(In("Site"));
        Project = std::make_unique<TDProject>(In("Site"), Document);
        WriteFileBytes(Project->ImagesPath() + "Photo.jpg", Photo);
        WriteFileBytes(Project->ImagesPath() + "Logo.gif", "GIF89a logo");
        WriteFileBytes(Project->DownloadsPath() + "Leaflet.pdf", "%PDF leaflet");
    }
    std::string In(const std::string& name) const { return *Dir / name; }

    std::string Temp() const { return Project->Folder + "/Temp"; }

    // A project of a few columns and links in random styles, with pictures (one too large
    // for the picture size when that option is on), downloads and site options.
    void MakeRandomProject(std::uint32_t seed) {
        TRandom random(seed);
        Project->FRAME.FRAME = Frames[random.Below(6)];
        Project->FRAME.HAS_HOTSPOT = random.OneIn(2);
        Project->FRAME.HOMEPAGE = random.OneIn(3) ? "Index" : "Default";
        Project->TOPIC.CAPTION = Words(random, 2);
        Project->TOPIC.LOGO = random.OneIn(2) ? "Logo.gif" : "Photo.jpg";
        Project->TOPIC.LOGO_WIDTH = 90;
        Project->TOPIC.LOGO_HEIGHT = 60;
        Project->HOTSPOT.PICTURE = "Photo.jpg";
        Project->HOTSPOT.PICTURE_WIDTH = 900;
        Project->HOTSPOT.PICTURE_HEIGHT = 600;
        Project->HOTSPOT.TEXT = Words(random, 6) + " [t](page:" + PageIds[0] + ")";
        Project->HOTSPOT.FORMAT = random.OneIn(2) ? "Markdown" : "";
        Project->OPTIONS.PAGE_TITLES = random.OneIn(2);
        Project->OPTIONS.FEEDS = random.OneIn(2);
        Project->OPTIONS.SITEMAP = random.OneIn(2);
        Project->OPTIONS.MOBILE = random.OneIn(2);
        Project->OPTIONS.ALT_TEXTS = random.OneIn(2);
        Project->OPTIONS.PICTURE_SIZE = random.OneIn(2) ? 300 : 0;
        Project->TOPIC.DOMAIN = "https://example.org";
        const int items = 2 + random.Below(5);
        for (int i = 0; i < items; ++i) {
            TDMenuItem* item = Project->AddMenuItem(i > 0 && random.OneIn(4));
            item->TITLE = "Item " + std::to_string(i);
            if (!item->IsColumn()) {
                item->URL = "http://example.org/" + std::to_string(i);
                continue;
            }
            item->STYLE = Styles[random.Below(7)];
            item->SHOW_DATE = random.OneIn(2);
            item->SHOW_AUTHOR = random.OneIn(2);
            Project->Save();
            TDColumn column(Project->ColumnFile(Project->MenuCount - 1), Document);
            const int pages = random.Below(6);
            for (int j = 0; j < pages; ++j) {
                TDPage& page = *column.AddPage();
                page.TITLE = Words(random, 3);
                page.AUTHOR = "Anna";
                page.TEXT = Words(random, 5 + random.Below(80));
                if (random.OneIn(2)) {
                    page.PICTURE = random.OneIn(2) ? "Photo.jpg" : "Logo.gif";
                    page.PICTURE_WIDTH = 900;
                    page.PICTURE_HEIGHT = 600;
                }
                if (random.OneIn(3)) {
                    page.LINK = "Leaflet";
                    page.KIND = "Download";
                    page.URL = "Leaflet.pdf";
                }
                // Markdown texts linking to pages of any column (by id, also to one that is
                // not there), to the download and to a picture.
                page.ID = PageIds[static_cast<std::size_t>(random.Below(8))];
                if (random.OneIn(2)) {
                    page.FORMAT = "Markdown";
                    page.TEXT += " [a](page:" + PageIds[static_cast<std::size_t>(random.Below(9))] +
                                 ") [b](download:Leaflet.pdf) ![c](image:Photo.jpg)";
                }
            }
            column.Save();
        }
        Project->Save();
    }

    int FirstColumn() const {
        for (int i = 0; i < Project->MenuCount; ++i)
            if (Project->MenuItem(i).IsColumn())
                return i;
        return -1;
    }
    int LastColumn() const {
        for (int i = Project->MenuCount - 1; i >= 0; --i)
            if (Project->MenuItem(i).IsColumn())
                return i;
        return -1;
    }

    // The site as a fresh full build into an empty folder writes it now, read by a project
    // opened afresh from its files, as Build after the change would see it.
    std::map<std::string, std::string> FreshBuild() {
        const std::string folder = In("fresh" + std::to_string(++Fresh));
        MakeFolder(folder);
        TXmlDocument document;
        TDProject opened(Project->Folder, document);
        BuildInto(opened, folder);
        return FilesIn(folder);
    }

    std::string Photo;
    std::unique_ptr<TTempFolder> Dir;
    TXmlDocument Document;
    std::unique_ptr<TDProject> Project;
    int Fresh = 0;
};

// One change of each kind the preview meets: to one page's text or title, a column's title,
// the style, the language, the options, and to the structure.
struct TChange {
    const char* Name;
    std::function<void(PageOnItsOwnTest&, TDProject&, TXmlDocument&, int column)> Make;
};

void EditPage(TDProject& project, TXmlDocument& document, int item,
              const std::function<void(TDPage&)>& edit) {
    TDColumn column(project.ColumnFile(item), document);
    if (column.PageCount == 0)
        column.AddPage();
    edit(column.Page(column.PageCount / 2));
    column.Save();
}

const TChange Changes[] = {
    {"page text",
     [](PageOnItsOwnTest&, TDProject& p, TXmlDocument& d, int item) {
         EditPage(p, d, item, [](TDPage& page) { page.TEXT = "Changed text#$D#$Aon two lines"; });
     }},
    {"page title",
     [](PageOnItsOwnTest&, TDProject& p, TXmlDocument& d, int item) {
         EditPage(p, d, item, [](TDPage& page) { page.TITLE = "A changed <i>title</i>"; });
     }},
    {"page picture",
     [](PageOnItsOwnTest&, TDProject& p, TXmlDocument& d, int item) {
         EditPage(p, d, item, [](TDPage& page) {
             page.PICTURE = "Photo.jpg";
             page.PICTURE_WIDTH = 900;
             page.PICTURE_HEIGHT = 600;
         });
     }},
    {"column title",
     [](PageOnItsOwnTest&, TDProject& p, TXmlDocument&, int item) {
         p.MenuItem(item).TITLE = "Renamed column";
         p.Save();
     }},
    {"column style",
     [](PageOnItsOwnTest&, TDProject& p, TXmlDocument&, int item) {
         p.MenuItem(item).STYLE =
             p.MenuItem(item).STYLE == "Contents" ? "Only title list" : "Contents";
         p.Save();
     }},
    {"colour",
     [](PageOnItsOwnTest&, TDProject& p, TXmlDocument&, int) {
         p.COLOR.TEXT_BG = 0x00336699;
         p.FRAME.FRAME = "Topic on left foot on right";
         p.Save();
     }},
    {"language",
     [](PageOnItsOwnTest&, TDProject& p, TXmlDocument&, int) {
         p.LANGUAGE.Values[0] = "Willkommen";
         p.LANGUAGE.Values[16] = "Zurück";
         p.Save();
     }},
    {"options",
     [](PageOnItsOwnTest&, TDProject& p, TXmlDocument&, int) {
         p.OPTIONS.PAGE_TITLES = !p.OPTIONS.PAGE_TITLES;
         p.OPTIONS.PICTURE_SIZE = p.OPTIONS.PICTURE_SIZE ? 0 : 200;
         p.Save();
     }},
    {"page added",
     [](PageOnItsOwnTest&, TDProject& p, TXmlDocument& d, int item) {
         TDColumn column(p.ColumnFile(item), d);
         column.AddPage();
     }},
    {"column removed",
     [](PageOnItsOwnTest&, TDProject& p, TXmlDocument&, int item) { p.RemoveMenuItem(item); }},
};

TEST_F(PageOnItsOwnTest, EveryPageOnItsOwnEqualsTheWholeBuild) {
    for (std::uint32_t seed = 1; seed <= 12; ++seed) {
        StartSite();
        MakeRandomProject(seed);
        const std::map<std::string, std::string> whole = FreshBuild();
        for (const auto& [name, bytes] : whole) {
            if (name.size() < 4 || name.compare(name.size() - 4, 4, ".htm") != 0)
                continue;
            SCOPED_TRACE("seed " + std::to_string(seed) + ", " + name);
            const std::string folder = In("single-" + name);
            MakeFolder(folder);
            ASSERT_TRUE(BuildPageInto(*Project, folder, name));
            const std::map<std::string, std::string> single = FilesIn(folder);
            ASSERT_TRUE(single.count(name));
            EXPECT_TRUE(SameBytes(single.at(name), bytes));
            // Whatever else it wrote is what the whole build wrote under that name.
            for (const auto& [other, otherBytes] : single) {
                ASSERT_TRUE(whole.count(other)) << other;
                EXPECT_TRUE(SameBytes(otherBytes, whole.at(other))) << other;
            }
        }
    }
}

TEST_F(PageOnItsOwnTest, NamesTheBuildDoesNotWriteWriteNothing) {
    MakeRandomProject(3);
    Project->MenuItem(0).STYLE = "Contents";
    Project->Save();
    const std::string folder = In("none");
    MakeFolder(folder);
    for (const char* name : {"Page0.htm", "Page0_0.htm", "Page99.htm", "Page1_1000.htm",
                             "Page01.htm", "Page1.html", "Other.htm", "Page-1.htm", "Page1_.htm"})
        EXPECT_FALSE(BuildPageInto(*Project, folder, name)) << name;
    EXPECT_TRUE(RegularFilesIn(folder).empty());
}

TEST_F(PageOnItsOwnTest, TheHomepageNamedLikeAPageIsThatPageAsTheWholeBuildLeavesIt) {
    Project->AddMenuItem(false);
    Project->Save();
    TDMenuItem* second = Project->AddMenuItem(false);
    second->TITLE = "Second";
    Project->FRAME.HOMEPAGE = "Page1";
    Project->Save();
    const std::map<std::string, std::string> whole = FreshBuild();
    const std::string folder = In("single");
    MakeFolder(folder);
    ASSERT_TRUE(BuildHomepageInto(*Project, folder));
    EXPECT_TRUE(SameBytes(ReadFileBytes(folder + "/Page1.htm"), whole.at("Page1.htm")));
}

TEST_F(PageOnItsOwnTest, TheEmptyMenuListsHomepageOnItsOwn) {
    ASSERT_TRUE(BuildHomepageInto(*Project, Temp()));
    EXPECT_EQ(ReadFileBytes(Temp() + "/Default.htm"), "<html>\r\n</html>\r\n");
    Project->AddMenuItem(true);
    Project->Save();
    EXPECT_FALSE(BuildHomepageInto(*Project, In("Site/HTML")));
}

// What the preview does after a change: the homepage first, then the whole build in the
// background. Both on Temp as an earlier preview left it; then Temp holds what a fresh build
// writes (and the pages of removed columns, which no build deletes).
TEST_F(PageOnItsOwnTest, HomepageFirstThenTheRestEqualsAFreshBuildForEachKindOfChange) {
    for (const TChange& change : Changes) {
        for (std::uint32_t seed = 20; seed < 24; ++seed) {
            SCOPED_TRACE(std::string(change.Name) + ", seed " + std::to_string(seed));
            StartSite();
            MakeRandomProject(seed);
            BuildPreview(*Project);
            const int item = seed % 2 ? FirstColumn() : LastColumn();
            ASSERT_GE(item, 0);
            change.Make(*this, *Project, Document, item);

            const std::map<std::string, std::string> fresh = FreshBuild();
            const std::string homepage = Project->FRAME.HOMEPAGE + ".htm";
            // Removing the only column may leave links alone, and no homepage.
            ASSERT_EQ(BuildHomepageInto(*Project, Temp()), fresh.count(homepage) == 1);
            if (fresh.count(homepage)) {
                EXPECT_TRUE(SameBytes(ReadFileBytes(Temp() + "/" + homepage), fresh.at(homepage)));
            }

            // The background build has a project and a document of its own.
            TBuildControl control;
            TBuildStats stats;
            std::thread background([&] {
                TXmlDocument document;
                TDProject own(Project->Folder, document, "", TDProject::TOpening::Inspect);
                BuildInto(own, Temp(), &stats, {}, &control);
            });
            background.join();
            EXPECT_FALSE(stats.Cancelled);
            EXPECT_EQ(control.PagesDone(), stats.PageFiles);
            EXPECT_EQ(control.PagesTotal(), stats.PageFiles);
            const std::map<std::string, std::string> temp = FilesIn(Temp());
            for (const auto& [name, bytes] : fresh) {
                ASSERT_TRUE(temp.count(name)) << name;
                EXPECT_TRUE(SameBytes(temp.at(name), bytes)) << name;
            }
        }
    }
}

// A build stopped part way leaves its files whole; the next build makes the folder what a
// fresh build writes, also when the project changed meanwhile.
TEST_F(PageOnItsOwnTest, ACancelledBuildIsRepairedByTheNextOne) {
    for (std::uint32_t seed = 40; seed < 48; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        StartSite();
        MakeRandomProject(seed);
        const std::string html = Project->Folder + "/HTML";
        BuildInto(*Project, html);
        const int last = LastColumn();
        TBuildControl control;
        TBuildStats stats;
        int columns = 0;
        BuildInto(
            *Project, html, &stats,
            [&](int column, int) {
                // The change comes while the build runs, as the next edit does.
                if (column == 2 || (column == 1 && seed % 2)) {
                    control.Cancel();
                    EditPage(*Project, *Project->Document, last,
                             [](TDPage& page) { page.TITLE = "Meanwhile"; });
                }
                ++columns;
            },
            &control);
        if (columns >= 2 || seed % 2) {
            EXPECT_TRUE(stats.Cancelled);
            EXPECT_LT(control.PagesDone(), control.PagesTotal() + 1);
        }
        for (const std::string& name : RegularFilesIn(html))
            EXPECT_EQ(name.find(".~"), std::string::npos) << name;
        BuildInto(*Project, html, &stats);
        EXPECT_FALSE(stats.Cancelled);
        const std::map<std::string, std::string> fresh = FreshBuild();
        const std::map<std::string, std::string> built = FilesIn(html);
        for (const auto& [name, bytes] : fresh) {
            ASSERT_TRUE(built.count(name)) << name;
            EXPECT_TRUE(SameBytes(built.at(name), bytes)) << name;
        }
    }
}

TEST_F(PageOnItsOwnTest, ACancelBeforeTheStartWritesNothing) {
    MakeRandomProject(5);
    TBuildControl control;
    control.Cancel();
    TBuildStats stats;
    BuildInto(*Project, Project->Folder + "/HTML", &stats, {}, &control);
    EXPECT_TRUE(stats.Cancelled);
    EXPECT_EQ(stats.PageFiles, 0);
    EXPECT_TRUE(RegularFilesIn(Project->Folder + "/HTML").empty());
}

// A cancel stops the build before it reads another column document: the window waits for
// the build to stop before its next change, and a large column takes a while to read. The
// column after the cancel cannot be read here, so a build that still reads it fails.
TEST_F(PageOnItsOwnTest, ACancelReadsNoFurtherColumn) {
    struct TCase {
        int CancelAt; // before the progress of this column (from 1); 0 before the start
        int PagesDone;
    };
    const TCase cases[] = {{0, 0}, {1, 0}, {2, 3}, {3, 6}};
    for (const TCase& c : cases) {
        SCOPED_TRACE("cancelled at column " + std::to_string(c.CancelAt));
        StartSite();
        for (int i = 0; i < 3; ++i) {
            TDMenuItem* item = Project->AddMenuItem(false);
            item->TITLE = "Column " + std::to_string(i);
            item->STYLE = "Only title list";
            Project->Save();
            TDColumn column(Project->ColumnFile(i), Document);
            column.AddPage()->TITLE = "First";
            column.AddPage()->TITLE = "Second";
            column.Save();
        }
        const int unreadable = std::max(c.CancelAt, 1) - 1;
        WriteFileBytes(Project->ColumnFile(unreadable), "<COLUMN><PAGE>");
        TBuildControl control;
        if (c.CancelAt == 0)
            control.Cancel();
        TBuildStats stats;
        const std::string html = Project->Folder + "/HTML";
        EXPECT_NO_THROW(BuildInto(
            *Project, html, &stats,
            [&](int column, int) {
                if (column == c.CancelAt)
                    control.Cancel();
            },
            &control));
        EXPECT_TRUE(stats.Cancelled);
        EXPECT_EQ(control.PagesDone(), c.PagesDone);
        EXPECT_EQ(stats.PageFiles, c.PagesDone);
        // Counting the pages reads every column document: a cancel before it leaves the
        // total unknown. The unreadable document counts its one PAGE.
        EXPECT_EQ(control.PagesTotal(), c.CancelAt == 0 ? 0 : 8);
    }
}

// Two builds at once, each on its thread with a project of its own, do not see each other's
// column in use: the window's homepage while the background build runs.
TEST_F(PageOnItsOwnTest, TwoBuildsAtOnceOnTwoThreads) {
    MakeRandomProject(7);
    const std::map<std::string, std::string> fresh = FreshBuild();
    const std::string html = Project->Folder + "/HTML";
    std::thread background([&] {
        TXmlDocument document;
        TDProject own(Project->Folder, document, "", TDProject::TOpening::Inspect);
        for (int run = 0; run < 5; ++run)
            BuildInto(own, html);
    });
    const std::string homepage = Project->FRAME.HOMEPAGE + ".htm";
    for (int run = 0; run < 20; ++run) {
        ASSERT_TRUE(BuildHomepageInto(*Project, Temp()));
        EXPECT_TRUE(SameBytes(ReadFileBytes(Temp() + "/" + homepage), fresh.at(homepage)));
    }
    background.join();
    const std::map<std::string, std::string> built = FilesIn(html);
    for (const auto& [name, bytes] : fresh)
        EXPECT_TRUE(SameBytes(built.at(name), bytes)) << name;
}

} // namespace

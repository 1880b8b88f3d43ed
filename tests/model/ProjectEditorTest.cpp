// The structure commands that the window and the command-line tool share.

#include "model/ProjectEditor.h"
#include "TestSupport.h"
#include "model/CColumn.h"
#include "model/ColumnInUse.h"
#include "model/PageId.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

class ProjectEditorTest : public ::testing::Test {
  protected:
    ProjectEditorTest() : Project(Dir.Path(), Document), Editor(Project) {}

    // Column 1 with three pages, a link, column 2 with none.
    void MakeMenu() {
        ASSERT_NE(Editor.AddColumn(), nullptr);
        ASSERT_NE(Editor.AddLink(), nullptr);
        ASSERT_NE(Editor.AddColumn(), nullptr);
        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE(Editor.AddPage(0));
        Rename(0, {"A", "B", "C"});
    }
    void Rename(int item, const std::vector<std::string>& titles) {
        TDColumn column(Project.ColumnFile(item), Document);
        for (std::size_t j = 0; j < titles.size(); ++j)
            column.Page(static_cast<int>(j)).TITLE = titles[j];
        column.Save();
    }
    std::vector<std::string> Titles() const {
        std::vector<std::string> titles;
        for (int i = 0; i < Project.MenuCount; ++i)
            titles.push_back(Project.MenuItem(i).TITLE);
        return titles;
    }
    std::string Files() const {
        return ReadFileBytes(Project.ProjectFile()) + ReadFileBytes(Project.ColumnFile(0));
    }

    TTempFolder Dir;
    TXmlDocument Document;
    TDProject Project;
    TProjectEditor Editor;
};

TEST_F(ProjectEditorTest, AllPageTitlesAreThoseOfEachColumnOnAnyNumberOfThreads) {
    MakeMenu();
    for (int i = 0; i < 6; ++i) {
        ASSERT_NE(Editor.AddColumn(), nullptr);
        for (int j = 0; j <= i; ++j)
            ASSERT_TRUE(Editor.AddPage(Project.MenuCount - 1));
        Rename(Project.MenuCount - 1, {"Column " + std::to_string(i)});
    }
    // A column document that is not XML, and one that is missing.
    WriteFileBytes(Project.ColumnFile(4), "<broken");
    DeleteFileQuietly(Project.ColumnFile(6));
    const std::set<int> broken{4, 6};
    for (const unsigned threads : {0U, 1U, 2U, 3U, 16U}) {
        const std::vector<TProjectEditor::TColumnTitles> all = Editor.AllPageTitles(threads);
        ASSERT_EQ(all.size(), static_cast<std::size_t>(Project.MenuCount)) << threads;
        for (int i = 0; i < Project.MenuCount; ++i) {
            const TProjectEditor::TColumnTitles& column = all[static_cast<std::size_t>(i)];
            if (!Project.MenuItem(i).IsColumn()) {
                EXPECT_TRUE(column.Titles.empty() && !column.Error) << threads << " " << i;
                continue;
            }
            if (broken.count(i) != 0) {
                ASSERT_TRUE(column.Error) << threads << " " << i;
                try {
                    std::rethrow_exception(column.Error);
                } catch (const TError& e) {
                    EXPECT_EQ(e.FileName(), Project.ColumnFile(i)) << threads << " " << i;
                }
                EXPECT_THROW(Editor.PageTitles(i), TError);
                continue;
            }
            EXPECT_FALSE(column.Error) << threads << " " << i;
            EXPECT_EQ(column.Titles, Editor.PageTitles(i)) << threads << " " << i;
        }
    }
    EXPECT_EQ(CurrentColumn, nullptr);
    EXPECT_FALSE(Document.Active());
}

TEST_F(ProjectEditorTest, AddsColumnsLinksAndPagesAndWritesThemAtOnce) {
    MakeMenu();
    EXPECT_EQ(Titles(), (std::vector<std::string>{"New Column", "New Link", "New Column"}));
    EXPECT_EQ(Project.MenuItem(2).COLUMN, "Column2.Clm");
    EXPECT_EQ(Editor.PageTitles(0), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(Editor.PageTitles(2), std::vector<std::string>{});
    EXPECT_EQ(Editor.AddPage(2), std::optional<std::string>("New Page"));

    // What is on disk, read afresh.
    TXmlDocument other;
    TDProject reopened(Dir.Path(), other);
    ASSERT_EQ(reopened.MenuCount, 3);
    EXPECT_EQ(TProjectEditor(reopened).PageTitles(2), std::vector<std::string>{"New Page"});
    EXPECT_EQ(CurrentColumn, nullptr);
    EXPECT_FALSE(Document.Active());
}

// Every new page gets an id of its own; its text is Markdown in a Modern project only.
TEST_F(ProjectEditorTest, NewPagesGetAnIdAndTheDesignsTextFormat) {
    ASSERT_NE(Editor.AddColumn(), nullptr);
    ASSERT_TRUE(Editor.AddPage(0));
    Project.OPTIONS.DESIGN = "Modern";
    ASSERT_TRUE(Editor.AddPage(0));
    TColumnInUse column(Editor.ColumnFile(0), Document);
    const TDPage& classic = column->Page(0);
    const TDPage& modern = column->Page(1);
    EXPECT_TRUE(IsPageId(classic.ID)) << classic.ID;
    EXPECT_TRUE(IsPageId(modern.ID)) << modern.ID;
    EXPECT_NE(classic.ID, modern.ID);
    EXPECT_EQ(classic.FORMAT, "");
    EXPECT_EQ(modern.FORMAT, "Markdown");
    EXPECT_EQ(modern.TITLE, "New Page");
}

TEST_F(ProjectEditorTest, MovesAndRemovesItemsAndPages) {
    MakeMenu();
    struct TCase {
        const char* What;
        TMenuPlace Place;
        bool Up;
        bool Moved;
        std::vector<std::string> Pages; // of column 1 afterwards
    };
    const TCase cases[] = {
        {"the last page down", {0, 2}, false, false, {"A", "B", "C"}},
        {"the first page up", {0, 0}, true, false, {"A", "B", "C"}},
        {"the first page down", {0, 0}, false, true, {"B", "A", "C"}},
        {"the last page up", {0, 2}, true, true, {"B", "C", "A"}},
    };
    for (const TCase& c : cases) {
        const std::string before = Files();
        EXPECT_EQ(c.Up ? Editor.MoveUp(c.Place) : Editor.MoveDown(c.Place), c.Moved) << c.What;
        EXPECT_EQ(Editor.PageTitles(0), c.Pages) << c.What;
        if (!c.Moved) {
            EXPECT_EQ(Files(), before) << c.What << ": nothing may be written";
        }
    }

    EXPECT_FALSE(Editor.MoveUp({0, -1}));
    EXPECT_FALSE(Editor.MoveDown({2, -1}));
    EXPECT_TRUE(Editor.MoveDown({0, -1}));
    EXPECT_EQ(Titles(), (std::vector<std::string>{"New Link", "New Column", "New Column"}));
    EXPECT_EQ(Project.MenuItem(1).COLUMN, "Column1.Clm");

    Editor.Remove({1, 1});
    EXPECT_EQ(Editor.PageTitles(1), (std::vector<std::string>{"B", "A"}));
    Editor.Remove({0, -1});
    EXPECT_EQ(Titles(), (std::vector<std::string>{"New Column", "New Column"}));
    // The removed item was a link; a removed column's document stays on disk.
    Editor.Remove({0, -1});
    EXPECT_TRUE(PathExists(Dir / "Column1.Clm"));
    EXPECT_EQ(Project.MenuCount, 1);
}

TEST_F(ProjectEditorTest, PlacesTheProjectDoesNotHoldAreRefusedAndChangeNothing) {
    MakeMenu();
    const std::string before = Files();
    const TMenuPlace places[] = {{3, -1}, {-1, -1}, {1, 0}, {0, 3}, {2, 0}};
    for (const TMenuPlace& place : places) {
        EXPECT_THROW(Editor.MoveUp(place), TNoSuchPlace) << place.Item << "," << place.Page;
        EXPECT_THROW(Editor.MoveDown(place), TNoSuchPlace) << place.Item << "," << place.Page;
        EXPECT_THROW(Editor.Remove(place), TNoSuchPlace) << place.Item << "," << place.Page;
    }
    EXPECT_THROW(Editor.AddPage(1), TNoSuchPlace); // a link
    EXPECT_THROW(Editor.PageTitles(5), TNoSuchPlace);
    EXPECT_EQ(Files(), before);
    EXPECT_EQ(CurrentColumn, nullptr);
    try {
        Editor.AddPage(1);
        ADD_FAILURE() << "a link takes no page";
    } catch (const TNoSuchPlace& e) {
        EXPECT_EQ(e.Message(), "Menu item 2 is a link, not a column");
        EXPECT_EQ(e.FileName(), Project.ProjectFile());
    }
}

TEST_F(ProjectEditorTest, AFullListOrColumnTakesNothingMore) {
    while (Project.MenuCount < TDProject::Capacity)
        ASSERT_NE(Editor.AddLink(), nullptr);
    const std::string before = ReadFileBytes(Project.ProjectFile());
    EXPECT_EQ(Editor.AddColumn(), nullptr);
    EXPECT_EQ(Editor.AddLink(), nullptr);
    EXPECT_EQ(ReadFileBytes(Project.ProjectFile()), before);
}

TEST_F(ProjectEditorTest, PreparingTheHtmlFolderDeletesOnlyItsOrdinaryFiles) {
    const std::string html = Project.HTMLPath();
    for (const char* name : {"Default.htm", "Page1.htm", "Photo.jpg", ".htaccess", ".hidden.htm"})
        WriteFileBytes(html + name, name);
    std::filesystem::create_directory(html + "keep");
    WriteFileBytes(html + "keep/inner.htm", "kept");
    WriteFileBytes(Dir / "outside.htm", "outside");
    std::filesystem::create_symlink(Dir / "outside.htm", html + "link.htm");
    ASSERT_EQ(::mkfifo((html + "pipe").c_str(), 0600), 0);

    EXPECT_EQ(Editor.PrepareHTMLFolder(), 4);
    std::set<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(html))
        left.insert(entry.path().filename().string());
    EXPECT_EQ(left, (std::set<std::string>{".htaccess", ".hidden.htm", "keep", "pipe"}));
    EXPECT_EQ(ReadFileBytes(html + "keep/inner.htm"), "kept");
    EXPECT_EQ(ReadFileBytes(Dir / "outside.htm"), "outside");

    // The folder given with or without its closing separator; a missing folder is no error.
    WriteFileBytes(html + "again.htm", "x");
    EXPECT_EQ(TProjectEditor::PrepareOutputFolder(html.substr(0, html.size() - 1)), 1);
    EXPECT_EQ(TProjectEditor::PrepareOutputFolder(Dir / "missing"), 0);
}

TEST_F(ProjectEditorTest, AColumnInUseIsCurrentUntilItGoes) {
    MakeMenu();
    {
        TColumnInUse column(Editor.ColumnFile(0), Document);
        EXPECT_EQ(CurrentColumn, &*column);
        EXPECT_EQ(column->PageCount, 3);
    }
    EXPECT_EQ(CurrentColumn, nullptr);
    EXPECT_THROW(Editor.ColumnFile(1), TNoSuchPlace);

    // Nested uses put back the outer column.
    TColumnInUse outer(Editor.ColumnFile(0), Document);
    {
        TColumnInUse inner(Editor.ColumnFile(2), Document);
        EXPECT_EQ(CurrentColumn, &*inner);
    }
    EXPECT_EQ(CurrentColumn, &*outer);
}

} // namespace

TEST_F(ProjectEditorTest, AnHtmlFolderThatIsALinkIsNotEmptied) {
    const std::string html = Project.HTMLPath();
    std::filesystem::remove_all(html);
    std::filesystem::create_directory(Dir / "elsewhere");
    WriteFileBytes(Dir / "elsewhere/precious.txt", "mine");
    std::filesystem::create_directory_symlink(Dir / "elsewhere", html.substr(0, html.size() - 1));
    EXPECT_EQ(Editor.PrepareHTMLFolder(), 0);
    EXPECT_EQ(ReadFileBytes(Dir / "elsewhere/precious.txt"), "mine");
}

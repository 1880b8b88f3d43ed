// Undo and Redo of the changes of a working session: the bytes of every document a change
// rewrote go back, a document the change made goes away again, and a failed write leaves the
// project as it was.

#include "model/UndoHistory.h"
#include "TestSupport.h"
#include "model/CColumn.h"
#include "model/ProjectEditor.h"
#include "platform/Error.h"
#include "platform/FileFaults.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

class UndoHistoryTest : public ::testing::Test {
  protected:
    UndoHistoryTest() : Project(std::make_unique<TDProject>(Dir.Path(), Document)) {}

    // Runs command as the window runs a change: the documents before and after it are
    // recorded under name.
    bool Change(const std::string& name, const std::function<void(TProjectEditor&)>& command) {
        const TDocumentBytes before = ReadProjectDocuments(*Project);
        TProjectEditor editor(*Project);
        command(editor);
        return History.Record(Project->Folder, name, before, ReadProjectDocuments(*Project));
    }
    // Reads the project again from its files, as the window does after Undo and Redo.
    void Reload() { Project = std::make_unique<TDProject>(Dir.Path(), Document); }
    std::vector<std::string> Titles() const {
        std::vector<std::string> titles;
        for (int i = 0; i < Project->MenuCount; ++i)
            titles.push_back(Project->MenuItem(i).TITLE);
        return titles;
    }
    TDocumentBytes Files() const { return ReadProjectDocuments(*Project); }

    TTempFolder Dir;
    TXmlDocument Document;
    std::unique_ptr<TDProject> Project;
    TUndoHistory History;
};

TEST_F(UndoHistoryTest, UndoAndRedoWalkTheStepsBackAndForth) {
    const TDocumentBytes empty = Files();
    ASSERT_TRUE(Change("Add Column", [](TProjectEditor& e) { e.AddColumn(); }));
    const TDocumentBytes oneColumn = Files();
    ASSERT_TRUE(Change("Add Page", [](TProjectEditor& e) { e.AddPage(0); }));
    const TDocumentBytes onePage = Files();
    ASSERT_TRUE(Change("Topic", [this](TProjectEditor&) {
        Project->TOPIC.CAPTION = "Caption";
        Project->Save();
    }));
    const TDocumentBytes caption = Files();
    EXPECT_EQ(History.UndoName(), "Topic");
    EXPECT_FALSE(History.CanRedo());

    // Each state comes back byte for byte, in both directions.
    const struct {
        bool Undo;
        const TDocumentBytes& Expected;
        std::string UndoName, RedoName;
    } walk[] = {
        {true, onePage, "Add Page", "Topic"},  {true, oneColumn, "Add Column", "Add Page"},
        {false, onePage, "Add Page", "Topic"}, {true, oneColumn, "Add Column", "Add Page"},
        {true, empty, "", "Add Column"},       {false, oneColumn, "Add Column", "Add Page"},
        {false, onePage, "Add Page", "Topic"}, {false, caption, "Topic", ""},
    };
    for (const auto& step : walk) {
        const TUndoStep& done = step.Undo ? History.Undo() : History.Redo();
        Reload();
        EXPECT_FALSE(done.Name.empty());
        EXPECT_EQ(Files(), step.Expected);
        EXPECT_EQ(History.UndoName(), step.UndoName);
        EXPECT_EQ(History.RedoName(), step.RedoName);
    }
    EXPECT_EQ(Project->TOPIC.CAPTION, "Caption");
    EXPECT_THROW(History.Redo(), TError);
}

TEST_F(UndoHistoryTest, UndoingAddColumnRemovesTheColumnDocumentItMade) {
    ASSERT_TRUE(Change("Add Column", [](TProjectEditor& e) { e.AddColumn(); }));
    ASSERT_TRUE(PathExists(Dir / "Column1.Clm"));
    History.Undo();
    EXPECT_FALSE(PathExists(Dir / "Column1.Clm"));
    Reload();
    EXPECT_EQ(Project->MenuCount, 0);
    History.Redo();
    EXPECT_TRUE(PathExists(Dir / "Column1.Clm"));
    Reload();
    EXPECT_EQ(Titles(), std::vector<std::string>{"New Column"});
}

TEST_F(UndoHistoryTest, RemovedColumnComesBackWithItsPages) {
    ASSERT_TRUE(Change("Add Column", [](TProjectEditor& e) { e.AddColumn(); }));
    ASSERT_TRUE(Change("Add Page", [](TProjectEditor& e) { e.AddPage(0); }));
    ASSERT_TRUE(Change("Remove", [](TProjectEditor& e) { e.Remove({0, -1}); }));
    ASSERT_TRUE(Change("Add Column", [](TProjectEditor& e) { e.AddColumn(); }));
    // The new column took the free name Column1.Clm and emptied it: Undo brings its page back.
    History.Undo();
    History.Undo();
    Reload();
    ASSERT_EQ(Project->MenuCount, 1);
    EXPECT_EQ(TProjectEditor(*Project).PageTitles(0), std::vector<std::string>{"New Page"});
}

TEST_F(UndoHistoryTest, ChangesThatWriteNothingAreNoSteps) {
    EXPECT_FALSE(Change("Move Up", [](TProjectEditor&) {}));
    // Saving the same records again writes the same bytes (the first save of a new project
    // writes every record into its empty document).
    Project->Save();
    EXPECT_FALSE(Change("Topic", [this](TProjectEditor&) { Project->Save(); }));
    EXPECT_FALSE(History.CanUndo());
    EXPECT_THROW(History.Undo(), TError);
}

TEST_F(UndoHistoryTest, NewChangeDropsWhatWasUndone) {
    ASSERT_TRUE(Change("Add Column", [](TProjectEditor& e) { e.AddColumn(); }));
    ASSERT_TRUE(Change("Add Link", [](TProjectEditor& e) { e.AddLink(); }));
    History.Undo();
    ASSERT_TRUE(History.CanRedo());
    Reload();
    ASSERT_TRUE(Change("Add Page", [](TProjectEditor& e) { e.AddPage(0); }));
    EXPECT_FALSE(History.CanRedo());
    EXPECT_EQ(History.UndoCount(), 2u);
    History.Clear();
    EXPECT_FALSE(History.CanUndo());
    EXPECT_FALSE(History.CanRedo());
}

TEST_F(UndoHistoryTest, FailedWriteLeavesEveryDocumentAsItWas) {
    ASSERT_TRUE(Change("Add Column", [](TProjectEditor& e) { e.AddColumn(); }));
    ASSERT_TRUE(Change("Add Page", [](TProjectEditor& e) { e.AddPage(0); }));
    // One change that rewrites both documents.
    ASSERT_TRUE(Change("Both", [this](TProjectEditor&) {
        Project->TOPIC.CAPTION = "Both";
        Project->Save();
        TDColumn column(Project->ColumnFile(0), Document);
        column.Page(0).TITLE = "Both";
        column.Save();
    }));
    const TDocumentBytes changed = Files();
    ASSERT_EQ(changed.size(), 2u);
    for (int failing = 1; failing <= 2; ++failing) {
        TFileFaults faults;
        faults.FailRename = failing;
        {
            TScopedFileFaults scoped(faults);
            EXPECT_THROW(History.Undo(), TError) << "rename " << failing;
        }
        EXPECT_EQ(Files(), changed) << "rename " << failing;
        EXPECT_EQ(History.UndoName(), "Both");
    }
    History.Undo();
    Reload();
    EXPECT_EQ(Project->TOPIC.CAPTION, TDTopic().CAPTION);
    EXPECT_EQ(TProjectEditor(*Project).PageTitles(0), std::vector<std::string>{"New Page"});
}

TEST_F(UndoHistoryTest, UndoKeepsTheOwnerOnlyModeOfTheProjectDocument) {
    ASSERT_TRUE(Change("Add Column", [](TProjectEditor& e) { e.AddColumn(); }));
    History.Undo();
    struct stat st {};
    ASSERT_EQ(::stat(Project->ProjectFile().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(UndoHistoryTest, OldestStepsGoBeyondTheDepth) {
    for (std::size_t i = 0; i < TUndoHistory::MaxSteps + 5; ++i)
        ASSERT_TRUE(History.Record(Dir.Path(), std::string("Step ").append(std::to_string(i)),
                                   {{"Default.Pro", std::to_string(i)}},
                                   {{"Default.Pro", std::to_string(i + 1)}}));
    EXPECT_EQ(History.UndoCount(), TUndoHistory::MaxSteps);
    EXPECT_EQ(History.UndoName(),
              std::string("Step ").append(std::to_string(TUndoHistory::MaxSteps + 4)));
}

} // namespace

TEST_F(UndoHistoryTest, SharedReadingsRecordWhatChanged) {
    const TSharedBytes project = std::make_shared<const std::string>("project");
    const TSharedBytes column = std::make_shared<const std::string>("column");
    struct TCase {
        const char* Name;
        TSharedDocuments After;
        std::vector<std::string> Changed;
    } cases[] = {
        {"the same bytes shared", {{"Default.Pro", project}, {"Column1.Clm", column}}, {}},
        {"the same bytes read again",
         {{"Default.Pro", std::make_shared<const std::string>("project")}, {"Column1.Clm", column}},
         {}},
        {"other bytes",
         {{"Default.Pro", project}, {"Column1.Clm", std::make_shared<const std::string>("new")}},
         {"Column1.Clm"}},
        {"a document gone", {{"Default.Pro", project}}, {"Column1.Clm"}},
        {"a document made",
         {{"Default.Pro", project},
          {"Column1.Clm", column},
          {"Column2.Clm", std::make_shared<const std::string>("two")}},
         {"Column2.Clm"}},
    };
    const TSharedDocuments before{{"Default.Pro", project}, {"Column1.Clm", column}};
    for (const TCase& test : cases) {
        TUndoHistory history;
        EXPECT_EQ(history.Record(Dir.Path(), "Change", before, test.After), !test.Changed.empty())
            << test.Name;
        if (test.Changed.empty())
            continue;
        ASSERT_TRUE(history.CanUndo());
        // The step holds the bytes of the documents that changed, on both sides.
        const TUndoStep& step = history.Undo();
        std::vector<std::string> changed;
        for (const TDocumentChange& change : step.Changes) {
            changed.push_back(change.Name);
            const auto earlier = before.find(change.Name);
            const auto later = test.After.find(change.Name);
            EXPECT_EQ(change.Before.has_value(), earlier != before.end()) << test.Name;
            EXPECT_EQ(change.After.has_value(), later != test.After.end()) << test.Name;
            if (change.Before && earlier != before.end()) {
                EXPECT_EQ(*change.Before, *earlier->second) << test.Name;
            }
            if (change.After && later != test.After.end()) {
                EXPECT_EQ(*change.After, *later->second) << test.Name;
            }
        }
        EXPECT_EQ(changed, test.Changed) << test.Name;
    }
}

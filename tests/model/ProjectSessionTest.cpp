// The session around the open project, without a window: a new project made whole or not at
// all, changes recorded for Undo, Redo and the earlier versions, a document written behind the
// session's back read again, and the calls that may run while the warm-up does.

#include "model/ProjectSession.h"
#include "TestSupport.h"
#include "model/ProjectEditor.h"
#include "platform/Error.h"
#include "platform/FileFaults.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

class ProjectSessionTest : public ::testing::Test {
  protected:
    ProjectSessionTest()
        : Folder(Dir / "Site"), Project(TProjectSession::CreateProject(Folder, Document, "")) {}

    const TDProject& Reload() {
        Project = std::make_unique<TDProject>(Folder, Document);
        return *Project;
    }
    bool Change(const std::string& name, const std::function<void()>& command,
                const std::function<void(bool)>& recorded = nullptr) {
        return Session.RunChange(
            name, [this] { return Project.get(); }, command, recorded);
    }
    TProjectEditor Editor() { return TProjectEditor(*Project); }
    void Undo() {
        Session.Undo(*Project, [this]() -> const TDProject& { return Reload(); });
    }
    TDocumentBytes Files() const { return ReadProjectDocuments(*Project); }

    TTempFolder Dir;
    TXmlDocument Document;
    std::string Folder;
    std::unique_ptr<TDProject> Project;
    TProjectSession Session;
};

TEST_F(ProjectSessionTest, ANewProjectIsMadeWholeOrLeavesNoFolder) {
    ASSERT_TRUE(Project);
    EXPECT_TRUE(Project->OPTIONS.IsModern());
    EXPECT_EQ(Project->HOTSPOT.FORMAT, "Markdown");
    // A folder that is there already is never made into a project, nor harmed.
    EXPECT_FALSE(TProjectSession::CreateProject(Folder, Document, ""));
    EXPECT_TRUE(PathExists(Project->ProjectFile()));
    // Default.Pro that cannot be written takes the new folder with it.
    TFileFaults faults;
    faults.FailCreate = 1;
    TScopedFileFaults scoped(faults);
    EXPECT_THROW(TProjectSession::CreateProject(Dir / "Broken", Document, ""), TError);
    EXPECT_FALSE(PathExists(Dir / "Broken"));
}

TEST_F(ProjectSessionTest, ChangesAreTakenBackAndMadeAgainAndKeptAsVersions) {
    const TDocumentBytes empty = Files();
    ASSERT_TRUE(Change("Add Column", [this] { Editor().AddColumn(); }));
    const TDocumentBytes oneColumn = Files();
    // A command that writes nothing is no step.
    EXPECT_FALSE(Change("Move Up", [] {}));
    // A command that stops after writing keeps what it wrote, as a step, and its error.
    bool heard = false;
    EXPECT_THROW(Change(
                     "Add Page",
                     [this] {
                         Editor().AddPage(0);
                         throw TError("stopped");
                     },
                     [&heard](bool changed) { heard = changed; }),
                 TError);
    EXPECT_TRUE(heard);
    const TDocumentBytes onePage = Files();
    EXPECT_EQ(Session.History().UndoName(), "Add Page");

    Undo();
    EXPECT_EQ(Files(), oneColumn);
    Undo();
    EXPECT_EQ(Files(), empty);
    Session.Redo(*Project, [this]() -> const TDProject& { return Reload(); });
    EXPECT_EQ(Files(), oneColumn);
    EXPECT_EQ(Session.History().RedoName(), "Add Page");

    // Newest first: every change and every Undo and Redo, and the state before the first.
    TEarlierVersions& versions = Session.VersionsOf(Folder);
    std::vector<std::string> changes;
    for (const TEarlierVersion& version : versions.List())
        changes.push_back(version.Change);
    EXPECT_EQ(changes,
              (std::vector<std::string>{"Redo Add Column", "Undo Add Column", "Undo Add Page",
                                        "Add Page", "Add Column", "Before Add Column"}));
    // A restore is a change like the others.
    const TEarlierVersion withPage = versions.List()[3];
    ASSERT_TRUE(Change("Restore Earlier Version", [this, &versions, &withPage] {
        versions.Restore(withPage);
        Reload();
    }));
    EXPECT_EQ(Files(), onePage);
    EXPECT_FALSE(Session.History().CanRedo());

    Session.Close();
    EXPECT_FALSE(Session.History().CanUndo());
    EXPECT_FALSE(Session.Versions());
}

TEST_F(ProjectSessionTest, ADocumentWrittenBehindTheSessionsBackIsReadAgain) {
    ASSERT_TRUE(Change("Add Column", [this] { Editor().AddColumn(); }));
    // Another program retitles the column: the next change starts from its bytes, and
    // taking that change back brings them back, not what the session read before.
    TDProject other(Folder, Document);
    other.MenuItem(0).TITLE = "Elsewhere";
    other.Save();
    const TDocumentBytes retitled = Files();
    ASSERT_TRUE(Change("Add Page", [this] { Editor().AddPage(0); }));
    EXPECT_EQ(Session.VersionsOf(Folder).List()[1].Change, "Before Add Page");
    Undo();
    EXPECT_EQ(Files(), retitled);
    EXPECT_EQ(Project->MenuItem(0).TITLE, "Elsewhere");
}

TEST_F(ProjectSessionTest, TheHistoryIsReadWhileTheWarmUpRunsAndAChangeWaitsForIt) {
    ASSERT_TRUE(Change("Add Column", [this] { Editor().AddColumn(); }));
    Session.Close();
    // Longer than the time within which the cache reads a file written just now again.
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    Session.StartWarmUp(*Project);
    // The warm-up owns the cache and the versions, never the history.
    EXPECT_FALSE(Session.History().CanUndo());
    ASSERT_TRUE(Change("Add Link", [this] { Editor().AddLink(); }));
    EXPECT_FALSE(Session.WarmUpPending());
    // The change read and digested only Default.Pro, which it rewrote.
    EXPECT_EQ(Session.Documents().FilesRead(), 1U);
    EXPECT_EQ(Session.Versions()->DocumentsDigested(), 1U);
    EXPECT_EQ(Session.History().UndoName(), "Add Link");
}

} // namespace

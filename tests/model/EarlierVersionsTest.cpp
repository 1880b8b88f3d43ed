// The earlier versions kept in the project's .history folder: one per change, the oldest
// dropped first beyond the count and the size, and a project brought back after a restart.

#include "model/EarlierVersions.h"
#include "TestSupport.h"
#include "model/CColumn.h"
#include "model/CTemplate.h"
#include "model/ProjectEditor.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

// The window's part in a change: the documents before and after, then a version kept.
void Change(TDProject& project, const std::string& name,
            const std::function<void(TProjectEditor&)>& command, std::int64_t time = 1000) {
    const TDocumentBytes before = ReadProjectDocuments(project);
    TProjectEditor editor(project);
    command(editor);
    TEarlierVersions(project.Folder).Keep(name, before, ReadProjectDocuments(project), time);
}

std::vector<std::string> Changes(const std::vector<TEarlierVersion>& versions) {
    std::vector<std::string> names;
    for (const TEarlierVersion& version : versions)
        names.push_back(version.Change);
    return names;
}

std::vector<std::string> MenuOf(TDProject& project) {
    std::vector<std::string> titles;
    for (int i = 0; i < project.MenuCount; ++i)
        titles.push_back(project.MenuItem(i).TITLE);
    return titles;
}

class EarlierVersionsTest : public ::testing::Test {
  protected:
    TTempFolder Dir;
};

TEST_F(EarlierVersionsTest, ProjectDeletedPageByPageComesBackAfterARestart) {
    {
        TXmlDocument document;
        TDProject project(Dir.Path(), document);
        Change(project, "Add Column", [](TProjectEditor& e) { e.AddColumn(); });
        for (const char* title : {"One", "Two", "Three"})
            Change(project, "Add Page", [&](TProjectEditor& e) {
                e.AddPage(0);
                TDColumn column(project.ColumnFile(0), document);
                column.Page(column.PageCount - 1).TITLE = title;
                column.Save();
            });
        Change(project, "Add Link", [](TProjectEditor& e) { e.AddLink(); });
        // Everything goes, page by page and item by item.
        for (int page = 2; page >= 0; --page)
            Change(project, "Remove", [page](TProjectEditor& e) { e.Remove({0, page}); });
        Change(project, "Remove", [](TProjectEditor& e) { e.Remove({1, -1}); });
        Change(project, "Remove", [](TProjectEditor& e) { e.Remove({0, -1}); });
        ASSERT_EQ(project.MenuCount, 0);
    }

    // The program starts again: new objects read the folder.
    TXmlDocument document;
    auto project = std::make_unique<TDProject>(Dir.Path(), document);
    TEarlierVersions versions(Dir.Path());
    const std::vector<TEarlierVersion> list = versions.List();
    EXPECT_EQ(Changes(list),
              (std::vector<std::string>{"Remove", "Remove", "Remove", "Remove", "Remove",
                                        "Add Link", "Add Page", "Add Page", "Add Page",
                                        "Add Column", "Before Add Column"}));
    // The version the last Add Link gave holds everything.
    versions.Restore(list[5]);
    project = std::make_unique<TDProject>(Dir.Path(), document);
    EXPECT_EQ(MenuOf(*project), (std::vector<std::string>{"New Column", "New Link"}));
    EXPECT_EQ(TProjectEditor(*project).PageTitles(0),
              (std::vector<std::string>{"One", "Two", "Three"}));
    // The very first state, before any change, is kept too.
    versions.Restore(list.back());
    project = std::make_unique<TDProject>(Dir.Path(), document);
    EXPECT_EQ(project->MenuCount, 0);
}

TEST_F(EarlierVersionsTest, BeforeIsKeptWhenTheFilesChangedOutsideTheProgram) {
    TXmlDocument document;
    TDProject project(Dir.Path(), document);
    Change(project, "Add Column", [](TProjectEditor& e) { e.AddColumn(); });
    EXPECT_EQ(Changes(TEarlierVersions(Dir.Path()).List()),
              (std::vector<std::string>{"Add Column", "Before Add Column"}));
    // The next change starts from the newest version: nothing more to keep.
    Change(project, "Add Link", [](TProjectEditor& e) { e.AddLink(); });
    EXPECT_EQ(TEarlierVersions(Dir.Path()).List().size(), 3u);
    // Another program changes the project (the command-line tool, an editor).
    project.TOPIC.CAPTION = "Elsewhere";
    project.Save();
    Change(project, "Add Page", [](TProjectEditor& e) { e.AddPage(0); });
    const std::vector<TEarlierVersion> list = TEarlierVersions(Dir.Path()).List();
    EXPECT_EQ(Changes(list), (std::vector<std::string>{"Add Page", "Before Add Page", "Add Link",
                                                       "Add Column", "Before Add Column"}));
    EXPECT_EQ(list[0].Time, 1000);
}

TEST_F(EarlierVersionsTest, TheNewestHundredAreKept) {
    TXmlDocument document;
    TDProject project(Dir.Path(), document);
    for (int i = 0; i < 105; ++i)
        Change(project, std::string("Topic ").append(std::to_string(i)),
               [&project, i](TProjectEditor&) {
                   project.TOPIC.CAPTION = std::to_string(i);
                   project.Save();
               });
    const std::vector<TEarlierVersion> list = TEarlierVersions(Dir.Path()).List();
    ASSERT_EQ(list.size(), TEarlierVersions::MaxVersions);
    EXPECT_EQ(list.front().Change, "Topic 104");
    EXPECT_EQ(list.back().Change, "Topic 5");
    // What was dropped is gone from the disk, not only from the list.
    EXPECT_EQ(RegularFilesIn(Dir / ".history").size(), TEarlierVersions::MaxVersions);
}

TEST_F(EarlierVersionsTest, AtMostTwentyMegabytesAreKept) {
    TXmlDocument document;
    TDProject project(Dir.Path(), document);
    Change(project, "Add Column", [](TProjectEditor& e) { e.AddColumn(); });
    // Pages with long texts: each version of the column is about 3 MB.
    const std::string text(3 * 1024 * 1024, 'x');
    for (int i = 0; i < 8; ++i)
        Change(project, std::string("Page ").append(std::to_string(i)), [&](TProjectEditor& e) {
            e.AddPage(0);
            TDColumn column(project.ColumnFile(0), document);
            column.Page(0).TEXT = text + std::to_string(i);
            column.Save();
        });
    const std::vector<TEarlierVersion> list = TEarlierVersions(Dir.Path()).List();
    std::int64_t bytes = 0;
    for (const TEarlierVersion& version : list)
        bytes += version.Bytes;
    EXPECT_LE(bytes, TEarlierVersions::MaxBytes);
    EXPECT_EQ(Changes(list), (std::vector<std::string>{"Page 7", "Page 6", "Page 5", "Page 4",
                                                       "Page 3", "Page 2"}));
}

TEST_F(EarlierVersionsTest, ANewestVersionLargerThanTheLimitIsKeptAlone) {
    TXmlDocument document;
    TDProject project(Dir.Path(), document);
    Change(project, "Add Column", [](TProjectEditor& e) { e.AddColumn(); });
    Change(project, "Add Page", [](TProjectEditor& e) { e.AddPage(0); });
    // One page's text makes the documents larger than all versions may take together.
    const std::string text(static_cast<std::size_t>(TEarlierVersions::MaxBytes) + 1024, 'x');
    auto setText = [&](const std::string& pageText) {
        return [&project, &document, pageText](TProjectEditor&) {
            TDColumn column(project.ColumnFile(0), document);
            column.Page(0).TEXT = pageText;
            column.Save();
        };
    };
    Change(project, "Large Page", setText(text));
    TEarlierVersions versions(Dir.Path());
    std::vector<TEarlierVersion> list = versions.List();
    // The newest stays, whatever its size; the older ones go to make room.
    ASSERT_EQ(Changes(list), std::vector<std::string>{"Large Page"});
    EXPECT_GT(list[0].Bytes, TEarlierVersions::MaxBytes);
    EXPECT_EQ(RegularFilesIn(Dir / ".history").size(), 1u);
    // It brings the project back byte for byte.
    const std::string large = ReadFileBytes(project.ColumnFile(0));
    TProjectEditor(project).Remove({0, 0});
    versions.Restore(list[0]);
    EXPECT_EQ(ReadFileBytes(project.ColumnFile(0)), large);

    // A small version after it: the large one no longer fits beside the newest, and goes.
    Change(project, "Small Page", setText("small"));
    EXPECT_EQ(Changes(versions.List()), std::vector<std::string>{"Small Page"});
    Change(project, "Small Again", setText("smaller"));
    EXPECT_EQ(Changes(versions.List()), (std::vector<std::string>{"Small Again", "Small Page"}));
}

TEST_F(EarlierVersionsTest, TheVersionsNeverHoldThePublishingPassword) {
    TXmlDocument document;
    TDProject project(Dir.Path(), document);
    project.PUBLISH.PASSWORD = "s3cret-pw";
    project.PUBLISH.USER_NAME = "web";
    project.Save();
    Change(project, "Add Column", [](TProjectEditor& e) { e.AddColumn(); });
    Change(project, "Topic", [&](TProjectEditor&) {
        project.TOPIC.CAPTION = "Second";
        project.Save();
    });
    TEarlierVersions versions(Dir.Path());
    std::vector<TEarlierVersion> list = versions.List();
    // A change that starts from the newest version keeps no "Before" copy of it, although
    // the version lacks the password that the file has.
    EXPECT_EQ(Changes(list),
              (std::vector<std::string>{"Topic", "Add Column", "Before Add Column"}));
    for (const auto& entry : std::filesystem::recursive_directory_iterator(Dir / ".history")) {
        if (entry.is_regular_file()) {
            EXPECT_EQ(ReadFileBytes(entry.path().string()).find("s3cret-pw"), std::string::npos)
                << entry.path();
        }
    }
    for (const TEarlierVersion& version : list) {
        TXmlDocument kept;
        kept.LoadFromBytes(versions.Read(version).at("Default.Pro"), "Default.Pro");
        const TDPublish publish(ChildByName(kept.Root(), "PUBLISH"));
        EXPECT_EQ(publish.PASSWORD, "") << version.Change;
        // Everything else of the record is kept.
        EXPECT_EQ(publish.USER_NAME, "web") << version.Change;
    }

    // Restoring keeps the password the project has now, whatever it has become.
    project.PUBLISH.PASSWORD = "newer-pw";
    project.Save();
    versions.Restore(list.back());
    {
        TXmlDocument reread;
        TDProject restored(Dir.Path(), reread);
        EXPECT_EQ(restored.PUBLISH.PASSWORD, "newer-pw");
        EXPECT_EQ(restored.TOPIC.CAPTION, TDTopic().CAPTION);
        EXPECT_EQ(restored.MenuCount, 0);
    }
    // A project without a password gets the version's bytes as they are.
    project.PUBLISH.PASSWORD.clear();
    project.Save();
    versions.Restore(list.front());
    EXPECT_EQ(ReadFileBytes(project.ProjectFile()), versions.Read(list.front()).at("Default.Pro"));
    // Undoing to a state that the file had is possible: the versions compare without the
    // password on both sides.
    EXPECT_EQ(TEarlierVersions::Kept({{"Default.Pro", ReadFileBytes(project.ProjectFile())}}),
              (TDocumentBytes{{"Default.Pro", versions.Read(list.front()).at("Default.Pro")}}));
}

TEST_F(EarlierVersionsTest, UnfinishedAndForeignEntriesAreNoVersions) {
    TXmlDocument document;
    TDProject project(Dir.Path(), document);
    Change(project, "Add Column", [](TProjectEditor& e) { e.AddColumn(); });
    // An interrupted write (a folder without its description), a description without a
    // folder, a broken description and a file of someone else's.
    MakeFolder(Dir / ".history/00000050");
    WriteFileBytes(Dir / ".history/00000051.txt", "1\nAdd Link\n");
    MakeFolder(Dir / ".history/00000052");
    WriteFileBytes(Dir / ".history/00000052.txt", "no time\n");
    WriteFileBytes(Dir / ".history/notes.txt", "mine");
    EXPECT_EQ(Changes(TEarlierVersions(Dir.Path()).List()),
              (std::vector<std::string>{"Add Column", "Before Add Column"}));
    Change(project, "Add Link", [](TProjectEditor& e) { e.AddLink(); });
    const std::vector<TEarlierVersion> list = TEarlierVersions(Dir.Path()).List();
    EXPECT_EQ(Changes(list),
              (std::vector<std::string>{"Add Link", "Add Column", "Before Add Column"}));
    // The unfinished ones were cleared away; the file of someone else's stays.
    EXPECT_FALSE(PathExists(Dir / ".history/00000050"));
    EXPECT_FALSE(PathExists(Dir / ".history/00000051.txt"));
    EXPECT_TRUE(PathExists(Dir / ".history/notes.txt"));
    EXPECT_EQ(list.front().Id, "00000053");
}

TEST_F(EarlierVersionsTest, AVersionThatIsGoneOrBrokenChangesNothing) {
    TXmlDocument document;
    TDProject project(Dir.Path(), document);
    Change(project, "Add Column", [](TProjectEditor& e) { e.AddColumn(); });
    TEarlierVersions versions(Dir.Path());
    const std::vector<TEarlierVersion> list = versions.List();
    const std::string files = ReadFileBytes(project.ProjectFile());
    TEarlierVersion gone = list[0];
    gone.Id = "00000099";
    EXPECT_THROW(versions.Restore(gone), TError);
    DeleteFileQuietly(Dir / std::string(".history/").append(list[1].Id).append("/Default.Pro"));
    try {
        versions.Restore(list[1]);
        FAIL() << "a version without Default.Pro was restored";
    } catch (const TError& e) {
        EXPECT_EQ(e.Message(), "This earlier version holds no Default.Pro");
    }
    EXPECT_EQ(ReadFileBytes(project.ProjectFile()), files);
}

TEST_F(EarlierVersionsTest, HistoryThroughASymbolicLinkIsRefused) {
    TXmlDocument document;
    TDProject project(Dir.Path(), document);
    TTempFolder elsewhere;
    std::filesystem::create_directory_symlink(elsewhere.Path(), Dir / ".history");
    const TDocumentBytes before = ReadProjectDocuments(project);
    EXPECT_THROW(TEarlierVersions(Dir.Path()).Keep("Add Link", before, before, 1), TError);
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere.Path()));
}

TEST_F(EarlierVersionsTest, TemplatesAndBuildsLeaveTheHistoryOut) {
    TXmlDocument document;
    TDProject project(Dir.Path(), document);
    Change(project, "Add Column", [](TProjectEditor& e) { e.AddColumn(); });
    // Emptying the HTML folder never reaches a hidden folder, and a template holds the
    // records only.
    MakeFolder(Dir / "HTML/.history");
    TProjectEditor(project).PrepareHTMLFolder();
    EXPECT_TRUE(PathExists(Dir / "HTML/.history"));
    TTempFolder templates;
    SaveAsTemplate(project, templates / "Look.Tmp");
    EXPECT_EQ(RegularFilesIn(templates.Path()), std::set<std::string>{"Look.Tmp"});
    EXPECT_EQ(ReadFileBytes(templates / "Look.Tmp").find("history"), std::string::npos);
    // Not even when the records were brought back from a version: the template is the same.
    TEarlierVersions versions(Dir.Path());
    const std::string look = ReadFileBytes(templates / "Look.Tmp");
    versions.Restore(versions.List().front());
    TXmlDocument reread;
    TDProject restored(Dir.Path(), reread);
    SaveAsTemplate(restored, templates / "Again.Tmp");
    EXPECT_EQ(ReadFileBytes(templates / "Again.Tmp"), look);
    // A new project from the template starts without earlier versions.
    TTempFolder fresh;
    TXmlDocument freshDocument;
    TDProject made(fresh.Path(), freshDocument, templates / "Look.Tmp");
    EXPECT_FALSE(PathExists(fresh / ".history"));
    EXPECT_TRUE(TEarlierVersions(fresh.Path()).List().empty());
}

} // namespace

// The earlier versions kept in the project's .history folder: one per change, the oldest
// dropped first beyond the count and the size, and a project brought back after a restart.

#include "model/EarlierVersions.h"
#include "TestSupport.h"
#include "model/CColumn.h"
#include "model/CTemplate.h"
#include "model/DocumentCache.h"
#include "model/ProjectEditor.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <sys/stat.h>
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
    // What was dropped is gone from the disk, not only from the list: a list and a
    // description for each version, and the Default.Pro of each.
    EXPECT_EQ(RegularFilesIn(Dir / ".history").size(), 2 * TEarlierVersions::MaxVersions);
    EXPECT_EQ(RegularFilesIn(Dir / ".history/objects").size(), TEarlierVersions::MaxVersions);
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
    EXPECT_EQ(RegularFilesIn(Dir / ".history"),
              (std::set<std::string>{list[0].Id + ".list", list[0].Id + ".info"}));
    EXPECT_EQ(RegularFilesIn(Dir / ".history/objects").size(), 2u);
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

TEST_F(EarlierVersionsTest, AVersionThatIsGoneChangesNothing) {
    TXmlDocument document;
    TDProject project(Dir.Path(), document);
    Change(project, "Add Column", [](TProjectEditor& e) { e.AddColumn(); });
    TEarlierVersions versions(Dir.Path());
    const std::vector<TEarlierVersion> list = versions.List();
    const std::string files = ReadFileBytes(project.ProjectFile());
    TEarlierVersion gone = list[0];
    gone.Id = "00000099";
    EXPECT_THROW(versions.Restore(gone), TError);
    gone.Id = "../00000001";
    EXPECT_THROW(versions.Restore(gone), TError);
    EXPECT_EQ(ReadFileBytes(project.ProjectFile()), files);
}

std::string ColumnName(TDProject& project, int index) {
    return FileNamePart(project.ColumnFile(index));
}

// The object file that a version lists for a document.
std::string ObjectOf(const std::string& folder, const TEarlierVersion& version,
                     const std::string& name) {
    const std::string list = ReadFileBytes(folder + "/.history/" + version.Id + ".list");
    const std::size_t line = list.find(" " + name + "\n");
    if (line == std::string::npos)
        return std::string();
    const std::size_t start = list.rfind('\n', list.rfind(' ', line - 1)) + 1;
    return folder + "/.history/objects/" + list.substr(start, 64);
}

// A version as the releases before kept it: a folder holding the documents themselves.
void WriteFolderVersion(const std::string& folder, const std::string& id,
                        const TDocumentBytes& documents, const std::string& change) {
    MakeFolder(folder + "/.history");
    MakeFolder(folder + "/.history/" + id);
    for (const auto& [name, bytes] : TEarlierVersions::Kept(documents))
        WriteFileBytes(folder + "/.history/" + id + "/" + name, bytes);
    WriteFileBytes(folder + "/.history/" + id + ".txt", "500\n" + change + "\n");
}

TEST_F(EarlierVersionsTest, ADocumentSharedByVersionsIsKeptOnceAndCountedOnce) {
    TXmlDocument document;
    TDProject project(Dir.Path(), document);
    Change(project, "Add Column", [](TProjectEditor& e) { e.AddColumn(); });
    Change(project, "Add Page", [&](TProjectEditor& e) {
        e.AddPage(0);
        TDColumn column(project.ColumnFile(0), document);
        column.Page(0).TEXT = std::string(6 * 1024 * 1024, 'y');
        column.Save();
    });
    // Ten changes that leave the large column as it is: each version lists it, and takes
    // more than 6 MB, but together they take little more than one of them.
    for (int i = 0; i < 10; ++i)
        Change(project, std::string("Topic ").append(std::to_string(i)),
               [&project, i](TProjectEditor&) {
                   project.TOPIC.CAPTION = std::to_string(i);
                   project.Save();
               });
    TEarlierVersions versions(Dir.Path());
    const std::vector<TEarlierVersion> list = versions.List();
    ASSERT_EQ(list.size(), 13u);
    std::int64_t listed = 0;
    for (std::size_t i = 0; i < 11; ++i) {
        EXPECT_GT(list[i].Bytes, 6 * 1024 * 1024) << list[i].Change;
        listed += list[i].Bytes;
    }
    EXPECT_GT(listed, TEarlierVersions::MaxBytes);
    const std::string column = ObjectOf(Dir.Path(), list[0], ColumnName(project, 0));
    for (std::size_t i = 1; i < 11; ++i)
        EXPECT_EQ(ObjectOf(Dir.Path(), list[i], ColumnName(project, 0)), column) << list[i].Change;
    // Objects: the large column once, the empty column and the first one, and one
    // Default.Pro for each distinct state.
    std::int64_t stored = 0;
    for (const std::string& name : RegularFilesIn(Dir / ".history/objects"))
        stored += FileSize(Dir / std::string(".history/objects/").append(name));
    EXPECT_LT(stored, 7 * 1024 * 1024);
    // A second large column that does not fit beside the first: the versions that list the
    // first go, and with them every document that no kept version lists.
    Change(project, "Large Again", [&](TProjectEditor&) {
        TDColumn column(project.ColumnFile(0), document);
        column.Page(0).TEXT = std::string(15 * 1024 * 1024, 'z');
        column.Save();
    });
    const std::vector<TEarlierVersion> after = versions.List();
    ASSERT_EQ(Changes(after), std::vector<std::string>{"Large Again"});
    EXPECT_EQ(RegularFilesIn(Dir / ".history/objects"),
              (std::set<std::string>{
                  std::filesystem::path(ObjectOf(Dir.Path(), after[0], "Default.Pro"))
                      .filename()
                      .string(),
                  std::filesystem::path(ObjectOf(Dir.Path(), after[0], ColumnName(project, 0)))
                      .filename()
                      .string()}));
}

TEST_F(EarlierVersionsTest, AChangeDigestsAndWritesOnlyWhatItRewrote) {
    TXmlDocument document;
    TDProject project(Dir.Path(), document);
    for (int i = 0; i < 3; ++i)
        TProjectEditor(project).AddColumn();
    TDocumentCache cache;
    TEarlierVersions versions(Dir.Path());
    // As the window does it: shared readings from its cache, one object for the project.
    auto change = [&](const std::string& name, const std::function<void()>& command) {
        const TSharedDocuments before = cache.Read(project);
        command();
        versions.Keep(name, before, cache.Read(project), 1000);
    };
    struct TCase {
        const char* Name;
        std::function<void()> Command;
        std::size_t Digested, Written, Versions;
    } cases[] = {
        // The first change digests every document, and keeps the state before it too; the
        // three empty columns are one object.
        {"Add Page", [&] { TProjectEditor(project).AddPage(1); }, 5, 3, 2},
        {"Page",
         [&] {
             TDColumn column(project.ColumnFile(1), document);
             column.Page(0).TITLE = "Changed";
             column.Save();
         },
         1, 1, 3},
        // Back to a state kept before: digested, but nothing to write.
        {"Page Back",
         [&] {
             TDColumn column(project.ColumnFile(1), document);
             column.Page(0).TITLE = TDPage().TITLE;
             column.Save();
         },
         1, 0, 4},
        // Saved with the same bytes: nothing digested.
        {"Same", [&] { TDColumn(project.ColumnFile(2), document).Save(); }, 0, 0, 5},
        {"Topic",
         [&] {
             project.TOPIC.CAPTION = "Topic";
             project.Save();
         },
         1, 1, 6},
    };
    for (const TCase& test : cases) {
        change(test.Name, test.Command);
        EXPECT_EQ(versions.DocumentsDigested(), test.Digested) << test.Name;
        EXPECT_EQ(versions.DocumentsWritten(), test.Written) << test.Name;
        EXPECT_EQ(versions.List().size(), test.Versions) << test.Name;
        EXPECT_EQ(versions.Read(versions.List().front()),
                  TEarlierVersions::Kept(ReadProjectDocuments(project)))
            << test.Name;
    }
    // Files changed by something else: the state before is kept again, and digested.
    project.TOPIC.CAPTION = "Elsewhere";
    project.Save();
    change("Add Link", [&] { TProjectEditor(project).AddLink(); });
    EXPECT_EQ(Changes(versions.List())[1], "Before Add Link");
    EXPECT_EQ(versions.DocumentsDigested(), 2u);
}

TEST_F(EarlierVersionsTest, VersionsOfTheEarlierLayoutMixWithTheNewOnes) {
    TXmlDocument document;
    TDProject project(Dir.Path(), document);
    TProjectEditor(project).AddColumn();
    const TDocumentBytes first = ReadProjectDocuments(project);
    WriteFolderVersion(Dir.Path(), "00000001", {{"Default.Pro", "<broken"}}, "Topic");
    TProjectEditor(project).AddPage(0);
    const TDocumentBytes second = ReadProjectDocuments(project);
    WriteFolderVersion(Dir.Path(), "00000002", first, "Add Column");
    WriteFolderVersion(Dir.Path(), "00000003", second, "Add Page");
    // The change starts from the newest version, which is a folder: no "Before" copy.
    Change(project, "Add Link", [](TProjectEditor& e) { e.AddLink(); });
    TEarlierVersions versions(Dir.Path());
    std::vector<TEarlierVersion> list = versions.List();
    ASSERT_EQ(Changes(list),
              (std::vector<std::string>{"Add Link", "Add Page", "Add Column", "Topic"}));
    EXPECT_EQ(list[0].Id, "00000004");
    EXPECT_TRUE(PathExists(Dir / ".history/00000004.list"));
    EXPECT_EQ(list[1].Bytes, static_cast<std::int64_t>(second.at("Default.Pro").size() +
                                                       second.at(ColumnName(project, 0)).size()));
    EXPECT_EQ(versions.Read(list[2]), first);
    // Restored either way.
    versions.Restore(list[2]);
    EXPECT_EQ(ReadProjectDocuments(project), first);
    versions.Restore(list[0]);
    EXPECT_EQ(ReadFileBytes(project.ProjectFile()), versions.Read(list[0]).at("Default.Pro"));
    // A restore of a folder version after a change of the new kind keeps "Before" again.
    Change(project, "Restore", [&](TProjectEditor&) { versions.Restore(list[1]); });
    list = versions.List();
    EXPECT_EQ(Changes(list)[0], "Restore");
    EXPECT_EQ(versions.Read(list[0]), second);
    // Pruned alike: the folders go as the newer versions push them out.
    TXmlDocument reread;
    TDProject again(Dir.Path(), reread);
    for (int i = 0; i < 100; ++i)
        Change(again, std::string("Topic ").append(std::to_string(i)),
               [&again, i](TProjectEditor&) {
                   again.TOPIC.CAPTION = std::to_string(i);
                   again.Save();
               });
    EXPECT_EQ(versions.List().size(), TEarlierVersions::MaxVersions);
    for (const char* id : {"00000001", "00000002", "00000003"}) {
        EXPECT_FALSE(PathExists(Dir / std::string(".history/").append(id))) << id;
        EXPECT_FALSE(PathExists(Dir / std::string(".history/").append(id).append(".txt"))) << id;
    }
}

// What the releases before do to the history folder when they keep a version, done by
// hand: a description without its folder, or a folder without its description, is taken for
// an unfinished write and deleted; the next version is numbered past every entry whose name
// starts with a number.
std::string PruneAndNumberAsBefore(const std::string& history) {
    std::set<std::string> names;
    for (const std::filesystem::directory_entry& entry :
         std::filesystem::directory_iterator(history))
        names.insert(entry.path().filename().string());
    unsigned long next = 1;
    auto digits = [](const std::string& name) {
        return name.size() >= 8 && name.find_first_not_of("0123456789") >= 8;
    };
    for (const std::string& name : names) {
        if (!digits(name))
            continue;
        next = std::max(next, std::stoul(name.substr(0, 8)) + 1);
        const std::string id = name.substr(0, 8);
        if (name == id + ".txt" && names.count(id) == 0)
            std::filesystem::remove(history + "/" + name);
        if (name == id && names.count(id + ".txt") == 0)
            std::filesystem::remove_all(history + "/" + name);
    }
    char id[16];
    std::snprintf(id, sizeof id, "%08lu", next);
    return id;
}

TEST_F(EarlierVersionsTest, AReleaseBeforeLeavesTheVersionsOfThisOneWhole) {
    struct TCase {
        const char* Name;
        bool FolderFirst; // a version that a release before kept, before the new ones
        bool FolderAfter; // one that it keeps after them, through its own numbering
        std::vector<std::string> Changes;
    } cases[] = {
        {"versions of this release only",
         false,
         false,
         {"Add Link", "Add Column", "Before Add Column"}},
        {"beside a version kept before", true, false, {"Add Link", "Add Column", "Old"}},
        {"a release before keeps one after them",
         true,
         true,
         {"Downgraded", "Add Link", "Add Column", "Old"}},
    };
    for (const TCase& test : cases) {
        TTempFolder dir;
        TXmlDocument document;
        TDProject project(dir.Path(), document);
        const std::string history = dir / ".history";
        if (test.FolderFirst)
            WriteFolderVersion(dir.Path(), "00000001", ReadProjectDocuments(project), "Old");
        Change(project, "Add Column", [](TProjectEditor& e) { e.AddColumn(); });
        Change(project, "Add Link", [](TProjectEditor& e) { e.AddLink(); });
        const std::vector<TEarlierVersion> kept = TEarlierVersions(dir.Path()).List();
        std::map<std::string, TDocumentBytes> documents;
        for (const TEarlierVersion& version : kept)
            documents[version.Id] = TEarlierVersions(dir.Path()).Read(version);
        const std::map<std::string, std::string> files = FilesBelow(history);

        // The project opened with a release before, which keeps a change of its own.
        const std::string next = PruneAndNumberAsBefore(history);
        EXPECT_EQ(FilesBelow(history), files) << test.Name;
        EXPECT_EQ(std::stoul(next), std::stoul(kept.front().Id) + 1) << test.Name;
        if (test.FolderAfter) {
            TProjectEditor(project).AddPage(0);
            WriteFolderVersion(dir.Path(), next, ReadProjectDocuments(project), "Downgraded");
            PruneAndNumberAsBefore(history);
        }

        // And with this release again: every version is there, whole.
        TEarlierVersions versions(dir.Path());
        const std::vector<TEarlierVersion> list = versions.List();
        EXPECT_EQ(Changes(list), test.Changes) << test.Name;
        for (const TEarlierVersion& version : list) {
            if (documents.count(version.Id) != 0) {
                EXPECT_EQ(versions.Read(version), documents.at(version.Id))
                    << test.Name << ": " << version.Id;
            }
        }
        Change(project, "Topic", [&project](TProjectEditor&) {
            project.TOPIC.CAPTION = "Again";
            project.Save();
        });
        const std::vector<TEarlierVersion> again = versions.List();
        EXPECT_EQ(again.size(), list.size() + 1) << test.Name;
        EXPECT_GT(again.front().Id, list.front().Id) << test.Name;
        EXPECT_EQ(Changes(again).front(), "Topic") << test.Name;
    }
}

TEST_F(EarlierVersionsTest, AnUnfinishedVersionIsClearedAway) {
    TXmlDocument document;
    TDProject project(Dir.Path(), document);
    Change(project, "Add Column", [](TProjectEditor& e) { e.AddColumn(); });
    // A write that stopped after the object and the list, before the description, and one
    // that stopped after the object.
    const std::string orphan = std::string(64, 'a');
    WriteFileBytes(Dir / std::string(".history/objects/").append(orphan), "left");
    WriteFileBytes(Dir / ".history/00000007.list",
                   "corvane-history 1\n" + orphan + " 4 Default.Pro\n");
    WriteFileBytes(Dir / ".history/00000008.txt", "1\nAdd Link\n");
    // A list's description without its list, and a list with a folder's description.
    WriteFileBytes(Dir / ".history/00000005.info", "1\nAdd Link\n");
    WriteFileBytes(Dir / ".history/00000004.list",
                   "corvane-history 1\n" + orphan + " 4 Default.Pro\n");
    WriteFileBytes(Dir / ".history/00000004.txt", "1\nAdd Link\n");
    EXPECT_EQ(Changes(TEarlierVersions(Dir.Path()).List()),
              (std::vector<std::string>{"Add Column", "Before Add Column"}));
    Change(project, "Add Link", [](TProjectEditor& e) { e.AddLink(); });
    EXPECT_EQ(Changes(TEarlierVersions(Dir.Path()).List()),
              (std::vector<std::string>{"Add Link", "Add Column", "Before Add Column"}));
    EXPECT_FALSE(PathExists(Dir / ".history/00000007.list"));
    EXPECT_FALSE(PathExists(Dir / ".history/00000008.txt"));
    for (const char* name : {"00000005.info", "00000004.list", "00000004.txt"})
        EXPECT_FALSE(PathExists(Dir / std::string(".history/").append(name))) << name;
    EXPECT_FALSE(PathExists(Dir / std::string(".history/objects/").append(orphan)));
    EXPECT_TRUE(PathExists(Dir / ".history/00000009.list"));
}

TEST_F(EarlierVersionsTest, ABrokenVersionIsNamedOrLeftOutAndNeverRestored) {
    struct TCase {
        const char* Name;
        // Breaks the version's files; gives the file that an error names.
        std::function<std::string(const std::string& history, const std::string& id,
                                  const std::string& object)>
            Break;
        bool Listed; // still listed (the fault shows only when read)
    } cases[] = {
        {"object rewritten with other bytes of its size",
         [](const std::string&, const std::string&, const std::string& object) {
             std::string bytes = ReadFileBytes(object);
             bytes[bytes.size() / 2] ^= 1;
             WriteFileBytes(object, bytes);
             return object;
         },
         true},
        {"object missing",
         [](const std::string&, const std::string&, const std::string& object) {
             DeleteFileQuietly(object);
             return object;
         },
         false},
        {"object a symbolic link to its own bytes",
         [](const std::string& history, const std::string&, const std::string& object) {
             std::filesystem::rename(object, history + "/elsewhere");
             std::filesystem::create_symlink(history + "/elsewhere", object);
             return object;
         },
         false},
        {"object a FIFO",
         [](const std::string&, const std::string&, const std::string& object) {
             DeleteFileQuietly(object);
             EXPECT_EQ(::mkfifo(object.c_str(), 0600), 0);
             return object;
         },
         false},
        {"list broken",
         [](const std::string& history, const std::string& id, const std::string&) {
             WriteFileBytes(history + "/" + id + ".list", "corvane-history 1\nnot a line\n");
             return history + "/" + id + ".list";
         },
         false},
        {"list naming a file outside",
         [](const std::string& history, const std::string& id, const std::string& object) {
             const std::string hash = std::filesystem::path(object).filename().string();
             WriteFileBytes(history + "/" + id + ".list",
                            "corvane-history 1\n" + hash + " 10 ../Default.Pro\n");
             return history + "/" + id + ".list";
         },
         false},
        {"list of another format",
         [](const std::string& history, const std::string& id, const std::string&) {
             WriteFileBytes(history + "/" + id + ".list", "corvane-history 9\n");
             return history + "/" + id + ".list";
         },
         false},
        {"list a FIFO",
         [](const std::string& history, const std::string& id, const std::string&) {
             std::string list = history + "/" + id + ".list";
             DeleteFileQuietly(list);
             EXPECT_EQ(::mkfifo(list.c_str(), 0600), 0);
             return list;
         },
         false},
    };
    for (const TCase& test : cases) {
        TTempFolder dir;
        TXmlDocument document;
        TDProject project(dir.Path(), document);
        Change(project, "Add Column", [](TProjectEditor& e) { e.AddColumn(); });
        Change(project, "Add Page", [](TProjectEditor& e) { e.AddPage(0); });
        TEarlierVersions versions(dir.Path());
        const std::vector<TEarlierVersion> list = versions.List();
        ASSERT_EQ(list.size(), 3u);
        // The version of Add Column: its column object is its own.
        const TEarlierVersion& broken = list[1];
        const std::string named = test.Break(dir / ".history", broken.Id,
                                             ObjectOf(dir.Path(), broken, ColumnName(project, 0)));
        EXPECT_EQ(Changes(versions.List()),
                  test.Listed ? Changes(list)
                              : (std::vector<std::string>{"Add Page", "Before Add Column"}))
            << test.Name;
        const TDocumentBytes files = ReadProjectDocuments(project);
        try {
            versions.Restore(broken);
            ADD_FAILURE() << test.Name << ": a broken version was restored";
        } catch (const TError& e) {
            EXPECT_EQ(e.FileName(), named) << test.Name << ": " << e.Message();
        }
        EXPECT_EQ(ReadProjectDocuments(project), files) << test.Name;
        // The history goes on, and the other versions are whole.
        Change(project, "Add Link", [](TProjectEditor& e) { e.AddLink(); });
        const std::vector<TEarlierVersion> later = versions.List();
        ASSERT_FALSE(later.empty()) << test.Name;
        EXPECT_EQ(later[0].Change, "Add Link") << test.Name;
        EXPECT_EQ(versions.Read(later[0]), TEarlierVersions::Kept(ReadProjectDocuments(project)))
            << test.Name;
        EXPECT_NO_THROW(versions.Read(later.back())) << test.Name;
    }
}

TEST_F(EarlierVersionsTest, AStrayNamedLikeAVersionIsPassedOverAndReported) {
    // Each put where version 3 (the next one) would go, as a folder version or as a list.
    struct TCase {
        const char* Name;
        const char* Entry;
        bool Fifo; // else a symbolic link to something outside the history
    } cases[] = {
        {"a link in place of a folder version", "00000003", false},
        {"a FIFO in place of a folder version", "00000003", true},
        {"a link in place of a list", "00000003.list", false},
        {"a FIFO in place of a list", "00000003.list", true},
        {"a link in place of a list's description", "00000003.info", false},
        {"a FIFO in place of a folder version's description", "00000003.txt", true},
    };
    for (const TCase& test : cases) {
        SCOPED_TRACE(test.Name);
        TTempFolder dir;
        TTempFolder outside;
        WriteFileBytes(outside / "Default.Pro", "not to be touched");
        TXmlDocument document;
        TDProject project(dir.Path(), document);
        Change(project, "Add Column", [](TProjectEditor& e) { e.AddColumn(); });
        const std::string stray = dir / (std::string(".history/") + test.Entry);
        if (test.Fifo)
            ASSERT_EQ(::mkfifo(stray.c_str(), 0600), 0);
        else if (std::string(test.Entry).find('.') == std::string::npos)
            std::filesystem::create_directory_symlink(outside.Path(), stray);
        else
            std::filesystem::create_symlink(outside / "Default.Pro", stray);
        // A full history past it (copies of version 2, written directly), then two changes:
        // each keeps its version and pruning goes on.
        const std::string history = dir / ".history";
        for (int id = 4; id < 4 + static_cast<int>(TEarlierVersions::MaxVersions) - 1; ++id) {
            char name[16];
            std::snprintf(name, sizeof name, "%08d", id);
            WriteFileBytes(history + "/" + name + ".list",
                           ReadFileBytes(history + "/00000002.list"));
            WriteFileBytes(history + "/" + name + ".info", "1000\nCopy\n");
        }
        for (const char* topic : {"One", "Two"})
            ASSERT_NO_THROW(Change(project, topic, [&project, topic](TProjectEditor&) {
                project.TOPIC.CAPTION = topic;
                project.Save();
            }));
        TEarlierVersions versions(dir.Path());
        const std::vector<TEarlierVersion> list = versions.List();
        ASSERT_EQ(list.size(), TEarlierVersions::MaxVersions);
        // Numbered past the stray and the copies; the oldest went, the stray aside.
        EXPECT_EQ(list[0].Id, "00000104");
        EXPECT_EQ(list[0].Change, "Two");
        EXPECT_EQ(list[1].Change, "One");
        EXPECT_EQ(list.back().Id, "00000005");
        EXPECT_EQ(versions.Read(list[0]), TEarlierVersions::Kept(ReadProjectDocuments(project)));
        // A list and a description for each version kept, and nothing else (the stray aside).
        std::set<std::string> files = RegularFilesIn(history);
        files.erase(test.Entry);
        EXPECT_EQ(files.size(), 2 * TEarlierVersions::MaxVersions);
        // The stray is left as it was, and what it points at too; it is reported.
        struct stat st {};
        ASSERT_EQ(::lstat(stray.c_str(), &st), 0);
        EXPECT_TRUE(test.Fifo ? S_ISFIFO(st.st_mode) : S_ISLNK(st.st_mode));
        EXPECT_EQ(ReadFileBytes(outside / "Default.Pro"), "not to be touched");
        EXPECT_EQ(versions.Strays(), std::vector<std::string>{stray});
    }
}

TEST_F(EarlierVersionsTest, HistoryThroughASymbolicLinkIsRefused) {
    TXmlDocument document;
    TDProject project(Dir.Path(), document);
    TTempFolder elsewhere;
    std::filesystem::create_directory_symlink(elsewhere.Path(), Dir / ".history");
    const TDocumentBytes before = ReadProjectDocuments(project);
    EXPECT_THROW(TEarlierVersions(Dir.Path()).Keep("Add Link", before, before, 1), TError);
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere.Path()));

    // The same for the folder of the documents kept: nothing is written, and a version
    // whose documents would be read through it is not read.
    std::filesystem::remove(Dir / ".history");
    Change(project, "Add Column", [](TProjectEditor& e) { e.AddColumn(); });
    TEarlierVersions versions(Dir.Path());
    const std::vector<TEarlierVersion> list = versions.List();
    ASSERT_EQ(list.size(), 2u);
    std::filesystem::rename(Dir / ".history/objects", elsewhere / "objects");
    std::filesystem::create_directory_symlink(elsewhere / "objects", Dir / ".history/objects");
    const std::size_t objects = RegularFilesIn(elsewhere / "objects").size();
    try {
        versions.Read(list[0]);
        ADD_FAILURE() << "a version was read through a link";
    } catch (const TError& e) {
        EXPECT_EQ(e.FileName(), Dir / ".history/objects");
    }
    EXPECT_THROW(Change(project, "Add Link", [](TProjectEditor& e) { e.AddLink(); }), TError);
    EXPECT_EQ(RegularFilesIn(elsewhere / "objects").size(), objects);
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

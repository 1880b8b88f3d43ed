// The cache and the digests warmed on a thread of their own after opening a project: the
// first change then reads and digests only what it rewrote, and a warm-up that fails leaves
// the next reading to read what is missing.

#include "model/WarmUp.h"
#include "TestSupport.h"
#include "model/CColumn.h"
#include "model/ProjectEditor.h"
#include "platform/FileFaults.h"
#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

namespace {

class WarmUpTest : public ::testing::Test {
  public:
    WarmUpTest() : Project(Dir.Path(), Document), Versions(Dir.Path()) {
        for (int i = 0; i < 3; ++i)
            TProjectEditor(Project).AddColumn();
        TProjectEditor(Project).AddPage(1);
    }
    // A page retitled, as the window changes it: readings before and after, a version kept.
    void ChangePage(const std::string& title) {
        Before = Cache.Read(Project);
        BeforeRead = Cache.FilesRead();
        TDColumn column(Project.ColumnFile(1), Document);
        column.Page(0).TITLE = title;
        column.Save();
        Versions.Keep("Page", Before, Cache.Read(Project), 1000);
    }

    TTempFolder Dir;
    TXmlDocument Document;
    TDProject Project;
    TDocumentCache Cache;
    TEarlierVersions Versions;
    TSharedDocuments Before;
    std::size_t BeforeRead = 0;
};

TEST_F(WarmUpTest, TheFirstChangeAfterAWarmUpReadsAndDigestsOnlyWhatItRewrote) {
    struct TCase {
        const char* Name;
        std::function<void(TFileFaults&)> Fault; // set while the warm-up runs
        bool WarmedUp;
        bool Succeeds;
        std::size_t BeforeRead; // files the reading before the change read
        std::size_t Digested;   // documents the change's Keep digested
    } cases[] = {
        // Default.Pro and three columns: the change digests them all, before and after.
        {"no warm-up", nullptr, false, false, 4, 5},
        {"a warm-up", [](TFileFaults&) {}, true, true, 0, 1},
        // The second file fails (a file takes two reads, the second finding its end): the
        // first stays read, the rest is read by the change.
        {"a warm-up whose reading fails", [](TFileFaults& faults) { faults.FailRead = 3; }, true,
         false, 3, 5},
    };
    int run = 0;
    for (const TCase& test : cases) {
        Cache.Clear();
        Versions = TEarlierVersions(Dir.Path());
        WaitPastRecentWrites();
        TWarmUp warmUp;
        EXPECT_FALSE(warmUp.Pending()) << test.Name;
        if (test.WarmedUp) {
            TFileFaults faults;
            test.Fault(faults);
            TScopedFileFaults scoped(faults);
            warmUp.Start(Cache, Versions, Project.Folder, ProjectDocumentNames(Project));
            EXPECT_TRUE(warmUp.Pending()) << test.Name;
            EXPECT_EQ(warmUp.Wait(), test.Succeeds) << test.Name;
        }
        EXPECT_FALSE(warmUp.Pending()) << test.Name;
        EXPECT_FALSE(warmUp.Wait()) << test.Name;
        ChangePage("Changed " + std::to_string(++run));
        EXPECT_EQ(BeforeRead, test.BeforeRead) << test.Name;
        EXPECT_EQ(Cache.FilesRead(), 1U) << test.Name;
        EXPECT_EQ(Versions.DocumentsDigested(), test.Digested) << test.Name;
        EXPECT_EQ(BytesOf(Cache.Read(Project)), ReadProjectDocuments(Project)) << test.Name;
        EXPECT_EQ(Versions.Read(Versions.List().front()),
                  TEarlierVersions::Kept(ReadProjectDocuments(Project)))
            << test.Name;
    }
}

TEST_F(WarmUpTest, AWarmUpStartedAgainWaitsForTheOneBeforeAndEndsWithItsOwner) {
    WaitPastRecentWrites();
    {
        TWarmUp warmUp;
        warmUp.Start(Cache, Versions, Project.Folder, ProjectDocumentNames(Project));
        warmUp.Start(Cache, Versions, Project.Folder, ProjectDocumentNames(Project));
        EXPECT_TRUE(warmUp.Wait());
        // The second found everything read already.
        EXPECT_EQ(Cache.FilesRead(), 0U);
        warmUp.Start(Cache, Versions, Project.Folder, ProjectDocumentNames(Project));
        // Its owner going waits for it.
    }
    EXPECT_EQ(Cache.Read(Project).size(), 4U);
    EXPECT_EQ(Cache.FilesRead(), 0U);
    // A folder with a project of its own: the cache starts afresh there.
    TTempFolder other;
    TXmlDocument document;
    TDProject second(other.Path(), document);
    WaitPastRecentWrites();
    TWarmUp warmUp;
    warmUp.Start(Cache, Versions, second.Folder, ProjectDocumentNames(second));
    EXPECT_TRUE(warmUp.Wait());
    EXPECT_EQ(BytesOf(Cache.Read(second)), ReadProjectDocuments(second));
    EXPECT_EQ(Cache.FilesRead(), 0U);
}

} // namespace

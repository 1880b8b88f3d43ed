// The documents of a project read again through the cache: only the files whose signature
// moved on are read, and the reading is always the one that ReadProjectDocuments gives.

#include "model/DocumentCache.h"
#include "TestSupport.h"
#include "model/ProjectEditor.h"
#include "platform/Error.h"
#include "platform/FileFaults.h"
#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Overwrites the file in place (same inode), keeping nothing of its bytes.
void RewriteInPlace(const std::string& path, const std::string& bytes) {
    std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out | std::ios::trunc);
    ASSERT_TRUE(out) << path;
    out << bytes;
}

void SetModified(const std::string& path, const timespec& time) {
    const timespec times[2] = {time, time};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

timespec ModifiedOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mtim;
}

class DocumentCacheTest : public ::testing::Test {
  public:
    DocumentCacheTest() : Project(std::make_unique<TDProject>(Dir.Path(), Document)) {
        TProjectEditor editor(*Project);
        editor.AddColumn();
        editor.AddColumn();
    }
    std::string ColumnPath(int index) const { return Project->ColumnFile(index); }
    std::string ColumnName(int index) const { return FileNamePart(Project->ColumnFile(index)); }

    TTempFolder Dir;
    TXmlDocument Document;
    std::unique_ptr<TDProject> Project;
};

struct TCacheCase {
    const char* Name;
    std::function<void(DocumentCacheTest&)> Change;
    std::size_t FilesRead;
};

TEST_F(DocumentCacheTest, ReadsAgainOnlyTheFilesThatChanged) {
    const std::vector<TCacheCase> cases = {
        {"nothing changed", [](DocumentCacheTest&) {}, 0},
        {"a column replaced by a rename",
         [](DocumentCacheTest& t) {
             const std::string bytes = ReadFileBytes(t.ColumnPath(0));
             std::string changed = bytes;
             changed.back() = changed.back() == ' ' ? '\n' : ' ';
             WriteFileAtomically(t.ColumnPath(0), changed);
         },
         1},
        {"a column rewritten in place, longer",
         [](DocumentCacheTest& t) {
             RewriteInPlace(t.ColumnPath(1), ReadFileBytes(t.ColumnPath(1)) + "\r\n");
         },
         1},
        {"a column rewritten in place, as long, its time set back",
         [](DocumentCacheTest& t) {
             const std::string path = t.ColumnPath(0);
             const timespec modified = ModifiedOf(path);
             std::string bytes = ReadFileBytes(path);
             bytes.back() = bytes.back() == ' ' ? '\n' : ' ';
             RewriteInPlace(path, bytes);
             // Only the inode's change time tells this one.
             SetModified(path, modified);
         },
         1},
        {"both project and column rewritten",
         [](DocumentCacheTest& t) {
             RewriteInPlace(t.Dir / "Default.Pro", ReadFileBytes(t.Dir / "Default.Pro") + " ");
             WriteFileAtomically(t.ColumnPath(1), ReadFileBytes(t.ColumnPath(1)) + " ");
         },
         2},
        {"a column file removed",
         [](DocumentCacheTest& t) { ASSERT_TRUE(DeleteFileQuietly(t.ColumnPath(1))); }, 0},
        {"a column file that no menu item names",
         [](DocumentCacheTest& t) { WriteFileBytes(t.Dir / "Spare.clm", "<COLUMN/>"); }, 1},
        {"a column file put back",
         [](DocumentCacheTest& t) { WriteFileBytes(t.ColumnPath(1), "x"); }, 1},
        {"a column file made a folder",
         [](DocumentCacheTest& t) {
             ASSERT_TRUE(DeleteFileQuietly(t.Dir / "Spare.clm"));
             ASSERT_TRUE(MakeFolder(t.Dir / "Spare.clm"));
         },
         0},
        {"nothing changed again", [](DocumentCacheTest&) {}, 0},
    };
    TDocumentCache cache;
    WaitPastRecentWrites();
    EXPECT_EQ(cache.ReadBytes(*Project), ReadProjectDocuments(*Project));
    EXPECT_EQ(cache.FilesRead(), 3U);
    for (const TCacheCase& test : cases) {
        SCOPED_TRACE(test.Name);
        test.Change(*this);
        WaitPastRecentWrites();
        const TDocumentBytes expected = ReadProjectDocuments(*Project);
        // The first read of a file fails: a reading that reads nothing does not see it.
        TFileFaults faults;
        faults.FailRead = test.FilesRead == 0 ? 1 : 0;
        TScopedFileFaults scoped(faults);
        EXPECT_EQ(cache.ReadBytes(*Project), expected);
        EXPECT_EQ(cache.FilesRead(), test.FilesRead);
        EXPECT_EQ(scoped.Faults().Reads == 0, test.FilesRead == 0);
    }
}

TEST_F(DocumentCacheTest, AFileWrittenJustBeforeItsReadingIsReadAgainNextTime) {
    TDocumentCache cache;
    // Written and read within one tick of the clock by which file times move on.
    const std::string path = ColumnPath(0);
    std::string bytes = ReadFileBytes(path);
    RewriteInPlace(path, bytes);
    EXPECT_EQ(cache.ReadBytes(*Project), ReadProjectDocuments(*Project));
    bytes.back() = bytes.back() == ' ' ? '\n' : ' ';
    RewriteInPlace(path, bytes);
    EXPECT_EQ(cache.ReadBytes(*Project).at(ColumnName(0)), bytes);
    WaitPastRecentWrites();
    cache.ReadBytes(*Project);
    // Now the times of the files are older than the reading: nothing to read any more.
    EXPECT_EQ(cache.ReadBytes(*Project), ReadProjectDocuments(*Project));
    EXPECT_EQ(cache.FilesRead(), 0U);

    // A file whose times lie ahead of the clock (written by a machine whose clock is ahead)
    // could be rewritten without its signature moving on: it is read at every reading.
    timespec ahead{};
    ASSERT_EQ(::clock_gettime(CLOCK_REALTIME, &ahead), 0);
    ahead.tv_sec += 3600;
    SetModified(path, ahead);
    for (int reading = 0; reading < 2; ++reading) {
        EXPECT_EQ(cache.ReadBytes(*Project), ReadProjectDocuments(*Project));
        EXPECT_EQ(cache.FilesRead(), 1U);
    }
}

TEST_F(DocumentCacheTest, AFailedReadIsTriedAgainAndAnotherFolderStartsAfresh) {
    TDocumentCache cache;
    WaitPastRecentWrites();
    {
        TFileFaults faults;
        faults.FailRead = 2;
        TScopedFileFaults scoped(faults);
        EXPECT_THROW(cache.ReadBytes(*Project), TError);
    }
    EXPECT_EQ(cache.ReadBytes(*Project), ReadProjectDocuments(*Project));
    EXPECT_GE(cache.FilesRead(), 1U);
    EXPECT_EQ(cache.ReadBytes(*Project).size(), 3U);
    EXPECT_EQ(cache.FilesRead(), 0U);

    TTempFolder other;
    TXmlDocument document;
    TDProject second(other.Path(), document);
    EXPECT_EQ(cache.ReadBytes(second), ReadProjectDocuments(second));
    EXPECT_EQ(cache.FilesRead(), 1U);
    cache.Clear();
    EXPECT_EQ(cache.ReadBytes(second), ReadProjectDocuments(second));
    EXPECT_EQ(cache.FilesRead(), 1U);
}

} // namespace

TEST_F(DocumentCacheTest, UnchangedDocumentsShareTheirBytesFromReadingToReading) {
    TDocumentCache cache;
    const TSharedDocuments first = cache.Read(*Project);
    WaitPastRecentWrites();
    const std::string earlier = *first.at(ColumnName(1));
    struct TCase {
        const char* Name;
        std::function<void()> Change;
        std::set<std::string> Moved; // the documents whose bytes are new
    } cases[] = {
        {"nothing", [] {}, {}},
        {"a column rewritten with its own bytes",
         [this] { RewriteInPlace(ColumnPath(0), ReadFileBytes(ColumnPath(0))); },
         {}},
        {"a column rewritten with other bytes",
         [this] { RewriteInPlace(ColumnPath(1), ReadFileBytes(ColumnPath(1)) + " "); },
         {ColumnName(1)}},
        {"the project saved with other records",
         [this] {
             Project->TOPIC.CAPTION = "Other";
             Project->Save();
         },
         {"Default.Pro"}},
    };
    TSharedDocuments previous = first;
    for (const TCase& test : cases) {
        test.Change();
        const TSharedDocuments reading = cache.Read(*Project);
        EXPECT_EQ(BytesOf(reading), ReadProjectDocuments(*Project)) << test.Name;
        ASSERT_EQ(reading.size(), previous.size()) << test.Name;
        for (const auto& [name, bytes] : reading)
            EXPECT_EQ(bytes != previous.at(name), test.Moved.count(name) != 0)
                << test.Name << ": " << name;
        previous = reading;
    }
    // An earlier reading keeps its bytes.
    EXPECT_EQ(*first.at(ColumnName(1)), earlier);
    EXPECT_NE(*previous.at(ColumnName(1)), earlier);
}

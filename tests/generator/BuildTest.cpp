// The build driver: the files of a build and their names, the generation context, failures,
// and the shared helpers (ReplaceAll, UniqueFileName, Translate, FitWidth/FitHeight,
// CopyIntoOutput).

#include "GeneratorFixture.h"
#include "generator/Driver.h"
#include "model/EarlierVersions.h"
#include "model/ProjectDocuments.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"

#include "platform/FileFaults.h"
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <filesystem>
#include <map>
#include <set>
#include <utility>
#include <vector>

namespace {

class BuildTest : public ::testing::Test, public TGeneratorFixture {
  protected:
    std::string Html() const { return Project->Folder + "/HTML"; }
    std::string Temp() const { return Project->Folder + "/Temp"; }

    int AddLink() {
        Project->AddMenuItem(true);
        return Project->MenuCount - 1;
    }
};

TEST_F(BuildTest, EmptyMenuListWritesTheTwoLineHomepage) {
    Build(*Project, "HTML");
    EXPECT_EQ(RegularFilesIn(Html()), (std::set<std::string>{"Default.htm"}));
    const std::string bytes = ReadFileBytes(Html() + "/Default.htm");
    EXPECT_EQ(bytes, "<html>\r\n</html>\r\n");
    EXPECT_EQ(bytes.size(), 17u);
}

TEST_F(BuildTest, WriteEmptyHomepageFollowsTheHomepageName) {
    Project->FRAME.HOMEPAGE = "Index";
    Project->OutputFolder = Temp();
    WriteEmptyHomepage(*Project);
    EXPECT_EQ(RegularFilesIn(Temp()), (std::set<std::string>{"Index.htm"}));
    EXPECT_EQ(ReadFileBytes(Temp() + "/Index.htm"), Lines({"<html>", "</html>"}));
}

TEST_F(BuildTest, LinksOnlyWriteNoFileAndLeaveAnEarlierHomepage) {
    AddLink();
    AddLink();
    WriteFileBytes(Html() + "/Default.htm", "earlier build");
    TBuildStats stats;
    BuildInto(*Project, Html(), &stats);
    EXPECT_EQ(RegularFilesIn(Html()), (std::set<std::string>{"Default.htm"}));
    EXPECT_EQ(ReadFileBytes(Html() + "/Default.htm"), "earlier build");
    EXPECT_EQ(stats.Files, 0);
    EXPECT_EQ(stats.Bytes, 0);
    EXPECT_EQ(stats.Homepage, "");
}

TEST_F(BuildTest, OneColumnGivesTheHomepageAndItsPages) {
    Project->FRAME.HOMEPAGE = "Index";
    AddColumn(3, "Title list with summary");
    Build(*Project, "HTML");
    EXPECT_EQ(RegularFilesIn(Html()),
              (std::set<std::string>{"Index.htm", "Page0_0.htm", "Page0_1.htm", "Page0_2.htm"}));
}

// Which files each listing style gives for a column of two pages at menu index 1 (a column
// before it takes the homepage).
TEST_F(BuildTest, ListingStylesDecideWhetherPagesHaveFilesOfTheirOwn) {
    for (const char* style : ListingStyles) {
        TGeneratorFixture site;
        site.AddColumn(0);
        TDMenuItem& item = site.Project->MenuItem(site.AddColumn(2));
        item.STYLE = style;
        Build(*site.Project, "HTML");
        const std::string s = style;
        std::set<std::string> expected = {"Default.htm", "Page1.htm"};
        if (s != "Title list and contents" && s != "Contents")
            expected.insert({"Page1_0.htm", "Page1_1.htm"});
        EXPECT_EQ(RegularFilesIn(site.Project->Folder + "/HTML"), expected) << style;
    }
}

TEST_F(BuildTest, ItemNumbersCountLinksAndTheFirstColumnIsTheHomepage) {
    AddLink();                                 // 0
    AddColumn(2);                              // 1: the homepage
    AddLink();                                 // 2
    AddColumn(1, "Pictures List (3 columns)"); // 3
    AddColumn(0);                              // 4: no pages
    AddColumn(3, "Contents");                  // 5: listing only
    Build(*Project, "HTML");
    EXPECT_EQ(RegularFilesIn(Html()),
              (std::set<std::string>{"Default.htm", "Page1_0.htm", "Page1_1.htm", "Page3.htm",
                                     "Page3_0.htm", "Page4.htm", "Page5.htm"}));
}

TEST_F(BuildTest, ContextAfterABuild) {
    AddColumn(2);
    AddColumn(3, "Contents");
    AddLink();
    Build(*Project, "HTML");
    EXPECT_EQ(CurrentColumn, nullptr);
    EXPECT_EQ(Project->CurrentItem, 1);
    // The last page name is set even though a "Contents" page has no file.
    EXPECT_EQ(Project->PageName, "Page1_2");
    EXPECT_EQ(Project->OutputFolder, Html());
    EXPECT_FALSE(Project->Output.IsOpen());
}

TEST_F(BuildTest, PreviewGoesToTempAndShowsThePreviewFile) {
    Project->FRAME.HOMEPAGE = "Index";
    AddColumn(1);
    BuildPreview(*Project);
    EXPECT_TRUE(FileExists(Project->PreviewFile()));
    EXPECT_EQ(RegularFilesIn(Temp()), (std::set<std::string>{"Index.htm", "Page0_0.htm"}));
    EXPECT_EQ(RegularFilesIn(Html()), std::set<std::string>{});
}

TEST_F(BuildTest, BuildingAgainReplacesFilesAndLeavesStaleOnes) {
    AddColumn(2);
    BuildPreview(*Project);
    const std::string before = ReadFileBytes(Temp() + "/Page0_1.htm");
    {
        TDColumn column(Project->ColumnFile(0), Document);
        column.Page(0).TITLE = "Renamed";
        column.Save();
        column.RemovePage(1);
    }
    BuildPreview(*Project);
    EXPECT_EQ(RegularFilesIn(Temp()),
              (std::set<std::string>{"Default.htm", "Page0_0.htm", "Page0_1.htm"}));
    EXPECT_EQ(ReadFileBytes(Temp() + "/Page0_1.htm"), before);
    EXPECT_NE(ReadFileBytes(Temp() + "/Page0_0.htm").find("Renamed"), std::string::npos);
}

TEST_F(BuildTest, StatsCountEachFileOnceWithItsFinalSize) {
    WriteFileBytes(Project->ImagesPath() + "Shared.jpg", std::string(1000, 'x'));
    AddColumn(3);
    AddLink();
    AddColumn(1);
    {
        TDColumn column(Project->ColumnFile(0), Document);
        for (int j = 0; j < column.PageCount; ++j)
            column.Page(j).PICTURE = "Shared.jpg"; // one picture for every page
        column.Save();
    }
    std::vector<std::pair<int, int>> calls;
    TBuildStats stats;
    BuildInto(*Project, Html(), &stats, [&](int n, int of) { calls.emplace_back(n, of); });
    std::int64_t bytes = 0;
    int files = 0;
    for (const TFileEntry& entry : ListFolder(Html())) {
        bytes += entry.Size;
        ++files;
    }
    EXPECT_TRUE(FileExists(Html() + "/Shared.jpg"));
    EXPECT_EQ(stats.Files, files);
    EXPECT_EQ(stats.Bytes, bytes);
    EXPECT_EQ(stats.Columns, 2);
    EXPECT_EQ(stats.PageFiles, 6);
    EXPECT_EQ(stats.Homepage, Html() + "/Default.htm");
    EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{1, 2}, {2, 2}}));
}

// The pages are written in the charset their head declares, and the stats count the bytes
// written; a UTF-8 project writes its texts' own bytes.
TEST_F(BuildTest, PagesAreWrittenInTheDeclaredCharsetAndTheStatsCountTheBytesWritten) {
    const int column = AddColumn(1);
    {
        TDColumn pages(Project->ColumnFile(column), Document);
        pages.Page(0).TITLE = "Grüße – ü";
        pages.Save();
    }
    Project->TOPIC.CAPTION = "Köln";
    struct TCase {
        const char* Encoding;
        const char* Charset;
        std::string Title; // the page's title as its own page shows it
        std::string Caption;
    } cases[] = {
        {"UTF-8", "UTF-8", "Grüße – ü", "Köln"},
        {"Western (ISO-8859-1)", "ISO-8859-1",
         "Gr\xFC\xDF"
         "e &#8211; \xFC",
         "K\xF6ln"},
        {"Cyrillic (KOI8-R)", "KOI8-R", "Gr&#252;&#223;e &#8211; &#252;", "K&#246;ln"},
        {"Central European (MacCE)", "UTF-8", "Grüße – ü", "Köln"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Encoding);
        Project->FONT.ENCODING = c.Encoding;
        TBuildStats stats;
        BuildInto(*Project, Html(), &stats);
        const std::string page = ReadFileBytes(Html() + "/Page0_0.htm");
        const std::string homepage = ReadFileBytes(Html() + "/Default.htm");
        EXPECT_NE(page.find("<title>" + c.Caption + "</title>"), std::string::npos);
        EXPECT_NE(page.find(c.Title), std::string::npos);
        EXPECT_NE(homepage.find("charset=" + std::string(c.Charset) + "\""), std::string::npos);
        std::int64_t bytes = 0;
        for (const TFileEntry& entry : ListFolder(Html()))
            bytes += entry.Size;
        EXPECT_EQ(stats.Bytes, bytes);
        EXPECT_EQ(stats.Bytes, static_cast<std::int64_t>(page.size() + homepage.size()));
        // The preview writes the same bytes.
        BuildPreview(*Project);
        EXPECT_EQ(ReadFileBytes(Temp() + "/Page0_0.htm"), page);
        EXPECT_EQ(ReadFileBytes(Temp() + "/Default.htm"), homepage);
        // Outside a build the output writes the texts' own bytes again.
        EXPECT_EQ(Project->Output.Encoding(), "");
    }
}

TEST_F(BuildTest, AHomepageNamedLikeAListingPageIsOneFile) {
    Project->FRAME.HOMEPAGE = "Page1";
    AddColumn(0);
    AddColumn(0);
    TBuildStats stats;
    BuildInto(*Project, Html(), &stats);
    // Page1.htm is written twice, the second column's listing last.
    EXPECT_EQ(RegularFilesIn(Html()), (std::set<std::string>{"Page1.htm"}));
    EXPECT_EQ(stats.Files, 1);
    EXPECT_EQ(stats.PageFiles, 2);
    EXPECT_EQ(stats.Bytes, static_cast<std::int64_t>(ReadFileBytes(Html() + "/Page1.htm").size()));
}

TEST_F(BuildTest, BuildIntoAnotherFolder) {
    AddColumn(1);
    const std::string elsewhere = Dir / "Elsewhere";
    std::filesystem::create_directory(elsewhere);
    WriteFileBytes(elsewhere + "/Keep.txt", "kept");
    BuildInto(*Project, elsewhere);
    EXPECT_EQ(RegularFilesIn(elsewhere),
              (std::set<std::string>{"Default.htm", "Page0_0.htm", "Keep.txt"}));
    EXPECT_EQ(Project->OutputFolder, elsewhere);
}

TEST_F(BuildTest, TheEarlierVersionsNeverReachABuild) {
    const int index = AddColumn(2);
    const std::string gif = ReadFileBytes(SourceFolder() + "/tests/platform/pictures/bands.gif");
    WriteFileBytes(Project->ImagesPath() + "Photo.gif", gif);
    WriteFileBytes(Project->DownloadsPath() + "Report.pdf", "report");
    {
        TDColumn column(Project->ColumnFile(index), Document);
        column.Page(0).PICTURE = "Photo.gif";
        column.Page(0).LINK = "Report";
        column.Page(0).KIND = "Download";
        column.Page(0).URL = "Report.pdf";
        // Hand-edited names that lead into the folder of the earlier versions.
        column.Page(1).PICTURE = "../.history/00000002/Default.Pro";
        column.Page(1).LINK = "Notes";
        column.Page(1).KIND = "Download";
        column.Page(1).URL = "../.history/00000001.info";
        column.Save();
    }
    Project->TOPIC.LOGO = ".history";
    Project->Save();
    // Two changes kept, as the main window keeps them.
    TDocumentBytes before = ReadProjectDocuments(*Project);
    Project->TOPIC.CAPTION = "Kept";
    Project->Save();
    TEarlierVersions(Project->Folder).Keep("Topic", before, ReadProjectDocuments(*Project), 1);
    ASSERT_EQ(TEarlierVersions(Project->Folder).List().size(), 2u);
    std::set<std::string> kept;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(Dir / "Site/.history"))
        if (entry.is_regular_file())
            kept.insert(ReadFileBytes(entry.path().string()));

    // Every file of a build, by its path below the folder, with its bytes.
    auto built = [](const std::string& folder) {
        std::map<std::string, std::string> files;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
            files[std::filesystem::relative(entry.path(), folder).string()] =
                entry.is_regular_file() ? ReadFileBytes(entry.path().string()) : "(folder)";
        return files;
    };
    Build(*Project, "HTML");
    const auto html = built(Html());
    EXPECT_EQ(html.count("Photo.gif"), 1u);
    EXPECT_EQ(html.count("Report.pdf"), 1u);
    for (const auto& [name, bytes] : html) {
        EXPECT_EQ(name.find(".history"), std::string::npos) << name;
        EXPECT_EQ(kept.count(bytes), 0u) << name << " is a copy of an earlier version";
    }
    // The same build without the folder gives the same files.
    std::filesystem::remove_all(Dir / "Site/.history");
    const std::string again = Dir / "Again";
    std::filesystem::create_directory(again);
    BuildInto(*Project, again);
    EXPECT_EQ(built(again), html);
}

// ---- Failures

TEST_F(BuildTest, AMissingColumnDocumentEndsTheBuildNamingIt) {
    AddColumn(1);
    AddColumn(1);
    AddColumn(1);
    std::filesystem::remove(Project->ColumnFile(1));
    try {
        Build(*Project, "HTML");
        FAIL() << "the build went on";
    } catch (const TError& e) {
        EXPECT_EQ(e.FileName(), Project->ColumnFile(1));
    }
    EXPECT_EQ(CurrentColumn, nullptr);
    EXPECT_FALSE(Project->Output.IsOpen());
    // What came before stays; nothing after is written.
    EXPECT_EQ(RegularFilesIn(Html()), (std::set<std::string>{"Default.htm", "Page0_0.htm"}));
}

TEST_F(BuildTest, AMalformedColumnDocumentEndsTheBuild) {
    AddColumn(1);
    WriteFileBytes(Project->ColumnFile(0), "<COLUMN><PAGE>");
    EXPECT_THROW(Build(*Project, "HTML"), TError);
    EXPECT_EQ(CurrentColumn, nullptr);
    EXPECT_EQ(RegularFilesIn(Html()), std::set<std::string>{});
}

TEST_F(BuildTest, APageFileThatCannotBeCreatedEndsTheBuildNamingIt) {
    AddColumn(3);
    AddColumn(1);
    std::filesystem::create_directory(Html() + "/Page0_1.htm"); // in the way
    try {
        Build(*Project, "HTML");
        FAIL() << "the build went on";
    } catch (const TError& e) {
        EXPECT_EQ(e.FileName(), Html() + "/Page0_1.htm");
    }
    EXPECT_EQ(CurrentColumn, nullptr);
    EXPECT_FALSE(Project->Output.IsOpen());
    EXPECT_EQ(RegularFilesIn(Html()), (std::set<std::string>{"Default.htm", "Page0_0.htm"}));
}

TEST_F(BuildTest, AMissingOutputFolderFailsOnTheHomepage) {
    try {
        Build(*Project, "NoSuchFolder");
        FAIL() << "the build went on";
    } catch (const TError& e) {
        EXPECT_EQ(e.FileName(), Project->Folder + "/NoSuchFolder/Default.htm");
    }
}

TEST_F(BuildTest, AHomepageNameHoldingAPathIsRefused) {
    AddColumn(0);
    for (const char* name : {"../Escaped", "sub/Index", "..\\Escaped", "", ".", ".."}) {
        Project->FRAME.HOMEPAGE = name;
        EXPECT_THROW(Build(*Project, "HTML"), TError) << name;
    }
    EXPECT_FALSE(PathExists(Project->Folder + "/Escaped.htm"));
    EXPECT_EQ(RegularFilesIn(Html()), std::set<std::string>{});
}

// ---- ReplaceAll

TEST(ReplaceAll, Cases) {
    struct TCase {
        std::string Text, Old, New, Result;
    };
    const TCase cases[] = {
        {"a#$D#$Ab#$D#$A", "#$D#$A", "<br>", "a<br>b<br>"},
        {"#$D#$A#$D#$A", "#$D#$A", "<br>", "<br><br>"},
        {"no breaks", "#$D#$A", "<br>", "no breaks"},
        {"", "#$D#$A", "<br>", ""},
        {"half #$D#$", "#$D#$A", "<br>", "half #$D#$"},
        {"line one\r\nline two\r\n", "\r\n", "#$D#$A", "line one#$D#$Aline two#$D#$A"},
        {"x#$D#$Ay", "#$D#$A", "\r\n", "x\r\ny"},
        {"unchanged", "", "anything", "unchanged"},
        {"aXbXc", "X", "", "abc"},
        // Searching again from the start finds occurrences that a replacement brings about.
        {"aabb", "ab", "", ""},
        {"abb", "ab", "a", "a"},
        {"xxab", "xab", "x", "xx"},
        {"xaabb", "ab", "", "x"},
        {"a-b-c", "-", "", "abc"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(ReplaceAll(c.Text, c.Old, c.New), c.Result) << c.Text << " / " << c.Old;
}

TEST(ReplaceAll, ANewTextHoldingTheOldOneEnds) {
    EXPECT_EQ(ReplaceAll("a-b", "-", "--"), "a--b");
}

// ---- UniqueFileName

TEST(UniqueFileName, FirstFreeNumberPerExtension) {
    TTempFolder dir;
    const std::string folder = dir.Path() + "/";
    EXPECT_EQ(UniqueFileName(folder, ".jpg"), folder + "File1.jpg");
    WriteFileBytes(folder + "File1.jpg", "1");
    WriteFileBytes(folder + "File2.jpg", "2");
    EXPECT_EQ(UniqueFileName(folder, ".jpg"), folder + "File3.jpg");
    EXPECT_EQ(UniqueFileName(folder, ".gif"), folder + "File1.gif");
    // A gap is filled; a folder of that name counts as taken.
    WriteFileBytes(folder + "File4.jpg", "4");
    std::filesystem::create_directory(folder + "File3.jpg");
    EXPECT_EQ(UniqueFileName(folder, ".jpg"), folder + "File5.jpg");
    std::filesystem::remove(folder + "File1.jpg");
    EXPECT_EQ(UniqueFileName(folder, ".jpg"), folder + "File1.jpg");
    EXPECT_EQ(UniqueFileName(folder, ""), folder + "File1");
}

// ---- Translate

TEST_F(BuildTest, TranslateLooksUpKeysExactly) {
    TDLanguage& language = Project->LANGUAGE;
    int previous = -1;
    for (int i = 0; i < language.Count; ++i)
        if (language.Keys[static_cast<std::size_t>(i)] == "PREVIOUS")
            previous = i;
    ASSERT_GE(previous, 0);
    language.Values[static_cast<std::size_t>(previous)] = "Zur\xFC"
                                                          "ck";
    const std::size_t next = static_cast<std::size_t>(language.Count);
    language.Keys[next] = "EMPTY";
    language.Values[next] = "";
    language.Keys[next + 1] = "PREVIOUS"; // a later duplicate never wins
    language.Values[next + 1] = "Later";
    language.Count += 2;
    const std::pair<std::string, std::string> cases[] = {
        {"PREVIOUS", "Zur\xFC"
                     "ck"},
        {"previous", "previous"},
        {"NO_SUCH_KEY", "NO_SUCH_KEY"},
        {"EMPTY", ""},
        {"", ""},
    };
    for (const auto& [key, text] : cases)
        EXPECT_EQ(Translate(*Project, key), text) << key;
    // Entries beyond the count are not looked at.
    language.Count -= 2;
    EXPECT_EQ(Translate(*Project, "EMPTY"), "EMPTY");
}

// ---- FitWidth and FitHeight

TEST_F(BuildTest, FitWidthAndHeight) {
    struct TCase {
        std::int32_t Width, Height, Max, FitWidth, FitHeight;
    };
    const TCase cases[] = {
        {400, 300, 240, 240, 180},
        {200, 150, 240, 200, 150},
        {1000, 333, 160, 160, 53},
        {240, 77, 240, 240, 77}, // m equal to W: unchanged
        {0, 0, 240, 0, 0},
        {241, 100, 240, 240, 99},
        // Height x maximum width wraps around in 32 bits: 5,000,000,000 - 2^32 = 705,032,704.
        {100000, 100000, 50000, 50000, 7050},
        // Stored negative heights divide truncating towards zero.
        {400, -301, 240, 240, -180},
        {400, INT32_MIN, 240, 240, 0}, // INT32_MIN x 240 wraps to 0
        // Negative maximum widths, and the widths 0 and -1 that only they can stand below.
        {0, 50, -10, -10, 0},
        {-1, 1 << 30, -2, -2, INT32_MIN},
        {-1, 7, -3, -3, 21},
        {-4, 10, -8, -8, 20},
    };
    TDColumn& column = UseColumn(AddColumn(static_cast<int>(std::size(cases))), -1);
    for (std::size_t j = 0; j < std::size(cases); ++j) {
        column.Page(static_cast<int>(j)).PICTURE_WIDTH = cases[j].Width;
        column.Page(static_cast<int>(j)).PICTURE_HEIGHT = cases[j].Height;
    }
    for (std::size_t j = 0; j < std::size(cases); ++j) {
        const TCase& c = cases[j];
        EXPECT_EQ(FitWidth(c.Max, static_cast<int>(j)), c.FitWidth) << "case " << j;
        EXPECT_EQ(FitHeight(c.Max, static_cast<int>(j)), c.FitHeight) << "case " << j;
    }
}

TEST_F(BuildTest, FitWithoutSuchAPageIsAnError) {
    EXPECT_THROW(FitWidth(240, 0), TError); // no column in use
    UseColumn(AddColumn(1), -1);
    EXPECT_THROW(FitWidth(240, 1), TError);
    EXPECT_THROW(FitHeight(240, -1), TError);
    EXPECT_NO_THROW(FitHeight(240, 0));
}

// ---- CopyIntoOutput

TEST_F(BuildTest, CopyIntoOutputTakesOnlyTheFileNamePart) {
    const std::string images = Project->ImagesPath();
    WriteFileBytes(images + "Photo.jpg", "photo");
    WriteFileBytes(Project->Folder + "/Secret.txt", "outside");
    WriteFileBytes(Dir / "Outside.jpg", "far outside");
    Project->OutputFolder = Html();
    const std::pair<const char*, const char*> cases[] = {
        {"Photo.jpg", "Photo.jpg"},
        {"../Images/Photo.jpg", "Photo.jpg"},
        {"C:\\My Pictures\\Photo.jpg", "Photo.jpg"},
        {"D:Photo.jpg", "Photo.jpg"},
    };
    for (const auto& [name, copied] : cases) {
        std::filesystem::remove(Html() + "/" + copied);
        CopyIntoOutput(*Project, images, name);
        EXPECT_EQ(ReadFileBytes(Html() + "/" + copied), "photo") << name;
    }
    std::filesystem::remove(Html() + "/Photo.jpg");
    // Names that climb out of the Images folder find nothing there and copy nothing.
    for (const char* name :
         {"../Secret.txt", "../../Outside.jpg", "..", ".", "", "../", "Missing.jpg", "/etc/passwd"})
        CopyIntoOutput(*Project, images, name);
    EXPECT_EQ(RegularFilesIn(Html()), std::set<std::string>{});
    EXPECT_FALSE(PathExists(Project->Folder + "/Outside.jpg"));
}

TEST_F(BuildTest, CopyIntoOutputReplacesAndFailsQuietly) {
    const std::string downloads = Project->DownloadsPath();
    WriteFileBytes(downloads + "Manual.pdf", "new manual");
    Project->OutputFolder = Html();
    WriteFileBytes(Html() + "/Manual.pdf", "old manual");
    CopyIntoOutput(*Project, downloads, "Manual.pdf");
    EXPECT_EQ(ReadFileBytes(Html() + "/Manual.pdf"), "new manual");
    // A missing output folder: nothing happens, nothing is thrown.
    Project->OutputFolder = Project->Folder + "/NoSuchFolder";
    EXPECT_NO_THROW(CopyIntoOutput(*Project, downloads, "Manual.pdf"));
}

TEST_F(BuildTest, CopyIntoOutputTakesOnlyPlainFilesNeverALinkOrAFifo) {
    struct TCase {
        const char* Name;
        std::function<void(const std::string& source, const std::string& secret)> Plant;
    };
    const TCase cases[] = {
        {"a link to a key elsewhere",
         [](const std::string& source, const std::string& secret) {
             std::filesystem::create_symlink(secret, source);
         }},
        {"a FIFO (a copy would wait on it for ever)",
         [](const std::string& source, const std::string&) {
             ASSERT_EQ(::mkfifo(source.c_str(), 0600), 0);
         }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string images = Project->ImagesPath();
        const std::string secret = Project->Folder + "/../id_rsa";
        WriteFileBytes(secret, "PRIVATE KEY");
        std::filesystem::remove(images + "p120.gif");
        c.Plant(images + "p120.gif", secret);
        Project->OutputFolder = Html();
        std::filesystem::remove(Html() + "/p120.gif");
        CopyIntoOutput(*Project, images, "p120.gif");
        EXPECT_FALSE(std::filesystem::exists(Html() + "/p120.gif"));
        EXPECT_EQ(RegularFilesIn(Html()), std::set<std::string>{});
    }
}

TEST_F(BuildTest, APictureThatIsThereButCannotBeWrittenIsCountedAMissingOneIsNot) {
    struct TCase {
        const char* Name;
        bool SourceThere;
        TFileFaults Faults;
        int Failures;
        std::string First;
    };
    const TCase cases[] = {
        {"written", true, {}, 0, ""},
        {"disk full",
         true,
         {.FailWrite = 1, .Error = ENOSPC},
         1,
         std::string("Back.gif: ") + std::strerror(ENOSPC)},
        {"rename refused",
         true,
         {.FailRename = 1, .Error = EIO},
         1,
         std::string("Back.gif: ") + std::strerror(EIO)},
        {"missing source", false, {.FailWrite = 1, .Error = ENOSPC}, 0, ""},
    };
    AddColumn(0);
    Project->FRAME.BACKGROUND = "Back.gif";
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        std::filesystem::remove(Project->ImagesPath() + "Back.gif");
        std::filesystem::remove(Html() + "/Back.gif");
        if (c.SourceThere)
            WriteFileBytes(Project->ImagesPath() + "Back.gif", "GIF89a picture");
        TBuildStats stats;
        {
            TScopedFileFaults faults(c.Faults);
            BuildInto(*Project, Html(), &stats);
        }
        EXPECT_EQ(stats.CopyFailures, c.Failures);
        EXPECT_EQ(stats.FirstCopyFailure, c.First);
        EXPECT_EQ(RegularFilesIn(Html()).count("Back.gif"),
                  c.SourceThere && c.Failures == 0 ? 1u : 0u);
    }
}

} // namespace

TEST_F(BuildTest, AnOutputFolderThatIsALinkOrNoFolderIsRefusedAndNothingIsWrittenThroughIt) {
    struct TCase {
        const char* Name;
        const char* Folder; // HTML or Temp
        bool Link;          // a link to another folder; else an ordinary file
    };
    const TCase cases[] = {{"HTML a link", "HTML", true},
                           {"Temp a link", "Temp", true},
                           {"HTML a file", "HTML", false}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string folder = Project->Folder + "/" + c.Folder;
        const std::string elsewhere = Project->Folder + "/../elsewhere-" + c.Folder;
        std::filesystem::create_directories(elsewhere);
        WriteFileBytes(elsewhere + "/Default.htm", "someone else's");
        std::filesystem::remove_all(folder);
        if (c.Link)
            std::filesystem::create_directory_symlink(elsewhere, folder);
        else
            WriteFileBytes(folder, "a file");
        try {
            if (std::string(c.Folder) == "Temp")
                BuildPreview(*Project);
            else
                Build(*Project, c.Folder);
            ADD_FAILURE() << "built";
        } catch (const TError& e) {
            EXPECT_EQ(e.FileName(), folder);
            EXPECT_NE(std::string(e.what()).find(c.Link ? "is a symbolic link" : "is not a folder"),
                      std::string::npos)
                << e.what();
        }
        EXPECT_EQ(RegularFilesIn(elsewhere), std::set<std::string>{"Default.htm"});
        EXPECT_EQ(ReadFileBytes(elsewhere + "/Default.htm"), "someone else's");
        std::filesystem::remove(folder);
        std::filesystem::create_directory(folder);
    }
}

namespace {

// The <title> line of a page file.
std::string TitleLine(const std::string& file) {
    const std::string page = ReadFileBytes(file);
    const std::size_t start = page.find("<title>");
    return start == std::string::npos ? std::string()
                                      : page.substr(start, page.find("\r\n", start) - start);
}

TEST_F(BuildTest, PageTitlesNameThePageOrTheColumnBeforeTheCaption) {
    struct TCase {
        const char* Caption;
        const char* Column;
        const char* Page;
        const char* Homepage;
        const char* Listing;
        const char* OwnPage;
    };
    const TCase cases[] = {
        {"Club", "News", "Open day", "<title>Club</title>", "<title>News - Club</title>",
         "<title>Open day - Club</title>"},
        {"Joe's \"Club\" & <Co>", "A&B", "1 < 2",
         "<title>Joe's &quot;Club&quot; &amp; &lt;Co&gt;</title>",
         "<title>A&amp;B - Joe's &quot;Club&quot; &amp; &lt;Co&gt;</title>",
         "<title>1 &lt; 2 - Joe's &quot;Club&quot; &amp; &lt;Co&gt;</title>"},
        {"", "News", "Open day", "<title></title>", "<title>News</title>",
         "<title>Open day</title>"},
        {"Club", "", "", "<title>Club</title>", "<title>Club</title>", "<title>Club</title>"},
    };
    Project->OPTIONS.PAGE_TITLES = true;
    AddColumn(1);
    const int second = AddColumn(1);
    for (const TCase& c : cases) {
        Project->TOPIC.CAPTION = c.Caption;
        Project->MenuItem(second).TITLE = c.Column;
        {
            TDColumn column(Project->ColumnFile(second), Document);
            column.Page(0).TITLE = c.Page;
            column.Save();
        }
        Project->Save();
        Build(*Project, "HTML");
        EXPECT_EQ(TitleLine(Html() + "/Default.htm"), c.Homepage) << c.Caption;
        EXPECT_EQ(TitleLine(Html() + "/Page1.htm"), c.Listing) << c.Caption;
        EXPECT_EQ(TitleLine(Html() + "/Page1_0.htm"), c.OwnPage) << c.Caption;
    }
    // Off, every page has the caption as it is stored.
    Project->OPTIONS.PAGE_TITLES = false;
    Build(*Project, "HTML");
    EXPECT_EQ(TitleLine(Html() + "/Page1_0.htm"), "<title>Club</title>");
}

} // namespace

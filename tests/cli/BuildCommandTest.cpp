// corvane-cli build: exit status, messages and the files it leaves.

#include "CliRun.h"
#include "TestSupport.h"
#include "generator/Generator.h"
#include "model/CColumn.h"
#include "model/CProject.h"
#include "platform/FileSystem.h"
#include "platform/Locale.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

class BuildCommandTest : public ::testing::Test {
  protected:
    BuildCommandTest() {
        Site = Dir / "Site";
        std::filesystem::create_directory(Site);
    }

    // Runs corvane-cli build with the arguments; bounded by a time-out.
    TCliRun Run(const std::vector<std::string>& args) {
        std::vector<std::string> all{"build"};
        all.insert(all.end(), args.begin(), args.end());
        return RunCorvaneCli(Dir, all);
    }

    // A project with a link and a column of two pages, one with a picture.
    void MakeProject() {
        TDProject project(Site, Document);
        project.AddMenuItem(true);
        project.AddMenuItem(false);
        TDColumn column(project.ColumnFile(1), Document);
        column.AddPage()->PICTURE = "Photo.jpg";
        column.AddPage();
        column.Save();
        WriteFileBytes(project.ImagesPath() + "Photo.jpg", std::string(5000, 'p'));
    }

    // The summary line for what the folder now holds.
    static std::string Summary(const std::string& folder) {
        std::int64_t files = 0, bytes = 0;
        for (const TFileEntry& entry : ListFolder(folder))
            if (entry.IsRegular) {
                ++files;
                bytes += entry.Size;
            }
        return "Built " + FormatThousands(files) + (files == 1 ? " file, " : " files, ") +
               FormatThousands(bytes) + (bytes == 1 ? " byte" : " bytes") + " into " + folder +
               "\n";
    }

    TTempFolder Dir;
    TXmlDocument Document;
    std::string Site;
};

TEST_F(BuildCommandTest, WrongArgumentsShowTheUsage) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {Site, Site},
        {Site, "--into"},
        {Site, "--fast"},
        {"--into", Dir.Path()},
        {Site, "--into", Dir.Path(), "--into", Dir.Path()},
    };
    for (const auto& args : cases) {
        TCliRun run = Run(args);
        EXPECT_EQ(run.Status, 2) << args.size();
        EXPECT_NE(run.Err.find("Usage: corvane-cli build PROJECT_FOLDER [--into FOLDER]"),
                  std::string::npos)
            << run.Err;
        EXPECT_EQ(run.Out, "");
    }
}

TEST_F(BuildCommandTest, RefusesAFolderWithoutAProjectAndCreatesNothing) {
    TCliRun run = Run({Site});
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err, "corvane-cli: " + Site + " holds no project document (Default.Pro)\n");
    EXPECT_FALSE(PathExists(Site + "/Default.Pro"));
    EXPECT_FALSE(PathExists(Site + "/HTML"));

    run = Run({Dir / "Missing"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err, "corvane-cli: " + (Dir / "Missing") + " is not a folder\n");
}

TEST_F(BuildCommandTest, BuildsIntoAnEmptiedHtmlFolder) {
    MakeProject();
    const std::string html = Site + "/HTML";
    WriteFileBytes(html + "/Stale.htm", "from an earlier build");
    std::filesystem::create_directory(html + "/Keep");
    WriteFileBytes(html + "/Keep/Inside.txt", "kept");

    // A trailing separator and a relative path name the same project.
    const std::string relative =
        std::filesystem::relative(Site, std::filesystem::current_path()).string() + "/";
    TCliRun run = Run({relative});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Err, "");
    EXPECT_EQ(RegularFilesIn(html),
              (std::set<std::string>{"Default.htm", "Page1_0.htm", "Page1_1.htm", "Photo.jpg"}));
    EXPECT_TRUE(PathExists(html + "/Keep/Inside.txt"));
    EXPECT_EQ(run.Out, Summary(html) + "Homepage: " + html + "/Default.htm\n");

    // The same bytes as a build inside the program.
    TDProject project(Site, Document);
    BuildPreview(project);
    for (const char* name : {"Default.htm", "Page1_0.htm", "Page1_1.htm"})
        EXPECT_EQ(ReadFileBytes(html + "/" + name), ReadFileBytes(Site + "/Temp/" + name)) << name;
}

// As a new user would: the bundled sample, a .htaccess of the user's own in its HTML folder,
// and a build from the command line. The window's Build keeps hidden files; so does this.
TEST_F(BuildCommandTest, TheSampleBuildsAndHiddenFilesOfTheHtmlFolderSurvive) {
    const std::string sample = Dir / "Sample";
    std::filesystem::copy(SourceFolder() + "/examples/Sample", sample,
                          std::filesystem::copy_options::recursive);
    std::filesystem::create_directory(sample + "/HTML");
    WriteFileBytes(sample + "/HTML/.htaccess", "Options -Indexes\n");
    WriteFileBytes(sample + "/HTML/Stale.htm", "from an earlier build");

    TCliRun run = Run({sample});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(ReadFileBytes(sample + "/HTML/.htaccess"), "Options -Indexes\n");
    EXPECT_FALSE(PathExists(sample + "/HTML/Stale.htm"));
    EXPECT_TRUE(PathExists(sample + "/HTML/Index.htm")); // the sample's homepage
}

TEST_F(BuildCommandTest, BuildsIntoAnotherFolderWithoutDeleting) {
    MakeProject();
    const std::string other = Dir / "Other";
    std::filesystem::create_directory(other);
    WriteFileBytes(other + "/Keep.txt", "kept");
    WriteFileBytes(Site + "/HTML/Stale.htm", "stays");

    TCliRun run = Run({"--into", other, Site});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(RegularFilesIn(other),
              (std::set<std::string>{"Default.htm", "Keep.txt", "Page1_0.htm", "Page1_1.htm",
                                     "Photo.jpg"}));
    EXPECT_EQ(RegularFilesIn(Site + "/HTML"), std::set<std::string>{"Stale.htm"});
    // Only what the build wrote is counted, not what was there before.
    const std::int64_t written =
        static_cast<std::int64_t>(ReadFileBytes(other + "/Default.htm").size() +
                                  ReadFileBytes(other + "/Page1_0.htm").size() +
                                  ReadFileBytes(other + "/Page1_1.htm").size() + 5000);
    EXPECT_EQ(run.Out, "Built 4 files, " + FormatThousands(written) + " bytes into " + other +
                           "\nHomepage: " + other + "/Default.htm\n");

    run = Run({Site, "--into=" + (Dir / "Nowhere")});
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err, "corvane-cli: the output folder " + (Dir / "Nowhere") + " does not exist\n");
}

TEST_F(BuildCommandTest, SmallAndLinkOnlyProjects) {
    { TDProject project(Site, Document); }
    TCliRun run = Run({Site});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out, "Built 1 file, 17 bytes into " + Site + "/HTML\nHomepage: " + Site +
                           "/HTML/Default.htm\n");

    {
        TDProject project(Site, Document);
        project.AddMenuItem(true);
    }
    run = Run({Site});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out, "Built 0 files, 0 bytes into " + Site +
                           "/HTML\nNo homepage: the menu list holds only links\n");
    EXPECT_EQ(RegularFilesIn(Site + "/HTML"), std::set<std::string>{});
}

// A sitemap needs the site's own address: without one the build says so, once, and still
// succeeds; with one it writes the sitemap and says nothing more.
TEST_F(BuildCommandTest, ASitemapWithoutADomainIsExplainedOnce) {
    {
        TDProject project(Site, Document);
        project.OPTIONS = TDOptions::ForNewProject();
        project.OPTIONS.PICTURE_SIZE = 0;
        project.AddMenuItem(false);
        project.AddMenuItem(false);
    }
    TCliRun run = Run({Site});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out,
              Summary(Site + "/HTML") + "Homepage: " + Site +
                  "/HTML/Default.htm\n"
                  "No sitemap was written: the domain \"http://\" (Page > Topic...) is not "
                  "an absolute http:// or https:// address\n");
    // A new project's Modern pages: their style sheet, icon and "not found" page beside them.
    EXPECT_EQ(RegularFilesIn(Site + "/HTML"),
              (std::set<std::string>{"404.html", "Default.htm", "Page1.htm", "Page0.xml",
                                     "Page1.xml", "corvane.css", "icon.svg"}));

    {
        TDProject project(Site, Document);
        project.TOPIC.DOMAIN = "https://club.example";
        project.Save();
    }
    run = Run({Site});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out, Summary(Site + "/HTML") + "Homepage: " + Site + "/HTML/Default.htm\n");
    EXPECT_EQ(ReadFileBytes(Site + "/HTML/robots.txt"),
              "User-agent: *\r\nDisallow:\r\nSitemap: https://club.example/sitemap.xml\r\n");
}

TEST_F(BuildCommandTest, FailuresNameTheFile) {
    MakeProject();
    const std::string column = Site + "/Column1.Clm";
    WriteFileBytes(column, "<COLUMN><PAGE>");
    TCliRun run = Run({Site});
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err.rfind("corvane-cli: ", 0), 0u) << run.Err;
    EXPECT_NE(run.Err.find(column), std::string::npos) << run.Err;
    EXPECT_EQ(run.Out, "");

    std::filesystem::remove(column);
    run = Run({Site});
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find(column), std::string::npos) << run.Err;

    WriteFileBytes(Site + "/Default.Pro", "not a project");
    run = Run({Site});
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find(Site + "/Default.Pro"), std::string::npos) << run.Err;
}

} // namespace

TEST_F(BuildCommandTest, AnHtmlFolderThatIsALinkIsRefusedAndItsTargetUntouched) {
    MakeProject();
    const std::string html = Site + "/HTML";
    std::filesystem::remove_all(html);
    std::filesystem::create_directory(Dir / "elsewhere");
    WriteFileBytes(Dir / "elsewhere/precious.txt", "mine");
    std::filesystem::create_directory_symlink(Dir / "elsewhere", html);
    TCliRun run = Run({Site});
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err, "corvane-cli: The folder is a symbolic link: nothing is deleted or "
                       "written through it (" +
                           html + ")\n");
    EXPECT_EQ(RegularFilesIn(Dir / "elsewhere"), std::set<std::string>{"precious.txt"});
    EXPECT_EQ(ReadFileBytes(Dir / "elsewhere/precious.txt"), "mine");
}

TEST_F(BuildCommandTest, APictureThatCannotBeWrittenEndsTheBuildWithItsCountAndStatus1) {
    MakeProject();
    {
        TDProject project(Site, Document);
        project.FRAME.BACKGROUND = "Back.gif";
        project.Save();
        WriteFileBytes(project.ImagesPath() + "Back.gif", "GIF89a picture");
    }
    // Into another folder (nothing is emptied) in which a folder holds the picture's name:
    // the copy cannot replace it.
    const std::string into = Dir / "Out";
    std::filesystem::create_directories(into + "/Back.gif");
    TCliRun run = Run({Site, "--into", into});
    EXPECT_EQ(run.Status, 1) << run.Err;
    EXPECT_NE(run.Err.find("corvane-cli: 1 picture or download could not be written, the first "
                           "Back.gif: "),
              std::string::npos)
        << run.Err;
}

TEST_F(BuildCommandTest, APictureNamedWithAControlIsShownWithAQuestionMark) {
    // CSI (U+009B) in the project's picture name reaches the terminal as "?".
    const std::string name = "Back\xC2\x9B"
                             "2J.gif";
    MakeProject();
    {
        TDProject project(Site, Document);
        project.FRAME.BACKGROUND = name;
        project.Save();
        WriteFileBytes(project.ImagesPath() + name, "GIF89a picture");
    }
    const std::string into = Dir / "Out";
    std::filesystem::create_directories(into + "/" + name);
    TCliRun run = Run({Site, "--into", into});
    EXPECT_EQ(run.Status, 1) << run.Err;
    EXPECT_NE(run.Err.find("the first Back?2J.gif: "), std::string::npos) << run.Err;
    EXPECT_EQ(run.Err.find("\xC2\x9B"), std::string::npos);
}

// corvane-cli check and --version: what they report and their exit status.

#include "CliRun.h"
#include "model/CColumn.h"
#include "model/CProject.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

class CheckCommandTest : public ::testing::Test {
  protected:
    CheckCommandTest() : Site(Dir / "Site") { ::mkdir(Site.c_str(), 0755); }
    TCliRun Check() { return RunCorvaneCli(Dir, {"check", Site}); }

    TTempFolder Dir;
    TXmlDocument Document;
    std::string Site;
};

TEST(CliVersion, PrintsTheProgramAndVersion) {
    TTempFolder dir;
    TCliRun run = RunCorvaneCli(dir, {"--version"});
    EXPECT_EQ(run.Status, 0);
    EXPECT_EQ(run.Out, "Corvane 1.3.0\n");
    TCliRun unknown = RunCorvaneCli(dir, {"frobnicate"});
    EXPECT_EQ(unknown.Status, 2);
    EXPECT_NE(unknown.Err.find("unknown command \"frobnicate\""), std::string::npos);
}

TEST_F(CheckCommandTest, ReportsWhatTheProjectHoldsAndWhatIsMissing) {
    {
        TDProject project(Site, Document);
        project.FRAME.BACKGROUND = "Back.gif";
        project.TOPIC.LOGO = "Logo.gif";
        project.AddMenuItem(false)->TITLE = "News";
        project.AddMenuItem(true);
        project.AddMenuItem(false)->TITLE = "Shop";
        TDColumn news(project.ColumnFile(0), Document);
        news.AddPage()->TITLE = "Opening";
        TDPage* offer = news.AddPage();
        offer->TITLE = "Offer";
        offer->PICTURE = "File1.jpg";
        offer->LINK = "Leaflet";
        offer->KIND = "Download";
        offer->URL = "File1.pdf";
        news.Save();
        project.Save();
        WriteFileBytes(project.ImagesPath() + "Logo.gif", "GIF89a");
    }
    TCliRun run = Check();
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(
        run.Out,
        "Project " + Site +
            "\n"
            "  3 menu items: 2 columns, 1 link\n"
            "  2 pages in all columns\n"
            "  homepage: Default.htm, layout \"Topic on top menu on top\"\n"
            "  missing picture Back.gif (background picture) in Images\n"
            "  missing picture File1.jpg (page \"Offer\" of column \"News\") in Images\n"
            "  missing download File1.pdf (page \"Offer\" of column \"News\") in Downloads\n");

    // An unreadable column document makes the check fail, naming the file.
    WriteFileBytes(Site + "/Column2.Clm", "<COLUMN><PAGE>");
    run = Check();
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Out.find("unreadable column \"Shop\": "), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find(Site + "/Column2.Clm"), std::string::npos) << run.Out;
}

// Markdown texts: links to pages, downloads and pictures that are not there, and raw HTML
// shown as text; a text as typed may hold HTML, and a page found by its id is no problem.
TEST_F(CheckCommandTest, ReportsWhatMarkdownTextsNameThatIsNotThere) {
    {
        TDProject project(Site, Document);
        project.AddMenuItem(false)->TITLE = "News";
        project.HOTSPOT.FORMAT = "Markdown";
        project.HOTSPOT.TEXT = "See [the old walk](page:gxne9999).";
        TDColumn news(project.ColumnFile(0), Document);
        TDPage* tour = news.AddPage();
        tour->TITLE = "Spring tour";
        tour->FORMAT = "Markdown";
        tour->TEXT = "[here](page:frstpage) [gone](page:gxne9999) [list](download:List.pdf)#$D#$A"
                     "![map](image:Map.gif) ![logo](image:Logo.gif) <b onclick=\"x\">hi</b>";
        TDPage* typed = news.AddPage();
        typed->TITLE = "Typed";
        typed->ID = "frstpage";
        typed->TEXT = "<b>typed</b> [gone](page:gxne9999)";
        news.Save();
        project.Save();
        WriteFileBytes(project.ImagesPath() + "Logo.gif", "GIF89a");
    }
    TCliRun run = Check();
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_NE(run.Out.find("  2 pages in all columns\n"
                           "  homepage: Default.htm, layout \"Topic on top menu on top\"\n"
                           "  The hotspot links to a page that was removed.\n"
                           "  Page 'Spring tour' links to a page that was removed.\n"
                           "  Page 'Spring tour' links to a download that is missing: 'List.pdf'.\n"
                           "  Page 'Spring tour' shows a picture that is missing: 'Map.gif'.\n"
                           "  Page 'Spring tour' shows raw HTML as text: '<b onclick=\"x\">'.\n"),
              std::string::npos)
        << run.Out;
    EXPECT_EQ(run.Out.find("everything the project names is in place"), std::string::npos);
}

// On the modern pages a text as typed names the site's files too: what it names that is not
// there is reported in the same words as the build's.
TEST_F(CheckCommandTest, ReportsWhatModernTypedTextsNameThatIsNotThere) {
    {
        TDProject project(Site, Document);
        project.OPTIONS.DESIGN = "Modern";
        project.AddMenuItem(false)->TITLE = "News";
        TDColumn news(project.ColumnFile(0), Document);
        TDPage* typed = news.AddPage();
        typed->TITLE = "Typed";
        typed->TEXT = "<a href=\"page:gxne9999\">gone</a> <img src=\"image:Map.gif\">";
        news.Save();
        project.Save();
    }
    TCliRun run = Check();
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_NE(run.Out.find("  Page 'Typed' links to a page that was removed.\n"
                           "  Page 'Typed' shows a picture that is missing: 'Map.gif'.\n"),
              std::string::npos)
        << run.Out;
}

// A homepage name that a build refuses fails the check too; names reach the terminal with
// their control characters shown as "?".
TEST_F(CheckCommandTest, AHomepageNameThatIsNoPlainFileNameFailsTheCheck) {
    for (const char* name : {"", ".", "..", "../x", "sub/Index", "a\\b"}) {
        SCOPED_TRACE(name);
        {
            TDProject project(Site, Document);
            project.FRAME.HOMEPAGE = name;
            project.Save();
        }
        TCliRun run = Check();
        EXPECT_EQ(run.Status, 1);
        EXPECT_NE(run.Out.find(std::string("  the homepage name \"") + name +
                               "\" is not a plain file name\n"),
                  std::string::npos)
            << run.Out;
        EXPECT_EQ(run.Out.find("everything the project names is in place"), std::string::npos);
    }
    {
        TDProject project(Site, Document);
        project.FRAME.HOMEPAGE = "x\x1b[31m\xc2\x9b"
                                 "0m\xe2\x82\xac";
        project.Save();
    }
    TCliRun run = Check();
    EXPECT_EQ(run.Status, 0);
    EXPECT_NE(run.Out.find("  homepage: x?[31m?0m\xe2\x82\xac.htm, layout"), std::string::npos)
        << run.Out;
    EXPECT_EQ(run.Out.find('\x1b'), std::string::npos);
    EXPECT_EQ(run.Out.find("\xc2\x9b"), std::string::npos);
}

TEST_F(CheckCommandTest, ALinkOrAFifoInPlaceOfAFileIsReportedAndNeverWaitedOn) {
    {
        TDProject project(Site, Document);
        project.FRAME.BACKGROUND = "p120.gif";
        project.TOPIC.LOGO = "Logo.gif";
        project.HOTSPOT.LINK = "Get it";
        project.HOTSPOT.KIND = "Download";
        project.HOTSPOT.URL = "Price.pdf";
        project.Save();
        WriteFileBytes(Dir / "id_rsa", "PRIVATE KEY");
        std::filesystem::create_symlink(Dir / "id_rsa", project.ImagesPath() + "p120.gif");
        ASSERT_EQ(::mkfifo((project.ImagesPath() + "Logo.gif").c_str(), 0600), 0);
        ASSERT_EQ(::mkfifo((project.DownloadsPath() + "Price.pdf").c_str(), 0600), 0);
    }
    TCliRun run = Check();
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_NE(run.Out.find("  picture p120.gif (background picture) in Images is not a plain "
                           "file\n"),
              std::string::npos)
        << run.Out;
    EXPECT_NE(run.Out.find("  picture Logo.gif (logo) in Images is not a plain file\n"),
              std::string::npos)
        << run.Out;
    EXPECT_NE(run.Out.find("  download Price.pdf (hotspot download) in Downloads is not a "
                           "plain file\n"),
              std::string::npos)
        << run.Out;
}

TEST_F(CheckCommandTest, ACheckMakesNoFolderAndWritesNothingInTheProject) {
    const std::string document = "<PROJECT><FRAME><HOMEPAGE>Index</HOMEPAGE></FRAME></PROJECT>";
    WriteFileBytes(Site + "/Default.Pro", document);
    TCliRun run = Check();
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_NE(run.Out.find("homepage: Index.htm"), std::string::npos) << run.Out;
    for (const char* sub : {"HTML", "Temp", "Images", "Downloads"})
        EXPECT_FALSE(std::filesystem::exists(Site + "/" + sub)) << sub;
    EXPECT_EQ(ReadFileBytes(Site + "/Default.Pro"), document);
}

TEST_F(CheckCommandTest, RefusalsNameTheProblem) {
    struct Case {
        const char* what;
        std::string projectFile; // empty: none
        const char* message;
    } cases[] = {
        {"no project document", "", "holds no project document (Default.Pro)"},
        {"not XML", "<PROJECT>",
         "the project cannot be opened: The file is not a well-formed XML document"},
        {"bad integer", "<PROJECT><SIZE><TEXT_HEIGHT>tall</TEXT_HEIGHT></SIZE></PROJECT>",
         "'tall' is not a valid integer value"},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(Site + "/Default.Pro");
        if (!c.projectFile.empty())
            WriteFileBytes(Site + "/Default.Pro", c.projectFile);
        TCliRun run = Check();
        EXPECT_EQ(run.Status, 1) << c.what;
        EXPECT_NE(run.Err.find(c.message), std::string::npos) << c.what << ": " << run.Err;
        if (c.projectFile.empty()) {
            EXPECT_FALSE(PathExists(Site + "/Default.Pro")) << "check must not make a project";
        }
    }
    TCliRun none = RunCorvaneCli(Dir, {"check", Dir / "nowhere"});
    EXPECT_EQ(none.Status, 1);
    EXPECT_NE(none.Err.find("is not a folder"), std::string::npos);
    EXPECT_EQ(RunCorvaneCli(Dir, {"check"}).Status, 2);
}

TEST_F(CheckCommandTest, TheBundledSampleIsComplete) {
    TTempFolder copy;
    std::filesystem::copy(SourceFolder() + "/examples/Sample", copy / "Sample",
                          std::filesystem::copy_options::recursive);
    TCliRun run = RunCorvaneCli(Dir, {"check", copy / "Sample"});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_NE(run.Out.find("everything the project names is in place"), std::string::npos)
        << run.Out;
}

} // namespace

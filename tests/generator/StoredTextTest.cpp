// Markdown texts in a whole build: what names nothing is told once, and a link follows its
// page wherever the page moves. The pages' bytes are pinned by the golden case "markdown".
#include "TestSupport.h"
#include "generator/Driver.h"
#include "model/CColumn.h"
#include "model/CProject.h"
#include "platform/XmlDocument.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A copy of the golden case's project with its pictures, built into Site.
class StoredTextTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const fs::path golden = fs::path(SourceFolder()) / "tests" / "generator" / "golden";
        fs::create_directories(Project / "Images");
        fs::copy(golden / "pictures", Project / "Images", fs::copy_options::recursive);
        fs::copy(golden / "markdown" / "project", Project,
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        fs::create_directories(Site);
    }

    TBuildStats Build() {
        TXmlDocument document;
        TDProject project(Project.string(), document);
        TBuildStats stats;
        BuildInto(project, Site.string(), &stats);
        return stats;
    }

    TTempFolder Temp;
    fs::path Project = Temp / "Project";
    fs::path Site = Temp / "Site";
};

TEST_F(StoredTextTest, TellsEachTextProblemOnce) {
    const TBuildStats stats = Build();
    // The homepage shows the hotspot first; the tour's text is on its own page.
    const std::vector<std::string> expected = {
        "The hotspot links to a page that was removed.",
        "Page 'Spring tour' links to a page that was removed.",
        "Page 'Spring tour' links to a download that is missing: 'Nothing.pdf'.",
        "Page 'Spring tour' shows a picture that is missing: 'Lost.gif'.",
    };
    EXPECT_EQ(stats.Notes, expected);
    EXPECT_EQ(stats.TextProblems, 4);
    EXPECT_EQ(TextProblemText(stats), "The hotspot links to a page that was removed. (4 links or "
                                      "pictures of the texts name nothing)");
}

TEST_F(StoredTextTest, LinksFollowAPageThatMoves) {
    Build();
    const std::string tour = ReadFileBytes((Site / "Page0_0.htm").string());
    EXPECT_NE(tour.find("<a href=\"Page1_2.htm\">the archive page</a>"), std::string::npos);
    {
        // The archive's third page moves to the top of its column.
        TXmlDocument document;
        TDColumn column((Project / "Column2.Clm").string(), document);
        column.MovePageUp(2);
        column.MovePageUp(1);
    }
    Build();
    const std::string moved = ReadFileBytes((Site / "Page0_0.htm").string());
    EXPECT_NE(moved.find("<a href=\"Page1_0.htm\">the archive page</a>"), std::string::npos);
}

} // namespace

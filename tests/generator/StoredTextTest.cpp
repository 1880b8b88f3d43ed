// Markdown texts in a whole build: what names nothing is told once, and a link follows its
// page wherever the page moves. The pages' bytes are pinned by the golden case "markdown".
#include "TestSupport.h"
#include "generator/Driver.h"
#include "generator/MarkdownRenderer.h"
#include "generator/SiteTextTargets.h"
#include "model/CColumn.h"
#include "model/CProject.h"
#include "platform/XmlDocument.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// A page copied by hand with its id: links lead to the first page of the id, and the build
// names both once.
TEST_F(StoredTextTest, APageCopiedWithItsIdLeavesLinksWithTheFirst) {
    {
        TXmlDocument document;
        TDColumn column((Project / "Column2.Clm").string(), document);
        TDPage copy = column.Page(2);
        copy.TITLE = "Copy";
        column.AddPage(copy);
        column.AddPage(copy);
        column.Save();
    }
    const TBuildStats stats = Build();
    const std::string tour = ReadFileBytes((Site / "Page0_0.htm").string());
    EXPECT_NE(tour.find("<a href=\"Page1_2.htm\">the archive page</a>"), std::string::npos);
    EXPECT_EQ(std::count(stats.Notes.begin(), stats.Notes.end(),
                         "Pages 'Moved here' and 'Copy' have the same ID: links to it lead to "
                         "'Moved here'."),
              1);
    EXPECT_EQ(stats.TextProblems, 4);
}

// Names with "#", "?", "%", blanks and letters beyond ASCII: the text names them encoded (as
// the editor writes them), or as texts written before did; the page's address reads back to
// the same file.
struct TNamedFileCase {
    const char* File; // in Downloads, or in Images for "image:"
    const char* Text;
    const char* Html;
};

const TNamedFileCase NamedFileCases[] = {
    {"a#b.pdf", "[x](download:a%23b.pdf)", "<p><a href=\"a%23b.pdf\">x</a></p>"},
    {"what?.pdf", "[x](download:what%3F.pdf)", "<p><a href=\"what%3F.pdf\">x</a></p>"},
    {"100%.pdf", "[x](download:100%25.pdf)", "<p><a href=\"100%25.pdf\">x</a></p>"},
    {"100%.pdf", "[x](download:100%.pdf)", "<p><a href=\"100%25.pdf\">x</a></p>"},
    {"Gr\xC3\xBC\xC3\x9F"
     "e.pdf",
     "[x](download:Gr%C3%BC%C3%9Fe.pdf)", "<p><a href=\"Gr%C3%BC%C3%9Fe.pdf\">x</a></p>"},
    {"Price list.pdf", "[x](<download:Price list.pdf>)",
     "<p><a href=\"Price%20list.pdf\">x</a></p>"},
    {"%41.pdf", "[x](download:%2541.pdf)", "<p><a href=\"%2541.pdf\">x</a></p>"},
    {"My photo #1.gif", "[x](image:My%20photo%20%231.gif)",
     "<p><a href=\"My%20photo%20%231.gif\">x</a></p>"},
    {"My photo #1.gif", "![x](image:My%20photo%20%231.gif)",
     "<p><img src=\"My%20photo%20%231.gif\" alt=\"x\" width=\"40\" height=\"40\"></p>"},
    {"a.pdf", "[x](download:a%00.pdf)", "<p>x</p>"},
};

TEST(SiteTextTargets, NamesReadBackToTheirFile) {
    const fs::path pictures =
        fs::path(SourceFolder()) / "tests" / "generator" / "golden" / "pictures";
    for (const TNamedFileCase& named : NamedFileCases) {
        SCOPED_TRACE(named.Text);
        TTempFolder temp;
        fs::create_directories(fs::path(temp / "Project"));
        TXmlDocument document;
        TDProject project(temp / "Project", document);
        const bool picture = std::string_view(named.Text).find("image:") != std::string::npos;
        const fs::path file = fs::path(picture ? project.ImagesPath() : project.DownloadsPath()) /
                              fs::path(std::string(named.File));
        if (picture)
            fs::copy_file(pictures / "Badge.gif", file);
        else
            WriteFileBytes(file.string(), "x");
        TSiteTextTargets targets(project, false);
        EXPECT_EQ(TMarkdownRenderer(targets).Html(named.Text), named.Html);
    }
    EXPECT_EQ(TSiteTextTargets::EncodedName("a b#?%\xC3\xA9-._~(1).jpg"),
              "a%20b%23%3F%25%C3%A9-._~%281%29.jpg");
}

} // namespace

// The first column that a new project starts with: its welcome page in the site's language.

#include "model/WelcomeContent.h"
#include "TestSupport.h"
#include "model/CColumn.h"
#include "model/CProject.h"
#include "model/SiteLanguage.h"
#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(WelcomeContent, EachCommonLanguageHasItsOwnWords) {
    ASSERT_EQ(std::size(WelcomeWords), std::size(CommonSiteLanguages));
    for (std::size_t i = 0; i < std::size(CommonSiteLanguages); ++i) {
        const TWelcomeWords& words = WelcomeWords[i];
        const std::string tag = CommonSiteLanguages[i].Tag;
        EXPECT_EQ(words.Tag, tag);
        EXPECT_EQ(&WelcomeWordsFor(tag), &words) << tag;
        const std::string markdown = WelcomeText(words, true);
        // Three steps, each with a bold name, after a blank line.
        EXPECT_NE(markdown.find("#$D#$A#$D#$A- **"), std::string::npos) << tag;
        for (const char* step : words.Steps)
            EXPECT_EQ(std::string(step).rfind("**", 0), 0U) << tag << ": " << step;
        if (i > 0) {
            EXPECT_NE(std::string(words.PageTitle), WelcomeWords[0].PageTitle) << tag;
        }
    }
}

TEST(WelcomeContent, ANewProjectStartsWithTheWelcomeInItsLanguage) {
    struct TCase {
        const char* SiteLanguage;
        const char* Design;
        const char* WordsOf; // the tag whose words the page shows
    };
    const TCase cases[] = {
        {"de", "Modern", "de"},
        {"de-AT", "Modern", "de"},    // the language's words
        {"pt-BR", "Modern", "pt-BR"}, // its own before Portugal's
        {"pt-PT", "Modern", "pt"},
        {"zh-HK", "Modern", "zh-CN"},   // the first of its language
        {"sw", "Modern", "en"},         // no translation
        {"", "Modern", "en"},           // no language set
        {"not a tag!", "Modern", "en"}, // hand-edited nonsense
        {"fr", "", "fr"},               // Classic: plain text
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.SiteLanguage);
        TTempFolder dir;
        TXmlDocument document;
        {
            TDProject project(dir.Path(), document);
            project.OPTIONS.SITE_LANGUAGE = c.SiteLanguage;
            project.OPTIONS.DESIGN = c.Design;
            ASSERT_TRUE(AddWelcomeColumn(project));
        }
        // What the files hold, read afresh.
        const TDProject project(dir.Path(), document);
        ASSERT_EQ(project.MenuCount, 1);
        const TWelcomeWords& words = WelcomeWordsFor(c.WordsOf);
        EXPECT_EQ(project.MenuItem(0).TITLE, words.ColumnTitle);
        EXPECT_EQ(project.MenuItem(0).STYLE, "Contents");
        const TDColumn column(project.ColumnFile(0), document);
        ASSERT_EQ(column.PageCount, 1);
        const TDPage& page = column.Page(0);
        const bool modern = std::string(c.Design) == "Modern";
        EXPECT_EQ(page.TITLE, words.PageTitle);
        EXPECT_EQ(page.IsMarkdown(), modern);
        EXPECT_EQ(page.TEXT, WelcomeText(words, modern));
        EXPECT_EQ(page.TEXT.find("**") != std::string::npos, modern);
        EXPECT_FALSE(page.ID.empty());
    }
}

TEST(WelcomeContent, AProjectWithItemsKeepsItsMenuList) {
    TTempFolder dir;
    TXmlDocument document;
    TDProject project(dir.Path(), document);
    project.AddMenuItem(true)->TITLE = "Elsewhere";
    project.Save();
    EXPECT_FALSE(AddWelcomeColumn(project));
    ASSERT_EQ(project.MenuCount, 1);
    EXPECT_EQ(project.MenuItem(0).TITLE, "Elsewhere");
    EXPECT_FALSE(FileExists(dir.Path() + "/Column1.Clm"));
}

} // namespace

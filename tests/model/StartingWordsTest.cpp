// A new blank project speaks its site language throughout: the fixed words, the topic and
// the foot; one made from a template keeps the template's.

#include "model/StartingWords.h"
#include "TestSupport.h"
#include "model/CProject.h"
#include "model/CTemplate.h"
#include "model/ProjectSession.h"
#include "model/SiteLanguage.h"
#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

TEST(StartingWords, ANewProjectSpeaksItsSiteLanguageThroughout) {
    ASSERT_EQ(std::size(StartingWords), std::size(CommonSiteLanguages));
    // English is what every record starts with, so an English project keeps its bytes.
    const TStartingWords& english = StartingWords[0];
    for (int i = 0; i < TDLanguage::EntryCount; ++i)
        EXPECT_EQ(english.Entries[i], TDLanguage().Values[static_cast<std::size_t>(i)]);
    EXPECT_EQ(english.Caption, TDTopic().CAPTION);
    EXPECT_EQ(english.Entries[0], TDTopic().TITLE);
    EXPECT_EQ(english.Copyright, TDFoot().COPYRIGHT);

    TTempFolder dir;
    TXmlDocument document;
    ASSERT_TRUE(MakeFolder(dir / "Shop"));
    const std::string shop =
        SaveAsTemplate(*std::make_unique<TDProject>(dir / "Shop", document), dir / "Shop");
    struct TCase {
        std::string Locale;
        std::string WordsOf; // the tag whose words the project holds
        std::string Template;
    };
    std::vector<TCase> cases;
    for (const TSiteLanguage& language : CommonSiteLanguages) {
        std::string locale = language.Tag; // "pt-BR" is read from "pt_BR.UTF-8"
        std::replace(locale.begin(), locale.end(), '-', '_');
        cases.push_back({locale + ".UTF-8", language.Tag, ""});
    }
    cases.push_back({"de_AT.UTF-8", "de", ""});   // the language's words
    cases.push_back({"sw_KE.UTF-8", "en", ""});   // no translation
    cases.push_back({"de_DE.UTF-8", "en", shop}); // the template's words
    const char* const saved = std::getenv("LC_ALL");
    const std::string savedLocale = saved ? saved : "";
    int made = 0;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Locale + " " + c.Template);
        const TStartingWords& words = StartingWordsFor(c.WordsOf);
        ASSERT_EQ(words.Tag, c.WordsOf);
        const std::string folder = dir.Path() + "/Site" + std::to_string(++made);
        ::setenv("LC_ALL", c.Locale.c_str(), 1);
        ASSERT_TRUE(TProjectSession::CreateProject(folder, document, c.Template));
        // What Default.Pro holds, read afresh.
        const TDProject project(folder, document);
        for (int i = 0; i < TDLanguage::EntryCount; ++i) {
            const std::size_t at = static_cast<std::size_t>(i);
            EXPECT_EQ(project.LANGUAGE.Keys[at], TDLanguage().Keys[at]);
            EXPECT_EQ(project.LANGUAGE.Values[at], words.Entries[i]) << project.LANGUAGE.Keys[at];
        }
        EXPECT_EQ(project.TOPIC.CAPTION, words.Caption);
        EXPECT_EQ(project.TOPIC.TITLE, words.Entries[0]);
        EXPECT_EQ(project.FOOT.COPYRIGHT, words.Copyright);
        // No English sentence is left where the language has its own.
        if (c.WordsOf != "en") {
            EXPECT_NE(project.TOPIC.CAPTION, english.Caption);
            EXPECT_NE(project.FOOT.COPYRIGHT, english.Copyright);
            for (int i = 0; i <= 11; ++i) // the welcome, the weekdays and the three links
                EXPECT_NE(project.LANGUAGE.Values[static_cast<std::size_t>(i)], english.Entries[i])
                    << project.LANGUAGE.Keys[static_cast<std::size_t>(i)];
        }
    }
    if (saved)
        ::setenv("LC_ALL", savedLocale.c_str(), 1);
    else
        ::unsetenv("LC_ALL");
}

} // namespace

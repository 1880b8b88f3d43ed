// The site's language: tags typed by hand, the tag a new project takes from the locale, and
// the Modern pages' words of each offered language.

#include "model/SiteLanguage.h"
#include "model/CLanguage.h"
#include "model/COptions.h"
#include "platform/Locale.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>

namespace {

TEST(SiteLanguage, TagsAreCheckedAndWrittenInTheirUsualCase) {
    const std::pair<const char*, const char*> cases[] = {
        {"en", "en"},
        {"DE", "de"},
        {" pt-br ", "pt-BR"},
        {"pt_BR", "pt-BR"},
        {"zh-hant-tw", "zh-Hant-TW"},
        {"sr-latn", "sr-Latn"},
        {"es-419", "es-419"},
        {"de-CH-1901", "de-CH-1901"},
        {"sl-rozaj-biske", "sl-rozaj-biske"},
        {"zh-yue-HK", "zh-yue-HK"},
        {"en-US-u-ca-gregory", "en-US-u-ca-gregory"},
        {"de-x-Hiking", "de-x-hiking"},
        {"x-whatever", "x-whatever"},
        // Not tags: nothing, one letter, digits, a dash at an end, a script after the region, a
        // repeated variant or extension, an extension without subtags, other characters.
        {"", nullptr},
        {"   ", nullptr},
        {"e", nullptr},
        {"e1", nullptr},
        {"123", nullptr},
        {"en-", nullptr},
        {"-en", nullptr},
        {"en--US", nullptr},
        {"en-US-Latn", nullptr},
        {"toolonglanguage", nullptr},
        {"de-1901-1901", nullptr},
        {"en-a-bbb-a-ccc", nullptr},
        {"en-a", nullptr},
        {"en-x", nullptr},
        {"en US", nullptr},
        {"fr\xc3\xa9", nullptr},
        {"en-u-toolongsubtag", nullptr},
    };
    for (const auto& [text, expected] : cases) {
        const std::optional<std::string> tag = NormalizeLanguageTag(text);
        if (expected)
            EXPECT_EQ(tag.value_or("(refused)"), expected) << text;
        else
            EXPECT_FALSE(tag.has_value()) << text << " gave " << *tag;
    }
}

TEST(SiteLanguage, ANewProjectTakesTheLanguageOfTheLocale) {
    const std::pair<const char*, const char*> cases[] = {
        {"de_DE.UTF-8", "de"},
        {"pt_BR", "pt-BR"},
        {"pt_PT.UTF-8", "pt"},
        {"en_US.UTF-8", "en"},
        {"fr_CA.ISO-8859-1", "fr"},
        {"zh_TW.UTF-8", "zh-TW"},
        {"zh_SG", "zh-CN"},
        {"sr_RS@latin", "sr-Latn"},
        {"ar_EG.UTF-8", "ar"},
        {"C", "en"},
        {"C.UTF-8", "en"},
        {"POSIX", "en"},
        {"", "en"},
        {"12_34", "en"},
        {"de", "de"},
    };
    for (const auto& [locale, tag] : cases)
        EXPECT_EQ(SiteLanguageOfLocale(locale), tag) << locale;

    // LC_ALL before LC_MESSAGES before LANG, as POSIX reads them.
    const char* const variables[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    std::string saved[3];
    bool had[3];
    for (int i = 0; i < 3; ++i) {
        const char* value = std::getenv(variables[i]);
        had[i] = value != nullptr;
        saved[i] = value ? value : "";
    }
    ::setenv("LC_ALL", "", 1);
    ::setenv("LC_MESSAGES", "nb_NO.UTF-8", 1);
    ::setenv("LANG", "fi_FI.UTF-8", 1);
    EXPECT_EQ(UserLocaleName(), "nb_NO.UTF-8");
    EXPECT_EQ(TDOptions::ForNewProject().SITE_LANGUAGE, "nb");
    ::unsetenv("LC_MESSAGES");
    EXPECT_EQ(UserLocaleName(), "fi_FI.UTF-8");
    ::unsetenv("LANG");
    ::unsetenv("LC_ALL");
    EXPECT_EQ(UserLocaleName(), "C");
    EXPECT_EQ(TDOptions::ForNewProject().SITE_LANGUAGE, "en");
    for (int i = 0; i < 3; ++i)
        if (had[i])
            ::setenv(variables[i], saved[i].c_str(), 1);
}

// Every offered language: a well-formed tag in its usual case, offered once, with five words
// of its own that are not empty.
TEST(SiteLanguage, EveryOfferedLanguageHasItsWords) {
    std::set<std::string> tags;
    for (const TSiteLanguage& language : CommonSiteLanguages) {
        EXPECT_EQ(NormalizeLanguageTag(language.Tag).value_or(""), language.Tag);
        EXPECT_TRUE(tags.insert(language.Tag).second) << language.Tag;
        const char* const* words = ModernWordsFor(language.Tag);
        for (int i = 0; i < TDLanguage::ModernEntryCount; ++i)
            EXPECT_NE(std::string(words[i]), "") << language.Tag;
        if (std::string(language.Tag) != "en") {
            EXPECT_NE(std::string(words[2]), "Back to the homepage") << language.Tag;
        }
    }
    EXPECT_EQ(std::string(ModernWordsFor("zh-TW")[3]), "選單");
    EXPECT_EQ(std::string(ModernWordsFor("not a tag")[0]), "Skip to content");
}

} // namespace

#pragma once

#include "platform/XmlDocument.h"

#include <cstdint>
#include <string>

// What the generator adds for today's visitors (element "OPTIONS"): pages that read on a
// phone, a title of its own on every page, a sitemap, a feed per column, alt texts, and
// JPEG pictures no larger than PICTURE_SIZE pixels on their longer side (0: as they are).
// Without the element every flag is clear and the site is built exactly as before.
class TDOptions {
  public:
    explicit TDOptions(TXmlElement element = TXmlElement());
    void Save(TXmlElement element) const;
    void SaveTemplate(TXmlElement element) const;
    bool operator==(const TDOptions&) const = default;

    // What a project made without a template starts with: everything on, pictures at most
    // 1600 pixels, the Modern design, and the site in siteLanguage (by default the language
    // of the user's locale).
    static TDOptions ForNewProject();
    static TDOptions ForNewProject(const std::string& siteLanguage);

    bool MOBILE = false;
    bool PAGE_TITLES = false;
    bool SITEMAP = false;
    bool FEEDS = false;
    bool ALT_TEXTS = false;
    std::int32_t PICTURE_SIZE = 0;
    // The page design: "Modern" or "Classic"; empty (a project saved before designs) or any
    // other value builds the classic pages. Written only when set.
    std::string DESIGN;
    // The site's language as a BCP 47 tag ("en", "de", "pt-BR"); empty when never chosen.
    // Written only when set.
    std::string SITE_LANGUAGE;

    bool IsModern() const { return DESIGN == "Modern"; }
};

// The longest sides the options dialog offers, after "off" (0).
extern const std::int32_t PictureSizes[3];

#include "model/COptions.h"

#include "model/SiteLanguage.h"
#include "model/Values.h"
#include "platform/Locale.h"

const std::int32_t PictureSizes[3] = {1024, 1600, 2048};

TDOptions::TDOptions(TXmlElement element) {
    if (!element)
        return;
    ReadFlag(element, "MOBILE", MOBILE);
    ReadFlag(element, "PAGE_TITLES", PAGE_TITLES);
    ReadFlag(element, "SITEMAP", SITEMAP);
    ReadFlag(element, "FEEDS", FEEDS);
    ReadFlag(element, "ALT_TEXTS", ALT_TEXTS);
    ReadInteger(element, "PICTURE_SIZE", PICTURE_SIZE);
    ReadText(element, "DESIGN", DESIGN);
    ReadText(element, "SITE_LANGUAGE", SITE_LANGUAGE);
}

void TDOptions::Save(TXmlElement element) const {
    if (!element)
        return;
    RemoveAllChildren(element);
    WriteFlag(element, "MOBILE", MOBILE);
    WriteFlag(element, "PAGE_TITLES", PAGE_TITLES);
    WriteFlag(element, "SITEMAP", SITEMAP);
    WriteFlag(element, "FEEDS", FEEDS);
    WriteFlag(element, "ALT_TEXTS", ALT_TEXTS);
    WriteInteger(element, "PICTURE_SIZE", PICTURE_SIZE);
    if (!DESIGN.empty())
        WriteText(element, "DESIGN", DESIGN);
    if (!SITE_LANGUAGE.empty())
        WriteText(element, "SITE_LANGUAGE", SITE_LANGUAGE);
}

void TDOptions::SaveTemplate(TXmlElement element) const {
    Save(element);
}

TDOptions TDOptions::ForNewProject() {
    return ForNewProject(SiteLanguageOfLocale(UserLocaleName()));
}

TDOptions TDOptions::ForNewProject(const std::string& siteLanguage) {
    TDOptions options;
    options.DESIGN = "Modern";
    options.SITE_LANGUAGE = siteLanguage;
    options.MOBILE = options.PAGE_TITLES = options.SITEMAP = options.FEEDS = options.ALT_TEXTS =
        true;
    options.PICTURE_SIZE = 1600;
    return options;
}

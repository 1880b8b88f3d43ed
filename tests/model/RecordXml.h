#pragma once

// Records in and out of small XML fragments, and each record's fields for printing and for
// tests that go over every field.

#include "model/CColor.h"
#include "model/CFont.h"
#include "model/CFoot.h"
#include "model/CFrame.h"
#include "model/CHotspot.h"
#include "model/CLanguage.h"
#include "model/CMenu.h"
#include "model/CMenuItem.h"
#include "model/COptions.h"
#include "model/CPage.h"
#include "model/CPublish.h"
#include "model/CSize.h"
#include "model/CTopic.h"
#include "model/CWelcome.h"
#include "model/Values.h"
#include "platform/XmlDocument.h"

#include <cstdint>
#include <memory>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <type_traits>

class TFragment {
  public:
    // Parses xml; its root element is the record's element.
    explicit TFragment(const std::string& xml) {
        if (!FDoc.load_string(xml.c_str(), pugi::parse_default | pugi::parse_comments |
                                               pugi::parse_ws_pcdata_single))
            throw std::runtime_error("bad fragment: " + xml);
    }
    TXmlElement Element() const { return FDoc.document_element(); }

  private:
    pugi::xml_document FDoc;
};

inline std::string ElementXml(TXmlElement element) {
    std::ostringstream out;
    element.print(out, "", pugi::format_raw);
    return out.str();
}

// What the record's Save writes into an element named name.
template <class R> std::string SavedXml(const R& record, const char* name) {
    pugi::xml_document doc;
    TXmlElement element = doc.append_child(name);
    AppendChild(element, "STALE"); // Save removes what was there
    record.Save(element);
    return ElementXml(element);
}

template <class R> std::string TemplateXml(const R& record, const char* name) {
    pugi::xml_document doc;
    TXmlElement element = doc.append_child(name);
    AppendChild(element, "STALE");
    record.SaveTemplate(element);
    return ElementXml(element);
}

// Reads the record back from what it wrote.
template <class R> R RoundTrip(const R& record, const char* name) {
    TFragment fragment(SavedXml(record, name));
    return R(fragment.Element());
}

template <class R> R TemplateRoundTrip(const R& record, const char* name) {
    TFragment fragment(TemplateXml(record, name));
    return R(fragment.Element());
}

// ---- The fields of a record, in declaration order, each with its name.
//
// Each Fields function binds the record's members with a structured binding, which must
// name every member: a field added to a record and not here stops the tests from compiling.

template <class T> struct TField {
    const char* Name;
    T& Value;
    bool IsColor = false;
};

template <class T> TField<T> Field(const char* name, T& value) {
    return {name, value};
}
inline TField<TColor> ColorField(const char* name, TColor& value) {
    return {name, value, true};
}

inline auto Fields(TDFrame& r) {
    auto& [FRAME, HOMEPAGE, NO_MARGIN, ON_LEFT, HAS_WELCOME, HAS_HOTSPOT, BACKGROUND] = r;
    return std::tuple(Field("FRAME", FRAME), Field("HOMEPAGE", HOMEPAGE),
                      Field("NO_MARGIN", NO_MARGIN), Field("ON_LEFT", ON_LEFT),
                      Field("HAS_WELCOME", HAS_WELCOME), Field("HAS_HOTSPOT", HAS_HOTSPOT),
                      Field("BACKGROUND", BACKGROUND));
}

inline auto Fields(TDSize& r) {
    auto& [SCREEN, WELCOME_HEIGHT, TOPIC_HEIGHT, MENU_HEIGHT, TEXT_HEIGHT, FOOT_HEIGHT, MENU_WIDTH,
           HOTSPOT_WIDTH] = r;
    return std::tuple(Field("SCREEN", SCREEN), Field("WELCOME_HEIGHT", WELCOME_HEIGHT),
                      Field("TOPIC_HEIGHT", TOPIC_HEIGHT), Field("MENU_HEIGHT", MENU_HEIGHT),
                      Field("TEXT_HEIGHT", TEXT_HEIGHT), Field("FOOT_HEIGHT", FOOT_HEIGHT),
                      Field("MENU_WIDTH", MENU_WIDTH), Field("HOTSPOT_WIDTH", HOTSPOT_WIDTH));
}

inline auto Fields(TDColor& r) {
    auto& [BASE, BG, TEXT_BG, TITLE, TEXT, WELCOME_BG, WELCOME_TEXT, TOPIC_BG, TOPIC_TEXT, MENU_BG,
           MENU_TEXT, HOTSPOT_BG, HOTSPOT_TEXT, FOOT_BG, FOOT_TEXT, TEXT_TRANS, WELCOME_TRANS,
           TOPIC_TRANS, MENU_TRANS, HOTSPOT_TRANS, FOOT_TRANS] = r;
    return std::tuple(ColorField("BASE", BASE), ColorField("BG", BG),
                      ColorField("TEXT_BG", TEXT_BG), ColorField("TITLE", TITLE),
                      ColorField("TEXT", TEXT), ColorField("WELCOME_BG", WELCOME_BG),
                      ColorField("WELCOME_TEXT", WELCOME_TEXT), ColorField("TOPIC_BG", TOPIC_BG),
                      ColorField("TOPIC_TEXT", TOPIC_TEXT), ColorField("MENU_BG", MENU_BG),
                      ColorField("MENU_TEXT", MENU_TEXT), ColorField("HOTSPOT_BG", HOTSPOT_BG),
                      ColorField("HOTSPOT_TEXT", HOTSPOT_TEXT), ColorField("FOOT_BG", FOOT_BG),
                      ColorField("FOOT_TEXT", FOOT_TEXT), Field("TEXT_TRANS", TEXT_TRANS),
                      Field("WELCOME_TRANS", WELCOME_TRANS), Field("TOPIC_TRANS", TOPIC_TRANS),
                      Field("MENU_TRANS", MENU_TRANS), Field("HOTSPOT_TRANS", HOTSPOT_TRANS),
                      Field("FOOT_TRANS", FOOT_TRANS));
}

inline auto Fields(TDFont& r) {
    auto& [ENCODING, FAMILY, TOPIC, MENU, TITLE, TEXT, BOLD_TOPIC, BOLD_TITLE, BOLD_LINK,
           UNDERLINE_LINK] = r;
    return std::tuple(Field("ENCODING", ENCODING), Field("FAMILY", FAMILY), Field("TOPIC", TOPIC),
                      Field("MENU", MENU), Field("TITLE", TITLE), Field("TEXT", TEXT),
                      Field("BOLD_TOPIC", BOLD_TOPIC), Field("BOLD_TITLE", BOLD_TITLE),
                      Field("BOLD_LINK", BOLD_LINK), Field("UNDERLINE_LINK", UNDERLINE_LINK));
}

inline auto Fields(TDWelcome& r) {
    auto& [HAS_HOMEPAGE, HAS_FAVORITE, HAS_CONTACT, POSITION] = r;
    return std::tuple(Field("HAS_HOMEPAGE", HAS_HOMEPAGE), Field("HAS_FAVORITE", HAS_FAVORITE),
                      Field("HAS_CONTACT", HAS_CONTACT), Field("POSITION", POSITION));
}

inline auto Fields(TDTopic& r) {
    auto& [CAPTION, DOMAIN, DESCRIPTION, KEYWORDS, TITLE, LOGO, POSITION, LOGO_WIDTH, LOGO_HEIGHT] =
        r;
    return std::tuple(Field("CAPTION", CAPTION), Field("DOMAIN", DOMAIN),
                      Field("DESCRIPTION", DESCRIPTION), Field("KEYWORDS", KEYWORDS),
                      Field("TITLE", TITLE), Field("LOGO", LOGO), Field("POSITION", POSITION),
                      Field("LOGO_WIDTH", LOGO_WIDTH), Field("LOGO_HEIGHT", LOGO_HEIGHT));
}

inline auto Fields(TDMenuItem& r) {
    auto& [TITLE, COLUMN, STYLE, URL, SHOW_AUTHOR, SHOW_DATE, HAS_BORDER] = r;
    return std::tuple(Field("TITLE", TITLE), Field("COLUMN", COLUMN), Field("STYLE", STYLE),
                      Field("URL", URL), Field("SHOW_AUTHOR", SHOW_AUTHOR),
                      Field("SHOW_DATE", SHOW_DATE), Field("HAS_BORDER", HAS_BORDER));
}

inline auto Fields(TDMenu& r) {
    auto& [HAS_SEPARATOR, BUTTON, POSITION, BUTTON_WIDTH, BUTTON_HEIGHT, SPACE] = r;
    return std::tuple(Field("HAS_SEPARATOR", HAS_SEPARATOR), Field("BUTTON", BUTTON),
                      Field("POSITION", POSITION), Field("BUTTON_WIDTH", BUTTON_WIDTH),
                      Field("BUTTON_HEIGHT", BUTTON_HEIGHT), Field("SPACE", SPACE));
}

inline auto Fields(TDHotspot& r) {
    auto& [TITLE, PICTURE, TEXT, LINK, KIND, URL, POSITION, PICTURE_WIDTH, PICTURE_HEIGHT, FORMAT] =
        r;
    return std::tuple(Field("TITLE", TITLE), Field("PICTURE", PICTURE), Field("TEXT", TEXT),
                      Field("LINK", LINK), Field("KIND", KIND), Field("URL", URL),
                      Field("POSITION", POSITION), Field("PICTURE_WIDTH", PICTURE_WIDTH),
                      Field("PICTURE_HEIGHT", PICTURE_HEIGHT), Field("FORMAT", FORMAT));
}

inline auto Fields(TDFoot& r) {
    auto& [COPYRIGHT, ADDRESS, TEL, FAX, EMAIL, POSITION] = r;
    return std::tuple(Field("COPYRIGHT", COPYRIGHT), Field("ADDRESS", ADDRESS), Field("TEL", TEL),
                      Field("FAX", FAX), Field("EMAIL", EMAIL), Field("POSITION", POSITION));
}

inline auto Fields(TDPublish& r) {
    auto& [FTP_SERVER, USER_NAME, PASSWORD, PROXY_SERVER, FOLDER, FTP_PORT, PROXY_PORT, USE_PROXY,
           PROTOCOL, PASSIVE, TRUSTED, SYNC, JOBS, PROJECT_ID, LAST_PUBLISHED, REPOSITORY, BRANCH,
           AUTHOR_NAME, AUTHOR_EMAIL] = r;
    return std::tuple(Field("FTP_SERVER", FTP_SERVER), Field("USER_NAME", USER_NAME),
                      Field("PASSWORD", PASSWORD), Field("PROXY_SERVER", PROXY_SERVER),
                      Field("FOLDER", FOLDER), Field("FTP_PORT", FTP_PORT),
                      Field("PROXY_PORT", PROXY_PORT), Field("USE_PROXY", USE_PROXY),
                      Field("PROTOCOL", PROTOCOL), Field("PASSIVE", PASSIVE),
                      Field("TRUSTED", TRUSTED), Field("SYNC", SYNC), Field("JOBS", JOBS),
                      Field("PROJECT_ID", PROJECT_ID), Field("LAST_PUBLISHED", LAST_PUBLISHED),
                      Field("REPOSITORY", REPOSITORY), Field("BRANCH", BRANCH),
                      Field("AUTHOR_NAME", AUTHOR_NAME), Field("AUTHOR_EMAIL", AUTHOR_EMAIL));
}

inline auto Fields(TDOptions& r) {
    auto& [MOBILE, PAGE_TITLES, SITEMAP, FEEDS, ALT_TEXTS, PICTURE_SIZE, DESIGN, SITE_LANGUAGE] = r;
    return std::tuple(Field("MOBILE", MOBILE), Field("PAGE_TITLES", PAGE_TITLES),
                      Field("SITEMAP", SITEMAP), Field("FEEDS", FEEDS),
                      Field("ALT_TEXTS", ALT_TEXTS), Field("PICTURE_SIZE", PICTURE_SIZE),
                      Field("DESIGN", DESIGN), Field("SITE_LANGUAGE", SITE_LANGUAGE));
}

inline auto Fields(TDPage& r) {
    auto& [TITLE, AUTHOR, DATE, PICTURE, TEXT, LINK, KIND, URL, PICTURE_WIDTH, PICTURE_HEIGHT,
           FORMAT, ID] = r;
    return std::tuple(Field("TITLE", TITLE), Field("AUTHOR", AUTHOR), Field("DATE", DATE),
                      Field("PICTURE", PICTURE), Field("TEXT", TEXT), Field("LINK", LINK),
                      Field("KIND", KIND), Field("URL", URL), Field("PICTURE_WIDTH", PICTURE_WIDTH),
                      Field("PICTURE_HEIGHT", PICTURE_HEIGHT), Field("FORMAT", FORMAT),
                      Field("ID", ID));
}

// ---- Printers, so that a failed comparison of two records shows both field by field.

inline void PrintValue(const std::string& value, bool, std::ostream* out) {
    *out << '"' << value << '"';
}
inline void PrintValue(bool value, bool, std::ostream* out) {
    *out << (value ? "set" : "clear");
}
inline void PrintValue(std::int32_t value, bool isColor, std::ostream* out) {
    if (isColor)
        *out << ColorToText(value);
    else
        *out << value;
}

template <class R> void PrintFields(const R& record, const char* type, std::ostream* out) {
    R copy = record;
    *out << type << " {";
    const char* separator = " ";
    std::apply(
        [&](const auto&... field) {
            ((*out << separator << field.Name << " = ", PrintValue(field.Value, field.IsColor, out),
              separator = ", "),
             ...);
        },
        Fields(copy));
    *out << " }";
}

inline void PrintTo(const TDFrame& r, std::ostream* out) {
    PrintFields(r, "TDFrame", out);
}
inline void PrintTo(const TDSize& r, std::ostream* out) {
    PrintFields(r, "TDSize", out);
}
inline void PrintTo(const TDColor& r, std::ostream* out) {
    PrintFields(r, "TDColor", out);
}
inline void PrintTo(const TDFont& r, std::ostream* out) {
    PrintFields(r, "TDFont", out);
}
inline void PrintTo(const TDWelcome& r, std::ostream* out) {
    PrintFields(r, "TDWelcome", out);
}
inline void PrintTo(const TDTopic& r, std::ostream* out) {
    PrintFields(r, "TDTopic", out);
}
inline void PrintTo(const TDMenuItem& r, std::ostream* out) {
    PrintFields(r, "TDMenuItem", out);
}
inline void PrintTo(const TDMenu& r, std::ostream* out) {
    PrintFields(r, "TDMenu", out);
}
inline void PrintTo(const TDHotspot& r, std::ostream* out) {
    PrintFields(r, "TDHotspot", out);
}
inline void PrintTo(const TDFoot& r, std::ostream* out) {
    PrintFields(r, "TDFoot", out);
}
inline void PrintTo(const TDPublish& r, std::ostream* out) {
    PrintFields(r, "TDPublish", out);
}
inline void PrintTo(const TDOptions& r, std::ostream* out) {
    PrintFields(r, "TDOptions", out);
}
inline void PrintTo(const TDPage& r, std::ostream* out) {
    PrintFields(r, "TDPage", out);
}

// The language table prints its count and the entries in use, the part that its comparison
// looks at. (The binding names every member, as in Fields above.)
inline void PrintTo(const TDLanguage& r, std::ostream* out) {
    const auto& [Keys, Values, Count] = r;
    *out << "TDLanguage { Count = " << Count;
    for (int i = 0; i < Count && i < TDLanguage::Capacity; ++i) {
        const auto slot = static_cast<std::size_t>(i);
        *out << ", " << Keys[slot] << " = \"" << Values[slot] << '"';
    }
    *out << " }";
}

#pragma once

// Records in and out of small XML fragments.

#include "platform/XmlDocument.h"

#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>

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

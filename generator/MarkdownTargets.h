#pragma once

#include <string>
#include <string_view>

// What a Markdown text's references to this site stand for, asked by TMarkdownRenderer: the
// site build answers with the pages' current file names and the files it copies beside the
// pages (TSiteTextTargets), a test or the fuzz target with names of its own.
class TMarkdownTargets {
  public:
    virtual ~TMarkdownTargets() = default;

    // The address of "page:ID", "download:NAME" or "image:NAME" (kind "page", "download" or
    // "image"), unescaped; empty when it names nothing there, and the link is then written as
    // plain text.
    virtual std::string SiteLink(std::string_view kind, std::string_view name) = 0;

    // Appends the tag of the picture NAME of the Images folder ("image:NAME") to html; alt and
    // title come escaped for an attribute. False, appending nothing, when there is no such
    // picture: its alt text is then written as plain text.
    virtual bool Picture(std::string_view name, std::string_view alt, std::string_view title,
                         std::string& html) = 0;

    // The same for the address of a text typed as it is, relative to the pages ("Ridge.jpg"),
    // when it names a picture of the Images folder; false, appending nothing and telling
    // nothing, when it names none (a file the pages' folder holds some other way).
    virtual bool PagePicture(std::string_view /*address*/, std::string_view /*alt*/,
                             std::string& /*html*/) {
        return false;
    }
};

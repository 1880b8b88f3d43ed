#pragma once

// The site generator: turns the open project into static HTML files. Every page goes
// through project.Output; the writers read the generation context (project.PageName,
// project.OutputFolder, project.CurrentItem, CurrentColumn and its CurrentPage).

#include "model/CColumn.h"
#include "model/CProject.h"
#include "model/Values.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// ---- Build driver and file naming (Build.cpp), shared operations (Operations.cpp)
struct TBuildStats;
// Builds into the project's folder of that name, which must be a real folder (never a link);
// stats, when given, is told what the build wrote and which copies failed.
void Build(TDProject& project, const std::string& folderName, TBuildStats* stats = nullptr);
void BuildPreview(TDProject& project);
void WriteEmptyHomepage(TDProject& project);
std::string ReplaceAll(std::string s, const std::string& oldText, const std::string& newText);
// The first folder + "File" + n + extension that does not exist (folder ends with "/").
std::string UniqueFileName(const std::string& folder, const std::string& extension);
std::string Translate(const TDProject& project, const std::string& key);
std::int32_t FitWidth(std::int32_t maxWidth, int pageIndex);
std::int32_t FitHeight(std::int32_t maxWidth, int pageIndex);
// The same for a picture of the given size.
std::int32_t FitWidthOf(std::int32_t maxWidth, std::int32_t width);
std::int32_t FitHeightOf(std::int32_t maxWidth, std::int32_t width, std::int32_t height);
// Copies folder + the file-name part of name beside the pages; failures pass in silence.
void CopyIntoOutput(TDProject& project, const std::string& folder, const std::string& name);
// ---- Pictures beside the pages (Pictures.cpp)
// Copies a picture of the Images folder beside the pages as CopyIntoOutput does; with
// TDOptions.PICTURE_SIZE set, a JPEG, PNG or WebP larger than that is written scaled down in
// its own format instead. On a site whose design is not Modern a WebP is always written as
// PNG, under the name PictureOutputName gives; one that cannot be converted counts as a copy
// that failed.
void CopyPictureIntoOutput(TDProject& project, const std::string& name);
// Whether a picture is scaled to TDOptions.PICTURE_SIZE: not a background or a button, whose
// pictures are tiled at their own size.
enum class TPictureScaling { ToSiteSize, None };
void CopyPictureIntoOutput(TDProject& project, const std::string& name, TPictureScaling scaling);
// The name a picture has beside the pages, the one its tag gives: the file-name part of name,
// except that a WebP on a site whose design is not Modern becomes a PNG ("Photo.webp" is
// written as "Photo-webp.png").
std::string PictureOutputName(const TDProject& project, const std::string& name);
struct TShownSize {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
};
// The width and height a picture's tag gives: the stored ones, scaled as the picture was
// when this build wrote it scaled down.
TShownSize ShownPictureSize(const TDProject& project, const std::string& name, std::int32_t width,
                            std::int32_t height);
// Writes beside the pages, as targetName, a copy of a JPEG of the Images folder scaled down so
// that its longer side is maxSide (made by the picture scaler and cached with the web-sized
// copies), and gives its size; none, writing nothing, outside a build and for a picture that
// is no JPEG, cannot be read or is not larger than that.
std::optional<TShownSize> WriteScaledPicture(TDProject& project, const std::string& name,
                                             std::int32_t maxSide, const std::string& targetName);

// The hidden folder of the preview's folder where the builds keep the pictures they made, so
// that the next build makes only what is new or changed.
std::string PictureCacheFolder(const TDProject& project);

// The size of a picture of the Images folder as the dialogs measure it (before its EXIF
// orientation); 0 by 0 when it cannot be read.
TShownSize PictureFileSize(const TDProject& project, const std::string& name);

// True while the homepage is being written.
inline bool IsHomepage(const TDProject& project) {
    return project.PageName == project.FRAME.HOMEPAGE;
}

// ---- Page skeleton and frame layouts (PageWriter.cpp)
void WritePage(TDProject& project);

// ---- Style sheet, colour and charset formatting (StyleSheet.cpp)
void WriteStyleSheet(TDProject& project);
std::string HtmlColor(TColor color, bool transparent);
// The charset of the pages' Content-Type tag for TDFont.ENCODING's display name, and the
// encoding (iconv's name) their bytes are written in: empty for UTF-8, the texts' own.
std::string CharsetName(const std::string& displayName);
// The stored font family (a name or a comma-separated list) as the value of a CSS
// font-family property; empty when it names no font.
std::string CssFontList(const std::string& family);
std::string CharsetEncoding(const std::string& displayName);

// ---- Welcome bar (WelcomeBar.cpp)
void WriteWelcomeBar(TDProject& project);
void WriteDateScript(TDProject& project);
void WriteWelcomeLinks(TDProject& project);

// ---- Topic and menu bars (TopicMenu.cpp)
void WriteTopic(TDProject& project);
void WriteMenuBar(TDProject& project);

// ---- Text area and column listings (TextArea.cpp)
void WriteTextArea(TDProject& project);
void WriteColumnListing(TDProject& project);

// ---- Texts in the places the site options add (Escaping.cpp)
// For an HTML attribute or element: & < > " as references.
std::string HtmlEscaped(std::string_view text);
// For XML: & < > " ' as references, bytes that are not UTF-8 as U+FFFD, characters that XML
// does not allow left out.
std::string XmlEscaped(std::string_view text);
// The first limit characters of a stored text without markup: character references as the
// characters they name, line breaks and tags such as <br> and <p> as a blank, inline tags as
// nothing, runs of blanks as one.
std::string PlainTextStart(std::string_view storedText, std::size_t limit);
// The alt attribute (with its leading blank) of a picture when the site wants alt texts,
// else nothing.
std::string AltAttribute(const TDProject& project, std::string_view text);

// ---- Page and hotspot texts, as typed or in Markdown (StoredText.cpp)
// Writes a page's text where the pages show it whole, as its FORMAT says: as typed, each
// stored line break as "<br>", byte for byte as ever; or Markdown, rendered, its links and
// pictures resolved against the site and what names nothing told to the build. Every design
// writes the texts through these, with no line end after them. firstHeading is the level a
// Markdown text's first heading gets (1: as typed; below a title of level n: n + 1).
void WritePageText(TDProject& project, const TDPage& page, int firstHeading = 1);
void WriteHotspotText(TDProject& project, int firstHeading = 1);
// The summary of a Markdown text for the listings: its rendered text without markup,
// escaped, at most limit characters, cut at a word boundary; Cut when the text goes on (the
// listing then writes its ellipsis). A first word longer than the limit gives nothing.
struct TTextSummary {
    std::string Html;
    bool Cut = false;
};
TTextSummary MarkdownSummary(std::string_view storedText, std::size_t limit);
// The first limit characters of a Markdown text's rendered text without markup, unescaped
// (a feed's description).
std::string MarkdownPlainStart(std::string_view storedText, std::size_t limit);
// A picture inside a Markdown text: its file beside the pages, its alt and title texts
// (escaped for an attribute) and the size its tag gives.
struct TTextPicture {
    std::string Name; // in the Images folder
    std::string File; // beside the pages (a WebP of a Classic site is written as PNG)
    std::string Alt;
    std::string Title;
    TShownSize Natural; // the picture file's own size
    TShownSize Size;    // as the tag gives it
};
// Appends the tag of a picture inside a Markdown text: the one place where a design decides
// those bytes (the modern pages: the sized copies and srcset of their other pictures).
void AppendTextPicture(TDProject& project, const TTextPicture& picture, std::string& html);

// ---- Feeds and sitemap (SiteFiles.cpp)
// Whether TDTopic.DOMAIN is an absolute http:// or https:// address of a site.
bool IsSiteAddress(const std::string& domain);
// TDTopic.DOMAIN with a closing "/".
std::string SiteAddress(const TDProject& project);
std::string FeedFileName(int item);
// The file of a column's listing page (page -1) or of one of its pages.
std::string PageFileName(const TDProject& project, int item, int page, bool firstColumn);
// Remembers the page files of a column for the sitemap.
void NoteSitePages(TDProject& project, int item, const TDColumn& column, bool firstColumn,
                   bool ownFiles);
void WriteFeed(TDProject& project, int item, const TDColumn& column, bool firstColumn);
// sitemap.xml and robots.txt, or the note why there are none.
void WriteSitemap(TDProject& project);

// ---- Single page view, hotspot column and foot (SinglePage.cpp)
void WriteSinglePage(TDProject& project);
void WriteHotspot(TDProject& project);
void WriteFoot(TDProject& project);

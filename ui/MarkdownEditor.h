#pragma once

// The formatted text editor: a page's or the hotspot column's text whose FORMAT is "Markdown",
// edited as it will look. A row of tool buttons above the text (each reached by Tab, named
// for screen readers, with its key): Bold (Ctrl+B), Italic (Ctrl+I), Heading 1 (Ctrl+1),
// Heading 2 (Ctrl+2), Plain Paragraph (Ctrl+0), Bulleted List (Ctrl+Shift+8), Numbered List
// (Ctrl+Shift+7), Quote (Ctrl+Shift+9), Link (Ctrl+K), Picture (Ctrl+Shift+P) and Line
// Across (Ctrl+Shift+L).
//
// Links lead to an address ("https://..."), an e-mail address ("mailto:..."), a page of this
// site ("page:ID"; a page without an id gets a new one, which AssignPageIds writes into its
// column document on OK) or a download ("download:NAME", a file in the Downloads folder).
// Pictures are "image:NAME", files in the Images folder. A picture or download picked from
// elsewhere gets the first free name "File" + n + extension there and is copied only by
// Store, on OK: Cancel leaves nothing behind.

#include "ui/SitePages.h"

#include <QImage>
#include <QWidget>

#include <functional>
#include <map>
#include <string>
#include <vector>

class IPrompter;
class TMarkdownTextEdit;
class QKeyEvent;
class QToolButton;
struct TLinkChoice;

class TMarkdownEditor : public QWidget {
    Q_OBJECT

  public:
    TMarkdownEditor(IPrompter& prompter, QWidget* parent = nullptr);

    // Shows a Markdown text (lines parted by "\n"). imagesPath and downloadsPath end with "/";
    // readSite lists the site's pages when a link first needs them.
    void Show(const QString& markdown, const std::string& imagesPath,
              const std::string& downloadsPath, std::function<TSitePages()> readSite);
    // The same for a stored text.
    void SetStoredText(const std::string& stored, const std::string& imagesPath,
                       const std::string& downloadsPath, std::function<TSitePages()> readSite);

    // Shows a text typed as it is (HTML to a browser) turned into Markdown: a link to a page's
    // file or to its place on its column's listing ("Page3_2.htm", "Page3.htm#3_2") leads to
    // the page ("page:ID"; a page without an id gets one as a linked page does), a link or
    // picture naming a file of the Downloads or Images folder to the file, a web or e-mail
    // address or telephone number stays; anything else is its plain text.
    void ShowTypedText(const std::string& stored, const std::string& imagesPath,
                       const std::string& downloadsPath, std::function<TSitePages()> readSite);

    // The text as it is now, as Markdown and in the stored form.
    QString Markdown() const;
    std::string StoredText() const;
    // Copies the pictures and downloads picked from elsewhere that the text still names into
    // the Images and Downloads folders (a name taken meanwhile gives way to the next free one)
    // and gives the stored text. Throws TError naming a file that cannot be copied.
    std::string Store();
    // The ids made for links to pages that had none, as far as the text still links to them.
    std::vector<TPageIdToAssign> PageIdsToAssign() const;

    void BoldClick();
    void ItalicClick();
    // Level 1 or 2; 0 makes the paragraphs plain again (no heading, list or quote).
    void HeadingClick(int level);
    void BulletsClick();
    void NumbersClick();
    void QuoteClick();
    void LinkClick();
    void PictureClick();
    void LineClick();

    // What the pointer shows over a link.
    QString DescribeLink(const QString& href);
    // Presses the buttons of what applies at the cursor: bold, italics, heading, list, quote.
    void ShowState();

    QToolButton* ToolBold;
    QToolButton* ToolItalic;
    QToolButton* ToolHeading1;
    QToolButton* ToolHeading2;
    QToolButton* ToolPlain;
    QToolButton* ToolBullets;
    QToolButton* ToolNumbers;
    QToolButton* ToolQuote;
    QToolButton* ToolLink;
    QToolButton* ToolPicture;
    QToolButton* ToolLine;
    TMarkdownTextEdit* TextEdit;

  private:
    QToolButton* MakeTool(const char* name, const char* spoken, const char* description,
                          const QKeySequence& key, const std::function<void()>& click);
    bool IsEditorKey(const QKeyEvent& key) const;
    void ShowMarkdown(const QString& markdown);
    QString TypedTarget(const QString& address, bool picture);
    void ToggleList(int style);
    const TSitePages& Site();
    std::string PageHref(int item, int index);
    TLinkChoice ChoiceOf(const QString& href, const QString& text);
    QImage PictureOf(const QString& name);
    void CopyPendingPictures();
    void CopyPendingDownloads();

    IPrompter& Prompter;
    std::string FImagesPath;
    std::string FDownloadsPath;
    std::function<TSitePages()> FReadSite;
    bool FSiteRead = false;
    TSitePages FSite;
    std::vector<QKeySequence> FKeys;
    // Picked from elsewhere, not copied yet: pictures by name with their bytes, downloads by
    // name with the file's full path.
    std::map<std::string, std::string> FPendingPictures;
    std::map<std::string, std::string> FPendingDownloads;
    std::vector<TPageIdToAssign> FPendingIds;
    std::map<QString, QImage> FShown;
    // The stored text shown by SetStoredText, which Store gives back as it was while the text
    // is not changed: what the editor writes otherwise (raw HTML escaped, a table's cells
    // aligned left by default, code blocks fenced) is never changed by opening a page and
    // pressing OK.
    std::string FStoredShown;
    bool FStoredKept = false;
};

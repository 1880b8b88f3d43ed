#pragma once

#include <QTextEdit>

#include <functional>

class QMimeData;

// The text field of the formatted text editor: rich text that shows the pictures of the
// project ("image:NAME") and says where a link leads when the pointer rests on it. What is
// pasted keeps only what a formatted text can hold: from a web page or a word processor
// (HTML) its paragraphs, headings, lists, quotes, bold, italics and links, nothing else; from
// this editor (its own "text/markdown") everything; plain text as it is. Tab moves on to the
// next control.
class TMarkdownTextEdit : public QTextEdit {
    Q_OBJECT

  public:
    explicit TMarkdownTextEdit(QWidget* parent = nullptr);

    // The picture shown for a name of the Images folder; a null image when there is none.
    std::function<QImage(const QString& name)> PictureOf;
    // What the pointer shows over a link.
    std::function<QString(const QString& href)> DescribeLink;
    // The editor's own keys, which the text field must leave to the editor's shortcuts.
    std::function<bool(const QKeyEvent& key)> IsEditorKey;

    // Inserts a Markdown text at the cursor, replacing the selection.
    void InsertMarkdown(const QString& markdown);

    // The Markdown that copying puts on the clipboard beside plain text and HTML.
    static const char* const MimeMarkdown;

    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
    QMimeData* createMimeDataFromSelection() const override;

  protected:
    QVariant loadResource(int type, const QUrl& name) override;
    bool event(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
};

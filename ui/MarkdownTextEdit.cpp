#include "ui/MarkdownTextEdit.h"

#include "generator/SiteTextTargets.h"
#include "ui/MarkdownWriter.h"

#include <QHelpEvent>
#include <QImage>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QToolTip>

const char* const TMarkdownTextEdit::MimeMarkdown = "text/markdown";

TMarkdownTextEdit::TMarkdownTextEdit(QWidget* parent) : QTextEdit(parent) {
    setAcceptRichText(true);
    setTabChangesFocus(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QTextEdit::WidgetWidth);
}

void TMarkdownTextEdit::InsertMarkdown(const QString& markdown) {
    QTextDocument pasted;
    ReadMarkdown(pasted, markdown);
    QTextCursor cursor = textCursor();
    cursor.insertFragment(QTextDocumentFragment(&pasted));
    setTextCursor(cursor);
}

bool TMarkdownTextEdit::canInsertFromMimeData(const QMimeData* source) const {
    return source->hasFormat(QString::fromLatin1(MimeMarkdown)) || source->hasHtml() ||
           source->hasText();
}

void TMarkdownTextEdit::insertFromMimeData(const QMimeData* source) {
    if (source->hasFormat(QString::fromLatin1(MimeMarkdown))) {
        InsertMarkdown(QString::fromUtf8(source->data(QString::fromLatin1(MimeMarkdown))));
    } else if (source->hasHtml()) {
        QTextDocument pasted;
        pasted.setHtml(source->html());
        InsertMarkdown(MarkdownFromDocument(pasted, TMarkdownSource::Pasted));
    } else if (source->hasText()) {
        textCursor().insertText(source->text(), QTextCharFormat());
    }
    ensureCursorVisible();
}

QMimeData* TMarkdownTextEdit::createMimeDataFromSelection() const {
    auto* data = new QMimeData;
    const QTextDocumentFragment selection = textCursor().selection();
    QTextDocument copied;
    QTextCursor(&copied).insertFragment(selection);
    data->setData(QString::fromLatin1(MimeMarkdown), MarkdownFromDocument(copied).toUtf8());
    data->setHtml(selection.toHtml());
    data->setText(selection.toPlainText());
    return data;
}

QVariant TMarkdownTextEdit::loadResource(int type, const QUrl& name) {
    if (type == QTextDocument::ImageResource && name.scheme() == QStringLiteral("image") &&
        PictureOf) {
        // "image:My%20photo%20%231.jpg" shows "My photo #1.jpg".
        const QImage picture = PictureOf(QString::fromStdString(
            TSiteTextTargets::DecodedName(name.path(QUrl::FullyEncoded).toStdString())));
        if (!picture.isNull())
            return picture;
    }
    return QTextEdit::loadResource(type, name);
}

bool TMarkdownTextEdit::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride && IsEditorKey &&
        IsEditorKey(*static_cast<QKeyEvent*>(event))) {
        // Not the text field's own meaning of the key (Ctrl+K deletes to the end of the
        // line): the editor's shortcut takes it.
        event->ignore();
        return true;
    }
    return QTextEdit::event(event);
}

bool TMarkdownTextEdit::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip && DescribeLink) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString href = anchorAt(help->pos());
        if (!href.isEmpty()) {
            QToolTip::showText(help->globalPos(), DescribeLink(href), this);
            return true;
        }
        QToolTip::hideText();
    }
    return QTextEdit::viewportEvent(event);
}

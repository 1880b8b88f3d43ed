#pragma once

// Multi-line texts (a page's text, the hotspot column's text) hold no line breaks: each line
// break (CR LF) is kept as the six characters "#$D#$A". The memo that edits them shows each
// of these as a line break. A lone LF or CR (a text written by hand into a document) is no
// line break: the memo shows it as the symbol U+240A or U+240D and gives it back unchanged.

#include <QPlainTextEdit>

#include <string>

class QWidget;

extern const char* const LineBreakMark;

// The stored text with every mark turned into CR LF, and back.
std::string LineBreaksFromMarks(const std::string& stored);
std::string MarksFromLineBreaks(const std::string& text);

// A text with CR LF line breaks as the memo shows it (one line per line), and the memo's own
// text (QTextDocument::toRawText: paragraph and line separators) as a text with CR LF line
// breaks.
QString MemoFromText(const std::string& text);
std::string TextFromMemo(const QString& raw);

// The memo: plain text, a vertical scroll bar, no length limit; Tab moves on to the next
// control.
class TMultiLineText : public QPlainTextEdit {
    Q_OBJECT

  public:
    explicit TMultiLineText(QWidget* parent = nullptr);

    // Shows a stored text, and gives the memo's text back in the stored form.
    void SetStoredText(const std::string& stored);
    std::string StoredText() const;
};

#include "ui/MultiLineText.h"

#include "generator/Generator.h"

#include <QTextDocument>

const char* const LineBreakMark = "#$D#$A";

namespace {

const QChar SymbolLF(0x240A);
const QChar SymbolCR(0x240D);

} // namespace

std::string LineBreaksFromMarks(const std::string& stored) {
    return ReplaceAll(stored, LineBreakMark, "\r\n");
}

std::string MarksFromLineBreaks(const std::string& text) {
    return ReplaceAll(text, "\r\n", LineBreakMark);
}

QString MemoFromText(const std::string& text) {
    const QString whole = QString::fromStdString(text);
    QString memo;
    memo.reserve(whole.size());
    for (qsizetype i = 0; i < whole.size(); ++i) {
        const QChar c = whole[i];
        if (c == u'\r' && i + 1 < whole.size() && whole[i + 1] == u'\n') {
            memo += u'\n';
            ++i;
        } else if (c == u'\n') {
            memo += SymbolLF;
        } else if (c == u'\r') {
            memo += SymbolCR;
        } else {
            memo += c;
        }
    }
    return memo;
}

std::string TextFromMemo(const QString& raw) {
    QString text;
    text.reserve(raw.size());
    for (const QChar c : raw) {
        if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator || c == u'\n')
            text += QStringLiteral("\r\n");
        else if (c == SymbolLF)
            text += u'\n';
        else if (c == SymbolCR)
            text += u'\r';
        else
            text += c;
    }
    return text.toStdString();
}

TMultiLineText::TMultiLineText(QWidget* parent) : QPlainTextEdit(parent) {
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTabChangesFocus(true);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
}

void TMultiLineText::SetStoredText(const std::string& stored) {
    setPlainText(MemoFromText(LineBreaksFromMarks(stored)));
}

std::string TMultiLineText::StoredText() const {
    return MarksFromLineBreaks(TextFromMemo(document()->toRawText()));
}

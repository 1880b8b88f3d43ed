#include "ui/MarkdownWriter.h"

#include "generator/MarkdownRenderer.h"
#include "ui/MultiLineText.h"

#include <QFont>
#include <QRegularExpression>
#include <QStringList>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <QTextTable>

#include <md4c.h>

#include <algorithm>
#include <map>
#include <vector>

const char* const MarkdownFormat = "Markdown";

namespace {

// One character of a paragraph with its formatting: a letter, a blank, a line break or a
// picture.
struct TAtom {
    enum TKind { Char, Blank, Break, Picture } Kind = Char;
    QChar C;
    bool Bold = false;
    bool Italic = false;
    bool Struck = false;
    bool Code = false; // of a code span
    QString Href;
    QString Title;  // of a link
    QString Source; // of a picture
    QString Alt;
};

bool IsBold(const QTextCharFormat& format) {
    return format.fontWeight() >= QFont::DemiBold;
}

// Punctuation as CommonMark counts it around emphasis marks.
bool IsPunctuation(QChar c) {
    return c.isPunct() || (c.unicode() < 128 && c.isSymbol());
}

// An emphasis mark between a letter and punctuation ("a**.b**", "**b.**c") neither opens nor
// closes: the punctuation at such an edge goes outside the mark instead.
void KeepMarksAtWords(std::vector<TAtom>& atoms, bool TAtom::*flag) {
    const auto plainWord = [&atoms, flag](std::size_t k, const QString& href) {
        return k < atoms.size() && atoms[k].Kind == TAtom::Char && !(atoms[k].*flag) &&
               atoms[k].Href == href && !IsPunctuation(atoms[k].C);
    };
    for (std::size_t i = 0; i < atoms.size(); ++i) {
        TAtom& atom = atoms[i];
        if (atom.Kind != TAtom::Char || !(atom.*flag) || !IsPunctuation(atom.C))
            continue;
        if ((i > 0 && plainWord(i - 1, atom.Href)) || plainWord(i + 1, atom.Href))
            atom.*flag = false;
    }
}

// The characters of a block. A heading's (and a table's header cell's) bold is the heading's
// own; in a heading or a table cell a line break is a blank. Code spans and strikethrough
// are the editor's own, never pasted.
std::vector<TAtom> AtomsOf(const QTextBlock& block, TMarkdownSource source, bool heading,
                           bool inCell = false) {
    std::vector<TAtom> atoms;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        const QTextCharFormat format = fragment.charFormat();
        const QString text = fragment.text();
        if (format.isImageFormat()) {
            const QTextImageFormat image = format.toImageFormat();
            if (source == TMarkdownSource::Pasted &&
                !image.name().startsWith(QStringLiteral("image:")))
                continue;
            for (qsizetype i = 0; i < text.size(); ++i) {
                TAtom atom;
                atom.Kind = TAtom::Picture;
                atom.Source = image.name();
                atom.Alt = image.property(QTextFormat::ImageAltText).toString();
                atoms.push_back(atom);
            }
            continue;
        }
        TAtom base;
        base.Bold = !heading && IsBold(format);
        base.Italic = format.fontItalic();
        if (source == TMarkdownSource::Own) {
            base.Struck = format.fontStrikeOut();
            base.Code = format.fontFixedPitch();
        }
        if (format.isAnchor() &&
            (source == TMarkdownSource::Own || KeepsPastedLink(format.anchorHref()))) {
            base.Href = format.anchorHref();
            base.Title = format.toolTip();
        }
        for (const QChar c : text) {
            TAtom atom = base;
            atom.C = c;
            if (c == QChar::LineSeparator || c == u'\n' || c == u'\r' ||
                c == QChar::ParagraphSeparator)
                atom.Kind = heading || inCell ? TAtom::Blank : TAtom::Break;
            else if (c == u' ' || c == u'\t')
                atom.Kind = TAtom::Blank;
            else if (c == QChar::ObjectReplacementCharacter || c.category() == QChar::Other_Control)
                continue;
            atoms.push_back(atom);
        }
    }
    KeepMarksAtWords(atoms, &TAtom::Bold);
    KeepMarksAtWords(atoms, &TAtom::Italic);
    KeepMarksAtWords(atoms, &TAtom::Struck);
    return atoms;
}

// Characters that mark something wherever they stand.
bool AlwaysEscaped(QChar c) {
    return QStringLiteral("\\`*_[]<~|").contains(c);
}

// Characters that mark something at the start of a line.
bool EscapedAtLineStart(QChar c) {
    return QStringLiteral("#>+-=").contains(c);
}

QString EscapedText(const QString& text) {
    QString out;
    for (const QChar c : text) {
        if (AlwaysEscaped(c))
            out += u'\\';
        out += c;
    }
    return out;
}

// A link's or picture's target.
QString Destination(const QString& href) {
    QString clean;
    for (const QChar c : href)
        if (c.category() != QChar::Other_Control)
            clean += c;
    static const QRegularExpression needsBrackets(QStringLiteral("[\\s()<>]"));
    if (!clean.isEmpty() && !clean.contains(needsBrackets))
        return QString(clean).replace(QStringLiteral("\\"), QStringLiteral("\\\\"));
    QString out = QStringLiteral("<");
    for (const QChar c : clean) {
        if (c == u'<' || c == u'>' || c == u'\\')
            out += u'\\';
        out += c;
    }
    return out + u'>';
}

// A link's title after its target (" \"title\""), on one line; none when it has none.
QString LinkTitle(const QString& title) {
    QString out;
    for (const QChar c : title) {
        if (c == u'"' || c == u'\\')
            out += u'\\';
        const bool breaks = c == QChar::LineSeparator || c == QChar::ParagraphSeparator ||
                            c.category() == QChar::Other_Control;
        out += breaks ? QChar(u' ') : c;
    }
    return out.trimmed().isEmpty() ? QString() : QStringLiteral(" \"") + out + u'"';
}

// Writes the inline content of one paragraph. Every line after the first starts with
// continuation (the quote marks and the indent of a list item).
class TInlineWriter {
  public:
    TInlineWriter(const std::vector<TAtom>& atoms, QString continuation)
        : Atoms(atoms), Continuation(std::move(continuation)) {}

    // In a table cell, where a "|" ends the cell.
    bool InCell = false;

    QString Write() {
        for (std::size_t i = 0; i < Atoms.size(); ++i) {
            const TAtom& atom = Atoms[i];
            if (atom.Code && (atom.Kind == TAtom::Char || atom.Kind == TAtom::Blank) &&
                !(InCell && CodeHasBar(i))) {
                i = WriteCode(i) - 1;
                continue;
            }
            if (atom.Kind == TAtom::Blank) {
                // A blank outside the open link ends it there, even when the same link
                // follows.
                if (!OpenHref.isEmpty() && atom.Href != OpenHref) {
                    CloseEmphasis(0);
                    CloseLink();
                }
                if (!Out.isEmpty())
                    PendingBlanks += atom.C == u'\t' ? QChar(u' ') : atom.C;
                continue;
            }
            if (atom.Kind == TAtom::Break) {
                if (!Out.isEmpty())
                    ++PendingBreaks;
                PendingBlanks.clear();
                continue;
            }
            const QString href = atom.Kind == TAtom::Picture ? QString() : atom.Href;
            if (href != OpenHref || atom.Kind == TAtom::Picture) {
                CloseEmphasis(0);
                CloseLink();
            } else {
                CloseEmphasisFor(atom);
            }
            FlushPending();
            if (atom.Kind == TAtom::Picture) {
                Out += QStringLiteral("![") + EscapedText(atom.Alt) + QStringLiteral("](") +
                       Destination(atom.Source) + u')';
                LineText += u'!';
                continue;
            }
            if (!href.isEmpty() && OpenHref.isEmpty()) {
                Out += u'[';
                OpenHref = href;
                OpenTitle = atom.Title;
                LineText += u'[';
            }
            OpenEmphasisFor(atom);
            WriteChar(i);
        }
        CloseEmphasis(0);
        CloseLink();
        return Out;
    }

  private:
    // Whether the code span that starts at atom from holds a "|": in a table cell no escape
    // keeps it in a code span (the reader keeps the backslash), so it is written as text.
    bool CodeHasBar(std::size_t from) const {
        for (std::size_t i = from;
             i < Atoms.size() && Atoms[i].Code && Atoms[i].Href == Atoms[from].Href &&
             (Atoms[i].Kind == TAtom::Char || Atoms[i].Kind == TAtom::Blank);
             ++i)
            if (Atoms[i].C == u'|')
                return true;
        return false;
    }

    // Writes the code span that starts at atom from (its characters as they are, between as
    // many backticks as none of its own runs has) and gives the atom after it.
    std::size_t WriteCode(std::size_t from) {
        const TAtom& first = Atoms[from];
        std::size_t to = from;
        QString code;
        while (to < Atoms.size() && Atoms[to].Code && Atoms[to].Href == first.Href &&
               (Atoms[to].Kind == TAtom::Char || Atoms[to].Kind == TAtom::Blank)) {
            code += Atoms[to].C == u'\t' ? QChar(u' ') : Atoms[to].C;
            ++to;
        }
        if (first.Href != OpenHref) {
            CloseEmphasis(0);
            CloseLink();
        } else {
            CloseEmphasisFor(first);
        }
        FlushPending();
        if (!first.Href.isEmpty() && OpenHref.isEmpty()) {
            Out += u'[';
            OpenHref = first.Href;
            OpenTitle = first.Title;
            LineText += u'[';
        }
        OpenEmphasisFor(first);
        int longest = 0;
        for (qsizetype i = 0; i < code.size();) {
            qsizetype run = 0;
            while (i + run < code.size() && code[i + run] == u'`')
                ++run;
            longest = std::max(longest, int(run));
            i += std::max<qsizetype>(run, 1);
        }
        // Equal runs of blanks at both ends would be taken off, a backtick at an end would
        // join the fence: one blank more on each side keeps them.
        const bool pad =
            code.startsWith(u'`') || code.endsWith(u'`') ||
            (code.startsWith(u' ') && code.endsWith(u' ') && !code.trimmed().isEmpty());
        const QString fence(longest + 1, u'`');
        const QString span = fence + (pad ? QStringLiteral(" ") : QString()) + code +
                             (pad ? QStringLiteral(" ") : QString()) + fence;
        Out += span;
        LineText += span;
        return to;
    }

    void WriteChar(std::size_t i) {
        const QChar c = Atoms[i].C;
        bool escape = AlwaysEscaped(c) || (LineText.isEmpty() && EscapedAtLineStart(c));
        // "1." or "1)" at the start of a line would begin a numbered list.
        static const QRegularExpression digits(QStringLiteral("^[0-9]{1,9}$"));
        if ((c == u'.' || c == u')') && digits.match(LineText).hasMatch())
            escape = true;
        // "&amp;" and "&#38;" are character references.
        if (c == u'&') {
            QString rest;
            for (std::size_t j = i + 1; j < Atoms.size() && j < i + 40; ++j) {
                if (Atoms[j].Kind != TAtom::Char)
                    break;
                rest += Atoms[j].C;
            }
            static const QRegularExpression reference(QStringLiteral("^#?[A-Za-z0-9]+;"));
            escape = reference.match(rest).hasMatch();
        }
        if (escape)
            Out += u'\\';
        Out += c;
        LineText += c;
    }

    void FlushPending() {
        if (PendingBreaks > 0) {
            for (int i = 0; i < PendingBreaks; ++i)
                Out += QStringLiteral("\\\n") + Continuation;
            PendingBreaks = 0;
            LineText.clear();
            PendingBlanks.clear();
        }
        Out += PendingBlanks;
        LineText += PendingBlanks;
        PendingBlanks.clear();
    }

    void CloseLink() {
        if (OpenHref.isEmpty())
            return;
        Out += QStringLiteral("](") + Destination(OpenHref) + LinkTitle(OpenTitle) + u')';
        LineText += u')';
        OpenHref.clear();
        OpenTitle.clear();
    }

    // Closes the open marks from place keep on.
    void CloseEmphasis(std::size_t keep) {
        while (Marks.size() > keep) {
            Out += Marks.back();
            LineText += Marks.back();
            Marks.pop_back();
        }
    }

    // Whether atom has what mark stands for: "**" bold, "*" italics, "~~" strikethrough.
    static bool Has(const TAtom& atom, const QString& mark) {
        return mark == u'*' ? atom.Italic : mark.startsWith(u'~') ? atom.Struck : atom.Bold;
    }

    // Closes what atom does not have, and whatever was opened after it.
    void CloseEmphasisFor(const TAtom& atom) {
        for (std::size_t i = 0; i < Marks.size(); ++i) {
            if (!Has(atom, Marks[i])) {
                CloseEmphasis(i);
                return;
            }
        }
    }

    void OpenEmphasisFor(const TAtom& atom) {
        for (const QString& mark :
             {QStringLiteral("~~"), QStringLiteral("**"), QStringLiteral("*")}) {
            if (!Has(atom, mark) || std::find(Marks.begin(), Marks.end(), mark) != Marks.end())
                continue;
            Out += mark;
            Marks.push_back(mark);
            LineText += mark;
        }
    }

    const std::vector<TAtom>& Atoms;
    const QString Continuation;
    QString Out;
    // What the current line holds so far, after its continuation.
    QString LineText;
    QString PendingBlanks;
    int PendingBreaks = 0;
    QString OpenHref;
    QString OpenTitle;
    std::vector<QString> Marks;
};

QString QuotePrefix(int level) {
    QString prefix;
    for (int i = 0; i < level; ++i)
        prefix += QStringLiteral("> ");
    return prefix;
}

bool IsLine(const QTextBlockFormat& format) {
    return format.hasProperty(QTextFormat::BlockTrailingHorizontalRulerWidth);
}

bool IsNumbered(const QTextList* list) {
    const QTextListFormat::Style style = list->format().style();
    return style == QTextListFormat::ListDecimal || style == QTextListFormat::ListLowerAlpha ||
           style == QTextListFormat::ListUpperAlpha || style == QTextListFormat::ListLowerRoman ||
           style == QTextListFormat::ListUpperRoman;
}

// Points every link and picture of document where target says; one that leads nowhere there
// becomes its text (a picture, its alt text).
void LeadToTargets(QTextDocument& document, const TTypedTarget& target) {
    struct TPiece {
        int Position;
        int Length;
        QTextCharFormat Format;
    };
    std::vector<TPiece> pieces;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            if (format.isImageFormat() || format.isAnchor())
                pieces.push_back({fragment.position(), fragment.length(), format});
        }
    // From the end, so that a picture turned into its text moves nothing still to come.
    for (auto piece = pieces.rbegin(); piece != pieces.rend(); ++piece) {
        QTextCursor cursor(&document);
        cursor.setPosition(piece->Position);
        cursor.setPosition(piece->Position + piece->Length, QTextCursor::KeepAnchor);
        QTextCharFormat format = piece->Format;
        if (format.isImageFormat()) {
            QTextImageFormat image = format.toImageFormat();
            const QString to = target(image.name(), true);
            if (!to.isEmpty()) {
                image.setName(to);
                cursor.setCharFormat(image);
                continue;
            }
            QTextCharFormat plain = format;
            plain.setObjectType(QTextFormat::NoObject);
            plain.clearProperty(QTextFormat::ImageName);
            plain.clearProperty(QTextFormat::ImageAltText);
            plain.clearProperty(QTextFormat::ImageTitle);
            plain.clearProperty(QTextFormat::ImageWidth);
            plain.clearProperty(QTextFormat::ImageHeight);
            const QString alt = image.property(QTextFormat::ImageAltText).toString();
            cursor.insertText(alt, plain);
            continue;
        }
        const QString to = target(format.anchorHref(), false);
        if (to.isEmpty()) {
            format.setAnchor(false);
            format.clearProperty(QTextFormat::AnchorHref);
        } else {
            format.setAnchorHref(to);
        }
        cursor.setCharFormat(format);
    }
}

bool IsCodeBlock(const QTextBlockFormat& format) {
    // A fenced block has its fence, an indented one an empty language.
    return format.hasProperty(QTextFormat::BlockCodeFence) ||
           format.hasProperty(QTextFormat::BlockCodeLanguage);
}

int QuoteLevel(const QTextBlockFormat& format) {
    return std::max(0, format.intProperty(QTextFormat::BlockQuoteLevel));
}

// The code block that starts at block, fenced, each line after prefix (the quote marks); block
// is left at its last line. Its lines are written as they are, between fences longer than
// any run of backticks that starts one of them.
QString CodeBlockMarkdown(QTextBlock& block, const QString& prefix) {
    const QTextBlockFormat format = block.blockFormat();
    const QString language = format.property(QTextFormat::BlockCodeLanguage).toString();
    QStringList lines;
    for (;;) {
        QString text = block.text();
        text.replace(QChar::LineSeparator, u'\n');
        text.replace(QChar::Nbsp, u' ');
        lines += text.split(u'\n');
        const QTextBlock next = block.next();
        if (!next.isValid() || !IsCodeBlock(next.blockFormat()) ||
            QuoteLevel(next.blockFormat()) != QuoteLevel(format) ||
            next.blockFormat().indent() != format.indent() ||
            next.blockFormat().property(QTextFormat::BlockCodeLanguage).toString() != language)
            break;
        block = next;
    }
    int longest = 0;
    for (const QString& line : lines) {
        const QString start = line.trimmed();
        int run = 0;
        while (run < start.size() && start[run] == u'`')
            ++run;
        longest = std::max(longest, run);
    }
    const QString fence(std::max(3, longest + 1), u'`');
    QString out = prefix + fence + QString(language).remove(u'`').remove(u'\n');
    for (const QString& line : lines)
        out += u'\n' + (line.isEmpty() ? prefix.trimmed() : prefix + line);
    return out + u'\n' + prefix + fence;
}

// A table as a pipe table: its first row the header, the alignment of each column from its
// first row of data (left is the default: the reader cannot tell them apart), a cell that
// spans others written in its first place.
QString TableMarkdown(const QTextTable& table, const QString& prefix) {
    QStringList lines;
    for (int row = 0; row < table.rows(); ++row) {
        QString line = prefix + u'|';
        for (int column = 0; column < table.columns(); ++column) {
            const QTextTableCell cell = table.cellAt(row, column);
            QString text;
            if (cell.isValid() && cell.row() == row && cell.column() == column) {
                std::vector<TAtom> atoms;
                const QTextBlock last = cell.lastCursorPosition().block();
                for (QTextBlock block = cell.firstCursorPosition().block(); block.isValid();
                     block = block.next()) {
                    if (!atoms.empty()) {
                        TAtom blank;
                        blank.Kind = TAtom::Blank;
                        blank.C = u' ';
                        atoms.push_back(blank);
                    }
                    // The header's bold is the header's own.
                    const std::vector<TAtom> more =
                        AtomsOf(block, TMarkdownSource::Own, row == 0, true);
                    atoms.insert(atoms.end(), more.begin(), more.end());
                    if (block == last)
                        break;
                }
                TInlineWriter writer(atoms, QString());
                writer.InCell = true;
                text = writer.Write();
            }
            line += u' ' + text + QStringLiteral(" |");
        }
        lines << line;
        if (row > 0)
            continue;
        QString rule = prefix + u'|';
        for (int column = 0; column < table.columns(); ++column) {
            const QTextTableCell data = table.cellAt(table.rows() > 1 ? 1 : 0, column);
            const Qt::Alignment align = data.isValid()
                                            ? data.firstCursorPosition().blockFormat().alignment() &
                                                  Qt::AlignHorizontal_Mask
                                            : Qt::Alignment();
            rule += align & Qt::AlignHCenter ? QStringLiteral(" :-: |")
                    : align & Qt::AlignRight ? QStringLiteral(" --: |")
                                             : QStringLiteral(" --- |");
        }
        lines << rule;
    }
    return lines.join(u'\n');
}

// Qt's reader takes a quote or fenced code that goes on an item of a tight list ("1. x" then
// "   > q") for an item of its own, and lends its format to the items after it. With an empty
// line before such a block it reads the block as going on the item, as the pages do; what the
// document keeps is the same either way.
QString ItemBlocksApart(const QString& text) {
    static const QRegularExpression quoteMarks(QStringLiteral("^(?: {0,3}> ?)*"));
    static const QRegularExpression item(
        QStringLiteral("^( {0,3}(?:[-*+]|[0-9]{1,9}[.)]) {1,4})\\S"));
    static const QRegularExpression fence(QStringLiteral("^(`{3,}|~{3,})"));
    QStringList out;
    // The content columns of the open items, and the quote level they stand in.
    std::vector<qsizetype> columns;
    int itemQuote = 0;
    QString openFence;
    bool lastBlank = true;
    // Whether the line before was one of a quote: the next of it goes on in the same quote.
    bool lastQuoted = false;
    for (const QString& line : text.split(u'\n')) {
        const QString marks = quoteMarks.match(line).captured(0);
        const int quote = int(marks.count(u'>'));
        if (!openFence.isEmpty()) {
            // Inside fenced code only its closing fence counts.
            const QString trimmed = line.trimmed();
            const QString rest = QString(trimmed).remove(quoteMarks).trimmed();
            if (rest.startsWith(openFence) && rest.count(openFence.front()) == rest.size())
                openFence.clear();
            out << line;
            lastBlank = false;
            continue;
        }
        if (line.trimmed().isEmpty() || QString(line).remove(quoteMarks).trimmed().isEmpty()) {
            out << line;
            lastBlank = true;
            continue;
        }
        // The line as the items see it: after the quote marks they stand in.
        if (columns.empty() || quote < itemQuote) {
            columns.clear();
            itemQuote = quote;
        }
        qsizetype at = 0;
        for (int taken = 0; taken < itemQuote; ++taken) {
            while (at < line.size() && line[at] == u' ')
                ++at;
            if (at < line.size() && line[at] == u'>')
                ++at;
            if (at < line.size() && line[at] == u' ')
                ++at;
        }
        const QString inner = line.mid(at);
        qsizetype indent = 0;
        while (indent < inner.size() && inner[indent] == u' ')
            ++indent;
        while (!columns.empty() && columns.back() > indent)
            columns.pop_back();
        const QString rest = inner.mid(indent);
        const QRegularExpressionMatch itemMatch = item.match(inner);
        const bool quoted = rest.startsWith(u'>');
        if (!columns.empty() && indent - columns.back() < 4 && !lastBlank &&
            ((quoted && !lastQuoted) || fence.match(rest).hasMatch()))
            out << line.left(at).trimmed();
        lastQuoted = quoted;
        // A fence opens code also in a quote.
        const QRegularExpressionMatch fenceMatch =
            fence.match(QString(line).remove(quoteMarks).trimmed());
        if (fenceMatch.hasMatch())
            openFence = fenceMatch.captured(1);
        if (itemMatch.hasMatch())
            columns.push_back(itemMatch.capturedLength(1));
        out << line;
        lastBlank = false;
    }
    return out.join(u'\n');
}

} // namespace

bool KeepsPastedLink(const QString& href) {
    // The site's own targets, and what the pages link to but the anchors of the page it came
    // from (no ftp:, which the pages show as text).
    static const QRegularExpression site(QStringLiteral("^(page|download|image):"),
                                         QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression web(QStringLiteral("^(https?://|mailto:|tel:)"),
                                        QRegularExpression::CaseInsensitiveOption);
    return site.match(href).hasMatch() ||
           (web.match(href).hasMatch() && TMarkdownRenderer::IsOutsideAddress(href.toStdString()));
}

QString MarkdownFromDocument(const QTextDocument& document, TMarkdownSource source) {
    QStringList blocks;
    // Whether the last block written was a list item, its quote level and what stands before
    // its lines (the quote marks and the indents of the items it is in).
    bool lastWasItem = false;
    int lastQuote = -1;
    QString lastOuter;
    // Whether the last block was a quote or code that went on an item.
    bool lastWasTight = false;
    // Of the latest item of each list level: the column where its content starts, and its
    // quote level.
    std::vector<int> itemColumns;
    std::vector<int> itemQuotes;
    // The items written of each numbered list.
    std::map<const QTextList*, int> numbers;
    // Adds what a block writes: its paragraph (an item when in a list), then its line. Items
    // of a list follow each other, and so does a quote or code that goes on an item (tight);
    // other blocks have an empty line between them, inside whatever holds them both.
    const auto add = [&](const std::vector<std::pair<QString, bool>>& written, int quote,
                         const QString& outer, bool tight) {
        for (const auto& [one, item] : written) {
            if (one.isEmpty())
                continue;
            if (!blocks.isEmpty()) {
                if ((item && lastWasItem && quote == lastQuote) || tight) {
                    blocks.last() += u'\n';
                } else {
                    qsizetype common = 0;
                    while (common < outer.size() && common < lastOuter.size() &&
                           outer[common] == lastOuter[common])
                        ++common;
                    QString between = outer.left(common);
                    while (between.endsWith(u' '))
                        between.chop(1);
                    blocks.last() += u'\n' + between + u'\n';
                }
            }
            blocks << one;
            lastWasItem = item;
            lastQuote = quote;
            lastOuter = outer;
            tight = false;
        }
    };
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QTextBlockFormat format = block.blockFormat();
        const int quote = QuoteLevel(format);
        QString quotePrefix = QuotePrefix(quote);
        const int heading = std::clamp(format.headingLevel(), 0, 6);
        const bool inTable = QTextCursor(block).currentTable() != nullptr;
        // A block outside the lists that the reader indents as a list level goes on the
        // latest item of that level: its later paragraphs, quotes and code.
        const std::size_t goesOn = block.textList() || inTable || heading > 0
                                       ? 0
                                       : std::size_t(std::max(0, format.indent()));
        const bool continues =
            goesOn > 0 && goesOn <= itemColumns.size() && quote >= itemQuotes[goesOn - 1];
        if (continues) {
            const int itemQuote = itemQuotes[goesOn - 1];
            quotePrefix = QuotePrefix(itemQuote) + QString(itemColumns[goesOn - 1], u' ') +
                          QuotePrefix(quote - itemQuote);
            itemColumns.resize(goesOn);
            itemQuotes.resize(goesOn);
        }
        // A quote deeper than what came before, or code, goes on an item without an empty
        // line, as it came.
        const bool code = source == TMarkdownSource::Own && IsCodeBlock(format);
        const bool tight = continues && ((code && quote == lastQuote) || quote > lastQuote);
        // The editor's own tables and code blocks, written whole; pasted ones are paragraphs.
        if (source == TMarkdownSource::Own) {
            QString whole;
            if (const QTextTable* table = QTextCursor(block).currentTable()) {
                whole = TableMarkdown(*table, quotePrefix);
                block = table->lastCursorPosition().block();
            } else if (code) {
                whole = CodeBlockMarkdown(block, quotePrefix);
            }
            if (!whole.isEmpty() || inTable) {
                if (!continues) {
                    itemColumns.clear();
                    itemQuotes.clear();
                }
                add({{whole, false}}, quote, quotePrefix, tight);
                lastWasTight = continues;
                continue;
            }
        }
        const std::vector<TAtom> atoms = AtomsOf(block, source, heading > 0);
        const bool empty = std::all_of(atoms.begin(), atoms.end(), [](const TAtom& atom) {
            return atom.Kind == TAtom::Blank || atom.Kind == TAtom::Break;
        });
        // An empty item is no item: the list goes on without it.
        QTextList* list = heading == 0 && !empty ? block.textList() : nullptr;

        QString lead;
        QString outer = quotePrefix;
        QString continuation = quotePrefix;
        if (list) {
            const int level = std::max(1, list->format().indent());
            const int indent = level > 1 && itemColumns.size() >= std::size_t(level - 1)
                                   ? itemColumns[std::size_t(level - 2)]
                                   : 0;
            const QString marker = IsNumbered(list)
                                       ? QString::number(++numbers[list]) + QStringLiteral(". ")
                                       : QStringLiteral("- ");
            outer = quotePrefix + QString(indent, u' ');
            lead = outer + marker;
            continuation += QString(indent + marker.size(), u' ');
            itemColumns.resize(std::size_t(level - 1), 0);
            itemQuotes.resize(std::size_t(level - 1), 0);
            itemColumns.push_back(indent + int(marker.size()));
            itemQuotes.push_back(quote);
        } else {
            lead = quotePrefix + (heading > 0 ? QString(heading, u'#') + u' ' : QString());
            if (!empty && !continues) {
                itemColumns.clear();
                itemQuotes.clear();
            }
        }

        const QString text = TInlineWriter(atoms, continuation).Write();
        // What the block writes: its paragraph (a list item when in a list), then its line.
        std::vector<std::pair<QString, bool>> written;
        if (!text.isEmpty())
            written.emplace_back(lead + text, list != nullptr);
        if (IsLine(format))
            written.emplace_back(quotePrefix + QStringLiteral("---"), false);
        // An item after a quote or code that went on the item before follows it.
        const bool afterTight = list && !lastWasItem && lastWasTight;
        add(written, quote, outer, tight || afterTight);
        if (!written.empty())
            lastWasTight = continues && quote > itemQuotes.back();
    }
    return blocks.join(QString());
}

void ReadMarkdown(QTextDocument& document, const QString& markdown) {
    // Qt's reader makes a hard line break (a backslash or two blanks at the end of a line) a
    // new paragraph. Read as the line break it is, with the next line's quote marks and
    // indent; a backslash at the end of a line of code stays.
    const std::string bytes = markdown.toStdString();
    std::string read;
    read.reserve(bytes.size());
    std::size_t from = 0;
    for (const auto& [start, end] : TMarkdownRenderer::HardBreaks(bytes)) {
        read.append(bytes, from, start - from);
        read += "\xE2\x80\xA8"; // QChar::LineSeparator in UTF-8
        from = end;
    }
    read.append(bytes, from);
    const QString text = QString::fromStdString(read);
    // Read as the pages read it: CommonMark with tables and strikethrough, raw HTML as the
    // text it is. (Qt's GitHub dialect would also read "_a_" as underline, which no page
    // shows, make bare addresses links and "[ ]" a task's box; an edit would drop or add them.)
    // Qt hands the features to md4c as its parser flags.
    document.setMarkdown(ItemBlocksApart(text),
                         QTextDocument::MarkdownFeatures(MD_FLAG_TABLES | MD_FLAG_STRIKETHROUGH) |
                             QTextDocument::MarkdownNoHTML);
}

QString MarkdownFromStored(const std::string& stored) {
    QString text = QString::fromStdString(LineBreaksFromMarks(stored));
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

std::string StoredFromMarkdown(const QString& markdown) {
    return MarksFromLineBreaks(
        QString(markdown).replace(u'\n', QStringLiteral("\r\n")).toStdString());
}

QString MarkdownFromTypedText(const std::string& stored, const TTypedTarget& target) {
    const QString text = QString::fromStdString(LineBreaksFromMarks(stored));
    static const QRegularExpression empty(QStringLiteral("\r\n([ \t]*\r\n)+"));
    QString html;
    for (const QString& paragraph : text.split(empty, Qt::SkipEmptyParts))
        html += QStringLiteral("<p>") +
                QString(paragraph).replace(QStringLiteral("\r\n"), QStringLiteral("<br>")) +
                QStringLiteral("</p>");
    QTextDocument document;
    document.setHtml(html);
    const TTypedTarget web = [](const QString& address, bool picture) {
        return !picture && TMarkdownRenderer::IsOutsideAddress(address.toStdString()) &&
                       !address.startsWith(u'#')
                   ? address
                   : QString();
    };
    LeadToTargets(document, target ? target : web);
    return MarkdownFromDocument(document);
}

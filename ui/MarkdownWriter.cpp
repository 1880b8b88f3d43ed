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
    QString Href;
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

std::vector<TAtom> AtomsOf(const QTextBlock& block, TMarkdownSource source, bool heading) {
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
        if (format.isAnchor() &&
            (source == TMarkdownSource::Own || KeepsPastedLink(format.anchorHref())))
            base.Href = format.anchorHref();
        for (const QChar c : text) {
            TAtom atom = base;
            atom.C = c;
            if (c == QChar::LineSeparator || c == u'\n' || c == u'\r' ||
                c == QChar::ParagraphSeparator)
                atom.Kind = heading ? TAtom::Blank : TAtom::Break;
            else if (c == u' ' || c == u'\t')
                atom.Kind = TAtom::Blank;
            else if (c == QChar::ObjectReplacementCharacter || c.category() == QChar::Other_Control)
                continue;
            atoms.push_back(atom);
        }
    }
    KeepMarksAtWords(atoms, &TAtom::Bold);
    KeepMarksAtWords(atoms, &TAtom::Italic);
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

// Writes the inline content of one paragraph. Every line after the first starts with
// continuation (the quote marks and the indent of a list item).
class TInlineWriter {
  public:
    TInlineWriter(const std::vector<TAtom>& atoms, QString continuation)
        : Atoms(atoms), Continuation(std::move(continuation)) {}

    QString Write() {
        for (std::size_t i = 0; i < Atoms.size(); ++i) {
            const TAtom& atom = Atoms[i];
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
        Out += QStringLiteral("](") + Destination(OpenHref) + u')';
        LineText += u')';
        OpenHref.clear();
    }

    // Closes the open marks from place keep on.
    void CloseEmphasis(std::size_t keep) {
        while (Marks.size() > keep) {
            Out += Marks.back();
            LineText += Marks.back();
            Marks.pop_back();
        }
    }

    // Closes what atom does not have, and whatever was opened after it.
    void CloseEmphasisFor(const TAtom& atom) {
        for (std::size_t i = 0; i < Marks.size(); ++i) {
            const bool bold = Marks[i].size() == 2;
            if ((bold && !atom.Bold) || (!bold && !atom.Italic)) {
                CloseEmphasis(i);
                return;
            }
        }
    }

    void OpenEmphasisFor(const TAtom& atom) {
        bool bold = false;
        bool italic = false;
        for (const QString& mark : Marks)
            (mark.size() == 2 ? bold : italic) = true;
        if (atom.Bold && !bold) {
            Out += QStringLiteral("**");
            Marks.push_back(QStringLiteral("**"));
            LineText += QStringLiteral("**");
        }
        if (atom.Italic && !italic) {
            Out += u'*';
            Marks.push_back(QStringLiteral("*"));
            LineText += u'*';
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
    // Whether the last block written was a list item, and its quote level.
    bool lastWasItem = false;
    int lastQuote = -1;
    // The column where the content of the latest item of each list level starts.
    std::vector<int> itemColumns;
    // The items written of each numbered list.
    std::map<const QTextList*, int> numbers;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QTextBlockFormat format = block.blockFormat();
        const int quote = std::max(0, format.intProperty(QTextFormat::BlockQuoteLevel));
        const QString quotePrefix = QuotePrefix(quote);
        const int heading = std::clamp(format.headingLevel(), 0, 6);
        const std::vector<TAtom> atoms = AtomsOf(block, source, heading > 0);
        const bool empty = std::all_of(atoms.begin(), atoms.end(), [](const TAtom& atom) {
            return atom.Kind == TAtom::Blank || atom.Kind == TAtom::Break;
        });
        // An empty item is no item: the list goes on without it.
        QTextList* list = heading == 0 && !empty ? block.textList() : nullptr;

        QString lead;
        QString continuation = quotePrefix;
        if (list) {
            const int level = std::max(1, list->format().indent());
            const int indent = level > 1 && itemColumns.size() >= std::size_t(level - 1)
                                   ? itemColumns[std::size_t(level - 2)]
                                   : 0;
            const QString marker = IsNumbered(list)
                                       ? QString::number(++numbers[list]) + QStringLiteral(". ")
                                       : QStringLiteral("- ");
            lead = quotePrefix + QString(indent, u' ') + marker;
            continuation += QString(indent + marker.size(), u' ');
            itemColumns.resize(std::size_t(level - 1), 0);
            itemColumns.push_back(indent + int(marker.size()));
        } else {
            lead = quotePrefix + (heading > 0 ? QString(heading, u'#') + u' ' : QString());
            if (!empty)
                itemColumns.clear();
        }

        const QString text = TInlineWriter(atoms, continuation).Write();
        // What the block writes: its paragraph (a list item when in a list), then its line.
        std::vector<std::pair<QString, bool>> written;
        if (!text.isEmpty())
            written.emplace_back(lead + text, list != nullptr);
        if (IsLine(format))
            written.emplace_back(quotePrefix + QStringLiteral("---"), false);
        for (const auto& [one, item] : written) {
            if (!blocks.isEmpty()) {
                // Items of a list follow each other; paragraphs of one quote stay in it.
                if (item && lastWasItem && quote == lastQuote)
                    blocks.last() += u'\n';
                else if (quote > 0 && quote == lastQuote)
                    blocks.last() += u'\n' + QuotePrefix(quote).trimmed() + u'\n';
                else
                    blocks.last() += QStringLiteral("\n\n");
            }
            blocks << one;
            lastWasItem = item;
            lastQuote = quote;
        }
    }
    return blocks.join(QString());
}

void ReadMarkdown(QTextDocument& document, const QString& markdown) {
    // Qt's reader makes a hard line break (a backslash at the end of a line) a new paragraph.
    // Read as the line break it is, with the next line's quote marks and indent.
    static const QRegularExpression hardBreak(
        QStringLiteral("(?<!\\\\)((?:\\\\\\\\)*)\\\\\n[ >]*(?=\\S)"));
    QString text = markdown;
    text.replace(hardBreak, QStringLiteral("\\1") + QChar(QChar::LineSeparator));
    // Raw HTML is shown as the text it is, as the pages show it; tables and strikethrough as
    // the pages render them.
    document.setMarkdown(text,
                         QTextDocument::MarkdownFeatures(QTextDocument::MarkdownDialectGitHub |
                                                         QTextDocument::MarkdownNoHTML));
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

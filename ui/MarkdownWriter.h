#pragma once

// Formatted texts (a page's or the hotspot column's text whose FORMAT is "Markdown") are kept
// as CommonMark, one line per paragraph, each line break stored as "#$D#$A" like every
// multi-line text. The editor reads them with QTextDocument's Markdown reader and writes them
// back with MarkdownFromDocument, which writes only what the editor offers (paragraphs,
// headings, bulleted and numbered lists, quotes, lines across, bold, italics, links and
// pictures) and what a text it shows may hold (tables as pipe tables, code spans, fenced code
// blocks, strikethrough), and escapes every other mark, so that a text written, read back and
// written again gives the same bytes. (Qt's own writer wraps lines at 80 columns, escapes nothing
// and drops bold around links and italics in headings, so a text would change on every round.)

#include <QString>

#include <functional>
#include <string>

class QTextDocument;

// The FORMAT of a formatted text.
extern const char* const MarkdownFormat;

// Where a document came from: the editor's own text, or something pasted from another
// program, whose pictures (other than the project's, "image:NAME") are dropped and whose
// links are kept only to web addresses, e-mail addresses and the project's own targets.
enum class TMarkdownSource { Own, Pasted };

// The Markdown of a document, lines separated by "\n", no line break at the end.
QString MarkdownFromDocument(const QTextDocument& document,
                             TMarkdownSource source = TMarkdownSource::Own);

// Replaces the document's content with a Markdown text (CommonMark).
void ReadMarkdown(QTextDocument& document, const QString& markdown);

// A stored text as Markdown with "\n" line breaks, and back.
QString MarkdownFromStored(const std::string& stored);
std::string StoredFromMarkdown(const QString& markdown);

// What a link or picture of a text typed as it is leads to in a formatted text: the target
// ("page:ID", "download:NAME", "image:NAME", or a web address as it is) for the address the
// typed text gives (picture: an img's src), or empty, and the link or picture is then plain
// text (a picture its alt text).
using TTypedTarget = std::function<QString(const QString& address, bool picture)>;

// The Markdown of a text typed as it is (FORMAT empty): the text is HTML to a browser, its
// line breaks written as "<br>". A run of empty lines parts two paragraphs. Its links and
// pictures lead where target says; without one, links to web and e-mail addresses and
// telephone numbers stay, everything else is plain text.
QString MarkdownFromTypedText(const std::string& stored, const TTypedTarget& target = {});

// True for a link target the editor keeps from a pasted text.
bool KeepsPastedLink(const QString& href);

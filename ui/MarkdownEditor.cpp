#include "ui/MarkdownEditor.h"

#include "generator/MarkdownRenderer.h"
#include "generator/SiteTextTargets.h"
#include "model/PageId.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/PictureDecoder.h"
#include "ui/DialogControls.h"
#include "ui/FLink.h"
#include "ui/FPictureText.h"
#include "ui/FileFolders.h"
#include "ui/MarkdownTextEdit.h"
#include "ui/MarkdownWriter.h"
#include "ui/PictureField.h"
#include "ui/Prompter.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>
#include <QShortcut>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <QToolButton>
#include <QVBoxLayout>

#include <set>

namespace {

constexpr int IconSize = 20;
// The widest a picture shows in the text.
constexpr int ShownPictureWidth = 320;
// How far a quote stands in, as the Markdown reader sets it.
constexpr int QuoteIndent = 40;

const QString ImageScheme = QStringLiteral("image:");
const QString PageScheme = QStringLiteral("page:");
const QString DownloadScheme = QStringLiteral("download:");
const QString MailScheme = QStringLiteral("mailto:");

// A tool button's picture: drawn here, so that it needs no icon theme.
QIcon DrawnIcon(const std::function<void(QPainter&)>& draw) {
    QPixmap pixmap(IconSize * 2, IconSize * 2);
    pixmap.setDevicePixelRatio(2);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1.5));
    draw(painter);
    painter.end();
    return QIcon(pixmap);
}

QIcon TextIcon(const QString& text, bool bold, bool italic) {
    return DrawnIcon([&](QPainter& painter) {
        QFont font = painter.font();
        font.setPixelSize(text.size() > 1 ? 11 : 15);
        font.setBold(bold);
        font.setItalic(italic);
        painter.setFont(font);
        painter.drawText(QRect(0, 0, IconSize, IconSize), Qt::AlignCenter, text);
    });
}

QIcon ListIcon(bool numbered) {
    return DrawnIcon([numbered](QPainter& painter) {
        QFont font = painter.font();
        font.setPixelSize(7);
        painter.setFont(font);
        for (int i = 0; i < 3; ++i) {
            const int y = 5 + i * 5;
            if (numbered)
                painter.drawText(QRect(1, y - 4, 6, 8), Qt::AlignCenter, QString::number(i + 1));
            else
                painter.drawEllipse(QPointF(4, y), 1.2, 1.2);
            painter.drawLine(QPointF(8, y), QPointF(18, y));
        }
    });
}

QIcon QuoteIcon() {
    return DrawnIcon([](QPainter& painter) {
        painter.drawLine(QPointF(4, 3), QPointF(4, 17));
        for (int y : {6, 10, 14})
            painter.drawLine(QPointF(7, y), QPointF(17, y));
    });
}

QIcon LinkIcon() {
    return DrawnIcon([](QPainter& painter) {
        painter.drawRoundedRect(QRectF(2, 7, 10, 6), 3, 3);
        painter.drawRoundedRect(QRectF(8, 7, 10, 6), 3, 3);
    });
}

QIcon PictureIcon() {
    return DrawnIcon([](QPainter& painter) {
        painter.drawRect(QRectF(2, 4, 16, 12));
        QPainterPath hills;
        hills.moveTo(3, 15);
        hills.lineTo(8, 9);
        hills.lineTo(11, 12);
        hills.lineTo(13, 10);
        hills.lineTo(17, 15);
        painter.drawPath(hills);
    });
}

QIcon LineIcon() {
    return DrawnIcon([](QPainter& painter) {
        painter.setPen(QPen(Qt::black, 2));
        painter.drawLine(QPointF(2, 10), QPointF(18, 10));
    });
}

// The name a site target names: "download:My%20file.pdf" is "My file.pdf".
std::string StdName(const QString& href, const QString& scheme) {
    return TSiteTextTargets::DecodedName(StdText(href.mid(scheme.size())));
}

// The target of a file of the Downloads or Images folder, its name written so that it reads
// back the same ("#", "?", "%", blanks and letters beyond ASCII as %XX).
QString SiteHref(const QString& scheme, const std::string& name) {
    return scheme + QText(TSiteTextTargets::EncodedName(name));
}

// The first name "File" + n + extension free in folder and among the names taken.
std::string FreeName(const std::string& folder, const std::string& extension,
                     const std::map<std::string, std::string>& taken) {
    for (unsigned n = 1;; ++n) {
        std::string name = "File" + std::to_string(n) + extension;
        if (!taken.contains(name) && !FileExists(folder + name) && !FolderExists(folder + name))
            return name;
    }
}

// The blocks the cursor's selection touches.
std::vector<QTextBlock> SelectedBlocks(const QTextCursor& cursor) {
    std::vector<QTextBlock> blocks;
    const QTextDocument* document = cursor.document();
    QTextBlock block = document->findBlock(cursor.selectionStart());
    const QTextBlock last = document->findBlock(cursor.selectionEnd());
    for (; block.isValid(); block = block.next()) {
        blocks.push_back(block);
        if (block == last)
            break;
    }
    return blocks;
}

// The places in a document where a link's target or a picture's name is given.
struct TPlace {
    int Position;
    int Length;
    QTextCharFormat Format;
};

std::vector<TPlace> PlacesOf(const QTextDocument& document) {
    std::vector<TPlace> places;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            if (format.isImageFormat() || format.isAnchor())
                places.push_back({fragment.position(), fragment.length(), format});
        }
    return places;
}

} // namespace

TMarkdownEditor::TMarkdownEditor(IPrompter& prompter, QWidget* parent)
    : QWidget(parent), Prompter(prompter) {
    setObjectName(QStringLiteral("MarkdownText"));
    auto* tools = new QHBoxLayout;
    tools->setContentsMargins(0, 0, 0, 0);
    tools->setSpacing(2);
    const auto key = [](QKeyCombination combination) { return QKeySequence(combination); };
    ToolBold = MakeTool("ToolBold", "Bold", "Makes the selected text bold (Ctrl+B)",
                        key(Qt::CTRL | Qt::Key_B), [this] { BoldClick(); });
    ToolBold->setIcon(TextIcon(QStringLiteral("B"), true, false));
    ToolItalic = MakeTool("ToolItalic", "Italic", "Puts the selected text in italics (Ctrl+I)",
                          key(Qt::CTRL | Qt::Key_I), [this] { ItalicClick(); });
    ToolItalic->setIcon(TextIcon(QStringLiteral("I"), false, true));
    ToolHeading1 = MakeTool("ToolHeading1", "Heading 1", "Makes the paragraph a heading (Ctrl+1)",
                            key(Qt::CTRL | Qt::Key_1), [this] { HeadingClick(1); });
    ToolHeading1->setIcon(TextIcon(QStringLiteral("H1"), true, false));
    ToolHeading2 =
        MakeTool("ToolHeading2", "Heading 2", "Makes the paragraph a smaller heading (Ctrl+2)",
                 key(Qt::CTRL | Qt::Key_2), [this] { HeadingClick(2); });
    ToolHeading2->setIcon(TextIcon(QStringLiteral("H2"), true, false));
    ToolPlain = MakeTool("ToolPlain", "Plain Paragraph",
                         "Makes the paragraph plain text again: no heading, list or quote "
                         "(Ctrl+0)",
                         key(Qt::CTRL | Qt::Key_0), [this] { HeadingClick(0); });
    ToolPlain->setIcon(TextIcon(QString(QChar(0x00B6)), false, false));
    ToolBullets = MakeTool("ToolBullets", "Bulleted List",
                           "Makes the paragraphs a bulleted list (Ctrl+Shift+8)",
                           key(Qt::CTRL | Qt::SHIFT | Qt::Key_8), [this] { BulletsClick(); });
    ToolBullets->setIcon(ListIcon(false));
    ToolNumbers = MakeTool("ToolNumbers", "Numbered List",
                           "Makes the paragraphs a numbered list (Ctrl+Shift+7)",
                           key(Qt::CTRL | Qt::SHIFT | Qt::Key_7), [this] { NumbersClick(); });
    ToolNumbers->setIcon(ListIcon(true));
    ToolQuote =
        MakeTool("ToolQuote", "Quote", "Sets the paragraphs apart as a quote (Ctrl+Shift+9)",
                 key(Qt::CTRL | Qt::SHIFT | Qt::Key_9), [this] { QuoteClick(); });
    ToolQuote->setIcon(QuoteIcon());
    ToolLink = MakeTool("ToolLink", "Insert Link",
                        "Links the selected text to an address, a page of this site or a "
                        "download (Ctrl+K)",
                        key(Qt::CTRL | Qt::Key_K), [this] { LinkClick(); });
    ToolLink->setIcon(LinkIcon());
    ToolPicture = MakeTool("ToolPicture", "Insert Picture",
                           "Puts a picture from a file into the text; OK copies it into the "
                           "project's Images folder (Ctrl+Shift+P)",
                           key(Qt::CTRL | Qt::SHIFT | Qt::Key_P), [this] { PictureClick(); });
    ToolPicture->setIcon(PictureIcon());
    ToolLine = MakeTool("ToolLine", "Line Across", "Puts a line across the text (Ctrl+Shift+L)",
                        key(Qt::CTRL | Qt::SHIFT | Qt::Key_L), [this] { LineClick(); });
    ToolLine->setIcon(LineIcon());
    for (QToolButton* tool : {ToolBold, ToolItalic, ToolHeading1, ToolHeading2, ToolPlain,
                              ToolBullets, ToolNumbers, ToolQuote, ToolLink, ToolPicture, ToolLine})
        tools->addWidget(tool);
    tools->addStretch(1);

    TextEdit = new TMarkdownTextEdit(this);
    TextEdit->setObjectName(QStringLiteral("TextEdit"));
    TextEdit->setAccessibleName(QStringLiteral("Formatted text"));
    TextEdit->PictureOf = [this](const QString& name) { return PictureOf(name); };
    TextEdit->DescribeLink = [this](const QString& href) { return DescribeLink(href); };
    TextEdit->IsEditorKey = [this](const QKeyEvent& event) { return IsEditorKey(event); };
    // The buttons of what applies where the cursor is show pressed (and say so to a screen
    // reader).
    for (QToolButton* tool :
         {ToolBold, ToolItalic, ToolHeading1, ToolHeading2, ToolBullets, ToolNumbers, ToolQuote})
        tool->setCheckable(true);
    connect(TextEdit, &QTextEdit::cursorPositionChanged, this, &TMarkdownEditor::ShowState);
    connect(TextEdit, &QTextEdit::currentCharFormatChanged, this, &TMarkdownEditor::ShowState);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addLayout(tools);
    layout->addWidget(TextEdit);
}

QToolButton* TMarkdownEditor::MakeTool(const char* name, const char* spoken,
                                       const char* description, const QKeySequence& key,
                                       const std::function<void()>& click) {
    auto* tool = new QToolButton(this);
    tool->setObjectName(QString::fromLatin1(name));
    tool->setAccessibleName(QString::fromLatin1(spoken));
    tool->setAccessibleDescription(QString::fromLatin1(description));
    tool->setToolTip(QString::fromLatin1(spoken) + QStringLiteral(" (") +
                     key.toString(QKeySequence::NativeText) + QStringLiteral(")"));
    tool->setFocusPolicy(Qt::TabFocus);
    tool->setAutoRaise(true);
    tool->setIconSize(QSize(IconSize, IconSize));
    connect(tool, &QToolButton::clicked, this, [this, click] {
        click();
        TextEdit->setFocus();
        ShowState();
    });
    auto* shortcut = new QShortcut(key, this);
    shortcut->setContext(Qt::WidgetWithChildrenShortcut);
    connect(shortcut, &QShortcut::activated, this, [this, click] {
        click();
        ShowState();
    });
    FKeys.push_back(key);
    return tool;
}

bool TMarkdownEditor::IsEditorKey(const QKeyEvent& event) const {
    const QKeySequence pressed(event.keyCombination());
    for (const QKeySequence& key : FKeys)
        if (key.matches(pressed) == QKeySequence::ExactMatch)
            return true;
    return false;
}

void TMarkdownEditor::ShowState() {
    const QTextCursor cursor = TextEdit->textCursor();
    const QTextBlockFormat block = cursor.blockFormat();
    const QTextList* list = cursor.currentList();
    const int heading = block.headingLevel();
    ToolBold->setChecked(heading == 0 && TextEdit->fontWeight() >= QFont::DemiBold);
    ToolItalic->setChecked(TextEdit->fontItalic());
    ToolHeading1->setChecked(heading == 1);
    ToolHeading2->setChecked(heading == 2);
    ToolBullets->setChecked(list && list->format().style() == QTextListFormat::ListDisc);
    ToolNumbers->setChecked(list && list->format().style() == QTextListFormat::ListDecimal);
    ToolQuote->setChecked(block.intProperty(QTextFormat::BlockQuoteLevel) > 0);
}

// ---- The text

void TMarkdownEditor::Show(const QString& markdown, const std::string& imagesPath,
                           const std::string& downloadsPath, std::function<TSitePages()> readSite) {
    FImagesPath = imagesPath;
    FDownloadsPath = downloadsPath;
    FReadSite = std::move(readSite);
    FSiteRead = false;
    FSite = TSitePages();
    FPendingPictures.clear();
    FPendingDownloads.clear();
    FPendingIds.clear();
    FShown.clear();
    FStoredKept = false;
    ShowMarkdown(markdown);
}

void TMarkdownEditor::ShowMarkdown(const QString& markdown) {
    QTextDocument* document = TextEdit->document();
    // Pictures of an earlier showing are loaded again.
    document->clear();
    ReadMarkdown(*document, markdown);
    document->clearUndoRedoStacks();
    document->setModified(false);
    TextEdit->moveCursor(QTextCursor::Start);
    ShowState();
}

void TMarkdownEditor::SetStoredText(const std::string& stored, const std::string& imagesPath,
                                    const std::string& downloadsPath,
                                    std::function<TSitePages()> readSite) {
    Show(MarkdownFromStored(stored), imagesPath, downloadsPath, std::move(readSite));
    FStoredShown = stored;
    FStoredKept = true;
}

void TMarkdownEditor::ShowTypedText(const std::string& stored, const std::string& imagesPath,
                                    const std::string& downloadsPath,
                                    std::function<TSitePages()> readSite) {
    Show(QString(), imagesPath, downloadsPath, std::move(readSite));
    ShowMarkdown(MarkdownFromTypedText(stored, [this](const QString& address, bool picture) {
        return TypedTarget(address, picture);
    }));
}

QString TMarkdownEditor::TypedTarget(const QString& address, bool picture) {
    QString trimmed = address.trimmed();
    if (!picture && !trimmed.startsWith(u'#') &&
        TMarkdownRenderer::IsOutsideAddress(StdText(trimmed)))
        return trimmed;
    if (trimmed.isEmpty() || trimmed.startsWith(u'#'))
        return QString();
    if (!picture) {
        // A page's own file, or its place on a listing that shows whole pages.
        static const QRegularExpression pageFile(
            QStringLiteral("^(?:\\./)?Page([0-9]{1,6})_([0-9]{1,6})\\.html?$"),
            QRegularExpression::CaseInsensitiveOption);
        static const QRegularExpression pagePlace(
            QStringLiteral("^(?:\\./)?[^/:#?]*\\.html?#([0-9]{1,6})_([0-9]{1,6})$"),
            QRegularExpression::CaseInsensitiveOption);
        QRegularExpressionMatch match = pageFile.match(trimmed);
        if (!match.hasMatch())
            match = pagePlace.match(trimmed);
        if (match.hasMatch())
            return QText(PageHref(match.captured(1).toInt(), match.captured(2).toInt()));
    }
    // A file of the Downloads or Images folder by its name, with the folder or without:
    // "Report.pdf", "Downloads/Report.pdf", "Images/My%20photo.jpg". An address with a scheme
    // ("ftp:", "javascript:") names none.
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*:"));
    if (scheme.match(trimmed).hasMatch() || trimmed.startsWith(QStringLiteral("//")))
        return QString();
    QString path = trimmed.section(u'?', 0, 0).section(u'#', 0, 0);
    path.replace(u'\\', u'/');
    const std::string written = StdText(path.section(u'/', -1));
    for (const std::string& name : {TSiteTextTargets::DecodedName(written), written}) {
        if (name.empty() || name == "." || name == "..")
            continue;
        if (!picture && IsPlainFile(FDownloadsPath + name))
            return SiteHref(DownloadScheme, name);
        if (IsPlainFile(FImagesPath + name))
            return SiteHref(ImageScheme, name);
    }
    return QString();
}

QString TMarkdownEditor::Markdown() const {
    return MarkdownFromDocument(*TextEdit->document());
}

std::string TMarkdownEditor::StoredText() const {
    return StoredFromMarkdown(Markdown());
}

std::string TMarkdownEditor::Store() {
    if (FStoredKept && !TextEdit->document()->isModified())
        return FStoredShown;
    CopyPendingPictures();
    CopyPendingDownloads();
    return StoredText();
}

void TMarkdownEditor::CopyPendingPictures() {
    QTextDocument* document = TextEdit->document();
    std::set<std::string> named;
    for (const TPlace& place : PlacesOf(*document)) {
        if (!place.Format.isImageFormat())
            continue;
        QTextImageFormat image = place.Format.toImageFormat();
        if (!image.name().startsWith(ImageScheme))
            continue;
        std::string name = StdName(image.name(), ImageScheme);
        const auto pending = FPendingPictures.find(name);
        if (pending == FPendingPictures.end()) {
            named.insert(name);
            continue;
        }
        if (!named.contains(name) &&
            (FileExists(FImagesPath + name) || FolderExists(FImagesPath + name))) {
            // Taken meanwhile (by the page's own picture): the next free name.
            const std::string free = FreeName(FImagesPath, ExtensionInPath(name), FPendingPictures);
            std::string bytes = std::move(pending->second);
            FPendingPictures.erase(pending);
            FPendingPictures[free] = std::move(bytes);
            const QString newName = SiteHref(ImageScheme, free);
            for (const TPlace& other : PlacesOf(*document)) {
                if (!other.Format.isImageFormat() ||
                    other.Format.toImageFormat().name() != image.name())
                    continue;
                QTextImageFormat renamed = other.Format.toImageFormat();
                renamed.setName(newName);
                QTextCursor cursor(document);
                cursor.setPosition(other.Position);
                cursor.setPosition(other.Position + other.Length, QTextCursor::KeepAnchor);
                cursor.setCharFormat(renamed);
            }
            name = free;
        }
        WriteFileAtomically(FImagesPath + name, FPendingPictures[name]);
        FPendingPictures.erase(name);
        named.insert(name);
    }
}

void TMarkdownEditor::CopyPendingDownloads() {
    QTextDocument* document = TextEdit->document();
    for (const TPlace& place : PlacesOf(*document)) {
        const QString href = place.Format.anchorHref();
        if (!place.Format.isAnchor() || !href.startsWith(DownloadScheme))
            continue;
        std::string name = StdName(href, DownloadScheme);
        const auto pending = FPendingDownloads.find(name);
        if (pending == FPendingDownloads.end())
            continue;
        const std::string source = pending->second;
        if (FileExists(FDownloadsPath + name) || FolderExists(FDownloadsPath + name)) {
            FPendingDownloads.erase(pending);
            const std::string free =
                FreeName(FDownloadsPath, ExtensionInPath(name), FPendingDownloads);
            FPendingDownloads[free] = source;
            const QString newHref = SiteHref(DownloadScheme, free);
            for (const TPlace& other : PlacesOf(*document)) {
                if (!other.Format.isAnchor() || other.Format.anchorHref() != href)
                    continue;
                QTextCharFormat renamed;
                renamed.setAnchorHref(newHref);
                QTextCursor cursor(document);
                cursor.setPosition(other.Position);
                cursor.setPosition(other.Position + other.Length, QTextCursor::KeepAnchor);
                cursor.mergeCharFormat(renamed);
            }
            name = free;
        }
        if (!CopyFileReplacing(source, FDownloadsPath + name))
            throw TError("Cannot copy the download " + source + " to " + FDownloadsPath + name);
        FPendingDownloads.erase(name);
    }
}

std::vector<TPageIdToAssign> TMarkdownEditor::PageIdsToAssign() const {
    std::set<std::string> linked;
    for (const TPlace& place : PlacesOf(*TextEdit->document()))
        if (place.Format.isAnchor() && place.Format.anchorHref().startsWith(PageScheme))
            linked.insert(StdName(place.Format.anchorHref(), PageScheme));
    std::vector<TPageIdToAssign> ids;
    for (const TPageIdToAssign& id : FPendingIds)
        if (linked.contains(id.Id))
            ids.push_back(id);
    return ids;
}

// ---- The tool buttons

void TMarkdownEditor::BoldClick() {
    QTextCharFormat format;
    format.setFontWeight(TextEdit->fontWeight() >= QFont::DemiBold ? QFont::Normal : QFont::Bold);
    TextEdit->mergeCurrentCharFormat(format);
}

void TMarkdownEditor::ItalicClick() {
    QTextCharFormat format;
    format.setFontItalic(!TextEdit->fontItalic());
    TextEdit->mergeCurrentCharFormat(format);
}

void TMarkdownEditor::HeadingClick(int level) {
    QTextCursor cursor = TextEdit->textCursor();
    cursor.beginEditBlock();
    for (const QTextBlock& block : SelectedBlocks(cursor)) {
        QTextBlockFormat format = block.blockFormat();
        format.setHeadingLevel(level);
        if (level == 0) {
            format.clearProperty(QTextFormat::BlockQuoteLevel);
            format.setLeftMargin(0);
            format.setRightMargin(0);
        }
        QTextCursor at(block);
        if (QTextList* list = block.textList())
            list->remove(block);
        format.setIndent(0);
        format.clearProperty(QTextFormat::ObjectIndex);
        at.setBlockFormat(format);
        QTextCharFormat chars;
        chars.setProperty(QTextFormat::FontSizeAdjustment, level > 0 ? 4 - level : 0);
        chars.setFontWeight(level > 0 ? QFont::Bold : QFont::Normal);
        at.movePosition(QTextCursor::StartOfBlock);
        at.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        at.mergeCharFormat(chars);
        at.mergeBlockCharFormat(chars);
    }
    cursor.endEditBlock();
    QTextCharFormat typing;
    typing.setProperty(QTextFormat::FontSizeAdjustment, level > 0 ? 4 - level : 0);
    typing.setFontWeight(level > 0 ? QFont::Bold : QFont::Normal);
    TextEdit->mergeCurrentCharFormat(typing);
}

void TMarkdownEditor::ToggleList(int style) {
    QTextCursor cursor = TextEdit->textCursor();
    cursor.beginEditBlock();
    QTextList* list = cursor.currentList();
    if (list && list->format().style() == style) {
        for (const QTextBlock& block : SelectedBlocks(cursor)) {
            if (QTextList* own = block.textList())
                own->remove(block);
            QTextBlockFormat format = block.blockFormat();
            format.setIndent(0);
            QTextCursor(block).setBlockFormat(format);
        }
    } else if (list) {
        QTextListFormat format = list->format();
        format.setStyle(static_cast<QTextListFormat::Style>(style));
        list->setFormat(format);
    } else {
        for (const QTextBlock& block : SelectedBlocks(cursor)) {
            QTextBlockFormat format = block.blockFormat();
            if (format.headingLevel() > 0) {
                format.setHeadingLevel(0);
                QTextCursor at(block);
                at.setBlockFormat(format);
                QTextCharFormat chars;
                chars.setProperty(QTextFormat::FontSizeAdjustment, 0);
                chars.setFontWeight(QFont::Normal);
                at.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
                at.mergeCharFormat(chars);
            }
        }
        QTextListFormat format;
        format.setStyle(static_cast<QTextListFormat::Style>(style));
        format.setIndent(1);
        cursor.createList(format);
    }
    cursor.endEditBlock();
}

void TMarkdownEditor::BulletsClick() {
    ToggleList(QTextListFormat::ListDisc);
}

void TMarkdownEditor::NumbersClick() {
    ToggleList(QTextListFormat::ListDecimal);
}

void TMarkdownEditor::QuoteClick() {
    QTextCursor cursor = TextEdit->textCursor();
    const bool quoted = cursor.blockFormat().intProperty(QTextFormat::BlockQuoteLevel) > 0;
    cursor.beginEditBlock();
    for (const QTextBlock& block : SelectedBlocks(cursor)) {
        QTextBlockFormat format = block.blockFormat();
        if (quoted) {
            format.clearProperty(QTextFormat::BlockQuoteLevel);
            format.setLeftMargin(0);
            format.setRightMargin(0);
        } else {
            format.setProperty(QTextFormat::BlockQuoteLevel, 1);
            format.setLeftMargin(QuoteIndent);
            format.setRightMargin(QuoteIndent);
        }
        QTextCursor(block).setBlockFormat(format);
    }
    cursor.endEditBlock();
}

void TMarkdownEditor::LineClick() {
    QTextCursor cursor = TextEdit->textCursor();
    cursor.beginEditBlock();
    cursor.clearSelection();
    if (!cursor.block().text().isEmpty()) {
        cursor.movePosition(QTextCursor::EndOfBlock);
        cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
    }
    if (QTextList* list = cursor.currentList())
        list->remove(cursor.block());
    QTextBlockFormat line;
    line.setProperty(QTextFormat::BlockTrailingHorizontalRulerWidth,
                     QTextLength(QTextLength::PercentageLength, 100));
    cursor.setBlockFormat(line);
    cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
    cursor.endEditBlock();
    TextEdit->setTextCursor(cursor);
}

// ---- Links

const TSitePages& TMarkdownEditor::Site() {
    if (!FSiteRead) {
        FSite = FReadSite ? FReadSite() : TSitePages();
        FSiteRead = true;
    }
    return FSite;
}

std::string TMarkdownEditor::PageHref(int item, int index) {
    const TSiteColumn* column = Site().FindColumn(item);
    if (!column || index < 0 || index >= int(column->Pages.size()))
        return std::string();
    const TSitePage& page = column->Pages[std::size_t(index)];
    // An id edited by hand into something no link can name gets a new one, as a missing one;
    // so does an id copied with its page, which links would take to the page before.
    const bool named = IsPageId(page.Id);
    if (named && Site().FindById(page.Id) == &page)
        return "page:" + page.Id;
    for (const TPageIdToAssign& pending : FPendingIds)
        if (pending.Item == item && pending.Index == index)
            return "page:" + pending.Id;
    FPendingIds.push_back({item, index, NewPageId(), named ? page.Id : std::string()});
    return "page:" + FPendingIds.back().Id;
}

TLinkChoice TMarkdownEditor::ChoiceOf(const QString& href, const QString& text) {
    TLinkChoice choice;
    choice.Text = text;
    if (href.startsWith(PageScheme)) {
        choice.Kind = TLinkKind::Page;
        const std::string id = StdName(href, PageScheme);
        if (const TSitePage* page = Site().FindById(id)) {
            choice.Item = page->Item;
            choice.Index = page->Index;
        }
        for (const TPageIdToAssign& pending : FPendingIds)
            if (pending.Id == id) {
                choice.Item = pending.Item;
                choice.Index = pending.Index;
            }
    } else if (href.startsWith(DownloadScheme)) {
        choice.Kind = TLinkKind::Download;
        const std::string name = StdName(href, DownloadScheme);
        const auto pending = FPendingDownloads.find(name);
        choice.File =
            QText(pending != FPendingDownloads.end() ? pending->second : FDownloadsPath + name);
    } else if (href.startsWith(MailScheme)) {
        choice.Kind = TLinkKind::EMail;
        choice.Address = href.mid(MailScheme.size());
    } else {
        choice.Address = href;
    }
    return choice;
}

QString TMarkdownEditor::DescribeLink(const QString& href) {
    if (href.startsWith(PageScheme)) {
        const std::string id = StdName(href, PageScheme);
        const TSitePage* page = Site().FindById(id);
        for (const TPageIdToAssign& pending : FPendingIds)
            if (pending.Id == id) {
                if (const TSiteColumn* column = Site().FindColumn(pending.Item);
                    column && pending.Index < int(column->Pages.size()))
                    page = &column->Pages[std::size_t(pending.Index)];
            }
        if (!page)
            return QStringLiteral("A page that is no longer in the site");
        const TSiteColumn* column = Site().FindColumn(page->Item);
        return QStringLiteral("Page \u201C") + QText(page->Title) +
               QStringLiteral("\u201D in \u201C") + QText(column ? column->Title : "") +
               QStringLiteral("\u201D");
    }
    if (href.startsWith(DownloadScheme))
        return QStringLiteral("Download ") + QText(StdName(href, DownloadScheme));
    if (href.startsWith(MailScheme))
        return QStringLiteral("E-mail to ") + href.mid(MailScheme.size());
    return href;
}

void TMarkdownEditor::LinkClick() {
    QTextCursor cursor = TextEdit->textCursor();
    QString href = cursor.charFormat().isAnchor() ? cursor.charFormat().anchorHref() : QString();
    if (!cursor.hasSelection() && !href.isEmpty()) {
        // The whole link the cursor stands in.
        const QTextBlock block = cursor.block();
        int start = -1;
        int end = -1;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const bool same = fragment.charFormat().anchorHref() == href;
            const int from = fragment.position();
            const int to = from + fragment.length();
            if (same && start < 0)
                start = from;
            if (same)
                end = to;
            if (!same && start >= 0) {
                if (cursor.position() >= start && cursor.position() <= end)
                    break;
                start = end = -1;
            }
        }
        if (start >= 0) {
            cursor.setPosition(start);
            cursor.setPosition(end, QTextCursor::KeepAnchor);
        }
    }
    const QString selected = cursor.selectedText().replace(QChar::ParagraphSeparator, u' ');
    const TLinkChoice shown = ChoiceOf(href, selected);
    TFormLink form(Prompter, Site(), shown, !href.isEmpty(), window());
    if (form.exec() != QDialog::Accepted)
        return;
    const TLinkChoice choice = form.Choice();
    cursor.beginEditBlock();
    if (choice.Remove) {
        QTextCharFormat plain = cursor.charFormat();
        plain.setAnchor(false);
        plain.clearProperty(QTextFormat::AnchorHref);
        plain.clearProperty(QTextFormat::TextUnderlineStyle);
        plain.clearForeground();
        if (cursor.hasSelection())
            cursor.setCharFormat(plain);
        cursor.endEditBlock();
        return;
    }
    QString target;
    QString shownText;
    switch (choice.Kind) {
    case TLinkKind::Address:
        target = choice.Address;
        shownText = choice.Address;
        break;
    case TLinkKind::EMail:
        target = choice.Address.isEmpty() || choice.Address.startsWith(MailScheme)
                     ? choice.Address
                     : MailScheme + choice.Address;
        shownText = choice.Address;
        break;
    case TLinkKind::Page: {
        target = QText(PageHref(choice.Item, choice.Index));
        if (const TSiteColumn* column = Site().FindColumn(choice.Item);
            column && choice.Index >= 0 && choice.Index < int(column->Pages.size()))
            shownText = QText(column->Pages[std::size_t(choice.Index)].Title);
        break;
    }
    case TLinkKind::Download: {
        const std::string path = StdText(choice.File);
        if (path.empty())
            break;
        std::string name;
        if (LiesInFolder(path, FDownloadsPath)) {
            name = NameInPath(path);
        } else {
            if (!IsPlainFile(path)) {
                cursor.endEditBlock();
                Prompter.Information(QStringLiteral("The file cannot be read: ") + choice.File);
                return;
            }
            for (const auto& [pendingName, source] : FPendingDownloads)
                if (source == path)
                    name = pendingName;
            if (name.empty()) {
                name = FreeName(FDownloadsPath, ExtensionInPath(path), FPendingDownloads);
                FPendingDownloads[name] = path;
            }
        }
        target = SiteHref(DownloadScheme, name);
        shownText = QText(NameInPath(path));
        break;
    }
    }
    if (target.isEmpty()) {
        cursor.endEditBlock();
        return;
    }
    const QString text = choice.Text.trimmed().isEmpty() ? shownText : choice.Text;
    QTextCharFormat link;
    link.setAnchor(true);
    link.setAnchorHref(target);
    link.setFontUnderline(true);
    link.setForeground(palette().link());
    if (cursor.hasSelection() && cursor.selectedText() == text) {
        cursor.mergeCharFormat(link);
    } else {
        QTextCharFormat format = cursor.charFormat();
        format.merge(link);
        cursor.insertText(text, format);
    }
    cursor.endEditBlock();
    cursor.clearSelection();
    TextEdit->setTextCursor(cursor);
    // What is typed next is no part of the link.
    QTextCharFormat after = TextEdit->currentCharFormat();
    after.setAnchor(false);
    after.clearProperty(QTextFormat::AnchorHref);
    after.clearProperty(QTextFormat::TextUnderlineStyle);
    after.setFontUnderline(false);
    after.clearForeground();
    TextEdit->setCurrentCharFormat(after);
}

// ---- Pictures

QImage TMarkdownEditor::PictureOf(const QString& name) {
    if (const auto shown = FShown.find(name); shown != FShown.end())
        return shown->second;
    QImage image;
    try {
        const std::string stdName = StdText(name);
        const auto pending = FPendingPictures.find(stdName);
        const std::string path = FImagesPath + stdName;
        const TPicture picture = pending != FPendingPictures.end()
                                     ? DecodePicture(pending->second, path)
                                     : LoadPicture(path);
        image = QImage(picture.Pixels.data(), picture.Width, picture.Height,
                       static_cast<qsizetype>(picture.Width) * 4, QImage::Format_RGBA8888)
                    .copy();
        if (image.width() > ShownPictureWidth)
            image = image.scaledToWidth(ShownPictureWidth, Qt::SmoothTransformation);
    } catch (const std::exception&) {
        image = QImage(); // shown as a missing picture
    }
    FShown[name] = image;
    return image;
}

void TMarkdownEditor::PictureClick() {
    const QString picked =
        Prompter.OpenFile(QString::fromLatin1(PictureDialogCaption),
                          FileDialogFolder(TFileKind::Picture), QtFileFilter(PictureFileFilter));
    if (picked.isEmpty())
        return;
    RememberPickedFile(TFileKind::Picture, picked);
    const std::string path = StdText(picked);
    std::string bytes;
    QString refusal;
    try {
        bytes = ReadPictureBytes(path, TPictureLinks::Follow);
        DecodePicture(bytes, path);
    } catch (const TError& error) {
        refusal = QString::fromUtf8(error.what());
    } catch (const std::exception&) {
        refusal = QText("Cannot load the picture (" + path + ")");
    }
    if (!refusal.isEmpty()) {
        Prompter.Information(refusal);
        return;
    }
    const bool inImages = LiesInFolder(path, FImagesPath);
    const std::string name = inImages
                                 ? NameInPath(path)
                                 : FreeName(FImagesPath, ExtensionInPath(path), FPendingPictures);
    TFormPictureText ask(QString(), window());
    if (ask.exec() != QDialog::Accepted)
        return;
    if (!inImages)
        FPendingPictures[name] = std::move(bytes);
    FShown.erase(QText(name));
    QTextImageFormat image;
    image.setName(SiteHref(ImageScheme, name));
    image.setProperty(QTextFormat::ImageAltText, ask.Text());
    QTextCursor cursor = TextEdit->textCursor();
    cursor.insertImage(image);
    TextEdit->setTextCursor(cursor);
}

// The formatted text editor: what each tool button and key writes, read back the same; the
// writer's escapes; what a paste keeps; turning an as-typed text into a formatted one; and
// the page and hotspot dialogs with a formatted text (pictures and downloads copied on OK
// only, page ids saved in the linked page's column).

#include "ContentTestSupport.h"

#include "app/Startup.h"
#include "model/ColumnInUse.h"
#include "model/PageId.h"
#include "ui/FHotspot.h"
#include "ui/FLink.h"
#include "ui/FMain.h"
#include "ui/FPage.h"
#include "ui/FPictureText.h"
#include "ui/MarkdownEditor.h"
#include "ui/MarkdownTextEdit.h"
#include "ui/MarkdownWriter.h"
#include "ui/MultiLineText.h"

#include "generator/MarkdownRenderer.h"
#include "generator/SiteTextTargets.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolButton>
#include <QWebEngineView>

#include <functional>

namespace {

// Answers the next modal dialog of type T from inside its event loop; one that does not come
// within five seconds, or another one, is rejected.
template <typename T> std::shared_ptr<bool> AnswerNext(std::function<void(T*)> answer) {
    auto answered = std::make_shared<bool>(false);
    auto* timer = new QTimer;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* dialog = qobject_cast<T*>(modal)) {
            timer->stop();
            timer->deleteLater();
            answer(dialog);
            *answered = true;
        } else if (clock.elapsed() > 5000 || (modal && !qobject_cast<TDialogForm*>(modal))) {
            timer->stop();
            timer->deleteLater();
            if (auto* other = qobject_cast<QDialog*>(modal))
                other->reject();
        }
    });
    timer->start(10);
    return answered;
}

// Selects the first occurrence of text (the whole text when empty) in the editor.
void Select(TMarkdownEditor& editor, const QString& text) {
    QTextCursor cursor(editor.TextEdit->document());
    if (text.isEmpty()) {
        cursor.select(QTextCursor::Document);
    } else {
        cursor = editor.TextEdit->document()->find(text);
        QVERIFY2(!cursor.isNull(), qPrintable(text));
    }
    editor.TextEdit->setTextCursor(cursor);
}

QString Rewritten(const QString& markdown) {
    QTextDocument document;
    ReadMarkdown(document, markdown);
    return MarkdownFromDocument(document);
}

// A site of two columns for the links: "News" with "First" and "Second" (the column in use
// in the page dialog), and "Shop" with "Offer".
TSitePages SampleSite() {
    TSitePages site;
    site.Columns.push_back({0, "News", {{0, 0, "First", "abcd2345"}, {0, 1, "Second", ""}}});
    site.Columns.push_back({2, "Shop", {{2, 0, "Offer", ""}}});
    return site;
}

// Adds the column "Shop" with the page "Offer" (menu item 2) to the fixture's project.
std::string AddShop(TContentFixture& f) {
    TDMenuItem* item = f.Project().AddMenuItem(false);
    item->TITLE = "Shop";
    f.Project().Save();
    std::string file = f.Project().ColumnFile(f.Project().MenuCount - 1);
    TDColumn shop(file, f.Workspace.XMLDoc);
    shop.AddPage()->TITLE = "Offer";
    shop.Save();
    return file;
}

// Links the selection to a page, chosen by column and place.
void LinkToPage(TMarkdownEditor& editor, int column, int page) {
    auto answered = AnswerNext<TFormLink>([=](TFormLink* d) {
        d->ComboBoxKind->setCurrentIndex(int(TLinkKind::Page));
        d->ComboBoxColumn->setCurrentIndex(column);
        d->ListPages->setCurrentRow(page);
        d->ButtonOK->click();
    });
    editor.ToolLink->click();
    QVERIFY(*answered);
}

// Puts a picture at the end of the text.
void AddPicture(TMarkdownEditor& editor, TFieldPrompter& prompter, const std::string& path,
                const QString& alt) {
    editor.TextEdit->moveCursor(QTextCursor::End);
    prompter.Files.push_back(Q(path));
    auto answered = AnswerNext<TFormPictureText>([=](TFormPictureText* d) {
        d->EditText->setText(alt);
        d->ButtonOK->click();
    });
    editor.ToolPicture->click();
    QVERIFY(*answered);
}

} // namespace

class TMarkdownEditorTest : public QObject {
    Q_OBJECT

  private slots:
    void toolButtonsAndKeysWriteWhatReadsBack();
    void linksToAddressesPagesAndDownloads();
    void linkDialogTakesOnlyWhatThePagesLinkTo();
    void fileNamesAreWrittenSoThatTheyReadBack();
    void picturesAreCopiedOnStoreOnly();
    void anUnchangedTextIsStoredAsItWas();
    void tablesCodeAndStrikethroughOutliveAnEdit();
    void writerEscapesWhatWouldMarkSomething();
    void pasteKeepsOnlyWhatATextCanHold();
    void typedTextsTurnIntoMarkdown();
    void toolsAreNamedAndInTheTabOrder();
    void pageDialogFormatsLinksAndPictures();
    void convertShowsTheResultAndCancelForgetsIt();
    void convertLeadsTheSitesOwnLinksToTheirTargets();
    void hotspotDialogSavesTheLinkedPagesId();
    void undoTakesBackTheTextAndTheLinkedPagesId();
};

void TMarkdownEditorTest::toolButtonsAndKeysWriteWhatReadsBack() {
    TContentFixture f;
    TMarkdownEditor editor(f.Prompter);
    editor.resize(600, 300);
    // The keys reach the editor in the active window.
    editor.show();
    QVERIFY(QTest::qWaitForWindowActive(&editor));
    const struct {
        const char* Start;
        const char* Selected; // empty: everything
        QToolButton* TMarkdownEditor::*Tool;
        QKeyCombination Key;
        const char* Expected;
    } cases[] = {
        {"one two three", "two", &TMarkdownEditor::ToolBold, Qt::CTRL | Qt::Key_B,
         "one **two** three"},
        {"one **two** three", "two", &TMarkdownEditor::ToolBold, Qt::CTRL | Qt::Key_B,
         "one two three"},
        {"one two three", "two three", &TMarkdownEditor::ToolItalic, Qt::CTRL | Qt::Key_I,
         "one *two three*"},
        {"**one two**", "two", &TMarkdownEditor::ToolItalic, Qt::CTRL | Qt::Key_I, "**one *two***"},
        {"Title\n\ntext", "Title", &TMarkdownEditor::ToolHeading1, Qt::CTRL | Qt::Key_1,
         "# Title\n\ntext"},
        {"Title *it*\n\ntext", "Title", &TMarkdownEditor::ToolHeading2, Qt::CTRL | Qt::Key_2,
         "## Title *it*\n\ntext"},
        {"# Title\n\ntext", "Title", &TMarkdownEditor::ToolPlain, Qt::CTRL | Qt::Key_0,
         "Title\n\ntext"},
        {"> quoted\n\n- item", "", &TMarkdownEditor::ToolPlain, Qt::CTRL | Qt::Key_0,
         "quoted\n\nitem"},
        {"one\n\ntwo", "", &TMarkdownEditor::ToolBullets, Qt::CTRL | Qt::SHIFT | Qt::Key_8,
         "- one\n- two"},
        {"- one\n- two", "", &TMarkdownEditor::ToolBullets, Qt::CTRL | Qt::SHIFT | Qt::Key_8,
         "one\n\ntwo"},
        {"one\n\ntwo", "", &TMarkdownEditor::ToolNumbers, Qt::CTRL | Qt::SHIFT | Qt::Key_7,
         "1. one\n2. two"},
        {"- one\n- two", "two", &TMarkdownEditor::ToolNumbers, Qt::CTRL | Qt::SHIFT | Qt::Key_7,
         "1. one\n2. two"},
        {"said\n\nthis", "said", &TMarkdownEditor::ToolQuote, Qt::CTRL | Qt::SHIFT | Qt::Key_9,
         "> said\n\nthis"},
        {"> said\n>\n> this", "", &TMarkdownEditor::ToolQuote, Qt::CTRL | Qt::SHIFT | Qt::Key_9,
         "said\n\nthis"},
        {"above", "above", &TMarkdownEditor::ToolLine, Qt::CTRL | Qt::SHIFT | Qt::Key_L,
         "above\n\n---"},
    };
    for (const auto& c : cases) {
        for (const bool byKey : {false, true}) {
            const QString what = QString::fromUtf8(c.Start) + (byKey ? " (key)" : " (button)");
            editor.Show(QString::fromUtf8(c.Start), f.Images(), f.Downloads(), {});
            Select(editor, QString::fromUtf8(c.Selected));
            if (byKey) {
                editor.TextEdit->setFocus();
                QTest::keyClick(editor.TextEdit, c.Key.key(), c.Key.keyboardModifiers());
            } else {
                (editor.*c.Tool)->click();
            }
            QVERIFY2(editor.Markdown() == QString::fromUtf8(c.Expected),
                     qPrintable(what + " gave " + editor.Markdown()));
            // Read back, the text is written the same.
            QCOMPARE(Rewritten(editor.Markdown()), editor.Markdown());
        }
    }
    // The buttons of what applies at the cursor show pressed.
    editor.Show(QStringLiteral("# Head\n\n- **bold** *it*\n\n> said"), f.Images(), f.Downloads(),
                {});
    const auto pressed = [&editor](const QString& at) {
        QTextCursor cursor = editor.TextEdit->document()->find(at);
        cursor.clearSelection();
        editor.TextEdit->setTextCursor(cursor);
        QStringList names;
        for (QToolButton* tool : editor.findChildren<QToolButton*>())
            if (tool->isChecked())
                names << tool->objectName();
        names.sort();
        return names.join(u' ');
    };
    QCOMPARE(pressed(QStringLiteral("Head")), QStringLiteral("ToolHeading1"));
    QCOMPARE(pressed(QStringLiteral("bold")), QStringLiteral("ToolBold ToolBullets"));
    QCOMPARE(pressed(QStringLiteral("it")), QStringLiteral("ToolBullets ToolItalic"));
    QCOMPARE(pressed(QStringLiteral("said")), QStringLiteral("ToolQuote"));

    // Typing on after a heading and a line.
    editor.Show(QString(), f.Images(), f.Downloads(), {});
    editor.ToolHeading1->click();
    QTest::keyClicks(editor.TextEdit, QStringLiteral("Top"));
    QTest::keyClick(editor.TextEdit, Qt::Key_Return);
    editor.ToolPlain->click();
    QTest::keyClicks(editor.TextEdit, QStringLiteral("*plain* 1. text"));
    editor.ToolLine->click();
    QTest::keyClicks(editor.TextEdit, QStringLiteral("after"));
    QCOMPARE(editor.Markdown(), QStringLiteral("# Top\n\n\\*plain\\* 1. text\n\n---\n\nafter"));
    QCOMPARE(editor.StoredText(),
             std::string("# Top#$D#$A#$D#$A\\*plain\\* 1. text#$D#$A#$D#$A---#$D#$A#$D#$Aafter"));
}

void TMarkdownEditorTest::linksToAddressesPagesAndDownloads() {
    TContentFixture f;
    TMarkdownEditor editor(f.Prompter);
    editor.show();
    QVERIFY(QTest::qWaitForWindowActive(&editor));
    int reads = 0;
    const auto site = [&reads] {
        ++reads;
        return SampleSite();
    };
    const std::string elsewhere = f.Temp / "Files/Price List.pdf";
    WriteFileBytes(elsewhere, "prices");
    WriteFileBytes(f.Downloads() + "Here.zip", "zip");
    const struct {
        const char* Selected;
        std::function<void(TFormLink*)> Fill;
        const char* Expected;
    } cases[] = {
        {"see", [](TFormLink* d) { d->EditAddress->setText("https://example.org/a b"); },
         "[see](<https://example.org/a b>) this"},
        {"see",
         [](TFormLink* d) {
             d->ComboBoxKind->setCurrentIndex(int(TLinkKind::EMail));
             d->EditAddress->setText("me@example.org");
         },
         "[see](mailto:me@example.org) this"},
        // The first page has an id; the link shows the page's title when nothing is selected.
        {"",
         [](TFormLink* d) {
             d->EditText->clear();
             d->ComboBoxKind->setCurrentIndex(int(TLinkKind::Page));
             d->ListPages->setCurrentRow(0);
         },
         "[First](page:abcd2345)"},
        {"this",
         [&](TFormLink* d) {
             d->ComboBoxKind->setCurrentIndex(int(TLinkKind::Download));
             f.Prompter.Files.push_back(Q(f.Downloads() + "Here.zip"));
             d->ButtonFile->click();
         },
         "see [this](download:Here.zip)"},
    };
    for (const auto& c : cases) {
        editor.Show(QStringLiteral("see this"), f.Images(), f.Downloads(), site);
        Select(editor, QString::fromUtf8(c.Selected));
        auto answered = AnswerNext<TFormLink>([&](TFormLink* d) {
            c.Fill(d);
            d->ButtonOK->click();
        });
        editor.ToolLink->click();
        QVERIFY(*answered);
        QCOMPARE(editor.Markdown(), QString::fromUtf8(c.Expected));
        QCOMPARE(Rewritten(editor.Markdown()), editor.Markdown());
        QVERIFY(editor.PageIdsToAssign().empty());
    }
    QCOMPARE(reads, 4); // once a showing, when the first link needs the site

    // A page without an id gets one, made once however often it is linked; the link in the
    // text reads readably where the pointer rests.
    editor.Show(QStringLiteral("one two"), f.Images(), f.Downloads(), site);
    for (const char* word : {"one", "two"}) {
        Select(editor, QString::fromLatin1(word));
        auto answered = AnswerNext<TFormLink>([](TFormLink* d) {
            d->ComboBoxKind->setCurrentIndex(int(TLinkKind::Page));
            d->ComboBoxColumn->setCurrentIndex(1);
            QCOMPARE(d->ListPages->item(0)->text(), QStringLiteral("Offer"));
            d->ButtonOK->click();
        });
        editor.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&editor));
        editor.TextEdit->setFocus();
        QTest::keyClick(editor.TextEdit, Qt::Key_K, Qt::ControlModifier);
        QVERIFY(*answered);
    }
    const std::vector<TPageIdToAssign> ids = editor.PageIdsToAssign();
    QCOMPARE(ids.size(), std::size_t(1));
    QCOMPARE(ids[0].Item, 2);
    QCOMPARE(ids[0].Index, 0);
    QVERIFY(IsPageId(ids[0].Id));
    const QString href = QStringLiteral("page:") + Q(ids[0].Id);
    QCOMPARE(editor.Markdown(), QStringLiteral("[one](%1) [two](%1)").arg(href));
    QCOMPARE(editor.DescribeLink(href),
             QStringLiteral("Page \u201COffer\u201D in \u201CShop\u201D"));
    QCOMPARE(editor.DescribeLink("page:gone2345"),
             QStringLiteral("A page that is no longer in the site"));

    // Ctrl+K on a link shows it and can take it away; once no link names the page, it needs
    // no id.
    for (const char* word : {"one", "two"}) {
        QTextCursor cursor = editor.TextEdit->document()->find(QString::fromLatin1(word));
        cursor.clearSelection();
        editor.TextEdit->setTextCursor(cursor);
        auto answered = AnswerNext<TFormLink>([&](TFormLink* d) {
            QCOMPARE(d->EditText->text(), QString::fromLatin1(word));
            QCOMPARE(d->ComboBoxKind->currentIndex(), int(TLinkKind::Page));
            QCOMPARE(d->ComboBoxColumn->currentText(), QStringLiteral("Shop"));
            QVERIFY(d->ButtonRemove->isEnabled());
            d->ButtonRemove->click();
        });
        editor.ToolLink->click();
        QVERIFY(*answered);
    }
    QCOMPARE(editor.Markdown(), QStringLiteral("one two"));
    QVERIFY(editor.PageIdsToAssign().empty());

    // A download from elsewhere is named now and copied by Store; Cancel of the dialog
    // changes nothing.
    editor.Show(QStringLiteral("prices"), f.Images(), f.Downloads(), site);
    Select(editor, QStringLiteral("prices"));
    auto cancelled = AnswerNext<TFormLink>([](TFormLink* d) {
        d->EditAddress->setText("https://example.org/");
        d->ButtonCancel->click();
    });
    editor.ToolLink->click();
    QVERIFY(*cancelled);
    QCOMPARE(editor.Markdown(), QStringLiteral("prices"));
    auto answered = AnswerNext<TFormLink>([&](TFormLink* d) {
        d->ComboBoxKind->setCurrentIndex(int(TLinkKind::Download));
        d->EditFile->setText(Q(elsewhere));
        d->ButtonOK->click();
    });
    editor.ToolLink->click();
    QVERIFY(*answered);
    QCOMPARE(editor.Markdown(), QStringLiteral("[prices](download:File1.pdf)"));
    QVERIFY(!FileExists(f.Downloads() + "File1.pdf"));
    // Taken meanwhile: the copy takes the next free name.
    WriteFileBytes(f.Downloads() + "File1.pdf", "other");
    QCOMPARE(editor.Store(), std::string("[prices](download:File2.pdf)"));
    QCOMPARE(ReadFileBytes(f.Downloads() + "File2.pdf"), std::string("prices"));
    QCOMPARE(ReadFileBytes(f.Downloads() + "File1.pdf"), std::string("other"));
}

// The pages link only to web and e-mail addresses, telephone numbers and anchors (and the
// site's own targets): the dialog completes a bare "www." address and refuses the rest.
void TMarkdownEditorTest::linkDialogTakesOnlyWhatThePagesLinkTo() {
    TContentFixture f;
    TMarkdownEditor editor(f.Prompter);
    const struct {
        const char* Address;
        const char* Expected; // empty: refused, the text unchanged
    } cases[] = {
        {"https://example.org/", "[see](https://example.org/) this"},
        {"www.example.org", "[see](https://www.example.org) this"},
        {" WWW.example.org/a ", "[see](https://WWW.example.org/a) this"},
        {"tel:+4930", "[see](tel:+4930) this"},
        {"#top", "[see](#top) this"},
        {"ftp://example.org/f", ""},
        {"example.org", ""},
        {"javascript:alert(1)", ""},
        {"page:abcd2345", ""},
    };
    for (const auto& c : cases) {
        editor.Show(QStringLiteral("see this"), f.Images(), f.Downloads(), SampleSite);
        Select(editor, QStringLiteral("see"));
        bool refused = false;
        auto answered = AnswerNext<TFormLink>([&](TFormLink* d) {
            d->EditAddress->setText(QString::fromUtf8(c.Address));
            d->ButtonOK->click();
            refused = d->isVisible();
            if (refused) {
                QVERIFY(d->LabelProblem->isVisible());
                QVERIFY(d->LabelProblem->text().startsWith(
                    QStringLiteral("The pages cannot link to this address.")));
                d->ButtonCancel->click();
            }
        });
        editor.ToolLink->click();
        QVERIFY(*answered);
        QCOMPARE(refused, *c.Expected == 0);
        QCOMPARE(editor.Markdown(),
                 *c.Expected ? QString::fromUtf8(c.Expected) : QStringLiteral("see this"));
    }
}

// Downloads and pictures whose names hold "#", "?", "%", blanks or letters beyond ASCII: the
// text names them so that the page's address reads back to the same file, and the editor
// shows the picture.
void TMarkdownEditorTest::fileNamesAreWrittenSoThatTheyReadBack() {
    TContentFixture f;
    TMarkdownEditor editor(f.Prompter);
    const struct {
        const char* Name;
        const char* Markdown;
        const char* Html;
    } cases[] = {
        {"a#b.pdf", "see [this](download:a%23b.pdf)", "<p>see <a href=\"a%23b.pdf\">this</a></p>"},
        {"what?.pdf", "see [this](download:what%3F.pdf)",
         "<p>see <a href=\"what%3F.pdf\">this</a></p>"},
        {"100%.pdf", "see [this](download:100%25.pdf)",
         "<p>see <a href=\"100%25.pdf\">this</a></p>"},
        {"Price list.pdf", "see [this](download:Price%20list.pdf)",
         "<p>see <a href=\"Price%20list.pdf\">this</a></p>"},
        {"Gr\u00FC\u00DFe.pdf", "see [this](download:Gr%C3%BC%C3%9Fe.pdf)",
         "<p>see <a href=\"Gr%C3%BC%C3%9Fe.pdf\">this</a></p>"},
        {"My photo #1.gif", "see this![me](image:My%20photo%20%231.gif)",
         "<p>see this<img src=\"My%20photo%20%231.gif\" alt=\"me\" width=\"48\" "
         "height=\"32\"></p>"},
    };
    for (const auto& c : cases) {
        const std::string name = c.Name;
        editor.Show(QStringLiteral("see this"), f.Images(), f.Downloads(), SampleSite);
        if (name.ends_with(".gif")) {
            f.Put("bands.gif", f.Images() + name);
            AddPicture(editor, f.Prompter, f.Images() + name, QStringLiteral("me"));
            const QImage shown =
                static_cast<QTextEdit*>(editor.TextEdit)
                    ->loadResource(QTextDocument::ImageResource,
                                   QUrl(QStringLiteral("image:My%20photo%20%231.gif")))
                    .value<QImage>();
            QVERIFY(!shown.isNull());
        } else {
            WriteFileBytes(f.Downloads() + name, "x");
            Select(editor, QStringLiteral("this"));
            auto answered = AnswerNext<TFormLink>([&](TFormLink* d) {
                d->ComboBoxKind->setCurrentIndex(int(TLinkKind::Download));
                d->EditFile->setText(Q(f.Downloads() + name));
                d->ButtonOK->click();
            });
            editor.ToolLink->click();
            QVERIFY(*answered);
            QCOMPARE(editor.DescribeLink(editor.Markdown().section(u'(', 1).chopped(1)),
                     QStringLiteral("Download ") + Q(name));
        }
        QCOMPARE(editor.Markdown(), QString::fromUtf8(c.Markdown));
        QCOMPARE(Rewritten(editor.Markdown()), editor.Markdown());
        TSiteTextTargets targets(f.Project(), false);
        QCOMPARE(Q(TMarkdownRenderer(targets).Html(editor.StoredText())),
                 QString::fromUtf8(c.Html));
    }
}

// Opening a page and pressing OK changes nothing, whatever the text holds that the editor
// cannot write; raw HTML is shown as the text the pages show.
void TMarkdownEditorTest::anUnchangedTextIsStoredAsItWas() {
    TContentFixture f;
    TMarkdownEditor editor(f.Prompter);
    const std::string texts[] = {
        "| a | b |#$D#$A|---|--:|#$D#$A| 1 | 2 |",
        "~~gone~~ and `code`#$D#$A#$D#$A    indented code",
        "3. three#$D#$A4. four",
        "[link](https://example.org \"title\")",
        "a  #$D#$Ab",
        "a <!-- c --> b <script>x</script> <b>raw</b> 1 < 2",
    };
    for (const std::string& text : texts) {
        editor.SetStoredText(text, f.Images(), f.Downloads(), {});
        QCOMPARE(editor.Store(), text);
    }
    editor.SetStoredText("<b>raw</b>", f.Images(), f.Downloads(), {});
    QCOMPARE(editor.TextEdit->toPlainText(), QStringLiteral("<b>raw</b>"));
    // Changed, the text is written anew.
    editor.TextEdit->moveCursor(QTextCursor::End);
    editor.TextEdit->insertPlainText(QStringLiteral("!"));
    QCOMPARE(editor.Store(), std::string("\\<b>raw\\</b>!"));
}

// A text with a table, code, strikethrough or underscores, edited: written again, it keeps
// them and the pages show the same; written again once more, it keeps its bytes.
void TMarkdownEditorTest::tablesCodeAndStrikethroughOutliveAnEdit() {
    TContentFixture f;
    TMarkdownEditor editor(f.Prompter);
    const struct {
        const char* Stored;
        const char* Written; // the same with "!" typed at the end
        const char* Typed;   // "!" as the stored text has it: after a table, a paragraph
    } cases[] = {
        {"| a | b |#$D#$A|---|--:|#$D#$A| 1 | 2 |", "| a | b |\n| --- | --: |\n| 1 | 2 |\n\n!",
         "#$D#$A#$D#$A!"},
        {"Before#$D#$A#$D#$A| a | *b* | c |#$D#$A|:-:|---|--:|#$D#$A| `x` y | **z** | |#$D#$A"
         "| ~~s~~ | [l](https://x.org) | 3 |#$D#$A#$D#$AAfter",
         "Before\n\n| a | *b* | c |\n| :-: | --- | --: |\n| `x` y | **z** |  |\n"
         "| ~~s~~ | [l](https://x.org) | 3 |\n\nAfter!",
         "!"},
        {"a `co de` and ~~gone~~, ``a`b`` `` `x` `` end",
         "a `co de` and ~~gone~~, ``a`b`` `` `x` `` end!", "!"},
        {"```c#$D#$Aif (a < b)#$D#$A#$D#$A  *x*;#$D#$A```#$D#$A#$D#$Aafter",
         "```c\nif (a < b)\n\n  *x*;\n```\n\nafter!", "!"},
        {"    indented#$D#$A    ````#$D#$A#$D#$Aafter", "`````\nindented\n````\n`````\n\nafter!",
         "!"},
        {"> said#$D#$A>#$D#$A> ```#$D#$A> code#$D#$A> ```#$D#$A#$D#$Aafter",
         "> said\n>\n> ```\n> code\n> ```\n\nafter!", "!"},
        // Read as the pages read them: underscores emphasise, a bare address is no link,
        // "[ ]" no box.
        {"_a_ and __b__, www.example.org a@b.org", "*a* and **b**, www.example.org a@b.org!", "!"},
        {"- [ ] to do", "- \\[ \\] to do!", "!"},
        // A line break by two blanks; a backslash that ends a line of code is no line break.
        {"a  #$D#$Ab", "a\\\nb!", "!"},
        {"> a  #$D#$A> b\\#$D#$A> c", "> a\\\n> b\\\n> c!", "!"},
        {"```#$D#$Acd \\#$D#$A  x#$D#$A```#$D#$A#$D#$A`a\\#$D#$Ab` c",
         "```\ncd \\\n  x\n```\n\n`a\\ b` c!", "!"},
        // An item's later paragraphs, quotes and code stay in it; no number is added.
        {"- a#$D#$A#$D#$A  more#$D#$A- b", "- a\n\n  more\n\n- b!", "!"},
        {"1. x#$D#$A   > q", "1. x\n   > q!", "!"},
        {"1. x#$D#$A   > q#$D#$A   >#$D#$A   > r#$D#$A2. y", "1. x\n   > q\n   >\n   > r\n2. y!",
         "!"},
        {"- a#$D#$A  ```#$D#$A  c#$D#$A  ```#$D#$A- b", "- a\n  ```\n  c\n  ```\n- b!", "!"},
        {"- a#$D#$A  - b#$D#$A#$D#$A    more b#$D#$A#$D#$A  more a#$D#$A- c",
         "- a\n  - b\n\n    more b\n\n  more a\n\n- c!", "!"},
        {"> - a#$D#$A>#$D#$A>   more", "> - a\n>\n>   more!", "!"},
        {"- a#$D#$A  > ```#$D#$A  > - b#$D#$A  >   > c#$D#$A  > ```#$D#$A#$D#$Ad",
         "- a\n  > ```\n  > - b\n  >   > c\n  > ```\n\nd!", "!"},
        {"> one#$D#$A>#$D#$A> > two", "> one\n>\n> > two!", "!"},
        {"[a](https://x \"t \\\"q\\\"\") b", "[a](https://x \"t \\\"q\\\"\") b!", "!"},
    };
    for (const auto& c : cases) {
        editor.SetStoredText(c.Stored, f.Images(), f.Downloads(), {});
        editor.TextEdit->moveCursor(QTextCursor::End);
        editor.TextEdit->insertPlainText(QStringLiteral("!"));
        const std::string stored = editor.Store();
        QCOMPARE(Q(stored), Q(StoredFromMarkdown(QString::fromUtf8(c.Written))));
        QCOMPARE(Rewritten(editor.Markdown()), editor.Markdown());
        TSiteTextTargets targets(f.Project(), false);
        TMarkdownRenderer renderer(targets);
        QCOMPARE(Q(renderer.Html(stored)), Q(renderer.Html(std::string(c.Stored) + c.Typed)));
    }
}

void TMarkdownEditorTest::picturesAreCopiedOnStoreOnly() {
    TContentFixture f;
    TMarkdownEditor editor(f.Prompter);
    editor.Show(QStringLiteral("Look:"), f.Images(), f.Downloads(), {});
    const std::string picked = f.Put("bands.jpg", f.AppImages("Shot.jpg"));
    const std::string inImages = f.Put("bands.gif", f.Images() + "Own.gif");
    const auto insert = [&](const std::string& path, const QString& alt, bool ok) {
        editor.TextEdit->moveCursor(QTextCursor::End);
        f.Prompter.Files.push_back(Q(path));
        auto answered = AnswerNext<TFormPictureText>([=](TFormPictureText* d) {
            d->EditText->setText(alt);
            (ok ? d->ButtonOK : d->ButtonCancel)->click();
        });
        editor.ToolPicture->click();
        QVERIFY(*answered);
    };
    insert(picked, QStringLiteral("Red [and] blue"), true);
    insert(picked, QStringLiteral("never"), false);
    insert(inImages, QStringLiteral("own"), true);
    insert(picked, QStringLiteral("again"), true);
    QCOMPARE(editor.Markdown(), QStringLiteral("Look:![Red \\[and\\] blue](image:File1.jpg)"
                                               "![own](image:Own.gif)![again](image:File2.jpg)"));
    QVERIFY(!FileExists(f.Images() + "File1.jpg"));
    // The pictures show in the text before they are copied.
    QCOMPARE(editor.TextEdit->document()
                 ->resource(QTextDocument::ImageResource, QUrl(QStringLiteral("image:File1.jpg")))
                 .value<QImage>()
                 .size(),
             QSize(48, 32));
    // A file that is no picture is refused, naming it.
    const std::string junk = f.Temp / "Files/junk.jpg";
    WriteFileBytes(junk, "no picture");
    f.Prompter.Files.push_back(Q(junk));
    f.Prompter.TakeCalls();
    editor.ToolPicture->click();
    const QStringList calls = f.Prompter.TakeCalls();
    QVERIFY2(calls.size() == 2 && calls[1].startsWith("Information: ") &&
                 calls[1].contains(Q(junk)),
             qPrintable(calls.join(" | ")));

    // The page's own picture took File1.jpg meanwhile.
    WriteFileBytes(f.Images() + "File1.jpg", "page picture");
    QCOMPARE(editor.Store(), std::string("Look:![Red \\[and\\] blue](image:File3.jpg)"
                                         "![own](image:Own.gif)![again](image:File2.jpg)"));
    QCOMPARE(ReadFileBytes(f.Images() + "File3.jpg"), ReadFileBytes(picked));
    QCOMPARE(ReadFileBytes(f.Images() + "File2.jpg"), ReadFileBytes(picked));
    QCOMPARE(ReadFileBytes(f.Images() + "File1.jpg"), std::string("page picture"));
    // A second Store copies nothing again.
    WriteFileBytes(f.Images() + "File3.jpg", "kept");
    editor.Store();
    QCOMPARE(ReadFileBytes(f.Images() + "File3.jpg"), std::string("kept"));
}

void TMarkdownEditorTest::writerEscapesWhatWouldMarkSomething() {
    // Text typed as it is comes back as it was typed.
    const char* typed[] = {
        "a*b*c _d_ `e` [f](g) <h> ~~i~~ | j \\ k",
        "# not a heading",
        "- not an item",
        "+ not an item",
        "1. not numbered",
        "12) not numbered",
        "> not quoted",
        "===",
        "Tom & Jerry &amp; &#38; &copy;",
        "    four blanks",
        "![not a picture](x)",
    };
    for (const char* text : typed) {
        QTextDocument document;
        document.setPlainText(QString::fromUtf8(text));
        const QString markdown = MarkdownFromDocument(document);
        QTextDocument back;
        ReadMarkdown(back, markdown);
        QVERIFY2(back.toPlainText() == QString::fromUtf8(text).trimmed(),
                 qPrintable(markdown + " read back as " + back.toPlainText()));
        QCOMPARE(Rewritten(markdown), markdown);
    }
    // Markdown as the writer writes it is written again byte for byte.
    const char* written[] = {
        "**bold *both*** and *it*",
        "[**bold link**](https://example.org/) and [**half** link](page:abcd2345)",
        "line\\\nbreak\\\n\\\ntwice",
        "- one\n  - nested\n    1. deep\n- two",
        "1. one\n2. two\n\nafter",
        "> quote\n>\n> - item\n\n## Heading *with* italics",
        "a\n\n---\n\nb",
        "![alt](image:File1.jpg) [x](<a (b).html>)",
        "Tom & Jerry \\&amp;",
    };
    for (const char* text : written)
        QCOMPARE(Rewritten(QString::fromUtf8(text)), QString::fromUtf8(text));
    // Bold and italics next to each other and to punctuation: written so that they read back
    // (punctuation between a word and the marks goes outside them).
    struct TPiece {
        const char* Text;
        bool Bold;
        bool Italic;
    };
    const struct {
        std::vector<TPiece> Pieces;
        const char* Expected;
    } formatted[] = {
        {{{"a", true, false}, {"b", false, true}}, "**a***b*"},
        {{{"a", false, true}, {"b", true, false}}, "*a***b**"},
        {{{"a", true, true}, {"b", true, false}}, "***a*b**"},
        {{{"un", true, false}, {"believable", false, false}}, "**un**believable"},
        {{{"a", false, false}, {".b", true, false}}, "a.**b**"},
        {{{"b.", true, false}, {"c", false, false}}, "**b**.c"},
        {{{"x", false, false}, {"\"q\"", true, false}, {"y", false, false}}, "x\"**q**\"y"},
        {{{"(", false, false}, {"x", false, true}, {")", false, false}}, "(*x*)"},
        {{{"say ", false, false}, {"\"q\"", true, false}, {" now", false, false}},
         "say **\"q\"** now"},
    };
    for (const auto& c : formatted) {
        QTextDocument document;
        QTextCursor cursor(&document);
        for (const TPiece& piece : c.Pieces) {
            QTextCharFormat format;
            format.setFontWeight(piece.Bold ? QFont::Bold : QFont::Normal);
            format.setFontItalic(piece.Italic);
            cursor.insertText(QString::fromUtf8(piece.Text), format);
        }
        const QString markdown = MarkdownFromDocument(document);
        QCOMPARE(markdown, QString::fromUtf8(c.Expected));
        QCOMPARE(Rewritten(markdown), markdown);
    }
    // Empty paragraphs and items are left out; the numbers count the items written.
    const struct {
        const char* Html;
        const char* Expected;
    } gaps[] = {
        {"<ol><li>one</li><li></li><li>three</li></ol>", "1. one\n2. three"},
        {"<p>a</p><p> </p><p></p><p>b</p>", "a\n\nb"},
        {"<ul><li>a<ul><li>b</li></ul></li><li></li><li>c<ul><li>d</li></ul></li></ul>",
         "- a\n  - b\n- c\n  - d"},
    };
    for (const auto& gap : gaps) {
        QTextDocument document;
        document.setHtml(QString::fromUtf8(gap.Html));
        QCOMPARE(MarkdownFromDocument(document), QString::fromUtf8(gap.Expected));
    }
    // Stored with the line break mark.
    QCOMPARE(StoredFromMarkdown(QStringLiteral("a\n\nb")), std::string("a#$D#$A#$D#$Ab"));
    QCOMPARE(MarkdownFromStored("a#$D#$A#$D#$Ab"), QStringLiteral("a\n\nb"));
}

void TMarkdownEditorTest::pasteKeepsOnlyWhatATextCanHold() {
    TContentFixture f;
    TMarkdownEditor editor(f.Prompter);
    const struct {
        const char* Html;
        const char* Expected;
    } cases[] = {
        // A web page: colours, fonts, sizes, scripts and pictures go.
        {"<h2 style='color:red'>Title</h2><p><span style='font-family:Arial;color:blue;"
         "font-size:30px'>Plain <b>bold</b> <em>it</em> <a href='https://x.org/'>web</a> "
         "<a href='javascript:alert(1)'>script</a> <a href='ftp://x.org/f'>ftp</a> "
         "<img src='https://x.org/y.png'></span></p>"
         "<ul><li>one</li><li>two</li></ul><ol><li>first</li></ol>"
         "<table><tr><td>cell</td><td>next</td></tr></table><blockquote>said</blockquote>",
         "## Title\n\nPlain **bold** *it* [web](https://x.org/) script ftp\n\n- one\n- two\n1. "
         "first\n\ncell\n\nnext\n\n> said"},
        // A word processor: its styles as spans.
        {"<p style='margin:0'><span style='font-weight:700'>Strong</span> and <span "
         "style='font-style:italic'>slanted</span></p><h1>Big</h1>",
         "**Strong** and *slanted*\n\n# Big"},
    };
    for (const auto& c : cases) {
        editor.Show(QString(), f.Images(), f.Downloads(), {});
        QMimeData data;
        data.setHtml(QString::fromUtf8(c.Html));
        data.setText(QStringLiteral("plain"));
        editor.TextEdit->insertFromMimeData(&data);
        QCOMPARE(editor.Markdown(), QString::fromUtf8(c.Expected));
    }
    // Plain text stays plain, marks and all.
    editor.Show(QStringLiteral("**x**"), f.Images(), f.Downloads(), {});
    editor.TextEdit->moveCursor(QTextCursor::End);
    QMimeData plain;
    plain.setText(QStringLiteral(" *y*"));
    editor.TextEdit->insertFromMimeData(&plain);
    QCOMPARE(editor.Markdown(), QStringLiteral("**x** \\*y\\*"));
    // Copied from the editor and pasted into another: everything, pictures too.
    editor.Show(QStringLiteral("# Head\n\n**b** ![p](image:Own.gif) [l](page:abcd2345)"),
                f.Images(), f.Downloads(), {});
    Select(editor, QString());
    std::unique_ptr<QMimeData> copied(editor.TextEdit->createMimeDataFromSelection());
    TMarkdownEditor other(f.Prompter);
    other.Show(QString(), f.Images(), f.Downloads(), {});
    other.TextEdit->insertFromMimeData(copied.get());
    QCOMPARE(other.Markdown(), editor.Markdown());
}

void TMarkdownEditorTest::typedTextsTurnIntoMarkdown() {
    const struct {
        const char* Typed;
        const char* Expected;
    } cases[] = {
        {"", ""},
        {"One line", "One line"},
        {"First#$D#$ASecond", "First\\\nSecond"},
        {"Para one#$D#$A#$D#$A  #$D#$APara <b>two</b> &amp; <i>x</i>",
         "Para one\n\nPara **two** & *x*"},
        {"<ul><li>a</li><li>b</li></ul>", "- a\n- b"},
        {"<a href=\"http://example.org/\">site</a> *star*",
         "[site](http://example.org/) \\*star\\*"},
    };
    for (const auto& c : cases) {
        const QString markdown = MarkdownFromTypedText(c.Typed);
        QCOMPARE(markdown, QString::fromUtf8(c.Expected));
        QCOMPARE(Rewritten(markdown), markdown);
    }
}

void TMarkdownEditorTest::toolsAreNamedAndInTheTabOrder() {
    TContentFixture f;
    QWidget window;
    auto* before = new QLineEdit(&window);
    auto* editor = new TMarkdownEditor(f.Prompter, &window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QList<QToolButton*> tools = {
        editor->ToolBold,  editor->ToolItalic,  editor->ToolHeading1, editor->ToolHeading2,
        editor->ToolPlain, editor->ToolBullets, editor->ToolNumbers,  editor->ToolQuote,
        editor->ToolLink,  editor->ToolPicture, editor->ToolLine};
    QSet<QString> names;
    for (QToolButton* tool : tools) {
        QVERIFY(!tool->accessibleName().isEmpty());
        QVERIFY(!tool->accessibleDescription().isEmpty());
        QVERIFY(tool->text().isEmpty()); // no caption to take a dialog's mnemonic
        names.insert(tool->accessibleName());
    }
    QCOMPARE(names.size(), tools.size());
    // Tab goes from the control before through every button to the text.
    before->setFocus();
    for (QToolButton* tool : tools) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(tool));
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(editor->TextEdit));
    // A button keeps working from the keyboard, and gives the text the focus back.
    editor->Show(QStringLiteral("word"), f.Images(), f.Downloads(), {});
    Select(*editor, QStringLiteral("word"));
    editor->ToolBold->setFocus();
    QTest::keyClick(editor->ToolBold, Qt::Key_Space);
    QCOMPARE(editor->Markdown(), QStringLiteral("**word**"));
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(editor->TextEdit));
}

void TMarkdownEditorTest::pageDialogFormatsLinksAndPictures() {
    TContentFixture f;
    const std::string shopFile = AddShop(f);
    const std::string shopBefore = ReadFileBytes(shopFile);
    TColumnInUse column(f.ColumnFile(), f.Workspace.XMLDoc);
    column->Page(0).FORMAT = "Markdown";
    column->Page(0).TEXT = "Hello#$D#$A#$D#$Asee our offer";
    column->Save();
    column->CurrentPage = 0;
    const std::string picked = f.Put("bands.jpg", f.AppImages("Shot.jpg"));
    const std::string other = f.Put("bands.gif", f.AppImages("Other.gif"));
    TFormPage form(f.Workspace, f.Prompter);
    // Formats a page, links another page and puts two pictures in, without a tag typed.
    const auto edit = [&] {
        form.show();
        QVERIFY(form.EditorText->isVisible());
        QVERIFY(!form.MemoText->isVisible());
        QVERIFY(!form.ButtonConvert->isVisible());
        QCOMPARE(form.EditorText->Markdown(), QStringLiteral("Hello\n\nsee our offer"));
        Select(*form.EditorText, QStringLiteral("Hello"));
        form.EditorText->ToolHeading1->click();
        Select(*form.EditorText, QStringLiteral("offer"));
        LinkToPage(*form.EditorText, 1, 0);
        AddPicture(*form.EditorText, f.Prompter, picked, QStringLiteral("Bands"));
        AddPicture(*form.EditorText, f.Prompter, other, QStringLiteral("More bands"));
    };
    edit();
    form.ButtonCancel->click();
    QCOMPARE(TStoredPage(f.ColumnFile(), 0).Page.TEXT,
             std::string("Hello#$D#$A#$D#$Asee our offer"));
    QCOMPARE(ReadFileBytes(shopFile), shopBefore);
    QVERIFY(!FileExists(f.Images() + "File1.jpg"));

    edit();
    form.ButtonOK->click();
    QVERIFY(!form.isVisible());
    const TDPage stored = TStoredPage(f.ColumnFile(), 0).Page;
    QCOMPARE(stored.FORMAT, std::string("Markdown"));
    TXmlDocument document;
    TDColumn shop(shopFile, document);
    const std::string id = shop.Page(0).ID;
    QVERIFY(IsPageId(id));
    QCOMPARE(stored.TEXT, "# Hello#$D#$A#$D#$Asee our [offer](page:" + id +
                              ")![Bands](image:File1.jpg)![More bands](image:File1.gif)");
    QCOMPARE(ReadFileBytes(f.Images() + "File1.jpg"), ReadFileBytes(picked));
    QCOMPARE(ReadFileBytes(f.Images() + "File1.gif"), ReadFileBytes(other));
    QVERIFY(column->Page(0) == stored);

    // Shown again: the link names the page by its title.
    form.show();
    QTextCursor cursor = form.EditorText->TextEdit->document()->find(QStringLiteral("offer"));
    QCOMPARE(form.EditorText->DescribeLink(cursor.charFormat().anchorHref()),
             QStringLiteral("Page \u201COffer\u201D in \u201CShop\u201D"));
    form.ButtonCancel->click();
}

void TMarkdownEditorTest::convertShowsTheResultAndCancelForgetsIt() {
    TContentFixture f;
    const std::string typed = "Line <b>one</b>#$D#$Atwo #$D#$A#$D#$A*star*";
    TColumnInUse column(f.ColumnFile(), f.Workspace.XMLDoc);
    column->Page(1).TEXT = typed;
    column->Save();
    column->CurrentPage = 1;
    const std::string before = ReadFileBytes(f.ColumnFile());
    TFormPage form(f.Workspace, f.Prompter);

    // As typed, OK keeps the text and its format byte for byte.
    form.show();
    QVERIFY(form.MemoText->isVisible());
    QVERIFY(!form.EditorText->isVisible());
    QVERIFY(form.ButtonConvert->isVisible());
    form.ButtonOK->click();
    QCOMPARE(ReadFileBytes(f.ColumnFile()), before);

    // Converted, the result shows before OK; Cancel forgets it.
    form.show();
    form.ButtonConvert->click();
    QVERIFY(form.EditorText->isVisible());
    QVERIFY(!form.MemoText->isVisible());
    QVERIFY(!form.ButtonConvert->isVisible());
    QCOMPARE(form.EditorText->Markdown(), QStringLiteral("Line **one**\\\ntwo\n\n\\*star\\*"));
    form.ButtonCancel->click();
    QCOMPARE(ReadFileBytes(f.ColumnFile()), before);
    QCOMPARE(column->Page(1).FORMAT, std::string());
    form.show();
    QVERIFY(form.MemoText->isVisible());
    QCOMPARE(form.MemoText->StoredText(), typed);

    // OK keeps it.
    form.ButtonConvert->click();
    form.ButtonOK->click();
    const TDPage stored = TStoredPage(f.ColumnFile(), 1).Page;
    QCOMPARE(stored.FORMAT, std::string("Markdown"));
    QCOMPARE(stored.TEXT, std::string("Line **one**\\#$D#$Atwo#$D#$A#$D#$A\\*star\\*"));
    QCOMPARE(stored.TITLE, std::string("Second"));
}

// Converting, the typed text's links to the site's pages, downloads and pictures lead there,
// web addresses stay, and the rest is plain text, as the pages would show it.
void TMarkdownEditorTest::convertLeadsTheSitesOwnLinksToTheirTargets() {
    TContentFixture f;
    WriteFileBytes(f.Downloads() + "Price list.pdf", "prices");
    f.Put("bands.gif", f.Images() + "Own.gif");
    TMarkdownEditor editor(f.Prompter);
    const struct {
        const char* Typed;
        const char* Expected; // %1: the id made for "Second", %2: for "Offer"
    } cases[] = {
        {"<a href=\"Page0_0.htm\">a</a>", "[a](page:abcd2345)"},
        {"<a href=\"Page0_1.htm\">a</a> <a href=\"./page0_1.html\">b</a>",
         "[a](page:%1) [b](page:%1)"},
        {"<a href=\"Default.htm#2_0\">a</a>", "[a](page:%2)"},
        {"<a href=\"Page0_7.htm\">a</a> <a href=\"Page5_0.htm\">b</a>", "a b"},
        {"<a href=\"Price%20list.pdf\">a</a> <a href=\"Downloads/Price list.pdf\">b</a>",
         "[a](download:Price%20list.pdf) [b](download:Price%20list.pdf)"},
        {"<a href=\"Own.gif\">a</a> <img src=\"Images/Own.gif\" alt=\"me\">",
         "[a](image:Own.gif) ![me](image:Own.gif)"},
        {"<a href=\"http://x.org/\">a</a> <a href=\"mailto:me@x.org\">b</a> "
         "<a href=\"tel:+4930\">c</a>",
         "[a](http://x.org/) [b](mailto:me@x.org) [c](tel:+4930)"},
        {"<a href=\"ftp://x.org/f\">a</a> <a href=\"other.htm\">b</a> "
         "<a href=\"javascript:x()\">c</a> <a href=\"#top\">d</a> <a href=\"Nothing.pdf\">e</a>",
         "a b c d e"},
        {"<img src=\"http://x.org/y.png\" alt=\"far\"> <img src=\"Gone.gif\" alt=\"gone\">",
         "far gone"},
    };
    for (const auto& c : cases) {
        editor.ShowTypedText(c.Typed, f.Images(), f.Downloads(), SampleSite);
        QString expected = QString::fromUtf8(c.Expected);
        for (const TPageIdToAssign& id : editor.PageIdsToAssign())
            expected.replace(id.Item == 0 ? QStringLiteral("%1") : QStringLiteral("%2"), Q(id.Id));
        QCOMPARE(editor.Markdown(), expected);
    }

    // Through the page dialog: OK gives the linked page its id, and the pages link to it.
    TColumnInUse column(f.ColumnFile(), f.Workspace.XMLDoc);
    column->Page(1).TEXT = "See <a href=\"Page0_0.htm\">the first</a>, "
                           "<a href=\"Price%20list.pdf\">prices</a>";
    column->Save();
    column->CurrentPage = 1;
    TFormPage form(f.Workspace, f.Prompter);
    form.show();
    form.ButtonConvert->click();
    form.ButtonOK->click();
    const std::string id = TStoredPage(f.ColumnFile(), 0).Page.ID;
    QVERIFY(IsPageId(id));
    const std::string text = TStoredPage(f.ColumnFile(), 1).Page.TEXT;
    QCOMPARE(text, "See [the first](page:" + id + "), [prices](download:Price%20list.pdf)");
    TSiteTextTargets targets(f.Project(), false);
    QCOMPARE(TMarkdownRenderer(targets).Html(text),
             std::string("<p>See <a href=\"Page0_0.htm\">the first</a>, "
                         "<a href=\"Price%20list.pdf\">prices</a></p>"));
}

void TMarkdownEditorTest::hotspotDialogSavesTheLinkedPagesId() {
    TContentFixture f;
    f.Project().HOTSPOT.FORMAT = "Markdown";
    f.Project().HOTSPOT.TEXT = "Read *this*";
    f.Project().Save();
    {
        // An id edited by hand, which no link can name, gives way to a new one.
        TColumnInUse column(f.ColumnFile(), f.Workspace.XMLDoc);
        column->Page(1).ID = "by hand";
        column->Save();
    }
    TFormHotspot form(f.Workspace, f.Prompter);
    form.show();
    QVERIFY(form.EditorText->isVisible());
    QVERIFY(!form.MemoText->isVisible());
    Select(*form.EditorText, QStringLiteral("Read"));
    LinkToPage(*form.EditorText, 0, 1);
    form.ButtonOK->click();
    QVERIFY(!form.isVisible());
    const std::string id = TStoredPage(f.ColumnFile(), 1).Page.ID;
    QVERIFY(IsPageId(id));
    QCOMPARE(TStoredPage(f.ColumnFile(), 0).Page.ID, std::string());
    const TStoredProject stored(f.Folder());
    QCOMPARE(stored.Project.HOTSPOT.TEXT, "[Read](page:" + id + ") *this*");
    QCOMPARE(stored.Project.HOTSPOT.FORMAT, std::string("Markdown"));

    // A page copied with the id of the page before it gets an id of its own once linked to.
    {
        TColumnInUse column(f.ColumnFile(), f.Workspace.XMLDoc);
        column->Page(0).ID = id;
        column->Save();
    }
    form.show();
    Select(*form.EditorText, QStringLiteral("this"));
    LinkToPage(*form.EditorText, 0, 1);
    form.ButtonOK->click();
    const std::string own = TStoredPage(f.ColumnFile(), 1).Page.ID;
    QVERIFY(IsPageId(own));
    QVERIFY(own != id);
    QCOMPARE(TStoredPage(f.ColumnFile(), 0).Page.ID, id);
    QCOMPARE(Q(TStoredProject(f.Folder()).Project.HOTSPOT.TEXT),
             Q("[Read](page:" + id + ") [*this*](page:" + own + ")"));

    // An as-typed hotspot text keeps the memo.
    f.Project().HOTSPOT.FORMAT.clear();
    form.show();
    QVERIFY(form.MemoText->isVisible());
    QVERIFY(!form.EditorText->isVisible());
    form.ButtonCancel->click();
}

void TMarkdownEditorTest::undoTakesBackTheTextAndTheLinkedPagesId() {
    TTempFolder temp;
    TScriptedPrompter prompter;
    MakeFolder(temp / "Projects");
    const std::string folder = temp / "Projects/Site";
    MakeProject(folder, {{"News", {"First", "Second"}}});
    TProgram program(temp.Path() + "/", prompter);
    TFormMain& main = *program.FormMain;
    main.show();
    program.Dialogs.Register(TDialogKind::Open, [&] {
        program.Workspace.Project = std::make_unique<TDProject>(folder, program.Workspace.XMLDoc);
        TDProject& project = *program.Workspace.Project;
        project.HOTSPOT.FORMAT = "Markdown";
        project.HOTSPOT.TEXT = "Read this";
        project.Save();
        return true;
    });
    const auto triggerAndLoad = [&main](QAction* action) {
        QSignalSpy loaded(main.WebBrowser, &QWebEngineView::loadFinished);
        action->trigger();
        return loaded.count() > 0 || loaded.wait(20000);
    };
    QVERIFY(triggerAndLoad(main.MenuOpenProject));
    const std::string column = ReadFileBytes(folder + "/Column1.Clm");
    const std::string projectFile = ReadFileBytes(folder + "/Default.Pro");
    auto answered = AnswerModal(program.FormHotspot, [&] {
        Select(*program.FormHotspot->EditorText, QStringLiteral("Read"));
        LinkToPage(*program.FormHotspot->EditorText, 0, 1);
        program.FormHotspot->ButtonOK->click();
    });
    QVERIFY(triggerAndLoad(main.MenuHotspot));
    QVERIFY(*answered);
    const std::string id = TStoredPage(folder + "/Column1.Clm", 1).Page.ID;
    QVERIFY(IsPageId(id));
    QCOMPARE(program.Workspace.Project->HOTSPOT.TEXT, "[Read](page:" + id + ") this");
    // One step takes back both documents.
    QVERIFY(triggerAndLoad(main.MenuUndo));
    QCOMPARE(ReadFileBytes(folder + "/Column1.Clm"), column);
    QCOMPARE(ReadFileBytes(folder + "/Default.Pro"), projectFile);
    QVERIFY(prompter.Calls.isEmpty());
}

int main(int argc, char** argv) {
    PrepareTestEnvironment();
    PrepareStartup();
    TApplication application(argc, argv);
    TMarkdownEditorTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "MarkdownEditorTest.moc"

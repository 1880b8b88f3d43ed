// Working in the main window: Undo and Redo of every change, the earlier versions, the tree
// beside the preview, the remembered window, and the keyboard.

#include "UiTestSupport.h"

#include "app/Startup.h"
#include "generator/Driver.h"
#include "model/ColumnInUse.h"
#include "model/EarlierVersions.h"
#include "platform/FileFaults.h"
#include "ui/AppFolders.h"
#include "ui/FBuild.h"
#include "ui/FColor.h"
#include "ui/FMain.h"
#include "ui/FNew.h"
#include "ui/FPage.h"
#include "ui/FRestore.h"
#include "ui/FTopic.h"
#include "ui/Mnemonics.h"
#include "ui/MultiLineText.h"
#include "ui/PathEdit.h"
#include "ui/PictureField.h"
#include "ui/PreviewBuilder.h"
#include "ui/PreviewPane.h"
#include "ui/Workspace.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSettings>
#include <QSlider>
#include <QSplitter>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QWebEngineView>

#include <QGuiApplication>
#include <QRegularExpression>

#include <filesystem>
#include <memory>

namespace {

constexpr int LoadTimeout = 20000;

// The whole program over an application folder in a temporary folder, with the project
// Projects/Site open: the column "News" with the page "First", and the link "Elsewhere".
class TDesktopFixture {
  public:
    TDesktopFixture() {
        MakeFolder(Temp / "Projects");
        MakeProject(Folder(), {{"News", {"First"}}, {"Elsewhere", {}, true}});
        Program = std::make_unique<TProgram>(Temp.Path() + "/", Prompter);
        Main().resize(900, 640);
        Main().show();
        Dialogs().Register(TDialogKind::Open, [this] {
            Program->Workspace.Project =
                std::make_unique<TDProject>(Folder(), Program->Workspace.XMLDoc);
            return true;
        });
    }
    TFormMain& Main() { return *Program->FormMain; }
    TDialogs& Dialogs() { return Program->Dialogs; }
    std::string Folder() const { return Temp / "Projects/Site"; }
    std::string ColumnFile() const { return Folder() + "/Column1.Clm"; }
    TDProject& Project() { return *Program->Workspace.Project; }

    bool TriggerAndLoad(QAction* action) {
        QSignalSpy loaded(Main().WebBrowser, &QWebEngineView::loadFinished);
        action->trigger();
        return loaded.count() > 0 || loaded.wait(LoadTimeout);
    }
    bool Open() { return TriggerAndLoad(Main().MenuOpenProject); }
    QTreeWidgetItem* Node(int top, int child = -1) {
        QTreeWidgetItem* node = Main().TreeView->topLevelItem(top);
        return child < 0 ? node : node->child(child);
    }
    QStringList Tree() {
        QStringList lines;
        for (int i = 0; i < Main().TreeView->topLevelItemCount(); ++i) {
            lines << Node(i)->text(0);
            for (int j = 0; j < Node(i)->childCount(); ++j)
                lines << QStringLiteral("  ") + Node(i, j)->text(0);
        }
        return lines;
    }
    std::string Preview() { return ReadFileBytes(Project().PreviewFile()); }
    // What the Edit menu shows, without the mnemonic.
    QString UndoText() { return Main().MenuUndo->text().remove(QLatin1Char('&')); }
    QString RedoText() { return Main().MenuRedo->text().remove(QLatin1Char('&')); }

    TTempFolder Temp;
    TScriptedPrompter Prompter;
    std::unique_ptr<TProgram> Program;
};

QStringList Lines(std::initializer_list<const char*> lines) {
    QStringList list;
    for (const char* line : lines)
        list << QString::fromUtf8(line);
    return list;
}

} // namespace

class TDesktopTest : public QObject {
    Q_OBJECT

  private slots:
    void undoAndRedoTheStructureCommands();
    void undoAndRedoADialogsOK();
    void undoLeavesTheCopiedPicturesInImages();
    void convertingAPageToFormattedTextIsOneUndoStep();
    void cancelledDialogsAndClosingLeaveNothingToUndo();
    void failedUndoIsReportedAndChangesNothing();
    void aCommandStoppedHalfWayLeavesTheWindowAsTheFilesAre();
    void restoreAnEarlierVersionAfterARestart();
    void theFirstChangeAfterOpeningDigestsOnlyWhatItRewrote();
    void everyMenuAndDialogHasMnemonicsWithoutClashes();
    void deleteEnterAndDoubleClickInTheTree();
    void treeBesidePreviewAndPreviewAlone();
    void undoAndRedoKeysReachTheProgramFromThePreview();
    void f6AndEscMoveTheFocusBetweenTreeAndPreview();
    void theFocusComesBackAfterEveryDialog();
    void thePreviewLaysThePageOutAtADesktopOrAPhoneWidth();
    void windowIsRememberedAndFitsItsContent();
    void longPathsAreElidedInTheMiddle();
    void theManualIsBesideTheProgramInTheBuildTree();
    void theManualIsFoundInstalledAndInTheDataFolders();
};

void TDesktopTest::undoAndRedoTheStructureCommands() {
    TDesktopFixture f;
    QVERIFY(f.Open());
    QVERIFY(!f.Main().MenuUndo->isEnabled());
    QVERIFY(!f.Main().MenuRedo->isEnabled());
    QCOMPARE(f.UndoText(), QStringLiteral("Undo"));
    const std::string opened = ReadFileBytes(f.Project().ProjectFile());
    const std::string column = ReadFileBytes(f.ColumnFile());

    f.Main().TreeView->setCurrentItem(f.Node(0));
    QVERIFY(f.TriggerAndLoad(f.Main().MenuAddPage));
    QCOMPARE(f.UndoText(), QStringLiteral("Undo Add Page"));
    QVERIFY(f.TriggerAndLoad(f.Main().MenuAddColumn));
    QCOMPARE(f.UndoText(), QStringLiteral("Undo Add Column"));
    f.Main().TreeView->setCurrentItem(f.Node(1));
    QVERIFY(f.TriggerAndLoad(f.Main().MenuMoveUp));
    QCOMPARE(f.Tree(), Lines({"Elsewhere", "News", "  First", "  New Page", "New Column"}));
    f.Prompter.Answers = {true};
    QVERIFY(f.TriggerAndLoad(f.Main().MenuRemove));
    QCOMPARE(f.Tree(), Lines({"News", "  First", "  New Page", "New Column"}));
    QCOMPARE(f.UndoText(), QStringLiteral("Undo Remove"));
    QCOMPARE(f.Prompter.TakeCalls(),
             QStringList{QStringLiteral("ConfirmYesNo: Remove \"Elsewhere\"?")});

    // Each Undo puts the files back and shows them: the tree and the preview follow.
    const struct {
        QAction* Command;
        QStringList Tree;
        const char* Undo;
        const char* Redo;
    } walk[] = {
        {f.Main().MenuUndo, Lines({"Elsewhere", "News", "  First", "  New Page", "New Column"}),
         "Undo Move Up", "Redo Remove"},
        {f.Main().MenuUndo, Lines({"News", "  First", "  New Page", "Elsewhere", "New Column"}),
         "Undo Add Column", "Redo Move Up"},
        {f.Main().MenuUndo, Lines({"News", "  First", "  New Page", "Elsewhere"}), "Undo Add Page",
         "Redo Add Column"},
        {f.Main().MenuUndo, Lines({"News", "  First", "Elsewhere"}), "Undo", "Redo Add Page"},
        {f.Main().MenuRedo, Lines({"News", "  First", "  New Page", "Elsewhere"}), "Undo Add Page",
         "Redo Add Column"},
    };
    for (const auto& step : walk) {
        QVERIFY(f.TriggerAndLoad(step.Command));
        QCOMPARE(f.Tree(), step.Tree);
        QCOMPARE(f.UndoText(), QString::fromUtf8(step.Undo));
        QCOMPARE(f.RedoText(), QString::fromUtf8(step.Redo));
        QCOMPARE(f.Main().MenuUndo->isEnabled(), step.Undo != std::string("Undo"));
        // The preview is built from the files as they are now.
        QCOMPARE(f.Preview().find("New Page") != std::string::npos,
                 f.Tree().contains(QStringLiteral("  New Page")));
    }
    f.Main().MenuUndo->trigger();
    QCOMPARE(ReadFileBytes(f.Project().ProjectFile()), opened);
    QCOMPARE(ReadFileBytes(f.ColumnFile()), column);
    // The keys: Ctrl+Z and Ctrl+Shift+Z.
    QCOMPARE(f.Main().MenuUndo->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
    QCOMPARE(f.Main().MenuRedo->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    QVERIFY(f.Prompter.Calls.isEmpty());
}

void TDesktopTest::undoAndRedoADialogsOK() {
    TDesktopFixture f;
    QVERIFY(f.Open());
    // The real Topic dialog.
    auto answered = AnswerModal(f.Program->FormTopic, [&] {
        f.Program->FormTopic->EditCaption->setText(QStringLiteral("Fresh Caption"));
        f.Program->FormTopic->ButtonOK->click();
    });
    QVERIFY(f.TriggerAndLoad(f.Main().MenuTopic));
    QVERIFY(*answered);
    QCOMPARE(f.UndoText(), QStringLiteral("Undo Topic"));
    QCOMPARE(TitleOf(f.Preview()), std::string("Fresh Caption"));
    QVERIFY(f.TriggerAndLoad(f.Main().MenuUndo));
    QVERIFY(f.Project().TOPIC.CAPTION != "Fresh Caption");
    QVERIFY(TitleOf(f.Preview()) != "Fresh Caption");
    QCOMPARE(f.RedoText(), QStringLiteral("Redo Topic"));
    QVERIFY(f.TriggerAndLoad(f.Main().MenuRedo));
    QCOMPARE(f.Project().TOPIC.CAPTION, std::string("Fresh Caption"));

    // A page's dialog rewrites the column document: Undo puts its bytes back.
    const std::string column = ReadFileBytes(f.ColumnFile());
    f.Main().TreeView->setCurrentItem(f.Node(0, 0));
    answered = AnswerModal(f.Program->FormPage, [&] {
        f.Program->FormPage->EditTitle->setText(QStringLiteral("Renamed"));
        f.Program->FormPage->ButtonOK->click();
    });
    QVERIFY(f.TriggerAndLoad(f.Main().MenuInformation));
    QVERIFY(*answered);
    QCOMPARE(f.UndoText(), QStringLiteral("Undo Information"));
    QCOMPARE(f.Tree(), Lines({"News", "  Renamed", "Elsewhere"}));
    QVERIFY(f.TriggerAndLoad(f.Main().MenuUndo));
    QCOMPARE(ReadFileBytes(f.ColumnFile()), column);
    QCOMPARE(f.Tree(), Lines({"News", "  First", "Elsewhere"}));
    // The selection stays in its place.
    QCOMPARE(f.Main().SelectedNode(), f.Node(0, 0));
    QVERIFY(f.Prompter.Calls.isEmpty());
}

void TDesktopTest::convertingAPageToFormattedTextIsOneUndoStep() {
    TDesktopFixture f;
    QVERIFY(f.Open());
    const std::string column = ReadFileBytes(f.ColumnFile());
    f.Main().TreeView->setCurrentItem(f.Node(0, 0));
    auto answered = AnswerModal(f.Program->FormPage, [&] {
        f.Program->FormPage->MemoText->setPlainText(QStringLiteral("Typed <b>bold</b>"));
        f.Program->FormPage->ButtonConvert->click();
        f.Program->FormPage->ButtonOK->click();
    });
    QVERIFY(f.TriggerAndLoad(f.Main().MenuInformation));
    QVERIFY(*answered);
    {
        TXmlDocument document;
        const TDColumn converted(f.ColumnFile(), document);
        QCOMPARE(converted.Page(0).FORMAT, std::string("Markdown"));
        QCOMPARE(converted.Page(0).TEXT, std::string("Typed **bold**"));
    }
    QCOMPARE(f.UndoText(), QStringLiteral("Undo Information"));
    QVERIFY(f.TriggerAndLoad(f.Main().MenuUndo));
    QCOMPARE(ReadFileBytes(f.ColumnFile()), column);
    QVERIFY(f.Prompter.Calls.isEmpty());
}

void TDesktopTest::undoLeavesTheCopiedPicturesInImages() {
    TDesktopFixture f;
    QVERIFY(f.Open());
    const std::string logo = f.Folder() + "/Images/Logo.gif";
    QVERIFY(!FileExists(logo));
    const std::string picked = f.Temp / "Picked.gif";
    WriteFileBytes(picked, ReadFileBytes(SamplePicture("bands.gif")));
    const std::string before = ReadFileBytes(f.Project().ProjectFile());
    // The Topic dialog's OK copies the picked logo into Images.
    auto answered = AnswerModal(f.Program->FormTopic, [&] {
        TFormTopic& form = *f.Program->FormTopic;
        if (!form.PictureLogo->CheckBox->isChecked())
            form.PictureLogo->CheckBox->click();
        f.Prompter.Files.push_back(Q(picked));
        form.PictureLogo->ButtonPicture->click();
        form.ButtonOK->click();
    });
    QVERIFY(f.TriggerAndLoad(f.Main().MenuTopic));
    QVERIFY(*answered);
    QCOMPARE(f.Project().TOPIC.LOGO, std::string("Logo.gif"));
    QVERIFY(FileExists(logo));
    const std::string copied = ReadFileBytes(logo);
    QCOMPARE(copied, ReadFileBytes(picked));
    QVERIFY(f.Preview().find("Logo.gif") != std::string::npos);

    // Undo takes the document back, not the copy: the picture stays for a Redo.
    QVERIFY(f.TriggerAndLoad(f.Main().MenuUndo));
    QCOMPARE(ReadFileBytes(f.Project().ProjectFile()), before);
    QVERIFY(f.Project().TOPIC.LOGO.empty());
    QVERIFY(f.Preview().find("Logo.gif") == std::string::npos);
    QCOMPARE(ReadFileBytes(logo), copied);
    QVERIFY(f.TriggerAndLoad(f.Main().MenuRedo));
    QCOMPARE(f.Project().TOPIC.LOGO, std::string("Logo.gif"));
    QCOMPARE(ReadFileBytes(logo), copied);
    QVERIFY(f.Preview().find("Logo.gif") != std::string::npos);
    QCOMPARE(f.Prompter.TakeCalls().filter(QStringLiteral("Error")), QStringList());
}

void TDesktopTest::cancelledDialogsAndClosingLeaveNothingToUndo() {
    TDesktopFixture f;
    QVERIFY(f.Open());
    auto answered = AnswerModal(f.Program->FormTopic, [&] {
        f.Program->FormTopic->EditCaption->setText(QStringLiteral("Not kept"));
        f.Program->FormTopic->ButtonCancel->click();
    });
    f.Main().MenuTopic->trigger();
    QVERIFY(*answered);
    QVERIFY(!f.Main().MenuUndo->isEnabled());
    // Answering No to Remove changes nothing either.
    f.Main().TreeView->setCurrentItem(f.Node(1));
    f.Prompter.Answers = {false};
    f.Main().MenuRemove->trigger();
    QVERIFY(!f.Main().MenuUndo->isEnabled());

    QVERIFY(f.TriggerAndLoad(f.Main().MenuAddLink));
    QVERIFY(f.Main().MenuUndo->isEnabled());
    f.Main().MenuClose->trigger();
    QVERIFY(!f.Main().MenuUndo->isEnabled());
    QVERIFY(f.Open());
    QVERIFY(!f.Main().MenuUndo->isEnabled());
    QCOMPARE(f.UndoText(), QStringLiteral("Undo"));
    QCOMPARE(f.Prompter.TakeCalls(),
             QStringList{QStringLiteral("ConfirmYesNo: Remove \"Elsewhere\"?")});
}

void TDesktopTest::failedUndoIsReportedAndChangesNothing() {
    TDesktopFixture f;
    QVERIFY(f.Open());
    QVERIFY(f.TriggerAndLoad(f.Main().MenuAddColumn));
    const std::string added = ReadFileBytes(f.Project().ProjectFile());
    // The project document cannot be replaced.
    TFileFaults faults;
    faults.FailRename = 1;
    {
        TScopedFileFaults scoped(faults);
        f.Main().MenuUndo->trigger();
    }
    const QStringList calls = f.Prompter.TakeCalls();
    QCOMPARE(calls.size(), 1);
    QVERIFY2(calls[0].startsWith(QStringLiteral("Error: ")), qPrintable(calls[0]));
    QCOMPARE(ReadFileBytes(f.Project().ProjectFile()), added);
    QCOMPARE(f.UndoText(), QStringLiteral("Undo Add Column"));
    QCOMPARE(f.Tree(), Lines({"News", "  First", "Elsewhere", "New Column"}));
}

void TDesktopTest::aCommandStoppedHalfWayLeavesTheWindowAsTheFilesAre() {
    // Add Column writes the new column's document and the project document; the project
    // document's replacing fails, or the column's, so the command stops with its error
    // after writing part of the change.
    for (const int failing : {1, 2}) {
        TDesktopFixture f;
        QVERIFY(f.Open());
        QVERIFY(QTest::qWaitFor([&] { return !f.Main().Preview->IsRunning(); }, LoadTimeout));
        const TDocumentBytes before = ReadProjectDocuments(f.Project());
        TFileFaults faults;
        faults.FailRename = failing;
        {
            TScopedFileFaults scoped(faults);
            f.Main().MenuAddColumn->trigger();
        }
        const QStringList calls = f.Prompter.TakeCalls();
        QCOMPARE(calls.size(), 1);
        QVERIFY2(calls[0].startsWith(QStringLiteral("Error: ")), qPrintable(calls[0]));
        const TDocumentBytes after = ReadProjectDocuments(f.Project());
        // The records the window holds are those of the files: a preview made from them
        // now shows what the files make.
        f.Main().RefreshPreview();
        QVERIFY(QTest::qWaitFor([&] { return !f.Main().Preview->IsRunning(); }, LoadTimeout));
        // The homepage as the documents now make it.
        TTempFolder scratch;
        TXmlDocument document;
        TDProject fresh(f.Folder(), document);
        QVERIFY(BuildHomepageInto(fresh, scratch.Path()));
        const std::string page = fresh.PreviewFile().substr(fresh.PreviewFile().rfind('/') + 1);
        QCOMPARE(f.Preview(), ReadFileBytes(scratch.Path() + "/" + page));
        // What was written can be taken back.
        QCOMPARE(f.Main().MenuUndo->isEnabled(), after != before);
    }
}

void TDesktopTest::theFirstChangeAfterOpeningDigestsOnlyWhatItRewrote() {
    TDesktopFixture f;
    struct TCase {
        const char* Name;
        QAction* Command;
    } cases[] = {
        {"Add Column", f.Main().MenuAddColumn},
        {"Add Link", f.Main().MenuAddLink},
        {"Move Down", f.Main().MenuMoveDown},
    };
    for (const TCase& test : cases) {
        // Opened afresh each time: the documents and their digests were read once the
        // homepage was shown, so the change itself reads and digests only what it rewrote.
        QVERIFY2(f.Open(), test.Name);
        f.Main().TreeView->setCurrentItem(f.Node(0));
        const TDocumentBytes before = ReadProjectDocuments(f.Project());
        QVERIFY2(f.TriggerAndLoad(test.Command), test.Name);
        const TDocumentBytes after = ReadProjectDocuments(f.Project());
        std::size_t rewritten = 0;
        for (const auto& [name, bytes] : after)
            if (before.count(name) == 0 || before.at(name) != bytes)
                ++rewritten;
        QVERIFY2(rewritten > 0 && rewritten < after.size(), test.Name);
        QVERIFY2(f.Main().Versions, test.Name);
        QCOMPARE(f.Main().Versions->DocumentsDigested(), rewritten);
        QCOMPARE(f.Main().Documents.FilesRead(), rewritten);
        QCOMPARE(f.Main().Versions->Read(f.Main().Versions->List().front()),
                 TEarlierVersions::Kept(after));
        QCOMPARE(f.UndoText(), QStringLiteral("Undo ") + QString::fromUtf8(test.Name));
        f.Main().MenuClose->trigger();
        QVERIFY2(!f.Main().WarmUp.Pending(), test.Name);
        QVERIFY2(!f.Main().Versions, test.Name);
    }
}

void TDesktopTest::restoreAnEarlierVersionAfterARestart() {
    auto f = std::make_unique<TDesktopFixture>();
    QVERIFY(f->Open());
    // The page and the column go, one after the other.
    f->Main().TreeView->setCurrentItem(f->Node(0, 0));
    f->Prompter.Answers = {true, true};
    QVERIFY(f->TriggerAndLoad(f->Main().MenuRemove));
    f->Main().TreeView->setCurrentItem(f->Node(0));
    QVERIFY(f->TriggerAndLoad(f->Main().MenuRemove));
    QCOMPARE(f->Tree(), Lines({"Elsewhere"}));
    f->Prompter.TakeCalls();

    // The program ends and starts again over the same folder.
    const std::string folder = f->Folder();
    TScriptedPrompter prompter;
    auto program = std::make_unique<TProgram>(f->Temp.Path() + "/", prompter);
    f->Program.reset();
    TFormMain& main = *program->FormMain;
    main.show();
    program->Dialogs.Register(TDialogKind::Open, [&] {
        program->Workspace.Project = std::make_unique<TDProject>(folder, program->Workspace.XMLDoc);
        return true;
    });
    {
        QSignalSpy loaded(main.WebBrowser, &QWebEngineView::loadFinished);
        main.MenuOpenProject->trigger();
        QVERIFY(loaded.count() > 0 || loaded.wait(LoadTimeout));
    }
    QVERIFY(!main.MenuUndo->isEnabled());

    // Versions newest first; the one before the first Remove holds everything.
    QStringList listed;
    auto answered = AnswerModal(main.FormRestore, [&] {
        for (int i = 0; i < main.FormRestore->ListVersions->count(); ++i)
            listed << main.FormRestore->ListVersions->item(i)->text().mid(21);
        main.FormRestore->ListVersions->setCurrentRow(2);
        main.FormRestore->ButtonRestore->click();
    });
    prompter.Answers = {true};
    {
        QSignalSpy loaded(main.WebBrowser, &QWebEngineView::loadFinished);
        main.MenuRestoreEarlierVersion->trigger();
        QVERIFY(*answered);
        QVERIFY(loaded.count() > 0 || loaded.wait(LoadTimeout));
    }
    QCOMPARE(listed, Lines({"Remove", "Remove", "Before Remove"}));
    const QStringList calls = prompter.TakeCalls();
    QCOMPARE(calls.size(), 1);
    QVERIFY2(calls[0].startsWith(QStringLiteral("ConfirmYesNo: Restore the version of ")) &&
                 calls[0].endsWith(QStringLiteral("  Before Remove? Undo takes the restore back.")),
             qPrintable(calls[0]));
    QCOMPARE(main.TreeView->topLevelItemCount(), 2);
    QCOMPARE(main.TreeView->topLevelItem(0)->child(0)->text(0), QStringLiteral("First"));
    QCOMPARE(MenuTitles(folder), (std::vector<std::string>{"News", "Elsewhere"}));
    // The restore is a change of its own, undone like any other.
    QCOMPARE(main.MenuUndo->text().remove(QLatin1Char('&')),
             QStringLiteral("Undo Restore Earlier Version"));
    main.MenuUndo->trigger();
    QCOMPARE(MenuTitles(folder), std::vector<std::string>{"Elsewhere"});
    QCOMPARE(main.TreeView->topLevelItemCount(), 1);

    QVERIFY(main.FormRestore->LabelStrays->isHidden());

    // A link named like a version is passed over and named; Cancel restores nothing.
    const std::string stray = folder + "/.history/00099999.list";
    std::filesystem::create_symlink("/etc/hostname", stray);
    QString strays;
    answered = AnswerModal(main.FormRestore, [&] {
        strays = main.FormRestore->LabelStrays->isVisible() ? main.FormRestore->LabelStrays->text()
                                                            : QString();
        main.FormRestore->ButtonCancel->click();
    });
    main.MenuRestoreEarlierVersion->trigger();
    QVERIFY(*answered);
    QVERIFY2(strays.endsWith(QString::fromStdString(stray)), qPrintable(strays));
    QCOMPARE(MenuTitles(folder), std::vector<std::string>{"Elsewhere"});
    QVERIFY(prompter.Calls.isEmpty());
}

void TDesktopTest::everyMenuAndDialogHasMnemonicsWithoutClashes() {
    TDesktopFixture f;
    QStringList faults;
    // One menu: every item has a letter of its own.
    auto checkMenu = [&faults](const QString& where, const QList<QAction*>& actions) {
        QMap<QChar, QString> letters;
        for (QAction* action : actions) {
            if (action->isSeparator())
                continue;
            const QChar letter = MnemonicOf(action->text());
            if (letter.isNull())
                faults << where + QStringLiteral(": no mnemonic on ") + action->text();
            else if (letters.contains(letter))
                faults << where + QStringLiteral(": ") + action->text() + QStringLiteral(" and ") +
                              letters[letter];
            else
                letters[letter] = action->text();
        }
    };
    checkMenu(QStringLiteral("menu bar"), f.Main().menuBar()->actions());
    for (QAction* title : f.Main().menuBar()->actions())
        checkMenu(title->text(), title->menu()->actions());
    checkMenu(QStringLiteral("tree menu"), f.Main().PopupMenuTreeView->actions());
    checkMenu(QStringLiteral("Add menu"), f.Main().PopupMenuAdd->actions());

    // One dialog: every label of a control and every captioned button has a letter of its
    // own, and a label's letter leads to its control.
    const QList<QDialog*> dialogs = f.Main().findChildren<QDialog*>();
    QVERIFY(dialogs.size() >= 18);
    for (QDialog* dialog : dialogs) {
        const QString where = dialog->objectName();
        QMap<QChar, QString> letters;
        auto take = [&](const QString& text) {
            const QChar letter = MnemonicOf(text);
            if (letter.isNull())
                return;
            if (letters.contains(letter))
                faults << where + QStringLiteral(": ") + text + QStringLiteral(" and ") +
                              letters[letter];
            letters[letter] = text;
        };
        for (QLabel* label : dialog->findChildren<QLabel*>()) {
            take(label->text());
            const bool captionsAControl =
                label->buddy() && label->buddy()->focusPolicy() != Qt::NoFocus;
            if (!MnemonicOf(label->text()).isNull() && !label->buddy())
                faults << where + QStringLiteral(": no buddy for ") + label->text();
            if (captionsAControl && MnemonicOf(label->text()).isNull() &&
                label->isVisibleTo(dialog))
                faults << where + QStringLiteral(": no mnemonic on ") + label->text();
            // A caption of a field that can take the focus leads to it.
            if (label->text().endsWith(QLatin1Char(':')) && !label->buddy())
                faults << where + QStringLiteral(": a caption without its control: ") +
                              label->text();
        }
        for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>()) {
            take(button->text());
            const QString shown = WithoutMnemonic(button->text());
            // What the dialog hides now gets its letter when it is shown.
            if (MnemonicOf(button->text()).isNull() && button->isVisibleTo(dialog) &&
                shown.contains(QRegularExpression(QStringLiteral("[A-Za-z]"))))
                faults << where + QStringLiteral(": no mnemonic on ") + button->text();
        }
    }
    // OK is Alt+O in every dialog that has one.
    for (QDialog* dialog : dialogs)
        for (QAbstractButton* ok :
             dialog->findChildren<QAbstractButton*>(QStringLiteral("ButtonOK")))
            if (ok->text() != QStringLiteral("&OK"))
                faults << dialog->objectName() + QStringLiteral(": OK is ") + ok->text();
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
    // The shortcuts of the project commands.
    const std::pair<QAction*, QKeySequence> keys[] = {
        {f.Main().MenuNewProject, QKeySequence(Qt::CTRL | Qt::Key_N)},
        {f.Main().MenuOpenProject, QKeySequence(Qt::CTRL | Qt::Key_O)},
        {f.Main().MenuClose, QKeySequence(Qt::CTRL | Qt::Key_W)},
        {f.Main().MenuExit, QKeySequence(Qt::CTRL | Qt::Key_Q)},
        {f.Main().MenuBuild, QKeySequence(Qt::CTRL | Qt::Key_B)},
        {f.Main().MenuPublish, QKeySequence(Qt::CTRL | Qt::Key_U)},
        {f.Main().MenuPrint, QKeySequence(Qt::CTRL | Qt::Key_P)},
        {f.Main().MenuAddPage, QKeySequence(Qt::CTRL | Qt::Key_Insert)},
        {f.Main().MenuRemove, QKeySequence(Qt::CTRL | Qt::Key_Delete)},
        {f.Main().MenuPreview, QKeySequence(Qt::Key_F11)},
        {f.Main().MenuPreviewInBrowser, QKeySequence(Qt::Key_F12)},
        {f.Main().MenuUserManual, QKeySequence(Qt::Key_F1)},
    };
    for (const auto& [action, key] : keys)
        QCOMPARE(action->shortcut(), key);
}

void TDesktopTest::deleteEnterAndDoubleClickInTheTree() {
    TDesktopFixture f;
    QVERIFY(f.Open());
    f.Main().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&f.Main()));
    QTreeWidget* tree = f.Main().TreeView;
    tree->setFocus();
    f.Main().TreeView->setCurrentItem(f.Node(1));

    // Delete asks first; No keeps the node.
    f.Prompter.Answers = {false};
    QTest::keyClick(tree, Qt::Key_Delete);
    QCOMPARE(f.Prompter.TakeCalls(),
             QStringList{QStringLiteral("ConfirmYesNo: Remove \"Elsewhere\"?")});
    QCOMPARE(f.Tree(), Lines({"News", "  First", "Elsewhere"}));
    f.Prompter.Answers = {true};
    QSignalSpy loaded(f.Main().WebBrowser, &QWebEngineView::loadFinished);
    QTest::keyClick(tree, Qt::Key_Delete);
    QCOMPARE(f.Prompter.TakeCalls(),
             QStringList{QStringLiteral("ConfirmYesNo: Remove \"Elsewhere\"?")});
    QCOMPARE(f.Tree(), Lines({"News", "  First"}));
    QCOMPARE(MenuTitles(f.Folder()), std::vector<std::string>{"News"});
    QCOMPARE(f.UndoText(), QStringLiteral("Undo Remove"));

    // Enter and a double click show the node's information; the double click does not fold
    // the column.
    std::vector<TDialogKind> shown;
    f.Dialogs().Register(TDialogKind::Column, [&] {
        shown.push_back(TDialogKind::Column);
        return false;
    });
    f.Dialogs().Register(TDialogKind::Page, [&] {
        shown.push_back(TDialogKind::Page);
        return false;
    });
    f.Main().TreeView->setCurrentItem(f.Node(0));
    QTest::keyClick(tree, Qt::Key_Return);
    QCOMPARE(int(shown.size()), 1);
    f.Main().TreeView->setCurrentItem(f.Node(0, 0));
    QTest::keyClick(tree, Qt::Key_Enter);
    QCOMPARE(int(shown.size()), 2);
    const QPoint at = tree->visualItemRect(f.Node(0)).center();
    // A double click as the system delivers it: a click, then the second press.
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(int(shown.size()), 3);
    // Enter in the preview beside the tree is the page's own.
    f.Main().WebBrowser->setFocus();
    QWidget* page =
        f.Main().WebBrowser->focusProxy() ? f.Main().WebBrowser->focusProxy() : f.Main().WebBrowser;
    QTest::keyClick(page, Qt::Key_Return);
    QCOMPARE(int(shown.size()), 3);
    tree->setFocus();
    QCOMPARE(shown, (std::vector<TDialogKind>{TDialogKind::Column, TDialogKind::Page,
                                              TDialogKind::Column}));
    QVERIFY(f.Node(0)->isExpanded());
    // Expanding stays on the + and - keys.
    QTest::keyClick(tree, Qt::Key_Minus);
    QVERIFY(!f.Node(0)->isExpanded());
    QTest::keyClick(tree, Qt::Key_Plus);
    QVERIFY(f.Node(0)->isExpanded());
    QVERIFY(f.Prompter.Calls.isEmpty());
}

void TDesktopTest::treeBesidePreviewAndPreviewAlone() {
    TDesktopFixture f;
    QVERIFY(f.Open());
    TFormMain& m = f.Main();
    auto views = [&m] {
        return QStringList{m.PanelTree->isHidden() ? QStringLiteral("-") : QStringLiteral("tree"),
                           m.WebBrowser->isHidden() ? QStringLiteral("-")
                                                    : QStringLiteral("preview")};
    };
    // Side by side: the tree's enabling, and the preview shows every change at once.
    QVERIFY(m.MenuTreeBesidePreview->isChecked());
    QCOMPARE(views(), Lines({"tree", "preview"}));
    QCOMPARE(m.Splitter->indexOf(m.PanelTree), 0);
    QCOMPARE(m.Splitter->indexOf(m.PanelPreview), 1);
    QVERIFY(m.PanelPreview->isAncestorOf(m.WebBrowser));
    QVERIFY(m.MenuAddColumn->isEnabled());
    QVERIFY(!m.MenuPrint->isEnabled());
    QVERIFY(!m.MenuGoHome->isEnabled());
    QVERIFY(!m.MenuGoBack->isEnabled());
    QVERIFY(f.TriggerAndLoad(m.MenuAddLink));
    QVERIFY(f.Preview().find("New Link") != std::string::npos);
    QCOMPARE(m.WebBrowser->url(), QUrl::fromLocalFile(Q(f.Project().PreviewFile())));
    // F11: the preview alone with its enabling, and back.
    m.MenuPreview->trigger();
    QCOMPARE(views(), Lines({"-", "preview"}));
    QVERIFY(!m.MenuAddColumn->isEnabled());
    QVERIFY(m.MenuPrint->isEnabled());
    QVERIFY(m.MenuGoHome->isEnabled());
    // An Undo with the preview alone keeps the commands of the unseen tree off.
    QVERIFY(m.MenuUndo->isEnabled());
    m.MenuUndo->trigger();
    QVERIFY(f.Preview().find("New Link") == std::string::npos);
    QVERIFY(!m.MenuRemove->isEnabled());
    QVERIFY(!m.MenuInformation->isEnabled());
    QVERIFY(!m.MenuAddColumn->isEnabled());
    m.MenuPreview->trigger();
    QCOMPARE(views(), Lines({"tree", "preview"}));
    QVERIFY(m.MenuAddColumn->isEnabled());
    QVERIFY(!m.MenuGoHome->isEnabled());
    // The one-view window: the tree alone, F11 the preview alone.
    m.MenuTreeBesidePreview->trigger();
    QCOMPARE(views(), Lines({"tree", "-"}));
    m.MenuPreview->trigger();
    QCOMPARE(views(), Lines({"-", "preview"}));
    m.MenuTreeBesidePreview->trigger();
    QCOMPARE(views(), Lines({"-", "preview"}));
    m.MenuPreview->trigger();
    QCOMPARE(views(), Lines({"tree", "preview"}));
    QVERIFY(f.Prompter.Calls.isEmpty());
}

void TDesktopTest::undoAndRedoKeysReachTheProgramFromThePreview() {
    TDesktopFixture f;
    QVERIFY(f.Open());
    TFormMain& m = f.Main();
    m.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&m));
    QVERIFY(f.TriggerAndLoad(m.MenuAddLink));
    // F11: the preview alone has the focus; Ctrl+Z and Ctrl+Shift+Z are the program's Undo
    // and Redo there too, as in the preview beside the tree.
    for (const bool alone : {true, false}) {
        if (alone)
            m.MenuPreview->trigger();
        m.WebBrowser->setFocus();
        QWidget* page = m.WebBrowser->focusProxy() ? m.WebBrowser->focusProxy() : m.WebBrowser;
        QSignalSpy undone(m.WebBrowser, &QWebEngineView::loadFinished);
        QTest::keyClick(page, Qt::Key_Z, Qt::ControlModifier);
        QVERIFY2(undone.count() > 0 || undone.wait(LoadTimeout), alone ? "alone" : "beside");
        QCOMPARE(f.UndoText(), QStringLiteral("Undo"));
        QVERIFY(MenuTitles(f.Folder()) == (std::vector<std::string>{"News", "Elsewhere"}));
        QSignalSpy redone(m.WebBrowser, &QWebEngineView::loadFinished);
        QTest::keyClick(page, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY2(redone.count() > 0 || redone.wait(LoadTimeout), alone ? "alone" : "beside");
        QCOMPARE(f.UndoText(), QStringLiteral("Undo Add Link"));
        if (alone)
            m.MenuPreview->trigger();
    }
    QVERIFY(f.Prompter.Calls.isEmpty());
}

namespace {

// Whether the keyboard focus is on widget or inside it (the browser's page is a child).
bool FocusIn(const QWidget* widget) {
    const QWidget* focus = QApplication::focusWidget();
    return focus && (focus == widget || widget->isAncestorOf(focus));
}

QWidget* FocusTarget(QWidget* widget) {
    QWidget* focus = QApplication::focusWidget();
    return focus ? focus : widget;
}

} // namespace

void TDesktopTest::f6AndEscMoveTheFocusBetweenTreeAndPreview() {
    TDesktopFixture f;
    QVERIFY(f.Open());
    TFormMain& m = f.Main();
    m.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&m));
    m.TreeView->setFocus();
    QVERIFY(FocusIn(m.TreeView));
    // F6 and Shift+F6 go from the tree to the preview and back, whichever has the focus.
    const struct {
        Qt::KeyboardModifiers Modifiers;
        QWidget* Then;
    } steps[] = {{Qt::NoModifier, m.WebBrowser},
                 {Qt::NoModifier, m.TreeView},
                 {Qt::ShiftModifier, m.WebBrowser},
                 {Qt::ShiftModifier, m.TreeView}};
    for (const auto& step : steps) {
        QTest::keyClick(FocusTarget(m.TreeView), Qt::Key_F6, step.Modifiers);
        QVERIFY2(FocusIn(step.Then), qPrintable(step.Then->objectName()));
    }
    // Esc in the preview: back to the tree; in the tree it changes nothing.
    QTest::keyClick(FocusTarget(m.TreeView), Qt::Key_F6);
    QVERIFY(FocusIn(m.WebBrowser));
    QTest::keyClick(FocusTarget(m.WebBrowser), Qt::Key_Escape);
    QVERIFY(FocusIn(m.TreeView));
    QTest::keyClick(m.TreeView, Qt::Key_Escape);
    QVERIFY(FocusIn(m.TreeView));
    QVERIFY(!m.MenuPreview->isChecked());
    // The preview alone (F11): F6 stays in it, Esc leaves it for the tree.
    m.MenuPreview->trigger();
    QVERIFY(FocusIn(m.WebBrowser));
    QTest::keyClick(FocusTarget(m.WebBrowser), Qt::Key_F6);
    QVERIFY(FocusIn(m.WebBrowser));
    QTest::keyClick(FocusTarget(m.WebBrowser), Qt::Key_Escape);
    QVERIFY(!m.MenuPreview->isChecked());
    QVERIFY(!m.PanelTree->isHidden());
    QVERIFY(FocusIn(m.TreeView));
    QVERIFY(f.Prompter.Calls.isEmpty());
}

void TDesktopTest::theFocusComesBackAfterEveryDialog() {
    TDesktopFixture f;
    QVERIFY(f.Open());
    TFormMain& m = f.Main();
    m.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&m));
    // Each dialog, as the system may leave it: no control of the window has the focus after.
    auto dropFocus = [] {
        if (QWidget* focus = QApplication::focusWidget())
            focus->clearFocus();
        return true;
    };
    for (const TDialogKind kind : {TDialogKind::Topic, TDialogKind::Publish, TDialogKind::Open,
                                   TDialogKind::About, TDialogKind::Column}) {
        if (kind == TDialogKind::Open)
            f.Dialogs().Register(kind, [] { return false; });
        else
            f.Dialogs().Register(kind, dropFocus);
    }
    const struct {
        QAction* Command;
        QWidget* Had;
    } cases[] = {
        {m.MenuTopic, m.TreeView},    {m.MenuTopic, m.WebBrowser}, {m.MenuPublish, m.TreeView},
        {m.MenuOpenProject, nullptr}, {m.MenuAbout, m.TreeView},   {m.MenuInformation, m.TreeView},
    };
    m.TreeView->setCurrentItem(f.Node(1));
    for (const auto& c : cases) {
        // No control had it (nullptr): the tree gets it.
        if (c.Had)
            c.Had->setFocus();
        else if (QWidget* focus = QApplication::focusWidget())
            focus->clearFocus();
        QVERIFY(!c.Had || FocusIn(c.Had));
        c.Command->trigger();
        QVERIFY2(FocusIn(c.Had ? c.Had : m.TreeView), qPrintable(c.Command->objectName()));
    }
    // Open, cancelled, kept the project that was open.
    QVERIFY(m.MenuClose->isEnabled());
    QCOMPARE(f.Tree(), Lines({"News", "  First", "Elsewhere"}));
}

void TDesktopTest::thePreviewLaysThePageOutAtADesktopOrAPhoneWidth() {
    // The zoom that gives the page its width in CSS pixels, by the view's width.
    const struct {
        int View;
        TPreviewWidth Width;
        double Zoom;
    } zooms[] = {{1400, TPreviewWidth::Desktop, 1.0},
                 {1024, TPreviewWidth::Desktop, 1.0},
                 {575, TPreviewWidth::Desktop, 575.0 / 1024},
                 {200, TPreviewWidth::Desktop, 0.25},
                 {390, TPreviewWidth::Phone, 1.0},
                 {300, TPreviewWidth::Phone, 300.0 / 390},
                 {0, TPreviewWidth::Phone, 1.0}};
    for (const auto& z : zooms)
        QVERIFY2(qFuzzyCompare(PreviewZoom(z.View, z.Width), z.Zoom),
                 qPrintable(QString::number(z.View)));

    TDesktopFixture f;
    QVERIFY(f.Open());
    TFormMain& m = f.Main();
    m.Splitter->setSizes({900 - 575, 575});
    auto innerWidth = [&m] {
        int width = -1;
        m.WebBrowser->page()->runJavaScript(QStringLiteral("window.innerWidth"),
                                            [&width](const QVariant& v) { width = v.toInt(); });
        return QTest::qWaitFor([&width] { return width >= 0; }, LoadTimeout) ? width : -1;
    };
    // The side preview, about 575 pixels wide, lays the page out at 1024 CSS pixels.
    QTRY_VERIFY(m.WebBrowser->width() < 700 && m.WebBrowser->width() > 400);
    QTRY_VERIFY(std::abs(m.WebBrowser->zoomFactor() - m.WebBrowser->width() / 1024.0) < 0.01);
    QTRY_VERIFY2(std::abs(innerWidth() - 1024) <= 2, qPrintable(QString::number(innerWidth())));
    // At a phone's width: 390 CSS pixels, the view no wider; Desktop again by the button.
    QTest::mouseClick(m.PanelPreview->ButtonPhone, Qt::LeftButton);
    QVERIFY(m.MenuPhoneWidth->isChecked());
    QTRY_VERIFY(m.WebBrowser->width() <= 390);
    QTRY_VERIFY2(std::abs(innerWidth() - 390) <= 2, qPrintable(QString::number(innerWidth())));
    // A page loaded later keeps the width.
    QVERIFY(f.TriggerAndLoad(m.MenuGoHome->isEnabled() ? m.MenuGoHome : m.MenuAddLink));
    QTRY_VERIFY2(std::abs(innerWidth() - 390) <= 2, qPrintable(QString::number(innerWidth())));
    QTest::mouseClick(m.PanelPreview->ButtonDesktop, Qt::LeftButton);
    QVERIFY(m.MenuDesktopWidth->isChecked());
    QTRY_VERIFY2(std::abs(innerWidth() - 1024) <= 2, qPrintable(QString::number(innerWidth())));
}

void TDesktopTest::windowIsRememberedAndFitsItsContent() {
    QSettings(QStringLiteral("Corvane"), QStringLiteral("Corvane")).clear();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect remembered(screen.topLeft() + QPoint(40, 30), QSize(700, 520));
    auto closeWindow = [](TDesktopFixture& f) {
        f.Prompter.Answers = {true};
        return f.Main().close();
    };
    {
        // The first start: about 80% of the screen, centred, the tree beside the preview.
        TDesktopFixture f;
        f.Main().hide();
        f.Main().ShowRemembered();
        const QRect first = f.Main().geometry();
        QVERIFY2(std::abs(first.width() - screen.width() * 4 / 5) <= 2,
                 qPrintable(QString::number(first.width())));
        QVERIFY(std::abs(first.height() - screen.height() * 4 / 5) <= 2);
        QVERIFY((first.center() - screen.center()).manhattanLength() <= 4);
        QVERIFY(f.Main().MenuTreeBesidePreview->isChecked());
        // Moved, sized and the splitter dragged; then closed.
        f.Main().setGeometry(remembered);
        f.Main().Splitter->setSizes({150, 550});
        QCOMPARE(f.Main().PanelPreview->Width(), TPreviewWidth::Desktop);
        f.Main().MenuPhoneWidth->trigger();
        QVERIFY(closeWindow(f));
    }
    QVERIFY(FileExists(TestConfigFolder() / "Corvane/Corvane.conf"));
    {
        TDesktopFixture f;
        f.Main().hide();
        f.Main().ShowRemembered();
        QCOMPARE(f.Main().geometry().size(), remembered.size());
        QCOMPARE(f.Main().geometry().topLeft(), remembered.topLeft());
        QVERIFY(std::abs(f.Main().Splitter->sizes().value(0) - 150) <= 2);
        QVERIFY(!f.Main().MenuPreview->isChecked());
        // The preview at a phone's width, as it was left.
        QVERIFY(f.Main().MenuPhoneWidth->isChecked());
        QVERIFY(f.Main().PanelPreview->ButtonPhone->isChecked());
        QCOMPARE(f.Main().PanelPreview->Width(), TPreviewWidth::Phone);
        // The one-view window chosen, and the preview alone (F11).
        f.Main().MenuTreeBesidePreview->trigger();
        f.Main().MenuPreview->trigger();
        QVERIFY(f.Main().PanelTree->isHidden());
        QVERIFY(closeWindow(f));
    }
    {
        // The preview alone comes back with its enabling; F11 goes back to the tree alone.
        TDesktopFixture f;
        f.Main().hide();
        f.Main().ShowRemembered();
        QVERIFY(!f.Main().MenuTreeBesidePreview->isChecked());
        QVERIFY(f.Main().MenuPreview->isChecked());
        QVERIFY(f.Main().ToolPreview->isChecked());
        QVERIFY(f.Main().PanelTree->isHidden());
        QVERIFY(!f.Main().WebBrowser->isHidden());
        QVERIFY(!f.Main().MenuAddColumn->isEnabled());
        // Opening a project keeps the view: the preview alone shows its homepage.
        QVERIFY(f.Open());
        QVERIFY(f.Main().PanelTree->isHidden());
        QVERIFY(f.Main().MenuPrint->isEnabled());
        QVERIFY(!f.Main().MenuAddColumn->isEnabled());
        QCOMPARE(f.Main().WebBrowser->url(), QUrl::fromLocalFile(Q(f.Project().PreviewFile())));
        f.Main().MenuPreview->trigger();
        QVERIFY(f.Main().WebBrowser->isHidden());
        QVERIFY(!f.Main().PanelTree->isHidden());
        QVERIFY(closeWindow(f));
    }
    {
        TDesktopFixture f;
        f.Main().hide();
        f.Main().ShowRemembered();
        QVERIFY(!f.Main().MenuTreeBesidePreview->isChecked());
        QVERIFY(!f.Main().MenuPreview->isChecked());
        QVERIFY(!f.Main().PanelTree->isHidden());
        // Without a project the start page stands beside the tree all the same.
        QVERIFY(f.Main().PanelPreview->StartPageShown());
        // A remembered window too small for its content (the maximised window of old came
        // back at 773 x 298) comes back at 80% of the screen instead.
        f.Main().hide();
        QSettings settings(QStringLiteral("Corvane"), QStringLiteral("Corvane"));
        settings.setValue(QStringLiteral("Window/Rect"), QRect(10, 10, 773, 298));
        settings.setValue(QStringLiteral("Window/Maximized"), true);
    }
    {
        TDesktopFixture f;
        f.Main().hide();
        f.Main().ShowRemembered();
        QVERIFY(f.Main().windowState().testFlag(Qt::WindowMaximized));
        f.Main().showNormal();
        QVERIFY(f.Main().height() >= f.Main().minimumSizeHint().height());
        QVERIFY(std::abs(f.Main().width() - screen.width() * 4 / 5) <= 2);
        QVERIFY(std::abs(f.Main().height() - screen.height() * 4 / 5) <= 2);
    }
    QSettings(QStringLiteral("Corvane"), QStringLiteral("Corvane")).clear();
}

void TDesktopTest::longPathsAreElidedInTheMiddle() {
    TDesktopFixture f;
    TFormNew& form = *f.Program->FormNew;
    form.show();
    const QString name = QStringLiteral("A Site With A Very Long Name That Does Not Fit Into The "
                                        "Path Field Of The New Project Dialog");
    form.EditName->setText(name);
    const QString path = Q(f.Temp / "Projects/") + name;
    auto* edit = qobject_cast<TPathEdit*>(form.EditPath);
    QVERIFY(edit);
    // The whole path is the text, to select and copy, and the tool tip; what shows is
    // its start and its end.
    QCOMPARE(edit->text(), path);
    QCOMPARE(edit->toolTip(), path);
    const QString shown = edit->ShownText();
    QVERIFY2(shown.contains(QChar(0x2026)), qPrintable(shown));
    QVERIFY(shown.size() < path.size());
    QVERIFY(path.startsWith(shown.left(shown.indexOf(QChar(0x2026)))));
    QVERIFY(path.endsWith(shown.mid(shown.indexOf(QChar(0x2026)) + 1)));
    QVERIFY(edit->isReadOnly());
    auto* html = qobject_cast<TPathEdit*>(form.EditHTML);
    QVERIFY(html && html->toolTip() == path + QStringLiteral("/HTML"));
    QVERIFY(html->ShownText().endsWith(QStringLiteral("/HTML")));
    form.reject();
    // A short path shows whole.
    form.show();
    QCOMPARE(edit->ShownText(), edit->text());
    form.reject();
    // The Build dialog's path too.
    QVERIFY(qobject_cast<TPathEdit*>(f.Program->FormBuild->EditPath));
}

void TDesktopTest::theManualIsBesideTheProgramInTheBuildTree() {
    // The build copies the manual into Help/ beside the program, where F1 looks for it.
    const TWorkspace workspace(CORVANE_PROGRAM_FOLDER);
    QCOMPARE(workspace.UserManual(), std::string(CORVANE_PROGRAM_FOLDER) + "Help/Default.htm");
    QVERIFY(FileExists(workspace.UserManual()));
    QCOMPARE(ReadFileBytes(workspace.UserManual()),
             ReadFileBytes(SourceFolder() + "/help/Default.htm"));
}

void TDesktopTest::theManualIsFoundInstalledAndInTheDataFolders() {
    TTempFolder temp;
    const std::string app = temp / "app/";
    const std::string exe = temp / "exe/";
    const std::string installed = temp / "prefix/share/corvane/Help/Default.htm";
    const std::string xdgHome = temp / "data-home";
    const std::string home = temp / "home";
    const std::string first = temp / "dirs-1";
    const std::string second = temp / "dirs-2";
    const std::string dirs = first + ":relative::" + second + "/";
    const std::string inData = "/corvane/Help/Default.htm";
    // Every place, in the order F1 looks.
    const std::vector<std::string> places =
        UserManualPlaces(app, exe, installed, xdgHome.c_str(), dirs.c_str(), home.c_str());
    QCOMPARE(places, (std::vector<std::string>{app + "Help/Default.htm", exe + "Help/Default.htm",
                                               installed, xdgHome + inData, first + inData,
                                               second + inData}));
    // Without $XDG_DATA_HOME the home folder's data folder; without $XDG_DATA_DIRS the
    // standard ones; relative folders count for nothing; a place is named once.
    QCOMPARE(UserManualPlaces(app, app, installed, nullptr, nullptr, home.c_str()),
             (std::vector<std::string>{app + "Help/Default.htm", installed,
                                       home + "/.local/share" + inData, "/usr/local/share" + inData,
                                       "/usr/share" + inData}));
    QCOMPARE(UserManualPlaces(app, "", "", "relative", "", home.c_str()),
             (std::vector<std::string>{app + "Help/Default.htm", home + "/.local/share" + inData,
                                       "/usr/local/share" + inData, "/usr/share" + inData}));

    // Which copy is found, for each set of copies that are there.
    const struct {
        std::vector<std::size_t> There;
        std::size_t Found;
    } cases[] = {
        {{0, 1, 2, 3, 4, 5}, 0},
        {{1, 2, 3, 4, 5}, 1},
        {{2, 3, 4, 5}, 2},
        {{3, 4, 5}, 3},
        {{4, 5}, 4},
        {{5}, 5},
        {{0, 5}, 0},
        {{2, 5}, 2},
        {{}, 0},
    };
    for (const auto& c : cases) {
        for (const std::string& place : places)
            DeleteFileQuietly(place);
        for (std::size_t i : c.There) {
            std::filesystem::create_directories(std::filesystem::path(places[i]).parent_path());
            WriteFileBytes(places[i], "manual");
        }
        QCOMPARE(FindUserManual(places), places[c.Found]);
    }
    // A folder named like the manual is no manual.
    std::filesystem::create_directories(places[0]);
    WriteFileBytes(places[3], "manual");
    QCOMPARE(FindUserManual(places), places[3]);

    // The running program: an application folder without the manual, and the manual in
    // $XDG_DATA_HOME.
    const QByteArray oldHome = qgetenv("XDG_DATA_HOME");
    const bool hadHome = qEnvironmentVariableIsSet("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(xdgHome));
    const TWorkspace workspace(temp / "elsewhere/");
    const std::string found = workspace.UserManual();
    if (hadHome)
        qputenv("XDG_DATA_HOME", oldHome);
    else
        qunsetenv("XDG_DATA_HOME");
    QCOMPARE(found, xdgHome + inData);
}

int main(int argc, char** argv) {
    PrepareTestEnvironment();
    PrepareStartup();
    TApplication application(argc, argv);
    TDesktopTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "DesktopTest.moc"

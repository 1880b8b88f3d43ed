// Working in the main window: Undo and Redo of every change, the earlier versions, the tree
// beside the preview, the remembered window, and the keyboard.

#include "UiTestSupport.h"

#include "app/Startup.h"
#include "model/EarlierVersions.h"
#include "platform/FileFaults.h"
#include "ui/FMain.h"
#include "ui/FPage.h"
#include "ui/FRestore.h"
#include "ui/FTopic.h"
#include "ui/Workspace.h"

#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QSplitter>
#include <QTreeWidget>
#include <QWebEngineView>

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
    void cancelledDialogsAndClosingLeaveNothingToUndo();
    void failedUndoIsReportedAndChangesNothing();
    void restoreAnEarlierVersionAfterARestart();
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

    // Cancel restores nothing.
    answered = AnswerModal(main.FormRestore, [&] { main.FormRestore->ButtonCancel->click(); });
    main.MenuRestoreEarlierVersion->trigger();
    QVERIFY(*answered);
    QCOMPARE(MenuTitles(folder), std::vector<std::string>{"Elsewhere"});
    QVERIFY(prompter.Calls.isEmpty());
}

int main(int argc, char** argv) {
    PrepareTestEnvironment();
    PrepareStartup();
    TApplication application(argc, argv);
    TDesktopTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "DesktopTest.moc"

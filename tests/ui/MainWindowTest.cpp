// The main window: enabling, the tree commands, the preview, Build and Publish, and the
// error report, with the dialogs answered by the tests.

#include "UiTestSupport.h"

#include "app/Startup.h"
#include "platform/Locale.h"
#include "ui/Dialogs.h"
#include "ui/FBuild.h"
#include "ui/FMain.h"
#include "ui/FNew.h"
#include "ui/Pictures.h"
#include "ui/PreviewBuilder.h"
#include "ui/PreviewPane.h"
#include "ui/Workspace.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QToolBar>
#include <QToolTip>
#include <QTreeWidget>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <memory>
#include <set>

namespace {

constexpr int LoadTimeout = 20000;

// A main window over an application folder in a temporary folder. The Open dialog is
// answered by opening the project named in ToOpen.
class TMainFixture {
  public:
    TMainFixture() : Workspace(Temp.Path() + "/") {
        Form = std::make_unique<TFormMain>(Workspace, Prompter, Dialogs);
        Form->ShellOpen = [this](const QUrl& url) {
            Opened << url;
            return true;
        };
        Dialogs.Register(TDialogKind::Open, [this] {
            if (ToOpen.empty())
                return false;
            Workspace.Project = std::make_unique<TDProject>(Folder(ToOpen), Workspace.XMLDoc);
            return true;
        });
        Form->resize(900, 640);
        Form->show();
    }

    std::string Folder(const std::string& project) const {
        return Workspace.ProjectsFolder() + project;
    }
    TDProject& Project() { return *Workspace.Project; }

    // Runs a command and waits until the browser has loaded what it was pointed at.
    bool TriggerAndLoad(QAction* action) {
        QSignalSpy loaded(Form->WebBrowser, &QWebEngineView::loadFinished);
        action->trigger();
        return loaded.count() > 0 || loaded.wait(LoadTimeout);
    }
    bool Open(const std::string& project) {
        ToOpen = project;
        return TriggerAndLoad(Form->MenuOpenProject);
    }

    QTreeWidgetItem* Node(int top, int child = -1) const {
        QTreeWidgetItem* node = Form->TreeView->topLevelItem(top);
        return child < 0 ? node : node->child(child);
    }
    void Select(QTreeWidgetItem* node) { Form->TreeView->setCurrentItem(node); }
    QString Selected() const {
        QTreeWidgetItem* node = Form->SelectedNode();
        return node ? node->text(0) : QStringLiteral("(none)");
    }
    QStringList TopTitles() const {
        QStringList titles;
        for (int i = 0; i < Form->TreeView->topLevelItemCount(); ++i)
            titles << Form->TreeView->topLevelItem(i)->text(0);
        return titles;
    }
    QStringList ChildTitles(int top) const {
        QStringList titles;
        for (int i = 0; i < Node(top)->childCount(); ++i)
            titles << Node(top)->child(i)->text(0);
        return titles;
    }
    std::string PreviewBytes() { return ReadFileBytes(Project().PreviewFile()); }
    // Until the background build of the preview has written every page.
    void WaitForPreview() {
        QVERIFY(QTest::qWaitFor([this] { return !Form->Preview->IsRunning(); }, LoadTimeout));
    }
    // The title of the page the browser shows, asked of the page itself.
    QString BrowserTitle() {
        QString title = QStringLiteral("(no answer)");
        bool answered = false;
        Form->WebBrowser->page()->runJavaScript(QStringLiteral("document.title"),
                                                [&](const QVariant& result) {
                                                    title = result.toString();
                                                    answered = true;
                                                });
        if (!QTest::qWaitFor([&] { return answered; }, LoadTimeout))
            return QStringLiteral("(no answer)");
        return title;
    }

    TTempFolder Temp;
    TScriptedPrompter Prompter;
    TWorkspace Workspace;
    TDialogs Dialogs;
    std::unique_ptr<TFormMain> Form;
    std::string ToOpen;
    QList<QUrl> Opened;
};

// Every command of the menus and the tool bar.
QList<QAction*> Commands(TFormMain& f) {
    return {f.MenuNewProject,    f.MenuOpenProject,
            f.MenuClose,         f.MenuBuild,
            f.MenuPublish,       f.MenuSaveAsTemplate,
            f.MenuExportProject, f.MenuImportProject,
            f.MenuPrintSetup,    f.MenuPrint,
            f.MenuExit,          f.MenuAddColumn,
            f.MenuAddLink,       f.MenuAddPage,
            f.MenuMoveUp,        f.MenuMoveDown,
            f.MenuInformation,   f.MenuRemove,
            f.MenuPreview,       f.MenuPreviewInBrowser,
            f.MenuGoHome,        f.MenuGoBack,
            f.MenuGoForward,     f.MenuWelcomeBar,
            f.MenuTopic,         f.MenuMenu,
            f.MenuHotspot,       f.MenuFoot,
            f.MenuFrame,         f.MenuSize,
            f.MenuColor,         f.MenuFont,
            f.MenuLanguage,      f.MenuSiteOptions,
            f.MenuUserManual,    f.MenuHomePage,
            f.MenuAbout,         f.ToolNew,
            f.ToolOpen,          f.ToolBuild,
            f.ToolPublish,       f.ToolBrowser,
            f.ToolPreview,       f.ToolHome,
            f.ToolBack,          f.ToolForward,
            f.ToolAdd,           f.ToolUp,
            f.ToolDown,          f.ToolInfo,
            f.ToolRemove,        f.PopupAddColumn,
            f.PopupAddLink,      f.PopupAddPage};
}

QStringList Enabled(const QList<QAction*>& actions) {
    QStringList names;
    for (QAction* action : actions)
        if (action->isEnabled())
            names << action->objectName();
    return names;
}

QStringList Names(std::initializer_list<const char*> names) {
    QStringList list;
    for (const char* name : names)
        list << QString::fromLatin1(name);
    return list;
}

const QStringList AlwaysEnabled =
    Names({"MenuNewProject", "MenuOpenProject", "MenuImportProject", "MenuExit", "MenuPreview",
           "MenuUserManual", "MenuHomePage", "MenuAbout", "ToolNew", "ToolOpen", "ToolPreview",
           "ToolAdd"});

// The commands that an open project enables in either view.
const QStringList ProjectCommands =
    Names({"MenuClose",          "MenuBuild",         "MenuPublish",
           "MenuSaveAsTemplate", "MenuExportProject", "MenuPreviewInBrowser",
           "MenuWelcomeBar",     "MenuTopic",         "MenuMenu",
           "MenuHotspot",        "MenuFoot",          "MenuFrame",
           "MenuSize",           "MenuColor",         "MenuFont",
           "MenuLanguage",       "MenuSiteOptions",   "ToolBuild",
           "ToolPublish",        "ToolBrowser"});

QStringList Sorted(QStringList list) {
    list.sort();
    return list;
}

} // namespace

class TMainWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void startsWithoutProjectInTheTreeView();
    void enablingFollowsProjectViewAndNode();
    void backAndForwardFollowTheBrowserOnlyInThePreview();
    void addColumnLinkAndPage();
    void fullListsAddNothing();
    void moveUpAndDownKeepExpandedStates();
    void removeSelectsNextPreviousParentOrNone();
    void nodesTheFilesNoLongerHoldAreReported();
    void informationRefreshesWhateverTheAnswer();
    void settingsDialogsRefreshOnlyOnOK();
    void closeWritesNothing();
    void buildEmptiesHtmlAndSumsUpTheFolder();
    void buildSummaryNamesCopiesThatFailed();
    void publishBuildsBeforeItsDialog();
    void previewShowsTheBuiltHomepage();
    void unreadableProjectKeepsProgramUsable();
    void failedRefreshIsShownInTheStatusBar();
    void exitAsksFirst();
    void saveAsTemplateWritesIntoTemplates();
    void exportAndImportAProject();
    void shellOpensPreviewManualAndHomePage();
    void userManualAlwaysAnswers();
    void printGoesThroughTheBrowser();
    void projectsFolderThatCannotBeMadeDisablesNewAndOpen();
    void treeMenuCopiesEditStatesAndRightClickSelects();
    void ctrlClickNeverEmptiesTheSelection();
    void toolButtonsShowOnlyTheirHints();
    void brokenColumnWhileOpeningLeavesCaptionAndEnabling();
    void newProjectThroughTheRealDialog();
};

void TMainWindowTest::startsWithoutProjectInTheTreeView() {
    TMainFixture f;
    QCOMPARE(f.Form->windowTitle(), QStringLiteral("Corvane"));
    QVERIFY(FolderExists(f.Temp / "Projects"));
    QTRY_COMPARE(f.Form->WebBrowser->url(), QUrl(QStringLiteral("about:blank")));
    QCOMPARE(f.Form->TreeView->topLevelItemCount(), 0);
    // The tree stands beside the preview at first.
    QVERIFY(f.Form->MenuTreeBesidePreview->isChecked());
    QVERIFY(!f.Form->PanelTree->isHidden());
    QVERIFY(!f.Form->WebBrowser->isHidden());
    QVERIFY(!f.Form->MenuPreview->isChecked());
    QCOMPARE(Enabled(Commands(*f.Form)), AlwaysEnabled);
    // The one-view window: the tree alone, but for the start page while no project is open.
    f.Form->MenuTreeBesidePreview->trigger();
    QVERIFY(!f.Form->PanelTree->isHidden());
    QVERIFY(f.Form->PanelPreview->StartPageShown());
    QVERIFY(!f.Form->PanelPreview->isHidden());
    QCOMPARE(Enabled(Commands(*f.Form)), AlwaysEnabled);

    // The preview without a project: a blank browser, and Print, Home, Back, Forward stay off.
    f.Form->MenuPreview->trigger();
    QVERIFY(f.Form->ToolPreview->isChecked());
    QVERIFY(f.Form->PanelTree->isHidden());
    QVERIFY(!f.Form->WebBrowser->isHidden());
    QCOMPARE(Enabled(Commands(*f.Form)), AlwaysEnabled);
    f.Form->ToolPreview->trigger();
    QVERIFY(!f.Form->MenuPreview->isChecked());
    QVERIFY(!f.Form->PanelTree->isHidden());
    QVERIFY(f.Prompter.Calls.isEmpty());
}

void TMainWindowTest::enablingFollowsProjectViewAndNode() {
    TMainFixture f;
    MakeProject(f.Folder("Site"), {{"News", {"One", "Two"}}, {"Weather", {}, true}});
    QVERIFY(f.Open("Site"));
    QCOMPARE(f.Form->windowTitle(), QString::fromStdString("Corvane - " + f.Folder("Site")));
    QCOMPARE(f.Selected(), QStringLiteral("News"));

    // Tree view, the column node selected.
    QCOMPARE(Sorted(Enabled(Commands(*f.Form))),
             Sorted(AlwaysEnabled + ProjectCommands +
                    Names({"MenuAddColumn", "MenuAddLink", "MenuAddPage", "MenuMoveDown",
                           "MenuInformation", "MenuRemove", "PopupAddColumn", "PopupAddLink",
                           "PopupAddPage", "ToolDown", "ToolInfo", "ToolRemove"})));

    // The node commands by node: Add Page, Move Up, Move Down, Information and Remove.
    struct TRow {
        int Top, Child;
        QStringList NodeCommands;
    };
    const TRow rows[] = {
        {0, -1, Names({"MenuAddPage", "MenuMoveDown", "MenuInformation", "MenuRemove"})},
        {0, 0, Names({"MenuAddPage", "MenuMoveDown", "MenuInformation", "MenuRemove"})},
        {0, 1, Names({"MenuAddPage", "MenuMoveUp", "MenuInformation", "MenuRemove"})},
        {1, -1, Names({"MenuMoveUp", "MenuInformation", "MenuRemove"})},
    };
    const QList<QAction*> nodeMenu = {f.Form->MenuAddPage, f.Form->MenuMoveUp, f.Form->MenuMoveDown,
                                      f.Form->MenuInformation, f.Form->MenuRemove};
    for (const TRow& row : rows) {
        f.Select(f.Node(row.Top, row.Child));
        QCOMPARE(Enabled(nodeMenu), row.NodeCommands);
        // The twins copy their menu items.
        QCOMPARE(f.Form->PopupAddPage->isEnabled(), f.Form->MenuAddPage->isEnabled());
        QCOMPARE(f.Form->ToolUp->isEnabled(), f.Form->MenuMoveUp->isEnabled());
        QCOMPARE(f.Form->ToolDown->isEnabled(), f.Form->MenuMoveDown->isEnabled());
        QCOMPARE(f.Form->ToolInfo->isEnabled(), f.Form->MenuInformation->isEnabled());
        QCOMPARE(f.Form->ToolRemove->isEnabled(), f.Form->MenuRemove->isEnabled());
    }

    // Preview view: printing and Home on, the structure commands off.
    f.Form->MenuPreview->trigger();
    QCOMPARE(Sorted(Enabled(Commands(*f.Form))),
             Sorted(AlwaysEnabled + ProjectCommands +
                    Names({"MenuPrintSetup", "MenuPrint", "MenuGoHome", "ToolHome"})));
    // The keyboard focus goes to the browser in the preview view, to the tree in the other.
    QWidget* focus = f.Form->focusWidget();
    QVERIFY(focus == f.Form->WebBrowser || f.Form->WebBrowser->isAncestorOf(focus));
    f.Form->ToolPreview->trigger();
    QCOMPARE(f.Form->focusWidget(), f.Form->TreeView);
    f.Form->ToolPreview->trigger();
    // Selecting a node changes nothing that the browser shows.
    const QUrl shown = f.Form->WebBrowser->url();
    f.Select(f.Node(0, 1));
    QCOMPARE(f.Form->WebBrowser->url(), shown);
    QCOMPARE(QUrl::fromLocalFile(QString::fromStdString(f.Project().PreviewFile())), shown);
}

void TMainWindowTest::backAndForwardFollowTheBrowserOnlyInThePreview() {
    TMainFixture f;
    MakeProject(f.Folder("Site"), {{"News", {"One"}}, {"Tours", {"Two"}}});
    QVERIFY(f.Open("Site"));
    // The browser went from about:blank to the preview, but in the tree view it enables
    // nothing.
    QVERIFY(!f.Form->MenuGoBack->isEnabled());
    f.Form->MenuPreview->trigger();
    QVERIFY(!f.Form->MenuGoBack->isEnabled());

    // A link followed in the preview view: the browser's report enables Back.
    QSignalSpy loaded(f.Form->WebBrowser, &QWebEngineView::loadFinished);
    f.Form->Navigate(f.Folder("Site") + "/Temp/Page1.htm");
    QVERIFY(loaded.wait(LoadTimeout));
    QTRY_VERIFY(f.Form->MenuGoBack->isEnabled());
    QVERIFY(f.Form->ToolBack->isEnabled());
    QVERIFY(!f.Form->MenuGoForward->isEnabled());

    QVERIFY(f.TriggerAndLoad(f.Form->ToolBack));
    QTRY_VERIFY(f.Form->MenuGoForward->isEnabled());
    QVERIFY(f.Form->ToolForward->isEnabled());
    QCOMPARE(f.Form->WebBrowser->url(),
             QUrl::fromLocalFile(QString::fromStdString(f.Project().PreviewFile())));
    QVERIFY(f.TriggerAndLoad(f.Form->MenuGoForward));
    QTRY_VERIFY(!f.Form->MenuGoForward->isEnabled());
    QVERIFY(f.TriggerAndLoad(f.Form->ToolHome));
    QCOMPARE(f.Form->WebBrowser->url(),
             QUrl::fromLocalFile(QString::fromStdString(f.Project().PreviewFile())));
    QVERIFY(f.Form->MenuGoBack->isEnabled());

    // Back in the tree view both are off, and they stay off in the preview until the browser
    // reports again.
    f.Form->MenuPreview->trigger();
    QVERIFY(!f.Form->MenuGoBack->isEnabled());
    QVERIFY(!f.Form->MenuGoForward->isEnabled());
    f.Form->MenuPreview->trigger();
    QVERIFY(!f.Form->MenuGoForward->isEnabled());
    QVERIFY(!f.Form->ToolForward->isEnabled());

    // The browser's status text goes to panel 0.
    emit f.Form->WebBrowser->page()->linkHovered(QStringLiteral("file:///Page1.htm"));
    QCOMPARE(f.Form->StatusPanel0->text(), QStringLiteral("file:///Page1.htm"));
}

void TMainWindowTest::addColumnLinkAndPage() {
    TMainFixture f;
    MakeProject(f.Folder("Site"), {{"News", {"One"}}, {"Weather", {}, true}});
    QVERIFY(f.Open("Site"));
    const std::string news = f.Folder("Site") + "/Column1.Clm";

    // Add Page does nothing for a link.
    f.Select(f.Node(1));
    QVERIFY(!f.Form->MenuAddPage->isEnabled());
    f.Form->AddPageClick();
    QCOMPARE(f.Node(1)->childCount(), 0);
    QCOMPARE(PageTitles(news), std::vector<std::string>({"One"}));

    QVERIFY(f.TriggerAndLoad(f.Form->MenuAddColumn));
    QCOMPARE(f.TopTitles(), Names({"News", "Weather", "New Column"}));
    QCOMPARE(f.Selected(), QStringLiteral("New Column"));
    QCOMPARE(TFormMain::NodeIcon(f.Node(2)), TreeIconColumn);
    QCOMPARE(MenuTitles(f.Folder("Site")),
             std::vector<std::string>({"News", "Weather", "New Column"}));
    QVERIFY(FileExists(f.Folder("Site") + "/Column2.Clm"));
    QVERIFY(f.PreviewBytes().find("New Column") != std::string::npos);
    QCOMPARE(f.Form->WebBrowser->url(),
             QUrl::fromLocalFile(QString::fromStdString(f.Project().PreviewFile())));

    QVERIFY(f.TriggerAndLoad(f.Form->PopupAddLink));
    QCOMPARE(f.Selected(), QStringLiteral("New Link"));
    QCOMPARE(TFormMain::NodeIcon(f.Node(3)), TreeIconLink);
    QVERIFY(!f.Form->MenuAddPage->isEnabled());
    QVERIFY(f.Form->ToolInfo->isEnabled());

    // From a page node, the new page goes to the end of that page's column.
    f.Select(f.Node(0, 0));
    QVERIFY(f.TriggerAndLoad(f.Form->MenuAddPage));
    QCOMPARE(PageTitles(news), std::vector<std::string>({"One", "New Page"}));
    QCOMPARE(f.ChildTitles(0), Names({"One", "New Page"}));
    QCOMPARE(f.Form->SelectedNode(), f.Node(0, 1));
    QCOMPARE(TFormMain::NodeIcon(f.Node(0, 1)), TreeIconPage);

    // From a column node, through the tool bar's drop-down menu.
    f.Select(f.Node(2));
    QVERIFY(f.TriggerAndLoad(f.Form->PopupAddPage));
    QCOMPARE(PageTitles(f.Folder("Site") + "/Column2.Clm"), std::vector<std::string>({"New Page"}));
    QCOMPARE(f.Form->SelectedNode(), f.Node(2, 0));
    QVERIFY(f.Prompter.Calls.isEmpty());
}

void TMainWindowTest::fullListsAddNothing() {
    TMainFixture f;
    // 100 menu items, the first a column with 1000 pages, written as the files hold them.
    std::string items = "<MENUITEM><TITLE>Full</TITLE><COLUMN>Column1.Clm</COLUMN></MENUITEM>";
    for (int i = 1; i < TDProject::Capacity; ++i)
        items += "<MENUITEM><TITLE>Link " + std::to_string(i) + "</TITLE></MENUITEM>";
    std::string pages;
    for (int i = 0; i < TDColumn::Capacity; ++i)
        pages += "<PAGE><TITLE>P" + std::to_string(i) + "</TITLE></PAGE>";
    MakeFolder(f.Folder("Full"));
    WriteFileBytes(f.Folder("Full") + "/Default.Pro", std::string(XmlDeclaration) +
                                                          "<PROJECT><MENULIST>" + items +
                                                          "</MENULIST></PROJECT>");
    WriteFileBytes(f.Folder("Full") + "/Column1.Clm",
                   std::string(XmlDeclaration) + "<COLUMN>" + pages + "</COLUMN>");
    QVERIFY(f.Open("Full"));
    QCOMPARE(f.Form->TreeView->topLevelItemCount(), TDProject::Capacity);
    QCOMPARE(f.Node(0)->childCount(), TDColumn::Capacity);

    f.Select(f.Node(0, 5));
    f.WaitForPreview();
    const auto before = Snapshot(f.Folder("Full"));
    const QUrl shown = f.Form->WebBrowser->url();
    for (QAction* action : {f.Form->MenuAddColumn, f.Form->MenuAddLink, f.Form->MenuAddPage}) {
        QVERIFY(action->isEnabled());
        action->trigger();
    }
    f.WaitForPreview();
    QVERIFY(Snapshot(f.Folder("Full")) == before);
    QCOMPARE(f.Form->TreeView->topLevelItemCount(), TDProject::Capacity);
    QCOMPARE(f.Node(0)->childCount(), TDColumn::Capacity);
    QCOMPARE(f.Form->SelectedNode(), f.Node(0, 5));
    QCOMPARE(f.Form->WebBrowser->url(), shown);
    QVERIFY(f.Prompter.Calls.isEmpty());
}

void TMainWindowTest::moveUpAndDownKeepExpandedStates() {
    TMainFixture f;
    MakeProject(f.Folder("Site"), {{"A", {"a1", "a2", "a3"}}, {"B", {"b1"}}, {"C", {"c1"}}});
    QVERIFY(f.Open("Site"));
    const std::string columnA = f.Folder("Site") + "/Column1.Clm";
    QVERIFY(f.Node(0)->isExpanded() && f.Node(1)->isExpanded() && f.Node(2)->isExpanded());

    // Move Down: B (collapsed) comes in front of A; both keep their states.
    f.Node(1)->setExpanded(false);
    f.Select(f.Node(0));
    QVERIFY(f.TriggerAndLoad(f.Form->MenuMoveDown));
    QCOMPARE(f.TopTitles(), Names({"B", "A", "C"}));
    QCOMPARE(MenuTitles(f.Folder("Site")), std::vector<std::string>({"B", "A", "C"}));
    QCOMPARE(f.Selected(), QStringLiteral("A"));
    QVERIFY(!f.Node(0)->isExpanded());
    QVERIFY(f.Node(1)->isExpanded());
    QVERIFY(f.Form->ToolUp->isEnabled() && f.Form->ToolDown->isEnabled());

    // Move Up of the expanded A keeps it expanded, with its pages.
    QVERIFY(f.TriggerAndLoad(f.Form->ToolUp));
    QCOMPARE(f.TopTitles(), Names({"A", "B", "C"}));
    QVERIFY(f.Node(0)->isExpanded());
    QCOMPARE(f.ChildTitles(0), Names({"a1", "a2", "a3"}));
    QVERIFY(!f.Form->ToolUp->isEnabled());

    // Move Down of a collapsed A: the expanded B comes in front of it, expanded again.
    f.Node(1)->setExpanded(true);
    f.Node(0)->setExpanded(false);
    QVERIFY(f.TriggerAndLoad(f.Form->MenuMoveDown));
    QCOMPARE(f.TopTitles(), Names({"B", "A", "C"}));
    QVERIFY(f.Node(0)->isExpanded());
    QVERIFY(!f.Node(1)->isExpanded());

    // Pages move inside their column document.
    f.Select(f.Node(1, 0));
    QVERIFY(f.TriggerAndLoad(f.Form->PopupTreeviewMoveDown));
    QCOMPARE(PageTitles(columnA), std::vector<std::string>({"a2", "a1", "a3"}));
    QCOMPARE(f.ChildTitles(1), Names({"a2", "a1", "a3"}));
    QCOMPARE(f.Selected(), QStringLiteral("a1"));
    QVERIFY(f.TriggerAndLoad(f.Form->MenuMoveUp));
    QCOMPARE(PageTitles(columnA), std::vector<std::string>({"a1", "a2", "a3"}));
    QCOMPARE(f.ChildTitles(1), Names({"a1", "a2", "a3"}));
    QCOMPARE(f.Selected(), QStringLiteral("a1"));
}

void TMainWindowTest::removeSelectsNextPreviousParentOrNone() {
    TMainFixture f;
    MakeProject(f.Folder("Site"),
                {{"News", {"p1", "p2", "p3"}}, {"Solo", {"only"}}, {"L", {}, true}});
    QVERIFY(f.Open("Site"));
    const std::string news = f.Folder("Site") + "/Column1.Clm";

    // No changes nothing.
    f.Select(f.Node(2));
    const auto before = Snapshot(f.Folder("Site"));
    f.Prompter.Answers = {false};
    f.Form->MenuRemove->trigger();
    QCOMPARE(f.Prompter.TakeCalls(), QStringList{"ConfirmYesNo: Remove \"L\"?"});
    QVERIFY(Snapshot(f.Folder("Site")) == before);
    QCOMPARE(f.TopTitles(), Names({"News", "Solo", "L"}));

    struct TRow {
        int Top, Child;
        const char* Question;
        const char* SelectedAfter;
    };
    const TRow rows[] = {
        {0, 1, "Remove \"p2\"?", "p3"},     // the next sibling
        {0, 1, "Remove \"p3\"?", "p1"},     // the last page: the previous sibling
        {1, 0, "Remove \"only\"?", "Solo"}, // the only page: the parent
        {2, -1, "Remove \"L\"?", "Solo"},   // the last item: the previous sibling
    };
    for (const TRow& row : rows) {
        f.Select(f.Node(row.Top, row.Child));
        f.Prompter.Answers = {true};
        QSignalSpy loaded(f.Form->WebBrowser, &QWebEngineView::loadFinished);
        f.Form->ToolRemove->trigger();
        QVERIFY(loaded.wait(LoadTimeout));
        QCOMPARE(f.Prompter.TakeCalls(), QStringList{"ConfirmYesNo: " + QString(row.Question)});
        QCOMPARE(f.Selected(), QString(row.SelectedAfter));
    }
    QCOMPARE(PageTitles(news), std::vector<std::string>({"p1"}));
    QCOMPARE(PageTitles(f.Folder("Site") + "/Column2.Clm"), std::vector<std::string>{});
    QCOMPARE(MenuTitles(f.Folder("Site")), std::vector<std::string>({"News", "Solo"}));
    QCOMPARE(f.ChildTitles(0), Names({"p1"}));

    // Removing the only item leaves nothing selected and the node commands off.
    f.Prompter.Answers = {true, true, true};
    f.Select(f.Node(1));
    QVERIFY(f.TriggerAndLoad(f.Form->MenuRemove));
    f.Select(f.Node(0));
    QVERIFY(f.TriggerAndLoad(f.Form->MenuRemove));
    QCOMPARE(f.Form->TreeView->topLevelItemCount(), 0);
    QCOMPARE(f.Selected(), QStringLiteral("(none)"));
    for (QAction* action : {f.Form->MenuAddPage, f.Form->MenuMoveUp, f.Form->MenuMoveDown,
                            f.Form->MenuInformation, f.Form->MenuRemove, f.Form->ToolInfo})
        QVERIFY2(!action->isEnabled(), qPrintable(action->objectName()));
    QCOMPARE(MenuTitles(f.Folder("Site")), std::vector<std::string>{});
    // The empty menu list gives the empty homepage.
    QCOMPARE(f.PreviewBytes(), std::string("<html>\r\n</html>\r\n"));
}

// A column document changed behind the window's back: the commands on nodes it no longer
// holds change nothing and say so.
void TMainWindowTest::nodesTheFilesNoLongerHoldAreReported() {
    TMainFixture f;
    MakeProject(f.Folder("Site"), {{"News", {"p1", "p2", "p3"}}});
    QVERIFY(f.Open("Site"));
    const std::string news = f.Folder("Site") + "/Column1.Clm";
    {
        TXmlDocument document;
        TDColumn column(news, document);
        column.RemovePage(2);
        column.RemovePage(1);
    }
    const std::string before = ReadFileBytes(news);
    const QString error = QStringLiteral(
        "Error: The tree no longer matches the project; close the project and open it again.");

    f.Select(f.Node(0, 2));
    f.Prompter.Answers = {true};
    f.Form->MenuRemove->trigger();
    QCOMPARE(f.Prompter.TakeCalls(), QStringList({"ConfirmYesNo: Remove \"p3\"?", error}));
    f.Select(f.Node(0, 1));
    f.Form->MenuMoveUp->trigger();
    QCOMPARE(f.Prompter.TakeCalls(), QStringList{error});
    f.Form->MenuInformation->trigger();
    QCOMPARE(f.Prompter.TakeCalls(), QStringList{error});

    QCOMPARE(ReadFileBytes(news), before);
    QCOMPARE(f.ChildTitles(0), Names({"p1", "p2", "p3"}));
}

void TMainWindowTest::informationRefreshesWhateverTheAnswer() {
    TMainFixture f;
    MakeProject(f.Folder("Site"), {{"News", {"One", "Two"}}});
    QVERIFY(f.Open("Site"));
    // Dialogs that change the record in memory and then answer Cancel.
    int columnItem = -2, pagePage = -2;
    f.Dialogs.Register(TDialogKind::Column, [&] {
        columnItem = f.Project().CurrentItem;
        f.Project().MenuItem(columnItem).TITLE = "Renamed column";
        return false;
    });
    f.Dialogs.Register(TDialogKind::Page, [&] {
        pagePage = CurrentColumn->CurrentPage;
        CurrentColumn->Page(pagePage).TITLE = "Renamed page";
        return false;
    });

    f.Select(f.Node(0));
    QVERIFY(f.TriggerAndLoad(f.Form->ToolInfo));
    QCOMPARE(columnItem, 0);
    QCOMPARE(f.Node(0)->text(0), QStringLiteral("Renamed column"));
    QVERIFY(f.PreviewBytes().find("Renamed column") != std::string::npos);

    // Enter on the tree runs Information... on the selected page.
    f.Select(f.Node(0, 1));
    f.Form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f.Form.get()));
    f.Form->TreeView->setFocus();
    QSignalSpy loaded(f.Form->WebBrowser, &QWebEngineView::loadFinished);
    QTest::keyClick(f.Form->TreeView, Qt::Key_Return);
    QVERIFY(loaded.wait(LoadTimeout));
    QCOMPARE(pagePage, 1);
    QCOMPARE(f.Node(0, 1)->text(0), QStringLiteral("Renamed page"));
    QCOMPARE(CurrentColumn, nullptr);
    // Cancel wrote nothing: the column document keeps the old title.
    QCOMPARE(PageTitles(f.Folder("Site") + "/Column1.Clm"),
             std::vector<std::string>({"One", "Two"}));
    QVERIFY(f.Prompter.Calls.isEmpty());
}

void TMainWindowTest::settingsDialogsRefreshOnlyOnOK() {
    TMainFixture f;
    MakeProject(f.Folder("Site"), {{"News", {"One"}}});
    QVERIFY(f.Open("Site"));
    // Each item of the Page and Style menus opens its own dialog.
    const std::pair<QAction*, TDialogKind> items[] = {
        {f.Form->MenuWelcomeBar, TDialogKind::WelcomeBar},
        {f.Form->MenuTopic, TDialogKind::Topic},
        {f.Form->MenuMenu, TDialogKind::Menu},
        {f.Form->MenuHotspot, TDialogKind::Hotspot},
        {f.Form->MenuFoot, TDialogKind::Foot},
        {f.Form->MenuFrame, TDialogKind::Frame},
        {f.Form->MenuSize, TDialogKind::Size},
        {f.Form->MenuColor, TDialogKind::Color},
        {f.Form->MenuFont, TDialogKind::Font},
        {f.Form->MenuLanguage, TDialogKind::Language},
        {f.Form->MenuSiteOptions, TDialogKind::Options},
    };
    std::vector<TDialogKind> shown;
    for (const auto& [action, kind] : items)
        f.Dialogs.Register(kind, [&shown, kind = kind] {
            shown.push_back(kind);
            return false;
        });
    for (const auto& [action, kind] : items) {
        action->trigger();
        QCOMPARE(shown.back(), kind);
    }
    QCOMPARE(shown.size(), std::size(items));

    // Cancel: no refresh. OK: the preview is built again and shown.
    const std::string before = f.PreviewBytes();
    f.Dialogs.Register(TDialogKind::Topic, [&] {
        f.Project().TOPIC.CAPTION = "Caption of the test";
        return false;
    });
    QSignalSpy loads(f.Form->WebBrowser, &QWebEngineView::loadFinished);
    f.Form->MenuTopic->trigger();
    QVERIFY(!loads.wait(500));
    QCOMPARE(f.PreviewBytes(), before);
    f.Dialogs.Register(TDialogKind::Topic, [&] {
        f.Project().Save();
        return true;
    });
    QVERIFY(f.TriggerAndLoad(f.Form->MenuTopic));
    QCOMPARE(TitleOf(f.PreviewBytes()), std::string("Caption of the test"));
    // The browser shows the page as it is now, not a remembered copy.
    QCOMPARE(f.BrowserTitle(), QStringLiteral("Caption of the test"));
}

void TMainWindowTest::closeWritesNothing() {
    TMainFixture f;
    MakeProject(f.Folder("Site"), {{"News", {"One"}}, {"Weather", {}, true}});
    QVERIFY(f.Open("Site"));
    f.Form->MenuPreview->trigger();
    const auto before = Snapshot(f.Folder("Site"));
    QVERIFY(f.TriggerAndLoad(f.Form->MenuClose));
    QVERIFY(Snapshot(f.Folder("Site")) == before);
    QVERIFY(!f.Workspace.IsOpen());
    QCOMPARE(f.Form->windowTitle(), QStringLiteral("Corvane"));
    QCOMPARE(f.Form->TreeView->topLevelItemCount(), 0);
    QCOMPARE(f.Form->WebBrowser->url(), QUrl(QStringLiteral("about:blank")));
    // Still in the preview view, with everything that needs a project off.
    QVERIFY(f.Form->MenuPreview->isChecked());
    QCOMPARE(Enabled(Commands(*f.Form)), AlwaysEnabled);

    // Opening while the preview is checked shows the new project's homepage.
    QVERIFY(f.Open("Site"));
    QVERIFY(!f.Form->WebBrowser->isHidden());
    QCOMPARE(f.Form->WebBrowser->url(),
             QUrl::fromLocalFile(QString::fromStdString(f.Project().PreviewFile())));
}

void TMainWindowTest::buildEmptiesHtmlAndSumsUpTheFolder() {
    TMainFixture f;
    MakeProject(f.Folder("Site"), {{"News", {"One", "Two"}}});
    {
        // A large logo, so that the total needs two thousands separators.
        TXmlDocument document;
        TDProject project(f.Folder("Site"), document);
        project.TOPIC.LOGO = "Logo.gif";
        project.Save();
        WriteFileBytes(f.Folder("Site") + "/Images/Logo.gif", std::string(1234567, 'x'));
    }
    QVERIFY(f.Open("Site"));
    const std::string html = f.Folder("Site") + "/HTML/";
    WriteFileBytes(html + "Stale.htm", "old");
    WriteFileBytes(html + ".hidden", "stays");
    MakeFolder(html + "Sub");
    WriteFileBytes(html + "Sub/Keep.htm", "stays");
    WriteFileBytes(f.Folder("Site") + "/Temp/Stale.htm", "stays");

    TFormBuild formBuild(f.Workspace, f.Form.get());
    QStringList summary;
    f.Dialogs.Register(TDialogKind::Build, [&] {
        formBuild.FormShow();
        summary << formBuild.EditPath->text() << formBuild.LabelHome->text()
                << formBuild.LabelCount->text() << formBuild.LabelSize->text();
        return false;
    });
    SetThousandsSeparator(".");
    f.Form->ToolBuild->trigger();
    SetThousandsSeparator("");

    QVERIFY(!FileExists(html + "Stale.htm"));
    QVERIFY(FileExists(html + ".hidden"));
    QVERIFY(FileExists(html + "Sub/Keep.htm"));
    QVERIFY(FileExists(f.Folder("Site") + "/Temp/Stale.htm"));
    QVERIFY(FileExists(html + "Default.htm"));
    QVERIFY(FileExists(html + "Logo.gif"));

    // The summary counts the plain files directly in the folder.
    int count = 0;
    std::int64_t total = 0;
    for (const auto& entry : std::filesystem::directory_iterator(html)) {
        if (!entry.is_regular_file() || entry.path().filename().string()[0] == '.')
            continue;
        ++count;
        total += static_cast<std::int64_t>(entry.file_size());
    }
    QCOMPARE(count, 4); // the homepage, two page files and the logo
    QVERIFY(total > 1234567 && total < 2000000);
    const std::string digits = std::to_string(total);
    const std::string grouped =
        digits.substr(0, 1) + "." + digits.substr(1, 3) + "." + digits.substr(4, 3);
    QCOMPARE(summary, QStringList({QString::fromStdString(html), "Default.htm", "4 Files",
                                   QString::fromStdString(grouped + " Byte")}));
    QVERIFY(f.Prompter.Calls.isEmpty());
}

// A picture that is there but whose copy cannot be written (a folder holds its name in HTML)
// is named in the Build dialog and the status bar; the next build that writes it clears both.
void TMainWindowTest::buildSummaryNamesCopiesThatFailed() {
    TMainFixture f;
    MakeProject(f.Folder("Site"), {{"News", {"One"}}});
    {
        TXmlDocument document;
        TDProject project(f.Folder("Site"), document);
        project.TOPIC.LOGO = "Logo.gif";
        project.Save();
        WriteFileBytes(f.Folder("Site") + "/Images/Logo.gif", "GIF89a logo");
    }
    QVERIFY(f.Open("Site"));
    const std::string html = f.Folder("Site") + "/HTML/";
    MakeFolder(html + "Logo.gif");

    TFormBuild formBuild(f.Workspace, f.Form.get());
    QStringList shown;
    f.Dialogs.Register(TDialogKind::Build, [&] {
        formBuild.show();
        shown << (formBuild.LabelCopyFailures->isVisible() ? formBuild.LabelCopyFailures->text()
                                                           : QStringLiteral("(hidden)"))
              << f.Form->StatusPanel1->text();
        formBuild.hide();
        return false;
    });
    f.Form->ToolBuild->trigger();
    QCOMPARE(shown.size(), 2);
    QVERIFY2(shown[0].startsWith("1 picture or download could not be written, the first "
                                 "Logo.gif: "),
             qPrintable(shown[0]));
    QCOMPARE(shown[1], shown[0]);
    QVERIFY(formBuild.height() >= 176);

    std::filesystem::remove(html + "Logo.gif");
    shown.clear();
    f.Form->ToolBuild->trigger();
    QCOMPARE(shown, QStringList({"(hidden)", ""}));
    QCOMPARE(ReadFileBytes(html + "Logo.gif"), std::string("GIF89a logo"));
    QVERIFY(f.Prompter.Calls.isEmpty());
}

void TMainWindowTest::publishBuildsBeforeItsDialog() {
    TMainFixture f;
    MakeProject(f.Folder("Site"), {{"News", {"One"}}});
    QVERIFY(f.Open("Site"));
    const std::string homepage = f.Folder("Site") + "/HTML/Default.htm";
    WriteFileBytes(f.Folder("Site") + "/HTML/Stale.htm", "old");

    // Without a publish dialog the command builds and stops.
    f.Form->ToolPublish->trigger();
    QVERIFY(FileExists(homepage));
    QVERIFY(!FileExists(f.Folder("Site") + "/HTML/Stale.htm"));

    DeleteFileQuietly(homepage);
    bool builtFirst = false;
    f.Dialogs.Register(TDialogKind::Publish, [&] {
        builtFirst = FileExists(homepage);
        return true;
    });
    f.Form->MenuPublish->trigger();
    QVERIFY(builtFirst);
    QVERIFY(f.Form->StatusPanel1->text().isEmpty());
    QVERIFY(f.Prompter.Calls.isEmpty());
}

void TMainWindowTest::previewShowsTheBuiltHomepage() {
    TMainFixture f;
    MakeProject(f.Folder("Site"), {{"News", {"One"}}});
    {
        TXmlDocument document;
        TDProject project(f.Folder("Site"), document);
        project.TOPIC.CAPTION = "Hiking in the hills";
        project.FRAME.HOMEPAGE = "Index";
        project.Save();
    }
    QVERIFY(f.Open("Site"));
    f.Form->MenuPreview->trigger();
    QCOMPARE(f.Form->WebBrowser->url(),
             QUrl::fromLocalFile(QString::fromStdString(f.Folder("Site") + "/Temp/Index.htm")));
    const QString title = f.BrowserTitle();
    QCOMPARE(title.toStdString(), TitleOf(f.PreviewBytes()));
    QCOMPARE(title, QStringLiteral("Hiking in the hills"));

    // The page is painted: its picture holds more than one colour.
    QTest::qWait(200);
    const QImage picture = f.Form->WebBrowser->grab().toImage();
    std::set<QRgb> colours;
    for (int y = 0; y < picture.height(); y += 7)
        for (int x = 0; x < picture.width(); x += 7)
            colours.insert(picture.pixel(x, y));
    QVERIFY(colours.size() > 2);
}

void TMainWindowTest::unreadableProjectKeepsProgramUsable() {
    TMainFixture f;
    MakeProject(f.Folder("Site"), {{"News", {"One"}}});
    MakeProject(f.Folder("Other"), {{"Tours", {}}});
    QVERIFY(f.Open("Site"));
    const std::string projectFile = f.Folder("Site") + "/Default.Pro";

    // Corrupted while open: the error is shown and the file is left as it is.
    const std::string garbage = "<PROJECT><FRAME>";
    WriteFileBytes(projectFile, garbage);
    f.Form->MenuAddLink->trigger();
    QStringList calls = f.Prompter.TakeCalls();
    QCOMPARE(calls.size(), 1);
    QVERIFY(calls[0].startsWith("Error: "));
    QVERIFY2(calls[0].contains("Default.Pro"), qPrintable(calls[0]));
    QCOMPARE(ReadFileBytes(projectFile), garbage);

    // Deleted while open: nothing writes it again.
    DeleteFileQuietly(projectFile);
    f.Form->MenuAddColumn->trigger();
    calls = f.Prompter.TakeCalls();
    QCOMPARE(calls.size(), 1);
    QVERIFY2(calls[0].startsWith("Error: ") && calls[0].contains("Default.Pro"),
             qPrintable(calls[0]));
    QVERIFY(!FileExists(projectFile));

    // The program goes on: close, and open another project.
    f.Form->MenuClose->trigger();
    QVERIFY(!f.Workspace.IsOpen());
    QVERIFY(f.Open("Other"));
    QCOMPARE(f.TopTitles(), Names({"Tours"}));
    QVERIFY(f.Prompter.Calls.isEmpty());
}

void TMainWindowTest::failedRefreshIsShownInTheStatusBar() {
    TMainFixture f;
    MakeProject(f.Folder("Site"), {{"News", {"One"}}});
    QVERIFY(f.Open("Site"));
    QVERIFY(f.Form->StatusPanel1->text().isEmpty());
    const std::string column = f.Folder("Site") + "/Column1.Clm";
    const std::string good = ReadFileBytes(column);

    WriteFileBytes(column, "<COLUMN><PAGE>");
    const std::string shown = f.PreviewBytes();
    f.Form->MenuAddLink->trigger();
    const QStringList calls = f.Prompter.TakeCalls();
    QCOMPARE(calls.size(), 1);
    QVERIFY2(calls[0].startsWith("Error: ") && calls[0].contains("Column1.Clm"),
             qPrintable(calls[0]));
    QCOMPARE(f.Form->StatusPanel1->text(), QStringLiteral("Preview is out of date"));
    // What the command did before the error stays done.
    QCOMPARE(f.TopTitles(), Names({"News", "New Link"}));
    QCOMPARE(MenuTitles(f.Folder("Site")), std::vector<std::string>({"News", "New Link"}));

    // The next refresh that works clears the warning.
    WriteFileBytes(column, good);
    QVERIFY(f.TriggerAndLoad(f.Form->MenuAddLink));
    QVERIFY(f.Form->StatusPanel1->text().isEmpty());
    QVERIFY(f.PreviewBytes() != shown);
    QVERIFY(f.Prompter.Calls.isEmpty());
}

void TMainWindowTest::exitAsksFirst() {
    TMainFixture f;
    f.Prompter.Answers = {false};
    f.Form->MenuExit->trigger();
    QVERIFY(f.Form->isVisible());
    f.Prompter.Answers = {true};
    QVERIFY(f.Form->close());
    QVERIFY(!f.Form->isVisible());
    QCOMPARE(f.Prompter.Calls,
             QStringList({"ConfirmOKCancel: Exit Corvane?", "ConfirmOKCancel: Exit Corvane?"}));
}

void TMainWindowTest::saveAsTemplateWritesIntoTemplates() {
    TMainFixture f;
    MakeProject(f.Folder("Site"), {{"News", {"One"}}});
    QVERIFY(f.Open("Site"));
    const std::string templates = f.Temp / "Templates";
    QVERIFY(!FolderExists(templates));

    // Cancelled: the folder is made, nothing is written.
    f.Form->MenuSaveAsTemplate->trigger();
    QVERIFY(FolderExists(templates));
    QCOMPARE(f.Prompter.TakeCalls(),
             QStringList({QString::fromStdString("SaveFile: Save As Template | " + templates +
                                                 "/ | Template File (*.tmp)"),
                          "Unanswered"}));
    QVERIFY(ListFolder(templates).empty());

    const auto project = Snapshot(f.Folder("Site"));
    f.Prompter.Files = {QString::fromStdString(templates + "/Shop.tmp")};
    f.Form->MenuSaveAsTemplate->trigger();
    QVERIFY(FileExists(templates + "/Shop.Tmp"));
    QVERIFY(ReadFileBytes(templates + "/Shop.Tmp").find("<TEMPLATE>") != std::string::npos);
    QVERIFY(Snapshot(f.Folder("Site")) == project);
    QCOMPARE(f.Prompter.TakeCalls().size(), 1);
}

void TMainWindowTest::exportAndImportAProject() {
    TMainFixture f;
    MakeProject(f.Folder("Site"), {{"News", {"One"}}});
    QVERIFY(f.Open("Site"));
    const QString archive = Q(f.Temp / "Out.corvane");
    const QString saveCall = QStringLiteral("SaveFile: Export Project | ") + QDir::homePath() +
                             QStringLiteral("/Site.corvane | Corvane Project (*.corvane)");

    // Cancelled: nothing is written.
    f.Form->MenuExportProject->trigger();
    QCOMPARE(f.Prompter.TakeCalls(), QStringList({saveCall, "Unanswered"}));
    QVERIFY(!FileExists(archive.toStdString()));

    // A name without the extension gets it.
    f.Prompter.Files = {Q(f.Temp / "Out")};
    f.Form->MenuExportProject->trigger();
    QCOMPARE(f.Prompter.TakeCalls(),
             QStringList({saveCall, QStringLiteral("Information: The project was written into ") +
                                        archive + QStringLiteral(" (2 files).")}));
    QVERIFY(FileExists(archive.toStdString()));

    // Imported into Projects under the archive's name and opened there.
    f.Prompter.Files = {archive};
    QVERIFY(f.TriggerAndLoad(f.Form->MenuImportProject));
    QCOMPARE(f.Prompter.TakeCalls(),
             QStringList({"OpenFile: Import Project | Corvane Project (*.corvane)"}));
    QCOMPARE(Q(f.Project().Folder), Q(f.Folder("Out")));
    QCOMPARE(f.TopTitles(), QStringList({"News"}));
    QVERIFY(f.Form->MenuExportProject->isEnabled());

    // Once more: the folder is there, and the open project stays open.
    f.Prompter.Files = {archive};
    f.Form->MenuImportProject->trigger();
    QCOMPARE(f.Prompter.TakeCalls(),
             QStringList({"OpenFile: Import Project | Corvane Project (*.corvane)",
                          QStringLiteral("Error: The folder ") + Q(f.Folder("Out")) +
                              QStringLiteral(" exists already.")}));
    QCOMPARE(Q(f.Project().Folder), Q(f.Folder("Out")));

    // A damaged archive is refused naming it; nothing new comes into Projects.
    WriteFileBytes(f.Temp / "Bad.corvane", "PK no zip");
    f.Prompter.Files = {Q(f.Temp / "Bad.corvane")};
    f.Form->MenuImportProject->trigger();
    const QStringList calls = f.Prompter.TakeCalls();
    QCOMPARE(calls.size(), 2);
    QVERIFY2(calls[1].startsWith(QStringLiteral("Error: The file is no project archive")) &&
                 calls[1].contains(Q(f.Temp / "Bad.corvane")),
             qPrintable(calls[1]));
    QVERIFY(!PathExists(f.Folder("Bad")));
    QCOMPARE(Q(f.Project().Folder), Q(f.Folder("Out")));
}

void TMainWindowTest::shellOpensPreviewManualAndHomePage() {
    TMainFixture f;
    MakeProject(f.Folder("Site"), {{"News", {"One"}}});
    QVERIFY(f.Open("Site"));
    MakeFolder(f.Temp / "Help");
    WriteFileBytes(f.Temp / "Help/Default.htm", "<html><title>Manual</title></html>");
    f.Form->ToolBrowser->trigger();
    f.Form->MenuUserManual->trigger();
    f.Form->MenuHomePage->trigger();
    QCOMPARE(f.Opened,
             QList<QUrl>({QUrl::fromLocalFile(QString::fromStdString(f.Project().PreviewFile())),
                          QUrl::fromLocalFile(QString::fromStdString(f.Temp / "Help/Default.htm")),
                          QUrl(QString::fromLatin1(TFormMain::HomePageAddress))}));
    QVERIFY(f.Prompter.Calls.isEmpty());
}

void TMainWindowTest::userManualAlwaysAnswers() {
    TMainFixture f;
    // Missing: a message says so, and nothing is opened.
    f.Form->MenuUserManual->trigger();
    const std::string manual = f.Workspace.UserManual();
    QCOMPARE(f.Prompter.TakeCalls(),
             QStringList{QStringLiteral("Information: The user manual is missing: ") + Q(manual) +
                         QStringLiteral(" was not found.")});
    QVERIFY(f.Opened.isEmpty());
    // No system browser: the window's own browser shows it, in the preview view.
    MakeFolder(f.Temp / "Help");
    WriteFileBytes(f.Temp / "Help/Default.htm", "<html><title>Manual</title></html>");
    f.Form->ShellOpen = [](const QUrl&) { return false; };
    f.Form->MenuTreeBesidePreview->trigger();
    QVERIFY(f.Form->PanelPreview->StartPageShown());
    QVERIFY(f.TriggerAndLoad(f.Form->MenuUserManual));
    QVERIFY(!f.Form->PanelPreview->StartPageShown());
    QCOMPARE(f.Form->WebBrowser->url(),
             QUrl::fromLocalFile(QString::fromStdString(f.Temp / "Help/Default.htm")));
    QVERIFY(!f.Form->WebBrowser->isHidden());
    QVERIFY(f.Form->MenuPreview->isChecked());
    QCOMPARE(f.BrowserTitle(), QStringLiteral("Manual"));
    QVERIFY(f.Prompter.Calls.isEmpty());
}

void TMainWindowTest::printGoesThroughTheBrowser() {
    TMainFixture f;
    MakeProject(f.Folder("Site"), {{"News", {"One"}}});
    QVERIFY(f.Open("Site"));
    f.Form->MenuPreview->trigger();
    f.Prompter.Answers = {false, false};
    f.Form->MenuPrintSetup->trigger();
    f.Form->MenuPrint->trigger();
    QCOMPARE(f.Prompter.TakeCalls(), QStringList({"PageSetup: ", "PrintSetup: "}));

    const std::string pdf = f.Temp / "Printed.pdf";
    f.Prompter.PrintInto = QString::fromStdString(pdf);
    f.Prompter.Answers = {true};
    QSignalSpy printed(f.Form->WebBrowser, &QWebEngineView::printFinished);
    f.Form->MenuPrint->trigger();
    QVERIFY(printed.wait(LoadTimeout));
    QCOMPARE(printed.at(0).at(0).toBool(), true);
    QCOMPARE(ReadFileBytes(pdf).substr(0, 5), std::string("%PDF-"));
}

void TMainWindowTest::projectsFolderThatCannotBeMadeDisablesNewAndOpen() {
    TTempFolder temp;
    WriteFileBytes(temp / "Projects", "a file where the folder should be");
    TScriptedPrompter prompter;
    TWorkspace workspace(temp.Path() + "/");
    TDialogs dialogs;
    TFormMain form(workspace, prompter, dialogs);
    QCOMPARE(Enabled({form.MenuNewProject, form.MenuOpenProject, form.ToolNew, form.ToolOpen}),
             QStringList());
    form.MenuClose->trigger();
    QVERIFY(!form.MenuNewProject->isEnabled());
    QVERIFY(prompter.Calls.isEmpty());
}

void TMainWindowTest::treeMenuCopiesEditStatesAndRightClickSelects() {
    TMainFixture f;
    MakeProject(f.Folder("Site"), {{"News", {"One"}}, {"Weather", {}, true}});
    QVERIFY(f.Open("Site"));
    f.Select(f.Node(1));

    const QList<QAction*> popup = {f.Form->PopupTreeviewAddColumn, f.Form->PopupTreeviewAddLink,
                                   f.Form->PopupTreeviewAddPage,   f.Form->PopupTreeviewMoveUp,
                                   f.Form->PopupTreeviewMoveDown,  f.Form->PopupTreeviewInformation,
                                   f.Form->PopupTreeviewRemove};
    // A right click on another node selects it first; the menu then acts on that node.
    QTreeWidget* tree = f.Form->TreeView;
    const QPoint at = tree->visualItemRect(f.Node(0)).center();
    QTest::mouseClick(tree->viewport(), Qt::RightButton, {}, at);
    QCOMPARE(f.Selected(), QStringLiteral("News"));
    emit tree->customContextMenuRequested(at);
    QTRY_VERIFY(f.Form->PopupMenuTreeView->isVisible());
    QCOMPARE(Enabled(popup),
             Names({"PopupTreeviewAddColumn", "PopupTreeviewAddLink", "PopupTreeviewAddPage",
                    "PopupTreeviewMoveDown", "PopupTreeviewInformation", "PopupTreeviewRemove"}));
    f.Form->PopupMenuTreeView->hide();

    // On a page: the page. On empty space: no node, only the additions of columns and links.
    QTest::mouseClick(tree->viewport(), Qt::RightButton, {},
                      tree->visualItemRect(f.Node(0, 0)).center());
    QCOMPARE(f.Selected(), QStringLiteral("One"));
    const QPoint empty(tree->viewport()->width() / 2, tree->viewport()->height() - 2);
    QVERIFY(!tree->itemAt(empty));
    QTest::mouseClick(tree->viewport(), Qt::RightButton, {}, empty);
    QCOMPARE(f.Selected(), QStringLiteral("(none)"));
    emit tree->customContextMenuRequested(empty);
    QTRY_VERIFY(f.Form->PopupMenuTreeView->isVisible());
    QCOMPARE(Enabled(popup), Names({"PopupTreeviewAddColumn", "PopupTreeviewAddLink"}));
    f.Form->PopupMenuTreeView->hide();
    QVERIFY(f.Prompter.Calls.isEmpty());
}

void TMainWindowTest::ctrlClickNeverEmptiesTheSelection() {
    TMainFixture f;
    MakeProject(f.Folder("Site"), {{"News", {"One"}}, {"Weather", {}, true}});
    QVERIFY(f.Open("Site"));
    f.Form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f.Form.get()));
    QTreeWidget* tree = f.Form->TreeView;
    tree->setFocus();

    // Ctrl+click and Ctrl+Space on the selected node keep it selected, and the node commands
    // that stay enabled still act on it.
    f.Select(f.Node(1));
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      tree->visualItemRect(f.Node(1)).center());
    QCOMPARE(f.Selected(), QStringLiteral("Weather"));
    QTest::keyClick(tree, Qt::Key_Space, Qt::ControlModifier);
    QCOMPARE(f.Selected(), QStringLiteral("Weather"));
    QVERIFY(f.Form->MenuRemove->isEnabled());
    f.Prompter.Answers = {false};
    f.Form->MenuRemove->trigger();
    QCOMPARE(f.Prompter.TakeCalls(), QStringList{"ConfirmYesNo: Remove \"Weather\"?"});

    // Ctrl+click on another node selects that one.
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      tree->visualItemRect(f.Node(0, 0)).center());
    QCOMPARE(f.Selected(), QStringLiteral("One"));
    QVERIFY(f.Form->MenuAddPage->isEnabled());
}

void TMainWindowTest::toolButtonsShowOnlyTheirHints() {
    TMainFixture f;
    const std::pair<QAction*, const char*> rows[] = {
        {f.Form->ToolNew, "New Project"},
        {f.Form->ToolOpen, "Open Project"},
        {f.Form->ToolBuild, "Build"},
        {f.Form->ToolPublish, "Publish"},
        {f.Form->ToolBrowser, "Preview in Browser"},
        {f.Form->ToolPreview, "Preview"},
        {f.Form->ToolHome, nullptr},
        {f.Form->ToolBack, nullptr},
        {f.Form->ToolForward, nullptr},
        {f.Form->ToolAdd, nullptr},
        {f.Form->ToolUp, nullptr},
        {f.Form->ToolDown, nullptr},
        {f.Form->ToolInfo, nullptr},
        {f.Form->ToolRemove, nullptr},
    };
    for (const auto& [action, hint] : rows) {
        QWidget* button = f.Form->ToolBarProject->widgetForAction(action);
        QVERIFY(button);
        QToolTip::hideText();
        QTRY_VERIFY(!QToolTip::isVisible());
        const QPoint at = button->rect().center();
        QHelpEvent event(QEvent::ToolTip, at, button->mapToGlobal(at));
        QApplication::sendEvent(button, &event);
        const QString shown = QToolTip::isVisible() ? QToolTip::text() : QString();
        QCOMPARE(shown, hint ? QString::fromLatin1(hint) : QString());
    }
    QToolTip::hideText();
}

void TMainWindowTest::brokenColumnWhileOpeningLeavesCaptionAndEnabling() {
    TMainFixture f;
    MakeProject(f.Folder("Site"), {{"News", {"One"}}, {"Tours", {"Two"}}});
    WriteFileBytes(f.Folder("Site") + "/Column2.Clm", "<COLUMN><PAGE>");
    f.ToOpen = "Site";
    f.Form->MenuOpenProject->trigger();

    // The tree stops at the broken column; what was done before stays done.
    const QStringList calls = f.Prompter.TakeCalls();
    QCOMPARE(calls.size(), 1);
    QVERIFY2(calls[0].startsWith("Error: ") && calls[0].contains("Column2.Clm"),
             qPrintable(calls[0]));
    QVERIFY(f.Workspace.IsOpen());
    QCOMPARE(f.Form->windowTitle(), QString::fromStdString("Corvane - " + f.Folder("Site")));
    QCOMPARE(f.TopTitles(), Names({"News", "Tours"}));
    QCOMPARE(f.ChildTitles(0), Names({"One"}));
    QCOMPARE(f.Node(1)->childCount(), 0);
    for (QAction* action : {f.Form->MenuClose, f.Form->MenuBuild, f.Form->MenuAddColumn,
                            f.Form->ToolBrowser, f.Form->MenuLanguage})
        QVERIFY2(action->isEnabled(), qPrintable(action->objectName()));
    // No preview was built.
    QVERIFY(!FileExists(f.Project().PreviewFile()));
}

void TMainWindowTest::newProjectThroughTheRealDialog() {
    TTempFolder temp;
    TScriptedPrompter prompter;
    TProgram program(temp.Path() + "/", prompter);
    program.FormMain->show();
    MakeProject(temp / "Projects/Old", {{"News", {"One"}}});
    program.Workspace.Project =
        std::make_unique<TDProject>(temp / "Projects/Old", program.Workspace.XMLDoc);

    // The New dialog, answered as a person would: a name typed with blanks, then Create.
    const auto answered = AnswerModal(program.FormNew, [&] {
        QTest::keyClicks(program.FormNew->EditName, QStringLiteral("  Site  "));
        QTest::mouseClick(program.FormNew->ButtonCreate, Qt::LeftButton);
    });
    QSignalSpy loaded(program.FormMain->WebBrowser, &QWebEngineView::loadFinished);
    program.FormMain->ToolNew->trigger();
    QVERIFY(*answered);
    QVERIFY(program.Workspace.IsOpen());
    QCOMPARE(program.Workspace.Project->Folder, temp / "Projects/Site");
    QCOMPARE(program.FormMain->windowTitle(),
             QString::fromStdString("Corvane - " + temp / "Projects/Site"));
    // Never blank: the new project's first column greets the user.
    QCOMPARE(program.FormMain->TreeView->topLevelItemCount(), 1);
    QVERIFY(loaded.count() > 0 || loaded.wait(LoadTimeout));
    // A new project is Modern: its homepage shows the site's frame from the first second.
    const std::string homepage = ReadFileBytes(temp / "Projects/Site/Temp/Default.htm");
    QCOMPARE(homepage.substr(0, 17), std::string("<!DOCTYPE html>\r\n"));
    QVERIFY(homepage.find("<main id=\"content\">") != std::string::npos);
    QVERIFY(prompter.Calls.isEmpty());
}

int main(int argc, char** argv) {
    PrepareTestEnvironment();
    PrepareStartup();
    TApplication application(argc, argv);
    TMainWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "MainWindowTest.moc"

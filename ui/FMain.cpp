#include "ui/FMain.h"

#include "generator/Driver.h"
#include "generator/Generator.h"
#include "model/CColumn.h"
#include "model/CTemplate.h"
#include "model/ColumnInUse.h"
#include "model/EarlierVersions.h"
#include "model/ProjectArchive.h"
#include "model/ProjectEditor.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "ui/ErrorReport.h"
#include "ui/FBuildProgress.h"
#include "ui/FRestore.h"
#include "ui/Pictures.h"
#include "ui/PreviewBuilder.h"
#include "ui/PreviewPage.h"
#include "ui/PreviewPane.h"
#include "ui/Prompter.h"
#include "ui/StartPage.h"
#include "ui/Workspace.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPointer>
#include <QPrinter>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <algorithm>
#include <exception>
#include <thread>
#include <utility>

const char* const TFormMain::HomePageAddress = "https://corvane.example/";

namespace {

const QString ApplicationTitle = QStringLiteral("Corvane");
const char* const AboutBlank = "About:Blank";

// The browser's command numbers in its state reports.
constexpr int CommandForward = 1;
constexpr int CommandBack = 2;

constexpr int IconRole = Qt::UserRole;

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// The tree: read-only. A right click selects the node under the mouse first (on empty
// space it selects none), so that the context menu acts on what was clicked. A selected node
// stays selected until another one is chosen: Ctrl+click and Ctrl+Space would otherwise
// empty the selection while the node commands stay enabled for it.
class TTreeView : public QTreeWidget {
  public:
    using QTreeWidget::QTreeWidget;

  protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::RightButton) {
            QTreeWidgetItem* node = itemAt(event->position().toPoint());
            setCurrentItem(node);
            if (node)
                node->setSelected(true);
            event->accept();
            return;
        }
        QTreeWidget::mousePressEvent(event);
    }
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override {
        const QItemSelectionModel::SelectionFlags flags =
            QTreeWidget::selectionCommand(index, event);
        return flags.testFlag(QItemSelectionModel::Deselect) ? QItemSelectionModel::NoUpdate
                                                             : flags;
    }
};

// Keeps a tool button without a hint from showing one: Qt would show its caption instead.
class TNoHint : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ToolTip)
            return true;
        return QObject::eventFilter(watched, event);
    }
};

// Expands a node with everything below it.
void ExpandAll(QTreeWidgetItem* node) {
    node->setExpanded(true);
    for (int i = 0; i < node->childCount(); ++i)
        ExpandAll(node->child(i));
}

int IndexAmongSiblings(QTreeWidgetItem* node) {
    if (QTreeWidgetItem* parent = node->parent())
        return parent->indexOfChild(node);
    return node->treeWidget()->indexOfTopLevelItem(node);
}

int SiblingCount(QTreeWidgetItem* node) {
    if (QTreeWidgetItem* parent = node->parent())
        return parent->childCount();
    return node->treeWidget()->topLevelItemCount();
}

// The name of the change a dialog's OK makes: its menu caption without the mnemonic and the
// dots ("&Welcome Bar..." gives "Welcome Bar").
std::string ChangeNameOf(const char* caption) {
    std::string name;
    for (const char* c = caption; *c; ++c)
        if (*c != '&')
            name += *c;
    while (!name.empty() && name.back() == '.')
        name.pop_back();
    return name;
}

// Calls done when it goes, however the scope ends.
template <typename F> class TAtExit {
  public:
    explicit TAtExit(F done) : FDone(std::move(done)) {}
    ~TAtExit() { FDone(); }
    TAtExit(const TAtExit&) = delete;
    TAtExit& operator=(const TAtExit&) = delete;

  private:
    F FDone;
};

const QString SettingsOrganization = QStringLiteral("Corvane");
const QString SettingsApplication = QStringLiteral("Corvane");

TError TreeOutOfStep() {
    return TError("The tree no longer matches the project; close the project and open it again.");
}

} // namespace

TFormMain::TFormMain(TWorkspace& workspace, IPrompter& prompter, TDialogs& dialogs, QWidget* parent)
    : QMainWindow(parent), Preview(new TPreviewBuilder(this)), Workspace(workspace),
      Prompter(prompter), Dialogs(dialogs), PreviewProgress(new QTimer(this)) {
    setObjectName(QStringLiteral("FormMain"));
    connect(Preview, &TPreviewBuilder::Finished, this, &TFormMain::PreviewFinished);
    PreviewProgress->setInterval(250);
    connect(PreviewProgress, &QTimer::timeout, this, &TFormMain::ShowPreviewProgress);
    ShellOpen = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    CreateActions();
    CreateMenus();
    CreateToolBar();
    CreateViews();

    Navigate(AboutBlank);
    // The dialogs read GIF and JPEG pictures through the core's picture decoder, which tells
    // the formats by their first bytes: there is nothing to register.
    setWindowTitle(ApplicationTitle);
    std::string projects = Workspace.ProjectsFolder();
    projects.pop_back();
    if (!FolderExists(projects) && !MakeFolder(projects))
        FProjectsFolderMissing = true;
    for (QAction* action : {MenuNewProject, MenuOpenProject, MenuImportProject, ToolNew, ToolOpen})
        action->setEnabled(!FProjectsFolderMissing);

    // Start in the tree view with no project: everything that needs one is off.
    MenuPreview->setChecked(false);
    SetProjectOpen(false);
}

TFormMain::~TFormMain() {
    WaitForWarmUp();
    // Before the project goes: the background build has its own, but writes its folder.
    Preview->CancelAndWait();
}

// ---- Construction of the controls

void TFormMain::Connect(QAction* action, void (TFormMain::*command)()) {
    const char* change = ChangeName(command);
    connect(action, &QAction::triggered, this, [this, command, change] {
        RunCommand([this, command, change] {
            if (change)
                RunChange(change, [this, command] { (this->*command)(); });
            else
                (this->*command)();
        });
    });
}

const char* TFormMain::ChangeName(void (TFormMain::*command)()) {
    using T = TFormMain;
    // Publish counts: its dialog stores the account in the project before it uploads.
    static const std::pair<void (T::*)(), const char*> names[] = {
        {&T::AddColumnClick, "Add Column"}, {&T::AddLinkClick, "Add Link"},
        {&T::AddPageClick, "Add Page"},     {&T::MoveUpClick, "Move Up"},
        {&T::MoveDownClick, "Move Down"},   {&T::InformationClick, "Information"},
        {&T::RemoveClick, "Remove"},        {&T::PublishClick, "Publish"},
    };
    for (const auto& [known, name] : names)
        if (known == command)
            return name;
    return nullptr;
}

QAction* TFormMain::Action(const char* caption, const char* name, void (TFormMain::*command)()) {
    auto* action = new QAction(QString::fromUtf8(caption), this);
    action->setObjectName(QString::fromLatin1(name));
    if (command)
        Connect(action, command);
    return action;
}

namespace {

// Whether the keyboard focus is on widget or inside it.
bool HasFocusIn(const QWidget* widget) {
    const QWidget* focus = QApplication::focusWidget();
    return focus && (focus == widget || widget->isAncestorOf(focus));
}

} // namespace

void TFormMain::RunCommand(const std::function<void()>& command) {
    const QPointer<QWidget> had = HasFocusIn(this) ? QApplication::focusWidget() : nullptr;
    ReportErrors(Prompter, [&command] {
        try {
            command();
        } catch (const TNoSuchPlace&) {
            // A node whose item or page the files no longer hold.
            throw TreeOutOfStep();
        }
    });
    RestoreFocus(had);
}

void TFormMain::RestoreFocus(QWidget* had) {
    // Not while a dialog is still shown (a command run from inside one), nor for a window
    // that is not shown or has the focus where it should.
    if (!isVisible() || QApplication::activeModalWidget() || HasFocusIn(this))
        return;
    QWidget* target = had;
    if (!target || !target->isVisible() || !target->isEnabled() || !isAncestorOf(target)) {
        if (PanelPreview->StartPageShown()) {
            activateWindow();
            StartPage->FocusFirst();
            return;
        }
        target = !PanelTree->isHidden() ? static_cast<QWidget*>(TreeView) : WebBrowser;
    }
    activateWindow();
    target->setFocus(Qt::ActiveWindowFocusReason);
}

void TFormMain::CreateActions() {
    using T = TFormMain;
    MenuNewProject = Action("&New Project...", "MenuNewProject", &T::NewProjectClick);
    MenuNewProject->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    MenuOpenProject = Action("&Open Project...", "MenuOpenProject", &T::OpenProjectClick);
    MenuOpenProject->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    MenuClose = Action("&Close", "MenuClose", &T::CloseClick);
    MenuClose->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    MenuBuild = Action("&Build...", "MenuBuild", &T::BuildClick);
    MenuBuild->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));
    MenuPublish = Action("&Publish...", "MenuPublish", &T::PublishClick);
    MenuPublish->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_U));
    MenuSaveAsTemplate =
        Action("Save As &Template...", "MenuSaveAsTemplate", &T::SaveAsTemplateClick);
    MenuExportProject = Action("&Export Project...", "MenuExportProject", &T::ExportProjectClick);
    MenuImportProject = Action("I&mport Project...", "MenuImportProject", &T::ImportProjectClick);
    MenuPrintSetup = Action("Print Set&up...", "MenuPrintSetup", &T::PrintSetupClick);
    MenuPrint = Action("Pr&int...", "MenuPrint", &T::PrintClick);
    MenuPrint->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    MenuExit = Action("E&xit", "MenuExit", &T::ExitClick);
    MenuExit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    MenuRestoreEarlierVersion = Action("&Restore Earlier Version...", "MenuRestoreEarlierVersion",
                                       &T::RestoreEarlierVersionClick);
    MenuUndo = Action("&Undo", "MenuUndo", &T::UndoClick);
    MenuUndo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    MenuRedo = Action("&Redo", "MenuRedo", &T::RedoClick);
    MenuRedo->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));

    MenuAddColumn = Action("Add &Column", "MenuAddColumn", &T::AddColumnClick);
    MenuAddLink = Action("Add &Link", "MenuAddLink", &T::AddLinkClick);
    MenuAddPage = Action("Add &Page", "MenuAddPage", &T::AddPageClick);
    MenuAddPage->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Insert));
    MenuMoveUp = Action("&Move Up", "MenuMoveUp", &T::MoveUpClick);
    MenuMoveDown = Action("Move &Down", "MenuMoveDown", &T::MoveDownClick);
    MenuInformation = Action("&Information...", "MenuInformation", &T::InformationClick);
    MenuInformation->setShortcuts({QKeySequence(Qt::Key_Enter), QKeySequence(Qt::Key_Return)});
    MenuRemove = Action("R&emove", "MenuRemove", &T::RemoveClick);
    MenuRemove->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Delete));

    MenuPreview = Action("&Preview", "MenuPreview", nullptr);
    MenuPreview->setCheckable(true);
    MenuPreview->setShortcut(QKeySequence(Qt::Key_F11));
    connect(MenuPreview, &QAction::triggered, this,
            [this](bool checked) { RunCommand([this, checked] { PreviewClick(checked); }); });
    MenuPreviewInBrowser =
        Action("Preview In &Browser", "MenuPreviewInBrowser", &T::PreviewInBrowserClick);
    MenuPreviewInBrowser->setShortcut(QKeySequence(Qt::Key_F12));
    MenuTreeBesidePreview = Action("&Tree Beside Preview", "MenuTreeBesidePreview", nullptr);
    MenuTreeBesidePreview->setCheckable(true);
    MenuTreeBesidePreview->setChecked(true);
    connect(MenuTreeBesidePreview, &QAction::triggered, this, [this](bool checked) {
        RunCommand([this, checked] { TreeBesidePreviewClick(checked); });
    });
    MenuDesktopWidth = Action("&Desktop Width", "MenuDesktopWidth", nullptr);
    MenuPhoneWidth = Action("Ph&one Width", "MenuPhoneWidth", nullptr);
    auto* widths = new QActionGroup(this);
    for (QAction* width : {MenuDesktopWidth, MenuPhoneWidth}) {
        width->setCheckable(true);
        widths->addAction(width);
        connect(width, &QAction::triggered, this, [this, width] {
            RunCommand([this, width] { PreviewWidthClick(width == MenuPhoneWidth); });
        });
    }
    MenuDesktopWidth->setChecked(true);
    MenuGoHome = Action("Go &Home", "MenuGoHome", &T::GoHomeClick);
    MenuGoBack = Action("Go Bac&k", "MenuGoBack", &T::GoBackClick);
    MenuGoForward = Action("Go &Forward", "MenuGoForward", &T::GoForwardClick);

    auto settings = [this](const char* caption, const char* name, TDialogKind kind) {
        QAction* action = Action(caption, name, nullptr);
        connect(action, &QAction::triggered, this, [this, kind, change = ChangeNameOf(caption)] {
            RunCommand([this, kind, &change] {
                RunChange(change, [this, kind] { EditSettingsClick(kind); });
            });
        });
        return action;
    };
    MenuWelcomeBar = settings("&Welcome Bar...", "MenuWelcomeBar", TDialogKind::WelcomeBar);
    MenuTopic = settings("&Topic...", "MenuTopic", TDialogKind::Topic);
    MenuMenu = settings("&Menu...", "MenuMenu", TDialogKind::Menu);
    MenuHotspot = settings("H&otspot...", "MenuHotspot", TDialogKind::Hotspot);
    MenuFoot = settings("&Foot...", "MenuFoot", TDialogKind::Foot);
    MenuFrame = settings("&Frame...", "MenuFrame", TDialogKind::Frame);
    MenuSize = settings("&Size...", "MenuSize", TDialogKind::Size);
    MenuColor = settings("&Color...", "MenuColor", TDialogKind::Color);
    MenuFont = settings("F&ont...", "MenuFont", TDialogKind::Font);
    MenuLanguage = settings("&Language...", "MenuLanguage", TDialogKind::Language);
    MenuSiteOptions = settings("Site O&ptions...", "MenuSiteOptions", TDialogKind::Options);

    MenuUserManual = Action("User &Manual", "MenuUserManual", &T::UserManualClick);
    MenuUserManual->setShortcut(QKeySequence(Qt::Key_F1));
    MenuHomePage = Action("&Home Page", "MenuHomePage", &T::HomePageClick);
    MenuAbout = Action("&About...", "MenuAbout", &T::AboutClick);

    // The tool bar's buttons, each with its caption, hint and icon.
    auto tool = [this](const char* caption, const char* hint, int icon, const char* name,
                       void (TFormMain::*command)()) {
        QAction* action = Action(caption, name, command);
        action->setIcon(ToolIcon(icon));
        if (*hint)
            action->setToolTip(QString::fromUtf8(hint));
        return action;
    };
    ToolNew = tool("New", "New Project", 0, "ToolNew", &T::NewProjectClick);
    ToolOpen = tool("Open", "Open Project", 1, "ToolOpen", &T::OpenProjectClick);
    ToolBuild = tool("Build", "Build", 2, "ToolBuild", &T::BuildClick);
    ToolPublish = tool("Publish", "Publish", 3, "ToolPublish", &T::PublishClick);
    ToolBrowser =
        tool("Browser", "Preview in Browser", 4, "ToolBrowser", &T::PreviewInBrowserClick);
    ToolPreview = tool("Preview", "Preview", 5, "ToolPreview", nullptr);
    ToolPreview->setCheckable(true);
    connect(ToolPreview, &QAction::triggered, this,
            [this](bool checked) { RunCommand([this, checked] { PreviewClick(checked); }); });
    ToolHome = tool("Home", "", 6, "ToolHome", &T::GoHomeClick);
    ToolBack = tool("Back", "", 7, "ToolBack", &T::GoBackClick);
    ToolForward = tool("Forward", "", 8, "ToolForward", &T::GoForwardClick);
    ToolAdd = tool("Add", "", 9, "ToolAdd", nullptr);
    ToolUp = tool("Up", "", 10, "ToolUp", &T::MoveUpClick);
    ToolDown = tool("Down", "", 11, "ToolDown", &T::MoveDownClick);
    ToolInfo = tool("Info", "", 12, "ToolInfo", &T::InformationClick);
    ToolRemove = tool("Remove", "", 13, "ToolRemove", &T::RemoveClick);

    PopupMenuAdd = new QMenu(this);
    PopupMenuAdd->setObjectName(QStringLiteral("PopupMenuAdd"));
    PopupAddColumn = Action("Add &Column", "PopupAddColumn", &T::AddColumnClick);
    PopupAddLink = Action("Add &Link", "PopupAddLink", &T::AddLinkClick);
    PopupAddPage = Action("Add &Page", "PopupAddPage", &T::AddPageClick);
    PopupMenuAdd->addAction(PopupAddColumn);
    PopupMenuAdd->addAction(PopupAddLink);
    PopupMenuAdd->addSeparator();
    PopupMenuAdd->addAction(PopupAddPage);
    ToolAdd->setMenu(PopupMenuAdd);

    PopupMenuTreeView = new QMenu(this);
    PopupMenuTreeView->setObjectName(QStringLiteral("PopupMenuTreeView"));
    PopupTreeviewAddColumn = Action("Add &Column", "PopupTreeviewAddColumn", &T::AddColumnClick);
    PopupTreeviewAddLink = Action("Add &Link", "PopupTreeviewAddLink", &T::AddLinkClick);
    PopupTreeviewAddPage = Action("Add &Page", "PopupTreeviewAddPage", &T::AddPageClick);
    PopupTreeviewMoveUp = Action("&Move Up", "PopupTreeviewMoveUp", &T::MoveUpClick);
    PopupTreeviewMoveDown = Action("Move &Down", "PopupTreeviewMoveDown", &T::MoveDownClick);
    PopupTreeviewInformation =
        Action("&Information...", "PopupTreeviewInformation", &T::InformationClick);
    PopupTreeviewRemove = Action("R&emove", "PopupTreeviewRemove", &T::RemoveClick);
    PopupMenuTreeView->addAction(PopupTreeviewAddColumn);
    PopupMenuTreeView->addAction(PopupTreeviewAddLink);
    PopupMenuTreeView->addSeparator();
    PopupMenuTreeView->addAction(PopupTreeviewAddPage);
    PopupMenuTreeView->addSeparator();
    PopupMenuTreeView->addAction(PopupTreeviewMoveUp);
    PopupMenuTreeView->addAction(PopupTreeviewMoveDown);
    PopupMenuTreeView->addAction(PopupTreeviewInformation);
    PopupMenuTreeView->addSeparator();
    PopupMenuTreeView->addAction(PopupTreeviewRemove);
    connect(PopupMenuTreeView, &QMenu::aboutToShow, this, &TFormMain::CopyTreePopupStates);
}

void TFormMain::CreateMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(MenuNewProject);
    file->addAction(MenuOpenProject);
    file->addAction(MenuClose);
    file->addSeparator();
    file->addAction(MenuBuild);
    file->addAction(MenuPublish);
    file->addAction(MenuSaveAsTemplate);
    file->addAction(MenuRestoreEarlierVersion);
    file->addSeparator();
    file->addAction(MenuExportProject);
    file->addAction(MenuImportProject);
    file->addSeparator();
    file->addAction(MenuPrintSetup);
    file->addAction(MenuPrint);
    file->addSeparator();
    file->addAction(MenuExit);

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    edit->addAction(MenuUndo);
    edit->addAction(MenuRedo);
    edit->addSeparator();
    edit->addAction(MenuAddColumn);
    edit->addAction(MenuAddLink);
    edit->addSeparator();
    edit->addAction(MenuAddPage);
    edit->addSeparator();
    edit->addAction(MenuMoveUp);
    edit->addAction(MenuMoveDown);
    edit->addAction(MenuInformation);
    edit->addSeparator();
    edit->addAction(MenuRemove);

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    view->addAction(MenuPreview);
    view->addAction(MenuPreviewInBrowser);
    view->addAction(MenuTreeBesidePreview);
    view->addSeparator();
    view->addAction(MenuDesktopWidth);
    view->addAction(MenuPhoneWidth);
    view->addSeparator();
    view->addAction(MenuGoHome);
    view->addAction(MenuGoBack);
    view->addAction(MenuGoForward);

    QMenu* page = menuBar()->addMenu(QStringLiteral("&Page"));
    for (QAction* action : {MenuWelcomeBar, MenuTopic, MenuMenu, MenuHotspot, MenuFoot})
        page->addAction(action);

    QMenu* style = menuBar()->addMenu(QStringLiteral("&Style"));
    for (QAction* action : {MenuFrame, MenuSize, MenuColor, MenuFont})
        style->addAction(action);
    style->addSeparator();
    style->addAction(MenuLanguage);
    style->addAction(MenuSiteOptions);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->addAction(MenuUserManual);
    help->addSeparator();
    help->addAction(MenuHomePage);
    help->addSeparator();
    help->addAction(MenuAbout);
}

void TFormMain::CreateToolBar() {
    ToolBarProject = addToolBar(QStringLiteral("Project"));
    ToolBarProject->setObjectName(QStringLiteral("ToolBarProject"));
    ToolBarProject->setIconSize(QSize(32, 32));
    ToolBarProject->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    ToolBarProject->setMovable(false);
    ToolBarProject->setFloatable(false);
    ToolBarProject->addAction(ToolNew);
    ToolBarProject->addAction(ToolOpen);
    ToolBarProject->addSeparator();
    ToolBarProject->addAction(ToolBuild);
    ToolBarProject->addAction(ToolPublish);
    ToolBarProject->addAction(ToolBrowser);
    ToolBarProject->addSeparator();
    ToolBarProject->addAction(ToolPreview);
    ToolBarProject->addSeparator();
    ToolBarProject->addAction(ToolHome);
    ToolBarProject->addAction(ToolBack);
    ToolBarProject->addAction(ToolForward);
    ToolBarProject->addSeparator();
    ToolBarProject->addAction(ToolAdd);
    ToolBarProject->addAction(ToolUp);
    ToolBarProject->addAction(ToolDown);
    ToolBarProject->addAction(ToolInfo);
    ToolBarProject->addAction(ToolRemove);
    // A click on Add drops down its menu.
    if (auto* button = qobject_cast<QToolButton*>(ToolBarProject->widgetForAction(ToolAdd)))
        button->setPopupMode(QToolButton::InstantPopup);
    // A screen reader tells the buttons apart by their captions and says what each does.
    const std::pair<QAction*, const char*> described[] = {
        {ToolNew, "New Project"},
        {ToolOpen, "Open Project"},
        {ToolBuild, "Build the site into the HTML folder"},
        {ToolPublish, "Build the site and publish it"},
        {ToolBrowser, "Preview In Browser"},
        {ToolPreview, "Show the preview alone"},
        {ToolHome, "Go Home"},
        {ToolBack, "Go Back"},
        {ToolForward, "Go Forward"},
        {ToolAdd, "Add a column, a link or a page"},
        {ToolUp, "Move Up"},
        {ToolDown, "Move Down"},
        {ToolInfo, "Information"},
        {ToolRemove, "Remove"},
    };
    for (const auto& [action, description] : described) {
        if (QWidget* button = ToolBarProject->widgetForAction(action)) {
            button->setAccessibleName(action->text());
            button->setAccessibleDescription(QString::fromUtf8(description));
        }
    }
    // Only New, Open, Build, Publish, Browser and Preview have hints.
    auto* noHint = new TNoHint(this);
    for (QAction* action :
         {ToolHome, ToolBack, ToolForward, ToolAdd, ToolUp, ToolDown, ToolInfo, ToolRemove})
        if (QWidget* button = ToolBarProject->widgetForAction(action))
            button->installEventFilter(noHint);
}

void TFormMain::CreateViews() {
    // The tree and the preview side by side; each of them alone when Tree Beside Preview is
    // off, as the preview is alone while Preview is checked.
    Splitter = new QSplitter(Qt::Horizontal, this);
    Splitter->setObjectName(QStringLiteral("Splitter"));
    Splitter->setChildrenCollapsible(false);

    PanelTree = new QWidget(Splitter);
    PanelTree->setObjectName(QStringLiteral("PanelTree"));
    auto* panelLayout = new QVBoxLayout(PanelTree);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    TreeView = new TTreeView(PanelTree);
    TreeView->setObjectName(QStringLiteral("TreeView"));
    TreeView->setHeaderHidden(true);
    TreeView->setColumnCount(1);
    TreeView->setIconSize(QSize(16, 16));
    // Every row is one line of text beside a 16-pixel icon: the view need not measure each.
    TreeView->setUniformRowHeights(true);
    TreeView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView->setSelectionMode(QAbstractItemView::SingleSelection);
    TreeView->setContextMenuPolicy(Qt::CustomContextMenu);
    // Enter and a double click show a node's information; expanding stays on the arrow and
    // the + and - keys. Delete removes the node, after the question.
    TreeView->setExpandsOnDoubleClick(false);
    TreeView->setAccessibleName(QStringLiteral("Project tree"));
    TreeView->setAccessibleDescription(
        QStringLiteral("The menu items of the project and the pages of each column"));
    panelLayout->addWidget(TreeView);
    // Enter belongs to the tree: in the preview beside it, Enter follows a link.
    MenuInformation->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    PanelTree->addAction(MenuInformation);
    connect(TreeView, &QTreeWidget::itemDoubleClicked, this, [this] {
        if (MenuInformation->isEnabled())
            MenuInformation->trigger();
    });
    auto* remove = new QShortcut(QKeySequence(Qt::Key_Delete), TreeView);
    remove->setContext(Qt::WidgetShortcut);
    connect(remove, &QShortcut::activated, this, [this] {
        if (MenuRemove->isEnabled())
            MenuRemove->trigger();
    });
    connect(TreeView, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* node) { RunCommand([this, node] { TreeViewChange(node); }); });
    connect(TreeView, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        PopupMenuTreeView->popup(TreeView->viewport()->mapToGlobal(at));
    });

    // Made without a parent: the preview's pane takes it in below.
    WebBrowser = new QWebEngineView;
    WebBrowser->setAccessibleName(QStringLiteral("Site preview"));
    WebBrowser->setAccessibleDescription(
        QStringLiteral("The homepage of the site as it is built now"));
    WebBrowser->setObjectName(QStringLiteral("WebBrowser"));
    auto* page = new TPreviewPage(WebBrowser);
    page->BeforeNavigation = [this](const QUrl& url) { BeforePreviewNavigation(url); };
    WebBrowser->setPage(page);
    connect(WebBrowser->page(), &QWebEnginePage::linkHovered, this,
            &TFormMain::BrowserStatusTextChange);
    QAction* back = WebBrowser->pageAction(QWebEnginePage::Back);
    QAction* forward = WebBrowser->pageAction(QWebEnginePage::Forward);
    connect(back, &QAction::changed, this,
            [this, back] { BrowserCommandStateChange(CommandBack, back->isEnabled()); });
    connect(forward, &QAction::changed, this,
            [this, forward] { BrowserCommandStateChange(CommandForward, forward->isEnabled()); });
    // Like the browser control of old, report both states after every navigation.
    auto reportBoth = [this, back, forward] {
        BrowserCommandStateChange(CommandForward, forward->isEnabled());
        BrowserCommandStateChange(CommandBack, back->isEnabled());
    };
    connect(WebBrowser, &QWebEngineView::urlChanged, this, reportBoth);
    connect(WebBrowser, &QWebEngineView::loadFinished, this, reportBoth);

    PanelPreview = new TPreviewPane(WebBrowser, Splitter);
    StartPage = new TStartPage(Workspace);
    PanelPreview->SetStartPage(StartPage);
    connect(StartPage, &TStartPage::OpenRecent, this, [this](const QString& folder) {
        RunCommand([this, &folder] { OpenRecentClick(folder.toStdString()); });
    });
    connect(StartPage, &TStartPage::NewProject, this, [this](const QString& file) {
        RunCommand([this, &file] { NewProjectFromClick(file.toStdString()); });
    });
    connect(StartPage, &TStartPage::OpenProject, MenuOpenProject, &QAction::trigger);
    connect(StartPage, &TStartPage::UserManual, MenuUserManual, &QAction::trigger);
    connect(PanelPreview, &TPreviewPane::WidthChosen, this, [this](TPreviewWidth width) {
        RunCommand([this, width] { PreviewWidthClick(width == TPreviewWidth::Phone); });
    });
    // F6 and Shift+F6 go from pane to pane, as in the desktop's file managers and browsers;
    // Tab inside the preview only walks the page's links. Esc in the preview leaves it.
    for (const QKeySequence& key :
         {QKeySequence(Qt::Key_F6), QKeySequence(Qt::SHIFT | Qt::Key_F6)}) {
        auto* shortcut = new QShortcut(key, this);
        connect(shortcut, &QShortcut::activated, this,
                [this] { RunCommand([this] { NextPaneClick(); }); });
    }
    auto* leave = new QShortcut(QKeySequence(Qt::Key_Escape), PanelPreview);
    leave->setContext(Qt::WidgetWithChildrenShortcut);
    connect(leave, &QShortcut::activated, this,
            [this] { RunCommand([this] { LeavePreviewClick(); }); });

    Splitter->addWidget(PanelTree);
    Splitter->addWidget(PanelPreview);
    Splitter->setStretchFactor(0, 1);
    Splitter->setStretchFactor(1, 3);
    setCentralWidget(Splitter);

    // Panel 0 takes what panel 1 (200 wide) leaves, but never less than 200.
    StatusPanel0 = new QLabel(this);
    StatusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    StatusPanel0->setMinimumWidth(StatusPanel1Width);
    StatusPanel0->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    StatusPanel1 = new QLabel(this);
    StatusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
    StatusPanel1->setFixedWidth(StatusPanel1Width);
    statusBar()->addWidget(StatusPanel0, 1);
    statusBar()->addWidget(StatusPanel1, 0);
}

// ---- The window's own routines

bool TFormMain::IsOpen() const {
    return Workspace.IsOpen();
}

bool TFormMain::BrowserShown() const {
    return !WebBrowser->isHidden();
}

void TFormMain::UpdateCaption() {
    if (IsOpen())
        setWindowTitle(ApplicationTitle + QStringLiteral(" - ") + Q(Workspace.Project->Folder));
    else
        setWindowTitle(ApplicationTitle);
}

void TFormMain::SetProjectOpen(bool open) {
    for (QAction* action : {MenuClose,
                            MenuBuild,
                            MenuPublish,
                            MenuSaveAsTemplate,
                            MenuRestoreEarlierVersion,
                            MenuExportProject,
                            MenuPreviewInBrowser,
                            MenuWelcomeBar,
                            MenuTopic,
                            MenuMenu,
                            MenuHotspot,
                            MenuFoot,
                            MenuFrame,
                            MenuSize,
                            MenuColor,
                            MenuFont,
                            MenuLanguage,
                            MenuSiteOptions,
                            ToolBuild,
                            ToolPublish,
                            ToolBrowser})
        action->setEnabled(open);
    UpdateUndoActions();
    // The start page while no project is open; an opened project goes first on its list.
    if (open)
        StartPage->Recent.Add(Q(Workspace.Project->Folder));
    else
        StartPage->Refresh();
    PanelPreview->ShowStartPage(!open);
    SetPreviewMode(MenuPreview->isChecked());
}

void TFormMain::SetPreviewMode(bool on) {
    const bool open = IsOpen();
    ToolPreview->setChecked(on);
    PanelTree->setVisible(!on);
    // The start page is always there while no project is open.
    PanelPreview->setVisible(on || MenuTreeBesidePreview->isChecked() || !open);
    MenuPrintSetup->setEnabled(on && open);
    MenuPrint->setEnabled(on && open);
    MenuAddColumn->setEnabled(open && !on);
    MenuAddLink->setEnabled(open && !on);
    MenuGoHome->setEnabled(on && open);
    MenuGoBack->setEnabled(on && open && MenuGoBack->isEnabled());
    MenuGoForward->setEnabled(on && open && MenuGoForward->isEnabled());
    ToolHome->setEnabled(MenuGoHome->isEnabled());
    ToolBack->setEnabled(MenuGoBack->isEnabled());
    ToolForward->setEnabled(MenuGoForward->isEnabled());
    PopupAddColumn->setEnabled(MenuAddColumn->isEnabled());
    PopupAddLink->setEnabled(MenuAddLink->isEnabled());
    TreeViewChange(on ? nullptr : SelectedNode());
    if (!open)
        StartPage->FocusFirst();
    else if (on)
        WebBrowser->setFocus();
    else
        TreeView->setFocus();
}

QTreeWidgetItem* TFormMain::SelectedNode() const {
    QTreeWidgetItem* node = TreeView->currentItem();
    return node && node->isSelected() ? node : nullptr;
}

int TFormMain::NodeIcon(const QTreeWidgetItem* node) {
    return node->data(0, IconRole).toInt();
}

void TFormMain::TreeViewChange(QTreeWidgetItem* node) {
    const bool open = IsOpen();
    const bool given = open && node;
    const int icon = node ? NodeIcon(node) : -1;
    const int index = node ? IndexAmongSiblings(node) : 0;
    MenuAddPage->setEnabled(given && (icon == TreeIconColumn || icon == TreeIconPage));
    MenuMoveUp->setEnabled(given && index > 0);
    MenuMoveDown->setEnabled(given && index < SiblingCount(node) - 1);
    MenuInformation->setEnabled(given);
    MenuRemove->setEnabled(given);
    PopupAddPage->setEnabled(MenuAddPage->isEnabled());
    ToolUp->setEnabled(MenuMoveUp->isEnabled());
    ToolDown->setEnabled(MenuMoveDown->isEnabled());
    ToolInfo->setEnabled(MenuInformation->isEnabled());
    ToolRemove->setEnabled(MenuRemove->isEnabled());
}

void TFormMain::CopyTreePopupStates() {
    PopupTreeviewAddColumn->setEnabled(MenuAddColumn->isEnabled());
    PopupTreeviewAddLink->setEnabled(MenuAddLink->isEnabled());
    PopupTreeviewAddPage->setEnabled(MenuAddPage->isEnabled());
    PopupTreeviewMoveUp->setEnabled(MenuMoveUp->isEnabled());
    PopupTreeviewMoveDown->setEnabled(MenuMoveDown->isEnabled());
    PopupTreeviewInformation->setEnabled(MenuInformation->isEnabled());
    PopupTreeviewRemove->setEnabled(MenuRemove->isEnabled());
}

void TFormMain::BrowserCommandStateChange(int command, bool enabled) {
    // The preview view's enabling, also while the preview stands beside the tree.
    const bool allowed = IsOpen() && BrowserShown() && MenuPreview->isChecked() && enabled;
    if (command == CommandForward)
        MenuGoForward->setEnabled(allowed);
    else if (command == CommandBack)
        MenuGoBack->setEnabled(allowed);
    ToolBack->setEnabled(MenuGoBack->isEnabled());
    ToolForward->setEnabled(MenuGoForward->isEnabled());
}

void TFormMain::BrowserStatusTextChange(const QString& text) {
    StatusPanel0->setText(text);
}

QTreeWidgetItem* TFormMain::AppendTopLevelNode(const std::string& title, int icon) {
    auto* node = new QTreeWidgetItem(QStringList(Q(title)));
    node->setData(0, IconRole, icon);
    node->setIcon(0, TreeIcon(icon));
    TreeView->addTopLevelItem(node);
    return node;
}

void TFormMain::FillTree() {
    TreeView->clear();
    if (IsOpen()) {
        TDProject& project = *Workspace.Project;
        // Every column document is read for its titles: on two threads, as they are large.
        const std::vector<TProjectEditor::TColumnTitles> columns =
            TProjectEditor(project).AllPageTitles(2);
        // The nodes are made outside the tree and put into it together, and each icon is
        // drawn once: the largest project has a hundred thousand pages.
        const QIcon icons[3] = {TreeIcon(TreeIconColumn), TreeIcon(TreeIconLink),
                                TreeIcon(TreeIconPage)};
        auto newNode = [&icons](const std::string& title, int icon) {
            auto* node = new QTreeWidgetItem(QStringList(Q(title)));
            node->setData(0, IconRole, icon);
            node->setIcon(0, icons[icon]);
            return node;
        };
        QList<QTreeWidgetItem*> nodes;
        nodes.reserve(project.MenuCount);
        // What was read before a column that cannot be read is shown, as far as it goes.
        TAtExit show([this, &nodes] {
            TreeView->addTopLevelItems(nodes);
            TreeView->expandAll();
        });
        for (int i = 0; i < project.MenuCount; ++i) {
            const TDMenuItem& item = project.MenuItem(i);
            QTreeWidgetItem* node =
                newNode(item.TITLE, item.IsColumn() ? TreeIconColumn : TreeIconLink);
            nodes.append(node);
            if (item.IsColumn()) {
                const TProjectEditor::TColumnTitles& column = columns[static_cast<std::size_t>(i)];
                if (column.Error)
                    std::rethrow_exception(column.Error);
                QList<QTreeWidgetItem*> pages;
                pages.reserve(static_cast<qsizetype>(column.Titles.size()));
                for (const std::string& title : column.Titles)
                    pages.append(newNode(title, TreeIconPage));
                node->addChildren(pages);
            }
        }
    }
    if (TreeView->topLevelItemCount() > 0)
        TreeView->setCurrentItem(TreeView->topLevelItem(0));
    TreeViewChange(SelectedNode());
}

void TFormMain::BuildWithStatus(const std::string& folderName) {
    StatusPanel1->setText(QStringLiteral("Building Project..."));
    // The generator runs on this thread: paint the message before it starts.
    StatusPanel1->repaint();
    try {
        if (folderName.empty()) {
            BuildPreview(*Workspace.Project);
        } else {
            // As Build does, keeping what the build wrote and its notes for the Build dialog.
            Workspace.LastBuild = TBuildStats{};
            Workspace.BuildNotes.clear();
            const std::string folder = Workspace.Project->Folder + "/" + folderName;
            CheckRealFolder(folder);
            BuildOffThread(folder);
            Workspace.BuildNotes = Workspace.LastBuild.Notes;
        }
    } catch (...) {
        // Never leave an out-of-date page looking current.
        StatusPanel1->setText(folderName.empty() ? QStringLiteral("Preview is out of date")
                                                 : QStringLiteral("Build failed"));
        throw;
    }
    // Copies that failed stay named in the status bar until the next build, and else the
    // links and pictures of the Markdown texts that name nothing.
    std::string failures =
        folderName.empty() ? std::string() : CopyFailureText(Workspace.LastBuild);
    if (failures.empty() && !folderName.empty())
        failures = TextProblemText(Workspace.LastBuild);
    if (!folderName.empty() && Workspace.LastBuild.Cancelled)
        StatusPanel1->setText(QStringLiteral("Build cancelled"));
    else if (failures.empty())
        StatusPanel1->clear();
    else
        StatusPanel1->setText(Q(failures));
}

void TFormMain::BuildOffThread(const std::string& folder) {
    TBuildControl control;
    std::exception_ptr error;
    std::atomic<bool> finished{false};
    TDProject& project = *Workspace.Project;
    // The window's thread only paints and shows the progress meanwhile, and touches neither
    // the project nor its column in use.
    FProjectBusy = true;
    std::thread build([&] {
        try {
            BuildInto(project, folder, &Workspace.LastBuild, {}, &control);
        } catch (...) {
            error = std::current_exception();
        }
        finished = true;
    });
    TFormBuildProgress::Wait(
        this, [&finished] { return finished.load(); },
        [&control] { return std::make_pair(control.PagesDone(), control.PagesTotal()); },
        [&control] { control.Cancel(); });
    build.join();
    FProjectBusy = false;
    if (error)
        std::rethrow_exception(error);
}

void TFormMain::RefreshPreview() {
    if (!IsOpen())
        return;
    Preview->CancelAndWait();
    ++FPreviewRefreshes;
    TDProject& project = *Workspace.Project;
    StatusPanel1->setText(QStringLiteral("Building Project..."));
    StatusPanel1->repaint();
    try {
        // The homepage first, as the whole build writes it: the browser shows it at once.
        const std::string temp = project.Folder + "/Temp";
        CheckRealFolder(temp);
        BuildHomepageInto(project, temp);
    } catch (...) {
        // Never leave an out-of-date page looking current.
        StatusPanel1->setText(QStringLiteral("Preview is out of date"));
        throw;
    }
    StatusPanel1->clear();
    Navigate(project.PreviewFile());
    // Then every other page, in the background.
    StartBackgroundPreview();
}

void TFormMain::StartBackgroundPreview() {
    FPreviewStale = true;
    FWrittenOnDemand = false;
    Preview->Start(*Workspace.Project);
    PreviewStarted.start();
    PreviewProgress->start();
}

void TFormMain::PreviewFinished(bool completed, const QString& error, const QString& textProblems) {
    if (completed && FWrittenOnDemand && IsOpen()) {
        StartBackgroundPreview();
        return;
    }
    PreviewProgress->stop();
    FPreviewStale = !completed;
    if (completed) {
        // The links and pictures of the texts that name nothing, as a build tells them.
        SetPreviewStatus(textProblems);
    } else {
        // Why the preview stopped is shown whatever the panel said.
        StatusPanel1->clear();
        SetPreviewStatus(QStringLiteral("Preview is out of date: ") + error);
    }
}

void TFormMain::SetPreviewStatus(const QString& text) {
    const QString shown = StatusPanel1->text();
    if (!shown.isEmpty() && shown != FPreviewStatus)
        return;
    StatusPanel1->setText(text);
    FPreviewStatus = text;
}

void TFormMain::ShowPreviewProgress() {
    if (!Preview->IsRunning()) {
        PreviewProgress->stop();
        return;
    }
    // A background build that ends within half a second says nothing.
    const int total = Preview->PagesTotal();
    if (total > 0 && PreviewStarted.elapsed() >= TFormBuildProgress::DelayMilliseconds)
        SetPreviewStatus(QStringLiteral("Building page %1 of %2")
                             .arg(std::min(Preview->PagesDone() + 1, total))
                             .arg(total));
}

void TFormMain::BeforePreviewNavigation(const QUrl& url) {
    // A page of the preview that the background build may not have reached yet (it runs,
    // was stopped or failed) is written now, from the project as it is, with the bytes that
    // the build gives it.
    if (!IsOpen() || FProjectBusy || !FPreviewStale || !url.isLocalFile())
        return;
    TDProject& project = *Workspace.Project;
    const std::string temp = project.Folder + "/Temp";
    const std::string file = url.toLocalFile().toStdString();
    if (file.size() <= temp.size() + 1 || file.compare(0, temp.size() + 1, temp + "/") != 0)
        return;
    const std::string name = file.substr(temp.size() + 1);
    if (name == project.FRAME.HOMEPAGE + ".htm" || name.find('/') != std::string::npos)
        return;
    try {
        if (BuildPageInto(project, temp, name))
            FWrittenOnDemand = true;
    } catch (const TError&) {
        // The background build meets the same error and reports it.
    }
}

bool TFormMain::WaitForPreview() {
    // Cancel stops the waiting, not the build: the preview goes on being built.
    bool stopped = false;
    for (;;) {
        // The build may have ended after a page written on demand without the window having
        // heard of it yet; the waiting takes no input, so it runs once more at most.
        if (FWrittenOnDemand && !Preview->IsRunning())
            StartBackgroundPreview();
        if (!Preview->IsRunning())
            return true;
        if (!TFormBuildProgress::Wait(
                this, [this, &stopped] { return stopped || !Preview->IsRunning(); },
                [this] { return std::make_pair(Preview->PagesDone(), Preview->PagesTotal()); },
                [&stopped] { stopped = true; }))
            return false;
    }
}

void TFormMain::Navigate(const std::string& fileOrBlank) {
    if (fileOrBlank == AboutBlank)
        WebBrowser->load(QUrl(QStringLiteral("about:blank")));
    else
        WebBrowser->load(QUrl::fromLocalFile(Q(fileOrBlank)));
}

int TFormMain::MenuIndexOf(QTreeWidgetItem* node) const {
    const int index = TreeView->indexOfTopLevelItem(node);
    if (index < 0 || index >= Workspace.Project->MenuCount)
        throw TreeOutOfStep();
    return index;
}

TMenuPlace TFormMain::PlaceOf(QTreeWidgetItem* node) const {
    if (QTreeWidgetItem* parent = node->parent())
        return {MenuIndexOf(parent), parent->indexOfChild(node)};
    return {MenuIndexOf(node), -1};
}

TProjectEditor TFormMain::Editor() const {
    return TProjectEditor(*Workspace.Project);
}

// ---- The commands

void TFormMain::NewProjectClick() {
    if (IsOpen())
        CloseClick();
    if (!Dialogs.Show(TDialogKind::New) || !IsOpen())
        return;
    ShowOpenedProject();
}

void TFormMain::OpenProjectClick() {
    // The open project stays open until another one is chosen: it is put aside while the
    // dialog is shown (nothing runs on it meanwhile), and back when the dialog is cancelled.
    const bool previewStopped = Preview->CancelAndWait();
    WaitForWarmUp();
    std::unique_ptr<TDProject> current = std::move(Workspace.Project);
    std::unique_ptr<TDProject> opened;
    bool chosen = false;
    {
        TAtExit putBack([this, &current, &opened] {
            opened = std::move(Workspace.Project);
            Workspace.Project = std::move(current);
        });
        chosen = Dialogs.Show(TDialogKind::Open) && Workspace.IsOpen();
    }
    if (!chosen) {
        if (previewStopped && IsOpen() && !Preview->IsRunning())
            StartBackgroundPreview();
        return;
    }
    if (IsOpen())
        CloseClick();
    Workspace.Project = std::move(opened);
    ShowOpenedProject();
}

void TFormMain::CloseClick() {
    WaitForWarmUp();
    Preview->CancelAndWait();
    PreviewProgress->stop();
    FWrittenOnDemand = false;
    Session.Close();
    if (IsOpen()) {
        RememberThumbnail();
        Workspace.Project.reset();
        UpdateCaption();
        TreeView->clear();
        Navigate(AboutBlank);
    }
    SetProjectOpen(false);
}

bool TFormMain::BuildIntoHTML() {
    Editor().PrepareHTMLFolder();
    BuildWithStatus("HTML");
    return !Workspace.LastBuild.Cancelled;
}

void TFormMain::BuildClick() {
    if (!IsOpen())
        return;
    if (BuildIntoHTML())
        Dialogs.Show(TDialogKind::Build);
}

void TFormMain::PublishClick() {
    if (!IsOpen())
        return;
    if (BuildIntoHTML())
        Dialogs.Show(TDialogKind::Publish);
}

void TFormMain::SaveAsTemplateClick() {
    if (!IsOpen())
        return;
    std::string templates = Workspace.TemplatesFolder();
    if (!FolderExists(templates))
        MakeFolder(templates.substr(0, templates.size() - 1));
    const QString chosen = Prompter.SaveFile(QStringLiteral("Save As Template"), Q(templates),
                                             QStringLiteral("Template File (*.tmp)"));
    if (chosen.isEmpty())
        return;
    SaveAsTemplate(*Workspace.Project, chosen.toStdString());
}

namespace {

const QString ArchiveFilter = QStringLiteral("Corvane Project (*.corvane)");

QString WithArchiveExtension(QString path) {
    const QString extension = QString::fromUtf8(ProjectArchiveExtension);
    if (!path.endsWith(extension))
        path += extension;
    return path;
}

} // namespace

void TFormMain::ExportProjectClick() {
    if (!IsOpen())
        return;
    const std::string folder = Workspace.Project->Folder;
    const QString suggested = QDir::homePath() + QStringLiteral("/") + Q(FileNamePart(folder)) +
                              QString::fromUtf8(ProjectArchiveExtension);
    const QString chosen =
        Prompter.SaveFile(QStringLiteral("Export Project"), suggested, ArchiveFilter);
    if (chosen.isEmpty())
        return;
    // The file dialog asked before replacing the file chosen; a name that gets the
    // extension added is another file, which must not be there yet.
    const QString file = WithArchiveExtension(chosen);
    const TArchiveSummary summary = ExportProject(folder, file.toStdString(), file == chosen);
    QString text =
        QStringLiteral("The project was written into %1 (%2 files).").arg(file).arg(summary.Files);
    if (!summary.LeftOut.empty()) {
        text += QStringLiteral("\n\nLeft out:");
        for (const std::string& left : summary.LeftOut)
            text += QStringLiteral("\n") + Q(left);
    }
    Prompter.Information(text);
}

void TFormMain::ImportProjectClick() {
    const QString chosen =
        Prompter.OpenFile(QStringLiteral("Import Project"), QDir::homePath(), ArchiveFilter);
    if (chosen.isEmpty())
        return;
    const std::string archive = chosen.toStdString();
    const std::string name = ArchiveProjectName(archive);
    if (!IsPlainFileName(name) || name[0] == '.')
        throw TError("The archive's name gives no name for a project folder", archive);
    const std::string target = Workspace.ProjectsFolder() + name;
    // The open project stays open when the archive is refused.
    ImportProject(archive, target);
    OpenFolder(target);
}

QPrinter& TFormMain::Printer() {
    // Made when first needed: asking the print system for its printers takes time.
    if (!FPrinter)
        FPrinter = std::make_unique<QPrinter>();
    return *FPrinter;
}

void TFormMain::PrintSetupClick() {
    Prompter.PageSetup(Printer());
}

void TFormMain::PrintClick() {
    if (Prompter.PrintSetup(Printer()))
        WebBrowser->print(&Printer());
}

void TFormMain::ExitClick() {
    close();
}

void TFormMain::closeEvent(QCloseEvent* event) {
    if (Prompter.Confirm(QStringLiteral("Exit Corvane?"), TConfirmButtons::OKCancel)) {
        RememberWindow();
        RememberThumbnail();
        event->accept();
    } else {
        event->ignore();
    }
}

void TFormMain::AddColumnClick() {
    if (!IsOpen() || Workspace.Project->MenuCount >= TDProject::Capacity)
        return;
    const TDMenuItem* item = Editor().AddColumn();
    if (!item)
        return;
    QTreeWidgetItem* node = AppendTopLevelNode(item->TITLE, TreeIconColumn);
    TreeView->setCurrentItem(node);
    TreeViewChange(node);
    RefreshPreview();
}

void TFormMain::AddLinkClick() {
    if (!IsOpen() || Workspace.Project->MenuCount >= TDProject::Capacity)
        return;
    const TDMenuItem* item = Editor().AddLink();
    if (!item)
        return;
    QTreeWidgetItem* node = AppendTopLevelNode(item->TITLE, TreeIconLink);
    TreeView->setCurrentItem(node);
    TreeViewChange(node);
    RefreshPreview();
}

void TFormMain::AddPageClick() {
    QTreeWidgetItem* node = SelectedNode();
    if (!IsOpen() || !node)
        return;
    QTreeWidgetItem* columnNode = node->parent() ? node->parent() : node;
    if (NodeIcon(columnNode) != TreeIconColumn)
        return;
    const std::optional<std::string> title = Editor().AddPage(MenuIndexOf(columnNode));
    if (!title)
        return;
    auto* pageNode = new QTreeWidgetItem(columnNode, QStringList(Q(*title)));
    pageNode->setData(0, IconRole, TreeIconPage);
    pageNode->setIcon(0, TreeIcon(TreeIconPage));
    TreeView->setCurrentItem(pageNode);
    TreeViewChange(pageNode);
    RefreshPreview();
}

void TFormMain::MoveNode(bool up) {
    QTreeWidgetItem* node = SelectedNode();
    if (!IsOpen() || !node)
        return;
    const int index = IndexAmongSiblings(node);
    const int other = up ? index - 1 : index + 1;
    if (other < 0 || other >= SiblingCount(node))
        return;
    QTreeWidgetItem* parent = node->parent();
    const TMenuPlace place = PlaceOf(node);
    if (!(up ? Editor().MoveUp(place) : Editor().MoveDown(place)))
        throw TreeOutOfStep();

    // Up moves the node in front of its previous sibling; Down moves the next sibling in
    // front of the node. The moved node keeps its expanded state.
    {
        QSignalBlocker quiet(TreeView);
        const int from = up ? index : index + 1;
        const int to = up ? index - 1 : index;
        QTreeWidgetItem* moved = parent ? parent->child(from) : TreeView->topLevelItem(from);
        const bool expanded = moved->isExpanded();
        if (parent) {
            parent->takeChild(from);
            parent->insertChild(to, moved);
        } else {
            TreeView->takeTopLevelItem(from);
            TreeView->insertTopLevelItem(to, moved);
        }
        if (expanded)
            ExpandAll(moved);
        TreeView->setCurrentItem(node);
    }
    TreeViewChange(node);
    RefreshPreview();
}

void TFormMain::MoveUpClick() {
    MoveNode(true);
}

void TFormMain::MoveDownClick() {
    MoveNode(false);
}

void TFormMain::InformationClick() {
    QTreeWidgetItem* node = SelectedNode();
    if (!IsOpen() || !node)
        return;
    if (QTreeWidgetItem* parent = node->parent()) {
        const int index = parent->indexOfChild(node);
        TColumnInUse column(Editor().ColumnFile(MenuIndexOf(parent)), Workspace.XMLDoc);
        if (index >= column->PageCount)
            throw TreeOutOfStep();
        column->CurrentPage = index;
        Dialogs.Show(TDialogKind::Page);
        node->setText(0, Q(column->Page(index).TITLE));
    } else {
        const int index = MenuIndexOf(node);
        Workspace.Project->CurrentItem = index;
        Dialogs.Show(TDialogKind::Column);
        node->setText(0, Q(Workspace.Project->MenuItem(index).TITLE));
    }
    RefreshPreview();
}

void TFormMain::RemoveClick() {
    QTreeWidgetItem* node = SelectedNode();
    if (!IsOpen() || !node)
        return;
    const QString question = QStringLiteral("Remove \"") + node->text(0) + QStringLiteral("\"?");
    if (!Prompter.Confirm(question, TConfirmButtons::YesNo))
        return;
    QTreeWidgetItem* parent = node->parent();
    Editor().Remove(PlaceOf(node));
    const int index = IndexAmongSiblings(node);
    QTreeWidgetItem* next = nullptr;
    if (index + 1 < SiblingCount(node))
        next = parent ? parent->child(index + 1) : TreeView->topLevelItem(index + 1);
    else if (index > 0)
        next = parent ? parent->child(index - 1) : TreeView->topLevelItem(index - 1);
    else
        next = parent;
    {
        QSignalBlocker quiet(TreeView);
        delete node;
    }
    TreeView->setCurrentItem(next);
    if (next)
        next->setSelected(true);
    TreeViewChange(next);
    RefreshPreview();
}

void TFormMain::PreviewClick(bool checked) {
    MenuPreview->setChecked(checked);
    SetPreviewMode(checked);
}

void TFormMain::TreeBesidePreviewClick(bool checked) {
    MenuTreeBesidePreview->setChecked(checked);
    SetPreviewMode(MenuPreview->isChecked());
}

void TFormMain::PreviewInBrowserClick() {
    // The system's browser may go to any page: every one of them must be there first.
    if (IsOpen() && WaitForPreview())
        ShellOpen(QUrl::fromLocalFile(Q(Workspace.Project->PreviewFile())));
}

void TFormMain::PreviewWidthClick(bool phone) {
    const TPreviewWidth width = phone ? TPreviewWidth::Phone : TPreviewWidth::Desktop;
    (phone ? MenuPhoneWidth : MenuDesktopWidth)->setChecked(true);
    PanelPreview->SetWidth(width);
}

void TFormMain::NextPaneClick() {
    if (PanelTree->isHidden() || WebBrowser->isHidden())
        return; // one pane alone: the focus is in it already
    if (HasFocusIn(PanelPreview))
        TreeView->setFocus(Qt::ShortcutFocusReason);
    else if (PanelPreview->StartPageShown())
        StartPage->FocusFirst();
    else
        WebBrowser->setFocus(Qt::ShortcutFocusReason);
}

void TFormMain::LeavePreviewClick() {
    if (MenuPreview->isChecked())
        PreviewClick(false);
    if (!PanelTree->isHidden())
        TreeView->setFocus(Qt::ShortcutFocusReason);
}

void TFormMain::GoHomeClick() {
    Navigate(IsOpen() ? Workspace.Project->PreviewFile() : AboutBlank);
}

void TFormMain::GoBackClick() {
    WebBrowser->back();
}

void TFormMain::GoForwardClick() {
    WebBrowser->forward();
}

void TFormMain::UserManualClick() {
    const std::string manual = Workspace.UserManual();
    if (!FileExists(manual)) {
        Prompter.Information(QStringLiteral("The user manual is missing: ") + Q(manual) +
                             QStringLiteral(" was not found."));
        return;
    }
    if (ShellOpen(QUrl::fromLocalFile(Q(manual))))
        return;
    // No browser of the system's could be started: the manual in the window's own, in place
    // of the start page, which stands alone without a project.
    if (!MenuPreview->isChecked() && !MenuTreeBesidePreview->isChecked())
        PreviewClick(true);
    PanelPreview->ShowStartPage(false);
    Navigate(manual);
}

void TFormMain::HomePageClick() {
    ShellOpen(QUrl(QString::fromLatin1(HomePageAddress)));
}

void TFormMain::AboutClick() {
    Dialogs.Show(TDialogKind::About);
}

void TFormMain::OpenRecentClick(const std::string& folder) {
    if (!FolderExists(folder)) {
        StartPage->Recent.Remove(Q(folder));
        StartPage->Refresh();
        Prompter.Information(QStringLiteral("The project folder ") + Q(folder) +
                             QStringLiteral(" is no longer there; it is taken off the list."));
        return;
    }
    // A folder whose project went is not made into a new one behind the user's back: nothing
    // is written into it, and the entry goes.
    if (!FileExists(folder + "/Default.Pro")) {
        StartPage->Recent.Remove(Q(folder));
        StartPage->Refresh();
        Prompter.Information(QStringLiteral("There is no project in ") + Q(folder) +
                             QStringLiteral(" any more."));
        return;
    }
    OpenFolder(folder);
}

void TFormMain::OpenFolder(const std::string& folder) {
    if (IsOpen())
        CloseClick();
    Workspace.Project = std::make_unique<TDProject>(folder, Workspace.XMLDoc);
    ShowOpenedProject();
}

void TFormMain::ShowOpenedProject() {
    UpdateCaption();
    SetProjectOpen(true);
    FillTree();
    RefreshPreview();
    StartWarmUp();
}

void TFormMain::NewProjectFromClick(const std::string& templateFile) {
    // The New dialog starts with this template chosen; the name is still the user's.
    Workspace.NewProjectTemplate = templateFile;
    TAtExit forget([this] { Workspace.NewProjectTemplate.clear(); });
    NewProjectClick();
}

void TFormMain::ReopenLastProject() {
    const QStringList recent = StartPage->Recent.Folders();
    if (IsOpen() || !StartPage->Recent.ReopenLast() || recent.isEmpty() ||
        !FileExists(recent.first().toStdString() + "/Default.Pro"))
        return;
    RunCommand([this, &recent] { OpenRecentClick(recent.first().toStdString()); });
}

void TFormMain::RememberThumbnail() {
    if (!IsOpen() || !WebBrowser->isVisible() ||
        WebBrowser->url() != QUrl::fromLocalFile(Q(Workspace.Project->PreviewFile())))
        return;
    TRecentProjects::KeepThumbnail(Q(Workspace.Project->Folder), WebBrowser->grab());
}

void TFormMain::EditSettingsClick(TDialogKind kind) {
    if (IsOpen() && Dialogs.Show(kind))
        RefreshPreview();
}

// ---- Undo, Redo and the earlier versions

void TFormMain::RunChange(const std::string& name, const std::function<void()>& command) {
    if (!IsOpen()) {
        command();
        return;
    }
    // The background build reads the documents that the command may write: it stops first,
    // and starts again when the command did not refresh the preview.
    const bool previewStopped = Preview->CancelAndWait();
    TAtExit resume([this, previewStopped] {
        if (previewStopped && IsOpen() && !Preview->IsRunning())
            StartBackgroundPreview();
    });
    TAtExit update([this] { UpdateUndoActions(); });
    // A command that stopped after writing part of its change (its error shown, or on its
    // way out) left the records as they were before it and did not refresh the preview:
    // the window reads the project again, so that the tree and the preview show the files.
    const unsigned refreshes = FPreviewRefreshes;
    auto reload = [this, refreshes](bool changed) {
        if (!changed || !IsOpen() || FPreviewRefreshes != refreshes)
            return;
        // A project document that went is never made anew by reading the project again.
        if (!IsPlainFile(Workspace.Project->ProjectFile())) {
            StatusPanel1->setText(QStringLiteral("Preview is out of date"));
            return;
        }
        try {
            ReloadProject();
        } catch (const std::exception&) {
            // The status bar says that the preview is out of date.
        }
    };
    Session.RunChange(
        name, [this] { return IsOpen() ? Workspace.Project.get() : nullptr; }, command, reload);
}

void TFormMain::StartWarmUp() {
    if (IsOpen())
        Session.StartWarmUp(*Workspace.Project);
}

void TFormMain::UpdateUndoActions() {
    const bool open = IsOpen();
    const TUndoHistory& history = Session.History();
    MenuUndo->setEnabled(open && history.CanUndo());
    MenuRedo->setEnabled(open && history.CanRedo());
    MenuUndo->setText(MenuUndo->isEnabled() ? QStringLiteral("&Undo ") + Q(history.UndoName())
                                            : QStringLiteral("&Undo"));
    MenuRedo->setText(MenuRedo->isEnabled() ? QStringLiteral("&Redo ") + Q(history.RedoName())
                                            : QStringLiteral("&Redo"));
}

void TFormMain::ReloadProject() {
    // Where the selection was, to select the node in that place again.
    int top = -1;
    int child = -1;
    if (QTreeWidgetItem* node = SelectedNode()) {
        if (QTreeWidgetItem* parent = node->parent()) {
            top = TreeView->indexOfTopLevelItem(parent);
            child = parent->indexOfChild(node);
        } else {
            top = TreeView->indexOfTopLevelItem(node);
        }
    }
    const std::string folder = Workspace.Project->Folder;
    Workspace.Project = std::make_unique<TDProject>(folder, Workspace.XMLDoc);
    FillTree();
    const int count = TreeView->topLevelItemCount();
    if (top >= 0 && count > 0) {
        QTreeWidgetItem* node = TreeView->topLevelItem(std::min(top, count - 1));
        if (child >= 0 && top < count && node->childCount() > 0)
            node = node->child(std::min(child, node->childCount() - 1));
        TreeView->setCurrentItem(node);
        node->setSelected(true);
    }
    // With the preview alone the node commands stay off, as the tree is out of sight.
    TreeViewChange(MenuPreview->isChecked() ? nullptr : SelectedNode());
    RefreshPreview();
}

void TFormMain::UndoClick() {
    if (!IsOpen() || !Session.History().CanUndo())
        return;
    // The documents are written back under the background build: it stops first.
    Preview->CancelAndWait();
    TAtExit update([this] { UpdateUndoActions(); });
    Session.Undo(*Workspace.Project, [this]() -> const TDProject& {
        ReloadProject();
        return *Workspace.Project;
    });
}

void TFormMain::RedoClick() {
    if (!IsOpen() || !Session.History().CanRedo())
        return;
    // The documents are written back under the background build: it stops first.
    Preview->CancelAndWait();
    TAtExit update([this] { UpdateUndoActions(); });
    Session.Redo(*Workspace.Project, [this]() -> const TDProject& {
        ReloadProject();
        return *Workspace.Project;
    });
}

void TFormMain::RestoreEarlierVersionClick() {
    if (!IsOpen())
        return;
    TEarlierVersions& versions = Session.VersionsOf(Workspace.Project->Folder);
    const std::vector<TEarlierVersion> list = versions.List();
    if (list.empty()) {
        Prompter.Information(QStringLiteral("This project has no earlier versions yet."));
        return;
    }
    if (!FormRestore)
        FormRestore = new TFormRestore(this);
    const std::optional<TEarlierVersion> chosen = FormRestore->Execute(list, versions.Strays());
    if (!chosen)
        return;
    const QString question = QStringLiteral("Restore the version of ") +
                             TFormRestore::VersionText(*chosen) +
                             QStringLiteral("? Undo takes the restore back.");
    if (!Prompter.Confirm(question, TConfirmButtons::YesNo))
        return;
    RunChange("Restore Earlier Version", [this, &versions, &chosen] {
        versions.Restore(*chosen);
        ReloadProject();
    });
}

// ---- The remembered window

void TFormMain::ShowRemembered() {
    QSettings settings(SettingsOrganization, SettingsApplication);
    MenuTreeBesidePreview->setChecked(
        settings.value(QStringLiteral("Window/TreeBesidePreview"), true).toBool());
    Splitter->restoreState(settings.value(QStringLiteral("Window/Splitter")).toByteArray());
    PreviewWidthClick(
        PreviewWidthOfName(settings.value(QStringLiteral("Window/PreviewWidth")).toString()) ==
        TPreviewWidth::Phone);
    // The preview alone (F11) as it was left.
    MenuPreview->setChecked(settings.value(QStringLiteral("Window/PreviewAlone"), false).toBool());
    SetPreviewMode(MenuPreview->isChecked());

    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
    // Never smaller than what the window's content needs, nor than a small screen's worth.
    const QSize needed = minimumSizeHint().expandedTo(QSize(640, 480)).boundedTo(available.size());
    QRect rect = settings.value(QStringLiteral("Window/Rect")).toRect();
    if (!rect.isValid() || rect.width() < needed.width() || rect.height() < needed.height() ||
        !available.intersects(rect)) {
        // The first start, or a remembered place that no longer fits: 80% of the screen,
        // centred.
        const QSize size =
            (available.size() * 4 / 5).expandedTo(needed).boundedTo(available.size());
        rect = QRect(QPoint(0, 0), size);
        rect.moveCenter(available.center());
    }
    setGeometry(rect);
    if (settings.value(QStringLiteral("Window/Maximized"), false).toBool())
        showMaximized();
    else
        show();
}

void TFormMain::RememberWindow() const {
    QSettings settings(SettingsOrganization, SettingsApplication);
    const bool maximized = isMaximized();
    settings.setValue(QStringLiteral("Window/Rect"), maximized ? normalGeometry() : geometry());
    settings.setValue(QStringLiteral("Window/Maximized"), maximized);
    settings.setValue(QStringLiteral("Window/Splitter"), Splitter->saveState());
    settings.setValue(QStringLiteral("Window/TreeBesidePreview"),
                      MenuTreeBesidePreview->isChecked());
    settings.setValue(QStringLiteral("Window/PreviewAlone"), MenuPreview->isChecked());
    settings.setValue(QStringLiteral("Window/PreviewWidth"),
                      PreviewWidthName(PanelPreview->Width()));
}

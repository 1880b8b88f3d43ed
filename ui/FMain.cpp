#include "ui/FMain.h"

#include "generator/Generator.h"
#include "model/CColumn.h"
#include "model/CTemplate.h"
#include "model/ColumnInUse.h"
#include "model/ProjectEditor.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "ui/ErrorReport.h"
#include "ui/Pictures.h"
#include "ui/Prompter.h"
#include "ui/Workspace.h"

#include <QAction>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPrinter>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <algorithm>

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

// The tree: read-only, and a right click opens the context menu without moving the selection.
// A selected node stays selected until another one is chosen: Ctrl+click and Ctrl+Space
// would otherwise empty the selection while the node commands stay enabled for it.
class TTreeView : public QTreeWidget {
  public:
    using QTreeWidget::QTreeWidget;

  protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::RightButton) {
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

TError TreeOutOfStep() {
    return TError("The tree no longer matches the project; close the project and open it again.");
}

} // namespace

TFormMain::TFormMain(TWorkspace& workspace, IPrompter& prompter, TDialogs& dialogs, QWidget* parent)
    : QMainWindow(parent), Workspace(workspace), Prompter(prompter), Dialogs(dialogs) {
    setObjectName(QStringLiteral("FormMain"));
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
    for (QAction* action : {MenuNewProject, MenuOpenProject, ToolNew, ToolOpen})
        action->setEnabled(!FProjectsFolderMissing);

    // Start in the tree view with no project: everything that needs one is off.
    MenuPreview->setChecked(false);
    SetProjectOpen(false);
}

TFormMain::~TFormMain() = default;

// ---- Construction of the controls

void TFormMain::Connect(QAction* action, void (TFormMain::*command)()) {
    connect(action, &QAction::triggered, this,
            [this, command] { RunCommand([this, command] { (this->*command)(); }); });
}

QAction* TFormMain::Action(const char* caption, const char* name, void (TFormMain::*command)()) {
    auto* action = new QAction(QString::fromUtf8(caption), this);
    action->setObjectName(QString::fromLatin1(name));
    if (command)
        Connect(action, command);
    return action;
}

void TFormMain::RunCommand(const std::function<void()>& command) {
    ReportErrors(Prompter, [&command] {
        try {
            command();
        } catch (const TNoSuchPlace&) {
            // A node whose item or page the files no longer hold.
            throw TreeOutOfStep();
        }
    });
}

void TFormMain::CreateActions() {
    using T = TFormMain;
    MenuNewProject = Action("New Project...", "MenuNewProject", &T::NewProjectClick);
    MenuOpenProject = Action("Open Project...", "MenuOpenProject", &T::OpenProjectClick);
    MenuClose = Action("Close", "MenuClose", &T::CloseClick);
    MenuBuild = Action("Build...", "MenuBuild", &T::BuildClick);
    MenuBuild->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));
    MenuPublish = Action("Publish...", "MenuPublish", &T::PublishClick);
    MenuPublish->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_U));
    MenuSaveAsTemplate =
        Action("Save As Template...", "MenuSaveAsTemplate", &T::SaveAsTemplateClick);
    MenuPrintSetup = Action("Print Setup...", "MenuPrintSetup", &T::PrintSetupClick);
    MenuPrint = Action("Print...", "MenuPrint", &T::PrintClick);
    MenuPrint->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    MenuExit = Action("Exit", "MenuExit", &T::ExitClick);

    MenuAddColumn = Action("Add Column", "MenuAddColumn", &T::AddColumnClick);
    MenuAddLink = Action("Add Link", "MenuAddLink", &T::AddLinkClick);
    MenuAddPage = Action("Add Page", "MenuAddPage", &T::AddPageClick);
    MenuAddPage->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Insert));
    MenuMoveUp = Action("Move Up", "MenuMoveUp", &T::MoveUpClick);
    MenuMoveDown = Action("Move Down", "MenuMoveDown", &T::MoveDownClick);
    MenuInformation = Action("Information...", "MenuInformation", &T::InformationClick);
    MenuInformation->setShortcuts({QKeySequence(Qt::Key_Enter), QKeySequence(Qt::Key_Return)});
    MenuRemove = Action("Remove", "MenuRemove", &T::RemoveClick);
    MenuRemove->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Delete));

    MenuPreview = Action("Preview", "MenuPreview", nullptr);
    MenuPreview->setCheckable(true);
    MenuPreview->setShortcut(QKeySequence(Qt::Key_F11));
    connect(MenuPreview, &QAction::triggered, this,
            [this](bool checked) { RunCommand([this, checked] { PreviewClick(checked); }); });
    MenuPreviewInBrowser =
        Action("Preview In Browser", "MenuPreviewInBrowser", &T::PreviewInBrowserClick);
    MenuPreviewInBrowser->setShortcut(QKeySequence(Qt::Key_F12));
    MenuGoHome = Action("Go Home", "MenuGoHome", &T::GoHomeClick);
    MenuGoBack = Action("Go Back", "MenuGoBack", &T::GoBackClick);
    MenuGoForward = Action("Go Forward", "MenuGoForward", &T::GoForwardClick);

    auto settings = [this](const char* caption, const char* name, TDialogKind kind) {
        QAction* action = Action(caption, name, nullptr);
        connect(action, &QAction::triggered, this,
                [this, kind] { RunCommand([this, kind] { EditSettingsClick(kind); }); });
        return action;
    };
    MenuWelcomeBar = settings("Welcome Bar...", "MenuWelcomeBar", TDialogKind::WelcomeBar);
    MenuTopic = settings("Topic...", "MenuTopic", TDialogKind::Topic);
    MenuMenu = settings("Menu...", "MenuMenu", TDialogKind::Menu);
    MenuHotspot = settings("Hotspot...", "MenuHotspot", TDialogKind::Hotspot);
    MenuFoot = settings("Foot...", "MenuFoot", TDialogKind::Foot);
    MenuFrame = settings("Frame...", "MenuFrame", TDialogKind::Frame);
    MenuSize = settings("Size...", "MenuSize", TDialogKind::Size);
    MenuColor = settings("Color...", "MenuColor", TDialogKind::Color);
    MenuFont = settings("Font...", "MenuFont", TDialogKind::Font);
    MenuLanguage = settings("Language...", "MenuLanguage", TDialogKind::Language);

    MenuUserManual = Action("User Manual", "MenuUserManual", &T::UserManualClick);
    MenuUserManual->setShortcut(QKeySequence(Qt::Key_F1));
    MenuHomePage = Action("Home Page", "MenuHomePage", &T::HomePageClick);
    MenuAbout = Action("About...", "MenuAbout", &T::AboutClick);

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
    PopupAddColumn = Action("Add Column", "PopupAddColumn", &T::AddColumnClick);
    PopupAddLink = Action("Add Link", "PopupAddLink", &T::AddLinkClick);
    PopupAddPage = Action("Add Page", "PopupAddPage", &T::AddPageClick);
    PopupMenuAdd->addAction(PopupAddColumn);
    PopupMenuAdd->addAction(PopupAddLink);
    PopupMenuAdd->addSeparator();
    PopupMenuAdd->addAction(PopupAddPage);
    ToolAdd->setMenu(PopupMenuAdd);

    PopupMenuTreeView = new QMenu(this);
    PopupMenuTreeView->setObjectName(QStringLiteral("PopupMenuTreeView"));
    PopupTreeviewAddColumn = Action("Add Column", "PopupTreeviewAddColumn", &T::AddColumnClick);
    PopupTreeviewAddLink = Action("Add Link", "PopupTreeviewAddLink", &T::AddLinkClick);
    PopupTreeviewAddPage = Action("Add Page", "PopupTreeviewAddPage", &T::AddPageClick);
    PopupTreeviewMoveUp = Action("Move Up", "PopupTreeviewMoveUp", &T::MoveUpClick);
    PopupTreeviewMoveDown = Action("Move Down", "PopupTreeviewMoveDown", &T::MoveDownClick);
    PopupTreeviewInformation =
        Action("Information...", "PopupTreeviewInformation", &T::InformationClick);
    PopupTreeviewRemove = Action("Remove", "PopupTreeviewRemove", &T::RemoveClick);
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
    QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
    file->addAction(MenuNewProject);
    file->addAction(MenuOpenProject);
    file->addAction(MenuClose);
    file->addSeparator();
    file->addAction(MenuBuild);
    file->addAction(MenuPublish);
    file->addAction(MenuSaveAsTemplate);
    file->addSeparator();
    file->addAction(MenuPrintSetup);
    file->addAction(MenuPrint);
    file->addSeparator();
    file->addAction(MenuExit);

    QMenu* edit = menuBar()->addMenu(QStringLiteral("Edit"));
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

    QMenu* view = menuBar()->addMenu(QStringLiteral("View"));
    view->addAction(MenuPreview);
    view->addAction(MenuPreviewInBrowser);
    view->addSeparator();
    view->addAction(MenuGoHome);
    view->addAction(MenuGoBack);
    view->addAction(MenuGoForward);

    QMenu* page = menuBar()->addMenu(QStringLiteral("Page"));
    for (QAction* action : {MenuWelcomeBar, MenuTopic, MenuMenu, MenuHotspot, MenuFoot})
        page->addAction(action);

    QMenu* style = menuBar()->addMenu(QStringLiteral("Style"));
    for (QAction* action : {MenuFrame, MenuSize, MenuColor, MenuFont})
        style->addAction(action);
    style->addSeparator();
    style->addAction(MenuLanguage);

    QMenu* help = menuBar()->addMenu(QStringLiteral("Help"));
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
    // Only New, Open, Build, Publish, Browser and Preview have hints.
    auto* noHint = new TNoHint(this);
    for (QAction* action :
         {ToolHome, ToolBack, ToolForward, ToolAdd, ToolUp, ToolDown, ToolInfo, ToolRemove})
        if (QWidget* button = ToolBarProject->widgetForAction(action))
            button->installEventFilter(noHint);
}

void TFormMain::CreateViews() {
    auto* client = new QWidget(this);
    auto* layout = new QVBoxLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    PanelTree = new QWidget(client);
    PanelTree->setObjectName(QStringLiteral("PanelTree"));
    auto* panelLayout = new QVBoxLayout(PanelTree);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    TreeView = new TTreeView(PanelTree);
    TreeView->setObjectName(QStringLiteral("TreeView"));
    TreeView->setHeaderHidden(true);
    TreeView->setColumnCount(1);
    TreeView->setIconSize(QSize(16, 16));
    TreeView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView->setSelectionMode(QAbstractItemView::SingleSelection);
    TreeView->setContextMenuPolicy(Qt::CustomContextMenu);
    panelLayout->addWidget(TreeView);
    connect(TreeView, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* node) { RunCommand([this, node] { TreeViewChange(node); }); });
    connect(TreeView, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        PopupMenuTreeView->popup(TreeView->viewport()->mapToGlobal(at));
    });

    WebBrowser = new QWebEngineView(client);
    WebBrowser->setObjectName(QStringLiteral("WebBrowser"));
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

    layout->addWidget(PanelTree);
    layout->addWidget(WebBrowser);
    setCentralWidget(client);

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
    for (QAction* action :
         {MenuClose, MenuBuild, MenuPublish, MenuSaveAsTemplate, MenuPreviewInBrowser,
          MenuWelcomeBar, MenuTopic, MenuMenu, MenuHotspot, MenuFoot, MenuFrame, MenuSize,
          MenuColor, MenuFont, MenuLanguage, ToolBuild, ToolPublish, ToolBrowser})
        action->setEnabled(open);
    SetPreviewMode(MenuPreview->isChecked());
}

void TFormMain::SetPreviewMode(bool on) {
    const bool open = IsOpen();
    ToolPreview->setChecked(on);
    PanelTree->setVisible(!on);
    WebBrowser->setVisible(on);
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
    if (on)
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
    const bool allowed = IsOpen() && BrowserShown() && enabled;
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
        for (int i = 0; i < project.MenuCount; ++i) {
            const TDMenuItem& item = project.MenuItem(i);
            QTreeWidgetItem* node =
                AppendTopLevelNode(item.TITLE, item.IsColumn() ? TreeIconColumn : TreeIconLink);
            if (item.IsColumn()) {
                for (const std::string& title : TProjectEditor(project).PageTitles(i)) {
                    auto* page = new QTreeWidgetItem(node, QStringList(Q(title)));
                    page->setData(0, IconRole, TreeIconPage);
                    page->setIcon(0, TreeIcon(TreeIconPage));
                }
            }
            ExpandAll(node);
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
            Workspace.LastBuild = TBuildStats{};
            Build(*Workspace.Project, folderName, &Workspace.LastBuild);
        }
    } catch (...) {
        // Never leave an out-of-date page looking current.
        StatusPanel1->setText(folderName.empty() ? QStringLiteral("Preview is out of date")
                                                 : QStringLiteral("Build failed"));
        throw;
    }
    // Copies that failed stay named in the status bar until the next build.
    const std::string failures =
        folderName.empty() ? std::string() : CopyFailureText(Workspace.LastBuild);
    if (failures.empty())
        StatusPanel1->clear();
    else
        StatusPanel1->setText(Q(failures));
}

void TFormMain::RefreshPreview() {
    if (!IsOpen())
        return;
    BuildWithStatus("");
    Navigate(Workspace.Project->PreviewFile());
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
    UpdateCaption();
    SetProjectOpen(true);
    FillTree();
    RefreshPreview();
}

void TFormMain::OpenProjectClick() {
    if (IsOpen())
        CloseClick();
    if (!Dialogs.Show(TDialogKind::Open) || !IsOpen())
        return;
    UpdateCaption();
    SetProjectOpen(true);
    FillTree();
    RefreshPreview();
}

void TFormMain::CloseClick() {
    if (IsOpen()) {
        Workspace.Project.reset();
        UpdateCaption();
        TreeView->clear();
        Navigate(AboutBlank);
    }
    SetProjectOpen(false);
}

void TFormMain::BuildIntoHTML() {
    Editor().PrepareHTMLFolder();
    BuildWithStatus("HTML");
}

void TFormMain::BuildClick() {
    if (!IsOpen())
        return;
    BuildIntoHTML();
    Dialogs.Show(TDialogKind::Build);
}

void TFormMain::PublishClick() {
    if (!IsOpen())
        return;
    BuildIntoHTML();
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
    if (Prompter.Confirm(QStringLiteral("Exit Corvane?"), TConfirmButtons::OKCancel))
        event->accept();
    else
        event->ignore();
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

void TFormMain::PreviewInBrowserClick() {
    if (IsOpen())
        ShellOpen(QUrl::fromLocalFile(Q(Workspace.Project->PreviewFile())));
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
    ShellOpen(QUrl::fromLocalFile(Q(Workspace.UserManual())));
}

void TFormMain::HomePageClick() {
    ShellOpen(QUrl(QString::fromLatin1(HomePageAddress)));
}

void TFormMain::AboutClick() {
    Dialogs.Show(TDialogKind::About);
}

void TFormMain::EditSettingsClick(TDialogKind kind) {
    if (IsOpen() && Dialogs.Show(kind))
        RefreshPreview();
}

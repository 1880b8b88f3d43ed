#pragma once

#include "model/ProjectEditor.h"
#include "model/ProjectSession.h"
#include "ui/Dialogs.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QUrl>

#include <functional>
#include <memory>
#include <string>

class IPrompter;
class TWorkspace;
class QAction;
class QLabel;
class QMenu;
class QPrinter;
class QSplitter;
class TFormRestore;
class TPreviewBuilder;
class TPreviewPane;
class TStartPage;
class QTimer;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;
class QWebEngineView;

// The main window: the open project as a tree of menu items and pages (the tree view) or as
// the generated site in the embedded browser (the preview view), and every command. After
// each change to the project it builds the preview into the Temp folder and shows its
// homepage.
class TFormMain : public QMainWindow {
    Q_OBJECT

  public:
    TFormMain(TWorkspace& workspace, IPrompter& prompter, TDialogs& dialogs,
              QWidget* parent = nullptr);
    ~TFormMain() override;

    // The window's own routines.
    void SetProjectOpen(bool open);
    void SetPreviewMode(bool on);
    void TreeViewChange(QTreeWidgetItem* node);
    void FillTree();
    // Runs the generator with "Building Project..." in status panel 1: into the named
    // sub-folder of the project, or the preview (Temp) when folderName is empty.
    void BuildWithStatus(const std::string& folderName);
    // The preview after a change: the homepage is written at once, as the whole build writes
    // it, and the browser shows it; the rest of the site follows in the background (Preview)
    // with "Building page N of M" in status panel 1. When a build fails, status panel 1 says
    // that the preview is out of date.
    void RefreshPreview();
    // Waits for the background build with a progress dialog after half a second; false when
    // the user cancelled it.
    bool WaitForPreview();
    // The browser's report that going back (command 2) or forward (command 1) became
    // possible or impossible.
    void BrowserCommandStateChange(int command, bool enabled);
    // The browser's new status text (the address of the link under the mouse).
    void BrowserStatusTextChange(const QString& text);

    // The commands, as the menu items, tool buttons and pop-up items run them.
    void NewProjectClick();
    void OpenProjectClick();
    void CloseClick();
    void BuildClick();
    void PublishClick();
    void SaveAsTemplateClick();
    // A project in one file (model/ProjectArchive.h): the open project written into a
    // ".corvane" file, and such a file unpacked into a new folder of Projects and opened.
    void ExportProjectClick();
    void ImportProjectClick();
    void PrintSetupClick();
    void PrintClick();
    void ExitClick();
    void RestoreEarlierVersionClick();
    void UndoClick();
    void RedoClick();
    void AddColumnClick();
    void AddLinkClick();
    void AddPageClick();
    void MoveUpClick();
    void MoveDownClick();
    void InformationClick();
    void RemoveClick();
    void PreviewClick(bool checked);
    // Tree Beside Preview: the tree and the preview side by side in a splitter (on), or one
    // of them filling the window (off); Preview still shows the preview alone.
    void TreeBesidePreviewClick(bool checked);
    void PreviewInBrowserClick();
    void PreviewWidthClick(bool phone);
    // F6 and Shift+F6: the focus from the tree to the preview beside it and back. Esc in the
    // preview: back to the tree (leaving the preview alone first when it is).
    void NextPaneClick();
    void LeavePreviewClick();
    void GoHomeClick();
    void GoBackClick();
    void GoForwardClick();
    void UserManualClick();
    void HomePageClick();
    void AboutClick();
    // The start page's commands (ui/StartPage.h): a recent project opened (a missing one is
    // taken off the list, with a word why), and a new project from a template.
    void OpenRecentClick(const std::string& folder);
    void NewProjectFromClick(const std::string& templateFile);
    // At start, when the user asked for it on the start page: the last project opened again
    // (when its folder is still there).
    void ReopenLastProject();
    // The picture of the open project's homepage that the start page shows, taken from the
    // browser when it shows the homepage.
    void RememberThumbnail();
    // The dialogs of the Page and Style menus: on OK the preview is refreshed.
    void EditSettingsClick(TDialogKind kind);

    // Runs command as one change of the open project named name ("Add Page", "Topic"): the
    // documents it rewrote can be taken back with Undo, and the project keeps the state it
    // gave as an earlier version. Without an open project the command just runs.
    void RunChange(const std::string& name, const std::function<void()>& command);
    // The undo history, the earlier versions, the document cache and the warm-up of the open
    // project (model/ProjectSession.h, which says what may run beside the background preview
    // and the warm-up). The window starts the warm-up once an opened project's homepage is
    // shown, and stops the background preview before every call that writes the documents.
    TProjectSession Session;
    // The session's cache, versions and warm-up, as the window's tests look at them.
    const TDocumentCache& Documents = Session.Documents();
    const std::unique_ptr<TEarlierVersions>& Versions = Session.Versions();
    const TWarmUp& WarmUp = Session.WarmUp();
    void StartWarmUp();
    void WaitForWarmUp() { Session.WaitForWarmUp(); }
    // Closes the open project, if any, and opens the one in folder in its place.
    void OpenFolder(const std::string& folder);
    // The project just made or opened becomes the window's: caption, tree, preview, warm-up.
    void ShowOpenedProject();

    // Shows the window as it was when it was last closed (position, size, maximised state,
    // splitter and view, from the settings), or at about 80% of the screen, centred, the
    // first time.
    void ShowRemembered();
    // Writes what ShowRemembered restores.
    void RememberWindow() const;

    // Points the browser at a file, or at "About:Blank".
    void Navigate(const std::string& fileOrBlank);
    // The tree's selected node, or none.
    QTreeWidgetItem* SelectedNode() const;
    // The icon index of a node (0 column, 1 link, 2 page).
    static int NodeIcon(const QTreeWidgetItem* node);

    // Shell "open" of a file or address with its default application. Replaceable so that
    // the tests see what would be opened.
    std::function<bool(const QUrl&)> ShellOpen;

    // The product's home page, opened by Help > Home Page.
    static const char* const HomePageAddress;

    // The menu items, tool buttons and pop-up items, by the names the commands use.
    QAction* MenuNewProject;
    QAction* MenuOpenProject;
    QAction* MenuClose;
    QAction* MenuBuild;
    QAction* MenuPublish;
    QAction* MenuSaveAsTemplate;
    QAction* MenuExportProject;
    QAction* MenuImportProject;
    QAction* MenuPrintSetup;
    QAction* MenuPrint;
    QAction* MenuExit;
    QAction* MenuRestoreEarlierVersion;
    QAction* MenuUndo;
    QAction* MenuRedo;
    QAction* MenuAddColumn;
    QAction* MenuAddLink;
    QAction* MenuAddPage;
    QAction* MenuMoveUp;
    QAction* MenuMoveDown;
    QAction* MenuInformation;
    QAction* MenuRemove;
    QAction* MenuPreview;
    QAction* MenuTreeBesidePreview;
    QAction* MenuPreviewInBrowser;
    // The width the side preview lays a page out at (ui/PreviewPane.h), one of the two
    // checked; remembered with the window.
    QAction* MenuDesktopWidth;
    QAction* MenuPhoneWidth;
    QAction* MenuGoHome;
    QAction* MenuGoBack;
    QAction* MenuGoForward;
    QAction* MenuWelcomeBar;
    QAction* MenuTopic;
    QAction* MenuMenu;
    QAction* MenuHotspot;
    QAction* MenuFoot;
    QAction* MenuFrame;
    QAction* MenuSize;
    QAction* MenuColor;
    QAction* MenuFont;
    QAction* MenuLanguage;
    QAction* MenuSiteOptions;
    QAction* MenuUserManual;
    QAction* MenuHomePage;
    QAction* MenuAbout;

    QToolBar* ToolBarProject;
    QAction* ToolNew;
    QAction* ToolOpen;
    QAction* ToolBuild;
    QAction* ToolPublish;
    QAction* ToolBrowser;
    QAction* ToolPreview;
    QAction* ToolHome;
    QAction* ToolBack;
    QAction* ToolForward;
    QAction* ToolAdd;
    QAction* ToolUp;
    QAction* ToolDown;
    QAction* ToolInfo;
    QAction* ToolRemove;

    QMenu* PopupMenuAdd;
    QAction* PopupAddColumn;
    QAction* PopupAddLink;
    QAction* PopupAddPage;

    QMenu* PopupMenuTreeView;
    QAction* PopupTreeviewAddColumn;
    QAction* PopupTreeviewAddLink;
    QAction* PopupTreeviewAddPage;
    QAction* PopupTreeviewMoveUp;
    QAction* PopupTreeviewMoveDown;
    QAction* PopupTreeviewInformation;
    QAction* PopupTreeviewRemove;

    QSplitter* Splitter;
    QWidget* PanelTree;
    QTreeWidget* TreeView;
    QWebEngineView* WebBrowser;
    // The browser with the Desktop / Phone toggle above it, beside the tree in the splitter.
    TPreviewPane* PanelPreview;
    // Shown in the preview pane while no project is open.
    TStartPage* StartPage;
    QLabel* StatusPanel0;
    QLabel* StatusPanel1;
    // Lists the earlier versions for File > Restore Earlier Version; made by start-up after
    // the other dialogs (or when first needed).
    TFormRestore* FormRestore = nullptr;

    static constexpr int StatusPanel1Width = 200;

    // The rest of the preview, built in the background after each change.
    TPreviewBuilder* Preview;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateViews();
    // A menu item or button whose command runs under the application's error report.
    QAction* Action(const char* caption, const char* name, void (TFormMain::*command)());
    void Connect(QAction* action, void (TFormMain::*command)());
    // The name of the change that a command makes, or none for a command that changes no
    // document.
    static const char* ChangeName(void (TFormMain::*command)());
    void UpdateUndoActions();
    // Reads the open project again from its files (after Undo, Redo or a restore), rebuilds
    // the tree with the selection where it was, and refreshes the preview.
    void ReloadProject();
    void RunCommand(const std::function<void()>& command);
    // After a command (and the dialogs it showed): when no control of the window has the
    // keyboard focus, the window is activated and the focus goes back to the control that had
    // it, or to the tree.
    void RestoreFocus(QWidget* had);
    void CopyTreePopupStates();
    // The caption for the open project, or the application title alone.
    void UpdateCaption();
    bool IsOpen() const;
    bool BrowserShown() const;
    // The menu-list index of a top-level node, checked against the project.
    int MenuIndexOf(QTreeWidgetItem* node) const;
    // Where a node stands in the menu list, checked against the project.
    TMenuPlace PlaceOf(QTreeWidgetItem* node) const;
    // The structure commands on the open project.
    TProjectEditor Editor() const;
    QTreeWidgetItem* AppendTopLevelNode(const std::string& title, int icon);
    void MoveNode(bool up);
    // Empties the HTML folder and builds into it; false when the user cancelled the build.
    bool BuildIntoHTML();
    // BuildInto the folder on a thread of its own while this one paints and shows the
    // progress (TFormBuildProgress); the build's error is thrown here.
    void BuildOffThread(const std::string& folder);
    void PreviewFinished(bool completed, const QString& error, const QString& textProblems);
    void ShowPreviewProgress();
    // The background preview's words in status panel 1. They replace only what the preview
    // itself said there, never what a build or a command says (a cancelled build, copies that
    // failed), which stays until the next build.
    void SetPreviewStatus(const QString& text);
    // Builds the whole preview in the background, its progress in status panel 1.
    void StartBackgroundPreview();
    void BeforePreviewNavigation(const QUrl& url);
    QPrinter& Printer();

    TWorkspace& Workspace;
    IPrompter& Prompter;
    TDialogs& Dialogs;
    bool FProjectsFolderMissing = false;
    // While a build on another thread uses the project.
    bool FProjectBusy = false;
    // Until the background build has written every page of the preview since the last
    // change: a page may still be out of date.
    bool FPreviewStale = false;
    // How many times the homepage was refreshed: a change that wrote documents without
    // refreshing (a command stopped by an error) reads the project again after.
    unsigned FPreviewRefreshes = 0;
    // A page was written on demand since the background build started. With it came the
    // pictures and downloads it shows, and one of them may bear the name of a file that the
    // build had already written from another source (an image and a download of one name),
    // which a whole build leaves as its last writer wrote it: the build then runs once more.
    bool FWrittenOnDemand = false;
    QTimer* PreviewProgress;
    QString FPreviewStatus;
    QElapsedTimer PreviewStarted;
    std::unique_ptr<QPrinter> FPrinter;
};

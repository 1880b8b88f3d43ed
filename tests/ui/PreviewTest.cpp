// The preview of a large project: the homepage at once, the rest in the background while
// the window answers, the next change cancelling what it makes stale, Preview In Browser
// waiting, and Temp equal to a fresh build afterwards.

#include "UiTestSupport.h"

#include "app/Startup.h"

#include "generator/Driver.h"
#include "model/CColumn.h"
#include "model/CPage.h"
#include "ui/Dialogs.h"
#include "ui/FBuildProgress.h"
#include "ui/FMain.h"
#include "ui/PreviewBuilder.h"
#include "ui/Workspace.h"

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <QWebEngineView>

#include <filesystem>
#include <map>
#include <memory>

namespace {

constexpr int LoadTimeout = 20000;
// A whole background preview of the large project: minutes under ThreadSanitizer on a
// machine that runs other tests beside.
constexpr int WholePreviewTimeout = 240000;
// Pages in each of the large project's 24 columns: enough that the background build is still
// running when a test looks. Under ThreadSanitizer every page costs several times as much, so
// a quarter of them last as long and the cases keep what they check.
#if defined(__SANITIZE_THREAD__)
constexpr int LargePages = 100;
constexpr int SmallPages = 25;
#else
constexpr int LargePages = 400;
constexpr int SmallPages = 100;
#endif

// Columns of many pages with long texts, each document written in one go.
void MakeLargeProject(const std::string& folder, int columns, int pages) {
    MakeFolder(folder);
    TXmlDocument document;
    TDProject project(folder, document);
    for (int i = 0; i < columns; ++i) {
        TDMenuItem* item = project.AddMenuItem(false);
        item->TITLE = "Column " + std::to_string(i);
        item->STYLE = i % 2 ? "Only title list" : "Title list with summary";
        document.New();
        TXmlElement root = document.CreateRoot("COLUMN");
        for (int j = 0; j < pages; ++j) {
            TDPage page;
            page.TITLE = "Page " + std::to_string(i) + "/" + std::to_string(j);
            page.TEXT = std::string(2000, static_cast<char>('a' + j % 26)) + "#$D#$Aend";
            page.Save(AppendChild(root, "PAGE"));
        }
        document.SaveToFile(project.ColumnFile(project.MenuCount - 1));
        document.Clear();
    }
    project.Save();
}

std::map<std::string, std::string> FilesIn(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.is_regular_file())
            files[entry.path().filename().string()] = ReadFileBytes(entry.path().string());
    return files;
}

// What a fresh full build writes for the project as its files hold it now.
std::map<std::string, std::string> FreshBuild(const std::string& project, const std::string& out) {
    MakeFolder(out);
    TXmlDocument document;
    TDProject opened(project, document);
    BuildInto(opened, out);
    return FilesIn(out);
}

// Counts the events it is sent: proof that the window's thread answers.
class TEventCounter : public QObject {
  public:
    int Count = 0;
    bool WhileBuilding = false;
    TPreviewBuilder* Builder = nullptr;

  protected:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) {
            ++Count;
            WhileBuilding = WhileBuilding || Builder->IsRunning();
            return true;
        }
        return QObject::event(e);
    }
};

// The window over a workspace of its own, shown, with a large project "Big" of 24 columns of
// pages pages that File > Open Project opens.
struct TLargeProjectWindow {
    explicit TLargeProjectWindow(int pages)
        // The window makes the Projects folder.
        : Form(std::make_unique<TFormMain>(Workspace, Prompter, Dialogs)),
          Folder(Workspace.ProjectsFolder() + "Big") {
        MakeLargeProject(Folder, 24, pages);
        Dialogs.Register(TDialogKind::Open, [this] {
            Workspace.Project = std::make_unique<TDProject>(Folder, Workspace.XMLDoc);
            return true;
        });
        Form->resize(900, 640);
        Form->show();
    }

    TTempFolder Temp;
    TScriptedPrompter Prompter;
    TWorkspace Workspace{Temp.Path() + "/"};
    TDialogs Dialogs;
    std::unique_ptr<TFormMain> Form;
    std::string Folder;
};

class TPreviewTest : public QObject {
    Q_OBJECT

  private slots:
    void windowAnswersWhileTheRestIsBuilt();
    void buildShowsItsProgressAndCanBeCancelled();
    void aPageWrittenOnDemandLeavesTempAsAWholeBuild();
    void whatABuildSaysOutlastsTheBackgroundPreview();
    void undoAndRedoWhileTheRestIsBuilt();
    void closedBeforeTheBuildsEndIsHeard();
    void whatTheTextsNameThatIsGoneShowsAfterThePreview();
};

void TPreviewTest::windowAnswersWhileTheRestIsBuilt() {
    TLargeProjectWindow window(LargePages);
    auto& [temp, prompter, workspace, dialogs, form, folder] = window;
    form->ShellOpen = [](const QUrl&) { return true; };

    // Opening shows the homepage while the rest is still being built.
    QSignalSpy loaded(form->WebBrowser, &QWebEngineView::loadFinished);
    form->MenuOpenProject->trigger();
    const std::string homepage = workspace.Project->PreviewFile();
    QVERIFY(FileExists(homepage));
    QVERIFY(form->Preview->IsRunning());
    QVERIFY(loaded.count() > 0 || loaded.wait(LoadTimeout));
    // Its count holds whenever it is asked (a build that wrote its last page may still be
    // finishing, as a slow machine or the thread sanitizer shows).
    QVERIFY(form->Preview->PagesDone() <= form->Preview->PagesTotal());

    // A page added to the last column: the window answers an event while the rest of the
    // preview is built.
    form->Preview->CancelAndWait();
    TEventCounter counter;
    counter.Builder = form->Preview;
    form->TreeView->setCurrentItem(form->TreeView->topLevelItem(23));
    QSignalSpy homepageShown(form->WebBrowser, &QWebEngineView::loadFinished);
    form->MenuAddPage->trigger();
    QVERIFY(form->Preview->IsRunning());
    QCoreApplication::postEvent(&counter, new QEvent(QEvent::User));
    QVERIFY(QTest::qWaitFor([&] { return counter.Count > 0; }, LoadTimeout));
    QVERIFY(counter.WhileBuilding);

    // A page that the background build has not reached (here: stopped before the last
    // column) is written before the browser shows it, with the bytes of the whole build.
    QVERIFY(form->Preview->CancelAndWait());
    QVERIFY(homepageShown.count() > 0 || homepageShown.wait(LoadTimeout));
    const std::string listing = folder + "/Temp/Page23.htm";
    QSignalSpy listingShown(form->WebBrowser, &QWebEngineView::loadFinished);
    form->Navigate(listing);
    QVERIFY(listingShown.wait(LoadTimeout));
    QCOMPARE(form->WebBrowser->url(), QUrl::fromLocalFile(QString::fromStdString(listing)));
    const std::map<std::string, std::string> now = FreshBuild(folder, temp.Path() + "/now");
    QVERIFY(ReadFileBytes(listing) == now.at("Page23.htm"));

    // The next change cancels the build that it makes stale; what is left is repaired.
    form->TreeView->setCurrentItem(form->TreeView->topLevelItem(0));
    form->MenuAddPage->trigger();
    // Preview In Browser waits for every page before the system's browser opens one.
    form->MenuPreviewInBrowser->trigger();
    QVERIFY(!form->Preview->IsRunning());
    QVERIFY(prompter.Calls.isEmpty());

    const std::map<std::string, std::string> fresh = FreshBuild(folder, temp.Path() + "/fresh");
    const std::map<std::string, std::string> shown = FilesIn(folder + "/Temp");
    QCOMPARE(shown.size(), fresh.size());
    for (const auto& [name, bytes] : fresh) {
        QVERIFY2(shown.count(name), name.c_str());
        QVERIFY2(shown.at(name) == bytes, name.c_str());
    }
}

void TPreviewTest::buildShowsItsProgressAndCanBeCancelled() {
    TLargeProjectWindow window(LargePages);
    auto& [temp, prompter, workspace, dialogs, form, folder] = window;
    int summaries = 0;
    dialogs.Register(TDialogKind::Build, [&] {
        ++summaries;
        return false;
    });
    form->MenuOpenProject->trigger();
    QVERIFY(QTest::qWaitFor([&] { return !form->Preview->IsRunning(); }, WholePreviewTimeout));

    // After half a second the progress shows; Cancel stops the build, and no summary follows.
    QString label;
    bool cancelled = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* progress = form->findChild<QProgressDialog*>(QStringLiteral("FormBuildProgress"));
        if (!progress || !progress->isVisible() || cancelled)
            return;
        // The first page's count comes a moment after the dialog on a busy machine.
        label = progress->labelText();
        if (!label.startsWith(QStringLiteral("Building page ")))
            return;
        cancelled = true;
        // As the user does: the dialog's Cancel button.
        auto* button = progress->findChild<QPushButton*>();
        QVERIFY(button);
        QCOMPARE(button->text(), QStringLiteral("Cancel"));
        button->click();
    });
    poll.start(50);
    form->ToolBuild->trigger();
    poll.stop();
    QVERIFY2(label.startsWith(QStringLiteral("Building page ")), qPrintable(label));
    QVERIFY2(label.contains(QStringLiteral(" of ")), qPrintable(label));
    QVERIFY(cancelled);
    QCOMPARE(summaries, 0);
    QCOMPARE(form->StatusPanel1->text(), QStringLiteral("Build cancelled"));

    // The next build repairs what the cancelled one left.
    form->ToolBuild->trigger();
    QCOMPARE(summaries, 1);
    const std::map<std::string, std::string> fresh = FreshBuild(folder, temp.Path() + "/fresh");
    const std::map<std::string, std::string> built = FilesIn(folder + "/HTML");
    QCOMPARE(built.size(), fresh.size());
    for (const auto& [name, bytes] : fresh)
        QVERIFY2(built.count(name) && built.at(name) == bytes, name.c_str());
    QVERIFY(prompter.Calls.isEmpty());
}

// A picture and a download of one name: a whole build leaves the file as the later column
// wrote it. A page of the earlier column that the browser goes to while the build runs on
// past the later one is written with its own, and Temp still ends as a whole build leaves it.
void TPreviewTest::aPageWrittenOnDemandLeavesTempAsAWholeBuild() {
    constexpr int Pages = LargePages;
    TLargeProjectWindow window(Pages);
    auto& [temp, prompter, workspace, dialogs, form, folder] = window;
    {
        TXmlDocument document;
        const TDProject project(folder, document);
        WriteFileBytes(project.ImagesPath() + "Shared.gif", "GIF89a the picture");
        WriteFileBytes(project.DownloadsPath() + "Shared.gif", "GIF89a the download");
        TDColumn pictured(project.ColumnFile(1), document);
        pictured.Page(0).PICTURE = "Shared.gif";
        pictured.Page(0).PICTURE_WIDTH = 40;
        pictured.Page(0).PICTURE_HEIGHT = 30;
        pictured.Save();
        TDColumn offering(project.ColumnFile(2), document);
        offering.Page(0).LINK = "The picture";
        offering.Page(0).KIND = "Download";
        offering.Page(0).URL = "Shared.gif";
        offering.Save();
    }
    int opened = 0;
    form->ShellOpen = [&opened](const QUrl&) {
        ++opened;
        return true;
    };
    QSignalSpy loaded(form->WebBrowser, &QWebEngineView::loadFinished);
    form->MenuOpenProject->trigger();
    QVERIFY(loaded.count() > 0 || loaded.wait(LoadTimeout));

    // The build has written the first three columns (the homepage is the first listing).
    QVERIFY(QTest::qWaitFor([&] { return form->Preview->PagesDone() > 3 * (Pages + 1); },
                            WholePreviewTimeout));
    QVERIFY(form->Preview->IsRunning());
    const std::string page = folder + "/Temp/Page1_0.htm";
    QSignalSpy pageShown(form->WebBrowser, &QWebEngineView::loadFinished);
    form->Navigate(page);
    QVERIFY(pageShown.wait(LoadTimeout));
    QCOMPARE(form->WebBrowser->url(), QUrl::fromLocalFile(QString::fromStdString(page)));

    // Preview In Browser waits until Temp holds what a whole build writes.
    form->MenuPreviewInBrowser->trigger();
    QCOMPARE(opened, 1);
    const std::map<std::string, std::string> fresh = FreshBuild(folder, temp.Path() + "/fresh");
    QCOMPARE(fresh.at("Shared.gif"), std::string("GIF89a the download"));
    const std::map<std::string, std::string> shown = FilesIn(folder + "/Temp");
    for (const auto& [name, bytes] : fresh)
        QVERIFY2(shown.count(name) && shown.at(name) == bytes, name.c_str());
    QVERIFY(prompter.Calls.isEmpty());
}

// Build is no change: the background preview goes on meanwhile. What the build says in the
// status bar stays there until the next build, also when the preview ends after it.
void TPreviewTest::whatABuildSaysOutlastsTheBackgroundPreview() {
    TLargeProjectWindow window(LargePages);
    auto& [temp, prompter, workspace, dialogs, form, folder] = window;
    dialogs.Register(TDialogKind::Build, [] { return false; });
    form->MenuOpenProject->trigger();
    QVERIFY(form->Preview->IsRunning());

    // The build is cancelled as soon as its progress shows, with the dialog's Cancel button.
    bool cancelled = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* progress = form->findChild<QProgressDialog*>(QStringLiteral("FormBuildProgress"));
        if (!progress || !progress->isVisible() || cancelled)
            return;
        if (auto* button = progress->findChild<QPushButton*>()) {
            cancelled = true;
            button->click();
        }
    });
    poll.start(50);
    form->ToolBuild->trigger();
    poll.stop();
    QVERIFY(cancelled);
    QCOMPARE(form->StatusPanel1->text(), QStringLiteral("Build cancelled"));
    QVERIFY(form->Preview->IsRunning());

    // The preview's progress and its end leave the build's words alone.
    QTest::qWait(2 * TFormBuildProgress::DelayMilliseconds);
    QCOMPARE(form->StatusPanel1->text(), QStringLiteral("Build cancelled"));
    QVERIFY(QTest::qWaitFor([&] { return !form->Preview->IsRunning(); }, WholePreviewTimeout));
    QTest::qWait(100);
    QCOMPARE(form->StatusPanel1->text(), QStringLiteral("Build cancelled"));
    QVERIFY(prompter.Calls.isEmpty());
}

// Undo and Redo write the documents back while the background build of the change runs: it
// stops first, and what Temp holds afterwards is what a whole build writes, each time.
void TPreviewTest::undoAndRedoWhileTheRestIsBuilt() {
    // Each step is checked against a whole build of its own: fewer pages than the others.
    TLargeProjectWindow window(SmallPages);
    auto& [temp, prompter, workspace, dialogs, form, folder] = window;
    form->ShellOpen = [](const QUrl&) { return true; };
    form->MenuOpenProject->trigger();
    form->TreeView->setCurrentItem(form->TreeView->topLevelItem(23));
    form->MenuAddPage->trigger();

    QAction* const steps[] = {form->MenuUndo, form->MenuRedo, form->MenuUndo};
    int run = 0;
    for (QAction* step : steps) {
        const std::string name = step->objectName().toStdString();
        // Each step comes while a background build runs.
        if (run > 0)
            form->Preview->Start(*workspace.Project);
        QVERIFY2(form->Preview->IsRunning(), name.c_str());
        QVERIFY2(step->isEnabled(), name.c_str());
        step->trigger();
        form->MenuPreviewInBrowser->trigger();
        QVERIFY2(!form->Preview->IsRunning(), name.c_str());
        const std::map<std::string, std::string> fresh =
            FreshBuild(folder, temp.Path() + "/fresh" + std::to_string(++run));
        const std::map<std::string, std::string> shown = FilesIn(folder + "/Temp");
        for (const auto& [file, bytes] : fresh)
            QVERIFY2(shown.count(file) && shown.at(file) == bytes, (name + " " + file).c_str());
    }
    QVERIFY(prompter.Calls.isEmpty());
}

// The background build ends after a page written on demand, and the project is closed
// before the window hears of the end: nothing is built for the project that is gone.
void TPreviewTest::closedBeforeTheBuildsEndIsHeard() {
    TLargeProjectWindow window(SmallPages);
    auto& [temp, prompter, workspace, dialogs, form, folder] = window;
    QSignalSpy loaded(form->WebBrowser, &QWebEngineView::loadFinished);
    form->MenuOpenProject->trigger();
    QVERIFY(loaded.count() > 0 || loaded.wait(LoadTimeout));
    QVERIFY(form->Preview->IsRunning());
    const std::string page = folder + "/Temp/Page23_" + std::to_string(SmallPages - 1) + ".htm";
    QSignalSpy pageShown(form->WebBrowser, &QWebEngineView::loadFinished);
    form->Navigate(page);
    QVERIFY(pageShown.wait(LoadTimeout));

    // The build's end is waited for without taking events, so that the window has not heard
    // of it when the project closes.
    QElapsedTimer waited;
    waited.start();
    while (form->Preview->IsRunning() && waited.elapsed() < WholePreviewTimeout)
        QThread::msleep(10);
    QVERIFY(!form->Preview->IsRunning());
    form->MenuClose->trigger();
    QVERIFY(!workspace.IsOpen());
    QTest::qWait(200);
    QVERIFY(!form->Preview->IsRunning());
    QVERIFY(prompter.Calls.isEmpty());
}

// A text that links to a page that is gone: the background preview tells it in the status bar
// as Build does, and once the link is mended the next preview takes it back.
void TPreviewTest::whatTheTextsNameThatIsGoneShowsAfterThePreview() {
    TLargeProjectWindow window(2);
    auto& [temp, prompter, workspace, dialogs, form, folder] = window;
    TXmlDocument projectDocument;
    const std::string columnFile = TDProject(folder, projectDocument).ColumnFile(0);
    const auto linkTo = [&](const std::string& target) {
        TXmlDocument document;
        TDColumn column(columnFile, document);
        column.Page(1).FORMAT = "Markdown";
        column.Page(1).TEXT = "See [the walk](page:" + target + ").";
        column.Save();
    };
    linkTo("gxne9999");
    form->MenuOpenProject->trigger();
    const QString gone = QStringLiteral("Page 'Page 0/1' links to a page that was removed.");
    QVERIFY(
        QTest::qWaitFor([&] { return form->StatusPanel1->text() == gone; }, WholePreviewTimeout));

    form->Preview->CancelAndWait();
    {
        TXmlDocument document;
        TDColumn column(columnFile, document);
        column.Page(0).ID = "frstpage";
        column.Save();
    }
    linkTo("frstpage");
    form->Preview->Start(*workspace.Project);
    QVERIFY(
        QTest::qWaitFor([&] { return form->StatusPanel1->text().isEmpty(); }, WholePreviewTimeout));
    QVERIFY(prompter.Calls.isEmpty());
}

} // namespace

int main(int argc, char** argv) {
    PrepareTestEnvironment();
    PrepareStartup();
    TApplication application(argc, argv);
    TPreviewTest test;
    return RunTests(test, argc, argv);
}

#include "PreviewTest.moc"

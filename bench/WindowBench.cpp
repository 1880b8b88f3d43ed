// corvane-bench-window [WORK_FOLDER]: writes the largest project (100 columns of 1000 pages)
// and times, in the main window with the offscreen platform, what opening it costs: from
// File > Open Project to the browser's homepage loaded, the command itself (the time the
// window does not answer), and the tree alone. Each figure is the best of three openings.
// It answers every question itself and ends by itself.

#include "app/Startup.h"
#include "bench/BenchProject.h"
#include "model/CProject.h"
#include "platform/FileSystem.h"
#include "ui/FMain.h"
#include "ui/Prompter.h"

#include <QAction>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QTreeWidget>
#include <QWebEngineView>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

// Answers every message box with OK and cancels every file dialog; an error is a failure.
class TAnsweringPrompter : public IPrompter {
  public:
    void Information(const QString&) override {}
    bool Confirm(const QString&, TConfirmButtons) override { return true; }
    void Error(const QString& text) override {
        std::fprintf(stderr, "corvane-bench-window: error: %s\n", qPrintable(text));
        Failed = true;
    }
    QString OpenFile(const QString&, const QString&, const QString&) override { return {}; }
    QString SaveFile(const QString&, const QString&, const QString&) override { return {}; }
    QString PickFolder(const QString&, const QString&) override { return {}; }
    bool PageSetup(QPrinter&) override { return false; }
    bool PrintSetup(QPrinter&) override { return false; }

    bool Failed = false;
};

double Seconds(qint64 nanoseconds) {
    return static_cast<double>(nanoseconds) / 1e9;
}

void RemoveTree(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

} // namespace

int main(int argc, char** argv) {
    const std::string work = argc > 1 ? argv[1]
                                      : std::filesystem::temp_directory_path().string() +
                                            "/corvane-bench-window-" + std::to_string(::getpid());
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const std::string application = work + "/application/";
    const std::string folder = application + "Projects/maximal";
    RemoveTree(work);
    std::filesystem::create_directories(application + "Projects");
    MakeBenchProject(folder, 100, 1000, "UTF-8");
    // The recent projects and the picture of the homepage that Close keeps go into the work
    // folder, never into the user's settings and cache.
    ::setenv("XDG_CONFIG_HOME", (work + "/config").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (work + "/cache").c_str(), 1);

    PrepareStartup();
    TApplication app(argc, argv);
    TAnsweringPrompter prompter;
    TProgram program(application, prompter);
    TFormMain& main = *program.FormMain;
    program.Dialogs.Register(TDialogKind::Open, [&] {
        program.Workspace.Project = std::make_unique<TDProject>(folder, program.Workspace.XMLDoc);
        return true;
    });
    main.resize(1180, 760);
    main.show();
    app.processEvents();

    double shown = 0;
    double command = 0;
    double tree = 0;
    bool loaded = true;
    for (int run = 0; run < 3 && loaded && !prompter.Failed; ++run) {
        ::sync();
        QEventLoop wait;
        bool finished = false;
        QElapsedTimer clock;
        const QMetaObject::Connection connection =
            QObject::connect(main.WebBrowser, &QWebEngineView::loadFinished, &wait, [&](bool) {
                finished = true;
                wait.quit();
            });
        QTimer::singleShot(60000, &wait, [&] { wait.quit(); });
        clock.start();
        main.MenuOpenProject->trigger();
        const double commandTime = Seconds(clock.nsecsElapsed());
        if (!finished)
            wait.exec();
        const double shownTime = Seconds(clock.nsecsElapsed());
        QObject::disconnect(connection);
        loaded = finished && program.Workspace.IsOpen() &&
                 main.WebBrowser->url() == QUrl::fromLocalFile(QString::fromStdString(
                                               program.Workspace.Project->PreviewFile()));
        // The tree alone, as the opening filled it.
        clock.restart();
        main.FillTree();
        const double treeTime = Seconds(clock.nsecsElapsed());
        if (run == 0 || shownTime < shown)
            shown = shownTime;
        if (run == 0 || commandTime < command)
            command = commandTime;
        if (run == 0 || treeTime < tree)
            tree = treeTime;
        if (main.TreeView->topLevelItemCount() == 0)
            loaded = false;
        main.MenuClose->trigger();
        app.processEvents();
    }
    if (!loaded || prompter.Failed) {
        std::fputs("corvane-bench-window: the homepage was not shown\n", stderr);
        main.hide();
        RemoveTree(work);
        return 1;
    }
    std::printf("window: open to the homepage shown (maximal): %.3f s\n", shown);
    std::printf("window: the open command itself, the window busy (maximal): %.3f s\n", command);
    std::printf("window: the tree filled (maximal): %.3f s\n", tree);
    main.hide();
    RemoveTree(work);
    return 0;
}

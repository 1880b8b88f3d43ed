// Opens a project of an application folder in the main window, as the Open dialog does, and
// saves pictures of the window with the tree beside the preview (the README's picture) and
// of the preview view alone, each once the preview's background build has ended:
//   corvane-screenshot APPLICATION_FOLDER PROJECT WINDOW_PNG PREVIEW_PNG
// It answers every question itself and ends by itself within a minute.

#include "app/Startup.h"
#include "ui/FMain.h"
#include "ui/FOpen.h"
#include "ui/Prompter.h"

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QTimer>
#include <QWebEngineView>

#include <cstdio>
#include <functional>

namespace {

// Answers every message box with OK, cancels every file dialog, and prints what it saw.
class TAnsweringPrompter : public IPrompter {
  public:
    void Information(const QString& text) override { Print("information", text); }
    bool Confirm(const QString& text, TConfirmButtons) override {
        Print("question", text);
        return true;
    }
    void Error(const QString& text) override {
        Print("error", text);
        Failed = true;
    }
    QString OpenFile(const QString&, const QString&, const QString&) override { return {}; }
    QString SaveFile(const QString&, const QString&, const QString&) override { return {}; }
    QString PickFolder(const QString&, const QString&) override { return {}; }
    bool PageSetup(QPrinter&) override { return false; }
    bool PrintSetup(QPrinter&) override { return false; }

    bool Failed = false;

  private:
    static void Print(const char* kind, const QString& text) {
        std::fprintf(stderr, "corvane-screenshot: %s: %s\n", kind, qPrintable(text));
    }
};

// Runs then() once the browser has finished loading and had time to paint.
void AfterLoad(QWebEngineView* view, const std::function<void()>& then) {
    auto* connection = new QMetaObject::Connection;
    *connection = QObject::connect(view, &QWebEngineView::loadFinished, view, [=](bool) {
        QObject::disconnect(*connection);
        delete connection;
        QTimer::singleShot(800, view, then);
    });
}

// Runs then() once the status bar no longer shows the preview's progress ("Building page
// ..."), looking every fifth of a second; the caller's time-out ends a build that never ends.
void WhenIdle(TFormMain& main, const std::function<void()>& then) {
    if (main.StatusPanel1->text().isEmpty()) {
        QTimer::singleShot(300, &main, then);
        return;
    }
    QTimer::singleShot(200, &main, [&main, then] { WhenIdle(main, then); });
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fputs("Usage: corvane-screenshot APPLICATION_FOLDER PROJECT WINDOW_PNG PREVIEW_PNG\n",
                   stderr);
        return 2;
    }
    PrepareStartup();
    TApplication application(argc, argv);
    TAnsweringPrompter prompter;
    std::string folder = argv[1];
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    const QString project = QString::fromLocal8Bit(argv[2]);
    const QString treePicture = QString::fromLocal8Bit(argv[3]);
    const QString previewPicture = QString::fromLocal8Bit(argv[4]);

    TProgram program(folder, prompter);
    TFormMain& main = *program.FormMain;
    // The Open dialog, answered here: the project is picked from its list.
    program.Dialogs.Register(TDialogKind::Open, [&] {
        program.FormOpen->FormShow();
        const auto found = program.FormOpen->ListView->findItems(project, Qt::MatchExactly);
        if (found.isEmpty())
            return false;
        program.FormOpen->ListView->setCurrentItem(found.first());
        program.FormOpen->ButtonOpenClick();
        return program.Workspace.IsOpen();
    });
    main.resize(1180, 760);
    main.show();

    int result = 1;
    QTimer::singleShot(60000, &application, [&] {
        std::fputs("corvane-screenshot: timed out\n", stderr);
        application.exit(1);
    });
    QTimer::singleShot(300, &main, [&] {
        AfterLoad(main.WebBrowser, [&] {
            WhenIdle(main, [&] {
                if (!main.grab().save(treePicture)) {
                    std::fprintf(stderr, "corvane-screenshot: cannot write %s\n",
                                 qPrintable(treePicture));
                    application.exit(1);
                    return;
                }
                main.MenuPreview->trigger();
                QTimer::singleShot(1500, &main, [&] {
                    WhenIdle(main, [&] {
                        const bool saved = main.grab().save(previewPicture);
                        if (!saved)
                            std::fprintf(stderr, "corvane-screenshot: cannot write %s\n",
                                         qPrintable(previewPicture));
                        result = saved && !prompter.Failed ? 0 : 1;
                        application.exit(result);
                    });
                });
            });
        });
        main.MenuOpenProject->trigger();
        if (!program.Workspace.IsOpen()) {
            std::fprintf(stderr, "corvane-screenshot: cannot open the project %s\n",
                         qPrintable(project));
            application.exit(1);
        }
    });
    application.exec();
    // Leave without the close question.
    main.hide();
    return result;
}

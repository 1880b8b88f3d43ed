#pragma once

// Shared helpers of the window tests: a prompter that answers from a script and records
// every question, projects made through the model, and waiting for the browser.

#include "TestSupport.h"
#include "model/CColumn.h"
#include "model/CProject.h"
#include "platform/FileSystem.h"
#include "ui/Prompter.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QMetaMethod>
#include <QPrinter>
#include <QSignalSpy>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

// A text of the core (UTF-8) as the windows show it.
inline QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// The sample pictures of the decoder tests: bands.jpg and bands.gif are 48 x 32,
// transparent.gif is 12 x 10.
// Runs the test object's cases; with CORVANE_TEST_SHARD="i/n" in the environment (ctest's
// shards of a long program, see tests/ui/CMakeLists.txt) and no case named on the command
// line, only every n-th case from the i-th on.
inline int RunTests(QObject& test, int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const QStringList shard = qEnvironmentVariable("CORVANE_TEST_SHARD").split('/');
    const bool namesGiven = std::any_of(arguments.begin() + 1, arguments.end(),
                                        [](const QString& a) { return !a.startsWith('-'); });
    if (shard.size() == 2 && !namesGiven) {
        const int index = shard[0].toInt() - 1;
        const int count = shard[1].toInt();
        const QMetaObject* meta = test.metaObject();
        int seen = 0;
        for (int m = meta->methodOffset(); m < meta->methodCount(); ++m) {
            const QMetaMethod method = meta->method(m);
            const QString name = QString::fromLatin1(method.name());
            if (method.methodType() != QMetaMethod::Slot ||
                method.access() != QMetaMethod::Private || method.parameterCount() != 0 ||
                name.endsWith("_data") || name == "init" || name == "cleanup" ||
                name == "initTestCase" || name == "cleanupTestCase")
                continue;
            if (count > 0 && seen++ % count == index)
                arguments << name;
        }
    }
    return QTest::qExec(&test, arguments);
}

inline std::string SamplePicture(const std::string& name) {
    return SourceFolder() + "/tests/platform/pictures/" + name;
}

// Answers the message boxes and dialogs from queues filled by the test; an unanswered
// question is recorded as such and answered with No, Cancel or nothing, so that a test
// never waits for a person.
class TScriptedPrompter : public IPrompter {
  public:
    void Information(const QString& text) override { Record("Information", text); }
    bool Confirm(const QString& text, TConfirmButtons buttons) override {
        Record(buttons == TConfirmButtons::YesNo         ? "ConfirmYesNo"
               : buttons == TConfirmButtons::TrustCancel ? "ConfirmTrustCancel"
                                                         : "ConfirmOKCancel",
               text);
        return Next(Answers, false);
    }
    void Error(const QString& text) override { Record("Error", text); }
    QString OpenFile(const QString& caption, const QString&, const QString& filter) override {
        Record("OpenFile", caption + " | " + filter);
        return Next(Files, QString());
    }
    QString SaveFile(const QString& caption, const QString& folder,
                     const QString& filter) override {
        Record("SaveFile", caption + " | " + folder + " | " + filter);
        return Next(Files, QString());
    }
    QString PickFolder(const QString& caption, const QString&) override {
        Record("PickFolder", caption);
        return Next(Files, QString());
    }
    bool PageSetup(QPrinter&) override {
        Record("PageSetup", "");
        return Next(Answers, false);
    }
    bool PrintSetup(QPrinter& printer) override {
        Record("PrintSetup", "");
        if (!PrintInto.isEmpty()) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(PrintInto);
        }
        return Next(Answers, false);
    }

    // What was asked, as "Kind: text" lines.
    QStringList Calls;
    std::deque<bool> Answers;
    std::deque<QString> Files;
    // The PDF file that an answered print dialog prints into.
    QString PrintInto;

    QStringList TakeCalls() {
        QStringList calls = Calls;
        Calls.clear();
        return calls;
    }

  private:
    void Record(const char* kind, const QString& text) {
        Calls << QString::fromLatin1(kind) + ": " + text;
    }
    template <typename T> T Next(std::deque<T>& queue, T none) {
        if (queue.empty()) {
            Calls << QStringLiteral("Unanswered");
            return none;
        }
        T answer = queue.front();
        queue.pop_front();
        return answer;
    }
};

// What a column of a test project holds: its title and its page titles; a link when
// IsLink.
struct TItemPlan {
    std::string Title;
    std::vector<std::string> Pages;
    bool IsLink = false;
};

// Makes (or adds to) the project in folder through the model, as the program would.
inline void MakeProject(const std::string& folder, const std::vector<TItemPlan>& items) {
    MakeFolder(folder);
    TXmlDocument document;
    TDProject project(folder, document);
    for (const TItemPlan& plan : items) {
        TDMenuItem* item = project.AddMenuItem(plan.IsLink);
        item->TITLE = plan.Title;
        project.Save();
        if (plan.IsLink)
            continue;
        TDColumn column(project.ColumnFile(project.MenuCount - 1), document);
        for (const std::string& title : plan.Pages)
            column.AddPage()->TITLE = title;
        column.Save();
    }
}

// The titles of a column document's pages, read back through the model.
inline std::vector<std::string> PageTitles(const std::string& columnFile) {
    TXmlDocument document;
    TDColumn column(columnFile, document);
    std::vector<std::string> titles;
    for (int i = 0; i < column.PageCount; ++i)
        titles.push_back(column.Page(i).TITLE);
    return titles;
}

// The titles of a project's menu items, read back from its Default.Pro.
inline std::vector<std::string> MenuTitles(const std::string& folder) {
    TXmlDocument document;
    TDProject project(folder, document);
    std::vector<std::string> titles;
    for (int i = 0; i < project.MenuCount; ++i)
        titles.push_back(project.MenuItem(i).TITLE);
    return titles;
}

// Every file below folder with its bytes, to show that nothing was written. A file being
// written beside its place (name.~pid_n, renamed into place when complete) is no part of
// it: the preview is built in the background and may be writing one.
inline std::map<std::string, std::string> Snapshot(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        const std::string path = entry.path().string();
        if (entry.path().filename().string().find(".~") != std::string::npos)
            continue;
        if (entry.is_regular_file())
            files[path] = ReadFileBytes(path);
    }
    return files;
}

// The name of a document's root element.
inline std::string RootName(const std::string& file) {
    TXmlDocument document;
    document.Load(file);
    return document.Root().name();
}

// What sits between <title> and </title> in a file.
inline std::string TitleOf(const std::string& html) {
    const std::size_t begin = html.find("<title>");
    const std::size_t end = html.find("</title>");
    if (begin == std::string::npos || end == std::string::npos || end < begin)
        return "(no title)";
    return html.substr(begin + 7, end - begin - 7);
}

// Answers the next modal dialog from inside its own event loop: once expected is the active
// modal window, answer runs. When something else, or nothing, is shown within five seconds,
// the modal dialog is rejected, so that no test can wait for a person. The flag tells whether
// the answer ran.
inline std::shared_ptr<bool> AnswerModal(QWidget* expected, std::function<void()> answer) {
    auto answered = std::make_shared<bool>(false);
    auto* timer = new QTimer;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == expected) {
            timer->deleteLater();
            timer->stop();
            answer();
            *answered = true;
        } else if (clock.elapsed() > 5000) {
            timer->deleteLater();
            timer->stop();
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject();
        }
    });
    timer->start(20);
    return answered;
}

// The settings folder of the window tests (XDG_CONFIG_HOME): a temporary folder of their
// own, so that the remembered window of one test run never reaches the user's or the next
// run's.
inline TTempFolder& TestConfigFolder() {
    static TTempFolder folder;
    return folder;
}

// The cache folder of the window tests (XDG_CACHE_HOME), where the pictures of the recent
// projects' homepages go: a temporary folder of their own, never the user's.
inline TTempFolder& TestCacheFolder() {
    static TTempFolder folder;
    return folder;
}

// Before the application object: no display needed, Qt WebEngine without its sandbox when
// the tests run as root, and the settings and the cache in folders of the tests' own.
inline void PrepareTestEnvironment() {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("XDG_CONFIG_HOME", TestConfigFolder().Path().c_str(), 1);
    ::setenv("XDG_CACHE_HOME", TestCacheFolder().Path().c_str(), 1);
}

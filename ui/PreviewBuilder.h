#pragma once

#include "generator/BuildControl.h"
#include "platform/OutputFile.h"
#include "ui/ThreadMailbox.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

class TDProject;

// The rest of the preview, built in the background. After a change the window writes the
// homepage itself (it is what the browser shows at once); then this builds the whole site
// into the project's Temp folder on a thread of its own, with a copy of the project's
// records as the window holds them and an XML document of its own for the column documents,
// so that the window goes on painting and answering. The next change cancels it with CancelAndWait
// before it writes a document, since the build reads the documents as it goes.
class TPreviewBuilder : public QObject {
    Q_OBJECT

  public:
    explicit TPreviewBuilder(QObject* parent = nullptr);
    ~TPreviewBuilder() override;
    TPreviewBuilder(const TPreviewBuilder&) = delete;
    TPreviewBuilder& operator=(const TPreviewBuilder&) = delete;

    // Cancels the build in progress, if any, and starts one for the project as it is now.
    void Start(const TDProject& project);
    // Stops the build in progress before its next page and waits for its thread; true when
    // one was running. What it wrote stays (every file whole) and the next build repairs
    // the rest.
    bool CancelAndWait();
    bool IsRunning() const { return FRunning.load(); }
    // Page files written so far and in all, of the build in progress or the last one.
    int PagesDone() const;
    int PagesTotal() const;

  signals:
    // On the window's thread, once per build that was not cancelled: completed, or the
    // error that stopped it; and what the texts name that is not there, as the status bar
    // tells it (empty when they name nothing missing).
    void Finished(bool completed, const QString& error, const QString& textProblems);

  private:
    void Join();

    std::thread FThread;
    std::shared_ptr<TBuildControl> FControl;
    std::atomic<bool> FRunning{false};
    // What the builds wrote, handed from one build to the next so that unchanged pages are
    // left alone; only the build's thread touches it.
    TOutputFile FWritten;
    unsigned FGeneration = 0;
    // How the build's thread tells the window that it ended; it goes after the thread.
    TThreadMailbox FMailbox;
};

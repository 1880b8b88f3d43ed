#include "ui/PreviewBuilder.h"

#include "generator/Driver.h"
#include "model/CProject.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/XmlDocument.h"

#include <exception>
#include <memory>

TPreviewBuilder::TPreviewBuilder(QObject* parent)
    : QObject(parent), FControl(std::make_shared<TBuildControl>()) {}

TPreviewBuilder::~TPreviewBuilder() {
    CancelAndWait();
}

void TPreviewBuilder::Join() {
    if (FThread.joinable())
        FThread.join();
    FRunning = false;
}

bool TPreviewBuilder::CancelAndWait() {
    const bool running = FRunning.load();
    FControl->Cancel();
    Join();
    return running;
}

int TPreviewBuilder::PagesDone() const {
    return FControl->PagesDone();
}

int TPreviewBuilder::PagesTotal() const {
    return FControl->PagesTotal();
}

namespace {

// The window's records in a project of the background build's own: what a dialog changed
// without writing it (a Cancel after an edit) is what Build would write now.
void CopyRecords(const TDProject& from, TDProject& to) {
    to.FRAME = from.FRAME;
    to.SIZE = from.SIZE;
    to.COLOR = from.COLOR;
    to.FONT = from.FONT;
    to.LANGUAGE = from.LANGUAGE;
    to.WELCOME = from.WELCOME;
    to.TOPIC = from.TOPIC;
    to.MENU = from.MENU;
    to.HOTSPOT = from.HOTSPOT;
    to.FOOT = from.FOOT;
    to.PUBLISH = from.PUBLISH;
    to.OPTIONS = from.OPTIONS;
    for (std::size_t i = 0; i < to.MENULIST.size(); ++i)
        to.MENULIST[i] =
            from.MENULIST[i] ? std::make_unique<TDMenuItem>(*from.MENULIST[i]) : nullptr;
    to.MenuCount = from.MenuCount;
}

} // namespace

void TPreviewBuilder::Start(const TDProject& project) {
    CancelAndWait();
    FControl = std::make_shared<TBuildControl>();
    const unsigned generation = ++FGeneration;
    // Read here, where the window's project is at rest; the thread owns both from now on.
    auto document = std::make_shared<TXmlDocument>();
    std::shared_ptr<TDProject> own;
    try {
        own = std::make_shared<TDProject>(project.Folder, *document, "",
                                          TDProject::TOpening::Inspect);
        CopyRecords(project, *own);
    } catch (const std::exception& e) {
        FMailbox.Post([this, generation, error = QString::fromUtf8(e.what())] {
            if (generation == FGeneration)
                emit Finished(false, error, QString());
        });
        return;
    }
    FRunning = true;
    FThread = std::thread([this, document, own, control = FControl, generation] {
        bool completed = false;
        QString error;
        QString textProblems;
        try {
            TDProject& project = *own;
            FWritten.HandOverWrittenFiles(project.Output);
            TBuildStats stats;
            const std::string temp = project.Folder + "/Temp";
            try {
                CheckRealFolder(temp);
                BuildInto(project, temp, &stats, {}, control.get());
            } catch (...) {
                project.Output.HandOverWrittenFiles(FWritten);
                throw;
            }
            project.Output.HandOverWrittenFiles(FWritten);
            completed = !stats.Cancelled;
            textProblems = QString::fromStdString(TextProblemText(stats));
        } catch (const std::exception& e) {
            error = QString::fromUtf8(e.what());
        }
        const bool cancelled = control->Cancelled();
        FRunning = false;
        if (cancelled)
            return;
        FMailbox.Post([this, generation, completed, error, textProblems] {
            if (generation == FGeneration)
                emit Finished(completed, error, textProblems);
        });
    });
}

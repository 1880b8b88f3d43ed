#include "ui/ThreadMailbox.h"

#include <QMetaObject>
#include <QThread>

#include <utility>

TThreadMailbox::TThreadMailbox(QObject* parent) : QObject(parent) {}

void TThreadMailbox::Post(std::function<void()> work) {
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(FMutex);
        wake = FQueue.empty();
        FQueue.push_back(std::move(work));
    }
    // One wake-up delivers everything queued until it runs.
    if (wake)
        QMetaObject::invokeMethod(this, "Deliver", Qt::QueuedConnection);
}

void TThreadMailbox::Call(const std::function<void()>& work) {
    if (QThread::currentThread() == thread()) {
        work();
        return;
    }
    bool done = false;
    Post([this, &work, &done] {
        work();
        std::lock_guard<std::mutex> lock(FMutex);
        done = true;
        FDone.notify_all();
    });
    std::unique_lock<std::mutex> lock(FMutex);
    FDone.wait(lock, [&done] { return done; });
}

void TThreadMailbox::Deliver() {
    std::deque<std::function<void()>> queue;
    {
        std::lock_guard<std::mutex> lock(FMutex);
        queue.swap(FQueue);
    }
    for (std::function<void()>& work : queue)
        work();
}

#pragma once

#include <QObject>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

// Hands work from a thread of the program's own to the thread this object lives on (the
// window's). The work and whatever it captured cross under a std::mutex, which the thread
// sanitizer sees, instead of inside Qt's event queue, which it does not; Qt carries only a
// wake-up without data. Whoever owns the mailbox ends its threads before it goes: work still
// queued then is dropped with it, as Qt drops the queued calls of an object that goes.
class TThreadMailbox : public QObject {
    Q_OBJECT

  public:
    explicit TThreadMailbox(QObject* parent = nullptr);

    // Queues work to run on this object's thread; returns at once. From any thread.
    void Post(std::function<void()> work);
    // Runs work on this object's thread and waits until it has run; on that thread itself it
    // runs at once. The thread must be one that this object's thread does not wait for.
    void Call(const std::function<void()>& work);

  private:
    Q_INVOKABLE void Deliver();

    std::mutex FMutex;
    std::condition_variable FDone;
    std::deque<std::function<void()>> FQueue;
};

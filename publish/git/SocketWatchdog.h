#pragma once

// Bounds the blocking steps of a library that reads and writes a socket itself (libssh): a
// thread of its own shuts the socket down when the step under way outlives its time-out or
// the run is cancelled, and the library's wait then ends at once with a failure. The
// connection is lost after that; TimedOut tells a time-out from any other failure.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

class TSocketWatchdog {
  public:
    explicit TSocketWatchdog(const std::atomic<bool>& cancelled) : FCancelled(cancelled) {}
    ~TSocketWatchdog() { Stop(); }
    TSocketWatchdog(const TSocketWatchdog&) = delete;
    TSocketWatchdog& operator=(const TSocketWatchdog&) = delete;

    // Watches socket (which stays open until after Stop) from now on.
    void Start(int socket);
    // Ends the watch; nothing is shut down after it returns.
    void Stop() noexcept;

    // A step begins: the socket is shut down after milliseconds (0: only on a cancel).
    void Arm(int milliseconds);
    // The step ended in time.
    void Disarm() noexcept;
    // Whether a step outlived its time-out since the last Arm.
    bool TimedOut();

    // One step, armed while it lives.
    class TStep {
      public:
        TStep(TSocketWatchdog& watchdog, int milliseconds) : FWatchdog(watchdog) {
            FWatchdog.Arm(milliseconds);
        }
        ~TStep() { FWatchdog.Disarm(); }
        TStep(const TStep&) = delete;
        TStep& operator=(const TStep&) = delete;

      private:
        TSocketWatchdog& FWatchdog;
    };

  private:
    void Watch();

    const std::atomic<bool>& FCancelled;
    std::mutex FMutex;
    std::condition_variable FWake;
    int FSocket = -1;
    bool FArmed = false;
    std::optional<std::chrono::steady_clock::time_point> FDeadline;
    bool FTimedOut = false;
    bool FStop = false;
    std::thread FThread;
};

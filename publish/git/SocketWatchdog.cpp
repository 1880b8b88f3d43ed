#include "publish/git/SocketWatchdog.h"

#include <sys/socket.h>

namespace {

// How often an armed step looks for a cancel.
constexpr std::chrono::milliseconds CancelSlice{100};

} // namespace

void TSocketWatchdog::Start(int socket) {
    Stop();
    {
        std::lock_guard lock(FMutex);
        FSocket = socket;
        FStop = false;
        FArmed = false;
        FTimedOut = false;
        FDeadline.reset();
    }
    FThread = std::thread([this] { Watch(); });
}

void TSocketWatchdog::Stop() noexcept {
    if (!FThread.joinable())
        return;
    {
        std::lock_guard lock(FMutex);
        FStop = true;
    }
    FWake.notify_all();
    FThread.join();
    FSocket = -1;
}

void TSocketWatchdog::Arm(int milliseconds) {
    std::lock_guard lock(FMutex);
    FArmed = true;
    FTimedOut = false;
    if (milliseconds > 0)
        FDeadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    else
        FDeadline.reset();
    FWake.notify_all();
}

void TSocketWatchdog::Disarm() noexcept {
    std::lock_guard lock(FMutex);
    FArmed = false;
    FDeadline.reset();
}

bool TSocketWatchdog::TimedOut() {
    std::lock_guard lock(FMutex);
    return FTimedOut;
}

void TSocketWatchdog::Watch() {
    std::unique_lock lock(FMutex);
    while (!FStop) {
        if (!FArmed) {
            FWake.wait(lock);
            continue;
        }
        const auto now = std::chrono::steady_clock::now();
        const bool late = FDeadline && now >= *FDeadline;
        if (FCancelled || late) {
            FTimedOut = late && !FCancelled;
            FArmed = false;
            FDeadline.reset();
            ::shutdown(FSocket, SHUT_RDWR);
            continue;
        }
        auto until = now + CancelSlice;
        if (FDeadline && *FDeadline < until)
            until = *FDeadline;
        FWake.wait_until(lock, until);
    }
}

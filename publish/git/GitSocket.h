#pragma once

// The TCP connections that libgit2 opens for HTTP and HTTPS, made by this program so that
// each step is bounded: the name lookup and the connect by the read time-out, each read and
// write by the read time-out too, and all of them ended within 0.1 s by Cancel. SSH goes
// through TGitSshSubtransport, which bounds its own waits and shows its socket here, so that
// Cancel shuts it down (TGitSocketScope::ShutDown).

#include <atomic>

// The bounds of the connections of one publisher; while a TOnThisThread of it lives, the
// connections that libgit2 opens on that thread keep them.
class TGitSocketScope {
  public:
    TGitSocketScope(const std::atomic<bool>& cancelled, int timeoutMs)
        : Cancelled(cancelled), TimeoutMs(timeoutMs) {}
    TGitSocketScope(const TGitSocketScope&) = delete;
    TGitSocketScope& operator=(const TGitSocketScope&) = delete;

    class TOnThisThread {
      public:
        explicit TOnThisThread(TGitSocketScope& scope);
        ~TOnThisThread();
        TOnThisThread(const TOnThisThread&) = delete;
        TOnThisThread& operator=(const TOnThisThread&) = delete;

      private:
        TGitSocketScope* FOuter;
    };

    // Shuts the connection open now down, so that whatever waits on it ends (safe from any
    // thread and a signal handler).
    void ShutDown() noexcept;

    const std::atomic<bool>& Cancelled;
    // Milliseconds for the connect and each read and write; 0 waits for ever.
    int TimeoutMs;
    // The socket open now, -1 for none.
    std::atomic<int> Socket{-1};
};

// Puts the connections above in place of libgit2's own (TOnThisThread does, before each
// run); false (and libgit2 keeps its own, unbounded) where libgit2 does not take them.
bool UseBoundedGitSockets();

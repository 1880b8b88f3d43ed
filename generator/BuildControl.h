#pragma once

// What another thread may do with a build that runs: stop it, and learn how far it got.
// Only atomics: the build's own thread checks Cancelled() before each page file and counts
// the page files it has written; any thread reads the counts.

#include <atomic>

class TBuildControl {
  public:
    // The build stops before its next page file; what it wrote stays.
    void Cancel() { FCancelled.store(true, std::memory_order_relaxed); }
    bool Cancelled() const { return FCancelled.load(std::memory_order_relaxed); }

    // Page files written so far, and the number the whole build writes (known once the build
    // has looked at the column documents; 0 until then).
    int PagesDone() const { return FDone.load(std::memory_order_relaxed); }
    int PagesTotal() const { return FTotal.load(std::memory_order_relaxed); }

    // For the build driver.
    void SetPagesTotal(int total) { FTotal.store(total, std::memory_order_relaxed); }
    void PageDone() { FDone.fetch_add(1, std::memory_order_relaxed); }

  private:
    std::atomic<bool> FCancelled{false};
    std::atomic<int> FDone{0};
    std::atomic<int> FTotal{0};
};

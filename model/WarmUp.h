#pragma once

#include "model/DocumentCache.h"
#include "model/EarlierVersions.h"

#include <future>
#include <string>
#include <vector>

// Fills a document cache and the digest memory of a project's earlier versions on a thread
// of its own, so that the first change of a session reads and digests only what it rewrote:
// the window starts one once an opened project's homepage is shown. The cache and the
// versions object are the thread's until Wait: everything else waits before it touches
// them. A warm-up that fails (a file that cannot be read) is dropped: what it read stays in
// the cache, and the next reading reads the rest.
class TWarmUp {
  public:
    TWarmUp() = default;
    TWarmUp(const TWarmUp&) = delete;
    TWarmUp& operator=(const TWarmUp&) = delete;
    ~TWarmUp() { Wait(); }

    // Reads the named documents of folder (ProjectDocumentNames, worked out by the caller)
    // into cache and primes versions with that reading. A warm-up still running is waited
    // for first.
    void Start(TDocumentCache& cache, TEarlierVersions& versions, std::string folder,
               std::vector<std::string> names);
    // Waits until the warm-up, if any, has ended: true when it read and digested every
    // document, false when it failed or none was started since the last Wait.
    bool Wait();
    // Whether one was started and not waited for yet.
    bool Pending() const { return FResult.valid(); }

  private:
    std::future<bool> FResult;
};

#include "publish/HostResolver.h"

#include <cerrno>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace {

// What the lookup's thread and its caller share; whoever is last frees it.
struct TShared {
    std::mutex Mutex;
    std::condition_variable Finished;
    bool Done = false;
    bool Abandoned = false;
    int Code = 0;
    int Errno = 0;
    addrinfo* Found = nullptr;
};

} // namespace

TLookup LookUpHost(const std::string& host, const std::string& service, const addrinfo& hints,
                   std::chrono::steady_clock::time_point deadline,
                   const std::atomic<bool>& cancel) {
    auto shared = std::make_shared<TShared>();
    std::thread([shared, host, service, hints] {
        addrinfo* found = nullptr;
        const int code = ::getaddrinfo(host.c_str(), service.empty() ? nullptr : service.c_str(),
                                       &hints, &found);
        const int error = errno;
        std::lock_guard<std::mutex> lock(shared->Mutex);
        if (shared->Abandoned) {
            if (found)
                ::freeaddrinfo(found);
            return;
        }
        shared->Code = code;
        shared->Errno = error;
        shared->Found = found;
        shared->Done = true;
        shared->Finished.notify_all();
    }).detach();

    TLookup lookup;
    std::unique_lock<std::mutex> lock(shared->Mutex);
    for (;;) {
        if (shared->Done) {
            lookup.Code = shared->Code;
            lookup.Errno = shared->Errno;
            lookup.Found = shared->Found;
            return lookup;
        }
        const auto now = std::chrono::steady_clock::now();
        if (cancel || now >= deadline) {
            shared->Abandoned = true;
            lookup.End = cancel ? TLookupEnd::Cancelled : TLookupEnd::TimedOut;
            return lookup;
        }
        const auto step = now + std::chrono::milliseconds(100);
        shared->Finished.wait_until(lock, deadline < step ? deadline : step);
    }
}

#pragma once

// Name lookup that a publish can wait for only so long: getaddrinfo runs on a thread of its
// own, and the caller goes on at the deadline or within 0.1 s of a cancel, leaving the lookup
// to finish (and free its answer) by itself. A slow or dead name server can then hold
// neither the time-out nor Cancel.

#include <atomic>
#include <chrono>
#include <netdb.h>
#include <string>

enum class TLookupEnd { Done, TimedOut, Cancelled };

struct TLookup {
    TLookupEnd End = TLookupEnd::Done;
    int Code = 0;              // getaddrinfo's answer when Done
    int Errno = 0;             // errno after it, for EAI_SYSTEM
    addrinfo* Found = nullptr; // the caller's to free with freeaddrinfo
};

TLookup LookUpHost(const std::string& host, const std::string& service, const addrinfo& hints,
                   std::chrono::steady_clock::time_point deadline, const std::atomic<bool>& cancel);

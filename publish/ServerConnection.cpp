#include "publish/ServerConnection.h"

#include "platform/Text.h"
#include "publish/HostResolver.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using TClock = std::chrono::steady_clock;

// How often a wait looks at the cancel flag: a cancel ends the connect well within 0.1 s.
constexpr int CancelPollMs = 50;
// The most characters of a host name that are shown.
constexpr std::size_t LongestShownDetail = 200;

// The parts one after another, appended (g++ 12 warns falsely, -Wrestrict, about a literal
// put before a std::string with +).
template <typename... TParts> std::string Cat(const TParts&... parts) {
    std::string text;
    (text.append(parts), ...);
    return text;
}

bool Fail(TServerConnectFailure& failure, TTransportFailure kind, std::string detail,
          std::string reason) {
    failure.Kind = kind;
    failure.Detail = std::move(detail);
    failure.Reason = std::move(reason);
    return false;
}

// Connects fd to address by deadline; 0, ETIMEDOUT, ECANCELED or the connect's errno.
int ConnectOne(int fd, const addrinfo& address, TClock::time_point deadline, bool bounded,
               const std::atomic<bool>& cancel) {
    if (::connect(fd, address.ai_addr, address.ai_addrlen) == 0)
        return 0;
    if (errno != EINPROGRESS && errno != EINTR)
        return errno;
    for (;;) {
        if (cancel)
            return ECANCELED;
        int wait = CancelPollMs;
        if (bounded) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now())
                    .count();
            if (left <= 0)
                return ETIMEDOUT;
            wait = static_cast<int>(std::min<long long>(wait, left));
        }
        pollfd p{fd, POLLOUT, 0};
        const int n = ::poll(&p, 1, wait);
        if (n < 0 && errno != EINTR)
            return errno;
        if (n > 0) {
            int socketError = 0;
            socklen_t length = sizeof socketError;
            ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &socketError, &length);
            return socketError;
        }
    }
}

} // namespace

TFileDescriptor ConnectToServer(const std::string& host, std::int32_t port, int family,
                                std::int32_t timeoutMs, const std::atomic<bool>& cancel,
                                TServerConnectFailure& failure) {
    const std::string shownHost = Cat("\"", ControlCharactersShown(host, LongestShownDetail), "\"");
    const std::string server =
        ControlCharactersShown(Cat(host, ":", std::to_string(port)), LongestShownDetail);
    addrinfo hints{};
    hints.ai_family = family;
    hints.ai_socktype = SOCK_STREAM;
    const bool bounded = timeoutMs > 0;
    // One deadline for the whole connect, the name lookup included.
    const TClock::time_point deadline =
        bounded ? TClock::now() + std::chrono::milliseconds(timeoutMs) : TClock::time_point::max();
    const TLookup lookup = LookUpHost(host, std::to_string(port), hints, deadline, cancel);
    if (lookup.End == TLookupEnd::Cancelled || cancel) {
        if (lookup.Found)
            ::freeaddrinfo(lookup.Found);
        Fail(failure, TTransportFailure::Cancelled, "cancelled", "Cancelled.");
        return {};
    }
    if (lookup.End == TLookupEnd::TimedOut) {
        Fail(failure, TTransportFailure::NoAnswer,
             Cat("the host name ", shownHost, " was not looked up within ",
                 std::to_string(timeoutMs), " ms"),
             Cat("The host name ", shownHost, " could not be looked up within ",
                 SecondsText(timeoutMs), "."));
        return {};
    }
    if (lookup.Code != 0 || !lookup.Found) {
        const int resolved = lookup.Code;
        const bool unknown = resolved == EAI_NONAME || resolved == EAI_NODATA ||
                             resolved == EAI_FAIL || resolved == EAI_AGAIN || resolved == 0;
        const std::string why =
            resolved == EAI_SYSTEM ? ErrorText(lookup.Errno) : ::gai_strerror(resolved);
        if (lookup.Found)
            ::freeaddrinfo(lookup.Found);
        Fail(failure, unknown ? TTransportFailure::HostNotFound : TTransportFailure::Other,
             Cat("the host name ", shownHost, " does not resolve (", why, ")"),
             Cat("The host name ", shownHost, " does not resolve (", why, ")."));
        return {};
    }
    std::unique_ptr<addrinfo, void (*)(addrinfo*)> addresses(lookup.Found, ::freeaddrinfo);

    int lastError = 0;
    bool refused = false;
    for (const addrinfo* a = addresses.get(); a; a = a->ai_next) {
        if (a->ai_family != AF_INET && a->ai_family != AF_INET6)
            continue;
        TFileDescriptor fd(
            ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol));
        if (!fd) {
            lastError = errno;
            continue;
        }
        lastError = ConnectOne(fd.Get(), *a, deadline, bounded, cancel);
        if (lastError == 0) {
            // The socket blocks for its user.
            ::fcntl(fd.Get(), F_SETFL, ::fcntl(fd.Get(), F_GETFL) & ~O_NONBLOCK);
            return fd;
        }
        refused = refused || lastError == ECONNREFUSED;
        if (lastError == ETIMEDOUT || lastError == ECANCELED)
            break;
    }
    if (lastError == ECANCELED || cancel)
        Fail(failure, TTransportFailure::Cancelled, "cancelled", "Cancelled.");
    else if (lastError == ETIMEDOUT && !refused)
        Fail(failure, TTransportFailure::NoAnswer,
             Cat("cannot connect (no connection within ", std::to_string(timeoutMs), " ms)"),
             Cat("No answer from ", server, " within ", SecondsText(timeoutMs), "."));
    else if (refused)
        Fail(failure, TTransportFailure::NothingListens,
             Cat("cannot connect (", ErrorText(ECONNREFUSED), ")"),
             Cat("Nothing listens at ", server, "."));
    else {
        const std::string why = lastError ? ErrorText(lastError) : std::string("no address");
        Fail(failure, TTransportFailure::Other, Cat("cannot connect (", why, ")"),
             Cat(server, " cannot be reached (", why, ")."));
    }
    return {};
}

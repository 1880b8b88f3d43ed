#include "publish/git/GitSocket.h"

#include "publish/HostResolver.h"

#include <git2.h>
#include <git2/sys/stream.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace {

thread_local TGitSocketScope* CurrentScope = nullptr;

// Waits this long at a time, so that a Cancel ends a wait within 0.1 s.
constexpr int SliceMs = 100;

struct TBoundedStream {
    git_stream Parent;
    char* Host;
    char* Port;
    int Socket;
    TGitSocketScope* Scope;
};

int Failure(const std::string& what) {
    git_error_set_str(GIT_ERROR_NET, what.c_str());
    return -1;
}

// Waits until fd is ready for events; 0 when it is, else -1 after the error was set.
int WaitFor(TBoundedStream& stream, short events, const char* step) {
    TGitSocketScope* scope = stream.Scope;
    const int timeout = scope && scope->TimeoutMs > 0 ? scope->TimeoutMs : 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout);
    for (;;) {
        if (scope && scope->Cancelled)
            return Failure(std::string("cancelled while ") + step);
        pollfd entry{stream.Socket, events, 0};
        const int ready = ::poll(&entry, 1, SliceMs);
        if (ready < 0 && errno != EINTR)
            return Failure(std::string(step) + ": " + std::strerror(errno));
        if (ready > 0)
            return 0;
        if (timeout > 0 && std::chrono::steady_clock::now() >= deadline)
            return Failure(std::string("timed out ") + step);
    }
}

int Connect(git_stream* raw) {
    auto& stream = *reinterpret_cast<TBoundedStream*>(raw);
    TGitSocketScope* scope = stream.Scope;
    static const std::atomic<bool> never{false};
    const int timeout = scope && scope->TimeoutMs > 0 ? scope->TimeoutMs : 0;
    const auto deadline =
        std::chrono::steady_clock::now() +
        (timeout > 0 ? std::chrono::milliseconds(timeout) : std::chrono::hours(24 * 365));
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    const TLookup lookup =
        LookUpHost(stream.Host, stream.Port, hints, deadline, scope ? scope->Cancelled : never);
    if (lookup.End == TLookupEnd::Cancelled)
        return Failure("cancelled while resolving the host");
    if (lookup.End == TLookupEnd::TimedOut)
        return Failure("timed out resolving the host");
    if (lookup.Code != 0)
        return Failure(std::string("failed to resolve address for ") + stream.Host + ": " +
                       ::gai_strerror(lookup.Code));
    std::string why = "no address";
    for (addrinfo* at = lookup.Found; at; at = at->ai_next) {
        const int fd = ::socket(at->ai_family, at->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK,
                                at->ai_protocol);
        if (fd < 0)
            continue;
        stream.Socket = fd;
        if (scope)
            scope->Socket = fd;
        int result = ::connect(fd, at->ai_addr, at->ai_addrlen);
        if (result != 0 && errno == EINPROGRESS && WaitFor(stream, POLLOUT, "connecting") == 0) {
            int error = 0;
            socklen_t length = sizeof error;
            ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
            errno = error;
            result = error == 0 ? 0 : -1;
        } else if (result != 0 && errno == EINPROGRESS) {
            ::freeaddrinfo(lookup.Found);
            ::close(fd);
            stream.Socket = -1;
            if (scope)
                scope->Socket = -1;
            return -1; // WaitFor set the error (cancelled or timed out)
        }
        if (result == 0) {
            ::freeaddrinfo(lookup.Found);
            // Blocking again, as libgit2's own sockets are; Read and Write wait with poll.
            // libgit2 writes a request in many small pieces, which are not to wait for each
            // other.
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
            const int on = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            return 0;
        }
        why = std::strerror(errno);
        ::close(fd);
        stream.Socket = -1;
        if (scope)
            scope->Socket = -1;
    }
    ::freeaddrinfo(lookup.Found);
    return Failure(std::string("failed to connect to ") + stream.Host + ": " + why);
}

ssize_t Read(git_stream* raw, void* data, size_t length) {
    auto& stream = *reinterpret_cast<TBoundedStream*>(raw);
    if (WaitFor(stream, POLLIN, "waiting for the server") < 0)
        return -1;
    for (;;) {
        const ssize_t got = ::recv(stream.Socket, data, length, 0);
        if (got >= 0)
            return got;
        if (errno != EINTR)
            return Failure(std::string("reading from the server: ") + std::strerror(errno));
    }
}

ssize_t Write(git_stream* raw, const char* data, size_t length, int) {
    auto& stream = *reinterpret_cast<TBoundedStream*>(raw);
    if (WaitFor(stream, POLLOUT, "sending to the server") < 0)
        return -1;
    for (;;) {
        const ssize_t sent = ::send(stream.Socket, data, length, MSG_NOSIGNAL);
        if (sent >= 0)
            return sent;
        if (errno != EINTR)
            return Failure(std::string("sending to the server: ") + std::strerror(errno));
    }
}

int Close(git_stream* raw) {
    auto& stream = *reinterpret_cast<TBoundedStream*>(raw);
    if (stream.Socket >= 0) {
        if (stream.Scope)
            stream.Scope->Socket.compare_exchange_strong(stream.Socket, -1);
        ::close(stream.Socket);
        stream.Socket = -1;
    }
    return 0;
}

void Free(git_stream* raw) {
    auto* stream = reinterpret_cast<TBoundedStream*>(raw);
    Close(raw);
    std::free(stream->Host);
    std::free(stream->Port);
    delete stream;
}

int NewStream(git_stream** out, const char* host, const char* port) {
    auto* stream = new TBoundedStream{};
    stream->Parent.version = GIT_STREAM_VERSION;
    stream->Parent.connect = Connect;
    stream->Parent.read = Read;
    stream->Parent.write = Write;
    stream->Parent.close = Close;
    stream->Parent.free = Free;
    stream->Host = ::strdup(host ? host : "");
    stream->Port = ::strdup(port ? port : "");
    stream->Socket = -1;
    stream->Scope = CurrentScope;
    *out = &stream->Parent;
    return 0;
}

} // namespace

TGitSocketScope::TOnThisThread::TOnThisThread(TGitSocketScope& scope) : FOuter(CurrentScope) {
    UseBoundedGitSockets();
    CurrentScope = &scope;
}

TGitSocketScope::TOnThisThread::~TOnThisThread() {
    CurrentScope = FOuter;
}

void TGitSocketScope::ShutDown() noexcept {
    const int fd = Socket.load();
    if (fd >= 0)
        ::shutdown(fd, SHUT_RDWR);
}

bool UseBoundedGitSockets() {
    // Each time: libgit2's shutdown (when its last user goes) may forget the registry.
    git_stream_registration registration{};
    registration.version = GIT_STREAM_VERSION;
    registration.init = NewStream;
    return git_stream_register(GIT_STREAM_STANDARD, &registration) == 0;
}

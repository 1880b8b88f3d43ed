#include "publish/ftp/IdFTP.h"

#include "platform/Text.h"
#include "publish/HostResolver.h"
#include "publish/ServerConnection.h"
#include "publish/TransferPace.h"
#include "publish/Transport.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using TClock = std::chrono::steady_clock;

std::string Milliseconds(std::int32_t ms) {
    return std::to_string(ms) + " ms";
}

// The most characters of a server's text that are shown.
constexpr std::size_t LongestShown = 200;

// A server's text as people are shown it (in logs and messages): see ControlCharactersShown.
std::string Shown(const std::string& text) {
    return ControlCharactersShown(text, LongestShown);
}

// A reply as it goes into a message: its lines joined, shown as above.
std::string Quoted(const std::vector<std::string>& lines) {
    // Appended piece by piece: g++ 12 warns falsely (-Wrestrict) about "text" + std::string.
    std::string text;
    for (const std::string& line : lines) {
        if (!text.empty())
            text.push_back(' ');
        text.append(line);
    }
    std::string quoted(1, '"');
    quoted.append(Shown(text));
    quoted.push_back('"');
    return quoted;
}

// True when text holds a character that would end or split a command line: CR, LF or NUL.
bool BreaksALine(const std::string& text) {
    return text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
}

// The longest single wait: a cancel is seen within this time.
constexpr int CancelCheckMs = 100;

// The time ms from now; none (the end of time) for 0 or less.
TClock::time_point DeadlineAfter(std::int32_t ms) {
    return ms > 0 ? TClock::now() + std::chrono::milliseconds(ms) : TClock::time_point::max();
}

// How long poll is to wait now for deadline: at most CancelCheckMs, 0 once it has passed.
int PollWait(TClock::time_point deadline) {
    const TClock::time_point now = TClock::now();
    if (now >= deadline)
        return 0;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
    return left < CancelCheckMs ? static_cast<int>(left) : CancelCheckMs;
}

enum class TWait { Ready, TimedOut, Failed, Cancelled };

// Waits until fd is ready for events, the deadline passes or cancel is set; Failed with
// errno set.
TWait WaitFor(int fd, short events, TClock::time_point deadline, const std::atomic<bool>& cancel) {
    for (;;) {
        if (cancel)
            return TWait::Cancelled;
        if (TClock::now() >= deadline)
            return TWait::TimedOut;
        pollfd p{fd, events, 0};
        int n = ::poll(&p, 1, PollWait(deadline));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return TWait::Failed;
        if (n > 0)
            return TWait::Ready;
    }
}

// Closes with a reset, so that the server does not take a broken transfer for a whole file.
void AbortSocket(TFileDescriptor& fd) {
    if (!fd)
        return;
    linger l{1, 0};
    ::setsockopt(fd.Get(), SOL_SOCKET, SO_LINGER, &l, sizeof l);
    fd.Reset();
}

// Sends all bytes, through tls when it is given; false with error set (timedOut when the
// time ran out) when the connection breaks, when it is cancelled or when a period of
// periodMs passes with less than TTransferPace::LeastSent bytes (or the rest) sent.
bool SendAll(int fd, TTlsChannel* tls, const char* data, std::size_t size, std::int32_t periodMs,
             const std::atomic<bool>& cancel, std::string& error, bool& timedOut) {
    timedOut = false;
    TTransferPace pace(periodMs, TTransferPace::LeastSent);
    short want = POLLOUT;
    while (size > 0) {
        TWait ready = WaitFor(fd, want, pace.PeriodEnd(), cancel);
        if (ready == TWait::Cancelled) {
            error = "cancelled";
            return false;
        }
        if (ready == TWait::TimedOut) {
            error = (pace.InPeriod() == 0 ? std::string("nothing") : "too little") +
                    " could be sent within " + Milliseconds(periodMs);
            timedOut = true;
            return false;
        }
        if (ready == TWait::Failed) {
            error = ErrorText(errno);
            return false;
        }
        ssize_t n;
        if (tls) {
            long r = tls->Write(data, size);
            if (r == TTlsChannel::Blocked) {
                want = tls->Want();
                continue;
            }
            if (r <= 0) {
                error = tls->Error();
                return false;
            }
            n = r;
            want = POLLOUT;
        } else {
            n = ::send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n < 0) {
                if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)
                    continue;
                error = ErrorText(errno);
                return false;
            }
        }
        data += n;
        size -= static_cast<std::size_t>(n);
        pace.Moved(static_cast<std::size_t>(n));
    }
    return true;
}

// An IPv4 or IPv6 socket address.
struct TAddress {
    sockaddr_storage Storage{};
    socklen_t Length = 0;

    int Family() const { return Storage.ss_family; }
    sockaddr* Raw() { return reinterpret_cast<sockaddr*>(&Storage); }
    const sockaddr* Raw() const { return reinterpret_cast<const sockaddr*>(&Storage); }
    unsigned Port() const {
        return Family() == AF_INET6
                   ? ntohs(reinterpret_cast<const sockaddr_in6*>(&Storage)->sin6_port)
                   : ntohs(reinterpret_cast<const sockaddr_in*>(&Storage)->sin_port);
    }
    void SetPort(unsigned port) {
        if (Family() == AF_INET6)
            reinterpret_cast<sockaddr_in6*>(&Storage)->sin6_port =
                htons(static_cast<std::uint16_t>(port));
        else
            reinterpret_cast<sockaddr_in*>(&Storage)->sin_port =
                htons(static_cast<std::uint16_t>(port));
    }
    // The address without the port, as text.
    std::string Text() const {
        char text[INET6_ADDRSTRLEN] = {};
        if (Family() == AF_INET6)
            ::inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(&Storage)->sin6_addr, text,
                        sizeof text);
        else
            ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(&Storage)->sin_addr, text,
                        sizeof text);
        return text;
    }
    // The same host (the ports aside).
    bool SameHost(const TAddress& other) const {
        if (Family() != other.Family())
            return false;
        if (Family() == AF_INET6)
            return std::memcmp(&reinterpret_cast<const sockaddr_in6*>(&Storage)->sin6_addr,
                               &reinterpret_cast<const sockaddr_in6*>(&other.Storage)->sin6_addr,
                               sizeof(in6_addr)) == 0;
        return reinterpret_cast<const sockaddr_in*>(&Storage)->sin_addr.s_addr ==
               reinterpret_cast<const sockaddr_in*>(&other.Storage)->sin_addr.s_addr;
    }
};

bool PeerAddress(int fd, TAddress& address) {
    address.Length = sizeof address.Storage;
    return ::getpeername(fd, address.Raw(), &address.Length) == 0;
}

bool LocalAddress(int fd, TAddress& address) {
    address.Length = sizeof address.Storage;
    return ::getsockname(fd, address.Raw(), &address.Length) == 0;
}

// How a connect attempt failed.
struct TConnectFailure {
    std::string Text;
    int Code = 0; // errno, ETIMEDOUT when the time ran out, ECANCELED when cancelled
};

// Opens a TCP connection; none with failure set when it fails, is cancelled or is not made
// by deadline (none: the platform's own limit); timeoutMs is the time named in the error.
TFileDescriptor ConnectTo(const TAddress& address, TClock::time_point deadline,
                          std::int32_t timeoutMs, const std::atomic<bool>& cancel,
                          TConnectFailure& failure) {
    auto failed = [&](int code, std::string text) {
        failure.Code = code;
        failure.Text = std::move(text);
        return TFileDescriptor();
    };
    TFileDescriptor fd(::socket(address.Family(), SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd)
        return failed(errno, ErrorText(errno));
    int flags = ::fcntl(fd.Get(), F_GETFL);
    ::fcntl(fd.Get(), F_SETFL, flags | O_NONBLOCK);
    int result = ::connect(fd.Get(), address.Raw(), address.Length);
    if (result < 0 && errno != EINPROGRESS && errno != EINTR)
        return failed(errno, ErrorText(errno));
    if (result < 0) {
        TWait ready = WaitFor(fd.Get(), POLLOUT, deadline, cancel);
        if (ready == TWait::TimedOut)
            return failed(ETIMEDOUT, "no connection within " + Milliseconds(timeoutMs));
        if (ready == TWait::Cancelled)
            return failed(ECANCELED, "cancelled");
        if (ready == TWait::Failed)
            return failed(errno, ErrorText(errno));
        int socketError = 0;
        socklen_t length = sizeof socketError;
        ::getsockopt(fd.Get(), SOL_SOCKET, SO_ERROR, &socketError, &length);
        if (socketError != 0)
            return failed(socketError, ErrorText(socketError));
    }
    ::fcntl(fd.Get(), F_SETFL, flags);
    return fd;
}

// The port of a PASV reply's six numbers "h1,h2,h3,h4,p1,p2", found after the reply code,
// and the address they name (which is not used: the data connection goes to the server).
bool ParsePassiveReply(const std::string& text, unsigned& port, std::string& named) {
    std::size_t pos = text.find('(');
    if (pos == std::string::npos) {
        pos = 3;
        while (pos < text.size() && !(text[pos] >= '0' && text[pos] <= '9'))
            ++pos;
    } else {
        ++pos;
    }
    unsigned numbers[6] = {};
    for (int i = 0; i < 6; ++i) {
        if (i > 0) {
            if (pos >= text.size() || text[pos] != ',')
                return false;
            ++pos;
        }
        std::size_t start = pos;
        unsigned value = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - start < 3)
            value = value * 10 + static_cast<unsigned>(text[pos++] - '0');
        if (pos == start || value > 255)
            return false;
        numbers[i] = value;
    }
    named = std::to_string(numbers[0]) + "." + std::to_string(numbers[1]) + "." +
            std::to_string(numbers[2]) + "." + std::to_string(numbers[3]);
    port = numbers[4] * 256 + numbers[5];
    return port != 0;
}

// The port of an EPSV reply: "229 Entering Extended Passive Mode (|||6446|)", the delimiter
// being any character.
bool ParseExtendedPassiveReply(const std::string& text, unsigned& port) {
    std::size_t open = text.find('(');
    if (open == std::string::npos || open + 4 >= text.size())
        return false;
    const char d = text[open + 1];
    if (text[open + 2] != d || text[open + 3] != d)
        return false;
    std::size_t pos = open + 4;
    unsigned value = 0;
    std::size_t digits = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && digits < 5) {
        value = value * 10 + static_cast<unsigned>(text[pos++] - '0');
        ++digits;
    }
    if (digits == 0 || pos >= text.size() || text[pos] != d || value == 0 || value > 65535)
        return false;
    port = value;
    return true;
}

// Closes the local file, the listening socket and the data connection of an upload on every
// way out; a data connection still open then is reset.
struct TUploadSockets {
    TFileDescriptor File;
    TFileDescriptor Listener;
    TFileDescriptor Data;
    TTlsChannel DataTls;
    ~TUploadSockets() {
        DataTls.Close();
        Listener.Reset();
        AbortSocket(Data);
    }
};

// What a refused reply means in plain words, by the step it refused.
enum class TRefusal { Plain, Login, Folder, Store, Missing };

// True when a refusal speaks of TLS: "TLS", "SSL" or "FTPS" as words, or "encrypt..."
// ("Non-anonymous sessions must use encryption", "SSL/TLS required").
bool HintsAtTls(const std::vector<std::string>& lines) {
    auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); };
    for (std::string line : lines) {
        for (char& c : line)
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
        for (const char* word : {"TLS", "SSL", "FTPS", "ENCRYPT"}) {
            const std::size_t length = std::strlen(word);
            for (std::size_t at = line.find(word, 4); at != std::string::npos;
                 at = line.find(word, at + 1)) {
                const bool starts = !letter(line[at - 1]);
                const bool ends = at + length >= line.size() || !letter(line[at + length]) ||
                                  std::strcmp(word, "ENCRYPT") == 0;
                if (starts && ends)
                    return true;
            }
        }
    }
    return false;
}

} // namespace

const char* const TIdFTP::CancelledText = "cancelled";

TIdFTP::~TIdFTP() {
    Disconnect();
}

std::string TIdFTP::Server() const {
    return Host + ":" + std::to_string(Port);
}

void TIdFTP::Fail(const std::string& step, const std::string& detail, int code,
                  const std::string& fileName, TTransportFailure kind, const std::string& reason,
                  const std::string& fingerprint) const {
    std::string plain = reason;
    if (FCancelled && kind == TTransportFailure::Other) {
        kind = TTransportFailure::Cancelled;
        plain = "Cancelled.";
    }
    if (plain.empty()) {
        // Appended piece by piece: g++ 12 warns falsely (-Wrestrict) about "text" + string.
        plain = "The FTP server ";
        plain.append(Server());
        plain.append(", ");
        plain.append(step);
        plain.append(": ");
        plain.append(detail);
        plain.push_back('.');
    }
    // The host name, the step's file name and the detail may come from a hand-edited project
    // or from the server: no control character of theirs reaches a terminal.
    throw TTransportError(
        ControlCharactersShown("FTP server " + Server() + ", " + step + ": " + detail), kind,
        ControlCharactersShown(plain), fingerprint, fileName)
        .WithReplyCode(code);
}

void TIdFTP::FailConnection(const std::string& step, const std::string& detail,
                            bool timedOut) const {
    if (FCancelled)
        Fail(step, CancelledText, 0, "", TTransportFailure::Cancelled, "Cancelled.");
    if (timedOut) {
        const int seconds = (ReadTimeout + 999) / 1000;
        Fail(step, detail, 0, "", TTransportFailure::NoAnswer,
             "No answer from " + Server() + " within " + std::to_string(seconds) +
                 (seconds == 1 ? " second." : " seconds."));
    }
    Fail(step, detail, 0, "", TTransportFailure::ConnectionLost);
}

void TIdFTP::Log(const std::string& line) const {
    if (OnLog)
        OnLog(line);
}

bool TIdFTP::SendData(int fd, TTlsChannel* tls, const char* data, std::size_t size,
                      std::string& error) {
    bool timedOut = false;
    if (SendAll(fd, tls, data, size, ReadTimeout, FCancelled, error, timedOut))
        return true;
    if (timedOut)
        error = "timed out: " + error;
    return false;
}

void TIdFTP::SendLine(const std::string& line, const std::string& step, const std::string& shown) {
    if (!Connected())
        Fail(step, "not connected");
    // Never a second command inside the first.
    if (BreaksALine(line))
        Fail(step, "the command holds a line break or a NUL character and is not sent");
    Log("> " + shown);
    std::string data = line + "\r\n", error;
    if (FCancelled)
        Fail(step, CancelledText);
    bool timedOut = false;
    if (!SendAll(FSocket.Get(), FControlTls.Active() ? &FControlTls : nullptr, data.data(),
                 data.size(), ReadTimeout, FCancelled, error, timedOut))
        FailConnection(step,
                       FCancelled ? CancelledText : "the command could not be sent (" + error + ")",
                       timedOut);
}

long TIdFTP::ReceiveControl(char* buffer, std::size_t size) {
    if (FControlTls.Active())
        return FControlTls.Read(buffer, size);
    ssize_t n = ::recv(FSocket.Get(), buffer, size, MSG_DONTWAIT);
    if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK))
        return TTlsChannel::Blocked;
    return n < 0 ? TTlsChannel::Failed : n;
}

std::string TIdFTP::ReadLine(const std::string& step, TClock::time_point deadline) {
    const std::string tooLong =
        "a reply line is longer than " + std::to_string(MaxLineLength) + " characters";
    short want = POLLIN;
    bool waited = false;
    for (;;) {
        std::size_t lf = FInput.find('\n');
        if (lf != std::string::npos) {
            std::string line = FInput.substr(0, lf);
            FInput.erase(0, lf + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (line.size() > MaxLineLength)
                Fail(step, tooLong);
            return line;
        }
        // One more character may still be the CR before the LF.
        if (FInput.size() > MaxLineLength + 1)
            Fail(step, tooLong);
        // Decrypted bytes waiting are read at once; otherwise the socket is waited for.
        if (!waited && !FControlTls.Pending()) {
            TWait ready = WaitFor(FSocket.Get(), want, deadline, FCancelled);
            if (ready == TWait::Cancelled)
                Fail(step, CancelledText);
            if (ready == TWait::TimedOut)
                FailConnection(step, "no reply within " + Milliseconds(ReadTimeout), true);
            if (ready == TWait::Failed)
                Fail(step, "the connection failed (" + ErrorText(errno) + ")");
        }
        char buffer[4096];
        long n = ReceiveControl(buffer, sizeof buffer);
        waited = false;
        if (n == TTlsChannel::Blocked) {
            want = FControlTls.Active() ? FControlTls.Want() : static_cast<short>(POLLIN);
            continue;
        }
        want = POLLIN;
        if (n == TTlsChannel::Failed)
            Fail(step,
                 "the connection broke (" +
                     (FControlTls.Active() ? FControlTls.Error() : ErrorText(errno)) + ")",
                 0, "", TTransportFailure::ConnectionLost);
        if (n == 0)
            Fail(step, "the server closed the connection", 0, "", TTransportFailure::ConnectionLost,
                 "The server " + Server() + " closed the connection.");
        FInput.append(buffer, static_cast<std::size_t>(n));
    }
}

void TIdFTP::ReadReply(const std::string& step) {
    FReplyCode = 0;
    FReplyLines.clear();
    // However long a server goes on, the reply held stays within bounds, and the whole reply
    // comes within ReadTimeout, however it is dribbled.
    const TClock::time_point deadline = DeadlineAfter(ReadTimeout);
    std::size_t lines = 0, characters = 0;
    auto next = [&] {
        std::string line = ReadLine(step, deadline);
        characters += line.size();
        if (++lines > MaxReplyLines || characters > MaxReplyCharacters)
            Fail(step, "the server's reply is longer than " + std::to_string(MaxReplyLines) +
                           " lines or " + std::to_string(MaxReplyCharacters) + " characters");
        return TrimBlanks(line);
    };
    std::string first;
    while (first.empty())
        first = next();
    Log("< " + Shown(first));
    FReplyLines.push_back(first);
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (first.size() < 3 || !digit(first[0]) || !digit(first[1]) || !digit(first[2]))
        Fail(step, "the server's reply " + Quoted(FReplyLines) + " has no reply code");
    if (first.size() >= 4 && first[3] == '-') {
        for (;;) {
            std::string line = next();
            if (line.empty())
                continue;
            Log("< " + Shown(line));
            FReplyLines.push_back(line);
            if (line.size() < 4 || (line.compare(0, 3, first, 0, 3) == 0 && line[3] == ' '))
                break;
        }
    }
    FReplyCode = (first[0] - '0') * 100 + (first[1] - '0') * 10 + (first[2] - '0');
}

void TIdFTP::Expect(const std::string& step, std::initializer_list<int> accepted) {
    Expect(step, accepted, 0, "");
}

void TIdFTP::Expect(const std::string& step, std::initializer_list<int> accepted, int refusal,
                    const std::string& subject) {
    ReadReply(step);
    Judge(step, accepted, refusal, subject);
}

void TIdFTP::Judge(const std::string& step, std::initializer_list<int> accepted, int refusal,
                   const std::string& subject) {
    for (int code : accepted)
        if (code == FReplyCode)
            return;
    const std::string detail = "the server replied " + Quoted(FReplyLines);
    TTransportFailure kind = TTransportFailure::Other;
    std::string reason;
    switch (static_cast<TRefusal>(refusal)) {
    case TRefusal::Plain:
        break;
    case TRefusal::Login:
        if (!UseTls && (FReplyCode == 534 || (FReplyCode >= 400 && HintsAtTls(FReplyLines)))) {
            kind = TTransportFailure::TlsRequired;
            reason = "The server requires TLS: choose FTPS (TLS) (it replied " +
                     Quoted(FReplyLines) + ").";
        } else if (FReplyCode == 530) {
            kind = TTransportFailure::LoginRefused;
            reason = "The server refused the user name or password.";
        }
        break;
    case TRefusal::Folder:
        if (FReplyCode >= 500) {
            kind = TTransportFailure::FolderMissing;
            reason = "The folder \"" + Shown(subject) +
                     "\" does not exist on the server or cannot be entered.";
        }
        break;
    case TRefusal::Missing:
        if (FReplyCode == 550) {
            kind = TTransportFailure::FileMissing;
            reason = "The file \"" + Shown(subject) + "\" is not on the server (it replied " +
                     Quoted(FReplyLines) + ").";
        } else if (FReplyCode == 553 || FReplyCode == 532 || FReplyCode == 450) {
            kind = TTransportFailure::FileRefused;
            reason = "The server refused the file \"" + Shown(subject) + "\" (it replied " +
                     Quoted(FReplyLines) + ").";
        }
        break;
    case TRefusal::Store:
        if (FReplyCode == 452 || FReplyCode == 552) {
            kind = TTransportFailure::DiskFull;
            reason = "The server has no room for \"" + Shown(subject) + "\" (it replied " +
                     Quoted(FReplyLines) + ").";
        } else if (FReplyCode == 553 || FReplyCode == 550 || FReplyCode == 532 ||
                   FReplyCode == 450) {
            kind = TTransportFailure::FileRefused;
            reason = "The server refused the file \"" + Shown(subject) + "\" (it replied " +
                     Quoted(FReplyLines) + ").";
        }
        break;
    }
    if (reason.empty() && step == "greeting")
        reason = "The server " + Server() + " turned the connection away (it replied " +
                 Quoted(FReplyLines) + ").";
    else if (reason.empty())
        reason = "The server " + Server() + " refused " + step + " (it replied " +
                 Quoted(FReplyLines) + ").";
    Fail(step, detail, FReplyCode, "", kind, reason);
}

int TIdFTP::Command(const std::string& line, std::initializer_list<int> accepted,
                    const std::string& shown, int refusal, const std::string& subject) {
    const std::string step = shown.empty() ? line : shown;
    SendLine(line, step, step);
    Expect(step, accepted, refusal, subject);
    return FReplyCode;
}

void TIdFTP::StartTls(int fd, TTlsChannel& channel, bool data, const std::string& step) {
    std::string error;
    if (!FTlsContext) {
        FTlsContext = TTlsChannel::NewContext(CaFile, error);
        if (!FTlsContext)
            Fail(step, "TLS cannot be set up (" + error + ")");
    }
    ssl_session_st* resume = data ? TTlsChannel::LatestSession(FTlsContext) : nullptr;
    if (!channel.Start(FTlsContext, fd, Host, resume, error))
        Fail(step, "TLS cannot start (" + error + ")");
    const TClock::time_point deadline = DeadlineAfter(ReadTimeout);
    for (;;) {
        long r = channel.Handshake();
        if (r == 1)
            break;
        if (r != TTlsChannel::Blocked)
            Fail(step, "the TLS handshake failed (" + channel.Error() + ")", 0, "",
                 TTransportFailure::Other,
                 "The TLS handshake with " + Server() + " failed (" + channel.Error() + ").");
        TWait ready = WaitFor(fd, channel.Want(), deadline, FCancelled);
        if (ready == TWait::Cancelled)
            Fail(step, CancelledText);
        if (ready == TWait::TimedOut)
            FailConnection(step, "no TLS handshake within " + Milliseconds(ReadTimeout), true);
        if (ready == TWait::Failed)
            Fail(step, "the connection failed (" + ErrorText(errno) + ")");
    }
    const std::string fingerprint = channel.Fingerprint();
    if (data) {
        // A data connection speaks with the server that the control connection checked.
        if (!SameFingerprint(fingerprint, FControlTls.Fingerprint()))
            Fail(step, "the data connection's certificate is not the control connection's", 0, "",
                 TTransportFailure::NotTrusted,
                 "The data connection offered another certificate than the control "
                 "connection (SHA-256 fingerprint " +
                     fingerprint + ").",
                 fingerprint);
        Log(channel.Resumed() ? "data connection: TLS session resumed"
                              : "data connection: new TLS session");
        return;
    }
    if (channel.Verified()) {
        Log("certificate verified (SHA-256 " + fingerprint + ")");
        return;
    }
    const std::string why = channel.VerifyError();
    if (!Trusted.empty() && SameFingerprint(fingerprint, Trusted)) {
        Log("certificate not verified (" + why + ") but trusted by its fingerprint " + fingerprint);
        return;
    }
    Fail(step, "the certificate is not trusted (" + why + "); SHA-256 fingerprint " + fingerprint,
         0, "", TTransportFailure::NotTrusted,
         "The server's certificate is not trusted (" + why + "). Its SHA-256 fingerprint is " +
             fingerprint + ".",
         fingerprint);
}

void TIdFTP::Connect() {
    Disconnect();
    FPassiveRefused = false;
    const std::string step = "connect";
    if (Host.empty())
        Fail(step, "no host name given");
    if (Port < 1 || Port > 65535)
        Fail(step, std::to_string(Port) + " is not a valid TCP port");
    if (BreaksALine(Username))
        Fail(step, "the user name holds a line break or a NUL character");
    if (BreaksALine(Password))
        Fail(step, "the password holds a line break or a NUL character");

    // The active plain exchange is IPv4 as it always was; passive mode and TLS also take
    // IPv6 addresses. One deadline for the whole connect, the name lookup included.
    TServerConnectFailure failure;
    FSocket = ConnectToServer(Host, Port, Passive || UseTls ? AF_UNSPEC : AF_INET, ReadTimeout,
                              FCancelled, failure);
    if (!FSocket) {
        if (failure.Kind == TTransportFailure::Cancelled)
            Fail(step, CancelledText, 0, "", TTransportFailure::Cancelled, "Cancelled.");
        Fail(step, failure.Detail, 0, "", failure.Kind, failure.Reason);
    }

    try {
        Expect("greeting", {220});
        if (UseTls) {
            Command("AUTH TLS", {234}, "", static_cast<int>(TRefusal::Login));
            // Nothing said in the clear may pass for a reply that came through TLS: bytes
            // after the 234 line were put there by the server or by someone on the way.
            if (!FInput.empty()) {
                const std::size_t injected = FInput.size();
                FInput.clear();
                Fail("AUTH TLS",
                     std::to_string(injected) +
                         " bytes came in the clear after the reply to AUTH TLS",
                     0, "", TTransportFailure::Other,
                     "The server " + Shown(Server()) +
                         " sent more than its reply to AUTH TLS before TLS began (" +
                         std::to_string(injected) +
                         " bytes that could pass for replies); the connection was closed.");
            }
            StartTls(FSocket.Get(), FControlTls, false, "AUTH TLS");
        }
        if (Command("USER " + Username, {230, 331}, "", static_cast<int>(TRefusal::Login)) == 331)
            Command("PASS " + Password, {230}, "PASS ****", static_cast<int>(TRefusal::Login));
        if (UseTls) {
            Command("PBSZ 0", {200});
            Command("PROT P", {200});
        }
        Command(TransferType == ftASCII ? "TYPE A" : "TYPE I", {200});
        Command("SYST", {200, 215, 500});
    } catch (...) {
        Disconnect();
        throw;
    }
}

void TIdFTP::ChangeFolder(const std::string& folder) {
    if (BreaksALine(folder))
        Fail("change folder", "the folder name holds a line break or a NUL character");
    Command("CWD " + folder, {200, 250}, "", static_cast<int>(TRefusal::Folder), folder);
}

bool TIdFTP::OpenPassiveConnection(const std::string& step, TFileDescriptor& data) {
    TAddress server;
    if (!PeerAddress(FSocket.Get(), server))
        Fail(step, "the control connection has no peer address (" + ErrorText(errno) + ")");
    if (FPreparedData) {
        data = std::move(FPreparedData);
        return true;
    }
    const std::string command = PassiveCommand();
    SendLine(command, command, command);
    ReadReply(command);
    return PassiveReplied(step, data);
}

std::string TIdFTP::PassiveCommand() const {
    TAddress server;
    return PeerAddress(FSocket.Get(), server) && server.Family() == AF_INET6 ? "EPSV" : "PASV";
}

bool TIdFTP::PassiveReplied(const std::string& step, TFileDescriptor& data) {
    TAddress server;
    if (!PeerAddress(FSocket.Get(), server))
        Fail(step, "the control connection has no peer address (" + ErrorText(errno) + ")");
    const bool extended = server.Family() == AF_INET6;
    const std::string command = extended ? "EPSV" : "PASV";
    if (FReplyCode >= 500 && FReplyCode <= 599) {
        FPassiveRefused = true;
        Log("passive mode refused: active mode for the rest of the session");
        if (OnStatus)
            OnStatus("The server refused passive mode; the files go in active mode.");
        return false;
    }
    if (FReplyCode != (extended ? 229 : 227))
        Fail(command, "the server replied " + Quoted(FReplyLines), FReplyCode);
    std::string text;
    for (const std::string& line : FReplyLines) {
        text.append(line);
        text.push_back(' ');
    }
    unsigned port = 0;
    std::string named;
    if (extended ? !ParseExtendedPassiveReply(text, port) : !ParsePassiveReply(text, port, named))
        Fail(command, "the reply " + Quoted(FReplyLines) + " holds no address", FReplyCode);
    // Whatever address the reply names (a private one behind NAT, or a third host), the data
    // connection goes to the server the control connection reached.
    if (!named.empty() && named != server.Text())
        Log("the reply names " + named + "; the data connection goes to " + server.Text());
    server.SetPort(port);
    TConnectFailure failure;
    data = ConnectTo(server, DeadlineAfter(ReadTimeout), ReadTimeout, FCancelled, failure);
    if (!data && FCancelled)
        Fail(step, CancelledText);
    if (!data)
        FailConnection(step,
                       "cannot open the data connection to " + server.Text() + ":" +
                           std::to_string(port) + " (" + failure.Text + ")",
                       failure.Code == ETIMEDOUT);
    return true;
}

TFileDescriptor TIdFTP::ListenForData(const std::string& step) {
    TAddress local;
    if (!LocalAddress(FSocket.Get(), local))
        Fail(step, "the control connection has no local address (" + ErrorText(errno) + ")");
    local.SetPort(0);
    TFileDescriptor listener(::socket(local.Family(), SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!listener || ::bind(listener.Get(), local.Raw(), local.Length) != 0 ||
        ::listen(listener.Get(), 1) != 0 || !LocalAddress(listener.Get(), local))
        Fail(step, "cannot listen for the data connection (" + ErrorText(errno) + ")");
    const unsigned port = local.Port();
    if (local.Family() == AF_INET6) {
        Command("EPRT |2|" + local.Text() + "|" + std::to_string(port) + "|", {200});
    } else {
        const std::uint32_t host =
            ntohl(reinterpret_cast<const sockaddr_in*>(&local.Storage)->sin_addr.s_addr);
        Command("PORT " + std::to_string(host >> 24) + "," + std::to_string((host >> 16) & 255) +
                    "," + std::to_string((host >> 8) & 255) + "," + std::to_string(host & 255) +
                    "," + std::to_string(port / 256) + "," + std::to_string(port % 256),
                {200});
    }
    return listener;
}

bool TIdFTP::WaitForDataConnection(int listener, TClock::time_point deadline, std::string& error) {
    // A server that hangs up will never connect; one that talks meanwhile (a reply before
    // the transfer) is heard after it, like any final reply. Past a few long lines of such
    // talk the control connection is no longer watched. With ReadTimeout set, a server that
    // never connects back fails the upload when the time is up.
    bool watchControl = true;
    for (;;) {
        if (FCancelled) {
            error = "cancelled";
            return false;
        }
        if (TClock::now() >= deadline) {
            error = "the server did not open it within " + Milliseconds(ReadTimeout);
            return false;
        }
        pollfd p[2] = {{listener, POLLIN, 0}, {FSocket.Get(), POLLIN, 0}};
        int n = ::poll(p, watchControl ? 2 : 1, PollWait(deadline));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = ErrorText(errno);
            return false;
        }
        if (n == 0)
            continue;
        if (p[0].revents & POLLIN)
            return true;
        if (p[0].revents != 0) {
            error = "the listening socket failed";
            return false;
        }
        if (!watchControl || p[1].revents == 0)
            continue;
        char buffer[4096];
        long got = ReceiveControl(buffer, sizeof buffer);
        if (got == 0) {
            error = "the server closed the connection";
            return false;
        }
        if (got == TTlsChannel::Blocked)
            continue;
        if (got < 0) {
            error = "the connection broke (" +
                    (FControlTls.Active() ? FControlTls.Error() : ErrorText(errno)) + ")";
            return false;
        }
        FInput.append(buffer, static_cast<std::size_t>(got));
        if (FInput.size() > 4 * MaxLineLength)
            watchControl = false;
    }
}

TFileDescriptor TIdFTP::AcceptDataConnection(int listener, const std::string& step) {
    TAddress server;
    if (!PeerAddress(FSocket.Get(), server))
        Fail(step, "the control connection has no peer address (" + ErrorText(errno) + ")");
    const TClock::time_point deadline = DeadlineAfter(ReadTimeout);
    for (;;) {
        std::string error;
        if (!WaitForDataConnection(listener, deadline, error))
            FailConnection(step,
                           FCancelled ? CancelledText : "no data connection came (" + error + ")",
                           TClock::now() >= deadline);
        TAddress peer;
        peer.Length = sizeof peer.Storage;
        TFileDescriptor data(::accept4(listener, peer.Raw(), &peer.Length, SOCK_CLOEXEC));
        if (!data) {
            if (errno == EINTR || errno == ECONNABORTED || errno == EAGAIN)
                continue;
            Fail(step, "the data connection failed (" + ErrorText(errno) + ")");
        }
        if (peer.SameHost(server))
            return data;
        // Someone else: whatever it would send or take, it gets nothing.
        Log("data connection from " + peer.Text() + " refused (not the server)");
        AbortSocket(data);
    }
}

void TIdFTP::Upload(const std::string& localPath, const std::string& remoteName,
                    const std::function<void(std::int64_t)>& progress) {
    Store(localPath, remoteName, progress);
}

std::int64_t TIdFTP::Store(const std::string& localPath, const std::string& remoteName,
                           const std::function<void(std::int64_t)>& progress) {
    const std::string step = "upload of " + localPath;
    if (!Connected())
        Fail(step, "not connected");
    if (BreaksALine(remoteName))
        Fail(step, "the remote file name holds a line break or a NUL character", 0, localPath);

    TUploadSockets s;
    // A file of the site: never through a link, never waiting on a FIFO put in its place.
    s.File.Reset(::open(localPath.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!s.File) {
        const std::string why = ErrorText(errno);
        Fail(step, "the local file cannot be opened (" + why + ")", 0, localPath,
             TTransportFailure::Other,
             "The local file " + localPath + " cannot be opened (" + why + ").");
    }
    struct stat st {};
    if (::fstat(s.File.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        Fail(step, "the local file is not an ordinary file", 0, localPath, TTransportFailure::Other,
             "The local file " + localPath + " is not an ordinary file.");
    const std::int64_t expected = st.st_size;

    const std::string store = "STOR " + remoteName;
    TTlsChannel* tls = OpenTransfer(step, store, static_cast<int>(TRefusal::Store), remoteName,
                                    s.Listener, s.Data, s.DataTls);

    std::int64_t sent = 0;
    std::string error;
    char buffer[1 << 16];
    for (;;) {
        ssize_t n = ::read(s.File.Get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const std::string why = ErrorText(errno);
            Fail(step, "the local file cannot be read (" + why + ")", 0, localPath,
                 TTransportFailure::Other,
                 "The local file " + localPath + " cannot be read (" + why + ").");
        }
        if (n == 0)
            break;
        if (!SendData(s.Data.Get(), tls, buffer, static_cast<std::size_t>(n), error))
            FailConnection(store,
                           FCancelled ? CancelledText : "the data connection broke (" + error + ")",
                           error.rfind("timed out", 0) == 0);
        sent += n;
        if (progress)
            progress(sent);
    }
    if (sent < expected)
        Fail(step,
             "the local file shrank while it was sent (" + std::to_string(sent) + " of " +
                 std::to_string(expected) + " bytes)",
             0, localPath);
    if (tls) {
        FinishTlsTransfer(s.Data.Get(), *tls);
    }
    s.Data.Reset();

    Expect(store, {225, 226, 250, 426, 450}, static_cast<int>(TRefusal::Store), remoteName);
    if (FReplyCode == 426 || FReplyCode == 450)
        Expect(store, {225, 226}, static_cast<int>(TRefusal::Store), remoteName);
    return sent;
}

TTlsChannel* TIdFTP::OpenTransfer(const std::string& step, const std::string& command, int refusal,
                                  const std::string& subject, TFileDescriptor& listener,
                                  TFileDescriptor& data, TTlsChannel& dataTls) {
    bool passive = Passive && !FPassiveRefused;
    if (passive && !OpenPassiveConnection(step, data))
        passive = false;
    if (!passive)
        listener = ListenForData(step);
    Command(command, {125, 150}, "", refusal, subject);
    if (!passive) {
        data = AcceptDataConnection(listener.Get(), command);
        listener.Reset();
    }
    FDataResumed = false;
    if (!UseTls)
        return nullptr;
    StartTls(data.Get(), dataTls, true, command);
    FDataResumed = dataTls.Resumed();
    return &dataTls;
}

std::string TIdFTP::Download(const std::string& remoteName, std::int64_t maxBytes) {
    const std::string step = "download of " + remoteName;
    if (!Connected())
        Fail(step, "not connected");
    if (BreaksALine(remoteName))
        Fail(step, "the remote file name holds a line break or a NUL character", 0, remoteName);
    bool tooLong = false;
    std::string content = Receive(step, "RETR " + remoteName, static_cast<int>(TRefusal::Missing),
                                  remoteName, maxBytes, tooLong);
    if (tooLong)
        Fail(step, "the file is longer than " + std::to_string(maxBytes) + " bytes", 0, remoteName,
             TTransportFailure::Other,
             "The file \"" + Shown(remoteName) + "\" on " + Server() + " is longer than " +
                 std::to_string(maxBytes) + " bytes.");
    return content;
}

std::string TIdFTP::Receive(const std::string& step, const std::string& retrieve, int refusal,
                            const std::string& subject, std::int64_t maxBytes, bool& tooLong) {
    TUploadSockets s;
    TTlsChannel* tls =
        OpenTransfer(step, retrieve, refusal, subject, s.Listener, s.Data, s.DataTls);
    std::string content;
    const std::size_t limit = maxBytes < 0 ? 0 : static_cast<std::size_t>(maxBytes);
    char buffer[1 << 16];
    short want = POLLIN;
    tooLong = false;
    // However the server dribbles it, the file comes at a pace: something within
    // ReadTimeout, then LeastReceived bytes in each ReadTimeout.
    TTransferPace pace(ReadTimeout, TTransferPace::LeastReceived);
    for (;;) {
        if (!(tls && tls->Pending())) {
            const TWait ready = WaitFor(s.Data.Get(), want, pace.PeriodEnd(), FCancelled);
            if (ready == TWait::Cancelled)
                FailConnection(retrieve, CancelledText, false);
            if (ready == TWait::TimedOut)
                FailTooSlow(retrieve, subject, pace, s.Data, s.DataTls);
            if (ready == TWait::Failed)
                Fail(retrieve, "the data connection failed (" + ErrorText(errno) + ")");
        }
        // One byte past the limit is enough to know that the file is too long.
        const std::size_t room = std::min(sizeof buffer, limit + 1 - content.size());
        long n;
        if (tls) {
            n = tls->Read(buffer, room);
            if (n == TTlsChannel::Blocked) {
                want = tls->Want();
                continue;
            }
        } else {
            n = ::recv(s.Data.Get(), buffer, room, MSG_DONTWAIT);
            if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK))
                continue;
        }
        want = POLLIN;
        if (n < 0)
            FailConnection(retrieve,
                           "the data connection broke (" + (tls ? tls->Error() : ErrorText(errno)) +
                               ")",
                           false);
        if (n == 0)
            break;
        MakeRoom(content, static_cast<std::size_t>(n), limit + 1);
        content.append(buffer, static_cast<std::size_t>(n));
        pace.Moved(static_cast<std::size_t>(n));
        if (content.size() > limit) {
            tooLong = true;
            break;
        }
    }
    if (tooLong) {
        // The rest is refused: the data connection is reset, and whatever the server says
        // to that (426, or 226 when it had sent everything) ends the transfer.
        s.DataTls.Abandon();
        AbortSocket(s.Data);
        try {
            ReadReply(retrieve);
        } catch (const TTransportError&) {
            // Without its reply the exchange is out of step: the session is given up.
            Disconnect();
        }
        return content;
    }
    if (tls) {
        // The server's close notification came; ours answers it.
        tls->Shutdown();
        tls->Close();
    }
    s.Data.Reset();
    Expect(retrieve, {225, 226, 250}, refusal, subject);
    return content;
}

std::vector<std::string> TIdFTP::ListNames() {
    const std::string step = "listing of the folder";
    if (!Connected())
        Fail(step, "not connected");
    bool tooLong = false;
    std::string text;
    bool facts = false;
    try {
        text =
            Receive(step, "NLST", static_cast<int>(TRefusal::Plain), "", MaxListingBytes, tooLong);
    } catch (const TTransportError& e) {
        // A server that refuses NLST (or has it answer only for a folder that is not empty)
        // may still give the listing with facts.
        if (e.ReplyCode() < 400 || !Connected() || FCancelled)
            throw;
        Log("NLST refused: MLSD instead");
        facts = true;
        text =
            Receive(step, "MLSD", static_cast<int>(TRefusal::Plain), "", MaxListingBytes, tooLong);
    }
    if (tooLong)
        Fail(step, "the listing is longer than " + std::to_string(MaxListingBytes) + " bytes", 0,
             "", TTransportFailure::Other,
             "The listing of the folder on the server " + Server() + " is too long.");
    std::vector<std::string> names;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (facts) {
            // "type=file;size=12;modify=...; name": the name follows the blank after the
            // last fact. A fact's value never holds ';' but may hold a blank ("UNIX.owner=web
            // user;"), so the facts end at the first "; "; a line without facts starts with
            // the blank.
            const std::size_t end = line.rfind(' ', 0) == 0 ? 0 : line.find("; ");
            line = end == std::string::npos ? std::string()
                                            : line.substr(end + (line[end] == ' ' ? 1 : 2));
        } else if (line.rfind("./", 0) == 0) {
            line.erase(0, 2);
        }
        if (!line.empty())
            names.push_back(line);
    }
    return names;
}

void TIdFTP::FailTooSlow(const std::string& step, const std::string& remoteName,
                         const TTransferPace& pace, TFileDescriptor& data, TTlsChannel& dataTls) {
    // The server is still sending, and its final reply would come as the reply to the next
    // command: the transfer is broken off and the session given up.
    dataTls.Close();
    AbortSocket(data);
    Disconnect();
    const std::string seconds = std::to_string((ReadTimeout + 999) / 1000);
    const std::string within = " within " + seconds + (seconds == "1" ? " second" : " seconds");
    const std::string sofar = std::to_string(pace.Total()) + " bytes so far";
    // A listing of the folder has no file name.
    const std::string what = remoteName.empty() ? std::string("the listing of the folder")
                                                : "the file \"" + Shown(remoteName) + "\"";
    if (pace.Total() == 0)
        Fail(step, "no data came within " + Milliseconds(ReadTimeout), 0, remoteName,
             TTransportFailure::NoAnswer,
             "Nothing of " + what + " came from " + Server() + within + ".");
    Fail(step,
         "less than " + std::to_string(pace.Least()) + " bytes came within " +
             Milliseconds(ReadTimeout) + " (" + sofar + ")",
         0, remoteName, TTransportFailure::NoAnswer,
         "The " + what.substr(4) + " came too slowly from " + Server() + ": less than " +
             std::to_string(pace.Least() / 1024) + " KiB" + within + " (" + sofar + ").");
}

void TIdFTP::Delete(const std::string& remoteName) {
    const std::string step = "delete of " + remoteName;
    if (!Connected())
        Fail(step, "not connected");
    if (BreaksALine(remoteName))
        Fail(step, "the remote file name holds a line break or a NUL character", 0, remoteName);
    Command("DELE " + remoteName, {200, 250}, "", static_cast<int>(TRefusal::Missing), remoteName);
}

void TIdFTP::Rename(const std::string& fromName, const std::string& toName) {
    const std::string step = "rename of " + fromName;
    if (!Connected())
        Fail(step, "not connected");
    if (BreaksALine(fromName) || BreaksALine(toName))
        Fail(step, "a file name holds a line break or a NUL character", 0, fromName);
    Command("RNFR " + fromName, {350}, "", static_cast<int>(TRefusal::Missing), fromName);
    Command("RNTO " + toName, {200, 250}, "", static_cast<int>(TRefusal::Store), toName);
}

void TIdFTP::MakeFolder(const std::string& name) {
    const std::string step = "making of the folder " + name;
    if (!Connected())
        Fail(step, "not connected");
    if (BreaksALine(name))
        Fail(step, "the folder name holds a line break or a NUL character", 0, name);
    Command("MKD " + name, {250, 257}, "", static_cast<int>(TRefusal::Store), name);
}

void TIdFTP::RemoveFolder(const std::string& name) {
    const std::string step = "removal of the folder " + name;
    if (!Connected())
        Fail(step, "not connected");
    if (BreaksALine(name))
        Fail(step, "the folder name holds a line break or a NUL character", 0, name);
    Command("RMD " + name, {200, 250}, "", static_cast<int>(TRefusal::Missing), name);
}

std::int64_t TIdFTP::RemoteSize(const std::string& remoteName) {
    const std::string step = "size of " + remoteName;
    if (!Connected())
        Fail(step, "not connected");
    if (BreaksALine(remoteName))
        Fail(step, "the remote file name holds a line break or a NUL character", 0, remoteName);
    // A size in ASCII type would count line ends as the server sends them.
    const bool ascii = TransferType == ftASCII;
    if (ascii)
        Command("TYPE I", {200});
    const std::string size = "SIZE " + remoteName;
    Command(size, {213, 500, 502}, "", static_cast<int>(TRefusal::Missing), remoteName);
    const std::int64_t bytes = SizeOfReply(size, remoteName);
    if (ascii)
        Command("TYPE A", {200});
    return bytes;
}

std::int64_t TIdFTP::SizeOfReply(const std::string& step, const std::string& remoteName) {
    if (FReplyCode != 213) {
        Log("the server does not tell sizes (SIZE)");
        return -1;
    }
    // "213 1234": the digits after the code, and nothing else.
    const std::string& line = FReplyLines.front();
    std::size_t pos = 3;
    while (pos < line.size() && line[pos] == ' ')
        ++pos;
    std::int64_t bytes = 0;
    std::size_t digits = 0;
    for (; pos < line.size() && line[pos] >= '0' && line[pos] <= '9' && digits < 18; ++pos) {
        bytes = bytes * 10 + (line[pos] - '0');
        ++digits;
    }
    if (digits == 0 || pos != line.size())
        Fail(step, "the reply " + Quoted(FReplyLines) + " holds no size", FReplyCode, remoteName);
    return bytes;
}

void TIdFTP::SendTogether(const std::vector<std::string>& lines, const std::string& step) {
    if (!Connected())
        Fail(step, "not connected");
    std::string data;
    for (const std::string& line : lines) {
        if (BreaksALine(line))
            Fail(step, "the command holds a line break or a NUL character and is not sent");
        data.append(line).append("\r\n");
    }
    if (FCancelled)
        Fail(step, CancelledText);
    for (const std::string& line : lines)
        Log("> " + line);
    std::string error;
    bool timedOut = false;
    if (!SendAll(FSocket.Get(), FControlTls.Active() ? &FControlTls : nullptr, data.data(),
                 data.size(), ReadTimeout, FCancelled, error, timedOut)) {
        // Part of it may have gone: the exchange is out of step.
        Disconnect();
        FailConnection(
            step, FCancelled ? CancelledText : "the commands could not be sent (" + error + ")",
            timedOut);
    }
}

TIdFTP::TReply TIdFTP::ReadSentReply(const std::string& step, bool later) {
    try {
        ReadReply(step);
    } catch (const TTransportError& e) {
        // Not every reply to the commands sent together was read: the exchange is out of
        // step, and the session is given up. A server that left a later command unanswered
        // gets one command at a time from now on.
        if (later && e.Kind() != TTransportFailure::Cancelled && !FCancelled) {
            Pipelining = false;
            Log("no reply to a command sent with another: one command at a time from now on");
        }
        Disconnect();
        throw;
    }
    return TReply{FReplyCode, FReplyLines};
}

void TIdFTP::Restore(const TReply& reply) {
    FReplyCode = reply.Code;
    FReplyLines = reply.Lines;
}

void TIdFTP::UploadReplacing(const std::string& localPath, const std::string& remoteName,
                             const std::string& tempName,
                             const std::function<void(std::int64_t)>& progress,
                             const std::function<void()>& beforeRename,
                             const std::function<void(const TTransportError&)>& renameRefused) {
    const std::string step = "upload of " + localPath;
    if (BreaksALine(remoteName))
        Fail(step, "the remote file name holds a line break or a NUL character", 0, localPath);
    const std::int64_t sent = Store(localPath, tempName, progress);

    // The size and the first half of the rename go together; what beforeRename finds is
    // heard once both replies are in.
    const std::string size = "SIZE " + tempName;
    const std::string from = "RNFR " + tempName;
    SendTogether({size, from}, size);
    std::exception_ptr failure;
    if (beforeRename) {
        try {
            beforeRename();
        } catch (...) {
            failure = std::current_exception();
        }
    }
    const TReply sizeReply = ReadSentReply(size, false);
    const TReply fromReply = ReadSentReply(from, true);
    if (!failure) {
        try {
            Restore(sizeReply);
            Judge(size, {213, 500, 502}, static_cast<int>(TRefusal::Missing), tempName);
            const std::int64_t held = SizeOfReply(size, tempName);
            Restore(fromReply);
            Judge(from, {350}, static_cast<int>(TRefusal::Missing), tempName);
            if (held >= 0 && held != sent) {
                std::string detail = "the server holds ";
                detail.append(std::to_string(held))
                    .append(" of the ")
                    .append(std::to_string(sent))
                    .append(" bytes");
                Fail(size, detail, 0, remoteName, TTransportFailure::ConnectionLost,
                     "The file did not arrive whole.");
            }
        } catch (const TTransportError&) {
            failure = std::current_exception();
        }
    }
    if (failure) {
        // The rename begun is ended on the file itself (renamed onto its own name), and the
        // file goes.
        if (fromReply.Code == 350) {
            try {
                Command("RNTO " + tempName, {200, 250});
            } catch (const TTransportError&) {
                // Refused or not, the reply ended the rename.
            }
        }
        try {
            Command("DELE " + tempName, {200, 250});
        } catch (const TTransportError&) {
            // A file that cannot be deleted is sent over the next time.
        }
        std::rethrow_exception(failure);
    }

    // The rename's second half, and with it the next transfer's passive connection asked
    // for, so that the next upload waits for one reply less.
    const std::string to = "RNTO " + remoteName;
    const bool prepare = Passive && !FPassiveRefused;
    const std::string passive = prepare ? PassiveCommand() : std::string();
    if (prepare)
        SendTogether({to, passive}, to);
    else
        SendLine(to, to, to);
    TReply toReply;
    if (prepare) {
        toReply = ReadSentReply(to, false);
    } else {
        ReadReply(to);
        toReply = TReply{FReplyCode, FReplyLines};
    }
    const bool renamed = toReply.Code == 200 || toReply.Code == 250;
    if (prepare) {
        try {
            ReadSentReply(passive, true);
        } catch (const TTransportError&) {
            // The file is in place all the same; the next step finds the connection gone.
            if (renamed)
                return;
            throw;
        }
        try {
            PassiveReplied(passive, FPreparedData);
        } catch (const TTransportError& e) {
            FPreparedData.Reset();
            Log(std::string("no passive connection ready for the next transfer: ") + e.what());
        }
    }
    Restore(toReply);
    if (renamed)
        return;
    if (toReply.Code >= 500 && toReply.Code <= 599) {
        // Refused for good: the file in place stays whatever comes after.
        try {
            Judge(to, {200, 250}, static_cast<int>(TRefusal::Store), remoteName);
        } catch (const TTransportError& refusal) {
            if (renameRefused) {
                renameRefused(refusal);
                return;
            }
            try {
                Command("DELE " + tempName, {200, 250});
            } catch (const TTransportError&) {
                // A file that cannot be deleted is sent over the next time.
            }
            throw;
        }
    }
    Judge(to, {200, 250}, static_cast<int>(TRefusal::Store), remoteName);
}

void TIdFTP::FinishTlsTransfer(int fd, TTlsChannel& channel) {
    // The close notification ends the file; a server that cannot take it is heard in the
    // final reply.
    const TClock::time_point deadline = DeadlineAfter(ReadTimeout);
    while (channel.Shutdown() == TTlsChannel::Blocked &&
           WaitFor(fd, channel.Want(), deadline, FCancelled) == TWait::Ready) {
    }
    ::shutdown(fd, SHUT_WR);
    // What the server sent is read up to its own close notification: the tickets of TLS 1.3
    // among it (the next data connection resumes the newest; a server may take each once
    // only), and nothing left unread, which would reset the connection and could lose the
    // file's last bytes at the server. The server's end is awaited a moment, not longer.
    const TClock::time_point drained = std::min(deadline, DeadlineAfter(1000));
    char buffer[4096];
    for (;;) {
        const long r = channel.Read(buffer, sizeof buffer);
        if (r > 0)
            continue;
        if (r != TTlsChannel::Blocked ||
            WaitFor(fd, channel.Want(), drained, FCancelled) != TWait::Ready)
            break;
    }
    channel.Close();
}

void TIdFTP::Disconnect() {
    FPreparedData.Reset();
    FControlTls.Close();
    FSocket.Reset();
    FInput.clear();
    if (FTlsContext) {
        TTlsChannel::FreeContext(FTlsContext);
        FTlsContext = nullptr;
    }
}

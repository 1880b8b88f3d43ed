#include "publish/IdFTP.h"
#include "platform/Text.h"

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using TClock = std::chrono::steady_clock;

std::string ErrorText(int error) {
    return std::strerror(error);
}

std::string Milliseconds(std::int32_t ms) {
    return std::to_string(ms) + " ms";
}

// The most characters of a server's text that are shown.
constexpr std::size_t LongestShown = 200;

// A server's text as people are shown it (in logs and messages): UTF-8 characters kept, each
// control character (C0, DEL, C1) and each byte that is not part of a UTF-8 character
// replaced by "?", so that nothing reaches a terminal as an escape or cuts a C string; at
// most LongestShown characters, then "...".
std::string Shown(const std::string& text) {
    std::string shown;
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (characters == LongestShown)
            return shown + "...";
        const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
        const unsigned char lead = byte(i);
        std::size_t length = lead < 0x80                    ? 1
                             : lead >= 0xc2 && lead <= 0xdf ? 2
                             : lead >= 0xe0 && lead <= 0xef ? 3
                             : lead >= 0xf0 && lead <= 0xf4 ? 4
                                                            : 0;
        std::uint32_t code = length > 1 ? lead & (0x3fu >> (length - 1)) : lead;
        for (std::size_t k = 1; k < length; ++k) {
            if (i + k >= text.size() || (byte(i + k) & 0xc0) != 0x80) {
                length = 0;
                break;
            }
            code = (code << 6) | (byte(i + k) & 0x3fu);
        }
        // Over-long forms, surrogates and code points past U+10FFFF are not characters.
        static constexpr std::uint32_t Least[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (length > 1 &&
            (code < Least[length] || (code >= 0xd800 && code <= 0xdfff) || code > 0x10ffff))
            length = 0;
        if (length == 0 || code < 0x20 || (code >= 0x7f && code <= 0x9f)) {
            shown += '?';
            i += length == 0 ? 1 : length;
        } else {
            shown.append(text, i, length);
            i += length;
        }
        ++characters;
    }
    return shown;
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

// What a send must achieve in each period of the read time-out: this many bytes, or all
// that is left when less is.
constexpr std::size_t LeastProgress = 4096;

// Sends all bytes; false with error set when the connection breaks, when it is cancelled or
// when a period of periodMs passes with less than LeastProgress bytes (or the rest) sent.
bool SendAll(int fd, const char* data, std::size_t size, std::int32_t periodMs,
             const std::atomic<bool>& cancel, std::string& error) {
    TClock::time_point periodEnd = DeadlineAfter(periodMs);
    std::size_t sentInPeriod = 0;
    while (size > 0) {
        TWait ready = WaitFor(fd, POLLOUT, periodEnd, cancel);
        if (ready == TWait::Cancelled) {
            error = "cancelled";
            return false;
        }
        if (ready == TWait::TimedOut) {
            error = (sentInPeriod == 0 ? std::string("nothing") : "too little") +
                    " could be sent within " + Milliseconds(periodMs);
            return false;
        }
        if (ready == TWait::Failed) {
            error = ErrorText(errno);
            return false;
        }
        ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)
                continue;
            error = ErrorText(errno);
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
        sentInPeriod += static_cast<std::size_t>(n);
        if (sentInPeriod >= LeastProgress || size == 0) {
            periodEnd = DeadlineAfter(periodMs);
            sentInPeriod = 0;
        }
    }
    return true;
}

// Opens a TCP connection; none with error set when it fails, is cancelled or is not made by
// deadline (none: the platform's own limit); timeoutMs is the time named in the error.
TFileDescriptor ConnectTo(const sockaddr_in& address, TClock::time_point deadline,
                          std::int32_t timeoutMs, const std::atomic<bool>& cancel,
                          std::string& error) {
    TFileDescriptor fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd) {
        error = ErrorText(errno);
        return fd;
    }
    int flags = ::fcntl(fd.Get(), F_GETFL);
    ::fcntl(fd.Get(), F_SETFL, flags | O_NONBLOCK);
    int result = ::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    if (result < 0 && errno != EINPROGRESS && errno != EINTR) {
        error = ErrorText(errno);
        return TFileDescriptor();
    }
    if (result < 0) {
        TWait ready = WaitFor(fd.Get(), POLLOUT, deadline, cancel);
        if (ready != TWait::Ready) {
            error = ready == TWait::TimedOut    ? "no connection within " + Milliseconds(timeoutMs)
                    : ready == TWait::Cancelled ? std::string("cancelled")
                                                : ErrorText(errno);
            return TFileDescriptor();
        }
        int socketError = 0;
        socklen_t length = sizeof socketError;
        ::getsockopt(fd.Get(), SOL_SOCKET, SO_ERROR, &socketError, &length);
        if (socketError != 0) {
            error = ErrorText(socketError);
            return TFileDescriptor();
        }
    }
    ::fcntl(fd.Get(), F_SETFL, flags);
    return fd;
}

std::string DottedAddress(const sockaddr_in& address) {
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return text;
}

// The six numbers of a PASV reply, "h1,h2,h3,h4,p1,p2", found after the reply code.
bool ParsePassiveAddress(const std::string& text, sockaddr_in& address) {
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
    address = sockaddr_in{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr =
        htonl((numbers[0] << 24) | (numbers[1] << 16) | (numbers[2] << 8) | numbers[3]);
    address.sin_port = htons(static_cast<std::uint16_t>(numbers[4] * 256 + numbers[5]));
    return true;
}

// Closes the local file, the listening socket and the data connection of an upload on every
// way out; a data connection still open then is reset.
struct TUploadSockets {
    TFileDescriptor File;
    TFileDescriptor Listener;
    TFileDescriptor Data;
    ~TUploadSockets() {
        Listener.Reset();
        AbortSocket(Data);
    }
};

} // namespace

const char* const TIdFTP::CancelledText = "cancelled";

TFTPError::TFTPError(const std::string& message, int replyCode, const std::string& fileName)
    : TError(message, fileName), FReplyCode(replyCode) {}

TIdFTP::~TIdFTP() {
    Disconnect();
}

std::string TIdFTP::Server() const {
    return Host + ":" + std::to_string(Port);
}

void TIdFTP::Fail(const std::string& step, const std::string& detail, int code,
                  const std::string& fileName) const {
    throw TFTPError("FTP server " + Server() + ", " + step + ": " + detail, code, fileName);
}

void TIdFTP::Log(const std::string& line) const {
    if (OnLog)
        OnLog(line);
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
    if (!SendAll(FSocket.Get(), data.data(), data.size(), ReadTimeout, FCancelled, error))
        Fail(step, FCancelled ? CancelledText : "the command could not be sent (" + error + ")");
}

std::string TIdFTP::ReadLine(const std::string& step, TClock::time_point deadline) {
    const std::string tooLong =
        "a reply line is longer than " + std::to_string(MaxLineLength) + " characters";
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
        TWait ready = WaitFor(FSocket.Get(), POLLIN, deadline, FCancelled);
        if (ready == TWait::Cancelled)
            Fail(step, CancelledText);
        if (ready == TWait::TimedOut)
            Fail(step, "no reply within " + Milliseconds(ReadTimeout));
        if (ready == TWait::Failed)
            Fail(step, "the connection failed (" + ErrorText(errno) + ")");
        char buffer[4096];
        ssize_t n = ::recv(FSocket.Get(), buffer, sizeof buffer, MSG_DONTWAIT);
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK))
            continue;
        if (n < 0)
            Fail(step, "the connection broke (" + ErrorText(errno) + ")");
        if (n == 0)
            Fail(step, "the server closed the connection");
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
    ReadReply(step);
    for (int code : accepted)
        if (code == FReplyCode)
            return;
    Fail(step, "the server replied " + Quoted(FReplyLines), FReplyCode);
}

int TIdFTP::Command(const std::string& line, std::initializer_list<int> accepted,
                    const std::string& shown) {
    const std::string step = shown.empty() ? line : shown;
    SendLine(line, step, step);
    Expect(step, accepted);
    return FReplyCode;
}

void TIdFTP::Connect() {
    Disconnect();
    const std::string step = "connect";
    if (Host.empty())
        Fail(step, "no host name given");
    if (Port < 1 || Port > 65535)
        Fail(step, std::to_string(Port) + " is not a valid TCP port");
    if (BreaksALine(Username))
        Fail(step, "the user name holds a line break or a NUL character");
    if (BreaksALine(Password))
        Fail(step, "the password holds a line break or a NUL character");

    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    int resolved = ::getaddrinfo(Host.c_str(), nullptr, &hints, &found);
    if (resolved != 0 || !found)
        Fail(step, "the host name \"" + Host + "\" does not resolve (" +
                       (resolved == EAI_SYSTEM ? ErrorText(errno) : ::gai_strerror(resolved)) +
                       ")");
    std::string error = "no address";
    // All addresses together are bounded by ReadTimeout when it is set, so an address that
    // swallows the attempt fails the connect instead of holding the program for minutes.
    const TClock::time_point deadline = DeadlineAfter(ReadTimeout);
    for (addrinfo* a = found; a && !FSocket && !FCancelled; a = a->ai_next) {
        sockaddr_in address;
        std::memcpy(&address, a->ai_addr, sizeof address);
        address.sin_port = htons(static_cast<std::uint16_t>(Port));
        FSocket = ConnectTo(address, deadline, ReadTimeout, FCancelled, error);
    }
    ::freeaddrinfo(found);
    if (FCancelled)
        FSocket.Reset();
    if (!FSocket)
        Fail(step, FCancelled ? CancelledText : "cannot connect (" + error + ")");

    try {
        Expect("greeting", {220});
        if (Command("USER " + Username, {230, 331}) == 331)
            Command("PASS " + Password, {230}, "PASS ****");
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
    Command("CWD " + folder, {200, 250});
}

TFileDescriptor TIdFTP::OpenDataConnection(const std::string& step, const std::string& remoteName) {
    Command("PASV", {227});
    sockaddr_in address{};
    std::string text;
    for (const std::string& line : FReplyLines)
        text += line + " ";
    if (!ParsePassiveAddress(text, address))
        Fail("PASV", "the reply " + Quoted(FReplyLines) + " holds no address", FReplyCode);
    std::string error;
    TFileDescriptor data =
        ConnectTo(address, DeadlineAfter(ReadTimeout), ReadTimeout, FCancelled, error);
    if (!data && FCancelled)
        Fail(step, CancelledText);
    if (!data)
        Fail(step, "cannot open the data connection to " + DottedAddress(address) + ":" +
                       std::to_string(ntohs(address.sin_port)) + " (" + error + ")");
    Command("STOR " + remoteName, {125, 150});
    return data;
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
        ssize_t got = ::recv(FSocket.Get(), buffer, sizeof buffer, MSG_DONTWAIT);
        if (got == 0) {
            error = "the server closed the connection";
            return false;
        }
        if (got < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)
                continue;
            error = "the connection broke (" + ErrorText(errno) + ")";
            return false;
        }
        FInput.append(buffer, static_cast<std::size_t>(got));
        if (FInput.size() > 4 * MaxLineLength)
            watchControl = false;
    }
}

TFileDescriptor TIdFTP::AcceptDataConnection(int listener, const std::string& step) {
    sockaddr_in server{};
    socklen_t length = sizeof server;
    if (::getpeername(FSocket.Get(), reinterpret_cast<sockaddr*>(&server), &length) != 0)
        Fail(step, "the control connection has no peer address (" + ErrorText(errno) + ")");
    const TClock::time_point deadline = DeadlineAfter(ReadTimeout);
    for (;;) {
        std::string error;
        if (!WaitForDataConnection(listener, deadline, error))
            Fail(step, FCancelled ? CancelledText : "no data connection came (" + error + ")");
        sockaddr_in peer{};
        length = sizeof peer;
        TFileDescriptor data(
            ::accept4(listener, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC));
        if (!data) {
            if (errno == EINTR || errno == ECONNABORTED || errno == EAGAIN)
                continue;
            Fail(step, "the data connection failed (" + ErrorText(errno) + ")");
        }
        if (length >= sizeof peer && peer.sin_family == AF_INET &&
            peer.sin_addr.s_addr == server.sin_addr.s_addr)
            return data;
        // Someone else: whatever it would send or take, it gets nothing.
        Log("data connection from " + DottedAddress(peer) + " refused (not the server)");
        AbortSocket(data);
    }
}

void TIdFTP::Upload(const std::string& localPath, const std::string& remoteName) {
    const std::string step = "upload of " + localPath;
    if (!Connected())
        Fail(step, "not connected");
    if (BreaksALine(remoteName))
        Fail(step, "the remote file name holds a line break or a NUL character", 0, localPath);

    TUploadSockets s;
    s.File.Reset(::open(localPath.c_str(), O_RDONLY | O_CLOEXEC));
    if (!s.File)
        Fail(step, "the local file cannot be opened (" + ErrorText(errno) + ")", 0, localPath);
    struct stat st {};
    if (::fstat(s.File.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        Fail(step, "the local file is not an ordinary file", 0, localPath);
    const std::int64_t expected = st.st_size;

    if (Passive) {
        s.Data = OpenDataConnection(step, remoteName);
    } else {
        sockaddr_in local{};
        socklen_t length = sizeof local;
        if (::getsockname(FSocket.Get(), reinterpret_cast<sockaddr*>(&local), &length) != 0)
            Fail(step, "the control connection has no local address (" + ErrorText(errno) + ")");
        local.sin_port = 0;
        s.Listener.Reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (!s.Listener ||
            ::bind(s.Listener.Get(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
            ::listen(s.Listener.Get(), 1) != 0 ||
            ::getsockname(s.Listener.Get(), reinterpret_cast<sockaddr*>(&local), &length) != 0)
            Fail(step, "cannot listen for the data connection (" + ErrorText(errno) + ")");

        const std::uint32_t host = ntohl(local.sin_addr.s_addr);
        const unsigned port = ntohs(local.sin_port);
        Command("PORT " + std::to_string(host >> 24) + "," + std::to_string((host >> 16) & 255) +
                    "," + std::to_string((host >> 8) & 255) + "," + std::to_string(host & 255) +
                    "," + std::to_string(port / 256) + "," + std::to_string(port % 256),
                {200});
        Command("STOR " + remoteName, {125, 150});

        s.Data = AcceptDataConnection(s.Listener.Get(), "STOR " + remoteName);
        s.Listener.Reset();
    }

    std::int64_t sent = 0;
    std::string error;
    char buffer[1 << 16];
    for (;;) {
        ssize_t n = ::read(s.File.Get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            Fail(step, "the local file cannot be read (" + ErrorText(errno) + ")", 0, localPath);
        if (n == 0)
            break;
        if (!SendAll(s.Data.Get(), buffer, static_cast<std::size_t>(n), ReadTimeout, FCancelled,
                     error))
            Fail("STOR " + remoteName,
                 FCancelled ? CancelledText : "the data connection broke (" + error + ")");
        sent += n;
    }
    if (sent < expected)
        Fail(step,
             "the local file shrank while it was sent (" + std::to_string(sent) + " of " +
                 std::to_string(expected) + " bytes)",
             0, localPath);
    s.Data.Reset();

    Expect("STOR " + remoteName, {225, 226, 250, 426, 450});
    if (FReplyCode == 426 || FReplyCode == 450)
        Expect("STOR " + remoteName, {225, 226});
}

void TIdFTP::Disconnect() {
    FSocket.Reset();
    FInput.clear();
}

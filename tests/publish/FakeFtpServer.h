#pragma once

// A scripted FTP server for the tests: it listens on 127.0.0.1 on a port that the system
// chooses, takes one control connection and plays a script (a function) against it on its
// own thread, recording every command that it reads. Every wait of the server is bounded,
// so a test never hangs on it; a script that meets something unexpected simply ends, and
// the control connection is closed.

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <set>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

// Ends a script (end of the connection, or a bounded wait that ran out).
struct TScriptEnd : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class TFakeFtpSession {
  public:
    // How long the server waits for anything.
    static constexpr int WaitMs = 5000;

    TFakeFtpSession(int control, std::vector<std::string>& commands,
                    std::map<std::string, std::string>& files, std::mutex& mutex)
        : FControl(control), FCommands(commands), FFiles(files), FMutex(mutex) {}

    // Sends bytes as they are.
    void Send(const std::string& raw) {
        std::size_t done = 0;
        while (done < raw.size()) {
            ssize_t n = ::send(FControl, raw.data() + done, raw.size() - done, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                throw TScriptEnd("the client went away while the server was sending");
            done += static_cast<std::size_t>(n);
        }
    }
    void Reply(const std::string& line) { Send(line + "\r\n"); }

    // Reads the next command line (without its CR LF) and records it.
    std::string Command() {
        for (;;) {
            std::size_t lf = FInput.find('\n');
            if (lf != std::string::npos) {
                std::string line = FInput.substr(0, lf);
                FInput.erase(0, lf + 1);
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                std::lock_guard<std::mutex> lock(FMutex);
                FCommands.push_back(line);
                return line;
            }
            char buffer[4096];
            ssize_t n = ReadSome(FControl, buffer, sizeof buffer, WaitMs);
            if (n <= 0)
                throw TScriptEnd("the client closed the control connection");
            FInput.append(buffer, static_cast<std::size_t>(n));
        }
    }
    // True when a whole command line is there to be read, or comes within waitMs: a client
    // that sent it before the reply to the command before was sent.
    bool LineWithin(int waitMs) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
        while (FInput.find('\n') == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            char buffer[4096];
            const ssize_t n = ReadSome(FControl, buffer, sizeof buffer,
                                       static_cast<int>(std::max<long>(left.count(), 0)));
            if (n <= 0)
                return false;
            FInput.append(buffer, static_cast<std::size_t>(n));
        }
        return true;
    }
    // Reads a command and answers it with one line.
    std::string Answer(const std::string& reply) {
        std::string command = Command();
        Reply(reply);
        return command;
    }

    // Greeting, USER with 331, PASS, TYPE and SYST, all accepted.
    void Login() {
        Reply("220 Fake FTP server ready");
        Answer("331 Password required");
        Answer("230 Logged in");
        Answer("200 Type set");
        Answer("215 UNIX Type: L8");
    }

    // Connects to the address of the last PORT command, from the address `from` (another
    // loopback address, as a stranger would) when one is given.
    int ConnectBack(const char* from = nullptr) {
        sockaddr_in address{};
        if (!LastPortAddress(address))
            throw TScriptEnd("no PORT command to connect back to");
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in source{};
        source.sin_family = AF_INET;
        if (from && fd >= 0 &&
            (::inet_pton(AF_INET, from, &source.sin_addr) != 1 ||
             ::bind(fd, reinterpret_cast<sockaddr*>(&source), sizeof source) != 0)) {
            ::close(fd);
            throw TScriptEnd("cannot connect from the given address");
        }
        if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            if (fd >= 0)
                ::close(fd);
            throw TScriptEnd("cannot connect back to the client");
        }
        return fd;
    }
    // A listening socket on 127.0.0.1 or ::1 on a port the system chooses (port set); -1
    // when it cannot listen.
    static int Listen(bool ipv6, int& port) {
        int fd = ::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_storage storage{};
        socklen_t length;
        if (ipv6) {
            auto* a = reinterpret_cast<sockaddr_in6*>(&storage);
            a->sin6_family = AF_INET6;
            a->sin6_addr = in6addr_loopback;
            length = sizeof *a;
        } else {
            auto* a = reinterpret_cast<sockaddr_in*>(&storage);
            a->sin_family = AF_INET;
            a->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            length = sizeof *a;
        }
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&storage), length) != 0 ||
            ::listen(fd, 4) != 0 ||
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&storage), &length) != 0) {
            if (fd >= 0)
                ::close(fd);
            return -1;
        }
        port = ntohs(ipv6 ? reinterpret_cast<sockaddr_in6*>(&storage)->sin6_port
                          : reinterpret_cast<sockaddr_in*>(&storage)->sin_port);
        return fd;
    }
    // Takes one connection of a passive transfer on listener (closed afterwards).
    int AcceptData(int listener) {
        const bool ready = WaitReadable(listener, WaitMs);
        int fd = ready ? ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC) : -1;
        ::close(listener);
        if (fd < 0)
            throw TScriptEnd("no passive data connection came");
        return fd;
    }

    // Reads a data connection to its end and closes it.
    std::string ReceiveAll(int fd) {
        std::string data;
        char buffer[1 << 16];
        for (;;) {
            ssize_t n = ReadSome(fd, buffer, sizeof buffer, WaitMs);
            if (n < 0) {
                ::close(fd);
                throw TScriptEnd("the data connection broke or stalled");
            }
            if (n == 0)
                break;
            data.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(fd);
        return data;
    }
    // Sends data over a data connection, then closes it unless told not to.
    void SendData(int fd, const std::string& data, bool close = true) {
        std::size_t done = 0;
        while (done < data.size()) {
            ssize_t n = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        if (close)
            ::close(fd);
    }

    // A whole upload: PORT with 200, STOR with 150, the data, then the final reply(s).
    // Returns the bytes received, also kept under the file's name.
    std::string Store(const std::vector<std::string>& finalReplies = {"226 Transfer complete"}) {
        Answer("200 PORT command successful");
        std::string command = Answer("150 Opening data connection");
        std::string data = ReceiveAll(ConnectBack());
        {
            std::lock_guard<std::mutex> lock(FMutex);
            FFiles[command.size() > 5 ? command.substr(5) : command] = data;
        }
        for (const std::string& reply : finalReplies)
            Reply(reply);
        return data;
    }

    // Answers whatever comes until the client goes: PORT, STOR (the data kept under the
    // file's name) and CWD accepted, anything else 502.
    void ServeUploads() {
        for (;;) {
            std::string command = Command();
            if (command.rfind("PORT ", 0) == 0) {
                Reply("200 PORT command successful");
            } else if (command.rfind("STOR ", 0) == 0) {
                Reply("150 Opening data connection");
                std::string data = ReceiveAll(ConnectBack());
                {
                    std::lock_guard<std::mutex> lock(FMutex);
                    FFiles[command.substr(5)] = data;
                }
                Reply("226 Transfer complete");
            } else if (command.rfind("CWD ", 0) == 0) {
                Reply("250 Folder changed");
            } else {
                Reply("502 Not implemented");
            }
        }
    }

    // A folder of files served in active mode until the client goes, for a client that runs
    // a whole publish: CWD, PORT, STOR, RETR, SIZE, RNFR and RNTO, DELE, MKD and RMD, NLST and
    // MLSD as folder says; anything else 502. Each command changes folder.Files before its
    // reply goes, under folder.Mutex, so that the client may look at the folder meanwhile.
    struct TFolder {
        std::map<std::string, std::string> Files;
        // Whether SIZE, NLST and MLSD are known; otherwise 502.
        bool Size = true;
        bool Nlst = true;
        bool Mlsd = false;
        // Facts MLSD gives besides type and size, each ending in ';'.
        std::string MoreFacts;
        // Files that DELE leaves in place, answering KeptReply.
        std::vector<std::string> Kept;
        std::string KeptReply = "250 Deleted";
        // Where RNTO renames: over any name, only to a free name, or nowhere (550 RenameWords).
        enum class TRenames { Over, ToFreeName, Never } Renames = TRenames::Over;
        static constexpr const char* RenameWords = "Renaming is not allowed here";
        std::mutex Mutex;
        std::map<std::string, std::string> Snapshot() {
            std::lock_guard<std::mutex> lock(Mutex);
            return Files;
        }
    };
    void ServeFolder(TFolder& folder) {
        std::string renaming;
        // The folders made in it (the publish's lock); their files are files named "folder/file".
        std::set<std::string> folders;
        auto& files = folder.Files;
        for (;;) {
            const std::string command = Command();
            const std::size_t blank = command.find(' ');
            const std::string verb = command.substr(0, blank);
            const std::string name = blank == std::string::npos ? "" : command.substr(blank + 1);
            std::string data;
            std::unique_lock<std::mutex> lock(folder.Mutex);
            const auto found = files.find(name);
            const bool there = found != files.end();
            std::string reply = "502 Not implemented";
            if (verb == "CWD") {
                reply = "250 Folder changed";
            } else if (verb == "PORT") {
                reply = "200 PORT command successful";
            } else if (verb == "STOR") {
                lock.unlock();
                Reply("150 Opening data connection");
                data = ReceiveAll(ConnectBack());
                lock.lock();
                files[name] = std::move(data);
                reply = "226 Transfer complete";
            } else if ((verb == "RETR" && there) || (verb == "NLST" && folder.Nlst) ||
                       (verb == "MLSD" && folder.Mlsd)) {
                if (verb == "RETR")
                    data = found->second;
                else
                    for (const auto& [file, bytes] : files)
                        data += (verb == "MLSD" ? "type=file;size=" + std::to_string(bytes.size()) +
                                                      ";" + folder.MoreFacts + " "
                                                : std::string()) +
                                file + "\r\n";
                lock.unlock();
                Reply("150 Opening data connection");
                SendData(ConnectBack(), data);
                reply = "226 Transfer complete";
            } else if (verb == "SIZE" && folder.Size && there) {
                reply = "213 " + std::to_string(found->second.size());
            } else if (verb == "RNFR" && there) {
                renaming = name;
                reply = "350 Ready for RNTO";
            } else if (verb == "RNTO" &&
                       (folder.Renames == TFolder::TRenames::Never || files.count(renaming) == 0)) {
                reply = std::string("550 ") + TFolder::RenameWords;
            } else if (verb == "RNTO" && there && folder.Renames != TFolder::TRenames::Over) {
                reply = "550 " + name + ": File exists";
            } else if (verb == "RNTO") {
                data = std::move(files[renaming]);
                files.erase(renaming);
                files[name] = std::move(data);
                reply = "250 Renamed";
            } else if (verb == "DELE" && std::count(folder.Kept.begin(), folder.Kept.end(), name)) {
                reply = folder.KeptReply;
            } else if (verb == "DELE" && there) {
                files.erase(found);
                reply = "250 Deleted";
            } else if (verb == "MKD") {
                reply = folders.insert(name).second ? "257 \"" + name + "\" created"
                                                    : "550 " + name + ": File exists";
            } else if (verb == "RMD") {
                reply = folders.erase(name) > 0 ? "250 Folder removed"
                                                : "550 " + name + ": No such folder";
            } else if (verb == "SIZE" || verb == "NLST" || verb == "MLSD") {
                reply = verb == "SIZE" && folder.Size ? "550 " + name + ": No such file"
                                                      : "502 " + verb + " not implemented";
            } else if (verb == "RETR" || verb == "RNFR" || verb == "DELE") {
                reply = "550 " + name + ": No such file";
            }
            if (lock.owns_lock())
                lock.unlock();
            Reply(reply);
        }
    }
    // Waits for the client to close the control connection, recording whatever it still
    // sends; true when it closed within the wait.
    bool WaitClosed(int waitMs = WaitMs) {
        try {
            auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
            for (;;) {
                auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    end - std::chrono::steady_clock::now());
                if (left.count() <= 0)
                    return false;
                char buffer[4096];
                ssize_t n =
                    ReadSome(FControl, buffer, sizeof buffer, static_cast<int>(left.count()));
                if (n == 0)
                    break;
                if (n < 0)
                    return errno == ECONNRESET;
                FInput.append(buffer, static_cast<std::size_t>(n));
            }
        } catch (const TScriptEnd&) {
            return false;
        }
        // Anything that came before the end is recorded as commands.
        while (FInput.find('\n') != std::string::npos)
            Command();
        if (!FInput.empty()) {
            std::lock_guard<std::mutex> lock(FMutex);
            FCommands.push_back(FInput);
        }
        return true;
    }

    void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

    // Ends the server's side of the control connection: the client reads its end.
    void HangUp() { ::shutdown(FControl, SHUT_WR); }

    // The address and port named by the last PORT command.
    bool LastPortAddress(sockaddr_in& address) {
        std::lock_guard<std::mutex> lock(FMutex);
        for (auto it = FCommands.rbegin(); it != FCommands.rend(); ++it) {
            if (it->rfind("PORT ", 0) != 0)
                continue;
            unsigned n[6];
            if (std::sscanf(it->c_str() + 5, "%u,%u,%u,%u,%u,%u", &n[0], &n[1], &n[2], &n[3], &n[4],
                            &n[5]) != 6)
                return false;
            address = sockaddr_in{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl((n[0] << 24) | (n[1] << 16) | (n[2] << 8) | n[3]);
            address.sin_port = htons(static_cast<std::uint16_t>(n[4] * 256 + n[5]));
            return true;
        }
        return false;
    }

    // Reads what is there within waitMs: the count, 0 at the end, -1 on failure or when
    // nothing came.
    static ssize_t ReadSome(int fd, char* buffer, std::size_t size, int waitMs) {
        if (!WaitReadable(fd, waitMs))
            return -1;
        ssize_t n;
        do
            n = ::recv(fd, buffer, size, 0);
        while (n < 0 && errno == EINTR);
        return n;
    }

    // True when fd has something to read (or a connection to accept) within waitMs.
    static bool WaitReadable(int fd, int waitMs) {
        pollfd p{fd, POLLIN, 0};
        int ready;
        do
            ready = ::poll(&p, 1, waitMs);
        while (ready < 0 && errno == EINTR);
        if (ready == 0)
            errno = ETIMEDOUT;
        return ready > 0;
    }

  private:
    int FControl;
    std::string FInput;
    std::vector<std::string>& FCommands;
    std::map<std::string, std::string>& FFiles;
    std::mutex& FMutex;
};

class TFakeFtpServer {
  public:
    using TScript = std::function<void(TFakeFtpSession&)>;

    // On 127.0.0.1, or with ipv6 on ::1.
    explicit TFakeFtpServer(TScript script, bool ipv6 = false) : FScript(std::move(script)) {
        int port = 0;
        FListener = TFakeFtpSession::Listen(ipv6, port);
        if (FListener < 0)
            throw std::runtime_error("the fake FTP server cannot listen");
        FPort = port;
        FThread = std::thread([this] { Serve(); });
    }
    ~TFakeFtpServer() { Finish(); }
    TFakeFtpServer(const TFakeFtpServer&) = delete;
    TFakeFtpServer& operator=(const TFakeFtpServer&) = delete;

    int Port() const { return FPort; }

    // Waits for the script to end (bounded by the script's own waits).
    void Finish() {
        if (FThread.joinable())
            FThread.join();
        if (FListener >= 0)
            ::close(FListener);
        FListener = -1;
    }

    // What the server read and received; complete once Finish has returned.
    std::vector<std::string> Commands() {
        std::lock_guard<std::mutex> lock(FMutex);
        return FCommands;
    }
    std::map<std::string, std::string> Files() {
        std::lock_guard<std::mutex> lock(FMutex);
        return FFiles;
    }
    // Why the script ended early, or empty.
    std::string ScriptEnd() {
        std::lock_guard<std::mutex> lock(FMutex);
        return FScriptEnd;
    }

  private:
    void Serve() {
        if (!TFakeFtpSession::WaitReadable(FListener, 10000)) {
            std::lock_guard<std::mutex> lock(FMutex);
            FScriptEnd = "no client connected";
            return;
        }
        int control = ::accept4(FListener, nullptr, nullptr, SOCK_CLOEXEC);
        if (control < 0)
            return;
        TFakeFtpSession session(control, FCommands, FFiles, FMutex);
        try {
            FScript(session);
        } catch (const std::exception& e) {
            std::lock_guard<std::mutex> lock(FMutex);
            FScriptEnd = e.what();
        }
        ::close(control);
    }

    TScript FScript;
    int FListener = -1;
    int FPort = 0;
    std::thread FThread;
    std::mutex FMutex;
    std::vector<std::string> FCommands;
    std::map<std::string, std::string> FFiles;
    std::string FScriptEnd;
};

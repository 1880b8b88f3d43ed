#pragma once

// Child processes for the tests: run a program to its end with a bounded wait, or keep a
// server process running until the test ends (then it is stopped by its process id).

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

struct TProcessResult {
    int ExitCode = -1; // -1 when it did not exit normally
    bool TimedOut = false;
    std::string Out;
    std::string Err;
};

namespace childprocess {

inline std::vector<char*> Arguments(const std::vector<std::string>& argv) {
    std::vector<char*> result;
    for (const std::string& a : argv)
        result.push_back(const_cast<char*>(a.c_str()));
    result.push_back(nullptr);
    return result;
}

// Waits for pid up to waitMs; true when it ended (status filled).
inline bool WaitEnd(pid_t pid, int waitMs, int& status) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid || (r < 0 && errno != EINTR))
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// Stops pid: SIGTERM, then SIGKILL when it is still there after a while.
inline int Stop(pid_t pid) {
    int status = 0;
    ::kill(pid, SIGTERM);
    if (!WaitEnd(pid, 3000, status)) {
        ::kill(pid, SIGKILL);
        WaitEnd(pid, 3000, status);
    }
    return status;
}

// Reads the given descriptors until they all end or the deadline passes.
inline bool Drain(std::vector<std::pair<int, std::string*>> fds,
                  std::chrono::steady_clock::time_point deadline) {
    while (!fds.empty()) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        std::vector<pollfd> p;
        for (auto& f : fds)
            p.push_back(pollfd{f.first, POLLIN, 0});
        int n = ::poll(p.data(), p.size(), static_cast<int>(left.count()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        for (std::size_t i = p.size(); i-- > 0;) {
            if (p[i].revents == 0)
                continue;
            char buffer[4096];
            ssize_t r = ::read(p[i].fd, buffer, sizeof buffer);
            if (r > 0) {
                fds[i].second->append(buffer, static_cast<std::size_t>(r));
            } else if (!(r < 0 && errno == EINTR)) {
                ::close(fds[i].first);
                fds.erase(fds.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
    }
    return true;
}

} // namespace childprocess

// Runs argv with input on its standard input; stdout and stderr are caught separately. A
// program still running after timeoutMs is killed. The process id goes into *started (when
// given) as soon as the program runs, so that another thread may send it a signal.
inline TProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& input,
                                 int timeoutMs, std::atomic<pid_t>* started = nullptr) {
    int in[2], out[2], err[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    std::vector<char*> args = childprocess::Arguments(argv);
    pid_t pid = ::fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    if (started)
        *started = pid;
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    std::signal(SIGPIPE, SIG_IGN);
    if (!input.empty())
        (void)!::write(in[1], input.data(), input.size());
    ::close(in[1]);

    TProcessResult result;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    if (!childprocess::Drain({{out[0], &result.Out}, {err[0], &result.Err}}, deadline)) {
        result.TimedOut = true;
        ::kill(pid, SIGKILL);
    }
    int status = 0;
    if (!childprocess::WaitEnd(pid, result.TimedOut ? 3000 : timeoutMs, status)) {
        result.TimedOut = true;
        ::kill(pid, SIGKILL);
        childprocess::WaitEnd(pid, 3000, status);
    }
    if (WIFEXITED(status))
        result.ExitCode = WEXITSTATUS(status);
    return result;
}

// Runs argv on a pseudo terminal (so that it sees a terminal on all three standard
// descriptors); Out holds everything it wrote there.
inline TProcessResult RunOnTerminal(const std::vector<std::string>& argv, const std::string& input,
                                    int timeoutMs) {
    int master = -1;
    std::vector<char*> args = childprocess::Arguments(argv);
    pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
    if (pid < 0)
        throw std::runtime_error("forkpty failed");
    if (pid == 0) {
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    if (!input.empty())
        (void)!::write(master, input.data(), input.size());
    TProcessResult result;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    // The terminal reports an error (EIO) once the child has gone: that ends the reading.
    if (!childprocess::Drain({{master, &result.Out}}, deadline)) {
        result.TimedOut = true;
        ::kill(pid, SIGKILL);
        ::close(master);
    }
    int status = 0;
    if (!childprocess::WaitEnd(pid, 3000, status)) {
        result.TimedOut = true;
        ::kill(pid, SIGKILL);
        childprocess::WaitEnd(pid, 3000, status);
    }
    if (WIFEXITED(status))
        result.ExitCode = WEXITSTATUS(status);
    return result;
}

// A server process that tells its port on the first line of its standard output, and runs
// until the object goes (stopped by its process id).
class TServerProcess {
  public:
    TServerProcess(const std::vector<std::string>& argv, int startMs) {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe failed");
        std::vector<char*> args = childprocess::Arguments(argv);
        FPid = ::fork();
        if (FPid < 0)
            throw std::runtime_error("fork failed");
        if (FPid == 0) {
            ::dup2(out[1], 1);
            ::execvp(args[0], args.data());
            ::_exit(127);
        }
        ::close(out[1]);
        FOut = out[0];
        std::string line;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(startMs);
        while (line.find('\n') == std::string::npos) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd p{FOut, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                break;
            char buffer[256];
            ssize_t n = ::read(FOut, buffer, sizeof buffer);
            if (n <= 0)
                break;
            line.append(buffer, static_cast<std::size_t>(n));
        }
        FFirstLine = line.substr(0, line.find('\n'));
    }
    ~TServerProcess() {
        if (FPid > 0)
            childprocess::Stop(FPid);
        if (FOut >= 0)
            ::close(FOut);
    }
    TServerProcess(const TServerProcess&) = delete;
    TServerProcess& operator=(const TServerProcess&) = delete;

    const std::string& FirstLine() const { return FFirstLine; }

  private:
    pid_t FPid = -1;
    int FOut = -1;
    std::string FFirstLine;
};

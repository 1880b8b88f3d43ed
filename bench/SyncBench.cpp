// corvane-bench-sync [WORK_FOLDER]: the synchronising publish of a 1,000-file site against a
// real FTP server on 127.0.0.1 whose every reply leaves 25 ms after the server wrote it, in
// one run: (a) the first publish with 4 connections against lftp's "mirror -R -P 4" of the
// same site into another folder of the same server, (b) the publish after one page's title
// changed, (c) the publish with nothing changed. Prints the seconds and the ratio of (a).
//
// The delay stands in for the distance to a server across the internet, not for a slow
// server: pyftpdlib (one thread, every connection in its event loop) reads and answers each
// command at once, and its replies (the greeting and both replies of a transfer among them)
// are held back 25 ms each on their way out, in the order written, while the connection goes
// on reading. A client that waits for each reply waits 25 ms per command; one that sends
// commands together waits 25 ms for all of them, as it would over the internet. The data
// connections are not delayed.

#include "publish/SyncRun.h"

#include "publish/ChildProcess.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int Files = 1000;
constexpr int ReplyDelayMs = 25;
// The server ends by itself after this many seconds, whatever happens to the benchmark.
constexpr int ServerLifetimeSeconds = 900;

const char* const ServerScript = R"(import collections, logging, os, signal, sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

home, lifetime, delay = sys.argv[1], int(sys.argv[2]), float(sys.argv[3]) / 1000.0
signal.alarm(lifetime)
authorizer = DummyAuthorizer()
authorizer.add_user("bench", "bench", home, perm="elradfmwMT")
class Handler(FTPHandler):
    # Every byte of the control connection goes out delay seconds after the server wrote
    # it, in the order written, without holding up the connection meanwhile: the server
    # reads and answers the next command at once, as a server across the internet would.
    def push(self, data):
        if not hasattr(self, "held"):
            self.held = collections.deque()
            self.closing = False
        self.held.append(data)
        self.ioloop.call_later(delay, self.release, _errback=self.handle_error)
    def release(self):
        # One timer per piece, each releasing the oldest: the order stays whatever order
        # timers of the same moment fire in.
        if not self.held:
            return
        data = self.held.popleft()
        if self._closed:
            return
        FTPHandler.push(self, data)
        if self.closing and not self.held:
            FTPHandler.close_when_done(self)
    def close_when_done(self):
        if getattr(self, "held", None):
            self.closing = True
        else:
            FTPHandler.close_when_done(self)
Handler.authorizer = authorizer
server = FTPServer(("127.0.0.1", 0), Handler)
print(server.address[1], flush=True)
sys.stderr = open(os.devnull, "w")
logging.basicConfig(level=logging.CRITICAL, stream=sys.stderr)
server.serve_forever()
)";

void Write(const std::string& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        throw std::runtime_error("cannot write " + path);
    out << data;
}

// A page of 2 to 20 KB, its title holding version.
std::string Page(int number, int version) {
    std::string page = "<html>\r\n<head><title>Page " + std::to_string(number) + " version " +
                       std::to_string(version) + "</title></head>\r\n<body>\r\n";
    const std::size_t size = 2000 + static_cast<std::size_t>(number * 7919 % 18000);
    std::uint32_t x = static_cast<std::uint32_t>(number) * 2654435761u;
    while (page.size() < size) {
        x = x * 1103515245u + 12345u;
        page += static_cast<char>('a' + (x >> 24) % 26);
        if ((x & 0x3f) == 0)
            page += "\r\n";
    }
    return page + "</body>\r\n</html>\r\n";
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// One synchronising publish of site into folder; its seconds.
double Publish(int port, const std::string& site, const std::string& folder, int expectUploads) {
    TTransportSettings settings;
    settings.Host = "127.0.0.1";
    settings.Port = port;
    settings.User = "bench";
    settings.Password = "bench";
    settings.Passive = true;
    settings.ReadTimeout = 30000;
    const auto started = std::chrono::steady_clock::now();
    TSyncRun run(settings, folder, site);
    run.Jobs = 4;
    run.Prepare();
    const TSyncTotals totals = run.Run();
    const double seconds = Seconds(started);
    if (!totals.Succeeded() || totals.Uploaded != expectUploads)
        throw std::runtime_error("the publish into " + folder + " sent " +
                                 std::to_string(totals.Uploaded) + " files with " +
                                 std::to_string(totals.Failures) + " failures");
    return seconds;
}

} // namespace

int main(int argc, char** argv) {
    try {
        std::string work;
        if (argc > 1) {
            work = argv[1];
        } else {
            std::string pattern =
                (std::filesystem::temp_directory_path() / "corvane-sync-bench-XXXXXX").string();
            if (!::mkdtemp(pattern.data()))
                throw std::runtime_error("mkdtemp failed");
            work = pattern;
        }
        const std::string site = work + "/site";
        const std::string home = work + "/home";
        std::filesystem::create_directories(site);
        std::filesystem::create_directories(home + "/corvane");
        std::filesystem::create_directories(home + "/lftp");
        for (int i = 0; i < Files; ++i)
            Write(site + "/Page" + std::to_string(i) + ".htm", Page(i, 1));
        Write(work + "/server.py", ServerScript);
        std::string python;
        for (const char* candidate : {"python3", "/usr/bin/python3"})
            if (python.empty() &&
                RunProcess({candidate, "-c", "import pyftpdlib"}, "", 20000).ExitCode == 0)
                python = candidate;
        if (python.empty())
            throw std::runtime_error("no python3 with pyftpdlib");
        TServerProcess server({python, work + "/server.py", home,
                               std::to_string(ServerLifetimeSeconds), std::to_string(ReplyDelayMs)},
                              20000);
        const int port = std::atoi(server.FirstLine().c_str());
        if (port <= 0)
            throw std::runtime_error("the FTP server did not start");
        std::printf("%d files, every reply held back %d ms, 4 connections\n", Files, ReplyDelayMs);

        auto started = std::chrono::steady_clock::now();
        const TProcessResult lftp =
            RunProcess({"lftp", "-u", "bench,bench", "-p", std::to_string(port), "-e",
                        "set ftp:passive-mode on; set ftp:ssl-allow no; mirror -R -P 4 " + site +
                            " /lftp; quit",
                        "127.0.0.1"},
                       "", 600000);
        const double lftpSeconds = Seconds(started);
        if (lftp.ExitCode != 0)
            throw std::runtime_error("lftp failed: " + lftp.Out);
        const double first = Publish(port, site, "corvane", Files);
        std::printf("(a) first publish: %.2f s, lftp mirror -R -P 4: %.2f s, ratio %.2f "
                    "(goal: no slower than lftp)\n",
                    first, lftpSeconds, first / lftpSeconds);

        Write(site + "/Page500.htm", Page(500, 2));
        const double changed = Publish(port, site, "corvane", 1);
        std::printf("(b) one page's title changed: %.2f s (goal: under 2 s)\n", changed);

        const double nothing = Publish(port, site, "corvane", 0);
        std::printf("(c) nothing changed: %.2f s (goal: under 1 s)\n", nothing);
        if (argc <= 1)
            std::filesystem::remove_all(work);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "corvane-bench-sync: %s\n", e.what());
        return 1;
    }
}

// corvane-bench-git [WORK_FOLDER]: publishing a 1,000-file site to a branch of a Git
// repository against the git command line doing the same with the same files, to the same
// server, in one run: (a) the first publish into an empty repository against
// "git add -A && git commit && git push" from a new working folder, (b) the publish after one
// page changed against the same three commands after the same change. Both are played
// against a repository served by git http-backend behind the tests' HTTP server
// (tests/publish/git/git-http-server.py) and against the repository as a local folder
// (file://). Prints the seconds and the ratios; each figure is the best of five runs.

#include "publish/git/GitPublisher.h"

#include "publish/ChildProcess.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int Files = 1000;
constexpr int Runs = 5;
// The HTTP server ends by itself after this many seconds, whatever happens to the run.
constexpr int ServerLifetimeSeconds = 900;

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// A page of the site: 4 to 12 KB of text that differs from page to page.
std::string Page(int number, const std::string& extra = {}) {
    std::string text =
        "<html><head><title>Page " + std::to_string(number) + "</title></head><body>\r\n" + extra;
    const int lines = 60 + (number * 37) % 120;
    for (int i = 0; i < lines; ++i)
        text += "<p>Line " + std::to_string(i) + " of page " + std::to_string(number) +
                ": the path follows the ridge above the lake.</p>\r\n";
    return text + "</body></html>\r\n";
}

void MakeSite(const std::string& folder) {
    std::filesystem::create_directories(folder);
    for (int i = 0; i < Files; ++i)
        Write(folder + "/Page" + std::to_string(i) + ".htm", Page(i));
}

void Run(const std::vector<std::string>& argv) {
    const TProcessResult r = RunProcess(argv, "", 600000);
    if (r.ExitCode != 0)
        throw std::runtime_error(argv[0] + " failed: " + r.Err);
}

std::string Bare(const std::string& root, const std::string& name) {
    Run({"git", "init", "-q", "--bare", root + "/" + name});
    return root + "/" + name;
}

// The git command line: the site in a working folder, then add, commit, push.
double GitCommandLine(const std::string& work, const std::string& address) {
    const auto start = std::chrono::steady_clock::now();
    Run({"sh", "-c",
         "cd '" + work +
             "' && git add -A && git -c user.name=Bench -c user.email=bench@example.org commit "
             "-q -m publish && git push -q '" +
             address + "' HEAD:refs/heads/gh-pages"});
    return Seconds(start);
}

struct TFigures {
    double CorvaneFirst = 1e9, GitFirst = 1e9, CorvaneOne = 1e9, GitOne = 1e9;
};

TFigures Measure(const std::string& work, const std::string& root, const std::string& kind,
                 const std::function<std::string(const std::string&)>& address) {
    TFigures figures;
    for (int run = 0; run < Runs; ++run) {
        const std::string tag = kind + std::to_string(run);
        const std::string site = work + "/site" + tag;
        MakeSite(site);
        Bare(root, "corvane" + tag + ".git");
        TGitSettings settings;
        settings.Repository = address("corvane" + tag + ".git");
        settings.AuthorName = "Bench";
        settings.AuthorEmail = "bench@example.org";
        settings.CacheFolder = work + "/cache" + tag + ".git";
        settings.User = "tester";
        settings.Token = "secret-token";
        auto start = std::chrono::steady_clock::now();
        TGitPublisher(settings).Publish(site);
        figures.CorvaneFirst = std::min(figures.CorvaneFirst, Seconds(start));
        Write(site + "/Page500.htm", Page(500, "<p>Changed.</p>\r\n"));
        start = std::chrono::steady_clock::now();
        const TGitResult result = TGitPublisher(settings).Publish(site);
        figures.CorvaneOne = std::min(figures.CorvaneOne, Seconds(start));
        if (result.Changed != 1)
            throw std::runtime_error("the one-page change committed " +
                                     std::to_string(result.Changed) + " files");

        // The git command line with the same files, into a repository of its own.
        const std::string checkout = work + "/checkout" + tag;
        MakeSite(checkout);
        Run({"git", "init", "-q", checkout});
        Bare(root, "git" + tag + ".git");
        std::string remote = address("git" + tag + ".git");
        // The command line takes the token in the address.
        if (remote.rfind("http://", 0) == 0)
            remote.insert(7, "tester:secret-token@");
        figures.GitFirst = std::min(figures.GitFirst, GitCommandLine(checkout, remote));
        Write(checkout + "/Page500.htm", Page(500, "<p>Changed.</p>\r\n"));
        figures.GitOne = std::min(figures.GitOne, GitCommandLine(checkout, remote));
    }
    return figures;
}

void Print(const char* server, const TFigures& f) {
    std::printf("| %s | first publish | %.3f | %.3f | %.2f |\n", server, f.CorvaneFirst, f.GitFirst,
                f.CorvaneFirst / f.GitFirst);
    std::printf("| %s | one page changed | %.3f | %.3f | %.2f |\n", server, f.CorvaneOne, f.GitOne,
                f.CorvaneOne / f.GitOne);
}

} // namespace

int main(int argc, char** argv) {
    const std::string work =
        argc > 1 ? argv[1]
                 : (std::filesystem::temp_directory_path() / "corvane-bench-git").string();
    const std::string source = std::getenv("CORVANE_SOURCE_DIR") ? std::getenv("CORVANE_SOURCE_DIR")
                                                                 : CORVANE_SOURCE_FOLDER;
    try {
        std::filesystem::remove_all(work);
        const std::string root = work + "/repositories";
        std::filesystem::create_directories(root);
        TServerProcess server({"python3", source + "/tests/publish/git/git-http-server.py", root,
                               std::to_string(ServerLifetimeSeconds), "tester:secret-token"},
                              20000);
        const int port = std::atoi(server.FirstLine().c_str());
        if (port <= 0)
            throw std::runtime_error("the HTTP server did not start");
        std::printf("%d files, best of %d runs\n\n", Files, Runs);
        std::printf("| server | publish | corvane s | git s | corvane / git |\n");
        std::printf("|---|---|---|---|---|\n");
        Print("git http-backend",
              Measure(work + "/http", root, "http", [&](const std::string& name) {
                  return "http://127.0.0.1:" + std::to_string(port) + "/" + name;
              }));
        Print("file://", Measure(work + "/file", root, "file", [&](const std::string& name) {
                  return "file://" + root + "/" + name;
              }));
        std::filesystem::remove_all(work);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "corvane-bench-git: %s\n", e.what());
        return 1;
    }
    return 0;
}

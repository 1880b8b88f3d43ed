// corvane-bench [WORK_FOLDER]: builds a small, a medium (with its pages in UTF-8 and again in
// ISO-8859-1) and the largest project and compares each build with cp -r of the same output
// tree, measured in the same run; then times the preview refresh after one page of the medium
// project changed.
#include "bench/BenchProject.h"
#include "generator/Driver.h"
#include "generator/Generator.h"
#include "model/CColumn.h"
#include "model/CProject.h"
#include "platform/FileSystem.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using TClock = std::chrono::steady_clock;

double Seconds(TClock::time_point a, TClock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

void RemoveTree(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

// Removing a large tree and writing back the last build's pages keep the disk busy for
// seconds; each timed step starts after that work is done.
void Settle() {
    ::sync();
}

// Time of cp -r from one tree to a fresh one.
double CopyTime(const std::string& from, const std::string& to) {
    RemoveTree(to);
    Settle();
    auto start = TClock::now();
    pid_t pid = ::fork();
    if (pid == 0) {
        ::execlp("cp", "cp", "-r", from.c_str(), to.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    auto end = TClock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "corvane-bench: cp -r failed\n");
        std::exit(1);
    }
    return Seconds(start, end);
}

struct TResult {
    double Build = 0, Copy = 0;
    TBuildStats Stats;
};

// Best of runs: the machine is shared, the fastest run is the one least disturbed.
TResult Measure(const std::string& work, const std::string& name, int columns, int pages, int runs,
                const std::string& encoding) {
    const std::string project = work + "/" + name;
    RemoveTree(project);
    MakeBenchProject(project, columns, pages, encoding);
    TXmlDocument document;
    TDProject open(project, document);
    TResult best;
    for (int run = 0; run < runs; ++run) {
        const std::string out = work + "/" + name + "-out";
        RemoveTree(out);
        MakeFolder(out);
        TBuildStats stats;
        Settle();
        auto start = TClock::now();
        BuildInto(open, out, &stats);
        double build = Seconds(start, TClock::now());
        double copy = CopyTime(out, work + "/" + name + "-copy");
        if (run == 0 || build < best.Build)
            best.Build = build, best.Stats = stats;
        if (run == 0 || copy < best.Copy)
            best.Copy = copy;
    }
    RemoveTree(work + "/" + name + "-out");
    RemoveTree(work + "/" + name + "-copy");
    return best;
}

} // namespace

int main(int argc, char** argv) {
    std::string work = argc > 1 ? argv[1]
                                : std::filesystem::temp_directory_path().string() +
                                      "/corvane-bench-" + std::to_string(::getpid());
    MakeFolder(work);
    // The medium project once more with its pages in ISO-8859-1 rather than UTF-8, the
    // texts' own encoding.
    struct TSize {
        const char* Name;
        int Columns, Pages, Runs;
        const char* Encoding;
    } sizes[] = {{"small", 10, 50, 5, "UTF-8"},
                 {"medium", 20, 500, 3, "UTF-8"},
                 {"latin1", 20, 500, 3, "Western (ISO-8859-1)"},
                 {"maximal", 100, 1000, 2, "UTF-8"}};

    std::printf("%-8s %9s %7s %9s %10s %9s %8s %9s\n", "project", "pages", "files", "MB", "build s",
                "pages/s", "MB/s", "build/cp");
    for (const TSize& size : sizes) {
        TResult r = Measure(work, size.Name, size.Columns, size.Pages, size.Runs, size.Encoding);
        double mb = static_cast<double>(r.Stats.Bytes) / 1e6;
        std::printf("%-8s %9d %7d %9.1f %10.3f %9.0f %8.1f %9.2f\n", size.Name, r.Stats.PageFiles,
                    r.Stats.Files, mb, r.Build, r.Stats.PageFiles / r.Build, mb / r.Build,
                    r.Build / r.Copy);
        std::fflush(stdout);
    }

    // The preview after one page of the medium project changed: rewrite the page, then
    // BuildPreview, as the main window does after the page dialog's OK.
    {
        TXmlDocument document;
        TDProject project(work + "/medium", document);
        BuildPreview(project);
        double best = 0;
        for (int run = 0; run < 3; ++run) {
            Settle();
            auto start = TClock::now();
            {
                TDColumn column(project.ColumnFile(0), document);
                column.Page(7).TITLE = "Changed title " + std::to_string(run);
                column.Save();
            }
            BuildPreview(project);
            double t = Seconds(start, TClock::now());
            if (run == 0 || t < best)
                best = t;
        }
        std::printf("preview refresh after one page changed (medium): %.3f s\n", best);
    }
    RemoveTree(work);
    return 0;
}

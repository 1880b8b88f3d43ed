// corvane-bench [WORK_FOLDER]: builds a small, a medium (with its pages in UTF-8 and again in
// ISO-8859-1) and the largest project and compares each build with cp -r of the same output
// tree, measured in the same run; then times the whole preview build after one page of the
// medium project changed, and on the largest project the preview's homepage after each kind
// of change and after opening it, and what the window reads and keeps around one change.
#include "bench/BenchProject.h"
#include "generator/Driver.h"
#include "generator/Generator.h"
#include "model/CColumn.h"
#include "model/CProject.h"
#include "model/DocumentCache.h"
#include "model/EarlierVersions.h"
#include "model/ProjectEditor.h"
#include "model/UndoHistory.h"
#include "model/WarmUp.h"
#include "platform/FileSystem.h"
#include "platform/XmlDocument.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

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
// The process's time in user mode so far.
double UserSeconds() {
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec) / 1e6;
}

// The process's time on the processor so far, in user mode and in the kernel (writing the
// files): what a build costs, whatever else the machine is doing meanwhile.
double CpuSeconds() {
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

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
                const std::string& encoding, bool markdown) {
    const std::string project = work + "/" + name;
    RemoveTree(project);
    MakeBenchProject(project, columns, pages, encoding, markdown);
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

// Two builds of the medium project, turn about, runs times each into a fresh folder: the
// median processor time of each build (user and kernel, as getrusage counts it for this
// process), its user time alone and its wall time, and the ratios of the second to the first.
// Processor time does not count the waits of a shared machine, which made the wall times of
// single builds differ by a third. prepare readies the project of a kind before its build.
void MeasurePair(const std::string& work, const char* const (&names)[2], TDProject* (&projects)[2],
                 const std::function<void(int kind)>& prepare, int runs) {
    std::vector<double> cpu[2], user[2], wall[2];
    TBuildStats stats[2];
    for (int run = 0; run < 2 * runs; ++run) {
        const int kind = run % 2;
        prepare(kind);
        const std::string out = work + "/" + names[kind] + "-out";
        RemoveTree(out);
        MakeFolder(out);
        Settle();
        const double cpuBefore = CpuSeconds();
        const double userBefore = UserSeconds();
        const auto start = TClock::now();
        BuildInto(*projects[kind], out, &stats[kind]);
        wall[kind].push_back(Seconds(start, TClock::now()));
        user[kind].push_back(UserSeconds() - userBefore);
        cpu[kind].push_back(CpuSeconds() - cpuBefore);
    }
    for (const char* name : names)
        RemoveTree(work + "/" + name + "-out");
    std::printf("medium, median of %d builds each\n", runs);
    std::printf("%-8s %9s %7s %10s %10s %10s\n", "build", "pages", "files", "cpu s", "user s",
                "wall s");
    for (int kind = 0; kind < 2; ++kind)
        std::printf("%-8s %9d %7d %10.3f %10.3f %10.3f\n", names[kind], stats[kind].PageFiles,
                    stats[kind].Files, Median(cpu[kind]), Median(user[kind]), Median(wall[kind]));
    std::printf("%s / %s: cpu %.2f, user %.2f, wall %.2f\n", names[1], names[0],
                Median(cpu[1]) / Median(cpu[0]), Median(user[1]) / Median(user[0]),
                Median(wall[1]) / Median(wall[0]));
    std::fflush(stdout);
}

// The medium project built in the classic and in the modern design, turn about: the modern
// pages' cost against the classic ones on the same machine in one run.
void MeasureDesigns(const std::string& work, int runs) {
    const std::string project = work + "/designs";
    RemoveTree(project);
    MakeBenchProject(project, 20, 500, "UTF-8");
    TXmlDocument document;
    TDProject open(project, document);
    const char* const names[2] = {"classic", "modern"};
    TDProject* projects[2] = {&open, &open};
    MeasurePair(
        work, names, projects,
        [&open](int kind) { open.OPTIONS.DESIGN = kind == 1 ? "Modern" : ""; }, runs);
}

// The medium project with its texts as typed and the same texts as Markdown, built turn
// about.
void MeasureMarkdown(const std::string& work, int runs) {
    const char* const names[2] = {"typed", "markdown"};
    std::unique_ptr<TXmlDocument> documents[2];
    std::unique_ptr<TDProject> owned[2];
    TDProject* projects[2] = {nullptr, nullptr};
    for (int kind = 0; kind < 2; ++kind) {
        const std::string folder = work + "/" + names[kind];
        RemoveTree(folder);
        MakeBenchProject(folder, 20, 500, "UTF-8", kind == 1);
        documents[kind] = std::make_unique<TXmlDocument>();
        owned[kind] = std::make_unique<TDProject>(folder, *documents[kind]);
        projects[kind] = owned[kind].get();
    }
    MeasurePair(
        work, names, projects, [](int) {}, runs);
}

// One change of the kind the window meets, made and saved as its dialog does.
struct TPreviewChange {
    const char* Name;
    std::function<void(TDProject&, TXmlDocument&, int run)> Make;
};

void EditPage(TDProject& project, TXmlDocument& document, int item, int page,
              const std::function<void(TDPage&)>& edit) {
    TDColumn column(project.ColumnFile(item), document);
    edit(column.Page(page));
    column.Save();
}

// What the window reads for its tree before it shows the preview: every column's titles,
// one column after another, and on two threads as the window reads them now; the best of
// runs runs.
void MeasureTreeTitles(const std::string& folder, int runs) {
    for (const unsigned threads : {1U, 2U}) {
        double best = 0;
        for (int run = 0; run < runs; ++run) {
            TXmlDocument opened;
            TDProject tree(folder, opened);
            Settle();
            auto start = TClock::now();
            std::size_t titles = 0;
            if (threads == 1) {
                for (int i = 0; i < tree.MenuCount; ++i)
                    if (tree.MenuItem(i).IsColumn())
                        titles += TProjectEditor(tree).PageTitles(i).size();
            } else {
                for (const auto& column : TProjectEditor(tree).AllPageTitles(threads))
                    titles += column.Titles.size();
            }
            double t = Seconds(start, TClock::now());
            if (run == 0 || t < best)
                best = t;
            if (titles == 0)
                std::printf("(no titles)\n");
        }
        if (threads == 1)
            std::printf("the tree's page titles at opening, one column after another (maximal): "
                        "%.3f s\n",
                        best);
        else
            std::printf("the tree's page titles at opening (maximal, %u threads): %.3f s\n",
                        threads, best);
    }
}

// The preview of the largest project: the time from a change saved to the homepage's bytes
// in Temp (BuildHomepageInto, what the window shows at once), for each kind of change; then
// the rest of the site, which the window builds in the background; and opening the project
// to its first preview.
void MeasurePreview(const std::string& folder) {
    const TPreviewChange changes[] = {
        {"one page changed",
         [](TDProject& p, TXmlDocument& d, int run) {
             EditPage(p, d, 0, 7, [run](TDPage& page) {
                 page.TEXT = "Changed text " + std::to_string(run) + "#$D#$Aand more.";
             });
         }},
        {"a page title changed",
         [](TDProject& p, TXmlDocument& d, int run) {
             EditPage(p, d, 0, 500,
                      [run](TDPage& page) { page.TITLE = "Changed title " + std::to_string(run); });
         }},
        {"a page of the last column changed",
         [](TDProject& p, TXmlDocument& d, int run) {
             EditPage(p, d, 98, 999,
                      [run](TDPage& page) { page.TITLE = "Changed title " + std::to_string(run); });
         }},
        {"a column renamed",
         [](TDProject& p, TXmlDocument&, int run) {
             p.MenuItem(50).TITLE = "Renamed column " + std::to_string(run);
             p.Save();
         }},
        {"the style changed",
         [](TDProject& p, TXmlDocument&, int run) {
             p.COLOR.TEXT_BG = static_cast<TColor>(0x00336600 + run);
             p.SIZE.MENU_WIDTH = 150 + run;
             p.Save();
         }},
        {"the language changed",
         [](TDProject& p, TXmlDocument&, int run) {
             p.LANGUAGE.Values[16] = "Previous " + std::to_string(run);
             p.Save();
         }},
        {"an option changed",
         [](TDProject& p, TXmlDocument&, int run) {
             p.OPTIONS.PAGE_TITLES = run % 2 == 0;
             p.Save();
         }},
    };
    TXmlDocument document;
    auto project = std::make_unique<TDProject>(folder, document);
    const std::string temp = folder + "/Temp";
    BuildInto(*project, temp);
    for (const TPreviewChange& change : changes) {
        // The whole build after it, in the background in the window and as the window did
        // before: for one page (most files found unchanged) and for the style (every file
        // written again).
        const bool whole = &change == &changes[0] || &change == &changes[4];
        double best = 0;
        double rest = 0;
        for (int run = 0; run < 3; ++run) {
            Settle();
            auto start = TClock::now();
            change.Make(*project, document, run);
            BuildHomepageInto(*project, temp);
            double t = Seconds(start, TClock::now());
            if (run == 0 || t < best)
                best = t;
            if (whole && run == 2) {
                Settle();
                start = TClock::now();
                BuildInto(*project, temp);
                rest = Seconds(start, TClock::now());
            }
        }
        std::printf("preview refresh after %s (maximal): %.3f s\n", change.Name, best);
        if (whole)
            std::printf("  whole preview build after it (background now, as before): %.3f s\n",
                        rest);
        std::fflush(stdout);
    }

    // Opening: the project read from its files, its homepage written into Temp, as an
    // earlier session left the folder.
    double best = 0;
    for (int run = 0; run < 3; ++run) {
        project.reset();
        Settle();
        auto start = TClock::now();
        TXmlDocument opened;
        project = std::make_unique<TDProject>(folder, opened);
        BuildHomepageInto(*project, temp);
        double t = Seconds(start, TClock::now());
        if (run == 0 || t < best)
            best = t;
        project.reset();
    }
    std::printf("open to first preview (maximal): %.3f s\n", best);

    MeasureTreeTitles(folder, 2);

    // As the window did before: the whole site at every opening.
    Settle();
    auto start = TClock::now();
    {
        TXmlDocument opened;
        TDProject whole(folder, opened);
        BuildInto(whole, temp);
    }
    std::printf("open with the whole preview build, as before (maximal): %.3f s\n",
                Seconds(start, TClock::now()));
}

// How the versions were kept before they were kept by content: every document of the version
// written again into a folder of its own, after the newest version's documents were read back
// to compare with before. Only the newest copy is left, as the size limit left it.
void KeepWholeCopy(const std::string& history, const TDocumentBytes& before,
                   const TDocumentBytes& after, int run) {
    MakeFolder(history);
    const std::string newest = history + "/" + std::to_string(run);
    TDocumentBytes kept;
    if (FolderExists(newest))
        for (const TFileEntry& entry : ListFolder(newest))
            kept[entry.Name] = ReadDocumentFile(newest + "/" + entry.Name);
    if (kept != TEarlierVersions::Kept(before))
        std::fprintf(stderr, "the whole copy found before changed\n");
    const std::string next = history + "/" + std::to_string(run + 1);
    MakeFolder(next);
    for (const auto& [name, bytes] : TEarlierVersions::Kept(after))
        WriteFileAtomically(next + "/" + name, bytes, 0600);
    RemoveTree(newest);
}

// What the window does around one page change of the largest project besides the change
// itself: the documents read before and after it (every file, as before, or through the
// cache, which reads the changed file), the undo step recorded and the version kept, each
// the way the window did it before and the way it does it now.
void MeasureChangeRecord(const std::string& folder) {
    TXmlDocument document;
    TDProject project(folder, document);
    int edits = 0;
    auto change = [&] {
        EditPage(project, document, 0, 7, [&edits](TDPage& page) {
            page.TITLE = std::string("Recorded ") + std::to_string(++edits);
        });
    };
    auto best = [](double& figure, double t, int run) {
        if (run == 0 || t < figure)
            figure = t;
    };

    // As before: every file read, the documents compared and copied whole, every document
    // written again.
    {
        const std::string history = folder + "/../whole-history";
        RemoveTree(history);
        TUndoHistory undo;
        double reading = 0;
        double recording = 0;
        double keeping = 0;
        KeepWholeCopy(history, {}, ReadProjectDocuments(project), 0);
        for (int run = 0; run < 3; ++run) {
            Settle();
            auto start = TClock::now();
            const TDocumentBytes before = ReadProjectDocuments(project);
            double read = Seconds(start, TClock::now());
            change();
            start = TClock::now();
            const TDocumentBytes after = ReadProjectDocuments(project);
            best(reading, read + Seconds(start, TClock::now()), run);
            start = TClock::now();
            undo.Record(folder, "Page", before, after);
            best(recording, Seconds(start, TClock::now()), run);
            start = TClock::now();
            KeepWholeCopy(history, before, after, run + 1);
            best(keeping, Seconds(start, TClock::now()), run);
        }
        RemoveTree(history);
        std::printf("around one page change, as before (maximal): documents read %.3f s, undo "
                    "step %.3f s, version kept whole %.3f s, together %.3f s\n",
                    reading, recording, keeping, reading + recording + keeping);
        std::fflush(stdout);
    }

    // Now: the cache's shared reading, the undo step of the rewritten document, the version
    // kept by content.
    {
        TDocumentCache cache;
        TUndoHistory undo;
        TEarlierVersions versions(folder);
        double reading = 0;
        double recording = 0;
        double keeping = 0;
        double first = 0;
        std::size_t written = 0;
        std::size_t digested = 0;
        // The first change of a session fills the cache and digests every document.
        for (int run = 0; run < 4; ++run) {
            Settle();
            auto start = TClock::now();
            const TSharedDocuments before = cache.Read(project);
            double read = Seconds(start, TClock::now());
            change();
            start = TClock::now();
            const TSharedDocuments& after = cache.Read(project);
            read += Seconds(start, TClock::now());
            start = TClock::now();
            undo.Record(folder, "Page", before, after);
            const double record = Seconds(start, TClock::now());
            start = TClock::now();
            versions.Keep("Page", before, after, 1000 + run);
            const double keep = Seconds(start, TClock::now());
            if (run == 0) {
                first = read + record + keep;
                continue;
            }
            best(reading, read, run - 1);
            best(recording, record, run - 1);
            best(keeping, keep, run - 1);
            written = versions.DocumentsWritten();
            digested = versions.DocumentsDigested();
        }
        std::printf("around one page change, now (maximal): documents read %.3f s, undo step "
                    "%.3f s, version kept by content %.3f s (%zu documents digested, %zu "
                    "written), together %.3f s\n",
                    reading, recording, keeping, digested, written, reading + recording + keeping);
        std::printf("  the first change of a session (every document read and digested): "
                    "%.3f s\n",
                    first);
        std::fflush(stdout);
    }

    // The project opened again as the window opens it: the cache and the digests warmed on a
    // thread of their own, then the first change of that session.
    {
        TDocumentCache cache;
        TUndoHistory undo;
        TEarlierVersions versions(folder);
        Settle();
        auto start = TClock::now();
        TWarmUp warmUp;
        warmUp.Start(cache, versions, folder, ProjectDocumentNames(project));
        const bool warmed = warmUp.Wait();
        const double warming = Seconds(start, TClock::now());
        start = TClock::now();
        const TSharedDocuments before = cache.Read(project);
        const std::size_t readBefore = cache.FilesRead();
        change();
        const TSharedDocuments& after = cache.Read(project);
        const std::size_t readAfter = cache.FilesRead();
        undo.Record(folder, "Page", before, after);
        versions.Keep("Page", before, after, 2000);
        const double first = Seconds(start, TClock::now());
        std::printf("  the warm-up after opening (on its own thread): %.3f s%s; then the first "
                    "change: %.3f s (%zu + %zu files read, %zu documents digested, %zu "
                    "written)\n",
                    warming, warmed ? "" : " (failed)", first, readBefore, readAfter,
                    versions.DocumentsDigested(), versions.DocumentsWritten());
        std::fflush(stdout);
    }
}

} // namespace

int main(int argc, char** argv) {
    std::string work = argc > 1 ? argv[1]
                                : std::filesystem::temp_directory_path().string() +
                                      "/corvane-bench-" + std::to_string(::getpid());
    MakeFolder(work);
    // "corvane-bench FOLDER preview" makes the largest project and times its preview only.
    if (argc > 2 && std::string(argv[2]) == "preview") {
        RemoveTree(work + "/maximal");
        MakeBenchProject(work + "/maximal", 100, 1000, "UTF-8");
        MeasurePreview(work + "/maximal");
        MeasureChangeRecord(work + "/maximal");
        RemoveTree(work);
        return 0;
    }
    // "corvane-bench FOLDER open" makes it and times only the tree's titles at opening.
    if (argc > 2 && std::string(argv[2]) == "open") {
        RemoveTree(work + "/maximal");
        MakeBenchProject(work + "/maximal", 100, 1000, "UTF-8");
        MeasureTreeTitles(work + "/maximal", 5);
        RemoveTree(work);
        return 0;
    }
    // "corvane-bench FOLDER record" makes it and times only what the window does around a
    // change.
    if (argc > 2 && std::string(argv[2]) == "record") {
        RemoveTree(work + "/maximal");
        MakeBenchProject(work + "/maximal", 100, 1000, "UTF-8");
        MeasureChangeRecord(work + "/maximal");
        RemoveTree(work);
        return 0;
    }
    // "corvane-bench FOLDER design [RUNS]" times only the medium project in both designs, by
    // processor time (seven builds each unless RUNS says).
    if (argc > 2 && std::string(argv[2]) == "design") {
        MeasureDesigns(work, argc > 3 ? std::max(1, std::atoi(argv[3])) : 7);
        RemoveTree(work);
        return 0;
    }
    // The medium project once more with its pages in ISO-8859-1 rather than UTF-8, the
    // texts' own encoding, and once more with its texts as Markdown.
    struct TSize {
        const char* Name;
        int Columns, Pages, Runs;
        const char* Encoding;
        bool Markdown;
    } sizes[] = {{"small", 10, 50, 5, "UTF-8", false},
                 {"medium", 20, 500, 3, "UTF-8", false},
                 {"markdown", 20, 500, 3, "UTF-8", true},
                 {"latin1", 20, 500, 3, "Western (ISO-8859-1)", false},
                 {"maximal", 100, 1000, 2, "UTF-8", false}};
    double mediumBuild = 0;

    // "corvane-bench FOLDER markdown [RUNS]" times only the medium project as typed and as
    // Markdown, by processor time (seven builds each unless RUNS says).
    if (argc > 2 && std::string(argv[2]) == "markdown") {
        MeasureMarkdown(work, argc > 3 ? std::max(1, std::atoi(argv[3])) : 7);
        RemoveTree(work);
        return 0;
    }

    std::printf("%-8s %9s %7s %9s %10s %9s %8s %9s\n", "project", "pages", "files", "MB", "build s",
                "pages/s", "MB/s", "build/cp");
    for (const TSize& size : sizes) {
        TResult r = Measure(work, size.Name, size.Columns, size.Pages, size.Runs, size.Encoding,
                            size.Markdown);
        double mb = static_cast<double>(r.Stats.Bytes) / 1e6;
        std::printf("%-8s %9d %7d %9.1f %10.3f %9.0f %8.1f %9.2f\n", size.Name, r.Stats.PageFiles,
                    r.Stats.Files, mb, r.Build, r.Stats.PageFiles / r.Build, mb / r.Build,
                    r.Build / r.Copy);
        if (std::string(size.Name) == "medium")
            mediumBuild = r.Build;
        if (size.Markdown)
            std::printf("  markdown build / medium build (the same texts as typed): %.2f\n",
                        r.Build / mediumBuild);
        std::fflush(stdout);
    }

    // The whole preview build after one page of the medium project changed: rewrite the
    // page, then BuildPreview.
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
        std::printf("whole preview build after one page changed (medium): %.3f s\n", best);
    }
    std::fflush(stdout);
    MeasurePreview(work + "/maximal");
    MeasureChangeRecord(work + "/maximal");
    RemoveTree(work);
    return 0;
}

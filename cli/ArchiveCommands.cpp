// corvane-cli export PROJECT_FOLDER FILE and corvane-cli import FILE [FOLDER]: a project in
// one file, written and read as File > Export Project... and Import Project... do.

#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/ProjectFolder.h"
#include "cli/Usage.h"

#include "model/ProjectArchive.h"
#include "platform/Error.h"
#include "platform/Locale.h"
#include "platform/Text.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// Set by Ctrl+C (or a hang-up or a kill) while an export or import runs: the work stops at the
// next block and removes its temporary file or folder instead of leaving it behind.
std::atomic<bool> Cancelled{false};
constexpr int CancellingSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void CancelArchiveWork(int signal) {
    // An atomic store and signal(2) are safe here; the same signal again ends the program.
    Cancelled.store(true);
    std::signal(signal, SIG_DFL);
}

class TCancelOnSignal {
  public:
    TCancelOnSignal() {
        Cancelled.store(false);
        struct sigaction action {};
        action.sa_handler = CancelArchiveWork;
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < std::size(CancellingSignals); ++i)
            ::sigaction(CancellingSignals[i], &action, &FBefore[i]);
    }
    ~TCancelOnSignal() {
        for (std::size_t i = 0; i < std::size(CancellingSignals); ++i)
            ::sigaction(CancellingSignals[i], &FBefore[i], nullptr);
    }
    TCancelOnSignal(const TCancelOnSignal&) = delete;
    TCancelOnSignal& operator=(const TCancelOnSignal&) = delete;

  private:
    struct sigaction FBefore[std::size(CancellingSignals)]{};
};

} // namespace

int RunExport(const std::vector<std::string>& args) {
    TCommandLine line;
    int status = 0;
    if (!ParseCommandLine(args, {{"--force", "-f", false}}, {"project folder", "archive file"}, 2,
                          ExportUsage, line, status))
        return status;
    std::string folder;
    if (!FindProjectFolder(line.Arguments[0], folder))
        return 1;
    const std::string archive = FullPath(line.Arguments[1]);
    TArchiveSummary summary;
    try {
        const TCancelOnSignal cancelOnSignal;
        summary = ExportProject(folder, archive, line.Has("--force"), {}, &Cancelled);
    } catch (const TError& e) {
        std::fprintf(stderr, "corvane-cli: %s\n", ControlCharactersShown(e.what()).c_str());
        return 1;
    }
    std::printf("Exported %s file%s, %s byte%s into %s\n", FormatThousands(summary.Files).c_str(),
                Plural(summary.Files), FormatThousands(summary.Bytes).c_str(),
                Plural(summary.Bytes), ControlCharactersShown(archive).c_str());
    for (const std::string& left : summary.LeftOut)
        std::printf("Left out: %s\n", ControlCharactersShown(left).c_str());
    return 0;
}

int RunImport(const std::vector<std::string>& args) {
    TCommandLine line;
    int status = 0;
    if (!ParseCommandLine(args, {}, {"archive file", "project folder"}, 1, ImportUsage, line,
                          status))
        return status;
    const std::string archive = FullPath(line.Arguments[0]);
    // Without a folder the project goes into the current folder, named as the archive is.
    const std::string folder =
        FullPath(line.Arguments.size() > 1 ? line.Arguments[1] : ArchiveProjectName(archive));
    TArchiveSummary summary;
    try {
        const TCancelOnSignal cancelOnSignal;
        summary = ImportProject(archive, folder, {}, &Cancelled);
    } catch (const TError& e) {
        std::fprintf(stderr, "corvane-cli: %s\n", ControlCharactersShown(e.what()).c_str());
        return 1;
    }
    std::printf("Imported %s file%s, %s byte%s into %s\n", FormatThousands(summary.Files).c_str(),
                Plural(summary.Files), FormatThousands(summary.Bytes).c_str(),
                Plural(summary.Bytes), ControlCharactersShown(folder).c_str());
    return 0;
}

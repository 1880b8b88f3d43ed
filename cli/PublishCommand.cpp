// corvane-cli publish PROJECT_FOLDER [--yes] [--no-build] [--verbose] [--trust FINGERPRINT]
// [--dry-run] [--all] [--jobs N] [--break-lock]: builds the site into the emptied HTML folder as
// the Publish command does (or, with --no-build, takes the HTML folder as it stands) and uploads
// its files with the project's stored settings (any publishing target) and the password from the
// keyring, the project, CORVANE_PASSWORD or the terminal. A project that synchronises (SYNC) sends
// only what changed and deletes what the site no longer has, as the publish dialog does; --dry-run
// says what that would be and changes nothing. On a terminal a progress bar follows the run;
// otherwise each step is one plain line.

#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/ProjectFolder.h"
#include "cli/Usage.h"

#include "generator/Generator.h"
#include "model/CProject.h"
#include "model/ProjectEditor.h"
#include "model/Values.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "platform/XmlDocument.h"
#include "publish/PublishPassword.h"
#include "publish/PublishRun.h"
#include "publish/PublishTarget.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <signal.h>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace {

// Text for the terminal: the names of the deletions come from the server's manifest, and no
// name may move the cursor, clear the screen or retitle the window.
std::string Shown(const std::string& text) {
    return ControlCharactersShown(text);
}
// A message of several lines (a failure and its reason, a question) shown so.
std::string ShownLines(const std::string& text) {
    return ControlCharactersShownByLine(text);
}

// The rows a synchronising run sends or deletes, one a line, and the summary.
void PrintPlan(const TPublishRun& run, std::FILE* out) {
    for (const TPublishRow& row : run.Rows) {
        if (!row.Ticked)
            continue;
        if (row.Kind == "Delete")
            std::fprintf(out, "  delete  %s\n", Shown(row.Name).c_str());
        else
            std::fprintf(out, "  upload  %s (%s, %s)\n", Shown(row.Name).c_str(), row.Size.c_str(),
                         row.Kind.c_str());
    }
    std::fprintf(out, "%s\n", run.PlanSummary.c_str());
}

// Shows a run on stderr: on a terminal one redrawn line with a bar, the percentage and the
// step, with a line of its own for each file done; elsewhere one line per step and file.
class TConsoleView : public TPublishView {
  public:
    TConsoleView(bool terminal, bool assumeYes) : FTerminal(terminal), FAssumeYes(assumeYes) {}
    // The run whose state the view shows.
    void Attach(const TPublishRun& run) { FRun = &run; }

    void StatusChanged(const std::string& text) override {
        if (FTerminal) {
            DrawWhileRunning();
        } else if (!text.empty() && text != FLastStep) {
            // A step told again (a push reporting the same count) is not a new line.
            std::fprintf(stderr, "%s\n", Shown(text).c_str());
            FLastStep = text;
        }
    }
    void ProgressChanged(int) override {
        if (FTerminal)
            DrawWhileRunning();
    }
    void RowChanged(int index) override {
        const TPublishRow& row = FRun->Rows[static_cast<std::size_t>(index)];
        Line("  " + row.Status + "  " + Shown(row.Name) + " (" + row.Size + ")");
    }
    // A synchronising run compared the site with the server: what it will send and delete,
    // once.
    void RowsChanged() override {
        if (FPlanShown)
            return;
        FPlanShown = true;
        ClearBar();
        PrintPlan(*FRun, stderr);
        FLastStep = FRun->PlanSummary;
    }
    // A message ends what the bar has to show: the run stops or fails.
    void Message(const std::string& text) override {
        ClearBar();
        FRunning = false;
        LastMessage = text;
    }
    bool Confirm(const std::string& question) override {
        LastQuestion = question;
        if (FAssumeYes)
            return FRunning = true;
        ClearBar();
        std::fprintf(stderr, "%s [y/N] ", ShownLines(question).c_str());
        std::fflush(stderr);
        std::string answer;
        if (!std::getline(std::cin, answer))
            answer.clear();
        if (::isatty(STDIN_FILENO) != 1 || !std::cin)
            std::fputs("\n", stderr);
        answer = TrimBlanks(answer);
        FRunning =
            answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes" || answer == "YES";
        return FRunning;
    }

    // Nobody is asked: a certificate or host key that does not verify is refused (--trust
    // accepts one), and its fingerprint named.
    bool Trust(const std::string&, const std::string& fingerprint) override {
        Fingerprint = fingerprint;
        return false;
    }

    // A line of its own, above the bar when there is one.
    void Line(const std::string& text) {
        ClearBar();
        std::fprintf(stderr, "%s\n", Shown(text).c_str());
        if (FTerminal && FRunning)
            Draw();
    }
    // Leaves the bar where it stands and goes on below it.
    void End() {
        if (FTerminal && FDrawn) {
            std::fputs("\n", stderr);
            FDrawn = false;
        }
        FRunning = false;
    }

    std::string LastMessage;
    std::string LastQuestion;
    std::string Fingerprint;

  private:
    // The bar shows the run from the confirmation to its end, nothing before or after.
    void DrawWhileRunning() {
        if (FRunning)
            Draw();
    }
    void Draw() {
        constexpr int Width = 30;
        const int progress = std::clamp(FRun->Progress, 0, 100);
        const int filled = progress * Width / 100;
        std::string bar = "\r\033[K[" + std::string(static_cast<std::size_t>(filled), '#') +
                          std::string(static_cast<std::size_t>(Width - filled), '-') + "] ";
        std::fprintf(stderr, "%s%3d%%  %s", bar.c_str(), progress, Shown(FRun->StatusLine).c_str());
        std::fflush(stderr);
        FDrawn = true;
    }
    void ClearBar() {
        if (FTerminal && FDrawn) {
            std::fputs("\r\033[K", stderr);
            std::fflush(stderr);
            FDrawn = false;
        }
    }

    const TPublishRun* FRun = nullptr;
    bool FTerminal;
    bool FAssumeYes;
    bool FPlanShown = false;
    // The step last written off a terminal.
    std::string FLastStep;
    bool FDrawn = false;   // the bar is on the screen now
    bool FRunning = false; // between the confirmation and the end of the run
};

// The run, or the whole-site publisher, that Ctrl+C cancels while it goes on.
TPublishRun* InterruptedRun = nullptr;
TSitePublisher* InterruptedPublisher = nullptr;

extern "C" void CancelOnInterrupt(int) {
    // Both are safe in a signal handler: atomic stores and loads, and signal(2). A second
    // Ctrl+C ends the program as usual.
    if (InterruptedRun)
        InterruptedRun->Cancel();
    if (InterruptedPublisher)
        InterruptedPublisher->Cancel();
    std::signal(SIGINT, SIG_DFL);
}

// Ctrl+C cancels the run (within a second, the file in transfer reported not uploaded)
// instead of killing the program, for as long as this lives.
class TCancelOnInterrupt {
  public:
    explicit TCancelOnInterrupt(TPublishRun& run) : TCancelOnInterrupt() { InterruptedRun = &run; }
    explicit TCancelOnInterrupt(TSitePublisher& publisher) : TCancelOnInterrupt() {
        InterruptedPublisher = &publisher;
    }
    TCancelOnInterrupt() {
        struct sigaction action {};
        action.sa_handler = CancelOnInterrupt;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0; // no SA_RESTART: a question waiting for input ends at once
        ::sigaction(SIGINT, &action, &FBefore);
    }
    ~TCancelOnInterrupt() {
        ::sigaction(SIGINT, &FBefore, nullptr);
        InterruptedRun = nullptr;
        InterruptedPublisher = nullptr;
    }
    TCancelOnInterrupt(const TCancelOnInterrupt&) = delete;
    TCancelOnInterrupt& operator=(const TCancelOnInterrupt&) = delete;

  private:
    struct sigaction FBefore {};
};

// --dry-run for a target that publishes the whole site at once: what its publish would change,
// one line a file, and its summary; the place is read, never changed.
int CompareWhole(const TPublishTarget& target, const TDPublish& record, const TPublishRun& run,
                 const std::string& siteFolder, bool verbose) {
    try {
        TTransportSettings settings = TransportSettingsOf(record, 30000);
        settings.Password = run.Password.value_or(record.PASSWORD);
        settings.Trusted = run.Typed.Trusted;
        std::unique_ptr<TSitePublisher> publisher = target.MakePublisher(record, settings);
        if (verbose)
            publisher->OnLog = [](const std::string& text) {
                std::fprintf(stderr, "%s\n", Shown(text).c_str());
            };
        std::optional<TSiteChanges> compared;
        {
            TCancelOnInterrupt interrupt(*publisher);
            compared = publisher->Compare(siteFolder);
        }
        if (!compared) {
            std::fprintf(stderr, "corvane-cli: %s cannot tell what a publish would change\n",
                         target.Name);
            return 1;
        }
        const TSiteChanges& changes = *compared;
        if (!changes.Note.empty())
            std::fprintf(stderr, "%s\n", Shown(changes.Note).c_str());
        for (const TSiteChange& change : changes.Changes)
            std::printf("  %-8s %s\n", change.Kind.c_str(), Shown(change.Name).c_str());
        std::printf("%s%s\n", Shown(changes.Summary).c_str(),
                    changes.Changes.empty() ? "" : " (nothing published: --dry-run)");
        return 0;
    } catch (const TTransportError& e) {
        if (verbose)
            std::fprintf(stderr, "%s\n", Shown(e.what()).c_str());
        std::fprintf(stderr, "corvane-cli: %s\n", Shown(e.Reason()).c_str());
        if (e.Kind() == TTransportFailure::NotTrusted && !e.Fingerprint().empty())
            std::fprintf(stderr,
                         "corvane-cli: to trust exactly this certificate or host key, run again "
                         "with --trust %s\n",
                         e.Fingerprint().c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "corvane-cli: %s\n", Shown(e.what()).c_str());
    }
    return 1;
}

} // namespace

int RunPublish(const std::vector<std::string>& args) {
    TCommandLine line;
    int status = 0;
    const std::vector<TKnownOption> options = {
        {"--yes", "-y", false}, {"--no-build", "", false},  {"--verbose", "-v", false},
        {"--trust", "", true},  {"--dry-run", "-n", false}, {"--all", "", false},
        {"--jobs", "-j", true}, {"--break-lock", "", false}};
    if (!ParseCommandLine(args, options, 1, PublishUsage, line, status))
        return status;
    const std::string& projectFolder = line.Arguments[0];
    const bool yes = line.Has("--yes"), build = !line.Has("--no-build"),
               verbose = line.Has("--verbose"), dryRun = line.Has("--dry-run");
    std::optional<int> jobs;
    if (line.Has("--jobs")) {
        jobs = TryStrictInteger(line.Value("--jobs"));
        if (!jobs || *jobs < TDPublish::MinJobs || *jobs > TDPublish::MaxJobs)
            return UsageError("--jobs takes a number from 1 to 8", PublishUsage);
    }

    TXmlDocument document;
    std::unique_ptr<TDProject> project = OpenProject(projectFolder, document);
    if (!project)
        return 1;

    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    try {
        // Neither emptied, built nor uploaded through a link to another folder.
        CheckRealFolder(project->HTMLPath());
    } catch (const TError& e) {
        std::fprintf(stderr, "corvane-cli: %s\n", Shown(e.what()).c_str());
        return 1;
    }
    if (build) {
        // As the Publish command: the HTML folder is emptied the same way (hidden files and
        // sub-folders stay), then the whole site is built.
        std::fputs("Building Project...\n", stderr);
        try {
            TProjectEditor(*project).PrepareHTMLFolder();
            Build(*project, "HTML");
        } catch (const std::exception& e) {
            std::fprintf(stderr, "corvane-cli: the site cannot be built: %s\n",
                         Shown(e.what()).c_str());
            return 1;
        }
    }

    TConsoleView view(terminal, yes);
    TPublishRun run(*project, view);
    view.Attach(run);
    if (verbose)
        run.OnLog = [&view](const std::string& line) { view.Line(line); };
    run.Show();
    run.SendAll = line.Has("--all");
    run.Jobs = jobs;
    // A lock left behind on the server is broken only when asked for; nobody is asked.
    run.BreakLock = line.Has("--break-lock");
    // Accepted for this project as the window's Trust would: stored with the settings.
    if (line.Has("--trust"))
        run.Typed.Trusted = NormalFingerprint(line.Value("--trust"));

    const TDPublish& settings = project->PUBLISH;
    // The password: the keyring's, else the project's, else CORVANE_PASSWORD, else asked on
    // the terminal; sent, never stored. Not asked for a run that stops for want of a server
    // or a user.
    const TPublishTarget* target = FindPublishTarget(settings.PROTOCOL);
    const bool usesPassword = !target || target->UsesSetting(TTargetSetting::Password);
    const TKeyringKey key = KeyringKeyOf(settings);
    if (usesPassword && !TrimBlanks(key.Host).empty() && !TrimBlanks(key.User).empty()) {
        TKeyring keyring;
        TPublishPassword password = FindPublishPassword(key, settings.PASSWORD, keyring);
        if (verbose && !password.KeyringReason.empty())
            view.Line("Keyring: " + password.KeyringReason);
        run.Password = std::move(password.Password);
    }
    std::fprintf(stderr, "%zu file%s in %s\n", run.Rows.size(), run.Rows.size() == 1 ? "" : "s",
                 Shown(project->HTMLPath()).c_str());
    if (!settings.SYNC || dryRun)
        for (const TPublishRow& row : run.Rows)
            std::fprintf(stderr, "  %s (%s)\n", Shown(row.Name).c_str(), row.Size.c_str());

    if (dryRun && target && target->MakePublisher)
        return CompareWhole(*target, settings, run, project->HTMLPath(), verbose);
    if (dryRun) {
        // What a run would send and delete; the server is read, never changed.
        if (!settings.SYNC) {
            for (TPublishRow& row : run.Rows)
                row.Kind = "New";
            run.PlanSummary = std::to_string(run.Rows.size()) +
                              " to upload (every file: the project does not synchronise)";
            PrintPlan(run, stdout);
            return 0;
        }
        TPublishOutcome compared;
        {
            TCancelOnInterrupt interrupt(run);
            compared = run.Compare();
        }
        view.End();
        if (compared != TPublishOutcome::Finished) {
            std::fprintf(stderr, "corvane-cli: %s%s%s%s\n", ShownLines(view.LastMessage).c_str(),
                         run.LastError.empty() ? "" : " (", Shown(run.LastError).c_str(),
                         run.LastError.empty() ? "" : ")");
            return 1;
        }
        if (!run.SyncRun()->ManifestNote.empty())
            std::fprintf(stderr, "%s\n", Shown(run.SyncRun()->ManifestNote).c_str());
        if (!run.OtherCopyNote.empty())
            std::fprintf(stderr, "%s\n", run.OtherCopyNote.c_str());
        PrintPlan(run, stdout);
        return 0;
    }

    TPublishOutcome outcome;
    {
        TCancelOnInterrupt interrupt(run);
        outcome = run.Publish();
    }
    view.End();
    switch (outcome) {
    case TPublishOutcome::Finished: {
        if (target && target->MakePublisher) {
            std::printf("%s\n", Shown(run.PublisherSummary).c_str());
            return 0;
        }
        if (settings.SYNC) {
            const TSyncTotals& totals = run.LastTotals;
            std::printf("Uploaded %d file%s (%lld bytes), deleted %d, %d unchanged in %.1f s\n",
                        totals.Uploaded, totals.Uploaded == 1 ? "" : "s",
                        static_cast<long long>(totals.UploadedBytes), totals.Deleted,
                        totals.Unchanged, totals.Seconds);
            if (totals.DeletesHeldBack > 0)
                std::fprintf(stderr,
                             "corvane-cli: %d files were not deleted (not confirmed; --yes "
                             "confirms)\n",
                             totals.DeletesHeldBack);
            if (totals.DeletesUnchecked > 0)
                std::fprintf(stderr,
                             "corvane-cli: %d deleted files could not be checked (the server "
                             "tells no sizes and gives no listing); the next publish deletes "
                             "them again\n",
                             totals.DeletesUnchecked);
            return 0;
        }
        std::size_t sent = 0;
        for (const TPublishRow& row : run.Rows)
            if (row.Status == TPublishRun::SuccessStatus)
                ++sent;
        if (target && !target->UsesSetting(TTargetSetting::Host))
            std::printf("Published %zu file%s to %s\n", sent, sent == 1 ? "" : "s",
                        Shown(settings.FOLDER).c_str());
        else
            std::printf("Published %zu file%s to %s:%d%s%s\n", sent, sent == 1 ? "" : "s",
                        Shown(settings.FTP_SERVER).c_str(),
                        settings.FTP_PORT == 0 && target ? target->DefaultPort : settings.FTP_PORT,
                        TrimBlanks(settings.FOLDER).empty() ? "" : " in ",
                        TrimBlanks(settings.FOLDER).empty() ? "" : Shown(settings.FOLDER).c_str());
        return 0;
    }
    case TPublishOutcome::Cancelled:
        if (!run.OtherCopyNote.empty() && view.LastQuestion.rfind(run.OtherCopyNote, 0) == 0)
            std::fprintf(stderr,
                         "corvane-cli: %s Not published (--yes publishes this copy over it)\n",
                         run.OtherCopyNote.c_str());
        else
            std::fputs("corvane-cli: not published\n", stderr);
        return 1;
    case TPublishOutcome::Failed:
        if (settings.SYNC && !run.LastTotals.LockError.empty() && !run.LastTotals.Cancelled) {
            std::fprintf(stderr, "corvane-cli: %s%s\n", Shown(run.LastTotals.LockError).c_str(),
                         run.LastTotals.LockLeft ? " --break-lock breaks it." : "");
            return 1;
        }
        std::fprintf(stderr, "corvane-cli: %s (%s)\n", ShownLines(view.LastMessage).c_str(),
                     Shown(run.LastError).c_str());
        if (settings.SYNC && run.Failures > 0)
            for (std::size_t i = 0; i < run.Rows.size(); ++i)
                if (run.Rows[i].Status == TPublishRun::FailedStatus)
                    std::fprintf(stderr, "corvane-cli: failed: %s: %s\n",
                                 Shown(run.Rows[i].Name).c_str(),
                                 Shown(run.SyncRun()->Status[i].Error).c_str());
        if (!view.Fingerprint.empty())
            std::fprintf(stderr,
                         "corvane-cli: to trust exactly this certificate or host key, publish "
                         "again with --trust %s\n",
                         view.Fingerprint.c_str());
        return 1;
    case TPublishOutcome::Stopped:
        break;
    }
    std::fprintf(stderr, "corvane-cli: %s\n", ShownLines(view.LastMessage).c_str());
    return 1;
}

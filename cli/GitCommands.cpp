// corvane-cli publish and connect for a project that publishes to a branch of a Git
// repository (PROTOCOL "Git"): the same options where they mean something there.

#include "cli/GitCommands.h"

#include "model/CProject.h"
#include "platform/Error.h"
#include "platform/Text.h"
#include "publish/PublishPassword.h"
#include "publish/Transport.h"
#include "publish/git/GitAddress.h"
#include "publish/git/GitPublisher.h"
#include "publish/git/GitRecord.h"

#include <csignal>
#include <cstdio>
#include <iostream>
#include <signal.h>
#include <string>
#include <unistd.h>

namespace {

TGitPublisher* InterruptedPublisher = nullptr;

extern "C" void CancelGitOnInterrupt(int) {
    // Only an atomic store, and signal(2): a second Ctrl+C ends the program.
    if (InterruptedPublisher)
        InterruptedPublisher->Cancel();
    std::signal(SIGINT, SIG_DFL);
}

// Ctrl+C cancels the publisher for as long as this lives.
class TCancelGitOnInterrupt {
  public:
    explicit TCancelGitOnInterrupt(TGitPublisher& publisher) {
        InterruptedPublisher = &publisher;
        struct sigaction action {};
        action.sa_handler = CancelGitOnInterrupt;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGINT, &action, &FBefore);
    }
    ~TCancelGitOnInterrupt() {
        ::sigaction(SIGINT, &FBefore, nullptr);
        InterruptedPublisher = nullptr;
    }
    TCancelGitOnInterrupt(const TCancelGitOnInterrupt&) = delete;
    TCancelGitOnInterrupt& operator=(const TCancelGitOnInterrupt&) = delete;

  private:
    struct sigaction FBefore {};
};

std::string Shown(const std::string& text) {
    return ControlCharactersShown(text);
}

// The settings of the project's record, with the token found as a password is (keyring,
// project, CORVANE_PASSWORD, terminal) for an HTTP(S) address with a user; false after the
// error.
bool SettingsOf(const TDProject& project, const TGitCommandOptions& options,
                TGitSettings& settings) {
    const TDPublish& record = project.PUBLISH;
    if (TrimBlanks(record.REPOSITORY).empty()) {
        std::fputs("corvane-cli: Need a repository.\n", stderr);
        return false;
    }
    try {
        settings = GitSettingsOf(record);
        const std::string scheme = ParseGitAddress(settings.Repository).Scheme;
        if ((scheme == "https" || scheme == "http") && !TrimBlanks(settings.User).empty()) {
            TKeyring keyring;
            TPublishPassword token =
                FindPublishPassword(GitKeyringKeyOf(record), record.PASSWORD, keyring);
            if (options.Verbose && !token.KeyringReason.empty())
                std::fprintf(stderr, "Keyring: %s\n", Shown(token.KeyringReason).c_str());
            settings.Token = std::move(token.Password);
        }
    } catch (const TError& e) {
        std::fprintf(stderr, "corvane-cli: %s\n", Shown(e.Message()).c_str());
        return false;
    }
    if (!options.Trust.empty())
        settings.Trusted = NormalFingerprint(options.Trust);
    return true;
}

void Follow(TGitPublisher& publisher, bool verbose) {
    if (verbose)
        publisher.OnLog = [](const std::string& line) {
            std::fprintf(stderr, "%s\n", Shown(line).c_str());
        };
}

// The failure's plain sentence, and how to trust a host key or certificate.
int Failed(const TTransportError& e, bool verbose) {
    if (verbose)
        std::fprintf(stderr, "%s\n", Shown(e.what()).c_str());
    std::fprintf(stderr, "corvane-cli: %s\n", Shown(e.Reason()).c_str());
    if (e.Kind() == TTransportFailure::NotTrusted && !e.Fingerprint().empty())
        std::fprintf(stderr,
                     "corvane-cli: to trust exactly this certificate or host key, run again "
                     "with --trust %s\n",
                     e.Fingerprint().c_str());
    return 1;
}

void PrintChanges(const TGitResult& result, std::FILE* out) {
    for (const TGitChange& change : result.Changes)
        std::fprintf(out, "  %-8s %s\n", GitChangeKindText(change.Kind),
                     Shown(change.Name).c_str());
}

} // namespace

int PublishToGit(TDProject& project, const TGitCommandOptions& options) {
    TGitSettings settings;
    if (!SettingsOf(project, options, settings))
        return 1;
    // Accepted for this project, as for the other protocols: kept with its settings.
    if (!options.Trust.empty() && project.PUBLISH.TRUSTED != settings.Trusted) {
        try {
            project.PUBLISH.TRUSTED = settings.Trusted;
            project.Save();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "corvane-cli: %s\n", Shown(e.what()).c_str());
            return 1;
        }
    }
    TGitPublisher publisher(settings);
    Follow(publisher, options.Verbose);
    const std::string where = settings.Branch + " of " + Shown(settings.Repository);
    try {
        TCancelGitOnInterrupt interrupt(publisher);
        if (options.DryRun) {
            // What the commit would change; nothing is pushed.
            const TGitResult result = publisher.Compare(project.HTMLPath());
            if (!result.ManifestNote.empty())
                std::fprintf(stderr, "%s\n", Shown(result.ManifestNote).c_str());
            PrintChanges(result, stdout);
            std::printf("%s%s\n", result.Message.c_str(),
                        result.Commit.empty() && result.Message != TGitPublisher::NothingMessage
                            ? " (not committed: --dry-run)"
                            : "");
            return 0;
        }
        if (!options.Yes) {
            std::fprintf(stderr, "Publish your website to %s? [y/N] ", where.c_str());
            std::fflush(stderr);
            std::string answer;
            if (!std::getline(std::cin, answer))
                answer.clear();
            answer = TrimBlanks(answer);
            if (answer != "y" && answer != "Y" && answer != "yes" && answer != "Yes") {
                std::fputs("corvane-cli: not published\n", stderr);
                return 1;
            }
        }
        const TGitResult result = publisher.Publish(project.HTMLPath());
        if (!result.ManifestNote.empty())
            std::fprintf(stderr, "%s\n", Shown(result.ManifestNote).c_str());
        if (result.Commit.empty()) {
            std::printf("%s\n", result.Message.c_str());
            return 0;
        }
        PrintChanges(result, stderr);
        std::printf("%s (commit %s on %s)\n", result.Message.c_str(),
                    result.Commit.substr(0, 12).c_str(), where.c_str());
        return 0;
    } catch (const TTransportError& e) {
        return Failed(e, options.Verbose);
    } catch (const TError& e) {
        std::fprintf(stderr, "corvane-cli: %s%s%s\n", Shown(e.Message()).c_str(),
                     e.FileName().empty() ? "" : ": ", Shown(e.FileName()).c_str());
        return 1;
    }
}

int ConnectToGit(const TDProject& project, const TGitCommandOptions& options) {
    TGitSettings settings;
    if (!SettingsOf(project, options, settings))
        return 1;
    TGitPublisher publisher(settings);
    Follow(publisher, options.Verbose);
    try {
        TCancelGitOnInterrupt interrupt(publisher);
        const std::vector<std::string> branches = publisher.Branches();
        std::printf("Connected to %s\n", Shown(settings.Repository).c_str());
        std::string list;
        for (const std::string& branch : branches)
            list += (list.empty() ? "" : ", ") + Shown(branch);
        std::printf("Branches: %s\n",
                    branches.empty() ? "none (an empty repository)" : list.c_str());
        bool found = false;
        for (const std::string& branch : branches)
            found = found || branch == settings.Branch;
        if (found)
            std::printf("The branch %s is there.\n", Shown(settings.Branch).c_str());
        else
            std::printf("The branch %s is not there yet; the first publish starts it.\n",
                        Shown(settings.Branch).c_str());
        std::printf("Everything works.\n");
        return 0;
    } catch (const TTransportError& e) {
        return Failed(e, options.Verbose);
    } catch (const TError& e) {
        std::fprintf(stderr, "corvane-cli: %s\n", Shown(e.Message()).c_str());
        return 1;
    }
}

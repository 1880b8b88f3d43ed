#pragma once

// The site published as a commit on a branch of a Git repository (libgit2). A run fetches
// the branch alone (no tags; the libgit2 of Debian 12 cannot fetch shallowly) into a local
// repository of its own that lasts between runs, so that a later run fetches only what is
// new. The new commit's tree is the branch's tree with the site's files put into FOLDER and
// the files that the previous publish made there (the manifest, .corvane-manifest, kept in
// the branch beside them) and that the site no longer has taken out; everything else in the
// branch stays as it is. A file of the last publish that the owner changed in the branch since
// (it is no longer what the manifest says was written) is kept as it is, and reported; so is a
// file of the branch that the manifest does not list where the site has one of that name (the
// owner put it there: their own 404.html). The push
// only ever moves the branch forward: when the branch moved since the fetch, the run fetches and
// builds the commit again (twice at most); a branch whose history no longer holds the last commit
// published from here is refused.
//
// Every failure is a TTransportError with its kind and one plain sentence (Reason).

#include "publish/Manifest.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

struct git_remote;
struct git_repository;

struct TGitSettings {
    // The repository's address (see TGitAddress) and the branch that receives the site.
    std::string Repository;
    std::string Branch = "gh-pages";
    // The folder inside the branch ("" for its root; "docs", "site/www").
    std::string Folder;
    std::string AuthorName;
    std::string AuthorEmail;
    // HTTPS: the user name and the token (a password where the host takes one).
    std::string User;
    std::string Token;
    // The SHA-256 fingerprint of a host key or certificate that the owner accepted although
    // it does not verify ("AB:CD:..."); empty for none.
    std::string Trusted;
    // SSH: the known_hosts file (the user's when empty) and a private key file (when empty,
    // the agent's keys, then ~/.ssh/id_ed25519, id_ecdsa and id_rsa).
    std::string KnownHostsFile;
    std::string IdentityFile;
    // The local repository that keeps what was fetched; DefaultCacheFolder when empty.
    std::string CacheFolder;
    // The copy of the project that the manifest names as its writer (TDPublish.PROJECT_ID).
    std::string ProjectId;
};

enum class TGitChangeKind { New, Changed, Removed, Kept };

// "New", "Changed", "Removed" or "Kept".
const char* GitChangeKindText(TGitChangeKind kind);

struct TGitChange {
    std::string Name;
    TGitChangeKind Kind = TGitChangeKind::New;
    std::int64_t Size = 0;
};

struct TGitResult {
    // What the commit changes in FOLDER, the site's files in name order, then the removals;
    // the files kept (Kept) where they would have been.
    std::vector<TGitChange> Changes;
    int Changed = 0;
    int Removed = 0;
    // Whether the branch was there before (else the commit starts it, without history).
    bool BranchExisted = false;
    // The new commit (40 hexadecimal digits); empty when there was nothing to publish.
    std::string Commit;
    // "Publish from Corvane: N changed, M removed", or NothingMessage.
    std::string Message;
    // How many times the commit was built (1, or more when the branch moved meanwhile).
    int Attempts = 0;
    // The manifest in the branch could not be read: nothing was removed (why).
    std::string ManifestNote;
    // The files that the last publish wrote and the owner changed in the branch since, left
    // as they are (neither written over nor removed).
    std::vector<std::string> Kept;
    // The files of the branch that the last publish did not make (the manifest does not list
    // them) where the site has a file of that name, left as they are.
    std::vector<std::string> Foreign;
    // "N files kept: changed in the branch since the last publish (NAMES)", then "NAME kept:
    // put in the branch by someone else; ..." for each of Foreign, joined by "; "; empty for
    // none.
    std::string KeptNote() const;
};

class TGitPublisher {
  public:
    static constexpr const char* NothingMessage = "Nothing to publish";
    // How many times a commit is built again when the branch moved before the push.
    static constexpr int MaxRetries = 2;

    explicit TGitPublisher(TGitSettings settings);
    ~TGitPublisher();
    TGitPublisher(const TGitPublisher&) = delete;
    TGitPublisher& operator=(const TGitPublisher&) = delete;

    // Fetches the branch and works out what a publish of the plain files directly in
    // siteFolder (hidden ones left out) would change; writes no commit and pushes nothing.
    TGitResult Compare(const std::string& siteFolder);
    // Fetches, builds the commit and pushes it; with nothing changed, no commit and no push
    // (Message is NothingMessage).
    TGitResult Publish(const std::string& siteFolder);
    // The branches of the repository, in name order (the connection test).
    std::vector<std::string> Branches();

    // Ends the run under way within 0.1 s, or at its next step where libgit2 works on its own
    // (safe from any thread and a signal handler).
    void Cancel() noexcept;

    // The names whose changes a publish makes (the files ticked in the list); none: every
    // change. A changed file left out keeps the branch's version, a removal left out stays.
    std::optional<std::set<std::string>> Selected;

    // Milliseconds for the connect and each read and write (over SSH each step of the
    // handshake and the login too); 0 waits for ever. Set before a run.
    int ReadTimeout = 30000;

    // The step under way and how far the run is (0 to 100).
    std::function<void(int percent, const std::string& step)> OnProgress;
    // A line of the exchange (what was fetched, built and pushed), for a verbose log.
    std::function<void(const std::string&)> OnLog;
    // Tests: called right before each push, with the attempt (1 to 1 + MaxRetries).
    std::function<void(int attempt)> BeforePush;

    // The local repository for repository and branch: under $XDG_CACHE_HOME (else
    // ~/.cache)/corvane/git, named by a hash of both.
    static std::string DefaultCacheFolder(const std::string& repository, const std::string& branch);

    // The callbacks' state, for libgit2's C callbacks (not for callers).
    struct TCallbackState;

  private:
    TGitResult Run(const std::string& siteFolder, bool push);
    void Open();
    void OpenRepository();
    // An anonymous remote of the repository's address (libgit2's result code).
    int NewRemote(git_remote** remote);
    // Connects, lists the branches and (with download) fetches the publishing branch when
    // the local repository lacks its tip; false when the repository has no such branch.
    bool Fetch(std::string& tip, bool download);
    void Progress(int percent, const std::string& step);
    void Log(const std::string& line);
    [[noreturn]] void Fail(const std::string& step, int code);
    void CheckCancelled();

    TGitSettings FSettings;
    git_repository* FRepository = nullptr;
    std::atomic<bool> FCancelled{false};
    TCallbackState* FState = nullptr;
};

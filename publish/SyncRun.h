#pragma once

// A synchronising publish without its window: Prepare connects, reads the manifest the server
// holds and compares the site with it (the plan); Run sends the plan's ticked files over up
// to eight connections at once, then deletes the ticked files the site no longer has, then
// writes the new manifest. Each file goes up under a temporary name in the same folder and is
// renamed into place, so that a visitor never gets half a page; a broken run leaves the old
// manifest, so the server never claims, through it, more than it was sent, and the pending
// list written before the first upload marks what the run may have changed since. Before it
// writes anything Run takes the lock in the remote folder (publish/RemoteLock.h) and checks
// that the lists there are still what Prepare read; it removes the lock when it ends, after a
// failure or a Cancel too.
//
// Every callback is called on the thread that called Prepare or Run, never on a connection's
// own thread. Cancel may be called from any thread and from a signal handler.

#include "publish/PublishTarget.h"
#include "publish/SyncPlan.h"
#include "publish/Transport.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

enum class TSyncState {
    Skipped, // not ticked for this run (or a deletion held back)
    Waiting, // ticked, not yet begun
    Sending, // under way (upload or delete)
    Done,    // uploaded and in place, or deleted (also when it was already gone)
    Failed,  // given up on; Error says why
    // Deleted as far as the server answered, but whether the file is gone could not be
    // checked (the server tells no sizes and gives no listing); it stays listed, its content
    // unknown, and the next run deletes it again. Error says so.
    Unchecked,
};

struct TSyncItemStatus {
    TSyncState State = TSyncState::Skipped;
    // The bytes of this file sent so far in the attempt under way.
    std::int64_t Sent = 0;
    // How many attempts were made (1 plus the retries).
    int Attempts = 0;
    // The account of the failure that ended it (Failed).
    std::string Error;
};

// What one Run did.
struct TSyncTotals {
    int Uploaded = 0;
    std::int64_t UploadedBytes = 0;
    int Deleted = 0;
    // Deletions the server answered but whose effect could not be checked (Unchecked).
    int DeletesUnchecked = 0;
    // The site's files left alone because they are unchanged.
    int Unchanged = 0;
    // Items given up on (upload or delete).
    int Failures = 0;
    // Deletions not made because more than TSyncPlan::DeleteCap were ticked without the
    // user's confirmation; they stay listed in the manifest.
    int DeletesHeldBack = 0;
    // Deletions not begun because an upload failed.
    int DeletesNotBegun = 0;
    bool ManifestWritten = false;
    // Why the manifest, or the list of files under way written before anything is sent,
    // could not be written (the run then counts as failed).
    std::string ManifestError;
    bool Cancelled = false;
    double Seconds = 0;
    // Why the run wrote nothing at all: another publish holds the lock, a lock left behind
    // was not broken (LockLeft), the server's lists changed since Prepare (ServerChanged:
    // compare again), or the lock could not be taken.
    std::string LockError;
    bool LockLeft = false;
    bool ServerChanged = false;
    // The time the manifest's header was given when the run wrote (or tried to write) a
    // manifest with it; 0 otherwise.
    std::int64_t PublishedAt = 0;

    bool Succeeded() const {
        return Failures == 0 && !Cancelled && ManifestError.empty() && LockError.empty();
    }
};

class TSyncRun {
  public:
    using TTransportMaker = std::function<std::unique_ptr<TTransport>(const TTransportSettings&)>;

    // The name a file is sent under before it is renamed into place.
    static constexpr const char* PartPrefix = PartFilePrefix;
    // Further attempts after a transient failure.
    static constexpr int Retries = 3;
    static constexpr int MaxJobs = 8;

    // settings: how to reach the server; folder: the remote folder (none when blank);
    // siteFolder: the local folder of the site (the HTML folder).
    TSyncRun(TTransportSettings settings, std::string folder, std::string siteFolder,
             TTransportMaker maker = MakeTransport);
    ~TSyncRun();
    TSyncRun(const TSyncRun&) = delete;
    TSyncRun& operator=(const TSyncRun&) = delete;

    // Connections at once, clamped to 1..8.
    int Jobs = 4;
    // The pause before the first retry of a file; each further pause is twice as long.
    int RetryPauseMs = 500;
    // How long a lock found without its owner file is watched for one before it counts as
    // left behind: the owner file comes after the folder, seconds later over a slow link.
    int LockOwnerWaitMs = 10000;

    // The step under way ("Connect FTP Server...", "Upload index.htm ...").
    std::function<void(const std::string&)> OnStatus;
    // Status[index] changed.
    std::function<void(std::size_t)> OnItem;
    // The bytes sent so far of all the files to send.
    std::function<void(std::int64_t, std::int64_t)> OnProgress;
    // Every line a connection sends and receives (never a password), prefixed with the
    // connection's number when there is more than one.
    std::function<void(const std::string&)> OnLog;
    // What a transport adds to the status line (passive mode refused, and so on).
    std::function<void(const std::string&)> OnNotice;
    // Asked by Run whether to break a lock that a publish left behind (the question says
    // whose); true breaks it. None: such a lock is never broken.
    std::function<bool(const std::string&)> OnBreakLock;

    // The copy of the project that publishes (TDPublish::PROJECT_ID): a run that writes the
    // manifest names it there, with the time. Empty: the manifest names no writer.
    std::string ProjectId;
    // Seconds since 1970 now (the manifest's time, the lock's age); tests fix it.
    std::function<std::int64_t()> Clock;

    // Connects, changes to the folder, reads the manifest (missing or unreadable: every file
    // counts as new and nothing is deleted), lists the site and makes the plan. Throws the
    // TTransportError of a failed connection, folder or manifest read (a broken connection,
    // not a missing or unreadable manifest), the TError of a site file that cannot be read.
    void Prepare();
    // Whether Prepare found a manifest it could read.
    bool ManifestFound = false;
    // Why the manifest on the server was not used, when it was there but unreadable.
    std::string ManifestNote;
    // Which copy of the project wrote the manifest read, and when (TManifest's header: empty
    // and 0 when it does not say, or no manifest was read).
    std::string RemotePublisherId;
    std::int64_t RemotePublishedAt = 0;

    // The plan: the caller may tick and untick its items between Prepare and Run.
    TSyncPlan Plan;
    // One status per item of the plan.
    std::vector<TSyncItemStatus> Status;

    // Sends the ticked files, then (when none failed) deletes the ticked deletions, at most
    // TSyncPlan::DeleteCap of them unless deletesConfirmed, then (when nothing failed) writes
    // the manifest. Failures are counted per item, never thrown; a Run without a Prepare that
    // succeeded throws TError.
    TSyncTotals Run(bool deletesConfirmed = false);
    // Ends Prepare or Run within a second; the items under way fail as cancelled. A Cancel
    // before them ends them too, until ResetCancel: neither forgets one by itself, so that a
    // Cancel that comes just before a Run is never lost.
    void Cancel() noexcept;
    // Forgets a Cancel, for a next Run (as Retry Failed makes) after a cancelled one.
    void ResetCancel() noexcept;

    // After a run with failures: only the failed items stay ticked, for "Retry Failed".
    void TickOnlyFailed();
    int Failures() const;
    // What the server holds of what this program published, as far as the runs know: the
    // manifest read, with every file sent and deleted since. It is what Run writes.
    TManifest ServerManifest() const;

  private:
    struct TEvent {
        enum class TKind { Status, Item, Progress, Log, Notice };
        TKind Kind = TKind::Log;
        std::size_t Index = 0;
        TSyncState State = TSyncState::Waiting;
        std::int64_t Bytes = 0;
        int Attempts = 0;
        std::string Text;
    };

    void Post(TEvent event);
    void Drain();
    void Apply(const TEvent& event);
    // Runs work(connection, index) for each index on up to Jobs connections.
    void RunPhase(const std::vector<std::size_t>& items, bool uploads);
    void Worker(int connection, const std::vector<std::size_t>& items,
                std::atomic<std::size_t>& next, bool uploads);
    void Item(int connection, std::size_t index, bool upload);
    void SendFile(TTransport& transport, std::size_t index);
    // Deletes name on the server and checks that it is gone (already gone is as good as
    // deleted); a file that stays fails as FileRefused. Absent, or Unknown when the server
    // cannot tell.
    static TPresence DeleteChecked(TTransport& transport, const std::string& name);
    // DeleteChecked, then what the server holds no longer lists name, or lists it with its
    // content unknown when the check could not be made; false then.
    bool DeleteFile(TTransport& transport, const std::string& name);
    // Sends text to the server as name, through a temporary name; the error, or nothing.
    std::string WriteRemoteText(const std::string& name, const std::string& text);
    void WriteManifest(TSyncTotals& totals);
    // Before anything is sent or deleted: the pending list on the server names names (and
    // what it named already); a list already there is replaced only after the manifest lists
    // just what is known. False, with the run's error set, when either cannot be written.
    bool MarkPending(const std::set<std::string>& names, TSyncTotals& totals);
    // After the manifest: the pending list names only what is still unknown, or goes.
    void ClearPending();
    // Prepare's download of a list: its text, recorded as what the server holds (a failure,
    // recorded as missing or unreadable, is thrown).
    std::string Fetch(TTransport& transport, const std::string& name);
    // The form of the list name on the server now: "=" and its text, "missing" or
    // "unreadable" (also when it is longer than maxBytes); a broken connection or a Cancel is
    // thrown.
    std::string Observed(TTransport& transport, const std::string& name,
                         std::int64_t maxBytes = TManifest::MaxBytes);
    // An observed form as MayHold records it: the text's SHA-256 in place of the text (a
    // manifest may be large).
    static std::string Digested(const std::string& observed);
    // Records that the server may hold observed (Digested) as the list name: the only form it
    // may hold, or one more (after a write that failed half-way).
    void MayHold(const std::string& name, const std::string& observed, bool only);
    // Takes the lock before the run writes anything, breaking one left behind when
    // OnBreakLock agrees, and checks that the lists are what Prepare read; false, with
    // totals.LockError set, when the run is not to write.
    bool TakeLock(TSyncTotals& totals);
    // Removes the lock (its owner file, then the folder) when this run holds it, on a
    // connection of its own after a Cancel. Never fails; a lock that stays is logged.
    void ReleaseLock() noexcept;
    // A new transport in slot connection, not yet connected.
    TTransport& NewTransport(int connection);
    // A new connection in slot connection, connected and in the folder.
    TTransport& Fresh(int connection);
    // The slot's connection, or a new one when it has none or lost it.
    TTransport& Ensure(int connection);
    void DropConnections();
    // Waits ms milliseconds unless cancelled; false when cancelled.
    bool Pause(int ms) const;
    bool Cancelled() const { return FCancelled.load(); }

    TTransportSettings FSettings;
    std::string FFolder;
    std::string FSiteFolder;
    TTransportMaker FMaker;

    std::atomic<bool> FCancelled{false};
    // Cleared once a connection found that the server cannot take commands sent together.
    std::atomic<bool> FPipelining{true};
    // Set once a connection found that the server refuses renames altogether; every
    // connection after it (and each connection's next file) knows it from the start.
    std::atomic<bool> FRenamesRefused{false};
    // The connection of each slot; read by Cancel, so atomic. The objects live as long as
    // the run (FTransports), so that a Cancel holding a pointer never reaches a dead one.
    std::array<std::atomic<TTransport*>, MaxJobs> FActive{};
    std::mutex FTransportsMutex;
    std::vector<std::unique_ptr<TTransport>> FTransports;

    // Whether Prepare succeeded.
    bool FPrepared = false;
    // Whether the server's manifest is Plan.Remote, as read or as last written.
    bool FManifestCurrent = false;
    // Whether this run holds the lock in the remote folder.
    bool FLocked = false;
    // What the server may hold as each list, as far as this run knows (Observed's forms).
    std::map<std::string, std::set<std::string>> FMayHold;
    // Whether the server holds a pending list, and the names it holds.
    bool FPendingFound = false;
    std::set<std::string> FPendingNames;
    // For each file this run sends, the other spellings of its name that the manifest lists
    // and that its upload replaces on a server that ignores case: they go with it.
    std::map<std::string, std::vector<std::string>> FReplaced;
    mutable std::mutex FServerMutex;
    // What the server's manifest holds now, where it differs from Plan.Remote: a copy is made
    // at the first change only, so that a large manifest is not held twice while nothing
    // changed (a run compared, or sending nothing).
    std::optional<TManifest> FServer;
    // FServer, made from Plan.Remote when it is not yet; FServerMutex held.
    TManifest& ChangedServer();
    // Plan.Remote becomes what the server holds (FServerMutex held).
    void TakeServerIntoPlan() {
        if (FServer)
            Plan.Remote = std::move(*FServer);
        FServer.reset();
    }

    std::mutex FEventsMutex;
    std::condition_variable FEventsReady;
    std::deque<TEvent> FEvents;

    std::int64_t FBytesDone = 0;
    std::int64_t FBytesTotal = 0;
    TSyncTotals* FTotals = nullptr;
};

#include "publish/SyncRun.h"

#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Sha256.h"
#include "platform/Text.h"
#include "publish/RemoteLock.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>
#include <thread>
#include <unistd.h>
#include <utility>

namespace {

// The form of a list the server holds: "=" and its text (or digest). Appended, since g++ 12
// warns falsely (-Wrestrict) of "=" + a string when it optimises.
std::string HeldForm(const std::string& text) {
    std::string form(1, '=');
    form += text;
    return form;
}

// Progress of a file is told at most every so many bytes (and at its end).
constexpr std::int64_t ProgressStep = 64 * 1024;

// A local file holding text for as long as it lives: the manifest goes up from it.
class TLocalTextFile {
  public:
    explicit TLocalTextFile(const std::string& text) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "corvane-manifest-XXXXXX").string();
        const int fd = ::mkstemp(pattern.data());
        if (fd < 0)
            throw TError(std::string("Cannot make a temporary file: ") + std::strerror(errno),
                         pattern);
        FPath = pattern;
        std::size_t at = 0;
        while (at < text.size()) {
            const ssize_t n = ::write(fd, text.data() + at, text.size() - at);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                const int error = errno;
                ::close(fd);
                throw TError(std::string("Cannot write a temporary file: ") + std::strerror(error),
                             FPath);
            }
            at += static_cast<std::size_t>(n);
        }
        ::close(fd);
    }
    ~TLocalTextFile() { ::unlink(FPath.c_str()); }
    TLocalTextFile(const TLocalTextFile&) = delete;
    TLocalTextFile& operator=(const TLocalTextFile&) = delete;
    const std::string& Path() const { return FPath; }

  private:
    std::string FPath;
};

// The locks the runs of this process hold: a lock on the server that names this process is
// one an earlier run left only while none is held here.
std::atomic<int> LocksHeldHere{0};

std::string ConnectionPrefix(int connection) {
    std::string prefix("[");
    prefix.append(std::to_string(connection + 1)).append("] ");
    return prefix;
}

} // namespace

TSyncRun::TSyncRun(TTransportSettings settings, std::string folder, std::string siteFolder,
                   TTransportMaker maker)
    : FSettings(std::move(settings)), FFolder(std::move(folder)),
      FSiteFolder(std::move(siteFolder)), FMaker(std::move(maker)) {
    if (!FSiteFolder.empty() && FSiteFolder.back() != '/')
        FSiteFolder.push_back('/');
    for (auto& slot : FActive)
        slot = nullptr;
}

TSyncRun::~TSyncRun() {
    DropConnections();
}

void TSyncRun::Cancel() noexcept {
    FCancelled = true;
    for (auto& slot : FActive)
        if (TTransport* transport = slot.load())
            transport->Cancel();
}

void TSyncRun::ResetCancel() noexcept {
    FCancelled = false;
    for (auto& slot : FActive)
        if (TTransport* transport = slot.load())
            transport->ResetCancel();
}

void TSyncRun::Post(TEvent event) {
    {
        std::lock_guard<std::mutex> lock(FEventsMutex);
        FEvents.push_back(std::move(event));
    }
    FEventsReady.notify_one();
}

void TSyncRun::Drain() {
    std::deque<TEvent> events;
    {
        std::lock_guard<std::mutex> lock(FEventsMutex);
        events.swap(FEvents);
    }
    for (const TEvent& event : events)
        Apply(event);
}

void TSyncRun::Apply(const TEvent& event) {
    switch (event.Kind) {
    case TEvent::TKind::Status:
        if (OnStatus)
            OnStatus(event.Text);
        break;
    case TEvent::TKind::Log:
        if (OnLog)
            OnLog(event.Text);
        break;
    case TEvent::TKind::Notice:
        if (OnNotice)
            OnNotice(event.Text);
        break;
    case TEvent::TKind::Progress: {
        TSyncItemStatus& status = Status[event.Index];
        FBytesDone += event.Bytes - status.Sent;
        status.Sent = event.Bytes;
        if (OnProgress)
            OnProgress(FBytesDone, FBytesTotal);
        break;
    }
    case TEvent::TKind::Item: {
        TSyncItemStatus& status = Status[event.Index];
        const TSyncItem& item = Plan.Items[event.Index];
        status.State = event.State;
        status.Attempts = event.Attempts;
        status.Error = event.Text;
        const bool upload = item.Kind != TSyncKind::Delete;
        if (upload && event.State != TSyncState::Sending) {
            // A file done counts whole; one that failed counts as not sent.
            const std::int64_t now = event.State == TSyncState::Done ? item.Size : 0;
            FBytesDone += now - status.Sent;
            status.Sent = now;
            if (OnProgress)
                OnProgress(FBytesDone, FBytesTotal);
        }
        if (FTotals) {
            if (event.State == TSyncState::Done && upload) {
                ++FTotals->Uploaded;
                FTotals->UploadedBytes += item.Size;
            } else if (event.State == TSyncState::Done) {
                ++FTotals->Deleted;
            } else if (event.State == TSyncState::Unchecked) {
                ++FTotals->DeletesUnchecked;
            } else if (event.State == TSyncState::Failed) {
                ++FTotals->Failures;
            }
        }
        if (OnItem)
            OnItem(event.Index);
        break;
    }
    }
}

bool TSyncRun::Pause(int ms) const {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!Cancelled()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= until)
            return true;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            until - now, std::chrono::milliseconds(20)));
    }
    return false;
}

TTransport& TSyncRun::NewTransport(int connection) {
    if (TTransport* old = FActive[static_cast<std::size_t>(connection)].load()) {
        // A server that could not take commands sent together gets one at a time from now on.
        if (!old->Pipelining())
            FPipelining = false;
        if (old->RenamesRefused())
            FRenamesRefused = true;
        old->Disconnect();
    }
    std::unique_ptr<TTransport> made = FMaker(FSettings);
    TTransport* transport = made.get();
    if (!FPipelining.load())
        transport->SetPipelining(false);
    if (FRenamesRefused.load())
        transport->SetRenamesRefused(true);
    {
        std::lock_guard<std::mutex> lock(FTransportsMutex);
        FTransports.push_back(std::move(made));
    }
    const std::string prefix = Jobs > 1 ? ConnectionPrefix(connection) : std::string();
    transport->OnLog = [this, prefix](const std::string& line) {
        TEvent event;
        event.Kind = TEvent::TKind::Log;
        event.Text = prefix + line;
        Post(std::move(event));
    };
    transport->OnStatus = [this](const std::string& notice) {
        TEvent event;
        event.Kind = TEvent::TKind::Notice;
        event.Text = notice;
        Post(std::move(event));
    };
    FActive[static_cast<std::size_t>(connection)] = transport;
    // A Cancel that came before this connection was there.
    if (Cancelled())
        transport->Cancel();
    return *transport;
}

TTransport& TSyncRun::Fresh(int connection) {
    TTransport& transport = NewTransport(connection);
    transport.Connect();
    if (!TrimBlanks(FFolder).empty())
        transport.ChangeFolder(FFolder);
    return transport;
}

TTransport& TSyncRun::Ensure(int connection) {
    TTransport* transport = FActive[static_cast<std::size_t>(connection)].load();
    if (transport && transport->Connected())
        return *transport;
    return Fresh(connection);
}

void TSyncRun::DropConnections() {
    for (auto& slot : FActive) {
        if (TTransport* transport = slot.load())
            transport->Disconnect();
        slot = nullptr;
    }
}

void TSyncRun::Prepare() {
    FPrepared = false;
    DropConnections();
    ManifestFound = false;
    ManifestNote.clear();
    RemotePublisherId.clear();
    RemotePublishedAt = 0;
    FMayHold.clear();
    auto status = [this](const std::string& text) {
        Drain();
        if (OnStatus)
            OnStatus(text);
    };
    // What the connection logged is told before whatever ended Prepare.
    struct TDrainAtEnd {
        TSyncRun& Run;
        ~TDrainAtEnd() { Run.Drain(); }
    } drainAtEnd{*this};

    // The connection of slot 0, made step by step so that each step is shown.
    TTransport* transport = &NewTransport(0);
    status("Connect FTP Server...");
    transport->Connect();
    if (!TrimBlanks(FFolder).empty()) {
        status("Change Folder...");
        transport->ChangeFolder(FFolder);
    }

    status("Read Manifest...");
    TManifest remote;
    try {
        remote = TManifest::Parse(Fetch(*transport, TManifest::FileName));
        ManifestFound = true;
    } catch (const TTransportError& e) {
        if (e.Kind() == TTransportFailure::Cancelled || Cancelled() ||
            IsTransientFailure(e, FSettings.Protocol))
            throw;
        if (e.Kind() != TTransportFailure::FileMissing)
            ManifestNote = std::string("The manifest on the server cannot be read: ") + e.what();
    } catch (const TError& e) {
        ManifestNote = "The manifest on the server cannot be read: " + e.Message();
    }

    // The files an earlier run may have changed before it was broken off.
    FPendingFound = false;
    FPendingNames.clear();
    bool pendingRead = true;
    try {
        FPendingNames = TManifest::ParsePending(Fetch(*transport, TManifest::PendingFileName));
        FPendingFound = true;
    } catch (const TTransportError& e) {
        if (e.Kind() == TTransportFailure::Cancelled || Cancelled() ||
            IsTransientFailure(e, FSettings.Protocol))
            throw;
        if (e.Kind() != TTransportFailure::FileMissing) {
            FPendingFound = true;
            pendingRead = false;
            ManifestNote = std::string("The list of files under way on the server cannot be read: ")
                               .append(e.what());
        }
    } catch (const TError& e) {
        FPendingFound = true;
        pendingRead = false;
        ManifestNote = std::string("The list of files under way on the server cannot be read: ")
                           .append(e.Message());
    }
    // Without it nothing the manifest says can be trusted: every file counts as new.
    if (!pendingRead) {
        ManifestFound = false;
        remote = TManifest();
    }
    remote.MarkUnknown(FPendingNames);

    status("Compare Files...");
    const std::vector<TLocalFile> site = ListSiteFiles(FSiteFolder);
    RemotePublisherId = ManifestFound ? remote.PublisherId : std::string();
    RemotePublishedAt = ManifestFound ? remote.PublishedAt : 0;
    // The manifest read goes into the plan as it is, without a copy.
    Plan = ManifestFound || !FPendingNames.empty() ? TSyncPlan::Make(site, std::move(remote))
                                                   : TSyncPlan::Make(site, nullptr);
    FManifestCurrent = ManifestFound;
    FPrepared = true;
    Status.assign(Plan.Items.size(), TSyncItemStatus());
    std::lock_guard<std::mutex> lock(FServerMutex);
    FServer.reset();
}

TManifest TSyncRun::ServerManifest() const {
    std::lock_guard<std::mutex> lock(FServerMutex);
    return FServer ? *FServer : Plan.Remote;
}

TManifest& TSyncRun::ChangedServer() {
    if (!FServer)
        FServer = Plan.Remote;
    return *FServer;
}

int TSyncRun::Failures() const {
    return static_cast<int>(std::count_if(
        Status.begin(), Status.end(), [](const auto& s) { return s.State == TSyncState::Failed; }));
}

void TSyncRun::TickOnlyFailed() {
    for (std::size_t i = 0; i < Plan.Items.size(); ++i)
        Plan.Items[i].Ticked = Status[i].State == TSyncState::Failed;
}

void TSyncRun::SendFile(TTransport& transport, std::size_t index) {
    const TSyncItem& item = Plan.Items[index];
    const std::string local = FSiteFolder + item.Name;
    const auto found = FReplaced.find(item.Name);
    const std::vector<std::string>* replaced = found == FReplaced.end() ? nullptr : &found->second;
    std::int64_t told = 0;
    const auto progress = [this, index, &told](std::int64_t sent) {
        if (sent - told < ProgressStep)
            return;
        told = sent;
        TEvent event;
        event.Kind = TEvent::TKind::Progress;
        event.Index = index;
        event.Bytes = sent;
        Post(std::move(event));
    };
    // What went up must be what was compared: a file changed since would leave the manifest
    // claiming content that the server does not have.
    const auto unchanged = [&] {
        std::int64_t localSize = 0;
        const std::string hash = Sha256OfFile(local, &localSize);
        if (hash != item.Sha256 || localSize != item.Size)
            throw TError("The file changed while it was published; publish again", local);
        // From the rename on, the server may hold either content, or none (a server that
        // does not rename over a file moves the old one aside first); under every spelling of
        // the name, to a server that ignores case.
        std::lock_guard<std::mutex> lock(FServerMutex);
        ChangedServer().MarkUnknown({item.Name});
        if (replaced)
            ChangedServer().MarkUnknown({replaced->begin(), replaced->end()});
    };
    // What one connection found out about renames holds for the others.
    if (FRenamesRefused.load())
        transport.SetRenamesRefused(true);
    struct TTellRefused {
        TSyncRun& Run;
        TTransport& Transport;
        ~TTellRefused() {
            if (Transport.RenamesRefused())
                Run.FRenamesRefused = true;
        }
    } tellRefused{*this, transport};
    transport.UploadReplacing(local, item.Name, PartPrefix + item.Name, progress, unchanged);
    std::lock_guard<std::mutex> lock(FServerMutex);
    ChangedServer().Files[item.Name] = TManifestEntry{item.Size, item.Sha256};
    if (replaced)
        for (const std::string& other : *replaced)
            ChangedServer().Files.erase(other);
}

TPresence TSyncRun::DeleteChecked(TTransport& transport, const std::string& name) {
    std::string answer = "the server answered the delete of " + name + " as done";
    int code = 0;
    try {
        transport.Delete(name);
    } catch (const TTransportError& e) {
        // Already gone is as good as deleted. An FTP server answers 550 both for a file it
        // does not have and for one it will not delete: the check below tells which.
        if (e.Kind() != TTransportFailure::FileMissing)
            throw;
        answer = e.what();
        code = e.ReplyCode();
    }
    // Neither answer is proof: a server may answer that it deleted a file it kept.
    const TPresence presence = transport.Presence(name);
    if (presence == TPresence::Present)
        throw TTransportError(answer + "; the server still holds " + name,
                              TTransportFailure::FileRefused, "The server did not delete the file.",
                              {}, name)
            .WithReplyCode(code);
    return presence;
}

bool TSyncRun::DeleteFile(TTransport& transport, const std::string& name) {
    const TPresence presence = DeleteChecked(transport, name);
    std::lock_guard<std::mutex> lock(FServerMutex);
    if (presence == TPresence::Unknown) {
        ChangedServer().MarkUnknown({name});
        return false;
    }
    ChangedServer().Files.erase(name);
    return true;
}

void TSyncRun::Item(int connection, std::size_t index, bool upload) {
    const TSyncItem& item = Plan.Items[index];
    TEvent event;
    event.Kind = TEvent::TKind::Status;
    event.Text = upload ? "Upload " + item.Name + " ..." : "Delete " + item.Name + " ...";
    Post(event);
    event.Kind = TEvent::TKind::Item;
    event.Index = index;
    event.State = TSyncState::Sending;
    event.Text.clear();
    event.Attempts = 1;
    Post(event);

    std::string error;
    bool done = false;
    bool checked = true;
    int attempts = 0;
    for (int attempt = 0; attempt <= Retries && !Cancelled(); ++attempt) {
        if (attempt > 0) {
            if (!Pause(RetryPauseMs << (attempt - 1)))
                break;
            TEvent log;
            log.Kind = TEvent::TKind::Log;
            log.Text = ConnectionPrefix(connection) + "Retrying " + item.Name + " (" + error + ")";
            Post(std::move(log));
            // The bytes of the attempt that failed no longer count.
            TEvent progress;
            progress.Kind = TEvent::TKind::Progress;
            progress.Index = index;
            Post(std::move(progress));
        }
        attempts = attempt + 1;
        try {
            TTransport& transport = attempt > 0 ? Fresh(connection) : Ensure(connection);
            if (upload)
                SendFile(transport, index);
            else
                checked = DeleteFile(transport, Plan.Items[index].Name);
            done = true;
            break;
        } catch (const TTransportError& e) {
            error = e.what();
            if (!e.Reason().empty())
                error += " (" + e.Reason() + ")";
            if (Cancelled() || !IsTransientFailure(e, FSettings.Protocol))
                break;
        } catch (const std::exception& e) {
            // The local file, or anything else that another attempt would not change.
            error = e.what();
            break;
        }
    }
    if (!done && Cancelled())
        error = "Cancelled";
    event.State = !done ? TSyncState::Failed : checked ? TSyncState::Done : TSyncState::Unchecked;
    event.Attempts = attempts;
    if (!done)
        event.Text = error;
    else if (!checked)
        event.Text = "The server answered the delete, but whether " + item.Name +
                     " is gone could not be checked (it tells no sizes and gives no listing); "
                     "the next publish deletes it again.";
    Post(std::move(event));
}

void TSyncRun::Worker(int connection, const std::vector<std::size_t>& items,
                      std::atomic<std::size_t>& next, bool uploads) {
    try {
        if (connection > 0) {
            // An extra connection that the server does not allow leaves the files to the
            // others instead of failing them.
            try {
                Ensure(connection);
            } catch (const std::exception& e) {
                TEvent log;
                log.Kind = TEvent::TKind::Log;
                log.Text = ConnectionPrefix(connection) + "Not connected: " + e.what();
                Post(std::move(log));
                return;
            }
        }
        while (!Cancelled()) {
            const std::size_t k = next++;
            if (k >= items.size())
                return;
            Item(connection, items[k], uploads);
        }
    } catch (...) {
        // Nothing may leave a thread; the item under way has been told already.
    }
}

void TSyncRun::RunPhase(const std::vector<std::size_t>& items, bool uploads) {
    if (items.empty())
        return;
    const int jobs = std::clamp(Jobs, 1, MaxJobs);
    const int workers =
        static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(jobs), items.size()));
    std::atomic<std::size_t> next{0};
    std::atomic<int> running{workers};
    std::vector<std::thread> threads;
    threads.reserve(static_cast<std::size_t>(workers));
    for (int w = 0; w < workers; ++w)
        threads.emplace_back([this, w, &items, &next, &running, uploads] {
            Worker(w, items, next, uploads);
            --running;
            FEventsReady.notify_one();
        });
    while (running.load() > 0) {
        {
            std::unique_lock<std::mutex> lock(FEventsMutex);
            FEventsReady.wait_for(lock, std::chrono::milliseconds(50),
                                  [this, &running] { return !FEvents.empty() || running == 0; });
        }
        Drain();
    }
    for (std::thread& thread : threads)
        thread.join();
    Drain();
}

std::string TSyncRun::WriteRemoteText(const std::string& name, const std::string& text) {
    const std::string part = std::string(PartPrefix) + name;
    std::string error;
    for (int attempt = 0; attempt <= Retries && !Cancelled(); ++attempt) {
        if (attempt > 0 && !Pause(RetryPauseMs << (attempt - 1)))
            break;
        try {
            TTransport& transport = attempt > 0 ? Fresh(0) : Ensure(0);
            const TLocalTextFile local(text);
            // Step after step, the base class's way: the lists are few and small, and a server
            // that cannot take commands sent together is found out on a file of the site.
            transport.TTransport::UploadReplacing(local.Path(), name, part);
            MayHold(name, HeldForm(Sha256OfBytes(text)), true);
            Drain();
            return std::string();
        } catch (const TTransportError& e) {
            error = e.what();
            Drain();
            if (Cancelled() || !IsTransientFailure(e, FSettings.Protocol))
                break;
        } catch (const std::exception& e) {
            error = e.what();
            break;
        }
    }
    // Put in place or not, or the old one deleted before a rename that failed.
    MayHold(name, HeldForm(Sha256OfBytes(text)), false);
    MayHold(name, "missing", false);
    Drain();
    return Cancelled() ? std::string("Cancelled") : error;
}

void TSyncRun::WriteManifest(TSyncTotals& totals) {
    if (OnStatus)
        OnStatus("Write Manifest...");
    totals.PublishedAt = ServerManifest().PublishedAt;
    totals.ManifestError = WriteRemoteText(TManifest::FileName, ServerManifest().Text());
    totals.ManifestWritten = totals.ManifestError.empty();
}

bool TSyncRun::MarkPending(const std::set<std::string>& names, TSyncTotals& totals) {
    std::set<std::string> wanted = ServerManifest().Unknown();
    wanted.insert(names.begin(), names.end());
    // What the server lists already says as much: nothing to write.
    if (FPendingFound &&
        std::includes(FPendingNames.begin(), FPendingNames.end(), wanted.begin(), wanted.end()))
        return true;
    if (FPendingFound) {
        // The list on the server is replaced, and on a server that does not rename over a
        // file it leaves its name for a moment (moved aside, and left there when a run is
        // broken off then): the manifest first stops claiming the names the list holds
        // (it lists only what is known), so that a run broken off then trusts none of them.
        totals.PublishedAt = ServerManifest().PublishedAt;
        const std::string error = WriteRemoteText(TManifest::FileName, ServerManifest().Text());
        if (!error.empty()) {
            totals.ManifestError = error;
            return false;
        }
        std::lock_guard<std::mutex> lock(FServerMutex);
        TakeServerIntoPlan();
        FManifestCurrent = true;
    }
    const std::string error =
        WriteRemoteText(TManifest::PendingFileName, TManifest::PendingText(wanted));
    if (!error.empty()) {
        totals.ManifestError = error;
        return false;
    }
    FPendingFound = true;
    FPendingNames = std::move(wanted);
    return true;
}

void TSyncRun::ClearPending() {
    if (!FPendingFound)
        return;
    const std::set<std::string> unknown = ServerManifest().Unknown();
    if (unknown == FPendingNames && !unknown.empty())
        return;
    // Left behind, the list only makes the next run send its files again: not a failure.
    std::string error;
    if (unknown.empty()) {
        try {
            if (DeleteChecked(Ensure(0), TManifest::PendingFileName) == TPresence::Absent) {
                MayHold(TManifest::PendingFileName, "missing", true);
                FPendingFound = false;
                FPendingNames.clear();
            } else {
                MayHold(TManifest::PendingFileName, "missing", false);
                error = "whether it is gone could not be checked";
            }
        } catch (const std::exception& e) {
            MayHold(TManifest::PendingFileName, "missing", false);
            error = e.what();
        }
    } else {
        error = WriteRemoteText(TManifest::PendingFileName, TManifest::PendingText(unknown));
        if (error.empty())
            FPendingNames = unknown;
    }
    Drain();
    if (!error.empty() && OnLog)
        OnLog("The list of files under way stays on the server: " + error);
}

TSyncTotals TSyncRun::Run(bool deletesConfirmed) {
    // Without the manifest read there is nothing to compare with, and a manifest written
    // from nothing would forget every file published before.
    if (!FPrepared)
        throw TError("A synchronising publish runs only after Prepare");
    const auto started = std::chrono::steady_clock::now();
    TSyncTotals totals;
    FTotals = &totals;
    FBytesDone = 0;
    FBytesTotal = 0;

    std::vector<std::size_t> uploads, deletes;
    Status.resize(Plan.Items.size());
    for (std::size_t i = 0; i < Plan.Items.size(); ++i) {
        const TSyncItem& item = Plan.Items[i];
        Status[i] = TSyncItemStatus();
        Status[i].State = item.Ticked ? TSyncState::Waiting : TSyncState::Skipped;
        if (!item.Ticked) {
            if (item.Kind == TSyncKind::Unchanged)
                ++totals.Unchanged;
            continue;
        }
        if (item.Kind == TSyncKind::Delete) {
            deletes.push_back(i);
        } else {
            uploads.push_back(i);
            FBytesTotal += item.Size;
        }
    }
    if (static_cast<int>(deletes.size()) > TSyncPlan::DeleteCap && !deletesConfirmed) {
        totals.DeletesHeldBack = static_cast<int>(deletes.size());
        for (std::size_t i : deletes)
            Status[i].State = TSyncState::Skipped;
        deletes.clear();
    }

    // The manifest's other spellings of the site's names: replaced by the file's upload, or
    // dropped at once for a file left unchanged; kept while the file is not sent.
    FReplaced.clear();
    {
        std::map<std::string, std::size_t> siteByFolded;
        std::set<std::string> itemNames;
        for (std::size_t i = 0; i < Plan.Items.size(); ++i) {
            itemNames.insert(Plan.Items[i].Name);
            if (Plan.Items[i].Kind != TSyncKind::Delete)
                siteByFolded.emplace(FoldedName(Plan.Items[i].Name), i);
        }
        std::lock_guard<std::mutex> lock(FServerMutex);
        for (const auto& [name, entry] : Plan.Remote.Files) {
            const auto site = siteByFolded.find(FoldedName(name));
            if (itemNames.count(name) > 0 || site == siteByFolded.end())
                continue;
            const TSyncItem& item = Plan.Items[site->second];
            if (item.Ticked)
                FReplaced[item.Name].push_back(name);
            else if (item.Kind == TSyncKind::Unchanged)
                ChangedServer().Files.erase(name);
        }
    }

    std::set<std::string> pending;
    for (std::size_t i : uploads) {
        pending.insert(Plan.Items[i].Name);
        if (const auto found = FReplaced.find(Plan.Items[i].Name); found != FReplaced.end())
            pending.insert(found->second.begin(), found->second.end());
    }
    for (std::size_t i : deletes)
        pending.insert(Plan.Items[i].Name);
    // A manifest written from now on names this copy of the project, and the time.
    const bool stamp =
        !ProjectId.empty() && (!pending.empty() || Plan.Remote.PublisherId != ProjectId);
    if (stamp) {
        std::lock_guard<std::mutex> lock(FServerMutex);
        ChangedServer().PublisherId = ProjectId;
        ChangedServer().PublishedAt =
            Clock ? Clock() : static_cast<std::int64_t>(std::time(nullptr));
    }
    // The lock is taken when anything may be written; it goes at the end, whatever happens.
    struct TUnlockAtEnd {
        TSyncRun& Run;
        ~TUnlockAtEnd() { Run.ReleaseLock(); }
    } unlockAtEnd{*this};
    const bool writes = !pending.empty() || stamp || FPendingFound || !FManifestCurrent;
    if ((writes && !TakeLock(totals)) || (!pending.empty() && !MarkPending(pending, totals))) {
        for (TSyncItemStatus& status : Status)
            status.State = TSyncState::Skipped;
        uploads.clear();
        deletes.clear();
    }

    RunPhase(uploads, true);
    if (!Cancelled() && totals.ManifestError.empty()) {
        if (totals.Failures == 0) {
            RunPhase(deletes, false);
        } else {
            totals.DeletesNotBegun = static_cast<int>(deletes.size());
            for (std::size_t i : deletes) {
                Status[i].State = TSyncState::Skipped;
                if (OnItem)
                    OnItem(i);
            }
        }
    }
    // Items never begun because of a Cancel.
    for (std::size_t i = 0; i < Status.size(); ++i)
        if (Status[i].State == TSyncState::Waiting)
            Status[i].State = TSyncState::Skipped;

    totals.Cancelled = Cancelled();
    if (totals.Failures == 0 && !totals.Cancelled && totals.ManifestError.empty() &&
        totals.LockError.empty()) {
        // Nothing to say that the server does not already say: left as it is.
        const bool same = FManifestCurrent && ServerManifest() == Plan.Remote;
        if (!same)
            WriteManifest(totals);
        if (totals.ManifestWritten) {
            std::lock_guard<std::mutex> lock(FServerMutex);
            TakeServerIntoPlan();
            FManifestCurrent = true;
        }
        if (same || totals.ManifestWritten)
            ClearPending();
    }
    totals.Cancelled = Cancelled();
    ReleaseLock();
    DropConnections();
    Drain();
    FTotals = nullptr;
    totals.Seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return totals;
}

std::string TSyncRun::Fetch(TTransport& transport, const std::string& name) {
    try {
        std::string text = transport.Download(name, TManifest::MaxBytes);
        // Its digest, not a copy: a manifest may be large.
        MayHold(name, HeldForm(Sha256OfBytes(text)), true);
        return text;
    } catch (const TTransportError& e) {
        MayHold(name, e.Kind() == TTransportFailure::FileMissing ? "missing" : "unreadable", true);
        throw;
    }
}

std::string TSyncRun::Observed(TTransport& transport, const std::string& name,
                               std::int64_t maxBytes) {
    try {
        return HeldForm(transport.Download(name, maxBytes));
    } catch (const TTransportError& e) {
        if (e.Kind() == TTransportFailure::Cancelled || Cancelled() ||
            IsTransientFailure(e, FSettings.Protocol))
            throw;
        return e.Kind() == TTransportFailure::FileMissing ? "missing" : "unreadable";
    }
}

std::string TSyncRun::Digested(const std::string& observed) {
    return observed.rfind('=', 0) == 0 ? HeldForm(Sha256OfBytes(observed.substr(1))) : observed;
}

void TSyncRun::MayHold(const std::string& name, const std::string& observed, bool only) {
    std::set<std::string>& forms = FMayHold[name];
    if (only)
        forms.clear();
    forms.insert(observed);
}

bool TSyncRun::TakeLock(TSyncTotals& totals) {
    if (OnStatus)
        OnStatus("Lock Folder...");
    const auto now = [this] {
        return Clock ? Clock() : static_cast<std::int64_t>(std::time(nullptr));
    };
    const auto refuse = [&](const std::string& error) {
        Drain();
        totals.LockError = Cancelled() ? std::string("Cancelled") : error;
        return false;
    };
    // Whether the user was asked to break a lock left behind, once at most.
    bool asked = false;
    // The time a lock without its owner file was watched for one.
    int waited = 0;
    // A connection that broke (Prepare's may have waited long for the user) is made anew once.
    for (int connection = 0;; ++connection) {
        try {
            TTransport& transport = connection > 0 ? Fresh(0) : Ensure(0);
            while (!FLocked) {
                try {
                    transport.MakeFolder(TRemoteLock::FolderName);
                    FLocked = true;
                    ++LocksHeldHere;
                    break;
                } catch (const TTransportError& e) {
                    if (e.Kind() == TTransportFailure::Cancelled || Cancelled() ||
                        IsTransientFailure(e, FSettings.Protocol))
                        throw;
                    const auto readOwner = [&]() -> std::optional<TLockOwner> {
                        const std::string observed =
                            Observed(transport, TRemoteLock::OwnerPath, TRemoteLock::MaxBytes);
                        if (observed.rfind('=', 0) != 0)
                            return std::nullopt;
                        return TRemoteLock::ParseOwner(observed.substr(1));
                    };
                    const std::optional<TLockOwner> owner = readOwner();
                    // A lock made this moment gets its owner file a moment later, and one
                    // whose owner file went this moment is gone a moment later: watched a
                    // while (LockOwnerWaitMs), a second at a time.
                    if (!owner && waited < LockOwnerWaitMs) {
                        const int pause = std::min(1000, LockOwnerWaitMs - waited);
                        waited += pause;
                        if (!Pause(pause))
                            return refuse("Cancelled");
                        continue;
                    }
                    if (Cancelled())
                        return refuse("Cancelled");
                    if (owner && TRemoteLock::Mine(*owner) && LocksHeldHere.load() == 0) {
                        // Left by an earlier run of this process that could not remove it.
                        FLocked = true;
                        ++LocksHeldHere;
                        break;
                    }
                    if (owner && !TRemoteLock::Stale(*owner, now()))
                        return refuse(TRemoteLock::RunningMessage(*owner));
                    Drain();
                    bool breakIt = false;
                    if (!asked && OnBreakLock) {
                        asked = true;
                        breakIt = OnBreakLock(TRemoteLock::BreakQuestion(owner));
                    }
                    if (!breakIt) {
                        totals.LockLeft = true;
                        return refuse(TRemoteLock::LeftMessage(owner));
                    }
                    if (OnStatus)
                        OnStatus("Break Lock...");
                    try {
                        transport.Delete(TRemoteLock::OwnerPath);
                    } catch (const TTransportError& missing) {
                        if (missing.Kind() != TTransportFailure::FileMissing)
                            throw;
                    }
                    try {
                        transport.RemoveFolder(TRemoteLock::FolderName);
                    } catch (const TTransportError& missing) {
                        if (missing.Kind() != TTransportFailure::FileMissing || owner)
                            throw;
                        // No lock there at all: the server refused to make the folder.
                        return refuse(std::string("The lock cannot be made on the server: ") +
                                      e.what());
                    }
                }
            }
            const TLocalTextFile local(TRemoteLock::OwnerText(TRemoteLock::Me(now())));
            transport.Upload(local.Path(), TRemoteLock::OwnerPath);
            // Another publish may have written between Prepare and the lock: what this run
            // would send was compared with what is no longer there.
            for (const char* name : {TManifest::FileName, TManifest::PendingFileName})
                if (FMayHold[name].count(Digested(Observed(transport, name))) == 0) {
                    totals.ServerChanged = true;
                    return refuse("The site on the server changed since it was compared: "
                                  "another publish went on meanwhile. Compare again.");
                }
            Drain();
            return true;
        } catch (const TTransportError& e) {
            if (connection == 0 && !Cancelled() && e.Kind() != TTransportFailure::Cancelled &&
                IsTransientFailure(e, FSettings.Protocol))
                continue;
            return refuse(std::string("The lock cannot be taken on the server: ") + e.what());
        } catch (const std::exception& e) {
            return refuse(std::string("The lock cannot be taken on the server: ") + e.what());
        }
    }
}

void TSyncRun::ReleaseLock() noexcept {
    if (!FLocked)
        return;
    FLocked = false;
    --LocksHeldHere;
    std::string error;
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            // After a Cancel the run's connections are cancelled too: a connection of its
            // own, each step bounded by a few seconds, which nothing cancels.
            std::unique_ptr<TTransport> own;
            TTransport* transport = nullptr;
            if (Cancelled()) {
                TTransportSettings settings = FSettings;
                if (settings.ReadTimeout <= 0 || settings.ReadTimeout > 5000)
                    settings.ReadTimeout = 5000;
                own = FMaker(settings);
                own->OnLog = [this](const std::string& line) {
                    TEvent event;
                    event.Kind = TEvent::TKind::Log;
                    event.Text = line;
                    Post(std::move(event));
                };
                own->Connect();
                if (!TrimBlanks(FFolder).empty())
                    own->ChangeFolder(FFolder);
                transport = own.get();
            } else {
                transport = attempt > 0 ? &Fresh(0) : &Ensure(0);
            }
            try {
                transport->Delete(TRemoteLock::OwnerPath);
            } catch (const TTransportError& e) {
                if (e.Kind() != TTransportFailure::FileMissing)
                    throw;
            }
            transport->RemoveFolder(TRemoteLock::FolderName);
            if (own)
                own->Disconnect();
            error.clear();
            break;
        } catch (const TTransportError& e) {
            error = e.what();
            if (!IsTransientFailure(e, FSettings.Protocol) &&
                e.Kind() != TTransportFailure::Cancelled)
                break;
        } catch (const std::exception& e) {
            error = e.what();
            break;
        }
    }
    try {
        Drain();
        if (!error.empty() && OnLog)
            OnLog("The lock stays on the server: " + error);
    } catch (...) {
        // A callback that throws changes nothing on the server.
    }
}

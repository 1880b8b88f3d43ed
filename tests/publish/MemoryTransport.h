#pragma once

// A web server in memory for the tests of synchronising publishes: one folder of files, and a
// transport to it with faults that a test injects (a refused reply, a reset connection, a
// time-out, a file cut short, a rename that does not replace). Every operation is written
// down, with the most uploads that were under way at once and the connections made.

#include "TestSupport.h"
#include "publish/Transport.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

class TMemoryServer {
  public:
    // The one folder that ChangeFolder enters ("" for the login folder itself).
    std::string Folder = "www";
    // Whether a rename replaces an existing target (as most FTP servers do); otherwise it is
    // refused with 550.
    bool RenameReplaces = true;
    // Whether SIZE is answered; otherwise RemoteSize is -1.
    bool TellsSize = true;
    // Whether the folder is listed; otherwise ListNames is refused with 502.
    bool Lists = true;
    // Whether names that differ only in case are one file (as on a server on Windows): a file
    // is found under any spelling, and keeps the one it got first when it is written again.
    bool FoldsCase = false;
    // Files that a delete answers as deleted but leaves in place.
    std::set<std::string> KeptOnDelete;
    // Each upload of a site's file takes this long (in steps that a Cancel ends); the lists
    // kept beside the files go up at once.
    int UploadMs = 0;
    // Called before every operation with its name ("CONNECT", "CWD", "UPLOAD", "DOWNLOAD",
    // "DELETE", "RENAME", "SIZE", "LIST", "MKD", "RMD") and the file it is about (the target for
    // a rename) and the number of the connection (from 1); it may throw to inject a failure, and
    // may change Files itself.
    std::function<void(const std::string&, const std::string&, int)> Fault;

    // Whether a connection that sends commands together (UploadReplacing while Pipelining)
    // gets no answer to them: it times out, and the connection is gone.
    bool DropsCommandsSentTogether = false;
    // The uploads that a connection tried so.
    std::atomic<int> SentTogether{0};

    std::map<std::string, std::string> Files;
    // The folders in the one folder; a file in one of them is named "folder/name" in Files.
    std::set<std::string> Folders;

    std::vector<std::string> Operations() {
        std::lock_guard<std::mutex> lock(Mutex);
        return FOperations;
    }
    // Whether name is the temporary name of the manifest or of the pending list, or the
    // lock's owner file.
    static bool IsListPart(const std::string& name) {
        return name.rfind(".corvane-part-.corvane-", 0) == 0 ||
               name.rfind(".corvane-lock/", 0) == 0;
    }
    // The uploads of the site's files, without those of the lists kept beside them.
    int SiteUploads() {
        return Count("UPLOAD .corvane-part-") - Count("UPLOAD .corvane-part-.corvane-");
    }
    int Count(const std::string& prefix) {
        std::lock_guard<std::mutex> lock(Mutex);
        return static_cast<int>(
            std::count_if(FOperations.begin(), FOperations.end(),
                          [&](const std::string& op) { return op.rfind(prefix, 0) == 0; }));
    }
    void Record(const std::string& op) {
        std::lock_guard<std::mutex> lock(Mutex);
        FOperations.push_back(op);
    }
    void ClearOperations() {
        std::lock_guard<std::mutex> lock(Mutex);
        FOperations.clear();
        Connects = 0;
        MostUploadsAtOnce = 0;
    }

    // The file under name, in any spelling when FoldsCase; end() when there is none. The
    // caller holds Mutex.
    std::map<std::string, std::string>::iterator Find(const std::string& name) {
        const auto exact = Files.find(name);
        if (exact != Files.end() || !FoldsCase)
            return exact;
        return std::find_if(Files.begin(), Files.end(),
                            [&](const auto& file) { return Folded(file.first) == Folded(name); });
    }
    static std::string Folded(std::string name) {
        for (char& c : name)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        return name;
    }

    std::mutex Mutex;
    int Connects = 0;
    std::atomic<int> UploadsNow{0};
    std::atomic<int> MostUploadsAtOnce{0};

  private:
    std::vector<std::string> FOperations;
};

// Failures as the transports raise them.
inline TTransportError RefusedReply(int code, const std::string& name = {}) {
    TTransportError e(std::to_string(code) + " refused", TTransportFailure::FileRefused,
                      "The server refused the file.", {}, name);
    e.WithReplyCode(code);
    return e;
}
inline TTransportError ConnectionReset() {
    return TTransportError("Connection reset by peer", TTransportFailure::ConnectionLost,
                           "The connection broke.");
}
inline TTransportError TimedOut() {
    return TTransportError("No answer within 30 s", TTransportFailure::NoAnswer,
                           "The server did not answer in time.");
}

class TMemoryTransport : public TTransport {
  public:
    explicit TMemoryTransport(TMemoryServer& server) : FServer(server) {}

    void Connect() override {
        int number = 0;
        {
            std::lock_guard<std::mutex> lock(FServer.Mutex);
            number = ++FServer.Connects;
        }
        FNumber = number;
        Step("CONNECT", "");
        FConnected = true;
        FInFolder = FServer.Folder.empty();
    }
    void ChangeFolder(const std::string& folder) override {
        Step("CWD", folder);
        if (folder != FServer.Folder)
            throw TTransportError("550 No such folder", TTransportFailure::FolderMissing,
                                  "The folder does not exist.")
                .WithReplyCode(550);
        FInFolder = true;
    }
    void Upload(const std::string& localPath, const std::string& remoteName,
                const std::function<void(std::int64_t)>& progress) override {
        Step("UPLOAD", remoteName);
        const std::string data = ReadFileBytes(localPath);
        const int now = ++FServer.UploadsNow;
        int most = FServer.MostUploadsAtOnce.load();
        while (now > most && !FServer.MostUploadsAtOnce.compare_exchange_weak(most, now)) {
        }
        struct TDone {
            TMemoryServer& Server;
            ~TDone() { --Server.UploadsNow; }
        } done{FServer};
        const int ms = TMemoryServer::IsListPart(remoteName) ? 0 : FServer.UploadMs;
        for (int waited = 0; waited < ms; waited += 5) {
            CheckCancel();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        CheckCancel();
        if (progress)
            progress(static_cast<std::int64_t>(data.size()));
        std::lock_guard<std::mutex> lock(FServer.Mutex);
        const std::size_t slash = remoteName.find('/');
        if (slash != std::string::npos && FServer.Folders.count(remoteName.substr(0, slash)) == 0)
            throw RefusedReply(553, remoteName);
        const auto existing = FServer.Find(remoteName);
        if (existing != FServer.Files.end())
            existing->second = data;
        else
            FServer.Files[remoteName] = data;
    }
    std::string Download(const std::string& remoteName, std::int64_t maxBytes) override {
        Step("DOWNLOAD", remoteName);
        std::lock_guard<std::mutex> lock(FServer.Mutex);
        const auto found = FServer.Find(remoteName);
        if (found == FServer.Files.end())
            throw Missing(remoteName);
        if (static_cast<std::int64_t>(found->second.size()) > maxBytes)
            throw TTransportError("The file is too long", TTransportFailure::Other,
                                  "The file is too long.")
                .WithReplyCode(552);
        return found->second;
    }
    void Delete(const std::string& remoteName) override {
        Step("DELETE", remoteName);
        std::lock_guard<std::mutex> lock(FServer.Mutex);
        const auto found = FServer.Find(remoteName);
        if (found == FServer.Files.end())
            throw Missing(remoteName);
        if (FServer.KeptOnDelete.count(found->first) == 0)
            FServer.Files.erase(found);
    }
    void Rename(const std::string& fromName, const std::string& toName) override {
        Step("RENAME", toName);
        std::lock_guard<std::mutex> lock(FServer.Mutex);
        const auto found = FServer.Find(fromName);
        if (found == FServer.Files.end())
            throw Missing(fromName);
        const auto target = FServer.Find(toName);
        if (!FServer.RenameReplaces && target != FServer.Files.end() && target != found)
            throw RefusedReply(550, toName);
        std::string data = std::move(found->second);
        FServer.Files.erase(found);
        if (const auto old = FServer.Find(toName); old != FServer.Files.end())
            FServer.Files.erase(old);
        FServer.Files[toName] = std::move(data);
    }
    std::int64_t RemoteSize(const std::string& remoteName) override {
        Step("SIZE", remoteName);
        std::lock_guard<std::mutex> lock(FServer.Mutex);
        const auto found = FServer.Find(remoteName);
        // A server without SIZE does not know the command, whatever the file.
        if (!FServer.TellsSize)
            return -1;
        if (found == FServer.Files.end())
            throw Missing(remoteName);
        return static_cast<std::int64_t>(found->second.size());
    }
    std::vector<std::string> ListNames() override {
        Step("LIST", "");
        std::lock_guard<std::mutex> lock(FServer.Mutex);
        if (!FServer.Lists)
            throw TTransportError("502 NLST not implemented", TTransportFailure::Other,
                                  "The server refused the listing.")
                .WithReplyCode(502);
        std::vector<std::string> names;
        for (const auto& [name, data] : FServer.Files)
            names.push_back(name);
        return names;
    }
    void MakeFolder(const std::string& name) override {
        Step("MKD", name);
        std::lock_guard<std::mutex> lock(FServer.Mutex);
        if (FServer.Files.count(name) > 0 || !FServer.Folders.insert(name).second)
            throw RefusedReply(550, name);
    }
    void RemoveFolder(const std::string& name) override {
        Step("RMD", name);
        std::lock_guard<std::mutex> lock(FServer.Mutex);
        if (FServer.Folders.count(name) == 0)
            throw Missing(name);
        const auto inside = FServer.Files.lower_bound(name + "/");
        if (inside != FServer.Files.end() && inside->first.rfind(name + "/", 0) == 0)
            throw Missing(name);
        FServer.Folders.erase(name);
    }
    void UploadReplacing(const std::string& localPath, const std::string& remoteName,
                         const std::string& tempName,
                         const std::function<void(std::int64_t)>& progress,
                         const std::function<void()>& beforeRename) override {
        if (FPipelining && FServer.DropsCommandsSentTogether) {
            Step("UPLOAD", tempName);
            ++FServer.SentTogether;
            // As the FTP transport does when a reply to commands sent together does not come.
            FPipelining = false;
            FConnected = false;
            throw TimedOut();
        }
        TTransport::UploadReplacing(localPath, remoteName, tempName, progress, beforeRename);
    }
    bool Pipelining() const override { return FPipelining; }
    void SetPipelining(bool pipelining) override { FPipelining = pipelining; }
    void Disconnect() noexcept override { FConnected = false; }
    bool Connected() const override { return FConnected; }
    void Cancel() noexcept override { FCancelled = true; }
    void ResetCancel() noexcept override { FCancelled = false; }

  private:
    static TTransportError Missing(const std::string& name) {
        return TTransportError("550 " + name + ": no such file", TTransportFailure::FileMissing,
                               "The file is not on the server.", {}, name)
            .WithReplyCode(550);
    }
    void CheckCancel() const {
        if (FCancelled)
            throw TTransportError("Cancelled", TTransportFailure::Cancelled, "Cancelled.");
    }
    void Step(const std::string& op, const std::string& name) {
        CheckCancel();
        if (op != "CONNECT" && !FConnected)
            throw TTransportError("Not connected", TTransportFailure::Other, "Not connected.");
        if (op != "CONNECT" && op != "CWD" && !FInFolder)
            throw TTransportError("Not in the folder", TTransportFailure::Other,
                                  "Not in the folder.");
        FServer.Record(op + " " + name);
        if (FServer.Fault) {
            try {
                FServer.Fault(op, name, FNumber);
            } catch (const TTransportError& e) {
                // A broken connection stays broken.
                if (e.ReplyCode() == 0 && e.Kind() != TTransportFailure::Cancelled)
                    FConnected = false;
                throw;
            }
        }
    }

    TMemoryServer& FServer;
    int FNumber = 0;
    bool FConnected = false;
    bool FInFolder = false;
    bool FPipelining = true;
    std::atomic<bool> FCancelled{false};
};

inline std::function<std::unique_ptr<TTransport>(const TTransportSettings&)>
MemoryTransportMaker(TMemoryServer& server) {
    return
        [&server](const TTransportSettings&) { return std::make_unique<TMemoryTransport>(server); };
}

#pragma once

// The synchronising publish against a real server, as one sequence of cases: a first publish,
// a change, a removed column, a renamed homepage, a file the program never published, a run
// cancelled in the middle and repeated, a lock in use and one left behind, the delete cap, a
// transient failure retried, a permanent one reported with the old manifest left, parallel
// connections. Failures are put in by a transport that wraps the real one. After every run that
// succeeds the server's folder, as it is on this machine, apart from the manifest and the foreign
// files, equals the site byte for byte.

#include "publish/RemoteLock.h"
#include "publish/SyncRun.h"
#include "publish/Transport.h"

#include "TestSupport.h"
#include "publish/MemoryTransport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace syncserver {

using TFiles = std::map<std::string, std::string>;

// A real transport with a fault put in before each operation (names as TMemoryServer's).
class TFaultyTransport : public TTransport {
  public:
    using TFault = std::function<void(const std::string&, const std::string&)>;
    TFaultyTransport(std::unique_ptr<TTransport> inner, const TFault& fault)
        : FInner(std::move(inner)), FFault(fault) {}

    void Connect() override {
        FInner->OnLog = OnLog;
        FInner->OnStatus = OnStatus;
        Step("CONNECT", "");
        FInner->Connect();
    }
    void ChangeFolder(const std::string& folder) override {
        Step("CWD", folder);
        FInner->ChangeFolder(folder);
    }
    void Upload(const std::string& localPath, const std::string& remoteName,
                const std::function<void(std::int64_t)>& progress) override {
        Step("UPLOAD", remoteName);
        FInner->Upload(localPath, remoteName, progress);
    }
    std::string Download(const std::string& remoteName, std::int64_t maxBytes) override {
        Step("DOWNLOAD", remoteName);
        return FInner->Download(remoteName, maxBytes);
    }
    void Delete(const std::string& remoteName) override {
        Step("DELETE", remoteName);
        FInner->Delete(remoteName);
    }
    void Rename(const std::string& fromName, const std::string& toName) override {
        Step("RENAME", toName);
        FInner->Rename(fromName, toName);
    }
    std::int64_t RemoteSize(const std::string& remoteName) override {
        Step("SIZE", remoteName);
        return FInner->RemoteSize(remoteName);
    }
    std::vector<std::string> ListNames() override {
        Step("LIST", "");
        return FInner->ListNames();
    }
    void MakeFolder(const std::string& name) override {
        Step("MKD", name);
        FInner->MakeFolder(name);
    }
    void RemoveFolder(const std::string& name) override {
        Step("RMD", name);
        FInner->RemoveFolder(name);
    }
    void UploadReplacing(const std::string& localPath, const std::string& remoteName,
                         const std::string& tempName,
                         const std::function<void(std::int64_t)>& progress,
                         const std::function<void()>& beforeRename) override {
        Step("UPLOAD", tempName);
        FInner->UploadReplacing(localPath, remoteName, tempName, progress, beforeRename);
    }
    bool Pipelining() const override { return FInner->Pipelining(); }
    void SetPipelining(bool pipelining) override { FInner->SetPipelining(pipelining); }
    bool RenamesRefused() const override { return FInner->RenamesRefused(); }
    void SetRenamesRefused(bool refused) override { FInner->SetRenamesRefused(refused); }
    bool IsTransient(const TTransportError& e) const override { return FInner->IsTransient(e); }
    bool RefusedAsExisting(const TTransportError& e) const override {
        return FInner->RefusedAsExisting(e);
    }
    bool RefusedForNow(const TTransportError& e) const override { return FInner->RefusedForNow(e); }
    void Disconnect() noexcept override { FInner->Disconnect(); }
    bool Connected() const override { return FInner->Connected(); }
    void Cancel() noexcept override { FInner->Cancel(); }
    void ResetCancel() noexcept override { FInner->ResetCancel(); }

  private:
    void Step(const std::string& op, const std::string& name) {
        if (FFault)
            FFault(op, name);
    }
    std::unique_ptr<TTransport> FInner;
    const TFault& FFault;
};

inline std::string Page(const std::string& name, int version, std::size_t size = 900) {
    std::string data = "<html>\r\n<title>" + name + " " + std::to_string(version) + "</title>\r\n";
    std::uint32_t x = static_cast<std::uint32_t>(version * 7919 + name.size());
    while (data.size() < size) {
        x = x * 1103515245u + 12345u;
        data += static_cast<char>(x >> 24);
    }
    return data;
}

class TSyncServerCases {
  public:
    // settings reach the server; folder is what ChangeFolder is given, serverFolder the same
    // folder on this machine; scratch an empty local folder for the site.
    TSyncServerCases(TTransportSettings settings, std::string folder, std::string serverFolder,
                     const std::string& scratch)
        : FSettings(std::move(settings)), FFolder(std::move(folder)),
          FServerFolder(std::move(serverFolder)), FSite(scratch + "/site") {
        std::filesystem::create_directories(FSite);
    }

    void Play() {
        SCOPED_TRACE("against " + FServerFolder);
        // A first publish.
        TFiles site = {{"Default.htm", Page("Default.htm", 1)},
                       {"Column1.htm", Page("Column1.htm", 1)},
                       {"Column1_1.htm", Page("Column1_1.htm", 1, 70000)},
                       {"Column2.htm", Page("Column2.htm", 1)},
                       {"Column2_1.htm", Page("Column2_1.htm", 1)},
                       {"logo.gif", std::string("GIF89a\0\1\r\n", 10)},
                       {"empty.htm", ""}};
        Site(site);
        Expect("a first publish", Publish(4), 7, 0);

        // A lock on the server: one in use keeps the run out, one left behind is broken when
        // the user says so. The lock of the server's own user (the folder open to it).
        {
            const std::string lock = FServerFolder + "/" + TRemoteLock::FolderName;
            std::filesystem::create_directory(lock);
            ::chmod(lock.c_str(), 0777);
            const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
            const TLockOwner inUse{"elsewhere", 17, now - 60};
            const std::string owner = TRemoteLock::OwnerText(inUse);
            WriteFileBytes(lock + "/owner", owner);
            const std::string manifest = ServerManifest();
            site["Column1.htm"] = Page("Column1.htm", 9);
            Site(site);
            auto run = NewRun(2);
            int asked = 0;
            run->OnBreakLock = [&asked](const std::string&) { return ++asked > 0; };
            run->Prepare();
            const TSyncTotals refused = run->Run();
            EXPECT_EQ(refused.LockError, TRemoteLock::RunningMessage(inUse));
            EXPECT_EQ(refused.Uploaded, 0);
            EXPECT_EQ(asked, 0);
            EXPECT_EQ(ServerManifest(), manifest);
            EXPECT_EQ(ReadFileBytes(lock + "/owner"), owner);

            WriteFileBytes(lock + "/owner",
                           TRemoteLock::OwnerText(TLockOwner{"elsewhere", 17, now - 3600}));
            run = NewRun(2);
            run->OnBreakLock = [&asked](const std::string&) { return ++asked > 0; };
            run->Prepare();
            Expect("a lock left behind, broken", run->Run(), 1, 0);
            EXPECT_EQ(asked, 1);
        }

        site["Column1_1.htm"] = Page("Column1_1.htm", 2, 70000);
        Site(site);
        Expect("a change", Publish(2), 1, 0);

        site.erase("Column2.htm");
        site.erase("Column2_1.htm");
        Site(site);
        Expect("a removed column", Publish(1), 0, 2);

        site["Index.htm"] = site["Default.htm"];
        site.erase("Default.htm");
        Site(site);
        Expect("a renamed homepage", Publish(3), 1, 1);

        // A file this program never published.
        WriteFileBytes(FServerFolder + "/stats.html", "statistics");
        site["Column1.htm"] = Page("Column1.htm", 3);
        Site(site);
        Expect("a foreign file", Publish(2), 1, 0);
        EXPECT_EQ(ReadFileBytes(FServerFolder + "/stats.html"), "statistics");

        // Cancelled at the third upload, then repeated.
        for (auto& [name, data] : site)
            data = Page(name, 4, data.size() + 10);
        site["New.htm"] = Page("New.htm", 1);
        site.erase("logo.gif");
        Site(site);
        {
            const std::string oldManifest = ServerManifest();
            auto run = NewRun(1);
            int uploads = 0;
            TSyncRun* cancelling = run.get();
            FFault = [&](const std::string& op, const std::string& name) {
                if (op == "UPLOAD" && !IsListPart(name) && ++uploads == 3)
                    cancelling->Cancel();
            };
            run->Prepare();
            const TSyncTotals totals = run->Run();
            FFault = nullptr;
            EXPECT_TRUE(totals.Cancelled);
            EXPECT_EQ(totals.Uploaded, 2);
            EXPECT_EQ(ServerManifest(), oldManifest);
            // The lock went all the same, over a connection of its own.
            EXPECT_FALSE(PathExists(FServerFolder + "/" + TRemoteLock::FolderName));
            EXPECT_TRUE(PathExists(FServerFolder + "/" + TManifest::PendingFileName));
        }
        Expect("the repeated run", Publish(2), 5, 1);

        // Broken off once the changed page is in place, then the site put back as it was:
        // the page the old manifest still lists goes again.
        {
            const TFiles before = site;
            site["Column1.htm"] = Page("Column1.htm", 7);
            Site(site);
            auto run = NewRun(1);
            TSyncRun* cancelling = run.get();
            FFault = [&](const std::string& op, const std::string& name) {
                if (op == "UPLOAD" &&
                    name == std::string(TSyncRun::PartPrefix) + TManifest::FileName)
                    cancelling->Cancel();
            };
            run->Prepare();
            EXPECT_TRUE(run->Run().Cancelled);
            FFault = nullptr;
            EXPECT_EQ(ReadFileBytes(FServerFolder + "/Column1.htm"), site["Column1.htm"]);
            site = before;
            Site(site);
        }
        Expect("the site put back after a broken run", Publish(2), 1, 0);

        // The delete cap: 51 files more, then gone.
        TFiles many = site;
        for (int i = 1; i <= TSyncPlan::DeleteCap + 1; ++i)
            many["Old" + std::to_string(i) + ".htm"] = Page("Old", i, 200);
        Site(many);
        Expect("51 files more", Publish(4), 51, 0);
        Site(site);
        {
            const TSyncTotals held = Publish(4, false);
            EXPECT_TRUE(held.Succeeded());
            EXPECT_EQ(held.DeletesHeldBack, 51);
            EXPECT_EQ(held.Deleted, 0);
            EXPECT_TRUE(PathExists(FServerFolder + "/Old51.htm"));
        }
        Expect("51 deletions confirmed", Publish(4, true), 0, 51);

        // A transient failure: the connection breaks at an upload, the file goes again.
        site["Column1.htm"] = Page("Column1.htm", 5);
        Site(site);
        int resets = 0;
        FFault = [&](const std::string& op, const std::string& name) {
            if (op == "UPLOAD" && name == ".corvane-part-Column1.htm" && resets++ == 0)
                throw ConnectionReset();
        };
        Expect("a transient failure retried", Publish(1), 1, 0);
        EXPECT_EQ(resets, 2);

        // A permanent failure: reported at once, nothing deleted, the old manifest stays.
        const std::string oldManifest = ServerManifest();
        site["Column1.htm"] = Page("Column1.htm", 6);
        site["Index.htm"] = Page("Index.htm", 6);
        site.erase("empty.htm");
        Site(site);
        int refused = 0;
        FFault = [&](const std::string& op, const std::string& name) {
            if (op == "UPLOAD" && name == ".corvane-part-Index.htm") {
                ++refused;
                throw RefusedReply(553, name);
            }
        };
        {
            const TSyncTotals failed = Publish(2);
            EXPECT_FALSE(failed.Succeeded());
            EXPECT_EQ(failed.Failures, 1);
            EXPECT_EQ(refused, 1);
            EXPECT_EQ(failed.Uploaded, 1);
            EXPECT_EQ(failed.DeletesNotBegun, 1);
            EXPECT_TRUE(PathExists(FServerFolder + "/empty.htm"));
            EXPECT_EQ(ServerManifest(), oldManifest);
            EXPECT_FALSE(PathExists(FServerFolder + "/" + TRemoteLock::FolderName));
        }
        FFault = nullptr;
        Expect("after the permanent failure", Publish(2), 2, 1);

        // A page changed while it went up: not put in place, its temporary copy removed, the
        // old manifest kept; the next run sends it.
        {
            const std::string before = ServerManifest();
            const std::string serverCopy = ReadFileBytes(FServerFolder + "/Column1.htm");
            site["Column1.htm"] = Page("Column1.htm", 7);
            Site(site);
            FFault = [&](const std::string& op, const std::string& name) {
                if (op == "UPLOAD" && name == ".corvane-part-Column1.htm")
                    WriteFileBytes(FSite + "/Column1.htm", Page("Column1.htm", 8));
            };
            const TSyncTotals changed = Publish(1);
            FFault = nullptr;
            EXPECT_EQ(changed.Failures, 1);
            EXPECT_THAT(FLastErrors, ::testing::HasSubstr("changed while it was published"));
            FLastErrors.clear();
            EXPECT_EQ(ReadFileBytes(FServerFolder + "/Column1.htm"), serverCopy);
            EXPECT_FALSE(PathExists(FServerFolder + "/.corvane-part-Column1.htm"));
            EXPECT_EQ(ServerManifest(), before);
            if (FSettings.Protocol == "FTP" || FSettings.Protocol == "FTPS") {
                // The size and the rename's first half went together, and the rename begun
                // was ended on the temporary file itself before it was deleted.
                const auto size =
                    std::find(FLog.begin(), FLog.end(), "> SIZE .corvane-part-Column1.htm");
                ASSERT_NE(size, FLog.end());
                ASSERT_NE(size + 1, FLog.end());
                EXPECT_EQ(*(size + 1), "> RNFR .corvane-part-Column1.htm");
                const auto end = std::find(size, FLog.end(), "> RNTO .corvane-part-Column1.htm");
                ASSERT_NE(end, FLog.end());
                EXPECT_NE(std::find(end, FLog.end(), "> DELE .corvane-part-Column1.htm"),
                          FLog.end());
            }
            site["Column1.htm"] = Page("Column1.htm", 8);
            Site(site);
            Expect("after the change while it went", Publish(1), 1, 0);
        }
    }

  private:
    // Whether name is the temporary name of the manifest or of the pending list, or the
    // lock's owner file.
    static bool IsListPart(const std::string& name) {
        return name.rfind(std::string(TSyncRun::PartPrefix) + ".corvane-", 0) == 0 ||
               name.rfind(std::string(TRemoteLock::FolderName) + "/", 0) == 0;
    }
    std::unique_ptr<TSyncRun> NewRun(int jobs) {
        auto run = std::make_unique<TSyncRun>(
            FSettings, FFolder, FSite, [this](const TTransportSettings& settings) {
                return std::make_unique<TFaultyTransport>(MakeTransport(settings), FFault);
            });
        run->Jobs = jobs;
        run->RetryPauseMs = 20;
        run->OnLog = [this](const std::string& line) { FLog.push_back(line); };
        return run;
    }
    TSyncTotals Publish(int jobs, bool confirmed = false) {
        FLog.clear();
        auto run = NewRun(jobs);
        try {
            run->Prepare();
        } catch (const std::exception& e) {
            ADD_FAILURE() << "Prepare: " << e.what();
            return TSyncTotals();
        }
        TSyncTotals totals = run->Run(confirmed);
        for (std::size_t i = 0; i < run->Status.size(); ++i)
            if (run->Status[i].State == TSyncState::Failed)
                FLastErrors += run->Plan.Items[i].Name + ": " + run->Status[i].Error + "\n";
        return totals;
    }
    void Site(const TFiles& files) {
        for (const auto& entry : std::filesystem::directory_iterator(FSite))
            std::filesystem::remove(entry.path());
        for (const auto& [name, data] : files)
            WriteFileBytes(FSite + "/" + name, data);
        FExpected = files;
    }
    std::string ServerManifest() const {
        const std::string path = FServerFolder + "/" + TManifest::FileName;
        return PathExists(path) ? ReadFileBytes(path) : std::string();
    }
    void Expect(const char* what, const TSyncTotals& totals, int uploaded, int deleted) {
        SCOPED_TRACE(what);
        EXPECT_TRUE(totals.Succeeded()) << FLastErrors << totals.ManifestError;
        FLastErrors.clear();
        EXPECT_EQ(totals.Uploaded, uploaded);
        EXPECT_EQ(totals.Deleted, deleted);
        TFiles published;
        for (const auto& entry : std::filesystem::directory_iterator(FServerFolder)) {
            const std::string name = entry.path().filename().string();
            if (!entry.is_regular_file() || name == TManifest::FileName || name == "stats.html")
                continue;
            EXPECT_NE(name, TManifest::PendingFileName) << "a run that succeeded left it";
            published[name] = ReadFileBytes(entry.path().string());
        }
        EXPECT_EQ(published, FExpected);
        EXPECT_FALSE(PathExists(FServerFolder + "/" + TRemoteLock::FolderName))
            << "a run left its lock";
        const TManifest manifest = TManifest::Parse(ServerManifest());
        EXPECT_EQ(manifest.Files.size(), FExpected.size());
        for (const auto& [name, data] : FExpected) {
            const auto listed = manifest.Files.find(name);
            ASSERT_NE(listed, manifest.Files.end()) << name;
            EXPECT_EQ(listed->second.Sha256, Sha256OfBytes(data)) << name;
        }
    }

    TTransportSettings FSettings;
    std::string FFolder;
    std::string FServerFolder;
    std::string FSite;
    TFaultyTransport::TFault FFault;
    TFiles FExpected;
    std::string FLastErrors;
    // What the connections of the last Publish logged.
    std::vector<std::string> FLog;
};

} // namespace syncserver

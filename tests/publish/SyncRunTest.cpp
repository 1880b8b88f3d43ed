// The synchronising publish against a server in memory: what is sent, renamed, deleted and
// left alone, the manifest written last, retries, failures, the delete cap, Cancel and
// parallel connections. After every run that succeeds the server's folder, apart from the
// manifest and the files this program never published, equals the site byte for byte.

#include "publish/SyncRun.h"

#include "TestSupport.h"
#include "platform/Error.h"
#include "platform/Locale.h"
#include "publish/MemoryTransport.h"
#include "publish/RemoteLock.h"
#include "publish/SyncServerCases.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

using TFiles = std::map<std::string, std::string>;

std::string Content(const std::string& name, int version, std::size_t size = 300) {
    std::string data = "<html>\r\n" + name + " v" + std::to_string(version) + "\r\n";
    while (data.size() < size)
        data += static_cast<char>('a' + (data.size() * 7 + name.size()) % 26);
    return data;
}

class SyncRunTest : public ::testing::Test {
  protected:
    SyncRunTest() {
        SetThousandsSeparator(",");
        std::filesystem::create_directory(Html());
    }

    std::string Html() { return Dir / "HTML"; }

    // Makes the site folder hold exactly files.
    void Site(const TFiles& files) {
        for (const auto& entry : std::filesystem::directory_iterator(Html()))
            std::filesystem::remove(entry.path());
        for (const auto& [name, data] : files)
            WriteFileBytes(Html() + "/" + name, data);
        Expected = files;
    }

    std::unique_ptr<TSyncRun> NewRun(int jobs = 1) {
        TTransportSettings settings;
        settings.Host = "memory";
        auto run =
            std::make_unique<TSyncRun>(settings, "www", Html(), MemoryTransportMaker(Server));
        run->Jobs = jobs;
        run->RetryPauseMs = 5;
        // Long enough for the owner file that comes late, short for the lock without one.
        run->LockOwnerWaitMs = 3000;
        return run;
    }

    // Prepare and Run with a new run; the run is kept in Last.
    TSyncTotals Publish(int jobs = 1, bool confirmed = false) {
        Last = NewRun(jobs);
        Last->Prepare();
        return Last->Run(confirmed);
    }

    std::map<std::string, TSyncKind> Kinds() const {
        std::map<std::string, TSyncKind> kinds;
        for (const TSyncItem& item : Last->Plan.Items)
            kinds[item.Name] = item.Kind;
        return kinds;
    }

    // The server's files apart from the manifest and the foreign ones equal the site, and
    // the manifest lists exactly the site's files with their sizes and hashes.
    void ExpectServerEqualsSite(const std::set<std::string>& foreign = {}) {
        TFiles published;
        for (const auto& [name, data] : Server.Files)
            if (name != TManifest::FileName && foreign.count(name) == 0)
                published[name] = data;
        EXPECT_EQ(published, Expected);
        for (const std::string& name : foreign)
            EXPECT_EQ(Server.Files.count(name), 1u) << name << " was touched";
        ASSERT_EQ(Server.Files.count(TManifest::FileName), 1u);
        const TManifest manifest = TManifest::Parse(Server.Files[TManifest::FileName]);
        std::set<std::string> listed;
        for (const auto& [name, entry] : manifest.Files) {
            if (foreign.count(name) > 0)
                continue;
            listed.insert(name);
            ASSERT_EQ(Expected.count(name), 1u) << name << " is listed but not on the site";
            EXPECT_EQ(entry.Size, static_cast<std::int64_t>(Expected[name].size())) << name;
            EXPECT_EQ(entry.Sha256, Sha256OfBytes(Expected[name])) << name;
        }
        EXPECT_EQ(listed.size(), Expected.size());
    }

    TTempFolder Dir;
    TMemoryServer Server;
    TFiles Expected;
    std::unique_ptr<TSyncRun> Last;
};

const TFiles FirstSite = {
    {"Default.htm", Content("Default.htm", 1)},
    {"Column1.htm", Content("Column1.htm", 1)},
    {"Column1_1.htm", Content("Column1_1.htm", 1)},
    {"Column2.htm", Content("Column2.htm", 1)},
    {"Column2_1.htm", Content("Column2_1.htm", 1)},
    {"logo.gif", std::string("GIF89a\0\1\2\r\n", 11)},
    {"empty.htm", ""},
};

} // namespace

TEST_F(SyncRunTest, AFirstPublishSendsEveryFileUnderATemporaryNameAndWritesTheManifestLast) {
    Site(FirstSite);
    const TSyncTotals totals = Publish();
    EXPECT_TRUE(totals.Succeeded());
    EXPECT_FALSE(Last->ManifestFound);
    EXPECT_EQ(Last->ManifestNote, "");
    EXPECT_EQ(totals.Uploaded, 7);
    EXPECT_EQ(totals.Deleted, 0);
    EXPECT_EQ(totals.Unchanged, 0);
    EXPECT_TRUE(totals.ManifestWritten);
    for (const auto& [name, kind] : Kinds())
        EXPECT_EQ(kind, TSyncKind::New) << name;
    ExpectServerEqualsSite();

    // Each file: up under the temporary name, its size asked, renamed into place.
    const std::vector<std::string> ops = Server.Operations();
    ASSERT_GE(ops.size(), 5u);
    // Before anything is written, the lock is taken and the lists read again; then the list
    // of files under way goes up: all of them.
    EXPECT_THAT(std::vector<std::string>(ops.begin(), ops.begin() + 11),
                ElementsAre("CONNECT ", "CWD www", "DOWNLOAD .corvane-manifest",
                            "DOWNLOAD .corvane-pending", "MKD .corvane-lock",
                            "UPLOAD .corvane-lock/owner", "DOWNLOAD .corvane-manifest",
                            "DOWNLOAD .corvane-pending", "UPLOAD .corvane-part-.corvane-pending",
                            "SIZE .corvane-part-.corvane-pending", "RENAME .corvane-pending"));
    EXPECT_EQ(std::count(ops.begin(), ops.end(), "UPLOAD .corvane-part-Column1.htm"), 1);
    const auto upload = std::find(ops.begin(), ops.end(), "UPLOAD .corvane-part-Column1.htm");
    ASSERT_NE(upload, ops.end());
    EXPECT_EQ(*(upload + 1), "SIZE .corvane-part-Column1.htm");
    EXPECT_EQ(*(upload + 2), "RENAME Column1.htm");
    // The manifest last of all, through its own temporary name; then the list goes, is seen
    // gone, and the lock goes.
    EXPECT_THAT(std::vector<std::string>(ops.end() - 7, ops.end()),
                ElementsAre("UPLOAD .corvane-part-.corvane-manifest",
                            "SIZE .corvane-part-.corvane-manifest", "RENAME .corvane-manifest",
                            "DELETE .corvane-pending", "SIZE .corvane-pending",
                            "DELETE .corvane-lock/owner", "RMD .corvane-lock"));
    EXPECT_TRUE(Server.Folders.empty());
    // One connection, logged in once.
    EXPECT_EQ(Server.Connects, 1);
    // The manifest is the plan's manifest after the run.
    EXPECT_EQ(TManifest::Parse(Server.Files[TManifest::FileName]), Last->Plan.ManifestAfterRun());
}

TEST_F(SyncRunTest, ChangesRemovedFilesAndARenamedHomepage) {
    Site(FirstSite);
    ASSERT_TRUE(Publish().Succeeded());

    struct TCase {
        const char* What;
        std::function<void(TFiles&)> Change;
        std::map<std::string, TSyncKind> Kinds; // those that are not Unchanged
        int Uploaded;
        int Deleted;
    };
    const std::vector<TCase> cases = {
        {"one page's title changed",
         [](TFiles& f) { f["Column1_1.htm"] = Content("Column1_1.htm", 2); },
         {{"Column1_1.htm", TSyncKind::Changed}},
         1,
         0},
        {"same size, other bytes",
         [](TFiles& f) {
             std::string& data = f["Column2.htm"];
             data[data.size() - 1] = data[data.size() - 1] == 'x' ? 'y' : 'x';
         },
         {{"Column2.htm", TSyncKind::Changed}},
         1,
         0},
        {"a removed column: its files deleted",
         [](TFiles& f) {
             f.erase("Column2.htm");
             f.erase("Column2_1.htm");
         },
         {{"Column2.htm", TSyncKind::Delete}, {"Column2_1.htm", TSyncKind::Delete}},
         0,
         2},
        {"a renamed homepage",
         [](TFiles& f) {
             f["Index.htm"] = f["Default.htm"];
             f.erase("Default.htm");
         },
         {{"Index.htm", TSyncKind::New}, {"Default.htm", TSyncKind::Delete}},
         1,
         1},
        {"nothing changed", [](TFiles&) {}, {}, 0, 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        TFiles site = Expected;
        c.Change(site);
        Site(site);
        Server.ClearOperations();
        const TSyncTotals totals = Publish();
        EXPECT_TRUE(totals.Succeeded()) << totals.ManifestError;
        EXPECT_TRUE(Last->ManifestFound);
        for (const auto& [name, kind] : Kinds()) {
            const auto expected = c.Kinds.find(name);
            EXPECT_EQ(kind, expected == c.Kinds.end() ? TSyncKind::Unchanged : expected->second)
                << name;
        }
        EXPECT_EQ(totals.Uploaded, c.Uploaded);
        EXPECT_EQ(totals.Deleted, c.Deleted);
        const int sentOrNew =
            static_cast<int>(std::count_if(c.Kinds.begin(), c.Kinds.end(), [](const auto& k) {
                return k.second != TSyncKind::Delete;
            }));
        EXPECT_EQ(totals.Unchanged, static_cast<int>(Expected.size()) - sentOrNew);
        // Only what changed goes up.
        EXPECT_EQ(Server.SiteUploads(), c.Uploaded);
        // Nothing changed: the manifest stays as it is, nothing but the reading is done.
        EXPECT_EQ(totals.ManifestWritten, c.Uploaded + c.Deleted > 0);
        EXPECT_EQ(Server.Count("UPLOAD .corvane-part-.corvane-pending"),
                  c.Uploaded + c.Deleted > 0 ? 1 : 0);
        ExpectServerEqualsSite();
    }
}

TEST_F(SyncRunTest, AFileOnTheServerThatTheManifestDoesNotListIsLeftAlone) {
    Site(FirstSite);
    ASSERT_TRUE(Publish().Succeeded());
    Server.Files["stats.html"] = "the host's statistics";
    Server.Files[".htaccess"] = "Options -Indexes";
    TFiles site = Expected;
    site.erase("Column1.htm");
    Site(site);
    const TSyncTotals totals = Publish();
    EXPECT_TRUE(totals.Succeeded());
    EXPECT_EQ(totals.Deleted, 1);
    EXPECT_EQ(Server.Files["stats.html"], "the host's statistics");
    ExpectServerEqualsSite({"stats.html", ".htaccess"});
    for (const TSyncItem& item : Last->Plan.Items)
        EXPECT_NE(item.Name, "stats.html");
}

TEST_F(SyncRunTest, AListNamingAHiddenFileIsNotTrustedAndTheFileStays) {
    // Hidden files are never published, so a list that names one was not written by a run:
    // neither the server's own files nor the lists beside the manifest are deleted for it.
    struct TCase {
        const char* List;
        std::string Line;
        const char* Hidden;
    };
    const std::string hash(64, 'a');
    const std::vector<TCase> cases = {
        {TManifest::FileName, hash + " 16 .htaccess\n", ".htaccess"},
        {TManifest::FileName, hash + " 5 .corvane-pending\n", TManifest::PendingFileName},
        {TManifest::PendingFileName, ".htaccess\n", ".htaccess"},
        {TManifest::PendingFileName, ".corvane-pending\n", TManifest::PendingFileName},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Line);
        Server.Files.clear();
        Server.Fault = nullptr;
        Site(FirstSite);
        ASSERT_TRUE(Publish().Succeeded());
        // The server's own hidden file; the list of files under way is the run's.
        const bool ownList = std::string(c.Hidden) == TManifest::PendingFileName;
        const std::string hidden = "kept " + std::string(c.Hidden);
        if (!ownList)
            Server.Files[c.Hidden] = hidden;
        std::string& list = Server.Files[c.List];
        if (list.empty())
            list = std::string(TManifest::PendingHeader) + "\n";
        list += c.Line;
        // A change, and the manifest that would record it refused: the run fails after
        // sending, and whatever list the server holds must still be there.
        TFiles site = Expected;
        site["Column1.htm"] = Content("Column1.htm", 2);
        Site(site);
        Server.Fault = [](const std::string& op, const std::string& name, int) {
            if (op == "UPLOAD" && name == std::string(TSyncRun::PartPrefix) + TManifest::FileName)
                throw RefusedReply(552);
        };
        const TSyncTotals failed = Publish(1, true);
        EXPECT_FALSE(failed.Succeeded());
        for (const TSyncItem& item : Last->Plan.Items)
            EXPECT_NE(item.Name, c.Hidden);
        if (ownList) {
            // The changed page went up only under a list that names it.
            ASSERT_EQ(Server.Files.count(c.Hidden), 1u);
            if (failed.Uploaded > 0) {
                EXPECT_EQ(TManifest::ParsePending(Server.Files[c.Hidden]).count("Column1.htm"), 1u);
            }
        } else {
            EXPECT_EQ(Server.Files[c.Hidden], hidden);
        }
        Server.Fault = nullptr;
        EXPECT_TRUE(Publish(1, true).Succeeded());
        // The run that succeeded removes the list of files under way, as always.
        if (ownList) {
            ExpectServerEqualsSite();
        } else {
            EXPECT_EQ(Server.Files[c.Hidden], hidden);
            ExpectServerEqualsSite({c.Hidden});
        }
    }
}

TEST_F(SyncRunTest, ASiteFileWhoseNameTheManifestCannotHoldLeavesTheRestKnown) {
    TFiles site = FirstSite;
    site["a\\b.htm"] = Content("a\\b.htm", 1);
    Site(site);
    EXPECT_TRUE(Publish().Succeeded());
    EXPECT_EQ(Server.Files["a\\b.htm"], site["a\\b.htm"]);
    const TSyncTotals again = Publish();
    EXPECT_TRUE(again.Succeeded());
    EXPECT_TRUE(Last->ManifestFound) << Last->ManifestNote;
    // Only that file goes again; the others are known unchanged.
    EXPECT_EQ(again.Uploaded, 1);
    EXPECT_EQ(again.Unchanged, static_cast<int>(FirstSite.size()));
    EXPECT_EQ(Kinds()["a\\b.htm"], TSyncKind::New);
}

TEST_F(SyncRunTest, AMissingOrUnreadableManifestMakesEveryFileNewAndDeletesNothing) {
    struct TCase {
        const char* What;
        std::function<void(TMemoryServer&)> Server;
        bool Note;
    };
    const std::vector<TCase> cases = {
        {"missing", [](TMemoryServer& s) { s.Files.erase(TManifest::FileName); }, false},
        {"another format",
         [](TMemoryServer& s) { s.Files[TManifest::FileName] = "corvane-manifest 9\n"; }, true},
        {"cut short",
         [](TMemoryServer& s) {
             std::string& text = s.Files[TManifest::FileName];
             text.resize(text.size() - 3);
         },
         true},
        {"refused",
         [](TMemoryServer& s) {
             s.Fault = [](const std::string& op, const std::string&, int) {
                 if (op == "DOWNLOAD")
                     throw RefusedReply(550);
             };
         },
         true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        Server.Files.clear();
        Server.Fault = nullptr;
        Site(FirstSite);
        ASSERT_TRUE(Publish().Succeeded());
        // A file the old manifest listed that is still on the server.
        TFiles site = Expected;
        site.erase("Column2_1.htm");
        Site(site);
        c.Server(Server);
        const TSyncTotals totals = Publish();
        EXPECT_TRUE(totals.Succeeded());
        EXPECT_FALSE(Last->ManifestFound);
        EXPECT_EQ(!Last->ManifestNote.empty(), c.Note) << Last->ManifestNote;
        EXPECT_EQ(totals.Uploaded, 6);
        EXPECT_EQ(totals.Deleted, 0);
        for (const auto& [name, kind] : Kinds())
            EXPECT_EQ(kind, TSyncKind::New) << name;
        Server.Fault = nullptr;
        // The file it no longer knows of stays, as any file it never published.
        ExpectServerEqualsSite({"Column2_1.htm"});
    }
}

TEST_F(SyncRunTest, ARunCancelledInTheMiddleAndRepeatedLeavesTheServerEqualToTheSite) {
    Site(FirstSite);
    ASSERT_TRUE(Publish().Succeeded());
    const std::string oldManifest = Server.Files[TManifest::FileName];
    TFiles site;
    for (const auto& [name, data] : Expected)
        site[name] = Content(name, 2, 400);
    site.erase("Column2.htm");
    site["New.htm"] = Content("New.htm", 1);
    Site(site);

    // The third upload is cut off half way: a part file is left behind, and the run stops.
    Last = NewRun();
    TSyncRun* run = Last.get();
    int uploads = 0;
    Server.Fault = [&](const std::string& op, const std::string& name, int) {
        if (op == "UPLOAD" && !TMemoryServer::IsListPart(name) && ++uploads == 3) {
            {
                std::lock_guard<std::mutex> lock(Server.Mutex);
                Server.Files[name] = "<html>\r\nhalf";
            }
            run->Cancel();
            throw TTransportError("Cancelled", TTransportFailure::Cancelled, "Cancelled.");
        }
    };
    run->Prepare();
    const TSyncTotals broken = run->Run();
    EXPECT_TRUE(broken.Cancelled);
    EXPECT_FALSE(broken.Succeeded());
    EXPECT_EQ(broken.Uploaded, 2);
    EXPECT_EQ(broken.Deleted, 0);
    EXPECT_FALSE(broken.ManifestWritten);
    EXPECT_EQ(Server.Files[TManifest::FileName], oldManifest);
    EXPECT_EQ(Server.Files.count("Column2.htm"), 1u);

    Server.Fault = nullptr;
    const TSyncTotals repeated = Publish();
    EXPECT_TRUE(repeated.Succeeded());
    EXPECT_EQ(repeated.Deleted, 1);
    ExpectServerEqualsSite();
    for (const auto& [name, data] : Server.Files)
        EXPECT_NE(name.rfind(TSyncRun::PartPrefix, 0), 0u) << name << " was left behind";
}

// A run broken off after it changed the server, with the site put back as it was before the
// next run: what the broken run may have changed is sent (or deleted) again, whatever the old
// manifest says of it.
TEST_F(SyncRunTest, WhatABrokenRunMayHaveChangedIsSentAgainEvenWhenTheSiteWentBack) {
    struct TCase {
        const char* What;
        // The site of the broken run, made from the first one.
        std::function<void(TFiles&)> Change;
        // Called before each operation of the broken run: true when the run is cut off there.
        std::function<bool(TMemoryServer&, const std::string&, const std::string&)> CutAt;
        std::set<std::string> Pending; // what the list of files under way names
    };
    const std::vector<TCase> cases = {
        {"a changed file in place, the next one not",
         [](TFiles& f) {
             f["Column1.htm"] = Content("Column1.htm", 2);
             f["Column2.htm"] = Content("Column2.htm", 2);
         },
         [](TMemoryServer&, const std::string& op, const std::string& name) {
             return op == "UPLOAD" && name == ".corvane-part-Column2.htm";
         },
         {"Column1.htm", "Column2.htm"}},
        {"a file deleted, the manifest not yet written",
         [](TFiles& f) { f.erase("Column2_1.htm"); },
         [](TMemoryServer& server, const std::string& op, const std::string& name) {
             if (op != "DELETE" || name != "Column2_1.htm")
                 return false;
             server.Files.erase(name);
             return true;
         },
         {"Column2_1.htm"}},
        {"a new file in place, then the site without it",
         [](TFiles& f) { f["New.htm"] = Content("New.htm", 1); },
         [](TMemoryServer&, const std::string& op, const std::string& name) {
             return op == "UPLOAD" && name == ".corvane-part-.corvane-manifest";
         },
         {"New.htm"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        Server.Files.clear();
        Server.Fault = nullptr;
        Site(FirstSite);
        ASSERT_TRUE(Publish().Succeeded());
        const std::string oldManifest = Server.Files[TManifest::FileName];
        TFiles changed = FirstSite;
        c.Change(changed);
        Site(changed);
        Last = NewRun();
        TSyncRun* run = Last.get();
        Server.Fault = [&](const std::string& op, const std::string& name, int) {
            if (c.CutAt(Server, op, name)) {
                run->Cancel();
                throw TTransportError("Cancelled", TTransportFailure::Cancelled, "Cancelled.");
            }
        };
        run->Prepare();
        EXPECT_TRUE(run->Run().Cancelled);
        Server.Fault = nullptr;
        EXPECT_EQ(Server.Files[TManifest::FileName], oldManifest);
        ASSERT_EQ(Server.Files.count(TManifest::PendingFileName), 1u);
        EXPECT_EQ(TManifest::ParsePending(Server.Files[TManifest::PendingFileName]), c.Pending);

        // The site as it was: every name the list holds is sent again or deleted.
        Site(FirstSite);
        const TSyncTotals repeated = Publish();
        EXPECT_TRUE(repeated.Succeeded()) << repeated.ManifestError;
        for (const auto& [name, kind] : Kinds()) {
            const bool pending = c.Pending.count(name) > 0;
            const TSyncKind expected = !pending                    ? TSyncKind::Unchanged
                                       : FirstSite.count(name) > 0 ? TSyncKind::Changed
                                                                   : TSyncKind::Delete;
            EXPECT_EQ(kind, expected) << name;
        }
        ExpectServerEqualsSite();
        EXPECT_EQ(Server.Files.count(TManifest::PendingFileName), 0u);
    }
}

TEST_F(SyncRunTest, ARunBrokenOffWhileItReplacesTheListOfFilesUnderWayTrustsNoneOfItsNames) {
    // A server that does not rename over a file: the old list is moved aside before the new
    // one takes its place, and a run broken off between the two must not leave the old
    // manifest claiming what the earlier broken run changed.
    for (const bool replaces : {false, true}) {
        SCOPED_TRACE(replaces ? "renames over a file" : "does not rename over a file");
        Server.Files.clear();
        Server.Fault = nullptr;
        Server.RenameReplaces = replaces;
        Site(FirstSite);
        ASSERT_TRUE(Publish().Succeeded());

        // Broken off before the manifest: the server has the changed page, the old manifest
        // the old one, the list of files under way its name.
        TFiles changed = FirstSite;
        changed["Column1.htm"] = Content("Column1.htm", 2);
        Site(changed);
        Last = NewRun();
        TSyncRun* run = Last.get();
        Server.Fault = [&](const std::string& op, const std::string& name, int) {
            if (op == "UPLOAD" && name == std::string(TSyncRun::PartPrefix) + TManifest::FileName) {
                run->Cancel();
                throw TTransportError("Cancelled", TTransportFailure::Cancelled, "Cancelled.");
            }
        };
        run->Prepare();
        EXPECT_TRUE(run->Run().Cancelled);
        ASSERT_EQ(Server.Files.count(TManifest::PendingFileName), 1u);

        // The site as it was and one page more: the list grows, and the run is broken off
        // once the old list is gone from its name.
        TFiles back = FirstSite;
        back["New.htm"] = Content("New.htm", 1);
        Site(back);
        Last = NewRun();
        run = Last.get();
        bool listDeleted = false;
        Server.Fault = [&](const std::string& op, const std::string& name, int) {
            if (op == "RENAME" && name == PrefixedName(AsideFilePrefix, TManifest::PendingFileName))
                listDeleted = true;
            if (op == "RENAME" && name == TManifest::PendingFileName && listDeleted) {
                run->Cancel();
                throw TTransportError("Cancelled", TTransportFailure::Cancelled, "Cancelled.");
            }
        };
        run->Prepare();
        const TSyncTotals broken = run->Run();
        EXPECT_EQ(broken.Cancelled, !replaces);
        Server.Fault = nullptr;

        // The next run sends the page the server may hold in another version. The old list
        // stays under the name it was moved aside to, where no run reads it.
        EXPECT_TRUE(Publish().Succeeded());
        if (replaces)
            ExpectServerEqualsSite();
        else
            ExpectServerEqualsSite({PrefixedName(AsideFilePrefix, TManifest::PendingFileName)});
        EXPECT_EQ(Server.Files.count(TManifest::PendingFileName), 0u);
    }
    Server.RenameReplaces = true;
}

TEST_F(SyncRunTest, AnUnreadableOrUnwritablePendingListIsNeverTrusted) {
    Site(FirstSite);
    ASSERT_TRUE(Publish().Succeeded());
    TFiles site = Expected;
    site.erase("Column2_1.htm");
    site["Column1.htm"] = Content("Column1.htm", 2);
    Site(site);

    // Not written: nothing is sent or deleted, and the run fails saying why.
    Server.ClearOperations();
    Server.Fault = [](const std::string& op, const std::string& name, int) {
        if (op == "UPLOAD" && name == ".corvane-part-.corvane-pending")
            throw RefusedReply(553, name);
    };
    TSyncTotals totals = Publish();
    EXPECT_FALSE(totals.Succeeded());
    EXPECT_THAT(totals.ManifestError, HasSubstr("553"));
    EXPECT_EQ(Server.SiteUploads(), 0);
    EXPECT_EQ(Server.Count("DELETE Column2_1.htm"), 0);
    for (const TSyncItemStatus& status : Last->Status)
        EXPECT_EQ(status.State, TSyncState::Skipped);

    // Not readable: as with an unreadable manifest, every file is new and nothing is
    // deleted; the run that succeeds removes it.
    Server.Fault = nullptr;
    Server.Files[TManifest::PendingFileName] = "corvane-pending 1\n../Default.htm\n";
    totals = Publish();
    EXPECT_TRUE(totals.Succeeded());
    EXPECT_FALSE(Last->ManifestFound);
    EXPECT_THAT(Last->ManifestNote, HasSubstr("list of files under way"));
    EXPECT_EQ(totals.Uploaded, 6);
    EXPECT_EQ(totals.Deleted, 0);
    ExpectServerEqualsSite({"Column2_1.htm"});
    EXPECT_EQ(Server.Files.count(TManifest::PendingFileName), 0u);

    // Not removed after the manifest: the run still succeeds, and the next one sends what it
    // names once more, then removes it.
    site["Column1.htm"] = Content("Column1.htm", 3);
    Site(site);
    Server.Fault = [](const std::string& op, const std::string& name, int) {
        if (op == "DELETE" && name == TManifest::PendingFileName)
            throw RefusedReply(550, name);
    };
    std::vector<std::string> log;
    Last = NewRun();
    Last->OnLog = [&log](const std::string& line) { log.push_back(line); };
    Last->Prepare();
    totals = Last->Run();
    EXPECT_TRUE(totals.Succeeded());
    EXPECT_THAT(log, ::testing::Contains(HasSubstr("The list of files under way stays")));
    EXPECT_EQ(TManifest::ParsePending(Server.Files[TManifest::PendingFileName]),
              std::set<std::string>{"Column1.htm"});
    Server.Fault = nullptr;
    Server.ClearOperations();
    totals = Publish();
    EXPECT_TRUE(totals.Succeeded());
    EXPECT_EQ(Kinds()["Column1.htm"], TSyncKind::Changed);
    EXPECT_EQ(totals.Uploaded, 1);
    ExpectServerEqualsSite({"Column2_1.htm"});
    EXPECT_EQ(Server.Files.count(TManifest::PendingFileName), 0u);
}

TEST_F(SyncRunTest, ADeletionCountsOnlyWhenTheServerShowsTheFileGone) {
    // Neither answer to a delete is proof: an FTP server answers 550 alike for a file it does
    // not have and one it will not delete, and some answer 250 and keep the file. Its size,
    // or where the server tells none the listing of the folder, shows which.
    enum class TAnswer { Deleted, MissingAndGone, MissingButKept, DoneButKept };
    enum class TOutcome { Deleted, Failed, Unchecked };
    struct TCase {
        const char* What;
        TAnswer Answer;
        bool TellsSize;
        bool Lists;
        TOutcome Outcome;
    };
    const TCase cases[] = {
        {"deleted, its size gone", TAnswer::Deleted, true, true, TOutcome::Deleted},
        {"already gone", TAnswer::MissingAndGone, true, true, TOutcome::Deleted},
        {"550, its size still told", TAnswer::MissingButKept, true, true, TOutcome::Failed},
        {"250, its size still told", TAnswer::DoneButKept, true, true, TOutcome::Failed},
        {"deleted, no sizes, gone from the listing", TAnswer::Deleted, false, true,
         TOutcome::Deleted},
        {"550, no sizes, still listed", TAnswer::MissingButKept, false, true, TOutcome::Failed},
        {"250, no sizes, still listed", TAnswer::DoneButKept, false, true, TOutcome::Failed},
        {"deleted, neither sizes nor a listing", TAnswer::Deleted, false, false,
         TOutcome::Unchecked},
        {"550, neither sizes nor a listing", TAnswer::MissingButKept, false, false,
         TOutcome::Unchecked},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        Server.Files.clear();
        Server.Fault = nullptr;
        Server.KeptOnDelete.clear();
        Server.TellsSize = c.TellsSize;
        Server.Lists = c.Lists;
        Site(FirstSite);
        ASSERT_TRUE(Publish().Succeeded());
        TFiles site = Expected;
        site.erase("Column2.htm");
        Site(site);
        if (c.Answer == TAnswer::DoneButKept)
            Server.KeptOnDelete.insert("Column2.htm");
        Server.Fault = [&](const std::string& op, const std::string& name, int) {
            if (op != "DELETE" || name != "Column2.htm" || c.Answer == TAnswer::Deleted ||
                c.Answer == TAnswer::DoneButKept)
                return;
            if (c.Answer == TAnswer::MissingAndGone)
                Server.Files.erase(name);
            throw TTransportError("550 " + name + ": not deleted", TTransportFailure::FileMissing,
                                  "The file is not on the server.", {}, name)
                .WithReplyCode(550);
        };
        const TSyncTotals totals = Publish();
        Server.Fault = nullptr;
        Server.KeptOnDelete.clear();
        const bool kept = c.Answer == TAnswer::MissingButKept || c.Answer == TAnswer::DoneButKept;
        EXPECT_EQ(Server.Files.count("Column2.htm"), kept ? 1u : 0u);
        EXPECT_EQ(totals.Succeeded(), c.Outcome != TOutcome::Failed);
        EXPECT_EQ(totals.Deleted, c.Outcome == TOutcome::Deleted ? 1 : 0);
        EXPECT_EQ(totals.DeletesUnchecked, c.Outcome == TOutcome::Unchecked ? 1 : 0);
        EXPECT_EQ(totals.Failures, c.Outcome == TOutcome::Failed ? 1 : 0);
        std::size_t index = 0;
        while (Last->Plan.Items[index].Name != "Column2.htm")
            ++index;
        const TSyncItemStatus& status = Last->Status[index];
        switch (c.Outcome) {
        case TOutcome::Deleted:
            EXPECT_EQ(status.State, TSyncState::Done);
            EXPECT_EQ(
                TManifest::Parse(Server.Files[TManifest::FileName]).Files.count("Column2.htm"), 0u);
            ExpectServerEqualsSite();
            break;
        case TOutcome::Failed:
            // Permanent: tried once; the old manifest and the list of files under way stay.
            EXPECT_EQ(status.State, TSyncState::Failed);
            EXPECT_THAT(status.Error, HasSubstr("still holds Column2.htm"));
            EXPECT_EQ(status.Attempts, 1);
            EXPECT_EQ(
                TManifest::Parse(Server.Files[TManifest::FileName]).Files.count("Column2.htm"), 1u);
            break;
        case TOutcome::Unchecked:
            // The run succeeds; the name stays, its content unknown, for the next run.
            EXPECT_EQ(status.State, TSyncState::Unchecked);
            EXPECT_THAT(status.Error, HasSubstr("could not be checked"));
            EXPECT_TRUE(Last->ServerManifest().Unknown().count("Column2.htm"));
            ASSERT_EQ(Server.Files.count(TManifest::PendingFileName), 1u);
            EXPECT_EQ(TManifest::ParsePending(Server.Files[TManifest::PendingFileName]),
                      std::set<std::string>{"Column2.htm"});
            break;
        }
        if (c.Outcome == TOutcome::Deleted)
            continue;
        // The next run deletes it again; once the server lets it go and shows it gone, it
        // drops out.
        Server.Files["Column2.htm"] = FirstSite.at("Column2.htm");
        Server.TellsSize = true;
        Server.ClearOperations();
        const TSyncTotals again = Publish();
        EXPECT_TRUE(again.Succeeded());
        EXPECT_EQ(again.Deleted, 1);
        EXPECT_EQ(Server.Count("DELETE Column2.htm"), 1);
        ExpectServerEqualsSite();
        EXPECT_EQ(Server.Files.count(TManifest::PendingFileName), 0u);
    }
    Server.TellsSize = true;
    Server.Lists = true;
}

TEST_F(SyncRunTest, ANameChangedOnlyInCaseIsSentAndItsOldSpellingNeverDeleted) {
    // On a server that ignores case, deleting Index.htm after sending index.htm removed the
    // page just put in place, and every later run found it unchanged.
    struct TCase {
        const char* What;
        bool FoldsCase;
        bool Changed;
    };
    const TCase cases[] = {
        {"a server that ignores case, same content", true, false},
        {"a server that ignores case, new content", true, true},
        // The old spelling stays there, no longer listed: deleting it is not safe where the
        // server's kind is not known.
        {"a server that keeps case", false, true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        Server.Files.clear();
        Server.FoldsCase = c.FoldsCase;
        TFiles site = FirstSite;
        site["Index.htm"] = Content("Index.htm", 1);
        Site(site);
        ASSERT_TRUE(Publish().Succeeded());
        site.erase("Index.htm");
        site["index.htm"] = c.Changed ? Content("index.htm", 2) : Content("Index.htm", 1);
        Site(site);
        Server.ClearOperations();
        const TSyncTotals totals = Publish();
        EXPECT_TRUE(totals.Succeeded());
        EXPECT_EQ(totals.Uploaded, 1);
        EXPECT_EQ(totals.Deleted, 0);
        EXPECT_EQ(Server.Count("DELETE"), 2); // the list of files under way, the lock's owner
        EXPECT_EQ(Kinds().count("Index.htm"), 0u);
        const std::set<std::string> foreign =
            c.FoldsCase ? std::set<std::string>() : std::set<std::string>{"Index.htm"};
        ExpectServerEqualsSite(foreign);
        EXPECT_EQ(TManifest::Parse(Server.Files[TManifest::FileName]).Files.count("Index.htm"), 0u);
        // The next run finds nothing to do, and the page is still there.
        Server.ClearOperations();
        const TSyncTotals next = Publish();
        EXPECT_EQ(next.Uploaded + next.Deleted, 0);
        EXPECT_EQ(Server.Count("DELETE"), 0);
        ExpectServerEqualsSite(foreign);
    }
    Server.FoldsCase = false;
}

TEST_F(SyncRunTest, MoreDeletionsThanTheCapNeedConfirmation) {
    TFiles site = FirstSite;
    for (int i = 1; i <= TSyncPlan::DeleteCap + 1; ++i)
        site["Old" + std::to_string(i) + ".htm"] = Content("Old", i);
    Site(site);
    ASSERT_TRUE(Publish().Succeeded());
    Site(FirstSite);

    // Not confirmed: nothing is deleted and the manifest keeps them for the next run.
    TSyncTotals totals = Publish(2, false);
    EXPECT_EQ(Last->Plan.DeleteQuestion(), "Delete 51 files that the site no longer has?");
    EXPECT_TRUE(totals.Succeeded());
    EXPECT_EQ(totals.Deleted, 0);
    EXPECT_EQ(totals.DeletesHeldBack, 51);
    EXPECT_EQ(Server.Count("DELETE Old"), 0);
    EXPECT_EQ(TManifest::Parse(Server.Files[TManifest::FileName]).Files.size(), site.size());

    // Unticking one brings it to the cap: no question, and fifty go.
    Last = NewRun(3);
    Last->Prepare();
    EXPECT_EQ(Last->Plan.Deletes(), 51);
    for (TSyncItem& item : Last->Plan.Items)
        if (item.Name == "Old7.htm")
            item.Ticked = false;
    EXPECT_EQ(Last->Plan.DeleteQuestion(), "");
    totals = Last->Run(false);
    EXPECT_TRUE(totals.Succeeded());
    EXPECT_EQ(totals.Deleted, 50);
    EXPECT_EQ(TManifest::Parse(Server.Files[TManifest::FileName]).Files.count("Old7.htm"), 1u);
    ExpectServerEqualsSite({"Old7.htm"});

    // Confirmed: the rest goes too (here one, below the cap anyway).
    totals = Publish(1, true);
    EXPECT_EQ(totals.Deleted, 1);
    ExpectServerEqualsSite();

    // Above the cap and confirmed.
    Site(site);
    ASSERT_TRUE(Publish(4).Succeeded());
    Site(FirstSite);
    totals = Publish(4, true);
    EXPECT_TRUE(totals.Succeeded());
    EXPECT_EQ(totals.Deleted, 51);
    ExpectServerEqualsSite();
}

TEST_F(SyncRunTest, TransientFailuresAreRetriedOnAFreshConnection) {
    struct TCase {
        const char* What;
        std::function<TTransportError()> Failure;
        const char* Op;
        int Times;
        bool Succeeds;
        int Attempts;
    };
    const std::vector<TCase> cases = {
        {"421 reply", [] { return RefusedReply(421); }, "UPLOAD", 1, true, 2},
        {"450 reply on the rename", [] { return RefusedReply(450); }, "RENAME", 2, true, 3},
        {"connection reset", [] { return ConnectionReset(); }, "UPLOAD", 3, true, 4},
        {"time-out asking the size", [] { return TimedOut(); }, "SIZE", 1, true, 2},
        {"four resets: given up", [] { return ConnectionReset(); }, "UPLOAD", 4, false, 4},
        {"553 refused name: at once", [] { return RefusedReply(553); }, "UPLOAD", 1, false, 1},
        {"550 on the rename: the target deleted first, then fails again",
         [] { return RefusedReply(550); }, "RENAME", 2, false, 1},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        Server.Files.clear();
        Server.Fault = nullptr;
        Site(FirstSite);
        ASSERT_TRUE(Publish().Succeeded());
        const std::string oldManifest = Server.Files[TManifest::FileName];
        TFiles site = Expected;
        site["Column1.htm"] = Content("Column1.htm", 2);
        site["Column2.htm"] = Content("Column2.htm", 2);
        site.erase("Column2_1.htm");
        Site(site);
        Server.ClearOperations();
        int failed = 0;
        Server.Fault = [&](const std::string& op, const std::string& name, int) {
            if (op == c.Op && name.find("Column1.htm") != std::string::npos && failed < c.Times) {
                ++failed;
                throw c.Failure();
            }
        };
        const TSyncTotals totals = Publish();
        std::size_t index = 0;
        while (Last->Plan.Items[index].Name != "Column1.htm")
            ++index;
        const TSyncItemStatus& status = Last->Status[index];
        EXPECT_EQ(status.Attempts, c.Attempts);
        EXPECT_EQ(totals.Succeeded(), c.Succeeds);
        // The other file goes all the same.
        EXPECT_EQ(totals.Uploaded, c.Succeeds ? 2 : 1);
        if (c.Succeeds) {
            EXPECT_EQ(status.State, TSyncState::Done);
            // Each retry on a connection of its own.
            EXPECT_EQ(Server.Connects, c.Attempts);
            Server.Fault = nullptr;
            ExpectServerEqualsSite();
        } else {
            EXPECT_EQ(status.State, TSyncState::Failed);
            EXPECT_FALSE(status.Error.empty());
            EXPECT_EQ(totals.Failures, 1);
            EXPECT_EQ(Last->Failures(), 1);
            // No deletion after a failed upload, and the old manifest stays.
            EXPECT_EQ(totals.DeletesNotBegun, 1);
            EXPECT_EQ(Server.Count("DELETE Column2_1.htm"), 0);
            EXPECT_EQ(Server.Files.count("Column2_1.htm"), 1u);
            EXPECT_FALSE(totals.ManifestWritten);
            EXPECT_EQ(Server.Files[TManifest::FileName], oldManifest);

            // Retry Failed: only the failed file goes again, and then the manifest.
            Server.Fault = nullptr;
            Server.ClearOperations();
            Last->TickOnlyFailed();
            EXPECT_EQ(Last->Plan.Uploads(), 1);
            EXPECT_EQ(Last->Plan.Deletes(), 0);
            const TSyncTotals retried = Last->Run();
            EXPECT_TRUE(retried.Succeeded());
            EXPECT_EQ(retried.Uploaded, 1);
            EXPECT_EQ(Server.Count("UPLOAD .corvane-part-Column1.htm"), 1);
            EXPECT_EQ(Server.Count("UPLOAD .corvane-part-Column2.htm"), 0);
            // The file not deleted stays listed, to be deleted by the next run.
            const TManifest written = TManifest::Parse(Server.Files[TManifest::FileName]);
            EXPECT_EQ(written.Files.count("Column2_1.htm"), 1u);
            EXPECT_EQ(written.Files.at("Column1.htm").Sha256, Sha256OfBytes(site["Column1.htm"]));
            EXPECT_EQ(written.Files.at("Column2.htm").Sha256, Sha256OfBytes(site["Column2.htm"]));
            EXPECT_TRUE(Publish().Succeeded());
            EXPECT_EQ(Server.Files.count("Column2_1.htm"), 0u);
            ExpectServerEqualsSite();
        }
    }
}

TEST_F(SyncRunTest, AServerThatRefusesRenamesKeepsEveryPageAndIsFoundOutOnce) {
    Site(FirstSite);
    ASSERT_TRUE(Publish().Succeeded());
    const TFiles before = Server.Files;
    TFiles site;
    for (const auto& [name, data] : Expected)
        site[name] = Content(name, 4);
    Site(site);
    // Every rename but those of the lists beside the pages is refused, and the connection
    // breaks once after the first refusal: the next connection knows it from the start.
    int refusals = 0;
    bool reset = false;
    Server.Fault = [&](const std::string& op, const std::string& name, int) {
        if (op == "RENAME" && name != TManifest::FileName && name != TManifest::PendingFileName) {
            ++refusals;
            throw RefusedReply(550, name);
        }
        if (op == "UPLOAD" && refusals > 0 && !reset && !TMemoryServer::IsListPart(name)) {
            reset = true;
            throw ConnectionReset();
        }
    };
    Server.ClearOperations();
    const TSyncTotals totals = Publish();
    Server.Fault = nullptr;
    EXPECT_TRUE(reset);
    EXPECT_FALSE(totals.Succeeded());
    EXPECT_EQ(totals.Uploaded, 0);
    EXPECT_EQ(totals.Failures, static_cast<int>(site.size()));
    EXPECT_EQ(Server.Connects, 2);
    // The first page tried the rename and the move aside, every other one its rename alone.
    EXPECT_EQ(Server.Count("RENAME .corvane-old-"), 1);
    EXPECT_EQ(refusals, static_cast<int>(site.size()) + 1);
    for (const TSyncItemStatus& status : Last->Status)
        EXPECT_THAT(status.Error, ::testing::HasSubstr("550 refused"));
    // Every page as it was, and no part file left in the folder.
    for (const auto& [name, data] : Expected)
        EXPECT_EQ(Server.Files[name], before.at(name)) << name;
    for (const auto& [name, data] : Server.Files)
        EXPECT_NE(name.rfind(PartFilePrefix, 0), 0u) << name;
}

TEST_F(SyncRunTest, WhatAWrappedTransportFindsOutAboutRenamesIsTheWrappedOnes) {
    // The lists go up by the base class's steps on whatever transport the run holds, a
    // wrapper among them: what those steps find out must reach the other connections.
    Server.Files["a.htm"] = "old";
    WriteFileBytes(Html() + "/a.htm", "new");
    const syncserver::TFaultyTransport::TFault refuse = [](const std::string& op,
                                                           const std::string& name) {
        if (op == "RENAME")
            throw RefusedReply(550, name);
    };
    for (const bool knownBefore : {false, true}) {
        SCOPED_TRACE(knownBefore ? "known before" : "found out");
        syncserver::TFaultyTransport wrapper(std::make_unique<TMemoryTransport>(Server), refuse);
        wrapper.Connect();
        wrapper.ChangeFolder("www");
        wrapper.SetRenamesRefused(knownBefore);
        Server.ClearOperations();
        EXPECT_THROW(wrapper.TTransport::UploadReplacing(Html() + "/a.htm", "a.htm",
                                                         PrefixedName(PartFilePrefix, "a.htm")),
                     TTransportError);
        EXPECT_TRUE(wrapper.RenamesRefused());
        // Known before, the old file is not even looked at.
        EXPECT_EQ(Server.Count("SIZE a.htm"), knownBefore ? 0 : 1);
        EXPECT_EQ(Server.Files["a.htm"], "old");
    }
}

TEST_F(SyncRunTest, AFileThatDidNotArriveWholeIsSentAgainAndAServerWithoutSizeIsTrusted) {
    Site(FirstSite);
    int cut = 0;
    Server.Fault = [&](const std::string& op, const std::string& name, int) {
        // The upload "succeeds" but the server holds less.
        if (op == "SIZE" && name == ".corvane-part-Column1.htm" && cut++ == 0) {
            std::lock_guard<std::mutex> lock(Server.Mutex);
            Server.Files[name].resize(10);
        }
    };
    TSyncTotals totals = Publish();
    EXPECT_TRUE(totals.Succeeded());
    EXPECT_EQ(Server.Count("UPLOAD .corvane-part-Column1.htm"), 2);
    ExpectServerEqualsSite();

    Server.Files.clear();
    Server.Fault = nullptr;
    Server.TellsSize = false;
    totals = Publish();
    EXPECT_TRUE(totals.Succeeded());
    ExpectServerEqualsSite();
}

TEST_F(SyncRunTest, ARunFailingAfterSomeUploadsLeavesTheOldManifest) {
    Site(FirstSite);
    ASSERT_TRUE(Publish().Succeeded());
    const std::string oldManifest = Server.Files[TManifest::FileName];
    TFiles site;
    for (const auto& [name, data] : Expected)
        site[name] = Content(name, 3);
    Site(site);
    // The fifth file is refused; the other six go up.
    Server.ClearOperations();
    int uploads = 0;
    Server.Fault = [&](const std::string& op, const std::string& name, int) {
        if (op == "UPLOAD" && !TMemoryServer::IsListPart(name) && ++uploads == 5)
            throw RefusedReply(552);
    };
    const TSyncTotals totals = Publish();
    EXPECT_FALSE(totals.Succeeded());
    EXPECT_EQ(totals.Uploaded, 6);
    EXPECT_EQ(totals.Failures, 1);
    EXPECT_EQ(Server.Files[TManifest::FileName], oldManifest);
    EXPECT_EQ(Server.Count("UPLOAD .corvane-part-.corvane-manifest"), 0);

    // A failure sending the manifest itself: the old one stays too, and the run failed.
    Server.Fault = [&](const std::string& op, const std::string& name, int) {
        if (op == "UPLOAD" && name == std::string(TSyncRun::PartPrefix) + TManifest::FileName)
            throw RefusedReply(552);
    };
    const TSyncTotals again = Publish();
    EXPECT_FALSE(again.Succeeded());
    EXPECT_EQ(again.Failures, 0);
    // The old manifest still says the files are changed: all seven go again.
    EXPECT_EQ(again.Uploaded, 7);
    EXPECT_FALSE(again.ManifestError.empty());
    EXPECT_EQ(Server.Files[TManifest::FileName], oldManifest);

    // A server that renames nothing into its place (but moves a file aside): the old manifest
    // was moved aside to make room, none took its place and it could not be put back, so
    // that none claims what the server may not have; the old one is kept, never deleted.
    Server.Fault = [&](const std::string& op, const std::string& name, int) {
        if (op == "RENAME" && name == TManifest::FileName)
            throw RefusedReply(553);
    };
    const TSyncTotals third = Publish();
    EXPECT_FALSE(third.Succeeded());
    EXPECT_FALSE(third.ManifestError.empty());
    EXPECT_EQ(Server.Files.count(TManifest::FileName), 0u);
    const std::string aside = PrefixedName(AsideFilePrefix, TManifest::FileName);
    EXPECT_EQ(Server.Files[aside], oldManifest);
    Server.Fault = nullptr;
    EXPECT_TRUE(Publish().Succeeded());
    ExpectServerEqualsSite({aside});
}

TEST_F(SyncRunTest, ParallelConnectionsEachLoggedInOnceAndReused) {
    TFiles site;
    for (int i = 0; i < 24; ++i)
        site["Page" + std::to_string(i) + ".htm"] = Content("Page", i, 2000 + 10 * i);
    Site(site);
    Server.UploadMs = 20;
    std::vector<std::thread::id> callbackThreads;
    Last = NewRun(4);
    int items = 0;
    std::int64_t lastDone = -1, lastTotal = -1;
    Last->OnItem = [&](std::size_t) {
        ++items;
        callbackThreads.push_back(std::this_thread::get_id());
    };
    Last->OnProgress = [&](std::int64_t done, std::int64_t total) {
        lastDone = done;
        lastTotal = total;
        callbackThreads.push_back(std::this_thread::get_id());
    };
    Last->Prepare();
    const TSyncTotals totals = Last->Run();
    EXPECT_TRUE(totals.Succeeded());
    EXPECT_EQ(totals.Uploaded, 24);
    EXPECT_EQ(Server.Connects, 4);
    EXPECT_EQ(Server.MostUploadsAtOnce.load(), 4);
    // Sending and done for each file, and every callback on this thread.
    EXPECT_EQ(items, 48);
    for (const std::thread::id& id : callbackThreads)
        EXPECT_EQ(id, std::this_thread::get_id());
    EXPECT_EQ(lastDone, totals.UploadedBytes);
    EXPECT_EQ(lastTotal, totals.UploadedBytes);
    ExpectServerEqualsSite();

    // A server that allows two connections: the others give their files to those two.
    Server.Files.clear();
    Server.ClearOperations();
    Server.Fault = [](const std::string& op, const std::string&, int connection) {
        if (op == "CONNECT" && connection > 2)
            throw RefusedReply(421);
    };
    const TSyncTotals limited = Publish(8);
    EXPECT_TRUE(limited.Succeeded());
    EXPECT_EQ(limited.Uploaded, 24);
    EXPECT_LE(Server.MostUploadsAtOnce.load(), 2);
    ExpectServerEqualsSite();
}

TEST_F(SyncRunTest, AServerThatCannotTakeCommandsSentTogetherGetsOneAtATimeOnEveryNewConnection) {
    TFiles site;
    for (int i = 0; i < 12; ++i)
        site["Page" + std::to_string(i) + ".htm"] = Content("Page", i, 500 + i);
    Site(site);
    Server.DropsCommandsSentTogether = true;
    const TSyncTotals totals = Publish(3);
    EXPECT_TRUE(totals.Succeeded());
    EXPECT_EQ(totals.Uploaded, 12);
    // At most once on each of the three connections that were there before a failure was
    // seen; every connection made after one is told.
    EXPECT_GE(Server.SentTogether.load(), 1);
    EXPECT_LE(Server.SentTogether.load(), 3);
    int retried = 0;
    for (const TSyncItemStatus& status : Last->Status)
        retried += status.Attempts > 1 ? 1 : 0;
    EXPECT_EQ(retried, Server.SentTogether.load());
    ExpectServerEqualsSite();

    // A run of its own starts over with commands sent together.
    Server.Files.clear();
    Server.SentTogether = 0;
    EXPECT_TRUE(Publish(1).Succeeded());
    EXPECT_EQ(Server.SentTogether.load(), 1);
    ExpectServerEqualsSite();
}

TEST_F(SyncRunTest, ACancelJustBeforePrepareOrRunIsNotLost) {
    // The publish run hands its Cancel on as soon as the run is there, which may be before
    // Prepare or Run begins: they must not forget it.
    enum class TWhen { BeforePrepare, BeforeRun, ResetBeforeRun };
    for (const TWhen when : {TWhen::BeforePrepare, TWhen::BeforeRun, TWhen::ResetBeforeRun}) {
        SCOPED_TRACE(static_cast<int>(when));
        Server.Files.clear();
        Site(FirstSite);
        Last = NewRun(2);
        if (when == TWhen::BeforePrepare) {
            Last->Cancel();
            try {
                Last->Prepare();
                ADD_FAILURE() << "prepared";
            } catch (const TTransportError& e) {
                EXPECT_EQ(e.Kind(), TTransportFailure::Cancelled);
            }
            EXPECT_EQ(Server.Count("DOWNLOAD"), 0);
            continue;
        }
        Last->Prepare();
        Last->Cancel();
        if (when == TWhen::ResetBeforeRun)
            Last->ResetCancel();
        const TSyncTotals totals = Last->Run();
        if (when == TWhen::BeforeRun) {
            EXPECT_TRUE(totals.Cancelled);
            EXPECT_EQ(totals.Uploaded, 0);
            EXPECT_EQ(Server.SiteUploads(), 0);
            EXPECT_EQ(Server.Files.count(TManifest::FileName), 0u);
        } else {
            EXPECT_TRUE(totals.Succeeded());
            ExpectServerEqualsSite();
        }
    }
}

TEST_F(SyncRunTest, CancelFromAnotherThreadEndsARunWithinASecond) {
    TFiles site;
    for (int i = 0; i < 8; ++i)
        site["Slow" + std::to_string(i) + ".htm"] = Content("Slow", i);
    Site(site);
    Server.UploadMs = 60000;
    Last = NewRun(2);
    Last->Prepare();
    std::thread canceller([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        Last->Cancel();
    });
    const auto started = std::chrono::steady_clock::now();
    const TSyncTotals totals = Last->Run();
    const auto took = std::chrono::steady_clock::now() - started;
    canceller.join();
    EXPECT_TRUE(totals.Cancelled);
    EXPECT_LT(took, std::chrono::milliseconds(1200));
    EXPECT_EQ(totals.Uploaded, 0);
    EXPECT_FALSE(totals.ManifestWritten);
    EXPECT_EQ(Server.Files.count(TManifest::FileName), 0u);
    int failed = 0, skipped = 0;
    for (const TSyncItemStatus& status : Last->Status) {
        if (status.State == TSyncState::Failed) {
            ++failed;
            EXPECT_EQ(status.Error, "Cancelled");
        } else {
            EXPECT_EQ(status.State, TSyncState::Skipped);
            ++skipped;
        }
    }
    EXPECT_EQ(failed, 2);
    EXPECT_EQ(skipped, 6);
}

TEST_F(SyncRunTest, PrepareFailsOnAConnectionOrFolderFailureAndOnABrokenManifestRead) {
    Site(FirstSite);
    struct TCase {
        const char* What;
        std::function<void(const std::string&, const std::string&, int)> Fault;
        std::string Folder;
        TTransportFailure Kind;
    };
    const std::vector<TCase> cases = {
        {"login refused",
         [](const std::string& op, const std::string&, int) {
             if (op == "CONNECT")
                 throw TTransportError("530 Login incorrect", TTransportFailure::LoginRefused,
                                       "The user name or password was refused.")
                     .WithReplyCode(530);
         },
         "www", TTransportFailure::LoginRefused},
        {"no folder", nullptr, "elsewhere", TTransportFailure::FolderMissing},
        {"reset while reading the manifest",
         [](const std::string& op, const std::string&, int) {
             if (op == "DOWNLOAD")
                 throw ConnectionReset();
         },
         "www", TTransportFailure::ConnectionLost},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        Server.Fault = c.Fault;
        Server.Folder = c.Folder;
        TTransportSettings settings;
        TSyncRun run(settings, "www", Html(), MemoryTransportMaker(Server));
        try {
            run.Prepare();
            ADD_FAILURE() << "Prepare went through";
        } catch (const TTransportError& e) {
            EXPECT_EQ(e.Kind(), c.Kind);
        }
    }
}

TEST_F(SyncRunTest, RunNeedsAPrepareThatSucceeded) {
    Site(FirstSite);
    auto run = NewRun();
    EXPECT_THROW(run->Run(), TError);
    Server.Folder = "elsewhere";
    EXPECT_THROW(run->Prepare(), TTransportError);
    EXPECT_THROW(run->Run(), TError);
    EXPECT_TRUE(Server.Files.empty());
}

TEST(SyncTransient, WhichFailuresAreRetried) {
    struct TCase {
        TTransportFailure Kind;
        int Code;
        const char* Protocol;
        bool Transient;
    };
    const TCase cases[] = {
        {TTransportFailure::Other, 0, "FTP", false},
        {TTransportFailure::ConnectionLost, 0, "FTP", true},
        {TTransportFailure::ConnectionLost, 0, "SFTP", true},
        {TTransportFailure::NoAnswer, 0, "FTP", true},
        {TTransportFailure::FileRefused, 421, "FTP", true},
        {TTransportFailure::DiskFull, 452, "FTPS", true},
        {TTransportFailure::FileRefused, 553, "FTP", false},
        {TTransportFailure::Other, 550, "FTP", false},
        {TTransportFailure::LoginRefused, 530, "FTP", false},
        {TTransportFailure::FolderMissing, 0, "SFTP", false},
        {TTransportFailure::FileRefused, 0, "SFTP", false},
        {TTransportFailure::Other, 7, "SFTP", true},
        {TTransportFailure::Other, 4, "SFTP", false},
        {TTransportFailure::NotTrusted, 0, "FTPS", false},
        {TTransportFailure::Cancelled, 0, "FTP", false},
        {TTransportFailure::Cancelled, 421, "FTP", false},
    };
    for (const TCase& c : cases) {
        TTransportError error("x", c.Kind, "x");
        error.WithReplyCode(c.Code);
        EXPECT_EQ(IsTransientFailure(error, c.Protocol), c.Transient)
            << static_cast<int>(c.Kind) << " " << c.Code;
    }
}

// ---- The lock in the remote folder.

namespace {

// The time the runs of the lock tests take for now.
constexpr std::int64_t Now = 1800000000;

// The lock of another publish on the server.
void PutLock(TMemoryServer& server, const std::optional<TLockOwner>& owner) {
    server.Folders.insert(TRemoteLock::FolderName);
    if (owner)
        server.Files[TRemoteLock::OwnerPath] = TRemoteLock::OwnerText(*owner);
}

} // namespace

TEST_F(SyncRunTest, ALockOnTheServerKeepsARunOutUnlessItIsOldAndBrokenWhenAsked) {
    const TLockOwner me = TRemoteLock::Me(Now);
    struct TCase {
        const char* What;
        std::optional<TLockOwner> Owner;
        // What OnBreakLock answers; none: there is none.
        std::optional<bool> Break;
        bool Asked;
        bool Published;
        std::string Error; // when not published
    };
    const TLockOwner young{"elsewhere", 4242, Now - 60};
    const TLockOwner almost{"elsewhere", 4242, Now - TRemoteLock::StaleSeconds + 1};
    const TLockOwner old{"elsewhere", 4242, Now - TRemoteLock::StaleSeconds};
    // A process of this host that is gone (no process has the largest pid there is).
    const TLockOwner gone{me.Host, 0x7ffffffe, Now - 60, me.Boot};
    // The same process gone, on another machine of this host's name (or before a reboot).
    const TLockOwner twin{me.Host, 0x7ffffffe, Now - 60, "another boot"};
    // The owner's clock a little fast, and one far off (or a file that lies).
    const TLockOwner ahead{"elsewhere", 4242, Now + 60};
    const TLockOwner farAhead{"elsewhere", 4242, Now + TRemoteLock::StaleSeconds};
    const TCase cases[] = {
        {"a lock a minute old", young, true, false, false,
         "Another publish to this folder is running since " + FormatDateTime(Now - 60) +
             " from elsewhere."},
        {"a lock a second short of stale", almost, true, false, false,
         TRemoteLock::RunningMessage(almost)},
        {"a stale lock, broken when asked", old, true, true, true, ""},
        {"a stale lock, not broken", old, false, true, false, TRemoteLock::LeftMessage(old)},
        {"a stale lock, nobody to ask", old, std::nullopt, false, false,
         TRemoteLock::LeftMessage(old)},
        {"a lock that names nobody, broken when asked", std::nullopt, true, true, true, ""},
        {"a lock that names nobody, not broken", std::nullopt, false, true, false,
         TRemoteLock::LeftMessage(std::nullopt)},
        {"the lock of a process of this host that is gone", gone, true, true, true, ""},
        {"a lock this process left behind", me, std::nullopt, false, true, ""},
        {"a lock of another machine that has this host's name", twin, true, false, false,
         TRemoteLock::RunningMessage(twin)},
        {"a lock a minute ahead of this clock", ahead, true, false, false,
         TRemoteLock::RunningMessage(ahead)},
        {"a lock far ahead of this clock, broken when asked", farAhead, true, true, true, ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        Server.Files.clear();
        Server.Folders.clear();
        Site(FirstSite);
        ASSERT_TRUE(Publish().Succeeded());
        TFiles site = FirstSite;
        site["Column1.htm"] = Content("Column1.htm", 2);
        Site(site);
        PutLock(Server, c.Owner);
        const TFiles before = Server.Files;
        Last = NewRun();
        Last->Clock = [] { return Now; };
        std::vector<std::string> questions;
        if (c.Break)
            Last->OnBreakLock = [&](const std::string& question) {
                questions.push_back(question);
                return *c.Break;
            };
        Last->Prepare();
        const TSyncTotals totals = Last->Run();
        EXPECT_EQ(questions.size(), c.Asked ? 1u : 0u);
        if (c.Asked && !questions.empty()) {
            EXPECT_EQ(questions[0], TRemoteLock::BreakQuestion(c.Owner));
        }
        if (c.Published) {
            EXPECT_TRUE(totals.Succeeded()) << totals.LockError;
            ExpectServerEqualsSite();
            // The lock went with the run.
            EXPECT_TRUE(Server.Folders.empty());
            EXPECT_EQ(Server.Files.count(TRemoteLock::OwnerPath), 0u);
        } else {
            EXPECT_FALSE(totals.Succeeded());
            EXPECT_EQ(totals.LockError, c.Error);
            EXPECT_EQ(totals.LockLeft,
                      c.Owner != young && c.Owner != almost && c.Owner != ahead && c.Owner != twin);
            EXPECT_EQ(totals.Uploaded, 0);
            // Nothing written, the other's lock left as it was.
            EXPECT_EQ(Server.Files, before);
            EXPECT_EQ(Server.Folders.count(TRemoteLock::FolderName), 1u);
        }
    }
}

TEST_F(SyncRunTest, TheSecondOfTwoRunsAtOnceIsRefusedWhileTheFirstHoldsTheLock) {
    Site(FirstSite);
    Server.UploadMs = 300;
    auto first = NewRun();
    first->Prepare();
    TSyncTotals firstTotals;
    std::thread running([&] { firstTotals = first->Run(); });
    // The first holds the lock once its owner file is there.
    std::string owner;
    for (int i = 0; i < 400 && owner.empty(); ++i) {
        {
            std::lock_guard<std::mutex> lock(Server.Mutex);
            if (Server.Files.count(TRemoteLock::OwnerPath) > 0)
                owner = Server.Files[TRemoteLock::OwnerPath];
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!TRemoteLock::ParseOwner(owner)) {
        running.join();
        FAIL() << "the first run took no lock: " << owner;
    }
    Last = NewRun();
    bool asked = false;
    Last->OnBreakLock = [&](const std::string&) { return asked = true; };
    Last->Prepare();
    const TSyncTotals second = Last->Run();
    running.join();
    EXPECT_FALSE(asked);
    EXPECT_EQ(second.LockError, TRemoteLock::RunningMessage(*TRemoteLock::ParseOwner(owner)));
    EXPECT_THAT(second.LockError, HasSubstr(" from " + TRemoteLock::Me(0).Host + "."));
    EXPECT_EQ(second.Uploaded, 0);
    EXPECT_TRUE(firstTotals.Succeeded()) << firstTotals.LockError;
    EXPECT_EQ(Server.SiteUploads(), static_cast<int>(FirstSite.size()));
    ExpectServerEqualsSite();
    EXPECT_TRUE(Server.Folders.empty());
}

TEST_F(SyncRunTest, TheLockGoesAfterASuccessAFailureACancelAndAChangedServer) {
    struct TCase {
        const char* What;
        // Puts in the fault (run: the run in Last).
        std::function<void(TSyncRun& run)> Fault;
        bool Succeeded;
    };
    const TCase cases[] = {
        {"a success", [](TSyncRun&) {}, true},
        {"the connection lost at the lock: made anew",
         [this](TSyncRun&) {
             Server.Fault = [lost = false](const std::string& op, const std::string&, int) mutable {
                 if (op == "MKD" && !lost) {
                     lost = true;
                     throw ConnectionReset();
                 }
             };
         },
         true},
        {"a refused upload",
         [this](TSyncRun&) {
             Server.Fault = [](const std::string& op, const std::string& name, int) {
                 if (op == "UPLOAD" && name == ".corvane-part-Column1.htm")
                     throw RefusedReply(553, name);
             };
         },
         false},
        {"a Cancel at an upload",
         [this](TSyncRun& run) {
             Server.Fault = [&run](const std::string& op, const std::string& name, int) {
                 if (op == "UPLOAD" && name == ".corvane-part-Column1.htm") {
                     run.Cancel();
                     throw TTransportError("Cancelled", TTransportFailure::Cancelled, "Cancelled.");
                 }
             };
         },
         false},
        {"a broken manifest write",
         [this](TSyncRun&) {
             Server.Fault = [](const std::string& op, const std::string& name, int) {
                 if (op == "RENAME" && name == TManifest::FileName)
                     throw RefusedReply(553, name);
             };
         },
         false},
        {"another publish between the comparison and the run",
         [this](TSyncRun&) {
             std::lock_guard<std::mutex> lock(Server.Mutex);
             Server.Files[TManifest::FileName] += std::string(64, 'a') + " 5 other.htm\n";
         },
         false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        Server.Files.clear();
        Server.Folders.clear();
        Server.Fault = nullptr;
        Site(FirstSite);
        ASSERT_TRUE(Publish().Succeeded());
        TFiles site = FirstSite;
        site["Column1.htm"] = Content("Column1.htm", 2);
        Site(site);
        Last = NewRun();
        Last->Prepare();
        c.Fault(*Last);
        Server.ClearOperations();
        const TSyncTotals totals = Last->Run();
        Server.Fault = nullptr;
        EXPECT_EQ(totals.Succeeded(), c.Succeeded);
        EXPECT_TRUE(Server.Folders.empty());
        EXPECT_EQ(Server.Files.count(TRemoteLock::OwnerPath), 0u);
        const std::vector<std::string> ops = Server.Operations();
        ASSERT_GE(ops.size(), 2u);
        EXPECT_THAT(std::vector<std::string>(ops.end() - 2, ops.end()),
                    ElementsAre("DELETE .corvane-lock/owner", "RMD .corvane-lock"));
    }
}

TEST_F(SyncRunTest, ARunRefusedBecauseAnotherPublishWentOnSendsNothingUntilComparedAgain) {
    Site(FirstSite);
    ASSERT_TRUE(Publish().Succeeded());
    TFiles mine = FirstSite;
    mine["Column1.htm"] = Content("Column1.htm", 2);
    Site(mine);
    auto late = NewRun();
    late->Prepare();
    // Meanwhile another copy publishes a site whose Column2.htm changed.
    TFiles other = FirstSite;
    other["Column2.htm"] = Content("Column2.htm", 3);
    Site(other);
    ASSERT_TRUE(Publish().Succeeded());
    Site(mine);
    const TSyncTotals refused = late->Run();
    EXPECT_TRUE(refused.ServerChanged);
    EXPECT_EQ(refused.LockError, "The site on the server changed since it was compared: another "
                                 "publish went on meanwhile. Compare again.");
    EXPECT_EQ(refused.Uploaded, 0);
    EXPECT_EQ(Server.Files["Column2.htm"], other["Column2.htm"]);
    // Compared anew, the run sends what differs from the other's site: both pages.
    const TSyncTotals again = Publish();
    EXPECT_TRUE(again.Succeeded());
    EXPECT_EQ(again.Uploaded, 2);
    ExpectServerEqualsSite();
}

TEST_F(SyncRunTest, TheManifestNamesTheCopyThatWroteItAndWhen) {
    Site(FirstSite);
    // A run in Last of the copy id at the time at, compared.
    const auto prepare = [this](const std::string& id, std::int64_t at) {
        Last = NewRun();
        Last->ProjectId = id;
        Last->Clock = [at] { return at; };
        Last->Prepare();
    };
    prepare("0123456789abcdef", Now);
    EXPECT_EQ(Last->RemotePublisherId, "");
    TSyncTotals totals = Last->Run();
    EXPECT_TRUE(totals.Succeeded());
    EXPECT_EQ(totals.PublishedAt, Now);
    const TManifest written = TManifest::Parse(Server.Files[TManifest::FileName]);
    EXPECT_EQ(written.PublisherId, "0123456789abcdef");
    EXPECT_EQ(written.PublishedAt, Now);
    ExpectServerEqualsSite();

    // Nothing changed, the same copy: nothing is written, not even the lock.
    prepare("0123456789abcdef", Now + 100);
    EXPECT_EQ(Last->RemotePublisherId, "0123456789abcdef");
    EXPECT_EQ(Last->RemotePublishedAt, Now);
    Server.ClearOperations();
    totals = Last->Run();
    EXPECT_TRUE(totals.Succeeded());
    EXPECT_EQ(totals.PublishedAt, 0);
    EXPECT_EQ(Server.Count("MKD"), 0);
    EXPECT_EQ(Server.Count("UPLOAD"), 0);

    // Nothing changed, another copy: the manifest names it from now on.
    prepare("fedcba9876543210", Now + 200);
    totals = Last->Run();
    EXPECT_TRUE(totals.Succeeded());
    EXPECT_EQ(totals.PublishedAt, Now + 200);
    EXPECT_EQ(TManifest::Parse(Server.Files[TManifest::FileName]).PublisherId, "fedcba9876543210");
    EXPECT_EQ(Server.SiteUploads(), 0);
}

TEST_F(SyncRunTest, AnOwnerFileThatComesLateIsWaitedForAndOneTooLongNamesNobody) {
    const TLockOwner other{"elsewhere", 4242, Now};
    for (const bool late : {true, false}) {
        SCOPED_TRACE(late ? "late (a slow link)" : "too long");
        Server.Files.clear();
        Server.Folders.clear();
        Site(FirstSite);
        // Padded past what is read: never read in full. Late: there at the third look.
        PutLock(Server, late ? std::nullopt : std::optional<TLockOwner>(other));
        if (!late)
            Server.Files[TRemoteLock::OwnerPath].append(TRemoteLock::MaxBytes, '#');
        int reads = 0;
        Server.Fault = [&](const std::string& op, const std::string& name, int) {
            if (late && op == "DOWNLOAD" && name == TRemoteLock::OwnerPath && ++reads == 3) {
                std::lock_guard<std::mutex> lock(Server.Mutex);
                Server.Files[TRemoteLock::OwnerPath] = TRemoteLock::OwnerText(other);
            }
        };
        Last = NewRun();
        Last->Clock = [] { return Now; };
        Last->OnBreakLock = [](const std::string&) { return false; };
        Last->Prepare();
        EXPECT_EQ(Last->Run().LockError, late ? TRemoteLock::RunningMessage(other)
                                              : TRemoteLock::LeftMessage(std::nullopt));
        Server.Fault = nullptr;
    }
}

TEST_F(SyncRunTest, ALockThatGoesWhileTheRunLooksAtItIsTakenWithoutAQuestion) {
    Site(FirstSite);
    // The other run removes its owner file, then its folder, just as this one finds the lock.
    PutLock(Server, std::nullopt);
    Server.Fault = [this](const std::string& op, const std::string& name, int) {
        if (op == "DOWNLOAD" && name == TRemoteLock::OwnerPath)
            Server.Folders.clear(); // the hook runs with the server unlocked
    };
    Last = NewRun();
    bool asked = false;
    Last->OnBreakLock = [&](const std::string&) { return asked = true; };
    Last->Prepare();
    const TSyncTotals totals = Last->Run();
    Server.Fault = nullptr;
    EXPECT_TRUE(totals.Succeeded()) << totals.LockError;
    EXPECT_FALSE(asked);
    EXPECT_EQ(Server.Count("MKD"), 2);
    ExpectServerEqualsSite();
    EXPECT_TRUE(Server.Folders.empty());
}

// Publishing into a folder on this machine: the transports' file operations and the
// synchronising publish's sequence, as against every server, then what only a folder can
// hold: links (never followed, nothing written outside), a FIFO, names that would leave the
// folder, a full disk.

#include "publish/folder/FolderTransport.h"
#include "platform/FileFaults.h"
#include "publish/PublishRun.h"
#include "publish/PublishTarget.h"

#include "TestSupport.h"
#include "publish/FileOperationCases.h"
#include "publish/SyncServerCases.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace {

TTransportSettings FolderSettings() {
    TTransportSettings settings;
    settings.Protocol = TFolderTransport::TargetName;
    return settings;
}

class FolderTransportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Site = Dir / "site";
        std::filesystem::create_directories(Site);
        Outside = Dir / "outside";
        std::filesystem::create_directories(Outside);
        WriteFileBytes(Outside + "/secret.htm", "secret");
    }
    // A transport opened on the site folder.
    std::unique_ptr<TTransport> Opened() {
        auto transport = MakeTransport(FolderSettings());
        transport->Connect();
        transport->ChangeFolder(Site);
        return transport;
    }
    std::string Local(const std::string& name, const std::string& data) {
        std::string path = Dir / ("local-" + name);
        WriteFileBytes(path, data);
        return path;
    }
    void ExpectOutsideUntouched() {
        EXPECT_EQ(ReadFileBytes(Outside + "/secret.htm"), "secret");
        EXPECT_EQ(fileoperations::FilesIn(Outside).size(), 1u);
    }

    TTempFolder Dir;
    std::string Site;
    std::string Outside;
};

TEST_F(FolderTransportTest, FileOperationsAsOnEveryServer) {
    auto transport = Opened();
    fileoperations::PlayCases(*transport, Site, 0, true, 0, "is not in the folder",
                              "\" in the folder \"" + Site + "\"");
}

TEST_F(FolderTransportTest, SynchronisingPublishAsOnEveryServer) {
    syncserver::TSyncServerCases(FolderSettings(), Site, Site, Dir / "scratch").Play();
}

TEST_F(FolderTransportTest, TheRegistryKnowsItAndItsSettings) {
    const TPublishTarget* target = FindPublishTarget("Folder");
    ASSERT_NE(target, nullptr);
    EXPECT_FALSE(target->UsesSetting(TTargetSetting::Host));
    EXPECT_FALSE(target->UsesSetting(TTargetSetting::Port));
    EXPECT_FALSE(target->UsesSetting(TTargetSetting::Passive));
    EXPECT_EQ(PublishTargetNames(), "FTP, FTPS, SFTP, Folder and Git");
    // A stored port of 0 is each target's default.
    TDPublish record;
    record.FTP_PORT = 0;
    for (const auto& [protocol, port] :
         {std::pair{"FTP", 21}, {"FTPS", 21}, {"SFTP", 22}, {"Folder", 0}, {"Git", 0}}) {
        record.PROTOCOL = protocol;
        EXPECT_EQ(TransportSettingsOf(record, 1000).Port, port) << protocol;
    }
    record.PROTOCOL = "Gopher";
    EXPECT_THROW(TransportSettingsOf(record, 1000), TError);
}

// What stands in the folder where the publish writes, and what the operation must do.
TEST_F(FolderTransportTest, LinksAreNeverFollowedAndNothingIsWrittenOutside) {
    struct TCase {
        const char* Name;
        std::function<void(const std::string& site, const std::string& outside)> Lay;
        std::function<void(TTransport&)> Operation;
        std::optional<TTransportFailure> Failure;
        // What the site's a.htm must hold afterwards ("" for no check).
        std::string Page;
    };
    const auto linkTo = [](const std::string& target, const std::string& link) {
        ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    };
    const std::string page = "<html>new</html>";
    const std::string local = Local("a.htm", page);
    const TCase cases[] = {
        {"a link at the page's name is replaced, its target kept",
         [&](const std::string& s, const std::string& o) {
             linkTo(o + "/secret.htm", s + "/a.htm");
         },
         [&](TTransport& t) { t.Upload(local, "a.htm"); }, std::nullopt, page},
        {"a link at the part file's name is removed, never written through",
         [&](const std::string& s, const std::string& o) {
             linkTo(o + "/secret.htm", s + "/.corvane-part-a.htm");
         },
         [&](TTransport& t) { t.UploadReplacing(local, "a.htm", ".corvane-part-a.htm"); },
         std::nullopt, page},
        {"a linked folder on the way to a name is refused",
         [&](const std::string& s, const std::string& o) { linkTo(o, s + "/.corvane-lock"); },
         [&](TTransport& t) { t.Download(".corvane-lock/secret.htm", 100); },
         TTransportFailure::FileRefused, ""},
        {"a file to read that is a link is refused",
         [&](const std::string& s, const std::string& o) {
             linkTo(o + "/secret.htm", s + "/.corvane-manifest");
         },
         [&](TTransport& t) { t.Download(".corvane-manifest", 100); },
         TTransportFailure::FileRefused, ""},
        {"a FIFO to read is refused without waiting",
         [&](const std::string& s, const std::string&) {
             ASSERT_EQ(::mkfifo((s + "/.corvane-manifest").c_str(), 0600), 0);
         },
         [&](TTransport& t) { t.Download(".corvane-manifest", 100); },
         TTransportFailure::FileRefused, ""},
        {"a name climbing out of the folder is refused",
         [](const std::string&, const std::string&) {},
         [&](TTransport& t) { t.Upload(local, "../outside/secret.htm"); },
         TTransportFailure::FileRefused, ""},
        {"an absolute name is refused", [](const std::string&, const std::string&) {},
         [&](TTransport& t) { t.Delete(Outside + "/secret.htm"); }, TTransportFailure::FileRefused,
         ""},
        {"a folder is not deleted as a file",
         [](const std::string& s, const std::string&) {
             std::filesystem::create_directory(s + "/a.htm");
         },
         [&](TTransport& t) { t.Delete("a.htm"); }, TTransportFailure::FileRefused, ""},
        {"a lock that exists is not made again",
         [](const std::string& s, const std::string&) {
             std::filesystem::create_directory(s + "/.corvane-lock");
         },
         [&](TTransport& t) { t.MakeFolder(".corvane-lock"); }, TTransportFailure::FileRefused, ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        std::filesystem::remove_all(Site);
        std::filesystem::create_directories(Site);
        c.Lay(Site, Outside);
        auto transport = Opened();
        std::optional<TTransportFailure> failure;
        try {
            c.Operation(*transport);
        } catch (const TTransportError& e) {
            failure = e.Kind();
            EXPECT_FALSE(e.Reason().empty());
        }
        EXPECT_EQ(failure, c.Failure);
        if (!c.Page.empty()) {
            struct stat held {};
            ASSERT_EQ(::lstat((Site + "/a.htm").c_str(), &held), 0);
            EXPECT_TRUE(S_ISREG(held.st_mode));
            EXPECT_EQ(ReadFileBytes(Site + "/a.htm"), c.Page);
        }
        EXPECT_FALSE(PathExists(Site + "/.corvane-part-a.htm"));
        ExpectOutsideUntouched();
    }
}

TEST_F(FolderTransportTest, AFullDiskFailsTheFileAndLeavesNoPart) {
    WriteFileBytes(Site + "/a.htm", "old");
    auto transport = Opened();
    TFileFaults faults;
    faults.FailWrite = 1;
    faults.Error = ENOSPC;
    std::optional<TTransportError> failure;
    {
        const TScopedFileFaults scoped(faults);
        try {
            transport->Upload(Local("a.htm", "new"), "a.htm");
        } catch (const TTransportError& e) {
            failure = e;
        }
    }
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->Kind(), TTransportFailure::DiskFull);
    EXPECT_EQ(failure->FileName(), "a.htm");
    EXPECT_EQ(ReadFileBytes(Site + "/a.htm"), "old");
    EXPECT_EQ(fileoperations::FilesIn(Site), (fileoperations::TFiles{{"a.htm", "old"}}));
}

TEST_F(FolderTransportTest, AMissingOrRelativeFolderIsNamed) {
    for (const std::string& folder :
         {Dir / "missing", std::string("relative/www"), std::string()}) {
        SCOPED_TRACE(folder);
        auto transport = MakeTransport(FolderSettings());
        transport->Connect();
        try {
            transport->ChangeFolder(folder);
            ADD_FAILURE() << "opened";
        } catch (const TTransportError& e) {
            EXPECT_EQ(e.Kind(), TTransportFailure::FolderMissing);
            EXPECT_NE(e.Reason().find("\"" + folder + "\""), std::string::npos) << e.Reason();
        }
    }
    // Nothing is done before a folder is opened.
    auto transport = MakeTransport(FolderSettings());
    transport->Connect();
    try {
        transport->Delete("a.htm");
        ADD_FAILURE() << "deleted";
    } catch (const TTransportError& e) {
        EXPECT_EQ(e.Kind(), TTransportFailure::FolderMissing);
    }
}

TEST_F(FolderTransportTest, CancelEndsTheStepAndEveryLaterOne) {
    auto transport = Opened();
    transport->Cancel();
    try {
        transport->Upload(Local("a.htm", "x"), "a.htm");
        ADD_FAILURE() << "uploaded";
    } catch (const TTransportError& e) {
        EXPECT_EQ(e.Kind(), TTransportFailure::Cancelled);
    }
    EXPECT_FALSE(PathExists(Site + "/a.htm"));
    transport->ResetCancel();
    transport->Upload(Local("a.htm", "x"), "a.htm");
    EXPECT_EQ(ReadFileBytes(Site + "/a.htm"), "x");
}

} // namespace

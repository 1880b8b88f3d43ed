// The SFTP transport against a real OpenSSH server on 127.0.0.1 (sshd from a test
// configuration, SFTP inside sshd, key login with a test key), against an SSH server of the
// test's own for the password logins, and against peers that misbehave: nothing listening,
// a listener that never answers.

#include "publish/sftp/SftpTransport.h"

#include "TestSupport.h"
#include "publish/FileOperationCases.h"
#include "publish/ReplaceCases.h"
#include "publish/RequireServers.h"
#include "publish/SampleSite.h"
#include "publish/SshServer.h"
#include "publish/SyncServerCases.h"

#include <libssh/libssh.h>
#include <libssh/server.h>
#include <libssh/sftp.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <poll.h>
#include <set>
#include <string>
#include <thread>
#include <vector>

using ::testing::HasSubstr;

namespace {

using TClock = std::chrono::steady_clock;

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// The failure of f, which must throw a TTransportError.
template <typename F> TTransportError FailureOf(F&& f) {
    try {
        f();
    } catch (const TTransportError& e) {
        return e;
    }
    ADD_FAILURE() << "no TTransportError";
    return TTransportError("none", TTransportFailure::Other, "none");
}

class SftpTransportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string missing = SshServerMissing();
        if (!missing.empty())
            SKIP_WITHOUT_SERVER(missing);
        Server = std::make_unique<TSshServer>();
        ASSERT_TRUE(Server->Started()) << "sshd did not start:\n" << Server->Log();
        WriteFileBytes(KnownHosts(), Server->KnownHostsLine(Server->HostPublicKey()));
        std::filesystem::create_directories(Remote());
    }

    std::string KnownHosts() const { return Local.Path() + "/known_hosts"; }
    // A publish of the site to folder on the test's server, with the known hosts and the key
    // of the test, as the transport's own settings take them.
    std::unique_ptr<TPublishRun> PublishTo(TSampleSite& site, TUnwatchedView& view,
                                           const std::string& folder, bool sync = false) {
        TDPublish& record = site.Project->PUBLISH;
        record.PROTOCOL = "SFTP";
        record.FTP_SERVER = "127.0.0.1";
        record.FTP_PORT = Server->Port();
        record.USER_NAME = sshserver::UserName();
        record.PASSWORD.clear();
        record.FOLDER = folder;
        record.SYNC = sync;
        auto run = std::make_unique<TPublishRun>(*site.Project, view);
        run->KnownHostsFile = KnownHosts();
        run->IdentityFile = Server->ClientKey();
        run->ReadTimeout = 10000;
        run->Show();
        return run;
    }
    std::string Remote() const { return Server->Dir / "remote"; }

    TTransportSettings Settings() const {
        TTransportSettings s;
        s.Protocol = "SFTP";
        s.Host = "127.0.0.1";
        s.Port = Server->Port();
        s.User = sshserver::UserName();
        s.KnownHostsFile = KnownHosts();
        s.IdentityFile = Server->ClientKey();
        s.ReadTimeout = 10000;
        return s;
    }
    std::string LocalFile(const std::string& name, const std::string& data) {
        WriteFileBytes(Local / name, data);
        return Local / name;
    }

    TTempFolder Local;
    std::unique_ptr<TSshServer> Server;
};

TEST_F(SftpTransportTest, UploadsASiteIntoTheFolderByteForByte) {
    const std::vector<std::pair<std::string, std::string>> site = {
        {"index.htm", "<html>\r\n<body>Welcome</body>\r\n</html>\r\n"},
        {"Column1.htm", "<html>\r\n</html>\r\n"},
        {"picture.jpg", PseudoRandomBytes(3 * TSftpTransport::ChunkSize + 17, 7)},
        {"empty.txt", ""},
    };
    std::filesystem::create_directories(Remote() + "/www");
    // A longer file of the same name is replaced, not written over in part.
    WriteFileBytes(Remote() + "/www/index.htm", std::string(5000, 'x'));

    TSftpTransport sftp(Settings());
    std::vector<std::string> log;
    sftp.OnLog = [&log](const std::string& line) { log.push_back(line); };
    sftp.Connect();
    EXPECT_TRUE(sftp.Connected());
    sftp.ChangeFolder(Remote());
    sftp.ChangeFolder("www"); // relative to the folder before, as CWD would be
    EXPECT_EQ(sftp.Folder(), Remote() + "/www");
    for (const auto& [name, data] : site) {
        std::vector<std::int64_t> told;
        sftp.Upload(LocalFile(name, data), name,
                    [&told](std::int64_t sent) { told.push_back(sent); });
        if (data.empty()) {
            EXPECT_TRUE(told.empty()) << name;
        } else {
            ASSERT_FALSE(told.empty()) << name;
            EXPECT_EQ(told.back(), static_cast<std::int64_t>(data.size())) << name;
            EXPECT_TRUE(std::is_sorted(told.begin(), told.end())) << name;
        }
    }
    sftp.Disconnect();
    EXPECT_FALSE(sftp.Connected());

    EXPECT_EQ(RegularFilesIn(Remote() + "/www"),
              (std::set<std::string>{"index.htm", "Column1.htm", "picture.jpg", "empty.txt"}));
    for (const auto& [name, data] : site)
        EXPECT_EQ(ReadFileBytes(Remote() + "/www/" + name), data) << name;
    for (const std::string& line : log)
        EXPECT_THAT(line, ::testing::Not(HasSubstr("PRIVATE KEY")));
}

TEST_F(SftpTransportTest, AFolderThatIsNotThereOrIsAFileIsFolderMissing) {
    WriteFileBytes(Remote() + "/plain.txt", "a file");
    TSftpTransport sftp(Settings());
    sftp.Connect();
    const struct {
        std::string Folder;
        std::string Reason;
    } cases[] = {
        {Remote() + "/missing",
         "The folder \"" + Remote() + "/missing\" does not exist on the server."},
        {Remote() + "/missing/deeper",
         "The folder \"" + Remote() + "/missing/deeper\" does not exist on the server."},
        {Remote() + "/plain.txt", "The folder \"" + Remote() +
                                      "/plain.txt\" does not exist on the server (a file has "
                                      "that name)."},
    };
    for (const auto& c : cases) {
        TTransportError e = FailureOf([&] { sftp.ChangeFolder(c.Folder); });
        EXPECT_EQ(e.Kind(), TTransportFailure::FolderMissing) << c.Folder;
        EXPECT_EQ(e.Reason(), c.Reason);
        EXPECT_THAT(e.what(), HasSubstr("SFTP server 127.0.0.1:" + std::to_string(Server->Port())));
        // The session goes on: the folder was only checked.
        EXPECT_TRUE(sftp.Connected());
    }
    sftp.ChangeFolder(Remote());
    sftp.Upload(LocalFile("a.htm", "a"), "a.htm");
    EXPECT_EQ(ReadFileBytes(Remote() + "/a.htm"), "a");
}

TEST_F(SftpTransportTest, AnUnknownHostKeyIsRefusedWithItsFingerprintUnlessTrusted) {
    const std::string fingerprint = Server->HostFingerprint();
    ASSERT_EQ(fingerprint.size(), 32u * 3 - 1) << "ssh-keygen gave no SHA-256 fingerprint";
    WriteFileBytes(KnownHosts(), "");

    TTransportSettings settings = Settings();
    TSftpTransport unknown(settings);
    TTransportError e = FailureOf([&] { unknown.Connect(); });
    EXPECT_EQ(e.Kind(), TTransportFailure::NotTrusted);
    EXPECT_EQ(e.Fingerprint(), fingerprint);
    EXPECT_EQ(e.Reason(),
              "The server's host key is not trusted (it is not known for 127.0.0.1). Its "
              "SHA-256 fingerprint is " +
                  fingerprint + ".");
    EXPECT_FALSE(unknown.Connected());

    // Another fingerprint does not open the door.
    settings.Trusted = sshserver::KeygenFingerprint(Server->OtherKey() + ".pub");
    TSftpTransport otherTrusted(settings);
    EXPECT_EQ(FailureOf([&] { otherTrusted.Connect(); }).Kind(), TTransportFailure::NotTrusted);

    // The one shown does, written in either case.
    for (const std::string& trusted : {fingerprint, Lower(fingerprint)}) {
        settings.Trusted = trusted;
        TSftpTransport sftp(settings);
        sftp.Connect();
        sftp.ChangeFolder(Remote());
        sftp.Upload(LocalFile("t.htm", trusted), "t.htm");
        EXPECT_EQ(ReadFileBytes(Remote() + "/t.htm"), trusted);
    }
}

TEST_F(SftpTransportTest, AChangedHostKeyIsRefusedUnlessTheNewOneIsTrusted) {
    // known_hosts holds another key of the same type for this server.
    WriteFileBytes(KnownHosts(), Server->KnownHostsLine(Server->OtherKey() + ".pub"));
    TTransportSettings settings = Settings();
    TSftpTransport sftp(settings);
    TTransportError e = FailureOf([&] { sftp.Connect(); });
    EXPECT_EQ(e.Kind(), TTransportFailure::NotTrusted);
    EXPECT_EQ(e.Fingerprint(), Server->HostFingerprint());
    EXPECT_THAT(
        e.Reason(),
        HasSubstr("(it differs from the one known for 127.0.0.1). Its SHA-256 fingerprint is " +
                  Server->HostFingerprint() + "."));

    settings.Trusted = Server->HostFingerprint();
    TSftpTransport trusted(settings);
    trusted.Connect();
    EXPECT_TRUE(trusted.Connected());

    // known_hosts knows a key of another type for it (the server moved from ECDSA to
    // Ed25519): refused the same way, not as a failed handshake.
    const std::string ecdsa = Local / "ecdsa_key";
    ASSERT_EQ(
        RunProcess({"ssh-keygen", "-q", "-t", "ecdsa", "-N", "", "-f", ecdsa}, "", 20000).ExitCode,
        0);
    WriteFileBytes(KnownHosts(), Server->KnownHostsLine(ecdsa + ".pub"));
    settings.Trusted.clear();
    TSftpTransport otherType(settings);
    e = FailureOf([&] { otherType.Connect(); });
    EXPECT_EQ(e.Kind(), TTransportFailure::NotTrusted) << e.what();
    EXPECT_EQ(e.Fingerprint(), Server->HostFingerprint());
    EXPECT_THAT(
        e.Reason(),
        HasSubstr("(it differs from the one known for 127.0.0.1). Its SHA-256 fingerprint is " +
                  Server->HostFingerprint() + "."));
}

TEST_F(SftpTransportTest, AWrongKeyOrPasswordIsLoginRefused) {
    const struct {
        const char* What;
        std::string Identity;
        std::string Password;
        std::string User;
    } cases[] = {
        {"a key the server does not know", Server->OtherKey(), "", sshserver::UserName()},
        // UsePAM is off: sshd checks the password against the user's own, which this is not.
        {"an unknown key and a wrong password", Server->OtherKey(), "not the password",
         sshserver::UserName()},
        {"a user that does not exist", Server->ClientKey(), "x", "corvane-no-such-user"},
    };
    for (const auto& c : cases) {
        TTransportSettings settings = Settings();
        settings.IdentityFile = c.Identity;
        settings.Password = c.Password;
        settings.User = c.User;
        TSftpTransport sftp(settings);
        std::vector<std::string> log;
        sftp.OnLog = [&log](const std::string& line) { log.push_back(line); };
        TTransportError e = FailureOf([&] { sftp.Connect(); });
        EXPECT_EQ(e.Kind(), TTransportFailure::LoginRefused) << c.What << ": " << e.what();
        EXPECT_EQ(e.Reason(), "The server refused the user name or password.") << c.What;
        EXPECT_FALSE(sftp.Connected());
        for (const std::string& line : log) {
            if (!c.Password.empty()) {
                EXPECT_THAT(line, ::testing::Not(HasSubstr(c.Password)));
            }
        }
    }

    // The key is tried first: a wrong password beside the right key does not matter.
    TTransportSettings settings = Settings();
    settings.Password = "not the password";
    TSftpTransport sftp(settings);
    sftp.Connect();
    EXPECT_TRUE(sftp.Connected());
}

TEST_F(SftpTransportTest, AFileTheServerCannotTakeIsRefusedOrDiskFull) {
    std::filesystem::create_directories(Remote() + "/taken");
    TSftpTransport sftp(Settings());
    sftp.Connect();
    sftp.ChangeFolder(Remote());
    // A folder has the name: the file is not put in its place, and its part goes.
    TTransportError refused = FailureOf([&] { sftp.Upload(LocalFile("x", "x"), "taken"); });
    EXPECT_EQ(refused.Kind(), TTransportFailure::FileRefused) << refused.what();
    EXPECT_THAT(refused.Reason(), HasSubstr("\"taken\""));
    EXPECT_EQ(refused.FileName(), "taken");
    EXPECT_TRUE(std::filesystem::is_directory(Remote() + "/taken"));
    EXPECT_EQ(RegularFilesIn(Remote()), std::set<std::string>{});
    EXPECT_TRUE(sftp.Connected());

    // A local file that is not there fails before anything is sent; the session goes on.
    TTransportError local = FailureOf([&] { sftp.Upload(Local / "missing.htm", "missing.htm"); });
    EXPECT_EQ(local.Kind(), TTransportFailure::Other);
    EXPECT_THAT(local.Reason(), HasSubstr("The local file \"" + (Local / "missing.htm") +
                                          "\" cannot be read (No such file or directory)."));
    sftp.Upload(LocalFile("after.htm", "after"), "after.htm");
    EXPECT_EQ(ReadFileBytes(Remote() + "/after.htm"), "after");
}

TEST_F(SftpTransportTest, APageReplacedByThePlainPublishKeepsItsPermissions) {
    // Written over in place, a page kept its permissions; the file that now takes its place
    // gets them too (a new page gets the server's usual ones).
    namespace fs = std::filesystem;
    const std::string folder = Remote() + "/modes";
    fs::create_directories(folder);
    const std::map<std::string, fs::perms> modes = {
        {"private.htm", fs::perms::owner_read | fs::perms::owner_write},
        {"group.htm", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read},
        {"script.cgi", fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                           fs::perms::others_read | fs::perms::others_exec}};
    for (const auto& [name, mode] : modes) {
        WriteFileBytes(folder + "/" + name, "old");
        fs::permissions(folder + "/" + name, mode);
    }
    TSftpTransport sftp(Settings());
    sftp.Connect();
    sftp.ChangeFolder(folder);
    for (const auto& [name, mode] : modes) {
        sftp.Upload(LocalFile(name, "new " + name), name);
        EXPECT_EQ(ReadFileBytes(folder + "/" + name), "new " + name);
        EXPECT_EQ(fs::status(folder + "/" + name).permissions(), mode) << name;
    }
    sftp.Upload(LocalFile("fresh.htm", "fresh"), "fresh.htm");
    EXPECT_EQ(fs::status(folder + "/fresh.htm").permissions() & fs::perms::owner_write,
              fs::perms::owner_write);
}

TEST_F(SftpTransportTest, AFullDiskIsDiskFullAndLeavesThePageAsItWas) {
    // A server that writes no file past 64 KiB stands for a full disk.
    TSshServer limited("host_ed25519", 65536);
    ASSERT_TRUE(limited.Started()) << "sshd did not start:\n" << limited.Log();
    WriteFileBytes(KnownHosts(), limited.KnownHostsLine(limited.HostPublicKey()));
    const std::string remote = limited.Dir / "remote";
    std::filesystem::create_directories(remote);
    WriteFileBytes(remote + "/full.bin", "old");
    TTransportSettings settings = Settings();
    settings.Port = limited.Port();
    settings.IdentityFile = limited.ClientKey();
    TSftpTransport sftp(settings);
    sftp.Connect();
    sftp.ChangeFolder(remote);
    TTransportError full =
        FailureOf([&] { sftp.Upload(LocalFile("big", PseudoRandomBytes(70000, 3)), "full.bin"); });
    EXPECT_EQ(full.Kind(), TTransportFailure::DiskFull) << full.what();
    EXPECT_EQ(full.Reason(), "The server has no room for \"full.bin\".");
    // What it made is gone, and the page is as it was.
    EXPECT_EQ(RegularFilesIn(remote), std::set<std::string>{"full.bin"});
    EXPECT_EQ(ReadFileBytes(remote + "/full.bin"), "old");
    EXPECT_TRUE(sftp.Connected());
}

TEST_F(SftpTransportTest, CancelEndsALargeUploadWithinASecond) {
    // A sparse local file, large enough not to be sent before Cancel comes.
    const std::string big = Local / "big.bin";
    {
        std::ofstream out(big, std::ios::binary);
        out.seekp(1LL << 30);
        out.put('\0');
    }
    TSftpTransport sftp(Settings());
    sftp.Connect();
    sftp.ChangeFolder(Remote());
    std::atomic<std::int64_t> sent{0};
    std::atomic<bool> ended{false};
    TTransportFailure kind = TTransportFailure::Other;
    std::thread upload([&] {
        try {
            sftp.Upload(big, "big.bin", [&sent](std::int64_t n) { sent = n; });
        } catch (const TTransportError& e) {
            kind = e.Kind();
        }
        ended = true;
    });
    const auto started = TClock::now();
    while (sent < 1'000'000 && !ended && TClock::now() - started < std::chrono::seconds(30))
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_FALSE(ended) << "the upload ended before it was cancelled";
    const auto cancelled = TClock::now();
    sftp.Cancel();
    while (!ended && TClock::now() - cancelled < std::chrono::seconds(10))
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const auto took = TClock::now() - cancelled;
    upload.join();
    EXPECT_EQ(kind, TTransportFailure::Cancelled);
    EXPECT_LT(took, std::chrono::seconds(1));
    EXPECT_FALSE(sftp.Connected());
    // Every later operation fails as cancelled until ResetCancel.
    EXPECT_EQ(FailureOf([&] { sftp.Connect(); }).Kind(), TTransportFailure::Cancelled);
    sftp.ResetCancel();
    sftp.Connect();
    sftp.ChangeFolder(Remote());
    sftp.Upload(LocalFile("again.htm", "again"), "again.htm");
    EXPECT_EQ(ReadFileBytes(Remote() + "/again.htm"), "again");
}

TEST_F(SftpTransportTest, DownloadDeleteRenameAndSize) {
    std::filesystem::create_directories(Remote() + "/www");
    TSftpTransport sftp(Settings());
    sftp.Connect();
    sftp.ChangeFolder(Remote());
    sftp.ChangeFolder("www");
    // OpenSSH replaces an existing file only by its posix-rename extension, which libssh's
    // rename does not use.
    fileoperations::PlayCases(sftp, Remote() + "/www", SSH_FX_NO_SUCH_FILE, false, SSH_FX_FAILURE);
}

TEST_F(SftpTransportTest, AListingPastItsLimitFailsInsteadOfGrowingWithoutEnd) {
    // A folder whose names come to more than a listing may hold, as a server that lists
    // without end would: the listing fails, naming why. (The limit made small, so that the
    // folder is.)
    const std::string folder = Remote() + "/many";
    std::filesystem::create_directories(folder);
    const std::size_t nameBytes = 240;
    const std::size_t limit = 64 * 1024;
    const std::size_t count = limit / nameBytes + 100;
    for (std::size_t i = 0; i < count; ++i) {
        std::string name = std::to_string(i);
        name.resize(nameBytes, 'x');
        const int fd = ::open((folder + "/" + name).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        ASSERT_GE(fd, 0) << name;
        ::close(fd);
    }
    TSftpTransport sftp(Settings());
    sftp.ListingLimit = limit;
    sftp.Connect();
    sftp.ChangeFolder(folder);
    const TTransportError e = FailureOf([&] { sftp.ListNames(); });
    EXPECT_THAT(e.what(), HasSubstr("longer than 65536 bytes"));
    EXPECT_THAT(e.Reason(), HasSubstr("is too long"));
    // The session stays fit for what comes next.
    std::string first = "0";
    first.resize(nameBytes, 'x');
    EXPECT_GE(sftp.RemoteSize(first), 0);
}

TEST_F(SftpTransportTest, CancelEndsADownloadAndEveryOperationAfterIt) {
    {
        std::ofstream out(Remote() + "/big.bin", std::ios::binary);
        out.seekp(1LL << 30);
        out.put('\0');
    }
    TSftpTransport sftp(Settings());
    sftp.Connect();
    sftp.ChangeFolder(Remote());
    std::atomic<bool> ended{false};
    TTransportFailure kind = TTransportFailure::Other;
    std::thread download([&] {
        try {
            sftp.Download("big.bin", 2LL << 30);
        } catch (const TTransportError& e) {
            kind = e.Kind();
        }
        ended = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_FALSE(ended) << "the download ended before it was cancelled";
    const auto cancelled = TClock::now();
    sftp.Cancel();
    while (!ended && TClock::now() - cancelled < std::chrono::seconds(10))
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    const auto took = TClock::now() - cancelled;
    download.join();
    EXPECT_EQ(kind, TTransportFailure::Cancelled);
    EXPECT_LT(took, std::chrono::seconds(1));
    for (const auto& operation : std::vector<std::function<void()>>{
             [&] { sftp.Delete("big.bin"); }, [&] { sftp.Rename("big.bin", "b"); },
             [&] { sftp.RemoteSize("big.bin"); }, [&] { sftp.Download("big.bin", 1); }}) {
        EXPECT_EQ(FailureOf(operation).Kind(), TTransportFailure::Cancelled);
    }
    EXPECT_TRUE(PathExists(Remote() + "/big.bin"));
}

TEST_F(SftpTransportTest, APublishRunSendsTheSampleSiteByteForByte) {
    TSampleSite site(Local.Path());
    ASSERT_GT(site.Published().size(), 5u);
    std::filesystem::create_directories(Remote() + "/public_html");
    TUnwatchedView view;
    const auto owned = PublishTo(site, view, Remote() + "/public_html");
    TPublishRun& run = *owned;
    ASSERT_EQ(run.Publish(), TPublishOutcome::Finished)
        << run.LastError << (view.Messages.empty() ? "" : "\n" + view.Messages.back());
    EXPECT_EQ(run.Settings.KnownHostsFile, KnownHosts());
    EXPECT_EQ(run.Settings.IdentityFile, Server->ClientKey());
    EXPECT_EQ(TSampleSite::Files(Remote() + "/public_html"), site.Published());

    // Without them the user's own known hosts do not know the test's server.
    run.KnownHostsFile = Local.Path() + "/empty_known_hosts";
    WriteFileBytes(run.KnownHostsFile, "");
    run.Show();
    EXPECT_EQ(run.Publish(), TPublishOutcome::Failed);
    ASSERT_FALSE(view.Messages.empty());
    EXPECT_EQ(view.Messages.back(),
              "FTP cannot connect!\nThe server's host key is not trusted (it is not known for "
              "127.0.0.1). Its SHA-256 fingerprint is " +
                  Server->HostFingerprint() + ".");
}

TEST_F(SftpTransportTest, LinksInTheFolderAreReplacedNeverWrittenThrough) {
    // Links named as a page and as its part file lead outside the folder, one of each to a
    // file there and one to nothing; a publish, plain or synchronising, puts the pages in the
    // folder as files of their own and never writes where a link leads.
    for (const bool sync : {false, true}) {
        SCOPED_TRACE(sync ? "synchronising publish" : "plain publish");
        const std::string local = Local / (sync ? "sync" : "plain");
        TSampleSite site(local);
        const auto published = site.Published();
        ASSERT_GE(published.size(), 2u);
        const std::string first = published.begin()->first;
        const std::string second = std::next(published.begin())->first;
        const std::string remote = Remote() + (sync ? "/sync" : "/plain");
        const std::string outside = Server->Dir / (sync ? "outside-sync" : "outside-plain");
        std::filesystem::create_directories(remote);
        std::filesystem::create_directories(outside);
        const std::map<std::string, std::string> outsideBefore = {{"page", "outside the folder"},
                                                                  {"part", "outside too"}};
        for (const auto& [name, data] : outsideBefore)
            WriteFileBytes(outside + "/" + name, data);
        std::filesystem::create_symlink(outside + "/page", remote + "/" + first);
        std::filesystem::create_symlink(outside + "/part",
                                        remote + "/" + PrefixedName(PartFilePrefix, first));
        std::filesystem::create_symlink(outside + "/nothing", remote + "/" + second);
        std::filesystem::create_symlink(outside + "/nothing-part",
                                        remote + "/" + PrefixedName(PartFilePrefix, second));

        TUnwatchedView view;
        const auto owned = PublishTo(site, view, remote, sync);
        TPublishRun& run = *owned;
        ASSERT_EQ(run.Publish(), TPublishOutcome::Finished)
            << run.LastError << (view.Messages.empty() ? "" : "\n" + view.Messages.back());

        EXPECT_EQ(TSampleSite::Files(outside), outsideBefore);
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(remote)) {
            names.insert(entry.path().filename().string());
            EXPECT_FALSE(entry.is_symlink()) << entry.path();
        }
        EXPECT_EQ(TSampleSite::Files(remote, true), published);
        for (const std::string& name : names)
            EXPECT_TRUE(published.count(name) > 0 || name == TManifest::FileName) << name;
    }
}

TEST_F(SftpTransportTest, ReplacingAPageNeverDeletesItBeforeTheNewOneIsInPlace) {
    // OpenSSH renames nothing over a file: each page is moved aside for its replacement.
    const std::string folder = Remote() + "/pages";
    std::filesystem::create_directories(folder);
    std::filesystem::create_directories(Local / "pages");
    for (const auto& [name, data] : replacecases::Pages("old"))
        WriteFileBytes(folder + "/" + name, data);
    TSftpTransport sftp(Settings());
    sftp.Connect();
    sftp.ChangeFolder(folder);
    replacecases::PlayReplacing(
        sftp, [&folder] { return fileoperations::FilesIn(folder); }, Local / "pages", false);
}

TEST_F(SftpTransportTest, WhatHasTheAsideNameIsRemovedAsALinkOrFailsThatPageAlone) {
    // A link to a file outside the folder has the aside name of one page: the link goes, never
    // what it leads to. A folder has the aside name of another page, and cannot go: that page
    // fails, naming it, and stays as it was; the server is not taken for one that refuses
    // renames, and the last page is replaced as usual.
    const std::string folder = Remote() + "/aside";
    const std::string outside = Server->Dir / "outside-aside";
    std::filesystem::create_directories(folder);
    std::filesystem::create_directories(outside);
    const std::string local = Local / "aside";
    std::filesystem::create_directories(local);
    const replacecases::TFiles before = replacecases::Pages("old");
    const replacecases::TFiles after = replacecases::Pages("new");
    for (const auto& [name, data] : before)
        WriteFileBytes(folder + "/" + name, data);
    WriteFileBytes(outside + "/kept", "outside the folder");
    std::filesystem::create_symlink(outside + "/kept",
                                    folder + "/" + PrefixedName(AsideFilePrefix, "a.htm"));
    const std::string stray = folder + "/" + PrefixedName(AsideFilePrefix, "b.htm");
    std::filesystem::create_directories(stray);
    WriteFileBytes(stray + "/inside", "inside");

    TSftpTransport sftp(Settings());
    sftp.Connect();
    sftp.ChangeFolder(folder);
    std::map<std::string, std::string> failures;
    for (const auto& [name, data] : after) {
        WriteFileBytes(local + "/" + name, data);
        try {
            sftp.UploadReplacing(local + "/" + name, name, PrefixedName(PartFilePrefix, name));
        } catch (const TTransportError& e) {
            failures[name] = e.what();
            EXPECT_EQ(e.Kind(), TTransportFailure::FileRefused);
            EXPECT_EQ(e.FileName(), name);
            EXPECT_THAT(e.Reason(), HasSubstr(PrefixedName(AsideFilePrefix, name))) << e.Reason();
        }
    }
    EXPECT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures.count("b.htm"), 1u);
    EXPECT_FALSE(sftp.RenamesRefused());
    EXPECT_EQ(ReadFileBytes(outside + "/kept"), "outside the folder");
    EXPECT_EQ(ReadFileBytes(stray + "/inside"), "inside");
    replacecases::TFiles expected = after;
    expected["b.htm"] = before.at("b.htm");
    EXPECT_EQ(fileoperations::FilesIn(folder), expected);
}

TEST_F(SftpTransportTest, TheAgentsKeyLogsIn) {
    TSshAgent agent;
    ASSERT_TRUE(agent.Started()) << "ssh-agent did not start";
    TTransportSettings settings = Settings();
    // No key file: the agent's keys and the user's default key files, which the test's
    // server does not know.
    settings.IdentityFile.clear();
    const struct {
        const char* What;
        bool Agent;
        std::string Key; // added to the agent
        bool LogsIn;
    } cases[] = {
        {"no agent", false, "", false},
        {"an agent without keys", true, "", false},
        {"an agent with a key the server does not know", true, Server->OtherKey(), false},
        {"an agent with the server's key", true, Server->ClientKey(), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        if (!c.Key.empty()) {
            ASSERT_EQ(agent.Add(c.Key), "");
        }
        TScopedEnvironment socket("SSH_AUTH_SOCK", c.Agent ? agent.Socket().c_str() : nullptr);
        TSftpTransport sftp(settings);
        std::vector<std::string> log;
        sftp.OnLog = [&log](const std::string& line) { log.push_back(line); };
        if (!c.LogsIn) {
            TTransportError e = FailureOf([&] { sftp.Connect(); });
            EXPECT_EQ(e.Kind(), TTransportFailure::LoginRefused) << e.what();
            EXPECT_EQ(e.Reason(), "The server refused the user name or password.");
            continue;
        }
        sftp.Connect();
        EXPECT_THAT(log, ::testing::Contains("Logged in with a key"));
        sftp.ChangeFolder(Remote());
        sftp.Upload(LocalFile("agent.htm", "by the agent's key"), "agent.htm");
        EXPECT_EQ(ReadFileBytes(Remote() + "/agent.htm"), "by the agent's key");
    }
}

// Peers without an SSH server.
class SftpPeerTest : public ::testing::Test {};

TEST_F(SftpPeerTest, NothingListeningAndANameThatDoesNotResolve) {
    TTransportSettings settings;
    settings.Protocol = "SFTP";
    settings.Host = "127.0.0.1";
    settings.Port = sshserver::FreePort();
    settings.User = "site";
    settings.ReadTimeout = 5000;
    TSftpTransport nothing(settings);
    TTransportError e = FailureOf([&] { nothing.Connect(); });
    EXPECT_EQ(e.Kind(), TTransportFailure::NothingListens);
    EXPECT_EQ(e.Reason(), "Nothing listens at 127.0.0.1:" + std::to_string(settings.Port) + ".");

    // A label longer than 63 characters cannot be put into a query: the resolver fails at
    // once, without the network.
    settings.Host = std::string(70, 'q') + ".invalid";
    TSftpTransport unresolved(settings);
    e = FailureOf([&] { unresolved.Connect(); });
    EXPECT_EQ(e.Kind(), TTransportFailure::HostNotFound);
    EXPECT_THAT(e.Reason(),
                HasSubstr("The host name \"" + settings.Host + "\" does not resolve ("));

    // A host name of a hand-edited project reaches no terminal with its controls, C1 ones
    // among them.
    settings.Host = std::string(70, 'q') + "\x1b[2J\xc2\x9b"
                                           "0m.invalid";
    TSftpTransport controls(settings);
    e = FailureOf([&] { controls.Connect(); });
    EXPECT_THAT(e.Reason(), HasSubstr(std::string(70, 'q') + "?[2J?0m.invalid"));
    for (const std::string& text : {std::string(e.what()), e.Reason()}) {
        EXPECT_EQ(text.find('\x1b'), std::string::npos) << text;
        EXPECT_EQ(text.find("\xc2\x9b"), std::string::npos) << text;
    }
}

// A listener that takes connections (the system completes them) and never says a word.
class TSilentListener {
  public:
    TSilentListener() {
        FFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(FFd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::listen(FFd, 8) == 0 &&
            ::getsockname(FFd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            FPort = ntohs(address.sin_port);
    }
    ~TSilentListener() { ::close(FFd); }
    TSilentListener(const TSilentListener&) = delete;
    TSilentListener& operator=(const TSilentListener&) = delete;
    int Port() const { return FPort; }

  private:
    int FFd = -1;
    int FPort = 0;
};

TEST_F(SftpPeerTest, ASilentServerIsNoAnswerAndCancelEndsTheWait) {
    TSilentListener silent;
    ASSERT_GT(silent.Port(), 0);
    TTransportSettings settings;
    settings.Host = "127.0.0.1";
    settings.Port = silent.Port();
    settings.User = "site";
    settings.ReadTimeout = 300;
    TSftpTransport sftp(settings);
    TTransportError e = FailureOf([&] { sftp.Connect(); });
    EXPECT_EQ(e.Kind(), TTransportFailure::NoAnswer) << e.what();
    EXPECT_EQ(e.Reason(),
              "No answer from 127.0.0.1:" + std::to_string(silent.Port()) + " within 1 second.");
    EXPECT_FALSE(sftp.Connected());

    // Without a time-out only Cancel ends the wait.
    settings.ReadTimeout = 0;
    TSftpTransport forever(settings);
    TTransportFailure kind = TTransportFailure::Other;
    std::atomic<bool> ended{false};
    std::thread connect([&] {
        try {
            forever.Connect();
        } catch (const TTransportError& failure) {
            kind = failure.Kind();
        }
        ended = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(ended);
    const auto cancelled = TClock::now();
    forever.Cancel();
    while (!ended && TClock::now() - cancelled < std::chrono::seconds(10))
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const auto took = TClock::now() - cancelled;
    connect.join();
    EXPECT_EQ(kind, TTransportFailure::Cancelled);
    EXPECT_LT(took, std::chrono::seconds(1));
}

// An SSH server of the test's own (libssh's server side) that asks for a password, plainly
// or keyboard-interactively, and offers nothing after the login: a client that logged in
// fails only when it opens its SFTP channel. OpenSSH's sshd would check the password against
// the system's users, which a test must not touch.
class TPasswordServer {
  public:
    enum TMode { Password, Interactive };

    TPasswordServer(TMode mode, std::string password)
        : FMode(mode), FPassword(std::move(password)) {
        if (!sshserver::MakeKey(Dir / "host_key"))
            return;
        Fingerprint = sshserver::KeygenFingerprint(Dir / "host_key.pub");
        FBind = ssh_bind_new();
        const std::string key = Dir / "host_key";
        unsigned port = 0;
        if (ssh_bind_options_set(FBind, SSH_BIND_OPTIONS_BINDADDR, "127.0.0.1") != SSH_OK ||
            ssh_bind_options_set(FBind, SSH_BIND_OPTIONS_BINDPORT, &port) != SSH_OK ||
            ssh_bind_options_set(FBind, SSH_BIND_OPTIONS_HOSTKEY, key.c_str()) != SSH_OK ||
            ssh_bind_listen(FBind) != SSH_OK)
            return;
        sockaddr_in address{};
        socklen_t length = sizeof address;
        if (::getsockname(ssh_bind_get_fd(FBind), reinterpret_cast<sockaddr*>(&address), &length) ==
            0)
            FPort = ntohs(address.sin_port);
        FThread = std::thread([this] { Serve(); });
    }
    ~TPasswordServer() {
        FStop = true;
        {
            std::lock_guard lock(FMutex);
            if (FSession)
                ::shutdown(ssh_get_fd(FSession), SHUT_RDWR);
        }
        if (FThread.joinable())
            FThread.join();
        if (FBind)
            ssh_bind_free(FBind);
    }
    TPasswordServer(const TPasswordServer&) = delete;
    TPasswordServer& operator=(const TPasswordServer&) = delete;

    int Port() const { return FPort; }
    std::string Fingerprint;
    TTempFolder Dir;

  private:
    int Method() const {
        return FMode == Password ? SSH_AUTH_METHOD_PASSWORD : SSH_AUTH_METHOD_INTERACTIVE;
    }
    // Answers one authentication request; true when it let the client in.
    bool Authenticate(ssh_session session, ssh_message message) {
        if (ssh_message_subtype(message) == SSH_AUTH_METHOD_PASSWORD && FMode == Password) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
            const char* given = ssh_message_auth_password(message);
#pragma GCC diagnostic pop
            if (given && FPassword == given) {
                ssh_message_auth_reply_success(message, 0);
                return true;
            }
        }
        if (ssh_message_subtype(message) == SSH_AUTH_METHOD_INTERACTIVE && FMode == Interactive) {
            if (!ssh_message_auth_kbdint_is_response(message)) {
                const char* prompts[] = {"Password: "};
                char echo[] = {0};
                ssh_message_auth_interactive_request(message, "", "", 1, prompts, echo);
                return false;
            }
            if (ssh_userauth_kbdint_getnanswers(session) == 1 &&
                FPassword == ssh_userauth_kbdint_getanswer(session, 0)) {
                ssh_message_auth_reply_success(message, 0);
                return true;
            }
        }
        ssh_message_auth_set_methods(message, Method());
        ssh_message_reply_default(message);
        return false;
    }
    void Serve() {
        while (!FStop) {
            pollfd p{ssh_bind_get_fd(FBind), POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            ssh_session session = ssh_new();
            const long timeout = 10;
            ssh_options_set(session, SSH_OPTIONS_TIMEOUT, &timeout);
            if (ssh_bind_accept(FBind, session) != SSH_OK) {
                ssh_free(session);
                continue;
            }
            {
                std::lock_guard lock(FMutex);
                FSession = session;
            }
            if (ssh_handle_key_exchange(session) == SSH_OK) {
                // Every request after the login (the SFTP channel) is refused.
                while (ssh_message message = ssh_message_get(session)) {
                    if (ssh_message_type(message) == SSH_REQUEST_AUTH)
                        Authenticate(session, message);
                    else
                        ssh_message_reply_default(message);
                    ssh_message_free(message);
                }
            }
            {
                std::lock_guard lock(FMutex);
                FSession = nullptr;
            }
            ssh_disconnect(session);
            ssh_free(session);
        }
    }

    TMode FMode;
    std::string FPassword;
    ssh_bind FBind = nullptr;
    int FPort = 0;
    std::atomic<bool> FStop{false};
    std::mutex FMutex;
    ssh_session FSession = nullptr;
    std::thread FThread;
};

TEST_F(SftpPeerTest, ThePasswordLogsInPlainlyOrKeyboardInteractively) {
    // ssh-keygen makes the server's host key.
    if (const std::string missing = SshServerMissing(); !missing.empty())
        SKIP_WITHOUT_SERVER(missing);
    for (const auto mode : {TPasswordServer::Password, TPasswordServer::Interactive}) {
        const char* what = mode == TPasswordServer::Password ? "password" : "keyboard-interactive";
        TPasswordServer server(mode, "pa55 w\xC3\xB6rd");
        ASSERT_GT(server.Port(), 0) << "the test's SSH server did not start";
        TTransportSettings settings;
        settings.Host = "127.0.0.1";
        settings.Port = server.Port();
        settings.User = "site";
        settings.Trusted = server.Fingerprint;
        settings.KnownHostsFile = server.Dir / "known_hosts";
        WriteFileBytes(settings.KnownHostsFile, "");
        settings.ReadTimeout = 10000;
        const struct {
            std::string Password;
            TTransportFailure Kind;
            std::string Reason;
        } cases[] = {
            // Logged in: only the SFTP channel that the server refuses ends the connect.
            {"pa55 w\xC3\xB6rd", TTransportFailure::Other, "The server offers no SFTP."},
            {"pa55 word", TTransportFailure::LoginRefused,
             "The server refused the user name or password."},
            {"", TTransportFailure::LoginRefused, "The server refused the user name or password."},
        };
        for (const auto& c : cases) {
            settings.Password = c.Password;
            TSftpTransport sftp(settings);
            std::vector<std::string> log;
            sftp.OnLog = [&log](const std::string& line) { log.push_back(line); };
            TTransportError e = FailureOf([&] { sftp.Connect(); });
            EXPECT_EQ(e.Kind(), c.Kind) << what << " " << c.Password << ": " << e.what();
            EXPECT_EQ(e.Reason(), c.Reason) << what << " " << c.Password;
            const bool loggedIn =
                std::find(log.begin(), log.end(), "Logged in with the password") != log.end();
            EXPECT_EQ(loggedIn, c.Kind == TTransportFailure::Other) << what << " " << c.Password;
        }
    }
}

} // namespace

TEST_F(SftpTransportTest, ASynchronisingPublishSendsOnlyWhatChanged) {
    std::filesystem::create_directories(Remote() + "/sync");
    std::filesystem::create_directories(Local / "sync");
    syncserver::TSyncServerCases(Settings(), Remote() + "/sync", Remote() + "/sync", Local / "sync")
        .Play();
}

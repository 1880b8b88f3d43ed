// corvane-cli publish: arguments, the question, what it shows on a terminal and elsewhere,
// and its exit status, with the scripted FTP server standing in for the web server.

#include "model/CProject.h"
#include "platform/Locale.h"
#include "platform/XmlDocument.h"
#include "publish/Manifest.h"
#include "publish/RemoteLock.h"

#include "CliRun.h"
#include "TestSupport.h"
#include "publish/ChildProcess.h"
#include "publish/FakeFtpServer.h"
#include "publish/PyFtpdServer.h"
#include "publish/RequireServers.h"
#include "publish/SshServer.h"
#include "publish/TestCertificates.h"
#include "publish/VsftpdServer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

constexpr int CliTimeoutMs = 60000;

class PublishCommandTest : public ::testing::Test {
  protected:
    PublishCommandTest() {
        std::filesystem::create_directory(Folder());
        TXmlDocument document;
        TDProject project(Folder(), document);
        project.Save();
    }

    std::string Folder() { return Dir / "Site"; }
    std::string Html() { return Folder() + "/HTML/"; }

    // Stores the FTP settings in the project document.
    void Settings(int port, const std::string& folder = "", const std::string& user = "web",
                  const std::string& server = "127.0.0.1") {
        TXmlDocument document;
        TDProject project(Folder(), document);
        project.PUBLISH.FTP_SERVER = server;
        project.PUBLISH.FTP_PORT = port;
        project.PUBLISH.USER_NAME = user;
        project.PUBLISH.PASSWORD = "top-secret";
        project.PUBLISH.FOLDER = folder;
        // The scripted server speaks the active exchange of every file.
        project.PUBLISH.PASSIVE = false;
        project.PUBLISH.SYNC = false;
        project.Save();
    }
    // Stores the settings of a real server on this machine, leaving the passive mode and the
    // synchronising as a new project has them.
    void ServerSettings(int port, const std::string& folder, const std::string& protocol = "") {
        TXmlDocument document;
        TDProject project(Folder(), document);
        project.PUBLISH.FTP_SERVER = "127.0.0.1";
        project.PUBLISH.FTP_PORT = port;
        project.PUBLISH.USER_NAME = "web";
        project.PUBLISH.PASSWORD = "top-secret";
        project.PUBLISH.FOLDER = folder;
        if (!protocol.empty())
            project.PUBLISH.PROTOCOL = protocol;
        project.Save();
    }
    // A port on which nothing listens.
    static int DeadPort() {
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("no free port on 127.0.0.1");
        ::close(fd);
        return ntohs(address.sin_port);
    }
    TProcessResult Publish(std::vector<std::string> options, const std::string& input = "") {
        std::vector<std::string> argv = {CorvaneCliPath(), "publish", Folder()};
        argv.insert(argv.end(), options.begin(), options.end());
        return RunProcess(argv, input, CliTimeoutMs);
    }

    TTempFolder Dir;
};

std::string Lines(std::initializer_list<std::string> lines) {
    std::string out;
    for (const std::string& line : lines)
        out += line + "\n";
    return out;
}

} // namespace

TEST_F(PublishCommandTest, WrongArgumentsAreRefused) {
    struct TCase {
        std::vector<std::string> Args;
        int Exit;
        std::string Err;
    };
    const TCase cases[] = {
        {{"publish"}, 2, "Usage: corvane-cli publish PROJECT_FOLDER"},
        {{"publish", Folder(), "--force"}, 2, "unknown option \"--force\""},
        {{"publish", Folder(), Folder()}, 2, "Usage: corvane-cli publish PROJECT_FOLDER"},
        {{"publish", Dir / "nowhere", "--yes"}, 1, "is not a folder"},
        {{"publish", Dir.Path(), "--yes"}, 1, "holds no project document (Default.Pro)"},
    };
    for (const TCase& c : cases) {
        std::vector<std::string> argv = {CorvaneCliPath()};
        argv.insert(argv.end(), c.Args.begin(), c.Args.end());
        TProcessResult r = RunProcess(argv, "", CliTimeoutMs);
        EXPECT_EQ(r.ExitCode, c.Exit) << r.Err;
        EXPECT_THAT(r.Err, HasSubstr(c.Err));
        EXPECT_EQ(r.Out, "");
    }
}

TEST_F(PublishCommandTest, UploadsTheHtmlFolderAsItStandsWithPlainLines) {
    WriteFileBytes(Html() + "a.htm", std::string(600, 'a'));
    WriteFileBytes(Html() + "b.gif", std::string("GIF89a\0\1\2", 9));
    TFakeFtpServer server([](TFakeFtpSession& s) {
        s.Login();
        s.ServeUploads();
    });
    Settings(server.Port(), "www");

    TProcessResult r = Publish({"--yes", "--no-build"});
    server.Finish();

    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out,
              "Published 2 files to 127.0.0.1:" + std::to_string(server.Port()) + " in www\n");
    EXPECT_EQ(r.Err,
              Lines({"2 files in " + Html(), "  a.htm (1K)", "  b.gif (0K)", "Building Project...",
                     "Connect FTP Server...", "Change Folder...", "Upload a.htm (1K) ...",
                     "  Success  a.htm (1K)", "Upload b.gif (0K) ...", "  Success  b.gif (0K)",
                     "Disconnect FTP Server...", "Finish!"}));
    auto files = server.Files();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files["a.htm"], ReadFileBytes(Html() + "a.htm"));
    EXPECT_EQ(files["b.gif"], ReadFileBytes(Html() + "b.gif"));
    EXPECT_THAT(server.Commands(), ::testing::Contains("CWD www"));
}

TEST_F(PublishCommandTest, AsksBeforePublishing) {
    WriteFileBytes(Html() + "index.htm", "<html>");
    struct TCase {
        std::string Input;
        bool Publishes;
    };
    const TCase cases[] = {{"y\n", true}, {"yes\n", true}, {"n\n", false},
                           {"\n", false}, {"", false},     {"maybe\n", false}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Input);
        if (c.Publishes) {
            TFakeFtpServer server([](TFakeFtpSession& s) {
                s.Login();
                s.ServeUploads();
            });
            Settings(server.Port());
            TProcessResult r = Publish({"--no-build"}, c.Input);
            server.Finish();
            EXPECT_EQ(r.ExitCode, 0) << r.Err;
            EXPECT_THAT(r.Err, HasSubstr("Publish your website? [y/N] \n"));
            EXPECT_EQ(server.Files().size(), 1u);
        } else {
            // Nothing listens: a run that went on would fail to connect.
            Settings(DeadPort());
            TProcessResult r = Publish({"--no-build"}, c.Input);
            EXPECT_EQ(r.ExitCode, 1);
            EXPECT_THAT(r.Err, HasSubstr("Publish your website? [y/N] "));
            EXPECT_THAT(r.Err, EndsWith("\ncorvane-cli: not published\n"));
            EXPECT_THAT(r.Err, Not(HasSubstr("Connect FTP Server...")));
            EXPECT_EQ(r.Out, "");
        }
    }
}

TEST_F(PublishCommandTest, EveryFailureEndsWithTheRunsMessageAndStatus1) {
    WriteFileBytes(Html() + "a.htm", "a");
    WriteFileBytes(Html() + "b.htm", "b");
    struct TCase {
        const char* Name;
        TFakeFtpServer::TScript Script; // none: no server
        std::string User;
        std::string Server;
        std::string Message;
    };
    const TCase cases[] = {
        {"no server", nullptr, "web", "", "corvane-cli: Need FTP server.\n"},
        {"no user", nullptr, "  ", "127.0.0.1", "corvane-cli: Need user name.\n"},
        {"login refused",
         [](TFakeFtpSession& s) {
             s.Reply("220 Hi");
             s.Answer("331 Password");
             s.Answer("530 Login incorrect");
             s.WaitClosed();
         },
         "web", "127.0.0.1",
         "corvane-cli: FTP cannot connect!\nThe server refused the user name or password. ("},
        {"second upload refused",
         [](TFakeFtpSession& s) {
             s.Login();
             s.Store();
             s.Answer("200 PORT ok");
             s.Answer("552 Quota exceeded");
             s.WaitClosed();
         },
         "web", "127.0.0.1",
         "corvane-cli: FTP upload timeout!\nThe server has no room for \"b.htm\" (it replied "
         "\"552 Quota exceeded\"). ("},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        std::unique_ptr<TFakeFtpServer> server;
        if (c.Script)
            server = std::make_unique<TFakeFtpServer>(c.Script);
        Settings(server ? server->Port() : 21, "", c.User, c.Server);
        TProcessResult r = Publish({"--yes", "--no-build"});
        if (server)
            server->Finish();
        EXPECT_EQ(r.ExitCode, 1);
        EXPECT_EQ(r.Out, "");
        // The run's message (and its reason) ends what is shown.
        const std::string last = r.Err.substr(r.Err.rfind("corvane-cli: "));
        EXPECT_THAT(last, ::testing::StartsWith(c.Message));
        EXPECT_THAT(r.Err, Not(HasSubstr("top-secret")));
    }
}

TEST_F(PublishCommandTest, VerboseShowsTheExchangeWithoutThePassword) {
    WriteFileBytes(Html() + "a.htm", "a");
    TFakeFtpServer server([](TFakeFtpSession& s) {
        s.Login();
        s.ServeUploads();
    });
    Settings(server.Port());
    TProcessResult r = Publish({"--yes", "--no-build", "--verbose"});
    server.Finish();
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_THAT(r.Err, HasSubstr("> USER web\n< 331 Password required\n> PASS ****\n"
                                 "< 230 Logged in\n> TYPE I\n"));
    EXPECT_THAT(r.Err, HasSubstr("> STOR a.htm\n< 150 Opening data connection\n"
                                 "< 226 Transfer complete\n"));
    EXPECT_THAT(r.Err, Not(HasSubstr("top-secret")));
}

TEST_F(PublishCommandTest, ATerminalGetsAProgressBar) {
    WriteFileBytes(Html() + "a.htm", std::string(3000, 'a'));
    TFakeFtpServer server([](TFakeFtpSession& s) {
        s.Login();
        s.ServeUploads();
    });
    Settings(server.Port());
    TProcessResult r = RunOnTerminal({CorvaneCliPath(), "publish", Folder(), "--yes", "--no-build"},
                                     "", CliTimeoutMs);
    server.Finish();
    EXPECT_EQ(r.ExitCode, 0) << r.Out;
    // The terminal turns each LF into CR LF.
    EXPECT_THAT(r.Out, HasSubstr("\r\033[K[###---------------------------]  10%  "
                                 "Building Project..."));
    EXPECT_THAT(r.Out, HasSubstr("\r\033[K[######------------------------]  20%  "
                                 "Upload a.htm (3K) ..."));
    EXPECT_THAT(r.Out, HasSubstr("\r\033[K  Success  a.htm (3K)\r\n"));
    EXPECT_THAT(r.Out, HasSubstr("\r\033[K[##############################] 100%  Finish!\r\n"));
    EXPECT_THAT(r.Out, HasSubstr("Published 1 file to 127.0.0.1:"));
    // No bar before the run: the file list comes first.
    EXPECT_THAT(r.Out, ::testing::StartsWith("1 file in " + Html() + "\r\n  a.htm (3K)\r\n"));
}

TEST_F(PublishCommandTest, AFailedRunOnATerminalLeavesNoBarBehind) {
    WriteFileBytes(Html() + "a.htm", "a");
    Settings(DeadPort());
    TProcessResult r = RunOnTerminal({CorvaneCliPath(), "publish", Folder(), "--yes", "--no-build"},
                                     "", CliTimeoutMs);
    EXPECT_EQ(r.ExitCode, 1) << r.Out;
    EXPECT_THAT(r.Out, HasSubstr("]  10%  Connect FTP Server...\r\033[K"
                                 "corvane-cli: FTP cannot connect!\r\nNothing listens at "
                                 "127.0.0.1:"));
    EXPECT_THAT(r.Out, Not(HasSubstr("0%  \r")));
}

TEST_F(PublishCommandTest, WithoutNoBuildTheHtmlFolderIsEmptiedAndBuilt) {
    WriteFileBytes(Html() + "stale.htm", "left from an old build");
    WriteFileBytes(Html() + ".htaccess", "Options -Indexes\n");
    std::filesystem::create_directory(Html() + "keep");
    WriteFileBytes(Html() + "keep/inner.htm", "kept");
    TFakeFtpServer server([](TFakeFtpSession& s) {
        s.Login();
        s.ServeUploads();
    });
    Settings(server.Port());
    TProcessResult r = Publish({"--yes"});
    server.Finish();
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_FALSE(PathExists(Html() + "stale.htm"));
    EXPECT_TRUE(PathExists(Html() + "keep/inner.htm"));
    // The user's own hidden file stays, as the window's Publish keeps it, and is not uploaded.
    EXPECT_EQ(ReadFileBytes(Html() + ".htaccess"), "Options -Indexes\n");
    // What was uploaded is what the build left in the folder.
    std::map<std::string, std::string> built;
    for (const auto& entry : std::filesystem::directory_iterator(Html()))
        if (entry.is_regular_file() && entry.path().filename().string()[0] != '.')
            built[entry.path().filename().string()] = ReadFileBytes(entry.path().string());
    EXPECT_FALSE(built.empty());
    EXPECT_EQ(server.Files(), built);
}

TEST_F(PublishCommandTest, CtrlCCancelsTheRunWithinASecondAndNamesTheFileInTransfer) {
    WriteFileBytes(Html() + "a.htm", "page");
    std::atomic<pid_t> cli{0};
    std::chrono::steady_clock::time_point interruptedAt;
    TFakeFtpServer server([&](TFakeFtpSession& s) {
        s.Login();
        s.Answer("200 PORT ok");
        s.Answer("150 Go");
        // The client now waits for a data connection that never comes (for 30 s by its
        // read time-out): Ctrl+C.
        s.Pause(300);
        interruptedAt = std::chrono::steady_clock::now();
        ::kill(cli.load(), SIGINT);
        s.WaitClosed();
    });
    Settings(server.Port());
    std::vector<std::string> argv = {CorvaneCliPath(), "publish", Folder(), "--yes", "--no-build"};
    TProcessResult r = RunProcess(argv, "", CliTimeoutMs, &cli);
    const auto ended = std::chrono::steady_clock::now();
    server.Finish();
    EXPECT_FALSE(r.TimedOut);
    EXPECT_EQ(r.ExitCode, 1) << r.Err;
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(ended - interruptedAt).count(),
              1000);
    EXPECT_THAT(r.Err, HasSubstr("corvane-cli: Publishing cancelled. a.htm was not uploaded. ("));
    EXPECT_THAT(r.Err, HasSubstr("STOR a.htm: cancelled)"));
}

TEST_F(PublishCommandTest, ThePasswordIsTheProjectsElseCorvanePasswordAndIsNeverShown) {
    WriteFileBytes(Html() + "a.htm", "a");
    for (const bool inProject : {true, false}) {
        TFakeFtpServer server([](TFakeFtpSession& s) {
            s.Login();
            s.ServeUploads();
        });
        Settings(server.Port());
        if (!inProject) {
            TXmlDocument document;
            TDProject project(Folder(), document);
            project.PUBLISH.PASSWORD = "";
            project.Save();
        }
        // The keyring is not asked here (CORVANE_NO_KEYRING=1, as for every core test).
        ::setenv("CORVANE_PASSWORD", "from-the-environment", 1);
        TProcessResult r = Publish({"--yes", "--no-build", "--verbose"});
        ::unsetenv("CORVANE_PASSWORD");
        server.Finish();
        EXPECT_EQ(r.ExitCode, 0) << r.Err;
        EXPECT_THAT(
            server.Commands(),
            ::testing::Contains(inProject ? "PASS top-secret" : "PASS from-the-environment"));
        EXPECT_THAT(r.Out + r.Err, Not(HasSubstr("from-the-environment")));
        EXPECT_THAT(r.Err, HasSubstr("Keyring: the keyring is not used (CORVANE_NO_KEYRING=1)"));
        // Only the project's own password is in the project.
        TXmlDocument document;
        EXPECT_EQ(TDProject(Folder(), document).PUBLISH.PASSWORD, inProject ? "top-secret" : "");
    }
}

TEST_F(PublishCommandTest, ConnectPrintsWhatWorksAndExitsWith0OnlyWhenEverythingDoes) {
    TFakeFtpServer server([](TFakeFtpSession& s) {
        s.Login();
        s.ServeUploads();
    });
    Settings(server.Port(), "www");
    const auto before = ReadFileBytes(Folder() + "/Default.Pro");
    TProcessResult r = RunProcess({CorvaneCliPath(), "connect", Folder()}, "", CliTimeoutMs);
    server.Finish();
    const std::string at =
        "Connect to 127.0.0.1:" + std::to_string(server.Port()) + " (FTP, active)";
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, Lines({at + ": works.", "Log in as web: works.",
                            "Change to the folder \"www\": works.", "Everything works."}));
    // Nothing is sent but the login and the folder, and the project is not touched.
    EXPECT_EQ(server.Commands(), (std::vector<std::string>{"USER web", "PASS top-secret", "TYPE I",
                                                           "SYST", "CWD www"}));
    EXPECT_EQ(ReadFileBytes(Folder() + "/Default.Pro"), before);

    const int dead = DeadPort();
    Settings(dead, "www");
    r = RunProcess({CorvaneCliPath(), "connect", Folder()}, "", CliTimeoutMs);
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_EQ(r.Out,
              Lines({"Connect to 127.0.0.1:" + std::to_string(dead) +
                         " (FTP, active): fails. Nothing listens at 127.0.0.1:" +
                         std::to_string(dead) + ".",
                     "Log in as web: not tried.", "Change to the folder \"www\": not tried."}));
}

TEST_F(PublishCommandTest, AnUntrustedCertificateIsRefusedWithItsFingerprintUntilTrusted) {
    const std::string python = PythonWithPyftpdlib(true);
    if (python.empty())
        SKIP_WITHOUT_SERVER("python3 with pyftpdlib and pyOpenSSL is not installed");
    std::filesystem::create_directories(Dir / "certs");
    TTestCertificates certificates(Dir / "certs");
    ASSERT_EQ(certificates.Error(), "");
    const std::string home = Dir / "ftphome";
    std::filesystem::create_directories(home);
    TPyFtpdOptions options;
    options.CertFile = certificates.SelfSignedCertificate();
    options.KeyFile = certificates.SelfSignedKey();
    options.TlsRequired = true;
    TPyFtpdServer server(python, Dir.Path(), home, "web", "top-secret",
                         pyftpd::ServerLifetimeSeconds, options);
    ASSERT_GT(server.Port(), 0);
    ServerSettings(server.Port(), "", "FTPS");
    WriteFileBytes(Html() + "a.htm", "secure");
    const std::string fingerprint =
        TTestCertificates::Fingerprint(certificates.SelfSignedCertificate());

    TProcessResult r = Publish({"--yes", "--no-build"});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_THAT(r.Err, HasSubstr("corvane-cli: FTP cannot connect!\nThe server's certificate is "
                                 "not trusted (self-signed certificate). Its SHA-256 fingerprint "
                                 "is " +
                                 fingerprint + "."));
    EXPECT_THAT(r.Err, HasSubstr("publish again with --trust " + fingerprint + "\n"));
    EXPECT_FALSE(std::filesystem::exists(home + "/a.htm"));

    r = RunProcess({CorvaneCliPath(), "connect", Folder()}, "", CliTimeoutMs);
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_THAT(r.Out, HasSubstr("--trust " + fingerprint + "\n"));
    r = RunProcess({CorvaneCliPath(), "connect", Folder(), "--trust", fingerprint}, "",
                   CliTimeoutMs);
    EXPECT_EQ(r.ExitCode, 0) << r.Out;

    r = Publish({"--yes", "--no-build", "--trust", fingerprint});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(ReadFileBytes(home + "/a.htm"), "secure");
    // Kept in the project: the next run needs no option.
    TXmlDocument document;
    EXPECT_EQ(TDProject(Folder(), document).PUBLISH.TRUSTED, fingerprint);
    r = Publish({"--yes", "--no-build"});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
}

TEST_F(PublishCommandTest, ASynchronisingProjectSendsOnlyWhatChangedAndADryRunChangesNothing) {
    const std::string python = PythonWithPyftpdlib();
    if (python.empty())
        SKIP_WITHOUT_SERVER("python3 with pyftpdlib is not installed");
    const std::string home = Dir / "ftphome";
    std::filesystem::create_directories(home + "/www");
    TPyFtpdServer server(python, Dir.Path(), home, "web", "top-secret");
    ASSERT_GT(server.Port(), 0);
    {
        TXmlDocument document;
        ASSERT_TRUE(TDProject(Folder(), document).PUBLISH.SYNC);
    }
    ServerSettings(server.Port(), "www");
    WriteFileBytes(Html() + "Default.htm", std::string(1500, 'd'));
    WriteFileBytes(Html() + "Column1.htm", std::string(700, 'c'));
    WriteFileBytes(Html() + "Column2.htm", std::string(300, 'e'));
    auto serverFiles = [&] {
        std::map<std::string, std::string> files;
        for (const std::string& name : RegularFilesIn(home + "/www"))
            files[name] = ReadFileBytes(home + "/www/" + name);
        return files;
    };
    auto siteFiles = [&] {
        std::map<std::string, std::string> files;
        for (const std::string& name : RegularFilesIn(Html()))
            files[name] = ReadFileBytes(Html() + name);
        return files;
    };
    auto publishedFiles = [&] {
        std::map<std::string, std::string> files = serverFiles();
        EXPECT_EQ(files.count(".corvane-manifest"), 1u);
        files.erase(".corvane-manifest");
        return files;
    };

    TProcessResult r = Publish({"--yes", "--no-build"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_THAT(r.Out, ::testing::MatchesRegex("Uploaded 3 files \\(2500 bytes\\), deleted 0, 0 "
                                               "unchanged in [0-9]+\\.[0-9] s\n"));
    EXPECT_THAT(r.Err, HasSubstr("  upload  Column1.htm (1K, New)\n"));
    EXPECT_THAT(r.Err, HasSubstr("3 to upload (2 KB), 0 to delete, 0 unchanged\n"));
    EXPECT_EQ(publishedFiles(), siteFiles());

    // One change and one file gone: the dry run says so and leaves the server as it is.
    WriteFileBytes(Html() + "Column1.htm", std::string(700, 'C'));
    std::filesystem::remove(Html() + "Column2.htm");
    const auto before = serverFiles();
    r = Publish({"--dry-run", "--no-build"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, Lines({"  upload  Column1.htm (1K, Changed)", "  delete  Column2.htm",
                            "1 to upload (1 KB), 1 to delete, 1 unchanged"}));
    EXPECT_EQ(serverFiles(), before);

    r = Publish({"--yes", "--no-build", "--jobs", "2"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_THAT(r.Out, ::testing::MatchesRegex("Uploaded 1 file \\(700 bytes\\), deleted 1, 1 "
                                               "unchanged in [0-9]+\\.[0-9] s\n"));
    EXPECT_EQ(publishedFiles(), siteFiles());

    // Nothing changed: nothing sent; --all sends everything again.
    r = Publish({"--yes", "--no-build"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_THAT(r.Out, HasSubstr("Uploaded 0 files (0 bytes), deleted 0, 2 unchanged in "));
    r = Publish({"--yes", "--no-build", "--all", "-j", "1"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_THAT(r.Out, HasSubstr("Uploaded 2 files (2200 bytes), deleted 0, 0 unchanged in "));
    EXPECT_EQ(publishedFiles(), siteFiles());

    // A server file this program never published stays.
    WriteFileBytes(home + "/www/stats.html", "statistics");
    std::filesystem::remove(Html() + "Default.htm");
    r = Publish({"--yes", "--no-build"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_THAT(r.Out, HasSubstr("deleted 1, 1 unchanged"));
    auto published = publishedFiles();
    EXPECT_EQ(published["stats.html"], "statistics");
    published.erase("stats.html");
    EXPECT_EQ(published, siteFiles());

    // Asked without --yes: the question carries the summary.
    WriteFileBytes(Html() + "New.htm", "new");
    r = Publish({"--no-build"}, "n\n");
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_THAT(r.Err, HasSubstr("Publish your website?\n1 to upload (0 KB), 0 to delete, 1 "
                                 "unchanged [y/N] "));
    EXPECT_FALSE(std::filesystem::exists(home + "/www/New.htm"));
}

TEST_F(PublishCommandTest, NamesFromTheServersManifestReachTheTerminalWithoutControlCharacters) {
    const std::string python = PythonWithPyftpdlib();
    if (python.empty())
        SKIP_WITHOUT_SERVER("python3 with pyftpdlib is not installed");
    const std::string home = Dir / "ftphome";
    std::filesystem::create_directories(home + "/www");
    TPyFtpdServer server(python, Dir.Path(), home, "web", "top-secret");
    ASSERT_GT(server.Port(), 0);
    ServerSettings(server.Port(), "www");
    WriteFileBytes(Html() + "Default.htm", "home");
    // Each name a manifest may hold, a file the site no longer has: the plan names it, and
    // the run that deletes it names it again.
    struct TCase {
        std::string Name;
        std::string Shown;
    };
    const TCase cases[] = {
        {"a\x1b]0;owned\x07.htm", "a?]0;owned?.htm"},
        {"b\x1b[2J\x1b[H.htm", "b?[2J?[H.htm"},
        {"c\tx\x7f.htm", "c?x?.htm"},
        // C1 controls are controls too (here CSI as UTF-8); other letters stay, whatever their
        // bytes.
        {"d\xc2\x9b"
         "2J.htm",
         "d?2J.htm"},
        {"e\xe2\x82\xac\xc3\xa9.htm", "e\xe2\x82\xac\xc3\xa9.htm"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Shown);
        WriteFileBytes(home + "/www/.corvane-manifest",
                       "corvane-manifest 1\n" + std::string(64, 'a') + " 3 " + c.Name + "\n");
        WriteFileBytes(home + "/www/" + c.Name, "old");
        TProcessResult dry = Publish({"--dry-run", "--no-build"});
        ASSERT_EQ(dry.ExitCode, 0) << dry.Err;
        EXPECT_THAT(dry.Out, HasSubstr("  delete  " + c.Shown + "\n"));
        TProcessResult run = Publish({"--yes", "--no-build", "--verbose"});
        ASSERT_EQ(run.ExitCode, 0) << run.Err;
        EXPECT_THAT(run.Err, HasSubstr("  delete  " + c.Shown + "\n"));
        EXPECT_THAT(run.Err, HasSubstr("  Deleted  " + c.Shown + " (0K)\n"));
        EXPECT_FALSE(std::filesystem::exists(home + "/www/" + c.Name));
        for (const TProcessResult* r : {&dry, &run})
            for (const std::string* text : {&r->Out, &r->Err})
                for (char ch : *text)
                    EXPECT_FALSE((static_cast<unsigned char>(ch) < 0x20 && ch != '\n') ||
                                 ch == 0x7f)
                        << "control character " << static_cast<int>(ch) << " in " << *text;
    }
}

TEST_F(PublishCommandTest, AnotherCopysSiteNeedsYesAndALockLeftBehindNeedsBreakLock) {
    const std::string python = PythonWithPyftpdlib();
    if (python.empty())
        SKIP_WITHOUT_SERVER("python3 with pyftpdlib is not installed");
    const std::string home = Dir / "ftphome";
    const std::string www = home + "/www/";
    std::filesystem::create_directories(www);
    TPyFtpdServer server(python, Dir.Path(), home, "web", "top-secret");
    ASSERT_GT(server.Port(), 0);
    ServerSettings(server.Port(), "www");
    WriteFileBytes(Html() + "Default.htm", "home 1");
    TProcessResult r = Publish({"--yes", "--no-build"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    TDPublish stored;
    {
        TXmlDocument document;
        stored = TDProject(Folder(), document).PUBLISH;
    }
    ASSERT_EQ(stored.PROJECT_ID.size(), 16u);
    EXPECT_EQ(TManifest::Parse(ReadFileBytes(www + TManifest::FileName)).PublisherId,
              stored.PROJECT_ID);
    EXPECT_FALSE(std::filesystem::exists(www + TRemoteLock::FolderName));

    // Another copy published since: told by the dry run, refused without --yes and without
    // a terminal to ask, published over with --yes.
    TManifest other = TManifest::Parse(ReadFileBytes(www + TManifest::FileName));
    other.PublisherId = "fedcba9876543210";
    other.PublishedAt = 1800000000;
    WriteFileBytes(www + TManifest::FileName, other.Text());
    const std::string note = "The site on the server was published from another copy of this "
                             "project on " +
                             FormatDateTime(1800000000) + ".";
    WriteFileBytes(Html() + "Default.htm", "home 2");
    r = Publish({"--dry-run", "--no-build"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_THAT(r.Err, HasSubstr(note + "\n"));
    r = Publish({"--no-build"});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_THAT(r.Err, HasSubstr("corvane-cli: " + note +
                                 " Not published (--yes publishes this copy over it)\n"));
    EXPECT_EQ(ReadFileBytes(www + "Default.htm"), "home 1");
    r = Publish({"--yes", "--no-build"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(ReadFileBytes(www + "Default.htm"), "home 2");
    EXPECT_EQ(TManifest::Parse(ReadFileBytes(www + TManifest::FileName)).PublisherId,
              stored.PROJECT_ID);

    // A lock on the server: one in use refuses the run, even with --break-lock; one left
    // behind is broken only with --break-lock.
    std::filesystem::create_directory(www + TRemoteLock::FolderName);
    const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
    struct TCase {
        const char* What;
        TLockOwner Owner;
        bool BreakLock;
        std::string Err; // empty: published
    };
    const TLockOwner young{"elsewhere", 17, now - 60};
    const TLockOwner old{"elsewhere", 17, now - 3600};
    const TCase cases[] = {
        {"a lock in use", young, false, TRemoteLock::RunningMessage(young)},
        {"a lock in use, --break-lock", young, true, TRemoteLock::RunningMessage(young)},
        {"a lock left behind", old, false,
         TRemoteLock::LeftMessage(old) + " --break-lock breaks it."},
        {"a lock left behind, --break-lock", old, true, ""},
    };
    int version = 3;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        WriteFileBytes(Html() + "Default.htm", "home " + std::to_string(version));
        const std::string owner = TRemoteLock::OwnerText(c.Owner);
        WriteFileBytes(www + TRemoteLock::OwnerPath, owner);
        r = c.BreakLock ? Publish({"--yes", "--no-build", "--break-lock"})
                        : Publish({"--yes", "--no-build"});
        EXPECT_EQ(r.ExitCode, c.Err.empty() ? 0 : 1) << r.Err;
        if (c.Err.empty()) {
            EXPECT_EQ(ReadFileBytes(www + "Default.htm"), "home " + std::to_string(version));
            EXPECT_FALSE(std::filesystem::exists(www + TRemoteLock::FolderName));
        } else {
            EXPECT_THAT(r.Err, EndsWith("corvane-cli: " + c.Err + "\n"));
            EXPECT_EQ(ReadFileBytes(www + "Default.htm"), "home 2");
            EXPECT_EQ(ReadFileBytes(www + TRemoteLock::OwnerPath), owner);
        }
        ++version;
    }
}

TEST_F(PublishCommandTest, JobsMustBeOneToEight) {
    for (const char* jobs : {"0", "9", "four", "-1"}) {
        TProcessResult r = Publish({"--yes", "--no-build", "--jobs", jobs});
        EXPECT_EQ(r.ExitCode, 2) << jobs;
        EXPECT_THAT(r.Err, HasSubstr("corvane-cli: --jobs takes a number from 1 to 8")) << jobs;
    }
}

namespace {

// The bundled sample, copied to folder/Sample with the given publishing settings; its folder.
std::string SampleWith(const std::string& folder, const std::function<void(TDPublish&)>& set) {
    std::string sample = folder + "/Sample";
    std::filesystem::copy(SourceFolder() + "/examples/Sample", sample,
                          std::filesystem::copy_options::recursive);
    TXmlDocument document;
    TDProject project(sample, document);
    set(project.PUBLISH);
    project.Save();
    return sample;
}

// The ordinary files of folder that are not hidden, and their bytes.
std::map<std::string, std::string> VisibleFiles(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && name[0] != '.')
            files[name] = ReadFileBytes(entry.path().string());
    }
    return files;
}

} // namespace

// As a user with an SSH key in an agent publishes: the host key, unknown to the user's
// known hosts, is refused with its fingerprint until it is trusted; then the sample site is
// built and published whole.
TEST_F(PublishCommandTest, TheSamplePublishesOverSftpWithTheAgentsKey) {
    if (const std::string missing = SshServerMissing(); !missing.empty())
        SKIP_WITHOUT_SERVER(missing);
    TSshServer server;
    ASSERT_TRUE(server.Started()) << server.Log();
    TSshAgent agent;
    ASSERT_TRUE(agent.Started()) << "ssh-agent did not start";
    ASSERT_EQ(agent.Add(server.ClientKey()), "");
    const std::string remote = server.Dir / "public_html";
    std::filesystem::create_directories(remote);
    const std::string sample = SampleWith(Dir.Path(), [&](TDPublish& p) {
        p.PROTOCOL = "SFTP";
        p.FTP_SERVER = "127.0.0.1";
        p.FTP_PORT = server.Port();
        p.USER_NAME = sshserver::UserName();
        p.PASSWORD = "not the password";
        p.FOLDER = remote;
    });
    TScopedEnvironment socket("SSH_AUTH_SOCK", agent.Socket().c_str());
    const std::string fingerprint = server.HostFingerprint();

    TProcessResult r = RunProcess({CorvaneCliPath(), "publish", sample, "--yes"}, "", CliTimeoutMs);
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_THAT(r.Err, HasSubstr("FTP cannot connect!\nThe server's host key is not trusted (it "
                                 "is not known for 127.0.0.1). Its SHA-256 fingerprint is " +
                                 fingerprint + "."));
    EXPECT_THAT(r.Err, HasSubstr("publish again with --trust " + fingerprint + "\n"));
    EXPECT_TRUE(std::filesystem::is_empty(remote));

    r = RunProcess({CorvaneCliPath(), "publish", sample, "--yes", "--trust", fingerprint}, "",
                   CliTimeoutMs);
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    const auto published = VisibleFiles(sample + "/HTML");
    EXPECT_GT(published.size(), 5u);
    EXPECT_TRUE(published.count("Index.htm"));
    EXPECT_EQ(VisibleFiles(remote), published);
    EXPECT_EQ(r.Out, "Published " + std::to_string(published.size()) + " files to 127.0.0.1:" +
                         std::to_string(server.Port()) + " in " + remote + "\n");
}

// FTPS against vsftpd, whose data connections must resume the session: the certificate,
// signed by a CA the system does not know, is trusted by its fingerprint.
TEST_F(PublishCommandTest, TheSamplePublishesOverFtpsToVsftpd) {
    if (const std::string missing = TVsftpdServer::Missing(); !missing.empty())
        SKIP_WITHOUT_SERVER(missing);
    TVsftpdServer server;
    ASSERT_EQ(server.Start(), "");
    const std::string fingerprint =
        TTestCertificates::Fingerprint(server.Certificates->ServerCertificate());
    const std::string sample = SampleWith(Dir.Path(), [&](TDPublish& p) {
        p.PROTOCOL = "FTPS";
        p.PASSIVE = true;
        p.FTP_SERVER = "127.0.0.1";
        p.FTP_PORT = server.Port;
        p.USER_NAME = "root";
        p.PASSWORD = "pa55 word";
        p.FOLDER = "www";
    });
    TProcessResult r = RunProcess(
        {CorvaneCliPath(), "publish", sample, "--yes", "--verbose", "--trust", fingerprint}, "",
        CliTimeoutMs);
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    const auto published = VisibleFiles(sample + "/HTML");
    EXPECT_GT(published.size(), 5u);
    EXPECT_EQ(VisibleFiles(server.Home() + "/www"), published);
    EXPECT_THAT(r.Err, HasSubstr("data connection: TLS session resumed"));
    EXPECT_THAT(r.Err, Not(HasSubstr("data connection: new TLS session")));
    EXPECT_THAT(r.Err, Not(HasSubstr("pa55 word")));
}

// A folder on this machine as the target: no server, user or password asked for; connect
// opens it, publish synchronises into it, and a project without a folder is told so.
TEST_F(PublishCommandTest, PublishesIntoAFolderOnThisMachine) {
    const std::string target = Dir / "www";
    std::filesystem::create_directory(target);
    const auto store = [&](const std::string& folder) {
        TXmlDocument document;
        TDProject project(Folder(), document);
        project.PUBLISH.PROTOCOL = "Folder";
        project.PUBLISH.FOLDER = folder;
        project.Save();
    };
    const auto connect = [&] {
        return RunProcess({CorvaneCliPath(), "connect", Folder()}, "", CliTimeoutMs);
    };
    store("");
    TProcessResult r = connect();
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_EQ(r.Err, "corvane-cli: Need a folder.\n");
    r = Publish({"--yes"});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_THAT(r.Err, HasSubstr("Need a folder."));
    EXPECT_THAT(r.Err, Not(HasSubstr("Need FTP server.")));

    store(Dir / "missing");
    r = connect();
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_EQ(r.Out, "Open the folder \"" + Dir / "missing" + "\": fails. The folder \"" +
                         Dir / "missing" + "\" does not exist.\n");

    store(target);
    r = connect();
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "Open the folder \"" + target + "\": works.\nEverything works.\n");
    r = Publish({"--yes"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_THAT(r.Out, HasSubstr("Uploaded 1 file"));
    EXPECT_TRUE(PathExists(target + "/" + TManifest::FileName));
    EXPECT_FALSE(PathExists(target + "/" + TRemoteLock::FolderName));
    for (const auto& entry : std::filesystem::directory_iterator(Html()))
        EXPECT_EQ(ReadFileBytes(target + "/" + entry.path().filename().string()),
                  ReadFileBytes(entry.path().string()));
}

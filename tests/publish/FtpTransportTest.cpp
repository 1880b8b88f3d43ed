// The FTP and FTPS transport against real servers on 127.0.0.1 (pyftpdlib plain, passive,
// refusing passive mode, with TLS and certificates made by the test) and against the scripted
// server and silent sockets: passive mode and its fall-back, certificates checked and
// trusted, and every failure in plain words.

#include "publish/ftp/FtpTransport.h"
#include "publish/ConnectionTest.h"
#include "publish/SyncRun.h"
#include "publish/Transport.h"

#include "TestSupport.h"
#include "publish/ChildProcess.h"
#include "publish/FakeFtpServer.h"
#include "publish/FileOperationCases.h"
#include "publish/FtpFailure.h"
#include "publish/PyFtpdServer.h"
#include "publish/ReplaceCases.h"
#include "publish/RequireServers.h"
#include "publish/TestCertificates.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <netinet/in.h>
#include <optional>
#include <set>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

using ::testing::AllOf;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

using TStrings = std::vector<std::string>;

// A listening socket on 127.0.0.1 that never accepts: a connect succeeds (the system
// completes it) and then nothing is ever said.
class TSilentServer {
  public:
    TSilentServer() {
        FFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (FFd >= 0 && ::bind(FFd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::listen(FFd, 4) == 0 &&
            ::getsockname(FFd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            FPort = ntohs(address.sin_port);
    }
    ~TSilentServer() {
        if (FFd >= 0)
            ::close(FFd);
    }
    int Port() const { return FPort; }

  private:
    int FFd = -1;
    int FPort = 0;
};

// A port of 127.0.0.1 on which nothing listens.
int DeadPort() {
    int port;
    {
        TSilentServer once;
        port = once.Port();
    }
    return port;
}

class FtpTransportTest : public ::testing::Test {
  protected:
    // Starts pyftpdlib with options (TLS ones need pyOpenSSL); skipped or failed when the
    // packages are missing.
    void StartServer(const TPyFtpdOptions& options = {}) {
        const bool tls = !options.CertFile.empty();
        Python = PythonWithPyftpdlib(tls);
        if (Python.empty())
            SKIP_WITHOUT_SERVER(tls ? "python3 with pyftpdlib and pyOpenSSL is not "
                                      "installed"
                                    : "python3 with pyftpdlib is not installed");
        std::filesystem::create_directories(Home() + "/www");
        const std::string scripts = Dir / ("script" + std::to_string(++FServers));
        std::filesystem::create_directories(scripts);
        Server = std::make_unique<TPyFtpdServer>(Python, scripts, Home(), "site", "pa55 word",
                                                 pyftpd::ServerLifetimeSeconds, options);
        Port = Server->Port();
        ASSERT_GT(Port, 0) << "the FTP server did not start";
    }
    // Makes the test's certificates; skipped or failed without openssl.
    void MakeCertificates() {
        std::filesystem::create_directories(Dir / "certs");
        Certificates = std::make_unique<TTestCertificates>(Dir / "certs");
        if (!Certificates->Error().empty())
            SKIP_WITHOUT_SERVER("the openssl program cannot make the test certificates: " +
                                Certificates->Error());
    }
    TPyFtpdOptions Tls(const std::string& cert, const std::string& key, bool required = true) {
        TPyFtpdOptions options;
        options.CertFile = cert;
        options.KeyFile = key;
        options.TlsRequired = required;
        return options;
    }

    TTransportSettings Settings(const std::string& protocol = "FTP", bool passive = true) {
        TTransportSettings s;
        s.Protocol = protocol;
        s.Host = "127.0.0.1";
        s.Port = Port;
        s.User = "site";
        s.Password = "pa55 word";
        s.Passive = passive;
        s.ReadTimeout = 10000;
        return s;
    }
    // A transport whose log and status lines are kept.
    std::unique_ptr<TTransport> Make(const TTransportSettings& settings) {
        std::unique_ptr<TTransport> t = MakeTransport(settings);
        t->OnLog = [this](const std::string& line) { Log.push_back(line); };
        t->OnStatus = [this](const std::string& line) { Status.push_back(line); };
        return t;
    }
    // The commands sent, as the log shows them.
    TStrings Sent() const {
        TStrings sent;
        for (const std::string& line : Log)
            if (line.rfind("> ", 0) == 0)
                sent.push_back(line.substr(2, line.find(' ', 2) - 2));
        return sent;
    }
    std::string Local(const std::string& name, const std::string& data) {
        std::filesystem::create_directories(Dir / "local");
        WriteFileBytes(Dir / ("local/" + name), data);
        return Dir / ("local/" + name);
    }
    std::string Home() { return Dir / "home"; }

    TTempFolder Dir;
    std::string Python;
    std::unique_ptr<TPyFtpdServer> Server;
    std::unique_ptr<TTestCertificates> Certificates;
    int Port = 0;
    int FServers = 0;
    TStrings Log, Status;
};

} // namespace

TEST_F(FtpTransportTest, PassiveModeConnectsToTheServerWhateverAddressTheReplyNames) {
    TPyFtpdOptions options;
    // Behind NAT a server names its private address; the data connection goes to the server
    // the control connection reached all the same.
    options.Masquerade = "10.255.0.1";
    StartServer(options);
    auto ftp = Make(Settings());
    ftp->Connect();
    ftp->ChangeFolder("www");
    const std::string data = PseudoRandomBytes(300000, 5);
    std::vector<std::int64_t> progress;
    ftp->Upload(Local("a.bin", data), "a.bin",
                [&](std::int64_t sent) { progress.push_back(sent); });
    ftp->Upload(Local("b.htm", "<html></html>"), "b.htm");
    ftp->Disconnect();
    EXPECT_EQ(ReadFileBytes(Home() + "/www/a.bin"), data);
    EXPECT_EQ(ReadFileBytes(Home() + "/www/b.htm"), "<html></html>");
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), static_cast<std::int64_t>(data.size()));
    EXPECT_EQ(Sent(),
              (TStrings{"USER", "PASS", "TYPE", "SYST", "CWD", "PASV", "STOR", "PASV", "STOR"}));
    EXPECT_THAT(Log, Contains("the reply names 10.255.0.1; the data connection goes to 127.0.0.1"));
    EXPECT_TRUE(Status.empty());
}

TEST_F(FtpTransportTest, RefusedPassiveModeFallsBackToActiveOnceForTheSession) {
    TPyFtpdOptions options;
    options.RefusePassive = true;
    StartServer(options);
    auto ftp = Make(Settings());
    ftp->Connect();
    ftp->Upload(Local("a.htm", "first"), "a.htm");
    ftp->Upload(Local("b.htm", "second"), "b.htm");
    EXPECT_EQ(ReadFileBytes(Home() + "/a.htm"), "first");
    EXPECT_EQ(ReadFileBytes(Home() + "/b.htm"), "second");
    // PASV once; then PORT for every file.
    EXPECT_EQ(Sent(),
              (TStrings{"USER", "PASS", "TYPE", "SYST", "PASV", "PORT", "STOR", "PORT", "STOR"}));
    EXPECT_THAT(Status,
                ElementsAre("The server refused passive mode; the files go in active mode."));
    // A new session tries passive mode again.
    ftp->Disconnect();
    Log.clear();
    ftp->Connect();
    ftp->Upload(Local("c.htm", "third"), "c.htm");
    EXPECT_THAT(Sent(), Contains("PASV"));
}

TEST_F(FtpTransportTest, TheActiveExchangeIsUnchangedForProjectsThatAskForIt) {
    StartServer();
    auto ftp = Make(Settings("FTP", false));
    ftp->Connect();
    ftp->Upload(Local("a.htm", "active"), "a.htm");
    EXPECT_EQ(ReadFileBytes(Home() + "/a.htm"), "active");
    EXPECT_EQ(Sent(), (TStrings{"USER", "PASS", "TYPE", "SYST", "PORT", "STOR"}));
}

TEST_F(FtpTransportTest, FtpsWithACertificateThatVerifiesUploadsOverTls) {
    MakeCertificates();
    StartServer(Tls(Certificates->ServerCertificate(), Certificates->ServerKey()));
    for (bool passive : {true, false}) {
        SCOPED_TRACE(passive ? "passive" : "active");
        Log.clear();
        TTransportSettings s = Settings("FTPS", passive);
        s.CaFile = Certificates->CaFile();
        auto ftp = Make(s);
        ftp->Connect();
        ftp->ChangeFolder("www");
        const std::string data = PseudoRandomBytes(200000, passive ? 1 : 2);
        ftp->Upload(Local("a.bin", data), "a.bin");
        ftp->Upload(Local("empty.htm", ""), "empty.htm");
        ftp->Disconnect();
        EXPECT_EQ(ReadFileBytes(Home() + "/www/a.bin"), data);
        EXPECT_EQ(ReadFileBytes(Home() + "/www/empty.htm"), "");
        const TStrings sent = Sent();
        ASSERT_GE(sent.size(), 8u);
        EXPECT_EQ(TStrings(sent.begin(), sent.begin() + 8),
                  (TStrings{"AUTH", "USER", "PASS", "PBSZ", "PROT", "TYPE", "SYST", "CWD"}));
        EXPECT_THAT(Log, Contains(HasSubstr(
                             "certificate verified (SHA-256 " +
                             TTestCertificates::Fingerprint(Certificates->ServerCertificate()))));
    }
    // By name too: the certificate names localhost.
    Log.clear();
    TTransportSettings s = Settings("FTPS");
    s.Host = "localhost";
    s.CaFile = Certificates->CaFile();
    auto ftp = Make(s);
    ftp->Connect();
    EXPECT_THAT(Log, Contains(HasSubstr("certificate verified")));
}

TEST_F(FtpTransportTest, ACertificateThatDoesNotVerifyIsRefusedUnlessItsFingerprintIsTrusted) {
    MakeCertificates();
    StartServer(Tls(Certificates->SelfSignedCertificate(), Certificates->SelfSignedKey()));
    const std::string fingerprint =
        TTestCertificates::Fingerprint(Certificates->SelfSignedCertificate());
    ASSERT_EQ(fingerprint.size(), 95u);

    TTransportSettings s = Settings("FTPS");
    s.CaFile = Certificates->CaFile(); // the test CA did not sign this one
    {
        auto ftp = Make(s);
        TTransportError e = Failure([&] { ftp->Connect(); });
        EXPECT_EQ(e.Kind(), TTransportFailure::NotTrusted);
        EXPECT_EQ(e.Fingerprint(), fingerprint);
        EXPECT_THAT(e.Reason(), AllOf(HasSubstr("not trusted (self-signed certificate)"),
                                      HasSubstr(fingerprint)));
        EXPECT_FALSE(ftp->Connected());
        // Nothing was sent after the handshake: not the user name, not the password.
        EXPECT_EQ(Sent(), TStrings{"AUTH"});
    }
    // Another fingerprint trusted (its first byte changed, whatever it was): refused all the
    // same.
    s.Trusted = (fingerprint.compare(0, 3, "00:") == 0 ? "01:" : "00:") + fingerprint.substr(3);
    EXPECT_EQ(Failure([&] { Make(s)->Connect(); }).Kind(), TTransportFailure::NotTrusted);
    // Exactly this one, in any case: accepted.
    s.Trusted = fingerprint;
    for (char& c : s.Trusted)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    auto ftp = Make(s);
    ftp->Connect();
    ftp->Upload(Local("a.htm", "trusted"), "a.htm");
    EXPECT_EQ(ReadFileBytes(Home() + "/a.htm"), "trusted");
}

TEST_F(FtpTransportTest, ExpiredAndWrongNameCertificatesAreRefusedUntilTheirFingerprintIsTrusted) {
    MakeCertificates();
    ASSERT_EQ(Certificates->MakeUnverifiable(), "");
    struct TCase {
        const char* Name;
        std::string Certificate, Key, Host, Why;
    };
    const TCase cases[] = {
        {"expired", Certificates->ExpiredCertificate(), Certificates->ExpiredKey(), "127.0.0.1",
         "certificate has expired"},
        {"another name, reached by address", Certificates->WrongNameCertificate(),
         Certificates->WrongNameKey(), "127.0.0.1", "IP address mismatch"},
        {"another name, reached by name", Certificates->WrongNameCertificate(),
         Certificates->WrongNameKey(), "localhost", "hostname mismatch"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string fingerprint = TTestCertificates::Fingerprint(c.Certificate);
        ASSERT_EQ(fingerprint.size(), 95u);
        StartServer(Tls(c.Certificate, c.Key));
        TTransportSettings s = Settings("FTPS");
        s.Host = c.Host;
        s.CaFile = Certificates->CaFile(); // the CA signed it: only the date or name is wrong
        TTransportError e = Failure([&] { Make(s)->Connect(); });
        EXPECT_EQ(e.Kind(), TTransportFailure::NotTrusted) << e.what();
        EXPECT_EQ(e.Fingerprint(), fingerprint);
        EXPECT_EQ(e.Reason(), "The server's certificate is not trusted (" + c.Why +
                                  "). Its SHA-256 fingerprint is " + fingerprint + ".");
        // Trusted by its fingerprint (as the dialog's Trust stores it): the files go.
        s.Trusted = " " + fingerprint + "\n";
        auto ftp = Make(s);
        ftp->Connect();
        ftp->Upload(Local("a.htm", c.Name), "a.htm");
        EXPECT_EQ(ReadFileBytes(Home() + "/a.htm"), c.Name);
        EXPECT_EQ(ftp->Download("a.htm", 100), c.Name);
        ftp->Disconnect();
    }
}

TEST_F(FtpTransportTest, AServerThatRequiresTlsSaysSoToAPlainClient) {
    MakeCertificates();
    StartServer(Tls(Certificates->ServerCertificate(), Certificates->ServerKey()));
    auto ftp = Make(Settings("FTP"));
    TTransportError e = Failure([&] { ftp->Connect(); });
    EXPECT_EQ(e.Kind(), TTransportFailure::TlsRequired);
    EXPECT_THAT(e.Reason(), HasSubstr("The server requires TLS: choose FTPS (TLS)"));
}

TEST_F(FtpTransportTest, FailuresOfARealServerInPlainWords) {
    StartServer();
    TTransportSettings wrong = Settings();
    wrong.Password = "wrong";
    TTransportError login = Failure([&] { Make(wrong)->Connect(); });
    EXPECT_EQ(login.Kind(), TTransportFailure::LoginRefused);
    EXPECT_EQ(login.Reason(), "The server refused the user name or password.");
    EXPECT_THAT(login.what(), Not(HasSubstr("wrong")));

    auto ftp = Make(Settings());
    ftp->Connect();
    TTransportError folder = Failure([&] { ftp->ChangeFolder("no/such"); });
    EXPECT_EQ(folder.Kind(), TTransportFailure::FolderMissing);
    EXPECT_EQ(folder.Reason(),
              "The folder \"no/such\" does not exist on the server or cannot be entered.");
    EXPECT_TRUE(ftp->Connected());
}

TEST_F(FtpTransportTest, FailuresWithoutAServerInPlainWords) {
    TSilentServer silent;
    ASSERT_GT(silent.Port(), 0);
    const int dead = DeadPort();
    struct TCase {
        const char* Name;
        std::string Host;
        int Port;
        TTransportFailure Kind;
        std::string Reason;
    };
    // A label longer than 63 characters cannot be put into a query: the resolver fails at
    // once, without asking a name server off this machine.
    const std::string unresolvable = std::string(70, 'q') + ".invalid";
    const TCase cases[] = {
        {"unresolvable host", unresolvable, 21, TTransportFailure::HostNotFound,
         "The host name \"" + unresolvable + "\" does not resolve ("},
        {"nothing listens", "127.0.0.1", dead, TTransportFailure::NothingListens,
         "Nothing listens at 127.0.0.1:" + std::to_string(dead) + "."},
        {"no answer", "127.0.0.1", silent.Port(), TTransportFailure::NoAnswer,
         "No answer from 127.0.0.1:" + std::to_string(silent.Port()) + " within 1 second."},
    };
    for (const TCase& c : cases) {
        // SFTP says the same in the same words.
        for (const char* protocol : {"FTP", "FTPS", "SFTP"}) {
            SCOPED_TRACE(std::string(c.Name) + " " + protocol);
            TTransportSettings s = Settings(protocol);
            s.Host = c.Host;
            s.Port = c.Port;
            s.ReadTimeout = 600;
            TTransportError e = Failure([&] { Make(s)->Connect(); });
            EXPECT_EQ(e.Kind(), c.Kind);
            EXPECT_THAT(e.Reason(), HasSubstr(c.Reason));
        }
    }
}

TEST_F(FtpTransportTest, RefusedFilesAndAFullDiskInPlainWords) {
    struct TCase {
        const char* Name;
        TStrings Replies; // to STOR, or after the data with a leading "after "
        TTransportFailure Kind;
        std::string Reason;
    };
    const TCase cases[] = {
        {"name refused",
         {"553 Could not create file."},
         TTransportFailure::FileRefused,
         "The server refused the file \"a.htm\" (it replied \"553 Could not create file.\")."},
        {"no room before",
         {"452 Insufficient storage space."},
         TTransportFailure::DiskFull,
         "The server has no room for \"a.htm\""},
        {"no room after",
         {"after 552 Quota exceeded."},
         TTransportFailure::DiskFull,
         "The server has no room for \"a.htm\" (it replied \"552 Quota exceeded.\")."},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string reply = c.Replies.front();
        TFakeFtpServer server([reply](TFakeFtpSession& s) {
            s.Login();
            if (reply.rfind("after ", 0) == 0) {
                s.Store({reply.substr(6)});
            } else {
                s.Answer("200 PORT ok");
                s.Answer(reply);
            }
            s.WaitClosed();
        });
        Port = server.Port();
        auto ftp = Make(Settings("FTP", false));
        ftp->Connect();
        TTransportError e = Failure([&] { ftp->Upload(Local("a.htm", "x"), "a.htm"); });
        EXPECT_EQ(e.Kind(), c.Kind);
        EXPECT_THAT(e.Reason(), HasSubstr(c.Reason));
        ftp->Disconnect();
        server.Finish();
    }
}

TEST_F(FtpTransportTest, TheConnectionTestReportsEachStepInPlainWords) {
    StartServer();
    struct TCase {
        const char* Name;
        std::function<void(TTransportSettings&)> Change;
        std::string Folder;
        bool Works;
        TStrings Lines;
    };
    const std::string at = "Connect to 127.0.0.1:" + std::to_string(Port) + " (FTP, passive)";
    const TCase cases[] = {
        {"everything works",
         [](TTransportSettings&) {},
         "www",
         true,
         {at + ": works.", "Log in as site: works.", "Change to the folder \"www\": works."}},
        {"no folder",
         [](TTransportSettings&) {},
         "  ",
         true,
         {at + ": works.", "Log in as site: works.",
          "No folder set: the files go into the login folder."}},
        {"wrong password",
         [](TTransportSettings& s) { s.Password = "wrong"; },
         "www",
         false,
         {at + ": works.", "Log in as site: fails. The server refused the user name or password.",
          "Change to the folder \"www\": not tried."}},
        {"missing folder",
         [](TTransportSettings&) {},
         "nowhere",
         false,
         {at + ": works.", "Log in as site: works.",
          "Change to the folder \"nowhere\": fails. The folder \"nowhere\" does not exist on "
          "the server or cannot be entered."}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTransportSettings s = Settings();
        c.Change(s);
        TConnectionReport report = TConnectionTest(s, c.Folder).Run();
        EXPECT_EQ(report.Works, c.Works);
        EXPECT_EQ(report.Lines, c.Lines);
    }
    // A host name with control characters is shown without them (the report goes to a
    // terminal too); its label is too long for a query, so nothing asks a name server.
    TTransportSettings odd = Settings();
    odd.Host = std::string(70, 'q') + "\x1b[2J\a.invalid";
    TConnectionReport shown = TConnectionTest(odd, "").Run();
    ASSERT_FALSE(shown.Lines.empty());
    EXPECT_THAT(shown.Lines.front(),
                HasSubstr("Connect to " + std::string(70, 'q') +
                          "?[2J?.invalid:" + std::to_string(Port) + " (FTP, passive): fails."));
    for (const std::string& line : shown.Lines)
        EXPECT_EQ(line.find_first_of("\x1b\a"), std::string::npos) << line;
    // A dead server is told apart from a wrong password.
    TTransportSettings s = Settings();
    s.Port = DeadPort();
    TConnectionReport dead = TConnectionTest(s, "www").Run();
    EXPECT_FALSE(dead.Works);
    EXPECT_EQ(dead.Failure, TTransportFailure::NothingListens);
    EXPECT_THAT(dead.Lines, ElementsAre(HasSubstr(": fails. Nothing listens at 127.0.0.1:"),
                                        "Log in as site: not tried.",
                                        "Change to the folder \"www\": not tried."));
}

TEST_F(FtpTransportTest, OverIpv6PassiveModeIsEpsvAndItsFallBackIsEprt) {
    {
        int port = 0;
        const int probe = TFakeFtpSession::Listen(true, port);
        if (probe < 0)
            GTEST_SKIP() << "this machine has no IPv6 loopback (::1)";
        ::close(probe);
    }
    TFakeFtpServer server(
        [](TFakeFtpSession& s) {
            s.Login();
            int port = 0;
            const int listener = TFakeFtpSession::Listen(true, port);
            s.Answer("229 Entering Extended Passive Mode (|||" + std::to_string(port) + "|)");
            s.Answer("150 Ok to send data");
            s.Reply(s.ReceiveAll(s.AcceptData(listener)) == "over six" ? "226 Done"
                                                                       : "451 Wrong bytes");
            // The next transfer: passive mode refused, so active by EPRT.
            s.Answer("500 EPSV not understood");
            s.Answer("200 EPRT ok");
            s.Answer("150 Ok to send data");
            s.WaitClosed();
        },
        true);
    TTransportSettings s = Settings();
    s.Host = "::1";
    s.Port = server.Port();
    s.ReadTimeout = 1500; // the server never connects back for the second file
    auto ftp = Make(s);
    ftp->Connect();
    ftp->Upload(Local("a.htm", "over six"), "a.htm");
    EXPECT_EQ(Failure([&] { ftp->Upload(Local("b.htm", "x"), "b.htm"); }).Kind(),
              TTransportFailure::NoAnswer);
    ftp->Disconnect();
    server.Finish();
    const TStrings commands = server.Commands();
    ASSERT_GE(commands.size(), 9u);
    EXPECT_EQ(commands[4], "EPSV");
    EXPECT_EQ(commands[5], "STOR a.htm");
    EXPECT_EQ(commands[6], "EPSV");
    EXPECT_THAT(commands[7], ::testing::MatchesRegex("EPRT \\|2\\|::1\\|[0-9]+\\|"));
    EXPECT_EQ(commands[8], "STOR b.htm");
}

TEST_F(FtpTransportTest, DownloadDeleteRenameAndSizeInPassiveAndActiveModeWithAndWithoutTls) {
    MakeCertificates();
    StartServer(Tls(Certificates->ServerCertificate(), Certificates->ServerKey(), false));
    for (const char* protocol : {"FTP", "FTPS"}) {
        for (bool passive : {true, false}) {
            SCOPED_TRACE(std::string(protocol) + (passive ? " passive" : " active"));
            Log.clear();
            TTransportSettings s = Settings(protocol, passive);
            s.CaFile = Certificates->CaFile();
            auto ftp = Make(s);
            ftp->Connect();
            ftp->ChangeFolder("www");
            fileoperations::PlayCases(*ftp, Home() + "/www", 550);
            ftp->Disconnect();
            const TStrings sent = Sent();
            EXPECT_THAT(sent, Contains(passive ? "PASV" : "PORT"));
            EXPECT_THAT(sent, Not(Contains(passive ? "PORT" : "PASV")));
            EXPECT_THAT(sent, Contains("SIZE"));
            EXPECT_THAT(sent, Contains("RNFR"));
            EXPECT_THAT(sent, Contains("DELE"));
            if (std::string(protocol) == "FTPS") {
                EXPECT_THAT(Log, Contains("data connection: TLS session resumed"));
            }
        }
    }
}

TEST_F(FtpTransportTest, RepliesToTheFileOperationsCarryTheirCode) {
    enum TOperation { Download, Delete, Rename, Size };
    struct TCase {
        const char* Name;
        TOperation Operation;
        // After the login; "DATA text" sends text over the data connection, "HANGUP" closes
        // the control connection instead of replying.
        TStrings Replies;
        std::string Result;
        TTransportFailure Kind;
        int Code;
    };
    const TCase cases[] = {
        {"size", Size, {"213 1234"}, "1234", TTransportFailure::Other, 0},
        {"size not understood (500)",
         Size,
         {"500 Unknown command."},
         "-1",
         TTransportFailure::Other,
         0},
        {"size not implemented (502)",
         Size,
         {"502 SIZE not implemented."},
         "-1",
         TTransportFailure::Other,
         0},
        {"size of a missing file",
         Size,
         {"550 No such file."},
         "",
         TTransportFailure::FileMissing,
         550},
        {"size refused for a while",
         Size,
         {"421 Too many users."},
         "",
         TTransportFailure::Other,
         421},
        {"size without a number", Size, {"213 many"}, "", TTransportFailure::Other, 213},
        {"delete", Delete, {"250 Deleted."}, "", TTransportFailure::Other, 0},
        {"delete of a missing file",
         Delete,
         {"550 No such file."},
         "",
         TTransportFailure::FileMissing,
         550},
        {"delete of a busy file",
         Delete,
         {"450 File busy."},
         "",
         TTransportFailure::FileRefused,
         450},
        {"delete not allowed",
         Delete,
         {"553 Not allowed."},
         "",
         TTransportFailure::FileRefused,
         553},
        {"rename", Rename, {"350 Ready.", "250 Renamed."}, "", TTransportFailure::Other, 0},
        {"rename of a missing file",
         Rename,
         {"550 No such file."},
         "",
         TTransportFailure::FileMissing,
         550},
        {"rename onto a refused name",
         Rename,
         {"350 Ready.", "553 Not allowed."},
         "",
         TTransportFailure::FileRefused,
         553},
        {"rename with no room",
         Rename,
         {"350 Ready.", "452 No room."},
         "",
         TTransportFailure::DiskFull,
         452},
        {"download",
         Download,
         {"200 PORT ok", "150 Here it comes", "DATA abc", "226 Done"},
         "abc",
         TTransportFailure::Other,
         0},
        {"download of a missing file",
         Download,
         {"200 PORT ok", "550 No such file."},
         "",
         TTransportFailure::FileMissing,
         550},
        {"download that the server cannot start",
         Download,
         {"200 PORT ok", "425 No data."},
         "",
         TTransportFailure::Other,
         425},
        {"download aborted by the server",
         Download,
         {"200 PORT ok", "150 Here it comes", "DATA ab", "426 Connection closed."},
         "",
         TTransportFailure::Other,
         426},
        {"download failed at the server",
         Download,
         {"200 PORT ok", "150 Here it comes", "DATA ab", "551 Read error."},
         "",
         TTransportFailure::Other,
         551},
        {"the server hangs up", Delete, {"HANGUP"}, "", TTransportFailure::ConnectionLost, 0},
        {"the server hangs up during a download",
         Download,
         {"200 PORT ok", "150 Here it comes", "DATA ab", "HANGUP"},
         "",
         TTransportFailure::ConnectionLost,
         0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TFakeFtpServer server([&c](TFakeFtpSession& s) {
            s.Login();
            // Each reply answers a command; after the data, the final reply comes unasked.
            bool sent = false;
            for (const std::string& reply : c.Replies) {
                if (reply == "HANGUP") {
                    if (!sent)
                        s.Command();
                    s.HangUp();
                } else if (reply.rfind("DATA ", 0) == 0) {
                    s.SendData(s.ConnectBack(), reply.substr(5));
                    sent = true;
                } else if (sent) {
                    s.Reply(reply);
                } else {
                    s.Answer(reply);
                }
            }
            s.WaitClosed();
        });
        Port = server.Port();
        auto ftp = Make(Settings("FTP", false));
        ftp->Connect();
        std::string result;
        std::optional<TTransportError> failure;
        try {
            switch (c.Operation) {
            case Download:
                result = ftp->Download("a.htm", 100);
                break;
            case Delete:
                ftp->Delete("a.htm");
                break;
            case Rename:
                ftp->Rename("a.tmp", "a.htm");
                break;
            case Size:
                result = std::to_string(ftp->RemoteSize("a.htm"));
                break;
            }
        } catch (const TTransportError& e) {
            failure = e;
        }
        if (c.Result.empty() && c.Code != 0) {
            ASSERT_TRUE(failure.has_value());
            EXPECT_EQ(failure->Kind(), c.Kind) << failure->what();
            EXPECT_EQ(failure->ReplyCode(), c.Code) << failure->what();
        } else if (c.Replies.back() == "HANGUP") {
            ASSERT_TRUE(failure.has_value());
            EXPECT_EQ(failure->ReplyCode(), 0);
            EXPECT_EQ(failure->Kind(), TTransportFailure::ConnectionLost);
            EXPECT_THAT(failure->Reason(), HasSubstr("closed the connection"));
        } else {
            EXPECT_FALSE(failure.has_value()) << failure->what();
            EXPECT_EQ(result, c.Result);
        }
        ftp->Disconnect();
        server.Finish();
        const TStrings commands = server.Commands();
        ASSERT_GE(commands.size(), 5u);
        const std::string& first = commands[4];
        switch (c.Operation) {
        case Download:
            EXPECT_THAT(commands, Contains("RETR a.htm"));
            break;
        case Delete:
            EXPECT_EQ(first, "DELE a.htm");
            break;
        case Rename:
            EXPECT_EQ(first, "RNFR a.tmp");
            break;
        case Size:
            EXPECT_EQ(first, "SIZE a.htm");
            break;
        }
    }
}

TEST_F(FtpTransportTest, ASynchronisingRunGivesUpAManifestDribbledByteByByte) {
    // A byte every 50 ms, for longer than the test waits: each one would have restarted the
    // read time-out.
    TFakeFtpServer server([](TFakeFtpSession& s) {
        s.Login();
        s.Answer("200 PORT ok");
        s.Answer("150 Here it comes");
        const int data = s.ConnectBack();
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < end && ::send(data, "c", 1, MSG_NOSIGNAL) == 1)
            s.Pause(50);
        ::close(data);
        s.WaitClosed();
    });
    Port = server.Port();
    std::filesystem::create_directories(Dir / "site");
    WriteFileBytes(Dir / "site/index.htm", "home");
    TTransportSettings settings = Settings("FTP", false);
    settings.ReadTimeout = 400;
    TSyncRun run(settings, "", Dir / "site");
    std::vector<std::string> status;
    run.OnStatus = [&status](const std::string& text) { status.push_back(text); };
    const auto start = std::chrono::steady_clock::now();
    try {
        run.Prepare();
        ADD_FAILURE() << "the manifest was read";
    } catch (const TTransportError& e) {
        EXPECT_EQ(e.Kind(), TTransportFailure::NoAnswer) << e.what();
        EXPECT_THAT(e.Reason(),
                    HasSubstr("The file \".corvane-manifest\" came too slowly from "
                              "127.0.0.1:" +
                              std::to_string(Port) + ": less than 16 KiB within 1 second"));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_THAT(status, Contains("Read Manifest..."));
    server.Finish();
}

TEST_F(FtpTransportTest, CancelEndsADownloadThatStalls) {
    for (bool passive : {false, true}) {
        SCOPED_TRACE(passive ? "passive" : "active");
        TFakeFtpServer server([passive](TFakeFtpSession& s) {
            s.Login();
            int data = -1;
            if (passive) {
                int port = 0;
                const int listener = TFakeFtpSession::Listen(false, port);
                s.Answer("227 Entering Passive Mode (127,0,0,1," + std::to_string(port / 256) +
                         "," + std::to_string(port % 256) + ")");
                s.Answer("150 Here it comes");
                data = s.AcceptData(listener);
            } else {
                s.Answer("200 PORT ok");
                s.Answer("150 Here it comes");
                data = s.ConnectBack();
            }
            // A little, then nothing.
            s.SendData(data, "the start", false);
            s.WaitClosed();
            ::close(data);
        });
        Port = server.Port();
        TTransportSettings settings = Settings("FTP", passive);
        settings.ReadTimeout = 0; // only the cancel ends the wait
        auto ftp = Make(settings);
        ftp->Connect();
        std::chrono::steady_clock::time_point cancelledAt;
        std::thread canceller([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(400));
            cancelledAt = std::chrono::steady_clock::now();
            ftp->Cancel();
        });
        TTransportError e = Failure([&] { ftp->Download("a.htm", 1000); });
        const auto took = std::chrono::steady_clock::now() - cancelledAt;
        canceller.join();
        EXPECT_EQ(e.Kind(), TTransportFailure::Cancelled) << e.what();
        EXPECT_LT(took, std::chrono::milliseconds(1000));
        // Every later operation is cancelled too, until ResetCancel.
        for (const auto& operation : std::vector<std::function<void()>>{
                 [&] { ftp->Delete("a.htm"); }, [&] { ftp->Rename("a", "b"); },
                 [&] { ftp->RemoteSize("a.htm"); }, [&] { ftp->Download("a.htm", 1); }}) {
            EXPECT_EQ(Failure(operation).Kind(), TTransportFailure::Cancelled);
        }
        ftp->Disconnect();
        server.Finish();
    }
}

TEST(Fingerprint, ShownAsUpperCasePairsAndComparedWithoutCaseOrSurroundingBlanks) {
    const unsigned char bytes[] = {0x00, 0x0f, 0xa0, 0xff, 0x5c};
    EXPECT_EQ(FingerprintText(bytes, sizeof bytes), "00:0F:A0:FF:5C");
    EXPECT_EQ(FingerprintText(bytes, 1), "00");
    EXPECT_EQ(FingerprintText(bytes, 0), "");

    struct TCase {
        std::string A, B;
        bool Same;
    };
    const TCase cases[] = {
        {"00:0F:A0:FF:5C", "00:0F:A0:FF:5C", true},
        {"00:0F:A0:FF:5C", "00:0f:a0:ff:5c", true},
        {"00:0f:A0:fF:5c", "00:0F:a0:Ff:5C", true},
        {"  00:0F:A0:FF:5C\n", "00:0F:A0:FF:5C", true},
        {"\t00:0F:A0:FF:5C \r\n", " 00:0f:a0:ff:5c\t", true},
        {"00:0F:A0:FF:5C", "00:0F:A0:FF:5D", false},
        {"00:0F:A0:FF:5C", "00:0F:A0:FF", false},
        {"00:0F:A0:FF:5C", "000FA0FF5C", false},
        {"00:0F:A0:FF:5C", "00:0F: A0:FF:5C", false},
        {"", "", false},
        {"  ", "", false},
        {"00:0F:A0:FF:5C", "", false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE("\"" + c.A + "\" and \"" + c.B + "\"");
        EXPECT_EQ(SameFingerprint(c.A, c.B), c.Same);
        EXPECT_EQ(SameFingerprint(c.B, c.A), c.Same);
    }
    EXPECT_EQ(NormalFingerprint(" ab:cd:0e \n"), "AB:CD:0E");
    EXPECT_EQ(NormalFingerprint("AB:CD"), "AB:CD");
    EXPECT_EQ(NormalFingerprint(" \t\r\n"), "");
}

TEST_F(FtpTransportTest, ASizeIsAskedInBinaryTypeWhateverTheSessionsType) {
    TFakeFtpServer server([](TFakeFtpSession& s) {
        s.Login();
        s.Answer("200 Type set to I");
        s.Answer("213 77");
        s.Answer("200 Type set to A");
        s.WaitClosed();
    });
    Port = server.Port();
    TFtpTransport ftp(Settings("FTP", false));
    ftp.Client().TransferType = ftASCII;
    ftp.Connect();
    EXPECT_EQ(ftp.RemoteSize("a.htm"), 77);
    ftp.Disconnect();
    server.Finish();
    const TStrings commands = server.Commands();
    ASSERT_EQ(commands.size(), 7u);
    EXPECT_EQ(commands[2], "TYPE A");
    EXPECT_EQ(TStrings(commands.begin() + 4, commands.end()),
              (TStrings{"TYPE I", "SIZE a.htm", "TYPE A"}));
}

// ---- A file put in place through a temporary name, the commands after its transfer sent
// together

namespace {

// Listens for a passive data connection and names it in a 227 reply; the listener.
int OfferPassive(TFakeFtpSession& s) {
    int port = 0;
    const int listener = TFakeFtpSession::Listen(false, port);
    if (listener < 0)
        throw TScriptEnd("cannot listen for the data connection");
    s.Reply("227 Entering Passive Mode (127,0,0,1," + std::to_string(port / 256) + "," +
            std::to_string(port % 256) + ")");
    return listener;
}

// STOR: 150, the data over the listener's connection, 226; the bytes received.
std::string StoreOver(TFakeFtpSession& s, int listener) {
    s.Command();
    s.Reply("150 Go ahead");
    std::string data = s.ReceiveAll(s.AcceptData(listener));
    s.Reply("226 Transfer complete");
    return data;
}

// What a scripted server answers after the transfer of one file: SIZE and RNFR (both read
// before either is answered, so a client that waits for the first reply fails), then each
// later command by its verb, in turn ("PASV" offers a data connection, "HANGUP" closes the
// control connection instead of answering, a verb without a reply left gets 502).
struct TReplacingCase {
    const char* What;
    std::string SizeReply;
    std::string FromReply;
    std::map<std::string, std::vector<std::string>> Later;
    // Whether beforeRename throws.
    bool ChangedLocally;
    // The commands after RNFR.
    TStrings Tail;
    // The failure, or none.
    std::optional<TTransportFailure> Kind;
    int Code;
    bool ConnectedAfter;
    bool PipeliningAfter;
};

} // namespace

TEST_F(FtpTransportTest, UploadReplacingSendsSizeWithRnfrAndRntoWithTheNextPassiveCommand) {
    std::vector<bool> together;
    TFakeFtpServer server([&](TFakeFtpSession& s) {
        s.Login();
        s.Command();
        int listener = OfferPassive(s);
        for (int file = 0; file < 2; ++file) {
            const std::string data = StoreOver(s, listener);
            s.Command();
            together.push_back(s.LineWithin(500));
            s.Command();
            s.Reply("213 " + std::to_string(data.size()));
            s.Reply("350 Ready for RNTO");
            s.Command();
            together.push_back(s.LineWithin(500));
            s.Command();
            s.Reply("250 Renamed");
            listener = OfferPassive(s);
        }
        s.WaitClosed();
        ::close(listener);
    });
    Port = server.Port();
    auto ftp = Make(Settings());
    ftp->Connect();
    EXPECT_TRUE(ftp->Pipelining());
    int checks = 0;
    std::vector<std::int64_t> progress;
    ftp->UploadReplacing(
        Local("a.htm", "<html>a</html>"), "a.htm", ".part-a.htm",
        [&](std::int64_t sent) { progress.push_back(sent); }, [&] { ++checks; });
    ftp->UploadReplacing(Local("b.htm", PseudoRandomBytes(200000, 3)), "b.htm", ".part-b.htm", {},
                         [&] { ++checks; });
    EXPECT_TRUE(ftp->Connected());
    ftp->Disconnect();
    server.Finish();
    EXPECT_EQ(server.ScriptEnd(), "");
    EXPECT_EQ(checks, 2);
    EXPECT_EQ(progress, (std::vector<std::int64_t>{14}));
    EXPECT_EQ(together, (std::vector<bool>{true, true, true, true}));
    // The second file's transfer takes the data connection that came with the first's RNTO.
    EXPECT_EQ(
        server.Commands(),
        (TStrings{"USER site", "PASS pa55 word", "TYPE I", "SYST", "PASV", "STOR .part-a.htm",
                  "SIZE .part-a.htm", "RNFR .part-a.htm", "RNTO a.htm", "PASV", "STOR .part-b.htm",
                  "SIZE .part-b.htm", "RNFR .part-b.htm", "RNTO b.htm", "PASV"}));
    EXPECT_EQ(server.Files().size(), 0u);
}

TEST_F(FtpTransportTest, UploadReplacingReadsEveryReplyBeforeItFailsAndEndsWhatItBegan) {
    const std::vector<TReplacingCase> cases = {
        {"the server holds less than was sent",
         "213 3",
         "350 Ready",
         {{"RNTO", {"250 Renamed"}}, {"DELE", {"250 Deleted"}}},
         false,
         {"RNTO .part-a.htm", "DELE .part-a.htm"},
         TTransportFailure::ConnectionLost,
         0,
         true,
         true},
        {"a short file whose rename onto itself is refused",
         "213 3",
         "350 Ready",
         {{"RNTO", {"553 Not allowed"}}, {"DELE", {"250 Deleted"}}},
         false,
         {"RNTO .part-a.htm", "DELE .part-a.htm"},
         TTransportFailure::ConnectionLost,
         0,
         true,
         true},
        {"the local file changed while it went",
         "213 14",
         "350 Ready",
         {{"RNTO", {"250 Renamed"}}, {"DELE", {"250 Deleted"}}},
         true,
         {"RNTO .part-a.htm", "DELE .part-a.htm"},
         std::nullopt,
         -1,
         true,
         true},
        {"the temporary file is gone",
         "550 No such file",
         "550 No such file",
         {{"DELE", {"550 No such file"}}},
         false,
         {"DELE .part-a.htm"},
         TTransportFailure::FileMissing,
         550,
         true,
         true},
        {"RNFR refused after a good size",
         "213 14",
         "553 Not allowed",
         {{"DELE", {"250 Deleted"}}},
         false,
         {"DELE .part-a.htm"},
         TTransportFailure::FileRefused,
         553,
         true,
         true},
        {"a server that does not rename over an existing file: the old one moved aside",
         "213 14",
         "350 Ready",
         {{"RNTO", {"553 File exists", "250 Renamed", "250 Renamed"}},
          {"PASV", {"PASV"}},
          {"SIZE", {"213 5"}},
          {"DELE", {"250 Deleted"}},
          {"RNFR", {"350 Ready", "350 Ready"}}},
         false,
         {"RNTO a.htm", "PASV", "SIZE a.htm", "RNFR a.htm", "RNTO .corvane-old-a.htm",
          "RNFR .part-a.htm", "RNTO a.htm", "DELE .corvane-old-a.htm"},
         std::nullopt,
         0,
         true,
         true},
        {"a rename refused although the server has no such file",
         "213 14",
         "350 Ready",
         {{"RNTO", {"553 Not allowed"}},
          {"PASV", {"PASV"}},
          {"SIZE", {"550 No such file"}},
          {"DELE", {"250 Deleted"}}},
         false,
         {"RNTO a.htm", "PASV", "SIZE a.htm", "DELE .part-a.htm"},
         TTransportFailure::FileRefused,
         553,
         true,
         true},
        {"a lasting refusal that does not say the file exists",
         "213 14",
         "350 Ready",
         {{"RNTO", {"502 Not implemented"}}, {"PASV", {"PASV"}}, {"DELE", {"250 Deleted"}}},
         false,
         {"RNTO a.htm", "PASV", "DELE .part-a.htm"},
         TTransportFailure::Other,
         502,
         true,
         true},
        {"a passing refusal of the rename",
         "213 14",
         "350 Ready",
         {{"RNTO", {"450 Busy"}}, {"PASV", {"PASV"}}},
         false,
         {"RNTO a.htm", "PASV"},
         TTransportFailure::FileRefused,
         450,
         true,
         true},
        {"a server that drops the command sent with another",
         "213 14",
         "",
         {},
         false,
         {},
         TTransportFailure::NoAnswer,
         0,
         false,
         false},
        {"the connection lost after the first reply",
         "213 14",
         "HANGUP",
         {},
         false,
         {},
         TTransportFailure::ConnectionLost,
         0,
         false,
         false},
        {"the connection lost after the rename",
         "213 14",
         "350 Ready",
         {{"RNTO", {"250 Renamed"}}, {"PASV", {"HANGUP"}}},
         false,
         {"RNTO a.htm", "PASV"},
         std::nullopt,
         0,
         false,
         false},
    };
    for (const TReplacingCase& c : cases) {
        SCOPED_TRACE(c.What);
        TFakeFtpServer server([&c](TFakeFtpSession& s) {
            s.Login();
            s.Command();
            int listener = OfferPassive(s);
            StoreOver(s, listener);
            s.Command();
            s.Command();
            s.Reply(c.SizeReply);
            if (c.FromReply == "HANGUP") {
                s.HangUp();
                s.WaitClosed();
                return;
            }
            if (!c.FromReply.empty())
                s.Reply(c.FromReply);
            auto later = c.Later;
            for (;;) {
                const std::string command = s.Command();
                auto& replies = later[command.substr(0, command.find(' '))];
                const std::string reply = replies.empty() ? "502 No" : replies.front();
                if (!replies.empty())
                    replies.erase(replies.begin());
                if (reply == "HANGUP") {
                    s.HangUp();
                    s.WaitClosed();
                    return;
                }
                if (reply == "PASV")
                    listener = OfferPassive(s);
                else
                    s.Reply(reply);
            }
        });
        Port = server.Port();
        TTransportSettings settings = Settings();
        settings.ReadTimeout = 1000;
        auto ftp = Make(settings);
        ftp->Connect();
        const auto started = std::chrono::steady_clock::now();
        std::string failure;
        std::optional<TTransportFailure> kind;
        int code = -1;
        try {
            ftp->UploadReplacing(Local("a.htm", "<html>a</html>"), "a.htm", ".part-a.htm", {}, [&] {
                if (c.ChangedLocally)
                    throw TError("changed while it went");
            });
        } catch (const TTransportError& e) {
            failure = e.what();
            kind = e.Kind();
            code = e.ReplyCode();
        } catch (const TError& e) {
            failure = e.what();
        }
        // Never longer than one reply's time-out.
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(2500));
        EXPECT_EQ(kind, c.Kind) << failure;
        if (c.Kind) {
            EXPECT_EQ(code, c.Code) << failure;
        } else if (c.ChangedLocally) {
            EXPECT_EQ(failure, "changed while it went");
        } else {
            EXPECT_EQ(failure, "");
        }
        if (c.Kind == TTransportFailure::ConnectionLost && c.ConnectedAfter) {
            EXPECT_THAT(failure, HasSubstr("holds 3 of the 14 bytes"));
        }
        EXPECT_EQ(ftp->Connected(), c.ConnectedAfter);
        EXPECT_EQ(ftp->Pipelining(), c.PipeliningAfter);
        ftp->Disconnect();
        server.Finish();
        TStrings commands = server.Commands();
        ASSERT_GE(commands.size(), 8u);
        EXPECT_EQ(TStrings(commands.begin() + 4, commands.begin() + 8),
                  (TStrings{"PASV", "STOR .part-a.htm", "SIZE .part-a.htm", "RNFR .part-a.htm"}));
        EXPECT_EQ(TStrings(commands.begin() + 8, commands.end()), c.Tail);
    }
}

TEST_F(FtpTransportTest, WithoutPipeliningUploadReplacingWaitsForEachReply) {
    std::vector<bool> early;
    TFakeFtpServer server([&](TFakeFtpSession& s) {
        s.Login();
        s.Command();
        const int listener = OfferPassive(s);
        const std::string data = StoreOver(s, listener);
        for (const std::string& reply : {"213 " + std::to_string(data.size()),
                                         std::string("350 Ready"), std::string("250 Renamed")}) {
            s.Command();
            early.push_back(s.LineWithin(300));
            s.Reply(reply);
        }
        s.WaitClosed();
    });
    Port = server.Port();
    auto ftp = Make(Settings());
    ftp->SetPipelining(false);
    ftp->Connect();
    ftp->UploadReplacing(Local("a.htm", "<html>a</html>"), "a.htm", ".part-a.htm");
    ftp->Disconnect();
    server.Finish();
    EXPECT_EQ(early, (std::vector<bool>{false, false, false}));
    EXPECT_EQ(server.Commands(),
              (TStrings{"USER site", "PASS pa55 word", "TYPE I", "SYST", "PASV", "STOR .part-a.htm",
                        "SIZE .part-a.htm", "RNFR .part-a.htm", "RNTO a.htm"}));
}

TEST_F(FtpTransportTest, UploadReplacingAgainstARealServerPlainAndOverTls) {
    MakeCertificates();
    struct TCase {
        const char* What;
        bool Tls;
        bool Passive;
        bool RenameKeeps;
    };
    const TCase cases[] = {
        {"plain, passive", false, true, false},      {"plain, active", false, false, false},
        {"TLS, passive", true, true, false},         {"TLS, active", true, false, false},
        {"rename kept, passive", false, true, true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        TPyFtpdOptions options;
        if (c.Tls)
            options = Tls(Certificates->ServerCertificate(), Certificates->ServerKey());
        options.RenameKeeps = c.RenameKeeps;
        options.CutOnce = "cut";
        StartServer(options);
        std::filesystem::remove_all(Home() + "/www");
        std::filesystem::create_directories(Home() + "/www");
        WriteFileBytes(Home() + "/www/a.htm", "old");
        TTransportSettings settings = Settings(c.Tls ? "FTPS" : "FTP", c.Passive);
        settings.CaFile = c.Tls ? Certificates->CaFile() : std::string();
        Log.clear();
        auto ftp = Make(settings);
        ftp->Connect();
        ftp->ChangeFolder("www");
        const std::string big = PseudoRandomBytes(300000, 9);
        ftp->UploadReplacing(Local("a.htm", "<html>new</html>"), "a.htm", ".part-a.htm");
        ftp->UploadReplacing(Local("b.bin", big), "b.bin", ".part-b.bin");
        // The server cuts this one short.
        TTransportError e = Failure([&] {
            ftp->UploadReplacing(Local("cut.htm", "<html>cut</html>"), "cut.htm", ".part-cut.htm");
        });
        EXPECT_EQ(e.Kind(), TTransportFailure::ConnectionLost) << e.what();
        EXPECT_EQ(e.Reason(), "The file did not arrive whole.");
        // A transfer after them (here the prepared data connection's) goes as any other.
        EXPECT_EQ(ftp->Download("a.htm", 1000), "<html>new</html>");
        ftp->UploadReplacing(Local("cut.htm", "<html>cut</html>"), "cut.htm", ".part-cut.htm");
        EXPECT_TRUE(ftp->Pipelining());
        ftp->Disconnect();
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(Home() + "/www"))
            names.insert(entry.path().filename().string());
        EXPECT_EQ(names, (std::set<std::string>{"a.htm", "b.bin", "cut.htm"}));
        EXPECT_EQ(ReadFileBytes(Home() + "/www/a.htm"), "<html>new</html>");
        EXPECT_EQ(ReadFileBytes(Home() + "/www/b.bin"), big);
        EXPECT_EQ(ReadFileBytes(Home() + "/www/cut.htm"), "<html>cut</html>");
        // SIZE and RNFR went before the size came back.
        const auto size = std::find(Log.begin(), Log.end(), "> SIZE .part-a.htm");
        ASSERT_NE(size, Log.end());
        ASSERT_LT(size + 2, Log.end());
        EXPECT_EQ(*(size + 1), "> RNFR .part-a.htm");
        EXPECT_THAT(*(size + 2), HasSubstr("< 213"));
        // A server that does not rename over a file has the old one moved aside, never
        // deleted before the new one is in place.
        EXPECT_THAT(Log, Not(Contains("> DELE a.htm")));
        if (c.RenameKeeps) {
            EXPECT_THAT(Log, Contains("> RNTO .corvane-old-a.htm"));
            EXPECT_THAT(Log, Contains("> DELE .corvane-old-a.htm"));
        } else {
            EXPECT_THAT(Log, Not(Contains("> RNTO .corvane-old-a.htm")));
        }
        EXPECT_THAT(Log, Contains("> RNTO .part-cut.htm"));
        EXPECT_THAT(Log, Contains("> DELE .part-cut.htm"));
        Server.reset();
    }
}

TEST_F(FtpTransportTest, ARefusedRenameNeverCostsThePageOnTheServer) {
    using TRenames = TFakeFtpSession::TFolder::TRenames;
    for (const TRenames renames : {TRenames::Never, TRenames::ToFreeName})
        for (const bool pipelining : {true, false}) {
            SCOPED_TRACE(std::string(renames == TRenames::Never ? "renames refused"
                                                                : "no rename over a file") +
                         (pipelining ? ", commands sent together" : ", one command at a time"));
            TFakeFtpSession::TFolder folder;
            folder.Files = replacecases::Pages("old");
            folder.Renames = renames;
            TFakeFtpServer server([&](TFakeFtpSession& s) {
                s.Login();
                s.ServeFolder(folder);
            });
            Port = server.Port();
            auto ftp = Make(Settings("FTP", false));
            ftp->SetPipelining(pipelining);
            ftp->Connect();
            std::filesystem::remove_all(Dir / "pages");
            std::filesystem::create_directories(Dir / "pages");
            replacecases::PlayReplacing(
                *ftp, [&folder] { return folder.Snapshot(); }, Dir / "pages",
                renames == TRenames::Never, TFakeFtpSession::TFolder::RenameWords);
            EXPECT_EQ(ftp->Pipelining(), pipelining);
            ftp->Disconnect();
            server.Finish();
        }
}

namespace {

// The names the list of files under way holds, or "(none)" when there is none.
std::set<std::string> PendingNames(const std::map<std::string, std::string>& files) {
    const auto found = files.find(TManifest::PendingFileName);
    return found == files.end() ? std::set<std::string>{"(none)"}
                                : TManifest::ParsePending(found->second);
}

} // namespace

TEST_F(FtpTransportTest, ASynchronisingRunCountsADeleteOnlyWhenTheServerShowsTheFileGone) {
    // The site lost old.htm. Neither DELE's 250 nor its 550 is proof: the file's size, or
    // where the server tells none the listing of the folder (NLST, else MLSD), shows whether
    // it is gone; where neither can be had, the run says so and the name stays for the next.
    // The real servers' deletes are checked among their file operations (FileOperationCases.h).
    const std::string page = "<html>\r\nIndex\r\n</html>\r\n";
    const std::string old = "<html>\r\nOld\r\n</html>\r\n";
    enum class TOutcome { Deleted, Failed, Unchecked };
    struct TCase {
        const char* What;
        std::function<void(TFakeFtpSession::TFolder&)> Server;
        TOutcome Outcome;
        // What the client asked to see whether old.htm is gone.
        TStrings Checks;
    };
    const TCase cases[] = {
        {"DELE answered 250, the file stays and SIZE still tells it",
         [](TFakeFtpSession::TFolder& f) { f.Kept = {"old.htm"}; },
         TOutcome::Failed,
         {"SIZE old.htm"}},
        {"no SIZE, DELE answered 550, NLST still lists the file",
         [](TFakeFtpSession::TFolder& f) {
             f.Size = false;
             f.Kept = {"old.htm"};
             f.KeptReply = "550 Permission denied";
         },
         TOutcome::Failed,
         {"SIZE old.htm", "NLST"}},
        {"no SIZE, NLST refused, MLSD lists the file gone",
         [](TFakeFtpSession::TFolder& f) {
             f.Size = false;
             f.Nlst = false;
             f.Mlsd = true;
         },
         TOutcome::Deleted,
         {"SIZE old.htm", "NLST", "MLSD"}},
        {"no SIZE, NLST refused, MLSD lists the file kept with a blank in a fact",
         [](TFakeFtpSession::TFolder& f) {
             f.Size = false;
             f.Nlst = false;
             f.Mlsd = true;
             f.Kept = {"old.htm"};
             f.MoreFacts = "UNIX.owner=web user;";
         },
         TOutcome::Failed,
         {"SIZE old.htm", "NLST", "MLSD"}},
        {"no SIZE and no listing",
         [](TFakeFtpSession::TFolder& f) {
             f.Size = false;
             f.Nlst = false;
         },
         TOutcome::Unchecked,
         {"SIZE old.htm", "NLST", "MLSD"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        TManifest manifest;
        manifest.Files["index.htm"] = {static_cast<std::int64_t>(page.size()), Sha256OfBytes(page)};
        manifest.Files["old.htm"] = {static_cast<std::int64_t>(old.size()), Sha256OfBytes(old)};
        TFakeFtpSession::TFolder folder;
        folder.Files = {
            {"index.htm", page}, {"old.htm", old}, {TManifest::FileName, manifest.Text()}};
        c.Server(folder);
        TFakeFtpServer server([&](TFakeFtpSession& s) {
            s.Login();
            s.ServeFolder(folder);
        });
        Port = server.Port();
        const std::string site = Dir / ("site" + std::to_string(&c - cases));
        std::filesystem::create_directories(site);
        WriteFileBytes(site + "/index.htm", page);
        TSyncRun run(Settings("FTP", false), "www", site);
        run.Jobs = 1;
        run.Prepare();
        const TSyncTotals totals = run.Run();
        server.Finish();
        EXPECT_EQ(folder.Files.count("old.htm"), c.Outcome == TOutcome::Failed ? 1u : 0u);
        EXPECT_EQ(totals.Deleted, c.Outcome == TOutcome::Deleted ? 1 : 0);
        EXPECT_EQ(totals.Failures, c.Outcome == TOutcome::Failed ? 1 : 0);
        EXPECT_EQ(totals.DeletesUnchecked, c.Outcome == TOutcome::Unchecked ? 1 : 0);
        ASSERT_EQ(run.Status.size(), 2u);
        const TSyncItemStatus& status = run.Status[1];
        const TManifest after = TManifest::Parse(folder.Files[TManifest::FileName]);
        switch (c.Outcome) {
        case TOutcome::Deleted:
            EXPECT_EQ(status.State, TSyncState::Done);
            EXPECT_EQ(after.Files.count("old.htm"), 0u);
            EXPECT_EQ(folder.Files.count(TManifest::PendingFileName), 0u);
            break;
        case TOutcome::Failed:
            // The old manifest stays, and the list of files under way names the file.
            EXPECT_EQ(status.State, TSyncState::Failed);
            EXPECT_THAT(status.Error, HasSubstr("still holds old.htm"));
            EXPECT_EQ(after, manifest);
            EXPECT_EQ(PendingNames(folder.Files), std::set<std::string>{"old.htm"});
            break;
        case TOutcome::Unchecked:
            // The run succeeds; the name stays, its content unknown, so the next run tries
            // again.
            EXPECT_TRUE(totals.Succeeded());
            EXPECT_EQ(status.State, TSyncState::Unchecked);
            EXPECT_THAT(status.Error, HasSubstr("could not be checked"));
            EXPECT_EQ(after.Files.count("old.htm"), 0u);
            EXPECT_EQ(PendingNames(folder.Files), std::set<std::string>{"old.htm"});
            break;
        }
        // What the client sent after DELE old.htm, up to the next file's command.
        const TStrings commands = server.Commands();
        const auto dele = std::find(commands.begin(), commands.end(), "DELE old.htm");
        ASSERT_NE(dele, commands.end());
        TStrings checks;
        for (auto it = dele + 1; it != commands.end() && it->find(".corvane") == std::string::npos;
             ++it)
            if (it->rfind("PORT", 0) != 0)
                checks.push_back(*it);
        EXPECT_EQ(checks, c.Checks);
    }
}

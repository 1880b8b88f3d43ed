// FTPS against vsftpd, a server that requires each data connection to resume the control
// connection's TLS session (require_ssl_reuse=YES): started as root from a configuration of
// the test on a free port of 127.0.0.1, ending by itself after two minutes. It logs in root
// with the test's password, which only this test's PAM service (pam_userdb with a database
// of the test) accepts.

#include "publish/FtpTransport.h"
#include "publish/PublishRun.h"

#include "TestSupport.h"
#include "publish/ChildProcess.h"
#include "publish/FileOperationCases.h"
#include "publish/RequireServers.h"
#include "publish/SampleSite.h"
#include "publish/SyncServerCases.h"
#include "publish/TestCertificates.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

using ::testing::Contains;
using ::testing::HasSubstr;

namespace {

const char* const Vsftpd = "/usr/sbin/vsftpd";
const char* const PamFolder = "/etc/pam.d";
const char* const PamPrefix = "corvane-test-";

// A free port of 127.0.0.1 (taken by the system, then let go).
int FreePort() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    if (fd >= 0)
        ::close(fd);
    return port;
}

// True once something accepts connections on 127.0.0.1:port, within waitMs.
bool Listening(int port, int waitMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (std::chrono::steady_clock::now() < end) {
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        const bool up =
            fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        if (fd >= 0)
            ::close(fd);
        if (up)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

// Removes the PAM services that earlier runs of the test left behind (their process gone).
void RemoveStalePamServices() {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(PamFolder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(PamPrefix, 0) != 0)
            continue;
        const pid_t pid = static_cast<pid_t>(std::atol(name.c_str() + std::strlen(PamPrefix)));
        if (pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH)
            std::filesystem::remove(entry.path(), error);
    }
}

class VsftpdTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (::access(Vsftpd, X_OK) != 0)
            SKIP_WITHOUT_SERVER("vsftpd is not installed");
        if (::geteuid() != 0)
            SKIP_WITHOUT_SERVER("vsftpd is started as root (as in CI)");
        std::filesystem::create_directories(Dir / "certs");
        Certificates = std::make_unique<TTestCertificates>(Dir / "certs");
        if (!Certificates->Error().empty())
            SKIP_WITHOUT_SERVER("the openssl program cannot make the test certificates");

        // The empty folder is vsftpd's secure chroot, root's only.
        ::chmod(Dir.Path().c_str(), 0755);
        std::filesystem::create_directories(Home() + "/www");
        std::filesystem::create_directories(Dir / "empty");
        ::chmod(Home().c_str(), 0777);
        ::chmod((Home() + "/www").c_str(), 0777);
        ::chmod((Dir / "empty").c_str(), 0755);

        // The test's password, in a Berkeley DB that the PAM service of this test only reads.
        const std::string users = Dir / "users";
        TProcessResult made =
            RunProcess({"/usr/bin/python3", "-c",
                        "import dbm.ndbm, sys\nd = dbm.ndbm.open(sys.argv[1], 'c', 0o600)\n"
                        "d[b'root'] = b'pa55 word'\nd.close()\n",
                        users},
                       "", 20000);
        if (made.ExitCode != 0)
            SKIP_WITHOUT_SERVER("python3 cannot write a Berkeley DB for pam_userdb: " + made.Err);
        RemoveStalePamServices();
        Service = std::string(PamPrefix) + std::to_string(::getpid());
        WriteFileBytes(std::string(PamFolder) + "/" + Service,
                       "auth required pam_userdb.so db=" + users +
                           "\naccount required pam_permit.so\nsession required pam_permit.so\n");

        Port = FreePort();
        ASSERT_GT(Port, 0);
        const std::string config = Dir / "vsftpd.conf";
        WriteFileBytes(config, "listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\n"
                               "listen_port=" +
                                   std::to_string(Port) +
                                   "\nbackground=NO\n"
                                   "anonymous_enable=NO\nlocal_enable=YES\nwrite_enable=YES\n"
                                   "local_root=" +
                                   Home() +
                                   "\nchroot_local_user=NO\n"
                                   "pam_service_name=" +
                                   Service + "\nsecure_chroot_dir=" + (Dir / "empty") +
                                   "\nseccomp_sandbox=NO\nisolate=NO\nisolate_network=NO\n"
                                   "ssl_enable=YES\nrsa_cert_file=" +
                                   Certificates->ServerCertificate() +
                                   "\nrsa_private_key_file=" + Certificates->ServerKey() +
                                   "\nforce_local_logins_ssl=YES\nforce_local_data_ssl=YES\n"
                                   "require_ssl_reuse=YES\nssl_ciphers=HIGH\n"
                                   "pasv_enable=YES\nport_enable=YES\n"
                                   "connect_from_port_20=NO\nxferlog_enable=NO\n"
                                   "local_umask=022\nfile_open_mode=0666\n");
        ::chmod(config.c_str(), 0600);
        // Ends by itself after two minutes, whatever happens to the test.
        Server = std::make_unique<TServerProcess>(
            std::vector<std::string>{"timeout", "120", Vsftpd, config}, 200);
        ASSERT_TRUE(Listening(Port, 10000)) << "vsftpd did not start";
    }
    void TearDown() override {
        Server.reset();
        if (!Service.empty())
            std::filesystem::remove(std::string(PamFolder) + "/" + Service);
    }

    std::string Home() { return Dir / "home"; }
    TTransportSettings Settings(TTransportProtocol protocol, bool passive) {
        TTransportSettings s;
        s.Protocol = protocol;
        s.Host = "127.0.0.1";
        s.Port = Port;
        s.User = "root";
        s.Password = "pa55 word";
        s.Passive = passive;
        s.ReadTimeout = 10000;
        s.CaFile = Certificates->CaFile();
        return s;
    }
    std::string Local(const std::string& name, const std::string& data) {
        std::filesystem::create_directories(Dir / "local");
        WriteFileBytes(Dir / ("local/" + name), data);
        return Dir / ("local/" + name);
    }

    TTempFolder Dir;
    std::unique_ptr<TTestCertificates> Certificates;
    std::unique_ptr<TServerProcess> Server;
    std::string Service;
    int Port = 0;
};

template <typename F> TTransportError TransportFailure(F f) {
    try {
        f();
    } catch (const TTransportError& e) {
        return e;
    }
    ADD_FAILURE() << "no TTransportError was raised";
    return TTransportError("", TTransportFailure::Other, "");
}

} // namespace

TEST_F(VsftpdTest, EveryDataConnectionResumesTheControlConnectionsTlsSession) {
    for (bool passive : {true, false}) {
        SCOPED_TRACE(passive ? "passive" : "active");
        TFtpTransport ftp(Settings(TTransportProtocol::FTPS, passive));
        std::vector<std::string> log;
        ftp.OnLog = [&](const std::string& line) { log.push_back(line); };
        ftp.Connect();
        ftp.ChangeFolder("www");
        std::string big(250000, '\0');
        for (std::size_t i = 0; i < big.size(); ++i)
            big[i] = static_cast<char>((i * 7919 + (passive ? 1 : 2)) & 0xff);
        for (const auto& [name, data] : std::vector<std::pair<std::string, std::string>>{
                 {"index.htm", "<html>home</html>"}, {"picture.jpg", big}, {"empty.htm", ""}}) {
            ftp.Upload(Local(name, data), name);
            EXPECT_TRUE(ftp.Client().LastDataResumed()) << name;
            EXPECT_EQ(ReadFileBytes(Home() + "/www/" + name), data) << name;
        }
        ftp.Disconnect();
        EXPECT_THAT(log, Contains("data connection: TLS session resumed"));
        EXPECT_THAT(log, Contains(HasSubstr("certificate verified")));
    }
}

TEST_F(VsftpdTest, ItRefusesADataConnectionThatDoesNotResumeTheSession) {
    // The server is as strict as it is meant to be: Python's FTPS client, which does not
    // resume the session on its data connections, gets no file through.
    TProcessResult r = RunProcess({"/usr/bin/python3", "-c",
                                   "import ftplib, io, ssl, sys\n"
                                   "c = ssl.create_default_context(cafile=sys.argv[2])\n"
                                   "f = ftplib.FTP_TLS(context=c, timeout=10)\n"
                                   "f.connect('127.0.0.1', int(sys.argv[1]))\n"
                                   "f.login('root', 'pa55 word')\n"
                                   "f.prot_p()\n"
                                   "try:\n"
                                   "    f.storbinary('STOR www/python.htm', io.BytesIO(b'x'))\n"
                                   "except ftplib.error_perm as e:\n"
                                   "    print(e)\n",
                                   std::to_string(Port), Certificates->CaFile()},
                                  "", 30000);
    EXPECT_THAT(r.Out, HasSubstr("522 SSL connection failed: session reuse required")) << r.Err;
}

TEST_F(VsftpdTest, ItsRefusalsInPlainWords) {
    TTransportSettings plain = Settings(TTransportProtocol::FTP, true);
    EXPECT_EQ(TransportFailure([&] { TFtpTransport(plain).Connect(); }).Kind(),
              TTransportFailure::TlsRequired);

    TTransportSettings wrong = Settings(TTransportProtocol::FTPS, true);
    wrong.Password = "wrong";
    TTransportError login = TransportFailure([&] { TFtpTransport(wrong).Connect(); });
    EXPECT_EQ(login.Kind(), TTransportFailure::LoginRefused);
    EXPECT_EQ(login.Reason(), "The server refused the user name or password.");

    TFtpTransport ftp(Settings(TTransportProtocol::FTPS, true));
    ftp.Connect();
    EXPECT_EQ(TransportFailure([&] { ftp.ChangeFolder("missing"); }).Kind(),
              TTransportFailure::FolderMissing);
}

TEST_F(VsftpdTest, DownloadDeleteRenameAndSizeResumeTheSessionToo) {
    for (bool passive : {true, false}) {
        SCOPED_TRACE(passive ? "passive" : "active");
        TFtpTransport ftp(Settings(TTransportProtocol::FTPS, passive));
        std::vector<std::string> log;
        ftp.OnLog = [&](const std::string& line) { log.push_back(line); };
        ftp.Connect();
        ftp.ChangeFolder("www");
        fileoperations::PlayCases(ftp, Home() + "/www", 550);
        ftp.Disconnect();
        EXPECT_THAT(log, Contains("data connection: TLS session resumed"));
        EXPECT_THAT(log, ::testing::Not(Contains("data connection: new TLS session")));
    }
}

TEST_F(VsftpdTest, APublishRunSendsTheSampleSiteOverFtpsByteForByte) {
    TSampleSite site(Dir / "site");
    ASSERT_GT(site.Published().size(), 5u);
    for (bool passive : {true, false}) {
        SCOPED_TRACE(passive ? "passive" : "active");
        const std::string folder = passive ? "www" : "www/active";
        std::filesystem::create_directories(Home() + "/" + folder);
        ::chmod((Home() + "/" + folder).c_str(), 0777);
        TDPublish& record = site.Project->PUBLISH;
        record.PROTOCOL = "FTPS";
        record.PASSIVE = passive;
        record.FTP_SERVER = "127.0.0.1";
        record.FTP_PORT = Port;
        record.USER_NAME = "root";
        record.PASSWORD = "pa55 word";
        record.FOLDER = folder;
        record.TRUSTED.clear();
        TUnwatchedView view;
        TPublishRun run(*site.Project, view);
        std::vector<std::string> log;
        run.OnLog = [&](const std::string& line) { log.push_back(line); };
        run.CaFile = Certificates->CaFile();
        run.ReadTimeout = 10000;
        run.Show();
        ASSERT_EQ(run.Publish(), TPublishOutcome::Finished)
            << run.LastError << (view.Messages.empty() ? "" : "\n" + view.Messages.back());
        EXPECT_EQ(TSampleSite::Files(Home() + "/" + folder), site.Published());
        EXPECT_THAT(log, Contains("data connection: TLS session resumed"));
        EXPECT_THAT(log, ::testing::Not(Contains("data connection: new TLS session")));
    }
}

TEST_F(VsftpdTest, ASynchronisingPublishOverFtpsSendsOnlyWhatChanged) {
    std::filesystem::create_directories(Home() + "/www/sync");
    ::chmod((Home() + "/www/sync").c_str(), 0777);
    std::filesystem::create_directories(Dir / "sync");
    syncserver::TSyncServerCases(Settings(TTransportProtocol::FTPS, true), "www/sync",
                                 Home() + "/www/sync", Dir / "sync")
        .Play();
}

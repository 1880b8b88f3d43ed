// FTPS against vsftpd, a server that requires each data connection to resume the control
// connection's TLS session (require_ssl_reuse=YES): started as root from a configuration of
// the test on a free port of 127.0.0.1, ending by itself after two minutes. It logs in root
// with the test's password, which only this test's PAM service (pam_userdb with a database
// of the test) accepts.

#include "publish/PublishRun.h"
#include "publish/ftp/FtpTransport.h"

#include "TestSupport.h"
#include "publish/ChildProcess.h"
#include "publish/FileOperationCases.h"
#include "publish/FtpFailure.h"
#include "publish/RequireServers.h"
#include "publish/SampleSite.h"
#include "publish/SyncServerCases.h"
#include "publish/TestCertificates.h"
#include "publish/VsftpdServer.h"

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

class VsftpdTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const std::string missing = TVsftpdServer::Missing(); !missing.empty())
            SKIP_WITHOUT_SERVER(missing);
        const std::string failed = Vsftpd.Start();
        if (failed == "the openssl program cannot make the test certificates" ||
            failed.rfind("python3 cannot", 0) == 0)
            SKIP_WITHOUT_SERVER(failed);
        ASSERT_EQ(failed, "");
        Port = Vsftpd.Port;
        Certificates = Vsftpd.Certificates.get();
    }

    std::string Home() { return Vsftpd.Home(); }
    TTransportSettings Settings(const std::string& protocol, bool passive) {
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

    TVsftpdServer Vsftpd;
    TTempFolder& Dir = Vsftpd.Dir;
    TTestCertificates* Certificates = nullptr;
    int Port = 0;
};

} // namespace

TEST_F(VsftpdTest, EveryDataConnectionResumesTheControlConnectionsTlsSession) {
    for (bool passive : {true, false}) {
        SCOPED_TRACE(passive ? "passive" : "active");
        TFtpTransport ftp(Settings("FTPS", passive));
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
    TTransportSettings plain = Settings("FTP", true);
    EXPECT_EQ(Failure([&] { TFtpTransport(plain).Connect(); }).Kind(),
              TTransportFailure::TlsRequired);

    TTransportSettings wrong = Settings("FTPS", true);
    wrong.Password = "wrong";
    TTransportError login = Failure([&] { TFtpTransport(wrong).Connect(); });
    EXPECT_EQ(login.Kind(), TTransportFailure::LoginRefused);
    EXPECT_EQ(login.Reason(), "The server refused the user name or password.");

    TFtpTransport ftp(Settings("FTPS", true));
    ftp.Connect();
    EXPECT_EQ(Failure([&] { ftp.ChangeFolder("missing"); }).Kind(),
              TTransportFailure::FolderMissing);
}

TEST_F(VsftpdTest, DownloadDeleteRenameAndSizeResumeTheSessionToo) {
    for (bool passive : {true, false}) {
        SCOPED_TRACE(passive ? "passive" : "active");
        TFtpTransport ftp(Settings("FTPS", passive));
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
    syncserver::TSyncServerCases(Settings("FTPS", true), "www/sync", Home() + "/www/sync",
                                 Dir / "sync")
        .Play();
}

TEST_F(VsftpdTest, ASynchronisingPublishOverPlainFtpSendsOnlyWhatChanged) {
    TVsftpdServer plain;
    plain.RequireTls = false;
    ASSERT_EQ(plain.Start(), "");
    for (bool passive : {true, false}) {
        SCOPED_TRACE(passive ? "passive" : "active");
        const std::string folder = passive ? "www/sync-passive" : "www/sync-active";
        std::filesystem::create_directories(plain.Home() + "/" + folder);
        ::chmod((plain.Home() + "/" + folder).c_str(), 0777);
        TTransportSettings settings = Settings("FTP", passive);
        settings.Port = plain.Port;
        std::filesystem::create_directories(Dir / folder);
        syncserver::TSyncServerCases(settings, folder, plain.Home() + "/" + folder, Dir / folder)
            .Play();
    }
}

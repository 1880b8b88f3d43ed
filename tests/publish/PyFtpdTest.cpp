// The FTP client and the publish run end to end against a real FTP server (pyftpdlib on
// 127.0.0.1, a user with a temporary home). Skipped where python3 with pyftpdlib is missing.

#include "publish/PublishRun.h"
#include "publish/SyncRun.h"
#include "publish/ftp/IdFTP.h"

#include "TestSupport.h"
#include "publish/ChildProcess.h"
#include "publish/FtpFailure.h"
#include "publish/PyFtpdServer.h"
#include "publish/RequireServers.h"
#include "publish/SyncServerCases.h"
#include "publish/TestCertificates.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

class PyFtpdTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Python = PythonWithPyftpdlib();
        if (Python.empty())
            SKIP_WITHOUT_SERVER("python3 with pyftpdlib is not installed");
        std::filesystem::create_directory(Home());
        Server = std::make_unique<TPyFtpdServer>(Python, Dir.Path(), Home(), "site", "pa55 word");
        Port = Server->Port();
        ASSERT_GT(Port, 0) << "the FTP server did not start";
    }

    std::string Home() { return Dir / "home"; }
    void Prepare(TIdFTP& ftp) {
        ftp.Host = "127.0.0.1";
        ftp.Port = Port;
        ftp.Username = "site";
        ftp.Password = "pa55 word";
        ftp.ReadTimeout = 10000;
    }
    std::string Local(const std::string& name, const std::string& data) {
        std::filesystem::create_directories(Dir / "local");
        WriteFileBytes(Dir / ("local/" + name), data);
        return Dir / ("local/" + name);
    }

    TTempFolder Dir;
    std::string Python;
    std::unique_ptr<TPyFtpdServer> Server;
    int Port = 0;
};

} // namespace

TEST_F(PyFtpdTest, UploadsActiveAndPassiveIntoAFolderByteForByte) {
    std::filesystem::create_directory(Home() + "/www");
    std::vector<std::pair<std::string, std::string>> files = {
        {"index.htm", "<html>\r\n<body>Hello</body>\r\n</html>\r\n"},
        {"empty.htm", ""},
        {"picture.jpg", PseudoRandomBytes(700000, 7)},
        {"bytes.bin", PseudoRandomBytes(256, 1) + std::string("\r\n\n\r\0", 5)},
    };
    for (bool passive : {false, true}) {
        SCOPED_TRACE(passive ? "passive" : "active");
        TIdFTP ftp;
        Prepare(ftp);
        ftp.Passive = passive;
        ftp.Connect();
        ftp.ChangeFolder("www");
        for (const auto& [name, data] : files)
            ftp.Upload(Local(name, data), name);
        ftp.Disconnect();
        for (const auto& [name, data] : files)
            EXPECT_EQ(ReadFileBytes(Home() + "/www/" + name), data) << name;
        // The second pass replaces the files with other content.
        for (auto& file : files)
            file.second += "second";
    }
}

TEST_F(PyFtpdTest, RefusalsOfARealServerAreFailures) {
    {
        TIdFTP ftp;
        Prepare(ftp);
        ftp.Password = "wrong";
        TTransportError e = Failure([&] { ftp.Connect(); });
        EXPECT_EQ(e.ReplyCode(), 530);
        EXPECT_THAT(e.what(), Not(HasSubstr("wrong")));
        EXPECT_FALSE(ftp.Connected());
    }
    TIdFTP ftp;
    Prepare(ftp);
    ftp.Connect();
    TTransportError e = Failure([&] { ftp.ChangeFolder("no/such/folder"); });
    EXPECT_EQ(e.ReplyCode(), 550);
    EXPECT_TRUE(ftp.Connected());
    // Still usable: the upload goes into the login folder.
    ftp.Upload(Local("a.htm", "after"), "a.htm");
    EXPECT_EQ(ReadFileBytes(Home() + "/a.htm"), "after");
}

namespace {

class TQuietView : public TPublishView {
  public:
    void Message(const std::string& text) override { Messages.push_back(text); }
    bool Confirm(const std::string&) override { return true; }
    std::vector<std::string> Messages;
};

} // namespace

TEST_F(PyFtpdTest, APublishRunCopiesTheHtmlFolder) {
    TXmlDocument document;
    std::filesystem::create_directory(Dir / "Project");
    TDProject project(Dir / "Project", document);
    WriteFileBytes(project.HTMLPath() + "index.htm", "<html>home</html>\r\n");
    WriteFileBytes(project.HTMLPath() + "File1.htm", PseudoRandomBytes(5000, 3));
    WriteFileBytes(project.HTMLPath() + "logo.gif", PseudoRandomBytes(40000, 4));
    std::filesystem::create_directory(Home() + "/public");

    TQuietView view;
    TPublishRun run(project, view);
    run.Show();
    run.Typed.Server = "127.0.0.1";
    run.Typed.Port = std::to_string(Port);
    run.Typed.User = "site";
    run.Typed.Password = "pa55 word";
    run.Typed.Folder = "public";
    // Every ticked file, as a project from before synchronising publishes.
    run.Typed.Sync = false;
    EXPECT_EQ(run.Publish(), TPublishOutcome::Finished) << run.LastError;
    EXPECT_TRUE(view.Messages.empty());
    for (const char* name : {"index.htm", "File1.htm", "logo.gif"})
        EXPECT_EQ(ReadFileBytes(Home() + "/public/" + name),
                  ReadFileBytes(project.HTMLPath() + name))
            << name;
}

TEST_F(PyFtpdTest, ASynchronisingPublishSendsOnlyWhatChangedPassiveAndActive) {
    for (bool passive : {true, false}) {
        SCOPED_TRACE(passive ? "passive" : "active");
        const std::string folder = passive ? "sync-passive" : "sync-active";
        std::filesystem::create_directory(Home() + "/" + folder);
        TTransportSettings settings;
        settings.Host = "127.0.0.1";
        settings.Port = Port;
        settings.User = "site";
        settings.Password = "pa55 word";
        settings.Passive = passive;
        settings.ReadTimeout = 10000;
        std::filesystem::create_directory(Dir / folder);
        syncserver::TSyncServerCases(settings, folder, Home() + "/" + folder, Dir / folder).Play();
    }
}

TEST_F(PyFtpdTest, ASynchronisingPublishOverFtpsSendsOnlyWhatChanged) {
    const std::string python = PythonWithPyftpdlib(true);
    if (python.empty())
        SKIP_WITHOUT_SERVER("python3 with pyftpdlib and pyOpenSSL is not installed");
    std::filesystem::create_directories(Dir / "certs");
    TTestCertificates certificates(Dir / "certs");
    if (!certificates.Error().empty())
        SKIP_WITHOUT_SERVER("the openssl program cannot make the test certificates: " +
                            certificates.Error());
    TPyFtpdOptions options;
    options.CertFile = certificates.ServerCertificate();
    options.KeyFile = certificates.ServerKey();
    options.TlsRequired = true;
    std::filesystem::create_directories(Dir / "tls-script");
    TPyFtpdServer server(python, Dir / "tls-script", Home(), "site", "pa55 word",
                         pyftpd::ServerLifetimeSeconds, options);
    ASSERT_GT(server.Port(), 0) << "the FTPS server did not start";
    const std::string folder = "sync-tls";
    std::filesystem::create_directory(Home() + "/" + folder);
    TTransportSettings settings;
    settings.Protocol = "FTPS";
    settings.Host = "127.0.0.1";
    settings.Port = server.Port();
    settings.User = "site";
    settings.Password = "pa55 word";
    settings.Passive = true;
    settings.ReadTimeout = 10000;
    settings.CaFile = certificates.CaFile();
    std::filesystem::create_directory(Dir / folder);
    syncserver::TSyncServerCases(settings, folder, Home() + "/" + folder, Dir / folder).Play();
}

TEST_F(PyFtpdTest, ANameChangedOnlyInCaseStaysOnAServerThatIgnoresCase) {
    // Deleting the old spelling after sending the new one removed the page just put in place.
    TPyFtpdOptions options;
    options.FoldCase = true;
    std::filesystem::create_directories(Dir / "fold-script");
    TPyFtpdServer server(Python, Dir / "fold-script", Home(), "site", "pa55 word",
                         pyftpd::ServerLifetimeSeconds, options);
    ASSERT_GT(server.Port(), 0) << "the FTP server did not start";
    const std::string remote = Home() + "/fold";
    std::filesystem::create_directory(remote);
    const std::string site = Dir / "fold-site";
    std::filesystem::create_directory(site);
    TTransportSettings settings;
    settings.Host = "127.0.0.1";
    settings.Port = server.Port();
    settings.User = "site";
    settings.Password = "pa55 word";
    settings.Passive = true;
    settings.ReadTimeout = 10000;
    const auto publish = [&] {
        TSyncRun run(settings, "fold", site);
        run.Jobs = 2;
        run.Prepare();
        return run.Run();
    };
    // The one file of the folder spelt as name but for case, and its bytes.
    const auto page = [&](const std::string& name) {
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(remote))
            if (SameNameIgnoringCase(entry.path().filename().string(), name))
                found.push_back(ReadFileBytes(entry.path().string()));
        return found;
    };
    WriteFileBytes(site + "/Index.htm", "<html>Home</html>");
    WriteFileBytes(site + "/Other.htm", "<html>Other</html>");
    ASSERT_TRUE(publish().Succeeded());

    std::filesystem::remove(site + "/Index.htm");
    WriteFileBytes(site + "/index.htm", "<html>Home, renamed</html>");
    const TSyncTotals renamed = publish();
    EXPECT_TRUE(renamed.Succeeded());
    EXPECT_EQ(renamed.Uploaded, 1);
    EXPECT_EQ(renamed.Deleted, 0);
    EXPECT_EQ(page("index.htm"), std::vector<std::string>{"<html>Home, renamed</html>"});
    const TManifest manifest = TManifest::Parse(ReadFileBytes(remote + "/" + TManifest::FileName));
    EXPECT_EQ(manifest.Files.count("index.htm"), 1u);
    EXPECT_EQ(manifest.Files.count("Index.htm"), 0u);

    // The next run finds nothing to do, and the page is still there.
    const TSyncTotals next = publish();
    EXPECT_TRUE(next.Succeeded());
    EXPECT_EQ(next.Uploaded + next.Deleted, 0);
    EXPECT_EQ(page("index.htm"), std::vector<std::string>{"<html>Home, renamed</html>"});
    EXPECT_EQ(page("other.htm"), std::vector<std::string>{"<html>Other</html>"});
}

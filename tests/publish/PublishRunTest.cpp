// The publish run: rows of the HTML folder, validate-and-store, and what a run shows and
// sends, against the scripted server.

#include "publish/PublishRun.h"

#include "TestSupport.h"
#include "model/EarlierVersions.h"
#include "model/ProjectDocuments.h"
#include "platform/FileFaults.h"
#include "platform/Locale.h"
#include "publish/FakeFtpServer.h"
#include "publish/MemoryTransport.h"
#include "publish/RemoteLock.h"
#include "publish/SyncPlan.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

using TStrings = std::vector<std::string>;

// Writes down everything the run tells, in order.
class TRecordingView : public TPublishView {
  public:
    explicit TRecordingView(const TPublishRun* run = nullptr) : Run(run) {}
    void StatusChanged(const std::string& text) override { Events.push_back("status " + text); }
    void ProgressChanged(int value) override {
        Events.push_back("progress " + std::to_string(value));
    }
    void RowChanged(int row) override { Events.push_back("row " + std::to_string(row)); }
    void RowsChanged() override { Events.push_back("rows"); }
    void ButtonsChanged() override {
        if (Run)
            Events.push_back(std::string("buttons ") + (Run->CanPublish ? "P" : "-") +
                             (Run->CanClose ? "O" : "-") + (Run->CanCancel ? "C" : "-"));
    }
    void FocusControl(TPublishField control) override {
        static const char* names[] = {"EditFTP",       "EditFTPPort",      "EditUser",
                                      "EditProxyPort", "ButtonOK",         "EditPassword",
                                      "EditFolder",    "ComboBoxProtocol", "EditRepository"};
        Events.push_back(std::string("focus ") + names[static_cast<int>(control)]);
    }
    void Message(const std::string& text) override { Events.push_back("message " + text); }
    bool Confirm(const std::string& question) override {
        Events.push_back("confirm " + question);
        return Answer;
    }

    const TPublishRun* Run;
    bool Answer = true;
    TStrings Events;
};

class PublishRunTest : public ::testing::Test {
  protected:
    PublishRunTest() {
        SetThousandsSeparator(",");
        std::filesystem::create_directory(Dir / "Site");
        Project = std::make_unique<TDProject>(Dir / "Site", Document);
        Run = std::make_unique<TPublishRun>(*Project, View);
        View.Run = Run.get();
    }

    void AddFile(const std::string& name, std::size_t size) {
        std::string data;
        for (std::size_t i = 0; i < size; ++i)
            data += static_cast<char>('a' + (i * 31 + name.size()) % 26);
        WriteFileBytes(Project->HTMLPath() + name, data);
    }
    // Shows the run with the settings for the given port, the events cleared.
    void ShowFor(int port, const std::string& folder = "") {
        Project->PUBLISH.FTP_SERVER = "127.0.0.1";
        Project->PUBLISH.FTP_PORT = port;
        Project->PUBLISH.USER_NAME = "web";
        Project->PUBLISH.PASSWORD = "pw";
        Project->PUBLISH.FOLDER = folder;
        // A project from before passive mode and synchronising: the active exchange of
        // every ticked file.
        Project->PUBLISH.PASSIVE = false;
        Project->PUBLISH.SYNC = false;
        Run->Show();
        View.Events.clear();
    }
    // The project document as it is on disk.
    TDPublish Stored() {
        TXmlDocument document;
        TDProject reopened(Project->Folder, document);
        return reopened.PUBLISH;
    }
    TStrings Statuses() const {
        TStrings s;
        for (const TPublishRow& row : Run->Rows)
            s.push_back(row.Status);
        return s;
    }

    TTempFolder Dir;
    TXmlDocument Document;
    std::unique_ptr<TDProject> Project;
    TRecordingView View;
    std::unique_ptr<TPublishRun> Run;
};

// Stores every upload; the STOR numbered failAt (1-based) is refused.
TFakeFtpServer::TScript Uploads(int count, int failAt = 0, bool changeFolder = false) {
    return [=](TFakeFtpSession& s) {
        s.Login();
        if (changeFolder)
            s.Answer("250 Folder changed");
        for (int i = 1; i <= count; ++i) {
            if (i == failAt) {
                s.Answer("200 PORT ok");
                s.Answer("553 Could not create file");
                break;
            }
            s.Store();
        }
        s.WaitClosed();
    };
}

TStrings StorCommands(TFakeFtpServer& server) {
    TStrings stor;
    for (const std::string& c : server.Commands())
        if (c.rfind("STOR ", 0) == 0)
            stor.push_back(c.substr(5));
    return stor;
}

} // namespace

TEST(PublishSizeText, KibRoundedWithThousandsSeparators) {
    struct TCase {
        std::int64_t Bytes;
        const char* Separator;
        const char* Text;
    };
    const TCase cases[] = {
        {0, ",", "0K"},
        {511, ",", "0K"},
        {512, ",", "1K"},
        {1023, ",", "1K"},
        {1024, ",", "1K"},
        {1535, ",", "1K"},
        {1536, ",", "2K"},
        {1048576, ",", "1,024K"},
        {2097152, ",", "2,048K"},
        {2097152, ".", "2.048K"},
        {2097152, "\xA0",
         "2\xA0"
         "048K"},
        {1099511627776, ",", "1,073,741,824K"},
    };
    for (const TCase& c : cases) {
        SetThousandsSeparator(c.Separator);
        EXPECT_EQ(PublishSizeText(c.Bytes), c.Text) << c.Bytes;
    }
    SetThousandsSeparator(",");
}

// A port of 0 (what a new project holds) connects to the protocol's default port.
TEST(PublishPort, ZeroIsTheProtocolsDefault) {
    const struct {
        const char* Protocol;
        std::int32_t Stored, Used;
    } cases[] = {{"FTP", 0, 21},
                 {"FTPS", 0, 21},
                 {"SFTP", 0, 22},
                 {"SFTP", 2222, 2222},
                 {"FTP", 2121, 2121}};
    for (const auto& c : cases) {
        TDPublish record;
        record.PROTOCOL = c.Protocol;
        record.FTP_PORT = c.Stored;
        EXPECT_EQ(TransportSettingsOf(record, 1000).Port, c.Used) << c.Protocol << " " << c.Stored;
    }
}

TEST(PublishTrim, BlanksAndControlCharactersGoFromBothEnds) {
    EXPECT_EQ(TrimBlanks("  \t a b \r\n\x01"), "a b");
    EXPECT_EQ(TrimBlanks(" \t "), "");
    EXPECT_EQ(TrimBlanks("\xE9t\xE9"), "\xE9t\xE9");
}

TEST_F(PublishRunTest, ShowLoadsTheRecordAndTheOrdinaryFilesOfTheHtmlFolder) {
    AddFile("index.htm", 1536);
    AddFile("File1.htm", 100);
    AddFile("logo.gif", 2097152);
    AddFile(".hidden", 10);
    std::filesystem::create_directory(Project->HTMLPath() + "sub");
    WriteFileBytes(Project->HTMLPath() + "sub/inner.htm", "x");
    TDPublish& p = Project->PUBLISH;
    p.FTP_SERVER = "ftp.example.org";
    p.FTP_PORT = 2121;
    p.USER_NAME = "web";
    p.PASSWORD = "pw";
    p.USE_PROXY = true;
    p.PROXY_SERVER = "proxy";
    p.PROXY_PORT = -8080;
    p.FOLDER = "www";
    Run->StatusLine = "old";
    Run->Progress = 55;
    Run->CanPublish = false;

    Run->Show();

    const TTypedSettings& e = Run->Typed;
    EXPECT_EQ(e.Server, "ftp.example.org");
    EXPECT_EQ(e.Port, "2121");
    EXPECT_EQ(e.User, "web");
    EXPECT_EQ(e.Password, "pw");
    EXPECT_TRUE(e.UseProxy);
    EXPECT_EQ(e.ProxyServer, "proxy");
    EXPECT_EQ(e.ProxyPort, "-8080");
    EXPECT_EQ(e.Folder, "www");
    ASSERT_EQ(Run->Rows.size(), 3u);
    TStrings rows;
    for (const TPublishRow& row : Run->Rows)
        rows.push_back(row.Name + "|" + row.Size + "|" + row.Status + "|" +
                       (row.Ticked ? "ticked" : "unticked"));
    EXPECT_THAT(rows, ElementsAre("File1.htm|0K||ticked", "index.htm|2K||ticked",
                                  "logo.gif|2,048K||ticked"));
    EXPECT_EQ(Run->StatusLine, "");
    EXPECT_EQ(Run->Progress, 0);
    EXPECT_TRUE(Run->CanPublish && Run->CanClose && Run->CanCancel);
}

TEST_F(PublishRunTest, TheEarlierVersionsAreNeverUploaded) {
    AddFile("a.htm", 100);
    AddFile("b.gif", 200);
    // The project keeps its earlier versions; a copy of the folder even landed in the HTML
    // folder (a project copied there by hand).
    const TDocumentBytes before = ReadProjectDocuments(*Project);
    Project->TOPIC.CAPTION = "Changed";
    Project->Save();
    TEarlierVersions(Project->Folder).Keep("Topic", before, ReadProjectDocuments(*Project), 1);
    ASSERT_FALSE(TEarlierVersions(Project->Folder).List().empty());
    std::filesystem::copy(Project->Folder + "/.history", Project->HTMLPath() + ".history",
                          std::filesystem::copy_options::recursive);
    WriteFileBytes(Project->HTMLPath() + ".history.txt", "1\nTopic\n");

    TFakeFtpServer server(Uploads(2));
    ShowFor(server.Port());
    TStrings rows;
    for (const TPublishRow& row : Run->Rows)
        rows.push_back(row.Name);
    EXPECT_THAT(rows, ElementsAre("a.htm", "b.gif"));
    EXPECT_EQ(Run->Publish(), TPublishOutcome::Finished);
    server.Finish();
    EXPECT_THAT(StorCommands(server), ElementsAre("a.htm", "b.gif"));
    // The synchronising publish lists the same files.
    TStrings site;
    for (const TLocalFile& file : ListSiteFiles(Project->HTMLPath()))
        site.push_back(file.Name);
    EXPECT_THAT(site, ElementsAre("a.htm", "b.gif"));
}

TEST_F(PublishRunTest, StoreValidatesThePortsAndSavesTheRecord) {
    struct TCase {
        const char* Name;
        TTypedSettings Typed;
        const char* Message; // empty: stored
        const char* Focus;
        TDPublish Expected; // the record afterwards
    };
    TDPublish before;
    before.FTP_SERVER = "old.example.org";
    before.FTP_PORT = 21;
    before.USER_NAME = "old";
    before.USE_PROXY = true;
    before.PROXY_SERVER = "oldproxy";
    before.PROXY_PORT = 3128;
    before.PASSIVE = false;
    auto record = [](std::string server, int port, std::string user, std::string password,
                     bool proxy, std::string proxyServer, int proxyPort, std::string folder) {
        TDPublish p;
        p.FTP_SERVER = server;
        p.FTP_PORT = port;
        p.USER_NAME = user;
        p.PASSWORD = password;
        p.USE_PROXY = proxy;
        p.PROXY_SERVER = proxyServer;
        p.PROXY_PORT = proxyPort;
        p.FOLDER = folder;
        p.PASSIVE = false;
        return p;
    };
    const TCase cases[] = {
        {"plain",
         {" ftp.site ", "2121", " me ", " pw ", false, "", "", " www ", "FTPS", true, "ab:CD"},
         "",
         "",
         [&] {
             TDPublish p = record(" ftp.site ", 2121, " me ", " pw ", false, "", 0, " www ");
             p.PROTOCOL = "FTPS";
             p.PASSIVE = true;
             p.TRUSTED = "ab:CD";
             return p;
         }()},
        {"strict integer forms",
         {"h", " 21", "u", "", true, "px", "$1F90", "", "FTP", false, ""},
         "",
         "",
         record("h", 21, "u", "", true, "px", 8080, "")},
        {"no range test on ports",
         {"h", "-5", "u", "", true, "px", "99999", "", "FTP", false, ""},
         "",
         "",
         record("h", -5, "u", "", true, "px", 99999, "")},
        {"proxy unticked ignores its edits",
         {"h", "21", "u", "", false, "px", "letters", "", "FTP", false, ""},
         "",
         "",
         record("h", 21, "u", "", false, "", 0, "")},
        {"FTP port letters",
         {"new", "abc", "new", "x", false, "", "", "f", "FTP", false, ""},
         "FTP Port is wrong!",
         "EditFTPPort",
         before},
        {"FTP port with a trailing blank",
         {"new", "21 ", "new", "x", false, "", "", "f", "FTP", false, ""},
         "FTP Port is wrong!",
         "EditFTPPort",
         before},
        {"FTP port empty",
         {"new", "", "new", "x", false, "", "", "f", "FTP", false, ""},
         "FTP Port is wrong!",
         "EditFTPPort",
         before},
        {"proxy port letters",
         {"new", "21", "new", "x", true, "p", "80a", "f", "FTP", false, ""},
         "Proxy Port is wrong!",
         "EditProxyPort",
         before},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Project->PUBLISH = before;
        Project->Save();
        View.Events.clear();
        Run->Typed = c.Typed;
        bool stored = Run->Store();
        EXPECT_EQ(stored, std::string(c.Message).empty());
        if (stored)
            EXPECT_TRUE(View.Events.empty());
        else
            EXPECT_THAT(View.Events, ElementsAre(std::string("message ") + c.Message,
                                                 std::string("focus ") + c.Focus));
        for (const TDPublish& p : {Project->PUBLISH, Stored()}) {
            EXPECT_EQ(p.FTP_SERVER, c.Expected.FTP_SERVER);
            EXPECT_EQ(p.FTP_PORT, c.Expected.FTP_PORT);
            EXPECT_EQ(p.USER_NAME, c.Expected.USER_NAME);
            EXPECT_EQ(p.PASSWORD, c.Expected.PASSWORD);
            EXPECT_EQ(p.USE_PROXY, c.Expected.USE_PROXY);
            EXPECT_EQ(p.PROXY_SERVER, c.Expected.PROXY_SERVER);
            EXPECT_EQ(p.PROXY_PORT, c.Expected.PROXY_PORT);
            EXPECT_EQ(p.FOLDER, c.Expected.FOLDER);
            EXPECT_EQ(p.PROTOCOL, c.Expected.PROTOCOL);
            EXPECT_EQ(p.PASSIVE, c.Expected.PASSIVE);
            EXPECT_EQ(p.TRUSTED, c.Expected.TRUSTED);
        }
    }
}

// A save that fails at any step leaves the record in memory and Default.Pro as they were, so
// that a later OK of another dialog cannot write the settings that this one could not.
TEST_F(PublishRunTest, AStoreWhoseSaveFailsLeavesTheRecordAsItWas) {
    Project->PUBLISH.FTP_SERVER = "old.example.org";
    Project->PUBLISH.FTP_PORT = 21;
    Project->PUBLISH.USER_NAME = "old";
    Project->PUBLISH.PASSWORD = "oldpw";
    Project->Save();
    const TDPublish before = Project->PUBLISH;
    const std::string file = ReadFileBytes(Project->ProjectFile());
    struct TCase {
        const char* Name;
        TFileFaults Faults;
    };
    TCase cases[] = {{"create", {}}, {"write", {}}, {"fsync", {}}, {"rename", {}}};
    cases[0].Faults.FailCreate = 1;
    cases[1].Faults.FailWrite = 1;
    cases[2].Faults.FailFsync = 1;
    cases[3].Faults.FailRename = 1;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Run->Typed = {
            "new.example.org", "2121", "new", "newpw", false, "", "", "www", "SFTP", true, "AB:CD"};
        {
            TScopedFileFaults scoped(c.Faults);
            EXPECT_THROW(Run->Store(), TError);
        }
        EXPECT_EQ(Project->PUBLISH, before);
        EXPECT_EQ(ReadFileBytes(Project->ProjectFile()), file);
    }
    // The same edits without a fault are stored, so the cases above failed for their fault.
    ASSERT_TRUE(Run->Store());
    EXPECT_EQ(Project->PUBLISH.FTP_SERVER, "new.example.org");
    EXPECT_EQ(Stored().FTP_SERVER, "new.example.org");
}

TEST_F(PublishRunTest, ARunStopsBeforeConnectingWhenSomethingIsMissingOrDeclined) {
    struct TCase {
        const char* Name;
        std::string Server, Port, User;
        bool Answer;
        TPublishOutcome Outcome;
        TStrings Events;
    };
    const TCase cases[] = {
        {"port letters",
         "127.0.0.1",
         "twenty-one",
         "u",
         true,
         TPublishOutcome::Stopped,
         {"message FTP Port is wrong!", "focus EditFTPPort"}},
        {"server of blanks",
         " \t ",
         "21",
         "u",
         true,
         TPublishOutcome::Stopped,
         {"message Need FTP server.", "focus EditFTP"}},
        {"no user",
         "127.0.0.1",
         "21",
         "\r\n",
         true,
         TPublishOutcome::Stopped,
         {"message Need user name.", "focus EditUser"}},
        {"confirmation declined",
         "127.0.0.1",
         "21",
         "u",
         false,
         TPublishOutcome::Cancelled,
         {"confirm Publish your website?"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Project->PUBLISH = TDPublish();
        Project->PUBLISH.SYNC = false;
        Project->Save();
        Run->Show();
        View.Events.clear();
        View.Answer = c.Answer;
        Run->Typed.Server = c.Server;
        Run->Typed.Port = c.Port;
        Run->Typed.User = c.User;
        Run->Typed.Password = "typed";
        EXPECT_EQ(Run->Publish(), c.Outcome);
        EXPECT_EQ(View.Events, c.Events);
        EXPECT_EQ(Run->StatusLine, "");
        EXPECT_TRUE(Run->CanPublish);
        // What passed validation stays stored and saved, whatever ended the run.
        const bool portOk = c.Port == "21";
        EXPECT_EQ(Stored().FTP_SERVER, portOk ? c.Server : "");
        EXPECT_EQ(Stored().PASSWORD, portOk ? "typed" : "");
    }
}

TEST_F(PublishRunTest, ARunUploadsEveryTickedFileAndReportsEachStep) {
    AddFile("a.htm", 512);
    AddFile("b.htm", 3000);
    AddFile("c.gif", 0);
    TFakeFtpServer server(Uploads(3, 0, true));
    ShowFor(server.Port(), "www");

    EXPECT_EQ(Run->Publish(), TPublishOutcome::Finished);
    server.Finish();

    EXPECT_EQ(View.Events, (TStrings{"confirm Publish your website?",
                                     "buttons ---",
                                     "status Building Project...",
                                     "progress 10",
                                     "status Connect FTP Server...",
                                     "progress 20",
                                     "status Change Folder...",
                                     "status Upload a.htm (1K) ...",
                                     "row 0",
                                     "progress 43",
                                     "status Upload b.htm (3K) ...",
                                     "row 1",
                                     "progress 66",
                                     "status Upload c.gif (0K) ...",
                                     "row 2",
                                     "progress 90",
                                     "status Disconnect FTP Server...",
                                     "status Finish!",
                                     "progress 100",
                                     "buttons -OC",
                                     "focus ButtonOK"}));
    EXPECT_THAT(Statuses(), ElementsAre("Success", "Success", "Success"));
    EXPECT_EQ(server.ScriptEnd(), "");
    TStrings commands = server.Commands();
    EXPECT_EQ(TStrings(commands.begin(), commands.begin() + 5),
              (TStrings{"USER web", "PASS pw", "TYPE I", "SYST", "CWD www"}));
    auto files = server.Files();
    ASSERT_EQ(files.size(), 3u);
    for (const auto& [name, data] : files)
        EXPECT_EQ(data, ReadFileBytes(Project->HTMLPath() + name)) << name;
    // The transport was set up from the record, with the publishing read time-out.
    EXPECT_EQ(Run->Settings.Protocol, "FTP");
    EXPECT_EQ(Run->Settings.Host, "127.0.0.1");
    EXPECT_EQ(Run->Settings.User, "web");
    EXPECT_EQ(Run->Settings.Password, "pw");
    EXPECT_EQ(Run->Settings.ReadTimeout, 30000);
    EXPECT_FALSE(Run->Settings.Passive);
    EXPECT_FALSE(Run->LastTransport()->Connected());
}

TEST_F(PublishRunTest, UntickedRowsAndABlankFolderAreLeftOut) {
    for (const char* name : {"1.htm", "2.htm", "3.htm", "4.htm", "5.htm"})
        AddFile(name, 10);
    TFakeFtpServer server(Uploads(3));
    ShowFor(server.Port(), "   ");
    Run->Rows[0].Ticked = false;
    Run->Rows[2].Ticked = false;

    EXPECT_EQ(Run->Publish(), TPublishOutcome::Finished);
    server.Finish();

    TStrings progress;
    for (const std::string& e : View.Events)
        if (e.rfind("progress ", 0) == 0)
            progress.push_back(e.substr(9));
    EXPECT_THAT(progress, ElementsAre("10", "20", "43", "66", "90", "100"));
    EXPECT_THAT(StorCommands(server), ElementsAre("2.htm", "4.htm", "5.htm"));
    EXPECT_THAT(Statuses(), ElementsAre("", "Success", "", "Success", "Success"));
    for (const std::string& c : server.Commands())
        EXPECT_NE(c.rfind("CWD", 0), 0u) << c;
}

TEST_F(PublishRunTest, NothingToUploadStillConnectsAndFinishes) {
    AddFile("only.htm", 10);
    TFakeFtpServer server(Uploads(0, 0, true));
    ShowFor(server.Port(), "site");
    Run->Rows[0].Ticked = false;
    EXPECT_EQ(Run->Publish(), TPublishOutcome::Finished);
    server.Finish();
    EXPECT_THAT(server.Commands(),
                ElementsAre("USER web", "PASS pw", "TYPE I", "SYST", "CWD site"));
    EXPECT_EQ(Run->StatusLine, "Finish!");
    EXPECT_EQ(Run->Progress, 100);
}

TEST_F(PublishRunTest, APasswordFromElsewhereIsSentInPlaceOfTheStoredOneAndNeverStored) {
    TFakeFtpServer server(Uploads(0));
    ShowFor(server.Port());
    Project->PUBLISH.PASSWORD = "";
    Run->Typed.Password = "";
    Run->Password = "from the keyring";
    EXPECT_EQ(Run->Publish(), TPublishOutcome::Finished);
    server.Finish();
    EXPECT_THAT(server.Commands(),
                ElementsAre("USER web", "PASS from the keyring", "TYPE I", "SYST"));
    EXPECT_EQ(Project->PUBLISH.PASSWORD, "");
    EXPECT_EQ(Stored().PASSWORD, "");

    // It is checked as the stored one is.
    Run->Show();
    Run->Password = "two\nlines";
    EXPECT_EQ(Run->Publish(), TPublishOutcome::Stopped);
    EXPECT_THAT(View.Events, ::testing::Contains(HasSubstr("The password holds a line break")));
}

// A keyring in memory: what the desktop's would hold, or none at all.
class TMemoryKeyring : public TKeyring {
  public:
    TKeyringAnswer Store(const TKeyringKey& key, const std::string& password) override {
        if (!Present)
            return {TKeyringStatus::NoKeyring, "", "no keyring here"};
        Items[Text(key)] = password;
        return {TKeyringStatus::Done, "", ""};
    }
    TKeyringAnswer Find(const TKeyringKey& key) override {
        if (!Present)
            return {TKeyringStatus::NoKeyring, "", "no keyring here"};
        if (FindFails)
            return {TKeyringStatus::Failed, "", "the keyring is locked"};
        auto found = Items.find(Text(key));
        if (found == Items.end())
            return {TKeyringStatus::NotFound, "", ""};
        return {TKeyringStatus::Done, found->second, ""};
    }
    TKeyringAnswer Delete(const TKeyringKey& key) override {
        if (!Present)
            return {TKeyringStatus::NoKeyring, "", "no keyring here"};
        return {Items.erase(Text(key)) ? TKeyringStatus::Done : TKeyringStatus::NotFound, "", ""};
    }
    static std::string Text(const TKeyringKey& key) {
        return key.Protocol + " " + key.Host + " " + std::to_string(key.Port) + " " + key.User;
    }
    bool Present = true;
    // Find alone refuses (a locked keyring whose unlock was dismissed, or one that did not
    // answer in time when the dialog was shown).
    bool FindFails = false;
    std::map<std::string, std::string> Items;
};

// With a keyring the dialog's OK moves the password out of Default.Pro into the keyring,
// the run sends it, and the next Show takes it from there; without one it stays in the
// project and KeyringNote says why.
TEST_F(PublishRunTest, WithAKeyringThePasswordLeavesTheProject) {
    TMemoryKeyring keyring;
    Run->Keyring = &keyring;
    TFakeFtpServer server(Uploads(0));
    ShowFor(server.Port());
    EXPECT_EQ(Run->Typed.Password, "pw"); // from the project, the keyring has none yet
    Run->Typed.Password = "s3cret";
    ASSERT_TRUE(Run->Store());
    EXPECT_EQ(Stored().PASSWORD, "");
    EXPECT_EQ(keyring.Items.at("FTP 127.0.0.1 " + std::to_string(server.Port()) + " web"),
              "s3cret");
    EXPECT_EQ(Run->KeyringNote, "");
    EXPECT_EQ(Run->Publish(), TPublishOutcome::Finished);
    server.Finish();
    EXPECT_THAT(server.Commands(), ::testing::Contains("PASS s3cret"));
    EXPECT_EQ(Stored().PASSWORD, "");
    Run->Show();
    EXPECT_EQ(Run->Typed.Password, "s3cret");

    // No keyring: the password stays in the project, and the run says why.
    keyring.Present = false;
    Run->Typed.Password = "kept";
    ASSERT_TRUE(Run->Store());
    EXPECT_EQ(Stored().PASSWORD, "kept");
    EXPECT_EQ(Run->KeyringNote, "The password is kept in the project: no keyring here.");
    Run->Show();
    EXPECT_EQ(Run->Typed.Password, "kept");
    EXPECT_EQ(Run->KeyringNote, "The password is kept in the project: no keyring here.");
}

// A Default.Pro written before the protocol and passive mode (PUBLISH without PROTOCOL,
// PASSIVE and TRUSTED) publishes with the active plain exchange as it always did: the same
// commands in the same order, PORT with the control connection's address, no PASV, EPSV,
// AUTH or QUIT, and the files' bytes unchanged.
TEST_F(PublishRunTest, AnExistingProjectKeepsTheActiveExchangeCommandForCommand) {
    TFakeFtpServer server(Uploads(2, 0, true));
    const std::string folder = Dir / "Existing";
    std::filesystem::create_directory(folder);
    WriteFileBytes(folder + "/Default.Pro",
                   std::string(XmlDeclaration) +
                       "<PROJECT><PUBLISH><FTP_SERVER>127.0.0.1</FTP_SERVER><FTP_PORT>" +
                       std::to_string(server.Port()) +
                       "</FTP_PORT><USER_NAME>web</USER_NAME><PASSWORD>pw</PASSWORD>"
                       "<PROXY_SERVER/><PROXY_PORT>0</PROXY_PORT><FOLDER>www</FOLDER>"
                       "</PUBLISH></PROJECT>");
    TXmlDocument document;
    TDProject existing(folder, document);
    EXPECT_FALSE(existing.PUBLISH.PASSIVE);
    EXPECT_EQ(existing.PUBLISH.PROTOCOL, "FTP");
    WriteFileBytes(existing.HTMLPath() + "a.htm", "<html>\r\n</html>\r\n");
    WriteFileBytes(existing.HTMLPath() + "b.gif", std::string("GIF89a\0\x01\xff", 9));
    TRecordingView view;
    TPublishRun run(existing, view);
    view.Run = &run;
    run.Show();
    ASSERT_EQ(run.Publish(), TPublishOutcome::Finished);
    server.Finish();
    EXPECT_EQ(server.ScriptEnd(), "");

    TStrings commands = server.Commands();
    ASSERT_EQ(commands.size(), 9u);
    for (std::size_t i : {5u, 7u}) {
        unsigned p1 = 0, p2 = 0;
        ASSERT_EQ(std::sscanf(commands[i].c_str(), "PORT 127,0,0,1,%u,%u", &p1, &p2), 2)
            << commands[i];
        EXPECT_EQ(commands[i], "PORT 127,0,0,1," + std::to_string(p1) + "," + std::to_string(p2));
        commands[i] = "PORT";
    }
    TStrings stored = StorCommands(server);
    EXPECT_EQ(commands, (TStrings{"USER web", "PASS pw", "TYPE I", "SYST", "CWD www", "PORT",
                                  "STOR " + stored.at(0), "PORT", "STOR " + stored.at(1)}));
    std::sort(stored.begin(), stored.end());
    EXPECT_EQ(stored, (TStrings{"a.htm", "b.gif"}));
    for (const auto& [name, data] : server.Files())
        EXPECT_EQ(data, ReadFileBytes(existing.HTMLPath() + name)) << name;
}

// A keyring that could not be read when the dialog was shown leaves the password field
// empty; an OK then (to change the folder, say) does not take that for an emptied password
// and keeps the keyring's. Emptied after the keyring was read, it goes.
TEST_F(PublishRunTest, AKeyringThatCouldNotBeReadKeepsItsPasswordOnOk) {
    TMemoryKeyring keyring;
    Run->Keyring = &keyring;
    ShowFor(21);
    Run->Typed.Password = "s3cret";
    ASSERT_TRUE(Run->Store());
    const std::string key = "FTP 127.0.0.1 21 web";
    ASSERT_EQ(keyring.Items.at(key), "s3cret");

    keyring.FindFails = true;
    Run->Show();
    EXPECT_EQ(Run->Typed.Password, "");
    Run->Typed.Folder = "www";
    ASSERT_TRUE(Run->Store());
    EXPECT_EQ(keyring.Items.at(key), "s3cret");
    EXPECT_EQ(Stored().PASSWORD, "");
    EXPECT_EQ(Stored().FOLDER, "www");
    EXPECT_EQ(Run->KeyringNote, "");

    keyring.FindFails = false;
    Run->Show();
    EXPECT_EQ(Run->Typed.Password, "s3cret");
    Run->Typed.Password.clear();
    ASSERT_TRUE(Run->Store());
    EXPECT_EQ(keyring.Items.count(key), 0u);
    EXPECT_EQ(Stored().PASSWORD, "");
}

TEST_F(PublishRunTest, AFailureAtTheThirdFileAndASecondRunThatSendsTheRest) {
    for (const char* name : {"a.htm", "b.htm", "c.htm", "d.htm", "e.htm"})
        AddFile(name, 700);
    {
        TFakeFtpServer server(Uploads(5, 3));
        ShowFor(server.Port());
        EXPECT_EQ(Run->Publish(), TPublishOutcome::Failed);
        server.Finish();
        EXPECT_THAT(StorCommands(server), ElementsAre("a.htm", "b.htm", "c.htm"));
    }
    EXPECT_THAT(Statuses(), ElementsAre("Success", "Success", "", "", ""));
    const TStrings tail(View.Events.end() - 6, View.Events.end());
    EXPECT_EQ(tail,
              (TStrings{"progress 48", "status Upload c.htm (1K) ...",
                        "message FTP upload timeout!\nThe server refused the file \"c.htm\" (it "
                        "replied \"553 Could not create file\").",
                        "status ", "progress 0", "buttons POC"}));
    EXPECT_THAT(Run->LastError, HasSubstr("553 Could not create file"));
    EXPECT_EQ(Run->StatusLine, "");

    View.Events.clear();
    TFakeFtpServer again(Uploads(3));
    Run->Typed.Port = std::to_string(again.Port());
    EXPECT_EQ(Run->Publish(), TPublishOutcome::Finished);
    again.Finish();
    EXPECT_THAT(StorCommands(again), ElementsAre("c.htm", "d.htm", "e.htm"));
    EXPECT_THAT(Statuses(), ElementsAre("Success", "Success", "Success", "Success", "Success"));
    TStrings progress;
    for (const std::string& e : View.Events)
        if (e.rfind("progress ", 0) == 0)
            progress.push_back(e.substr(9));
    EXPECT_THAT(progress, ElementsAre("10", "20", "43", "66", "90", "100"));

    // A new showing starts the statuses afresh.
    Run->Show();
    EXPECT_THAT(Statuses(), ElementsAre("", "", "", "", ""));
}

TEST_F(PublishRunTest, ConnectAndFolderFailuresEndTheRun) {
    struct TCase {
        const char* Name;
        TFakeFtpServer::TScript Script;
        std::string Folder;
        std::string Message;
        std::string Detail;
        TStrings Events; // after "progress 10"
    };
    const TCase cases[] = {
        {"greeting refused",
         [](TFakeFtpSession& s) {
             s.Reply("421 Busy");
             s.WaitClosed();
         },
         "",
         "FTP cannot connect!",
         "421 Busy",
         {"status Connect FTP Server...",
          "message FTP cannot connect!\nThe server 127.0.0.1:PORT turned the connection away (it "
          "replied \"421 Busy\").",
          "status ", "progress 0", "buttons POC"}},
        {"folder missing",
         [](TFakeFtpSession& s) {
             s.Login();
             s.Answer("550 No such folder");
             s.WaitClosed();
         },
         "nowhere",
         "FTP upload timeout!",
         "CWD nowhere",
         {"status Connect FTP Server...", "progress 20", "status Change Folder...",
          "message FTP upload timeout!\nThe folder \"nowhere\" does not exist on the server or "
          "cannot be entered.",
          "status ", "progress 0", "buttons POC"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        AddFile("a.htm", 10);
        TFakeFtpServer server(c.Script);
        ShowFor(server.Port(), c.Folder);
        EXPECT_EQ(Run->Publish(), TPublishOutcome::Failed);
        server.Finish();
        EXPECT_EQ(server.ScriptEnd(), ""); // the client closed the control connection
        TStrings events(View.Events.begin() + 4, View.Events.end());
        TStrings expected = c.Events;
        for (std::string& e : expected)
            if (std::size_t at = e.find(":PORT"); at != std::string::npos)
                e.replace(at + 1, 4, std::to_string(server.Port()));
        EXPECT_EQ(events, expected);
        EXPECT_THAT(Run->LastError, HasSubstr(c.Detail));
        EXPECT_TRUE(!Run->LastTransport() || !Run->LastTransport()->Connected());
        EXPECT_THAT(Statuses(), ElementsAre(""));
    }
}

TEST_F(PublishRunTest, TheProxySettingsReachTheClient) {
    TFakeFtpServer server(Uploads(0));
    ShowFor(server.Port());
    Run->Typed.UseProxy = true;
    Run->Typed.ProxyServer = "proxy.lan";
    Run->Typed.ProxyPort = "3128";
    EXPECT_EQ(Run->Publish(), TPublishOutcome::Finished);
    EXPECT_EQ(Run->Settings.ProxyHost, "proxy.lan");
    EXPECT_EQ(Run->Settings.ProxyPort, 3128);

    TFakeFtpServer direct(Uploads(0));
    Run->Typed.Port = std::to_string(direct.Port());
    Run->Typed.UseProxy = false;
    EXPECT_EQ(Run->Publish(), TPublishOutcome::Finished);
    EXPECT_EQ(Run->Settings.ProxyHost, "");
    EXPECT_EQ(Run->Settings.ProxyPort, 0);
}

TEST_F(PublishRunTest, ALineBreakInAnyTextSentStopsTheRunBeforeConnecting) {
    struct TCase {
        const char* Name;
        std::string User, Password, Folder, File;
        TStrings Events;
    };
    const std::string dele = "DELE important.htm";
    const char* tail =
        " holds a line break or a NUL character and cannot be sent to the FTP server.";
    const TCase cases[] = {
        {"user name",
         "web\r\n" + dele,
         "pw",
         "",
         "a.htm",
         {std::string("message The user name") + tail, "focus EditUser"}},
        {"password",
         "web",
         "pw\n" + dele,
         "",
         "a.htm",
         {std::string("message The password") + tail, "focus EditPassword"}},
        {"folder",
         "web",
         "pw",
         std::string("www\0x", 5),
         "a.htm",
         {std::string("message The folder") + tail, "focus EditFolder"}},
        {"file name from a homepage name",
         "web",
         "pw",
         "",
         "index\r\n" + dele,
         {"message The file name \"index??" + dele + "\"" + tail, "focus ButtonOK"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        std::filesystem::remove_all(Project->HTMLPath());
        std::filesystem::create_directories(Project->HTMLPath());
        AddFile(c.File, 10);
        // Nothing listens on this port: a connection attempt would fail the run instead.
        ShowFor(1, c.Folder);
        Run->Typed.User = c.User;
        Run->Typed.Password = c.Password;
        EXPECT_EQ(Run->Publish(), TPublishOutcome::Stopped);
        EXPECT_EQ(View.Events, c.Events);
        EXPECT_TRUE(!Run->LastTransport() || !Run->LastTransport()->Connected());
    }
}

TEST_F(PublishRunTest, ACancelledRunNamesTheFileInTransferAndSendsItAgainNextTime) {
    // The view cancels as the second upload starts, as the dialog's Cancel would.
    class TCancellingView : public TRecordingView {
      public:
        void StatusChanged(const std::string& text) override {
            TRecordingView::StatusChanged(text);
            if (Client && text.rfind("Upload b.htm", 0) == 0)
                Client->Cancel();
        }
        TPublishRun* Client = nullptr;
    };
    AddFile("a.htm", 100);
    AddFile("b.htm", 100);
    AddFile("c.htm", 100);
    TCancellingView view;
    TPublishRun run(*Project, view);
    view.Run = &run;
    view.Client = &run;
    {
        TFakeFtpServer server([](TFakeFtpSession& s) {
            s.Login();
            s.Store();
            s.WaitClosed();
        });
        Project->PUBLISH.FTP_SERVER = "127.0.0.1";
        Project->PUBLISH.FTP_PORT = server.Port();
        Project->PUBLISH.USER_NAME = "web";
        Project->PUBLISH.PASSIVE = false;
        Project->PUBLISH.SYNC = false;
        run.Show();
        view.Events.clear();
        EXPECT_EQ(run.Publish(), TPublishOutcome::Failed);
        server.Finish();
        EXPECT_THAT(view.Events,
                    ::testing::Contains("message Publishing cancelled. b.htm was not uploaded."));
        EXPECT_THAT(run.LastError, HasSubstr("cancelled"));
        EXPECT_FALSE(run.LastTransport()->Connected());
        TStrings statuses;
        for (const TPublishRow& row : run.Rows)
            statuses.push_back(row.Status);
        EXPECT_THAT(statuses, ElementsAre("Success", "", ""));
        EXPECT_EQ(StorCommands(server), TStrings{"a.htm"});
    }
    // The next run is not cancelled by the last one's Cancel and sends the rest.
    view.Client = nullptr;
    TFakeFtpServer server(Uploads(2));
    Project->PUBLISH.FTP_PORT = server.Port();
    run.Typed.Port = std::to_string(server.Port());
    EXPECT_EQ(run.Publish(), TPublishOutcome::Finished);
    server.Finish();
    EXPECT_EQ(StorCommands(server), (TStrings{"b.htm", "c.htm"}));
}

TEST_F(PublishRunTest, APassiveRunSaysInTheStatusLineWhenTheServerRefusedPassiveMode) {
    AddFile("a.htm", 100);
    AddFile("b.htm", 100);
    TFakeFtpServer server([](TFakeFtpSession& s) {
        s.Login();
        s.Answer("502 Passive mode is not offered here");
        s.Store();
        s.Store();
        s.WaitClosed();
    });
    ShowFor(server.Port());
    Run->Typed.Passive = true;
    EXPECT_EQ(Run->Publish(), TPublishOutcome::Finished) << Run->LastError;
    server.Finish();
    const std::string notice = " (The server refused passive mode; the files go in active mode.)";
    TStrings statuses;
    for (const std::string& e : View.Events)
        if (e.rfind("status ", 0) == 0)
            statuses.push_back(e.substr(7));
    EXPECT_EQ(statuses,
              (TStrings{"Building Project...", "Connect FTP Server...", "Upload a.htm (0K) ...",
                        "Upload a.htm (0K) ..." + notice, "Upload b.htm (0K) ..." + notice,
                        "Disconnect FTP Server..." + notice, "Finish!" + notice}));
    EXPECT_THAT(StorCommands(server), ElementsAre("a.htm", "b.htm"));
    // Passive mode was tried once, then the session stayed active.
    TStrings commands = server.Commands();
    EXPECT_EQ(std::count(commands.begin(), commands.end(), "PASV"), 1);
    EXPECT_TRUE(Stored().PASSIVE);
}

// A target that publishes the whole site itself: the run hands it the HTML folder and shows
// what it tells; its test's report is the connection test's.
class TWholeSitePublisher : public TSitePublisher {
  public:
    explicit TWholeSitePublisher(TStrings& calls) : Calls(calls) {}
    TConnectionReport Test() override {
        Calls.push_back("test");
        TConnectionReport report;
        report.Lines = {"Reach the repository: works."};
        report.Works = true;
        return report;
    }
    TPublisherTotals Publish(const std::string& siteFolder,
                             const std::function<void(const std::string&)>& status,
                             const std::function<void(int)>& progress) override {
        Calls.push_back("publish " + siteFolder);
        status("Push...");
        progress(50);
        TPublisherTotals totals;
        totals.Succeeded = !Fail;
        totals.Uploaded = 2;
        totals.Error = Fail ? "the remote refused the push" : "";
        totals.Detail = Fail ? "push to main: HTTP 403" : "";
        return totals;
    }
    void Cancel() noexcept override {}
    TStrings& Calls;
    bool Fail = false;
};

TEST_F(PublishRunTest, AWholeSitePublisherIsRunInPlaceOfTheTransport) {
    AddFile("a.htm", 10);
    AddFile("b.htm", 20);
    ShowFor(1);
    TStrings calls;
    bool fail = false;
    TPublishTarget whole;
    whole.Name = "Whole";
    whole.Uses = static_cast<unsigned>(TTargetSetting::Host);
    whole.MakePublisher = [&](const TDPublish& record, const TTransportSettings& settings) {
        calls.push_back("make " + record.PROTOCOL + " " + settings.Host);
        auto publisher = std::make_unique<TWholeSitePublisher>(calls);
        publisher->Fail = fail;
        return publisher;
    };
    Run->TargetOf = [&](const std::string& name) {
        return name == "Whole" ? &whole : FindPublishTarget(name);
    };
    Run->TransportMaker = [](const TTransportSettings&) -> std::unique_ptr<TTransport> {
        ADD_FAILURE() << "a transport was made";
        return nullptr;
    };
    Run->Typed.Protocol = "Whole";
    EXPECT_TRUE(Run->TestConnection());
    EXPECT_THAT(View.Events,
                ::testing::Contains("message Reach the repository: works.\nEverything works."));

    View.Events.clear();
    EXPECT_EQ(Run->Publish(), TPublishOutcome::Finished);
    const std::string html = Project->HTMLPath();
    EXPECT_EQ(calls, (TStrings{"make Whole 127.0.0.1", "test", "make Whole 127.0.0.1",
                               "publish " + html}));
    EXPECT_EQ(Run->StatusLine, "Finish!");
    for (const TPublishRow& row : Run->Rows)
        EXPECT_EQ(row.Status, TPublishRun::SuccessStatus) << row.Name;
    EXPECT_EQ(Run->LastTotals.Uploaded, 2);

    // A failure is told with the publisher's words and leaves Publish enabled.
    fail = true;
    Run->Show();
    View.Events.clear();
    EXPECT_EQ(Run->Publish(), TPublishOutcome::Failed);
    EXPECT_THAT(View.Events,
                ::testing::Contains("message Publishing failed.\nthe remote refused the push"));
    // Its own account is the run's, as a transport's is (not its words a second time).
    EXPECT_EQ(Run->LastError, "push to main: HTTP 403");
    EXPECT_TRUE(Run->CanPublish);
}

TEST_F(PublishRunTest, ATargetWithoutAPasswordKeepsTheStoredOne) {
    ShowFor(1);
    Run->Typed.Protocol = "Folder";
    Run->Typed.Password = "typed";
    Run->Typed.Folder = Dir / "www";
    ASSERT_TRUE(Run->Store());
    TXmlDocument document;
    const TDProject reopened(Project->Folder, document);
    EXPECT_EQ(reopened.PUBLISH.PROTOCOL, "Folder");
    EXPECT_EQ(reopened.PUBLISH.PASSWORD, "pw");
}

TEST_F(PublishRunTest, AnUnknownProtocolStopsTheRunBeforeConnecting) {
    AddFile("a.htm", 10);
    // Nothing listens on this port: a connection attempt would fail the run instead.
    ShowFor(1);
    Run->Typed.Protocol = "Gopher";
    EXPECT_EQ(Run->Publish(), TPublishOutcome::Stopped);
    EXPECT_EQ(View.Events, (TStrings{"message The protocol \"Gopher\" is not one of FTP, FTPS, "
                                     "SFTP, Folder and Git.",
                                     "focus ComboBoxProtocol"}));
    EXPECT_EQ(Run->LastTransport(), nullptr);
    EXPECT_EQ(Stored().PROTOCOL, "Gopher"); // stored as typed, as every text is
}

// ---- A synchronising publish, against the server in memory.

namespace {

class SyncPublishRunTest : public PublishRunTest {
  protected:
    SyncPublishRunTest() {
        Run->TransportMaker = MemoryTransportMaker(Server);
        Run->RetryPauseMs = 1;
    }
    void ShowSync() {
        Project->PUBLISH.FTP_SERVER = "ftp.example.org";
        Project->PUBLISH.USER_NAME = "web";
        Project->PUBLISH.FOLDER = "www";
        Project->PUBLISH.SYNC = true;
        Run->Show();
        View.Events.clear();
    }
    TStrings Kinds() const {
        TStrings kinds;
        for (const TPublishRow& row : Run->Rows)
            kinds.push_back(row.Name + " " + row.Kind + (row.Ticked ? " ticked" : ""));
        return kinds;
    }
    // The server's files but the manifest equal the HTML folder's.
    void ExpectServerEqualsSite() {
        std::map<std::string, std::string> site, published;
        for (const std::string& name : RegularFilesIn(Project->HTMLPath()))
            site[name] = ReadFileBytes(Project->HTMLPath() + name);
        for (const auto& [name, data] : Server.Files)
            if (name != TManifest::FileName)
                published[name] = data;
        EXPECT_EQ(published, site);
    }

    TMemoryServer Server;
};

} // namespace

TEST_F(SyncPublishRunTest, ComparesAsksWithTheSummaryAndSendsOnlyWhatChanged) {
    AddFile("Default.htm", 2000);
    AddFile("Column1.htm", 600);
    AddFile("Column2.htm", 700);
    ShowSync();
    EXPECT_TRUE(Project->PUBLISH.SYNC);
    EXPECT_EQ(Run->Publish(), TPublishOutcome::Finished) << Run->LastError;
    EXPECT_THAT(View.Events, ::testing::Contains("confirm Publish your website?\n"
                                                 "3 to upload (3 KB), 0 to delete, 0 unchanged"));
    // The window shows the summary too, while it asks.
    EXPECT_THAT(View.Events,
                ::testing::Contains("status 3 to upload (3 KB), 0 to delete, 0 unchanged"));
    EXPECT_THAT(Kinds(), ElementsAre("Column1.htm New ticked", "Column2.htm New ticked",
                                     "Default.htm New ticked"));
    EXPECT_THAT(Statuses(), ElementsAre("Success", "Success", "Success"));
    EXPECT_EQ(Run->StatusLine, "Finish!");
    EXPECT_EQ(Run->Progress, 100);
    EXPECT_EQ(Run->LastTotals.Uploaded, 3);
    ExpectServerEqualsSite();

    // A new showing: one file changed, one gone, one new.
    AddFile("Column1.htm", 650);
    std::filesystem::remove(Project->HTMLPath() + "Column2.htm");
    AddFile("Column3.htm", 100);
    ShowSync();
    EXPECT_FALSE(Run->Compared());
    EXPECT_EQ(Run->Compare(), TPublishOutcome::Finished);
    EXPECT_TRUE(Run->Compared());
    EXPECT_THAT(Kinds(), ElementsAre("Column1.htm Changed ticked", "Column3.htm New ticked",
                                     "Default.htm Unchanged", "Column2.htm Delete ticked"));
    EXPECT_EQ(Run->PlanSummary, "2 to upload (1 KB), 1 to delete, 1 unchanged");
    EXPECT_EQ(Run->StatusLine, Run->PlanSummary);
    EXPECT_THAT(View.Events, ::testing::Contains("rows"));
    // The owner sends the unchanged file again and keeps the deleted one.
    Run->Rows[2].Ticked = true;
    Run->Rows[3].Ticked = false;
    Server.ClearOperations();
    View.Events.clear();
    EXPECT_EQ(Run->Publish(), TPublishOutcome::Finished) << Run->LastError;
    EXPECT_THAT(View.Events, ::testing::Contains("confirm Publish your website?\n"
                                                 "3 to upload (3 KB), 0 to delete, 0 unchanged"));
    // The comparison's connection goes on; of the four, two more are made for three files.
    EXPECT_EQ(Server.Count("CONNECT"), 2);
    EXPECT_EQ(Server.Count("UPLOAD .corvane-part-Default.htm"), 1);
    EXPECT_EQ(Server.Count("DELETE Column2.htm"), 0);
    EXPECT_THAT(Statuses(), ElementsAre("Success", "Success", "Success", ""));
    EXPECT_EQ(Server.Files.count("Column2.htm"), 1u);
    EXPECT_EQ(TManifest::Parse(Server.Files[TManifest::FileName]).Files.count("Column2.htm"), 1u);

    // The next showing offers it again; now it goes.
    ShowSync();
    EXPECT_EQ(Run->Publish(), TPublishOutcome::Finished) << Run->LastError;
    EXPECT_THAT(Statuses(), ElementsAre("", "", "", "Deleted"));
    ExpectServerEqualsSite();
}

TEST_F(SyncPublishRunTest, ADeletionTheServerCannotCheckShowsAsNotCheckedAndComesAgain) {
    AddFile("Default.htm", 2000);
    AddFile("Column1.htm", 600);
    ShowSync();
    ASSERT_EQ(Run->Publish(), TPublishOutcome::Finished) << Run->LastError;
    std::filesystem::remove(Project->HTMLPath() + "Column1.htm");
    // Neither sizes nor a listing: whether the file went cannot be seen.
    Server.TellsSize = false;
    Server.Lists = false;
    ShowSync();
    EXPECT_EQ(Run->Publish(), TPublishOutcome::Finished) << Run->LastError;
    EXPECT_THAT(Statuses(), ElementsAre("", TPublishRun::UncheckedStatus));
    EXPECT_EQ(Run->LastTotals.DeletesUnchecked, 1);
    EXPECT_EQ(Run->LastTotals.Deleted, 0);
    // The next showing offers it again; a server that tells sizes shows it gone.
    Server.TellsSize = true;
    ShowSync();
    EXPECT_EQ(Run->Publish(), TPublishOutcome::Finished) << Run->LastError;
    EXPECT_THAT(Statuses(), ElementsAre("", "Deleted"));
    ExpectServerEqualsSite();
}

// Unticking "Only send what changed" after a comparison: the rows are the plain ones again,
// each ticked unless the owner unticked it, and nothing is read from or sent to the server.
TEST_F(SyncPublishRunTest, ForgettingTheComparisonGivesThePlainRowsBackWithoutTheServer) {
    AddFile("Default.htm", 2000);
    AddFile("Column1.htm", 600);
    AddFile("Column2.htm", 700);
    ShowSync();
    ASSERT_EQ(Run->Publish(), TPublishOutcome::Finished) << Run->LastError;
    AddFile("Column1.htm", 650);
    AddFile("Column3.htm", 100);
    std::filesystem::remove(Project->HTMLPath() + "Column2.htm");
    ShowSync();
    ASSERT_EQ(Run->Compare(), TPublishOutcome::Finished);
    ASSERT_THAT(Kinds(), ElementsAre("Column1.htm Changed ticked", "Column3.htm New ticked",
                                     "Default.htm Unchanged", "Column2.htm Delete ticked"));
    // A manifest the server garbled: the note comes before the summary in the window.
    {
        const std::string manifest = Server.Files[TManifest::FileName];
        Server.Files[TManifest::FileName] = "<html>\n";
        ShowSync();
        ASSERT_EQ(Run->Compare(), TPublishOutcome::Finished);
        EXPECT_EQ(Run->StatusLine,
                  "The manifest on the server cannot be read: The manifest's line 1 is not "
                  "\"corvane-manifest 1\"; 3 to upload (3 KB), 0 to delete, 0 unchanged");
        Server.Files[TManifest::FileName] = manifest;
        ShowSync();
        ASSERT_EQ(Run->Compare(), TPublishOutcome::Finished);
    }
    // The owner unticks a new file: that stays unticked; the unchanged one is ticked again.
    Run->Rows[1].Ticked = false;
    Server.ClearOperations();
    Run->ForgetComparison();
    EXPECT_FALSE(Run->Compared());
    EXPECT_EQ(Run->PlanSummary, "");
    EXPECT_EQ(Run->Failures, 0);
    EXPECT_THAT(Kinds(), ElementsAre("Column1.htm  ticked", "Column3.htm ", "Default.htm  ticked"));
    EXPECT_TRUE(Server.Operations().empty());
    // Comparing again finds the same plan, with the owner's choice kept.
    ASSERT_EQ(Run->Compare(), TPublishOutcome::Finished);
    EXPECT_THAT(Kinds(), ElementsAre("Column1.htm Changed ticked", "Column3.htm New",
                                     "Default.htm Unchanged", "Column2.htm Delete ticked"));
}

TEST_F(SyncPublishRunTest, FailuresAreCountedAndRetryFailedSendsOnlyThose) {
    AddFile("a.htm", 100);
    AddFile("b.htm", 200);
    AddFile("c.htm", 300);
    int refused = 0;
    Server.Fault = [&](const std::string& op, const std::string& name, int) {
        if (op == "UPLOAD" && name == ".corvane-part-b.htm" && refused++ == 0)
            throw RefusedReply(553, name);
    };
    ShowSync();
    EXPECT_EQ(Run->Publish(), TPublishOutcome::Failed);
    EXPECT_EQ(Run->Failures, 1);
    EXPECT_THAT(View.Events,
                ::testing::Contains("message 1 file could not be published. Retry Failed tries "
                                    "them again."));
    EXPECT_THAT(Statuses(), ElementsAre("Success", "Failed", "Success"));
    EXPECT_THAT(Run->LastError, HasSubstr("b.htm"));
    EXPECT_TRUE(Run->CanPublish);
    EXPECT_EQ(Server.Files.count(TManifest::FileName), 0u);

    EXPECT_TRUE(Run->RetryFailed());
    EXPECT_THAT(Kinds(), ElementsAre("a.htm New", "b.htm New ticked", "c.htm New"));
    EXPECT_EQ(Run->PlanSummary, "1 to upload (0 KB), 0 to delete, 0 unchanged");
    Server.ClearOperations();
    EXPECT_EQ(Run->Publish(), TPublishOutcome::Finished) << Run->LastError;
    EXPECT_EQ(Server.Count("UPLOAD .corvane-part-"), 2); // b.htm and the manifest
    EXPECT_THAT(Statuses(), ElementsAre("Success", "Success", "Success"));
    EXPECT_EQ(Run->Failures, 0);
    EXPECT_FALSE(Run->RetryFailed());
    ExpectServerEqualsSite();
    EXPECT_EQ(TManifest::Parse(Server.Files[TManifest::FileName]).Files.size(), 3u);
}

TEST_F(SyncPublishRunTest, ManyDeletionsAreAskedAboutAndADeclineDeletesNothing) {
    for (int i = 0; i < 60; ++i)
        AddFile("Old" + std::to_string(i) + ".htm", 10);
    ShowSync();
    ASSERT_EQ(Run->Publish(), TPublishOutcome::Finished) << Run->LastError;
    for (int i = 0; i < 60; ++i)
        std::filesystem::remove(Project->HTMLPath() + "Old" + std::to_string(i) + ".htm");
    AddFile("Default.htm", 10);
    for (bool answer : {false, true}) {
        SCOPED_TRACE(answer);
        ShowSync();
        // The first confirmation is OK; the delete question gets the answer.
        int asked = 0;
        struct TView : public TRecordingView {
            int* Asked;
            bool DeleteAnswer;
            bool Confirm(const std::string& question) override {
                Events.push_back("confirm " + question);
                return ++*Asked == 1 || DeleteAnswer;
            }
        } view;
        view.Asked = &asked;
        view.DeleteAnswer = answer;
        TPublishRun run(*Project, view);
        run.TransportMaker = MemoryTransportMaker(Server);
        run.Show();
        EXPECT_EQ(run.Publish(), TPublishOutcome::Finished) << run.LastError;
        EXPECT_THAT(view.Events,
                    ::testing::Contains("confirm Delete 60 files that the site no longer has?"));
        EXPECT_EQ(run.LastTotals.Deleted, answer ? 60 : 0);
        EXPECT_EQ(run.LastTotals.DeletesHeldBack, answer ? 0 : 60);
    }
    ExpectServerEqualsSite();
}

TEST_F(SyncPublishRunTest, CancelEndsASynchronisingRunWithinASecondAndKeepsTheOldManifest) {
    for (int i = 0; i < 6; ++i)
        AddFile("Page" + std::to_string(i) + ".htm", 100);
    ShowSync();
    ASSERT_EQ(Run->Publish(), TPublishOutcome::Finished) << Run->LastError;
    const std::string manifest = Server.Files[TManifest::FileName];
    for (int i = 0; i < 6; ++i)
        AddFile("Page" + std::to_string(i) + ".htm", 200);
    Server.UploadMs = 60000;
    ShowSync();
    std::thread canceller([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        Run->Cancel();
    });
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(Run->Publish(), TPublishOutcome::Failed);
    const auto took = std::chrono::steady_clock::now() - started;
    canceller.join();
    EXPECT_LT(took, std::chrono::milliseconds(1500));
    EXPECT_THAT(View.Events, ::testing::Contains("message Publishing cancelled."));
    EXPECT_TRUE(Run->CanPublish);
    EXPECT_EQ(Server.Files[TManifest::FileName], manifest);
    // The next run sends them.
    Server.UploadMs = 0;
    EXPECT_EQ(Run->Publish(), TPublishOutcome::Finished) << Run->LastError;
    ExpectServerEqualsSite();
}

// ---- Whose site is on the server, and the lock.

namespace {

constexpr std::int64_t FixedNow = 1800000000;

// A manifest listing nothing, written by the copy id at the time at.
std::string ManifestBy(const std::string& id, std::int64_t at) {
    TManifest manifest;
    manifest.PublisherId = id;
    manifest.PublishedAt = at;
    return manifest.Text();
}

} // namespace

TEST_F(SyncPublishRunTest, ASiteFromAnotherCopyIsAskedAboutBeforeAnythingIsSent) {
    AddFile("Default.htm", 500);
    const std::string place = "FTP://web@ftp.example.org:0/www";
    const std::string other = "The site on the server was published from another copy of this "
                              "project on " +
                              FormatDateTime(FixedNow - 3600) + ". Publish this copy over it?";
    struct TCase {
        const char* What;
        std::string Manifest; // none on the server when empty
        std::string ProjectId;
        std::string LastPublished;
        bool Asked;
    };
    const TCase cases[] = {
        {"no manifest", "", "", "", false},
        {"a manifest of the earlier release", "corvane-manifest 1\n", "", "", false},
        {"another copy's", ManifestBy("fedcba9876543210", FixedNow - 3600), "0123456789abcdef",
         TManifest::TimeText(FixedNow - 3600) + " " + place, true},
        {"another copy's, this one without an id", ManifestBy("fedcba9876543210", FixedNow - 3600),
         "", "", true},
        {"this copy's, as it wrote it", ManifestBy("0123456789abcdef", FixedNow - 3600),
         "0123456789abcdef",
         "2026-01-01T00:00:00Z FTP://web@elsewhere:21/www\n" +
             TManifest::TimeText(FixedNow - 3600) + " " + place,
         false},
        {"this copy's id at another time (a copy of the folder published)",
         ManifestBy("0123456789abcdef", FixedNow - 3600), "0123456789abcdef",
         TManifest::TimeText(FixedNow - 7200) + " " + place, true},
        {"this copy's id, its time known for another place only",
         ManifestBy("0123456789abcdef", FixedNow - 3600), "0123456789abcdef",
         TManifest::TimeText(FixedNow - 3600) + " FTP://web@ftp.example.org:0/other", true},
    };
    for (const TCase& c : cases) {
        for (const bool answer : {false, true}) {
            SCOPED_TRACE(std::string(c.What) + (answer ? ", yes" : ", no"));
            Server.Files.clear();
            Server.ClearOperations();
            if (!c.Manifest.empty())
                Server.Files[TManifest::FileName] = c.Manifest;
            Project->PUBLISH.PROJECT_ID = c.ProjectId;
            Project->PUBLISH.LAST_PUBLISHED = c.LastPublished;
            Run = std::make_unique<TPublishRun>(*Project, View);
            View.Run = Run.get();
            Run->TransportMaker = MemoryTransportMaker(Server);
            Run->Clock = [] { return FixedNow; };
            ShowSync();
            View.Answer = answer;
            const TPublishOutcome outcome = Run->Publish();
            const bool asked = std::find(View.Events.begin(), View.Events.end(),
                                         "confirm " + other) != View.Events.end();
            EXPECT_EQ(asked, c.Asked);
            if (!answer) {
                EXPECT_EQ(outcome, TPublishOutcome::Cancelled);
                EXPECT_EQ(Server.Count("MKD"), 0);
                EXPECT_EQ(Server.SiteUploads(), 0);
                continue;
            }
            ASSERT_EQ(outcome, TPublishOutcome::Finished) << Run->LastError;
            ExpectServerEqualsSite();
            // The manifest names this copy now, which keeps the time it wrote there.
            const TDPublish stored = Stored();
            EXPECT_THAT(stored.PROJECT_ID, ::testing::MatchesRegex("[0-9a-f]{16}"));
            if (!c.ProjectId.empty()) {
                EXPECT_EQ(stored.PROJECT_ID, c.ProjectId);
            }
            const TManifest written = TManifest::Parse(Server.Files[TManifest::FileName]);
            EXPECT_EQ(written.PublisherId, stored.PROJECT_ID);
            EXPECT_EQ(written.PublishedAt, FixedNow);
            EXPECT_EQ(stored.LAST_PUBLISHED.substr(0, stored.LAST_PUBLISHED.find('\n')),
                      TManifest::TimeText(FixedNow) + " " + place);
            // The next comparison finds its own site.
            ShowSync();
            ASSERT_EQ(Run->Compare(), TPublishOutcome::Finished);
            EXPECT_EQ(Run->OtherCopyNote, "");
        }
    }
}

TEST_F(SyncPublishRunTest, ASiteOfThisIdAtAnotherTimeIsAskedAboutOnceWhenNothingIsToSend) {
    // A copy of the folder, which shares the id, published this very site an hour later.
    AddFile("Default.htm", 500);
    Run->Clock = [] { return FixedNow - 3600; };
    ShowSync();
    ASSERT_EQ(Run->Publish(), TPublishOutcome::Finished) << Run->LastError;
    TManifest later = TManifest::Parse(Server.Files[TManifest::FileName]);
    later.PublishedAt = FixedNow;
    Server.Files[TManifest::FileName] = later.Text();
    for (const bool asked : {true, false}) {
        SCOPED_TRACE(asked ? "the first publish" : "the next one");
        ShowSync();
        View.Answer = true;
        ASSERT_EQ(Run->Publish(), TPublishOutcome::Finished) << Run->LastError;
        EXPECT_EQ(std::any_of(View.Events.begin(), View.Events.end(),
                              [](const std::string& e) {
                                  return e.rfind("confirm The site on the server", 0) == 0;
                              }),
                  asked);
        EXPECT_EQ(Server.SiteUploads(), 1);
    }
}

TEST_F(SyncPublishRunTest, ALockIsToldAndOneLeftBehindIsBrokenOnlyWhenTheOwnerSaysSo) {
    AddFile("Default.htm", 500);
    const TLockOwner young{"elsewhere", 17, FixedNow - 60};
    const TLockOwner old{"elsewhere", 17, FixedNow - 3600};
    struct TCase {
        const char* What;
        TLockOwner Owner;
        std::optional<bool> BreakLock;
        bool Answer;
        bool Asked;
        std::string Message; // empty: published
    };
    const TCase cases[] = {
        {"a lock in use", young, std::nullopt, true, false, TRemoteLock::RunningMessage(young)},
        {"a lock in use, --break-lock", young, true, true, false,
         TRemoteLock::RunningMessage(young)},
        {"a lock left behind, the owner says yes", old, std::nullopt, true, true, ""},
        {"a lock left behind, the owner says no", old, std::nullopt, false, true,
         TRemoteLock::LeftMessage(old)},
        {"a lock left behind, --break-lock", old, true, false, false, ""},
        {"a lock left behind, not to be broken", old, false, true, false,
         TRemoteLock::LeftMessage(old)},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        Server.Files.clear();
        Server.ClearOperations();
        Server.Folders = {TRemoteLock::FolderName};
        Server.Files[TRemoteLock::OwnerPath] = TRemoteLock::OwnerText(c.Owner);
        ShowSync(); // the settings
        // Yes to publishing; the answer of the case to the lock's question.
        class TLockView : public TRecordingView {
          public:
            bool Confirm(const std::string& question) override {
                Events.push_back("confirm " + question);
                return question.rfind("Publish your website?", 0) == 0 || Answer;
            }
        } view;
        view.Run = Run.get();
        view.Answer = c.Answer;
        TPublishRun run(*Project, view);
        run.TransportMaker = MemoryTransportMaker(Server);
        run.Clock = [] { return FixedNow; };
        run.BreakLock = c.BreakLock;
        run.Show();
        const TPublishOutcome outcome = run.Publish();
        const bool asked =
            std::find(view.Events.begin(), view.Events.end(),
                      "confirm " + TRemoteLock::BreakQuestion(c.Owner)) != view.Events.end();
        EXPECT_EQ(asked, c.Asked);
        if (c.Message.empty()) {
            EXPECT_EQ(outcome, TPublishOutcome::Finished) << run.LastError;
            EXPECT_TRUE(Server.Folders.empty());
        } else {
            EXPECT_EQ(outcome, TPublishOutcome::Failed);
            EXPECT_THAT(view.Events, ::testing::Contains("message " + c.Message));
            EXPECT_EQ(run.LastError, c.Message);
            EXPECT_EQ(Server.SiteUploads(), 0);
            EXPECT_EQ(Server.Files[TRemoteLock::OwnerPath], TRemoteLock::OwnerText(c.Owner));
        }
    }
}

TEST_F(SyncPublishRunTest, AServerChangedSinceTheComparisonIsComparedAgainOnTheNextPublish) {
    AddFile("Default.htm", 500);
    ShowSync();
    ASSERT_EQ(Run->Compare(), TPublishOutcome::Finished);
    // Another publish meanwhile.
    Server.Files[TManifest::FileName] = ManifestBy("fedcba9876543210", FixedNow - 10);
    EXPECT_EQ(Run->Publish(), TPublishOutcome::Failed);
    EXPECT_THAT(View.Events, ::testing::Contains(HasSubstr("message The site on the server "
                                                           "changed since it was compared")));
    EXPECT_FALSE(Run->Compared());
    EXPECT_EQ(Server.SiteUploads(), 0);
    EXPECT_TRUE(Server.Folders.empty());
    // Compared anew: the other copy's site is asked about, then replaced.
    View.Events.clear();
    EXPECT_EQ(Run->Publish(), TPublishOutcome::Finished) << Run->LastError;
    EXPECT_THAT(View.Events, ::testing::Contains(HasSubstr("confirm The site on the server was "
                                                           "published from another copy")));
    ExpectServerEqualsSite();
}

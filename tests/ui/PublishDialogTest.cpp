// The Publish dialog: its controls, validation and messages, and publish runs against a real
// FTP server (pyftpdlib on 127.0.0.1) and a scripted one: every row "Success", failures that
// leave the dialog usable, and a window that keeps painting while a file is on its way.

#include "UiTestSupport.h"

#include "app/Startup.h"
#include "platform/Locale.h"
#include "publish/ChildProcess.h"
#include "publish/FakeFtpServer.h"
#include "publish/Manifest.h"
#include "publish/PublishRun.h"
#include "publish/PyFtpdServer.h"
#include "publish/RemoteLock.h"
#include "publish/SshServer.h"
#include "publish/TestCertificates.h"
#include "ui/FMain.h"
#include "ui/FPublish.h"
#include "ui/Mnemonics.h"
#include "ui/Workspace.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QTimer>
#include <QTreeWidget>

#include <netinet/in.h>
#include <sys/socket.h>

#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

namespace {

// The rows of the file list: name, size, status and tick.
QStringList Rows(const QTreeWidget* list) {
    QStringList rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list->topLevelItem(i);
        rows << item->text(0) + " | " + item->text(1) + " | " + item->text(2) + " | " +
                    (item->checkState(0) == Qt::Checked ? "ticked" : "unticked");
    }
    return rows;
}

int RowOf(const QTreeWidget* list, const QString& name) {
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        if (list->topLevelItem(i)->text(0) == name)
            return i;
    return -1;
}

// Counts paint events of a widget.
class TPaintCounter : public QObject {
  public:
    int Count = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++Count;
        return false;
    }
};

// A port on 127.0.0.1 on which nothing listens.
int ClosedPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

// An open project whose HTML folder holds a few files, and the dialog.
struct TFixture {
    TFixture() : Workspace(Temp.Path() + "/"), Form(Workspace, Prompter) {
        SetThousandsSeparator(",");
        MakeFolder(Temp / "Projects");
        Folder = Workspace.ProjectsFolder() + "Site";
        MakeProject(Folder, {{"News", {"One"}}});
        Workspace.Project = std::make_unique<TDProject>(Folder, Workspace.XMLDoc);
        Html = Workspace.Project->HTMLPath();
        Files = {{"Default.htm", "<html>home</html>\r\n"},
                 {"Column1.htm", std::string(1536, 'c')},
                 {"logo.gif", std::string(600, '\x01') + std::string(3, '\0')},
                 {"File1.htm", std::string(2500, 'f')}};
        for (const auto& [name, bytes] : Files)
            WriteFileBytes(Html + name, bytes);
        // Neither a hidden file nor a sub-folder is listed.
        WriteFileBytes(Html + ".hidden", "x");
        MakeFolder(Html + "sub");
        WriteFileBytes(Html + "sub/inner.htm", "y");
    }
    TDPublish& Record() { return Workspace.Project->PUBLISH; }
    TDPublish Saved() {
        TXmlDocument document;
        TDProject project(Folder, document);
        return project.PUBLISH;
    }
    void Show() {
        Form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&Form));
    }
    // Settings for a server on 127.0.0.1.
    void Account(int port, const char* folder) {
        Record().FTP_SERVER = "127.0.0.1";
        Record().FTP_PORT = port;
        Record().USER_NAME = "site";
        Record().PASSWORD = "pa55 word";
        Record().FOLDER = folder;
        // Every ticked file, as a project from before synchronising publishes.
        Record().SYNC = false;
    }
    void Publish(bool confirm = true) {
        Prompter.Answers.push_back(confirm);
        QTest::mouseClick(Form.ButtonPublish, Qt::LeftButton);
    }
    void Untick(const char* name) {
        Form.ListViewFile->topLevelItem(RowOf(Form.ListViewFile, name))
            ->setCheckState(0, Qt::Unchecked);
    }
    QString Enabling() const {
        return QString(Form.ButtonPublish->isEnabled() ? "P" : "-") +
               (Form.ButtonOK->isEnabled() ? "O" : "-") +
               (Form.ButtonCancel->isEnabled() ? "C" : "-");
    }

    TTempFolder Temp;
    TScriptedPrompter Prompter;
    TWorkspace Workspace;
    TFormPublish Form;
    std::string Folder;
    std::string Html;
    std::vector<std::pair<std::string, std::string>> Files;
};

// The FTP server's home, and the server (the test is skipped without pyftpdlib).
struct TServer {
    explicit TServer(const TTempFolder& temp) : Home(temp / "ftphome") {
        MakeFolder(Home);
        const std::string python = PythonWithPyftpdlib();
        if (!python.empty())
            Server =
                std::make_unique<TPyFtpdServer>(python, temp.Path(), Home, "site", "pa55 word");
    }
    int Port() const { return Server ? Server->Port() : 0; }
    std::string Home;
    std::unique_ptr<TPyFtpdServer> Server;
};

#define START_SERVER(server, fixture)                                                              \
    TServer server(fixture.Temp);                                                                  \
    if (!server.Server)                                                                            \
        QSKIP("python3 with pyftpdlib is not installed");                                          \
    QVERIFY2(server.Port() > 0, "the FTP server did not start")

} // namespace

class TPublishDialogTest : public QObject {
    Q_OBJECT

  private slots:
    void controlsAndShow();
    void typingLimitsAndTheProxyBox();
    void validationMessagesAndFocus();
    void okStoresAndCancelDoesNot();
    void theProtocolChoiceSetsPassiveModeAndThePort();
    void aFolderTargetShowsOnlyItsFolderAndPublishesIntoIt();
    void aRepositoryTargetShowsItsFieldsAndPublishesACommit();
    void theSyncBoxAndTheConnectionsLoadAndStore();
    void testConnectionReportsWhatWorksInPlainWords();
    void anUntrustedCertificateIsPutToTheOwnerOnce();
    void publishesEveryTickedFileToARealServer();
    void aSynchronisingRunShowsEachRowsKindAndRetriesWhatFailed();
    void untickingTheSyncBoxShowsThePlainRowsAndTickingComparesAgain();
    void anotherCopysSiteAndALockLeftBehindAreAskedAbout();
    void failuresLeaveTheDialogUsable();
    void windowPaintsAndTakesNoInputWhileAFileUploads();
    void cancelEndsTheRunWithinASecond();
    void theMainWindowBuildsAndShowsTheSite();
    void theTrustQuestionOffersTrustAndCancel();
    void withoutAKeyringTheDialogSaysThePasswordStaysInTheProject();
};

void TPublishDialogTest::controlsAndShow() {
    TFixture f;
    f.Record().FTP_SERVER = "ftp.example.org";
    f.Record().FTP_PORT = 2121;
    f.Record().USER_NAME = "me";
    f.Record().PASSWORD = "secret";
    f.Record().PROXY_SERVER = "proxy";
    f.Record().PROXY_PORT = 8080;
    f.Record().FOLDER = "www";
    f.Show();
    QCOMPARE(f.Form.windowTitle(), QStringLiteral("Publish"));
    QCOMPARE(f.Form.EditFTP->text(), QStringLiteral("ftp.example.org"));
    QCOMPARE(f.Form.EditFTPPort->text(), QStringLiteral("2121"));
    QCOMPARE(f.Form.EditUser->text(), QStringLiteral("me"));
    QCOMPARE(f.Form.EditPassword->text(), QStringLiteral("secret"));
    QVERIFY(!f.Form.CheckBoxProxy->isChecked());
    QCOMPARE(f.Form.EditProxy->text(), QStringLiteral("proxy"));
    QCOMPARE(f.Form.EditProxyPort->text(), QStringLiteral("8080"));
    QCOMPARE(f.Form.EditFolder->text(), QStringLiteral("www"));
    QVERIFY(!f.Form.EditProxy->isEnabled() && !f.Form.EditProxyPort->isEnabled());
    QCOMPARE(f.Form.focusWidget(), f.Form.EditFTP);
    // The password shows a star for each character.
    QCOMPARE(f.Form.EditPassword->echoMode(), QLineEdit::Password);
    QCOMPARE(f.Form.EditPassword->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr,
                                                     f.Form.EditPassword),
             int('*'));
    // The captions of the edits.
    const std::vector<std::pair<QWidget*, const char*>> captions = {
        {f.Form.EditFTP, "FTP Server:"},     {f.Form.EditFTPPort, "FTP Port:"},
        {f.Form.EditUser, "User Name:"},     {f.Form.EditPassword, "Password:"},
        {f.Form.EditProxy, "Proxy Server:"}, {f.Form.EditProxyPort, "Proxy Port:"},
        {f.Form.EditFolder, "Sub Folder:"},  {f.Form.ComboBoxProtocol, "Protocol:"}};
    for (const auto& [edit, caption] : captions) {
        QString found;
        for (QLabel* label : f.Form.findChildren<QLabel*>())
            if (label->buddy() == edit)
                found = WithoutMnemonic(label->text());
        QCOMPARE(found, QString::fromLatin1(caption));
    }
    QCOMPARE(WithoutMnemonic(f.Form.CheckBoxProxy->text()), QStringLiteral("Use Proxy Server"));
    QCOMPARE(WithoutMnemonic(f.Form.ButtonPublish->text()), QStringLiteral("Publish"));
    QCOMPARE(WithoutMnemonic(f.Form.ButtonTest->text()), QStringLiteral("Test Connection"));
    // The protocol: plain FTP, passive as for any new project.
    QStringList protocols;
    for (int i = 0; i < f.Form.ComboBoxProtocol->count(); ++i)
        protocols << f.Form.ComboBoxProtocol->itemText(i);
    QCOMPARE(protocols, QStringList({"FTP", "FTPS (TLS)", "SFTP", "Folder on this computer",
                                     "Git repository"}));
    QCOMPARE(f.Form.ComboBoxProtocol->currentText(), QStringLiteral("FTP"));
    QCOMPARE(WithoutMnemonic(f.Form.CheckBoxPassive->text()), QStringLiteral("Passive mode"));
    QVERIFY(f.Form.CheckBoxPassive->isChecked() && f.Form.CheckBoxPassive->isEnabled());
    QVERIFY(f.Form.ButtonOK->isDefault());

    // The list: the ordinary files of the HTML folder in the listing's order, ticked.
    const QTreeWidgetItem* header = f.Form.ListViewFile->headerItem();
    QCOMPARE(QStringList({header->text(0), header->text(1), header->text(2)}),
             QStringList({"Name", "Size", "Status"}));
    QStringList expected;
    for (const TPublishRow& row : f.Form.Run()->Rows)
        expected << Q(row.Name + " | " + row.Size + " |  | ticked");
    QCOMPARE(Rows(f.Form.ListViewFile), expected);
    QCOMPARE(f.Form.ListViewFile->topLevelItemCount(), 4);
    QStringList sorted = Rows(f.Form.ListViewFile);
    sorted.sort();
    QCOMPARE(sorted, QStringList({"Column1.htm | 2K |  | ticked", "Default.htm | 0K |  | ticked",
                                  "File1.htm | 2K |  | ticked", "logo.gif | 1K |  | ticked"}));
    QCOMPARE(f.Form.LabelPublish->text(), QString());
    QCOMPARE(f.Form.ProgressBar->value(), 0);
    QCOMPARE(f.Form.ProgressBar->maximum(), 100);
    QCOMPARE(f.Enabling(), QStringLiteral("POC"));
    QTest::keyClick(&f.Form, Qt::Key_Escape);

    // With the proxy ticked, its edits are enabled and the proxy server has the focus.
    f.Record().USE_PROXY = true;
    f.Show();
    QVERIFY(f.Form.CheckBoxProxy->isChecked());
    QVERIFY(f.Form.EditProxy->isEnabled() && f.Form.EditProxyPort->isEnabled());
    QCOMPARE(f.Form.focusWidget(), f.Form.EditProxy);
}

void TPublishDialogTest::typingLimitsAndTheProxyBox() {
    TFixture f;
    f.Show();
    const std::vector<std::pair<QLineEdit*, int>> limits = {{f.Form.EditFTP, 128},
                                                            {f.Form.EditUser, 36},
                                                            {f.Form.EditPassword, 36},
                                                            {f.Form.EditProxy, 128},
                                                            {f.Form.EditFolder, 128}};
    QTest::mouseClick(f.Form.CheckBoxProxy, Qt::LeftButton, Qt::NoModifier,
                      QPoint(8, f.Form.CheckBoxProxy->height() / 2));
    QVERIFY(f.Form.CheckBoxProxy->isChecked());
    QVERIFY(f.Form.EditProxy->isEnabled() && f.Form.EditProxyPort->isEnabled());
    QCOMPARE(f.Form.focusWidget(), f.Form.EditProxy);
    for (const auto& [edit, limit] : limits) {
        edit->clear();
        QTest::keyClicks(edit, QString(limit + 5, QChar('9')));
        QCOMPARE(edit->text().size(), limit);
    }
    // The ports take 1 to 65535, digits only.
    for (QLineEdit* port : {f.Form.EditFTPPort, f.Form.EditProxyPort}) {
        const std::vector<std::pair<const char*, const char*>> typed = {
            {"21210", "21210"}, {"65535", "65535"}, {"2x1", "21"}, {"99999", "9999"}};
        for (const auto& [keys, shown] : typed) {
            port->clear();
            QTest::keyClicks(port, QString::fromLatin1(keys));
            QCOMPARE(port->text(), QString::fromLatin1(shown));
        }
    }
    // Unticked again: disabled, and the focus stays where it was.
    f.Form.EditFolder->setFocus();
    QTest::mouseClick(f.Form.CheckBoxProxy, Qt::LeftButton, Qt::NoModifier,
                      QPoint(8, f.Form.CheckBoxProxy->height() / 2));
    QVERIFY(!f.Form.EditProxy->isEnabled() && !f.Form.EditProxyPort->isEnabled());
    QVERIFY(f.Form.focusWidget() != f.Form.EditProxy);
    // A longer stored text is shown whole.
    QTest::keyClick(&f.Form, Qt::Key_Escape);
    f.Record().FOLDER = std::string(200, 'a');
    f.Show();
    QCOMPARE(f.Form.EditFolder->text().size(), 200);
}

void TPublishDialogTest::validationMessagesAndFocus() {
    TFixture f;
    f.Record().FTP_PORT = 21;
    f.Record().PROXY_SERVER = "old proxy";
    f.Record().PROXY_PORT = 3128;
    // Asked before anything is sent, as every file is (a synchronising run compares first).
    f.Record().SYNC = false;
    f.Workspace.Project->Save();
    f.Show();
    const auto files = Snapshot(f.Folder);

    struct Case {
        const char* server;
        const char* port;
        bool proxy;
        const char* proxyPort;
        const char* user;
        const char* call;
        QWidget* focus;
        bool stored;
    };
    const Case cases[] = {
        {"host", "2l", false, "1", "me", "Information: FTP Port is wrong!", f.Form.EditFTPPort,
         false},
        {"host", "21", true, "8o8o", "me", "Information: Proxy Port is wrong!",
         f.Form.EditProxyPort, false},
        {"   ", "21", false, "abc", "me", "Information: Need FTP server.", f.Form.EditFTP, true},
        {"host", "21", false, "abc", " \t", "Information: Need user name.", f.Form.EditUser, true},
        {"host", "$15", false, "", "me", "ConfirmOKCancel: Publish your website?",
         f.Form.ButtonPublish, true},
    };
    for (const Case& c : cases) {
        f.Form.EditFTP->setText(c.server);
        f.Form.EditFTPPort->setText(c.port);
        if (f.Form.CheckBoxProxy->isChecked() != c.proxy)
            f.Form.CheckBoxProxy->click();
        f.Form.EditProxy->setText("new proxy");
        f.Form.EditProxyPort->setText(c.proxyPort);
        f.Form.EditUser->setText(c.user);
        f.Form.ButtonPublish->setFocus();
        f.Publish(false); // the confirmation, when asked, is declined
        f.Prompter.Answers.clear();
        QCOMPARE(f.Prompter.TakeCalls(), QStringList{QString::fromLatin1(c.call)});
        QCOMPARE(f.Form.focusWidget(), c.focus);
        QCOMPARE(f.Enabling(), QStringLiteral("POC"));
        QCOMPARE(f.Form.LabelPublish->text(), QString());
        QVERIFY(f.Form.isVisible());
        if (!c.stored) {
            // Nothing stored, nothing written.
            QCOMPARE(f.Record().FTP_PORT, 21);
            QCOMPARE(f.Record().FTP_SERVER, std::string());
            QVERIFY(Snapshot(f.Folder) == files);
            continue;
        }
        // Stored as typed and saved, whatever the run did next.
        const TDPublish saved = f.Saved();
        QCOMPARE(saved.FTP_SERVER, std::string(c.server));
        QCOMPARE(saved.USER_NAME, std::string(c.user));
        QCOMPARE(saved.FTP_PORT, 21);
        // The proxy unticked: its settings are cleared, letters in its port or not.
        QVERIFY(!saved.USE_PROXY);
        QCOMPARE(saved.PROXY_SERVER, std::string());
        QCOMPARE(saved.PROXY_PORT, 0);
    }
    // "$15" is a valid integer (hexadecimal 15): stored as 21.
    QCOMPARE(f.Saved().FTP_SERVER, std::string("host"));
}

void TPublishDialogTest::okStoresAndCancelDoesNot() {
    TFixture f;
    f.Show();
    f.Form.EditFTP->setText(" ftp.example.org ");
    f.Form.EditFTPPort->setText("2121");
    f.Form.EditUser->setText("me");
    f.Form.EditPassword->setText("pw");
    f.Form.CheckBoxProxy->click();
    f.Form.EditProxy->setText("proxy");
    f.Form.EditProxyPort->setText("8080");
    f.Form.EditFolder->setText("www ");
    // Cancel stores nothing.
    const auto files = Snapshot(f.Folder);
    QTest::mouseClick(f.Form.ButtonCancel, Qt::LeftButton);
    QCOMPARE(f.Form.result(), int(QDialog::Rejected));
    QCOMPARE(f.Record().FTP_SERVER, std::string());
    QVERIFY(Snapshot(f.Folder) == files);

    // OK with a wrong port: the message, the focus, and the dialog stays open.
    f.Show();
    f.Form.EditFTPPort->setText("21x");
    QTest::mouseClick(f.Form.ButtonOK, Qt::LeftButton);
    QCOMPARE(f.Prompter.TakeCalls(), QStringList({"Information: FTP Port is wrong!"}));
    QVERIFY(f.Form.isVisible());
    QCOMPARE(f.Form.focusWidget(), f.Form.EditFTPPort);
    QVERIFY(Snapshot(f.Folder) == files);

    // OK (Enter) stores every field as typed and saves the project.
    f.Form.EditFTP->setText(" ftp.example.org ");
    f.Form.EditFTPPort->setText("2121");
    f.Form.EditUser->setText("me");
    f.Form.EditPassword->setText("pw");
    f.Form.CheckBoxProxy->click();
    f.Form.EditProxy->setText("proxy");
    f.Form.EditProxyPort->setText("8080");
    f.Form.EditFolder->setText("www ");
    QTest::keyClick(f.Form.EditFolder, Qt::Key_Return);
    QCOMPARE(f.Form.result(), int(QDialog::Accepted));
    QVERIFY(f.Prompter.Calls.isEmpty());
    const TDPublish saved = f.Saved();
    QCOMPARE(saved.FTP_SERVER, std::string(" ftp.example.org "));
    QCOMPARE(saved.FTP_PORT, 2121);
    QCOMPARE(saved.USER_NAME, std::string("me"));
    QCOMPARE(saved.PASSWORD, std::string("pw"));
    QVERIFY(saved.USE_PROXY);
    QCOMPARE(saved.PROXY_SERVER, std::string("proxy"));
    QCOMPARE(saved.PROXY_PORT, 8080);
    QCOMPARE(saved.FOLDER, std::string("www "));
}

void TPublishDialogTest::theSyncBoxAndTheConnectionsLoadAndStore() {
    TFixture f;
    // The controls, their captions and their range.
    f.Show();
    QCOMPARE(WithoutMnemonic(f.Form.CheckBoxSync->text()),
             QStringLiteral("Only send what changed"));
    QString caption;
    for (QLabel* label : f.Form.findChildren<QLabel*>())
        if (label->buddy() == f.Form.SpinBoxJobs)
            caption = WithoutMnemonic(label->text());
    QCOMPARE(caption, QStringLiteral("Connections:"));
    QCOMPARE(f.Form.SpinBoxJobs->minimum(), 1);
    QCOMPARE(f.Form.SpinBoxJobs->maximum(), 8);
    f.Form.SpinBoxJobs->setValue(0);
    QCOMPARE(f.Form.SpinBoxJobs->value(), 1);
    f.Form.SpinBoxJobs->setValue(9);
    QCOMPARE(f.Form.SpinBoxJobs->value(), 8);
    QVERIFY(!f.Form.CheckBoxSync->accessibleDescription().isEmpty());
    QVERIFY(!f.Form.SpinBoxJobs->accessibleDescription().isEmpty());
    // Beside passive mode, and Tab goes from one to the other before the server's edits.
    QCOMPARE(f.Form.CheckBoxPassive->nextInFocusChain(), f.Form.CheckBoxSync);
    QCOMPARE(f.Form.CheckBoxSync->nextInFocusChain(), f.Form.SpinBoxJobs);
    QTest::keyClick(&f.Form, Qt::Key_Escape);

    struct TCase {
        bool Sync;
        int Jobs;
        bool Click;
        int Typed;
    };
    // Loaded as the record has them; the connections only with the box ticked; OK stores both
    // into the project on disk.
    const TCase cases[] = {{true, 4, false, 6},
                           {true, 4, true, 2},
                           {false, 3, true, 8},
                           {false, 1, false, 1},
                           {true, 8, true, 5}};
    for (const TCase& c : cases) {
        f.Record().SYNC = c.Sync;
        f.Record().JOBS = c.Jobs;
        f.Show();
        QCOMPARE(f.Form.CheckBoxSync->isChecked(), c.Sync);
        QCOMPARE(f.Form.SpinBoxJobs->value(), c.Jobs);
        QCOMPARE(f.Form.SpinBoxJobs->isEnabled(), c.Sync);
        if (c.Click) {
            QTest::mouseClick(f.Form.CheckBoxSync, Qt::LeftButton);
            QCOMPARE(f.Form.SpinBoxJobs->isEnabled(), !c.Sync);
        }
        const bool sync = c.Sync != c.Click;
        f.Form.SpinBoxJobs->setValue(c.Typed);
        QTest::mouseClick(f.Form.ButtonOK, Qt::LeftButton);
        QCOMPARE(f.Form.result(), int(QDialog::Accepted));
        const TDPublish saved = f.Saved();
        QCOMPARE(saved.SYNC, sync);
        QCOMPARE(saved.JOBS, c.Typed);
        QCOMPARE(f.Record().SYNC, sync);
        QCOMPARE(f.Record().JOBS, c.Typed);
    }
    // Cancel stores neither.
    f.Show();
    QTest::mouseClick(f.Form.CheckBoxSync, Qt::LeftButton);
    f.Form.SpinBoxJobs->setValue(7);
    QTest::mouseClick(f.Form.ButtonCancel, Qt::LeftButton);
    QCOMPARE(f.Form.result(), int(QDialog::Rejected));
    QCOMPARE(f.Saved().SYNC, false);
    QCOMPARE(f.Saved().JOBS, 5);
    // A new project's port, 0, is shown as the protocol's default.
    for (const auto& [protocol, port] : {std::pair{"FTP", "21"}, std::pair{"SFTP", "22"}}) {
        f.Record().PROTOCOL = protocol;
        f.Record().FTP_PORT = 0;
        f.Show();
        QCOMPARE(f.Form.EditFTPPort->text(), QString::fromLatin1(port));
        QTest::mouseClick(f.Form.ButtonCancel, Qt::LeftButton);
    }
}

void TPublishDialogTest::theProtocolChoiceSetsPassiveModeAndThePort() {
    TFixture f;
    f.Record().FTP_PORT = 21;
    f.Show();
    auto choose = [&](int index) { f.Form.ComboBoxProtocol->setCurrentIndex(index); };
    choose(2); // SFTP
    QCOMPARE(f.Form.EditFTPPort->text(), QStringLiteral("22"));
    QVERIFY(!f.Form.CheckBoxPassive->isEnabled());
    choose(1); // FTPS
    QCOMPARE(f.Form.EditFTPPort->text(), QStringLiteral("21"));
    QVERIFY(f.Form.CheckBoxPassive->isEnabled());
    // A port of one's own stays whatever the protocol.
    f.Form.EditFTPPort->setText("2121");
    choose(2);
    QCOMPARE(f.Form.EditFTPPort->text(), QStringLiteral("2121"));
    choose(0);
    QCOMPARE(f.Form.EditFTPPort->text(), QStringLiteral("2121"));
    // OK stores the protocol and passive mode.
    choose(1);
    f.Form.CheckBoxPassive->setChecked(false);
    QTest::mouseClick(f.Form.ButtonOK, Qt::LeftButton);
    QCOMPARE(f.Form.result(), int(QDialog::Accepted));
    QCOMPARE(f.Saved().PROTOCOL, std::string("FTPS"));
    QVERIFY(!f.Saved().PASSIVE);
    // Shown again as stored: an existing project's active mode stays active.
    f.Show();
    QCOMPARE(f.Form.ComboBoxProtocol->currentText(), QStringLiteral("FTPS (TLS)"));
    QVERIFY(!f.Form.CheckBoxPassive->isChecked());
}

void TPublishDialogTest::aFolderTargetShowsOnlyItsFolderAndPublishesIntoIt() {
    TFixture f;
    f.Record().FTP_PORT = 21;
    f.Record().SYNC = true;
    f.Show();
    const std::string www = f.Temp / "www";
    std::filesystem::create_directory(www);
    QWidget* serverControls[] = {f.Form.EditFTP,      f.Form.EditFTPPort,     f.Form.EditUser,
                                 f.Form.EditPassword, f.Form.CheckBoxPassive, f.Form.CheckBoxProxy,
                                 f.Form.EditProxy,    f.Form.EditProxyPort};
    f.Form.ComboBoxProtocol->setCurrentIndex(3);
    for (QWidget* control : serverControls)
        QVERIFY2(control->isHidden(), qPrintable(control->objectName()));
    QVERIFY(!f.Form.EditFolder->isHidden());
    QCOMPARE(WithoutMnemonic(f.Form.LabelFolder->text()), QStringLiteral("Folder:"));
    // Without a folder the run says so, and asks for no server.
    f.Form.EditFolder->clear();
    QTest::mouseClick(f.Form.ButtonPublish, Qt::LeftButton);
    QCOMPARE(f.Prompter.TakeCalls(), QStringList({"Information: Need a folder."}));
    QCOMPARE(f.Saved().PROTOCOL, std::string("Folder"));
    // A folder that is not there: the folder's own words, none of FTP's.
    f.Form.EditFolder->setText(Q(www + "/missing"));
    f.Publish();
    QVERIFY2(f.Prompter.TakeCalls().join("").startsWith(
                 "Information: Publishing into the folder failed!\nThe folder "),
             qPrintable(f.Form.LabelPublish->text()));
    f.Form.EditFolder->setText(Q(www));
    f.Publish();
    QCOMPARE(f.Form.Run()->Failures, 0);
    QCOMPARE(f.Form.LabelPublish->text(), QStringLiteral("Finish!"));
    for (const TPublishRow& row : f.Form.Run()->Rows)
        QCOMPARE(ReadFileBytes(www + "/" + row.Name), ReadFileBytes(f.Html + row.Name));
    // Back to a server: its settings shown again, the port its default.
    f.Form.ComboBoxProtocol->setCurrentIndex(2);
    for (QWidget* control : {f.Form.EditFTP, f.Form.EditFTPPort, f.Form.EditUser})
        QVERIFY(!control->isHidden());
    QCOMPARE(WithoutMnemonic(f.Form.LabelFolder->text()), QStringLiteral("Sub Folder:"));
    QCOMPARE(f.Form.EditFTPPort->text(), QStringLiteral("22"));
}

void TPublishDialogTest::aRepositoryTargetShowsItsFieldsAndPublishesACommit() {
    TFixture f;
    const std::string bare = f.Temp / "site.git";
    if (RunProcess({"git", "init", "-q", "--bare", bare}, "", 20000).ExitCode != 0)
        QSKIP("git is not installed");
    const auto git = [&bare](std::vector<std::string> args) {
        args.insert(args.begin(), {"git", "--git-dir", bare});
        return RunProcess(args, "", 20000).Out;
    };
    TScopedEnvironment cache("XDG_CACHE_HOME", (f.Temp / "cache").c_str());
    f.Record().PROJECT_ID.clear(); // a project from before the ids
    f.Show();
    QWidget* repositoryControls[] = {f.Form.EditRepository, f.Form.ComboBoxBranch,
                                     f.Form.EditAuthorName, f.Form.EditAuthorEmail};
    for (QWidget* control : repositoryControls)
        QVERIFY2(control->isHidden(), qPrintable(control->objectName()));
    f.Form.ComboBoxProtocol->setCurrentIndex(
        f.Form.ComboBoxProtocol->findText(QStringLiteral("Git repository")));
    for (QWidget* control : repositoryControls)
        QVERIFY2(!control->isHidden(), qPrintable(control->objectName()));
    QWidget* serverControls[] = {f.Form.EditFTP,       f.Form.EditFTPPort,  f.Form.CheckBoxPassive,
                                 f.Form.CheckBoxProxy, f.Form.CheckBoxSync, f.Form.SpinBoxJobs};
    for (QWidget* control : serverControls)
        QVERIFY2(control->isHidden(), qPrintable(control->objectName()));
    // A user and a token, for an HTTPS address that asks for them.
    QVERIFY(!f.Form.EditUser->isHidden() && !f.Form.EditPassword->isHidden());
    QStringList branches;
    for (int i = 0; i < f.Form.ComboBoxBranch->count(); ++i)
        branches << f.Form.ComboBoxBranch->itemText(i);
    QStringList offered;
    for (const std::string& branch : FindPublishTarget("Git")->Words.Branches)
        offered << Q(branch);
    QCOMPARE(branches, offered);
    QCOMPARE(offered.value(0), QStringLiteral("gh-pages"));
    QCOMPARE(f.Form.ComboBoxBranch->currentText(), QStringLiteral("gh-pages"));
    QCOMPARE(WithoutMnemonic(f.Form.LabelFolder->text()), QStringLiteral("Folder in the branch:"));

    // Without a repository the run says so; neither a server nor a user is asked for.
    f.Form.EditUser->clear();
    QTest::mouseClick(f.Form.ButtonPublish, Qt::LeftButton);
    QCOMPARE(f.Prompter.TakeCalls(), QStringList({"Information: Need a repository."}));

    const QString address = Q("file://" + bare);
    f.Form.EditRepository->setText(address);
    f.Form.ComboBoxBranch->setCurrentText(QStringLiteral("pages"));
    f.Form.EditAuthorName->setText(QStringLiteral("Ann Miller"));
    f.Form.EditAuthorEmail->setText(QStringLiteral("ann@example.org"));
    f.Form.EditFolder->clear();
    QTest::mouseClick(f.Form.ButtonTest, Qt::LeftButton);
    QCOMPARE(f.Prompter.TakeCalls(),
             QStringList({"Information: Connect to " + address +
                          ": works.\nBranches: none (an empty repository)\nThe branch pages is "
                          "not there yet; the first publish starts it.\nEverything works."}));

    f.Untick("logo.gif"); // the commit holds the ticked files alone
    f.Publish();
    QCOMPARE(f.Prompter.TakeCalls(), QStringList({"ConfirmOKCancel: Publish your website?"}));
    QVERIFY2(f.Form.Run()->LastError.empty(), f.Form.Run()->LastError.c_str());
    QCOMPARE(f.Form.LabelPublish->text(), QStringLiteral("Finish!"));
    for (const QString& row : Rows(f.Form.ListViewFile))
        QVERIFY2(
            row.endsWith(row.startsWith("logo.gif") ? " | New | unticked" : " | Success | ticked"),
            qPrintable(row));
    for (const auto& [name, bytes] : f.Files)
        QCOMPARE(git({"show", "pages:" + name}), name == "logo.gif" ? std::string() : bytes);
    QCOMPARE(git({"log", "-1", "--format=%an <%ae>", "pages"}),
             std::string("Ann Miller <ann@example.org>\n"));
    const TDPublish saved = f.Saved();
    QCOMPARE(saved.PROTOCOL + " " + saved.REPOSITORY + " " + saved.BRANCH + " " + saved.AUTHOR_NAME,
             std::string("Git file://") + bare + " pages Ann Miller");
    // The manifest in the branch names this copy of the project, which got its id.
    QVERIFY(!saved.PROJECT_ID.empty());
    QVERIFY(git({"show", "pages:.corvane-manifest"}).find(saved.PROJECT_ID) != std::string::npos);

    QTest::mouseClick(f.Form.ButtonTest, Qt::LeftButton);
    QCOMPARE(f.Prompter.TakeCalls(),
             QStringList({"Information: Connect to " + address +
                          ": works.\nBranches: pages\nThe branch pages is there.\nEverything "
                          "works."}));

    // Before the question the list shows what the commit changes: one page, nothing else.
    WriteFileBytes(f.Html + "Default.htm", "<html>new home</html>\r\n");
    f.Form.FormShow();
    f.Publish(false);
    QCOMPARE(f.Prompter.TakeCalls(), QStringList({"ConfirmOKCancel: Publish your website?"}));
    for (const QString& row : Rows(f.Form.ListViewFile))
        QVERIFY2(row.endsWith(row.startsWith("Default.htm") ? " | Changed | ticked"
                              : row.startsWith("logo.gif")  ? " | New | ticked"
                                                            : " | Unchanged | unticked"),
                 qPrintable(row));
    QVERIFY2(f.Form.LabelPublish->text().startsWith("Publish from Corvane: 2 changed"),
             qPrintable(f.Form.LabelPublish->text()));

    // A file changed in the branch by hand is kept, ticked or not, and never shown as sent.
    const std::string work = f.Temp / "work";
    const std::string page = f.Files[1].first;
    RunProcess({"git", "clone", "-q", "--branch", "pages", bare, work}, "", 20000);
    WriteFileBytes(work + "/" + page, "by hand");
    RunProcess({"git", "-C", work, "-c", "user.name=Ann", "-c", "user.email=ann@example.org",
                "commit", "-q", "-a", "-m", "by hand"},
               "", 20000);
    RunProcess({"git", "-C", work, "push", "-q"}, "", 20000);
    f.Publish(false);
    f.Prompter.TakeCalls();
    QCOMPARE(Rows(f.Form.ListViewFile).filter(Q(page + " |")).value(0).section(" | ", 2),
             QStringLiteral("Kept | unticked"));
    QVERIFY2(f.Form.LabelPublish->text().contains(Q("(" + page + "). Publish from Corvane")),
             qPrintable(f.Form.LabelPublish->text()));
    f.Form.ListViewFile->topLevelItem(RowOf(f.Form.ListViewFile, Q(page)))
        ->setCheckState(0, Qt::Checked);
    f.Publish();
    f.Prompter.TakeCalls();
    QCOMPARE(f.Form.LabelPublish->text(), QStringLiteral("Finish!"));
    QCOMPARE(Rows(f.Form.ListViewFile).filter(Q(page + " |")).value(0).section(" | ", 2),
             QStringLiteral("Kept | ticked"));
    QCOMPARE(git({"show", "pages:" + page}), std::string("by hand"));
}

void TPublishDialogTest::testConnectionReportsWhatWorksInPlainWords() {
    TFixture f;
    START_SERVER(server, f);
    MakeFolder(server.Home + "/public");
    f.Account(server.Port(), "public");
    f.Workspace.Project->Save();
    f.Show();
    const auto files = Snapshot(f.Folder);
    const QString at = QStringLiteral("Connect to 127.0.0.1:%1 (FTP, passive)").arg(server.Port());
    QTest::mouseClick(f.Form.ButtonTest, Qt::LeftButton);
    QCOMPARE(f.Prompter.TakeCalls(),
             QStringList({"Information: " + at +
                          ": works.\nLog in as site: works.\nChange to the folder \"public\": "
                          "works.\nEverything works."}));
    // What was typed is tried, not stored.
    f.Form.EditPassword->setText("wrong");
    QTest::mouseClick(f.Form.ButtonTest, Qt::LeftButton);
    QCOMPARE(f.Prompter.TakeCalls(),
             QStringList({"Information: " + at +
                          ": works.\nLog in as site: fails. The server refused the user name or "
                          "password.\nChange to the folder \"public\": not tried."}));
    f.Form.EditPassword->setText("pa55 word");
    f.Form.EditFolder->setText("nowhere");
    QTest::mouseClick(f.Form.ButtonTest, Qt::LeftButton);
    QCOMPARE(f.Prompter.TakeCalls(),
             QStringList({"Information: " + at +
                          ": works.\nLog in as site: works.\nChange to the folder \"nowhere\": "
                          "fails. The folder \"nowhere\" does not exist on the server or cannot "
                          "be entered."}));
    QVERIFY(Snapshot(f.Folder) == files);
    QCOMPARE(f.Form.LabelPublish->text(), QString());
    QCOMPARE(f.Enabling(), QStringLiteral("POC"));
}

void TPublishDialogTest::anUntrustedCertificateIsPutToTheOwnerOnce() {
    TFixture f;
    const std::string python = PythonWithPyftpdlib(true);
    if (python.empty())
        QSKIP("python3 with pyftpdlib and pyOpenSSL is not installed");
    MakeFolder(f.Temp / "certs");
    TTestCertificates certificates(f.Temp / "certs");
    QVERIFY2(certificates.Error().empty(), certificates.Error().c_str());
    const std::string home = f.Temp / "ftphome";
    MakeFolder(home);
    MakeFolder(home + "/public");
    TPyFtpdOptions options;
    options.CertFile = certificates.SelfSignedCertificate();
    options.KeyFile = certificates.SelfSignedKey();
    options.TlsRequired = true;
    TPyFtpdServer server(python, f.Temp.Path(), home, "site", "pa55 word",
                         pyftpd::ServerLifetimeSeconds, options);
    QVERIFY(server.Port() > 0);
    const std::string fingerprint =
        TTestCertificates::Fingerprint(certificates.SelfSignedCertificate());
    f.Account(server.Port(), "public");
    f.Record().PROTOCOL = "FTPS";
    f.Show();

    // Cancel: refused, nothing kept.
    f.Prompter.Answers = {true, false};
    QTest::mouseClick(f.Form.ButtonPublish, Qt::LeftButton);
    QStringList calls = f.Prompter.TakeCalls();
    QCOMPARE(calls.size(), 3);
    QVERIFY2(calls[1].startsWith("ConfirmTrustCancel: The server's certificate is not trusted "
                                 "(self-signed certificate)."),
             qPrintable(calls[1]));
    QVERIFY(calls[1].endsWith(Q("SHA-256 fingerprint: " + fingerprint)));
    QVERIFY2(calls[2].startsWith("Information: FTP cannot connect!\nThe server's certificate is "
                                 "not trusted"),
             qPrintable(calls[2]));
    QCOMPARE(f.Saved().TRUSTED, std::string());

    // Trust: the fingerprint is kept and the run goes on.
    f.Prompter.Answers = {true, true};
    QTest::mouseClick(f.Form.ButtonPublish, Qt::LeftButton);
    calls = f.Prompter.TakeCalls();
    QCOMPARE(calls.size(), 2);
    QVERIFY(calls[1].startsWith("ConfirmTrustCancel: "));
    QCOMPARE(f.Form.LabelPublish->text(), QStringLiteral("Finish!"));
    QCOMPARE(f.Saved().TRUSTED, fingerprint);
    for (const auto& [name, bytes] : f.Files)
        QCOMPARE(ReadFileBytes(home + "/public/" + name), bytes);

    // The next showing is not asked again.
    QTest::keyClick(&f.Form, Qt::Key_Escape);
    f.Show();
    f.Prompter.Answers = {};
    QTest::mouseClick(f.Form.ButtonTest, Qt::LeftButton);
    calls = f.Prompter.TakeCalls();
    QCOMPARE(calls.size(), 1);
    QVERIFY2(calls[0].endsWith("Everything works."), qPrintable(calls[0]));
}

void TPublishDialogTest::publishesEveryTickedFileToARealServer() {
    TFixture f;
    START_SERVER(server, f);
    MakeFolder(server.Home + "/public");
    f.Account(server.Port(), "public");
    f.Show();
    f.Untick("logo.gif");
    QSignalSpy progress(f.Form.ProgressBar, &QProgressBar::valueChanged);
    f.Publish();
    QCOMPARE(f.Prompter.TakeCalls(), QStringList({"ConfirmOKCancel: Publish your website?"}));
    QVERIFY2(f.Form.Run()->LastError.empty(), f.Form.Run()->LastError.c_str());

    // Every ticked row says "Success"; the unticked one was left out.
    for (const QString& row : Rows(f.Form.ListViewFile)) {
        if (row.startsWith("logo.gif"))
            QCOMPARE(row, QStringLiteral("logo.gif | 1K |  | unticked"));
        else
            QVERIFY2(row.endsWith(" | Success | ticked"), qPrintable(row));
    }
    QCOMPARE(f.Form.LabelPublish->text(), QStringLiteral("Finish!"));
    QCOMPARE(f.Form.ProgressBar->value(), 100);
    QList<int> steps;
    for (const QList<QVariant>& signal : progress)
        steps << signal[0].toInt();
    // Three files: 20 + 70 k div 3.
    QCOMPARE(steps, QList<int>({10, 20, 43, 66, 90, 100}));
    QCOMPARE(f.Enabling(), QStringLiteral("-OC"));
    QCOMPARE(f.Form.focusWidget(), f.Form.ButtonOK);
    for (const auto& [name, bytes] : f.Files) {
        if (name == "logo.gif")
            QVERIFY(!std::filesystem::exists(server.Home + "/public/" + name));
        else
            QCOMPARE(ReadFileBytes(server.Home + "/public/" + name), bytes);
    }
    QVERIFY(!std::filesystem::exists(server.Home + "/public/.hidden"));
    QVERIFY(!std::filesystem::exists(server.Home + "/public/sub"));
    // The settings of the run were saved; OK closes the dialog.
    QCOMPARE(f.Saved().FOLDER, std::string("public"));
    QTest::mouseClick(f.Form.ButtonOK, Qt::LeftButton);
    QCOMPARE(f.Form.result(), int(QDialog::Accepted));

    // A new showing starts afresh: statuses empty, ticks back, Publish enabled.
    f.Show();
    QCOMPARE(Rows(f.Form.ListViewFile).filter("Success").size(), 0);
    QCOMPARE(Rows(f.Form.ListViewFile).filter("unticked").size(), 0);
    QCOMPARE(f.Enabling(), QStringLiteral("POC"));
    QCOMPARE(f.Form.ProgressBar->value(), 0);
    QCOMPARE(f.Form.LabelPublish->text(), QString());
}

void TPublishDialogTest::failuresLeaveTheDialogUsable() {
    TFixture f;
    START_SERVER(server, f);
    // Nothing listens: the connection fails, and the message says so.
    const int closed = ClosedPort();
    f.Account(closed, "");
    f.Show();
    f.Publish();
    QCOMPARE(f.Prompter.TakeCalls(),
             QStringList({"ConfirmOKCancel: Publish your website?",
                          QStringLiteral("Information: FTP cannot connect!\nNothing listens at "
                                         "127.0.0.1:%1.")
                              .arg(closed)}));
    QCOMPARE(f.Form.LabelPublish->text(), QString());
    QCOMPARE(f.Form.ProgressBar->value(), 0);
    QCOMPARE(f.Enabling(), QStringLiteral("POC"));

    // The sub folder is missing on the server.
    f.Form.EditFTPPort->setText(QString::number(server.Port()));
    f.Form.EditFolder->setText("public");
    f.Publish();
    QCOMPARE(f.Prompter.TakeCalls(),
             QStringList({"ConfirmOKCancel: Publish your website?",
                          "Information: FTP upload timeout!\nThe folder \"public\" does not exist "
                          "on the server or cannot be entered."}));
    QCOMPARE(f.Enabling(), QStringLiteral("POC"));
    QCOMPARE(Rows(f.Form.ListViewFile).filter("Success").size(), 0);

    // The third file of the list has gone: the two before it are sent, the rest are not.
    MakeFolder(server.Home + "/public");
    const std::string third = f.Form.ListViewFile->topLevelItem(2)->text(0).toStdString();
    const std::string thirdBytes = ReadFileBytes(f.Html + third);
    std::filesystem::remove(f.Html + third);
    f.Publish();
    QCOMPARE(f.Prompter.TakeCalls(),
             QStringList({"ConfirmOKCancel: Publish your website?",
                          Q("Information: FTP upload timeout!\nThe local file " + f.Html + third +
                            " cannot be opened (No such file or directory).")}));
    QCOMPARE(f.Enabling(), QStringLiteral("POC"));
    QCOMPARE(f.Form.ProgressBar->value(), 0);
    QStringList statuses;
    for (int i = 0; i < 4; ++i)
        statuses << f.Form.ListViewFile->topLevelItem(i)->text(2);
    QCOMPARE(statuses, QStringList({"Success", "Success", "", ""}));
    const std::string first = f.Form.ListViewFile->topLevelItem(0)->text(0).toStdString();
    QVERIFY(std::filesystem::exists(server.Home + "/public/" + first));

    // A second run sends only the rows without "Success".
    std::filesystem::remove(server.Home + "/public/" + first);
    WriteFileBytes(f.Html + third, thirdBytes);
    f.Publish();
    QCOMPARE(f.Prompter.TakeCalls(), QStringList({"ConfirmOKCancel: Publish your website?"}));
    QCOMPARE(Rows(f.Form.ListViewFile).filter("Success").size(), 4);
    QCOMPARE(f.Form.LabelPublish->text(), QStringLiteral("Finish!"));
    QCOMPARE(f.Form.ProgressBar->value(), 100);
    QCOMPARE(f.Enabling(), QStringLiteral("-OC"));
    QVERIFY(!std::filesystem::exists(server.Home + "/public/" + first));
    QCOMPARE(ReadFileBytes(server.Home + "/public/" + third), thirdBytes);
    // Publish stays disabled once the run has finished.
    QTest::mouseClick(f.Form.ButtonPublish, Qt::LeftButton);
    QVERIFY(f.Prompter.Calls.isEmpty());
}

void TPublishDialogTest::windowPaintsAndTakesNoInputWhileAFileUploads() {
    TFixture f;
    // The server holds back its answer to the first upload for a while.
    TFakeFtpServer server([](TFakeFtpSession& s) {
        s.Login();
        s.Answer("200 PORT command successful");
        s.Answer("150 Opening data connection");
        s.ReceiveAll(s.ConnectBack());
        s.Pause(900);
        s.Reply("226 Transfer complete");
        s.ServeUploads();
    });
    f.Account(server.Port(), "");
    f.Record().PASSIVE = false; // the scripted server speaks the active exchange
    f.Show();
    f.Form.Run()->ReadTimeout = 5000;

    TPaintCounter paints;
    f.Form.ListViewFile->viewport()->installEventFilter(&paints);
    // While the first file is on its way (the server holds back its answer), the window's
    // thread goes on: its timer ticks, the list repaints, and the user types, unticks a row
    // and closes the window.
    int ticksWhileUploading = 0;
    bool triedInput = false;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (!f.Form.Running() || !f.Form.LabelPublish->text().startsWith("Upload "))
            return;
        ++ticksWhileUploading;
        f.Form.ListViewFile->update();
        if (triedInput)
            return;
        triedInput = true;
        QTest::keyClicks(f.Form.EditFTP, QStringLiteral("typed"));
        const QRect box = f.Form.ListViewFile->visualItemRect(f.Form.ListViewFile->topLevelItem(3));
        QTest::mouseClick(f.Form.ListViewFile->viewport(), Qt::LeftButton, Qt::NoModifier,
                          box.topLeft() + QPoint(6, box.height() / 2));
        f.Form.close();
    });
    ticker.start(20);
    f.Publish();
    ticker.stop();
    server.Finish();
    QVERIFY(triedInput);
    QVERIFY2(ticksWhileUploading >= 10, qPrintable(QString::number(ticksWhileUploading)));
    QVERIFY(paints.Count > 0);
    // Nothing of that input arrived, and the run went to its end as usual.
    QVERIFY(f.Form.isVisible());
    QCOMPARE(f.Form.EditFTP->text(), QStringLiteral("127.0.0.1"));
    QCOMPARE(Rows(f.Form.ListViewFile).filter("| Success | ticked").size(), 4);
    QCOMPARE(f.Form.LabelPublish->text(), QStringLiteral("Finish!"));
    // The first upload's data went before the pause; the other three were kept by name.
    int stored = 0;
    for (const std::string& command : server.Commands())
        stored += command.rfind("STOR ", 0) == 0;
    QCOMPARE(stored, 4);
    QCOMPARE(server.Files().size(), std::size_t(3));
    QCOMPARE(server.ScriptEnd(), std::string("the client closed the control connection"));
    // Afterwards the dialog takes the same input again.
    QTest::keyClicks(f.Form.EditFTP, QStringLiteral("x"));
    QCOMPARE(f.Form.EditFTP->text(), QStringLiteral("127.0.0.1x"));
    const QRect box = f.Form.ListViewFile->visualItemRect(f.Form.ListViewFile->topLevelItem(3));
    QTest::mouseClick(f.Form.ListViewFile->viewport(), Qt::LeftButton, Qt::NoModifier,
                      box.topLeft() + QPoint(6, box.height() / 2));
    QCOMPARE(f.Form.ListViewFile->topLevelItem(3)->checkState(0), Qt::Unchecked);
}

// While a file is on its way and the server holds back its answer far longer than a second,
// Cancel (clicked, or Esc) ends the run within a second: the dialog stays open and usable,
// names the file in transfer, which keeps no status, and a next run sends it.
void TPublishDialogTest::cancelEndsTheRunWithinASecond() {
    for (const bool byEscape : {false, true}) {
        TFixture f;
        TFakeFtpServer server([](TFakeFtpSession& s) {
            s.Login();
            s.Answer("200 PORT command successful");
            s.Answer("150 Opening data connection");
            s.ReceiveAll(s.ConnectBack());
            s.WaitClosed(20000);
        });
        f.Account(server.Port(), "");
        f.Record().PASSIVE = false; // the scripted server speaks the active exchange
        f.Show();
        f.Form.Run()->ReadTimeout = 30000;
        const QString first = f.Form.ListViewFile->topLevelItem(0)->text(0);

        bool cancelEnabled = false;
        QElapsedTimer sinceCancel;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            if (sinceCancel.isValid() || !f.Form.Running() ||
                !f.Form.LabelPublish->text().startsWith("Upload "))
                return;
            cancelEnabled = f.Form.ButtonCancel->isEnabled();
            sinceCancel.start();
            if (byEscape)
                QTest::keyClick(f.Form.ListViewFile, Qt::Key_Escape);
            else
                QTest::mouseClick(f.Form.ButtonCancel, Qt::LeftButton);
        });
        ticker.start(20);
        f.Publish();
        const qint64 took = sinceCancel.isValid() ? sinceCancel.elapsed() : -1;
        ticker.stop();
        server.Finish();
        QVERIFY2(sinceCancel.isValid(), "the run never reached its first upload");
        QVERIFY(cancelEnabled);
        QVERIFY2(took < 1000, qPrintable(QString::number(took)));
        QVERIFY(f.Form.isVisible());
        QCOMPARE(f.Prompter.TakeCalls(), QStringList({"ConfirmOKCancel: Publish your website?",
                                                      "Information: Publishing cancelled. " +
                                                          first + " was not uploaded."}));
        QCOMPARE(f.Enabling(), QStringLiteral("POC"));
        QCOMPARE(f.Form.LabelPublish->text(), QString());
        QCOMPARE(f.Form.ListViewFile->topLevelItem(0)->text(2), QString());
        // The dialog is no longer running: Cancel closes it.
        QTest::mouseClick(f.Form.ButtonCancel, Qt::LeftButton);
        QVERIFY(!f.Form.isVisible());
        QCOMPARE(f.Form.result(), int(QDialog::Rejected));
    }
}

void TPublishDialogTest::theMainWindowBuildsAndShowsTheSite() {
    TTempFolder temp;
    TScriptedPrompter prompter;
    TProgram program(temp.Path() + "/", prompter);
    const std::string folder = program.Workspace.ProjectsFolder() + "Site";
    MakeProject(folder, {{"News", {"One", "Two"}}});
    program.Workspace.Project = std::make_unique<TDProject>(folder, program.Workspace.XMLDoc);
    program.FormMain->SetProjectOpen(true);
    // A stale file goes before the build.
    WriteFileBytes(program.Workspace.Project->HTMLPath() + "Stale.htm", "old");
    QStringList shown;
    const auto answered = AnswerModal(program.FormPublish, [&] {
        shown = Rows(program.FormPublish->ListViewFile);
        QTest::keyClick(program.FormPublish, Qt::Key_Escape);
    });
    program.FormMain->MenuPublish->trigger();
    QVERIFY(*answered);
    QVERIFY(!program.FormPublish->isVisible());
    QStringList names;
    for (const TFileEntry& entry : ListFolder(program.Workspace.Project->HTMLPath()))
        if (entry.IsRegular)
            names << Q(entry.Name);
    QVERIFY(!names.contains("Stale.htm"));
    QVERIFY(names.contains("Default.htm"));
    QCOMPARE(shown.size(), names.size());
    for (const QString& name : names)
        QCOMPARE(shown.filter(name + " | ").size(), 1);
}

void TPublishDialogTest::theTrustQuestionOffersTrustAndCancel() {
    // The desktop's question box: "Trust" and "Cancel", Cancel the default and Esc's button.
    struct TCase {
        const char* Name;
        const char* Press; // a button's caption, or "Esc"
        bool Trusted;
    };
    const TCase cases[] = {
        {"Trust", "Trust", true}, {"Cancel", "Cancel", false}, {"Esc", "Esc", false}};
    for (const TCase& c : cases) {
        QStringList captions;
        QString defaultCaption;
        bool found = false;
        QTimer::singleShot(0, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (!box) {
                // Not the question box: closed, so that the test fails instead of waiting.
                if (modal)
                    modal->close();
                return;
            }
            found = true;
            for (QAbstractButton* button : box->buttons())
                captions << button->text();
            if (box->defaultButton())
                defaultCaption = box->defaultButton()->text();
            if (QString::fromLatin1(c.Press) == "Esc") {
                QTest::keyClick(box, Qt::Key_Escape);
                return;
            }
            for (QAbstractButton* button : box->buttons())
                if (button->text() == QString::fromLatin1(c.Press))
                    button->click();
        });
        TQtPrompter prompter;
        const bool trusted =
            prompter.Confirm(QStringLiteral("The server's certificate is not trusted."),
                             TConfirmButtons::TrustCancel);
        QVERIFY2(found, c.Name);
        captions.sort();
        QCOMPARE(captions, QStringList({"Cancel", "Trust"}));
        QCOMPARE(defaultCaption, QStringLiteral("Cancel"));
        QCOMPARE(trusted, c.Trusted);
    }
}

void TPublishDialogTest::withoutAKeyringTheDialogSaysThePasswordStaysInTheProject() {
    // The keyring is wanted, but there is no session bus to find it on.
    TFixture f;
    const QByteArray off = qgetenv(TKeyring::OffVariable);
    const QByteArray bus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    qunsetenv(TKeyring::OffVariable);
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(f.Temp.Path()));
    struct TRestore {
        std::function<void()> Action;
        ~TRestore() { Action(); }
    } restore{[&] {
        if (off.isNull())
            qunsetenv(TKeyring::OffVariable);
        else
            qputenv(TKeyring::OffVariable, off);
        if (runtime.isNull())
            qunsetenv("XDG_RUNTIME_DIR");
        else
            qputenv("XDG_RUNTIME_DIR", runtime);
        if (bus.isNull())
            qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        else
            qputenv("DBUS_SESSION_BUS_ADDRESS", bus);
    }};
    // In plain words, in the dialog each time and in a message once while the program runs.
    const QString note =
        QStringLiteral("Passwords are kept in the project file because no keyring is running.");
    TFormPublish::NoKeyringTold = false;
    f.Record().PASSWORD = "pw";
    for (const char* password : {"new pw", "newer pw"}) {
        f.Show();
        QCOMPARE(f.Form.LabelPublish->text(), note);
        f.Form.EditPassword->setText(QString::fromLatin1(password));
        QTest::mouseClick(f.Form.ButtonOK, Qt::LeftButton);
        QCOMPARE(f.Form.result(), int(QDialog::Accepted));
        QCOMPARE(f.Saved().PASSWORD, std::string(password));
        QCOMPARE(f.Prompter.TakeCalls(), password == std::string("new pw")
                                             ? QStringList({"Information: " + note})
                                             : QStringList());
    }
}

int main(int argc, char** argv) {
    PrepareTestEnvironment();
    PrepareStartup();
    TApplication application(argc, argv);
    TPublishDialogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "PublishDialogTest.moc"

void TPublishDialogTest::aSynchronisingRunShowsEachRowsKindAndRetriesWhatFailed() {
    TFixture f;
    START_SERVER(server, f);
    MakeFolder(server.Home + "/public");
    f.Account(server.Port(), "public");
    f.Record().SYNC = true;
    f.Show();
    f.Publish();
    QCOMPARE(f.Prompter.TakeCalls(), QStringList({"ConfirmOKCancel: Publish your website?\n"
                                                  "4 to upload (5 KB), 0 to delete, 0 unchanged"}));
    QVERIFY2(f.Form.Run()->LastError.empty(), f.Form.Run()->LastError.c_str());
    for (const QString& row : Rows(f.Form.ListViewFile))
        QVERIFY2(row.endsWith(" | Success | ticked"), qPrintable(row));
    QVERIFY(!f.Form.ButtonRetry->isVisible());

    // The next showing: one file changed, one gone; the list shows what the run will do. The
    // changed one is refused by the server (a folder stands in its way), so the run fails.
    QTest::keyClick(&f.Form, Qt::Key_Escape);
    WriteFileBytes(f.Html + "Column1.htm", std::string(1536, 'C'));
    std::filesystem::remove(f.Html + "File1.htm");
    MakeFolder(server.Home + "/public/.corvane-part-Column1.htm");
    f.Show();
    f.Publish();
    QStringList calls = f.Prompter.TakeCalls();
    QCOMPARE(calls.size(), 2);
    QCOMPARE(calls[0], QStringLiteral("ConfirmOKCancel: Publish your website?\n"
                                      "1 to upload (2 KB), 1 to delete, 2 unchanged"));
    QVERIFY2(calls[1].startsWith("Information: 1 file could not be published."),
             qPrintable(calls[1]));
    QCOMPARE(Rows(f.Form.ListViewFile),
             QStringList(
                 {"Column1.htm | 2K | Failed | ticked", "Default.htm | 0K | Unchanged | unticked",
                  "logo.gif | 1K | Unchanged | unticked", "File1.htm | 2K | Delete | ticked"}));
    QVERIFY(f.Form.ButtonRetry->isVisible());
    QVERIFY(PathExists(server.Home + "/public/File1.htm"));

    // Retry Failed: only the failed row, and now it goes.
    std::filesystem::remove(server.Home + "/public/.corvane-part-Column1.htm");
    f.Prompter.Answers.push_back(true);
    QTest::mouseClick(f.Form.ButtonRetry, Qt::LeftButton);
    QCOMPARE(f.Prompter.TakeCalls(), QStringList({"ConfirmOKCancel: Publish your website?\n"
                                                  "1 to upload (2 KB), 0 to delete, 2 unchanged"}));
    QVERIFY2(f.Form.Run()->LastError.empty(), f.Form.Run()->LastError.c_str());
    QCOMPARE(Rows(f.Form.ListViewFile),
             QStringList(
                 {"Column1.htm | 2K | Success | ticked", "Default.htm | 0K | Unchanged | unticked",
                  "logo.gif | 1K | Unchanged | unticked", "File1.htm | 2K | Delete | unticked"}));
    QVERIFY(!f.Form.ButtonRetry->isVisible());
    QCOMPARE(ReadFileBytes(server.Home + "/public/Column1.htm"), std::string(1536, 'C'));
    QCOMPARE(f.Form.LabelPublish->text(), QStringLiteral("Finish!"));
}

void TPublishDialogTest::untickingTheSyncBoxShowsThePlainRowsAndTickingComparesAgain() {
    TFixture f;
    START_SERVER(server, f);
    MakeFolder(server.Home + "/public");
    f.Account(server.Port(), "public");
    f.Record().SYNC = true;
    f.Show();
    f.Publish();
    QCOMPARE(f.Prompter.TakeCalls().size(), 1);
    QVERIFY2(f.Form.Run()->LastError.empty(), f.Form.Run()->LastError.c_str());

    // The next showing compares (the publish question declined) and shows the kinds.
    QTest::keyClick(&f.Form, Qt::Key_Escape);
    WriteFileBytes(f.Html + "Column1.htm", std::string(1536, 'C'));
    WriteFileBytes(f.Html + "New.htm", "new");
    std::filesystem::remove(f.Html + "File1.htm");
    f.Show();
    QStringList plain;
    for (const TPublishRow& row : f.Form.Run()->Rows)
        plain << Q(row.Name + " | " + row.Size + " |  | " +
                   (row.Name == "New.htm" ? "unticked" : "ticked"));
    f.Publish(false);
    QCOMPARE(f.Prompter.TakeCalls(), QStringList({"ConfirmOKCancel: Publish your website?\n"
                                                  "2 to upload (2 KB), 1 to delete, 2 unchanged"}));
    QStringList compared = Rows(f.Form.ListViewFile);
    compared.sort();
    QCOMPARE(
        compared,
        QStringList({"Column1.htm | 2K | Changed | ticked",
                     "Default.htm | 0K | Unchanged | unticked", "File1.htm | 2K | Delete | ticked",
                     "New.htm | 0K | New | ticked", "logo.gif | 1K | Unchanged | unticked"}));
    f.Untick("New.htm");

    // Unticked: the plain publish's rows, every file ticked but the one the owner unticked,
    // no deletion; nothing asked, nothing sent.
    QTest::mouseClick(f.Form.CheckBoxSync, Qt::LeftButton);
    QVERIFY(!f.Form.SpinBoxJobs->isEnabled());
    QCOMPARE(Rows(f.Form.ListViewFile), plain);
    QVERIFY(!f.Form.Run()->Compared());
    QVERIFY(f.Prompter.Calls.isEmpty());
    QCOMPARE(f.Record().SYNC, true);

    // Ticked again: still the plain rows until Publish compares anew.
    QTest::mouseClick(f.Form.CheckBoxSync, Qt::LeftButton);
    QVERIFY(f.Form.SpinBoxJobs->isEnabled());
    QCOMPARE(Rows(f.Form.ListViewFile), plain);
    f.Publish(false);
    QCOMPARE(f.Prompter.TakeCalls(), QStringList({"ConfirmOKCancel: Publish your website?\n"
                                                  "1 to upload (2 KB), 1 to delete, 2 unchanged"}));
    compared = Rows(f.Form.ListViewFile);
    compared.sort();
    QCOMPARE(
        compared,
        QStringList({"Column1.htm | 2K | Changed | ticked",
                     "Default.htm | 0K | Unchanged | unticked", "File1.htm | 2K | Delete | ticked",
                     "New.htm | 0K | New | unticked", "logo.gif | 1K | Unchanged | unticked"}));

    // Unticked and published: every ticked file is sent the plain way, nothing deleted.
    QTest::mouseClick(f.Form.CheckBoxSync, Qt::LeftButton);
    f.Publish();
    QCOMPARE(f.Prompter.TakeCalls(), QStringList({"ConfirmOKCancel: Publish your website?"}));
    QVERIFY2(f.Form.Run()->LastError.empty(), f.Form.Run()->LastError.c_str());
    QCOMPARE(f.Saved().SYNC, false);
    QVERIFY(PathExists(server.Home + "/public/File1.htm"));
    QVERIFY(!PathExists(server.Home + "/public/New.htm"));
    QCOMPARE(ReadFileBytes(server.Home + "/public/Column1.htm"), std::string(1536, 'C'));
}

void TPublishDialogTest::anotherCopysSiteAndALockLeftBehindAreAskedAbout() {
    TFixture f;
    START_SERVER(server, f);
    MakeFolder(server.Home + "/public");
    f.Account(server.Port(), "public");
    f.Record().SYNC = true;
    f.Show();
    f.Publish();
    QCOMPARE(f.Prompter.TakeCalls().size(), 1);
    QVERIFY2(f.Form.Run()->LastError.empty(), f.Form.Run()->LastError.c_str());
    const std::string manifestPath = server.Home + "/public/" + TManifest::FileName;
    QCOMPARE(TManifest::Parse(ReadFileBytes(manifestPath)).PublisherId, f.Saved().PROJECT_ID);

    // Another copy of the project published since: asked first, and declined, nothing sent.
    TManifest other = TManifest::Parse(ReadFileBytes(manifestPath));
    other.PublisherId = "fedcba9876543210";
    other.PublishedAt = 1800000000;
    WriteFileBytes(manifestPath, other.Text());
    QTest::keyClick(&f.Form, Qt::Key_Escape);
    WriteFileBytes(f.Html + "Column1.htm", std::string(1536, 'C'));
    f.Show();
    f.Publish(false);
    const QString question = Q("ConfirmOKCancel: The site on the server was published from "
                               "another copy of this project on " +
                               FormatDateTime(1800000000) + ". Publish this copy over it?");
    QCOMPARE(f.Prompter.TakeCalls(), QStringList({question}));
    QCOMPARE(ReadFileBytes(server.Home + "/public/Column1.htm"), std::string(1536, 'c'));

    // Confirmed, over a lock that a publish left behind an hour ago: asked whether to break it.
    const TLockOwner left{"elsewhere", 17, static_cast<std::int64_t>(std::time(nullptr)) - 3600};
    MakeFolder(server.Home + "/public/" + TRemoteLock::FolderName);
    WriteFileBytes(server.Home + "/public/" + TRemoteLock::OwnerPath, TRemoteLock::OwnerText(left));
    f.Prompter.Answers = {true, true, true};
    QTest::mouseClick(f.Form.ButtonPublish, Qt::LeftButton);
    QCOMPARE(f.Prompter.TakeCalls(),
             QStringList({question,
                          "ConfirmOKCancel: Publish your website?\n"
                          "1 to upload (2 KB), 0 to delete, 3 unchanged",
                          Q("ConfirmOKCancel: " + TRemoteLock::BreakQuestion(left))}));
    QVERIFY2(f.Form.Run()->LastError.empty(), f.Form.Run()->LastError.c_str());
    QCOMPARE(ReadFileBytes(server.Home + "/public/Column1.htm"), std::string(1536, 'C'));
    QVERIFY(!PathExists(server.Home + "/public/" + TRemoteLock::FolderName));
    QCOMPARE(TManifest::Parse(ReadFileBytes(manifestPath)).PublisherId, f.Saved().PROJECT_ID);
}

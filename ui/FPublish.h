#pragma once

#include "publish/Keyring.h"
#include "ui/ThreadMailbox.h"

#include <QDialog>

#include <functional>
#include <memory>

class IPrompter;
class TPublishRun;
class TWorkspace;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTreeWidget;

// The Publish dialog: the project's publishing settings (protocol, server, passive mode,
// login, proxy, folder), the files of the HTML folder with a tick each, the connection test
// and the run that uploads the ticked files. The FTP exchange runs on a thread of its
// own while the window goes on painting itself; everything the run shows or asks is done
// here, on the window's thread, in the run's order, while the run waits for it. The user's
// input to the dialog is held back until the run has ended, as if the window were busy.
class TFormPublish : public QDialog {
    Q_OBJECT

  public:
    TFormPublish(TWorkspace& workspace, IPrompter& prompter, QWidget* parent = nullptr);
    ~TFormPublish() override;

    // What the dialog says when the password cannot go into a keyring: in its own line each
    // time, and in a message after OK once while the program runs (NoKeyringTold).
    static const char* const NoKeyringSentence;
    static bool NoKeyringTold;

    // Shows the dialog modally; true when closed with OK.
    bool Execute();

    void FormShow();
    void CheckBoxProxyClick();
    // The target chosen: the settings it does not use are hidden (TPublishTarget::Uses), and
    // the port follows its default when it was another target's.
    void ComboBoxProtocolChange();
    // "Only send what changed" ticked or unticked: the connections follow it, and the list
    // goes back to the plain rows (without kinds) until the next Publish compares again.
    void CheckBoxSyncClick();
    void ButtonOKClick();
    void ButtonPublishClick();
    void ButtonTestClick();
    // After a synchronising run with failures: only the failed rows stay ticked, and they
    // are published again.
    void ButtonRetryClick();

    // The run of the current showing (none before the first showing).
    TPublishRun* Run() { return FRun.get(); }
    // True while a publish run is under way.
    bool Running() const { return FRunning; }

    QComboBox* ComboBoxProtocol;
    QCheckBox* CheckBoxPassive;
    // A synchronising publish (only what changed), over SpinBoxJobs connections.
    QCheckBox* CheckBoxSync;
    QSpinBox* SpinBoxJobs;
    QLineEdit* EditFTP;
    QLineEdit* EditFTPPort;
    QLineEdit* EditUser;
    QLineEdit* EditPassword;
    QCheckBox* CheckBoxProxy;
    QLineEdit* EditProxy;
    QLineEdit* EditProxyPort;
    QLineEdit* EditFolder;
    // A repository's address, its branch (typed, or one of the usual page branches) and the
    // commits' author: shown for a target that uses them (TTargetSetting::Repository).
    QLineEdit* EditRepository;
    QComboBox* ComboBoxBranch;
    QLineEdit* EditAuthorName;
    QLineEdit* EditAuthorEmail;
    // The caption of EditFolder, the target's (TPublishTarget::FolderCaption).
    QLabel* LabelFolder = nullptr;
    QTreeWidget* ListViewFile;
    QLabel* LabelPublish;
    QProgressBar* ProgressBar;
    QPushButton* ButtonTest;
    QPushButton* ButtonPublish;
    // "Retry Failed", shown after a synchronising run with failures.
    QPushButton* ButtonRetry;
    QPushButton* ButtonOK;
    QPushButton* ButtonCancel;

  public slots:
    // While a run is under way: ends the run (the dialog stays), else closes the dialog.
    void reject() override;

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    class TView;
    // The edits and the ticks into the run, and back.
    void ControlsToRun();
    void RunToControls();
    // The list from the run's rows: a row's status, or before it has one its kind ("New",
    // "Changed", "Unchanged", "Delete") in a synchronising publish.
    void FillList();
    // The controls of the chosen target's settings shown, the others hidden.
    void ShowTarget();
    // Runs work (the publish run or the connection test) on a thread of its own while this
    // thread paints the window and does what the run asks.
    void RunBlocking(const std::function<void()>& work);

    TWorkspace& Workspace;
    IPrompter& Prompter;
    std::unique_ptr<TView> FView;
    std::unique_ptr<TPublishRun> FRun;
    TKeyring FKeyring;
    // Ends the run under way within a second; its end is told as a failure with the file in
    // transfer named.
    void CancelRun();
    bool FRunning = false;
    int FProtocol = 0;
    // How the run's thread asks this one for a question or tells it that the run ended.
    TThreadMailbox Mailbox;
};

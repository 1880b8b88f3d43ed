#pragma once

// The publish dialog without its window: the settings as typed, the rows of the HTML
// folder's files, validate-and-store, and the run that uploads the ticked files. Whatever
// shows it (the Publish window, corvane-cli) follows the run through a TPublishView.

#include "model/CProject.h"
#include "platform/Text.h"
#include "publish/ConnectionTest.h"
#include "publish/Keyring.h"
#include "publish/PublishTarget.h"
#include "publish/SyncRun.h"
#include "publish/Transport.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The settings a message is about (the window puts the focus on its control); Done: the run
// finished and the window may be closed.
enum class TPublishField {
    Server,
    Port,
    User,
    ProxyPort,
    Done,
    Password,
    Folder,
    Protocol,
    Repository
};

// What a run tells the one who shows it. Everything happens on the caller's thread, inside
// Publish; each change is to be shown at once.
class TPublishView {
  public:
    virtual ~TPublishView() = default;
    // StatusLine changed.
    virtual void StatusChanged(const std::string&) {}
    // Progress changed (0 to 100).
    virtual void ProgressChanged(int) {}
    // The status of row index changed; the list is to be repainted.
    virtual void RowChanged(int) {}
    // The rows were made anew (a synchronising publish compared the site with the server:
    // each row has its kind, the deletions are added) and PlanSummary changed.
    virtual void RowsChanged() {}
    // CanPublish, CanClose or CanCancel changed.
    virtual void ButtonsChanged() {}
    virtual void FocusControl(TPublishField) {}
    // An information box with an OK button.
    virtual void Message(const std::string& text) = 0;
    // A confirmation with OK and Cancel; true for OK.
    virtual bool Confirm(const std::string& question) = 0;
    // The one-time question whether to trust a certificate or host key that does not
    // verify, with "Trust" and "Cancel"; true for Trust. Nobody there to ask: not trusted.
    virtual bool Trust(const std::string& /*question*/, const std::string& /*fingerprint*/) {
        return false;
    }
};

// The publishing settings as the owner typed them, before they are checked and stored.
struct TTypedSettings {
    std::string Server;
    // The ports as typed: converted (and refused) by Store.
    std::string Port;
    std::string User;
    std::string Password;
    bool UseProxy = false;
    std::string ProxyServer;
    std::string ProxyPort;
    std::string Folder;
    // The target as the record holds it (TPublishTarget::Name).
    std::string Protocol = "FTP";
    bool Passive = false;
    // Not typed: the fingerprint accepted so far, kept as it is unless the owner trusts
    // another certificate.
    std::string Trusted;
    // Publish only what changed, over this many connections (1 to 8).
    bool Sync = true;
    int Jobs = 4;
    // A repository's address, its branch and the commits' author (TTargetSetting::Repository).
    std::string Repository = {};
    std::string Branch = TDPublish::DefaultBranch;
    std::string AuthorName = {};
    std::string AuthorEmail = {};
};

// The settings with which a transport reaches the server of a publishing record (a port of 0
// is the target's default); a TError when its PROTOCOL names no target.
TTransportSettings TransportSettingsOf(
    const TDPublish& record, std::int32_t readTimeout,
    const std::function<const TPublishTarget*(const std::string&)>& targetOf = FindPublishTarget);

// The question asked when a certificate or host key does not verify.
std::string TrustQuestion(const TTransportError& error);

// One file of the HTML folder.
struct TPublishRow {
    std::string Name;
    std::string Size;
    std::string Status;
    bool Ticked = true;
    // In a synchronising publish once compared: "New", "Changed", "Unchanged" or "Delete";
    // empty otherwise.
    std::string Kind;
};

enum class TPublishOutcome {
    Stopped,   // a message ended the run before anything was asked or sent
    Cancelled, // the confirmation was not given
    Failed,    // the exchange failed; LastError holds the transport's account
    Finished,  // every ticked row without a status was uploaded (and deleted)
};

// The keyring's key of a publishing record's password: protocol, host, port and user.
TKeyringKey KeyringKeyOf(const TDPublish& record);

// "%.0nK": the size in KiB, rounded with halves away from zero, with thousands separators.
std::string PublishSizeText(std::int64_t bytes);

class TPublishRun {
  public:
    static constexpr const char* SuccessStatus = "Success";
    // The statuses of a synchronising publish besides SuccessStatus.
    static constexpr const char* DeletedStatus = "Deleted";
    static constexpr const char* FailedStatus = "Failed";
    // A deletion that the server answered but that could not be checked (TSyncState::Unchecked).
    static constexpr const char* UncheckedStatus = "Not checked";
    // The message of a run ended by Cancel (the file in transfer is named after it).
    static constexpr const char* CancelledMessage = "Publishing cancelled.";
    // The message when a target that publishes into a folder has none set.
    static constexpr const char* NeedFolderMessage = "Need a folder.";
    static constexpr const char* NeedRepositoryMessage = "Need a repository.";

    TPublishRun(TDProject& project, TPublishView& view);

    // Loads the edits from the project's publishing record and the rows from the HTML
    // folder; empties the status, sets the progress to 0 and enables Publish.
    void Show();
    // Validate and store: false (after the message) when a port does not convert, and
    // then nothing is stored; otherwise the record is set and the project saved.
    bool Store();
    // The publish run. Cancel, from another thread or a signal handler, ends it within a
    // second as a failure (Failed) with CancelledMessage; the row in transfer keeps an empty
    // status, so that a next run sends it again.
    //
    // With TDPublish.SYNC set, the run first compares (below) unless it has in this showing,
    // asks "Publish your website?" with the plan's summary and, for more than
    // TSyncPlan::DeleteCap deletions, the delete question (declined: nothing is deleted),
    // then sends the ticked rows over up to JOBS connections and deletes the ticked "Delete"
    // rows. A run with failures says how many (Failures) and leaves the failed rows "Failed";
    // RetryFailed keeps only those ticked for the next Publish.
    TPublishOutcome Publish();
    // A synchronising publish's first step, without sending anything: validate and store,
    // connect, read the server's manifest and compare the site with it. The rows are made
    // anew from the plan, in its order: the site's files with their kinds (unchanged ones
    // unticked, unless SendAll; a row unticked before stays unticked), then the deletions.
    // Stopped or Failed (after the message) or Finished.
    TPublishOutcome Compare();
    // Only the rows that failed stay ticked; false when none failed.
    bool RetryFailed();
    // The rows of the plain publish again, as Show lists them, without kinds, deletions or
    // statuses (a row unticked before stays unticked); the comparison, its summary and the
    // failures are forgotten, so that a next synchronising Publish compares anew. Nothing is
    // sent or read from the server.
    void ForgetComparison();
    // Whether the rows hold a comparison (kinds and deletions).
    bool Compared() const { return FSync != nullptr && FCompared; }
    // "12 to upload (340 KB), 3 to delete, 988 unchanged" of the ticked rows, once compared.
    std::string PlanSummary;
    // The failures of the last synchronising run.
    int Failures = 0;
    // What the last synchronising run did.
    TSyncTotals LastTotals;
    // What a whole-site publisher said it did (TPublisherTotals::Summary).
    std::string PublisherSummary;
    // The synchronising run of this showing (null before Compare), for the tests and
    // corvane-cli.
    const TSyncRun* SyncRun() const { return FSync.get(); }
    // Every site file is ticked when compared, unchanged ones too (corvane-cli --all).
    bool SendAll = false;
    // The connections of a synchronising run in place of TDPublish.JOBS (corvane-cli --jobs).
    std::optional<int> Jobs;
    // Whether a synchronising run breaks a lock that a publish left behind on the server:
    // none asks the view (Confirm), true breaks it (corvane-cli --break-lock), false never.
    std::optional<bool> BreakLock;
    // After a comparison: "The site on the server was published from another copy of this
    // project on DATE." when the server's manifest names another copy, or a time other than
    // the one this copy last wrote there; empty otherwise. Publish asks first whether to
    // publish this copy over it (OtherCopyQuestion).
    std::string OtherCopyNote;
    static constexpr const char* OtherCopyQuestion = "Publish this copy over it?";
    // The clock (seconds since 1970) of the synchronising run; tests fix it.
    std::function<std::int64_t()> Clock;
    // The pause before a file's first retry (tests make it short).
    int RetryPauseMs = 500;
    // Ends the run or the connection test under way (safe from any thread and from a signal
    // handler). A Cancel before a run ends nothing: each run starts uncancelled.
    void Cancel() noexcept;
    // The connection test with the settings as typed (nothing is stored): connects, logs in
    // and changes to the folder, and shows its report in one message. A port that does not
    // convert gets its message as in Store, and then nothing is tried (false). A certificate
    // or host key that does not verify is put to the owner once; when trusted, its
    // fingerprint goes into Typed.Trusted (stored with the next OK or Publish) and the test
    // runs again.
    bool TestConnection();
    // The report of the last connection test.
    TConnectionReport LastReport;

    // The transport of the last run (null before the first), for the tests.
    TTransport* LastTransport() const {
        return FTransports.empty() ? nullptr : FTransports.back().get();
    }

    TTypedSettings Typed;
    std::vector<TPublishRow> Rows;
    // The step under way as the status line shows it, and the share done (0 to 100).
    std::string StatusLine;
    int Progress = 0;
    // What the owner may do now: publish (again), close with OK, cancel.
    bool CanPublish = true;
    bool CanClose = true;
    bool CanCancel = true;

    // Makes the transport of a run from its settings; MakeTransport unless a test puts in
    // its own.
    std::function<std::unique_ptr<TTransport>(const TTransportSettings&)> TransportMaker =
        MakeTransport;
    // The target a PROTOCOL text names: FindPublishTarget unless a test puts in its own.
    std::function<const TPublishTarget*(const std::string&)> TargetOf = FindPublishTarget;
    // The settings of the last run's transport.
    TTransportSettings Settings;
    // The read time-out handed to the transport.
    std::int32_t ReadTimeout = 30000;
    // The password sent in place of the stored PASSWORD, when set: corvane-cli's, from the
    // keyring, the environment or the terminal. It is never stored.
    std::optional<std::string> Password;
    // The desktop's keyring, when the publish dialog keeps the password there: Show takes
    // the password from it, and Store moves the typed one into it and empties PASSWORD
    // (without a keyring it stays in the project, and KeyringNote says so). None (as for
    // corvane-cli, which finds its password itself): PASSWORD holds it as it always did.
    TKeyring* Keyring = nullptr;
    // Why the password stays in the project although a keyring is wanted; empty otherwise.
    std::string KeyringNote;
    // Tests only: the CA file (FTPS), the known_hosts file and the private key file (SFTP)
    // handed to the transport in place of the system's and the user's.
    std::string CaFile;
    std::string KnownHostsFile;
    std::string IdentityFile;
    // The transport's own account of the last failure (the user is shown the fixed message
    // and its reason).
    std::string LastError;
    // A verbose log of the exchange (the lines sent and received, never a password).
    std::function<void(const std::string&)> OnLog;

  private:
    void SetStatus(const std::string& text);
    void SetProgress(int value);
    void SetButtons(bool publish, bool ok, bool cancel);
    void Tell(const std::string& message, TPublishField focus);
    TPublishOutcome FailureEnding(const std::string& message, bool disconnect);
    // A new transport for Settings, cancelled at once when the run was.
    TTransport& NewTransport();
    // Connects; a certificate or host key that does not verify is put to the owner once,
    // and when trusted the fingerprint is stored and the connection made again.
    void ConnectTrusting(TTransport*& transport);
    bool Cancelled(const std::exception& e) const;
    // The start of a run (no error, notice or cancel left from the last one), Store and the
    // checks before anything is asked: false after the message.
    bool CheckedSettings(std::string& password);
    // Compares after CheckedSettings; false after the failure ending.
    bool CompareChecked();
    TPublishOutcome PublishSynchronising();
    // The run of a target that publishes the whole site itself (TPublishTarget::MakePublisher),
    // and its connection test.
    TPublishOutcome PublishWhole(const TPublishTarget& target);
    // The rows as publisher's comparison found them: each file's kind ("Unchanged" ones
    // unticked), and a "Delete" row for each file it takes out; false when it cannot tell.
    bool ShowChanges(TSitePublisher& publisher);
    TConnectionReport TestPublisher(const TPublishTarget& target, const TDPublish& record,
                                    const TTransportSettings& settings);
    void TickPlanFromRows();
    // The words of the record's target (FTP's for an unknown one).
    const TTargetWords& Words() const;
    // The status line after a comparison: the summary, after the manifest note when there is one.
    std::string ComparisonStatus() const;
    // The rows of the HTML folder's ordinary files; the names in unticked start unticked.
    void ListRows(const std::vector<std::string>& unticked);

    TDProject& FProject;
    TPublishView& FView;
    // Every transport of this run's life: a Cancel from another thread may still hold one.
    std::vector<std::unique_ptr<TTransport>> FTransports;
    std::atomic<TTransport*> FActive{nullptr};
    std::atomic<TConnectionTest*> FActiveTest{nullptr};
    // The whole-run publishers of this run's life, and the one under way.
    std::vector<std::unique_ptr<TSitePublisher>> FPublishers;
    std::atomic<TSitePublisher*> FActivePublisher{nullptr};
    // The synchronising run of this showing, and every one made before it (a Cancel from
    // another thread may still hold one).
    std::unique_ptr<TSyncRun> FSync;
    std::vector<std::unique_ptr<TSyncRun>> FOldSyncs;
    std::atomic<TSyncRun*> FActiveSync{nullptr};
    bool FCompared = false;
    std::atomic<bool> FCancelled{false};
    // The step under way, and what the status line adds to each step once the transport
    // said so.
    std::string FStep;
    std::string FNotice;
    // Whether Show knows what the keyring holds for the record (it found a password, or
    // none): only then does an empty password field mean that the password is to go.
    bool FKeyringKnown = false;
};

#pragma once

// The publish dialog without its window: the settings as typed, the rows of the HTML
// folder's files, validate-and-store, and the run that uploads the ticked files. Whatever
// shows it (the Publish window, corvane-cli) follows the run through a TPublishView.

#include "model/CProject.h"
#include "platform/Text.h"
#include "publish/IdFTP.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The controls that a message sends the focus to.
enum class TPublishControl {
    EditFTP,
    EditFTPPort,
    EditUser,
    EditProxyPort,
    ButtonOK,
    EditPassword,
    EditFolder
};

// What a run tells the one who shows it. Everything happens on the caller's thread, inside
// Publish; each change is to be shown at once.
class TPublishView {
  public:
    virtual ~TPublishView() = default;
    // LabelPublish changed.
    virtual void StatusChanged(const std::string&) {}
    // ProgressBar changed (0 to 100).
    virtual void ProgressChanged(int) {}
    // The status of row index changed; the list is to be repainted.
    virtual void RowChanged(int) {}
    // ButtonPublishEnabled, ButtonOKEnabled or ButtonCancelEnabled changed.
    virtual void ButtonsChanged() {}
    virtual void FocusControl(TPublishControl) {}
    // An information box with an OK button.
    virtual void Message(const std::string& text) = 0;
    // A confirmation with OK and Cancel; true for OK.
    virtual bool Confirm(const std::string& question) = 0;
};

// The texts of the dialog's edits and its check box.
struct TPublishEdits {
    std::string EditFTP;
    std::string EditFTPPort;
    std::string EditUser;
    std::string EditPassword;
    bool CheckBoxProxy = false;
    std::string EditProxy;
    std::string EditProxyPort;
    std::string EditFolder;
};

// One file of the HTML folder.
struct TPublishRow {
    std::string Name;
    std::string Size;
    std::string Status;
    bool Ticked = true;
};

enum class TPublishOutcome {
    Stopped,   // a message ended the run before anything was asked or sent
    Cancelled, // the confirmation was not given
    Failed,    // the FTP exchange failed; LastError holds the client's account
    Finished,  // every ticked row without a status was uploaded
};

// "%.0nK": the size in KiB, rounded with halves away from zero, with thousands separators.
std::string PublishSizeText(std::int64_t bytes);

class TPublishRun {
  public:
    static constexpr const char* SuccessStatus = "Success";
    // The message of a run ended by IdFTP.Cancel (the file in transfer is named after it).
    static constexpr const char* CancelledMessage = "Publishing cancelled.";

    TPublishRun(TDProject& project, TPublishView& view);

    // Loads the edits from the project's publishing record and the rows from the HTML
    // folder; empties the status, sets the progress to 0 and enables Publish.
    void Show();
    // Validate and store: false (after the message) when a port does not convert, and
    // then nothing is stored; otherwise the record is set and the project saved.
    bool Store();
    // The publish run. IdFTP.Cancel, from another thread or a signal handler, ends it within
    // a second as a failure (Failed) with CancelledMessage; the row in transfer keeps an
    // empty status, so that a next run sends it again.
    TPublishOutcome Publish();
    // Ends the run under way, from any thread or a signal handler, as IdFTP.Cancel does.
    void Cancel() noexcept { IdFTP.Cancel(); }

    TPublishEdits Edits;
    std::vector<TPublishRow> Rows;
    std::string LabelPublish;
    int ProgressBar = 0;
    bool ButtonPublishEnabled = true;
    bool ButtonOKEnabled = true;
    bool ButtonCancelEnabled = true;

    // The client; each run sets all of its settings before it connects.
    TIdFTP IdFTP;
    // The read time-out handed to the client.
    std::int32_t ReadTimeout = 30000;
    // The password sent in place of the stored PASSWORD, when set: corvane-cli's, from the
    // keyring, the environment or the terminal. It is never stored.
    std::optional<std::string> Password;
    // The client's own account of the last failure (the user is shown the fixed message).
    std::string LastError;

  private:
    void SetStatus(const std::string& text);
    void SetProgress(int value);
    void SetButtons(bool publish, bool ok, bool cancel);
    void Tell(const std::string& message, TPublishControl focus);
    TPublishOutcome FailureEnding(const std::string& message, bool disconnect);

    TDProject& FProject;
    TPublishView& FView;
};

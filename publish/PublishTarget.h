#pragma once

// One place a site can be published to (FTP, FTPS, SFTP, a folder on this machine, ...), as
// the publish dialog, the connection test, the run, corvane-cli and its manual know it. Each
// target is described in a folder of its own under publish/, whose CMakeLists.txt names its
// description with corvane_publish_target(FUNCTION); the build lists them all, and
// PublishTargets() gives them in their order. Nothing else names a protocol.
//
// A target publishes either file by file through a TTransport (MakeTransport: the plain and
// the synchronising publish, the lock and the manifest work through it) or as one whole run
// of its own (MakePublisher).

#include "model/CPublish.h"
#include "publish/ConnectionReport.h"
#include "publish/Keyring.h"
#include "publish/Transport.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

// The settings of the publishing record that a target uses; the dialog hides the others.
enum class TTargetSetting : unsigned {
    Host = 1,     // FTP_SERVER
    Port = 2,     // FTP_PORT (0 stands for DefaultPort)
    User = 4,     // USER_NAME
    Password = 8, // PASSWORD
    Passive = 16, // PASSIVE
    Proxy = 32,   // USE_PROXY, PROXY_SERVER, PROXY_PORT
    Jobs = 64,    // JOBS: more than one connection at a time
    // REPOSITORY, BRANCH, AUTHOR_NAME and AUTHOR_EMAIL: the place is a repository's address
    // (FTP_SERVER is not used), and a user name is needed only where the address asks for one.
    Repository = 128,
};

constexpr unsigned operator|(TTargetSetting a, TTargetSetting b) {
    return static_cast<unsigned>(a) | static_cast<unsigned>(b);
}
constexpr unsigned operator|(unsigned a, TTargetSetting b) {
    return a | static_cast<unsigned>(b);
}

// What a whole-run publisher reports.
struct TPublisherTotals {
    bool Succeeded = false;
    bool Cancelled = false;
    int Uploaded = 0;
    int Deleted = 0;
    // What went wrong, in plain words; empty when it succeeded.
    std::string Error;
    // The publisher's own account of the failure (the step and what the server said), as a
    // transport's error tells it; empty for none.
    std::string Detail;
    // What was done, in one line ("Publish from Corvane: 3 changed, 1 removed (commit ...)").
    std::string Summary;
};

// One file that a publish would change.
struct TSiteChange {
    std::string Name;
    // "New", "Changed" or "Removed"; "Kept" for a file the owner changed where it was
    // published, which the publish leaves as it is.
    std::string Kind;
    std::int64_t Size = 0;
};

// What a publish would change, worked out without changing anything.
struct TSiteChanges {
    // The site's files first, then the removals.
    std::vector<TSiteChange> Changes;
    // One line: what the publish would do ("N changed, M removed").
    std::string Summary;
    // Something the owner should know (what could not be read); empty for nothing.
    std::string Note;
};

// A target that publishes the site as one run of its own rather than file by file.
class TSitePublisher {
  public:
    virtual ~TSitePublisher() = default;
    // Reaches the place and reports each step as the connection test does.
    virtual TConnectionReport Test() = 0;
    // Publishes every file of siteFolder; status is told the step under way, progress the
    // share done (0 to 100). Both come on the caller's thread.
    virtual TPublisherTotals Publish(const std::string& siteFolder,
                                     const std::function<void(const std::string&)>& status,
                                     const std::function<void(int)>& progress) = 0;
    // What Publish(siteFolder) would change; reads the place, changes nothing. None when the
    // target cannot tell.
    virtual std::optional<TSiteChanges> Compare(const std::string& siteFolder);
    // Ends the run or test under way (any thread, a signal handler): atomics only.
    virtual void Cancel() noexcept = 0;
    // Told every step for a verbose log; never a password.
    std::function<void(const std::string&)> OnLog;
    // The names whose changes Publish makes (the files ticked in the list, removals
    // included); none: every change. What is left out stays as the place has it.
    std::optional<std::set<std::string>> Selected;
};

// The words of a target that are its own; FTP's where a target names none.
struct TTargetWords {
    // The run's message when the place refuses the folder or a file, and its status line as it
    // lets go of the place.
    const char* Failed = "FTP upload timeout!";
    const char* Closing = "Disconnect FTP Server...";
    // Sentences (lines of at most 80 characters, each ending in a line break) that corvane-cli's
    // usage of publish and connect adds for this target; "" for none.
    const char* PublishNote = "";
    const char* ConnectNote = "";
    // What the dialog offers for BRANCH (a target that uses Repository), the first the default.
    std::vector<std::string> Branches;
};

struct TPublishTarget {
    // As PROTOCOL stores it ("FTP"), and as corvane-cli names it.
    const char* Name = "";
    // As the dialog's list shows it ("FTPS (TLS)").
    const char* Caption = "";
    // One line for corvane-cli's usage and the manual: what FOLDER and the server mean here.
    const char* Summary = "";
    // Where it stands in every list: smaller first.
    int Order = 0;
    // The port when FTP_PORT is 0 (and what the dialog offers); 0 when Port is not used.
    std::int32_t DefaultPort = 0;
    // TTargetSetting bits.
    unsigned Uses = 0;
    // The dialog's caption of FOLDER ("Sub Folder:", "Folder:").
    const char* FolderCaption = "Sub Folder:";
    // Exactly one of these makes what publishes.
    std::function<std::unique_ptr<TTransport>(const TTransportSettings&)> MakeTransport;
    std::function<std::unique_ptr<TSitePublisher>(const TDPublish&, const TTransportSettings&)>
        MakePublisher;
    // Whether a failure is worth another attempt on a fresh connection; none: a broken
    // connection or a time-out is.
    std::function<bool(const TTransportError&)> IsTransient;
    // Where the keyring keeps the password of record; none: PROTOCOL, FTP_SERVER, FTP_PORT
    // and USER_NAME.
    std::function<TKeyringKey(const TDPublish&)> KeyringKey;
    TTargetWords Words;

    bool UsesSetting(TTargetSetting setting) const {
        return (Uses & static_cast<unsigned>(setting)) != 0;
    }
};

// Every target, in Order.
const std::vector<const TPublishTarget*>& PublishTargets();
// The target PROTOCOL text names exactly; null for none.
const TPublishTarget* FindPublishTarget(const std::string& name);
// "FTP, FTPS, SFTP and Folder": the names, for messages and the usage.
std::string PublishTargetNames(const char* lastJoin = " and ");

// A TTransport for settings.Protocol's target; a TError when it names none that makes one.
std::unique_ptr<TTransport> MakeTransport(const TTransportSettings& settings);
// Whether a failure of protocol's target is worth another attempt on a fresh connection (as
// its IsTransient says; IsTransientReply for an unknown one).
bool IsTransientFailure(const TTransportError& error, const std::string& protocol);

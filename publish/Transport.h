#pragma once

// One way of reaching the web server (FTP, FTPS or SFTP), as the publish run, the connection
// test and corvane-cli use it: connect and log in, change to the folder, upload, download,
// delete and rename files, ask a file's size, disconnect. Every operation blocks; every failure is
// a TTransportError. Cancel may be called from any thread or a signal handler.

#include "publish/TransportError.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Whether a file is in the folder, as far as the server lets it be known.
enum class TPresence {
    Present,
    Absent,
    Unknown, // the server tells no sizes and gives no listing that can be trusted for it
};

// Everything a transport needs to reach the server.
struct TTransportSettings {
    // The target, as PROTOCOL names it (publish/PublishTarget.h).
    std::string Protocol = "FTP";
    std::string Host;
    std::int32_t Port = 21;
    std::string User;
    std::string Password;
    bool Passive = false; // FTP and FTPS
    // The SHA-256 fingerprint ("AB:CD:...", compared without regard to case) of a certificate
    // or host key that the user accepted although it does not verify; empty for none.
    std::string Trusted;
    // Milliseconds for each reply, the connect and each step of a transfer; 0 waits for ever.
    std::int32_t ReadTimeout = 30000;
    // Tests only: a CA file trusted besides the system's store (FTPS), a known_hosts file in
    // place of the user's (SFTP) and a private key file (SFTP). Empty for the defaults.
    std::string CaFile;
    std::string KnownHostsFile;
    std::string IdentityFile;
    // The proxy of the publishing record, handed over as publishing always did; the
    // connection is direct (FTP's proxy kind fpcmNone uses neither).
    std::string ProxyHost;
    std::int32_t ProxyPort = 0;
};

class TTransport {
  public:
    virtual ~TTransport() = default;

    virtual void Connect() = 0;
    virtual void ChangeFolder(const std::string& folder) = 0;
    // Stores the whole local file under remoteName in the current folder; progress is told
    // the bytes sent so far.
    virtual void Upload(const std::string& localPath, const std::string& remoteName,
                        const std::function<void(std::int64_t)>& progress = {}) = 0;
    // The whole file remoteName of the current folder, at most maxBytes long (longer fails).
    // A file the server does not have fails as FileMissing.
    virtual std::string Download(const std::string& remoteName, std::int64_t maxBytes) = 0;
    // Deletes remoteName in the current folder; a file the server does not have fails as
    // FileMissing.
    virtual void Delete(const std::string& remoteName) = 0;
    // Renames fromName to toName in the current folder. Whether an existing toName is replaced
    // is the server's choice; where it is not, the rename fails as FileRefused (FTP servers
    // such as vsftpd and pyftpdlib replace it; SFTP through libssh never does on OpenSSH, so
    // UploadReplacing moves toName aside first there).
    virtual void Rename(const std::string& fromName, const std::string& toName) = 0;
    // The size in bytes of remoteName in the current folder, or -1 when the server cannot
    // tell; a file the server does not have fails as FileMissing.
    virtual std::int64_t RemoteSize(const std::string& remoteName) = 0;
    // The names in the current folder as the server lists them (files and whatever else it
    // holds; a server may leave hidden ones out). A server that gives no listing fails with
    // its refusal; this base has none to give and fails as FileRefused.
    virtual std::vector<std::string> ListNames();
    // Whether remoteName is in the current folder: by its size where the server tells sizes,
    // else by the listing of the folder (whose silence on a hidden name proves nothing);
    // Unknown when neither tells. Answers and refusals are never thrown; a Cancel, a broken
    // connection or a time-out is.
    TPresence Presence(const std::string& remoteName);
    // Makes the folder name in the current folder. It fails when the folder (or a file of that
    // name) exists already, on every server: the synchronising publish takes its lock so.
    virtual void MakeFolder(const std::string& name) = 0;
    // Removes the empty folder name in the current folder; one the server does not have fails
    // as FileMissing (an FTP server answers 550 also for a folder that is not empty).
    virtual void RemoveFolder(const std::string& name) = 0;
    // Puts the whole local file in place as remoteName in the current folder so that nobody
    // ever reads half of it: stores it under tempName, checks that the server holds as many
    // bytes under that name as the file has (where the server tells sizes), calls
    // beforeRename (which may throw to stop there), then renames tempName to remoteName.
    // Where the server refuses for good to rename over a remoteName that it holds (FTP: 550
    // or 553; SFTP: a failure), remoteName is moved aside (AsideFilePrefix), tempName renamed
    // into its place and the old file deleted only then; a refused second rename puts the old
    // file back. So the file on the server is never deleted before its replacement is in
    // place. A server found to refuse renames altogether (RenamesRefused) fails every later
    // file at its first refused rename. When a step fails, tempName is deleted (as far as the
    // server lets it), remoteName left as it was and the failure thrown with the server's
    // words; a file that did not arrive whole fails as ConnectionLost. Here the steps go one
    // after another; a transport may send the commands of several steps at once.
    virtual void UploadReplacing(const std::string& localPath, const std::string& remoteName,
                                 const std::string& tempName,
                                 const std::function<void(std::int64_t)>& progress = {},
                                 const std::function<void()>& beforeRename = {});
    // Whether UploadReplacing may send a command before the replies to those before it came.
    // A transport turns it off itself when the server failed to answer commands sent together;
    // whoever connects to the same server again carries that over to the new connection.
    virtual bool Pipelining() const { return false; }
    virtual void SetPipelining(bool /*pipelining*/) {}
    // Whether the server was found to refuse renames altogether: the rename over a file and
    // the move aside of that file were both refused. UploadReplacing then tries no other way
    // for the files after; whoever connects to the same server again carries it over. A
    // transport that wraps another forwards both, and UploadReplacing goes by them.
    virtual bool RenamesRefused() const { return FRenamesRefused; }
    virtual void SetRenamesRefused(bool refused) { FRenamesRefused = refused; }
    // Whether a failure is worth another attempt on a fresh connection; here by reply codes
    // (IsTransientReply).
    virtual bool IsTransient(const TTransportError& error) const;
    // Whether a refused rename says that its target exists; here a reply of 550 or 553.
    virtual bool RefusedAsExisting(const TTransportError& error) const;
    // Whether a failure refuses the command for now over a sound connection; here a reply of
    // the 4xx kind.
    virtual bool RefusedForNow(const TTransportError& error) const;
    // Closes the connection. Never fails.
    virtual void Disconnect() noexcept = 0;
    virtual bool Connected() const = 0;

    // Ends the operation under way within 0.1 s (it fails as Cancelled), and every later one
    // until ResetCancel.
    virtual void Cancel() noexcept = 0;
    virtual void ResetCancel() noexcept = 0;

    // Told every line sent and received, for a verbose log; never a password.
    std::function<void(const std::string&)> OnLog;
    // Told what the status line should show besides the step under way (for FTP: that the
    // server refused passive mode and the files go in active mode).
    std::function<void(const std::string&)> OnStatus;

  protected:
    // Stores the local file under tempName for UploadReplacing: Upload, unless the transport
    // has a way that never writes into what already has the name.
    virtual void UploadPart(const std::string& localPath, const std::string& tempName,
                            const std::function<void(std::int64_t)>& progress) {
        Upload(localPath, tempName, progress);
    }
    // Renames tempName to remoteName, replacing it as UploadReplacing says; on every failure
    // tempName is deleted (unless the connection is gone) and remoteName left as it was.
    void RenameIntoPlace(const std::string& tempName, const std::string& remoteName);
    // The rest of RenameIntoPlace after the rename of tempName to remoteName failed with
    // refusal: the move aside where the server holds remoteName, else the failure.
    void ReplaceRefused(const TTransportError& refusal, const std::string& tempName,
                        const std::string& remoteName);
    // Whether the server holds a file named remoteName: here as Presence tells (its size,
    // else the folder's listing). A transport that can look at the name itself says more (a
    // folder of that name is not a file to move aside).
    virtual TPresence TargetPresent(const std::string& remoteName);

  private:
    // Moves remoteName to aside; an aside left by an earlier run that was broken off between
    // its renames is deleted first when it stands in the way. What has the aside name and
    // cannot be deleted (a folder) is returned, the failure of its delete, and nothing moved.
    std::optional<TTransportError> MoveAside(const std::string& remoteName,
                                             const std::string& aside);

    bool FRenamesRefused = false;
};

// The prefix of the name a file goes up under before it takes its own name's place.
constexpr const char* PartFilePrefix = ".corvane-part-";
// The prefix of the name a file on the server is moved to while its replacement takes its
// place, on a server that does not rename over a file.
constexpr const char* AsideFilePrefix = ".corvane-old-";
// name with prefix put before its last part: "a.htm" gives ".corvane-part-a.htm",
// "www/a.htm" gives "www/.corvane-part-a.htm".
std::string PrefixedName(const char* prefix, const std::string& name);

// Whether a failure is worth another attempt on a fresh connection, by the reply codes of
// FTP: a broken or closed connection, a time-out, a reply of the 4xx kind; not a 5xx reply, a
// refused name or login, a missing folder, an untrusted server, a cancel or anything else.
bool IsTransientReply(const TTransportError& error);

// The failure of a file of size bytes of which the server holds only held (name: the file).
TTransportError NotWholeError(const std::string& name, std::int64_t held, std::int64_t size);

// A SHA-256 fingerprint (of a certificate or a host key) as it is shown and kept: the bytes
// as upper-case hexadecimal pairs joined by colons ("AB:CD:...").
std::string FingerprintText(const unsigned char* bytes, std::size_t size);
// A fingerprint as typed or stored, in the form that is compared: surrounding white space
// (blanks, tabs, line ends) trimmed, letters in upper case.
std::string NormalFingerprint(const std::string& text);
// True when both name the same fingerprint (as NormalFingerprint compares them); an empty
// one is never the same as another.
bool SameFingerprint(const std::string& a, const std::string& b);

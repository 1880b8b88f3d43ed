#pragma once

// Publishing over SFTP (SSH File Transfer Protocol) with libssh. The host key is checked
// against the user's known_hosts; one that is unknown or has changed is refused with its
// SHA-256 fingerprint unless it is the one the user trusted (TTransportSettings::Trusted).
// The login tries the user's keys (ssh-agent and the default key files, or the identity file
// given) and then the password. SFTP has no current folder: ChangeFolder checks the folder
// and makes it the one the uploads go to. A file goes up into a file made anew under a
// hidden name (whatever had that name removed first, a link never followed) and is then
// renamed into place, so that no upload ever writes through a link to outside the folder.
//
// Every blocking step of libssh is bounded by ReadTimeout and ended by Cancel in the same
// way: a watchdog (or Cancel itself) shuts the socket down under libssh, which then fails at
// once. The connection is lost after that; the step fails as NoAnswer or Cancelled.

#include "publish/Transport.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

struct ssh_session_struct;
struct sftp_session_struct;

class TSftpTransport : public TTransport {
  public:
    explicit TSftpTransport(TTransportSettings settings);
    ~TSftpTransport() override;
    TSftpTransport(const TSftpTransport&) = delete;
    TSftpTransport& operator=(const TSftpTransport&) = delete;

    void Connect() override;
    void ChangeFolder(const std::string& folder) override;
    void Upload(const std::string& localPath, const std::string& remoteName,
                const std::function<void(std::int64_t)>& progress = {}) override;
    std::string Download(const std::string& remoteName, std::int64_t maxBytes) override;
    void Delete(const std::string& remoteName) override;
    void Rename(const std::string& fromName, const std::string& toName) override;
    std::int64_t RemoteSize(const std::string& remoteName) override;
    // The names that reading the folder gives (hidden ones included), at most ListingLimit
    // bytes of them: a server that lists without end fails the listing.
    std::vector<std::string> ListNames() override;
    void MakeFolder(const std::string& name) override;
    void RemoveFolder(const std::string& name) override;
    // By the SFTP status: no connection or the connection lost (IsTransientStatus).
    bool IsTransient(const TTransportError& error) const override {
        return IsTransientStatus(error);
    }
    // A failure (4) or a file that exists (11).
    bool RefusedAsExisting(const TTransportError& error) const override;
    // SFTP has no refusal for now.
    bool RefusedForNow(const TTransportError&) const override { return false; }
    // Whether an SFTP failure is worth another attempt on a fresh connection: the connection
    // lost or none, a time-out; not a refused file, login or host key.
    static bool IsTransientStatus(const TTransportError& error);
    void Disconnect() noexcept override;
    bool Connected() const override;

    void Cancel() noexcept override;
    void ResetCancel() noexcept override { FCancelled = false; }

    // The folder the uploads go to: empty for the login folder.
    const std::string& Folder() const { return FFolder; }

    // The bytes of one SFTP write request.
    static constexpr std::size_t ChunkSize = 32768;
    // The most that the names of a listing may come to, as with FTP.
    static constexpr std::size_t MaxListingBytes = 16 * 1024 * 1024;
    // The limit in force: MaxListingBytes unless a test sets a smaller one.
    std::size_t ListingLimit = MaxListingBytes;

  protected:
    void UploadPart(const std::string& localPath, const std::string& tempName,
                    const std::function<void(std::int64_t)>& progress) override;
    // By the name itself (a link counts, and is not followed).
    TPresence TargetPresent(const std::string& remoteName) override;

  private:
    // One call on the path of name in the folder, bounded by the read time-out and logged
    // ("Delete PATH"); a result other than SSH_OK fails as FileRefused.
    void OnePathStep(const std::string& verb, const std::string& name,
                     const std::function<int(const char*)>& call);
    class TStep;
    friend class TStep;

    // The mode a file made on the server gets unless it replaces one (less the server's umask).
    static constexpr std::uint32_t NewFileMode = 0644;

    // Writes the local file into a file made anew as partName with mode (whatever had that
    // name before removed, never written through); failures name remoteName.
    void Store(const std::string& localPath, const std::string& partName,
               const std::string& remoteName, const std::function<void(std::int64_t)>& progress,
               std::uint32_t mode);
    // The permissions of the file remoteName, which the file replacing it keeps as it did when
    // it was written over in place; NewFileMode where no file has the name.
    std::uint32_t ModeToKeep(const std::string& remoteName);

    [[noreturn]] void Fail(const std::string& step, const std::string& detail,
                           TTransportFailure kind, const std::string& reason,
                           const std::string& fileName = {}, const std::string& fingerprint = {});
    // Fails a step that libssh reported failed: cancelled, timed out, the connection lost,
    // or else kind with reason.
    [[noreturn]] void FailSession(const std::string& step, TTransportFailure kind,
                                  const std::string& reason, const std::string& fileName = {});
    // Fails an operation on the file remoteName (at path) by the SFTP status: FileMissing,
    // DiskFull or FileRefused, else otherwise; the status goes along as the reply code.
    [[noreturn]] void FailFile(const std::string& step, const std::string& path,
                               const std::string& remoteName, TTransportFailure otherwise);
    // Fails a download that did not keep its pace (TTransferPace): received bytes came, fewer
    // than least in the last period.
    [[noreturn]] void FailTooSlow(const std::string& step, const std::string& path,
                                  const std::string& remoteName, std::int64_t received,
                                  std::size_t least);
    void ThrowIfCancelled(const std::string& step);
    void RequireConnected(const std::string& step);
    void Log(const std::string& line) const;
    std::string ServerName() const;
    std::string SessionError() const;
    int SftpError() const;

    void OpenSocket();
    void CheckHostKey();
    void Authenticate();
    bool AuthenticateWithKeys();
    bool AuthenticateWithPassword(unsigned methods);
    void ShutDownSocket() noexcept;

    // The watchdog: Arm bounds the step under way, Disarm ends the bound.
    void StartWatchdog();
    void StopWatchdog() noexcept;
    void Arm(std::int32_t milliseconds);
    void Disarm() noexcept;
    void Watch();

    TTransportSettings FSettings;
    ssh_session_struct* FSession = nullptr;
    sftp_session_struct* FSftp = nullptr;
    std::string FFolder;
    bool FConnected = false;
    // A cancel, a time-out or a broken connection ended the session; only Disconnect is left.
    bool FBroken = false;

    // The socket under the session (libssh holds a duplicate of it): Cancel and the watchdog
    // shut it down through FShutDownFd, which is -1 while there is nothing to shut down.
    int FSocket = -1;
    std::atomic<int> FShutDownFd{-1};
    std::atomic<int> FShutDownUsers{0};
    std::atomic<bool> FCancelled{false};
    std::atomic<bool> FBusy{false};

    std::mutex FWatchMutex;
    std::condition_variable FWatchWake;
    std::optional<std::chrono::steady_clock::time_point> FDeadline;
    bool FTimedOut = false;
    bool FStopWatch = false;
    std::thread FWatchdog;
};

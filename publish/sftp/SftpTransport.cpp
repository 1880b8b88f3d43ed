#include "publish/sftp/SftpTransport.h"

#include "platform/Text.h"
#include "publish/HostResolver.h"
#include "publish/ServerConnection.h"
#include "publish/TransferPace.h"

#include <libssh/libssh.h>
#include <libssh/sftp.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;

// Status codes of later SFTP versions that some servers send.
constexpr int SftpNoSpaceOnFilesystem = 14;
constexpr int SftpQuotaExceeded = 15;

// How long Disconnect waits for the server to take its goodbye when no time-out is set.
constexpr std::int32_t DisconnectMilliseconds = 2000;

// A failure as it is shown: the host name and the file names in its texts may come from a
// hand-edited project or from the server, and reach a terminal with no control character.
TTransportError ShownError(const std::string& message, TTransportFailure kind,
                           const std::string& reason, std::string fingerprint = {},
                           std::string fileName = {}) {
    return TTransportError(ControlCharactersShown(message), kind, ControlCharactersShown(reason),
                           std::move(fingerprint), std::move(fileName));
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

bool IsAbsolute(const std::string& path) {
    return !path.empty() && path.front() == '/';
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty() || IsAbsolute(name))
        return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

} // namespace

// One bounded step: arms the watchdog for the time-out and marks the transport busy, so
// that Cancel shuts the socket down under it.
class TSftpTransport::TStep {
  public:
    TStep(TSftpTransport& transport, std::int32_t milliseconds) : FTransport(transport) {
        FTransport.FBusy = true;
        FTransport.Arm(milliseconds);
        // A Cancel that came just before saw nothing busy: the step ends at once instead.
        if (FTransport.FCancelled)
            FTransport.ShutDownSocket();
    }
    ~TStep() {
        FTransport.Disarm();
        FTransport.FBusy = false;
    }
    TStep(const TStep&) = delete;
    TStep& operator=(const TStep&) = delete;

  private:
    TSftpTransport& FTransport;
};

TSftpTransport::TSftpTransport(TTransportSettings settings) : FSettings(std::move(settings)) {}

TSftpTransport::~TSftpTransport() {
    Disconnect();
}

namespace {

// SFTP statuses that say the connection, not the file, is the trouble.
constexpr int SftpNoConnection = 6;
constexpr int SftpConnectionLost = 7;

// SFTP statuses of a rename refused because the target exists.
constexpr int SftpFailure = 4;
constexpr int SftpFileAlreadyExists = 11;

} // namespace

bool TSftpTransport::IsTransientStatus(const TTransportError& error) {
    if (error.Kind() == TTransportFailure::Cancelled)
        return false;
    const int code = error.ReplyCode();
    if (code == SftpNoConnection || code == SftpConnectionLost)
        return true;
    switch (error.Kind()) {
    case TTransportFailure::NoAnswer:
    case TTransportFailure::ConnectionLost:
    case TTransportFailure::NothingListens:
        return true;
    default:
        return false;
    }
}

bool TSftpTransport::RefusedAsExisting(const TTransportError& error) const {
    return error.Kind() == TTransportFailure::FileRefused &&
           (error.ReplyCode() == SftpFailure || error.ReplyCode() == SftpFileAlreadyExists);
}

bool TSftpTransport::Connected() const {
    return FConnected && !FBroken;
}

void TSftpTransport::Log(const std::string& line) const {
    if (OnLog)
        OnLog(line);
}

std::string TSftpTransport::ServerName() const {
    return FSettings.Host + ":" + std::to_string(FSettings.Port);
}

std::string TSftpTransport::SessionError() const {
    const char* text = FSession ? ssh_get_error(FSession) : nullptr;
    return text && *text ? text : "no account of the failure";
}

int TSftpTransport::SftpError() const {
    return FSftp ? sftp_get_error(FSftp) : SSH_FX_OK;
}

void TSftpTransport::Fail(const std::string& step, const std::string& detail,
                          TTransportFailure kind, const std::string& reason,
                          const std::string& fileName, const std::string& fingerprint) {
    throw ShownError("SFTP server " + ServerName() + ", " + step + ": " + detail, kind, reason,
                     fingerprint, fileName);
}

void TSftpTransport::FailSession(const std::string& step, TTransportFailure kind,
                                 const std::string& reason, const std::string& fileName) {
    bool timedOut;
    {
        std::lock_guard lock(FWatchMutex);
        timedOut = FTimedOut;
    }
    if (FCancelled) {
        FBroken = true;
        Fail(step, "cancelled", TTransportFailure::Cancelled, "Cancelled.", fileName);
    }
    if (timedOut) {
        FBroken = true;
        Fail(step, "no answer within " + SecondsText(FSettings.ReadTimeout),
             TTransportFailure::NoAnswer,
             "No answer from " + ServerName() + " within " + SecondsText(FSettings.ReadTimeout) +
                 ".",
             fileName);
    }
    if (FSession && (ssh_is_connected(FSession) == 0 ||
                     ssh_get_status(FSession) & (SSH_CLOSED | SSH_CLOSED_ERROR))) {
        FBroken = true;
        Fail(step, SessionError(), TTransportFailure::ConnectionLost,
             "The connection to " + ServerName() + " was lost.", fileName);
    }
    std::string detail = SessionError();
    if (FSftp && SftpError() != SSH_FX_OK)
        detail += " (SFTP status " + std::to_string(SftpError()) + ")";
    Fail(step, detail, kind, reason, fileName);
}

void TSftpTransport::ThrowIfCancelled(const std::string& step) {
    if (FCancelled)
        Fail(step, "cancelled", TTransportFailure::Cancelled, "Cancelled.");
}

void TSftpTransport::RequireConnected(const std::string& step) {
    ThrowIfCancelled(step);
    if (!FConnected)
        Fail(step, "not connected", TTransportFailure::Other,
             "There is no connection to " + ServerName() + ".");
    if (FBroken)
        Fail(step, "the connection was lost before", TTransportFailure::ConnectionLost,
             "The connection to " + ServerName() + " was lost.");
}

void TSftpTransport::Cancel() noexcept {
    FCancelled = true;
    if (FBusy)
        ShutDownSocket();
}

void TSftpTransport::ShutDownSocket() noexcept {
    // Disconnect waits for every user to leave before it closes the socket, so the
    // descriptor shut down here is never one that has been reused for something else.
    ++FShutDownUsers;
    const int fd = FShutDownFd.load();
    if (fd >= 0)
        ::shutdown(fd, SHUT_RDWR);
    --FShutDownUsers;
}

void TSftpTransport::StartWatchdog() {
    {
        std::lock_guard lock(FWatchMutex);
        FStopWatch = false;
        FTimedOut = false;
        FDeadline.reset();
    }
    FWatchdog = std::thread([this] { Watch(); });
}

void TSftpTransport::StopWatchdog() noexcept {
    if (!FWatchdog.joinable())
        return;
    {
        std::lock_guard lock(FWatchMutex);
        FStopWatch = true;
    }
    FWatchWake.notify_all();
    FWatchdog.join();
}

void TSftpTransport::Arm(std::int32_t milliseconds) {
    std::lock_guard lock(FWatchMutex);
    FTimedOut = false;
    if (milliseconds > 0)
        FDeadline = TClock::now() + std::chrono::milliseconds(milliseconds);
    else
        FDeadline.reset();
    FWatchWake.notify_all();
}

void TSftpTransport::Disarm() noexcept {
    std::lock_guard lock(FWatchMutex);
    FDeadline.reset();
}

void TSftpTransport::Watch() {
    std::unique_lock lock(FWatchMutex);
    while (!FStopWatch) {
        if (!FDeadline) {
            FWatchWake.wait(lock);
        } else if (TClock::now() >= *FDeadline) {
            FTimedOut = true;
            FDeadline.reset();
            ShutDownSocket();
        } else {
            FWatchWake.wait_until(lock, *FDeadline);
        }
    }
}

void TSftpTransport::OpenSocket() {
    const std::string step = "connect";
    TServerConnectFailure failure;
    TFileDescriptor socket = ConnectToServer(FSettings.Host, FSettings.Port, AF_UNSPEC,
                                             FSettings.ReadTimeout, FCancelled, failure);
    if (!socket) {
        ThrowIfCancelled(step);
        Fail(step, failure.Detail, failure.Kind, failure.Reason);
    }
    // libssh waits with poll itself; the socket blocks for it.
    FSocket = socket.Release();
    FShutDownFd = FSocket;
}

void TSftpTransport::Connect() {
    Disconnect();
    const std::string step = "connect";
    ThrowIfCancelled(step);
    if (FSettings.Host.empty())
        Fail(step, "no host name given", TTransportFailure::HostNotFound, "no host name is given");
    if (FSettings.Port < 1 || FSettings.Port > 65535)
        Fail(step, std::to_string(FSettings.Port) + " is not a valid TCP port",
             TTransportFailure::Other, std::to_string(FSettings.Port) + " is not a valid port");

    try {
        Log("Connecting to " + ServerName() + " (SFTP)");
        OpenSocket();
        StartWatchdog();

        FSession = ssh_new();
        if (!FSession)
            Fail(step, "libssh has no session", TTransportFailure::Other,
                 "The SSH library cannot start a session.");
        const bool noConfig = false;
        const int quiet = SSH_LOG_NOLOG;
        const unsigned port = static_cast<unsigned>(FSettings.Port);
        // libssh closes its descriptor when the session goes; this one stays for the
        // watchdog until Disconnect.
        socket_t fd = ::fcntl(FSocket, F_DUPFD_CLOEXEC, 0);
        if (fd < 0)
            Fail(step, "cannot duplicate the socket (" + ErrorText(errno) + ")",
                 TTransportFailure::Other, "The connection cannot be set up.");
        bool optionsSet =
            ssh_options_set(FSession, SSH_OPTIONS_PROCESS_CONFIG, &noConfig) == 0 &&
            ssh_options_set(FSession, SSH_OPTIONS_LOG_VERBOSITY, &quiet) == 0 &&
            ssh_options_set(FSession, SSH_OPTIONS_HOST, FSettings.Host.c_str()) == 0 &&
            ssh_options_set(FSession, SSH_OPTIONS_PORT, &port) == 0;
        if (ssh_options_set(FSession, SSH_OPTIONS_FD, &fd) != 0) {
            ::close(fd);
            optionsSet = false;
        }
        if (!FSettings.User.empty())
            optionsSet = optionsSet &&
                         ssh_options_set(FSession, SSH_OPTIONS_USER, FSettings.User.c_str()) == 0;
        if (!FSettings.KnownHostsFile.empty())
            optionsSet = optionsSet &&
                         ssh_options_set(FSession, SSH_OPTIONS_KNOWNHOSTS,
                                         FSettings.KnownHostsFile.c_str()) == 0 &&
                         ssh_options_set(FSession, SSH_OPTIONS_GLOBAL_KNOWNHOSTS, "/dev/null") == 0;
        if (FSettings.ReadTimeout > 0) {
            // libssh's own limit only backs the watchdog up.
            const long seconds = 2L * ((FSettings.ReadTimeout + 999) / 1000);
            optionsSet =
                optionsSet && ssh_options_set(FSession, SSH_OPTIONS_TIMEOUT, &seconds) == 0;
        }
        if (!optionsSet)
            Fail(step, SessionError(), TTransportFailure::Other,
                 "The SSH connection cannot be set up.");

        {
            TStep bounded(*this, FSettings.ReadTimeout);
            if (ssh_connect(FSession) != SSH_OK)
                FailSession("SSH handshake", TTransportFailure::Other,
                            ServerName() + " does not answer as an SSH server.");
        }
        CheckHostKey();
        Authenticate();

        {
            TStep bounded(*this, FSettings.ReadTimeout);
            FSftp = sftp_new(FSession);
            if (!FSftp)
                FailSession("start SFTP", TTransportFailure::Other, "The server offers no SFTP.");
            if (sftp_init(FSftp) != SSH_OK)
                FailSession("start SFTP", TTransportFailure::Other, "The server offers no SFTP.");
        }
        FConnected = true;
        Log("SFTP session open");
    } catch (...) {
        Disconnect();
        throw;
    }
}

void TSftpTransport::CheckHostKey() {
    const std::string step = "host key";
    ssh_key key = nullptr;
    if (ssh_get_server_publickey(FSession, &key) != SSH_OK)
        FailSession(step, TTransportFailure::Other, "The server shows no host key.");
    unsigned char* hash = nullptr;
    std::size_t hashLength = 0;
    const int hashed = ssh_get_publickey_hash(key, SSH_PUBLICKEY_HASH_SHA256, &hash, &hashLength);
    const std::string keyType = ssh_key_type_to_char(ssh_key_type(key))
                                    ? ssh_key_type_to_char(ssh_key_type(key))
                                    : "unknown";
    ssh_key_free(key);
    if (hashed != 0)
        FailSession(step, TTransportFailure::Other, "The server's host key cannot be read.");
    const std::string fingerprint = FingerprintText(hash, hashLength);
    ssh_clean_pubkey_hash(&hash);
    Log("Host key " + keyType + " SHA-256 " + fingerprint);

    const ssh_known_hosts_e known = ssh_session_is_known_server(FSession);
    if (known == SSH_KNOWN_HOSTS_OK)
        return;
    if (known == SSH_KNOWN_HOSTS_ERROR)
        FailSession(step, TTransportFailure::Other, "The known hosts cannot be read.");
    if (!FSettings.Trusted.empty() && SameFingerprint(FSettings.Trusted, fingerprint)) {
        Log("Host key trusted for this project");
        return;
    }
    const bool changed = known == SSH_KNOWN_HOSTS_CHANGED || known == SSH_KNOWN_HOSTS_OTHER;
    const std::string which = changed ? "has changed" : "is unknown";
    // As a certificate that does not verify: why, then the fingerprint to trust.
    const std::string reason =
        "The server's host key is not trusted (" +
        std::string(changed ? "it differs from the one known for " : "it is not known for ") +
        FSettings.Host + "). Its SHA-256 fingerprint is " + fingerprint + ".";
    Fail(step, "the " + keyType + " host key " + which + " (SHA-256 " + fingerprint + ")",
         TTransportFailure::NotTrusted, reason, {}, fingerprint);
}

bool TSftpTransport::AuthenticateWithKeys() {
    TStep bounded(*this, FSettings.ReadTimeout);
    if (!FSettings.IdentityFile.empty()) {
        ssh_key key = nullptr;
        if (ssh_pki_import_privkey_file(FSettings.IdentityFile.c_str(), nullptr, nullptr, nullptr,
                                        &key) != SSH_OK)
            Fail("public key login", "cannot read " + FSettings.IdentityFile,
                 TTransportFailure::Other,
                 "The key file " + Quoted(FSettings.IdentityFile) + " cannot be read.",
                 FSettings.IdentityFile);
        const int result = ssh_userauth_publickey(FSession, nullptr, key);
        ssh_key_free(key);
        if (result == SSH_AUTH_ERROR)
            FailSession("public key login", TTransportFailure::Other, "The login failed.");
        return result == SSH_AUTH_SUCCESS;
    }
    // The agent's keys and the user's default key files.
    const int result = ssh_userauth_publickey_auto(FSession, nullptr, nullptr);
    if (result == SSH_AUTH_ERROR)
        FailSession("public key login", TTransportFailure::Other, "The login failed.");
    return result == SSH_AUTH_SUCCESS;
}

bool TSftpTransport::AuthenticateWithPassword(unsigned methods) {
    TStep bounded(*this, FSettings.ReadTimeout);
    if (methods & SSH_AUTH_METHOD_PASSWORD) {
        const int result = ssh_userauth_password(FSession, nullptr, FSettings.Password.c_str());
        if (result == SSH_AUTH_ERROR)
            FailSession("password login", TTransportFailure::Other, "The login failed.");
        if (result == SSH_AUTH_SUCCESS)
            return true;
    }
    if (methods & SSH_AUTH_METHOD_INTERACTIVE) {
        // The server asks its questions; the password answers every one that is not echoed.
        // A server that asks for more than a few rounds does not get in this way.
        int result = ssh_userauth_kbdint(FSession, nullptr, nullptr);
        for (int round = 0; result == SSH_AUTH_INFO && round < 4; ++round) {
            const int prompts = ssh_userauth_kbdint_getnprompts(FSession);
            for (int i = 0; i < prompts; ++i) {
                char echo = 0;
                ssh_userauth_kbdint_getprompt(FSession, static_cast<unsigned>(i), &echo);
                ssh_userauth_kbdint_setanswer(FSession, static_cast<unsigned>(i),
                                              echo ? "" : FSettings.Password.c_str());
            }
            result = ssh_userauth_kbdint(FSession, nullptr, nullptr);
        }
        if (result == SSH_AUTH_ERROR)
            FailSession("password login", TTransportFailure::Other, "The login failed.");
        if (result == SSH_AUTH_SUCCESS)
            return true;
    }
    return false;
}

void TSftpTransport::Authenticate() {
    const std::string step = "login";
    int result;
    {
        TStep bounded(*this, FSettings.ReadTimeout);
        result = ssh_userauth_none(FSession, nullptr);
    }
    if (result == SSH_AUTH_SUCCESS)
        return;
    if (result == SSH_AUTH_ERROR)
        FailSession(step, TTransportFailure::Other, "The login failed.");
    const unsigned methods = static_cast<unsigned>(ssh_userauth_list(FSession, nullptr));
    if ((methods & SSH_AUTH_METHOD_PUBLICKEY) && AuthenticateWithKeys()) {
        Log("Logged in with a key");
        return;
    }
    ThrowIfCancelled(step);
    if (!FSettings.Password.empty() && AuthenticateWithPassword(methods)) {
        Log("Logged in with the password");
        return;
    }
    ThrowIfCancelled(step);
    Fail(step, "no key and no password was accepted", TTransportFailure::LoginRefused,
         "The server refused the user name or password.");
}

void TSftpTransport::ChangeFolder(const std::string& folder) {
    const std::string step = "change folder";
    RequireConnected(step);
    const std::string path = JoinPath(FFolder, folder);
    Log("Folder " + path);
    sftp_attributes attributes;
    {
        TStep bounded(*this, FSettings.ReadTimeout);
        attributes = sftp_stat(FSftp, path.c_str());
    }
    if (!attributes) {
        const int error = SftpError();
        if (error == SSH_FX_NO_SUCH_FILE || error == SSH_FX_NO_SUCH_PATH)
            Fail(step, path + " does not exist", TTransportFailure::FolderMissing,
                 "The folder " + Quoted(folder) + " does not exist on the server.");
        if (error == SSH_FX_PERMISSION_DENIED)
            Fail(step, path + ": permission denied", TTransportFailure::FolderMissing,
                 "The folder " + Quoted(folder) + " cannot be entered.");
        FailSession(step, TTransportFailure::FolderMissing,
                    "The folder " + Quoted(folder) +
                        " does not exist on the server or cannot be entered.");
    }
    const bool isFolder = attributes->type == SSH_FILEXFER_TYPE_DIRECTORY;
    sftp_attributes_free(attributes);
    if (!isFolder)
        Fail(step, path + " is not a folder", TTransportFailure::FolderMissing,
             "The folder " + Quoted(folder) +
                 " does not exist on the server (a file has that name).");
    FFolder = path;
}

void TSftpTransport::Upload(const std::string& localPath, const std::string& remoteName,
                            const std::function<void(std::int64_t)>& progress) {
    // Never written into where it stands: a visitor never reads half of it, and a link of
    // that name is replaced, not followed to wherever it points.
    const std::string part = PrefixedName(PartFilePrefix, remoteName);
    Store(localPath, part, remoteName, progress, ModeToKeep(remoteName));
    RenameIntoPlace(part, remoteName);
}

void TSftpTransport::UploadPart(const std::string& localPath, const std::string& tempName,
                                const std::function<void(std::int64_t)>& progress) {
    Store(localPath, tempName, tempName, progress, NewFileMode);
}

std::uint32_t TSftpTransport::ModeToKeep(const std::string& remoteName) {
    RequireConnected("look at " + remoteName);
    const std::string path = JoinPath(FFolder, remoteName);
    sftp_attributes attributes;
    {
        TStep bounded(*this, FSettings.ReadTimeout);
        attributes = sftp_lstat(FSftp, path.c_str());
    }
    // Anything but a file of that name (none, a link, a folder) leaves the usual mode; a
    // failure shows in the upload that follows.
    std::uint32_t mode = NewFileMode;
    if (attributes && attributes->type == SSH_FILEXFER_TYPE_REGULAR &&
        (attributes->flags & SSH_FILEXFER_ATTR_PERMISSIONS) != 0)
        mode = attributes->permissions & 0777;
    if (attributes)
        sftp_attributes_free(attributes);
    return mode;
}

void TSftpTransport::Store(const std::string& localPath, const std::string& partName,
                           const std::string& remoteName,
                           const std::function<void(std::int64_t)>& progress, std::uint32_t mode) {
    const std::string step = "upload " + remoteName;
    RequireConnected(step);

    // Non-blocking, so that a FIFO in the file's place does not hold the run.
    const int local = ::open(localPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
    if (local < 0)
        Fail(step, localPath + ": " + ErrorText(errno), TTransportFailure::Other,
             "The local file " + Quoted(localPath) + " cannot be read (" + ErrorText(errno) + ").",
             localPath);
    std::unique_ptr<int, void (*)(int*)> closeLocal(new int(local), [](int* fd) {
        ::close(*fd);
        delete fd;
    });
    struct stat st {};
    if (::fstat(local, &st) != 0 || !S_ISREG(st.st_mode))
        Fail(step, localPath + " is not a regular file", TTransportFailure::Other,
             "The local file " + Quoted(localPath) + " cannot be read (it is not a regular file).",
             localPath);

    const std::string path = JoinPath(FFolder, partName);
    Log("Upload " + path + " (" + std::to_string(st.st_size) + " bytes)");
    // Made anew (SSH_FXF_EXCL), never opened through what has the name already. The mode
    // goes with the open (the server's umask applies): a later setstat would go by the name,
    // which a link may have taken by then.
    const auto create = [&] {
        TStep bounded(*this, FSettings.ReadTimeout);
        return sftp_open(FSftp, path.c_str(), O_WRONLY | O_CREAT | O_EXCL, mode);
    };
    sftp_file file = create();
    int error = file ? SSH_FX_OK : SftpError();
    if (!file && !FCancelled && (error == SSH_FX_FAILURE || error == SSH_FX_FILE_ALREADY_EXISTS)) {
        // Something has the name: the part of an earlier attempt, or a link put there. The
        // name goes (a link itself, not what it points to) and the file is made again.
        int removed;
        {
            TStep bounded(*this, FSettings.ReadTimeout);
            removed = sftp_unlink(FSftp, path.c_str());
        }
        if (removed == SSH_OK) {
            Log("Removed " + path + ", which was in the way");
            file = create();
            error = file ? SSH_FX_OK : SftpError();
        }
    }
    if (!file) {
        if (error == SftpNoSpaceOnFilesystem || error == SftpQuotaExceeded)
            Fail(step, path + ": no space", TTransportFailure::DiskFull,
                 "The server has no room for " + Quoted(remoteName) + ".", remoteName);
        if (error == SSH_FX_PERMISSION_DENIED || error == SSH_FX_FAILURE ||
            error == SSH_FX_NO_SUCH_FILE || error == SSH_FX_WRITE_PROTECT ||
            error == SSH_FX_FILE_ALREADY_EXISTS)
            Fail(step, path + ": refused (SFTP status " + std::to_string(error) + ")",
                 TTransportFailure::FileRefused,
                 "The server refused the file " + Quoted(remoteName) + ".", remoteName);
        FailSession(step, TTransportFailure::FileRefused,
                    "The server refused the file " + Quoted(remoteName) + ".", remoteName);
    }

    // A failed write leaves no part of the file behind when the session still serves.
    auto failWrite = [&](const std::string& detail) {
        const int error = SftpError();
        {
            std::lock_guard lock(FWatchMutex);
            if (FCancelled || FTimedOut)
                FBroken = true;
        }
        if (!FBroken && ssh_is_connected(FSession)) {
            TStep bounded(*this, FSettings.ReadTimeout);
            sftp_close(file);
            sftp_unlink(FSftp, path.c_str());
        } else {
            sftp_close(file);
        }
        // Servers of the third version say "failure" for a full disk or quota: the write
        // of a file that could be opened fails for little else.
        if (!FCancelled && !FBroken &&
            (error == SSH_FX_FAILURE || error == SftpNoSpaceOnFilesystem ||
             error == SftpQuotaExceeded))
            Fail(step, path + ": " + detail + " (SFTP status " + std::to_string(error) + ")",
                 TTransportFailure::DiskFull,
                 "The server has no room for " + Quoted(remoteName) + ".", remoteName);
        if (!FCancelled && !FBroken && error == SSH_FX_PERMISSION_DENIED)
            Fail(step, path + ": " + detail, TTransportFailure::FileRefused,
                 "The server refused the file " + Quoted(remoteName) + ".", remoteName);
        FailSession(step, TTransportFailure::FileRefused,
                    "The server refused the file " + Quoted(remoteName) + ".", remoteName);
    };

    std::vector<char> buffer(ChunkSize);
    std::int64_t sent = 0;
    for (;;) {
        if (FCancelled) {
            // The session is given up, as when Cancel comes during a write.
            ShutDownSocket();
            failWrite("cancelled");
        }
        const ssize_t got = ::read(local, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            const int error = errno;
            {
                // The part sent does not stay behind as if it were the file.
                TStep bounded(*this, FSettings.ReadTimeout);
                sftp_close(file);
                sftp_unlink(FSftp, path.c_str());
            }
            Fail(step, localPath + ": " + ErrorText(error), TTransportFailure::Other,
                 "The local file " + Quoted(localPath) + " cannot be read (" + ErrorText(error) +
                     ").",
                 localPath);
        }
        if (got == 0)
            break;
        ssize_t written;
        {
            TStep bounded(*this, FSettings.ReadTimeout);
            written = sftp_write(file, buffer.data(), static_cast<std::size_t>(got));
        }
        if (written != got)
            failWrite("the write failed");
        sent += got;
        if (progress)
            progress(sent);
    }
    int closed;
    {
        TStep bounded(*this, FSettings.ReadTimeout);
        closed = sftp_close(file);
    }
    if (closed != SSH_OK) {
        const int error = SftpError();
        if (!FCancelled && (error == SSH_FX_FAILURE || error == SftpNoSpaceOnFilesystem ||
                            error == SftpQuotaExceeded))
            Fail(step, path + ": the close failed", TTransportFailure::DiskFull,
                 "The server has no room for " + Quoted(remoteName) + ".", remoteName);
        FailSession(step, TTransportFailure::FileRefused,
                    "The server refused the file " + Quoted(remoteName) + ".", remoteName);
    }
}

void TSftpTransport::Disconnect() noexcept {
    if (FSession) {
        // A session that still serves says goodbye, bounded in time; a broken one does not.
        const std::int32_t wait = FSettings.ReadTimeout > 0
                                      ? std::min(FSettings.ReadTimeout, DisconnectMilliseconds)
                                      : DisconnectMilliseconds;
        if (FWatchdog.joinable())
            Arm(FBroken ? 1 : wait);
        if (FSftp)
            sftp_free(FSftp);
        FSftp = nullptr;
        if (!FBroken)
            ssh_disconnect(FSession);
        ssh_free(FSession);
        FSession = nullptr;
        if (FWatchdog.joinable())
            Disarm();
    }
    StopWatchdog();
    FShutDownFd = -1;
    while (FShutDownUsers.load() > 0)
        std::this_thread::yield();
    if (FSocket >= 0)
        ::close(FSocket);
    FSocket = -1;
    FConnected = false;
    FBroken = false;
    FFolder.clear();
}

[[noreturn]] void TSftpTransport::FailFile(const std::string& step, const std::string& path,
                                           const std::string& remoteName,
                                           TTransportFailure otherwise) {
    const int status = SftpError();
    {
        std::lock_guard lock(FWatchMutex);
        if (FCancelled || FTimedOut)
            FBroken = true;
    }
    if (!FBroken && status == SSH_FX_NO_SUCH_FILE)
        throw ShownError(
            "SFTP server " + ServerName() + ", " + step + ": " + path + " does not exist",
            TTransportFailure::FileMissing,
            "The file " + Quoted(remoteName) + " is not on the server.", {}, remoteName)
            .WithReplyCode(status);
    if (!FBroken && (status == SftpNoSpaceOnFilesystem || status == SftpQuotaExceeded))
        throw ShownError("SFTP server " + ServerName() + ", " + step + ": " + path +
                             ": no space (SFTP status " + std::to_string(status) + ")",
                         TTransportFailure::DiskFull,
                         "The server has no room for " + Quoted(remoteName) + ".", {}, remoteName)
            .WithReplyCode(status);
    if (!FBroken && (status == SSH_FX_PERMISSION_DENIED || status == SSH_FX_WRITE_PROTECT ||
                     status == SSH_FX_FILE_ALREADY_EXISTS))
        throw ShownError("SFTP server " + ServerName() + ", " + step + ": " + path +
                             ": refused (SFTP status " + std::to_string(status) + ")",
                         TTransportFailure::FileRefused,
                         "The server refused the file " + Quoted(remoteName) + ".", {}, remoteName)
            .WithReplyCode(status);
    try {
        FailSession(step, otherwise,
                    otherwise == TTransportFailure::FileRefused
                        ? "The server refused the file " + Quoted(remoteName) + "."
                        : "The file " + Quoted(remoteName) + " could not be read on the server.",
                    remoteName);
    } catch (TTransportError& e) {
        e.WithReplyCode(status);
        throw;
    }
}

std::string TSftpTransport::Download(const std::string& remoteName, std::int64_t maxBytes) {
    const std::string step = "download " + remoteName;
    RequireConnected(step);
    const std::string path = JoinPath(FFolder, remoteName);
    Log("Download " + path);
    sftp_file file;
    {
        TStep bounded(*this, FSettings.ReadTimeout);
        file = sftp_open(FSftp, path.c_str(), O_RDONLY, 0);
    }
    if (!file)
        FailFile(step, path, remoteName, TTransportFailure::Other);
    std::unique_ptr<sftp_file_struct, void (*)(sftp_file_struct*)> closeFile(
        file, [](sftp_file_struct* f) { sftp_close(f); });
    // Closing waits for the server: bounded as every step, and given up with a broken session.
    auto close = [&] {
        if (FBroken) {
            // libssh frees the handle without waiting when the socket is shut down.
            sftp_close(closeFile.release());
            return;
        }
        TStep bounded(*this, FSettings.ReadTimeout);
        sftp_close(closeFile.release());
    };
    const std::size_t limit = maxBytes < 0 ? 0 : static_cast<std::size_t>(maxBytes);
    std::string content;
    std::vector<char> buffer(ChunkSize);
    // However the server dribbles it, the file comes at a pace: something within
    // ReadTimeout, then LeastReceived bytes in each ReadTimeout; each read is bounded by what
    // is left of the period under way.
    TTransferPace pace(FSettings.ReadTimeout, TTransferPace::LeastReceived);
    for (;;) {
        if (FCancelled) {
            ShutDownSocket();
            FBroken = true;
            close();
            ThrowIfCancelled(step);
        }
        // One byte past the limit is enough to know that the file is too long.
        const std::size_t room = std::min(buffer.size(), limit + 1 - content.size());
        ssize_t got;
        {
            TStep bounded(*this, pace.MillisecondsLeft());
            got = sftp_read(file, buffer.data(), room);
        }
        if (got < 0) {
            const int status = SftpError();
            bool timedOut;
            {
                std::lock_guard lock(FWatchMutex);
                timedOut = FTimedOut && !FCancelled;
                if (FCancelled || FTimedOut)
                    FBroken = true;
            }
            close();
            if (timedOut)
                FailTooSlow(step, path, remoteName, pace.Total(), pace.Least());
            try {
                FailSession(step, TTransportFailure::Other,
                            "The file " + Quoted(remoteName) + " could not be read on the server.",
                            remoteName);
            } catch (TTransportError& e) {
                e.WithReplyCode(status);
                throw;
            }
        }
        if (got == 0)
            break;
        MakeRoom(content, static_cast<std::size_t>(got), limit + 1);
        content.append(buffer.data(), static_cast<std::size_t>(got));
        pace.Moved(static_cast<std::size_t>(got));
        if (content.size() > limit) {
            close();
            Fail(step, path + " is longer than " + std::to_string(maxBytes) + " bytes",
                 TTransportFailure::Other,
                 "The file " + Quoted(remoteName) + " on " + ServerName() + " is longer than " +
                     std::to_string(maxBytes) + " bytes.",
                 remoteName);
        }
    }
    close();
    return content;
}

void TSftpTransport::FailTooSlow(const std::string& step, const std::string& path,
                                 const std::string& remoteName, std::int64_t received,
                                 std::size_t least) {
    const std::string within = " within " + SecondsText(FSettings.ReadTimeout);
    const std::string sofar = std::to_string(received) + " bytes so far";
    if (received == 0)
        Fail(step, path + ": no data came" + within, TTransportFailure::NoAnswer,
             "Nothing of the file " + Quoted(remoteName) + " came from " + ServerName() + within +
                 ".",
             remoteName);
    Fail(step,
         path + ": less than " + std::to_string(least) + " bytes came" + within + " (" + sofar +
             ")",
         TTransportFailure::NoAnswer,
         "The file " + Quoted(remoteName) + " came too slowly from " + ServerName() +
             ": less than " + std::to_string(least / 1024) + " KiB" + within + " (" + sofar + ").",
         remoteName);
}

void TSftpTransport::OnePathStep(const std::string& verb, const std::string& name,
                                 const std::function<int(const char*)>& call) {
    const std::string step = verb + " " + name;
    RequireConnected(step);
    const std::string path = JoinPath(FFolder, name);
    std::string told = verb + " " + path;
    told[0] = static_cast<char>(told[0] - 'a' + 'A');
    Log(told);
    int result;
    {
        TStep bounded(*this, FSettings.ReadTimeout);
        result = call(path.c_str());
    }
    if (result != SSH_OK)
        FailFile(step, path, name, TTransportFailure::FileRefused);
}

void TSftpTransport::Delete(const std::string& remoteName) {
    OnePathStep("delete", remoteName,
                [this](const char* path) { return sftp_unlink(FSftp, path); });
}

void TSftpTransport::MakeFolder(const std::string& name) {
    // OpenSSH answers "failure" for a folder that exists.
    OnePathStep("make folder", name,
                [this](const char* path) { return sftp_mkdir(FSftp, path, 0755); });
}

void TSftpTransport::RemoveFolder(const std::string& name) {
    OnePathStep("remove folder", name,
                [this](const char* path) { return sftp_rmdir(FSftp, path); });
}

void TSftpTransport::Rename(const std::string& fromName, const std::string& toName) {
    const std::string step = "rename " + fromName;
    RequireConnected(step);
    const std::string from = JoinPath(FFolder, fromName), to = JoinPath(FFolder, toName);
    Log("Rename " + from + " to " + to);
    // libssh (0.10) renames with the plain SFTP rename and offers no call for OpenSSH's
    // posix-rename extension: OpenSSH and most servers then refuse to replace an existing
    // file (status "failure"), and UploadReplacing moves the old file aside first.
    int result;
    {
        TStep bounded(*this, FSettings.ReadTimeout);
        result = sftp_rename(FSftp, from.c_str(), to.c_str());
    }
    if (result == SSH_OK)
        return;
    const int status = SftpError();
    if (status == SSH_FX_FAILURE && !FCancelled) {
        // The name itself: a link there counts, whether or not it leads anywhere.
        sftp_attributes existing;
        {
            TStep bounded(*this, FSettings.ReadTimeout);
            existing = sftp_lstat(FSftp, to.c_str());
        }
        if (existing) {
            sftp_attributes_free(existing);
            throw ShownError("SFTP server " + ServerName() + ", " + step + ": " + to +
                                 " exists and is not replaced (SFTP status 4)",
                             TTransportFailure::FileRefused,
                             "The server does not rename " + Quoted(fromName) +
                                 " over the existing file " + Quoted(toName) + ".",
                             {}, toName)
                .WithReplyCode(status);
        }
    }
    FailFile(step, from, fromName, TTransportFailure::FileRefused);
}

std::int64_t TSftpTransport::RemoteSize(const std::string& remoteName) {
    const std::string step = "size " + remoteName;
    RequireConnected(step);
    const std::string path = JoinPath(FFolder, remoteName);
    sftp_attributes attributes;
    {
        TStep bounded(*this, FSettings.ReadTimeout);
        attributes = sftp_stat(FSftp, path.c_str());
    }
    if (!attributes)
        FailFile(step, path, remoteName, TTransportFailure::Other);
    const bool known = (attributes->flags & SSH_FILEXFER_ATTR_SIZE) != 0;
    const std::int64_t size = known ? static_cast<std::int64_t>(attributes->size) : -1;
    sftp_attributes_free(attributes);
    return size;
}

TPresence TSftpTransport::TargetPresent(const std::string& remoteName) {
    const std::string step = "look at " + remoteName;
    RequireConnected(step);
    const std::string path = JoinPath(FFolder, remoteName);
    sftp_attributes attributes;
    {
        TStep bounded(*this, FSettings.ReadTimeout);
        attributes = sftp_lstat(FSftp, path.c_str());
    }
    if (!attributes) {
        if (!FCancelled && SftpError() == SSH_FX_NO_SUCH_FILE)
            return TPresence::Absent;
        FailFile(step, path, remoteName, TTransportFailure::Other);
    }
    // A file, or a link in its place (which is moved, never followed); a folder is not
    // moved aside for a file.
    const bool file = attributes->type == SSH_FILEXFER_TYPE_REGULAR ||
                      attributes->type == SSH_FILEXFER_TYPE_SYMLINK;
    sftp_attributes_free(attributes);
    return file ? TPresence::Present : TPresence::Absent;
}

std::vector<std::string> TSftpTransport::ListNames() {
    const std::string step = "list folder";
    RequireConnected(step);
    const std::string path = FFolder.empty() ? std::string(".") : FFolder;
    sftp_dir folder;
    {
        TStep bounded(*this, FSettings.ReadTimeout);
        folder = sftp_opendir(FSftp, path.c_str());
    }
    if (!folder)
        FailSession(step, TTransportFailure::FolderMissing,
                    "The folder " + Quoted(path) + " cannot be read on the server.");
    std::unique_ptr<sftp_dir_struct, void (*)(sftp_dir_struct*)> closeFolder(
        folder, [](sftp_dir_struct* d) { sftp_closedir(d); });
    std::vector<std::string> names;
    std::size_t bytes = 0;
    bool tooLong = false;
    while (!tooLong) {
        sftp_attributes entry;
        {
            TStep bounded(*this, FSettings.ReadTimeout);
            entry = sftp_readdir(FSftp, folder);
        }
        if (!entry)
            break;
        if (entry->name && std::strcmp(entry->name, ".") != 0 &&
            std::strcmp(entry->name, "..") != 0) {
            bytes += std::strlen(entry->name) + 1;
            tooLong = bytes > ListingLimit;
            if (!tooLong)
                names.emplace_back(entry->name);
        }
        sftp_attributes_free(entry);
    }
    const bool complete = tooLong || sftp_dir_eof(folder) != 0;
    {
        std::lock_guard lock(FWatchMutex);
        if (FCancelled || FTimedOut)
            FBroken = true;
    }
    // libssh frees the handle without waiting when the socket is shut down.
    if (FBroken) {
        sftp_closedir(closeFolder.release());
    } else {
        TStep bounded(*this, FSettings.ReadTimeout);
        sftp_closedir(closeFolder.release());
    }
    if (!complete)
        FailSession(step, TTransportFailure::Other,
                    "The folder " + Quoted(path) + " could not be read to its end on the server.");
    if (tooLong)
        Fail(step,
             "the listing of " + path + " is longer than " + std::to_string(ListingLimit) +
                 " bytes",
             TTransportFailure::Other,
             "The listing of the folder " + Quoted(path) + " on " + ServerName() + " is too long.");
    return names;
}

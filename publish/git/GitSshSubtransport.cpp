#include "publish/git/GitSshSubtransport.h"

#include "publish/ServerConnection.h"
#include "publish/git/GitAddress.h"
#include "publish/git/GitCallbacks.h"
#include "publish/git/GitPublisher.h"
#include "publish/git/GitSocket.h"
#include "publish/git/KnownHosts.h"

#include "platform/Text.h"

#include <git2/sys/credential.h>
#include <libssh/libssh.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// How long a read waits in libssh at a time; the watchdog bounds the whole wait.
constexpr int ReadSliceMs = 100;
// The most the goodbye to the server may take.
constexpr int GoodbyeMs = 2000;
// The most of the server's error stream kept for the failure.
constexpr std::size_t MaxErrorText = 512;

TGitSshSubtransport& Self(git_smart_subtransport* face) {
    return *reinterpret_cast<TGitSshSubtransport::TFace*>(face)->Self;
}

TGitSshSubtransport& Self(git_smart_subtransport_stream* face) {
    return *reinterpret_cast<TGitSshSubtransport::TStreamFace*>(face)->Self;
}

int SetError(int kind, const std::string& text) {
    git_error_set_str(kind, text.c_str());
    return -1;
}

// "%41" as "A", as Git reads the path of an ssh:// address.
std::string PercentDecoded(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() &&
            std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The command the server runs: the program and the repository's path in single quotes, as
// git-shell and a login shell read it.
std::string Command(const char* program, const std::string& url, const TGitAddress& address) {
    std::string path = address.Path;
    if (url.find("://") != std::string::npos) {
        // "ssh://host/~ann/site.git" names a folder in ann's home.
        if (path.rfind("/~", 0) == 0)
            path.erase(0, 1);
        path = PercentDecoded(path);
    }
    std::string quoted = "'";
    for (char c : path)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return std::string(program) + " " + quoted + "'";
}

git_cert_ssh_raw_type_t RawType(ssh_keytypes_e type) {
    switch (type) {
    case SSH_KEYTYPE_RSA:
        return GIT_CERT_SSH_RAW_TYPE_RSA;
    case SSH_KEYTYPE_DSS:
        return GIT_CERT_SSH_RAW_TYPE_DSS;
    case SSH_KEYTYPE_ECDSA_P256:
        return GIT_CERT_SSH_RAW_TYPE_KEY_ECDSA_256;
    case SSH_KEYTYPE_ECDSA_P384:
        return GIT_CERT_SSH_RAW_TYPE_KEY_ECDSA_384;
    case SSH_KEYTYPE_ECDSA_P521:
        return GIT_CERT_SSH_RAW_TYPE_KEY_ECDSA_521;
    case SSH_KEYTYPE_ED25519:
        return GIT_CERT_SSH_RAW_TYPE_KEY_ED25519;
    default:
        return GIT_CERT_SSH_RAW_TYPE_UNKNOWN;
    }
}

} // namespace

int TGitSshSubtransport::Make(git_smart_subtransport** out, git_transport* owner, void* param) {
    auto* callbacks = static_cast<TGitCallbacks*>(param);
    if (!callbacks || !callbacks->Sockets)
        return SetError(GIT_ERROR_INVALID, "the SSH transport has no run");
    auto* made = new TGitSshSubtransport(owner, *callbacks);
    *out = &made->FFace.Base;
    return 0;
}

TGitSshSubtransport::TGitSshSubtransport(git_transport* owner, TGitCallbacks& callbacks)
    : FOwner(owner), FCallbacks(callbacks), FWatchdog(callbacks.Sockets->Cancelled) {
    FFace.Self = this;
    FFace.Base.action = [](git_smart_subtransport_stream** out, git_smart_subtransport* face,
                           const char* url, git_smart_service_t service) {
        return Self(face).Action(out, url, service);
    };
    FFace.Base.close = [](git_smart_subtransport* face) {
        Self(face).Close();
        return 0;
    };
    FFace.Base.free = [](git_smart_subtransport* face) { delete &Self(face); };
    FStream.Self = this;
    FStream.Base.subtransport = &FFace.Base;
    FStream.Base.read = [](git_smart_subtransport_stream* face, char* buffer, size_t size,
                           size_t* got) { return Self(face).Read(buffer, size, got); };
    FStream.Base.write = [](git_smart_subtransport_stream* face, const char* data, size_t length) {
        return Self(face).Write(data, length);
    };
    // The stream is this object's: freeing it ends the connection it runs on.
    FStream.Base.free = [](git_smart_subtransport_stream* face) { Self(face).Close(); };
}

TGitSshSubtransport::~TGitSshSubtransport() {
    Close();
}

int TGitSshSubtransport::TimeoutMs() const {
    return std::max(FCallbacks.Sockets->TimeoutMs, 0);
}

bool TGitSshSubtransport::Cancelled() const {
    return FCallbacks.Sockets->Cancelled;
}

int TGitSshSubtransport::Failed(const std::string& step) {
    FBroken = true;
    if (Cancelled())
        return SetError(GIT_ERROR_NET, "cancelled while " + step);
    if (FWatchdog.TimedOut())
        return SetError(GIT_ERROR_NET, "timed out " + step + " (no answer within " +
                                           std::to_string(TimeoutMs()) + " ms)");
    const char* said = FSession ? ssh_get_error(FSession) : nullptr;
    return SetError(GIT_ERROR_SSH,
                    step + ": " + (said && *said ? said : "the connection was lost"));
}

int TGitSshSubtransport::Action(git_smart_subtransport_stream** out, const char* url,
                                git_smart_service_t service) {
    switch (service) {
    case GIT_SERVICE_UPLOADPACK:
    case GIT_SERVICE_RECEIVEPACK:
        // The listing before opened the channel that the exchange goes on with.
        if (FChannel && !FBroken) {
            *out = &FStream.Base;
            return 0;
        }
        [[fallthrough]];
    case GIT_SERVICE_UPLOADPACK_LS:
    case GIT_SERVICE_RECEIVEPACK_LS:
        break;
    }
    const bool fetch = service == GIT_SERVICE_UPLOADPACK || service == GIT_SERVICE_UPLOADPACK_LS;
    return Start(url, fetch ? "git-upload-pack" : "git-receive-pack", out);
}

int TGitSshSubtransport::Start(const char* url, const char* program,
                               git_smart_subtransport_stream** out) {
    Close();
    FBroken = false;
    FErrorText.clear();
    TGitAddress address;
    try {
        address = ParseGitAddress(url ? url : "");
    } catch (const std::exception& e) {
        return SetError(GIT_ERROR_INVALID, e.what());
    }
    if (const int code = Connect(address); code < 0)
        return code;
    if (const int code = CheckHostKey(address.Host); code < 0)
        return code;
    if (const int code = LogIn(FCallbacks.SshUser(address.User)); code < 0)
        return code;
    const std::string command = Command(program, url, address);
    TSocketWatchdog::TStep step(FWatchdog, TimeoutMs());
    FChannel = ssh_channel_new(FSession);
    if (!FChannel || ssh_channel_open_session(FChannel) != SSH_OK)
        return Failed("opening a channel");
    if (ssh_channel_request_exec(FChannel, command.c_str()) != SSH_OK)
        return Failed("starting " + std::string(program));
    *out = &FStream.Base;
    return 0;
}

int TGitSshSubtransport::Connect(const TGitAddress& address) {
    TServerConnectFailure failure;
    TFileDescriptor socket = ConnectToServer(address.Host, address.Port, AF_UNSPEC, TimeoutMs(),
                                             FCallbacks.Sockets->Cancelled, failure);
    if (!socket) {
        if (!Cancelled())
            FCallbacks.Refuse(failure.Kind, failure.Reason);
        return SetError(GIT_ERROR_NET, failure.Detail);
    }
    FSocket = socket.Release();
    // The exchange is many small packets, each answered: none is to wait for the one
    // before to be acknowledged (40 ms a time on loopback).
    const int on = 1;
    ::setsockopt(FSocket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    FCallbacks.Sockets->Socket = FSocket;
    FWatchdog.Start(FSocket);

    FSession = ssh_new();
    if (!FSession)
        return SetError(GIT_ERROR_SSH, "the SSH library cannot start a session");
    const bool noConfig = false;
    const int quiet = SSH_LOG_NOLOG;
    const unsigned port = static_cast<unsigned>(address.Port);
    // libssh closes its descriptor when the session goes; this one stays for the watchdog.
    socket_t fd = ::fcntl(FSocket, F_DUPFD_CLOEXEC, 0);
    bool set = fd >= 0 && ssh_options_set(FSession, SSH_OPTIONS_PROCESS_CONFIG, &noConfig) == 0 &&
               ssh_options_set(FSession, SSH_OPTIONS_LOG_VERBOSITY, &quiet) == 0 &&
               ssh_options_set(FSession, SSH_OPTIONS_HOST, address.Host.c_str()) == 0 &&
               ssh_options_set(FSession, SSH_OPTIONS_PORT, &port) == 0;
    if (fd >= 0 && (!set || ssh_options_set(FSession, SSH_OPTIONS_FD, &fd) != 0)) {
        ::close(fd);
        set = false;
    }
    if (set && TimeoutMs() > 0) {
        // libssh's own limit only backs the watchdog up.
        const long seconds = 2L * ((TimeoutMs() + 999) / 1000);
        set = ssh_options_set(FSession, SSH_OPTIONS_TIMEOUT, &seconds) == 0;
    }
    if (!set)
        return SetError(GIT_ERROR_SSH, "the SSH connection cannot be set up");
    TSocketWatchdog::TStep step(FWatchdog, TimeoutMs());
    if (ssh_connect(FSession) != SSH_OK)
        return Failed("in the SSH handshake");
    return 0;
}

int TGitSshSubtransport::CheckHostKey(const std::string& host) {
    ssh_key key = nullptr;
    if (ssh_get_server_publickey(FSession, &key) != SSH_OK)
        return Failed("reading the host key");
    unsigned char* hash = nullptr;
    std::size_t hashLength = 0;
    char* base64 = nullptr;
    std::string raw;
    const bool read =
        ssh_get_publickey_hash(key, SSH_PUBLICKEY_HASH_SHA256, &hash, &hashLength) == 0 &&
        ssh_pki_export_pubkey_base64(key, &base64) == SSH_OK && DecodeBase64(base64, raw);
    const git_cert_ssh_raw_type_t type = RawType(ssh_key_type(key));
    ssh_key_free(key);
    git_cert_hostkey certificate{};
    if (read && hashLength == sizeof certificate.hash_sha256)
        std::memcpy(certificate.hash_sha256, hash, hashLength);
    ssh_clean_pubkey_hash(&hash);
    ssh_string_free_char(base64);
    if (!read || hashLength != sizeof certificate.hash_sha256)
        return SetError(GIT_ERROR_SSH, "the server's host key cannot be read");
    // As libgit2's own transport shows it, so that the check stays the one of every run.
    certificate.parent.cert_type = GIT_CERT_HOSTKEY_LIBSSH2;
    certificate.type = static_cast<git_cert_ssh_t>(GIT_CERT_SSH_SHA256 | GIT_CERT_SSH_RAW);
    certificate.raw_type = type;
    certificate.hostkey = raw.data();
    certificate.hostkey_len = raw.size();
    const int checked =
        git_transport_smart_certificate_check(FOwner, &certificate.parent, 0, host.c_str());
    if (checked == 0)
        return 0;
    FBroken = true;
    if (!git_error_last() || checked == GIT_PASSTHROUGH)
        SetError(GIT_ERROR_SSH, "the host key of " + host + " was not accepted");
    return checked == GIT_PASSTHROUGH ? -1 : checked;
}

int TGitSshSubtransport::LogIn(const std::string& user) {
    int result;
    {
        TSocketWatchdog::TStep step(FWatchdog, TimeoutMs());
        result = ssh_userauth_none(FSession, user.c_str());
    }
    if (result == SSH_AUTH_SUCCESS)
        return 0;
    if (result == SSH_AUTH_ERROR)
        return Failed("logging in");
    // The credentials give one key after another until one is taken or none is left.
    for (int attempt = 0; attempt < 32; ++attempt) {
        git_credential* credential = nullptr;
        const int asked = git_transport_smart_credentials(&credential, FOwner, user.c_str(),
                                                          GIT_CREDENTIAL_SSH_KEY);
        if (asked < 0 || !credential) {
            FBroken = true;
            if (!git_error_last() || asked == GIT_PASSTHROUGH || asked >= 0)
                SetError(GIT_ERROR_SSH, "authentication refused: no key was taken");
            return asked < 0 && asked != GIT_PASSTHROUGH ? asked : -1;
        }
        result = SSH_AUTH_DENIED;
        if (credential->credtype == GIT_CREDENTIAL_SSH_KEY) {
            const auto* given = reinterpret_cast<const git_credential_ssh_key*>(credential);
            const std::string name = given->username ? given->username : user;
            if (given->privatekey) {
                ssh_key key = nullptr;
                const std::string file = given->privatekey;
                if (ssh_pki_import_privkey_file(file.c_str(), given->passphrase, nullptr, nullptr,
                                                &key) == SSH_OK) {
                    TSocketWatchdog::TStep step(FWatchdog, TimeoutMs());
                    result = ssh_userauth_publickey(FSession, name.c_str(), key);
                    ssh_key_free(key);
                } else if (file == FCallbacks.Settings().IdentityFile) {
                    // The key file given is the login: it fails as SFTP's does.
                    git_credential_free(credential);
                    FBroken = true;
                    FCallbacks.Refuse(TTransportFailure::Other, "The key file \"" +
                                                                    ControlCharactersShown(file) +
                                                                    "\" cannot be read.");
                    return SetError(GIT_ERROR_SSH, "cannot read the key " + file);
                } else if (FCallbacks.OnLog) {
                    // One of the user's (one with a passphrase, say): the next is tried.
                    FCallbacks.OnLog("The key " + ControlCharactersShown(file) + " cannot be read");
                }
            } else {
                TSocketWatchdog::TStep step(FWatchdog, TimeoutMs());
                result = ssh_userauth_agent(FSession, name.c_str());
            }
        }
        git_credential_free(credential);
        if (result == SSH_AUTH_SUCCESS)
            return 0;
        // An agent that cannot be reached fails its keys alone; a lost connection all.
        if (result == SSH_AUTH_ERROR &&
            (Cancelled() || FWatchdog.TimedOut() || ssh_is_connected(FSession) == 0))
            return Failed("logging in");
    }
    FBroken = true;
    return SetError(GIT_ERROR_SSH, "authentication refused: too many keys");
}

int TGitSshSubtransport::Read(char* buffer, std::size_t size, std::size_t* got) {
    *got = 0;
    if (!FChannel || FBroken)
        return SetError(GIT_ERROR_NET, "the SSH connection is closed");
    const auto wanted = static_cast<std::uint32_t>(std::min<std::size_t>(size, 1u << 20));
    TSocketWatchdog::TStep step(FWatchdog, TimeoutMs());
    for (;;) {
        const int read = ssh_channel_read_timeout(FChannel, buffer, wanted, 0, ReadSliceMs);
        if (read > 0) {
            *got = static_cast<std::size_t>(read);
            return 0;
        }
        if (read == SSH_ERROR || Cancelled() || FWatchdog.TimedOut() ||
            ssh_is_connected(FSession) == 0)
            return Failed("waiting for the server");
        // The error stream is read as it comes: libssh tells the end only once it is empty.
        char part[256];
        for (int text; (text = ssh_channel_read_nonblocking(FChannel, part, sizeof part, 1)) > 0;)
            if (FErrorText.size() < MaxErrorText)
                FErrorText.append(part, static_cast<std::size_t>(text));
        if (ssh_channel_is_eof(FChannel) || ssh_channel_is_closed(FChannel))
            return OutputEnded();
    }
}

int TGitSshSubtransport::OutputEnded() {
    const std::string said = TrimBlanks(ControlCharactersShown(FErrorText.substr(0, MaxErrorText)));
    if (said.empty())
        return 0; // libgit2 makes of the end what it is
    return SetError(GIT_ERROR_NET, "the server said: " + said);
}

int TGitSshSubtransport::Write(const char* data, std::size_t length) {
    if (!FChannel || FBroken)
        return SetError(GIT_ERROR_NET, "the SSH connection is closed");
    TSocketWatchdog::TStep step(FWatchdog, TimeoutMs());
    while (length > 0) {
        const auto part = static_cast<std::uint32_t>(std::min<std::size_t>(length, 1u << 20));
        const int written = ssh_channel_write(FChannel, data, part);
        if (written < 0 || Cancelled() || FWatchdog.TimedOut() || ssh_is_connected(FSession) == 0)
            return Failed("sending to the server");
        data += written;
        length -= static_cast<std::size_t>(written);
    }
    return 0;
}

void TGitSshSubtransport::Close() noexcept {
    {
        // A goodbye the server may take or leave, within a short while; after a failure
        // none, and libssh lets go of what it holds at once.
        const int timeout = TimeoutMs() > 0 ? std::min(TimeoutMs(), GoodbyeMs) : GoodbyeMs;
        TSocketWatchdog::TStep step(FWatchdog, timeout);
        const bool polite = FSession && !FBroken && ssh_is_connected(FSession) != 0;
        if (FChannel) {
            if (polite)
                ssh_channel_close(FChannel);
            ssh_channel_free(FChannel);
        }
        FChannel = nullptr;
        // (ssh_disconnect frees the session's channels: the channel went first.)
        if (polite)
            ssh_disconnect(FSession);
        if (FSession)
            ssh_free(FSession);
        FSession = nullptr;
    }
    FWatchdog.Stop();
    if (FSocket >= 0) {
        int open = FSocket;
        FCallbacks.Sockets->Socket.compare_exchange_strong(open, -1);
        ::close(FSocket);
        FSocket = -1;
    }
}

#include "publish/git/GitCallbacks.h"

#include "publish/git/GitAddress.h"
#include "publish/git/GitPublisher.h"
#include "publish/git/GitSshSubtransport.h"
#include "publish/git/KnownHosts.h"

#include "platform/FileSystem.h"
#include "platform/Text.h"

#include <git2.h>
#include <openssl/evp.h>

#include <cstdlib>
#include <vector>

namespace {

TGitCallbacks& Self(void* payload) {
    return *static_cast<TGitCallbacks*>(payload);
}

int CredentialsCallback(git_credential** out, const char* url, const char* userFromUrl,
                        unsigned int allowed, void* payload) {
    return Self(payload).Credentials(out, url, userFromUrl, allowed);
}

int CertificateCallback(git_cert* certificate, int valid, const char* host, void* payload) {
    return Self(payload).CertificateCheck(certificate, valid, host);
}

int TransferCallback(const git_indexer_progress* progress, void* payload) {
    return Self(payload).Transfer(progress->received_objects, progress->total_objects);
}

int PushTransferCallback(unsigned int current, unsigned int total, size_t, void* payload) {
    return Self(payload).Transfer(current, total);
}

int PushStatusCallback(const char* reference, const char* status, void* payload) {
    return Self(payload).PushStatus(reference, status);
}

// An SSH address goes through libssh (TGitSshSubtransport), whose every wait is bounded.
int SshTransportCallback(git_transport** out, git_remote* owner, void* payload) {
    git_smart_subtransport_definition definition{TGitSshSubtransport::Make, 0, payload};
    return git_transport_smart(out, owner, &definition);
}

int SidebandCallback(const char* text, int length, void* payload) {
    return Self(payload).Sideband(text, length);
}

// The SSH keys tried after the agent's, as OpenSSH tries them.
std::vector<std::string> UserKeyFiles() {
    std::vector<std::string> files;
    const char* home = std::getenv("HOME");
    if (!home || !*home)
        return files;
    for (const char* name : {"id_ed25519", "id_ecdsa", "id_rsa"}) {
        const std::string path = std::string(home) + "/.ssh/" + name;
        if (FileExists(path))
            files.push_back(path);
    }
    return files;
}

} // namespace

TGitCallbacks::TGitCallbacks(const TGitSettings& settings, const std::atomic<bool>& cancelled)
    : FSettings(settings), FCancelled(cancelled) {
    try {
        const TGitAddress address = ParseGitAddress(settings.Repository);
        FRepositoryHost = address.Host;
        FPort = address.Port;
        FHttps = address.Scheme == "https";
        FSsh = address.Scheme == "ssh";
    } catch (const std::exception&) {
        // The publisher refuses the address before it connects.
    }
}

void TGitCallbacks::Fill(git_remote_callbacks& callbacks) {
    callbacks.credentials = CredentialsCallback;
    callbacks.certificate_check = CertificateCallback;
    callbacks.transfer_progress = TransferCallback;
    callbacks.push_transfer_progress = PushTransferCallback;
    callbacks.push_update_reference = PushStatusCallback;
    callbacks.sideband_progress = SidebandCallback;
    callbacks.payload = this;
    if (FSsh)
        callbacks.transport = SshTransportCallback;
    FTokenTried = false;
    FKeyTried = 0;
}

void TGitCallbacks::Refuse(TTransportFailure kind, std::string reason, std::string fingerprint) {
    if (Refused)
        return;
    Refused = true;
    Refusal = kind;
    Reason = std::move(reason);
    Fingerprint = std::move(fingerprint);
}

std::string TGitCallbacks::SshUser(const std::string& userFromUrl) const {
    return !userFromUrl.empty()      ? userFromUrl
           : !FSettings.User.empty() ? FSettings.User
                                     : std::string("git");
}

int TGitCallbacks::Credentials(void* out, const char* url, const char* userFromUrl,
                               unsigned allowed) {
    auto* credential = static_cast<git_credential**>(out);
    if (FCancelled)
        return GIT_EUSER;
    const std::string user = SshUser(userFromUrl ? userFromUrl : "");
    if ((allowed & GIT_CREDENTIAL_SSH_KEY) != 0) {
        // The key file given, else the agent's keys, then the user's key files.
        std::vector<std::string> files;
        if (!FSettings.IdentityFile.empty())
            files.push_back(FSettings.IdentityFile);
        const bool agent = FSettings.IdentityFile.empty() && std::getenv("SSH_AUTH_SOCK");
        if (FSettings.IdentityFile.empty())
            for (const std::string& file : UserKeyFiles())
                files.push_back(file);
        const int attempt = FKeyTried++;
        if (agent && attempt == 0) {
            if (OnLog)
                OnLog("Logging in as " + user + " with the agent's keys");
            return git_credential_ssh_key_from_agent(credential, user.c_str());
        }
        const std::size_t index = static_cast<std::size_t>(attempt - (agent ? 1 : 0));
        if (index < files.size()) {
            if (OnLog)
                OnLog("Logging in as " + user + " with the key " + files[index]);
            return git_credential_ssh_key_new(credential, user.c_str(), nullptr,
                                              files[index].c_str(), nullptr);
        }
        Refuse(TTransportFailure::LoginRefused,
               "The server refused the SSH keys of " + user +
                   (agent || !files.empty() ? "." : " (there is neither an agent nor a key)."));
        return GIT_EUSER;
    }
    if ((allowed & GIT_CREDENTIAL_USERPASS_PLAINTEXT) != 0) {
        if (FTokenTried || FSettings.Token.empty()) {
            Refuse(TTransportFailure::LoginRefused,
                   FSettings.Token.empty()
                       ? std::string("The server asks for a user name and token, and none is set.")
                       : "The server refused the user name " + FSettings.User + " or its token.");
            return GIT_EUSER;
        }
        // Never in clear to another machine, wherever a redirect led.
        std::string refusal;
        try {
            refusal = ClearTextTokenRefusal(ParseGitAddress(url ? url : FSettings.Repository));
        } catch (const std::exception&) {
            refusal = ClearTextTokenRefusal(ParseGitAddress(FSettings.Repository));
        }
        if (!refusal.empty()) {
            Refuse(TTransportFailure::Other, refusal);
            return GIT_EUSER;
        }
        FTokenTried = true;
        return git_credential_userpass_plaintext_new(credential, user.c_str(),
                                                     FSettings.Token.c_str());
    }
    if ((allowed & GIT_CREDENTIAL_USERNAME) != 0)
        return git_credential_username_new(credential, user.c_str());
    Refuse(TTransportFailure::LoginRefused, "The server asks for a login that is not supported.");
    return GIT_EUSER;
}

int TGitCallbacks::CertificateCheck(void* certificate, int valid, const char* host) {
    const auto* cert = static_cast<const git_cert*>(certificate);
    const std::string hostName = host ? host : FRepositoryHost;
    if (cert->cert_type == GIT_CERT_HOSTKEY_LIBSSH2) {
        const auto* key = static_cast<const git_cert_hostkey*>(certificate);
        std::string fingerprint;
        if ((key->type & GIT_CERT_SSH_SHA256) != 0)
            fingerprint = FingerprintText(key->hash_sha256, sizeof key->hash_sha256);
        if (OnLog)
            OnLog("Host key SHA-256 " + fingerprint);
        TKnownHost known = TKnownHost::Unknown;
        if ((key->type & GIT_CERT_SSH_RAW) != 0) {
            const std::string file =
                FSettings.KnownHostsFile.empty() ? UserKnownHostsFile() : FSettings.KnownHostsFile;
            known =
                CheckKnownHost(file, hostName, FPort, std::string(key->hostkey, key->hostkey_len));
        }
        if (known == TKnownHost::Known)
            return 0;
        if (!FSettings.Trusted.empty() && SameFingerprint(FSettings.Trusted, fingerprint)) {
            if (OnLog)
                OnLog("Host key trusted for this project");
            return 0;
        }
        const bool changed = known == TKnownHost::Changed;
        Refuse(TTransportFailure::NotTrusted,
               "The host key of " + hostName + (changed ? " has changed" : " is unknown") + " (" +
                   (changed ? "it differs from the one known" : "it is not in known_hosts") +
                   "); its SHA-256 fingerprint is " + fingerprint + ".",
               fingerprint);
        return GIT_ECERTIFICATE;
    }
    if (valid)
        return 0;
    std::string fingerprint;
    if (cert->cert_type == GIT_CERT_X509) {
        const auto* x509 = static_cast<const git_cert_x509*>(certificate);
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        if (EVP_Digest(x509->data, x509->len, digest, &length, EVP_sha256(), nullptr) == 1)
            fingerprint = FingerprintText(digest, length);
    }
    if (!fingerprint.empty() && !FSettings.Trusted.empty() &&
        SameFingerprint(FSettings.Trusted, fingerprint))
        return 0;
    Refuse(TTransportFailure::NotTrusted,
           "The certificate of " + hostName + " does not verify; its SHA-256 fingerprint is " +
               fingerprint + ".",
           fingerprint);
    return GIT_ECERTIFICATE;
}

int TGitCallbacks::Transfer(unsigned done, unsigned total) {
    if (FCancelled)
        return GIT_EUSER;
    if (OnTransfer)
        OnTransfer(done, total);
    return 0;
}

int TGitCallbacks::PushStatus(const char* reference, const char* status) {
    if (status) {
        PushRejection = status;
        if (OnLog)
            OnLog(std::string("The server refused ") + (reference ? reference : "") + ": " +
                  status);
    }
    return 0;
}

int TGitCallbacks::Sideband(const char* text, int length) {
    if (FCancelled)
        return GIT_EUSER;
    if (OnLog && length > 0) {
        std::string line(text, static_cast<std::size_t>(length));
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        if (!line.empty())
            OnLog("remote: " + ControlCharactersShown(line));
    }
    return 0;
}

#pragma once

// What libgit2 asks of a Git publish while it talks to the server: the login (HTTPS user and
// token; SSH keys, the agent's first), the host key or certificate (checked against
// known_hosts or the project's trusted fingerprint, as SFTP and FTPS do), cancel and
// progress, and the server's answer to the push. A refusal is kept in plain words for the
// failure that libgit2 then reports.

#include "publish/Transport.h"

#include <atomic>
#include <functional>
#include <string>

struct git_remote_callbacks;
struct TGitSettings;
class TGitSocketScope;

class TGitCallbacks {
  public:
    TGitCallbacks(const TGitSettings& settings, const std::atomic<bool>& cancelled);

    // Points callbacks at this object; each connection counts its logins anew. An SSH address
    // goes through TGitSshSubtransport.
    void Fill(git_remote_callbacks& callbacks);

    // The run's time-out and cancel (the SSH connection takes both from here).
    TGitSocketScope* Sockets = nullptr;

    // Keeps the first refusal of the connection: its kind, one sentence and a fingerprint.
    void Refuse(TTransportFailure kind, std::string reason, std::string fingerprint = {});
    // The user an SSH login names: the address's, else the settings', else "git".
    std::string SshUser(const std::string& userFromUrl) const;
    // The settings of the run.
    const TGitSettings& Settings() const { return FSettings; }

    // Whether a callback refused, of which kind, why (one sentence) and, for a host key or
    // certificate, its fingerprint.
    bool Refused = false;
    TTransportFailure Refusal = TTransportFailure::Other;
    std::string Reason;
    std::string Fingerprint;
    // The server's status for the pushed branch: empty when it took the push.
    std::string PushRejection;

    std::function<void(const std::string&)> OnLog;
    // Objects received (fetch) or sent (push) of the total.
    std::function<void(unsigned done, unsigned total)> OnTransfer;

    // libgit2's C callbacks reach these.
    int Credentials(void* out, const char* url, const char* userFromUrl, unsigned allowed);
    int CertificateCheck(void* certificate, int valid, const char* host);
    int Transfer(unsigned done, unsigned total);
    int PushStatus(const char* reference, const char* status);
    int Sideband(const char* text, int length);

  private:
    const TGitSettings& FSettings;
    const std::atomic<bool>& FCancelled;
    std::string FRepositoryHost;
    int FPort = 0;
    bool FHttps = false;
    bool FSsh = false;
    // The logins tried on this connection: the token once, the SSH keys one after another.
    bool FTokenTried = false;
    int FKeyTried = 0;
};

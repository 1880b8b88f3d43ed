#pragma once

// Git over SSH through libssh, in place of libgit2's own SSH transport (libssh2 there waits on
// the socket without end): libgit2's smart protocol runs over a channel that executes
// git-upload-pack or git-receive-pack on the server. Every wait (the connect, the handshake,
// the login, each read and write) is bounded by the run's read time-out and ended by Cancel
// (TSocketWatchdog). The host key goes to the run's certificate check and the keys come from
// its credentials, so both stay as they were: known_hosts or the trusted fingerprint; the key
// file given, else the agent's keys and the user's key files.

#include "publish/git/SocketWatchdog.h"

#include <git2.h>
#include <git2/sys/transport.h>

#include <string>

struct ssh_session_struct;
struct ssh_channel_struct;
struct TGitAddress;
class TGitCallbacks;

class TGitSshSubtransport {
  public:
    // libgit2's git_smart_subtransport_cb; param is the run's TGitCallbacks, whose Sockets
    // give the time-out and the cancel.
    static int Make(git_smart_subtransport** out, git_transport* owner, void* param);

    ~TGitSshSubtransport();
    TGitSshSubtransport(const TGitSshSubtransport&) = delete;
    TGitSshSubtransport& operator=(const TGitSshSubtransport&) = delete;

    // What libgit2 holds: its structures first, then this object.
    struct TFace {
        git_smart_subtransport Base;
        TGitSshSubtransport* Self;
    };
    struct TStreamFace {
        git_smart_subtransport_stream Base;
        TGitSshSubtransport* Self;
    };

    int Action(git_smart_subtransport_stream** out, const char* url, git_smart_service_t service);
    int Read(char* buffer, std::size_t size, std::size_t* got);
    int Write(const char* data, std::size_t length);
    // Ends the channel and the connection (politely while the server still answers).
    void Close() noexcept;

  private:
    TGitSshSubtransport(git_transport* owner, TGitCallbacks& callbacks);

    int Start(const char* url, const char* program, git_smart_subtransport_stream** out);
    int Connect(const TGitAddress& address);
    int CheckHostKey(const std::string& host);
    int LogIn(const std::string& user);
    // The output ended: what the server wrote on its error stream becomes the failure.
    int OutputEnded();
    // Sets libgit2's error for a libssh step that failed: cancelled, timed out, or libssh's
    // account; -1.
    int Failed(const std::string& step);
    int TimeoutMs() const;
    bool Cancelled() const;

    git_transport* FOwner;
    TGitCallbacks& FCallbacks;
    TFace FFace{};
    TStreamFace FStream{};
    ssh_session_struct* FSession = nullptr;
    ssh_channel_struct* FChannel = nullptr;
    // The socket under the session (libssh holds a duplicate of it), shut down by the
    // watchdog and by the run's Cancel.
    int FSocket = -1;
    TSocketWatchdog FWatchdog;
    // A step failed: the connection is not to be used again, nor closed politely.
    bool FBroken = false;
    // What the server wrote on its error stream (the first MaxErrorText bytes).
    std::string FErrorText;
};

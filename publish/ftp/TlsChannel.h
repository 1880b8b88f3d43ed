#pragma once

// TLS (OpenSSL) over a connected socket, as the FTP client runs it on its control connection
// and on each data connection (explicit FTPS). The socket is made non-blocking; the caller
// waits with poll for what Want() names whenever an operation would block, so that every
// wait stays bounded and cancellable. The certificate is checked against the system's CA
// store (and a CA file of the tests) and against the host name; the caller decides what an
// unverified certificate means.

#include <cstddef>
#include <string>

struct ssl_st;
struct ssl_ctx_st;
struct ssl_session_st;

class TTlsChannel {
  public:
    // What an operation did: bytes or done (> 0), the peer's end (0), would block (Blocked:
    // wait for Want(), then call it again) or failed (Failed: Error() says why).
    static constexpr long Blocked = -2;
    static constexpr long Failed = -1;

    TTlsChannel() = default;
    ~TTlsChannel();
    TTlsChannel(const TTlsChannel&) = delete;
    TTlsChannel& operator=(const TTlsChannel&) = delete;

    // A client context: TLS 1.2 or later, the system's CA store and caFile when given. Null
    // with error set when OpenSSL cannot make it.
    static ssl_ctx_st* NewContext(const std::string& caFile, std::string& error);
    static void FreeContext(ssl_ctx_st* context) noexcept;

    // Starts the client's side on fd, naming host for the server (SNI) and for the
    // certificate's check; resume, when given, is the session offered (a data connection
    // resumes the control connection's session). False with error set when it cannot start.
    bool Start(ssl_ctx_st* context, int fd, const std::string& host, ssl_session_st* resume,
               std::string& error);
    // One step of the handshake: 1 when it is done, Blocked or Failed.
    long Handshake();
    long Read(char* buffer, std::size_t size);
    long Write(const char* data, std::size_t size);
    // Sends the close notification (once, without waiting for the peer's): the end of a
    // transfer, so that the server takes the file as whole: 1 when sent, Blocked or Failed.
    long Shutdown() noexcept;
    // Frees the connection's state; the socket is the caller's.
    void Close() noexcept;
    // Frees the state of a data connection broken off on purpose (a file too long) without a
    // close notification, keeping its session fit to be resumed: it is the control
    // connection's, which every later data connection resumes, and a server that requires
    // that (vsftpd) refuses a new one.
    void Abandon() noexcept;

    bool Active() const { return FSsl != nullptr; }
    // Bytes already decrypted and waiting to be read (poll does not see them).
    bool Pending() const;
    // POLLIN or POLLOUT: what a Blocked operation waits for.
    short Want() const { return FWant; }
    const std::string& Error() const { return FError; }

    // After the handshake: whether the certificate verified (chain and host name), why not,
    // its SHA-256 fingerprint ("AB:CD:..."), and whether the session was resumed.
    bool Verified() const;
    std::string VerifyError() const;
    std::string Fingerprint() const;
    bool Resumed() const;
    // The last session (TLS 1.2 session, TLS 1.3 ticket) that the server gave any connection
    // of the context (borrowed; null for none), and how many it gave so far: a data
    // connection offers the last one.
    static ssl_session_st* LatestSession(ssl_ctx_st* context);
    static unsigned SessionsReceived(ssl_ctx_st* context);

  private:
    long Outcome(int result, const char* what);

    ssl_st* FSsl = nullptr;
    short FWant = 0;
    std::string FError;
};

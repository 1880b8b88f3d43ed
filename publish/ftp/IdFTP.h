#pragma once

// The small FTP client with which the site is published: one control connection, logged in
// by Connect, at most one ChangeFolder, any number of Upload and Download (one data
// connection each, active mode unless Passive is set), Delete, Rename and RemoteSize, and
// Disconnect, which closes the control connection without QUIT. With UseTls it speaks explicit
// FTPS: AUTH TLS before the login, PBSZ 0 and PROT P after it, and TLS on every data connection,
// resuming the control connection's session. Every operation blocks; every failure is a
// TTransportError whose ReplyCode is the reply's code, 0 when the failure was not a refused reply.

#include "platform/Error.h"
#include "platform/FileDescriptor.h"
#include "publish/TransportError.h"
#include "publish/ftp/TlsChannel.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

class TTransferPace;

enum TIdFTPTransferType { ftBinary, ftASCII };

// The only proxy kind of this client: a direct connection, the proxy host and port unused.
enum TIdFtpProxyType { fpcmNone };

struct TIdFtpProxySettings {
    TIdFtpProxyType ProxyType = fpcmNone;
    std::string Host;
    std::int32_t Port = 0;
};

class TIdFTP {
  public:
    // The longest reply line that is accepted, in characters (without its line end).
    static constexpr std::size_t MaxLineLength = 16384;
    // The most a whole reply may hold: its lines (empty ones included) and their characters
    // (without line ends). A server that goes on past either fails the step.
    static constexpr std::size_t MaxReplyLines = 1000;
    static constexpr std::size_t MaxReplyCharacters = 65536;

    TIdFTP() = default;
    ~TIdFTP();
    TIdFTP(const TIdFTP&) = delete;
    TIdFTP& operator=(const TIdFTP&) = delete;

    // Opens the control connection to Host:Port, reads the greeting, logs in, sets the
    // representation type and sends SYST. Closes what it opened when a step fails.
    void Connect();
    // CWD with the folder text unchanged.
    void ChangeFolder(const std::string& folder);
    // Stores the whole local file on the server under remoteName in the current folder.
    // The control connection stays open when it fails.
    // progress is told the bytes sent so far.
    void Upload(const std::string& localPath, const std::string& remoteName,
                const std::function<void(std::int64_t)>& progress = {});
    // RETR: the whole file remoteName of the current folder, over a data connection as an
    // upload's. A file longer than maxBytes fails (its data connection reset); 550 fails as
    // FileMissing. Its first bytes must come within ReadTimeout and then at least 16 KiB in
    // each ReadTimeout (TTransferPace), or it fails as NoAnswer and the session is given up.
    std::string Download(const std::string& remoteName, std::int64_t maxBytes);
    // DELE; 550 fails as FileMissing.
    void Delete(const std::string& remoteName);
    // The names in the current folder: NLST, or MLSD where NLST is refused (4xx or 5xx), over
    // a data connection as a download's; at most MaxListingBytes of listing.
    std::vector<std::string> ListNames();
    static constexpr std::int64_t MaxListingBytes = 16 * 1024 * 1024;
    // RNFR and RNTO; 550 to RNFR fails as FileMissing.
    void Rename(const std::string& fromName, const std::string& toName);
    // SIZE in binary type (TYPE I first when TransferType is ftASCII, and back after): the
    // size in bytes, -1 when the server does not know the command (500, 502); 550 fails as
    // FileMissing.
    std::int64_t RemoteSize(const std::string& remoteName);
    // MKD: fails (as FileRefused for 550 and 553) when the folder exists or is refused.
    void MakeFolder(const std::string& name);
    // RMD; 550 fails as FileMissing.
    void RemoveFolder(const std::string& name);
    // Puts the local file in place as remoteName in the current folder (binary type only):
    // stores it under tempName, then sends SIZE and RNFR together, calls beforeRename while
    // their replies come, and when the server holds every byte sent sends RNTO, in passive
    // mode together with the next transfer's EPSV or PASV (that transfer then uses the
    // connection made). A rename that the server refuses for good (5xx) goes to
    // renameRefused with the refusal, when given, which decides what follows (it may throw);
    // without it tempName is deleted and the refusal thrown. remoteName is never deleted.
    // When a step before the rename fails (beforeRename's throw
    // among them) the begun rename is ended by RNTO tempName and tempName deleted. Every
    // reply to commands sent together is read before a failure is thrown; a server that
    // leaves the later of them unanswered (or closes the connection before it) fails the
    // step, loses the session and turns Pipelining off.
    void UploadReplacing(const std::string& localPath, const std::string& remoteName,
                         const std::string& tempName,
                         const std::function<void(std::int64_t)>& progress = {},
                         const std::function<void()>& beforeRename = {},
                         const std::function<void(const TTransportError&)>& renameRefused = {});
    // Whether UploadReplacing may be used; see above.
    bool Pipelining = true;
    // Closes the control connection. Sends nothing and never fails.
    void Disconnect();

    bool Connected() const { return FSocket.IsOpen(); }

    // Ends the operation under way, from any thread or a signal handler: within 0.1 s it
    // fails with "cancelled" (an upload's data connection reset, so that the server does not
    // take the part sent for the file), and so does every later operation until ResetCancel.
    void Cancel() noexcept { FCancelled = true; }
    void ResetCancel() noexcept { FCancelled = false; }
    bool Cancelled() const noexcept { return FCancelled; }
    // The detail of an operation's message when it was cancelled.
    static const char* const CancelledText;
    // The reply to the last command: its code and its lines, trimmed.
    int LastReplyCode() const { return FReplyCode; }
    const std::vector<std::string>& LastReplyLines() const { return FReplyLines; }

    std::string Host;
    std::int32_t Port = 21;
    std::string Username;
    std::string Password;
    // Milliseconds within which each whole reply must come, the TCP connect (all addresses
    // together) must be made and the server must open an active transfer's connection, and
    // in each of which a send must get 4096 bytes (or the rest) through and a download bring
    // 16 KiB after its first bytes; 0 waits without limit.
    std::int32_t ReadTimeout = 0;
    // Passive data connections: EPSV when the control connection is IPv6, else PASV, each
    // connected to the control connection's peer whatever address the reply names. A server
    // that refuses them (5xx) gets PORT (or EPRT) for the rest of the session.
    bool Passive = false;
    // Explicit FTPS. The certificate must verify against the system's CA store (and CaFile)
    // and Host, or have the SHA-256 fingerprint Trusted (compared without regard to case).
    bool UseTls = false;
    std::string CaFile;
    std::string Trusted;
    TIdFTPTransferType TransferType = ftBinary;
    TIdFtpProxySettings ProxySettings;

    // Told every line sent ("> USER name") and received ("< 220 Ready"); the password is
    // shown as "****". A server's text, here and in messages, has each control character
    // shown as "?" and at most 200 characters.
    std::function<void(const std::string&)> OnLog;
    // Told what the status line should say besides the step (the fall-back to active mode).
    std::function<void(const std::string&)> OnStatus;

    // True when passive mode was refused and this session's transfers go in active mode.
    bool PassiveRefused() const { return FPassiveRefused; }
    // True when the last data connection resumed the control connection's TLS session.
    bool LastDataResumed() const { return FDataResumed; }

  private:
    std::string Server() const;
    [[noreturn]] void Fail(const std::string& step, const std::string& detail, int code = 0,
                           const std::string& fileName = "",
                           TTransportFailure kind = TTransportFailure::Other,
                           const std::string& reason = "",
                           const std::string& fingerprint = "") const;
    // A failure of the connection itself (resolve, connect, read or send): cancelled, timed
    // out or broken, in plain words.
    [[noreturn]] void FailConnection(const std::string& step, const std::string& detail,
                                     bool timedOut) const;
    // Reads from the control connection (TLS or not) into FInput; false at its end, with
    // error set on a failure; Blocked (want set) when nothing is there yet.
    long ReceiveControl(char* buffer, std::size_t size);
    bool SendData(int fd, TTlsChannel* tls, const char* data, std::size_t size, std::string& error);
    // Fails a download that did not keep its pace (TTransferPace), naming the file and the
    // server; the data connection is reset and the session given up.
    [[noreturn]] void FailTooSlow(const std::string& step, const std::string& remoteName,
                                  const TTransferPace& pace, TFileDescriptor& data,
                                  TTlsChannel& dataTls);
    // The TLS handshake on fd (the control connection, or a data connection resuming its
    // session), then the certificate's check.
    void StartTls(int fd, TTlsChannel& channel, bool data, const std::string& step);
    // Ends a transfer over TLS: the close notification, then what the server still sends
    // (its tickets among it) up to its own.
    void FinishTlsTransfer(int fd, TTlsChannel& channel);
    // The active transfer: listens on the control connection's local address and sends
    // PORT (IPv4) or EPRT (IPv6); returns the listener.
    TFileDescriptor ListenForData(const std::string& step);
    // Tries EPSV or PASV; false when the server refused it (5xx) and active mode is to be
    // used, else the data connection, not yet with TLS.
    bool OpenPassiveConnection(const std::string& step, TFileDescriptor& data);
    // Opens a transfer's data connection (passive, or active by PORT or EPRT), sends command
    // (accepted with 125 or 150; refusal as for Command), takes the active connection and
    // starts TLS on it: the channel to use, or null without TLS.
    TTlsChannel* OpenTransfer(const std::string& step, const std::string& command, int refusal,
                              const std::string& subject, TFileDescriptor& listener,
                              TFileDescriptor& data, TTlsChannel& dataTls);
    void Log(const std::string& line) const;
    void SendLine(const std::string& line, const std::string& step, const std::string& shown);
    std::string ReadLine(const std::string& step, std::chrono::steady_clock::time_point deadline);
    void ReadReply(const std::string& step);
    // Sends a command (shown in logs and messages as `shown`), reads its reply and fails
    // unless the reply's code is one of `accepted`; returns the code.
    // refusal (a TRefusal of IdFTP.cpp) says what a refused reply means in plain words,
    // with subject the folder or file it concerns.
    int Command(const std::string& line, std::initializer_list<int> accepted,
                const std::string& shown = "", int refusal = 0, const std::string& subject = "");
    // A reply as it was read.
    struct TReply {
        int Code = 0;
        std::vector<std::string> Lines;
    };
    // Sends the lines at once (the session is given up when they cannot all be sent).
    void SendTogether(const std::vector<std::string>& lines, const std::string& step);
    // Reads the reply to a command sent with others; when it fails the session is given up
    // and, for a later command (later), Pipelining turned off.
    TReply ReadSentReply(const std::string& step, bool later);
    // Makes reply the last reply again.
    void Restore(const TReply& reply);
    // Fails unless the last reply's code is one of accepted (as Expect after its reading).
    void Judge(const std::string& step, std::initializer_list<int> accepted, int refusal,
               const std::string& subject);
    // The size that a SIZE reply (the last one) gives: -1 unless its code is 213.
    std::int64_t SizeOfReply(const std::string& step, const std::string& remoteName);
    // A download's work: sends retrieve over a new data connection (refusal and subject as
    // for Command) and reads what comes, at most maxBytes (one byte more sets tooLong, resets
    // the data connection and reads the reply, giving the session up without one).
    std::string Receive(const std::string& step, const std::string& retrieve, int refusal,
                        const std::string& subject, std::int64_t maxBytes, bool& tooLong);
    // Upload's work: the bytes sent.
    std::int64_t Store(const std::string& localPath, const std::string& remoteName,
                       const std::function<void(std::int64_t)>& progress);
    // EPSV when the control connection is IPv6, else PASV.
    std::string PassiveCommand() const;
    // The data connection named by the last reply, to EPSV or PASV: false when the server
    // refused passive mode (5xx), active mode then being used for the rest of the session.
    bool PassiveReplied(const std::string& step, TFileDescriptor& data);
    void Expect(const std::string& step, std::initializer_list<int> accepted);
    void Expect(const std::string& step, std::initializer_list<int> accepted, int refusal,
                const std::string& subject);
    // Waits, until deadline when ReadTimeout is set, for a connection to the listening socket.
    // Meanwhile whatever arrives on the control connection is kept for the next reply;
    // false (with error set) when the control connection ends first.
    bool WaitForDataConnection(int listener, std::chrono::steady_clock::time_point deadline,
                               std::string& error);
    // Takes the active transfer's data connection: only one from the address of the control
    // connection's peer; any other is closed and the wait goes on, within ReadTimeout.
    TFileDescriptor AcceptDataConnection(int listener, const std::string& step);

    TFileDescriptor FSocket;
    ssl_ctx_st* FTlsContext = nullptr;
    TTlsChannel FControlTls;
    bool FPassiveRefused = false;
    bool FDataResumed = false;
    std::atomic<bool> FCancelled{false};
    // The passive data connection that UploadReplacing made for the next transfer.
    TFileDescriptor FPreparedData;
    std::string FInput;
    int FReplyCode = 0;
    std::vector<std::string> FReplyLines;
};

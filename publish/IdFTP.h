#pragma once

// The small FTP client with which the site is published: one control connection, logged in
// by Connect, at most one ChangeFolder, any number of Upload (one data connection each,
// active mode unless Passive is set) and Disconnect, which closes the control connection
// without QUIT. Every operation blocks; every failure is a TFTPError.

#include "platform/Error.h"
#include "platform/FileDescriptor.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

enum TIdFTPTransferType { ftBinary, ftASCII };

// The only proxy kind of this client: a direct connection, the proxy host and port unused.
enum TIdFtpProxyType { fpcmNone };

struct TIdFtpProxySettings {
    TIdFtpProxyType ProxyType = fpcmNone;
    std::string Host;
    std::int32_t Port = 0;
};

// A failed FTP operation. The message names the server, the step and the server's reply;
// ReplyCode is the reply's code, or 0 when the failure was not a refused reply.
class TFTPError : public TError {
  public:
    explicit TFTPError(const std::string& message, int replyCode = 0,
                       const std::string& fileName = "");
    int ReplyCode() const { return FReplyCode; }

  private:
    int FReplyCode;
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
    void Upload(const std::string& localPath, const std::string& remoteName);
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
    // in each of which a send must get 4096 bytes (or the rest) through; 0 waits without
    // limit.
    std::int32_t ReadTimeout = 0;
    bool Passive = false;
    TIdFTPTransferType TransferType = ftBinary;
    TIdFtpProxySettings ProxySettings;

    // Told every line sent ("> USER name") and received ("< 220 Ready"); the password is
    // shown as "****". A server's text, here and in messages, has each control character
    // shown as "?" and at most 200 characters.
    std::function<void(const std::string&)> OnLog;

  private:
    std::string Server() const;
    [[noreturn]] void Fail(const std::string& step, const std::string& detail, int code = 0,
                           const std::string& fileName = "") const;
    void Log(const std::string& line) const;
    void SendLine(const std::string& line, const std::string& step, const std::string& shown);
    std::string ReadLine(const std::string& step, std::chrono::steady_clock::time_point deadline);
    void ReadReply(const std::string& step);
    // Sends a command (shown in logs and messages as `shown`), reads its reply and fails
    // unless the reply's code is one of `accepted`; returns the code.
    int Command(const std::string& line, std::initializer_list<int> accepted,
                const std::string& shown = "");
    void Expect(const std::string& step, std::initializer_list<int> accepted);
    TFileDescriptor OpenDataConnection(const std::string& step, const std::string& remoteName);
    // Waits, until deadline when ReadTimeout is set, for a connection to the listening socket.
    // Meanwhile whatever arrives on the control connection is kept for the next reply;
    // false (with error set) when the control connection ends first.
    bool WaitForDataConnection(int listener, std::chrono::steady_clock::time_point deadline,
                               std::string& error);
    // Takes the active transfer's data connection: only one from the address of the control
    // connection's peer; any other is closed and the wait goes on, within ReadTimeout.
    TFileDescriptor AcceptDataConnection(int listener, const std::string& step);

    TFileDescriptor FSocket;
    std::atomic<bool> FCancelled{false};
    std::string FInput;
    int FReplyCode = 0;
    std::vector<std::string> FReplyLines;
};

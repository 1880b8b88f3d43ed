#pragma once

// A failed step of reaching or using the web server, whatever the way (FTP, FTPS, SFTP, a
// folder): the technical account, what kind of failure it was and the plain words for it.

#include "platform/Error.h"

#include <string>
#include <utility>

// Why an operation failed, so that the one who shows it can say so in plain words.
enum class TTransportFailure {
    Other,
    HostNotFound,   // the host name does not resolve
    NothingListens, // nothing listens at host:port
    NoAnswer,       // no answer within the time-out
    LoginRefused,   // the user name or password was refused
    FolderMissing,  // the folder does not exist or cannot be entered
    TlsRequired,    // the server requires TLS
    NotTrusted,     // the certificate or host key is not trusted (Fingerprint says which)
    FileRefused,    // the server refused a file (name, permission)
    DiskFull,       // the server has no room for the file
    FileMissing,    // the file asked for (download, delete, size) is not on the server
    Cancelled,      // Cancel ended the operation
    ConnectionLost, // the connection (control or data) broke or the server closed it
};

class TTransportError : public TError {
  public:
    // message: the technical account (server, step, reply); reason: the plain-words line;
    // fingerprint: for NotTrusted, the SHA-256 fingerprint that was offered.
    TTransportError(const std::string& message, TTransportFailure kind, std::string reason,
                    std::string fingerprint = {}, std::string fileName = {})
        : TError(message), FKind(kind), FReason(std::move(reason)),
          FFingerprint(std::move(fingerprint)), FFileName(std::move(fileName)) {}
    TTransportFailure Kind() const { return FKind; }
    const std::string& Reason() const { return FReason; }
    const std::string& Fingerprint() const { return FFingerprint; }
    const std::string& FileName() const { return FFileName; }
    // The server's reply code (FTP) or status (SFTP) that the failure came with; 0 for none.
    // For FTP a 4xx code is a refusal for now (worth another try), a 5xx one a lasting
    // refusal; a failure without a code of kind NoAnswer or ConnectionLost is passing too.
    int ReplyCode() const { return FReplyCode; }
    TTransportError& WithReplyCode(int code) {
        FReplyCode = code;
        return *this;
    }

  private:
    TTransportFailure FKind;
    std::string FReason;
    std::string FFingerprint;
    std::string FFileName;
    int FReplyCode = 0;
};

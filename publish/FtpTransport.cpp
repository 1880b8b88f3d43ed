#include "publish/FtpTransport.h"

TFtpTransport::TFtpTransport(const TTransportSettings& settings) : FProtocol(settings.Protocol) {
    FClient.Host = settings.Host;
    FClient.Port = settings.Port;
    FClient.Username = settings.User;
    FClient.Password = settings.Password;
    FClient.ReadTimeout = settings.ReadTimeout;
    FClient.Passive = settings.Passive;
    FClient.UseTls = settings.Protocol == TTransportProtocol::FTPS;
    FClient.CaFile = settings.CaFile;
    FClient.Trusted = settings.Trusted;
    FClient.ProxySettings.Host = settings.ProxyHost;
    FClient.ProxySettings.Port = settings.ProxyPort;
    // The callbacks are looked up when called, so that they may be set after construction.
    FClient.OnLog = [this](const std::string& line) {
        if (OnLog)
            OnLog(line);
    };
    FClient.OnStatus = [this](const std::string& text) {
        if (OnStatus)
            OnStatus(text);
    };
}

namespace {

// The reply code goes along, so that a caller can tell a passing refusal (4xx) from a lasting
// one (5xx).
TTransportError Translation(const TFTPError& e) {
    return TTransportError(e.Message(), e.Kind(), e.Reason(), e.Fingerprint(), e.FileName())
        .WithReplyCode(e.ReplyCode());
}

} // namespace

template <typename F> void TFtpTransport::Translated(F operation) {
    try {
        operation();
    } catch (const TFTPError& e) {
        throw Translation(e);
    }
}

void TFtpTransport::Connect() {
    Translated([&] { FClient.Connect(); });
}

void TFtpTransport::ChangeFolder(const std::string& folder) {
    Translated([&] { FClient.ChangeFolder(folder); });
}

void TFtpTransport::Upload(const std::string& localPath, const std::string& remoteName,
                           const std::function<void(std::int64_t)>& progress) {
    Translated([&] { FClient.Upload(localPath, remoteName, progress); });
}

void TFtpTransport::Disconnect() noexcept {
    FClient.Disconnect();
}

bool TFtpTransport::Connected() const {
    return FClient.Connected();
}

void TFtpTransport::Cancel() noexcept {
    FClient.Cancel();
}

void TFtpTransport::ResetCancel() noexcept {
    FClient.ResetCancel();
}

std::string TFtpTransport::Download(const std::string& remoteName, std::int64_t maxBytes) {
    std::string content;
    Translated([&] { content = FClient.Download(remoteName, maxBytes); });
    return content;
}

void TFtpTransport::Delete(const std::string& remoteName) {
    Translated([&] { FClient.Delete(remoteName); });
}

void TFtpTransport::Rename(const std::string& fromName, const std::string& toName) {
    Translated([&] { FClient.Rename(fromName, toName); });
}

std::int64_t TFtpTransport::RemoteSize(const std::string& remoteName) {
    std::int64_t size = -1;
    Translated([&] { size = FClient.RemoteSize(remoteName); });
    return size;
}

std::vector<std::string> TFtpTransport::ListNames() {
    std::vector<std::string> names;
    Translated([&] { names = FClient.ListNames(); });
    return names;
}

void TFtpTransport::MakeFolder(const std::string& name) {
    Translated([&] { FClient.MakeFolder(name); });
}

void TFtpTransport::RemoveFolder(const std::string& name) {
    Translated([&] { FClient.RemoveFolder(name); });
}

void TFtpTransport::UploadReplacing(const std::string& localPath, const std::string& remoteName,
                                    const std::string& tempName,
                                    const std::function<void(std::int64_t)>& progress,
                                    const std::function<void()>& beforeRename) {
    if (!FClient.Pipelining || FClient.TransferType != ftBinary) {
        TTransport::UploadReplacing(localPath, remoteName, tempName, progress, beforeRename);
        return;
    }
    // A refused rename goes on as in every transport: the old file moved aside, not deleted.
    Translated([&] {
        FClient.UploadReplacing(localPath, remoteName, tempName, progress, beforeRename,
                                [&](const TFTPError& refusal) {
                                    ReplaceRefused(Translation(refusal), tempName, remoteName);
                                });
    });
}

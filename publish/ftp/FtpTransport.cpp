#include "publish/ftp/FtpTransport.h"

TFtpTransport::TFtpTransport(const TTransportSettings& settings) {
    FClient.Host = settings.Host;
    FClient.Port = settings.Port;
    FClient.Username = settings.User;
    FClient.Password = settings.Password;
    FClient.ReadTimeout = settings.ReadTimeout;
    FClient.Passive = settings.Passive;
    FClient.UseTls = settings.Protocol == FtpsName;
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

void TFtpTransport::Connect() {
    FClient.Connect();
}

void TFtpTransport::ChangeFolder(const std::string& folder) {
    FClient.ChangeFolder(folder);
}

void TFtpTransport::Upload(const std::string& localPath, const std::string& remoteName,
                           const std::function<void(std::int64_t)>& progress) {
    FClient.Upload(localPath, remoteName, progress);
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
    return FClient.Download(remoteName, maxBytes);
}

void TFtpTransport::Delete(const std::string& remoteName) {
    FClient.Delete(remoteName);
}

void TFtpTransport::Rename(const std::string& fromName, const std::string& toName) {
    FClient.Rename(fromName, toName);
}

std::int64_t TFtpTransport::RemoteSize(const std::string& remoteName) {
    return FClient.RemoteSize(remoteName);
}

std::vector<std::string> TFtpTransport::ListNames() {
    return FClient.ListNames();
}

void TFtpTransport::MakeFolder(const std::string& name) {
    FClient.MakeFolder(name);
}

void TFtpTransport::RemoveFolder(const std::string& name) {
    FClient.RemoveFolder(name);
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
    FClient.UploadReplacing(
        localPath, remoteName, tempName, progress, beforeRename,
        [&](const TTransportError& refusal) { ReplaceRefused(refusal, tempName, remoteName); });
}

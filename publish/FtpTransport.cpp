#include "publish/FtpTransport.h"

TFtpTransport::TFtpTransport(const TTransportSettings& settings) {
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

template <typename F> void TFtpTransport::Translated(F operation) {
    try {
        operation();
    } catch (const TFTPError& e) {
        throw TTransportError(e.Message(), e.Kind(), e.Reason(), e.Fingerprint(), e.FileName());
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

// Not built yet for this protocol: the synchronising publish needs them.
static TTransportError NotYet(const char* what) {
    return TTransportError(std::string(what) + " is not available yet.", TTransportFailure::Other,
                           std::string(what) + " is not available yet.");
}

std::string TFtpTransport::Download(const std::string&, std::int64_t) {
    throw NotYet("Download");
}
void TFtpTransport::Delete(const std::string&) {
    throw NotYet("Delete");
}
void TFtpTransport::Rename(const std::string&, const std::string&) {
    throw NotYet("Rename");
}
std::int64_t TFtpTransport::RemoteSize(const std::string&) {
    throw NotYet("RemoteSize");
}

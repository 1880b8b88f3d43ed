#pragma once

// The transport for FTP and explicit FTPS: the FTP client behind the transport interface.

#include "publish/Transport.h"
#include "publish/ftp/IdFTP.h"

class TFtpTransport : public TTransport {
  public:
    // Explicit FTPS when settings.Protocol is FtpsName.
    explicit TFtpTransport(const TTransportSettings& settings);
    static constexpr const char* FtpName = "FTP";
    static constexpr const char* FtpsName = "FTPS";

    void Connect() override;
    void ChangeFolder(const std::string& folder) override;
    void Upload(const std::string& localPath, const std::string& remoteName,
                const std::function<void(std::int64_t)>& progress = {}) override;
    std::string Download(const std::string& remoteName, std::int64_t maxBytes) override;
    void Delete(const std::string& remoteName) override;
    void Rename(const std::string& fromName, const std::string& toName) override;
    std::int64_t RemoteSize(const std::string& remoteName) override;
    std::vector<std::string> ListNames() override;
    void MakeFolder(const std::string& name) override;
    void RemoveFolder(const std::string& name) override;
    // The commands of the steps after the transfer go out together (the client's
    // UploadReplacing) unless Pipelining was turned off or the session is in ASCII type.
    void UploadReplacing(const std::string& localPath, const std::string& remoteName,
                         const std::string& tempName,
                         const std::function<void(std::int64_t)>& progress = {},
                         const std::function<void()>& beforeRename = {}) override;
    bool Pipelining() const override { return FClient.Pipelining; }
    void SetPipelining(bool pipelining) override { FClient.Pipelining = pipelining; }
    void Disconnect() noexcept override;
    bool Connected() const override;
    void Cancel() noexcept override;
    void ResetCancel() noexcept override;

    // The client, for what only FTP has (the tests look at it).
    TIdFTP& Client() { return FClient; }

  private:
    TIdFTP FClient;
};
